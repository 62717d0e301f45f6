// The deflate encoder: LZ77 matches found through a small hash table, the row above and the
// last distance, written as blocks of dynamic Huffman codes (or fixed codes, or stored bytes,
// whichever is smallest for the block).
#include "codec/deflate.h"

#include <algorithm>
#include <cstring>
#include <memory>

// The bit writer stores its 64-bit buffer as bytes and the match search counts equal bytes from
// the low end of a 64-bit difference: both take the low byte first, as x86 and ARM do.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "platform/deflate.cpp assumes a little-endian processor"
#endif

namespace {

constexpr size_t kMinMatch = 3;
constexpr size_t kMaxMatch = 258;
constexpr size_t kWindow = 32768;
// Sequences (literals and matches) a block collects before its codes are built.
constexpr size_t kBlockSequences = 8192;
// A match shorter than this is tried one byte later too (lazy matching).
constexpr size_t kLazyBelow = 8;
constexpr int kHashBits = 13;

// ---- Code tables of RFC 1951 ----

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistanceBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                        33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                        1025, 1537, 2049, 3073, 4097, 6145,  8193,  12289, 16385, 24577};
constexpr uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                        6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which the code lengths of the code-length alphabet are sent.
constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

struct CodeTables {
    uint8_t lengthCode[kMaxMatch + 1];  // match length -> index into kLengthBase
    uint8_t distanceCode[512];          // distance - 1 below 256, else 256 + ((distance - 1) >> 7)
};

constexpr CodeTables MakeCodeTables() {
    CodeTables t{};
    for (int code = 0; code < 29; ++code) {
        const int last = code == 28 ? 258 : kLengthBase[code] + (1 << kLengthExtra[code]) - 1;
        for (int length = kLengthBase[code]; length <= last && length <= 258; ++length) {
            // Length 258 has a code of its own (285), not 284 with all extra bits set.
            if (length == 258 && code != 28) continue;
            t.lengthCode[length] = static_cast<uint8_t>(code);
        }
    }
    for (int code = 0; code < 30; ++code) {
        const int first = kDistanceBase[code] - 1;
        const int last = first + (1 << kDistanceExtra[code]) - 1;
        for (int d = first; d <= last; ++d) {
            if (d < 256) {
                t.distanceCode[d] = static_cast<uint8_t>(code);
            } else {
                t.distanceCode[256 + (d >> 7)] = static_cast<uint8_t>(code);
            }
        }
    }
    return t;
}

constexpr CodeTables kCodes = MakeCodeTables();

// The fixed literal/length code's lengths: 8, 9, 7 and 8 bits by range of symbol.
constexpr uint8_t FixedLiteralLength(int symbol) {
    return symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8;
}

inline uint32_t DistanceCode(uint32_t distance) {
    const uint32_t d = distance - 1;
    return d < 256 ? kCodes.distanceCode[d] : kCodes.distanceCode[256 + (d >> 7)];
}

inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// ---- Huffman codes ----

// Code lengths of at most maxBits for the symbols of freq (count n), minimum-redundancy within
// that limit. Unused symbols get 0; at least two symbols always get a code, because a decoder
// (zlib's among them) refuses an incomplete code-length code, and a single code of one bit is
// the only incomplete code it takes elsewhere.
void BuildLengths(uint32_t* freq, int n, int maxBits, uint8_t* lengths) {
    int used = 0;
    for (int i = 0; i < n; ++i) used += freq[i] != 0;
    for (int i = 0; used < 2 && i < n; ++i) {
        if (freq[i] == 0) {
            freq[i] = 1;
            ++used;
        }
    }
    // Symbols by frequency, rarest first (ties by symbol, for reproducible output).
    uint32_t order[288];
    uint32_t weight[288] = {};
    int m = 0;
    for (int i = 0; i < n; ++i) {
        if (freq[i] != 0) order[m++] = static_cast<uint32_t>(i);
    }
    std::sort(order, order + m, [freq](uint32_t a, uint32_t b) {
        return freq[a] != freq[b] ? freq[a] < freq[b] : a < b;
    });
    for (int i = 0; i < m; ++i) weight[i] = freq[order[i]];

    // Moffat and Katajainen's in-place computation of minimum-redundancy code lengths over the
    // ascending weights: first the tree's parent links, then depths, then leaf depths.
    weight[0] += weight[1];
    int root = 0;
    int leaf = 2;
    for (int next = 1; next < m - 1; ++next) {
        if (leaf >= m || weight[root] < weight[leaf]) {
            weight[next] = weight[root];
            weight[root++] = static_cast<uint32_t>(next);
        } else {
            weight[next] = weight[leaf++];
        }
        if (leaf >= m || (root < next && weight[root] < weight[leaf])) {
            weight[next] += weight[root];
            weight[root++] = static_cast<uint32_t>(next);
        } else {
            weight[next] += weight[leaf++];
        }
    }
    weight[m - 2] = 0;
    for (int next = m - 3; next >= 0; --next) weight[next] = weight[weight[next]] + 1;
    int available = 1;
    int usedNodes = 0;
    uint32_t depth = 0;
    root = m - 2;
    int next = m - 1;
    while (available > 0) {
        while (root >= 0 && weight[root] == depth) {
            ++usedNodes;
            --root;
        }
        while (available > usedNodes) {
            weight[next--] = depth;
            --available;
        }
        available = 2 * usedNodes;
        ++depth;
        usedNodes = 0;
    }

    // weight[i] is now the length of order[i]'s code (longest first). Over the limit, move
    // codes up to the limit and rebalance: each round takes one code off the deepest level and
    // splits a shallower leaf into two, which lowers the Kraft sum by one unit of the limit.
    uint32_t count[64] = {};
    for (int i = 0; i < m; ++i) ++count[std::min<uint32_t>(weight[i], 63)];
    for (int bits = maxBits + 1; bits < 64; ++bits) {
        count[maxBits] += count[bits];
        count[bits] = 0;
    }
    uint64_t kraft = 0;
    for (int bits = 1; bits <= maxBits; ++bits) kraft += static_cast<uint64_t>(count[bits]) << (maxBits - bits);
    while (kraft > (uint64_t{1} << maxBits)) {
        --count[maxBits];
        for (int bits = maxBits - 1; bits > 0; --bits) {
            if (count[bits] != 0) {
                --count[bits];
                count[bits + 1] += 2;
                break;
            }
        }
        --kraft;
    }
    std::memset(lengths, 0, static_cast<size_t>(n));
    int i = 0;
    for (int bits = maxBits; bits >= 1; --bits) {
        for (uint32_t k = 0; k < count[bits]; ++k) lengths[order[i++]] = static_cast<uint8_t>(bits);
    }
}

struct ReversedBytes {
    uint8_t byte[256];
    constexpr uint8_t operator[](uint32_t i) const { return byte[i]; }
};

constexpr ReversedBytes MakeReversedBytes() {
    ReversedBytes t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t r = 0;
        for (int b = 0; b < 8; ++b) r |= ((i >> b) & 1) << (7 - b);
        t.byte[i] = static_cast<uint8_t>(r);
    }
    return t;
}

constexpr ReversedBytes kReversedByte = MakeReversedBytes();

// Canonical codes for lengths, bit-reversed (deflate sends Huffman codes from their top bit,
// into a stream that is filled from each byte's bottom bit).
void BuildCodes(const uint8_t* lengths, int n, uint16_t* codes) {
    uint16_t count[16] = {};
    for (int i = 0; i < n; ++i) ++count[lengths[i]];
    count[0] = 0;
    uint16_t next[16] = {};
    uint32_t code = 0;
    for (int bits = 1; bits < 16; ++bits) {
        code = (code + count[bits - 1]) << 1;
        next[bits] = static_cast<uint16_t>(code);
    }
    for (int i = 0; i < n; ++i) {
        const int bits = lengths[i];
        if (bits == 0) {
            codes[i] = 0;
            continue;
        }
        const uint32_t c = next[bits]++;
        const uint32_t reversed = static_cast<uint32_t>(kReversedByte[c & 0xFF]) << 8 | kReversedByte[c >> 8];
        codes[i] = static_cast<uint16_t>(reversed >> (16 - bits));
    }
}

// ---- Output ----

// Bits into bytes, low bit first; out has room for everything written (checked by the caller's
// bound) plus 8 bytes of slack for the whole-word stores. Each Put stores eight bytes and moves
// on by the whole bytes it completed, which needs no branch: at most 7 + 32 bits are pending.
struct BitWriter {
    uint8_t* out;
    uint64_t bits = 0;
    int count = 0;

    void Put(uint32_t value, int n) {
        bits |= static_cast<uint64_t>(value) << count;
        count += n;
        std::memcpy(out, &bits, 8);
        out += count >> 3;
        bits >>= count & ~7;
        count &= 7;
    }
    // Pads to a byte boundary and writes the pending byte out.
    void Align() {
        if (count > 0) *out++ = static_cast<uint8_t>(bits);
        bits = 0;
        count = 0;
    }
};

struct Sequence {
    uint16_t value;     // a literal byte, or a match length
    uint16_t distance;  // 0 for a literal
};

struct Encoder {
    const uint8_t* data;
    BitWriter writer;
    Sequence* sequences;  // room for kBlockSequences, of which count are collected
    size_t count = 0;
    uint32_t litFreq[286];
    uint32_t distFreq[30];
    size_t blockStart = 0;  // the first input byte of the collected block
    // Blocks that are best stored are written together, as few stored blocks of up to 65535
    // bytes, when a compressed block or the end comes: from storedStart, while storedPending.
    bool storedPending = false;
    size_t storedStart = 0;

    void ResetFrequencies() {
        std::memset(litFreq, 0, sizeof litFreq);
        std::memset(distFreq, 0, sizeof distFreq);
    }

    void Literal(uint8_t byte) {
        sequences[count++] = Sequence{byte, 0};
        ++litFreq[byte];
    }

    void Match(size_t length, size_t distance) {
        sequences[count++] = Sequence{static_cast<uint16_t>(length), static_cast<uint16_t>(distance)};
        ++litFreq[257 + kCodes.lengthCode[length]];
        ++distFreq[DistanceCode(static_cast<uint32_t>(distance))];
    }

    void WriteStored(size_t start, size_t end, bool last) {
        do {
            const size_t n = std::min<size_t>(end - start, 65535);
            const bool final = last && start + n == end;
            writer.Put(final ? 1 : 0, 3);  // BFINAL, BTYPE 00
            writer.Align();
            const uint16_t len = static_cast<uint16_t>(n);
            const uint16_t nlen = static_cast<uint16_t>(~len);
            writer.out[0] = static_cast<uint8_t>(len);
            writer.out[1] = static_cast<uint8_t>(len >> 8);
            writer.out[2] = static_cast<uint8_t>(nlen);
            writer.out[3] = static_cast<uint8_t>(nlen >> 8);
            std::memcpy(writer.out + 4, data + start, n);
            writer.out += 4 + n;
            start += n;
        } while (start < end);
    }

    void WriteSequences(const uint16_t* litCodes, const uint8_t* litLengths, const uint16_t* distCodes,
                        const uint8_t* distLengths) {
        for (size_t i = 0; i < count; ++i) {
            const Sequence s = sequences[i];
            if (s.distance == 0) {
                writer.Put(litCodes[s.value], litLengths[s.value]);
                continue;
            }
            const uint32_t lc = kCodes.lengthCode[s.value];
            const uint32_t ls = 257 + lc;
            writer.Put(litCodes[ls] | ((s.value - kLengthBase[lc]) << litLengths[ls]),
                       litLengths[ls] + kLengthExtra[lc]);
            const uint32_t dc = DistanceCode(s.distance);
            writer.Put(distCodes[dc] | ((s.distance - kDistanceBase[dc]) << distLengths[dc]),
                       distLengths[dc] + kDistanceExtra[dc]);
        }
        writer.Put(litCodes[256], litLengths[256]);
    }

    // Writes the collected sequences (input bytes blockStart .. end) as one block of whichever
    // kind is smallest.
    void FlushBlock(size_t end, bool last) {
        ++litFreq[256];  // end of block
        uint64_t extraBits = 0;
        for (int c = 0; c < 29; ++c) extraBits += static_cast<uint64_t>(litFreq[257 + c]) * kLengthExtra[c];
        for (int c = 0; c < 30; ++c) extraBits += static_cast<uint64_t>(distFreq[c]) * kDistanceExtra[c];

        // Fixed codes: distances 5 bits.
        uint64_t fixedBits = 3 + extraBits;
        for (int s = 0; s < 286; ++s) fixedBits += static_cast<uint64_t>(litFreq[s]) * FixedLiteralLength(s);
        for (int c = 0; c < 30; ++c) fixedBits += static_cast<uint64_t>(distFreq[c]) * 5;

        // Dynamic codes.
        uint32_t litCount[286];
        uint32_t distCount[30];
        std::memcpy(litCount, litFreq, sizeof litCount);
        std::memcpy(distCount, distFreq, sizeof distCount);
        uint8_t lengths[286 + 30];
        uint8_t* litLengths = lengths;
        uint8_t* distLengths = lengths + 286;
        BuildLengths(litCount, 286, 15, litLengths);
        BuildLengths(distCount, 30, 15, distLengths);
        int hlit = 286;
        while (hlit > 257 && litLengths[hlit - 1] == 0) --hlit;
        int hdist = 30;
        while (hdist > 1 && distLengths[hdist - 1] == 0) --hdist;
        // The code lengths, run-length coded: 16 repeats the previous length 3-6 times, 17 and
        // 18 give 3-10 and 11-138 zeros.
        uint8_t all[286 + 30];
        std::memcpy(all, litLengths, static_cast<size_t>(hlit));
        std::memcpy(all + hlit, distLengths, static_cast<size_t>(hdist));
        const int total = hlit + hdist;
        uint8_t runSymbols[286 + 30];
        uint8_t runExtra[286 + 30];
        int runs = 0;
        uint32_t clFreq[19] = {};
        for (int i = 0; i < total;) {
            const uint8_t len = all[i];
            int run = 1;
            while (i + run < total && all[i + run] == len) ++run;
            i += run;
            if (len == 0) {
                while (run >= 11) {
                    const int k = std::min(run, 138);
                    runSymbols[runs] = 18;
                    runExtra[runs++] = static_cast<uint8_t>(k - 11);
                    run -= k;
                }
                if (run >= 3) {
                    runSymbols[runs] = 17;
                    runExtra[runs++] = static_cast<uint8_t>(run - 3);
                    run = 0;
                }
            } else {
                runSymbols[runs] = len;
                runExtra[runs++] = 0;
                --run;
                while (run >= 3) {
                    const int k = std::min(run, 6);
                    runSymbols[runs] = 16;
                    runExtra[runs++] = static_cast<uint8_t>(k - 3);
                    run -= k;
                }
            }
            while (run-- > 0) {
                runSymbols[runs] = len;
                runExtra[runs++] = 0;
            }
        }
        for (int r = 0; r < runs; ++r) ++clFreq[runSymbols[r]];
        uint32_t clCount[19];
        std::memcpy(clCount, clFreq, sizeof clCount);
        uint8_t clLengths[19];
        BuildLengths(clCount, 19, 7, clLengths);
        int hclen = 19;
        while (hclen > 4 && clLengths[kCodeLengthOrder[hclen - 1]] == 0) --hclen;
        uint64_t dynamicBits = 3 + 5 + 5 + 4 + 3 * static_cast<uint64_t>(hclen) + extraBits;
        for (int s = 0; s < 19; ++s) dynamicBits += static_cast<uint64_t>(clFreq[s]) * clLengths[s];
        dynamicBits += 2 * clFreq[16] + 3 * clFreq[17] + 7 * clFreq[18];
        for (int s = 0; s < 286; ++s) dynamicBits += static_cast<uint64_t>(litFreq[s]) * litLengths[s];
        for (int c = 0; c < 30; ++c) dynamicBits += static_cast<uint64_t>(distFreq[c]) * distLengths[c];

        const size_t raw = end - blockStart;
        const uint64_t storedBits = 8 * (static_cast<uint64_t>(raw) + 5 * (raw / 65535 + 1)) + 7;

        const bool stored = storedBits <= dynamicBits && storedBits <= fixedBits;
        if (stored && !storedPending) {
            storedPending = true;
            storedStart = blockStart;
        }
        if (storedPending && (!stored || last)) {
            WriteStored(storedStart, stored ? end : blockStart, stored && last);
            storedPending = false;
        }
        if (stored) {
            // written above, or later with the blocks that follow
        } else if (fixedBits <= dynamicBits) {
            uint8_t fixedLengths[288 + 30];
            for (int s = 0; s < 288; ++s) fixedLengths[s] = FixedLiteralLength(s);
            for (int c = 0; c < 30; ++c) fixedLengths[288 + c] = 5;
            uint16_t litCodes[288];
            uint16_t distCodes[30];
            BuildCodes(fixedLengths, 288, litCodes);
            BuildCodes(fixedLengths + 288, 30, distCodes);
            writer.Put(last ? 1 + (1 << 1) : (1 << 1), 3);  // BTYPE 01
            WriteSequences(litCodes, fixedLengths, distCodes, fixedLengths + 288);
        } else {
            uint16_t litCodes[286];
            uint16_t distCodes[30];
            uint16_t clCodes[19];
            BuildCodes(litLengths, 286, litCodes);
            BuildCodes(distLengths, 30, distCodes);
            BuildCodes(clLengths, 19, clCodes);
            writer.Put(last ? 1 + (2 << 1) : (2 << 1), 3);  // BTYPE 10
            writer.Put(static_cast<uint32_t>(hlit - 257), 5);
            writer.Put(static_cast<uint32_t>(hdist - 1), 5);
            writer.Put(static_cast<uint32_t>(hclen - 4), 4);
            for (int i = 0; i < hclen; ++i) writer.Put(clLengths[kCodeLengthOrder[i]], 3);
            for (int r = 0; r < runs; ++r) {
                const uint8_t s = runSymbols[r];
                writer.Put(clCodes[s], clLengths[s]);
                if (s == 16) writer.Put(runExtra[r], 2);
                if (s == 17) writer.Put(runExtra[r], 3);
                if (s == 18) writer.Put(runExtra[r], 7);
            }
            WriteSequences(litCodes, litLengths, distCodes, distLengths);
        }
        count = 0;
        ResetFrequencies();
        blockStart = end;
    }
};

// The length of the common prefix of a and b, at most limit bytes; both may be read up to
// limit bytes (the caller keeps limit within the input).
inline size_t MatchLength(const uint8_t* a, const uint8_t* b, size_t limit) {
    size_t n = 0;
    while (n + 8 <= limit) {
        const uint64_t x = Load64(a + n) ^ Load64(b + n);
        if (x != 0) return n + static_cast<size_t>(__builtin_ctzll(x) >> 3);
        n += 8;
    }
    while (n < limit && a[n] == b[n]) ++n;
    return n;
}

inline uint32_t Hash(uint32_t fourBytes) {
    return (fourBytes * 0x9E3779B1u) >> (32 - kHashBits);
}

struct Matcher {
    const uint8_t* data;
    size_t size;
    size_t rowBytes;
    // The two most recent positions per hash, newest first, as their low 16 bits: a match is
    // always checked byte for byte, so an entry that has wrapped around (or the zeros it
    // starts as) costs a comparison but never gives a wrong match. 16-bit entries keep the
    // table (32 KiB) in the first-level cache.
    std::vector<uint16_t> table;
    size_t lastDistance = 0;

    void Insert(size_t p) {
        const uint32_t h = Hash(Load32(data + p));
        table[2 * h + 1] = table[2 * h];
        table[2 * h] = static_cast<uint16_t>(p);
    }

    // The longest match at p (0 when none of at least kMinMatch bytes), inserting p; p + 4 <=
    // size. *distance receives its distance. Candidates: the two table entries, the row above
    // and, unless lazy (the look one byte on, which rarely gains by it), the last match's
    // distance.
    size_t Find(size_t p, size_t* distance, bool lazy = false) {
        const uint32_t here = Load32(data + p);
        const uint32_t h = Hash(here);
        const uint16_t c0 = table[2 * h];
        const uint16_t c1 = table[2 * h + 1];
        table[2 * h + 1] = c0;
        table[2 * h] = static_cast<uint16_t>(p);
        const size_t limit = std::min(kMaxMatch, size - p);
        size_t best = kMinMatch - 1;
        size_t bestDistance = 0;
        auto consider = [&](size_t d) {
            if (d - 1 >= kWindow || d > p) return;
            const uint8_t* q = data + p - d;
            if (((Load32(q) ^ here) & 0xFFFFFF) != 0 || q[best] != data[p + best]) return;
            const size_t n = MatchLength(q, data + p, limit);
            if (n > best) {
                best = n;
                bestDistance = d;
            }
        };
        consider(static_cast<uint16_t>(p - c0));
        if (best < limit) consider(rowBytes);
        if (!lazy && best < limit) consider(lastDistance);
        if (best < limit) consider(static_cast<uint16_t>(p - c1));
        if (bestDistance == 0) return 0;
        *distance = bestDistance;
        return best;
    }
};

}  // namespace

void DeflateZlib(const uint8_t* data, size_t size, size_t rowBytes, std::vector<uint8_t>* out) {
    // Each block is written no larger than as stored bytes: at most 5 bytes per 65535 and one
    // for its header; blocks other than the last cover at least kBlockSequences bytes. The
    // buffer is left uninitialised (a vector would clear it first) and only what was written is
    // copied out.
    const size_t bound = size + 5 * (size / 65535 + 1) + 6 * (size / kBlockSequences + 2) + 16;
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[2 + bound + 4 + 8]);
    uint8_t* base = buffer.get();
    base[0] = 0x78;  // deflate, 32 KiB window
    base[1] = 0x5E;  // "fast" compression level noted; (0x785E % 31) == 0

    Encoder encoder;
    encoder.data = data;
    encoder.writer.out = base + 2;
    std::unique_ptr<Sequence[]> sequences(new Sequence[std::min(kBlockSequences, size + 1)]);
    encoder.sequences = sequences.get();
    encoder.ResetFrequencies();

    Matcher matcher;
    matcher.data = data;
    matcher.size = size;
    matcher.rowBytes = rowBytes;
    matcher.table.assign(size_t{2} << kHashBits, 0);

    size_t p = 0;
    // Positions from which four bytes can be read for hashing.
    const size_t hashEnd = size >= 4 ? size - 3 : 0;
    while (p < size) {
        if (encoder.count >= kBlockSequences) encoder.FlushBlock(p, false);
        if (p >= hashEnd) {
            encoder.Literal(data[p++]);
            continue;
        }
        size_t distance = 0;
        size_t length = matcher.Find(p, &distance);
        if (length == 0) {
            encoder.Literal(data[p++]);
            continue;
        }
        // One step of lazy matching: a longer match one byte on wins over this one.
        while (length < kLazyBelow && p + 1 < hashEnd) {
            size_t nextDistance = 0;
            const size_t nextLength = matcher.Find(p + 1, &nextDistance, true);
            if (nextLength <= length) break;
            encoder.Literal(data[p++]);
            length = nextLength;
            distance = nextDistance;
            if (encoder.count >= kBlockSequences) encoder.FlushBlock(p, false);
        }
        encoder.Match(length, distance);
        matcher.lastDistance = distance;
        // Every position inside a short match goes into the table; a long one needs only its
        // last few, as the bytes it covers are found again through the match's own source.
        const size_t matchEnd = p + length;
        size_t q = length <= 16 ? p + 2 : matchEnd - 4;
        if (q < p + 2) q = p + 2;
        for (; q < matchEnd && q < hashEnd; ++q) matcher.Insert(q);
        p = matchEnd;
    }
    encoder.FlushBlock(size, true);
    encoder.writer.Align();
    uint8_t* end = encoder.writer.out;
    const uint32_t adler = Adler32(1, data, size);
    end[0] = static_cast<uint8_t>(adler >> 24);
    end[1] = static_cast<uint8_t>(adler >> 16);
    end[2] = static_cast<uint8_t>(adler >> 8);
    end[3] = static_cast<uint8_t>(adler);
    out->insert(out->end(), base, end + 4);
}

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
