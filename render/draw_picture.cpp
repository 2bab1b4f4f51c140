#include "draw_picture.h"

#include "driver/record_readers.h"
#include "gdi_owners.h"
#include "gdiplus_picture.h"
#include "metafile/dib_layout.h"
#include "metafile/emf_plus.h"
#include "metafile/emf_records.h"
#include "playback/faithful_playback.h"

#include <cstddef>
#include <cstdint>
#include <vector>

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

// Limits every later drawing on the device to the box's area. The limit is
// the device's meta region, which a metafile's own clipping, set or reset,
// can only narrow.
bool ClipToBox(HDC device, const PageGeometry& page, const BoundingBox& box)
{
    const DeviceRect area = ComputeClipRect(page.metrics, page.resolution, box);
    const GdiObject<HRGN> region(CreateRectRgn(area.left, area.top, area.right, area.bottom));
    if (region == nullptr) {
        return false;
    }
    return SelectClipRgn(device, region.get()) != ERROR && SetMetaRgn(device) != ERROR;
}

// A copy of the metafile's bytes when its header and record chain hold
// together, and none otherwise: the platform's enumeration walks the
// records by their sizes and must never be led past the end.
std::vector<uint8_t> ReadIntactRecords(HENHMETAFILE metafile)
{
    const UINT size = GetEnhMetaFileBits(metafile, 0, nullptr);
    if (size == 0) {
        return {};
    }
    std::vector<uint8_t> bytes(size);
    MetafileHeader header{};
    if (GetEnhMetaFileBits(metafile, size, bytes.data()) != size ||
        !ReadMetafileHeader(bytes.data(), bytes.size(), header) ||
        !IsRecordChainIntact(bytes.data(), header.size)) {
        return {};
    }
    bytes.resize(header.size);
    return bytes;
}

// How the picture is played on this device: the device's blending
// capabilities, and a backdrop only when a record needs one.
FaithfulPlayback PreparePlayback(HDC device, HENHMETAFILE metafile,
                                 const std::vector<uint8_t>& bytes, const RECT& target)
{
    const auto caps = static_cast<uint32_t>(GetDeviceCaps(device, SHADEBLENDCAPS));
    FaithfulPlayback playback{caps, {}, 0, false};
    if (NeedsBackdrop(bytes.data(), bytes.size(), caps)) {
        playback.backdrop = MakeBackdrop(metafile, target, caps);
    }
    return playback;
}

// The state of one playback on the device.
struct Playing {
    uint32_t saveDepth;  // the states the metafile itself has saved
    FaithfulPlayback playback;
};

// Hands each record the check passes to the faithful player and skips the
// others, so that the rest of the picture still prints. The save depth
// keeps the metafile from restoring any state but its own.
int CALLBACK PlaySafeRecord(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                            int handleCount, LPARAM data)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(record);
    auto* playing = reinterpret_cast<Playing*>(data);
    if (!IsRecordSafe(bytes, record->nSize, static_cast<uint32_t>(handleCount))) {
        return TRUE;
    }
    const std::optional<uint32_t> depthAfter = SaveDepthAfter(bytes, playing->saveDepth);
    if (depthAfter) {
        playing->saveDepth = *depthAfter;
        PlayRecordFaithfully(device, table, record, static_cast<UINT>(handleCount),
                             playing->playback);
    }
    return TRUE;
}

// Plays the records of the metafile, whose bytes are these, into target on
// the device, each record checked and played faithfully.
void PlayMetafile(HDC device, HENHMETAFILE metafile, const std::vector<uint8_t>& bytes,
                  const RECT& target)
{
    Playing playing{0, PreparePlayback(device, metafile, bytes, target)};
    EnumEnhMetaFile(device, metafile, PlaySafeRecord, &playing, &target);
}

// Whether the metafile's records hold together, and then they are played.
bool PlayIntactMetafile(HDC device, HENHMETAFILE metafile, const RECT& target)
{
    const std::vector<uint8_t> bytes = ReadIntactRecords(metafile);
    if (bytes.empty()) {
        return false;
    }
    PlayMetafile(device, metafile, bytes, target);
    return true;
}

// The picture of the metafile's EMF+ records: GDI+ draws it onto a metafile
// recorded against the device, which is played like any metafile, so that
// the driver is handed nothing it draws wrong. Then, unless the metafile
// also carries a GDI rendering of its whole picture, its own GDI records
// are played over it: the text that some programs write in GDI records
// alone. Nothing is drawn, and false returned, when GDI+ cannot draw it.
bool DrawThroughGdiPlus(HDC device, HENHMETAFILE metafile, const std::vector<uint8_t>& bytes,
                        const RECT& target)
{
    const GdiPlusDrawing drawing = RecordThroughGdiPlus(device, metafile, target);
    if (drawing.recorded == nullptr) {
        return false;
    }
    const bool played = PlayIntactMetafile(device, drawing.recorded, target);
    DeleteEnhMetaFile(drawing.recorded);
    if (played && !drawing.dual) {
        PlayMetafile(device, metafile, bytes, target);
    }
    return played;
}

// A metafile's natural size is its frame, in hundredths of a millimetre.
// Where its picture lives in its EMF+ records, GDI+ draws them; otherwise,
// or when GDI+ cannot, the platform plays its GDI records.
std::optional<BoundingBox> DrawMetafile(HDC device, const PageGeometry& page, HENHMETAFILE metafile)
{
    ENHMETAHEADER header = {};
    if (GetEnhMetaFileHeader(metafile, METAFILE_HEADER_SIZE, &header) == 0) {
        return std::nullopt;
    }
    const std::vector<uint8_t> bytes = ReadIntactRecords(metafile);
    if (bytes.empty()) {
        return std::nullopt;
    }
    const RECTL& frame = header.rclFrame;
    const Placed placed =
        PlacePicture(page.metrics, frame.right - frame.left, frame.bottom - frame.top);
    if (!ClipToBox(device, page, placed.box)) {
        return std::nullopt;
    }
    const RECT target = {0, 0, placed.placement.right, placed.placement.bottom};
    const bool throughGdiPlus =
        ChooseRenderer(bytes.data(), bytes.size()) == PictureRenderer::GDI_PLUS &&
        DrawThroughGdiPlus(device, metafile, bytes, target);
    if (!throughGdiPlus) {
        PlayMetafile(device, metafile, bytes, target);
    }
    return placed.box;
}

// Stretches the bitmap over its placement through a memory device context.
// A bitmap whose description cannot be read counts as 0 x 0.
std::optional<BoundingBox> DrawBitmap(HDC device, const PageGeometry& page, HBITMAP bitmap)
{
    const MemoryDc memory(CreateCompatibleDC(device));
    if (memory == nullptr) {
        return std::nullopt;
    }
    const Selection selected = Select(memory.get(), bitmap);
    BITMAP description = {};
    GetObjectA(bitmap, sizeof description, &description);
    const Placed placed = PlacePicture(page.metrics, description.bmWidth, description.bmHeight);
    const bool clipped = ClipToBox(device, page, placed.box);
    if (clipped) {
        StretchBlt(device, 0, 0, placed.placement.right, placed.placement.bottom, memory.get(), 0,
                   0, description.bmWidth, description.bmHeight, SRCCOPY);
    }
    return clipped ? std::optional<BoundingBox>(placed.box) : std::nullopt;
}

// The DIB is checked against its block before the platform reads it.
std::optional<BoundingBox> DrawPackedDib(HDC device, const PageGeometry& page,
                                         const BITMAPINFO* dib, size_t dibSize)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(dib);
    DibLayout layout{};
    if (!ComputeDibLayout(bytes, dibSize, layout)) {
        return std::nullopt;
    }
    const GdiObject<HBITMAP> bitmap(CreateDIBitmap(
        device, &dib->bmiHeader, CBM_INIT, bytes + layout.pixelOffset, dib, DIB_RGB_COLORS));
    if (bitmap == nullptr) {
        return std::nullopt;
    }
    return DrawBitmap(device, page, bitmap.get());
}

}  // namespace

std::optional<BoundingBox> DrawPicture(HDC device, const PageGeometry& page,
                                       const SourceImage& image)
{
    // The clipping the drawing sets goes with the saved state.
    const SavedState saved(device);
    std::optional<BoundingBox> box;
    if (image.metafile != nullptr) {
        box = DrawMetafile(device, page, image.metafile);
    } else if (image.packedDib != nullptr) {
        box = DrawPackedDib(device, page, image.packedDib, image.packedDibSize);
    } else {
        box = DrawBitmap(device, page, image.bitmap);
    }
    return box;
}
