// PNG encoding, by the platform's own means: libpng on Linux, the Windows Imaging Component on
// Windows.
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

// The measured choice of compression (figures in the README). WIC has no zlib level to set; it
// follows the filter choice only.
constexpr int32_t kPngLevelIndexed = 4;
constexpr int32_t kPngLevelRgb = 6;
constexpr bool kPngFilterIndexed = false;  // palette rows: no filter
// RGB rows (YJK pictures of more than 256 colours): no filter either. YJK shares J and K over
// groups of four pixels, so colours step every fourth pixel, and the neighbour predictors
// (sub, up, average, Paeth) that libpng's adaptive choice picks from make real pictures larger:
// msxgl_IMAGE01.s12 takes 65,938 bytes filtered and 47,702 unfiltered at level 6.
constexpr bool kPngFilterRgb = false;

// Overrides of that choice, for measuring it.
struct PngCompression {
    int32_t level = -1;          // zlib level 1 .. 9; other values: the choice above
    int32_t filterIndexed = -1;  // 0: no filter, 1: adaptive; other values: the choice above
    int32_t strategy = -1;       // zlib strategy 0 .. 3 (default, filtered, Huffman only, RLE);
                                 // other values: libpng's own (filtered when rows are filtered)
};

// Encodes `image` as the bytes of a PNG file into *png (replacing its contents). False, with *png
// empty, when the image is malformed (sizes, bit depth, palette) or the encoder fails.
bool EncodePng(const PngImage& image, std::vector<uint8_t>* png,
               const PngCompression& compression = PngCompression());

// Encodes width x height 8-bit RGB pixels (top line first, red, green, blue) as the bytes of a
// PNG file into *png (replacing its contents). False, with *png empty, when the encoder fails.
bool EncodePngRgb(const uint8_t* rgb, int32_t width, int32_t height, std::vector<uint8_t>* png);

// Whether image's fields are consistent (shared by both encoders).
bool PngImageValid(const PngImage& image);

// Whether the rows of image are filtered: the choice above, or compression's override for
// palette rows.
bool PngFilterRows(const PngImage& image, const PngCompression& compression);
