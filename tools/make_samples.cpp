// Writes the bundled sample pictures: one test card per screen mode, a compressed .sr5 with a
// .pl5 of several palettes beside it. Deterministic: the same bytes on every run and machine.
//
// Every card carries a white "F" near its top-left corner: a picture shown upside down or
// mirrored, or with its nibbles or red and blue swapped, cannot look right.
//
// Usage: make_samples OUTPUT-FOLDER
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/bsave_runs.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kLines = 212;

// A palette word: byte 0 = 0RRR0BBB, byte 1 = 00000GGG.
void SetColour(Bytes& palette, int code, int r, int g, int b) {
    palette[2 * code] = static_cast<uint8_t>(r << 4 | b);
    palette[2 * code + 1] = static_cast<uint8_t>(g);
}

// A palette unlike the power-on one, so that the internal and the standard palette differ
// visibly: a hue circle, then greys.
Bytes CardPalette() {
    static const int kRgb[16][3] = {
        {0, 0, 0}, {7, 0, 0}, {7, 3, 0}, {7, 7, 0}, {3, 7, 0}, {0, 7, 0}, {0, 7, 4}, {0, 7, 7},
        {0, 3, 7}, {0, 0, 7}, {4, 0, 7}, {7, 0, 7}, {2, 2, 2}, {4, 4, 4}, {6, 6, 6}, {7, 7, 7},
    };
    Bytes p(32);
    for (int i = 0; i < 16; ++i) SetColour(p, i, kRgb[i][0], kRgb[i][1], kRgb[i][2]);
    return p;
}

// Further palettes for the .pl5: greys, warm, cold, the power-on palette reversed.
Bytes PaletteFile() {
    Bytes file;
    for (int k = 0; k < 4; ++k) {
        Bytes p(32);
        for (int i = 0; i < 16; ++i) {
            int level = i / 2;
            switch (k) {
                case 0: SetColour(p, i, level, level, level); break;
                case 1: SetColour(p, i, level, level * 5 / 7, level / 3); break;
                case 2: SetColour(p, i, level / 3, level * 5 / 7, level); break;
                default: SetColour(p, i, 7 - level, (i * 3) & 7, level); break;
            }
        }
        file.insert(file.end(), p.begin(), p.end());
    }
    return file;
}

// True where the 5x7-cell "F" covers pixel (x, y) of a glyph drawn at (x0, y0) in cells of
// `cell` pixels.
bool InF(int x, int y, int x0, int y0, int cell) {
    static const char* const kGlyph[7] = {"#####", "#....", "#....", "####.", "#....", "#....", "#...."};
    if (x < x0 || y < y0) return false;
    int cx = (x - x0) / cell, cy = (y - y0) / cell;
    if (cx >= 5 || cy >= 7) return false;
    return kGlyph[cy][cx] == '#';
}

// A plain BSAVE file of VRAM 0..end, as BASIC's BSAVE "x",0,end,S writes it.
Bytes Plain(const Bytes& vram) {
    size_t end = vram.size() - 1;
    Bytes file = {0xFE, 0, 0, static_cast<uint8_t>(end), static_cast<uint8_t>(end >> 8), 0, 0};
    file.insert(file.end(), vram.begin(), vram.end());
    return file;
}

// 4-bit modes (SCREEN 5: 256 wide, SCREEN 7: 512 wide): sixteen bars, a band of alternating
// one-pixel columns (which the viewer's 1:1 view of SCREEN 7 averages), the F.
Bytes FourBitCard(int width, int paletteAddress) {
    const int bytesPerLine = width / 2;
    Bytes vram(static_cast<size_t>(paletteAddress) + 32);
    const int bar = width / 16;
    for (int y = 0; y < kLines; ++y) {
        for (int x = 0; x < width; ++x) {
            int c = x / bar;
            if (y >= 160) c = (x & 1) ? 15 - (x / bar) : x / bar;  // pairs of differing colours
            if (y >= 196) c = ((x / 4 + y / 4) & 1) ? 12 : 13;     // chequer
            if (InF(x, y, width / 32, 8, width / 64)) c = 15;
            uint8_t& b = vram[static_cast<size_t>(y * bytesPerLine + x / 2)];
            b = static_cast<uint8_t>((x & 1) ? (b & 0xF0) | c : (b & 0x0F) | c << 4);
        }
    }
    Bytes palette = CardPalette();
    std::memcpy(&vram[static_cast<size_t>(paletteAddress)], palette.data(), 32);
    return vram;
}

// SCREEN 6: four bars of the 2-bit values (shown as colours 0, 5, 10, 15), a band of
// alternating pixels, the F in value 3.
Bytes Screen6Card() {
    Bytes vram(0x7680 + 32);
    for (int y = 0; y < kLines; ++y) {
        for (int x = 0; x < 512; ++x) {
            int v = x / 128;
            if (y >= 160) v = (x & 1) ? 3 - x / 128 : x / 128;
            if (y >= 196) v = ((x / 8 + y / 4) & 1) ? 1 : 2;
            if (InF(x, y, 16, 8, 8)) v = 3;
            int shift = 6 - 2 * (x & 3);
            uint8_t& b = vram[static_cast<size_t>(y * 128 + x / 4)];
            b = static_cast<uint8_t>((b & ~(3 << shift)) | v << shift);
        }
    }
    Bytes palette = CardPalette();
    std::memcpy(&vram[0x7680], palette.data(), 32);
    return vram;
}

// SCREEN 8: every GGGRRRBB colour once, as ramps: green down the card in eight bands, red across
// in eight columns, the four blue levels inside each column; the F in white (0xFF).
Bytes Screen8Card() {
    Bytes vram(0xFA80 + 32);
    for (int y = 0; y < kLines; ++y) {
        int g = y * 8 / kLines;
        for (int x = 0; x < 256; ++x) {
            int r = x / 32, b = (x % 32) / 8;
            uint8_t c = static_cast<uint8_t>(g << 5 | r << 2 | b);
            if (InF(x, y, 8, 8, 4)) c = 0xFF;
            vram[static_cast<size_t>(y * 256 + x)] = c;
        }
    }
    Bytes palette = CardPalette();
    std::memcpy(&vram[0xFA80], palette.data(), 32);
    return vram;
}

// One YJK group: four Y values (5 bits each), J and K (-32..31).
void PutGroup(Bytes& vram, size_t at, const int y[4], int j, int k, const bool attribute[4]) {
    const int kk = k & 63, jj = j & 63;
    const int low[4] = {kk & 7, kk >> 3, jj & 7, jj >> 3};
    for (int p = 0; p < 4; ++p) {
        vram[at + p] = static_cast<uint8_t>(y[p] << 3 | low[p]);
        if (attribute != nullptr && attribute[p]) vram[at + p] |= 0x08;
    }
}

// SCREEN 12: luminance rises to the right, J (red minus luminance) down the card, K (green minus
// luminance) in bands across; the F at full luminance with J = K = 0.
// SCREEN 10/11 (yae): the same, but the right third shows palette colours (attribute bit set,
// colour code in bits 7-4) and YJK luminance is even, as the YAE mode keeps only four bits of it.
Bytes YjkCard(bool yae) {
    Bytes vram(0xFA80 + 32);
    for (int row = 0; row < kLines; ++row) {
        for (int g = 0; g < 64; ++g) {
            int x0 = g * 4;
            int ys[4];
            bool attribute[4] = {false, false, false, false};
            int j = row * 64 / kLines - 32;
            int k = ((g / 8) * 9) % 64 - 32;
            for (int p = 0; p < 4; ++p) {
                int x = x0 + p;
                ys[p] = x * 32 / 256;
                if (InF(x, row, 8, 8, 4)) ys[p] = 31;
                if (yae) {
                    ys[p] &= ~1;
                    if (x >= 176) {
                        attribute[p] = true;
                        ys[p] = ((x - 176) / 5 & 15) << 1;  // colour code in bits 7-4
                    }
                }
            }
            bool inF = InF(x0, row, 8, 8, 4) || InF(x0 + 3, row, 8, 8, 4);
            PutGroup(vram, static_cast<size_t>(row * 256 + x0), ys, inF ? 0 : j, inF ? 0 : k,
                     yae ? attribute : nullptr);
        }
    }
    Bytes palette = CardPalette();
    std::memcpy(&vram[0xFA80], palette.data(), 32);
    return vram;
}

bool Write(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::perror(path.c_str());
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) std::fprintf(stderr, "make_samples: cannot write %s\n", path.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_samples OUTPUT-FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    Bytes sc5 = FourBitCard(256, 0x7680);
    Bytes compressed = EncodeBsaveRuns(sc5.data(), sc5.size());
    Bytes sr5 = {0xFD, 0, 0, static_cast<uint8_t>(compressed.size()),
                 static_cast<uint8_t>(compressed.size() >> 8), 0, 0};
    sr5.insert(sr5.end(), compressed.begin(), compressed.end());
    bool ok = Write(dir + "/testcard.sc5", Plain(sc5)) &&
              Write(dir + "/testcard.sc6", Plain(Screen6Card())) &&
              Write(dir + "/testcard.sc7", Plain(FourBitCard(512, 0xFA80))) &&
              Write(dir + "/testcard.sc8", Plain(Screen8Card())) &&
              Write(dir + "/testcard.sca", Plain(YjkCard(true))) &&
              Write(dir + "/testcard.scc", Plain(YjkCard(false))) &&
              Write(dir + "/testcard.sr5", sr5) &&
              Write(dir + "/testcard.pl5", PaletteFile());
    return ok ? 0 : 1;
}
