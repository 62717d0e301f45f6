// The choice between the decoders, the same on every platform.
#include "platform/image_read.h"

#include "codec/bmp.h"

bool DecodeImage(const uint8_t* bytes, size_t size, RgbImage* image, std::string* error) {
    switch (SniffImageFormat(bytes, size)) {
        case kImagePng: {
            // The chunks are checked here, and pHYs read, the same whichever decoder the
            // platform has.
            std::string warning;
            if (!CheckPngChunks(bytes, size, &warning, error)) {
                *image = RgbImage{};
                return false;
            }
            if (!DecodePng(bytes, size, image, error)) return false;
            image->warning = warning;
            image->pixelAspect = PngPixelAspect(bytes, size);
            return true;
        }
        case kImageBmp:
            return DecodeBmp(bytes, size, image, error);
        case kImageUnknown:
            break;
    }
    *image = RgbImage{};
    *error = "not a PNG or BMP file";
    return false;
}

uint64_t DecodeBytesClaimed(const uint8_t* bytes, size_t size) {
    const ImageClaim claim = ClaimedImage(bytes, size);
    const bool png = SniffImageFormat(bytes, size) == kImagePng;
    return claim.pixels * (png ? PngDecodeBytesPerPixel(claim.interlaced) : 4);
}
