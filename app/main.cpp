// Entry point, main window and message loop.
#include <windows.h>

#include "commands.h"
#include "gdiplus_picture.h"
#include "globals.h"
#include "ids.h"
#include "panel.h"

namespace {

static_assert(sizeof(WNDCLASSEXA) == (sizeof(void*) == 8 ? 80 : 48),
              "WNDCLASSEXA: 48 bytes on 32-bit Windows, 80 on 64-bit");

// A captioned pop-up window with a system menu and a minimise box: no
// maximise box and no sizing border.
constexpr DWORD MAIN_WINDOW_STYLE =
    WS_POPUP | WS_BORDER | WS_DLGFRAME | WS_SYSMENU | WS_MINIMIZEBOX;
// The outer size, frame and caption included.
constexpr int MAIN_WINDOW_WIDTH = 410;
constexpr int MAIN_WINDOW_HEIGHT = 160;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_CREATE:
            OnCreate(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_COMMAND:
            OnCommand(window, LOWORD(wParam));
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

ATOM RegisterMainClass()
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = Instance;
    windowClass.hIcon = static_cast<HICON>(
        LoadImageA(nullptr, IDI_APPLICATION, IMAGE_ICON, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
    windowClass.hCursor = static_cast<HCURSOR>(
        LoadImageA(nullptr, IDC_ARROW, IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = APP_TITLE;
    return RegisterClassExA(&windowClass);
}

HWND CreateMainWindow()
{
    return CreateWindowExA(0, APP_TITLE, APP_TITLE, MAIN_WINDOW_STYLE, CW_USEDEFAULT, CW_USEDEFAULT,
                           MAIN_WINDOW_WIDTH, MAIN_WINDOW_HEIGHT, nullptr, nullptr, Instance,
                           nullptr);
}

// Runs until the quit message (or an error) and returns the last message's
// wParam: the quit message's exit code. Without an accelerator table the
// keys simply go to the focused control.
WPARAM RunMessageLoop(HACCEL accelerators)
{
    MSG message{};
    for (;;) {
        const BOOL result = GetMessageA(&message, nullptr, 0, 0);
        if (result == 0 || result == -1) {
            return message.wParam;
        }
        if (accelerators && TranslateAcceleratorA(MainWindow, accelerators, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    Instance = instance;
    if (RegisterMainClass() == 0) {
        return 0;
    }
    MainWindow = CreateMainWindow();
    if (!MainWindow) {
        return 0;
    }
    ShowWindow(MainWindow, showCommand);
    UpdateWindow(MainWindow);

    // A table loaded from the program's resources is freed with the program;
    // it is not destroyed here.
    HACCEL accelerators = LoadAcceleratorsA(Instance, MAKEINTRESOURCEA(ID_ACCELERATORS));
    // Without GDI+ the job draws every metafile through GDI alone.
    StartGdiPlus();
    const WPARAM exitCode = RunMessageLoop(accelerators);
    StopGdiPlus();
    return static_cast<int>(exitCode);
}
