#include "tools/bsave_runs.h"

std::vector<uint8_t> EncodeBsaveRuns(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    size_t i = 0;
    while (i < size) {
        uint8_t v = data[i];
        size_t n = 1;
        while (i + n < size && n < 256 && data[i + n] == v) ++n;
        if (n == 1 && v >= 0x10) {
            out.push_back(v);  // a literal costs one byte
        } else if (n <= 0x0F) {
            // Two literals are as short as a run of two; runs keep the code simple and exact.
            out.push_back(static_cast<uint8_t>(n));
            out.push_back(v);
        } else {
            out.push_back(0x00);
            out.push_back(static_cast<uint8_t>(n == 256 ? 0 : n));
            out.push_back(v);
        }
        i += n;
    }
    return out;
}
