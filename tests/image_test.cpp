// The picture: AllocateVram's capacity rule, the palette-table rule, mode selection and the
// palette slot that every command leaves available.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "convert/convert.h"
#include "image/picture.h"
#include "tests/test_support.h"

namespace {

struct AllocateCase {
    int32_t size;
    int32_t capacity;
    int32_t imageSize;
};

// Capacities from the rule: 0x6A00 up to 27136 bytes, else rounded up to 256.
const AllocateCase kAllocateCases[] = {
    {0, 27136, 0},          {1, 27136, 1},          {27136, 27136, 27136},
    {27137, 27392, 27137},  {30368, 30464, 30368},  {54271, 54272, 54271},
    {54272, 54272, 54272},  {54273, 54528, 54272},  {64160, 64256, 54272},
    {65536, 65536, 54272},
};

TEST(AllocateVram, CapacityDataSizeAndImageSize) {
    for (const AllocateCase& c : kAllocateCases) {
        SCOPED_TRACE(c.size);
        Picture picture;
        uint8_t* data = AllocateVram(&picture, c.size);
        EXPECT_EQ(picture.data.data(), data);
        EXPECT_EQ(static_cast<int32_t>(picture.data.size()), c.capacity);
        EXPECT_EQ(picture.dataSize, c.size);
        EXPECT_EQ(picture.imageSize, c.imageSize);
    }
}

// Every size a BSAVE file can give: the buffer is zero-filled, at least 0x6A00 bytes, a multiple
// of 256 and never smaller than dataSize or imageSize (rendering reads whole lines on this).
TEST(AllocateVram, CapacityRuleHoldsForEverySize) {
    for (int32_t size = 0; size <= 0x10000; size += (size < 0x6B00 ? 1 : 97)) {
        Picture picture;
        AllocateVram(&picture, size);
        const int32_t capacity = static_cast<int32_t>(picture.data.size());
        ASSERT_GE(capacity, 0x6A00) << size;
        ASSERT_EQ(capacity % 256, 0) << size;
        ASSERT_GE(capacity, picture.dataSize) << size;
        ASSERT_GE(capacity, picture.imageSize) << size;
        ASSERT_EQ(picture.data.back(), 0) << size;
    }
}

// A new allocation replaces the old bytes: nothing of the previous picture shows through.
TEST(AllocateVram, ReplacesTheBytesByZeros) {
    Picture picture;
    AllocateVram(&picture, 0x10000);
    std::fill(picture.data.begin(), picture.data.end(), 0x5A);
    AllocateVram(&picture, 200);
    EXPECT_EQ(picture.dataSize, 200);
    EXPECT_EQ(picture.data.size(), 27136u);
    EXPECT_TRUE(std::all_of(picture.data.begin(), picture.data.end(), [](uint8_t b) { return b == 0; }));
}

struct TableCase {
    int32_t mode;
    int32_t dataSize;
    bool present;
};

// The table counts only when the data reaches its end: 0x76A0 (SCREEN 5/6), 0xFAA0 (others).
const TableCase kTableCases[] = {
    {kScreen5, 30367, false}, {kScreen5, 30368, true},  {kScreen6, 30367, false},
    {kScreen6, 30368, true},  {kScreen7, 64159, false}, {kScreen7, 64160, true},
    {kScreen8, 64160, true},  {kScreen10, 64159, false}, {kScreen12, 65536, true},
    {kScreen7, 30368, false},
};

TEST(PaletteTable, PresentOnlyWhenTheDataReachesItsEnd) {
    for (const TableCase& c : kTableCases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " size " << c.dataSize);
        Picture picture;
        AllocateVram(&picture, c.dataSize);
        picture.screenMode = static_cast<ScreenMode>(c.mode);
        EXPECT_EQ(PaletteTablePresent(picture), c.present);
    }
}

TEST(ScreenModes, TableMatchesTheVdpLayouts) {
    // Bytes per line times 212 lines must give the bitmap sizes 0x6A00 and 0xD400, and the
    // palette table must lie past the bitmap.
    for (int32_t m = 0; m < kBitmapModeCount; ++m) {
        const ScreenModeInfo& info = ScreenModeOf(m);
        EXPECT_EQ(info.lines, kScreenLines);
        EXPECT_EQ(info.savedBytes, info.paletteTable + kPaletteTableBytes);
        EXPECT_GE(info.paletteTable, info.bytesPerLine * kScreenLines);
        int32_t bitsPerPixel = info.bytesPerLine * 8 / info.width;
        EXPECT_TRUE(bitsPerPixel == 2 || bitsPerPixel == 4 || bitsPerPixel == 8) << m;
    }
    EXPECT_STREQ(ScreenModeOf(kScreen10).saveExtension, "sca");
    EXPECT_STREQ(ScreenModeOf(kScreen12).saveExtension, "scc");
}

TEST(SelectScreenMode, RefusesIndicesOutsideTheTable) {
    Picture picture;
    EXPECT_TRUE(SelectScreenMode(&picture, kScreen12));
    EXPECT_EQ(picture.screenMode, kScreen12);
    EXPECT_TRUE(SelectScreenMode(&picture, kScreen4));
    EXPECT_EQ(picture.screenMode, kScreen4);
    EXPECT_TRUE(SelectScreenMode(&picture, kScreen12));
    EXPECT_FALSE(SelectScreenMode(&picture, kScreenModeCount));
    EXPECT_FALSE(SelectScreenMode(&picture, -1));
    EXPECT_EQ(picture.screenMode, kScreen12);
}

// Property: whatever the commands and their order, the selected palette slot is available
// after each one (the display, the save and the conversions read it without a fallback of
// their own). Random walks through a table of the viewer's commands, from pictures with and
// without a palette table.
TEST(PaletteSlot, AvailableAfterEveryCommand) {
    struct Command {
        std::string name;
        std::function<void(Picture*)> run;
    };
    std::vector<Command> commands;
    for (int32_t mode = -1; mode <= kScreenModeCount; ++mode) {
        commands.push_back({"mode " + std::to_string(mode),
                            [mode](Picture* p) { SelectScreenMode(p, mode); }});
        commands.push_back({"convert to " + std::to_string(mode),
                            [mode](Picture* p) { ConvertToMode(p, mode); }});
    }
    for (int32_t slot = -1; slot <= kPaletteSlotCount; ++slot) {
        commands.push_back({"slot " + std::to_string(slot),
                            [slot](Picture* p) { SelectPaletteSlot(p, slot); }});
    }
    for (size_t bytes : {0, 10, 32, 96, 256}) {
        commands.push_back({"palette file of " + std::to_string(bytes), [bytes](Picture* p) {
                                const std::vector<uint8_t> file(bytes, 0x35);
                                LoadPaletteBytes(p, file.data(), file.size());
                            }});
    }
    uint32_t seed = 7;
    for (int32_t size : {0, 100, 27136, 30368, 54272, 64160, 65536}) {
        for (int32_t mode = 0; mode < kScreenModeCount; ++mode) {
            Picture picture;
            AllocateVram(&picture, size);
            SelectScreenMode(&picture, mode);
            SelectPaletteSlot(&picture, kPaletteInternal);
            std::string trail = std::to_string(size) + " bytes in mode " + std::to_string(mode);
            for (int step = 0; step < 60; ++step) {
                seed = seed * 1103515245u + 12345u;
                const Command& command = commands[(seed >> 16) % commands.size()];
                command.run(&picture);
                trail += ", " + command.name;
                ASSERT_NE(GetPaletteSlot(picture, picture.paletteIndex), nullptr) << trail;
            }
        }
    }
}

}  // namespace
