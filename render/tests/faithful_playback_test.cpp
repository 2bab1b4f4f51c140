// The driver's document for what the job draws itself: the same on every
// run, and, for pictures that need nothing drawn for the driver, exactly
// what the driver writes when the platform plays the picture on it.
#include "print_job.h"

#include "bench_pictures.h"
#include "raster_reference.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Where the job places each picture on the EPS printer's A4 page at 300 dpi
// (the width limits every one: 2329 pixels across), the device area it
// clips the drawing to, and the box the EPS declares.
// A frame of 16000 x 9000: box 13 506 584 832.
constexpr RECT WIDE_PLACEMENT = {0, 0, 2329, 1310};
constexpr RECT WIDE_CLIP = {-19, -19, 2346, 1323};
// 63327.emf, a frame of 1107 x 1350: box 13 138 584 832.
constexpr RECT TALL_PLACEMENT = {0, 0, 2329, 2840};
constexpr RECT TALL_CLIP = {-19, -19, 2346, 2857};
// wrench.emf, a frame of 5938 x 3594: box 13 483 584 832.
constexpr RECT WRENCH_PLACEMENT = {0, 0, 2329, 1409};
constexpr RECT WRENCH_CLIP = {-19, -19, 2346, 1419};

std::string RealMetafilePath(const std::string& name)
{
    return std::string(VELLUMARK_EMF_DATA_DIR) + "\\" + name;
}

::testing::AssertionResult SameLines(const std::string& expectedPath, const std::string& actualPath)
{
    bool crLf = false;
    const std::vector<std::string> expected = SplitLines(ReadFileBytes(expectedPath), &crLf);
    const std::vector<std::string> actual = SplitLines(ReadFileBytes(actualPath), &crLf);
    if (expected.empty()) {
        return ::testing::AssertionFailure() << "expected a document at " << expectedPath;
    }
    const int difference = FirstDifference(expected, actual);
    if (difference < 0) {
        return ::testing::AssertionSuccess();
    }
    const auto line = [&](const std::vector<std::string>& lines) {
        return static_cast<size_t>(difference) < lines.size() ? lines[difference] : "(none)";
    };
    return ::testing::AssertionFailure() << actualPath << " line " << difference << ": expected \""
                                         << line(expected) << "\", got \"" << line(actual) << "\"";
}

using FaithfulPlaybackTest = PrintingTest;

TEST_F(FaithfulPlaybackTest, EveryRealMetafilePrintsTheSameTwice)
{
    const std::vector<std::string> names = ListFiles(VELLUMARK_EMF_DATA_DIR, "*.emf");
    ASSERT_GE(names.size(), 7u) << "expected the real metafiles in " << VELLUMARK_EMF_DATA_DIR;
    for (const std::string& name : names) {
        HENHMETAFILE metafile = GetEnhMetaFileA(RealMetafilePath(name).c_str());
        ASSERT_NE(nullptr, metafile) << name;
        const std::string first = folder + "\\" + name + ".1.ps";
        const std::string second = folder + "\\" + name + ".2.ps";
        EXPECT_EQ(JobStatus::DONE,
                  PrintToFile(MetafileImage(metafile), EPS_PRINTER, first.c_str()).status)
            << name;
        EXPECT_EQ(JobStatus::DONE,
                  PrintToFile(MetafileImage(metafile), EPS_PRINTER, second.c_str()).status)
            << name;
        EXPECT_TRUE(SameLines(first, second));
        DeleteEnhMetaFile(metafile);
    }
}

// Pictures of shapes, text, bitmaps and many records that the driver draws
// as the platform's raster playback does, played as the platform defines
// them (wrench.emf's extended pen made from its record).
TEST_F(FaithfulPlaybackTest, PicturesTheDriverDrawsRightAreHandedToItAsTheyStand)
{
    const struct {
        const char* name;
        HENHMETAFILE metafile;
        RECT placement;
        RECT clip;
    } pictures[] = {
        {"test-picture", CreateTestMetafile(RECT{0, 0, 16000, 9000}, WHOLE_CONTENT), WIDE_PLACEMENT,
         WIDE_CLIP},
        {"small", CreateSmallMetafile(), WIDE_PLACEMENT, WIDE_CLIP},
        {"many-records", CreateManyRecordMetafile(), WIDE_PLACEMENT, WIDE_CLIP},
        {"63327.emf", GetEnhMetaFileA(RealMetafilePath("63327.emf").c_str()), TALL_PLACEMENT,
         TALL_CLIP},
        {"wrench.emf", GetEnhMetaFileA(RealMetafilePath("wrench.emf").c_str()), WRENCH_PLACEMENT,
         WRENCH_CLIP},
    };
    for (const auto& picture : pictures) {
        ASSERT_NE(nullptr, picture.metafile) << picture.name;
        const std::string job = folder + "\\" + picture.name + ".ps";
        const std::string reference = job + ".driver";
        EXPECT_EQ(JobStatus::DONE,
                  PrintToFile(MetafileImage(picture.metafile), EPS_PRINTER, job.c_str()).status)
            << picture.name;
        ASSERT_TRUE(PrintClippedReference(EPS_PRINTER, reference, picture.clip, [&](HDC device) {
            PlayMetafileAsDefined(device, picture.metafile, picture.placement);
        })) << picture.name;
        EXPECT_TRUE(SameLines(reference, job));
        DeleteEnhMetaFile(picture.metafile);
    }
}

int CALLBACK NoteFound(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found)
{
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// Whether a font of that face name is installed.
bool IsInstalled(HDC dc, const char* face)
{
    LOGFONTA wanted = {};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    EnumFontFamiliesExA(dc, &wanted, NoteFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

// How wide a line of text is in the face, with pitch and family left 0 as
// many pictures leave them.
SIZE TextWidth(HDC dc, const char* face)
{
    constexpr char SAMPLE[] = "The quick brown fox jumps over the lazy dog, 0123456789.";
    LOGFONTA font = {};
    font.lfHeight = -200;
    lstrcpynA(font.lfFaceName, face, LF_FACESIZE);
    HFONT made = CreateFontIndirectA(&font);
    HGDIOBJ previous = SelectObject(dc, made);
    SIZE size = {};
    GetTextExtentPoint32A(dc, SAMPLE, sizeof SAMPLE - 1, &size);
    SelectObject(dc, previous);
    DeleteObject(made);
    return size;
}

// The Wine prefixes the scripts make stand metric-compatible fonts in for
// the faces that pictures name most, so that text keeps the widths its
// picture spaced it for.
TEST(FontReplacements, FacesPicturesNameTakeTheWidthsOfTheirStandIns)
{
    const struct {
        const char* face;
        const char* standIn;
    } faces[] = {
        {"Arial", "Liberation Sans"},
        {"Times New Roman", "Liberation Serif"},
        {"Courier New", "Liberation Mono"},
        {"Calibri", "Carlito"},
        {"Cambria", "Caladea"},
    };
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(nullptr, dc);
    for (const auto& f : faces) {
        EXPECT_TRUE(IsInstalled(dc, f.standIn)) << "expected " << f.standIn << " installed";
        const SIZE expected = TextWidth(dc, f.standIn);
        const SIZE actual = TextWidth(dc, f.face);
        EXPECT_EQ(expected.cx, actual.cx) << f.face << ": expected the width of " << f.standIn;
    }
    DeleteDC(dc);
}

}  // namespace
