#include "page_setup.h"

#include <cstddef>

namespace {

constexpr DWORD PAGE_REQUEST_FIELDS = DM_PAPERSIZE | DM_COLOR;

static_assert(offsetof(DEVMODEA, dmPanningWidth) == DEVMODE_0400_SIZE,
              "the 0x0400 DEVMODEA ends where the panning fields begin");

}  // namespace

DEVMODEA MakePageRequest()
{
    DEVMODEA request = {};
    request.dmSpecVersion = DEVMODE_0400_VERSION;
    request.dmSize = DEVMODE_0400_SIZE;
    request.dmFields = PAGE_REQUEST_FIELDS;
    request.dmPaperSize = DMPAPER_A4;
    request.dmColor = DMCOLOR_COLOR;
    return request;
}

bool ApplyPageRequest(HDC device, const DEVMODEA& request)
{
    return ResetDCA(device, &request) != nullptr;
}

DeviceMetrics ReadDeviceMetrics(HDC device)
{
    DeviceMetrics metrics{};
    metrics.physicalOffsetX = GetDeviceCaps(device, PHYSICALOFFSETX);
    metrics.physicalWidth = GetDeviceCaps(device, PHYSICALWIDTH);
    metrics.physicalOffsetY = GetDeviceCaps(device, PHYSICALOFFSETY);
    metrics.physicalHeight = GetDeviceCaps(device, PHYSICALHEIGHT);
    return metrics;
}

PageGeometry ReadPageGeometry(HDC device)
{
    return PageGeometry{
        ReadDeviceMetrics(device),
        DeviceResolution{GetDeviceCaps(device, LOGPIXELSX), GetDeviceCaps(device, LOGPIXELSY)}};
}
