// The PNG and BMP readers on arbitrary bytes: each input decodes to a picture of the size it
// claims, within the limits, or is refused with a message; a small picture is then imported.
//
// Input: byte 0 picks the screen mode, fit and dither of the import (240 and up only), the rest is the file.
#include "codec/bmp.h"
#include "import/import.h"
#include "platform/image_read.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    RgbImage image;
    std::string error;
    if (!DecodeImage(data + 1, size - 1, &image, &error)) {
        FUZZ_CHECK(!error.empty());
        FUZZ_CHECK(image.rgb.empty());
        return 0;
    }
    FUZZ_CHECK(image.width >= 1 && image.width <= kImageMaxSide);
    FUZZ_CHECK(image.height >= 1 && image.height <= kImageMaxSide);
    FUZZ_CHECK(image.rgb.size() == static_cast<size_t>(image.width) * image.height * 3);
    // Importing is slow beside decoding: a sixteenth of the inputs (first byte 240 and up).
    if (data[0] >= 240 && static_cast<int64_t>(image.width) * image.height <= 4096) {
        const ScreenMode mode = static_cast<ScreenMode>(data[0] % kBitmapModeCount);
        const ImportOptions options{static_cast<FitMode>(data[0] / 6 % 3),
                                    static_cast<DitherMode>(data[0] / 18 % 3)};
        const std::vector<uint8_t> vram =
            ImportImage(image.rgb.data(), image.width, image.height, mode, options);
        FUZZ_CHECK(vram.size() == static_cast<size_t>(ImportBytes(mode)));
    }
    return 0;
}
