// What a device the job plays a picture's records on can be handed: how
// far from its origin a box-shaped record may land, and whether it takes
// flood fills. The one rule every playback of a picture applies to each
// record the inspection lets play (driver/inspection.h), on the printer and
// on the job's own rasters alike, each device with its own reach.
#pragma once

#include <cstddef>
#include <cstdint>

#include "driver/device_geometry.h"

struct DeviceReach {
    double coordinateLimit;  // device pixels from the origin, either way
    bool takesFloodFills;
};

// The PostScript driver holds coordinates up to DRIVER_COORDINATE_LIMIT.
constexpr DeviceReach PRINTER_REACH = {DRIVER_COORDINATE_LIMIT, true};

// The platform's raster code lays out a curved shape's whole outline in
// memory, in proportion to its box's width and height, and overflows its
// own 32-bit sizes for boxes of hundreds of millions of pixels; within this
// limit an outline takes a few megabytes. Its flood fill recurses from row
// to row, as deep as the raster is high or deeper, so a raster takes none:
// a PostScript driver draws no flood fill either.
constexpr double RASTER_COORDINATE_LIMIT = 65536.0;
constexpr DeviceReach RASTER_REACH = {RASTER_COORDINATE_LIMIT, false};

// The platform's region code adds a region's rectangles one at a time, in
// a time that grows with the square of their number: on Wine 4,096 take
// 48 ms, 16,384 1.3 s and 65,536 87 s. A region of more is not made.
constexpr uint32_t REGION_RECTANGLE_LIMIT = 16384;

// Whether the record, under the map, stays within the device's reach: not
// a box-shaped record (record_readers.h) whose box lands beyond the limit,
// nor a blit whose destination does (the platform's stretch code divides
// by extents that overflow there) or whose source rectangle reaches as far
// from its bitmap's corner (the stretch code's sums overflow), nor a text
// run whose advances carry it
// there (its layout divides by their overflowing sum), nor a region of more
// rectangles than REGION_RECTANGLE_LIMIT, nor a flood fill on a device that
// takes none.
bool IsWithinReach(const AffineMap& map, const uint8_t* record, size_t size,
                   const DeviceReach& reach);
