// The display bitmap: the picture as one Windows bitmap file image in memory (see display.h).
#include "render/display.h"

#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "codec/endian.h"
#include "image/picture.h"
#include "palette/palette.h"
#include "render/pattern.h"
#include "render/yjk.h"

namespace {

constexpr uint32_t kFileHeaderBytes = 14;                               // BITMAPFILEHEADER
constexpr uint32_t kInfoHeaderBytes = 40;                               // BITMAPINFOHEADER
constexpr uint32_t kHeaderBytes = kFileHeaderBytes + kInfoHeaderBytes;  // 54
constexpr uint32_t kInfoOffset = 2 + kFileHeaderBytes;                  // 16
constexpr uint32_t kColourTableOffset = 2 + kHeaderBytes;               // 56
// The half-width view: a BITMAPINFOHEADER and 256 RGBQUADs after the file image.
constexpr uint32_t kHalfWidthViewBytes = kInfoHeaderBytes + 256 * 4;  // 1064

// The bitmap layout of each mode.
struct BitmapLayout {
    uint16_t bitsPerPixel;
    uint8_t widthFactor;     // 2 for the 512-pixel modes
    uint32_t colourEntries;  // RGBQUADs in the file image's colour table
    uint32_t lines;          // 212, or 192 for the pattern modes
};

BitmapLayout LayoutOf(int32_t mode) {
    switch (mode) {
        case kScreen5:  // GRAPHIC4: 4 bpp through the 16-entry palette
            return {4, 1, 16, kScreenLines};
        case kScreen6:  // GRAPHIC5: 2 bpp shown as 4 bpp (colour codes 0, 5, 10, 15)
        case kScreen7:  // GRAPHIC6: 4 bpp, 512 wide
            return {4, 2, 16, kScreenLines};
        case kScreen8:  // GRAPHIC7: one GGGRRRBB byte per pixel, a fixed 256-entry table
            return {8, 1, 256, kScreenLines};
        case kScreen10:  // YJK + YAE and plain YJK are decoded to true colour
        case kScreen12:
            return {24, 1, 0, kScreenLines};
        case kScreen1:  // the pattern modes: colour codes 0-15, 4 bpp, 192 lines
        case kScreen2:
        case kScreen3:
        case kScreen4:
            return {4, 1, 16, kPatternLines};
        case kScreenModeCount:
            break;
    }
    return {24, 1, 0, kScreenLines};  // not reached: a picture's mode is always 0..9
}

uint32_t OffBitsOf(const BitmapLayout& layout) { return kHeaderBytes + 4 * layout.colourEntries; }

// Lines of 32 x bits x widthFactor bytes: rows are whole 32-bit words in every mode.
uint32_t FileSizeOf(const BitmapLayout& layout) {
    return OffBitsOf(layout) + layout.lines * 32u * layout.bitsPerPixel * layout.widthFactor;
}

bool HasHalfWidthView(int32_t mode) { return mode == kScreen6 || mode == kScreen7; }

// GRAPHIC7's fixed colours: 3-bit green and red through the level table; blue has only two bits.
// The viewer spreads them evenly, 0x00, 0x52, 0xAD, 0xFF; the V9938 shows them at the palette
// levels 0, 2, 4 and 7 (its 2-bit blue b is the 3-bit level 2b, with 3 as 7). Entry order
// GGGRRRBB: green outermost, blue innermost.
void BuildScreen8ColorTable(uint8_t* table, ColourMapping colours) {
    static const uint8_t kViewerBlue[4] = {0x00, 0x52, 0xAD, 0xFF};
    const uint8_t hardwareBlue[4] = {kLevelTable[0], kLevelTable[2], kLevelTable[4], kLevelTable[7]};
    const uint8_t* kBlue = colours == kHardwareColours ? hardwareBlue : kViewerBlue;
    for (int green = 0; green < 8; ++green) {
        for (int red = 0; red < 8; ++red) {
            for (int blue = 0; blue < 4; ++blue) {
                table[0] = kBlue[blue];
                table[1] = kLevelTable[green];
                table[2] = kLevelTable[red];
                table[3] = 0;
                table += 4;
            }
        }
    }
}

// The 1:1 view of SCREEN 6 and 7 reads each byte of a 4-bit row (two adjacent pixels) as one
// 8-bit pixel, so entry i is the mean of colours i >> 4 and i & 15. Per channel, with the low
// three bits dropped: s = (a & 0xF8) + (b & 0xF8), mean (s >> 1) + (s >> 6). The (s >> 6) term
// puts back the top bits, so that every level-table value averaged with itself is itself and
// 0x00 with 0xFF gives 0x7F. All three channels at once: the masked sums carry at most into
// the next channel's bit 0, which the masks leave clear, and the shifts move it back.
void BuildHalfWidthColorTable(const uint8_t* colours16, uint8_t* table) {
    uint32_t masked[16];
    for (int n = 0; n < 16; ++n) masked[n] = Get32(colours16 + 4 * n) & 0xF8F8F8u;
    for (int i = 0; i < 256; ++i) {
        uint32_t e = masked[i >> 4] + masked[i & 15];
        Put32(table + 4 * i, ((e >> 6) & 0x070707u) + (e >> 1));
    }
}

void FillHalfWidthHeader(uint8_t* header) {
    std::memset(header, 0, kInfoHeaderBytes);
    Put32(header + 0, kInfoHeaderBytes);  // biSize
    Put32(header + 4, 256);               // biWidth: a byte of the 4-bit row is one pixel
    Put32(header + 8, kScreenLines);      // biHeight: bottom-up, the same rows
    Put16(header + 12, 1);                // biPlanes
    Put16(header + 14, 8);                // biBitCount; biClrUsed 0 = 256 colours
}

// SCREEN 5 and 6: 128 bytes a line, all 212 lines; the store always holds 0x6A00 bytes.
void FillScreen5Rows(const uint8_t* vram, uint8_t* rows) {
    for (int32_t line = kScreenLines - 1; line >= 0; --line, rows += 128) {
        std::memcpy(rows, vram + 128 * line, 128);
    }
}

#if defined(__SSE2__)
// Sixteen SCREEN 6 bytes at a time (x86-64 always has SSE2). Per byte: the left pair of pixels
// p0 p1 (bits 7-4) spread to p0 << 4 | p1, the right pair p2 p3 likewise, each times 5 in the
// viewer's colours (every nibble is at most 3, so nothing carries), then the two interleaved:
// the Screen6ExpandTable entries, computed for 64 pixels at once. The 16-bit shifts move bits
// across byte borders only into places the masks clear.
void ExpandScreen6Line(const uint8_t* src, uint8_t* dst, const uint16_t*, bool timesFive) {
    const __m128i low = _mm_set1_epi8(0x03);
    const __m128i high = _mm_set1_epi8(0x30);
    for (int32_t i = 0; i < 128; i += 16, dst += 32) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        __m128i left = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(v, 2), high),
                                    _mm_and_si128(_mm_srli_epi16(v, 4), low));
        __m128i right =
            _mm_or_si128(_mm_and_si128(_mm_slli_epi16(v, 2), high), _mm_and_si128(v, low));
        if (timesFive) {
            left = _mm_add_epi8(left, _mm_slli_epi16(left, 2));
            right = _mm_add_epi8(right, _mm_slli_epi16(right, 2));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_unpacklo_epi8(left, right));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), _mm_unpackhi_epi8(left, right));
    }
}
#else
// One table lookup per byte, four entries stored as one 64-bit word.
void ExpandScreen6Line(const uint8_t* src, uint8_t* dst, const uint16_t* expand, bool) {
    for (int32_t i = 0; i < 128; i += 4, dst += 8) {
        const uint64_t eight = static_cast<uint64_t>(expand[src[i]]) |
                               static_cast<uint64_t>(expand[src[i + 1]]) << 16 |
                               static_cast<uint64_t>(expand[src[i + 2]]) << 32 |
                               static_cast<uint64_t>(expand[src[i + 3]]) << 48;
        Put32(dst, static_cast<uint32_t>(eight));
        Put32(dst + 4, static_cast<uint32_t>(eight >> 32));
    }
}
#endif

void FillScreen6Rows(const uint8_t* vram, uint8_t* rows, ColourMapping colours) {
    uint16_t expand[256];
    BuildScreen6ExpandTable(expand, colours);
    const bool timesFive = colours == kViewerColours;
    for (int32_t line = kScreenLines - 1; line >= 0; --line, rows += 256) {
        ExpandScreen6Line(vram + 128 * line, rows, expand, timesFive);
    }
}

// The 256-bytes-per-line modes read lines 0..L, L being the line that holds the last image
// byte; the rows of the lines below it are zero. Line L is read whole: the store's capacity is
// a multiple of 256 that reaches past imageSize. Returns L (-1 for an empty picture).
int32_t LastImageLine(int32_t imageSize) {
    // Only for a positive size: >> of a negative number is defined from C++20 on.
    return imageSize > 0 ? (imageSize - 1) >> 8 : -1;
}

// The pattern modes: 192 lines decoded from the tables, bottom line first.
void FillPatternRows(const Picture& picture, uint8_t* rows) {
    for (int32_t line = kPatternLines - 1; line >= 0; --line, rows += 128) {
        PatternRow(picture, line, rows);
    }
}

void FillLargeRows(const Picture& picture, uint8_t* rows, const uint8_t* paletteColours) {
    const int32_t mode = picture.screenMode;
    const uint32_t rowBytes = mode == kScreen10 || mode == kScreen12 ? 768 : 256;
    const int32_t last = LastImageLine(picture.imageSize);
    const uint32_t emptyRows = static_cast<uint32_t>(kScreenLines - 1 - last);
    std::memset(rows, 0, emptyRows * rowBytes);
    rows += emptyRows * rowBytes;
    const uint8_t* vram = picture.data.data();
    for (int32_t line = last; line >= 0; --line, rows += rowBytes) {
        const uint8_t* src = vram + 256 * line;
        switch (mode) {
            case kScreen7:  // GRAPHIC6: the 4-bit packing of the DIB, high nibble left
            case kScreen8:  // GRAPHIC7: each byte indexes the fixed colour table
                std::memcpy(rows, src, 256);
                break;
            case kScreen10:  // SCREEN 10/11: YJK, bit 3 selects a palette colour
                DecodeYjkRow(src, rows, true, paletteColours);
                break;
            case kScreen12:  // SCREEN 12: YJK only
                DecodeYjkRow(src, rows, false, paletteColours);
                break;
            case kScreen5:  // 128-byte lines: FillScreen5Rows / FillScreen6Rows
            case kScreen6:
            case kScreen1:  // tables, not lines: FillPatternRows
            case kScreen2:
            case kScreen3:
            case kScreen4:
            case kScreenModeCount:
                break;
        }
    }
}

}  // namespace

void InitBitmapHeaders(uint8_t* buffer, uint16_t bitsPerPixel, uint32_t offBits,
                       uint8_t widthFactor, uint32_t lines) {
    std::memset(buffer, 0, kColourTableOffset);
    uint8_t* file = buffer + 2;
    file[0] = 'B';
    file[1] = 'M';
    Put32(file + 2, offBits + lines * 32u * bitsPerPixel * widthFactor);  // bfSize
    Put32(file + 10, offBits);                                            // bfOffBits
    uint8_t* info = buffer + kInfoOffset;
    Put32(info + 0, kInfoHeaderBytes);      // biSize
    Put32(info + 4, 256u * widthFactor);    // biWidth
    Put32(info + 8, lines);                 // biHeight > 0: bottom-up rows
    Put16(info + 12, 1);                    // biPlanes
    Put16(info + 14, bitsPerPixel);         // biBitCount; biCompression 0 = BI_RGB
    Put32(info + 24, 8000u * widthFactor);  // biXPelsPerMeter: 512-wide modes have thin pixels
    Put32(info + 28, 9000);                 // biYPelsPerMeter
}

void BuildScreen6ExpandTable(uint16_t table[256], ColourMapping colours) {
    // Pixels p0..p3 (bits 7-6 .. 1-0) become the nibbles 5*p0 5*p1 | 5*p2 5*p3 (p0 p1 | p2 p3
    // in the machine's colours). Each nibble is at most 3 before the multiplication, so
    // multiplying the whole entry by 5 has no carries.
    const uint32_t factor = colours == kViewerColours ? 5 : 1;
    for (uint32_t v = 0; v < 256; ++v) {
        uint32_t first = ((v >> 4) & 3) | ((v >> 2) & 0x30);  // p1 low nibble, p0 high nibble
        uint32_t second = (v & 3) | ((v & 0x0C) << 2);        // p3 low nibble, p2 high nibble
        table[v] = static_cast<uint16_t>((second << 8 | first) * factor);
    }
}

DisplayBitmap BuildDisplayBitmap(const Picture& picture, ColourMapping colours) {
    const int32_t mode = picture.screenMode;
    const BitmapLayout layout = LayoutOf(mode);
    const uint32_t offBits = OffBitsOf(layout);
    const uint32_t fileSize = FileSizeOf(layout);
    DisplayBitmap bitmap;
    bitmap.buffer.resize(2 + fileSize + (HasHalfWidthView(mode) ? kHalfWidthViewBytes : 0));
    bitmap.viewInfoOffset = kInfoOffset;
    uint8_t* buffer = bitmap.buffer.data();
    InitBitmapHeaders(buffer, layout.bitsPerPixel, offBits, layout.widthFactor, layout.lines);

    uint8_t paletteColours[64];
    PaletteToRgbQuads(CurrentPalette(picture), paletteColours);
    uint8_t* colourTable = buffer + kColourTableOffset;
    switch (mode) {
        case kScreen5:
            std::memcpy(colourTable, paletteColours, sizeof paletteColours);
            break;
        case kScreen6:
        case kScreen7: {
            uint8_t* view = buffer + 2 + fileSize;
            FillHalfWidthHeader(view);
            bitmap.viewInfoOffset = 2 + fileSize;
            std::memcpy(colourTable, paletteColours, sizeof paletteColours);
            BuildHalfWidthColorTable(colourTable, view + kInfoHeaderBytes);
            break;
        }
        case kScreen8:
            BuildScreen8ColorTable(colourTable, colours);
            break;
        case kScreen10:
        case kScreen12:
            break;
        case kScreen1:  // the pattern modes: the palette, or on an MSX1 the TMS9918's colours
        case kScreen2:
        case kScreen3:
        case kScreen4:
            std::memcpy(colourTable, colours == kHardwareColours ? kTms9918Colours : paletteColours,
                        sizeof paletteColours);
            break;
        case kScreenModeCount:
            break;
    }

    uint8_t* rows = buffer + 2 + offBits;
    switch (mode) {
        case kScreen5:  // GRAPHIC4: the VRAM line is the 4-bit DIB row
            FillScreen5Rows(picture.data.data(), rows);
            break;
        case kScreen6:  // GRAPHIC5
            FillScreen6Rows(picture.data.data(), rows, colours);
            break;
        case kScreen7:
        case kScreen8:
        case kScreen10:
        case kScreen12:
            FillLargeRows(picture, rows, paletteColours);
            break;
        case kScreen1:
        case kScreen2:
        case kScreen3:
        case kScreen4:
            FillPatternRows(picture, rows);
            break;
        case kScreenModeCount:
            break;
    }
    return bitmap;
}

uint32_t DisplayBitmap::FileSize() const { return Get32(FileImage() + 2); }

uint32_t DisplayBitmap::PixelOffset() const { return Get32(FileImage() + 10); }

int32_t DisplayBitmap::Width() const { return static_cast<int32_t>(Get32(FileInfo() + 4)); }

int32_t DisplayBitmap::Height() const { return static_cast<int32_t>(Get32(FileInfo() + 8)); }
