// Where a device context puts logical units, drawing in its pixels and in
// its printable area, and the 24-bit memory rasters the job draws into
// itself.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "driver/device_geometry.h"
#include "gdi_owners.h"

// The context's world transform and window-to-viewport mapping as one map.
AffineMap ReadDeviceMap(HDC dc);

// Sets the context to draw in its own pixels: no world transform, MM_TEXT,
// origins at 0. The caller saves the state first and restores it after.
void UseDevicePixels(HDC dc);

LONG RoundToPixel(double value);

// The part of the device rectangle that lies in the printable area; empty
// when none does.
RECT CutToPage(HDC device, const RECT& area);

// Plays the record into a path of its own: the device's path is what the
// record would draw, and nothing is drawn.
void TraceRecord(HDC device, HANDLETABLE* table, const ENHMETARECORD* record, UINT handleCount);

// Draws the box from (left, top) to (right, bottom) as the polygon of its
// four corners, which the platform maps one by one, turned or not.
void DrawBoxAsPolygon(HDC device, LONG left, LONG top, LONG right, LONG bottom);

// Blue, green and red bytes per pixel.
constexpr size_t RASTER_BYTES_PER_PIXEL = 3;

// A top-down 24-bit DIB's description.
BITMAPINFO TopDownInfo(LONG width, LONG height);
// The bytes of one of its rows, padded to 4.
size_t RowBytes(LONG width);

// A top-down 24-bit DIB section selected into a memory context of its own,
// both released when the raster goes. All null when it cannot be made.
struct Raster {
    BITMAPINFO info;
    GdiObject<HBITMAP> bitmap;
    MemoryDc memory;
    Selection selection;  // the bitmap in the memory context
    uint8_t* bits;
    size_t stride;

    HDC dc() const
    {
        return memory.get();
    }
};
Raster MakeRaster(LONG width, LONG height);

// A COLORREF as a DIB's colour-table entry.
RGBQUAD AsQuad(uint32_t colour);

// Draws rows of width by height pixels, laid out as a raster's, stretched
// over the area of the device: as a byte a pixel with a table of their
// colours where they have no more than a byte can number, which the driver
// writes in a third of the room and packs in runs, and as they stand
// otherwise.
void DrawPixelRows(HDC device, const RECT& area, LONG width, LONG height, const uint8_t* rows);
