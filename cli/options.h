// vramoria-convert's command line: the steps it gives, parsed before anything runs, from a
// table of the options; and the usage text that describes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "import/import.h"
#include "info/info.h"

enum StepKind : int32_t {
    kStepMode,         // --mode M: reinterpret the bytes in another mode
    kStepPalette,      // --palette S: select a palette slot
    kStepPaletteFile,  // --palette-file FILE
    kStepInfo,         // --info
    kStepWriteBmp,     // -o FILE.bmp: the display bitmap's file image
    kStepWritePng,     // -o FILE.png: the picture as --view last set it, as PNG
    kStepView,         // --view full|small|large: what PNG output shows from then on
    kStepConvert,      // --convert M: rewrite the bytes into mode index value's layout
    kStepWriteBsave,   // -o FILE (any other extension, or --format bsave): Save As
    kStepColors,       // --colors viewer|hardware: the colours later images show SCREEN 6/8 in
    kStepWriteThumbnail,  // --thumbnail SIZE, then -o FILE: the 1:1 view fitted to SIZE, as PNG
};

// --mode auto and --mode auto-unnamed: the mode chosen by the picture's content (always, or
// only where the file's extension names none).
constexpr int32_t kModeByContent = -1;
constexpr int32_t kModeByContentUnnamed = -2;

struct Step {
    StepKind kind;
    int32_t value;     // mode index, palette slot, view
    std::string text;  // file name
    int32_t stream = 0;  // an output step's stream: 1 standard output, 2 standard error, 0 a file
};

bool IsOutputStep(const Step& step);

struct CommandLine {
    std::vector<std::string> pictures;
    std::vector<Step> steps;
    bool json = false;
    bool help = false;
    bool force = false;  // --force: replace files without write permission too
    bool version = false;
    int32_t jobs = 0;    // --jobs N: pictures converted at once (0: one per processor)
    // --import M: PNG and BMP pictures are imported into mode importMode (-1: not given), fitted
    // and dithered as the options say.
    int32_t importMode = -1;
    ImportOptions import;
    // --raw: every picture that is not PNG or BMP is a raw VRAM dump (no BSAVE header); --page N:
    // which VRAM page of a raw dump is shown (0 first, as SET PAGE counts).
    bool raw = false;
    int32_t page = 0;
};

// Parses argv; on a usage error returns false with a message in *error.
bool ParseCommandLine(int argc, char** argv, CommandLine* line, std::string* error);

// Prints the option summary with examples.
void PrintUsage();

// The options the parser knows, as written on the command line, and whether each takes the
// next word as its value (for the tests, which hold them against the usage text and the manual).
struct OptionName {
    const char* name;
    bool takesValue;
};
std::vector<OptionName> OptionNames();
