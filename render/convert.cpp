#include "convert.h"

#include "eps_file.h"
#include "print_job.h"

#include <optional>
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

// The driver's document becomes the EPS file only when there is one: a
// driver that wrote nothing leaves an existing output alone.
bool ConvertThroughFile(const SourceImage& image, const char* printerName, const char* outputPath,
                        const char* driverFile)
{
    const std::optional<BoundingBox> box = PrintToFile(image, printerName, driverFile);
    return box && HasContent(driverFile) && WriteEpsFile(driverFile, outputPath, *box);
}

}  // namespace

bool ConvertToEps(const SourceImage& image, const char* printerName, const char* outputPath)
{
    if (!HasPicture(image) || !HasText(printerName) || !HasText(outputPath) ||
        !FitsPathBuffer(outputPath)) {
        return false;
    }
    const std::string driverFile = MakeDriverFile();
    if (driverFile.empty()) {
        return false;
    }
    const bool converted = ConvertThroughFile(image, printerName, outputPath, driverFile.c_str());
    DeleteFileA(driverFile.c_str());
    return converted;
}
