// Real metafiles and bitmaps written by other programs, metafiles that draw
// outside their frame, and damaged pictures: each converts with the box of
// its frame or size and nothing drawn outside it, or converts nothing, and
// never brings the program down. Ghostscript then reads the EPS files these
// tests leave in their output folders (check_consumers.sh).
#include "convert.h"
#include "driver/inspection.h"
#include "playback/backdrop.h"

#include "metafile_mutator.h"
#include "raster_reference.h"
#include "test_printer.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
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

// Real bitmap files (see NOTICE.md beside them), most of them malformed on
// purpose, and what the job makes of each handed over as a packed DIB.
struct RealBitmap {
    const char* name;
    JobStatus status;
    const char* boxLine;  // where it converts
};
constexpr RealBitmap REAL_BITMAPS[] = {
    // An OS/2 core header, an info header, version 5 headers (one with
    // masks that overlap).
    {"pal8os2.bmp", JobStatus::DONE, "%%BoundingBox: 13 539 584 832"},
    {"Info_8_Bit.bmp", JobStatus::DONE, "%%BoundingBox: 13 261 584 832"},
    {"V5_A1_R5_G5_B5.bmp", JobStatus::DONE, "%%BoundingBox: 13 261 584 832"},
    {"V5_A8_R8_G8_B8_Rgb_BadMask.bmp", JobStatus::DONE, "%%BoundingBox: 13 261 584 832"},
    // Run-length pixels, whole and damaged: runs past the row, past the
    // last row, cut short; and indices past the colour table.
    {"pal4rle.bmp", JobStatus::DONE, "%%BoundingBox: 13 539 584 832"},
    {"pal4rlecut.bmp", JobStatus::DONE, "%%BoundingBox: 13 539 584 832"},
    {"badrle.bmp", JobStatus::DONE, "%%BoundingBox: 13 539 584 832"},
    {"imagemagick_invalid_run_length_issue_2321.bmp", JobStatus::DONE,
     "%%BoundingBox: 13 328 584 832"},
    {"hopper_rle8_row_overflow.bmp", JobStatus::DONE, "%%BoundingBox: 13 261 584 832"},
    {"pal8badindex.bmp", JobStatus::DONE, "%%BoundingBox: 13 539 584 832"},
    // Refused before the platform reads them: run-length pixels that claim
    // more bytes than there are, or rows top-down; sizes past the block;
    // impossible planes, bit counts and widths.
    {"rle_overflow.bmp", JobStatus::DIB_REFUSED_BY_LAYOUT, nullptr},
    {"rletopdown.bmp", JobStatus::DIB_REFUSED_BY_LAYOUT, nullptr},
    {"reallybig.bmp", JobStatus::DIB_REFUSED_BY_LAYOUT, nullptr},
    {"shortfile.bmp", JobStatus::DIB_REFUSED_BY_LAYOUT, nullptr},
    {"l2rgb_read.bmp", JobStatus::DIB_REFUSED_BY_LAYOUT, nullptr},
    {"badplanes.bmp", JobStatus::DIB_REFUSED_BY_LAYOUT, nullptr},
    {"badbitcount.bmp", JobStatus::DIB_REFUSED_BY_LAYOUT, nullptr},
    {"badwidth.bmp", JobStatus::DIB_REFUSED_BY_LAYOUT, nullptr},
    // 16-bit pixels whose masks leave blue no bits: the platform makes no
    // bitmap of them.
    {"rgb16-880.bmp", JobStatus::DIB_REFUSED_BY_PLATFORM, nullptr},
};
constexpr size_t BMP_FILE_HEADER_SIZE = 14;

// A 50 x 50 mm frame, drawn far beyond: a square on the page's width, at
// 2329 x 2329 pixels.
constexpr RECT SMALL_FRAME = {0, 0, 5000, 5000};
constexpr char SMALL_FRAME_BOX_LINE[] = "%%BoundingBox: 13 261 584 832";
constexpr int BEYOND = 2000;  // reference-device pixels around the frame

// Seeds of the mutated metafiles: the first few dozen of the soak run, and
// the mutants that once crashed it or held it past the hour (a clip region
// of 413,183 rectangles that GDI+ made under a flattened transform).
constexpr uint64_t MUTANT_SEEDS = 36;
// And the first dozen of the seeds that also make box-shaped records and
// points at INT_MIN.
constexpr uint64_t SHAPE_SEEDS_FROM = 1000000;
constexpr uint64_t SHAPE_SEEDS = 12;
struct Mutant {
    const char* source;
    uint64_t seed;
};
constexpr Mutant CRASHING_MUTANTS[] = {
    {"63327.emf", 819},      {"plus\\test-emf-plus.emf", 3103},
    {"test-2.emf", 2008342}, {"test-2.emf", 2019681},
    {"test-2.emf", 3013396}, {"plus\\test-emf-plus.emf", 4014913}};

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

// Ghostscript renders the EPS files left here, each drawn inside its box.
TEST_F(RealMetafilesTest, RealBitmapsConvertOrAreRefusedByName)
{
    for (const RealBitmap& real : REAL_BITMAPS) {
        const std::string bytes =
            ReadFileBytes(std::string(VELLUMARK_BMP_DATA_DIR) + "\\" + real.name);
        ASSERT_LT(BMP_FILE_HEADER_SIZE, bytes.size()) << "expected to read " << real.name;
        const std::vector<uint8_t> dib(bytes.begin() + BMP_FILE_HEADER_SIZE, bytes.end());
        const std::string eps = folder + "\\" + real.name + ".eps";
        const JobStatus status = ConvertPicture(
            PackedDibImage(reinterpret_cast<const BITMAPINFO*>(dib.data()), dib.size()),
            EPS_PRINTER, eps.c_str());
        EXPECT_EQ(real.status, status)
            << "expected " << real.name << " to end with status " << static_cast<int>(real.status)
            << ", got " << static_cast<int>(status);
        if (real.boxLine != nullptr) {
            EXPECT_TRUE(HasOnlyBoxLine(eps, real.boxLine)) << real.name;
        } else {
            EXPECT_FALSE(FileExists(eps)) << "expected nothing written for " << real.name;
        }
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

// A picture recorded against the printer, with blits that read the page,
// so that the job plays it on a backdrop first, under an anisotropic map
// and a world transform scaled by a quarter and then by four; before them,
// a 280-byte comment.
constexpr RECT BLITS_FRAME = {2712, 469, 22715, 13584};
constexpr char BLITS_BOX_LINE[] = "%%BoundingBox: 13 454 584 832";
constexpr UINT COMMENT_DATA_BYTES = 268;

HENHMETAFILE CreateBlitsAfterComment()
{
    HDC printer = CreateDCA(nullptr, EPS_PRINTER, nullptr, nullptr);
    HDC recorder = CreateEnhMetaFileA(printer, nullptr, &BLITS_FRAME, nullptr);
    DeleteDC(printer);
    HDC source = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(recorder, 16, 16);
    HGDIOBJ previous = SelectObject(source, bitmap);
    PatBlt(source, 0, 0, 16, 16, BLACKNESS);
    SetMapMode(recorder, MM_ANISOTROPIC);
    SetWindowExtEx(recorder, 4531, 2971, nullptr);
    SetViewportOrgEx(recorder, 641, 112, nullptr);
    SetViewportExtEx(recorder, 4719, 3094, nullptr);
    SetGraphicsMode(recorder, GM_ADVANCED);
    const XFORM quarter = {0.25f, 0, 0, 0.25f, 0, 0};
    const XFORM four = {4, 0, 0, 4, 0, 0};
    SetWorldTransform(recorder, &quarter);
    ModifyWorldTransform(recorder, &four, MWT_LEFTMULTIPLY);
    const std::vector<BYTE> comment(COMMENT_DATA_BYTES, 0x5A);
    GdiComment(recorder, COMMENT_DATA_BYTES, comment.data());
    StretchBlt(recorder, 100, 100, 2000, 1500, source, 0, 0, 16, 16, SRCAND);
    BitBlt(recorder, 2500, 100, 1000, 1000, source, 0, 0, SRCINVERT);
    SelectObject(source, previous);
    DeleteObject(bitmap);
    DeleteDC(source);
    return CloseEnhMetaFile(recorder);
}

std::vector<uint8_t> MetafileBits(HENHMETAFILE metafile)
{
    const UINT size = GetEnhMetaFileBits(metafile, 0, nullptr);
    std::vector<uint8_t> bytes(size);
    GetEnhMetaFileBits(metafile, size, bytes.data());
    return bytes;
}

// The offset of the first record of this type; the metafile's size when
// there is none.
size_t FindRecord(const std::vector<uint8_t>& bytes, DWORD type)
{
    size_t at = 0;
    while (at < bytes.size()) {
        const auto* record = reinterpret_cast<const ENHMETARECORD*>(bytes.data() + at);
        if (record->iType == type) {
            return at;
        }
        at += record->nSize;
    }
    return at;
}

// The comment's type byte turned into ARC: an arc record of the comment's
// 280 bytes, whose box reaches 1.4 billion pixels down the page, and whose
// second radial point lies at the least 32-bit coordinate.
std::vector<uint8_t> TurnCommentIntoFarArc(std::vector<uint8_t> bytes)
{
    const size_t at = FindRecord(bytes, EMR_GDICOMMENT);
    EMRARC arc = {};
    arc.emr = {EMR_ARC, static_cast<DWORD>(sizeof(EMR) + 4 + ((COMMENT_DATA_BYTES + 3) & ~3u))};
    arc.rclBox = {268, 1397800000, 16426, 36};
    arc.ptlStart = {24, 1065353216};
    arc.ptlEnd = {INT_MIN, INT_MIN};
    std::memcpy(bytes.data() + at, &arc, sizeof arc);
    return bytes;
}

// A flood fill, then an ALPHABLEND record laid out as a BITBLT with no
// source bitmap, and a blit that inverts the page, in the frame.
std::vector<uint8_t> CreateFloodFillBeforeBlend(const RECTL& frame)
{
    HDC recorder = CreateEnhMetaFileA(nullptr, nullptr, &SMALL_FRAME, nullptr);
    ExtFloodFill(recorder, 10, 20, 0x12345678, FLOODFILLBORDER);
    BitBlt(recorder, 0, 0, 100, 100, nullptr, 0, 0, PATCOPY);
    PatBlt(recorder, 0, 0, 100, 100, DSTINVERT);
    HENHMETAFILE recorded = CloseEnhMetaFile(recorder);
    std::vector<uint8_t> bytes = MetafileBits(recorded);
    DeleteEnhMetaFile(recorded);
    reinterpret_cast<ENHMETAHEADER*>(bytes.data())->rclFrame = frame;
    const size_t blit = FindRecord(bytes, EMR_BITBLT);
    reinterpret_cast<ENHMETARECORD*>(bytes.data() + blit)->iType = EMR_ALPHABLEND;
    return bytes;
}

// Damaged pictures that once ended the process on their backdrop (the arc
// in the platform's raster arc code, the flood fill of an inverted frame
// on a stack it overflowed), each with blits that need the backdrop: each
// converts with the box of its frame. The flood fill also comes in frames
// the right way up, one far taller than wide and one of the page's shape.
TEST_F(RealMetafilesTest, DamagedPicturesOnTheBackdropConvert)
{
    HENHMETAFILE blits = CreateBlitsAfterComment();
    ASSERT_NE(nullptr, blits);
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* boxLine;
    } cases[] = {
        {"far-arc", TurnCommentIntoFarArc(MetafileBits(blits)), BLITS_BOX_LINE},
        {"flood-fill-inverted", CreateFloodFillBeforeBlend({0, 514898743, 18744516, 264444444}),
         "%%BoundingBox: 13 8318 584 832"},
        {"flood-fill-tall", CreateFloodFillBeforeBlend({0, 264444444, 18744516, 514898743}),
         "%%BoundingBox: 13 13 84 832"},
        {"flood-fill-page", CreateFloodFillBeforeBlend({0, 0, 19700, 27800}),
         "%%BoundingBox: 13 30 584 832"},
    };
    DeleteEnhMetaFile(blits);
    for (const auto& c : cases) {
        HENHMETAFILE metafile =
            SetEnhMetaFileBits(static_cast<UINT>(c.bytes.size()), c.bytes.data());
        ASSERT_NE(nullptr, metafile) << c.name;
        EXPECT_FALSE(InspectMetafile(c.bytes.data(), c.bytes.size(), 0).backdropBlits.empty())
            << c.name << ": expected a blit that needs the backdrop";
        const std::string eps = folder + "\\" + c.name + ".eps";
        EXPECT_TRUE(ConvertToEps(MetafileImage(metafile), EPS_PRINTER, eps.c_str()))
            << "expected " << c.name << " to convert";
        EXPECT_TRUE(HasOnlyBoxLine(eps, c.boxLine)) << c.name;
        DeleteEnhMetaFile(metafile);
    }
}

// A picture placed 31118 pixels high, far below the page's 3508, with a
// blit that reads the page at its top and another at its bottom: the
// backdrop keeps the first, and nothing below the page.
TEST_F(RealMetafilesTest, BackdropReachesNoFartherThanThePage)
{
    const RECT tallFrame = {0, 0, 18744516, 250454299};
    HDC recorder = CreateEnhMetaFileA(nullptr, nullptr, &tallFrame, nullptr);
    ASSERT_NE(nullptr, recorder);
    const int across = GetDeviceCaps(recorder, HORZRES) * 100 / GetDeviceCaps(recorder, HORZSIZE);
    const int down = GetDeviceCaps(recorder, VERTRES) * 100 / GetDeviceCaps(recorder, VERTSIZE);
    const int right = static_cast<int>(int64_t{tallFrame.right} * across / 10000);
    const int bottom = static_cast<int>(int64_t{tallFrame.bottom} * down / 10000);
    PatBlt(recorder, 0, 0, right / 10, bottom / 100, DSTINVERT);
    PatBlt(recorder, 0, bottom - bottom / 100, right / 10, bottom / 100, DSTINVERT);
    HENHMETAFILE metafile = CloseEnhMetaFile(recorder);
    ASSERT_NE(nullptr, metafile);
    const std::vector<uint8_t> bytes = MetafileBits(metafile);
    const MetafileInspection inspection = InspectMetafile(bytes.data(), bytes.size(), 0);
    ASSERT_EQ(2u, inspection.backdropBlits.size()) << "expected both blits to need the backdrop";
    HDC device = CreateDCA(nullptr, EPS_PRINTER, nullptr, nullptr);
    ASSERT_NE(nullptr, device);
    const RECT target = {0, 0, 2329, 31118};
    const BackdropTiles tiles = MakeBackdrop(device, metafile, inspection, target);
    const RECT& top = tiles.at(inspection.backdropBlits[0].offset).area;
    const RECT& below = tiles.at(inspection.backdropBlits[1].offset).area;
    EXPECT_TRUE(top.left == 0 && top.top == 0 && top.right > 0 && top.bottom > 0)
        << "expected the top blit kept from the origin, got (" << top.left << ", " << top.top
        << ")-(" << top.right << ", " << top.bottom << ")";
    EXPECT_TRUE(IsRectEmpty(&below))
        << "expected nothing kept below the page, got (" << below.left << ", " << below.top << ")-("
        << below.right << ", " << below.bottom << ")";
    DeleteDC(device);
    DeleteEnhMetaFile(metafile);
}

// Damaged copies of the real metafiles, as the soak run makes them: each
// converts or is refused, and the process lives on.
// Text of glyph indices in bold Arial: a capital A, then three indices
// past the glyphs of the font that stands for it here. The PostScript
// driver read past the font's tables for them and brought the process down
// (soak seed 5,016,923, a clip region read as several such texts).
void DrawGlyphsPastTheFont(HDC recorder, SIZE)
{
    LOGFONTA description = {};
    description.lfHeight = -40;
    description.lfWeight = FW_BOLD;
    std::strcpy(description.lfFaceName, "Arial");
    HFONT font = CreateFontIndirectA(&description);
    HGDIOBJ previous = SelectObject(recorder, font);
    const WORD glyphs[] = {36, 2704, 3000, 0xFFF0};
    ExtTextOutW(recorder, 20, 20, ETO_GLYPH_INDEX, nullptr, reinterpret_cast<LPCWSTR>(glyphs), 4,
                nullptr);
    SelectObject(recorder, previous);
    DeleteObject(font);
}

TEST_F(RealMetafilesTest, GlyphsPastTheFontAreDrawnAsTheMissingGlyph)
{
    HENHMETAFILE metafile = RecordMetafile(RECT{0, 0, 4000, 2000}, DrawGlyphsPastTheFont);
    ASSERT_NE(nullptr, metafile);
    const std::string eps = folder + "\\glyphs.eps";
    EXPECT_TRUE(ConvertToEps(MetafileImage(metafile), EPS_PRINTER, eps.c_str()))
        << "expected the picture converted";
    DeleteEnhMetaFile(metafile);
    const std::string written = ReadFileBytes(eps);
    EXPECT_EQ(1u, CountOf(written, "/A glyphshow")) << "expected the capital A";
    EXPECT_EQ(3u, CountOf(written, "/.notdef glyphshow")) << "expected three missing glyphs";
}

TEST_F(RealMetafilesTest, MutatedMetafilesConvertOrAreRefused)
{
    std::vector<Mutant> mutants(std::begin(CRASHING_MUTANTS), std::end(CRASHING_MUTANTS));
    for (uint64_t seed = 0; seed < MUTANT_SEEDS; ++seed) {
        mutants.push_back({REAL_METAFILES[seed % std::size(REAL_METAFILES)].name, seed});
    }
    for (uint64_t seed = SHAPE_SEEDS_FROM; seed < SHAPE_SEEDS_FROM + SHAPE_SEEDS; ++seed) {
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
