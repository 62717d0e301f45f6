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

// Offset just past the last separator of path (0 when there is none).
size_t FolderLength(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash == nullptr ? 0 : static_cast<size_t>(slash - path) + 1;
}

}  // namespace

bool MakeParentFolders(const char* path, std::string* firstMade, char* reason,
                       size_t reasonCapacity) {
    if (firstMade != nullptr) firstMade->clear();
    size_t folder = FolderLength(path);
    if (folder == 0) return true;
    std::string prefix(path, folder);
    struct stat st;
    // Usually the folder is there already (every picture of a batch asks again): one stat.
    if (stat(prefix.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
    std::string made;
    int error = 0;
    for (size_t i = 1; i <= prefix.size() && error == 0; ++i) {
        if (i < prefix.size() && prefix[i] != '/') continue;
        std::string part = prefix.substr(0, i);
        if (mkdir(part.c_str(), 0777) == 0) {
            if (made.empty()) made = part;
        } else if (errno != EEXIST) {
            error = errno;
        }
    }
    if (error == 0 && (stat(prefix.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) error = ENOTDIR;
    if (error != 0) {
        RemoveMadeFolders(path, made);
        if (reason != nullptr && reasonCapacity > 0) {
            std::snprintf(reason, reasonCapacity, "%s", std::strerror(error));
        }
        return false;
    }
    if (firstMade != nullptr) *firstMade = made;
    return true;
}

void RemoveMadeFolders(const char* path, const std::string& firstMade) {
    if (firstMade.empty()) return;
    std::string folder(path, FolderLength(path));
    // From the parent folder up to firstMade: each a prefix of the path ending at a separator.
    while (folder.size() >= firstMade.size()) {
        while (!folder.empty() && folder.back() == '/') folder.pop_back();
        if (folder.size() < firstMade.size()) return;
        // A folder that is not empty holds another file: it and those above it stay. One whose
        // name is too long for the system was never made (the path of a failed deep mkdir).
        if (rmdir(folder.c_str()) != 0 && errno != ENAMETOOLONG && errno != ENOENT) return;
        const size_t slash = folder.rfind('/');
        if (slash == std::string::npos) return;
        folder.erase(slash + 1);
    }
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

bool IsPathSeparator(char c) { return c == '/'; }

bool IsDescriptorName(const char* path) {
    return std::strncmp(path, "/dev/fd/", 8) == 0 || std::strncmp(path, "/proc/self/fd/", 14) == 0;
}

// Through stdio: fread waits for the whole request or the end of the pipe, as the reader needs
// to tell a short picture from one still coming.
bool OpenDescriptorPipe(const char* path, DescriptorPipe* pipe) {
    std::FILE* stream = std::fopen(path, "rb");
    pipe->handle = reinterpret_cast<intptr_t>(stream);
    return stream != nullptr;
}

ReadResult ReadDescriptorPipe(DescriptorPipe* pipe, uint8_t* buffer, size_t capacity, size_t* got,
                              char* reason, size_t reasonCapacity) {
    std::FILE* stream = reinterpret_cast<std::FILE*>(pipe->handle);
    *got = std::fread(buffer, 1, capacity, stream);
    if (!std::ferror(stream)) return kReadOk;
    if (reason != nullptr && reasonCapacity > 0) {
        std::snprintf(reason, reasonCapacity, "%s", std::strerror(errno));
    }
    return kReadFailed;
}

void CloseDescriptorPipe(DescriptorPipe* pipe) {
    if (pipe->handle != 0) std::fclose(reinterpret_cast<std::FILE*>(pipe->handle));
    pipe->handle = 0;
}
