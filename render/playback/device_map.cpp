#include "playback/device_map.h"

#include "driver/pixel_statistics.h"

#include <optional>

namespace {

constexpr WORD TRUE_COLOUR_BITS = 24;
constexpr WORD NUMBERED_COLOUR_BITS = 8;

// A DIB of a byte a pixel's description, with its colour table.
struct NumberedColourInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colours[MOST_NUMBERED_COLOURS];
};

}  // namespace

AffineMap ReadDeviceMap(HDC dc)
{
    XFORM world = {1, 0, 0, 1, 0, 0};
    GetWorldTransform(dc, &world);
    POINT windowOrg = {};
    POINT viewportOrg = {};
    SIZE windowExt = {1, 1};
    SIZE viewportExt = {1, 1};
    GetWindowOrgEx(dc, &windowOrg);
    GetViewportOrgEx(dc, &viewportOrg);
    GetWindowExtEx(dc, &windowExt);
    GetViewportExtEx(dc, &viewportExt);
    return ComposeDeviceMap(
        AffineMap{world.eM11, world.eM12, world.eM21, world.eM22, world.eDx, world.eDy},
        windowOrg.x, windowOrg.y, windowExt.cx, windowExt.cy, viewportOrg.x, viewportOrg.y,
        viewportExt.cx, viewportExt.cy);
}

void UseDevicePixels(HDC dc)
{
    SetGraphicsMode(dc, GM_ADVANCED);
    ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
    SetMapMode(dc, MM_TEXT);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    SetViewportOrgEx(dc, 0, 0, nullptr);
}

LONG RoundToPixel(double value)
{
    return static_cast<LONG>(RoundAsDevice(value));
}

RECT CutToPage(HDC device, const RECT& area)
{
    const RECT page = {0, 0, GetDeviceCaps(device, HORZRES), GetDeviceCaps(device, VERTRES)};
    RECT cut = {};
    IntersectRect(&cut, &area, &page);
    return cut;
}

void TraceRecord(HDC device, HANDLETABLE* table, const ENHMETARECORD* record, UINT handleCount)
{
    BeginPath(device);
    PlayEnhMetaFileRecord(device, table, record, handleCount);
    EndPath(device);
}

void DrawBoxAsPolygon(HDC device, LONG left, LONG top, LONG right, LONG bottom)
{
    const POINT corners[4] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
    Polygon(device, corners, 4);
}

BITMAPINFO TopDownInfo(LONG width, LONG height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = TRUE_COLOUR_BITS;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

size_t RowBytes(LONG width)
{
    return (static_cast<size_t>(width) * RASTER_BYTES_PER_PIXEL + 3) / 4 * 4;
}

Raster MakeRaster(LONG width, LONG height)
{
    Raster raster = {};
    raster.info = TopDownInfo(width, height);
    void* bits = nullptr;
    raster.bitmap.reset(CreateDIBSection(nullptr, &raster.info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (raster.bitmap == nullptr) {
        return Raster{};
    }
    raster.memory.reset(CreateCompatibleDC(nullptr));
    if (raster.memory == nullptr) {
        return Raster{};
    }
    raster.selection = Select(raster.dc(), raster.bitmap.get());
    raster.bits = static_cast<uint8_t*>(bits);
    raster.stride = RowBytes(width);
    return raster;
}

RGBQUAD AsQuad(uint32_t colour)
{
    return RGBQUAD{GetBValue(colour), GetGValue(colour), GetRValue(colour), 0};
}

void DrawPixelRows(HDC device, const RECT& area, LONG width, LONG height, const uint8_t* rows)
{
    const BITMAPINFO info = TopDownInfo(width, height);
    const std::optional<NumberedColours> numbered =
        NumberColours(rows, width, height, RowBytes(width));
    if (!numbered) {
        StretchDIBits(device, area.left, area.top, area.right - area.left, area.bottom - area.top,
                      0, 0, width, height, rows, &info, DIB_RGB_COLORS, SRCCOPY);
        return;
    }
    NumberedColourInfo table = {};
    table.header = info.bmiHeader;
    table.header.biBitCount = NUMBERED_COLOUR_BITS;
    table.header.biClrUsed = static_cast<DWORD>(numbered->colours.size());
    for (size_t i = 0; i < numbered->colours.size(); ++i) {
        table.colours[i] = AsQuad(numbered->colours[i]);
    }
    StretchDIBits(device, area.left, area.top, area.right - area.left, area.bottom - area.top, 0, 0,
                  width, height, numbered->rows.data(), reinterpret_cast<const BITMAPINFO*>(&table),
                  DIB_RGB_COLORS, SRCCOPY);
}
