// The deflate encoder over any bytes: the stream inflates (zlib) to exactly its input, is never
// larger than stored blocks, and is the same on one thread or several. Input: two bytes of row
// length (little-endian, 0 for none), a byte n, then the data, taken n % 8 + 1 times over (so
// that inputs reach the sizes that are compressed in several parts).
#include <zlib.h>

#include <vector>

#include "platform/deflate.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const size_t rowBytes = data[0] | static_cast<size_t>(data[1]) << 8;
    const int copies = data[2] % 8 + 1;
    std::vector<uint8_t> input;
    for (int i = 0; i < copies; ++i) input.insert(input.end(), data + 3, data + size);
    std::vector<uint8_t> stream;
    DeflateZlib(input.data(), input.size(), rowBytes, &stream);
    FUZZ_CHECK(stream.size() <= input.size() + 6 * (input.size() / 32768 + 4) + 2 + 4);
    std::vector<uint8_t> back(input.size() + 1);
    uLongf length = static_cast<uLongf>(back.size());
    FUZZ_CHECK(uncompress(back.data(), &length, stream.data(), static_cast<uLong>(stream.size())) == Z_OK);
    FUZZ_CHECK(length == input.size());
    for (size_t i = 0; i < input.size(); ++i) FUZZ_CHECK(back[i] == input[i]);
    if (copies > 2) {
        std::vector<uint8_t> threaded;
        DeflateZlib(input.data(), input.size(), rowBytes, &threaded, 2);
        FUZZ_CHECK(threaded == stream);
    }
    FUZZ_CHECK(Adler32(1, input.data(), input.size()) ==
               static_cast<uint32_t>(adler32(1, input.data(), static_cast<uInt>(input.size()))));
    return 0;
}
