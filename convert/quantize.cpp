// Palettes for the palette modes and the mapping of pixels onto a set of colours.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "convert/import_internal.h"
#include "palette/palette.h"

namespace import_detail {

namespace {

// The 3-bit level of an 8-bit value that is exactly a level-table entry, or -1.
int ExactLevel(uint8_t v) {
    for (int n = 0; n < 8; ++n) {
        if (kLevelTable[n] == v) return n;
    }
    return -1;
}

uint16_t WordOf(int red, int green, int blue) {
    return static_cast<uint16_t>(green << 8 | red << 4 | blue);
}

// The picture's own colours when there are at most count of them, all palette colours.
bool ExactPalette(const uint8_t* rgb, int32_t pixels, int32_t count, std::vector<Choice>* out) {
    std::vector<uint16_t> words;
    std::vector<bool> seen(512, false);
    for (int32_t i = 0; i < pixels; ++i) {
        const uint8_t* p = rgb + 3 * i;
        const int r = ExactLevel(p[0]), g = ExactLevel(p[1]), b = ExactLevel(p[2]);
        if (r < 0 || g < 0 || b < 0) return false;
        const int key = r << 6 | g << 3 | b;
        if (seen[static_cast<size_t>(key)]) continue;
        if (static_cast<int32_t>(words.size()) == count) return false;
        seen[static_cast<size_t>(key)] = true;
        words.push_back(WordOf(r, g, b));
    }
    while (static_cast<int32_t>(words.size()) < count) words.push_back(0);  // unused: black
    out->clear();
    for (uint16_t w : words) out->push_back(PaletteWordChoice(w));
    return true;
}

// A histogram cell: the pixels whose colours share their top four bits a channel.
struct Cell {
    float weight;
    Lab lab;  // of the cell's mean colour
};

std::vector<Cell> Histogram(const uint8_t* rgb, int32_t pixels) {
    std::vector<uint32_t> count(4096, 0);
    std::vector<uint32_t> sums(4096 * 3, 0);
    for (int32_t i = 0; i < pixels; ++i) {
        const uint8_t* p = rgb + 3 * i;
        const int key = (p[0] >> 4) << 8 | (p[1] >> 4) << 4 | p[2] >> 4;
        ++count[static_cast<size_t>(key)];
        for (int c = 0; c < 3; ++c) sums[static_cast<size_t>(3 * key + c)] += p[c];
    }
    std::vector<Cell> cells;
    for (int key = 0; key < 4096; ++key) {
        const uint32_t n = count[static_cast<size_t>(key)];
        if (n == 0) continue;
        Linear mean{};
        float* channels[3] = {&mean.r, &mean.g, &mean.b};
        for (int c = 0; c < 3; ++c) {
            const uint8_t v = static_cast<uint8_t>((sums[static_cast<size_t>(3 * key + c)] + n / 2) / n);
            *channels[c] = SrgbToLinear(v);
        }
        cells.push_back({static_cast<float>(n), LinearToLab(mean)});
    }
    return cells;
}

struct Assignment {
    std::vector<int> best;
    std::vector<float> bestDistance;
    std::vector<float> secondDistance;  // the nearest entry other than best
};

Assignment Assign(const std::vector<Cell>& cells, const std::vector<Lab>& entries) {
    Assignment a;
    a.best.resize(cells.size());
    a.bestDistance.resize(cells.size());
    a.secondDistance.resize(cells.size());
    for (size_t i = 0; i < cells.size(); ++i) {
        float d1 = 1e30f, d2 = 1e30f;
        int b = 0;
        for (size_t e = 0; e < entries.size(); ++e) {
            const float d = Distance(cells[i].lab, entries[e]);
            if (d < d1) {
                d2 = d1;
                d1 = d;
                b = static_cast<int>(e);
            } else if (d < d2) {
                d2 = d;
            }
        }
        a.best[i] = b;
        a.bestDistance[i] = d1;
        a.secondDistance[i] = d2;
    }
    return a;
}

float TotalError(const std::vector<Cell>& cells, const Assignment& a) {
    float total = 0;
    for (size_t i = 0; i < cells.size(); ++i) total += cells[i].weight * a.bestDistance[i];
    return total;
}

// The palette word nearest to a colour, among those not yet taken.
int NearestWord(const Lab& lab, const std::vector<Choice>& words, const std::vector<bool>& taken) {
    int best = -1;
    float bestDistance = 1e30f;
    for (size_t w = 0; w < words.size(); ++w) {
        if (taken[w]) continue;
        const float d = Distance(lab, words[w].lab);
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(w);
        }
    }
    return best;
}

}  // namespace

std::vector<Choice> ChoosePalette(const uint8_t* rgb, int32_t pixels, int32_t count) {
    std::vector<Choice> palette;
    if (ExactPalette(rgb, pixels, count, &palette)) return palette;

    // All 512 palette words, indexed by r << 6 | g << 3 | b.
    std::vector<Choice> words(512);
    for (int k = 0; k < 512; ++k) words[static_cast<size_t>(k)] = PaletteWordChoice(WordOf(k >> 6, (k >> 3) & 7, k & 7));

    const std::vector<Cell> cells = Histogram(rgb, pixels);
    // Seeds: the heaviest cell, then repeatedly the cell that is heaviest times its distance to
    // the nearest seed (deterministic farthest-point seeding).
    std::vector<Lab> centres;
    std::vector<float> nearest(cells.size(), 1e30f);
    size_t first = 0;
    for (size_t i = 1; i < cells.size(); ++i) {
        if (cells[i].weight > cells[first].weight) first = i;
    }
    centres.push_back(cells[first].lab);
    while (static_cast<int32_t>(centres.size()) < count && centres.size() < cells.size()) {
        size_t pick = 0;
        float pickScore = -1;
        for (size_t i = 0; i < cells.size(); ++i) {
            nearest[i] = std::min(nearest[i], Distance(cells[i].lab, centres.back()));
            const float score = cells[i].weight * nearest[i];
            if (score > pickScore) {
                pickScore = score;
                pick = i;
            }
        }
        centres.push_back(cells[pick].lab);
    }
    // Lloyd's iterations in OKLab.
    for (int round = 0; round < 16; ++round) {
        const Assignment a = Assign(cells, centres);
        std::vector<double> sum(centres.size() * 4, 0.0);
        for (size_t i = 0; i < cells.size(); ++i) {
            double* s = &sum[4 * static_cast<size_t>(a.best[i])];
            s[0] += cells[i].weight;
            s[1] += cells[i].weight * cells[i].lab.l;
            s[2] += cells[i].weight * cells[i].lab.a;
            s[3] += cells[i].weight * cells[i].lab.b;
        }
        for (size_t e = 0; e < centres.size(); ++e) {
            const double* s = &sum[4 * e];
            if (s[0] > 0) centres[e] = {static_cast<float>(s[1] / s[0]), static_cast<float>(s[2] / s[0]),
                                        static_cast<float>(s[3] / s[0])};
        }
    }
    // Snapped to distinct palette words, heaviest clusters first choosing.
    std::vector<bool> taken(512, false);
    std::vector<int> chosen;
    for (const Lab& c : centres) {
        const int w = NearestWord(c, words, taken);
        taken[static_cast<size_t>(w)] = true;
        chosen.push_back(w);
    }
    // Refinement on the words themselves: move an entry one level up or down in any channels
    // while that lowers the weighted error of the histogram.
    std::vector<Lab> labs;
    for (int w : chosen) labs.push_back(words[static_cast<size_t>(w)].lab);
    Assignment a = Assign(cells, labs);
    float total = TotalError(cells, a);
    for (int pass = 0; pass < 4; ++pass) {
        bool improved = false;
        for (size_t e = 0; e < chosen.size(); ++e) {
            const int w = chosen[e];
            const int r = w >> 6, g = (w >> 3) & 7, b = w & 7;
            for (int d = 0; d < 27; ++d) {
                const int nr = r + d % 3 - 1, ng = g + d / 3 % 3 - 1, nb = b + d / 9 - 1;
                if (d == 13 || nr < 0 || nr > 7 || ng < 0 || ng > 7 || nb < 0 || nb > 7) continue;
                const int candidate = nr << 6 | ng << 3 | nb;
                if (taken[static_cast<size_t>(candidate)]) continue;
                const Lab& lab = words[static_cast<size_t>(candidate)].lab;
                float trial = 0;
                for (size_t i = 0; i < cells.size(); ++i) {
                    const float here = Distance(cells[i].lab, lab);
                    const float rest = a.best[i] == static_cast<int>(e) ? a.secondDistance[i] : a.bestDistance[i];
                    trial += cells[i].weight * std::min(here, rest);
                }
                if (trial < total * 0.99999f) {
                    taken[static_cast<size_t>(chosen[e])] = false;
                    taken[static_cast<size_t>(candidate)] = true;
                    chosen[e] = candidate;
                    labs[e] = lab;
                    a = Assign(cells, labs);
                    total = TotalError(cells, a);
                    improved = true;
                    break;  // the next entry; this one may move again in the next pass
                }
            }
        }
        if (!improved) break;
    }
    for (int w : chosen) palette.push_back(words[static_cast<size_t>(w)]);
    while (static_cast<int32_t>(palette.size()) < count) palette.push_back(PaletteWordChoice(0));
    return palette;
}

namespace {

int Nearest(const Lab& lab, const std::vector<Choice>& choices) {
    int best = 0;
    float bestDistance = 1e30f;
    for (size_t i = 0; i < choices.size(); ++i) {
        const float d = Distance(lab, choices[i].lab);
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

float Clamp01(float v) { return v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v; }

}  // namespace

std::vector<uint8_t> MapToChoices(const uint8_t* rgb, int32_t width, const std::vector<Choice>& choices,
                                  DitherMode dither) {
    const int32_t height = kImportHeight;
    std::vector<uint8_t> index(static_cast<size_t>(width) * height);
    switch (dither) {
        case kDitherNone:
        case kDitherOrdered:
            for (int32_t y = 0; y < height; ++y) {
                for (int32_t x = 0; x < width; ++x) {
                    const size_t i = static_cast<size_t>(y) * width + x;
                    const uint8_t* p = rgb + 3 * i;
                    Lab lab;
                    if (dither == kDitherNone) {
                        lab = SrgbToLab(p);
                    } else {
                        // A threshold of about half the level table's step, in sRGB.
                        const float offset = BayerOffset(x, y) * 40.0f;
                        uint8_t q[3];
                        for (int c = 0; c < 3; ++c) {
                            const float v = p[c] + offset;
                            q[c] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v + 0.5f);
                        }
                        lab = SrgbToLab(q);
                    }
                    index[i] = static_cast<uint8_t>(Nearest(lab, choices));
                }
            }
            break;
        case kDitherDiffusion: {
            // Floyd-Steinberg in linear light, serpentine: even lines left to right, odd lines
            // right to left. 85 % of each error is passed on: the full error makes more noise
            // than it removes with these few, widely spaced colours (measured with bench/import:
            // about +0.5 dB PSNR for SCREEN 5 and 8). Two lines of pending errors (this one and the next), with a pixel
            // of margin on either side.
            std::vector<float> errors(static_cast<size_t>(width + 2) * 6, 0.0f);
            for (int32_t y = 0; y < height; ++y) {
                float* here = errors.data() + static_cast<size_t>(y & 1) * (width + 2) * 3;
                float* below = errors.data() + static_cast<size_t>((y + 1) & 1) * (width + 2) * 3;
                std::fill(below, below + (width + 2) * 3, 0.0f);
                const bool forward = (y & 1) == 0;
                const int32_t step = forward ? 1 : -1;
                for (int32_t n = 0; n < width; ++n) {
                    const int32_t x = forward ? n : width - 1 - n;
                    const size_t i = static_cast<size_t>(y) * width + x;
                    const uint8_t* p = rgb + 3 * i;
                    float* e = here + 3 * (x + 1);
                    const Linear want{Clamp01(SrgbToLinear(p[0]) + e[0]), Clamp01(SrgbToLinear(p[1]) + e[1]),
                                      Clamp01(SrgbToLinear(p[2]) + e[2])};
                    const int k = Nearest(LinearToLab(want), choices);
                    index[i] = static_cast<uint8_t>(k);
                    const Linear& got = choices[static_cast<size_t>(k)].linear;
                    const float err[3] = {(want.r - got.r) * 0.85f, (want.g - got.g) * 0.85f, (want.b - got.b) * 0.85f};
                    for (int c = 0; c < 3; ++c) {
                        here[3 * (x + 1 + step) + c] += err[c] * (7.0f / 16);
                        below[3 * (x + 1 - step) + c] += err[c] * (3.0f / 16);
                        below[3 * (x + 1) + c] += err[c] * (5.0f / 16);
                        below[3 * (x + 1 + step) + c] += err[c] * (1.0f / 16);
                    }
                }
            }
            break;
        }
    }
    return index;
}

}  // namespace import_detail
