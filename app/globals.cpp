#include "globals.h"

HINSTANCE Instance;
HWND MainWindow;
HWND Step1Label;
HWND Step2Label;
HWND PrinterList;
HWND OpenButton;
HWND PasteButton;
HWND AboutButton;
