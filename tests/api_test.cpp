// The C interface the web page calls, natively: every answer is held against vramoria-convert's
// own run of the same steps (its --info --json text, the bytes of its -o files).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/vramoria_api.h"
#include "cli/options.h"
#include "cli/steps.h"
#include "codec/bmp_write.h"
#include "codec/png_write.h"
#include "image/bsave.h"
#include "render/display.h"
#include "render/view.h"
#include "tests/test_support.h"
#include "vramoria_version.h"

namespace {

// What vramoria-convert's run of words (pictures and steps) produced for its one picture.
PictureResult Converter(const std::vector<std::string>& words) {
    std::vector<std::string> args = {"vramoria-convert"};
    args.insert(args.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    CommandLine line;
    std::string error;
    EXPECT_TRUE(ParseCommandLine(static_cast<int>(argv.size()), argv.data(), &line, &error)) << error;
    PictureJob job;
    PlanPicture(line, line.pictures.at(0), &job);
    return RunPicture(line, job);
}

std::string ConverterInfo(const std::vector<std::string>& words) {
    std::vector<std::string> all = words;
    all.push_back("--info");
    all.push_back("--json");
    const PictureResult result = Converter(all);
    std::string text(result.standardOutput.begin(), result.standardOutput.end());
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

// The bytes of the converter's one -o file.
Bytes ConverterFile(const std::vector<std::string>& words) {
    const PictureResult result = Converter(words);
    EXPECT_TRUE(result.ok) << result.messages;
    return result.files.empty() ? Bytes{} : result.files.front().bytes;
}

std::string Sample(const std::string& name) { return std::string(VRAMORIA_SAMPLES) + "/" + name; }

struct Session {
    VramoriaSession* session = vramoria_session_new();
    ~Session() { vramoria_session_free(session); }
    int32_t Load(const std::string& path, const Bytes* companion = nullptr) {
        const Bytes bytes = ReadBytes(path);
        return vramoria_load(session, path.c_str(), bytes.data(), bytes.size(),
                             companion != nullptr ? companion->data() : nullptr,
                             companion != nullptr ? companion->size() : 0);
    }
    std::string State() { return vramoria_state_json(session); }
    Bytes Write(int32_t format, int32_t view = VRAMORIA_VIEW_FULL) {
        const uint8_t* bytes = vramoria_write(session, format, view);
        return bytes == nullptr ? Bytes{} : Bytes(bytes, bytes + vramoria_output_size(session));
    }
};

// The tests on the bundled samples, which every native build makes (a cross build has none).
class ApiSamples : public testing::Test {
protected:
    void SetUp() override {
        if (!FileExists(Sample("testcard.sc5"))) GTEST_SKIP() << VRAMORIA_SAMPLES << " has no samples (cross build)";
    }
};

const char* const kSamples[] = {"testcard.sc5", "testcard.sc6", "testcard.sc7",
                                "testcard.sc8", "testcard.sca", "testcard.scc"};

TEST_F(ApiSamples, StateIsTheConvertersInfoJson) {
    for (const char* name : kSamples) {
        Session s;
        ASSERT_EQ(s.Load(Sample(name)), VRAMORIA_OK) << name;
        EXPECT_EQ(s.State(), ConverterInfo({Sample(name)})) << name;
        EXPECT_STREQ(vramoria_message(s.session), "") << name;
    }
}

TEST_F(ApiSamples, CompanionPaletteIsTakenAsTheConverterTakesTheFile) {
    const Bytes companion = ReadBytes(Sample("testcard.pl5"));
    Session s;
    ASSERT_EQ(s.Load(Sample("testcard.sr5"), &companion), VRAMORIA_OK);
    EXPECT_EQ(s.State(), ConverterInfo({Sample("testcard.sr5")}));
    EXPECT_EQ(vramoria_palette_slot(s.session), kPaletteFileFirst);
    for (int32_t file = 0; file < 8; ++file) {
        const bool there = vramoria_slot_available(s.session, kPaletteFileFirst + file) != 0;
        if (!there) continue;
        ASSERT_EQ(vramoria_select_palette(s.session, kPaletteFileFirst + file), VRAMORIA_OK);
        EXPECT_EQ(s.State(), ConverterInfo({Sample("testcard.sr5"), "--palette", std::to_string(file)}));
        EXPECT_EQ(s.Write(VRAMORIA_BMP),
                  ConverterFile({Sample("testcard.sr5"), "--palette", std::to_string(file), "-o", "x.bmp"}));
    }
    EXPECT_STREQ(vramoria_companion_name(s.session, "disk/PIC.SR7"), "disk/PIC.pl7");
    EXPECT_STREQ(vramoria_companion_name(s.session, "pic.sc5"), "");
    EXPECT_STREQ(vramoria_version(), kVramoriaVersion);
    // Without its companion, the standard or internal palette, and no file palettes.
    Session alone;
    ASSERT_EQ(alone.Load(Sample("testcard.sr5")), VRAMORIA_OK);
    EXPECT_EQ(vramoria_slot_available(alone.session, kPaletteFileFirst), 0);
}

TEST_F(ApiSamples, EveryModeRendersTheConvertersViews) {
    Session s;
    ASSERT_EQ(s.Load(Sample("testcard.sc7")), VRAMORIA_OK);
    const char* const modes[] = {"5", "6", "7", "8", "10", "12", "1", "2", "3", "4"};
    for (int32_t mode = 0; mode < kScreenModeCount; ++mode) {
        ASSERT_EQ(vramoria_select_mode(s.session, mode), VRAMORIA_OK);
        EXPECT_EQ(s.State(), ConverterInfo({Sample("testcard.sc7"), "--mode", modes[mode]})) << mode;
        for (const char* view : {"small", "large", "full"}) {
            const int32_t v = std::string(view) == "small" ? 1 : std::string(view) == "large" ? 2 : 0;
            EXPECT_EQ(s.Write(VRAMORIA_PNG, v),
                      ConverterFile({Sample("testcard.sc7"), "--mode", modes[mode], "--view", view, "-o", "x.png"}))
                << mode << " " << view;
        }
        // The pane's RGBA pixels are RenderView's, opaque.
        Picture picture;
        ASSERT_TRUE(LoadAsConverter(Sample("testcard.sc7"), &picture));
        SelectScreenMode(&picture, mode);
        const DisplayBitmap bitmap = BuildDisplayBitmap(picture);
        const uint8_t* rgba = vramoria_render(s.session, VRAMORIA_VIEW_SMALL);
        ASSERT_NE(rgba, nullptr);
        const int32_t width = ViewWidth(bitmap, kViewSmall), height = ViewHeight(bitmap, kViewSmall);
        ASSERT_EQ(vramoria_width(s.session), width);
        ASSERT_EQ(vramoria_height(s.session), height);
        std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
        RenderView(bitmap, kViewSmall, rgb.data());
        size_t differing = 0;
        for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
            differing += rgba[4 * i] != rgb[3 * i] || rgba[4 * i + 1] != rgb[3 * i + 1] ||
                         rgba[4 * i + 2] != rgb[3 * i + 2] || rgba[4 * i + 3] != 255;
        }
        EXPECT_EQ(differing, 0u) << mode;
    }
    EXPECT_EQ(vramoria_select_mode(s.session, 10), VRAMORIA_UNAVAILABLE);
}

TEST_F(ApiSamples, ConversionsAndSavesAreTheConverters) {
    struct Case {
        const char* sample;
        int32_t target;
        const char* word;
    };
    const Case cases[] = {{"testcard.sc5", 2, "7"}, {"testcard.sc5", 3, "8"}, {"testcard.sc6", 0, "5"},
                          {"testcard.sc7", 1, "6"}, {"testcard.sca", 4, "10"}, {"testcard.sc6", 4, "10"}};
    for (const Case& c : cases) {
        Session s;
        ASSERT_EQ(s.Load(Sample(c.sample)), VRAMORIA_OK);
        ASSERT_NE((vramoria_conversions(s.session) >> (4 * c.target)) & 15, 0u) << c.sample;
        ASSERT_EQ(vramoria_convert(s.session, c.target), VRAMORIA_OK) << c.sample;
        EXPECT_EQ(s.State(), ConverterInfo({Sample(c.sample), "--convert", c.word})) << c.sample;
        EXPECT_EQ(s.Write(VRAMORIA_BSAVE), ConverterFile({Sample(c.sample), "--convert", c.word, "-o", "x.bin"}));
        EXPECT_EQ(s.Write(VRAMORIA_BMP), ConverterFile({Sample(c.sample), "--convert", c.word, "-o", "x.bmp"}));
        EXPECT_EQ(s.Write(VRAMORIA_PNG), ConverterFile({Sample(c.sample), "--convert", c.word, "-o", "x.png"}));
        EXPECT_EQ(std::string(vramoria_save_extension(s.session)), ScreenModeOf(c.target).saveExtension);
    }
    // SCREEN 8 offers nothing: the picture stays as it was.
    Session s;
    ASSERT_EQ(s.Load(Sample("testcard.sc8")), VRAMORIA_OK);
    const std::string before = s.State();
    EXPECT_EQ(vramoria_conversions(s.session), 0u);
    EXPECT_EQ(vramoria_convert(s.session, 0), VRAMORIA_UNAVAILABLE);
    EXPECT_EQ(s.State(), before);
}

TEST_F(ApiSamples, MachineColoursAreTheConvertersHardwareColours) {
    for (const char* name : {"testcard.sc6", "testcard.sc8"}) {
        Session s;
        ASSERT_EQ(s.Load(Sample(name)), VRAMORIA_OK);
        const std::string before = s.State();
        vramoria_set_colors(s.session, 1);
        EXPECT_EQ(s.State(), before) << "rendering only";
        EXPECT_EQ(s.Write(VRAMORIA_PNG, VRAMORIA_VIEW_SMALL),
                  ConverterFile({Sample(name), "--colors", "hardware", "--view", "small", "-o", "x.png"}));
        EXPECT_EQ(s.Write(VRAMORIA_BMP), ConverterFile({Sample(name), "--colors", "hardware", "-o", "x.bmp"}));
        vramoria_set_colors(s.session, 0);
        EXPECT_EQ(s.Write(VRAMORIA_BMP), ConverterFile({Sample(name), "-o", "x.bmp"}));
    }
}

TEST_F(ApiSamples, DamagedFilesChangeNothingAndSayWhatTheConverterSays) {
    const std::string dir = ScratchDir("api_damaged");
    Session s;
    ASSERT_EQ(s.Load(Sample("testcard.sc5")), VRAMORIA_OK);
    const std::string before = s.State();
    const Bytes damaged = {0xFE, 0x00, 0x00};
    WriteBytes(dir + "/bad.sc5", damaged);
    EXPECT_EQ(s.Load(dir + "/bad.sc5"), VRAMORIA_NOT_BSAVE);
    EXPECT_EQ(std::string(vramoria_message(s.session)).rfind("not a BSAVE file (", 0), 0u) << vramoria_message(s.session);
    const PictureResult converter = Converter({dir + "/bad.sc5"});
    EXPECT_FALSE(converter.ok);
    EXPECT_NE(converter.messages.find(vramoria_message(s.session)), std::string::npos)
        << converter.messages << " / " << vramoria_message(s.session);
    EXPECT_EQ(s.State(), before);
    // A palette file shorter than one palette.
    const Bytes shortPalette(31, 0x11);
    EXPECT_EQ(vramoria_load_palette(s.session, shortPalette.data(), shortPalette.size()), VRAMORIA_NOT_PALETTE);
    EXPECT_EQ(s.State(), before);
    // An unavailable slot.
    EXPECT_EQ(vramoria_select_palette(s.session, kPaletteFileFirst + 3), VRAMORIA_UNAVAILABLE);
    EXPECT_EQ(s.State(), before);
    // A PNG is for import.
    Bytes png;
    const Bytes rgb(3 * 4 * 4, 0x80);
    ASSERT_TRUE(EncodePngRgb(rgb.data(), 4, 4, &png));
    WriteBytes(dir + "/photo.png", png);
    EXPECT_EQ(s.Load(dir + "/photo.png"), VRAMORIA_IS_IMAGE);
    EXPECT_STRNE(vramoria_message(s.session), "");
    EXPECT_NE(Converter({dir + "/photo.png"}).messages.find(vramoria_message(s.session)), std::string::npos);
    EXPECT_EQ(s.State(), before);
}

TEST(Api, NothingLoadedAnswersNothing) {
    Session s;
    EXPECT_EQ(s.State(), "");
    EXPECT_EQ(vramoria_render(s.session, VRAMORIA_VIEW_SMALL), nullptr);
    EXPECT_EQ(vramoria_write(s.session, VRAMORIA_BSAVE, 0), nullptr);
    EXPECT_EQ(vramoria_select_mode(s.session, 0), VRAMORIA_NO_PICTURE);
    const Bytes palette(32, 0x11);
    EXPECT_EQ(vramoria_load_palette(s.session, palette.data(), palette.size()), VRAMORIA_NO_PICTURE);
}

TEST(Api, RawDumpsAndMsx1ScreensLoadAsTheConverterReadsThem) {
    const std::string dir = ScratchDir("api_raw");
    Bytes dump(0x6A00);
    for (size_t i = 0; i < dump.size(); ++i) dump[i] = static_cast<uint8_t>(i * 7 + (i >> 7));
    WriteBytes(dir + "/dump.sc5", dump);
    Session s;
    ASSERT_EQ(s.Load(dir + "/dump.sc5"), VRAMORIA_OK);
    EXPECT_STRNE(vramoria_message(s.session), "");
    EXPECT_EQ(s.State(), ConverterInfo({dir + "/dump.sc5"}));
    EXPECT_NE(Converter({dir + "/dump.sc5"}).messages.find(vramoria_message(s.session)), std::string::npos);
    Bytes tables(0x4000);
    for (size_t i = 0; i < tables.size(); ++i) tables[i] = static_cast<uint8_t>(i * 13 + (i >> 5));
    WriteBytes(dir + "/screen.sc2", PlainBsave(0, 0x37FF, Bytes(tables.begin(), tables.begin() + 0x3800)));
    ASSERT_EQ(s.Load(dir + "/screen.sc2"), VRAMORIA_OK);
    EXPECT_EQ(s.State(), ConverterInfo({dir + "/screen.sc2"}));
    EXPECT_EQ(s.Write(VRAMORIA_PNG, VRAMORIA_VIEW_SMALL),
              ConverterFile({dir + "/screen.sc2", "--view", "small", "-o", "x.png"}));
    EXPECT_EQ(s.Write(VRAMORIA_BSAVE), ConverterFile({dir + "/screen.sc2", "-o", "x.bin"}));
}

// A picture with smooth gradients and a few edges, width x height RGB.
Bytes TestImage(int32_t width, int32_t height) {
    Bytes rgb(static_cast<size_t>(width) * height * 3);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            p[0] = static_cast<uint8_t>(x * 255 / (width - 1));
            p[1] = static_cast<uint8_t>(y * 255 / (height - 1));
            p[2] = static_cast<uint8_t>((x / 16 + y / 16) % 2 == 0 ? 200 : 40);
        }
    }
    return rgb;
}

TEST(Api, ImportIsTheConvertersImport) {
    const std::string dir = ScratchDir("api_import");
    const int32_t width = 300, height = 200;
    const Bytes rgb = TestImage(width, height);
    Bytes png;
    ASSERT_TRUE(EncodePngRgb(rgb.data(), width, height, &png));
    WriteBytes(dir + "/photo.png", png);
    Bytes bmp;
    EncodeBmpRgb(rgb.data(), width, height, &bmp);
    WriteBytes(dir + "/photo.bmp", bmp);
    Bytes rgba(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        std::copy_n(&rgb[3 * i], 3, &rgba[4 * i]);
        rgba[4 * i + 3] = 255;
    }
    const char* const modes[] = {"5", "6", "7", "8", "10", "12"};
    const char* const dithers[] = {"none", "ordered", "diffusion"};
    const char* const fits[] = {"contain", "cover", "stretch"};
    for (int32_t mode = 0; mode < kBitmapModeCount; ++mode) {
        const int32_t dither = mode % 3, fit = (mode + 1) % 3;
        const std::vector<std::string> steps = {"--import", modes[mode], "--dither", dithers[dither], "--fit", fits[fit]};
        std::vector<std::string> fromPng = {dir + "/photo.png"};
        fromPng.insert(fromPng.end(), steps.begin(), steps.end());
        std::vector<std::string> fromBmp = {dir + "/photo.bmp"};
        fromBmp.insert(fromBmp.end(), steps.begin(), steps.end());
        Session s;
        ASSERT_EQ(vramoria_import_rgba(s.session, (dir + "/photo.png").c_str(), rgba.data(), width, height,
                                       vramoria_png_pixel_aspect(png.data(), png.size()), mode, fit, dither), VRAMORIA_OK);
        EXPECT_EQ(s.State(), ConverterInfo(fromPng)) << mode;
        fromPng.insert(fromPng.end(), {"-o", "x.bin"});
        EXPECT_EQ(s.Write(VRAMORIA_BSAVE), ConverterFile(fromPng)) << mode;
        // The BMP path differs only in its decoder: two modes are enough (an import is slow
        // under memcheck).
        if (mode != kScreen5 && mode != kScreen12) continue;
        ASSERT_EQ(vramoria_import_bmp(s.session, "photo.bmp", bmp.data(), bmp.size(), mode, fit, dither), VRAMORIA_OK);
        fromBmp.insert(fromBmp.end(), {"-o", "x.bin"});
        EXPECT_EQ(s.Write(VRAMORIA_BSAVE), ConverterFile(fromBmp)) << mode;
    }
    Session s;
    EXPECT_EQ(vramoria_import_bmp(s.session, "x.bmp", png.data(), png.size(), 0, 0, 2), VRAMORIA_BAD_IMAGE);
    EXPECT_EQ(vramoria_import_rgba(s.session, "x.png", rgba.data(), 0, 10, 1.0, 0, 0, 2), VRAMORIA_BAD_IMAGE);
    EXPECT_EQ(vramoria_import_rgba(s.session, "x.png", rgba.data(), 20000, 1, 1.0, 0, 0, 2), VRAMORIA_BAD_IMAGE);
    EXPECT_EQ(vramoria_import_rgba(s.session, "x.png", rgba.data(), 1, 1, 1.0, 6, 0, 2), VRAMORIA_UNAVAILABLE);
    EXPECT_EQ(s.State(), "");
}

TEST(Api, ImportKeepsThePixelAspectAPngDeclares) {
    const std::string dir = ScratchDir("api_aspect");
    PngImage image;
    image.width = 200;
    image.height = 150;
    image.colour = kPngRgb;
    image.stride = 600;
    image.pixels = TestImage(200, 150);
    image.pixelsPerMetreX = 18000;  // pixels half as wide as high
    image.pixelsPerMetreY = 9000;
    Bytes png;
    ASSERT_TRUE(EncodePng(image, &png));
    WriteBytes(dir + "/wide.png", png);
    EXPECT_DOUBLE_EQ(vramoria_png_pixel_aspect(png.data(), png.size()), 0.5);
    Bytes rgba(static_cast<size_t>(200) * 150 * 4, 255);
    for (size_t i = 0; i < static_cast<size_t>(200) * 150; ++i) std::copy_n(&image.pixels[3 * i], 3, &rgba[4 * i]);
    Session s;
    ASSERT_EQ(vramoria_import_rgba(s.session, "wide.png", rgba.data(), 200, 150, vramoria_png_pixel_aspect(png.data(), png.size()),
                                   0, kFitContain, kDitherNone), VRAMORIA_OK);
    EXPECT_EQ(s.Write(VRAMORIA_BSAVE), ConverterFile({dir + "/wide.png", "--import", "5", "--dither", "none", "-o", "x.bin"}));
}

TEST(Api, TheIconIsBuramo) {
    Session s;
    const uint8_t* icon = vramoria_icon(s.session, 32);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(vramoria_width(s.session), 32);
    EXPECT_EQ(icon[3], 0) << "a transparent corner";
    const uint8_t* screen = icon + (5 * 2 * 32 + 4 * 2) * 4;  // cell (4, 5): the blue screen
    EXPECT_EQ(screen[0], 0x21);
    EXPECT_EQ(screen[2], 0xFF);
    EXPECT_EQ(screen[3], 255);
    EXPECT_EQ(vramoria_icon(s.session, 20), nullptr);
}

TEST_F(ApiSamples, ThumbnailFitsThePane) {
    Session s;
    ASSERT_EQ(s.Load(Sample("testcard.sc7")), VRAMORIA_OK);
    ASSERT_NE(vramoria_thumbnail(s.session, 96), nullptr);
    EXPECT_EQ(vramoria_width(s.session), 96);
    EXPECT_EQ(vramoria_height(s.session), 80);  // 212 * 96 / 256 = 79.5, rounded
}

}  // namespace
