// Palettes.
//
// The V9938/V9958 shows its 16 colour codes through palette registers of 3-bit red, green and
// blue levels. A palette word is stored as two bytes, exactly as BASIC's COLOR= writes them into
// VRAM and into palette files:
//
//   byte 0:  0RRR 0BBB      byte 1:  0000 0GGG      (read little-endian: 0x0GRB, mask 0x0777)
//
// Ten palette slots can be selected on a picture (image/picture.h): 0 the MSX2 power-on palette,
// 1 the palette table inside the picture's VRAM, 2..9 the palettes of a palette file (.pl5/.pl7:
// 1 to 8 palettes of 32 bytes back to back). Paint programs write palette files without a header;
// BASIC's BSAVE "X.PL5",&H7680,&H769F,S of the palette table puts the 7-byte BSAVE header in
// front (type 0xFE, start, end, exec), which is recognised by its range of 32 * n bytes and
// skipped. (A palette word's first byte never has bit 7 set, so no headerless file starts with
// 0xFE.) This file knows palettes as values only.
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
constexpr int32_t kPaletteBytes = 32;
constexpr int32_t kPaletteFileMaxBytes = kMaxFilePalettes * kPaletteBytes;
// What a reader of palette files takes: a BSAVE header and the most palettes that can matter.
constexpr int32_t kPaletteFileReadBytes = 7 + kPaletteFileMaxBytes;

// Palette word n (0x0GRB) of a palette table.
uint16_t PaletteWord(const uint8_t* palette, int32_t n);

// 16 colour-table entries (blue, green, red, 0) through kLevelTable.
void PaletteToRgbQuads(const MsxPalette& palette, uint8_t out[64]);

// The palettes of a headerless palette file's first min(size, 256) bytes into out (the BSAVE
// header is image/bsave.h's to recognise); returns how many whole palettes there are (a trailing partial palette is not
// counted). Entries of out past them are left as they were.
int32_t ParsePaletteFile(const uint8_t* bytes, size_t size, MsxPalette out[kMaxFilePalettes]);
