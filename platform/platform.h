// The few operating-system services the core and the tools need. One implementation per
// platform (win32.cpp, posix.cpp), chosen by the build; nothing else in the core knows which.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum ReadResult : int32_t {
    kReadOk = 0,
    kReadCannotOpen,  // missing, no access, an invalid name
    kReadFailed,      // opened, but reading failed
    kReadNotAFile,    // a folder, a FIFO, a device, a socket: never read (a FIFO would block)
    kReadChanged,     // not the same file (identity, size or time) as when it was first read
};

// Reads the first bytes of a file, at most capacity of them; *got receives how many.
// Only regular files are read (see ReadFileSafely).
ReadResult ReadFilePrefix(const char* path, uint8_t* buffer, size_t capacity, size_t* got);

// What makes a file the same file as the file system sees it. For a file that exists: its
// device and index number (st_dev/st_ino; on Windows volume serial number and file index).
// For a name that does not exist yet: the device and index of its nearest existing folder plus
// the rest of the path below that folder, with "." and ".." taken out ("out/x.png"), compared
// without regard to case where that folder's file system ignores case. Symlinks are followed,
// also a symlink at the end of the path, as a write through it would be.
struct FileIdentity {
    bool exists = false;
    uint64_t device = 0;
    uint64_t index = 0;
    std::string rest;         // below the folder, '/'-separated; empty when exists
    bool ignoreCase = false;  // rest compares ignoring case (always on Windows)
};

// False when path cannot be examined at all (an empty name, a folder without search permission).
bool GetFileIdentity(const char* path, FileIdentity* identity);
bool SameFile(const FileIdentity& a, const FileIdentity& b);

// A regular file as it was when it was read: for reading it again later only if it is still
// the same file (same identity, size and modification time, to the nanosecond where kept).
struct FileVersion {
    FileIdentity identity;
    uint64_t size = 0;
    int64_t modifiedSeconds = 0;
    int64_t modifiedNanoseconds = 0;
};
bool SameFileVersion(const FileVersion& a, const FileVersion& b);

// Reads the first bytes (at most capacity) of a regular file without ever blocking on what is
// not one: the name is opened non-blocking, its kind checked on the open handle, and anything
// but a regular file (folder, FIFO, device, socket) is kReadNotAFile. *version (may be null)
// receives what the file was; when expected is not null and the opened file is not that
// version, nothing is read and the result is kReadChanged. *reason (may be null) receives
// words for a failure ("not a regular file (a FIFO)", the system's text).
ReadResult ReadFileSafely(const char* path, uint8_t* buffer, size_t capacity, size_t* got,
                          FileVersion* version, const FileVersion* expected, char* reason,
                          size_t reasonCapacity);

// Reads standard input (binary), once: until the end of the input or until capacity bytes are
// in, whichever comes first; later bytes are not read (only the first bytes of a picture or
// palette file matter). A terminal, a pipe, a file and a device are all accepted.
ReadResult ReadStandardInput(uint8_t* buffer, size_t capacity, size_t* got, char* reason,
                             size_t reasonCapacity);

// A pipe the shell opened for this process, named by its descriptor: "/dev/fd/63" or
// "/proc/self/fd/63", as bash names "<(command)". ReadFileSafely refuses it (it is not a
// regular file), yet its writer is already there: it can be read once, from its start, as
// standard input is. Windows has no such names: IsDescriptorName is always false there and
// OpenDescriptorPipe opens nothing.
bool IsDescriptorName(const char* path);
struct DescriptorPipe {
    intptr_t handle = 0;  // the open stream
};
// Opens such a name for reading (blocking: the writer is there); false when it cannot.
bool OpenDescriptorPipe(const char* path, DescriptorPipe* pipe);
// Reads until capacity bytes are in or the pipe ends; on a failure *reason (may be null)
// receives the system's words and the result is kReadFailed.
ReadResult ReadDescriptorPipe(DescriptorPipe* pipe, uint8_t* buffer, size_t capacity, size_t* got,
                              char* reason, size_t reasonCapacity);
void CloseDescriptorPipe(DescriptorPipe* pipe);

// The Win32 call that failed while writing a file; the viewer names it in its error message.
enum WriteResult : int32_t {
    kWriteOk = 0,
    kWriteCreateFailed,  // "CreateFile": the target is a folder, its folder takes no new file,
                         // or the finished file could not replace it (in use, read-only)
    kWriteWriteFailed,   // "WriteFile": fewer bytes written (disk full, I/O error)
    kWriteAllocFailed,   // "HeapAlloc": no memory for the file image; nothing was touched
    kWriteNotAFile,      // "CreateFile": the target is a FIFO, a device or a socket; untouched
    kWriteReadOnly,      // "CreateFile": the target has no write permission (and no force)
    kWriteInterrupted,   // "CreateFile": SIGINT/SIGTERM (Ctrl+C) came; nothing was replaced
};

struct WriteOptions {
    // Replace a file without write permission for this user (Windows: the read-only
    // attribute); it keeps its permission bits (and stays read-only).
    bool force = false;
};

// Writes a whole file or nothing: the bytes go to a temporary file (".vr" and 6 random
// characters) in the target's folder, which replaces the target only when every byte is written
// and flushed to the disk. On failure the target is untouched and the temporary file is removed.
// A symlink is written through: its final target is replaced and the link stays. A replaced
// file keeps its permission bits and, where this process may set them, its owner and group. A
// hard-linked target: the name gets the new file, the other links keep the old contents. Never
// replaced: a folder (kWriteCreateFailed) and a FIFO, device or socket (kWriteNotAFile).
// *reason (may be null) receives the system's own words for the failure.
WriteResult WriteFileAtomically(const char* path, const void* data, size_t size,
                                char* reason, size_t reasonCapacity);
WriteResult WriteFileAtomicallyWith(const char* path, const void* data, size_t size,
                                    const WriteOptions& options, char* reason,
                                    size_t reasonCapacity);

// The steps of WriteFileAtomically, for a batch that flushes many files at once:
//   StageFileWrite (temporary file written, not yet flushed, registered for interrupt cleanup)
//   -> FlushStagedWrite for each, or FlushStagedWrites once for all (one syncfs per file system)
//   -> CommitStagedWrite (renamed over the target) or AbortStagedWrite (removed).
// Every staged write must end in Commit or Abort; at most kMaxStagedWrites at a time.
constexpr int32_t kMaxStagedWrites = 64;
struct StagedWrite {
    std::string target;     // the final target (symlinks resolved)
    std::string temporary;  // the temporary file beside it
    intptr_t handle = -1;   // file descriptor / HANDLE of the open temporary file
    int32_t slot = -1;      // its entry in the interrupt-cleanup registry
    bool flushed = false;
    uint32_t attributes = 0;  // Windows: attributes to give the new file after the rename
};
WriteResult StageFileWrite(const char* path, const void* data, size_t size,
                           const WriteOptions& options, StagedWrite* staged, char* reason,
                           size_t reasonCapacity);
WriteResult FlushStagedWrite(StagedWrite* staged, char* reason, size_t reasonCapacity);
WriteResult FlushStagedWrites(StagedWrite* staged, size_t count, char* reason,
                              size_t reasonCapacity);
WriteResult CommitStagedWrite(StagedWrite* staged, char* reason, size_t reasonCapacity);
void AbortStagedWrite(StagedWrite* staged);

// Name of the Win32 call a write result stands for ("CreateFile", "WriteFile", "HeapAlloc"),
// "" for success.
const char* WriteResultOperation(WriteResult result);

// Interrupts (SIGINT, SIGTERM, SIGHUP, SIGQUIT; on Windows Ctrl+C, Ctrl+Break and closing the
// console). Once
// installed, the first interrupt removes every temporary file being written at that moment and
// records the signal; the program goes on and should stop at its next check of
// InterruptSignal(). A staged write then fails as kWriteInterrupted and replaces nothing. A
// second interrupt ends the process at once, as the signal would by default. Installing also
// ignores SIGPIPE, so that a closed pipe is an error WriteStandardOutput reports.
// A batch tool uses it thus: install once at start; before each picture, stop when
// InterruptSignal() != 0; a write that returns kWriteInterrupted is not a failure to report
// but the end; abort what is still staged, print how many pictures were converted, and exit
// with 128 + InterruptSignal() (130 for SIGINT, 143 for SIGTERM, 129 for SIGHUP, 131 for SIGQUIT).
void InstallInterruptCleanup();
// 0 while no interrupt came, else its signal number (SIGINT 2, SIGTERM 15); the conventional
// exit status is then 128 + it.
int32_t InterruptSignal();
// Temporary files registered right now (the tests check that none is left behind).
int32_t PendingTemporaryFiles();

// Writes all bytes to standard output (binary on Windows), after what stdio holds; false with
// *reason for a short write (EPIPE for a closed pipe, ENOSPC for /dev/full).
bool WriteStandardOutput(const void* data, size_t size, char* reason, size_t reasonCapacity);
// The same for standard error, after what stdio holds of it (binary on Windows).
bool WriteStandardError(const void* data, size_t size, char* reason, size_t reasonCapacity);
// Flushes stdio's standard output; false with *reason when any of it could not be written.
bool FinishStandardOutput(char* reason, size_t reasonCapacity);

// True when c separates the folders of a path: "/" everywhere, "\" too on Windows (on POSIX a
// backslash is an ordinary character of a file name).
bool IsPathSeparator(char c);

// True when path names a folder by its form: it ends in a separator ("sub/"; also "\" on
// Windows) or in "." or "..". Such a name is never a file to write, and its folder must not be
// made for one.
bool IsFolderName(const char* path);

// Creates the folders that path's parent folder needs (like mkdir -p of its folder part).
// True when the parent folder exists afterwards. *firstMade (may be null) receives the
// outermost folder this call created ("" when it created none): every folder it made is that
// one or below it, on the way to path. On failure the folders it made are removed again and
// *reason (may be null) receives the system's words.
bool MakeParentFolders(const char* path, std::string* firstMade = nullptr, char* reason = nullptr,
                       size_t reasonCapacity = 0);

// Removes, deepest first, the folders on the way to path from firstMade down (what
// MakeParentFolders reported making), as far as they are empty: a write that failed leaves no
// folder made for it behind. Nothing when firstMade is "".
void RemoveMadeFolders(const char* path, const std::string& firstMade);

// True when standard error is a terminal (for progress lines that only a person wants).
bool StandardErrorIsTerminal();

// Every name these functions take or give is UTF-8; on Windows it reaches the system as UTF-16
// through the W functions, and a name whose bytes are not UTF-8 is refused (ERROR_INVALID_NAME)
// rather than guessed at. On POSIX names are bytes, passed on as they are.

// The name a file is shown by: its last path component (on Windows as the shell shows it,
// without the extension where extensions are hidden). False when it does not fit.
bool FileDisplayName(const char* path, char* out, size_t capacity);

// Where file names distinguish case and path does not exist, looks in its folder for a file
// whose name matches without regard to ASCII case and writes its path into path (same length).
// True when path now names an existing file.
bool ResolvePathIgnoringCase(char* path);

#ifdef _WIN32
// The program's command line as UTF-8 words, program name first (from GetCommandLineW, split by
// CommandLineToArgvW): the C runtime's argv is in the ANSI code page and holds "?" or a
// look-alike for every character outside it. False when a word holds an unpaired surrogate.
bool Utf8CommandLine(std::vector<std::string>* arguments);
#endif
