// Run by hand, for measurements against another renderer: converts each
// metafile file named into FOLDER\NAME.eps through Wine's PostScript driver
// and prints, a line each, its name, the median conversion time of RUNS
// runs, the EPS size and the placement on the page in device pixels (left,
// top, width, height). With --gdi-only GDI+ is not started, so that every
// metafile is drawn by the platform's GDI playback alone; with --printer-ppd
// the printer is set up with the PPD that writes setpagedevice, as printer
// PPDs usually do, instead of the one for encapsulated output:
//   convert_files [--gdi-only] [--printer-ppd] RUNS FOLDER EMF...
#include "bench_timing.h"
#include "convert.h"
#include "gdi_owners.h"
#include "gdiplus_picture.h"
#include "test_printer.h"
#include "test_support.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char MEASURE_PRINTER[] = "Vellumark Measure PostScript";
constexpr char GDI_ONLY[] = "--gdi-only";
constexpr char PRINTER_PPD[] = "--printer-ppd";

// The median time of the conversions; negative when one fails.
double TimeConversions(HENHMETAFILE metafile, const std::string& eps, int runs)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        bool converted = false;
        times.push_back(Time([&] {
            converted = ConvertToEps(MetafileImage(metafile), MEASURE_PRINTER, eps.c_str());
        }));
        if (!converted) {
            return -1;
        }
    }
    return Median(times);
}

void Measure(const char* path, const std::string& folder, const DeviceMetrics& metrics, int runs)
{
    const EnhMetafile metafile(GetEnhMetaFileA(path));
    if (metafile == nullptr) {
        std::printf("%s: not a metafile\n", path);
        return;
    }
    const char* slash = std::strrchr(path, '\\');
    const std::string name = slash != nullptr ? slash + 1 : path;
    const std::string stem = name.substr(0, name.rfind('.'));
    ENHMETAHEADER header = {};
    GetEnhMetaFileHeader(metafile.get(), sizeof header, &header);
    const PlacementRect placement =
        ComputePlacement(metrics, header.rclFrame.right - header.rclFrame.left,
                         header.rclFrame.bottom - header.rclFrame.top);
    const std::string eps = folder + "\\" + stem + ".eps";
    const double seconds = TimeConversions(metafile.get(), eps, runs);
    std::printf("%s %.3f %lld %d %d %d %d\n", stem.c_str(), seconds, FileSize(eps),
                metrics.physicalOffsetX, metrics.physicalOffsetY, placement.right,
                placement.bottom);
}

}  // namespace

int main(int argc, char** argv)
{
    int first = 1;
    const bool gdiOnly = argc > first && std::strcmp(argv[first], GDI_ONLY) == 0;
    first += gdiOnly ? 1 : 0;
    const bool printerPpd = argc > first && std::strcmp(argv[first], PRINTER_PPD) == 0;
    first += printerPpd ? 1 : 0;
    if (argc < first + 3) {
        std::fprintf(stderr,
                     "usage: convert_files [--gdi-only] [--printer-ppd] RUNS FOLDER EMF...\n");
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[first]));
    const std::string folder = argv[first + 1];
    if (!InstallTestPrinter(MEASURE_PRINTER, printerPpd ? TEST_PPD_PRINTER : TEST_PPD_EPS)) {
        std::fprintf(stderr, "could not install the printer \"%s\"\n", MEASURE_PRINTER);
        return 1;
    }
    if (!gdiOnly) {
        StartGdiPlus();
    }
    const DeviceMetrics metrics = ReadPrinterMetrics(MEASURE_PRINTER);
    for (int i = first + 2; i < argc; ++i) {
        Measure(argv[i], folder, metrics, runs);
    }
    StopGdiPlus();
    RemoveTestPrinter(MEASURE_PRINTER);
    return 0;
}
