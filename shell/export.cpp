// What leaves the program: the display bitmap to the clipboard (CF_DIB) or to a .bmp file,
// the picture as a BSAVE file, and palette files coming in.
#include <windows.h>

#include <cstring>
#include <string>

#include "image/bsave.h"
#include "palette/palette.h"
#include "platform/platform.h"
#include "render/display.h"
#include "resources/strings.h"
#include "shell/dialogs.h"
#include "shell/shell.h"

namespace {

// Why the Save dialog closed without a name: nothing when the user cancelled, otherwise the
// dialog's failure, e.g. FNERR_BUFFERTOOSMALL for a name longer than its MAX_PATH buffer.
SaveFailure SaveDialogFailure(DialogResult result) {
    if (result == kDialogBadName) return SaveFailure{IDS_BAD_NAME, ""};
    switch (CommDlgExtendedError()) {
        case 0:
            return SaveFailure{};
        case FNERR_BUFFERTOOSMALL:
            return SaveFailure{IDS_NAME_TOO_LONG, "GetSaveFileName: FNERR_BUFFERTOOSMALL"};
        case FNERR_INVALIDFILENAME:
            return SaveFailure{IDS_WRITE_FAILED, "GetSaveFileName: FNERR_INVALIDFILENAME"};
        default:
            return SaveFailure{IDS_WRITE_FAILED, "GetSaveFileName"};
    }
}

// The folder part of a UTF-8 name, as UTF-16 ("" for none).
std::wstring FolderOf(const char* name) {
    const char* last = name;
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/' || *p == ':') last = p + 1;
    }
    return WideText(std::string(name, static_cast<size_t>(last - name)).c_str());
}

// The message for a failed write of size bytes to name: in words where the cause is one a user
// can act on (a read-only file, a folder, a full disk), else the internal error.
SaveFailure WriteFailure(WriteResult result, const char* name, uint64_t size) {
    const char* operation = WriteResultOperation(result);
    const DWORD attributes = GetFileAttributesW(WideText(name).c_str());
    if (result == kWriteReadOnly) return SaveFailure{IDS_READ_ONLY, operation};
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return SaveFailure{IDS_IS_FOLDER, operation};
    }
    ULARGE_INTEGER available;
    const std::wstring folder = FolderOf(name);
    if (result == kWriteWriteFailed &&
        GetDiskFreeSpaceExW(folder.empty() ? nullptr : folder.c_str(), &available, nullptr, nullptr) &&
        available.QuadPart < size) {
        return SaveFailure{IDS_DISK_FULL, operation};
    }
    return SaveFailure{IDS_WRITE_FAILED, operation};
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

SaveFailure SaveBitmapFile(HWND owner) {
    char name[kFileNameCapacity];
    const DialogResult chosen = ShowSaveDialog(owner, name, IDS_BITMAP_FILTER, "bmp", IDS_SAVE_BITMAP_TITLE);
    if (chosen != kDialogChosen) return SaveDialogFailure(chosen);
    // Through a temporary file: a failed write leaves an existing file of that name intact.
    WriteResult result = WriteFileAtomically(name, displayBitmap.FileImage(),
                                             displayBitmap.FileSize(), nullptr, 0);
    return result == kWriteOk ? SaveFailure{} : WriteFailure(result, name, displayBitmap.FileSize());
}

SaveFailure SaveScreenFile(HWND owner) {
    char name[kFileNameCapacity];
    const DialogResult chosen =
        ShowSaveDialog(owner, name, IDS_BSAVE_FILTER, ScreenModeOf(picture.screenMode).saveExtension, 0);
    if (chosen != kDialogChosen) return SaveDialogFailure(chosen);
    // The core makes the whole file image before anything touches the disk (a failed
    // allocation is "HeapAlloc" and leaves an existing file as it was), then writes it whole.
    WriteResult result = SaveScreenFileTo(picture, name, nullptr, 0);
    // A BSAVE file is at most its 7-byte header and the 128 KiB of VRAM.
    return result == kWriteOk ? SaveFailure{} : WriteFailure(result, name, 7 + 0x20000);
}

bool LoadPaletteCommand(HWND owner) {
    char name[kFileNameCapacity];
    const DialogResult chosen =
        ShowOpenDialog(owner, name, IDS_PALETTE_FILTER, "*.pl5;*.pl7", IDS_LOAD_PALETTE_TITLE);
    if (chosen == kDialogBadName) ShowErrorText(mainWindow, IDS_BAD_NAME, "Vramoria");
    if (chosen != kDialogChosen) return false;
    // A file that cannot be read changes nothing; the display is rebuilt either way. One too
    // short to hold a palette is refused with a message, and changes nothing either.
    if (OpenPaletteFile(&picture, name) == kPaletteFileTooShort) {
        ShowErrorText(mainWindow, IDS_NOT_PALETTE, "Vramoria");
    }
    return true;
}
