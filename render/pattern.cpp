// The TMS9918's pattern modes decoded line by line (see pattern.h).
#include "render/pattern.h"

#include <cstring>

namespace {

// Two colours for one byte of a pattern: bit 7 is the leftmost pixel, a 1 shows the colour
// byte's high nibble (the foreground), a 0 its low nibble. Writes 8 pixels as 4 bytes.
void PutPatternByte(uint8_t pattern, uint8_t colours, uint8_t* out) {
    const uint8_t fore = colours >> 4;
    const uint8_t back = colours & 15;
    for (int32_t pair = 0; pair < 4; ++pair, pattern = static_cast<uint8_t>(pattern << 2)) {
        const uint8_t left = (pattern & 0x80) != 0 ? fore : back;
        const uint8_t right = (pattern & 0x40) != 0 ? fore : back;
        out[pair] = static_cast<uint8_t>(left << 4 | right);
    }
}

// GRAPHIC1 (SCREEN 1): names at 0x1800; pattern n's 8 bytes at 8n; its colours in byte n / 8 of
// the 32-byte colour table at 0x2000.
void Graphic1Row(const uint8_t* vram, int32_t line, uint8_t* row) {
    const uint8_t* names = vram + 0x1800 + 32 * (line >> 3);
    for (int32_t column = 0; column < 32; ++column) {
        const uint8_t name = names[column];
        PutPatternByte(vram[8 * name + (line & 7)], vram[0x2000 + (name >> 3)], row + 4 * column);
    }
}

// GRAPHIC2 and GRAPHIC3 (SCREEN 2 and 4): names at 0x1800; each third of the screen (8 rows of
// cells) has its own 256 patterns at 0x0000 + 0x800 * third and colours at 0x2000 + 0x800 *
// third, one colour byte per pattern byte. MSX-BASIC sets R#3 = 0xFF and R#4 = 0x03, so no
// table is masked down to another's.
void Graphic2Row(const uint8_t* vram, int32_t line, uint8_t* row) {
    const uint8_t* names = vram + 0x1800 + 32 * (line >> 3);
    const int32_t third = 0x800 * (line >> 6);
    for (int32_t column = 0; column < 32; ++column) {
        const int32_t at = third + 8 * names[column] + (line & 7);
        PutPatternByte(vram[at], vram[0x2000 + at], row + 4 * column);
    }
}

// MULTICOLOR (SCREEN 3): names at 0x0800; a cell shows 2 x 2 blocks of 4 x 4 pixels from two
// bytes of its pattern, at 8n + 2 (row & 3): the first byte the upper blocks, the second the
// lower, each byte's high nibble the left block's colour and its low nibble the right's.
void MulticolorRow(const uint8_t* vram, int32_t line, uint8_t* row) {
    const int32_t cellRow = line >> 3;
    const uint8_t* names = vram + 0x0800 + 32 * cellRow;
    for (int32_t column = 0; column < 32; ++column) {
        const uint8_t blocks = vram[8 * names[column] + 2 * (cellRow & 3) + ((line >> 2) & 1)];
        const uint8_t left = blocks >> 4;
        const uint8_t right = blocks & 15;
        uint8_t* out = row + 4 * column;
        out[0] = out[1] = static_cast<uint8_t>(left << 4 | left);
        out[2] = out[3] = static_cast<uint8_t>(right << 4 | right);
    }
}

}  // namespace

void PatternRow(const Picture& picture, int32_t line, uint8_t* row) {
    const uint8_t* vram = picture.data.data();
    switch (picture.screenMode) {
        case kScreen1:  // GRAPHIC1
            Graphic1Row(vram, line, row);
            return;
        case kScreen2:  // GRAPHIC2
        case kScreen4:  // GRAPHIC3: the same tables, sprite mode 2
            Graphic2Row(vram, line, row);
            return;
        case kScreen3:  // MULTICOLOR
            MulticolorRow(vram, line, row);
            return;
        case kScreen5:
        case kScreen6:
        case kScreen7:
        case kScreen8:
        case kScreen10:
        case kScreen12:
        case kScreenModeCount:
            break;
    }
    std::memset(row, 0, 128);
}

// The TMS9918A data manual gives each colour as a luminance Y and two colour-difference levels
// R-Y and B-Y, 0.47 being no difference (its table of colour assignments). Read as YPbPr with
// Pr = (R-Y - 0.47) / 2 and Pb = (B-Y - 0.47) / 2: R = Y + 1.402 Pr, B = Y + 1.772 Pb,
// G = (Y - 0.299 R - 0.114 B) / 0.587, each times 255, rounded and clamped to 0..255.
const uint8_t kTms9918Colours[64] = {
    0x00, 0x00, 0x00, 0,  // 0 transparent (shown black)
    0x00, 0x00, 0x00, 0,  // 1 black
    0x4A, 0xB7, 0x40, 0,  // 2 medium green
    0x7E, 0xCF, 0x75, 0,  // 3 light green
    0xDE, 0x55, 0x59, 0,  // 4 dark blue
    0xEF, 0x77, 0x80, 0,  // 5 light blue
    0x51, 0x5F, 0xB8, 0,  // 6 dark red
    0xEE, 0xDB, 0x66, 0,  // 7 cyan
    0x5A, 0x66, 0xD9, 0,  // 8 medium red
    0x7E, 0x8A, 0xFD, 0,  // 9 light red
    0x60, 0xC3, 0xCC, 0,  // 10 dark yellow
    0x88, 0xD0, 0xDE, 0,  // 11 light yellow
    0x42, 0xA1, 0x3B, 0,  // 12 dark green
    0xB4, 0x67, 0xB6, 0,  // 13 magenta
    0xCC, 0xCC, 0xCC, 0,  // 14 grey
    0xFF, 0xFF, 0xFF, 0,  // 15 white
};
