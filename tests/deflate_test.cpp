// The deflate encoder: every stream, inflated by zlib (an independent decoder, natively and in
// the Windows build alike), gives back exactly its input, over inputs that take each of the
// encoder's paths; and it never grows beyond stored blocks. The Huffman code lengths within
// their limits, complete and ordered by count, where the limit binds too; the canonical codes
// against RFC 1951's own examples. The checksums against their published check values.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <queue>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "codec/checksum.h"
#include "codec/deflate.h"
#include "codec/deflate_constants.h"
#include "codec/huffman.h"

namespace {

namespace df = deflate_format;

// Deterministic bytes: a 32-bit linear congruential generator's top byte.
std::vector<uint8_t> Noise(size_t size, uint32_t seed, int alphabet = 256) {
    std::vector<uint8_t> out(size);
    for (uint8_t& b : out) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<uint8_t>((seed >> 24) % alphabet);
    }
    return out;
}

struct DeflateCase {
    const char* name;
    std::vector<uint8_t> data;
    size_t rowBytes;
};

std::vector<DeflateCase> Cases() {
    std::vector<DeflateCase> cases;
    cases.push_back({"empty", {}, 0});
    cases.push_back({"one byte", {0x42}, 0});
    cases.push_back({"three bytes", {1, 2, 3}, 0});
    cases.push_back({"four equal bytes", {7, 7, 7, 7}, 0});
    cases.push_back({"short text (fixed codes)", {}, 0});
    const char* text = "abcabcabcabd abcabcabcabd";
    cases.back().data.assign(text, text + std::strlen(text));
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
    cases.push_back({"every byte once", all, 0});
    // Incompressible: stored blocks, several of 65535 bytes within one block.
    cases.push_back({"noise, 200 KB", Noise(200000, 1), 0});
    // Runs of 258 at distance 1, over more than one window.
    cases.push_back({"zeros, 300 KB", std::vector<uint8_t>(300000, 0), 0});
    // Few symbols: many short matches, more sequences than one block holds.
    cases.push_back({"four letters, 400 KB", Noise(400000, 2, 4), 0});
    // Picture rows: each row a noisy row with a few changes from the row above.
    {
        const size_t row = 129;
        std::vector<uint8_t> rows = Noise(row, 3);
        rows.resize(row * 212);
        std::vector<uint8_t> changes = Noise(212 * 4, 4);
        for (size_t y = 1; y < 212; ++y) {
            std::memcpy(&rows[y * row], &rows[(y - 1) * row], row);
            for (int k = 0; k < 4; ++k) rows[y * row + changes[y * 4 + k] % row] ^= 0x5A;
        }
        cases.push_back({"rows like the row above", rows, row});
    }
    // A block of noise repeated at exactly the window's reach, and one byte beyond it.
    for (size_t period : {size_t{32768}, size_t{32769}}) {
        std::vector<uint8_t> data = Noise(period, 5);
        std::vector<uint8_t> copy(data.begin(), data.begin() + 20000);
        data.insert(data.end(), copy.begin(), copy.end());
        cases.push_back({period == 32768 ? "repeat at 32768" : "repeat at 32769", data, 0});
    }
    // A row length larger than the window must not be used as a distance.
    cases.push_back({"row beyond the window", Noise(100000, 6, 3), 40000});
    return cases;
}

TEST(Deflate, StreamsInflateToTheirInput) {
    for (const DeflateCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> out = {0xEE};  // appended to, never replaced
        DeflateZlib(c.data.data(), c.data.size(), c.rowBytes, &out);
        ASSERT_GE(out.size(), 1u + 2 + 4 + 1);
        EXPECT_EQ(out[0], 0xEE);
        // zlib header: deflate with a 32 KiB window, no dictionary, check bits.
        EXPECT_EQ(out[1], 0x78);
        EXPECT_EQ((out[1] * 256 + out[2]) % 31, 0);
        EXPECT_EQ(out[2] & 0x20, 0);
        // Never larger than stored: here each input is stored, if at all, as one run of stored
        // blocks of up to 65535 bytes, 5 bytes each (and a byte to align); plus the header and
        // Adler-32.
        const size_t stream = out.size() - 1;
        EXPECT_LE(stream, c.data.size() + 5 * (c.data.size() / 65535 + 1) + 1 + 2 + 4);
        std::vector<uint8_t> back(c.data.size() + 1);
        uLongf length = static_cast<uLongf>(back.size());
        ASSERT_EQ(uncompress(back.data(), &length, out.data() + 1, static_cast<uLong>(stream)), Z_OK);
        ASSERT_EQ(length, c.data.size());
        EXPECT_TRUE(std::equal(c.data.begin(), c.data.end(), back.begin()));
    }
}

TEST(Deflate, CompressesWhatRepeats) {
    // Not a figure to hold, a sanity floor: a run, and rows equal to the row above, shrink to
    // a small fraction; noise stays within stored size (above).
    std::vector<uint8_t> out;
    const std::vector<uint8_t> zeros(100000, 0);
    DeflateZlib(zeros.data(), zeros.size(), 0, &out);
    EXPECT_LT(out.size(), 400u);
    std::vector<uint8_t> rows = Noise(257, 7);
    for (int y = 1; y < 212; ++y) rows.insert(rows.end(), rows.begin(), rows.begin() + 257);
    out.clear();
    DeflateZlib(rows.data(), rows.size(), 257, &out);
    EXPECT_LT(out.size(), 257u + 1000u);
}

TEST(Checksums, PublishedCheckValuesAndPieces) {
    const char* check = "123456789";  // the usual check input of CRC catalogues
    const auto* bytes = reinterpret_cast<const uint8_t*>(check);
    EXPECT_EQ(Crc32(0, bytes, 9), 0xCBF43926u);     // CRC-32 (ISO-HDLC, as zlib and PNG use)
    EXPECT_EQ(Adler32(1, bytes, 9), 0x091E01DEu);   // Adler-32 of RFC 1950
    EXPECT_EQ(Crc32(0, nullptr, 0), 0u);
    EXPECT_EQ(Adler32(1, nullptr, 0), 1u);
    // In pieces as at once, across the 16-byte steps and the modulo chunks of Adler-32.
    const std::vector<uint8_t> data = Noise(100000, 8);
    const uint32_t crc = Crc32(0, data.data(), data.size());
    const uint32_t adler = Adler32(1, data.data(), data.size());
    for (size_t cut : {size_t{1}, size_t{15}, size_t{5551}, size_t{5553}, size_t{65536}}) {
        SCOPED_TRACE(cut);
        EXPECT_EQ(Crc32(Crc32(0, data.data(), cut), data.data() + cut, data.size() - cut), crc);
        EXPECT_EQ(Adler32(Adler32(1, data.data(), cut), data.data() + cut, data.size() - cut), adler);
    }
    EXPECT_EQ(adler, static_cast<uint32_t>(adler32(1, data.data(), static_cast<uInt>(data.size()))));
    EXPECT_EQ(crc, static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size()))));
    // All 0xFF bytes: the largest sums Adler-32 has to reduce.
    const std::vector<uint8_t> ones(70000, 0xFF);
    EXPECT_EQ(Adler32(1, ones.data(), ones.size()),
              static_cast<uint32_t>(adler32(1, ones.data(), static_cast<uInt>(ones.size()))));
}

// ---- Huffman code lengths ----

// 1, 1, 2, 3, 5, ...: counts under which every Huffman tree is a chain, as deep as there are
// symbols less one.
std::vector<uint32_t> Fibonacci(int n) {
    std::vector<uint32_t> f(static_cast<size_t>(n), 1);
    for (int i = 2; i < n; ++i) f[i] = f[i - 1] + f[i - 2];
    return f;
}

std::vector<uint32_t> PowersOfTwo(int n) {
    std::vector<uint32_t> f(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) f[i] = uint32_t{1} << i;
    return f;
}

// The unlimited minimum-redundancy code of the used counts, by the textbook method (merge the
// two lightest, a priority queue): its cost (sum of count x length) and its depth.
std::pair<uint64_t, int> ReferenceHuffman(const std::vector<uint32_t>& freq) {
    using Node = std::pair<uint64_t, int>;  // weight, depth below
    std::priority_queue<Node, std::vector<Node>, std::greater<Node>> queue;
    for (uint32_t f : freq) {
        if (f != 0) queue.push({f, 0});
    }
    uint64_t cost = 0;
    while (queue.size() > 1) {
        const Node a = queue.top();
        queue.pop();
        const Node b = queue.top();
        queue.pop();
        cost += a.first + b.first;
        queue.push({a.first + b.first, std::max(a.second, b.second) + 1});
    }
    return {cost, queue.empty() ? 0 : queue.top().second};
}

struct LengthCase {
    const char* name;
    std::vector<uint32_t> freq;
    int maxBits;
};

std::vector<LengthCase> LengthCases() {
    using df::kCodeLengthSymbols;
    using df::kDistanceSymbols;
    using df::kLitLenSymbols;
    constexpr int kLong = df::kMaxCodeLength;
    constexpr int kShort = df::kMaxCodeLengthCodeLength;
    std::vector<LengthCase> cases;
    cases.push_back({"Fibonacci, 25 symbols", Fibonacci(25), kLong});
    cases.push_back({"Fibonacci, the distance code's 30", Fibonacci(kDistanceSymbols), kLong});
    cases.push_back({"Fibonacci, the code-length code's 19", Fibonacci(kCodeLengthSymbols), kShort});
    cases.push_back({"Fibonacci, 44 symbols (sum below 2^31)", Fibonacci(44), kLong});
    cases.push_back({"powers of two, 25 symbols", PowersOfTwo(25), kLong});
    cases.push_back({"powers of two, 19 symbols", PowersOfTwo(kCodeLengthSymbols), kShort});
    {
        // Fibonacci counts on every third symbol, zeros between them.
        std::vector<uint32_t> f(90, 0);
        const std::vector<uint32_t> fib = Fibonacci(30);
        for (int i = 0; i < 30; ++i) f[3 * i + 1] = fib[29 - i];
        cases.push_back({"Fibonacci with zeros mixed in", f, kLong});
    }
    {
        // A literal/length code: one rare chain among 286 symbols of a few hundred each.
        std::vector<uint32_t> f(kLitLenSymbols, 300);
        const std::vector<uint32_t> fib = Fibonacci(20);
        for (int i = 0; i < 20; ++i) f[40 + i] = fib[i];
        f[100] = 0;
        f[kLitLenSymbols - 1] = 0;
        cases.push_back({"286 symbols with a Fibonacci chain", f, kLong});
    }
    {
        std::vector<uint32_t> f(kLitLenSymbols, 0);
        f[65] = 1000;
        cases.push_back({"one symbol of 286", f, kLong});
    }
    {
        std::vector<uint32_t> f(kDistanceSymbols, 0);
        f[kDistanceSymbols - 1] = 1;
        cases.push_back({"one symbol, the last", f, kLong});
    }
    cases.push_back({"no symbol used (a block without matches)",
                     std::vector<uint32_t>(kDistanceSymbols, 0), kLong});
    {
        std::vector<uint32_t> f(kLitLenSymbols, 0);
        f[3] = 5;
        f[200] = 100000;
        cases.push_back({"two symbols", f, kLong});
    }
    cases.push_back({"all equal, 286", std::vector<uint32_t>(kLitLenSymbols, 7), kLong});
    cases.push_back({"all equal, 19", std::vector<uint32_t>(kCodeLengthSymbols, 1), kShort});
    cases.push_back({"all equal, 288", std::vector<uint32_t>(kHuffmanMaxSymbols, 3), kLong});
    {
        // Counts of any size, as literal counts of a block are.
        const std::vector<uint8_t> noise = Noise(2 * kLitLenSymbols, 9);
        std::vector<uint32_t> f(kLitLenSymbols);
        for (int i = 0; i < kLitLenSymbols; ++i) f[i] = noise[2 * i] * noise[2 * i + 1] % 3000;
        cases.push_back({"286 symbols, noisy counts", f, kLong});
    }
    return cases;
}

TEST(Huffman, LengthsWithinTheLimitCompleteAndOrderedByCount) {
    for (const LengthCase& c : LengthCases()) {
        SCOPED_TRACE(c.name);
        const int n = static_cast<int>(c.freq.size());
        std::vector<uint8_t> lengths(c.freq.size(), 0xEE);
        BuildCodeLengths(c.freq.data(), n, c.maxBits, lengths.data());
        int used = 0;
        for (uint32_t f : c.freq) used += f != 0;
        // Coded: every used symbol, and unused ones only to make up two codes, the first ones.
        int coded = 0;
        int unusedCoded = 0;
        bool firstUnusedTaken = true;
        uint64_t kraft = 0;  // in units of 2^-maxBits
        for (int s = 0; s < n; ++s) {
            ASSERT_LE(lengths[s], c.maxBits) << "symbol " << s;
            if (lengths[s] != 0) {
                ++coded;
                kraft += uint64_t{1} << (c.maxBits - lengths[s]);
            }
            if (c.freq[s] != 0) {
                EXPECT_NE(lengths[s], 0) << "symbol " << s;
            } else if (lengths[s] != 0) {
                EXPECT_TRUE(firstUnusedTaken) << "symbol " << s;
                ++unusedCoded;
            } else {
                firstUnusedTaken = false;
            }
        }
        EXPECT_EQ(coded, std::max(used, 2));
        EXPECT_EQ(unusedCoded, std::max(0, 2 - used));
        // Complete, in every case: at least two codes, and the limiting keeps the sum at 1.
        EXPECT_EQ(kraft, uint64_t{1} << c.maxBits);
        for (int a = 0; a < n; ++a) {
            for (int b = 0; b < n; ++b) {
                if (c.freq[a] > c.freq[b] && c.freq[b] != 0) {
                    ASSERT_LE(lengths[a], lengths[b]) << "symbols " << a << " and " << b;
                }
            }
        }
        // Where the unlimited code fits the limit, it is what comes out (its cost); where it
        // does not, the case reaches the limiter.
        const std::pair<uint64_t, int> reference = ReferenceHuffman(c.freq);
        if (used >= 2 && reference.second <= c.maxBits) {
            uint64_t cost = 0;
            for (int s = 0; s < n; ++s) cost += static_cast<uint64_t>(c.freq[s]) * lengths[s];
            EXPECT_EQ(cost, reference.first);
        }
    }
}

TEST(Huffman, TheFibonacciAndPowerCasesNeedTheLimiter) {
    // The cases above are meant to reach the limiter: check that they do, by their unlimited
    // depth, so that a change to them cannot quietly stop testing it.
    int limited = 0;
    for (const LengthCase& c : LengthCases()) {
        if (ReferenceHuffman(c.freq).second > c.maxBits) ++limited;
        if (std::string(c.name).find("Fibonacci") == 0 || std::string(c.name).find("powers") == 0) {
            EXPECT_GT(ReferenceHuffman(c.freq).second, c.maxBits) << c.name;
        }
    }
    EXPECT_GE(limited, 8);
}

TEST(Huffman, CanonicalCodesAsRfc1951Gives) {
    // Section 3.2.2's example: lengths (3, 3, 3, 3, 3, 2, 4, 4) for A-H give the codes 010,
    // 011, 100, 101, 110, 00, 1110, 1111 (written here top bit first, as the RFC does).
    const uint8_t lengths[8] = {3, 3, 3, 3, 3, 2, 4, 4};
    const uint32_t expected[8] = {0b010, 0b011, 0b100, 0b101, 0b110, 0b00, 0b1110, 0b1111};
    uint16_t codes[8];
    BuildCanonicalCodes(lengths, 8, codes);
    for (int s = 0; s < 8; ++s) EXPECT_EQ(ReverseBits(codes[s], lengths[s]), expected[s]) << s;

    // Section 3.2.6's fixed literal/length code, by its ranges: 0-143 from 00110000, 144-255
    // from 110010000, 256-279 from 0000000, 280-287 from 11000000.
    uint8_t fixed[df::kFixedLitLenSymbols];
    for (int s = 0; s < df::kFixedLitLenSymbols; ++s) fixed[s] = df::FixedLitLenLength(s);
    uint16_t fixedCodes[df::kFixedLitLenSymbols];
    BuildCanonicalCodes(fixed, df::kFixedLitLenSymbols, fixedCodes);
    struct Range {
        int first, last, bits;
        uint32_t firstCode;
    };
    for (const Range r : {Range{0, 143, 8, 0x30}, Range{144, 255, 9, 0x190}, Range{256, 279, 7, 0},
                          Range{280, 287, 8, 0xC0}}) {
        for (int s = r.first; s <= r.last; ++s) {
            ASSERT_EQ(fixed[s], r.bits) << s;
            ASSERT_EQ(ReverseBits(fixedCodes[s], r.bits), r.firstCode + (s - r.first)) << s;
        }
    }
}

// ---- A stream whose literal code needs the limiter ----

// Reads a deflate stream's bits, low bit first.
struct BitReader {
    const uint8_t* data;
    size_t size;
    size_t bit = 0;
    uint32_t Bits(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++bit) {
            const uint32_t b = bit / 8 < size ? (data[bit / 8] >> (bit % 8)) & 1 : 0;
            v |= b << i;
        }
        return v;
    }
};

// One symbol of the canonical code of lengths, read a bit at a time from its top bit: the
// codes of each length follow the last code of the length before, doubled. -1 when none.
int DecodeSymbol(BitReader* in, const std::vector<uint8_t>& lengths) {
    int code = 0;
    int first = 0;  // the first code of the current length
    int index = 0;  // of that code's symbol among the symbols sorted by length
    std::vector<int> sorted;
    for (int bits = 1; bits <= df::kMaxCodeLength; ++bits) {
        for (size_t s = 0; s < lengths.size(); ++s) {
            if (lengths[s] == bits) sorted.push_back(static_cast<int>(s));
        }
    }
    for (int bits = 1; bits <= df::kMaxCodeLength; ++bits) {
        code |= static_cast<int>(in->Bits(1));
        const int count = static_cast<int>(std::count(lengths.begin(), lengths.end(), bits));
        if (code - first < count) return sorted[static_cast<size_t>(index + code - first)];
        index += count;
        first = (first + count) << 1;
        code <<= 1;
    }
    return -1;
}

// The literal/length code lengths of a zlib stream's first block with Huffman codes, past the
// stored blocks before it; empty when a fixed block comes first or the stream ends.
std::vector<uint8_t> FirstDynamicLitLenLengths(const std::vector<uint8_t>& stream) {
    BitReader in{stream.data() + df::kZlibHeaderBytes, stream.size() - df::kZlibHeaderBytes};
    uint32_t type = df::kBlockStored;
    while (in.bit / 8 < in.size && (type = in.Bits(df::kBlockHeaderBits) >> 1) == df::kBlockStored) {
        in.bit = (in.bit + 7) / 8 * 8;
        const uint32_t length = in.Bits(16);
        in.bit += 16 + 8 * static_cast<size_t>(length);  // NLEN, then the bytes
    }
    if (type != df::kBlockDynamic) return {};
    const int hlit = static_cast<int>(in.Bits(df::kHlitBits)) + df::kMinLitLenCodes;
    const int hdist = static_cast<int>(in.Bits(df::kHdistBits)) + df::kMinDistanceCodes;
    const int hclen = static_cast<int>(in.Bits(df::kHclenBits)) + df::kMinCodeLengthCodes;
    std::vector<uint8_t> clLengths(df::kCodeLengthSymbols, 0);
    for (int i = 0; i < hclen; ++i) {
        clLengths[df::kCodeLengthOrder[i]] = static_cast<uint8_t>(in.Bits(df::kCodeLengthCodeLengthBits));
    }
    std::vector<uint8_t> lengths;
    while (static_cast<int>(lengths.size()) < hlit + hdist) {
        const int s = DecodeSymbol(&in, clLengths);
        if (s < 0) return {};
        if (s < df::kRepeatPrevious) {
            lengths.push_back(static_cast<uint8_t>(s));
        } else if (s == df::kRepeatPrevious) {
            if (lengths.empty()) return {};
            lengths.insert(lengths.end(), in.Bits(2) + 3, lengths.back());
        } else {
            const uint32_t zeros = s == df::kRepeatZeros ? in.Bits(3) + 3 : in.Bits(7) + 11;
            lengths.insert(lengths.end(), zeros, 0);
        }
    }
    lengths.resize(static_cast<size_t>(hlit));
    return lengths;
}

// The literal counts FibonacciLiterals gives its block: bytes 0-15 with the Fibonacci numbers
// 1, 2, 3, 5, ... 987 and 1598 (one more than the next, for an even count), which with the end
// of block (1) make a chain of 17 (each count above the sum of all but the one before it), so
// that the Huffman tree is 16 deep unlimited.
std::vector<uint32_t> FibonacciLiteralCounts() {
    std::vector<uint32_t> counts = Fibonacci(17);
    counts.erase(counts.begin());
    ++counts.back();
    return counts;
}

// Those bytes as the literals of one block, with the row length to compress them with. A block
// of noise (stored) comes first; after it every byte is the byte one row up, but for the bytes
// placed two at a time, 14 apart: the 12 between are a match one row up. A row is 7 bytes short
// of a whole number of 14, so that the bytes beside a pair are the noise's. Each placed byte is
// unlike the bytes at its place in the rows above within the window, and no four bytes from a
// placed one occurred before: no match takes a placed byte in.
std::vector<uint8_t> FibonacciLiterals(size_t* rowBytes) {
    constexpr size_t kNoise = 8192;  // one block of literals
    constexpr size_t kPeriod = 14;   // a pair and a match longer than the lazy look (8)
    constexpr size_t kRow = kNoise / kPeriod * kPeriod - kPeriod / 2;
    const std::vector<uint32_t> counts = FibonacciLiteralCounts();
    std::vector<uint8_t> bytes;
    for (size_t b = 0; b < counts.size(); ++b) bytes.insert(bytes.end(), counts[b], static_cast<uint8_t>(b));
    uint32_t seed = 12345;
    for (size_t i = bytes.size() - 1; i > 0; --i) {
        seed = seed * 1664525u + 1013904223u;
        std::swap(bytes[i], bytes[(seed >> 8) % (i + 1)]);
    }
    // The rarest last, where few are left to choose from: they seldom meet themselves above.
    std::stable_partition(bytes.begin(), bytes.end(), [](uint8_t b) { return b > 4; });
    std::vector<uint8_t> data = Noise(kNoise, 21);
    auto gram = [](uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
        return static_cast<uint32_t>(a) | b << 8 | c << 16 | static_cast<uint32_t>(d) << 24;
    };
    std::set<uint32_t> met;  // every four bytes so far
    size_t metUpTo = 0;
    auto fitsColumn = [&data](uint8_t byte, size_t at) {
        for (size_t up = kRow; up <= at && up < df::kWindow; up += kRow) {
            if (byte == data[at - up]) return false;
        }
        return true;
    };
    while (!bytes.empty()) {
        for (; metUpTo + 4 <= data.size(); ++metUpTo) {
            met.insert(gram(data[metUpTo], data[metUpTo + 1], data[metUpTo + 2], data[metUpTo + 3]));
        }
        const size_t p = data.size();
        const uint8_t* above = &data[p - kRow];  // the bytes the match after the pair copies
        size_t first = bytes.size();
        size_t second = bytes.size();
        for (size_t i = 0; i < bytes.size() && first == bytes.size(); ++i) {
            if (!fitsColumn(bytes[i], p)) continue;
            for (size_t j = 0; j < bytes.size() && first == bytes.size(); ++j) {
                if (j == i || !fitsColumn(bytes[j], p + 1) || met.count(gram(bytes[i], bytes[j], above[2], above[3])) ||
                    met.count(gram(bytes[j], above[2], above[3], above[4]))) {
                    continue;
                }
                first = i;
                second = j;
            }
        }
        if (first == bytes.size()) first = second = 0;  // none fits (the test would fail)
        data.push_back(bytes[first]);
        if (second != first) data.push_back(bytes[second]);
        bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(std::max(first, second)));
        if (second != first) bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(std::min(first, second)));
        while (data.size() < p + kPeriod) {
            const uint8_t byte = data[data.size() - kRow];
            data.push_back(byte);
        }
    }
    *rowBytes = kRow;
    return data;
}

TEST(Deflate, FibonacciLiteralCountsLimitTheLiteralCode) {
    // The block's intended counts (the bytes, the end of block, the matches' one length code)
    // need more than 15 bits unlimited: the stream has to go through the limiter.
    std::vector<uint32_t> intended = FibonacciLiteralCounts();
    const uint32_t placed = std::accumulate(intended.begin(), intended.end(), 0u);
    intended.push_back(1);
    intended.push_back(placed / 2);
    EXPECT_GT(ReferenceHuffman(intended).second, df::kMaxCodeLength);

    size_t rowBytes = 0;
    const std::vector<uint8_t> data = FibonacciLiterals(&rowBytes);
    std::vector<uint8_t> stream;
    DeflateZlib(data.data(), data.size(), rowBytes, &stream);
    std::vector<uint8_t> back(data.size() + 1);
    uLongf length = static_cast<uLongf>(back.size());
    ASSERT_EQ(uncompress(back.data(), &length, stream.data(), static_cast<uLong>(stream.size())), Z_OK);
    ASSERT_EQ(length, data.size());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), back.begin()));

    // The block's literal/length code as the stream declares it: within 15 bits, complete, the
    // rarest bytes at the limit and the bytes' lengths in the order of their counts.
    const std::vector<uint8_t> lengths = FirstDynamicLitLenLengths(stream);
    ASSERT_FALSE(lengths.empty());
    uint64_t kraft = 0;
    for (uint8_t l : lengths) {
        ASSERT_LE(l, df::kMaxCodeLength);
        if (l != 0) kraft += uint64_t{1} << (df::kMaxCodeLength - l);
    }
    EXPECT_EQ(kraft, uint64_t{1} << df::kMaxCodeLength);
    EXPECT_EQ(lengths[0], df::kMaxCodeLength);
    EXPECT_EQ(lengths[df::kEndOfBlock], df::kMaxCodeLength);
    for (int b = 1; b < 16; ++b) EXPECT_LE(lengths[b], lengths[b - 1]) << b;
}

}  // namespace
