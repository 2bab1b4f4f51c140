// Failures that only a POSIX system lets a test provoke for real.
#include "eps/bbox_rewrite.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

constexpr BoundingBox BOX{5, 513, 593, 829};

TEST(RewriteBoundingBox, WriteErrorStopsAndRemovesOutput)
{
    const std::string in = TestPath("posix_big.ps");
    const std::string out = TestPath("posix_full.eps");
    WriteFile(in, "%!PS\n" + std::string(64 * 1024, 'x') + "\n%%BoundingBox: 1 2 3 4\n");
    std::remove(out.c_str());

    // A child process whose files may not grow past 4 KiB: the write fails
    // with EFBIG as on a full disk.
    const pid_t child = fork();
    ASSERT_NE(-1, child);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(RewriteBoundingBox(in, out, BOX) == RewriteResult::NOT_WRITTEN ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status)) << "expected the rewrite to report the write error";
    EXPECT_FALSE(FileExists(out)) << "expected the incomplete output removed";
    std::remove(in.c_str());
}

}  // namespace
