// Saving the picture as a plain BSAVE file: the thin layer between BuildBsaveImage and the disk.
#include <cstdio>
#include <cstdlib>

#include "image/bsave.h"
#include "platform/platform.h"

WriteResult SaveScreenFileTo(const Picture& picture, const char* path, char* reason,
                             size_t reasonCapacity) {
    // The file image is made first, so that nothing on disk is touched when there is no memory
    // for it; WriteFileAtomically then replaces the target only once every byte is written.
    const int32_t size = BsaveFileSize(picture.screenMode);
    uint8_t* image = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size)));
    if (image == nullptr) {
        if (reason != nullptr && reasonCapacity > 0) std::snprintf(reason, reasonCapacity, "out of memory");
        return kWriteAllocFailed;
    }
    BuildBsaveImage(picture, image);
    WriteResult result = WriteFileAtomically(path, image, static_cast<size_t>(size), reason, reasonCapacity);
    std::free(image);
    return result;
}
