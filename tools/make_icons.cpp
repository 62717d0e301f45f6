// Writes the viewer's two icon files from the pixel art of tools/icon_art.h: icon 101 is
// "Buramo", a small MSX-era monitor with a face (the program's character), icon 102 a picture
// file with Buramo's screen on it.
//
// Each .ico holds the 16x16 drawing and the same drawing doubled to 32x32, 32 bits per pixel
// with an AND mask (a transparent pixel has alpha 0 and mask bit 1).
//
//   ICONDIR       reserved 0, type 1, count            (6 bytes)
//   ICONDIRENTRY  w, h, colours 0, 0, planes 1, bpp 32, bytes, offset   (16 bytes each)
//   image         BITMAPINFOHEADER (height doubled: colour rows + mask rows), BGRA rows
//                 bottom-up, then the 1-bit mask rows padded to 4 bytes
//
// Usage: make_icons OUTPUT_DIRECTORY
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/icon_art.h"

namespace {

using icon_art::CellColour;
using icon_art::Colour;
using icon_art::kBuramo;
using icon_art::kDocument;

void Put16(std::vector<uint8_t>* out, uint32_t v) {
    out->push_back(static_cast<uint8_t>(v));
    out->push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>* out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// One icon image of size x size from the 16x16 drawing (each cell scaled size/16 times).
std::vector<uint8_t> IconImage(const char* const drawing[16], int size) {
    int scale = size / 16;
    std::vector<uint8_t> image;
    Put32(&image, 40);        // biSize
    Put32(&image, size);      // biWidth
    Put32(&image, size * 2);  // biHeight: colour bitmap and mask
    Put16(&image, 1);         // biPlanes
    Put16(&image, 32);        // biBitCount
    for (int i = 0; i < 6; ++i) Put32(&image, 0);
    std::vector<uint8_t> mask;
    int maskRowBytes = ((size + 31) / 32) * 4;
    for (int y = size - 1; y >= 0; --y) {  // bottom-up
        std::vector<uint8_t> maskRow(maskRowBytes, 0);
        for (int x = 0; x < size; ++x) {
            const Colour* colour = CellColour(drawing, x / scale, y / scale);
            if (colour == nullptr) {
                for (int i = 0; i < 4; ++i) image.push_back(0);
                maskRow[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
            } else {
                image.push_back(colour->b);
                image.push_back(colour->g);
                image.push_back(colour->r);
                image.push_back(0xFF);
            }
        }
        mask.insert(mask.end(), maskRow.begin(), maskRow.end());
    }
    image.insert(image.end(), mask.begin(), mask.end());
    return image;
}

bool WriteIcon(const std::string& path, const char* const drawing[16]) {
    const int sizes[] = {16, 32};
    std::vector<std::vector<uint8_t>> images;
    for (int size : sizes) images.push_back(IconImage(drawing, size));
    std::vector<uint8_t> file;
    Put16(&file, 0);
    Put16(&file, 1);  // icon
    Put16(&file, static_cast<uint32_t>(images.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        file.push_back(static_cast<uint8_t>(sizes[i]));
        file.push_back(static_cast<uint8_t>(sizes[i]));
        file.push_back(0);  // colour count: none (true colour)
        file.push_back(0);
        Put16(&file, 1);
        Put16(&file, 32);
        Put32(&file, static_cast<uint32_t>(images[i].size()));
        Put32(&file, offset);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const auto& image : images) file.insert(file.end(), image.begin(), image.end());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icons OUTPUT_DIRECTORY\n");
        return 2;
    }
    std::string dir = argv[1];
    if (!WriteIcon(dir + "/vramoria.ico", kBuramo) || !WriteIcon(dir + "/document.ico", kDocument)) {
        std::fprintf(stderr, "make_icons: cannot write the icons into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
