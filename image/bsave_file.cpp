// Loading a picture file: the file name, the window title, reading, mode detection and the
// companion palette file. The thin layer between the file system and LoadBsaveBytes.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/bsave.h"
#include "palette/palette.h"
#include "platform/platform.h"
#include "resources/strings.h"

char fileName[kFileNameCapacity];
char windowTitle[kTitleCapacity];

namespace {

const char kTitleSuffix[] = " - Vramoria";
const char kOpenPatterns[] = "*.sc5;*.sc6;*.sc7;*.sc8;*.sca;*.scc;*.sr5;*.sr7;*.sr8;*.srs";

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Sets the title from a name: its display name, or the whole name when that does not fit.
void BuildWindowTitle(const char* name) {
    char display[kDisplayNameCapacity];
    const char* shown = FileDisplayName(name, display, sizeof display) ? display : name;
    std::snprintf(windowTitle, sizeof windowTitle, "%.*s%s",
                  static_cast<int>(kTitleCapacity - sizeof kTitleSuffix), shown, kTitleSuffix);
}

// Steps common to both entries once fileName holds the name and extension its extension.
LoadResult LoadFromFileName(int32_t extension) {
    BuildWindowTitle(fileName);
    uint8_t* bytes = static_cast<uint8_t*>(std::malloc(kBsaveMaxFileBytes));
    if (bytes == nullptr) std::abort();
    size_t got = 0;
    // Only the header and at most a 64 KiB body can matter; anything after is ignored anyway.
    ReadResult read = ReadFilePrefix(fileName, bytes, kBsaveMaxFileBytes, &got);
    LoadResult result = kLoadCannotOpen;
    if (read == kReadOk) result = LoadBsaveBytes(bytes, got);
    std::free(bytes);
    if (result != kLoadOk) return result;
    filePaletteCount = 0;
    paletteIndex = kPaletteInternal;
    DetectScreenMode(fileName + extension, vramImage.dataSize);
    return kLoadOk;
}

}  // namespace

void DetectScreenMode(char* extension, int32_t dataSize) {
    char e[3] = {0, 0, 0};
    bool three = std::strlen(extension) == 3;
    if (three) {
        for (int i = 0; i < 3; ++i) e[i] = LowerAscii(extension[i]);
    }
    const char* companion = nullptr;
    if (three && e[0] == 's' && e[1] == 'r' && e[2] == '5') {
        screenMode = kScreen5;
        companion = "pl5";
    } else if (three && e[0] == 's' && e[1] == 'r' && e[2] == '7') {
        screenMode = kScreen7;
        companion = "pl7";
    } else if (three && e[2] == '5') {  // sc5, ge5, sr6 ...: the digit decides
        screenMode = kScreen5;
    } else if (three && e[2] == '6') {
        screenMode = kScreen6;
    } else if (three && e[2] == '7') {
        screenMode = kScreen7;
    } else if (three && e[2] == '8') {
        screenMode = kScreen8;
    } else if (three && ((e[0] == 's' && e[1] == 'r' && e[2] == 's') ||
                         (e[0] == 's' && e[1] == 'c' && e[2] == 'c'))) {
        screenMode = kScreen12;
    } else if (three && e[0] == 's' && e[1] == 'c' && e[2] == 'a') {
        screenMode = kScreen10;
    } else {
        // No extension names a mode: more than 32 KiB of data cannot be a SCREEN 5 picture.
        screenMode = dataSize > 0x8000 ? kScreen7 : kScreen5;
    }
    if (companion != nullptr) {
        std::memcpy(extension, companion, 3);
        // Picture sets often come in upper case (PIC.SR5 beside PIC.PL5): where names
        // distinguish case, a name that differs only in case is taken too.
        if (!LoadPaletteFile(fileName) && ResolvePathIgnoringCase(fileName)) {
            LoadPaletteFile(fileName);
        }
    }
}

LoadResult LoadScreenFileNamed(const char* name) {
    size_t length = std::strlen(name);
    if (length >= static_cast<size_t>(kFileNameCapacity)) {
        // Does not fit the 260-byte name buffer of the Win32 ANSI file functions.
        BuildWindowTitle(name);
        return kLoadCannotOpen;
    }
    std::memcpy(fileName, name, length + 1);
    return LoadFromFileName(ExtensionOffset(fileName));
}

LoadResult LoadScreenFile(const char* argument) {
    if (*argument == '\0') {
        int32_t extension = ShowOpenDialog(nullptr, fileName, IDS_BSAVE_FILTER, kOpenPatterns, nullptr);
        if (extension < 0) return kLoadCancelled;
        return LoadFromFileName(extension);
    }
    // A quoted name ends at its closing quote; an unquoted one is the whole rest of the line,
    // blanks included.
    const char* start = argument;
    size_t length = std::strlen(argument);
    if (*argument == '"') {
        ++start;
        const char* close = std::strchr(start, '"');
        length = close != nullptr ? static_cast<size_t>(close - start) : std::strlen(start);
    }
    char* name = static_cast<char*>(std::malloc(length + 1));
    if (name == nullptr) std::abort();
    std::memcpy(name, start, length);
    name[length] = '\0';
    LoadResult result = LoadScreenFileNamed(name);
    std::free(name);
    return result;
}
