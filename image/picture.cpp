// The picture's store and its mode and palette-slot selection.
#include "image/picture.h"

#include <cstring>

#include "image/bsave.h"

namespace {

// A bitmap mode's file holds VRAM up to its palette table and the table; a pattern mode's all of
// its tables (SCREEN 2/4 to the end of the colour table, SCREEN 1/3 to the end of the palette
// table, which lies after the others).
constexpr int32_t kPattern2Bytes = 0x3800;  // patterns, names, sprites, palette, colours
constexpr int32_t kPattern1Bytes = 0x2040;  // SCREEN 1 and 3: up to the palette table's end

constexpr ScreenModeInfo kScreenModes[kScreenModeCount] = {
    {"SCREEN 5", 256, kScreenLines, 128, kSmallPaletteTable, kSmallPaletteTable + 32, "sc5"},
    {"SCREEN 6", 512, kScreenLines, 128, kSmallPaletteTable, kSmallPaletteTable + 32, "sc6"},
    {"SCREEN 7", 512, kScreenLines, 256, kLargePaletteTable, kLargePaletteTable + 32, "sc7"},
    {"SCREEN 8", 256, kScreenLines, 256, kLargePaletteTable, kLargePaletteTable + 32, "sc8"},
    {"SCREEN 10/11", 256, kScreenLines, 256, kLargePaletteTable, kLargePaletteTable + 32, "sca"},
    {"SCREEN 12", 256, kScreenLines, 256, kLargePaletteTable, kLargePaletteTable + 32, "scc"},
    {"SCREEN 1", 256, kPatternLines, 0, 0x2020, kPattern1Bytes, "sc1"},
    {"SCREEN 2", 256, kPatternLines, 0, 0x1B80, kPattern2Bytes, "sc2"},
    {"SCREEN 3", 256, kPatternLines, 0, 0x2020, kPattern1Bytes, "sc3"},
    {"SCREEN 4", 256, kPatternLines, 0, 0x1B80, kPattern2Bytes, "sc4"},
};

// How the viewer reads a file's extension, first match wins; "?" is any character. The save
// extensions above are among them, so a saved picture opens in the mode it was saved in.
struct NameRule {
    char pattern[4];
    ScreenMode screenMode;
    char companionExtension[4];  // the palette file a paint program writes beside it, or ""
};

constexpr NameRule kNameRules[] = {
    {"sr5", kScreen5, "pl5"},   // compressed SCREEN 5 with its palettes
    {"sr7", kScreen7, "pl7"},   // compressed SCREEN 7 with its palettes
    {"??5", kScreen5, ""},  // sc5, ge5, sr6 ...: the last digit decides
    {"??6", kScreen6, ""},
    {"??7", kScreen7, ""},
    {"??8", kScreen8, ""},
    {"srs", kScreen12, ""},
    {"scc", kScreen12, ""},
    {"sca", kScreen10, ""},
    // Plain dumps and the compressed files of MSX2+ paint programs: .SRA is compressed
    // SCREEN 10, .SRC compressed SCREEN 12; .SCB is SCREEN 11 beside .SCA and .SCC.
    {"scb", kScreen10, ""},
    {"s10", kScreen10, ""},
    {"s11", kScreen10, ""},
    {"sra", kScreen10, ""},
    {"s12", kScreen12, ""},
    {"src", kScreen12, ""},
};

// The pattern modes' names, after the bitmap modes' rules (which they never overlap): .SC2 and
// .GRP are the usual SCREEN 2 names, .S02 the numbered ones of some tools.
constexpr NameRule kPatternNameRules[] = {
    {"sc1", kScreen1, ""}, {"?01", kScreen1, ""}, {"sc2", kScreen2, ""}, {"?02", kScreen2, ""},
    {"grp", kScreen2, ""}, {"sc3", kScreen3, ""}, {"?03", kScreen3, ""}, {"sc4", kScreen4, ""},
    {"?04", kScreen4, ""},
};

bool Matches(const char* pattern, const char* extension) {
    for (int i = 0; i < 3; ++i) {
        char c = extension[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (pattern[i] != '?' && pattern[i] != c) return false;
    }
    return true;
}

const NameRule* FindNameRule(const char* extension, ModeFamily family) {
    if (std::strlen(extension) != 3) return nullptr;
    for (const NameRule& rule : kNameRules) {
        if (Matches(rule.pattern, extension)) return &rule;
    }
    if (family == kAllModes) {
        for (const NameRule& rule : kPatternNameRules) {
            if (Matches(rule.pattern, extension)) return &rule;
        }
    }
    return nullptr;
}

}  // namespace

ModeByName DetectScreenMode(const char* extension, int32_t dataSize, ModeFamily family) {
    if (const NameRule* rule = FindNameRule(extension, family)) {
        return {rule->screenMode,
                rule->companionExtension[0] != 0 ? rule->companionExtension : nullptr, true};
    }
    // No extension names a mode: more than 32 KiB of data cannot be a SCREEN 5 picture.
    return {dataSize > 0x8000 ? kScreen7 : kScreen5, nullptr, false};
}

int32_t PatternModeOfRange(const BsaveHeader& header) {
    if (header.type != kBsavePlain || header.startAddress != 0) return -1;
    switch (header.endAddress) {
        case 0x37FF:  // SCREEN 2: patterns, names, sprite attributes and colours
        case 0x3FFF:  // the whole 16 KiB of an MSX1's VRAM, sprite patterns too
            return kScreen2;
        case 0x201F:  // SCREEN 1: patterns, names and the 32 colour bytes
        case 0x203F:  // and MSX2 BASIC's palette table after them
            return kScreen1;
        case 0x0AFF:  // SCREEN 3: the blocks and the names
            return kScreen3;
        default:
            return -1;
    }
}

const ScreenModeInfo& ScreenModeOf(int32_t mode) {
    return kScreenModes[mode >= 0 && mode < kScreenModeCount ? mode : 0];
}

uint8_t* AllocateVram(Picture* picture, int32_t size) {
    // Sizes come from 16-bit BSAVE addresses and the conversions, never above 64 KiB; a
    // negative size is treated as 0 so that the capacity rule holds whatever the caller did.
    if (size < 0) size = 0;
    const int32_t capacity = size <= kSmallBitmapBytes ? kSmallBitmapBytes : (size + 255) & ~255;
    picture->data.assign(static_cast<size_t>(capacity), 0);
    picture->dataSize = size;
    picture->imageSize = size >= kLargeBitmapBytes ? kLargeBitmapBytes : size;
    return picture->data.data();
}

int32_t PaletteTableAddress(int32_t mode) { return ScreenModeOf(mode).paletteTable; }

bool PaletteTablePresent(const Picture& picture) {
    return picture.dataSize >= PaletteTableAddress(picture.screenMode) + kPaletteTableBytes;
}

const MsxPalette* GetPaletteSlot(const Picture& picture, int32_t slot) {
    if (slot == kPaletteStandard) return &kStandardPalette;
    if (slot == kPaletteInternal) {
        // A view into VRAM: follows mode changes and conversions. MsxPalette is 32 bytes with
        // no alignment of its own, so the table can be read in place.
        if (!PaletteTablePresent(picture)) return nullptr;
        return reinterpret_cast<const MsxPalette*>(picture.data.data() +
                                                   PaletteTableAddress(picture.screenMode));
    }
    if (slot >= kPaletteFileFirst && slot < kPaletteSlotCount &&
        slot - kPaletteFileFirst < picture.filePaletteCount) {
        return &picture.filePalettes[slot - kPaletteFileFirst];
    }
    return nullptr;
}

const MsxPalette& CurrentPalette(const Picture& picture) {
    const MsxPalette* palette = GetPaletteSlot(picture, picture.paletteIndex);
    return palette != nullptr ? *palette : kStandardPalette;
}

void ApplyPaletteFallback(Picture* picture) {
    if (GetPaletteSlot(*picture, picture->paletteIndex) == nullptr) {
        picture->paletteIndex = kPaletteStandard;
    }
}

bool SelectPaletteSlot(Picture* picture, int32_t slot) {
    if (GetPaletteSlot(*picture, slot) == nullptr) return false;
    picture->paletteIndex = slot;
    return true;
}

bool SelectScreenMode(Picture* picture, int32_t mode) {
    if (mode < 0 || mode >= kScreenModeCount) return false;
    picture->screenMode = static_cast<ScreenMode>(mode);
    // The internal palette moves with the mode's table address.
    ApplyPaletteFallback(picture);
    return true;
}

bool LoadPaletteBytes(Picture* picture, const uint8_t* bytes, size_t size) {
    const PaletteFileBody body = FindPaletteFileBody(bytes, size);
    bytes += body.offset;
    size = body.size;
    // A 0- or 1-byte file would otherwise throw away the palettes loaded before and leave
    // nothing to select.
    if (size < static_cast<size_t>(kPaletteBytes)) return false;
    picture->filePaletteCount = ParsePaletteFile(bytes, size, picture->filePalettes);
    picture->paletteIndex = kPaletteFileFirst;
    return true;
}
