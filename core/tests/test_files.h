// Files the core's rewrite tests write and read, in GoogleTest's temporary
// folder.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

inline std::string TestPath(const std::string& name)
{
    return testing::TempDir() + "vellumark_" + name;
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
