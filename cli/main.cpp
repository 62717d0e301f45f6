// vramoria-convert: loads BSAVE pictures as the viewer does and runs the steps given on the
// command line on each in turn (mode and palette selection, palette files, conversions,
// information, BSAVE/BMP/PNG output).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/names.h"
#include "cli/options.h"
#include "vramoria_version.h"
#include "platform/platform.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char** argv) {
#ifdef __GLIBC__
    // Each picture of a batch allocates and frees a few hundred KiB (its VRAM, bitmap, PNG
    // rows and compressor). By default glibc serves blocks of 128 KiB and more with fresh
    // mappings and gives freed memory back at once, so every picture faulted its buffers in
    // anew: about 5,000 page faults over 360 pictures, against 700 when the memory is kept.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
    // From here on Ctrl+C and SIGTERM remove the temporary file being written and let the batch
    // stop between pictures; a closed pipe is an error to report, not a silent death.
    InstallInterruptCleanup();
#ifdef _WIN32
    // The C runtime's argv is in the ANSI code page, with "?" or a look-alike for every other
    // character: a name such as "日本語.sc5" under code page 1252 would name no file, and
    // "café.sc5" under 932 another one ("cafe.sc5"). The words come again from the UTF-16
    // command line, as UTF-8, the form of every name inside the program.
    std::vector<std::string> words;
    if (!Utf8CommandLine(&words) || words.empty()) {
        std::fprintf(stderr, "%s: the command line holds a name that is not valid Unicode\n",
                     kProgram);
        return 2;
    }
    std::vector<char*> pointers;
    for (std::string& word : words) pointers.push_back(&word[0]);
    pointers.push_back(nullptr);
    argc = static_cast<int>(words.size());
    argv = pointers.data();
#endif
    CommandLine line;
    std::string error;
    if (!ParseCommandLine(argc, argv, &line, &error)) {
        // The message may quote a word of the command line: shown with its control characters
        // escaped, as every name is.
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", kProgram, PrintableName(error).c_str(),
                     kProgram);
        return 2;
    }
    if (line.help) {
        // The text is longer than stdio's buffer: a failed write may come while printing it,
        // and its reason then is in errno only.
        errno = 0;
        PrintUsage();
        const int error = std::ferror(stdout) ? errno : 0;
        char reason[256] = "";
        if (!FinishStandardOutput(reason, sizeof reason)) {
            std::fprintf(stderr, "%s: cannot write to standard output: %s\n", kProgram,
                         error != 0 ? std::strerror(error) : reason);
            return 1;
        }
        return 0;
    }
    if (line.version) {
        std::printf("%s %s\n", kProgram, kVramoriaVersion);
        char reason[256] = "";
        if (!FinishStandardOutput(reason, sizeof reason)) {
            std::fprintf(stderr, "%s: cannot write to standard output: %s\n", kProgram, reason);
            return 1;
        }
        return 0;
    }
    return RunBatch(line);
}
