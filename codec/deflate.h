// A fast deflate (RFC 1951) encoder in a zlib (RFC 1950) wrapper, for PNG image data.
//
// Built for the rows of MSX pictures: besides a small hash table of earlier positions it tries
// the same bytes one row up, the most common repetition in pixel art, so that it compresses
// about as well as zlib's level 4 in half the time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Compresses size bytes at data as one zlib stream, appended to *out. rowBytes, when nonzero,
// is the distance from a byte to the same byte one row up (a PNG row with its filter byte).
void DeflateZlib(const uint8_t* data, size_t size, size_t rowBytes, std::vector<uint8_t>* out);
