// Where a device context puts logical units, drawing in its pixels, and
// the 24-bit memory rasters the job draws into itself.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "driver/device_geometry.h"

// The context's world transform and window-to-viewport mapping as one map.
AffineMap ReadDeviceMap(HDC dc);

// Sets the context to draw in its own pixels: no world transform, MM_TEXT,
// origins at 0. The caller saves the state first and restores it after.
void UseDevicePixels(HDC dc);

LONG RoundToPixel(double value);

// Blue, green and red bytes per pixel.
constexpr size_t RASTER_BYTES_PER_PIXEL = 3;

// A top-down 24-bit DIB's description.
BITMAPINFO TopDownInfo(LONG width, LONG height);
// The bytes of one of its rows, padded to 4.
size_t RowBytes(LONG width);

// A top-down 24-bit DIB section selected into a memory context of its own,
// released by ReleaseRaster. All null when it cannot be made.
struct Raster {
    BITMAPINFO info;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previous;
    uint8_t* bits;
    size_t stride;
};
Raster MakeRaster(LONG width, LONG height);
void ReleaseRaster(const Raster& raster);
