// Loading a picture from memory: mode detection, the palette a picture opens in, its
// companion palette file's bytes, and raw VRAM dumps. Nothing here touches a file.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "image/bsave.h"

namespace {

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

std::string CompanionPaletteName(const char* name) {
    const int32_t extension = ExtensionOffset(name);
    const ModeByName mode = DetectScreenMode(name + extension, 0);
    if (mode.companionExtension == nullptr) return "";
    return std::string(name, static_cast<size_t>(extension)) + mode.companionExtension;
}

LoadResult LoadScreenBytes(const char* name, const uint8_t* bytes, size_t size,
                           const std::vector<uint8_t>* companion, Picture* picture,
                           LoadProblem* problem, ModeFamily family) {
    Picture loaded;
    LoadResult result = LoadBsaveBytes(bytes, size, &loaded, problem);
    if (result != kLoadOk) return result;
    const int32_t extension = ExtensionOffset(name);
    const ModeByName detected = LoadedMode(name + extension, loaded, family);
    loaded.screenMode = detected.screenMode;
    loaded.modeByName = detected.byName;
    loaded.paletteIndex = InternalPaletteIsBlank(loaded) ? kPaletteStandard : kPaletteInternal;
    // One that is too short to hold a palette is ignored as a missing one is.
    if (detected.companionExtension != nullptr && companion != nullptr) {
        LoadPaletteBytes(&loaded, companion->data(), companion->size());
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
