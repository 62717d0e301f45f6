// PNG output over a corpus: the bundled samples and the real pictures beside the repository
// (VRAMORIA_PICTURES overrides; without them, the samples alone), each at its full view as
// `vramoria-convert PIC -o PIC.png` writes it.
//
// BM_PngRgb is the former output (8-bit RGB from RenderView, libpng's defaults), the yardstick;
// BM_PngPalette encodes BuildIndexedView's image at each zlib level, with and without row
// filters for palette rows, and with each zlib strategy. Counters: "pictures_per_s" (CPU time
// of this thread), "bytes" (total PNG bytes over the corpus) and "x_rgb_bytes" (bytes / the
// yardstick's bytes).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "image/bsave.h"
#include "image/picture.h"
#include "palette/palette.h"
#include "platform/png.h"
#include "render/display.h"
#include "render/indexed_view.h"
#include "render/view.h"

namespace {

struct CorpusPicture {
    DisplayBitmap bitmap;      // the picture the views are read from
    std::vector<uint8_t> rgb;  // RenderView's pixels
    int32_t width, height;
    PngImage image;            // BuildIndexedView's
};

std::vector<CorpusPicture> LoadCorpus() {
    std::vector<std::string> files;
    for (const char* ext : {"sc5", "sc6", "sc7", "sc8", "sca", "scc", "sr5"}) {
        files.push_back(std::string(VRAMORIA_SAMPLES) + "/testcard." + ext);
    }
    const char* env = std::getenv("VRAMORIA_PICTURES");
    const std::string shared = env != nullptr && *env != '\0' ? env : VRAMORIA_SHARED_PICTURES;
    for (const char* name :
         {"fusionc_SAMPLE.pic", "fusionc_mona.sc5", "msxgl_IMAGE01.s12", "msxgl_IMAGE01.sc5",
          "msxgl_IMAGE01.sc6", "msxgl_IMAGE01.sc7", "msxgl_IMAGE01.sc8", "msxgl_PALETTE.sc5",
          "msxgl_data.sc8", "msxgl_data_cust.sc5", "msxgl_data_pal24.sc5"}) {
        files.push_back(shared + "/" + name);
    }
    std::vector<CorpusPicture> corpus;
    for (const std::string& file : files) {
        Picture picture;
        if (LoadScreenFileNamed(file.c_str(), &picture) != kLoadOk) continue;
        CorpusPicture p;
        p.bitmap = BuildDisplayBitmap(picture);
        p.width = ViewWidth(p.bitmap, kViewFull);
        p.height = ViewHeight(kViewFull);
        p.rgb.resize(static_cast<size_t>(p.width) * p.height * 3);
        RenderView(p.bitmap, kViewFull, p.rgb.data());
        BuildIndexedView(p.bitmap.FileInfo(), p.bitmap.Rows(), kViewFull, &p.image);
        corpus.push_back(std::move(p));
    }
    return corpus;
}

const std::vector<CorpusPicture>& Corpus() {
    static const std::vector<CorpusPicture> corpus = LoadCorpus();
    return corpus;
}

size_t RgbBytes() {
    static const size_t total = [] {
        size_t sum = 0;
        std::vector<uint8_t> png;
        for (const CorpusPicture& p : Corpus()) {
            EncodePngRgb(p.rgb.data(), p.width, p.height, &png);
            sum += png.size();
        }
        return sum;
    }();
    return total;
}

void Report(benchmark::State& state, size_t bytes) {
    const double pictures = static_cast<double>(Corpus().size());
    state.counters["pictures"] = pictures;
    state.counters["pictures_per_s"] =
        benchmark::Counter(pictures, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["x_rgb_bytes"] = static_cast<double>(bytes) / static_cast<double>(RgbBytes());
}

void BM_PngRgb(benchmark::State& state) {
    std::vector<uint8_t> png;
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const CorpusPicture& p : Corpus()) {
            EncodePngRgb(p.rgb.data(), p.width, p.height, &png);
            bytes += png.size();
        }
    }
    Report(state, bytes);
}
BENCHMARK(BM_PngRgb)->Unit(benchmark::kMillisecond);

// args: zlib level, filter palette rows (0/1), zlib strategy (-1: libpng's)
void BM_PngPalette(benchmark::State& state) {
    PngCompression compression;
    compression.level = static_cast<int32_t>(state.range(0));
    compression.filterIndexed = static_cast<int32_t>(state.range(1));
    compression.strategy = static_cast<int32_t>(state.range(2));
    std::vector<uint8_t> png;
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const CorpusPicture& p : Corpus()) {
            EncodePng(p.image, &png, compression);
            bytes += png.size();
        }
    }
    Report(state, bytes);
}
BENCHMARK(BM_PngPalette)
    ->ArgsProduct({benchmark::CreateDenseRange(1, 9, 1), {0, 1}, {-1}})
    ->ArgsProduct({{1, 6}, {0}, {0, 2, 3}})
    ->ArgNames({"level", "filter", "strategy"})
    ->Unit(benchmark::kMillisecond);

// The pictures that stay RGB (YJK with more than 256 colours), at each zlib level with libpng's
// adaptive filter. "x_level6_bytes": bytes / those at level 6, the former output's level.
void BM_PngRgbLevel(benchmark::State& state) {
    PngCompression compression;
    std::vector<uint8_t> png;
    const auto encodeAll = [&](int32_t level, double* pictures) {
        compression.level = level;
        size_t bytes = 0;
        *pictures = 0;
        for (const CorpusPicture& p : Corpus()) {
            if (p.image.colour != kPngRgb) continue;
            EncodePng(p.image, &png, compression);
            bytes += png.size();
            ++*pictures;
        }
        return bytes;
    };
    double pictures = 0;
    const size_t level6 = encodeAll(6, &pictures);
    size_t bytes = 0;
    for (auto _ : state) bytes = encodeAll(static_cast<int32_t>(state.range(0)), &pictures);
    state.counters["pictures"] = pictures;
    state.counters["pictures_per_s"] =
        benchmark::Counter(pictures, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["x_level6_bytes"] = static_cast<double>(bytes) / static_cast<double>(level6);
}
BENCHMARK(BM_PngRgbLevel)->DenseRange(1, 9, 1)->ArgName("level")->Unit(benchmark::kMillisecond);

// The default choice, description included: what one PNG costs the converter now, beside the
// former RenderView + RGB encoding.
void BM_PngDefaultWithView(benchmark::State& state) {
    std::vector<uint8_t> png;
    size_t bytes = 0;
    const bool palette = state.range(0) != 0;
    for (auto _ : state) {
        bytes = 0;
        for (const CorpusPicture& p : Corpus()) {
            PngImage image;
            if (palette) {
                BuildIndexedView(p.bitmap.FileInfo(), p.bitmap.Rows(), kViewFull, &image);
                EncodePng(image, &png);
            } else {
                std::vector<uint8_t> rgb(p.rgb.size());
                RenderView(p.bitmap, kViewFull, rgb.data());
                EncodePngRgb(rgb.data(), p.width, p.height, &png);
            }
            bytes += png.size();
        }
    }
    Report(state, bytes);
}
BENCHMARK(BM_PngDefaultWithView)->Arg(0)->Arg(1)->ArgName("palette")->Unit(benchmark::kMillisecond);

}  // namespace
