#include "draw_picture.h"

#include "dib_layout.h"

#include <cstddef>
#include <cstdint>

namespace {

// The metafile header as the 100 bytes before the later micrometre size.
constexpr UINT METAFILE_HEADER_SIZE = 100;

static_assert(offsetof(ENHMETAHEADER, szlMicrometers) == METAFILE_HEADER_SIZE,
              "the header read stops before the micrometre size");
static_assert(sizeof(BITMAP) == (sizeof(void*) == 8 ? 32 : 24),
              "BITMAP: 24 bytes on 32-bit Windows, 32 on 64-bit");

struct Placed {
    PlacementRect placement;
    BoundingBox box;
};

// Where a picture of this natural size goes, and the box that encloses it.
Placed PlacePicture(const DeviceMetrics& metrics, int32_t width, int32_t height)
{
    const PlacementRect placement = ComputePlacement(metrics, width, height);
    return {placement, ComputeBoundingBox(metrics, placement)};
}

// A metafile's natural size is its frame, in hundredths of a millimetre.
std::optional<BoundingBox> DrawMetafile(HDC device, const DeviceMetrics& metrics,
                                        HENHMETAFILE metafile)
{
    ENHMETAHEADER header = {};
    if (GetEnhMetaFileHeader(metafile, METAFILE_HEADER_SIZE, &header) == 0) {
        return std::nullopt;
    }
    const RECTL& frame = header.rclFrame;
    const Placed placed = PlacePicture(metrics, frame.right - frame.left, frame.bottom - frame.top);
    const RECT target = {0, 0, placed.placement.right, placed.placement.bottom};
    PlayEnhMetaFile(device, metafile, &target);
    return placed.box;
}

// Stretches the bitmap over its placement through a memory device context.
// A bitmap whose description cannot be read counts as 0 x 0.
std::optional<BoundingBox> DrawBitmap(HDC device, const DeviceMetrics& metrics, HBITMAP bitmap)
{
    HDC memory = CreateCompatibleDC(device);
    if (memory == nullptr) {
        return std::nullopt;
    }
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BITMAP description = {};
    GetObjectA(bitmap, sizeof description, &description);
    const Placed placed = PlacePicture(metrics, description.bmWidth, description.bmHeight);
    StretchBlt(device, 0, 0, placed.placement.right, placed.placement.bottom, memory, 0, 0,
               description.bmWidth, description.bmHeight, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    return placed.box;
}

// The DIB is checked against its block before the platform reads it.
std::optional<BoundingBox> DrawPackedDib(HDC device, const DeviceMetrics& metrics,
                                         const BITMAPINFO* dib, size_t dibSize)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(dib);
    DibLayout layout{};
    if (!ComputeDibLayout(bytes, dibSize, layout)) {
        return std::nullopt;
    }
    HBITMAP bitmap = CreateDIBitmap(device, &dib->bmiHeader, CBM_INIT, bytes + layout.pixelOffset,
                                    dib, DIB_RGB_COLORS);
    if (bitmap == nullptr) {
        return std::nullopt;
    }
    const std::optional<BoundingBox> box = DrawBitmap(device, metrics, bitmap);
    DeleteObject(bitmap);
    return box;
}

}  // namespace

std::optional<BoundingBox> DrawPicture(HDC device, const DeviceMetrics& metrics,
                                       const SourceImage& image)
{
    if (image.metafile != nullptr) {
        return DrawMetafile(device, metrics, image.metafile);
    }
    if (image.packedDib != nullptr) {
        return DrawPackedDib(device, metrics, image.packedDib, image.packedDibSize);
    }
    return DrawBitmap(device, metrics, image.bitmap);
}
