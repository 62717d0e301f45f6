// vramoria-convert's names: the program's own in its messages, file names as messages show
// them, and the names -o steps write.
#pragma once

#include <cstdint>
#include <string>

// The name every message of the tool begins with.
inline constexpr char kProgram[] = "vramoria-convert";

// "-" as a picture reads standard input; "-o -" writes standard output.
inline constexpr char kStandardInputName[] = "-";
inline constexpr char kStandardOutputName[] = "-";

// Shows a name in a message or in --info text: control characters escaped as ls -b does
// ("\n", "\033"), so that a name cannot break a line or drive the terminal.
std::string PrintableName(const std::string& name);

// A whole line for standard error: "vramoria-convert: FILE: message".
std::string MessageLine(const std::string& file, const std::string& message);

// The placeholders an -o name may hold; false with the usage error for anything else in braces.
bool CheckOutputPattern(const std::string& pattern, std::string* error);

// The name an -o step writes for a picture: {stem}, {name}, {dir} and {ext} (the BSAVE
// extension of `mode`, the mode the picture is in at that step) replaced.
std::string ExpandOutputName(const std::string& pattern, const std::string& picture, int32_t mode);
