#include "driver/record_readers.h"

#include "metafile/emf_layout.h"
#include "metafile/emf_record_types.h"
#include "metafile/emf_records.h"
#include "metafile/little_endian.h"
#include "metafile/raster_operations.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include <initializer_list>

namespace {

constexpr size_t FIELD_SIZE = 4;
constexpr size_t RECT_PIECE_VERTICES = 2;
constexpr size_t TRIANGLE_PIECE_VERTICES = 3;
constexpr uint32_t PEN_STYLE_MASK = 0x0F;
constexpr uint32_t PEN_TYPE_MASK = 0x000F0000;
constexpr uint32_t PS_SOLID_STYLE = 0;
constexpr uint32_t PS_INSIDEFRAME_STYLE = 6;
// A blit's fields up to its raster operation (the blend function of
// ALPHABLEND, the colour key of TRANSPARENTBLT).
constexpr size_t BLIT_FIXED_SIZE = EMR_BITBLT_DWROP + FIELD_SIZE;
constexpr uint32_t BLEND_FORMAT_SHIFT = 24;  // AlphaFormat, the blend function's last byte
constexpr uint32_t BLEND_SOURCE_ALPHA = 0x01;
// The codes Windows records a symbol font's characters at, and what they
// exceed the font's own codes by.
constexpr uint16_t SYMBOL_CODE_FIRST = 0xF020;
constexpr uint16_t SYMBOL_CODE_LAST = 0xF0FF;
constexpr uint16_t SYMBOL_CODE_BASE = 0xF000;
// A UTF-16 unit of a wide text, written low byte first.
constexpr size_t WIDE_UNIT_SIZE = 2;
constexpr unsigned BYTE_SHIFT = 8;

uint32_t RecordType(const uint8_t* record)
{
    return ReadUint32(record + EMR_ITYPE);
}

bool HoldsBox(uint32_t type)
{
    switch (type) {
        case EMR_ELLIPSE:
        case EMR_RECTANGLE:
        case EMR_ROUNDRECT:
        case EMR_ARC:
        case EMR_ARCTO:
        case EMR_CHORD:
        case EMR_PIE:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::optional<LogicalBox> ReadShapeBox(const uint8_t* record, size_t size)
{
    const uint32_t type = RecordType(record);
    if (HoldsBox(type) && size >= EMR_ELLIPSE_RCLBOX + RECTL_SIZE) {
        const uint8_t* box = record + EMR_ELLIPSE_RCLBOX;
        return LogicalBox{ReadInt32(box + RECTL_LEFT), ReadInt32(box + RECTL_TOP),
                          ReadInt32(box + RECTL_RIGHT), ReadInt32(box + RECTL_BOTTOM)};
    }
    if (type == EMR_ANGLEARC && size >= EMR_ANGLEARC_SIZE) {
        const int64_t x = ReadInt32(record + EMR_ANGLEARC_PTLCENTER + POINTL_X);
        const int64_t y = ReadInt32(record + EMR_ANGLEARC_PTLCENTER + POINTL_Y);
        const int64_t radius = ReadUint32(record + EMR_ANGLEARC_NRADIUS);
        return LogicalBox{x - radius, y - radius, x + radius, y + radius};
    }
    return std::nullopt;
}

namespace {

constexpr double DEGREES_PER_HALF_TURN = 180.0;
constexpr double PI = 3.14159265358979323846;

int64_t RoundAsPlatform(double value)
{
    return static_cast<int64_t>(std::floor(value + 0.5));
}

// Where the line from the box's centre towards the point crosses the
// ellipse the box holds; the box has width and height.
std::pair<int64_t, int64_t> PointOnEllipse(const LogicalBox& box, int64_t x, int64_t y)
{
    const double width = std::fabs(static_cast<double>(box.right - box.left));
    const double height = std::fabs(static_cast<double>(box.bottom - box.top));
    const double centreX = static_cast<double>(std::min(box.left, box.right)) + width / 2;
    const double centreY = static_cast<double>(std::min(box.top, box.bottom)) + height / 2;
    const double angle = std::atan2((static_cast<double>(y) - centreY) / height,
                                    (static_cast<double>(x) - centreX) / width);
    return {RoundAsPlatform(centreX + std::cos(angle) * width / 2),
            RoundAsPlatform(centreY + std::sin(angle) * height / 2)};
}

std::pair<int64_t, int64_t> PointAtAngle(int64_t x, int64_t y, double radius, double degrees)
{
    const double radians = degrees * PI / DEGREES_PER_HALF_TURN;
    return {RoundAsPlatform(static_cast<double>(x) + std::cos(radians) * radius),
            RoundAsPlatform(static_cast<double>(y) - std::sin(radians) * radius)};
}

std::optional<ArcEnds> ReadArcToEnds(const uint8_t* record, size_t size)
{
    const std::optional<LogicalBox> box = ReadShapeBox(record, size);
    if (size < EMR_ARC_SIZE || !box || box->left == box->right || box->top == box->bottom) {
        return std::nullopt;
    }
    const auto start = PointOnEllipse(*box, ReadInt32(record + EMR_ARC_PTLSTART + POINTL_X),
                                      ReadInt32(record + EMR_ARC_PTLSTART + POINTL_Y));
    const auto end = PointOnEllipse(*box, ReadInt32(record + EMR_ARC_PTLEND + POINTL_X),
                                    ReadInt32(record + EMR_ARC_PTLEND + POINTL_Y));
    return ArcEnds{start.first, start.second, end.first, end.second};
}

std::optional<ArcEnds> ReadAngleArcEnds(const uint8_t* record, size_t size)
{
    if (size < EMR_ANGLEARC_SIZE) {
        return std::nullopt;
    }
    const int64_t x = ReadInt32(record + EMR_ANGLEARC_PTLCENTER + POINTL_X);
    const int64_t y = ReadInt32(record + EMR_ANGLEARC_PTLCENTER + POINTL_Y);
    const double radius = ReadUint32(record + EMR_ANGLEARC_NRADIUS);
    const double start = ReadFloat(record + EMR_ANGLEARC_ESTARTANGLE);
    const double sweep = ReadFloat(record + EMR_ANGLEARC_ESWEEPANGLE);
    if (!std::isfinite(start) || !std::isfinite(sweep)) {
        return std::nullopt;
    }
    const auto first = PointAtAngle(x, y, radius, start);
    const auto last = PointAtAngle(x, y, radius, start + sweep);
    return ArcEnds{first.first, first.second, last.first, last.second};
}

}  // namespace

std::optional<ArcEnds> ReadArcEnds(const uint8_t* record, size_t size)
{
    switch (RecordType(record)) {
        case EMR_ARCTO:
            return ReadArcToEnds(record, size);
        case EMR_ANGLEARC:
            return ReadAngleArcEnds(record, size);
        default:
            return std::nullopt;
    }
}

bool IsCurvedShape(const uint8_t* record)
{
    const uint32_t type = RecordType(record);
    return type == EMR_ANGLEARC || (HoldsBox(type) && type != EMR_RECTANGLE);
}

std::optional<Gradient> ReadGradient(const uint8_t* record, size_t size)
{
    if (RecordType(record) != EMR_GRADIENTFILL || size < EMR_GRADIENTFILL_VER) {
        return std::nullopt;
    }
    const uint32_t vertexCount = ReadUint32(record + EMR_GRADIENTFILL_NVER);
    const uint32_t pieceCount = ReadUint32(record + EMR_GRADIENTFILL_NTRI);
    const uint32_t mode = ReadUint32(record + EMR_GRADIENTFILL_ULMODE);
    const size_t perPiece =
        mode == GRADIENT_MODE_TRIANGLE ? TRIANGLE_PIECE_VERTICES : RECT_PIECE_VERTICES;
    const uint64_t piecesOffset =
        EMR_GRADIENTFILL_VER + static_cast<uint64_t>(vertexCount) * TRIVERTEX_SIZE;
    if (piecesOffset + static_cast<uint64_t>(pieceCount) * perPiece * FIELD_SIZE > size) {
        return std::nullopt;
    }
    Gradient gradient{mode, {}, {}};
    for (uint32_t i = 0; i < vertexCount; ++i) {
        const uint8_t* v = record + EMR_GRADIENTFILL_VER + size_t{i} * TRIVERTEX_SIZE;
        gradient.vertices.push_back(
            GradientVertex{ReadInt32(v + TRIVERTEX_X), ReadInt32(v + TRIVERTEX_Y),
                           ReadUint16(v + TRIVERTEX_RED), ReadUint16(v + TRIVERTEX_GREEN),
                           ReadUint16(v + TRIVERTEX_BLUE), ReadUint16(v + TRIVERTEX_ALPHA)});
    }
    for (uint32_t i = 0; i < pieceCount; ++i) {
        std::vector<uint32_t> piece;
        for (size_t corner = 0; corner < perPiece; ++corner) {
            const uint32_t vertex =
                ReadUint32(record + piecesOffset + (size_t{i} * perPiece + corner) * FIELD_SIZE);
            if (vertex >= vertexCount) {
                return std::nullopt;
            }
            piece.push_back(vertex);
        }
        gradient.pieces.push_back(piece);
    }
    return gradient;
}

std::optional<int32_t> ReadFontHeight(const uint8_t* record, size_t size)
{
    const size_t heightAt = EMR_EXTCREATEFONTINDIRECTW_ELFW + LOGFONTW_LFHEIGHT;
    if (RecordType(record) != EMR_EXTCREATEFONTINDIRECTW || size < heightAt + FIELD_SIZE) {
        return std::nullopt;
    }
    return ReadInt32(record + heightAt);
}

std::vector<uint8_t> WithFontHeight(const uint8_t* record, size_t size, int32_t height)
{
    std::vector<uint8_t> copy(record, record + size);
    const size_t heightAt = EMR_EXTCREATEFONTINDIRECTW_ELFW + LOGFONTW_LFHEIGHT;
    const uint32_t value = static_cast<uint32_t>(height);
    for (size_t i = 0; i < FIELD_SIZE; ++i) {
        copy[heightAt + i] = static_cast<uint8_t>(value >> (8 * i));
    }
    return copy;
}

std::optional<WidthOnePen> ReadWidthOnePen(const uint8_t* record, size_t size)
{
    if (RecordType(record) != EMR_CREATEPEN || size < EMR_CREATEPEN_SIZE) {
        return std::nullopt;
    }
    const uint8_t* pen = record + EMR_CREATEPEN_LOPN;
    const uint32_t style = ReadUint32(pen + LOGPEN_LOPNSTYLE);
    const uint32_t kind = style & PEN_STYLE_MASK;
    if (ReadInt32(pen + LOGPEN_LOPNWIDTH + POINTL_X) != 1 || (style & PEN_TYPE_MASK) != 0 ||
        (kind != PS_SOLID_STYLE && kind != PS_INSIDEFRAME_STYLE)) {
        return std::nullopt;
    }
    return WidthOnePen{ReadUint32(record + EMR_SELECTOBJECT_IHOBJECT),
                       ReadUint32(pen + LOGPEN_LOPNCOLOR)};
}

bool ChangesScale(const uint8_t* record)
{
    switch (RecordType(record)) {
        case EMR_SETWORLDTRANSFORM:
        case EMR_MODIFYWORLDTRANSFORM:
        case EMR_SETMAPMODE:
        case EMR_SETWINDOWEXTEX:
        case EMR_SETVIEWPORTEXTEX:
        case EMR_SCALEWINDOWEXTEX:
        case EMR_SCALEVIEWPORTEXTEX:
        case EMR_RESTOREDC:
            return true;
        default:
            return false;
    }
}

bool TouchesClip(const uint8_t* record)
{
    switch (RecordType(record)) {
        case EMR_SAVEDC:
        case EMR_RESTOREDC:
        case EMR_SETMETARGN:
        case EMR_EXCLUDECLIPRECT:
        case EMR_INTERSECTCLIPRECT:
        case EMR_OFFSETCLIPRGN:
        case EMR_SELECTCLIPPATH:
        case EMR_EXTSELECTCLIPRGN:
        case EMR_SETLAYOUT:
            return true;
        default:
            return false;
    }
}

std::optional<uint32_t> ReadTextOptions(const uint8_t* record, size_t size)
{
    const uint32_t type = RecordType(record);
    if ((type != EMR_EXTTEXTOUTA && type != EMR_EXTTEXTOUTW) ||
        size < EMR_EXTTEXTOUTW_EMRTEXT + EMRTEXT_FOPTIONS + FIELD_SIZE) {
        return std::nullopt;
    }
    return ReadUint32(record + EMR_EXTTEXTOUTW_EMRTEXT + EMRTEXT_FOPTIONS);
}

std::optional<bool> PathOpenAfter(const uint8_t* record)
{
    switch (RecordType(record)) {
        case EMR_BEGINPATH:
            return true;
        case EMR_ENDPATH:
        case EMR_ABORTPATH:
            return false;
        default:
            return std::nullopt;
    }
}

std::optional<BlitDestination> ReadBlitNeedingBackdrop(const uint8_t* record, size_t size,
                                                       uint32_t shadeBlendCaps)
{
    if (size < EMF_RECORD_HEADER_SIZE) {
        return std::nullopt;
    }
    const uint32_t type = RecordType(record);
    bool needs = false;
    const uint32_t rop = size >= BLIT_FIXED_SIZE ? ReadUint32(record + EMR_BITBLT_DWROP) : 0;
    switch (type) {
        case EMR_ALPHABLEND: {
            const bool perPixel = (rop >> BLEND_FORMAT_SHIFT & BLEND_SOURCE_ALPHA) != 0;
            needs = (shadeBlendCaps & (perPixel ? SHADE_PIXEL_ALPHA : SHADE_CONSTANT_ALPHA)) == 0;
            break;
        }
        case EMR_TRANSPARENTBLT:
        case EMR_MASKBLT:
            needs = true;
            break;
        case EMR_BITBLT:
        case EMR_STRETCHBLT:
        case EMR_STRETCHDIBITS: {
            const uint32_t ternary =
                type == EMR_STRETCHDIBITS
                    ? (size >= EMR_STRETCHDIBITS_SIZE ? ReadUint32(record + EMR_STRETCHDIBITS_DWROP)
                                                      : 0)
                    : rop;
            // A driver draws the operations that do not read the page, and
            // the one that leaves it as it is as nothing.
            const uint32_t index = RopIndex(ternary);
            needs = index != ROP_SOURCE_COPY && index != ROP_PATTERN_COPY && index != ROP_BLACK &&
                    index != ROP_WHITE && index != ROP_DESTINATION;
            break;
        }
        default:
            break;
    }
    return needs ? ReadBlitRectangle(record, size) : std::nullopt;
}

std::optional<BlitDestination> ReadBlitRectangle(const uint8_t* record, size_t size)
{
    if (size < EMF_RECORD_HEADER_SIZE) {
        return std::nullopt;
    }
    const uint32_t type = RecordType(record);
    const bool dibits = type == EMR_STRETCHDIBITS;
    const bool blit = type == EMR_BITBLT || type == EMR_STRETCHBLT || type == EMR_MASKBLT ||
                      type == EMR_ALPHABLEND || type == EMR_TRANSPARENTBLT;
    if (!(blit || dibits) || size < (dibits ? EMR_STRETCHDIBITS_SIZE : BLIT_FIXED_SIZE)) {
        return std::nullopt;
    }
    return BlitDestination{
        ReadInt32(record + EMR_BITBLT_XDEST), ReadInt32(record + EMR_BITBLT_YDEST),
        ReadInt32(record + (dibits ? EMR_STRETCHDIBITS_CXDEST : EMR_BITBLT_CXDEST)),
        ReadInt32(record + (dibits ? EMR_STRETCHDIBITS_CYDEST : EMR_BITBLT_CYDEST))};
}

namespace {

struct SourceFields {
    uint32_t x;
    uint32_t y;
    uint32_t width;
    uint32_t height;
    uint32_t sourceInfoSize;  // cbBmiSrc
    size_t recordSize;        // the fields' end
};

std::optional<SourceFields> FindSourceFields(uint32_t type)
{
    switch (type) {
        case EMR_STRETCHBLT:
        case EMR_ALPHABLEND:
        case EMR_TRANSPARENTBLT:
            return SourceFields{EMR_BITBLT_XSRC,      EMR_BITBLT_YSRC,     EMR_STRETCHBLT_CXSRC,
                                EMR_STRETCHBLT_CYSRC, EMR_BITBLT_CBBMISRC, EMR_STRETCHBLT_SIZE};
        case EMR_BITBLT:
        case EMR_MASKBLT:
            return SourceFields{EMR_BITBLT_XSRC,     EMR_BITBLT_YSRC,
                                EMR_BITBLT_CXDEST,   EMR_BITBLT_CYDEST,
                                EMR_BITBLT_CBBMISRC, EMR_BITBLT_CBBMISRC + FIELD_SIZE};
        case EMR_STRETCHDIBITS:
            return SourceFields{EMR_STRETCHDIBITS_XSRC,
                                EMR_STRETCHDIBITS_YSRC,
                                EMR_STRETCHDIBITS_CXSRC,
                                EMR_STRETCHDIBITS_CYSRC,
                                EMR_STRETCHDIBITS_OFFBMISRC + BITMAP_FIELDS_CBBMI,
                                EMR_STRETCHDIBITS_SIZE};
        default:
            return std::nullopt;
    }
}

}  // namespace

std::optional<uint32_t> ReadRegionRectangleCount(const uint8_t* record, size_t size)
{
    if (size < EMF_RECORD_HEADER_SIZE) {
        return std::nullopt;
    }
    uint32_t dataAt = 0;
    switch (RecordType(record)) {
        case EMR_FILLRGN:
            dataAt = EMR_FILLRGN_RGNDATA;
            break;
        case EMR_FRAMERGN:
            dataAt = EMR_FRAMERGN_RGNDATA;
            break;
        case EMR_INVERTRGN:
        case EMR_PAINTRGN:
            dataAt = EMR_INVERTRGN_RGNDATA;
            break;
        case EMR_EXTSELECTCLIPRGN:
            dataAt = EMR_EXTSELECTCLIPRGN_RGNDATA;
            break;
        default:
            return std::nullopt;
    }
    if (size < size_t{dataAt} + RGNDATAHEADER_SIZE) {
        return std::nullopt;
    }
    return ReadUint32(record + dataAt + RGNDATAHEADER_NCOUNT);
}

std::optional<BlitSource> ReadBlitSource(const uint8_t* record, size_t size)
{
    const std::optional<SourceFields> fields =
        size < EMF_RECORD_HEADER_SIZE ? std::nullopt : FindSourceFields(RecordType(record));
    if (!fields || size < fields->recordSize || ReadUint32(record + fields->sourceInfoSize) == 0) {
        return std::nullopt;
    }
    return BlitSource{ReadInt32(record + fields->x), ReadInt32(record + fields->y),
                      ReadInt32(record + fields->width), ReadInt32(record + fields->height)};
}

namespace {

// BITBLT's and STRETCHBLT's fields up to the source bitmap's cbBmiSrc.
constexpr size_t BLIT_SOURCE_FIXED_SIZE = EMR_BITBLT_CBBMISRC + FIELD_SIZE;

bool CopiesBrushOnly(const uint8_t* record, size_t size)
{
    return size >= BLIT_SOURCE_FIXED_SIZE &&
           RopIndex(ReadUint32(record + EMR_BITBLT_DWROP)) == ROP_PATTERN_COPY &&
           ReadUint32(record + EMR_BITBLT_CBBMISRC) == 0;
}

}  // namespace

BrushUse ReadBrushUse(const uint8_t* record, size_t size)
{
    switch (RecordType(record)) {
        case EMR_RECTANGLE:
        case EMR_ROUNDRECT:
        case EMR_ELLIPSE:
        case EMR_CHORD:
        case EMR_PIE:
        case EMR_POLYGON:
        case EMR_POLYGON16:
        case EMR_POLYPOLYGON:
        case EMR_POLYPOLYGON16:
            return BrushUse::SHAPE;
        case EMR_BITBLT:
        case EMR_STRETCHBLT:
            return CopiesBrushOnly(record, size) ? BrushUse::PATTERN_COPY : BrushUse::OTHER;
        case EMR_FILLPATH:
        case EMR_STROKEANDFILLPATH:
            return BrushUse::PATH;
        case EMR_PAINTRGN:
        case EMR_EXTFLOODFILL:
        case EMR_MASKBLT:
        case EMR_PLGBLT:
        case EMR_STRETCHDIBITS:
            return BrushUse::OTHER;
        case EMR_FILLRGN:
        case EMR_FRAMERGN:
            return BrushUse::NAMED;
        default:
            return BrushUse::NONE;
    }
}

uint32_t ReadRegionBrush(const uint8_t* record)
{
    return ReadUint32(record + EMR_FILLRGN_IHBRUSH);
}

std::optional<Pixel> ReadPixel(const uint8_t* record, size_t size)
{
    if (RecordType(record) != EMR_SETPIXELV || size < EMR_SETPIXELV_SIZE) {
        return std::nullopt;
    }
    return Pixel{ReadInt32(record + EMR_SETPIXELV_PTLPIXEL + POINTL_X),
                 ReadInt32(record + EMR_SETPIXELV_PTLPIXEL + POINTL_Y),
                 ReadUint32(record + EMR_SETPIXELV_CRCOLOR)};
}

std::optional<TextRun> ReadTextRun(const uint8_t* record, size_t size)
{
    const std::optional<uint32_t> options = ReadTextOptions(record, size);
    if (!options || size < EMR_EXTTEXTOUTW_EMRTEXT + EMRTEXT_SIZE) {
        return std::nullopt;
    }
    const uint8_t* text = record + EMR_EXTTEXTOUTW_EMRTEXT;
    TextRun run{ReadInt32(text + EMRTEXT_PTLREFERENCE + POINTL_X),
                ReadInt32(text + EMRTEXT_PTLREFERENCE + POINTL_Y),
                *options,
                {},
                RecordType(record) == EMR_EXTTEXTOUTW,
                {},
                {}};
    for (size_t side = 0; side < 4; ++side) {
        run.rect[side] = ReadInt32(text + EMRTEXT_RCL + FIELD_SIZE * side);
    }
    const uint64_t count = ReadUint32(text + EMRTEXT_NCHARS);
    const uint64_t unit = run.wide ? 2 : 1;
    const uint64_t string = ReadUint32(text + EMRTEXT_OFFSTRING);
    const uint64_t advances = ReadUint32(text + EMRTEXT_OFFDX);
    const uint64_t advanceCount =
        advances == 0 ? 0 : count * ((*options & TEXT_PAIRED_ADVANCES) != 0 ? 2 : 1);
    if (string + count * unit > size || advances + advanceCount * FIELD_SIZE > size) {
        return std::nullopt;
    }
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* at = record + string + i * unit;
        run.characters.push_back(run.wide ? ReadUint16(at) : at[0]);
    }
    for (uint64_t i = 0; i < advanceCount; ++i) {
        run.advances.push_back(ReadInt32(record + advances + i * FIELD_SIZE));
    }
    return run;
}

namespace {

// Where the glyph indices of each text of the record that draws glyph
// indices lie: their offset and count, for those that lie within it.
std::vector<std::pair<uint64_t, uint64_t>> FindGlyphIndices(const uint8_t* record, size_t size)
{
    std::vector<uint64_t> texts;
    switch (RecordType(record)) {
        case EMR_EXTTEXTOUTA:
        case EMR_EXTTEXTOUTW:
            texts.push_back(EMR_EXTTEXTOUTW_EMRTEXT);
            break;
        case EMR_POLYTEXTOUTA:
        case EMR_POLYTEXTOUTW:
            if (size >= EMR_POLYTEXTOUTW_AEMRTEXT) {
                const uint64_t count = ReadUint32(record + EMR_POLYTEXTOUTW_CSTRINGS);
                for (uint64_t i = 0; i < count; ++i) {
                    texts.push_back(EMR_POLYTEXTOUTW_AEMRTEXT + i * EMRTEXT_SIZE);
                }
            }
            break;
        default:
            break;
    }
    std::vector<std::pair<uint64_t, uint64_t>> found;
    for (const uint64_t at : texts) {
        if (at + EMRTEXT_SIZE > size) {
            break;
        }
        const uint8_t* text = record + at;
        const uint64_t count = ReadUint32(text + EMRTEXT_NCHARS);
        const uint64_t string = ReadUint32(text + EMRTEXT_OFFSTRING);
        if ((ReadUint32(text + EMRTEXT_FOPTIONS) & TEXT_GLYPH_INDICES) != 0 &&
            string + count * sizeof(uint16_t) <= size) {
            found.emplace_back(string, count);
        }
    }
    return found;
}

}  // namespace

std::optional<uint16_t> ReadHighestGlyphIndex(const uint8_t* record, size_t size)
{
    std::optional<uint16_t> highest;
    for (const auto& [string, count] : FindGlyphIndices(record, size)) {
        for (uint64_t i = 0; i < count; ++i) {
            highest =
                std::max(highest.value_or(0), ReadUint16(record + string + i * sizeof(uint16_t)));
        }
    }
    return highest;
}

std::vector<uint8_t> WithGlyphsWithin(const uint8_t* record, size_t size, uint32_t glyphs)
{
    std::vector<uint8_t> copy(record, record + size);
    for (const auto& [string, count] : FindGlyphIndices(record, size)) {
        for (uint64_t i = 0; i < count; ++i) {
            uint8_t* index = copy.data() + string + i * sizeof(uint16_t);
            if (ReadUint16(index) >= glyphs) {
                index[0] = 0;
                index[1] = 0;
            }
        }
    }
    return copy;
}

bool DrawsOwnFigure(const uint8_t* record)
{
    switch (RecordType(record)) {
        case EMR_RECTANGLE:
        case EMR_ROUNDRECT:
        case EMR_ELLIPSE:
        case EMR_ARC:
        case EMR_CHORD:
        case EMR_PIE:
        case EMR_POLYGON:
        case EMR_POLYGON16:
        case EMR_POLYLINE:
        case EMR_POLYLINE16:
        case EMR_POLYBEZIER:
        case EMR_POLYBEZIER16:
        case EMR_POLYPOLYGON:
        case EMR_POLYPOLYGON16:
        case EMR_POLYPOLYLINE:
        case EMR_POLYPOLYLINE16:
            return true;
        default:
            return false;
    }
}

std::optional<uint16_t> LowerSymbolCode(uint16_t character)
{
    if (character < SYMBOL_CODE_FIRST || character > SYMBOL_CODE_LAST) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(character - SYMBOL_CODE_BASE);
}

std::optional<std::vector<uint8_t>> WithTextCharacters(const uint8_t* record, size_t size,
                                                       const std::vector<uint16_t>& characters)
{
    const std::optional<TextRun> run = ReadTextRun(record, size);
    if (!run || !run->wide || run->characters.size() != characters.size()) {
        return std::nullopt;
    }
    std::vector<uint8_t> copy(record, record + size);
    const size_t string = ReadUint32(record + EMR_EXTTEXTOUTW_EMRTEXT + EMRTEXT_OFFSTRING);
    for (size_t i = 0; i < characters.size(); ++i) {
        for (size_t byte = 0; byte < WIDE_UNIT_SIZE; ++byte) {
            copy[string + WIDE_UNIT_SIZE * i + byte] =
                static_cast<uint8_t>(characters[i] >> (BYTE_SHIFT * byte));
        }
    }
    return copy;
}

namespace {

constexpr uint32_t EXTENDED_PEN_FIXED_SIZE = EMR_EXTCREATEPEN_ELP + EXTLOGPEN32_ELPSTYLEENTRY;
constexpr size_t BITS_PER_BYTE = 8;

// The record's bitmap info followed by its bits; empty when it has no
// bitmap info or either range does not lie inside the record.
std::vector<uint8_t> ReadPackedDib(const uint8_t* record, size_t size, uint32_t fieldsAt)
{
    const uint64_t infoAt = ReadUint32(record + fieldsAt);
    const uint64_t infoSize = ReadUint32(record + fieldsAt + BITMAP_FIELDS_CBBMI);
    const uint64_t bitsAt = ReadUint32(record + fieldsAt + BITMAP_FIELDS_OFFBITS);
    const uint64_t bitsSize = ReadUint32(record + fieldsAt + BITMAP_FIELDS_CBBITS);
    if (infoSize == 0 || infoAt + infoSize > size || bitsAt + bitsSize > size) {
        return {};
    }
    std::vector<uint8_t> dib(record + infoAt, record + infoAt + infoSize);
    dib.insert(dib.end(), record + bitsAt, record + bitsAt + bitsSize);
    return dib;
}

}  // namespace

std::optional<ExtendedPen> ReadExtendedPen(const uint8_t* record, size_t size)
{
    if (RecordType(record) != EMR_EXTCREATEPEN || size < EXTENDED_PEN_FIXED_SIZE) {
        return std::nullopt;
    }
    const uint8_t* pen = record + EMR_EXTCREATEPEN_ELP;
    const uint64_t count = ReadUint32(pen + EXTLOGPEN32_ELPNUMENTRIES);
    if (EXTENDED_PEN_FIXED_SIZE + count * FIELD_SIZE > size) {
        return std::nullopt;
    }
    ExtendedPen read{ReadUint32(record + EMR_SELECTOBJECT_IHOBJECT),
                     ReadUint32(pen + EXTLOGPEN32_ELPPENSTYLE),
                     ReadUint32(pen + EXTLOGPEN32_ELPWIDTH),
                     ReadUint32(pen + EXTLOGPEN32_ELPBRUSHSTYLE),
                     ReadUint32(pen + EXTLOGPEN32_ELPCOLOR),
                     ReadUint32(pen + EXTLOGPEN32_ELPHATCH),
                     {},
                     ReadPackedDib(record, size, EMR_EXTCREATEPEN_OFFBMI)};
    for (uint64_t i = 0; i < count; ++i) {
        read.styleEntries.push_back(
            ReadUint32(pen + EXTLOGPEN32_ELPSTYLEENTRY + static_cast<size_t>(i) * FIELD_SIZE));
    }
    return read;
}

namespace {

constexpr uint32_t MAP_MODE_TEXT = 1;  // the first mode; MM_ANISOTROPIC the last
constexpr uint32_t MAP_MODE_LOMETRIC = 2;
constexpr uint32_t MAP_MODE_HIMETRIC = 3;
constexpr uint32_t MAP_MODE_LOENGLISH = 4;
constexpr uint32_t MAP_MODE_HIENGLISH = 5;
constexpr uint32_t MAP_MODE_TWIPS = 6;
constexpr uint32_t MAP_MODE_ANISOTROPIC = 8;
// Tenths of a millimetre in an inch: the fixed modes' units per inch times
// ten, over this, are their units per millimetre.
constexpr int64_t TENTHS_OF_MILLIMETRE_PER_INCH = 254;
constexpr int64_t TENTHS_PER_UNIT = 10;

// The mode's logical units per inch; 0 for a mode that is not fixed.
int64_t UnitsPerInch(uint32_t mode)
{
    switch (mode) {
        case MAP_MODE_LOMETRIC:
            return 254;  // tenths of a millimetre
        case MAP_MODE_HIMETRIC:
            return 2540;  // hundredths of a millimetre
        case MAP_MODE_LOENGLISH:
            return 100;
        case MAP_MODE_HIENGLISH:
            return 1000;
        case MAP_MODE_TWIPS:
            return 1440;
        default:
            return 0;
    }
}

// millimetres in the mode's units, rounded half away from zero; none when
// the result does not fit 32 bits.
std::optional<int32_t> MillimetresInUnits(int32_t millimetres, int64_t unitsPerInch)
{
    const int64_t scaled = int64_t{millimetres} * unitsPerInch * TENTHS_PER_UNIT;
    const int64_t rounded =
        (scaled * 2 + TENTHS_OF_MILLIMETRE_PER_INCH) / (TENTHS_OF_MILLIMETRE_PER_INCH * 2);
    if (rounded > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<int32_t>(rounded);
}

void PutField(std::vector<uint8_t>& record, uint32_t value)
{
    for (size_t i = 0; i < FIELD_SIZE; ++i) {
        record.push_back(static_cast<uint8_t>(value >> (BITS_PER_BYTE * i)));
    }
}

// A record of the given type holding these 32-bit fields after its type
// and size.
std::vector<uint8_t> MakeRecord(uint32_t type, std::initializer_list<uint32_t> fields)
{
    std::vector<uint8_t> record;
    PutField(record, type);
    PutField(record, static_cast<uint32_t>(EMF_RECORD_HEADER_SIZE + FIELD_SIZE * fields.size()));
    for (const uint32_t field : fields) {
        PutField(record, field);
    }
    return record;
}

bool SetsOrScalesExtents(uint32_t type)
{
    return type == EMR_SETWINDOWEXTEX || type == EMR_SETVIEWPORTEXTEX ||
           type == EMR_SCALEWINDOWEXTEX || type == EMR_SCALEVIEWPORTEXTEX;
}

// The state after RESTOREDC: the saved state it names, when there is one;
// the platform refuses the others and changes nothing.
MetricMapping Restored(const MetricMapping& before, int32_t relative)
{
    const size_t depth = before.saved.size();
    if (relative >= 0 || static_cast<uint64_t>(-int64_t{relative}) > depth) {
        return before;
    }
    const size_t kept = depth - static_cast<size_t>(-int64_t{relative});
    const auto keptEnd = before.saved.begin() + static_cast<std::ptrdiff_t>(kept);
    return MetricMapping{before.saved[kept], {before.saved.begin(), keptEnd}};
}

MappingPlay PlayAsItStands(const MetricMapping& after)
{
    return MappingPlay{after, false, {}};
}

}  // namespace

bool IsFixedMetricMode(uint32_t mode)
{
    return UnitsPerInch(mode) != 0;
}

std::optional<MappingExtents> ComputeFixedModeExtents(uint32_t mode,
                                                      const ReferenceDevice& reference)
{
    const int64_t unitsPerInch = UnitsPerInch(mode);
    if (unitsPerInch == 0 || reference.pixelsAcross <= 0 || reference.pixelsDown <= 0 ||
        reference.millimetresAcross <= 0 || reference.millimetresDown <= 0) {
        return std::nullopt;
    }
    const std::optional<int32_t> across =
        MillimetresInUnits(reference.millimetresAcross, unitsPerInch);
    const std::optional<int32_t> down = MillimetresInUnits(reference.millimetresDown, unitsPerInch);
    if (!across || !down) {
        return std::nullopt;
    }
    return MappingExtents{*across, *down, reference.pixelsAcross, -reference.pixelsDown};
}

MappingPlay PlanMetricMapping(const MetricMapping& before, const uint8_t* record, size_t size,
                              const ReferenceDevice& reference)
{
    const uint32_t type = RecordType(record);
    if (type == EMR_SAVEDC) {
        MetricMapping after = before;
        after.saved.push_back(before.fixed);
        return PlayAsItStands(after);
    }
    if (type == EMR_RESTOREDC && size >= EMR_RESTOREDC_IRELATIVE + FIELD_SIZE) {
        return PlayAsItStands(Restored(before, ReadInt32(record + EMR_RESTOREDC_IRELATIVE)));
    }
    if (before.fixed && SetsOrScalesExtents(type)) {
        return MappingPlay{before, true, {}};
    }
    if (type != EMR_SETMAPMODE || size < EMR_SETMAPMODE_SIZE) {
        return PlayAsItStands(before);
    }
    const uint32_t mode = ReadUint32(record + EMR_SETMAPMODE_IMODE);
    if (mode < MAP_MODE_TEXT || mode > MAP_MODE_ANISOTROPIC) {
        return PlayAsItStands(before);  // the platform refuses it
    }
    const std::optional<MappingExtents> extents = ComputeFixedModeExtents(mode, reference);
    if (!extents) {
        return PlayAsItStands(MetricMapping{false, before.saved});
    }
    return MappingPlay{
        MetricMapping{true, before.saved},
        true,
        {MakeRecord(EMR_SETMAPMODE, {MAP_MODE_ANISOTROPIC}),
         MakeRecord(EMR_SETWINDOWEXTEX, {static_cast<uint32_t>(extents->windowX),
                                         static_cast<uint32_t>(extents->windowY)}),
         MakeRecord(EMR_SETVIEWPORTEXTEX, {static_cast<uint32_t>(extents->viewportX),
                                           static_cast<uint32_t>(extents->viewportY)})}};
}
