// The page set-up the conversion job asks of the printer device, apart from
// the job so that tests can drive the device's answer directly.
#pragma once

#include <windows.h>

#include "eps/geometry.h"

// The size of DEVMODEA as version 0x0400 of the structure defines it, without
// the panning fields that later versions (and mingw's sizeof) include.
constexpr WORD DEVMODE_0400_SIZE = 148;
constexpr WORD DEVMODE_0400_VERSION = 0x0400;

// A4 paper and colour output; every other member zero.
DEVMODEA MakePageRequest();

// Applies the request to the open device. A reset that succeeds answers
// with the same device context; one that fails answers with none and leaves
// the device as it was, with the driver's defaults. Either way the device
// context held before is the one to go on with and to release, so only
// whether the request took is returned.
bool ApplyPageRequest(HDC device, const DEVMODEA& request);

// The page as the device reports it: the whole sheet and the unprintable
// offsets at left and top, in device pixels.
DeviceMetrics ReadDeviceMetrics(HDC device);

// What the job reads of the device once its page is set up: the page, and
// the resolution by which the driver turns pixels into points.
struct PageGeometry {
    DeviceMetrics metrics;
    DeviceResolution resolution;
};
PageGeometry ReadPageGeometry(HDC device);
