#pragma once
// How much memory a trajectory's frames may take before they are read on
// demand instead of held: the setting in megabytes, or a quarter of the
// machine's memory when it is 0.
#include <cstdint>

namespace velm {

// The budget in bytes for a setting of `megabytes` (0: a quarter of memory).
std::int64_t TrajectoryMemoryBudget(int megabytes);

// Frames of the on-demand cache for frames of `frameBytes` each: a small
// share of the budget, at least 2 and at most 16.
int CacheFramesWithin(std::int64_t budget, std::int64_t frameBytes);

}  // namespace velm
