#include "draw_picture.h"

#include "driver/inspection.h"
#include "gdi_owners.h"
#include "gdiplus_picture.h"
#include "metafile/dib_layout.h"
#include "playback/faithful_playback.h"
#include "playback/record_guards.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace {

static_assert(sizeof(BITMAP) == (sizeof(void*) == 8 ? 32 : 24),
              "BITMAP: 24 bytes on 32-bit Windows, 32 on 64-bit");

struct Placed {
    PlacementRect placement;
    BoundingBox box;
};

DrawnBox Drawn(const BoundingBox& box)
{
    return {JobStatus::DONE, box};
}

DrawnBox NotDrawn(JobStatus status)
{
    return {status, BoundingBox{}};
}

// Where a picture of this natural size goes, and the box that encloses it.
Placed PlacePicture(const DeviceMetrics& metrics, int32_t width, int32_t height)
{
    const PlacementRect placement = ComputePlacement(metrics, width, height);
    return {placement, ComputeBoundingBox(metrics, placement)};
}

bool HasArea(const DeviceRect& area)
{
    return area.right > area.left && area.bottom > area.top;
}

// The device area the box lets drawing into; none when the box encloses
// nothing, as a box with lly above ury does (an inverted frame gives one).
std::optional<DeviceRect> ComputeBoxArea(const PageGeometry& page, const BoundingBox& box)
{
    const DeviceRect area = ComputeClipRect(page.metrics, page.resolution, box);
    return HasArea(area) ? std::optional<DeviceRect>(area) : std::nullopt;
}

// Limits every later drawing on the device to the box's area. The limit is
// the device's meta region, which a metafile's own clipping, set or reset,
// can only narrow. An area of none clips everything away: the platform
// would turn an inverted rectangle the right way up, into a band above or
// beside the page.
bool ClipToArea(HDC device, const std::optional<DeviceRect>& area)
{
    const DeviceRect rect = area.value_or(DeviceRect{0, 0, 0, 0});
    const GdiObject<HRGN> region(CreateRectRgn(rect.left, rect.top, rect.right, rect.bottom));
    if (region == nullptr) {
        return false;
    }
    return SelectClipRgn(device, region.get()) != ERROR && SetMetaRgn(device) != ERROR;
}

JobStatus StatusOf(InspectionRefusal refusal)
{
    switch (refusal) {
        case InspectionRefusal::REFUSED_NONE:
            return JobStatus::DONE;
        case InspectionRefusal::NO_HEADER:
            return JobStatus::NO_METAFILE_HEADER;
        case InspectionRefusal::HEADER_NOT_PLAUSIBLE:
            return JobStatus::METAFILE_HEADER_NOT_PLAUSIBLE;
        case InspectionRefusal::CHAIN_BROKEN:
            return JobStatus::RECORD_CHAIN_BROKEN;
    }
    return JobStatus::RECORD_CHAIN_BROKEN;
}

// One metafile inspected for the device, and how its records are played
// there: the device's blending capabilities, and a backdrop only when a
// record needs one.
FaithfulPlayback PreparePlayback(HDC device, HENHMETAFILE metafile,
                                 const MetafileInspection& inspection, uint32_t shadeBlendCaps,
                                 const RECT& target)
{
    FaithfulPlayback playback{shadeBlendCaps,
                              {},
                              nullptr,
                              false,
                              DefinedPlayback{inspection.header.reference, {}},
                              StartWrittenClip(device),
                              {}};
    if (!inspection.backdropBlits.empty()) {
        playback.backdrop = MakeBackdrop(device, metafile, inspection, target);
    }
    return playback;
}

// The state of one playback on the device.
struct Playing {
    const MetafileInspection& inspection;
    FaithfulPlayback playback;
};

// Hands each record the guards let play on the printer to the faithful
// player and skips the others, so that the rest of the picture still
// prints. The first record the enumeration hands over is the header, at the
// metafile's start.
int CALLBACK PlayInspectedRecord(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                                 int handleCount, LPARAM data)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(record);
    auto* playing = reinterpret_cast<Playing*>(data);
    FaithfulPlayback& playback = playing->playback;
    playback.metafileStart = playback.metafileStart == nullptr ? bytes : playback.metafileStart;
    if (MayPlayOn(device, PRINTER_REACH, playing->inspection,
                  static_cast<size_t>(bytes - playback.metafileStart), record)) {
        PlayRecordFaithfully(device, table, record, static_cast<UINT>(handleCount), playback);
    }
    return TRUE;
}

// Plays the records of the metafile, inspected for the device, into target.
void PlayMetafile(HDC device, HENHMETAFILE metafile, const MetafileInspection& inspection,
                  uint32_t shadeBlendCaps, const RECT& target)
{
    Playing playing{inspection,
                    PreparePlayback(device, metafile, inspection, shadeBlendCaps, target)};
    EnumEnhMetaFile(device, metafile, PlayInspectedRecord, &playing, &target);
    FinishPlayback(device, playing.playback);
}

// Plays what GDI+ recorded, inspected like any metafile and its alpha
// blends restored on the way; false when it does not hold together or the
// platform cannot hold it.
bool PlayRecording(HDC device, std::vector<uint8_t> recorded, uint32_t shadeBlendCaps,
                   const RECT& target)
{
    const InspectedRecording recording = InspectRecording(std::move(recorded), shadeBlendCaps);
    if (recording.inspection.refusal != InspectionRefusal::REFUSED_NONE) {
        return false;
    }
    const std::vector<uint8_t>& bytes = recording.bytes;
    const EnhMetafile metafile(SetEnhMetaFileBits(static_cast<UINT>(bytes.size()), bytes.data()));
    if (metafile == nullptr) {
        return false;
    }
    PlayMetafile(device, metafile.get(), recording.inspection, shadeBlendCaps, target);
    return true;
}

// The picture of the metafile's EMF+ records: GDI+ draws it onto a metafile
// recorded against the device, which is played like any metafile, so that
// the driver is handed nothing it draws wrong. Then, unless the metafile
// also carries a GDI rendering of its whole picture or holds nothing but
// comments, its own GDI records are played over it: the text that some
// programs write in GDI records alone. Nothing is drawn, and false
// returned, when GDI+ cannot draw it.
bool DrawThroughGdiPlus(HDC device, HENHMETAFILE metafile, const MetafileInspection& inspection,
                        uint32_t shadeBlendCaps, const RECT& target)
{
    GdiPlusDrawing drawing = RecordThroughGdiPlus(device, metafile, target);
    if (drawing.recorded.empty() ||
        !PlayRecording(device, std::move(drawing.recorded), shadeBlendCaps, target)) {
        return false;
    }
    if (!drawing.dual && !inspection.onlyComments) {
        PlayMetafile(device, metafile, inspection, shadeBlendCaps, target);
    }
    return true;
}

// Inspect, place, clip, choose, play. A metafile's natural size is its
// frame, in hundredths of a millimetre. Where its picture lives in its EMF+
// records, GDI+ draws them; otherwise, or when GDI+ cannot, the platform
// plays its GDI records.
DrawnBox DrawMetafile(HDC device, const PageGeometry& page, HENHMETAFILE metafile)
{
    const auto shadeBlendCaps = static_cast<uint32_t>(GetDeviceCaps(device, SHADEBLENDCAPS));
    const std::vector<uint8_t> bytes = ReadMetafileBytes(metafile);
    const MetafileInspection inspection =
        InspectMetafile(bytes.data(), bytes.size(), shadeBlendCaps);
    if (inspection.refusal != InspectionRefusal::REFUSED_NONE) {
        return NotDrawn(StatusOf(inspection.refusal));
    }
    const MetafileFrame& frame = inspection.frame;
    const Placed placed =
        PlacePicture(page.metrics, frame.right - frame.left, frame.bottom - frame.top);
    const std::optional<DeviceRect> area = ComputeBoxArea(page, placed.box);
    if (!ClipToArea(device, area)) {
        return NotDrawn(JobStatus::NOT_CLIPPED);
    }
    if (!area) {
        // Nothing can land inside the box: no backdrop is made, nothing played.
        return Drawn(placed.box);
    }
    const RECT target = {0, 0, placed.placement.right, placed.placement.bottom};
    const bool throughGdiPlus =
        inspection.renderer == PictureRenderer::GDI_PLUS &&
        DrawThroughGdiPlus(device, metafile, inspection, shadeBlendCaps, target);
    if (!throughGdiPlus) {
        PlayMetafile(device, metafile, inspection, shadeBlendCaps, target);
    }
    return Drawn(placed.box);
}

// Stretches the bitmap over its placement through a memory device context.
// A bitmap whose description cannot be read counts as 0 x 0.
DrawnBox DrawBitmap(HDC device, const PageGeometry& page, HBITMAP bitmap)
{
    const MemoryDc memory(CreateCompatibleDC(device));
    if (memory == nullptr) {
        return NotDrawn(JobStatus::NO_MEMORY_CONTEXT);
    }
    const Selection selected = Select(memory.get(), bitmap);
    BITMAP description = {};
    GetObjectA(bitmap, sizeof description, &description);
    const Placed placed = PlacePicture(page.metrics, description.bmWidth, description.bmHeight);
    const bool clipped = ClipToArea(device, ComputeBoxArea(page, placed.box));
    if (clipped) {
        StretchBlt(device, 0, 0, placed.placement.right, placed.placement.bottom, memory.get(), 0,
                   0, description.bmWidth, description.bmHeight, SRCCOPY);
    }
    return clipped ? Drawn(placed.box) : NotDrawn(JobStatus::NOT_CLIPPED);
}

// The DIB is checked against its block before the platform reads it.
DrawnBox DrawPackedDib(HDC device, const PageGeometry& page, const BITMAPINFO* dib, size_t dibSize)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(dib);
    const std::optional<DibLayout> layout = ComputeDibLayout(bytes, dibSize);
    if (!layout) {
        return NotDrawn(JobStatus::DIB_REFUSED_BY_LAYOUT);
    }
    const GdiObject<HBITMAP> bitmap(CreateDIBitmap(
        device, &dib->bmiHeader, CBM_INIT, bytes + layout->pixelOffset, dib, DIB_RGB_COLORS));
    if (bitmap == nullptr) {
        return NotDrawn(JobStatus::DIB_REFUSED_BY_PLATFORM);
    }
    return DrawBitmap(device, page, bitmap.get());
}

}  // namespace

DrawnBox DrawPicture(HDC device, const PageGeometry& page, const SourceImage& image)
{
    // The clipping the drawing sets goes with the saved state.
    const SavedState saved(device);
    DrawnBox drawn{};
    if (image.metafile != nullptr) {
        drawn = DrawMetafile(device, page, image.metafile);
    } else if (image.packedDib != nullptr) {
        drawn = DrawPackedDib(device, page, image.packedDib, image.packedDibSize);
    } else {
        drawn = DrawBitmap(device, page, image.bitmap);
    }
    return drawn;
}
