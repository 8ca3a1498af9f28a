#include "output/BmpFile.h"

#include "core/VelmError.h"

namespace velm {

namespace {
constexpr std::uint32_t kHeaderBytes = 14 + 40;

void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::vector<std::uint8_t> Headers(int width, int height) {
    const std::uint64_t size = std::uint64_t{DibStride(width)} * static_cast<std::uint64_t>(height);
    if (width <= 0 || height <= 0 || size > 0xFFFFFFFFu - kHeaderBytes) throw VelmError("Unable to write bitmap (invalid dib)");
    const auto imageSize = static_cast<std::uint32_t>(size);
    std::vector<std::uint8_t> out;
    // File header.
    out.push_back('B');
    out.push_back('M');
    Put32(out, imageSize + kHeaderBytes);
    Put16(out, 0);
    Put16(out, 0);
    Put32(out, kHeaderBytes);
    // Information header; a positive height means the rows run bottom-up.
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(width));
    Put32(out, static_cast<std::uint32_t>(height));
    Put16(out, 1);   // planes
    Put16(out, 24);  // bits per pixel
    Put32(out, 0);   // no compression
    Put32(out, imageSize);
    Put32(out, 0);  // horizontal resolution
    Put32(out, 0);  // vertical resolution
    Put32(out, 0);  // colours used
    Put32(out, 0);  // important colours
    return out;
}
}  // namespace

std::vector<std::uint8_t> BmpBytes(const Dib& dib) {
    if (!dib.Valid()) throw VelmError("Unable to write bitmap (invalid dib)");
    std::vector<std::uint8_t> out = Headers(dib.width, dib.height);
    out.insert(out.end(), dib.bits.begin(), dib.bits.end());
    return out;
}

void WriteBmp(std::FILE* file, const Dib& dib) {
    const std::vector<std::uint8_t> bytes = BmpBytes(dib);
    // The flush makes a full disk show here rather than be lost at close.
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fflush(file) != 0)
        throw VelmError("Unable to write bitmap (write error)");
}

void WriteBmpRows(std::FILE* file, int width, int height, const std::function<const std::uint8_t*(int y)>& row) {
    const std::vector<std::uint8_t> headers = Headers(width, height);
    std::vector<std::uint8_t> line(DibStride(width), 0);
    bool ok = std::fwrite(headers.data(), 1, headers.size(), file) == headers.size();
    for (int y = 0; ok && y < height; ++y) {
        const std::uint8_t* from = row(y);
        for (int x = 0; x < width; ++x, from += 3) {
            line[static_cast<std::size_t>(x) * 3] = from[2];
            line[static_cast<std::size_t>(x) * 3 + 1] = from[1];
            line[static_cast<std::size_t>(x) * 3 + 2] = from[0];
        }
        ok = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    }
    if (!ok || std::fflush(file) != 0) throw VelmError("Unable to write bitmap (write error)");
}

}  // namespace velm
