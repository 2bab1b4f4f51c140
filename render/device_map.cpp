#include "device_map.h"

#include <cmath>

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
    return static_cast<LONG>(std::floor(value + 0.5));
}
