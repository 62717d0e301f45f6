// Format signatures and alpha compositing, shared by every decoder.
#include "codec/image.h"

#include <cstring>

#include "codec/checksum.h"
#include "codec/endian.h"

ImageFormat SniffImageFormat(const uint8_t* bytes, size_t size) {
    if (size >= sizeof kPngSignature && std::memcmp(bytes, kPngSignature, sizeof kPngSignature) == 0) {
        return kImagePng;
    }
    if (size >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return kImageBmp;
    return kImageUnknown;
}

bool CheckImageSize(const char* kind, int64_t width, int64_t height, std::string* error) {
    const std::string image = std::string("the ") + kind + " image is " + std::to_string(width) +
                              " x " + std::to_string(height) + " pixels: ";
    if (width > kImageMaxSide || height > kImageMaxSide) {
        *error = image + "at most " + std::to_string(kImageMaxSide) + " pixels a side";
        return false;
    }
    if (width * height > kImageMaxPixels) {
        *error = image + "at most " + std::to_string(kImageMaxPixels) + " pixels (" +
                 std::to_string(kImageMaxPixels >> 20) + " Mpixel) in all";
        return false;
    }
    return true;
}

bool CheckPngChunks(const uint8_t* bytes, size_t size, std::string* warning, std::string* error) {
    warning->clear();
    for (size_t at = sizeof kPngSignature;;) {
        if (size - at < 12) {
            *error = at == size ? "the PNG file ends without its IEND chunk (truncated?)"
                                : "the PNG file ends inside a chunk header (truncated?)";
            return false;
        }
        const uint32_t length = GetBigEndian32(bytes + at);
        const uint8_t* type = bytes + at + 4;
        for (int i = 0; i < 4; ++i) {
            if (!((type[i] >= 'A' && type[i] <= 'Z') || (type[i] >= 'a' && type[i] <= 'z'))) {
                *error = "the PNG file is damaged: a chunk type that is not four letters";
                return false;
            }
        }
        const std::string name(reinterpret_cast<const char*>(type), 4);
        if (length > 0x7FFFFFFFu || length > size - at - 12) {
            *error = "the PNG file ends inside its " + name + " chunk (truncated?)";
            return false;
        }
        const uint32_t stored = GetBigEndian32(type + 4 + length);
        if (Crc32(0, type, size_t{length} + 4) != stored) {
            if ((type[0] & 0x20) == 0) {
                *error = "the PNG file's " + name + " chunk is damaged (its CRC does not match)";
                return false;
            }
            if (warning->empty()) {
                *warning = "the PNG file's " + name + " chunk is damaged (its CRC does not match); it was skipped";
            }
        }
        if (name == "IEND") return true;
        at += size_t{length} + 12;
    }
}

double PixelAspectOf(int64_t perUnitX, int64_t perUnitY) {
    if (perUnitX <= 0 || perUnitY <= 0) return 1.0;
    const double aspect = static_cast<double>(perUnitY) / static_cast<double>(perUnitX);
    return aspect >= 1.0 / 8 && aspect <= 8.0 ? aspect : 1.0;
}

double PngPixelAspect(const uint8_t* bytes, size_t size) {
    if (SniffImageFormat(bytes, size) != kImagePng) return 1.0;
    for (size_t at = sizeof kPngSignature; size - at >= 12;) {
        const uint32_t length = GetBigEndian32(bytes + at);
        const uint8_t* type = bytes + at + 4;
        if (length > size - at - 12) break;
        if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0) break;
        if (std::memcmp(type, "pHYs", 4) == 0 && length == 9 &&
            Crc32(0, type, 4 + 9) == GetBigEndian32(type + 4 + 9)) {
            const uint8_t* data = type + 4;
            const uint32_t x = GetBigEndian32(data);
            const uint32_t y = GetBigEndian32(data + 4);
            if (data[8] > 1 || x > 0x7FFFFFFFu || y > 0x7FFFFFFFu) return 1.0;
            return PixelAspectOf(x, y);
        }
        at += size_t{length} + 12;
    }
    return 1.0;
}

void CompositeOverBlack(const uint8_t* pixels, size_t count, AlphaLayout layout, uint8_t* rgb) {
    // Red sits at byte 0 of an RGBA pixel and at byte 2 of a BGRA one.
    const int red = layout == kLayoutBgra ? 2 : 0;
    const int step = layout == kLayoutBgra ? -1 : 1;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = pixels + 4 * i;
        const uint32_t alpha = p[3];
        for (int c = 0; c < 3; ++c) {
            rgb[3 * i + c] = static_cast<uint8_t>((p[red + step * c] * alpha + 127) / 255);
        }
    }
}

ImageClaim ClaimedImage(const uint8_t* bytes, size_t size) {
    int64_t width = 0;
    int64_t height = 0;
    ImageClaim claim;
    switch (SniffImageFormat(bytes, size)) {
        case kImagePng:  // IHDR first: width and height big-endian at 16, interlace at 28
            if (size < 29) return claim;
            width = static_cast<int64_t>(GetBigEndian32(bytes + 16));
            height = static_cast<int64_t>(GetBigEndian32(bytes + 20));
            claim.interlaced = bytes[28] != 0;
            break;
        case kImageBmp:  // BITMAPINFOHEADER: width and (signed) height at 18 and 22
            if (size < 26) return claim;
            width = static_cast<int32_t>(Get32(bytes + 18));
            height = static_cast<int32_t>(Get32(bytes + 22));
            if (height < 0) height = -height;
            break;
        case kImageUnknown:
            return claim;
    }
    if (width <= 0 || height <= 0 || width > kImageMaxSide || height > kImageMaxSide ||
        width * height > kImageMaxPixels) {
        return ImageClaim{};
    }
    claim.pixels = static_cast<uint64_t>(width * height);
    return claim;
}
