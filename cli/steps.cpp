// vramoria-convert's steps: parsing the command line into steps, and running them on a picture
// as the viewer's commands would (one small function per step).
#include "cli/steps.h"

#include <cstdio>
#include <cstring>

#include "convert/convert.h"
#include "convert/image_decode.h"
#include "convert/import.h"
#include "image/bsave.h"
#include "image/picture.h"
#include "palette/palette.h"
#include "platform/platform.h"
#include "platform/png.h"
#include "render/display.h"
#include "render/indexed_view.h"
#include "render/thumbnail.h"
#include "render/view.h"
#include "vramoria_version.h"

namespace {

const char kProgram[] = "vramoria-convert";

// The largest --thumbnail: desktops ask for 128 to 1024; larger sizes are a typing mistake.
constexpr long kThumbnailMaxSize = 4096;

// An option's word looked up in its table of {text, value} entries.
struct Word {
    const char* text;
    int32_t value;
};

template <size_t N>
bool LookUp(const char* text, const Word (&table)[N], int32_t* value) {
    for (const Word& word : table) {
        if (std::strcmp(text, word.text) == 0) {
            *value = word.value;
            return true;
        }
    }
    return false;
}

// Why a picture did not load, in the tool's own words.
const char* LoadResultMessage(LoadResult result) {
    switch (result) {
        case kLoadOk:
            return "loaded";
        case kLoadCannotOpen:
            return "cannot open the file (missing, unreadable, a folder, or a name longer than 259 characters)";
        case kLoadNotBsave:
            return "not a BSAVE file";
    }
    return "cannot load";
}

// A palette slot in the words --palette takes.
std::string SlotName(int32_t slot) {
    switch (slot) {
        case kPaletteStandard:
            return "standard";
        case kPaletteInternal:
            return "internal";
        default:
            return std::to_string(slot - kPaletteFileFirst);
    }
}

bool ParseMode(const char* text, int32_t* mode) {
    static const Word kModes[] = {
        {"5", kScreen5}, {"6", kScreen6}, {"7", kScreen7}, {"8", kScreen8},
        {"10", kScreen10}, {"11", kScreen10}, {"12", kScreen12},
    };
    return LookUp(text, kModes, mode);
}

bool ParseSlot(const char* text, int32_t* slot) {
    if (std::strcmp(text, "standard") == 0) {
        *slot = kPaletteStandard;
    } else if (std::strcmp(text, "internal") == 0) {
        *slot = kPaletteInternal;
    } else if (text[0] >= '0' && text[0] <= '7' && text[1] == '\0') {
        *slot = kPaletteFileFirst + (text[0] - '0');
    } else {
        return false;
    }
    return true;
}

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

// --format: what every later -o writes, whatever the file's extension says.
enum OutputFormat : int32_t { kFormatByExtension, kFormatBsave, kFormatBmp, kFormatPng };

bool ParseFormat(const char* text, int32_t* format) {
    static const Word kFormats[] = {
        {"bsave", kFormatBsave}, {"bmp", kFormatBmp}, {"png", kFormatPng},
    };
    return LookUp(text, kFormats, format);
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

// --convert M: the modes a conversion can aim at (SCREEN 11 is not one: the conversion to
// SCREEN 10/11 yields pure YJK pixels, which is SCREEN 10).
bool ParseConvertTarget(const char* text, int32_t* mode) {
    static const Word kTargets[] = {
        {"5", kScreen5}, {"6", kScreen6}, {"7", kScreen7}, {"8", kScreen8},
        {"10", kScreen10}, {"12", kScreen12},
    };
    return LookUp(text, kTargets, mode);
}

bool ParseColors(const char* text, int32_t* colours) {
    static const Word kColours[] = {{"viewer", kViewerColours}, {"hardware", kHardwareColours}};
    return LookUp(text, kColours, colours);
}

bool ParseFit(const char* text, int32_t* fit) {
    static const Word kFits[] = {{"contain", kFitContain}, {"cover", kFitCover}, {"stretch", kFitStretch}};
    return LookUp(text, kFits, fit);
}

bool ParseDither(const char* text, int32_t* dither) {
    static const Word kDithers[] = {
        {"none", kDitherNone}, {"ordered", kDitherOrdered}, {"diffusion", kDitherDiffusion}};
    return LookUp(text, kDithers, dither);
}

bool ParseView(const char* text, int32_t* view) {
    static const Word kViews[] = {
        {"full", kViewFull}, {"small", kViewSmall}, {"large", kViewLarge},
    };
    return LookUp(text, kViews, view);
}

// The placeholders an -o name may hold; anything else in braces is a usage error.
bool CheckOutputPattern(const std::string& pattern, std::string* error) {
    static const char* const kPlaceholders[] = {"{stem}", "{name}", "{dir}", "{ext}"};
    for (size_t at = pattern.find('{'); at != std::string::npos; at = pattern.find('{', at + 1)) {
        bool known = false;
        for (const char* p : kPlaceholders) known = known || pattern.compare(at, std::strlen(p), p) == 0;
        if (!known) {
            *error = "-o '" + pattern + "': names may hold {stem}, {name}, {dir} and {ext} only";
            return false;
        }
    }
    return true;
}

void AppendJsonString(std::string* out, const char* s) {
    out->push_back('"');
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p; ++p) {
        if (*p == '"' || *p == '\\') {
            out->push_back('\\');
            out->push_back(static_cast<char>(*p));
        } else if (*p < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", *p);
            out->append(escaped);
        } else {
            out->push_back(static_cast<char>(*p));
        }
    }
    out->push_back('"');
}

const char* LoadedType(const BsaveHeader& header) {
    switch (header.type) {
        case kBsavePlain:
            return "plain";
        case kBsaveCompressed:
            return "compressed";
        default:
            return "empty";
    }
}

// The selected palette in the words --palette takes: "standard", "internal", "file palette N
// of M".
std::string SlotDescription(const Picture& picture) {
    if (picture.paletteIndex < kPaletteFileFirst) return SlotName(picture.paletteIndex);
    return "file palette " + SlotName(picture.paletteIndex) + " of " +
           std::to_string(picture.filePaletteCount);
}

void PrintInfo(const std::string& name, const Picture& picture, bool json) {
    const MsxPalette& palette = CurrentPalette(picture);
    char hex[65];
    for (int i = 0; i < 32; ++i) std::snprintf(hex + 2 * i, 3, "%02x", palette.bytes[i]);
    std::string slots;
    for (int32_t slot = 0; slot < kPaletteSlotCount; ++slot) {
        if (GetPaletteSlot(picture, slot) == nullptr) continue;
        if (!slots.empty()) slots += json ? "," : " ";
        slots += std::to_string(slot);
    }
    const BsaveHeader& header = picture.loadedHeader;
    const char* mode = ScreenModeOf(picture.screenMode).name;
    const uint32_t conversions = ConversionTableForMode(picture.screenMode);
    if (json) {
        std::string out = "{\"file\":";
        AppendJsonString(&out, name.c_str());
        out += ",\"type\":\"" + std::string(LoadedType(header)) + "\"";
        out += ",\"startAddress\":" + std::to_string(header.startAddress);
        out += ",\"endAddress\":" + std::to_string(header.endAddress);
        out += ",\"dataSize\":" + std::to_string(picture.dataSize);
        out += ",\"imageSize\":" + std::to_string(picture.imageSize);
        out += ",\"missingBytes\":" + std::to_string(picture.missingBytes);
        out += ",\"screenMode\":" + std::to_string(picture.screenMode);
        out += ",\"mode\":\"" + std::string(mode) + "\"";
        out += ",\"paletteIndex\":" + std::to_string(picture.paletteIndex);
        out += ",\"filePaletteCount\":" + std::to_string(picture.filePaletteCount);
        out += ",\"availableSlots\":[" + slots + "]";
        out += ",\"palette\":\"" + std::string(hex) + "\"";
        out += ",\"conversionTable\":" + std::to_string(conversions) + "}";
        std::printf("%s\n", out.c_str());
    } else {
        std::printf("file:            %s\n", name.c_str());
        std::printf("type:            %s (start 0x%04X, end 0x%04X)\n", LoadedType(header),
                    header.startAddress, header.endAddress);
        std::printf("data size:       %d bytes\n", picture.dataSize);
        std::printf("image size:      %d bytes\n", picture.imageSize);
        if (picture.missingBytes > 0) std::printf("missing bytes:   %d\n", picture.missingBytes);
        std::printf("mode:            %s (screenMode %d)\n", mode, picture.screenMode);
        std::printf("palette slot:    %s\n", SlotDescription(picture).c_str());
        std::printf("file palettes:   %d\n", picture.filePaletteCount);
        std::printf("available slots: %s\n", slots.c_str());
        std::printf("palette:         %s\n", hex);
        std::printf("conversions:     0x%08X\n", static_cast<unsigned>(conversions));
    }
    std::fflush(stdout);
}

// A picture while its steps run. In a dry run (planning) nothing is printed or written: output
// steps only record their names.
struct Run {
    const CommandLine& line;
    const std::string& name;
    Picture picture;
    DisplayBitmap bitmap;
    ViewSize view = kViewFull;
    ColourMapping colours = kViewerColours;
    bool dryRun;
    std::vector<std::string>* outputs;  // the dry run's record of output names
    std::string failedFile;             // set by a failing step
    std::string failure;
};

bool Failed(Run& run, const std::string& file, const std::string& message) {
    run.failedFile = file;
    run.failure = message;
    return false;
}

// What the viewer does after every change of mode, palette or bytes.
void Rebuild(Run& run) {
    if (!run.dryRun) run.bitmap = BuildDisplayBitmap(run.picture, run.colours);
}

// Every file is written whole or not at all; on failure the target is untouched. A folder that
// does not exist yet is made first.
bool WriteOutput(Run& run, const std::string& file, const void* bytes, size_t size) {
    char reason[256] = "";
    if (!MakeParentFolders(file.c_str())) return Failed(run, file, "cannot make the folder for the file");
    if (WriteFileAtomically(file.c_str(), bytes, size, reason, sizeof reason) != kWriteOk) {
        return Failed(run, file, std::string("cannot write the file: ") + reason);
    }
    return true;
}

bool RunMode(Run& run, const Step& step) {
    SelectScreenMode(&run.picture, step.value);
    Rebuild(run);
    return true;
}

bool RunPalette(Run& run, const Step& step) {
    if (!SelectPaletteSlot(&run.picture, step.value)) {
        return Failed(run, run.name, "palette slot " + SlotName(step.value) + " is not available");
    }
    Rebuild(run);
    return true;
}

bool RunPaletteFile(Run& run, const Step& step) {
    switch (OpenPaletteFile(&run.picture, step.text.c_str())) {
        case kPaletteFileLoaded:
            break;
        case kPaletteFileCannotOpen:
            return Failed(run, step.text, "cannot open the palette file");
        case kPaletteFileTooShort:
            return Failed(run, step.text, "not a palette file (shorter than one 32-byte palette)");
    }
    Rebuild(run);
    return true;
}

bool RunInfo(Run& run, const Step&) {
    if (!run.dryRun) PrintInfo(run.name, run.picture, run.line.json);
    return true;
}

bool RunView(Run& run, const Step& step) {
    run.view = static_cast<ViewSize>(step.value);
    return true;
}

// Rendering only: --info, conversions and BSAVE output do not depend on it.
bool RunColors(Run& run, const Step& step) {
    run.colours = static_cast<ColourMapping>(step.value);
    Rebuild(run);
    return true;
}

bool RunConvert(Run& run, const Step& step) {
    if (!ConvertToMode(&run.picture, step.value)) {
        return Failed(run, run.name, std::string(ScreenModeOf(run.picture.screenMode).name) +
                                         " cannot be converted to SCREEN " + step.text);
    }
    Rebuild(run);
    return true;
}

// The bytes an output step writes: the display bitmap's BMP file image, the pane's picture as
// PNG, or the BSAVE file of the current mode.
bool EncodeOutput(Run& run, const Step& step, const std::string& file, std::vector<uint8_t>* bytes) {
    switch (step.kind) {
        case kStepWriteBmp:
            bytes->assign(run.bitmap.FileImage(), run.bitmap.FileImage() + run.bitmap.FileSize());
            return true;
        case kStepWritePng: {
            // Palette pixels where the picture has at most 256 colours. The 1:1 pane reads the
            // rows through its own header; the full picture and the doubled pane through the
            // file image's.
            const uint8_t* info = run.view == kViewSmall ? run.bitmap.ViewInfo() : run.bitmap.FileInfo();
            PngImage image;
            if (!BuildIndexedView(info, run.bitmap.Rows(), run.view, &image) || !EncodePng(image, bytes)) {
                return Failed(run, file, "the PNG encoder failed");
            }
            return true;
        }
        case kStepWriteThumbnail: {
            // The 1:1 pane's picture (256 x 212), fitted to the size on its longer side.
            std::vector<uint8_t> rgb(static_cast<size_t>(256) * kScreenLines * 3);
            RenderView(run.bitmap, kViewSmall, rgb.data());
            const Thumbnail thumbnail = MakeThumbnail(rgb.data(), 256, kScreenLines, step.value);
            if (thumbnail.width == 0 ||
                !EncodePngRgb(thumbnail.rgb.data(), thumbnail.width, thumbnail.height, bytes)) {
                return Failed(run, file, "the thumbnail could not be made");
            }
            return true;
        }
        case kStepWriteBsave:
            bytes->resize(static_cast<size_t>(BsaveFileSize(run.picture.screenMode)));
            BuildBsaveImage(run.picture, bytes->data());
            return true;
        default:
            return false;
    }
}

bool RunOutput(Run& run, const Step& step) {
    const std::string file = ExpandOutputName(step.text, run.name, run.picture.screenMode);
    if (run.dryRun) {
        run.outputs->push_back(file);
        return true;
    }
    std::vector<uint8_t> bytes;
    if (!EncodeOutput(run, step, file, &bytes)) return false;
    return WriteOutput(run, file, bytes.data(), bytes.size());
}

bool RunStep(Run& run, const Step& step) {
    switch (step.kind) {
        case kStepMode:
            return RunMode(run, step);
        case kStepPalette:
            return RunPalette(run, step);
        case kStepPaletteFile:
            return RunPaletteFile(run, step);
        case kStepInfo:
            return RunInfo(run, step);
        case kStepView:
            return RunView(run, step);
        case kStepConvert:
            return RunConvert(run, step);
        case kStepColors:
            return RunColors(run, step);
        case kStepWriteBmp:
        case kStepWritePng:
        case kStepWriteBsave:
        case kStepWriteThumbnail:
            return RunOutput(run, step);
    }
    return false;
}

// Runs every step on a copy of the loaded picture; stops at the first failure.
bool RunSteps(Run& run) {
    Rebuild(run);
    for (const Step& step : run.line.steps) {
        if (!RunStep(run, step)) return false;
    }
    return true;
}

// A PNG or BMP picture: with --import, decoded whole and imported into the mode asked for.
bool ImportInput(const CommandLine& line, const std::string& name, ImageFormat format,
                 const FileVersion& version, Picture* picture, std::string* failure) {
    const char* kind = format == kImagePng ? "a PNG picture" : "a BMP picture";
    if (line.importMode < 0) {
        *failure = std::string(kind) + ": add --import M (5, 6, 7, 8, 10 or 12) to import it into SCREEN M";
        return false;
    }
    // Larger files cannot hold a picture of at most 16384 x 16384 pixels that is worth reading.
    constexpr uint64_t kImageFileMaxBytes = uint64_t{256} << 20;
    if (version.size > kImageFileMaxBytes) {
        *failure = std::string(kind) + " of more than 256 MiB: too large to import";
        return false;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(version.size));
    size_t got = 0;
    char reason[256] = "";
    FileVersion again;
    if (ReadFileSafely(name.c_str(), bytes.data(), bytes.size(), &got, &again, &version, reason,
                       sizeof reason) != kReadOk) {
        *failure = std::string("cannot read the file again: ") + reason;
        return false;
    }
    bytes.resize(got);
    RgbImage image;
    std::string error;
    if (!DecodeImage(bytes.data(), bytes.size(), &image, &error)) {
        *failure = error;
        return false;
    }
    const ScreenMode mode = static_cast<ScreenMode>(line.importMode);
    *picture = ImportedPicture(ImportImage(image.rgb.data(), image.width, image.height, mode, line.import), mode);
    return true;
}

void PrintFailure(const std::string& file, const std::string& message) {
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, file.c_str(), message.c_str());
}

}  // namespace

void PrintUsage() {
    std::printf(
        "Usage: vramoria-convert PICTURE... [STEP...]\n"
        "\n"
        "Loads MSX BSAVE pictures (SCREEN 5, 6, 7, 8, 10/11, 12; plain or compressed) as the\n"
        "Vramoria viewer does, then runs the steps on each in the order given.\n"
        "\n"
        "Steps:\n"
        "  --mode M            read the bytes in another mode: M = 5, 6, 7, 8, 10, 11 or 12\n"
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
        "made. Two pictures that would write the same file stop everything before a file\n"
        "is written. A failure is reported for its picture and the others go on; the last\n"
        "line counts them: N converted, M failed.\n"
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
        "Options:\n"
        "  --json              print --info as one JSON object per line\n"
        "                        vramoria-convert pic.sc7 --info --json\n"
        "  --help, -h          show this text\n"
        "  --version           print the version\n"
        "\n"
        "Exit status: 0 on success, 1 when a picture cannot be loaded or a step fails,\n"
        "2 for a usage error (also when two pictures would write the same file).\n");
}

bool ParseCommandLine(int argc, char** argv, CommandLine* line, std::string* error) {
    int32_t format = kFormatByExtension;
    int32_t thumbnail = 0;  // a --thumbnail waiting for its -o
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        auto value = [&](const char* option) -> const char* {
            if (i + 1 >= argc) {
                *error = std::string(option) + " needs a value";
                return nullptr;
            }
            return argv[++i];
        };
        // An option whose value is one of a few words: false with the usage error otherwise.
        const char* word = nullptr;
        int32_t n = 0;
        auto wordValue = [&](bool (*parse)(const char*, int32_t*), const char* accepted) {
            word = value(arg);
            if (word == nullptr) return false;
            if (parse(word, &n)) return true;
            *error = std::string(arg) + " takes " + accepted + ", not '" + word + "'";
            return false;
        };
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            line->help = true;
        } else if (std::strcmp(arg, "--version") == 0) {
            line->version = true;
        } else if (std::strcmp(arg, "--json") == 0) {
            line->json = true;
        } else if (std::strcmp(arg, "--info") == 0) {
            line->steps.push_back({kStepInfo, 0, ""});
        } else if (std::strcmp(arg, "--mode") == 0) {
            if (!wordValue(ParseMode, "5, 6, 7, 8, 10, 11 or 12")) return false;
            line->steps.push_back({kStepMode, n, ""});
        } else if (std::strcmp(arg, "--palette") == 0) {
            if (!wordValue(ParseSlot, "standard, internal or 0-7")) return false;
            line->steps.push_back({kStepPalette, n, ""});
        } else if (std::strcmp(arg, "--palette-file") == 0) {
            const char* v = value(arg);
            if (v == nullptr) return false;
            line->steps.push_back({kStepPaletteFile, 0, v});
        } else if (std::strcmp(arg, "-o") == 0) {
            const char* v = value(arg);
            if (v == nullptr) return false;
            if (!CheckOutputPattern(v, error)) return false;
            if (thumbnail > 0) {
                // A thumbnail is a PNG whatever the name: file managers give names of their own.
                line->steps.push_back({kStepWriteThumbnail, thumbnail, v});
                thumbnail = 0;
            } else {
                line->steps.push_back(OutputStep(v, format));
            }
        } else if (std::strcmp(arg, "--thumbnail") == 0) {
            const char* v = value(arg);
            if (v == nullptr) return false;
            char* end = nullptr;
            const long size = std::strtol(v, &end, 10);
            if (*v < '0' || *v > '9' || *end != '\0' || size < 1 || size > kThumbnailMaxSize) {
                *error = std::string("--thumbnail takes a size of 1 to ") +
                         std::to_string(kThumbnailMaxSize) + " pixels, not '" + v + "'";
                return false;
            }
            thumbnail = static_cast<int32_t>(size);
        } else if (std::strcmp(arg, "--import") == 0) {
            if (!wordValue(ParseConvertTarget, "5, 6, 7, 8, 10 or 12")) return false;
            line->importMode = n;
        } else if (std::strcmp(arg, "--fit") == 0) {
            if (!wordValue(ParseFit, "contain, cover or stretch")) return false;
            line->import.fit = static_cast<FitMode>(n);
        } else if (std::strcmp(arg, "--dither") == 0) {
            if (!wordValue(ParseDither, "none, ordered or diffusion")) return false;
            line->import.dither = static_cast<DitherMode>(n);
        } else if (std::strcmp(arg, "--format") == 0) {
            if (!wordValue(ParseFormat, "bsave, bmp or png")) return false;
            format = n;
        } else if (std::strcmp(arg, "--convert") == 0) {
            if (!wordValue(ParseConvertTarget, "5, 6, 7, 8, 10 or 12")) return false;
            line->steps.push_back({kStepConvert, n, word});
        } else if (std::strcmp(arg, "--colors") == 0) {
            if (!wordValue(ParseColors, "viewer or hardware")) return false;
            line->steps.push_back({kStepColors, n, ""});
        } else if (std::strcmp(arg, "--view") == 0) {
            if (!wordValue(ParseView, "full, small or large")) return false;
            line->steps.push_back({kStepView, n, ""});
        } else if (arg[0] == '-' && arg[1] != '\0') {
            *error = std::string("unknown option '") + arg + "'";
            return false;
        } else {
            line->pictures.push_back(arg);
        }
    }
    if (line->help || line->version) return true;
    if (thumbnail > 0) {
        *error = "--thumbnail needs an -o after it, the file the thumbnail is written to";
        return false;
    }
    if (line->pictures.empty()) {
        *error = "no picture given";
        return false;
    }
    return true;
}

std::string ExpandOutputName(const std::string& pattern, const std::string& picture, int32_t mode) {
    size_t slash = picture.find_last_of("/\\");
    std::string dir = slash == std::string::npos ? "." : picture.substr(0, slash == 0 ? 1 : slash);
    std::string name = slash == std::string::npos ? picture : picture.substr(slash + 1);
    int32_t extension = ExtensionOffset(name.c_str());
    std::string stem = extension > 0 && name[static_cast<size_t>(extension) - 1] == '.'
                           ? name.substr(0, static_cast<size_t>(extension) - 1)
                           : name;
    const struct {
        const char* key;
        std::string value;
    } kValues[] = {
        {"{stem}", stem}, {"{name}", name}, {"{dir}", dir}, {"{ext}", ScreenModeOf(mode).saveExtension},
    };
    std::string out;
    for (size_t i = 0; i < pattern.size();) {
        bool replaced = false;
        for (const auto& v : kValues) {
            size_t n = std::strlen(v.key);
            if (pattern.compare(i, n, v.key) == 0) {
                out += v.value;
                i += n;
                replaced = true;
                break;
            }
        }
        if (!replaced) out += pattern[i++];
    }
    return out;
}

bool LoadInput(const CommandLine& line, const std::string& name, Picture* picture,
               std::string* failure, std::string* warning) {
    std::vector<uint8_t> bytes(kBsaveMaxFileBytes);
    size_t got = 0;
    FileVersion version;
    char reason[256] = "";
    const ReadResult read = ReadFileSafely(name.c_str(), bytes.data(), bytes.size(), &got, &version,
                                           nullptr, reason, sizeof reason);
    if (read != kReadOk) {
        *failure = LoadResultMessage(kLoadCannotOpen);
        return false;
    }
    const ImageFormat format = SniffImageFormat(bytes.data(), got);
    if (format != kImageUnknown) return ImportInput(line, name, format, version, picture, failure);
    LoadProblem problem;
    const LoadResult loaded = LoadScreenBytes(name.c_str(), bytes.data(), got, picture, &problem);
    if (loaded != kLoadOk) {
        *failure = LoadResultMessage(loaded);
        if (problem.reason[0] != '\0') *failure += std::string(" (") + problem.reason + ")";
        return false;
    }
    if (picture->missingBytes > 0) {
        *warning = "the file is " + std::to_string(picture->missingBytes) +
                   " bytes shorter than its header says; they are shown as zero";
    } else if (picture->dataSize == 0) {
        *warning = "the picture holds no bytes; it is shown empty";
    }
    return true;
}

void PlanPicture(const CommandLine& line, const std::string& name, PictureJob* job) {
    job->name = name;
    if (!LoadInput(line, name, &job->picture, &job->failure, &job->warning)) {
        job->loaded = kLoadNotBsave;
        job->failedFile = name;
        return;
    }
    job->loaded = kLoadOk;
    Run run{line, name, job->picture, {}, kViewFull, kViewerColours, true, &job->outputs, {}, {}};
    if (!RunSteps(run)) {
        job->failedFile = run.failedFile;
        job->failure = run.failure;
    }
}

bool RunPicture(const CommandLine& line, const PictureJob& job) {
    if (!job.warning.empty()) {
        std::fprintf(stderr, "%s: warning: %s: %s\n", kProgram, job.name.c_str(), job.warning.c_str());
    }
    if (!job.failure.empty()) {
        PrintFailure(job.failedFile, job.failure);
        return false;
    }
    Run run{line, job.name, job.picture, {}, kViewFull, kViewerColours, false, nullptr, {}, {}};
    if (!RunSteps(run)) {
        PrintFailure(run.failedFile, run.failure);
        return false;
    }
    return true;
}
