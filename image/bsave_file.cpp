// Loading a picture file: reading it and its companion palette file from the disk. The thin
// layer between the file system and LoadScreenBytes.
#include <string>
#include <vector>

#include "image/bsave.h"
#include "platform/platform.h"

namespace {

// Reads a palette file's first kPaletteFileReadBytes; false when it cannot be opened.
bool ReadPaletteFilePrefix(const char* path, std::vector<uint8_t>* bytes) {
    bytes->resize(static_cast<size_t>(kPaletteFileReadBytes));
    size_t got = 0;
    if (ReadFilePrefix(path, bytes->data(), bytes->size(), &got) != kReadOk) {
        bytes->clear();
        return false;
    }
    bytes->resize(got);
    return true;
}

}  // namespace

bool ReadCompanionPalette(const char* name, std::vector<uint8_t>* bytes) {
    const std::string companion = CompanionPaletteName(name);
    if (companion.empty()) return false;
    if (ReadPaletteFilePrefix(companion.c_str(), bytes)) return true;
    // Picture sets often come in upper case (PIC.SR5 beside PIC.PL5): where names distinguish
    // case, a name that differs only in case is taken too.
    std::vector<char> resolved(companion.begin(), companion.end());
    resolved.push_back('\0');
    return ResolvePathIgnoringCase(resolved.data()) && ReadPaletteFilePrefix(resolved.data(), bytes);
}

LoadResult LoadScreenFileNamed(const char* name, Picture* picture, LoadProblem* problem) {
    std::vector<uint8_t> bytes(kBsaveMaxFileBytes);
    size_t got = 0;
    // Only the header and at most a 64 KiB body can matter; anything after is ignored anyway.
    if (ReadFilePrefix(name, bytes.data(), bytes.size(), &got) != kReadOk) return kLoadCannotOpen;
    return LoadScreenFileBytes(name, bytes.data(), got, picture, problem);
}

LoadResult LoadScreenFileBytes(const char* name, const uint8_t* bytes, size_t size, Picture* picture,
                               LoadProblem* problem, ModeFamily family) {
    std::vector<uint8_t> companion;
    const bool found = ReadCompanionPalette(name, &companion);
    return LoadScreenBytes(name, bytes, size, found ? &companion : nullptr, picture, problem, family);
}

PaletteFileResult OpenPaletteFile(Picture* picture, const char* path) {
    uint8_t buffer[kPaletteFileReadBytes];
    size_t got = 0;
    if (ReadFilePrefix(path, buffer, sizeof buffer, &got) != kReadOk) return kPaletteFileCannotOpen;
    return LoadPaletteBytes(picture, buffer, got) ? kPaletteFileLoaded : kPaletteFileTooShort;
}
