// bench/import's yardsticks (see import_reference.cpp): never part of the program.
#pragma once

#include <cstdint>
#include <vector>

struct RgbPicture {  // 8-bit sRGB, top line first
    int32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

struct BlurredScores {
    double plain;    // PSNR in 8-bit sRGB, dB
    double blurred;  // PSNR after a Gaussian blur of sigma 1 in linear light, dB
};

BlurredScores Measure(const RgbPicture& a, const RgbPicture& b);

// Textbook quantisers with linear-light Floyd-Steinberg: RGB of the same size.
std::vector<uint8_t> ReferenceScreen8(const RgbPicture& in);
std::vector<uint8_t> ReferenceScreen5(const RgbPicture& in);
