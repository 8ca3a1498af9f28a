#include "core/PopulateForWriting.h"

#include <sys/mman.h>

#include <cstdint>

namespace velm {

bool PopulateForWriting(void* begin, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    constexpr std::uintptr_t kPage = 4096;
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(begin), from = (at + kPage - 1) & ~(kPage - 1),
                         to = (at + bytes) & ~(kPage - 1);
    return to > from && madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE) == 0;
#else
    (void)begin, (void)bytes;
    return false;
#endif
}

}  // namespace velm
