#include "metafile/emf_records.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "metafile/dib_layout.h"
#include "metafile/emf_record_types.h"
#include "metafile/little_endian.h"

namespace {

// Every record starts with its type and its size; fields are 32 bits.
constexpr size_t RECORD_TYPE_AT = 0;
constexpr size_t RECORD_SIZE_AT = 4;
constexpr uint32_t FIELD_SIZE = 4;
constexpr uint32_t RECORD_ALIGNMENT = 4;
// RESTOREDC: how many saved states back, as a negative number.
constexpr size_t RESTORE_LEVEL_AT = 8;

// Header record fields.
constexpr size_t HEADER_SIGNATURE_AT = 40;
constexpr size_t HEADER_BYTES_AT = 48;
constexpr size_t HEADER_RECORDS_AT = 52;
constexpr size_t HEADER_HANDLES_AT = 56;
constexpr uint32_t METAFILE_SIGNATURE = 0x464D4520;  // " EMF"

// Object records keep their handle index right after the record's start;
// FILLRGN and FRAMERGN keep their brush's after the region data size.
constexpr uint32_t OBJECT_INDEX_AT = 8;
constexpr uint32_t REGION_BRUSH_AT = 28;

// Drawing records start with a bounding rectangle; poly records then hold a
// point count and the points, poly-poly records a count of polylines, a
// count of points, the polylines' point counts and the points.
constexpr uint32_t POLY_COUNT_AT = 24;
constexpr uint32_t POLY_POINTS_AT = 28;
constexpr uint32_t POLYPOLY_LINES_AT = 24;
constexpr uint32_t POLYPOLY_POINTS_AT = 28;
constexpr uint32_t POLYPOLY_COUNTS_AT = 32;
constexpr uint32_t POINT32_SIZE = 8;
constexpr uint32_t POINT16_SIZE = 4;
constexpr uint32_t POINT_TYPE_SIZE = 1;

// A text (EMRTEXT) and where the text records keep theirs.
constexpr uint32_t TEXT_CHARS_AT = 8;
constexpr uint32_t TEXT_STRING_AT = 12;
constexpr uint32_t TEXT_OPTIONS_AT = 16;
constexpr uint32_t TEXT_ADVANCES_AT = 36;
constexpr uint32_t TEXT_SIZE = 40;
constexpr uint32_t EXTTEXT_TEXT_AT = 36;
constexpr uint32_t POLYTEXT_COUNT_AT = 36;
constexpr uint32_t POLYTEXT_TEXTS_AT = 40;
constexpr uint32_t SMALLTEXT_CHARS_AT = 16;
constexpr uint32_t SMALLTEXT_OPTIONS_AT = 20;
constexpr uint32_t SMALLTEXT_CLIP_AT = 36;
constexpr uint32_t RECT_SIZE = 16;
constexpr uint32_t ANSI_CHAR_SIZE = 1;
constexpr uint32_t WIDE_CHAR_SIZE = 2;
constexpr uint32_t ADVANCE_SIZE = 4;
// Text options: an x and a y advance per character; no clip rectangle;
// 8-bit characters.
constexpr uint32_t TEXT_PAIRED_ADVANCES = 0x2000;
constexpr uint32_t TEXT_NO_RECT = 0x100;
constexpr uint32_t TEXT_SMALL_CHARS = 0x200;

// Region records: the region data's size and the data (RGNDATA: a 32-byte
// header, whose first field is its own size, then 16-byte rectangles).
constexpr uint32_t PAINTRGN_SIZE_AT = 24;
constexpr uint32_t PAINTRGN_DATA_AT = 28;
constexpr uint32_t FILLRGN_DATA_AT = 32;
constexpr uint32_t FRAMERGN_DATA_AT = 40;
constexpr uint32_t CLIPRGN_SIZE_AT = 8;
constexpr uint32_t CLIPRGN_DATA_AT = 16;
constexpr uint32_t REGION_HEADER_SIZE = 32;
constexpr uint32_t REGION_RECT_COUNT_AT = 8;

// Bitmaps: four fields in a row (offBmi, cbBmi, offBits, cbBits) and a
// colour-usage field, placed per record kind.
constexpr uint32_t BITMAP_INFO_SIZE_AT = 4;
constexpr uint32_t BITMAP_BITS_AT = 8;
constexpr uint32_t BITMAP_BITS_SIZE_AT = 12;
constexpr uint32_t BLT_USAGE_AT = 80;
constexpr uint32_t BLT_BITMAP_AT = 84;
constexpr uint32_t MASKBLT_MASK_USAGE_AT = 108;
constexpr uint32_t MASKBLT_MASK_AT = 112;
constexpr uint32_t PLGBLT_USAGE_AT = 92;
constexpr uint32_t PLGBLT_BITMAP_AT = 96;
constexpr uint32_t PLGBLT_MASK_USAGE_AT = 120;
constexpr uint32_t PLGBLT_MASK_AT = 124;
constexpr uint32_t DIBITS_BITMAP_AT = 48;
constexpr uint32_t DIBITS_USAGE_AT = 64;
constexpr uint32_t BRUSH_USAGE_AT = 12;
constexpr uint32_t BRUSH_BITMAP_AT = 16;
constexpr uint32_t PEN_BITMAP_AT = 12;
constexpr uint32_t PEN_STYLE_COUNT_AT = 48;
constexpr uint32_t PEN_STYLES_AT = 52;

// Palettes: CREATEPALETTE's LOGPALETTE has a 16-bit entry count.
constexpr uint32_t LOGPALETTE_COUNT_AT = 14;
constexpr uint32_t LOGPALETTE_ENTRIES_AT = 16;
constexpr uint32_t SETPALETTE_COUNT_AT = 16;
constexpr uint32_t SETPALETTE_ENTRIES_AT = 20;
constexpr uint32_t PALETTE_ENTRY_SIZE = 4;

// Records carrying counted bytes: GDICOMMENT and GLSRECORD keep the count
// right after the record header.
constexpr uint32_t COUNTED_SIZE_AT = 8;
constexpr uint32_t COUNTED_DATA_AT = 12;
constexpr uint32_t GLSBOUNDED_SIZE_AT = 24;
constexpr uint32_t GLSBOUNDED_DATA_AT = 28;
constexpr uint32_t ESCAPE_SIZE_AT = 12;
constexpr uint32_t ESCAPE_DATA_AT = 16;
constexpr uint32_t LINKEDUFIS_COUNT_AT = 8;
constexpr uint32_t LINKEDUFIS_AT = 12;
constexpr uint32_t UFI_SIZE = 8;
constexpr uint32_t BYTE_SIZE = 1;

// GRADIENTFILL: vertex count, piece count, mode, then 16-byte vertices and
// the pieces: rectangles of 2 or triangles of 3 vertex numbers.
constexpr uint32_t GRADIENT_VERTEX_COUNT_AT = 24;
constexpr uint32_t GRADIENT_PIECE_COUNT_AT = 28;
constexpr uint32_t GRADIENT_MODE_AT = 32;
constexpr uint32_t GRADIENT_VERTICES_AT = 36;
constexpr uint32_t GRADIENT_VERTEX_SIZE = 16;
constexpr uint32_t GRADIENT_RECT_H = 0;
constexpr uint32_t GRADIENT_RECT_V = 1;
constexpr uint32_t GRADIENT_TRIANGLE = 2;
constexpr uint32_t RECT_CORNERS = 2;
constexpr uint32_t TRIANGLE_CORNERS = 3;

// Structures held whole in the fixed part of a record.
constexpr uint32_t LOGFONTW_SIZE = 92;
constexpr uint32_t LOGCOLORSPACEA_SIZE = 328;
constexpr uint32_t LOGCOLORSPACEW_SIZE = 588;
constexpr uint32_t COLORADJUSTMENT_SIZE = 24;
constexpr uint32_t PIXELFORMATDESCRIPTOR_SIZE = 40;

// A record of the record header and count 32-bit fields.
constexpr uint32_t Fields(uint32_t count)
{
    return EMF_RECORD_HEADER_SIZE + count * FIELD_SIZE;
}

// Object records: the header and the handle index, then the object.
constexpr uint32_t OBJECT_RECORD_SIZE = Fields(1);
// CREATECOLORSPACEW: the colour space, flags, a data size and the data.
constexpr uint32_t COLORSPACEW_DATA_SIZE_AT = OBJECT_RECORD_SIZE + LOGCOLORSPACEW_SIZE + FIELD_SIZE;
constexpr uint32_t COLORSPACEW_DATA_AT = COLORSPACEW_DATA_SIZE_AT + FIELD_SIZE;

enum class RuleKind : uint8_t {
    None,
    TableIndex,         // field: an index into the handle table
    ObjectIndex,        // field: a table index or a stock object
    PaletteIndex,       // field: a table index or the stock default palette
    CountedArray,       // field: 32-bit count of unitSize-byte elements at dataAt
    ShortCountedArray,  // the same with a 16-bit count
    PolyPolyline,       // polyline counts, then points of unitSize bytes
    ExtText,            // one text of unitSize-byte characters, advances optional
    PolyText,           // counted texts of unitSize-byte characters
    SmallText,          // SMALLTEXTOUT's characters
    Region,             // field: region data size, dataAt: the data
    ClipRegion,         // the same, where no data at all is allowed
    Bitmap,             // field: the bitmap's four fields, usageAt: its usage
    OptionalBitmap,     // the same, where offBmi and cbBmi may both be 0
    BitmapRanges,       // field: four bitmap fields whose ranges lie inside
    GradientMesh,       // GRADIENTFILL's vertices and pieces
};

// One check a record kind needs, with the offsets it reads.
struct Rule {
    RuleKind kind;
    uint32_t field;     // the rule's index, count or size field, or a bitmap's first field
    uint32_t unitSize;  // bytes per counted element or character
    uint32_t dataAt;    // where the counted data starts
    uint32_t usageAt;   // a bitmap's colour-usage field
};

constexpr size_t MAX_RULES = 3;

struct RecordKind {
    uint32_t type;
    uint32_t minimumSize;  // the fixed part the player reads unconditionally
    std::array<Rule, MAX_RULES> rules;
};

constexpr Rule NO_RULE{RuleKind::None, 0, 0, 0, 0};

constexpr Rule Index(RuleKind kind, uint32_t field)
{
    return Rule{kind, field, 0, 0, 0};
}

constexpr Rule Created()
{
    return Index(RuleKind::TableIndex, OBJECT_INDEX_AT);
}

constexpr Rule Array(uint32_t countAt, uint32_t unitSize, uint32_t dataAt)
{
    return Rule{RuleKind::CountedArray, countAt, unitSize, dataAt, 0};
}

constexpr Rule Points(uint32_t unitSize)
{
    return Array(POLY_COUNT_AT, unitSize, POLY_POINTS_AT);
}

constexpr Rule Unit(RuleKind kind, uint32_t unitSize)
{
    return Rule{kind, 0, unitSize, 0, 0};
}

constexpr Rule RegionData(RuleKind kind, uint32_t sizeAt, uint32_t dataAt)
{
    return Rule{kind, sizeAt, 0, dataAt, 0};
}

constexpr Rule BitmapAt(RuleKind kind, uint32_t fieldsAt, uint32_t usageAt)
{
    return Rule{kind, fieldsAt, 0, 0, usageAt};
}

constexpr RecordKind Kind(uint32_t type, uint32_t minimumSize, Rule first = NO_RULE,
                          Rule second = NO_RULE, Rule third = NO_RULE)
{
    return RecordKind{type, minimumSize, {{first, second, third}}};
}

// One entry per record kind, in type order. Sizes count the record header
// and the 32-bit fields after it (Fields), or reach the first counted datum.
constexpr RecordKind RECORD_KINDS[] = {
    Kind(EMR_HEADER, EMF_SMALLEST_HEADER_SIZE),
    Kind(EMR_POLYBEZIER, POLY_POINTS_AT, Points(POINT32_SIZE)),
    Kind(EMR_POLYGON, POLY_POINTS_AT, Points(POINT32_SIZE)),
    Kind(EMR_POLYLINE, POLY_POINTS_AT, Points(POINT32_SIZE)),
    Kind(EMR_POLYBEZIERTO, POLY_POINTS_AT, Points(POINT32_SIZE)),
    Kind(EMR_POLYLINETO, POLY_POINTS_AT, Points(POINT32_SIZE)),
    Kind(EMR_POLYPOLYLINE, POLYPOLY_COUNTS_AT, Unit(RuleKind::PolyPolyline, POINT32_SIZE)),
    Kind(EMR_POLYPOLYGON, POLYPOLY_COUNTS_AT, Unit(RuleKind::PolyPolyline, POINT32_SIZE)),
    Kind(EMR_SETWINDOWEXTEX, Fields(2)),
    Kind(EMR_SETWINDOWORGEX, Fields(2)),
    Kind(EMR_SETVIEWPORTEXTEX, Fields(2)),
    Kind(EMR_SETVIEWPORTORGEX, Fields(2)),
    Kind(EMR_SETBRUSHORGEX, Fields(2)),
    Kind(EMR_EOF, Fields(3)),
    Kind(EMR_SETPIXELV, Fields(3)),
    Kind(EMR_SETMAPPERFLAGS, Fields(1)),
    Kind(EMR_SETMAPMODE, Fields(1)),
    Kind(EMR_SETBKMODE, Fields(1)),
    Kind(EMR_SETPOLYFILLMODE, Fields(1)),
    Kind(EMR_SETROP2, Fields(1)),
    Kind(EMR_SETSTRETCHBLTMODE, Fields(1)),
    Kind(EMR_SETTEXTALIGN, Fields(1)),
    Kind(EMR_SETCOLORADJUSTMENT, EMF_RECORD_HEADER_SIZE + COLORADJUSTMENT_SIZE),
    Kind(EMR_SETTEXTCOLOR, Fields(1)),
    Kind(EMR_SETBKCOLOR, Fields(1)),
    Kind(EMR_OFFSETCLIPRGN, Fields(2)),
    Kind(EMR_MOVETOEX, Fields(2)),
    Kind(EMR_SETMETARGN, Fields(0)),
    Kind(EMR_EXCLUDECLIPRECT, Fields(4)),
    Kind(EMR_INTERSECTCLIPRECT, Fields(4)),
    Kind(EMR_SCALEVIEWPORTEXTEX, Fields(4)),
    Kind(EMR_SCALEWINDOWEXTEX, Fields(4)),
    Kind(EMR_SAVEDC, Fields(0)),
    Kind(EMR_RESTOREDC, Fields(1)),
    Kind(EMR_SETWORLDTRANSFORM, Fields(6)),
    Kind(EMR_MODIFYWORLDTRANSFORM, Fields(7)),
    Kind(EMR_SELECTOBJECT, Fields(1), Index(RuleKind::ObjectIndex, OBJECT_INDEX_AT)),
    Kind(EMR_CREATEPEN, Fields(5), Created()),
    Kind(EMR_CREATEBRUSHINDIRECT, Fields(4), Created()),
    Kind(EMR_DELETEOBJECT, Fields(1), Index(RuleKind::TableIndex, OBJECT_INDEX_AT)),
    Kind(EMR_ANGLEARC, Fields(5)),
    Kind(EMR_ELLIPSE, Fields(4)),
    Kind(EMR_RECTANGLE, Fields(4)),
    Kind(EMR_ROUNDRECT, Fields(6)),
    Kind(EMR_ARC, Fields(8)),
    Kind(EMR_CHORD, Fields(8)),
    Kind(EMR_PIE, Fields(8)),
    Kind(EMR_SELECTPALETTE, Fields(1), Index(RuleKind::PaletteIndex, OBJECT_INDEX_AT)),
    Kind(EMR_CREATEPALETTE, LOGPALETTE_ENTRIES_AT, Created(),
         Rule{RuleKind::ShortCountedArray, LOGPALETTE_COUNT_AT, PALETTE_ENTRY_SIZE,
              LOGPALETTE_ENTRIES_AT, 0}),
    Kind(EMR_SETPALETTEENTRIES, SETPALETTE_ENTRIES_AT, Index(RuleKind::TableIndex, OBJECT_INDEX_AT),
         Array(SETPALETTE_COUNT_AT, PALETTE_ENTRY_SIZE, SETPALETTE_ENTRIES_AT)),
    Kind(EMR_RESIZEPALETTE, Fields(2), Index(RuleKind::TableIndex, OBJECT_INDEX_AT)),
    Kind(EMR_REALIZEPALETTE, Fields(0)),
    Kind(EMR_EXTFLOODFILL, Fields(4)),
    Kind(EMR_LINETO, Fields(2)),
    Kind(EMR_ARCTO, Fields(8)),
    Kind(EMR_POLYDRAW, POLY_POINTS_AT, Points(POINT32_SIZE + POINT_TYPE_SIZE)),
    Kind(EMR_SETARCDIRECTION, Fields(1)),
    Kind(EMR_SETMITERLIMIT, Fields(1)),
    Kind(EMR_BEGINPATH, Fields(0)),
    Kind(EMR_ENDPATH, Fields(0)),
    Kind(EMR_CLOSEFIGURE, Fields(0)),
    Kind(EMR_FILLPATH, Fields(4)),
    Kind(EMR_STROKEANDFILLPATH, Fields(4)),
    Kind(EMR_STROKEPATH, Fields(4)),
    Kind(EMR_FLATTENPATH, Fields(0)),
    Kind(EMR_WIDENPATH, Fields(0)),
    Kind(EMR_SELECTCLIPPATH, Fields(1)),
    Kind(EMR_ABORTPATH, Fields(0)),
    Kind(EMR_GDICOMMENT, COUNTED_DATA_AT, Array(COUNTED_SIZE_AT, BYTE_SIZE, COUNTED_DATA_AT)),
    Kind(EMR_FILLRGN, FILLRGN_DATA_AT,
         RegionData(RuleKind::Region, PAINTRGN_SIZE_AT, FILLRGN_DATA_AT),
         Index(RuleKind::TableIndex, REGION_BRUSH_AT)),
    Kind(EMR_FRAMERGN, FRAMERGN_DATA_AT,
         RegionData(RuleKind::Region, PAINTRGN_SIZE_AT, FRAMERGN_DATA_AT),
         Index(RuleKind::TableIndex, REGION_BRUSH_AT)),
    Kind(EMR_INVERTRGN, PAINTRGN_DATA_AT,
         RegionData(RuleKind::Region, PAINTRGN_SIZE_AT, PAINTRGN_DATA_AT)),
    Kind(EMR_PAINTRGN, PAINTRGN_DATA_AT,
         RegionData(RuleKind::Region, PAINTRGN_SIZE_AT, PAINTRGN_DATA_AT)),
    Kind(EMR_EXTSELECTCLIPRGN, CLIPRGN_DATA_AT,
         RegionData(RuleKind::ClipRegion, CLIPRGN_SIZE_AT, CLIPRGN_DATA_AT)),
    Kind(EMR_BITBLT, Fields(23), BitmapAt(RuleKind::OptionalBitmap, BLT_BITMAP_AT, BLT_USAGE_AT)),
    Kind(EMR_STRETCHBLT, Fields(25),
         BitmapAt(RuleKind::OptionalBitmap, BLT_BITMAP_AT, BLT_USAGE_AT)),
    Kind(EMR_MASKBLT, Fields(30), BitmapAt(RuleKind::Bitmap, BLT_BITMAP_AT, BLT_USAGE_AT),
         BitmapAt(RuleKind::Bitmap, MASKBLT_MASK_AT, MASKBLT_MASK_USAGE_AT)),
    Kind(EMR_PLGBLT, Fields(33), BitmapAt(RuleKind::Bitmap, PLGBLT_BITMAP_AT, PLGBLT_USAGE_AT),
         BitmapAt(RuleKind::Bitmap, PLGBLT_MASK_AT, PLGBLT_MASK_USAGE_AT)),
    Kind(EMR_SETDIBITSTODEVICE, Fields(17),
         BitmapAt(RuleKind::Bitmap, DIBITS_BITMAP_AT, DIBITS_USAGE_AT)),
    Kind(EMR_STRETCHDIBITS, Fields(18),
         BitmapAt(RuleKind::Bitmap, DIBITS_BITMAP_AT, DIBITS_USAGE_AT)),
    Kind(EMR_EXTCREATEFONTINDIRECTW, OBJECT_RECORD_SIZE + LOGFONTW_SIZE, Created()),
    Kind(EMR_EXTTEXTOUTA, EXTTEXT_TEXT_AT + TEXT_SIZE, Unit(RuleKind::ExtText, ANSI_CHAR_SIZE)),
    Kind(EMR_EXTTEXTOUTW, EXTTEXT_TEXT_AT + TEXT_SIZE, Unit(RuleKind::ExtText, WIDE_CHAR_SIZE)),
    Kind(EMR_POLYBEZIER16, POLY_POINTS_AT, Points(POINT16_SIZE)),
    Kind(EMR_POLYGON16, POLY_POINTS_AT, Points(POINT16_SIZE)),
    Kind(EMR_POLYLINE16, POLY_POINTS_AT, Points(POINT16_SIZE)),
    Kind(EMR_POLYBEZIERTO16, POLY_POINTS_AT, Points(POINT16_SIZE)),
    Kind(EMR_POLYLINETO16, POLY_POINTS_AT, Points(POINT16_SIZE)),
    Kind(EMR_POLYPOLYLINE16, POLYPOLY_COUNTS_AT, Unit(RuleKind::PolyPolyline, POINT16_SIZE)),
    Kind(EMR_POLYPOLYGON16, POLYPOLY_COUNTS_AT, Unit(RuleKind::PolyPolyline, POINT16_SIZE)),
    Kind(EMR_POLYDRAW16, POLY_POINTS_AT, Points(POINT16_SIZE + POINT_TYPE_SIZE)),
    Kind(EMR_CREATEMONOBRUSH, Fields(6), Created(),
         BitmapAt(RuleKind::Bitmap, BRUSH_BITMAP_AT, BRUSH_USAGE_AT)),
    Kind(EMR_CREATEDIBPATTERNBRUSHPT, Fields(6), Created(),
         BitmapAt(RuleKind::Bitmap, BRUSH_BITMAP_AT, BRUSH_USAGE_AT)),
    Kind(EMR_EXTCREATEPEN, PEN_STYLES_AT, Created(),
         BitmapAt(RuleKind::BitmapRanges, PEN_BITMAP_AT, 0),
         Array(PEN_STYLE_COUNT_AT, FIELD_SIZE, PEN_STYLES_AT)),
    Kind(EMR_POLYTEXTOUTA, POLYTEXT_TEXTS_AT, Unit(RuleKind::PolyText, ANSI_CHAR_SIZE)),
    Kind(EMR_POLYTEXTOUTW, POLYTEXT_TEXTS_AT, Unit(RuleKind::PolyText, WIDE_CHAR_SIZE)),
    Kind(EMR_SETICMMODE, Fields(1)),
    Kind(EMR_CREATECOLORSPACE, OBJECT_RECORD_SIZE + LOGCOLORSPACEA_SIZE, Created()),
    Kind(EMR_SETCOLORSPACE, Fields(1), Index(RuleKind::TableIndex, OBJECT_INDEX_AT)),
    Kind(EMR_DELETECOLORSPACE, Fields(1), Index(RuleKind::TableIndex, OBJECT_INDEX_AT)),
    Kind(EMR_GLSRECORD, COUNTED_DATA_AT, Array(COUNTED_SIZE_AT, BYTE_SIZE, COUNTED_DATA_AT)),
    Kind(EMR_GLSBOUNDEDRECORD, GLSBOUNDED_DATA_AT,
         Array(GLSBOUNDED_SIZE_AT, BYTE_SIZE, GLSBOUNDED_DATA_AT)),
    Kind(EMR_PIXELFORMAT, EMF_RECORD_HEADER_SIZE + PIXELFORMATDESCRIPTOR_SIZE),
    Kind(EMR_DRAWESCAPE, ESCAPE_DATA_AT, Array(ESCAPE_SIZE_AT, BYTE_SIZE, ESCAPE_DATA_AT)),
    Kind(EMR_EXTESCAPE, ESCAPE_DATA_AT, Array(ESCAPE_SIZE_AT, BYTE_SIZE, ESCAPE_DATA_AT)),
    Kind(EMR_SMALLTEXTOUT, SMALLTEXT_CLIP_AT, Unit(RuleKind::SmallText, 0)),
    Kind(EMR_FORCEUFIMAPPING, Fields(2)),
    Kind(EMR_NAMEDESCAPE, Fields(3)),
    Kind(EMR_COLORCORRECTPALETTE, Fields(4), Index(RuleKind::TableIndex, OBJECT_INDEX_AT)),
    Kind(EMR_SETICMPROFILEA, Fields(3)),
    Kind(EMR_SETICMPROFILEW, Fields(3)),
    Kind(EMR_ALPHABLEND, Fields(25), BitmapAt(RuleKind::Bitmap, BLT_BITMAP_AT, BLT_USAGE_AT)),
    Kind(EMR_SETLAYOUT, Fields(1)),
    Kind(EMR_TRANSPARENTBLT, Fields(25), BitmapAt(RuleKind::Bitmap, BLT_BITMAP_AT, BLT_USAGE_AT)),
    Kind(EMR_GRADIENTFILL, GRADIENT_VERTICES_AT, Unit(RuleKind::GradientMesh, 0)),
    Kind(EMR_SETLINKEDUFIS, Fields(3), Array(LINKEDUFIS_COUNT_AT, UFI_SIZE, LINKEDUFIS_AT)),
    Kind(EMR_SETTEXTJUSTIFICATION, Fields(2)),
    Kind(EMR_COLORMATCHTOTARGETW, Fields(4)),
    Kind(EMR_CREATECOLORSPACEW, COLORSPACEW_DATA_AT, Created(),
         Array(COLORSPACEW_DATA_SIZE_AT, BYTE_SIZE, COLORSPACEW_DATA_AT)),
};

constexpr bool IsSortedByType()
{
    for (size_t i = 1; i < std::size(RECORD_KINDS); ++i) {
        if (RECORD_KINDS[i - 1].type >= RECORD_KINDS[i].type) {
            return false;
        }
    }
    return true;
}
static_assert(IsSortedByType(), "record kinds must be in type order for the lookup");

// The record's bytes; size is its nSize, already checked against what is
// readable, and every field read lies below it.
struct RecordView {
    const uint8_t* bytes;
    uint32_t size;
};

uint32_t ReadField(const RecordView& record, uint64_t at)
{
    return ReadUint32(record.bytes + static_cast<size_t>(at));
}

bool HasSoundSize(uint32_t size)
{
    return size >= EMF_RECORD_HEADER_SIZE && size % RECORD_ALIGNMENT == 0;
}

// Whether length bytes at offset at lie inside the record. Operands stay
// below 2^38, so the 64-bit arithmetic cannot overflow.
bool Fits(const RecordView& record, uint64_t at, uint64_t length)
{
    return at <= record.size && length <= record.size - at;
}

bool FitsArray(const RecordView& record, uint64_t at, uint32_t count, uint32_t unitSize)
{
    return Fits(record, at, uint64_t{count} * unitSize);
}

bool IsTableIndex(uint32_t index, uint32_t handleCount)
{
    return index >= 1 && index < handleCount;
}

bool IsStockObject(uint32_t index)
{
    return (index & STOCK_OBJECT_FLAG) != 0 && (index & ~STOCK_OBJECT_FLAG) <= LAST_STOCK_OBJECT;
}

bool IsIndexAllowed(RuleKind kind, uint32_t index, uint32_t handleCount)
{
    if (IsTableIndex(index, handleCount)) {
        return true;
    }
    if (kind == RuleKind::ObjectIndex) {
        return IsStockObject(index);
    }
    return kind == RuleKind::PaletteIndex && index == (STOCK_OBJECT_FLAG | DEFAULT_PALETTE_OBJECT);
}

bool HasShortCountedArray(const RecordView& record, const Rule& rule)
{
    const uint16_t count = ReadUint16(record.bytes + rule.field);
    return FitsArray(record, rule.dataAt, count, rule.unitSize);
}

// The polylines' counts and points lie inside, and the counts add up to no
// more points than there are.
bool HasPolylinesInside(const RecordView& record, uint32_t pointSize)
{
    const uint32_t lines = ReadField(record, POLYPOLY_LINES_AT);
    const uint32_t points = ReadField(record, POLYPOLY_POINTS_AT);
    const uint64_t pointsAt = POLYPOLY_COUNTS_AT + uint64_t{lines} * FIELD_SIZE;
    if (!FitsArray(record, POLYPOLY_COUNTS_AT, lines, FIELD_SIZE) ||
        !FitsArray(record, pointsAt, points, pointSize)) {
        return false;
    }
    uint64_t counted = 0;
    for (uint64_t at = POLYPOLY_COUNTS_AT; at < pointsAt; at += FIELD_SIZE) {
        counted += ReadField(record, at);
    }
    return counted <= points;
}

// A text's string, and its advances unless they may be absent (offset 0).
bool IsTextInside(const RecordView& record, uint64_t textAt, uint32_t charSize,
                  bool advancesOptional)
{
    const uint32_t chars = ReadField(record, textAt + TEXT_CHARS_AT);
    const uint32_t options = ReadField(record, textAt + TEXT_OPTIONS_AT);
    const uint32_t advancesAt = ReadField(record, textAt + TEXT_ADVANCES_AT);
    if (!FitsArray(record, ReadField(record, textAt + TEXT_STRING_AT), chars, charSize)) {
        return false;
    }
    if (advancesOptional && advancesAt == 0) {
        return true;
    }
    const uint32_t advanceSize =
        (options & TEXT_PAIRED_ADVANCES) != 0 ? 2 * ADVANCE_SIZE : ADVANCE_SIZE;
    return FitsArray(record, advancesAt, chars, advanceSize);
}

bool AreTextsInside(const RecordView& record, uint32_t charSize)
{
    const uint32_t texts = ReadField(record, POLYTEXT_COUNT_AT);
    if (!FitsArray(record, POLYTEXT_TEXTS_AT, texts, TEXT_SIZE)) {
        return false;
    }
    const uint64_t end = POLYTEXT_TEXTS_AT + uint64_t{texts} * TEXT_SIZE;
    for (uint64_t at = POLYTEXT_TEXTS_AT; at < end; at += TEXT_SIZE) {
        if (!IsTextInside(record, at, charSize, false)) {
            return false;
        }
    }
    return true;
}

bool IsSmallTextInside(const RecordView& record)
{
    const uint32_t chars = ReadField(record, SMALLTEXT_CHARS_AT);
    const uint32_t options = ReadField(record, SMALLTEXT_OPTIONS_AT);
    const uint32_t textAt = SMALLTEXT_CLIP_AT + ((options & TEXT_NO_RECT) != 0 ? 0 : RECT_SIZE);
    const uint32_t charSize = (options & TEXT_SMALL_CHARS) != 0 ? ANSI_CHAR_SIZE : WIDE_CHAR_SIZE;
    return FitsArray(record, textAt, chars, charSize);
}

// Region data inside the record, its header's size field right and its
// rectangles inside the data. A clip record may hold none, as long as no
// header would fit after it either: the player reads one whenever it fits.
bool IsRegionInside(const RecordView& record, const Rule& rule, bool mayBeEmpty)
{
    const uint32_t dataSize = ReadField(record, rule.field);
    if (!Fits(record, rule.dataAt, dataSize)) {
        return false;
    }
    if (dataSize == 0) {
        return mayBeEmpty && record.size - rule.dataAt < REGION_HEADER_SIZE;
    }
    if (dataSize < REGION_HEADER_SIZE || ReadField(record, rule.dataAt) != REGION_HEADER_SIZE) {
        return false;
    }
    const uint32_t rects = ReadField(record, rule.dataAt + REGION_RECT_COUNT_AT);
    return uint64_t{rects} * RECT_SIZE <= dataSize - REGION_HEADER_SIZE;
}

struct BitmapFields {
    uint32_t infoAt;
    uint32_t infoSize;
    uint32_t bitsAt;
    uint32_t bitsSize;
};

BitmapFields ReadBitmapFields(const RecordView& record, uint32_t fieldsAt)
{
    return BitmapFields{ReadField(record, fieldsAt),
                        ReadField(record, fieldsAt + BITMAP_INFO_SIZE_AT),
                        ReadField(record, fieldsAt + BITMAP_BITS_AT),
                        ReadField(record, fieldsAt + BITMAP_BITS_SIZE_AT)};
}

bool AreBitmapRangesInside(const RecordView& record, const BitmapFields& bitmap)
{
    return Fits(record, bitmap.infoAt, bitmap.infoSize) &&
           Fits(record, bitmap.bitsAt, bitmap.bitsSize);
}

// The bitmap's header and colour table fit cbBmi, the pixels its header asks
// for fit cbBits, and both lie inside the record.
bool IsBitmapInside(const RecordView& record, const Rule& rule, bool optional)
{
    const BitmapFields bitmap = ReadBitmapFields(record, rule.field);
    if (!AreBitmapRangesInside(record, bitmap)) {
        return false;
    }
    if (bitmap.infoAt == 0 && bitmap.infoSize == 0) {
        return optional;
    }
    DibLayout layout{};
    return ComputeSplitDibLayout(record.bytes + bitmap.infoAt, bitmap.infoSize, bitmap.bitsSize,
                                 ReadField(record, rule.usageAt), layout);
}

uint32_t CountGradientCorners(uint32_t mode)
{
    if (mode == GRADIENT_TRIANGLE) {
        return TRIANGLE_CORNERS;
    }
    return mode == GRADIENT_RECT_H || mode == GRADIENT_RECT_V ? RECT_CORNERS : 0;
}

// Vertices and pieces inside, and every corner of a piece names a vertex.
bool IsGradientInside(const RecordView& record)
{
    const uint32_t vertices = ReadField(record, GRADIENT_VERTEX_COUNT_AT);
    const uint32_t pieces = ReadField(record, GRADIENT_PIECE_COUNT_AT);
    const uint32_t corners = CountGradientCorners(ReadField(record, GRADIENT_MODE_AT));
    const uint64_t piecesAt = GRADIENT_VERTICES_AT + uint64_t{vertices} * GRADIENT_VERTEX_SIZE;
    if (corners == 0 || !FitsArray(record, GRADIENT_VERTICES_AT, vertices, GRADIENT_VERTEX_SIZE) ||
        !FitsArray(record, piecesAt, pieces, corners * FIELD_SIZE)) {
        return false;
    }
    const uint64_t end = piecesAt + uint64_t{pieces} * corners * FIELD_SIZE;
    for (uint64_t at = piecesAt; at < end; at += FIELD_SIZE) {
        if (ReadField(record, at) >= vertices) {
            return false;
        }
    }
    return true;
}

bool Satisfies(const Rule& rule, const RecordView& record, uint32_t handleCount)
{
    switch (rule.kind) {
        case RuleKind::None:
            return true;
        case RuleKind::TableIndex:
        case RuleKind::ObjectIndex:
        case RuleKind::PaletteIndex:
            return IsIndexAllowed(rule.kind, ReadField(record, rule.field), handleCount);
        case RuleKind::CountedArray:
            return FitsArray(record, rule.dataAt, ReadField(record, rule.field), rule.unitSize);
        case RuleKind::ShortCountedArray:
            return HasShortCountedArray(record, rule);
        case RuleKind::PolyPolyline:
            return HasPolylinesInside(record, rule.unitSize);
        case RuleKind::ExtText:
            return IsTextInside(record, EXTTEXT_TEXT_AT, rule.unitSize, true);
        case RuleKind::PolyText:
            return AreTextsInside(record, rule.unitSize);
        case RuleKind::SmallText:
            return IsSmallTextInside(record);
        case RuleKind::Region:
        case RuleKind::ClipRegion:
            return IsRegionInside(record, rule, rule.kind == RuleKind::ClipRegion);
        case RuleKind::Bitmap:
        case RuleKind::OptionalBitmap:
            return IsBitmapInside(record, rule, rule.kind == RuleKind::OptionalBitmap);
        case RuleKind::BitmapRanges:
            return AreBitmapRangesInside(record, ReadBitmapFields(record, rule.field));
        case RuleKind::GradientMesh:
            return IsGradientInside(record);
    }
    return false;
}

const RecordKind* FindKind(uint32_t type)
{
    const auto* end = std::end(RECORD_KINDS);
    const auto* found = std::lower_bound(
        std::begin(RECORD_KINDS), end, type,
        [](const RecordKind& kind, uint32_t wanted) { return kind.type < wanted; });
    return found != end && found->type == type ? found : nullptr;
}

}  // namespace

bool ReadMetafileHeader(const uint8_t* file, size_t fileSize, MetafileHeader& header)
{
    header = MetafileHeader{};
    if (fileSize < EMF_SMALLEST_HEADER_SIZE) {
        return false;
    }
    const uint32_t recordSize = ReadUint32(file + RECORD_SIZE_AT);
    header.size = ReadUint32(file + HEADER_BYTES_AT);
    header.recordCount = ReadUint32(file + HEADER_RECORDS_AT);
    header.handleCount = ReadUint16(file + HEADER_HANDLES_AT);
    return ReadUint32(file + RECORD_TYPE_AT) == EMR_HEADER &&
           ReadUint32(file + HEADER_SIGNATURE_AT) == METAFILE_SIGNATURE &&
           HasSoundSize(recordSize) && recordSize >= EMF_SMALLEST_HEADER_SIZE &&
           recordSize <= header.size && header.size <= fileSize &&
           header.size % RECORD_ALIGNMENT == 0 && header.recordCount >= 1 &&
           header.recordCount <= header.size / EMF_RECORD_HEADER_SIZE && header.handleCount >= 1;
}

bool ReadRecordAt(const uint8_t* metafile, size_t metafileSize, size_t offset, RecordSpan& record)
{
    if (offset > metafileSize || metafileSize - offset < EMF_RECORD_HEADER_SIZE) {
        return false;
    }
    record.offset = offset;
    record.type = ReadUint32(metafile + offset + RECORD_TYPE_AT);
    record.size = ReadUint32(metafile + offset + RECORD_SIZE_AT);
    return HasSoundSize(record.size) && record.size <= metafileSize - offset;
}

bool IsRecordChainIntact(const uint8_t* metafile, size_t metafileSize)
{
    size_t offset = 0;
    RecordSpan record{};
    while (offset < metafileSize) {
        if (!ReadRecordAt(metafile, metafileSize, offset, record) ||
            (record.type == EMR_HEADER) != (offset == 0)) {
            return false;
        }
        offset += record.size;
    }
    return offset != 0;
}

bool IsRecordSafe(const uint8_t* record, size_t available, uint32_t handleCount)
{
    if (available < EMF_RECORD_HEADER_SIZE) {
        return false;
    }
    const RecordView view{record, ReadUint32(record + RECORD_SIZE_AT)};
    if (view.size > available || !HasSoundSize(view.size)) {
        return false;
    }
    const RecordKind* kind = FindKind(ReadUint32(record + RECORD_TYPE_AT));
    if (kind == nullptr) {
        return true;
    }
    if (view.size < kind->minimumSize) {
        return false;
    }
    return std::all_of(kind->rules.begin(), kind->rules.end(),
                       [&](const Rule& rule) { return Satisfies(rule, view, handleCount); });
}

std::optional<uint32_t> SaveDepthAfter(const uint8_t* record, uint32_t depth)
{
    switch (ReadUint32(record + RECORD_TYPE_AT)) {
        case EMR_SAVEDC:
            return depth + 1;
        case EMR_RESTOREDC: {
            const auto relative = ReadInt32(record + RESTORE_LEVEL_AT);
            const int64_t back = -int64_t{relative};
            if (back <= 0 || back > depth) {
                return std::nullopt;
            }
            return depth - static_cast<uint32_t>(back);
        }
        default:
            return depth;
    }
}

std::optional<uint32_t> DepthAfterPlayable(const uint8_t* record, size_t available,
                                           uint32_t handleCount, uint32_t depth)
{
    if (!IsRecordSafe(record, available, handleCount)) {
        return std::nullopt;
    }
    return SaveDepthAfter(record, depth);
}
