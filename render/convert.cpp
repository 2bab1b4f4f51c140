#include "convert.h"

#include "bbox_rewrite.h"
#include "dib_layout.h"
#include "geometry.h"
#include "page_setup.h"

#include <cstddef>
#include <cstdint>

namespace {

// The document name is the window's title; the driver writes it into the
// PostScript header.
constexpr char DOCUMENT_NAME[] = "Vellumark Version 0.5";
constexpr char DOCUMENT_DATATYPE[] = "raw";
constexpr char TEMP_PREFIX[] = "eps";
// Zero asks the system for a name that is free and creates the file, so
// that no file another program left in the temporary folder is reused.
constexpr UINT SYSTEM_UNIQUE_NAME = 0;
constexpr size_t PATH_BUFFER_SIZE = MAX_PATH;

constexpr DWORD PAGE_REQUEST_FIELDS = DM_PAPERSIZE | DM_COLOR;

// The metafile header as the 100 bytes before the later micrometre size.
constexpr UINT METAFILE_HEADER_SIZE = 100;

static_assert(sizeof(DOCINFOA) == (sizeof(void*) == 8 ? 40 : 20),
              "DOCINFOA: 20 bytes on 32-bit Windows, 40 on 64-bit");
static_assert(offsetof(DEVMODEA, dmPanningWidth) == DEVMODE_0400_SIZE,
              "the 0x0400 DEVMODEA ends where the panning fields begin");
static_assert(PAGE_REQUEST_FIELDS == 0x802, "paper size and colour only");
static_assert(offsetof(ENHMETAHEADER, szlMicrometers) == METAFILE_HEADER_SIZE,
              "the header read stops before the micrometre size");
static_assert(sizeof(BITMAP) == (sizeof(void*) == 8 ? 32 : 24),
              "BITMAP: 24 bytes on 32-bit Windows, 32 on 64-bit");

bool HasText(const char* text)
{
    return text != nullptr && text[0] != '\0';
}

bool HasPicture(const SourceImage& image)
{
    return image.metafile != nullptr || image.packedDib != nullptr || image.bitmap != nullptr;
}

BoundingBox MeasurePlacedBox(HDC device, const PlacementRect& placement)
{
    return ComputeBoundingBox(ReadDeviceMetrics(device), placement);
}

bool DrawMetafile(HDC device, HENHMETAFILE metafile, BoundingBox& box)
{
    ENHMETAHEADER header = {};
    if (GetEnhMetaFileHeader(metafile, METAFILE_HEADER_SIZE, &header) == 0) {
        return false;
    }
    const PlacementRect placement =
        ComputePlacement(ReadDeviceMetrics(device), header.rclFrame.right - header.rclFrame.left,
                         header.rclFrame.bottom - header.rclFrame.top);
    const RECT target = {placement.left, placement.top, placement.right, placement.bottom};
    PlayEnhMetaFile(device, metafile, &target);
    box = MeasurePlacedBox(device, placement);
    return true;
}

// Stretches the bitmap over the placement through a memory device context.
// A bitmap whose description cannot be read counts as 0 x 0.
bool DrawBitmap(HDC device, HBITMAP bitmap, BoundingBox& box)
{
    HDC memory = CreateCompatibleDC(device);
    if (memory == nullptr) {
        return false;
    }
    SelectObject(memory, bitmap);
    BITMAP description = {};
    GetObjectA(bitmap, sizeof description, &description);
    const PlacementRect placement =
        ComputePlacement(ReadDeviceMetrics(device), description.bmWidth, description.bmHeight);
    StretchBlt(device, 0, 0, placement.right, placement.bottom, memory, 0, 0, description.bmWidth,
               description.bmHeight, SRCCOPY);
    DeleteDC(memory);
    box = MeasurePlacedBox(device, placement);
    return true;
}

// The DIB is checked against its block before the platform reads it.
bool DrawPackedDib(HDC device, const BITMAPINFO* dib, size_t dibSize, BoundingBox& box)
{
    const auto* bytes = reinterpret_cast<const uint8_t*>(dib);
    DibLayout layout{};
    if (!ComputeDibLayout(bytes, dibSize, layout)) {
        return false;
    }
    HBITMAP bitmap = CreateDIBitmap(device, &dib->bmiHeader, CBM_INIT, bytes + layout.pixelOffset,
                                    dib, DIB_RGB_COLORS);
    if (bitmap == nullptr) {
        return false;
    }
    const bool drawn = DrawBitmap(device, bitmap, box);
    DeleteObject(bitmap);
    return drawn;
}

bool DrawPicture(HDC device, const SourceImage& image, BoundingBox& box)
{
    if (image.metafile != nullptr) {
        return DrawMetafile(device, image.metafile, box);
    }
    if (image.packedDib != nullptr) {
        return DrawPackedDib(device, image.packedDib, image.packedDibSize, box);
    }
    return DrawBitmap(device, image.bitmap, box);
}

// One page, set up for A4 in colour, with the picture on it.
bool PrintPage(HDC& device, const SourceImage& image, BoundingBox& box)
{
    device = ApplyPageRequest(device, MakePageRequest());
    StartPage(device);
    const bool drawn = DrawPicture(device, image, box);
    EndPage(device);
    return drawn;
}

// Prints the picture into the file through the named printer's driver.
bool PrintToFile(const SourceImage& image, const char* printerName, const char* filePath,
                 BoundingBox& box)
{
    HDC device = CreateDCA(nullptr, printerName, nullptr, nullptr);
    if (device == nullptr) {
        return false;
    }
    DOCINFOA document = {};
    document.cbSize = sizeof document;
    document.lpszDocName = DOCUMENT_NAME;
    document.lpszOutput = filePath;
    document.lpszDatatype = DOCUMENT_DATATYPE;
    bool printed = false;
    if (StartDocA(device, &document) > 0) {
        printed = PrintPage(device, image, box);
        EndDoc(device);
    }
    DeleteDC(device);
    return printed;
}

bool HasContent(const char* path)
{
    WIN32_FILE_ATTRIBUTE_DATA attributes = {};
    return GetFileAttributesExA(path, GetFileExInfoStandard, &attributes) &&
           (attributes.nFileSizeLow != 0 || attributes.nFileSizeHigh != 0);
}

// The driver's document goes to the output only when there is one: an
// empty file would otherwise replace an existing output.
bool ConvertThroughFile(const SourceImage& image, const char* printerName, const char* outputPath,
                        const char* tempPath)
{
    BoundingBox box{};
    return PrintToFile(image, printerName, tempPath, box) && HasContent(tempPath) &&
           RewriteBoundingBox(tempPath, outputPath, box);
}

}  // namespace

DEVMODEA MakePageRequest()
{
    DEVMODEA request = {};
    request.dmSpecVersion = DEVMODE_0400_VERSION;
    request.dmSize = DEVMODE_0400_SIZE;
    request.dmFields = PAGE_REQUEST_FIELDS;
    request.dmPaperSize = DMPAPER_A4;
    request.dmColor = DMCOLOR_COLOR;
    return request;
}

DeviceMetrics ReadDeviceMetrics(HDC device)
{
    DeviceMetrics metrics{};
    metrics.physicalOffsetX = GetDeviceCaps(device, PHYSICALOFFSETX);
    metrics.physicalWidth = GetDeviceCaps(device, PHYSICALWIDTH);
    metrics.physicalOffsetY = GetDeviceCaps(device, PHYSICALOFFSETY);
    metrics.physicalHeight = GetDeviceCaps(device, PHYSICALHEIGHT);
    return metrics;
}

HDC ApplyPageRequest(HDC device, const DEVMODEA& request)
{
    HDC reset = ResetDCA(device, &request);
    return reset != nullptr ? reset : device;
}

bool ConvertToEps(const SourceImage& image, const char* printerName, const char* outputPath)
{
    if (!HasPicture(image) || !HasText(outputPath) || !HasText(printerName)) {
        return false;
    }
    char tempDirectory[PATH_BUFFER_SIZE] = {};
    char tempPath[PATH_BUFFER_SIZE] = {};
    GetTempPathA(sizeof tempDirectory, tempDirectory);
    if (GetTempFileNameA(tempDirectory, TEMP_PREFIX, SYSTEM_UNIQUE_NAME, tempPath) == 0 ||
        lstrlenA(tempPath) == 0) {
        return false;
    }
    const bool converted = ConvertThroughFile(image, printerName, outputPath, tempPath);
    DeleteFileA(tempPath);
    return converted;
}
