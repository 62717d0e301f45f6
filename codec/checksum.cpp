// Adler-32 (zlib's stream check) sixteen bytes a step, and CRC-32 (PNG's chunk check) eight
// bytes a step.
#include "codec/checksum.h"

#include <algorithm>
#include <cstring>

// The CRC loads four bytes at a time and takes them low byte first, as x86 and ARM do.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "codec/checksum.cpp assumes a little-endian processor"
#endif

uint32_t Adler32(uint32_t value, const uint8_t* data, size_t size) {
    constexpr uint32_t kBase = 65521;
    // The most bytes whose sums cannot overflow 32 bits before the modulo (zlib's NMAX), rounded
    // down to whole 16-byte steps.
    constexpr size_t kChunk = 5552 / 16 * 16;
    uint32_t a = value & 0xFFFF;
    uint32_t b = value >> 16;
    while (size > 0) {
        const size_t n = std::min(size, kChunk);
        const size_t steps = n / 16;
        // Per lane k: s[k] sums byte k of every 16-byte step, v[k] sums s[k] as it was before
        // each step. Then a grows by the sum of s, and b by 16 a per step plus each byte
        // weighted by its distance from the step's end: b += 16 (steps a + sum v) + sum (16-k) s[k].
        uint32_t s[16] = {};
        uint32_t v[16] = {};
        for (size_t i = 0; i < steps; ++i) {
            const uint8_t* d = data + 16 * i;
            for (int k = 0; k < 16; ++k) {
                v[k] += s[k];
                s[k] += d[k];
            }
        }
        uint32_t sumS = 0;
        uint32_t sumV = 0;
        uint32_t weighted = 0;
        for (int k = 0; k < 16; ++k) {
            sumS += s[k];
            sumV += v[k];
            weighted += (16 - k) * s[k];
        }
        b = (b + static_cast<uint32_t>(steps * 16 % kBase) * a + 16 * (sumV % kBase) + weighted) % kBase;
        a = (a + sumS) % kBase;
        for (size_t i = steps * 16; i < n; ++i) {
            a += data[i];
            b += a;
        }
        a %= kBase;
        b %= kBase;
        data += n;
        size -= n;
    }
    return (b << 16) | a;
}

namespace {

inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// CRC-32 (the polynomial of zlib and PNG, reflected), eight bytes a step: table[k][i] is the
// CRC of byte i followed by k zero bytes.
struct CrcTables {
    uint32_t table[8][256];
};

constexpr CrcTables MakeCrcTables() {
    CrcTables t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t.table[0][i] = c;
    }
    for (int k = 1; k < 8; ++k) {
        for (uint32_t i = 0; i < 256; ++i) {
            const uint32_t c = t.table[k - 1][i];
            t.table[k][i] = t.table[0][c & 0xFF] ^ (c >> 8);
        }
    }
    return t;
}

constexpr CrcTables kCrc = MakeCrcTables();

}  // namespace

uint32_t Crc32(uint32_t value, const uint8_t* data, size_t size) {
    uint32_t c = ~value;
    while (size >= 8) {
        const uint32_t lo = Load32(data) ^ c;
        c = kCrc.table[7][lo & 0xFF] ^ kCrc.table[6][(lo >> 8) & 0xFF] ^ kCrc.table[5][(lo >> 16) & 0xFF] ^
            kCrc.table[4][lo >> 24] ^ kCrc.table[3][data[4]] ^ kCrc.table[2][data[5]] ^
            kCrc.table[1][data[6]] ^ kCrc.table[0][data[7]];
        data += 8;
        size -= 8;
    }
    while (size-- > 0) c = kCrc.table[0][(c ^ *data++) & 0xFF] ^ (c >> 8);
    return ~c;
}
