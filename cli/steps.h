// vramoria-convert: the steps of a command line, parsed before anything runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
};

struct Step {
    StepKind kind;
    int32_t value;     // mode index, palette slot
    std::string text;  // file name
};

struct CommandLine {
    std::vector<std::string> pictures;
    std::vector<Step> steps;
    bool json = false;
    bool help = false;
};

// Parses argv; on a usage error returns false with a message in *error.
bool ParseCommandLine(int argc, char** argv, CommandLine* line, std::string* error);

// Prints the option summary with examples.
void PrintUsage();

// Loads a picture and runs the steps on it; returns false after printing the failing step's
// message as "vramoria-convert: FILE: message". With plan set nothing is printed or written:
// the names the output steps would write are appended to *plan instead (false when the picture
// would fail).
bool RunSteps(const CommandLine& line, const std::string& picture,
              std::vector<std::string>* plan = nullptr);

// The name an -o step writes for a picture: {stem}, {name}, {dir} and {ext} (the current mode's
// BSAVE extension) replaced.
std::string ExpandOutputName(const std::string& pattern, const std::string& picture);
