// The main window and its six controls as the running program shows them,
// and the resources the program file carries.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "driver.h"
#include "ids.h"

namespace {

constexpr int MAIN_WINDOW_WIDTH = 410;
constexpr int MAIN_WINDOW_HEIGHT = 160;
constexpr int TEXT_SIZE = 256;

struct ExpectedControl {
    const char* className;
    const char* text;
    int x;
    int y;
    int width;
    int height;
    int id;
};

// In creation order, which is also the order of the window's children.
const ExpectedControl CONTROLS[] = {
    {"Static", "1. Select Adobe PostScript Printer.", 10, 10, 300, 20, ID_STEP1_LABEL},
    {"Static", "2. Push Open or Paste.", 10, 70, 300, 20, ID_STEP2_LABEL},
    {"ComboBox", "", 10, 30, 300, 300, ID_PRINTER_COMBO},
    {"Button", "Open (Ctrl+O)", 10, 90, 120, 25, ID_OPEN},
    {"Button", "Paste (Ctrl+V)", 140, 90, 120, 25, ID_PASTE},
    {"Button", "About (Ctrl+A)", 270, 90, 120, 25, ID_ABOUT},
};

// The systems the manifest declares: Vista, 7, 8, 8.1, and 10 and 11.
const std::vector<std::string> SUPPORTED_OS_IDS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"};

// The window's own text, as it was created: for another process's window
// GetWindowTextA sends no WM_GETTEXT, so a combo box shows its creation text
// rather than its selection (which ReadWindowText gives).
std::string TextOf(HWND window)
{
    char text[TEXT_SIZE] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// The control's rectangle in its parent's client coordinates. A drop-down
// list's height at creation is the closed box's height plus its list's;
// Wine's CB_GETDROPPEDCONTROLRECT gives the list's height from the box's top.
RECT ControlRect(HWND parent, HWND control)
{
    RECT rect{};
    GetWindowRect(control, &rect);
    if (ReadClassName(control) == "ComboBox") {
        RECT dropped{};
        SendMessageA(control, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
        rect.bottom += dropped.bottom - dropped.top;
    }
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void ExpectControl(HWND parent, HWND control, const ExpectedControl& expected)
{
    SCOPED_TRACE(std::string("control ") + std::to_string(expected.id));
    ASSERT_NE(nullptr, control);
    EXPECT_EQ(expected.id, GetDlgCtrlID(control));
    EXPECT_EQ(expected.className, ReadClassName(control));
    EXPECT_EQ(expected.text, TextOf(control));
    EXPECT_TRUE(IsWindowVisible(control));
    EXPECT_TRUE(IsWindowEnabled(control));
    const RECT rect = ControlRect(parent, control);
    EXPECT_EQ(expected.x, rect.left);
    EXPECT_EQ(expected.y, rect.top);
    EXPECT_EQ(expected.width, rect.right - rect.left);
    EXPECT_EQ(expected.height, rect.bottom - rect.top);
    // No font is set: every control draws with the system's default.
    EXPECT_EQ(0, SendMessageA(control, WM_GETFONT, 0, 0));
}

// What lies under the mouse at the point of the screen, as the window tells
// the system: caption, system menu icon, a frame button, plain border.
LRESULT HitTest(HWND window, POINT point)
{
    return SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
}

// A point halfway down the caption, this far from the window's left edge
// (from its right edge when negative).
POINT OnCaption(const RECT& window, int fromEdge)
{
    const int frame = GetSystemMetrics(SM_CYFIXEDFRAME);
    const int middle = window.top + frame + GetSystemMetrics(SM_CYCAPTION) / 2;
    return POINT{fromEdge >= 0 ? window.left + fromEdge : window.right + fromEdge, middle};
}

TEST(MainWindow, ClassTitleCaptionAndSize)
{
    RunningApp app = StartVellumark();
    ASSERT_NE(nullptr, app.window) << "expected the main window to appear";
    EXPECT_EQ(app.window, FindWindowA(APP_TITLE, APP_TITLE));
    EXPECT_EQ(APP_TITLE, ReadClassName(app.window));
    EXPECT_EQ(APP_TITLE, TextOf(app.window));
    EXPECT_TRUE(IsWindowVisible(app.window));
    EXPECT_EQ(nullptr, GetParent(app.window));
    EXPECT_EQ(nullptr, GetMenu(app.window));
    RECT rect{};
    GetWindowRect(app.window, &rect);
    // CW_USEDEFAULT places a pop-up window at the screen's top-left corner.
    EXPECT_EQ(0, rect.left);
    EXPECT_EQ(0, rect.top);
    EXPECT_EQ(MAIN_WINDOW_WIDTH, rect.right - rect.left);
    EXPECT_EQ(MAIN_WINDOW_HEIGHT, rect.bottom - rect.top);
    // A caption with the title, the system menu's icon at its left and the
    // Close button at its right.
    const int button = GetSystemMetrics(SM_CXSIZE);
    const int frame = GetSystemMetrics(SM_CXFIXEDFRAME);
    EXPECT_EQ(HTCAPTION, HitTest(app.window, OnCaption(rect, MAIN_WINDOW_WIDTH / 2)));
    EXPECT_EQ(HTSYSMENU, HitTest(app.window, OnCaption(rect, frame + button / 2)));
    EXPECT_EQ(HTCLOSE, HitTest(app.window, OnCaption(rect, -frame - button / 2)));
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(MainWindow, CannotBeResizedOrMaximisedButMinimised)
{
    RunningApp app = StartVellumark();
    ASSERT_NE(nullptr, app.window);
    // The frame's edges and corners are plain border, not sizing handles.
    RECT rect{};
    GetWindowRect(app.window, &rect);
    const POINT edges[] = {{rect.left, rect.top + 80},
                           {rect.right - 1, rect.top + 80},
                           {rect.left + 200, rect.bottom - 1},
                           {rect.right - 1, rect.bottom - 1}};
    for (const POINT& edge : edges) {
        const LRESULT hit = HitTest(app.window, edge);
        EXPECT_EQ(HTBORDER, hit) << "at (" << edge.x << ", " << edge.y << ") got " << hit;
    }
    // A double click on the caption maximises only a window with a maximise
    // box.
    const POINT caption = OnCaption(rect, MAIN_WINDOW_WIDTH / 2);
    SendMessageA(app.window, WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(caption.x, caption.y));
    EXPECT_FALSE(IsZoomed(app.window)) << "expected the window not to maximise";
    GetWindowRect(app.window, &rect);
    EXPECT_EQ(MAIN_WINDOW_WIDTH, rect.right - rect.left);
    // The Minimize button stands left of the Close and the greyed Maximize
    // button.
    const int button = GetSystemMetrics(SM_CXSIZE);
    const int frame = GetSystemMetrics(SM_CXFIXEDFRAME);
    EXPECT_EQ(HTMINBUTTON, HitTest(app.window, OnCaption(rect, -frame - button * 5 / 2)));
    SendMessageA(app.window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(app.window)) << "expected the window to minimise";
    SendMessageA(app.window, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(app.window));
    GetWindowRect(app.window, &rect);
    EXPECT_EQ(MAIN_WINDOW_WIDTH, rect.right - rect.left);
    EXPECT_EQ(MAIN_WINDOW_HEIGHT, rect.bottom - rect.top);
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(MainWindow, SixControlsInCreationOrder)
{
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);
    std::vector<HWND> children;
    for (HWND child = GetWindow(app.window, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    ASSERT_EQ(std::size(CONTROLS), children.size());
    for (size_t i = 0; i < children.size(); ++i) {
        ExpectControl(app.window, children[i], CONTROLS[i]);
    }
    EXPECT_EQ(0u, CloseVellumark(app));
}

// The printer list is a list to pick from that drops down; it has no box to
// type a name into.
TEST(MainWindow, PrinterListDropsDownAList)
{
    RunningApp app = StartWithEpsPrinter();
    ASSERT_NE(nullptr, app.window);
    HWND list = GetDlgItem(app.window, ID_PRINTER_COMBO);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(nullptr, FindWindowExA(list, nullptr, "Edit", nullptr))
        << "expected no box to type into";
    SendMessageA(list, CB_SHOWDROPDOWN, TRUE, 0);
    EXPECT_NE(0, SendMessageA(list, CB_GETDROPPEDSTATE, 0, 0)) << "expected the list dropped down";
    SendMessageA(list, CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_EQ(0, SendMessageA(list, CB_GETDROPPEDSTATE, 0, 0)) << "expected the list closed";
    EXPECT_EQ(0u, CloseVellumark(app));
}

TEST(MainWindow, ClosingEndsProcessWithExitCodeZero)
{
    RunningApp app = StartVellumark();
    ASSERT_NE(nullptr, app.window);
    HANDLE process = app.process.hProcess;
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(process, 0)) << "expected the program to run";
    EXPECT_EQ(0u, CloseVellumark(app));

    // Alt+F4 typed on the keyboard closes it the same way.
    app = StartVellumark();
    ASSERT_NE(nullptr, app.window);
    ASSERT_TRUE(FocusControl(app, app.window));
    PressKey(VK_F4, VK_MENU);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(app.process.hProcess, DRIVER_TIMEOUT_MS))
        << "expected Alt+F4 to end the program";
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(app.process.hProcess, &exitCode);
    EXPECT_EQ(0u, exitCode);
    CloseVellumark(app);
}

TEST(Executable, CarriesVersionResource)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(VELLUMARK_EXE, &ignored);
    ASSERT_NE(0u, size) << "expected a version resource";
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(VELLUMARK_EXE, 0, size, data.data()));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length));
    EXPECT_EQ(static_cast<DWORD>(MAKELONG(5, 0)), info->dwFileVersionMS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), info->dwFileType);
    char* product = nullptr;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904E4\\ProductVersion",
                               reinterpret_cast<void**>(&product), &length));
    EXPECT_STREQ("0.5", product);
}

// The program file's application manifest, as the loader reads it:
// resource 1 of type RT_MANIFEST. Empty when there is none.
std::string ReadManifest(const char* path)
{
    HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) {
        return {};
    }
    std::string manifest;
    HRSRC resource = FindResourceA(module, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (bytes) {
        manifest.assign(bytes, SizeofResource(module, resource));
    }
    FreeLibrary(module);
    return manifest;
}

// The start tags of the XML elements of this name, in document order.
std::vector<std::string> FindElements(const std::string& xml, const std::string& name)
{
    const std::regex tag("<" + name + "\\b[^>]*>");
    return {std::sregex_token_iterator(xml.begin(), xml.end(), tag), {}};
}

// The value of an attribute of a start tag; empty when it has none.
std::string ReadAttribute(const std::string& element, const std::string& name)
{
    std::smatch match;
    const std::regex attribute("\\s" + name + "=\"([^\"]*)\"");
    return std::regex_search(element, match, attribute) ? match[1].str() : std::string();
}

TEST(Executable, CarriesManifest)
{
    const std::string manifest = ReadManifest(VELLUMARK_EXE);
    ASSERT_FALSE(manifest.empty()) << "expected resource 1 of type RT_MANIFEST";

    const std::vector<std::string> levels = FindElements(manifest, "requestedExecutionLevel");
    ASSERT_EQ(1u, levels.size()) << manifest;
    EXPECT_EQ("asInvoker", ReadAttribute(levels[0], "level"));
    EXPECT_EQ("false", ReadAttribute(levels[0], "uiAccess"));

    std::vector<std::string> systems;
    for (const std::string& element : FindElements(manifest, "supportedOS")) {
        systems.push_back(ReadAttribute(element, "Id"));
    }
    EXPECT_EQ(SUPPORTED_OS_IDS, systems);

    // The only identity is the one dependency's.
    const std::vector<std::string> identities = FindElements(manifest, "assemblyIdentity");
    ASSERT_EQ(1u, identities.size()) << manifest;
    const std::string& controls = identities[0];
    EXPECT_EQ("Microsoft.Windows.Common-Controls", ReadAttribute(controls, "name"));
    EXPECT_EQ("6.0.0.0", ReadAttribute(controls, "version"));
    EXPECT_EQ("*", ReadAttribute(controls, "processorArchitecture"));
    EXPECT_EQ("6595b64144ccf1df", ReadAttribute(controls, "publicKeyToken"));
}

}  // namespace
