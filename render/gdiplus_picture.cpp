#include "gdiplus_picture.h"

#include "gdi_owners.h"

#include <gdiplus.h>

#include <cstdint>
#include <vector>

namespace {

namespace gp = Gdiplus;
namespace flat = Gdiplus::DllExports;

constexpr int HUNDREDTHS_PER_MILLIMETRE = 100;

// The process's GDI+ token; 0 while GDI+ is not started.
ULONG_PTR gdiPlusToken = 0;

// Target, in device pixels, as a recording frame in hundredths of a
// millimetre, by the device's own size in millimetres and in pixels: the
// measures the recording's header keeps and its playback maps back by.
RECT FrameOfTarget(HDC device, const RECT& target)
{
    const int wide = GetDeviceCaps(device, HORZSIZE) * HUNDREDTHS_PER_MILLIMETRE;
    const int high = GetDeviceCaps(device, VERTSIZE) * HUNDREDTHS_PER_MILLIMETRE;
    return {0, 0, MulDiv(target.right, wide, GetDeviceCaps(device, HORZRES)),
            MulDiv(target.bottom, high, GetDeviceCaps(device, VERTRES))};
}

// What GDI+ is handed of the picture: its EMF+ records, and in a dual
// metafile its GDI records too, of which GDI+ plays those after an EMF+
// GetDC record and leaves the GDI rendering of the whole picture.
struct Handed {
    gp::GpMetafile* picture;
    bool gdiRecords;
};

BOOL CALLBACK HandRecord(gp::EmfPlusRecordType type, UINT flags, UINT dataSize, const BYTE* data,
                         VOID* handed)
{
    const auto* to = static_cast<const Handed*>(handed);
    if (type >= gp::EmfPlusRecordTypeMin || to->gdiRecords) {
        flat::GdipPlayMetafileRecord(to->picture, type, flags, dataSize, data);
    }
    return TRUE;
}

// GDI+ on the recorder, in its pixels, plays the picture into target.
bool DrawEmfPlusRecords(HDC recorder, const Handed& handed, const RECT& target)
{
    gp::GpGraphics* graphics = nullptr;
    if (flat::GdipCreateFromHDC(recorder, &graphics) != gp::Ok) {
        return false;
    }
    const gp::Rect destination(0, 0, target.right, target.bottom);
    Handed playing = handed;  // GDI+ hands its callback writable data
    const bool drawn =
        flat::GdipSetPageUnit(graphics, gp::UnitPixel) == gp::Ok &&
        flat::GdipEnumerateMetafileDestRectI(graphics, handed.picture, destination, HandRecord,
                                             &playing, nullptr) == gp::Ok;
    flat::GdipDeleteGraphics(graphics);
    return drawn;
}

std::vector<uint8_t> RecordEmfPlusRecords(HDC device, const Handed& handed, const RECT& target)
{
    const RECT frame = FrameOfTarget(device, target);
    HDC recorder = CreateEnhMetaFileA(device, nullptr, &frame, nullptr);
    if (recorder == nullptr) {
        return {};
    }
    const bool drawn = DrawEmfPlusRecords(recorder, handed, target);
    const EnhMetafile recorded(CloseEnhMetaFile(recorder));
    if (recorded == nullptr) {
        return {};
    }
    return drawn ? ReadMetafileBytes(recorded.get()) : std::vector<uint8_t>{};
}

bool IsDual(gp::GpMetafile* picture)
{
    gp::MetafileHeader header{};
    return flat::GdipGetMetafileHeaderFromMetafile(picture, &header) == gp::Ok &&
           header.Type == gp::MetafileTypeEmfPlusDual;
}

}  // namespace

bool StartGdiPlus()
{
    if (gdiPlusToken != 0) {
        return true;
    }
    const gp::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (gp::GdiplusStartup(&token, &input, nullptr) != gp::Ok) {
        return false;
    }
    gdiPlusToken = token;
    return true;
}

void StopGdiPlus()
{
    if (gdiPlusToken != 0) {
        gp::GdiplusShutdown(gdiPlusToken);
        gdiPlusToken = 0;
    }
}

GdiPlusDrawing RecordThroughGdiPlus(HDC device, HENHMETAFILE metafile, const RECT& target)
{
    // The metafile stays the caller's: GDI+ is told not to delete it.
    gp::GpMetafile* picture = nullptr;
    if (gdiPlusToken == 0 || flat::GdipCreateMetafileFromEmf(metafile, FALSE, &picture) != gp::Ok) {
        return {{}, false};
    }
    const bool dual = IsDual(picture);
    const GdiPlusDrawing drawing = {RecordEmfPlusRecords(device, {picture, dual}, target), dual};
    flat::GdipDisposeImage(picture);
    return drawing;
}

std::vector<uint8_t> ReadMetafileBytes(HENHMETAFILE metafile)
{
    const UINT size = GetEnhMetaFileBits(metafile, 0, nullptr);
    std::vector<uint8_t> bytes(size);
    if (size == 0 || GetEnhMetaFileBits(metafile, size, bytes.data()) != size) {
        return {};
    }
    return bytes;
}
