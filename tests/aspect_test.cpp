// The pixel aspect a picture declares and the fitting in its true shape: PNG's pHYs and a BMP's
// pixels per metre read from files made here byte by byte, the shapes the fitting snaps to,
// where a picture of pixels that are not square lands with contain, cover and stretch. (Our own
// 512-wide PNG and BMP imported into SCREEN 5: tests/cli_import_test.sh.)
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "codec/bmp_write.h"
#include "codec/image.h"
#include "codec/png_write.h"
#include "import/import.h"
#include "platform/image_read.h"
#include "render/indexed_view.h"
#include "tests/test_support.h"

namespace {

void Put32Be(Bytes* b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b->push_back(static_cast<uint8_t>(v >> s));
}

void Put32Be(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// A chunk: length, type, data, then the CRC over type and data (zlib's, not ours).
Bytes Chunk(const char* type, const Bytes& data, bool damaged = false) {
    Bytes c(12 + data.size());
    Put32Be(&c[0], static_cast<uint32_t>(data.size()));
    std::memcpy(&c[4], type, 4);
    std::copy(data.begin(), data.end(), c.begin() + 8);
    const uint32_t crc = static_cast<uint32_t>(crc32(0, &c[4], static_cast<uInt>(4 + data.size())));
    Put32Be(&c[8 + data.size()], damaged ? crc ^ 1 : crc);
    return c;
}

Bytes Phys(uint32_t x, uint32_t y, uint8_t unit, bool damaged = false) {
    Bytes data;
    Put32Be(&data, x);
    Put32Be(&data, y);
    data.push_back(unit);
    return Chunk("pHYs", data, damaged);
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A 2 x 1 RGB PNG from our encoder (which writes no pHYs for it) with chunks spliced in after
// IHDR (8 + 25 bytes) and before IEND (the last 12).
Bytes PngWith(const Bytes& afterIhdr, const Bytes& beforeIend = {}) {
    const uint8_t rgb[6] = {10, 20, 30, 40, 50, 60};
    Bytes png;
    EXPECT_TRUE(EncodePngRgb(rgb, 2, 1, &png));
    const Bytes head(png.begin(), png.begin() + 33);
    const Bytes body(png.begin() + 33, png.end() - 12);
    const Bytes iend(png.end() - 12, png.end());
    return head + afterIhdr + body + beforeIend + iend;
}

struct PhysCase {
    const char* what;
    Bytes afterIhdr, beforeIend;
    double aspect;
};

TEST(PixelAspect, PngPhysChunk) {
    // 18000 and 9000 pixels per metre, unit 1: the bytes our full view of SCREEN 6 and 7 writes.
    const Bytes ours = Chunk("pHYs", {0x00, 0x00, 0x46, 0x50, 0x00, 0x00, 0x23, 0x28, 0x01});
    const PhysCase cases[] = {
        {"no pHYs: square", {}, {}, 1.0},
        {"18000 x 9000 per metre: half as wide", ours, {}, 0.5},
        {"9000 x 18000: twice as wide", Phys(9000, 18000, 1), {}, 2.0},
        {"unit 0 (unknown) still gives the aspect", Phys(2, 1, 0), {}, 0.5},
        {"72 dots an inch both ways", Phys(2835, 2835, 1), {}, 1.0},
        {"our BMP's 8000 x 9000, as declared", Phys(8000, 9000, 1), {}, 1.125},
        {"an unknown unit counts as none", Phys(18000, 9000, 2), {}, 1.0},
        {"zero across", Phys(0, 9000, 1), {}, 1.0},
        {"8:1 is the limit", Phys(1, 8, 0), {}, 8.0},
        {"9:1 is absurd", Phys(1, 9, 0), {}, 1.0},
        {"1:9 is absurd", Phys(9000, 1000, 1), {}, 1.0},
        {"past 2^31 - 1", Phys(0x80000000u, 0x40000000u, 0), {}, 1.0},
        {"after IDAT: ignored", {}, Phys(18000, 9000, 1), 1.0},
        {"a bad CRC: skipped", Phys(18000, 9000, 1, true), {}, 1.0},
        {"a bad CRC, then a whole one", Phys(9000, 18000, 1, true) + ours, {}, 0.5},
        {"eight bytes long: skipped", Chunk("pHYs", {0, 0, 0x46, 0x50, 0, 0, 0x23, 0x28}), {}, 1.0},
        {"two: the first counts", ours + Phys(9000, 18000, 1), {}, 0.5},
    };
    for (const PhysCase& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes png = PngWith(c.afterIhdr, c.beforeIend);
        EXPECT_DOUBLE_EQ(PngPixelAspect(png.data(), png.size()), c.aspect);
        // The platform's decoder (libpng, or the Windows Imaging Component) takes every one of
        // these files, and the image carries the same aspect.
        RgbImage image;
        std::string error;
        ASSERT_TRUE(DecodeImage(png.data(), png.size(), &image, &error)) << error;
        EXPECT_EQ(image.width, 2);
        EXPECT_DOUBLE_EQ(image.pixelAspect, c.aspect);
    }
}

// Every prefix of a file, each in a buffer of exactly its size (so that AddressSanitizer sees a
// read past it): the aspect only once the whole pHYs chunk is there, else square.
TEST(PixelAspect, PngPhysOfCutFilesReadsNothingPastTheEnd) {
    const Bytes png = PngWith(Phys(18000, 9000, 1));
    const size_t physEnd = 33 + 21;
    for (size_t n = 0; n <= png.size(); ++n) {
        const Bytes cut(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_DOUBLE_EQ(PngPixelAspect(cut.data(), cut.size()), n >= physEnd ? 0.5 : 1.0) << n;
    }
    const Bytes bmp = {'B', 'M', 0, 0};
    EXPECT_DOUBLE_EQ(PngPixelAspect(bmp.data(), bmp.size()), 1.0);
}

void Put32Le(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

struct BmpCase {
    const char* what;
    int32_t perMetreX, perMetreY;  // biXPelsPerMeter and biYPelsPerMeter: bytes 38 and 42
    double aspect;
};

TEST(PixelAspect, BmpPixelsPerMetre) {
    const BmpCase cases[] = {
        {"ours, 256 wide: 8000 x 9000, as declared", 8000, 9000, 1.125},
        {"ours, 512 wide: 16000 x 9000", 16000, 9000, 0.5625},
        {"72 dots an inch", 2835, 2835, 1.0},
        {"none given", 0, 0, 1.0},
        {"negative across", -8000, 9000, 1.0},
        {"8:1 is the limit", 1000, 8000, 8.0},
        {"9:1 is absurd", 1000, 9000, 1.0},
    };
    const uint8_t rgb[6] = {10, 20, 30, 40, 50, 60};
    Bytes bmp;
    EncodeBmpRgb(rgb, 2, 1, &bmp);
    for (const BmpCase& c : cases) {
        SCOPED_TRACE(c.what);
        Put32Le(&bmp[38], static_cast<uint32_t>(c.perMetreX));
        Put32Le(&bmp[42], static_cast<uint32_t>(c.perMetreY));
        RgbImage image;
        std::string error;
        ASSERT_TRUE(DecodeImage(bmp.data(), bmp.size(), &image, &error)) << error;
        EXPECT_EQ(image.rgb, (Bytes{10, 20, 30, 40, 50, 60}));
        EXPECT_DOUBLE_EQ(image.pixelAspect, c.aspect);
    }
}

TEST(PixelAspect, FittedShapes) {
    const struct {
        double declared, fitted;
    } cases[] = {
        {1.0, 1.0},       {1.125, 1.0},  {8.0 / 9, 1.0},  {1.13, 1.13},   {0.88, 0.88},
        {0.5, 0.5},       {0.5625, 0.5}, {0.45, 0.5},     {0.57, 0.57},   {0.44, 0.44},
        {2.0, 2.0},       {0.25, 0.25},  {8.0, 8.0},      {0.125, 0.125}, {8.01, 1.0},
        {0.124, 1.0},     {0.0, 1.0},    {-0.5, 1.0},     {std::numeric_limits<double>::quiet_NaN(), 1.0},
        {std::numeric_limits<double>::infinity(), 1.0},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(FittedPixelAspect(c.declared), c.fitted) << c.declared;
    // Our own files' declarations, through the readers' rule: the two MSX pixels exactly.
    EXPECT_DOUBLE_EQ(FittedPixelAspect(PixelAspectOf(kPhysHalfWidthX, kPhysHalfWidthY)), 0.5);
    EXPECT_DOUBLE_EQ(FittedPixelAspect(PixelAspectOf(8000, 9000)), 1.0);
    EXPECT_DOUBLE_EQ(FittedPixelAspect(PixelAspectOf(16000, 9000)), 0.5);
}

// Where a white picture lands: white inside the rectangle, black outside.
struct PlaceCase {
    const char* what;
    int32_t width, height, outWidth;
    FitMode fit;
    double aspect;
    int32_t left, top, right, bottom;
};

TEST(PixelAspect, PicturesLandInTheirTrueShape) {
    const PlaceCase cases[] = {
        {"512 x 212 half-width into 256: the whole screen", 512, 212, 256, kFitContain, 0.5, 0, 0, 256, 212},
        {"the same as square pixels: bars", 512, 212, 256, kFitContain, 1.0, 0, 53, 256, 159},
        {"our 512-wide BMP's 9:16 into 256", 512, 212, 256, kFitContain, 0.5625, 0, 0, 256, 212},
        {"our 256-wide BMP's 9:8 into 512: each pixel twice", 256, 212, 512, kFitContain, 1.125, 0, 0, 512, 212},
        // 128 x 212 units: 256 pixels of half a unit in the middle.
        {"256 x 212 half-width into 512", 256, 212, 512, kFitContain, 0.5, 128, 0, 384, 212},
        // 400 x 100 units scaled by 0.64: 256 x 64, 74 lines above.
        {"200 x 100 twice as wide", 200, 100, 256, kFitContain, 2.0, 0, 74, 256, 138},
        // 25 x 100 units scaled by 2.12: 53 x 212, 101 columns left.
        {"100 x 100 a quarter as wide", 100, 100, 256, kFitContain, 0.25, 101, 0, 154, 212},
        {"cover fills the screen", 100, 100, 256, kFitCover, 0.25, 0, 0, 256, 212},
        {"stretch takes no aspect", 512, 212, 256, kFitStretch, 0.25, 0, 0, 256, 212},
        {"an absurd aspect counts as square", 512, 212, 256, kFitContain, 20.0, 0, 53, 256, 159},
    };
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes rgb(static_cast<size_t>(c.width) * c.height * 3, 0xFF);
        const Bytes out = FitImage(rgb.data(), c.width, c.height, c.outWidth, c.fit, c.aspect);
        ASSERT_EQ(out.size(), static_cast<size_t>(c.outWidth) * 212 * 3);
        for (int32_t y = 0; y < 212; ++y) {
            for (int32_t x = 0; x < c.outWidth; ++x) {
                const bool inside = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
                ASSERT_EQ(out[(static_cast<size_t>(y) * c.outWidth + x) * 3], inside ? 0xFF : 0x00) << x << "," << y;
            }
        }
    }
}

double ToLinear(int v) {
    const double c = v / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

int ToSrgb(double v) {
    const double c = v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
    return static_cast<int>(std::lround(c * 255));
}

// 512 x 212 pixels half as wide as high into 256 x 212: no borders, and each pixel the mean in
// linear light of the two source pixels side by side under it (the sRGB curve worked out here).
TEST(PixelAspect, HalfWidthPixelsAverageInPairs) {
    Bytes rgb(512u * 212 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>((i * 37 + i / 1536 * 11) % 251);
    const Bytes out = FitImage(rgb.data(), 512, 212, 256, kFitContain, 0.5);
    int worst = 0;
    for (int32_t y = 0; y < 212; ++y) {
        for (int32_t x = 0; x < 256; ++x) {
            for (int c = 0; c < 3; ++c) {
                const uint8_t* pair = &rgb[(static_cast<size_t>(y) * 512 + 2 * x) * 3 + c];
                const int want = ToSrgb((ToLinear(pair[0]) + ToLinear(pair[3])) / 2);
                worst = std::max(worst, std::abs(out[(static_cast<size_t>(y) * 256 + x) * 3 + c] - want));
            }
        }
    }
    EXPECT_LE(worst, 1);  // the importer's float arithmetic rounds a value at .5 either way
}

// Cover on pixels twice as wide: 200 x 100 is 400 x 100 units, scaled by 2.12 to 848 x 212;
// the middle 256 columns show source columns 69 (r = 296: (296.5) * 200 / 848 = 69.9) to 130
// ((551.5) * 200 / 848 = 130.07). As square pixels it would be 424 wide: columns 39 to 160.
TEST(PixelAspect, CoverCutsTheTrueShape) {
    Bytes rgb(200u * 100 * 3);
    for (int32_t y = 0; y < 100; ++y) {
        for (int32_t x = 0; x < 200; ++x) {
            uint8_t* p = &rgb[(static_cast<size_t>(y) * 200 + x) * 3];
            p[0] = static_cast<uint8_t>(x);
            p[1] = 255;
            p[2] = static_cast<uint8_t>(y);
        }
    }
    const struct {
        double aspect;
        int first, last;
    } cases[] = {{2.0, 69, 130}, {1.0, 39, 160}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.aspect);
        const Bytes out = FitImage(rgb.data(), 200, 100, 256, kFitCover, c.aspect);
        for (int32_t y = 0; y < 212; ++y) {
            const uint8_t* row = &out[static_cast<size_t>(y) * 256 * 3];
            ASSERT_EQ(row[1], 255);  // no border line
            ASSERT_EQ(row[0], c.first);
            ASSERT_EQ(row[255 * 3], c.last);
            ASSERT_EQ(row[2], (200 * y + 100) / 424);  // the nearest line, by its centre
        }
    }
}

}  // namespace
