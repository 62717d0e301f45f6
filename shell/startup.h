// What the viewer does with its command line before it loads a picture, and the title it shows
// for it. Portable, so that the tests check it natively too.
#pragma once

#include <cstdint>

// The file-name buffer of the Win32 ANSI file functions (MAX_PATH) and the window title built
// from a name: "<name> - Vramoria".
constexpr int32_t kFileNameCapacity = 260;
constexpr int32_t kTitleCapacity = 276;
constexpr int32_t kDisplayNameCapacity = 200;

// What follows the program name and its blanks on a command line.
const char* CommandLineTail(const char* commandLine);

// The picture's name in a command-line tail: a quoted name ends at its closing quote, an
// unquoted one is the whole rest of the line, blanks included. False, with name empty, when the
// tail is empty (the viewer then asks with the Open dialog) or when the name does not fit the
// 260-byte buffer (at most 259 characters).
enum ArgumentName : int32_t { kArgumentNone, kArgumentName, kArgumentTooLong };
ArgumentName PictureNameFromTail(const char* tail, char (&name)[kFileNameCapacity]);

// "<display name> - Vramoria" for a picture name (the whole name where the system gives no
// display name, cut to fit).
void BuildWindowTitle(const char* name, char (&title)[kTitleCapacity]);
