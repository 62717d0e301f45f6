// Mode conversion: rewrites the picture's bytes from the current mode's layout into another's.
//
// Codes (source -> target), as a mode offers them (ConversionTableForMode):
//    1  SCREEN 5 -> 7   each pixel doubled                  7  SCREEN 7 -> 8   pixel pairs averaged
//    2  SCREEN 5 -> 8   palette colours fixed in the bytes  8  SCREEN 6 -> 8   chain: 5, then 7
//    3  SCREEN 5 -> 10  palette-colour (YAE) pixels         9  SCREEN 6 -> 5   palette computed
//    4  SCREEN 6 -> 10  chain: 9, then 3                   10  SCREEN 7 -> 6   low two bits kept
//    5  SCREEN 6 -> 7   2-bit pixels to 4-bit              11  SCREEN 10/11 or 12 -> 10: bit 3 cleared
//    6  SCREEN 5 -> 6   low two bits kept, pixels doubled
#pragma once

#include <cstdint>

#include "image/picture.h"

// The conversion codes by name (the numbers are what ConversionTableForMode packs, 4 bits each).
enum Conversion : int32_t {
    kConvertNone = 0,
    kConvert5To7 = 1,      // SCREEN 5 -> 7 (GRAPHIC4 -> GRAPHIC6)
    kConvert5To8 = 2,      // SCREEN 5 -> 8 (GRAPHIC4 -> GRAPHIC7)
    kConvert5To10 = 3,     // SCREEN 5 -> 10 (GRAPHIC4 -> YJK + YAE)
    kConvert6To10 = 4,     // SCREEN 6 -> 10 (GRAPHIC5 -> YJK + YAE)
    kConvert6To7 = 5,      // SCREEN 6 -> 7 (GRAPHIC5 -> GRAPHIC6)
    kConvert5To6 = 6,      // SCREEN 5 -> 6 (GRAPHIC4 -> GRAPHIC5)
    kConvert7To8 = 7,      // SCREEN 7 -> 8 (GRAPHIC6 -> GRAPHIC7)
    kConvert6To8 = 8,      // SCREEN 6 -> 8 (GRAPHIC5 -> GRAPHIC7)
    kConvert6To5 = 9,      // SCREEN 6 -> 5 (GRAPHIC5 -> GRAPHIC4)
    kConvert7To6 = 10,     // SCREEN 7 -> 6 (GRAPHIC6 -> GRAPHIC5)
    kConvertYjkTo10 = 11,  // SCREEN 10/11 or 12 -> 10: the YAE attribute bit cleared
};

// The conversion codes offered from a mode, one 4-bit code per target mode index t in bits
// 4t..4t+3 (0 = not offered).
uint32_t ConversionTableForMode(ScreenMode mode);

// The conversion code from mode `from` to mode `to` (a bitmap mode, 0..5), 0 when not offered
// (and for every pattern mode, which offers nothing).
int32_t ConversionCode(ScreenMode from, int32_t to);

// Runs conversion code 1..11 (a Conversion) on the picture. Precondition: the picture's mode is the code's
// source. Does not set the final screenMode.
void ConvertScreenMode(Picture* picture, int32_t code);

// The conversion command: with the code the picture's mode offers for target mode index t,
// converts and sets screenMode = t, returning true; with code 0 does nothing and returns false.
// The caller rebuilds the display.
bool ConvertToMode(Picture* picture, int32_t target);
