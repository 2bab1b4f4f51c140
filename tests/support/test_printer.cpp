#include "test_printer.h"

#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

namespace {

// One driver per PPD, so that printers of both kinds can stand side by side.
struct PpdDriver {
    const char* driverName;
    const char* fileName;
};

constexpr PpdDriver EPS_DRIVER = {"Vellumark EPS PostScript Driver", "vellumark_eps.ppd"};
constexpr PpdDriver PRINTER_DRIVER = {"Vellumark Printer PostScript Driver",
                                      "vellumark_printer.ppd"};

// Wine's PostScript driver is both the driver and its configuration module.
constexpr char PS_DRIVER_FILE[] = "wineps.drv";
constexpr DWORD DRIVER_VERSION = 3;
constexpr DWORD DRIVER_INFO_LEVEL = 3;
constexpr DWORD PRINTER_INFO_LEVEL = 2;
constexpr DWORD DRIVER_DIRECTORY_LEVEL = 1;
constexpr char FILE_PORT[] = "FILE:";
constexpr char PRINT_PROCESSOR[] = "WinPrint";
constexpr char RAW_DATATYPE[] = "RAW";

const PpdDriver& DriverFor(TestPpd ppd)
{
    return ppd == TEST_PPD_EPS ? EPS_DRIVER : PRINTER_DRIVER;
}

// The spooler's structures take non-const strings it does not write to.
char* Writable(const char* text)
{
    return const_cast<char*>(text);
}

// Copies the project's PPD into the prefix's driver directory and returns
// its path there, or an empty string.
std::string CopyPpd(const PpdDriver& driver)
{
    char directory[MAX_PATH] = {};
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryA(nullptr, nullptr, DRIVER_DIRECTORY_LEVEL,
                                    reinterpret_cast<BYTE*>(directory), sizeof directory,
                                    &needed)) {
        return std::string();
    }
    const std::string source = std::string(VELLUMARK_PPD_DIR) + "/" + driver.fileName;
    const std::string target = std::string(directory) + "\\" + driver.fileName;
    if (!CopyFileA(source.c_str(), target.c_str(), FALSE)) {
        return std::string();
    }
    return target;
}

bool AddDriver(const PpdDriver& driver)
{
    std::string dataFile = CopyPpd(driver);
    if (dataFile.empty()) {
        return false;
    }
    DRIVER_INFO_3A info = {};
    info.cVersion = DRIVER_VERSION;
    info.pName = Writable(driver.driverName);
    info.pDriverPath = Writable(PS_DRIVER_FILE);
    info.pDataFile = dataFile.data();
    info.pConfigFile = Writable(PS_DRIVER_FILE);
    if (AddPrinterDriverExA(nullptr, DRIVER_INFO_LEVEL, reinterpret_cast<BYTE*>(&info),
                            APD_COPY_NEW_FILES)) {
        return true;
    }
    return GetLastError() == ERROR_PRINTER_DRIVER_ALREADY_INSTALLED;
}

bool AddFilePrinter(const char* printerName, const PpdDriver& driver)
{
    PRINTER_INFO_2A info = {};
    info.pPrinterName = Writable(printerName);
    info.pPortName = Writable(FILE_PORT);
    info.pDriverName = Writable(driver.driverName);
    info.pPrintProcessor = Writable(PRINT_PROCESSOR);
    info.pDatatype = Writable(RAW_DATATYPE);
    HANDLE printer = AddPrinterA(nullptr, PRINTER_INFO_LEVEL, reinterpret_cast<BYTE*>(&info));
    if (printer == nullptr) {
        return false;
    }
    ClosePrinter(printer);
    return true;
}

bool PrinterExists(const char* printerName)
{
    HANDLE printer = nullptr;
    if (!OpenPrinterA(Writable(printerName), &printer, nullptr)) {
        return false;
    }
    ClosePrinter(printer);
    return true;
}

std::vector<std::string> ListPrinters()
{
    DWORD needed = 0;
    DWORD count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, PRINTER_INFO_LEVEL, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed);
    std::vector<std::string> names;
    if (needed == 0 || !EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, PRINTER_INFO_LEVEL,
                                      buffer.data(), needed, &needed, &count)) {
        return names;
    }
    const auto* printers = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        names.emplace_back(printers[i].pPrinterName);
    }
    return names;
}

}  // namespace

// Wine's PostScript driver keeps what it read of a printer's PPD for the rest
// of the process, so a process that reinstalls a name with the other PPD
// still sees the first one.
bool InstallTestPrinter(const char* printerName, TestPpd ppd)
{
    const PpdDriver& driver = DriverFor(ppd);
    if (PrinterExists(printerName) && !RemoveTestPrinter(printerName)) {
        return false;
    }
    return AddDriver(driver) && AddFilePrinter(printerName, driver);
}

bool RemoveTestPrinter(const char* printerName)
{
    PRINTER_DEFAULTSA access = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    if (!OpenPrinterA(Writable(printerName), &printer, &access)) {
        return false;
    }
    const bool deleted = DeletePrinter(printer) != 0;
    ClosePrinter(printer);
    return deleted;
}

void RemoveAllPrinters()
{
    for (const std::string& name : ListPrinters()) {
        RemoveTestPrinter(name.c_str());
    }
}
