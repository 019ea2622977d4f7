// Text in a declared code page, as UTF-8: names and values of triplets whose
// list declares a code page, read through the code page tables.
#include "pressel/text/detail/decode_codepage.hpp"

#include "pressel/text/codepages.hpp"

namespace pressel {
namespace {

// The tables know code pages by CPGID; a few CCSIDs that triplets give name
// the same pages under another number.
const CodePage* pageOf(int cpgid) noexcept {
    switch (cpgid) {
    case 13488: cpgid = 1200; break;  // UCS-2 level 1: read as UTF-16
    case 367: cpgid = 819; break;     // US-ASCII: the lower half of Latin-1
    default: break;
    }
    if (cpgid <= 0 || cpgid > 0xFFFF) return nullptr;
    return findCodePage(static_cast<std::uint16_t>(cpgid));
}

}  // namespace

bool knownCodePage(int cpgid) noexcept { return pageOf(cpgid) != nullptr; }

std::string decodeCodePage(int cpgid, std::string_view bytes) {
    const CodePage* p = pageOf(cpgid);
    return (p ? *p : defaultCodePage()).toUtf8(bytes);
}

int codePageOfEncoding(std::uint16_t codePageScheme) noexcept {
    switch (codePageScheme >> 8) {
    case 0x72:
    case 0x82: return 1200;
    case 0x21:
    case 0x31: return 819;
    case 0x61: return 500;
    default: return 0;
    }
}

}  // namespace pressel
