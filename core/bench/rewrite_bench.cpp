// Measures the bounding-box rewrite on two generated inputs, beside cp and
// sed doing the same job on the same file: a 100 MB PostScript-like document
// of 80-byte lines with a few box lines, and one 256 MiB line without a line
// feed after a header line. Every run is a child process, so that its peak resident memory and
// its write system calls are its own. Run by hand:
//   rewrite_bench [WORK_DIRECTORY]
// The two generated inputs and the outputs (about 1.4 GB) stay in the work
// directory (default /tmp/vellumark-bench) until the next run.
#include "eps/bbox_rewrite.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr BoundingBox BOX{-5, 523, 603, 850};
constexpr char DEFAULT_WORK_DIRECTORY[] = "/tmp/vellumark-bench";
constexpr char SED_SCRIPT[] = "s/^%%BoundingBox:.*/%%BoundingBox: -5 523 603 850/";
constexpr char REWRITE_MODE[] = "--rewrite";
constexpr char UNFLUSHED_MODE[] = "--rewrite-unflushed";

constexpr size_t LINE_LENGTH = 80;      // with its LF
constexpr size_t LINE_COUNT = 1250000;  // 100 MB
constexpr size_t LONG_LINE_LENGTH = size_t{256} << 20;
constexpr char LONG_LINE_HEADER[] = "%!PS-Adobe-3.0";
constexpr size_t WRITE_BLOCK = size_t{1} << 20;
constexpr size_t READ_CHUNK = 64 * 1024;
constexpr int REPEATS = 3;
constexpr double BYTES_PER_MB = 1e6;
constexpr double KIB_PER_MIB = 1024.0;
constexpr double NANOSECONDS = 1e9;
constexpr double MICROSECONDS = 1e6;

struct BenchCase {
    const char* name;
    std::string input;
    size_t size;
};

struct Tool {
    const char* name;
    const char* output;  // file name in the work directory
};

struct Measure {
    double seconds;      // best of the repeats, wall clock
    double userSeconds;  // of that run
    double systemSeconds;
    long peakKiB;  // largest of the repeats
    uint64_t writeCalls;
    bool failed;
};

const Tool TOOLS[] = {
    {"cp", "out.cp"},
    {"sed", "out.sed"},
    {"RewriteBoundingBox", "out.rewrite"},
    {"  same, no flush per line", "out.unflushed"},
};
constexpr size_t CP = 0;
constexpr size_t SED = 1;
constexpr size_t REWRITE = 2;
constexpr size_t UNFLUSHED = 3;
constexpr size_t TOOL_COUNT = sizeof TOOLS / sizeof TOOLS[0];

// A small xorshift generator: the same pseudo-random hex data every run.
uint64_t NextRandom(uint64_t& state)
{
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

// One line of LINE_LENGTH bytes: the text padded with spaces, then LF.
void AppendPaddedLine(std::string& block, const std::string& text)
{
    std::string line = text.substr(0, LINE_LENGTH - 1);
    line.resize(LINE_LENGTH - 1, ' ');
    block += line;
    block += '\n';
}

std::string HexLine(uint64_t& state)
{
    static const char HEX[] = "0123456789abcdef";
    std::string line(LINE_LENGTH - 1, '0');
    for (size_t i = 0; i < line.size(); i += 16) {
        uint64_t bits = NextRandom(state);
        for (size_t j = i; j < i + 16 && j < line.size(); ++j, bits >>= 4) {
            line[j] = HEX[bits & 0xF];
        }
    }
    return line;
}

// The text of line number index: a driver-like header with a deferred box,
// a box line of an embedded document halfway, a trailer with the real box,
// and hex image data everywhere else.
std::string DocumentLine(size_t index, uint64_t& state)
{
    static const char* const HEADER[] = {
        "%!PS-Adobe-3.0", "%%BoundingBox: (atend)", "%%HiResBoundingBox: (atend)",
        "%%Pages: 1",     "%%EndComments",          "gsave 0 0 translate 600 800 scale"};
    static const char* const TRAILER[] = {"grestore showpage", "%%Trailer",
                                          "%%BoundingBox: 0 0 595 842", "%%EOF"};
    constexpr size_t HEADER_LINES = sizeof HEADER / sizeof HEADER[0];
    constexpr size_t TRAILER_LINES = sizeof TRAILER / sizeof TRAILER[0];
    if (index < HEADER_LINES) {
        return HEADER[index];
    }
    if (index >= LINE_COUNT - TRAILER_LINES) {
        return TRAILER[index - (LINE_COUNT - TRAILER_LINES)];
    }
    if (index == LINE_COUNT / 2) {
        return "%%BoundingBox: 10 10 200 200";
    }
    return HexLine(state);
}

bool WriteAll(std::FILE* file, const std::string& block)
{
    return std::fwrite(block.data(), 1, block.size(), file) == block.size();
}

bool GenerateLines(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    uint64_t state = 0x9E3779B97F4A7C15u;
    std::string block;
    bool written = true;
    for (size_t index = 0; index < LINE_COUNT && written; ++index) {
        AppendPaddedLine(block, DocumentLine(index, state));
        if (block.size() >= WRITE_BLOCK || index + 1 == LINE_COUNT) {
            written = WriteAll(file, block);
            block.clear();
        }
    }
    return std::fclose(file) == 0 && written;
}

// The header line, which the rewrite wants to see a PostScript document,
// then the long line.
bool GenerateLongLine(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    uint64_t state = 0x2545F4914F6CDD1Du;
    std::string block = std::string(LONG_LINE_HEADER) + "\n";
    bool written = WriteAll(file, block);
    block.clear();
    while (block.size() < WRITE_BLOCK) {
        block += HexLine(state);
    }
    block.resize(WRITE_BLOCK);
    for (size_t done = 0; done < LONG_LINE_LENGTH && written; done += WRITE_BLOCK) {
        written = WriteAll(file, block);
    }
    return std::fclose(file) == 0 && written;
}

// The rewrite's own line handling with the output flushed once per input
// chunk instead of once per line: what the flushing costs.
bool RewriteUnflushed(const std::string& inputPath, const std::string& outputPath)
{
    std::ifstream input(inputPath, std::ios::binary);
    std::ofstream output(outputPath, std::ios::binary | std::ios::trunc);
    if (!input.is_open() || !output.is_open()) {
        return false;
    }
    std::ostringstream pending;
    BoxRewrite rewrite;
    BeginBoxRewrite(rewrite, pending, BOX);
    std::vector<char> chunk(READ_CHUNK);
    bool good = true;
    while (good && (input.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) ||
                    input.gcount() > 0)) {
        good = FeedBoxRewrite(rewrite, chunk.data(), static_cast<size_t>(input.gcount()));
        const std::string bytes = pending.str();
        output.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        pending.str(std::string());
    }
    good = good && FinishBoxRewrite(rewrite);
    const std::string rest = pending.str();
    output.write(rest.data(), static_cast<std::streamsize>(rest.size()));
    output.close();
    return good && !output.fail();
}

int RunMode(const std::string& mode, const std::string& input, const std::string& output)
{
    const bool written = mode == REWRITE_MODE
                             ? RewriteBoundingBox(input, output, BOX) == RewriteResult::WRITTEN
                             : RewriteUnflushed(input, output);
    return written ? EXIT_SUCCESS : EXIT_FAILURE;
}

double Now()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / NANOSECONDS;
}

double Seconds(const timeval& time)
{
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / MICROSECONDS;
}

// In the child: sends standard output to outputPath (for sed) and runs the tool.
[[noreturn]] void ExecTool(size_t tool, const std::string& self, const std::string& input,
                           const std::string& output)
{
    if (tool == SED) {
        const int file = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (file < 0 || dup2(file, STDOUT_FILENO) < 0) {
            _exit(EXIT_FAILURE);
        }
        close(file);
        setenv("LC_ALL", "C", 1);
        execlp("sed", "sed", SED_SCRIPT, input.c_str(), static_cast<char*>(nullptr));
    } else if (tool == CP) {
        execlp("cp", "cp", input.c_str(), output.c_str(), static_cast<char*>(nullptr));
    } else {
        const char* mode = tool == REWRITE ? REWRITE_MODE : UNFLUSHED_MODE;
        execl(self.c_str(), self.c_str(), mode, input.c_str(), output.c_str(),
              static_cast<char*>(nullptr));
    }
    _exit(EXIT_FAILURE);
}

// The write system calls of an exited child that has not been reaped yet.
uint64_t WriteCalls(pid_t child)
{
    std::ifstream io("/proc/" + std::to_string(child) + "/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "syscw:") {
            return value;
        }
    }
    return 0;
}

Measure RunOnce(size_t tool, const std::string& self, const std::string& input,
                const std::string& output)
{
    Measure measure{0, 0, 0, 0, 0, true};
    std::remove(output.c_str());
    const double start = Now();
    const pid_t child = fork();
    if (child < 0) {
        return measure;
    }
    if (child == 0) {
        ExecTool(tool, self, input, output);
    }
    siginfo_t info{};
    waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT);
    measure.seconds = Now() - start;
    measure.writeCalls = WriteCalls(child);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    measure.userSeconds = Seconds(usage.ru_utime);
    measure.systemSeconds = Seconds(usage.ru_stime);
    measure.peakKiB = usage.ru_maxrss;
    measure.failed = !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    return measure;
}

Measure RunRepeated(size_t tool, const std::string& self, const std::string& input,
                    const std::string& output)
{
    Measure best = RunOnce(tool, self, input, output);
    for (int repeat = 1; repeat < REPEATS && !best.failed; ++repeat) {
        const Measure next = RunOnce(tool, self, input, output);
        best.failed = next.failed;
        best.peakKiB = std::max(best.peakKiB, next.peakKiB);
        if (next.seconds < best.seconds) {
            best.seconds = next.seconds;
            best.userSeconds = next.userSeconds;
            best.systemSeconds = next.systemSeconds;
            best.writeCalls = next.writeCalls;
        }
    }
    return best;
}

bool SameFiles(const std::string& first, const std::string& second)
{
    std::ifstream a(first, std::ios::binary);
    std::ifstream b(second, std::ios::binary);
    std::vector<char> blockA(READ_CHUNK);
    std::vector<char> blockB(READ_CHUNK);
    while (a && b) {
        a.read(blockA.data(), static_cast<std::streamsize>(blockA.size()));
        b.read(blockB.data(), static_cast<std::streamsize>(blockB.size()));
        if (a.gcount() != b.gcount() ||
            std::memcmp(blockA.data(), blockB.data(), static_cast<size_t>(a.gcount())) != 0) {
            return false;
        }
    }
    return a.eof() && b.eof();
}

void PrintHeader()
{
    std::printf("%-14s %-26s %7s %7s %7s %8s %6s %6s %8s %8s\n", "input", "tool", "wall s",
                "user s", "sys s", "MB/s", "x cp", "x sed", "peak MiB", "writes");
}

void PrintRow(const BenchCase& benchCase, size_t tool, const Measure measures[])
{
    const Measure& measure = measures[tool];
    if (measure.failed) {
        std::printf("%-14s %-26s failed\n", benchCase.name, TOOLS[tool].name);
        return;
    }
    const double megabytes = static_cast<double>(benchCase.size) / BYTES_PER_MB;
    std::printf("%-14s %-26s %7.3f %7.3f %7.3f %8.1f %6.2f %6.2f %8.1f %8" PRIu64 "\n",
                benchCase.name, TOOLS[tool].name, measure.seconds, measure.userSeconds,
                measure.systemSeconds, megabytes / measure.seconds,
                measure.seconds / measures[CP].seconds, measure.seconds / measures[SED].seconds,
                static_cast<double>(measure.peakKiB) / KIB_PER_MIB, measure.writeCalls);
}

bool RunCase(const BenchCase& benchCase, const std::string& self, const std::string& directory)
{
    Measure measures[TOOL_COUNT];
    for (size_t tool = 0; tool < TOOL_COUNT; ++tool) {
        measures[tool] =
            RunRepeated(tool, self, benchCase.input, directory + "/" + TOOLS[tool].output);
    }
    for (size_t tool = 0; tool < TOOL_COUNT; ++tool) {
        PrintRow(benchCase, tool, measures);
    }
    const bool agree = SameFiles(directory + "/" + TOOLS[REWRITE].output,
                                 directory + "/" + TOOLS[UNFLUSHED].output);
    if (!agree) {
        std::printf("%-14s the two rewrite outputs differ\n", benchCase.name);
    }
    return agree;
}

std::string SelfPath()
{
    std::vector<char> path(4096);
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    return length > 0 ? std::string(path.data(), static_cast<size_t>(length)) : std::string();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 &&
        (argv[1] == std::string(REWRITE_MODE) || argv[1] == std::string(UNFLUSHED_MODE))) {
        return RunMode(argv[1], argv[2], argv[3]);
    }
    const std::string directory = argc > 1 ? argv[1] : DEFAULT_WORK_DIRECTORY;
    if (mkdir(directory.c_str(), 0755) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "cannot create %s\n", directory.c_str());
        return EXIT_FAILURE;
    }
    const BenchCase cases[] = {
        {"lines 100 MB", directory + "/lines.ps", LINE_COUNT * LINE_LENGTH},
        {"1 line 256MiB", directory + "/one-line.ps", LONG_LINE_LENGTH},
    };
    std::printf("generating inputs in %s\n", directory.c_str());
    if (!GenerateLines(cases[0].input) || !GenerateLongLine(cases[1].input)) {
        std::fprintf(stderr, "cannot write the inputs in %s\n", directory.c_str());
        return EXIT_FAILURE;
    }
    std::printf(
        "best wall time of %d runs; MB/s = input MB / wall s; x cp, x sed = wall time "
        "over theirs;\npeak MiB = largest resident set of any run; writes = write "
        "system calls\n\n",
        REPEATS);
    PrintHeader();
    const std::string self = SelfPath();
    bool agree = true;
    for (const BenchCase& benchCase : cases) {
        agree = RunCase(benchCase, self, directory) && agree;
    }
    return agree ? EXIT_SUCCESS : EXIT_FAILURE;
}
