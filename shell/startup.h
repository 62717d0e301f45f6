// What the viewer does with its command line before it loads a picture, and the title it shows
// for it. Portable, so that the tests check it natively too.
#pragma once

#include <cstdint>

// Names are UTF-8 inside the program. Windows allows MAX_PATH (260) UTF-16 units with the
// terminating zero; one unit is at most three UTF-8 bytes (a four-byte character is two units),
// so a buffer of 3 * 259 + 1 bytes holds every name Windows accepts. The window title built
// from a name: "<name> - Vramoria".
constexpr int32_t kMaxNameUnits = 259;
constexpr int32_t kFileNameCapacity = 3 * kMaxNameUnits + 1;
constexpr int32_t kTitleCapacity = 3 * 276;
constexpr int32_t kDisplayNameCapacity = 600;

// What follows the program name and its blanks on a command line.
const char* CommandLineTail(const char* commandLine);

// The picture's name in a command-line tail: a quoted name ends at its closing quote, an
// unquoted one is the whole rest of the line, blanks included. False, with name empty, when the
// tail is empty (the viewer then asks with the Open dialog) or when the name is longer than
// Windows allows (259 UTF-16 units).
enum ArgumentName : int32_t { kArgumentNone, kArgumentName, kArgumentTooLong };
ArgumentName PictureNameFromTail(const char* tail, char (&name)[kFileNameCapacity]);

// "<display name> - Vramoria" for a picture name (the whole name where the system gives no
// display name, cut to fit at a character boundary: the title stays UTF-8).
void BuildWindowTitle(const char* name, char (&title)[kTitleCapacity]);
