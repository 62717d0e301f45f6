// Palettes.
//
// The V9938/V9958 shows its 16 colour codes through palette registers of 3-bit red, green and
// blue levels. A palette word is stored as two bytes, exactly as BASIC's COLOR= writes them into
// VRAM and into palette files:
//
//   byte 0:  0RRR 0BBB      byte 1:  0000 0GGG      (read little-endian: 0x0GRB, mask 0x0777)
//
// Ten palette slots can be selected: 0 the MSX2 power-on palette, 1 the palette table inside the
// picture's VRAM (0x7680 for SCREEN 5/6, 0xFA80 otherwise; a view, not a copy), 2..9 the palettes
// of a palette file (.pl5/.pl7: 1 to 8 palettes of 32 bytes back to back, no header).
#pragma once

#include <cstddef>
#include <cstdint>

struct MsxPalette {
    uint8_t bytes[32];  // entry n at bytes 2n, 2n+1
};

// 3-bit level to 8-bit intensity. Not 255*level/7: these are the values the program has always
// shown (0x21 steps with 0x4A/0xB5/0xDE), and saved bitmaps depend on them.
extern const uint8_t kLevelTable[8];
extern const MsxPalette kStandardPalette;

enum PaletteSlot : int32_t {
    kPaletteStandard = 0,
    kPaletteInternal = 1,
    kPaletteFileFirst = 2,  // slots 2..9 are file palettes 0..7
    kPaletteSlotCount = 10,
};

constexpr int32_t kMaxFilePalettes = 8;
constexpr int32_t kPaletteFileMaxBytes = kMaxFilePalettes * 32;

extern int32_t paletteIndex;                     // selected slot, 0..9
extern MsxPalette filePalettes[kMaxFilePalettes];
extern int32_t filePaletteCount;                 // whole palettes read, 0..8

// The palette of a slot, or nullptr when the slot is not available now.
const MsxPalette* GetPaletteSlot(int32_t slot);

// The selected palette; an unavailable selection falls back to the standard palette, and the
// fallback is remembered (paletteIndex becomes 0).
const MsxPalette* CurrentPalette();

// 16 colour-table entries (blue, green, red, 0) through kLevelTable.
void PaletteToRgbQuads(const MsxPalette* palette, uint8_t out[64]);

// Takes the first min(size, 256) bytes of a palette file: selects slot 2 and counts the whole
// palettes read. Bytes of filePalettes past what was read keep their contents (never used).
void LoadPaletteBytes(const uint8_t* bytes, size_t size);

// Reads a palette file. Returns false, changing nothing, when it cannot be opened or read.
bool LoadPaletteFile(const char* path);

// Selects a slot if it is available; returns whether it did. The caller rebuilds the display.
bool SelectPaletteSlot(int32_t slot);
