#include "model/SerialNumbers.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdlib>

namespace velm {

namespace {
long long Power(long long base, int exponent) {
    long long p = 1;
    while (exponent-- > 0) p *= base;
    return p;
}

int Digit36(char c, bool upper) {
    if (c >= '0' && c <= '9') return c - '0';
    if (upper && c >= 'A' && c <= 'Z') return c - 'A' + 10;
    if (!upper && c >= 'a' && c <= 'z') return c - 'a' + 10;
    return -1;
}

std::optional<int> Decimal(std::string_view t) {
    if (!t.empty() && t[0] == '+') t.remove_prefix(1);
    int value = 0;
    if (t.empty() || t[0] == '+') return std::nullopt;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), value);
    if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return std::nullopt;
    return value;
}

std::optional<int> Hexadecimal(std::string_view t) {
    if (t.empty() || t.size() > 7) return std::nullopt;
    int value = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), value, 16);
    if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return std::nullopt;
    return value;
}
}  // namespace

std::optional<int> DecodeHybrid36(std::string_view t, int width) {
    if (const auto d = Decimal(t)) return d;
    if (static_cast<int>(t.size()) != width) return std::nullopt;
    const bool upper = t[0] >= 'A' && t[0] <= 'Z';
    if (!upper && !(t[0] >= 'a' && t[0] <= 'z')) return std::nullopt;
    long long v = 0;
    for (char c : t) {
        const int d = Digit36(c, upper);
        if (d < 0) return std::nullopt;
        v = v * 36 + d;
    }
    // "A000..." follows the largest decimal; the lower range follows "ZZZ...".
    const long long block = Power(36, width - 1);
    v += Power(10, width) - 10 * block + (upper ? 0 : 26 * block);
    if (v > INT_MAX) return std::nullopt;
    return static_cast<int>(v);
}

std::optional<std::string> EncodeHybrid36(int value, int width) {
    const long long decimal = Power(10, width), block = Power(36, width - 1);
    if (value > -Power(10, width - 1) && value < decimal) {
        std::string s = std::to_string(value);
        return std::string(static_cast<size_t>(width) - s.size(), ' ') + s;
    }
    if (value < 0 || value >= decimal + 52 * block) return std::nullopt;
    const bool upper = value < decimal + 26 * block;
    long long v = value - decimal + 10 * block - (upper ? 0 : 26 * block);
    std::string s(static_cast<size_t>(width), '0');
    const char* digits = upper ? "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ" : "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int i = width - 1; i >= 0; --i, v /= 36) s[static_cast<size_t>(i)] = digits[v % 36];
    return s;
}

std::optional<int> ReadWideNumber(std::string_view t, int width, long long expected) {
    const long long decimalEnd = Power(10, width);
    // Digits alone (the usual case, a residue number past 9,999 in a large
    // system): the decimal, or the same digits read as hexadecimal when that
    // lies beyond the decimal columns and nearer the number expected.
    if (!t.empty() && t.size() <= 7 && std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        long long decimal = 0, hexadecimal = 0;
        for (char c : t) {
            decimal = decimal * 10 + (c - '0');
            hexadecimal = hexadecimal * 16 + (c - '0');
        }
        if (expected >= decimalEnd && hexadecimal >= decimalEnd &&
            std::llabs(hexadecimal - expected) < std::llabs(decimal - expected))
            return static_cast<int>(hexadecimal);
        return static_cast<int>(decimal);
    }
    std::optional<int> best;
    auto consider = [&](std::optional<int> v) {
        if (v && (!best || std::llabs(*v - expected) < std::llabs(*best - expected))) best = v;
    };
    const std::optional<int> decimal = Decimal(t);
    consider(decimal);
    if (!decimal) consider(DecodeHybrid36(t, width));
    // Hexadecimal numbers only beyond the decimal columns: "12345" in an
    // ordinary file is twelve thousand and something.
    if (!decimal || expected >= decimalEnd) {
        const bool lower = t.find_first_of("ABCDEF") == std::string_view::npos;
        if (const auto h = Hexadecimal(t); h && *h >= decimalEnd && lower) consider(h);
    }
    return best;
}

}  // namespace velm
