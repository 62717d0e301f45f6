// Palette files of any size and content, and the slot rules around them.
#include "image/vram.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool loaded = false;
    if (!loaded) {
        AllocateVram(30368);  // a SCREEN 5 picture with its palette table
        loaded = true;
    }
    const std::string path = FuzzScratch() + "/p.pl5";
    WriteScratch(path, data, size);
    FUZZ_CHECK(LoadPaletteFile(path.c_str()));
    FUZZ_CHECK(paletteIndex == kPaletteFileFirst);
    FUZZ_CHECK(filePaletteCount == static_cast<int32_t>((size < 256 ? size : 256) / 32));
    for (int32_t slot = 0; slot < kPaletteSlotCount; ++slot) {
        const MsxPalette* p = GetPaletteSlot(slot);
        if (slot >= kPaletteFileFirst) FUZZ_CHECK((p != nullptr) == (slot - 2 < filePaletteCount));
        if (p != nullptr) {
            uint8_t quads[64];
            PaletteToRgbQuads(p, quads);
            for (int n = 0; n < 16; ++n) FUZZ_CHECK(quads[4 * n + 3] == 0);
        }
    }
    RebuildDisplayBitmap();
    CheckDisplayInvariants();
    return 0;
}
