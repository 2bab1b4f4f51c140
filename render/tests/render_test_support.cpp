#include "render_test_support.h"

#include "page_setup.h"

#include <fstream>
#include <iterator>

namespace {

constexpr char DOCUMENT_NAME[] = "Vellumark Version 0.5";
constexpr char DOCUMENT_DATATYPE[] = "raw";
constexpr char BOX_PREFIX[] = "%%BoundingBox:";
constexpr size_t BOX_PREFIX_LENGTH = sizeof BOX_PREFIX - 1;
constexpr LONG THOUSANDTHS = 1000;
constexpr LONG HUNDREDTHS_PER_MILLIMETRE = 100;
constexpr int BORDER_DIVISOR = 40;  // the border is this fraction of the content's width
constexpr int PATTERN_X_STEP = 3;
constexpr int PATTERN_Y_STEP = 5;
constexpr uint32_t INFO_HEADER_SIZE = 40;
constexpr uint32_t CORE_HEADER_SIZE = 12;
constexpr int MASK_COUNT = 3;
constexpr uint32_t RED_MASK = 0x00FF0000;
constexpr uint32_t GREEN_MASK = 0x0000FF00;
constexpr uint32_t BLUE_MASK = 0x000000FF;

bool IsBoxLine(const std::string& line)
{
    return line.compare(0, BOX_PREFIX_LENGTH, BOX_PREFIX) == 0;
}

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

}  // namespace

std::string PrepareOutputFolder(const char* name)
{
    const std::string folder = std::string(VELLUMARK_TEST_OUTPUT_DIR) + "\\" + name;
    CreateDirectoryA(VELLUMARK_TEST_OUTPUT_DIR, nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const std::string& file : ListFiles(folder, "*")) {
        const std::string path = folder + "\\" + file;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
    return folder;
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary);
    file << bytes;
    return static_cast<bool>(file);
}

std::vector<std::string> ListFiles(const std::string& folder, const char* pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found = {};
    HANDLE search = FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            names.emplace_back(found.cFileName);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::string TempFolder()
{
    char folder[MAX_PATH] = {};
    GetTempPathA(sizeof folder, folder);
    return folder;
}

std::vector<std::string> ListTempJobFiles()
{
    return ListFiles(TempFolder(), "eps*.tmp");
}

DeviceMetrics ReadPrinterMetrics(const char* printerName)
{
    DeviceMetrics metrics{};
    HDC device = CreateDCA(nullptr, printerName, nullptr, nullptr);
    if (device == nullptr) {
        return metrics;
    }
    ApplyPageRequest(device, MakePageRequest());
    metrics = ReadDeviceMetrics(device);
    DeleteDC(device);
    return metrics;
}

bool PrintReference(const char* printerName, const std::string& path,
                    const std::function<void(HDC device, const DeviceMetrics& metrics)>& draw)
{
    const DeviceMetrics metrics = ReadPrinterMetrics(printerName);
    HDC device = CreateDCA(nullptr, printerName, nullptr, nullptr);
    if (device == nullptr) {
        return false;
    }
    DOCINFOA document = {};
    document.cbSize = sizeof document;
    document.lpszDocName = DOCUMENT_NAME;
    document.lpszOutput = path.c_str();
    document.lpszDatatype = DOCUMENT_DATATYPE;
    const bool started = StartDocA(device, &document) > 0;
    if (started) {
        ApplyPageRequest(device, MakePageRequest());
        StartPage(device);
        draw(device, metrics);
        EndPage(device);
        EndDoc(device);
    }
    DeleteDC(device);
    return started;
}

std::vector<std::string> SplitLines(const std::string& bytes, bool* allCrLf)
{
    std::vector<std::string> lines;
    *allCrLf = true;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            *allCrLf = false;
            end = bytes.size();
        }
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        } else {
            *allCrLf = false;
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> BoxLines(const std::vector<std::string>& lines)
{
    std::vector<std::string> boxes;
    for (const std::string& line : lines) {
        if (IsBoxLine(line)) {
            boxes.push_back(line);
        }
    }
    return boxes;
}

std::vector<std::string> OtherLines(const std::vector<std::string>& lines)
{
    std::vector<std::string> others;
    for (const std::string& line : lines) {
        if (!IsBoxLine(line)) {
            others.push_back(line);
        }
    }
    return others;
}

int FirstDifference(const std::vector<std::string>& expected,
                    const std::vector<std::string>& actual)
{
    const size_t common = expected.size() < actual.size() ? expected.size() : actual.size();
    for (size_t i = 0; i < common; ++i) {
        if (expected[i] != actual[i]) {
            return static_cast<int>(i);
        }
    }
    return expected.size() == actual.size() ? -1 : static_cast<int>(common);
}

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
    TextOutA(recorder, content.left + border * 2, (content.top + content.bottom) / 2, "Vellumark",
             9);
    const TestDib dib = MakeInfoDib(16, 8, 24, 0, BI_RGB);
    StretchDIBits(recorder, (content.left + content.right) / 2, (content.top + content.bottom) / 2,
                  (content.right - content.left) / 4, (content.bottom - content.top) / 4, 0, 0, 16,
                  8, dib.block.data() + dib.pixelOffset,
                  reinterpret_cast<const BITMAPINFO*>(dib.block.data()), DIB_RGB_COLORS, SRCCOPY);
    return CloseEnhMetaFile(recorder);
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
