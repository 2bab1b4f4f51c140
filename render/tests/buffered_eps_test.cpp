// The EPS file is written in large buffered writes and flushed once before
// it is moved into place; it must hold exactly the bytes of a copy that goes
// out line by line, flushed after each line, through the streaming rewrite.
#include "bench_pictures.h"
#include "convert.h"
#include "eps/bbox_rewrite.h"
#include "print_job.h"

#include "test_printer.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

// The driver's document for the picture, rewritten through the streaming
// interface into a stream that is flushed after every line.
std::string CopyLineByLine(const SourceImage& image, const std::string& driverFile)
{
    const DrawnBox printed = PrintToFile(image, EPS_PRINTER, driverFile.c_str());
    if (printed.status != JobStatus::DONE) {
        return {};
    }
    const std::string document = ReadFileBytes(driverFile);
    std::ostringstream copy;
    BoxRewrite rewrite;
    BeginBoxRewrite(rewrite, copy, printed.box);
    FeedBoxRewrite(rewrite, document.data(), document.size());
    FinishBoxRewrite(rewrite);
    DeleteFileA(driverFile.c_str());
    return copy.str();
}

::testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual)
{
    if (expected == actual) {
        return ::testing::AssertionSuccess();
    }
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) {
        ++at;
    }
    return ::testing::AssertionFailure() << "expected " << expected.size() << " bytes, got "
                                         << actual.size() << "; first difference at byte " << at;
}

struct BufferedEpsTest : PrintingTest {
    void ExpectSameAsLineByLine(const SourceImage& image)
    {
        const std::string eps = folder + "\\picture.eps";
        ASSERT_TRUE(ConvertToEps(image, EPS_PRINTER, eps.c_str())) << "expected " << eps;
        const std::string lineByLine = CopyLineByLine(image, folder + "\\driver.ps");
        ASSERT_FALSE(lineByLine.empty()) << "expected the driver's document";
        EXPECT_TRUE(SameBytes(lineByLine, ReadFileBytes(eps)));
    }
};

TEST_F(BufferedEpsTest, BenchmarkPicturesAreTheSameByteForByte)
{
    HENHMETAFILE small = CreateSmallMetafile();
    ExpectSameAsLineByLine(MetafileImage(small));
    DeleteEnhMetaFile(small);

    HENHMETAFILE many = CreateManyRecordMetafile();
    ExpectSameAsLineByLine(MetafileImage(many));
    DeleteEnhMetaFile(many);

    const std::vector<uint8_t> dib = CreateLargeDib();
    ExpectSameAsLineByLine(
        PackedDibImage(reinterpret_cast<const BITMAPINFO*>(dib.data()), dib.size()));
}

}  // namespace
