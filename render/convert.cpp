#include "convert.h"

#include "eps_file.h"
#include "print_job.h"

#include <string>

namespace {

constexpr char TEMP_PREFIX[] = "eps";
// Zero asks the system for a name that is free and creates the file, so
// that no file another program left in the temporary folder is reused.
constexpr UINT SYSTEM_UNIQUE_NAME = 0;

bool HasText(const char* text)
{
    return text != nullptr && text[0] != '\0';
}

bool FitsPathBuffer(const char* path)
{
    return lstrlenA(path) < MAX_PATH;
}

bool HasPicture(const SourceImage& image)
{
    return image.metafile != nullptr || image.packedDib != nullptr || image.bitmap != nullptr;
}

// A new, empty file in the temporary folder for the driver's document; empty
// when the folder's path does not fit or no file can be made there.
std::string MakeDriverFile()
{
    char folder[MAX_PATH] = {};
    const DWORD length = GetTempPathA(MAX_PATH, folder);
    char path[MAX_PATH] = {};
    if (length == 0 || length >= MAX_PATH ||
        GetTempFileNameA(folder, TEMP_PREFIX, SYSTEM_UNIQUE_NAME, path) == 0) {
        return {};
    }
    return path;
}

bool HasContent(const char* path)
{
    WIN32_FILE_ATTRIBUTE_DATA attributes = {};
    return GetFileAttributesExA(path, GetFileExInfoStandard, &attributes) &&
           (attributes.nFileSizeLow != 0 || attributes.nFileSizeHigh != 0);
}

// The refusal of the request before anything is made, DONE when there is
// none.
JobStatus CheckRequest(const SourceImage& image, const char* printerName, const char* outputPath)
{
    if (!HasPicture(image)) {
        return JobStatus::NO_PICTURE;
    }
    if (!HasText(printerName)) {
        return JobStatus::NO_PRINTER_NAME;
    }
    if (!HasText(outputPath)) {
        return JobStatus::NO_OUTPUT_PATH;
    }
    return FitsPathBuffer(outputPath) ? JobStatus::DONE : JobStatus::OUTPUT_PATH_TOO_LONG;
}

// The driver's document becomes the EPS file only when there is one: a
// driver that wrote nothing leaves an existing output alone.
JobStatus ConvertThroughFile(const SourceImage& image, const char* printerName,
                             const char* outputPath, const char* driverFile)
{
    const DrawnBox printed = PrintToFile(image, printerName, driverFile);
    if (printed.status != JobStatus::DONE) {
        return printed.status;
    }
    if (!HasContent(driverFile)) {
        return JobStatus::DRIVER_WROTE_NOTHING;
    }
    return WriteEpsFile(driverFile, outputPath, printed.box);
}

}  // namespace

JobStatus ConvertPicture(const SourceImage& image, const char* printerName, const char* outputPath)
{
    const JobStatus request = CheckRequest(image, printerName, outputPath);
    if (request != JobStatus::DONE) {
        return request;
    }
    const std::string driverFile = MakeDriverFile();
    if (driverFile.empty()) {
        return JobStatus::NO_DRIVER_FILE;
    }
    const JobStatus status = ConvertThroughFile(image, printerName, outputPath, driverFile.c_str());
    DeleteFileA(driverFile.c_str());
    return status;
}

bool ConvertToEps(const SourceImage& image, const char* printerName, const char* outputPath)
{
    return ConvertPicture(image, printerName, outputPath) == JobStatus::DONE;
}
