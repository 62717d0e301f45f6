// One conversion of a full 64 KiB picture per code, the allocation of the new buffer included:
// what a Ctrl+F-key conversion costs before the display is rebuilt. Each iteration starts from
// a copy of the same source picture, so in-place codes do not convert their own output; the
// copy is made with the timer paused.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "convert/convert.h"
#include "image/picture.h"
#include "palette/palette.h"

namespace {

struct Code {
    int32_t code;
    int32_t source;  // the mode the code converts from
};

// Codes 1-11 with their source modes (SCREEN 10/11 for code 11).
const Code kCodes[] = {
    {1, kScreen5}, {2, kScreen5}, {3, kScreen5}, {4, kScreen6},  {5, kScreen6},  {6, kScreen5},
    {7, kScreen7}, {8, kScreen6}, {9, kScreen6}, {10, kScreen7}, {11, kScreen10},
};

void BM_ConvertScreenMode(benchmark::State& state) {
    const Code code = kCodes[state.range(0)];
    std::vector<uint8_t> source(0x10000);
    uint32_t seed = 4321;
    for (uint8_t& b : source) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 16);
    }
    Picture picture;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(AllocateVram(&picture, 0x10000), source.data(), source.size());
        picture.screenMode = static_cast<ScreenMode>(code.source);
        picture.paletteIndex = kPaletteInternal;
        state.ResumeTiming();
        ConvertScreenMode(&picture, code.code);
        benchmark::DoNotOptimize(picture.data.data());
        benchmark::ClobberMemory();
    }
    state.SetLabel("code " + std::to_string(code.code));
}
BENCHMARK(BM_ConvertScreenMode)->DenseRange(0, 10)->ArgName("index")->Unit(benchmark::kMicrosecond);

}  // namespace
