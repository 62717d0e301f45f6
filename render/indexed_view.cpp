// The pane's picture as a PNG image description (see indexed_view.h).
#include "render/indexed_view.h"

#include <cstddef>
#include <cstring>

#include "codec/endian.h"

namespace {

constexpr size_t kInfoHeaderSize = 40;

// The DIB colour table (blue, green, red, reserved) as PNG's red, green, blue.
void CopyColourTable(const uint8_t* table, int32_t entries, PngImage* image) {
    image->paletteSize = entries;
    for (int32_t i = 0; i < entries; ++i) {
        image->palette[3 * i] = table[4 * i + 2];
        image->palette[3 * i + 1] = table[4 * i + 1];
        image->palette[3 * i + 2] = table[4 * i];
    }
}

// Output line y of source line (bottom-up rows).
const uint8_t* SourceRow(const uint8_t* bits, int32_t stride, int32_t lines, int32_t line) {
    return bits + static_cast<size_t>(lines - 1 - line) * stride;
}

// 4 or 8 bits a pixel: the rows as they are (PNG packs 4-bit pixels high nibble first, as the
// DIB does), or each pixel twice across.
void CopyIndexedRows(const uint8_t* bits, int32_t srcStride, int32_t lines, int32_t yScale,
                     bool doubleAcross, PngImage* image) {
    for (int32_t y = 0; y < image->height; ++y) {
        const uint8_t* src = SourceRow(bits, srcStride, lines, y / yScale);
        uint8_t* dst = image->pixels.data() + static_cast<size_t>(y) * image->stride;
        if (!doubleAcross) {
            std::memcpy(dst, src, static_cast<size_t>(image->stride));
        } else if (image->bitDepth == 4) {
            for (int32_t i = 0; i < image->stride; ++i) {  // source nibble i -> byte i
                const uint8_t n = (i & 1) != 0 ? src[i >> 1] & 15 : src[i >> 1] >> 4;
                dst[i] = static_cast<uint8_t>(n << 4 | n);
            }
        } else {
            for (int32_t i = 0; i < image->stride; ++i) dst[i] = src[i >> 1];
        }
    }
}

// A small open-addressing table from 24-bit colours to palette indices: 1024 slots for at most
// 256 colours keeps it at most a quarter full.
struct ColourIndex {
    static constexpr uint32_t kSlots = 1024;
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;
    uint32_t key[kSlots];
    uint8_t value[kSlots];
    int32_t count = 0;

    ColourIndex() { std::memset(key, 0xFF, sizeof key); }

    // The index of colour (0xRRGGBB), added when new; -1 once a 257th colour appears.
    int32_t Find(uint32_t colour, PngImage* image) {
        uint32_t slot = (colour * 2654435761u) >> 22;  // the top 10 bits
        while (key[slot] != kEmpty) {
            if (key[slot] == colour) return value[slot];
            slot = (slot + 1) & (kSlots - 1);
        }
        if (count == 256) return -1;
        key[slot] = colour;
        value[slot] = static_cast<uint8_t>(count);
        image->palette[3 * count] = static_cast<uint8_t>(colour >> 16);
        image->palette[3 * count + 1] = static_cast<uint8_t>(colour >> 8);
        image->palette[3 * count + 2] = static_cast<uint8_t>(colour);
        return count++;
    }
};

// 24 bits a pixel (blue, green, red): palette pixels when at most 256 colours appear, giving up
// at the 257th, RGB otherwise. Each source line is read once however often it is repeated.
void Convert24(const uint8_t* bits, int32_t srcStride, int32_t srcWidth, int32_t lines,
               int32_t xScale, int32_t yScale, PngImage* image) {
    ColourIndex index;
    image->colour = kPngIndexed;
    image->bitDepth = 8;
    image->stride = image->width;
    image->pixels.resize(static_cast<size_t>(image->stride) * image->height);
    bool fits = true;
    for (int32_t line = 0; line < lines && fits; ++line) {
        const uint8_t* src = SourceRow(bits, srcStride, lines, line);
        uint8_t* dst = image->pixels.data() + static_cast<size_t>(line) * yScale * image->stride;
        uint32_t last = ColourIndex::kEmpty;
        uint8_t lastIndex = 0;
        for (int32_t x = 0; x < srcWidth; ++x) {
            const uint32_t colour =
                static_cast<uint32_t>(src[3 * x + 2]) << 16 | src[3 * x + 1] << 8 | src[3 * x];
            if (colour != last) {  // YJK pictures run in groups of four similar pixels
                const int32_t i = index.Find(colour, image);
                if (i < 0) {
                    fits = false;
                    break;
                }
                last = colour;
                lastIndex = static_cast<uint8_t>(i);
            }
            for (int32_t k = 0; k < xScale; ++k) dst[x * xScale + k] = lastIndex;
        }
        for (int32_t k = 1; k < yScale && fits; ++k) {
            std::memcpy(dst + static_cast<size_t>(k) * image->stride, dst,
                        static_cast<size_t>(image->stride));
        }
    }
    if (fits) {
        image->paletteSize = index.count;
        return;
    }
    image->colour = kPngRgb;
    image->paletteSize = 0;
    image->stride = image->width * 3;
    image->pixels.resize(static_cast<size_t>(image->stride) * image->height);
    for (int32_t y = 0; y < image->height; ++y) {
        const uint8_t* src = SourceRow(bits, srcStride, lines, y / yScale);
        uint8_t* dst = image->pixels.data() + static_cast<size_t>(y) * image->stride;
        for (int32_t x = 0; x < srcWidth; ++x) {  // the bitmap's blue, green, red to PNG's order
            for (int32_t k = 0; k < xScale; ++k, dst += 3) {
                dst[0] = src[3 * x + 2];
                dst[1] = src[3 * x + 1];
                dst[2] = src[3 * x];
            }
        }
    }
}

}  // namespace

bool BuildIndexedView(const uint8_t* bitmapInfo, const uint8_t* bits, ViewSize view,
                      PngImage* image) {
    const int32_t srcWidth = Get32(bitmapInfo + 4);
    const int32_t lines = Get32(bitmapInfo + 8);  // positive: bottom-up
    const int32_t bitsPerPixel = Get16(bitmapInfo + 14);
    const int32_t compression = Get32(bitmapInfo + 16);
    if (Get32(bitmapInfo) != kInfoHeaderSize || compression != 0 ||
        srcWidth <= 0 || srcWidth > 4096 || lines <= 0 || lines > 4096 ||
        (bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24)) {
        return false;
    }
    switch (view) {
        case kViewFull:
            image->width = srcWidth;
            image->height = lines;
            break;
        case kViewSmall:
            image->width = 256;
            image->height = lines;
            break;
        case kViewLarge:
            image->width = 512;
            image->height = 2 * lines;
            break;
        default:
            return false;
    }
    const int32_t xScale = image->width / srcWidth;
    const int32_t yScale = image->height / lines;
    if (xScale < 1 || xScale > 2 || xScale * srcWidth != image->width) return false;
    const int32_t srcStride = (srcWidth * bitsPerPixel + 31) / 32 * 4;
    const uint8_t* table = bitmapInfo + kInfoHeaderSize;

    const bool halfWidth = view == kViewFull && srcWidth == 512;
    image->pixelsPerMetreX = halfWidth ? kPhysHalfWidthX : 0;
    image->pixelsPerMetreY = halfWidth ? kPhysHalfWidthY : 0;
    switch (bitsPerPixel) {
        case 4:
        case 8:
            image->colour = kPngIndexed;
            image->bitDepth = bitsPerPixel;
            CopyColourTable(table, 1 << bitsPerPixel, image);
            image->stride = (image->width * bitsPerPixel + 7) / 8;
            image->pixels.resize(static_cast<size_t>(image->stride) * image->height);
            CopyIndexedRows(bits, srcStride, lines, yScale, xScale == 2, image);
            return true;
        default:  // 24
            Convert24(bits, srcStride, srcWidth, lines, xScale, yScale, image);
            return true;
    }
}
