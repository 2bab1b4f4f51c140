#include "playback/record_guards.h"

#include "playback/device_map.h"

#include <cstdint>

bool MayPlayOn(HDC device, const DeviceReach& reach, const MetafileInspection& inspection,
               size_t offset, const ENHMETARECORD* record)
{
    return MayPlay(inspection, offset) &&
           IsWithinReach(ReadDeviceMap(device), reinterpret_cast<const uint8_t*>(record),
                         record->nSize, reach);
}
