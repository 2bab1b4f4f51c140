// Sets up the PostScript printers that tests and demonstrations need in the
// Wine prefix it runs in:
//   vellumark_printers add NAME [eps|printer]
//   vellumark_printers remove NAME
//   vellumark_printers clear
// Prints nothing on success; exits with 1 on failure, 2 on a usage error.
#include "test_printer.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

int ShowUsage()
{
    std::fputs("usage: vellumark_printers add NAME [eps|printer] | remove NAME | clear\n", stderr);
    return EXIT_USAGE;
}

int Report(bool succeeded, const char* action, const char* name)
{
    if (succeeded) {
        return EXIT_OK;
    }
    std::fprintf(stderr, "vellumark_printers: could not %s printer \"%s\"\n", action, name);
    return EXIT_FAILED;
}

int Add(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        return ShowUsage();
    }
    TestPpd ppd = TEST_PPD_EPS;
    if (argc == 4) {
        if (std::strcmp(argv[3], "printer") == 0) {
            ppd = TEST_PPD_PRINTER;
        } else if (std::strcmp(argv[3], "eps") != 0) {
            return ShowUsage();
        }
    }
    return Report(InstallTestPrinter(argv[2], ppd), "add", argv[2]);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "add") == 0) {
        return Add(argc, argv);
    }
    if (argc == 3 && std::strcmp(argv[1], "remove") == 0) {
        return Report(RemoveTestPrinter(argv[2]), "remove", argv[2]);
    }
    if (argc == 2 && std::strcmp(argv[1], "clear") == 0) {
        RemoveAllPrinters();
        return EXIT_OK;
    }
    return ShowUsage();
}
