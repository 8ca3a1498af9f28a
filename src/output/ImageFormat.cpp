#include "output/ImageFormat.h"

#include <algorithm>
#include <cstddef>

#include "core/VelmError.h"

namespace velm {

namespace {
bool EndsWith(std::string_view text, std::string_view ending) {
    if (text.size() < ending.size()) return false;
    return std::equal(ending.begin(), ending.end(), text.end() - static_cast<std::ptrdiff_t>(ending.size()),
                      [](char e, char t) { return (t >= 'A' && t <= 'Z' ? t - 'A' + 'a' : t) == e; });
}
}  // namespace

ImageFormat ImageFormatOfPath(std::string_view path) {
    if (EndsWith(path, ".png")) return ImageFormat::Png;
    if (EndsWith(path, ".bmp")) return ImageFormat::Bmp;
    if (EndsWith(path, ".ps") || EndsWith(path, ".eps")) return ImageFormat::PostScript;
    throw VelmError("Unknown file format!");
}

}  // namespace velm
