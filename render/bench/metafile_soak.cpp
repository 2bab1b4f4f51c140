// Plays mutated metafiles through the conversion job, one after another in
// this process, to show that no damaged metafile brings the program down.
// Run by scripts/soak-metafiles.sh, which restarts it past a seed that
// crashed it:
//   metafile_soak.exe FIRST_SEED COUNT PROGRESS_FILE OUTPUT_FOLDER EMF...
// Before each conversion the seed goes to PROGRESS_FILE; at the end one line
// counts the mutants converted, refused by the job, refused by the platform
// on loading, the records the check skipped and the job's files left behind.
#include "convert.h"
#include "driver/inspection.h"
#include "gdi_owners.h"
#include "gdiplus_picture.h"
#include "metafile/emf_records.h"
#include "metafile_mutator.h"
#include "test_support.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr char SOAK_PRINTER[] = "Vellumark Soak PostScript";
constexpr char JOB_FILES[] = "eps*.tmp";
constexpr int FIXED_ARGUMENTS = 5;
constexpr UINT CRASH_EXIT_CODE = 3;

struct Tally {
    unsigned converted;
    unsigned refused;
    unsigned unloadable;
    unsigned long long skippedRecords;
};

std::vector<uint8_t> ReadBytes(const char* path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file),
                                std::istreambuf_iterator<char>());
}

void WriteProgress(const char* path, uint64_t seed)
{
    std::ofstream(path, std::ios::trunc) << seed << '\n';
}

// Records of an intact chain that the job skips: those the check refuses,
// and restores of states the metafile did not save.
size_t CountSkippedRecords(const std::vector<uint8_t>& bytes)
{
    return InspectMetafile(bytes.data(), bytes.size(), 0).skipped.size();
}

// The job's files in the temporary folder and in the output folder.
size_t CountJobFiles(const std::string& folder)
{
    return ListFiles(TempFolder(), JOB_FILES).size() + ListFiles(folder, JOB_FILES).size();
}

void ConvertMutant(const std::vector<uint8_t>& bytes, const std::string& eps, Tally& tally)
{
    const EnhMetafile metafile(SetEnhMetaFileBits(static_cast<UINT>(bytes.size()), bytes.data()));
    if (metafile == nullptr) {
        ++tally.unloadable;
        return;
    }
    tally.skippedRecords += CountSkippedRecords(bytes);
    if (ConvertToEps(MetafileImage(metafile.get()), SOAK_PRINTER, eps.c_str())) {
        ++tally.converted;
    } else {
        ++tally.refused;
    }
    DeleteFileA(eps.c_str());
}

// A crash ends the process at once with its own exit code, instead of
// waiting in the platform's debugger; the script reads the seed it died on.
LONG WINAPI EndOnCrash(EXCEPTION_POINTERS*)
{
    ExitProcess(CRASH_EXIT_CODE);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc <= FIXED_ARGUMENTS) {
        std::fprintf(stderr,
                     "usage: metafile_soak FIRST_SEED COUNT PROGRESS_FILE OUTPUT_FOLDER EMF...\n");
        return 2;
    }
    const uint64_t first = std::strtoull(argv[1], nullptr, 10);
    const uint64_t count = std::strtoull(argv[2], nullptr, 10);
    const char* progress = argv[3];
    const std::string folder = std::string(argv[4]) + "\\";
    std::vector<std::vector<uint8_t>> sources;
    for (int i = FIXED_ARGUMENTS; i < argc; ++i) {
        sources.push_back(ReadBytes(argv[i]));
    }
    SetUnhandledExceptionFilter(EndOnCrash);
    if (!InstallTestPrinter(SOAK_PRINTER, TEST_PPD_EPS)) {
        std::fprintf(stderr, "could not install the printer \"%s\"\n", SOAK_PRINTER);
        return 2;
    }
    Tally tally{};
    const size_t filesBefore = CountJobFiles(folder);
    const std::string eps = folder + "mutant.eps";
    StartGdiPlus();
    for (uint64_t seed = first; seed < first + count; ++seed) {
        WriteProgress(progress, seed);
        ConvertMutant(MutateMetafile(sources[static_cast<size_t>(seed % sources.size())], seed),
                      eps, tally);
    }
    StopGdiPlus();
    WriteProgress(progress, first + count);
    std::printf(
        "seeds %llu-%llu: converted %u, refused %u, not loadable %u, records skipped %llu, "
        "job files left %u\n",
        static_cast<unsigned long long>(first), static_cast<unsigned long long>(first + count - 1),
        tally.converted, tally.refused, tally.unloadable, tally.skippedRecords,
        static_cast<unsigned>(CountJobFiles(folder) - filesBefore));
    RemoveTestPrinter(SOAK_PRINTER);
    return 0;
}
