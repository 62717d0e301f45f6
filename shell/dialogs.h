// The viewer's message texts and its Open and Save dialogs (comdlg32, the W functions: the
// texts of the string table are UTF-16 in the resources and reach the screen as they are on any
// system code page; names come back from the dialogs as UTF-8).
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <cstdint>
#include <string>

// The UTF-16 form of a UTF-8 text for a W call; empty for bytes that are not UTF-8.
std::wstring WideText(const char* text);

// Fills the fields of the record that both dialogs share: size 76 (the record without the
// fields that later Windows versions added), the module, filter entry 1, the MAX_PATH name
// buffer emptied (no initial name; Windows chooses the folder).
void InitFileDialog(OPENFILENAMEW* record, wchar_t* fileName);

// What a file dialog ended with.
enum DialogResult : int32_t {
    kDialogChosen,     // a name, in fileName as UTF-8
    kDialogCancelled,  // closed without a name, or failed: CommDlgExtendedError() tells which
    kDialogBadName,    // a name that no UTF-8 text can hold (an unpaired surrogate): refused
};

// The Save dialog with one filter entry "<string filterTextId> (*.<extension>)"; the extension
// is also the default one. fileName is a kFileNameCapacity-byte buffer.
DialogResult ShowSaveDialog(HWND owner, char* fileName, int32_t filterTextId,
                            const char* extension, int32_t titleId);

// Text of a string-table entry into out (capacity characters); returns its length, 0 when
// there is none.
int32_t LoadMessageText(int32_t id, wchar_t* out, int32_t capacity);

// The Open dialog: lets the user choose an existing file. owner is a window handle or null;
// titleId 0 keeps the system's title. fileName is a kFileNameCapacity-byte buffer.
DialogResult ShowOpenDialog(void* owner, char* fileName, int32_t filterTextId,
                            const char* patterns, int32_t titleId);
