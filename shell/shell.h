// The Windows program: the state shared by the entry, the window procedures and the commands.
// All of it lives on the one GUI thread for the whole run.
#pragma once

#include <windows.h>

#include <cstdint>

#include "image/picture.h"
#include "render/display.h"
#include "shell/startup.h"

extern HINSTANCE moduleHandle;  // GetModuleHandleW(NULL): resources, dialogs
extern HWND mainWindow;         // "Vramoria": owner of the popup menu, dialogs and boxes
extern HWND paneWindow;         // "ImagePane": the child that shows the display bitmap
extern HMENU popupMenu;         // the popup's submenu 0, null when it could not be loaded
extern HACCEL accelerators;     // the accelerator table
extern int32_t largeWindow;     // 0: 256x212 (1:1), 1: 512x424 (doubled)

extern Picture picture;                 // the one picture the viewer shows
extern DisplayBitmap displayBitmap;     // the picture as painted, copied and saved as .bmp
extern bool menuNeedsRefresh;           // the popup's checks and greying are out of date
extern char windowTitle[kTitleCapacity];  // "<name> - Vramoria", UTF-8

// Recomputes the window sizes for largeWindow and applies them, or leaves them pending while
// the window is maximised or minimised (the next WM_SIZE after restoring applies them).
void ApplyWindowSize(HWND window);

// Opens the popup menu at a client point of window (x low word, y high word) with the given
// TrackPopupMenu alignment; refreshes the mode, palette and conversion states only on the
// first popup after a display rebuild.
void ShowPopupMenu(HWND window, LPARAM point, UINT alignment);

// Every command of the menu and the accelerators.
void OnCommand(HWND window, int32_t id);

// Error box of the copy and save commands: string messageId with its "%" (if any) replaced by
// the name of the Win32 call that failed, captioned "Vramoria", owned by the main window.
void ReportError(int32_t messageId, const char* operation);

// Message box with string messageId, captioned by caption (UTF-8), owned by owner (may be null).
void ShowErrorText(HWND owner, int32_t messageId, const char* caption);

// Why a save did not happen: the message to show and the Win32 call named in it; messageId 0
// on success and on a cancelled dialog.
struct SaveFailure {
    int32_t messageId = 0;
    const char* operation = "";
};

// The export and save commands. CopyToClipboard returns the name of the Win32 call that
// failed, or null on success.
const char* CopyToClipboard(HWND owner);
SaveFailure SaveBitmapFile(HWND owner);
SaveFailure SaveScreenFile(HWND owner);
// Asks for a palette file and loads it; true when a file was chosen.
bool LoadPaletteCommand(HWND owner);
