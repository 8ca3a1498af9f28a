#include "model/TrajectoryBudget.h"

#include <algorithm>

#include "core/PhysicalMemory.h"

namespace velm {

std::int64_t TrajectoryMemoryBudget(int megabytes) {
    if (megabytes > 0) return static_cast<std::int64_t>(megabytes) << 20;
    return PhysicalMemoryBytes() / 4;
}

int CacheFramesWithin(std::int64_t budget, std::int64_t frameBytes) {
    if (frameBytes <= 0) return 16;
    // A quarter of the budget: the frames handed out and the one being read
    // come on top of the cache.
    return static_cast<int>(std::clamp<std::int64_t>(budget / 4 / frameBytes, 2, 16));
}

}  // namespace velm
