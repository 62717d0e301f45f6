// YJK encoding (V9958: SCREEN 12, and SCREEN 10/11 with YAE palette pixels).
//
// A group of four pixels shares J and K; each pixel has its own Y. The colours come from the
// renderer's own relations on 5-bit levels, blue rounded with + 2:
//   R = Y + J,  G = Y + K,  B = (5Y - 2J - K + 2) >> 2, each clamped to 0..31.
// For each group the encoder tries the (J, K) pairs around the group's estimate and, for each
// pixel, the Y values around the best one for that pair, and keeps the group encoding whose
// rendered colours are nearest in OKLab. In SCREEN 10/11 bit 3 of a byte (Y's lowest bit) is the
// attribute: YJK pixels have even Y, and a pixel shows palette colour b >> 4 instead where that
// is strictly nearer.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "import/import_internal.h"

namespace import_detail {

namespace {

int Clamp31(int v) { return v < 0 ? 0 : v > 31 ? 31 : v; }

// floor(a / 4) for negative a too.
int FloorQuarter(int a) { return a >= 0 ? a / 4 : -((3 - a) / 4); }

// The rendered colour's key (5-bit levels, red << 10 | green << 5 | blue).
int RenderedKey(int y, int j, int k) {
    return Clamp31(y + j) << 10 | Clamp31(y + k) << 5 | Clamp31(FloorQuarter(5 * y - 2 * j - k + 2));
}

float Clamp01(float v) { return v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v; }

// A 5-bit level widened to 8 bits as the renderer does.
uint8_t Widen(int n) { return static_cast<uint8_t>(n << 3 | n >> 2); }

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

}  // namespace

void EncodeYjk(const uint8_t* rgb, const std::vector<Choice>* palette, DitherMode dither,
               uint8_t* vram, std::vector<uint8_t>* inexact) {
    if (inexact != nullptr) inexact->assign(static_cast<size_t>(256) * kImportHeight, 0);
    // Every colour a YJK pixel can show, in OKLab and linear light: 32768 5-bit RGB triples.
    std::vector<Lab> labs(32768);
    std::vector<Linear> linears(32768);
    for (int key = 0; key < 32768; ++key) {
        const uint8_t c[3] = {Widen(key >> 10), Widen((key >> 5) & 31), Widen(key & 31)};
        linears[static_cast<size_t>(key)] = SrgbToLinearColour(c);
        labs[static_cast<size_t>(key)] = LinearToLab(linears[static_cast<size_t>(key)]);
    }
    const bool yae = palette != nullptr;
    const int yStep = yae ? 2 : 1;
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
            Pixel px[4];
            float meanJ = 0, meanK = 0;
            for (int i = 0; i < 4; ++i) {
                const int32_t x = x0 + i;
                const uint8_t* p = rgb + 3 * (static_cast<size_t>(line) * width + x);
                const float* e = here + 3 * (x + 4);
                Pixel& q = px[i];
                q.want = {SrgbToLinear(p[0]), SrgbToLinear(p[1]), SrgbToLinear(p[2])};
                if (dither == kDitherDiffusion) {
                    q.want = {Clamp01(q.want.r + e[0]), Clamp01(q.want.g + e[1]), Clamp01(q.want.b + e[2])};
                } else if (dither == kDitherOrdered) {
                    const float offset = BayerOffset(x, line) * 40.0f;
                    uint8_t d[3];
                    for (int c = 0; c < 3; ++c) {
                        const float v = p[c] + offset;
                        d[c] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v + 0.5f);
                    }
                    q.want = SrgbToLinearColour(d);
                }
                q.lab = LinearToLab(q.want);
                const float channels[3] = {q.want.r, q.want.g, q.want.b};
                for (int c = 0; c < 3; ++c) q.level[c] = LinearToSrgb(channels[c]) * (31.0f / 255.0f);
                // The Y that J and K of the pixel itself would need: Y = R/4 + G/8 + B/2.
                const float y = q.level[0] / 4 + q.level[1] / 8 + q.level[2] / 2;
                meanJ += q.level[0] - y;
                meanK += q.level[1] - y;
                q.palette = -1;
                q.paletteDistance = 1e30f;
                if (yae) {
                    for (size_t m = 0; m < palette->size(); ++m) {
                        const float d = Distance(q.lab, (*palette)[m].lab);
                        if (d < q.paletteDistance) {
                            q.paletteDistance = d;
                            q.palette = static_cast<int>(m);
                        }
                    }
                }
            }
            const int centreJ = static_cast<int>(std::lround(meanJ / 4));
            const int centreK = static_cast<int>(std::lround(meanK / 4));

            GroupCode best;
            float bestError = 1e30f;
            int bestOffset = 0;  // ties go to the pair nearest the estimate
            bool allPalette = true;
            // One (J, K) pair for the group: each pixel's best Y (among those around its least
            // squares estimate, or all of them) or its palette colour.
            auto tryPair = [&](int j, int k, bool everyY) {
                GroupCode code;
                code.j = j;
                code.k = k;
                float total = 0;
                bool onlyPalette = true;
                for (int i = 0; i < 4 && total <= bestError; ++i) {
                    const Pixel& q = px[i];
                    // Least squares of R = Y + J, G = Y + K, B = (5Y - 2J - K) / 4 for Y.
                    const float estimate = ((q.level[0] - j) + (q.level[1] - k) +
                                            1.25f * (q.level[2] + (2.0f * j + k) / 4)) / (2 + 1.5625f);
                    int lo = everyY ? 0 : static_cast<int>(std::floor(estimate)) - 2;
                    if (yae) lo &= ~1;
                    const int hi = everyY ? 31 : lo + 5;
                    float pixelBest = 1e30f;
                    int pixelY = 0;
                    for (int y = lo; y <= hi; y += yStep) {
                        if (y < 0 || y > 31) continue;
                        const float d = Distance(q.lab, labs[static_cast<size_t>(RenderedKey(y, j, k))]);
                        if (d < pixelBest) {
                            pixelBest = d;
                            pixelY = y;
                        }
                    }
                    code.y[i] = pixelY;
                    if (yae && q.paletteDistance < pixelBest) {
                        code.palette[i] = q.palette;
                        code.error[i] = q.paletteDistance;
                    } else {
                        onlyPalette = false;
                        code.error[i] = pixelBest;
                    }
                    total += code.error[i];
                }
                const int offset = std::abs(j - centreJ) + std::abs(k - centreK);
                if (total < bestError || (total == bestError && offset < bestOffset)) {
                    bestError = total;
                    bestOffset = offset;
                    best = code;
                    allPalette = onlyPalette;
                }
            };
            for (int j = centreJ - 3; j <= centreJ + 3; ++j) {
                if (j < -32 || j > 31) continue;
                for (int k = centreK - 3; k <= centreK + 3; ++k) {
                    if (k < -32 || k > 31) continue;
                    tryPair(j, k, false);
                }
            }
            // Colours that YJK may show exactly (all four on 5-bit levels, as in a rendered YJK
            // picture) but not with a pair near the estimate, which clamping can mislead: every
            // pair that shows one of the pixels exactly is tried. Photos almost never get here.
            bool onLevels = bestError > 0;
            for (int i = 0; i < 4 && onLevels; ++i) {
                for (int c = 0; c < 3; ++c) {
                    const int n = static_cast<int>(std::lround(px[i].level[c]));
                    onLevels = onLevels && Widen(n) == LinearToSrgb(c == 0 ? px[i].want.r : c == 1 ? px[i].want.g : px[i].want.b);
                }
            }
            // The pairs that show pixel i exactly with some Y: J = R - Y and K = G - Y inside the
            // range, any J or K beyond Y at a clamped end (0 or 31), and the blue that follows.
            struct PixelLevels {
                int r, g, b;
            };
            auto levelsOf = [&](int i) {
                return PixelLevels{static_cast<int>(std::lround(px[i].level[0])),
                                   static_cast<int>(std::lround(px[i].level[1])),
                                   static_cast<int>(std::lround(px[i].level[2]))};
            };
            auto pairRange = [](int level, int y, int* lo, int* hi) {
                *lo = std::max(level == 0 ? -32 : level - y, -32);
                *hi = std::min(level == 31 ? 31 : level - y, 31);
            };
            // From the pixel with the fewest such pairs; clamped colours can have thousands, and
            // a group of only those is left to the search above.
            int from = -1;
            long fewest = 4096;
            for (int i = 0; i < 4 && onLevels; ++i) {
                if (px[i].paletteDistance == 0) continue;  // shown exactly by the palette anyway
                const PixelLevels v = levelsOf(i);
                long count = 0;
                for (int y = 0; y < 32; y += yStep) {
                    int jLo, jHi, kLo, kHi;
                    pairRange(v.r, y, &jLo, &jHi);
                    pairRange(v.g, y, &kLo, &kHi);
                    if (jHi >= jLo && kHi >= kLo) count += long{jHi - jLo + 1} * (kHi - kLo + 1);
                }
                if (count < fewest) {
                    fewest = count;
                    from = i;
                }
            }
            if (from >= 0) {
                const PixelLevels v = levelsOf(from);
                for (int y = 0; y < 32 && bestError > 0; y += yStep) {
                    int jLo, jHi, kLo, kHi;
                    pairRange(v.r, y, &jLo, &jHi);
                    pairRange(v.g, y, &kLo, &kHi);
                    for (int j = jLo; j <= jHi; ++j) {
                        for (int k = kLo; k <= kHi; ++k) {
                            if (Clamp31(FloorQuarter(5 * y - 2 * j - k + 2)) == v.b) tryPair(j, k, true);
                        }
                    }
                }
            }
            if (allPalette) best.j = best.k = 0;  // J and K unused: zero

            // The bytes: K bits 2-0, K bits 5-3, J bits 2-0, J bits 5-3 in the low bits.
            const int low[4] = {best.k & 7, (best.k >> 3) & 7, best.j & 7, (best.j >> 3) & 7};
            uint8_t* out = vram + static_cast<size_t>(line) * 256 + x0;
            for (int i = 0; i < 4; ++i) {
                if (inexact != nullptr && best.error[i] > 1e-9f) {
                    (*inexact)[static_cast<size_t>(line) * 256 + x0 + i] = 1;
                }
                Linear got;
                if (best.palette[i] >= 0) {
                    out[i] = static_cast<uint8_t>(best.palette[i] << 4 | 0x08 | low[i]);
                    got = (*palette)[static_cast<size_t>(best.palette[i])].linear;
                } else {
                    out[i] = static_cast<uint8_t>(best.y[i] << 3 | low[i]);
                    got = linears[static_cast<size_t>(RenderedKey(best.y[i], best.j, best.k))];
                }
                if (dither != kDitherDiffusion) continue;
                // Floyd-Steinberg with the group as the unit along the line: the share for the
                // next pixel goes to the same place in the next group, in the scan direction.
                const int32_t x = x0 + i;
                const float err[3] = {px[i].want.r - got.r, px[i].want.g - got.g, px[i].want.b - got.b};
                const int32_t step = forward ? 1 : -1;
                for (int c = 0; c < 3; ++c) {
                    here[3 * (x + 4 + 4 * step) + c] += err[c] * (7.0f / 16);
                    below[3 * (x + 4 - step) + c] += err[c] * (3.0f / 16);
                    below[3 * (x + 4) + c] += err[c] * (5.0f / 16);
                    below[3 * (x + 4 + step) + c] += err[c] * (1.0f / 16);
                }
            }
        }
    }
}

}  // namespace import_detail
