// vramoria-convert: the run of a command line's steps on one picture, planned first and run
// later.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/options.h"
#include "platform/platform.h"

// One picture of a run as planned. It was loaded once and every step tried without printing or
// writing, which names its outputs and finds a failing step; the picture itself is not kept,
// so a batch holds names, not pictures.
struct PictureJob {
    std::string name;
    bool readOnce = false;             // standard input or a pipe: cannot be read again, so
    std::vector<uint8_t> bytes;        // its bytes are kept until its run
    FileVersion version;               // a regular file: read again only if still this version
    std::vector<std::string> outputs;  // what its -o steps write, in order ("-": a stream)
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
    std::vector<uint8_t> standardError;   // its "-o /dev/stderr" bytes
    std::vector<PictureFile> files;       // its -o files, in order; empty when it failed
};

// Loads the picture and plans its steps.
void PlanPicture(const CommandLine& line, const std::string& name, PictureJob* job);

// Runs a planned picture's steps: reads the file again (only if it is still the version
// planned; kept bytes are taken and released), and returns its text and files. A picture whose
// plan found a failure, or whose run fails, returns its message and no files.
// Safe to run for different jobs on several threads.
PictureResult RunPicture(const CommandLine& line, PictureJob& job);
