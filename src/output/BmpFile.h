#pragma once
// Windows bitmap files: the 14-byte file header, the 40-byte information
// header, then the DIB's rows as they are (bottom first, padded to 4 bytes).
#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

#include "output/ImageFile.h"

namespace velm {

// The whole file. Throws "Unable to write bitmap (invalid dib)" for a DIB
// without pixels or whose bytes do not match its size.
std::vector<std::uint8_t> BmpBytes(const Dib& dib);

// Writes the file to an open stream; a failed write throws
// "Unable to write bitmap (write error)".
void WriteBmp(std::FILE* file, const Dib& dib);

// The same for a picture handed over a row at a time, bottom row first as
// the file holds them: row(y) gives the width * 3 bytes R, G, B of row y
// from the bottom. Throws "Unable to write bitmap (invalid dib)" for a size
// the file's 32-bit fields cannot hold.
void WriteBmpRows(std::FILE* file, int width, int height, const std::function<const std::uint8_t*(int y)>& row);

}  // namespace velm
