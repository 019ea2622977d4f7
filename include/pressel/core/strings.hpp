// Conversions between the byte strings of record fields and the values a
// tool works with.
//
//   packAStr  EBCDIC bytes -> ASCII/Latin-1 bytes (same length)
//   fromAStr  EBCDIC bytes -> text, one character per byte
//   toAStr    text -> EBCDIC bytes, one byte per character
//   fromNStr  bytes -> N1 numbers, one per byte, no code conversion
//   toNStr    N1 numbers -> bytes, one byte per number
//
// The EBCDIC side is code page 500, the text side ISO-8859-1: the tables of
// ebcdic.hpp pair the two byte for byte, so fromAStr(toAStr(s)) == s for any
// text whose characters are all below 256, and every conversion keeps the
// length of its input. Characters of a text are its chars, each taken as an
// unsigned byte (Latin-1); a std::string holding UTF-8 is not decoded.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pressel/core/binary.hpp"
#include "pressel/core/bytes.hpp"

namespace pressel {

// Byte i of the result is the EBCDIC-to-ASCII table entry of input byte i.
Bytes packAStr(const Bytes& ebcdic);
// The text whose character i is byte i of packAStr(ebcdic).
std::string fromAStr(const Bytes& ebcdic);
std::string fromAStr(std::span<const byte> ebcdic);
// One EBCDIC byte per character of the text, in order.
Bytes toAStr(std::string_view text);
// One N1 per byte, equal to the byte.
std::vector<N1> fromNStr(const Bytes& bytes);
// One byte per N1, equal to its value.
Bytes toNStr(std::span<const N1> numbers);

}  // namespace pressel
