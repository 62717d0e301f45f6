// Win32 implementation of the platform services (the viewer and the .exe tools). ANSI file
// functions throughout: file names are byte strings in the ANSI code page (932 on a Japanese
// Windows), at most 259 characters.
#include <windows.h>
#include <commdlg.h>

#include <io.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/win32_dialogs.h"
#include "platform/win32_files.h"
#include "resources/strings.h"

void SetWin32Reason(char* reason, size_t capacity, DWORD error) {
    if (reason == nullptr || capacity == 0) return;
    char text[256];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             error, 0, text, sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ')) --n;
    text[n] = '\0';
    if (n == 0) std::snprintf(reason, capacity, "error %lu", static_cast<unsigned long>(error));
    else std::snprintf(reason, capacity, "%s", text);
}

size_t Win32FolderLength(const char* path) {
    size_t folder = 0;
    for (size_t i = 0; path[i] != '\0'; ++i) {
        // Walk by characters, not bytes: a DBCS trail byte can be 0x5C (the yen sign problem).
        if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && path[i + 1] != '\0') {
            ++i;
            continue;
        }
        if (path[i] == '\\' || path[i] == '/' || path[i] == ':') folder = i + 1;
    }
    return folder;
}


bool MakeParentFolders(const char* path) {
    size_t folder = Win32FolderLength(path);
    if (folder == 0) return true;
    char prefix[MAX_PATH];
    if (folder >= sizeof prefix) return false;
    for (size_t i = 0; i < folder; ++i) {
        prefix[i] = path[i];
        bool separator = path[i] == '\\' || path[i] == '/';
        if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < folder) {
            prefix[i + 1] = path[i + 1];
            ++i;
            continue;
        }
        // Each folder on the way; "C:" and "\\server" parts simply fail and are passed over.
        if (separator && i > 0) {
            prefix[i] = '\0';
            CreateDirectoryA(prefix, nullptr);
            prefix[i] = path[i];
        }
    }
    prefix[folder] = '\0';
    DWORD attributes = GetFileAttributesA(prefix);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

bool FileDisplayName(const char* path, char* out, size_t capacity) {
    if (capacity > 0xFFFF) capacity = 0xFFFF;
    return GetFileTitleA(path, out, static_cast<WORD>(capacity)) == 0;
}

bool ResolvePathIgnoringCase(char* path) {
    // Windows file names never distinguish case: the name either exists or it does not.
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

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

bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }
