// vramoria-convert's steps: parsing the command line into steps, and running them on a picture
// as the viewer's commands would (one small function per step).
#include "cli/steps.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "codec/bmp.h"
#include "codec/png_write.h"
#include "convert/convert.h"
#include "image/bsave.h"
#include "image/picture.h"
#include "import/import.h"
#include "palette/palette.h"
#include "platform/image_read.h"
#include "platform/platform.h"
#include "render/display.h"
#include "render/indexed_view.h"
#include "render/thumbnail.h"
#include "render/view.h"

namespace {

const char kProgram[] = "vramoria-convert";

// The largest --thumbnail: desktops ask for 128 to 1024; larger sizes are a typing mistake.
constexpr long kThumbnailMaxSize = 4096;

// The most pictures converted at once: more threads than that only wait for the disk.
constexpr long kJobsMax = 256;

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

// The length of the well-formed UTF-8 sequence at p (1-4), or 0 where p holds none: a stray
// continuation byte, an overlong form, a surrogate, a code point above U+10FFFF, a cut-off end.
size_t Utf8SequenceLength(const unsigned char* p) {
    const unsigned char c = p[0];
    if (c < 0x80) return 1;
    size_t length = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (length == 0) return 0;
    // The second byte's range rules out overlong forms, surrogates and values past U+10FFFF.
    const unsigned char low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
    if (p[1] < low || p[1] > high) return 0;
    for (size_t i = 2; i < length; ++i) {
        if (p[i] < 0x80 || p[i] > 0xBF) return 0;
    }
    return length;
}

// A JSON string of a file name, whatever its bytes: a byte that is not part of well-formed
// UTF-8 becomes U+FFFD, as JSON holds Unicode text only.
void AppendJsonString(std::string* out, const char* s) {
    out->push_back('"');
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p;) {
        const size_t length = Utf8SequenceLength(p);
        if (length == 0) {
            out->append("\xEF\xBF\xBD");
            ++p;
        } else if (*p == '"' || *p == '\\') {
            out->push_back('\\');
            out->push_back(static_cast<char>(*p++));
        } else if (*p < 0x20 || *p == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", *p++);
            out->append(escaped);
        } else {
            out->append(reinterpret_cast<const char*>(p), length);
            p += length;
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

// Appends printf-formatted text to *out.
void AppendFormat(std::string* out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void AppendFormat(std::string* out, const char* format, ...) {
    char line[256];
    va_list arguments;
    va_start(arguments, format);
    const int n = std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    if (n > 0) out->append(line, std::min(static_cast<size_t>(n), sizeof line - 1));
}

// --info's text for the picture, appended to *text.
void FormatInfo(const std::string& name, const Picture& picture, bool json, std::string* text) {
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
        out += ",\"conversionTable\":" + std::to_string(conversions) + "}\n";
        text->append(out);
    } else {
        text->append("file:            " + PrintableName(name) + "\n");
        AppendFormat(text, "type:            %s (start 0x%04X, end 0x%04X)\n", LoadedType(header),
                    header.startAddress, header.endAddress);
        AppendFormat(text, "data size:       %d bytes\n", picture.dataSize);
        AppendFormat(text, "image size:      %d bytes\n", picture.imageSize);
        if (picture.missingBytes > 0) AppendFormat(text, "missing bytes:   %d\n", picture.missingBytes);
        AppendFormat(text, "mode:            %s (screenMode %d)\n", mode, picture.screenMode);
        AppendFormat(text, "palette slot:    %s\n", SlotDescription(picture).c_str());
        AppendFormat(text, "file palettes:   %d\n", picture.filePaletteCount);
        AppendFormat(text, "available slots: %s\n", slots.c_str());
        AppendFormat(text, "palette:         %s\n", hex);
        AppendFormat(text, "conversions:     0x%08X\n", static_cast<unsigned>(conversions));
    }
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
    PictureResult* result = nullptr;    // the real run's text and files
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
    // Read without blocking: a FIFO or a device is refused, not waited on.
    uint8_t buffer[kPaletteFileMaxBytes];
    size_t got = 0;
    char reason[128] = "";
    if (ReadFileSafely(step.text.c_str(), buffer, sizeof buffer, &got, nullptr, nullptr, reason,
                       sizeof reason) != kReadOk) {
        return Failed(run, step.text, std::string("cannot open the palette file: ") + reason);
    }
    if (!LoadPaletteBytes(&run.picture, buffer, got)) {
        return Failed(run, step.text, "not a palette file (shorter than one 32-byte palette)");
    }
    Rebuild(run);
    return true;
}

bool RunInfo(Run& run, const Step&) {
    if (!run.dryRun) {
        std::string text;
        FormatInfo(run.name, run.picture, run.line.json, &text);
        run.result->standardOutput.insert(run.result->standardOutput.end(), text.begin(), text.end());
    }
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

// The real run encodes the file; the batch writes it once the picture's steps all succeeded.
bool RunOutput(Run& run, const Step& step) {
    const std::string file = ExpandOutputName(step.text, run.name, run.picture.screenMode);
    if (run.dryRun) {
        run.outputs->push_back(file);
        // "out/" or "out/.." names a folder: refused before any folder is made for it.
        if (file != kStandardOutputName && IsFolderName(file.c_str())) {
            return Failed(run, file, "names a folder, not a file to write");
        }
        return true;
    }
    std::vector<uint8_t> bytes;
    if (!EncodeOutput(run, step, file, &bytes)) return false;
    if (file == kStandardOutputName) {
        std::vector<uint8_t>& out = run.result->standardOutput;
        out.insert(out.end(), bytes.begin(), bytes.end());
    } else {
        run.result->files.push_back({file, std::move(bytes)});
    }
    return true;
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

bool IsOutputStep(const Step& step) {
    return step.kind == kStepWriteBmp || step.kind == kStepWritePng || step.kind == kStepWriteBsave ||
           step.kind == kStepWriteThumbnail;
}

// Runs every step on a copy of the loaded picture; stops at the first failure. A dry run still
// names the outputs after a failing step, so that every file a command line names is known.
bool RunSteps(Run& run) {
    Rebuild(run);
    bool ok = true;
    for (const Step& step : run.line.steps) {
        if (ok) {
            ok = RunStep(run, step);
            if (!ok && !run.dryRun) return false;
        } else if (IsOutputStep(step)) {
            run.outputs->push_back(ExpandOutputName(step.text, run.name, run.picture.screenMode));
        }
    }
    return ok;
}

// A whole line for standard error: "vramoria-convert: FILE: message".
std::string MessageLine(const std::string& file, const std::string& message) {
    return std::string(kProgram) + ": " + PrintableName(file) + ": " + message + "\n";
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
        "would write the same file, or an output that would replace a later picture; 130 or\n"
        "143 when interrupted (SIGINT, SIGTERM).\n");
}

bool ParseCommandLine(int argc, char** argv, CommandLine* line, std::string* error) {
    int32_t format = kFormatByExtension;
    int32_t thumbnail = 0;  // a --thumbnail waiting for its -o
    bool optionsEnded = false;
    int32_t toStandardOutput = 0;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (optionsEnded) {  // after "--" every word is a picture, "-x.sc5" too
            line->pictures.push_back(arg);
            continue;
        }
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
        // An option whose value is a whole number of 1 to most, in digits only.
        auto wholeValue = [&](long most, const char* kind, const char* unit) {
            word = value(arg);
            if (word == nullptr) return false;
            char* end = nullptr;
            const long number = std::strtol(word, &end, 10);
            if (*word >= '0' && *word <= '9' && *end == '\0' && number >= 1 && number <= most) {
                n = static_cast<int32_t>(number);
                return true;
            }
            *error = std::string(arg) + " takes " + kind + " of 1 to " + std::to_string(most) + unit +
                     ", not '" + word + "'";
            return false;
        };
        if (std::strcmp(arg, "--") == 0) {
            optionsEnded = true;
        } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            line->help = true;
        } else if (std::strcmp(arg, "--force") == 0) {
            line->force = true;
        } else if (std::strcmp(arg, "--version") == 0) {
            line->version = true;
        } else if (std::strcmp(arg, "--jobs") == 0) {
            if (!wholeValue(kJobsMax, "a number", "")) return false;
            line->jobs = n;
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
            if (std::strcmp(v, kStandardOutputName) == 0) ++toStandardOutput;
            if (thumbnail > 0) {
                // A thumbnail is a PNG whatever the name: file managers give names of their own.
                line->steps.push_back({kStepWriteThumbnail, thumbnail, v});
                thumbnail = 0;
            } else if (std::strcmp(v, kStandardOutputName) == 0) {
                // Standard output takes PNG unless --format says otherwise.
                line->steps.push_back(OutputStep(v, format == kFormatByExtension ? kFormatPng : format));
            } else {
                line->steps.push_back(OutputStep(v, format));
            }
        } else if (std::strcmp(arg, "--thumbnail") == 0) {
            if (!wholeValue(kThumbnailMaxSize, "a size", " pixels")) return false;
            thumbnail = n;
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
    if (toStandardOutput > 1) {
        *error = "-o - may be given once only: standard output takes one file";
        return false;
    }
    if (toStandardOutput > 0 && line->pictures.size() > 1) {
        *error = "-o - writes one picture to standard output, not a batch of several";
        return false;
    }
    size_t fromStandardInput = 0;
    for (const std::string& picture : line->pictures) fromStandardInput += picture == kStandardInputName;
    if (fromStandardInput > 1) {
        *error = "- (standard input) may be named once only";
        return false;
    }
    return true;
}

std::string ExpandOutputName(const std::string& pattern, const std::string& picture, int32_t mode) {
    // On POSIX a backslash is an ordinary character of a file name.
#ifdef _WIN32
    const char* const separators = "/\\";
#else
    const char* const separators = "/";
#endif
    size_t slash = picture.find_last_of(separators);
    std::string dir = slash == std::string::npos ? "." : picture.substr(0, slash == 0 ? 1 : slash);
    std::string name = slash == std::string::npos ? picture : picture.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    int32_t extension = static_cast<int32_t>(dot == std::string::npos ? name.size() : dot + 1);
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

namespace {

// PNG and BMP pictures are read whole, up to this size: larger files cannot hold a picture of
// at most 16384 x 16384 pixels that is worth reading.
constexpr size_t kImageFileMaxBytes = size_t{256} << 20;

bool IsImage(const std::vector<uint8_t>& bytes) {
    return SniffImageFormat(bytes.data(), bytes.size()) != kImageUnknown;
}

// Reads what is left of a stream into bytes, up to kImageFileMaxBytes in all.
template <typename ReadMore>
ReadResult ReadRest(std::vector<uint8_t>* bytes, ReadMore readMore) {
    for (;;) {
        const size_t have = bytes->size();
        if (have >= kImageFileMaxBytes) return kReadOk;  // DecodeImage finds it truncated
        bytes->resize(have + (size_t{1} << 20));
        size_t got = 0;
        const ReadResult result = readMore(bytes->data() + have, bytes->size() - have, &got);
        bytes->resize(have + got);
        if (result != kReadOk || got == 0) return result;
    }
}

// Reads a picture's bytes: the first kBsaveMaxFileBytes of a BSAVE picture (all that can
// matter), a PNG or BMP picture whole. Standard input ("-") and a pipe the shell opened for
// this process (/dev/fd/N, as "<(command)" names it) can be read only once: they are read
// here and *readOnce is set. Anything else must be a regular file (a FIFO or a device is
// refused without blocking) and, when expected is given, still the version planned.
ReadResult ReadPicture(const std::string& name, std::vector<uint8_t>* bytes, FileVersion* version,
                       const FileVersion* expected, bool* readOnce, std::string* reason) {
    bytes->resize(static_cast<size_t>(kBsaveMaxFileBytes));
    size_t got = 0;
    char words[160] = "";
    ReadResult result;
    *readOnce = false;
    FileVersion seen;
    if (version == nullptr) version = &seen;
    if (name == kStandardInputName) {
        *readOnce = true;
        result = ReadStandardInput(bytes->data(), bytes->size(), &got, words, sizeof words);
        bytes->resize(got);
        if (result == kReadOk && got == static_cast<size_t>(kBsaveMaxFileBytes) && IsImage(*bytes)) {
            result = ReadRest(bytes, [&](uint8_t* at, size_t room, size_t* more) {
                return ReadStandardInput(at, room, more, words, sizeof words);
            });
        }
        *reason = words;
        return result;
    }
    result = ReadFileSafely(name.c_str(), bytes->data(), bytes->size(), &got, version, expected,
                            words, sizeof words);
    bytes->resize(got);
    if (result == kReadOk && got == static_cast<size_t>(kBsaveMaxFileBytes) && IsImage(*bytes)) {
        // Again, whole, as long as it is still the same file.
        const FileVersion first = *version;
        if (first.size > kImageFileMaxBytes) {
            *reason = "a picture file of more than 256 MiB";
            return kReadFailed;
        }
        bytes->resize(static_cast<size_t>(first.size));
        result = ReadFileSafely(name.c_str(), bytes->data(), bytes->size(), &got, version, &first,
                                words, sizeof words);
        bytes->resize(got);
    }
#ifndef _WIN32
    if (result == kReadNotAFile && expected == nullptr &&
        (name.rfind("/dev/fd/", 0) == 0 || name.rfind("/proc/self/fd/", 0) == 0)) {
        // A descriptor the shell set up: a pipe with its writer already there.
        std::FILE* pipe = std::fopen(name.c_str(), "rb");
        if (pipe != nullptr) {
            *readOnce = true;
            bytes->resize(static_cast<size_t>(kBsaveMaxFileBytes));
            got = std::fread(bytes->data(), 1, bytes->size(), pipe);
            bytes->resize(got);
            result = std::ferror(pipe) ? kReadFailed : kReadOk;
            if (result == kReadOk && got == static_cast<size_t>(kBsaveMaxFileBytes) && IsImage(*bytes)) {
                result = ReadRest(bytes, [&](uint8_t* at, size_t room, size_t* more) {
                    *more = std::fread(at, 1, room, pipe);
                    return std::ferror(pipe) ? kReadFailed : kReadOk;
                });
            }
            if (result != kReadOk) std::snprintf(words, sizeof words, "%s", std::strerror(errno));
            std::fclose(pipe);
        }
    }
#endif
    *reason = words;
    return result;
}

// A picture from its bytes: a BSAVE picture as the viewer opens it, or, with --import, a PNG
// or BMP picture imported into a mode. On failure *failure says why.
bool LoadPictureBytes(const CommandLine& line, const std::string& name,
                      const std::vector<uint8_t>& bytes, Picture* picture, std::string* failure) {
    const ImageFormat format = SniffImageFormat(bytes.data(), bytes.size());
    if (format == kImageUnknown) {
        LoadProblem problem;
        const LoadResult loaded = LoadScreenFileBytes(name.c_str(), bytes.data(), bytes.size(), picture, &problem);
        if (loaded == kLoadOk) return true;
        *failure = LoadResultMessage(loaded);
        if (problem.reason[0] != '\0') *failure += std::string(" (") + problem.reason + ")";
        return false;
    }
    const char* kind = format == kImagePng ? "a PNG picture" : "a BMP picture";
    if (line.importMode < 0) {
        *failure = std::string(kind) + ": add --import M (5, 6, 7, 8, 10 or 12) to import it into SCREEN M";
        return false;
    }
    RgbImage image;
    if (!DecodeImage(bytes.data(), bytes.size(), &image, failure)) return false;
    const ScreenMode mode = static_cast<ScreenMode>(line.importMode);
    *picture = ImportedPicture(ImportImage(image.rgb.data(), image.width, image.height, mode, line.import), mode);
    return true;
}

// The picture's failure to be read, in the tool's own words.
std::string ReadFailure(ReadResult read, const std::string& reason) {
    if (read == kReadChanged) return "the file changed since the run began; it was not converted";
    if (read == kReadNotAFile) return "cannot read the picture: " + reason;
    return "cannot open the file: " + reason;
}

std::string LoadWarning(const Picture& picture) {
    if (picture.missingBytes > 0) {
        return "the file is " + std::to_string(picture.missingBytes) +
               " bytes shorter than its header says; they are shown as zero";
    }
    if (picture.dataSize == 0) return "the picture holds no bytes; it is shown empty";
    return "";
}

}  // namespace

std::string PrintableName(const std::string& name) {
    std::string out;
    for (const char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7F) {
            out.push_back(c);
            continue;
        }
        // As ls -b shows them: C escapes where there is one, octal otherwise.
        const char* letter = u >= 7 && u <= 13 ? &"abtnvfr"[u - 7] : nullptr;
        char escaped[8];
        if (letter != nullptr) {
            std::snprintf(escaped, sizeof escaped, "\\%c", *letter);
        } else {
            std::snprintf(escaped, sizeof escaped, "\\%03o", u);
        }
        out += escaped;
    }
    return out;
}

namespace {

// The palette files a picture's run reads: a .sr5/.sr7 picture's companion (found as the loader
// finds it, the same name in another case too) and every --palette-file. A batch must not
// replace one of them before a later picture has read it.
std::vector<std::string> PaletteFilesRead(const CommandLine& line, const std::string& name, bool bsave) {
    std::vector<std::string> files;
    const int32_t extension = ExtensionOffset(name.c_str());
    const ModeByName mode = DetectScreenMode(name.c_str() + extension, 0);
    if (bsave && mode.companionExtension != nullptr && name != kStandardInputName) {
        std::string companion = name.substr(0, static_cast<size_t>(extension)) + mode.companionExtension;
        FileIdentity identity;
        if (!GetFileIdentity(companion.c_str(), &identity) || !identity.exists) {
            std::vector<char> resolved(companion.begin(), companion.end());
            resolved.push_back('\0');
            if (ResolvePathIgnoringCase(resolved.data())) companion = resolved.data();
        }
        files.push_back(companion);
    }
    for (const Step& step : line.steps) {
        if (step.kind == kStepPaletteFile) files.push_back(step.text);
    }
    return files;
}

}  // namespace

void PlanPicture(const CommandLine& line, const std::string& name, PictureJob* job) {
    job->name = name;
    std::vector<uint8_t> bytes;
    std::string reason;
    const ReadResult read = ReadPicture(name, &bytes, &job->version, nullptr, &job->readOnce, &reason);
    Picture picture;
    std::string failure;
    if (read != kReadOk) failure = ReadFailure(read, reason);
    if (read != kReadOk || !LoadPictureBytes(line, name, bytes, &picture, &failure)) {
        job->failedFile = name;
        job->failure = failure;
        // Its outputs are still named (in the mode its name suggests): they take part in the
        // clash checks as a picture that loads would.
        const ModeByName mode = DetectScreenMode(name.c_str() + ExtensionOffset(name.c_str()), 0);
        for (const Step& step : line.steps) {
            if (IsOutputStep(step)) job->outputs.push_back(ExpandOutputName(step.text, name, mode.screenMode));
        }
        return;
    }
    const bool bsave = SniffImageFormat(bytes.data(), bytes.size()) == kImageUnknown;
    job->paletteFiles = PaletteFilesRead(line, name, bsave);
    // Bytes that can be read again are dropped: a batch holds names, not pictures.
    if (job->readOnce) job->bytes = std::move(bytes);
    job->warning = LoadWarning(picture);
    Run run{line, name, std::move(picture), {}, kViewFull, kViewerColours, true, &job->outputs, {}, {}};
    if (!RunSteps(run)) {
        job->failedFile = run.failedFile;
        job->failure = run.failure;
    }
}

PictureResult RunPicture(const CommandLine& line, PictureJob& job) {
    PictureResult result;
    if (!job.warning.empty()) {
        result.messages += std::string(kProgram) + ": warning: " + PrintableName(job.name) + ": " + job.warning + "\n";
    }
    if (!job.failure.empty()) {
        result.messages += MessageLine(job.failedFile, job.failure);
        return result;
    }
    std::vector<uint8_t> bytes;
    ReadResult read = kReadOk;
    std::string reason;
    if (job.readOnce) {
        bytes = std::move(job.bytes);
        job.bytes = {};
    } else {
        bool readOnce = false;
        read = ReadPicture(job.name, &bytes, nullptr, &job.version, &readOnce, &reason);
    }
    Picture picture;
    std::string failure;
    if (read != kReadOk) failure = ReadFailure(read, reason);
    if (read != kReadOk || !LoadPictureBytes(line, job.name, bytes, &picture, &failure)) {
        result.messages += MessageLine(job.name, failure);
        return result;
    }
    bytes = {};
    Run run{line, job.name, std::move(picture), {}, kViewFull, kViewerColours, false, nullptr, {}, {}, &result};
    if (!RunSteps(run)) {
        result.messages += MessageLine(run.failedFile, run.failure);
        result.files.clear();
        result.standardOutput.clear();
        return result;
    }
    result.ok = true;
    return result;
}
