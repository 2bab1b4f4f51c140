// Paste end to end: the clipboard filled by the driver, the Save dialog
// answered, and the EPS file the program writes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ids.h"
#include "test_support.h"

namespace {

constexpr char EPS_FILTER_TEXT[] = "EPS Files (*.eps)";
// Three pictures of different proportions, so that the box tells which one
// was converted.
constexpr LONG METAFILE_WIDTH = 12000;  // hundredths of a millimetre
constexpr LONG METAFILE_HEIGHT = 8000;
constexpr LONG DIB_WIDTH = 200;
constexpr LONG DIB_HEIGHT = 50;
constexpr LONG BITMAP_WIDTH = 90;
constexpr LONG BITMAP_HEIGHT = 300;
constexpr WORD DIB_BITS = 24;

size_t DibStride(LONG width)
{
    return (static_cast<size_t>(width) * DIB_BITS / 8 + 3) & ~static_cast<size_t>(3);
}

// A packed 24-bit DIB in movable memory, of pixelBytes pixel bytes (the whole
// picture's when 0).
HGLOBAL CreatePackedDib(LONG width, LONG height, size_t pixelBytes)
{
    const size_t imageSize = DibStride(width) * static_cast<size_t>(height);
    const size_t stored = pixelBytes ? pixelBytes : imageSize;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(BITMAPINFOHEADER) + stored);
    auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(memory));
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = DIB_BITS;
    header->biCompression = BI_RGB;
    std::memset(header + 1, 0x80, stored);
    GlobalUnlock(memory);
    return memory;
}

HBITMAP CreateDeviceBitmap(LONG width, LONG height)
{
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

HGLOBAL CreateText(const char* text)
{
    const size_t size = std::strlen(text) + 1;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    std::memcpy(GlobalLock(memory), text, size);
    GlobalUnlock(memory);
    return memory;
}

ClipboardItem MetafileItem()
{
    return {CF_ENHMETAFILE, CreateSampleMetafile(METAFILE_WIDTH, METAFILE_HEIGHT)};
}

ClipboardItem DibItem()
{
    return {CF_DIB, CreatePackedDib(DIB_WIDTH, DIB_HEIGHT, 0)};
}

ClipboardItem BitmapItem()
{
    return {CF_BITMAP, CreateDeviceBitmap(BITMAP_WIDTH, BITMAP_HEIGHT)};
}

ClipboardItem TextItem()
{
    return {CF_TEXT, CreateText("Only text.")};
}

// Starts Paste and returns its Save dialog, checked for its title and filter.
HWND StartPaste(const RunningApp& app, CommandCall& call)
{
    if (!StartCommand(call, app.window, ID_PASTE)) {
        return nullptr;
    }
    HWND dialog = WaitForDialog(app);
    EXPECT_NE(nullptr, dialog) << "expected the Save dialog";
    if (dialog) {
        EXPECT_EQ(EPS_FILTER_TEXT, ReadDialogFilter(dialog));
        EXPECT_EQ(nullptr, GetWindow(dialog, GW_OWNER));
    }
    return dialog;
}

::testing::AssertionResult PasteTo(const RunningApp& app, const std::string& path)
{
    CommandCall call{};
    HWND dialog = StartPaste(app, call);
    if (!dialog) {
        FinishCommand(call);
        return ::testing::AssertionFailure() << "no Save dialog";
    }
    AnswerFileDialog(dialog, path);
    if (!FinishCommand(call)) {
        return ::testing::AssertionFailure() << "expected Paste to return";
    }
    return ::testing::AssertionSuccess();
}

TEST(Paste, EachFormat)
{
    const std::string folder = MakeTestFolder("PasteFormats");
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);

    ASSERT_TRUE(FillClipboard({MetafileItem()}));
    ASSERT_TRUE(PasteTo(app, folder + "metafile.eps"));
    EXPECT_TRUE(HasBoundingBox(folder + "metafile.eps", METAFILE_WIDTH, METAFILE_HEIGHT));

    ASSERT_TRUE(FillClipboard({DibItem()}));
    ASSERT_TRUE(PasteTo(app, folder + "dib.eps"));
    EXPECT_TRUE(HasBoundingBox(folder + "dib.eps", DIB_WIDTH, DIB_HEIGHT));

    // The platform offers a bitmap as a DIB too; either way the picture's
    // size is the bitmap's.
    ASSERT_TRUE(FillClipboard({BitmapItem()}));
    ASSERT_TRUE(PasteTo(app, folder + "bitmap.eps"));
    EXPECT_TRUE(HasBoundingBox(folder + "bitmap.eps", BITMAP_WIDTH, BITMAP_HEIGHT));
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(Paste, PrefersMetafileThenDibThenBitmap)
{
    const std::string folder = MakeTestFolder("PastePreference");
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);

    ASSERT_TRUE(FillClipboard({BitmapItem(), DibItem(), MetafileItem()}));
    ASSERT_TRUE(PasteTo(app, folder + "all.eps"));
    EXPECT_TRUE(HasBoundingBox(folder + "all.eps", METAFILE_WIDTH, METAFILE_HEIGHT));

    ASSERT_TRUE(FillClipboard({BitmapItem(), MetafileItem()}));
    ASSERT_TRUE(PasteTo(app, folder + "metafile.eps"));
    EXPECT_TRUE(HasBoundingBox(folder + "metafile.eps", METAFILE_WIDTH, METAFILE_HEIGHT));

    ASSERT_TRUE(FillClipboard({BitmapItem(), DibItem()}));
    ASSERT_TRUE(PasteTo(app, folder + "dib.eps"));
    EXPECT_TRUE(HasBoundingBox(folder + "dib.eps", DIB_WIDTH, DIB_HEIGHT));
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
    const std::string folder = MakeTestFolder("PasteCancel");
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);
    ASSERT_TRUE(FillClipboard({MetafileItem()}));
    CommandCall call{};
    HWND dialog = StartPaste(app, call);
    ASSERT_NE(nullptr, dialog);
    EnterFileName(dialog, folder + "cancelled.eps");
    CancelDialog(dialog);
    ASSERT_TRUE(FinishCommand(call));
    EXPECT_FALSE(FileExists(folder + "cancelled.eps"));
    EXPECT_EQ(0u, CloseVellumark(app));
}

// The clipboard changes while the Save dialog is open: the program converts
// the copy it took while the clipboard was open. (On Windows the handles the
// clipboard handed out die with the change; Wine keeps a reader's handles
// until its next clipboard call, so here this shows that each copy holds the
// right picture.)
TEST(Paste, ConvertsCopyTakenWhileClipboardOpen)
{
    const std::string folder = MakeTestFolder("PasteCopy");
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);
    const struct {
        ClipboardItem item;
        const char* name;
        LONG width;
        LONG height;
    } cases[] = {
        {MetafileItem(), "metafile.eps", METAFILE_WIDTH, METAFILE_HEIGHT},
        {DibItem(), "dib.eps", DIB_WIDTH, DIB_HEIGHT},
        {BitmapItem(), "bitmap.eps", BITMAP_WIDTH, BITMAP_HEIGHT},
    };
    for (const auto& pasted : cases) {
        SCOPED_TRACE(pasted.name);
        ASSERT_TRUE(FillClipboard({pasted.item}));
        CommandCall call{};
        HWND dialog = StartPaste(app, call);
        ASSERT_NE(nullptr, dialog);
        ASSERT_TRUE(FillClipboard({TextItem()}));
        AnswerFileDialog(dialog, folder + pasted.name);
        ASSERT_TRUE(FinishCommand(call));
        EXPECT_TRUE(HasBoundingBox(folder + pasted.name, pasted.width, pasted.height));
    }
    EXPECT_EQ(0u, CloseVellumark(app));
}

// The DIB's header promises more pixels than its memory holds: the program
// hands the memory's real size on, and nothing is written.
TEST(Paste, DibReachingPastItsMemoryWritesNothing)
{
    const std::string folder = MakeTestFolder("PasteShortDib");
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);
    ASSERT_TRUE(FillClipboard({{CF_DIB, CreatePackedDib(DIB_WIDTH, DIB_HEIGHT, 16)}}));
    ASSERT_TRUE(PasteTo(app, folder + "short.eps"));
    EXPECT_FALSE(FileExists(folder + "short.eps"));
    EXPECT_EQ(0u, CloseVellumark(app));
}

}  // namespace
