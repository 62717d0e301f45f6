// bench/import's yardsticks, written for the benchmark and never used by the program: the
// blurred measure, and two textbook quantisers to compare the importer with.
//
// Blurred measure: both pictures to linear light, a Gaussian blur of sigma = 1 pixel (seven
// taps, edges repeated) across and down, back to sRGB, then PSNR over the three channels.
// Light adds linearly, so this is roughly what the eye sees from a viewing distance where a
// pixel is no longer resolved: a dither that keeps the local average light scores well, flat
// banding and hue shifts score badly. Plain PSNR compares pixel by pixel and rewards not
// dithering.
//
// References, both with Floyd-Steinberg in linear light passing on the whole error
// (serpentine, the wanted colour clamped to 0..1, the colour nearest to it in CIELAB shown):
//   SCREEN 8: the 256 fixed GRAPHIC7 colours.
//   SCREEN 5: 16 words of the 512-colour palette grid by k-means in CIELAB on the picture's
//             colours (farthest-point seeding weighted by pixel count, Lloyd's steps, each
//             centre then moved to the nearest unused word and the assignment repeated).
#include "bench/import_reference.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace {

constexpr int kLevels[8] = {0x00, 0x21, 0x4A, 0x6B, 0x94, 0xB5, 0xDE, 0xFF};  // V9938 3-bit levels
constexpr int kBlueLevels[4] = {0x00, 0x52, 0xAD, 0xFF};                       // GRAPHIC7's 2-bit blue

double Decode(double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }
double Encode(double v) {
    v = std::min(1.0, std::max(0.0, v));
    return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

struct Vec3 {
    double x, y, z;
};

double Distance2(const Vec3& a, const Vec3& b) {
    const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return dx * dx + dy * dy + dz * dz;
}

// Linear sRGB to CIELAB (D65 white).
Vec3 LinearToCielab(const Vec3& c) {
    const double x = (0.4124564 * c.x + 0.3575761 * c.y + 0.1804375 * c.z) / 0.95047;
    const double y = 0.2126729 * c.x + 0.7151522 * c.y + 0.0721750 * c.z;
    const double z = (0.0193339 * c.x + 0.1191920 * c.y + 0.9503041 * c.z) / 1.08883;
    auto f = [](double t) { return t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116; };
    return {116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))};
}

Vec3 SrgbToLinear(const uint8_t* p) { return {Decode(p[0] / 255.0), Decode(p[1] / 255.0), Decode(p[2] / 255.0)}; }

struct Colour {
    uint8_t rgb[3];
    Vec3 linear, lab;
};

Colour MakeColour(int r, int g, int b) {
    Colour c{{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)}, {}, {}};
    c.linear = SrgbToLinear(c.rgb);
    c.lab = LinearToCielab(c.linear);
    return c;
}

size_t NearestLab(const Vec3& lab, const std::vector<Colour>& colours) {
    size_t best = 0;
    double bestDistance = 1e300;
    for (size_t i = 0; i < colours.size(); ++i) {
        const double d = Distance2(lab, colours[i].lab);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

std::vector<uint8_t> FloydSteinbergLinear(const RgbPicture& in, const std::vector<Colour>& colours) {
    const int32_t w = in.width, h = in.height;
    std::vector<uint8_t> out(in.rgb.size());
    std::vector<double> error(static_cast<size_t>(w + 2) * 2 * 3, 0.0);
    for (int32_t y = 0; y < h; ++y) {
        double* here = error.data() + static_cast<size_t>(y & 1) * (w + 2) * 3;
        double* below = error.data() + static_cast<size_t>((y + 1) & 1) * (w + 2) * 3;
        std::fill(below, below + (w + 2) * 3, 0.0);
        const bool forward = (y & 1) == 0;
        const int32_t step = forward ? 1 : -1;
        for (int32_t n = 0; n < w; ++n) {
            const int32_t x = forward ? n : w - 1 - n;
            const size_t i = (static_cast<size_t>(y) * w + x) * 3;
            const Vec3 own = SrgbToLinear(&in.rgb[i]);
            const double* e = here + 3 * (x + 1);
            const Vec3 want{std::min(1.0, std::max(0.0, own.x + e[0])), std::min(1.0, std::max(0.0, own.y + e[1])),
                            std::min(1.0, std::max(0.0, own.z + e[2]))};
            const Colour& got = colours[NearestLab(LinearToCielab(want), colours)];
            std::copy(got.rgb, got.rgb + 3, &out[i]);
            const double err[3] = {want.x - got.linear.x, want.y - got.linear.y, want.z - got.linear.z};
            for (int c = 0; c < 3; ++c) {
                here[3 * (x + 1 + step) + c] += err[c] * 7 / 16;
                below[3 * (x + 1 - step) + c] += err[c] * 3 / 16;
                below[3 * (x + 1) + c] += err[c] * 5 / 16;
                below[3 * (x + 1 + step) + c] += err[c] * 1 / 16;
            }
        }
    }
    return out;
}

struct Cluster {
    Vec3 lab;
    double weight;
};

std::vector<Cluster> LabHistogram(const RgbPicture& in) {
    std::map<uint32_t, double> counts;
    for (size_t i = 0; i + 2 < in.rgb.size(); i += 3) {
        ++counts[static_cast<uint32_t>(in.rgb[i]) << 16 | in.rgb[i + 1] << 8 | in.rgb[i + 2]];
    }
    std::vector<Cluster> cells;
    for (const auto& [key, count] : counts) {
        const uint8_t p[3] = {static_cast<uint8_t>(key >> 16), static_cast<uint8_t>(key >> 8), static_cast<uint8_t>(key)};
        cells.push_back({LinearToCielab(SrgbToLinear(p)), count});
    }
    return cells;
}

std::vector<Vec3> SeedFarthest(const std::vector<Cluster>& cells, size_t k) {
    std::vector<Vec3> centres;
    const auto heaviest = std::max_element(cells.begin(), cells.end(),
                                           [](const Cluster& a, const Cluster& b) { return a.weight < b.weight; });
    centres.push_back(heaviest->lab);
    std::vector<double> nearest(cells.size(), 1e300);
    while (centres.size() < k) {
        size_t pick = 0;
        double pickScore = -1;
        for (size_t i = 0; i < cells.size(); ++i) {
            nearest[i] = std::min(nearest[i], Distance2(cells[i].lab, centres.back()));
            const double score = cells[i].weight * nearest[i];
            if (score > pickScore) {
                pickScore = score;
                pick = i;
            }
        }
        if (pickScore <= 0) break;  // fewer colours than centres
        centres.push_back(cells[pick].lab);
    }
    return centres;
}

// Lloyd's steps: each centre to the weighted mean of the cells nearest to it.
void Lloyd(const std::vector<Cluster>& cells, std::vector<Vec3>* centres, int rounds) {
    for (int round = 0; round < rounds; ++round) {
        std::vector<Vec3> sums(centres->size(), Vec3{0, 0, 0});
        std::vector<double> weights(centres->size(), 0);
        for (const Cluster& cell : cells) {
            size_t best = 0;
            for (size_t c = 1; c < centres->size(); ++c) {
                if (Distance2(cell.lab, (*centres)[c]) < Distance2(cell.lab, (*centres)[best])) best = c;
            }
            sums[best].x += cell.weight * cell.lab.x;
            sums[best].y += cell.weight * cell.lab.y;
            sums[best].z += cell.weight * cell.lab.z;
            weights[best] += cell.weight;
        }
        for (size_t c = 0; c < centres->size(); ++c) {
            if (weights[c] > 0) (*centres)[c] = {sums[c].x / weights[c], sums[c].y / weights[c], sums[c].z / weights[c]};
        }
    }
}

// Each centre to the nearest grid word no earlier centre took.
std::vector<Colour> SnapToGrid(const std::vector<Vec3>& centres, const std::vector<Colour>& grid) {
    std::vector<bool> taken(grid.size(), false);
    std::vector<Colour> words;
    for (const Vec3& c : centres) {
        size_t best = grid.size();
        for (size_t g = 0; g < grid.size(); ++g) {
            if (!taken[g] && (best == grid.size() || Distance2(c, grid[g].lab) < Distance2(c, grid[best].lab))) best = g;
        }
        taken[best] = true;
        words.push_back(grid[best]);
    }
    return words;
}

}  // namespace

std::vector<uint8_t> ReferenceScreen8(const RgbPicture& in) {
    std::vector<Colour> colours;
    for (int code = 0; code < 256; ++code) {  // GGGRRRBB
        colours.push_back(MakeColour(kLevels[(code >> 2) & 7], kLevels[code >> 5], kBlueLevels[code & 3]));
    }
    return FloydSteinbergLinear(in, colours);
}

std::vector<uint8_t> ReferenceScreen5(const RgbPicture& in) {
    std::vector<Colour> grid;
    for (int word = 0; word < 512; ++word) grid.push_back(MakeColour(kLevels[word >> 6], kLevels[(word >> 3) & 7], kLevels[word & 7]));
    const std::vector<Cluster> cells = LabHistogram(in);
    std::vector<Vec3> centres = SeedFarthest(cells, 16);
    Lloyd(cells, &centres, 30);
    std::vector<Colour> words = SnapToGrid(centres, grid);
    for (int round = 0; round < 4; ++round) {  // the assignment again, now to the words
        std::vector<Vec3> onGrid;
        for (const Colour& w : words) onGrid.push_back(w.lab);
        Lloyd(cells, &onGrid, 1);
        words = SnapToGrid(onGrid, grid);
    }
    return FloydSteinbergLinear(in, words);
}

namespace {

// p in linear light, blurred by taps across and then down (edges repeated), back in sRGB 0..255.
std::vector<double> Blurred(const RgbPicture& p, const double* taps) {
    const int32_t w = p.width, h = p.height;
    std::vector<double> lin(p.rgb.size()), across(p.rgb.size()), out(p.rgb.size());
    for (size_t i = 0; i < p.rgb.size(); ++i) lin[i] = Decode(p.rgb[i] / 255.0);
    auto at = [w](int32_t x, int32_t y, int c) { return (static_cast<size_t>(y) * w + x) * 3 + c; };
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            for (int c = 0; c < 3; ++c) {
                double v = 0;
                for (int t = -3; t <= 3; ++t) v += taps[t + 3] * lin[at(std::min(w - 1, std::max(0, x + t)), y, c)];
                across[at(x, y, c)] = v;
            }
        }
    }
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            for (int c = 0; c < 3; ++c) {
                double v = 0;
                for (int t = -3; t <= 3; ++t) v += taps[t + 3] * across[at(x, std::min(h - 1, std::max(0, y + t)), c)];
                out[at(x, y, c)] = 255 * Encode(v);
            }
        }
    }
    return out;
}

double Psnr(double squares, size_t n) { return squares == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * n / squares); }

}  // namespace

BlurredScores Measure(const RgbPicture& a, const RgbPicture& b) {
    double taps[7], sum = 0;  // seven taps of a Gaussian of sigma 1, normalised
    for (int t = -3; t <= 3; ++t) sum += taps[t + 3] = std::exp(-0.5 * t * t);
    for (double& t : taps) t /= sum;
    double plain = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i) plain += (a.rgb[i] - b.rgb[i]) * static_cast<double>(a.rgb[i] - b.rgb[i]);
    const std::vector<double> x = Blurred(a, taps), y = Blurred(b, taps);
    double blur = 0;
    for (size_t i = 0; i < x.size(); ++i) blur += (x[i] - y[i]) * (x[i] - y[i]);
    return {Psnr(plain, a.rgb.size()), Psnr(blur, a.rgb.size())};
}
