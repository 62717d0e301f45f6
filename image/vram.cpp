#include "image/vram.h"

#include <cstdlib>

const ScreenModeInfo kScreenModes[kScreenModeCount] = {
    {"SCREEN 5", 256, 128, kSmallPaletteTable, "sc5"},
    {"SCREEN 6", 512, 128, kSmallPaletteTable, "sc6"},
    {"SCREEN 7", 512, 256, kLargePaletteTable, "sc7"},
    {"SCREEN 8", 256, 256, kLargePaletteTable, "sc8"},
    {"SCREEN 10/11", 256, 256, kLargePaletteTable, "sca"},
    {"SCREEN 12", 256, 256, kLargePaletteTable, "scc"},
};

VramImage vramImage;
int32_t screenMode;

uint8_t* AllocateVram(int32_t size) {
    // Sizes come from 16-bit BSAVE addresses and the conversions, never above 64 KiB; a
    // negative size is treated as 0 so that the capacity rule holds whatever the caller did.
    if (size < 0) size = 0;
    int32_t capacity = size <= kSmallBitmapBytes ? kSmallBitmapBytes : (size + 255) & ~255;
    uint8_t* buffer = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(capacity), 1));
    if (buffer == nullptr) std::abort();  // at most 64 KiB: nothing sensible is left to do
    vramImage.data = buffer;
    vramImage.capacity = capacity;
    vramImage.dataSize = size;
    vramImage.imageSize = size >= kLargeBitmapBytes ? kLargeBitmapBytes : size;
    return buffer;
}

void FreeVram(uint8_t* buffer) { std::free(buffer); }

int32_t PaletteTableAddress(int32_t mode) {
    switch (mode) {
        case kScreen5:
        case kScreen6:
            return kSmallPaletteTable;
        case kScreen7:
        case kScreen8:
        case kScreen10:
        case kScreen12:
            return kLargePaletteTable;
        default:
            return kLargePaletteTable;
    }
}

bool PaletteTablePresent() {
    return vramImage.dataSize >= PaletteTableAddress(screenMode) + kPaletteTableBytes;
}

bool SelectScreenMode(int32_t mode) {
    if (mode < 0 || mode >= kScreenModeCount) return false;
    screenMode = mode;
    return true;
}
