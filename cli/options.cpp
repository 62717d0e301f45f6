// vramoria-convert's command line: a table of the options, one row each (its name, the value
// it takes, what it sets), walked by one short parser; and the usage text beside it.
#include "cli/options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/names.h"
#include "image/bsave.h"
#include "image/picture.h"
#include "palette/palette.h"
#include "render/display.h"
#include "render/view.h"

namespace {

// The largest --thumbnail: desktops ask for 128 to 1024; larger sizes are a typing mistake.
constexpr long kThumbnailMaxSize = 4096;

// The last --page: a raw dump is read up to 1 MiB, 32 SCREEN 5 pages of 32 KiB.
constexpr long kRawPageMost = 31;
// The most pictures converted at once: more threads than that only wait for the disk.
constexpr long kJobsMax = 256;

// An option's word and the number it stands for.
struct Word {
    const char* text;
    int32_t value;
};

// --mode M: every mode a picture's bytes can be read in. 11 is SCREEN 10's mode: the V9958
// shows both alike (YJK pixels with the attribute bit); they differ only in BASIC.
const Word kModes[] = {
    {"1", kScreen1}, {"2", kScreen2}, {"3", kScreen3}, {"4", kScreen4},
    {"5", kScreen5}, {"6", kScreen6}, {"7", kScreen7}, {"8", kScreen8},
    {"10", kScreen10}, {"11", kScreen10}, {"12", kScreen12},
    {"auto", kModeByContent}, {"auto-unnamed", kModeByContentUnnamed},
};

// --convert M and --import M: the modes a conversion can aim at (SCREEN 11 is not one: the
// conversion to SCREEN 10/11 yields pure YJK pixels, which is SCREEN 10).
const Word kTargets[] = {
    {"5", kScreen5}, {"6", kScreen6}, {"7", kScreen7}, {"8", kScreen8},
    {"10", kScreen10}, {"12", kScreen12},
};

// --palette S: the two fixed slots, then the file palettes 0 to 7.
const Word kSlots[] = {
    {"standard", kPaletteStandard}, {"internal", kPaletteInternal},
    {"0", kPaletteFileFirst + 0}, {"1", kPaletteFileFirst + 1}, {"2", kPaletteFileFirst + 2},
    {"3", kPaletteFileFirst + 3}, {"4", kPaletteFileFirst + 4}, {"5", kPaletteFileFirst + 5},
    {"6", kPaletteFileFirst + 6}, {"7", kPaletteFileFirst + 7},
};

// --format: what every later -o writes, whatever the file's extension says.
enum OutputFormat : int32_t { kFormatByExtension, kFormatBsave, kFormatBmp, kFormatPng };

const Word kFormats[] = {{"bsave", kFormatBsave}, {"bmp", kFormatBmp}, {"png", kFormatPng}};
const Word kColours[] = {{"viewer", kViewerColours}, {"hardware", kHardwareColours}};
const Word kFits[] = {{"contain", kFitContain}, {"cover", kFitCover}, {"stretch", kFitStretch}};
const Word kDithers[] = {
    {"none", kDitherNone}, {"ordered", kDitherOrdered}, {"diffusion", kDitherDiffusion}};
const Word kViews[] = {{"full", kViewFull}, {"small", kViewSmall}, {"large", kViewLarge}};

// -o FILE.bmp and -o FILE.png, told apart by the extension in any case.
bool ParseImageOutput(const char* file, Step* step) {
    const char* extension = file + ExtensionOffset(file);
    if (*extension == '.') ++extension;
    auto is = [extension](const char* name) {
        for (size_t i = 0;; ++i) {
            char c = extension[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (c != name[i]) return false;
            if (c == '\0') return true;
        }
    };
    if (is("bmp")) {
        *step = {kStepWriteBmp, 0, file};
    } else if (is("png")) {
        *step = {kStepWritePng, 0, file};
    } else {
        return false;
    }
    return true;
}

// The -o dispatch: .bmp and .png write images, any other name the BSAVE file of the current
// mode, as the viewer's Save As does; a --format given before overrides the extension.
Step OutputStep(const char* file, int32_t format) {
    switch (format) {
        case kFormatBsave:
            return {kStepWriteBsave, 0, file};
        case kFormatBmp:
            return {kStepWriteBmp, 0, file};
        case kFormatPng:
            return {kStepWritePng, 0, file};
        case kFormatByExtension:
            break;
    }
    Step step;
    if (!ParseImageOutput(file, &step)) step = {kStepWriteBsave, 0, file};
    return step;
}

// The parse in progress: the command line so far and what options set for later words.
struct Parse {
    CommandLine* line;
    std::string* error;
    int32_t format = kFormatByExtension;  // --format: what every later -o writes
    int32_t thumbnail = 0;                // a --thumbnail waiting for its -o
    int32_t toStream[3] = {0, 0, 0};      // how many -o name standard output [1], error [2]
    bool optionsEnded = false;            // after "--" every word is a picture, "-x.sc5" too
};

// What an option takes: nothing, the next word as it is (a file name), one of a table's words,
// or a whole number of 1 to a limit, in digits only.
enum ValueKind : int32_t { kNoValue, kTextValue, kWordValue, kNumberValue };

struct Option;
// Applies an option: number is its word's or number's value, word the value as written
// (nullptr for an option without one). False with the usage error in parse.error.
using Apply = bool (*)(Parse& parse, const Option& option, int32_t number, const char* word);

struct Option {
    const char* name;
    ValueKind kind;
    const Word* words;     // kWordValue: the words it takes,
    size_t wordCount;
    const char* accepted;  // and how the usage error lists them; kNumberValue: "a number"
    long most;             // kNumberValue: the largest
    const char* unit;      // and its unit in the usage error (" pixels")
    long least;            // kNumberValue: the smallest
    StepKind step;         // the step AddStep and AddStepWithWord add
    Apply apply;
};

constexpr Option Flag(const char* name, Apply apply, StepKind step = kStepInfo) {
    return {name, kNoValue, nullptr, 0, "", 0, "", 1, step, apply};
}
constexpr Option Text(const char* name, Apply apply, StepKind step = kStepInfo) {
    return {name, kTextValue, nullptr, 0, "", 0, "", 1, step, apply};
}
template <size_t N>
constexpr Option Choice(const char* name, const Word (&words)[N], const char* accepted, Apply apply,
                        StepKind step = kStepInfo) {
    return {name, kWordValue, words, N, accepted, 0, "", 1, step, apply};
}
constexpr Option Number(const char* name, long most, const char* kind, const char* unit,
                        Apply apply, long least = 1) {
    return {name, kNumberValue, nullptr, 0, kind, most, unit, least, kStepInfo, apply};
}

bool AddStep(Parse& parse, const Option& option, int32_t number, const char*) {
    parse.line->steps.push_back({option.step, number, ""});
    return true;
}

// --palette-file FILE keeps its file name, --convert M its word for the failure message.
bool AddStepWithWord(Parse& parse, const Option& option, int32_t number, const char* word) {
    parse.line->steps.push_back({option.step, number, word});
    return true;
}

bool AddOutput(Parse& parse, const Option&, int32_t, const char* file) {
    if (*file == '\0') {
        *parse.error = "-o needs a file name, not ''";
        return false;
    }
    if (!CheckOutputPattern(file, parse.error)) return false;
    // Only the word as written names a stream: a template that expands to "-" is a file.
    const int32_t stream = OutputStreamOf(file);
    ++parse.toStream[stream];
    Step step;
    if (parse.thumbnail > 0) {
        // A thumbnail is a PNG whatever the name: file managers give names of their own.
        step = {kStepWriteThumbnail, parse.thumbnail, file};
        parse.thumbnail = 0;
    } else if (stream != 0) {
        // A stream takes PNG unless --format says otherwise.
        step = OutputStep(file, parse.format == kFormatByExtension ? kFormatPng : parse.format);
    } else {
        step = OutputStep(file, parse.format);
    }
    step.stream = stream;
    parse.line->steps.push_back(step);
    return true;
}

bool EndOptions(Parse& parse, const Option&, int32_t, const char*) {
    parse.optionsEnded = true;
    return true;
}
bool SetHelp(Parse& parse, const Option&, int32_t, const char*) {
    parse.line->help = true;
    return true;
}
bool SetVersion(Parse& parse, const Option&, int32_t, const char*) {
    parse.line->version = true;
    return true;
}
bool SetForce(Parse& parse, const Option&, int32_t, const char*) {
    parse.line->force = true;
    return true;
}
bool SetJson(Parse& parse, const Option&, int32_t, const char*) {
    parse.line->json = true;
    return true;
}
bool SetJobs(Parse& parse, const Option&, int32_t number, const char*) {
    parse.line->jobs = number;
    return true;
}
bool SetThumbnail(Parse& parse, const Option&, int32_t number, const char*) {
    parse.thumbnail = number;
    return true;
}
bool SetFormat(Parse& parse, const Option&, int32_t number, const char*) {
    parse.format = number;
    return true;
}
bool SetImport(Parse& parse, const Option&, int32_t number, const char*) {
    parse.line->importMode = number;
    return true;
}
bool SetFit(Parse& parse, const Option&, int32_t number, const char*) {
    parse.line->import.fit = static_cast<FitMode>(number);
    return true;
}
bool SetRaw(Parse& parse, const Option&, int32_t, const char*) {
    parse.line->raw = true;
    return true;
}
bool SetPage(Parse& parse, const Option&, int32_t number, const char*) {
    parse.line->page = number;
    return true;
}
bool SetDither(Parse& parse, const Option&, int32_t number, const char*) {
    parse.line->import.dither = static_cast<DitherMode>(number);
    return true;
}

// Every option, one row each.
const Option kOptions[] = {
    Flag("--", EndOptions),
    Flag("-h", SetHelp),
    Flag("--help", SetHelp),
    Flag("--version", SetVersion),
    Flag("--force", SetForce),
    Flag("--json", SetJson),
    Number("--jobs", kJobsMax, "a number", "", SetJobs),
    Flag("--info", AddStep, kStepInfo),
    Choice("--mode", kModes, "1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, auto or auto-unnamed", AddStep,
           kStepMode),
    Choice("--palette", kSlots, "standard, internal or 0-7", AddStep, kStepPalette),
    Text("--palette-file", AddStepWithWord, kStepPaletteFile),
    Choice("--view", kViews, "full, small or large", AddStep, kStepView),
    Choice("--colors", kColours, "viewer or hardware", AddStep, kStepColors),
    Choice("--convert", kTargets, "5, 6, 7, 8, 10 or 12", AddStepWithWord, kStepConvert),
    Choice("--format", kFormats, "bsave, bmp or png", SetFormat),
    Text("-o", AddOutput),
    Number("--thumbnail", kThumbnailMaxSize, "a size", " pixels", SetThumbnail),
    Choice("--import", kTargets, "5, 6, 7, 8, 10 or 12", SetImport),
    Choice("--fit", kFits, "contain, cover or stretch", SetFit),
    Choice("--dither", kDithers, "none, ordered or diffusion", SetDither),
    Flag("--raw", SetRaw),
    Number("--page", kRawPageMost, "a page", "", SetPage, 0),
};

const Option* FindOption(const char* arg) {
    for (const Option& option : kOptions) {
        if (std::strcmp(arg, option.name) == 0) return &option;
    }
    return nullptr;
}

// An option's value as its row says: false with the usage error for a word it does not take.
bool ReadValue(const Option& option, const char* word, int32_t* number, std::string* error) {
    switch (option.kind) {
        case kNoValue:
        case kTextValue:
            return true;
        case kWordValue:
            for (size_t i = 0; i < option.wordCount; ++i) {
                if (std::strcmp(word, option.words[i].text) == 0) {
                    *number = option.words[i].value;
                    return true;
                }
            }
            *error =
                std::string(option.name) + " takes " + option.accepted + ", not '" + word + "'";
            return false;
        case kNumberValue: {
            char* end = nullptr;
            const long n = std::strtol(word, &end, 10);
            if (*word >= '0' && *word <= '9' && *end == '\0' && n >= option.least &&
                n <= option.most) {
                *number = static_cast<int32_t>(n);
                return true;
            }
            *error = std::string(option.name) + " takes " + option.accepted + " of " +
                     std::to_string(option.least) + " to " +
                     std::to_string(option.most) + option.unit + ", not '" + word + "'";
            return false;
        }
    }
    return false;
}

// What holds for the whole command line once every word is read.
bool CheckCommandLine(const Parse& parse) {
    const CommandLine& line = *parse.line;
    std::string* error = parse.error;
    if (line.help || line.version) return true;
    if (parse.thumbnail > 0) {
        *error = "--thumbnail needs an -o after it, the file the thumbnail is written to";
        return false;
    }
    if (line.pictures.empty()) {
        *error = "no picture given";
        return false;
    }
    const char* const streamNames[] = {"", "standard output", "standard error"};
    for (int32_t stream = 1; stream <= 2; ++stream) {
        const std::string name = streamNames[stream];
        if (parse.toStream[stream] > 1) {
            *error = "-o " + std::string(stream == 1 ? "-" : "/dev/stderr") + " may be given once only: " +
                     name + " takes one file";
            return false;
        }
        if (parse.toStream[stream] > 0 && line.pictures.size() > 1) {
            *error = "-o " + std::string(stream == 1 ? "-" : "/dev/stderr") + " writes one picture to " +
                     name + ", not a batch of several";
            return false;
        }
    }
    // --info text before or after a picture's bytes would make neither readable.
    bool info = false;
    for (const Step& step : line.steps) info = info || step.kind == kStepInfo;
    if (info && parse.toStream[1] > 0) {
        *error = "--info and -o - both write to standard output: the text would be mixed into the picture";
        return false;
    }
    size_t fromStandardInput = 0;
    for (const std::string& picture : line.pictures) {
        fromStandardInput += picture == kStandardInputName;
    }
    if (fromStandardInput > 1) {
        *error = "- (standard input) may be named once only";
        return false;
    }
    return true;
}

// The option summary with examples; the tests hold its options against the table.
constexpr char kUsage[] =
    "Usage: vramoria-convert PICTURE... [STEP...]\n"
    "\n"
    "Loads MSX BSAVE pictures (SCREEN 5, 6, 7, 8, 10/11, 12; plain or compressed) as the\n"
    "Vramoria viewer does, then runs the steps on each in the order given.\n"
    "\n"
    "Steps:\n"
    "  --mode M            read the bytes in another mode: M = 5, 6, 7, 8, 10, 11 or 12, or\n"
    "                      the MSX1 pattern modes 1, 2, 3, 4 (SCREEN 1-4, 256 x 192);\n"
    "                      auto: the mode of the picture's size whose reading is smoothest;\n"
    "                      auto-unnamed: the same where the extension names no mode\n"
    "                        vramoria-convert pic.bin --mode 8 --info\n"
    "  --palette S         select a palette: S = standard, internal, or 0-7 (file palettes)\n"
    "                        vramoria-convert pic.sc5 --palette standard --info\n"
    "  --palette-file FILE load a palette file (.pl5/.pl7, up to eight palettes) and select\n"
    "                      its first palette\n"
    "                        vramoria-convert pic.sc5 --palette-file pic.pl5 --palette 2 --info\n"
    "  --info              print the picture's state\n"
    "                        vramoria-convert pic.sc5 --info --convert 7 --info\n"
    "  --view V            what later PNG output shows: V = full (the picture, 256 or 512\n"
    "                      wide, 212 high; the default), small (the viewer's 1:1 pane,\n"
    "                      256x212) or large (the doubled pane, 512x424)\n"
    "                        vramoria-convert pic.sc7 --view small -o small.png\n"
    "  --colors C          the colours later BMP and PNG output shows SCREEN 6 and 8 in:\n"
    "                      C = viewer (the default: SCREEN 6 pixel v as palette colour 5v,\n"
    "                      SCREEN 8 blue 00 52 AD FF) or hardware (as the MSX2's VDP shows\n"
    "                      them: pixel v as palette colour v, blue at levels 0, 2, 4, 7)\n"
    "                        vramoria-convert pic.sc6 --colors hardware -o pic.png\n"
    "  -o FILE.bmp         write the picture as the viewer's Save bitmap command does\n"
    "                        vramoria-convert pic.sc8 -o pic.bmp\n"
    "  -o FILE.png         write the picture as PNG (see --view)\n"
    "                        vramoria-convert pic.sc5 --palette standard -o pic.png\n"
    "  -o FILE             any other name: write a BSAVE file of the current mode with the\n"
    "                      current palette, as the viewer's Save As command does\n"
    "                        vramoria-convert pic.sc5 --convert 7 -o pic.sc7\n"
    "  -o -                write to standard output (PNG unless --format says otherwise;\n"
    "                      one picture only)\n"
    "                        vramoria-convert - --mode 8 -o - < pic.bin > pic.png\n"
    "  --format F          what every later -o writes, whatever its extension:\n"
    "                      F = bsave, bmp or png\n"
    "                        vramoria-convert pic.sc8 --format bsave -o pic.bin\n"
    "  --convert M         convert the bytes into another mode's layout: M = 5, 6, 7, 8, 10\n"
    "                      or 12, where the current mode offers it (SCREEN 5: 6, 7, 8, 10;\n"
    "                      SCREEN 6: 5, 7, 8, 10; SCREEN 7: 6, 8; SCREEN 10/11 and 12: 10)\n"
    "                        vramoria-convert pic.sc6 --convert 5 -o pic.sc5\n"
    "\n"
    "Several pictures: the steps run on each in turn, each from its freshly loaded state.\n"
    "An -o name may hold {stem} (the picture's name without extension), {name}, {dir}\n"
    "(its folder) and {ext} (the current mode's BSAVE extension); missing folders are\n"
    "made. Two pictures that would write the same file, or an output that would replace a\n"
    "picture read later, stop everything before a file is written. A picture named twice\n"
    "is converted once. A failure is reported for its picture and the others go on; the\n"
    "last line counts them: N converted, M failed. A picture - is standard input.\n"
    "                        vramoria-convert *.sc5 --convert 7 -o out/{stem}.{ext}\n"
    "                        vramoria-convert *.sc8 --view large -o png/{name}.png\n"
    "\n"
    "  --thumbnail SIZE    the next -o writes a PNG thumbnail: the 1:1 view fitted to\n"
    "                      SIZE x SIZE (as file managers ask for, e.g. 128 or 256)\n"
    "                        vramoria-convert pic.sr7 --thumbnail 128 -o pic.thumb.png\n"
    "\n"
    "PNG and BMP pictures (recognised by their first bytes) are imported into a mode:\n"
    "  --import M          make a SCREEN M picture of them: M = 5, 6, 7, 8, 10 or 12\n"
    "  --fit F             F = contain (the default: the whole image, black borders),\n"
    "                      cover (the whole screen, the overhang cut) or stretch\n"
    "  --dither D          D = diffusion (the default), ordered or none\n"
    "                        vramoria-convert photo.png --import 5 -o photo.sc5\n"
    "                        vramoria-convert logo.bmp --import 8 --dither none -o logo.sc8\n"
    "\n"
    "Raw VRAM dumps (no BSAVE header) are read from address 0 when their extension names a\n"
    "mode (.sc5, .sr8, .sca, .s12, ...; a note says so); a dump's lines show as far as it holds:\n"
    "  --raw               read every picture that is not PNG or BMP as a raw dump (mode by\n"
    "                      --mode, else the extension, else the size)\n"
    "  --page N            show VRAM page N of a longer dump (0 first, as SET PAGE counts:\n"
    "                      32 KiB pages in SCREEN 5 and 6, 64 KiB in the others)\n"
    "                        vramoria-convert vram.bin --raw --mode 10 --page 1 -o p1.png\n"
    "\n"
    "Options:\n"
    "  --json              print --info as one JSON object per line\n"
    "                        vramoria-convert pic.sc7 --info --json\n"
    "  --force             replace files without write permission too (they stay\n"
    "                      read-only)\n"
    "  --jobs N            convert N pictures at once (default: one per processor);\n"
    "                      messages and output keep the order of the pictures\n"
    "                        vramoria-convert *.sc8 --jobs 1 -o png/{stem}.png\n"
    "  -h, --help          show this text\n"
    "  --version           print the version\n"
    "  --                  end of options: every later word is a picture\n"
    "                        vramoria-convert --info -- -x.sc5\n"
    "\n"
    "Files are written whole or not at all, through a symlink to its target; only regular\n"
    "files are read or replaced. A replaced hard link gets a new file under its name.\n"
    "\n"
    "Exit status: 0 on success, 1 when a picture cannot be loaded, a step or a write\n"
    "fails, or standard output cannot be written; 2 for a usage error, two pictures that\n"
    "would write the same file, or an output that would replace a later picture; 128 + N\n"
    "when interrupted by signal N (130 SIGINT, 143 SIGTERM, 129 SIGHUP, 131 SIGQUIT).\n";

}  // namespace

bool IsOutputStep(const Step& step) {
    return step.kind == kStepWriteBmp || step.kind == kStepWritePng ||
           step.kind == kStepWriteBsave || step.kind == kStepWriteThumbnail;
}

bool ParseCommandLine(int argc, char** argv, CommandLine* line, std::string* error) {
    Parse parse{line, error};
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const Option* option = parse.optionsEnded ? nullptr : FindOption(arg);
        if (option == nullptr) {
            if (!parse.optionsEnded && arg[0] == '-' && arg[1] != '\0') {
                *error = std::string("unknown option '") + arg + "'";
                return false;
            }
            line->pictures.push_back(arg);
            continue;
        }
        const char* word = nullptr;
        if (option->kind != kNoValue) {
            if (i + 1 >= argc) {
                *error = std::string(arg) + " needs a value";
                return false;
            }
            word = argv[++i];
        }
        int32_t number = 0;
        if (!ReadValue(*option, word, &number, error)) return false;
        if (!option->apply(parse, *option, number, word)) return false;
    }
    return CheckCommandLine(parse);
}

void PrintUsage() { std::fputs(kUsage, stdout); }

std::vector<OptionName> OptionNames() {
    std::vector<OptionName> names;
    for (const Option& option : kOptions) names.push_back({option.name, option.kind != kNoValue});
    return names;
}
