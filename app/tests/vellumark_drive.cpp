// Works a running Vellumark from scripts, as the tests' driver does:
//   vellumark_drive draw PATH          writes the sample metafile
//   vellumark_drive wait [DESKTOP]     waits until the main window is up
//   vellumark_drive open PATH [DESKTOP]  converts PATH through the Open command
//   vellumark_drive close [DESKTOP]    closes the window; exits with its exit code
// DESKTOP names the Wine virtual desktop the program runs on. Exits with 1
// when the program or its dialog does not come, 2 on a usage error.
#include <cstdio>
#include <cstring>
#include <string>

#include "driver.h"
#include "eps/names.h"
#include "ids.h"
#include "lead_byte.h"

namespace {

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;
// The sample's frame: 160 x 100 mm.
constexpr RECT SAMPLE_FRAME = {0, 0, 16000, 10000};
constexpr DWORD DESKTOP_POLL_MS = 50;

int ShowUsage()
{
    std::fputs(
        "usage: vellumark_drive draw PATH | wait [DESKTOP] | open PATH [DESKTOP] | close "
        "[DESKTOP]\n",
        stderr);
    return EXIT_USAGE;
}

int Fail(const char* what)
{
    std::fprintf(stderr, "vellumark_drive: %s\n", what);
    return EXIT_FAILED;
}

// Moves this thread onto the named desktop, before it owns any window, so
// that the program's windows there can be found. The desktop may still be
// on its way.
bool JoinDesktop(const char* name)
{
    if (!name) {
        return true;
    }
    const DWORD start = GetTickCount();
    for (;;) {
        HDESK desktop = OpenDesktopA(name, 0, FALSE, GENERIC_ALL);
        if (desktop) {
            return SetThreadDesktop(desktop) != FALSE;
        }
        if (GetTickCount() - start >= DRIVER_TIMEOUT_MS) {
            return false;
        }
        Sleep(DESKTOP_POLL_MS);
    }
}

int Open(const RunningApp& app, const std::string& path)
{
    PostMessageA(app.window, WM_COMMAND, ID_OPEN, 0);
    HWND dialog = WaitForDialog(app);
    if (!dialog || !IsFileDialog(dialog)) {
        return Fail("the Open dialog did not come");
    }
    AnswerFileDialog(dialog, path);
    if (!WaitForWindowGone(dialog) || !WaitUntilIdle(app)) {
        return Fail("the Open command did not return");
    }
    if (!FileExists(DeriveEpsPath(path, IsLeadByte))) {
        return Fail("no EPS file was written");
    }
    return EXIT_OK;
}

int Drive(const char* command, const char* path, const char* desktop)
{
    if (!JoinDesktop(desktop)) {
        return Fail("cannot join the desktop");
    }
    RunningApp app = FindVellumark();
    if (!app.window) {
        return Fail("Vellumark's window did not come");
    }
    if (std::strcmp(command, "open") == 0) {
        return Open(app, path);
    }
    if (std::strcmp(command, "close") == 0) {
        return static_cast<int>(CloseVellumark(app));
    }
    return WaitUntilIdle(app) ? EXIT_OK : Fail("Vellumark does not answer");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "draw") == 0) {
        return WriteTestMetafile(argv[2], SAMPLE_FRAME) ? EXIT_OK
                                                        : Fail("cannot write the metafile");
    }
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "open") == 0) {
        return Drive(argv[1], argv[2], argc == 4 ? argv[3] : nullptr);
    }
    if ((argc == 2 || argc == 3) &&
        (std::strcmp(argv[1], "wait") == 0 || std::strcmp(argv[1], "close") == 0)) {
        return Drive(argv[1], nullptr, argc == 3 ? argv[2] : nullptr);
    }
    return ShowUsage();
}
