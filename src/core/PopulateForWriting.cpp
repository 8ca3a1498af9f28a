#include "core/PopulateForWriting.h"

#include <sys/mman.h>

#include <cstdint>
#include <exception>
#include <thread>

#include "core/WorkerThreads.h"

namespace velm {

namespace {

constexpr std::uintptr_t kPage = 4096, kHuge = std::uintptr_t{2} << 20;

}  // namespace

bool PopulateForWriting(void* begin, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(begin), from = (at + kPage - 1) & ~(kPage - 1),
                         to = (at + bytes) & ~(kPage - 1);
    return to > from && madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE) == 0;
#else
    (void)begin, (void)bytes;
    return false;
#endif
}

void FaultInAhead(void* begin, std::size_t bytes) {
    constexpr std::uintptr_t kInHalvesFrom = std::uintptr_t{16} << 20;
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(begin), to = at + bytes;
    const std::uintptr_t hugeFrom = (at + kHuge - 1) & ~(kHuge - 1), hugeTo = to & ~(kHuge - 1);
    if (hugeTo > hugeFrom) madvise(reinterpret_cast<void*>(hugeFrom), hugeTo - hugeFrom, MADV_HUGEPAGE);
    std::uintptr_t split = to;
    BesideWork upper;
    if (bytes >= kInHalvesFrom && WorkerThreads() >= 2) {
        split = (at + bytes / 2) & ~(kHuge - 1);
        try {
            upper = StartBeside([split, to](std::stop_token) {
                PopulateForWriting(reinterpret_cast<void*>(split), to - split);
            });
        } catch (const std::exception&) {  // no thread: all of it here
            split = to;
        }
    }
    PopulateForWriting(begin, split - at);
}

}  // namespace velm
