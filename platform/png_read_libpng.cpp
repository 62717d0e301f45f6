// PNG decoding with libpng, from memory.
//
// libpng reports errors by longjmp to the setjmp of the frame that called it. The frames that
// call libpng (ReadHeader, ReadPixels, ReadRow) hold no object with a destructor, so the jump
// skips nothing that needs to run; the pixel buffer is allocated by the caller between them,
// after the header's claim has been checked.
#include <png.h>

#include <cstdio>
#include <cstring>

#include "codec/endian.h"
#include "platform/image_read.h"

namespace {

struct Source {
    const uint8_t* bytes;
    size_t size;
    size_t position;
    char message[160];  // libpng's words for the error that ended decoding
};

void ReadFromMemory(png_structp png, png_bytep out, size_t length) {
    auto* source = static_cast<Source*>(png_get_io_ptr(png));
    if (length > source->size - source->position) png_error(png, "the file ends too early");
    std::memcpy(out, source->bytes + source->position, length);
    source->position += length;
}

void OnError(png_structp png, png_const_charp message) {
    auto* source = static_cast<Source*>(png_get_error_ptr(png));
    std::snprintf(source->message, sizeof source->message, "%s", message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}  // damaged ancillary chunks are skipped

struct Header {
    png_uint_32 width;
    png_uint_32 height;
    size_t rowBytes;  // after the transforms: 4 bytes a pixel, RGBA
};

bool ReadHeader(png_structp png, png_infop info, Header* header) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    // Every kind to 8-bit RGBA: palette and low-bit grey expanded, tRNS to alpha, 16 bits
    // scaled to 8, grey to RGB, an opaque alpha added where there is none.
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    header->width = png_get_image_width(png, info);
    header->height = png_get_image_height(png, info);
    header->rowBytes = png_get_rowbytes(png, info);
    return true;
}

bool ReadPixels(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    return true;
}

// One row of a picture that is not interlaced, into row (RGBA).
bool ReadRow(png_structp png, png_bytep row) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_row(png, row, nullptr);
    return true;
}

// A picture that is not interlaced, row by row through one RGBA row: the whole image is held
// once, as RGB (an 8192 x 8192 picture took 448 MiB with a whole RGBA copy, 192 MiB without).
bool ReadRowsToRgb(png_structp png, const Header& header, uint8_t* rgb) {
    std::vector<uint8_t> row(header.rowBytes);
    for (png_uint_32 y = 0; y < header.height; ++y) {
        if (!ReadRow(png, row.data())) return false;
        CompositeOverBlack(row.data(), header.width, kLayoutRgba, rgb + size_t{y} * header.width * 3);
    }
    return true;
}

bool Decode(png_structp png, png_infop info, Source* source, RgbImage* image, std::string* error) {
    Header header{};
    if (!ReadHeader(png, info, &header)) {
        *error = std::string("not a readable PNG file: ") + source->message;
        return false;
    }
    const uint64_t pixels = uint64_t{header.width} * header.height;
    if (!CheckImageSize("PNG", header.width, header.height, error)) return false;
    // Deflate packs at most about 1032 bytes into one; a 1-bit image needs at least a bit a
    // pixel before compression. A claim the file cannot hold is refused before allocating.
    if (pixels / 8 / 1032 > source->size) {
        *error = "the PNG file is too short for the " + std::to_string(header.width) + " x " +
                 std::to_string(header.height) + " image it claims";
        return false;
    }
    if (header.rowBytes != size_t{header.width} * 4) {
        *error = "the PNG image could not be converted to RGB";
        return false;
    }
    image->rgb.resize(static_cast<size_t>(pixels) * 3);
    bool read = false;
    if (png_get_interlace_type(png, info) == PNG_INTERLACE_NONE) {
        read = ReadRowsToRgb(png, header, image->rgb.data());
    } else {  // the passes fill every row again: the whole RGBA image is needed
        std::vector<uint8_t> rgba(static_cast<size_t>(pixels) * 4);
        std::vector<png_bytep> rows(header.height);
        for (png_uint_32 y = 0; y < header.height; ++y) rows[y] = rgba.data() + size_t{y} * header.rowBytes;
        read = ReadPixels(png, rows.data());
        if (read) CompositeOverBlack(rgba.data(), pixels, kLayoutRgba, image->rgb.data());
    }
    if (!read) {
        *error = std::string("the PNG file is damaged: ") + source->message;
        return false;
    }
    image->width = static_cast<int32_t>(header.width);
    image->height = static_cast<int32_t>(header.height);
    return true;
}

}  // namespace

bool DecodePng(const uint8_t* bytes, size_t size, RgbImage* image, std::string* error) {
    *image = RgbImage{};
    error->clear();
    if (size < 8 || png_sig_cmp(bytes, 0, 8) != 0) {
        *error = "not a PNG file";
        return false;
    }
    // The first chunk is IHDR (length 13, "IHDR", width, height, big-endian): its size is
    // checked here, so that libpng's own limit (which says only "Invalid IHDR data") is never
    // what refuses it.
    if (size >= 24 && std::memcmp(bytes + 12, "IHDR", 4) == 0 &&
        !CheckImageSize("PNG", GetBigEndian32(bytes + 16), GetBigEndian32(bytes + 20), error)) {
        return false;
    }
    Source source{bytes, size, 0, "unknown error"};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, OnError, OnWarning);
    if (png == nullptr) {
        *error = "the PNG decoder could not start";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    bool ok = false;
    if (info != nullptr) {
        png_set_read_fn(png, &source, ReadFromMemory);
        png_set_user_limits(png, kImageMaxSide, kImageMaxSide);
        png_set_chunk_malloc_max(png, 8u << 20);  // no ancillary chunk of more than 8 MiB
        ok = Decode(png, info, &source, image, error);
    } else {
        *error = "the PNG decoder could not start";
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) *image = RgbImage{};
    return ok;
}

uint64_t PngDecodeBytesPerPixel(bool interlaced) { return interlaced ? 7 : 3; }
