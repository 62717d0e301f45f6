// PNG and BMP decoding: every common kind as a table of files made here byte by byte (a stored,
// uncompressed deflate stream and CRCs computed here), and malformed files as a table of
// refusals with their messages.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codec/bmp.h"
#include "platform/image_read.h"
#include "tests/test_support.h"

namespace {

void Put32Be(Bytes* b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b->push_back(static_cast<uint8_t>(v >> s));
}

void Put16Le(Bytes* b, uint32_t v) {
    b->push_back(static_cast<uint8_t>(v));
    b->push_back(static_cast<uint8_t>(v >> 8));
}

void Put32Le(Bytes* b, uint32_t v) {
    Put16Le(b, v);
    Put16Le(b, v >> 16);
}

uint32_t Crc32(const uint8_t* p, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

void Chunk(Bytes* png, const char* type, const Bytes& data) {
    Put32Be(png, static_cast<uint32_t>(data.size()));
    const size_t start = png->size();
    png->insert(png->end(), type, type + 4);
    png->insert(png->end(), data.begin(), data.end());
    Put32Be(png, Crc32(png->data() + start, png->size() - start));
}

// A PNG of the given header whose image data is raw (filter bytes included), stored without
// compression in one deflate block.
Bytes MakePng(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType, uint8_t interlace,
              const Bytes& raw, const Bytes& plte = {}, const Bytes& trns = {}) {
    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes ihdr;
    Put32Be(&ihdr, width);
    Put32Be(&ihdr, height);
    ihdr.insert(ihdr.end(), {depth, colourType, 0, 0, interlace});
    Chunk(&png, "IHDR", ihdr);
    if (!plte.empty()) Chunk(&png, "PLTE", plte);
    if (!trns.empty()) Chunk(&png, "tRNS", trns);
    Bytes z = {0x78, 0x01, 0x01};
    Put16Le(&z, static_cast<uint32_t>(raw.size()));
    Put16Le(&z, static_cast<uint32_t>(~raw.size() & 0xFFFF));
    z.insert(z.end(), raw.begin(), raw.end());
    uint32_t a = 1, b = 0;
    for (uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    Put32Be(&z, b << 16 | a);
    Chunk(&png, "IDAT", z);
    Chunk(&png, "IEND", {});
    return png;
}

// A BMP: file header, an info header of headerSize bytes (12: OS/2), then extra (masks or
// colour table), then the rows as given.
Bytes MakeBmp(uint32_t headerSize, int32_t width, int32_t height, uint16_t bits, uint32_t compression,
              const Bytes& extra, const Bytes& rows, const Bytes& masksInHeader = {}) {
    Bytes bmp = {'B', 'M'};
    const uint32_t offset = 14 + headerSize + static_cast<uint32_t>(extra.size());
    Put32Le(&bmp, offset + static_cast<uint32_t>(rows.size()));
    Put32Le(&bmp, 0);
    Put32Le(&bmp, offset);
    Put32Le(&bmp, headerSize);
    if (headerSize == 12) {
        Put16Le(&bmp, static_cast<uint32_t>(width));
        Put16Le(&bmp, static_cast<uint32_t>(height));
        Put16Le(&bmp, 1);
        Put16Le(&bmp, bits);
    } else {
        Put32Le(&bmp, static_cast<uint32_t>(width));
        Put32Le(&bmp, static_cast<uint32_t>(height));
        Put16Le(&bmp, 1);
        Put16Le(&bmp, bits);
        Put32Le(&bmp, compression);
        for (int i = 0; i < 5; ++i) Put32Le(&bmp, 0);  // size, resolution, colours used/important
        bmp.insert(bmp.end(), masksInHeader.begin(), masksInHeader.end());
        bmp.resize(14 + headerSize, 0);
    }
    bmp.insert(bmp.end(), extra.begin(), extra.end());
    bmp.insert(bmp.end(), rows.begin(), rows.end());
    return bmp;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Masks(std::initializer_list<uint32_t> masks) {
    Bytes b;
    for (uint32_t m : masks) Put32Le(&b, m);
    return b;
}

// The file with another colour count in its info header (biClrUsed).
Bytes WithColoursUsed(Bytes bmp, uint32_t count) {
    for (int i = 0; i < 4; ++i) bmp[46 + i] = static_cast<uint8_t>(count >> (8 * i));
    return bmp;
}

// The file with another pixel data offset in its file header.
Bytes WithPixelOffset(Bytes bmp, uint32_t offset) {
    for (int i = 0; i < 4; ++i) bmp[10 + i] = static_cast<uint8_t>(offset >> (8 * i));
    return bmp;
}

struct GoodCase {
    const char* what;
    Bytes file;
    int32_t width, height;
    Bytes rgb;  // expected pixels, top line first
};

TEST(ImageDecode, EveryCommonKind) {
    const GoodCase cases[] = {
        {"PNG RGB 8-bit", MakePng(2, 1, 8, 2, 0, {0, 10, 20, 30, 40, 50, 60}), 2, 1, {10, 20, 30, 40, 50, 60}},
        // entry 0 (200,100,50) at alpha 128 over black: c * 128 / 255 rounded
        {"PNG palette with tRNS", MakePng(2, 1, 8, 3, 0, {0, 0, 1}, {200, 100, 50, 1, 2, 3}, {128}), 2, 1,
         {100, 50, 25, 1, 2, 3}},
        {"PNG grey 1-bit", MakePng(3, 1, 1, 0, 0, {0, 0xA0}), 3, 1, {255, 255, 255, 0, 0, 0, 255, 255, 255}},
        {"PNG grey + alpha", MakePng(1, 1, 8, 4, 0, {0, 100, 255}), 1, 1, {100, 100, 100}},
        // 16 bits scaled to 8: 0x1234 -> 18
        {"PNG RGB 16-bit", MakePng(1, 1, 16, 2, 0, {0, 0x12, 0x34, 0xFF, 0xFF, 0, 0}), 1, 1, {18, 255, 0}},
        {"PNG RGBA transparent", MakePng(1, 1, 8, 6, 0, {0, 255, 255, 255, 0}), 1, 1, {0, 0, 0}},
        {"PNG interlaced", MakePng(1, 2, 8, 2, 1, {0, 7, 8, 9, 0, 1, 2, 3}), 1, 2, {7, 8, 9, 1, 2, 3}},
        {"BMP 24-bit bottom-up", MakeBmp(40, 1, 2, 24, 0, {}, {3, 2, 1, 0, 6, 5, 4, 0}), 1, 2, {4, 5, 6, 1, 2, 3}},
        {"BMP 24-bit top-down", MakeBmp(40, 1, -2, 24, 0, {}, {3, 2, 1, 0, 6, 5, 4, 0}), 1, 2, {1, 2, 3, 4, 5, 6}},
        {"BMP 1-bit", MakeBmp(40, 2, 1, 1, 0, {9, 8, 7, 0, 3, 2, 1, 0}, {0x40, 0, 0, 0}), 2, 1, {7, 8, 9, 1, 2, 3}},
        {"BMP 4-bit", MakeBmp(40, 2, 1, 4, 0, Bytes(15 * 4, 0) + Bytes{30, 20, 10, 0}, {0xF0, 0, 0, 0}), 2, 1,
         {10, 20, 30, 0, 0, 0}},
        {"BMP 8-bit", MakeBmp(40, 1, 1, 8, 0, Bytes(255 * 4, 0) + Bytes{30, 20, 10, 0}, {255, 0, 0, 0}), 1, 1,
         {10, 20, 30}},
        {"BMP OS/2 8-bit", MakeBmp(12, 1, 1, 8, 0, Bytes{0, 0, 0, 60, 50, 40} + Bytes(254 * 3, 0), {1, 0, 0, 0}), 1,
         1, {40, 50, 60}},
        // 5-5-5: 0x7C00 red full; 5-6-5 masks: 0x07E0 green full
        {"BMP 16-bit 5-5-5", MakeBmp(40, 1, 1, 16, 0, {}, {0x00, 0x7C, 0, 0}), 1, 1, {255, 0, 0}},
        {"BMP 16-bit 5-6-5", MakeBmp(40, 1, 1, 16, 3, Masks({0xF800, 0x07E0, 0x001F}), {0xE0, 0x07, 0, 0}), 1, 1,
         {0, 255, 0}},
        // Rounded to nearest, as every reader scales: 5-5-5 (13, 1, 30) is 107 (106.9), 8 (8.2),
        // 247 (246.8); 5-6-5 green 13 of 63 is 53 (52.6).
        {"BMP 16-bit 5-5-5 rounded", MakeBmp(40, 1, 1, 16, 0, {}, {0x3E, 0x34, 0, 0}), 1, 1, {107, 8, 247}},
        {"BMP 16-bit 5-6-5 rounded", MakeBmp(40, 1, 1, 16, 3, Masks({0xF800, 0x07E0, 0x001F}), {0xA0, 0x01, 0, 0}),
         1, 1, {0, 53, 0}},
        // A table of two colours used, and only indices 0 and 1 in the pixels.
        {"BMP 8-bit, short table", WithColoursUsed(MakeBmp(40, 2, 1, 8, 0, {1, 2, 3, 0, 4, 5, 6, 0}, {1, 0, 0, 0}), 2),
         2, 1, {6, 5, 4, 3, 2, 1}},
        {"BMP 32-bit, padding byte zero", MakeBmp(40, 1, 1, 32, 0, {}, {30, 20, 10, 0}), 1, 1, {10, 20, 30}},
        // V5 header with an alpha mask: alpha 0x80 over black
        {"BMP 32-bit with alpha", MakeBmp(124, 2, 1, 32, 3, {}, {0, 0, 200, 0x80, 0, 0, 0, 0xFF},
                                          Masks({0xFF0000, 0xFF00, 0xFF, 0xFF000000})),
         2, 1, {100, 0, 0, 0, 0, 0}},
        // An alpha mask whose alpha is zero everywhere is padding: the pixels stay opaque.
        {"BMP 32-bit, alpha all zero", MakeBmp(124, 1, 1, 32, 3, {}, {30, 20, 10, 0},
                                               Masks({0xFF0000, 0xFF00, 0xFF, 0xFF000000})),
         1, 1, {10, 20, 30}},
        // BI_ALPHABITFIELDS after a 40-byte header, 1-5-5-5: 0xFC00 is red full, alpha set;
        // 0x7C00 the same red with alpha clear, over black.
        {"BMP 16-bit 1-5-5-5 with alpha",
         MakeBmp(40, 2, 1, 16, 6, Masks({0x7C00, 0x03E0, 0x001F, 0x8000}), {0x00, 0xFC, 0x00, 0x7C}),
         2, 1, {255, 0, 0, 0, 0, 0}},
    };
    for (const GoodCase& c : cases) {
        SCOPED_TRACE(c.what);
        RgbImage image;
        std::string error;
        ASSERT_TRUE(DecodeImage(c.file.data(), c.file.size(), &image, &error)) << error;
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
        EXPECT_EQ(image.rgb, c.rgb);
    }
}

struct BadCase {
    const char* what;
    Bytes file;
    const char* message;  // part of the error text
};

TEST(ImageDecode, MalformedFilesAreRefusedWithAMessage) {
    const Bytes good = MakePng(2, 1, 8, 2, 0, {0, 10, 20, 30, 40, 50, 60});
    Bytes badCrc = good;
    badCrc[good.size() - 12 - 5] ^= 0x01;  // a byte of the IDAT data; its CRC no longer matches
    Bytes huge = MakePng(100000, 100000, 8, 2, 0, {0});
    const Bytes bmp = MakeBmp(40, 4, 4, 24, 0, {}, Bytes(48, 0x55));
    const BadCase cases[] = {
        {"empty", {}, "not a PNG or BMP"},
        {"text", {'h', 'e', 'l', 'l', 'o'}, "not a PNG or BMP"},
        {"PNG signature only", Bytes(good.begin(), good.begin() + 8), "PNG"},
        {"PNG truncated", Bytes(good.begin(), good.begin() + 50), "PNG"},
        {"PNG bad CRC", badCrc, "PNG"},
        {"PNG 100000 x 100000 in a small file", huge, "PNG"},
        {"PNG 8000 x 8000 in a small file", MakePng(8000, 8000, 8, 2, 0, {0}), "too short"},
        {"PNG without IEND", Bytes(good.begin(), good.end() - 12), "ends without its IEND chunk"},
        {"PNG chunk past the end", Bytes(good.begin(), good.end() - 13), "ends inside its IDAT chunk"},
        {"PNG bad colour type", MakePng(1, 1, 8, 5, 0, {0, 0}), "PNG"},
        {"BMP headers cut", Bytes(bmp.begin(), bmp.begin() + 20), "headers"},
        {"BMP pixels cut", Bytes(bmp.begin(), bmp.end() - 1), "shorter than its image"},
        {"BMP 100000 x 100000 in 100 bytes", MakeBmp(40, 100000, 100000, 24, 0, {}, Bytes(46, 0)), "at most 16384 pixels a side"},
        {"BMP 8000 x 8000 in 100 bytes", MakeBmp(40, 8000, 8000, 24, 0, {}, Bytes(46, 0)), "shorter"},
        {"BMP RLE8", MakeBmp(40, 1, 1, 8, 1, Bytes(1024, 0), {0, 0, 0, 1}), "run-length"},
        {"BMP JPEG inside", MakeBmp(40, 1, 1, 24, 4, {}, {0, 0, 0, 0}), "JPEG"},
        {"BMP 7 bits", MakeBmp(40, 1, 1, 7, 0, {}, {0, 0, 0, 0}), "bits a pixel"},
        {"BMP no width", MakeBmp(40, 0, 1, 24, 0, {}, {0, 0, 0, 0}), "no pixels"},
        {"BMP colour table cut", MakeBmp(40, 1, 1, 8, 0, Bytes(10, 0), {}), "colour table"},
        {"BMP unknown header", MakeBmp(20, 1, 1, 24, 0, {}, {0, 0, 0, 0}), "header"},
        {"BMP masks cut", MakeBmp(40, 1, 1, 16, 3, {}, {}), "colour masks"},
        {"BMP 16-bit masks too wide", MakeBmp(40, 1, 1, 16, 3, Masks({0x1F0000, 0x07E0, 0x001F}), {0, 0, 0, 0}),
         "do not fit"},
        // Damage that used to pass: headers read as pixels, a table larger than the depth
        // allows, an index past the table.
        {"BMP pixel offset 0", WithPixelOffset(bmp, 0), "pixel offset 0 points into its headers (they end at byte 54)"},
        {"BMP pixel offset inside the table", WithPixelOffset(MakeBmp(40, 1, 1, 8, 0, Bytes(1024, 0), Bytes(1028, 0)), 100),
         "pixel offset 100 points into its headers (they end at byte 1078)"},
        {"BMP 100000 colours", WithColoursUsed(MakeBmp(40, 1, 1, 8, 0, Bytes(1024, 0), {0, 0, 0, 0}), 100000),
         "colour table claims 100000 colours (at most 256 at 8 bits a pixel)"},
        {"BMP index past the table", WithColoursUsed(MakeBmp(40, 2, 1, 8, 0, Bytes(8, 0), {0, 9, 0, 0}), 2),
         "pixel index 9 is past its colour table of 2 entries"},
        // Each limit named by its own message.
        {"BMP 16385 x 1", MakeBmp(40, 16385, 1, 24, 0, {}, {}), "16385 x 1 pixels: at most 16384 pixels a side"},
        {"BMP 16384 x 4097", MakeBmp(40, 16384, 4097, 24, 0, {}, {}),
         "16384 x 4097 pixels: at most 67108864 pixels (64 Mpixel) in all"},
        {"PNG 16385 x 1", MakePng(16385, 1, 8, 2, 0, {0}), "the PNG image is 16385 x 1 pixels: at most 16384 pixels a side"},
        {"PNG 1 x 16385", MakePng(1, 16385, 1, 0, 0, {0}), "1 x 16385 pixels: at most 16384 pixels a side"},
        {"PNG 16384 x 4097", MakePng(16384, 4097, 1, 0, 0, {0}),
         "the PNG image is 16384 x 4097 pixels: at most 67108864 pixels (64 Mpixel) in all"},
        {"BMP bit fields at 24 bits", MakeBmp(40, 1, 1, 24, 3, Masks({0xFF0000, 0xFF00, 0xFF}), {0, 0, 0, 0}),
         "cannot have them"},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.what);
        RgbImage image;
        std::string error;
        EXPECT_FALSE(DecodeImage(c.file.data(), c.file.size(), &image, &error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_TRUE(image.rgb.empty());
    }
}

// Every alpha value over black, each channel times alpha / 255 rounded to nearest (as RgbImage
// promises for every file kind), along a line longer than 256 pixels whose alphas do not repeat
// every 256 pixels.
TEST(ImageDecode, BmpAlphaCompositedOverBlack) {
    const int32_t width = 300;
    Bytes rows, want;
    for (int32_t x = 0; x < width; ++x) {
        const uint32_t alpha = static_cast<uint32_t>(x < 256 ? x : 511 - x);  // 0..255, then 255 down
        rows.insert(rows.end(), {255, 100, 200, static_cast<uint8_t>(alpha)});  // blue, green, red
        for (uint32_t c : {200u, 100u, 255u}) want.push_back(static_cast<uint8_t>((c * alpha + 127) / 255));
    }
    const Bytes bmp = MakeBmp(124, width, 1, 32, 3, {}, rows, Masks({0xFF0000, 0xFF00, 0xFF, 0xFF000000}));
    RgbImage image;
    std::string error;
    ASSERT_TRUE(DecodeImage(bmp.data(), bmp.size(), &image, &error)) << error;
    EXPECT_EQ(image.width, width);
    EXPECT_EQ(image.rgb, want);
    EXPECT_EQ(want[3 * 128], 100);  // 200 * 128 / 255 = 100.4
    EXPECT_EQ(want[3 * 255 + 2], 255);
}

// A bad CRC in an ancillary chunk is damage the picture survives: decoded, with a warning that
// names the chunk. The same CRC fault in a critical chunk refuses the file (the table above).
TEST(ImageDecode, DamagedAncillaryChunkIsAWarning) {
    const Bytes good = MakePng(2, 1, 8, 2, 0, {0, 10, 20, 30, 40, 50, 60});
    Bytes text;
    Chunk(&text, "tEXt", {'a', 0, 'b'});
    text[text.size() - 1] ^= 0x01;
    const size_t afterIhdr = 8 + 25;
    Bytes damaged(good.begin(), good.begin() + afterIhdr);
    damaged = damaged + text + Bytes(good.begin() + afterIhdr, good.end());
    RgbImage image;
    std::string error;
    ASSERT_TRUE(DecodeImage(damaged.data(), damaged.size(), &image, &error)) << error;
    EXPECT_EQ(image.rgb, (Bytes{10, 20, 30, 40, 50, 60}));
    EXPECT_EQ(image.warning, "the PNG file's tEXt chunk is damaged (its CRC does not match); it was skipped");
    ASSERT_TRUE(DecodeImage(good.data(), good.size(), &image, &error));
    EXPECT_EQ(image.warning, "");
}

TEST(ImageDecode, RecognisedBySignatureWhateverTheName) {
    const Bytes png = MakePng(1, 1, 8, 2, 0, {0, 1, 2, 3});
    EXPECT_EQ(SniffImageFormat(png.data(), png.size()), kImagePng);
    const Bytes bmp = MakeBmp(40, 1, 1, 24, 0, {}, {0, 0, 0, 0});
    EXPECT_EQ(SniffImageFormat(bmp.data(), bmp.size()), kImageBmp);
    const Bytes bsave = {0xFE, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(SniffImageFormat(bsave.data(), bsave.size()), kImageUnknown);
}

}  // namespace

// What a run's shared budget for decoded pixels counts for each image: its header's claim, times
// what the platform's decoder holds a pixel.
TEST(DecodeBytesClaimed, TheHeadersClaimWithinTheLimits) {
    auto png = [](uint32_t w, uint32_t h, uint8_t interlace) {
        std::vector<uint8_t> b(kPngSignature, kPngSignature + 8);
        const uint8_t ihdr[] = {0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                static_cast<uint8_t>(w >> 24), static_cast<uint8_t>(w >> 16),
                                static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w),
                                static_cast<uint8_t>(h >> 24), static_cast<uint8_t>(h >> 16),
                                static_cast<uint8_t>(h >> 8), static_cast<uint8_t>(h), 8, 2, 0, 0, interlace};
        b.insert(b.end(), ihdr, ihdr + sizeof ihdr);
        return b;
    };
    auto bmp = [](int32_t w, int32_t h) {
        std::vector<uint8_t> b(54, 0);
        b[0] = 'B';
        b[1] = 'M';
        for (int i = 0; i < 4; ++i) {
            b[18 + i] = static_cast<uint8_t>(static_cast<uint32_t>(w) >> (8 * i));
            b[22 + i] = static_cast<uint8_t>(static_cast<uint32_t>(h) >> (8 * i));
        }
        return b;
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        uint64_t claimed;
    };
    std::vector<uint8_t> cut = png(10, 10, 0);
    cut.resize(28);
    const Case cases[] = {
        {"PNG 100 x 50", png(100, 50, 0), 100 * 50 * PngDecodeBytesPerPixel(false)},
        {"interlaced PNG", png(100, 50, 1), 100 * 50 * PngDecodeBytesPerPixel(true)},
        {"PNG 8192 x 8192", png(8192, 8192, 0), uint64_t{8192} * 8192 * PngDecodeBytesPerPixel(false)},
        {"PNG past the side limit", png(16385, 1, 0), 0},
        {"PNG past the pixel limit", png(16384, 4097, 0), 0},
        {"PNG cut before its interlace byte", cut, 0},
        {"bottom-up BMP", bmp(10, 20), 10 * 20 * 4},
        {"top-down BMP", bmp(10, -20), 10 * 20 * 4},
        {"BMP of no width", bmp(0, 20), 0},
        {"neither", std::vector<uint8_t>(64, 0x41), 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeBytesClaimed(c.bytes.data(), c.bytes.size()), c.claimed) << c.what;
    }
}
