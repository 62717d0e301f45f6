// Reading any MSX picture file from memory, as vramoria-convert reads it.
#include "image/msx_file.h"

#include <algorithm>

namespace {

// The mode a raw dump is read in: the one asked for, else the name's, else the size rule's.
ScreenMode RawMode(const MsxReading& reading, const ModeByName& byName) {
    if (reading.rawMode >= 0) return static_cast<ScreenMode>(reading.rawMode);
    return byName.screenMode;
}

bool LoadRawDump(const MsxReading& reading, const ModeByName& byName,
                 const std::vector<uint8_t>& bytes, Picture* picture, std::string* failure) {
    const ScreenMode mode = RawMode(reading, byName);
    if (LoadRawVramBytes(bytes.data(), bytes.size(), mode, reading.page, picture)) {
        picture->modeByName = byName.byName;
        return true;
    }
    *failure = "the raw VRAM dump has no page " + std::to_string(reading.page) + " in " +
               ScreenModeOf(mode).name + " (it holds " +
               std::to_string(RawPageCount(bytes.size(), mode)) + ")";
    return false;
}

// True when an extension that names a mode is a palette file's (.pl5, .pl7: the digit rule
// would read them as SCREEN 5 and 7), which is never a VRAM dump.
bool PaletteExtension(const std::string& name) {
    const char* extension = name.c_str() + ExtensionOffset(name.c_str());
    return (extension[0] == 'p' || extension[0] == 'P') && (extension[1] == 'l' || extension[1] == 'L');
}

}  // namespace

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

bool LoadMsxFileBytes(const std::string& name, const std::vector<uint8_t>& bytes,
                      const MsxReading& reading, const std::vector<uint8_t>* companion,
                      Picture* picture, std::string* failure) {
    const ModeByName byName =
        DetectScreenMode(name.c_str() + ExtensionOffset(name.c_str()), static_cast<int32_t>(
                             std::min(bytes.size(), static_cast<size_t>(kVramSpace))), kAllModes);
    if (reading.rawDump) return LoadRawDump(reading, byName, bytes, picture, failure);
    if (byName.byName && LoadCopyBlockBytes(bytes.data(), bytes.size(), byName.screenMode, picture)) {
        return true;
    }
    LoadProblem problem;
    const LoadResult loaded = LoadScreenBytes(name.c_str(), bytes.data(), bytes.size(), companion,
                                              picture, &problem, kAllModes);
    if (loaded == kLoadOk) return true;
    const bool bsave = StartsLikeBsave(bytes.data(), bytes.size());
    if (loaded == kLoadNotBsave && !bsave && byName.byName && !PaletteExtension(name)) {
        return LoadRawDump(reading, byName, bytes, picture, failure);
    }
    *failure = LoadResultMessage(loaded);
    if (problem.reason[0] != '\0') *failure += std::string(" (") + problem.reason + ")";
    if (loaded == kLoadNotBsave && !bsave) *failure += " (use --raw to read it as raw VRAM)";
    return false;
}

std::string LoadWarning(const Picture& picture) {
    if (picture.blockLines > 0) {
        return "read as a block saved by BASIC's COPY: " +
               std::to_string(picture.blockWidth512 * ScreenModeOf(picture.screenMode).width / 512) +
               " x " + std::to_string(picture.blockLines) + " pixels";
    }
    if (picture.rawPages > 0) {
        std::string note = "read as raw VRAM (no BSAVE header): " +
                           std::to_string(picture.dataSize) + " bytes";
        if (picture.rawPages > 1) {
            note += ", page " + std::to_string(picture.rawPage) + " of pages 0 to " +
                    std::to_string(picture.rawPages - 1);
        }
        return note;
    }
    if (picture.missingBytes > 0) {
        return "the file is " + std::to_string(picture.missingBytes) +
               " bytes shorter than its header says; they are shown as zero";
    }
    if (picture.dataSize == 0) return "the picture holds no bytes; it is shown empty";
    return "";
}
