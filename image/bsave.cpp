// BSAVE headers and bodies in memory: decoding, loading into the image store, the save image.
#include "image/bsave.h"

#include <cstdio>
#include <cstring>

#include "codec/endian.h"

int32_t ExtensionOffset(const char* name) {
    int32_t extension = -1;
    int32_t i = 0;
    for (; name[i] != '\0'; ++i) {
        // A "." in a folder name is no extension (Windows takes both separators).
        if (IsPathSeparator(name[i])) extension = -1;
        else if (name[i] == '.') extension = i + 1;
    }
    return extension < 0 ? i : extension;
}

BsaveHeader ParseBsaveHeader(const uint8_t* bytes) {
    BsaveHeader header;
    header.type = bytes[0];
    header.startAddress = static_cast<uint16_t>(Get16(bytes + 1));
    header.endAddress = static_cast<uint16_t>(Get16(bytes + 3));
    header.execAddress = static_cast<uint16_t>(Get16(bytes + 5));
    return header;
}

int32_t DecodeBsaveRuns(const uint8_t* input, int32_t length, uint8_t* output, int32_t* unfinished) {
    // The run-length form of MSX paint programs: 0x01-0x0F is a count before its value byte,
    // 0x00 escapes a count byte (0 = 256) before the value byte, and every byte 0x10-0xFF is a
    // literal. A count or escape at the very end of the input produces nothing.
    enum { kCount, kEscape, kValue } state = kCount;
    int32_t p = 0;
    int32_t k = 0;
    for (int32_t i = 0; i < length; ++i) {
        uint8_t b = input[i];
        switch (state) {
            case kCount:
                if (b == 0) {
                    state = kEscape;
                    continue;
                }
                if (b < 0x10) {
                    k = b;
                    state = kValue;
                    continue;
                }
                k = 1;  // a literal: itself, once
                break;
            case kEscape:
                k = b == 0 ? 256 : b;
                state = kValue;
                continue;
            case kValue:
                break;
        }
        // b is the value of a run of k bytes.
        bool finished = false;
        if (p + k >= kVramSpace) {
            k = kVramSpace - p;
            finished = true;
        }
        std::memset(output + p, b, static_cast<size_t>(k));
        p += k;
        state = kCount;
        if (finished) break;
    }
    if (unfinished != nullptr) {
        // A count without its value is that many bytes short; an escape without its count at
        // least one.
        *unfinished = state == kValue ? k : state == kEscape ? 1 : 0;
    }
    return p;
}

LoadResult LoadBsaveBytes(const uint8_t* bytes, size_t size, Picture* picture, LoadProblem* problem) {
    LoadProblem scratch;
    LoadProblem& why = problem != nullptr ? *problem : scratch;
    why = LoadProblem{};
    if (size == 0) {
        // An empty file is an empty picture, not an error.
        AllocateVram(picture, 0);
        picture->loadedHeader = BsaveHeader{0, 0, 0, 0};
        picture->missingBytes = 0;
        ApplyPaletteFallback(picture);
        return kLoadOk;
    }
    if (size < static_cast<size_t>(kBsaveHeaderBytes)) {
        std::snprintf(why.reason, sizeof why.reason, "%zu bytes, shorter than the 7-byte header", size);
        return kLoadNotBsave;
    }
    const BsaveHeader header = ParseBsaveHeader(bytes);
    const uint8_t* body = bytes + kBsaveHeaderBytes;
    const size_t bodyBytes = size - kBsaveHeaderBytes;
    int32_t missing = 0;
    if (header.type == kBsavePlain) {
        if (header.startAddress > header.endAddress) {
            std::snprintf(why.reason, sizeof why.reason, "start address 0x%04X after end address 0x%04X",
                          header.startAddress, header.endAddress);
            return kLoadNotBsave;
        }
        uint8_t* data = AllocateVram(picture, header.endAddress + 1);
        // A body shorter than announced leaves the rest zero; bytes after it are ignored.
        const size_t announced = static_cast<size_t>(header.endAddress - header.startAddress + 1);
        const size_t present = bodyBytes < announced ? bodyBytes : announced;
        std::memcpy(data + header.startAddress, body, present);
        missing = static_cast<int32_t>(announced - present);
    } else if (header.type == kBsaveCompressed) {
        if (header.startAddress != 0) {
            std::snprintf(why.reason, sizeof why.reason,
                          "compressed, but start address 0x%04X instead of 0", header.startAddress);
            return kLoadNotBsave;
        }
        if (bodyBytes < header.endAddress) {
            std::snprintf(why.reason, sizeof why.reason, "body %zu bytes shorter than its header says",
                          header.endAddress - bodyBytes);
            return kLoadNotBsave;
        }
        uint8_t* data = AllocateVram(picture, kVramSpace);
        // dataSize counts what was decoded; imageSize stays 0xD400, so readers of the bitmap
        // area see the zero-filled 64 KiB buffer beyond the decoded bytes.
        picture->dataSize = DecodeBsaveRuns(body, header.endAddress, data, &missing);
    } else {
        std::snprintf(why.reason, sizeof why.reason, "type byte 0x%02X (0xFE plain, 0xFD compressed)",
                      header.type);
        return kLoadNotBsave;
    }
    picture->loadedHeader = header;
    picture->missingBytes = missing;
    why.missingBytes = missing;
    ApplyPaletteFallback(picture);  // new bytes may no longer hold the selected table
    return kLoadOk;
}

int32_t BsaveFileSize(int32_t mode) { return ScreenModeOf(mode).savedBytes + kBsaveHeaderBytes; }

PaletteFileBody FindPaletteFileBody(const uint8_t* bytes, size_t size) {
    const PaletteFileBody whole{0, size};
    if (size < static_cast<size_t>(kBsaveHeaderBytes) || bytes[0] != kBsavePlain) return whole;
    const BsaveHeader header = ParseBsaveHeader(bytes);
    if (header.endAddress < header.startAddress) return whole;
    const size_t range = static_cast<size_t>(header.endAddress - header.startAddress) + 1;
    if (range % kPaletteBytes != 0) return whole;
    const size_t held = size - kBsaveHeaderBytes;
    return PaletteFileBody{static_cast<size_t>(kBsaveHeaderBytes), held < range ? held : range};
}

int32_t BuildBsaveImage(const Picture& picture, uint8_t* out) {
    const int32_t table = PaletteTableAddress(picture.screenMode);
    const int32_t saved = ScreenModeOf(picture.screenMode).savedBytes;
    const int32_t total = saved + kBsaveHeaderBytes;
    std::memset(out, 0, static_cast<size_t>(total));
    out[0] = kBsavePlain;
    Put16(out + 3, static_cast<uint32_t>(saved - 1));
    // VRAM 0..S-1 as far as the picture defines it, in 4-byte units (the store's capacity
    // covers the rounding, S is a multiple of 4, and the palette table is written over below).
    int32_t copied = picture.dataSize < saved ? picture.dataSize : saved;
    copied = (copied + 3) & ~3;
    std::memcpy(out + kBsaveHeaderBytes, picture.data.data(), static_cast<size_t>(copied));
    // The palette table always carries the current palette; in a bitmap mode nothing after it
    // is saved.
    std::memcpy(out + kBsaveHeaderBytes + table, CurrentPalette(picture).bytes, kPaletteTableBytes);
    return total;
}
