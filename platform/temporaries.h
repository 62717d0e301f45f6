// Inside the platform layer: the registry of the temporary files being written, which the
// interrupt handlers (a POSIX signal handler, a Windows console control handler on a thread of
// its own) remove, and the random part of their names.
//
// A fixed array, so that a handler touches no allocator: a slot is claimed while its path is
// copied in, and only a registered slot, whose path is complete, is ever read by a handler.
#pragma once

#include <cstdint>
#include <string>

// A slot for path, -1 when all are taken or the path is too long.
int32_t ClaimTemporarySlot(const std::string& path);
void ReleaseTemporarySlot(int32_t slot);

// How many slots are registered now.
int32_t RegisteredTemporaries();

// Calls remove on the path of every registered slot; async-signal-safe when remove is.
void RemoveTemporaries(void (*remove)(const char* path));

// Six characters from [A-Za-z0-9], mixed from seed (time, process, a counter); unpredictable
// enough that creating the file exclusively rarely needs another try.
void RandomSuffix(uint64_t seed, char out[7]);
