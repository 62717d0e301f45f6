// A random sequence of the viewer's commands on a picture: mode selection, palette selection,
// palette files, every conversion, the display build and the save image, with the invariants
// checked after each.
//
// Input: byte 0 picks the initial mode, bytes 1-2 the length n of the picture bytes that follow
// (loaded as a BSAVE file), then one command per byte; a palette-file command takes its size
// and that many bytes from the input. At most 64 commands run, so that each input stays quick.
#include <vector>

#include "convert/convert.h"
#include "image/bsave.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    size_t n = static_cast<size_t>(data[1] | data[2] << 8);
    size_t p = 3;
    if (n > size - p) n = size - p;
    Picture picture;
    if (LoadBsaveBytes(data + p, n, &picture) != kLoadOk) return 0;
    p += n;
    picture.paletteIndex = kPaletteInternal;
    picture.screenMode = static_cast<ScreenMode>(data[0] % kScreenModeCount);
    ApplyPaletteFallback(&picture);
    DisplayBitmap bitmap = BuildDisplayBitmap(picture);
    CheckDisplayInvariants(picture, bitmap);
    std::vector<uint8_t> image(0x10000);
    for (int count = 0; p < size && count < 64; ++count) {
        uint8_t command = data[p++];
        switch (command % 5) {
            case 0:  // F5..F12: reinterpret
                SelectScreenMode(&picture, (command >> 3) % kScreenModeCount);
                break;
            case 1:  // 0-9: palette slot, ignored when unavailable
                SelectPaletteSlot(&picture, (command >> 3) % kPaletteSlotCount);
                break;
            case 2: {  // Ctrl+L: a palette file
                size_t bytes = command >> 3;  // up to 31 palettes' worth of a partial file
                bytes = bytes * 11;
                if (bytes > size - p) bytes = size - p;
                LoadPaletteBytes(&picture, data + p, bytes);
                p += bytes;
                break;
            }
            case 3: {  // Ctrl+F5..F12: convert (does nothing when not offered)
                int32_t target = (command >> 3) % kScreenModeCount;
                const ScreenMode before = picture.screenMode;
                bool offered = ConversionCode(before, target) != 0;
                FUZZ_CHECK(ConvertToMode(&picture, target) == offered);
                FUZZ_CHECK(picture.screenMode == (offered ? target : static_cast<int32_t>(before)));
                break;
            }
            case 4: {  // Ctrl+S: the save image
                int32_t bytes = BuildBsaveImage(picture, image.data());
                FUZZ_CHECK(bytes == BsaveFileSize(picture.screenMode));
                FUZZ_CHECK(image[0] == 0xFE);
                break;
            }
        }
        // Every operation leaves the picture valid on its own, before any rebuild.
        CheckPictureInvariants(picture);
        bitmap = BuildDisplayBitmap(picture);
        CheckDisplayInvariants(picture, bitmap);
    }
    return 0;
}
