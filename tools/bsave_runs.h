// Run-length encoding of BSAVE bodies in the form MSX paint programs write (type 0xFD):
//   0x01..0x0F n, v   v repeated n times
//   0x00 n, v         v repeated n times (n = 0 means 256)
//   0x10..0xFF        the byte itself, once
// The viewer only reads this form; the sample generator and the tests write it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

std::vector<uint8_t> EncodeBsaveRuns(const uint8_t* data, size_t size);
