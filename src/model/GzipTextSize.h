// The size of the text a gzip file holds, from its trailer.
#pragma once
#include <cstddef>
#include <string>

namespace velm {

// A gzip member ends with its text's size modulo 4 GB, so a file of one
// member (what compressors write) tells its text exactly; PDB and mmCIF
// texts shrink 3.5 to 7 times. 0 where the trailer cannot be trusted: a file
// of `fileBytes` that does not begin with the gzip magic, or whose size read
// is below twice its own (a last member of several, a text past 4 GB) or
// past sixteen times (no such text; a trailer made up or cut off would
// otherwise have memory faulted in for nothing).
// Reads with pread, leaving the descriptor's offset as it was, and takes
// nothing of the heap.
std::size_t GzipTextSize(int fd, std::size_t fileBytes);

// The same for a file by its path; 0 where it cannot be opened.
std::size_t GzipTextSize(const std::string& path, std::size_t fileBytes);

}  // namespace velm
