// The About box.
#include <gtest/gtest.h>

#include <string>

#include "driver.h"
#include "ids.h"

namespace {

// The longest notice that fits the 260-byte buffer after the title and CR LF.
constexpr size_t MAX_NOTICE_LENGTH = 236;

struct TextSearch {
    std::string text;
};

BOOL CALLBACK FindStaticText(HWND child, LPARAM parameter)
{
    const std::string text = ReadWindowText(child);
    if (lstrcmpiA(ReadClassName(child).c_str(), "Static") == 0 && !text.empty()) {
        reinterpret_cast<TextSearch*>(parameter)->text = text;
        return FALSE;
    }
    return TRUE;
}

std::string MessageBoxText(HWND box)
{
    TextSearch search;
    EnumChildWindows(box, FindStaticText, reinterpret_cast<LPARAM>(&search));
    return search.text;
}

TEST(About, ShowsTitleAndOneLineNotice)
{
    RunningApp app = StartVellumark();
    ASSERT_NE(nullptr, app.window);
    CommandCall call{};
    HWND box = StartDialogCommand(call, app, ID_ABOUT);
    ASSERT_NE(nullptr, box) << "expected the About box";
    EXPECT_EQ(APP_TITLE, ReadWindowText(box));
    EXPECT_EQ(app.window, GetWindow(box, GW_OWNER)) << "expected the main window to own it";
    EXPECT_FALSE(IsWindowEnabled(app.window)) << "expected the main window disabled meanwhile";
    EXPECT_NE(nullptr, GetDlgItem(box, IDOK));
    EXPECT_EQ(nullptr, GetDlgItem(box, IDCANCEL)) << "expected an OK button alone";

    const std::string text = MessageBoxText(box);
    const std::string head = std::string(APP_TITLE) + "\r\n";
    ASSERT_EQ(head, text.substr(0, head.size())) << "got \"" << text << "\"";
    const std::string notice = text.substr(head.size());
    EXPECT_FALSE(notice.empty());
    EXPECT_LE(notice.size(), MAX_NOTICE_LENGTH);
    EXPECT_EQ(std::string::npos, notice.find_first_of("\r\n")) << "expected one line";

    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(FinishCommand(call)) << "expected the command to return after OK";
    EXPECT_TRUE(IsWindowEnabled(app.window));
    EXPECT_EQ(0u, CloseVellumark(app));
}

}  // namespace
