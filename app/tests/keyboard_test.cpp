// Ctrl+O, Ctrl+V and Ctrl+A typed on the keyboard, whichever control has the
// focus, and the buttons clicked: each runs its command, told apart by the
// dialog it shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver.h"
#include "ids.h"

namespace {

constexpr RECT SQUARE_FRAME = {0, 0, 1000, 1000};

// The windows that can take the keyboard focus: the main window and every
// control but the two labels.
std::vector<HWND> FocusTargets(HWND window)
{
    return {window, GetDlgItem(window, ID_PRINTER_COMBO), GetDlgItem(window, ID_OPEN),
            GetDlgItem(window, ID_PASTE), GetDlgItem(window, ID_ABOUT)};
}

// A metafile on the clipboard, so that Paste goes as far as its Save dialog.
bool PutMetafileOnClipboard()
{
    return FillClipboard({{CF_ENHMETAFILE, CreateTestMetafile(SQUARE_FRAME, WHOLE_CONTENT)}});
}

// The dialog the command shows: the file type list of the Open or Save
// dialog, or "About" for the message box. Closes it and waits until the
// program is back in its message loop.
std::string CloseCommandDialog(const RunningApp& app)
{
    HWND dialog = WaitForDialog(app);
    if (!dialog) {
        return "no dialog";
    }
    const bool fileDialog = IsFileDialog(dialog);
    const std::string kind = fileDialog ? ReadDialogFilter(dialog) : "About";
    if (fileDialog) {
        CancelDialog(dialog);
    } else {
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    }
    if (!WaitForWindowGone(dialog) || !WaitUntilIdle(app)) {
        return "dialog did not close";
    }
    return kind;
}

void ExpectKeyRunsCommandFromEveryControl(WORD key, const std::string& expectedDialog)
{
    ASSERT_TRUE(PutMetafileOnClipboard());
    RunningApp app = StartVellumark();
    ASSERT_NE(nullptr, app.window);
    for (HWND target : FocusTargets(app.window)) {
        SCOPED_TRACE("focus on control " + std::to_string(GetDlgCtrlID(target)));
        ASSERT_TRUE(FocusControl(app, target)) << "expected the focus to move there";
        PressKey(key, VK_CONTROL);
        EXPECT_EQ(expectedDialog, CloseCommandDialog(app));
    }
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(Keyboard, CtrlORunsOpen)
{
    ExpectKeyRunsCommandFromEveryControl('O', EMF_FILTER_TEXT);
}

TEST(Keyboard, CtrlVRunsPaste)
{
    ExpectKeyRunsCommandFromEveryControl('V', EPS_FILTER_TEXT);
}

TEST(Keyboard, CtrlARunsAbout)
{
    ExpectKeyRunsCommandFromEveryControl('A', "About");
}

TEST(Keyboard, TabDoesNotMoveFocus)
{
    RunningApp app = StartVellumark();
    ASSERT_NE(nullptr, app.window);
    HWND openButton = GetDlgItem(app.window, ID_OPEN);
    ASSERT_TRUE(FocusControl(app, openButton));
    PressKey(VK_TAB, 0);
    ASSERT_TRUE(WaitUntilIdle(app));
    EXPECT_EQ(openButton, FocusedWindow(app));
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(Buttons, ClicksRunTheSameCommands)
{
    ASSERT_TRUE(PutMetafileOnClipboard());
    RunningApp app = StartVellumark();
    ASSERT_NE(nullptr, app.window);
    const struct {
        int id;
        const char* dialog;
    } buttons[] = {{ID_OPEN, EMF_FILTER_TEXT}, {ID_PASTE, EPS_FILTER_TEXT}, {ID_ABOUT, "About"}};
    for (const auto& button : buttons) {
        SCOPED_TRACE("button " + std::to_string(button.id));
        PostMessageA(GetDlgItem(app.window, button.id), BM_CLICK, 0, 0);
        EXPECT_EQ(button.dialog, CloseCommandDialog(app));
    }
    EXPECT_EQ(0u, CloseVellumark(app));
}

}  // namespace
