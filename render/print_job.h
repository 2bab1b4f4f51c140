// Prints a picture through a printer's driver into a file: one document of
// one A4 page in colour, which a PostScript driver writes as PostScript.
#pragma once

#include <windows.h>

#include "draw_picture.h"
#include "source_image.h"

// A printer's document opened for the job: DONE and the device, or why
// there is none (the device then null).
struct OpenedDocument {
    JobStatus status;
    HDC device;
};

// Opens the named printer and starts a document that its driver writes to
// path, with the page request applied. NO_DEVICE when there is no such
// printer, DOCUMENT_NOT_STARTED when the document cannot be started. Ended
// and released by ClosePrinterDocument.
OpenedDocument OpenPrinterDocument(const char* printerName, const char* path);
// Draws the picture on one page of the open document and returns the box of
// where it was placed, or why it was not drawn (DrawPicture) or the page
// could not be started or ended (PAGE_NOT_PRINTED).
DrawnBox PrintPage(HDC device, const SourceImage& image);
// Ends the document, so that the driver finishes writing its file, and
// releases the device. Returns whether the driver ended the document.
bool ClosePrinterDocument(HDC device);

// The three in turn: the box of the picture printed into path, or the first
// refusal among them (DOCUMENT_NOT_ENDED when only the end failed).
DrawnBox PrintToFile(const SourceImage& image, const char* printerName, const char* path);
