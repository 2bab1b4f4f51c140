// The control panel: the six child controls of the main window and the
// printer list.
#pragma once

#include <windows.h>

// Creates the controls as children of window, then fills the printer list.
void OnCreate(HWND window);

// Lists every printer the spooler returns and selects the first whose name
// contains "PostScript", else the first.
void FillPrinterList();
