// YJK (SCREEN 12) and YAE (SCREEN 10/11) decoding: worked examples, every (Y, J, K)
// combination against the V9958 relations, the colour counts of the real chip, the blue
// rounding and the attribute bit.
#include "render/yjk.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

// The decoders this processor has: the table one, and the vector one where it has AVX2.
std::vector<YjkDecoder> EachDecoder() {
    std::vector<YjkDecoder> decoders = {kYjkTable};
    if (YjkDecoderAvailable(kYjkAvx2)) decoders.push_back(kYjkAvx2);
    return decoders;
}

std::string DecoderName(YjkDecoder decoder) {
    return decoder == kYjkAvx2 ? "vector decoder" : "table decoder";
}

using Rgb = std::array<uint8_t, 3>;  // red, green, blue

// Sixteen distinct palette colours (blue, green, red, 0) that no YJK pixel of the examples
// produces: blue 0x10 + n.
std::array<uint8_t, 64> MarkerPalette() {
    std::array<uint8_t, 64> p{};
    for (int n = 0; n < 16; ++n) {
        p[4 * n] = static_cast<uint8_t>(0x10 + n);
        p[4 * n + 1] = 0x01;
        p[4 * n + 2] = 0x02;
    }
    return p;
}

// Decodes a line whose every group is the four bytes given and returns pixels 0-3.
std::array<Rgb, 4> DecodeGroup(YjkDecoder decoder, const uint8_t group[4], bool yae,
                               const uint8_t* palette) {
    uint8_t line[256];
    for (int i = 0; i < 256; ++i) line[i] = group[i & 3];
    uint8_t row[768];
    std::memset(row, 0xEE, sizeof row);
    DecodeYjkRowWith(decoder, line, row, yae, palette);
    std::array<Rgb, 4> px;
    for (int p = 0; p < 4; ++p) px[p] = {row[3 * p + 2], row[3 * p + 1], row[3 * p]};
    // The row is written in full, every group alike.
    for (int i = 12; i < 768; ++i) EXPECT_EQ(row[i], row[i % 12]) << "row byte " << i;
    return px;
}

// The worked examples; r g b per pixel. Blue index 38 is clamped to 255 for Y = 30.
struct GroupCase {
    uint8_t bytes[4];
    Rgb screen12[4];
    Rgb screen10[4];  // palette colour n is shown as {0x02, 0x01, 0x10 + n}
};

const GroupCase kGroupCases[] = {
    {{0x00, 0x00, 0x00, 0x00},
     {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
     {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}},
    {{0xF8, 0xF8, 0xF8, 0xF8},  // Y = 31, J = K = 0; in SCREEN 10/11 attribute set: colour 15
     {{255, 255, 255}, {255, 255, 255}, {255, 255, 255}, {255, 255, 255}},
     {{2, 1, 0x1F}, {2, 1, 0x1F}, {2, 1, 0x1F}, {2, 1, 0x1F}}},
    {{0xF0, 0xF0, 0xF0, 0xF0},  // Y = 30, J = K = 0, no attribute
     {{247, 247, 255}, {247, 247, 255}, {247, 247, 255}, {247, 247, 255}},
     {{247, 247, 255}, {247, 247, 255}, {247, 247, 255}, {247, 247, 255}}},
    {{0x84, 0x80, 0x85, 0x87},  // Y = 16, K = 4, J = -3
     {{107, 165, 173}, {107, 165, 173}, {107, 165, 173}, {107, 165, 173}},
     {{107, 165, 173}, {107, 165, 173}, {107, 165, 173}, {107, 165, 173}}},
    {{0x0F, 0x00, 0x00, 0x00},  // attribute on pixel 0 (colour 0), whose bits still make K = 7
     {{8, 66, 0}, {0, 57, 0}, {0, 57, 0}, {0, 57, 0}},  // SCREEN 12 reads pixel 0 as Y = 1
     {{2, 1, 0x10}, {0, 57, 0}, {0, 57, 0}, {0, 57, 0}}},
};

TEST(DecodeYjkRow, WorkedExamples) {
    const auto palette = MarkerPalette();
    for (YjkDecoder decoder : EachDecoder()) {
        SCOPED_TRACE(DecoderName(decoder));
        for (const GroupCase& c : kGroupCases) {
            SCOPED_TRACE(::testing::Message()
                         << std::hex << int(c.bytes[0]) << " " << int(c.bytes[1]) << " "
                         << int(c.bytes[2]) << " " << int(c.bytes[3]));
            const auto s12 = DecodeGroup(decoder, c.bytes, false, palette.data());
            const auto s10 = DecodeGroup(decoder, c.bytes, true, palette.data());
            for (int p = 0; p < 4; ++p) {
                EXPECT_EQ(s12[p], c.screen12[p]) << "SCREEN 12 pixel " << p;
                EXPECT_EQ(s10[p], c.screen10[p]) << "SCREEN 10 pixel " << p;
            }
        }
    }
}

TEST(YjkClampTable, WidensFiveBitLevels) {
    const uint8_t* c = YjkClampTable() + 32;
    const struct {
        int n;
        int value;
    } kEntries[] = {
        {-32, 0},  {-1, 0},   {0, 0},    {1, 8},    {4, 33},   {7, 57},
        {16, 132}, {30, 247}, {31, 255}, {32, 255}, {62, 255}, {63, 255},
    };
    for (const auto& e : kEntries) EXPECT_EQ(c[e.n], e.value) << "index " << e.n;
}

// The reference: the V9958 relations computed another way, with real division and clamping
// before the widening.
uint8_t Widen(int level) {
    level = level < 0 ? 0 : level > 31 ? 31 : level;
    return static_cast<uint8_t>(level << 3 | level >> 2);
}

Rgb Reference(int y, int j, int k, bool roundBlue) {
    const double blue = (5.0 * y - 2.0 * j - k) / 4.0;
    const int b = static_cast<int>(std::floor(roundBlue ? blue + 0.5 : blue));
    return {Widen(y + j), Widen(y + k), Widen(b)};
}

// All 131,072 (Y, J, K) combinations: 4096 (J, K) pairs, each in eight groups that carry the
// 32 values of Y, pixel p of group q having Y = 4q + p.
struct AllCombinations {
    std::vector<uint8_t> lines;  // 512 lines of 64 groups
    AllCombinations() : lines(512 * 256) {
        size_t at = 0;
        for (int jk = 0; jk < 4096; ++jk) {
            const int k = jk & 63, j = jk >> 6;  // 6-bit patterns
            for (int q = 0; q < 8; ++q) {
                const int low[4] = {k & 7, k >> 3, j & 7, j >> 3};
                for (int p = 0; p < 4; ++p)
                    lines[at++] = static_cast<uint8_t>((4 * q + p) << 3 | low[p]);
            }
        }
    }
    static int Signed6(int v) { return v >= 32 ? v - 64 : v; }
};

std::vector<uint8_t> DecodeAll(YjkDecoder decoder, const std::vector<uint8_t>& lines, bool yae,
                               const uint8_t* palette) {
    std::vector<uint8_t> rows(lines.size() * 3);
    for (size_t l = 0; l < lines.size() / 256; ++l)
        DecodeYjkRowWith(decoder, &lines[256 * l], &rows[768 * l], yae, palette);
    return rows;
}

TEST(DecodeYjkRow, EveryCombinationMatchesTheRelations) {
    const AllCombinations all;
    for (YjkDecoder decoder : EachDecoder()) {
        SCOPED_TRACE(DecoderName(decoder));
        const std::vector<uint8_t> rows = DecodeAll(decoder, all.lines, false, nullptr);
        std::set<uint32_t> screen12, screen10;
        int floorDiffers = 0;
        int mismatches = 0;
        for (size_t i = 0; i < all.lines.size(); ++i) {
            const int jk = static_cast<int>(i / 32);
            const int y = all.lines[i] >> 3;
            const int j = AllCombinations::Signed6(jk >> 6), k = AllCombinations::Signed6(jk & 63);
            const Rgb got = {rows[3 * i + 2], rows[3 * i + 1], rows[3 * i]};
            const Rgb want = Reference(y, j, k, true);
            if (got != want && ++mismatches <= 5) {
                ADD_FAILURE() << "Y " << y << " J " << j << " K " << k;
            }
            // The + 2: where a plain floor of the blue level would give another colour, the
            // decoder must give the rounded one.
            if (Reference(y, j, k, false) != want) {
                ++floorDiffers;
                EXPECT_EQ(got, want) << "rounding: Y " << y << " J " << j << " K " << k;
            }
            const uint32_t key = got[0] << 16 | got[1] << 8 | got[2];
            screen12.insert(key);
            if (y % 2 == 0) screen10.insert(key);  // SCREEN 10/11 YJK pixels have an even Y
        }
        EXPECT_EQ(mismatches, 0);
        // The distinct colours of the real chip: 19,268 in SCREEN 12, 12,499 YJK colours in
        // SCREEN 10/11; 42,067 combinations would come out wrong without the rounding.
        EXPECT_EQ(screen12.size(), 19268u);
        EXPECT_EQ(screen10.size(), 12499u);
        EXPECT_EQ(floorDiffers, 42067);
    }
}

// In SCREEN 10/11 a byte with bit 3 set shows palette colour b >> 4, and every other byte shows
// what SCREEN 12 shows for the same group: the attribute bytes' low bits still make J and K.
TEST(DecodeYjkRow, YaePixelsTakePaletteColoursAndKeepJk) {
    const auto palette = MarkerPalette();
    const AllCombinations all;
    for (YjkDecoder decoder : EachDecoder()) {
        SCOPED_TRACE(DecoderName(decoder));
        // Attribute patterns over the groups: each pixel's bit 3 from a rotating mask.
        std::vector<uint8_t> lines = all.lines;
        for (size_t i = 0; i < lines.size(); ++i) {
            if ((i * 2654435761u >> 7) & 1) lines[i] |= 0x08;
        }
        const std::vector<uint8_t> yae = DecodeAll(decoder, lines, true, palette.data());
        const std::vector<uint8_t> yjk = DecodeAll(decoder, lines, false, palette.data());
        int attributes = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            const uint8_t* got = &yae[3 * i];
            if (lines[i] & 0x08) {
                ++attributes;
                const uint8_t* colour = &palette[4 * (lines[i] >> 4)];
                ASSERT_EQ(std::memcmp(got, colour, 3), 0) << "byte " << i;
            } else {
                ASSERT_EQ(std::memcmp(got, &yjk[3 * i], 3), 0) << "byte " << i;
            }
        }
        EXPECT_GT(attributes, 30000);
        EXPECT_LT(attributes, 100000);
    }
}

// The two decoders, and the one DecodeYjkRow chooses, give the same bytes for every line of
// pseudo-random bytes, in both modes, with a palette of distinct colours.
TEST(DecodeYjkRow, DecodersAgree) {
    uint8_t palette[64];
    for (int i = 0; i < 64; ++i) palette[i] = static_cast<uint8_t>(i * 37 + 11);
    std::vector<uint8_t> lines(256 * 2048);
    uint32_t seed = 2024;
    for (uint8_t& b : lines) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 16);
    }
    for (bool yae : {false, true}) {
        SCOPED_TRACE(yae ? "SCREEN 10/11" : "SCREEN 12");
        const std::vector<uint8_t> table = DecodeAll(kYjkTable, lines, yae, palette);
        std::vector<uint8_t> chosen(table.size());
        for (size_t l = 0; l < lines.size() / 256; ++l)
            DecodeYjkRow(&lines[256 * l], &chosen[768 * l], yae, palette);
        EXPECT_EQ(chosen, table);
        if (YjkDecoderAvailable(kYjkAvx2)) {
            EXPECT_EQ(DecodeAll(kYjkAvx2, lines, yae, palette), table);
        }
    }
    if (!YjkDecoderAvailable(kYjkAvx2)) GTEST_SKIP() << "no AVX2 here: only the table decoder checked";
}

}  // namespace
