// Mode conversion: the eleven conversion codes on the image store.
//
// Every conversion keeps the 212 lines (line y stays line y) and is table-driven: one 256-entry
// table is built from at most one palette, then each source byte costs one lookup. Codes 6 and
// 11 need no table and work on four bytes at a time with a mask.
#include "convert/convert.h"

#include <cstring>
#include <utility>
#include <vector>

#include "palette/palette.h"
#include "render/display.h"

namespace {

// The first byte past the palette table of the 128-bytes-per-line modes (0x7680 + 32): a
// SCREEN 5/6 picture of at least this many bytes carries its palette.
constexpr int32_t kSmallWithPalette = kSmallPaletteTable + kPaletteTableBytes;
constexpr int32_t kLargeWithPalette = kLargePaletteTable + kPaletteTableBytes;

// The average of two palette words, level by level, each rounded down.
uint16_t AverageWords(uint16_t a, uint16_t b) {
    uint16_t out = 0;
    for (int shift = 0; shift <= 8; shift += 4) {
        out = static_cast<uint16_t>(out | ((((a >> shift) & 7) + ((b >> shift) & 7)) >> 1) << shift);
    }
    return out;
}

// The SCREEN 8 (GRAPHIC7) pixel of a palette colour: GGGRRRBB, blue keeps its top two bits.
uint8_t ColourByte(uint16_t word) {
    uint32_t g = (word >> 8) & 7;
    uint32_t r = (word >> 4) & 7;
    uint32_t b = word & 7;
    return static_cast<uint8_t>(g << 5 | r << 2 | b >> 1);
}

// Copies the first bytes of src rounded up to a multiple of 4: how a grown buffer takes over a
// picture. Both buffers' capacities (multiples of 256, at least the byte count) cover the rounding.
void CopyRoundedUp(uint8_t* dst, const uint8_t* src, int32_t bytes) {
    if (bytes <= 0) return;
    std::memcpy(dst, src, static_cast<size_t>((bytes + 3) & ~3));
}

// One source byte to the two target bytes of the 256-bytes-per-line layout (codes 1, 2, 3, 5).
struct PairTable {
    uint8_t pair[256][2];
};

// SCREEN 5/6 (128 bytes a line) to a 256-bytes-a-line mode: every byte of the 27136-byte bitmap
// becomes two. A palette table at 0x7680 moves to 0xFA80, where SCREEN 7 to 12 keep it.
void Expand(Picture* picture, const PairTable& table) {
    const std::vector<uint8_t> oldBuffer = std::move(picture->data);
    const uint8_t* old = oldBuffer.data();
    uint8_t* out;
    if (picture->dataSize < kSmallWithPalette) {
        out = AllocateVram(picture, kLargeBitmapBytes);
    } else {
        out = AllocateVram(picture, kLargeWithPalette);
        std::memcpy(out + kLargePaletteTable, old + kSmallPaletteTable, kPaletteTableBytes);
    }
    // All 212 lines are read whatever dataSize is: the old buffer holds at least 27136 bytes,
    // zero past the picture.
    for (int32_t a = 0; a < kSmallBitmapBytes; ++a) {
        const uint8_t* pair = table.pair[old[a]];
        out[2 * a] = pair[0];
        out[2 * a + 1] = pair[1];
    }
}

// Code 1, SCREEN 5 -> SCREEN 7 (GRAPHIC4 -> GRAPHIC6): each 4-bit pixel written twice, so a
// 256-pixel line becomes a 512-pixel line of the same colour codes.
void BuildDoublingTable(PairTable* table) {
    for (int s = 0; s < 256; ++s) {
        table->pair[s][0] = static_cast<uint8_t>((s >> 4) * 0x11);
        table->pair[s][1] = static_cast<uint8_t>((s & 15) * 0x11);
    }
}

// Code 2, SCREEN 5 -> SCREEN 8 (GRAPHIC4 -> GRAPHIC7): the palette's colours are fixed in the
// pixels as GGGRRRBB bytes.
void BuildColourByteTable(PairTable* table, const uint8_t* palette) {
    uint8_t colour[16];
    for (int c = 0; c < 16; ++c) colour[c] = ColourByte(PaletteWord(palette, c));
    for (int s = 0; s < 256; ++s) {
        table->pair[s][0] = colour[s >> 4];
        table->pair[s][1] = colour[s & 15];
    }
}

// Code 3, SCREEN 5 -> SCREEN 10: each pixel becomes a YAE palette-colour pixel, colour code in
// bits 7-4 and the attribute bit 3 set (the V9958 then shows palette colour, not YJK).
void BuildAttributeTable(PairTable* table) {
    for (int s = 0; s < 256; ++s) {
        table->pair[s][0] = static_cast<uint8_t>((s & 0xF0) | 8);
        table->pair[s][1] = static_cast<uint8_t>((s & 15) << 4 | 8);
    }
}

// Code 5, SCREEN 6 -> SCREEN 7 (GRAPHIC5 -> GRAPHIC6): each 2-bit pixel p becomes the 4-bit
// pixel 5p, the colour code the display shows it with; the line keeps its 512 pixels.
void BuildScreen6PairTable(PairTable* table) {
    uint16_t expand[256];
    BuildScreen6ExpandTable(expand);
    for (int s = 0; s < 256; ++s) {
        // The first row byte is the entry's low half.
        table->pair[s][0] = static_cast<uint8_t>(expand[s] & 0xFF);
        table->pair[s][1] = static_cast<uint8_t>(expand[s] >> 8);
    }
}

// Code 6, SCREEN 5 -> SCREEN 6, in place: (s AND 0x33) x 5 keeps the low two bits of both
// 4-bit pixels and writes each twice as 2-bit pixels (ab -> abab). No nibble exceeds 3 before
// the multiplication, so four bytes go at once without carries.
void KeepLowBitsDoubled(Picture* picture) {
    uint8_t* data = picture->data.data();
    for (int32_t a = 0; a < kSmallBitmapBytes; a += 4) {
        uint32_t word;
        std::memcpy(&word, data + a, 4);
        word = (word & 0x33333333u) * 5u;
        std::memcpy(data + a, &word, 4);
    }
}

// Code 7, SCREEN 7 -> SCREEN 8 (GRAPHIC6 -> GRAPHIC7), in place: each byte holds two
// neighbouring pixels of a 512-pixel line and becomes one pixel of their average colour.
void AveragePixelPairs(Picture* picture) {
    // The mode is SCREEN 7 here (also within code 8), so the internal palette is at 0xFA80.
    const uint8_t* palette = CurrentPalette(*picture).bytes;
    uint16_t word[16];
    for (int c = 0; c < 16; ++c) word[c] = PaletteWord(palette, c);
    uint8_t table[256];
    for (int s = 0; s < 256; ++s) table[s] = ColourByte(AverageWords(word[s >> 4], word[s & 15]));

    if (picture->dataSize < kLargeBitmapBytes) {
        const std::vector<uint8_t> old = std::move(picture->data);
        const int32_t oldSize = picture->dataSize;
        CopyRoundedUp(AllocateVram(picture, kLargeBitmapBytes), old.data(), oldSize);
    }
    // All 212 lines, so the zero bytes of a short picture become table entry 0. Bytes from
    // 0xD400 on, a palette table among them, are left alone.
    uint8_t* data = picture->data.data();
    for (int32_t a = 0; a < kLargeBitmapBytes; ++a) data[a] = table[data[a]];
}

// Code 9, SCREEN 6 -> SCREEN 5 (GRAPHIC5 -> GRAPHIC4): the bytes stay, read as SCREEN 5 the
// byte p0 p1 p2 p3 is the two pixels 4p0+p1 and 4p2+p3, and the palette is computed so that
// colour 4a+b is the average of the colours SCREEN 6 shows for a and b (codes 5a and 5b).
void ComputeScreen5Palette(Picture* picture) {
    // Copied aside first: the internal palette is the very table rewritten below.
    uint16_t source[16];
    const uint8_t* palette = CurrentPalette(*picture).bytes;
    for (int c = 0; c < 16; ++c) source[c] = PaletteWord(palette, c);

    if (picture->dataSize < kSmallWithPalette) {
        const std::vector<uint8_t> old = std::move(picture->data);
        const int32_t oldSize = picture->dataSize;
        CopyRoundedUp(AllocateVram(picture, kSmallWithPalette), old.data(), oldSize);
    }
    uint8_t* table = picture->data.data() + kSmallPaletteTable;
    for (int i = 0; i < 16; ++i) {
        uint16_t word = AverageWords(source[5 * (i >> 2)], source[5 * (i & 3)]);
        table[2 * i] = static_cast<uint8_t>(word & 0xFF);
        table[2 * i + 1] = static_cast<uint8_t>(word >> 8);
    }
    picture->paletteIndex = kPaletteInternal;
}

// Code 10, SCREEN 7 -> SCREEN 6 (GRAPHIC6 -> GRAPHIC5): each 4-bit pixel keeps its low two
// bits; the line keeps its 512 pixels and shrinks from 256 to 128 bytes. A palette table at
// 0xFA80 moves to 0x7680.
void KeepLowBitsCompacted(Picture* picture) {
    // One SCREEN 7 byte (two pixels) to the nibble of two SCREEN 6 pixels.
    uint8_t table[256];
    for (int s = 0; s < 256; ++s) table[s] = static_cast<uint8_t>((s >> 2 & 0x0C) | (s & 3));

    const std::vector<uint8_t> oldBuffer = std::move(picture->data);
    const uint8_t* old = oldBuffer.data();
    const int32_t n = picture->imageSize;
    uint8_t* out;
    if (picture->dataSize >= kLargeWithPalette) {
        out = AllocateVram(picture, kSmallWithPalette);
        std::memcpy(out + kSmallPaletteTable, old + kLargePaletteTable, kPaletteTableBytes);
    } else {
        out = AllocateVram(picture, kSmallBitmapBytes);
    }
    // ceil(n / 2) bytes: with an odd n the last picture byte pairs with the byte after it,
    // which the old buffer holds (its capacity is a multiple of 256 above n).
    for (int32_t k = 0; 2 * k < n; ++k) {
        out[k] = static_cast<uint8_t>(table[old[2 * k]] << 4 | table[old[2 * k + 1]]);
    }
}

// Code 11, SCREEN 10/11 or 12 -> SCREEN 10, in place: bit 3 cleared in every byte of the
// bitmap. In SCREEN 12 (YJK) data that drops the lowest bit of each 5-bit Y; in SCREEN 10/11
// (YAE) data a palette-colour pixel (attribute bit set) becomes a YJK pixel whose Y is its
// former colour code.
void ClearAttributeBits(Picture* picture) {
    uint8_t* data = picture->data.data();
    // Rounded up to a multiple of 4, still inside the buffer (a multiple of 256 >= imageSize).
    const int32_t count = (picture->imageSize + 3) & ~3;
    for (int32_t a = 0; a < count; a += 4) {
        uint32_t word;
        std::memcpy(&word, data + a, 4);
        word &= 0xF7F7F7F7u;
        std::memcpy(data + a, &word, 4);
    }
}

}  // namespace

void ConvertScreenMode(Picture* picture, int32_t code) {
    PairTable pairs;
    switch (static_cast<Conversion>(code)) {
        case kConvert5To7:
            BuildDoublingTable(&pairs);
            Expand(picture, pairs);
            break;
        case kConvert5To8:  // with whichever palette is selected
            BuildColourByteTable(&pairs, CurrentPalette(*picture).bytes);
            Expand(picture, pairs);
            break;
        case kConvert5To10:
            BuildAttributeTable(&pairs);
            Expand(picture, pairs);
            break;
        case kConvert6To10:  // to SCREEN 5, then to SCREEN 10
            ConvertScreenMode(picture, kConvert6To5);
            ConvertScreenMode(picture, kConvert5To10);
            break;
        case kConvert6To7:
            BuildScreen6PairTable(&pairs);
            // From here on the internal palette slot is read at 0xFA80, where the expansion
            // puts the table: the second step of SCREEN 6 -> 8 takes its palette from there.
            picture->screenMode = kScreen7;
            Expand(picture, pairs);
            break;
        case kConvert5To6:
            KeepLowBitsDoubled(picture);
            break;
        case kConvert7To8:
            AveragePixelPairs(picture);
            break;
        case kConvert6To8:  // to SCREEN 7, then to SCREEN 8
            ConvertScreenMode(picture, kConvert6To7);
            ConvertScreenMode(picture, kConvert7To8);
            break;
        case kConvert6To5:
            ComputeScreen5Palette(picture);
            break;
        case kConvert7To6:
            KeepLowBitsCompacted(picture);
            break;
        case kConvertYjkTo10:
            ClearAttributeBits(picture);
            break;
        case kConvertNone:
            break;
    }
}
