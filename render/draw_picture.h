// Draws the picture on the printer's page: placed and scaled by the page
// geometry, with the bounding box computed before anything is drawn and the
// drawing clipped to it.
#pragma once

#include <windows.h>

#include "eps/geometry.h"
#include "job_status.h"
#include "page_setup.h"
#include "source_image.h"

// What drawing the picture gave: DONE and the bounding box of where it was
// placed, or why it was not drawn (the box then empty).
struct DrawnBox {
    JobStatus status;
    BoundingBox box;
};

// Draws the picture on the started page of device and returns the bounding
// box of where it was placed. Nothing is drawn outside the box, whatever
// the picture itself draws: a metafile that draws beyond its frame is cut at
// the box. A metafile is inspected once (driver/inspection.h), placed by
// its frame, clipped, given to the player its inspection chose and played
// record by record, a record the inspection does not let play being
// skipped. Not drawn, and why, when the picture cannot be read: a metafile
// without a header or whose records do not hold together, a DIB refused by
// its layout or by the platform, or no memory device context for a bitmap.
DrawnBox DrawPicture(HDC device, const PageGeometry& page, const SourceImage& image);
