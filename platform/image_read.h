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

// A PNG or BMP file image, told apart by its signature whatever the file is called, with the
// pixel aspect it declares (PngPixelAspect, DecodeBmp).
bool DecodeImage(const uint8_t* bytes, size_t size, RgbImage* image, std::string* error);

// The bytes decoding a file image will allocate at its peak, from its header's claim: a BMP's
// RGB and alpha plane (4 a pixel), a PNG's as this platform's decoder holds it
// (PngDecodeBytesPerPixel). 0 for bytes that are refused before any allocation.
uint64_t DecodeBytesClaimed(const uint8_t* bytes, size_t size);

// Per pixel at the PNG decoder's peak: libpng's rows go straight into RGB (3), an interlaced
// image is held whole as RGBA first (7); the Windows Imaging Component's frame, our BGRA copy
// and the RGB (11).
uint64_t PngDecodeBytesPerPixel(bool interlaced);
