// Helpers shared by the unit tests: scratch files, BSAVE images, the real pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A fresh, empty folder for one test (removed by the next call of the same test name).
std::string ScratchDir(const std::string& name);

void WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);
bool FileExists(const std::string& path);

// A plain BSAVE file: header FE start end 0000, then body.
Bytes PlainBsave(uint16_t start, uint16_t end, const Bytes& body);
// A compressed BSAVE file: header FD 0000 length 0000, then the runs.
Bytes CompressedBsave(const Bytes& runs);

// Folder of the real pictures beside the repository (VRAMORIA_PICTURES overrides), or "" when
// it is absent.
std::string SharedPictures();

struct Picture;
// Loads a picture file as vramoria-convert does (every mode, the pattern modes too): true on
// success.
bool LoadAsConverter(const std::string& path, Picture* picture);

// The viewer's full view of a picture as 8-bit RGB; *width receives its width.
Bytes RenderFullView(const Picture& picture, int32_t* width);

// The sRGB curve (IEC 61966-2-1) from 0..1 to linear light, written out here on its own so
// that tests do not check the importer's curve against itself.
double SrgbToLinearReference(double c);
