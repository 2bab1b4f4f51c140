// Open end to end: the Open dialog answered with a file, and the EPS file
// the program writes beside it.
#include <gtest/gtest.h>

#include <string>

#include "driver.h"
#include "ids.h"

namespace {

// A landscape frame of 160 x 90 mm and the same turned upright, and the
// boxes the program writes for them on the EPS printer's A4 page at 300 dpi:
// 2329 x 1310 pixels, the width limiting, and 1888 x 3358, the height.
constexpr RECT WIDE_FRAME = {0, 0, 16000, 9000};
constexpr RECT TALL_FRAME = {0, 0, 9000, 16000};
constexpr char WIDE_BOX_LINE[] = "%%BoundingBox: 13 506 584 832";
constexpr char TALL_BOX_LINE[] = "%%BoundingBox: 13 13 478 832";

::testing::AssertionResult OpenThroughDialog(const RunningApp& app, const std::string& path)
{
    return RunFileCommand(app, ID_OPEN, EMF_FILTER_TEXT, path);
}

TEST(Open, WritesEpsBesideMetafile)
{
    const std::string folder = PrepareOutputFolder("OpenWritesEps");
    ASSERT_TRUE(WriteTestMetafile(folder + "\\fig.emf", WIDE_FRAME));
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);

    CommandCall call{};
    HWND dialog = StartFileCommand(call, app, ID_OPEN, EMF_FILTER_TEXT);
    ASSERT_NE(nullptr, dialog) << "expected the Open dialog";
    EXPECT_EQ(APP_TITLE, ReadWindowText(dialog));
    // No owner: the main window stays enabled while the dialog is open.
    EXPECT_TRUE(IsWindowEnabled(app.window));
    AnswerFileDialog(dialog, folder + "\\fig.emf");
    ASSERT_TRUE(FinishFileCommand(call, ID_OPEN));

    EXPECT_TRUE(HasBoundingBox(folder + "\\fig.eps", WIDE_BOX_LINE));
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(Open, ReplacesExistingEpsWithoutAsking)
{
    const std::string folder = PrepareOutputFolder("OpenReplaces");
    ASSERT_TRUE(WriteTestMetafile(folder + "\\fig.emf", TALL_FRAME));
    ASSERT_TRUE(WriteFileBytes(folder + "\\fig.eps", std::string(100000, 'x')));
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);
    ASSERT_TRUE(OpenThroughDialog(app, folder + "\\fig.emf"));
    EXPECT_TRUE(HasBoundingBox(folder + "\\fig.eps", TALL_BOX_LINE));
    EXPECT_EQ(std::string::npos, ReadFileBytes(folder + "\\fig.eps").find("xxxx"));
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(Open, ReplacesExtensionWhateverItsLength)
{
    const std::string folder = PrepareOutputFolder("OpenExtensions");
    ASSERT_TRUE(WriteTestMetafile(folder + "\\upper.EMF", WIDE_FRAME));
    ASSERT_TRUE(WriteTestMetafile(folder + "\\chart.x", WIDE_FRAME));
    ASSERT_TRUE(WriteTestMetafile(folder + "\\chart.emff", TALL_FRAME));
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);

    ASSERT_TRUE(OpenThroughDialog(app, folder + "\\upper.EMF"));
    EXPECT_TRUE(HasBoundingBox(folder + "\\upper.eps", WIDE_BOX_LINE));
    // Cutting three bytes would write "chareps" and "chart.eeps".
    ASSERT_TRUE(OpenThroughDialog(app, folder + "\\chart.x"));
    EXPECT_TRUE(HasBoundingBox(folder + "\\chart.eps", WIDE_BOX_LINE));
    EXPECT_FALSE(FileExists(folder + "\\chareps"));
    ASSERT_TRUE(OpenThroughDialog(app, folder + "\\chart.emff"));
    EXPECT_TRUE(HasBoundingBox(folder + "\\chart.eps", TALL_BOX_LINE));
    EXPECT_FALSE(FileExists(folder + "\\chart.eeps"));
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(Open, MetafileNamedLikeItsOutputIsLeftAlone)
{
    const std::string folder = PrepareOutputFolder("OpenSameFile");
    ASSERT_TRUE(WriteTestMetafile(folder + "\\fig.eps", WIDE_FRAME));
    ASSERT_TRUE(WriteTestMetafile(folder + "\\Upper.EPS", WIDE_FRAME));
    const std::string lower = ReadFileBytes(folder + "\\fig.eps");
    const std::string upper = ReadFileBytes(folder + "\\Upper.EPS");
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);

    ASSERT_TRUE(OpenThroughDialog(app, folder + "\\fig.eps"));
    EXPECT_EQ(lower, ReadFileBytes(folder + "\\fig.eps")) << "expected the metafile untouched";
    // Upper.eps names the same file as Upper.EPS, letter case aside.
    ASSERT_TRUE(OpenThroughDialog(app, folder + "\\Upper.EPS"));
    EXPECT_EQ(upper, ReadFileBytes(folder + "\\Upper.EPS")) << "expected the metafile untouched";
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(Open, CancelWritesNothing)
{
    const std::string folder = PrepareOutputFolder("OpenCancel");
    ASSERT_TRUE(WriteTestMetafile(folder + "\\fig.emf", WIDE_FRAME));
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);
    ASSERT_TRUE(CancelFileCommand(app, ID_OPEN, EMF_FILTER_TEXT, folder + "\\fig.emf"));
    EXPECT_FALSE(FileExists(folder + "\\fig.eps"));
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(Open, FileThatIsNotMetafileWritesNothing)
{
    const std::string folder = PrepareOutputFolder("OpenNotMetafile");
    ASSERT_TRUE(WriteFileBytes(folder + "\\notes.emf", "Not a metafile.\r\n"));
    ASSERT_TRUE(WriteFileBytes(folder + "\\empty.emf", ""));
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);
    ASSERT_TRUE(OpenThroughDialog(app, folder + "\\notes.emf"));
    ASSERT_TRUE(OpenThroughDialog(app, folder + "\\empty.emf"));
    EXPECT_FALSE(FileExists(folder + "\\notes.eps"));
    EXPECT_FALSE(FileExists(folder + "\\empty.eps"));
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(Open, WithoutPrintersWritesNothing)
{
    const std::string folder = PrepareOutputFolder("OpenNoPrinter");
    ASSERT_TRUE(WriteTestMetafile(folder + "\\fig.emf", WIDE_FRAME));
    ASSERT_TRUE(UsePrinters({}));
    RunningApp app = StartVellumark();
    ASSERT_NE(nullptr, app.window);
    ASSERT_TRUE(OpenThroughDialog(app, folder + "\\fig.emf"));
    EXPECT_FALSE(FileExists(folder + "\\fig.eps"));
    EXPECT_EQ(0u, CloseVellumark(app));
}

}  // namespace
