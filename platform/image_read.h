// Decoding modern pictures for import: PNG by the platform's own means (libpng on Linux, the
// Windows Imaging Component on Windows), BMP by the portable decoder in codec/bmp.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "codec/image.h"

// Any PNG (palette, grey, grey + alpha, RGB, RGBA, 1 to 16 bits, interlaced) to 8-bit RGB.
// False with *error set to a sentence for the user (and *image emptied) when the bytes are not a
// PNG the decoder accepts: truncated, bad CRC of a critical chunk, too large, ...
bool DecodePng(const uint8_t* bytes, size_t size, RgbImage* image, std::string* error);

// A PNG or BMP file image, told apart by its signature whatever the file is called.
bool DecodeImage(const uint8_t* bytes, size_t size, RgbImage* image, std::string* error);
