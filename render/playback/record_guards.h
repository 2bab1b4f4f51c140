// The guards every playback of a picture's records goes through, on the
// printer and on the job's own rasters alike: the inspection's (the record
// check and the saved-state rule, driver/inspection.h), then the device's
// reach (driver/device_reach.h) under the mapping the device has reached
// when the record comes.
#pragma once

#include <windows.h>

#include <cstddef>

#include "driver/device_reach.h"
#include "driver/inspection.h"

// Whether the record at offset from the metafile's start may be played on
// the device, whose reach is given.
bool MayPlayOn(HDC device, const DeviceReach& reach, const MetafileInspection& inspection,
               size_t offset, const ENHMETARECORD* record);
