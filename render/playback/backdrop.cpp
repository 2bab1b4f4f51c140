#include "playback/backdrop.h"

#include "driver/record_readers.h"
#include "playback/device_map.h"
#include "playback/record_guards.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

struct Capture {
    const uint8_t* bits;  // the raster's rows
    size_t stride;
    LONG width;
    LONG height;
    const MetafileInspection& inspection;
    const uint8_t* metafileStart;  // the header record as the enumeration hands it
    BackdropTiles tiles;
};

// The raster's pixels in the blit's destination, as the context maps it
// now, cut to the raster.
BackdropTile KeepDestination(HDC raster, const Capture& capture, const BlitDestination& blit)
{
    const AffineMap map = ReadDeviceMap(raster);
    double left = INFINITY;
    double top = INFINITY;
    double right = -INFINITY;
    double bottom = -INFINITY;
    const double xs[] = {static_cast<double>(blit.x), static_cast<double>(blit.x) + blit.width};
    const double ys[] = {static_cast<double>(blit.y), static_cast<double>(blit.y) + blit.height};
    for (double x : xs) {
        for (double y : ys) {
            const DevicePoint p = MapPoint(map, x, y);
            left = std::min(left, p.x);
            top = std::min(top, p.y);
            right = std::max(right, p.x);
            bottom = std::max(bottom, p.y);
        }
    }
    BackdropTile tile = {};
    if (!(std::isfinite(left) && std::isfinite(top) && std::isfinite(right) &&
          std::isfinite(bottom))) {
        return tile;
    }
    const RECT area = {RoundToPixel(std::clamp(left, 0.0, static_cast<double>(capture.width))),
                       RoundToPixel(std::clamp(top, 0.0, static_cast<double>(capture.height))),
                       RoundToPixel(std::clamp(right, 0.0, static_cast<double>(capture.width))),
                       RoundToPixel(std::clamp(bottom, 0.0, static_cast<double>(capture.height)))};
    const LONG width = area.right - area.left;
    const LONG height = area.bottom - area.top;
    if (width <= 0 || height <= 0) {
        return tile;
    }
    tile.area = area;
    tile.info = TopDownInfo(width, height);
    const size_t rowBytes = RowBytes(width);
    tile.pixels.assign(rowBytes * static_cast<size_t>(height), 0);
    for (LONG y = 0; y < height; ++y) {
        const uint8_t* from = capture.bits +
                              static_cast<size_t>(area.top + y) * RowBytes(capture.width) +
                              static_cast<size_t>(area.left) * RASTER_BYTES_PER_PIXEL;
        std::copy(
            from, from + static_cast<size_t>(width) * RASTER_BYTES_PER_PIXEL,
            tile.pixels.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(y) * rowBytes));
    }
    return tile;
}

// Plays each record the guards let play on a raster, as the job's playback
// on the device does with the printer's, and keeps the destination of
// every blit the inspection names.
int CALLBACK PlayOntoRaster(HDC raster, HANDLETABLE* table, const ENHMETARECORD* record,
                            int handleCount, LPARAM data)
{
    auto* capture = reinterpret_cast<Capture*>(data);
    const auto* bytes = reinterpret_cast<const uint8_t*>(record);
    capture->metafileStart = capture->metafileStart == nullptr ? bytes : capture->metafileStart;
    const auto offset = static_cast<size_t>(bytes - capture->metafileStart);
    if (!MayPlayOn(raster, RASTER_REACH, capture->inspection, offset, record)) {
        return TRUE;
    }
    PlayEnhMetaFileRecord(raster, table, record, static_cast<UINT>(handleCount));
    if (const std::optional<BlitDestination> blit = FindBackdropBlit(capture->inspection, offset)) {
        GdiFlush();
        capture->tiles[offset] = KeepDestination(raster, *capture, *blit);
    }
    return TRUE;
}

// The part of the target the device lets drawing into: inside its clipping
// and its printable area.
RECT FindCoveredArea(HDC device, const RECT& target)
{
    RECT clip = {};
    if (GetClipBox(device, &clip) == ERROR) {
        return RECT{};
    }
    RECT covered = {};
    IntersectRect(&covered, &clip, &target);
    return CutToPage(device, covered);
}

}  // namespace

BackdropTiles MakeBackdrop(HDC device, HENHMETAFILE metafile, const MetafileInspection& inspection,
                           const RECT& target)
{
    const RECT covered = FindCoveredArea(device, target);
    if (IsRectEmpty(&covered)) {
        return {};
    }
    const LONG width = covered.right;
    const LONG height = covered.bottom;
    const Raster raster = MakeRaster(width, height);
    if (raster.dc() == nullptr) {
        return {};
    }
    const RECT whole = {0, 0, width, height};
    FillRect(raster.dc(), &whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    Capture capture{raster.bits, raster.stride, width, height, inspection, nullptr, {}};
    EnumEnhMetaFile(raster.dc(), metafile, PlayOntoRaster, &capture, &target);
    return std::move(capture.tiles);
}

void DrawBackdropTile(HDC device, const BackdropTile& tile)
{
    const LONG width = tile.area.right - tile.area.left;
    const LONG height = tile.area.bottom - tile.area.top;
    if (width <= 0 || height <= 0) {
        return;
    }
    const SavedState saved(device);
    UseDevicePixels(device);
    StretchDIBits(device, tile.area.left, tile.area.top, width, height, 0, 0, width, height,
                  tile.pixels.data(), &tile.info, DIB_RGB_COLORS, SRCCOPY);
}
