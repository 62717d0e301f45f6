// The few operating-system services the core and the tools need. One implementation per
// platform (win32.cpp, posix.cpp), chosen by the build; nothing else in the core knows which.
#pragma once

#include <cstddef>
#include <cstdint>

enum ReadResult : int32_t {
    kReadOk = 0,
    kReadCannotOpen,  // missing, no access, a folder, an invalid name
    kReadFailed,      // opened, but reading failed
};

// Reads the first bytes of a file, at most capacity of them; *got receives how many.
ReadResult ReadFilePrefix(const char* path, uint8_t* buffer, size_t capacity, size_t* got);

// The Win32 call that failed while writing a file; the viewer names it in its error message.
enum WriteResult : int32_t {
    kWriteOk = 0,
    kWriteCreateFailed,  // "CreateFile": the target is a folder, its folder takes no new file,
                         // or the finished file could not replace it (in use, read-only)
    kWriteWriteFailed,   // "WriteFile": fewer bytes written (disk full, I/O error)
    kWriteAllocFailed,   // "HeapAlloc": no memory for the file image; nothing was touched
};

// Writes a whole file or nothing: the bytes go to a temporary file in the target's folder,
// which replaces the target only when every byte is written. On failure the target is
// untouched and the temporary file is removed. *reason (may be null) receives the system's
// own words for the failure.
WriteResult WriteFileAtomically(const char* path, const void* data, size_t size,
                                char* reason, size_t reasonCapacity);

// Test seam for fault injection: from now on every WriteFileAtomically stops after
// `bytesBeforeFailure` bytes as a full disk would; a negative value turns it off again.
void SetWriteFailureForTesting(int64_t bytesBeforeFailure);

// Name of the Win32 call a write result stands for ("CreateFile", "WriteFile", "HeapAlloc"),
// "" for success.
const char* WriteResultOperation(WriteResult result);

// Creates the folders that path's parent folder needs (like mkdir -p of its folder part).
// True when the parent folder exists afterwards.
bool MakeParentFolders(const char* path);

// True when standard error is a terminal (for progress lines that only a person wants).
bool StandardErrorIsTerminal();

// The name a file is shown by: its last path component (on Windows as the shell shows it,
// without the extension where extensions are hidden). False when it does not fit.
bool FileDisplayName(const char* path, char* out, size_t capacity);

// Where file names distinguish case and path does not exist, looks in its folder for a file
// whose name matches without regard to ASCII case and writes its path into path (same length).
// True when path now names an existing file.
bool ResolvePathIgnoringCase(char* path);
