// Import: the exactness round trip over real pictures, one golden import per mode, the fitting
// rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "image/bsave.h"
#include "image/picture.h"
#include "import/import.h"
#include "import/import_internal.h"
#include "palette/palette.h"
#include "render/display.h"
#include "render/view.h"
#include "tests/test_support.h"

namespace {

struct Rendered {
    int32_t width = 0;
    Bytes rgb;
};

// The viewer's full view of a picture.
Rendered RenderFull(const Picture& picture) {
    Rendered r;
    r.rgb = RenderFullView(picture, &r.width);
    return r;
}

struct RoundTripCase {
    const char* name;
    bool sample;  // bundled sample (else a picture of ../shared/pictures)
};

// Every picture that loads in SCREEN 5, 7 or 8 (a .s12 of 54272 bytes loads as SCREEN 7), and
// the samples and pictures of SCREEN 6, 10/11 and 12.
const RoundTripCase kRoundTrips[] = {
    {"testcard.sc5", true},          {"testcard.sc7", true},
    {"testcard.sc8", true},          {"testcard.sr5", true},
    {"testcard.sc6", true},          {"testcard.scc", true},
    {"testcard.sca", true},          {"msxgl_IMAGE01.sc6", false},
    {"msxgl_IMAGE01.sc5", false},    {"msxgl_IMAGE01.sc7", false},
    {"msxgl_IMAGE01.sc8", false},    {"msxgl_IMAGE01.s12", false},
    {"msxgl_PALETTE.sc5", false},    {"msxgl_data_cust.sc5", false},
    {"msxgl_data_pal24.sc5", false}, {"msxgl_data.sc8", false},
    {"msxgl_data00_rlep.sc5", false}, {"fusionc_mona.sc5", false},
};

// Rendered at full view and imported again, a picture renders identically, under every dither.
TEST(Import, ExactRoundTripOfRealPictures) {
    const std::string samples = VRAMORIA_SAMPLES;
    const std::string shared = SharedPictures();
    int tested = 0;
    for (const RoundTripCase& c : kRoundTrips) {
        SCOPED_TRACE(c.name);
        const std::string dir = c.sample ? samples : shared;
        if (dir.empty() || !FileExists(dir + "/" + c.name)) continue;
        Picture loaded;
        ASSERT_EQ(LoadScreenFileNamed((dir + "/" + c.name).c_str(), &loaded), kLoadOk);
        const ScreenMode mode = static_cast<ScreenMode>(loaded.screenMode);
        const Rendered before = RenderFull(loaded);
        ASSERT_EQ(before.width, ImportWidth(mode));
        for (DitherMode dither : {kDitherNone, kDitherOrdered, kDitherDiffusion}) {
            SCOPED_TRACE(dither);
            const Bytes vram = ImportImage(before.rgb.data(), before.width, kImportHeight, mode,
                                           {kFitContain, dither});
            ASSERT_EQ(vram.size(), static_cast<size_t>(ImportBytes(mode)));
            const Rendered after = RenderFull(ImportedPicture(vram, mode));
            EXPECT_TRUE(after.rgb == before.rgb);
        }
        ++tested;
    }
    if (shared.empty()) std::printf("../shared/pictures is absent: only the samples were tested\n");
    if (tested == 0) GTEST_SKIP() << "no samples (cross build) and no shared pictures";
}

double PowerOfN(double x, int n) {
    double r = 1;
    for (int i = 0; i < n; ++i) r *= x;
    return r;
}

// A made-up 256 x 212 (or 512 x 212) picture: every pixel colour c0 except the first four of
// the first line, which are c1..c4.
Bytes MadeUp(int32_t width, const uint8_t (*colours)[3]) {
    Bytes rgb(static_cast<size_t>(width) * kImportHeight * 3);
    for (size_t i = 0; i < rgb.size() / 3; ++i) std::memcpy(&rgb[3 * i], colours[i < 4 ? i + 1 : 0], 3);
    return rgb;
}

// Golden bytes worked out by hand from the formulas: palette words 0x0GRB stored as 0RRR0BBB,
// 00000GGG through the level table 00 21 4A 6B 94 B5 DE FF; GRAPHIC7 bytes GGGRRRBB with blue
// 00 52 AD FF; YJK bytes YYYYYkkk/YYYYYKKK/YYYYYjjj/YYYYYJJJ.
TEST(Import, GoldenPaletteModes) {
    // c0 = (0x94,0x21,0xFF): levels r4 g1 b7; c1 = white; c2 = black; c3 = (0x00,0xDE,0x4A):
    // r0 g6 b2; c4 = c0. Exact palette colours, in order of first appearance: white, black, c3,
    // c0 (indices 0..3), the rest black.
    const uint8_t colours[5][3] = {{0x94, 0x21, 0xFF}, {0xFF, 0xFF, 0xFF}, {0, 0, 0}, {0x00, 0xDE, 0x4A}, {0x94, 0x21, 0xFF}};
    const Bytes rgb5 = MadeUp(256, colours);
    const Bytes v5 = ImportFitted(rgb5.data(), kScreen5, kDitherDiffusion);
    ASSERT_EQ(v5.size(), 0x76A0u);
    EXPECT_EQ(v5[0], 0x01);  // pixels white, black
    EXPECT_EQ(v5[1], 0x23);  // c3, c0
    EXPECT_EQ(v5[2], 0x33);
    EXPECT_EQ(v5[0x6A00 - 1], 0x33);
    const Bytes table5(v5.begin() + 0x7680, v5.begin() + 0x7688);
    EXPECT_EQ(table5, (Bytes{0x77, 0x07, 0x00, 0x00, 0x02, 0x06, 0x47, 0x01}));
    EXPECT_EQ(v5[0x7688], 0x00);

    const Bytes rgb7 = MadeUp(512, colours);
    const Bytes v7 = ImportFitted(rgb7.data(), kScreen7, kDitherNone);
    ASSERT_EQ(v7.size(), 0xFAA0u);
    EXPECT_EQ(v7[0], 0x01);
    EXPECT_EQ(v7[1], 0x23);
    EXPECT_EQ(v7[0xD400 - 1], 0x33);
    EXPECT_EQ(Bytes(v7.begin() + 0xFA80, v7.begin() + 0xFA88), table5);

    // SCREEN 6: the four colours at entries 0, 5, 10, 15; pixel values 0..3.
    const Bytes rgb6 = MadeUp(512, colours);
    const Bytes v6 = ImportFitted(rgb6.data(), kScreen6, kDitherNone);
    ASSERT_EQ(v6.size(), 0x76A0u);
    EXPECT_EQ(v6[0], 0x1B);  // 00 01 10 11
    EXPECT_EQ(v6[1], 0xFF);
    EXPECT_EQ(v6[0x7680 + 0], 0x77);  // entry 0: white
    EXPECT_EQ(v6[0x7680 + 1], 0x07);
    EXPECT_EQ(v6[0x7680 + 10], 0x00);  // entry 5: black
    EXPECT_EQ(v6[0x7680 + 20], 0x02);  // entry 10: c3
    EXPECT_EQ(v6[0x7680 + 21], 0x06);
    EXPECT_EQ(v6[0x7680 + 30], 0x47);  // entry 15: c0
    EXPECT_EQ(v6[0x7680 + 31], 0x01);

    // SCREEN 8: c0 is G1 R4 B3 = 001 100 11; white FF; black 00; c3 is G6 R0 B1 (0x4A is
    // nearer to 0x52 than to 0x00) = 110 000 01, not exact, so diffusion is off here.
    const Bytes v8 = ImportFitted(rgb5.data(), kScreen8, kDitherNone);
    ASSERT_EQ(v8.size(), 0xD400u);
    EXPECT_EQ(Bytes(v8.begin(), v8.begin() + 5), (Bytes{0xFF, 0x00, 0xC1, 0x33, 0x33}));
}

// A colour the mode shows exactly stays that colour under every dither: a grid of all 256
// GRAPHIC7 colours (as the viewer shows them) into SCREEN 8, and white beside one exact grey into
// SCREEN 5, come back pixel for pixel.
TEST(Import, ExactColoursAreNeverDithered) {
    static const uint8_t kLevels[8] = {0x00, 0x21, 0x4A, 0x6B, 0x94, 0xB5, 0xDE, 0xFF};
    static const uint8_t kBlue[4] = {0x00, 0x52, 0xAD, 0xFF};
    Bytes grid(256 * kImportHeight * 3);
    for (int32_t y = 0; y < kImportHeight; ++y) {
        for (int32_t x = 0; x < 256; ++x) {
            const int32_t c = (x / 16) * 16 + (y / 13) % 16;  // GGGRRRBB, blocks of 16 x 13
            uint8_t* p = &grid[3 * (static_cast<size_t>(y) * 256 + x)];
            p[0] = kLevels[(c >> 2) & 7];
            p[1] = kLevels[c >> 5];
            p[2] = kBlue[c & 3];
        }
    }
    Bytes greys(256 * kImportHeight * 3, 0xFF);
    for (size_t i = 0; i < greys.size() / 3; i += 2) std::memset(&greys[3 * i], 0xDE, 3);
    for (DitherMode dither : {kDitherNone, kDitherOrdered, kDitherDiffusion}) {
        SCOPED_TRACE(dither);
        const Rendered eight = RenderFull(ImportedPicture(ImportFitted(grid.data(), kScreen8, dither), kScreen8));
        EXPECT_TRUE(eight.rgb == grid);
        const Rendered five = RenderFull(ImportedPicture(ImportFitted(greys.data(), kScreen5, dither), kScreen5));
        EXPECT_TRUE(five.rgb == greys);
    }
}

// A picture of at least 16 colours gets 16 different palette words, however close its colours
// lie: dark, smooth pictures used to fall into a handful of histogram cells and leave the rest
// of the palette as repeats of black.
TEST(Import, Screen5PaletteWordsAreDistinct) {
    struct Case {
        const char* what;
        int32_t red, green, blue;  // the ramp's span in each channel, from 0 (or 8 for blue)
    };
    const Case cases[] = {
        {"a dark blue-grey ramp", 40, 30, 70},
        {"a near-black ramp", 12, 12, 12},
        {"a dark red ramp", 90, 4, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes rgb(256 * kImportHeight * 3);
        for (int32_t y = 0; y < kImportHeight; ++y) {
            for (int32_t x = 0; x < 256; ++x) {
                uint8_t* p = &rgb[3 * (static_cast<size_t>(y) * 256 + x)];
                p[0] = static_cast<uint8_t>(c.red * x / 255);
                p[1] = static_cast<uint8_t>(c.green * y / (kImportHeight - 1));
                p[2] = static_cast<uint8_t>(8 + c.blue * (x + y) / (255 + kImportHeight));
            }
        }
        for (DitherMode dither : {kDitherNone, kDitherDiffusion}) {
            const Bytes vram = ImportFitted(rgb.data(), kScreen5, dither);
            std::vector<uint16_t> words;
            for (int32_t n = 0; n < 16; ++n) {
                words.push_back(static_cast<uint16_t>(vram[0x7680 + 2 * n] | vram[0x7681 + 2 * n] << 8));
            }
            std::sort(words.begin(), words.end());
            EXPECT_EQ(std::unique(words.begin(), words.end()) - words.begin(), 16) << "dither " << dither;
        }
    }
}

// The importer's own roots and sRGB curve (plain arithmetic, the same bits on every build)
// against the C library's, which they replace: within a few units in the last place.
TEST(Import, OwnRootsMatchTheMathsLibrary) {
    using namespace import_detail;
    double worst = 0;
    for (int n = 2; n <= 12; ++n) {
        for (double x : {1e-17, 3e-13, 1e-6, 0.0031308, 0.04, 0.2, 0.5, 0.73, 0.999999, 1.0, 2.0, 1234.5}) {
            const double want = std::pow(x, 1.0 / n);
            const double got = Root(x, n);
            worst = std::max(worst, std::fabs(got - want) / want);
            EXPECT_GE(PowerOfN(got, n) * (1 + 1e-14), x) << "n " << n << " x " << x;  // never below
        }
    }
    EXPECT_LT(worst, 1e-14);
    EXPECT_EQ(Root(0.0, 3), 0.0);
    EXPECT_EQ(Cbrt(0.0), 0.0);
    double worstCube = 0;
    for (double x = 1e-12; x < 8.0; x *= 1.0137) {  // every exponent residue, every mantissa range
        worstCube = std::max(worstCube, std::fabs(Cbrt(x) - std::cbrt(x)) / std::cbrt(x));
    }
    EXPECT_LT(worstCube, 1e-15);
    for (int v = 0; v < 256; ++v) {
        const double c = v / 255.0;
        const double want = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        EXPECT_NEAR(SrgbDecode(c), want, 1e-13) << v;
        EXPECT_NEAR(SrgbEncode(want), c, 1e-12) << v;
        EXPECT_EQ(LinearToSrgb(static_cast<float>(want)), v);  // every level comes back
    }
}

TEST(Import, GoldenYjkModes) {
    // One group of exact YJK colours: J = 3, K = -2, Y = 10, 12, 14, 16: R = Y + 3,
    // G = Y - 2, B = (5Y - 6 + 2 + 2) >> 2 = 12, 14, 17, 19 (5-bit levels, widened n<<3 | n>>2).
    // Bytes: Y << 3 | K bits 2-0 (6), K bits 5-3 (7), J bits 2-0 (3), J bits 5-3 (0).
    auto widen = [](int n) { return static_cast<uint8_t>(n << 3 | n >> 2); };
    uint8_t colours[5][3] = {{0, 0, 0}};
    const int ys[4] = {10, 12, 14, 16}, bs[4] = {12, 14, 17, 19};
    for (int i = 0; i < 4; ++i) {
        colours[i + 1][0] = widen(ys[i] + 3);
        colours[i + 1][1] = widen(ys[i] - 2);
        colours[i + 1][2] = widen(bs[i]);
    }
    const Bytes black = MadeUp(256, colours);
    const Bytes v12 = ImportFitted(black.data(), kScreen12, kDitherDiffusion);
    ASSERT_EQ(v12.size(), 0xD400u);
    EXPECT_EQ(Bytes(v12.begin(), v12.begin() + 4), (Bytes{0x56, 0x67, 0x73, 0x80}));
    EXPECT_EQ(v12[4], 0x00);  // black: Y = 0 with J = K = 0 (K = -1 is exact too; ties go
                              // to the pair nearest the group's estimate, here 0, 0)
    EXPECT_EQ(v12[0xD400 - 1], 0x00);

    // SCREEN 10/11: the same group (its Y are even) stays YJK; the rest is a grey no YJK code
    // shows (0x94: R = G needs J = K, then B = 23 - 2J cannot be 18), which the palette has
    // exactly: palette pixels, attribute bit 3 set, J = K = 0 in a group of palette pixels.
    const uint8_t grey[3] = {0x94, 0x94, 0x94};
    std::memcpy(colours[0], grey, 3);
    const Bytes mixed = MadeUp(256, colours);
    const Bytes v10 = ImportFitted(mixed.data(), kScreen10, kDitherNone);
    ASSERT_EQ(v10.size(), 0xFAA0u);
    EXPECT_EQ(Bytes(v10.begin(), v10.begin() + 4), (Bytes{0x56, 0x67, 0x73, 0x80}));
    const Rendered shown = RenderFull(ImportedPicture(v10, kScreen10));
    for (size_t i = 4; i < 256 * 212; i += 97) {
        SCOPED_TRACE(i);
        EXPECT_EQ(v10[i] & 0x0F, 0x08);
        EXPECT_EQ(Bytes(shown.rgb.begin() + 3 * i, shown.rgb.begin() + 3 * i + 3), Bytes(grey, grey + 3));
    }
}

// Every colour a YJK group can show, rendered and imported again, renders the same: the
// encoder's view of a code's colour must be the decoder's to the bit (a blue rounded otherwise
// would move about a third of the colours), and its search must reach an exact code. That is
// checked for every group with a pixel whose red and green lie strictly inside the range
// (Y + J and Y + K in 1..30): the few pairs that show such a pixel exactly include the group's
// own, and the encoder tries them all. Where every pixel has a red or green at an end (0 or
// 31, which any J or K beyond it also shows) the pairs run into thousands; such groups are left
// to the search near the estimate and may come back inexact. All 4096 (J, K) pairs, each
// with every Y a mode's YJK pixels have (all 32 in SCREEN 12, the 16 even ones in SCREEN 10/11,
// where bit 3 is the attribute), four Y a group, in as many 256 x 212 pictures as that takes.
struct EveryYjkCase {
    const char* what;
    ScreenMode mode;
    int yStep;
    size_t colours;  // the distinct colours shown: those of the real chip
};

TEST(Import, EveryYjkColourRoundTrips) {
    const EveryYjkCase cases[] = {{"SCREEN 12", kScreen12, 1, 19268},
                                  {"SCREEN 10/11", kScreen10, 2, 12499}};
    const size_t pictureBytes = 256u * kImportHeight;
    for (const EveryYjkCase& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes codes;
        std::vector<bool> mustBeExact;  // per group
        for (int jk = 0; jk < 4096; ++jk) {
            const int k = jk & 63, j = jk >> 6;  // 6-bit patterns
            const int low[4] = {k & 7, k >> 3, j & 7, j >> 3};
            const int sj = j >= 32 ? j - 64 : j, sk = k >= 32 ? k - 64 : k;
            for (int y = 0; y < 32; y += c.yStep) {
                if (codes.size() % 4 == 0) mustBeExact.push_back(false);
                if (y + sj > 0 && y + sj < 31 && y + sk > 0 && y + sk < 31) {
                    mustBeExact.back() = true;
                }
                codes.push_back(static_cast<uint8_t>(y << 3 | low[codes.size() % 4]));
            }
        }
        std::vector<uint32_t> shown;
        size_t checked = 0, differing = 0;
        for (size_t at = 0; at < codes.size(); at += pictureBytes) {
            const size_t end = std::min(at + pictureBytes, codes.size());
            Bytes vram(static_cast<size_t>(ImportBytes(c.mode)), 0);
            std::copy(codes.begin() + at, codes.begin() + end, vram.begin());
            const Rendered before = RenderFull(ImportedPicture(vram, c.mode));
            const Bytes imported = ImportFitted(before.rgb.data(), c.mode, kDitherNone);
            const Rendered after = RenderFull(ImportedPicture(imported, c.mode));
            ASSERT_EQ(after.rgb.size(), before.rgb.size());
            for (size_t i = at; i < end; ++i) {
                const uint8_t* p = &before.rgb[3 * (i - at)];
                shown.push_back(uint32_t{p[0]} << 16 | p[1] << 8 | p[2]);
                if (!mustBeExact[i / 4]) continue;
                ++checked;
                if (std::memcmp(p, &after.rgb[3 * (i - at)], 3) != 0 && ++differing <= 5) {
                    ADD_FAILURE() << "code byte " << i << " comes back as another colour";
                }
            }
        }
        EXPECT_EQ(differing, 0u) << "of " << checked;
        EXPECT_GT(checked, codes.size() / 4);
        std::sort(shown.begin(), shown.end());
        EXPECT_EQ(static_cast<size_t>(std::unique(shown.begin(), shown.end()) - shown.begin()),
                  c.colours);
    }
}

// The fitting rules, on pictures whose rows or columns are told apart by their colour.
struct FitCase {
    const char* what;
    int32_t width, height, outWidth;
    FitMode fit;
    int32_t left, top, right, bottom;  // the picture's rectangle in the output, black outside
    int32_t group = 1;                 // FitImage's columnGroup
};

const FitCase kFits[] = {
    {"exact size, pixel for pixel", 256, 212, 256, kFitContain, 0, 0, 256, 212},
    {"wide, contain: bars above and below", 512, 212, 256, kFitContain, 0, 53, 256, 159},
    {"tall, contain: bars left and right", 106, 212, 256, kFitContain, 75, 0, 181, 212},
    {"square into 512-wide: pixels half as wide", 100, 100, 512, kFitContain, 44, 0, 468, 212},
    {"256 x 212 into 512-wide: each pixel twice", 256, 212, 512, kFitContain, 0, 0, 512, 212},
    {"cover fills the screen", 100, 100, 256, kFitCover, 0, 0, 256, 212},
    {"stretch fills the screen", 10, 300, 256, kFitStretch, 0, 0, 256, 212},
    // SCREEN 10/11 and 12 code four columns together: the border ends on a group's edge.
    {"square in groups of 4: 22 columns of border become 20", 212, 212, 256, kFitContain, 20, 0, 232, 212, 4},
    {"tall in groups of 4: 106 columns become 108", 106, 212, 256, kFitContain, 72, 0, 180, 212, 4},
    {"one column in groups of 4: one whole group", 1, 212, 256, kFitContain, 124, 0, 128, 212, 4},
    {"cover in groups of 4: no border to move", 100, 100, 256, kFitCover, 0, 0, 256, 212, 4},
    {"wide in groups of 4: bars only above and below", 512, 212, 256, kFitContain, 0, 53, 256, 159, 4},
};

TEST(Import, FittingRules) {
    for (const FitCase& c : kFits) {
        SCOPED_TRACE(c.what);
        Bytes rgb(static_cast<size_t>(c.width) * c.height * 3, 0xFF);  // white
        const Bytes out = FitImage(rgb.data(), c.width, c.height, c.outWidth, c.fit, 1.0, c.group);
        ASSERT_EQ(out.size(), static_cast<size_t>(c.outWidth) * 212 * 3);
        for (int32_t y = 0; y < 212; ++y) {
            for (int32_t x = 0; x < c.outWidth; ++x) {
                const bool inside = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
                const uint8_t* p = &out[(static_cast<size_t>(y) * c.outWidth + x) * 3];
                ASSERT_EQ(p[0], inside ? 0xFF : 0x00) << x << "," << y;
            }
        }
    }
}

// A square white picture imported into SCREEN 10/11 and 12 beside its black borders: every group
// of four is all border or all picture, so both show exactly (a group half black, half white
// shares one J and K and could show neither).
TEST(Import, YjkBordersFallBetweenGroups) {
    const Bytes square(200u * 200 * 3, 0xFF);
    for (ScreenMode mode : {kScreen10, kScreen12}) {
        SCOPED_TRACE(mode);
        const Rendered out = RenderFull(ImportedPicture(ImportImage(square.data(), 200, 200, mode, {}), mode));
        for (int32_t x = 0; x < 256; ++x) {
            const bool inside = x >= 20 && x < 232;  // 212 columns from 22 move to whole groups: 20..231
            ASSERT_EQ(out.rgb[3 * static_cast<size_t>(100 * 256 + x)], inside ? 0xFF : 0x00) << "column " << x;
        }
    }
}

TEST(Import, ShrinkingAveragesInLinearLightAndEnlargingRepeats) {
    // 512 x 424 of alternating black and white columns to 256 x 212: each output pixel covers
    // one black and one white column, half the light: sRGB 188 (0.5 in linear light).
    Bytes stripes(512u * 424 * 3);
    for (size_t i = 0; i < stripes.size() / 3; ++i) std::memset(&stripes[3 * i], (i % 2) ? 0xFF : 0, 3);
    const Bytes half = FitImage(stripes.data(), 512, 424, 256, kFitContain);
    EXPECT_EQ(half[0], 188);
    EXPECT_EQ(half[half.size() - 1], 188);
    // 128 x 106 to 256 x 212: each pixel becomes 2 x 2 of the same colour.
    Bytes small(128u * 106 * 3);
    for (size_t i = 0; i < small.size(); ++i) small[i] = static_cast<uint8_t>(i * 7);
    const Bytes big = FitImage(small.data(), 128, 106, 256, kFitContain);
    for (int32_t y = 0; y < 212; y += 5) {
        for (int32_t x = 0; x < 256; x += 3) {
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(big[(static_cast<size_t>(y) * 256 + x) * 3 + c],
                          small[(static_cast<size_t>(y / 2) * 128 + x / 2) * 3 + c]);
            }
        }
    }
}

// The two levels around v (the same level twice when v is one).
void Bracket(uint8_t v, const uint8_t* levels, int count, int* low, int* high) {
    *low = levels[0];
    *high = levels[count - 1];
    for (int n = 0; n < count; ++n) {
        if (levels[n] <= v) *low = levels[n];
        if (levels[count - 1 - n] >= v) *high = levels[count - 1 - n];
    }
}

// Error diffusion keeps each pixel between the two levels around its own colour, channel by
// channel: an error never carries a pixel past a level (the bound of half a level step), and a
// colour that is exactly a level stays exact. A smooth ramp with a hard edge and noise, in
// SCREEN 8's levels (red and green 00 21 4A 6B 94 B5 DE FF, blue 00 52 AD FF).
TEST(Import, DiffusionStaysBetweenTheLevelsAroundEachColour) {
    Bytes rgb(256u * kImportHeight * 3);
    uint32_t seed = 12345;
    for (int32_t y = 0; y < kImportHeight; ++y) {
        for (int32_t x = 0; x < 256; ++x) {
            seed = seed * 1103515245u + 12345u;
            uint8_t* p = &rgb[(static_cast<size_t>(y) * 256 + x) * 3];
            p[0] = static_cast<uint8_t>(x < 128 ? 2 * x : 255 - (x - 128));  // an edge in the middle
            p[1] = static_cast<uint8_t>(y * 255 / (kImportHeight - 1));
            p[2] = static_cast<uint8_t>((x + (seed >> 28)) & 0xFF);
            if (y % 10 == 0) std::memcpy(p, (x & 1) ? "\xFF\x00\x00" : "\x00\xFF\xFF", 3);  // exact levels
        }
    }
    const Rendered out = RenderFull(ImportedPicture(ImportFitted(rgb.data(), kScreen8, kDitherDiffusion), kScreen8));
    static const uint8_t kBlue[4] = {0x00, 0x52, 0xAD, 0xFF};
    for (size_t i = 0; i < rgb.size(); ++i) {
        int low, high;
        Bracket(rgb[i], i % 3 == 2 ? kBlue : kLevelTable, i % 3 == 2 ? 4 : 8, &low, &high);
        ASSERT_TRUE(out.rgb[i] == low || out.rgb[i] == high)
            << "pixel " << i / 3 << " channel " << i % 3 << ": " << int(rgb[i]) << " became " << int(out.rgb[i]);
    }
}

// Flat colours in SCREEN 8: a picture of 256 patches of 16 x 13 pixels, patch v of value v in
// one channel (the others exact levels). Every value between two levels dithers, showing just
// those two (where the patch is large enough to hold four pixels of each), whatever the channel's step (blue's four levels are 82 to 91 apart: it used to
// be left flat within 16 steps of each level); a value on a level stays flat; and each patch
// shows, on average in linear light, its own value (the whole error is passed on).
struct FlatCase {
    const char* what;
    int channel;
    const uint8_t* levels;
    int count;
};

double LinearOf(int v) { return SrgbToLinearReference(v / 255.0); }

TEST(Import, Screen8DiffusionOfFlatColours) {
    static const uint8_t kBlue[4] = {0x00, 0x52, 0xAD, 0xFF};
    const FlatCase cases[] = {{"red", 0, kLevelTable, 8}, {"blue", 2, kBlue, 4}};
    for (const FlatCase& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes rgb(256u * kImportHeight * 3);
        for (int32_t y = 0; y < kImportHeight; ++y) {
            for (int32_t x = 0; x < 256; ++x) {
                uint8_t* p = &rgb[(static_cast<size_t>(y) * 256 + x) * 3];
                std::memcpy(p, "\x21\x4A\x52", 3);
                if (y < 208) p[c.channel] = static_cast<uint8_t>(y / 13 * 16 + x / 16);
            }
        }
        const Rendered out = RenderFull(ImportedPicture(ImportFitted(rgb.data(), kScreen8, kDitherDiffusion), kScreen8));
        int lowest[256], highest[256];  // the levels shown in each patch
        double light[256] = {};
        std::fill(lowest, lowest + 256, 255);
        std::fill(highest, highest + 256, 0);
        for (int32_t y = 0; y < 208; ++y) {
            for (int32_t x = 0; x < 256; ++x) {
                const size_t i = (static_cast<size_t>(y) * 256 + x) * 3 + c.channel;
                const int v = rgb[i], got = out.rgb[i];
                lowest[v] = std::min(lowest[v], got);
                highest[v] = std::max(highest[v], got);
                light[v] += LinearOf(got) / (16 * 13);
            }
        }
        for (int v = 0; v < 256; ++v) {
            int low, high;
            Bracket(static_cast<uint8_t>(v), c.levels, c.count, &low, &high);
            EXPECT_TRUE(lowest[v] >= low && highest[v] <= high) << "value " << v << " shows " << lowest[v] << ".." << highest[v];
            if (low == high) {
                EXPECT_EQ(lowest[v], highest[v]) << "value " << v;
            }
            // Both levels wherever the patch's 208 pixels should hold four or more of each (at
            // fewer, the error can leave the patch before it gathers: the patches beside it on
            // a level take it and show nothing).
            const double share = low == high ? 0 : (LinearOf(v) - LinearOf(low)) / (LinearOf(high) - LinearOf(low));
            if (std::min(share, 1 - share) * 208 >= 4) {
                EXPECT_TRUE(lowest[v] == low && highest[v] == high) << "value " << v << " shows " << lowest[v] << ".." << highest[v];
            }
            // A patch's light within a tenth of the gap between its two levels (16 x 13 pixels
            // cannot hit every value, and errors flow between patches).
            EXPECT_NEAR(light[v], LinearOf(v), 0.1 * (LinearOf(high) - LinearOf(low)) + 1e-9) << "value " << v;
        }
    }
}

// A flat grey field dithered between the palette's greys (0x00, 0x21, 0x4A, ... 0xFF). A dot
// whose light differs from the field's nearest grey by more than twice the field's light plus
// 0.003 stands out as a speck and is left out; a lighter field is dotted as before. The
// expectations follow from the sRGB curve: 0x21 has light 0.0152, 0x4A 0.0685.
struct SpeckCase {
    uint8_t value;
    bool dotted;  // shows its two neighbouring greys, its light kept
};

TEST(Import, PaletteDiffusionLeavesOutSpecks) {
    using namespace import_detail;
    const SpeckCase cases[] = {
        {8, false},    // light 0.0024: a 0x21 dot (0.0152) is over 2 x 0.0054
        {11, false},   // 0.0033, the faint sky of a starfield: 0.0152 is over 2 x 0.0063
        {24, true},    // 0.0091: 0.0152 is under 2 x 0.0121
        {40, false},   // nearest 0x21; a 0x4A dot differs by 0.0533, over 2 x 0.0242
        {60, true},    // 0.0452: 0.0533 is under 2 x 0.0482
        {0x80, true},  // a mid-tone between 0x6B and 0x94
    };
    std::vector<Choice> greys;
    for (int level = 0; level < 8; ++level) {
        greys.push_back(PaletteWordChoice(static_cast<uint16_t>(level << 8 | level << 4 | level)));
    }
    for (const SpeckCase& c : cases) {
        SCOPED_TRACE("grey " + std::to_string(c.value));
        const Bytes rgb(256u * kImportHeight * 3, c.value);
        const std::vector<uint8_t> index = MapToChoices(rgb.data(), 256, greys, kDitherDiffusion, PaletteDiffusion());
        std::vector<int> count(greys.size(), 0);
        double light = 0;
        for (uint8_t k : index) {
            ++count[k];
            light += greys[k].linear.g / static_cast<double>(index.size());
        }
        const int shown = static_cast<int>(std::count_if(count.begin(), count.end(), [](int n) { return n > 0; }));
        if (c.dotted) {
            EXPECT_EQ(shown, 2);
            EXPECT_NEAR(light, LinearOf(c.value), 0.05 * LinearOf(c.value));
        } else {
            EXPECT_EQ(shown, 1);  // its nearest grey only
        }
    }
}

}  // namespace
