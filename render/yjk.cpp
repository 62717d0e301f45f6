// YJK and YAE lines to 24-bit rows (see yjk.h).
#include "render/yjk.h"

#include <cstddef>

#include "codec/endian.h"

namespace {

// A level n clamped and widened to 8 bits (see yjk.h): indices below 0 give 0 and above 31 give
// 255. The range -32..63 covers every index the relations produce: Y + J and Y + K lie in
// -32..62, the blue index YjkBlueSum in -23..63.
constexpr uint8_t Clamp(int n) { return WidenYjkLevel(ClampYjkLevel(n)); }

// The clamp table, made at compile time.
struct ClampTable {
    uint8_t value[96];  // entry n + 32 for n = -32..63
};

constexpr ClampTable MakeClampTable() {
    ClampTable t{};
    for (int n = -32; n < 64; ++n) t.value[n + 32] = Clamp(n);
    return t;
}

constexpr ClampTable kClamp = MakeClampTable();

// The low three bits of a group's bytes, w & 0x07070707 with w the group read as a
// little-endian word, carry K (b0: bits 2-0, b1: bits 5-3) and J (b2, b3). Multiplying them by
// kJkSpread and taking 12 bits from bit 15 gives a number 0..4095 that differs for every one of
// the 4096 (J, K) pairs: the number of the pair's row in the colour table. (Checked for all
// pairs when the multiplier was chosen: every row of the table is filled exactly once.) One
// multiplication instead of gathering the four 3-bit fields with shifts and masks.
constexpr uint32_t kJkSpread = (1u << 0) + (1u << 1) + (1u << 13) + (1u << 19);

inline uint32_t JkRow(uint32_t lowBits) { return (lowBits * kJkSpread >> 15) & 0xFFF; }

// Every colour a YJK pixel can have, as a word with blue, green and red in bytes 0-2: entry
// 32 * JkRow + Y. 4096 x 32 words (512 KiB, made on first use in about a third of a
// millisecond) turn each pixel into one load and one store.
constexpr size_t kYjkColourCount = 4096 * 32;

const uint32_t* MakeYjkColours() {
    // Made once and kept for the life of the process (see YjkColours).
    uint32_t* yjkColours = new uint32_t[kYjkColourCount];
    for (uint32_t k = 0; k < 64; ++k) {
        for (uint32_t j = 0; j < 64; ++j) {
            const uint32_t lowBits = (k & 7) | (k >> 3) << 8 | (j & 7) << 16 | (j >> 3) << 24;
            uint32_t* row = yjkColours + 32 * JkRow(lowBits);
            const int sj = static_cast<int>(j ^ 32) - 32;  // 6-bit two's complement, -32..31
            const int sk = static_cast<int>(k ^ 32) - 32;
            for (int y = 0; y < 32; ++y) {
                const YjkLevels v = YjkToLevels(y, sj, sk);  // the V9958's relations
                const uint32_t red = WidenYjkLevel(v.red);
                const uint32_t green = WidenYjkLevel(v.green);
                const uint32_t blue = WidenYjkLevel(v.blue);
                row[y] = red << 16 | green << 8 | blue;
            }
        }
    }
    return yjkColours;
}

// The table, made by the first decoder call that needs it: the initialisation of a
// function-local static is thread-safe, and a run that shows no YJK picture never pays for it.
const uint32_t* YjkColours() {
    static const uint32_t* const table = MakeYjkColours();
    return table;
}

// One pixel: its byte b, the colours of its group's (J, K) indexed by Y, and for SCREEN 10/11
// the palette colours indexed the same way (entry Y, for odd Y, is palette colour Y >> 1 =
// b >> 4). kYae: bit 3 of the byte, the lowest bit of Y, is the attribute that selects the
// palette colour; the byte's low bits still made the group's J and K. kLast: the row's last
// pixel, which must not write past the row.
template <bool kYae, bool kLast>
inline void DecodePixel(uint32_t b, const uint32_t* colours, const uint32_t* paletteByY,
                        uint8_t* out) {
    const uint32_t y = b >> 3;
    const uint32_t* table = colours;
    if (kYae && (b & 0x08) != 0) table = paletteByY;
    const uint32_t pixel = table[y];
    // All but the row's last pixel are written as four bytes: the fourth, the next pixel's
    // blue, is written again in its turn, and one 32-bit store beats three byte stores.
    if (kLast) {
        Put24(out, pixel);
    } else {
        Put32(out, pixel);
    }
}

template <bool kYae, bool kLast>
inline void DecodeGroup(const uint8_t* in, uint8_t* out, const uint32_t* yjkColours,
                        const uint32_t* paletteByY) {
    const uint32_t w = Get32(in);
    const uint32_t* colours = yjkColours + 32 * JkRow(w & 0x07070707u);
    DecodePixel<kYae, false>(in[0], colours, paletteByY, out);
    DecodePixel<kYae, false>(in[1], colours, paletteByY, out + 3);
    DecodePixel<kYae, false>(in[2], colours, paletteByY, out + 6);
    DecodePixel<kYae, kLast>(in[3], colours, paletteByY, out + 9);
}

template <bool kYae>
void DecodeRow(const uint8_t* line, uint8_t* row, const uint32_t* paletteByY) {
    const uint32_t* colours = YjkColours();
    for (int group = 0; group < 62; group += 2) {
        DecodeGroup<kYae, false>(line + 4 * group, row + 12 * group, colours, paletteByY);
        DecodeGroup<kYae, false>(line + 4 * group + 4, row + 12 * group + 12, colours, paletteByY);
    }
    DecodeGroup<kYae, false>(line + 4 * 62, row + 12 * 62, colours, paletteByY);
    DecodeGroup<kYae, true>(line + 4 * 63, row + 12 * 63, colours, paletteByY);
}

void DecodeRowTable(const uint8_t* line, uint8_t* row, bool yaeMode, const uint8_t* paletteColours) {
    if (yaeMode) {
        // The 16 colours as words like the YJK colours, at the odd entries 2n + 1 of a table
        // indexed by Y (the even entries are never read).
        uint32_t paletteByY[32] = {};
        for (int n = 0; n < 16; ++n) {
            const uint8_t* c = paletteColours + 4 * n;
            paletteByY[2 * n + 1] = c[0] | c[1] << 8 | static_cast<uint32_t>(c[2]) << 16;
        }
        DecodeRow<true>(line, row, paletteByY);
    } else {
        DecodeRow<false>(line, row, nullptr);
    }
}

}  // namespace

#if defined(__x86_64__) && defined(__GNUC__)
#define VRAMORIA_YJK_AVX2 1
#include <immintrin.h>

// The same decoding with AVX2, 32 pixels (eight groups) at a time, computed instead of looked
// up; used where the processor has AVX2. The relations are those of YjkToLevels (yjk.h) worked
// on vectors, and the tests hold the two decoders to the same bytes. All arithmetic is on
// signed bytes:
//   Y = b >> 3 (0..31); K and J are gathered from the low bits per group (a 32-bit lane) and
//   repeated into the group's four bytes;
//   R = Y + J and G = Y + K lie in -32..62;
//   blue: floor((5Y - 2J - K + 2) / 4) = Y + floor((d + 2) / 4) with d = Y - 2J - K in
//   -93..127; with u = d + 128 as an unsigned byte, floor((u + 2) / 4) = (avg(u, 1) >> 1), the
//   rounding average being (u + 2) >> 1 without overflow; that is the quarter plus 32;
//   each level is clamped to 0..31 and widened to (n << 3) | (n >> 2).
// The three channels are then interleaved into blue, green, red bytes with byte shuffles
// within each 128-bit half (16 pixels, 48 bytes).
namespace {

struct InterleaveMasks {
    uint8_t m[3][3][16];  // [output block][channel][byte]: source pixel, or 0x80 for none
};

constexpr InterleaveMasks MakeInterleaveMasks() {
    InterleaveMasks t{};
    for (int block = 0; block < 3; ++block) {
        for (int channel = 0; channel < 3; ++channel) {
            for (int i = 0; i < 16; ++i) {
                const int o = 16 * block + i;
                t.m[block][channel][i] = static_cast<uint8_t>(o % 3 == channel ? o / 3 : 0x80);
            }
        }
    }
    return t;
}

constexpr InterleaveMasks kInterleave = MakeInterleaveMasks();

__attribute__((target("avx2"))) inline __m256i Broadcast16(const uint8_t* bytes) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
}

// Clamped to 0..31, then widened to 8 bits.
__attribute__((target("avx2"))) inline __m256i Level(__m256i n) {
    n = _mm256_min_epi8(_mm256_max_epi8(n, _mm256_setzero_si256()), _mm256_set1_epi8(31));
    return _mm256_or_si256(
        _mm256_and_si256(_mm256_slli_epi16(n, 3), _mm256_set1_epi8(static_cast<char>(0xF8))),
        _mm256_and_si256(_mm256_srli_epi16(n, 2), _mm256_set1_epi8(0x07)));
}

__attribute__((target("avx2"))) void DecodeRowAvx2(const uint8_t* line, uint8_t* row, bool yae,
                                                   const uint8_t* paletteColours) {
    // Byte 0 (K) and byte 2 (J) of each group's folded low bits, repeated over the group.
    alignas(16) static const uint8_t kRepeatK[16] = {0, 0, 0, 0, 4,  4,  4,  4,
                                                     8, 8, 8, 8, 12, 12, 12, 12};
    alignas(16) static const uint8_t kRepeatJ[16] = {2,  2,  2,  2,  6,  6,  6,  6,
                                                     10, 10, 10, 10, 14, 14, 14, 14};
    const __m256i repeatK = Broadcast16(kRepeatK);
    const __m256i repeatJ = Broadcast16(kRepeatJ);
    const __m256i sign = _mm256_set1_epi8(32);
    __m256i paletteB = _mm256_setzero_si256(), paletteG = paletteB, paletteR = paletteB;
    if (yae) {
        uint8_t b[16], g[16], r[16];
        for (int n = 0; n < 16; ++n) {
            b[n] = paletteColours[4 * n];
            g[n] = paletteColours[4 * n + 1];
            r[n] = paletteColours[4 * n + 2];
        }
        paletteB = Broadcast16(b);
        paletteG = Broadcast16(g);
        paletteR = Broadcast16(r);
    }
    for (int chunk = 0; chunk < 8; ++chunk, line += 32, row += 96) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(line));
        const __m256i y = _mm256_and_si256(_mm256_srli_epi16(v, 3), _mm256_set1_epi8(31));
        const __m256i low = _mm256_and_si256(v, _mm256_set1_epi8(7));
        const __m256i folded = _mm256_or_si256(low, _mm256_srli_epi32(low, 5));
        const __m256i k =
            _mm256_sub_epi8(_mm256_xor_si256(_mm256_shuffle_epi8(folded, repeatK), sign), sign);
        const __m256i j =
            _mm256_sub_epi8(_mm256_xor_si256(_mm256_shuffle_epi8(folded, repeatJ), sign), sign);
        const __m256i d = _mm256_sub_epi8(_mm256_sub_epi8(y, _mm256_add_epi8(j, j)), k);
        const __m256i u = _mm256_xor_si256(d, _mm256_set1_epi8(static_cast<char>(0x80)));
        const __m256i quarter = _mm256_and_si256(
            _mm256_srli_epi16(_mm256_avg_epu8(u, _mm256_set1_epi8(1)), 1), _mm256_set1_epi8(0x7F));
        __m256i blue = Level(_mm256_sub_epi8(_mm256_add_epi8(y, quarter), sign));
        __m256i green = Level(_mm256_add_epi8(y, k));
        __m256i red = Level(_mm256_add_epi8(y, j));
        if (yae) {
            // Attribute set: palette colour b >> 4.
            const __m256i attribute =
                _mm256_cmpeq_epi8(_mm256_and_si256(v, _mm256_set1_epi8(8)), _mm256_set1_epi8(8));
            const __m256i colour = _mm256_and_si256(_mm256_srli_epi16(v, 4), _mm256_set1_epi8(15));
            blue = _mm256_blendv_epi8(blue, _mm256_shuffle_epi8(paletteB, colour), attribute);
            green = _mm256_blendv_epi8(green, _mm256_shuffle_epi8(paletteG, colour), attribute);
            red = _mm256_blendv_epi8(red, _mm256_shuffle_epi8(paletteR, colour), attribute);
        }
        for (int block = 0; block < 3; ++block) {
            const __m256i out = _mm256_or_si256(
                _mm256_or_si256(_mm256_shuffle_epi8(blue, Broadcast16(kInterleave.m[block][0])),
                                _mm256_shuffle_epi8(green, Broadcast16(kInterleave.m[block][1]))),
                _mm256_shuffle_epi8(red, Broadcast16(kInterleave.m[block][2])));
            // Low half: pixels 0-15 of the chunk, high half: pixels 16-31.
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 16 * block),
                             _mm256_castsi256_si128(out));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 48 + 16 * block),
                             _mm256_extracti128_si256(out, 1));
        }
    }
}

}  // namespace
#endif

const uint8_t* YjkClampTable() { return kClamp.value; }

bool YjkDecoderAvailable(YjkDecoder decoder) {
    switch (decoder) {
        case kYjkTable:
            return true;
        case kYjkAvx2:
#if defined(VRAMORIA_YJK_AVX2)
        {
            // Asked once; the initialisation of a function-local static is thread-safe.
            static const bool hasAvx2 = __builtin_cpu_supports("avx2");
            return hasAvx2;
        }
#else
            return false;
#endif
    }
    return false;
}

void DecodeYjkRowWith(YjkDecoder decoder, const uint8_t* line, uint8_t* row, bool yaeMode,
                      const uint8_t* paletteColours) {
#if defined(VRAMORIA_YJK_AVX2)
    if (decoder == kYjkAvx2) {
        DecodeRowAvx2(line, row, yaeMode, paletteColours);
        return;
    }
#else
    (void)decoder;
#endif
    DecodeRowTable(line, row, yaeMode, paletteColours);
}

void DecodeYjkRow(const uint8_t* line, uint8_t* row, bool yaeMode, const uint8_t* paletteColours) {
    DecodeYjkRowWith(YjkDecoderAvailable(kYjkAvx2) ? kYjkAvx2 : kYjkTable, line, row, yaeMode,
                     paletteColours);
}
