// Real pictures made by others (../shared/pictures, not part of the repository): each loads, or
// is refused, as what is known about it says.
#include <gtest/gtest.h>

#include "image/bsave.h"
#include "image/vram.h"
#include "palette/palette.h"
#include "tests/test_support.h"

namespace {

struct PictureCase {
    const char* name;
    LoadResult result;
    int32_t mode;
    int32_t dataSize;
    bool internalPalette;
};

// Sizes follow from the headers (end address + 1); modes from the extension, or from the size
// rule for extensions that name none (.s12, 54272 bytes > 32768: SCREEN 7).
const PictureCase kPictures[] = {
    {"msxgl_IMAGE01.sc5", kLoadOk, kScreen5, 27136, false},
    {"msxgl_IMAGE01.sc6", kLoadOk, kScreen6, 27136, false},
    {"msxgl_IMAGE01.sc7", kLoadOk, kScreen7, 54272, false},
    {"msxgl_IMAGE01.sc8", kLoadOk, kScreen8, 54272, false},
    {"msxgl_IMAGE01.s12", kLoadOk, kScreen7, 54272, false},
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
        ResetState();
        std::string path = dir + "/" + c.name;
        ASSERT_TRUE(FileExists(path));
        ASSERT_EQ(LoadScreenFileNamed(path.c_str()), c.result);
        EXPECT_EQ(windowTitle, std::string(c.name) + " - Vramoria");
        if (c.result != kLoadOk) continue;
        EXPECT_EQ(screenMode, c.mode);
        EXPECT_EQ(vramImage.dataSize, c.dataSize);
        EXPECT_EQ(GetPaletteSlot(kPaletteInternal) != nullptr, c.internalPalette);
    }
    ResetState();
}

TEST(RealPictures, HeaderOnlyFileIsAZeroPicture) {
    std::string dir = SharedPictures();
    if (dir.empty()) GTEST_SKIP() << "../shared/pictures is absent: real pictures not tested";
    ResetState();
    ASSERT_EQ(LoadScreenFileNamed((dir + "/msxgl_data00_rlep.sc5").c_str()), kLoadOk);
    for (int32_t a = 0; a < vramImage.dataSize; ++a) ASSERT_EQ(vramImage.data[a], 0) << a;
    ResetState();
}

TEST(RealPictures, MonaCarriesItsOwnPalette) {
    std::string dir = SharedPictures();
    if (dir.empty()) GTEST_SKIP() << "../shared/pictures is absent: real pictures not tested";
    ResetState();
    std::string path = dir + "/fusionc_mona.sc5";
    ASSERT_EQ(LoadScreenFileNamed(path.c_str()), kLoadOk);
    Bytes file = ReadBytes(path);
    const MsxPalette* internal = CurrentPalette();
    EXPECT_EQ(paletteIndex, kPaletteInternal);
    // The table is the file's last 32 bytes (VRAM 0x7680..0x769F).
    EXPECT_TRUE(std::equal(internal->bytes, internal->bytes + 32, file.end() - 32));
    ResetState();
}

TEST(RealPictures, PletterDataReadAsAPaletteFileGivesEightPalettes) {
    std::string dir = SharedPictures();
    if (dir.empty()) GTEST_SKIP() << "../shared/pictures is absent: real pictures not tested";
    ResetState();
    AllocateVram(0);
    // Not a palette file, but nothing in a headerless palette file can tell: 4215 bytes are read
    // up to 256, eight palettes.
    ASSERT_TRUE(LoadPaletteFile((dir + "/msxgl_data01_pletter.pl5").c_str()));
    EXPECT_EQ(filePaletteCount, 8);
    ResetState();
}

}  // namespace
