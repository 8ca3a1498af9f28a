#pragma once
// Quotients by one divisor, many times over, without a division: a multiply
// and a shift, exact for every dividend below 2^24 and every divisor from 1
// to 2^24 (a grid's cell index split into its coordinates, once for every
// pair of atoms).
#include <cstdint>

namespace velm {

class Divider {
public:
    explicit Divider(std::uint32_t divisor) {
        int bits = 0;  // divisor <= 2^bits
        while ((std::uint64_t{1} << bits) < divisor) ++bits;
        shift_ = kDividendBits + bits;
        factor_ = ((std::uint64_t{1} << shift_) + divisor - 1) / divisor;
    }
    std::uint32_t operator()(std::uint32_t n) const { return static_cast<std::uint32_t>((n * factor_) >> shift_); }

    static constexpr int kDividendBits = 24;

private:
    std::uint64_t factor_;
    int shift_;
};

}  // namespace velm
