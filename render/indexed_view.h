// The pane's picture (see view.h) as PNG wants it: palette pixels wherever the picture has at
// most 256 colours, RGB otherwise.
//
//   DIB                 full, large views              small view
//   4 bpp (SCREEN 5)    4-bit indexed, 16 colours      4-bit indexed, 16 colours
//   4 bpp, 512 wide     4-bit indexed, 16 colours      given the 1:1 view's header, which
//   (SCREEN 6, 7)       (full: pHYs, pixels half as    reads the rows as 256 8-bit pixels:
//                       wide as high)                  8-bit indexed, the half-width table
//   8 bpp (SCREEN 8)    8-bit indexed, 256 colours     8-bit indexed, 256 colours
//   24 bpp (YJK)        8-bit indexed when the pixels use at most 256 colours, else RGB
//
// The pixels are exactly RenderView's; only the way PNG stores them differs.
#pragma once

#include <cstdint>

#include "codec/png_write.h"
#include "render/view.h"

// pHYs of the 512-wide full views: each pixel half as wide as high. Down, the BMP's 9000
// pixels per metre; across, twice that. (The BMP gives 512-wide pictures 16000 across, twice
// its 256-wide pictures' 8000, whose pixels PNG shows square; 18000 keeps the PNG's 512-wide
// pixels exactly half of those square ones.)
constexpr uint32_t kPhysHalfWidthX = 18000;
constexpr uint32_t kPhysHalfWidthY = 9000;

// Turns a bottom-up BI_RGB DIB of 4, 8 or 24 bits per pixel into *image for the view:
// bitmapInfo is its BITMAPINFOHEADER and colour table (for the small view of a 512-wide
// picture, the 1:1 view's header and half-width table), bits its rows, each padded to whole
// 32-bit words. The full view is the DIB's own size; the small view 256 wide, the large one
// 512 x twice the height, each pixel repeated. False, leaving *image unspecified, for any other
// DIB, or a view that is not a whole multiple of it.
bool BuildIndexedView(const uint8_t* bitmapInfo, const uint8_t* bits, ViewSize view,
                      PngImage* image);
