// Thumbnail scaling: the sizes file managers ask for, exact area averaging down (goldens worked
// out by hand from the overlaps), nearest pixel up, and the 4x limit.
#include "render/thumbnail.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Pixels = std::vector<uint8_t>;

TEST(Thumbnail, SizeFitsTheLongerSide) {
    struct Case {
        int32_t width, height, size, thumbWidth, thumbHeight;
    };
    const Case cases[] = {
        {256, 212, 128, 128, 106},    // freedesktop "normal"
        {256, 212, 256, 256, 212},    // "large": the small view itself
        {256, 212, 1, 1, 1},          // the shorter side never reaches 0
        {256, 212, 2000, 1024, 848},  // at most 4x
        {256, 212, 1024, 1024, 848},
        {256, 212, 100, 100, 83},     // 212 * 100 / 256 = 82.8, rounded to nearest
        {100, 300, 150, 50, 150},     // portrait: the height is the longer side
        {3, 3, 2, 2, 2},
        {0, 212, 128, 0, 0},          // bad input: nothing
        {256, 212, 0, 0, 0},
        {256, 212, -5, 0, 0},
    };
    for (const Case& c : cases) {
        int32_t w = -1, h = -1;
        ThumbnailSize(c.width, c.height, c.size, &w, &h);
        EXPECT_EQ(w, c.thumbWidth) << c.width << "x" << c.height << " at " << c.size;
        EXPECT_EQ(h, c.thumbHeight) << c.width << "x" << c.height << " at " << c.size;
        const Pixels rgb(static_cast<size_t>(c.width > 0 ? c.width : 0) * (c.height > 0 ? c.height : 0) * 3, 7);
        const Thumbnail t = MakeThumbnail(rgb.data(), c.width, c.height, c.size);
        EXPECT_EQ(t.width, c.thumbWidth);
        EXPECT_EQ(t.height, c.thumbHeight);
        EXPECT_EQ(t.rgb.size(), static_cast<size_t>(c.thumbWidth) * c.thumbHeight * 3);
    }
}

// 3 x 3 -> 2 x 2 is not a whole ratio: in both directions thumbnail pixel 0 takes 2/3 of picture
// pixel 0 and 1/3 of pixel 1, thumbnail pixel 1 takes 1/3 of pixel 1 and 2/3 of pixel 2, so the
// corner weights are 4, 2, 2, 1 ninths. Red is the ramp 90x + 9y (exact: 33, 153, 45, 165);
// green is 255 in the top-left pixel only (255 * 4/9 = 113.3 -> 113); blue 255 in the centre
// only (255 / 9 = 28.3 -> 28 in all four).
TEST(Thumbnail, BoxFilterAveragesExactAreasForAFractionalRatio) {
    Pixels rgb(3 * 3 * 3, 0);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) rgb[(y * 3 + x) * 3] = static_cast<uint8_t>(90 * x + 9 * y);
    }
    rgb[1] = 255;                 // green of (0, 0)
    rgb[(1 * 3 + 1) * 3 + 2] = 255;  // blue of (1, 1)
    const Thumbnail t = MakeThumbnail(rgb.data(), 3, 3, 2);
    ASSERT_EQ(t.width, 2);
    ASSERT_EQ(t.height, 2);
    const Pixels expected = {33, 113, 28, 153, 0, 28, 45, 0, 28, 165, 0, 28};
    EXPECT_EQ(t.rgb, expected);
}

// A whole ratio of 2 is the plain mean of each 2 x 2 block, halves rounded up: checked against
// that simpler formula on a scrambled 256 x 212 picture (the small view's size).
TEST(Thumbnail, HalfSizeIsTheMeanOfEachBlock) {
    Pixels rgb(256 * 212 * 3);
    uint32_t state = 12345;
    for (uint8_t& b : rgb) {
        state = state * 1103515245u + 12345u;
        b = static_cast<uint8_t>(state >> 16);
    }
    const Thumbnail t = MakeThumbnail(rgb.data(), 256, 212, 128);
    ASSERT_EQ(t.width, 128);
    ASSERT_EQ(t.height, 106);
    int mismatches = 0;
    for (int y = 0; y < 106; ++y) {
        for (int x = 0; x < 128; ++x) {
            for (int k = 0; k < 3; ++k) {
                auto at = [&](int px, int py) { return rgb[(py * 256 + px) * 3 + k]; };
                const int sum = at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) + at(2 * x + 1, 2 * y + 1);
                if (t.rgb[(y * 128 + x) * 3 + k] != (sum + 2) / 4) ++mismatches;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(Thumbnail, SizeOfTheLongerSideKeepsEveryPixel) {
    Pixels rgb(256 * 212 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 7 + i / 768);
    const Thumbnail t = MakeThumbnail(rgb.data(), 256, 212, 256);
    EXPECT_EQ(t.rgb, rgb);
}

// Up, each thumbnail pixel is the picture pixel under its centre: P Q doubled is P P Q Q on
// both lines; 3 -> 7 is not whole (centres at 3/14, 9/14, 15/14, ...: P P Q Q Q R R); asked for
// 100, a 2 x 1 picture stops at 4x (8 x 4).
TEST(Thumbnail, NearestPixelUp) {
    const uint8_t P[3] = {255, 0, 0}, Q[3] = {0, 255, 0}, R[3] = {0, 0, 255};
    auto row = [](std::initializer_list<const uint8_t*> pixels) {
        Pixels out;
        for (const uint8_t* p : pixels) out.insert(out.end(), p, p + 3);
        return out;
    };
    struct Case {
        Pixels picture;
        int32_t width, height, size;
        int32_t thumbWidth, thumbHeight;
        Pixels line;  // every line of the thumbnail
    };
    const Case cases[] = {
        {row({P, Q}), 2, 1, 4, 4, 2, row({P, P, Q, Q})},
        {row({P, Q, R}), 3, 1, 7, 7, 2, row({P, P, Q, Q, Q, R, R})},
        {row({P, Q}), 2, 1, 100, 8, 4, row({P, P, P, P, Q, Q, Q, Q})},
    };
    for (const Case& c : cases) {
        const Thumbnail t = MakeThumbnail(c.picture.data(), c.width, c.height, c.size);
        ASSERT_EQ(t.width, c.thumbWidth);
        ASSERT_EQ(t.height, c.thumbHeight);
        for (int32_t y = 0; y < t.height; ++y) {
            const Pixels line(t.rgb.begin() + y * t.width * 3, t.rgb.begin() + (y + 1) * t.width * 3);
            EXPECT_EQ(line, c.line) << c.width << " -> " << c.size << ", line " << y;
        }
    }
}

}  // namespace
