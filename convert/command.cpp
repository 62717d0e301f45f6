// The conversion command, shared by the viewer's menu and accelerators and the command-line tool.
#include "convert/convert.h"

#include "image/vram.h"
#include "render/display.h"

bool ConvertToMode(int32_t target) {
    if (target < 0 || target >= kScreenModeCount) return false;
    // The code offered for this target by the mode the picture is shown in; the accelerators
    // reach targets whose menu item is greyed, and those do nothing.
    int32_t code = static_cast<int32_t>((conversionTable >> (4 * target)) & 15);
    if (code == 0) return false;
    ConvertScreenMode(code);
    screenMode = target;
    RebuildDisplayBitmap();
    return true;
}
