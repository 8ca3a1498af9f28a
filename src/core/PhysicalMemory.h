#pragma once
// The machine's memory, as the system counts it.
#include <cstdint>

namespace velm {

// Bytes of physical memory; 4 GiB, as a small machine, when the system does
// not say.
std::int64_t PhysicalMemoryBytes();

}  // namespace velm
