// Shared by the import files: colour spaces and the palette and YJK encoders.
#pragma once

#include <cstdint>
#include <vector>

#include "import/import.h"

namespace import_detail {

struct Linear {  // linear-light sRGB, 0..1
    float r, g, b;
};

struct Lab {  // OKLab
    float l, a, b;
};

inline float Distance(const Lab& x, const Lab& y) {
    const float dl = x.l - y.l, da = x.a - y.a, db = x.b - y.b;
    return dl * dl + da * da + db * db;
}

// 8-bit sRGB to linear light (a table made once, thread-safely).
float SrgbToLinear(uint8_t v);

// The n-th root of x >= 0 (n = 2 to 12), and the sRGB curve's two directions, in plain double
// arithmetic: the same bits from every compiler, maths library and processor (the C library's
// pow and cbrt differ between glibc and Windows' in the last place, which moved a dither's
// choice now and then).
double Root(double x, int n);   // slow: for tables made once
double Cbrt(double x);           // fast: the cube root for every pixel
double SrgbDecode(double c);  // 0..1 sRGB to linear light
double SrgbEncode(double v);  // linear light 0..1 to sRGB
// Linear light to 8-bit sRGB, rounded; clamped to 0..255.
uint8_t LinearToSrgb(float v);
Lab LinearToLab(const Linear& c);
Lab SrgbToLab(const uint8_t* rgb);
Linear SrgbToLinearColour(const uint8_t* rgb);

// A colour a mode can show and how it is stored.
struct Choice {
    uint16_t code;  // palette word 0x0GRB (palette modes) or the GRAPHIC7 byte (SCREEN 8)
    uint8_t rgb[3];
    Linear linear;
    Lab lab;
};

// A palette word's colour: 3-bit levels through the level table.
Choice PaletteWordChoice(uint16_t word);

// count palette words (0x0GRB) for the picture: its own colours when there are at most count
// of them and all are palette colours (first appearance order, the rest black), otherwise
// clusters in sRGB snapped to palette words and refined. start picks the k-means seeding rule.
enum SeedRule : int {
    kSeedWeightTimesDistance = 0,  // a cell's pixel count times its distance to the nearest seed
    kSeedWeightTimesSquare = 1,    // ... times that distance squared
    kSeedDistance = 2,             // the distance alone (distinct colours, however small)
    kSeedRules = 3,
};
std::vector<Choice> ChoosePalette(const uint8_t* rgb, int32_t pixels, int32_t count,
                                  int start = kSeedWeightTimesDistance);

// How error diffusion treats a mode's colours: the share of each pixel's error it passes on;
// where the colours are a grid (SCREEN 8), each channel's levels: a pixel's wanted colour then
// stays between the two levels around its own value in each channel; and whether a dot that
// would stand out as a speck on a dark area is left out.
struct Diffusion {
    float share;
    const uint8_t* levels[3];  // nullptr: no grid
    int levelCount[3];
    bool dropSpecks;
};
Diffusion PaletteDiffusion();  // SCREEN 5, 6 and 7
Diffusion Screen8Diffusion();

// Each pixel of a width x 212 picture to the index of a choice, dithered as asked; colours are
// chosen by their distance in 8-bit sRGB, errors diffused in linear light, rule.share of each
// passed on.
std::vector<uint8_t> MapToChoices(const uint8_t* rgb, int32_t width, const std::vector<Choice>& choices,
                                  DitherMode dither, const Diffusion& rule);

// A palette of count words for a width x 212 picture and its pixels mapped onto it: for each
// seeding rule, ChoosePalette, MapToChoices, then the words refined on the mapped result (each
// entry moved to the palette word nearest to the mean of the pixels it shows while the error
// falls); the result with the smallest error wins. The error is the squared sRGB difference of
// the picture and the result, both blurred by [1 2 1] / 4 across and down in linear light.
std::vector<uint8_t> MapToPalette(const uint8_t* rgb, int32_t width, int32_t count, DitherMode dither,
                                  std::vector<Choice>* palette);

// SCREEN 12 (palette null) or SCREEN 10/11 (palette: the YAE colours, at most 16; none gives
// YJK pixels of even Y only): 256 x 212 RGB to 212 lines of 256 bytes. inexact (may be null)
// receives 1 for each pixel whose colour is not exactly the wanted one, 0 for the others.
void EncodeYjk(const uint8_t* rgb, const std::vector<Choice>* palette, DitherMode dither,
               uint8_t* vram, std::vector<uint8_t>* inexact);

// The ordered dither's offset for a pixel, -0.5 .. 0.5 (4x4 Bayer).
float BayerOffset(int32_t x, int32_t y);

// The ordered dither's amplitude: BayerOffset times this, in 8-bit sRGB steps, is added to each
// channel before the nearest colour is chosen. The sixteen offsets then reach -18.75 .. 18.75,
// about half the step of the palette modes' level table (0x21 or 0x29, 36 on average): their
// thresholds spread over about one step, so a colour between two levels is shown as a mix of
// just those two, the nearer one the more often. The YJK encoder adds the same offsets.
constexpr float kOrderedDitherAmplitude = 40.0f;

}  // namespace import_detail
