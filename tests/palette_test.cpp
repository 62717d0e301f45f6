// Palettes: the power-on palette, RGB conversion, palette files and the slot rules.
#include <gtest/gtest.h>

#include <cstring>

#include "image/picture.h"
#include "palette/palette.h"
#include "tests/test_support.h"

namespace {

// RGB of the MSX2 power-on palette through the level table (0x00 0x21 0x4A 0x6B 0x94 0xB5 0xDE
// 0xFF), written out by hand from the palette register values.
const uint32_t kStandardRgb[16] = {
    0x000000, 0x000000, 0x21DE21, 0x6BFF6B, 0x2121FF, 0x4A6BFF, 0xB52121, 0x4ADEFF,
    0xFF2121, 0xFF6B6B, 0xDEDE21, 0xDEDE94, 0x219421, 0xDE4AB5, 0xB5B5B5, 0xFFFFFF,
};

TEST(PaletteToRgbQuads, StandardPaletteColours) {
    uint8_t quads[64];
    PaletteToRgbQuads(kStandardPalette, quads);
    for (int n = 0; n < 16; ++n) {
        uint32_t rgb = static_cast<uint32_t>(quads[4 * n + 2]) << 16 | quads[4 * n + 1] << 8 | quads[4 * n];
        EXPECT_EQ(rgb, kStandardRgb[n]) << "colour " << n;
        EXPECT_EQ(quads[4 * n + 3], 0);
    }
}

TEST(PaletteToRgbQuads, IgnoresTheUnusedBitsAndKeepsChannelsApart) {
    MsxPalette p{};
    p.bytes[0] = 0xFF;  // red 7, blue 7, and bits 7 and 3 that mean nothing
    p.bytes[1] = 0xF8;  // green 0 with unused bits set
    p.bytes[2] = 0x40;  // colour 1: red 4 only
    p.bytes[5] = 0x03;  // colour 2: green 3 only
    p.bytes[6] = 0x05;  // colour 3: blue 5 only
    uint8_t q[64];
    PaletteToRgbQuads(p, q);
    EXPECT_EQ(q[0], 0xFF);  // blue
    EXPECT_EQ(q[1], 0x00);  // green
    EXPECT_EQ(q[2], 0xFF);  // red
    EXPECT_EQ(q[4 + 0], 0x00);
    EXPECT_EQ(q[4 + 2], 0x94);
    EXPECT_EQ(q[8 + 1], 0x6B);
    EXPECT_EQ(q[8 + 2], 0x00);
    EXPECT_EQ(q[12 + 0], 0xB5);
}

TEST(LevelTable, IsNotTheEvenlySpacedScale) {
    const uint8_t expected[8] = {0x00, 0x21, 0x4A, 0x6B, 0x94, 0xB5, 0xDE, 0xFF};
    EXPECT_EQ(std::memcmp(kLevelTable, expected, 8), 0);
}

struct PaletteFileCase {
    size_t bytes;
    PaletteFileResult result;
    int32_t count;
};

TEST(OpenPaletteFile, CountsWholePalettesUpToEight) {
    const PaletteFileCase kCases[] = {
        {96, kPaletteFileLoaded, 3},   {300, kPaletteFileLoaded, 8}, {256, kPaletteFileLoaded, 8},
        {40, kPaletteFileLoaded, 1},   {32, kPaletteFileLoaded, 1},
        {31, kPaletteFileTooShort, 0}, {0, kPaletteFileTooShort, 0},
    };
    std::string dir = ScratchDir("palette-files");
    for (const PaletteFileCase& c : kCases) {
        SCOPED_TRACE(c.bytes);
        Picture picture;
        AllocateVram(&picture, 0);
        Bytes file(c.bytes);
        for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i * 7);
        std::string path = dir + "/p" + std::to_string(c.bytes) + ".pl5";
        WriteBytes(path, file);
        ASSERT_EQ(OpenPaletteFile(&picture, path.c_str()), c.result);
        EXPECT_EQ(picture.paletteIndex, c.count > 0 ? kPaletteFileFirst : kPaletteStandard);
        EXPECT_EQ(picture.filePaletteCount, c.count);
        for (int32_t slot = kPaletteFileFirst; slot < kPaletteSlotCount; ++slot) {
            bool available = slot - kPaletteFileFirst < c.count;
            EXPECT_EQ(GetPaletteSlot(picture, slot) != nullptr, available) << "slot " << slot;
        }
        if (c.count > 0) {
            EXPECT_EQ(GetPaletteSlot(picture, 2)->bytes[5], 35);
        }
    }
}

// BASIC's BSAVE "X.PL5",&H7680,&H769F,S saves the palette table with the 7-byte header in front:
// a plain header whose range is 32 * n bytes is skipped, and the range bounds the palettes. Any
// other header-like start is read as palette bytes, as a headerless file always was.
TEST(OpenPaletteFile, BsaveHeaderBeforeThePalettes) {
    const struct {
        const char* name;
        uint8_t type;
        uint16_t start, end;
        size_t body;         // bytes after the 7 header bytes, value 0x10 + i % 0x60
        PaletteFileResult result;
        int32_t count;
        bool skipped;        // palettes start after the header
    } kCases[] = {
        {"one palette table", 0xFE, 0x7680, 0x769F, 32, kPaletteFileLoaded, 1, true},
        {"two palettes", 0xFE, 0x7680, 0x76BF, 64, kPaletteFileLoaded, 2, true},
        {"eight palettes from 0", 0xFE, 0x0000, 0x00FF, 256, kPaletteFileLoaded, 8, true},
        {"bytes past the range", 0xFE, 0x7680, 0x769F, 64, kPaletteFileLoaded, 1, true},
        {"shorter than the range", 0xFE, 0x7680, 0x76DF, 40, kPaletteFileLoaded, 1, true},
        {"range of 33 bytes", 0xFE, 0x7680, 0x76A0, 33, kPaletteFileLoaded, 1, false},
        {"end before start", 0xFE, 0x769F, 0x7680, 32, kPaletteFileLoaded, 1, false},
        {"compressed type", 0xFD, 0x7680, 0x769F, 32, kPaletteFileLoaded, 1, false},
        {"header and 20 bytes", 0xFE, 0x7680, 0x769F, 20, kPaletteFileTooShort, 0, true},
    };
    std::string dir = ScratchDir("bsave-palettes");
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        Bytes file = {c.type, static_cast<uint8_t>(c.start), static_cast<uint8_t>(c.start >> 8),
                      static_cast<uint8_t>(c.end), static_cast<uint8_t>(c.end >> 8), 0, 0};
        for (size_t i = 0; i < c.body; ++i) file.push_back(static_cast<uint8_t>(0x10 + i % 0x60));
        const std::string path = dir + "/p.pl5";
        WriteBytes(path, file);
        Picture picture;
        AllocateVram(&picture, 0);
        picture.filePalettes[0].bytes[0] = 0x42;
        ASSERT_EQ(OpenPaletteFile(&picture, path.c_str()), c.result);
        EXPECT_EQ(picture.filePaletteCount, c.count);
        if (c.count == 0) {
            EXPECT_EQ(picture.filePalettes[0].bytes[0], 0x42);  // nothing changed
            continue;
        }
        const size_t from = c.skipped ? 7 : 0;
        const size_t last = 32 * static_cast<size_t>(c.count) - 1;
        EXPECT_EQ(picture.filePalettes[0].bytes[0], file[from]);
        EXPECT_EQ(picture.filePalettes[c.count - 1].bytes[31], file[from + last]);
    }
}

// A file shorter than one palette is no palette file: the palettes loaded before and the
// selection stay.
TEST(OpenPaletteFile, ShortFileChangesNothing) {
    Picture picture;
    AllocateVram(&picture, 30368);  // SCREEN 5 with a palette table: the internal slot is available
    const Bytes two(64, 0x21);
    ASSERT_TRUE(LoadPaletteBytes(&picture, two.data(), two.size()));
    ASSERT_TRUE(SelectPaletteSlot(&picture, 3));
    std::string dir = ScratchDir("short-palette");
    for (size_t size : {0, 1, 10, 31}) {
        SCOPED_TRACE(size);
        const std::string path = dir + "/s" + std::to_string(size) + ".pl5";
        WriteBytes(path, Bytes(size, 0x77));
        EXPECT_EQ(OpenPaletteFile(&picture, path.c_str()), kPaletteFileTooShort);
        EXPECT_FALSE(LoadPaletteBytes(&picture, Bytes(size, 0x77).data(), size));
        EXPECT_EQ(picture.paletteIndex, 3);
        EXPECT_EQ(picture.filePaletteCount, 2);
        EXPECT_EQ(picture.filePalettes[1].bytes[0], 0x21);
    }
}

TEST(OpenPaletteFile, MissingFileChangesNothing) {
    Picture picture;
    AllocateVram(&picture, 0);
    picture.filePaletteCount = 2;
    picture.paletteIndex = 3;
    picture.filePalettes[0].bytes[0] = 0x42;
    EXPECT_EQ(OpenPaletteFile(&picture, (ScratchDir("missing-palette") + "/none.pl5").c_str()),
              kPaletteFileCannotOpen);
    EXPECT_EQ(OpenPaletteFile(&picture, ScratchDir("folder-palette").c_str()), kPaletteFileCannotOpen);
    EXPECT_EQ(picture.filePaletteCount, 2);
    EXPECT_EQ(picture.paletteIndex, 3);
    EXPECT_EQ(picture.filePalettes[0].bytes[0], 0x42);
}

TEST(LoadPaletteBytes, ANewFileReplacesTheCountButNotTheOldBytes) {
    Picture picture;
    Bytes eight(256, 0x11);
    LoadPaletteBytes(&picture, eight.data(), eight.size());
    Bytes one(32, 0x22);
    LoadPaletteBytes(&picture, one.data(), one.size());
    EXPECT_EQ(picture.filePaletteCount, 1);
    EXPECT_EQ(picture.filePalettes[0].bytes[0], 0x22);
    EXPECT_EQ(picture.filePalettes[1].bytes[0], 0x11);  // kept, never used because of the count
    EXPECT_EQ(GetPaletteSlot(picture, 3), nullptr);
}

struct InternalCase {
    int32_t mode;
    int32_t dataSize;
    int32_t address;  // -1: not available
};

TEST(GetPaletteSlot, InternalSlotIsAViewIntoVramAtTheModesAddress) {
    const InternalCase kCases[] = {
        {kScreen5, 30367, -1},     {kScreen5, 30368, 0x7680}, {kScreen6, 30368, 0x7680},
        {kScreen7, 64159, -1},     {kScreen7, 64160, 0xFA80}, {kScreen8, 64160, 0xFA80},
        {kScreen10, 65536, 0xFA80}, {kScreen12, 64160, 0xFA80}, {kScreen7, 30368, -1},
    };
    for (const InternalCase& c : kCases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " size " << c.dataSize);
        Picture picture;
        AllocateVram(&picture, c.dataSize);
        picture.screenMode = static_cast<ScreenMode>(c.mode);
        const MsxPalette* p = GetPaletteSlot(picture, kPaletteInternal);
        if (c.address < 0) {
            EXPECT_EQ(p, nullptr);
            EXPECT_FALSE(SelectPaletteSlot(&picture, kPaletteInternal));
            EXPECT_EQ(picture.paletteIndex, kPaletteStandard);
        } else {
            EXPECT_EQ(reinterpret_cast<const uint8_t*>(p), picture.data.data() + c.address);
            EXPECT_TRUE(SelectPaletteSlot(&picture, kPaletteInternal));
            EXPECT_EQ(picture.paletteIndex, kPaletteInternal);
        }
    }
}

// CurrentPalette reads; ApplyPaletteFallback is what moves an unavailable selection.
TEST(CurrentPalette, ShowsStandardForAnUnavailableSlotAndTheFallbackRemembersIt) {
    Picture picture;
    AllocateVram(&picture, 100);
    for (int32_t slot : {static_cast<int32_t>(kPaletteInternal), 9}) {  // 9: file palette 7 of none
        SCOPED_TRACE(slot);
        picture.paletteIndex = slot;
        EXPECT_EQ(&CurrentPalette(picture), &kStandardPalette);
        EXPECT_EQ(picture.paletteIndex, slot);
        ApplyPaletteFallback(&picture);
        EXPECT_EQ(picture.paletteIndex, kPaletteStandard);
    }
    EXPECT_EQ(GetPaletteSlot(picture, -1), nullptr);
    EXPECT_EQ(GetPaletteSlot(picture, 10), nullptr);
}

TEST(SelectPaletteSlot, UnavailableSlotIsIgnored) {
    Picture picture;
    AllocateVram(&picture, 0);
    Bytes three(96, 1);
    LoadPaletteBytes(&picture, three.data(), three.size());
    EXPECT_TRUE(SelectPaletteSlot(&picture, 4));
    EXPECT_FALSE(SelectPaletteSlot(&picture, 5));  // the key 3 with three palettes loaded
    EXPECT_EQ(picture.paletteIndex, 4);
    EXPECT_TRUE(SelectPaletteSlot(&picture, kPaletteStandard));
}

}  // namespace
