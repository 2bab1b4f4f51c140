// The program's global state: the instance handle, the main window and the
// printer list, whose selection the commands read. Only the user-interface
// thread touches them.
#pragma once

#include <windows.h>

extern HINSTANCE Instance;
extern HWND MainWindow;
extern HWND PrinterList;
