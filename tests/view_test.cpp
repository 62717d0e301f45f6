// What the pane shows: an asymmetric "F" through every mode at full size, and the small and
// large views against the full one.
#include "render/view.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/picture.h"
#include "palette/palette.h"
#include "render/display.h"
#include "tests/test_support.h"

namespace {

// A 5 x 7 "F" at (1, 1): asymmetric left to right and top to bottom.
const char* const kGlyph[7] = {"#####", "#....", "#....", "####.", "#....", "#....", "#...."};

bool Ink(int x, int y) { return x >= 1 && x < 6 && y >= 1 && y < 8 && kGlyph[y - 1][x - 1] == '#'; }

struct ModeCase {
    int32_t mode;
    int width;
    uint32_t ink, paper;  // 0xRRGGBB as shown, written out by hand
};

// Ink and paper: SCREEN 5 and 7 colour 8 (red FF2121) on 4 (blue 2121FF) of the power-on
// palette; SCREEN 6 value 2 (colour 10, DEDE21) on 1 (colour 5, 4A6BFF); SCREEN 8 byte 0x1C
// (pure red) on 0x03 (pure blue); SCREEN 12 Y = 31 white on Y = 0 black (J = K = 0); SCREEN 10
// likewise, its 0xF8 bytes taking palette colour 15, also white.
const ModeCase kModes[] = {
    {kScreen5, 256, 0xFF2121, 0x2121FF},  {kScreen6, 512, 0xDEDE21, 0x4A6BFF},
    {kScreen7, 512, 0xFF2121, 0x2121FF},  {kScreen8, 256, 0xFF0000, 0x0000FF},
    {kScreen10, 256, 0xFFFFFF, 0x000000}, {kScreen12, 256, 0xFFFFFF, 0x000000},
};

void SetPixel(Picture* picture, int32_t mode, int x, int y, bool ink) {
    uint8_t* d = picture->data.data();
    switch (mode) {
        case kScreen5:
        case kScreen7: {
            uint8_t& b = d[y * ScreenModeOf(mode).bytesPerLine + x / 2];
            const int code = ink ? 8 : 4;
            b = static_cast<uint8_t>(x % 2 == 0 ? (b & 0x0F) | code << 4 : (b & 0xF0) | code);
            break;
        }
        case kScreen6: {
            uint8_t& b = d[y * 128 + x / 4];
            const int shift = 6 - 2 * (x % 4);
            b = static_cast<uint8_t>((b & ~(3 << shift)) | (ink ? 2 : 1) << shift);
            break;
        }
        case kScreen8:
            d[y * 256 + x] = ink ? 0x1C : 0x03;
            break;
        case kScreen10:
        case kScreen12:
            d[y * 256 + x] = ink ? 0xF8 : 0x00;
            break;
    }
}

Picture MakeGlyphPicture(const ModeCase& c) {
    Picture picture;
    AllocateVram(&picture, 0xD400);
    picture.screenMode = static_cast<ScreenMode>(c.mode);
    picture.paletteIndex = kPaletteStandard;
    for (int y = 0; y < 212; ++y) {
        for (int x = 0; x < c.width; ++x) SetPixel(&picture, c.mode, x, y, Ink(x, y));
    }
    return picture;
}

std::vector<uint8_t> Render(const DisplayBitmap& bitmap, ViewSize view) {
    std::vector<uint8_t> rgb(static_cast<size_t>(ViewWidth(bitmap, view)) * ViewHeight(bitmap, view) * 3);
    RenderView(bitmap, view, rgb.data());
    return rgb;
}

uint32_t At(const std::vector<uint8_t>& rgb, int width, int x, int y) {
    const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2];
}

TEST(RenderView, FullShowsTheGlyphUprightInEveryMode) {
    for (const ModeCase& c : kModes) {
        SCOPED_TRACE(ScreenModeOf(c.mode).name);
        const DisplayBitmap bitmap = BuildDisplayBitmap(MakeGlyphPicture(c));
        ASSERT_EQ(ViewWidth(bitmap, kViewFull), c.width);
        ASSERT_EQ(ViewHeight(bitmap, kViewFull), 212);
        const auto rgb = Render(bitmap, kViewFull);
        int wrong = 0;
        for (int y = 0; y < 212; ++y) {
            for (int x = 0; x < c.width; ++x) {
                const uint32_t want = Ink(x, y) ? c.ink : c.paper;
                if (At(rgb, c.width, x, y) != want && ++wrong <= 3) {
                    ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex
                                  << At(rgb, c.width, x, y) << " not " << want;
                }
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

// The per-channel mean of two shown colours, as the 1:1 pane shows a pair of SCREEN 6/7 pixels.
uint32_t Mean(uint32_t a, uint32_t b) {
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t s = ((a >> shift) & 0xF8) + ((b >> shift) & 0xF8);
        out |= ((s >> 1) + (s >> 6)) << shift;
    }
    return out;
}

// Small: 256 x 212, the full picture itself or, for the 512-pixel modes, each pair of pixels
// as its mean. Large: 512 x 424, each full pixel repeated to fill it.
TEST(RenderView, SmallAndLargeFollowTheFullPicture) {
    for (const ModeCase& c : kModes) {
        SCOPED_TRACE(ScreenModeOf(c.mode).name);
        Picture picture = MakeGlyphPicture(c);
        // Some variety beyond two colours: a diagonal of other bytes.
        for (int i = 0; i < 212; ++i)
            picture.data[i * ScreenModeOf(c.mode).bytesPerLine + i / 2] = static_cast<uint8_t>(i * 29);
        const DisplayBitmap bitmap = BuildDisplayBitmap(picture);
        const auto full = Render(bitmap, kViewFull);
        ASSERT_EQ(ViewWidth(bitmap, kViewSmall), 256);
        ASSERT_EQ(ViewHeight(bitmap, kViewSmall), 212);
        ASSERT_EQ(ViewWidth(bitmap, kViewLarge), 512);
        ASSERT_EQ(ViewHeight(bitmap, kViewLarge), 424);
        const auto small = Render(bitmap, kViewSmall);
        const auto large = Render(bitmap, kViewLarge);
        const bool half = c.width == 512;
        int wrong = 0;
        for (int y = 0; y < 212; ++y) {
            for (int x = 0; x < 256; ++x) {
                const uint32_t want =
                    half ? Mean(At(full, 512, 2 * x, y), At(full, 512, 2 * x + 1, y))
                         : At(full, 256, x, y);
                wrong += At(small, 256, x, y) != want;
            }
        }
        for (int y = 0; y < 424; ++y) {
            for (int x = 0; x < 512; ++x) {
                wrong += At(large, 512, x, y) != At(full, c.width, half ? x : x / 2, y / 2);
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

}  // namespace
