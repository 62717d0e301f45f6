// vramoria-convert: the steps of a command line, parsed before anything runs, and the run of
// those steps on one picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/bsave.h"
#include "image/picture.h"
#include "import/import.h"
#include "platform/platform.h"

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
};

// "-" as a picture reads standard input; "-o -" writes standard output.
constexpr char kStandardInputName[] = "-";
constexpr char kStandardOutputName[] = "-";

// Parses argv; on a usage error returns false with a message in *error.
bool ParseCommandLine(int argc, char** argv, CommandLine* line, std::string* error);

// Prints the option summary with examples.
void PrintUsage();

// The name an -o step writes for a picture: {stem}, {name}, {dir} and {ext} (the BSAVE
// extension of `mode`, the mode the picture is in at that step) replaced.
std::string ExpandOutputName(const std::string& pattern, const std::string& picture, int32_t mode);

// Shows a name in a message or in --info text: control characters escaped as ls -b does
// ("\n", "\033"), so that a name cannot break a line or drive the terminal.
std::string PrintableName(const std::string& name);

// One picture of a run as planned. It was loaded once and every step tried without printing or
// writing, which names its outputs and finds a failing step; the picture itself is not kept,
// so a batch holds names, not pictures.
struct PictureJob {
    std::string name;
    bool readOnce = false;             // standard input or a pipe: cannot be read again, so
    std::vector<uint8_t> bytes;        // its bytes are kept until its run
    FileVersion version;               // a regular file: read again only if still this version
    std::vector<std::string> outputs;  // what its -o steps write, in order ("-": standard output)
    std::vector<std::string> paletteFiles;  // the palette files its run reads (companion, --palette-file)
    std::string failedFile;            // set by planning when a step would fail:
    std::string failure;               // the file it names and the message
    std::string warning;               // a picture that loads but lacks bytes, or is empty
};

// One file a picture's run produced, to be written by the caller.
struct PictureFile {
    std::string name;
    std::vector<uint8_t> bytes;
};

// What one picture's run produced; nothing of it has been printed or written yet.
struct PictureResult {
    bool ok = false;
    std::string messages;                 // whole lines for standard error, in order
    std::vector<uint8_t> standardOutput;  // its --info text and "-o -" bytes, in order
    std::vector<PictureFile> files;       // its -o files, in order; empty when it failed
};

// Loads the picture and plans its steps.
void PlanPicture(const CommandLine& line, const std::string& name, PictureJob* job);

// Runs a planned picture's steps: reads the file again (only if it is still the version
// planned; kept bytes are taken and released), and returns its text and files. A picture whose
// plan found a failure, or whose run fails, returns its message and no files.
// Safe to run for different jobs on several threads.
PictureResult RunPicture(const CommandLine& line, PictureJob& job);
