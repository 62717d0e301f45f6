// The viewer's command line and window title (see startup.h).
#include "shell/startup.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/unicode.h"

const char* CommandLineTail(const char* commandLine) {
    const char* p = commandLine;
    char delimiter = ' ';
    if (*p == '"') {
        delimiter = '"';
        ++p;
    }
    while (*p != '\0') {
        if (*p++ == delimiter) break;
    }
    while (*p == ' ') ++p;  // blanks only: a tab is part of the tail
    return p;
}

ArgumentName PictureNameFromTail(const char* tail, char (&name)[kFileNameCapacity]) {
    name[0] = '\0';
    if (*tail == '\0') return kArgumentNone;
    const char* start = tail;
    size_t length = std::strlen(tail);
    if (*tail == '"') {
        ++start;
        const char* close = std::strchr(start, '"');
        length = close != nullptr ? static_cast<size_t>(close - start) : std::strlen(start);
    }
    // Longer than Windows allows a name (MAX_PATH counts UTF-16 units, not bytes).
    if (length >= static_cast<size_t>(kFileNameCapacity) ||
        Utf16Units(start, length) > static_cast<size_t>(kMaxNameUnits)) {
        return kArgumentTooLong;
    }
    std::memcpy(name, start, length);
    name[length] = '\0';
    return kArgumentName;
}

void BuildWindowTitle(const char* name, char (&title)[kTitleCapacity]) {
    static const char kSuffix[] = " - Vramoria";
    char display[kDisplayNameCapacity];
    const char* shown = FileDisplayName(name, display, sizeof display) ? display : name;
    const size_t kept = Utf8PrefixLength(shown, std::strlen(shown), kTitleCapacity - sizeof kSuffix);
    std::snprintf(title, sizeof title, "%.*s%s", static_cast<int>(kept), shown, kSuffix);
}
