// A picture: one picture's worth of MSX video memory, the screen mode it is read in and its
// palette state. A plain value: every operation takes the picture it works on.
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
// and the four pattern modes of the MSX1's TMS9918, which the V9938 keeps (256x192, 32x24 cells
// of 8x8 pixels; tables at the addresses MSX-BASIC sets):
//
//   6  SCREEN 1  (GRAPHIC1)   patterns 0x0000, names 0x1800, colours 0x2000 (one byte per 8
//                             patterns)                                          pal 0x2020
//   7  SCREEN 2  (GRAPHIC2)   patterns 0x0000-0x17FF, names 0x1800-0x1AFF, colours
//                             0x2000-0x37FF (one byte per pattern line), a table per third
//                                                                                pal 0x1B80
//   8  SCREEN 3  (MULTICOLOR) blocks 0x0000, names 0x0800: 4x4-pixel blocks of one colour
//                                                                                pal 0x2020
//   9  SCREEN 4  (GRAPHIC3)   the tables of SCREEN 2 (only its sprites differ)   pal 0x1B80
//
// The palette-table addresses are where MSX2 BASIC keeps its copy of the palette in each mode
// (MSX2 Technical Handbook, ASCII 1987, the VRAM maps of chapter 4); on an MSX1 those bytes are
// unused VRAM.
//
// The bitmap modes have 212 lines, the pattern modes 192, top line first. A SCREEN 6 pixel value p means palette colour 5*p
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
//
// Palette slots: 0 the standard palette, 1 the table inside VRAM at the current mode's address
// (a view: it follows mode changes and conversions), 2..9 the file palettes 0..7. Every
// operation here leaves paletteIndex on an available slot: a selection that becomes unavailable
// falls back to the standard palette.
#pragma once

#include <cstdint>
#include <vector>

#include "palette/palette.h"

enum ScreenMode : int32_t {
    kScreen5 = 0,   // GRAPHIC4
    kScreen6 = 1,   // GRAPHIC5
    kScreen7 = 2,   // GRAPHIC6
    kScreen8 = 3,   // GRAPHIC7
    kScreen10 = 4,  // SCREEN 10/11: YJK with the YAE attribute bit
    kScreen12 = 5,  // YJK
    kScreen1 = 6,   // GRAPHIC1: 32x24 patterns, two colours per group of eight patterns
    kScreen2 = 7,   // GRAPHIC2: 768 patterns, two colours per pattern line
    kScreen3 = 8,   // MULTICOLOR: 64x48 blocks of 4x4 pixels
    kScreen4 = 9,   // GRAPHIC3: GRAPHIC2 with sprite mode 2
    kScreenModeCount = 10,
};

// The viewer's modes, and the first index of the pattern modes.
constexpr int32_t kBitmapModeCount = 6;

// True for SCREEN 1 to 4, the MSX1 pattern modes.
constexpr bool IsPatternMode(int32_t mode) { return mode >= kBitmapModeCount && mode < kScreenModeCount; }

struct ScreenModeInfo {
    char name[16];          // "SCREEN 5" ... as the user knows it
    int32_t width;          // pixels per line
    int32_t lines;          // 212, or 192 for the pattern modes
    int32_t bytesPerLine;   // 128 or 256; 0 for the pattern modes
    int32_t paletteTable;   // VRAM address of the palette table
    int32_t savedBytes;     // VRAM bytes a saved file holds: 0 to the end of the last table
    char saveExtension[4];  // "sc5" ...
};

constexpr int32_t kScreenLines = 212;           // the bitmap modes
constexpr int32_t kPatternLines = 192;          // the pattern modes
constexpr int32_t kSmallBitmapBytes = 0x6A00;   // 212 lines x 128 bytes (SCREEN 5, 6)
constexpr int32_t kLargeBitmapBytes = 0xD400;   // 212 lines x 256 bytes (SCREEN 7, 8, 10-12)
constexpr int32_t kSmallPaletteTable = 0x7680;  // SCREEN 5, 6
constexpr int32_t kLargePaletteTable = 0xFA80;  // SCREEN 7, 8, 10/11, 12
constexpr int32_t kPaletteTableBytes = 32;
constexpr int32_t kVramSpace = 0x10000;         // 64 KiB: what a 16-bit BSAVE address reaches

// The facts of a mode (0..9).
const ScreenModeInfo& ScreenModeOf(int32_t mode);

// The 7-byte header of a BSAVE file (image/bsave.h describes it); type 0 for an empty file.
constexpr uint8_t kBsavePlain = 0xFE;
constexpr uint8_t kBsaveCompressed = 0xFD;
struct BsaveHeader {
    uint8_t type;
    uint16_t startAddress;
    uint16_t endAddress;
    uint16_t execAddress;
};

struct Picture {
    std::vector<uint8_t> data;  // the VRAM bytes; data.size() is the capacity (rule above)
    int32_t dataSize = 0;       // bytes the picture defines, counted from address 0
    int32_t imageSize = 0;      // dataSize capped at 0xD400 (always 0xD400 after a compressed load)
    ScreenMode screenMode = kScreen5;
    int32_t paletteIndex = kPaletteStandard;   // selected slot, 0..9
    MsxPalette filePalettes[kMaxFilePalettes] = {};
    int32_t filePaletteCount = 0;              // whole palettes of the last palette file, 0..8
    BsaveHeader loadedHeader = {};             // the header of the file the picture came from
    int32_t missingBytes = 0;                  // bytes the file's header announced but it lacked
    // A raw VRAM dump (no header at all): the page shown and how many the dump holds; 0 pages
    // for a BSAVE file.
    int32_t rawPage = 0;
    int32_t rawPages = 0;
    // The file's extension named its mode (false: the size rule or the tables' range chose it).
    bool modeByName = false;
    // A block saved by BASIC's COPY (x1,y1)-(x2,y2) TO "file": it sits at the top left of the
    // screen, and what is shown is cropped to it. Its width in 1/512ths of a line (so that it
    // holds in every mode it is read or converted in) and its lines; 0 for a whole screen.
    int32_t blockWidth512 = 0;
    int32_t blockLines = 0;
};

// Replaces the picture's bytes by a new zero-filled buffer of the capacity rule's size for
// `size` bytes, and sets dataSize = size and imageSize = min(size, 0xD400). Returns the bytes.
uint8_t* AllocateVram(Picture* picture, int32_t size);

// Palette-table address of a mode: 0x7680 for SCREEN 5 and 6, 0xFA80 for SCREEN 7 to 12,
// 0x2020 for SCREEN 1 and 3, 0x1B80 for SCREEN 2 and 4.
int32_t PaletteTableAddress(int32_t mode);

// True when dataSize reaches the end of the current mode's palette table.
bool PaletteTablePresent(const Picture& picture);

// The palette of a slot, or nullptr when the slot is not available.
const MsxPalette* GetPaletteSlot(const Picture& picture, int32_t slot);

// The selected palette (the standard one should the selection be unavailable).
const MsxPalette& CurrentPalette(const Picture& picture);

// Falls back to the standard palette when the selected slot is not available.
void ApplyPaletteFallback(Picture* picture);

// Selects a slot if it is available; returns whether it did. The caller rebuilds the display.
bool SelectPaletteSlot(Picture* picture, int32_t slot);

// Mode selection: reinterprets the bytes, which are not touched. Returns false (and changes
// nothing) for an index outside 0..9. The caller rebuilds the display.
bool SelectScreenMode(Picture* picture, int32_t mode);

// Takes the palettes of a palette file's bytes (after its BSAVE header, where it has one: see
// FindPaletteFileBody) and selects slot 2. Bytes shorter than one palette (32) are no palette
// file: false, and nothing changes. A reader passes at most kPaletteFileReadBytes.
bool LoadPaletteBytes(Picture* picture, const uint8_t* bytes, size_t size);

enum PaletteFileResult : int32_t {
    kPaletteFileLoaded,
    kPaletteFileCannotOpen,  // missing, unreadable, a folder
    kPaletteFileTooShort,    // shorter than one 32-byte palette: not a palette file
};

// Reads a palette file and takes its palettes; on failure nothing changes.
PaletteFileResult OpenPaletteFile(Picture* picture, const char* path);

// Which modes a reader knows: the viewer's six bitmap modes, or those and the pattern modes.
enum ModeFamily : int32_t { kBitmapModes, kAllModes };

// The mode a file's extension (without its "."; any case) names, and for sr5/sr7 the extension
// of the companion palette file ("pl5", "pl7"; nullptr for the others). With no extension
// that names a mode, the mode follows from dataSize.
struct ModeByName {
    ScreenMode screenMode;
    const char* companionExtension;
    bool byName;  // the extension named the mode (false: the size rule chose it)
};
ModeByName DetectScreenMode(const char* extension, int32_t dataSize,
                            ModeFamily family = kBitmapModes);

// The pattern mode a plain BSAVE file's range names when it is exactly the tables of one
// (0x0000-0x37FF or -0x3FFF: SCREEN 2; 0x0000-0x201F or -0x203F: SCREEN 1; 0x0000-0x0AFF:
// SCREEN 3), or -1.
int32_t PatternModeOfRange(const BsaveHeader& header);
