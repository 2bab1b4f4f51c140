// Wall time of one conversion through Wine's PostScript driver, and the part
// of it the bounding-box rewrite takes (the same rewrite run again on a file
// of the driver's size). Run by hand:
//   scripts/wine-run win64 build/win64/wineprefix build/win64/render/render_bench.exe [RUNS]
#include "bbox_rewrite.h"
#include "convert.h"
#include "test_printer.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr char BENCH_PRINTER[] = "Vellumark Bench PostScript";
constexpr int DEFAULT_RUNS = 5;
constexpr RECT FRAME = {0, 0, 16000, 9000};
constexpr int RECORD_COUNT = 10000;
constexpr int GRID = 100;  // the many-record metafile draws a GRID x GRID pattern
constexpr int32_t DIB_WIDTH = 4000;
constexpr int32_t DIB_HEIGHT = 3000;
constexpr uint16_t DIB_BITS = 24;
constexpr BoundingBox SOME_BOX = {13, 506, 584, 832};

double Seconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

double Time(const std::function<void()>& work)
{
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceCounter(&start);
    work();
    QueryPerformanceCounter(&end);
    return Seconds(start, end);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

long long FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA attributes = {};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes)) {
        return -1;
    }
    return static_cast<long long>(attributes.nFileSizeHigh) << 32 | attributes.nFileSizeLow;
}

HENHMETAFILE CreateSmallMetafile()
{
    HDC recorder = CreateEnhMetaFileA(nullptr, nullptr, &FRAME, nullptr);
    Rectangle(recorder, 10, 10, 500, 280);
    Ellipse(recorder, 40, 40, 300, 200);
    TextOutA(recorder, 60, 220, "Vellumark", 9);
    return CloseEnhMetaFile(recorder);
}

// One record per cell of a grid of small rectangles, plus the header and end.
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

void Measure(const char* name, const SourceImage& image, const std::string& folder, int runs)
{
    const std::string eps = folder + "bench.eps";
    const std::string copy = folder + "bench-rewrite.eps";
    std::vector<double> conversions;
    std::vector<double> rewrites;
    for (int run = 0; run < runs; ++run) {
        bool converted = false;
        conversions.push_back(
            Time([&] { converted = ConvertToEps(image, BENCH_PRINTER, eps.c_str()); }));
        if (!converted) {
            std::printf("%s: the conversion failed\n", name);
            return;
        }
        rewrites.push_back(Time([&] { RewriteBoundingBox(eps, copy, SOME_BOX); }));
    }
    const double conversion = Median(conversions);
    const double rewrite = Median(rewrites);
    std::printf("%-28s %9.3f s  EPS %10lld bytes  rewrite %8.3f s (%4.1f%%)\n", name, conversion,
                FileSize(eps), rewrite, 100.0 * rewrite / conversion);
    DeleteFileA(eps.c_str());
    DeleteFileA(copy.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : DEFAULT_RUNS;
    if (!InstallTestPrinter(BENCH_PRINTER, TEST_PPD_EPS)) {
        std::fprintf(stderr, "could not install the printer \"%s\"\n", BENCH_PRINTER);
        return 1;
    }
    char folder[MAX_PATH] = {};
    GetTempPathA(sizeof folder, folder);
    std::printf("median of %d runs: one conversion, and the rewrite alone\n", runs);

    HENHMETAFILE small = CreateSmallMetafile();
    Measure("small metafile", SourceImage{small, nullptr, 0, nullptr}, folder, runs);
    DeleteEnhMetaFile(small);

    HENHMETAFILE many = CreateManyRecordMetafile();
    ENHMETAHEADER header = {};
    GetEnhMetaFileHeader(many, sizeof header, &header);
    const std::string manyName = "metafile, " + std::to_string(header.nRecords) + " records";
    Measure(manyName.c_str(), SourceImage{many, nullptr, 0, nullptr}, folder, runs);
    DeleteEnhMetaFile(many);

    const std::vector<uint8_t> dib = CreateLargeDib();
    Measure(
        "4000 x 3000 24-bit DIB",
        SourceImage{nullptr, reinterpret_cast<const BITMAPINFO*>(dib.data()), dib.size(), nullptr},
        folder, runs);

    RemoveTestPrinter(BENCH_PRINTER);
    return 0;
}
