#pragma once
// The heap of the long-lived window process. glibc maps every block past a
// threshold (at most 32 MB) on its own and unmaps it when it is freed, so
// that each step of a load faults in afresh the pages the step before gave
// back: a million-atom load frees its 96 MB of records and takes as much
// again at once. Kept in the heap, those blocks are reused instead; what is
// free is given back to the system once a load or a close is over. A batch
// run has a heap of its own making (BatchHeap.h) and gives nothing back.
#include <cstddef>

namespace velm {

// Large blocks come from the heap from now on, for the rest of the process,
// and every thread takes its blocks from the one heap; false where the
// allocator takes no such setting (a sanitizer's).
bool KeepLargeBlocksInHeap();

// Faults in, at once, `bytes` of free heap that a load is about to take
// (FaultInAhead; at most half the memory), and keeps them until
// GiveBackFreeHeap. Does nothing unless large blocks are kept in the heap.
void FaultInHeapAhead(std::size_t bytes);

// Gives the heap's free pages back to the system; does nothing unless large
// blocks are kept in the heap.
void GiveBackFreeHeap();

// GiveBackFreeHeap as a load or a close leaves, by return or by throw.
struct GiveBackFreeHeapAfter {
    GiveBackFreeHeapAfter() = default;
    GiveBackFreeHeapAfter(const GiveBackFreeHeapAfter&) = delete;
    GiveBackFreeHeapAfter& operator=(const GiveBackFreeHeapAfter&) = delete;
    ~GiveBackFreeHeapAfter() { GiveBackFreeHeap(); }
};

}  // namespace velm
