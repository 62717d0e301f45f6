// Shared by the fuzz targets: the invariants the rest of the program relies on, checked after
// every operation, and scratch files for the loaders (which read by name).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/vram.h"
#include "palette/palette.h"
#include "render/display.h"

#define FUZZ_CHECK(condition)                                                              \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

// The image store's capacity rule and the palette selection's range.
inline void CheckStoreInvariants() {
    if (vramImage.data == nullptr) return;
    FUZZ_CHECK(vramImage.capacity >= 0x6A00);
    FUZZ_CHECK(vramImage.capacity % 256 == 0);
    FUZZ_CHECK(vramImage.capacity >= vramImage.dataSize);
    FUZZ_CHECK(vramImage.capacity >= vramImage.imageSize);
    FUZZ_CHECK(vramImage.dataSize >= 0 && vramImage.dataSize <= 0x10000);
    FUZZ_CHECK(vramImage.imageSize >= 0 && vramImage.imageSize <= 0xD400);
    FUZZ_CHECK(screenMode >= 0 && screenMode < kScreenModeCount);
    FUZZ_CHECK(paletteIndex >= 0 && paletteIndex < kPaletteSlotCount);
    FUZZ_CHECK(filePaletteCount >= 0 && filePaletteCount <= kMaxFilePalettes);
}

// The display bitmap's size and conversion table match the mode it was built for.
inline void CheckDisplayInvariants() {
    CheckStoreInvariants();
    FUZZ_CHECK(displayBitmap != nullptr);
    uint32_t expected = 0;
    switch (screenMode) {
        case kScreen5: expected = 27254; break;                // GRAPHIC4
        case kScreen6: case kScreen7: expected = 54390; break;  // GRAPHIC5, GRAPHIC6
        case kScreen8: expected = 55350; break;                // GRAPHIC7
        case kScreen10: case kScreen12: expected = 162870; break;  // YJK
        default: FUZZ_CHECK(false);
    }
    FUZZ_CHECK(DisplayBitmapFileSize() == expected);
    FUZZ_CHECK((conversionTable & ~kMenuStatesRefreshed) == ConversionTableForMode(screenMode));
    FUZZ_CHECK(GetPaletteSlot(paletteIndex) != nullptr);  // the build applied the fallback
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
