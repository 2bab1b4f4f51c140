// Every identifier the program gives its controls and commands, and the title
// that names the program everywhere.
#pragma once

// The title serves as window class name, window title, dialog title and
// message-box caption.
inline constexpr char APP_TITLE[] = "Vellumark Version 0.5";

// Child controls of the main window; a button's id is also its command.
constexpr int ID_OPEN = 100;
constexpr int ID_PASTE = 101;
constexpr int ID_ABOUT = 102;
constexpr int ID_PRINTER_COMBO = 103;
constexpr int ID_STEP1_LABEL = 104;
constexpr int ID_STEP2_LABEL = 105;

// Commands sent by the keyboard accelerators.
constexpr int IDM_OPEN = 200;
constexpr int IDM_PASTE = 201;
constexpr int IDM_ABOUT = 202;
