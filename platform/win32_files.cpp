// Win32 safe reading and writing: only disk files are read or replaced, whole-file writes go
// through a temporary file that Ctrl+C and closing the console clean up, file identity by volume
// serial number and file index. UTF-8 names, through the W functions (win32_files.h).
#include <windows.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/staging.h"
#include "platform/temporaries.h"
#include "platform/testing.h"
#include "platform/win32_files.h"

namespace {

void SetReason(char* reason, size_t capacity, const char* text) {
    if (reason != nullptr && capacity > 0) std::snprintf(reason, capacity, "%s", text);
}

const char* NotAFileReason(DWORD type) {
    switch (type) {
        case FILE_TYPE_CHAR:
            return "not a regular file (a character device)";
        case FILE_TYPE_PIPE:
            return "not a regular file (a pipe)";
        default:
            return "not a regular file";
    }
}

// The console control handler runs on a thread of its own. Temporary files are opened with
// FILE_SHARE_DELETE so that it can delete them while they are still open.
std::atomic<int> interruptSignal{0};
int64_t writeFailureAfter = -1;  // the test seam: bytes a write may still take, -1 = off

void Delete(const char* path) { DeleteFileUtf8(path); }

void RemoveRegisteredTemporaries() { RemoveTemporaries(Delete); }

// Ctrl+C counts as SIGINT, Ctrl+Break and closing the console (or logging off, shutting down)
// as SIGTERM, so that the tools end with the same status everywhere. The flag is set before the
// files are removed: a temporary file made after the removal sees it and removes itself.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    bool second = interruptSignal.load() != 0;
    interruptSignal.store(event == CTRL_C_EVENT ? SIGINT : SIGTERM);
    RemoveRegisteredTemporaries();
    // A second Ctrl+C or Ctrl+Break goes on to the default handler, which ends the process. For
    // closing the console the system ends the process once this returns anyway.
    if (second && (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)) return FALSE;
    return TRUE;
}

bool WriteAll(HANDLE file, const uint8_t* data, size_t size, DWORD* error) {
    while (size > 0) {
        DWORD request = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        SetLastError(ERROR_SUCCESS);
        if (!WriteFile(file, data, request, &written, nullptr) || written == 0) {
            *error = GetLastError() == ERROR_SUCCESS ? ERROR_DISK_FULL : GetLastError();
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// What kind of thing the name is, looked at without reading it: kind receives FILE_TYPE_DISK
// for a file, another FILE_TYPE_* for a device or pipe ("NUL", "COM1", "\\.\pipe\x").
// False when it does not exist (or cannot be opened even to look at).
bool OpenForLooking(const char* path, HANDLE* file) {
    *file = CreateFileUtf8(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    return *file != INVALID_HANDLE_VALUE;
}

// The identity of an open handle.
void FillIdentity(const BY_HANDLE_FILE_INFORMATION& info, FileIdentity* identity) {
    identity->device = info.dwVolumeSerialNumber;
    identity->index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

// Name with an eventual symlink (or junction) at its end followed to the file it stands for, as
// the rename must replace that file and not the link.
std::string FinalName(const char* path) {
    DWORD attributes = GetFileAttributesUtf8(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return path;
    HANDLE file;
    if (!OpenForLooking(path, &file)) return path;
    wchar_t final[MAX_PATH + 8];
    DWORD n = GetFinalPathNameByHandleW(file, final, MAX_PATH + 8, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(file);
    std::string name;
    if (n == 0 || n >= MAX_PATH + 8 || !Utf8Name(final, &name)) return path;
    // "\\?\C:\folder\file": the plain form, as the other names of this program are.
    return name.compare(0, 4, "\\\\?\\") == 0 && name.size() > 5 && name[5] == ':' ? name.substr(4) : name;
}

}  // namespace

// ---- The platform's steps of a staged write (platform/staging.h) ----

void NameSuffix(char* out) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    RandomSuffix(static_cast<uint64_t>(now.QuadPart) ^ (static_cast<uint64_t>(GetCurrentProcessId()) << 40),
                 out);
}

TemporaryOpen OpenNewTemporary(const char* path, intptr_t* handle, char* reason,
                               size_t reasonCapacity) {
    HANDLE file = CreateFileUtf8(path, GENERIC_WRITE, FILE_SHARE_DELETE, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN);
    if (file != INVALID_HANDLE_VALUE) {
        *handle = reinterpret_cast<intptr_t>(file);
        return kTemporaryOpened;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return kTemporaryExists;
    SetWin32Reason(reason, reasonCapacity, error);
    return kTemporaryFailed;
}

void SetNoSlotReason(const std::string& temporary, char* reason, size_t reasonCapacity) {
    if (temporary.size() >= MAX_PATH) {
        SetWin32Reason(reason, reasonCapacity, ERROR_FILENAME_EXCED_RANGE);
    } else {
        SetReason(reason, reasonCapacity, "too many files being written at once");
    }
}

void SetExistsReason(char* reason, size_t reasonCapacity) {
    SetWin32Reason(reason, reasonCapacity, ERROR_FILE_EXISTS);
}

// A failure to close a file handle loses no data that FlushFileBuffers did not already report.
WriteResult CloseTemporaryHandle(StagedWrite* staged, char*, size_t) {
    if (staged->handle != -1) CloseHandle(reinterpret_cast<HANDLE>(staged->handle));
    staged->handle = -1;
    return kWriteOk;
}

void RemoveTemporaryFile(const char* path) { DeleteFileUtf8(path); }

WriteResult ReplaceTarget(StagedWrite* staged, char* reason, size_t reasonCapacity) {
    // MoveFileEx does not replace a read-only file: the attribute is taken off for the move and
    // given back to the new file (or to the old one, should the move fail).
    const char* target = staged->target.c_str();
    const bool unlocked = (staged->attributes & FILE_ATTRIBUTE_READONLY) &&
                          SetFileAttributesUtf8(target, staged->attributes & ~FILE_ATTRIBUTE_READONLY);
    std::wstring from;
    std::wstring to;
    if (interruptSignal.load() == 0 && WideName(staged->temporary.c_str(), &from) &&
        WideName(target, &to) &&
        MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        if (staged->attributes != 0) SetFileAttributesUtf8(target, staged->attributes);
        return kWriteOk;
    }
    const DWORD error = GetLastError();
    if (unlocked) SetFileAttributesUtf8(target, staged->attributes);
    if (interruptSignal.load() != 0) {
        SetReason(reason, reasonCapacity, "interrupted");
        return kWriteInterrupted;
    }
    SetWin32Reason(reason, reasonCapacity, error);
    return kWriteCreateFailed;
}

void SetWriteFailureForTesting(int64_t bytesBeforeFailure) { writeFailureAfter = bytesBeforeFailure; }

// ---- File identity ----

bool GetFileIdentity(const char* path, FileIdentity* identity) {
    *identity = FileIdentity{};
    if (path == nullptr || path[0] == '\0') return false;
    HANDLE file;
    if (OpenForLooking(path, &file)) {
        BY_HANDLE_FILE_INFORMATION info;
        bool ok = GetFileInformationByHandle(file, &info) != 0;
        CloseHandle(file);
        if (!ok) return false;
        identity->exists = true;
        FillIdentity(info, identity);
        return true;
    }
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return false;
    // Not there (yet): the nearest existing folder and the rest of the name below it.
    std::string folder = path;
    std::string rest;
    for (;;) {
        size_t length = Win32FolderLength(folder.c_str());
        std::string last = folder.substr(length);
        rest = rest.empty() ? last : last + "/" + rest;
        while (length > 1 && (folder[length - 1] == '\\' || folder[length - 1] == '/') &&
               folder[length - 2] != ':' && (length > 2 || folder[0] != '\\')) {
            --length;  // "a\b" -> "a", but "C:\" and "\" stay roots
        }
        folder = length == 0 ? std::string(".") : folder.substr(0, length);
        if (OpenForLooking(folder.c_str(), &file)) break;
        if (length == 0 || last.empty()) return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    bool ok = GetFileInformationByHandle(file, &info) != 0 && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    CloseHandle(file);
    if (!ok) return false;
    FillIdentity(info, identity);
    // "." and ".." below an existing folder are text: nothing there can be a link yet.
    std::string tidy;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find_first_of("/\\", start);
        if (end == std::string::npos) end = rest.size();
        std::string part = rest.substr(start, end - start);
        bool above = tidy.empty() || tidy == ".." ||
                     (tidy.size() > 3 && tidy.compare(tidy.size() - 3, 3, "/..") == 0);
        if (part == ".." && above) {
            tidy += tidy.empty() ? ".." : "/..";
        } else if (part == "..") {
            size_t cut = tidy.rfind('/');
            tidy.erase(cut == std::string::npos ? 0 : cut);
        } else if (!part.empty() && part != ".") {
            tidy += tidy.empty() ? part : "/" + part;
        }
        start = end + 1;
    }
    identity->rest = tidy;
    identity->ignoreCase = true;  // Windows names never distinguish case
    return true;
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    if (a.exists != b.exists || a.device != b.device || a.index != b.index) return false;
    if (a.exists) return true;
    // As NTFS compares names: each character by its upper case.
    std::wstring upperA;
    std::wstring upperB;
    if (!WideName(a.rest.c_str(), &upperA) || !WideName(b.rest.c_str(), &upperB)) return a.rest == b.rest;
    if (!upperA.empty()) CharUpperBuffW(&upperA[0], static_cast<DWORD>(upperA.size()));
    if (!upperB.empty()) CharUpperBuffW(&upperB[0], static_cast<DWORD>(upperB.size()));
    return upperA == upperB;
}

// ---- Reading ----

ReadResult ReadFileSafely(const char* path, uint8_t* buffer, size_t capacity, size_t* got,
                          FileVersion* version, const FileVersion* expected, char* reason,
                          size_t reasonCapacity) {
    *got = 0;
    DWORD attributes = GetFileAttributesUtf8(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetReason(reason, reasonCapacity, "not a regular file (a folder)");
        return kReadNotAFile;
    }
    HANDLE file = CreateFileUtf8(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN);
    if (file == INVALID_HANDLE_VALUE) {
        SetWin32Reason(reason, reasonCapacity, GetLastError());
        return kReadCannotOpen;
    }
    DWORD type = GetFileType(file);
    BY_HANDLE_FILE_INFORMATION info;
    if (type != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetReason(reason, reasonCapacity, NotAFileReason(type));
        CloseHandle(file);
        return kReadNotAFile;
    }
    FileVersion opened;
    opened.identity.exists = true;
    FillIdentity(info, &opened.identity);
    opened.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    uint64_t ticks = (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                     info.ftLastWriteTime.dwLowDateTime;  // 100 ns since 1601
    opened.modifiedSeconds = static_cast<int64_t>(ticks / 10000000u);
    opened.modifiedNanoseconds = static_cast<int64_t>(ticks % 10000000u) * 100;
    if (version != nullptr) *version = opened;
    if (expected != nullptr && !SameFileVersion(opened, *expected)) {
        SetReason(reason, reasonCapacity, "the file changed since it was first read");
        CloseHandle(file);
        return kReadChanged;
    }
    size_t total = 0;
    while (total < capacity) {
        DWORD n = 0;
        DWORD want = capacity - total > 0x40000000u ? 0x40000000u : static_cast<DWORD>(capacity - total);
        if (!ReadFile(file, buffer + total, want, &n, nullptr)) {
            SetWin32Reason(reason, reasonCapacity, GetLastError());
            CloseHandle(file);
            *got = total;
            return kReadFailed;
        }
        if (n == 0) break;
        total += n;
    }
    CloseHandle(file);
    *got = total;
    return kReadOk;
}

ReadResult ReadFilePrefix(const char* path, uint8_t* buffer, size_t capacity, size_t* got) {
    return ReadFileSafely(path, buffer, capacity, got, nullptr, nullptr, nullptr, 0);
}

ReadResult ReadStandardInput(uint8_t* buffer, size_t capacity, size_t* got, char* reason,
                             size_t reasonCapacity) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    size_t total = 0;
    while (total < capacity) {
        DWORD n = 0;
        DWORD want = capacity - total > 0x40000000u ? 0x40000000u : static_cast<DWORD>(capacity - total);
        if (!ReadFile(input, buffer + total, want, &n, nullptr)) {
            DWORD error = GetLastError();
            if (error == ERROR_BROKEN_PIPE) break;  // the writing end closed: the end of input
            SetWin32Reason(reason, reasonCapacity, error);
            *got = total;
            return kReadFailed;
        }
        if (n == 0) break;
        total += n;
    }
    *got = total;
    return kReadOk;
}

// ---- Writing ----

WriteResult StageFileWrite(const char* path, const void* data, size_t size,
                           const WriteOptions& options, StagedWrite* staged, char* reason,
                           size_t reasonCapacity) {
    *staged = StagedWrite{};
    std::wstring wide;
    if (!WideName(path, &wide)) {  // not UTF-8: no file of this program's making has that name
        SetWin32Reason(reason, reasonCapacity, ERROR_INVALID_NAME);
        return kWriteCreateFailed;
    }
    if (IsFolderName(path)) {
        SetWin32Reason(reason, reasonCapacity, ERROR_ACCESS_DENIED);
        return kWriteCreateFailed;
    }
    staged->target = FinalName(path);
    DWORD attributes = GetFileAttributesUtf8(staged->target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetWin32Reason(reason, reasonCapacity, ERROR_ACCESS_DENIED);
        return kWriteCreateFailed;
    }
    // A device ("NUL", "COM1", "LPT1", also as "folder\nul.png") or a pipe is never replaced.
    HANDLE looked;
    if (OpenForLooking(staged->target.c_str(), &looked)) {
        DWORD type = GetFileType(looked);
        CloseHandle(looked);
        if (type != FILE_TYPE_DISK) {
            SetReason(reason, reasonCapacity, NotAFileReason(type));
            return kWriteNotAFile;
        }
    }
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_READONLY) && !options.force) {
            SetReason(reason, reasonCapacity, "the file is read-only");
            return kWriteReadOnly;
        }
        // What the new file takes over from the one it replaces.
        staged->attributes = attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    }
    // A short temporary name in the target's folder, so that MoveFileEx only renames it.
    const WriteResult created = CreateTemporaryBeside(
        staged->target.substr(0, Win32FolderLength(staged->target.c_str())), staged, reason,
        reasonCapacity);
    if (created != kWriteOk) return created;
    HANDLE file = reinterpret_cast<HANDLE>(staged->handle);
    if (interruptSignal.load() != 0) {
        AbortStagedWrite(staged);
        SetReason(reason, reasonCapacity, "interrupted");
        return kWriteInterrupted;
    }
    // The test seam: a full disk takes only part.
    bool full = writeFailureAfter >= 0 && size > static_cast<uint64_t>(writeFailureAfter);
    DWORD error = ERROR_DISK_FULL;
    if (!WriteAll(file, static_cast<const uint8_t*>(data), full ? static_cast<size_t>(writeFailureAfter) : size,
                  &error) ||
        full) {
        SetWin32Reason(reason, reasonCapacity, error);
        AbortStagedWrite(staged);
        return kWriteWriteFailed;
    }
    return kWriteOk;
}

WriteResult FlushStagedWrite(StagedWrite* staged, char* reason, size_t reasonCapacity) {
    if (staged->flushed) return kWriteOk;
    if (!FlushFileBuffers(reinterpret_cast<HANDLE>(staged->handle))) {
        SetWin32Reason(reason, reasonCapacity, GetLastError());
        return kWriteWriteFailed;
    }
    staged->flushed = true;
    return kWriteOk;
}

// Windows has no flush of a whole volume for a normal user: each file is flushed.
WriteResult FlushStagedWrites(StagedWrite* staged, size_t count, char* reason, size_t reasonCapacity) {
    for (size_t i = 0; i < count; ++i) {
        WriteResult result = FlushStagedWrite(&staged[i], reason, reasonCapacity);
        if (result != kWriteOk) return result;
    }
    return kWriteOk;
}

// ---- Interrupts ----

void InstallInterruptCleanup() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

int32_t InterruptSignal() { return interruptSignal.load(); }

int32_t PendingTemporaryFiles() { return RegisteredTemporaries(); }

void SimulateInterruptForTesting(int32_t signal) {
    interruptSignal.store(signal);
    if (signal != 0) RemoveRegisteredTemporaries();
}

// ---- Standard output ----

bool WriteStandardOutput(const void* data, size_t size, char* reason, size_t reasonCapacity) {
    if (!FinishStandardOutput(reason, reasonCapacity)) return false;
    // WriteFile on the handle: binary, whatever mode the C runtime gave stdout.
    DWORD error = ERROR_SUCCESS;
    if (!WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), static_cast<const uint8_t*>(data), size, &error)) {
        SetWin32Reason(reason, reasonCapacity, error);
        return false;
    }
    return true;
}

bool WriteStandardError(const void* data, size_t size, char* reason, size_t reasonCapacity) {
    std::fflush(stderr);
    DWORD error = ERROR_SUCCESS;
    if (!WriteAll(GetStdHandle(STD_ERROR_HANDLE), static_cast<const uint8_t*>(data), size, &error)) {
        SetWin32Reason(reason, reasonCapacity, error);
        return false;
    }
    return true;
}

bool FinishStandardOutput(char* reason, size_t reasonCapacity) {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        SetReason(reason, reasonCapacity, std::strerror(errno != 0 ? errno : EIO));
        return false;
    }
    return true;
}

bool IsFolderName(const char* path) {
    size_t length = std::strlen(path);
    if (length == 0) return false;
    size_t folder = Win32FolderLength(path);
    if (folder == length) return true;  // "sub\", "sub/", "C:"
    const char* last = path + folder;
    return std::strcmp(last, ".") == 0 || std::strcmp(last, "..") == 0;
}
