// Draws the picture on the printer's page: placed and scaled by the page
// geometry, with the bounding box computed before anything is drawn and the
// drawing clipped to it.
#pragma once

#include <windows.h>

#include <optional>

#include "eps/geometry.h"
#include "page_setup.h"
#include "source_image.h"

// Draws the picture on the started page of device and returns the bounding
// box of where it was placed. Nothing is drawn outside the box, whatever
// the picture itself draws: a metafile that draws beyond its frame is cut at
// the box. A metafile's records are played one by one, and a record that
// is not safe to play is skipped. No box when the picture cannot be read: a
// metafile without a header or whose records do not hold together, a DIB
// refused by its layout or by the platform, or no memory device context for
// a bitmap.
std::optional<BoundingBox> DrawPicture(HDC device, const PageGeometry& page,
                                       const SourceImage& image);
