// Drives a running Vellumark.exe from outside, as a user would: finds its
// windows, answers its dialogs, fills the clipboard, types keys. Used by the
// program's tests and by the run script's demonstration.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

#include "test_support.h"

// How long any wait for the program lasts; a conversion takes well under a
// second, a first start of Wine's services a few.
constexpr DWORD DRIVER_TIMEOUT_MS = 20000;

// The class of every dialog box and message box.
constexpr char DIALOG_CLASS[] = "#32770";
// The file name box (cmb13, a ComboBoxEx32 with an edit inside) and the file
// type list (cmb1) of the Open and Save dialogs.
constexpr int FILE_NAME_BOX_ID = 0x47C;
constexpr int FILE_TYPE_LIST_ID = 0x470;
// The file type list's text in the Open and in the Save dialog.
constexpr char EMF_FILTER_TEXT[] = "EMF Files (*.emf)";
constexpr char EPS_FILTER_TEXT[] = "EPS Files (*.eps)";

// This build's Vellumark.exe, as a Windows path.
extern const char VELLUMARK_EXE[];

struct RunningApp {
    PROCESS_INFORMATION process;  // null handles when the program was found, not started
    DWORD processId;
    DWORD threadId;
    HWND window;
};

// Ends any Vellumark left running on this desktop, starts VELLUMARK_EXE and
// waits for its main window; window is null when none came.
RunningApp StartVellumark();
// The same with EPS_PRINTER the only printer installed.
RunningApp StartWithEpsPrinter();
// Finds the Vellumark already running on this desktop, by its window class;
// window is null when there is none within the timeout.
RunningApp FindVellumark();
// Closes the main window as the system menu's Close does and returns the
// process's exit code, or STILL_ACTIVE after ending a process that did not
// exit in time. Releases the app's handles.
DWORD CloseVellumark(RunningApp& app);

// A visible top-level window of this class, of the process (of any process
// for 0), or null when none appears within the timeout.
HWND WaitForTopWindow(DWORD processId, const char* className);
// The program's Open, Save or About box: its dialog-class window.
HWND WaitForDialog(const RunningApp& app);
// Whether the window was destroyed within the timeout.
bool WaitForWindowGone(HWND window);
// Whether the program's thread took a message within the timeout, which it
// does again once a command has returned.
bool WaitUntilIdle(const RunningApp& app);

// Reads a window's text through WM_GETTEXT, which works across processes
// for every kind of control.
std::string ReadWindowText(HWND window);
std::string ReadClassName(HWND window);
// The file type list's current text: which filter an Open or Save dialog has.
std::string ReadDialogFilter(HWND dialog);
// Whether the dialog is an Open or Save dialog rather than a message box.
bool IsFileDialog(HWND dialog);
// Types a path into an Open or Save dialog's file name box.
void EnterFileName(HWND dialog, const std::string& path);
// Types a path into an Open or Save dialog and confirms it.
void AnswerFileDialog(HWND dialog, const std::string& path);
void CancelDialog(HWND dialog);

// A command started by a message that the driver sends from a thread of its
// own, so that it can answer the command's dialogs while it waits. The call
// must stay in place until FinishCommand.
struct CommandCall {
    HWND window;
    WPARAM id;
    HANDLE thread;
};
bool StartCommand(CommandCall& call, HWND window, int id);
// Starts the command in the main window and returns the dialog it shows, or
// null when the command could not be sent or no dialog came.
HWND StartDialogCommand(CommandCall& call, const RunningApp& app, int id);
// Whether the command returned within the timeout; releases the call.
bool FinishCommand(CommandCall& call);
// Starts the Open or Save command and returns its dialog, which must show
// the filter and have no owner; when it did not come or was not so, the
// test fails, the command is ended and the result is null.
HWND StartFileCommand(CommandCall& call, const RunningApp& app, int id, const char* filter);
// Whether the command returned within the timeout; releases the call.
::testing::AssertionResult FinishFileCommand(CommandCall& call, int id);
// Runs the Open or Save command through its dialog, answered with the path;
// fails when the dialog did not come or was not so, or the command did not
// return.
::testing::AssertionResult RunFileCommand(const RunningApp& app, int id, const char* filter,
                                          const std::string& path);
// The same with the path typed and the dialog cancelled.
::testing::AssertionResult CancelFileCommand(const RunningApp& app, int id, const char* filter,
                                             const std::string& path);

// Gives the control the keyboard focus with the main window in front, as a
// click would; returns whether the program now reports that focus.
bool FocusControl(const RunningApp& app, HWND control);
// The control that has the keyboard focus in the program's thread.
HWND FocusedWindow(const RunningApp& app);
// Real keyboard input: presses and releases the key while the modifier key
// (VK_CONTROL, VK_MENU, or 0 for none) is held.
void PressKey(WORD virtualKey, WORD modifier);

struct ClipboardItem {
    UINT format;
    HANDLE data;
};
// Replaces the clipboard's content; the clipboard takes over the data.
bool FillClipboard(std::initializer_list<ClipboardItem> items);
// Movable memory holding a copy of the bytes, as the clipboard takes them.
HGLOBAL CopyToGlobalMemory(const void* bytes, size_t size);
