// Import: a modern RGB picture into the VRAM bytes of an MSX bitmap mode.
//
// The steps are pure functions over buffers (no process-wide state, safe on several threads):
//   FitImage     the picture scaled and placed on the mode's 256x212 or 512x212 pixels;
//   ImportFitted those pixels as the VRAM bytes of the mode, palette table included;
//   ImportImage  both.
// Colour distances are squared distances in sRGB in every mode; error diffusion adds and spreads
// errors in linear light.
#pragma once

#include <cstdint>
#include <vector>

#include "image/picture.h"

enum FitMode : int32_t {
    kFitContain = 0,  // the whole picture, black borders where the aspects differ (default)
    kFitCover = 1,    // the whole screen, the picture's overhang cut off evenly on both sides
    kFitStretch = 2,  // the picture's width and height to the screen's, aspect not kept
};

enum DitherMode : int32_t {
    kDitherNone = 0,       // the nearest colour of each pixel
    kDitherOrdered = 1,    // a 4x4 Bayer matrix
    kDitherDiffusion = 2,  // Floyd-Steinberg error diffusion in linear light, serpentine (default)
};

struct ImportOptions {
    FitMode fit = kFitContain;
    DitherMode dither = kDitherDiffusion;
};

// Pixels of a mode: 256 or 512 wide, 212 lines.
int32_t ImportWidth(ScreenMode mode);
constexpr int32_t kImportHeight = kScreenLines;

// Bytes of the result of a mode: what a plain BSAVE body from address 0 holds. 0x76A0 for
// SCREEN 5/6 (palette table at 0x7680), 0xFAA0 for SCREEN 7 and SCREEN 10/11 (palette at
// 0xFA80), 0xD400 for SCREEN 8 and 12 (fixed colours: no palette).
int32_t ImportBytes(ScreenMode mode);

// Scales width x height RGB pixels (top line first) to outWidth x 212 as the MSX shows them:
// a pixel of a 256-wide mode is square, one of a 512-wide mode half as wide as high. The
// picture's own pixels are pixelAspect wide for 1 high (RgbImage::pixelAspect, taken through
// FittedPixelAspect), so that contain and cover keep its true shape. Shrinking averages (a box
// filter in linear light), enlarging repeats the nearest pixel. A picture of exactly outWidth x
// 212 is taken pixel for pixel, whatever its aspect. Returns outWidth * 212 * 3 bytes.
std::vector<uint8_t> FitImage(const uint8_t* rgb, int32_t width, int32_t height,
                              int32_t outWidth, FitMode fit, double pixelAspect = 1.0);

// The pixel aspect the fitting uses for a declared one: within an eighth of square, square;
// within an eighth of half a square, exactly half (the two MSX pixels). On a TV the MSX pixel
// is a little wider than high, and our own BMP files say so (8000 x 9000 pixels per metre, or
// 16000 x 9000 when 512 wide), while the fitting's screen has square pixels: these files, and
// pictures whose densities were rounded to whole dots per inch, are fitted without a resample
// that would only blur them. 1 for anything outside 1/8 to 8 (or not a number).
double FittedPixelAspect(double declared);

// ImportWidth(mode) x 212 RGB pixels to the VRAM bytes of mode (ImportBytes(mode) of them).
std::vector<uint8_t> ImportFitted(const uint8_t* rgb, ScreenMode mode, DitherMode dither);

// FitImage, then ImportFitted. width and height must be 1..16384.
std::vector<uint8_t> ImportImage(const uint8_t* rgb, int32_t width, int32_t height,
                                 ScreenMode mode, const ImportOptions& options,
                                 double pixelAspect = 1.0);

// The imported VRAM bytes of a mode as a picture: selected in its own palette where the mode
// stores one, and described as the plain BSAVE file it would be saved as (start 0, end
// size - 1).
Picture ImportedPicture(const std::vector<uint8_t>& vram, ScreenMode mode);
