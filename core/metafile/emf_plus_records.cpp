#include "metafile/emf_plus_records.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

#include "metafile/emf_layout.h"
#include "metafile/emf_plus.h"
#include "metafile/emf_plus_layout.h"
#include "metafile/emf_plus_objects.h"
#include "metafile/emf_record_types.h"

namespace emf_plus {
namespace {

constexpr uint32_t EMF_PLUS_SIGNATURE = 0x2B464D45;  // "EMF+"
constexpr uint32_t SIGNATURE_SIZE = 4;

// Every EMF+ record: its header, then its data; Size a multiple of 4.
constexpr uint32_t RECORD_HEADER_SIZE = EMFPLUS_RECORD_DATA;
constexpr uint32_t RECORD_ALIGNMENT = 4;

// Record flags: the low byte names an object; S, the brush field holds a
// colour; an EmfPlusObject record continues, and names the kind of the
// object it defines in the high byte.
constexpr uint16_t OBJECT_ID_MASK = 0x00FF;
constexpr uint16_t SOLID_COLOUR_FLAG = 0x8000;
constexpr uint16_t CONTINUED_FLAG = 0x8000;
constexpr unsigned OBJECT_TYPE_SHIFT = 8;
constexpr uint16_t OBJECT_TYPE_MASK = 0x7F;

bool Names(const EmfPlusCheck& state, uint32_t id, uint8_t type)
{
    return id < EMF_PLUS_OBJECT_TABLE_SIZE && state.objects[id] == type;
}

uint32_t FlagsObject(const PlusRecord& record)
{
    return record.flags & OBJECT_ID_MASK;
}

bool DefineObject(EmfPlusCheck& state, uint16_t flags, const Cursor& object)
{
    const uint8_t type = static_cast<uint8_t>((flags >> OBJECT_TYPE_SHIFT) & OBJECT_TYPE_MASK);
    const uint32_t id = flags & OBJECT_ID_MASK;
    if (id >= EMF_PLUS_OBJECT_TABLE_SIZE || !IsObjectSound(type, object, state.nesting)) {
        return false;
    }
    state.objects[id] = type;
    return true;
}

// EmfPlusObject: a whole object, or a piece of one. A continued object's
// records each start with its total size; the last piece has no continued
// flag, and the pieces add up to the total.
bool CheckObject(const PlusRecord& record, EmfPlusCheck& state)
{
    const uint16_t flags = static_cast<uint16_t>(record.flags & ~CONTINUED_FLAG);
    Cursor data = record.data;
    if (state.continuing && flags != state.continuedFlags) {
        return false;
    }
    if ((record.flags & CONTINUED_FLAG) == 0 && !state.continuing) {
        return DefineObject(state, flags, data);
    }
    if ((record.flags & CONTINUED_FLAG) != 0) {
        const uint32_t total = Take(data);
        if (!Ends(data) || (state.continuing && total != state.continuedSize)) {
            return false;
        }
        state.continuing = true;
        state.continuedFlags = flags;
        state.continuedSize = total;
    }
    const uint64_t gathered = state.continued.size() + (data.size - data.at);
    if (gathered > state.continuedSize) {
        return false;
    }
    state.continued.insert(state.continued.end(), data.bytes + data.at, data.bytes + data.size);
    if ((record.flags & CONTINUED_FLAG) != 0) {
        return true;
    }
    state.continuing = false;
    std::vector<uint8_t> object;
    object.swap(state.continued);
    return object.size() == state.continuedSize &&
           DefineObject(state, flags, CursorOver(object.data(), object.size()));
}

// What follows a record kind's fixed data.
enum class Tail : uint8_t {
    NONE,
    RECT,           // one rectangle, 16-bit under the C flag
    RECTS,          // countAt: rectangles
    POINTS,         // countAt: points, relative under P, 16-bit under C
    CURVE,          // the same, and an offset and a segment count inside them
    CHARS,          // countAt: 16-bit characters
    DRIVER_STRING,  // glyphs and positions, then a matrix if one is present
    BYTES,          // countAt: bytes
    FINITE,         // countAt: floats that must be finite (transforms)
    CONTAINER,      // finite rectangles, the source one not empty
    OBJECT,         // an object or a piece of one
};

// One kind of EMF+ record: its data's fixed part, the object the low byte
// of its Flags names, the objects its data names (a brush at the start of
// the data, which the S flag turns into a colour, and one more object
// field) and what follows.
struct PlusKind {
    uint16_t type;
    uint32_t fixedSize;
    uint8_t flagsObject;
    bool brush;
    uint8_t fieldObject;
    uint32_t fieldAt;
    Tail tail;
    uint32_t countAt;
    bool relativePoints;  // whether the kind honours the P flag
};

constexpr PlusKind Plain(uint16_t type, uint32_t fixedSize, uint8_t flagsObject = NO_OBJECT)
{
    return PlusKind{type, fixedSize, flagsObject, false, NO_OBJECT, 0, Tail::NONE, 0, false};
}

constexpr PlusKind Fill(uint16_t type, uint32_t fixedSize, uint8_t flagsObject, Tail tail,
                        uint32_t countAt = 0, bool relativePoints = false)
{
    return PlusKind{type, fixedSize, flagsObject, true,          NO_OBJECT,
                    0,    tail,      countAt,     relativePoints};
}

constexpr PlusKind Draw(uint16_t type, uint32_t fixedSize, Tail tail, uint32_t countAt = 0,
                        bool relativePoints = false)
{
    return PlusKind{type, fixedSize, PEN, false, NO_OBJECT, 0, tail, countAt, relativePoints};
}

// A transform's floats: a NaN or an infinity there would reach every
// coordinate GDI+ draws.
constexpr PlusKind Transform(uint16_t type, uint32_t floats)
{
    return PlusKind{type, floats * FIELD_SIZE, NO_OBJECT, false, NO_OBJECT,
                    0,    Tail::FINITE,        floats,    false};
}

constexpr PlusKind WithField(PlusKind kind, uint8_t object, uint32_t at)
{
    kind.fieldObject = object;
    kind.fieldAt = at;
    return kind;
}

constexpr uint32_t NO_DATA = 0;
constexpr uint32_t ONE_FIELD = FIELD_SIZE;
constexpr uint32_t TWO_FIELDS = 2 * FIELD_SIZE;
constexpr uint32_t THREE_FIELDS = 3 * FIELD_SIZE;
constexpr uint32_t FOUR_FIELDS = 4 * FIELD_SIZE;
constexpr uint32_t HEADER_DATA_SIZE = 16;  // version, flags, dpi x and y
constexpr uint32_t CONTAINER_SIZE = 2 * RECT_F_SIZE + FIELD_SIZE;
constexpr uint32_t IMAGE_SOURCE_SIZE = 2 * FIELD_SIZE + RECT_F_SIZE;  // attributes, unit, rect
constexpr uint32_t STRING_FIXED_SIZE = 3 * FIELD_SIZE + RECT_F_SIZE;  // brush, format, length, rect
constexpr uint32_t SERIALIZABLE_FIXED_SIZE = GUID_SIZE + FIELD_SIZE;
constexpr uint32_t MATRIX_FLOATS = 6;
// BeginContainer: destination and source rectangles, whose floats must be
// finite; the player divides by the source's width and height.
constexpr uint32_t CONTAINER_FLOATS = 8;
constexpr uint32_t FLOAT_EXPONENT = 0x7F800000;
constexpr uint32_t FLOAT_MAGNITUDE = 0x7FFFFFFF;

// In type order, for the lookup. Kinds left out (multi-format records,
// terminal-server records) are refused.
constexpr PlusKind PLUS_KINDS[] = {
    Plain(EMF_PLUS_HEADER, HEADER_DATA_SIZE),
    Plain(EMF_PLUS_END_OF_FILE, NO_DATA),
    Plain(EMF_PLUS_COMMENT, NO_DATA),
    Plain(EMF_PLUS_GET_DC, NO_DATA),
    PlusKind{EMF_PLUS_OBJECT, NO_DATA, NO_OBJECT, false, NO_OBJECT, 0, Tail::OBJECT, 0, false},
    Plain(EMF_PLUS_CLEAR, COLOUR_SIZE),
    Fill(EMF_PLUS_FILL_RECTS, TWO_FIELDS, NO_OBJECT, Tail::RECTS, EMFPLUS_FILLRECTS_COUNT),
    Draw(EMF_PLUS_DRAW_RECTS, ONE_FIELD, Tail::RECTS, EMFPLUS_DRAWRECTS_COUNT),
    Fill(EMF_PLUS_FILL_POLYGON, TWO_FIELDS, NO_OBJECT, Tail::POINTS, EMFPLUS_FILLRECTS_COUNT, true),
    Draw(EMF_PLUS_DRAW_LINES, ONE_FIELD, Tail::POINTS, EMFPLUS_DRAWRECTS_COUNT, true),
    Fill(EMF_PLUS_FILL_ELLIPSE, ONE_FIELD, NO_OBJECT, Tail::RECT),
    Draw(EMF_PLUS_DRAW_ELLIPSE, NO_DATA, Tail::RECT),
    Fill(EMF_PLUS_FILL_PIE, THREE_FIELDS, NO_OBJECT, Tail::RECT),
    Draw(EMF_PLUS_DRAW_PIE, TWO_FIELDS, Tail::RECT),
    Draw(EMF_PLUS_DRAW_ARC, TWO_FIELDS, Tail::RECT),
    Fill(EMF_PLUS_FILL_REGION, ONE_FIELD, REGION, Tail::NONE),
    Fill(EMF_PLUS_FILL_PATH, ONE_FIELD, PATH, Tail::NONE),
    WithField(Plain(EMF_PLUS_DRAW_PATH, ONE_FIELD, PATH), PEN, EMFPLUS_DRAWPATH_PENID),
    Fill(EMF_PLUS_FILL_CLOSED_CURVE, THREE_FIELDS, NO_OBJECT, Tail::POINTS,
         EMFPLUS_FILLCLOSEDCURVE_COUNT, true),
    Draw(EMF_PLUS_DRAW_CLOSED_CURVE, TWO_FIELDS, Tail::POINTS, EMFPLUS_FILLRECTS_COUNT, true),
    Draw(EMF_PLUS_DRAW_CURVE, FOUR_FIELDS, Tail::CURVE, EMFPLUS_DRAWCURVE_COUNT),
    Draw(EMF_PLUS_DRAW_BEZIERS, ONE_FIELD, Tail::POINTS, EMFPLUS_DRAWRECTS_COUNT, true),
    PlusKind{EMF_PLUS_DRAW_IMAGE, IMAGE_SOURCE_SIZE, IMAGE, false, IMAGE_ATTRIBUTES,
             EMFPLUS_DRAWIMAGE_IMAGEATTRIBUTESID, Tail::RECT, 0, false},
    PlusKind{EMF_PLUS_DRAW_IMAGE_POINTS, IMAGE_SOURCE_SIZE + FIELD_SIZE, IMAGE, false,
             IMAGE_ATTRIBUTES, EMFPLUS_DRAWIMAGE_IMAGEATTRIBUTESID, Tail::POINTS,
             EMFPLUS_DRAWIMAGEPOINTS_COUNT, true},
    WithField(
        Fill(EMF_PLUS_DRAW_STRING, STRING_FIXED_SIZE, FONT, Tail::CHARS, EMFPLUS_DRAWSTRING_LENGTH),
        STRING_FORMAT, EMFPLUS_DRAWSTRING_FORMATID),
    Plain(EMF_PLUS_SET_RENDERING_ORIGIN, TWO_FIELDS),
    Plain(EMF_PLUS_SET_ANTI_ALIAS_MODE, NO_DATA),
    Plain(EMF_PLUS_SET_TEXT_RENDERING_HINT, NO_DATA),
    Plain(EMF_PLUS_SET_TEXT_CONTRAST, NO_DATA),
    Plain(EMF_PLUS_SET_INTERPOLATION_MODE, NO_DATA),
    Plain(EMF_PLUS_SET_PIXEL_OFFSET_MODE, NO_DATA),
    Plain(EMF_PLUS_SET_COMPOSITING_MODE, NO_DATA),
    Plain(EMF_PLUS_SET_COMPOSITING_QUALITY, NO_DATA),
    Plain(EMF_PLUS_SAVE, ONE_FIELD),
    Plain(EMF_PLUS_RESTORE, ONE_FIELD),
    PlusKind{EMF_PLUS_BEGIN_CONTAINER, CONTAINER_SIZE, NO_OBJECT, false, NO_OBJECT, 0,
             Tail::CONTAINER, 0, false},
    Plain(EMF_PLUS_BEGIN_CONTAINER_NO_PARAMS, ONE_FIELD),
    Plain(EMF_PLUS_END_CONTAINER, ONE_FIELD),
    Transform(EMF_PLUS_SET_WORLD_TRANSFORM, MATRIX_FLOATS),
    Plain(EMF_PLUS_RESET_WORLD_TRANSFORM, NO_DATA),
    Transform(EMF_PLUS_MULTIPLY_WORLD_TRANSFORM, MATRIX_FLOATS),
    Transform(EMF_PLUS_TRANSLATE_WORLD_TRANSFORM, 2),
    Transform(EMF_PLUS_SCALE_WORLD_TRANSFORM, 2),
    Transform(EMF_PLUS_ROTATE_WORLD_TRANSFORM, 1),
    Transform(EMF_PLUS_SET_PAGE_TRANSFORM, 1),
    Plain(EMF_PLUS_RESET_CLIP, NO_DATA),
    Plain(EMF_PLUS_SET_CLIP_RECT, RECT_F_SIZE),
    Plain(EMF_PLUS_SET_CLIP_PATH, NO_DATA, PATH),
    Plain(EMF_PLUS_SET_CLIP_REGION, NO_DATA, REGION),
    Plain(EMF_PLUS_OFFSET_CLIP, TWO_FIELDS),
    Fill(EMF_PLUS_DRAW_DRIVER_STRING, FOUR_FIELDS, FONT, Tail::DRIVER_STRING),
    Plain(EMF_PLUS_STROKE_FILL_PATH, NO_DATA, PATH),
    PlusKind{EMF_PLUS_SERIALIZABLE_OBJECT, SERIALIZABLE_FIXED_SIZE, NO_OBJECT, false, NO_OBJECT, 0,
             Tail::BYTES, EMFPLUS_SERIALIZABLEOBJECT_BUFFERSIZE, false},
};

constexpr bool ArePlusKindsSorted()
{
    for (size_t i = 1; i < std::size(PLUS_KINDS); ++i) {
        if (PLUS_KINDS[i - 1].type >= PLUS_KINDS[i].type) {
            return false;
        }
    }
    return true;
}
static_assert(ArePlusKindsSorted(), "EMF+ record kinds must be in type order for the lookup");

const PlusKind* FindPlusKind(uint16_t type)
{
    const PlusKind* end = std::end(PLUS_KINDS);
    const PlusKind* kind = std::lower_bound(
        std::begin(PLUS_KINDS), end, type,
        [](const PlusKind& entry, uint16_t wanted) { return entry.type < wanted; });
    return kind != end && kind->type == type ? kind : nullptr;
}

uint32_t FieldAt(const Cursor& data, uint32_t at)
{
    return ReadUint32(data.bytes + at);
}

bool AreFloatsFinite(const Cursor& data, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        if ((FieldAt(data, i * FIELD_SIZE) & FLOAT_EXPONENT) == FLOAT_EXPONENT) {
            return false;
        }
    }
    return true;
}

bool IsFloatZero(uint32_t bits)
{
    return (bits & FLOAT_MAGNITUDE) == 0;
}

bool HasSoundTail(const PlusKind& kind, const PlusRecord& record, EmfPlusCheck& state)
{
    Cursor data = record.data;
    Skip(data, kind.fixedSize);
    const uint16_t flags =
        kind.relativePoints ? record.flags : static_cast<uint16_t>(record.flags & ~RELATIVE_FLAG);
    switch (kind.tail) {
        case Tail::NONE:
            return true;
        case Tail::RECT:
            return SkipRect(data, flags);
        case Tail::RECTS:
            return SkipArray(data, FieldAt(data, kind.countAt),
                             (flags & COMPRESSED_FLAG) != 0 ? RECT_SIZE : RECT_F_SIZE);
        case Tail::POINTS:
            return SkipPoints(data, FieldAt(data, kind.countAt), flags);
        case Tail::CURVE: {
            const uint64_t count = FieldAt(data, kind.countAt);
            const uint64_t last = static_cast<uint64_t>(FieldAt(data, EMFPLUS_DRAWCURVE_OFFSET)) +
                                  FieldAt(data, EMFPLUS_DRAWCURVE_NUMSEGMENTS);
            return last < count && SkipPoints(data, FieldAt(data, kind.countAt), flags);
        }
        case Tail::CHARS:
            return SkipArray(data, FieldAt(data, kind.countAt), CHAR_SIZE);
        case Tail::DRIVER_STRING: {
            const uint32_t glyphs = FieldAt(data, EMFPLUS_DRAWDRIVERSTRING_GLYPHCOUNT);
            SkipArray(data, glyphs, CHAR_SIZE);
            SkipArray(data, glyphs, POINT_F_SIZE);
            return FieldAt(data, EMFPLUS_DRAWDRIVERSTRING_MATRIXPRESENT) == 0
                       ? Ends(data)
                       : Skip(data, MATRIX_SIZE);
        }
        case Tail::FINITE:
            return AreFloatsFinite(data, kind.countAt);
        case Tail::CONTAINER:
            return AreFloatsFinite(data, CONTAINER_FLOATS) &&
                   !IsFloatZero(FieldAt(data, EMFPLUS_BEGINCONTAINER_SRCRECT_WIDTH)) &&
                   !IsFloatZero(FieldAt(data, EMFPLUS_BEGINCONTAINER_SRCRECT_HEIGHT));
        case Tail::BYTES:
            return SkipArray(data, FieldAt(data, kind.countAt), 1);
        case Tail::OBJECT:
            return CheckObject(record, state);
    }
    return false;
}

bool IsPlusRecordSound(const PlusRecord& record, EmfPlusCheck& state)
{
    const PlusKind* kind = FindPlusKind(record.type);
    if (kind == nullptr || record.data.size < kind->fixedSize ||
        (state.continuing && record.type != EMF_PLUS_OBJECT)) {
        return false;
    }
    if (kind->flagsObject != NO_OBJECT && !Names(state, FlagsObject(record), kind->flagsObject)) {
        return false;
    }
    if (kind->brush && (record.flags & SOLID_COLOUR_FLAG) == 0 &&
        !Names(state, FieldAt(record.data, EMFPLUS_FILLRECTS_BRUSHID), BRUSH)) {
        return false;
    }
    if (kind->fieldObject != NO_OBJECT &&
        !Names(state, FieldAt(record.data, kind->fieldAt), kind->fieldObject)) {
        return false;
    }
    return HasSoundTail(*kind, record, state);
}

bool AreCommentRecordsSound(Cursor comment, EmfPlusCheck& state)
{
    PlusRecord record{};
    while (TakePlusRecord(comment, record)) {
        if (!IsPlusRecordSound(record, state)) {
            return false;
        }
    }
    return Ends(comment);
}

EmfPlusCheck StartCheck(uint32_t nesting)
{
    EmfPlusCheck check{};
    check.nesting = nesting;
    return check;
}

}  // namespace

Cursor ReadEmfPlusData(const uint8_t* record, const RecordSpan& span)
{
    if (span.type != EMR_GDICOMMENT || span.size < EMR_GDICOMMENT_DATA + SIGNATURE_SIZE) {
        return Cursor{nullptr, 0, 0, true};
    }
    const uint64_t count = ReadUint32(record + EMR_GDICOMMENT_CBDATA);
    if (EMR_GDICOMMENT_DATA + count > span.size || count < SIGNATURE_SIZE ||
        ReadUint32(record + EMR_GDICOMMENT_DATA) != EMF_PLUS_SIGNATURE) {
        return Cursor{nullptr, 0, 0, true};
    }
    return CursorOver(record + EMR_GDICOMMENT_DATA + SIGNATURE_SIZE,
                      static_cast<size_t>(count - SIGNATURE_SIZE));
}

bool TakePlusRecord(Cursor& comment, PlusRecord& record)
{
    if (comment.at == comment.size) {
        return false;
    }
    const size_t at = comment.at;
    if (!Skip(comment, RECORD_HEADER_SIZE)) {
        return false;
    }
    const uint8_t* start = comment.bytes + at;
    const uint32_t size = ReadUint32(start + EMFPLUS_RECORD_SIZE);
    const uint32_t dataSize = ReadUint32(start + EMFPLUS_RECORD_DATASIZE);
    if (size < RECORD_HEADER_SIZE || size % RECORD_ALIGNMENT != 0 ||
        dataSize > size - RECORD_HEADER_SIZE || !Skip(comment, size - RECORD_HEADER_SIZE)) {
        comment.failed = true;
        return false;
    }
    record = PlusRecord{ReadUint16(start + EMFPLUS_RECORD_TYPE),
                        ReadUint16(start + EMFPLUS_RECORD_FLAGS),
                        CursorOver(start + RECORD_HEADER_SIZE, dataSize)};
    return true;
}

bool AreMetafileBytesSound(const uint8_t* metafile, size_t size, uint32_t nesting)
{
    MetafileHeader header{};
    if (!ReadMetafileHeader(metafile, size, header)) {
        return false;
    }
    EmfPlusCheck check = StartCheck(nesting);
    std::optional<uint32_t> depth = 0;
    RecordSpan span{};
    size_t at = 0;
    for (; depth && at < header.size; at += span.size) {
        if (!ReadRecordAt(metafile, header.size, at, span) || !StandsInChain(span)) {
            return false;
        }
        depth = DepthAfterPlayable(metafile + at, span.size, header.handleCount, *depth);
        check = CheckEmfPlusRecord(std::move(check), metafile + at, span);
    }
    return depth && at != 0 && IsEmfPlusCheckSound(check);
}

}  // namespace emf_plus

EmfPlusCheck StartEmfPlusCheck()
{
    return emf_plus::StartCheck(emf_plus::NESTING_LIMIT);
}

EmfPlusCheck CheckEmfPlusRecord(EmfPlusCheck check, const uint8_t* record, const RecordSpan& span)
{
    const emf_plus::Cursor comment = emf_plus::ReadEmfPlusData(record, span);
    if (!check.failed && emf_plus::Ends(comment)) {
        check.failed = !emf_plus::AreCommentRecordsSound(comment, check);
    }
    return check;
}

bool IsEmfPlusCheckSound(const EmfPlusCheck& check)
{
    return !check.failed && !check.continuing;
}

bool AreEmfPlusRecordsSound(const uint8_t* metafile, size_t size)
{
    EmfPlusCheck check = StartEmfPlusCheck();
    RecordSpan span{};
    for (size_t at = 0; ReadRecordAt(metafile, size, at, span); at += span.size) {
        check = CheckEmfPlusRecord(std::move(check), metafile + at, span);
    }
    return IsEmfPlusCheckSound(check);
}
