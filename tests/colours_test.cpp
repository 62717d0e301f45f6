// The viewer's colours and the machine's (--colors): SCREEN 6 pixel value v shows palette colour
// 5v in the viewer and v on the MSX2's VDP; SCREEN 8's 2-bit blue shows as 00 52 AD FF in the
// viewer and at the palette levels 0, 2, 4, 7 (00 4A 94 FF) on the VDP. Every other mode, and
// everything but the pixels' colours, is the same either way.
#include <gtest/gtest.h>

#include <vector>

#include "image/picture.h"
#include "render/display.h"
#include "render/view.h"

namespace {

// A picture whose palette table (at the mode's address) gives entry n the levels red n&7,
// green (n*3)&7, blue 7-(n&7): sixteen distinct colours.
Picture MakePicture(int32_t mode) {
    Picture picture;
    AllocateVram(&picture, 0x10000);
    picture.screenMode = static_cast<ScreenMode>(mode);
    picture.paletteIndex = kPaletteInternal;
    uint8_t* table = picture.data.data() + PaletteTableAddress(mode);
    for (int n = 0; n < 16; ++n) {
        table[2 * n] = static_cast<uint8_t>((n & 7) << 4 | (7 - (n & 7)));
        table[2 * n + 1] = static_cast<uint8_t>((n * 3) & 7);
    }
    return picture;
}

std::vector<uint8_t> Render(const Picture& picture, ColourMapping colours, ViewSize view) {
    const DisplayBitmap bitmap = BuildDisplayBitmap(picture, colours);
    std::vector<uint8_t> rgb(static_cast<size_t>(ViewWidth(bitmap, view)) * ViewHeight(bitmap, view) * 3);
    RenderView(bitmap, view, rgb.data());
    return rgb;
}

// The RGB of palette entry n of MakePicture's table through the level table.
std::vector<uint8_t> EntryColour(int n) {
    return {kLevelTable[n & 7], kLevelTable[(n * 3) & 7], kLevelTable[7 - (n & 7)]};
}

TEST(Colours, Screen6EveryPixelValue) {
    Picture picture = MakePicture(kScreen6);
    // First byte of line 0: pixels 0, 1, 2, 3 from the left (bits 7-6 leftmost).
    picture.data[0] = 0x1B;  // 00 01 10 11
    const auto viewer = Render(picture, kViewerColours, kViewFull);
    const auto hardware = Render(picture, kHardwareColours, kViewFull);
    for (int v = 0; v < 4; ++v) {
        const std::vector<uint8_t> atViewer(viewer.begin() + 3 * v, viewer.begin() + 3 * v + 3);
        const std::vector<uint8_t> atHardware(hardware.begin() + 3 * v, hardware.begin() + 3 * v + 3);
        EXPECT_EQ(atViewer, EntryColour(5 * v)) << "viewer, value " << v;
        EXPECT_EQ(atHardware, EntryColour(v)) << "hardware, value " << v;
    }
}

TEST(Colours, Screen6SmallViewMixesTheMachinesColours) {
    Picture picture = MakePicture(kScreen6);
    picture.data[0] = 0x03;  // pixels 0 0 0 3: the second 1:1 pixel mixes entries 0 and 3
    const auto small = Render(picture, kHardwareColours, kViewSmall);
    const auto a = EntryColour(0), b = EntryColour(3);
    for (int c = 0; c < 3; ++c) {
        // The half-width mean, per channel from the top five bits (see the display's table).
        const int s = (a[c] & 0xF8) + (b[c] & 0xF8);
        EXPECT_EQ(small[3 + c], (s >> 1) + (s >> 6)) << "channel " << c;
    }
}

TEST(Colours, Screen8EveryBlueValue) {
    const uint8_t kViewerBlue[4] = {0x00, 0x52, 0xAD, 0xFF};
    const uint8_t kHardwareBlue[4] = {0x00, 0x4A, 0x94, 0xFF};  // levels 0, 2, 4, 7
    Picture picture = MakePicture(kScreen8);
    for (int blue = 0; blue < 4; ++blue) picture.data[blue] = static_cast<uint8_t>(0xA0 | blue);  // G5 R0
    const auto viewer = Render(picture, kViewerColours, kViewFull);
    const auto hardware = Render(picture, kHardwareColours, kViewFull);
    for (int blue = 0; blue < 4; ++blue) {
        EXPECT_EQ(viewer[3 * blue + 2], kViewerBlue[blue]);
        EXPECT_EQ(hardware[3 * blue + 2], kHardwareBlue[blue]);
        // Red and green are the level table's in both.
        EXPECT_EQ(hardware[3 * blue], kLevelTable[0]);
        EXPECT_EQ(hardware[3 * blue + 1], kLevelTable[5]);
        EXPECT_EQ(viewer[3 * blue + 1], hardware[3 * blue + 1]);
    }
}

TEST(Colours, OtherModesLookTheSameEitherWay) {
    for (int32_t mode : {kScreen5, kScreen7, kScreen10, kScreen12}) {
        Picture picture = MakePicture(mode);
        uint32_t seed = 7;
        for (int32_t i = 0; i < kLargeBitmapBytes; ++i) {
            seed = seed * 1103515245u + 12345u;
            picture.data[static_cast<size_t>(i)] = static_cast<uint8_t>(seed >> 16);
        }
        EXPECT_EQ(BuildDisplayBitmap(picture, kViewerColours).buffer,
                  BuildDisplayBitmap(picture, kHardwareColours).buffer)
            << ScreenModeOf(mode).name;
    }
}

}  // namespace
