// POSIX safe reading and writing: inputs opened without blocking and read only when they are
// regular files, whole-file writes through a temporary file that interrupts clean up, file
// identity by device and inode.
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/platform.h"
#include "platform/staging.h"
#include "platform/temporaries.h"
#include "platform/testing.h"

namespace {

void SetReason(char* reason, size_t capacity, const char* text) {
    if (reason != nullptr && capacity > 0) std::snprintf(reason, capacity, "%s", text);
}

void SetErrno(char* reason, size_t capacity, int error) {
    SetReason(reason, capacity, std::strerror(error));
}

// The words for a file that is not a regular file, by its kind.
const char* NotAFileReason(mode_t mode) {
    if (S_ISDIR(mode)) return std::strerror(EISDIR);
    if (S_ISFIFO(mode)) return "not a regular file (a FIFO)";
    if (S_ISCHR(mode)) return "not a regular file (a character device)";
    if (S_ISBLK(mode)) return "not a regular file (a block device)";
    if (S_ISSOCK(mode)) return "not a regular file (a socket)";
    return "not a regular file";
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Written by the signal handler, read by every thread that writes files (a batch stages files
// on several): an atomic, lock-free so that the handler may touch it (volatile sig_atomic_t is
// safe for the handler's own thread only).
std::atomic<int> interruptSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may only use lock-free atomics");
int64_t writeFailureAfter = -1;  // the test seam: bytes a write may still take, -1 = off

// unlink() is async-signal-safe.
void Unlink(const char* path) { unlink(path); }

void RemoveRegisteredTemporaries() { RemoveTemporaries(Unlink); }

// The flag is set before the files are removed: a temporary file another thread creates after
// the removal sees the flag and removes itself.
void OnInterrupt(int signal) {
    int saved = errno;
    bool second = interruptSignal != 0;
    interruptSignal = signal;
    RemoveRegisteredTemporaries();
    if (second) {
        // The program did not stop in time: end it as the signal would have.
        std::signal(signal, SIG_DFL);
        raise(signal);  // delivered when this handler returns
    }
    errno = saved;
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) {  // a non-blocking standard output
                pollfd p{fd, POLLOUT, 0};
                poll(&p, 1, -1);
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A symlink in a process's descriptor folder (/proc/PID/fd, which /dev/fd, /dev/stdout and
// /dev/stderr lead to): it points at whatever the descriptor has open, such as the file a
// stream was redirected to (">> log.txt"), or at "pipe:[N]". Followed as a name to write, the
// rename would replace that file instead of writing to the stream.
bool IsDescriptorLink(const std::string& name) {
    std::string folder = FolderOf(name);
    char real[PATH_MAX];
    if (realpath(folder.empty() ? "." : folder.c_str(), real) == nullptr) return false;
    const char* rest = std::strncmp(real, "/proc/", 6) == 0 ? real + 6 : nullptr;
    if (rest == nullptr) return false;
    const char* slash = std::strchr(rest, '/');
    return slash != nullptr && slash > rest && std::strcmp(slash, "/fd") == 0;
}

// Follows symlinks at the end of path (as open() would) to the name that is no symlink: the
// file itself, or the name a write would create. False with errno when that name cannot be
// examined (ENOENT is no failure: *st then has st_mode 0). *throughDescriptor (may be null) is
// set when a link on the way is an open descriptor's (IsDescriptorLink).
bool ResolveFinalName(const char* path, std::string* final, struct stat* st,
                      bool* throughDescriptor = nullptr) {
    std::string name = path;
    for (int hops = 0; hops < 40; ++hops) {
        if (lstat(name.c_str(), st) != 0) {
            if (errno != ENOENT) return false;
            st->st_mode = 0;
            *final = name;
            return true;
        }
        if (!S_ISLNK(st->st_mode)) {
            *final = name;
            return true;
        }
        if (throughDescriptor != nullptr && IsDescriptorLink(name)) *throughDescriptor = true;
        char link[PATH_MAX];
        ssize_t n = readlink(name.c_str(), link, sizeof link - 1);
        if (n < 0) return false;
        link[n] = '\0';
        name = link[0] == '/' ? std::string(link) : FolderOf(name) + link;
    }
    errno = ELOOP;
    return false;
}

// As Windows refuses a read-only file: write permission for this user, by the permission bits
// alone for root (who may write anything), else as the kernel would decide (groups, ACLs). A
// read-only file system is not the file's own protection: the write reports it itself.
bool MayReplace(const std::string& file, const struct stat& st) {
    if (geteuid() == 0) return (st.st_mode & 0222) != 0;
    return faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) == 0 || errno != EACCES;
}

// Whether names in folder compare without regard to case: ext4/f2fs folders with the casefold
// flag, and FAT, exFAT and NTFS (ntfs3) file systems. An NTFS mounted through FUSE (ntfs-3g)
// cannot be told from other FUSE file systems and counts as case-sensitive.
bool FolderIgnoresCase(const char* folder) {
#ifdef __linux__
    struct statfs fs;
    if (statfs(folder, &fs) == 0) {
        switch (static_cast<unsigned long>(fs.f_type)) {
            case 0x4d44:      // MSDOS_SUPER_MAGIC (vfat)
            case 0x2011BAB0:  // exFAT
            case 0x7366746e:  // ntfs3
                return true;
            default:
                break;
        }
    }
    int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    int flags = 0;
    bool casefold = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & 0x40000000) != 0;  // FS_CASEFOLD_FL
    close(fd);
    return casefold;
#else
    (void)folder;
    return false;
#endif
}

void FillVersion(const struct stat& st, FileVersion* version) {
    version->identity = FileIdentity{};
    version->identity.exists = true;
    version->identity.device = static_cast<uint64_t>(st.st_dev);
    version->identity.index = static_cast<uint64_t>(st.st_ino);
    version->size = static_cast<uint64_t>(st.st_size);
    version->modifiedSeconds = static_cast<int64_t>(st.st_mtim.tv_sec);
    version->modifiedNanoseconds = static_cast<int64_t>(st.st_mtim.tv_nsec);
}

ReadResult ReadAll(int fd, uint8_t* buffer, size_t capacity, size_t* got, bool stopOnInterrupt) {
    size_t total = 0;
    while (total < capacity) {
        ssize_t n = read(fd, buffer + total, capacity - total);
        if (n < 0) {
            if (errno == EINTR && !(stopOnInterrupt && interruptSignal != 0)) continue;
            if (errno == EAGAIN) {  // standard input left non-blocking by another program
                pollfd p{fd, POLLIN, 0};
                poll(&p, 1, -1);
                continue;
            }
            *got = total;
            return kReadFailed;
        }
        if (n == 0) break;
        total += static_cast<size_t>(n);
    }
    *got = total;
    return kReadOk;
}

}  // namespace

// ---- The platform's steps of a staged write (platform/staging.h) ----

void NameSuffix(char* out) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    RandomSuffix((static_cast<uint64_t>(now.tv_nsec) << 20) ^ static_cast<uint64_t>(now.tv_sec) ^
                     (static_cast<uint64_t>(getpid()) << 40),
                 out);
}

TemporaryOpen OpenNewTemporary(const char* path, intptr_t* handle, char* reason,
                               size_t reasonCapacity) {
    // 0666 less the umask: the mode a new file gets, before any byte is in it.
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
        *handle = fd;
        return kTemporaryOpened;
    }
    if (errno == EEXIST) return kTemporaryExists;
    SetErrno(reason, reasonCapacity, errno);
    return kTemporaryFailed;
}

void SetNoSlotReason(const std::string& temporary, char* reason, size_t reasonCapacity) {
    SetReason(reason, reasonCapacity,
              temporary.size() >= PATH_MAX ? std::strerror(ENAMETOOLONG)
                                           : "too many files being written at once");
}

void SetExistsReason(char* reason, size_t reasonCapacity) { SetErrno(reason, reasonCapacity, EEXIST); }

WriteResult CloseTemporaryHandle(StagedWrite* staged, char* reason, size_t reasonCapacity) {
    if (staged->handle < 0) return kWriteOk;
    const int error = close(static_cast<int>(staged->handle)) == 0 ? 0 : errno;
    staged->handle = -1;
    if (error == 0) return kWriteOk;
    SetErrno(reason, reasonCapacity, error);
    return kWriteWriteFailed;
}

void RemoveTemporaryFile(const char* path) { unlink(path); }

WriteResult ReplaceTarget(StagedWrite* staged, char* reason, size_t reasonCapacity) {
    // The target may have become something else since it was staged (a batch flushes later).
    struct stat st;
    if (lstat(staged->target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        SetReason(reason, reasonCapacity, NotAFileReason(st.st_mode));
        return S_ISDIR(st.st_mode) ? kWriteCreateFailed : kWriteNotAFile;
    }
    if (interruptSignal == 0 && rename(staged->temporary.c_str(), staged->target.c_str()) == 0) {
        return kWriteOk;
    }
    // An interrupt before the rename (its handler may already have removed the temporary file).
    const int error = errno;
    if (interruptSignal != 0) {
        SetReason(reason, reasonCapacity, "interrupted");
        return kWriteInterrupted;
    }
    SetErrno(reason, reasonCapacity, error);
    return kWriteCreateFailed;
}

void SetWriteFailureForTesting(int64_t bytesBeforeFailure) { writeFailureAfter = bytesBeforeFailure; }

// ---- File identity ----

bool GetFileIdentity(const char* path, FileIdentity* identity) {
    *identity = FileIdentity{};
    if (path == nullptr || path[0] == '\0') return false;
    struct stat st;
    if (stat(path, &st) == 0) {
        identity->exists = true;
        identity->device = static_cast<uint64_t>(st.st_dev);
        identity->index = static_cast<uint64_t>(st.st_ino);
        return true;
    }
    if (errno != ENOENT) return false;
    // Not there (yet): a dangling symlink names its target; then the nearest existing folder.
    std::string name;
    if (!ResolveFinalName(path, &name, &st)) return false;
    std::string folder = name;
    std::string rest;
    for (;;) {
        size_t slash = folder.find_last_of('/');
        while (slash != std::string::npos && slash > 0 && folder[slash - 1] == '/') --slash;
        std::string last = slash == std::string::npos ? folder : folder.substr(slash + 1);
        rest = rest.empty() ? last : last + "/" + rest;
        if (slash == std::string::npos) {
            folder = ".";
        } else {
            folder.erase(slash == 0 ? 1 : slash);
        }
        if (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) break;
        if (folder == "." || folder == "/") return false;
    }
    // The part below an existing folder holds no symlink, so "." and ".." can be taken out as
    // text, as the folders made for it will behave.
    std::string tidy;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find('/', start);
        if (end == std::string::npos) end = rest.size();
        std::string part = rest.substr(start, end - start);
        bool above = tidy.empty() || tidy == ".." ||
                     (tidy.size() > 3 && tidy.compare(tidy.size() - 3, 3, "/..") == 0);
        if (part == ".." && above) {
            tidy += tidy.empty() ? ".." : "/..";  // above the folder: kept as it is
        } else if (part == "..") {
            size_t cut = tidy.rfind('/');
            tidy.erase(cut == std::string::npos ? 0 : cut);
        } else if (!part.empty() && part != ".") {
            tidy += tidy.empty() ? part : "/" + part;
        }
        start = end + 1;
    }
    identity->device = static_cast<uint64_t>(st.st_dev);
    identity->index = static_cast<uint64_t>(st.st_ino);
    identity->rest = tidy;
    identity->ignoreCase = FolderIgnoresCase(folder.c_str());
    return true;
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    if (a.exists != b.exists || a.device != b.device || a.index != b.index) return false;
    if (a.exists) return true;
    if (a.rest.size() != b.rest.size()) return false;
    if (!a.ignoreCase && !b.ignoreCase) return a.rest == b.rest;
    for (size_t i = 0; i < a.rest.size(); ++i) {
        char x = a.rest[i], y = b.rest[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

// ---- Reading ----

ReadResult ReadFileSafely(const char* path, uint8_t* buffer, size_t capacity, size_t* got,
                          FileVersion* version, const FileVersion* expected, char* reason,
                          size_t reasonCapacity) {
    *got = 0;
    // O_NONBLOCK: opening a FIFO without a writer would wait forever, a device might too.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        SetErrno(reason, reasonCapacity, errno);
        return kReadCannotOpen;
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        SetErrno(reason, reasonCapacity, errno);
        close(fd);
        return kReadFailed;
    }
    if (!S_ISREG(st.st_mode)) {
        SetReason(reason, reasonCapacity, NotAFileReason(st.st_mode));
        close(fd);
        return kReadNotAFile;
    }
    FileVersion opened;
    FillVersion(st, &opened);
    if (version != nullptr) *version = opened;
    if (expected != nullptr && !SameFileVersion(opened, *expected)) {
        SetReason(reason, reasonCapacity, "the file changed since it was first read");
        close(fd);
        return kReadChanged;
    }
    // A regular file: O_NONBLOCK has no effect on its reads, so it may stay set, and it is read
    // in one or two calls, so no read-ahead hint is needed either (two system calls fewer for
    // each picture of a batch).
    ReadResult result = ReadAll(fd, buffer, capacity, got, false);
    if (result != kReadOk) SetErrno(reason, reasonCapacity, errno);
    close(fd);
    return result;
}

ReadResult ReadFilePrefix(const char* path, uint8_t* buffer, size_t capacity, size_t* got) {
    return ReadFileSafely(path, buffer, capacity, got, nullptr, nullptr, nullptr, 0);
}

ReadResult ReadStandardInput(uint8_t* buffer, size_t capacity, size_t* got, char* reason,
                             size_t reasonCapacity) {
    ReadResult result = ReadAll(STDIN_FILENO, buffer, capacity, got, true);
    if (result != kReadOk) SetErrno(reason, reasonCapacity, errno);
    return result;
}

// ---- Writing ----

WriteResult StageFileWrite(const char* path, const void* data, size_t size,
                           const WriteOptions& options, StagedWrite* staged, char* reason,
                           size_t reasonCapacity) {
    *staged = StagedWrite{};
    if (IsFolderName(path)) {
        SetErrno(reason, reasonCapacity, EISDIR);
        return kWriteCreateFailed;
    }
    struct stat st;
    bool throughDescriptor = false;
    if (!ResolveFinalName(path, &staged->target, &st, &throughDescriptor)) {
        SetErrno(reason, reasonCapacity, errno);
        return kWriteCreateFailed;
    }
    if (throughDescriptor) {
        SetReason(reason, reasonCapacity, "not a regular file (an open stream of this process)");
        return kWriteNotAFile;
    }
    bool replacing = st.st_mode != 0;
    if (replacing && S_ISDIR(st.st_mode)) {
        SetErrno(reason, reasonCapacity, EISDIR);
        return kWriteCreateFailed;
    }
    if (replacing && !S_ISREG(st.st_mode)) {
        SetReason(reason, reasonCapacity, NotAFileReason(st.st_mode));
        return kWriteNotAFile;
    }
    if (replacing && !options.force && !MayReplace(staged->target, st)) {
        SetReason(reason, reasonCapacity, "the file is read-only");
        return kWriteReadOnly;
    }
    // A short temporary name beside the target, whatever the target's length, so that rename()
    // replaces it atomically on the same file system.
    const WriteResult created = CreateTemporaryBeside(FolderOf(staged->target), staged, reason,
                                                      reasonCapacity);
    if (created != kWriteOk) return created;
    const int fd = static_cast<int>(staged->handle);
    if (replacing) {
        // The replaced file's owner and group where this process may give them (root, or a
        // group it belongs to), then its permission bits, before the data goes in. Group bits
        // that would now apply to another group are dropped rather than granted to it.
        mode_t mode = st.st_mode & 0777;
        if (fchown(fd, st.st_uid, st.st_gid) != 0 && fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0) {
            struct stat mine;
            if (fstat(fd, &mine) == 0 && mine.st_gid != st.st_gid) mode &= ~static_cast<mode_t>(0070);
        }
        fchmod(fd, mode);
    }
    if (interruptSignal != 0) {
        AbortStagedWrite(staged);
        SetReason(reason, reasonCapacity, "interrupted");
        return kWriteInterrupted;
    }
    // The test seam: what a full disk does, part of the data lands, then ENOSPC.
    bool full = writeFailureAfter >= 0 && size > static_cast<uint64_t>(writeFailureAfter);
    if (!WriteAll(fd, static_cast<const uint8_t*>(data), full ? static_cast<size_t>(writeFailureAfter) : size) ||
        full) {
        SetErrno(reason, reasonCapacity, full ? ENOSPC : errno);
        AbortStagedWrite(staged);
        return kWriteWriteFailed;
    }
    return kWriteOk;
}

WriteResult FlushStagedWrite(StagedWrite* staged, char* reason, size_t reasonCapacity) {
    if (staged->flushed) return kWriteOk;
    if (fsync(static_cast<int>(staged->handle)) != 0) {
        SetErrno(reason, reasonCapacity, errno);
        return kWriteWriteFailed;
    }
    staged->flushed = true;
    return kWriteOk;
}

WriteResult FlushStagedWrites(StagedWrite* staged, size_t count, char* reason, size_t reasonCapacity) {
#ifdef __linux__
    // One syncfs per file system writes back every staged file on it at once. (It also writes
    // back other programs' data there; since Linux 5.8 it reports write-back errors.)
    for (size_t i = 0; i < count; ++i) {
        if (staged[i].flushed) continue;
        struct stat st;
        if (fstat(static_cast<int>(staged[i].handle), &st) != 0 ||
            syncfs(static_cast<int>(staged[i].handle)) != 0) {
            SetErrno(reason, reasonCapacity, errno);
            return kWriteWriteFailed;
        }
        for (size_t j = i; j < count; ++j) {
            struct stat other;
            if (!staged[j].flushed && fstat(static_cast<int>(staged[j].handle), &other) == 0 &&
                other.st_dev == st.st_dev) {
                staged[j].flushed = true;
            }
        }
    }
    return kWriteOk;
#else
    for (size_t i = 0; i < count; ++i) {
        WriteResult result = FlushStagedWrite(&staged[i], reason, reasonCapacity);
        if (result != kWriteOk) return result;
    }
    return kWriteOk;
#endif
}

// ---- Interrupts ----

void InstallInterruptCleanup() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    // SIGHUP is the terminal closing under a batch, SIGQUIT Ctrl+\: both would end the process
    // with its temporary files left and no count, so they are interrupts like the others.
    const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    sigemptyset(&action.sa_mask);
    for (int signal : signals) sigaddset(&action.sa_mask, signal);
    action.sa_flags = 0;  // no SA_RESTART: a read of standard input returns to be stopped
    for (int signal : signals) sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

int32_t InterruptSignal() { return interruptSignal; }

int32_t PendingTemporaryFiles() { return RegisteredTemporaries(); }

void SimulateInterruptForTesting(int32_t signal) {
    interruptSignal = signal;
    if (signal != 0) RemoveRegisteredTemporaries();
}

// ---- Standard output ----

bool WriteStandardOutput(const void* data, size_t size, char* reason, size_t reasonCapacity) {
    if (!FinishStandardOutput(reason, reasonCapacity)) return false;
    if (!WriteAll(STDOUT_FILENO, static_cast<const uint8_t*>(data), size)) {
        SetErrno(reason, reasonCapacity, errno);
        return false;
    }
    return true;
}

bool WriteStandardError(const void* data, size_t size, char* reason, size_t reasonCapacity) {
    std::fflush(stderr);
    if (!WriteAll(STDERR_FILENO, static_cast<const uint8_t*>(data), size)) {
        SetErrno(reason, reasonCapacity, errno);
        return false;
    }
    return true;
}

bool FinishStandardOutput(char* reason, size_t reasonCapacity) {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        SetErrno(reason, reasonCapacity, errno != 0 ? errno : EIO);
        return false;
    }
    return true;
}

bool IsFolderName(const char* path) {
    size_t length = std::strlen(path);
    if (length == 0) return false;
    if (path[length - 1] == '/') return true;
    const char* slash = std::strrchr(path, '/');
    const char* last = slash == nullptr ? path : slash + 1;
    return std::strcmp(last, ".") == 0 || std::strcmp(last, "..") == 0;
}
