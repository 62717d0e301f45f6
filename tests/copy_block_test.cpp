// BASIC's COPY blocks: pixels packed without padding between rows land at the top left of the
// screen, in each bitmap mode's packing; only the exact size of a block is one.
#include <gtest/gtest.h>

#include "image/bsave.h"
#include "test_support.h"

namespace {

// A block file: width, height, then the pixel values packed `bits` to a byte, leftmost high.
Bytes Block(int32_t width, int32_t height, int32_t bits, uint32_t (*value)(int32_t, int32_t)) {
    Bytes file = {static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8),
                  static_cast<uint8_t>(height), static_cast<uint8_t>(height >> 8)};
    Bytes packed((static_cast<size_t>(width) * height * bits + 7) / 8);
    for (int32_t i = 0; i < width * height; ++i) {
        const int32_t bit = i * bits;
        packed[static_cast<size_t>(bit / 8)] |=
            static_cast<uint8_t>(value(i % width, i / width) << (8 - bits - bit % 8));
    }
    file.insert(file.end(), packed.begin(), packed.end());
    return file;
}

// The pixel (x, y) of a picture in its mode's packing.
uint32_t PixelAt(const Picture& picture, int32_t x, int32_t y) {
    const ScreenModeInfo& info = ScreenModeOf(picture.screenMode);
    const int32_t bits = info.bytesPerLine * 8 / info.width;
    const int32_t perByte = 8 / bits;
    const uint8_t byte = picture.data[static_cast<size_t>(y * info.bytesPerLine + x / perByte)];
    return (byte >> (8 - bits * (x % perByte + 1))) & ((1u << bits) - 1);
}

TEST(CopyBlock, PixelsLandAtTheTopLeftInEveryPacking) {
    struct Case {
        ScreenMode mode;
        int32_t width, height, bits;
        uint32_t (*value)(int32_t, int32_t);
    };
    const Case cases[] = {
        // 5 wide: rows share bytes, which is how an odd width packs without padding.
        {kScreen5, 5, 3, 4, [](int32_t x, int32_t y) { return static_cast<uint32_t>(x + 5 * y) & 15; }},
        {kScreen5, 100, 100, 4, [](int32_t x, int32_t y) { return static_cast<uint32_t>(x * 3 + y) & 15; }},
        {kScreen6, 7, 9, 2, [](int32_t x, int32_t y) { return static_cast<uint32_t>(x ^ y) & 3; }},
        {kScreen7, 511, 2, 4, [](int32_t x, int32_t) { return static_cast<uint32_t>(x) & 15; }},
        {kScreen8, 256, 212, 8, [](int32_t x, int32_t y) { return static_cast<uint32_t>(x + 7 * y) & 255; }},
        {kScreen12, 3, 1, 8, [](int32_t x, int32_t) { return static_cast<uint32_t>(0x40 + x); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(ScreenModeOf(c.mode).name) + " " + std::to_string(c.width) + "x" +
                     std::to_string(c.height));
        const Bytes file = Block(c.width, c.height, c.bits, c.value);
        ASSERT_TRUE(IsCopyBlock(file.data(), file.size(), c.mode));
        Picture picture;
        ASSERT_TRUE(LoadCopyBlockBytes(file.data(), file.size(), c.mode, &picture));
        EXPECT_EQ(picture.screenMode, c.mode);
        EXPECT_EQ(picture.blockLines, c.height);
        EXPECT_EQ(picture.blockWidth512 * ScreenModeOf(c.mode).width / 512, c.width);
        EXPECT_EQ(picture.paletteIndex, kPaletteStandard);
        int32_t wrong = 0;
        for (int32_t y = 0; y < ScreenModeOf(c.mode).lines; ++y) {
            for (int32_t x = 0; x < ScreenModeOf(c.mode).width; ++x) {
                const uint32_t want = x < c.width && y < c.height ? c.value(x, y) : 0;
                wrong += PixelAt(picture, x, y) != want;
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(CopyBlock, OnlyTheExactSizeOfABlockIsOne) {
    const Bytes block = Block(100, 100, 4, [](int32_t, int32_t) { return 1u; });
    EXPECT_EQ(block.size(), 5004u);  // 4 + 100 x 100 / 2
    EXPECT_TRUE(IsCopyBlock(block.data(), block.size(), kScreen5));
    EXPECT_FALSE(IsCopyBlock(block.data(), block.size() - 1, kScreen5));
    EXPECT_FALSE(IsCopyBlock(block.data(), block.size(), kScreen8));  // 8 bits a pixel: 10,004
    EXPECT_FALSE(IsCopyBlock(block.data(), block.size(), kScreen2));  // COPY is a bitmap command
    // Wider or higher than the screen, or empty: no block.
    for (const Bytes& file : {Block(257, 2, 4, [](int32_t, int32_t) { return 0u; }),
                              Block(2, 213, 4, [](int32_t, int32_t) { return 0u; })}) {
        EXPECT_FALSE(IsCopyBlock(file.data(), file.size(), kScreen5));
    }
    const Bytes empty = {0, 0, 5, 0};
    EXPECT_FALSE(IsCopyBlock(empty.data(), empty.size(), kScreen5));
    // A plain BSAVE file whose body is its range exactly stays a BSAVE file, even where its
    // bytes also read as a block of that size: FE 00 7E 00 FB is width 254, height 126, and
    // 4 + 254 x 126 = 32,008 bytes = 7 + (0xFB00 - 0x7E00 + 1) in SCREEN 8.
    const Bytes bsave = PlainBsave(0x7E00, 0xFB00, Bytes(0x7D01, 0x11));
    ASSERT_EQ(bsave.size(), 32008u);
    Picture picture;
    EXPECT_FALSE(LoadCopyBlockBytes(bsave.data(), bsave.size(), kScreen8, &picture));
    EXPECT_TRUE(picture.data.empty());
    Bytes cut = bsave;
    cut[0] = 0xFE;
    cut.push_back(0);  // one byte more: no exact BSAVE file and no block either
    EXPECT_FALSE(IsCopyBlock(cut.data(), cut.size(), kScreen8));
}

}  // namespace
