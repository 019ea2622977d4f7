// Text in a declared code page, as UTF-8: the conversion the views, JSON and
// dumps use for names and values whose triplets declare a code page. It is
// the single entry point, so that a fuller code-page module can take its
// place behind the same call.
//
// Code pages (CPGID, or the CCSID of the CCSID form, which is the same number
// for these): 37, 273, 500, 1140, 1141 (EBCDIC); 367 (ASCII), 819 (Latin-1),
// 850, 1252 (PC); 1200, 13488 (UTF-16 big-endian); 1208 (UTF-8).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pressel {

bool knownCodePage(int cpgid) noexcept;

// The bytes decoded from the code page, as UTF-8. A code page this does not
// know is read as code page 500, the default of the architecture. Bytes that
// do not decode (an odd byte at the end of UTF-16, a lone surrogate,
// malformed UTF-8) become U+FFFD.
std::string decodeCodePage(int cpgid, std::string_view bytes);

// The code page the code-page scheme of an encoding scheme identifier
// (triplet X'50') implies for names and text, 0 when it implies none: UTF-16
// for X'72xx' and X'82xx', Latin-1 for the PC schemes X'21xx' and X'31xx',
// code page 500 for the EBCDIC scheme X'61xx'. (The user-data scheme that
// may follow describes the data a font presents, not the names beside it.)
int codePageOfEncoding(std::uint16_t codePageScheme) noexcept;

}  // namespace pressel
