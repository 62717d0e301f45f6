// The display bitmap: everything shown, copied or exported as a bitmap comes from one buffer.
//
//   offset 0            2 zero bytes (so that the info header and the pixels are 4-aligned)
//   offset 2            BITMAPFILEHEADER (14)        } bytes 2 .. 2+bfSize are a BMP file,
//   offset 16           BITMAPINFOHEADER (40)        } bytes 16 .. 2+bfSize a packed DIB
//   offset 56           colour table: 16 entries (SCREEN 5/6/7), 256 (SCREEN 8), none (10-12)
//   offset 2+bfOffBits  212 rows (192 in the pattern modes), bottom line first (Windows'
//                       bottom-up DIB)
//   offset 2+bfSize     SCREEN 6/7 only: BITMAPINFOHEADER + 256-entry half-width colour table,
//                       which reads the same 4-bit rows as 256 pixels of 8 bits (the 1:1 view)
//
//   mode          bpp  width  bfOffBits  row bytes  bfSize   buffer
//   SCREEN 5        4    256        118        128   27254    27256
//   SCREEN 6, 7     4    512        118        256   54390    55456
//   SCREEN 8        8    256       1078        256   55350    55352
//   SCREEN 10-12   24    256         54        768  162870   162872
//   SCREEN 1-4      4    256        118        128   24694    24696   (192 rows)
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "image/picture.h"

// An allocator that leaves new bytes uninitialised: the build writes every byte of the buffer,
// and zeroing it first would cost a whole extra pass over up to 160 KiB per build.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <typename U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) {}
    template <typename U>
    void construct(U* p) {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// A built display bitmap: the buffer above and the offset of the 1:1 view's BITMAPINFO in it
// (the file image's own header, or the half-width view of SCREEN 6 and 7).
struct DisplayBitmap {
    std::vector<uint8_t, UninitialisedAllocator<uint8_t>> buffer;
    uint32_t viewInfoOffset = 0;

    bool Empty() const { return buffer.empty(); }
    // The BMP file image: what a .bmp file holds, FileSize() bytes.
    const uint8_t* FileImage() const { return buffer.data() + 2; }
    uint32_t FileSize() const;
    // The packed DIB (BITMAPINFO and pixels): the clipboard's CF_DIB block.
    const uint8_t* PackedDib() const { return buffer.data() + 16; }
    uint32_t PackedDibSize() const { return FileSize() - 14; }
    // The file image's BITMAPINFO, for the whole picture (256 or 512 wide).
    const uint8_t* FileInfo() const { return PackedDib(); }
    // The BITMAPINFO the 1:1 pane paints through.
    const uint8_t* ViewInfo() const { return buffer.data() + viewInfoOffset; }
    // bfOffBits and the bottom-up rows it points at.
    uint32_t PixelOffset() const;
    const uint8_t* Rows() const { return FileImage() + PixelOffset(); }
    // biWidth of the file image: 256 or 512.
    int32_t Width() const;
    // biHeight: 212, or 192 for the pattern modes.
    int32_t Height() const;
};

// Which colours SCREEN 6 and SCREEN 8 are shown in. The viewer shows a SCREEN 6 pixel value v
// as palette colour 5*v and SCREEN 8's 2-bit blue evenly spread (00 52 AD FF); the MSX2's VDP
// shows v as palette colour v (0-3) and the blue at the palette levels 0, 2, 4 and 7. The
// pattern modes show the palette (an MSX2) or the TMS9918's fixed colours (an MSX1). Every
// other mode looks the same either way.
enum ColourMapping : int32_t { kViewerColours, kHardwareColours };

// Builds the display bitmap of a picture: its mode, bytes and current palette.
DisplayBitmap BuildDisplayBitmap(const Picture& picture, ColourMapping colours = kViewerColours);

// Zeroes bytes 0-55 of buffer and fills the file and info headers.
void InitBitmapHeaders(uint8_t* buffer, uint16_t bitsPerPixel, uint32_t offBits,
                       uint8_t widthFactor, uint32_t lines = kScreenLines);

// One SCREEN 6 byte (four 2-bit pixels) to the two bytes of a 4-bit row showing colour codes
// 5*p (p in the machine's colours); the first byte is the low half, so a little-endian store
// writes them in row order. The conversions always use the viewer's 5*p.
void BuildScreen6ExpandTable(uint16_t table[256], ColourMapping colours = kViewerColours);
