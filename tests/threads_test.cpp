// Two pictures on two threads at once: the core keeps no state of its own, so each thread's
// results are those of the same work done alone.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "convert/convert.h"
#include "image/bsave.h"
#include "image/picture.h"
#include "render/display.h"
#include "render/view.h"
#include "render/yjk.h"
#include "tests/test_support.h"

namespace {

// Varied bytes for a picture, its palette table included.
Bytes Noise(size_t size, uint32_t seed) {
    Bytes bytes(size);
    for (uint8_t& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 16);
    }
    return bytes;
}

// Everything a job produced, in order: display bitmaps, views, BSAVE images, decoded rows.
using Results = std::vector<Bytes>;

void KeepDisplay(const Picture& picture, Results* results) {
    const DisplayBitmap bitmap = BuildDisplayBitmap(picture);
    results->push_back(Bytes(bitmap.buffer.begin(), bitmap.buffer.end()));
    Bytes rgb(static_cast<size_t>(ViewWidth(bitmap, kViewLarge)) * ViewHeight(bitmap, kViewLarge) * 3);
    RenderView(bitmap, kViewLarge, rgb.data());
    results->push_back(rgb);
}

void KeepBsave(const Picture& picture, Results* results) {
    Bytes image(static_cast<size_t>(BsaveFileSize(picture.screenMode)));
    BuildBsaveImage(picture, image.data());
    results->push_back(image);
}

// Every line of a YJK picture through the table decoder, whose colour table is built on first
// use: two threads reaching it at once race for it.
void KeepTableDecodedRows(const Picture& picture, Results* results) {
    Bytes rows(212 * 768);
    const uint8_t colours[64] = {};
    for (int32_t line = 0; line < 212; ++line) {
        DecodeYjkRowWith(kYjkTable, picture.data.data() + 256 * line, rows.data() + 768 * line,
                         picture.screenMode == kScreen10, colours);
    }
    results->push_back(rows);
}

// From bytes: a SCREEN 6 picture with its palette, shown, converted to SCREEN 10/11 (YAE),
// shown and saved.
Results Screen6FromBytes() {
    Results results;
    const Bytes file = PlainBsave(0, 0x769F, Noise(30368, 6));
    Picture picture;
    if (LoadBsaveBytes(file.data(), file.size(), &picture) != kLoadOk) return results;
    SelectScreenMode(&picture, kScreen6);
    SelectPaletteSlot(&picture, kPaletteInternal);
    KeepDisplay(picture, &results);
    if (!ConvertToMode(&picture, kScreen10)) return results;
    KeepDisplay(picture, &results);
    KeepBsave(picture, &results);
    KeepTableDecodedRows(picture, &results);
    return results;
}

// From a file: a SCREEN 7 picture, shown, converted to SCREEN 8, saved, then read as SCREEN 12
// (YJK) and shown.
Results Screen7FromFile(const std::string& path) {
    Results results;
    Picture picture;
    if (LoadScreenFileNamed(path.c_str(), &picture) != kLoadOk) return results;
    KeepDisplay(picture, &results);
    if (!ConvertToMode(&picture, kScreen8)) return results;
    KeepDisplay(picture, &results);
    KeepBsave(picture, &results);
    SelectScreenMode(&picture, kScreen12);
    KeepDisplay(picture, &results);
    KeepTableDecodedRows(picture, &results);
    return results;
}

TEST(TwoThreads, TwoPicturesAtOnceGiveTheSingleThreadedResults) {
    const std::string path = ScratchDir("two-threads") + "/pic.sc7";
    WriteBytes(path, PlainBsave(0, 0xFA9F, Noise(64160, 7)));

    // The threads first, while the lazily built tables are still unbuilt (ctest runs each test
    // in a process of its own).
    constexpr int kRounds = 3;
    std::vector<Results> first(kRounds), second(kRounds);
    std::thread one([&] {
        for (Results& r : first) r = Screen6FromBytes();
    });
    std::thread two([&] {
        for (Results& r : second) r = Screen7FromFile(path);
    });
    one.join();
    two.join();

    const Results alone6 = Screen6FromBytes();
    const Results alone7 = Screen7FromFile(path);
    ASSERT_EQ(alone6.size(), 6u);
    ASSERT_EQ(alone7.size(), 8u);
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(first[round].size(), alone6.size());
        ASSERT_EQ(second[round].size(), alone7.size());
        for (size_t i = 0; i < alone6.size(); ++i) EXPECT_TRUE(first[round][i] == alone6[i]) << i;
        for (size_t i = 0; i < alone7.size(); ++i) EXPECT_TRUE(second[round][i] == alone7[i]) << i;
    }
}

}  // namespace
