// What both PNG encoders share: the checks they make before they start, and the RGB entry.
#include "platform/png.h"

#include <cstddef>

bool PngFilterRows(const PngImage& image, const PngCompression& compression) {
    if (image.colour != kPngIndexed) return kPngFilterRgb;
    if (compression.filterIndexed == 0 || compression.filterIndexed == 1) return compression.filterIndexed == 1;
    return kPngFilterIndexed;
}

bool PngImageValid(const PngImage& image) {
    // PNG allows up to 2^31-1; our pictures are at most 512 x 424, and the limit keeps every
    // product below in range.
    if (image.width <= 0 || image.height <= 0 || image.width > 65535 || image.height > 65535) {
        return false;
    }
    int32_t rowBytes = 0;
    switch (image.colour) {
        case kPngIndexed:
            if (image.bitDepth != 4 && image.bitDepth != 8) return false;
            if (image.paletteSize < 1 || image.paletteSize > (1 << image.bitDepth)) return false;
            rowBytes = (image.width * image.bitDepth + 7) / 8;
            break;
        case kPngRgb:
            if (image.bitDepth != 8) return false;
            rowBytes = image.width * 3;
            break;
        default:
            return false;
    }
    if (image.stride < rowBytes) return false;
    // The last row need not be padded to the stride.
    const size_t needed = static_cast<size_t>(image.stride) * (image.height - 1) + rowBytes;
    return image.pixels.size() >= needed;
}

// The RGB entry, over EncodePng.
bool EncodePngRgb(const uint8_t* rgb, int32_t width, int32_t height, std::vector<uint8_t>* png) {
    png->clear();
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535) return false;
    PngImage image;
    image.width = width;
    image.height = height;
    image.stride = width * 3;
    image.pixels.assign(rgb, rgb + static_cast<size_t>(image.stride) * height);
    return EncodePng(image, png);
}
