#include "emf_plus_pictures.h"

#include "raster_reference.h"

#include <gdiplus.h>

#include <cstring>
#include <vector>

namespace {

namespace gp = Gdiplus;
namespace flat = Gdiplus::DllExports;

constexpr float HUNDREDTHS_PER_MILLIMETRE = 100.0f;
constexpr wchar_t DESCRIPTION[] = L"Vellumark test picture";
constexpr wchar_t FONT_FACE[] = L"Arial";
constexpr INT BITMAP_SIDE = 8;
// The metafile header's nSize, nBytes and nRecords, and the raster
// operation that leaves the page as it is.
constexpr size_t RECORD_SIZE_AT = 4;
constexpr size_t HEADER_BYTES_AT = 48;
constexpr size_t HEADER_RECORDS_AT = 52;
constexpr DWORD LEAVE_PAGE = 0x00AA0029;

// The picture's size in millimetres, which the drawings scale to.
struct Size {
    float width;
    float height;
};

void FillGradient(gp::GpGraphics* graphics, gp::PointF from, gp::PointF to, gp::ARGB start,
                  gp::ARGB end, const gp::RectF& area)
{
    gp::GpLineGradient* brush = nullptr;
    if (flat::GdipCreateLineBrush(&from, &to, start, end, gp::WrapModeTile, &brush) == gp::Ok) {
        flat::GdipFillRectangle(graphics, brush, area.X, area.Y, area.Width, area.Height);
        flat::GdipDeleteBrush(brush);
    }
}

void DrawGradient(gp::GpGraphics* graphics, Size s)
{
    FillGradient(graphics, {0, 0}, {s.width / 2, 0}, 0xFFFF0000, 0xFF000080,
                 {s.width * 0.05f, s.height * 0.1f, s.width * 0.4f, s.height * 0.8f});
    FillGradient(graphics, {0, 0}, {0, s.height}, 0xFF006000, 0xFFFFC000,
                 {s.width * 0.55f, s.height * 0.1f, s.width * 0.4f, s.height * 0.8f});
}

void DrawAntialiasedPath(gp::GpGraphics* graphics, Size s)
{
    flat::GdipSetSmoothingMode(graphics, gp::SmoothingModeAntiAlias);
    gp::GpPath* path = nullptr;
    if (flat::GdipCreatePath(gp::FillModeAlternate, &path) != gp::Ok) {
        return;
    }
    flat::GdipAddPathEllipse(path, s.width * 0.05f, s.height * 0.1f, s.width * 0.4f,
                             s.height * 0.8f);
    const gp::PointF star[] = {{s.width * 0.75f, s.height * 0.05f},
                               {s.width * 0.9f, s.height * 0.95f},
                               {s.width * 0.5f, s.height * 0.35f},
                               {s.width * 1.0f, s.height * 0.35f},
                               {s.width * 0.6f, s.height * 0.95f}};
    flat::GdipAddPathPolygon(path, star, sizeof star / sizeof star[0]);
    gp::GpSolidFill* fill = nullptr;
    if (flat::GdipCreateSolidFill(0x800000FF, &fill) == gp::Ok) {
        flat::GdipFillPath(graphics, fill, path);
        flat::GdipDeleteBrush(fill);
    }
    gp::GpPen* pen = nullptr;
    if (flat::GdipCreatePen1(0xFF000000, s.height * 0.02f, gp::UnitWorld, &pen) == gp::Ok) {
        flat::GdipDrawPath(graphics, pen, path);
        flat::GdipDeletePen(pen);
    }
    flat::GdipDeletePath(path);
}

void DrawText(gp::GpGraphics* graphics, Size s)
{
    gp::GpFontFamily* family = nullptr;
    if (flat::GdipCreateFontFamilyFromName(FONT_FACE, nullptr, &family) != gp::Ok) {
        return;
    }
    gp::GpFont* font = nullptr;
    gp::GpSolidFill* ink = nullptr;
    if (flat::GdipCreateFont(family, s.height * 0.15f, gp::FontStyleBold, gp::UnitWorld, &font) ==
            gp::Ok &&
        flat::GdipCreateSolidFill(0xFF000000, &ink) == gp::Ok) {
        for (float line = 0; line < 3; ++line) {
            const gp::RectF area = {s.width * 0.05f, s.height * (0.1f + 0.3f * line),
                                    s.width * 0.9f, s.height * 0.3f};
            flat::GdipDrawString(graphics, L"EMF+ text, drawn", -1, font, &area, nullptr, ink);
        }
    }
    if (ink != nullptr) {
        flat::GdipDeleteBrush(ink);
    }
    if (font != nullptr) {
        flat::GdipDeleteFont(font);
    }
    flat::GdipDeleteFontFamily(family);
}

// Dark red and blue checks, stretched over most of the picture.
void DrawImage(gp::GpGraphics* graphics, Size s)
{
    gp::GpBitmap* bitmap = nullptr;
    if (flat::GdipCreateBitmapFromScan0(BITMAP_SIDE, BITMAP_SIDE, 0, PixelFormat24bppRGB, nullptr,
                                        &bitmap) != gp::Ok) {
        return;
    }
    for (INT y = 0; y < BITMAP_SIDE; ++y) {
        for (INT x = 0; x < BITMAP_SIDE; ++x) {
            flat::GdipBitmapSetPixel(bitmap, x, y, (x / 2 + y / 2) % 2 ? 0xFF000080 : 0xFFA00000);
        }
    }
    // With image attributes, as office programs draw their images: Wine's
    // GDI+ plays no image record that names none.
    gp::GpImageAttributes* attributes = nullptr;
    if (flat::GdipCreateImageAttributes(&attributes) == gp::Ok) {
        flat::GdipSetInterpolationMode(graphics, gp::InterpolationModeNearestNeighbor);
        flat::GdipDrawImageRectRect(graphics, bitmap, s.width * 0.1f, s.height * 0.1f,
                                    s.width * 0.8f, s.height * 0.8f, 0, 0, BITMAP_SIDE, BITMAP_SIDE,
                                    gp::UnitPixel, attributes, nullptr, nullptr);
        flat::GdipDisposeImageAttributes(attributes);
    }
    flat::GdipDisposeImage(bitmap);
}

// The text goes through the context GDI+ hands out, in its own units, the
// recording reference's pixels.
void DrawGdiText(gp::GpGraphics* graphics, Size s)
{
    gp::GpSolidFill* fill = nullptr;
    if (flat::GdipCreateSolidFill(0xFF008000, &fill) == gp::Ok) {
        flat::GdipFillEllipse(graphics, fill, s.width * 0.05f, s.height * 0.05f, s.height * 0.4f,
                              s.height * 0.4f);
        flat::GdipDeleteBrush(fill);
    }
    HDC dc = nullptr;
    if (flat::GdipGetDC(graphics, &dc) != gp::Ok) {
        return;
    }
    const float pixelsPerMillimetre = static_cast<float>(GetDeviceCaps(dc, LOGPIXELSY)) / 25.4f;
    HFONT font = CreateFontA(-static_cast<int>(s.height * 0.2f * pixelsPerMillimetre), 0, 0, 0,
                             FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Arial");
    HGDIOBJ previous = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, static_cast<int>(s.width * 0.3f * pixelsPerMillimetre),
             static_cast<int>(s.height * 0.6f * pixelsPerMillimetre), GDI_TEXT,
             static_cast<int>(sizeof GDI_TEXT - 1));
    SelectObject(dc, previous);
    DeleteObject(font);
    flat::GdipReleaseDC(graphics, dc);
}

void Draw(EmfPlusDrawing drawing, gp::GpGraphics* graphics, Size size)
{
    switch (drawing) {
        case EmfPlusDrawing::GRADIENT:
            DrawGradient(graphics, size);
            break;
        case EmfPlusDrawing::ANTIALIASED_PATH:
            DrawAntialiasedPath(graphics, size);
            break;
        case EmfPlusDrawing::TEXT:
            DrawText(graphics, size);
            break;
        case EmfPlusDrawing::IMAGE:
            DrawImage(graphics, size);
            break;
        case EmfPlusDrawing::GDI_TEXT:
            DrawGdiText(graphics, size);
            break;
    }
}

// GDI+ draws in millimetres on the metafile's graphics, which it then
// closes; the metafile's handle is taken from it before it is disposed of.
HENHMETAFILE DrawAndClose(gp::GpMetafile* metafile, EmfPlusDrawing drawing, Size size)
{
    gp::GpGraphics* graphics = nullptr;
    if (flat::GdipGetImageGraphicsContext(metafile, &graphics) != gp::Ok) {
        return nullptr;
    }
    flat::GdipSetPageUnit(graphics, gp::UnitMillimeter);
    Draw(drawing, graphics, size);
    flat::GdipDeleteGraphics(graphics);
    HENHMETAFILE handle = nullptr;
    flat::GdipGetHemfFromMetafile(metafile, &handle);
    return handle;
}

std::vector<uint8_t> MetafileBytes(HENHMETAFILE metafile)
{
    std::vector<uint8_t> bytes(GetEnhMetaFileBits(metafile, 0, nullptr));
    GetEnhMetaFileBits(metafile, static_cast<UINT>(bytes.size()), bytes.data());
    return bytes;
}

uint32_t WordAt(const std::vector<uint8_t>& bytes, size_t at)
{
    uint32_t word = 0;
    std::memcpy(&word, bytes.data() + at, sizeof word);
    return word;
}

void PutWordAt(std::vector<uint8_t>& bytes, size_t at, uint32_t word)
{
    std::memcpy(bytes.data() + at, &word, sizeof word);
}

// The records between the header and the EOF record of a metafile GDI
// records, with its frame: SAVEDC, a blit that leaves the page alone,
// RESTOREDC.
std::vector<uint8_t> RecordPageBlit(const RECT& frame)
{
    HDC recorder = CreateEnhMetaFileA(nullptr, nullptr, &frame, nullptr);
    if (recorder == nullptr) {
        return {};
    }
    SaveDC(recorder);
    BitBlt(recorder, 0, 0, 1, 1, nullptr, 0, 0, LEAVE_PAGE);
    RestoreDC(recorder, -1);
    HENHMETAFILE recorded = CloseEnhMetaFile(recorder);
    const std::vector<uint8_t> bytes = MetafileBytes(recorded);
    DeleteEnhMetaFile(recorded);
    const uint32_t headerSize = WordAt(bytes, RECORD_SIZE_AT);
    const uint32_t eofSize = WordAt(bytes, bytes.size() - sizeof(uint32_t));  // nSizeLast
    return std::vector<uint8_t>(bytes.begin() + headerSize, bytes.end() - eofSize);
}

}  // namespace

HENHMETAFILE RecordMarkedDualPicture(EmfPlusDrawing drawing, const RECT& frame)
{
    HENHMETAFILE dual = RecordEmfPlusPicture(drawing, EmfPlusKind::DUAL, frame);
    if (dual == nullptr) {
        return nullptr;
    }
    std::vector<uint8_t> bytes = MetafileBytes(dual);
    DeleteEnhMetaFile(dual);
    const std::vector<uint8_t> mark = RecordPageBlit(frame);
    const uint32_t eofSize = WordAt(bytes, bytes.size() - sizeof(uint32_t));
    bytes.insert(bytes.end() - eofSize, mark.begin(), mark.end());
    constexpr uint32_t MARK_RECORDS = 3;
    PutWordAt(bytes, HEADER_BYTES_AT, static_cast<uint32_t>(bytes.size()));
    PutWordAt(bytes, HEADER_RECORDS_AT, WordAt(bytes, HEADER_RECORDS_AT) + MARK_RECORDS);
    return SetEnhMetaFileBits(static_cast<UINT>(bytes.size()), bytes.data());
}

GrayImage PlayThroughGdiPlus(HENHMETAFILE metafile, int32_t width, int32_t height)
{
    gp::GpMetafile* picture = nullptr;
    if (flat::GdipCreateMetafileFromEmf(metafile, FALSE, &picture) != gp::Ok) {
        return GrayImage{0, 0, {}};
    }
    const GrayImage image = PaintOnWhite(width, height, [picture](HDC raster, const RECT& whole) {
        gp::GpGraphics* graphics = nullptr;
        if (flat::GdipCreateFromHDC(raster, &graphics) == gp::Ok) {
            flat::GdipDrawImageRectI(graphics, picture, 0, 0, whole.right, whole.bottom);
            flat::GdipDeleteGraphics(graphics);
        }
    });
    flat::GdipDisposeImage(picture);
    return image;
}

const char* NameOf(EmfPlusDrawing drawing)
{
    switch (drawing) {
        case EmfPlusDrawing::GRADIENT:
            return "gradient";
        case EmfPlusDrawing::ANTIALIASED_PATH:
            return "antialiased-path";
        case EmfPlusDrawing::TEXT:
            return "text";
        case EmfPlusDrawing::IMAGE:
            return "image";
        case EmfPlusDrawing::GDI_TEXT:
            return "gdi-text";
    }
    return "unknown";
}

const char* NameOf(EmfPlusKind kind)
{
    return kind == EmfPlusKind::DUAL ? "dual" : "only";
}

HENHMETAFILE RecordEmfPlusPicture(EmfPlusDrawing drawing, EmfPlusKind kind, const RECT& frame)
{
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) {
        return nullptr;
    }
    const gp::RectF bounds = {static_cast<float>(frame.left), static_cast<float>(frame.top),
                              static_cast<float>(frame.right - frame.left),
                              static_cast<float>(frame.bottom - frame.top)};
    const gp::EmfType type =
        kind == EmfPlusKind::DUAL ? gp::EmfTypeEmfPlusDual : gp::EmfTypeEmfPlusOnly;
    gp::GpMetafile* metafile = nullptr;
    HENHMETAFILE handle = nullptr;
    if (flat::GdipRecordMetafile(screen, type, &bounds, gp::MetafileFrameUnitGdi, DESCRIPTION,
                                 &metafile) == gp::Ok) {
        handle = DrawAndClose(
            metafile, drawing,
            {bounds.Width / HUNDREDTHS_PER_MILLIMETRE, bounds.Height / HUNDREDTHS_PER_MILLIMETRE});
        flat::GdipDisposeImage(metafile);
    }
    ReleaseDC(nullptr, screen);
    return handle;
}
