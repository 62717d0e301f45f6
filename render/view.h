// What the viewer's pane shows, as plain RGB pixels (for PNG output and for tests).
//
//   view   SCREEN 5, 8, 10/11, 12          SCREEN 6, 7
//   full   256 x 212, the bitmap's pixels  512 x 212, the bitmap's pixels
//   small  256 x 212, pixel for pixel      256 x 212, each pair of pixels as one pixel in its
//                                          half-width colour (the 1:1 pane)
//   large  512 x 424, each pixel 2 x 2     512 x 424, each pixel 1 wide and 2 high (the doubled
//                                          pane)
//
// The pattern modes (SCREEN 1-4) are as SCREEN 5, with 192 lines (384 in the large view).
//
// Everything is read from a display bitmap through its own headers (the file image's
// for full and large, the 1:1 view's for small), as the pane paints it.
#pragma once

#include <cstdint>
#include <vector>

#include "render/display.h"

enum ViewSize : int32_t {
    kViewFull = 0,   // the bitmap as saved
    kViewSmall = 1,  // the 1:1 pane
    kViewLarge = 2,  // the doubled pane
};

int32_t ViewWidth(const DisplayBitmap& bitmap, ViewSize view);
int32_t ViewHeight(const DisplayBitmap& bitmap, ViewSize view);

// Writes ViewWidth x ViewHeight pixels of the display bitmap, top line first, three bytes each
// in the order red, green, blue.
void RenderView(const DisplayBitmap& bitmap, ViewSize view, uint8_t* rgb);

// A view's pixels as RenderView writes them, cropped to a COPY block's rectangle where the
// picture is one (the whole view otherwise): what vramoria-convert's PNG output and the page's
// pane show of it.
struct ShownPixels {
    std::vector<uint8_t> rgb;
    int32_t width;
    int32_t height;
};
ShownPixels ShownView(const Picture& picture, const DisplayBitmap& bitmap, ViewSize view);
