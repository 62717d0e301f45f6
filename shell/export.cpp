// What leaves the program: the display bitmap to the clipboard (CF_DIB) or to a .bmp file,
// the picture as a BSAVE file, and palette files coming in.
#include <windows.h>

#include <cstring>

#include "image/bsave.h"
#include "palette/palette.h"
#include "platform/platform.h"
#include "render/display.h"
#include "resources/strings.h"
#include "shell/dialogs.h"
#include "shell/shell.h"

namespace {

// Why the Save dialog closed without a name: nothing (null) when the user cancelled, otherwise
// the dialog's failure, e.g. FNERR_BUFFERTOOSMALL for a name longer than the 260-byte buffer.
const char* SaveDialogFailure() {
    switch (CommDlgExtendedError()) {
        case 0:
            return nullptr;
        case FNERR_BUFFERTOOSMALL:
            return "GetSaveFileName: FNERR_BUFFERTOOSMALL";
        case FNERR_INVALIDFILENAME:
            return "GetSaveFileName: FNERR_INVALIDFILENAME";
        default:
            return "GetSaveFileName";
    }
}

}  // namespace

const char* CopyToClipboard(HWND owner) {
    // The packed DIB only; for SCREEN 6 and 7 the full 512-pixel picture, never the half-width
    // view that follows the file image.
    const SIZE_T length = displayBitmap.PackedDibSize();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, length);
    if (block == nullptr) return "GlobalAlloc";
    const char* failed = nullptr;
    void* target = GlobalLock(block);
    if (target == nullptr) {
        failed = "GlobalLock";
    } else {
        std::memcpy(target, displayBitmap.PackedDib(), length);
        GlobalUnlock(block);
        if (!OpenClipboard(owner)) {
            failed = "OpenClipboard";
        } else {
            // From here on the clipboard owns the block, whatever these two report.
            EmptyClipboard();
            SetClipboardData(CF_DIB, block);
            CloseClipboard();
        }
    }
    if (failed != nullptr) GlobalFree(block);
    return failed;
}

const char* SaveBitmapFile(HWND owner) {
    char title[256];
    if (LoadStringA(moduleHandle, IDS_SAVE_BITMAP_TITLE, title, sizeof title) <= 0) title[0] = '\0';
    char name[kFileNameCapacity];
    if (!ShowSaveDialog(owner, name, IDS_BITMAP_FILTER, "bmp", title)) return SaveDialogFailure();
    // Through a temporary file: a failed write leaves an existing file of that name intact.
    WriteResult result = WriteFileAtomically(name, displayBitmap.FileImage(),
                                             displayBitmap.FileSize(), nullptr, 0);
    return result == kWriteOk ? nullptr : WriteResultOperation(result);
}

const char* SaveScreenFile(HWND owner) {
    char name[kFileNameCapacity];
    if (!ShowSaveDialog(owner, name, IDS_BSAVE_FILTER,
                        ScreenModeOf(picture.screenMode).saveExtension, nullptr)) {
        return SaveDialogFailure();
    }
    // The core makes the whole file image before anything touches the disk (a failed
    // allocation is "HeapAlloc" and leaves an existing file as it was), then writes it whole.
    WriteResult result = SaveScreenFileTo(picture, name, nullptr, 0);
    return result == kWriteOk ? nullptr : WriteResultOperation(result);
}

bool LoadPaletteCommand(HWND owner) {
    char title[256];
    if (LoadStringA(moduleHandle, IDS_LOAD_PALETTE_TITLE, title, sizeof title) <= 0) title[0] = '\0';
    char name[kFileNameCapacity];
    if (ShowOpenDialog(owner, name, IDS_PALETTE_FILTER, "*.pl5;*.pl7", title) < 0) return false;
    // A file that cannot be read changes nothing; the display is rebuilt either way. One too
    // short to hold a palette is refused with a message, and changes nothing either.
    if (OpenPaletteFile(&picture, name) == kPaletteFileTooShort) {
        char text[256];
        if (LoadStringA(moduleHandle, IDS_NOT_PALETTE, text, sizeof text) > 0) {
            MessageBoxA(mainWindow, text, "Vramoria", MB_OK | MB_ICONERROR);
        }
    }
    return true;
}
