// Inside the platform layer: the steps of a staged write that only the system does differently,
// for the shared order of those steps in files.cpp (creating the temporary file beside the
// target, committing it, aborting it). Each platform file implements them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"

enum TemporaryOpen : int32_t {
    kTemporaryOpened = 0,  // created, *handle set
    kTemporaryExists,      // the name is taken: try another
    kTemporaryFailed,      // any other failure, *reason set
};

// Creates path exclusively for writing (never opening a file that exists).
TemporaryOpen OpenNewTemporary(const char* path, intptr_t* handle, char* reason,
                               size_t reasonCapacity);

// The system's words for a name that found no slot in the interrupt registry: the name is too
// long for the system, or too many files are being written at once.
void SetNoSlotReason(const std::string& temporary, char* reason, size_t reasonCapacity);

// The system's words for "the file exists" (100 random names were all taken).
void SetExistsReason(char* reason, size_t reasonCapacity);

// Closes the temporary file's handle (once; -1 afterwards). kWriteWriteFailed, with *reason,
// where the system reports an error on closing (POSIX: a delayed write error); reason may be
// null when the caller ignores the outcome.
WriteResult CloseTemporaryHandle(StagedWrite* staged, char* reason, size_t reasonCapacity);

// Removes a temporary file by name.
void RemoveTemporaryFile(const char* path);

// Puts the flushed and closed temporary file in the target's place: kWriteOk, or the failure
// (kWriteInterrupted when an interrupt came first) with the temporary file left for the caller
// to remove.
WriteResult ReplaceTarget(StagedWrite* staged, char* reason, size_t reasonCapacity);

// Six random name characters for the next temporary file.
void NameSuffix(char* out);

// Creates a temporary file ".vr" + 6 random characters in folder (which ends in a separator, or
// is empty), registered for the interrupt cleanup before it exists, so that an interrupt between
// its creation and its registration cannot leave it behind. Sets staged->temporary, ->slot and
// ->handle.
WriteResult CreateTemporaryBeside(const std::string& folder, StagedWrite* staged, char* reason,
                                  size_t reasonCapacity);
