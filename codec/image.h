// Modern pictures as the importer takes them: 8-bit RGB in memory, whatever file they came
// from, and the signatures that tell the file kinds apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// width x height 8-bit sRGB pixels, top line first, red, green, blue. Transparency has been
// composited over black (each channel times alpha / 255, rounded).
struct RgbImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;
    std::string warning;  // damage the picture survived ("" for none), for the user
    // The shape of one pixel as the file declares it, its width over its height (PNG's pHYs,
    // a BMP's pixels per metre): 0.5 for pixels half as wide as high, 1 where the file says
    // nothing or nothing sane (PixelAspectOf).
    double pixelAspect = 1.0;
};

// The width over the height of a pixel whose file gives perUnitX pixels a unit across and
// perUnitY down: perUnitY / perUnitX. 1 (square) when either is zero or negative, or when the
// ratio is beyond 8:1 either way, which no picture means (such files are read without error).
double PixelAspectOf(int64_t perUnitX, int64_t perUnitY);

// Limits checked before anything is allocated from a header's claim.
constexpr int32_t kImageMaxSide = 16384;
constexpr int64_t kImageMaxPixels = int64_t{1} << 26;  // 64 Mpixel: 192 MiB of RGB at most

// Checks a header's width x height against both limits; false with a message that names the
// limit the image exceeds ("the PNG image is 16385 x 1 pixels: at most 16384 pixels a side").
// kind is "PNG" or "BMP".
bool CheckImageSize(const char* kind, int64_t width, int64_t height, std::string* error);

// The eight bytes every PNG file starts with (PNG specification, 5.2): a non-ASCII byte, the
// name, and the line endings and end-of-file mark that a text-mode transfer would change.
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// Walks a PNG file's chunks (after the signature) up to IEND, checking each one's length and
// CRC: false with *error for a file that ends inside a chunk or before IEND, or whose critical
// chunk (IHDR, PLTE, IDAT, IEND: first letter upper case) has a bad CRC. A bad CRC in an
// ancillary chunk, which decoders skip, is damage the picture survives: *warning names it.
bool CheckPngChunks(const uint8_t* bytes, size_t size, std::string* warning, std::string* error);

// The pixel aspect a PNG file's pHYs chunk declares (PNG specification, 11.3.5.3: pixels a unit
// across, down, each at most 2^31 - 1, then the unit: 0 unknown, which still gives the aspect,
// or 1 the metre), through PixelAspectOf. pHYs counts only before the first IDAT, and a damaged
// one (bad length or CRC) is skipped, as decoders skip it; another unit byte counts as none. 1
// without one. Reads only whole chunks within size: safe on any bytes.
double PngPixelAspect(const uint8_t* bytes, size_t size);

// The pixels a PNG's IHDR or a BMP's info header claims, within the limits (0 for bytes that
// claim nothing decodable: they are refused before any allocation), and for a PNG whether it is
// interlaced (a decoder then holds the whole image before converting it).
struct ImageClaim {
    uint64_t pixels = 0;
    bool interlaced = false;
};
ImageClaim ClaimedImage(const uint8_t* bytes, size_t size);

enum ImageFormat : int32_t {
    kImageUnknown = 0,
    kImagePng = 1,  // kPngSignature
    kImageBmp = 2,  // "BM"
};

ImageFormat SniffImageFormat(const uint8_t* bytes, size_t size);

// Four-byte pixels with straight (not premultiplied) alpha last, in either channel order.
enum AlphaLayout : int32_t {
    kLayoutRgba = 0,  // libpng's order
    kLayoutBgra = 1,  // the Windows Imaging Component's 32bppBGRA
};

// count such pixels composited over black into count RGB triples: each channel times
// alpha / 255, rounded to nearest.
void CompositeOverBlack(const uint8_t* pixels, size_t count, AlphaLayout layout, uint8_t* rgb);
