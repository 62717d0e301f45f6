// PNG encoding with libpng, into memory.
#include <png.h>

#include <cstddef>

#include "platform/png.h"

namespace {

void AppendBytes(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

// libpng reports errors by longjmp to the setjmp below; this frame holds no object with a
// destructor between the two, so the jump skips nothing that needs to run.
bool Encode(const PngImage& image, int level, bool filterRows, int strategy,
            std::vector<uint8_t>* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, AppendBytes, FlushNothing);
    png_set_compression_level(png, level);
    if (strategy >= 0 && strategy <= 3) png_set_compression_strategy(png, strategy);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, filterRows ? PNG_ALL_FILTERS : PNG_FILTER_NONE);
    const bool indexed = image.colour == kPngIndexed;
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), image.bitDepth,
                 indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (indexed) {
        png_color palette[256];
        for (int32_t i = 0; i < image.paletteSize; ++i) {
            palette[i].red = image.palette[3 * i];
            palette[i].green = image.palette[3 * i + 1];
            palette[i].blue = image.palette[3 * i + 2];
        }
        png_set_PLTE(png, info, palette, image.paletteSize);
    }
    if (image.pixelsPerMetreX != 0 && image.pixelsPerMetreY != 0) {
        png_set_pHYs(png, info, image.pixelsPerMetreX, image.pixelsPerMetreY, PNG_RESOLUTION_METER);
    }
    png_write_info(png, info);
    for (int32_t y = 0; y < image.height; ++y) {
        png_write_row(png, image.pixels.data() + static_cast<size_t>(y) * image.stride);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool EncodePng(const PngImage& image, std::vector<uint8_t>* png, const PngCompression& compression) {
    png->clear();
    if (!PngImageValid(image)) return false;
    const bool indexed = image.colour == kPngIndexed;
    const int level = compression.level >= 1 && compression.level <= 9
                          ? compression.level
                          : (indexed ? kPngLevelIndexed : kPngLevelRgb);
    if (!Encode(image, level, PngFilterRows(image, compression), compression.strategy, png)) {
        png->clear();
        return false;
    }
    return true;
}
