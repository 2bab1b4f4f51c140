// The control panel: two numbered instructions, the printer list and the
// three command buttons.
#include "panel.h"

#include "globals.h"
#include "ids.h"
#include "lead_byte.h"
#include "eps/names.h"

namespace {

constexpr DWORD LABEL_STYLE = WS_CHILD | WS_VISIBLE | SS_SIMPLE;
// No CBS_SORT, so an entry's index is the order it was added in; no
// WS_VSCROLL on the dropped-down list.
constexpr DWORD PRINTER_LIST_STYLE = WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST;
constexpr DWORD BUTTON_STYLE = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

constexpr DWORD PRINTER_ENUM_FLAGS = PRINTER_ENUM_LOCAL | PRINTER_ENUM_NETWORK;
constexpr DWORD PRINTER_INFO_LEVEL = 2;
constexpr char POSTSCRIPT_WORD[] = "PostScript";

struct ControlLayout {
    const char* className;
    const char* text;
    DWORD extendedStyle;
    DWORD style;
    int x;
    int y;
    int width;
    int height;  // for the printer list, the height of its dropped-down list
    int id;
};

constexpr ControlLayout STEP1_LABEL_LAYOUT{
    "Static",      "1. Select Adobe PostScript Printer.", 0, LABEL_STYLE, 10, 10, 300, 20,
    ID_STEP1_LABEL};
constexpr ControlLayout STEP2_LABEL_LAYOUT{
    "Static", "2. Push Open or Paste.", 0, LABEL_STYLE, 10, 70, 300, 20, ID_STEP2_LABEL};
constexpr ControlLayout PRINTER_LIST_LAYOUT{
    "ComboBox", "", WS_EX_CLIENTEDGE, PRINTER_LIST_STYLE, 10, 30, 300, 300, ID_PRINTER_COMBO};
constexpr ControlLayout OPEN_BUTTON_LAYOUT{"Button", "Open (Ctrl+O)", 0, BUTTON_STYLE, 10, 90, 120,
                                           25,       ID_OPEN};
constexpr ControlLayout PASTE_BUTTON_LAYOUT{
    "Button", "Paste (Ctrl+V)", 0, BUTTON_STYLE, 140, 90, 120, 25, ID_PASTE};
constexpr ControlLayout ABOUT_BUTTON_LAYOUT{
    "Button", "About (Ctrl+A)", 0, BUTTON_STYLE, 270, 90, 120, 25, ID_ABOUT};

HWND CreateControl(HWND parent, const ControlLayout& layout)
{
    return CreateWindowExA(layout.extendedStyle, layout.className, layout.text, layout.style,
                           layout.x, layout.y, layout.width, layout.height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), Instance,
                           nullptr);
}

// Adds every printer in the spooler's order and selects the first whose name
// contains the word, else the first.
void AddPrinters(const PRINTER_INFO_2A* printers, DWORD count)
{
    WPARAM selected = 0;
    bool found = false;
    for (DWORD i = 0; i < count; ++i) {
        const char* name = printers[i].pPrinterName ? printers[i].pPrinterName : "";
        SendMessageA(PrinterList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        if (!found && ContainsText(name, POSTSCRIPT_WORD, IsLeadByte)) {
            selected = i;
            found = true;
        }
    }
    SendMessageA(PrinterList, CB_SETCURSEL, selected, 0);
}

}  // namespace

void OnCreate(HWND window)
{
    // In this order: the order of the window's children. Only the printer
    // list is read again later; the others work through their ids.
    CreateControl(window, STEP1_LABEL_LAYOUT);
    CreateControl(window, STEP2_LABEL_LAYOUT);
    PrinterList = CreateControl(window, PRINTER_LIST_LAYOUT);
    CreateControl(window, OPEN_BUTTON_LAYOUT);
    CreateControl(window, PASTE_BUTTON_LAYOUT);
    CreateControl(window, ABOUT_BUTTON_LAYOUT);
    FillPrinterList();
}

void FillPrinterList()
{
    DWORD needed = 0;
    DWORD returned = 0;
    EnumPrintersA(PRINTER_ENUM_FLAGS, nullptr, PRINTER_INFO_LEVEL, nullptr, 0, &needed, &returned);
    // No printers: the spooler asks for 0 bytes and the list stays empty.
    if (needed == 0) {
        return;
    }
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, needed);
    if (!memory) {
        return;
    }
    BYTE* buffer = static_cast<BYTE*>(GlobalLock(memory));
    if (buffer) {
        if (EnumPrintersA(PRINTER_ENUM_FLAGS, nullptr, PRINTER_INFO_LEVEL, buffer, needed, &needed,
                          &returned)) {
            AddPrinters(reinterpret_cast<const PRINTER_INFO_2A*>(buffer), returned);
        }
        GlobalUnlock(memory);
    }
    GlobalFree(memory);
}
