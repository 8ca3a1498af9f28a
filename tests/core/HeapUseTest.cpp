#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "core/HeapUse.h"

using namespace velm;

namespace {

constexpr size_t kMB = size_t{1} << 20;

// Writes every page, in a way the compiler cannot drop as a dead store.
void Touch(char* block, size_t bytes) {
    volatile char* const pages = block;
    for (size_t at = 0; at < bytes; at += 4096) pages[at] = 1;
}

size_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t total = 0, resident = 0;
    statm >> total >> resident;
    return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

TEST(HeapUse, AFreedLargeBlockStaysForTheNextStepUntilGivenBack) {
    if (!KeepLargeBlocksInHeap()) GTEST_SKIP() << "this allocator takes no settings";
    const size_t before = ResidentBytes();
    char* block = static_cast<char*>(std::malloc(64 * kMB));
    ASSERT_NE(block, nullptr);
    Touch(block, 64 * kMB);
    char* after = static_cast<char*>(std::malloc(2 * kMB));  // the block then lies below the top of the heap
    ASSERT_NE(after, nullptr);
    Touch(after, 2 * kMB);
    std::free(block);
    const size_t kept = ResidentBytes();
    EXPECT_GT(kept, before + 48 * kMB);
    // Taken again, not mapped afresh: its pages are there already.
    char* again = static_cast<char*>(std::malloc(64 * kMB));
    ASSERT_NE(again, nullptr);
    Touch(again, 64 * kMB);
    EXPECT_LT(ResidentBytes(), kept + 8 * kMB);
    std::free(again);
    GiveBackFreeHeap();
    EXPECT_LT(ResidentBytes(), before + 16 * kMB);
    std::free(after);
}

TEST(HeapUse, WhatIsFaultedInAheadIsTheNextBlockUntilGivenBack) {
    if (!KeepLargeBlocksInHeap()) GTEST_SKIP() << "this allocator takes no settings";
    GiveBackFreeHeap();
    const size_t before = ResidentBytes();
    FaultInHeapAhead(48 * kMB);
    const size_t ahead = ResidentBytes();
    EXPECT_GT(ahead, before + 40 * kMB);
    // The block a load then takes lies on those pages: touching it adds none.
    char* block = static_cast<char*>(std::malloc(44 * kMB));
    ASSERT_NE(block, nullptr);
    Touch(block, 44 * kMB);
    EXPECT_LT(ResidentBytes(), ahead + 4 * kMB);
    std::free(block);
    GiveBackFreeHeap();
    EXPECT_LT(ResidentBytes(), before + 8 * kMB);
}

}  // namespace
