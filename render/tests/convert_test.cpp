#include "convert.h"

#include "eps_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr RECT WIDE_FRAME = {0, 0, 16000, 9000};
constexpr int32_t DIB_WIDTH = 37;
constexpr int32_t DIB_HEIGHT = 23;
constexpr int32_t BITMAP_WIDTH = DIB_WIDTH * 4;
constexpr int32_t BITMAP_HEIGHT = DIB_HEIGHT * 2;
// Where the job places each picture on the EPS printer's A4 page at 300 dpi,
// whose printable area is 2329 x 3358 pixels, and the box it then declares.
// WIDE_FRAME, 16000 x 9000: the width limits, 2329 x 1310 pixels.
constexpr RECT WIDE_FRAME_PLACEMENT = {0, 0, 2329, 1310};
constexpr char WIDE_FRAME_BOX_LINE[] = "%%BoundingBox: 13 506 584 832";
// The device area each box clips the drawing to: the box's edges taken
// inward to whole pixels by the page constants and by 300 dpi, less one.
constexpr RECT WIDE_FRAME_CLIP = {-19, -19, 2346, 1323};
// A DIB of 37 x 23 pixels: 2329 x 1447.
constexpr RECT DIB_PLACEMENT = {0, 0, 2329, 1447};
constexpr char DIB_BOX_LINE[] = "%%BoundingBox: 13 473 584 832";
constexpr RECT DIB_CLIP = {-19, -19, 2346, 1461};
// A bitmap of 148 x 46 pixels: 2329 x 723.
constexpr RECT BITMAP_PLACEMENT = {0, 0, 2329, 723};
constexpr char BITMAP_BOX_LINE[] = "%%BoundingBox: 13 648 584 832";
constexpr RECT BITMAP_CLIP = {-19, -19, 2346, 732};
constexpr int32_t LARGE_DIB_WIDTH = 1000;
constexpr int32_t LARGE_DIB_HEIGHT = 800;
// The box of a 0 x 0 placement on the A4 device: 10 points square around
// the printable area's top-left corner.
constexpr char TEN_POINT_BOX_LINE[] = "%%BoundingBox: 13 822 23 832";
// Files under the names the tick counts of a window ahead would give; the
// job starts a little way into the window.
constexpr DWORD SENTINEL_COUNT = 256;
constexpr DWORD SENTINEL_LEAD_MS = 3000;
constexpr DWORD SENTINEL_START_OFFSET_MS = 32;
constexpr DWORD TICK_NAME_MASK = 0xFFFF;
constexpr char SENTINEL_TEXT[] = "left here by another program";

struct ConvertToEpsTest : PrintingTest {
    std::string OutputPath(const char* name) const
    {
        return folder + "\\" + name;
    }
};

// The bitmap's width x height pixels stretched over the placement.
void BlitReferenceBitmap(HDC device, HBITMAP bitmap, int32_t width, int32_t height,
                         const RECT& placement)
{
    HDC memory = CreateCompatibleDC(device);
    SelectObject(memory, bitmap);
    StretchBlt(device, placement.left, placement.top, placement.right, placement.bottom, memory, 0,
               0, width, height, SRCCOPY);
    DeleteDC(memory);
}

// The pixels come from where the test put them, not from the job's layout.
void BlitReferenceDib(HDC device, const TestDib& dib)
{
    const auto* info = reinterpret_cast<const BITMAPINFO*>(dib.block.data());
    HBITMAP bitmap = CreateDIBitmap(device, &info->bmiHeader, CBM_INIT,
                                    dib.block.data() + dib.pixelOffset, info, DIB_RGB_COLORS);
    BlitReferenceBitmap(device, bitmap, DIB_WIDTH, DIB_HEIGHT, DIB_PLACEMENT);
    DeleteObject(bitmap);
}

std::string ShowLine(const std::vector<std::string>& lines, int index)
{
    return index >= 0 && static_cast<size_t>(index) < lines.size() ? lines[index] : "(no line)";
}

// The job converts the image into epsPath, and the EPS holds the driver's
// document for the reference drawing clipped to clip, byte for byte apart
// from line ends, the header line, the feature code and the box lines, and
// every box line is expectedBox.
void ExpectConvertedAsDrawn(const std::string& epsPath, const SourceImage& image,
                            const std::string& expectedBox, const RECT& clip,
                            const std::function<void(HDC device)>& drawReference)
{
    ASSERT_TRUE(ConvertToEps(image, EPS_PRINTER, epsPath.c_str()))
        << "expected " << epsPath << " to be written";
    const std::string referencePath = epsPath + ".driver";
    ASSERT_TRUE(PrintClippedReference(EPS_PRINTER, referencePath, clip, drawReference))
        << "expected the reference print";
    bool epsCrLf = false;
    bool referenceCrLf = false;
    const std::vector<std::string> eps = SplitLines(ReadFileBytes(epsPath), &epsCrLf);
    const std::vector<std::string> reference =
        SplitLines(ReadFileBytes(referencePath), &referenceCrLf);
    EXPECT_TRUE(epsCrLf) << "expected every line of " << epsPath << " to end in CR LF";
    const std::vector<std::string> boxes = BoxLines(eps);
    EXPECT_EQ(BoxLines(reference).size(), boxes.size())
        << "expected as many box lines as the driver wrote";
    ASSERT_FALSE(boxes.empty()) << "expected at least one box line in " << epsPath;
    for (const std::string& line : boxes) {
        EXPECT_EQ(expectedBox, line);
    }
    const std::vector<std::string> expectedLines = OtherLines(AsEncapsulated(reference));
    const std::vector<std::string> actualLines = OtherLines(eps);
    const int difference = FirstDifference(expectedLines, actualLines);
    EXPECT_EQ(-1, difference) << "line " << difference << " (of " << expectedLines.size()
                              << "): expected \"" << ShowLine(expectedLines, difference)
                              << "\", got \"" << ShowLine(actualLines, difference) << "\"";
}

// The DIB is DIB_WIDTH x DIB_HEIGHT pixels.
void ConvertDibAndCompare(const std::string& epsPath, const TestDib& dib)
{
    ExpectConvertedAsDrawn(epsPath, TestDibImage(dib), DIB_BOX_LINE, DIB_CLIP,
                           [&](HDC device) { BlitReferenceDib(device, dib); });
}

TEST_F(ConvertToEpsTest, DeviceReportsA4At300Dpi)
{
    const DeviceMetrics metrics = ReadPrinterMetrics(EPS_PRINTER);
    EXPECT_EQ(A4_AT_300_DPI.physicalWidth, metrics.physicalWidth);
    EXPECT_EQ(A4_AT_300_DPI.physicalHeight, metrics.physicalHeight);
    EXPECT_EQ(A4_AT_300_DPI.physicalOffsetX, metrics.physicalOffsetX);
    EXPECT_EQ(A4_AT_300_DPI.physicalOffsetY, metrics.physicalOffsetY);
}

TEST_F(ConvertToEpsTest, MetafileBecomesDriverDocumentWithComputedBox)
{
    HENHMETAFILE metafile = CreateTestMetafile(WIDE_FRAME, WHOLE_CONTENT);
    ASSERT_NE(nullptr, metafile);
    ExpectConvertedAsDrawn(
        OutputPath("metafile.eps"), MetafileImage(metafile), WIDE_FRAME_BOX_LINE, WIDE_FRAME_CLIP,
        [&](HDC device) { PlayEnhMetaFile(device, metafile, &WIDE_FRAME_PLACEMENT); });
    DeleteEnhMetaFile(metafile);
}

TEST_F(ConvertToEpsTest, IndexedDibsWithFullTables)
{
    for (uint16_t bitCount : {uint16_t{1}, uint16_t{4}, uint16_t{8}}) {
        SCOPED_TRACE(::testing::Message() << bitCount << " bits, biClrUsed 0");
        const std::string eps = OutputPath(("full" + std::to_string(bitCount) + ".eps").c_str());
        ConvertDibAndCompare(eps, MakeInfoDib(DIB_WIDTH, DIB_HEIGHT, bitCount, 0, BI_RGB));
    }
}

TEST_F(ConvertToEpsTest, IndexedDibsWithShorterTables)
{
    const struct {
        uint16_t bitCount;
        uint32_t clrUsed;
    } cases[] = {{1, 1}, {4, 5}, {8, 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.bitCount << " bits, biClrUsed " << c.clrUsed);
        const std::string eps = OutputPath(("short" + std::to_string(c.bitCount) + ".eps").c_str());
        ConvertDibAndCompare(eps,
                             MakeInfoDib(DIB_WIDTH, DIB_HEIGHT, c.bitCount, c.clrUsed, BI_RGB));
    }
}

TEST_F(ConvertToEpsTest, TrueColourDibs)
{
    const struct {
        const char* name;
        int32_t height;
        uint16_t bitCount;
        uint32_t compression;
    } cases[] = {{"rgb24.eps", DIB_HEIGHT, 24, BI_RGB},
                 {"topdown24.eps", -DIB_HEIGHT, 24, BI_RGB},
                 {"bitfields32.eps", DIB_HEIGHT, 32, BI_BITFIELDS}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ConvertDibAndCompare(OutputPath(c.name),
                             MakeInfoDib(DIB_WIDTH, c.height, c.bitCount, 0, c.compression));
    }
}

TEST_F(ConvertToEpsTest, CoreHeaderDib)
{
    ConvertDibAndCompare(
        OutputPath("core8.eps"),
        MakeCoreDib(static_cast<uint16_t>(DIB_WIDTH), static_cast<uint16_t>(DIB_HEIGHT), 8));
}

TEST_F(ConvertToEpsTest, DeviceBitmapIsDrawnAndKept)
{
    HBITMAP bitmap = CreateTestDeviceBitmap(BITMAP_WIDTH, BITMAP_HEIGHT);
    ASSERT_NE(nullptr, bitmap);
    ExpectConvertedAsDrawn(OutputPath("bitmap.eps"), BitmapImage(bitmap), BITMAP_BOX_LINE,
                           BITMAP_CLIP, [&](HDC device) {
                               BlitReferenceBitmap(device, bitmap, BITMAP_WIDTH, BITMAP_HEIGHT,
                                                   BITMAP_PLACEMENT);
                           });
    BITMAP description = {};
    EXPECT_EQ(static_cast<int>(sizeof description),
              GetObjectA(bitmap, sizeof description, &description))
        << "expected the caller's bitmap to outlive the job";
    DeleteObject(bitmap);
}

// The metafile with its frame's top and bottom changed: an inverted frame.
HENHMETAFILE WithFrame(HENHMETAFILE metafile, const RECTL& frame)
{
    const UINT size = GetEnhMetaFileBits(metafile, 0, nullptr);
    std::vector<BYTE> bytes(size);
    GetEnhMetaFileBits(metafile, size, bytes.data());
    reinterpret_cast<ENHMETAHEADER*>(bytes.data())->rclFrame = frame;
    return SetEnhMetaFileBits(size, bytes.data());
}

// The painting operators of the page's body, after its set-up, one a line.
std::vector<std::string> PaintingOperators(const std::string& eps)
{
    static const char* const painting[] = {"fill",  "eofill",     "stroke",
                                           "image", "colorimage", "imagemask",
                                           "show",  "glyphshow",  "rectfill"};
    bool crLf = false;
    const std::vector<std::string> lines = SplitLines(eps, &crLf);
    std::vector<std::string> found;
    bool inBody = false;
    for (const std::string& line : lines) {
        inBody = inBody || line == "%%EndPageSetup";
        const std::string last = line.substr(line.find_last_of(' ') + 1);
        if (inBody &&
            std::find(std::begin(painting), std::end(painting), last) != std::end(painting)) {
            found.push_back(line);
        }
    }
    return found;
}

// A frame whose top lies below its bottom (18,744,516 wide, -250,454,299
// high) places the picture 2329 pixels wide and -31118 high, so the box's
// lly lies above its ury: a box that encloses nothing, in which nothing is
// drawn. The same picture upright is drawn.
TEST_F(ConvertToEpsTest, InvertedFrameDrawsNothing)
{
    HENHMETAFILE picture = CreateTestMetafile(WIDE_FRAME, WHOLE_CONTENT);
    ASSERT_NE(nullptr, picture);
    HENHMETAFILE inverted = WithFrame(picture, RECTL{0, 250454299, 18744516, 0});
    HENHMETAFILE upright = WithFrame(picture, RECTL{0, 0, 18744516, 250454299});
    ASSERT_NE(nullptr, inverted);
    ASSERT_NE(nullptr, upright);
    const std::string invertedEps = OutputPath("inverted.eps");
    const std::string uprightEps = OutputPath("upright.eps");
    EXPECT_TRUE(ConvertToEps(MetafileImage(inverted), EPS_PRINTER, invertedEps.c_str()));
    EXPECT_TRUE(ConvertToEps(MetafileImage(upright), EPS_PRINTER, uprightEps.c_str()));
    EXPECT_TRUE(HasBoundingBox(invertedEps, "%%BoundingBox: 13 8318 584 832"));
    const std::vector<std::string> drawn = PaintingOperators(ReadFileBytes(invertedEps));
    EXPECT_TRUE(drawn.empty()) << "expected nothing drawn in " << invertedEps << ", found "
                               << drawn.size() << " painting lines, the first: "
                               << (drawn.empty() ? "" : drawn.front());
    EXPECT_FALSE(PaintingOperators(ReadFileBytes(uprightEps)).empty())
        << "expected the upright picture drawn in " << uprightEps;
    DeleteEnhMetaFile(upright);
    DeleteEnhMetaFile(inverted);
    DeleteEnhMetaFile(picture);
}

TEST_F(ConvertToEpsTest, SameFrameWithDifferentContentIsPlacedIdentically)
{
    HENHMETAFILE small = CreateTestMetafile(WIDE_FRAME, RECT{400, 400, 600, 600});
    HENHMETAFILE large = CreateTestMetafile(WIDE_FRAME, WHOLE_CONTENT);
    ASSERT_NE(nullptr, small);
    ASSERT_NE(nullptr, large);
    ENHMETAHEADER smallHeader = {};
    ENHMETAHEADER largeHeader = {};
    GetEnhMetaFileHeader(small, sizeof smallHeader, &smallHeader);
    GetEnhMetaFileHeader(large, sizeof largeHeader, &largeHeader);
    EXPECT_LT(smallHeader.rclBounds.right - smallHeader.rclBounds.left,
              largeHeader.rclBounds.right - largeHeader.rclBounds.left)
        << "expected the two metafiles' content bounds to differ";
    const std::string smallEps = OutputPath("small.eps");
    const std::string largeEps = OutputPath("large.eps");
    EXPECT_TRUE(ConvertToEps(MetafileImage(small), EPS_PRINTER, smallEps.c_str()));
    EXPECT_TRUE(ConvertToEps(MetafileImage(large), EPS_PRINTER, largeEps.c_str()));
    EXPECT_TRUE(HasBoundingBox(smallEps, WIDE_FRAME_BOX_LINE));
    EXPECT_TRUE(HasBoundingBox(largeEps, WIDE_FRAME_BOX_LINE));
    DeleteEnhMetaFile(small);
    DeleteEnhMetaFile(large);
}

// The driver of a printer whose PPD selects the paper writes setpagedevice;
// the EPS leaves it out and is the same as the EPS printer's. The one
// setpagedevice left is the guard's, which makes it do nothing.
TEST_F(ConvertToEpsTest, LeavesOutThePrintersPageDeviceCode)
{
    ASSERT_TRUE(InstallTestPrinter(SETPAGE_PRINTER, TEST_PPD_PRINTER));
    HENHMETAFILE metafile = CreateTestMetafile(WIDE_FRAME, WHOLE_CONTENT);
    const std::string driverPath = OutputPath("setpage-printer.driver");
    const std::string epsPath = OutputPath("eps-printer.eps");
    const std::string setpagePath = OutputPath("setpage-printer.eps");
    ASSERT_TRUE(PrintReference(SETPAGE_PRINTER, driverPath, [](HDC device) {
        Rectangle(device, 0, 0, 100, 100);
    })) << "expected the reference print to start";
    EXPECT_NE(std::string::npos, ReadFileBytes(driverPath).find("setpagedevice"))
        << "expected setpagedevice from the driver of the printer whose PPD asks for it";
    EXPECT_TRUE(ConvertToEps(MetafileImage(metafile), EPS_PRINTER, epsPath.c_str()));
    EXPECT_TRUE(ConvertToEps(MetafileImage(metafile), SETPAGE_PRINTER, setpagePath.c_str()));
    const std::string setpageEps = ReadFileBytes(setpagePath);
    const std::string guardLine = "\r\n/setpagedevice {pop} def\r\n";
    const size_t guard = setpageEps.find(guardLine);
    EXPECT_NE(std::string::npos, guard) << "expected the guard in " << setpagePath;
    EXPECT_EQ(guard + 3, setpageEps.find("setpagedevice"))
        << "expected no setpagedevice before the guard in " << setpagePath;
    EXPECT_EQ(std::string::npos, setpageEps.find("setpagedevice", guard + guardLine.size()))
        << "expected no setpagedevice after the guard in " << setpagePath;
    EXPECT_TRUE(ReadFileBytes(epsPath) == setpageEps)
        << "expected " << setpagePath << " to be the same as " << epsPath;
    DeleteEnhMetaFile(metafile);
}

TEST_F(ConvertToEpsTest, SecondConversionRewritesTheOutput)
{
    HENHMETAFILE metafile = CreateTestMetafile(WIDE_FRAME, WHOLE_CONTENT);
    const std::string eps = OutputPath("again.eps");
    ASSERT_TRUE(WriteFileBytes(eps, std::string(1 << 20, 'x')));
    EXPECT_TRUE(ConvertToEps(MetafileImage(metafile), EPS_PRINTER, eps.c_str()));
    const std::string first = ReadFileBytes(eps);
    EXPECT_TRUE(ConvertToEps(MetafileImage(metafile), EPS_PRINTER, eps.c_str()));
    EXPECT_EQ(first, ReadFileBytes(eps)) << "expected the same EPS from the same picture";
    EXPECT_EQ(std::string::npos, first.find("xxxx")) << "expected the old content truncated";
    DeleteEnhMetaFile(metafile);
}

// The job refuses for the reason expected and writes nothing.
void ExpectRefused(JobStatus reason, const SourceImage& image, const char* printer,
                   const char* output)
{
    EXPECT_EQ(reason, ConvertPicture(image, printer, output));
    EXPECT_FALSE(ConvertToEps(image, printer, output));
    if (output != nullptr && output[0] != '\0') {
        EXPECT_FALSE(FileExists(output)) << "expected no file at " << output;
    }
}

TEST_F(ConvertToEpsTest, FailsWithoutPictureOrOutputPath)
{
    HENHMETAFILE metafile = CreateTestMetafile(WIDE_FRAME, WHOLE_CONTENT);
    ExpectRefused(JobStatus::NO_PICTURE, SourceImage{}, EPS_PRINTER,
                  OutputPath("none.eps").c_str());
    ExpectRefused(JobStatus::NO_OUTPUT_PATH, MetafileImage(metafile), EPS_PRINTER, nullptr);
    ExpectRefused(JobStatus::NO_OUTPUT_PATH, MetafileImage(metafile), EPS_PRINTER, "");
    EXPECT_TRUE(ListFiles(folder, "*").empty()) << "expected nothing written in " << folder;
    DeleteEnhMetaFile(metafile);
}

TEST_F(ConvertToEpsTest, FailsForUnknownOrEmptyPrinterName)
{
    HENHMETAFILE metafile = CreateTestMetafile(WIDE_FRAME, WHOLE_CONTENT);
    ExpectRefused(JobStatus::NO_DEVICE, MetafileImage(metafile), "No Such PostScript Printer",
                  OutputPath("unknown.eps").c_str());
    ExpectRefused(JobStatus::NO_PRINTER_NAME, MetafileImage(metafile), "",
                  OutputPath("empty.eps").c_str());
    ExpectRefused(JobStatus::NO_PRINTER_NAME, MetafileImage(metafile), nullptr,
                  OutputPath("null.eps").c_str());
    DeleteEnhMetaFile(metafile);
}

TEST_F(ConvertToEpsTest, FailsForUnreadableMetafileHeader)
{
    HENHMETAFILE metafile = CreateTestMetafile(WIDE_FRAME, WHOLE_CONTENT);
    DeleteEnhMetaFile(metafile);  // the handle no longer names a metafile
    ExpectRefused(JobStatus::NO_METAFILE_HEADER, MetafileImage(metafile), EPS_PRINTER,
                  OutputPath("stale.eps").c_str());
}

TEST_F(ConvertToEpsTest, FailsForDibRefusedByLayout)
{
    TestDib dib = MakeInfoDib(DIB_WIDTH, DIB_HEIGHT, 8, 0, BI_RGB);
    SourceImage image = TestDibImage(dib);
    image.packedDibSize -= 1;  // the last row reaches past the block
    ExpectRefused(JobStatus::DIB_REFUSED_BY_LAYOUT, image, EPS_PRINTER,
                  OutputPath("short.eps").c_str());
    image.packedDibSize = dib.pixelOffset - 1;  // the table reaches past it
    ExpectRefused(JobStatus::DIB_REFUSED_BY_LAYOUT, image, EPS_PRINTER,
                  OutputPath("table.eps").c_str());
}

TEST_F(ConvertToEpsTest, UnreadableBitmapDescriptionGivesTenPointBox)
{
    HBITMAP bitmap = CreateTestDeviceBitmap(DIB_WIDTH, DIB_HEIGHT);
    DeleteObject(bitmap);  // GetObjectA can no longer describe it
    const std::string eps = OutputPath("empty-bitmap.eps");
    EXPECT_TRUE(ConvertToEps(BitmapImage(bitmap), EPS_PRINTER, eps.c_str()));
    EXPECT_TRUE(HasBoundingBox(eps, TEN_POINT_BOX_LINE));
}

// Files stand under every name a tick count could give while the job starts:
// a name formed from the tick count would be one of them. The job must
// neither overwrite nor delete any.
TEST_F(ConvertToEpsTest, TemporaryFileNeverTakesAnExistingName)
{
    const std::string temp = TempFolder();
    const DWORD windowStart = GetTickCount() + SENTINEL_LEAD_MS;
    std::vector<std::string> sentinels;
    for (DWORD i = 0; i < SENTINEL_COUNT; ++i) {
        char name[MAX_PATH] = {};
        wsprintfA(name, "%seps%X.TMP", temp.c_str(), (windowStart + i) & TICK_NAME_MASK);
        ASSERT_TRUE(WriteFileBytes(name, SENTINEL_TEXT)) << "expected to write " << name;
        sentinels.emplace_back(name);
    }
    const DWORD jobStart = windowStart + SENTINEL_START_OFFSET_MS;
    ASSERT_LT(GetTickCount(), jobStart) << "expected the files written before the window opens";
    while (GetTickCount() < jobStart) {
        Sleep(1);
    }
    HENHMETAFILE metafile = CreateTestMetafile(WIDE_FRAME, WHOLE_CONTENT);
    const std::string eps = OutputPath("unique.eps");
    EXPECT_TRUE(ConvertToEps(MetafileImage(metafile), EPS_PRINTER, eps.c_str()));
    EXPECT_TRUE(FileExists(eps));
    size_t intact = 0;
    for (const std::string& sentinel : sentinels) {
        intact += ReadFileBytes(sentinel) == SENTINEL_TEXT ? 1 : 0;
        DeleteFileA(sentinel.c_str());
    }
    EXPECT_EQ(sentinels.size(), intact) << "expected every existing eps*.tmp file untouched";
    DeleteEnhMetaFile(metafile);
}

// The spooler keeps each job's data in its spool folder; with a file in the
// folder's place, StartDocA fails.
TEST_F(ConvertToEpsTest, FailedDocumentStartFails)
{
    char spool[MAX_PATH] = {};
    GetSystemDirectoryA(spool, sizeof spool);
    lstrcatA(spool, "\\spool\\printers");
    const std::string movedSpool = std::string(spool) + ".away";
    HENHMETAFILE metafile = CreateTestMetafile(WIDE_FRAME, WHOLE_CONTENT);
    const std::string eps = OutputPath("no-document.eps");
    ASSERT_TRUE(WriteFileBytes(eps, "previous EPS"));
    ASSERT_TRUE(MoveFileA(spool, movedSpool.c_str())) << "expected to move " << spool;
    const bool blocked = WriteFileBytes(spool, "not a folder");
    HDC device = CreateDCA(nullptr, EPS_PRINTER, nullptr, nullptr);
    const std::string probe = OutputPath("probe.ps");
    DOCINFOA document = {sizeof document, "probe", probe.c_str(), nullptr, 0};
    const int probeStart = StartDocA(device, &document);
    DeleteDC(device);
    const JobStatus status = ConvertPicture(MetafileImage(metafile), EPS_PRINTER, eps.c_str());
    DeleteFileA(spool);
    const bool restored = MoveFileA(movedSpool.c_str(), spool) != 0;

    ASSERT_TRUE(blocked) << "expected a file in place of " << spool;
    ASSERT_TRUE(restored) << "expected " << spool << " restored";
    EXPECT_GE(0, probeStart) << "expected StartDocA to fail without a spool folder";
    EXPECT_EQ(JobStatus::DOCUMENT_NOT_STARTED, status);
    EXPECT_EQ("previous EPS", ReadFileBytes(eps)) << "expected the existing output untouched";
    DeleteEnhMetaFile(metafile);
}

// Takes hold of the first job file that appears in the folder, open for
// reading and shared only with readers: the spooler cannot write the
// driver's document there, while the rewrite can still read the file.
void HoldNewJobFiles(const std::string& folder, const std::atomic<bool>& stop,
                     std::vector<HANDLE>& held)
{
    while (!stop && held.empty()) {
        for (const std::string& name : ListFiles(folder, "eps*.tmp")) {
            HANDLE file = CreateFileA((folder + "\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                held.push_back(file);
            }
        }
    }
}

// The temporary folder is one of the test's own, where another thread takes
// hold of the job's file as soon as it is created: the driver's document
// never reaches it, the spooler refuses to end the document, and the job
// must not turn the empty file into an EPS.
TEST_F(ConvertToEpsTest, DriverWritingNothingLeavesExistingOutput)
{
    const std::string jobFolder = PrepareOutputFolder("JobTemp");
    const std::string eps = OutputPath("nothing-written.eps");
    ASSERT_TRUE(WriteFileBytes(eps, "previous EPS"));
    // A picture large enough that the job takes a while between creating its
    // file and ending the document.
    const TestDib dib = MakeInfoDib(LARGE_DIB_WIDTH, LARGE_DIB_HEIGHT, 24, 0, BI_RGB);
    char savedTmp[MAX_PATH] = {};
    const bool hadTmp = GetEnvironmentVariableA("TMP", savedTmp, sizeof savedTmp) != 0;
    SetEnvironmentVariableA("TMP", jobFolder.c_str());

    std::atomic<bool> stop{false};
    std::vector<HANDLE> held;
    std::thread holder(HoldNewJobFiles, std::cref(jobFolder), std::cref(stop), std::ref(held));
    const JobStatus status = ConvertPicture(TestDibImage(dib), EPS_PRINTER, eps.c_str());
    stop = true;
    holder.join();
    SetEnvironmentVariableA("TMP", hadTmp ? savedTmp : nullptr);

    EXPECT_FALSE(held.empty()) << "expected the job's file in " << jobFolder;
    std::string jobFileContent;
    for (HANDLE file : held) {
        CloseHandle(file);
    }
    for (const std::string& name : ListFiles(jobFolder, "eps*.tmp")) {
        jobFileContent += ReadFileBytes(jobFolder + "\\" + name);
        DeleteFileA((jobFolder + "\\" + name).c_str());
    }
    EXPECT_EQ("", jobFileContent) << "expected the driver's document kept out of the job's file";
    EXPECT_EQ(JobStatus::DOCUMENT_NOT_ENDED, status)
        << "expected the spooler to refuse to end a document it could not write";
    EXPECT_EQ("previous EPS", ReadFileBytes(eps)) << "expected the existing output untouched";
}

// A printer whose driver writes no PostScript ("Microsoft Print to PDF",
// the XPS writer, a PCL printer) gives the job a document that it refuses:
// the job's hand-over writes no EPS, leaves an existing one as it was and
// leaves no file of its own in the folder.
TEST_F(ConvertToEpsTest, DriverDocumentThatIsNotPostScriptIsRefused)
{
    const struct {
        const char* name;
        std::string bytes;
    } documents[] = {
        {"PDF", "%PDF-1.7\r\n%\xe2\xe3\xcf\xd3\r\n1 0 obj\r\n<< /Type /Catalog >>\r\nendobj\r\n"},
        {"XPS", std::string("PK\x03\x04\x14\x00\x00\x00\x08\x00[Content_Types].xml", 30)},
        {"PCL XL",
         "\x1b%-12345X@PJL JOB\r\n@PJL ENTER LANGUAGE=PCLXL\r\n) HP-PCL XL;3;0;\r\n\xd1X\x02"},
        {"empty", ""},
    };
    const std::string driverFile = OutputPath("driver-document.bin");
    const std::string eps = OutputPath("kept.eps");
    const std::string missing = OutputPath("never.eps");
    const BoundingBox box{13, 506, 584, 832};
    for (const auto& document : documents) {
        ASSERT_TRUE(WriteFileBytes(driverFile, document.bytes));
        ASSERT_TRUE(WriteFileBytes(eps, "previous EPS"));
        EXPECT_EQ(JobStatus::DOCUMENT_NOT_POSTSCRIPT,
                  WriteEpsFile(driverFile.c_str(), eps.c_str(), box))
            << document.name;
        EXPECT_EQ("previous EPS", ReadFileBytes(eps)) << document.name;
        EXPECT_EQ(JobStatus::DOCUMENT_NOT_POSTSCRIPT,
                  WriteEpsFile(driverFile.c_str(), missing.c_str(), box))
            << document.name;
        EXPECT_FALSE(FileExists(missing)) << document.name << ": expected no file at " << missing;
        std::vector<std::string> files = ListFiles(folder, "*");
        std::sort(files.begin(), files.end());
        EXPECT_EQ((std::vector<std::string>{"driver-document.bin", "kept.eps"}), files)
            << document.name << ": expected no staged file left in " << folder;
    }
}

// Another program holds the output open without sharing: the rewrite cannot
// open it, and the file keeps its content.
TEST_F(ConvertToEpsTest, FailedRewriteLeavesExistingOutput)
{
    HENHMETAFILE metafile = CreateTestMetafile(WIDE_FRAME, WHOLE_CONTENT);
    const std::string eps = OutputPath("locked.eps");
    ASSERT_TRUE(WriteFileBytes(eps, "previous EPS"));
    HANDLE lock = CreateFileA(eps.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock) << "expected to hold " << eps << " open";
    EXPECT_EQ(JobStatus::EPS_NOT_WRITTEN,
              ConvertPicture(MetafileImage(metafile), EPS_PRINTER, eps.c_str()));
    CloseHandle(lock);
    EXPECT_EQ("previous EPS", ReadFileBytes(eps)) << "expected the existing output untouched";
    const std::string missingFolder = OutputPath("missing\\out.eps");
    ExpectRefused(JobStatus::EPS_NOT_WRITTEN, MetafileImage(metafile), EPS_PRINTER,
                  missingFolder.c_str());
    DeleteEnhMetaFile(metafile);
}

}  // namespace
