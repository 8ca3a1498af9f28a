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
}  // namespace

std::vector<std::uint8_t> BmpBytes(const Dib& dib) {
    if (!dib.Valid() || dib.ImageSize() > 0xFFFFFFFFu - kHeaderBytes)
        throw VelmError("Unable to write bitmap (invalid dib)");
    const auto imageSize = static_cast<std::uint32_t>(dib.ImageSize());
    std::vector<std::uint8_t> out;
    out.reserve(kHeaderBytes + imageSize);
    // File header.
    out.push_back('B');
    out.push_back('M');
    Put32(out, imageSize + kHeaderBytes);
    Put16(out, 0);
    Put16(out, 0);
    Put32(out, kHeaderBytes);
    // Information header; a positive height means the rows run bottom-up.
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(dib.width));
    Put32(out, static_cast<std::uint32_t>(dib.height));
    Put16(out, 1);   // planes
    Put16(out, 24);  // bits per pixel
    Put32(out, 0);   // no compression
    Put32(out, imageSize);
    Put32(out, 0);  // horizontal resolution
    Put32(out, 0);  // vertical resolution
    Put32(out, 0);  // colours used
    Put32(out, 0);  // important colours
    out.insert(out.end(), dib.bits.begin(), dib.bits.end());
    return out;
}

void WriteBmp(std::FILE* file, const Dib& dib) {
    const std::vector<std::uint8_t> bytes = BmpBytes(dib);
    // The flush makes a full disk show here rather than be lost at close.
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fflush(file) != 0)
        throw VelmError("Unable to write bitmap (write error)");
}

}  // namespace velm
