// vramoria-convert's names: what messages show of a file name, and the -o placeholders.
#include "cli/names.h"

#include <cstdio>
#include <cstring>

#include "image/picture.h"
#include "platform/platform.h"

namespace {

// The placeholders of an -o name, in the order ExpandOutputName fills them in.
const char* const kPlaceholders[] = {"{stem}", "{name}", "{dir}", "{ext}"};

}  // namespace

std::string MessageLine(const std::string& file, const std::string& message) {
    return std::string(kProgram) + ": " + PrintableName(file) + ": " + message + "\n";
}

int32_t OutputStreamOf(const std::string& word) {
    static const char* const kOutputNames[] = {"-", "/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"};
    static const char* const kErrorNames[] = {"/dev/stderr", "/dev/fd/2", "/proc/self/fd/2"};
    for (const char* name : kOutputNames) {
        if (word == name) return 1;
    }
    for (const char* name : kErrorNames) {
        if (word == name) return 2;
    }
    return 0;
}

bool CheckOutputPattern(const std::string& pattern, std::string* error) {
    for (size_t at = pattern.find('{'); at != std::string::npos; at = pattern.find('{', at + 1)) {
        bool known = false;
        for (const char* p : kPlaceholders) known = known || pattern.compare(at, std::strlen(p), p) == 0;
        if (!known) {
            *error = "-o '" + pattern + "': names may hold {stem}, {name}, {dir} and {ext} only";
            return false;
        }
    }
    return true;
}

std::string ExpandOutputName(const std::string& pattern, const std::string& picture, int32_t mode) {
    // The folder ends at the last separator: "/", and on Windows "\" too (on POSIX a backslash
    // is an ordinary character of a file name).
    size_t slash = std::string::npos;
    for (size_t i = picture.size(); i-- > 0;) {
        if (IsPathSeparator(picture[i])) {
            slash = i;
            break;
        }
    }
    std::string dir = slash == std::string::npos ? "." : picture.substr(0, slash == 0 ? 1 : slash);
    std::string name = slash == std::string::npos ? picture : picture.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    int32_t extension = static_cast<int32_t>(dot == std::string::npos ? name.size() : dot + 1);
    std::string stem = extension > 0 && name[static_cast<size_t>(extension) - 1] == '.'
                           ? name.substr(0, static_cast<size_t>(extension) - 1)
                           : name;
    const std::string values[] = {stem, name, dir, ScreenModeOf(mode).saveExtension};
    std::string out;
    for (size_t i = 0; i < pattern.size();) {
        bool replaced = false;
        for (size_t k = 0; k < sizeof kPlaceholders / sizeof kPlaceholders[0]; ++k) {
            const size_t n = std::strlen(kPlaceholders[k]);
            if (pattern.compare(i, n, kPlaceholders[k]) == 0) {
                out += values[k];
                i += n;
                replaced = true;
                break;
            }
        }
        if (!replaced) out += pattern[i++];
    }
    return out == kStandardOutputName ? "./-" : out;
}
