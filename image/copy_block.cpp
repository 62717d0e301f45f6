// BASIC's COPY blocks (see bsave.h): a rectangle of pixels saved with its size.
#include <cstring>

#include "codec/endian.h"
#include "image/bsave.h"

namespace {

constexpr size_t kBlockHeaderBytes = 4;

// Bits a pixel in a bitmap mode, 0 for the pattern modes (which COPY does not work in).
int32_t BitsPerPixel(ScreenMode mode) {
    switch (mode) {
        case kScreen5:  // GRAPHIC4 and GRAPHIC6: two pixels a byte
        case kScreen7:
            return 4;
        case kScreen6:  // GRAPHIC5: four
            return 2;
        case kScreen8:  // GRAPHIC7 and the YJK modes: one
        case kScreen10:
        case kScreen12:
            return 8;
        case kScreen1:
        case kScreen2:
        case kScreen3:
        case kScreen4:
        case kScreenModeCount:
            break;
    }
    return 0;
}

// A plain BSAVE file whose body is exactly its range: such bytes are that file, not a block
// whose width happens to start with 0xFE.
bool IsExactBsave(const uint8_t* bytes, size_t size) {
    if (size < static_cast<size_t>(kBsaveHeaderBytes) || bytes[0] != kBsavePlain) return false;
    const BsaveHeader header = ParseBsaveHeader(bytes);
    return header.endAddress >= header.startAddress &&
           size == static_cast<size_t>(kBsaveHeaderBytes) + header.endAddress - header.startAddress + 1;
}

}  // namespace

bool IsCopyBlock(const uint8_t* bytes, size_t size, ScreenMode mode) {
    const int32_t bits = BitsPerPixel(mode);
    if (bits == 0 || size <= kBlockHeaderBytes || IsExactBsave(bytes, size)) return false;
    const uint32_t width = Get16(bytes);
    const uint32_t height = Get16(bytes + 2);
    const ScreenModeInfo& info = ScreenModeOf(mode);
    if (width == 0 || height == 0 || width > static_cast<uint32_t>(info.width) ||
        height > static_cast<uint32_t>(info.lines)) {
        return false;
    }
    return size == kBlockHeaderBytes + (width * height * bits + 7) / 8;
}

bool LoadCopyBlockBytes(const uint8_t* bytes, size_t size, ScreenMode mode, Picture* picture) {
    if (!IsCopyBlock(bytes, size, mode)) return false;
    const int32_t width = static_cast<int32_t>(Get16(bytes));
    const int32_t height = static_cast<int32_t>(Get16(bytes + 2));
    const ScreenModeInfo& info = ScreenModeOf(mode);
    const int32_t bits = BitsPerPixel(mode);
    const int32_t perByte = 8 / bits;
    Picture loaded;
    uint8_t* vram = AllocateVram(&loaded, info.bytesPerLine * info.lines);
    const uint8_t* pixels = bytes + kBlockHeaderBytes;
    // Pixel i of the stream is pixel (i % width, i / width) of the block; within a byte the
    // leftmost pixel is in the high bits, in the file as in VRAM.
    for (int32_t i = 0; i < width * height; ++i) {
        const int32_t shift = 8 - bits * (i % perByte + 1);
        const uint32_t value = (pixels[i / perByte] >> shift) & ((1u << bits) - 1);
        const int32_t x = i % width;
        const int32_t y = i / width;
        uint8_t& target = vram[y * info.bytesPerLine + x / perByte];
        const int32_t at = 8 - bits * (x % perByte + 1);
        target = static_cast<uint8_t>((target & ~(((1u << bits) - 1) << at)) | value << at);
    }
    loaded.screenMode = mode;
    loaded.modeByName = true;
    loaded.blockWidth512 = width * (512 / info.width);
    loaded.blockLines = height;
    loaded.paletteIndex = kPaletteStandard;
    *picture = std::move(loaded);
    return true;
}
