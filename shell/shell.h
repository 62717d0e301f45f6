// The Windows program: window state shared by the entry, the window procedures and the
// commands. All of it lives on the one GUI thread for the whole run.
#pragma once

#include <windows.h>

#include <cstdint>

extern HINSTANCE moduleHandle;  // GetModuleHandleA(NULL): resources, dialogs
extern HANDLE processHeap;      // GetProcessHeap(): the file images of the save commands
extern HWND mainWindow;         // "Vramoria": owner of the popup menu, dialogs and boxes
extern HWND paneWindow;         // "ImagePane": the child that shows the display bitmap
extern HMENU popupMenu;         // submenu 0 of menu 104, null when it could not be loaded
extern HACCEL accelerators;     // accelerator table 105

extern int32_t largeWindow;     // 0: 256x212 (1:1), 1: 512x424 (doubled)
extern int32_t resizePending;   // 1: a size was computed while maximised or minimised
extern int32_t paneWidth, paneHeight;    // outer size of the pane (client + sunken edge)
extern int32_t outerWidth, outerHeight;  // outer size of the main window

// The pane's client size at the current scale, and the outer sizes around it.
void ComputeWindowSizes();
// Recomputes the sizes and applies them, or marks them pending while the window is maximised
// or minimised (the next WM_SIZE after restoring applies them).
void ApplyWindowSize(HWND window);

// Opens the popup menu at a client point of window (x low word, y high word) with the given
// TrackPopupMenu alignment; refreshes the mode, palette and conversion states only on the
// first popup after a display rebuild.
void ShowPopupMenu(HWND window, LPARAM point, UINT alignment);

// Every command id except those the main window handles itself (40001, 40028-40031).
void ExecuteCommand(HWND window, int32_t id);

// Error box of the copy and save commands: string messageId with its "%" replaced by the
// name of the Win32 call that failed, captioned "Vramoria", owned by the main window.
void ReportError(int32_t messageId, const char* operation);

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The export and save commands. Each returns the name of the Win32 call that failed, or null
// on success and on a cancelled dialog.
const char* CopyToClipboard(HWND owner);
const char* SaveBitmapFile(HWND owner);
const char* SaveScreenFile(HWND owner);
// Asks for a palette file and loads it; true when a file was chosen.
bool LoadPaletteCommand(HWND owner);
