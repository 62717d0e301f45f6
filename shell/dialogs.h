// The viewer's message texts and its Open and Save dialogs (comdlg32).
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <cstdint>

// Fills the fields of the record that both dialogs share: size 76 (the record without the
// fields that later Windows versions added), the module, filter entry 1, the 260-byte name
// buffer emptied (no initial name; Windows chooses the folder).
void InitFileDialog(OPENFILENAMEA* record, char* fileName);

// The Save dialog with one filter entry "<string filterTextId> (*.<extension>)"; the extension
// is also the default one. Nonzero when a name was chosen (then the full path is in fileName).
BOOL ShowSaveDialog(HWND owner, char* fileName, int32_t filterTextId, const char* extension,
                    const char* title);

// Text of a string-table entry (ids 1-10) into out in the ANSI code page; returns its length,
// 0 when there is none.
int32_t LoadMessageText(int32_t id, char* out, int32_t capacity);

// The Open dialog: lets the user choose an existing file; returns the offset of its extension
// in fileName (a 260-byte buffer), or -1 when cancelled. owner is a window handle or null.
int32_t ShowOpenDialog(void* owner, char* fileName, int32_t filterTextId, const char* patterns,
                       const char* title);
