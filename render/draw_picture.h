// Draws the picture on the printer's page: placed and scaled by the page
// geometry, with the bounding box computed before anything is drawn.
#pragma once

#include <windows.h>

#include <optional>

#include "geometry.h"
#include "source_image.h"

// Draws the picture on the started page of device, whose page geometry is
// metrics, and returns the bounding box of where it was placed. No box when
// the picture cannot be read: a metafile without a header, a DIB refused by
// its layout or by the platform, or no memory device context for a bitmap.
std::optional<BoundingBox> DrawPicture(HDC device, const DeviceMetrics& metrics,
                                       const SourceImage& image);
