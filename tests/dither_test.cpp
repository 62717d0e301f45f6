// Error diffusion judged as the eye sees it: what a column of a ramp averages to, channel by
// channel and mode by mode, and the round trip of exact pictures under every dither.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "image/bsave.h"
#include "image/picture.h"
#include "import/import.h"
#include "tests/test_support.h"

namespace {

double Decode(double c) { return SrgbToLinearReference(c); }
double Encode(double v) { return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055; }

Bytes RenderFull(const Picture& picture, int32_t* width) { return RenderFullView(picture, width); }

// A horizontal ramp in one channel: column x of a 256-wide mode has value x (a 512-wide mode
// repeats each value twice), the other channels at base.
Bytes Ramp(int32_t width, int channel, uint8_t base) {
    Bytes rgb(static_cast<size_t>(width) * kImportHeight * 3, base);
    for (int32_t y = 0; y < kImportHeight; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            rgb[(static_cast<size_t>(y) * width + x) * 3 + channel] = static_cast<uint8_t>(x * 256 / width);
        }
    }
    return rgb;
}

// The mean over columns of |what the column shows on average - its input|, in 8-bit sRGB steps,
// and (worst not null) the largest. A column's average is taken in linear light (as light
// mixes) and encoded again.
double MeanColumnError(const Bytes& in, const Bytes& out, int32_t width, int channel, double* worst = nullptr) {
    double total = 0;
    if (worst != nullptr) *worst = 0;
    for (int32_t x = 0; x < width; ++x) {
        double light = 0;
        for (int32_t y = 0; y < kImportHeight; ++y) light += Decode(out[(static_cast<size_t>(y) * width + x) * 3 + channel] / 255.0);
        const double shown = 255 * Encode(light / kImportHeight);
        const double error = std::fabs(shown - in[static_cast<size_t>(x) * 3 + channel]);
        if (worst != nullptr && error > *worst) *worst = error;
        total += error;
    }
    return total / width;
}

struct RampCase {
    ScreenMode mode;
    int channel;
    uint8_t base;
    double bound;  // mean over the columns, in steps; the figure measured when written is beside it
    double worst;  // the farthest column
};

// SCREEN 8's blue has four levels 82 to 91 steps apart: it used to be left undithered within 16
// steps of each level, and a dark blue sky became bands (a mean of 14 steps). The palette modes
// choose their 16 colours for the ramp itself; SCREEN 12's ramps are YJK's 5-bit levels. Bounds:
// about 1.5 times what was measured when written. The farthest column of SCREEN 8's blue, which
// should be within 10 steps, measured 9.98: the darkest columns, where one pixel of 212 more or
// less of the first blue level moves the average by several steps (the margin is for rounding on
// other compilers).
const RampCase kRamps[] = {
    {kScreen8, 0, 0x00, 1.6, 5.5},    // measured 1.05, farthest 3.56 (red: 33 steps a level)
    {kScreen8, 1, 0x00, 1.6, 5.5},    // 1.05, 3.56
    {kScreen8, 2, 0x00, 3.5, 10.5},   // 2.30, 9.98
    {kScreen8, 2, 0x6B, 3.5, 10.5},   // 2.30, 9.98: blue over a grey
    {kScreen5, 0, 0x00, 2.7, 9.5},    // 1.80, 6.20
    {kScreen5, 2, 0x00, 2.7, 9.5},    // 1.80, 6.20
    {kScreen7, 1, 0x00, 2.6, 19.5},   // 1.91, 11.00 (the darkest greens take no specks)
    {kScreen12, 0, 0x00, 1.0, 3.0},   // 0.60, 1.89
    {kScreen12, 2, 0x00, 1.0, 3.0},   // 0.53, 1.98
    {kScreen12, 2, 0x6B, 1.3, 3.7},   // 0.83, 2.43
};

TEST(Dither, RampColumnsAverageToTheirInput) {
    for (const RampCase& c : kRamps) {
        SCOPED_TRACE(std::string("SCREEN mode index ") + std::to_string(c.mode) + " channel " + std::to_string(c.channel));
        const int32_t width = ImportWidth(c.mode);
        const Bytes in = Ramp(width, c.channel, c.base);
        int32_t shownWidth = 0;
        const Bytes out = RenderFull(ImportedPicture(ImportFitted(in.data(), c.mode, kDitherDiffusion), c.mode), &shownWidth);
        ASSERT_EQ(shownWidth, width);
        double worst = 0;
        const double error = MeanColumnError(in, out, width, c.channel, &worst);
        std::printf("mode %d channel %d over %02X: %.2f steps, at most %.2f\n", c.mode, c.channel, c.base, error, worst);
        EXPECT_LT(error, c.bound);
        EXPECT_LE(worst, c.worst);
        // Without dithering the same ramp bands: the bound is a real demand on the diffusion.
        const Bytes flat = RenderFull(ImportedPicture(ImportFitted(in.data(), c.mode, kDitherNone), c.mode), &shownWidth);
        EXPECT_GT(MeanColumnError(in, flat, width, c.channel), c.bound);
    }
}

// Every dither leaves a picture the mode shows exactly as it is: the samples and real pictures
// of each mode, rendered at full view and imported again.
TEST(Dither, ExactPicturesRoundTripUnderEveryDither) {
    const char* const kNames[] = {"testcard.sc5", "testcard.sc6", "testcard.sc7", "testcard.sc8",
                                  "testcard.sca", "testcard.scc", "testcard.sr5"};
    const std::string samples = VRAMORIA_SAMPLES;
    int tested = 0;
    for (const char* name : kNames) {
        if (!FileExists(samples + "/" + name)) continue;
        Picture loaded;
        ASSERT_EQ(LoadScreenFileNamed((samples + "/" + name).c_str(), &loaded), kLoadOk);
        const ScreenMode mode = static_cast<ScreenMode>(loaded.screenMode);
        int32_t width = 0;
        const Bytes before = RenderFull(loaded, &width);
        for (DitherMode dither : {kDitherNone, kDitherOrdered, kDitherDiffusion}) {
            SCOPED_TRACE(std::string(name) + " dither " + std::to_string(dither));
            const Bytes vram = ImportFitted(before.data(), mode, dither);
            int32_t afterWidth = 0;
            EXPECT_TRUE(RenderFull(ImportedPicture(vram, mode), &afterWidth) == before);
        }
        ++tested;
    }
    if (tested == 0) GTEST_SKIP() << "no samples (cross build)";
}

}  // namespace
