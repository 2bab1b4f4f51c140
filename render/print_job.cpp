#include "print_job.h"

#include "draw_picture.h"
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

HDC OpenPrinterDocument(const char* printerName, const char* path)
{
    HDC device = CreateDCA(nullptr, printerName, nullptr, nullptr);
    if (device == nullptr) {
        return nullptr;
    }
    DOCINFOA document = {};
    document.cbSize = sizeof document;
    document.lpszDocName = DOCUMENT_NAME;
    document.lpszOutput = path;
    document.lpszDatatype = DOCUMENT_DATATYPE;
    if (StartDocA(device, &document) <= 0) {
        DeleteDC(device);
        return nullptr;
    }
    // A device that refuses the request prints with the driver's defaults.
    ApplyPageRequest(device, MakePageRequest());
    return device;
}

std::optional<BoundingBox> PrintPage(HDC device, const SourceImage& image)
{
    if (StartPage(device) <= 0) {
        return std::nullopt;
    }
    const std::optional<BoundingBox> box = DrawPicture(device, ReadPageGeometry(device), image);
    const bool ended = EndPage(device) > 0;
    return ended ? box : std::nullopt;
}

bool ClosePrinterDocument(HDC device)
{
    const bool ended = EndDoc(device) > 0;
    DeleteDC(device);
    return ended;
}

std::optional<BoundingBox> PrintToFile(const SourceImage& image, const char* printerName,
                                       const char* path)
{
    HDC device = OpenPrinterDocument(printerName, path);
    if (device == nullptr) {
        return std::nullopt;
    }
    const std::optional<BoundingBox> box = PrintPage(device, image);
    const bool ended = ClosePrinterDocument(device);
    return ended ? box : std::nullopt;
}
