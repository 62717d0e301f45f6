// The picture's store and its mode and palette-slot selection.
#include "image/picture.h"

#include <cstring>

#include "image/bsave.h"
#include "platform/platform.h"

namespace {

constexpr ScreenModeInfo kScreenModes[kScreenModeCount] = {
    {"SCREEN 5", 256, 128, kSmallPaletteTable, "sc5"},
    {"SCREEN 6", 512, 128, kSmallPaletteTable, "sc6"},
    {"SCREEN 7", 512, 256, kLargePaletteTable, "sc7"},
    {"SCREEN 8", 256, 256, kLargePaletteTable, "sc8"},
    {"SCREEN 10/11", 256, 256, kLargePaletteTable, "sca"},
    {"SCREEN 12", 256, 256, kLargePaletteTable, "scc"},
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

bool Matches(const char* pattern, const char* extension) {
    for (int i = 0; i < 3; ++i) {
        char c = extension[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (pattern[i] != '?' && pattern[i] != c) return false;
    }
    return true;
}

}  // namespace

ModeByName DetectScreenMode(const char* extension, int32_t dataSize) {
    if (std::strlen(extension) == 3) {
        for (const NameRule& rule : kNameRules) {
            if (Matches(rule.pattern, extension)) {
                return {rule.screenMode,
                        rule.companionExtension[0] != 0 ? rule.companionExtension : nullptr, true};
            }
        }
    }
    // No extension names a mode: more than 32 KiB of data cannot be a SCREEN 5 picture.
    return {dataSize > 0x8000 ? kScreen7 : kScreen5, nullptr, false};
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

PaletteFileResult OpenPaletteFile(Picture* picture, const char* path) {
    uint8_t buffer[kPaletteFileReadBytes];
    size_t got = 0;
    if (ReadFilePrefix(path, buffer, sizeof buffer, &got) != kReadOk) return kPaletteFileCannotOpen;
    return LoadPaletteBytes(picture, buffer, got) ? kPaletteFileLoaded : kPaletteFileTooShort;
}
