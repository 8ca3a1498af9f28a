#include "core/HeapUse.h"

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>

#include "core/PhysicalMemory.h"
#include "core/PopulateForWriting.h"

namespace velm {

namespace {

std::atomic<bool> keptInHeap{false};

constexpr int kTrimThreshold = 128 * 1024;  // glibc's own

}  // namespace

bool KeepLargeBlocksInHeap() {
    // Threads' own arenas hand a block larger than theirs to the main one,
    // which grows with the program break. With one arena for all, the
    // blocks a load's threads take come from what was faulted in for it.
    if (mallopt(M_MMAP_MAX, 0) != 1) return false;
    mallopt(M_ARENA_MAX, 1);
    keptInHeap.store(true, std::memory_order_relaxed);
    return true;
}

void FaultInHeapAhead(std::size_t bytes) {
    if (!keptInHeap.load(std::memory_order_relaxed) || bytes == 0) return;
    // Never more than half the memory: faulting in what the system has not
    // would call its out-of-memory killer before the load could fail.
    bytes = std::min(bytes, static_cast<std::size_t>(PhysicalMemoryBytes() / 2));
    // The block, freed, joins the free heap the load then takes from,
    // instead of going back to the system at once.
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
    void* block = std::malloc(bytes);
    if (!block) return;
    FaultInAhead(block, bytes);
    std::free(block);
}

void GiveBackFreeHeap() {
    if (!keptInHeap.load(std::memory_order_relaxed)) return;
    mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
    malloc_trim(0);
}

}  // namespace velm
