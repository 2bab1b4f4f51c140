// Paste end to end: the clipboard filled by the driver, the Save dialog
// answered, and the EPS file the program writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <string>

#include "driver.h"
#include "emf_plus_pictures.h"
#include "ids.h"

namespace {

// Three pictures of different proportions, so that the box tells which one
// was converted, and the boxes the program writes for them on the EPS
// printer's A4 page at 300 dpi. The metafile's frame is 120 x 80 mm: placed
// at 2329 x 1552 pixels.
constexpr RECT METAFILE_FRAME = {0, 0, 12000, 8000};
constexpr char METAFILE_BOX_LINE[] = "%%BoundingBox: 13 448 584 832";
// A DIB of 200 x 50 pixels: 2329 x 582.
constexpr int32_t DIB_WIDTH = 200;
constexpr int32_t DIB_HEIGHT = 50;
constexpr char DIB_BOX_LINE[] = "%%BoundingBox: 13 682 584 832";
// A bitmap of 90 x 300 pixels: 1007 x 3358, the height limiting.
constexpr int BITMAP_WIDTH = 90;
constexpr int BITMAP_HEIGHT = 300;
constexpr char BITMAP_BOX_LINE[] = "%%BoundingBox: 13 13 266 832";

constexpr uint16_t DIB_BITS = 24;
constexpr uint8_t MID_GREY = 0x80;
// Far fewer pixel bytes than the DIB's header promises.
constexpr size_t SHORT_PIXEL_BYTES = 16;
constexpr char ONLY_TEXT[] = "Only text.";

// The mid-grey 24-bit DIB in movable memory, with pixelBytes pixel bytes (the
// whole picture's when 0).
HGLOBAL CreatePackedDib(size_t pixelBytes)
{
    TestDib dib = MakeInfoDib(DIB_WIDTH, DIB_HEIGHT, DIB_BITS, 0, BI_RGB);
    std::fill(dib.block.begin() + static_cast<std::ptrdiff_t>(dib.pixelOffset), dib.block.end(),
              MID_GREY);
    const size_t size = pixelBytes ? dib.pixelOffset + pixelBytes : dib.block.size();
    return CopyToGlobalMemory(dib.block.data(), size);
}

ClipboardItem MetafileItem()
{
    return {CF_ENHMETAFILE, CreateTestMetafile(METAFILE_FRAME, WHOLE_CONTENT)};
}

ClipboardItem DibItem()
{
    return {CF_DIB, CreatePackedDib(0)};
}

ClipboardItem BitmapItem()
{
    return {CF_BITMAP, CreateTestDeviceBitmap(BITMAP_WIDTH, BITMAP_HEIGHT)};
}

ClipboardItem TextItem()
{
    return {CF_TEXT, CopyToGlobalMemory(ONLY_TEXT, sizeof ONLY_TEXT)};
}

// Pastes the clipboard's picture into path through the Save dialog.
::testing::AssertionResult PasteTo(const RunningApp& app, const std::string& path)
{
    return RunFileCommand(app, ID_PASTE, EPS_FILTER_TEXT, path);
}

// Fills the clipboard with the items, pastes into path and expects the EPS
// there to carry the box line.
void ExpectPastedWithBox(const RunningApp& app, std::initializer_list<ClipboardItem> items,
                         const std::string& path, const char* boxLine)
{
    ASSERT_TRUE(FillClipboard(items));
    ASSERT_TRUE(PasteTo(app, path));
    EXPECT_TRUE(HasBoundingBox(path, boxLine));
}

TEST(Paste, EachFormat)
{
    const std::string folder = PrepareOutputFolder("PasteFormats");
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);

    ExpectPastedWithBox(app, {MetafileItem()}, folder + "\\metafile.eps", METAFILE_BOX_LINE);

    ExpectPastedWithBox(app, {DibItem()}, folder + "\\dib.eps", DIB_BOX_LINE);

    // The platform offers a bitmap as a DIB too; either way the picture's
    // size is the bitmap's.
    ExpectPastedWithBox(app, {BitmapItem()}, folder + "\\bitmap.eps", BITMAP_BOX_LINE);
    EXPECT_EQ(0u, CloseVellumark(app));
}

// A metafile of EMF+ records alone from the clipboard is drawn as one
// opened from a file is, through GDI+: Ghostscript finds it drawn
// (app.Ghostscript.PasteEmfPlus).
TEST(Paste, EmfPlusMetafile)
{
    const std::string folder = PrepareOutputFolder("PasteEmfPlus");
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);

    HENHMETAFILE metafile =
        RecordEmfPlusPicture(EmfPlusDrawing::GRADIENT, EmfPlusKind::ONLY, METAFILE_FRAME);
    ASSERT_NE(nullptr, metafile) << "expected GDI+ to record a metafile";
    ExpectPastedWithBox(app, {{CF_ENHMETAFILE, metafile}}, folder + "\\gradient.eps",
                        METAFILE_BOX_LINE);
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(Paste, PrefersMetafileThenDibThenBitmap)
{
    const std::string folder = PrepareOutputFolder("PastePreference");
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);

    ExpectPastedWithBox(app, {BitmapItem(), DibItem(), MetafileItem()}, folder + "\\all.eps",
                        METAFILE_BOX_LINE);

    ExpectPastedWithBox(app, {BitmapItem(), MetafileItem()}, folder + "\\metafile.eps",
                        METAFILE_BOX_LINE);

    ExpectPastedWithBox(app, {BitmapItem(), DibItem()}, folder + "\\dib.eps", DIB_BOX_LINE);
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(Paste, WithoutPictureShowsNoSaveDialog)
{
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);
    for (bool text : {true, false}) {
        ASSERT_TRUE(text ? FillClipboard({TextItem()}) : FillClipboard({}));
        CommandCall call{};
        ASSERT_TRUE(StartCommand(call, app.window, ID_PASTE));
        EXPECT_TRUE(FinishCommand(call)) << "expected Paste to return without a dialog";
        EXPECT_EQ(nullptr, FindWindowA(DIALOG_CLASS, APP_TITLE)) << "expected no Save dialog";
    }
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(Paste, CancelledSaveWritesNothing)
{
    const std::string folder = PrepareOutputFolder("PasteCancel");
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);
    ASSERT_TRUE(FillClipboard({MetafileItem()}));
    ASSERT_TRUE(CancelFileCommand(app, ID_PASTE, EPS_FILTER_TEXT, folder + "\\cancelled.eps"));
    EXPECT_FALSE(FileExists(folder + "\\cancelled.eps"));
    EXPECT_EQ(0u, CloseVellumark(app));
}

// The clipboard changes while the Save dialog is open: the program converts
// the copy it took while the clipboard was open. (On Windows the handles the
// clipboard handed out die with the change; Wine keeps a reader's handles
// until its next clipboard call, so here this shows that each copy holds the
// right picture.)
TEST(Paste, ConvertsCopyTakenWhileClipboardOpen)
{
    const std::string folder = PrepareOutputFolder("PasteCopy");
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);
    const struct {
        ClipboardItem item;
        const char* name;
        const char* boxLine;
    } cases[] = {
        {MetafileItem(), "metafile.eps", METAFILE_BOX_LINE},
        {DibItem(), "dib.eps", DIB_BOX_LINE},
        {BitmapItem(), "bitmap.eps", BITMAP_BOX_LINE},
    };
    for (const auto& pasted : cases) {
        SCOPED_TRACE(pasted.name);
        ASSERT_TRUE(FillClipboard({pasted.item}));
        CommandCall call{};
        HWND dialog = StartFileCommand(call, app, ID_PASTE, EPS_FILTER_TEXT);
        ASSERT_NE(nullptr, dialog);
        ASSERT_TRUE(FillClipboard({TextItem()}));
        AnswerFileDialog(dialog, folder + "\\" + pasted.name);
        ASSERT_TRUE(FinishFileCommand(call, ID_PASTE));
        EXPECT_TRUE(HasBoundingBox(folder + "\\" + pasted.name, pasted.boxLine));
    }
    EXPECT_EQ(0u, CloseVellumark(app));
}

// The DIB's header promises more pixels than its memory holds: the program
// hands the memory's real size on, and nothing is written.
TEST(Paste, DibReachingPastItsMemoryWritesNothing)
{
    const std::string folder = PrepareOutputFolder("PasteShortDib");
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);
    ASSERT_TRUE(FillClipboard({{CF_DIB, CreatePackedDib(SHORT_PIXEL_BYTES)}}));
    ASSERT_TRUE(PasteTo(app, folder + "\\short.eps"));
    EXPECT_FALSE(FileExists(folder + "\\short.eps"));
    EXPECT_EQ(0u, CloseVellumark(app));
}

}  // namespace
