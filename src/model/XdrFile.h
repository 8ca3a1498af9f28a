#pragma once
// The files of the XTC and TRR trajectory formats: XDR values (big-endian
// 4-byte integers and floats, 8-byte doubles) read at known offsets, so that
// any frame can be read without walking the ones before it.
#include <cstdint>
#include <cstring>
#include <string>

namespace velm {

inline std::uint32_t XdrUnsigned(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}
inline std::int32_t XdrInt(const unsigned char* p) { return static_cast<std::int32_t>(XdrUnsigned(p)); }
inline float XdrFloat(const unsigned char* p) {
    const std::uint32_t bits = XdrUnsigned(p);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}
inline double XdrDouble(const unsigned char* p) {
    const std::uint64_t bits = static_cast<std::uint64_t>(XdrUnsigned(p)) << 32 | XdrUnsigned(p + 4);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

class XdrFile {
public:
    explicit XdrFile(const std::string& path);  // read-only; check IsOpen()
    ~XdrFile();
    XdrFile(const XdrFile&) = delete;
    XdrFile& operator=(const XdrFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    std::int64_t Size() const { return size_; }
    // The n bytes at offset; false when the file ends before them or cannot be read.
    bool Read(std::int64_t offset, void* out, std::size_t n) const;
    // Tells the kernel whether reads will hop through the file (walking frame
    // headers: no read-ahead of bytes that will be skipped) or go in order.
    void ExpectScatteredReads(bool scattered) const;
    // Asks for bytes that will be read soon, without waiting for them.
    void Prefetch(std::int64_t offset, std::int64_t bytes) const;

private:
    int fd_ = -1;
    std::int64_t size_ = 0;
};

}  // namespace velm
