// PNG encoding with libpng, into memory.
#include "platform/png.h"

#include <png.h>

#include <cstddef>

namespace {

void AppendBytes(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

// libpng reports errors by longjmp to the setjmp below; this frame holds no object with a
// destructor between the two, so the jump skips nothing that needs to run.
bool Encode(const uint8_t* rgb, png_uint_32 width, png_uint_32 height, std::vector<uint8_t>* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, AppendBytes, FlushNothing);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (png_uint_32 y = 0; y < height; ++y) {
        png_write_row(png, const_cast<png_bytep>(rgb + static_cast<size_t>(y) * width * 3));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool EncodePngRgb(const uint8_t* rgb, int32_t width, int32_t height, std::vector<uint8_t>* png) {
    png->clear();
    if (width <= 0 || height <= 0) return false;
    if (!Encode(rgb, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), png)) {
        png->clear();
        return false;
    }
    return true;
}
