// PNG output over a corpus: the bundled samples and the real pictures beside the repository
// (VRAMORIA_PICTURES overrides; without them, the samples alone), each at its full view as
// `vramoria-convert PIC -o PIC.png` writes it.
//
// BM_PngEncode is the whole encoder (EncodePng); BM_Deflate and BM_Zlib compress the same
// image data (unfiltered rows, as EncodePng stores them), ours beside zlib at each level, so
// that the two are measured side by side in one run. Counters: "pictures_per_s" (CPU time of
// this thread) and "bytes" (total compressed bytes over the corpus).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codec/deflate.h"
#include "codec/png_write.h"
#include "image/bsave.h"
#include "image/picture.h"
#include "palette/palette.h"
#include "render/display.h"
#include "render/indexed_view.h"
#include "render/view.h"

namespace {

struct CorpusPicture {
    DisplayBitmap bitmap;      // the picture the views are read from
    std::vector<uint8_t> rgb;  // RenderView's pixels
    int32_t width, height;
    PngImage image;            // BuildIndexedView's
    std::vector<uint8_t> lines;  // its rows, each behind a filter byte 0, as EncodePng stores them
    size_t lineBytes;
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
        p.height = ViewHeight(p.bitmap, kViewFull);
        p.rgb.resize(static_cast<size_t>(p.width) * p.height * 3);
        RenderView(p.bitmap, kViewFull, p.rgb.data());
        BuildIndexedView(p.bitmap.FileInfo(), p.bitmap.Rows(), kViewFull, &p.image);
        const size_t rowBytes = p.image.colour == kPngIndexed
                                    ? (static_cast<size_t>(p.image.width) * p.image.bitDepth + 7) / 8
                                    : static_cast<size_t>(p.image.width) * 3;
        p.lineBytes = rowBytes + 1;
        p.lines.assign(p.lineBytes * p.image.height, 0);
        for (int32_t y = 0; y < p.image.height; ++y) {
            std::memcpy(p.lines.data() + p.lineBytes * y + 1,
                        p.image.pixels.data() + static_cast<size_t>(p.image.stride) * y, rowBytes);
        }
        corpus.push_back(std::move(p));
    }
    return corpus;
}

const std::vector<CorpusPicture>& Corpus() {
    static const std::vector<CorpusPicture> corpus = LoadCorpus();
    return corpus;
}

void Report(benchmark::State& state, size_t bytes) {
    const double pictures = static_cast<double>(Corpus().size());
    state.counters["pictures"] = pictures;
    state.counters["pictures_per_s"] =
        benchmark::Counter(pictures, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["bytes"] = static_cast<double>(bytes);
}

void BM_PngEncode(benchmark::State& state) {
    std::vector<uint8_t> png;
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const CorpusPicture& p : Corpus()) {
            EncodePng(p.image, &png);
            bytes += png.size();
        }
    }
    Report(state, bytes);
}
BENCHMARK(BM_PngEncode)->Unit(benchmark::kMillisecond);

void BM_Deflate(benchmark::State& state) {
    std::vector<uint8_t> out;
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const CorpusPicture& p : Corpus()) {
            out.clear();
            DeflateZlib(p.lines.data(), p.lines.size(), p.lineBytes, &out);
            bytes += out.size();
        }
    }
    Report(state, bytes);
}
BENCHMARK(BM_Deflate)->Unit(benchmark::kMillisecond);

// arg: zlib level. The former PNG writer (libpng) used level 4 for palette rows, 6 for RGB.
void BM_Zlib(benchmark::State& state) {
    const int level = static_cast<int>(state.range(0));
    std::vector<uint8_t> out;
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const CorpusPicture& p : Corpus()) {
            uLongf length = compressBound(static_cast<uLong>(p.lines.size()));
            out.resize(length);
            compress2(out.data(), &length, p.lines.data(), static_cast<uLong>(p.lines.size()), level);
            bytes += length;
        }
    }
    Report(state, bytes);
}
BENCHMARK(BM_Zlib)->DenseRange(1, 9, 1)->ArgName("level")->Unit(benchmark::kMillisecond);

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
