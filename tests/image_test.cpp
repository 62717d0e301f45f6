// The image store: AllocateVram's capacity rule and the palette-table rule.
#include <gtest/gtest.h>

#include "image/vram.h"
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
        ResetState();
        uint8_t* data = AllocateVram(c.size);
        EXPECT_EQ(vramImage.data, data);
        EXPECT_EQ(vramImage.capacity, c.capacity);
        EXPECT_EQ(vramImage.dataSize, c.size);
        EXPECT_EQ(vramImage.imageSize, c.imageSize);
    }
    ResetState();
}

// Every size a BSAVE file can give: the buffer is zero-filled, at least 0x6A00 bytes, a multiple
// of 256 and never smaller than dataSize or imageSize (rendering reads whole lines on this).
TEST(AllocateVram, CapacityRuleHoldsForEverySize) {
    for (int32_t size = 0; size <= 0x10000; size += (size < 0x6B00 ? 1 : 97)) {
        ResetState();
        AllocateVram(size);
        ASSERT_GE(vramImage.capacity, 0x6A00) << size;
        ASSERT_EQ(vramImage.capacity % 256, 0) << size;
        ASSERT_GE(vramImage.capacity, vramImage.dataSize) << size;
        ASSERT_GE(vramImage.capacity, vramImage.imageSize) << size;
        ASSERT_EQ(vramImage.data[vramImage.capacity - 1], 0) << size;
    }
    ResetState();
}

TEST(AllocateVram, DoesNotFreeTheBufferItReplaces) {
    ResetState();
    uint8_t* first = AllocateVram(100);
    first[0] = 0x5A;
    uint8_t* second = AllocateVram(200);
    EXPECT_NE(first, second);
    EXPECT_EQ(first[0], 0x5A);  // still ours to read (ASan would object otherwise)
    FreeVram(first);
    ResetState();
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
        ResetState();
        AllocateVram(c.dataSize);
        screenMode = c.mode;
        EXPECT_EQ(PaletteTablePresent(), c.present);
    }
    ResetState();
}

TEST(ScreenModes, TableMatchesTheVdpLayouts) {
    // Bytes per line times 212 lines must give the bitmap sizes 0x6A00 and 0xD400, and the
    // palette table must lie past the bitmap.
    for (int32_t m = 0; m < kScreenModeCount; ++m) {
        const ScreenModeInfo& info = kScreenModes[m];
        EXPECT_EQ(info.paletteTable, PaletteTableAddress(m));
        EXPECT_GE(info.paletteTable, info.bytesPerLine * kScreenLines);
        int32_t bitsPerPixel = info.bytesPerLine * 8 / info.width;
        EXPECT_TRUE(bitsPerPixel == 2 || bitsPerPixel == 4 || bitsPerPixel == 8) << m;
    }
    EXPECT_STREQ(kScreenModes[kScreen10].saveExtension, "sca");
    EXPECT_STREQ(kScreenModes[kScreen12].saveExtension, "scc");
}

TEST(SelectScreenMode, RefusesIndicesOutsideTheTable) {
    ResetState();
    EXPECT_TRUE(SelectScreenMode(kScreen12));
    EXPECT_EQ(screenMode, kScreen12);
    EXPECT_FALSE(SelectScreenMode(6));
    EXPECT_FALSE(SelectScreenMode(-1));
    EXPECT_EQ(screenMode, kScreen12);
}

}  // namespace
