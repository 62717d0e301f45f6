// Reading any MSX picture file from memory as vramoria-convert reads it: a BSAVE picture (the
// pattern modes too), a block saved by BASIC's COPY, or a raw VRAM dump; and the words that say
// why one did not load or what a loaded one lacks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/bsave.h"
#include "image/picture.h"

// Raw VRAM dumps are read up to 1 MiB: 128 KiB is an MSX2's VRAM, larger dumps hold maps of
// several screens. Of a file that starts like a BSAVE file only the first kBsaveMaxFileBytes
// can matter.
constexpr size_t kRawDumpMaxBytes = size_t{1} << 20;

// How a file is read: rawDump reads any file as raw VRAM (--raw), page is the raw dump's VRAM
// page (--page), rawMode the mode a raw dump is read in (-1: the name's, else the size rule's).
struct MsxReading {
    bool rawDump = false;
    int32_t page = 0;
    int32_t rawMode = -1;
};

// Memory in: the file `name`'s bytes into *picture. A COPY block is known by its exact size for
// the mode its name gives; a file that is no BSAVE file, does not start like one and whose
// extension names a mode (a palette file's excepted) is a raw dump. companion (null: none) is
// the first bytes of a .sr5/.sr7 picture's palette file (see LoadScreenBytes). False, with
// *picture unchanged and the converter's words in *failure, when nothing loads.
bool LoadMsxFileBytes(const std::string& name, const std::vector<uint8_t>& bytes,
                      const MsxReading& reading, const std::vector<uint8_t>* companion,
                      Picture* picture, std::string* failure);

// Why a picture did not load, in vramoria-convert's words.
const char* LoadResultMessage(LoadResult result);

// What a loaded picture lacks, for a warning: bytes its header promised, or any at all ("" for
// a whole picture); or how it was read (a COPY block, a raw dump).
std::string LoadWarning(const Picture& picture);
