#include "playback/backdrop.h"

#include "driver/pixel_statistics.h"
#include "driver/record_readers.h"
#include "playback/device_map.h"
#include "playback/record_guards.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
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

// The area's rows first to next.
RECT BandOf(const RECT& area, LONG first, LONG next)
{
    return RECT{area.left, area.top + first, area.right, area.top + next};
}

// The tile's pixels in bands: each run of rows of the source bitmap's
// pixels that show no finer detail than that bitmap, at its resolution,
// and the rest as they stand. A destination partly off the raster, or
// turned, stays as it stands.
std::vector<TilePiece> CutIntoPieces(const RECT& area, const std::vector<uint8_t>& pixels,
                                     const AffineMap& map, const RECT& unclipped,
                                     const std::optional<BlitSource>& source)
{
    const LONG width = area.right - area.left;
    const LONG height = area.bottom - area.top;
    const size_t rowBytes = RowBytes(width);
    const int64_t columns = source ? std::abs(int64_t{source->width}) : 0;
    const int64_t rows = source ? std::abs(int64_t{source->height}) : 0;
    if (columns == 0 || rows == 0 || columns > width || rows > height || TurnsOrShears(map) ||
        !EqualRect(&area, &unclipped)) {
        return {TilePiece{area, width, height, pixels}};
    }
    const auto sourceRows = static_cast<int32_t>(rows);
    const std::vector<std::optional<std::vector<uint8_t>>> shrunk = ShrinkBlockRows(
        pixels.data(), width, height, rowBytes, static_cast<int32_t>(columns), sourceRows);
    std::vector<TilePiece> pieces;
    size_t row = 0;
    while (row < shrunk.size()) {
        size_t end = row + 1;
        while (end < shrunk.size() && shrunk[end].has_value() == shrunk[row].has_value()) {
            ++end;
        }
        const LONG first = FirstPixelOfBlock(static_cast<int32_t>(row), height, sourceRows);
        const LONG next = FirstPixelOfBlock(static_cast<int32_t>(end), height, sourceRows);
        if (shrunk[row]) {
            std::vector<uint8_t> band;
            for (size_t r = row; r < end; ++r) {
                band.insert(band.end(), shrunk[r]->begin(), shrunk[r]->end());
            }
            pieces.push_back(TilePiece{BandOf(area, first, next), static_cast<LONG>(columns),
                                       static_cast<LONG>(end - row), std::move(band)});
        } else {
            const auto from =
                pixels.begin() + static_cast<std::ptrdiff_t>(rowBytes * static_cast<size_t>(first));
            const auto to =
                pixels.begin() + static_cast<std::ptrdiff_t>(rowBytes * static_cast<size_t>(next));
            pieces.push_back(TilePiece{BandOf(area, first, next), width, next - first,
                                       std::vector<uint8_t>(from, to)});
        }
        row = end;
    }
    return pieces;
}

// Where the blit's destination lands under the map: the box around its
// four corners.
std::optional<DeviceBounds> MapDestination(const AffineMap& map, const BlitDestination& blit)
{
    const double left = blit.x;
    const double top = blit.y;
    const double right = left + blit.width;
    const double bottom = top + blit.height;
    return BoundDevicePoints({MapPoint(map, left, top), MapPoint(map, right, top),
                              MapPoint(map, left, bottom), MapPoint(map, right, bottom)});
}

// The raster's pixels in the blit's destination, as the context maps it
// now, cut to the raster; in bands at the source bitmap's resolution where
// that loses nothing.
BackdropTile KeepDestination(HDC raster, const Capture& capture, const BlitDestination& blit,
                             const std::optional<BlitSource>& source)
{
    const AffineMap map = ReadDeviceMap(raster);
    const std::optional<DeviceBounds> bounds = MapDestination(map, blit);
    BackdropTile tile = {};
    if (!bounds) {
        return tile;
    }
    const double wide = capture.width;
    const double high = capture.height;
    const RECT area = {RoundToPixel(std::clamp(bounds->left, 0.0, wide)),
                       RoundToPixel(std::clamp(bounds->top, 0.0, high)),
                       RoundToPixel(std::clamp(bounds->right, 0.0, wide)),
                       RoundToPixel(std::clamp(bounds->bottom, 0.0, high))};
    const LONG width = area.right - area.left;
    const LONG height = area.bottom - area.top;
    if (width <= 0 || height <= 0) {
        return tile;
    }
    tile.area = area;
    const size_t rowBytes = RowBytes(width);
    std::vector<uint8_t> pixels(rowBytes * static_cast<size_t>(height), 0);
    for (LONG y = 0; y < height; ++y) {
        const uint8_t* from = capture.bits +
                              static_cast<size_t>(area.top + y) * RowBytes(capture.width) +
                              static_cast<size_t>(area.left) * RASTER_BYTES_PER_PIXEL;
        std::copy(from, from + static_cast<size_t>(width) * RASTER_BYTES_PER_PIXEL,
                  pixels.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(y) * rowBytes));
    }
    const RECT unclipped = {RoundToPixel(bounds->left), RoundToPixel(bounds->top),
                            RoundToPixel(bounds->right), RoundToPixel(bounds->bottom)};
    tile.pieces = CutIntoPieces(area, pixels, map, unclipped, source);
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
        capture->tiles[offset] =
            KeepDestination(raster, *capture, *blit, ReadBlitSource(bytes, record->nSize));
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
    if (tile.pieces.empty()) {
        return;
    }
    const SavedState saved(device);
    UseDevicePixels(device);
    for (const TilePiece& piece : tile.pieces) {
        DrawPixelRows(device, piece.area, piece.width, piece.height, piece.pixels.data());
    }
}
