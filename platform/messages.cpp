#include "platform/messages.h"

#include "platform/platform.h"
#include "resources/strings.h"

const char* MessageTextUtf8(int32_t id) {
    static const char* const kTexts[IDS_LAST + 1] = {
        nullptr,
        IDS_COPY_FAILED_TEXT,
        IDS_WRITE_FAILED_TEXT,
        IDS_FILE_NOT_FOUND_TEXT,
        IDS_NOT_BSAVE_TEXT,
        IDS_BITMAP_FILTER_TEXT,
        IDS_BSAVE_FILTER_TEXT,
        IDS_ALL_FILES_TEXT,
        IDS_PALETTE_FILTER_TEXT,
        IDS_SAVE_BITMAP_TITLE_TEXT,
        IDS_LOAD_PALETTE_TITLE_TEXT,
    };
    if (id < IDS_FIRST || id > IDS_LAST) return nullptr;
    return kTexts[id];
}

const char* WriteResultOperation(WriteResult result) {
    switch (result) {
        case kWriteOk:
            return "";
        case kWriteCreateFailed:
            return "CreateFile";
        case kWriteWriteFailed:
            return "WriteFile";
        case kWriteAllocFailed:
            return "HeapAlloc";
        case kWriteNotAFile:
        case kWriteReadOnly:
        case kWriteInterrupted:
            return "CreateFile";
    }
    return "";
}
