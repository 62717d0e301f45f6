// The mode chosen by content: smooth made-up pictures imported into each mode are read back in
// that mode, and the real pictures whose names say their mode agree with it (SCREEN 6 is the
// known exception: see render/guess.h).
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "image/bsave.h"
#include "import/import.h"
#include "render/guess.h"
#include "test_support.h"

namespace {

// A sunset: a vertical ramp, a disc and a diagonal band, 256 x 212.
std::vector<uint8_t> Scene() {
    std::vector<uint8_t> rgb(256 * 212 * 3);
    for (int32_t y = 0; y < 212; ++y) {
        for (int32_t x = 0; x < 256; ++x) {
            uint8_t* p = rgb.data() + 3 * (y * 256 + x);
            const bool disc = (x - 90) * (x - 90) + (y - 80) * (y - 80) < 40 * 40;
            const bool band = std::abs(x - y - 60) < 12;
            p[0] = static_cast<uint8_t>(disc ? 250 : band ? 40 : 60 + y / 2);
            p[1] = static_cast<uint8_t>(disc ? 210 : band ? 160 : 30 + y / 3);
            p[2] = static_cast<uint8_t>(disc ? 40 : band ? 90 : 200 - y / 2);
        }
    }
    return rgb;
}

TEST(GuessScreenMode, ImportedPicturesAreReadInTheirMode) {
    const std::vector<uint8_t> scene = Scene();
    for (ScreenMode mode : {kScreen5, kScreen7, kScreen8, kScreen10, kScreen12}) {
        for (DitherMode dither : {kDitherNone, kDitherDiffusion}) {
            SCOPED_TRACE(std::string(ScreenModeOf(mode).name) + (dither == kDitherNone ? "" : ", dithered"));
            ImportOptions options;
            options.dither = dither;
            Picture picture = ImportedPicture(ImportImage(scene.data(), 256, 212, mode, options), mode);
            SelectScreenMode(&picture, mode == kScreen5 ? kScreen6 : kScreen8);  // start elsewhere
            EXPECT_EQ(GuessScreenMode(picture), mode);
        }
    }
}

TEST(GuessScreenMode, RealPicturesAgreeWithTheirNames) {
    const std::string dir = SharedPictures();
    if (dir.empty()) GTEST_SKIP() << "../shared/pictures is absent: real pictures not tested";
    int32_t tried = 0;
    for (const char* name : {"fusionc_mona.sc5", "msxgl_IMAGE01.sc5", "msxgl_IMAGE01.sc7",
                             "msxgl_IMAGE01.sc8", "msxgl_IMAGE01.sc2", "msxgl_IMAGE03.sc2",
                             "msxgl_PALETTE.sc5", "msxgl_data.sc8", "msxgl_data_cust.sc5",
                             "msxgl_data_pal24.sc5"}) {
        const std::string path = dir + "/" + name;
        if (!FileExists(path)) continue;
        SCOPED_TRACE(name);
        Picture picture;
        ASSERT_TRUE(LoadAsConverter(path, &picture));
        EXPECT_EQ(GuessScreenMode(picture), picture.screenMode);
        ++tried;
    }
    // The SCREEN 12 picture's extension names SCREEN 12 too; read by its size rule it is SCREEN 7.
    const std::string s12 = dir + "/msxgl_IMAGE01.s12";
    if (FileExists(s12)) {
        Picture picture;
        ASSERT_EQ(LoadScreenFileNamed(s12.c_str(), &picture), kLoadOk);
        SelectScreenMode(&picture, kScreen7);
        EXPECT_EQ(GuessScreenMode(picture), kScreen12);
        ++tried;
    }
    if (tried == 0) GTEST_SKIP() << "none of the named pictures is there";
}

}  // namespace
