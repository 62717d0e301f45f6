// The parts of safe reading and writing that are the same on every platform: the order of a
// staged write's steps, the whole-file write composed of them, and comparing file versions.
#include "platform/platform.h"
#include "platform/staging.h"
#include "platform/temporaries.h"

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

WriteResult CreateTemporaryBeside(const std::string& folder, StagedWrite* staged, char* reason,
                                  size_t reasonCapacity) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[7];
        NameSuffix(suffix);
        staged->temporary = folder + ".vr" + suffix;
        staged->slot = ClaimTemporarySlot(staged->temporary);
        if (staged->slot < 0) {
            SetNoSlotReason(staged->temporary, reason, reasonCapacity);
            return kWriteCreateFailed;
        }
        const TemporaryOpen opened =
            OpenNewTemporary(staged->temporary.c_str(), &staged->handle, reason, reasonCapacity);
        if (opened == kTemporaryOpened) return kWriteOk;
        ReleaseTemporarySlot(staged->slot);
        staged->slot = -1;
        if (opened == kTemporaryFailed) return kWriteCreateFailed;
    }
    SetExistsReason(reason, reasonCapacity);
    return kWriteCreateFailed;
}

WriteResult CommitStagedWrite(StagedWrite* staged, char* reason, size_t reasonCapacity) {
    // Complete or absent after a crash: never renamed before its bytes are on the disk.
    WriteResult result = FlushStagedWrite(staged, reason, reasonCapacity);
    if (result == kWriteOk) result = CloseTemporaryHandle(staged, reason, reasonCapacity);
    if (result == kWriteOk) result = ReplaceTarget(staged, reason, reasonCapacity);
    if (result != kWriteOk) {
        AbortStagedWrite(staged);
        return result;
    }
    ReleaseTemporarySlot(staged->slot);
    staged->slot = -1;
    return kWriteOk;
}

void AbortStagedWrite(StagedWrite* staged) {
    CloseTemporaryHandle(staged, nullptr, 0);
    if (staged->slot >= 0) {
        RemoveTemporaryFile(staged->temporary.c_str());
        ReleaseTemporarySlot(staged->slot);
        staged->slot = -1;
    }
}
