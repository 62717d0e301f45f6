#include "cli/steps.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "convert/convert.h"
#include "image/bsave.h"
#include "image/vram.h"
#include "palette/palette.h"
#include "platform/platform.h"
#include "platform/png.h"
#include "render/display.h"
#include "render/indexed_view.h"
#include "render/view.h"

namespace {

const char kProgram[] = "vramoria-convert";

bool quiet = false;  // planning a batch: nothing is printed

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

void Fail(const std::string& file, const std::string& message) {
    if (quiet) return;
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, file.c_str(), message.c_str());
}

// Why a picture did not load, in the tool's own words.
const char* LoadResultMessage(LoadResult result) {
    switch (result) {
        case kLoadOk:
            return "loaded";
        case kLoadCancelled:
            return "no file chosen";
        case kLoadCannotOpen:
            return "cannot open the file (missing, unreadable, a folder, or a name longer than 259 characters)";
        case kLoadNotBsave:
            return "not a BSAVE file (the header is not that of a plain or compressed BSAVE picture, "
                   "or the compressed body is shorter than its header says)";
    }
    return "cannot load";
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

// What the viewer does after every change of mode, palette or bytes: rebuild the display,
// whose first act is to take the current palette (and so to apply its fallback).
void Refresh() { RebuildDisplayBitmap(); }

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

// Every --convert must be one that the mode reached at that point offers; checked before any
// step runs, so that a refused conversion leaves no file written.
bool CheckConversions(const CommandLine& line, const std::string& picture) {
    int32_t mode = screenMode;
    for (const Step& step : line.steps) {
        if (step.kind == kStepMode) mode = step.value;
        if (step.kind != kStepConvert) continue;
        if (((ConversionTableForMode(mode) >> (4 * step.value)) & 15) == 0) {
            Fail(picture, std::string(kScreenModes[mode].name) + " cannot be converted to SCREEN " + step.text);
            return false;
        }
        mode = step.value;
    }
    return true;
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

// Every file is written whole or not at all; on failure the target is untouched. A folder that
// does not exist yet is made first.
bool WriteOutputFile(const std::string& file, const void* bytes, size_t size) {
    char reason[256] = "";
    if (!MakeParentFolders(file.c_str())) {
        Fail(file, "cannot make the folder for the file");
        return false;
    }
    if (WriteFileAtomically(file.c_str(), bytes, size, reason, sizeof reason) != kWriteOk) {
        Fail(file, std::string("cannot write the file: ") + reason);
        return false;
    }
    return true;
}

// The display bitmap as the viewer's pane shows it at the given size, as a PNG file (palette
// pixels where the picture has at most 256 colours). The 1:1 pane reads the rows through its
// own header; the full picture and the doubled pane through the file image's.
bool WritePng(const std::string& file, ViewSize view) {
    const uint8_t* info = view == kViewSmall ? viewBitmapInfo : displayBitmap + 16;
    const uint8_t* bits = displayBitmap + 2 + DisplayBitmapPixelOffset();
    PngImage image;
    std::vector<uint8_t> png;
    if (!BuildIndexedView(info, bits, view, &image) || !EncodePng(image, &png)) {
        Fail(file, "the PNG encoder failed");
        return false;
    }
    return WriteOutputFile(file, png.data(), png.size());
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

const char* LoadedType() {
    switch (loadedHeader.type) {
        case kBsavePlain:
            return "plain";
        case kBsaveCompressed:
            return "compressed";
        default:
            return "empty";
    }
}

void PrintInfo(const std::string& picture, bool json) {
    const MsxPalette* palette = CurrentPalette();  // applies the fallback, as every use does
    char hex[65];
    for (int i = 0; i < 32; ++i) std::snprintf(hex + 2 * i, 3, "%02x", palette->bytes[i]);
    std::string slots;
    for (int32_t slot = 0; slot < kPaletteSlotCount; ++slot) {
        if (GetPaletteSlot(slot) == nullptr) continue;
        if (!slots.empty()) slots += json ? "," : " ";
        slots += std::to_string(slot);
    }
    if (json) {
        std::string out = "{\"file\":";
        AppendJsonString(&out, picture.c_str());
        out += ",\"type\":\"" + std::string(LoadedType()) + "\"";
        out += ",\"startAddress\":" + std::to_string(loadedHeader.startAddress);
        out += ",\"endAddress\":" + std::to_string(loadedHeader.endAddress);
        out += ",\"dataSize\":" + std::to_string(vramImage.dataSize);
        out += ",\"imageSize\":" + std::to_string(vramImage.imageSize);
        out += ",\"screenMode\":" + std::to_string(screenMode);
        out += ",\"mode\":\"" + std::string(kScreenModes[screenMode].name) + "\"";
        out += ",\"paletteIndex\":" + std::to_string(paletteIndex);
        out += ",\"filePaletteCount\":" + std::to_string(filePaletteCount);
        out += ",\"availableSlots\":[" + slots + "]";
        out += ",\"palette\":\"" + std::string(hex) + "\"";
        out += ",\"conversionTable\":" + std::to_string(conversionTable) + "}";
        std::printf("%s\n", out.c_str());
    } else {
        std::printf("file:            %s\n", picture.c_str());
        std::printf("type:            %s (start 0x%04X, end 0x%04X)\n", LoadedType(),
                    loadedHeader.startAddress, loadedHeader.endAddress);
        std::printf("data size:       %d bytes\n", vramImage.dataSize);
        std::printf("image size:      %d bytes\n", vramImage.imageSize);
        std::printf("mode:            %s (screenMode %d)\n", kScreenModes[screenMode].name, screenMode);
        std::printf("palette slot:    %d\n", paletteIndex);
        std::printf("file palettes:   %d\n", filePaletteCount);
        std::printf("available slots: %s\n", slots.c_str());
        std::printf("palette:         %s\n", hex);
        std::printf("conversions:     0x%08X\n", static_cast<unsigned>(conversionTable));
    }
    std::fflush(stdout);
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
        "Options:\n"
        "  --json              print --info as one JSON object per line\n"
        "                        vramoria-convert pic.sc7 --info --json\n"
        "  --help              show this text\n"
        "\n"
        "Exit status: 0 on success, 1 when a picture cannot be loaded or a step fails,\n"
        "2 for a usage error (also when two pictures would write the same file).\n");
}

bool ParseCommandLine(int argc, char** argv, CommandLine* line, std::string* error) {
    int32_t format = kFormatByExtension;
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
            line->steps.push_back(OutputStep(v, format));
        } else if (std::strcmp(arg, "--format") == 0) {
            if (!wordValue(ParseFormat, "bsave, bmp or png")) return false;
            format = n;
        } else if (std::strcmp(arg, "--convert") == 0) {
            if (!wordValue(ParseConvertTarget, "5, 6, 7, 8, 10 or 12")) return false;
            line->steps.push_back({kStepConvert, n, word});
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
    if (line->help) return true;
    if (line->pictures.empty()) {
        *error = "no picture given";
        return false;
    }
    return true;
}

std::string ExpandOutputName(const std::string& pattern, const std::string& picture) {
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
        {"{stem}", stem}, {"{name}", name}, {"{dir}", dir}, {"{ext}", kScreenModes[screenMode].saveExtension},
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

bool RunSteps(const CommandLine& line, const std::string& picture, std::vector<std::string>* plan) {
    quiet = plan != nullptr;
    LoadResult loaded = LoadScreenFileNamed(picture.c_str());
    if (loaded != kLoadOk) {
        Fail(picture, LoadResultMessage(loaded));
        return false;
    }
    Refresh();
    if (!CheckConversions(line, picture)) return false;
    ViewSize view = kViewFull;
    for (const Step& original : line.steps) {
        Step step = original;
        bool output = step.kind == kStepWriteBmp || step.kind == kStepWritePng || step.kind == kStepWriteBsave;
        if (output) {
            step.text = ExpandOutputName(step.text, picture);
            if (plan != nullptr) {
                plan->push_back(step.text);
                continue;
            }
        }
        if (plan != nullptr && step.kind == kStepInfo) continue;
        switch (step.kind) {
            case kStepMode:
                SelectScreenMode(step.value);
                Refresh();
                break;
            case kStepPalette:
                if (!SelectPaletteSlot(step.value)) {
                    Fail(picture, "palette slot " +
                                      std::string(step.value == kPaletteStandard ? "standard"
                                                  : step.value == kPaletteInternal
                                                      ? "internal"
                                                      : std::to_string(step.value - kPaletteFileFirst)) +
                                      " is not available");
                    return false;
                }
                Refresh();
                break;
            case kStepPaletteFile:
                if (!LoadPaletteFile(step.text.c_str())) {
                    Fail(step.text, "cannot open the palette file");
                    return false;
                }
                Refresh();
                break;
            case kStepInfo:
                PrintInfo(picture, line.json);
                break;
            case kStepWriteBmp:
                // Bytes 2 .. 2 + bfSize of the display bitmap are a complete BMP file.
                if (!WriteOutputFile(step.text, displayBitmap + 2, DisplayBitmapFileSize())) return false;
                break;
            case kStepWritePng:
                if (!WritePng(step.text, view)) return false;
                break;
            case kStepView:
                view = static_cast<ViewSize>(step.value);
                break;
            case kStepConvert:
                // Offered: CheckConversions made sure. Converts, sets the mode and rebuilds.
                if (!ConvertToMode(step.value)) {
                    Fail(picture, std::string(kScreenModes[screenMode].name) +
                                      " cannot be converted to SCREEN " + step.text);
                    return false;
                }
                break;
            case kStepWriteBsave: {
                char reason[256] = "";
                if (!MakeParentFolders(step.text.c_str())) {
                    Fail(step.text, "cannot make the folder for the file");
                    return false;
                }
                if (SaveScreenFileTo(step.text.c_str(), reason, sizeof reason) != kWriteOk) {
                    Fail(step.text, std::string("cannot write the file: ") + reason);
                    return false;
                }
                break;
            }
        }
    }
    return true;
}
