// The commands: Open, Paste and About.
#pragma once

#include <windows.h>

// Runs the command a button or its accelerator sent; other ids are ignored.
void OnCommand(HWND window, WORD id);

// The Open and Save dialogs: true when the user confirmed a path, which is
// then in buffer; false at once when there is no buffer.
bool ChooseEmfFile(char* buffer, DWORD size);
bool ChooseEpsFile(char* buffer, DWORD size);
