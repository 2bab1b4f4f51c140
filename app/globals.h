// The program's global state: the instance handle, the main window and its
// six controls. Only the user-interface thread touches them.
#pragma once

#include <windows.h>

extern HINSTANCE Instance;
extern HWND MainWindow;
extern HWND Step1Label;
extern HWND Step2Label;
extern HWND PrinterList;
extern HWND OpenButton;
extern HWND PasteButton;
extern HWND AboutButton;
