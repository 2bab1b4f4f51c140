// Installs printers that use Wine's PostScript driver into the running Wine
// prefix, so that tests and the demonstration have a real PostScript printer
// under whatever name they need.
#pragma once

enum TestPpd {
    // Empty invocation code, as a driver set up for encapsulated output
    // writes: no setpagedevice lands in the EPS.
    TEST_PPD_EPS,
    // Invocation code that calls setpagedevice, as usual printer PPDs have.
    TEST_PPD_PRINTER,
};

// Adds the driver if needed and a printer of that name on port "FILE:".
bool InstallTestPrinter(const char* printerName, TestPpd ppd);
bool RemoveTestPrinter(const char* printerName);
// Removes every printer the spooler lists, so a test starts from none.
void RemoveAllPrinters();
