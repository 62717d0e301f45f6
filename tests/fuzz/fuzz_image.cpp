// The PNG and BMP readers on arbitrary bytes: each input decodes to a picture of the size it
// claims, within the limits, or is refused with a message; a small picture is then imported.
//
// Input: byte 0 = 255 asks for an import too (the input's last byte then picks the screen mode, fit
// and dither), the rest is the file.
#include "codec/bmp.h"
#include "import/import.h"
#include "platform/image_read.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // A picture within the limits but of more than 512 x 512 pixels only costs time: its rows
    // are filled from a few bytes of input, and at a few a second the fuzzer explores nothing.
    // Claims past the limits (ClaimedImage counts 0 pixels for them) still run, as their refusal
    // is what is tested.
    if (ClaimedImage(data + 1, size - 1).pixels > (uint64_t{1} << 18)) return 0;
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
    FUZZ_CHECK(image.pixelAspect >= 1.0 / 8 && image.pixelAspect <= 8.0);
    // An import makes a whole 256 x 212 picture however small the input, a hundred times the
    // work of decoding one: one input in 256 (first byte 255) keeps the target at hundreds of
    // inputs a second.
    if (data[0] == 255 && static_cast<int64_t>(image.width) * image.height <= 4096) {
        const uint8_t pick = data[size - 1];
        const ScreenMode mode = static_cast<ScreenMode>(pick % kBitmapModeCount);
        const ImportOptions options{static_cast<FitMode>(pick / 6 % 3),
                                    static_cast<DitherMode>(pick / 18 % 3)};
        const std::vector<uint8_t> vram =
            ImportImage(image.rgb.data(), image.width, image.height, mode, options, image.pixelAspect);
        FUZZ_CHECK(vram.size() == static_cast<size_t>(ImportBytes(mode)));
    }
    return 0;
}
