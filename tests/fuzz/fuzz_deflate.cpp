// The deflate encoder over any bytes: the stream inflates (zlib) to exactly its input and is
// never larger than stored blocks. Input: two bytes of row length (little-endian, 0 for none),
// then the data.
#include <zlib.h>

#include <vector>

#include "codec/checksum.h"
#include "codec/deflate.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t rowBytes = data[0] | static_cast<size_t>(data[1]) << 8;
    data += 2;
    size -= 2;
    std::vector<uint8_t> stream;
    DeflateZlib(data, size, rowBytes, &stream);
    // Stored runs: 5 bytes per 65535, and at most a header and a byte to align for each block
    // of 8192 sequences (a run may end at each).
    FUZZ_CHECK(stream.size() <= size + 5 * (size / 65535 + 1) + 6 * (size / 8192 + 1) + 2 + 4);
    std::vector<uint8_t> back(size + 1);
    uLongf length = static_cast<uLongf>(back.size());
    FUZZ_CHECK(uncompress(back.data(), &length, stream.data(), static_cast<uLong>(stream.size())) == Z_OK);
    FUZZ_CHECK(length == size);
    for (size_t i = 0; i < size; ++i) FUZZ_CHECK(back[i] == data[i]);
    FUZZ_CHECK(Adler32(1, data, size) == static_cast<uint32_t>(adler32(1, data, static_cast<uInt>(size))));
    return 0;
}
