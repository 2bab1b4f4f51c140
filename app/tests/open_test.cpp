// Open end to end: the Open dialog answered with a file, and the EPS file
// the program writes beside it.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "ids.h"
#include "test_support.h"

namespace {

// A landscape frame of 160 x 90 mm.
constexpr LONG FRAME_WIDTH = 16000;
constexpr LONG FRAME_HEIGHT = 9000;
constexpr char EMF_FILTER_TEXT[] = "EMF Files (*.emf)";

// Runs Open through its dialog, answered with the path; false when the
// dialog did not come or the command did not return.
::testing::AssertionResult OpenThroughDialog(const RunningApp& app, const std::string& path)
{
    CommandCall call{};
    if (!StartCommand(call, app.window, ID_OPEN)) {
        return ::testing::AssertionFailure() << "cannot send the command";
    }
    HWND dialog = WaitForDialog(app);
    if (!dialog) {
        FinishCommand(call);
        return ::testing::AssertionFailure() << "expected the Open dialog";
    }
    const std::string filter = ReadDialogFilter(dialog);
    if (filter != EMF_FILTER_TEXT) {
        CancelDialog(dialog);
        FinishCommand(call);
        return ::testing::AssertionFailure()
               << "expected filter \"" << EMF_FILTER_TEXT << "\", got \"" << filter << "\"";
    }
    AnswerFileDialog(dialog, path);
    if (!FinishCommand(call)) {
        return ::testing::AssertionFailure() << "expected Open to return";
    }
    return ::testing::AssertionSuccess();
}

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

TEST(Open, WritesEpsBesideMetafile)
{
    const std::string folder = MakeTestFolder("OpenWritesEps");
    ASSERT_TRUE(DrawSampleMetafile(folder + "fig.emf", FRAME_WIDTH, FRAME_HEIGHT));
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);

    CommandCall call{};
    ASSERT_TRUE(StartCommand(call, app.window, ID_OPEN));
    HWND dialog = WaitForDialog(app);
    ASSERT_NE(nullptr, dialog) << "expected the Open dialog";
    EXPECT_EQ(APP_TITLE, ReadWindowText(dialog));
    EXPECT_EQ(EMF_FILTER_TEXT, ReadDialogFilter(dialog));
    // No owner: the main window stays enabled while the dialog is open.
    EXPECT_EQ(nullptr, GetWindow(dialog, GW_OWNER));
    EXPECT_TRUE(IsWindowEnabled(app.window));
    AnswerFileDialog(dialog, folder + "fig.emf");
    ASSERT_TRUE(FinishCommand(call));

    EXPECT_TRUE(HasBoundingBox(folder + "fig.eps", FRAME_WIDTH, FRAME_HEIGHT));
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(Open, ReplacesExistingEpsWithoutAsking)
{
    const std::string folder = MakeTestFolder("OpenReplaces");
    ASSERT_TRUE(DrawSampleMetafile(folder + "fig.emf", FRAME_HEIGHT, FRAME_WIDTH));
    WriteText(folder + "fig.eps", std::string(100000, 'x'));
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);
    ASSERT_TRUE(OpenThroughDialog(app, folder + "fig.emf"));
    EXPECT_TRUE(HasBoundingBox(folder + "fig.eps", FRAME_HEIGHT, FRAME_WIDTH));
    EXPECT_EQ(std::string::npos, ReadFileBytes(folder + "fig.eps").find("xxxx"));
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(Open, ReplacesExtensionWhateverItsLength)
{
    const std::string folder = MakeTestFolder("OpenExtensions");
    ASSERT_TRUE(DrawSampleMetafile(folder + "upper.EMF", FRAME_WIDTH, FRAME_HEIGHT));
    ASSERT_TRUE(DrawSampleMetafile(folder + "chart.x", FRAME_WIDTH, FRAME_HEIGHT));
    ASSERT_TRUE(DrawSampleMetafile(folder + "chart.emff", FRAME_HEIGHT, FRAME_WIDTH));
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);

    ASSERT_TRUE(OpenThroughDialog(app, folder + "upper.EMF"));
    EXPECT_TRUE(HasBoundingBox(folder + "upper.eps", FRAME_WIDTH, FRAME_HEIGHT));
    // Cutting three bytes would write "chareps" and "chart.eeps".
    ASSERT_TRUE(OpenThroughDialog(app, folder + "chart.x"));
    EXPECT_TRUE(HasBoundingBox(folder + "chart.eps", FRAME_WIDTH, FRAME_HEIGHT));
    EXPECT_FALSE(FileExists(folder + "chareps"));
    ASSERT_TRUE(OpenThroughDialog(app, folder + "chart.emff"));
    EXPECT_TRUE(HasBoundingBox(folder + "chart.eps", FRAME_HEIGHT, FRAME_WIDTH));
    EXPECT_FALSE(FileExists(folder + "chart.eeps"));
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(Open, MetafileNamedLikeItsOutputIsLeftAlone)
{
    const std::string folder = MakeTestFolder("OpenSameFile");
    ASSERT_TRUE(DrawSampleMetafile(folder + "fig.eps", FRAME_WIDTH, FRAME_HEIGHT));
    ASSERT_TRUE(DrawSampleMetafile(folder + "Upper.EPS", FRAME_WIDTH, FRAME_HEIGHT));
    const std::string lower = ReadFileBytes(folder + "fig.eps");
    const std::string upper = ReadFileBytes(folder + "Upper.EPS");
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);

    ASSERT_TRUE(OpenThroughDialog(app, folder + "fig.eps"));
    EXPECT_EQ(lower, ReadFileBytes(folder + "fig.eps")) << "expected the metafile untouched";
    // Upper.eps names the same file as Upper.EPS, letter case aside.
    ASSERT_TRUE(OpenThroughDialog(app, folder + "Upper.EPS"));
    EXPECT_EQ(upper, ReadFileBytes(folder + "Upper.EPS")) << "expected the metafile untouched";
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(Open, CancelWritesNothing)
{
    const std::string folder = MakeTestFolder("OpenCancel");
    ASSERT_TRUE(DrawSampleMetafile(folder + "fig.emf", FRAME_WIDTH, FRAME_HEIGHT));
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);
    CommandCall call{};
    ASSERT_TRUE(StartCommand(call, app.window, ID_OPEN));
    HWND dialog = WaitForDialog(app);
    ASSERT_NE(nullptr, dialog);
    EnterFileName(dialog, folder + "fig.emf");
    CancelDialog(dialog);
    ASSERT_TRUE(FinishCommand(call));
    EXPECT_FALSE(FileExists(folder + "fig.eps"));
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(Open, FileThatIsNotMetafileWritesNothing)
{
    const std::string folder = MakeTestFolder("OpenNotMetafile");
    WriteText(folder + "notes.emf", "Not a metafile.\r\n");
    WriteText(folder + "empty.emf", "");
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);
    ASSERT_TRUE(OpenThroughDialog(app, folder + "notes.emf"));
    ASSERT_TRUE(OpenThroughDialog(app, folder + "empty.emf"));
    EXPECT_FALSE(FileExists(folder + "notes.eps"));
    EXPECT_FALSE(FileExists(folder + "empty.eps"));
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(Open, WithoutPrintersWritesNothing)
{
    const std::string folder = MakeTestFolder("OpenNoPrinter");
    ASSERT_TRUE(DrawSampleMetafile(folder + "fig.emf", FRAME_WIDTH, FRAME_HEIGHT));
    ASSERT_TRUE(UsePrinters({}));
    RunningApp app = StartVellumarkUnderTest();
    ASSERT_NE(nullptr, app.window);
    ASSERT_TRUE(OpenThroughDialog(app, folder + "fig.emf"));
    EXPECT_FALSE(FileExists(folder + "fig.eps"));
    EXPECT_EQ(0u, CloseVellumark(app));
}

}  // namespace
