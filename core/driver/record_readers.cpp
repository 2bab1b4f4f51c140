#include "driver/record_readers.h"

#include "metafile/emf_layout.h"
#include "metafile/emf_record_types.h"
#include "metafile/emf_records.h"
#include "metafile/little_endian.h"
#include "metafile/raster_operations.h"

#include <algorithm>
#include <cmath>
#include <utility>

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
// Ternary raster operations a driver draws without reading the page: copy
// the source, copy the brush, black, white; and the one that leaves the
// page as it is (ROP_DESTINATION), which the driver draws as nothing.
constexpr uint32_t ROP_SOURCE_COPY = 0xCC;
constexpr uint32_t ROP_PATTERN_COPY = 0xF0;
constexpr uint32_t ROP_BLACK = 0x00;
constexpr uint32_t ROP_WHITE = 0xFF;
constexpr uint32_t BLEND_FORMAT_SHIFT = 24;  // AlphaFormat, the blend function's last byte
constexpr uint32_t BLEND_SOURCE_ALPHA = 0x01;

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
            const uint32_t index = ternary >> ROP_INDEX_SHIFT & ROP_INDEX_MASK;
            needs = index != ROP_SOURCE_COPY && index != ROP_PATTERN_COPY && index != ROP_BLACK &&
                    index != ROP_WHITE && index != ROP_DESTINATION;
            break;
        }
        default:
            break;
    }
    const size_t fixedSize = type == EMR_STRETCHDIBITS ? EMR_STRETCHDIBITS_SIZE : BLIT_FIXED_SIZE;
    if (!needs || size < fixedSize) {
        return std::nullopt;
    }
    const bool dibits = type == EMR_STRETCHDIBITS;
    return BlitDestination{
        ReadInt32(record + EMR_BITBLT_XDEST), ReadInt32(record + EMR_BITBLT_YDEST),
        ReadInt32(record + (dibits ? EMR_STRETCHDIBITS_CXDEST : EMR_BITBLT_CXDEST)),
        ReadInt32(record + (dibits ? EMR_STRETCHDIBITS_CYDEST : EMR_BITBLT_CYDEST))};
}

namespace {

// BITBLT's and STRETCHBLT's fields up to the source bitmap's cbBmiSrc.
constexpr size_t BLIT_SOURCE_FIXED_SIZE = EMR_BITBLT_CBBMISRC + FIELD_SIZE;

bool CopiesBrushOnly(const uint8_t* record, size_t size)
{
    return size >= BLIT_SOURCE_FIXED_SIZE &&
           (ReadUint32(record + EMR_BITBLT_DWROP) >> ROP_INDEX_SHIFT & ROP_INDEX_MASK) ==
               ROP_PATTERN_COPY &&
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

BlitDestination ReadBlitDestination(const uint8_t* record)
{
    return BlitDestination{
        ReadInt32(record + EMR_BITBLT_XDEST), ReadInt32(record + EMR_BITBLT_YDEST),
        ReadInt32(record + EMR_BITBLT_CXDEST), ReadInt32(record + EMR_BITBLT_CYDEST)};
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
