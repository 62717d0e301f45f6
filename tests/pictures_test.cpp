// Real pictures made by others (../shared/pictures, not part of the repository): each loads, or
// is refused, as what is known about it says.
#include <gtest/gtest.h>

#include "image/bsave.h"
#include "image/picture.h"
#include "palette/palette.h"
#include "shell/startup.h"
#include "tests/test_support.h"

namespace {

struct PictureCase {
    const char* name;
    LoadResult result;
    int32_t mode;
    int32_t dataSize;
    bool internalPalette;
};

// Sizes follow from the headers (end address + 1); modes from the extension (.s12: SCREEN 12).
const PictureCase kPictures[] = {
    {"msxgl_IMAGE01.sc5", kLoadOk, kScreen5, 27136, false},
    {"msxgl_IMAGE01.sc6", kLoadOk, kScreen6, 27136, false},
    {"msxgl_IMAGE01.sc7", kLoadOk, kScreen7, 54272, false},
    {"msxgl_IMAGE01.sc8", kLoadOk, kScreen8, 54272, false},
    {"msxgl_IMAGE01.s12", kLoadOk, kScreen12, 54272, false},
    {"msxgl_PALETTE.sc5", kLoadOk, kScreen5, 27136, false},
    {"msxgl_data_cust.sc5", kLoadOk, kScreen5, 24576, false},
    {"msxgl_data_pal24.sc5", kLoadOk, kScreen5, 24576, false},
    {"msxgl_data.sc8", kLoadOk, kScreen8, 49152, false},
    {"msxgl_data00_rlep.sc5", kLoadOk, kScreen5, 8192, false},  // header only: all zero
    {"fusionc_mona.sc5", kLoadOk, kScreen5, 30368, true},
    {"fusionc_SAMPLE.pic", kLoadNotBsave, 0, 0, false},           // seven zero bytes first
    {"msxgl_data01_pletter.pl5", kLoadNotBsave, 0, 0, false},     // compressed data, type 0x7A
};

TEST(RealPictures, LoadOrAreRefusedAsExpected) {
    std::string dir = SharedPictures();
    if (dir.empty()) GTEST_SKIP() << "../shared/pictures is absent: real pictures not tested";
    for (const PictureCase& c : kPictures) {
        SCOPED_TRACE(c.name);
        Picture picture;
        std::string path = dir + "/" + c.name;
        ASSERT_TRUE(FileExists(path));
        ASSERT_EQ(LoadScreenFileNamed(path.c_str(), &picture), c.result);
        char title[kTitleCapacity];
        BuildWindowTitle(path.c_str(), title);
        EXPECT_EQ(title, std::string(c.name) + " - Vramoria");
        if (c.result != kLoadOk) continue;
        EXPECT_EQ(picture.screenMode, c.mode);
        EXPECT_EQ(picture.dataSize, c.dataSize);
        EXPECT_EQ(GetPaletteSlot(picture, kPaletteInternal) != nullptr, c.internalPalette);
        EXPECT_EQ(picture.paletteIndex, c.internalPalette ? kPaletteInternal : kPaletteStandard);
    }
}

TEST(RealPictures, HeaderOnlyFileIsAZeroPicture) {
    std::string dir = SharedPictures();
    if (dir.empty()) GTEST_SKIP() << "../shared/pictures is absent: real pictures not tested";
    Picture picture;
    ASSERT_EQ(LoadScreenFileNamed((dir + "/msxgl_data00_rlep.sc5").c_str(), &picture), kLoadOk);
    for (int32_t a = 0; a < picture.dataSize; ++a) ASSERT_EQ(picture.data[a], 0) << a;
}

TEST(RealPictures, MonaCarriesItsOwnPalette) {
    std::string dir = SharedPictures();
    if (dir.empty()) GTEST_SKIP() << "../shared/pictures is absent: real pictures not tested";
    Picture picture;
    std::string path = dir + "/fusionc_mona.sc5";
    ASSERT_EQ(LoadScreenFileNamed(path.c_str(), &picture), kLoadOk);
    Bytes file = ReadBytes(path);
    const MsxPalette& internal = CurrentPalette(picture);
    EXPECT_EQ(picture.paletteIndex, kPaletteInternal);
    // The table is the file's last 32 bytes (VRAM 0x7680..0x769F).
    EXPECT_TRUE(std::equal(internal.bytes, internal.bytes + 32, file.end() - 32));
}

TEST(RealPictures, PletterDataReadAsAPaletteFileGivesEightPalettes) {
    std::string dir = SharedPictures();
    if (dir.empty()) GTEST_SKIP() << "../shared/pictures is absent: real pictures not tested";
    Picture picture;
    AllocateVram(&picture, 0);
    // Not a palette file, but nothing in a headerless palette file can tell: 4215 bytes are read
    // up to 256, eight palettes.
    ASSERT_EQ(OpenPaletteFile(&picture, (dir + "/msxgl_data01_pletter.pl5").c_str()),
              kPaletteFileLoaded);
    EXPECT_EQ(picture.filePaletteCount, 8);
}

}  // namespace
