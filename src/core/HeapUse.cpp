#include "core/HeapUse.h"

#include <malloc.h>

#include <atomic>

namespace velm {

namespace {

std::atomic<bool> keptInHeap{false};

}  // namespace

bool KeepLargeBlocksInHeap() {
    // Threads' own arenas hand a block larger than theirs to the main one,
    // which grows with the program break.
    if (mallopt(M_MMAP_MAX, 0) != 1) return false;
    keptInHeap.store(true, std::memory_order_relaxed);
    return true;
}

void GiveBackFreeHeap() {
    if (keptInHeap.load(std::memory_order_relaxed)) malloc_trim(0);
}

}  // namespace velm
