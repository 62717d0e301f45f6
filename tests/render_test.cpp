// The display bitmap: layout and headers of every mode, row order and nibble order, the colour
// tables, the SCREEN 6 expansion, the line choice of short pictures and the conversions offered.
#include <gtest/gtest.h>

#include <cstring>

#include "convert/convert.h"
#include "image/picture.h"
#include "palette/palette.h"
#include "render/display.h"
#include "tests/test_support.h"

namespace {

uint32_t Le16(const uint8_t* p) { return p[0] | p[1] << 8; }
uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

// A picture of the given mode and size whose bytes are all `fill`, shown with the standard
// palette.
Picture MakePicture(int32_t mode, int32_t size, uint8_t fill = 0) {
    Picture picture;
    AllocateVram(&picture, size);
    std::fill(picture.data.begin(), picture.data.end(), fill);
    picture.screenMode = static_cast<ScreenMode>(mode);
    picture.paletteIndex = kPaletteStandard;
    return picture;
}

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
    Picture picture;
    DisplayBitmap bitmap;
    for (const LayoutCase& c : kLayouts) {
        SCOPED_TRACE(ScreenModeOf(c.mode).name);
        picture = MakePicture(c.mode, 0xD400, 0x5A);
        bitmap = BuildDisplayBitmap(picture);
        const uint8_t* b = bitmap.buffer.data();
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
        EXPECT_EQ(bitmap.FileSize(), c.fileSize);
        EXPECT_EQ(bitmap.PixelOffset(), c.offBits);
        EXPECT_EQ(bitmap.Width(), static_cast<int32_t>(c.width));
        EXPECT_EQ(ConversionTableForMode(static_cast<ScreenMode>(c.mode)), c.conversions);
        // The views of the buffer: the BMP file image, the packed DIB and the file's header.
        EXPECT_EQ(bitmap.FileImage(), b + 2);
        EXPECT_EQ(bitmap.PackedDib(), b + 16);
        EXPECT_EQ(bitmap.PackedDibSize(), c.fileSize - 14);
        EXPECT_EQ(bitmap.FileInfo(), b + 16);
        EXPECT_EQ(bitmap.Rows(), b + 2 + c.offBits);
        const bool halfWidthView = c.mode == kScreen6 || c.mode == kScreen7;
        EXPECT_EQ(bitmap.buffer.size(), 2 + c.fileSize + (halfWidthView ? 40 + 256 * 4 : 0));
        // The 1:1 view: the file image's header, or for the 512-pixel modes a header right
        // after the file image (reading it all is what ASan checks the buffer size with).
        if (halfWidthView) {
            ASSERT_EQ(bitmap.ViewInfo(), b + 2 + c.fileSize);
            const uint8_t* v = bitmap.ViewInfo();
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
            EXPECT_EQ(bitmap.ViewInfo(), b + 16);
        }
        // Pixel rows lie 4-aligned and end exactly at the file image's end; the bytes copied
        // unchanged show that the rows hold the picture.
        EXPECT_EQ((2 + c.offBits) % 4, 0u);
        if (c.mode == kScreen7 || c.mode == kScreen8) {
            EXPECT_EQ(bitmap.Rows()[0], 0x5A);
            EXPECT_EQ(bitmap.Rows()[212 * 256 - 1], 0x5A);
        }
    }
}

// An asymmetric picture catches flipped rows and swapped nibbles: the top-left pixel differs
// from its right neighbour and from the bottom-right one.
TEST(BuildDisplayBitmap, BottomUpRowsAndHighNibbleLeft) {
    Picture picture;
    DisplayBitmap bitmap;
    struct Case {
        int32_t mode;
        int32_t bytesPerLine;
        uint32_t rowBytes;
    };
    for (const Case& c :
         {Case{kScreen5, 128, 128}, Case{kScreen7, 256, 256}, Case{kScreen8, 256, 256}}) {
        SCOPED_TRACE(ScreenModeOf(c.mode).name);
        picture = MakePicture(c.mode, 0xD400);
        picture.data[0] = 0x12;  // line 0: pixels 1, 2
        picture.data[1] = 0x30;
        picture.data[211 * c.bytesPerLine + c.bytesPerLine - 1] = 0x4F;  // line 211, last byte
        bitmap = BuildDisplayBitmap(picture);
        const uint8_t* rows = bitmap.Rows();
        // DIB row 0 is picture line 211, DIB row 211 is line 0.
        EXPECT_EQ(rows[c.rowBytes - 1], 0x4F);
        EXPECT_EQ(rows[0], 0x00);
        EXPECT_EQ(rows[211 * c.rowBytes], 0x12);
        EXPECT_EQ(rows[211 * c.rowBytes + 1], 0x30);
    }
}

TEST(BuildDisplayBitmap, Screen5And6UseThePaletteTable) {
    Picture picture;
    DisplayBitmap bitmap;
    MsxPalette palette{};
    for (int n = 0; n < 16; ++n) {
        palette.bytes[2 * n] = static_cast<uint8_t>((n & 7) << 4 | (7 - (n & 7)));
        palette.bytes[2 * n + 1] = static_cast<uint8_t>(n >> 1);
    }
    uint8_t expected[64];
    PaletteToRgbQuads(palette, expected);
    for (int32_t mode : {kScreen5, kScreen6, kScreen7}) {
        picture = MakePicture(mode, 0x10000);
        std::memcpy(picture.data.data() + PaletteTableAddress(mode), palette.bytes, 32);
        picture.paletteIndex = kPaletteInternal;
        bitmap = BuildDisplayBitmap(picture);
        EXPECT_EQ(std::memcmp(bitmap.buffer.data() + 56, expected, 64), 0) << ScreenModeOf(mode).name;
    }
}

// An unavailable choice shows the standard palette: the bitmap is the one built with the
// standard palette selected, byte for byte, in every mode.
TEST(BuildDisplayBitmap, UnavailablePaletteShowsTheStandardOneInEveryMode) {
    for (const LayoutCase& c : kLayouts) {
        Picture picture = MakePicture(c.mode, 0x6A00, 0x5A);  // no palette table in any mode
        const DisplayBitmap standard = BuildDisplayBitmap(picture);
        for (int32_t slot : {static_cast<int32_t>(kPaletteInternal), 2, 9}) {
            picture.paletteIndex = slot;
            EXPECT_EQ(BuildDisplayBitmap(picture).buffer, standard.buffer)
                << ScreenModeOf(c.mode).name << ", slot " << slot;
        }
    }
}

TEST(Screen6ExpandTable, ColourCodesFivePAndEveryByte) {
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
    Picture picture;
    DisplayBitmap bitmap;
    picture = MakePicture(kScreen6, 0x6A00);
    picture.data[0] = 0x1B;          // line 0, first byte
    picture.data[127] = 0x40;        // line 0, last byte
    picture.data[211 * 128] = 0xFF;  // line 211, first byte
    bitmap = BuildDisplayBitmap(picture);
    const uint8_t* rows = bitmap.Rows();
    EXPECT_EQ(rows[0], 0xFF);  // DIB row 0 = line 211
    EXPECT_EQ(rows[1], 0xFF);
    EXPECT_EQ(rows[2], 0x00);
    EXPECT_EQ(rows[211 * 256], 0x05);
    EXPECT_EQ(rows[211 * 256 + 1], 0xAF);
    EXPECT_EQ(rows[211 * 256 + 254], 0x50);
    EXPECT_EQ(rows[211 * 256 + 255], 0x00);
}

// Every byte value at every position of a 16-byte stretch: the rows are the table's entries.
TEST(BuildDisplayBitmap, Screen6RowsMatchTheTableForEveryByte) {
    Picture picture;
    DisplayBitmap bitmap;
    picture = MakePicture(kScreen6, 0x6A00);
    for (int32_t i = 0; i < 0x6A00; ++i) picture.data[i] = static_cast<uint8_t>(i + i / 256);
    bitmap = BuildDisplayBitmap(picture);
    uint16_t table[256];
    BuildScreen6ExpandTable(table);
    int wrong = 0;
    for (int32_t line = 0; line < 212; ++line) {
        const uint8_t* row = bitmap.Rows() + (211 - line) * 256;
        for (int32_t x = 0; x < 128; ++x) {
            const uint16_t entry = table[picture.data[128 * line + x]];
            wrong += row[2 * x] != (entry & 0xFF) || row[2 * x + 1] != entry >> 8;
        }
    }
    EXPECT_EQ(wrong, 0);
}

// The half-width colour of every DIB byte of SCREEN 7 against the per-channel rule, with a
// palette that puts different levels in every channel of every colour.
TEST(HalfWidthColorTable, EveryByteByThePerChannelRule) {
    Picture picture;
    DisplayBitmap bitmap;
    picture = MakePicture(kScreen7, 0x10000);
    uint8_t* table = picture.data.data() + kLargePaletteTable;
    for (int n = 0; n < 16; ++n) {
        table[2 * n] = static_cast<uint8_t>((n * 3 & 7) << 4 | (n * 5 & 7));
        table[2 * n + 1] = static_cast<uint8_t>(n * 7 & 7);
    }
    picture.paletteIndex = kPaletteInternal;
    bitmap = BuildDisplayBitmap(picture);
    const uint8_t* colours = bitmap.buffer.data() + 56;
    const uint8_t* half = bitmap.ViewInfo() + 40;
    for (int i = 0; i < 256; ++i) {
        for (int ch = 0; ch < 3; ++ch) {
            const int a = colours[4 * (i >> 4) + ch];
            const int b = colours[4 * (i & 15) + ch];
            const int s = (a & 0xF8) + (b & 0xF8);
            EXPECT_EQ(half[4 * i + ch], (s >> 1) + (s >> 6)) << "byte " << i << " channel " << ch;
        }
        EXPECT_EQ(half[4 * i + 3], 0);
    }
}

// Black and white averaged are grey 0x7F; every level-table value with itself is itself.
TEST(HalfWidthColorTable, BlackWithWhiteIsGreyAndEachLevelWithItself) {
    Picture picture;
    DisplayBitmap bitmap;
    picture = MakePicture(kScreen7, 0x10000);
    uint8_t* table = picture.data.data() + kLargePaletteTable;
    for (int n = 0; n < 8; ++n) {  // colours 0..7: grey levels 0..7
        table[2 * n] = static_cast<uint8_t>(n << 4 | n);
        table[2 * n + 1] = static_cast<uint8_t>(n);
    }
    table[30] = 0x77;  // colour 15 white
    table[31] = 0x07;
    picture.paletteIndex = kPaletteInternal;
    bitmap = BuildDisplayBitmap(picture);
    const uint8_t* half = bitmap.ViewInfo() + 40;
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
}

TEST(Screen8ColorTable, FixedGggrrrbbColours) {
    Picture picture;
    DisplayBitmap bitmap;
    picture = MakePicture(kScreen8, 0xD400);
    bitmap = BuildDisplayBitmap(picture);
    const uint8_t* t = bitmap.buffer.data() + 56;
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
}

// Pictures shorter than a screen in the 256-bytes-per-line modes: lines below the one holding
// the last image byte are zero rows; that line is taken whole, bytes past imageSize included.
TEST(BuildDisplayBitmap, ShortPicturesChooseTheirLines) {
    Picture picture;
    DisplayBitmap bitmap;
    for (int32_t mode : {kScreen7, kScreen8, kScreen10, kScreen12}) {
        SCOPED_TRACE(ScreenModeOf(mode).name);
        const uint32_t rowBytes = mode == kScreen7 || mode == kScreen8 ? 256 : 768;
        picture = MakePicture(mode, 100 * 256 + 1, 0x00);  // ends one byte into line 100: L = 100
        picture.data[100 * 256] = 0xF8;        // the last image byte
        picture.data[100 * 256 + 5] = 0xF8;    // past imageSize, still in line 100
        picture.data[101 * 256] = 0xF8;        // line 101: not shown
        bitmap = BuildDisplayBitmap(picture);
        const uint8_t* rows = bitmap.Rows();
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
}

// With imageSize 0 the 256-bytes-per-line modes show only zero rows and read no VRAM byte
// (every byte of the store is non-zero here, so a read would show).
TEST(BuildDisplayBitmap, EmptyPictureIsAllZeroRows) {
    Picture picture;
    DisplayBitmap bitmap;
    for (int32_t mode : {kScreen7, kScreen8, kScreen10, kScreen12}) {
        picture = MakePicture(mode, 0, 0xFF);
        bitmap = BuildDisplayBitmap(picture);
        const uint32_t bytes = bitmap.FileSize() - bitmap.PixelOffset();
        uint32_t nonZero = 0;
        for (uint32_t i = 0; i < bytes; ++i) nonZero += bitmap.Rows()[i] != 0;
        EXPECT_EQ(nonZero, 0u) << ScreenModeOf(mode).name;
    }
}

// SCREEN 5 and 6 read all 212 lines whatever the sizes say: the store always holds them.
TEST(BuildDisplayBitmap, Screen5And6ReadAllLines) {
    Picture picture;
    DisplayBitmap bitmap;
    for (int32_t mode : {kScreen5, kScreen6}) {
        picture = MakePicture(mode, 0);
        bitmap = BuildDisplayBitmap(picture);
        const uint32_t bytes = bitmap.FileSize() - bitmap.PixelOffset();
        uint32_t nonZero = 0;
        for (uint32_t i = 0; i < bytes; ++i) nonZero += bitmap.Rows()[i] != 0;
        EXPECT_EQ(nonZero, 0u) << ScreenModeOf(mode).name;  // all palette colour 0
        picture.data[211 * 128] = 0xC0;  // line 211 beyond dataSize 0
        bitmap = BuildDisplayBitmap(picture);
        EXPECT_EQ(bitmap.Rows()[0], mode == kScreen5 ? 0xC0 : 0xF0) << ScreenModeOf(mode).name;
    }
}

// The palette choice shows in SCREEN 5, 6, 7 only through the colour tables, and does not show
// at all in SCREEN 8 and 12: their file images are the same byte for byte.
TEST(BuildDisplayBitmap, PaletteDoesNotReachScreen8And12) {
    Picture picture;
    DisplayBitmap bitmap;
    for (int32_t mode : {kScreen8, kScreen12}) {
        picture = MakePicture(mode, 0x10000);
        for (int32_t i = 0; i < 0x10000; ++i) picture.data[i] = static_cast<uint8_t>(i * 37 >> 3);
        bitmap = BuildDisplayBitmap(picture);
        const uint32_t size = bitmap.FileSize();
        Bytes first(bitmap.FileImage(), bitmap.FileImage() + size);
        picture.paletteIndex = kPaletteInternal;  // the bytes at 0xFA80 make another palette
        bitmap = BuildDisplayBitmap(picture);
        EXPECT_EQ(Bytes(bitmap.FileImage(), bitmap.FileImage() + size), first)
            << ScreenModeOf(mode).name;
    }
}

}  // namespace
