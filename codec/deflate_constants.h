// The numbers of the deflate format (RFC 1951) and of its zlib wrapper (RFC 1950), named once
// for the encoder, its Huffman code builder and their tests.
#pragma once

#include <cstddef>
#include <cstdint>

namespace deflate_format {

// ---- Alphabets ----

// Literal/length symbols: the 256 byte values, the end of a block, then the length codes.
constexpr int kLiteralSymbols = 256;
constexpr int kEndOfBlock = 256;
constexpr int kFirstLengthSymbol = 257;
constexpr int kLengthCodes = 29;
// The literal/length symbols a block may use (286 and 287 only fill out the fixed code).
constexpr int kLitLenSymbols = kFirstLengthSymbol + kLengthCodes;  // 286
constexpr int kDistanceSymbols = 30;
// The code-length code, in which a dynamic block sends the lengths of its two codes.
constexpr int kCodeLengthSymbols = 19;

// The fixed codes cover complete alphabets, unused symbols included.
constexpr int kFixedLitLenSymbols = 288;
constexpr int kFixedDistanceSymbols = 32;

constexpr int kMaxCodeLength = 15;            // literal/length and distance codes
constexpr int kMaxCodeLengthCodeLength = 7;   // the code-length code (3-bit lengths)

// ---- Matches ----

constexpr size_t kMinMatch = 3;
constexpr size_t kMaxMatch = 258;
constexpr size_t kWindow = 32768;

// Base length and extra bits of each length code (symbols 257-285).
constexpr uint16_t kLengthBase[kLengthCodes] = {3,  4,  5,  6,  7,  8,  9,  10,  11,  13,
                                                15, 17, 19, 23, 27, 31, 35, 43,  51,  59,
                                                67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[kLengthCodes] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// Base distance and extra bits of each distance code.
constexpr uint16_t kDistanceBase[kDistanceSymbols] = {
    1,   2,   3,   4,   5,    7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistanceExtra[kDistanceSymbols] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,
                                                      4, 4, 5, 5, 6, 6, 7, 7,  8,  8,
                                                      9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// ---- Blocks ----

// Each block starts with BFINAL (1 bit) and BTYPE (2 bits).
constexpr int kBlockHeaderBits = 3;
constexpr uint32_t kLastBlock = 1;  // BFINAL
constexpr uint32_t kBlockStored = 0;
constexpr uint32_t kBlockFixed = 1;
constexpr uint32_t kBlockDynamic = 2;

// A stored block: after its header, aligned to a byte, LEN and NLEN (16 bits each), then up
// to 65535 bytes.
constexpr size_t kStoredMaxBytes = 65535;
constexpr size_t kStoredLengthBytes = 4;

// A dynamic block's header: HLIT (literal/length codes - 257), HDIST (distance codes - 1),
// HCLEN (code-length codes - 4), then 3 bits per code-length code length.
constexpr int kHlitBits = 5;
constexpr int kHdistBits = 5;
constexpr int kHclenBits = 4;
constexpr int kMinLitLenCodes = kFirstLengthSymbol;
constexpr int kMinDistanceCodes = 1;
constexpr int kMinCodeLengthCodes = 4;
constexpr int kCodeLengthCodeLengthBits = 3;
// The order in which the code-length code's lengths are sent.
constexpr uint8_t kCodeLengthOrder[kCodeLengthSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                          11, 4,  12, 3, 13, 2, 14, 1, 15};

// The code-length code's repeat symbols: 16 repeats the previous length 3-6 times (2 extra
// bits), 17 gives 3-10 zeros (3 bits) and 18 gives 11-138 zeros (7 bits).
constexpr int kRepeatPrevious = 16;
constexpr int kRepeatPreviousMin = 3;
constexpr int kRepeatPreviousMax = 6;
constexpr int kRepeatPreviousExtra = 2;
constexpr int kRepeatZeros = 17;
constexpr int kRepeatZerosMin = 3;
constexpr int kRepeatZerosMax = 10;
constexpr int kRepeatZerosExtra = 3;
constexpr int kRepeatManyZeros = 18;
constexpr int kRepeatManyZerosMin = 11;
constexpr int kRepeatManyZerosMax = 138;
constexpr int kRepeatManyZerosExtra = 7;

// The fixed codes' lengths: literal/length 8 bits for 0-143, 9 for 144-255, 7 for 256-279 and
// 8 for 280-287; every distance 5 bits.
constexpr uint8_t FixedLitLenLength(int symbol) {
    return symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8;
}
constexpr uint8_t kFixedDistanceLength = 5;

// ---- The zlib wrapper ----

// CMF: deflate with a 32 KiB window; FLG: the "fast" level noted, no dictionary, and check
// bits that make CMF * 256 + FLG a multiple of 31.
constexpr uint8_t kZlibCmf = 0x78;
constexpr uint8_t kZlibFlg = 0x5E;
constexpr size_t kZlibHeaderBytes = 2;
constexpr size_t kZlibTrailerBytes = 4;  // Adler-32 of the data, big-endian

}  // namespace deflate_format
