#include "driver.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "ids.h"

const char VELLUMARK_EXE[] = VELLUMARK_EXE_PATH;

namespace {

constexpr DWORD POLL_INTERVAL_MS = 20;
// How long the program gets to end on its own before it is ended.
constexpr DWORD EXIT_TIMEOUT_MS = 10000;
constexpr size_t TEXT_BUFFER_SIZE = 1024;
constexpr int START_ATTEMPTS = 3;
constexpr DWORD START_RETRY_PAUSE_MS = 500;

struct WindowSearch {
    DWORD processId;
    const char* className;
    HWND found;
};

BOOL CALLBACK MatchTopWindow(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if ((search->processId == 0 || processId == search->processId) && IsWindowVisible(window) &&
        ReadClassName(window) == search->className) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindTopWindow(DWORD processId, const char* className)
{
    WindowSearch search{processId, className, nullptr};
    EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Ends every Vellumark whose main window (found by its window class) is on
// this desktop: what a failed test may have left behind.
void EndLeftoverVellumark()
{
    for (;;) {
        HWND window = FindWindowA(APP_TITLE, nullptr);
        if (!window) {
            return;
        }
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
        if (!process) {
            return;
        }
        TerminateProcess(process, 1);
        WaitForSingleObject(process, EXIT_TIMEOUT_MS);
        CloseHandle(process);
    }
}

RunningApp DescribeRunningApp(HWND window)
{
    RunningApp app{};
    app.window = window;
    if (window) {
        app.threadId = GetWindowThreadProcessId(window, &app.processId);
    }
    return app;
}

DWORD WINAPI SendCommand(void* parameter)
{
    auto* call = static_cast<CommandCall*>(parameter);
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(call->window, WM_COMMAND, call->id, 0, SMTO_NORMAL,
                               DRIVER_TIMEOUT_MS, &result) != 0;
}

INPUT KeyInput(WORD virtualKey, bool release)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = release ? KEYEVENTF_KEYUP : 0;
    return input;
}

// A hidden window of the driver's own, to own what it puts on the clipboard.
HWND ClipboardOwner()
{
    static HWND owner = CreateWindowExA(0, "Static", "", 0, 0, 0, 0, 0, nullptr, nullptr,
                                        GetModuleHandleA(nullptr), nullptr);
    return owner;
}

// Starts the program, trying again after a pause: under 64-bit Wine a start
// right after the previous program ended has now and then failed at once.
// Each failure is reported with its error code.
bool StartProcess(std::string& commandLine, STARTUPINFOA& startup, PROCESS_INFORMATION& process)
{
    for (int attempt = 1; attempt <= START_ATTEMPTS; ++attempt) {
        if (CreateProcessA(VELLUMARK_EXE, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &process)) {
            return true;
        }
        std::fprintf(stderr, "starting %s failed (attempt %d of %d): error %lu\n", VELLUMARK_EXE,
                     attempt, START_ATTEMPTS, GetLastError());
        Sleep(START_RETRY_PAUSE_MS);
    }
    return false;
}

}  // namespace

RunningApp StartVellumark()
{
    EndLeftoverVellumark();
    RunningApp app{};
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = std::string("\"") + VELLUMARK_EXE + "\"";
    if (!StartProcess(commandLine, startup, app.process)) {
        return app;
    }
    app.processId = app.process.dwProcessId;
    app.threadId = app.process.dwThreadId;
    app.window = WaitForTopWindow(app.processId, APP_TITLE);
    if (app.window) {
        WaitForInputIdle(app.process.hProcess, DRIVER_TIMEOUT_MS);
    }
    return app;
}

RunningApp StartWithEpsPrinter()
{
    EXPECT_TRUE(UsePrinters({EPS_PRINTER}));
    return StartVellumark();
}

RunningApp FindVellumark()
{
    return DescribeRunningApp(WaitForTopWindow(0, APP_TITLE));
}

DWORD CloseVellumark(RunningApp& app)
{
    HANDLE process = app.process.hProcess;
    if (!process) {
        process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE,
                              app.processId);
    }
    DWORD exitCode = STILL_ACTIVE;
    if (process) {
        PostMessageA(app.window, WM_SYSCOMMAND, SC_CLOSE, 0);
        if (WaitForSingleObject(process, EXIT_TIMEOUT_MS) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process, &exitCode);
        } else {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, EXIT_TIMEOUT_MS);
        }
        CloseHandle(process);
    }
    if (app.process.hThread) {
        CloseHandle(app.process.hThread);
    }
    app = RunningApp{};
    return exitCode;
}

HWND WaitForTopWindow(DWORD processId, const char* className)
{
    const DWORD start = GetTickCount();
    do {
        HWND window = FindTopWindow(processId, className);
        if (window) {
            return window;
        }
        Sleep(POLL_INTERVAL_MS);
    } while (GetTickCount() - start < DRIVER_TIMEOUT_MS);
    return nullptr;
}

HWND WaitForDialog(const RunningApp& app)
{
    return WaitForTopWindow(app.processId, DIALOG_CLASS);
}

bool WaitForWindowGone(HWND window)
{
    const DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start >= DRIVER_TIMEOUT_MS) {
            return false;
        }
        Sleep(POLL_INTERVAL_MS);
    }
    return true;
}

bool WaitUntilIdle(const RunningApp& app)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(app.window, WM_NULL, 0, 0, SMTO_NORMAL, DRIVER_TIMEOUT_MS,
                               &result) != 0;
}

std::string ReadWindowText(HWND window)
{
    char text[TEXT_BUFFER_SIZE] = {};
    SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string ReadClassName(HWND window)
{
    char name[TEXT_BUFFER_SIZE] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string ReadDialogFilter(HWND dialog)
{
    return ReadWindowText(GetDlgItem(dialog, FILE_TYPE_LIST_ID));
}

bool IsFileDialog(HWND dialog)
{
    return GetDlgItem(dialog, FILE_TYPE_LIST_ID) != nullptr;
}

void EnterFileName(HWND dialog, const std::string& path)
{
    HWND box = GetDlgItem(dialog, FILE_NAME_BOX_ID);
    HWND combo = FindWindowExA(box, nullptr, "ComboBox", nullptr);
    HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
}

void AnswerFileDialog(HWND dialog, const std::string& path)
{
    EnterFileName(dialog, path);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

void CancelDialog(HWND dialog)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
}

bool StartCommand(CommandCall& call, HWND window, int id)
{
    call = CommandCall{window, static_cast<WPARAM>(id), nullptr};
    call.thread = CreateThread(nullptr, 0, SendCommand, &call, 0, nullptr);
    return call.thread != nullptr;
}

HWND StartDialogCommand(CommandCall& call, const RunningApp& app, int id)
{
    return StartCommand(call, app.window, id) ? WaitForDialog(app) : nullptr;
}

bool FinishCommand(CommandCall& call)
{
    if (!call.thread) {
        return false;
    }
    const bool ended = WaitForSingleObject(call.thread, DRIVER_TIMEOUT_MS) == WAIT_OBJECT_0;
    DWORD sent = 0;
    GetExitCodeThread(call.thread, &sent);
    CloseHandle(call.thread);
    call.thread = nullptr;
    return ended && sent != 0;
}

HWND StartFileCommand(CommandCall& call, const RunningApp& app, int id, const char* filter)
{
    HWND dialog = StartDialogCommand(call, app, id);
    if (!dialog) {
        FinishCommand(call);
        ADD_FAILURE() << "expected a dialog for command " << id;
        return nullptr;
    }
    const std::string shownFilter = ReadDialogFilter(dialog);
    const bool owned = GetWindow(dialog, GW_OWNER) != nullptr;
    if (shownFilter != filter || owned) {
        CancelDialog(dialog);
        FinishCommand(call);
        ADD_FAILURE() << "expected filter \"" << filter << "\" and no owner, got \"" << shownFilter
                      << "\"" << (owned ? " and an owner" : "");
        return nullptr;
    }
    return dialog;
}

::testing::AssertionResult FinishFileCommand(CommandCall& call, int id)
{
    if (!FinishCommand(call)) {
        return ::testing::AssertionFailure() << "expected command " << id << " to return";
    }
    return ::testing::AssertionSuccess();
}

namespace {

// Runs the Open or Save command with answer closing its dialog.
::testing::AssertionResult RunFileCommandWith(const RunningApp& app, int id, const char* filter,
                                              const std::function<void(HWND dialog)>& answer)
{
    CommandCall call{};
    HWND dialog = StartFileCommand(call, app, id, filter);
    if (!dialog) {
        return ::testing::AssertionFailure() << "expected the dialog of command " << id;
    }
    answer(dialog);
    return FinishFileCommand(call, id);
}

}  // namespace

::testing::AssertionResult RunFileCommand(const RunningApp& app, int id, const char* filter,
                                          const std::string& path)
{
    return RunFileCommandWith(app, id, filter,
                              [&](HWND dialog) { AnswerFileDialog(dialog, path); });
}

::testing::AssertionResult CancelFileCommand(const RunningApp& app, int id, const char* filter,
                                             const std::string& path)
{
    return RunFileCommandWith(app, id, filter, [&](HWND dialog) {
        EnterFileName(dialog, path);
        CancelDialog(dialog);
    });
}

bool FocusControl(const RunningApp& app, HWND control)
{
    const DWORD ownThread = GetCurrentThreadId();
    AttachThreadInput(ownThread, app.threadId, TRUE);
    SetForegroundWindow(app.window);
    SetFocus(control);
    AttachThreadInput(ownThread, app.threadId, FALSE);
    return FocusedWindow(app) == control;
}

HWND FocusedWindow(const RunningApp& app)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(app.threadId, &info)) {
        return nullptr;
    }
    return info.hwndFocus;
}

void PressKey(WORD virtualKey, WORD modifier)
{
    INPUT inputs[4] = {};
    UINT count = 0;
    if (modifier) {
        inputs[count++] = KeyInput(modifier, false);
    }
    inputs[count++] = KeyInput(virtualKey, false);
    inputs[count++] = KeyInput(virtualKey, true);
    if (modifier) {
        inputs[count++] = KeyInput(modifier, true);
    }
    SendInput(count, inputs, sizeof(INPUT));
}

bool FillClipboard(std::initializer_list<ClipboardItem> items)
{
    if (!OpenClipboard(ClipboardOwner())) {
        return false;
    }
    EmptyClipboard();
    bool filled = true;
    for (const ClipboardItem& item : items) {
        filled = SetClipboardData(item.format, item.data) != nullptr && filled;
    }
    CloseClipboard();
    return filled;
}

HGLOBAL CopyToGlobalMemory(const void* bytes, size_t size)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    void* copy = memory ? GlobalLock(memory) : nullptr;
    if (!copy) {
        GlobalFree(memory);
        return nullptr;
    }
    std::memcpy(copy, bytes, size);
    GlobalUnlock(memory);
    return memory;
}
