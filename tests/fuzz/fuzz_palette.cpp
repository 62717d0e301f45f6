// Palette files of any size and content, and the slot rules around them.
#include <algorithm>
#include <cstring>

#include "image/picture.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Picture picture;
    if (picture.data.empty()) AllocateVram(&picture, 30368);  // SCREEN 5 with its palette table
    const std::string path = FuzzScratch() + "/p.pl5";
    WriteScratch(path, data, size);
    const Picture before = picture;
    const PaletteFileResult result = OpenPaletteFile(&picture, path.c_str());
    // The palettes' bytes: after a plain BSAVE header whose range is 32 * n bytes (at most the
    // range), else the whole file.
    size_t offset = 0;
    size_t body = size;
    if (size >= 7 && data[0] == 0xFE) {
        const size_t start = data[1] | data[2] << 8, end = data[3] | data[4] << 8;
        if (end >= start && (end - start + 1) % 32 == 0) {
            offset = 7;
            body = std::min(size - 7, end - start + 1);
        }
    }
    if (body < static_cast<size_t>(kPaletteBytes)) {
        // No palette file: the palettes and the selection stay as they were.
        FUZZ_CHECK(result == kPaletteFileTooShort);
        FUZZ_CHECK(picture.filePaletteCount == before.filePaletteCount);
        FUZZ_CHECK(picture.paletteIndex == before.paletteIndex);
    } else {
        FUZZ_CHECK(result == kPaletteFileLoaded);
        FUZZ_CHECK(picture.filePaletteCount == static_cast<int32_t>(std::min<size_t>(body, 256) / 32));
        FUZZ_CHECK(picture.paletteIndex == kPaletteFileFirst);
        FUZZ_CHECK(std::memcmp(picture.filePalettes[0].bytes, data + offset, 32) == 0);
    }
    for (int32_t slot = 0; slot < kPaletteSlotCount; ++slot) {
        const MsxPalette* p = GetPaletteSlot(picture, slot);
        if (slot >= kPaletteFileFirst) {
            FUZZ_CHECK((p != nullptr) == (slot - 2 < picture.filePaletteCount));
        }
        if (p != nullptr) {
            uint8_t quads[64];
            PaletteToRgbQuads(*p, quads);
            for (int n = 0; n < 16; ++n) FUZZ_CHECK(quads[4 * n + 3] == 0);
        }
    }
    CheckDisplayInvariants(picture, BuildDisplayBitmap(picture));
    return 0;
}
