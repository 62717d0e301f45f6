// vramoria-convert: loads a BSAVE picture as the viewer does and runs the steps given on the
// command line in order (mode selection, palette selection, palette files, information).
#include <cstdio>
#include <string>

#include "cli/steps.h"

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
    bool ok = true;
    for (const std::string& picture : line.pictures) {
        if (!RunSteps(line, picture)) ok = false;
    }
    return ok ? 0 : 1;
}
