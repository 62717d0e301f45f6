// Reads the states of an open popup menu from a screenshot, for the GUI tests: Wine keeps a
// menu's data inside the process that owns it, so another process cannot ask for it.
//
//   menu_rows SHOT.ppm X Y W H COUNT
//
// (X, Y, W, H) is the menu window on the screenshot (binary PPM, P6), holding COUNT items of
// equal height and no separators, inside a 3-pixel frame. Prints one line per item:
//
//   POSITION enabled|greyed checked|-
//
// Wine's menus draw an enabled item's text in the menu-text colour (black), a greyed one's in
// the grey-text colour, and a highlighted item on the selection colour with white (enabled) or
// grey (greyed) text; a radio check is a bullet in the column left of the text.
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Image {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    const unsigned char* At(int x, int y) const { return &rgb[3 * (static_cast<size_t>(y) * width + x)]; }
};

bool ReadPpm(const char* path, Image* image) {
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return false;
    int maxValue = 0;
    bool ok = std::fscanf(f, "P6 %d %d %d", &image->width, &image->height, &maxValue) == 3 &&
              maxValue == 255 && std::fgetc(f) != EOF;
    if (ok) {
        image->rgb.resize(3 * static_cast<size_t>(image->width) * image->height);
        ok = std::fread(image->rgb.data(), 1, image->rgb.size(), f) == image->rgb.size();
    }
    std::fclose(f);
    return ok;
}

bool IsDark(const unsigned char* p) { return p[0] < 80 && p[1] < 80 && p[2] < 80; }
bool IsWhite(const unsigned char* p) { return p[0] > 240 && p[1] > 240 && p[2] > 240; }
// Neutral mid grey: the grey-text colour and its anti-aliased edges.
bool IsGrey(const unsigned char* p) {
    int lo = p[0] < p[1] ? (p[0] < p[2] ? p[0] : p[2]) : (p[1] < p[2] ? p[1] : p[2]);
    int hi = p[0] > p[1] ? (p[0] > p[2] ? p[0] : p[2]) : (p[1] > p[2] ? p[1] : p[2]);
    return hi - lo < 12 && lo >= 100 && hi <= 200;
}
// The selection colour: clearly blue.
bool IsSelection(const unsigned char* p) { return p[2] > 200 && p[0] < 120; }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: menu_rows SHOT.ppm X Y W H COUNT\n");
        return 2;
    }
    Image image;
    if (!ReadPpm(argv[1], &image)) {
        std::fprintf(stderr, "menu_rows: cannot read %s\n", argv[1]);
        return 2;
    }
    const int x0 = std::atoi(argv[2]), y0 = std::atoi(argv[3]);
    const int w = std::atoi(argv[4]), h = std::atoi(argv[5]), count = std::atoi(argv[6]);
    const int frame = 3;
    if (count <= 0 || x0 < 0 || y0 < 0 || x0 + w > image.width || y0 + h > image.height) {
        std::fprintf(stderr, "menu_rows: the menu is not inside the screenshot\n");
        return 2;
    }
    const int rowHeight = (h - 2 * frame) / count;
    const int checkColumn = 18;  // the bullet's column, left of the text
    for (int item = 0; item < count; ++item) {
        int top = y0 + frame + item * rowHeight;
        int selection = 0, area = 0;
        int dark = 0, grey = 0, white = 0;  // in the text columns
        int marks = 0;                      // non-background pixels in the check column
        for (int y = top + 1; y < top + rowHeight - 1; ++y) {
            for (int x = x0 + frame; x < x0 + w - frame; ++x) {
                const unsigned char* p = image.At(x, y);
                ++area;
                if (IsSelection(p)) ++selection;
                bool inCheck = x < x0 + checkColumn;
                if (inCheck) {
                    if (!IsWhite(p) && !IsSelection(p)) ++marks;
                } else if (IsDark(p)) {
                    ++dark;
                } else if (IsGrey(p)) {
                    ++grey;
                } else if (IsWhite(p)) {
                    ++white;
                }
            }
        }
        bool highlighted = selection * 2 > area;
        // Enabled text always has some fully dark pixels (its stems); greyed text has none.
        bool enabled = highlighted ? white > 20 : dark >= 4;
        if (highlighted) {
            // On the selection colour the bullet is drawn in the text colour: count what is
            // neither the selection colour nor anti-aliasing towards it.
            marks = 0;
            for (int y = top + 1; y < top + rowHeight - 1; ++y) {
                for (int x = x0 + frame; x < x0 + checkColumn; ++x) {
                    const unsigned char* p = image.At(x, y);
                    if (IsWhite(p) || IsGrey(p)) ++marks;
                }
            }
        }
        std::printf("%d %s %s\n", item, enabled ? "enabled" : (grey > 10 ? "greyed" : "empty"),
                    marks > 4 ? "checked" : "-");
    }
    return 0;
}
