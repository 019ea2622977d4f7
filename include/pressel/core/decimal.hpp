// Writing whole numbers in decimal into a character buffer, as std::to_chars
// writes them (no sign for zero or positive values, a '-' for negative ones,
// no leading zeros), for the loops that print a number on every line of a
// listing. The digit count comes first from the bit width of the value, so
// the digits go straight to their places, two at a time from a table.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace pressel {

namespace decimal_detail {
inline constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";
inline constexpr std::uint64_t kPow10[20] = {1ull,
                                             10ull,
                                             100ull,
                                             1000ull,
                                             10000ull,
                                             100000ull,
                                             1000000ull,
                                             10000000ull,
                                             100000000ull,
                                             1000000000ull,
                                             10000000000ull,
                                             100000000000ull,
                                             1000000000000ull,
                                             10000000000000ull,
                                             100000000000000ull,
                                             1000000000000000ull,
                                             10000000000000000ull,
                                             100000000000000000ull,
                                             1000000000000000000ull,
                                             10000000000000000000ull};
}  // namespace decimal_detail

// The number of decimal digits of v (1 for zero).
inline unsigned decimalDigits(std::uint64_t v) noexcept {
    // bit_width * 1233 / 4096 is floor(log10(2^bit_width)): the digit count
    // or one more, and the power of ten tells which. Zero counts as one
    // (v | 1 changes no comparison with a power of ten above 1).
    const std::uint64_t u = v | 1;
    const unsigned t = (unsigned(std::bit_width(u)) * 1233) >> 12;
    return t + 1 - (u < decimal_detail::kPow10[t]);
}

// Writes v at p and returns the end of its digits. p needs room for 20
// characters (the widest value), 21 for the signed form.
inline char* writeDecimal(char* p, std::uint64_t v) noexcept {
    char* const end = p + decimalDigits(v);
    char* q = end;
    while (v >= 100) {
        const unsigned r = unsigned(v % 100);
        v /= 100;
        q -= 2;
        std::memcpy(q, decimal_detail::kPairs + 2 * r, 2);
    }
    if (v >= 10) std::memcpy(q - 2, decimal_detail::kPairs + 2 * v, 2);
    else q[-1] = char('0' + v);
    return end;
}

inline char* writeDecimal(char* p, std::int64_t v) noexcept {
    if (v >= 0) return writeDecimal(p, std::uint64_t(v));
    *p = '-';
    return writeDecimal(p + 1, std::uint64_t(0) - std::uint64_t(v));
}

}  // namespace pressel
