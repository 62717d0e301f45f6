// PNG encoding, by the platform's own means: libpng on Linux, the Windows Imaging Component on
// Windows.
#pragma once

#include <cstdint>
#include <vector>

// Encodes width x height 8-bit RGB pixels (top line first, red, green, blue) as the bytes of a
// PNG file into *png (replacing its contents). False, with *png empty, when the encoder fails.
bool EncodePngRgb(const uint8_t* rgb, int32_t width, int32_t height, std::vector<uint8_t>* png);
