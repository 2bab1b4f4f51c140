// Writes EPS files into known folders of the build for the consumer checks
// (check_consumers.sh), which run natively after this test: Ghostscript,
// epstopdf, LibreOffice and LaTeX with dvips read them as users' tools
// would. Each printer's files go to a folder of its own: "eps" for the
// printer whose PPD writes no page-device code, "printer" for the one whose
// PPD writes setpagedevice. A synthetic picture's file name says which side
// of the box limits it.
#include "convert.h"

#include "test_printer.h"
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

struct ConsumerPrinter {
    const char* folder;
    const char* name;
    TestPpd ppd;
};

constexpr ConsumerPrinter CONSUMER_PRINTERS[] = {
    {"eps", EPS_PRINTER, TEST_PPD_EPS},
    {"printer", SETPAGE_PRINTER, TEST_PPD_PRINTER},
};

// Real metafiles of other programs (see NOTICE.md beside them) that
// Ghostscript can read through Wine's driver.
constexpr const char* REAL_METAFILE_NAMES[] = {"wrench.emf", "drawing.emf", "SimpleEMF_windows.emf",
                                               "nested_wmf.emf"};

void ExpectConverted(const SourceImage& image, const char* printerName, const std::string& path)
{
    EXPECT_TRUE(ConvertToEps(image, printerName, path.c_str()))
        << "expected " << path << " to be written";
}

void WriteMetafileEps(const char* printerName, const std::string& path, const RECT& frame)
{
    HENHMETAFILE metafile = CreateTestMetafile(frame, WHOLE_CONTENT);
    ASSERT_NE(nullptr, metafile);
    ExpectConverted(MetafileImage(metafile), printerName, path);
    DeleteEnhMetaFile(metafile);
}

void WriteRealMetafileEps(const char* printerName, const std::string& folder, const char* name)
{
    const std::string source = std::string(VELLUMARK_EMF_DATA_DIR) + "\\" + name;
    HENHMETAFILE metafile = GetEnhMetaFileA(source.c_str());
    ASSERT_NE(nullptr, metafile) << "expected to load " << source;
    ExpectConverted(MetafileImage(metafile), printerName, folder + "\\" + name + ".eps");
    DeleteEnhMetaFile(metafile);
}

// Dark pixels up to every edge, as the bbox device leaves white ones out.
void WriteDibEps(const char* printerName, const std::string& path)
{
    TestDib dib = MakeInfoDib(DIB_WIDTH, DIB_HEIGHT, 24, 0, BI_RGB);
    std::fill(dib.block.begin() + static_cast<std::ptrdiff_t>(dib.pixelOffset), dib.block.end(),
              DARK_GREY);
    ExpectConverted(TestDibImage(dib), printerName, path);
}

TEST(ConsumerFiles, WritesEpsFilesForConsumers)
{
    RemoveAllPrinters();
    PrepareOutputFolder("WritesEpsFilesForConsumers");
    for (const ConsumerPrinter& printer : CONSUMER_PRINTERS) {
        ASSERT_TRUE(InstallTestPrinter(printer.name, printer.ppd))
            << "expected to install " << printer.name;
        const std::string folder = PrepareOutputFolder(
            ("WritesEpsFilesForConsumers\\" + std::string(printer.folder)).c_str());
        WriteMetafileEps(printer.name, folder + "\\right-limited-metafile.eps", WIDE_FRAME);
        WriteMetafileEps(printer.name, folder + "\\bottom-limited-metafile.eps", TALL_FRAME);
        WriteDibEps(printer.name, folder + "\\right-limited-dib.eps");
        for (const char* name : REAL_METAFILE_NAMES) {
            WriteRealMetafileEps(printer.name, folder, name);
        }
        EXPECT_EQ(3u + std::size(REAL_METAFILE_NAMES), ListFiles(folder, "*.eps").size())
            << "expected every EPS file in " << folder;
    }
    RemoveAllPrinters();
}

}  // namespace
