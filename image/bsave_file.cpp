// Loading a picture file: reading, mode detection and the companion palette file. The thin
// layer between the file system and LoadBsaveBytes.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image/bsave.h"
#include "platform/platform.h"

namespace {

// Reads the companion palette file of a .sr5/.sr7 picture: the picture's name with the palette
// extension in place of its own. Missing, unreadable or too short, it is simply not there.
void LoadCompanionPalette(Picture* picture, const char* name, int32_t extension,
                          const char* paletteExtension) {
    std::string companion(name, static_cast<size_t>(extension));
    companion += paletteExtension;
    // One that is too short to hold a palette is ignored as a missing one is.
    if (OpenPaletteFile(picture, companion.c_str()) != kPaletteFileCannotOpen) return;
    // Picture sets often come in upper case (PIC.SR5 beside PIC.PL5): where names distinguish
    // case, a name that differs only in case is taken too.
    std::vector<char> resolved(companion.begin(), companion.end());
    resolved.push_back('\0');
    if (ResolvePathIgnoringCase(resolved.data())) OpenPaletteFile(picture, resolved.data());
}

// A palette table of sixteen equal words cannot show a picture: every colour code looks the same.
// Sixteen zeros are a table the paint program never stored, and sixteen copies of one word
// (32 bytes of 0x33, say) the table of a sprite sheet whose colours a program sets at run time.
// On the machine such a picture shows in whatever palette is current, so it opens in the
// standard one; the table stays selectable.
//
// In the pattern modes the table's bytes are unused VRAM on an MSX1 (sprite data or whatever was
// there), so a table with a bit set that no palette word has (words are 0RRR0BBB 00000GGG) is
// no palette either.
bool InternalPaletteIsBlank(const Picture& picture) {
    const MsxPalette* table = GetPaletteSlot(picture, kPaletteInternal);
    if (table == nullptr) return false;
    if (IsPatternMode(picture.screenMode)) {
        for (int32_t n = 0; n < 16; ++n) {
            if ((table->bytes[2 * n] & 0x88) != 0 || (table->bytes[2 * n + 1] & 0xF8) != 0) return true;
        }
    }
    for (int32_t n = 1; n < 16; ++n) {
        if (PaletteWord(table->bytes, n) != PaletteWord(table->bytes, 0)) return false;
    }
    return true;
}

// The mode of a loaded file: its extension's, else (for a reader of every mode) a range of
// exactly a pattern mode's tables, else the size rule.
ModeByName LoadedMode(const char* extension, const Picture& loaded, ModeFamily family) {
    ModeByName detected = DetectScreenMode(extension, loaded.dataSize, family);
    if (!detected.byName && family == kAllModes) {
        const int32_t pattern = PatternModeOfRange(loaded.loadedHeader);
        if (pattern >= 0) detected.screenMode = static_cast<ScreenMode>(pattern);
    }
    return detected;
}

}  // namespace

LoadResult LoadScreenFileNamed(const char* name, Picture* picture, LoadProblem* problem) {
    std::vector<uint8_t> bytes(kBsaveMaxFileBytes);
    size_t got = 0;
    // Only the header and at most a 64 KiB body can matter; anything after is ignored anyway.
    if (ReadFilePrefix(name, bytes.data(), bytes.size(), &got) != kReadOk) return kLoadCannotOpen;
    return LoadScreenFileBytes(name, bytes.data(), got, picture, problem);
}

LoadResult LoadScreenFileBytes(const char* name, const uint8_t* bytes, size_t size, Picture* picture,
                               LoadProblem* problem, ModeFamily family) {
    Picture loaded;
    LoadResult result = LoadBsaveBytes(bytes, size, &loaded, problem);
    if (result != kLoadOk) return result;
    const int32_t extension = ExtensionOffset(name);
    const ModeByName detected = LoadedMode(name + extension, loaded, family);
    loaded.screenMode = detected.screenMode;
    loaded.modeByName = detected.byName;
    loaded.paletteIndex = InternalPaletteIsBlank(loaded) ? kPaletteStandard : kPaletteInternal;
    if (detected.companionExtension != nullptr) {
        LoadCompanionPalette(&loaded, name, extension, detected.companionExtension);
    }
    ApplyPaletteFallback(&loaded);
    *picture = std::move(loaded);
    return kLoadOk;
}

int32_t RawPageBytes(ScreenMode mode) {
    switch (mode) {
        case kScreen1:  // the pattern modes: an MSX1's whole 16 KiB of VRAM
        case kScreen2:
        case kScreen3:
        case kScreen4:
            return 0x4000;
        case kScreen5:  // GRAPHIC4 and GRAPHIC5: 128 bytes a line, 256 lines a page
        case kScreen6:
            return 0x8000;
        case kScreen7:  // GRAPHIC6, GRAPHIC7 and the YJK modes: 256 bytes a line
        case kScreen8:
        case kScreen10:
        case kScreen12:
            return 0x10000;
        case kScreenModeCount:
            break;
    }
    return 0x10000;
}

int32_t RawPageCount(size_t size, ScreenMode mode) {
    const size_t page = static_cast<size_t>(RawPageBytes(mode));
    return static_cast<int32_t>((size + page - 1) / page);
}

bool StartsLikeBsave(const uint8_t* bytes, size_t size) {
    return size > 0 && (bytes[0] == kBsavePlain || bytes[0] == kBsaveCompressed);
}

bool LoadRawVramBytes(const uint8_t* bytes, size_t size, ScreenMode mode, int32_t page,
                      Picture* picture) {
    const int32_t pages = RawPageCount(size, mode);
    if (page < 0 || (page >= pages && !(page == 0 && size == 0))) return false;
    const size_t start = static_cast<size_t>(page) * static_cast<size_t>(RawPageBytes(mode));
    const size_t held = std::min(size - start, static_cast<size_t>(RawPageBytes(mode)));
    Picture loaded;
    uint8_t* vram = AllocateVram(&loaded, static_cast<int32_t>(held));
    if (held > 0) std::memcpy(vram, bytes + start, held);
    loaded.screenMode = mode;
    loaded.rawPage = page;
    loaded.rawPages = pages;
    loaded.paletteIndex = InternalPaletteIsBlank(loaded) ? kPaletteStandard : kPaletteInternal;
    ApplyPaletteFallback(&loaded);
    *picture = std::move(loaded);
    return true;
}
