// Entry point and the two windows: "Vramoria", the top-level frame without a menu bar, and
// "ImagePane", the sunken child one pixel below the top of its client area that paints the
// display bitmap.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "image/bsave.h"
#include "platform/unicode.h"
#include "render/display.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "shell/dialogs.h"
#include "shell/shell.h"

HINSTANCE moduleHandle;
HWND mainWindow;
HWND paneWindow;
HMENU popupMenu;
HACCEL accelerators;
int32_t largeWindow;
Picture picture;
DisplayBitmap displayBitmap;
bool menuNeedsRefresh = true;
char windowTitle[kTitleCapacity];

namespace {

int32_t resizePending;                   // 1: a size was computed while maximised or minimised
int32_t paneWidth, paneHeight;           // outer size of the pane (client + sunken edge)
int32_t outerWidth, outerHeight;         // outer size of the main window

void ComputeWindowSizes();

const wchar_t kMainClass[] = L"Vramoria";
const wchar_t kPaneClass[] = L"ImagePane";
const DWORD kMainStyle = WS_OVERLAPPEDWINDOW;
const DWORD kPaneStyle = WS_CHILD;
const DWORD kPaneExStyle = WS_EX_CLIENTEDGE;
// Resize only: keep the position, the z-order and the activation.
const UINT kResizeOnly = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;

// The picture at the pane's top-left corner: 1:1 through the view header (the half-width
// view for the 512-pixel modes), or doubled through the file image's own header. The rest of
// the pane keeps the class background.
void OnPanePaint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (dc == nullptr) return;
    const uint8_t* bits = displayBitmap.Rows();
    if (largeWindow == 0) {
        SetDIBitsToDevice(dc, 0, 0, 256, kScreenLines, 0, 0, 0, kScreenLines, bits,
                          reinterpret_cast<const BITMAPINFO*>(displayBitmap.ViewInfo()),
                          DIB_RGB_COLORS);
    } else {
        StretchDIBits(dc, 0, 0, 512, 2 * kScreenLines, 0, 0, displayBitmap.Width(), kScreenLines,
                      bits, reinterpret_cast<const BITMAPINFO*>(displayBitmap.FileInfo()),
                      DIB_RGB_COLORS, SRCCOPY);
    }
    EndPaint(window, &paint);
}

LRESULT CALLBACK PaneWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        OnPanePaint(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void OnSize(HWND window, LPARAM lParam) {
    // The pane fills the client area below the one-pixel top row.
    SetWindowPos(paneWindow, nullptr, 0, 0, LOWORD(lParam), HIWORD(lParam) - 1,
                 kResizeOnly);
    if (resizePending) ApplyWindowSize(window);
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_SIZE:
            OnSize(window, lParam);
            break;
        case WM_WININICHANGE:
            // New border or caption metrics: the next ApplyWindowSize uses them.
            if (wParam == SPI_SETNONCLIENTMETRICS) ComputeWindowSizes();
            break;
        case WM_COMMAND:
            OnCommand(window, LOWORD(wParam));
            return 0;
        case WM_PARENTNOTIFY:
            // A left click anywhere in the pane reaches the main window as this notification,
            // with the point in the main window's client coordinates.
            if (LOWORD(wParam) == WM_LBUTTONDOWN) {
                ShowPopupMenu(window, lParam, TPM_CENTERALIGN);
                return 0;
            }
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Unicode classes: their windows take UTF-16 captions, so the title shows the real name.
bool RegisterWindowClass(const wchar_t* name, WNDPROC procedure, int brushValue) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = 0;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = moduleHandle;
    windowClass.hIcon = LoadIconW(moduleHandle, MAKEINTRESOURCEW(IDI_VRAMORIA));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    // A system colour as brush: its COLOR_ index + 1.
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(brushValue));
    windowClass.lpszClassName = name;
    return RegisterClassExW(&windowClass) != 0;
}

// The pane's client size at the current scale, and the outer sizes around it.
void ComputeWindowSizes() {
    int width = largeWindow ? 512 : 256;
    int height = largeWindow ? 2 * kScreenLines : kScreenLines;
    // Only the differences matter; the corner value has no effect.
    RECT rect = {512, 512, 512 + width, 512 + height};
    AdjustWindowRectEx(&rect, kPaneStyle, FALSE, kPaneExStyle);
    paneWidth = rect.right - rect.left;
    paneHeight = rect.bottom - rect.top;
    rect.top -= 1;  // the row above the pane
    AdjustWindowRectEx(&rect, kMainStyle, FALSE, 0);
    outerWidth = rect.right - rect.left;
    outerHeight = rect.bottom - rect.top;
}

// The command line as UTF-8 (GetCommandLineA would hold "?" or a look-alike for every
// character outside the ANSI code page). False when it holds an unpaired surrogate; line then
// has U+FFFD in its place, for the caption only.
bool CommandLineUtf8(std::string* line) {
    const wchar_t* wide = GetCommandLineW();
    const std::u16string units(wide, wide + wcslen(wide));
    if (Utf16ToUtf8(units.data(), units.size(), line)) return true;
    *line = Utf16ToUtf8ForDisplay(units.data(), units.size());
    return false;
}

// The message for a name that could not be loaded: a folder is said to be one.
int32_t CannotOpenMessage(const char* name) {
    const DWORD attributes = GetFileAttributesW(WideText(name).c_str());
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    return folder ? IDS_OPEN_FOLDER : IDS_FILE_NOT_FOUND;
}

// The name to load: from the command line, or chosen in the Open dialog when there is none;
// the window title names it. 0 when name holds it, else the message to show (-1: none, the
// dialog was cancelled).
int32_t StartPictureName(char (&name)[kFileNameCapacity]) {
    // Every name the loader reads in a mode of its own: the save extensions and the paint
    // programs' first, then the MSX2+ names and the digit rule's other names (.S05, .GE5 ...).
    static const char kOpenPatterns[] =
        "*.sc5;*.sc6;*.sc7;*.sc8;*.sca;*.scc;*.sr5;*.sr7;*.sr8;*.srs"
        ";*.scb;*.s10;*.s11;*.s12;*.sra;*.src;*.??5;*.??6;*.??7;*.??8";
    std::string line;
    const bool valid = CommandLineUtf8(&line);
    const char* tail = CommandLineTail(line.c_str());
    switch (PictureNameFromTail(tail, name)) {
        case kArgumentNone:
            switch (ShowOpenDialog(nullptr, name, IDS_BSAVE_FILTER, kOpenPatterns, 0)) {
                case kDialogChosen:
                    BuildWindowTitle(name, windowTitle);
                    return 0;
                case kDialogBadName:
                    std::snprintf(windowTitle, sizeof windowTitle, "Vramoria");
                    return IDS_BAD_NAME;
                case kDialogCancelled:
                    return -1;  // cancelled: no message
            }
            return -1;
        case kArgumentName:
            BuildWindowTitle(name, windowTitle);
            return valid ? 0 : IDS_BAD_NAME;
        case kArgumentTooLong:
            // Not even tried: the caption names what was asked for, as far as the title holds it.
            BuildWindowTitle(tail[0] == '"' ? tail + 1 : tail, windowTitle);
            return IDS_FILE_NOT_FOUND;
    }
    return IDS_FILE_NOT_FOUND;
}

// The picture named on the command line, or chosen in the Open dialog when there is none, as
// the current picture. On failure shows the loader's message (nothing for a cancelled dialog)
// and returns false.
bool LoadStartPicture() {
    char name[kFileNameCapacity];
    int32_t messageId = StartPictureName(name);
    if (messageId < 0) return false;
    if (messageId == 0) {
        switch (LoadScreenFileNamed(name, &picture)) {
            case kLoadOk:
                return true;
            case kLoadCannotOpen:
                messageId = CannotOpenMessage(name);
                break;
            case kLoadNotBsave:
                messageId = IDS_NOT_BSAVE;
                break;
        }
    }
    ShowErrorText(nullptr, messageId, windowTitle);
    return false;
}

}  // namespace

void ApplyWindowSize(HWND window) {
    ComputeWindowSizes();
    if (!IsZoomed(window) && !IsIconic(window)) {
        SetWindowPos(window, nullptr, 0, 0, outerWidth, outerHeight, kResizeOnly);
        resizePending = 0;
    } else {
        resizePending = 1;
    }
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    moduleHandle = GetModuleHandleW(nullptr);
    largeWindow = 0;
    resizePending = 0;

    // Without a picture there is no window at all (the message, if any, has been shown).
    if (!LoadStartPicture()) ExitProcess(0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;

    if (!RegisterWindowClass(kMainClass, MainWndProc, COLOR_BTNFACE + 1) ||
        !RegisterWindowClass(kPaneClass, PaneWndProc, COLOR_APPWORKSPACE + 1)) {
        ExitProcess(0);
    }
    ComputeWindowSizes();
    displayBitmap = BuildDisplayBitmap(picture);
    menuNeedsRefresh = true;

    HMENU menu = LoadMenuW(moduleHandle, MAKEINTRESOURCEW(IDM_POPUP));
    popupMenu = menu != nullptr ? GetSubMenu(menu, 0) : nullptr;
    accelerators = LoadAcceleratorsW(moduleHandle, MAKEINTRESOURCEW(IDA_ACCELERATORS));

    mainWindow = CreateWindowExW(0, kMainClass, WideText(windowTitle).c_str(), kMainStyle, CW_USEDEFAULT,
                                 CW_USEDEFAULT, outerWidth, outerHeight, nullptr, nullptr,
                                 moduleHandle, nullptr);
    paneWindow = CreateWindowExW(kPaneExStyle, kPaneClass, L"", kPaneStyle, 0, 1, paneWidth,
                                 paneHeight, mainWindow, nullptr, moduleHandle, nullptr);
    ShowWindow(paneWindow, SW_SHOW);
    ShowWindow(mainWindow, show);

    // No TranslateMessage: the program reads keys only through its accelerators.
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) != 0) {
        if (!TranslateAcceleratorW(mainWindow, accelerators, &message)) {
            DispatchMessageW(&message);
        }
    }
    if (menu != nullptr) DestroyMenu(menu);
    ExitProcess(static_cast<UINT>(message.wParam));
}
