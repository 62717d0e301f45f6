// Building the display bitmap of each mode and decoding one YJK line, each beside a memcpy of
// the same number of output bytes in the same run: the physical floor for writing that much
// memory. The counter "x_memcpy" is the time per build divided by the memcpy's time.
#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image/picture.h"
#include "palette/palette.h"
#include "render/display.h"
#include "render/yjk.h"

namespace {

// A full-size picture with varied bytes, the palette table included (0x10000 bytes).
Picture MakePicture(int32_t mode) {
    Picture picture;
    AllocateVram(&picture, 0x10000);
    uint32_t seed = 12345;
    for (int32_t i = 0; i < 0x10000; ++i) {
        seed = seed * 1103515245u + 12345u;
        picture.data[i] = static_cast<uint8_t>(seed >> 16);
    }
    picture.screenMode = static_cast<ScreenMode>(mode);
    picture.paletteIndex = kPaletteInternal;
    return picture;
}

// CPU time of this thread: the machine is shared, and wall time would count the moments the
// benchmark is not running.
double ThreadSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Seconds per memcpy of `bytes` between two buffers, measured now (the same run, the same
// cache state as the thing compared with it).
double MemcpySeconds(size_t bytes) {
    std::vector<uint8_t> from(bytes, 1), to(bytes);
    const int rounds = 2000;
    const double start = ThreadSeconds();
    for (int i = 0; i < rounds; ++i) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    return (ThreadSeconds() - start) / rounds;
}

void ReportRatio(benchmark::State& state, double secondsPerIteration, size_t bytes, double pixels) {
    state.counters["x_memcpy"] = secondsPerIteration / MemcpySeconds(bytes);
    state.counters["ns_per_pixel"] = secondsPerIteration * 1e9 / pixels;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// The rebuild the viewer does: a new display bitmap replaces the old one.
void BM_BuildDisplayBitmap(benchmark::State& state) {
    const int32_t mode = static_cast<int32_t>(state.range(0));
    const Picture picture = MakePicture(mode);
    DisplayBitmap bitmap = BuildDisplayBitmap(picture);
    const size_t bytes = 2 + bitmap.FileSize();
    const double pixels = 212.0 * bitmap.Width();
    const double start = ThreadSeconds();
    for (auto _ : state) {
        bitmap = BuildDisplayBitmap(picture);
        benchmark::DoNotOptimize(bitmap.buffer.data());
        benchmark::ClobberMemory();
    }
    ReportRatio(state, (ThreadSeconds() - start) / static_cast<double>(state.iterations()), bytes,
                pixels);
    state.SetLabel(ScreenModeOf(mode).name);
}
BENCHMARK(BM_BuildDisplayBitmap)->DenseRange(kScreen5, kScreen12)->ArgName("mode");

void BM_Memcpy(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(state.range(0));
    std::vector<uint8_t> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
// The file-image sizes of SCREEN 5, 6/7, 8 and 10-12 plus the two alignment bytes.
BENCHMARK(BM_Memcpy)->Arg(27256)->Arg(54392)->Arg(55352)->Arg(162872)->Arg(768);

// One line, by the vector decoder (where the processor has AVX2) and by the table decoder.
void BM_DecodeYjkRow(benchmark::State& state) {
    const bool yae = state.range(0) != 0;
    const YjkDecoder decoder = state.range(1) != 0 ? kYjkAvx2 : kYjkTable;
    if (!YjkDecoderAvailable(decoder)) {
        state.SkipWithError("this processor has no AVX2");
        return;
    }
    const Picture picture = MakePicture(yae ? kScreen10 : kScreen12);
    uint8_t colours[64];
    PaletteToRgbQuads(CurrentPalette(picture), colours);
    std::vector<uint8_t> row(768);
    int32_t line = 0;
    const uint8_t* data = picture.data.data();
    DecodeYjkRowWith(decoder, data, row.data(), yae, colours);  // makes the table decoder's table
    const double start = ThreadSeconds();
    for (auto _ : state) {
        DecodeYjkRowWith(decoder, data + 256 * line, row.data(), yae, colours);
        benchmark::DoNotOptimize(row.data());
        benchmark::ClobberMemory();
        line = line == 211 ? 0 : line + 1;
    }
    ReportRatio(state, (ThreadSeconds() - start) / static_cast<double>(state.iterations()),
                row.size(), 256.0);
    state.SetLabel(std::string(yae ? "SCREEN 10/11" : "SCREEN 12") +
                   (decoder == kYjkAvx2 ? ", AVX2" : ", table"));
}
BENCHMARK(BM_DecodeYjkRow)->ArgsProduct({{0, 1}, {1, 0}})->ArgNames({"yae", "avx2"});

}  // namespace

BENCHMARK_MAIN();
