// A desktop thumbnail from the pane's RGB pixels (three bytes a pixel, red, green, blue, top line
// first), fitted into SIZE x SIZE on its longer side as file managers ask (freedesktop sizes: 128
// "normal", 256 "large", bigger on high-density screens).
//
// Down, each thumbnail pixel is the exact area average of the picture pixels it covers, also for
// ratios that are not whole numbers (256 -> 100 weighs the border pixels by the fraction that
// lies inside); up, each thumbnail pixel is the nearest picture pixel, so MSX pixels stay sharp
// squares. Enlarging stops at 4x: a 256 x 212 picture asked for at 2000 becomes 1024 x 848, as a
// thumbnailer may return less than asked for and bigger says nothing new.
#pragma once

#include <cstdint>
#include <vector>

constexpr int32_t kThumbnailMaxEnlargement = 4;

struct Thumbnail {
    int32_t width = 0;   // 0 when the input was empty or size < 1
    int32_t height = 0;
    std::vector<uint8_t> rgb;  // width * height * 3 bytes, top line first
};

// The thumbnail's width and height for a width x height picture (longer side min(size, 4 x
// longer side), the shorter in proportion, rounded to nearest, at least 1). Zeros for bad input.
void ThumbnailSize(int32_t width, int32_t height, int32_t size, int32_t* thumbWidth,
                   int32_t* thumbHeight);

// Scales width x height RGB pixels to the thumbnail of ThumbnailSize.
Thumbnail MakeThumbnail(const uint8_t* rgb, int32_t width, int32_t height, int32_t size);
