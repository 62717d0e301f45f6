// POSIX implementation of the platform services (Linux builds of the tools and the tests).
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace {

void SetReason(char* reason, size_t capacity, int error) {
    if (reason != nullptr && capacity > 0) std::snprintf(reason, capacity, "%s", std::strerror(error));
}

// Offset just past the last separator of path (0 when there is none).
size_t FolderLength(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash == nullptr ? 0 : static_cast<size_t>(slash - path) + 1;
}

int64_t writeFailureAfter = -1;  // the test seam: bytes a write may still take, -1 = off

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    if (writeFailureAfter >= 0 && size > static_cast<uint64_t>(writeFailureAfter)) {
        // What a full disk does: part of the data lands, then ENOSPC.
        if (!WriteAll(fd, data, static_cast<size_t>(writeFailureAfter))) return false;
        errno = ENOSPC;
        return false;
    }
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

void SetWriteFailureForTesting(int64_t bytesBeforeFailure) { writeFailureAfter = bytesBeforeFailure; }

ReadResult ReadFilePrefix(const char* path, uint8_t* buffer, size_t capacity, size_t* got) {
    *got = 0;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return kReadCannotOpen;
    struct stat st;
    // Windows refuses to open a folder as a file; so do we, rather than read it as empty.
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        return kReadCannotOpen;
    }
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    size_t total = 0;
    while (total < capacity) {
        ssize_t n = read(fd, buffer + total, capacity - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            close(fd);
            return kReadFailed;
        }
        if (n == 0) break;
        total += static_cast<size_t>(n);
    }
    close(fd);
    *got = total;
    return kReadOk;
}

WriteResult WriteFileAtomically(const char* path, const void* data, size_t size, char* reason,
                                size_t reasonCapacity) {
    struct stat st;
    if (stat(path, &st) == 0 && S_ISDIR(st.st_mode)) {
        SetReason(reason, reasonCapacity, EISDIR);
        return kWriteCreateFailed;
    }
    // The temporary file lives beside the target so that rename() replaces it atomically.
    size_t folder = FolderLength(path);
    const char* base = path + folder;
    size_t tempLength = folder + std::strlen(base) + 32;
    char* temp = static_cast<char*>(std::malloc(tempLength));
    if (temp == nullptr) std::abort();
    std::snprintf(temp, tempLength, "%.*s.%s.vramoria-XXXXXX", static_cast<int>(folder), path, base);
    int fd = mkstemp(temp);
    if (fd < 0) {
        SetReason(reason, reasonCapacity, errno);
        std::free(temp);
        return kWriteCreateFailed;
    }
    // mkstemp makes the file private (0600); give it the mode a newly created file would have.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    WriteResult result = kWriteOk;
    if (!WriteAll(fd, static_cast<const uint8_t*>(data), size) || fsync(fd) != 0) {
        SetReason(reason, reasonCapacity, errno);
        result = kWriteWriteFailed;
    }
    if (close(fd) != 0 && result == kWriteOk) {
        SetReason(reason, reasonCapacity, errno);
        result = kWriteWriteFailed;
    }
    if (result == kWriteOk && rename(temp, path) != 0) {
        SetReason(reason, reasonCapacity, errno);
        result = kWriteCreateFailed;
    }
    if (result != kWriteOk) unlink(temp);
    std::free(temp);
    return result;
}

bool MakeParentFolders(const char* path) {
    size_t folder = FolderLength(path);
    if (folder == 0) return true;
    std::string prefix(path, folder);
    for (size_t i = 1; i <= prefix.size(); ++i) {
        if (i < prefix.size() && prefix[i] != '/') continue;
        std::string part = prefix.substr(0, i);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    struct stat st;
    return stat(prefix.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

bool FileDisplayName(const char* path, char* out, size_t capacity) {
    const char* name = path + FolderLength(path);
    size_t length = std::strlen(name);
    if (length + 1 > capacity) return false;
    std::memcpy(out, name, length + 1);
    return true;
}

bool ResolvePathIgnoringCase(char* path) {
    if (access(path, F_OK) == 0) return true;
    size_t folder = FolderLength(path);
    const char* base = path + folder;
    size_t baseLength = std::strlen(base);
    char* folderName = nullptr;
    if (folder == 0) {
        folderName = strdup(".");
    } else {
        folderName = strndup(path, folder);
    }
    if (folderName == nullptr) std::abort();
    DIR* dir = opendir(folderName);
    std::free(folderName);
    if (dir == nullptr) return false;
    bool found = false;
    while (struct dirent* entry = readdir(dir)) {
        if (std::strlen(entry->d_name) == baseLength && strcasecmp(entry->d_name, base) == 0) {
            std::memcpy(path + folder, entry->d_name, baseLength);
            found = true;
            break;
        }
    }
    closedir(dir);
    return found;
}
