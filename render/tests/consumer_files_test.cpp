// Writes EPS files into a known folder of the build for the consumer checks
// (check_consumers.sh), which run natively after this test: Ghostscript's
// bbox device, epstopdf and pdftoppm read them as users' tools would. The
// file name says which side of the box limits the picture.
#include "convert.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>

namespace {

constexpr RECT WIDE_FRAME = {0, 0, 16000, 9000};
constexpr RECT TALL_FRAME = {0, 0, 5000, 12000};
constexpr int32_t DIB_WIDTH = 300;
constexpr int32_t DIB_HEIGHT = 200;
constexpr uint8_t DARK_GREY = 0x30;

void WriteMetafileEps(const std::string& path, const RECT& frame)
{
    HENHMETAFILE metafile = CreateTestMetafile(frame, WHOLE_CONTENT);
    ASSERT_NE(nullptr, metafile);
    EXPECT_TRUE(ConvertToEps(SourceImage{metafile, nullptr, 0, nullptr}, EPS_PRINTER, path.c_str()))
        << "expected " << path << " to be written";
    DeleteEnhMetaFile(metafile);
}

TEST(ConsumerFiles, WritesEpsFilesForConsumers)
{
    RemoveAllPrinters();
    ASSERT_TRUE(InstallTestPrinter(EPS_PRINTER, TEST_PPD_EPS));
    const std::string folder = PrepareOutputFolder("WritesEpsFilesForConsumers");
    WriteMetafileEps(folder + "\\right-limited-metafile.eps", WIDE_FRAME);
    WriteMetafileEps(folder + "\\bottom-limited-metafile.eps", TALL_FRAME);
    // Dark pixels up to every edge, as the bbox device leaves white ones out.
    TestDib dib = MakeInfoDib(DIB_WIDTH, DIB_HEIGHT, 24, 0, BI_RGB);
    std::fill(dib.block.begin() + static_cast<std::ptrdiff_t>(dib.pixelOffset), dib.block.end(),
              DARK_GREY);
    const std::string dibPath = folder + "\\right-limited-dib.eps";
    EXPECT_TRUE(
        ConvertToEps(SourceImage{nullptr, reinterpret_cast<const BITMAPINFO*>(dib.block.data()),
                                 dib.block.size(), nullptr},
                     EPS_PRINTER, dibPath.c_str()))
        << "expected " << dibPath << " to be written";
    EXPECT_EQ(3u, ListFiles(folder, "*.eps").size()) << "expected three EPS files in " << folder;
    RemoveAllPrinters();
}

}  // namespace
