// vramoria-convert's batch: every picture planned first (its outputs named, clashes refused
// before anything is written), then each run and its files written, in command-line order.
#pragma once

#include "cli/options.h"

// Runs the command line's pictures; returns the exit status (0 all converted, 1 a picture
// failed or standard output could not be written, 2 an output clash or an output that would
// replace a later picture, 128 + signal after an interrupt).
int RunBatch(const CommandLine& line);
