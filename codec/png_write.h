// PNG encoding, the same bytes on every platform (decoding, in platform/image_read.h, is the
// platform's own: libpng on Linux, the Windows Imaging Component on Windows).
#pragma once

#include <cstdint>
#include <vector>

// A picture as PNG stores it: palette pixels of 4 or 8 bits (up to 16 or 256 RGB palette
// entries), or 8-bit RGB. Rows are top line first, `stride` bytes apart; 4-bit rows hold two
// pixels a byte, the left one in the high nibble (PNG's own order).
enum PngColour : int32_t {
    kPngIndexed = 0,  // colour type 3
    kPngRgb = 1,      // colour type 2
};

struct PngImage {
    int32_t width = 0;
    int32_t height = 0;
    PngColour colour = kPngRgb;
    int32_t bitDepth = 8;     // 4 or 8 for kPngIndexed, 8 for kPngRgb
    int32_t paletteSize = 0;  // kPngIndexed: entries used in palette (1 .. 1 << bitDepth)
    uint8_t palette[256 * 3] = {};  // red, green, blue
    int32_t stride = 0;             // bytes from one row to the next
    std::vector<uint8_t> pixels;    // height rows of stride bytes
    // pHYs: pixels per metre across and down; written only when both are nonzero.
    uint32_t pixelsPerMetreX = 0;
    uint32_t pixelsPerMetreY = 0;
};

// Encodes `image` as the bytes of a PNG file into *png (replacing its contents). False, with *png
// empty, when the image is malformed (sizes, bit depth, palette) or the encoder fails.
bool EncodePng(const PngImage& image, std::vector<uint8_t>* png);

// Encodes width x height 8-bit RGB pixels (top line first, red, green, blue) as the bytes of a
// PNG file into *png (replacing its contents). False, with *png empty, when the encoder fails.
bool EncodePngRgb(const uint8_t* rgb, int32_t width, int32_t height, std::vector<uint8_t>* png);

// Whether image's fields are consistent.
bool PngImageValid(const PngImage& image);

