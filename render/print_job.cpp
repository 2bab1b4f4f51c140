#include "print_job.h"

#include "page_setup.h"
#include "version_info.h"

namespace {

// The document name is the window's title; the driver writes it into the
// PostScript header.
constexpr char DOCUMENT_NAME[] = VELLUMARK_TITLE;
constexpr char DOCUMENT_DATATYPE[] = "raw";

static_assert(sizeof(DOCINFOA) == (sizeof(void*) == 8 ? 40 : 20),
              "DOCINFOA: 20 bytes on 32-bit Windows, 40 on 64-bit");

}  // namespace

OpenedDocument OpenPrinterDocument(const char* printerName, const char* path)
{
    HDC device = CreateDCA(nullptr, printerName, nullptr, nullptr);
    if (device == nullptr) {
        return {JobStatus::NO_DEVICE, nullptr};
    }
    DOCINFOA document = {};
    document.cbSize = sizeof document;
    document.lpszDocName = DOCUMENT_NAME;
    document.lpszOutput = path;
    document.lpszDatatype = DOCUMENT_DATATYPE;
    if (StartDocA(device, &document) <= 0) {
        DeleteDC(device);
        return {JobStatus::DOCUMENT_NOT_STARTED, nullptr};
    }
    // A device that refuses the request prints with the driver's defaults.
    ApplyPageRequest(device, MakePageRequest());
    return {JobStatus::DONE, device};
}

DrawnBox PrintPage(HDC device, const SourceImage& image)
{
    if (StartPage(device) <= 0) {
        return {JobStatus::PAGE_NOT_PRINTED, BoundingBox{}};
    }
    const DrawnBox drawn = DrawPicture(device, ReadPageGeometry(device), image);
    const bool ended = EndPage(device) > 0;
    return ended ? drawn : DrawnBox{JobStatus::PAGE_NOT_PRINTED, BoundingBox{}};
}

bool ClosePrinterDocument(HDC device)
{
    const bool ended = EndDoc(device) > 0;
    DeleteDC(device);
    return ended;
}

DrawnBox PrintToFile(const SourceImage& image, const char* printerName, const char* path)
{
    const OpenedDocument document = OpenPrinterDocument(printerName, path);
    if (document.status != JobStatus::DONE) {
        return {document.status, BoundingBox{}};
    }
    const DrawnBox drawn = PrintPage(document.device, image);
    const bool ended = ClosePrinterDocument(document.device);
    return ended || drawn.status != JobStatus::DONE
               ? drawn
               : DrawnBox{JobStatus::DOCUMENT_NOT_ENDED, BoundingBox{}};
}
