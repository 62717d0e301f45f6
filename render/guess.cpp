// Mode by content (see guess.h).
#include "render/guess.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "render/display.h"
#include "render/view.h"

namespace {

// The lines a picture's bytes reach in a mode: all of a pattern mode's, a bitmap mode's as far
// as dataSize goes (lines beyond are black in every reading and would only dilute the measure).
int32_t LinesHeld(const Picture& picture, ScreenMode mode) {
    const ScreenModeInfo& info = ScreenModeOf(mode);
    if (IsPatternMode(mode)) return info.lines;
    const int32_t held = (picture.dataSize + info.bytesPerLine - 1) / info.bytesPerLine;
    return held < info.lines ? held : info.lines;
}

struct Reading {
    double roughness = 0;  // PictureRoughness
    double spread = 0;     // the mean distance of a pixel's brightness from the mean, 0-255
};

Reading Read(const Picture& picture, ScreenMode mode) {
    Picture reading = picture;
    SelectScreenMode(&reading, mode);
    const DisplayBitmap bitmap = BuildDisplayBitmap(reading);
    const int32_t width = ViewWidth(bitmap, kViewFull);
    const int32_t height = ViewHeight(bitmap, kViewFull);
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    RenderView(bitmap, kViewFull, rgb.data());
    // Every reading measured at 512 pixels a line: a 256-wide picture's pixels count twice
    // across, as the doubled pane shows them, once with a neighbour of the same colour.
    const int32_t across = 512 / width;
    const int32_t lines = LinesHeld(picture, mode);
    if (lines < 2) return Reading{};
    // Brightness as the eye weighs the channels, in integers: (2R + 5G + B) / 8.
    std::vector<int32_t> luma(static_cast<size_t>(width) * lines);
    for (size_t i = 0; i < luma.size(); ++i) {
        luma[i] = (2 * rgb[3 * i] + 5 * rgb[3 * i + 1] + rgb[3 * i + 2]) / 8;
    }
    int64_t sum = 0;
    int64_t pairs = 0;
    for (int32_t y = 0; y < lines; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const int32_t here = luma[static_cast<size_t>(y) * width + x];
            if (x + 1 < width) sum += std::abs(here - luma[static_cast<size_t>(y) * width + x + 1]);
            if (y + 1 < lines) sum += across * std::abs(here - luma[static_cast<size_t>(y + 1) * width + x]);
            pairs += (x + 1 < width ? across : 0) + (y + 1 < lines ? across : 0);
        }
    }
    double mean = 0;
    for (const int32_t v : luma) mean += v;
    mean /= static_cast<double>(luma.size());
    double spread = 0;
    for (const int32_t v : luma) spread += std::fabs(v - mean);
    return Reading{static_cast<double>(sum) / static_cast<double>(pairs), spread / static_cast<double>(luma.size())};
}

// What the small modes are compared by: SCREEN 5, 6 and 2 read the same palette table, and a
// SCREEN 6 reading shows only four of its colours, so it can be smooth only because it is dull.
// Their roughness is taken relative to the square root of the reading's spread of brightness
// (a dithered SCREEN 5 ramp reads rougher than its bytes as SCREEN 6, but not relatively).
double SmallModeScore(const Reading& r) { return r.roughness / std::sqrt(r.spread + 1.0); }

}  // namespace

double PictureRoughness(const Picture& picture, ScreenMode mode) { return Read(picture, mode).roughness; }

ScreenMode GuessScreenMode(const Picture& picture) {
    static const ScreenMode kLarge[] = {kScreen7, kScreen8, kScreen10, kScreen12};
    static const ScreenMode kSmall[] = {kScreen5, kScreen6, kScreen2};
    const bool large = picture.dataSize > 0x8000;
    const ScreenMode* candidates = large ? kLarge : kSmall;
    const int32_t count = large ? 4 : picture.dataSize <= 0x4000 ? 3 : 2;
    auto score = [&](ScreenMode mode) {
        const Reading r = Read(picture, mode);
        return large ? r.roughness : SmallModeScore(r);
    };
    ScreenMode best = candidates[0];
    double least = score(best);
    for (int32_t i = 1; i < count; ++i) {
        const double roughness = score(candidates[i]);
        if (roughness < least) {
            least = roughness;
            best = candidates[i];
        }
    }
    return best;
}
