// The popup menu, the command table, the error report and the About box.
#include <windows.h>

#include <string>

#include "convert/convert.h"
#include "image/picture.h"
#include "palette/palette.h"
#include "render/display.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "shell/dialogs.h"
#include "shell/shell.h"

namespace {

const UINT kEnabled = MF_BYPOSITION | MF_ENABLED;
const UINT kGreyed = MF_BYPOSITION | MF_GRAYED | MF_DISABLED;

void EnableByPosition(HMENU menu, UINT position, bool enabled) {
    EnableMenuItem(menu, position, enabled ? kEnabled : kGreyed);
}

// Mode, palette and conversion states. They change only through a display rebuild, which
// sets menuNeedsRefresh, so they are set on the first popup after one.
void RefreshMenuStates() {
    HMENU modes = GetSubMenu(popupMenu, POS_MODE_MENU);
    if (modes != nullptr) CheckMenuRadioItem(modes, 0, 5, picture.screenMode, MF_BYPOSITION);
    HMENU palettes = GetSubMenu(popupMenu, POS_PALETTE_MENU);
    if (palettes != nullptr) {
        CheckMenuRadioItem(palettes, 0, 9, picture.paletteIndex, MF_BYPOSITION);
        // The standard palette (position 0) is always there and never touched.
        for (int32_t slot = 1; slot < kPaletteSlotCount; ++slot) {
            EnableByPosition(palettes, slot, GetPaletteSlot(picture, slot) != nullptr);
        }
    }
    HMENU conversions = GetSubMenu(popupMenu, POS_CONVERT_MENU);
    if (conversions != nullptr) {
        for (int32_t target = 0; target < kBitmapModeCount; ++target) {
            EnableByPosition(conversions, target, ConversionCode(picture.screenMode, target) != 0);
        }
    }
    menuNeedsRefresh = false;
}

// After a change of mode, palette or bytes: a new display bitmap, drawn without erasing (it
// covers the same area as the old one).
void Rebuild() {
    displayBitmap = BuildDisplayBitmap(picture);
    menuNeedsRefresh = true;
    InvalidateRect(paneWindow, nullptr, FALSE);
}

void ShowAboutBox(HWND window);

}  // namespace

void ShowPopupMenu(HWND window, LPARAM point, UINT alignment) {
    if (popupMenu == nullptr) return;
    POINT screen = {static_cast<LONG>(LOWORD(point)), static_cast<LONG>(HIWORD(point))};
    ClientToScreen(window, &screen);
    if (menuNeedsRefresh) RefreshMenuStates();
    CheckMenuRadioItem(popupMenu, POS_SMALL_WINDOW, POS_LARGE_WINDOW,
                       POS_SMALL_WINDOW + largeWindow, MF_BYPOSITION);
    TrackPopupMenu(popupMenu, alignment, screen.x, screen.y, 0, window, nullptr);
}

void ReportError(int32_t messageId, const char* operation) {
    wchar_t message[256];
    if (LoadMessageText(messageId, message, 256) <= 0) return;
    // A message holds at most one "%": the place of the failing call's name (ASCII).
    std::wstring text = message;
    const size_t percent = text.find(L'%');
    if (percent != std::wstring::npos) text.replace(percent, 1, WideText(operation));
    MessageBoxW(mainWindow, text.c_str(), L"Vramoria", MB_OK | MB_ICONERROR);
}

void ShowErrorText(HWND owner, int32_t messageId, const char* caption) {
    wchar_t text[256];
    if (LoadMessageText(messageId, text, 256) > 0) {
        MessageBoxW(owner, text, WideText(caption).c_str(), MB_OK | MB_ICONERROR);
    }
}

void OnCommand(HWND window, int32_t id) {
    if (id >= IDC_MODE_FIRST && id < IDC_MODE_FIRST + kBitmapModeCount) {
        // Reinterpret the same bytes in another mode: nothing is converted.
        SelectScreenMode(&picture, id - IDC_MODE_FIRST);
        Rebuild();
        return;
    }
    if (id >= IDC_PALETTE_FIRST && id < IDC_PALETTE_FIRST + kPaletteSlotCount) {
        if (SelectPaletteSlot(&picture, id - IDC_PALETTE_FIRST)) Rebuild();
        return;
    }
    if (id >= IDC_CONVERT_FIRST && id < IDC_CONVERT_FIRST + kBitmapModeCount) {
        // A target the current mode does not offer (code 0) is ignored.
        if (ConvertToMode(&picture, id - IDC_CONVERT_FIRST)) Rebuild();
        return;
    }
    switch (id) {
        case IDC_SHOW_MENU:
            ShowPopupMenu(window, MAKELPARAM(0, 1), 0);
            break;
        case IDC_COPY: {
            const char* failed = CopyToClipboard(window);
            if (failed != nullptr) ReportError(IDS_COPY_FAILED, failed);
            break;
        }
        case IDC_SAVE_BITMAP: {
            const SaveFailure failed = SaveBitmapFile(window);
            if (failed.messageId != 0) ReportError(failed.messageId, failed.operation);
            break;
        }
        case IDC_SAVE_AS: {
            const SaveFailure failed = SaveScreenFile(window);
            if (failed.messageId != 0) ReportError(failed.messageId, failed.operation);
            break;
        }
        case IDC_LOAD_PALETTE:
            if (LoadPaletteCommand(window)) Rebuild();
            break;
        case IDC_EXIT:
            DestroyWindow(window);
            break;
        case IDC_ABOUT:
            ShowAboutBox(window);
            break;
        case IDC_SMALL_WINDOW:
            largeWindow = 0;
            ApplyWindowSize(window);
            // Erase: the smaller picture no longer covers what the large one drew.
            InvalidateRect(paneWindow, nullptr, TRUE);
            break;
        case IDC_LARGE_WINDOW:
            largeWindow = 1;
            ApplyWindowSize(window);
            InvalidateRect(paneWindow, nullptr, FALSE);
            break;
        default:
            break;
    }
}

namespace {

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {  // Escape is IDCANCEL
                EndDialog(dialog, 0);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

void ShowAboutBox(HWND window) {
    // The W function: the dialog's Japanese caption and texts reach the window as UTF-16 on
    // any system code page.
    DialogBoxParamW(moduleHandle, MAKEINTRESOURCEW(IDD_ABOUT), window, AboutDlgProc, 0);
}

}  // namespace
