#include "raster_reference.h"

#include "metafile/emf_records.h"
#include "playback/defined_playback.h"

namespace {

constexpr WORD TRUE_COLOUR_BITS = 24;
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

GrayImage PlayIntoRaster(HENHMETAFILE metafile, int32_t width, int32_t height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = TRUE_COLOUR_BITS;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(nullptr);
    GrayImage image{0, 0, {}};
    if (bitmap != nullptr && memory != nullptr) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        const RECT whole = {0, 0, width, height};
        FillRect(memory, &whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        PlayMetafileAsDefined(memory, metafile, whole);
        GdiFlush();
        const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
        image = GrayFromBgr(static_cast<const uint8_t*>(bits), width, height, stride);
        SelectObject(memory, previous);
    }
    if (memory != nullptr) {
        DeleteDC(memory);
    }
    if (bitmap != nullptr) {
        DeleteObject(bitmap);
    }
    return image;
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
