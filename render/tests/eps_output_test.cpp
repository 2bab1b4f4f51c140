// Every way the EPS output can fail leaves an existing EPS as it was, leaves
// no file of the job's behind and touches no other file in the output folder;
// where it can succeed, only the EPS changes.
#include "convert.h"

#include "test_printer.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr RECT FRAME = {0, 0, 16000, 9000};
constexpr RECT CONTENT = {0, 0, 1000, 1000};
constexpr char PREVIOUS_EPS[] = "previous EPS\r\n";
// Large enough that its EPS (about 4.6 MB) cannot fit the small volume.
constexpr int32_t FILLING_DIB_WIDTH = 1000;
constexpr int32_t FILLING_DIB_HEIGHT = 750;
// The small volumes that volumes.sh mounts for these tests.
constexpr char FULL_VOLUME[] = "V:\\";
constexpr char UNAVAILABLE_NOTE[] = "unavailable";
constexpr size_t PATH_LIMIT = MAX_PATH - 1;  // characters of a path, without its terminator

struct FileState {
    std::string name;
    ULONGLONG size;
    ULONGLONG writeTime;
    bool operator==(const FileState& other) const
    {
        return std::tie(name, size, writeTime) == std::tie(other.name, other.size, other.writeTime);
    }
};

// What a folder holds: every file's name, size and last write time.
std::vector<FileState> SnapshotFolder(const std::string& folder)
{
    std::vector<FileState> files;
    WIN32_FIND_DATAA found = {};
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return files;
    }
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            files.push_back({found.cFileName,
                             ULONGLONG{found.nFileSizeHigh} << 32 | found.nFileSizeLow,
                             ULONGLONG{found.ftLastWriteTime.dwHighDateTime} << 32 |
                                 found.ftLastWriteTime.dwLowDateTime});
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return files;
}

std::string Describe(const std::vector<FileState>& files)
{
    std::string text;
    for (const FileState& file : files) {
        text += file.name + " (" + std::to_string(file.size) + " bytes) ";
    }
    return text.empty() ? "nothing" : text;
}

std::string VolumesFolder()
{
    return std::string(VELLUMARK_TEST_VOLUMES_DIR);
}

// Why the small volumes are missing, or empty when they are there.
std::string VolumesUnavailable()
{
    const std::string note = VolumesFolder() + "\\" + UNAVAILABLE_NOTE;
    return FileExists(note) ? ReadFileBytes(note) : std::string();
}

// Converts with the temporary folder (TMP and TEMP) pointed at tempFolder.
JobStatus ConvertWithTempFolder(const std::string& tempFolder, const SourceImage& image,
                                const std::string& eps)
{
    char savedTmp[MAX_PATH] = {};
    char savedTemp[MAX_PATH] = {};
    const bool hadTmp = GetEnvironmentVariableA("TMP", savedTmp, MAX_PATH) != 0;
    const bool hadTemp = GetEnvironmentVariableA("TEMP", savedTemp, MAX_PATH) != 0;
    SetEnvironmentVariableA("TMP", tempFolder.c_str());
    SetEnvironmentVariableA("TEMP", tempFolder.c_str());
    const JobStatus status = ConvertPicture(image, EPS_PRINTER, eps.c_str());
    SetEnvironmentVariableA("TMP", hadTmp ? savedTmp : nullptr);
    SetEnvironmentVariableA("TEMP", hadTemp ? savedTemp : nullptr);
    return status;
}

// A name in the ANSI code page for text given in UTF-16, or empty when the
// code page cannot spell it.
std::string ToAnsi(const wchar_t* text)
{
    char bytes[MAX_PATH] = {};
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, 0, text, -1, bytes, MAX_PATH, nullptr, &lossy);
    return length > 0 && !lossy ? std::string(bytes) : std::string();
}

// Each test has a metafile to convert.
struct EpsOutputTest : PrintingTest {
    void SetUp() override
    {
        PrintingTest::SetUp();
        metafile = CreateTestMetafile(FRAME, CONTENT);
        ASSERT_NE(nullptr, metafile);
    }

    void TearDown() override
    {
        DeleteEnhMetaFile(metafile);
        PrintingTest::TearDown();
    }

    SourceImage Picture() const
    {
        return MetafileImage(metafile);
    }

    // The conversion over an existing EPS in outputFolder fails, and the
    // folder holds afterwards exactly what it held before.
    void ExpectFailureLeavesFolder(const std::string& outputFolder, const std::string& eps,
                                   const SourceImage& image)
    {
        const std::vector<FileState> before = SnapshotFolder(outputFolder);
        const std::string previous = ReadFileBytes(eps);
        EXPECT_EQ(JobStatus::EPS_NOT_WRITTEN, ConvertPicture(image, EPS_PRINTER, eps.c_str()))
            << "expected the conversion to " << eps << " to fail";
        EXPECT_EQ(previous, ReadFileBytes(eps)) << "expected " << eps << " left as it was";
        const std::vector<FileState> after = SnapshotFolder(outputFolder);
        EXPECT_TRUE(before == after) << "expected " << outputFolder << " to hold "
                                     << Describe(before) << ", got " << Describe(after);
    }

    HENHMETAFILE metafile = nullptr;
};

TEST_F(EpsOutputTest, EpsHeldOpenWithoutWriteSharing)
{
    const std::string eps = folder + "\\held.eps";
    ASSERT_TRUE(WriteFileBytes(eps, PREVIOUS_EPS));
    HANDLE viewer = CreateFileA(eps.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, viewer) << "expected to hold " << eps << " open";
    ExpectFailureLeavesFolder(folder, eps, Picture());
    CloseHandle(viewer);
}

TEST_F(EpsOutputTest, ReadOnlyEps)
{
    const std::string eps = folder + "\\read-only.eps";
    ASSERT_TRUE(WriteFileBytes(eps, PREVIOUS_EPS));
    ASSERT_TRUE(SetFileAttributesA(eps.c_str(), FILE_ATTRIBUTE_READONLY));
    ExpectFailureLeavesFolder(folder, eps, Picture());
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY),
              GetFileAttributesA(eps.c_str()) & FILE_ATTRIBUTE_READONLY)
        << "expected " << eps << " to stay read-only";
}

TEST_F(EpsOutputTest, MissingOutputFolder)
{
    const std::string missing = folder + "\\missing";
    EXPECT_EQ(JobStatus::EPS_NOT_WRITTEN,
              ConvertPicture(Picture(), EPS_PRINTER, (missing + "\\out.eps").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(missing.c_str()))
        << "expected no folder created at " << missing;
    EXPECT_TRUE(SnapshotFolder(folder).empty())
        << "expected nothing in " << folder << ", got " << Describe(SnapshotFolder(folder));
}

TEST_F(EpsOutputTest, ReadOnlyOutputFolder)
{
    const std::string why = VolumesUnavailable();
    if (!why.empty()) {
        GTEST_SKIP() << why;
    }
    const std::string readOnly = VolumesFolder() + "\\readonly";
    ExpectFailureLeavesFolder(readOnly, readOnly + "\\existing.eps", Picture());
}

TEST_F(EpsOutputTest, FullVolume)
{
    const std::string why = VolumesUnavailable();
    if (!why.empty()) {
        GTEST_SKIP() << why;
    }
    const std::string eps = std::string(FULL_VOLUME) + "existing.eps";
    ASSERT_TRUE(WriteFileBytes(eps, PREVIOUS_EPS)) << "expected to write " << eps;
    const TestDib dib = MakeInfoDib(FILLING_DIB_WIDTH, FILLING_DIB_HEIGHT, 24, 0, BI_RGB);
    const SourceImage image{nullptr, reinterpret_cast<const BITMAPINFO*>(dib.block.data()),
                            dib.block.size(), nullptr};
    ExpectFailureLeavesFolder(FULL_VOLUME, eps, image);
    // A picture whose EPS fits still converts there.
    EXPECT_TRUE(ConvertToEps(Picture(), EPS_PRINTER, eps.c_str())) << "expected " << eps;
    EXPECT_NE(PREVIOUS_EPS, ReadFileBytes(eps)) << "expected " << eps << " replaced";
    DeleteFileA(eps.c_str());
}

TEST_F(EpsOutputTest, MissingTemporaryFolder)
{
    const std::string eps = folder + "\\fig.eps";
    ASSERT_TRUE(WriteFileBytes(eps, PREVIOUS_EPS));
    const std::vector<FileState> before = SnapshotFolder(folder);
    EXPECT_EQ(JobStatus::NO_DRIVER_FILE,
              ConvertWithTempFolder(folder + "\\missing", Picture(), eps));
    EXPECT_TRUE(before == SnapshotFolder(folder)) << "expected " << folder << " untouched";
}

TEST_F(EpsOutputTest, UnwritableTemporaryFolder)
{
    const std::string why = VolumesUnavailable();
    if (!why.empty()) {
        GTEST_SKIP() << why;
    }
    const std::string readOnly = VolumesFolder() + "\\readonly";
    const std::string eps = folder + "\\fig.eps";
    ASSERT_TRUE(WriteFileBytes(eps, PREVIOUS_EPS));
    const std::vector<FileState> before = SnapshotFolder(readOnly);
    // The platform names a file there, but the spooler cannot write it.
    EXPECT_EQ(JobStatus::DOCUMENT_NOT_ENDED, ConvertWithTempFolder(readOnly, Picture(), eps));
    EXPECT_EQ(PREVIOUS_EPS, ReadFileBytes(eps)) << "expected " << eps << " left as it was";
    EXPECT_TRUE(before == SnapshotFolder(readOnly)) << "expected " << readOnly << " untouched";
}

// A path of exactly the platform's limit converts; one character more fails
// without writing anything, under that name or a shortened one.
TEST_F(EpsOutputTest, OutputPathAtAndPastTheLimit)
{
    const std::string prefix = folder + "\\";
    ASSERT_LT(prefix.size() + 8, PATH_LIMIT) << "expected room for a file name in " << prefix;
    const size_t nameLength = PATH_LIMIT - prefix.size();
    const std::string fits = prefix + std::string(nameLength - 4, 'f') + ".eps";
    ASSERT_EQ(PATH_LIMIT, fits.size());
    EXPECT_TRUE(ConvertToEps(Picture(), EPS_PRINTER, fits.c_str())) << "expected " << fits;
    EXPECT_TRUE(FileExists(fits)) << "expected the EPS at " << fits;

    const std::string tooLong = prefix + std::string(nameLength - 3, 'g') + ".eps";
    ASSERT_EQ(PATH_LIMIT + 1, tooLong.size());
    EXPECT_EQ(JobStatus::OUTPUT_PATH_TOO_LONG,
              ConvertPicture(Picture(), EPS_PRINTER, tooLong.c_str()));
    const std::vector<FileState> files = SnapshotFolder(folder);
    ASSERT_EQ(1u, files.size()) << "expected only the first EPS, got " << Describe(files);
    EXPECT_EQ(fits.substr(prefix.size()), files[0].name);
}

// The temporary folder's path converts while the driver's file name fits
// behind it, and fails cleanly past the limit.
TEST_F(EpsOutputTest, TemporaryFolderAtAndPastTheLimit)
{
    const std::string eps = folder + "\\fig.eps";
    const std::string deep = folder + "\\" + std::string(PATH_LIMIT - folder.size() - 20, 't');
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr)) << "expected to create " << deep;
    EXPECT_EQ(JobStatus::DONE, ConvertWithTempFolder(deep, Picture(), eps))
        << "expected TMP=" << deep;
    EXPECT_TRUE(ListFiles(deep, "*").empty()) << "expected no job file left in " << deep;

    const std::string tooDeep = folder + "\\" + std::string(PATH_LIMIT - folder.size(), 'u');
    ASSERT_GT(tooDeep.size(), PATH_LIMIT);
    ASSERT_TRUE(WriteFileBytes(eps, PREVIOUS_EPS));
    EXPECT_EQ(JobStatus::NO_DRIVER_FILE, ConvertWithTempFolder(tooDeep, Picture(), eps))
        << "expected TMP too long";
    EXPECT_EQ(PREVIOUS_EPS, ReadFileBytes(eps)) << "expected " << eps << " left as it was";
    RemoveDirectoryA(deep.c_str());
}

// A metafile read from a path at the limit converts like any other.
TEST_F(EpsOutputTest, MetafilePathAtTheLimit)
{
    const std::string prefix = folder + "\\";
    const std::string path = prefix + std::string(PATH_LIMIT - prefix.size() - 4, 'm') + ".emf";
    ASSERT_EQ(PATH_LIMIT, path.size());
    HENHMETAFILE copy = CopyEnhMetaFileA(metafile, path.c_str());
    ASSERT_NE(nullptr, copy) << "expected to write " << path;
    DeleteEnhMetaFile(copy);
    HENHMETAFILE loaded = GetEnhMetaFileA(path.c_str());
    ASSERT_NE(nullptr, loaded) << "expected to read " << path;
    const std::string eps = prefix + "from-long-name.eps";
    EXPECT_TRUE(ConvertToEps(MetafileImage(loaded), EPS_PRINTER, eps.c_str()));
    EXPECT_TRUE(FileExists(eps)) << "expected " << eps;
    DeleteEnhMetaFile(loaded);
}

// Names with letters of the ANSI code page beyond ASCII, spaces and several
// dots, in the folder and the file name; the other files of the folder,
// among them one named like the job's files, stay as they were.
TEST_F(EpsOutputTest, NamesBeyondAsciiWithSpacesAndDots)
{
    const std::string subfolder = ToAnsi(L"Bilder \u00e9\u00fc\u00df v1.2");
    const std::string name = ToAnsi(L"Grafik \u00e9 \u00fc \u00df.final.v2.eps");
    if (subfolder.empty() || name.empty()) {
        GTEST_SKIP() << "the ANSI code page " << GetACP() << " cannot spell the names";
    }
    const std::string names = PrepareOutputFolder(
        (::testing::UnitTest::GetInstance()->current_test_info()->name() + ("\\" + subfolder))
            .c_str());
    const std::string eps = names + "\\" + name;
    ASSERT_TRUE(WriteFileBytes(eps, PREVIOUS_EPS));
    ASSERT_TRUE(WriteFileBytes(names + "\\eps1.tmp", "another program's file"));
    ASSERT_TRUE(WriteFileBytes(names + "\\" + name + ".bak", PREVIOUS_EPS));
    std::vector<FileState> before = SnapshotFolder(names);

    EXPECT_TRUE(ConvertToEps(Picture(), EPS_PRINTER, eps.c_str())) << "expected " << eps;
    EXPECT_EQ(0u, ReadFileBytes(eps).find("%!PS-Adobe")) << "expected an EPS at " << eps;
    EXPECT_EQ(0u, GetFileAttributesA(eps.c_str()) & FILE_ATTRIBUTE_READONLY)
        << "expected the new EPS writable, so the next conversion can replace it";
    std::vector<FileState> after = SnapshotFolder(names);
    for (std::vector<FileState>* files : {&before, &after}) {
        files->erase(std::remove_if(files->begin(), files->end(),
                                    [&](const FileState& file) { return file.name == name; }),
                     files->end());
    }
    EXPECT_TRUE(before == after) << "expected the other files " << Describe(before) << ", got "
                                 << Describe(after);
    EXPECT_EQ(3u, SnapshotFolder(names).size()) << "expected no file added in " << names;
}

}  // namespace
