#pragma once
// The picture formats, told by a file name's extension. Apart from the
// writers, so that checking a name on the command line draws nothing in.
#include <string_view>

namespace velm {

enum class ImageFormat { PostScript = 1, Bmp = 2, Png = 3 };

// The format a file name's extension asks for (.ps or .eps, .bmp, .png in any
// letter case); throws "Unknown file format!" for any other.
ImageFormat ImageFormatOfPath(std::string_view path);

}  // namespace velm
