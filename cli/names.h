// vramoria-convert's names: the program's own in its messages, file names as messages show
// them, and the names -o steps write.
#pragma once

#include <cstdint>
#include <string>

#include "info/info.h"

// The name every message of the tool begins with.
inline constexpr char kProgram[] = "vramoria-convert";

// "-" as a picture reads standard input; "-o -" writes standard output. In a picture's list of
// outputs "-" stands for a stream (standard output or error), never for a file: an -o name
// that expands to "-" is the file "./-".
inline constexpr char kStandardInputName[] = "-";
inline constexpr char kStandardOutputName[] = "-";

// The stream an -o word names as it is written: 1 for "-" and standard output's own names
// (/dev/stdout, /dev/fd/1, /proc/self/fd/1), 2 for standard error's (/dev/stderr, /dev/fd/2,
// /proc/self/fd/2), 0 for anything else (a file). Those names lead through symlinks to the
// file a stream is redirected to: written as files, the rename would replace that file.
int32_t OutputStreamOf(const std::string& word);

// A whole line for standard error: "vramoria-convert: FILE: message".
std::string MessageLine(const std::string& file, const std::string& message);

// The placeholders an -o name may hold; false with the usage error for anything else in braces.
bool CheckOutputPattern(const std::string& pattern, std::string* error);

// The name an -o step writes for a picture: {stem}, {name}, {dir} and {ext} (the BSAVE
// extension of `mode`, the mode the picture is in at that step) replaced. A name that comes out
// as "-" is given as "./-": only the literal word "-o -" writes standard output.
std::string ExpandOutputName(const std::string& pattern, const std::string& picture, int32_t mode);
