// Every identifier the program gives its controls, commands and resources,
// and the title that names the program everywhere.
#pragma once

#include "version_info.h"

// The title serves as window class name, window title, dialog title and
// message-box caption.
inline constexpr char APP_TITLE[] = VELLUMARK_TITLE;

// One id per command, sent alike by its button (whose control id it is) and
// by its accelerator. Macros, since the resource script reads them too.
#define ID_OPEN 100
#define ID_PASTE 101
#define ID_ABOUT 102

// The accelerator table in the resource script.
#define ID_ACCELERATORS 1

// The other child controls of the main window.
constexpr int ID_PRINTER_COMBO = 103;
constexpr int ID_STEP1_LABEL = 104;
constexpr int ID_STEP2_LABEL = 105;
