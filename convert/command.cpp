// The conversion command and the table of what each mode offers, shared by the viewer's menu
// and accelerators and the command-line tool.
#include "convert/convert.h"

namespace {

// The code for target mode t in nibble t of the table word.
constexpr uint32_t Offer(ScreenMode target, Conversion code) {
    return static_cast<uint32_t>(code) << (4 * target);
}

}  // namespace

uint32_t ConversionTableForMode(ScreenMode mode) {
    switch (mode) {
        case kScreen5:  // GRAPHIC4
            return Offer(kScreen6, kConvert5To6) | Offer(kScreen7, kConvert5To7) |
                   Offer(kScreen8, kConvert5To8) | Offer(kScreen10, kConvert5To10);
        case kScreen6:  // GRAPHIC5
            return Offer(kScreen5, kConvert6To5) | Offer(kScreen7, kConvert6To7) |
                   Offer(kScreen8, kConvert6To8) | Offer(kScreen10, kConvert6To10);
        case kScreen7:  // GRAPHIC6
            return Offer(kScreen6, kConvert7To6) | Offer(kScreen8, kConvert7To8);
        case kScreen8:  // GRAPHIC7 offers nothing
            return 0;
        case kScreen10:  // both YJK modes: to SCREEN 10; SCREEN 12 is never a target
        case kScreen12:
            return Offer(kScreen10, kConvertYjkTo10);
        case kScreen1:  // the MSX1 pattern modes are shown, not converted
        case kScreen2:
        case kScreen3:
        case kScreen4:
        case kScreenModeCount:
            break;
    }
    return 0;
}

int32_t ConversionCode(ScreenMode from, int32_t to) {
    // Only the bitmap modes are targets: the table has a nibble for each of them.
    if (to < 0 || to >= kBitmapModeCount) return 0;
    return static_cast<int32_t>((ConversionTableForMode(from) >> (4 * to)) & 15);
}

bool ConvertToMode(Picture* picture, int32_t target) {
    // The accelerators reach targets whose menu item is greyed (code 0), and those do nothing.
    const int32_t code = ConversionCode(picture->screenMode, target);
    if (code == kConvertNone) return false;
    ConvertScreenMode(picture, code);
    picture->screenMode = static_cast<ScreenMode>(target);
    ApplyPaletteFallback(picture);
    return true;
}
