// The Open and Save dialogs of the Windows build (comdlg32), shared by the loader and the viewer.
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
