// Writing the dump forms: the pieces every form appends (hex, numbers,
// quoted EBCDIC text) written straight into a DumpOut, and the facts of a
// record's fields that the forms need, fixed when the record type is compiled
// (the field's name as a JSON key, whether its numbers read as codes).
#pragma once

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <tuple>
#include <utility>

#include "pressel/view/dump.hpp"

namespace pressel::dumpw {

// ---- hex ---------------------------------------------------------------------------------
struct HexTable {
    char pairs[512];
    constexpr HexTable() : pairs{} {
        const char* d = "0123456789ABCDEF";
        for (int i = 0; i < 256; ++i) {
            pairs[2 * i] = d[i >> 4];
            pairs[2 * i + 1] = d[i & 15];
        }
    }
};
inline constexpr HexTable hexTable{};

// Two hex digits a byte, straight into the output.
inline void hex(DumpOut& o, std::span<const byte> b) {
    char* p = o.reserve(2 * b.size());
    for (byte x : b) {
        std::memcpy(p, hexTable.pairs + 2 * x, 2);
        p += 2;
    }
    o.commit(p);
}
// The low `width` bytes of v in hex.
inline void hexValue(DumpOut& o, std::uint64_t v, int width) {
    char* p = o.reserve(16);
    for (int i = width - 1; i >= 0; --i) {
        std::memcpy(p, hexTable.pairs + 2 * byte(v >> (8 * i)), 2);
        p += 2;
    }
    o.commit(p);
}

template <class I>
inline void number(DumpOut& o, I v) {
    char* p = o.reserve(24);
    o.commit(std::to_chars(p, p + 24, v).ptr);
}

// ---- EBCDIC text -------------------------------------------------------------------------
// For every byte of code page 500: its Latin-1 character quoted as the view
// lines quote it (printable ASCII as it is, the quote and the backslash
// escaped, \n, \t, \xHH for the rest) and as JSON writes it (UTF-8, the quote,
// the backslash and control characters escaped); and whether it is a
// printable ASCII character, a letter or a digit.
struct EbcdicForms {
    struct Piece {
        char s[7];
        std::uint8_t n;
    };
    Piece quoted[256];
    Piece json[256];
    std::uint8_t printable[256];  // 0: not printable ASCII, 1: printable, 2: a letter or digit
    std::uint8_t latin1[256];
};
const EbcdicForms& ebcdicForms() noexcept;

// EBCDIC bytes as the view lines quote their Latin-1 text, quotes included.
inline void quotedEbcdic(DumpOut& o, const EbcdicForms& f, std::span<const byte> b) {
    char* p = o.reserve(4 * b.size() + 2);
    *p++ = '"';
    for (byte x : b) {
        std::memcpy(p, f.quoted[x].s, 4);
        p += f.quoted[x].n;
    }
    *p++ = '"';
    o.commit(p);
}
// EBCDIC bytes as a JSON string of their Latin-1 text, quotes included.
inline void jsonEbcdic(DumpOut& o, const EbcdicForms& f, std::span<const byte> b) {
    char* p = o.reserve(8 * b.size() + 2);
    *p++ = '"';
    for (byte x : b) {
        std::memcpy(p, f.json[x].s, 8);
        p += f.json[x].n;
    }
    *p++ = '"';
    o.commit(p);
}

// Raw bytes and A values in the view lines: hex, then their EBCDIC text when
// every byte is a printable ASCII character and one is a letter or digit.
inline void hexWithText(DumpOut& o, std::span<const byte> b) {
    const EbcdicForms& f = ebcdicForms();
    char* p = o.reserve(2 * b.size() + 3);
    *p++ = 'X';
    *p++ = '\'';
    unsigned all = 1, alnum = 0;
    for (byte x : b) {
        std::memcpy(p, hexTable.pairs + 2 * x, 2);
        p += 2;
        const unsigned k = f.printable[x];
        all &= k != 0;
        alnum |= k >> 1;
    }
    *p++ = '\'';
    o.commit(p);
    if (all && alnum && !b.empty()) {
        o.put(' ');
        quotedEbcdic(o, f, b);
    }
}

// ---- JSON strings ------------------------------------------------------------------------
// Latin-1 text as a JSON string (appendJsonString), UTF-8 text (writeJsonString).
void jsonLatin1(DumpOut& o, std::string_view latin1);
void jsonUtf8(DumpOut& o, std::string_view utf8);
// UTF-8 text between double quotes as the view lines quote it.
void quotedUtf8(DumpOut& o, std::string_view utf8);
// Latin-1 text between double quotes as the view lines quote it.
void quotedLatin1(DumpOut& o, std::string_view latin1);

// ---- field facts, fixed at compile time ----------------------------------------------------
template <class T, std::size_t I>
struct FieldFacts {
    using Desc = std::tuple_element_t<I, decltype(RecordDecl<T>::fields())>;
    static constexpr std::string_view name{std::get<I>(RecordDecl<T>::fields()).name};
    // Numbers of the field show their hex value beside them in the view lines.
    static constexpr bool code = isCodeLabel(name);
    // "name": as JSON writes it; a field name is an identifier, which needs no escape.
    static constexpr auto jsonKey = [] {
        std::array<char, name.size() + 3> k{};
        k[0] = '"';
        for (std::size_t i = 0; i < name.size(); ++i) k[i + 1] = name[i];
        k[name.size() + 1] = '"';
        k[name.size() + 2] = ':';
        return k;
    }();
    static_assert([] {
        for (char c : name)
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F || c == '"' ||
                c == '\\')
                return false;
        return true;
    }(), "a field name that JSON would have to escape");
};

// Calls f(std::integral_constant<I>, member value) for each field in order.
template <class T, class F, std::size_t... I>
inline void eachField(const T& v, F&& f, std::index_sequence<I...>) {
    (f(std::integral_constant<std::size_t, I>{},
       v.*(std::tuple_element_t<I, decltype(RecordDecl<T>::fields())>::member)),
     ...);
}
template <class T, class F>
inline void eachField(const T& v, F&& f) {
    eachField(v, f, std::make_index_sequence<std::tuple_size_v<decltype(RecordDecl<T>::fields())>>{});
}

template <class V>
struct IsOptField : std::false_type {};
template <class F>
struct IsOptField<Opt<F>> : std::true_type {};
template <class V>
struct IsGroups : std::false_type {};
template <class G>
struct IsGroups<std::vector<Record<G>>> : std::true_type {
    using type = G;
};
template <class V>
struct IsChunkList : std::false_type {};
template <ChunkFamily C>
struct IsChunkList<Chunks<C>> : std::true_type {
    using type = C;
};

// The width in bytes of a number's hex form in the view lines.
template <class V>
constexpr int hexWidth() {
    if constexpr (std::is_same_v<V, N1>) return 1;
    else if constexpr (std::is_same_v<V, N2> || std::is_same_v<V, I2>) return 2;
    else if constexpr (std::is_same_v<V, N3> || std::is_same_v<V, I3>) return 3;
    else return 4;
}

// The bytes of an A value, most significant first.
template <AField V>
inline std::span<const byte> aBytes(const V& x, byte (&buf)[16]) {
    const uint128 value = uint128(x.get());
    const int n = storageSize(x);
    for (int i = 0; i < n; ++i) buf[i] = static_cast<byte>(value >> (8 * (n - 1 - i)));
    return {buf, std::size_t(n)};
}

// What a triplet list changes in the fields of one of its triplets: names in
// the code page the list declares (0: none), and the name of a fully
// qualified name in object identifier form shown as the identifier.
struct TripletText {
    int cp = 0;
    const std::string* oid = nullptr;
};

}  // namespace pressel::dumpw
