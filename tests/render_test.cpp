// The display bitmap: layout and headers of every mode, row order and nibble order, the colour
// tables, the SCREEN 6 expansion, the line choice of short pictures and the conversion word.
#include <gtest/gtest.h>

#include <cstring>

#include "image/vram.h"
#include "palette/palette.h"
#include "render/display.h"
#include "tests/test_support.h"

namespace {

uint32_t Le16(const uint8_t* p) { return p[0] | p[1] << 8; }
uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

// A picture of the given mode and size whose bytes are all `fill`, shown with the standard
// palette.
void MakePicture(int32_t mode, int32_t size, uint8_t fill = 0) {
    ResetState();
    AllocateVram(size);
    std::memset(vramImage.data, fill, static_cast<size_t>(vramImage.capacity));
    screenMode = mode;
    paletteIndex = kPaletteStandard;
}

const uint8_t* Rows() { return displayBitmap + 2 + DisplayBitmapPixelOffset(); }

// The bitmap figures of each mode, written out from the BMP format: bfOffBits = 14 + 40 + 4 x
// colour entries; bfSize = bfOffBits + 212 rows x row bytes.
struct LayoutCase {
    int32_t mode;
    uint32_t bitsPerPixel, width, colourEntries, offBits, rowBytes, fileSize, xPelsPerMeter;
    uint32_t conversions;
};

const LayoutCase kLayouts[] = {
    {kScreen5, 4, 256, 16, 118, 128, 27254, 8000, 0x00032160},
    {kScreen6, 4, 512, 16, 118, 256, 54390, 16000, 0x00048509},
    {kScreen7, 4, 512, 16, 118, 256, 54390, 16000, 0x000070A0},
    {kScreen8, 8, 256, 256, 1078, 256, 55350, 8000, 0x00000000},
    {kScreen10, 24, 256, 0, 54, 768, 162870, 8000, 0x000B0000},
    {kScreen12, 24, 256, 0, 54, 768, 162870, 8000, 0x000B0000},
};

TEST(BuildDisplayBitmap, HeadersOfEveryMode) {
    for (const LayoutCase& c : kLayouts) {
        SCOPED_TRACE(kScreenModes[c.mode].name);
        MakePicture(c.mode, 0xD400, 0x5A);
        conversionTable = 0x80000000u | 0x00FFFFFFu;  // the menu's flag and stale codes
        BuildDisplayBitmap();
        const uint8_t* b = displayBitmap;
        EXPECT_EQ(Le16(b), 0u);  // the two alignment bytes
        EXPECT_EQ(b[2], 'B');
        EXPECT_EQ(b[3], 'M');
        EXPECT_EQ(Le32(b + 4), c.fileSize);
        EXPECT_EQ(Le32(b + 8), 0u);  // bfReserved1, bfReserved2
        EXPECT_EQ(Le32(b + 12), c.offBits);
        EXPECT_EQ(c.offBits + 212 * c.rowBytes, c.fileSize);
        const uint8_t* info = b + 16;
        EXPECT_EQ(Le32(info), 40u);
        EXPECT_EQ(Le32(info + 4), c.width);
        EXPECT_EQ(Le32(info + 8), 212u);
        EXPECT_EQ(Le16(info + 12), 1u);
        EXPECT_EQ(Le16(info + 14), c.bitsPerPixel);
        EXPECT_EQ(Le32(info + 16), 0u);  // BI_RGB
        EXPECT_EQ(Le32(info + 20), 0u);  // biSizeImage
        EXPECT_EQ(Le32(info + 24), c.xPelsPerMeter);
        EXPECT_EQ(Le32(info + 28), 9000u);
        EXPECT_EQ(Le32(info + 32), 0u);  // biClrUsed
        EXPECT_EQ(Le32(info + 36), 0u);  // biClrImportant
        EXPECT_EQ(DisplayBitmapFileSize(), c.fileSize);
        EXPECT_EQ(DisplayBitmapPixelOffset(), c.offBits);
        EXPECT_EQ(DisplayBitmapWidth(), static_cast<int32_t>(c.width));
        // Every build stores the whole word, clearing bit 31.
        EXPECT_EQ(conversionTable, c.conversions);
        EXPECT_EQ(ConversionTableForMode(c.mode), c.conversions);
        // The 1:1 view: the file image's header, or for the 512-pixel modes a header right
        // after the file image (reading it all is what ASan checks the buffer size with).
        if (c.mode == kScreen6 || c.mode == kScreen7) {
            ASSERT_EQ(viewBitmapInfo, b + 2 + c.fileSize);
            const uint8_t* v = viewBitmapInfo;
            EXPECT_EQ(Le32(v), 40u);
            EXPECT_EQ(Le32(v + 4), 256u);
            EXPECT_EQ(Le32(v + 8), 212u);
            EXPECT_EQ(Le16(v + 12), 1u);
            EXPECT_EQ(Le16(v + 14), 8u);
            for (int i = 16; i < 40; ++i) EXPECT_EQ(v[i], 0) << "view header byte " << i;
            uint32_t fourth = 0;
            for (int i = 0; i < 256; ++i) fourth |= v[40 + 4 * i + 3];
            EXPECT_EQ(fourth, 0u);
        } else {
            EXPECT_EQ(viewBitmapInfo, b + 16);
        }
        // Pixel rows lie 4-aligned and end exactly at the file image's end; the bytes copied
        // unchanged show that the rows hold the picture.
        EXPECT_EQ((2 + c.offBits) % 4, 0u);
        if (c.mode == kScreen7 || c.mode == kScreen8) {
            EXPECT_EQ(Rows()[0], 0x5A);
            EXPECT_EQ(Rows()[212 * 256 - 1], 0x5A);
        }
    }
    ResetState();
}

// An asymmetric picture catches flipped rows and swapped nibbles: the top-left pixel differs
// from its right neighbour and from the bottom-right one.
TEST(BuildDisplayBitmap, BottomUpRowsAndHighNibbleLeft) {
    struct Case {
        int32_t mode;
        int32_t bytesPerLine;
        uint32_t rowBytes;
    };
    for (const Case& c :
         {Case{kScreen5, 128, 128}, Case{kScreen7, 256, 256}, Case{kScreen8, 256, 256}}) {
        SCOPED_TRACE(kScreenModes[c.mode].name);
        MakePicture(c.mode, 0xD400);
        vramImage.data[0] = 0x12;  // line 0: pixels 1, 2
        vramImage.data[1] = 0x30;
        vramImage.data[211 * c.bytesPerLine + c.bytesPerLine - 1] = 0x4F;  // line 211, last byte
        BuildDisplayBitmap();
        const uint8_t* rows = Rows();
        // DIB row 0 is picture line 211, DIB row 211 is line 0.
        EXPECT_EQ(rows[c.rowBytes - 1], 0x4F);
        EXPECT_EQ(rows[0], 0x00);
        EXPECT_EQ(rows[211 * c.rowBytes], 0x12);
        EXPECT_EQ(rows[211 * c.rowBytes + 1], 0x30);
    }
    ResetState();
}

TEST(BuildDisplayBitmap, Screen5And6UseThePaletteTable) {
    MsxPalette palette{};
    for (int n = 0; n < 16; ++n) {
        palette.bytes[2 * n] = static_cast<uint8_t>((n & 7) << 4 | (7 - (n & 7)));
        palette.bytes[2 * n + 1] = static_cast<uint8_t>(n >> 1);
    }
    uint8_t expected[64];
    PaletteToRgbQuads(&palette, expected);
    for (int32_t mode : {kScreen5, kScreen6, kScreen7}) {
        MakePicture(mode, 0x10000);
        std::memcpy(vramImage.data + PaletteTableAddress(mode), palette.bytes, 32);
        paletteIndex = kPaletteInternal;
        BuildDisplayBitmap();
        EXPECT_EQ(std::memcmp(displayBitmap + 56, expected, 64), 0) << kScreenModes[mode].name;
        EXPECT_EQ(paletteIndex, kPaletteInternal);
    }
    ResetState();
}

// Every build takes the current palette first, so an unavailable choice falls back to the
// standard palette, also in the modes that do not show it.
TEST(BuildDisplayBitmap, UnavailablePaletteFallsBackInEveryMode) {
    for (const LayoutCase& c : kLayouts) {
        MakePicture(c.mode, 0x6A00);  // no palette table in any mode
        paletteIndex = kPaletteInternal;
        BuildDisplayBitmap();
        EXPECT_EQ(paletteIndex, kPaletteStandard) << kScreenModes[c.mode].name;
    }
    ResetState();
}

TEST(Screen6ExpandTable, PartExamplesAndEveryByte) {
    uint16_t table[256];
    BuildScreen6ExpandTable(table);
    // Pixels 0, 1, 2, 3 show colour codes 0, 5, 10, 15.
    EXPECT_EQ(table[0x1B], 0xAF05);
    EXPECT_EQ(table[0xFF], 0xFFFF);
    EXPECT_EQ(table[0x40], 0x0050);
    EXPECT_EQ(table[0x00], 0x0000);
    for (int v = 0; v < 256; ++v) {
        const int p[4] = {v >> 6, (v >> 4) & 3, (v >> 2) & 3, v & 3};
        const int first = 5 * p[0] << 4 | 5 * p[1];
        const int second = 5 * p[2] << 4 | 5 * p[3];
        EXPECT_EQ(table[v], second << 8 | first) << "byte " << v;
    }
}

TEST(BuildDisplayBitmap, Screen6RowsAreExpandedBytes) {
    MakePicture(kScreen6, 0x6A00);
    vramImage.data[0] = 0x1B;          // line 0, first byte
    vramImage.data[127] = 0x40;        // line 0, last byte
    vramImage.data[211 * 128] = 0xFF;  // line 211, first byte
    BuildDisplayBitmap();
    const uint8_t* rows = Rows();
    EXPECT_EQ(rows[0], 0xFF);  // DIB row 0 = line 211
    EXPECT_EQ(rows[1], 0xFF);
    EXPECT_EQ(rows[2], 0x00);
    EXPECT_EQ(rows[211 * 256], 0x05);
    EXPECT_EQ(rows[211 * 256 + 1], 0xAF);
    EXPECT_EQ(rows[211 * 256 + 254], 0x50);
    EXPECT_EQ(rows[211 * 256 + 255], 0x00);
    ResetState();
}

// Every byte value at every position of a 16-byte stretch: the rows are the table's entries.
TEST(BuildDisplayBitmap, Screen6RowsMatchTheTableForEveryByte) {
    MakePicture(kScreen6, 0x6A00);
    for (int32_t i = 0; i < 0x6A00; ++i) vramImage.data[i] = static_cast<uint8_t>(i + i / 256);
    BuildDisplayBitmap();
    uint16_t table[256];
    BuildScreen6ExpandTable(table);
    int wrong = 0;
    for (int32_t line = 0; line < 212; ++line) {
        const uint8_t* row = Rows() + (211 - line) * 256;
        for (int32_t x = 0; x < 128; ++x) {
            const uint16_t entry = table[vramImage.data[128 * line + x]];
            wrong += row[2 * x] != (entry & 0xFF) || row[2 * x + 1] != entry >> 8;
        }
    }
    EXPECT_EQ(wrong, 0);
    ResetState();
}

// The half-width colour of every DIB byte of SCREEN 7 against the per-channel rule, with a
// palette that puts different levels in every channel of every colour.
TEST(HalfWidthColorTable, EveryByteByThePerChannelRule) {
    MakePicture(kScreen7, 0x10000);
    uint8_t* table = vramImage.data + kLargePaletteTable;
    for (int n = 0; n < 16; ++n) {
        table[2 * n] = static_cast<uint8_t>((n * 3 & 7) << 4 | (n * 5 & 7));
        table[2 * n + 1] = static_cast<uint8_t>(n * 7 & 7);
    }
    paletteIndex = kPaletteInternal;
    BuildDisplayBitmap();
    const uint8_t* colours = displayBitmap + 56;
    const uint8_t* half = viewBitmapInfo + 40;
    for (int i = 0; i < 256; ++i) {
        for (int ch = 0; ch < 3; ++ch) {
            const int a = colours[4 * (i >> 4) + ch];
            const int b = colours[4 * (i & 15) + ch];
            const int s = (a & 0xF8) + (b & 0xF8);
            EXPECT_EQ(half[4 * i + ch], (s >> 1) + (s >> 6)) << "byte " << i << " channel " << ch;
        }
        EXPECT_EQ(half[4 * i + 3], 0);
    }
    ResetState();
}

// Black and white averaged are grey 0x7F; every level-table value with itself is itself.
TEST(HalfWidthColorTable, PartExamples) {
    MakePicture(kScreen7, 0x10000);
    uint8_t* table = vramImage.data + kLargePaletteTable;
    for (int n = 0; n < 8; ++n) {  // colours 0..7: grey levels 0..7
        table[2 * n] = static_cast<uint8_t>(n << 4 | n);
        table[2 * n + 1] = static_cast<uint8_t>(n);
    }
    table[30] = 0x77;  // colour 15 white
    table[31] = 0x07;
    paletteIndex = kPaletteInternal;
    BuildDisplayBitmap();
    const uint8_t* half = viewBitmapInfo + 40;
    for (int i : {0x0F, 0xF0}) {
        EXPECT_EQ(half[4 * i], 0x7F);
        EXPECT_EQ(half[4 * i + 1], 0x7F);
        EXPECT_EQ(half[4 * i + 2], 0x7F);
    }
    EXPECT_EQ(half[4 * 0xFF], 0xFF);
    for (int n = 0; n < 8; ++n) {
        EXPECT_EQ(half[4 * (n * 17)], kLevelTable[n]) << "level " << n;
        EXPECT_EQ(half[4 * (n * 17) + 1], kLevelTable[n]);
        EXPECT_EQ(half[4 * (n * 17) + 2], kLevelTable[n]);
    }
    ResetState();
}

TEST(Screen8ColorTable, FixedGggrrrbbColours) {
    MakePicture(kScreen8, 0xD400);
    BuildDisplayBitmap();
    const uint8_t* t = displayBitmap + 56;
    const uint8_t kBlue[4] = {0x00, 0x52, 0xAD, 0xFF};  // two bits of blue, not thirds
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(t[4 * i], kBlue[i & 3]) << "entry " << i;
        EXPECT_EQ(t[4 * i + 1], kLevelTable[i >> 5]);
        EXPECT_EQ(t[4 * i + 2], kLevelTable[(i >> 2) & 7]);
        EXPECT_EQ(t[4 * i + 3], 0);
    }
    struct Entry {
        int index;
        uint8_t blue, green, red;
    };
    for (const Entry& e :
         {Entry{0x25, 0x52, 0x21, 0x21}, Entry{0x03, 0xFF, 0, 0}, Entry{0x1C, 0, 0, 0xFF},
          Entry{0xE0, 0, 0xFF, 0}, Entry{0xFF, 0xFF, 0xFF, 0xFF}}) {
        EXPECT_EQ(t[4 * e.index], e.blue) << "entry " << e.index;
        EXPECT_EQ(t[4 * e.index + 1], e.green);
        EXPECT_EQ(t[4 * e.index + 2], e.red);
    }
    ResetState();
}

// Pictures shorter than a screen in the 256-bytes-per-line modes: lines below the one holding
// the last image byte are zero rows; that line is taken whole, bytes past imageSize included.
TEST(BuildDisplayBitmap, ShortPicturesChooseTheirLines) {
    for (int32_t mode : {kScreen7, kScreen8, kScreen10, kScreen12}) {
        SCOPED_TRACE(kScreenModes[mode].name);
        const uint32_t rowBytes = mode == kScreen7 || mode == kScreen8 ? 256 : 768;
        MakePicture(mode, 100 * 256 + 1, 0x00);  // ends one byte into line 100: L = 100
        vramImage.data[100 * 256] = 0xF8;        // the last image byte
        vramImage.data[100 * 256 + 5] = 0xF8;    // past imageSize, still in line 100
        vramImage.data[101 * 256] = 0xF8;        // line 101: not shown
        BuildDisplayBitmap();
        const uint8_t* rows = Rows();
        for (uint32_t i = 0; i < 111 * rowBytes; ++i) {
            ASSERT_EQ(rows[i], 0) << "DIB byte " << i << " (lines 101-211 must be zero)";
        }
        // Line 100 is DIB row 111. 0xF8 is the index 0xF8 in SCREEN 7 and 8, and white
        // (Y = 31, J = K = 0) or palette colour 15 (white too) in the YJK modes.
        const uint8_t* line100 = rows + 111 * rowBytes;
        if (rowBytes == 256) {
            EXPECT_EQ(line100[0], 0xF8);
            EXPECT_EQ(line100[5], 0xF8);
            EXPECT_EQ(line100[1], 0x00);
        } else {
            EXPECT_EQ(line100[0], 0xFF);
            EXPECT_EQ(line100[3 * 5 + 2], 0xFF);
        }
    }
    ResetState();
}

// With imageSize 0 the 256-bytes-per-line modes show only zero rows and read no VRAM byte
// (every byte of the store is non-zero here, so a read would show).
TEST(BuildDisplayBitmap, EmptyPictureIsAllZeroRows) {
    for (int32_t mode : {kScreen7, kScreen8, kScreen10, kScreen12}) {
        MakePicture(mode, 0, 0xFF);
        BuildDisplayBitmap();
        const uint32_t bytes = DisplayBitmapFileSize() - DisplayBitmapPixelOffset();
        uint32_t nonZero = 0;
        for (uint32_t i = 0; i < bytes; ++i) nonZero += Rows()[i] != 0;
        EXPECT_EQ(nonZero, 0u) << kScreenModes[mode].name;
    }
    ResetState();
}

// SCREEN 5 and 6 read all 212 lines whatever the sizes say: the store always holds them.
TEST(BuildDisplayBitmap, Screen5And6ReadAllLines) {
    for (int32_t mode : {kScreen5, kScreen6}) {
        MakePicture(mode, 0);
        BuildDisplayBitmap();
        const uint32_t bytes = DisplayBitmapFileSize() - DisplayBitmapPixelOffset();
        uint32_t nonZero = 0;
        for (uint32_t i = 0; i < bytes; ++i) nonZero += Rows()[i] != 0;
        EXPECT_EQ(nonZero, 0u) << kScreenModes[mode].name;  // all palette colour 0
        std::free(displayBitmap);
        vramImage.data[211 * 128] = 0xC0;  // line 211 beyond dataSize 0
        BuildDisplayBitmap();
        EXPECT_EQ(Rows()[0], mode == kScreen5 ? 0xC0 : 0xF0) << kScreenModes[mode].name;
    }
    ResetState();
}

// The palette choice shows in SCREEN 5, 6, 7 only through the colour tables, and does not show
// at all in SCREEN 8 and 12: their file images are the same byte for byte.
TEST(BuildDisplayBitmap, PaletteDoesNotReachScreen8And12) {
    for (int32_t mode : {kScreen8, kScreen12}) {
        MakePicture(mode, 0x10000);
        for (int32_t i = 0; i < 0x10000; ++i) vramImage.data[i] = static_cast<uint8_t>(i * 37 >> 3);
        BuildDisplayBitmap();
        const uint32_t size = DisplayBitmapFileSize();
        Bytes first(displayBitmap + 2, displayBitmap + 2 + size);
        std::free(displayBitmap);
        paletteIndex = kPaletteInternal;  // the bytes at 0xFA80 make another palette
        BuildDisplayBitmap();
        EXPECT_EQ(paletteIndex, kPaletteInternal);
        EXPECT_EQ(Bytes(displayBitmap + 2, displayBitmap + 2 + size), first)
            << kScreenModes[mode].name;
    }
    ResetState();
}

TEST(RebuildDisplayBitmap, ReplacesTheBufferAndFollowsTheMode) {
    MakePicture(kScreen5, 0x6A00);
    BuildDisplayBitmap();
    for (const LayoutCase& c : kLayouts) {
        screenMode = c.mode;
        conversionTable |= kMenuStatesRefreshed;
        RebuildDisplayBitmap();
        EXPECT_EQ(DisplayBitmapFileSize(), c.fileSize);
        EXPECT_EQ(conversionTable, c.conversions);
    }
    ResetState();
}

}  // namespace
