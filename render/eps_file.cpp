#include "eps_file.h"

#include <windows.h>

#include "eps/bbox_rewrite.h"

namespace {

constexpr char STAGED_PREFIX[] = "eps";
// Zero asks the system for a name that is free and creates the file, so no
// file in the output's folder is ever overwritten by the staged one.
constexpr UINT SYSTEM_UNIQUE_NAME = 0;
constexpr DWORD REPLACE_FLAGS = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

// The folder part of the path as the platform itself parses it, with its
// trailing separator; empty when the full path does not fit MAX_PATH.
std::string FolderOf(const char* path)
{
    char full[MAX_PATH] = {};
    char* name = nullptr;
    const DWORD length = GetFullPathNameA(path, MAX_PATH, full, &name);
    if (length == 0 || length >= MAX_PATH || name == nullptr) {
        return {};
    }
    return std::string(full, name);
}

// Writes the file's cached data through to the disk before it is moved into
// place, so that the moved file is complete even after a power failure.
bool FlushToDisk(const char* path)
{
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool flushed = FlushFileBuffers(file) != FALSE;
    CloseHandle(file);
    return flushed;
}

// A read-only EPS is the user's way of keeping it. Windows refuses to move a
// file over one; Wine replaces it, so the attribute is checked here.
bool IsReadOnly(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

}  // namespace

StagedEps WriteStagedEps(const char* driverFile, const char* outputPath, const BoundingBox& box)
{
    const std::string folder = FolderOf(outputPath);
    char staged[MAX_PATH] = {};
    if (folder.empty() ||
        GetTempFileNameA(folder.c_str(), STAGED_PREFIX, SYSTEM_UNIQUE_NAME, staged) == 0) {
        return {JobStatus::EPS_NOT_WRITTEN, {}};
    }
    const RewriteResult rewritten = RewriteBoundingBox(driverFile, staged, box);
    if (rewritten != RewriteResult::WRITTEN || !FlushToDisk(staged)) {
        DeleteFileA(staged);
        return {rewritten == RewriteResult::NOT_POSTSCRIPT ? JobStatus::DOCUMENT_NOT_POSTSCRIPT
                                                           : JobStatus::EPS_NOT_WRITTEN,
                {}};
    }
    return {JobStatus::DONE, staged};
}

bool ReplaceWithStaged(const std::string& staged, const char* outputPath)
{
    if (!IsReadOnly(outputPath) && MoveFileExA(staged.c_str(), outputPath, REPLACE_FLAGS)) {
        return true;
    }
    DeleteFileA(staged.c_str());
    return false;
}

JobStatus WriteEpsFile(const char* driverFile, const char* outputPath, const BoundingBox& box)
{
    const StagedEps staged = WriteStagedEps(driverFile, outputPath, box);
    if (staged.status != JobStatus::DONE) {
        return staged.status;
    }
    return ReplaceWithStaged(staged.path, outputPath) ? JobStatus::DONE
                                                      : JobStatus::EPS_NOT_WRITTEN;
}
