// vramoria-convert: loads BSAVE pictures as the viewer does and runs the steps given on the
// command line on each in turn (mode and palette selection, palette files, conversions,
// information, BSAVE/BMP/PNG output).
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cli/steps.h"
#include "vramoria_version.h"
#include "platform/platform.h"

namespace {

// The same file named in two ways ("out/a.sc7", "./out//a.sc7") is still the same file.
std::string SameFileKey(const std::string& path) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return (ec ? std::filesystem::path(path) : absolute).lexically_normal().string();
}

// Refuses the command line when two pictures would write the same file, before anything is
// written. Returns false after saying which.
bool CheckDistinctOutputs(const std::vector<PictureJob>& jobs) {
    std::map<std::string, const PictureJob*> writer;  // output file -> the picture that writes it
    for (const PictureJob& job : jobs) {
        for (const std::string& out : job.outputs) {
            auto [it, added] = writer.emplace(SameFileKey(out), &job);
            // One picture named twice writes the same bytes twice: no clash.
            if (!added && SameFileKey(it->second->name) != SameFileKey(job.name)) {
                std::fprintf(stderr,
                             "vramoria-convert: %s: would be written for both %s and %s; nothing "
                             "was written (use {stem} or {name} in the -o name)\n",
                             out.c_str(), it->second->name.c_str(), job.name.c_str());
                return false;
            }
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    std::string error;
    if (!ParseCommandLine(argc, argv, &line, &error)) {
        std::fprintf(stderr, "vramoria-convert: %s\nTry 'vramoria-convert --help'.\n", error.c_str());
        return 2;
    }
    if (line.help) {
        PrintUsage();
        return 0;
    }
    if (line.version) {
        std::printf("vramoria-convert %s\n", kVramoriaVersion);
        return 0;
    }
    const size_t count = line.pictures.size();
    // Every picture is loaded once and its steps planned, so that clashes are known before
    // anything is written.
    std::vector<PictureJob> jobs(count);
    for (size_t i = 0; i < count; ++i) PlanPicture(line, line.pictures[i], &jobs[i]);
    if (count > 1 && !CheckDistinctOutputs(jobs)) return 2;
    const bool progress = count > 1 && StandardErrorIsTerminal();
    size_t converted = 0;
    size_t failed = 0;
    for (size_t i = 0; i < count; ++i) {
        if (progress) {
            std::fprintf(stderr, "\r\033[K[%zu/%zu] %s", i + 1, count, line.pictures[i].c_str());
            std::fflush(stderr);
        }
        // Each picture starts from its freshly loaded state.
        bool ok = RunPicture(line, jobs[i]);
        if (progress && !ok) std::fprintf(stderr, "\r\033[K");  // the message gets a clean line
        ok ? ++converted : ++failed;
    }
    if (progress) std::fprintf(stderr, "\r\033[K");
    if (count > 1) std::fprintf(stderr, "%zu converted, %zu failed\n", converted, failed);
    return failed == 0 ? 0 : 1;
}
