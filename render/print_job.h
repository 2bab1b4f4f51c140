// Prints a picture through a printer's driver into a file: one document of
// one A4 page in colour, which a PostScript driver writes as PostScript.
#pragma once

#include <windows.h>

#include <optional>

#include "eps/geometry.h"
#include "source_image.h"

// Opens the named printer and starts a document that its driver writes to
// path, with the page request applied. Null when there is no such printer or
// the document cannot be started. Ended and released by ClosePrinterDocument.
HDC OpenPrinterDocument(const char* printerName, const char* path);
// Draws the picture on one page of the open document and returns the box of
// where it was placed; none when the picture cannot be read or the page
// cannot be started or ended.
std::optional<BoundingBox> PrintPage(HDC device, const SourceImage& image);
// Ends the document, so that the driver finishes writing its file, and
// releases the device. Returns whether the driver ended the document.
bool ClosePrinterDocument(HDC device);

// The three in turn: the box of the picture printed into path.
std::optional<BoundingBox> PrintToFile(const SourceImage& image, const char* printerName,
                                       const char* path);
