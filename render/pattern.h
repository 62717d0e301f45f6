// The MSX1 pattern modes (SCREEN 1 to 4) as pixels: each of the 256 x 192 pixels' colour code
// 0-15, read from the name, pattern and colour tables as the TMS9918 reads them. Sprites are
// not drawn: a picture file holds the screen, and its sprites are whatever a program left.
#pragma once

#include <cstdint>

#include "image/picture.h"

// The colour codes of line `line` (0-191, top first) of a pattern-mode picture, 256 of them, as
// the 128 bytes of a 4-bit row (high nibble left). The picture's store holds every table
// (its capacity is at least 0x6A00 bytes, past the last table at 0x37FF). Any other mode gives
// a row of zeros.
void PatternRow(const Picture& picture, int32_t line, uint8_t* row);

// The TMS9918's own colours, as RGBQUADs (blue, green, red, 0): what an MSX1 shows, where an
// MSX2 shows its palette. Colour 0 is transparent on the chip and shows the border; here it is
// black, as colour 1 is.
extern const uint8_t kTms9918Colours[64];
