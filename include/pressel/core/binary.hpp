// Fixed-width field types of structured fields, triplets and control sequences.
//
//   N0            no bytes, one value
//   N1 N2 N3 N4   unsigned numbers of 1..4 bytes (counts, lengths, flags, codes)
//   I2 I3         signed two's-complement numbers of 2 and 3 bytes (font
//                 metrics, displacements, offsets and coordinates)
//   A1 A2 A3 A6 A8 A12
//                 fixed-width byte strings (names, constants, reserved areas),
//                 held as unsigned integers of the field's width so that they
//                 compare, convert and combine like numbers
//
// Every value is written big-endian in exactly its width; bits above the
// width are dropped on writing and never produced by reading.
//
// Text forms: the N types render as plain decimal ("258"), the A types as
// upper-case hexadecimal zero-filled to twice their width ("00D3"), I2 and I3 as
// the type name and the number ("I2 5", "I2 (-5)", as an argument "(I2 (-5))"),
// N0 as "N0". Lists render as "[a,b]".
#pragma once

#include <compare>
#include <concepts>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "pressel/core/error.hpp"

namespace pressel {

__extension__ typedef unsigned __int128 uint128;

// ---- N0: the type of no data ---------------------------------------------
struct N0 {
    static constexpr int width = 0;
    static constexpr const char* name = "N0";
    friend constexpr bool operator==(N0, N0) noexcept { return true; }
    friend constexpr std::strong_ordering operator<=>(N0, N0) noexcept {
        return std::strong_ordering::equal;
    }
};
// The integer index of N0 is 0; any other integer has no N0.
inline N0 toN0(long long i) {
    if (i != 0) throw Error("N0: no value for index " + std::to_string(i));
    return N0{};
}
constexpr long long fromN0(N0) noexcept { return 0; }

// ---- N, I and A families -----------------------------------------------
enum class FieldFamily { N, I, A };

template <class Tag, class Rep, int W, FieldFamily F>
struct Field {
    using rep = Rep;
    static constexpr int width = W;
    static constexpr FieldFamily family = F;
    static constexpr const char* name = Tag::name;
    // Mask of the bits that belong to the field.
    static constexpr Rep mask =
        W * 8 >= int(sizeof(Rep) * 8) ? Rep(~Rep(0)) : Rep((Rep(1) << (W * 8)) - 1);

    Rep value{};
    constexpr Field() noexcept = default;
    template <std::integral V>
    constexpr Field(V v) noexcept : value(static_cast<Rep>(v)) {}
    constexpr Field(uint128 v) noexcept requires(sizeof(Rep) == 16) : value(v) {}

    // Integral conversion.
    constexpr Rep get() const noexcept { return value; }
    constexpr explicit operator Rep() const noexcept { return value; }

    friend constexpr bool operator==(Field a, Field b) noexcept { return a.value == b.value; }
    friend constexpr auto operator<=>(Field a, Field b) noexcept { return a.value <=> b.value; }
};

#define PRESSEL_FIELD_TYPE(NAME, REP, W, FAM)                                   \
    struct NAME##_tag { static constexpr const char* name = #NAME; };           \
    struct NAME : Field<NAME##_tag, REP, W, FieldFamily::FAM> {                 \
        using Field::Field;                                                     \
    };

PRESSEL_FIELD_TYPE(N1, std::uint8_t, 1, N)
PRESSEL_FIELD_TYPE(N2, std::uint16_t, 2, N)
PRESSEL_FIELD_TYPE(N3, std::uint32_t, 3, N)
PRESSEL_FIELD_TYPE(N4, std::uint32_t, 4, N)
PRESSEL_FIELD_TYPE(I2, std::int16_t, 2, I)
PRESSEL_FIELD_TYPE(I3, std::int32_t, 3, I)
PRESSEL_FIELD_TYPE(A1, std::uint8_t, 1, A)
PRESSEL_FIELD_TYPE(A2, std::uint16_t, 2, A)
PRESSEL_FIELD_TYPE(A3, std::uint32_t, 3, A)
PRESSEL_FIELD_TYPE(A6, std::uint64_t, 6, A)
PRESSEL_FIELD_TYPE(A8, std::uint64_t, 8, A)
PRESSEL_FIELD_TYPE(A12, uint128, 12, A)
#undef PRESSEL_FIELD_TYPE

template <class T>
concept NumField = requires { T::family; } && (T::family == FieldFamily::N);
template <class T>
concept IntField = requires { T::family; } && (T::family == FieldFamily::I);
template <class T>
concept AField = requires { T::family; } && (T::family == FieldFamily::A);
template <class T>
concept WidthField = NumField<T> || IntField<T> || AField<T>;

// ---- numeric, integral and bitwise operations of the A types --------------
// Results wrap to the field's width, as the field would when written.
#define PRESSEL_A_BINOP(OP)                                                      \
    template <AField T>                                                          \
    constexpr T operator OP(T a, T b) noexcept {                                 \
        return T(typename T::rep((a.value OP b.value) & T::mask));               \
    }
PRESSEL_A_BINOP(+)
PRESSEL_A_BINOP(-)
PRESSEL_A_BINOP(*)
PRESSEL_A_BINOP(&)
PRESSEL_A_BINOP(|)
PRESSEL_A_BINOP(^)
#undef PRESSEL_A_BINOP
template <AField T>
constexpr T operator/(T a, T b) {
    if (b.value == 0) throw Error(std::string(T::name) + ": division by zero");
    return T(typename T::rep(a.value / b.value));
}
template <AField T>
constexpr T operator%(T a, T b) {
    if (b.value == 0) throw Error(std::string(T::name) + ": division by zero");
    return T(typename T::rep(a.value % b.value));
}
template <AField T>
constexpr T operator~(T a) noexcept { return T(typename T::rep(~a.value & T::mask)); }
template <AField T>
constexpr T operator<<(T a, int n) noexcept {
    return n >= int(sizeof(typename T::rep) * 8) ? T(0) : T(typename T::rep((a.value << n) & T::mask));
}
template <AField T>
constexpr T operator>>(T a, int n) noexcept {
    return n >= int(sizeof(typename T::rep) * 8) ? T(0) : T(typename T::rep(a.value >> n));
}
template <AField T>
constexpr bool testBit(T a, int n) noexcept {
    return n >= 0 && n < T::width * 8 && ((a.value >> n) & 1) != 0;
}
template <AField T>
constexpr int storageSize(T) noexcept { return T::width; }

// ---- text forms ------------------------------------------------------------
// Hex digits of v, upper case, prefixed with zeros to `width` bytes (2*width
// digits); a value with more digits is shown in full, never cut.
std::string zeropad(int width, uint128 v);

inline void showsPrec(std::string& out, int, N0) { out += "N0"; }
template <NumField T>
void showsPrec(std::string& out, int, T v) { out += std::to_string(static_cast<std::uint64_t>(v.value)); }
template <AField T>
void showsPrec(std::string& out, int, T v) { out += zeropad(T::width, v.value); }
template <IntField T>
void showsPrec(std::string& out, int prec, T v) {
    if (prec >= 11) out += '(';
    out += T::name;
    out += ' ';
    // Appended piece by piece: GCC 12 reports a false -Wrestrict on
    // "(" + std::to_string(...) once this is inlined.
    if (v.value < 0) {
        out += '(';
        out += std::to_string(v.value);
        out += ')';
    } else {
        out += std::to_string(v.value);
    }
    if (prec >= 11) out += ')';
}

// A type with a text form: showsPrec(out, prec, v) names an overload for it.
template <class T>
concept HasTextForm = requires(std::string& out, const T& v) { showsPrec(out, 0, v); };

template <HasTextForm T>
std::string show(const T& v) {
    std::string s;
    showsPrec(s, 0, v);
    return s;
}

// List form: the elements one after another, separated by commas, in
// brackets. The text form of every list (vectors, chunk lists, queues).
template <class Range>
void showsList(std::string& out, const Range& xs) {
    out += '[';
    bool first = true;
    for (const auto& x : xs) {
        if (!first) out += ',';
        first = false;
        showsPrec(out, 0, x);
    }
    out += ']';
}
template <HasTextForm T>
void showsPrec(std::string& out, int, const std::vector<T>& xs) {
    showsList(out, xs);
}

} // namespace pressel
