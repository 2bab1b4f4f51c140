// The printer list as the running program fills it from the spooler. Wine's
// spooler returns printers sorted by name, so the names' first letters set
// the order each case needs.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "driver.h"
#include "ids.h"

namespace {

struct PrinterListState {
    std::vector<std::string> entries;
    LRESULT selected;
    std::string text;
};

PrinterListState ReadPrinterList(HWND window)
{
    HWND list = GetDlgItem(window, ID_PRINTER_COMBO);
    PrinterListState state{};
    const LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        // Read as wide text: Wine passes an ANSI CB_GETLBTEXT between
        // processes as its wide form and cuts the answer at the first NUL.
        wchar_t wide[1024] = {};
        SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(wide));
        char entry[1024] = {};
        WideCharToMultiByte(CP_ACP, 0, wide, -1, entry, sizeof entry, nullptr, nullptr);
        state.entries.emplace_back(entry);
    }
    state.selected = SendMessageA(list, CB_GETCURSEL, 0, 0);
    state.text = ReadWindowText(list);
    return state;
}

// Installs the printers, starts the program and checks its list and
// selection.
void ExpectPrinterList(std::initializer_list<const char*> printers, LRESULT expectedSelection)
{
    ASSERT_TRUE(UsePrinters(printers));
    RunningApp app = StartVellumark();
    ASSERT_NE(nullptr, app.window);
    const PrinterListState state = ReadPrinterList(app.window);
    const std::vector<std::string> expected(printers.begin(), printers.end());
    EXPECT_EQ(expected, state.entries) << "expected every printer, in the spooler's order";
    EXPECT_EQ(expectedSelection, state.selected);
    const std::string expectedText =
        expectedSelection == CB_ERR ? "" : expected[static_cast<size_t>(expectedSelection)];
    EXPECT_EQ(expectedText, state.text);
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(PrinterList, SelectsPostScriptPrinterAfterOthers)
{
    ExpectPrinterList({"A Fax", "B Office Laser", "Generic PostScript Printer"}, 2);
}

TEST(PrinterList, SelectsFirstMatchAndListsThoseAfterIt)
{
    ExpectPrinterList({"A Fax", "B PostScript Laser", "C PostScript Office", "D Plotter"}, 1);
}

TEST(PrinterList, SelectsFirstWhenNoNameHasWord)
{
    ExpectPrinterList({"A Fax", "B Office Laser"}, 0);
}

TEST(PrinterList, WordInOtherLetterCaseDoesNotCount)
{
    ExpectPrinterList({"A generic postscript printer", "B POSTSCRIPT Laser", "C PostScript"}, 2);
    ExpectPrinterList({"A generic postscript printer", "B Postscript Laser"}, 0);
}

TEST(PrinterList, StaysEmptyWithoutPrinters)
{
    ExpectPrinterList({}, CB_ERR);
}

}  // namespace
