#include "globals.h"

HINSTANCE Instance;
HWND MainWindow;
HWND PrinterList;
