#include "batch/BatchHeap.h"

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/PhysicalMemory.h"
#include "core/PopulateForWriting.h"
#include "core/WorkerThreads.h"
#include "model/FileType.h"
#include "model/ReadCoordinates.h"

namespace velm {

namespace {

constexpr std::uintptr_t kHuge = 2 << 20;
constexpr size_t kSmallestReserve = size_t{64} << 20;
constexpr size_t kFirstBlock = size_t{1} << 20;  // the block that grows the heap at first
constexpr size_t kFreePageReportingBit = 5;  // VIRTIO_BALLOON_F_REPORTING

// Volatile: the block is kept for where it lies, which the compiler cannot see.
void* volatile belowHugePages = nullptr;

}  // namespace

size_t BatchHeapReserve(const std::vector<std::string>& args, size_t physicalBytes) {
    size_t need = kSmallestReserve;
    for (const std::string& arg : args) {
        struct stat st {};
        if (arg.empty() || arg[0] == '-' || ::stat(arg.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        const size_t size = static_cast<size_t>(st.st_size), factor = IsCompressedName(arg) ? 20 : 4;
        need = size > (SIZE_MAX - need) / factor ? SIZE_MAX : need + size * factor;
    }
    // A reservation the system refuses would fail the first allocation.
    if (physicalBytes > 0) need = std::min(need, physicalBytes / 2);
    return std::max(need, kSmallestReserve);
}

size_t BatchLoadEstimate(const std::vector<std::string>& args) {
    const bool bonds = std::find(args.begin(), args.end(), "-no_connect") == args.end();
    size_t touched = 0;
    for (const std::string& arg : args) {
        if (arg.empty() || arg[0] == '-') continue;
        const size_t bytes = StructureLoadBytes(arg, ByExtension, bonds);
        touched = bytes > SIZE_MAX - touched ? SIZE_MAX : touched + bytes;
    }
    return touched;
}

bool ReportsFreePages(std::string_view features) {
    return features.size() > kFreePageReportingBit && features[kFreePageReportingBit] == '1';
}

bool FreePagesGoToHost() {
    // Read with the system's calls into buffers of its own: a directory
    // stream and a FILE would take blocks of the heap (32 KB and 4 KB) and
    // free them below its first huge page, where the load's first blocks
    // would then fall, each page a fault of its own.
    const int dir = open("/sys/bus/virtio/drivers/virtio_balloon", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return false;
    bool reports = false;
    alignas(dirent64) char entries[4096];
    for (ssize_t got; !reports && (got = getdents64(dir, entries, sizeof entries)) > 0;) {
        for (ssize_t at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(entries + at);
            at += entry->d_reclen;
            if (std::strncmp(entry->d_name, "virtio", 6) != 0) continue;
            char path[sizeof entry->d_name + 16];
            std::snprintf(path, sizeof path, "%s/features", entry->d_name);
            const int features = openat(dir, path, O_RDONLY | O_CLOEXEC);
            if (features < 0) continue;
            char bits[128];
            const ssize_t read = ::read(features, bits, sizeof bits);
            close(features);
            if (read > 0) reports = reports || ReportsFreePages(std::string_view(bits, static_cast<size_t>(read)));
        }
    }
    close(dir);
    return reports;
}

// What one step frees the next takes again from the heap, instead of handing
// it back to the system and faulting fresh pages in, one fault a page (a
// third of the time of a small load). The worker threads share the one heap
// for the same reason, and large blocks come from it rather than from
// mappings of their own.
//
// The stretch the load is expected to touch is then faulted in at once, in
// huge pages: one call instead of a fault for every page. On a virtual
// machine a fault of its own costs some 10 us a page; a page so faulted in
// costs 0.05 to 6 us, the upper figure where the host must find the memory
// again (its balloon took the free memory back), and nothing more when it is
// first touched. A stretch of less than half a huge page is faulted in in
// small pages (a whole one would cost more than it saves), and the heap
// past it offered none.
//
// Past a stretch of huge pages the heap is offered more only where free
// memory stays with the machine: where it goes back to the host, a huge page first
// touched waits for 512 of the host's faults, some ten times what 512 small
// faults on memory still at hand cost. Where the system grants no huge pages
// the advice changes nothing; only the pages touched are ever backed.
HeapStretch TuneHeapForBatch(const std::vector<std::string>& args) {
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, -1);
    mallopt(M_ARENA_MAX, 1);
    const auto physical = static_cast<size_t>(PhysicalMemoryBytes());
    // All that allocates is done before the first block is taken: a block
    // taken meanwhile (a file's name copied) would lie between that block
    // and the top, which the block then could not join when freed, and the
    // load's first blocks would fall below the stretch faulted in.
    const size_t estimate = BatchLoadEstimate(args);
    // Start-up code has made the heap already: a block larger than its top
    // makes it grow, by the block and the pad. Later growth, past the
    // reservation, takes steps of the smallest one.
    mallopt(M_TOP_PAD, static_cast<int>(std::min<size_t>(BatchHeapReserve(args, physical), INT_MAX)));
    void* first = std::malloc(kFirstBlock);
    mallopt(M_TOP_PAD, static_cast<int>(kSmallestReserve));
    if (!first) return {};
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(first);
    // The heap's top was marked just past the first block as it grew: a huge
    // page's stretch with a small page touched in it is faulted in in small
    // pages. So the stretch begins past that mark.
    const std::uintptr_t begin = (at + kFirstBlock + 16 + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t end = reinterpret_cast<std::uintptr_t>(sbrk(0)) & ~(kHuge - 1);
    const size_t touched = end > begin ? std::min<size_t>(estimate, end - begin) : 0;
    if (touched > 0 && touched < kHuge / 2) {
        PopulateForWriting(first, touched);  // small pages, from where the heap begins
        std::free(first);
        return {at, touched};
    }
    std::free(first);
    if (end <= begin) return {};
    const std::uintptr_t filled = (begin + touched + kHuge - 1) & ~(kHuge - 1);
    if (filled > begin) madvise(reinterpret_cast<void*>(begin), filled - begin, MADV_HUGEPAGE);
    // The heap past the stretch is offered huge pages where the system keeps
    // free memory (asking takes a tenth of a millisecond: done beside where
    // a thread is kept).
    const auto offerPast = [filled, end] {
        if (end > filled && !FreePagesGoToHost())
            madvise(reinterpret_cast<void*>(filled), end - filled, MADV_HUGEPAGE);
    };
    // What lies below the first huge page is taken and kept, untouched past
    // its first page, so that the load's memory begins on it: the block
    // takes the room from its header at first - 16, so the next one's header
    // falls on the page's first byte.
    const std::uintptr_t below = begin - at;
    if (below > 4096) belowHugePages = std::malloc(below);
    // A stretch of two huge pages and more is faulted in by halves: the
    // upper one by the thread then kept on the other CPU for the load's
    // work, while this one faults in the lower one and goes on. The work
    // the load hands that thread first, the second half of a text, waits
    // for its half to end.
    const std::uintptr_t middle = begin + (filled - begin) / kHuge / 2 * kHuge;
    const auto upper = [middle, filled, offerPast] {
        offerPast();
        PopulateForWriting(reinterpret_cast<void*>(middle), filled - middle);
    };
    if (middle > begin && KeepThreadBeside(upper)) {
        PopulateForWriting(reinterpret_cast<void*>(begin), middle - begin);
    } else {
        offerPast();
        FaultInAhead(reinterpret_cast<void*>(begin), filled - begin);
    }
    return {begin, filled - begin};
}

}  // namespace velm
