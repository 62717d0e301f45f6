// The names of the Win32 calls that write results stand for, shared by both platforms: the
// viewer's error messages name them, and so does the command-line tool on Windows.
#include "platform/platform.h"

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
