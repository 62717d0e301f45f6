// bench/import's helper: imports one picture into one mode as the converter will, and writes
// what the comparison needs.
//
//   vramoria_import_tool INPUT MODE DITHER RENDERED.png FITTED.png
//
// MODE is 5, 6, 7, 8, 10 or 12; DITHER none, ordered or diffusion. FITTED.png is the picture
// fitted to the mode's pixels (the reference), RENDERED.png the imported picture as the viewer
// shows it at full size. Prints the thread CPU time of the import (fitting included) in ms.
#include <time.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "convert/image_decode.h"
#include "convert/import.h"
#include "image/vram.h"
#include "palette/palette.h"
#include "platform/png.h"
#include "render/display.h"
#include "render/view.h"

namespace {

double ThreadMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

bool WritePng(const char* path, const uint8_t* rgb, int32_t width, int32_t height) {
    std::vector<uint8_t> png;
    if (!EncodePngRgb(rgb, width, height, &png)) return false;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s INPUT MODE none|ordered|diffusion RENDERED.png FITTED.png\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    RgbImage image;
    std::string error;
    if (!DecodeImage(file.data(), file.size(), &image, &error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    const std::string modeName = argv[2];
    const char* const kModes[] = {"5", "6", "7", "8", "10", "12"};
    int mode = -1;
    for (int m = 0; m < kScreenModeCount; ++m) {
        if (modeName == kModes[m]) mode = m;
    }
    const std::string ditherName = argv[3];
    DitherMode dither = ditherName == "none" ? kDitherNone : ditherName == "ordered" ? kDitherOrdered : kDitherDiffusion;
    if (mode < 0 || (ditherName != "none" && ditherName != "ordered" && ditherName != "diffusion")) {
        std::fprintf(stderr, "bad mode or dither\n");
        return 2;
    }
    const ScreenMode screen = static_cast<ScreenMode>(mode);

    const double start = ThreadMilliseconds();
    const std::vector<uint8_t> fitted =
        FitImage(image.rgb.data(), image.width, image.height, ImportWidth(screen), kFitContain);
    const std::vector<uint8_t> vram = ImportFitted(fitted.data(), screen, dither);
    const double elapsed = ThreadMilliseconds() - start;

    // Shown as the viewer shows it: the picture's own palette where it has one.
    uint8_t* data = AllocateVram(static_cast<int32_t>(vram.size()));
    std::memcpy(data, vram.data(), vram.size());
    screenMode = mode;
    paletteIndex = PaletteTablePresent() ? kPaletteInternal : kPaletteStandard;
    RebuildDisplayBitmap();
    std::vector<uint8_t> rendered(static_cast<size_t>(ViewWidth(kViewFull)) * ViewHeight(kViewFull) * 3);
    RenderView(kViewFull, rendered.data());
    if (!WritePng(argv[4], rendered.data(), ViewWidth(kViewFull), ViewHeight(kViewFull)) ||
        !WritePng(argv[5], fitted.data(), ImportWidth(screen), kImportHeight)) {
        std::fprintf(stderr, "cannot write the PNG files\n");
        return 1;
    }
    std::printf("%.1f\n", elapsed);
    return 0;
}
