#include "test_support.h"

#include <algorithm>

#include "bbox_rewrite.h"
#include "test_printer.h"

namespace {

constexpr char EPS_HEADER[] = "%!PS-Adobe-";

std::string WindowsPath(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

void DeleteFilesIn(const std::string& folder)
{
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            DeleteFileA((folder + found.cFileName).c_str());
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// A hidden window of the driver's own, to own what it puts on the clipboard.
HWND ClipboardOwner()
{
    static HWND owner = CreateWindowExA(0, "Static", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                        GetModuleHandleA(nullptr), nullptr);
    return owner;
}

}  // namespace

bool FillClipboard(std::initializer_list<ClipboardItem> items)
{
    if (!OpenClipboard(ClipboardOwner())) {
        return false;
    }
    EmptyClipboard();
    bool filled = true;
    for (const ClipboardItem& item : items) {
        filled = SetClipboardData(item.format, item.data) != nullptr && filled;
    }
    CloseClipboard();
    return filled;
}

::testing::AssertionResult UsePrinters(std::initializer_list<const char*> names)
{
    RemoveAllPrinters();
    for (const char* name : names) {
        if (!InstallTestPrinter(name, TEST_PPD_EPS)) {
            return ::testing::AssertionFailure() << "could not install printer \"" << name << "\"";
        }
    }
    return ::testing::AssertionSuccess();
}

RunningApp StartVellumarkUnderTest()
{
    return StartVellumark(VELLUMARK_EXE);
}

RunningApp StartWithEpsPrinter()
{
    EXPECT_TRUE(UsePrinters({EPS_PRINTER}));
    return StartVellumarkUnderTest();
}

std::string MakeTestFolder(const char* testName)
{
    const std::string output = WindowsPath(APP_TEST_DIR) + "\\output\\";
    const std::string folder = output + testName + "\\";
    CreateDirectoryA(output.c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    DeleteFilesIn(folder);
    return folder;
}

::testing::AssertionResult HasBoundingBox(const std::string& path, int32_t sourceWidth,
                                          int32_t sourceHeight)
{
    DeviceMetrics metrics{};
    if (!ReadA4Metrics(EPS_PRINTER, metrics)) {
        return ::testing::AssertionFailure() << "cannot read the metrics of " << EPS_PRINTER;
    }
    const std::string expected =
        FormatBoundingBoxLine(ExpectedBox(metrics, sourceWidth, sourceHeight));
    const std::string text = ReadFileBytes(path);
    if (text.compare(0, sizeof EPS_HEADER - 1, EPS_HEADER) != 0) {
        return ::testing::AssertionFailure()
               << path << ": expected a PostScript document, got " << text.size()
               << " bytes beginning \"" << text.substr(0, 20) << "\"";
    }
    int boxLines = 0;
    size_t lineStart = 0;
    while (lineStart < text.size()) {
        size_t lineEnd = text.find("\r\n", lineStart);
        if (lineEnd == std::string::npos) {
            lineEnd = text.size();
        }
        const std::string line = text.substr(lineStart, lineEnd - lineStart);
        if (line.compare(0, BOUNDING_BOX_PREFIX_LENGTH, BOUNDING_BOX_PREFIX) == 0) {
            if (line != expected) {
                return ::testing::AssertionFailure()
                       << path << ": expected \"" << expected << "\", got \"" << line << "\"";
            }
            ++boxLines;
        }
        lineStart = lineEnd + 2;
    }
    if (boxLines == 0) {
        return ::testing::AssertionFailure() << path << ": no \"" << expected << "\" line";
    }
    return ::testing::AssertionSuccess();
}
