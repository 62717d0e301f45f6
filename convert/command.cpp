// The conversion command and the table of what each mode offers, shared by the viewer's menu
// and accelerators and the command-line tool.
#include "convert/convert.h"

uint32_t ConversionTableForMode(int32_t mode) {
    // Nibble t is the conversion code to mode index t (5, 6, 7, 8, 10, 12); 0 = not offered.
    switch (mode) {
        case kScreen5:  // to 6: 6, to 7: 1, to 8: 2, to 10: 3
            return 0x00032160;
        case kScreen6:  // to 5: 9, to 7: 5, to 8: 8, to 10: 4
            return 0x00048509;
        case kScreen7:  // to 6: 10, to 8: 7
            return 0x000070A0;
        case kScreen8:  // GRAPHIC7 offers nothing
            return 0x00000000;
        case kScreen10:  // both YJK modes: to SCREEN 10 (code 11); SCREEN 12 is never a target
        case kScreen12:
            return 0x000B0000;
    }
    return 0;
}

int32_t ConversionCode(int32_t from, int32_t to) {
    if (to < 0 || to >= kScreenModeCount) return 0;
    return static_cast<int32_t>((ConversionTableForMode(from) >> (4 * to)) & 15);
}

bool ConvertToMode(Picture* picture, int32_t target) {
    // The accelerators reach targets whose menu item is greyed (code 0), and those do nothing.
    const int32_t code = ConversionCode(picture->screenMode, target);
    if (code == 0) return false;
    ConvertScreenMode(picture, code);
    picture->screenMode = target;
    ApplyPaletteFallback(picture);
    return true;
}
