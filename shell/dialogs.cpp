// The viewer's message texts and its Open and Save dialogs (comdlg32, ANSI).
#include "shell/dialogs.h"

#include <cstdio>
#include <cstring>

#include "resources/strings.h"

int32_t LoadMessageText(int32_t id, char* out, int32_t capacity) {
    if (capacity <= 0) return 0;
    const int n = LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(id), out, capacity);
    if (n > 0) return n;
    out[0] = '\0';
    return 0;
}

void InitFileDialog(OPENFILENAMEA* record, char* fileName) {
    std::memset(record, 0, sizeof *record);
    record->lStructSize = 76;  // OPENFILENAME_SIZE_VERSION_400A: no pvReserved/FlagsEx
    record->hInstance = GetModuleHandleA(nullptr);
    record->nFilterIndex = 1;
    fileName[0] = '\0';
    record->lpstrFile = fileName;
    record->nMaxFile = MAX_PATH;
}

int32_t ShowOpenDialog(void* owner, char* fileName, int32_t filterTextId, const char* patterns,
                       const char* title) {
    OPENFILENAMEA record;
    InitFileDialog(&record, fileName);
    record.hwndOwner = static_cast<HWND>(owner);
    record.lpstrTitle = title;
    record.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    // "<text>\0<patterns>\0<all files> (*.*)\0*.*\0\0"
    char filter[768];
    char text[256];
    size_t p = 0;
    auto append = [&](const char* s) {
        size_t n = std::strlen(s);
        if (p + n + 2 > sizeof filter) n = sizeof filter - p - 2;
        std::memcpy(filter + p, s, n);
        p += n;
    };
    LoadMessageText(filterTextId, text, sizeof text);
    append(text);
    filter[p++] = '\0';
    append(patterns);
    filter[p++] = '\0';
    LoadMessageText(IDS_ALL_FILES, text, sizeof text);
    append(text);
    append(" (*.*)");
    filter[p++] = '\0';
    append("*.*");
    filter[p++] = '\0';
    filter[p] = '\0';
    record.lpstrFilter = filter;
    if (!GetOpenFileNameA(&record)) return -1;
    // Windows reports 0 for a name without an extension: its extension is then empty.
    if (record.nFileExtension == 0) return static_cast<int32_t>(std::strlen(fileName));
    return record.nFileExtension;
}

BOOL ShowSaveDialog(HWND owner, char* fileName, int32_t filterTextId, const char* extension,
                    const char* title) {
    OPENFILENAMEA record;
    InitFileDialog(&record, fileName);
    record.hwndOwner = owner;
    record.lpstrTitle = title;
    record.lpstrDefExt = extension;
    record.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    // One entry: "<text> (*.<ext>)\0*.<ext>\0\0" in 272 bytes.
    char filter[272];
    char text[256];
    LoadMessageText(filterTextId, text, sizeof text);
    int n = std::snprintf(filter, sizeof filter - 8, "%s (*.%.3s)", text, extension);
    if (n < 0) n = 0;
    if (n > static_cast<int>(sizeof filter) - 8) n = static_cast<int>(sizeof filter) - 8;
    std::snprintf(filter + n + 1, 7, "*.%.3s", extension);
    filter[n + 1 + 5] = '\0';
    filter[n + 1 + 6] = '\0';
    record.lpstrFilter = filter;
    return GetSaveFileNameA(&record);
}
