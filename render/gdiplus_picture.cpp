#include "gdiplus_picture.h"

#include <gdiplus.h>

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

// Hands GDI+ the EMF+ records alone. The metafile's GDI records are the
// caller's: GDI+ plays them only after an EMF+ GetDC record, so that text
// a program wrote in GDI records alone would be lost.
BOOL CALLBACK PlayEmfPlusRecord(gp::EmfPlusRecordType type, UINT flags, UINT dataSize,
                                const BYTE* data, VOID* picture)
{
    if (type >= gp::EmfPlusRecordTypeMin) {
        flat::GdipPlayMetafileRecord(static_cast<gp::GpMetafile*>(picture), type, flags, dataSize,
                                     data);
    }
    return TRUE;
}

// GDI+ on the recorder, in its pixels, plays the picture's EMF+ records
// into target.
bool DrawEmfPlusRecords(HDC recorder, gp::GpMetafile* picture, const RECT& target)
{
    gp::GpGraphics* graphics = nullptr;
    if (flat::GdipCreateFromHDC(recorder, &graphics) != gp::Ok) {
        return false;
    }
    const gp::Rect destination(0, 0, target.right, target.bottom);
    const bool drawn =
        flat::GdipSetPageUnit(graphics, gp::UnitPixel) == gp::Ok &&
        flat::GdipEnumerateMetafileDestRectI(graphics, picture, destination, PlayEmfPlusRecord,
                                             picture, nullptr) == gp::Ok;
    flat::GdipDeleteGraphics(graphics);
    return drawn;
}

HENHMETAFILE RecordEmfPlusRecords(HDC device, gp::GpMetafile* picture, const RECT& target)
{
    const RECT frame = FrameOfTarget(device, target);
    HDC recorder = CreateEnhMetaFileA(device, nullptr, &frame, nullptr);
    if (recorder == nullptr) {
        return nullptr;
    }
    const bool drawn = DrawEmfPlusRecords(recorder, picture, target);
    HENHMETAFILE recorded = CloseEnhMetaFile(recorder);
    if (!drawn && recorded != nullptr) {
        DeleteEnhMetaFile(recorded);
        return nullptr;
    }
    return recorded;
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
        return {nullptr, false};
    }
    const GdiPlusDrawing drawing = {RecordEmfPlusRecords(device, picture, target), IsDual(picture)};
    flat::GdipDisposeImage(picture);
    return drawing;
}
