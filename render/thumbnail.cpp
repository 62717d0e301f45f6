// Thumbnail scaling (see thumbnail.h): exact area averaging down, nearest pixel up.
#include "render/thumbnail.h"

#include <algorithm>

namespace {

// One thumbnail column (or row) as the picture columns it takes and their weights. Down (box),
// thumbnail cell t covers picture interval [t * in / out, (t + 1) * in / out); measured in units
// of 1/out, picture pixel i covers [i * out, (i + 1) * out) and the cell [t * in, (t + 1) * in),
// so the overlaps are whole numbers summing to in. Up (nearest), one picture pixel, weight 1.
struct Tap {
    int32_t source;
    int64_t weight;
};

struct Axis {
    std::vector<int32_t> first;  // per output cell: index of its first tap in taps
    std::vector<Tap> taps;
    int64_t total = 1;           // the weights of each cell sum to this
};

Axis MakeAxis(int32_t in, int32_t out) {
    Axis axis;
    axis.first.reserve(static_cast<size_t>(out) + 1);
    if (out <= in) {
        axis.total = in;
        for (int32_t t = 0; t < out; ++t) {
            axis.first.push_back(static_cast<int32_t>(axis.taps.size()));
            const int64_t begin = static_cast<int64_t>(t) * in;
            const int64_t end = begin + in;
            for (int64_t i = begin / out; i * out < end; ++i) {
                const int64_t overlap = std::min(end, (i + 1) * out) - std::max(begin, i * out);
                if (overlap > 0) axis.taps.push_back({static_cast<int32_t>(i), overlap});
            }
        }
    } else {
        for (int32_t t = 0; t < out; ++t) {
            axis.first.push_back(static_cast<int32_t>(axis.taps.size()));
            // The picture pixel under the cell's centre, (t + 1/2) * in / out.
            const int64_t centre = (2 * static_cast<int64_t>(t) + 1) * in / (2 * static_cast<int64_t>(out));
            axis.taps.push_back({static_cast<int32_t>(centre), 1});
        }
    }
    axis.first.push_back(static_cast<int32_t>(axis.taps.size()));
    return axis;
}

}  // namespace

void ThumbnailSize(int32_t width, int32_t height, int32_t size, int32_t* thumbWidth,
                   int32_t* thumbHeight) {
    *thumbWidth = 0;
    *thumbHeight = 0;
    if (width < 1 || height < 1 || size < 1) return;
    const int64_t longer = std::max(width, height);
    const int64_t target = std::min<int64_t>(size, longer * kThumbnailMaxEnlargement);
    // Shorter side = shorter * target / longer, rounded to nearest, never 0.
    auto fit = [&](int64_t side) {
        return static_cast<int32_t>(std::max<int64_t>(1, (2 * side * target + longer) / (2 * longer)));
    };
    *thumbWidth = fit(width);
    *thumbHeight = fit(height);
}

Thumbnail MakeThumbnail(const uint8_t* rgb, int32_t width, int32_t height, int32_t size) {
    Thumbnail thumb;
    ThumbnailSize(width, height, size, &thumb.width, &thumb.height);
    if (thumb.width == 0 || rgb == nullptr) return Thumbnail{};
    const Axis columns = MakeAxis(width, thumb.width);
    const Axis rows = MakeAxis(height, thumb.height);
    const int64_t total = columns.total * rows.total;  // sums stay below 255 * total: 64 bits hold them
    thumb.rgb.resize(static_cast<size_t>(thumb.width) * thumb.height * 3);
    uint8_t* out = thumb.rgb.data();
    for (int32_t y = 0; y < thumb.height; ++y) {
        for (int32_t x = 0; x < thumb.width; ++x) {
            int64_t sum[3] = {0, 0, 0};
            for (int32_t r = rows.first[y]; r < rows.first[y + 1]; ++r) {
                const Tap row = rows.taps[r];
                const uint8_t* line = rgb + static_cast<size_t>(row.source) * width * 3;
                for (int32_t c = columns.first[x]; c < columns.first[x + 1]; ++c) {
                    const Tap column = columns.taps[c];
                    const uint8_t* pixel = line + static_cast<size_t>(column.source) * 3;
                    const int64_t weight = row.weight * column.weight;
                    for (int k = 0; k < 3; ++k) sum[k] += pixel[k] * weight;
                }
            }
            for (int k = 0; k < 3; ++k) *out++ = static_cast<uint8_t>((sum[k] + total / 2) / total);
        }
    }
    return thumb;
}
