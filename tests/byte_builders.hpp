// Hand-built structured fields for page and drawing tests: byte vectors
// joined with +, big-endian numbers, EBCDIC names, triplets, repeating
// groups and control sequences, and structured fields made of them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pressel/core/strings.hpp"
#include "pressel/stream/chunk.hpp"

namespace pressel::test {

using B = std::vector<byte>;

inline B operator+(B a, const B& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
inline std::vector<AFP_> operator+(std::vector<AFP_> a, const std::vector<AFP_>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
// `v` as an n-byte big-endian number.
inline B be(unsigned v, int n) {
    B b;
    for (int k = n - 1; k >= 0; --k) b.push_back(byte(v >> (8 * k)));
    return b;
}
// Text in code page 500.
inline B ebc(std::string_view s) {
    Bytes e = toAStr(s);
    return B(e.begin(), e.end());
}
// An 8-byte name, padded with blanks.
inline B name8(std::string_view s) { return ebc(std::string(s) + std::string(8 - std::min<std::size_t>(8, s.size()), ' ')); }
// A structured field as the reader gives it: identifier, flag byte, reserved bytes, data.
inline AFP_ sf(std::uint32_t id, const B& data = {}) {
    B p = be(id, 3) + B{0, 0, 0} + data;
    return AFP_{id, Bytes::copy(std::span<const byte>(p))};
}
inline B triplet(byte id, const B& content) { return B{byte(2 + content.size()), id} + content; }
inline B fqn(byte type, std::string_view name) { return triplet(0x02, B{type, 0x00} + ebc(name)); }
// A resource local identifier triplet of a coded font.
inline B lid(byte id) { return triplet(0x24, {0x05, id}); }
// A repeating group: its two length bytes, then its triplets.
inline B group(const B& triplets) { return be(unsigned(2 + triplets.size()), 2) + triplets; }
// One unchained control sequence with its prefix.
inline B cs(byte type, const B& params = {}) { return B{0x2B, 0xD3, byte(2 + params.size()), type} + params; }

}  // namespace pressel::test
