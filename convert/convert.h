// Mode conversion: rewrites the picture's bytes from the current mode's layout into another's.
//
// Codes (source -> target), as the display build offers them in conversionTable:
//    1  SCREEN 5 -> 7   each pixel doubled                  7  SCREEN 7 -> 8   pixel pairs averaged
//    2  SCREEN 5 -> 8   palette colours fixed in the bytes  8  SCREEN 6 -> 8   chain: 5, then 7
//    3  SCREEN 5 -> 10  palette-colour (YAE) pixels         9  SCREEN 6 -> 5   palette computed
//    4  SCREEN 6 -> 10  chain: 9, then 3                   10  SCREEN 7 -> 6   low two bits kept
//    5  SCREEN 6 -> 7   2-bit pixels to 4-bit              11  SCREEN 10/11 or 12 -> 10: bit 3 cleared
//    6  SCREEN 5 -> 6   low two bits kept, pixels doubled
// Chain codes are those with the low two bits zero: first step code ^ 13, then code - 1.
#pragma once

#include <cstdint>

// Runs conversion code 1..11 on the image store. Precondition: screenMode is the code's source.
// Does not set the final screenMode nor rebuild the display.
void ConvertScreenMode(int32_t code);

// The conversion command: takes the code for target mode index t from conversionTable; with
// code 0 does nothing and returns false. Otherwise converts, sets screenMode = t, rebuilds the
// display and returns true.
bool ConvertToMode(int32_t target);
