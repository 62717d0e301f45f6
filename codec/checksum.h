// The checksums of zlib streams and PNG chunks, over size bytes at data, continuing from
// value (1 starts an Adler-32, 0 a CRC-32).
#pragma once

#include <cstddef>
#include <cstdint>

uint32_t Adler32(uint32_t value, const uint8_t* data, size_t size);
uint32_t Crc32(uint32_t value, const uint8_t* data, size_t size);
