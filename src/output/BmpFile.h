#pragma once
// Windows bitmap files: the 14-byte file header, the 40-byte information
// header, then the DIB's rows as they are (bottom first, padded to 4 bytes).
#include <cstdint>
#include <cstdio>
#include <vector>

#include "output/ImageFile.h"

namespace velm {

// The whole file. Throws "Unable to write bitmap (invalid dib)" for a DIB
// without pixels or whose bytes do not match its size.
std::vector<std::uint8_t> BmpBytes(const Dib& dib);

// Writes the file to an open stream; a failed write throws
// "Unable to write bitmap (write error)".
void WriteBmp(std::FILE* file, const Dib& dib);

}  // namespace velm
