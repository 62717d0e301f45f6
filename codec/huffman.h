// Huffman codes for the deflate encoder: length-limited code lengths from symbol counts, and
// the canonical codewords those lengths stand for.
#pragma once

#include <cstdint>

// The largest alphabet BuildCodeLengths takes (deflate's fixed literal/length alphabet).
constexpr int kHuffmanMaxSymbols = 288;

// Code lengths of at most maxBits (1-15) for the n symbols of freq (2 <= n <=
// kHuffmanMaxSymbols, n <= 2^maxBits), minimum-redundancy when no code is longer than maxBits,
// else close to it. Unused symbols get 0. At least two symbols always get a code (the first
// unused ones are taken when fewer are used), so the code is always complete: the sum of
// 2^-length over the coded symbols is exactly 1. A decoder (zlib's among them) refuses an
// incomplete code-length code, and elsewhere takes only a single one-bit code as incomplete.
// A more frequent symbol never gets a longer code; equal counts are ordered by symbol, so the
// result depends on the counts alone.
void BuildCodeLengths(const uint32_t* freq, int n, int maxBits, uint8_t* lengths);

// The low bits of code (at most 16) in reverse order.
constexpr uint32_t ReverseBits(uint32_t code, int bits) {
    uint32_t v = code & 0xFFFF;
    v = (v & 0x5555) << 1 | (v >> 1 & 0x5555);
    v = (v & 0x3333) << 2 | (v >> 2 & 0x3333);
    v = (v & 0x0F0F) << 4 | (v >> 4 & 0x0F0F);
    v = (v & 0x00FF) << 8 | v >> 8;
    return v >> (16 - bits);
}

// The canonical codes of the n code lengths (at most 15 bits; 0 for an unused symbol, which
// gets code 0): shorter codes first, and within a length in symbol order. Each is stored
// bit-reversed, as deflate sends a Huffman code from its top bit into a stream that is filled
// from each byte's bottom bit. constexpr, so that the fixed codes are built by the compiler.
constexpr void BuildCanonicalCodes(const uint8_t* lengths, int n, uint16_t* codes) {
    uint16_t count[16] = {};
    for (int i = 0; i < n; ++i) ++count[lengths[i]];
    count[0] = 0;
    uint32_t next[16] = {};
    uint32_t code = 0;
    for (int bits = 1; bits < 16; ++bits) {
        code = (code + count[bits - 1]) << 1;
        next[bits] = code;
    }
    for (int i = 0; i < n; ++i) {
        const int bits = lengths[i];
        codes[i] = bits == 0 ? 0 : static_cast<uint16_t>(ReverseBits(next[bits]++, bits));
    }
}
