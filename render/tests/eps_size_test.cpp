// What the job hands the driver for gradients it shades itself, for
// patterns of one colour, for figures under a curved clip and for a
// stretched bitmap it blends itself: no more than the picture needs, read
// in the EPS.
#include "convert.h"

#include "raster_reference.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The recorded pictures' frame: 80 x 50 mm.
constexpr RECT FRAME = {0, 0, 8000, 5000};
constexpr int PERCENT = 100;

int Across(SIZE units, int percent)
{
    return static_cast<int>(units.cx * percent / PERCENT);
}

int Down(SIZE units, int percent)
{
    return static_cast<int>(units.cy * percent / PERCENT);
}

class EpsSizeTest : public PrintingTest {
protected:
    // The EPS the job writes of the recorded picture, under name.
    std::string ConvertRecorded(void (*draw)(HDC recorder, SIZE units), const char* name)
    {
        HENHMETAFILE metafile = RecordMetafile(FRAME, draw);
        EXPECT_NE(nullptr, metafile) << "expected the picture recorded";
        const std::string path = folder + "\\" + name;
        EXPECT_TRUE(ConvertToEps(MetafileImage(metafile), EPS_PRINTER, path.c_str()))
            << "expected " << name << " converted";
        DeleteEnhMetaFile(metafile);
        return ReadFileBytes(path);
    }
};

// A dozen small red squares inside an elliptic clip, a blue bar across its
// curved top and a green square outside it.
void DrawUnderEllipticClip(HDC recorder, SIZE u)
{
    HRGN ellipse = CreateEllipticRgn(Across(u, 10), Down(u, 10), Across(u, 90), Down(u, 90));
    SelectClipRgn(recorder, ellipse);
    DeleteObject(ellipse);
    SelectObject(recorder, GetStockObject(NULL_PEN));
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    HGDIOBJ previous = SelectObject(recorder, red);
    for (int i = 0; i < 12; ++i) {
        const int left = 35 + (i % 4) * 8;
        const int top = 35 + (i / 4) * 8;
        Rectangle(recorder, Across(u, left), Down(u, top), Across(u, left + 5), Down(u, top + 5));
    }
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    SelectObject(recorder, blue);
    Rectangle(recorder, Across(u, 0), Down(u, 12), Across(u, 100), Down(u, 24));
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    SelectObject(recorder, green);
    Rectangle(recorder, Across(u, 0), Down(u, 0), Across(u, 8), Down(u, 8));
    SelectObject(recorder, previous);
    DeleteObject(red);
    DeleteObject(blue);
    DeleteObject(green);
}

TEST_F(EpsSizeTest, ACurvedClipIsWrittenOnceForAllTheFiguresUnderIt)
{
    const std::string eps = ConvertRecorded(DrawUnderEllipticClip, "clipped.eps");
    EXPECT_EQ(12u, CountOf(eps, "1.00 0.00 0.00 setrgbcolor")) << "expected every red square";
    EXPECT_EQ(1u, CountOf(eps, "0.00 0.00 1.00 setrgbcolor")) << "expected the blue bar";
    EXPECT_EQ(0u, CountOf(eps, "array def"))
        << "expected no figure to carry the ellipse's rectangles";
    EXPECT_EQ(1u, CountOf(eps, "\r\nclip\r\n"))
        << "expected the ellipse written once, as a clip path";
}

// A red to blue rectangle shading across and a green to black one shading
// down, which the EPS printer cannot shade itself.
void DrawLinearGradients(HDC recorder, SIZE u)
{
    GRADIENT_RECT rect = {0, 1};
    TRIVERTEX across[2] = {{Across(u, 5), Down(u, 10), 0xFF00, 0, 0, 0},
                           {Across(u, 45), Down(u, 90), 0, 0, 0xFF00, 0}};
    GdiGradientFill(recorder, across, 2, &rect, 1, GRADIENT_FILL_RECT_H);
    TRIVERTEX down[2] = {{Across(u, 55), Down(u, 10), 0, 0xFF00, 0, 0},
                         {Across(u, 95), Down(u, 90), 0, 0, 0, 0}};
    GdiGradientFill(recorder, down, 2, &rect, 1, GRADIENT_FILL_RECT_V);
}

TEST_F(EpsSizeTest, LinearGradientsAreOneRowOrColumnOfPixelsStretched)
{
    const size_t size = ConvertRecorded(DrawLinearGradients, "gradients.eps").size();
    EXPECT_GT(40000u, size) << "expected the two gradients in under 40 KB, got " << size;
}

// A triangle over the whole frame that turns red from left to right and
// green from top to bottom, a quarter of the way.
void DrawShadedTriangle(HDC recorder, SIZE u)
{
    TRIVERTEX corners[3] = {{0, 0, 0, 0, 0, 0},
                            {Across(u, 100), 0, 0xFF00, 0, 0, 0},
                            {0, Down(u, 100), 0, 0x4000, 0, 0}};
    GRADIENT_TRIANGLE triangle = {0, 1, 2};
    GdiGradientFill(recorder, corners, 3, &triangle, 1, GRADIENT_FILL_TRIANGLE);
}

TEST_F(EpsSizeTest, AShadedTriangleHasPixelsNoFinerThanItsColours)
{
    // At device resolution the image takes megabytes of the EPS; a step of
    // red spans several device pixels, a step of green more.
    const std::string eps = ConvertRecorded(DrawShadedTriangle, "triangle.eps");
    EXPECT_GT(150000u, eps.size()) << "expected the triangle in under 150 KB, got " << eps.size();
    EXPECT_EQ(0u, CountOf(eps, "array def")) << "expected the triangle clipped by its outline";
}

// Ellipses filled with a monochrome pattern whose text and background
// colours are both navy.
void DrawOneColourPattern(HDC recorder, SIZE u)
{
    const uint8_t rows[16] = {0x81, 0, 0x42, 0, 0x24, 0, 0x18, 0,
                              0x18, 0, 0x24, 0, 0x42, 0, 0x81, 0};
    HBITMAP pattern = CreateBitmap(8, 8, 1, 1, rows);
    HBRUSH brush = CreatePatternBrush(pattern);
    SetTextColor(recorder, RGB(0, 0, 128));
    SetBkColor(recorder, RGB(0, 0, 128));
    HGDIOBJ previous = SelectObject(recorder, brush);
    SelectObject(recorder, GetStockObject(NULL_PEN));
    for (int i = 0; i < 3; ++i) {
        Ellipse(recorder, Across(u, 5 + 30 * i), Down(u, 20), Across(u, 30 + 30 * i), Down(u, 80));
    }
    SelectObject(recorder, previous);
    DeleteObject(brush);
    DeleteObject(pattern);
}

TEST_F(EpsSizeTest, APatternOfOneColourIsASolidFill)
{
    const std::string eps = ConvertRecorded(DrawOneColourPattern, "one-colour.eps");
    EXPECT_EQ(0u, CountOf(eps, "imagemask")) << "expected no image of the pattern";
    EXPECT_EQ(0u, CountOf(eps, "array def")) << "expected no clip of the ellipses' rectangles";
    EXPECT_EQ(3u, CountOf(eps, "0.00 0.00 0.50 setrgbcolor")) << "expected three navy fills";
}

// An 8 x 8 checker of half-transparent orange and grey stretched over most
// of the frame, blended over the white paper.
void DrawStretchedBlend(HDC recorder, SIZE u)
{
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, 8, -8, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* pixels = static_cast<uint32_t*>(bits);
    for (int i = 0; i < 64; ++i) {
        pixels[i] = (i / 8 + i % 8) % 2 == 0 ? 0x80804000u : 0x80606060u;  // premultiplied
    }
    HDC source = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(source, bitmap);
    const BLENDFUNCTION perPixel = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(recorder, Across(u, 5), Down(u, 5), Across(u, 90), Down(u, 90), source, 0, 0, 8,
                  8, perPixel);
    SelectObject(source, previous);
    DeleteDC(source);
    DeleteObject(bitmap);
}

TEST_F(EpsSizeTest, ABlendedBitmapIsHandedOverAtItsOwnResolution)
{
    const size_t size = ConvertRecorded(DrawStretchedBlend, "blend.eps").size();
    EXPECT_GT(40000u, size) << "expected the 8 x 8 blend in under 40 KB, got " << size;
}

// The blend over a thick black diagonal, which shows finer than the
// checker's squares: the tile keeps the device's pixels, of a few colours.
void DrawBlendOverDiagonal(HDC recorder, SIZE u)
{
    HPEN pen = CreatePen(PS_SOLID, Across(u, 3), RGB(0, 0, 0));
    HGDIOBJ previous = SelectObject(recorder, pen);
    MoveToEx(recorder, 0, 0, nullptr);
    LineTo(recorder, Across(u, 100), Down(u, 100));
    SelectObject(recorder, previous);
    DeleteObject(pen);
    DrawStretchedBlend(recorder, u);
}

TEST_F(EpsSizeTest, ATileOfFewColoursTakesAByteAPixel)
{
    // At three bytes a pixel the tile takes megabytes of the EPS.
    const size_t size = ConvertRecorded(DrawBlendOverDiagonal, "diagonal.eps").size();
    EXPECT_GT(150000u, size) << "expected the blend over the line in under 150 KB, got " << size;
}

// A block of 40 x 40 pixels set one by one, in four colours by the
// parity of their row and column.
void DrawPixelBlock(HDC recorder, SIZE)
{
    const COLORREF colours[] = {RGB(255, 0, 0), RGB(0, 128, 0), RGB(0, 0, 255), RGB(0, 0, 0)};
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            SetPixelV(recorder, 100 + x, 100 + y, colours[(y % 2) * 2 + x % 2]);
        }
    }
}

TEST_F(EpsSizeTest, PixelsSetOneAfterAnotherAreOneFigureAColour)
{
    const std::string eps = ConvertRecorded(DrawPixelBlock, "pixels.eps");
    EXPECT_EQ(4u, CountOf(eps, "setrgbcolor")) << "expected one fill for each of four colours";
    EXPECT_EQ(1u, CountOf(eps, "1.00 0.00 0.00 setrgbcolor")) << "expected the red pixels";
}

}  // namespace
