// Wall time of one conversion through Wine's PostScript driver, and where it
// goes: the same job's phases timed one by one. Run by hand, optionally with
// real metafiles (Windows paths) after the number of runs; with --only, the
// bench's own pictures are left out, so that the process's peak memory
// (/usr/bin/time -v) is that of the metafiles named:
//   scripts/wine-run win64 build/win64/wineprefix build/win64/render/render_bench.exe [RUNS
//   [--only] [EMF...]]
#include "bench_pictures.h"
#include "bench_timing.h"
#include "convert.h"
#include "eps_file.h"
#include "gdi_owners.h"
#include "gdiplus_picture.h"
#include "print_job.h"
#include "test_printer.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr char BENCH_PRINTER[] = "Vellumark Bench PostScript";
constexpr int DEFAULT_RUNS = 5;

// The phases of one conversion, timed as the job runs them: the device and
// document set-up, the drawing into the driver, the driver's end of the
// document, the copy with the box rewritten, and the move into place.
struct Phases {
    double setUp;
    double drawing;
    double ending;
    double copy;
    double move;
};

Phases TimePhases(const SourceImage& image, const std::string& driverFile, const std::string& eps)
{
    Phases phases{};
    OpenedDocument document{};
    DrawnBox drawn{};
    StagedEps staged{};
    phases.setUp = Time([&] { document = OpenPrinterDocument(BENCH_PRINTER, driverFile.c_str()); });
    if (document.device == nullptr) {
        return phases;
    }
    phases.drawing = Time([&] { drawn = PrintPage(document.device, image); });
    phases.ending = Time([&] { ClosePrinterDocument(document.device); });
    phases.copy =
        Time([&] { staged = WriteStagedEps(driverFile.c_str(), eps.c_str(), drawn.box); });
    phases.move = Time([&] { ReplaceWithStaged(staged.path, eps.c_str()); });
    DeleteFileA(driverFile.c_str());
    return phases;
}

double Percent(double part, double whole)
{
    return 100.0 * part / whole;
}

void Measure(const char* name, const SourceImage& image, const std::string& folder, int runs)
{
    const std::string eps = folder + "bench.eps";
    const std::string driverFile = folder + "bench-driver.ps";
    std::vector<double> conversions;
    std::vector<Phases> profiles;
    for (int run = 0; run < runs; ++run) {
        bool converted = false;
        conversions.push_back(
            Time([&] { converted = ConvertToEps(image, BENCH_PRINTER, eps.c_str()); }));
        if (!converted) {
            std::printf("%s: the conversion failed\n", name);
            return;
        }
        profiles.push_back(TimePhases(image, driverFile, eps));
    }
    const double conversion = Median(conversions);
    auto median = [&](double Phases::*phase) {
        std::vector<double> values;
        for (const Phases& profile : profiles) {
            values.push_back(profile.*phase);
        }
        return Median(values);
    };
    const double phases[] = {median(&Phases::setUp), median(&Phases::drawing),
                             median(&Phases::ending), median(&Phases::copy), median(&Phases::move)};
    std::printf("%-30s %8.3f s  EPS %10lld bytes |", name, conversion, FileSize(eps));
    for (double phase : phases) {
        std::printf(" %7.3f s %4.1f%%", phase, Percent(phase, conversion));
    }
    std::printf("\n");
    DeleteFileA(eps.c_str());
}

void MeasureOwnPictures(const char* folder, int runs)
{
    const EnhMetafile small(CreateSmallMetafile());
    Measure("small metafile", MetafileImage(small.get()), folder, runs);

    const EnhMetafile many(CreateManyRecordMetafile());
    ENHMETAHEADER header = {};
    GetEnhMetaFileHeader(many.get(), sizeof header, &header);
    const std::string manyName = "metafile, " + std::to_string(header.nRecords) + " records";
    Measure(manyName.c_str(), MetafileImage(many.get()), folder, runs);

    const std::vector<uint8_t> dib = CreateLargeDib();
    Measure("4000 x 3000 24-bit DIB",
            PackedDibImage(reinterpret_cast<const BITMAPINFO*>(dib.data()), dib.size()), folder,
            runs);
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : DEFAULT_RUNS;
    if (!InstallTestPrinter(BENCH_PRINTER, TEST_PPD_EPS)) {
        std::fprintf(stderr, "could not install the printer \"%s\"\n", BENCH_PRINTER);
        return 1;
    }
    StartGdiPlus();
    char folder[MAX_PATH] = {};
    GetTempPathA(sizeof folder, folder);
    std::printf("median of %d runs: one conversion, then its phases timed one by one\n", runs);
    std::printf("%-30s %10s  %20s | %-15s %-15s %-15s %-15s %-15s\n", "picture", "conversion", "",
                "set-up", "drawing", "end of document", "copy", "move");

    const bool only = argc > 2 && std::strcmp(argv[2], "--only") == 0;
    if (!only) {
        MeasureOwnPictures(folder, runs);
    }
    // Real metafiles named on the command line, such as a bitmap-heavy one.
    for (int i = only ? 3 : 2; i < argc; ++i) {
        const EnhMetafile real(GetEnhMetaFileA(argv[i]));
        if (real == nullptr) {
            std::printf("%s: not a metafile\n", argv[i]);
            continue;
        }
        const char* name = std::strrchr(argv[i], '\\');
        Measure(name != nullptr ? name + 1 : argv[i], MetafileImage(real.get()), folder, runs);
    }

    StopGdiPlus();
    RemoveTestPrinter(BENCH_PRINTER);
    return 0;
}
