// Import: colour spaces, fitting and the layout of each mode's bytes.
#include "import/import.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "import/import_internal.h"
#include "palette/palette.h"

namespace import_detail {

namespace {

std::array<float, 256> MakeLinearTable() {
    std::array<float, 256> t{};
    for (int v = 0; v < 256; ++v) t[v] = static_cast<float>(SrgbDecode(v / 255.0));
    return t;
}

// x to the power k, k >= 1, by multiplications in a fixed order.
double PowerOf(double x, int k) {
    double r = x;
    for (int i = 1; i < k; ++i) r *= x;
    return r;
}

}  // namespace

double Root(double x, int n) {
    if (!(x > 0.0)) return 0.0;
    // A start within a factor of two: x = m * 2^e with m in [0.5, 1), root about 2^(e/n). Then
    // Newton's steps y <- ((n - 1) y + x / y^(n-1)) / n, which converge from above; a fixed
    // count of them, so that every build takes the same path.
    int e = 0;
    std::frexp(x, &e);
    double y = std::ldexp(1.0, e / n + 1);
    for (int step = 0; step < 60; ++step) {
        const double next = ((n - 1) * y + x / PowerOf(y, n - 1)) / n;
        if (!(next < y)) break;  // converged: the sequence stops falling
        y = next;
    }
    return y;
}

double Cbrt(double x) {
    if (!(x > 0.0)) return 0.0;
    // x = m * 2^e; with e = 3q + r (r = 0, 1, 2) the root is cbrt(m * 2^r) * 2^q, m * 2^r in
    // [0.5, 4). A straight-line start (within 8 %) and five Newton steps: 8 %, 0.6 %, 4e-5,
    // 2e-9, 3e-18, past double precision.
    int e = 0;
    const double m = std::frexp(x, &e);
    const int q = e >= 0 ? e / 3 : -((2 - e) / 3);
    const double a = std::ldexp(m, e - 3 * q);
    double y = 0.72 + 0.22 * a;
    for (int step = 0; step < 5; ++step) y = (2.0 * y + a / (y * y)) / 3.0;
    return std::ldexp(y, q);
}

double SrgbDecode(double c) {
    // ((c + 0.055) / 1.055)^2.4 = fifth root of the 12th power.
    return c <= 0.04045 ? c / 12.92 : Root(PowerOf((c + 0.055) / 1.055, 12), 5);
}

double SrgbEncode(double v) {
    // v^(1/2.4) = v^(5/12) = v^(1/4) * v^(1/6): square roots (exactly rounded everywhere) and
    // a cube root.
    if (v <= 0.0031308) return v * 12.92;
    const double root = std::sqrt(v);
    return 1.055 * std::sqrt(root) * Cbrt(root) - 0.055;
}

float SrgbToLinear(uint8_t v) {
    static const std::array<float, 256> table = MakeLinearTable();  // made once, thread-safely
    return table[v];
}

uint8_t LinearToSrgb(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 1.0f) return 255;
    const float c = static_cast<float>(SrgbEncode(v));
    return static_cast<uint8_t>(c * 255.0f + 0.5f);
}

Lab LinearToLab(const Linear& c) {
    // OKLab (Björn Ottosson, 2020): linear sRGB to cone responses, cube root, opponent axes.
    const float l = static_cast<float>(Cbrt(0.4122214708f * c.r + 0.5363325363f * c.g + 0.0514459929f * c.b));
    const float m = static_cast<float>(Cbrt(0.2119034982f * c.r + 0.6806995451f * c.g + 0.1073969566f * c.b));
    const float s = static_cast<float>(Cbrt(0.0883024619f * c.r + 0.2817188376f * c.g + 0.6299787005f * c.b));
    return {0.2104542553f * l + 0.7936177850f * m - 0.0040720468f * s,
            1.9779984951f * l - 2.4285922050f * m + 0.4505937099f * s,
            0.0259040371f * l + 0.7827717662f * m - 0.8086757660f * s};
}

Linear SrgbToLinearColour(const uint8_t* rgb) {
    return {SrgbToLinear(rgb[0]), SrgbToLinear(rgb[1]), SrgbToLinear(rgb[2])};
}

Lab SrgbToLab(const uint8_t* rgb) { return LinearToLab(SrgbToLinearColour(rgb)); }

Choice PaletteWordChoice(uint16_t word) {
    Choice c{};
    c.code = word;
    c.rgb[0] = kLevelTable[(word >> 4) & 7];
    c.rgb[1] = kLevelTable[(word >> 8) & 7];
    c.rgb[2] = kLevelTable[word & 7];
    c.linear = SrgbToLinearColour(c.rgb);
    c.lab = LinearToLab(c.linear);
    return c;
}

float BayerOffset(int32_t x, int32_t y) {
    static const uint8_t kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return (kBayer[y & 3][x & 3] + 0.5f) / 16.0f - 0.5f;
}

}  // namespace import_detail

using namespace import_detail;

namespace {

// One output pixel's sources along an axis: source pixels first..last with weights (the
// overlap of the output pixel's span with each), or none (a border).
struct Span {
    int32_t first = 0;
    int32_t last = -1;
    double start = 0;  // the span in source pixels: [start, end)
    double end = 0;
};

// Output pixel i of an axis of outSize pixels shows the region [offset, offset + placed) scaled
// from source pixels 0..sourceSize.
std::vector<Span> AxisSpans(int32_t sourceSize, int32_t outSize, int32_t offset, int32_t placed) {
    std::vector<Span> spans(static_cast<size_t>(outSize));
    const double scale = static_cast<double>(sourceSize) / placed;
    for (int32_t i = 0; i < outSize; ++i) {
        const int32_t r = i - offset;
        if (r < 0 || r >= placed) continue;  // a border
        Span& s = spans[static_cast<size_t>(i)];
        if (placed >= sourceSize) {  // enlarging: the nearest source pixel
            int32_t n = static_cast<int32_t>((r + 0.5) * scale);
            if (n >= sourceSize) n = sourceSize - 1;
            s.first = s.last = n;
            s.start = n;
            s.end = n + 1;
        } else {  // shrinking: the source pixels under the span, by their overlap
            s.start = r * scale;
            s.end = (r + 1) * scale;
            s.first = static_cast<int32_t>(s.start);
            s.last = static_cast<int32_t>(std::ceil(s.end)) - 1;
            if (s.last >= sourceSize) s.last = sourceSize - 1;
        }
    }
    return spans;
}

double Weight(const Span& s, int32_t n) {
    const double a = n > s.start ? n : s.start;
    const double b = n + 1 < s.end ? n + 1 : s.end;
    return b > a ? b - a : 0.0;
}

// The picture's size on the screen in the mode's pixels: the screen's for stretch, else its
// shape scaled to fit inside (contain) or to cover the screen, centred by the caller.
struct Placed {
    int32_t width;
    int32_t height;
};

Placed PlacePicture(int32_t width, int32_t height, int32_t outWidth, FitMode fit,
                    double pixelAspect) {
    Placed placed{outWidth, kImportHeight};
    if (fit == kFitStretch) return placed;
    // In square units the screen is 256 x 212 whatever its pixel count: a pixel of a 512-wide
    // mode is half a unit wide. The picture is width * pixelAspect units wide, height high.
    const double pixelWidth = 256.0 / outWidth;
    const double units = width * pixelAspect;
    const double scaleX = 256.0 / units;
    const double scaleY = 212.0 / height;
    const double s = fit == kFitContain ? std::fmin(scaleX, scaleY) : std::fmax(scaleX, scaleY);
    placed.width = static_cast<int32_t>(std::lround(units * s / pixelWidth));
    placed.height = static_cast<int32_t>(std::lround(height * s));
    if (placed.width < 1) placed.width = 1;
    if (placed.height < 1) placed.height = 1;
    if (fit == kFitContain) {
        if (placed.width > outWidth) placed.width = outWidth;
        if (placed.height > kImportHeight) placed.height = kImportHeight;
    }
    return placed;
}

}  // namespace

double FittedPixelAspect(double declared) {
    if (!(declared >= 1.0 / 8 && declared <= 8.0)) return 1.0;
    const double kShapes[] = {1.0, 0.5};  // a 256-wide mode's pixel, a 512-wide mode's
    for (const double shape : kShapes) {
        const double ratio = declared / shape;
        if (ratio >= 8.0 / 9 - 1e-9 && ratio <= 9.0 / 8 + 1e-9) return shape;
    }
    return declared;
}

int32_t ImportWidth(ScreenMode mode) { return ScreenModeOf(mode).width; }

int32_t ImportBytes(ScreenMode mode) {
    switch (mode) {
        case kScreen5:  // GRAPHIC4 and GRAPHIC5: bitmap, then the palette table at 0x7680
        case kScreen6:
            return kSmallPaletteTable + kPaletteTableBytes;
        case kScreen7:   // GRAPHIC6: palette table at 0xFA80
        case kScreen10:  // the YAE colours are palette colours too
            return kLargePaletteTable + kPaletteTableBytes;
        case kScreen8:  // GRAPHIC7 and YJK: fixed colours, the bitmap alone
        case kScreen12:
            return kLargeBitmapBytes;
        case kScreen1:  // the pattern modes are no import targets (the options refuse them)
        case kScreen2:
        case kScreen3:
        case kScreen4:
        case kScreenModeCount:
            break;
    }
    return kLargeBitmapBytes;
}

std::vector<uint8_t> FitImage(const uint8_t* rgb, int32_t width, int32_t height,
                              int32_t outWidth, FitMode fit, double pixelAspect) {
    const int32_t outHeight = kImportHeight;
    std::vector<uint8_t> out(static_cast<size_t>(outWidth) * outHeight * 3, 0);
    if (width <= 0 || height <= 0) return out;  // nothing to show: black
    if (width == outWidth && height == outHeight) {
        std::memcpy(out.data(), rgb, out.size());
        return out;
    }
    const Placed placed = PlacePicture(width, height, outWidth, fit, FittedPixelAspect(pixelAspect));
    const std::vector<Span> xs = AxisSpans(width, outWidth, (outWidth - placed.width) / 2, placed.width);
    const std::vector<Span> ys = AxisSpans(height, outHeight, (outHeight - placed.height) / 2, placed.height);

    // The horizontal weights of every output pixel, worked out once: column first..last of
    // output pixel ox has weight columnWeights[weightStart[ox] + (x - first)].
    std::vector<size_t> weightStart(static_cast<size_t>(outWidth) + 1, 0);
    std::vector<float> columnWeights;
    for (int32_t ox = 0; ox < outWidth; ++ox) {
        const Span& sx = xs[static_cast<size_t>(ox)];
        weightStart[static_cast<size_t>(ox)] = columnWeights.size();
        for (int32_t x = sx.first; x <= sx.last; ++x) columnWeights.push_back(static_cast<float>(Weight(sx, x)));
    }
    float linear[256];
    for (int v = 0; v < 256; ++v) linear[v] = SrgbToLinear(static_cast<uint8_t>(v));
    std::vector<double> sum(static_cast<size_t>(outWidth) * 3);
    for (int32_t oy = 0; oy < outHeight; ++oy) {
        const Span& sy = ys[static_cast<size_t>(oy)];
        if (sy.last < sy.first) continue;  // a border line: black
        std::fill(sum.begin(), sum.end(), 0.0);
        double totalY = 0;
        for (int32_t y = sy.first; y <= sy.last; ++y) {
            const double wy = Weight(sy, y);
            if (wy <= 0) continue;
            totalY += wy;
            const uint8_t* row = rgb + static_cast<size_t>(y) * width * 3;
            for (int32_t ox = 0; ox < outWidth; ++ox) {
                const Span& sx = xs[static_cast<size_t>(ox)];
                const float* w = columnWeights.data() + weightStart[static_cast<size_t>(ox)];
                float r = 0, g = 0, b = 0;  // this source line's share, summed across
                for (int32_t x = sx.first; x <= sx.last; ++x, ++w) {
                    const uint8_t* p = row + 3 * x;
                    r += *w * linear[p[0]];
                    g += *w * linear[p[1]];
                    b += *w * linear[p[2]];
                }
                sum[3 * ox] += wy * r;
                sum[3 * ox + 1] += wy * g;
                sum[3 * ox + 2] += wy * b;
            }
        }
        for (int32_t ox = 0; ox < outWidth; ++ox) {
            const Span& sx = xs[static_cast<size_t>(ox)];
            if (sx.last < sx.first) continue;
            const double area = totalY * (sx.end - sx.start);
            uint8_t* o = out.data() + (static_cast<size_t>(oy) * outWidth + ox) * 3;
            for (int c = 0; c < 3; ++c) o[c] = LinearToSrgb(static_cast<float>(sum[3 * ox + c] / area));
        }
    }
    return out;
}

namespace {

void StorePalette(const std::vector<Choice>& palette, const int* entries, uint8_t* table) {
    for (size_t n = 0; n < palette.size(); ++n) {
        const uint16_t word = palette[n].code;  // 0x0GRB
        uint8_t* e = table + 2 * entries[n];
        e[0] = static_cast<uint8_t>((word & 0x070) | (word & 0x007));  // 0RRR 0BBB
        e[1] = static_cast<uint8_t>((word >> 8) & 7);                    // 0000 0GGG
    }
}

std::vector<Choice> Screen8Choices() {
    std::vector<Choice> choices(256);
    static const uint8_t kBlue[4] = {0x00, 0x52, 0xAD, 0xFF};
    for (int code = 0; code < 256; ++code) {  // GGGRRRBB
        Choice& c = choices[static_cast<size_t>(code)];
        c.code = static_cast<uint16_t>(code);
        c.rgb[0] = kLevelTable[(code >> 2) & 7];
        c.rgb[1] = kLevelTable[code >> 5];
        c.rgb[2] = kBlue[code & 3];
        c.linear = SrgbToLinearColour(c.rgb);
        c.lab = LinearToLab(c.linear);
    }
    return choices;
}

}  // namespace

std::vector<uint8_t> ImportFitted(const uint8_t* rgb, ScreenMode mode, DitherMode dither) {
    std::vector<uint8_t> vram(static_cast<size_t>(ImportBytes(mode)), 0);
    const int32_t width = ImportWidth(mode);
    const int32_t pixels = width * kImportHeight;
    static const int kIdentity[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    switch (mode) {
        case kScreen5:    // GRAPHIC4: two pixels a byte, high nibble left
        case kScreen7: {  // GRAPHIC6: the same packing, 512 wide
            std::vector<Choice> palette;
            const std::vector<uint8_t> index = MapToPalette(rgb, width, 16, dither, &palette);
            for (int32_t i = 0; i < pixels; i += 2) {
                vram[static_cast<size_t>(i / 2)] = static_cast<uint8_t>(index[i] << 4 | index[i + 1]);
            }
            StorePalette(palette, kIdentity, vram.data() + PaletteTableAddress(mode));
            break;
        }
        case kScreen6: {  // GRAPHIC5: four pixels a byte, bits 7-6 leftmost; value v shows entry 5v
            static const int kEntries[4] = {0, 5, 10, 15};
            std::vector<Choice> palette;
            const std::vector<uint8_t> index = MapToPalette(rgb, width, 4, dither, &palette);
            for (int32_t i = 0; i < pixels; i += 4) {
                vram[static_cast<size_t>(i / 4)] = static_cast<uint8_t>(
                    index[i] << 6 | index[i + 1] << 4 | index[i + 2] << 2 | index[i + 3]);
            }
            StorePalette(palette, kEntries, vram.data() + kSmallPaletteTable);
            break;
        }
        case kScreen8: {  // GRAPHIC7: the fixed 256 colours
            const std::vector<uint8_t> index = MapToChoices(rgb, width, Screen8Choices(), dither, Screen8Diffusion());
            std::memcpy(vram.data(), index.data(), index.size());
            break;
        }
        case kScreen10: {  // YJK with YAE palette pixels
            // The palette is for the pixels YJK of even Y cannot show exactly: those of a first
            // encoding without palette (all pixels when YJK shows every one of them).
            const std::vector<Choice> none;
            std::vector<uint8_t> inexact;
            EncodeYjk(rgb, &none, kDitherNone, vram.data(), &inexact);
            std::vector<uint8_t> hard;
            for (int32_t i = 0; i < pixels; ++i) {
                if (inexact[static_cast<size_t>(i)] != 0) hard.insert(hard.end(), rgb + 3 * i, rgb + 3 * i + 3);
            }
            const std::vector<Choice> palette =
                hard.empty() ? ChoosePalette(rgb, pixels, 16)
                             : ChoosePalette(hard.data(), static_cast<int32_t>(hard.size() / 3), 16);
            EncodeYjk(rgb, &palette, dither, vram.data(), nullptr);
            StorePalette(palette, kIdentity, vram.data() + kLargePaletteTable);
            break;
        }
        case kScreen12:
            EncodeYjk(rgb, nullptr, dither, vram.data(), nullptr);
            break;
        case kScreen1:  // no import target: the picture stays black
        case kScreen2:
        case kScreen3:
        case kScreen4:
        case kScreenModeCount:
            break;
    }
    return vram;
}

std::vector<uint8_t> ImportImage(const uint8_t* rgb, int32_t width, int32_t height,
                                 ScreenMode mode, const ImportOptions& options,
                                 double pixelAspect) {
    const std::vector<uint8_t> fitted =
        FitImage(rgb, width, height, ImportWidth(mode), options.fit, pixelAspect);
    return ImportFitted(fitted.data(), mode, options.dither);
}

Picture ImportedPicture(const std::vector<uint8_t>& vram, ScreenMode mode) {
    Picture picture;
    uint8_t* data = AllocateVram(&picture, static_cast<int32_t>(vram.size()));
    if (!vram.empty()) std::memcpy(data, vram.data(), vram.size());
    picture.screenMode = mode;
    picture.paletteIndex = PaletteTablePresent(picture) ? kPaletteInternal : kPaletteStandard;
    picture.loadedHeader = BsaveHeader{kBsavePlain, 0, static_cast<uint16_t>(vram.size() - 1), 0};
    return picture;
}
