#include "bench_pictures.h"

namespace {

constexpr RECT FRAME = {0, 0, 16000, 9000};
constexpr int RECORD_COUNT = 10000;
constexpr int GRID = 100;  // the many-record metafile draws a GRID x GRID pattern
constexpr int32_t DIB_WIDTH = 4000;
constexpr int32_t DIB_HEIGHT = 3000;
constexpr uint16_t DIB_BITS = 24;

}  // namespace

HENHMETAFILE CreateSmallMetafile()
{
    HDC recorder = CreateEnhMetaFileA(nullptr, nullptr, &FRAME, nullptr);
    Rectangle(recorder, 10, 10, 500, 280);
    Ellipse(recorder, 40, 40, 300, 200);
    TextOutA(recorder, 60, 220, "Vellumark", 9);
    return CloseEnhMetaFile(recorder);
}

HENHMETAFILE CreateManyRecordMetafile()
{
    HDC recorder = CreateEnhMetaFileA(nullptr, nullptr, &FRAME, nullptr);
    for (int i = 0; i < RECORD_COUNT - 2; ++i) {
        const int x = (i % GRID) * 6;
        const int y = (i / GRID) * 3;
        Rectangle(recorder, x, y, x + 5, y + 2);
    }
    return CloseEnhMetaFile(recorder);
}

std::vector<uint8_t> CreateLargeDib()
{
    const size_t rowBytes = (static_cast<size_t>(DIB_WIDTH) * DIB_BITS + 31) / 32 * 4;
    std::vector<uint8_t> block(sizeof(BITMAPINFOHEADER) + rowBytes * DIB_HEIGHT);
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(block.data());
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = DIB_WIDTH;
    header->biHeight = DIB_HEIGHT;
    header->biPlanes = 1;
    header->biBitCount = DIB_BITS;
    header->biCompression = BI_RGB;
    for (size_t i = sizeof(BITMAPINFOHEADER); i < block.size(); ++i) {
        block[i] = static_cast<uint8_t>(i * 7 / 3);
    }
    return block;
}
