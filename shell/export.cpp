// What leaves the program: the display bitmap to the clipboard (CF_DIB) or to a .bmp file,
// the picture as a BSAVE file, and palette files coming in.
#include <windows.h>

#include <cstring>

#include "image/bsave.h"
#include "palette/palette.h"
#include "platform/platform.h"
#include "platform/win32_dialogs.h"
#include "render/display.h"
#include "resources/strings.h"
#include "shell/shell.h"

namespace {

const int32_t kBmpFileHeaderBytes = 14;
// In the display bitmap the BMP file image starts after two alignment bytes and the packed
// DIB (info header, colour table, pixels) 14 bytes later.
const int32_t kFileImageOffset = 2;
const int32_t kPackedDibOffset = kFileImageOffset + kBmpFileHeaderBytes;

}  // namespace

const char* CopyToClipboard(HWND owner) {
    // The packed DIB only; for SCREEN 6 and 7 the full 512-pixel picture, never the half-width
    // view that follows the file image.
    SIZE_T length = DisplayBitmapFileSize() - kBmpFileHeaderBytes;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, length);
    if (block == nullptr) return "GlobalAlloc";
    const char* failed = nullptr;
    void* target = GlobalLock(block);
    if (target == nullptr) {
        failed = "GlobalLock";
    } else {
        std::memcpy(target, displayBitmap + kPackedDibOffset, length);
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
    if (!ShowSaveDialog(owner, name, IDS_BITMAP_FILTER, "bmp", title)) return nullptr;
    // Through a temporary file: a failed write leaves an existing file of that name intact.
    WriteResult result = WriteFileAtomically(name, displayBitmap + kFileImageOffset,
                                             DisplayBitmapFileSize(), nullptr, 0);
    return result == kWriteOk ? nullptr : WriteResultOperation(result);
}

const char* SaveScreenFile(HWND owner) {
    char name[kFileNameCapacity];
    if (!ShowSaveDialog(owner, name, IDS_BSAVE_FILTER, kScreenModes[screenMode].saveExtension,
                        nullptr)) {
        return nullptr;
    }
    // The core makes the whole file image before anything touches the disk (a failed
    // allocation is "HeapAlloc" and leaves an existing file as it was), then writes it whole.
    WriteResult result = SaveScreenFileTo(name, nullptr, 0);
    return result == kWriteOk ? nullptr : WriteResultOperation(result);
}

bool LoadPaletteCommand(HWND owner) {
    char title[256];
    if (LoadStringA(moduleHandle, IDS_LOAD_PALETTE_TITLE, title, sizeof title) <= 0) title[0] = '\0';
    char name[kFileNameCapacity];
    if (ShowOpenDialog(owner, name, IDS_PALETTE_FILTER, "*.pl5;*.pl7", title) < 0) return false;
    // A file that cannot be read changes nothing; the display is rebuilt either way.
    LoadPaletteFile(name);
    return true;
}
