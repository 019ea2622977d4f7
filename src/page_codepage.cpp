// Code points of a text run to Unicode: the one place the page interpreter
// turns a run's bytes into text. Every conversion goes through the code page
// tables of codepages.hpp: single-byte EBCDIC and ASCII pages byte by byte,
// double-byte pages pair by pair (code page 835 straight to Unicode, so no
// character is lost on the way through code page 950), UTF-16BE unit by unit
// (a surrogate pair is one character) and UTF-8 sequence by sequence.
#include <string_view>

#include "page_codepage.hpp"

#include "pressel/text/codepages.hpp"
#include "pressel/page/page.hpp"

namespace pressel {
namespace {

const CodePage* pageOf(unsigned cpgid) noexcept {
    return cpgid > 0xFFFF ? nullptr : findCodePage(static_cast<std::uint16_t>(cpgid));
}

}  // namespace

bool codePageKnown(unsigned cpgid) noexcept { return pageOf(cpgid) != nullptr; }

bool codePageDoubleByte(unsigned cpgid) noexcept {
    const CodePage* p = pageOf(cpgid);
    return p && (p->isDoubleByte() || p->form() == CodePageForm::Utf16BE);
}

unsigned codePageOfName(std::string_view name) noexcept {
    if (auto cp = cpgidOfResourceName(name)) return *cp;
    // Names that are the number alone, with or without the T1 / V1 prefixes.
    while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.remove_suffix(1);
    if (name.size() > 2 && name.substr(0, 2) == "T1") name.remove_prefix(2);
    if (name.size() > 2 && name.substr(0, 2) == "V1") name.remove_prefix(2);
    if (name.empty() || name.size() > 7) return 0;
    unsigned n = 0;
    for (char c : name) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + unsigned(c - '0');
    }
    return n;
}

const CodePage& runCodePage(unsigned cpgid, bool doubleByte) noexcept {
    const CodePage* page = pageOf(cpgid);
    // A run set in a double-byte font whose code page is not a double-byte
    // table of its own is read as code page 835, the double-byte page of the
    // host fonts that streams most often carry.
    if (doubleByte && !(page && (page->isDoubleByte() || page->isUnicode()))) page = pageOf(835);
    return page ? *page : defaultCodePage();
}

void appendDecodedRun(std::string& out, unsigned cpgid, bool doubleByte, std::span<const byte> b) {
    runCodePage(cpgid, doubleByte).appendUtf8(out, std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
}

bool codePageSingleByte(unsigned cpgid) noexcept {
    const CodePage* page = pageOf(cpgid);
    return !page || page->isSingleByte();
}

std::string decodeRun(unsigned cpgid, bool doubleByte, std::span<const byte> b) {
    std::string out;
    out.reserve(b.size() + b.size() / 2);
    appendDecodedRun(out, cpgid, doubleByte, b);
    return out;
}

}  // namespace pressel
