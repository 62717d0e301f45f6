// Helpers the Win32 platform files share. Names are UTF-8 inside the program and UTF-16 at the
// Windows calls: every file function here is the "W" one, so that a name reaches exactly the
// file it names on any system code page.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// The system's words for a Win32 error code into reason (may be null), as UTF-8.
void SetWin32Reason(char* reason, size_t capacity, DWORD error);

// Length of the folder part of path, separator included (0 when there is none). UTF-8 never
// has "\" or "/" inside a multi-byte character, so the bytes are walked as they are.
size_t Win32FolderLength(const char* path);

// The UTF-16 form of a UTF-8 name for the W functions. False, with the last error set to
// ERROR_INVALID_NAME, when the bytes are not UTF-8: such a name is refused, never guessed at.
bool WideName(const char* path, std::wstring* wide);

// The UTF-8 form of a name Windows gave; false for an unpaired surrogate.
bool Utf8Name(const wchar_t* wide, std::string* path);

// The W file functions for a UTF-8 name; an invalid name fails as the call would for a name it
// cannot use (INVALID_HANDLE_VALUE, INVALID_FILE_ATTRIBUTES, FALSE; ERROR_INVALID_NAME).
HANDLE CreateFileUtf8(const char* path, DWORD access, DWORD share, DWORD disposition,
                      DWORD flags);
DWORD GetFileAttributesUtf8(const char* path);
BOOL SetFileAttributesUtf8(const char* path, DWORD attributes);
BOOL DeleteFileUtf8(const char* path);
