#include "metafile/emf_records.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "metafile/dib_layout.h"
#include "metafile/emf_layout.h"
#include "metafile/emf_record_types.h"
#include "metafile/little_endian.h"

namespace {

// Fields are 32 bits; records are a multiple of 4 bytes long.
constexpr uint32_t FIELD_SIZE = 4;
constexpr uint32_t RECORD_ALIGNMENT = 4;
constexpr uint32_t METAFILE_SIGNATURE = 0x464D4520;  // " EMF"

// Sizes of the elements of counted arrays.
constexpr uint32_t POINT32_SIZE = 8;
constexpr uint32_t POINT16_SIZE = 4;
constexpr uint32_t POINT_TYPE_SIZE = 1;
constexpr uint32_t ANSI_CHAR_SIZE = 1;
constexpr uint32_t WIDE_CHAR_SIZE = 2;
constexpr uint32_t ADVANCE_SIZE = 4;
constexpr uint32_t PALETTE_ENTRY_SIZE = 4;
constexpr uint32_t UFI_SIZE = 8;
constexpr uint32_t BYTE_SIZE = 1;

// SMALLTEXTOUT's options: no clip rectangle; 8-bit characters.
constexpr uint32_t TEXT_NO_RECT = 0x100;
constexpr uint32_t TEXT_SMALL_CHARS = 0x200;

// GRADIENTFILL's modes: rectangles of 2 or triangles of 3 vertex numbers.
constexpr uint32_t GRADIENT_RECT_H = 0;
constexpr uint32_t GRADIENT_RECT_V = 1;
constexpr uint32_t GRADIENT_TRIANGLE = 2;
constexpr uint32_t RECT_CORNERS = 2;
constexpr uint32_t TRIANGLE_CORNERS = 3;

// Structures held whole in the fixed part of a record.
constexpr uint32_t LOGFONTW_SIZE = 92;
constexpr uint32_t LOGCOLORSPACEA_SIZE = 328;
constexpr uint32_t COLORADJUSTMENT_SIZE = 24;
constexpr uint32_t PIXELFORMATDESCRIPTOR_SIZE = 40;

// A record of the record header and count 32-bit fields.
constexpr uint32_t Fields(uint32_t count)
{
    return EMF_RECORD_HEADER_SIZE + count * FIELD_SIZE;
}

// Object records: the header and the handle index, then the object.
constexpr uint32_t OBJECT_RECORD_SIZE = Fields(1);

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
    return Index(RuleKind::TableIndex, EMR_SELECTOBJECT_IHOBJECT);
}

constexpr Rule Array(uint32_t countAt, uint32_t unitSize, uint32_t dataAt)
{
    return Rule{RuleKind::CountedArray, countAt, unitSize, dataAt, 0};
}

constexpr Rule Points(uint32_t unitSize)
{
    return Array(EMR_POLYBEZIER_CPTL, unitSize, EMR_POLYBEZIER_APTL);
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
    Kind(EMR_POLYBEZIER, EMR_POLYBEZIER_APTL, Points(POINT32_SIZE)),
    Kind(EMR_POLYGON, EMR_POLYBEZIER_APTL, Points(POINT32_SIZE)),
    Kind(EMR_POLYLINE, EMR_POLYBEZIER_APTL, Points(POINT32_SIZE)),
    Kind(EMR_POLYBEZIERTO, EMR_POLYBEZIER_APTL, Points(POINT32_SIZE)),
    Kind(EMR_POLYLINETO, EMR_POLYBEZIER_APTL, Points(POINT32_SIZE)),
    Kind(EMR_POLYPOLYLINE, EMR_POLYPOLYLINE_APOLYCOUNTS,
         Unit(RuleKind::PolyPolyline, POINT32_SIZE)),
    Kind(EMR_POLYPOLYGON, EMR_POLYPOLYLINE_APOLYCOUNTS, Unit(RuleKind::PolyPolyline, POINT32_SIZE)),
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
    Kind(EMR_SELECTOBJECT, Fields(1), Index(RuleKind::ObjectIndex, EMR_SELECTOBJECT_IHOBJECT)),
    Kind(EMR_CREATEPEN, Fields(5), Created()),
    Kind(EMR_CREATEBRUSHINDIRECT, Fields(4), Created()),
    Kind(EMR_DELETEOBJECT, Fields(1), Index(RuleKind::TableIndex, EMR_SELECTOBJECT_IHOBJECT)),
    Kind(EMR_ANGLEARC, Fields(5)),
    Kind(EMR_ELLIPSE, Fields(4)),
    Kind(EMR_RECTANGLE, Fields(4)),
    Kind(EMR_ROUNDRECT, Fields(6)),
    Kind(EMR_ARC, Fields(8)),
    Kind(EMR_CHORD, Fields(8)),
    Kind(EMR_PIE, Fields(8)),
    Kind(EMR_SELECTPALETTE, Fields(1), Index(RuleKind::PaletteIndex, EMR_SELECTOBJECT_IHOBJECT)),
    Kind(EMR_CREATEPALETTE, EMR_CREATEPALETTE_LGPL + LOGPALETTE_PALPALENTRY, Created(),
         Rule{RuleKind::ShortCountedArray, EMR_CREATEPALETTE_LGPL + LOGPALETTE_PALNUMENTRIES,
              PALETTE_ENTRY_SIZE, EMR_CREATEPALETTE_LGPL + LOGPALETTE_PALPALENTRY, 0}),
    Kind(EMR_SETPALETTEENTRIES, EMR_SETPALETTEENTRIES_APLENTRIES,
         Index(RuleKind::TableIndex, EMR_SELECTOBJECT_IHOBJECT),
         Array(EMR_SETPALETTEENTRIES_CENTRIES, PALETTE_ENTRY_SIZE,
               EMR_SETPALETTEENTRIES_APLENTRIES)),
    Kind(EMR_RESIZEPALETTE, Fields(2), Index(RuleKind::TableIndex, EMR_SELECTOBJECT_IHOBJECT)),
    Kind(EMR_REALIZEPALETTE, Fields(0)),
    Kind(EMR_EXTFLOODFILL, Fields(4)),
    Kind(EMR_LINETO, Fields(2)),
    Kind(EMR_ARCTO, Fields(8)),
    Kind(EMR_POLYDRAW, EMR_POLYBEZIER_APTL, Points(POINT32_SIZE + POINT_TYPE_SIZE)),
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
    Kind(EMR_GDICOMMENT, EMR_GDICOMMENT_DATA,
         Array(EMR_GDICOMMENT_CBDATA, BYTE_SIZE, EMR_GDICOMMENT_DATA)),
    Kind(EMR_FILLRGN, EMR_FILLRGN_RGNDATA,
         RegionData(RuleKind::Region, EMR_FILLRGN_CBRGNDATA, EMR_FILLRGN_RGNDATA),
         Index(RuleKind::TableIndex, EMR_FILLRGN_IHBRUSH)),
    Kind(EMR_FRAMERGN, EMR_FRAMERGN_RGNDATA,
         RegionData(RuleKind::Region, EMR_FILLRGN_CBRGNDATA, EMR_FRAMERGN_RGNDATA),
         Index(RuleKind::TableIndex, EMR_FILLRGN_IHBRUSH)),
    Kind(EMR_INVERTRGN, EMR_INVERTRGN_RGNDATA,
         RegionData(RuleKind::Region, EMR_FILLRGN_CBRGNDATA, EMR_INVERTRGN_RGNDATA)),
    Kind(EMR_PAINTRGN, EMR_INVERTRGN_RGNDATA,
         RegionData(RuleKind::Region, EMR_FILLRGN_CBRGNDATA, EMR_INVERTRGN_RGNDATA)),
    Kind(EMR_EXTSELECTCLIPRGN, EMR_EXTSELECTCLIPRGN_RGNDATA,
         RegionData(RuleKind::ClipRegion, EMR_EXTSELECTCLIPRGN_CBRGNDATA,
                    EMR_EXTSELECTCLIPRGN_RGNDATA)),
    Kind(EMR_BITBLT, Fields(23),
         BitmapAt(RuleKind::OptionalBitmap, EMR_BITBLT_OFFBMISRC, EMR_BITBLT_IUSAGESRC)),
    Kind(EMR_STRETCHBLT, Fields(25),
         BitmapAt(RuleKind::OptionalBitmap, EMR_BITBLT_OFFBMISRC, EMR_BITBLT_IUSAGESRC)),
    Kind(EMR_MASKBLT, Fields(30),
         BitmapAt(RuleKind::Bitmap, EMR_BITBLT_OFFBMISRC, EMR_BITBLT_IUSAGESRC),
         BitmapAt(RuleKind::Bitmap, EMR_MASKBLT_OFFBMIMASK, EMR_MASKBLT_IUSAGEMASK)),
    Kind(EMR_PLGBLT, Fields(33),
         BitmapAt(RuleKind::Bitmap, EMR_PLGBLT_OFFBMISRC, EMR_PLGBLT_IUSAGESRC),
         BitmapAt(RuleKind::Bitmap, EMR_PLGBLT_OFFBMIMASK, EMR_PLGBLT_IUSAGEMASK)),
    Kind(EMR_SETDIBITSTODEVICE, Fields(17),
         BitmapAt(RuleKind::Bitmap, EMR_STRETCHDIBITS_OFFBMISRC, EMR_STRETCHDIBITS_IUSAGESRC)),
    Kind(EMR_STRETCHDIBITS, Fields(18),
         BitmapAt(RuleKind::Bitmap, EMR_STRETCHDIBITS_OFFBMISRC, EMR_STRETCHDIBITS_IUSAGESRC)),
    Kind(EMR_EXTCREATEFONTINDIRECTW, OBJECT_RECORD_SIZE + LOGFONTW_SIZE, Created()),
    Kind(EMR_EXTTEXTOUTA, EMR_EXTTEXTOUTW_EMRTEXT + EMRTEXT_SIZE,
         Unit(RuleKind::ExtText, ANSI_CHAR_SIZE)),
    Kind(EMR_EXTTEXTOUTW, EMR_EXTTEXTOUTW_EMRTEXT + EMRTEXT_SIZE,
         Unit(RuleKind::ExtText, WIDE_CHAR_SIZE)),
    Kind(EMR_POLYBEZIER16, EMR_POLYBEZIER_APTL, Points(POINT16_SIZE)),
    Kind(EMR_POLYGON16, EMR_POLYBEZIER_APTL, Points(POINT16_SIZE)),
    Kind(EMR_POLYLINE16, EMR_POLYBEZIER_APTL, Points(POINT16_SIZE)),
    Kind(EMR_POLYBEZIERTO16, EMR_POLYBEZIER_APTL, Points(POINT16_SIZE)),
    Kind(EMR_POLYLINETO16, EMR_POLYBEZIER_APTL, Points(POINT16_SIZE)),
    Kind(EMR_POLYPOLYLINE16, EMR_POLYPOLYLINE_APOLYCOUNTS,
         Unit(RuleKind::PolyPolyline, POINT16_SIZE)),
    Kind(EMR_POLYPOLYGON16, EMR_POLYPOLYLINE_APOLYCOUNTS,
         Unit(RuleKind::PolyPolyline, POINT16_SIZE)),
    Kind(EMR_POLYDRAW16, EMR_POLYBEZIER_APTL, Points(POINT16_SIZE + POINT_TYPE_SIZE)),
    Kind(EMR_CREATEMONOBRUSH, Fields(6), Created(),
         BitmapAt(RuleKind::Bitmap, EMR_CREATEMONOBRUSH_OFFBMI, EMR_CREATEMONOBRUSH_IUSAGE)),
    Kind(EMR_CREATEDIBPATTERNBRUSHPT, Fields(6), Created(),
         BitmapAt(RuleKind::Bitmap, EMR_CREATEMONOBRUSH_OFFBMI, EMR_CREATEMONOBRUSH_IUSAGE)),
    Kind(EMR_EXTCREATEPEN, EMR_EXTCREATEPEN_ELP + EXTLOGPEN32_ELPSTYLEENTRY, Created(),
         BitmapAt(RuleKind::BitmapRanges, EMR_EXTCREATEPEN_OFFBMI, 0),
         Array(EMR_EXTCREATEPEN_ELP + EXTLOGPEN32_ELPNUMENTRIES, FIELD_SIZE,
               EMR_EXTCREATEPEN_ELP + EXTLOGPEN32_ELPSTYLEENTRY)),
    Kind(EMR_POLYTEXTOUTA, EMR_POLYTEXTOUTW_AEMRTEXT, Unit(RuleKind::PolyText, ANSI_CHAR_SIZE)),
    Kind(EMR_POLYTEXTOUTW, EMR_POLYTEXTOUTW_AEMRTEXT, Unit(RuleKind::PolyText, WIDE_CHAR_SIZE)),
    Kind(EMR_SETICMMODE, Fields(1)),
    Kind(EMR_CREATECOLORSPACE, OBJECT_RECORD_SIZE + LOGCOLORSPACEA_SIZE, Created()),
    Kind(EMR_SETCOLORSPACE, Fields(1), Index(RuleKind::TableIndex, EMR_SELECTOBJECT_IHOBJECT)),
    Kind(EMR_DELETECOLORSPACE, Fields(1), Index(RuleKind::TableIndex, EMR_SELECTOBJECT_IHOBJECT)),
    Kind(EMR_GLSRECORD, EMR_GDICOMMENT_DATA,
         Array(EMR_GDICOMMENT_CBDATA, BYTE_SIZE, EMR_GDICOMMENT_DATA)),
    Kind(EMR_GLSBOUNDEDRECORD, EMR_GLSBOUNDEDRECORD_DATA,
         Array(EMR_GLSBOUNDEDRECORD_CBDATA, BYTE_SIZE, EMR_GLSBOUNDEDRECORD_DATA)),
    Kind(EMR_PIXELFORMAT, EMF_RECORD_HEADER_SIZE + PIXELFORMATDESCRIPTOR_SIZE),
    Kind(EMR_DRAWESCAPE, EMR_EXTESCAPE_ESCDATA,
         Array(EMR_EXTESCAPE_CBESCDATA, BYTE_SIZE, EMR_EXTESCAPE_ESCDATA)),
    Kind(EMR_EXTESCAPE, EMR_EXTESCAPE_ESCDATA,
         Array(EMR_EXTESCAPE_CBESCDATA, BYTE_SIZE, EMR_EXTESCAPE_ESCDATA)),
    Kind(EMR_SMALLTEXTOUT, EMR_SMALLTEXTOUT_RCLCLIP, Unit(RuleKind::SmallText, 0)),
    Kind(EMR_FORCEUFIMAPPING, Fields(2)),
    Kind(EMR_NAMEDESCAPE, Fields(3)),
    Kind(EMR_COLORCORRECTPALETTE, Fields(4),
         Index(RuleKind::TableIndex, EMR_SELECTOBJECT_IHOBJECT)),
    Kind(EMR_SETICMPROFILEA, Fields(3)),
    Kind(EMR_SETICMPROFILEW, Fields(3)),
    Kind(EMR_ALPHABLEND, Fields(25),
         BitmapAt(RuleKind::Bitmap, EMR_BITBLT_OFFBMISRC, EMR_BITBLT_IUSAGESRC)),
    Kind(EMR_SETLAYOUT, Fields(1)),
    Kind(EMR_TRANSPARENTBLT, Fields(25),
         BitmapAt(RuleKind::Bitmap, EMR_BITBLT_OFFBMISRC, EMR_BITBLT_IUSAGESRC)),
    Kind(EMR_GRADIENTFILL, EMR_GRADIENTFILL_VER, Unit(RuleKind::GradientMesh, 0)),
    Kind(EMR_SETLINKEDUFIS, Fields(3),
         Array(EMR_SETLINKEDUFIS_UNUMLINKEDUFI, UFI_SIZE, EMR_SETLINKEDUFIS_PUFIS)),
    Kind(EMR_SETTEXTJUSTIFICATION, Fields(2)),
    Kind(EMR_COLORMATCHTOTARGETW, Fields(4)),
    Kind(EMR_CREATECOLORSPACEW, EMR_CREATECOLORSPACEW_DATA, Created(),
         Array(EMR_CREATECOLORSPACEW_CBDATA, BYTE_SIZE, EMR_CREATECOLORSPACEW_DATA)),
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
    const uint32_t lines = ReadField(record, EMR_POLYPOLYLINE_NPOLYS);
    const uint32_t points = ReadField(record, EMR_POLYPOLYLINE_CPTL);
    const uint64_t pointsAt = EMR_POLYPOLYLINE_APOLYCOUNTS + uint64_t{lines} * FIELD_SIZE;
    if (!FitsArray(record, EMR_POLYPOLYLINE_APOLYCOUNTS, lines, FIELD_SIZE) ||
        !FitsArray(record, pointsAt, points, pointSize)) {
        return false;
    }
    uint64_t counted = 0;
    for (uint64_t at = EMR_POLYPOLYLINE_APOLYCOUNTS; at < pointsAt; at += FIELD_SIZE) {
        counted += ReadField(record, at);
    }
    return counted <= points;
}

// A text's string, of glyph indices or of characters, and its advances
// unless they may be absent (offset 0).
bool IsTextInside(const RecordView& record, uint64_t textAt, uint32_t charSize,
                  bool advancesOptional)
{
    const uint32_t chars = ReadField(record, textAt + EMRTEXT_NCHARS);
    const uint32_t options = ReadField(record, textAt + EMRTEXT_FOPTIONS);
    const uint32_t advancesAt = ReadField(record, textAt + EMRTEXT_OFFDX);
    const uint32_t unitSize = (options & TEXT_GLYPH_INDICES) != 0 ? WIDE_CHAR_SIZE : charSize;
    if (!FitsArray(record, ReadField(record, textAt + EMRTEXT_OFFSTRING), chars, unitSize)) {
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
    const uint32_t texts = ReadField(record, EMR_POLYTEXTOUTW_CSTRINGS);
    if (!FitsArray(record, EMR_POLYTEXTOUTW_AEMRTEXT, texts, EMRTEXT_SIZE)) {
        return false;
    }
    const uint64_t end = EMR_POLYTEXTOUTW_AEMRTEXT + uint64_t{texts} * EMRTEXT_SIZE;
    for (uint64_t at = EMR_POLYTEXTOUTW_AEMRTEXT; at < end; at += EMRTEXT_SIZE) {
        if (!IsTextInside(record, at, charSize, false)) {
            return false;
        }
    }
    return true;
}

bool IsSmallTextInside(const RecordView& record)
{
    const uint32_t chars = ReadField(record, EMR_SMALLTEXTOUT_CCHARS);
    const uint32_t options = ReadField(record, EMR_SMALLTEXTOUT_FUOPTIONS);
    const uint32_t textAt =
        EMR_SMALLTEXTOUT_RCLCLIP + ((options & TEXT_NO_RECT) != 0 ? 0 : RECTL_SIZE);
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
        return mayBeEmpty && record.size - rule.dataAt < RGNDATAHEADER_SIZE;
    }
    if (dataSize < RGNDATAHEADER_SIZE ||
        ReadField(record, rule.dataAt + RGNDATAHEADER_DWSIZE) != RGNDATAHEADER_SIZE) {
        return false;
    }
    const uint32_t rects = ReadField(record, rule.dataAt + RGNDATAHEADER_NCOUNT);
    return uint64_t{rects} * RECTL_SIZE <= dataSize - RGNDATAHEADER_SIZE;
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
                        ReadField(record, fieldsAt + BITMAP_FIELDS_CBBMI),
                        ReadField(record, fieldsAt + BITMAP_FIELDS_OFFBITS),
                        ReadField(record, fieldsAt + BITMAP_FIELDS_CBBITS)};
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
    return ComputeSplitDibLayout(record.bytes + bitmap.infoAt, bitmap.infoSize, bitmap.bitsSize,
                                 ReadField(record, rule.usageAt))
        .has_value();
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
    const uint32_t vertices = ReadField(record, EMR_GRADIENTFILL_NVER);
    const uint32_t pieces = ReadField(record, EMR_GRADIENTFILL_NTRI);
    const uint32_t corners = CountGradientCorners(ReadField(record, EMR_GRADIENTFILL_ULMODE));
    const uint64_t piecesAt = EMR_GRADIENTFILL_VER + uint64_t{vertices} * TRIVERTEX_SIZE;
    if (corners == 0 || !FitsArray(record, EMR_GRADIENTFILL_VER, vertices, TRIVERTEX_SIZE) ||
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
            return IsTextInside(record, EMR_EXTTEXTOUTW_EMRTEXT, rule.unitSize, true);
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
    const uint32_t recordSize = ReadUint32(file + EMR_NSIZE);
    header.size = ReadUint32(file + EMR_HEADER_NBYTES);
    header.recordCount = ReadUint32(file + EMR_HEADER_NRECORDS);
    header.handleCount = ReadUint16(file + EMR_HEADER_NHANDLES);
    header.reference = {ReadInt32(file + EMR_HEADER_SZLDEVICE + SIZEL_CX),
                        ReadInt32(file + EMR_HEADER_SZLDEVICE + SIZEL_CY),
                        ReadInt32(file + EMR_HEADER_SZLMILLIMETERS + SIZEL_CX),
                        ReadInt32(file + EMR_HEADER_SZLMILLIMETERS + SIZEL_CY)};
    return ReadUint32(file + EMR_ITYPE) == EMR_HEADER &&
           ReadUint32(file + EMR_HEADER_DSIGNATURE) == METAFILE_SIGNATURE &&
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
    record.type = ReadUint32(metafile + offset + EMR_ITYPE);
    record.size = ReadUint32(metafile + offset + EMR_NSIZE);
    return HasSoundSize(record.size) && record.size <= metafileSize - offset;
}

bool StandsInChain(const RecordSpan& record)
{
    return (record.type == EMR_HEADER) == (record.offset == 0);
}

bool IsRecordChainIntact(const uint8_t* metafile, size_t metafileSize)
{
    size_t offset = 0;
    RecordSpan record{};
    while (offset < metafileSize) {
        if (!ReadRecordAt(metafile, metafileSize, offset, record) || !StandsInChain(record)) {
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
    const RecordView view{record, ReadUint32(record + EMR_NSIZE)};
    if (view.size > available || !HasSoundSize(view.size)) {
        return false;
    }
    const RecordKind* kind = FindKind(ReadUint32(record + EMR_ITYPE));
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
    switch (ReadUint32(record + EMR_ITYPE)) {
        case EMR_SAVEDC:
            return depth + 1;
        case EMR_RESTOREDC: {
            const auto relative = ReadInt32(record + EMR_RESTOREDC_IRELATIVE);
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
