// The pictures the tests convert: metafiles, packed DIBs of every layout the
// job reads, and device bitmaps.
#include "test_support.h"

#include <algorithm>

namespace {

constexpr LONG THOUSANDTHS = 1000;
constexpr LONG HUNDREDTHS_PER_MILLIMETRE = 100;
constexpr int BORDER_DIVISOR = 40;  // the border is this fraction of the content's width
constexpr int PATTERN_X_STEP = 3;
constexpr int PATTERN_Y_STEP = 5;
constexpr uint32_t INFO_HEADER_SIZE = 40;
constexpr uint32_t CORE_HEADER_SIZE = 12;
constexpr int MASK_COUNT = 3;
// The word is set in a TrueType face that every test prefix has (Arial maps
// to Liberation Sans there) at a height that fits the picture: at most this
// fraction of its height, and small enough across that the word ends before
// the picture's middle.
constexpr char SAMPLE_WORD[] = "Vellumark";
constexpr char WORD_FACE[] = "Arial";
constexpr LONG WORD_HEIGHT_DIVISOR = 8;
constexpr LONG WORD_WIDTH_DIVISOR = 12;
constexpr uint32_t RED_MASK = 0x00FF0000;
constexpr uint32_t GREEN_MASK = 0x0000FF00;
constexpr uint32_t BLUE_MASK = 0x000000FF;

void PutUint16(std::vector<uint8_t>& block, size_t offset, uint32_t value)
{
    block[offset] = static_cast<uint8_t>(value);
    block[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void PutUint32(std::vector<uint8_t>& block, size_t offset, uint32_t value)
{
    PutUint16(block, offset, value & 0xFFFF);
    PutUint16(block, offset + 2, value >> 16);
}

size_t RowBytes(int32_t width, uint16_t bitCount)
{
    return (static_cast<size_t>(width) * bitCount + 31) / 32 * 4;
}

// Distinct colours for the table, so that a misplaced pixel array shows.
uint8_t ColourComponent(size_t entry, int channel)
{
    return static_cast<uint8_t>((entry * 97 + static_cast<size_t>(channel) * 61) % 256);
}

// Fills every row with a diagonal pattern of values below valueLimit, each
// pixel bitCount bits wide, most significant bits first.
void FillPattern(std::vector<uint8_t>& block, size_t offset, int32_t width, int32_t rows,
                 uint16_t bitCount, uint32_t valueLimit)
{
    const size_t rowBytes = RowBytes(width, bitCount);
    for (int32_t y = 0; y < rows; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t value =
                static_cast<uint32_t>(x * PATTERN_X_STEP + y * PATTERN_Y_STEP) % valueLimit;
            const size_t bit = static_cast<size_t>(x) * bitCount;
            uint8_t* row = block.data() + offset + static_cast<size_t>(y) * rowBytes;
            if (bitCount < 8) {
                const int shift = 8 - bitCount - static_cast<int>(bit % 8);
                row[bit / 8] = static_cast<uint8_t>(row[bit / 8] | value << shift);
            } else {
                for (size_t byte = 0; byte < bitCount / 8u; ++byte) {
                    row[bit / 8 + byte] = static_cast<uint8_t>(value * (byte + 1) * 37);
                }
            }
        }
    }
}

LONG Scale(LONG value, LONG numerator, LONG denominator)
{
    return static_cast<LONG>(static_cast<long long>(value) * numerator / denominator);
}

// The word in the left half of the content, from its middle down.
void DrawWord(HDC recorder, const RECT& content, int border)
{
    const LONG height = std::min((content.bottom - content.top) / WORD_HEIGHT_DIVISOR,
                                 (content.right - content.left) / WORD_WIDTH_DIVISOR);
    HFONT font = CreateFontA(-height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                             OUT_TT_ONLY_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             VARIABLE_PITCH | FF_SWISS, WORD_FACE);
    HGDIOBJ previous = SelectObject(recorder, font);
    SetBkMode(recorder, TRANSPARENT);
    TextOutA(recorder, content.left + border * 2, (content.top + content.bottom) / 2, SAMPLE_WORD,
             static_cast<int>(sizeof SAMPLE_WORD - 1));
    SelectObject(recorder, previous);
    DeleteObject(font);
}

}  // namespace

HENHMETAFILE CreateTestMetafile(const RECT& frame, const RECT& contentThousandths)
{
    HDC screen = GetDC(nullptr);
    const LONG pixelsAcross = GetDeviceCaps(screen, HORZRES);
    const LONG pixelsDown = GetDeviceCaps(screen, VERTRES);
    const LONG millimetresAcross = GetDeviceCaps(screen, HORZSIZE);
    const LONG millimetresDown = GetDeviceCaps(screen, VERTSIZE);
    ReleaseDC(nullptr, screen);
    // The frame in the reference device's pixels, the metafile's own units.
    const LONG width = Scale(frame.right - frame.left, pixelsAcross,
                             millimetresAcross * HUNDREDTHS_PER_MILLIMETRE);
    const LONG height =
        Scale(frame.bottom - frame.top, pixelsDown, millimetresDown * HUNDREDTHS_PER_MILLIMETRE);
    const RECT content = {Scale(width, contentThousandths.left, THOUSANDTHS),
                          Scale(height, contentThousandths.top, THOUSANDTHS),
                          Scale(width, contentThousandths.right, THOUSANDTHS),
                          Scale(height, contentThousandths.bottom, THOUSANDTHS)};

    HDC recorder = CreateEnhMetaFileA(nullptr, nullptr, &frame, "Vellumark test\0picture\0");
    if (recorder == nullptr) {
        return nullptr;
    }
    // The border is filled, not stroked, so that nothing reaches past the
    // content rectangle.
    const int border = static_cast<int>((content.right - content.left) / BORDER_DIVISOR + 1);
    const RECT inner = {content.left + border, content.top + border, content.right - border,
                        content.bottom - border};
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 160));
    HBRUSH yellow = CreateSolidBrush(RGB(255, 220, 0));
    FillRect(recorder, &content, blue);
    FillRect(recorder, &inner, yellow);
    HGDIOBJ oldBrush = SelectObject(recorder, blue);
    Ellipse(recorder, inner.left + border, inner.top + border, (inner.left + inner.right) / 2,
            (inner.top + inner.bottom) / 2);
    SelectObject(recorder, oldBrush);
    DeleteObject(yellow);
    DeleteObject(blue);
    DrawWord(recorder, content, border);
    const TestDib dib = MakeInfoDib(16, 8, 24, 0, BI_RGB);
    StretchDIBits(recorder, (content.left + content.right) / 2, (content.top + content.bottom) / 2,
                  (content.right - content.left) / 4, (content.bottom - content.top) / 4, 0, 0, 16,
                  8, dib.block.data() + dib.pixelOffset,
                  reinterpret_cast<const BITMAPINFO*>(dib.block.data()), DIB_RGB_COLORS, SRCCOPY);
    return CloseEnhMetaFile(recorder);
}

bool WriteTestMetafile(const std::string& path, const RECT& frame)
{
    HENHMETAFILE metafile = CreateTestMetafile(frame, WHOLE_CONTENT);
    if (metafile == nullptr) {
        return false;
    }
    HENHMETAFILE written = CopyEnhMetaFileA(metafile, path.c_str());
    DeleteEnhMetaFile(metafile);
    if (written == nullptr) {
        return false;
    }
    DeleteEnhMetaFile(written);
    return true;
}

TestDib MakeInfoDib(int32_t width, int32_t height, uint16_t bitCount, uint32_t clrUsed,
                    uint32_t compression)
{
    const size_t entries = clrUsed != 0 ? clrUsed : bitCount <= 8 ? size_t{1} << bitCount : 0;
    const size_t masks = compression == BI_BITFIELDS ? MASK_COUNT * sizeof(uint32_t) : 0;
    const int32_t rows = height < 0 ? -height : height;
    TestDib dib;
    dib.pixelOffset = INFO_HEADER_SIZE + masks + entries * 4;
    dib.block.assign(dib.pixelOffset + RowBytes(width, bitCount) * static_cast<size_t>(rows), 0);
    PutUint32(dib.block, 0, INFO_HEADER_SIZE);
    PutUint32(dib.block, 4, static_cast<uint32_t>(width));
    PutUint32(dib.block, 8, static_cast<uint32_t>(height));
    PutUint16(dib.block, 12, 1);
    PutUint16(dib.block, 14, bitCount);
    PutUint32(dib.block, 16, compression);
    PutUint32(dib.block, 32, clrUsed);
    if (masks != 0) {
        PutUint32(dib.block, INFO_HEADER_SIZE, RED_MASK);
        PutUint32(dib.block, INFO_HEADER_SIZE + 4, GREEN_MASK);
        PutUint32(dib.block, INFO_HEADER_SIZE + 8, BLUE_MASK);
    }
    for (size_t entry = 0; entry < entries; ++entry) {
        for (int channel = 0; channel < 3; ++channel) {
            dib.block[INFO_HEADER_SIZE + masks + entry * 4 + static_cast<size_t>(channel)] =
                ColourComponent(entry, channel);
        }
    }
    const uint32_t valueLimit =
        entries != 0 ? static_cast<uint32_t>(entries) : static_cast<uint32_t>(256);
    FillPattern(dib.block, dib.pixelOffset, width, rows, bitCount, valueLimit);
    return dib;
}

TestDib MakeCoreDib(uint16_t width, uint16_t height, uint16_t bitCount)
{
    const size_t entries = bitCount <= 8 ? size_t{1} << bitCount : 0;
    TestDib dib;
    dib.pixelOffset = CORE_HEADER_SIZE + entries * 3;
    dib.block.assign(dib.pixelOffset + RowBytes(width, bitCount) * height, 0);
    PutUint32(dib.block, 0, CORE_HEADER_SIZE);
    PutUint16(dib.block, 4, width);
    PutUint16(dib.block, 6, height);
    PutUint16(dib.block, 8, 1);
    PutUint16(dib.block, 10, bitCount);
    for (size_t entry = 0; entry < entries; ++entry) {
        for (int channel = 0; channel < 3; ++channel) {
            dib.block[CORE_HEADER_SIZE + entry * 3 + static_cast<size_t>(channel)] =
                ColourComponent(entry, channel);
        }
    }
    const uint32_t valueLimit =
        entries != 0 ? static_cast<uint32_t>(entries) : static_cast<uint32_t>(256);
    FillPattern(dib.block, dib.pixelOffset, width, height, bitCount, valueLimit);
    return dib;
}

SourceImage TestDibImage(const TestDib& dib)
{
    return PackedDibImage(reinterpret_cast<const BITMAPINFO*>(dib.block.data()), dib.block.size());
}

HBITMAP CreateTestDeviceBitmap(int width, int height)
{
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HDC memory = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    if (bitmap == nullptr || memory == nullptr) {
        DeleteDC(memory);
        return bitmap;
    }
    HGDIOBJ old = SelectObject(memory, bitmap);
    const RECT whole = {0, 0, width, height};
    HBRUSH red = CreateSolidBrush(RGB(200, 30, 30));
    FillRect(memory, &whole, red);
    DeleteObject(red);
    Ellipse(memory, width / 4, height / 4, width * 3 / 4, height * 3 / 4);
    SelectObject(memory, old);
    DeleteDC(memory);
    return bitmap;
}
