// The commands: Open converts a chosen metafile into an EPS file beside it,
// Paste converts the clipboard's picture into an EPS file chosen in a Save
// dialog, About shows the program's title.
#include "commands.h"

#include <commdlg.h>

#include <cstddef>
#include <string>
#include <vector>

#include "convert.h"
#include "eps/names.h"
#include "gdi_owners.h"
#include "globals.h"
#include "ids.h"
#include "lead_byte.h"

namespace {

// The dialog structure's layout without the later reserved members and
// FlagsEx: the SDK's OPENFILENAME_SIZE_VERSION_400A, which mingw-w64 does not
// define as a constant expression.
constexpr DWORD OPEN_FILE_NAME_SIZE = offsetof(OPENFILENAMEA, pvReserved);
static_assert(OPEN_FILE_NAME_SIZE == (sizeof(void*) == 8 ? 136 : 76),
              "OPENFILENAME_SIZE_VERSION_400A: 76 bytes on 32-bit Windows, 136 on 64-bit");

constexpr DWORD PATH_SIZE = MAX_PATH;
constexpr int PRINTER_NAME_SIZE = 1024;

constexpr char EMF_FILTER[] = "EMF Files (*.emf)\0*.emf\0";
constexpr char EPS_FILTER[] = "EPS Files (*.eps)\0*.eps\0";
constexpr DWORD OPEN_FLAGS = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_ENABLESIZING;
constexpr DWORD SAVE_FLAGS = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_ENABLESIZING;

// The clipboard formats Paste takes, in order of preference (not const:
// GetPriorityClipboardFormat takes a plain pointer).
UINT PASTE_FORMATS[] = {CF_ENHMETAFILE, CF_DIB, CF_BITMAP};

constexpr char ABOUT_NOTICE[] = "Written by the Vellumark developers; free to use and share.";
static_assert(sizeof APP_TITLE - 1 + 2 + sizeof ABOUT_NOTICE <= PATH_SIZE,
              "the About text fits the path buffer");

OPENFILENAMEA DescribeFileDialog(char* buffer, DWORD size, const char* filter,
                                 const char* defaultExtension, DWORD flags)
{
    OPENFILENAMEA dialog{};
    dialog.lStructSize = OPEN_FILE_NAME_SIZE;
    dialog.lpstrFilter = filter;
    dialog.lpstrFile = buffer;
    dialog.nMaxFile = size;
    dialog.lpstrTitle = APP_TITLE;
    dialog.Flags = flags;
    dialog.lpstrDefExt = defaultExtension;
    return dialog;
}

// Runs one conversion job with the printer the list shows now. Vellumark is
// silent by design, on success and on failure alike: no message box, no
// status line. The EPS file appearing is the answer, so the job's result is
// not looked at.
void ConvertWithSelectedPrinter(const SourceImage& image, const char* outputPath)
{
    char printerName[PRINTER_NAME_SIZE] = {};
    GetWindowTextA(PrinterList, printerName, PRINTER_NAME_SIZE);
    ConvertToEps(image, printerName, outputPath);
}

void Open()
{
    char path[PATH_SIZE] = {};
    if (!ChooseEmfFile(path, PATH_SIZE)) {
        return;
    }
    // A metafile named like its own output would be overwritten by it, and a
    // path longer than the buffer cannot be handed on.
    const std::string outputPath = DeriveEpsPath(path, IsLeadByte);
    if (outputPath.size() >= PATH_SIZE || IsSameFileName(outputPath, path, IsLeadByte)) {
        return;
    }
    const EnhMetafile metafile(GetEnhMetaFileA(path));
    if (!metafile) {
        return;
    }
    ConvertWithSelectedPrinter(MetafileImage(metafile.get()), outputPath.c_str());
}

// The program's own copy of the clipboard's picture: a metafile, a bitmap or
// a packed DIB's bytes, whichever the clipboard offered. It owns all of it,
// and the conversion job sees it through ViewPicture.
struct PastedPicture {
    EnhMetafile metafile;
    GdiObject<HBITMAP> bitmap;
    std::vector<BYTE> packedDib;
};

// A packed DIB's whole memory block, so its size is known and the copy
// outlives the clipboard's block; nothing when it cannot be read.
std::vector<BYTE> CopyPackedDib(HGLOBAL memory)
{
    const SIZE_T size = GlobalSize(memory);
    const BYTE* dib = static_cast<const BYTE*>(GlobalLock(memory));
    if (!dib) {
        return {};
    }
    std::vector<BYTE> bytes(dib, dib + size);
    GlobalUnlock(memory);
    return bytes;
}

// A copy of what the clipboard hands out in the given format.
PastedPicture CopyClipboardData(UINT format, HANDLE data)
{
    PastedPicture copy{};
    switch (format) {
        case CF_ENHMETAFILE:
            copy.metafile.reset(CopyEnhMetaFileA(static_cast<HENHMETAFILE>(data), nullptr));
            break;
        case CF_DIB:
            copy.packedDib = CopyPackedDib(data);
            break;
        case CF_BITMAP:
            copy.bitmap.reset(static_cast<HBITMAP>(CopyImage(data, IMAGE_BITMAP, 0, 0, 0)));
            break;
    }
    return copy;
}

// Copies the clipboard's picture in the given format while the clipboard is
// open: what the clipboard hands out stays valid only until it changes.
PastedPicture CopyClipboardPicture(UINT format)
{
    if (!OpenClipboard(nullptr)) {
        return {};
    }
    HANDLE data = GetClipboardData(format);
    PastedPicture copy = data ? CopyClipboardData(format, data) : PastedPicture{};
    CloseClipboard();
    return copy;
}

bool HoldsPicture(const PastedPicture& picture)
{
    return picture.metafile || picture.bitmap || !picture.packedDib.empty();
}

SourceImage ViewPicture(const PastedPicture& picture)
{
    if (picture.metafile) {
        return MetafileImage(picture.metafile.get());
    }
    if (!picture.packedDib.empty()) {
        return PackedDibImage(reinterpret_cast<const BITMAPINFO*>(picture.packedDib.data()),
                              picture.packedDib.size());
    }
    return BitmapImage(picture.bitmap.get());
}

void Paste()
{
    const int format = GetPriorityClipboardFormat(PASTE_FORMATS, ARRAYSIZE(PASTE_FORMATS));
    // 0: the clipboard is empty; -1: it holds none of the formats.
    if (format <= 0) {
        return;
    }
    const PastedPicture copy = CopyClipboardPicture(static_cast<UINT>(format));
    char path[PATH_SIZE] = {};
    if (HoldsPicture(copy) && ChooseEpsFile(path, PATH_SIZE)) {
        ConvertWithSelectedPrinter(ViewPicture(copy), path);
    }
}

void About(HWND window)
{
    char text[PATH_SIZE] = {};
    lstrcpyA(text, APP_TITLE);
    lstrcatA(text, "\r\n");
    lstrcatA(text, ABOUT_NOTICE);
    MessageBoxA(window, text, APP_TITLE, MB_OK);
}

}  // namespace

bool ChooseEmfFile(char* buffer, DWORD size)
{
    if (!buffer || size < 1) {
        return false;
    }
    OPENFILENAMEA dialog = DescribeFileDialog(buffer, size, EMF_FILTER, "emf", OPEN_FLAGS);
    return GetOpenFileNameA(&dialog) != FALSE;
}

bool ChooseEpsFile(char* buffer, DWORD size)
{
    if (!buffer || size < 1) {
        return false;
    }
    OPENFILENAMEA dialog = DescribeFileDialog(buffer, size, EPS_FILTER, "eps", SAVE_FLAGS);
    return GetSaveFileNameA(&dialog) != FALSE;
}

void OnCommand(HWND window, WORD id)
{
    switch (id) {
        case ID_OPEN:
            Open();
            break;
        case ID_PASTE:
            Paste();
            break;
        case ID_ABOUT:
            About(window);
            break;
        default:
            break;
    }
}
