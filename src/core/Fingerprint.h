#pragma once
// A 64-bit digest of the values something was built from (FNV-1a over
// 32-bit words, whole arrays through the library's byte hash), so that a
// cache sees a change of any of them without being told.
#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>
#include <vector>

#include "core/Rgba.h"
#include "core/Vec3.h"

namespace velm {

class Fingerprint {
public:
    void Add(std::uint64_t v) {
        Word(static_cast<std::uint32_t>(v));
        Word(static_cast<std::uint32_t>(v >> 32));
    }
    void Add(std::uint32_t v) { Word(v); }
    void Add(int v) { Word(static_cast<std::uint32_t>(v)); }
    void Add(float f) {
        std::uint32_t u;
        std::memcpy(&u, &f, sizeof u);
        Word(u);
    }
    void Add(double d) { Add(static_cast<float>(d)); }
    void Add(const Vec3& p) {
        Add(p.x);
        Add(p.y);
        Add(p.z);
    }
    void Add(const Rgba& c) { Word(static_cast<std::uint32_t>(c.r | c.g << 8 | c.b << 16 | c.a << 24)); }
    template <typename T>
    void AddArray(const std::vector<T>& v) {
        Add(static_cast<std::uint64_t>(v.size()));
        Add(static_cast<std::uint64_t>(
            std::hash<std::string_view>{}({reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T)})));
    }
    std::uint64_t Value() const { return h_; }

private:
    void Word(std::uint32_t v) { h_ = (h_ ^ v) * 1099511628211ull; }
    std::uint64_t h_ = 1469598103934665603ull;
};

}  // namespace velm
