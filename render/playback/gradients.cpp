// A gradient, where the device cannot shade one, becomes images the job
// renders itself, one for each rectangle or triangle, clipped to it. A
// piece's colour is linear over the device (driver/shading.h), so its
// image has only the pixels that colour needs: one row of an upright
// rectangle that shades across, one column of one that shades down, and
// a triangle's pixels as large as keep neighbours a step of colour apart.
#include "playback/mendings.h"

#include "driver/shading.h"
#include "gdi_owners.h"
#include "playback/device_map.h"
#include "playback/written_clip.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

bool CanShade(uint32_t shadeBlendCaps, uint32_t mode)
{
    return (shadeBlendCaps & (mode == GRADIENT_MODE_TRIANGLE ? SB_GRAD_TRI : SB_GRAD_RECT)) != 0;
}

ShadedCorner ShadeCorner(const AffineMap& map, int32_t x, int32_t y, const GradientVertex& colour)
{
    return ShadedCorner{MapPoint(map, x, y), {colour.red, colour.green, colour.blue}};
}

// A piece of the gradient on the device: its outline and three corners
// that fix its shade.
struct DevicePiece {
    std::vector<DevicePoint> outline;
    std::array<ShadedCorner, 3> corners;
};

// A triangle's three corners; a rectangle's four, its shade fixed by the
// corner of each vertex and a third that takes the first's colour along
// the side the rectangle does not shade.
DevicePiece MapPiece(const Gradient& gradient, const std::vector<uint32_t>& piece,
                     const AffineMap& map)
{
    const GradientVertex& a = gradient.vertices[piece[0]];
    const GradientVertex& b = gradient.vertices[piece[1]];
    if (gradient.mode == GRADIENT_MODE_TRIANGLE) {
        const GradientVertex& c = gradient.vertices[piece[2]];
        const std::array<ShadedCorner, 3> corners = {ShadeCorner(map, a.x, a.y, a),
                                                     ShadeCorner(map, b.x, b.y, b),
                                                     ShadeCorner(map, c.x, c.y, c)};
        return DevicePiece{{corners[0].at, corners[1].at, corners[2].at}, corners};
    }
    const bool across = gradient.mode == GRADIENT_FILL_RECT_H;
    return DevicePiece{{MapPoint(map, a.x, a.y), MapPoint(map, b.x, a.y), MapPoint(map, b.x, b.y),
                        MapPoint(map, a.x, b.y)},
                       {ShadeCorner(map, a.x, a.y, a), ShadeCorner(map, b.x, across ? a.y : b.y, b),
                        across ? ShadeCorner(map, a.x, b.y, a) : ShadeCorner(map, b.x, a.y, a)}};
}

// The device rectangle the outline covers, cut to the printable area.
RECT CoveredArea(HDC device, const std::vector<DevicePoint>& outline)
{
    const std::optional<DeviceBounds> bounds = BoundDevicePoints(outline);
    if (!bounds) {
        return RECT{};
    }
    return CutToPage(
        device, {RoundToPixel(std::floor(bounds->left)), RoundToPixel(std::floor(bounds->top)),
                 RoundToPixel(std::ceil(bounds->right)), RoundToPixel(std::ceil(bounds->bottom))});
}

std::vector<POINT> DevicePixels(const std::vector<DevicePoint>& outline)
{
    std::vector<POINT> points;
    for (const DevicePoint& p : outline) {
        points.push_back(POINT{RoundToPixel(p.x), RoundToPixel(p.y)});
    }
    return points;
}

// Clips the context, which counts in device pixels, to the outline for the
// drawing that follows; the caller has saved the state to restore.
void ClipToOutline(HDC device, const std::vector<POINT>& outline)
{
    SetPolyFillMode(device, WINDING);
    BeginPath(device);
    Polygon(device, outline.data(), static_cast<int>(outline.size()));
    EndPath(device);
    SelectClipPath(device, RGN_AND);
}

bool FitsDevice(const std::vector<DevicePoint>& outline)
{
    return std::all_of(outline.begin(), outline.end(), IsWithinDriverLimit);
}

// The pixels the images of one record's pieces may have between them, about
// an A4 page at 300 dpi. A piece's image has at most about 512 x 512 pixels
// (a channel has 256 steps), and pieces that do not overlap cover no more
// than the page; only a damaged record piles up more, its pieces past the
// budget each one pixel of the shade at its middle.
constexpr int64_t GRADIENT_PIXEL_BUDGET = int64_t{1} << 23;

// One piece as an image of its device area, limited to its shape: handed
// to the driver as a clip path where it takes one, which it writes as the
// outline's few points rather than the rectangles of a region. The image
// has one pixel where its shade needs more than allowed. Returns the
// image's pixels.
int64_t DrawPieceAsImage(HDC device, const DevicePiece& piece, int64_t allowed)
{
    const std::optional<LinearShade> shade = ShadeThrough(piece.corners);
    if (!shade || !FitsDevice(piece.outline)) {
        return 0;
    }
    const RECT area = CoveredArea(device, piece.outline);
    const PixelArea pixels = {area.left, area.top, area.right - area.left, area.bottom - area.top};
    if (pixels.width <= 0 || pixels.height <= 0) {
        return 0;
    }
    const ImageGrid needed = GridFor(*shade, pixels.width, pixels.height);
    const ImageGrid grid =
        int64_t{needed.columns} * needed.rows > allowed ? ImageGrid{1, 1} : needed;
    const Raster raster = MakeRaster(grid.columns, grid.rows);
    if (raster.dc() == nullptr) {
        return 0;
    }
    ShadeImage(*shade, pixels, grid, raster.bits, raster.stride);
    const SavedState saved(device);
    UseDevicePixels(device);
    const std::vector<POINT> outline = DevicePixels(piece.outline);
    const HandedClipPath clipPath = HandPolygonsAsClipPath(device, {outline});
    if (clipPath == nullptr) {
        ClipToOutline(device, outline);
    }
    DrawPixelRows(device, area, grid.columns, grid.rows, raster.bits);
    return int64_t{grid.columns} * grid.rows;
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
    const AffineMap map = ReadDeviceMap(device);
    int64_t left = GRADIENT_PIXEL_BUDGET;
    for (const std::vector<uint32_t>& piece : gradient->pieces) {
        left -= DrawPieceAsImage(device, MapPiece(*gradient, piece, map), left);
    }
    return true;
}
