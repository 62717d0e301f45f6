// Shared by the fuzz targets: the invariants the rest of the program relies on, checked after
// every operation, and scratch files for the loaders (which read by name).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/picture.h"
#include "palette/palette.h"
#include "render/display.h"

#define FUZZ_CHECK(condition)                                                              \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

// The picture's capacity rule, the ranges of its fields, and a selected palette slot that is
// always available (every operation applies the fallback itself).
inline void CheckPictureInvariants(const Picture& picture) {
    FUZZ_CHECK(picture.screenMode >= 0 && picture.screenMode < kScreenModeCount);
    FUZZ_CHECK(picture.paletteIndex >= 0 && picture.paletteIndex < kPaletteSlotCount);
    FUZZ_CHECK(picture.filePaletteCount >= 0 && picture.filePaletteCount <= kMaxFilePalettes);
    FUZZ_CHECK(GetPaletteSlot(picture, picture.paletteIndex) != nullptr);
    if (picture.data.empty()) return;  // nothing loaded yet
    const size_t capacity = picture.data.size();
    FUZZ_CHECK(capacity >= 0x6A00);
    FUZZ_CHECK(capacity % 256 == 0);
    FUZZ_CHECK(capacity >= static_cast<size_t>(picture.dataSize));
    FUZZ_CHECK(capacity >= static_cast<size_t>(picture.imageSize));
    FUZZ_CHECK(picture.dataSize >= 0 && picture.dataSize <= 0x10000);
    FUZZ_CHECK(picture.imageSize >= 0 && picture.imageSize <= 0xD400);
}

// The display bitmap's size and width match the mode it was built for.
inline void CheckDisplayInvariants(const Picture& picture, const DisplayBitmap& bitmap) {
    CheckPictureInvariants(picture);
    FUZZ_CHECK(!bitmap.Empty());
    uint32_t expected = 0;
    size_t extra = 0;  // the half-width view's BITMAPINFO after the file image
    switch (picture.screenMode) {
        case kScreen5: expected = 27254; break;                // GRAPHIC4
        case kScreen6: case kScreen7: expected = 54390; extra = 40 + 1024; break;  // GRAPHIC5, 6
        case kScreen8: expected = 55350; break;                // GRAPHIC7
        case kScreen10: case kScreen12: expected = 162870; break;  // YJK
        case kScreen1: case kScreen2: case kScreen3: case kScreen4: expected = 24694; break;  // 192 lines
        default: FUZZ_CHECK(false);
    }
    FUZZ_CHECK(bitmap.FileSize() == expected);
    FUZZ_CHECK(bitmap.buffer.size() == 2 + expected + extra);
    FUZZ_CHECK(bitmap.Width() == ScreenModeOf(picture.screenMode).width);
    FUZZ_CHECK(bitmap.Height() == ScreenModeOf(picture.screenMode).lines);
}

// A folder of this process's own for the files a target writes.
inline std::string FuzzScratch() {
    static std::string dir;
    if (dir.empty()) {
        char name[] = "/tmp/vramoria-fuzz-XXXXXX";
        if (mkdtemp(name) == nullptr) std::abort();
        dir = name;
    }
    return dir;
}

inline void WriteScratch(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
}
