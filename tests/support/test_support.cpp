#include "test_support.h"

#include "gdi_owners.h"

#include <fstream>
#include <iterator>

#include "gdiplus_picture.h"
#include "page_setup.h"
#include "print_job.h"

namespace {

// GDI+ for the whole test program, as the program starts it for its run.
struct GdiPlusEnvironment : ::testing::Environment {
    void SetUp() override
    {
        ASSERT_TRUE(StartGdiPlus()) << "expected GDI+ to start";
    }
    void TearDown() override
    {
        StopGdiPlus();
    }
};
const ::testing::Environment* const GDI_PLUS_ENVIRONMENT =
    ::testing::AddGlobalTestEnvironment(new GdiPlusEnvironment);

constexpr char BOX_PREFIX[] = "%%BoundingBox:";
constexpr char POSTSCRIPT_HEADER[] = "%!PS-Adobe-";
constexpr size_t SHOWN_HEADER_LENGTH = 20;
constexpr char OUTPUT_FOLDER[] = "\\output";

bool StartsWith(const std::string& line, const char* start)
{
    return line.rfind(start, 0) == 0;
}

// Wine's driver begins its prolog before anything runs: the EPS carries
// these lines right after "%%BeginProlog".
constexpr const char* EPS_GUARD_LINES[] = {
    "% Until the importer's restore, what an EPS file must not change stays.",
    "userdict begin",
    "/initclip {} def",
    "/erasepage {} def",
    "/copypage {} def",
    "/setpagedevice {pop} def",
    "/initmatrix [matrix currentmatrix /setmatrix load] cvx def",
    "/initgraphics {initmatrix newpath 0 setgray 1 setlinewidth 0 setlinecap 0 setlinejoin",
    "10 setmiterlimit [] 0 setdash} def",
    "end",
};

bool IsBoxLine(const std::string& line)
{
    return StartsWith(line, BOX_PREFIX);
}

// output\ in the test program's own folder.
std::string OutputRoot()
{
    char program[MAX_PATH] = {};
    const std::string path(program, GetModuleFileNameA(nullptr, program, sizeof program));
    return path.substr(0, path.find_last_of('\\')) + OUTPUT_FOLDER;
}

}  // namespace

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

DeviceMetrics ReadPrinterMetrics(const char* printerName)
{
    DeviceMetrics metrics{};
    HDC device = CreateDCA(nullptr, printerName, nullptr, nullptr);
    if (device == nullptr) {
        return metrics;
    }
    ApplyPageRequest(device, MakePageRequest());
    metrics = ReadDeviceMetrics(device);
    DeleteDC(device);
    return metrics;
}

bool PrintReference(const char* printerName, const std::string& path,
                    const std::function<void(HDC device)>& draw)
{
    const OpenedDocument opened = OpenPrinterDocument(printerName, path.c_str());
    HDC device = opened.device;
    if (device == nullptr) {
        return false;
    }
    const bool pageStarted = StartPage(device) > 0;
    draw(device);
    const bool pageEnded = EndPage(device) > 0;
    return ClosePrinterDocument(device) && pageStarted && pageEnded;
}

bool PrintClippedReference(const char* printerName, const std::string& path, const RECT& clip,
                           const std::function<void(HDC device)>& draw)
{
    return PrintReference(printerName, path, [&](HDC device) {
        const SavedState saved(device);
        const GdiObject<HRGN> region(CreateRectRgnIndirect(&clip));
        SelectClipRgn(device, region.get());
        SetMetaRgn(device);
        draw(device);
    });
}

std::string PrepareOutputFolder(const char* name)
{
    const std::string root = OutputRoot();
    const std::string folder = root + "\\" + name;
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const std::string& file : ListFiles(folder, "*")) {
        const std::string path = folder + "\\" + file;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
    return folder;
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary);
    file << bytes;
    return static_cast<bool>(file);
}

std::vector<std::string> ListFiles(const std::string& folder, const char* pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found = {};
    HANDLE search = FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            names.emplace_back(found.cFileName);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::string TempFolder()
{
    char folder[MAX_PATH] = {};
    GetTempPathA(sizeof folder, folder);
    return folder;
}

std::vector<std::string> ListTempJobFiles()
{
    return ListFiles(TempFolder(), "eps*.tmp");
}

size_t CountOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

std::vector<std::string> SplitLines(const std::string& bytes, bool* allCrLf)
{
    std::vector<std::string> lines;
    *allCrLf = true;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            *allCrLf = false;
            end = bytes.size();
        }
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        } else {
            *allCrLf = false;
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> BoxLines(const std::vector<std::string>& lines)
{
    std::vector<std::string> boxes;
    for (const std::string& line : lines) {
        if (IsBoxLine(line)) {
            boxes.push_back(line);
        }
    }
    return boxes;
}

std::vector<std::string> OtherLines(const std::vector<std::string>& lines)
{
    std::vector<std::string> others;
    for (const std::string& line : lines) {
        if (!IsBoxLine(line)) {
            others.push_back(line);
        }
    }
    return others;
}

std::vector<std::string> AsEncapsulated(const std::vector<std::string>& driverLines)
{
    std::vector<std::string> lines;
    bool inFeature = false;
    bool guarded = false;
    for (const std::string& line : driverLines) {
        const bool ends =
            StartsWith(line, "%%EndFeature") || StartsWith(line, "%%EndNonPPDFeature");
        if (!inFeature || ends) {
            lines.push_back(line);
        }
        if (!guarded && StartsWith(line, "%%BeginProlog")) {
            lines.insert(lines.end(), std::begin(EPS_GUARD_LINES), std::end(EPS_GUARD_LINES));
            guarded = true;
        }
        inFeature = (inFeature && !ends) || StartsWith(line, "%%BeginFeature:") ||
                    StartsWith(line, "%%BeginNonPPDFeature:");
    }
    if (!lines.empty() && StartsWith(lines.front(), "%!PS-Adobe-")) {
        lines.front() = EPS_HEADER_LINE;
    }
    return lines;
}

int FirstDifference(const std::vector<std::string>& expected,
                    const std::vector<std::string>& actual)
{
    const size_t common = expected.size() < actual.size() ? expected.size() : actual.size();
    for (size_t i = 0; i < common; ++i) {
        if (expected[i] != actual[i]) {
            return static_cast<int>(i);
        }
    }
    return expected.size() == actual.size() ? -1 : static_cast<int>(common);
}

::testing::AssertionResult HasBoundingBox(const std::string& path, const char* expectedLine)
{
    const std::string text = ReadFileBytes(path);
    if (text.compare(0, sizeof POSTSCRIPT_HEADER - 1, POSTSCRIPT_HEADER) != 0) {
        return ::testing::AssertionFailure()
               << path << ": expected a PostScript document, got " << text.size()
               << " bytes beginning \"" << text.substr(0, SHOWN_HEADER_LENGTH) << "\"";
    }
    bool crLf = false;
    const std::vector<std::string> boxes = BoxLines(SplitLines(text, &crLf));
    if (boxes.empty()) {
        return ::testing::AssertionFailure()
               << path << ": expected \"" << expectedLine << "\", got no box line";
    }
    for (const std::string& line : boxes) {
        if (line != expectedLine) {
            return ::testing::AssertionFailure()
                   << path << ": expected \"" << expectedLine << "\", got \"" << line << "\"";
        }
    }
    return ::testing::AssertionSuccess();
}

void PrintingTest::SetUp()
{
    RemoveAllPrinters();
    ASSERT_TRUE(InstallTestPrinter(EPS_PRINTER, TEST_PPD_EPS))
        << "expected the EPS test printer to install";
    folder = PrepareOutputFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    tempFilesBefore = ListTempJobFiles();
}

void PrintingTest::TearDown()
{
    EXPECT_EQ(tempFilesBefore, ListTempJobFiles())
        << "expected no job file left in " << TempFolder();
    RemoveAllPrinters();
}
