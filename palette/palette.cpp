// Palettes as values: the level table, the power-on palette, colour tables and palette files.
#include "palette/palette.h"

#include <cstring>

#include "codec/endian.h"

const uint8_t kLevelTable[8] = {0x00, 0x21, 0x4A, 0x6B, 0x94, 0xB5, 0xDE, 0xFF};

// The MSX2 power-on palette (the V9938 palette registers as the BIOS initialises them).
const MsxPalette kStandardPalette = {{
    0x00, 0x00, 0x00, 0x00, 0x11, 0x06, 0x33, 0x07,  // 0 transparent, 1 black, 2 green, 3 light green
    0x17, 0x01, 0x27, 0x03, 0x51, 0x01, 0x27, 0x06,  // 4 dark blue, 5 light blue, 6 dark red, 7 cyan
    0x71, 0x01, 0x73, 0x03, 0x61, 0x06, 0x64, 0x06,  // 8 red, 9 light red, 10 dark yellow, 11 yellow
    0x11, 0x04, 0x65, 0x02, 0x55, 0x05, 0x77, 0x07,  // 12 dark green, 13 magenta, 14 grey, 15 white
}};

uint16_t PaletteWord(const uint8_t* palette, int32_t n) {
    return static_cast<uint16_t>(Get16(palette + 2 * n) & 0x0777);
}

void PaletteToRgbQuads(const MsxPalette& palette, uint8_t out[64]) {
    for (int n = 0; n < 16; ++n) {
        uint8_t rb = palette.bytes[2 * n];
        uint8_t g = palette.bytes[2 * n + 1];
        out[4 * n + 0] = kLevelTable[rb & 7];
        out[4 * n + 1] = kLevelTable[g & 7];
        out[4 * n + 2] = kLevelTable[(rb >> 4) & 7];
        out[4 * n + 3] = 0;
    }
}

int32_t ParsePaletteFile(const uint8_t* bytes, size_t size, MsxPalette out[kMaxFilePalettes]) {
    if (size > static_cast<size_t>(kPaletteFileMaxBytes)) size = kPaletteFileMaxBytes;
    if (size > 0) std::memcpy(out, bytes, size);
    return static_cast<int32_t>(size / kPaletteBytes);
}
