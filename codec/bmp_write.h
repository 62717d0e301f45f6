// A 24-bit Windows bitmap from RGB pixels, for pictures the display bitmap does not cover
// whole (a COPY block's rectangle).
#pragma once

#include <cstdint>
#include <vector>

// Writes a BI_RGB bottom-up BMP of width x height (each at least 1, at most 16384) from rgb (red,
// green, blue, top line first) into *bmp, with the 256-wide modes' pixels per metre.
void EncodeBmpRgb(const uint8_t* rgb, int32_t width, int32_t height, std::vector<uint8_t>* bmp);
