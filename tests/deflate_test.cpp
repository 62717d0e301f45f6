// The deflate encoder: every stream, inflated by zlib (an independent decoder; natively only,
// the Windows build has no zlib, and there the PNG tests decode our files through WIC), gives
// back exactly its input, over inputs that take each of the encoder's paths; and it never grows
// beyond stored blocks. The checksums against their published check values.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codec/checksum.h"
#include "codec/deflate.h"

#ifndef _WIN32
#include <zlib.h>
#endif

namespace {

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
#ifndef _WIN32
        std::vector<uint8_t> back(c.data.size() + 1);
        uLongf length = static_cast<uLongf>(back.size());
        ASSERT_EQ(uncompress(back.data(), &length, out.data() + 1, static_cast<uLong>(stream)), Z_OK);
        ASSERT_EQ(length, c.data.size());
        EXPECT_TRUE(std::equal(c.data.begin(), c.data.end(), back.begin()));
#endif
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
#ifndef _WIN32
    EXPECT_EQ(adler, static_cast<uint32_t>(adler32(1, data.data(), static_cast<uInt>(data.size()))));
    EXPECT_EQ(crc, static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size()))));
    // All 0xFF bytes: the largest sums Adler-32 has to reduce.
    const std::vector<uint8_t> ones(70000, 0xFF);
    EXPECT_EQ(Adler32(1, ones.data(), ones.size()),
              static_cast<uint32_t>(adler32(1, ones.data(), static_cast<uInt>(ones.size()))));
#endif
}

}  // namespace
