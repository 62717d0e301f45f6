// BSAVE loading: extensions, headers, run-length bodies, mode detection and the companion
// palette file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "image/bsave.h"
#include "image/picture.h"
#include "palette/palette.h"
#include "shell/startup.h"
#include "tests/test_support.h"

namespace {

Bytes Repeat(uint8_t value, size_t count) { return Bytes(count, value); }

TEST(ExtensionOffset, FollowsTheLastDotAfterTheLastSeparator) {
    const struct {
        const char* name;
        int32_t offset;
    } kCases[] = {
        {"a.sc5", 2},          {"dir.old/pic", 11},     {"pic", 3},           {"a.b.sc7", 4},
        {"x.", 2},             {"", 0},                 {".hidden", 1},
    };
    for (const auto& c : kCases) EXPECT_EQ(ExtensionOffset(c.name), c.offset) << c.name;
    // A backslash separates folders on Windows only; elsewhere it is part of a name.
#ifdef _WIN32
    EXPECT_EQ(ExtensionOffset("C:\\pics\\a.SR5"), 10);
    EXPECT_EQ(ExtensionOffset("dir.old\\pic"), 11);
#else
    EXPECT_EQ(ExtensionOffset("C:\\pics\\a.SR5"), 10);
    EXPECT_EQ(ExtensionOffset("dir.old\\pic"), 4);
#endif
}

struct RunsCase {
    const char* what;
    Bytes input;
    Bytes output;
};

// Decoding rule of the compressed (0xFD) bodies: 01-0F count+value, 00 escape count(0=256)+value,
// 10-FF literal.
TEST(DecodeBsaveRuns, Examples) {
    const RunsCase kCases[] = {
        {"count then escape", {0x03, 0x41, 0x00, 0x05, 0x42}, {0x41, 0x41, 0x41, 0x42, 0x42, 0x42, 0x42, 0x42}},
        {"escape with count 0 means 256", {0x00, 0x00, 0x7F}, Repeat(0x7F, 256)},
        {"literals stand for themselves", {0x10, 0x41, 0xFF, 0x80}, {0x10, 0x41, 0xFF, 0x80}},
        {"largest plain count", {0x0F, 0xAA}, Repeat(0xAA, 15)},
        {"escape with a count above 15", {0x00, 0x20, 0x01}, Repeat(0x01, 32)},
        {"value bytes may be anything", {0x02, 0x00, 0x02, 0x05}, {0x00, 0x00, 0x05, 0x05}},
        {"lone count at the end", {0x41, 0x03}, {0x41}},
        {"lone escape at the end", {0x41, 0x00}, {0x41}},
        {"escape and count without value", {0x41, 0x00, 0x07}, {0x41}},
        {"empty input", {}, {}},
    };
    for (const RunsCase& c : kCases) {
        SCOPED_TRACE(c.what);
        Bytes out(0x10000, 0xEE);
        int32_t n = DecodeBsaveRuns(c.input.data(), static_cast<int32_t>(c.input.size()), out.data());
        ASSERT_EQ(n, static_cast<int32_t>(c.output.size()));
        EXPECT_TRUE(std::equal(c.output.begin(), c.output.end(), out.begin()));
        EXPECT_EQ(out[static_cast<size_t>(n)], 0xEE);  // nothing written past the end
    }
}

// 255 runs of 256 bytes (65280), a run of 255 (65535), then a run of 5 that only has room for
// one byte: decoding stops at 64 KiB and ignores the rest.
TEST(DecodeBsaveRuns, StopsAt64KiB) {
    Bytes input;
    for (int i = 0; i < 255; ++i) input.insert(input.end(), {0x00, 0x00, 0xAA});
    input.insert(input.end(), {0x00, 0xFF, 0xBB, 0x05, 0xCC, 0x41, 0x0F, 0xDD});
    Bytes out(0x10000 + 64, 0xEE);
    int32_t n = DecodeBsaveRuns(input.data(), static_cast<int32_t>(input.size()), out.data());
    EXPECT_EQ(n, 0x10000);
    EXPECT_EQ(out[65279], 0xAA);
    EXPECT_EQ(out[65280], 0xBB);
    EXPECT_EQ(out[65534], 0xBB);
    EXPECT_EQ(out[65535], 0xCC);
    EXPECT_EQ(out[65536], 0xEE);
}

TEST(DecodeBsaveRuns, ARunEndingExactlyAt64KiBEndsTheDecoding) {
    Bytes input;
    for (int i = 0; i < 256; ++i) input.insert(input.end(), {0x00, 0x00, static_cast<uint8_t>(i)});
    input.insert(input.end(), {0x41, 0x42});
    Bytes out(0x10000 + 8, 0xEE);
    EXPECT_EQ(DecodeBsaveRuns(input.data(), static_cast<int32_t>(input.size()), out.data()), 0x10000);
    EXPECT_EQ(out[65535], 0xFF);
    EXPECT_EQ(out[65536], 0xEE);
}

// Property: literals and runs never write past 64 KiB, whatever the input.
TEST(DecodeBsaveRuns, NeverWritesPast64KiB) {
    uint32_t seed = 12345;
    for (int round = 0; round < 200; ++round) {
        Bytes input(1 + round * 300);
        for (uint8_t& b : input) {
            seed = seed * 1103515245u + 12345u;
            b = static_cast<uint8_t>(seed >> 16);
            if (round % 3 == 0 && (b & 3) == 0) b = 0;  // many escapes: long runs
        }
        Bytes out(0x10000 + 16, 0xEE);
        int32_t n = DecodeBsaveRuns(input.data(), static_cast<int32_t>(input.size()), out.data());
        ASSERT_GE(n, 0);
        ASSERT_LE(n, 0x10000);
        for (int i = 0; i < 16; ++i) ASSERT_EQ(out[0x10000 + i], 0xEE);
    }
}

// Files that are refused with "not a BSAVE file", one line each.
TEST(LoadBsaveBytes, BadFilesAreRefusedAndChangeNothing) {
    const struct {
        const char* what;
        Bytes file;
    } kBadFiles[] = {
        {"one byte", {0xFE}},
        {"five bytes", {0xFE, 0x00, 0x00, 0xFF, 0x69}},
        {"six bytes", {0xFE, 0x00, 0x00, 0xFF, 0x69, 0x00}},
        {"unknown type", {0xFF, 0x00, 0x00, 0xFF, 0x69, 0x00, 0x00}},
        {"zero type (seven zero bytes)", Bytes(7 + 100, 0x00)},
        {"plain start above end", PlainBsave(0x0200, 0x01FF, {1, 2, 3})},
        {"compressed start not 0", {0xFD, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x41}},
        {"compressed body shorter than announced", {0xFD, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x03, 0x41}},
    };
    Picture picture;
    ASSERT_EQ(LoadBsaveBytes(PlainBsave(0, 3, {9, 8, 7, 6}).data(), 11, &picture), kLoadOk);
    const uint8_t* data = picture.data.data();
    for (const auto& c : kBadFiles) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(LoadBsaveBytes(c.file.data(), c.file.size(), &picture), kLoadNotBsave);
        EXPECT_EQ(picture.data.data(), data);
        EXPECT_EQ(picture.dataSize, 4);
        EXPECT_EQ(picture.data[0], 9);
        EXPECT_EQ(picture.loadedHeader.endAddress, 3);
    }
}

TEST(LoadBsaveBytes, PlainBodyFromItsStartAddress) {
    Picture picture;
    Bytes body(0x100);
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>(i + 1);
    Bytes file = PlainBsave(0x0100, 0x01FF, body);
    ASSERT_EQ(LoadBsaveBytes(file.data(), file.size(), &picture), kLoadOk);
    EXPECT_EQ(picture.dataSize, 0x200);
    EXPECT_EQ(picture.imageSize, 0x200);
    for (int a = 0; a < 0x100; ++a) ASSERT_EQ(picture.data[a], 0) << a;
    for (int a = 0x100; a < 0x200; ++a) ASSERT_EQ(picture.data[a], static_cast<uint8_t>(a - 0xFF)) << a;
    EXPECT_EQ(picture.loadedHeader.type, kBsavePlain);
    EXPECT_EQ(picture.loadedHeader.startAddress, 0x100);
}

TEST(LoadBsaveBytes, ShortPlainBodyLeavesZerosAndTrailingBytesAreIgnored) {
    Picture picture;
    Bytes shortFile = PlainBsave(0, 0x769F, {1, 2, 3});
    ASSERT_EQ(LoadBsaveBytes(shortFile.data(), shortFile.size(), &picture), kLoadOk);
    EXPECT_EQ(picture.dataSize, 30368);
    EXPECT_EQ(picture.data[2], 3);
    EXPECT_EQ(picture.data[3], 0);

    Bytes longFile = PlainBsave(0, 3, {1, 2, 3, 4, 5, 6, 7});
    ASSERT_EQ(LoadBsaveBytes(longFile.data(), longFile.size(), &picture), kLoadOk);
    EXPECT_EQ(picture.dataSize, 4);
    EXPECT_EQ(picture.data[4], 0);
}

TEST(LoadBsaveBytes, FullAddressSpaceAndEmptyFiles) {
    Picture picture;
    Bytes full = PlainBsave(0, 0xFFFF, Bytes(0x10000, 0x5A));
    ASSERT_EQ(LoadBsaveBytes(full.data(), full.size(), &picture), kLoadOk);
    EXPECT_EQ(picture.dataSize, 65536);
    EXPECT_EQ(picture.imageSize, 54272);
    EXPECT_EQ(picture.data[0xFFFF], 0x5A);

    ASSERT_EQ(LoadBsaveBytes(nullptr, 0, &picture), kLoadOk);
    EXPECT_EQ(picture.dataSize, 0);
    EXPECT_EQ(picture.imageSize, 0);
    EXPECT_EQ(static_cast<int32_t>(picture.data.size()), 27136);
    EXPECT_EQ(picture.loadedHeader.type, 0);
}

TEST(LoadBsaveBytes, CompressedBodies) {
    Picture picture;
    Bytes file = CompressedBsave({0x03, 0x41, 0x00, 0x05, 0x42});
    ASSERT_EQ(LoadBsaveBytes(file.data(), file.size(), &picture), kLoadOk);
    EXPECT_EQ(picture.dataSize, 8);
    EXPECT_EQ(picture.imageSize, 0xD400);  // not recomputed from dataSize
    EXPECT_EQ(static_cast<int32_t>(picture.data.size()), 65536);
    EXPECT_EQ(picture.data[7], 0x42);
    EXPECT_EQ(picture.data[8], 0);
    EXPECT_EQ(picture.loadedHeader.type, kBsaveCompressed);

    Bytes empty = CompressedBsave({});
    ASSERT_EQ(LoadBsaveBytes(empty.data(), empty.size(), &picture), kLoadOk);
    EXPECT_EQ(picture.dataSize, 0);
    EXPECT_EQ(picture.imageSize, 54272);

    // Bytes after the announced body are ignored.
    Bytes trailing = CompressedBsave({0x02, 0x33});
    trailing.insert(trailing.end(), {0x05, 0x44});
    ASSERT_EQ(LoadBsaveBytes(trailing.data(), trailing.size(), &picture), kLoadOk);
    EXPECT_EQ(picture.dataSize, 2);
}

struct DetectCase {
    const char* extension;
    int32_t dataSize;
    int32_t mode;
    const char* companion;  // the palette file's extension, or nullptr
};

TEST(DetectScreenMode, ExtensionRulesThenTheSizeRule) {
    const DetectCase kCases[] = {
        {"sc5", 0, kScreen5, nullptr},      {"SC5", 99999, kScreen5, nullptr},
        {"ge5", 0, kScreen5, nullptr},      {"sc6", 0, kScreen6, nullptr},
        {"sr6", 0, kScreen6, nullptr},      {"sc7", 0, kScreen7, nullptr},
        {"Sc8", 0, kScreen8, nullptr},      {"sr8", 0, kScreen8, nullptr},
        {"SCA", 0, kScreen10, nullptr},     {"sca", 0, kScreen10, nullptr},
        {"srs", 0, kScreen12, nullptr},     {"SCC", 0, kScreen12, nullptr},
        {"sc55", 40000, kScreen7, nullptr}, {"s5", 100, kScreen5, nullptr},
        {"", 32768, kScreen5, nullptr},     {"", 32769, kScreen7, nullptr},
        {"bin", 64160, kScreen7, nullptr},  {"5sc", 100, kScreen5, nullptr},
        {"sr9", 40000, kScreen7, nullptr},  {"sr5", 40000, kScreen5, "pl5"},
        {"SR7", 0, kScreen7, "pl7"},        {"sR5", 0, kScreen5, "pl5"},
        // The MSX2+ names: plain dumps and the paint programs' compressed files.
        {"scb", 100, kScreen10, nullptr},   {"S10", 40000, kScreen10, nullptr},
        {"s11", 0, kScreen10, nullptr},     {"SRA", 52928, kScreen10, nullptr},
        {"s12", 54272, kScreen12, nullptr}, {"Src", 0, kScreen12, nullptr},
        {"s13", 54272, kScreen7, nullptr},  {"scd", 100, kScreen5, nullptr},
    };
    for (const DetectCase& c : kCases) {
        SCOPED_TRACE(c.extension);
        const ModeByName detected = DetectScreenMode(c.extension, c.dataSize);
        EXPECT_EQ(detected.screenMode, c.mode);
        if (c.companion == nullptr) {
            EXPECT_EQ(detected.companionExtension, nullptr);  // only sr5/sr7 bring a palette file
        } else {
            EXPECT_STREQ(detected.companionExtension, c.companion);
        }
    }
}

class LoadScreenFileTest : public testing::Test {
protected:
    void SetUp() override {
        dir = ScratchDir(testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    std::string Path(const std::string& name) const { return dir + "/" + name; }
    std::string dir;
    Picture picture;
};

TEST_F(LoadScreenFileTest, MissingFileIsRefusedWithTheTitleAsCaption) {
    EXPECT_EQ(LoadScreenFileNamed(Path("missing.sc5").c_str(), &picture), kLoadCannotOpen);
    char title[kTitleCapacity];
    BuildWindowTitle(Path("missing.sc5").c_str(), title);
    EXPECT_STREQ(title, "missing.sc5 - Vramoria");
    EXPECT_TRUE(picture.data.empty());
}

TEST_F(LoadScreenFileTest, AFolderIsRefused) {
    EXPECT_EQ(LoadScreenFileNamed(dir.c_str(), &picture), kLoadCannotOpen);
}

// body with sixteen different palette words in the table at `table` (0x0000 to 0x0774).
Bytes WithPaletteRamp(Bytes body, size_t table) {
    for (size_t n = 0; n < 16; ++n) {
        body[table + 2 * n] = static_cast<uint8_t>(n & 7);
        body[table + 2 * n + 1] = static_cast<uint8_t>((n >> 1) & 7);
    }
    return body;
}

TEST_F(LoadScreenFileTest, FiveByteFileIsNotBsaveAndChangesNothing) {
    WriteBytes(Path("good.sc7"), PlainBsave(0, 0xFA9F, WithPaletteRamp(Bytes(64160, 0x21), 0xFA80)));
    ASSERT_EQ(LoadScreenFileNamed(Path("good.sc7").c_str(), &picture), kLoadOk);
    WriteBytes(Path("five.sc5"), {0xFE, 0, 0, 0, 0});
    EXPECT_EQ(LoadScreenFileNamed(Path("five.sc5").c_str(), &picture), kLoadNotBsave);
    EXPECT_EQ(picture.screenMode, kScreen7);
    EXPECT_EQ(picture.dataSize, 64160);
    EXPECT_EQ(picture.paletteIndex, kPaletteInternal);
    char title[kTitleCapacity];
    BuildWindowTitle(Path("five.sc5").c_str(), title);
    EXPECT_STREQ(title, "five.sc5 - Vramoria");
}

TEST_F(LoadScreenFileTest, NamesLongerThan259CharactersAreRefused) {
    std::string name = Path(std::string(300, 'a') + ".sc5");
    WriteBytes(Path("short.sc5"), PlainBsave(0, 0, {1}));
    EXPECT_EQ(LoadScreenFileNamed(name.c_str(), &picture), kLoadCannotOpen);
    char argument[kFileNameCapacity];
    EXPECT_EQ(PictureNameFromTail(name.c_str(), argument), kArgumentTooLong);
    EXPECT_STREQ(argument, "");
    char title[kTitleCapacity];
    BuildWindowTitle(name.c_str(), title);
    EXPECT_LT(std::strlen(title), static_cast<size_t>(kTitleCapacity));
    EXPECT_TRUE(picture.data.empty());
}

TEST_F(LoadScreenFileTest, QuotedArgumentEndsAtItsQuoteUnquotedTakesTheRest) {
    WriteBytes(Path("my pic.sc7"), PlainBsave(0, 0xD3FF, Bytes(0xD400, 0x12)));
    char name[kFileNameCapacity];
    char title[kTitleCapacity];
    std::string quoted = "\"" + Path("my pic.sc7") + "\" --ignored words";
    ASSERT_EQ(PictureNameFromTail(quoted.c_str(), name), kArgumentName);
    ASSERT_EQ(LoadScreenFileNamed(name, &picture), kLoadOk);
    EXPECT_EQ(picture.screenMode, kScreen7);
    EXPECT_EQ(picture.dataSize, 0xD400);
    BuildWindowTitle(name, title);
    EXPECT_STREQ(title, "my pic.sc7 - Vramoria");

    Picture unquoted;
    ASSERT_EQ(PictureNameFromTail(Path("my pic.sc7").c_str(), name), kArgumentName);
    ASSERT_EQ(LoadScreenFileNamed(name, &unquoted), kLoadOk);  // blanks and all
    ASSERT_EQ(PictureNameFromTail((Path("my pic.sc7") + " extra").c_str(), name), kArgumentName);
    EXPECT_EQ(LoadScreenFileNamed(name, &unquoted), kLoadCannotOpen);
}

// An empty command line asks with the Open dialog: no name to load.
TEST_F(LoadScreenFileTest, EmptyArgumentGivesNoName) {
    char name[kFileNameCapacity] = "stale";
    EXPECT_EQ(PictureNameFromTail("", name), kArgumentNone);
    EXPECT_STREQ(name, "");
}

TEST_F(LoadScreenFileTest, SuccessResetsThePaletteState) {
    picture.filePaletteCount = 5;
    picture.paletteIndex = 7;
    Bytes mona = PlainBsave(0, 0x769F, WithPaletteRamp(Bytes(30368, 0x11), 0x7680));
    WriteBytes(Path("a.sc5"), mona);
    ASSERT_EQ(LoadScreenFileNamed(Path("a.sc5").c_str(), &picture), kLoadOk);
    EXPECT_EQ(picture.dataSize, 30368);
    EXPECT_EQ(picture.screenMode, kScreen5);
    EXPECT_EQ(picture.paletteIndex, kPaletteInternal);
    EXPECT_EQ(picture.filePaletteCount, 0);
    EXPECT_NE(GetPaletteSlot(picture, kPaletteInternal), nullptr);
}

TEST_F(LoadScreenFileTest, PlainFileAboveZeroWithAnUnknownExtension) {
    WriteBytes(Path("pic.bin"), PlainBsave(0x1000, 0x7FFF, Bytes(0x7000, 0x77)));
    ASSERT_EQ(LoadScreenFileNamed(Path("pic.bin").c_str(), &picture), kLoadOk);
    EXPECT_EQ(picture.dataSize, 0x8000);
    EXPECT_EQ(picture.screenMode, kScreen5);  // exactly 32768 bytes is not more than 32768
    EXPECT_EQ(picture.data[0x0FFF], 0);
    EXPECT_EQ(picture.data[0x1000], 0x77);

    WriteBytes(Path("big.bin"), PlainBsave(0, 0xFA9F, Bytes(64160, 0x01)));
    ASSERT_EQ(LoadScreenFileNamed(Path("big.bin").c_str(), &picture), kLoadOk);
    EXPECT_EQ(picture.dataSize, 64160);
    EXPECT_EQ(picture.screenMode, kScreen7);
}

TEST_F(LoadScreenFileTest, DotInAFolderNameIsNoExtension) {
    std::string folder = Path("dir.sc8");
    std::filesystem::create_directories(folder);
    WriteBytes(folder + "/pic", PlainBsave(0, 0x00FF, Bytes(0x100, 1)));
    ASSERT_EQ(LoadScreenFileNamed((folder + "/pic").c_str(), &picture), kLoadOk);
    EXPECT_EQ(picture.screenMode, kScreen5);  // the size rule, not SCREEN 8
}

// An empty picture has no palette table: the internal slot falls back to the standard palette.
TEST_F(LoadScreenFileTest, EmptyFileIsAnEmptyPicture) {
    WriteBytes(Path("empty.sc7"), {});
    ASSERT_EQ(LoadScreenFileNamed(Path("empty.sc7").c_str(), &picture), kLoadOk);
    EXPECT_EQ(picture.dataSize, 0);
    EXPECT_EQ(picture.screenMode, kScreen7);
    EXPECT_EQ(picture.paletteIndex, kPaletteStandard);
    EXPECT_EQ(&CurrentPalette(picture), &kStandardPalette);
}

Bytes ThreePalettes() {
    Bytes palettes(96);
    for (size_t i = 0; i < palettes.size(); ++i) palettes[i] = static_cast<uint8_t>(i);
    return palettes;
}

TEST_F(LoadScreenFileTest, CompanionPaletteOfSr5AndSr7) {
    const struct {
        const char* picture;
        const char* palette;
        int32_t mode;
    } kCases[] = {
        {"a.Sr5", "a.pl5", kScreen5},
        {"b.sr7", "b.pl7", kScreen7},
        {"C.SR5", "C.PL5", kScreen5},  // found without regard to case
        {"d.SR7", "d.pl7", kScreen7},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.picture);
        Picture loaded;
        WriteBytes(Path(c.picture), CompressedBsave({0x05, 0x11}));
        WriteBytes(Path(c.palette), ThreePalettes());
        ASSERT_EQ(LoadScreenFileNamed(Path(c.picture).c_str(), &loaded), kLoadOk);
        EXPECT_EQ(loaded.screenMode, c.mode);
        EXPECT_EQ(loaded.paletteIndex, 2);
        EXPECT_EQ(loaded.filePaletteCount, 3);
        EXPECT_EQ(loaded.filePalettes[2].bytes[31], 95);
    }
}

// A compressed picture of `runs` times 256 bytes of 0x11.
Bytes CompressedRuns(int runs) {
    Bytes body;
    for (int i = 0; i < runs; ++i) body.insert(body.end(), {0x00, 0x00, 0x11});
    return CompressedBsave(body);
}

// Pictures that reach their palette table (30464 bytes past 0x76A0, 64256 past 0xFAA0), so that
// the internal slot is there to keep. Their tables are sixteen words 0x0111, which show no
// picture: they open in the standard palette, the table still selectable.
TEST_F(LoadScreenFileTest, Sr5WithoutPaletteFileKeepsTheInternalSlot) {
    WriteBytes(Path("lone.sr5"), CompressedRuns(119));
    WriteBytes(Path("lone.pl7"), ThreePalettes());  // the wrong companion
    ASSERT_EQ(LoadScreenFileNamed(Path("lone.sr5").c_str(), &picture), kLoadOk);
    EXPECT_EQ(picture.paletteIndex, kPaletteStandard);
    EXPECT_NE(GetPaletteSlot(picture, kPaletteInternal), nullptr);
    EXPECT_EQ(picture.filePaletteCount, 0);
}

TEST_F(LoadScreenFileTest, Sr8AndSrsBringNoPaletteFile) {
    for (const char* name : {"e.sr8", "e.srs"}) {
        Picture loaded;
        WriteBytes(Path(name), CompressedRuns(251));
        WriteBytes(Path("e.pl5"), ThreePalettes());
        WriteBytes(Path("e.pl8"), ThreePalettes());
        ASSERT_EQ(LoadScreenFileNamed(Path(name).c_str(), &loaded), kLoadOk);
        EXPECT_EQ(loaded.paletteIndex, kPaletteStandard) << name;
        EXPECT_NE(GetPaletteSlot(loaded, kPaletteInternal), nullptr) << name;
        EXPECT_EQ(loaded.filePaletteCount, 0) << name;
        EXPECT_EQ(loaded.screenMode, std::string(name) == "e.sr8" ? kScreen8 : kScreen12);
    }
}

// A stored palette table whose sixteen words are all equal shows every colour code alike: the
// picture opens in the standard palette and the table stays selectable. Words compare as the
// V9938 reads them (0x0777 of each), and it takes one differing word to keep the table.
TEST_F(LoadScreenFileTest, PaletteTablesThatCannotShowAPicture) {
    const struct {
        const char* name;
        Bytes table;  // 32 bytes
        bool opensInTable;
    } kCases[] = {
        {"sixteen zero words", Bytes(32, 0x00), false},
        {"32 bytes of 0x33", Bytes(32, 0x33), false},
        {"32 bytes of 0x77", Bytes(32, 0x77), false},
        {"equal once unused bits are masked",
         {0x33, 0x03, 0xB3, 0xF3, 0x33, 0x0B, 0xBB, 0x83, 0x33, 0x03, 0x33, 0x03, 0x33, 0x03,
          0x33, 0x03, 0x33, 0x03, 0x33, 0x03, 0x33, 0x03, 0x33, 0x03, 0x33, 0x03, 0x33, 0x03,
          0x33, 0x03, 0x33, 0x03},
         false},
        {"the last word differs", [] { Bytes t(32, 0x33); t[31] = 0x04; return t; }(), true},
        {"the first word differs", [] { Bytes t(32, 0x11); t[0] = 0x10; return t; }(), true},
        {"the power-on palette",
         Bytes(kStandardPalette.bytes, kStandardPalette.bytes + 32), true},
    };
    const struct {
        const char* file;
        size_t table;
    } kFiles[] = {{"t.sc5", 0x7680}, {"t.sc8", 0xFA80}};
    for (const auto& f : kFiles) {
        for (const auto& c : kCases) {
            SCOPED_TRACE(std::string(f.file) + ": " + c.name);
            Bytes body(f.table + 32, 0x5A);
            std::copy(c.table.begin(), c.table.end(), body.begin() + static_cast<long>(f.table));
            WriteBytes(Path(f.file), PlainBsave(0, static_cast<uint16_t>(body.size() - 1), body));
            Picture loaded;
            ASSERT_EQ(LoadScreenFileNamed(Path(f.file).c_str(), &loaded), kLoadOk);
            EXPECT_EQ(loaded.paletteIndex, c.opensInTable ? kPaletteInternal : kPaletteStandard);
            EXPECT_TRUE(SelectPaletteSlot(&loaded, kPaletteInternal));
            EXPECT_EQ(0, std::memcmp(CurrentPalette(loaded).bytes, c.table.data(), 32));
        }
    }
}

// Raw dumps are cut in the pages SET PAGE shows: 32 KiB in SCREEN 5 and 6, 64 KiB from SCREEN 7.
TEST(LoadRawVramBytes, PagesAndTheirBytes) {
    const struct {
        size_t size;
        ScreenMode mode;
        int32_t pages;
        int32_t lastPageBytes;
    } kCases[] = {
        {1, kScreen5, 1, 1},           {0x8000, kScreen5, 1, 0x8000}, {0x8001, kScreen6, 2, 1},
        {0x20000, kScreen5, 4, 0x8000}, {0x8001, kScreen8, 1, 0x8001}, {0x40000, kScreen10, 4, 0x10000},
        {0x30000 + 20000, kScreen12, 4, 20000},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.size << " bytes, mode " << c.mode);
        Bytes dump(c.size);
        for (size_t i = 0; i < dump.size(); ++i) dump[i] = static_cast<uint8_t>(i * 7 + i / 4096);
        EXPECT_EQ(RawPageCount(dump.size(), c.mode), c.pages);
        Picture picture;
        ASSERT_TRUE(LoadRawVramBytes(dump.data(), dump.size(), c.mode, c.pages - 1, &picture));
        EXPECT_EQ(picture.dataSize, c.lastPageBytes);
        EXPECT_EQ(picture.screenMode, c.mode);
        const size_t start = static_cast<size_t>(c.pages - 1) * RawPageBytes(c.mode);
        EXPECT_EQ(0, std::memcmp(picture.data.data(), dump.data() + start,
                                 static_cast<size_t>(c.lastPageBytes)));
        Picture untouched;
        untouched.dataSize = 77;
        EXPECT_FALSE(LoadRawVramBytes(dump.data(), dump.size(), c.mode, c.pages, &untouched));
        EXPECT_FALSE(LoadRawVramBytes(dump.data(), dump.size(), c.mode, -1, &untouched));
        EXPECT_EQ(untouched.dataSize, 77);
    }
    Picture empty;
    ASSERT_TRUE(LoadRawVramBytes(nullptr, 0, kScreen8, 0, &empty));
    EXPECT_EQ(empty.dataSize, 0);
}

}  // namespace
