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
#include <string>
#include <vector>

#include "image/picture.h"
#include "platform/platform.h"

constexpr int32_t kBsaveHeaderBytes = 7;
// Largest file prefix that loading can use: the header and a 64 KiB plain body.
constexpr int32_t kBsaveMaxFileBytes = kBsaveHeaderBytes + 0x10000;

// Why a load ended. The viewer maps these to its string table, the command-line tool to its
// own English texts.
enum LoadResult : int32_t {
    kLoadOk = 0,
    kLoadCannotOpen,   // missing, unreadable, or a folder
    kLoadNotBsave,     // 1 to 6 bytes, a bad header, or a compressed body shorter than announced
};

// Offset of the extension in name: after the last "." that follows the last separator (the
// platform's: see IsPathSeparator), or the length of the name when there is none.
int32_t ExtensionOffset(const char* name);

// Reads the 7-byte header from the first bytes of a file (size >= 7).
BsaveHeader ParseBsaveHeader(const uint8_t* bytes);

// Decodes a compressed body into output (65536 bytes); returns the bytes produced, 0..65536.
// *unfinished (may be null) receives how many bytes a run cut off by the end of the body
// still owed (0 when the body ends between runs).
int32_t DecodeBsaveRuns(const uint8_t* input, int32_t length, uint8_t* output,
                        int32_t* unfinished = nullptr);

// Why a file is not a BSAVE picture, in words ("type byte 0x64"), and how many bytes a picture
// that loads lacks (a body shorter than its header says, a compressed body that stops mid-run).
struct LoadProblem {
    char reason[96] = "";
    int32_t missingBytes = 0;
};

// Memory in: a whole file (or its first kBsaveMaxFileBytes bytes) into *picture's bytes,
// loadedHeader and missingBytes. On failure *picture is unchanged and *problem (may be null)
// says why. Mode and palette state are not touched.
LoadResult LoadBsaveBytes(const uint8_t* bytes, size_t size, Picture* picture,
                          LoadProblem* problem = nullptr);

// Raw VRAM dumps: the bytes of VRAM from address 0 with no header (.SR8, .SC5, .sca dumps of
// emulators and tools), most of them partial screens. VRAM holds its screens in pages: SET PAGE
// n shows 32 KiB page n in SCREEN 5 and 6 (GRAPHIC4/5, four pages in 128 KiB) and 64 KiB page n
// in SCREEN 7 to 12 (GRAPHIC6/7, two pages); a pattern mode's dump is an MSX1's 16 KiB.
int32_t RawPageBytes(ScreenMode mode);
// Pages of a dump of size bytes in mode, the last one possibly partial (0 for an empty dump).
int32_t RawPageCount(size_t size, ScreenMode mode);

// True when the bytes start as a BSAVE file does (type 0xFE or 0xFD): such a file that does not
// load is damaged, not a raw dump.
bool StartsLikeBsave(const uint8_t* bytes, size_t size);

// Memory in: page `page` of a raw dump into *picture in mode (dataSize: the bytes of that page
// the dump holds), its palette table selected as a loaded file's would be. False, with *picture
// unchanged, when the dump has no such page.
bool LoadRawVramBytes(const uint8_t* bytes, size_t size, ScreenMode mode, int32_t page,
                      Picture* picture);

// BASIC's COPY (x1,y1)-(x2,y2) TO "file" blocks: a 2-byte width and a 2-byte height in pixels
// (little-endian), then the pixels row by row, packed as the mode packs them with no padding
// between rows (100 x 100 in SCREEN 5: 4 + 5,000 bytes). True when size is exactly that of a
// block of at most a screen in a bitmap mode (and the bytes are no exact-size BSAVE file).
bool IsCopyBlock(const uint8_t* bytes, size_t size, ScreenMode mode);

// Memory in: the block into *picture in mode, at the top left of an otherwise black screen,
// the standard palette selected (a block carries none). False, with *picture unchanged, for
// bytes that are no such block.
bool LoadCopyBlockBytes(const uint8_t* bytes, size_t size, ScreenMode mode, Picture* picture);

// The name of a picture's companion palette file: a .sr5 or .sr7 picture's name with the
// palette extension (pl5, pl7) in place of its own; "" for every other name.
std::string CompanionPaletteName(const char* name);

// Memory in: a picture file's bytes (at most kBsaveMaxFileBytes of them) as if they were the
// file `name`: its extension picks the mode, and companion (null: there is none) holds the
// first bytes of its companion palette file, which a .sr5/.sr7 picture takes as the viewer
// takes that file (one too short to hold a palette is ignored). The viewer reads in its six
// bitmap modes; vramoria-convert in the pattern modes too (by extension, or a BSAVE range of
// exactly their tables: PatternModeOfRange). On failure *picture is unchanged.
LoadResult LoadScreenBytes(const char* name, const uint8_t* bytes, size_t size,
                           const std::vector<uint8_t>* companion, Picture* picture,
                           LoadProblem* problem = nullptr, ModeFamily family = kBitmapModes);

// Reads the companion palette file of the picture `name` from the disk (the same name in
// another case too, where names distinguish case): its first kPaletteFileReadBytes into *bytes.
// False when the name has none or it cannot be opened.
bool ReadCompanionPalette(const char* name, std::vector<uint8_t>* bytes);

// Loads a picture file as the viewer opens one: reads it, detects the mode from the name,
// selects the internal palette and reads a companion palette file. On failure *picture is
// unchanged.
LoadResult LoadScreenFileNamed(const char* name, Picture* picture, LoadProblem* problem = nullptr);

// LoadScreenBytes for a file's bytes already read, its companion palette file read from the disk.
LoadResult LoadScreenFileBytes(const char* name, const uint8_t* bytes, size_t size, Picture* picture,
                               LoadProblem* problem = nullptr, ModeFamily family = kBitmapModes);

// The palettes' part of a palette file: after the header of a plain BSAVE file whose range is a
// whole number of palettes (BASIC's BSAVE "X.PL5",&H7680,&H769F,S of the palette table), the
// bytes of that range that the file holds; otherwise the whole file (the headerless files of
// paint programs).
struct PaletteFileBody {
    size_t offset;
    size_t size;
};
PaletteFileBody FindPaletteFileBody(const uint8_t* bytes, size_t size);

// Size of the plain BSAVE file that saving writes in a mode: the mode's saved bytes + 7
// (30375 for SCREEN 5 and 6, 64167 for SCREEN 7 to 12, 14343 for SCREEN 2 and 4, 8263 for
// SCREEN 1 and 3).
int32_t BsaveFileSize(int32_t mode);

// Writes the plain BSAVE file image of the picture's mode into out (BsaveFileSize bytes):
// header FE 0000 S-1 0000 and VRAM 0..S-1 (S = the mode's savedBytes), the 32 bytes at the
// palette table L replaced by the current palette. For the bitmap modes S = L + 32: VRAM
// 0..L-1, then the palette. Returns the number of bytes written.
int32_t BuildBsaveImage(const Picture& picture, uint8_t* out);

// Save As: writes the BSAVE file image to path, completely or not at all (an existing file is
// replaced only after every byte is written, and is untouched on failure). *reason (may be
// null) receives the system's words for a failure.
WriteResult SaveScreenFileTo(const Picture& picture, const char* path, char* reason,
                             size_t reasonCapacity);
