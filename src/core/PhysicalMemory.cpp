#include "core/PhysicalMemory.h"

#include <unistd.h>

namespace velm {

std::int64_t PhysicalMemoryBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || size <= 0) return std::int64_t{1} << 32;
    return static_cast<std::int64_t>(pages) * size;
}

}  // namespace velm
