// The image files of a picture as vramoria-convert writes them (and the page downloads them):
// the display bitmap's BMP file image and the pane's picture as PNG, a COPY block's rectangle
// only. Memory out.
#pragma once

#include <cstdint>
#include <vector>

#include "image/picture.h"
#include "render/display.h"
#include "render/view.h"

// The BMP file: the display bitmap's file image (a COPY block: its rectangle, 24-bit).
void EncodeBmpFile(const Picture& picture, const DisplayBitmap& bitmap, std::vector<uint8_t>* bytes);

// The view's picture as PNG: palette pixels where it has at most 256 colours (a COPY block: its
// rectangle, RGB). False when the encoder fails.
bool EncodePngFile(const Picture& picture, const DisplayBitmap& bitmap, ViewSize view,
                   std::vector<uint8_t>* bytes);

// The 1:1 pane's picture (a COPY block's rectangle) fitted to size on its longer side, as PNG.
// False when no thumbnail can be made.
bool EncodeThumbnailFile(const Picture& picture, const DisplayBitmap& bitmap, int32_t size,
                         std::vector<uint8_t>* bytes);
