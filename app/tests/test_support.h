// What the program's tests share beyond the driver: the printers they
// install, where they write, and how they check an EPS file.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "driver.h"

// The PostScript printer the conversion tests print through.
constexpr char EPS_PRINTER[] = "Vellumark EPS Printer";

// Removes every printer and installs these, with the EPS PPD.
::testing::AssertionResult UsePrinters(std::initializer_list<const char*> names);
// Starts the program with only EPS_PRINTER installed.
RunningApp StartWithEpsPrinter();
RunningApp StartVellumarkUnderTest();

struct ClipboardItem {
    UINT format;
    HANDLE data;
};
// Replaces the clipboard's content; the clipboard takes over the data.
bool FillClipboard(std::initializer_list<ClipboardItem> items);

// A fresh, empty folder in the build tree for one test's files, as a Windows
// path ending in a backslash.
std::string MakeTestFolder(const char* testName);

// The file is an EPS document whose every "%%BoundingBox:" line (there is at
// least one) states the box the conversion computes for a picture of this
// source size on EPS_PRINTER's A4 page.
::testing::AssertionResult HasBoundingBox(const std::string& path, int32_t sourceWidth,
                                          int32_t sourceHeight);
