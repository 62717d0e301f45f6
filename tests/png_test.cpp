// PNG output: the palette (or RGB) image of every mode and view, encoded and decoded again,
// shows exactly RenderView's pixels; bit depth, colour type and pHYs per mode and view; the
// colour counting of 24-bit pictures at its 256-colour edge.
//
// Decoding uses the platform's other half: libpng's reader natively, WIC's decoder on Windows.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codec/png_write.h"
#include "image/bsave.h"
#include "image/picture.h"
#include "palette/palette.h"
#include "render/display.h"
#include "render/indexed_view.h"
#include "render/view.h"
#include "tests/test_support.h"

#ifdef _WIN32
#include <objbase.h>
#include <wincodec.h>
#include <windows.h>

#include "platform/win32_com.h"
#else
#include <png.h>
#endif

namespace {

#ifdef _WIN32
// PNG bytes to 8-bit RGB pixels, top line first; false when WIC cannot read them.
bool DecodeToRgb(const Bytes& png, int32_t* width, int32_t* height, Bytes* rgb) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Released<IWICImagingFactory> factory;
    Released<IWICStream> stream;
    Released<IWICBitmapDecoder> decoder;
    Released<IWICBitmapFrameDecode> frame;
    Released<IWICBitmapSource> bgr;
    UINT w = 0, h = 0;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(&factory.p))) ||
        FAILED(factory.p->CreateStream(&stream.p)) ||
        FAILED(stream.p->InitializeFromMemory(const_cast<BYTE*>(png.data()),
                                              static_cast<DWORD>(png.size()))) ||
        FAILED(factory.p->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnLoad,
                                                  &decoder.p)) ||
        FAILED(decoder.p->GetFrame(0, &frame.p)) ||
        FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGR, frame.p, &bgr.p)) ||
        FAILED(bgr.p->GetSize(&w, &h))) {
        return false;
    }
    // 32-bit pixels (blue, green, red, unused): Wine converts palette pixels to these, not to
    // 24-bit ones.
    Bytes pixels(static_cast<size_t>(w) * h * 4);
    if (FAILED(bgr.p->CopyPixels(nullptr, w * 4, static_cast<UINT>(pixels.size()), pixels.data()))) {
        return false;
    }
    rgb->resize(static_cast<size_t>(w) * h * 3);
    for (size_t i = 0, o = 0; i < pixels.size(); i += 4, o += 3) {
        (*rgb)[o] = pixels[i + 2];
        (*rgb)[o + 1] = pixels[i + 1];
        (*rgb)[o + 2] = pixels[i];
    }
    *width = static_cast<int32_t>(w);
    *height = static_cast<int32_t>(h);
    return true;
}
#else
bool DecodeToRgb(const Bytes& png, int32_t* width, int32_t* height, Bytes* rgb) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return false;
    image.format = PNG_FORMAT_RGB;
    rgb->assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, rgb->data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    *width = static_cast<int32_t>(image.width);
    *height = static_cast<int32_t>(image.height);
    return true;
}
#endif

uint32_t Get32BigEndian(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

// What the chunks say, read from the bytes (independent of either encoder's own view).
struct PngFacts {
    int depth = -1, colourType = -1;
    uint32_t paletteEntries = 0;
    bool phys = false;
    uint32_t physX = 0, physY = 0;
    int physUnit = -1;
};

PngFacts ReadFacts(const Bytes& png) {
    PngFacts f;
    for (size_t at = 8; at + 12 <= png.size();) {
        const uint32_t length = Get32BigEndian(&png[at]);
        const std::string type(reinterpret_cast<const char*>(&png[at + 4]), 4);
        const uint8_t* body = &png[at + 8];
        if (type == "IHDR") {
            f.depth = body[8];
            f.colourType = body[9];
        } else if (type == "PLTE") {
            f.paletteEntries = length / 3;
        } else if (type == "pHYs") {
            f.phys = true;
            f.physX = Get32BigEndian(body);
            f.physY = Get32BigEndian(body + 4);
            f.physUnit = body[8];
        }
        at += 12 + length;
    }
    return f;
}

// The display bitmap's headers, as the CLI hands them over.
bool BuildCurrentView(const DisplayBitmap& bitmap, ViewSize view, PngImage* image) {
    const uint8_t* info = view == kViewSmall ? bitmap.ViewInfo() : bitmap.FileInfo();
    return BuildIndexedView(info, bitmap.Rows(), view, image);
}

Bytes RenderRgb(const DisplayBitmap& bitmap, ViewSize view) {
    Bytes rgb(static_cast<size_t>(ViewWidth(bitmap, view)) * ViewHeight(bitmap, view) * 3);
    RenderView(bitmap, view, rgb.data());
    return rgb;
}

// Noise everywhere, the palette table included, so that every colour-table entry differs.
Picture MakeNoisePicture(int32_t mode, uint32_t seed) {
    Picture picture;
    AllocateVram(&picture, 0x10000);
    for (int32_t i = 0; i < 0x10000; ++i) {
        seed = seed * 1103515245u + 12345u;
        picture.data[static_cast<size_t>(i)] = static_cast<uint8_t>(seed >> 16);
    }
    picture.screenMode = static_cast<ScreenMode>(mode);
    picture.paletteIndex = kPaletteInternal;
    return picture;
}

struct Expected {
    int depth, colourType;
    bool phys;
    uint32_t paletteEntries;  // PLTE's entries, 0 for RGB
};

// Bit depth, colour type (3 palette, 2 RGB) and pHYs of each view: full, small, large.
struct ModeCase {
    int32_t mode;
    Expected views[3];
};

const ModeCase kModes[] = {
    {kScreen5, {{4, 3, false, 16}, {4, 3, false, 16}, {4, 3, false, 16}}},  // GRAPHIC4
    {kScreen6, {{4, 3, true, 16}, {8, 3, false, 256}, {4, 3, false, 16}}},  // GRAPHIC5
    {kScreen7, {{4, 3, true, 16}, {8, 3, false, 256}, {4, 3, false, 16}}},  // GRAPHIC6
    {kScreen8, {{8, 3, false, 256}, {8, 3, false, 256}, {8, 3, false, 256}}},  // GRAPHIC7
    // YJK noise: far over 256 colours
    {kScreen10, {{8, 2, false, 0}, {8, 2, false, 0}, {8, 2, false, 0}}},
    {kScreen12, {{8, 2, false, 0}, {8, 2, false, 0}, {8, 2, false, 0}}},
};

const ViewSize kViews[] = {kViewFull, kViewSmall, kViewLarge};

// Encodes the current picture's view: its chunks' facts, and whether it decodes to exactly
// RenderView's pixels.
bool EncodeAndCompare(const DisplayBitmap& bitmap, ViewSize view, PngFacts* facts) {
    PngImage image;
    Bytes png;
    int32_t width = 0, height = 0;
    Bytes decoded;
    if (!BuildCurrentView(bitmap, view, &image) || !EncodePng(image, &png) ||
        !DecodeToRgb(png, &width, &height, &decoded)) {
        ADD_FAILURE() << "view " << view << ": not built, encoded or decoded";
        return false;
    }
    *facts = ReadFacts(png);
    return width == ViewWidth(bitmap, view) && height == ViewHeight(bitmap, view) &&
           decoded == RenderRgb(bitmap, view);
}

void CheckView(const DisplayBitmap& bitmap, ViewSize view, const Expected& want) {
    SCOPED_TRACE("view " + std::to_string(view));
    PngFacts facts;
    EXPECT_TRUE(EncodeAndCompare(bitmap, view, &facts));
    EXPECT_EQ(facts.depth, want.depth);
    EXPECT_EQ(facts.colourType, want.colourType);
    EXPECT_EQ(facts.paletteEntries, want.paletteEntries);
    EXPECT_EQ(facts.phys, want.phys);
    if (want.phys) {  // half as wide as high, in pixels per metre (unit 1)
        EXPECT_EQ(facts.physX, 18000u);
        EXPECT_EQ(facts.physY, 9000u);
        EXPECT_EQ(facts.physUnit, 1);
    }
}

TEST(PngOutput, EveryModeAndViewShowsRenderViewsPixels) {
    for (const ModeCase& c : kModes) {
        SCOPED_TRACE(ScreenModeOf(c.mode).name);
        const DisplayBitmap bitmap =
            BuildDisplayBitmap(MakeNoisePicture(c.mode, 1000u + static_cast<uint32_t>(c.mode)));
        for (int v = 0; v < 3; ++v) CheckView(bitmap, kViews[v], c.views[v]);
    }
}

// A YJK picture of few colours: every byte 0 or 0xF8 (Y = 0 or 31, J = K = 0) gives black and
// white only, stored as 8-bit palette pixels.
TEST(PngOutput, YjkWithFewColoursIsAPalettePicture) {
    for (int32_t mode : {kScreen10, kScreen12}) {
        SCOPED_TRACE(ScreenModeOf(mode).name);
        Picture picture = MakeNoisePicture(mode, 5);
        for (int32_t i = 0; i < 0xD400; ++i) {
            uint8_t& b = picture.data[static_cast<size_t>(i)];
            b = (b & 1) ? 0xF8 : 0;
        }
        const DisplayBitmap bitmap = BuildDisplayBitmap(picture);
        for (ViewSize view : kViews) {
            PngImage image;
            ASSERT_TRUE(BuildCurrentView(bitmap, view, &image));
            EXPECT_EQ(image.paletteSize, 2);
            CheckView(bitmap, view, {8, 3, false, 2});
        }
    }
}

// The pictures people have (skipped without ../shared/pictures).
TEST(PngOutput, RealPicturesShowRenderViewsPixels) {
    const std::string dir = SharedPictures();
    if (dir.empty()) GTEST_SKIP() << "../shared/pictures is absent: real pictures not tested";
    int tried = 0;
    for (const char* name : {"fusionc_mona.sc5", "msxgl_IMAGE01.sc5", "msxgl_IMAGE01.sc6",
                             "msxgl_IMAGE01.sc7", "msxgl_IMAGE01.sc8", "msxgl_IMAGE01.s12"}) {
        SCOPED_TRACE(name);
        Picture picture;
        if (LoadScreenFileNamed((dir + "/" + name).c_str(), &picture) != kLoadOk) continue;
        const DisplayBitmap bitmap = BuildDisplayBitmap(picture);
        ++tried;
        PngFacts facts;
        for (ViewSize view : kViews) EXPECT_TRUE(EncodeAndCompare(bitmap, view, &facts)) << "view " << view;
    }
    EXPECT_GT(tried, 0);
}

// A hand-made 24-bit DIB, w x h, whose pixel i (in row order, bottom-up) has colour colours(i).
struct Dib24 {
    Bytes info = Bytes(40, 0);
    Bytes bits;
};

Dib24 MakeDib24(int32_t w, int32_t h, uint32_t distinct) {
    Dib24 d;
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) d.info[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, static_cast<uint32_t>(w));
    put32(8, static_cast<uint32_t>(h));
    d.info[12] = 1;   // planes
    d.info[14] = 24;  // bits per pixel
    const int32_t stride = (w * 24 + 31) / 32 * 4;
    d.bits.assign(static_cast<size_t>(stride) * h, 0);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t c = (static_cast<uint32_t>(y * w + x) % distinct) * 0x010305u;
            uint8_t* p = &d.bits[static_cast<size_t>(y) * stride + 3 * x];
            p[0] = static_cast<uint8_t>(c);  // blue, green, red
            p[1] = static_cast<uint8_t>(c >> 8);
            p[2] = static_cast<uint8_t>(c >> 16);
        }
    }
    return d;
}

// Palette pixels up to 256 colours; the 257th colour (here its first use on the last line)
// turns the picture into RGB. Either way each pixel is the DIB's.
TEST(IndexedView, TwoHundredFiftySixColoursAtMost) {
    struct Case {
        uint32_t distinct;
        PngColour colour;
    } cases[] = {{1, kPngIndexed}, {256, kPngIndexed}, {257, kPngRgb}, {5000, kPngRgb}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.distinct);
        const int32_t w = 256, h = 8;
        const Dib24 dib = MakeDib24(w, h, c.distinct);
        for (ViewSize view : kViews) {
            PngImage image;
            ASSERT_TRUE(BuildIndexedView(dib.info.data(), dib.bits.data(), view, &image));
            ASSERT_EQ(image.colour, c.colour);
            ASSERT_EQ(image.width, view == kViewLarge ? 512 : 256);
            ASSERT_EQ(image.height, view == kViewLarge ? 2 * h : h);
            if (c.colour == kPngIndexed) {
                EXPECT_EQ(image.paletteSize, static_cast<int32_t>(c.distinct));
            }
            const int32_t scale = view == kViewLarge ? 2 : 1;
            int wrong = 0;
            for (int32_t y = 0; y < image.height; ++y) {
                for (int32_t x = 0; x < image.width; ++x) {
                    const uint8_t* want = &dib.bits[static_cast<size_t>(h - 1 - y / scale) * w * 3 +
                                                    3 * (x / scale)];
                    const uint8_t* row = &image.pixels[static_cast<size_t>(y) * image.stride];
                    const uint8_t* got =
                        c.colour == kPngRgb ? row + 3 * x : image.palette + 3 * row[x];
                    wrong += got[0] != want[2] || got[1] != want[1] || got[2] != want[0];
                }
            }
            EXPECT_EQ(wrong, 0);
        }
    }
}

TEST(IndexedView, RefusesOtherDibs) {
    Dib24 good = MakeDib24(256, 4, 3);
    PngImage image;
    ASSERT_TRUE(BuildIndexedView(good.info.data(), good.bits.data(), kViewFull, &image));
    struct Case {
        size_t at;
        uint8_t value;
    } cases[] = {
        {0, 12},   // an OS/2 core header
        {14, 16},  // 16 bits a pixel
        {14, 1},   // 1 bit a pixel
        {16, 1},   // BI_RLE8
        {16, 3},   // BI_BITFIELDS
        {11, 0x80},  // negative height: a top-down DIB
        {5, 0x00},   // width 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.at);
        Dib24 bad = good;
        bad.info[c.at] = c.value;
        EXPECT_FALSE(BuildIndexedView(bad.info.data(), bad.bits.data(), kViewFull, &image));
    }
    // 300 wide: neither the small nor the large view is a whole multiple of it.
    Dib24 odd = MakeDib24(300, 2, 3);
    EXPECT_TRUE(BuildIndexedView(odd.info.data(), odd.bits.data(), kViewFull, &image));
    EXPECT_FALSE(BuildIndexedView(odd.info.data(), odd.bits.data(), kViewSmall, &image));
    EXPECT_FALSE(BuildIndexedView(odd.info.data(), odd.bits.data(), kViewLarge, &image));
}

// The encoder refuses descriptions that do not add up, and writes nothing for them.
TEST(EncodePng, RefusesInconsistentImages) {
    PngImage good;
    good.width = 3;
    good.height = 2;
    good.colour = kPngIndexed;
    good.bitDepth = 4;
    good.paletteSize = 16;
    good.stride = 2;
    good.pixels.assign(4, 0x12);
    Bytes png;
    ASSERT_TRUE(EncodePng(good, &png));
    ASSERT_FALSE(png.empty());
    const auto refused = [&](void (*spoil)(PngImage*)) {
        PngImage bad = good;
        spoil(&bad);
        Bytes out(5, 1);
        return !EncodePng(bad, &out) && out.empty();
    };
    EXPECT_TRUE(refused([](PngImage* i) { i->bitDepth = 2; }));
    EXPECT_TRUE(refused([](PngImage* i) { i->paletteSize = 17; }));
    EXPECT_TRUE(refused([](PngImage* i) { i->paletteSize = 0; }));
    EXPECT_TRUE(refused([](PngImage* i) { i->stride = 1; }));
    EXPECT_TRUE(refused([](PngImage* i) { i->pixels.resize(3); }));
    EXPECT_TRUE(refused([](PngImage* i) { i->width = 0; }));
    EXPECT_TRUE(refused([](PngImage* i) { i->colour = kPngRgb; }));  // 4 bits: RGB is 8 only
}

// The old RGB entry still writes the same pixels.
TEST(EncodePng, RgbEntryRoundTrips) {
    Bytes rgb(5 * 3 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 37);
    Bytes png;
    ASSERT_TRUE(EncodePngRgb(rgb.data(), 5, 3, &png));
    const PngFacts facts = ReadFacts(png);
    EXPECT_EQ(facts.colourType, 2);
    EXPECT_FALSE(facts.phys);
    int32_t w = 0, h = 0;
    Bytes decoded;
    ASSERT_TRUE(DecodeToRgb(png, &w, &h, &decoded));
    EXPECT_EQ(w, 5);
    EXPECT_EQ(h, 3);
    EXPECT_TRUE(decoded == rgb);
}

}  // namespace
