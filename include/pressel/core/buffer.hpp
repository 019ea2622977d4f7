// Variable-length fields.
//
//   Buffer0  the rest of the enclosing item (structured field, triplet,
//            control sequence); no length of its own, always a record's
//            last field
//   Buffer2  a 2-byte length that counts itself (n + 2), then n bytes; the
//            framing of one repeating group of the coded-font map
//
// Buffers share their bytes; writing one hands its bytes to the builder as a
// piece of their own, never copying them. Text form (both types, any
// precedence): the bytes as upper-case hex between double quotes, "D3A8AF";
// an empty buffer is "".
#pragma once

#include "pressel/core/bytes.hpp"
#include "pressel/core/codec.hpp"

namespace pressel {

struct Buffer0 {
    static constexpr const char* name = "Buffer0";
    Bytes bytes;
    friend bool operator==(const Buffer0&, const Buffer0&) = default;
};

struct Buffer2 {
    static constexpr const char* name = "Buffer2";
    // The most data bytes a Buffer2 holds: its length value n + 2 must fit in 16 bits.
    static constexpr std::size_t maxData = 65533;
    Bytes bytes;
    friend bool operator==(const Buffer2&, const Buffer2&) = default;
};

inline const Bytes& fromBuf(const Buffer0& b) noexcept { return b.bytes; }
inline const Bytes& fromBuf(const Buffer2& b) noexcept { return b.bytes; }

// Buffer0 reads everything that is left.
inline Buffer0 readBuffer0(ByteReader& r) { return Buffer0{r.takeRest()}; }
// Buffer2 reads its length L, then L - 2 data bytes. A length below 2 cannot
// count its own two bytes and is a format error.
Buffer2 readBuffer2(ByteReader& r);

inline void writeField(Builder& b, const Buffer0& v) { b.putBytes(v.bytes); }
// Throws Error for more than maxData bytes: the length would not fit.
void writeField(Builder& b, const Buffer2& v);

inline std::size_t fieldSize(const Buffer0& v) noexcept { return v.bytes.size(); }
inline std::size_t fieldSize(const Buffer2& v) noexcept { return v.bytes.size() + 2; }

void showBytes(std::string& out, const Bytes& b);
inline void showsPrec(std::string& out, int, const Buffer0& v) { showBytes(out, v.bytes); }
inline void showsPrec(std::string& out, int, const Buffer2& v) { showBytes(out, v.bytes); }

} // namespace pressel
