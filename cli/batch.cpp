// The batch: plan all -> check -> for each planned picture: prepare (run, stage its files;
// on --jobs threads) -> commit (flush a group of staged files, rename them), in order.
//
// Planning loads each picture once and keeps only what its run needs (names, outputs, the
// file's version, a failure), so memory is bounded by the pictures in flight, not by the batch.
// "Same file" is decided as the file system decides it (device and index, or the existing
// folder plus the rest of the name), never by comparing names as text. RunPicture does the
// per-picture work and returns its text and files; this file alone prints and writes, so the
// run of several pictures at once only has to keep their results in command-line order. One
// order must hold then too: an output may replace a picture read earlier in the run (the check
// below allows it), so that picture's read must be done before the write. Commits go in
// command-line order and wait for each picture's preparation, so every earlier read is done.
//
// Durability: a temporary file is on the disk before the rename that puts it in place, so
// every target is complete or absent after a crash. Half a window of staged files (up to 32)
// is flushed at once with one syncfs per file system rather than an fsync each: measured with
// bench/batch on ext4, 1.4-1.5x the pictures/s of fsyncs on the converting threads.
#include "cli/batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/names.h"
#include "cli/reading.h"
#include "cli/steps.h"
#include "platform/platform.h"

namespace {

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

// The advice that ends a clash message: a placeholder the -o name lacks that would tell the
// two pictures apart ({stem} of a.sc5 and a.sc7 is the same; {name} of two folders' a.sc5 too).
std::string ClashAdvice(const std::string& pattern) {
    const bool stem = pattern.find("{stem}") != std::string::npos;
    const bool name = pattern.find("{name}") != std::string::npos;
    const bool dir = pattern.find("{dir}") != std::string::npos;
    if (!stem && !name) return " (use {stem} or {name} in the -o name)";
    if (!name) return " (use {name} in the -o name: {stem} leaves out the extension)";
    if (!dir) return " (use {dir} in the -o name)";
    return "";
}

// Refuses the command line, before anything is written, when two pictures would write the same
// file or a picture's output would replace a picture, or a palette file, that is read later in
// the run (its own picture and files already read may be replaced). Returns false after saying
// which.
bool CheckOutputs(const CommandLine& line, const std::vector<PictureJob>& jobs,
                  const std::vector<bool>& skipped) {
    std::vector<std::string> patterns;  // each output's -o name: a picture's outputs follow them
    for (const Step& step : line.steps) {
        if (IsOutputStep(step)) patterns.push_back(step.text);
    }
    std::map<std::string, size_t> pictureAt;  // a picture file -> its position in the run
    for (size_t i = 0; i < jobs.size(); ++i) {
        const std::string key = PictureKey(jobs[i]);
        if (!skipped[i] && !key.empty()) pictureAt.emplace(key, i);
    }
    // A palette file -> the last picture that reads it, and its name as that picture gives it.
    std::map<std::string, std::pair<size_t, std::string>> paletteReader;
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (skipped[i]) continue;
        for (const std::string& file : jobs[i].paletteFiles) paletteReader[SameFileKey(file)] = {i, file};
    }
    std::map<std::string, size_t> writer;  // an output file -> the picture that writes it
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (skipped[i]) continue;
        for (size_t k = 0; k < jobs[i].outputs.size(); ++k) {
            const std::string& out = jobs[i].outputs[k];
            if (out == kStandardOutputName) continue;
            const std::string key = SameFileKey(out);
            auto palette = paletteReader.find(key);
            if (palette != paletteReader.end() && palette->second.first > i) {
                PrintLine(std::string(kProgram) + ": " + PrintableName(out) + ": written for " +
                          PrintableName(jobs[i].name) + ", it would replace the palette file " +
                          PrintableName(palette->second.second) + " before " +
                          PrintableName(jobs[palette->second.first].name) +
                          " reads it; nothing was written\n");
                return false;
            }
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
                          "; nothing was written" + ClashAdvice(k < patterns.size() ? patterns[k] : "") +
                          "\n");
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

// The message for a file that could not be written.
std::string WriteFailure(const std::string& name, WriteResult result, const char* reason) {
    const std::string shown = std::string(kProgram) + ": " + PrintableName(name) + ": ";
    switch (result) {
        case kWriteReadOnly:
            return shown + "cannot write the file: " + reason + " (--force replaces it)\n";
        case kWriteNotAFile:
            return shown + "cannot write the file: " + reason + "; only regular files are replaced\n";
        case kWriteOk:
        case kWriteInterrupted:
        case kWriteCreateFailed:
        case kWriteWriteFailed:
        case kWriteAllocFailed:
            break;
    }
    return shown + "cannot write the file: " + reason + "\n";
}

// One picture in flight: its run's result, its files written to temporary files (staged)
// beside their targets, not yet renamed.
struct Slot {
    bool ready = false;
    PictureResult result;                // its files' bytes are released once staged
    std::vector<StagedWrite> staged;     // its files, in order, up to the first that failed
    std::vector<std::string> madeFolders;  // for each staged file, the first folder made for it
    std::string writeFailure;            // the message of the file that failed to stage
    bool interrupted = false;            // an interrupt stopped its staging
};

// Runs a picture and stages its files (making their folders): everything but the renames, so
// that nothing a later check or an earlier picture's read depends on is touched yet.
void PreparePicture(const CommandLine& line, PictureJob& job, Slot* slot) {
    slot->result = RunPicture(line, job);
    job = PictureJob{};  // run: nothing of it is needed any more
    if (!slot->result.ok) return;
    char reason[256] = "";
    for (PictureFile& file : slot->result.files) {
        std::string made;
        if (!MakeParentFolders(file.name.c_str(), &made, reason, sizeof reason)) {
            slot->writeFailure = std::string(kProgram) + ": " + PrintableName(file.name) +
                                 ": cannot make the folder for the file: " + reason + "\n";
            break;
        }
        StagedWrite staged;
        const WriteResult written = StageFileWrite(file.name.c_str(), file.bytes.data(),
                                                   file.bytes.size(), WriteOptions{line.force},
                                                   &staged, reason, sizeof reason);
        file.bytes = {};
        // A write that did not stage takes the folders made for it along (as far as they are
        // empty: another picture's file may be in them by now).
        if (written != kWriteOk) RemoveMadeFolders(file.name.c_str(), made);
        if (written == kWriteInterrupted) {
            slot->interrupted = true;
            break;
        }
        if (written != kWriteOk) {
            slot->writeFailure = WriteFailure(file.name, written, reason);
            break;
        }
        slot->staged.push_back(std::move(staged));
        slot->madeFolders.push_back(made);
    }
}

// Removes staged files from the k-th on, with the folders made for them.
void AbortStagedFrom(Slot* slot, size_t k) {
    for (size_t i = k; i < slot->staged.size(); ++i) {
        AbortStagedWrite(&slot->staged[i]);
        if (i < slot->madeFolders.size() && i < slot->result.files.size()) {
            RemoveMadeFolders(slot->result.files[i].name.c_str(), slot->madeFolders[i]);
        }
    }
    slot->staged.clear();
    slot->madeFolders.clear();
}

void AbortSlot(Slot* slot) { AbortStagedFrom(slot, 0); }

// Puts a prepared picture's output in place: its standard output, then its files renamed over
// their targets, in order. Appends the message of a failure to result.messages; *interrupted
// is set when an interrupt stopped a rename: that is the end of the run, not a failure.
bool CommitPicture(Slot* slot, bool* standardOutputBroken, bool* interrupted) {
    PictureResult& result = slot->result;
    if (!result.ok) return false;
    if (slot->interrupted) {  // its files are not all there: none is put in place
        AbortSlot(slot);
        *interrupted = true;
        return false;
    }
    char reason[256] = "";
    if (!result.standardOutput.empty() && !*standardOutputBroken &&
        !WriteStandardOutput(result.standardOutput.data(), result.standardOutput.size(), reason,
                             sizeof reason)) {
        *standardOutputBroken = true;
        result.messages += std::string(kProgram) + ": cannot write to standard output: " + reason + "\n";
        AbortSlot(slot);
        return false;
    }
    if (!result.standardError.empty() &&
        !WriteStandardError(result.standardError.data(), result.standardError.size(), reason,
                            sizeof reason)) {
        result.messages += std::string(kProgram) + ": cannot write to standard error: " + reason + "\n";
        AbortSlot(slot);
        return false;
    }
    for (size_t i = 0; i < slot->staged.size(); ++i) {
        StagedWrite& staged = slot->staged[i];
        const WriteResult written = CommitStagedWrite(&staged, reason, sizeof reason);
        if (written == kWriteOk) continue;
        AbortStagedFrom(slot, i);  // its own temporary file is gone already; its folders too now
        if (written == kWriteInterrupted) {
            *interrupted = true;
        } else {
            result.messages += WriteFailure(result.files[i].name, written, reason);
        }
        return false;
    }
    slot->staged.clear();
    slot->madeFolders.clear();
    result.messages += slot->writeFailure;
    return slot->writeFailure.empty();
}

// The pictures of a run, prepared on worker threads and committed on the calling thread in
// command-line order. At most `window` pictures are in flight (prepared or being prepared, not
// yet committed), counted from the first one not committed, so memory and staged files stay
// bounded whatever the length of the batch.
struct Pipeline {
    Pipeline(const CommandLine& line, std::vector<PictureJob>& jobs, const std::vector<bool>& skipped,
             size_t window)
        : line(line), jobs(jobs), skipped(skipped), window(window), slots(window),
          limit(window) {}

    const CommandLine& line;
    std::vector<PictureJob>& jobs;
    const std::vector<bool>& skipped;
    size_t window;
    std::vector<Slot> slots;  // picture i in slots[i % window]
    std::mutex mutex;
    std::condition_variable changed;
    size_t next = 0;   // the next picture to hand out
    size_t limit = 0;  // pictures below it may be handed out
    bool stop = false;

    Slot& SlotOf(size_t i) { return slots[i % window]; }

    void Work() {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            while (next < jobs.size() && skipped[next]) ++next;
            if (stop || next >= jobs.size()) return;
            if (InterruptSignal() != 0) {  // no new picture after an interrupt
                stop = true;
                changed.notify_all();
                return;
            }
            if (next >= limit) {
                changed.wait(lock);
                continue;
            }
            const size_t i = next++;
            lock.unlock();
            Slot prepared;
            PreparePicture(line, jobs[i], &prepared);
            prepared.ready = true;
            lock.lock();
            SlotOf(i) = std::move(prepared);
            changed.notify_all();
        }
    }

    // Waits until picture i is prepared; false when it never will be (an interrupt came before
    // it was handed out). An interrupt is a signal, which wakes no condition variable: the
    // wait looks at it every few milliseconds.
    bool WaitFor(size_t i) {
        std::unique_lock<std::mutex> lock(mutex);
        while (!SlotOf(i).ready || i >= next) {
            if ((stop || InterruptSignal() != 0) && i >= next) return false;
            changed.wait_for(lock, std::chrono::milliseconds(20));
        }
        return true;
    }

    // Picture i is committed: the window moves on past it.
    void Release(size_t i) {
        std::lock_guard<std::mutex> lock(mutex);
        SlotOf(i) = Slot{};
        limit = std::max(limit, i + 1 + window);
        changed.notify_all();
    }

    void Stop() {
        std::lock_guard<std::mutex> lock(mutex);
        stop = true;
        changed.notify_all();
    }
};

// How far a run came: for the interrupt line, the summary and the exit status.
struct Tally {
    size_t count = 0;  // the pictures on the command line
    size_t converted = 0;
    size_t failed = 0;
    size_t skipped = 0;  // named twice
};

int ReportInterrupt(const Tally& tally) {
    PrintLine(std::string(kProgram) + ": interrupted: " + std::to_string(tally.converted) +
              " converted, " + std::to_string(tally.failed) + " failed, " +
              std::to_string(tally.count - tally.skipped - tally.converted - tally.failed) +
              " not converted\n");
    return 128 + InterruptSignal();
}

// --jobs N, by default one per processor.
size_t JobLimit(const CommandLine& line) {
    return std::max<size_t>(
        line.jobs > 0 ? static_cast<size_t>(line.jobs) : std::thread::hardware_concurrency(), 1);
}

// Plan all: every picture loaded once, its outputs named. Planning writes nothing and one
// picture's plan does not depend on another's, so with several jobs the threads share it (it
// is about a sixth of a PNG batch's work); a name that can be read only once is planned here,
// in command-line order, as it would be with one job. False when an interrupt came.
bool PlanAll(const CommandLine& line, size_t jobLimit, std::vector<PictureJob>* jobs) {
    const size_t count = line.pictures.size();
    const size_t jobCount = std::min(jobLimit, count);
    if (jobCount > 1) {
        std::atomic<size_t> nextToPlan{0};
        auto plan = [&] {
            for (size_t i = nextToPlan++; i < count && InterruptSignal() == 0; i = nextToPlan++) {
                if (!ReadableOnlyOnce(line.pictures[i])) {
                    PlanPicture(line, line.pictures[i], &(*jobs)[i]);
                }
            }
        };
        std::vector<std::thread> planners;
        for (size_t w = 0; w < jobCount; ++w) planners.emplace_back(plan);
        for (std::thread& planner : planners) planner.join();
    }
    for (size_t i = 0; i < count; ++i) {
        if (InterruptSignal() != 0) return false;
        if (jobCount <= 1 || ReadableOnlyOnce(line.pictures[i])) {
            PlanPicture(line, line.pictures[i], &(*jobs)[i]);
        }
    }
    return true;
}

// A picture named twice (the same file by another name) is converted once: its later names
// are skipped, each with a note, and their plans dropped.
std::vector<bool> SkipNamedTwice(std::vector<PictureJob>* jobs, size_t* skippedCount) {
    std::vector<bool> skipped(jobs->size(), false);
    std::map<std::string, size_t> firstNamed;
    for (size_t i = 0; i < jobs->size(); ++i) {
        const std::string key = PictureKey((*jobs)[i]);
        if (key.empty()) continue;
        auto [it, added] = firstNamed.emplace(key, i);
        if (!added) {
            skipped[i] = true;
            ++*skippedCount;
            PrintLine(std::string(kProgram) + ": note: " + PrintableName((*jobs)[i].name) +
                      ": the same file as " + PrintableName((*jobs)[it->second].name) +
                      "; it is converted once\n");
            (*jobs)[i] = PictureJob{};
        }
    }
    return skipped;
}

// The pictures in flight at most: as many as keep their staged files within kMaxStagedWrites.
size_t WindowFor(const std::vector<PictureJob>& jobs) {
    size_t outputsPerPicture = 1;
    for (const PictureJob& job : jobs) {
        outputsPerPicture = std::max(outputsPerPicture, job.outputs.size());
    }
    return std::max<size_t>(1, static_cast<size_t>(kMaxStagedWrites) / outputsPerPicture);
}

// The commits, on the calling thread: prepared pictures gathered into a group, whose files are
// flushed together and then put in place picture by picture, in command-line order.
struct Commits {
    Pipeline& pipeline;
    Tally& tally;
    Progress progress;
    bool standardOutputBroken = false;
    bool stopped = false;       // an interrupt stopped a rename: the rest is removed
    std::vector<size_t> group;  // prepared pictures waiting for one flush of their files

    // The group's staged files flushed together (one syncfs per file system on Linux). A lone
    // file is left to its commit, which fsyncs it: a syncfs would also write back whatever
    // else is waiting on that file system.
    void FlushGroup() {
        std::vector<StagedWrite*> all;
        for (size_t i : group) {
            for (StagedWrite& staged : pipeline.SlotOf(i).staged) all.push_back(&staged);
        }
        if (all.size() <= 1) return;
        // FlushStagedWrites takes an array: it flushes copies, whose marks go back.
        std::vector<StagedWrite> flat;
        for (StagedWrite* staged : all) flat.push_back(*staged);
        char reason[256] = "";
        // A file it could not flush is flushed again, or its failure reported, by its commit.
        FlushStagedWrites(flat.data(), flat.size(), reason, sizeof reason);
        for (size_t k = 0; k < all.size(); ++k) all[k]->flushed = flat[k].flushed;
    }

    // Flushes the group, then commits its pictures in order and prints their messages.
    void CommitGroup() {
        FlushGroup();
        for (size_t i : group) {
            Slot& slot = pipeline.SlotOf(i);
            if (stopped) {
                AbortSlot(&slot);
                pipeline.Release(i);
                continue;
            }
            bool interruptedNow = false;
            const bool ok = CommitPicture(&slot, &standardOutputBroken, &interruptedNow);
            if (interruptedNow) {
                stopped = true;
                AbortSlot(&slot);
                pipeline.Release(i);
                continue;
            }
            if (!slot.result.messages.empty()) {
                progress.Clear();
                PrintLine(slot.result.messages);
            }
            ok ? ++tally.converted : ++tally.failed;
            pipeline.Release(i);
        }
        group.clear();
    }
};

// For each planned picture, in order: prepared (run, files staged) on the worker threads, then
// committed here. Picture i is committed only after every picture before it was read, as an
// output may replace a picture read earlier. The window keeps the staged files within
// kMaxStagedWrites. Returns true when standard output could not be written.
bool RunJobs(const CommandLine& line, std::vector<PictureJob>& jobs,
             const std::vector<bool>& skipped, size_t jobLimit, Tally* tally) {
    const size_t count = tally->count;
    const size_t window = WindowFor(jobs);
    const size_t workers = std::min({jobLimit, window, count - tally->skipped});
    Pipeline pipeline(line, jobs, skipped, window);
    std::vector<std::thread> threads;
    if (workers > 1) {
        for (size_t w = 0; w < workers; ++w) threads.emplace_back([&pipeline] { pipeline.Work(); });
    }
    // With one job the pictures are prepared here, one at a time, just before they are needed.
    auto prepared = [&](size_t i) {
        if (workers > 1) return pipeline.WaitFor(i);
        if (InterruptSignal() != 0) return false;
        PreparePicture(line, jobs[i], &pipeline.SlotOf(i));
        pipeline.SlotOf(i).ready = true;
        return true;
    };
    Commits commits{pipeline, *tally, {}, false, false, {}};
    commits.progress.enabled = count > 1 && StandardErrorIsTerminal();
    // A group is flushed when it fills half the window (the other half keeps the threads busy
    // meanwhile), and at the end.
    const size_t groupSize = std::max<size_t>(1, window / 2);
    for (size_t i = 0; i < count && !commits.stopped; ++i) {
        if (skipped[i]) continue;
        if (InterruptSignal() != 0) break;
        commits.progress.Show(i, count, line.pictures[i]);
        if (!prepared(i)) break;
        commits.group.push_back(i);
        if (commits.group.size() >= groupSize) commits.CommitGroup();
    }
    if (!commits.group.empty()) {
        if (InterruptSignal() != 0) commits.stopped = true;
        commits.CommitGroup();
    }
    pipeline.Stop();
    for (std::thread& thread : threads) thread.join();
    // What was prepared but not committed (after an interrupt) is removed.
    for (Slot& slot : pipeline.slots) AbortSlot(&slot);
    commits.progress.Clear();
    return commits.standardOutputBroken;
}

// The end of a run that was not interrupted: standard output finished, the summary of a batch,
// the exit status.
int Report(const Tally& tally, bool standardOutputBroken) {
    char reason[256] = "";
    if (!standardOutputBroken && !FinishStandardOutput(reason, sizeof reason)) {
        standardOutputBroken = true;
        PrintLine(std::string(kProgram) + ": cannot write to standard output: " + reason + "\n");
    }
    if (tally.count > 1) {
        std::fprintf(stderr, "%zu converted, %zu failed", tally.converted, tally.failed);
        if (tally.skipped > 0) std::fprintf(stderr, ", %zu named twice", tally.skipped);
        std::fputc('\n', stderr);
    }
    return tally.failed == 0 && !standardOutputBroken ? 0 : 1;
}

}  // namespace

int RunBatch(const CommandLine& line) {
    Tally tally;
    tally.count = line.pictures.size();
    const size_t jobLimit = JobLimit(line);
    std::vector<PictureJob> jobs(tally.count);
    if (!PlanAll(line, jobLimit, &jobs)) return ReportInterrupt(tally);
    const std::vector<bool> skipped = SkipNamedTwice(&jobs, &tally.skipped);
    if (!CheckOutputs(line, jobs, skipped)) return 2;
    const bool standardOutputBroken = RunJobs(line, jobs, skipped, jobLimit, &tally);
    if (InterruptSignal() != 0) return ReportInterrupt(tally);
    return Report(tally, standardOutputBroken);
}
