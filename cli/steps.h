// vramoria-convert: the steps of a command line, parsed before anything runs, and the run of
// those steps on one picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/bsave.h"
#include "image/picture.h"

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

struct Step {
    StepKind kind;
    int32_t value;     // mode index, palette slot, view
    std::string text;  // file name
};

#include "convert/import.h"

struct CommandLine {
    std::vector<std::string> pictures;
    std::vector<Step> steps;
    bool json = false;
    bool help = false;
    bool version = false;
    // --import M: PNG and BMP pictures are imported into mode importMode (-1: not given), fitted
    // and dithered as the options say.
    int32_t importMode = -1;
    ImportOptions import;
};

// Parses argv; on a usage error returns false with a message in *error.
bool ParseCommandLine(int argc, char** argv, CommandLine* line, std::string* error);

// Prints the option summary with examples.
void PrintUsage();

// The name an -o step writes for a picture: {stem}, {name}, {dir} and {ext} (the BSAVE
// extension of `mode`, the mode the picture is in at that step) replaced.
std::string ExpandOutputName(const std::string& pattern, const std::string& picture, int32_t mode);

// One picture of a run: loaded once, then planned (every step tried without printing or
// writing, which names its outputs and finds a failing step), then run.
struct PictureJob {
    std::string name;
    LoadResult loaded = kLoadCannotOpen;
    Picture picture;                   // as loaded
    std::vector<std::string> outputs;  // what its -o steps write, in order
    std::string failedFile;            // set by planning when a step would fail:
    std::string failure;               // the file it names and the message
    std::string warning;               // a picture that loads but lacks bytes, or is empty
};

// Loads a picture file: a BSAVE picture as the viewer opens it, or (with --import) a PNG or BMP
// imported into a mode. On failure returns false with the message in *failure; *warning tells
// of a picture that loads but lacks bytes or is empty.
bool LoadInput(const CommandLine& line, const std::string& name, Picture* picture,
               std::string* failure, std::string* warning);

// Loads the picture and plans its steps.
void PlanPicture(const CommandLine& line, const std::string& name, PictureJob* job);

// Runs a planned picture's steps, printing its --info and writing its files; prints the
// failure ("vramoria-convert: FILE: message") and writes nothing when planning found one.
// Returns whether every step succeeded.
bool RunPicture(const CommandLine& line, const PictureJob& job);
