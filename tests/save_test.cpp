// BSAVE saving: the file image of each mode, the palette it carries, the round trip through the
// loader, and writing that never destroys an existing file.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include "convert/convert.h"
#include "image/bsave.h"
#include "image/picture.h"
#include "palette/palette.h"
#include "platform/platform.h"
#include "platform/testing.h"
#include "render/display.h"
#include "tests/test_support.h"

namespace {

Bytes SaveImage(const Picture& picture) {
    Bytes out(static_cast<size_t>(BsaveFileSize(picture.screenMode)), 0xEE);
    int32_t n = BuildBsaveImage(picture, out.data());
    EXPECT_EQ(n, static_cast<int32_t>(out.size()));
    return out;
}

Bytes Slice(const Bytes& b, size_t from, size_t count) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from),
                 b.begin() + static_cast<std::ptrdiff_t>(from + count));
}

Bytes PaletteBytes(const MsxPalette& p) { return Bytes(p.bytes, p.bytes + sizeof p.bytes); }

struct LayoutCase {
    int32_t mode;
    int32_t fileSize;       // L + 39
    uint8_t endLow, endHigh;  // L + 31
};

// L = 0x7680 (30336) for SCREEN 5 and 6, 0xFA80 (64128) for the rest.
const LayoutCase kLayouts[] = {
    {kScreen5, 30375, 0x9F, 0x76}, {kScreen6, 30375, 0x9F, 0x76},
    {kScreen7, 64167, 0x9F, 0xFA}, {kScreen8, 64167, 0x9F, 0xFA},
    {kScreen10, 64167, 0x9F, 0xFA}, {kScreen12, 64167, 0x9F, 0xFA},
};

// Short (100, 101 bytes) and long (all 64 KiB) pictures in every mode.
TEST(BuildBsaveImage, SizesAndLayoutPerMode) {
    for (const LayoutCase& c : kLayouts) {
        for (int32_t dataSize : {100, 101, 30368, 0x10000}) {
            SCOPED_TRACE(std::string(ScreenModeOf(c.mode).name) + ", " + std::to_string(dataSize));
            Picture picture;
            uint8_t* data = AllocateVram(&picture, dataSize);
            // Every byte the buffer holds is non-zero, even past dataSize: only min(dataSize, L)
            // rounded up to 4 may reach the file.
            for (int32_t a = 0; a < static_cast<int32_t>(picture.data.size()); ++a) data[a] = static_cast<uint8_t>(a % 251 + 1);
            picture.screenMode = static_cast<ScreenMode>(c.mode);
            picture.paletteIndex = kPaletteStandard;
            Bytes file = SaveImage(picture);
            const int32_t L = c.fileSize - 39;
            ASSERT_EQ(BsaveFileSize(c.mode), c.fileSize);
            ASSERT_EQ(static_cast<int32_t>(file.size()), c.fileSize);
            EXPECT_EQ(Slice(file, 0, 7), (Bytes{0xFE, 0, 0, c.endLow, c.endHigh, 0, 0}));
            int32_t copied = std::min((dataSize + 3) & ~3, L);
            EXPECT_EQ(Slice(file, 7, static_cast<size_t>(copied)), Bytes(data, data + copied));
            for (int32_t a = copied; a < L; ++a) ASSERT_EQ(file[7 + a], 0) << a;
            EXPECT_EQ(Slice(file, 7 + static_cast<size_t>(L), 32), PaletteBytes(kStandardPalette));
        }
    }
}

// The palette table carries whichever palette is selected.
TEST(BuildBsaveImage, EachPaletteSlot) {
    Picture picture;
    uint8_t* data = AllocateVram(&picture, 30368);
    picture.screenMode = kScreen5;
    for (int i = 0; i < 32; ++i) data[0x7680 + i] = static_cast<uint8_t>(0x40 + i);
    Bytes internal(data + 0x7680, data + 0x76A0);
    Bytes file(8 * 32);
    for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i * 3);
    LoadPaletteBytes(&picture, file.data(), file.size());
    for (int32_t slot = 0; slot < kPaletteSlotCount; ++slot) {
        SCOPED_TRACE(slot);
        picture.paletteIndex = slot;
        Bytes expected = slot == kPaletteStandard   ? PaletteBytes(kStandardPalette)
                         : slot == kPaletteInternal ? internal
                                                    : Slice(file, 32 * static_cast<size_t>(slot - 2), 32);
        EXPECT_EQ(Slice(SaveImage(picture), 7 + 0x7680, 32), expected);
    }
    // An unavailable slot saves the power-on palette.
    LoadPaletteBytes(&picture, file.data(), 64);
    picture.paletteIndex = 5;
    EXPECT_EQ(Slice(SaveImage(picture), 7 + 0x7680, 32), PaletteBytes(kStandardPalette));
}

TEST(BuildBsaveImage, LongScreen5PictureDropsWhatLiesPastThePaletteTable) {
    // BSAVE of VRAM 0x0000..0x7FFF: 0x76A0.. dropped, 0x7680.. the current palette.
    Bytes body(0x8000);
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>(i * 13 + 5);
    Picture picture;
    ASSERT_EQ(LoadBsaveBytes(PlainBsave(0, 0x7FFF, body).data(), body.size() + 7, &picture), kLoadOk);
    picture.screenMode = kScreen5;
    picture.paletteIndex = kPaletteStandard;
    Bytes file = SaveImage(picture);
    EXPECT_EQ(Slice(file, 7, 0x7680), Slice(body, 0, 0x7680));
    EXPECT_EQ(Slice(file, 7 + 0x7680, 32), PaletteBytes(kStandardPalette));
}

// What BASIC's BSAVE "PIC.SC5",0,&H769F,S writes comes back byte for byte with the internal
// palette, apart from the execution address, which is always written as 0.
TEST(BuildBsaveImage, LoadThenSaveWithTheInternalPaletteReturnsTheBytes) {
    for (const LayoutCase& c : kLayouts) {
        SCOPED_TRACE(ScreenModeOf(c.mode).name);
        const int32_t L = c.fileSize - 39;
        Bytes body(static_cast<size_t>(L + 32));
        for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>(i * 7 + (i >> 9));
        Bytes original = PlainBsave(0, static_cast<uint16_t>(L + 31), body);
        original[5] = 0x34;  // an execution address
        original[6] = 0x12;
        Picture picture;
        ASSERT_EQ(LoadBsaveBytes(original.data(), original.size(), &picture), kLoadOk);
        picture.screenMode = static_cast<ScreenMode>(c.mode);
        picture.paletteIndex = kPaletteInternal;
        Bytes saved = SaveImage(picture);
        original[5] = original[6] = 0;
        EXPECT_EQ(saved, original);
    }
}

// After SCREEN 5 -> 7 the save is a SCREEN 7 file: its extension and its 64167-byte layout.
TEST(SaveScreenFileTo, ConversionThenSaveWritesTheTargetLayout) {
    std::string dir = ScratchDir("save-after-convert");
    Bytes body(30368);
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>(i * 5);
    WriteBytes(dir + "/pic.sc5", PlainBsave(0, 0x769F, body));
    Picture picture;
    ASSERT_EQ(LoadScreenFileNamed((dir + "/pic.sc5").c_str(), &picture), kLoadOk);
    ASSERT_TRUE(ConvertToMode(&picture, kScreen7));
    EXPECT_STREQ(ScreenModeOf(picture.screenMode).saveExtension, "sc7");
    std::string out = dir + "/pic." + ScreenModeOf(picture.screenMode).saveExtension;
    ASSERT_EQ(SaveScreenFileTo(picture, out.c_str(), nullptr, 0), kWriteOk);
    Bytes saved = ReadBytes(out);
    ASSERT_EQ(saved.size(), 64167u);
    EXPECT_EQ(Slice(saved, 0, 7), (Bytes{0xFE, 0, 0, 0x9F, 0xFA, 0, 0}));
    // Pixel pairs doubled: source byte 1 (0x05) becomes 0x00 0x55 at addresses 2, 3.
    EXPECT_EQ(Slice(saved, 7 + 2, 2), (Bytes{0x00, 0x55}));
    // The picture's own palette, moved to 0xFA80 and still selected.
    EXPECT_EQ(Slice(saved, 7 + 0xFA80, 32), Slice(body, 0x7680, 32));

    // Loaded back it is a SCREEN 7 picture with the same bytes.
    Picture loaded;
    ASSERT_EQ(LoadScreenFileNamed(out.c_str(), &loaded), kLoadOk);
    EXPECT_EQ(loaded.screenMode, kScreen7);
    EXPECT_EQ(loaded.dataSize, 64160);
    EXPECT_EQ(Bytes(loaded.data.begin(), loaded.data.begin() + 0xFA80),
              Bytes(picture.data.begin(), picture.data.begin() + 0xFA80));
}

TEST(SaveScreenFileTo, ReplacesAnExistingFileAndLeavesNoTemporaryFile) {
    std::string dir = ScratchDir("save-replace");
    std::string target = dir + "/out.sc5";
    WriteBytes(target, Bytes(100000, 0x55));
    Picture picture;
    AllocateVram(&picture, 27136);
    picture.screenMode = kScreen5;
    ASSERT_EQ(SaveScreenFileTo(picture, target.c_str(), nullptr, 0), kWriteOk);
    EXPECT_EQ(ReadBytes(target), SaveImage(picture));
    size_t entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
}

TEST(SaveScreenFileTo, FailuresNameTheOperationAndTouchNothing) {
    std::string dir = ScratchDir("save-fail");
    Picture picture;
    AllocateVram(&picture, 27136);
    picture.screenMode = kScreen5;
    char reason[128] = "";
    // A folder that does not exist: no file can be created.
    EXPECT_EQ(SaveScreenFileTo(picture, (dir + "/missing/out.sc5").c_str(), reason, sizeof reason),
              kWriteCreateFailed);
    EXPECT_STREQ(WriteResultOperation(kWriteCreateFailed), "CreateFile");
    EXPECT_NE(reason[0], '\0');
    EXPECT_FALSE(FileExists(dir + "/missing"));
    // A folder where the file should go is left as it is.
    std::filesystem::create_directory(dir + "/taken.sc5");
    EXPECT_EQ(SaveScreenFileTo(picture, (dir + "/taken.sc5").c_str(), nullptr, 0), kWriteCreateFailed);
    EXPECT_TRUE(std::filesystem::is_directory(dir + "/taken.sc5"));
    EXPECT_STREQ(WriteResultOperation(kWriteWriteFailed), "WriteFile");
    EXPECT_STREQ(WriteResultOperation(kWriteAllocFailed), "HeapAlloc");
}

// A save that runs out of room fails with "WriteFile" and leaves the user's existing file
// exactly as it was, with no temporary file beside it: through the platform's fault seam, and
// on POSIX also for real, with a file size limit that makes write() fail as a full disk does.
TEST(SaveScreenFileTo, FailedWriteLeavesTheExistingFileUntouched) {
    std::string dir = ScratchDir("save-full");
    std::string target = dir + "/keep.sc5";
    const Bytes precious(5000, 0xA5);
    WriteBytes(target, precious);
    Picture picture;
    AllocateVram(&picture, 27136);
    picture.screenMode = kScreen5;
    auto expectUntouched = [&](WriteResult result, const char* reason) {
        EXPECT_EQ(result, kWriteWriteFailed);
        EXPECT_NE(reason[0], '\0');
        EXPECT_EQ(ReadBytes(target), precious);
        size_t entries = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir)) {
            (void)e;
            ++entries;
        }
        EXPECT_EQ(entries, 1u);
    };

    char reason[128] = "";
    SetWriteFailureForTesting(20000);  // part of the 30375 bytes
    WriteResult result = SaveScreenFileTo(picture, target.c_str(), reason, sizeof reason);
    SetWriteFailureForTesting(-1);
    expectUntouched(result, reason);

#ifndef _WIN32
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    reason[0] = '\0';
    result = SaveScreenFileTo(picture, target.c_str(), reason, sizeof reason);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    expectUntouched(result, reason);
#endif
}

// The real pictures: every conversion each one offers, saved and loaded back in the target mode.
TEST(SaveScreenFileTo, RealPicturesConvertedSavedAndLoadedBack) {
    std::string shared = SharedPictures();
    if (shared.empty()) GTEST_SKIP() << "../shared/pictures is absent: real pictures not tested";
    std::string dir = ScratchDir("save-pictures");
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(shared)) {
        std::string name = e.path().filename().string();
        if (name.size() > 3 && name.substr(name.size() - 3) != ".md" && e.is_regular_file()) {
            names.push_back(name);
        }
    }
    ASSERT_FALSE(names.empty());
    int pairs = 0;
    for (const std::string& name : names) {
        std::string path = shared + "/" + name;
        for (int32_t target = 0; target < kScreenModeCount; ++target) {
            Picture picture;
            if (LoadScreenFileNamed(path.c_str(), &picture) != kLoadOk) break;  // e.g. a palette file
            int32_t source = picture.screenMode;
            if (ConversionCode(static_cast<ScreenMode>(source), target) == 0) continue;
            SCOPED_TRACE(name + " to " + ScreenModeOf(target).name);
            ASSERT_TRUE(ConvertToMode(&picture, target));
            Bytes expected(static_cast<size_t>(BsaveFileSize(target)));
            BuildBsaveImage(picture, expected.data());
            std::string out = dir + "/" + std::to_string(source) + "-" + name + "." +
                              ScreenModeOf(target).saveExtension;
            ASSERT_EQ(SaveScreenFileTo(picture, out.c_str(), nullptr, 0), kWriteOk);
            ASSERT_EQ(ReadBytes(out), expected);
            Picture loaded;
            ASSERT_EQ(LoadScreenFileNamed(out.c_str(), &loaded), kLoadOk);
            EXPECT_EQ(loaded.screenMode, target);
            EXPECT_EQ(loaded.dataSize, BsaveFileSize(target) - 7);
            // Saved again with its own (internal) palette it is the same file.
            EXPECT_EQ(loaded.paletteIndex, kPaletteInternal);
            EXPECT_EQ(SaveImage(loaded), expected);
            ++pairs;
        }
    }
    EXPECT_GT(pairs, 0);
}

}  // namespace
