#include "raster_reference.h"

#include "metafile/emf_records.h"
#include "playback/defined_playback.h"
#include "playback/device_map.h"

namespace {

constexpr LONG HUNDREDTHS_PER_MILLIMETRE = 100;

LONG ToScreenPixels(LONG hundredths, int pixels, int millimetres)
{
    return static_cast<LONG>(static_cast<long long>(hundredths) * pixels /
                             (static_cast<long long>(millimetres) * HUNDREDTHS_PER_MILLIMETRE));
}

// Plays each record as the platform defines it when it passes the record
// check, as the job does, and as the player reads it otherwise.
int CALLBACK PlayAsDefined(HDC device, HANDLETABLE* table, const ENHMETARECORD* record,
                           int handleCount, LPARAM data)
{
    auto* playback = reinterpret_cast<DefinedPlayback*>(data);
    const auto count = static_cast<UINT>(handleCount);
    if (IsRecordSafe(reinterpret_cast<const uint8_t*>(record), record->nSize, count)) {
        PlayRecordAsDefined(device, table, record, count, *playback);
    } else {
        PlayEnhMetaFileRecord(device, table, record, count);
    }
    return TRUE;
}

}  // namespace

void PlayMetafileAsDefined(HDC device, HENHMETAFILE metafile, const RECT& target)
{
    ENHMETAHEADER header = {};
    GetEnhMetaFileHeader(metafile, sizeof header, &header);
    DefinedPlayback playback{{header.szlDevice.cx, header.szlDevice.cy, header.szlMillimeters.cx,
                              header.szlMillimeters.cy},
                             {}};
    EnumEnhMetaFile(device, metafile, PlayAsDefined, &playback, &target);
}

GrayImage PaintOnWhite(int32_t width, int32_t height,
                       const std::function<void(HDC raster, const RECT& whole)>& draw)
{
    const Raster raster = MakeRaster(width, height);
    if (raster.dc() == nullptr) {
        return GrayImage{0, 0, {}};
    }
    const RECT whole = {0, 0, width, height};
    FillRect(raster.dc(), &whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    draw(raster.dc(), whole);
    GdiFlush();
    return GrayFromBgr(raster.bits, width, height, raster.stride);
}

GrayImage PlayIntoRaster(HENHMETAFILE metafile, int32_t width, int32_t height)
{
    return PaintOnWhite(width, height, [metafile](HDC raster, const RECT& whole) {
        PlayMetafileAsDefined(raster, metafile, whole);
    });
}

HENHMETAFILE RecordMetafile(const RECT& frame, void (*draw)(HDC recorder, SIZE units))
{
    HDC screen = GetDC(nullptr);
    const SIZE units = {ToScreenPixels(frame.right - frame.left, GetDeviceCaps(screen, HORZRES),
                                       GetDeviceCaps(screen, HORZSIZE)),
                        ToScreenPixels(frame.bottom - frame.top, GetDeviceCaps(screen, VERTRES),
                                       GetDeviceCaps(screen, VERTSIZE))};
    ReleaseDC(nullptr, screen);
    HDC recorder = CreateEnhMetaFileA(nullptr, nullptr, &frame, nullptr);
    if (recorder == nullptr) {
        return nullptr;
    }
    draw(recorder, units);
    return CloseEnhMetaFile(recorder);
}
