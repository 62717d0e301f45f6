#include "palette/palette.h"

#include <cstring>

#include "image/vram.h"
#include "platform/platform.h"

const uint8_t kLevelTable[8] = {0x00, 0x21, 0x4A, 0x6B, 0x94, 0xB5, 0xDE, 0xFF};

// The MSX2 power-on palette (the V9938 palette registers as the BIOS initialises them).
const MsxPalette kStandardPalette = {{
    0x00, 0x00, 0x00, 0x00, 0x11, 0x06, 0x33, 0x07,  // 0 transparent, 1 black, 2 green, 3 light green
    0x17, 0x01, 0x27, 0x03, 0x51, 0x01, 0x27, 0x06,  // 4 dark blue, 5 light blue, 6 dark red, 7 cyan
    0x71, 0x01, 0x73, 0x03, 0x61, 0x06, 0x64, 0x06,  // 8 red, 9 light red, 10 dark yellow, 11 yellow
    0x11, 0x04, 0x65, 0x02, 0x55, 0x05, 0x77, 0x07,  // 12 dark green, 13 magenta, 14 grey, 15 white
}};

int32_t paletteIndex;
MsxPalette filePalettes[kMaxFilePalettes];
int32_t filePaletteCount;

const MsxPalette* GetPaletteSlot(int32_t slot) {
    if (slot == kPaletteStandard) return &kStandardPalette;
    if (slot == kPaletteInternal) {
        // A view into VRAM: follows mode changes and conversions.
        int32_t address = PaletteTableAddress(screenMode);
        if (vramImage.data == nullptr || vramImage.dataSize < address + kPaletteTableBytes) {
            return nullptr;
        }
        return reinterpret_cast<const MsxPalette*>(vramImage.data + address);
    }
    if (slot >= kPaletteFileFirst && slot < kPaletteSlotCount &&
        slot - kPaletteFileFirst < filePaletteCount) {
        return &filePalettes[slot - kPaletteFileFirst];
    }
    return nullptr;
}

const MsxPalette* CurrentPalette() {
    const MsxPalette* palette = GetPaletteSlot(paletteIndex);
    if (palette != nullptr) return palette;
    paletteIndex = kPaletteStandard;
    return &kStandardPalette;
}

void PaletteToRgbQuads(const MsxPalette* palette, uint8_t out[64]) {
    for (int n = 0; n < 16; ++n) {
        uint8_t rb = palette->bytes[2 * n];
        uint8_t g = palette->bytes[2 * n + 1];
        out[4 * n + 0] = kLevelTable[rb & 7];
        out[4 * n + 1] = kLevelTable[g & 7];
        out[4 * n + 2] = kLevelTable[(rb >> 4) & 7];
        out[4 * n + 3] = 0;
    }
}

void LoadPaletteBytes(const uint8_t* bytes, size_t size) {
    if (size > static_cast<size_t>(kPaletteFileMaxBytes)) size = kPaletteFileMaxBytes;
    std::memcpy(filePalettes, bytes, size);
    paletteIndex = kPaletteFileFirst;
    // A trailing partial palette is not counted. A file shorter than one palette still selects
    // slot 2, whose first use then falls back to the standard palette.
    filePaletteCount = static_cast<int32_t>(size / 32);
}

bool LoadPaletteFile(const char* path) {
    uint8_t buffer[kPaletteFileMaxBytes];
    size_t got = 0;
    if (ReadFilePrefix(path, buffer, sizeof buffer, &got) != kReadOk) return false;
    LoadPaletteBytes(buffer, got);
    return true;
}

bool SelectPaletteSlot(int32_t slot) {
    if (GetPaletteSlot(slot) == nullptr) return false;
    paletteIndex = slot;
    return true;
}
