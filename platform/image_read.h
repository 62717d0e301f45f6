// Decoded pictures for import, and PNG decoding by the platform's own means: libpng on Linux,
// the Windows Imaging Component on Windows. (BMP is decoded by the core: convert/image_decode.h.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// width x height 8-bit sRGB pixels, top line first, red, green, blue. Transparency has been
// composited over black (each channel times alpha / 255, rounded).
struct RgbImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;
};

// Limits checked before anything is allocated from a header's claim.
constexpr int32_t kImageMaxSide = 16384;
constexpr int64_t kImageMaxPixels = int64_t{1} << 26;  // 64 Mpixel: 192 MiB of RGB at most

// Any PNG (palette, grey, grey + alpha, RGB, RGBA, 1 to 16 bits, interlaced) to 8-bit RGB.
// False with *error set to a sentence for the user (and *image emptied) when the bytes are not a
// PNG the decoder accepts: truncated, bad CRC of a critical chunk, too large, ...
bool DecodePng(const uint8_t* bytes, size_t size, RgbImage* image, std::string* error);
