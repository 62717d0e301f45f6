// The display bitmap: everything shown, copied or exported as a bitmap comes from one buffer.
//
//   offset 0            2 zero bytes (so that the info header and the pixels are 4-aligned)
//   offset 2            BITMAPFILEHEADER (14)        } bytes 2 .. 2+bfSize are a BMP file,
//   offset 16           BITMAPINFOHEADER (40)        } bytes 16 .. 2+bfSize a packed DIB
//   offset 56           colour table: 16 entries (SCREEN 5/6/7), 256 (SCREEN 8), none (10-12)
//   offset 2+bfOffBits  212 rows, bottom line first (Windows' bottom-up DIB)
//   offset 2+bfSize     SCREEN 6/7 only: BITMAPINFOHEADER + 256-entry half-width colour table,
//                       which reads the same 4-bit rows as 256 pixels of 8 bits (the 1:1 view)
//
//   mode          bpp  width  bfOffBits  row bytes  bfSize   buffer
//   SCREEN 5        4    256        118        128   27254    27256
//   SCREEN 6, 7     4    512        118        256   54390    55456
//   SCREEN 8        8    256       1078        256   55350    55352
//   SCREEN 10-12   24    256         54        768  162870   162872
#pragma once

#include <cstdint>

#include "palette/palette.h"

extern uint8_t* displayBitmap;    // the current buffer, null before the first build
extern uint8_t* viewBitmapInfo;   // BITMAPINFO of the 1:1 view, inside displayBitmap

// One 4-bit conversion code per target mode index t in bits 4t..4t+3 (0 = not offered), bits
// 24-30 zero, bit 31 the popup menu's states-refreshed flag. Stored by every build.
extern uint32_t conversionTable;
constexpr uint32_t kMenuStatesRefreshed = 0x80000000u;

// Builds a new displayBitmap for screenMode, the VRAM bytes and CurrentPalette(); sets
// viewBitmapInfo and conversionTable. Does not free the previous buffer.
void BuildDisplayBitmap();

// Frees the current buffer and builds a new one: what every command that changes the picture,
// its mode or its palette does afterwards.
void RebuildDisplayBitmap();

// Zeroes bytes 0-55 of buffer, fills the file and info headers, sets viewBitmapInfo = buffer+16.
void InitBitmapHeaders(uint8_t* buffer, uint16_t bitsPerPixel, uint32_t offBits,
                       uint8_t widthFactor);

// One SCREEN 6 byte (four 2-bit pixels) to the two bytes of a 4-bit row showing colour codes
// 5*p; the first byte is the low half, so a little-endian store writes them in row order.
void BuildScreen6ExpandTable(uint16_t table[256]);

// Conversion codes offered from a mode (the value BuildDisplayBitmap stores).
uint32_t ConversionTableForMode(int32_t mode);

// Reads the file header of the current buffer.
uint32_t DisplayBitmapFileSize();     // bfSize: bytes of the BMP file image
uint32_t DisplayBitmapPixelOffset();  // bfOffBits
int32_t DisplayBitmapWidth();         // biWidth of the file image: 256 or 512
