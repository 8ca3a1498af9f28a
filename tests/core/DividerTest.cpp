#include <gtest/gtest.h>

#include <cstdint>

#include "core/Divider.h"

using namespace velm;

// The quotient is exact where rounding would first go wrong: at, just below
// and just above every multiple of the divisor, for divisors up to a grid
// of 64 x 64 cells, and at the largest dividends for any divisor.
TEST(Divider, ExactAroundEveryMultipleAndAtTheTop) {
    constexpr std::uint32_t kTop = (std::uint32_t{1} << Divider::kDividendBits) - 1;
    for (std::uint32_t d = 1; d <= 4096; ++d) {
        const Divider divide(d);
        for (std::uint32_t m = d; m <= (1u << 18); m += d)
            for (std::uint32_t n : {m - 1, m, m + 1}) ASSERT_EQ(divide(n), n / d) << n << " / " << d;
        for (std::uint32_t n = kTop - 2 * d; n <= kTop; ++n) ASSERT_EQ(divide(n), n / d) << n << " / " << d;
    }
    for (std::uint32_t d : {4097u, 65535u, 65536u, 1000003u, kTop - 1}) {
        const Divider divide(d);
        for (std::uint32_t n : {0u, d - 1, d, d + 1, kTop / 2, kTop - 1, kTop}) ASSERT_EQ(divide(n), n / d);
    }
}
