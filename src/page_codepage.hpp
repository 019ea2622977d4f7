// Decoding the code points of a text run into a string the caller keeps, so
// a page interpreter that reuses its runs from page to page reuses their
// text buffers too.
#pragma once

#include <span>
#include <string>

#include "pressel/core/bytes.hpp"

namespace pressel {

class CodePage;

// The code page decodeRun reads a run with.
const CodePage& runCodePage(unsigned cpgid, bool doubleByte) noexcept;
// Appends what decodeRun returns for the same arguments.
void appendDecodedRun(std::string& out, unsigned cpgid, bool doubleByte, std::span<const byte> codePoints);
// True when decodeRun reads the code page one byte per character (one code
// point for every byte).
bool codePageSingleByte(unsigned cpgid) noexcept;

}  // namespace pressel
