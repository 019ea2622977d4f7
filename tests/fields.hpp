// Structured fields and triplets assembled from their bytes, for tests that
// build streams by hand.
#pragma once

#include <cstdint>
#include <string>

#include "pressel/stream/chunk.hpp"
#include "pressel/text/ebcdic.hpp"

namespace pressel::test {

// Latin-1 text as code page 500 bytes.
inline std::string e(const std::string& latin1) { return latin1ToEbcdic(latin1); }
// Bytes written in hexadecimal (spaces ignored).
inline std::string hex(const std::string& h) { return std::string(fromHex(h).chars()); }

// A structured field: identifier, flag and reserved bytes, data.
inline AFP_ sf(std::uint32_t code, const std::string& data) {
    return AFP_{code, Bytes::copy(std::string{char(code >> 16), char(code >> 8), char(code), 0, 0, 0} + data)};
}
// A triplet: its length byte, identifier and body.
inline std::string triplet(char id, const std::string& body) {
    return std::string(1, char(body.size() + 2)) + id + body;
}

}  // namespace pressel::test
