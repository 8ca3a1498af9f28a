#pragma once
// Pages faulted in ahead of the writes that would fault them one by one.
#include <cstddef>

namespace velm {

// Faults in, as for writing, the whole pages within [begin, begin + bytes);
// false where the system cannot (or has not done so). Contents are kept.
bool PopulateForWriting(void* begin, std::size_t bytes);

}  // namespace velm
