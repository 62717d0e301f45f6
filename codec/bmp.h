// Windows and OS/2 bitmaps (BMP) decoded from memory, for import.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "codec/image.h"

// Windows and OS/2 bitmaps: 1, 4 and 8 bits through a colour table, 16, 24 and 32 bits plain or
// with bit-field masks (an alpha mask is composited over black), bottom-up or top-down.
// Run-length (BI_RLE4/8) and embedded JPEG/PNG bitmaps are refused as unsupported. False with
// *error set to a sentence for the user when the bytes cannot be decoded; *image is then empty.
// The pixel aspect is the info header's pixels per metre down over across (1 for OS/2's
// 12-byte header, which has none).
bool DecodeBmp(const uint8_t* bytes, size_t size, RgbImage* image, std::string* error);
