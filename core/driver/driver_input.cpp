#include "driver/driver_input.h"

#include <cmath>

#include "metafile/emf_record_types.h"
#include "metafile/emf_records.h"
#include "metafile/little_endian.h"

namespace {

constexpr size_t TYPE_OFFSET = 0;
constexpr size_t BOX_OFFSET = 8;  // rclBox, or ANGLEARC's ptlCenter
constexpr size_t BOX_SIZE = 16;
constexpr size_t RADIUS_OFFSET = 16;
constexpr size_t ANGLE_ARC_FIXED_SIZE = 28;
constexpr size_t GRADIENT_COUNTS_OFFSET = 24;  // nVer, nTri, ulMode
constexpr size_t GRADIENT_VERTICES_OFFSET = 36;
constexpr size_t VERTEX_SIZE = 16;
constexpr size_t RECT_PIECE_VERTICES = 2;
constexpr size_t TRIANGLE_PIECE_VERTICES = 3;
constexpr size_t FONT_HEIGHT_OFFSET = 12;  // elfw.elfLogFont.lfHeight after ihFont
constexpr size_t PEN_INDEX_OFFSET = 8;
constexpr size_t PEN_STYLE_OFFSET = 12;  // lopn: style, width (x, y), colour
constexpr size_t PEN_WIDTH_OFFSET = 16;
constexpr size_t PEN_COLOUR_OFFSET = 24;
constexpr size_t PEN_RECORD_SIZE = 28;
constexpr uint32_t PEN_STYLE_MASK = 0x0F;
constexpr uint32_t PEN_TYPE_MASK = 0x000F0000;
constexpr uint32_t PS_SOLID_STYLE = 0;
constexpr uint32_t PS_INSIDEFRAME_STYLE = 6;
constexpr size_t BLIT_DESTINATION_OFFSET = 24;  // xDest, yDest, then cxDest, cyDest
constexpr size_t BLIT_ROP_OFFSET = 40;          // dwRop, or the blend function or colour key
constexpr size_t BLIT_FIXED_SIZE = 44;
constexpr size_t DIBITS_ROP_OFFSET = 68;  // STRETCHDIBITS: dwRop, cxDest, cyDest
constexpr size_t DIBITS_FIXED_SIZE = 80;
constexpr uint32_t ROP_INDEX_SHIFT = 16;
constexpr uint32_t ROP_INDEX_MASK = 0xFF;
// Ternary raster operations a driver draws without reading the page: copy
// the source, copy the brush, black, white; and the one that leaves the
// page as it is, which the driver draws as nothing.
constexpr uint32_t ROP_SOURCE_COPY = 0xCC;
constexpr uint32_t ROP_PATTERN_COPY = 0xF0;
constexpr uint32_t ROP_BLACK = 0x00;
constexpr uint32_t ROP_WHITE = 0xFF;
constexpr uint32_t ROP_DESTINATION = 0xAA;
constexpr uint32_t BLEND_FORMAT_SHIFT = 24;  // AlphaFormat, the blend function's last byte
constexpr uint32_t BLEND_SOURCE_ALPHA = 0x01;
constexpr size_t TEXT_OPTIONS_OFFSET = 52;  // emrtext.fOptions
constexpr uint32_t BYTE_SHIFT_GREEN = 8;
constexpr uint32_t BYTE_SHIFT_BLUE = 16;

uint32_t RecordType(const uint8_t* record)
{
    return ReadUint32(record + TYPE_OFFSET);
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

double RoundAsDevice(double value)
{
    return std::floor(value + 0.5);
}

bool IsWithinDriverLimit(const DevicePoint& point)
{
    return std::isfinite(point.x) && std::isfinite(point.y) &&
           std::fabs(point.x) <= DRIVER_COORDINATE_LIMIT &&
           std::fabs(point.y) <= DRIVER_COORDINATE_LIMIT;
}

AffineMap ComposeDeviceMap(const AffineMap& world, int32_t windowOrgX, int32_t windowOrgY,
                           int32_t windowExtX, int32_t windowExtY, int32_t viewportOrgX,
                           int32_t viewportOrgY, int32_t viewportExtX, int32_t viewportExtY)
{
    const double sx = windowExtX == 0 ? 0.0 : static_cast<double>(viewportExtX) / windowExtX;
    const double sy = windowExtY == 0 ? 0.0 : static_cast<double>(viewportExtY) / windowExtY;
    return AffineMap{world.m11 * sx,
                     world.m12 * sy,
                     world.m21 * sx,
                     world.m22 * sy,
                     (world.dx - windowOrgX) * sx + viewportOrgX,
                     (world.dy - windowOrgY) * sy + viewportOrgY};
}

DevicePoint MapPoint(const AffineMap& map, double x, double y)
{
    return DevicePoint{x * map.m11 + y * map.m21 + map.dx, x * map.m12 + y * map.m22 + map.dy};
}

double VerticalScale(const AffineMap& map)
{
    return std::hypot(map.m21, map.m22);
}

std::optional<LogicalBox> ReadShapeBox(const uint8_t* record, size_t size)
{
    const uint32_t type = RecordType(record);
    if (HoldsBox(type) && size >= BOX_OFFSET + BOX_SIZE) {
        return LogicalBox{ReadInt32(record + BOX_OFFSET), ReadInt32(record + BOX_OFFSET + 4),
                          ReadInt32(record + BOX_OFFSET + 8), ReadInt32(record + BOX_OFFSET + 12)};
    }
    if (type == EMR_ANGLEARC && size >= ANGLE_ARC_FIXED_SIZE) {
        const int64_t x = ReadInt32(record + BOX_OFFSET);
        const int64_t y = ReadInt32(record + BOX_OFFSET + 4);
        const int64_t radius = ReadUint32(record + RADIUS_OFFSET);
        return LogicalBox{x - radius, y - radius, x + radius, y + radius};
    }
    return std::nullopt;
}

bool IsCurvedShape(const uint8_t* record)
{
    const uint32_t type = RecordType(record);
    return type == EMR_ANGLEARC || (HoldsBox(type) && type != EMR_RECTANGLE);
}

ShapeFit JudgeShapeBox(const AffineMap& map, const LogicalBox& box)
{
    const auto at = [&](int64_t x, int64_t y) {
        return MapPoint(map, static_cast<double>(x), static_cast<double>(y));
    };
    const DevicePoint first = at(box.left, box.top);
    const DevicePoint second = at(box.right, box.bottom);
    for (const DevicePoint& corner :
         {first, second, at(box.right, box.top), at(box.left, box.bottom)}) {
        if (!IsWithinDriverLimit(corner)) {
            return ShapeFit::BEYOND_DEVICE;
        }
    }
    if (RoundAsDevice(first.x) == RoundAsDevice(second.x) ||
        RoundAsDevice(first.y) == RoundAsDevice(second.y)) {
        return ShapeFit::EMPTY;
    }
    return ShapeFit::DRAWABLE;
}

std::optional<Gradient> ReadGradient(const uint8_t* record, size_t size)
{
    if (RecordType(record) != EMR_GRADIENTFILL || size < GRADIENT_VERTICES_OFFSET) {
        return std::nullopt;
    }
    const uint32_t vertexCount = ReadUint32(record + GRADIENT_COUNTS_OFFSET);
    const uint32_t pieceCount = ReadUint32(record + GRADIENT_COUNTS_OFFSET + 4);
    const uint32_t mode = ReadUint32(record + GRADIENT_COUNTS_OFFSET + 8);
    const size_t perPiece =
        mode == GRADIENT_MODE_TRIANGLE ? TRIANGLE_PIECE_VERTICES : RECT_PIECE_VERTICES;
    const uint64_t piecesOffset =
        GRADIENT_VERTICES_OFFSET + static_cast<uint64_t>(vertexCount) * VERTEX_SIZE;
    if (piecesOffset + static_cast<uint64_t>(pieceCount) * perPiece * 4 > size) {
        return std::nullopt;
    }
    Gradient gradient{mode, {}, {}};
    for (uint32_t i = 0; i < vertexCount; ++i) {
        const uint8_t* v = record + GRADIENT_VERTICES_OFFSET + size_t{i} * VERTEX_SIZE;
        gradient.vertices.push_back(GradientVertex{ReadInt32(v), ReadInt32(v + 4),
                                                   ReadUint16(v + 8), ReadUint16(v + 10),
                                                   ReadUint16(v + 12), ReadUint16(v + 14)});
    }
    for (uint32_t i = 0; i < pieceCount; ++i) {
        std::vector<uint32_t> piece;
        for (size_t corner = 0; corner < perPiece; ++corner) {
            const uint32_t vertex =
                ReadUint32(record + piecesOffset + (size_t{i} * perPiece + corner) * 4);
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
    if (RecordType(record) != EMR_EXTCREATEFONTINDIRECTW || size < FONT_HEIGHT_OFFSET + 4) {
        return std::nullopt;
    }
    return ReadInt32(record + FONT_HEIGHT_OFFSET);
}

std::vector<uint8_t> WithFontHeight(const uint8_t* record, size_t size, int32_t height)
{
    std::vector<uint8_t> copy(record, record + size);
    const uint32_t value = static_cast<uint32_t>(height);
    for (size_t i = 0; i < 4; ++i) {
        copy[FONT_HEIGHT_OFFSET + i] = static_cast<uint8_t>(value >> (8 * i));
    }
    return copy;
}

std::optional<WidthOnePen> ReadWidthOnePen(const uint8_t* record, size_t size)
{
    if (RecordType(record) != EMR_CREATEPEN || size < PEN_RECORD_SIZE) {
        return std::nullopt;
    }
    const uint32_t style = ReadUint32(record + PEN_STYLE_OFFSET);
    const uint32_t kind = style & PEN_STYLE_MASK;
    if (ReadInt32(record + PEN_WIDTH_OFFSET) != 1 || (style & PEN_TYPE_MASK) != 0 ||
        (kind != PS_SOLID_STYLE && kind != PS_INSIDEFRAME_STYLE)) {
        return std::nullopt;
    }
    return WidthOnePen{ReadUint32(record + PEN_INDEX_OFFSET),
                       ReadUint32(record + PEN_COLOUR_OFFSET)};
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
    if ((type != EMR_EXTTEXTOUTA && type != EMR_EXTTEXTOUTW) || size < TEXT_OPTIONS_OFFSET + 4) {
        return std::nullopt;
    }
    return ReadUint32(record + TEXT_OPTIONS_OFFSET);
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
    const uint32_t rop = size >= BLIT_FIXED_SIZE ? ReadUint32(record + BLIT_ROP_OFFSET) : 0;
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
                    ? (size >= DIBITS_FIXED_SIZE ? ReadUint32(record + DIBITS_ROP_OFFSET) : 0)
                    : rop;
            const uint32_t index = ternary >> ROP_INDEX_SHIFT & ROP_INDEX_MASK;
            needs = index != ROP_SOURCE_COPY && index != ROP_PATTERN_COPY && index != ROP_BLACK &&
                    index != ROP_WHITE && index != ROP_DESTINATION;
            break;
        }
        default:
            break;
    }
    const size_t fixedSize = type == EMR_STRETCHDIBITS ? DIBITS_FIXED_SIZE : BLIT_FIXED_SIZE;
    if (!needs || size < fixedSize) {
        return std::nullopt;
    }
    const uint8_t* extent = type == EMR_STRETCHDIBITS ? record + DIBITS_ROP_OFFSET + 4
                                                      : record + BLIT_DESTINATION_OFFSET + 8;
    return BlitDestination{ReadInt32(record + BLIT_DESTINATION_OFFSET),
                           ReadInt32(record + BLIT_DESTINATION_OFFSET + 4), ReadInt32(extent),
                           ReadInt32(extent + 4)};
}

uint32_t MeanColour(const uint8_t* rows, int32_t width, int32_t height, size_t stride)
{
    uint64_t sums[3] = {};
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = rows + static_cast<size_t>(y) * stride;
        for (int32_t x = 0; x < width; ++x) {
            for (size_t channel = 0; channel < 3; ++channel) {
                sums[channel] += row[static_cast<size_t>(x) * 3 + channel];
            }
        }
    }
    const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (count == 0) {
        return 0;
    }
    const auto mean = [&](size_t channel) {
        return static_cast<uint32_t>((sums[channel] + count / 2) / count);
    };
    return mean(2) | mean(1) << BYTE_SHIFT_GREEN | mean(0) << BYTE_SHIFT_BLUE;
}

namespace {

constexpr size_t BLIT_SOURCE_INFO_SIZE_OFFSET = 88;  // cbBmiSrc of BITBLT and STRETCHBLT
constexpr size_t BLIT_SOURCE_FIXED_SIZE = 92;
constexpr size_t REGION_BRUSH_OFFSET = 28;  // ihBrush of FILLRGN and FRAMERGN
constexpr uint32_t BITS_PER_BYTE = 8;
constexpr uint32_t ROW_ALIGNMENT = 4;

uint32_t PixelColour(const uint8_t* pixel)
{
    return uint32_t{pixel[2]} | uint32_t{pixel[1]} << BYTE_SHIFT_GREEN |
           uint32_t{pixel[0]} << BYTE_SHIFT_BLUE;
}

bool CopiesBrushOnly(const uint8_t* record, size_t size)
{
    return size >= BLIT_SOURCE_FIXED_SIZE &&
           (ReadUint32(record + BLIT_ROP_OFFSET) >> ROP_INDEX_SHIFT & ROP_INDEX_MASK) ==
               ROP_PATTERN_COPY &&
           ReadUint32(record + BLIT_SOURCE_INFO_SIZE_OFFSET) == 0;
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
    const uint8_t* at = record + BLIT_DESTINATION_OFFSET;
    return BlitDestination{ReadInt32(at), ReadInt32(at + 4), ReadInt32(at + 8), ReadInt32(at + 12)};
}

uint32_t ReadRegionBrush(const uint8_t* record)
{
    return ReadUint32(record + REGION_BRUSH_OFFSET);
}

std::optional<TwoColours> ReadTwoColours(const uint8_t* rows, int32_t width, int32_t height,
                                         size_t stride)
{
    if (width <= 0 || height <= 0) {
        return std::nullopt;
    }
    const uint32_t first = PixelColour(rows);
    std::optional<uint32_t> second;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = rows + static_cast<size_t>(y) * stride;
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t colour = PixelColour(row + static_cast<size_t>(x) * 3);
            if (colour == first || colour == second) {
                continue;
            }
            if (second) {
                return std::nullopt;
            }
            second = colour;
        }
    }
    return TwoColours{first, second.value_or(first)};
}

std::vector<uint8_t> PackTwoColours(const uint8_t* rows, int32_t width, int32_t height,
                                    size_t stride, uint32_t second)
{
    const size_t rowBytes = (static_cast<size_t>(width) + BITS_PER_BYTE * ROW_ALIGNMENT - 1) /
                            (BITS_PER_BYTE * ROW_ALIGNMENT) * ROW_ALIGNMENT;
    std::vector<uint8_t> packed(rowBytes * static_cast<size_t>(height), 0);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = rows + static_cast<size_t>(y) * stride;
        uint8_t* out = packed.data() + static_cast<size_t>(y) * rowBytes;
        for (uint32_t x = 0; x < static_cast<uint32_t>(width); ++x) {
            if (PixelColour(row + static_cast<size_t>(x) * 3) == second) {
                out[x / BITS_PER_BYTE] |= static_cast<uint8_t>(0x80u >> (x % BITS_PER_BYTE));
            }
        }
    }
    return packed;
}

bool TurnsOrShears(const AffineMap& map)
{
    return map.m12 != 0 || map.m21 != 0;
}

std::optional<Pixel> ReadPixel(const uint8_t* record, size_t size)
{
    constexpr size_t PIXEL_RECORD_SIZE = 20;  // ptlPixel, crColor
    if (RecordType(record) != EMR_SETPIXELV || size < PIXEL_RECORD_SIZE) {
        return std::nullopt;
    }
    return Pixel{ReadInt32(record + 8), ReadInt32(record + 12), ReadUint32(record + 16)};
}

std::optional<TextRun> ReadTextRun(const uint8_t* record, size_t size)
{
    constexpr size_t REFERENCE_AT = 36;  // emrtext: ptlReference, nChars, offString,
    constexpr size_t COUNT_AT = 44;      // options, rcl, offDx
    constexpr size_t STRING_AT = 48;
    constexpr size_t RECT_AT = 56;
    constexpr size_t ADVANCES_AT = 72;
    constexpr size_t TEXT_RECORD_SIZE = 76;
    const std::optional<uint32_t> options = ReadTextOptions(record, size);
    if (!options || size < TEXT_RECORD_SIZE) {
        return std::nullopt;
    }
    TextRun run{ReadInt32(record + REFERENCE_AT),
                ReadInt32(record + REFERENCE_AT + 4),
                *options,
                {},
                RecordType(record) == EMR_EXTTEXTOUTW,
                {},
                {}};
    for (size_t side = 0; side < 4; ++side) {
        run.rect[side] = ReadInt32(record + RECT_AT + 4 * side);
    }
    const uint64_t count = ReadUint32(record + COUNT_AT);
    const uint64_t unit = run.wide ? 2 : 1;
    const uint64_t string = ReadUint32(record + STRING_AT);
    const uint64_t advances = ReadUint32(record + ADVANCES_AT);
    const uint64_t advanceCount =
        advances == 0 ? 0 : count * ((*options & TEXT_PAIRED_ADVANCES) != 0 ? 2 : 1);
    if (string + count * unit > size || advances + advanceCount * 4 > size) {
        return std::nullopt;
    }
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* at = record + string + i * unit;
        run.characters.push_back(run.wide ? ReadUint16(at) : at[0]);
    }
    for (uint64_t i = 0; i < advanceCount; ++i) {
        run.advances.push_back(ReadInt32(record + advances + i * 4));
    }
    return run;
}
