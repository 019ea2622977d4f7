// Writing the dump forms: the output buffer, the EBCDIC text tables and the
// quoting of text.
#include "dump_write.hpp"

#include <algorithm>

#include "pressel/core/strings.hpp"

namespace pressel {

void DumpOut::grow(std::size_t k) {
    // Only a little beyond what is needed: the string is zero-filled up to
    // its new size, and a caller appending to a long string must not pay for
    // its length every call.
    s_.resize(std::max(n_ + k + 4096, std::min(2 * s_.size(), n_ + k + (std::size_t(1) << 20))));
}

namespace dumpw {
namespace {
using Piece = EbcdicForms::Piece;

Piece piece(std::string_view s) {
    Piece p{};
    std::memcpy(p.s, s.data(), s.size());
    p.n = std::uint8_t(s.size());
    return p;
}
Piece hexEscape(const char* prefix, byte c) {
    std::string s(prefix);
    s.append(hexTable.pairs + 2 * c, 2);
    return piece(s);
}

// A Latin-1 character as the view lines quote it.
Piece quotedPiece(byte c) {
    if (c == '"' || c == '\\') return piece(std::string{'\\', char(c)});
    if (c == '\n') return piece("\\n");
    if (c == '\t') return piece("\\t");
    if (c >= 0x20 && c < 0x7F) return piece(std::string(1, char(c)));
    return hexEscape("\\x", c);
}
// A Latin-1 character as JSON writes it.
Piece jsonPiece(byte c) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') return piece(std::string(1, char(c)));
    if (c >= 0x80) return piece(std::string{char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F))});
    switch (c) {
    case '"': return piece("\\\"");
    case '\\': return piece("\\\\");
    case '\n': return piece("\\n");
    case '\r': return piece("\\r");
    case '\t': return piece("\\t");
    default: return hexEscape("\\u00", c);
    }
}

EbcdicForms makeForms() {
    EbcdicForms f{};
    byte all[256];
    for (int i = 0; i < 256; ++i) all[i] = byte(i);
    const std::string latin1 = fromAStr(std::span<const byte>(all, 256));
    for (int i = 0; i < 256; ++i) {
        const byte c = static_cast<byte>(latin1[std::size_t(i)]);
        f.latin1[i] = c;
        f.quoted[i] = quotedPiece(c);
        f.json[i] = jsonPiece(c);
        const bool alnum = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        f.printable[i] = c < 0x20 || c >= 0x7F ? 0 : alnum ? 2 : 1;
    }
    return f;
}

}  // namespace

const EbcdicForms& ebcdicForms() noexcept {
    static const EbcdicForms forms = makeForms();
    return forms;
}

namespace {
// Runs of characters kept as they are are appended whole; every other one
// through `escape`.
template <class Keep, class Escape>
void quoteRuns(DumpOut& o, std::string_view s, Keep keep, Escape escape) {
    o.put('"');
    std::size_t run = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const byte c = static_cast<byte>(s[i]);
        if (keep(c)) continue;
        o.put(s.data() + run, i - run);
        run = i + 1;
        const Piece p = escape(c);
        o.put(p.s, p.n);
    }
    o.put(s.data() + run, s.size() - run);
    o.put('"');
}
bool plainAscii(byte c) { return c >= 0x20 && c < 0x7F && c != '"' && c != '\\'; }
bool plainUtf8(byte c) { return c >= 0x20 && c != 0x7F && c != '"' && c != '\\'; }
}  // namespace

void jsonLatin1(DumpOut& o, std::string_view latin1) { quoteRuns(o, latin1, plainAscii, jsonPiece); }
void jsonUtf8(DumpOut& o, std::string_view utf8) { quoteRuns(o, utf8, plainUtf8, jsonPiece); }
void quotedUtf8(DumpOut& o, std::string_view utf8) { quoteRuns(o, utf8, plainUtf8, quotedPiece); }
void quotedLatin1(DumpOut& o, std::string_view latin1) { quoteRuns(o, latin1, plainAscii, quotedPiece); }

}  // namespace dumpw

void appendJsonString(DumpOut& out, std::string_view latin1) { dumpw::jsonLatin1(out, latin1); }

}  // namespace pressel
