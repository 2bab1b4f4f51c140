// Open and Paste over an EPS file that cannot be replaced: it stays as it
// was, nothing else appears in its folder, and the program takes the next
// command, which replaces the file once it can be.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver.h"
#include "ids.h"

namespace {

constexpr RECT WIDE_FRAME = {0, 0, 16000, 9000};
// 2329 x 1310 pixels on the EPS printer's A4 page at 300 dpi.
constexpr char WIDE_BOX_LINE[] = "%%BoundingBox: 13 506 584 832";
constexpr char PREVIOUS_EPS[] = "previous EPS\r\n";
constexpr DWORD POLL_MS = 50;

struct OwnedSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK MatchOwnedDialog(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<OwnedSearch*>(data);
    if (GetWindow(window, GW_OWNER) == search->owner && IsWindowVisible(window) &&
        ReadClassName(window) == DIALOG_CLASS) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Answers the Save dialog's question whether to replace the file with Yes.
bool ConfirmReplace(HWND saveDialog)
{
    for (DWORD waited = 0; waited < DRIVER_TIMEOUT_MS; waited += POLL_MS) {
        OwnedSearch search{saveDialog, nullptr};
        EnumWindows(MatchOwnedDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            PostMessageA(search.found, WM_COMMAND, IDYES, 0);
            return true;
        }
        Sleep(POLL_MS);
    }
    return false;
}

// Pastes the clipboard's picture over an existing file through the Save
// dialog, answering its question with Yes.
::testing::AssertionResult PasteOver(const RunningApp& app, const std::string& path)
{
    CommandCall call{};
    HWND dialog = StartFileCommand(call, app, ID_PASTE, EPS_FILTER_TEXT);
    if (dialog == nullptr) {
        return ::testing::AssertionFailure() << "expected the Save dialog";
    }
    AnswerFileDialog(dialog, path);
    const bool confirmed = ConfirmReplace(dialog);
    const ::testing::AssertionResult returned = FinishFileCommand(call, ID_PASTE);
    if (!returned) {
        return returned;
    }
    if (!confirmed) {
        return ::testing::AssertionFailure() << "expected the question whether to replace";
    }
    return ::testing::AssertionSuccess();
}

TEST(Replace, OpenLeavesEpsHeldOpenAsItWas)
{
    const std::string folder = PrepareOutputFolder("OpenHeldEps");
    const std::string eps = folder + "\\fig.eps";
    ASSERT_TRUE(WriteTestMetafile(folder + "\\fig.emf", WIDE_FRAME));
    ASSERT_TRUE(WriteFileBytes(eps, PREVIOUS_EPS));
    const std::vector<std::string> files = ListFiles(folder, "*");
    HANDLE viewer = CreateFileA(eps.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, viewer) << "expected to hold " << eps << " open";
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);

    ASSERT_TRUE(RunFileCommand(app, ID_OPEN, EMF_FILTER_TEXT, folder + "\\fig.emf"));
    EXPECT_EQ(PREVIOUS_EPS, ReadFileBytes(eps)) << "expected " << eps << " left as it was";
    EXPECT_EQ(files, ListFiles(folder, "*")) << "expected no file added in " << folder;
    CloseHandle(viewer);

    ASSERT_TRUE(RunFileCommand(app, ID_OPEN, EMF_FILTER_TEXT, folder + "\\fig.emf"));
    EXPECT_TRUE(HasBoundingBox(eps, WIDE_BOX_LINE));
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(Replace, PasteLeavesReadOnlyEpsAsItWas)
{
    const std::string folder = PrepareOutputFolder("PasteReadOnlyEps");
    const std::string eps = folder + "\\pasted.eps";
    ASSERT_TRUE(WriteFileBytes(eps, PREVIOUS_EPS));
    ASSERT_TRUE(SetFileAttributesA(eps.c_str(), FILE_ATTRIBUTE_READONLY));
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);

    ASSERT_TRUE(FillClipboard({{CF_ENHMETAFILE, CreateTestMetafile(WIDE_FRAME, WHOLE_CONTENT)}}));
    ASSERT_TRUE(PasteOver(app, eps));
    EXPECT_EQ(PREVIOUS_EPS, ReadFileBytes(eps)) << "expected " << eps << " left as it was";
    EXPECT_EQ(std::vector<std::string>{"pasted.eps"}, ListFiles(folder, "*"))
        << "expected no file added in " << folder;

    ASSERT_TRUE(SetFileAttributesA(eps.c_str(), FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(PasteOver(app, eps));
    EXPECT_TRUE(HasBoundingBox(eps, WIDE_BOX_LINE));
    EXPECT_EQ(0u, CloseVellumark(app));
}

}  // namespace
