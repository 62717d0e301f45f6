// YJK and YAE lines (V9958: SCREEN 12, and SCREEN 10/11 with the attribute bit).
//
// A line is 64 groups of 4 bytes, one byte per pixel:
//
//   b0: YYYYY kkk   K bits 2-0        Y: 5-bit luminance of that pixel
//   b1: YYYYY KKK   K bits 5-3        J, K: 6-bit two's complement, shared by the group
//   b2: YYYYY jjj   J bits 2-0
//   b3: YYYYY JJJ   J bits 5-3
//
//   R = Y + J,  G = Y + K,  B = (5Y - 2J - K + 2) >> 2    (5-bit levels, clamped to 0..31)
//
// In SCREEN 10/11 bit 3 of a byte is the attribute A: with A = 1 the pixel shows palette colour
// b >> 4 instead; its low three bits still feed the group's J or K.
#pragma once

#include <cstdint>

// The colour of a YJK pixel, once for the decoders here and the importer's encoder, which must
// agree to the bit: an encoder that predicted another colour than the one shown would miss the
// exact codes of a rendered YJK picture.

// A YJK pixel's colour as 5-bit levels, 0..31 a channel.
struct YjkLevels {
    int red, green, blue;
};

// A 5-bit level clamped to 0..31: Y + J, Y + K and the blue sum can leave the range, and the
// chip shows the nearest end.
constexpr int ClampYjkLevel(int n) { return n < 0 ? 0 : n > 31 ? 31 : n; }

// The blue level before clamping, floor((5Y - 2J - K + 2) / 4), in -23..63 for Y 0..31 and J, K
// -32..31: (5Y - 2J - K) / 4 rounded to nearest, halves upward (a plain floor gives a darker
// blue than the chip for about one combination in three). The floor is written out because >>
// of a negative number is only defined from C++20 on.
constexpr int YjkBlueSum(int y, int j, int k) {
    const int a = 5 * y - 2 * j - k + 2;
    return a >= 0 ? a / 4 : -((3 - a) / 4);
}

// Y 0..31, J and K -32..31: R = Y + J, G = Y + K, B = (5Y - 2J - K + 2) >> 2, each clamped.
constexpr YjkLevels YjkToLevels(int y, int j, int k) {
    return {ClampYjkLevel(y + j), ClampYjkLevel(y + k), ClampYjkLevel(YjkBlueSum(y, j, k))};
}

// A 5-bit level (0..31) widened to 8 bits by repeating its top bits, (n << 3) | (n >> 2), so
// that 0 is 0x00 and 31 is 0xFF.
constexpr uint8_t WidenYjkLevel(int n) { return static_cast<uint8_t>(n << 3 | n >> 2); }

// Decodes one 256-byte line into a 768-byte 24-bit DIB row (blue, green, red per pixel).
// paletteColours (16 RGBQUADs) is read only when yaeMode is true. Uses the fastest decoder the
// processor has; safe on any number of threads.
void DecodeYjkRow(const uint8_t* line, uint8_t* row, bool yaeMode, const uint8_t* paletteColours);

// The two decoders, which give the same bytes: a colour table (everywhere) and AVX2 (x86-64
// processors that have it), computing 32 pixels at a time. The tests compare them.
enum YjkDecoder : int32_t { kYjkTable, kYjkAvx2 };
bool YjkDecoderAvailable(YjkDecoder decoder);
// Decodes with the given decoder, which must be available.
void DecodeYjkRowWith(YjkDecoder decoder, const uint8_t* line, uint8_t* row, bool yaeMode,
                      const uint8_t* paletteColours);

// The clamp table of the decoder: 96 bytes, entry n + 32 for n = -32..63; a 5-bit level widened
// to 8 bits, 0 below the range and 255 above it.
const uint8_t* YjkClampTable();
