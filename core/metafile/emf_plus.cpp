#include "metafile/emf_plus.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>
#include <vector>

#include "metafile/emf_record_types.h"
#include "metafile/emf_records.h"
#include "metafile/little_endian.h"

namespace {

constexpr uint32_t EMF_PLUS_SIGNATURE = 0x2B464D45;  // "EMF+"
constexpr size_t COMMENT_SIZE_AT = 8;                // cbData of GDICOMMENT
constexpr size_t COMMENT_DATA_AT = 12;
constexpr uint32_t SIGNATURE_SIZE = 4;

// Every EMF+ record: Type and Flags (16 bits each), Size, DataSize.
constexpr uint32_t RECORD_HEADER_SIZE = 12;
constexpr size_t RECORD_FLAGS_AT = 2;
constexpr size_t RECORD_SIZE_AT = 4;
constexpr size_t RECORD_DATA_SIZE_AT = 8;
constexpr uint32_t RECORD_ALIGNMENT = 4;

// EMF+ record types.
constexpr uint16_t EMF_PLUS_HEADER = 0x4001;
constexpr uint16_t EMF_PLUS_END_OF_FILE = 0x4002;
constexpr uint16_t EMF_PLUS_COMMENT = 0x4003;
constexpr uint16_t EMF_PLUS_GET_DC = 0x4004;
constexpr uint16_t EMF_PLUS_OBJECT = 0x4008;
constexpr uint16_t EMF_PLUS_CLEAR = 0x4009;
constexpr uint16_t EMF_PLUS_FILL_RECTS = 0x400A;
constexpr uint16_t EMF_PLUS_DRAW_RECTS = 0x400B;
constexpr uint16_t EMF_PLUS_FILL_POLYGON = 0x400C;
constexpr uint16_t EMF_PLUS_DRAW_LINES = 0x400D;
constexpr uint16_t EMF_PLUS_FILL_ELLIPSE = 0x400E;
constexpr uint16_t EMF_PLUS_DRAW_ELLIPSE = 0x400F;
constexpr uint16_t EMF_PLUS_FILL_PIE = 0x4010;
constexpr uint16_t EMF_PLUS_DRAW_PIE = 0x4011;
constexpr uint16_t EMF_PLUS_DRAW_ARC = 0x4012;
constexpr uint16_t EMF_PLUS_FILL_REGION = 0x4013;
constexpr uint16_t EMF_PLUS_FILL_PATH = 0x4014;
constexpr uint16_t EMF_PLUS_DRAW_PATH = 0x4015;
constexpr uint16_t EMF_PLUS_FILL_CLOSED_CURVE = 0x4016;
constexpr uint16_t EMF_PLUS_DRAW_CLOSED_CURVE = 0x4017;
constexpr uint16_t EMF_PLUS_DRAW_CURVE = 0x4018;
constexpr uint16_t EMF_PLUS_DRAW_BEZIERS = 0x4019;
constexpr uint16_t EMF_PLUS_DRAW_IMAGE = 0x401A;
constexpr uint16_t EMF_PLUS_DRAW_IMAGE_POINTS = 0x401B;
constexpr uint16_t EMF_PLUS_DRAW_STRING = 0x401C;
constexpr uint16_t EMF_PLUS_SET_RENDERING_ORIGIN = 0x401D;
constexpr uint16_t EMF_PLUS_SET_ANTI_ALIAS_MODE = 0x401E;
constexpr uint16_t EMF_PLUS_SET_TEXT_RENDERING_HINT = 0x401F;
constexpr uint16_t EMF_PLUS_SET_TEXT_CONTRAST = 0x4020;
constexpr uint16_t EMF_PLUS_SET_INTERPOLATION_MODE = 0x4021;
constexpr uint16_t EMF_PLUS_SET_PIXEL_OFFSET_MODE = 0x4022;
constexpr uint16_t EMF_PLUS_SET_COMPOSITING_MODE = 0x4023;
constexpr uint16_t EMF_PLUS_SET_COMPOSITING_QUALITY = 0x4024;
constexpr uint16_t EMF_PLUS_SAVE = 0x4025;
constexpr uint16_t EMF_PLUS_RESTORE = 0x4026;
constexpr uint16_t EMF_PLUS_BEGIN_CONTAINER = 0x4027;
constexpr uint16_t EMF_PLUS_BEGIN_CONTAINER_NO_PARAMS = 0x4028;
constexpr uint16_t EMF_PLUS_END_CONTAINER = 0x4029;
constexpr uint16_t EMF_PLUS_SET_WORLD_TRANSFORM = 0x402A;
constexpr uint16_t EMF_PLUS_RESET_WORLD_TRANSFORM = 0x402B;
constexpr uint16_t EMF_PLUS_MULTIPLY_WORLD_TRANSFORM = 0x402C;
constexpr uint16_t EMF_PLUS_TRANSLATE_WORLD_TRANSFORM = 0x402D;
constexpr uint16_t EMF_PLUS_SCALE_WORLD_TRANSFORM = 0x402E;
constexpr uint16_t EMF_PLUS_ROTATE_WORLD_TRANSFORM = 0x402F;
constexpr uint16_t EMF_PLUS_SET_PAGE_TRANSFORM = 0x4030;
constexpr uint16_t EMF_PLUS_RESET_CLIP = 0x4031;
constexpr uint16_t EMF_PLUS_SET_CLIP_RECT = 0x4032;
constexpr uint16_t EMF_PLUS_SET_CLIP_PATH = 0x4033;
constexpr uint16_t EMF_PLUS_SET_CLIP_REGION = 0x4034;
constexpr uint16_t EMF_PLUS_OFFSET_CLIP = 0x4035;
constexpr uint16_t EMF_PLUS_DRAW_DRIVER_STRING = 0x4036;
constexpr uint16_t EMF_PLUS_STROKE_FILL_PATH = 0x4037;
constexpr uint16_t EMF_PLUS_SERIALIZABLE_OBJECT = 0x4038;

// Record flags: the low byte names an object; S, the brush field holds a
// colour; C, coordinates are 16-bit integers; P, points are relative
// (1 or 2 bytes a coordinate); an EmfPlusObject record continues.
constexpr uint16_t OBJECT_ID_MASK = 0x00FF;
constexpr uint16_t SOLID_COLOUR_FLAG = 0x8000;
constexpr uint16_t COMPRESSED_FLAG = 0x4000;
constexpr uint16_t RELATIVE_FLAG = 0x0800;
constexpr uint16_t CONTINUED_FLAG = 0x8000;
constexpr unsigned OBJECT_TYPE_SHIFT = 8;
constexpr uint16_t OBJECT_TYPE_MASK = 0x7F;

// GDI+'s object table, and the kinds of object in it.
constexpr uint32_t OBJECT_TABLE_SIZE = 64;
enum ObjectType : uint8_t {
    NO_OBJECT = 0,
    BRUSH = 1,
    PEN = 2,
    PATH = 3,
    REGION = 4,
    IMAGE = 5,
    FONT = 6,
    STRING_FORMAT = 7,
    IMAGE_ATTRIBUTES = 8,
    CUSTOM_LINE_CAP = 9,
};

// Sizes of the structures records hold.
constexpr uint32_t FIELD_SIZE = 4;
constexpr uint32_t POINT_F_SIZE = 8;
constexpr uint32_t POINT_SIZE = 4;
constexpr uint32_t RECT_F_SIZE = 16;
constexpr uint32_t RECT_SIZE = 8;
constexpr uint32_t MATRIX_SIZE = 24;
constexpr uint32_t COLOUR_SIZE = 4;
constexpr uint32_t CHAR_SIZE = 2;
constexpr uint32_t GUID_SIZE = 16;
// A relative coordinate takes one byte, or two when its first byte's top
// bit is set.
constexpr uint8_t RELATIVE_LONG_BIT = 0x80;
constexpr uint32_t COORDINATES_PER_POINT = 2;

// Brushes: a version and a type, then the type's data.
constexpr uint32_t SOLID_BRUSH = 0;
constexpr uint32_t HATCH_BRUSH = 1;
constexpr uint32_t TEXTURE_BRUSH = 2;
constexpr uint32_t PATH_GRADIENT_BRUSH = 3;
constexpr uint32_t LINEAR_GRADIENT_BRUSH = 4;
constexpr uint32_t HATCH_DATA_SIZE = 12;       // style, fore and back colours
constexpr uint32_t LINEAR_GRADIENT_SIZE = 40;  // flags, wrap, rect, colours, reserved
constexpr uint32_t PATH_GRADIENT_SIZE = 24;    // flags, wrap, colour, centre, count
constexpr uint32_t BRUSH_DATA_PATH = 0x01;     // a path gradient's boundary is a path
constexpr uint32_t BRUSH_DATA_TRANSFORM = 0x02;
constexpr uint32_t BRUSH_DATA_PRESET_COLOURS = 0x04;
constexpr uint32_t BRUSH_DATA_BLEND_H = 0x08;
constexpr uint32_t BRUSH_DATA_BLEND_V = 0x10;
constexpr uint32_t BRUSH_DATA_FOCUS_SCALES = 0x40;
constexpr uint32_t BLEND_ENTRY_SIZE = 8;    // a position and a colour or a factor
constexpr uint32_t FOCUS_SCALES_SIZE = 12;  // a count and two scales

// Pens: a version, a type, flags, unit and width, the optional data the
// flags announce, then the pen's brush.
constexpr uint32_t PEN_FIXED_SIZE = 20;
constexpr uint32_t PEN_FLAGS_AT = 8;
constexpr uint32_t PEN_TRANSFORM = 0x0001;
constexpr uint32_t PEN_DASHED_LINE = 0x0100;
constexpr uint32_t PEN_COMPOUND_LINE = 0x0400;
constexpr uint32_t PEN_CUSTOM_START_CAP = 0x0800;
constexpr uint32_t PEN_CUSTOM_END_CAP = 0x1000;
// The flags of the optional 32-bit fields, in their order after the
// transform: start cap, end cap, join, miter limit, line style, dashed line
// cap, dash offset; then (after the dashes) non-centre alignment.
constexpr uint32_t PEN_FIELDS_BEFORE_DASHES[] = {0x0002, 0x0004, 0x0008, 0x0010,
                                                 0x0020, 0x0040, 0x0080};
constexpr uint32_t PEN_NON_CENTER = 0x0200;

// Custom line caps: a version and a type; an arrow's fixed data, or a
// default cap's fixed data and its fill or line path.
constexpr uint32_t DEFAULT_CAP = 0;
constexpr uint32_t ARROW_CAP = 1;
constexpr uint32_t ARROW_CAP_SIZE = 52;
constexpr uint32_t DEFAULT_CAP_SIZE = 48;
constexpr uint32_t CAP_FILL_PATH = 0x1;
constexpr uint32_t CAP_LINE_PATH = 0x2;

// Paths: a version, a point count and flags, then the points and a type
// byte per point. Run-length coded types GDI+ alone reads: refused.
constexpr uint32_t PATH_TYPES_RLE = 0x1000;
constexpr uint32_t POINT_TYPE_SIZE = 1;

// Regions: a version and a node count, then a tree of nodes: combining
// nodes (1 to 5) with two children, rectangles, paths, empty and infinite.
constexpr uint32_t REGION_FIXED_SIZE = 8;
constexpr uint32_t REGION_COMBINE_FIRST = 1;
constexpr uint32_t REGION_COMBINE_LAST = 5;
constexpr uint32_t REGION_RECT = 0x10000000;
constexpr uint32_t REGION_PATH = 0x10000001;
constexpr uint32_t REGION_EMPTY = 0x10000002;
constexpr uint32_t REGION_INFINITE = 0x10000003;
// GDI+ reads the tree recursively: a deeper one is refused.
constexpr uint32_t REGION_DEPTH_LIMIT = 1024;
constexpr uint8_t REGION_CHILDREN = 2;

// Images: a version and a type; bitmaps hold width, height, stride, pixel
// format and a data type; metafiles a type and a data size.
constexpr uint32_t BITMAP_IMAGE = 1;
constexpr uint32_t METAFILE_IMAGE = 2;
constexpr uint32_t BITMAP_PIXELS = 0;
constexpr uint32_t BITMAP_COMPRESSED = 1;
constexpr uint32_t PIXEL_FORMAT_INDEXED = 0x00010000;
constexpr unsigned PIXEL_FORMAT_BITS_SHIFT = 8;
constexpr uint32_t PIXEL_FORMAT_BITS_MASK = 0xFF;
constexpr uint32_t BITS_PER_BYTE = 8;
constexpr uint32_t METAFILE_TYPE_EMF = 3;
constexpr uint32_t METAFILE_TYPE_EMF_PLUS_DUAL = 5;
// A metafile image's own EMF+ records may hold metafile images in turn.
constexpr uint32_t NESTING_LIMIT = 4;

// Fonts: version, size, unit, style, reserved and a name length, then the
// name. String formats: fifteen fields, then tab stops and ranges.
constexpr uint32_t FONT_FIXED_SIZE = 24;
constexpr uint32_t FONT_LENGTH_AT = 20;
constexpr uint32_t STRING_FORMAT_FIXED_SIZE = 60;
constexpr uint32_t TAB_STOP_COUNT_AT = 52;
constexpr uint32_t RANGE_COUNT_AT = 56;
constexpr uint32_t RANGE_SIZE = 8;
constexpr uint32_t IMAGE_ATTRIBUTES_SIZE = 24;

// Bytes of a record's data or of an object, read front to back. A read past
// the end leaves the cursor failed and reads zero.
struct Cursor {
    const uint8_t* bytes;
    size_t size;
    size_t at;
    bool failed;
};

Cursor CursorOver(const uint8_t* bytes, size_t size)
{
    return Cursor{bytes, size, 0, false};
}

bool Skip(Cursor& cursor, uint64_t length)
{
    if (cursor.failed || length > cursor.size - cursor.at) {
        cursor.failed = true;
        return false;
    }
    cursor.at += static_cast<size_t>(length);
    return true;
}

uint32_t Take(Cursor& cursor)
{
    const size_t at = cursor.at;
    return Skip(cursor, FIELD_SIZE) ? ReadUint32(cursor.bytes + at) : 0;
}

uint8_t TakeByte(Cursor& cursor)
{
    const size_t at = cursor.at;
    return Skip(cursor, 1) ? cursor.bytes[at] : 0;
}

// Skips count elements of elementSize bytes (a 64-bit product).
bool SkipArray(Cursor& cursor, uint32_t count, uint32_t elementSize)
{
    return Skip(cursor, static_cast<uint64_t>(count) * elementSize);
}

// A cursor over the next length bytes, which this one skips.
Cursor TakeSpan(Cursor& cursor, uint64_t length)
{
    const size_t at = cursor.at;
    if (!Skip(cursor, length)) {
        return Cursor{cursor.bytes, 0, 0, true};
    }
    return CursorOver(cursor.bytes + at, static_cast<size_t>(length));
}

bool Ends(const Cursor& cursor)
{
    return !cursor.failed;
}

// Points as a record's flags lay them out: relative, 16-bit or floats.
bool SkipPoints(Cursor& cursor, uint32_t count, uint16_t flags)
{
    if ((flags & RELATIVE_FLAG) == 0) {
        return SkipArray(cursor, count, (flags & COMPRESSED_FLAG) != 0 ? POINT_SIZE : POINT_F_SIZE);
    }
    const uint64_t coordinates = static_cast<uint64_t>(count) * COORDINATES_PER_POINT;
    if (coordinates > cursor.size - cursor.at) {
        cursor.failed = true;
        return false;
    }
    for (uint64_t i = 0; i < coordinates && !cursor.failed; ++i) {
        if ((TakeByte(cursor) & RELATIVE_LONG_BIT) != 0) {
            Skip(cursor, 1);
        }
    }
    return !cursor.failed;
}

bool SkipRect(Cursor& cursor, uint16_t flags)
{
    return Skip(cursor, (flags & COMPRESSED_FLAG) != 0 ? RECT_SIZE : RECT_F_SIZE);
}

// Object payloads. Each takes a cursor over exactly the object's bytes.
bool IsPathSound(Cursor path)
{
    Skip(path, FIELD_SIZE);  // version
    const uint32_t count = Take(path);
    const uint32_t flags = Take(path);
    if ((flags & PATH_TYPES_RLE) != 0) {
        return false;
    }
    SkipPoints(path, count, static_cast<uint16_t>(flags));
    SkipArray(path, count, POINT_TYPE_SIZE);
    return Ends(path);
}

// A path announced by a 32-bit length; a path that is not sound fails the
// cursor, so that whatever holds it fails too.
bool SkipLengthPath(Cursor& cursor)
{
    const uint32_t length = Take(cursor);
    const Cursor path = TakeSpan(cursor, length);
    cursor.failed = cursor.failed || !IsPathSound(path);
    return Ends(cursor);
}

bool IsImageSound(Cursor image, uint32_t nesting);

// A count, then count blend entries.
bool SkipBlend(Cursor& cursor)
{
    return SkipArray(cursor, Take(cursor), BLEND_ENTRY_SIZE);
}

bool SkipGradientOptions(Cursor& cursor, uint32_t flags)
{
    if ((flags & BRUSH_DATA_TRANSFORM) != 0) {
        Skip(cursor, MATRIX_SIZE);
    }
    if ((flags & BRUSH_DATA_PRESET_COLOURS) != 0) {
        SkipBlend(cursor);
    }
    if ((flags & BRUSH_DATA_BLEND_H) != 0) {
        SkipBlend(cursor);
    }
    if ((flags & BRUSH_DATA_BLEND_V) != 0) {
        SkipBlend(cursor);
    }
    return Ends(cursor);
}

bool IsPathGradientSound(Cursor& brush)
{
    const uint32_t flags = Take(brush);
    Skip(brush, PATH_GRADIENT_SIZE - 2 * FIELD_SIZE);  // wrap, centre colour and point
    SkipArray(brush, Take(brush), COLOUR_SIZE);        // surrounding colours
    if ((flags & BRUSH_DATA_PATH) != 0) {
        SkipLengthPath(brush);
    } else {
        SkipArray(brush, Take(brush), POINT_F_SIZE);
    }
    SkipGradientOptions(brush, flags);
    if ((flags & BRUSH_DATA_FOCUS_SCALES) != 0) {
        Skip(brush, FOCUS_SCALES_SIZE);
    }
    return Ends(brush);
}

bool IsBrushSound(Cursor brush, uint32_t nesting)
{
    Skip(brush, FIELD_SIZE);  // version
    const uint32_t type = Take(brush);
    switch (type) {
        case SOLID_BRUSH:
            return Skip(brush, COLOUR_SIZE);
        case HATCH_BRUSH:
            return Skip(brush, HATCH_DATA_SIZE);
        case TEXTURE_BRUSH: {
            const uint32_t flags = Take(brush);
            Skip(brush, FIELD_SIZE);  // wrap mode
            if ((flags & BRUSH_DATA_TRANSFORM) != 0) {
                Skip(brush, MATRIX_SIZE);
            }
            return Ends(brush) && IsImageSound(TakeSpan(brush, brush.size - brush.at), nesting);
        }
        case PATH_GRADIENT_BRUSH:
            return IsPathGradientSound(brush);
        case LINEAR_GRADIENT_BRUSH: {
            const uint32_t flags = Take(brush);
            Skip(brush, LINEAR_GRADIENT_SIZE - FIELD_SIZE);
            return SkipGradientOptions(brush, flags);
        }
        default:
            return false;
    }
}

bool IsCustomCapSound(Cursor cap)
{
    Skip(cap, FIELD_SIZE);  // version
    const uint32_t type = Take(cap);
    if (type == ARROW_CAP) {
        return Skip(cap, ARROW_CAP_SIZE);
    }
    if (type != DEFAULT_CAP) {
        return false;
    }
    // Wine's player reads a path after the fixed data whatever the flags.
    const uint32_t flags = Take(cap);
    if ((flags & (CAP_FILL_PATH | CAP_LINE_PATH)) == 0) {
        return false;
    }
    Skip(cap, DEFAULT_CAP_SIZE - FIELD_SIZE);
    if ((flags & CAP_FILL_PATH) != 0) {
        SkipLengthPath(cap);
    }
    if ((flags & CAP_LINE_PATH) != 0) {
        SkipLengthPath(cap);
    }
    return Ends(cap);
}

// A custom cap announced by a 32-bit size.
bool SkipSizedCap(Cursor& cursor)
{
    const uint32_t size = Take(cursor);
    return Ends(cursor) && IsCustomCapSound(TakeSpan(cursor, size));
}

bool IsPenSound(Cursor pen, uint32_t nesting)
{
    Skip(pen, PEN_FIXED_SIZE);
    if (!Ends(pen)) {
        return false;
    }
    const uint32_t flags = ReadUint32(pen.bytes + PEN_FLAGS_AT);
    if ((flags & PEN_TRANSFORM) != 0) {
        Skip(pen, MATRIX_SIZE);
    }
    for (uint32_t field : PEN_FIELDS_BEFORE_DASHES) {
        if ((flags & field) != 0) {
            Skip(pen, FIELD_SIZE);
        }
    }
    if ((flags & PEN_DASHED_LINE) != 0) {
        SkipArray(pen, Take(pen), FIELD_SIZE);
    }
    if ((flags & PEN_NON_CENTER) != 0) {
        Skip(pen, FIELD_SIZE);
    }
    if ((flags & PEN_COMPOUND_LINE) != 0) {
        SkipArray(pen, Take(pen), FIELD_SIZE);
    }
    if ((flags & PEN_CUSTOM_START_CAP) != 0 && !SkipSizedCap(pen)) {
        return false;
    }
    if ((flags & PEN_CUSTOM_END_CAP) != 0 && !SkipSizedCap(pen)) {
        return false;
    }
    return Ends(pen) && IsBrushSound(TakeSpan(pen, pen.size - pen.at), nesting);
}

// The region's node tree, walked without recursion: open holds, for each
// combining node above the next one, how many of its two children are
// still to come.
bool IsRegionSound(Cursor region)
{
    Skip(region, REGION_FIXED_SIZE);
    std::vector<uint8_t> open;
    do {
        const uint32_t type = Take(region);
        if (type >= REGION_COMBINE_FIRST && type <= REGION_COMBINE_LAST) {
            if (open.size() >= REGION_DEPTH_LIMIT) {
                return false;
            }
            open.push_back(REGION_CHILDREN);
            continue;
        }
        if (type == REGION_RECT) {
            Skip(region, RECT_F_SIZE);
        } else if (type == REGION_PATH) {
            SkipLengthPath(region);
        } else if (type != REGION_EMPTY && type != REGION_INFINITE) {
            return false;
        }
        while (!open.empty() && --open.back() == 0) {
            open.pop_back();
        }
    } while (!open.empty() && Ends(region));
    return Ends(region);
}

bool IsBitmapSound(Cursor bitmap)
{
    const uint32_t width = Take(bitmap);
    const uint32_t height = Take(bitmap);
    const uint32_t stride = Take(bitmap);
    const uint32_t format = Take(bitmap);
    const uint32_t type = Take(bitmap);
    if (!Ends(bitmap)) {
        return false;
    }
    if (type == BITMAP_COMPRESSED) {
        return bitmap.at < bitmap.size;
    }
    if (type != BITMAP_PIXELS) {
        return false;
    }
    const uint64_t bits = (format >> PIXEL_FORMAT_BITS_SHIFT) & PIXEL_FORMAT_BITS_MASK;
    if (width == 0 || height == 0 || bits == 0 ||
        stride < (static_cast<uint64_t>(width) * bits + BITS_PER_BYTE - 1) / BITS_PER_BYTE) {
        return false;
    }
    if ((format & PIXEL_FORMAT_INDEXED) != 0) {
        Skip(bitmap, FIELD_SIZE);  // palette flags
        SkipArray(bitmap, Take(bitmap), COLOUR_SIZE);
    }
    return SkipArray(bitmap, height, stride);
}

bool AreMetafileBytesSound(const uint8_t* metafile, size_t size, uint32_t nesting);

bool IsMetafileImageSound(Cursor image, uint32_t nesting)
{
    const uint32_t type = Take(image);
    const uint32_t size = Take(image);
    if (type < METAFILE_TYPE_EMF || type > METAFILE_TYPE_EMF_PLUS_DUAL || nesting == 0) {
        return false;
    }
    const Cursor data = TakeSpan(image, size);
    return Ends(data) && AreMetafileBytesSound(data.bytes, data.size, nesting - 1);
}

bool IsImageSound(Cursor image, uint32_t nesting)
{
    Skip(image, FIELD_SIZE);  // version
    const uint32_t type = Take(image);
    if (!Ends(image)) {
        return false;
    }
    const Cursor data = TakeSpan(image, image.size - image.at);
    if (type == BITMAP_IMAGE) {
        return IsBitmapSound(data);
    }
    return type == METAFILE_IMAGE && IsMetafileImageSound(data, nesting);
}

bool IsFontSound(Cursor font)
{
    Skip(font, FONT_FIXED_SIZE);
    return Ends(font) && SkipArray(font, ReadUint32(font.bytes + FONT_LENGTH_AT), CHAR_SIZE);
}

bool IsStringFormatSound(Cursor format)
{
    Skip(format, STRING_FORMAT_FIXED_SIZE);
    if (!Ends(format)) {
        return false;
    }
    SkipArray(format, ReadUint32(format.bytes + TAB_STOP_COUNT_AT), FIELD_SIZE);
    SkipArray(format, ReadUint32(format.bytes + RANGE_COUNT_AT), RANGE_SIZE);
    return Ends(format);
}

bool IsObjectSound(uint8_t type, Cursor object, uint32_t nesting)
{
    switch (type) {
        case BRUSH:
            return IsBrushSound(object, nesting);
        case PEN:
            return IsPenSound(object, nesting);
        case PATH:
            return IsPathSound(object);
        case REGION:
            return IsRegionSound(object);
        case IMAGE:
            return IsImageSound(object, nesting);
        case FONT:
            return IsFontSound(object);
        case STRING_FORMAT:
            return IsStringFormatSound(object);
        case IMAGE_ATTRIBUTES:
            return Skip(object, IMAGE_ATTRIBUTES_SIZE);
        case CUSTOM_LINE_CAP:
            return IsCustomCapSound(object);
        default:
            return false;
    }
}

// What the records before have defined: the object table, and an object
// whose definition continues over several EmfPlusObject records.
struct PlayState {
    std::array<uint8_t, OBJECT_TABLE_SIZE> objects;
    uint32_t nesting;
    bool continuing;
    uint16_t continuedFlags;
    uint32_t continuedSize;
    std::vector<uint8_t> continued;
};

bool Names(const PlayState& state, uint32_t id, uint8_t type)
{
    return id < OBJECT_TABLE_SIZE && state.objects[id] == type;
}

// One EMF+ record, as a check function sees it.
struct PlusRecord {
    uint16_t type;
    uint16_t flags;
    Cursor data;  // exactly the record's DataSize bytes
};

uint32_t FlagsObject(const PlusRecord& record)
{
    return record.flags & OBJECT_ID_MASK;
}

bool DefineObject(PlayState& state, uint16_t flags, const Cursor& object)
{
    const uint8_t type = static_cast<uint8_t>((flags >> OBJECT_TYPE_SHIFT) & OBJECT_TYPE_MASK);
    const uint32_t id = flags & OBJECT_ID_MASK;
    if (id >= OBJECT_TABLE_SIZE || !IsObjectSound(type, object, state.nesting)) {
        return false;
    }
    state.objects[id] = type;
    return true;
}

// EmfPlusObject: a whole object, or a piece of one. A continued object's
// records each start with its total size; the last piece has no continued
// flag, and the pieces add up to the total.
bool CheckObject(const PlusRecord& record, PlayState& state)
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
constexpr uint32_t DRIVER_MATRIX_AT = 8;
constexpr uint32_t DRIVER_GLYPHS_AT = 12;
constexpr uint32_t MATRIX_FLOATS = 6;
// BeginContainer: destination and source rectangles, whose floats must be
// finite; the player divides by the source's width and height.
constexpr uint32_t CONTAINER_FLOATS = 8;
constexpr uint32_t CONTAINER_SOURCE_WIDTH_AT = 24;
constexpr uint32_t CONTAINER_SOURCE_HEIGHT_AT = 28;
constexpr uint32_t FLOAT_EXPONENT = 0x7F800000;
constexpr uint32_t FLOAT_MAGNITUDE = 0x7FFFFFFF;
constexpr uint32_t CURVE_OFFSET_AT = 4;
constexpr uint32_t CURVE_SEGMENTS_AT = 8;

// In type order, for the lookup. Kinds left out (multi-format records,
// terminal-server records) are refused.
constexpr PlusKind PLUS_KINDS[] = {
    Plain(EMF_PLUS_HEADER, HEADER_DATA_SIZE),
    Plain(EMF_PLUS_END_OF_FILE, NO_DATA),
    Plain(EMF_PLUS_COMMENT, NO_DATA),
    Plain(EMF_PLUS_GET_DC, NO_DATA),
    PlusKind{EMF_PLUS_OBJECT, NO_DATA, NO_OBJECT, false, NO_OBJECT, 0, Tail::OBJECT, 0, false},
    Plain(EMF_PLUS_CLEAR, COLOUR_SIZE),
    Fill(EMF_PLUS_FILL_RECTS, TWO_FIELDS, NO_OBJECT, Tail::RECTS, FIELD_SIZE),
    Draw(EMF_PLUS_DRAW_RECTS, ONE_FIELD, Tail::RECTS),
    Fill(EMF_PLUS_FILL_POLYGON, TWO_FIELDS, NO_OBJECT, Tail::POINTS, FIELD_SIZE, true),
    Draw(EMF_PLUS_DRAW_LINES, ONE_FIELD, Tail::POINTS, 0, true),
    Fill(EMF_PLUS_FILL_ELLIPSE, ONE_FIELD, NO_OBJECT, Tail::RECT),
    Draw(EMF_PLUS_DRAW_ELLIPSE, NO_DATA, Tail::RECT),
    Fill(EMF_PLUS_FILL_PIE, THREE_FIELDS, NO_OBJECT, Tail::RECT),
    Draw(EMF_PLUS_DRAW_PIE, TWO_FIELDS, Tail::RECT),
    Draw(EMF_PLUS_DRAW_ARC, TWO_FIELDS, Tail::RECT),
    Fill(EMF_PLUS_FILL_REGION, ONE_FIELD, REGION, Tail::NONE),
    Fill(EMF_PLUS_FILL_PATH, ONE_FIELD, PATH, Tail::NONE),
    WithField(Plain(EMF_PLUS_DRAW_PATH, ONE_FIELD, PATH), PEN, 0),
    Fill(EMF_PLUS_FILL_CLOSED_CURVE, THREE_FIELDS, NO_OBJECT, Tail::POINTS, TWO_FIELDS, true),
    Draw(EMF_PLUS_DRAW_CLOSED_CURVE, TWO_FIELDS, Tail::POINTS, FIELD_SIZE, true),
    Draw(EMF_PLUS_DRAW_CURVE, FOUR_FIELDS, Tail::CURVE, THREE_FIELDS),
    Draw(EMF_PLUS_DRAW_BEZIERS, ONE_FIELD, Tail::POINTS, 0, true),
    PlusKind{EMF_PLUS_DRAW_IMAGE, IMAGE_SOURCE_SIZE, IMAGE, false, IMAGE_ATTRIBUTES, 0, Tail::RECT,
             0, false},
    PlusKind{EMF_PLUS_DRAW_IMAGE_POINTS, IMAGE_SOURCE_SIZE + FIELD_SIZE, IMAGE, false,
             IMAGE_ATTRIBUTES, 0, Tail::POINTS, IMAGE_SOURCE_SIZE, true},
    WithField(Fill(EMF_PLUS_DRAW_STRING, STRING_FIXED_SIZE, FONT, Tail::CHARS, TWO_FIELDS),
              STRING_FORMAT, FIELD_SIZE),
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
             Tail::BYTES, GUID_SIZE, false},
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

bool HasSoundTail(const PlusKind& kind, const PlusRecord& record, PlayState& state)
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
            const uint64_t last = static_cast<uint64_t>(FieldAt(data, CURVE_OFFSET_AT)) +
                                  FieldAt(data, CURVE_SEGMENTS_AT);
            return last < count && SkipPoints(data, FieldAt(data, kind.countAt), flags);
        }
        case Tail::CHARS:
            return SkipArray(data, FieldAt(data, kind.countAt), CHAR_SIZE);
        case Tail::DRIVER_STRING: {
            const uint32_t glyphs = FieldAt(data, DRIVER_GLYPHS_AT);
            SkipArray(data, glyphs, CHAR_SIZE);
            SkipArray(data, glyphs, POINT_F_SIZE);
            return FieldAt(data, DRIVER_MATRIX_AT) == 0 ? Ends(data) : Skip(data, MATRIX_SIZE);
        }
        case Tail::FINITE:
            return AreFloatsFinite(data, kind.countAt);
        case Tail::CONTAINER:
            return AreFloatsFinite(data, CONTAINER_FLOATS) &&
                   !IsFloatZero(FieldAt(data, CONTAINER_SOURCE_WIDTH_AT)) &&
                   !IsFloatZero(FieldAt(data, CONTAINER_SOURCE_HEIGHT_AT));
        case Tail::BYTES:
            return SkipArray(data, FieldAt(data, kind.countAt), 1);
        case Tail::OBJECT:
            return CheckObject(record, state);
    }
    return false;
}

bool IsPlusRecordSound(const PlusRecord& record, PlayState& state)
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
        !Names(state, FieldAt(record.data, 0), BRUSH)) {
        return false;
    }
    if (kind->fieldObject != NO_OBJECT &&
        !Names(state, FieldAt(record.data, kind->fieldAt), kind->fieldObject)) {
        return false;
    }
    return HasSoundTail(*kind, record, state);
}

// The EMF+ data of a GDICOMMENT record, after the signature, or none.
Cursor ReadEmfPlusData(const uint8_t* record, const RecordSpan& span)
{
    if (span.type != EMR_GDICOMMENT || span.size < COMMENT_DATA_AT + SIGNATURE_SIZE) {
        return Cursor{nullptr, 0, 0, true};
    }
    const uint64_t count = ReadUint32(record + COMMENT_SIZE_AT);
    if (COMMENT_DATA_AT + count > span.size || count < SIGNATURE_SIZE ||
        ReadUint32(record + COMMENT_DATA_AT) != EMF_PLUS_SIGNATURE) {
        return Cursor{nullptr, 0, 0, true};
    }
    return CursorOver(record + COMMENT_DATA_AT + SIGNATURE_SIZE,
                      static_cast<size_t>(count - SIGNATURE_SIZE));
}

// The next record of an EMF+ comment's data: Size at least the header, a
// multiple of 4 and inside the data, DataSize within Size. False at the end
// or at a record that breaks these rules (data then fails).
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
    const uint32_t size = ReadUint32(start + RECORD_SIZE_AT);
    const uint32_t dataSize = ReadUint32(start + RECORD_DATA_SIZE_AT);
    if (size < RECORD_HEADER_SIZE || size % RECORD_ALIGNMENT != 0 ||
        dataSize > size - RECORD_HEADER_SIZE || !Skip(comment, size - RECORD_HEADER_SIZE)) {
        comment.failed = true;
        return false;
    }
    record = PlusRecord{ReadUint16(start), ReadUint16(start + RECORD_FLAGS_AT),
                        CursorOver(start + RECORD_HEADER_SIZE, dataSize)};
    return true;
}

bool AreCommentRecordsSound(Cursor comment, PlayState& state)
{
    PlusRecord record{};
    while (TakePlusRecord(comment, record)) {
        if (!IsPlusRecordSound(record, state)) {
            return false;
        }
    }
    return Ends(comment);
}

bool AreEmfPlusRecordsSoundIn(const uint8_t* metafile, size_t size, uint32_t nesting)
{
    PlayState state{};
    state.nesting = nesting;
    RecordSpan span{};
    for (size_t at = 0; ReadRecordAt(metafile, size, at, span); at += span.size) {
        const Cursor comment = ReadEmfPlusData(metafile + at, span);
        if (Ends(comment) && !AreCommentRecordsSound(comment, state)) {
            return false;
        }
    }
    return !state.continuing;
}

// A metafile image GDI+ plays: GDI+ plays its GDI records (those in GetDC
// spans, and Wine's player those before the first EMF+ record) through the
// platform's unchecked player, and its EMF+ records itself, so every record
// must be one the playback may play (DepthAfterPlayable) and the EMF+
// records must be sound.
bool AreMetafileBytesSound(const uint8_t* metafile, size_t size, uint32_t nesting)
{
    MetafileHeader header{};
    if (!ReadMetafileHeader(metafile, size, header) ||
        !IsRecordChainIntact(metafile, header.size)) {
        return false;
    }
    std::optional<uint32_t> depth = 0;
    RecordSpan span{};
    for (size_t at = 0; depth && ReadRecordAt(metafile, header.size, at, span); at += span.size) {
        depth = DepthAfterPlayable(metafile + at, span.size, header.handleCount, *depth);
    }
    return depth && AreEmfPlusRecordsSoundIn(metafile, header.size, nesting);
}

// The GDI records that put ink on the page, text aside.
bool DrawsShapeOrImage(uint32_t type)
{
    switch (type) {
        case EMR_POLYBEZIER:
        case EMR_POLYGON:
        case EMR_POLYLINE:
        case EMR_POLYBEZIERTO:
        case EMR_POLYLINETO:
        case EMR_POLYPOLYLINE:
        case EMR_POLYPOLYGON:
        case EMR_SETPIXELV:
        case EMR_ANGLEARC:
        case EMR_ELLIPSE:
        case EMR_RECTANGLE:
        case EMR_ROUNDRECT:
        case EMR_ARC:
        case EMR_CHORD:
        case EMR_PIE:
        case EMR_EXTFLOODFILL:
        case EMR_LINETO:
        case EMR_ARCTO:
        case EMR_POLYDRAW:
        case EMR_FILLPATH:
        case EMR_STROKEANDFILLPATH:
        case EMR_STROKEPATH:
        case EMR_FILLRGN:
        case EMR_FRAMERGN:
        case EMR_INVERTRGN:
        case EMR_PAINTRGN:
        case EMR_BITBLT:
        case EMR_STRETCHBLT:
        case EMR_MASKBLT:
        case EMR_PLGBLT:
        case EMR_SETDIBITSTODEVICE:
        case EMR_STRETCHDIBITS:
        case EMR_POLYBEZIER16:
        case EMR_POLYGON16:
        case EMR_POLYLINE16:
        case EMR_POLYBEZIERTO16:
        case EMR_POLYLINETO16:
        case EMR_POLYPOLYLINE16:
        case EMR_POLYPOLYGON16:
        case EMR_POLYDRAW16:
        case EMR_ALPHABLEND:
        case EMR_TRANSPARENTBLT:
        case EMR_GRADIENTFILL:
            return true;
        default:
            return false;
    }
}

// The EMF+ records that put ink on the page.
bool DrawsInEmfPlus(uint16_t type)
{
    return (type >= EMF_PLUS_CLEAR && type <= EMF_PLUS_DRAW_STRING) ||
           type == EMF_PLUS_DRAW_DRIVER_STRING || type == EMF_PLUS_STROKE_FILL_PATH;
}

// The EMF+ records of one comment: whether they draw, and whether the last
// of them is a GetDC, which opens a span of GDI records GDI+ plays as part
// of its picture, up to the next EMF+ record.
struct CommentSurvey {
    bool hasRecords;
    bool draws;
    bool endsWithGetDc;
    uint16_t firstType;
};

CommentSurvey SurveyComment(Cursor comment)
{
    CommentSurvey survey{false, false, false, 0};
    PlusRecord record{};
    while (TakePlusRecord(comment, record)) {
        survey.firstType = survey.hasRecords ? survey.firstType : record.type;
        survey.hasRecords = true;
        survey.draws = survey.draws || DrawsInEmfPlus(record.type);
        survey.endsWithGetDc = record.type == EMF_PLUS_GET_DC;
    }
    return survey;
}

}  // namespace

bool AreEmfPlusRecordsSound(const uint8_t* metafile, size_t size)
{
    return AreEmfPlusRecordsSoundIn(metafile, size, NESTING_LIMIT);
}

RendererSurvey SurveyRecord(const RendererSurvey& survey, const uint8_t* record,
                            const RecordSpan& span)
{
    RendererSurvey after = survey;
    const Cursor comment = ReadEmfPlusData(record, span);
    if (!Ends(comment)) {
        after.gdiDraws = after.gdiDraws || (!after.inGetDcSpan && DrawsShapeOrImage(span.type));
        return after;
    }
    const CommentSurvey records = SurveyComment(comment);
    if (!after.seenEmfPlus) {
        after.seenEmfPlus = true;
        after.startsWithHeader = records.firstType == EMF_PLUS_HEADER;
    }
    after.emfPlusDraws = after.emfPlusDraws || records.draws;
    after.inGetDcSpan = records.hasRecords ? records.endsWithGetDc : after.inGetDcSpan;
    return after;
}

bool LivesInEmfPlus(const RendererSurvey& survey)
{
    return survey.startsWithHeader && survey.emfPlusDraws && !survey.gdiDraws;
}
