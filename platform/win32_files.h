// Helpers the Win32 platform files share.
#pragma once

#include <windows.h>

#include <cstddef>

// The system's words for a Win32 error code into reason (may be null).
void SetWin32Reason(char* reason, size_t capacity, DWORD error);

// Length of the folder part of path, separator included (0 when there is none); DBCS-aware.
size_t Win32FolderLength(const char* path);
