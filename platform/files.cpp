// The parts of safe reading and writing that are the same on every platform: the whole-file
// write composed of its steps, and comparing file versions.
#include "platform/platform.h"

bool SameFileVersion(const FileVersion& a, const FileVersion& b) {
    return SameFile(a.identity, b.identity) && a.size == b.size &&
           a.modifiedSeconds == b.modifiedSeconds && a.modifiedNanoseconds == b.modifiedNanoseconds;
}

WriteResult WriteFileAtomicallyWith(const char* path, const void* data, size_t size,
                                    const WriteOptions& options, char* reason,
                                    size_t reasonCapacity) {
    StagedWrite staged;
    WriteResult result = StageFileWrite(path, data, size, options, &staged, reason, reasonCapacity);
    if (result != kWriteOk) return result;
    result = FlushStagedWrite(&staged, reason, reasonCapacity);
    if (result != kWriteOk) {
        AbortStagedWrite(&staged);
        return result;
    }
    return CommitStagedWrite(&staged, reason, reasonCapacity);
}

WriteResult WriteFileAtomically(const char* path, const void* data, size_t size, char* reason,
                                size_t reasonCapacity) {
    return WriteFileAtomicallyWith(path, data, size, WriteOptions{}, reason, reasonCapacity);
}
