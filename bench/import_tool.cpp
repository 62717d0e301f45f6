// bench/import's helper: imports one picture into one mode as the converter does, and writes
// what the comparison needs.
//
//   vramoria_import_tool INPUT MODE DITHER RENDERED.png FITTED.png
//   vramoria_import_tool --measure REFERENCE.png PICTURE.png
//   vramoria_import_tool --reference 5|8 FITTED.png OUT.png
//   vramoria_import_tool --round-levels IN.png OUT.png
//
// MODE is 5, 6, 7, 8, 10 or 12; DITHER none, ordered or diffusion. FITTED.png is the picture
// fitted to the mode's pixels (the reference), RENDERED.png the imported picture as the viewer
// shows it at full size. Prints the thread CPU time of the import (fitting included) in ms.
// --measure prints two pictures' PSNR in 8-bit sRGB (all three channels, 10 log10(255^2 /
// mean squared difference), in dB) and their blurred measure (import_reference.cpp).
// --reference writes a reference quantiser's result; --round-levels moves each channel of each
// pixel to the nearest 3-bit palette level.
#include <time.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/import_reference.h"
#include "codec/bmp.h"
#include "codec/png_write.h"
#include "image/picture.h"
#include "import/import.h"
#include "palette/palette.h"
#include "platform/image_read.h"
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

bool ReadImage(const char* path, RgbImage* image) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string error;
    if (DecodeImage(file.data(), file.size(), image, &error)) return true;
    std::fprintf(stderr, "%s: %s\n", path, error.c_str());
    return false;
}

bool ReadPicture(const char* path, RgbPicture* picture) {
    RgbImage image;
    if (!ReadImage(path, &image)) return false;
    *picture = {image.width, image.height, image.rgb};
    return true;
}

int MeasureCommand(const char* a, const char* b) {
    RgbPicture x, y;
    if (!ReadPicture(a, &x) || !ReadPicture(b, &y)) return 1;
    if (x.width != y.width || x.height != y.height) {
        std::fprintf(stderr, "%s and %s differ in size\n", a, b);
        return 1;
    }
    const BlurredScores s = Measure(x, y);
    std::printf("%.4f %.4f\n", s.plain, s.blurred);
    return 0;
}

int ReferenceCommand(const char* mode, const char* in, const char* out) {
    RgbPicture x;
    if (!ReadPicture(in, &x)) return 1;
    const std::vector<uint8_t> rgb = std::strcmp(mode, "5") == 0 ? ReferenceScreen5(x) : ReferenceScreen8(x);
    return WritePng(out, rgb.data(), x.width, x.height) ? 0 : 1;
}

int RoundLevelsCommand(const char* in, const char* out) {
    RgbPicture x;
    if (!ReadPicture(in, &x)) return 1;
    for (uint8_t& v : x.rgb) {
        int best = 0;
        for (int n = 1; n < 8; ++n) {
            if (std::abs(kLevelTable[n] - v) < std::abs(kLevelTable[best] - v)) best = n;
        }
        v = static_cast<uint8_t>(kLevelTable[best]);
    }
    return WritePng(out, x.rgb.data(), x.width, x.height) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--measure") == 0) return MeasureCommand(argv[2], argv[3]);
    if (argc == 5 && std::strcmp(argv[1], "--reference") == 0) return ReferenceCommand(argv[2], argv[3], argv[4]);
    if (argc == 4 && std::strcmp(argv[1], "--round-levels") == 0) return RoundLevelsCommand(argv[2], argv[3]);
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s INPUT MODE none|ordered|diffusion RENDERED.png FITTED.png\n", argv[0]);
        return 2;
    }
    RgbImage image;
    if (!ReadImage(argv[1], &image)) return 1;
    const std::string modeName = argv[2];
    const char* const kModes[] = {"5", "6", "7", "8", "10", "12"};
    int mode = -1;
    for (int m = 0; m < kBitmapModeCount; ++m) {
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
        FitImage(image.rgb.data(), image.width, image.height, ImportWidth(screen), kFitContain, image.pixelAspect,
                 FitColumnGroup(screen));
    const std::vector<uint8_t> vram = ImportFitted(fitted.data(), screen, dither);
    const double elapsed = ThreadMilliseconds() - start;

    // Shown as the viewer shows it: the picture's own palette where it has one.
    const DisplayBitmap bitmap = BuildDisplayBitmap(ImportedPicture(vram, screen));
    const int32_t width = ViewWidth(bitmap, kViewFull);
    std::vector<uint8_t> rendered(static_cast<size_t>(width) * ViewHeight(bitmap, kViewFull) * 3);
    RenderView(bitmap, kViewFull, rendered.data());
    if (!WritePng(argv[4], rendered.data(), width, ViewHeight(bitmap, kViewFull)) ||
        !WritePng(argv[5], fitted.data(), ImportWidth(screen), kImportHeight)) {
        std::fprintf(stderr, "cannot write the PNG files\n");
        return 1;
    }
    std::printf("%.1f\n", elapsed);
    return 0;
}
