// Files the core's rewrite tests write and read, in GoogleTest's temporary
// folder.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

// Named after the running test too: CTest runs tests side by side, and
// two tests writing one file would read each other's bytes.
inline std::string TestPath(const std::string& name)
{
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    const std::string owner =
        test == nullptr ? "" : std::string(test->test_suite_name()) + "_" + test->name() + "_";
    return testing::TempDir() + "vellumark_" + owner + name;
}

inline void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline bool FileExists(const std::string& path)
{
    return std::ifstream(path, std::ios::binary).is_open();
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}
