// Runs a fuzz target's check over every file of its seed corpus, so that the
// check runs with the ordinary tests too, without libFuzzer. Arguments are
// files or directories; aborts (through the target) on the first mismatch.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file),
                                std::istreambuf_iterator<char>());
}

void Replay(const std::filesystem::path& path)
{
    const std::vector<uint8_t> bytes = ReadBytes(path);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}

// Returns how many files were replayed.
size_t ReplayPath(const std::filesystem::path& path)
{
    if (!std::filesystem::is_directory(path)) {
        Replay(path);
        return 1;
    }
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
        if (entry.is_regular_file()) {
            Replay(entry.path());
            ++count;
        }
    }
    return count;
}

}  // namespace

int main(int argc, char** argv)
{
    size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        if (!std::filesystem::exists(argv[i], error)) {
            std::fprintf(stderr, "no such corpus: %s\n", argv[i]);
            return 1;
        }
        count += ReplayPath(argv[i]);
    }
    std::printf("replayed %zu inputs\n", count);
    return count == 0 ? 1 : 0;
}
