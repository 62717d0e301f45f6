// YJK encoding (V9958: SCREEN 12, and SCREEN 10/11 with YAE palette pixels).
//
// A group of four pixels shares J and K; each pixel has its own Y. The colours come from the
// renderer's own relations on 5-bit levels (YjkToLevels, render/yjk.h), blue rounded with + 2:
//   R = Y + J,  G = Y + K,  B = (5Y - 2J - K + 2) >> 2, each clamped to 0..31.
// For each group the encoder tries the (J, K) pairs around the group's estimate and, for each
// pixel, the Y values around the best one for that pair, and keeps the group encoding whose
// rendered colours are nearest in sRGB. With error diffusion each pixel's Y is then chosen again
// in scan order, taking the error of the pixel before it. In SCREEN 10/11 bit 3 of a byte (Y's lowest bit) is the
// attribute: YJK pixels have even Y, and a pixel shows palette colour b >> 4 instead where that
// is strictly nearer.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "import/import_internal.h"
#include "render/yjk.h"

namespace import_detail {

namespace {

// The rendered colour's key (5-bit levels, red << 10 | green << 5 | blue).
int RenderedKey(int y, int j, int k) {
    const YjkLevels v = YjkToLevels(y, j, k);
    return v.red << 10 | v.green << 5 | v.blue;
}

float Clamp01(float v) { return v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v; }

// The space the search measures distances in: sRGB, 0..1 a channel, as for the palette modes.
// (OKLab, tried, weighs the errors of dark pixels far above what they add to the light the eye
// averages: beside a black border it dims a group's bright pixels to keep the dark ones dark,
// and lost 2.6 dB of the blurred measure on the benchmark's pictures.)
Lab SearchSpace(const Linear& c) {
    return Lab{static_cast<float>(SrgbEncode(Clamp01(c.r))), static_cast<float>(SrgbEncode(Clamp01(c.g))),
               static_cast<float>(SrgbEncode(Clamp01(c.b)))};
}

// Every colour a YJK pixel can show, in the search space and linear light, indexed by RenderedKey: 32768
// 5-bit RGB triples widened to 8 bits as the renderer does.
struct ShownColours {
    std::vector<Lab> labs;
    std::vector<Linear> linears;
};

ShownColours MakeShownColours() {
    ShownColours shown;
    shown.labs.resize(32768);
    shown.linears.resize(32768);
    for (int key = 0; key < 32768; ++key) {
        const uint8_t c[3] = {WidenYjkLevel(key >> 10), WidenYjkLevel((key >> 5) & 31),
                              WidenYjkLevel(key & 31)};
        shown.linears[static_cast<size_t>(key)] = SrgbToLinearColour(c);
        shown.labs[static_cast<size_t>(key)] = SearchSpace(shown.linears[static_cast<size_t>(key)]);
    }
    return shown;
}

struct Pixel {
    Linear want;
    Lab lab;
    float level[3];       // the wanted colour in 5-bit levels (sRGB / 255 * 31)
    int palette;          // SCREEN 10/11: nearest palette entry
    float paletteDistance;
};

struct GroupCode {
    int j = 0, k = 0;
    int y[4] = {0, 0, 0, 0};
    int palette[4] = {-1, -1, -1, -1};  // the palette entry a pixel shows, or -1
    float error[4] = {0, 0, 0, 0};      // each pixel's distance to what it wants
};

// The colour pixel (x, line) wants: its own, plus the error diffused to it (pending: its share
// of the errors, linear light) or the ordered dither's offset.
Linear WantedColour(const uint8_t* p, int32_t x, int32_t line, const float* pending,
                    DitherMode dither) {
    Linear want = {SrgbToLinear(p[0]), SrgbToLinear(p[1]), SrgbToLinear(p[2])};
    if (dither == kDitherDiffusion) {
        want = {Clamp01(want.r + pending[0]), Clamp01(want.g + pending[1]),
                Clamp01(want.b + pending[2])};
    } else if (dither == kDitherOrdered) {
        const float offset = BayerOffset(x, line) * kOrderedDitherAmplitude;
        uint8_t d[3];
        for (int c = 0; c < 3; ++c) {
            const float v = p[c] + offset;
            d[c] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v + 0.5f);
        }
        want = SrgbToLinearColour(d);
    }
    return want;
}

// A pixel to encode: its wanted colour in the spaces the search uses, and in SCREEN 10/11
// (palette not null) the nearest palette colour.
Pixel MakePixel(const Linear& want, const std::vector<Choice>* palette) {
    Pixel q;
    q.want = want;
    q.lab = SearchSpace(q.want);
    const float channels[3] = {q.want.r, q.want.g, q.want.b};
    for (int c = 0; c < 3; ++c) q.level[c] = LinearToSrgb(channels[c]) * (31.0f / 255.0f);
    q.palette = -1;
    q.paletteDistance = 1e30f;
    if (palette != nullptr) {
        for (size_t m = 0; m < palette->size(); ++m) {
            const float d = Distance(q.lab, (*palette)[m].lab);
            if (d < q.paletteDistance) {
                q.paletteDistance = d;
                q.palette = static_cast<int>(m);
            }
        }
    }
    return q;
}

// The search for one group's code: the best encoding found so far and what it is judged by.
struct GroupSearch {
    const Pixel* px;  // the group's four pixels
    const std::vector<Lab>* labs;
    bool yae;
    int centreJ, centreK;  // the group's estimate of J and K
    GroupCode best;
    float bestError = 1e30f;
    int bestOffset = 0;  // ties go to the pair nearest the estimate
    bool allPalette = true;
};

// The estimate of J and K: the means over the group of R - Y and G - Y, with the Y that J and
// K of each pixel itself would need, Y = R/4 + G/8 + B/2.
void EstimatePair(const Pixel px[4], int* centreJ, int* centreK) {
    float meanJ = 0, meanK = 0;
    for (int i = 0; i < 4; ++i) {
        const Pixel& q = px[i];
        const float y = q.level[0] / 4 + q.level[1] / 8 + q.level[2] / 2;
        meanJ += q.level[0] - y;
        meanK += q.level[1] - y;
    }
    *centreJ = static_cast<int>(std::lround(meanJ / 4));
    *centreK = static_cast<int>(std::lround(meanK / 4));
}

// The Y nearest to what pixel q wants with the pair (j, k), among those around its least
// squares estimate or (everyY) all of them; even Y only in SCREEN 10/11. Returns its distance.
float NearestY(const GroupSearch& s, const Pixel& q, int j, int k, bool everyY, int* nearestY) {
    // Least squares of R = Y + J, G = Y + K, B = (5Y - 2J - K) / 4 for Y.
    const float estimate = ((q.level[0] - j) + (q.level[1] - k) +
                            1.25f * (q.level[2] + (2.0f * j + k) / 4)) / (2 + 1.5625f);
    int lo = everyY ? 0 : static_cast<int>(std::floor(estimate)) - 2;
    if (s.yae) lo &= ~1;
    const int hi = everyY ? 31 : lo + 5;
    const int yStep = s.yae ? 2 : 1;
    float pixelBest = 1e30f;
    int pixelY = 0;
    for (int y = lo; y <= hi; y += yStep) {
        if (y < 0 || y > 31) continue;
        const float d = Distance(q.lab, (*s.labs)[static_cast<size_t>(RenderedKey(y, j, k))]);
        if (d < pixelBest) {
            pixelBest = d;
            pixelY = y;
        }
    }
    *nearestY = pixelY;
    return pixelBest;
}

// One (J, K) pair for the group: each pixel's best Y or its palette colour; kept when nearer
// than the best so far. A pair is given up as soon as its error passes the best one's.
void TryPair(GroupSearch* s, int j, int k, bool everyY) {
    GroupCode code;
    code.j = j;
    code.k = k;
    float total = 0;
    bool onlyPalette = true;
    for (int i = 0; i < 4 && total <= s->bestError; ++i) {
        const Pixel& q = s->px[i];
        const float pixelBest = NearestY(*s, q, j, k, everyY, &code.y[i]);
        if (s->yae && q.paletteDistance < pixelBest) {
            code.palette[i] = q.palette;
            code.error[i] = q.paletteDistance;
        } else {
            onlyPalette = false;
            code.error[i] = pixelBest;
        }
        total += code.error[i];
    }
    const int offset = std::abs(j - s->centreJ) + std::abs(k - s->centreK);
    if (total < s->bestError || (total == s->bestError && offset < s->bestOffset)) {
        s->bestError = total;
        s->bestOffset = offset;
        s->best = code;
        s->allPalette = onlyPalette;
    }
}

// The pairs within 3 of the estimate in J and in K.
void TryPairsNearEstimate(GroupSearch* s) {
    for (int j = s->centreJ - 3; j <= s->centreJ + 3; ++j) {
        if (j < -32 || j > 31) continue;
        for (int k = s->centreK - 3; k <= s->centreK + 3; ++k) {
            if (k < -32 || k > 31) continue;
            TryPair(s, j, k, false);
        }
    }
}

// A pixel's wanted colour as whole 5-bit levels.
struct PixelLevels {
    int r, g, b;
};

PixelLevels LevelsOf(const Pixel& q) {
    return PixelLevels{static_cast<int>(std::lround(q.level[0])),
                       static_cast<int>(std::lround(q.level[1])),
                       static_cast<int>(std::lround(q.level[2]))};
}

// Whether all four wanted colours lie on 5-bit levels, as in a rendered YJK picture.
bool OnLevels(const Pixel px[4]) {
    for (int i = 0; i < 4; ++i) {
        const float channels[3] = {px[i].want.r, px[i].want.g, px[i].want.b};
        for (int c = 0; c < 3; ++c) {
            const int n = static_cast<int>(std::lround(px[i].level[c]));
            if (WidenYjkLevel(n) != LinearToSrgb(channels[c])) return false;
        }
    }
    return true;
}

// The J (or K) that show a red (or green) level with Y: level - Y inside the range, and any J
// beyond Y at a clamped end (0 or 31).
void PairRange(int level, int y, int* lo, int* hi) {
    *lo = std::max(level == 0 ? -32 : level - y, -32);
    *hi = std::min(level == 31 ? 31 : level - y, 31);
}

// The pixel with the fewest pairs that show it exactly, or -1 when each has 4096 or more
// (clamped colours can have thousands); pixels the palette shows exactly are left out.
int FewestPairsPixel(const Pixel px[4], int yStep) {
    int from = -1;
    long fewest = 4096;
    for (int i = 0; i < 4; ++i) {
        if (px[i].paletteDistance == 0) continue;  // shown exactly by the palette anyway
        const PixelLevels v = LevelsOf(px[i]);
        long count = 0;
        for (int y = 0; y < 32; y += yStep) {
            int jLo, jHi, kLo, kHi;
            PairRange(v.r, y, &jLo, &jHi);
            PairRange(v.g, y, &kLo, &kHi);
            if (jHi >= jLo && kHi >= kLo) count += long{jHi - jLo + 1} * (kHi - kLo + 1);
        }
        if (count < fewest) {
            fewest = count;
            from = i;
        }
    }
    return from;
}

// Colours that YJK may show exactly (all four on 5-bit levels) but not with a pair near the
// estimate, which clamping can mislead: every pair that shows one of the pixels exactly, from
// the pixel with the fewest such pairs, is tried with every Y. A group of only clamped colours
// is left to the search near the estimate. Photos almost never get here.
void TryExactPairs(GroupSearch* s) {
    if (!(s->bestError > 0) || !OnLevels(s->px)) return;
    const int yStep = s->yae ? 2 : 1;
    const int from = FewestPairsPixel(s->px, yStep);
    if (from < 0) return;
    const PixelLevels v = LevelsOf(s->px[from]);
    for (int y = 0; y < 32 && s->bestError > 0; y += yStep) {
        int jLo, jHi, kLo, kHi;
        PairRange(v.r, y, &jLo, &jHi);
        PairRange(v.g, y, &kLo, &kHi);
        for (int j = jLo; j <= jHi; ++j) {
            for (int k = kLo; k <= kHi; ++k) {
                if (YjkToLevels(y, j, k).blue == v.b) TryPair(s, j, k, true);
            }
        }
    }
}

// The group's four bytes at out, and (inexact not null) its pixels not shown exactly marked
// from mark on; got receives the colours shown.
void StoreGroup(const GroupCode& best, const std::vector<Choice>* palette,
                const ShownColours& shown, uint8_t* out, uint8_t* mark, Linear got[4]) {
    // The bytes: K bits 2-0, K bits 5-3, J bits 2-0, J bits 5-3 in the low bits.
    const int low[4] = {best.k & 7, (best.k >> 3) & 7, best.j & 7, (best.j >> 3) & 7};
    for (int i = 0; i < 4; ++i) {
        if (mark != nullptr && best.error[i] > 1e-9f) mark[i] = 1;
        if (best.palette[i] >= 0) {
            out[i] = static_cast<uint8_t>(best.palette[i] << 4 | 0x08 | low[i]);
            got[i] = (*palette)[static_cast<size_t>(best.palette[i])].linear;
        } else {
            out[i] = static_cast<uint8_t>(best.y[i] << 3 | low[i]);
            got[i] = shown.linears[static_cast<size_t>(RenderedKey(best.y[i], best.j, best.k))];
        }
    }
}

// Floyd-Steinberg, pixel by pixel in the scan direction, once the group's pair is chosen (from
// the colours its pixels wanted before any of them was coded): each pixel in turn takes the
// errors of the pixel before it, then the Y (or palette colour) nearest to what it now wants,
// and passes its own error on as usual. here and below: the pending errors of this line and the
// next, 4 pixels of margin on either side.
void RecodeInScanOrder(const uint8_t* rgb, int32_t x0, bool forward, const std::vector<Choice>* palette,
                       const ShownColours& shown, GroupCode* code, Pixel px[4], float* here, float* below) {
    const int32_t step = forward ? 1 : -1;
    GroupSearch s;
    s.labs = &shown.labs;
    s.yae = palette != nullptr;
    for (int n = 0; n < 4; ++n) {
        const int i = forward ? n : 3 - n;
        const int32_t x = x0 + i;
        px[i] = MakePixel(WantedColour(rgb + 3 * i, x, 0, here + 3 * (x + 4), kDitherDiffusion), palette);
        const float d = NearestY(s, px[i], code->j, code->k, true, &code->y[i]);
        Linear got = shown.linears[static_cast<size_t>(RenderedKey(code->y[i], code->j, code->k))];
        code->palette[i] = -1;
        code->error[i] = d;
        if (s.yae && px[i].paletteDistance < d) {
            code->palette[i] = px[i].palette;
            code->error[i] = px[i].paletteDistance;
            got = (*palette)[static_cast<size_t>(px[i].palette)].linear;
        }
        const float err[3] = {px[i].want.r - got.r, px[i].want.g - got.g, px[i].want.b - got.b};
        for (int c = 0; c < 3; ++c) {
            here[3 * (x + 4 + step) + c] += err[c] * (7.0f / 16);
            below[3 * (x + 4 - step) + c] += err[c] * (3.0f / 16);
            below[3 * (x + 4) + c] += err[c] * (5.0f / 16);
            below[3 * (x + 4 + step) + c] += err[c] * (1.0f / 16);
        }
    }
}

// The best code for a group of four pixels: the pairs near its estimate, then where needed the
// pairs that show its colours exactly. J and K are zero in a group of palette pixels only.
GroupCode EncodeGroup(const Pixel px[4], const ShownColours& shown, bool yae) {
    GroupSearch s;
    s.px = px;
    s.labs = &shown.labs;
    s.yae = yae;
    EstimatePair(px, &s.centreJ, &s.centreK);
    TryPairsNearEstimate(&s);
    TryExactPairs(&s);
    if (s.allPalette) s.best.j = s.best.k = 0;  // J and K unused: zero
    return s.best;
}

// The group's pixels (px) and their best code. The ordered dither's offsets apply only to a
// group that YJK cannot show exactly as it is: a colour the mode shows is never dithered.
GroupCode EncodeOwnColours(const uint8_t* rgb, int32_t x0, int32_t line, const float* here, DitherMode dither,
                           const std::vector<Choice>* palette, const ShownColours& shown, Pixel px[4]) {
    const bool yae = palette != nullptr;
    for (int i = 0; i < 4; ++i) {
        const DitherMode first = dither == kDitherOrdered ? kDitherNone : dither;
        px[i] = MakePixel(WantedColour(rgb + 3 * i, x0 + i, line, here + 3 * (x0 + i + 4), first), palette);
    }
    GroupCode best = EncodeGroup(px, shown, yae);
    const bool exact = best.error[0] == 0 && best.error[1] == 0 && best.error[2] == 0 && best.error[3] == 0;
    if (dither != kDitherOrdered || exact) return best;
    for (int i = 0; i < 4; ++i) {
        px[i] = MakePixel(WantedColour(rgb + 3 * i, x0 + i, line, here + 3 * (x0 + i + 4), dither), palette);
    }
    return EncodeGroup(px, shown, yae);
}

}  // namespace

void EncodeYjk(const uint8_t* rgb, const std::vector<Choice>* palette, DitherMode dither,
               uint8_t* vram, std::vector<uint8_t>* inexact) {
    if (inexact != nullptr) inexact->assign(static_cast<size_t>(256) * kImportHeight, 0);
    const ShownColours shown = MakeShownColours();
    const bool yae = palette != nullptr;
    // The palette as the search compares it: its colours in the search's space.
    std::vector<Choice> searched = yae ? *palette : std::vector<Choice>();
    for (Choice& c : searched) c.lab = SearchSpace(c.linear);
    const std::vector<Choice>* searchedPalette = yae ? &searched : nullptr;
    const int32_t width = 256;
    std::vector<float> errors(static_cast<size_t>(width + 8) * 6, 0.0f);  // two lines, 4 px margins

    for (int32_t line = 0; line < kImportHeight; ++line) {
        float* here = errors.data() + static_cast<size_t>(line & 1) * (width + 8) * 3;
        float* below = errors.data() + static_cast<size_t>((line + 1) & 1) * (width + 8) * 3;
        std::fill(below, below + (width + 8) * 3, 0.0f);
        const bool forward = (line & 1) == 0;
        for (int32_t n = 0; n < 64; ++n) {
            const int32_t group = forward ? n : 63 - n;
            const int32_t x0 = 4 * group;
            const size_t at = static_cast<size_t>(line) * width + x0;
            Pixel px[4];
            GroupCode best = EncodeOwnColours(rgb + 3 * at, x0, line, here, dither, searchedPalette, shown, px);
            if (dither == kDitherDiffusion) {
                RecodeInScanOrder(rgb + 3 * at, x0, forward, searchedPalette, shown, &best, px, here, below);
            }
            Linear got[4];
            StoreGroup(best, palette, shown, vram + at,
                       inexact != nullptr ? inexact->data() + at : nullptr, got);
        }
    }
}

}  // namespace import_detail
