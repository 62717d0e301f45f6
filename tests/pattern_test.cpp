// The MSX1 pattern modes (SCREEN 1-4): made-up tables against pixels worked out by hand, the
// real SCREEN 2 pictures against a decoding written here from the TMS9918's description (one
// pixel at a time, where the product decodes a pattern byte at a time), mode detection, the
// palette table and saving.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "image/bsave.h"
#include "palette/palette.h"
#include "render/display.h"
#include "render/pattern.h"
#include "render/view.h"
#include "test_support.h"

namespace {

// An "F" whose every row differs from its mirror image and from the rows beside it: a glyph
// drawn upside down, mirrored or shifted shows up at once.
constexpr uint8_t kGlyph[8] = {0xFE, 0x80, 0x80, 0xF8, 0x80, 0x80, 0x80, 0x01};

// The colour code the bitmap shows at (x, y), read through the display bitmap's headers.
int32_t CodeAt(const DisplayBitmap& bitmap, int32_t x, int32_t y) {
    const uint8_t* row = bitmap.Rows() + static_cast<size_t>(bitmap.Height() - 1 - y) * 128;
    return (x & 1) != 0 ? row[x >> 1] & 15 : row[x >> 1] >> 4;
}

// A SCREEN 2 store: names counting up in each third (what BASIC's SCREEN 2 leaves), every
// pattern the glyph, pattern n's colour byte n in every third: foreground n >> 4, background
// n & 15, so the 256 names show every colour pair.
Picture MakeScreen2(ScreenMode mode) {
    Picture picture;
    uint8_t* vram = AllocateVram(&picture, 0x3800);
    for (int32_t i = 0; i < 768; ++i) vram[0x1800 + i] = static_cast<uint8_t>(i);
    for (int32_t third = 0; third < 3; ++third) {
        for (int32_t n = 0; n < 256; ++n) {
            for (int32_t line = 0; line < 8; ++line) {
                vram[0x800 * third + 8 * n + line] = kGlyph[line];
                vram[0x2000 + 0x800 * third + 8 * n + line] = static_cast<uint8_t>(n);
            }
        }
    }
    picture.screenMode = mode;
    return picture;
}

TEST(PatternModes, Screen2ShowsEveryColourPairInItsCell) {
    for (ScreenMode mode : {kScreen2, kScreen4}) {
        SCOPED_TRACE(ScreenModeOf(mode).name);
        const DisplayBitmap bitmap = BuildDisplayBitmap(MakeScreen2(mode));
        ASSERT_EQ(bitmap.Width(), 256);
        ASSERT_EQ(bitmap.Height(), 192);
        int32_t wrong = 0;
        for (int32_t y = 0; y < 192; ++y) {
            for (int32_t x = 0; x < 256; ++x) {
                const int32_t name = (y / 8 * 32 + x / 8) & 255;
                const bool set = (kGlyph[y % 8] >> (7 - x % 8) & 1) != 0;
                wrong += CodeAt(bitmap, x, y) != (set ? name >> 4 : name & 15);
            }
        }
        EXPECT_EQ(wrong, 0);
        // By hand: name 0x21 (row 1, column 1) is foreground 2 on background 1; its top line
        // FE sets x = 8..14, clears x = 15; its last line 01 sets x = 15 only.
        EXPECT_EQ(CodeAt(bitmap, 8, 8), 2);
        EXPECT_EQ(CodeAt(bitmap, 15, 8), 1);
        EXPECT_EQ(CodeAt(bitmap, 14, 15), 1);
        EXPECT_EQ(CodeAt(bitmap, 15, 15), 2);
    }
}

TEST(PatternModes, Screen2ThirdsHaveTheirOwnTables) {
    Picture picture = MakeScreen2(kScreen2);
    // Pattern 0 of the lowest third only: a solid block in colour 7 on 4.
    for (int32_t line = 0; line < 8; ++line) {
        picture.data[0x1000 + line] = 0xFF;
        picture.data[0x3000 + line] = 0x74;
    }
    const DisplayBitmap bitmap = BuildDisplayBitmap(picture);
    EXPECT_EQ(CodeAt(bitmap, 3, 128 + 3), 7);  // name 0 at the top of the lowest third
    EXPECT_EQ(CodeAt(bitmap, 0, 0), 0);        // name 0 of the top third: the glyph, pair 0/0
    EXPECT_EQ(CodeAt(bitmap, 7, 64), 0);       // the middle third is untouched
}

TEST(PatternModes, Screen1ColoursComeInGroupsOfEightPatterns) {
    Picture picture;
    uint8_t* vram = AllocateVram(&picture, 0x2040);
    for (int32_t i = 0; i < 768; ++i) vram[0x1800 + i] = static_cast<uint8_t>(i);
    for (int32_t n = 0; n < 256; ++n) std::memcpy(vram + 8 * n, kGlyph, 8);
    for (int32_t group = 0; group < 32; ++group) vram[0x2000 + group] = static_cast<uint8_t>(group * 8 + 1);
    picture.screenMode = kScreen1;
    const DisplayBitmap bitmap = BuildDisplayBitmap(picture);
    int32_t wrong = 0;
    for (int32_t y = 0; y < 192; ++y) {
        for (int32_t x = 0; x < 256; ++x) {
            const int32_t name = (y / 8 * 32 + x / 8) & 255;
            const uint8_t colours = static_cast<uint8_t>(name / 8 * 8 + 1);
            const bool set = (kGlyph[y % 8] >> (7 - x % 8) & 1) != 0;
            wrong += CodeAt(bitmap, x, y) != (set ? colours >> 4 : colours & 15);
        }
    }
    EXPECT_EQ(wrong, 0);
    // Names 8-15 (x = 64..127 of the top row) share colour byte 1: 0x09, foreground 0, back 9.
    EXPECT_EQ(CodeAt(bitmap, 64 + 7, 1), 9);
    EXPECT_EQ(CodeAt(bitmap, 64, 0), 0);
}

TEST(PatternModes, MulticolorBlocksFollowTheRowOfTheCell) {
    Picture picture;
    uint8_t* vram = AllocateVram(&picture, 0x0B00);
    // Name n in every cell of cell row r; pattern n's bytes 2k, 2k + 1 hold four distinct
    // colours, so each 4x4 block says which byte and nibble it came from.
    for (int32_t i = 0; i < 768; ++i) vram[0x0800 + i] = static_cast<uint8_t>(i % 32 + 32 * (i / 32 % 4));
    for (int32_t n = 0; n < 128; ++n) {
        for (int32_t b = 0; b < 8; ++b) vram[8 * n + b] = static_cast<uint8_t>((b * 2 % 16) << 4 | (b * 2 + 1) % 16);
    }
    picture.screenMode = kScreen3;
    const DisplayBitmap bitmap = BuildDisplayBitmap(picture);
    int32_t wrong = 0;
    for (int32_t y = 0; y < 192; ++y) {
        for (int32_t x = 0; x < 256; ++x) {
            const int32_t b = 2 * (y / 8 % 4) + (y / 4 % 2);  // the byte of the cell row's pair
            const int32_t code = x % 8 < 4 ? b * 2 % 16 : (b * 2 + 1) % 16;
            wrong += CodeAt(bitmap, x, y) != code;
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(CodeAt(bitmap, 4, 4), 3);    // cell row 0, lower half: byte 1 = 0x23, right block
    EXPECT_EQ(CodeAt(bitmap, 0, 8 + 4), 6);  // cell row 1, lower half: byte 3 = 0x67
}

// The MSX2 shows the pattern modes through its palette; --colors hardware the TMS9918's own
// colours, which are worked out here again from the data manual's levels.
TEST(PatternModes, ColoursOfAnMsx2AndOfAnMsx1) {
    const Picture picture = MakeScreen2(kScreen2);
    const DisplayBitmap msx2 = BuildDisplayBitmap(picture, kViewerColours);
    uint8_t standard[64];
    PaletteToRgbQuads(kStandardPalette, standard);
    EXPECT_EQ(0, std::memcmp(msx2.FileInfo() + 40, standard, 64));
    const DisplayBitmap msx1 = BuildDisplayBitmap(picture, kHardwareColours);
    const double levels[16][3] = {  // Y, R-Y, B-Y
        {0, .47, .47},   {0, .47, .47},    {.53, .07, .20},  {.67, .17, .27},
        {.40, .40, 1.0}, {.53, .43, .93},  {.47, .83, .30},  {.73, 0, .70},
        {.53, .93, .27}, {.67, .93, .27},  {.73, .57, .07},  {.80, .57, .17},
        {.47, .13, .23}, {.53, .73, .67},  {.80, .47, .47},  {1, .47, .47}};
    for (int32_t c = 0; c < 16; ++c) {
        const double y = levels[c][0];
        const double r = y + 1.402 * (levels[c][1] - 0.47) / 2;
        const double b = y + 1.772 * (levels[c][2] - 0.47) / 2;
        const double g = (y - 0.299 * r - 0.114 * b) / 0.587;
        const double rgb[3] = {r, g, b};
        const uint8_t* quad = msx1.FileInfo() + 40 + 4 * c;
        for (int32_t k = 0; k < 3; ++k) {
            const double want = std::fmin(255, std::fmax(0, std::round(rgb[k] * 255)));
            EXPECT_EQ(quad[2 - k], static_cast<uint8_t>(want)) << "colour " << c << " channel " << k;
        }
    }
}

TEST(PatternModes, ViewsAre192LinesHigh) {
    const DisplayBitmap bitmap = BuildDisplayBitmap(MakeScreen2(kScreen2));
    EXPECT_EQ(bitmap.FileSize(), 118u + 192 * 128);
    EXPECT_EQ(ViewHeight(bitmap, kViewFull), 192);
    EXPECT_EQ(ViewHeight(bitmap, kViewSmall), 192);
    EXPECT_EQ(ViewHeight(bitmap, kViewLarge), 384);
    std::vector<uint8_t> rgb(512 * 384 * 3);
    RenderView(bitmap, kViewLarge, rgb.data());
    // Pixel (8, 8) of the picture, foreground 2 of name 0x21: at (16..17, 16..17) doubled.
    uint8_t quads[64];
    PaletteToRgbQuads(kStandardPalette, quads);
    for (int32_t d : {0, 1}) {
        const uint8_t* p = rgb.data() + 3 * ((16 + d) * 512 + 16 + d);
        EXPECT_EQ(p[0], quads[4 * 2 + 2]);
        EXPECT_EQ(p[1], quads[4 * 2 + 1]);
        EXPECT_EQ(p[2], quads[4 * 2]);
    }
}

struct DetectionCase {
    const char* name;
    Bytes file;
    ScreenMode viewer;     // the viewer's six modes
    ScreenMode converter;  // vramoria-convert's ten
};

TEST(PatternModes, ModeByExtensionAndByTheTablesRange) {
    const Bytes tables(0x3800, 0x11);
    const DetectionCase cases[] = {
        {"a.sc2", PlainBsave(0, 0x37FF, tables), kScreen5, kScreen2},
        {"A.SC2", PlainBsave(0, 0x37FF, tables), kScreen5, kScreen2},
        {"a.grp", PlainBsave(0, 0x37FF, tables), kScreen5, kScreen2},
        {"a.s02", PlainBsave(0, 0x37FF, tables), kScreen5, kScreen2},
        {"a.sc4", PlainBsave(0, 0x37FF, tables), kScreen5, kScreen4},
        {"a.S04", PlainBsave(0, 0x37FF, tables), kScreen5, kScreen4},
        {"a.sc1", PlainBsave(0, 0x37FF, tables), kScreen5, kScreen1},
        {"a.sc3", PlainBsave(0, 0x37FF, tables), kScreen5, kScreen3},
        {"a.bin", PlainBsave(0, 0x37FF, tables), kScreen5, kScreen2},
        {"a.bin", PlainBsave(0, 0x3FFF, Bytes(0x4000)), kScreen5, kScreen2},
        {"a.bin", PlainBsave(0, 0x203F, Bytes(0x2040)), kScreen5, kScreen1},
        {"a.bin", PlainBsave(0, 0x0AFF, Bytes(0x0B00)), kScreen5, kScreen3},
        // Ranges that are not a pattern mode's tables keep the size rule.
        {"a.bin", PlainBsave(0, 0x37FE, Bytes(0x37FF)), kScreen5, kScreen5},
        {"a.bin", PlainBsave(0x1800, 0x37FF, Bytes(0x2000)), kScreen5, kScreen5},
        {"a.bin", PlainBsave(0, 0x769F, Bytes(0x76A0)), kScreen5, kScreen5},
        // An extension that names a bitmap mode wins over the range.
        {"a.sc5", PlainBsave(0, 0x37FF, tables), kScreen5, kScreen5},
        {"a.s12", PlainBsave(0, 0x3FFF, Bytes(0x4000)), kScreen12, kScreen12},
    };
    for (const DetectionCase& c : cases) {
        SCOPED_TRACE(c.name);
        Picture viewer;
        Picture converter;
        ASSERT_EQ(LoadScreenFileBytes(c.name, c.file.data(), c.file.size(), &viewer), kLoadOk);
        ASSERT_EQ(LoadScreenFileBytes(c.name, c.file.data(), c.file.size(), &converter, nullptr, kAllModes),
                  kLoadOk);
        EXPECT_EQ(viewer.screenMode, c.viewer);
        EXPECT_EQ(converter.screenMode, c.converter);
    }
}

// The palette table at 0x1B80 (SCREEN 2/4) or 0x2020 (SCREEN 1/3) is MSX2 BASIC's; an MSX1's
// files hold zeros or sprite data there.
TEST(PatternModes, PaletteTableOnlyWhereItIsOne) {
    struct Case {
        const char* what;
        Bytes table;
        int32_t slot;
    };
    Bytes wellFormed(32);
    for (int32_t n = 0; n < 16; ++n) {
        wellFormed[2 * n] = static_cast<uint8_t>((n & 7) << 4 | (7 - (n & 7)));
        wellFormed[2 * n + 1] = static_cast<uint8_t>(n >> 1);
    }
    Bytes strayBit = wellFormed;
    strayBit[9] |= 0x08;  // word 4's green byte with bit 3 set: no palette word has it
    Bytes redBit7 = wellFormed;
    redBit7[30] |= 0x80;
    const Case cases[] = {
        {"sixteen zero words", Bytes(32, 0), kPaletteStandard},
        {"sixteen equal words", Bytes(32, 0x33), kPaletteStandard},
        {"a palette", wellFormed, kPaletteInternal},
        {"a green byte above 7", strayBit, kPaletteStandard},
        {"bit 7 of a red-blue byte", redBit7, kPaletteStandard},
    };
    for (const Case& c : cases) {
        for (ScreenMode mode : {kScreen1, kScreen2}) {
            SCOPED_TRACE(std::string(c.what) + " in " + ScreenModeOf(mode).name);
            Bytes body(0x3800, 0);
            std::copy(c.table.begin(), c.table.end(), body.begin() + PaletteTableAddress(mode));
            const Bytes file = PlainBsave(0, 0x37FF, body);
            Picture picture;
            const char* name = mode == kScreen1 ? "p.sc1" : "p.sc2";
            ASSERT_EQ(LoadScreenFileBytes(name, file.data(), file.size(), &picture, nullptr, kAllModes),
                      kLoadOk);
            EXPECT_EQ(picture.paletteIndex, c.slot);
            EXPECT_TRUE(SelectPaletteSlot(&picture, kPaletteInternal));  // still selectable
        }
    }
}

TEST(PatternModes, SavingWritesTheTablesWithThePalette) {
    for (ScreenMode mode : {kScreen1, kScreen2, kScreen3, kScreen4}) {
        SCOPED_TRACE(ScreenModeOf(mode).name);
        Picture picture = MakeScreen2(mode);
        for (int32_t a = 0; a < 0x3800; ++a) picture.data[a] = static_cast<uint8_t>(a * 13 + (a >> 8));
        const int32_t size = BsaveFileSize(mode);
        const int32_t end = mode == kScreen2 || mode == kScreen4 ? 0x37FF : 0x203F;
        ASSERT_EQ(size, end + 1 + 7);
        Bytes file(static_cast<size_t>(size));
        ASSERT_EQ(BuildBsaveImage(picture, file.data()), size);
        EXPECT_EQ(Bytes(file.begin(), file.begin() + 7),
                  (Bytes{0xFE, 0, 0, static_cast<uint8_t>(end & 255), static_cast<uint8_t>(end >> 8), 0, 0}));
        const int32_t table = PaletteTableAddress(mode);
        for (int32_t a = 0; a <= end; ++a) {
            const uint8_t want = a >= table && a < table + 32 ? kStandardPalette.bytes[a - table] : picture.data[a];
            ASSERT_EQ(file[7 + a], want) << "address " << a;
        }
        // And it opens again as the same screen.
        Picture again;
        const std::string name = std::string("x.") + ScreenModeOf(mode).saveExtension;
        ASSERT_EQ(LoadScreenFileBytes(name.c_str(), file.data(), file.size(), &again, nullptr, kAllModes), kLoadOk);
        EXPECT_EQ(again.screenMode, mode);
        const DisplayBitmap before = BuildDisplayBitmap(picture);
        const DisplayBitmap after = BuildDisplayBitmap(again);
        EXPECT_EQ(0, std::memcmp(before.Rows(), after.Rows(), 192 * 128));
    }
}

// The real SCREEN 2 pictures, decoded here one pixel at a time: the name of the pixel's cell,
// that name's pattern byte and colour byte in the cell's third, the bit of the pixel.
TEST(PatternModes, RealScreen2PicturesAsTheTms9918ReadsThem) {
    const std::string dir = SharedPictures();
    if (dir.empty()) GTEST_SKIP() << "../shared/pictures is absent: real pictures not tested";
    int32_t pictures = 0;
    for (const char* name : {"msxgl_IMAGE01.sc2", "msxgl_IMAGE03.sc2", "msxgl_IMAGE04.sc2",
                             "msxgl_IMAGE06.sc2", "msxgl_PALETTE.sc2"}) {
        const std::string path = dir + "/" + name;
        if (!FileExists(path)) continue;
        SCOPED_TRACE(name);
        const Bytes file = ReadBytes(path);
        Picture picture;
        ASSERT_TRUE(LoadAsConverter(path, &picture));
        ASSERT_EQ(picture.screenMode, kScreen2);
        const DisplayBitmap bitmap = BuildDisplayBitmap(picture);
        const uint8_t* vram = file.data() + 7;
        int32_t wrong = 0;
        int32_t colours = 0;
        uint32_t seen = 0;
        for (int32_t y = 0; y < 192; ++y) {
            for (int32_t x = 0; x < 256; ++x) {
                const int32_t cell = y / 8 * 32 + x / 8;
                const int32_t offset = (y / 64) * 2048 + vram[0x1800 + cell] * 8 + y % 8;
                const int32_t bit = vram[offset] >> (7 - x % 8) & 1;
                const int32_t code = bit != 0 ? vram[0x2000 + offset] >> 4 : vram[0x2000 + offset] & 15;
                wrong += CodeAt(bitmap, x, y) != code;
                seen |= 1u << code;
            }
        }
        for (int32_t c = 0; c < 16; ++c) colours += (seen >> c) & 1;
        EXPECT_EQ(wrong, 0);
        EXPECT_GE(colours, 2) << "a picture, not a blank screen";
        ++pictures;
    }
    if (pictures == 0) GTEST_SKIP() << "no SCREEN 2 pictures among the shared pictures";
}

}  // namespace
