// Modern pictures as import input: PNG (by the platform's decoder) and Windows BMP (here, on
// bytes), recognised by their signature whatever the file is called.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/image_read.h"

enum ImageFormat : int32_t {
    kImageUnknown = 0,
    kImagePng = 1,  // 89 50 4E 47 0D 0A 1A 0A
    kImageBmp = 2,  // "BM"
};

ImageFormat SniffImageFormat(const uint8_t* bytes, size_t size);

// Windows and OS/2 bitmaps: 1, 4 and 8 bits through a colour table, 16, 24 and 32 bits plain or
// with bit-field masks (an alpha mask is composited over black), bottom-up or top-down.
// Run-length (BI_RLE4/8) and embedded JPEG/PNG bitmaps are refused as unsupported. False with
// *error set to a sentence for the user when the bytes cannot be decoded; *image is then empty.
bool DecodeBmp(const uint8_t* bytes, size_t size, RgbImage* image, std::string* error);

// A PNG or BMP file image by its signature.
bool DecodeImage(const uint8_t* bytes, size_t size, RgbImage* image, std::string* error);
