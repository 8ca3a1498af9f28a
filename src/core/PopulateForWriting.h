#pragma once
// Pages faulted in ahead of the writes that would fault them one by one.
#include <cstddef>

namespace velm {

// Faults in, as for writing, the whole pages within [begin, begin + bytes);
// false where the system cannot (or has not done so). Contents are kept.
bool PopulateForWriting(void* begin, std::size_t bytes);

// The same for a stretch about to be written: in huge pages where whole ones
// fit and the system grants them, and from 16 MB on in two halves at once,
// one on another CPU. Where the host of a virtual machine must find the
// memory again (its balloon took free memory back), its faults are then
// taken on both CPUs.
void FaultInAhead(void* begin, std::size_t bytes);

}  // namespace velm
