// Mode conversion: the bytes each code writes, its effects on the store and the palette
// selection, the chains, the buffer rules, and the conversion command for every mode pair.
//
// Golden bytes are worked out by hand from the MSX2 facts the conversions rest on: the V9938
// palette word 0x0GRB, the power-on palette, GRAPHIC7's GGGRRRBB pixel, GRAPHIC5 pixel p shown
// as colour 5p, and the YAE attribute bit 3.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "convert/convert.h"
#include "image/picture.h"
#include "palette/palette.h"
#include "render/display.h"
#include "tests/test_support.h"

namespace {

// A fresh picture of dataSize bytes read in mode, with the standard palette selected.
uint8_t* MakePicture(Picture* picture, int32_t mode, int32_t dataSize) {
    *picture = Picture{};
    uint8_t* data = AllocateVram(picture, dataSize);
    picture->screenMode = static_cast<ScreenMode>(mode);
    picture->paletteIndex = kPaletteStandard;
    return data;
}

Bytes At(const Picture& picture, int32_t address, size_t count) {
    return Bytes(picture.data.begin() + address, picture.data.begin() + address + static_cast<ptrdiff_t>(count));
}

// Bitmap bytes of the source layout: 212 lines of 128 or 256 bytes.
int32_t SourceBitmapBytes(int32_t mode) {
    return mode <= kScreen6 ? kSmallBitmapBytes : kLargeBitmapBytes;
}

// The power-on palette through code 9: entry 4a+b is the average of entries 5a and 5b.
const Bytes kScreen6ToScreen5Standard = {
    0x00, 0x00, 0x13, 0x01, 0x30, 0x03, 0x33, 0x03, 0x13, 0x01, 0x27, 0x03, 0x44, 0x04, 0x47, 0x05,
    0x30, 0x03, 0x44, 0x04, 0x61, 0x06, 0x64, 0x06, 0x33, 0x03, 0x47, 0x05, 0x64, 0x06, 0x77, 0x07,
};

// A palette whose SCREEN 6 colours (codes 0, 5, 10, 15) are green, red, blue and white; code 1
// is white too, the rest black. Words: 0x0700, 0x0777, 0x0070 at 5, 0x0007 at 10, 0x0777 at 15.
MsxPalette SixColourPalette() {
    MsxPalette p{};
    auto set = [&](int code, uint16_t word) {
        p.bytes[2 * code] = static_cast<uint8_t>(word);
        p.bytes[2 * code + 1] = static_cast<uint8_t>(word >> 8);
    };
    set(0, 0x0700);
    set(1, 0x0777);
    set(5, 0x0070);
    set(10, 0x0007);
    set(15, 0x0777);
    return p;
}

// That palette through code 9, by hand: averages of green, red, blue and white.
const Bytes kScreen6ToScreen5SixColour = {
    0x00, 0x07, 0x30, 0x03, 0x03, 0x03, 0x33, 0x07, 0x30, 0x03, 0x70, 0x00, 0x33, 0x00, 0x73, 0x03,
    0x03, 0x03, 0x33, 0x00, 0x07, 0x00, 0x37, 0x03, 0x33, 0x07, 0x73, 0x03, 0x37, 0x03, 0x77, 0x07,
};

// Raw bytes for a palette table that must travel unchanged (bit 3 set in some, so that code 11
// would show if it touched them).
Bytes MarkerTable() {
    Bytes t(kPaletteTableBytes);
    for (int i = 0; i < kPaletteTableBytes; ++i) t[i] = static_cast<uint8_t>(0x0B + 7 * i);
    return t;
}

struct ByteCase {
    const char* what;
    int32_t code;
    int32_t mode;    // source picture.screenMode
    Bytes in;
    Bytes out;
    int32_t scale;   // target address = source address * scale / 2
};

// With the standard palette selected and no palette table in the picture.
const ByteCase kByteCases[] = {
    {"code 1: each pixel doubled", 1, kScreen5, {0x1F}, {0x11, 0xFF}, 4},
    {"code 2: power-on colours 2 and 15 as GGGRRRBB", 2, kScreen5, {0x2F}, {0xC4, 0xFF}, 4},
    {"code 3: YAE palette pixels, attribute bit set", 3, kScreen5, {0x5C}, {0x58, 0xC8}, 4},
    {"code 4: code 9 then code 3", 4, kScreen6, {0x1B}, {0x18, 0xB8}, 4},
    {"code 5: 2-bit pixel p becomes 5p", 5, kScreen6, {0x1B}, {0x05, 0xAF}, 4},
    {"code 6: low two bits, doubled", 6, kScreen5, {0x7A}, {0xFA}, 2},
    {"code 7: colours 0 and 15 averaged", 7, kScreen7, {0x0F}, {0x6D}, 2},
    {"code 7: colours 2 and 15 averaged", 7, kScreen7, {0x2F}, {0xD2}, 2},
    {"code 8: code 5 then code 7", 8, kScreen6, {0x1B}, {0x25, 0xDA}, 4},
    {"code 9: pixel bytes kept", 9, kScreen6, {0x1B, 0xE4}, {0x1B, 0xE4}, 2},
    {"code 10: low two bits, compacted", 10, kScreen7, {0x5A, 0xC3}, {0x63}, 1},
    {"code 11 from SCREEN 10/11: bit 3 cleared", 11, kScreen10, {0xFF, 0x08, 0xF7, 0x00}, {0xF7, 0x00, 0xF7, 0x00}, 2},
    {"code 11 from SCREEN 12: bit 3 cleared", 11, kScreen12, {0x5C, 0x18, 0x0F, 0xFF}, {0x54, 0x10, 0x07, 0xF7}, 2},
};

// The example bytes at the first and the last position of the bitmap: line 0 stays line 0 and
// line 211 stays line 211.
TEST(ConvertScreenMode, GoldenBytesAtBothEndsOfTheBitmap) {
    Picture picture;
    for (const ByteCase& c : kByteCases) {
        SCOPED_TRACE(c.what);
        int32_t bitmap = SourceBitmapBytes(c.mode);
        uint8_t* data = MakePicture(&picture, c.mode, bitmap);
        int32_t last = bitmap - static_cast<int32_t>(c.in.size());
        std::memcpy(data, c.in.data(), c.in.size());
        std::memcpy(data + last, c.in.data(), c.in.size());
        ConvertScreenMode(&picture, c.code);
        EXPECT_EQ(At(picture, 0, c.out.size()), c.out);
        EXPECT_EQ(At(picture, last * c.scale / 2, c.out.size()), c.out);
    }
}

// Every byte value at once through the codes whose table is independent of the palette: the
// whole 256-entry mapping, pixel by pixel.
TEST(ConvertScreenMode, EveryByteValueOfThePaletteFreeCodes) {
    Picture picture;
    for (int32_t code : {1, 3, 5, 6, 10, 11}) {
        SCOPED_TRACE(code);
        int32_t mode = code == 1 || code == 3 || code == 6 ? kScreen5
                       : code == 5                         ? kScreen6
                       : code == 10                        ? kScreen7
                                                           : kScreen12;
        uint8_t* data = MakePicture(&picture, mode, SourceBitmapBytes(mode));
        for (int s = 0; s < 256; ++s) data[s] = static_cast<uint8_t>(s);
        ConvertScreenMode(&picture, code);
        for (int s = 0; s < 256; ++s) {
            int hi = s >> 4, lo = s & 15;
            const uint8_t* d = picture.data.data();
            switch (code) {
                case 1:
                    ASSERT_EQ(d[2 * s] >> 4, hi);
                    ASSERT_EQ(d[2 * s] & 15, hi);
                    ASSERT_EQ(d[2 * s + 1] >> 4, lo);
                    ASSERT_EQ(d[2 * s + 1] & 15, lo);
                    break;
                case 3:
                    ASSERT_EQ(d[2 * s], hi << 4 | 8);
                    ASSERT_EQ(d[2 * s + 1], lo << 4 | 8);
                    break;
                case 5:
                    // Four 2-bit pixels p become four 4-bit pixels 5p.
                    for (int i = 0; i < 4; ++i) {
                        int p = (s >> (6 - 2 * i)) & 3;
                        int nibble = (d[2 * s + i / 2] >> (i % 2 == 0 ? 4 : 0)) & 15;
                        ASSERT_EQ(nibble, 5 * p) << "pixel " << i;
                    }
                    break;
                case 6:
                    // ab -> abab for each 4-bit pixel's low bits ab.
                    ASSERT_EQ(d[s] >> 6, hi & 3);
                    ASSERT_EQ((d[s] >> 4) & 3, hi & 3);
                    ASSERT_EQ((d[s] >> 2) & 3, lo & 3);
                    ASSERT_EQ(d[s] & 3, lo & 3);
                    break;
                case 10:
                    if (s % 2 == 0) {
                        int next = s + 1;
                        ASSERT_EQ(d[s / 2], (hi & 3) << 6 | (lo & 3) << 4 | ((next >> 4) & 3) << 2 | (next & 3));
                    }
                    break;
                case 11:
                    ASSERT_EQ(d[s], s & 0xF7);
                    break;
            }
        }
    }
}

struct EffectCase {
    int32_t code;
    int32_t mode;
    int32_t before;         // dataSize
    int32_t dataSize;       // afterwards
    int32_t imageSize;
    bool newBuffer;
    int32_t tableAt;        // where the palette table is afterwards, -1 for none
    bool computed;          // codes 9 and 4: the table is the power-on palette through code 9
    int32_t paletteIndex;   // afterwards
    int32_t modeAfter;      // what ConvertScreenMode leaves in screenMode
};

// Each code from a picture without and with its palette table (the sizes on either side of the
// table's end: 30368 = 0x76A0, 64160 = 0xFAA0).
const EffectCase kEffectCases[] = {
    {1, kScreen5, 30367, 54272, 54272, true, -1, false, 0, kScreen5},
    {1, kScreen5, 30368, 64160, 54272, true, 0xFA80, false, 0, kScreen5},
    {2, kScreen5, 27136, 54272, 54272, true, -1, false, 0, kScreen5},
    {2, kScreen5, 32768, 64160, 54272, true, 0xFA80, false, 0, kScreen5},
    {3, kScreen5, 100, 54272, 54272, true, -1, false, 0, kScreen5},
    {3, kScreen5, 65536, 64160, 54272, true, 0xFA80, false, 0, kScreen5},
    {4, kScreen6, 27136, 64160, 54272, true, 0xFA80, true, 1, kScreen6},
    {4, kScreen6, 30368, 64160, 54272, true, 0xFA80, true, 1, kScreen6},
    {5, kScreen6, 30367, 54272, 54272, true, -1, false, 0, kScreen7},
    {5, kScreen6, 30368, 64160, 54272, true, 0xFA80, false, 0, kScreen7},
    {6, kScreen5, 27136, 27136, 27136, false, -1, false, 0, kScreen5},
    {6, kScreen5, 30368, 30368, 30368, false, 0x7680, false, 0, kScreen5},
    {7, kScreen7, 27136, 54272, 54272, true, -1, false, 0, kScreen7},
    {7, kScreen7, 54272, 54272, 54272, false, -1, false, 0, kScreen7},
    {7, kScreen7, 64160, 64160, 54272, false, 0xFA80, false, 0, kScreen7},
    {8, kScreen6, 27136, 54272, 54272, true, -1, false, 0, kScreen7},
    {8, kScreen6, 30368, 64160, 54272, true, 0xFA80, false, 0, kScreen7},
    {9, kScreen6, 27136, 30368, 30368, true, 0x7680, true, 1, kScreen6},
    {9, kScreen6, 30368, 30368, 30368, false, 0x7680, true, 1, kScreen6},
    {9, kScreen6, 32768, 32768, 32768, false, 0x7680, true, 1, kScreen6},
    {10, kScreen7, 64159, 27136, 27136, true, -1, false, 0, kScreen7},
    {10, kScreen7, 64160, 30368, 30368, true, 0x7680, false, 0, kScreen7},
    {11, kScreen10, 54272, 54272, 54272, false, -1, false, 0, kScreen10},
    {11, kScreen12, 64160, 64160, 54272, false, 0xFA80, false, 0, kScreen12},
};

TEST(ConvertScreenMode, StoreAndPaletteEffectsOfEachCode) {
    Picture picture;
    const Bytes marker = MarkerTable();
    for (const EffectCase& c : kEffectCases) {
        SCOPED_TRACE("code " + std::to_string(c.code) + " from " + std::to_string(c.before) + " bytes");
        uint8_t* data = MakePicture(&picture, c.mode, c.before);
        int32_t sourceTable = PaletteTableAddress(c.mode);
        bool hasTable = c.before >= sourceTable + kPaletteTableBytes;
        if (hasTable) std::memcpy(data + sourceTable, marker.data(), marker.size());
        ConvertScreenMode(&picture, c.code);
        EXPECT_EQ(picture.dataSize, c.dataSize);
        EXPECT_EQ(picture.imageSize, c.imageSize);
        EXPECT_EQ(picture.data.data() != data, c.newBuffer);
        EXPECT_EQ(picture.paletteIndex, c.paletteIndex);
        EXPECT_EQ(picture.screenMode, c.modeAfter);
        EXPECT_GE(static_cast<int32_t>(picture.data.size()), picture.dataSize);
        if (c.tableAt >= 0) {
            EXPECT_EQ(At(picture, c.tableAt, kPaletteTableBytes), c.computed ? kScreen6ToScreen5Standard : marker);
        }
        if (c.dataSize == 64160 && c.newBuffer) {
            // A fresh 256-bytes-per-line buffer: zero from 0xD400 on, apart from the table.
            for (int32_t a = kLargeBitmapBytes; a < static_cast<int32_t>(picture.data.size()); ++a) {
                if (a >= 0xFA80 && a < 0xFAA0) continue;
                ASSERT_EQ(picture.data[a], 0) << a;
            }
        }
    }
}

// The codes that read a palette, with the picture's own palette table selected.
TEST(ConvertScreenMode, PaletteCodesUseTheInternalPalette) {
    Picture picture;
    const MsxPalette six = SixColourPalette();
    struct Case {
        int32_t code;
        int32_t mode;
        int32_t dataSize;
        Bytes in;
        Bytes out;
        int32_t tableAt;  // where the computed palette is expected (codes 9, 4), else -1
    };
    const Case cases[] = {
        {2, kScreen5, 30368, {0x50, 0xA1}, {0x1C, 0xE0, 0x03, 0xFF}, -1},
        {7, kScreen7, 64160, {0x05, 0xAF}, {0x6C, 0x6F}, -1},
        {8, kScreen6, 30368, {0x1B}, {0x6C, 0x6F}, -1},  // 0x1B -> 0x05 0xAF -> averaged
        {9, kScreen6, 30368, {0x1B}, {0x1B}, 0x7680},
        {4, kScreen6, 30368, {0x1B}, {0x18, 0xB8}, 0xFA80},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        uint8_t* data = MakePicture(&picture, c.mode, c.dataSize);
        std::memcpy(data + PaletteTableAddress(c.mode), six.bytes, sizeof six.bytes);
        std::memcpy(data, c.in.data(), c.in.size());
        picture.paletteIndex = kPaletteInternal;
        ConvertScreenMode(&picture, c.code);
        EXPECT_EQ(At(picture, 0, c.out.size()), c.out);
        EXPECT_EQ(picture.paletteIndex, kPaletteInternal);
        if (c.tableAt >= 0) {
            EXPECT_EQ(At(picture, c.tableAt, kPaletteTableBytes), kScreen6ToScreen5SixColour);
        }
    }
}

// The same palette as a file palette gives the same bytes as the internal one, and a selected
// internal slot on a picture without a table falls back to the power-on palette.
TEST(ConvertScreenMode, PaletteSlotsAndFallback) {
    Picture picture;
    const MsxPalette six = SixColourPalette();
    uint8_t* data = MakePicture(&picture, kScreen5, 27136);
    data[0] = 0x50;
    LoadPaletteBytes(&picture, six.bytes, sizeof six.bytes);  // selects slot 2
    ConvertScreenMode(&picture, 2);
    EXPECT_EQ(At(picture, 0, 2), (Bytes{0x1C, 0xE0}));
    EXPECT_EQ(picture.paletteIndex, kPaletteFileFirst);

    // The conversion reads the power-on palette; the command then moves the selection there.
    data = MakePicture(&picture, kScreen5, 30367);  // one byte short of a palette table
    data[0] = 0x2F;
    picture.paletteIndex = kPaletteInternal;
    ASSERT_TRUE(ConvertToMode(&picture, kScreen8));  // code 2
    EXPECT_EQ(At(picture, 0, 2), (Bytes{0xC4, 0xFF}));
    EXPECT_EQ(picture.paletteIndex, kPaletteStandard);

    data = MakePicture(&picture, kScreen6, 100);
    picture.paletteIndex = kPaletteInternal;
    ConvertScreenMode(&picture, 9);
    EXPECT_EQ(At(picture, 0x7680, kPaletteTableBytes), kScreen6ToScreen5Standard);
    EXPECT_EQ(picture.paletteIndex, kPaletteInternal);
}

// A grown buffer takes over the old bytes rounded up to 4, whatever lay past dataSize.
TEST(ConvertScreenMode, GrowthCopiesRoundedUpToFourBytes) {
    Picture picture;
    // Code 9: 101 bytes -> bytes 0..103 survive, 104 on are zero.
    uint8_t* data = MakePicture(&picture, kScreen6, 101);
    data[100] = 0x11;
    data[103] = 0xAB;
    data[104] = 0xCD;
    ConvertScreenMode(&picture, 9);
    EXPECT_NE(picture.data.data(), data);
    EXPECT_EQ(picture.dataSize, 30368);
    EXPECT_EQ(At(picture, 100, 5), (Bytes{0x11, 0, 0, 0xAB, 0}));

    // Code 7 with a file palette whose colour 0 is white: every byte from the rounded copy's
    // end to 0xD400 becomes entry 0, white averaged with itself (0xFF).
    MsxPalette whiteZero = kStandardPalette;
    whiteZero.bytes[0] = 0x77;
    whiteZero.bytes[1] = 0x07;
    data = MakePicture(&picture, kScreen7, 101);
    data[103] = 0x0F;  // colours 0 (white here) and 15 (white): 0xFF
    data[104] = 0x2F;  // not copied: becomes entry 0 too
    LoadPaletteBytes(&picture, whiteZero.bytes, sizeof whiteZero.bytes);
    ConvertScreenMode(&picture, 7);
    EXPECT_EQ(picture.dataSize, 54272);
    EXPECT_EQ(static_cast<int32_t>(picture.data.size()), 54272);
    for (int32_t a = 0; a < kLargeBitmapBytes; ++a) ASSERT_EQ(picture.data[a], 0xFF) << a;

    // Code 7 from a 27136-byte picture with the power-on palette: the lower 106 lines are zero
    // bytes mapped through entry 0, black.
    data = MakePicture(&picture, kScreen7, 27136);
    std::memset(data, 0xFF, 27136);
    ConvertScreenMode(&picture, 7);
    EXPECT_EQ(picture.data[27135], 0xFF);  // white with white
    EXPECT_EQ(picture.data[27136], 0x00);
    EXPECT_EQ(picture.data[54271], 0x00);
}

TEST(ConvertScreenMode, OddImageSizeForCodeTen) {
    Picture picture;
    // The last picture byte pairs with the zero byte after it.
    uint8_t* data = MakePicture(&picture, kScreen7, 27137);
    std::memset(data, 0xFF, 27137);
    ConvertScreenMode(&picture, 10);
    EXPECT_EQ(picture.dataSize, 27136);
    EXPECT_EQ(picture.data[13567], 0xFF);
    EXPECT_EQ(picture.data[13568], 0xF0);  // pixels 3, 3 of 0xFF, then 0, 0
    EXPECT_EQ(picture.data[13569], 0x00);

    // A one-byte picture gives one byte, made with whatever the buffer holds after it.
    data = MakePicture(&picture, kScreen7, 1);
    data[0] = 0x5A;
    data[1] = 0xC3;
    data[2] = 0xFF;
    ConvertScreenMode(&picture, 10);
    EXPECT_EQ(At(picture, 0, 2), (Bytes{0x63, 0x00}));
}

TEST(ConvertScreenMode, InPlaceCodesStayInsideTheirRange) {
    Picture picture;
    // Code 6 touches only the 27136 bitmap bytes.
    uint8_t* data = MakePicture(&picture, kScreen5, 30368);
    std::memset(data, 0x7A, 30368);
    ConvertScreenMode(&picture, 6);
    EXPECT_EQ(picture.data.data(), data);
    EXPECT_EQ(data[0], 0xFA);
    EXPECT_EQ(data[27135], 0xFA);
    EXPECT_EQ(data[27136], 0x7A);
    EXPECT_EQ(data[30367], 0x7A);

    // Code 11 clears imageSize bytes rounded up to 4: 101 -> 104.
    data = MakePicture(&picture, kScreen12, 101);
    std::memset(data, 0xFF, 200);
    ConvertScreenMode(&picture, 11);
    EXPECT_EQ(data[103], 0xF7);
    EXPECT_EQ(data[104], 0xFF);
}

TEST(ConvertScreenMode, ExpansionReadsTheWholeSourceBitmap) {
    Picture picture;
    // dataSize 100, but the 27136 bitmap bytes are all read: the buffer holds them.
    uint8_t* data = MakePicture(&picture, kScreen5, 100);
    data[27135] = 0x1F;
    ConvertScreenMode(&picture, 1);
    EXPECT_EQ(At(picture, 54270, 2), (Bytes{0x11, 0xFF}));
    EXPECT_EQ(picture.dataSize, 54272);
}

// The offered codes: rows are source modes, columns targets (0 = not offered).
const int32_t kOffered[kScreenModeCount][kScreenModeCount] = {
    // to 5  6   7  8  10  12
    {0, 6, 1, 2, 3, 0},   // SCREEN 5
    {9, 0, 5, 8, 4, 0},   // SCREEN 6
    {0, 10, 0, 7, 0, 0},  // SCREEN 7
    {0, 0, 0, 0, 0, 0},   // SCREEN 8
    {0, 0, 0, 0, 11, 0},  // SCREEN 10/11
    {0, 0, 0, 0, 11, 0},  // SCREEN 12
};

// A picture with every byte value and its palette table, so that every code has work to do.
void MakeBusyPicture(Picture* picture, int32_t mode) {
    int32_t size = mode <= kScreen6 ? 30368 : 64160;
    uint8_t* data = MakePicture(picture, mode, size);
    for (int32_t a = 0; a < size; ++a) data[a] = static_cast<uint8_t>(a * 7 + (a >> 8));
    picture->paletteIndex = kPaletteInternal;
}

TEST(ConvertToMode, EverySourceAndTarget) {
    for (int32_t source = 0; source < kScreenModeCount; ++source) {
        for (int32_t target = 0; target < kScreenModeCount; ++target) {
            SCOPED_TRACE(std::string(ScreenModeOf(source).name) + " to " + ScreenModeOf(target).name);
            int32_t code = kOffered[source][target];
            EXPECT_EQ(ConversionCode(static_cast<ScreenMode>(source), target), code);
            // What the code does on its own, for comparison.
            Picture alone;
            if (code != 0) {
                MakeBusyPicture(&alone, source);
                ConvertScreenMode(&alone, code);
            }
            Picture picture;
            MakeBusyPicture(&picture, source);
            const Picture original = picture;
            bool converted = ConvertToMode(&picture, target);
            EXPECT_EQ(converted, code != 0);
            if (code == 0) {
                // Nothing at all.
                EXPECT_EQ(picture.screenMode, source);
                EXPECT_EQ(picture.dataSize, original.dataSize);
                EXPECT_EQ(picture.data, original.data);
                EXPECT_EQ(picture.paletteIndex, original.paletteIndex);
                continue;
            }
            EXPECT_EQ(picture.screenMode, target);
            EXPECT_EQ(picture.dataSize, alone.dataSize);
            EXPECT_EQ(At(picture, 0, static_cast<size_t>(picture.dataSize)),
                      At(alone, 0, static_cast<size_t>(alone.dataSize)));
            // The selection survives where the target mode still has the table, else falls back.
            EXPECT_EQ(picture.paletteIndex,
                      PaletteTablePresent(picture) ? kPaletteInternal : kPaletteStandard);
            // The rebuilt display shows the new mode.
            EXPECT_EQ(BuildDisplayBitmap(picture).Width(), ScreenModeOf(target).width);
        }
    }
    Picture picture;
    MakeBusyPicture(&picture, kScreen5);
    EXPECT_FALSE(ConvertToMode(&picture, -1));
    EXPECT_FALSE(ConvertToMode(&picture, kScreenModeCount));
    EXPECT_EQ(ConversionCode(kScreen5, -1), 0);
    EXPECT_EQ(ConversionCode(kScreen5, kScreenModeCount), 0);
}

// Two commands in a row: SCREEN 5 -> 7 -> 8 gives what the chain of 6 -> 8 gives for the same
// picture drawn in SCREEN 6, i.e. each conversion starts from the mode the last one left.
TEST(ConvertToMode, ConversionsCompose) {
    Picture picture;
    uint8_t* data = MakePicture(&picture, kScreen6, 27136);
    for (int32_t a = 0; a < 27136; ++a) data[a] = static_cast<uint8_t>(a);
    ASSERT_TRUE(ConvertToMode(&picture, kScreen7));
    ASSERT_TRUE(ConvertToMode(&picture, kScreen8));
    Bytes twoSteps = At(picture, 0, kLargeBitmapBytes);
    EXPECT_FALSE(ConvertToMode(&picture, kScreen5));  // SCREEN 8 offers nothing

    data = MakePicture(&picture, kScreen6, 27136);
    for (int32_t a = 0; a < 27136; ++a) data[a] = static_cast<uint8_t>(a);
    ASSERT_TRUE(ConvertToMode(&picture, kScreen8));
    EXPECT_EQ(At(picture, 0, kLargeBitmapBytes), twoSteps);
}

}  // namespace
