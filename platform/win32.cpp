// Win32 implementation of the platform services (the viewer and the .exe tools). ANSI file
// functions throughout: file names are byte strings in the ANSI code page (932 on a Japanese
// Windows), at most 259 characters.
#include <windows.h>
#include <commdlg.h>  // GetFileTitleA

#include <io.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/win32_files.h"

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


bool MakeParentFolders(const char* path, std::string* firstMade, char* reason,
                       size_t reasonCapacity) {
    if (firstMade != nullptr) firstMade->clear();
    size_t folder = Win32FolderLength(path);
    if (folder == 0) return true;
    char prefix[MAX_PATH];
    if (folder >= sizeof prefix) {
        SetWin32Reason(reason, reasonCapacity, ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    std::string made;
    DWORD error = ERROR_SUCCESS;
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
            if (CreateDirectoryA(prefix, nullptr)) {
                if (made.empty()) made = prefix;
            } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
                error = GetLastError();
            }
            prefix[i] = path[i];
        }
    }
    prefix[folder] = '\0';
    DWORD attributes = GetFileAttributesA(prefix);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (firstMade != nullptr) *firstMade = made;
        return true;
    }
    RemoveMadeFolders(path, made);
    SetWin32Reason(reason, reasonCapacity, error != ERROR_SUCCESS ? error : ERROR_PATH_NOT_FOUND);
    return false;
}

void RemoveMadeFolders(const char* path, const std::string& firstMade) {
    if (firstMade.empty()) return;
    std::string folder(path, Win32FolderLength(path));
    while (folder.size() >= firstMade.size()) {
        while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
        if (folder.size() < firstMade.size() || !RemoveDirectoryA(folder.c_str())) return;
        const size_t length = Win32FolderLength(folder.c_str());
        if (length == 0) return;
        folder.erase(length);
    }
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

bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }

// Windows hands a child process its pipes as handles, never as names in the file system.
bool IsDescriptorName(const char*) { return false; }

bool OpenDescriptorPipe(const char*, DescriptorPipe* pipe) {
    pipe->handle = 0;
    return false;
}

ReadResult ReadDescriptorPipe(DescriptorPipe*, uint8_t*, size_t, size_t* got, char* reason,
                              size_t reasonCapacity) {
    *got = 0;
    if (reason != nullptr && reasonCapacity > 0) {
        std::snprintf(reason, reasonCapacity, "no such pipe");
    }
    return kReadFailed;
}

void CloseDescriptorPipe(DescriptorPipe* pipe) { pipe->handle = 0; }
