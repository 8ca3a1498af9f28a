#pragma once
// What the image writers share: the 24-bit device-independent bitmap that an
// off-screen render leaves, and opening the file it goes to.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace velm {

// Pixels as a 24-bit DIB holds them: rows bottom first, bytes blue, green,
// red, each row padded with zeros to a multiple of 4 bytes.
struct Dib {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bits;

    // Bytes per row including the padding.
    std::size_t Stride() const;
    // What the system reports as the DIB's image size: stride times height.
    std::size_t ImageSize() const { return Stride() * static_cast<std::size_t>(height > 0 ? height : 0); }
    // A size of at least 1 x 1 with exactly ImageSize() bytes behind it.
    bool Valid() const;
};

std::size_t DibStride(int width);

// The DIB of an RGBA read-back with the bottom row first (glReadPixels);
// alpha is dropped.
Dib DibFromRgba(const std::vector<std::uint8_t>& rgbaBottomFirst, int width, int height);

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using ImageFileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens path with mode "wb"; throws "Unable to open <path> for writing".
ImageFileHandle OpenImageFile(const std::string& path);

}  // namespace velm
