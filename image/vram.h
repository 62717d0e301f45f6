// The image store: one picture's worth of MSX video memory and the screen mode it is read in.
//
// VRAM byte i is the byte at address i; address 0 is the first byte of the bitmap. The six
// bitmap modes a picture can be read in (index = screenMode):
//
//   0  SCREEN 5  (GRAPHIC4)  4 bpp, 2 px/byte, high nibble left   256x212  128 B/line  pal 0x7680
//   1  SCREEN 6  (GRAPHIC5)  2 bpp, 4 px/byte, bits 7-6 leftmost  512x212  128 B/line  pal 0x7680
//   2  SCREEN 7  (GRAPHIC6)  4 bpp, 2 px/byte, high nibble left   512x212  256 B/line  pal 0xFA80
//   3  SCREEN 8  (GRAPHIC7)  8 bpp, GGGRRRBB                      256x212  256 B/line  pal 0xFA80
//   4  SCREEN 10/11 (GRAPHIC7 + YJK + YAE on the V9958)           256x212  256 B/line  pal 0xFA80
//   5  SCREEN 12 (GRAPHIC7 + YJK on the V9958)                    256x212  256 B/line  pal 0xFA80
//
// All modes have 212 lines, top line first. A SCREEN 6 pixel value p means palette colour 5*p
// (0, 5, 10, 15): the V9938 shows GRAPHIC5 through the same 16-entry palette as GRAPHIC4, and
// BASIC programs put their four colours at those codes, so the program reads them that way
// everywhere (display and conversions).
//
// The palette table that BASIC's BSAVE ,S carries along is 16 palette words (32 bytes) at
// 0x7680 for the 128-bytes-per-line modes and at 0xFA80 for the others; it is present only
// when the data reaches its end.
//
// Buffer capacity rule: at least 0x6A00 bytes, a multiple of 256, never below dataSize or
// imageSize. Rendering and conversion read whole 256-byte lines and all of the SCREEN 5/6
// bitmap area without range checks and rely on it.
#pragma once

#include <cstdint>

enum ScreenMode : int32_t {
    kScreen5 = 0,   // GRAPHIC4
    kScreen6 = 1,   // GRAPHIC5
    kScreen7 = 2,   // GRAPHIC6
    kScreen8 = 3,   // GRAPHIC7
    kScreen10 = 4,  // SCREEN 10/11: YJK with the YAE attribute bit
    kScreen12 = 5,  // YJK
    kScreenModeCount = 6,
};

struct ScreenModeInfo {
    const char* name;           // "SCREEN 5" ... as the user knows it
    int32_t width;              // pixels per line
    int32_t bytesPerLine;       // 128 or 256
    int32_t paletteTable;       // VRAM address of the palette table
    const char* saveExtension;  // "sc5" ...
};

extern const ScreenModeInfo kScreenModes[kScreenModeCount];

constexpr int32_t kScreenLines = 212;
constexpr int32_t kSmallBitmapBytes = 0x6A00;   // 212 lines x 128 bytes (SCREEN 5, 6)
constexpr int32_t kLargeBitmapBytes = 0xD400;   // 212 lines x 256 bytes (SCREEN 7, 8, 10-12)
constexpr int32_t kSmallPaletteTable = 0x7680;  // SCREEN 5, 6
constexpr int32_t kLargePaletteTable = 0xFA80;  // SCREEN 7, 8, 10/11, 12
constexpr int32_t kPaletteTableBytes = 32;
constexpr int32_t kVramSpace = 0x10000;         // 64 KiB: what a 16-bit BSAVE address reaches

struct VramImage {
    uint8_t* data;      // zero-filled when created; owned by the store
    int32_t dataSize;   // bytes the picture defines, counted from address 0
    int32_t imageSize;  // dataSize capped at 0xD400 (always 0xD400 after a compressed load)
    int32_t capacity;   // bytes allocated: see the capacity rule above
};

extern VramImage vramImage;
extern int32_t screenMode;  // ScreenMode, 0..5

// Makes a new zero-filled buffer the store's data and sets dataSize = size and imageSize =
// min(size, 0xD400). The replaced buffer is not freed: the caller keeps and frees it. Running
// out of memory ends the process, as it can only happen for sizes up to 64 KiB.
uint8_t* AllocateVram(int32_t size);

// Releases a buffer that AllocateVram made.
void FreeVram(uint8_t* buffer);

// Palette-table address of a mode: 0x7680 for SCREEN 5 and 6, 0xFA80 for the others.
int32_t PaletteTableAddress(int32_t mode);

// True when dataSize reaches the end of the current mode's palette table.
bool PaletteTablePresent();

// Mode selection: reinterprets the bytes, which are not touched. Returns false (and changes
// nothing) for an index outside 0..5. The caller rebuilds the display.
bool SelectScreenMode(int32_t mode);
