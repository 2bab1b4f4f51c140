// A gradient, where the device cannot shade one, becomes an image the job
// renders itself, clipped to the gradient's rectangles or triangles. A
// single upright rectangle, which changes colour along one side only, is
// one row or column of pixels stretched over its area.
#include "playback/mendings.h"

#include "gdi_owners.h"
#include "playback/device_map.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

bool CanShade(uint32_t shadeBlendCaps, uint32_t mode)
{
    return (shadeBlendCaps & (mode == GRADIENT_MODE_TRIANGLE ? SB_GRAD_TRI : SB_GRAD_RECT)) != 0;
}

// The gradient's pieces as device polygons: a rectangle's four corners, a
// triangle's three.
std::vector<std::vector<DevicePoint>> PieceOutlines(const Gradient& gradient, const AffineMap& map)
{
    std::vector<std::vector<DevicePoint>> outlines;
    for (const std::vector<uint32_t>& piece : gradient.pieces) {
        std::vector<DevicePoint> outline;
        if (gradient.mode == GRADIENT_MODE_TRIANGLE) {
            for (uint32_t vertex : piece) {
                const GradientVertex& v = gradient.vertices[vertex];
                outline.push_back(MapPoint(map, v.x, v.y));
            }
        } else {
            const GradientVertex& a = gradient.vertices[piece[0]];
            const GradientVertex& b = gradient.vertices[piece[1]];
            for (const POINT& corner :
                 {POINT{a.x, a.y}, POINT{b.x, a.y}, POINT{b.x, b.y}, POINT{a.x, b.y}}) {
                outline.push_back(MapPoint(map, corner.x, corner.y));
            }
        }
        outlines.push_back(outline);
    }
    return outlines;
}

// The device rectangle the outlines cover, cut to the printable area.
RECT CoveredArea(HDC device, const std::vector<std::vector<DevicePoint>>& outlines)
{
    RECT area = {GetDeviceCaps(device, HORZRES), GetDeviceCaps(device, VERTRES), 0, 0};
    for (const auto& outline : outlines) {
        for (const DevicePoint& p : outline) {
            area.left = std::min(area.left, RoundToPixel(std::floor(p.x)));
            area.top = std::min(area.top, RoundToPixel(std::floor(p.y)));
            area.right = std::max(area.right, RoundToPixel(std::ceil(p.x)));
            area.bottom = std::max(area.bottom, RoundToPixel(std::ceil(p.y)));
        }
    }
    return CutToPage(device, area);
}

// A vertex's coordinate within the image along one side: as it stands
// where the image has every pixel of the area's side, and where it has one,
// the near or the far edge of that pixel, so that the rectangle spans it.
LONG FitToImage(LONG coordinate, LONG areaSide, LONG imageSide)
{
    if (imageSide == areaSide) {
        return coordinate;
    }
    return coordinate * 2 < areaSide ? 0 : imageSide;
}

// Shades the gradient into the raster of the image's size, whose top-left
// corner is the area's on the device, through the platform's own gradient
// fill.
void ShadeInto(const Raster& raster, const Gradient& gradient, const AffineMap& map,
               const RECT& area, const SIZE& image)
{
    std::vector<TRIVERTEX> vertices;
    for (const GradientVertex& v : gradient.vertices) {
        const DevicePoint p = MapPoint(map, v.x, v.y);
        vertices.push_back(
            TRIVERTEX{FitToImage(RoundToPixel(p.x) - area.left, area.right - area.left, image.cx),
                      FitToImage(RoundToPixel(p.y) - area.top, area.bottom - area.top, image.cy),
                      v.red, v.green, v.blue, v.alpha});
    }
    std::vector<ULONG> pieces;
    for (const std::vector<uint32_t>& piece : gradient.pieces) {
        pieces.insert(pieces.end(), piece.begin(), piece.end());
    }
    GdiGradientFill(raster.dc(), vertices.data(), static_cast<ULONG>(vertices.size()),
                    pieces.data(), static_cast<ULONG>(gradient.pieces.size()), gradient.mode);
    GdiFlush();
}

// Clips the device to the outlines, in device pixels, for the drawing that
// follows; the caller has saved the state to restore.
void ClipToOutlines(HDC device, const std::vector<std::vector<DevicePoint>>& outlines)
{
    UseDevicePixels(device);
    SetPolyFillMode(device, WINDING);
    BeginPath(device);
    for (const auto& outline : outlines) {
        std::vector<POINT> points;
        for (const DevicePoint& p : outline) {
            points.push_back(POINT{RoundToPixel(p.x), RoundToPixel(p.y)});
        }
        Polygon(device, points.data(), static_cast<int>(points.size()));
    }
    EndPath(device);
    SelectClipPath(device, RGN_AND);
}

bool FitsDevice(const std::vector<std::vector<DevicePoint>>& outlines)
{
    for (const auto& outline : outlines) {
        for (const DevicePoint& p : outline) {
            if (!IsWithinDriverLimit(p)) {
                return false;
            }
        }
    }
    return true;
}

// The pixels the image of the gradient over the area needs: one row of a
// single rectangle that shades across, upright on the device, one column
// of one that shades down, and every pixel of any other.
SIZE ImageSize(const Gradient& gradient, const AffineMap& map, const RECT& area)
{
    const SIZE whole = {area.right - area.left, area.bottom - area.top};
    if (gradient.mode == GRADIENT_MODE_TRIANGLE || gradient.pieces.size() != 1 ||
        TurnsOrShears(map)) {
        return whole;
    }
    return gradient.mode == GRADIENT_FILL_RECT_H ? SIZE{whole.cx, 1} : SIZE{1, whole.cy};
}

// The gradient as an image of its device area, limited to its shape.
void DrawGradientAsImage(HDC device, const Gradient& gradient)
{
    const AffineMap map = ReadDeviceMap(device);
    const std::vector<std::vector<DevicePoint>> outlines = PieceOutlines(gradient, map);
    if (!FitsDevice(outlines)) {
        return;
    }
    const RECT area = CoveredArea(device, outlines);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) {
        return;
    }
    const SIZE image = ImageSize(gradient, map, area);
    const Raster raster = MakeRaster(image.cx, image.cy);
    if (raster.dc() == nullptr) {
        return;
    }
    ShadeInto(raster, gradient, map, area, image);
    const SavedState saved(device);
    ClipToOutlines(device, outlines);
    StretchDIBits(device, area.left, area.top, width, height, 0, 0, image.cx, image.cy, raster.bits,
                  &raster.info, DIB_RGB_COLORS, SRCCOPY);
}

}  // namespace

bool DrawUnshadedGradient(HDC device, const ENHMETARECORD* record, uint32_t shadeBlendCaps)
{
    if (record->iType != EMR_GRADIENTFILL) {
        return false;
    }
    const std::optional<Gradient> gradient =
        ReadGradient(reinterpret_cast<const uint8_t*>(record), record->nSize);
    if (!gradient || CanShade(shadeBlendCaps, gradient->mode)) {
        return false;
    }
    DrawGradientAsImage(device, *gradient);
    return true;
}
