// Format signatures and alpha compositing, shared by every decoder.
#include "codec/image.h"

#include <cstring>

ImageFormat SniffImageFormat(const uint8_t* bytes, size_t size) {
    if (size >= sizeof kPngSignature && std::memcmp(bytes, kPngSignature, sizeof kPngSignature) == 0) {
        return kImagePng;
    }
    if (size >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return kImageBmp;
    return kImageUnknown;
}

bool CheckImageSize(const char* kind, int64_t width, int64_t height, std::string* error) {
    const std::string image = std::string("the ") + kind + " image is " + std::to_string(width) +
                              " x " + std::to_string(height) + " pixels: ";
    if (width > kImageMaxSide || height > kImageMaxSide) {
        *error = image + "at most " + std::to_string(kImageMaxSide) + " pixels a side";
        return false;
    }
    if (width * height > kImageMaxPixels) {
        *error = image + "at most " + std::to_string(kImageMaxPixels) + " pixels (" +
                 std::to_string(kImageMaxPixels >> 20) + " Mpixel) in all";
        return false;
    }
    return true;
}

void CompositeOverBlack(const uint8_t* pixels, size_t count, AlphaLayout layout, uint8_t* rgb) {
    // Red sits at byte 0 of an RGBA pixel and at byte 2 of a BGRA one.
    const int red = layout == kLayoutBgra ? 2 : 0;
    const int step = layout == kLayoutBgra ? -1 : 1;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = pixels + 4 * i;
        const uint32_t alpha = p[3];
        for (int c = 0; c < 3; ++c) {
            rgb[3 * i + c] = static_cast<uint8_t>((p[red + step * c] * alpha + 127) / 255);
        }
    }
}
