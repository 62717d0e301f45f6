// BSAVE picture files.
//
// Every file begins with a 7-byte header, 16-bit fields little-endian:
//
//   offset 0  type           0xFE plain (what MSX-BASIC's BSAVE ...,S writes from VRAM)
//                            0xFD run-length compressed (.sr5/.sr7/.sr8/.srs of MSX paint programs)
//   offset 1  startAddress   plain: VRAM address of the first byte;   compressed: must be 0
//   offset 3  endAddress     plain: last address, inclusive, >= start; compressed: body length
//   offset 5  execAddress    ignored
//
// A plain body is the VRAM bytes startAddress..endAddress. A compressed body decodes from
// address 0 on, at most 64 KiB:
//
//   0x01..0x0F n, v    v repeated n times
//   0x00 n, v          v repeated n times, n = 0 meaning 256
//   0x10..0xFF         the byte itself, once
//
// Bytes after either body are ignored. Saving always writes the plain form of the current mode:
// VRAM 0..L-1 and the current palette at L (L = 0x7680 or 0xFA80), L + 39 bytes in all.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/vram.h"
#include "platform/platform.h"

constexpr int32_t kBsaveHeaderBytes = 7;
constexpr uint8_t kBsavePlain = 0xFE;
constexpr uint8_t kBsaveCompressed = 0xFD;
// Largest file prefix that loading can use: the header and a 64 KiB plain body.
constexpr int32_t kBsaveMaxFileBytes = kBsaveHeaderBytes + 0x10000;

struct BsaveHeader {
    uint8_t type;
    uint16_t startAddress;
    uint16_t endAddress;
    uint16_t execAddress;
};

// Why a load ended. Mapped to the texts users see in one place (LoadResultStringId and the
// command-line tool's English table).
enum LoadResult : int32_t {
    kLoadOk = 0,
    kLoadCancelled,    // the Open dialog was cancelled: no message
    kLoadCannotOpen,   // missing, unreadable, a folder, or a name too long for 259 characters
    kLoadNotBsave,     // 1 to 6 bytes, a bad header, or a compressed body shorter than announced
};

// String-table id of a load failure's message (3 or 4), 0 for none.
int32_t LoadResultStringId(LoadResult result);

// The file-name buffer (MAX_PATH) and the window title built from it: "<name> - Vramoria".
constexpr int32_t kFileNameCapacity = 260;
constexpr int32_t kTitleCapacity = 276;
constexpr int32_t kDisplayNameCapacity = 200;
extern char fileName[kFileNameCapacity];
extern char windowTitle[kTitleCapacity];

// The header of the picture last loaded; type 0 after an empty file.
extern BsaveHeader loadedHeader;

// What follows the program name and its blanks on a command line.
const char* CommandLineTail(const char* commandLine);

// Offset of the extension in name: after the last "." that follows the last separator, or the
// length of the name when there is none.
int32_t ExtensionOffset(const char* name);

// Reads the 7-byte header from the first bytes of a file (size >= 7).
BsaveHeader ParseBsaveHeader(const uint8_t* bytes);

// Decodes a compressed body into output (65536 bytes); returns the bytes produced, 0..65536.
int32_t DecodeBsaveRuns(const uint8_t* input, int32_t length, uint8_t* output);

// Memory in: a whole file (or its first kBsaveMaxFileBytes bytes) into the image store. On
// success sets loadedHeader; on failure changes nothing.
LoadResult LoadBsaveBytes(const uint8_t* bytes, size_t size);

// Sets screenMode from the extension (and, for none that names a mode, from dataSize); for
// sr5/sr7 reads the companion palette file, whose name it forms in fileName.
void DetectScreenMode(char* extension, int32_t dataSize);

// Loads a picture as the viewer does at start-up: the argument is a command-line tail (possibly
// quoted); an empty one asks with the Open dialog where the platform has one.
LoadResult LoadScreenFile(const char* argument);

// The same for a name that is used exactly as given (a command-line tool's argv entry).
LoadResult LoadScreenFileNamed(const char* name);

// Size of the plain BSAVE file that saving writes in a mode: palette-table address + 39
// (30375 for SCREEN 5 and 6, 64167 for the others).
int32_t BsaveFileSize(int32_t mode);

// Writes the plain BSAVE file image of the current mode into out (BsaveFileSize(screenMode)
// bytes): header FE 0000 L+31 0000, VRAM 0..L-1, then the 32 bytes of CurrentPalette().
// Returns the number of bytes written.
int32_t BuildBsaveImage(uint8_t* out);

// Save As: writes the BSAVE file image of the current mode to path, completely or not at all
// (an existing file is replaced only after every byte is written, and is untouched on failure).
// *reason (may be null) receives the system's words for a failure.
WriteResult SaveScreenFileTo(const char* path, char* reason, size_t reasonCapacity);
