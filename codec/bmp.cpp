// BMP decoding on bytes.
#include "codec/bmp.h"

#include <cstring>
#include <utility>
#include <vector>

#include "codec/endian.h"

namespace {

// One channel of a bit-field pixel: the masked bits scaled to 0..255.
struct Field {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;  // mask >> shift
};

Field MakeField(uint32_t mask) {
    Field f;
    f.mask = mask;
    if (mask == 0) return f;
    while (((mask >> f.shift) & 1) == 0) ++f.shift;
    f.max = mask >> f.shift;
    return f;
}

// The field's value scaled to 0..255 (64-bit: a 32-bit field times 255 does not fit 32 bits).
uint32_t ExtractWide(const Field& f, uint32_t pixel) {
    if (f.max == 0) return 0;
    return static_cast<uint32_t>(uint64_t{(pixel & f.mask) >> f.shift} * 255u / f.max);
}

bool Fail(std::string* error, const char* text) {
    *error = text;
    return false;
}

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiJpeg = 4;
constexpr uint32_t kBiPng = 5;
constexpr uint32_t kBiAlphaBitfields = 6;

}  // namespace

bool DecodeBmp(const uint8_t* bytes, size_t size, RgbImage* image, std::string* error) {
    *image = RgbImage{};
    error->clear();
    if (size < 2 || bytes[0] != 'B' || bytes[1] != 'M') return Fail(error, "not a BMP file");
    if (size < 14 + 12) return Fail(error, "the BMP file ends inside its headers");
    const uint32_t pixelOffset = Get32(bytes + 10);
    const uint32_t headerSize = Get32(bytes + 14);
    if (headerSize != 12 && headerSize < 40) return Fail(error, "the BMP file has an unknown header");
    if (headerSize > size - 14) return Fail(error, "the BMP file ends inside its headers");
    const uint8_t* info = bytes + 14;
    int64_t width;
    int64_t height;
    uint32_t bits;
    uint32_t compression = kBiRgb;
    uint32_t coloursUsed = 0;
    size_t tableEntryBytes = 4;
    if (headerSize == 12) {  // OS/2 BITMAPCOREHEADER: 16-bit sizes, 3-byte colour table entries
        width = Get16(info + 4);
        height = Get16(info + 6);
        bits = Get16(info + 10);
        tableEntryBytes = 3;
    } else {
        width = static_cast<int32_t>(Get32(info + 4));
        height = static_cast<int32_t>(Get32(info + 8));
        bits = Get16(info + 14);
        compression = Get32(info + 16);
        coloursUsed = Get32(info + 32);
    }
    if (compression == kBiRle8 || compression == kBiRle4) {
        return Fail(error, "run-length compressed BMP files are not supported; save it uncompressed");
    }
    if (compression == kBiJpeg || compression == kBiPng) {
        return Fail(error, "BMP files holding a JPEG or PNG image are not supported");
    }
    if (compression != kBiRgb && compression != kBiBitfields && compression != kBiAlphaBitfields) {
        return Fail(error, "the BMP file uses an unknown compression");
    }
    const bool topDown = height < 0;
    if (topDown) height = -height;
    if (width <= 0 || height <= 0) return Fail(error, "the BMP image has no pixels");
    if (width > kImageMaxSide || height > kImageMaxSide || width * height > kImageMaxPixels) {
        return Fail(error, "the BMP image is too large (at most 16384 pixels a side)");
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        return Fail(error, "the BMP file has an unsupported number of bits a pixel");
    }
    if (compression != kBiRgb && bits != 16 && bits != 32) {
        return Fail(error, "the BMP file has bit-field masks for a depth that cannot have them");
    }

    // Colour table (palette depths): after the info header, before the pixels.
    uint8_t table[256][3] = {};  // red, green, blue; entries past the table stay black
    if (bits <= 8) {
        uint32_t entries = coloursUsed == 0 || coloursUsed > (1u << bits) ? 1u << bits : coloursUsed;
        const uint64_t start = 14 + uint64_t{headerSize};
        if (start + uint64_t{entries} * tableEntryBytes > size) {
            return Fail(error, "the BMP file ends inside its colour table");
        }
        for (uint32_t n = 0; n < entries; ++n) {
            const uint8_t* e = bytes + start + n * tableEntryBytes;
            table[n][0] = e[2];
            table[n][1] = e[1];
            table[n][2] = e[0];
        }
    }

    // Bit fields: in the header (V3 with 52/56 bytes and up) or, for a 40-byte header, in the
    // twelve bytes after it. Without BI_BITFIELDS: 5-5-5 for 16 bits, 8-8-8 for 32 (the fourth
    // byte is padding, which many programs leave zero).
    Field red, green, blue, alpha;
    if (compression == kBiBitfields || compression == kBiAlphaBitfields) {
        const uint64_t at = 14 + 40;
        const uint64_t need = compression == kBiAlphaBitfields ? 16 : 12;
        if (at + need > size) return Fail(error, "the BMP file ends inside its colour masks");
        red = MakeField(Get32(bytes + at));
        green = MakeField(Get32(bytes + at + 4));
        blue = MakeField(Get32(bytes + at + 8));
        if (compression == kBiAlphaBitfields || headerSize >= 56) alpha = MakeField(Get32(bytes + at + 12));
    } else if (bits == 16) {
        red = MakeField(0x7C00);
        green = MakeField(0x03E0);
        blue = MakeField(0x001F);
    } else if (bits == 32) {
        red = MakeField(0xFF0000);
        green = MakeField(0x00FF00);
        blue = MakeField(0x0000FF);
    }
    if (bits == 16 && (red.mask | green.mask | blue.mask | alpha.mask) > 0xFFFF) {
        return Fail(error, "the BMP file's colour masks do not fit its 16-bit pixels");
    }

    const uint64_t stride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
    if (pixelOffset > size || stride * static_cast<uint64_t>(height) > size - pixelOffset) {
        return Fail(error, "the BMP file is shorter than its image (truncated?)");
    }

    const size_t w = static_cast<size_t>(width);
    const size_t h = static_cast<size_t>(height);
    std::vector<uint8_t> rgb(w * h * 3);
    std::vector<uint8_t> alphas(alpha.mask != 0 ? w * h : 0);
    bool anyAlpha = false;
    for (size_t y = 0; y < h; ++y) {
        const uint8_t* row = bytes + pixelOffset + (topDown ? y : h - 1 - y) * stride;
        uint8_t* out = rgb.data() + y * w * 3;
        for (size_t x = 0; x < w; ++x, out += 3) {
            if (bits <= 8) {
                const size_t bit = x * bits;
                const uint32_t index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                std::memcpy(out, table[index], 3);
                continue;
            }
            if (bits == 24) {
                out[0] = row[3 * x + 2];
                out[1] = row[3 * x + 1];
                out[2] = row[3 * x];
                continue;
            }
            const uint32_t pixel = bits == 16 ? Get16(row + 2 * x) : Get32(row + 4 * x);
            out[0] = static_cast<uint8_t>(ExtractWide(red, pixel));
            out[1] = static_cast<uint8_t>(ExtractWide(green, pixel));
            out[2] = static_cast<uint8_t>(ExtractWide(blue, pixel));
            if (alpha.mask != 0) {
                const uint8_t a = static_cast<uint8_t>(ExtractWide(alpha, pixel));
                alphas[y * w + x] = a;
                anyAlpha = anyAlpha || a != 0;
            }
        }
    }
    // An alpha channel that is zero everywhere is unused padding, not a transparent picture.
    if (anyAlpha) {
        for (size_t i = 0; i < w * h; ++i) {
            for (int c = 0; c < 3; ++c) {
                rgb[3 * i + c] = static_cast<uint8_t>((rgb[3 * i + c] * alphas[i] + 127) / 255);
            }
        }
    }
    image->width = static_cast<int32_t>(width);
    image->height = static_cast<int32_t>(height);
    image->rgb = std::move(rgb);
    return true;
}
