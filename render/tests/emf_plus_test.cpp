// Pictures whose drawing lives in EMF+ records: real metafiles, and ones
// GDI+ records here, EMF+ only and dual. Each converts with the box the GDI
// path gives a metafile of the same frame; Ghostscript then reads the EPS
// files left in the output folder (check_consumers.sh ghostscript_drawn):
// each renders without error, is not blank, and draws inside its box.
#include "convert.h"

#include "emf_plus_pictures.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The real metafiles with EMF+ records (see NOTICE.md beside them): one
// EMF+ only, and two dual ones that GDI keeps drawing; each with the box
// that a GDI picture of its frame gets, its width taking the printable
// area's 2329 pixels.
const struct {
    const char* file;
    const char* boxLine;
} REAL_EMF_PLUS_METAFILES[] = {
    {"plus\\test-emf-plus.emf", "%%BoundingBox: 13 425 584 832"},  // 29699 x 20999
    {"SimpleEMF_windows.emf", "%%BoundingBox: 13 403 584 832"},    // 2163 x 1617
    {"nested_wmf.emf", "%%BoundingBox: 13 416 584 832"},           // 13787 x 9977
};
// The recorded pictures' frame, 80 x 50 mm, and its box: 2329 x 1455 pixels.
constexpr RECT RECORDED_FRAME = {0, 0, 8000, 5000};
constexpr char RECORDED_BOX_LINE[] = "%%BoundingBox: 13 471 584 832";

std::string FirstBoxLine(const std::string& path)
{
    bool crLf = false;
    const std::vector<std::string> boxes = BoxLines(SplitLines(ReadFileBytes(path), &crLf));
    return boxes.empty() ? "no box line" : boxes.front();
}

void ExpectConvertsWithBox(const std::string& folder, const std::string& name,
                           HENHMETAFILE metafile, const char* boxLine)
{
    ASSERT_NE(nullptr, metafile) << "expected a metafile for " << name;
    const std::string eps = folder + "\\" + name + ".eps";
    EXPECT_TRUE(ConvertToEps(MetafileImage(metafile), EPS_PRINTER, eps.c_str()))
        << "expected " << name << " to convert";
    EXPECT_EQ(boxLine, FirstBoxLine(eps)) << name;
}

using EmfPlusTest = PrintingTest;

TEST_F(EmfPlusTest, ConvertWithTheBoxOfTheGdiPath)
{
    for (const auto& real : REAL_EMF_PLUS_METAFILES) {
        const std::string file = real.file;
        HENHMETAFILE metafile = GetEnhMetaFileA((VELLUMARK_EMF_DATA_DIR "\\" + file).c_str());
        const std::string name = file.substr(file.rfind('\\') + 1);
        ExpectConvertsWithBox(folder, name, metafile, real.boxLine);
        DeleteEnhMetaFile(metafile);
    }
    for (EmfPlusKind kind : {EmfPlusKind::ONLY, EmfPlusKind::DUAL}) {
        for (EmfPlusDrawing drawing : EMF_PLUS_DRAWINGS) {
            HENHMETAFILE metafile = RecordEmfPlusPicture(drawing, kind, RECORDED_FRAME);
            const std::string name = std::string(NameOf(drawing)) + "-" + NameOf(kind);
            ExpectConvertsWithBox(folder, name, metafile, RECORDED_BOX_LINE);
            // Kept beside its EPS for whoever looks into a picture.
            DeleteEnhMetaFile(CopyEnhMetaFileA(metafile, (folder + "\\" + name + ".emf").c_str()));
            DeleteEnhMetaFile(metafile);
        }
    }
}

// Text in GDI records beside EMF+ records is drawn once, by the driver, as
// text: each character one glyph shown.
TEST_F(EmfPlusTest, KeepTheirGdiText)
{
    constexpr char GLYPH_SHOWN[] = "glyphshow";
    for (EmfPlusKind kind : {EmfPlusKind::ONLY, EmfPlusKind::DUAL}) {
        HENHMETAFILE metafile =
            RecordEmfPlusPicture(EmfPlusDrawing::GDI_TEXT, kind, RECORDED_FRAME);
        ASSERT_NE(nullptr, metafile) << NameOf(kind);
        const std::string eps = folder + "\\gdi-text-" + NameOf(kind) + ".eps";
        EXPECT_TRUE(ConvertToEps(MetafileImage(metafile), EPS_PRINTER, eps.c_str()));
        DeleteEnhMetaFile(metafile);
        const std::string text = ReadFileBytes(eps);
        size_t glyphs = 0;
        for (size_t at = text.find(GLYPH_SHOWN); at != std::string::npos;
             at = text.find(GLYPH_SHOWN, at + 1)) {
            ++glyphs;
        }
        EXPECT_EQ(sizeof GDI_TEXT - 1, glyphs)
            << "expected \"" << GDI_TEXT << "\" shown once in " << eps;
    }
}

}  // namespace
