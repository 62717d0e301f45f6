// vramoria-convert's steps for one picture: planned (a dry run that names its outputs and finds
// a failing step) and run as the viewer's commands would (one small function per step).
#include "cli/steps.h"

#include <algorithm>

#include "info/info.h"
#include "cli/names.h"
#include "cli/reading.h"
#include "convert/convert.h"
#include "image/bsave.h"
#include "palette/palette.h"
#include "render/display.h"
#include "render/guess.h"
#include "render/output.h"
#include "render/view.h"

namespace {

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
    bool modeByContent = false;         // --mode auto chose the current mode
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
    if (step.value == kModeByContentUnnamed && run.picture.modeByName) return true;
    if (step.value < 0) {
        SelectScreenMode(&run.picture, GuessScreenMode(run.picture));
        run.modeByContent = true;
    } else {
        SelectScreenMode(&run.picture, step.value);
        run.modeByContent = false;
    }
    Rebuild(run);
    return true;
}

// Why --palette S cannot be selected, in --palette's words.
std::string UnavailablePalette(const Picture& picture, int32_t slot) {
    if (slot == kPaletteInternal) {
        return "the internal palette is not available (the picture ends before its palette table)";
    }
    const std::string what = "file palette " + SlotName(slot) + " is not available";
    const int32_t count = picture.filePaletteCount;
    if (count == 0) return what + " (the picture has no palette file)";
    if (count == 1) return what + " (the palette file holds only file palette 0)";
    return what + " (the palette file holds file palettes 0-" + std::to_string(count - 1) + ")";
}

bool RunPalette(Run& run, const Step& step) {
    if (!SelectPaletteSlot(&run.picture, step.value)) {
        return Failed(run, run.name, UnavailablePalette(run.picture, step.value));
    }
    Rebuild(run);
    return true;
}

bool RunPaletteFile(Run& run, const Step& step) {
    std::string failure;
    if (!LoadPaletteFile(step.text, &run.picture, &failure)) return Failed(run, step.text, failure);
    Rebuild(run);
    return true;
}

bool RunInfo(Run& run, const Step&) {
    if (!run.dryRun) {
        std::string text;
        FormatInfo(run.name, run.picture, run.line.json, &text, run.modeByContent);
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
        // The conversions a mode offers do not include its own mode (SCREEN 10's YJK-only
        // conversion aside): a picture already there stays as it is, with a note.
        if (run.picture.screenMode == step.value) {
            if (!run.dryRun) {
                run.result->messages += std::string(kProgram) + ": note: " + PrintableName(run.name) +
                                        ": already " + ScreenModeOf(step.value).name +
                                        ", nothing to convert\n";
            }
            return true;
        }
        return Failed(run, run.name, std::string(ScreenModeOf(run.picture.screenMode).name) +
                                         " cannot be converted to SCREEN " + step.text);
    }
    Rebuild(run);
    return true;
}

// The bytes an output step writes: the display bitmap's BMP file image, the pane's picture as
// PNG, or the BSAVE file of the current mode (for a COPY block, its rectangle in the images and
// the whole screen in BSAVE).
bool EncodeOutput(Run& run, const Step& step, const std::string& file, std::vector<uint8_t>* bytes) {
    switch (step.kind) {
        case kStepWriteBmp:
            EncodeBmpFile(run.picture, run.bitmap, bytes);
            return true;
        case kStepWritePng:
            if (!EncodePngFile(run.picture, run.bitmap, run.view, bytes)) {
                return Failed(run, file, "the PNG encoder failed");
            }
            return true;
        case kStepWriteThumbnail:
            if (!EncodeThumbnailFile(run.picture, run.bitmap, step.value, bytes)) {
                return Failed(run, file, "the thumbnail could not be made");
            }
            return true;
        case kStepWriteBsave:
            bytes->resize(static_cast<size_t>(BsaveFileSize(run.picture.screenMode)));
            BuildBsaveImage(run.picture, bytes->data());
            return true;
        default:
            return false;
    }
}

// The name an output step writes: "-" for a stream, else the expanded file name.
std::string OutputName(const Step& step, const std::string& picture, int32_t mode) {
    return step.stream != 0 ? std::string(kStandardOutputName) : ExpandOutputName(step.text, picture, mode);
}

// The real run encodes the file; the batch writes it once the picture's steps all succeeded.
bool RunOutput(Run& run, const Step& step) {
    const std::string file = OutputName(step, run.name, run.picture.screenMode);
    if (run.dryRun) {
        run.outputs->push_back(file);
        // "out/" or "out/.." names a folder: refused before any folder is made for it.
        if (step.stream == 0 && IsFolderName(file.c_str())) {
            return Failed(run, file, "names a folder, not a file to write");
        }
        return true;
    }
    std::vector<uint8_t> bytes;
    if (!EncodeOutput(run, step, step.stream != 0 ? step.text : file, &bytes)) return false;
    if (step.stream != 0) {
        std::vector<uint8_t>& out =
            step.stream == 1 ? run.result->standardOutput : run.result->standardError;
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
            run.outputs->push_back(OutputName(step, run.name, run.picture.screenMode));
        }
    }
    return ok;
}
}  // namespace

void PlanPicture(const CommandLine& line, const std::string& name, PictureJob* job) {
    job->name = name;
    std::vector<uint8_t> bytes;
    Picture picture;
    std::string failure;
    std::string importWarning;
    if (!ReadPicture(name, &bytes, &job->version, nullptr, &job->readOnce, &failure) ||
        !LoadPictureBytes(line, name, bytes, &picture, &failure, &importWarning)) {
        job->failedFile = name;
        job->failure = failure;
        // Its outputs are still named (in the mode its name suggests): they take part in the
        // clash checks as a picture that loads would.
        const ModeByName mode =
            DetectScreenMode(name.c_str() + ExtensionOffset(name.c_str()), 0, kAllModes);
        for (const Step& step : line.steps) {
            if (IsOutputStep(step)) job->outputs.push_back(OutputName(step, name, mode.screenMode));
        }
        return;
    }
    job->paletteFiles = PaletteFilesRead(line, name, !IsImage(bytes));
    // Bytes that can be read again are dropped: a batch holds names, not pictures.
    if (job->readOnce) job->bytes = std::move(bytes);
    job->warning = importWarning.empty() ? LoadWarning(picture) : importWarning;
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
    bool read = true;
    std::string failure;
    if (job.readOnce) {
        bytes = std::move(job.bytes);
        job.bytes = {};
    } else {
        bool readOnce = false;
        read = ReadPicture(job.name, &bytes, nullptr, &job.version, &readOnce, &failure);
    }
    Picture picture;
    if (!read || !LoadPictureBytes(line, job.name, bytes, &picture, &failure)) {
        result.messages += MessageLine(job.name, failure);
        return result;
    }
    bytes = {};
    Run run{line, job.name, std::move(picture), {}, kViewFull, kViewerColours, false, nullptr, {}, {}, &result};
    if (!RunSteps(run)) {
        result.messages += MessageLine(run.failedFile, run.failure);
        result.files.clear();
        result.standardOutput.clear();
        result.standardError.clear();
        return result;
    }
    result.ok = true;
    return result;
}
