// The registry of temporary files and their random names (see temporaries.h).
#include "platform/temporaries.h"

#include <atomic>
#include <cstring>

#include "platform/platform.h"

namespace {

// std::atomic<int> is lock-free on every target here, so a signal handler may read it.
enum SlotState : int { kFree = 0, kClaimed, kRegistered };
constexpr size_t kPathCapacity = 4096;  // PATH_MAX on Linux; Windows' ANSI names are shorter

struct TemporarySlot {
    std::atomic<int> state{kFree};
    char path[kPathCapacity];
};
TemporarySlot temporaries[kMaxStagedWrites];

}  // namespace

int32_t ClaimTemporarySlot(const std::string& path) {
    if (path.size() >= kPathCapacity) return -1;
    for (int32_t i = 0; i < kMaxStagedWrites; ++i) {
        int expected = kFree;
        if (temporaries[i].state.compare_exchange_strong(expected, kClaimed)) {
            std::memcpy(temporaries[i].path, path.c_str(), path.size() + 1);
            temporaries[i].state.store(kRegistered);
            return i;
        }
    }
    return -1;
}

void ReleaseTemporarySlot(int32_t slot) {
    if (slot >= 0) temporaries[slot].state.store(kFree);
}

int32_t RegisteredTemporaries() {
    int32_t n = 0;
    for (const TemporarySlot& slot : temporaries) n += slot.state.load() == kRegistered ? 1 : 0;
    return n;
}

void RemoveTemporaries(void (*remove)(const char* path)) {
    for (TemporarySlot& slot : temporaries) {
        if (slot.state.load() == kRegistered) remove(slot.path);
    }
}

void RandomSuffix(uint64_t seed, char out[7]) {
    static std::atomic<uint64_t> counter{0};
    uint64_t x = seed ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15u);
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int i = 0; i < 6; ++i) {
        x ^= x >> 33;
        x *= 0xFF51AFD7ED558CCDu;
        x ^= x >> 29;
        out[i] = kChars[x % 62];
    }
    out[6] = '\0';
}
