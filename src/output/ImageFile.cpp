#include "output/ImageFile.h"

#include "core/VelmError.h"

namespace velm {

std::size_t DibStride(int width) {
    if (width <= 0) return 0;
    return (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
}

std::size_t Dib::Stride() const { return DibStride(width); }

bool Dib::Valid() const { return width > 0 && height > 0 && bits.size() == ImageSize(); }

Dib DibFromRgba(const std::vector<std::uint8_t>& rgbaBottomFirst, int width, int height) {
    if (width <= 0 || height <= 0 ||
        rgbaBottomFirst.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4)
        throw VelmError("Unable to create DIB for storing image");
    Dib dib;
    dib.width = width;
    dib.height = height;
    dib.bits.assign(dib.ImageSize(), 0);
    const std::size_t stride = dib.Stride();
    for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
        const std::uint8_t* from = rgbaBottomFirst.data() + y * static_cast<std::size_t>(width) * 4;
        std::uint8_t* to = dib.bits.data() + y * stride;
        for (int x = 0; x < width; ++x, from += 4, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }
    return dib;
}

ImageFileHandle OpenImageFile(const std::string& path) {
    ImageFileHandle file(std::fopen(path.c_str(), "wb"));
    if (!file) throw VelmError("Unable to open " + path + " for writing");
    return file;
}

}  // namespace velm
