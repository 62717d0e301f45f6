// The batch: plan all -> for each planned picture: run -> write.
//
// Planning loads each picture once and keeps only what its run needs (names, outputs, the
// file's version, a failure), so memory is bounded by the pictures in flight, not by the batch.
// "Same file" is decided as the file system decides it (device and index, or the existing
// folder plus the rest of the name), never by comparing names as text. RunPicture does the
// per-picture work and returns its text and files; this file alone prints and writes, so the
// run of several pictures at once only has to keep their results in command-line order. One
// order must hold then too: an output may replace a picture read earlier in the run (the check
// below allows it), so that picture's read must be done before the write.
#include "cli/batch.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

const char kProgram[] = "vramoria-convert";

// A key that is equal for two names exactly when they name the same file. Where the file
// system cannot be asked (a folder without search permission), the tidied absolute name.
std::string SameFileKey(const std::string& path) {
    FileIdentity identity;
    if (!GetFileIdentity(path.c_str(), &identity)) {
        std::error_code ec;
        std::filesystem::path absolute = std::filesystem::absolute(path, ec);
        return "name:" + (ec ? std::filesystem::path(path) : absolute).lexically_normal().string();
    }
    std::string key = std::to_string(identity.device) + ":" + std::to_string(identity.index);
    if (identity.exists) return key;
    std::string rest = identity.rest;
    if (identity.ignoreCase) {
        for (char& c : rest) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    }
    return key + "/" + rest;
}

// The key of a picture that was read as a regular file: the identity it was read with.
std::string PictureKey(const PictureJob& job) {
    if (job.readOnce || !job.version.identity.exists) return "";
    return std::to_string(job.version.identity.device) + ":" + std::to_string(job.version.identity.index);
}

void PrintLine(const std::string& text) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

// Refuses the command line, before anything is written, when two pictures would write the same
// file or a picture's output would replace a picture that is read later in the run (its own
// picture and pictures already read may be replaced). Returns false after saying which.
bool CheckOutputs(const std::vector<PictureJob>& jobs, const std::vector<bool>& skipped) {
    std::map<std::string, size_t> pictureAt;  // a picture file -> its position in the run
    for (size_t i = 0; i < jobs.size(); ++i) {
        const std::string key = PictureKey(jobs[i]);
        if (!skipped[i] && !key.empty()) pictureAt.emplace(key, i);
    }
    std::map<std::string, size_t> writer;  // an output file -> the picture that writes it
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (skipped[i]) continue;
        for (const std::string& out : jobs[i].outputs) {
            if (out == kStandardOutputName) continue;
            const std::string key = SameFileKey(out);
            auto later = pictureAt.find(key);
            if (later != pictureAt.end() && later->second > i) {
                PrintLine(std::string(kProgram) + ": " + PrintableName(out) + ": written for " +
                          PrintableName(jobs[i].name) + ", it would replace the picture " +
                          PrintableName(jobs[later->second].name) +
                          " before it is read; nothing was written\n");
                return false;
            }
            auto [it, added] = writer.emplace(key, i);
            if (!added && it->second != i) {
                PrintLine(std::string(kProgram) + ": " + PrintableName(out) + ": would be written for both " +
                          PrintableName(jobs[it->second].name) + " and " + PrintableName(jobs[i].name) +
                          "; nothing was written (use {stem} or {name} in the -o name)\n");
                return false;
            }
        }
    }
    return true;
}

// The progress line on a terminal: "[3/40] name", rewritten in place and cleared before any
// other line is printed.
struct Progress {
    bool enabled = false;
    bool shown = false;

    void Show(size_t at, size_t count, const std::string& name) {
        if (!enabled) return;
        std::fprintf(stderr, "\r\033[K[%zu/%zu] %s", at + 1, count, PrintableName(name).c_str());
        std::fflush(stderr);
        shown = true;
    }
    void Clear() {
        if (!shown) return;
        std::fputs("\r\033[K", stderr);
        shown = false;
    }
};

// Writes what a picture's run produced: its standard output, then its files, each whole or not
// at all (a folder that does not exist yet is made just before its file is written). Appends
// the message of a failure to result->messages. *interrupted is set when an interrupt stopped
// a write: that is the end of the run, not a failure to report.
bool WritePictureResult(const CommandLine& line, PictureResult* result, bool* standardOutputBroken,
                 bool* interrupted) {
    char reason[256] = "";
    if (!result->standardOutput.empty() && !*standardOutputBroken &&
        !WriteStandardOutput(result->standardOutput.data(), result->standardOutput.size(), reason,
                             sizeof reason)) {
        *standardOutputBroken = true;
        result->messages += std::string(kProgram) + ": cannot write to standard output: " + reason + "\n";
        return false;
    }
    for (const PictureFile& file : result->files) {
        const std::string shown = std::string(kProgram) + ": " + PrintableName(file.name) + ": ";
        if (!MakeParentFolders(file.name.c_str())) {
            result->messages += shown + "cannot make the folder for the file\n";
            return false;
        }
        switch (WriteFileAtomicallyWith(file.name.c_str(), file.bytes.data(), file.bytes.size(),
                                        WriteOptions{line.force}, reason, sizeof reason)) {
            case kWriteOk:
                break;
            case kWriteInterrupted:
                *interrupted = true;
                return false;
            case kWriteReadOnly:
                result->messages += shown + "cannot write the file: " + reason +
                                    " (--force replaces it)\n";
                return false;
            case kWriteNotAFile:
                result->messages += shown + "cannot write the file: " + reason +
                                    "; only regular files are replaced\n";
                return false;
            case kWriteCreateFailed:
            case kWriteWriteFailed:
            case kWriteAllocFailed:
                result->messages += shown + "cannot write the file: " + reason + "\n";
                return false;
        }
    }
    return true;
}

}  // namespace

int RunBatch(const CommandLine& line) {
    const size_t count = line.pictures.size();
    size_t converted = 0;
    size_t failed = 0;
    size_t skippedCount = 0;  // named twice
    auto interrupted = [&]() {
        PrintLine(std::string(kProgram) + ": interrupted: " + std::to_string(converted) + " converted, " +
                  std::to_string(failed) + " failed, " + std::to_string(count - skippedCount - converted - failed) +
                  " not converted\n");
        return 128 + InterruptSignal();
    };

    // Plan all: every picture loaded once, its outputs named; a picture named twice (the same
    // file by another name) is converted once.
    std::vector<PictureJob> jobs(count);
    std::vector<bool> skipped(count, false);
    std::map<std::string, size_t> firstNamed;
    for (size_t i = 0; i < count; ++i) {
        if (InterruptSignal() != 0) return interrupted();
        PlanPicture(line, line.pictures[i], &jobs[i]);
        const std::string key = PictureKey(jobs[i]);
        if (key.empty()) continue;
        auto [it, added] = firstNamed.emplace(key, i);
        if (!added) {
            skipped[i] = true;
            ++skippedCount;
            PrintLine(std::string(kProgram) + ": note: " + PrintableName(jobs[i].name) +
                      ": the same file as " + PrintableName(jobs[it->second].name) +
                      "; it is converted once\n");
            jobs[i] = PictureJob{};
        }
    }
    if (!CheckOutputs(jobs, skipped)) return 2;

    // For each planned picture: run, then write.
    Progress progress;
    progress.enabled = count > 1 && StandardErrorIsTerminal();
    bool standardOutputBroken = false;
    for (size_t i = 0; i < count; ++i) {
        if (InterruptSignal() != 0) break;
        if (skipped[i]) continue;
        progress.Show(i, count, jobs[i].name);
        PictureResult result = RunPicture(line, jobs[i]);
        bool stopped = false;
        bool ok = result.ok && WritePictureResult(line, &result, &standardOutputBroken, &stopped);
        jobs[i] = PictureJob{};  // its outputs are written: nothing of it is needed any more
        if (stopped) break;
        if (!result.messages.empty()) {
            progress.Clear();
            PrintLine(result.messages);
        }
        ok ? ++converted : ++failed;
    }
    progress.Clear();
    if (InterruptSignal() != 0) return interrupted();
    char reason[256] = "";
    if (!standardOutputBroken && !FinishStandardOutput(reason, sizeof reason)) {
        standardOutputBroken = true;
        PrintLine(std::string(kProgram) + ": cannot write to standard output: " + reason + "\n");
    }
    if (count > 1) {
        std::fprintf(stderr, "%zu converted, %zu failed", converted, failed);
        if (skippedCount > 0) std::fprintf(stderr, ", %zu named twice", skippedCount);
        std::fputc('\n', stderr);
    }
    return failed == 0 && !standardOutputBroken ? 0 : 1;
}
