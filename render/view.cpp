// The pane's picture as RGB pixels (see view.h).
#include "render/view.h"

#include <algorithm>

#include "codec/endian.h"
#include "image/picture.h"
#include "render/display.h"

namespace {

// A bottom-up BI_RGB DIB of our own making: a BITMAPINFO (header, colour table) and its rows.
struct Dib {
    const uint8_t* info;
    const uint8_t* bits;
    int32_t width;
    int32_t bitsPerPixel;
    int32_t lines;
    int32_t stride;  // rows are padded to whole 32-bit words
};

Dib MakeDib(const DisplayBitmap& bitmap, const uint8_t* info) {
    Dib dib;
    dib.info = info;
    dib.bits = bitmap.Rows();
    dib.width = static_cast<int32_t>(Get32(info + 4));
    dib.bitsPerPixel = static_cast<int32_t>(Get16(info + 14));
    dib.lines = static_cast<int32_t>(Get32(info + 8));
    dib.stride = (dib.width * dib.bitsPerPixel + 31) / 32 * 4;
    return dib;
}

// Pixel x of picture line y (line 0 is the top, stored last) as red, green, blue.
void ReadPixel(const Dib& dib, int32_t x, int32_t y, uint8_t* rgb) {
    const uint8_t* row = dib.bits + (dib.lines - 1 - y) * dib.stride;
    const uint8_t* colour;  // blue, green, red
    switch (dib.bitsPerPixel) {
        case 4: {
            const uint8_t pair = row[x >> 1];
            colour =
                dib.info + 40 + 4 * ((x & 1) != 0 ? pair & 15 : pair >> 4);  // high nibble left
            break;
        }
        case 8:
            colour = dib.info + 40 + 4 * row[x];
            break;
        default:  // 24: blue, green, red in the row itself
            colour = row + 3 * x;
            break;
    }
    rgb[0] = colour[2];
    rgb[1] = colour[1];
    rgb[2] = colour[0];
}

}  // namespace

int32_t ViewWidth(const DisplayBitmap& bitmap, ViewSize view) {
    switch (view) {
        case kViewFull:
            return bitmap.Width();
        case kViewSmall:
            return 256;
        case kViewLarge:
            return 512;
    }
    return 0;
}

int32_t ViewHeight(const DisplayBitmap& bitmap, ViewSize view) {
    return view == kViewLarge ? 2 * bitmap.Height() : bitmap.Height();
}

void RenderView(const DisplayBitmap& bitmap, ViewSize view, uint8_t* rgb) {
    // The 1:1 pane paints through the view header (the half-width view for SCREEN 6 and 7); the
    // full picture and the doubled pane use the file image's own header, stretched to 512 x 424
    // in the latter.
    const Dib dib = MakeDib(bitmap, view == kViewSmall ? bitmap.ViewInfo() : bitmap.FileInfo());
    const int32_t width = ViewWidth(bitmap, view);
    const int32_t height = ViewHeight(bitmap, view);
    const int32_t xScale = width / dib.width;  // 1, or 2 when a 256-wide picture is doubled
    const int32_t yScale = height / dib.lines;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x, rgb += 3) ReadPixel(dib, x / xScale, y / yScale, rgb);
    }
}

ShownPixels ShownView(const Picture& picture, const DisplayBitmap& bitmap, ViewSize view) {
    const int32_t width = ViewWidth(bitmap, view);
    const int32_t height = ViewHeight(bitmap, view);
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    RenderView(bitmap, view, rgb.data());
    if (picture.blockLines == 0) return {std::move(rgb), width, height};
    const int32_t lines = ScreenModeOf(picture.screenMode).lines;
    ShownPixels block{{}, (picture.blockWidth512 * width + 511) / 512, (picture.blockLines * height + lines - 1) / lines};
    block.rgb.resize(static_cast<size_t>(block.width) * block.height * 3);
    for (int32_t y = 0; y < block.height; ++y) {
        std::copy_n(rgb.data() + static_cast<size_t>(y) * width * 3, static_cast<size_t>(block.width) * 3,
                    block.rgb.data() + static_cast<size_t>(y) * block.width * 3);
    }
    return block;
}
