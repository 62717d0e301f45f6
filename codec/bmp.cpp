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

// The field's value scaled to 0..255, rounded to nearest as every reader scales (a 5-bit 13 is
// 106.9: 107). 64-bit: a 32-bit field times 255 does not fit 32 bits.
uint32_t ExtractWide(const Field& f, uint32_t pixel) {
    if (f.max == 0) return 0;
    return static_cast<uint32_t>((uint64_t{(pixel & f.mask) >> f.shift} * 255u + f.max / 2) / f.max);
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

// What the headers say, checked against the file's size.
struct BmpHeader {
    uint32_t pixelOffset = 0;
    uint32_t headerSize = 0;  // the info header's: 12 (OS/2), 40 and up (Windows)
    int64_t width = 0;
    int64_t height = 0;  // made positive; topDown says which line comes first
    bool topDown = false;
    uint32_t bits = 0;
    uint32_t compression = kBiRgb;
    uint32_t coloursUsed = 0;
    int64_t perMetreX = 0;  // biXPelsPerMeter, biYPelsPerMeter (signed; 0 where not given)
    int64_t perMetreY = 0;
    size_t tableEntryBytes = 4;  // a colour table entry: BGR0, or BGR in OS/2 files
};

// The file header and the info header (BITMAPCOREHEADER or BITMAPINFOHEADER and its longer
// versions), as far as this decoder reads them.
bool ReadHeaders(const uint8_t* bytes, size_t size, BmpHeader* h, std::string* error) {
    if (size < 2 || bytes[0] != 'B' || bytes[1] != 'M') return Fail(error, "not a BMP file");
    if (size < 14 + 12) return Fail(error, "the BMP file ends inside its headers");
    h->pixelOffset = Get32(bytes + 10);
    h->headerSize = Get32(bytes + 14);
    if (h->headerSize != 12 && h->headerSize < 40) {
        return Fail(error, "the BMP file has an unknown header");
    }
    if (h->headerSize > size - 14) return Fail(error, "the BMP file ends inside its headers");
    const uint8_t* info = bytes + 14;
    if (h->headerSize == 12) {  // OS/2 BITMAPCOREHEADER: 16-bit sizes, 3-byte colour table entries
        h->width = Get16(info + 4);
        h->height = Get16(info + 6);
        h->bits = Get16(info + 10);
        h->tableEntryBytes = 3;
    } else {
        h->width = static_cast<int32_t>(Get32(info + 4));
        h->height = static_cast<int32_t>(Get32(info + 8));
        h->bits = Get16(info + 14);
        h->compression = Get32(info + 16);
        h->perMetreX = static_cast<int32_t>(Get32(info + 24));  // OS/2 2.x: the same, per metre
        h->perMetreY = static_cast<int32_t>(Get32(info + 28));
        h->coloursUsed = Get32(info + 32);
    }
    h->topDown = h->height < 0;
    if (h->topDown) h->height = -h->height;
    return true;
}

// Refuses what this decoder does not read and sizes it cannot hold, in that order.
bool CheckHeader(const BmpHeader& h, std::string* error) {
    if (h.compression == kBiRle8 || h.compression == kBiRle4) {
        return Fail(error, "run-length compressed BMP files are not supported; save it uncompressed");
    }
    if (h.compression == kBiJpeg || h.compression == kBiPng) {
        return Fail(error, "BMP files holding a JPEG or PNG image are not supported");
    }
    if (h.compression != kBiRgb && h.compression != kBiBitfields &&
        h.compression != kBiAlphaBitfields) {
        return Fail(error, "the BMP file uses an unknown compression");
    }
    if (h.width <= 0 || h.height <= 0) return Fail(error, "the BMP image has no pixels");
    if (!CheckImageSize("BMP", h.width, h.height, error)) return false;
    if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 &&
        h.bits != 32) {
        return Fail(error, "the BMP file has an unsupported number of bits a pixel");
    }
    if (h.compression != kBiRgb && h.bits != 16 && h.bits != 32) {
        return Fail(error, "the BMP file has bit-field masks for a depth that cannot have them");
    }
    if (h.bits <= 8 && h.coloursUsed > (1u << h.bits)) {
        *error = "the BMP file's colour table claims " + std::to_string(h.coloursUsed) +
                 " colours (at most " + std::to_string(1u << h.bits) + " at " +
                 std::to_string(h.bits) + " bits a pixel)";
        return false;
    }
    return true;
}

// The colour table's entries at a palette depth (1, 4, 8 bits): the header's count, or all.
uint32_t TableEntries(const BmpHeader& h) { return h.coloursUsed == 0 ? 1u << h.bits : h.coloursUsed; }

// The pixels must start after the headers, colour table and masks: an offset into them would
// read those bytes as pixels.
bool CheckPixelOffset(const BmpHeader& h, std::string* error) {
    uint64_t end = 14 + uint64_t{h.headerSize};
    if (h.bits <= 8) end += uint64_t{TableEntries(h)} * h.tableEntryBytes;
    if (h.headerSize == 40 && (h.compression == kBiBitfields || h.compression == kBiAlphaBitfields)) {
        end += h.compression == kBiAlphaBitfields ? 16 : 12;
    }
    if (h.pixelOffset >= end) return true;
    *error = "the BMP file's pixel offset " + std::to_string(h.pixelOffset) +
             " points into its headers (they end at byte " + std::to_string(end) + ")";
    return false;
}

// The colour table of a palette depth (1, 4, 8 bits): after the info header, before the
// pixels. table is red, green, blue; entries past the file's table stay black.
bool ReadColourTable(const uint8_t* bytes, size_t size, const BmpHeader& h, uint8_t table[256][3],
                     std::string* error) {
    const uint32_t entries = TableEntries(h);
    const uint64_t start = 14 + uint64_t{h.headerSize};
    if (start + uint64_t{entries} * h.tableEntryBytes > size) {
        return Fail(error, "the BMP file ends inside its colour table");
    }
    for (uint32_t n = 0; n < entries; ++n) {
        const uint8_t* e = bytes + start + n * h.tableEntryBytes;
        table[n][0] = e[2];
        table[n][1] = e[1];
        table[n][2] = e[0];
    }
    return true;
}

// The channels of a 16- or 32-bit pixel.
struct Fields {
    Field red, green, blue, alpha;
};

// Bit fields: in the header (V3 with 52/56 bytes and up) or, for a 40-byte header, in the
// twelve bytes after it. Without BI_BITFIELDS: 5-5-5 for 16 bits, 8-8-8 for 32 (the fourth
// byte is padding, which many programs leave zero).
bool ReadFields(const uint8_t* bytes, size_t size, const BmpHeader& h, Fields* f,
                std::string* error) {
    if (h.compression == kBiBitfields || h.compression == kBiAlphaBitfields) {
        const uint64_t at = 14 + 40;
        const uint64_t need = h.compression == kBiAlphaBitfields ? 16 : 12;
        if (at + need > size) return Fail(error, "the BMP file ends inside its colour masks");
        f->red = MakeField(Get32(bytes + at));
        f->green = MakeField(Get32(bytes + at + 4));
        f->blue = MakeField(Get32(bytes + at + 8));
        if (h.compression == kBiAlphaBitfields || h.headerSize >= 56) {
            f->alpha = MakeField(Get32(bytes + at + 12));
        }
    } else if (h.bits == 16) {
        f->red = MakeField(0x7C00);
        f->green = MakeField(0x03E0);
        f->blue = MakeField(0x001F);
    } else if (h.bits == 32) {
        f->red = MakeField(0xFF0000);
        f->green = MakeField(0x00FF00);
        f->blue = MakeField(0x0000FF);
    }
    if (h.bits == 16 && (f->red.mask | f->green.mask | f->blue.mask | f->alpha.mask) > 0xFFFF) {
        return Fail(error, "the BMP file's colour masks do not fit its 16-bit pixels");
    }
    return true;
}

// A line of 1, 4 or 8 bits a pixel through the colour table, leftmost pixel in the high bits.
// Returns the first index past the table's entries (a damaged file), or -1 when there is none.
int32_t DecodeIndexedRow(const uint8_t* row, size_t w, uint32_t bits, const uint8_t table[256][3],
                         uint32_t entries, uint8_t* out) {
    for (size_t x = 0; x < w; ++x, out += 3) {
        const size_t bit = x * bits;
        const uint32_t index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        if (index >= entries) return static_cast<int32_t>(index);
        std::memcpy(out, table[index], 3);
    }
    return -1;
}

// A line of 24-bit pixels: blue, green, red.
void DecodeBgrRow(const uint8_t* row, size_t w, uint8_t* out) {
    for (size_t x = 0; x < w; ++x, out += 3) {
        out[0] = row[3 * x + 2];
        out[1] = row[3 * x + 1];
        out[2] = row[3 * x];
    }
}

// A line of 16- or 32-bit bit-field pixels; with an alpha mask, the alpha of each pixel into
// alphas. Returns whether any alpha is not zero.
bool DecodeFieldRow(const uint8_t* row, size_t w, uint32_t bits, const Fields& f, uint8_t* out,
                    uint8_t* alphas) {
    bool anyAlpha = false;
    for (size_t x = 0; x < w; ++x, out += 3) {
        const uint32_t pixel = bits == 16 ? Get16(row + 2 * x) : Get32(row + 4 * x);
        out[0] = static_cast<uint8_t>(ExtractWide(f.red, pixel));
        out[1] = static_cast<uint8_t>(ExtractWide(f.green, pixel));
        out[2] = static_cast<uint8_t>(ExtractWide(f.blue, pixel));
        if (f.alpha.mask != 0) {
            const uint8_t a = static_cast<uint8_t>(ExtractWide(f.alpha, pixel));
            alphas[x] = a;
            anyAlpha = anyAlpha || a != 0;
        }
    }
    return anyAlpha;
}

// count pixels of rgb composited over black by their alphas, as the PNG readers do.
void CompositeOverBlackInPlace(uint8_t* rgb, const uint8_t* alphas, size_t count) {
    uint8_t rgba[4 * 256];
    for (size_t done = 0; done < count; done += 256) {
        const size_t n = count - done < 256 ? count - done : 256;
        uint8_t* p = rgb + 3 * done;
        for (size_t i = 0; i < n; ++i) {
            std::memcpy(rgba + 4 * i, p + 3 * i, 3);
            rgba[4 * i + 3] = alphas[done + i];
        }
        CompositeOverBlack(rgba, n, kLayoutRgba, p);
    }
}

}  // namespace

bool DecodeBmp(const uint8_t* bytes, size_t size, RgbImage* image, std::string* error) {
    *image = RgbImage{};
    error->clear();
    BmpHeader header;
    if (!ReadHeaders(bytes, size, &header, error) || !CheckHeader(header, error)) return false;
    const uint32_t bits = header.bits;
    uint8_t table[256][3] = {};
    if (bits <= 8 && !ReadColourTable(bytes, size, header, table, error)) return false;
    Fields fields;
    if (!ReadFields(bytes, size, header, &fields, error) || !CheckPixelOffset(header, error)) return false;
    const uint64_t stride = (static_cast<uint64_t>(header.width) * bits + 31) / 32 * 4;
    const uint32_t pixelOffset = header.pixelOffset;
    if (pixelOffset > size || stride * static_cast<uint64_t>(header.height) > size - pixelOffset) {
        return Fail(error, "the BMP file is shorter than its image (truncated?)");
    }

    const size_t w = static_cast<size_t>(header.width);
    const size_t h = static_cast<size_t>(header.height);
    std::vector<uint8_t> rgb(w * h * 3);
    std::vector<uint8_t> alphas(fields.alpha.mask != 0 ? w * h : 0);
    bool anyAlpha = false;
    for (size_t y = 0; y < h; ++y) {
        const uint8_t* row = bytes + pixelOffset + (header.topDown ? y : h - 1 - y) * stride;
        uint8_t* out = rgb.data() + y * w * 3;
        if (bits <= 8) {
            const int32_t past = DecodeIndexedRow(row, w, bits, table, TableEntries(header), out);
            if (past >= 0) {
                *error = "the BMP file's pixel index " + std::to_string(past) +
                         " is past its colour table of " + std::to_string(TableEntries(header)) +
                         " entries";
                return false;
            }
        } else if (bits == 24) {
            DecodeBgrRow(row, w, out);
        } else {
            uint8_t* rowAlphas = alphas.empty() ? nullptr : alphas.data() + y * w;
            if (DecodeFieldRow(row, w, bits, fields, out, rowAlphas)) anyAlpha = true;
        }
    }
    // An alpha channel that is zero everywhere is unused padding, not a transparent picture.
    if (anyAlpha) CompositeOverBlackInPlace(rgb.data(), alphas.data(), w * h);
    image->width = static_cast<int32_t>(header.width);
    image->height = static_cast<int32_t>(header.height);
    image->rgb = std::move(rgb);
    image->pixelAspect = PixelAspectOf(header.perMetreX, header.perMetreY);
    return true;
}
