// Where a device context puts logical units, and drawing in its pixels.
#pragma once

#include <windows.h>

#include "driver_input.h"

// The context's world transform and window-to-viewport mapping as one map.
AffineMap ReadDeviceMap(HDC dc);

// Sets the context to draw in its own pixels: no world transform, MM_TEXT,
// origins at 0. The caller saves the state first and restores it after.
void UseDevicePixels(HDC dc);

LONG RoundToPixel(double value);
