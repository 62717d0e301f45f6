// 24-bit BMP writing (see bmp_write.h).
#include "codec/bmp_write.h"

#include <cstddef>

#include "codec/endian.h"

void EncodeBmpRgb(const uint8_t* rgb, int32_t width, int32_t height, std::vector<uint8_t>* bmp) {
    const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;  // whole 32-bit words
    const uint32_t offBits = 14 + 40;
    const uint32_t size = offBits + stride * static_cast<uint32_t>(height);
    bmp->assign(size, 0);
    uint8_t* file = bmp->data();
    file[0] = 'B';
    file[1] = 'M';
    Put32(file + 2, size);      // bfSize
    Put32(file + 10, offBits);  // bfOffBits
    uint8_t* info = file + 14;
    Put32(info + 0, 40);                              // biSize
    Put32(info + 4, static_cast<uint32_t>(width));    // biWidth
    Put32(info + 8, static_cast<uint32_t>(height));   // biHeight > 0: bottom-up
    Put16(info + 12, 1);                              // biPlanes
    Put16(info + 14, 24);                             // biBitCount; BI_RGB
    Put32(info + 20, stride * static_cast<uint32_t>(height));  // biSizeImage
    Put32(info + 24, 8000);                           // biXPelsPerMeter, as the display bitmap's
    Put32(info + 28, 9000);                           // biYPelsPerMeter
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = file + offBits + stride * static_cast<uint32_t>(height - 1 - y);
        const uint8_t* src = rgb + static_cast<size_t>(y) * width * 3;
        for (int32_t x = 0; x < width; ++x) {  // blue, green, red
            row[3 * x] = src[3 * x + 2];
            row[3 * x + 1] = src[3 * x + 1];
            row[3 * x + 2] = src[3 * x];
        }
    }
}
