// One conversion job: prints a picture alone on one A4 page through a
// PostScript printer driver into a temporary file, then writes the EPS file
// from it with the bounding box computed for where the picture was placed.
#pragma once

#include "job_status.h"
#include "source_image.h"

// Converts the picture and returns DONE when the EPS file was written, or
// the step that refused. An existing file at outputPath is replaced only by
// a complete EPS file; whatever fails leaves it as it was.
JobStatus ConvertPicture(const SourceImage& image, const char* printerName, const char* outputPath);

// ConvertPicture, for callers that need only to know whether the EPS file
// was written. An existing file at outputPath
// is replaced only by a complete EPS file; whatever fails leaves it as it was.
bool ConvertToEps(const SourceImage& image, const char* printerName, const char* outputPath);
