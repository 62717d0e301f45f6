// PNG encoding, the same on every platform: the chunks written here, the image data compressed
// by our own deflate encoder (codec/deflate.h). Palette and RGB rows are stored unfiltered:
// the figures in docs/PERFORMANCE.md show that no row filter pays for MSX pictures.
#include <cstddef>
#include <cstring>
#include <memory>

#include "codec/checksum.h"
#include "codec/deflate.h"
#include "codec/endian.h"
#include "codec/image.h"
#include "codec/png_write.h"

namespace {

// PNG allows up to 2^31-1 a side; our pictures are at most 1024 x 848, and this limit keeps
// every product below, and the image data, in range.
constexpr int32_t kMaxSide = 16384;


// Appends a chunk of type (four letters) with length bytes of data: length, type, data, and the
// CRC of type and data.
void AppendChunk(std::vector<uint8_t>* png, const char* type, const uint8_t* data, size_t length) {
    const size_t start = png->size();
    png->resize(start + 12 + length);
    uint8_t* p = png->data() + start;
    PutBigEndian32(p, static_cast<uint32_t>(length));
    std::memcpy(p + 4, type, 4);
    if (length != 0) std::memcpy(p + 8, data, length);
    PutBigEndian32(p + 8 + length, Crc32(0, p + 4, 4 + length));
}

size_t RowBytes(const PngImage& image) {
    return image.colour == kPngIndexed ? (static_cast<size_t>(image.width) * image.bitDepth + 7) / 8
                                       : static_cast<size_t>(image.width) * 3;
}

}  // namespace

bool PngImageValid(const PngImage& image) {
    if (image.width <= 0 || image.height <= 0 || image.width > kMaxSide || image.height > kMaxSide) {
        return false;
    }
    switch (image.colour) {
        case kPngIndexed:
            if (image.bitDepth != 4 && image.bitDepth != 8) return false;
            if (image.paletteSize < 1 || image.paletteSize > (1 << image.bitDepth)) return false;
            break;
        case kPngRgb:
            if (image.bitDepth != 8) return false;
            break;
        default:
            return false;
    }
    const size_t rowBytes = RowBytes(image);
    if (image.stride < 0 || static_cast<size_t>(image.stride) < rowBytes) return false;
    // The last row need not be padded to the stride.
    const size_t needed = static_cast<size_t>(image.stride) * (image.height - 1) + rowBytes;
    return image.pixels.size() >= needed;
}

bool EncodePng(const PngImage& image, std::vector<uint8_t>* png) {
    png->clear();
    if (!PngImageValid(image)) return false;
    const bool indexed = image.colour == kPngIndexed;
    const size_t rowBytes = RowBytes(image);

    // The image data: each row behind its filter type byte, 0 (none).
    const size_t lineBytes = rowBytes + 1;
    std::unique_ptr<uint8_t[]> lines(new uint8_t[lineBytes * image.height]);  // not cleared
    for (int32_t y = 0; y < image.height; ++y) {
        uint8_t* line = lines.get() + lineBytes * y;
        line[0] = 0;
        std::memcpy(line + 1, image.pixels.data() + static_cast<size_t>(image.stride) * y, rowBytes);
    }

    png->assign(kPngSignature, kPngSignature + sizeof kPngSignature);
    uint8_t header[13];
    PutBigEndian32(header, static_cast<uint32_t>(image.width));
    PutBigEndian32(header + 4, static_cast<uint32_t>(image.height));
    header[8] = static_cast<uint8_t>(image.bitDepth);
    header[9] = indexed ? 3 : 2;  // colour type: palette, or RGB
    header[10] = 0;               // compression: deflate
    header[11] = 0;               // filter method: the five row filters
    header[12] = 0;               // not interlaced
    AppendChunk(png, "IHDR", header, sizeof header);
    if (indexed) {
        AppendChunk(png, "PLTE", image.palette, static_cast<size_t>(image.paletteSize) * 3);
    }
    if (image.pixelsPerMetreX != 0 && image.pixelsPerMetreY != 0) {
        uint8_t phys[9];
        PutBigEndian32(phys, image.pixelsPerMetreX);
        PutBigEndian32(phys + 4, image.pixelsPerMetreY);
        phys[8] = 1;  // unit: the metre
        AppendChunk(png, "pHYs", phys, sizeof phys);
    }

    // One IDAT chunk: its length and CRC are filled in once the stream is written.
    const size_t idat = png->size();
    png->resize(idat + 8);
    std::memcpy(png->data() + idat + 4, "IDAT", 4);
    DeflateZlib(lines.get(), lineBytes * image.height, lineBytes, png);
    const size_t dataLength = png->size() - idat - 8;
    if (dataLength > 0x7FFFFFFF) {  // PNG's limit of a chunk
        png->clear();
        return false;
    }
    PutBigEndian32(png->data() + idat, static_cast<uint32_t>(dataLength));
    const uint32_t crc = Crc32(0, png->data() + idat + 4, 4 + dataLength);
    png->resize(png->size() + 4);
    PutBigEndian32(png->data() + png->size() - 4, crc);
    AppendChunk(png, "IEND", nullptr, 0);
    return true;
}

// The RGB entry, over EncodePng.
bool EncodePngRgb(const uint8_t* rgb, int32_t width, int32_t height, std::vector<uint8_t>* png) {
    png->clear();
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
    PngImage image;
    image.width = width;
    image.height = height;
    image.stride = width * 3;
    image.pixels.assign(rgb, rgb + static_cast<size_t>(image.stride) * height);
    return EncodePng(image, png);
}
