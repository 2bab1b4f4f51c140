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
// EMF+ only, and two dual ones that GDI keeps drawing.
constexpr const char* REAL_EMF_PLUS_METAFILES[] = {"plus\\test-emf-plus.emf",
                                                   "SimpleEMF_windows.emf", "nested_wmf.emf"};
// The recorded pictures' frame: 80 x 50 mm.
constexpr RECT RECORDED_FRAME = {0, 0, 8000, 5000};
// Not an EPS file, so that the Ghostscript check leaves it alone.
constexpr char GDI_PATH_FILE[] = "\\gdi-path.ps";

std::string FirstBoxLine(const std::string& path)
{
    bool crLf = false;
    const std::vector<std::string> boxes = BoxLines(SplitLines(ReadFileBytes(path), &crLf));
    return boxes.empty() ? "no box line" : boxes.front();
}

RECT FrameOf(HENHMETAFILE metafile)
{
    ENHMETAHEADER header = {};
    GetEnhMetaFileHeader(metafile, sizeof header, &header);
    const RECTL& frame = header.rclFrame;
    return {frame.left, frame.top, frame.right, frame.bottom};
}

// The box the GDI path writes for a plain GDI metafile of this frame.
std::string GdiPathBoxLine(const std::string& folder, const RECT& frame)
{
    HENHMETAFILE metafile = CreateTestMetafile(frame, WHOLE_CONTENT);
    const std::string path = folder + GDI_PATH_FILE;
    const bool converted = ConvertToEps(MetafileImage(metafile), EPS_PRINTER, path.c_str());
    DeleteEnhMetaFile(metafile);
    const std::string line = converted ? FirstBoxLine(path) : "no GDI path conversion";
    DeleteFileA(path.c_str());
    return line;
}

void ExpectConvertsWithGdiPathBox(const std::string& folder, const std::string& name,
                                  HENHMETAFILE metafile)
{
    ASSERT_NE(nullptr, metafile) << "expected a metafile for " << name;
    const std::string eps = folder + "\\" + name + ".eps";
    EXPECT_TRUE(ConvertToEps(MetafileImage(metafile), EPS_PRINTER, eps.c_str()))
        << "expected " << name << " to convert";
    EXPECT_EQ(GdiPathBoxLine(folder, FrameOf(metafile)), FirstBoxLine(eps)) << name;
}

using EmfPlusTest = PrintingTest;

TEST_F(EmfPlusTest, ConvertWithTheBoxOfTheGdiPath)
{
    for (const char* file : REAL_EMF_PLUS_METAFILES) {
        HENHMETAFILE metafile =
            GetEnhMetaFileA((std::string(VELLUMARK_EMF_DATA_DIR) + "\\" + file).c_str());
        const std::string name = std::string(file).substr(std::string(file).rfind('\\') + 1);
        ExpectConvertsWithGdiPathBox(folder, name, metafile);
        DeleteEnhMetaFile(metafile);
    }
    for (EmfPlusKind kind : {EmfPlusKind::ONLY, EmfPlusKind::DUAL}) {
        for (EmfPlusDrawing drawing : EMF_PLUS_DRAWINGS) {
            HENHMETAFILE metafile = RecordEmfPlusPicture(drawing, kind, RECORDED_FRAME);
            const std::string name = std::string(NameOf(drawing)) + "-" + NameOf(kind);
            ExpectConvertsWithGdiPathBox(folder, name, metafile);
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
