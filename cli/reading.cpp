// vramoria-convert's reading. Nothing here blocks on what is not a regular file, except what
// the command line names as a stream: standard input and the shell's pipes, read once.
#include "cli/reading.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>

#include "cli/names.h"
#include "image/bsave.h"
#include "image/msx_file.h"
#include "import/import.h"
#include "palette/palette.h"
#include "platform/image_read.h"

namespace {

// PNG and BMP pictures are read whole, up to this size: larger files cannot hold a picture of
// at most 16384 x 16384 pixels that is worth reading.
constexpr size_t kImageFileMaxBytes = size_t{256} << 20;

// The memory that decoded images may take at once, shared by every job of the run (planning and
// converting): an 8192 x 8192 PNG is 192 MiB as RGB, and eight jobs at once would be 1.5 GiB
// (more than a 32-bit Windows process can have). A picture waits until its claim fits beside
// the others'; one alone always goes, so no claim waits for ever.
class DecodeBudget {
public:
    static constexpr uint64_t kBytes = uint64_t{768} << 20;
    void Take(uint64_t bytes) {
        std::unique_lock<std::mutex> lock(mutex_);
        freed_.wait(lock, [&] { return used_ == 0 || used_ + bytes <= kBytes; });
        used_ += bytes;
    }
    void Give(uint64_t bytes) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            used_ -= bytes;
        }
        freed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable freed_;
    uint64_t used_ = 0;
};

DecodeBudget& SharedDecodeBudget() {
    static DecodeBudget budget;  // one per process: the jobs are its threads
    return budget;
}

// Holds a picture's share of the budget while it is decoded and imported.
class BudgetShare {
public:
    explicit BudgetShare(uint64_t bytes) : bytes_(bytes) { SharedDecodeBudget().Take(bytes_); }
    ~BudgetShare() { SharedDecodeBudget().Give(bytes_); }
    BudgetShare(const BudgetShare&) = delete;
    BudgetShare& operator=(const BudgetShare&) = delete;

private:
    uint64_t bytes_;
};

// The picture's failure to be read, in the tool's own words.
std::string ReadFailure(ReadResult read, const std::string& reason) {
    if (read == kReadChanged) return "the file changed since the run began; it was not converted";
    if (read == kReadNotAFile) return "cannot read the picture: " + reason;
    return "cannot open the file: " + reason;
}

// The first bytes filled a BSAVE picture's largest size and they start a PNG or BMP picture,
// or no BSAVE file (a raw dump's later pages): the rest must be read too.
bool NeedsTheRest(ReadResult result, const std::vector<uint8_t>& bytes) {
    return result == kReadOk && bytes.size() == static_cast<size_t>(kBsaveMaxFileBytes) &&
           (IsImage(bytes) || !StartsLikeBsave(bytes.data(), bytes.size()));
}

// How much of a file whose first bytes are these is read at most.
size_t ReadLimit(const std::vector<uint8_t>& bytes) {
    return IsImage(bytes) ? kImageFileMaxBytes : kRawDumpMaxBytes;
}

// Reads what is left of a stream into bytes, up to ReadLimit in all.
template <typename ReadMore>
ReadResult ReadRest(std::vector<uint8_t>* bytes, ReadMore readMore) {
    const size_t limit = ReadLimit(*bytes);
    for (;;) {
        const size_t have = bytes->size();
        if (have >= limit) {  // DecodeImage finds an image truncated; a dump keeps its pages
            bytes->resize(limit);
            return kReadOk;
        }
        bytes->resize(have + (size_t{1} << 20));
        size_t got = 0;
        const ReadResult result = readMore(bytes->data() + have, bytes->size() - have, &got);
        bytes->resize(have + got);
        if (result != kReadOk || got == 0) return result;
    }
}

// Standard input, once.
ReadResult ReadStandardInputPicture(std::vector<uint8_t>* bytes, char* words, size_t capacity) {
    bytes->resize(static_cast<size_t>(kBsaveMaxFileBytes));
    size_t got = 0;
    ReadResult result = ReadStandardInput(bytes->data(), bytes->size(), &got, words, capacity);
    bytes->resize(got);
    if (NeedsTheRest(result, *bytes)) {
        result = ReadRest(bytes, [&](uint8_t* at, size_t room, size_t* more) {
            return ReadStandardInput(at, room, more, words, capacity);
        });
    }
    return result;
}

// A regular file, and a PNG or BMP picture again, whole, as long as it is still the same file.
ReadResult ReadPictureFile(const std::string& name, std::vector<uint8_t>* bytes,
                           FileVersion* version, const FileVersion* expected, char* words,
                           size_t capacity) {
    bytes->resize(static_cast<size_t>(kBsaveMaxFileBytes));
    size_t got = 0;
    ReadResult result = ReadFileSafely(name.c_str(), bytes->data(), bytes->size(), &got, version,
                                       expected, words, capacity);
    bytes->resize(got);
    if (NeedsTheRest(result, *bytes)) {
        const FileVersion first = *version;
        const bool image = IsImage(*bytes);
        if (image && first.size > kImageFileMaxBytes) {
            std::snprintf(words, capacity, "a picture file of more than 256 MiB");
            return kReadFailed;
        }
        bytes->resize(static_cast<size_t>(std::min<uint64_t>(first.size, ReadLimit(*bytes))));
        result = ReadFileSafely(name.c_str(), bytes->data(), bytes->size(), &got, version, &first,
                                words, capacity);
        bytes->resize(got);
    }
    return result;
}

// A pipe the shell set up, with its writer already there. *result stays as it is (the
// regular-file read's refusal) when the name cannot be opened.
ReadResult ReadShellPipe(const std::string& name, std::vector<uint8_t>* bytes, bool* readOnce,
                         ReadResult result, char* words, size_t capacity) {
    DescriptorPipe pipe;
    if (!OpenDescriptorPipe(name.c_str(), &pipe)) return result;
    *readOnce = true;
    bytes->resize(static_cast<size_t>(kBsaveMaxFileBytes));
    size_t got = 0;
    result = ReadDescriptorPipe(&pipe, bytes->data(), bytes->size(), &got, words, capacity);
    bytes->resize(got);
    if (NeedsTheRest(result, *bytes)) {
        result = ReadRest(bytes, [&](uint8_t* at, size_t room, size_t* more) {
            return ReadDescriptorPipe(&pipe, at, room, more, words, capacity);
        });
    }
    CloseDescriptorPipe(&pipe);
    return result;
}

// A BSAVE picture, a COPY block or a raw VRAM dump, its companion palette file read from the
// disk (not for a raw dump).
bool LoadMsxPicture(const CommandLine& line, const std::string& name,
                    const std::vector<uint8_t>& bytes, Picture* picture, std::string* failure) {
    MsxReading reading;
    reading.rawDump = line.raw;
    reading.page = line.page;
    for (const Step& step : line.steps) {
        if (step.kind == kStepMode && step.value >= 0) {
            reading.rawMode = step.value;
            break;
        }
    }
    std::vector<uint8_t> companion;
    const bool found = !line.raw && name != kStandardInputName &&
                       ReadCompanionPalette(name.c_str(), &companion);
    return LoadMsxFileBytes(name, bytes, reading, found ? &companion : nullptr, picture, failure);
}

}  // namespace

bool ReadableOnlyOnce(const std::string& name) {
    return name == kStandardInputName || IsDescriptorName(name.c_str());
}

bool IsImage(const std::vector<uint8_t>& bytes) {
    return SniffImageFormat(bytes.data(), bytes.size()) != kImageUnknown;
}

bool ReadPicture(const std::string& name, std::vector<uint8_t>* bytes, FileVersion* version,
                 const FileVersion* expected, bool* readOnce, std::string* failure) {
    char words[160] = "";
    ReadResult result;
    *readOnce = false;
    FileVersion seen;
    if (version == nullptr) version = &seen;
    if (name == kStandardInputName) {
        *readOnce = true;
        result = ReadStandardInputPicture(bytes, words, sizeof words);
    } else {
        result = ReadPictureFile(name, bytes, version, expected, words, sizeof words);
        if (result == kReadNotAFile && expected == nullptr && IsDescriptorName(name.c_str())) {
            result = ReadShellPipe(name, bytes, readOnce, result, words, sizeof words);
        }
    }
    if (result == kReadOk) return true;
    *failure = ReadFailure(result, words);
    return false;
}

// With --import, a file named .png or .bmp whose bytes are no such picture (an empty file, a
// damaged signature) is refused rather than loaded as an MSX picture: it was meant as an image.
bool ImageNameWithoutImage(const std::string& name, const std::vector<uint8_t>& bytes,
                           std::string* failure) {
    std::string extension = name.substr(static_cast<size_t>(ExtensionOffset(name.c_str())));
    for (char& c : extension) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    if (extension != "png" && extension != "bmp") return false;
    *failure = std::string("not a ") + (extension == "png" ? "PNG" : "BMP") + " file: " +
               (bytes.empty() ? "it is empty" : "it does not start with the signature of one");
    return true;
}

bool LoadPictureBytes(const CommandLine& line, const std::string& name,
                      const std::vector<uint8_t>& bytes, Picture* picture, std::string* failure,
                      std::string* warning) {
    const ImageFormat format = SniffImageFormat(bytes.data(), bytes.size());
    if (format == kImageUnknown) {
        if (line.importMode >= 0 && ImageNameWithoutImage(name, bytes, failure)) return false;
        return LoadMsxPicture(line, name, bytes, picture, failure);
    }
    const char* kind = format == kImagePng ? "a PNG picture" : "a BMP picture";
    if (line.importMode < 0) {
        *failure = std::string(kind) + ": add --import M (5, 6, 7, 8, 10 or 12) to import it into SCREEN M";
        return false;
    }
    // A large image takes up to 192 MiB as RGB: where memory (or a 32-bit process's address
    // space) runs out, that picture fails and the batch goes on.
    try {
        const BudgetShare share(DecodeBytesClaimed(bytes.data(), bytes.size()));
        RgbImage image;
        if (!DecodeImage(bytes.data(), bytes.size(), &image, failure)) return false;
        if (warning != nullptr) *warning = image.warning;
        const ScreenMode mode = static_cast<ScreenMode>(line.importMode);
        *picture = ImportedPicture(
            ImportImage(image.rgb.data(), image.width, image.height, mode, line.import, image.pixelAspect), mode);
    } catch (const std::bad_alloc&) {
        *failure = "not enough memory to import the image";
        return false;
    }
    return true;
}

bool LoadPaletteFile(const std::string& file, Picture* picture, std::string* failure) {
    // Read without blocking: a FIFO or a device is refused, not waited on.
    uint8_t buffer[kPaletteFileReadBytes];
    size_t got = 0;
    char reason[128] = "";
    if (ReadFileSafely(file.c_str(), buffer, sizeof buffer, &got, nullptr, nullptr, reason,
                       sizeof reason) != kReadOk) {
        *failure = std::string("cannot open the palette file: ") + reason;
        return false;
    }
    if (!LoadPaletteBytes(picture, buffer, got)) {
        *failure = "not a palette file (shorter than one 32-byte palette)";
        return false;
    }
    return true;
}

std::vector<std::string> PaletteFilesRead(const CommandLine& line, const std::string& name,
                                          bool bsave) {
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
