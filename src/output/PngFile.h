#pragma once
// PNG images through libpng: 8-bit RGB, no interlace, two plain text chunks
// ("Title": the primary molecule's path, "Author": "Velm"), rows top first.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "output/ImageFile.h"

namespace velm {

// Writes the DIB to an open stream. Every failure is a VelmError: libpng's own
// message, "Unable to initialize PNG data",
// "Unable to write png file (png_create_info_struct)",
// "Unable to write png file (insufficient memory)",
// "Unable to write bitmap (invalid dib)" or "Unspecified error writing png file".
void WritePng(std::FILE* file, const Dib& dib, const std::string& title);

// The same for a picture handed over a row at a time, top row first: row(y)
// gives the width * 3 bytes R, G, B of row y (0 the top), valid until the
// next call. Nothing beyond one row is held here.
using PictureRow = std::function<const std::uint8_t*(int y)>;
void WritePngRows(std::FILE* file, int width, int height, const PictureRow& row, const std::string& title);

}  // namespace velm
