// Real metafiles written by other programs, metafiles that draw outside
// their frame, and damaged metafiles: each converts with the box of its
// frame and nothing drawn outside it, or converts nothing, and never brings
// the program down. Ghostscript then reads the EPS files these tests leave
// in their output folders (check_consumers.sh ghostscript_inside).
#include "convert.h"

#include "metafile_mutator.h"
#include "test_printer.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct RealMetafile {
    const char* name;
    const char* boxLine;  // for its frame on Wine's A4 page at 300 dpi
};

// The real metafiles of the record check's tests (see NOTICE.md beside them).
constexpr RealMetafile REAL_METAFILES[] = {
    {"63327.emf", "%%BoundingBox: 13 138 584 832"},
    {"SimpleEMF_windows.emf", "%%BoundingBox: 13 403 584 832"},
    {"drawing.emf", "%%BoundingBox: 13 261 584 832"},
    {"nested_wmf.emf", "%%BoundingBox: 13 416 584 832"},
    {"test-2.emf", "%%BoundingBox: 13 425 584 832"},
    {"vector_image.emf", "%%BoundingBox: 13 363 584 832"},
    {"wrench.emf", "%%BoundingBox: 13 483 584 832"},
};
// A metafile whose record chain breaks: a record claims 4294902055 bytes.
constexpr char BROKEN_CHAIN_METAFILE[] = "bad\\61294.emf";

// A 50 x 50 mm frame, drawn far beyond: a square on the page's width, at
// 2329 x 2329 pixels.
constexpr RECT SMALL_FRAME = {0, 0, 5000, 5000};
constexpr char SMALL_FRAME_BOX_LINE[] = "%%BoundingBox: 13 261 584 832";
constexpr int BEYOND = 2000;  // reference-device pixels around the frame

// Seeds of the mutated metafiles: the first few dozen of the soak run, and
// the mutants that once crashed it.
constexpr uint64_t MUTANT_SEEDS = 36;
struct Mutant {
    const char* source;
    uint64_t seed;
};
constexpr Mutant CRASHING_MUTANTS[] = {{"63327.emf", 819}, {"plus\\test-emf-plus.emf", 3103}};

std::string DataPath(const char* name)
{
    return std::string(VELLUMARK_EMF_DATA_DIR) + "\\" + name;
}

std::vector<uint8_t> ReadMetafileBytes(const char* name)
{
    const std::string bytes = ReadFileBytes(DataPath(name));
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

::testing::AssertionResult HasOnlyBoxLine(const std::string& eps, const std::string& expected)
{
    bool crLf = false;
    const std::vector<std::string> boxes = BoxLines(SplitLines(ReadFileBytes(eps), &crLf));
    if (boxes.empty()) {
        return ::testing::AssertionFailure() << "expected a box line in " << eps;
    }
    for (const std::string& line : boxes) {
        if (line != expected) {
            return ::testing::AssertionFailure()
                   << "expected \"" << expected << "\", got \"" << line << "\" in " << eps;
        }
    }
    return ::testing::AssertionSuccess();
}

// A metafile with the small frame that fills a square far beyond it, after
// whatever the steps do to the recording context's clipping and state.
HENHMETAFILE CreateOverflowingMetafile(void (*steps)(HDC recorder))
{
    HDC recorder = CreateEnhMetaFileA(nullptr, nullptr, &SMALL_FRAME, nullptr);
    if (recorder == nullptr) {
        return nullptr;
    }
    steps(recorder);
    SelectObject(recorder, GetStockObject(BLACK_BRUSH));
    Rectangle(recorder, -BEYOND, -BEYOND, BEYOND, BEYOND);
    return CloseEnhMetaFile(recorder);
}

using RealMetafilesTest = PrintingTest;

TEST_F(RealMetafilesTest, ConvertWithTheBoxOfTheirFrame)
{
    for (const RealMetafile& real : REAL_METAFILES) {
        HENHMETAFILE metafile = GetEnhMetaFileA(DataPath(real.name).c_str());
        ASSERT_NE(nullptr, metafile) << "expected to load " << real.name;
        const std::string eps = folder + "\\" + real.name + ".eps";
        EXPECT_TRUE(ConvertToEps(MetafileImage(metafile), EPS_PRINTER, eps.c_str()))
            << "expected " << real.name << " to convert";
        EXPECT_TRUE(HasOnlyBoxLine(eps, real.boxLine));
        DeleteEnhMetaFile(metafile);
    }
}

TEST_F(RealMetafilesTest, BrokenRecordChainConvertsNothing)
{
    const std::vector<uint8_t> bytes = ReadMetafileBytes(BROKEN_CHAIN_METAFILE);
    HENHMETAFILE metafile = SetEnhMetaFileBits(static_cast<UINT>(bytes.size()), bytes.data());
    ASSERT_NE(nullptr, metafile) << "expected the platform to load the metafile's header";
    const std::string eps = folder + "\\broken.eps";
    EXPECT_EQ(JobStatus::RECORD_CHAIN_BROKEN,
              ConvertPicture(MetafileImage(metafile), EPS_PRINTER, eps.c_str()));
    EXPECT_FALSE(FileExists(eps)) << "expected nothing written at " << eps;
    DeleteEnhMetaFile(metafile);
}

// Whatever the metafile does to its own clipping, it draws inside the box;
// Ghostscript checks the drawn extent of the files left here.
TEST_F(RealMetafilesTest, DrawingBeyondTheFrameStaysInsideTheBox)
{
    const struct {
        const char* name;
        void (*steps)(HDC recorder);
    } cases[] = {
        {"no-clipping", [](HDC) {}},
        {"clipping-reset", [](HDC recorder) { SelectClipRgn(recorder, nullptr); }},
        {"own-clip-beyond",
         [](HDC recorder) {
             HRGN wide = CreateRectRgn(-BEYOND, -BEYOND, BEYOND, BEYOND);
             SelectClipRgn(recorder, wide);
             SetMetaRgn(recorder);
             DeleteObject(wide);
         }},
        {"restore-before-start",
         [](HDC recorder) {
             SaveDC(recorder);
             RestoreDC(recorder, -1);
             RestoreDC(recorder, -1);
             RestoreDC(recorder, 1);
         }},
    };
    for (const auto& c : cases) {
        HENHMETAFILE metafile = CreateOverflowingMetafile(c.steps);
        ASSERT_NE(nullptr, metafile) << c.name;
        const std::string eps = folder + "\\" + c.name + ".eps";
        EXPECT_TRUE(ConvertToEps(MetafileImage(metafile), EPS_PRINTER, eps.c_str()))
            << "expected " << c.name << " to convert";
        EXPECT_TRUE(HasOnlyBoxLine(eps, SMALL_FRAME_BOX_LINE)) << c.name;
        DeleteEnhMetaFile(metafile);
    }
}

// Damaged copies of the real metafiles, as the soak run makes them: each
// converts or is refused, and the process lives on.
TEST_F(RealMetafilesTest, MutatedMetafilesConvertOrAreRefused)
{
    std::vector<Mutant> mutants(std::begin(CRASHING_MUTANTS), std::end(CRASHING_MUTANTS));
    for (uint64_t seed = 0; seed < MUTANT_SEEDS; ++seed) {
        mutants.push_back({REAL_METAFILES[seed % std::size(REAL_METAFILES)].name, seed});
    }
    const std::string eps = folder + "\\mutant.eps";
    for (const auto& [source, seed] : mutants) {
        const std::vector<uint8_t> bytes = MutateMetafile(ReadMetafileBytes(source), seed);
        HENHMETAFILE metafile = SetEnhMetaFileBits(static_cast<UINT>(bytes.size()), bytes.data());
        if (metafile == nullptr) {
            continue;
        }
        if (ConvertToEps(MetafileImage(metafile), EPS_PRINTER, eps.c_str())) {
            bool crLf = false;
            EXPECT_FALSE(BoxLines(SplitLines(ReadFileBytes(eps), &crLf)).empty())
                << "seed " << seed << ": expected an EPS with a box line";
        } else {
            EXPECT_FALSE(FileExists(eps)) << "seed " << seed << ": expected no EPS when refused";
        }
        DeleteFileA(eps.c_str());
        DeleteEnhMetaFile(metafile);
    }
}

}  // namespace
