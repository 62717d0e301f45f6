// BSAVE headers and bodies in memory: decoding, loading into the image store, the save image.
#include "image/bsave.h"

#include <cstring>

#include "palette/palette.h"
#include "resources/strings.h"

BsaveHeader loadedHeader;

int32_t LoadResultStringId(LoadResult result) {
    switch (result) {
        case kLoadOk:
        case kLoadCancelled:
            return 0;
        case kLoadCannotOpen:
            return IDS_FILE_NOT_FOUND;
        case kLoadNotBsave:
            return IDS_NOT_BSAVE;
    }
    return 0;
}

const char* CommandLineTail(const char* commandLine) {
    const char* p = commandLine;
    char delimiter = ' ';
    if (*p == '"') {
        delimiter = '"';
        ++p;
    }
    while (*p != '\0') {
        if (*p++ == delimiter) break;
    }
    while (*p == ' ') ++p;  // blanks only: a tab is part of the tail
    return p;
}

int32_t ExtensionOffset(const char* name) {
    int32_t extension = -1;
    int32_t i = 0;
    for (; name[i] != '\0'; ++i) {
        // Windows takes both separators; a "." in a folder name is no extension.
        if (name[i] == '\\' || name[i] == '/') extension = -1;
        else if (name[i] == '.') extension = i + 1;
    }
    return extension < 0 ? i : extension;
}

BsaveHeader ParseBsaveHeader(const uint8_t* bytes) {
    BsaveHeader header;
    header.type = bytes[0];
    header.startAddress = static_cast<uint16_t>(bytes[1] | bytes[2] << 8);
    header.endAddress = static_cast<uint16_t>(bytes[3] | bytes[4] << 8);
    header.execAddress = static_cast<uint16_t>(bytes[5] | bytes[6] << 8);
    return header;
}

int32_t DecodeBsaveRuns(const uint8_t* input, int32_t length, uint8_t* output) {
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
    return p;
}

LoadResult LoadBsaveBytes(const uint8_t* bytes, size_t size) {
    uint8_t* old = vramImage.data;
    if (size == 0) {
        // An empty file is an empty picture, not an error.
        AllocateVram(0);
        loadedHeader = BsaveHeader{0, 0, 0, 0};
        FreeVram(old);
        return kLoadOk;
    }
    if (size < static_cast<size_t>(kBsaveHeaderBytes)) return kLoadNotBsave;
    BsaveHeader header = ParseBsaveHeader(bytes);
    const uint8_t* body = bytes + kBsaveHeaderBytes;
    size_t bodyBytes = size - kBsaveHeaderBytes;
    if (header.type == kBsavePlain && header.startAddress <= header.endAddress) {
        uint8_t* data = AllocateVram(header.endAddress + 1);
        // A body shorter than announced leaves the rest zero; bytes after it are ignored.
        size_t announced = static_cast<size_t>(header.endAddress - header.startAddress + 1);
        std::memcpy(data + header.startAddress, body, bodyBytes < announced ? bodyBytes : announced);
    } else if (header.type == kBsaveCompressed && header.startAddress == 0) {
        if (bodyBytes < header.endAddress) return kLoadNotBsave;
        uint8_t* data = AllocateVram(kVramSpace);
        // dataSize counts what was decoded; imageSize stays 0xD400, so readers of the bitmap
        // area see the zero-filled 64 KiB buffer beyond the decoded bytes.
        vramImage.dataSize = DecodeBsaveRuns(body, header.endAddress, data);
    } else {
        return kLoadNotBsave;
    }
    loadedHeader = header;
    FreeVram(old);
    return kLoadOk;
}

int32_t BsaveFileSize(int32_t mode) {
    return PaletteTableAddress(mode) + kPaletteTableBytes + kBsaveHeaderBytes;
}

int32_t BuildBsaveImage(uint8_t* out) {
    const int32_t table = PaletteTableAddress(screenMode);
    const int32_t total = table + kPaletteTableBytes + kBsaveHeaderBytes;
    const int32_t endAddress = table + kPaletteTableBytes - 1;
    std::memset(out, 0, static_cast<size_t>(total));
    out[0] = kBsavePlain;
    out[3] = static_cast<uint8_t>(endAddress);
    out[4] = static_cast<uint8_t>(endAddress >> 8);
    // VRAM 0..L-1 as far as the picture defines it, in 4-byte units (the store's capacity
    // covers the rounding, and L is a multiple of 4).
    int32_t copied = vramImage.dataSize < table ? vramImage.dataSize : table;
    copied = (copied + 3) & ~3;
    std::memcpy(out + kBsaveHeaderBytes, vramImage.data, static_cast<size_t>(copied));
    // The palette table always carries the current palette; nothing after it is saved.
    std::memcpy(out + kBsaveHeaderBytes + table, CurrentPalette()->bytes, kPaletteTableBytes);
    return total;
}
