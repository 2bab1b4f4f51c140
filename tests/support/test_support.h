// What the Windows tests share: the printers they print through, their
// output folders and files, the pictures they convert, reference prints made
// as the job makes them, and checks of the EPS documents written. The job's
// tests (render/tests), the program's tests (app/tests) and the printer tool
// (tests/printer) use it.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "eps/geometry.h"
#include "source_image.h"
#include "test_printer.h"

// A printer whose PPD writes no setpagedevice, as EPS output wants.
constexpr char EPS_PRINTER[] = "Vellumark Test PostScript";
// A printer whose PPD selects the paper with setpagedevice.
constexpr char SETPAGE_PRINTER[] = "Vellumark Test PostScript Printer";

// Wine's PostScript driver at 300 dpi on A4 with 18-point unprintable margins.
constexpr DeviceMetrics A4_AT_300_DPI = {2479, 3508, 75, 75};

// Removes every printer and installs these, with the EPS PPD.
::testing::AssertionResult UsePrinters(std::initializer_list<const char*> names);

// A test of the conversion job: it starts from a spooler with exactly the
// EPS test printer and an empty output folder named after the test, and
// must leave no job file in the temporary folder.
struct PrintingTest : ::testing::Test {
    void SetUp() override;
    void TearDown() override;

    std::string folder;
    std::vector<std::string> tempFilesBefore;
};

// The device metrics after the job's page request, read from a fresh device.
DeviceMetrics ReadPrinterMetrics(const char* printerName);

// Prints one page into path in a document the job's own way opens, with
// draw doing the drawing: what the driver itself writes for that drawing.
bool PrintReference(const char* printerName, const std::string& path,
                    const std::function<void(HDC device)>& draw);
// The same with the drawing clipped to clip, a device area, as the platform
// clips it: what the driver writes for a picture the platform draws there.
bool PrintClippedReference(const char* printerName, const std::string& path, const RECT& clip,
                           const std::function<void(HDC device)>& draw);

// A folder for one test's output files, created if missing and emptied of
// files: output\NAME beside the test program, in the build tree. No
// trailing backslash.
std::string PrepareOutputFolder(const char* name);
// A whole file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// Names (not paths) of the files in a folder that match a pattern such as "eps*.tmp".
std::vector<std::string> ListFiles(const std::string& folder, const char* pattern);
std::string TempFolder();
std::vector<std::string> ListTempJobFiles();

// How many times part stands in text, overlaps counted.
size_t CountOf(const std::string& text, const std::string& part);
// Splits a document into lines at LF; reports whether every line ended in CR LF.
std::vector<std::string> SplitLines(const std::string& bytes, bool* allCrLf);
// The lines that begin with "%%BoundingBox:", and the others.
std::vector<std::string> BoxLines(const std::vector<std::string>& lines);
std::vector<std::string> OtherLines(const std::vector<std::string>& lines);
// The first line of every EPS file the job writes.
constexpr char EPS_HEADER_LINE[] = "%!PS-Adobe-3.0 EPSF-3.0";
// A driver document's lines as the EPS carries them: with the encapsulated
// header line, the guard at the start of the prolog, and without the code
// inside its feature blocks.
std::vector<std::string> AsEncapsulated(const std::vector<std::string>& driverLines);
// The first index where the two lists differ, or -1.
int FirstDifference(const std::vector<std::string>& expected,
                    const std::vector<std::string>& actual);
// The file is a PostScript document whose every "%%BoundingBox:" line (there
// is at least one) is expectedLine.
::testing::AssertionResult HasBoundingBox(const std::string& path, const char* expectedLine);

// Content over the whole frame, in thousandths of it.
constexpr RECT WHOLE_CONTENT = {0, 0, 1000, 1000};
// A metafile with the given frame (hundredths of a millimetre) holding a
// thick border along the frame, an ellipse, text and a bitmap record, all
// within content, a rectangle in fractions (thousandths) of the frame.
HENHMETAFILE CreateTestMetafile(const RECT& frame, const RECT& contentThousandths);
// The same picture over the whole frame, written to a file.
bool WriteTestMetafile(const std::string& path, const RECT& frame);

// A packed DIB of the given shape with a pattern of pixels: header, colour
// table (tableEntries entries, or none), masks for BI_BITFIELDS, pixels.
struct TestDib {
    std::vector<uint8_t> block;
    size_t pixelOffset;  // where the test put the pixels
};
TestDib MakeInfoDib(int32_t width, int32_t height, uint16_t bitCount, uint32_t clrUsed,
                    uint32_t compression);
TestDib MakeCoreDib(uint16_t width, uint16_t height, uint16_t bitCount);
// The job's view of the test DIB's whole block.
SourceImage TestDibImage(const TestDib& dib);

// A screen-compatible bitmap with shapes drawn on it.
HBITMAP CreateTestDeviceBitmap(int width, int height);
