// The deflate encoder: LZ77 matches found through a small hash table, the row above and the
// last distance, written as blocks of dynamic Huffman codes (or fixed codes, or stored bytes,
// whichever is smallest for the block).
//
// A block goes out in steps: its symbols are counted as the sequences are collected; the
// dynamic code's lengths are built (codec/huffman.h) and run-length coded into the code-length
// code; the three kinds of block are priced in bits; the cheapest is written: its header, then
// its sequences.
#include "codec/deflate.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "codec/checksum.h"
#include "codec/deflate_constants.h"
#include "codec/huffman.h"

// The bit writer stores its 64-bit buffer as bytes and the match search counts equal bytes from
// the low end of a 64-bit difference: both take the low byte first, as x86 and ARM do.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "codec/deflate.cpp assumes a little-endian processor"
#endif

namespace deflate_format {
namespace {

// Sequences (literals and matches) a block collects before its codes are built.
constexpr size_t kBlockSequences = 8192;
// A match shorter than this is tried one byte later too (lazy matching).
constexpr size_t kLazyBelow = 8;
constexpr int kHashBits = 13;
// A stored block costs its LEN and NLEN and, at most, a byte for its header bits.
constexpr size_t kStoredBlockOverhead = kStoredLengthBytes + 1;
// The bit writer stores whole 64-bit words: room for one beyond the last byte written.
constexpr size_t kWriterSlack = 8;

// ---- Symbols of lengths and distances ----

// Distances up to 256 have a table entry each; longer ones share one per 128, which keeps
// within one distance code (every code from 257 on spans a multiple of 128).
constexpr uint32_t kDirectDistances = 256;
constexpr int kDistanceShift = 7;

struct SymbolTables {
    uint8_t lengthCode[kMaxMatch + 1];  // match length -> index into kLengthBase
    uint8_t distanceCode[kDirectDistances + (kWindow >> kDistanceShift)];
};

constexpr SymbolTables MakeSymbolTables() {
    SymbolTables t{};
    constexpr int kLast = kLengthCodes - 1;
    for (int code = 0; code < kLengthCodes; ++code) {
        const int last = code == kLast ? static_cast<int>(kMaxMatch)
                                       : kLengthBase[code] + (1 << kLengthExtra[code]) - 1;
        for (int length = kLengthBase[code]; length <= last; ++length) {
            // The longest match has a code of its own (285), not 284 with all extra bits set.
            if (length == static_cast<int>(kMaxMatch) && code != kLast) continue;
            t.lengthCode[length] = static_cast<uint8_t>(code);
        }
    }
    for (int code = 0; code < kDistanceSymbols; ++code) {
        const uint32_t first = kDistanceBase[code] - 1u;
        const uint32_t last = first + (1u << kDistanceExtra[code]) - 1;
        for (uint32_t d = first; d <= last; ++d) {
            if (d < kDirectDistances) {
                t.distanceCode[d] = static_cast<uint8_t>(code);
            } else {
                t.distanceCode[kDirectDistances + (d >> kDistanceShift)] = static_cast<uint8_t>(code);
            }
        }
    }
    return t;
}

constexpr SymbolTables kSymbols = MakeSymbolTables();

inline uint32_t DistanceCode(uint32_t distance) {
    const uint32_t d = distance - 1;
    return d < kDirectDistances ? kSymbols.distanceCode[d]
                                : kSymbols.distanceCode[kDirectDistances + (d >> kDistanceShift)];
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

// ---- Codes ----

// A block's two codes, lengths and bit-reversed codewords, with room for the fixed alphabets
// (a dynamic block uses the first kLitLenSymbols and kDistanceSymbols entries only).
struct BlockCodes {
    uint16_t litLenCode[kFixedLitLenSymbols];
    uint8_t litLenLength[kFixedLitLenSymbols];
    uint16_t distanceCode[kFixedDistanceSymbols];
    uint8_t distanceLength[kFixedDistanceSymbols];
};

constexpr BlockCodes MakeFixedCodes() {
    BlockCodes c{};
    for (int s = 0; s < kFixedLitLenSymbols; ++s) c.litLenLength[s] = FixedLitLenLength(s);
    for (int s = 0; s < kFixedDistanceSymbols; ++s) c.distanceLength[s] = kFixedDistanceLength;
    BuildCanonicalCodes(c.litLenLength, kFixedLitLenSymbols, c.litLenCode);
    BuildCanonicalCodes(c.distanceLength, kFixedDistanceSymbols, c.distanceCode);
    return c;
}

// The fixed codes, built by the compiler: read-only data shared by every block and thread.
constexpr BlockCodes kFixedCodes = MakeFixedCodes();

// The extra bits that follow a code-length symbol (the repeat counts).
constexpr int CodeLengthExtraBits(int symbol) {
    return symbol == kRepeatPrevious   ? kRepeatPreviousExtra
           : symbol == kRepeatZeros    ? kRepeatZerosExtra
           : symbol == kRepeatManyZeros ? kRepeatManyZerosExtra
                                        : 0;
}

// The code lengths of a dynamic block's two codes as code-length symbols, each with the value
// of its extra bits.
struct LengthRuns {
    uint8_t symbol[kLitLenSymbols + kDistanceSymbols];
    uint8_t extra[kLitLenSymbols + kDistanceSymbols];
    int count = 0;

    void Add(int s, int value) {
        symbol[count] = static_cast<uint8_t>(s);
        extra[count++] = static_cast<uint8_t>(value);
    }
};

// Codes a run of zero lengths with 18 and 17; returns how many are left (fewer than 3).
int AddZeroRuns(int run, LengthRuns* runs) {
    while (run >= kRepeatManyZerosMin) {
        const int k = std::min(run, kRepeatManyZerosMax);
        runs->Add(kRepeatManyZeros, k - kRepeatManyZerosMin);
        run -= k;
    }
    if (run >= kRepeatZerosMin) {
        runs->Add(kRepeatZeros, run - kRepeatZerosMin);
        run = 0;
    }
    return run;
}

// Codes a run of a nonzero length as the length once and 16 for its repeats; returns how many
// are left (fewer than 3).
int AddRepeats(uint8_t length, int run, LengthRuns* runs) {
    runs->Add(length, 0);
    --run;
    while (run >= kRepeatPreviousMin) {
        const int k = std::min(run, kRepeatPreviousMax);
        runs->Add(kRepeatPrevious, k - kRepeatPreviousMin);
        run -= k;
    }
    return run;
}

// The total lengths (the literal/length code's, then the distance code's), run-length coded.
void RunLengthCode(const uint8_t* lengths, int total, LengthRuns* runs) {
    for (int i = 0; i < total;) {
        const uint8_t length = lengths[i];
        int run = 1;
        while (i + run < total && lengths[i + run] == length) ++run;
        i += run;
        run = length == 0 ? AddZeroRuns(run, runs) : AddRepeats(length, run, runs);
        while (run-- > 0) runs->Add(length, 0);
    }
}

// What a dynamic block sends besides its sequences: the code lengths, and the code-length code
// they are sent in.
struct DynamicHeader {
    int hlit;   // literal/length codes sent
    int hdist;  // distance codes sent
    int hclen;  // code-length code lengths sent
    LengthRuns runs;
    uint32_t clFreq[kCodeLengthSymbols];
    uint8_t clLength[kCodeLengthSymbols];
    uint16_t clCode[kCodeLengthSymbols];
};

// The dynamic codes' lengths for a block's counts, and the header that sends them.
void BuildDynamicLengths(const uint32_t* litFreq, const uint32_t* distFreq, BlockCodes* codes,
                         DynamicHeader* header) {
    BuildCodeLengths(litFreq, kLitLenSymbols, kMaxCodeLength, codes->litLenLength);
    BuildCodeLengths(distFreq, kDistanceSymbols, kMaxCodeLength, codes->distanceLength);
    int hlit = kLitLenSymbols;
    while (hlit > kMinLitLenCodes && codes->litLenLength[hlit - 1] == 0) --hlit;
    int hdist = kDistanceSymbols;
    while (hdist > kMinDistanceCodes && codes->distanceLength[hdist - 1] == 0) --hdist;
    uint8_t all[kLitLenSymbols + kDistanceSymbols];
    std::memcpy(all, codes->litLenLength, static_cast<size_t>(hlit));
    std::memcpy(all + hlit, codes->distanceLength, static_cast<size_t>(hdist));
    header->runs.count = 0;
    RunLengthCode(all, hlit + hdist, &header->runs);
    std::memset(header->clFreq, 0, sizeof header->clFreq);
    for (int r = 0; r < header->runs.count; ++r) ++header->clFreq[header->runs.symbol[r]];
    BuildCodeLengths(header->clFreq, kCodeLengthSymbols, kMaxCodeLengthCodeLength, header->clLength);
    int hclen = kCodeLengthSymbols;
    while (hclen > kMinCodeLengthCodes && header->clLength[kCodeLengthOrder[hclen - 1]] == 0) --hclen;
    header->hlit = hlit;
    header->hdist = hdist;
    header->hclen = hclen;
}

// ---- Block sizes in bits ----

// The sum of count times length over n symbols.
uint64_t CodedBits(const uint32_t* freq, const uint8_t* lengths, int n) {
    uint64_t bits = 0;
    for (int s = 0; s < n; ++s) bits += static_cast<uint64_t>(freq[s]) * lengths[s];
    return bits;
}

// The extra bits of the lengths and distances, the same under every code.
uint64_t ExtraBits(const uint32_t* litFreq, const uint32_t* distFreq) {
    return CodedBits(litFreq + kFirstLengthSymbol, kLengthExtra, kLengthCodes) +
           CodedBits(distFreq, kDistanceExtra, kDistanceSymbols);
}

uint64_t FixedBlockBits(const uint32_t* litFreq, const uint32_t* distFreq, uint64_t extraBits) {
    return kBlockHeaderBits + extraBits +
           CodedBits(litFreq, kFixedCodes.litLenLength, kLitLenSymbols) +
           CodedBits(distFreq, kFixedCodes.distanceLength, kDistanceSymbols);
}

uint64_t DynamicBlockBits(const uint32_t* litFreq, const uint32_t* distFreq, uint64_t extraBits,
                          const BlockCodes& codes, const DynamicHeader& header) {
    uint64_t bits = kBlockHeaderBits + kHlitBits + kHdistBits + kHclenBits +
                    kCodeLengthCodeLengthBits * static_cast<uint64_t>(header.hclen) + extraBits;
    for (int s = 0; s < kCodeLengthSymbols; ++s) {
        bits += static_cast<uint64_t>(header.clFreq[s]) * (header.clLength[s] + CodeLengthExtraBits(s));
    }
    return bits + CodedBits(litFreq, codes.litLenLength, kLitLenSymbols) +
           CodedBits(distFreq, codes.distanceLength, kDistanceSymbols);
}

// raw bytes as stored blocks of up to kStoredMaxBytes, with up to 7 bits of alignment.
uint64_t StoredBlockBits(size_t raw) {
    return 8 * (static_cast<uint64_t>(raw) + kStoredBlockOverhead * (raw / kStoredMaxBytes + 1)) + 7;
}

enum class BlockKind { kStored, kFixed, kDynamic };

// The smallest kind; a tie goes to stored, then fixed (the cheaper to write).
BlockKind ChooseBlock(uint64_t storedBits, uint64_t fixedBits, uint64_t dynamicBits) {
    if (storedBits <= dynamicBits && storedBits <= fixedBits) return BlockKind::kStored;
    return fixedBits <= dynamicBits ? BlockKind::kFixed : BlockKind::kDynamic;
}

// ---- Output ----

// Bits into bytes, low bit first; out has room for everything written (checked by the caller's
// bound) plus kWriterSlack bytes for the whole-word stores. Each Put stores eight bytes and
// moves on by the whole bytes it completed, which needs no branch: at most 7 + 32 bits are
// pending.
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
    void PutBlockHeader(bool last, uint32_t type) {
        Put((last ? kLastBlock : 0) | type << 1, kBlockHeaderBits);
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
    uint32_t litFreq[kLitLenSymbols];
    uint32_t distFreq[kDistanceSymbols];
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
        ++litFreq[kFirstLengthSymbol + kSymbols.lengthCode[length]];
        ++distFreq[DistanceCode(static_cast<uint32_t>(distance))];
    }

    void WriteStored(size_t start, size_t end, bool last) {
        do {
            const size_t n = std::min(end - start, kStoredMaxBytes);
            writer.PutBlockHeader(last && start + n == end, kBlockStored);
            writer.Align();
            const uint16_t len = static_cast<uint16_t>(n);
            const uint16_t nlen = static_cast<uint16_t>(~len);
            writer.out[0] = static_cast<uint8_t>(len);
            writer.out[1] = static_cast<uint8_t>(len >> 8);
            writer.out[2] = static_cast<uint8_t>(nlen);
            writer.out[3] = static_cast<uint8_t>(nlen >> 8);
            std::memcpy(writer.out + kStoredLengthBytes, data + start, n);
            writer.out += kStoredLengthBytes + n;
            start += n;
        } while (start < end);
    }

    // The code lengths and the code-length code of a dynamic block, after its block header.
    void WriteDynamicHeader(DynamicHeader* header) {
        BuildCanonicalCodes(header->clLength, kCodeLengthSymbols, header->clCode);
        writer.Put(static_cast<uint32_t>(header->hlit - kMinLitLenCodes), kHlitBits);
        writer.Put(static_cast<uint32_t>(header->hdist - kMinDistanceCodes), kHdistBits);
        writer.Put(static_cast<uint32_t>(header->hclen - kMinCodeLengthCodes), kHclenBits);
        for (int i = 0; i < header->hclen; ++i) {
            writer.Put(header->clLength[kCodeLengthOrder[i]], kCodeLengthCodeLengthBits);
        }
        const LengthRuns& runs = header->runs;
        for (int r = 0; r < runs.count; ++r) {
            const uint8_t s = runs.symbol[r];
            writer.Put(header->clCode[s] | static_cast<uint32_t>(runs.extra[r]) << header->clLength[s],
                       header->clLength[s] + CodeLengthExtraBits(s));
        }
    }

    // The collected sequences under codes, and the end of the block.
    void WriteSequences(const BlockCodes& codes) {
        for (size_t i = 0; i < count; ++i) {
            const Sequence s = sequences[i];
            if (s.distance == 0) {
                writer.Put(codes.litLenCode[s.value], codes.litLenLength[s.value]);
                continue;
            }
            const uint32_t lc = kSymbols.lengthCode[s.value];
            const uint32_t ls = kFirstLengthSymbol + lc;
            writer.Put(codes.litLenCode[ls] | ((s.value - kLengthBase[lc]) << codes.litLenLength[ls]),
                       codes.litLenLength[ls] + kLengthExtra[lc]);
            const uint32_t dc = DistanceCode(s.distance);
            writer.Put(codes.distanceCode[dc] | ((s.distance - kDistanceBase[dc]) << codes.distanceLength[dc]),
                       codes.distanceLength[dc] + kDistanceExtra[dc]);
        }
        writer.Put(codes.litLenCode[kEndOfBlock], codes.litLenLength[kEndOfBlock]);
    }

    // Stored blocks are held back while they follow each other; a block of another kind, or
    // the last block, writes out those held.
    void WritePendingStored(bool stored, size_t end, bool last) {
        if (stored && !storedPending) {
            storedPending = true;
            storedStart = blockStart;
        }
        if (storedPending && (!stored || last)) {
            WriteStored(storedStart, stored ? end : blockStart, stored && last);
            storedPending = false;
        }
    }

    // Writes the collected sequences (input bytes blockStart .. end) as one block of whichever
    // kind is smallest.
    void FlushBlock(size_t end, bool last) {
        ++litFreq[kEndOfBlock];
        BlockCodes dynamic;
        DynamicHeader header;
        BuildDynamicLengths(litFreq, distFreq, &dynamic, &header);
        const uint64_t extraBits = ExtraBits(litFreq, distFreq);
        const BlockKind kind =
            ChooseBlock(StoredBlockBits(end - blockStart), FixedBlockBits(litFreq, distFreq, extraBits),
                        DynamicBlockBits(litFreq, distFreq, extraBits, dynamic, header));
        WritePendingStored(kind == BlockKind::kStored, end, last);
        if (kind == BlockKind::kFixed) {
            writer.PutBlockHeader(last, kBlockFixed);
            WriteSequences(kFixedCodes);
        } else if (kind == BlockKind::kDynamic) {
            BuildCanonicalCodes(dynamic.litLenLength, kLitLenSymbols, dynamic.litLenCode);
            BuildCanonicalCodes(dynamic.distanceLength, kDistanceSymbols, dynamic.distanceCode);
            writer.PutBlockHeader(last, kBlockDynamic);
            WriteDynamicHeader(&header);
            WriteSequences(dynamic);
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

// The LZ77 parse of the whole input into blocks of sequences, greedy with one step of lazy
// matching; every block but the last is flushed when full.
void Parse(Encoder* encoder, Matcher* matcher) {
    const uint8_t* data = matcher->data;
    const size_t size = matcher->size;
    size_t p = 0;
    // Positions from which four bytes can be read for hashing.
    const size_t hashEnd = size >= 4 ? size - 3 : 0;
    while (p < size) {
        if (encoder->count >= kBlockSequences) encoder->FlushBlock(p, false);
        if (p >= hashEnd) {
            encoder->Literal(data[p++]);
            continue;
        }
        size_t distance = 0;
        size_t length = matcher->Find(p, &distance);
        if (length == 0) {
            encoder->Literal(data[p++]);
            continue;
        }
        // One step of lazy matching: a longer match one byte on wins over this one.
        while (length < kLazyBelow && p + 1 < hashEnd) {
            size_t nextDistance = 0;
            const size_t nextLength = matcher->Find(p + 1, &nextDistance, true);
            if (nextLength <= length) break;
            encoder->Literal(data[p++]);
            length = nextLength;
            distance = nextDistance;
            if (encoder->count >= kBlockSequences) encoder->FlushBlock(p, false);
        }
        encoder->Match(length, distance);
        matcher->lastDistance = distance;
        // Every position inside a short match goes into the table; a long one needs only its
        // last few, as the bytes it covers are found again through the match's own source.
        const size_t matchEnd = p + length;
        size_t q = length <= 16 ? p + 2 : matchEnd - 4;
        if (q < p + 2) q = p + 2;
        for (; q < matchEnd && q < hashEnd; ++q) matcher->Insert(q);
        p = matchEnd;
    }
    encoder->FlushBlock(size, true);
}

// The zlib stream: header, the deflate blocks, and the Adler-32 of the data.
void Compress(const uint8_t* data, size_t size, size_t rowBytes, std::vector<uint8_t>* out) {
    // Each block is written no larger than as stored bytes: at most kStoredBlockOverhead bytes
    // per kStoredMaxBytes and one for its header; blocks other than the last cover at least
    // kBlockSequences bytes. The buffer is left uninitialised (a vector would clear it first)
    // and only what was written is copied out.
    const size_t bound = size + kStoredBlockOverhead * (size / kStoredMaxBytes + 1) +
                         6 * (size / kBlockSequences + 2) + 16;
    std::unique_ptr<uint8_t[]> buffer(
        new uint8_t[kZlibHeaderBytes + bound + kZlibTrailerBytes + kWriterSlack]);
    uint8_t* base = buffer.get();
    base[0] = kZlibCmf;
    base[1] = kZlibFlg;

    Encoder encoder;
    encoder.data = data;
    encoder.writer.out = base + kZlibHeaderBytes;
    std::unique_ptr<Sequence[]> sequences(new Sequence[std::min(kBlockSequences, size + 1)]);
    encoder.sequences = sequences.get();
    encoder.ResetFrequencies();

    Matcher matcher;
    matcher.data = data;
    matcher.size = size;
    matcher.rowBytes = rowBytes;
    matcher.table.assign(size_t{2} << kHashBits, 0);

    Parse(&encoder, &matcher);
    encoder.writer.Align();
    uint8_t* end = encoder.writer.out;
    const uint32_t adler = Adler32(1, data, size);
    end[0] = static_cast<uint8_t>(adler >> 24);
    end[1] = static_cast<uint8_t>(adler >> 16);
    end[2] = static_cast<uint8_t>(adler >> 8);
    end[3] = static_cast<uint8_t>(adler);
    out->insert(out->end(), base, end + kZlibTrailerBytes);
}

}  // namespace
}  // namespace deflate_format

void DeflateZlib(const uint8_t* data, size_t size, size_t rowBytes, std::vector<uint8_t>* out) {
    deflate_format::Compress(data, size, rowBytes, out);
}
