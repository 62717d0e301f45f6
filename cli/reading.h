// vramoria-convert's reading: pictures, palette files and images to import, from files, from
// standard input and from pipes the shell opened.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/options.h"
#include "image/msx_file.h"
#include "image/picture.h"
#include "platform/platform.h"

// Standard input and a pipe the shell opened for this process ("/dev/fd/63"): names that may be
// readable only once, so a batch plans them in command-line order on its own thread.
bool ReadableOnlyOnce(const std::string& name);

// Reads a picture's bytes: the first kBsaveMaxFileBytes of a BSAVE picture (all that can
// matter), a PNG or BMP picture whole. Standard input ("-") and a pipe the shell opened for
// this process (/dev/fd/N, as "<(command)" names it) can be read only once: they are read
// here and *readOnce is set. Anything else must be a regular file (a FIFO or a device is
// refused without blocking) and, when expected is given, still the version planned (*version,
// may be null, receives the version read). False with the tool's message in *failure.
bool ReadPicture(const std::string& name, std::vector<uint8_t>* bytes, FileVersion* version,
                 const FileVersion* expected, bool* readOnce, std::string* failure);

// A picture from its bytes: a BSAVE picture as the viewer opens it, or, with --import, a PNG
// or BMP picture imported into a mode. On failure *failure says why; *warning (may be null)
// receives damage an imported image survived ("" for none).
bool LoadPictureBytes(const CommandLine& line, const std::string& name,
                      const std::vector<uint8_t>& bytes, Picture* picture, std::string* failure,
                      std::string* warning = nullptr);

// True when the bytes are a PNG or BMP picture rather than a BSAVE one.
bool IsImage(const std::vector<uint8_t>& bytes);

// --palette-file FILE: reads the palettes into the picture and selects the first. False with
// the tool's message in *failure.
bool LoadPaletteFile(const std::string& file, Picture* picture, std::string* failure);

// The palette files a picture's run reads: a .sr5/.sr7 picture's companion (found as the loader
// finds it, the same name in another case too) and every --palette-file. A batch must not
// replace one of them before a later picture has read it.
std::vector<std::string> PaletteFilesRead(const CommandLine& line, const std::string& name,
                                          bool bsave);
