// Win32 implementation of the platform services (the viewer and the .exe tools). Names are
// UTF-8 inside the program and UTF-16 at every Windows call (the W functions), so that any
// name reaches its own file whatever the system's ANSI code page: through the ANSI functions a
// name outside that code page became "?" or a look-alike ("café" as "cafe" under code page 932),
// which read, and replaced, another file.
#include <windows.h>
#include <commdlg.h>  // GetFileTitleW
#include <shellapi.h>  // CommandLineToArgvW

#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/unicode.h"
#include "platform/win32_files.h"

bool WideName(const char* path, std::wstring* wide) {
    std::u16string units;
    if (path == nullptr || !Utf8ToUtf16(path, std::strlen(path), &units)) {
        wide->clear();
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    wide->assign(units.begin(), units.end());
    return true;
}

bool Utf8Name(const wchar_t* wide, std::string* path) {
    const std::u16string units(wide, wide + wcslen(wide));
    return Utf16ToUtf8(units.data(), units.size(), path);
}

HANDLE CreateFileUtf8(const char* path, DWORD access, DWORD share, DWORD disposition,
                      DWORD flags) {
    std::wstring wide;
    if (!WideName(path, &wide)) return INVALID_HANDLE_VALUE;
    return CreateFileW(wide.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

DWORD GetFileAttributesUtf8(const char* path) {
    std::wstring wide;
    return WideName(path, &wide) ? GetFileAttributesW(wide.c_str()) : INVALID_FILE_ATTRIBUTES;
}

BOOL SetFileAttributesUtf8(const char* path, DWORD attributes) {
    std::wstring wide;
    return WideName(path, &wide) && SetFileAttributesW(wide.c_str(), attributes);
}

BOOL DeleteFileUtf8(const char* path) {
    std::wstring wide;
    return WideName(path, &wide) && DeleteFileW(wide.c_str());
}

bool Utf8CommandLine(std::vector<std::string>* arguments) {
    arguments->clear();
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (words == nullptr) return false;
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        std::string word;
        ok = Utf8Name(words[i], &word);
        arguments->push_back(word);
    }
    LocalFree(words);
    if (!ok) arguments->clear();
    return ok;
}

void SetWin32Reason(char* reason, size_t capacity, DWORD error) {
    if (reason == nullptr || capacity == 0) return;
    wchar_t text[256];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             error, 0, text, 256, nullptr);
    while (n > 0 && (text[n - 1] == L'\r' || text[n - 1] == L'\n' || text[n - 1] == L' ')) --n;
    text[n] = L'\0';
    std::string words;
    if (n == 0 || !Utf8Name(text, &words)) {
        std::snprintf(reason, capacity, "error %lu", static_cast<unsigned long>(error));
    } else {
        std::snprintf(reason, capacity, "%.*s",
                      static_cast<int>(Utf8PrefixLength(words.c_str(), words.size(), capacity - 1)),
                      words.c_str());
    }
}

size_t Win32FolderLength(const char* path) {
    size_t folder = 0;
    for (size_t i = 0; path[i] != '\0'; ++i) {
        if (path[i] == '\\' || path[i] == '/' || path[i] == ':') folder = i + 1;
    }
    return folder;
}


bool MakeParentFolders(const char* path, std::string* firstMade, char* reason,
                       size_t reasonCapacity) {
    if (firstMade != nullptr) firstMade->clear();
    size_t folder = Win32FolderLength(path);
    if (folder == 0) return true;
    const std::string prefix(path, folder);
    std::wstring whole;
    if (!WideName(prefix.c_str(), &whole) || whole.size() >= MAX_PATH) {  // UTF-16 units count
        SetWin32Reason(reason, reasonCapacity, whole.size() >= MAX_PATH ? ERROR_FILENAME_EXCED_RANGE : ERROR_INVALID_NAME);
        return false;
    }
    std::string made;
    DWORD error = ERROR_SUCCESS;
    for (size_t i = 1; i < folder; ++i) {
        // Each folder on the way; "C:" and "\\server" parts simply fail and are passed over.
        // UTF-8 never has a separator byte inside a character, so the bytes can be walked.
        if (prefix[i] != '\\' && prefix[i] != '/') continue;
        const std::string part = prefix.substr(0, i);
        std::wstring wide;
        if (!WideName(part.c_str(), &wide)) {
            error = ERROR_INVALID_NAME;
        } else if (CreateDirectoryW(wide.c_str(), nullptr)) {
            if (made.empty()) made = part;
        } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
            error = GetLastError();
        }
    }
    DWORD attributes = GetFileAttributesUtf8(prefix.c_str());
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
        std::wstring wide;
        if (folder.size() < firstMade.size() || !WideName(folder.c_str(), &wide) ||
            !RemoveDirectoryW(wide.c_str())) {
            return;
        }
        const size_t length = Win32FolderLength(folder.c_str());
        if (length == 0) return;
        folder.erase(length);
    }
}

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

bool FileDisplayName(const char* path, char* out, size_t capacity) {
    std::wstring wide;
    if (capacity == 0 || !WideName(path, &wide)) return false;
    wchar_t title[MAX_PATH];
    std::string shown;
    if (GetFileTitleW(wide.c_str(), title, MAX_PATH) != 0 || !Utf8Name(title, &shown) ||
        shown.size() >= capacity) {
        return false;
    }
    std::memcpy(out, shown.c_str(), shown.size() + 1);
    return true;
}

bool ResolvePathIgnoringCase(char* path) {
    // Windows file names never distinguish case: the name either exists or it does not.
    return GetFileAttributesUtf8(path) != INVALID_FILE_ATTRIBUTES;
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
