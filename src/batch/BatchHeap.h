// The heap of a batch run, which ends the process with its work.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velm {

// What loading the arguments that name regular files may take of the heap:
// four times a text (a structure's load peaks at about three and a half)
// and twenty times a compressed one. At least 64 MB, at most half of
// `physicalBytes`.
size_t BatchHeapReserve(const std::vector<std::string>& args, size_t physicalBytes);

// What loading the arguments that name structure files (PDB, mmCIF) is
// expected to touch of the heap (StructureLoadBytes, summed; without bonds
// where -no_connect is among them). Trajectories, read a frame at a time or
// kept as read, count for nothing.
size_t BatchLoadEstimate(const std::vector<std::string>& args);

// Whether a virtio balloon's feature bits (as its "features" file in sysfs
// spells them, bit 0 first) include free page reporting: the guest then hands
// its free memory back to the host, which must find a page again at its first
// touch. A huge page so found waits for 512 of the host's faults, some ten
// times what 512 small faults on memory still at hand cost.
bool ReportsFreePages(std::string_view features);

// Whether this machine's balloon reports free pages (read from sysfs).
bool FreePagesGoToHost();

// The stretch of the heap faulted in ahead, where the load's blocks begin.
struct HeapStretch {
    std::uintptr_t begin = 0;
    size_t bytes = 0;
};

// Sets the heap up for a batch run over `args`: nothing freed is handed back,
// large blocks come from the heap too, and its first stretch is reserved at
// once, large enough for the load, and what the load is expected to touch is
// faulted in at once, in huge pages; past that, huge pages are offered where
// they come cheap.
// Called once, before anything large is allocated.
HeapStretch TuneHeapForBatch(const std::vector<std::string>& args);

}  // namespace velm
