// The bundled sample pictures and the run-length encoder that made the compressed one.
#include <gtest/gtest.h>

#include <string>

#include "image/bsave.h"
#include "image/picture.h"
#include "palette/palette.h"
#include "tests/test_support.h"
#include "tools/bsave_runs.h"

namespace {

// Property: whatever the bytes, decoding what the encoder wrote gives them back.
TEST(BsaveRuns, EncodeThenDecodeGivesTheBytesBack) {
    uint32_t seed = 99;
    for (int round = 0; round < 300; ++round) {
        Bytes data(static_cast<size_t>(round) * 97 + (round % 7));
        int runLength = 0;
        uint8_t value = 0;
        for (uint8_t& b : data) {
            if (runLength == 0) {
                seed = seed * 1664525u + 1013904223u;
                value = static_cast<uint8_t>(seed >> 24);
                if (round % 2 == 0) value &= 0x13;  // many small values: count bytes matter
                runLength = 1 + static_cast<int>((seed >> 8) % (round % 3 == 0 ? 600 : 5));
            }
            b = value;
            --runLength;
        }
        Bytes runs = EncodeBsaveRuns(data.data(), data.size());
        Bytes out(0x10000);
        int32_t n = DecodeBsaveRuns(runs.data(), static_cast<int32_t>(runs.size()), out.data());
        ASSERT_EQ(n, static_cast<int32_t>(data.size())) << round;
        ASSERT_TRUE(std::equal(data.begin(), data.end(), out.begin())) << round;
    }
}

TEST(BsaveRuns, UsesTheThreeForms) {
    Bytes data = {0x41, 0x05, 0x05, 0x05};
    data.insert(data.end(), 300, 0x80);
    Bytes runs = EncodeBsaveRuns(data.data(), data.size());
    // literal 41; count 3 of 05; escape 256 of 80; count 44 of 80 through the escape form.
    Bytes expected = {0x41, 0x03, 0x05, 0x00, 0x00, 0x80, 0x00, 44, 0x80};
    EXPECT_EQ(runs, expected);
}

struct SampleCase {
    const char* name;
    int32_t mode;
    int32_t dataSize;
    int32_t paletteIndex;
    int32_t filePalettes;
};

const SampleCase kSamples[] = {
    {"testcard.sc5", kScreen5, 30368, kPaletteInternal, 0},
    {"testcard.sc6", kScreen6, 30368, kPaletteInternal, 0},
    {"testcard.sc7", kScreen7, 64160, kPaletteInternal, 0},
    {"testcard.sc8", kScreen8, 64160, kPaletteInternal, 0},
    {"testcard.sca", kScreen10, 64160, kPaletteInternal, 0},
    {"testcard.scc", kScreen12, 64160, kPaletteInternal, 0},
    {"testcard.sr5", kScreen5, 30368, 2, 4},
};

TEST(Samples, LoadInTheirModesWithTheirPalettes) {
    const std::string dir = VRAMORIA_SAMPLES;
    if (!FileExists(dir + "/testcard.sc5")) GTEST_SKIP() << dir << " has no samples (cross build)";
    for (const SampleCase& c : kSamples) {
        SCOPED_TRACE(c.name);
        Picture picture;
        ASSERT_EQ(LoadScreenFileNamed((dir + "/" + c.name).c_str(), &picture), kLoadOk);
        EXPECT_EQ(picture.screenMode, c.mode);
        EXPECT_EQ(picture.dataSize, c.dataSize);
        EXPECT_EQ(picture.paletteIndex, c.paletteIndex);
        EXPECT_EQ(picture.filePaletteCount, c.filePalettes);
    }
}

// The compressed card decodes to exactly the plain one.
TEST(Samples, CompressedCardEqualsThePlainOne) {
    const std::string dir = VRAMORIA_SAMPLES;
    if (!FileExists(dir + "/testcard.sc5")) GTEST_SKIP() << dir << " has no samples (cross build)";
    Picture plain;
    ASSERT_EQ(LoadScreenFileNamed((dir + "/testcard.sc5").c_str(), &plain), kLoadOk);
    Picture compressed;
    ASSERT_EQ(LoadScreenFileNamed((dir + "/testcard.sr5").c_str(), &compressed), kLoadOk);
    ASSERT_EQ(plain.dataSize, compressed.dataSize);
    EXPECT_TRUE(std::equal(plain.data.begin(), plain.data.begin() + plain.dataSize,
                           compressed.data.begin()));
    EXPECT_LT(ReadBytes(dir + "/testcard.sr5").size(), ReadBytes(dir + "/testcard.sc5").size() / 2);
}

}  // namespace
