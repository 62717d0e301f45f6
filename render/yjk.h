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
