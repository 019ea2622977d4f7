// Code pages to Unicode: the page registry, decoding to UTF-8, the reverse
// direction for single-byte pages, and the names and identifiers of pages.
#include "pressel/text/codepages.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "codepage_tables.hpp"

namespace pressel {

namespace codepage_data {

// A character as UTF-8 (at most three bytes: every single-byte page maps into
// the Basic Multilingual Plane) and its length, stored so that the decoder
// copies four bytes at once and advances by `length`.
struct Utf8Form {
    char bytes[3];
    std::uint8_t length;
};

namespace {

Utf8Form utf8Form(char32_t c) {
    std::string s;
    appendUtf8Char(s, c);
    Utf8Form f{{0, 0, 0}, static_cast<std::uint8_t>(s.size())};
    std::memcpy(f.bytes, s.data(), s.size());
    return f;
}

} // namespace

// Builds every CodePage once, with the UTF-8 and reverse tables of the
// single-byte pages, and keeps them sorted by CPGID.
struct Registry {
    std::vector<CodePage> pages;
    std::vector<std::array<Utf8Form, 256>> utf8;
    std::vector<std::vector<std::uint32_t>> reverse;
    const CodePage* page500 = nullptr;

    Registry() {
        utf8.resize(kSingleByteTableCount);
        reverse.resize(kSingleByteTableCount);
        // How often each character occurs in the page being built (0, 1 or
        // 2 for more): one pass per page instead of a count per byte.
        std::vector<std::uint8_t> occurs(0x10000, 0);
        for (std::size_t i = 0; i < kSingleByteTableCount; ++i) {
            const SingleByteTable& t = kSingleByteTables[i];
            CodePage p;
            p.cpgid_ = t.cpgid;
            p.form_ = CodePageForm::SingleByte;
            p.ebcdic_ = t.ebcdic;
            p.iconvName_ = t.iconvName;
            p.single_ = &t;
            for (unsigned b = 0; b < 256; ++b) utf8[i][b] = utf8Form(t.toUnicode[b]);
            p.utf8_ = utf8[i].data();
            std::vector<std::uint32_t>& r = reverse[i];
            for (unsigned b = 0; b < 256; ++b)
                if (occurs[t.toUnicode[b]] < 2) ++occurs[t.toUnicode[b]];
            for (unsigned b = 0; b < 256; ++b) {
                const std::uint16_t u = t.toUnicode[b];
                if (u == kNone) continue;
                // A character on more than one byte encodes to its preferred byte.
                const bool duplicate =
                    occurs[u] > 1 &&
                    std::find(t.preferred, t.preferred + t.preferredCount, b) == t.preferred + t.preferredCount;
                if (!duplicate) r.push_back(static_cast<std::uint32_t>(u) << 8 | b);
            }
            for (unsigned b = 0; b < 256; ++b) occurs[t.toUnicode[b]] = 0;
            std::sort(r.begin(), r.end());
            p.reverse_ = r.data();
            p.reverseCount_ = r.size();
            pages.push_back(p);
        }
        for (const DoubleByteTable* t : {&kDoubleByte300, &kDoubleByte301, &kDoubleByte834, &kDoubleByte835,
                                         &kDoubleByte837}) {
            CodePage p;
            p.cpgid_ = t->cpgid;
            p.form_ = CodePageForm::DoubleByte;
            p.ebcdic_ = t->ebcdic;
            p.iconvName_ = t->iconvName;
            p.double_ = t;
            pages.push_back(p);
        }
        CodePage utf16;
        utf16.cpgid_ = 1200;
        utf16.form_ = CodePageForm::Utf16BE;
        utf16.iconvName_ = "UTF-16BE";
        pages.push_back(utf16);
        CodePage utf8page;
        utf8page.cpgid_ = 1208;
        utf8page.form_ = CodePageForm::Utf8;
        utf8page.iconvName_ = "UTF-8";
        pages.push_back(utf8page);
        std::sort(pages.begin(), pages.end(),
                  [](const CodePage& a, const CodePage& b) { return a.cpgid() < b.cpgid(); });
        page500 = find(500);
    }

    const CodePage* find(std::uint16_t cpgid) const noexcept {
        auto it = std::lower_bound(pages.begin(), pages.end(), cpgid,
                                   [](const CodePage& p, std::uint16_t c) { return p.cpgid() < c; });
        return it != pages.end() && it->cpgid() == cpgid ? &*it : nullptr;
    }

    static const Registry& get() {
        static const Registry registry;
        return registry;
    }
};

} // namespace codepage_data

using codepage_data::Registry;

namespace {

// Writes the UTF-8 form of c (a valid scalar value) at o; returns the end.
inline char* putUtf8(char* o, char32_t c) {
    if (c < 0x80) {
        *o++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *o++ = static_cast<char>(0xC0 | (c >> 6));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *o++ = static_cast<char>(0xE0 | (c >> 12));
        *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *o++ = static_cast<char>(0xF0 | (c >> 18));
        *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return o;
}

} // namespace

void appendUtf8Char(std::string& out, char32_t c) {
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = kNoCharacter;
    char buffer[4];
    out.append(buffer, static_cast<std::size_t>(putUtf8(buffer, c) - buffer));
}

namespace {

// Decoders write into a stack buffer and append it in blocks, so the string
// neither grows per character nor is zero-filled first. A block holds
// kBlock characters of at most four UTF-8 bytes each.
constexpr std::size_t kBlock = 2048;

// Single-byte pages: one table lookup and one four-byte copy per byte, into
// `o` (room for three bytes per input byte and one of overhang).
inline char* putSingleBytes(char* o, const unsigned char* p, std::size_t n, const codepage_data::Utf8Form* table) {
    for (std::size_t i = 0; i < n; ++i) {
        const codepage_data::Utf8Form& f = table[p[i]];
        std::memcpy(o, &f, 4);
        o += f.length;
    }
    return o;
}

void appendSingleByte(std::string& out, std::string_view in, const codepage_data::Utf8Form* table) {
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    std::size_t left = in.size();
    char buffer[kBlock * 3 + 1];
    while (left > 0) {
        const std::size_t n = left < kBlock ? left : kBlock;
        out.append(buffer, static_cast<std::size_t>(putSingleBytes(buffer, p, n, table) - buffer));
        p += n;
        left -= n;
    }
}

void appendDoubleByte(std::string& out, std::string_view in, const codepage_data::DoubleByteTable& t) {
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    std::size_t pairs = in.size() / 2;
    char buffer[kBlock * 3];
    while (pairs > 0) {
        const std::size_t n = pairs < kBlock ? pairs : kBlock;
        char* o = buffer;
        for (std::size_t i = 0; i < n; ++i, p += 2) o = putUtf8(o, codepage_data::lookupPair(t, p[0], p[1]));
        out.append(buffer, static_cast<std::size_t>(o - buffer));
        pairs -= n;
    }
    if (in.size() % 2 != 0) appendUtf8Char(out, kNoCharacter);
}

void appendUtf16(std::string& out, std::string_view in) {
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t units = in.size() / 2;
    char buffer[kBlock * 4];
    char* o = buffer;
    for (std::size_t i = 0; i < units; ++i) {
        if (o - buffer > static_cast<std::ptrdiff_t>(sizeof buffer - 4)) {
            out.append(buffer, static_cast<std::size_t>(o - buffer));
            o = buffer;
        }
        char32_t u = static_cast<char32_t>(p[2 * i] << 8 | p[2 * i + 1]);
        if (u >= 0xD800 && u <= 0xDFFF) {
            char32_t low = 0;
            if (u <= 0xDBFF && i + 1 < units) low = static_cast<char32_t>(p[2 * i + 2] << 8 | p[2 * i + 3]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            } else {
                u = kNoCharacter; // a lone surrogate
            }
        }
        o = putUtf8(o, u);
    }
    out.append(buffer, static_cast<std::size_t>(o - buffer));
    if (in.size() % 2 != 0) appendUtf8Char(out, kNoCharacter);
}

// The length of the well-formed UTF-8 sequence at s[0..n), or 0 when the
// bytes there do not start one (overlong forms, surrogates and values above
// U+10FFFF are ill-formed).
std::size_t utf8SequenceLength(const unsigned char* s, std::size_t n, char32_t* value) {
    const unsigned b = s[0];
    if (b < 0x80) {
        *value = b;
        return 1;
    }
    std::size_t len;
    char32_t c;
    char32_t min;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2, c = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3, c = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4, c = b & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (n < len) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        if ((s[k] & 0xC0) != 0x80) return 0;
        c = c << 6 | (s[k] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    *value = c;
    return len;
}

void appendUtf8Checked(std::string& out, std::string_view in) {
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    std::size_t i = 0;
    while (i < in.size()) {
        // Copy the longest stretch of well-formed text at once.
        const std::size_t start = i;
        char32_t c;
        std::size_t len;
        while (i < in.size() && (len = utf8SequenceLength(p + i, in.size() - i, &c)) != 0) i += len;
        out.append(in.data() + start, i - start);
        if (i < in.size()) {
            appendUtf8Char(out, kNoCharacter);
            ++i;
        }
    }
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

// Decimal digits only, one to six of them ("001140"), value 0..65535.
std::optional<std::uint16_t> parseNumber(std::string_view s) {
    if (s.empty() || s.size() > 6) return std::nullopt;
    std::uint32_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (v > 0xFFFF) return std::nullopt;
    return static_cast<std::uint16_t>(v);
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    return s;
}

} // namespace

char32_t CodePage::toUnicode(std::uint32_t code) const noexcept {
    switch (form_) {
    case CodePageForm::SingleByte:
        return code < 256 ? single_->toUnicode[code] : kNoCharacter;
    case CodePageForm::DoubleByte:
        return code <= 0xFFFF ? codepage_data::lookupPair(*double_, code >> 8, code & 0xFF) : kNoCharacter;
    case CodePageForm::Utf16BE:
        return code <= 0xFFFF && !(code >= 0xD800 && code <= 0xDFFF) ? code : kNoCharacter;
    case CodePageForm::Utf8:
        return code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF) ? code : kNoCharacter;
    }
    return kNoCharacter;
}

void CodePage::appendUtf8(std::string& out, std::string_view bytes) const {
    switch (form_) {
    case CodePageForm::SingleByte: appendSingleByte(out, bytes, utf8_); return;
    case CodePageForm::DoubleByte: appendDoubleByte(out, bytes, *double_); return;
    case CodePageForm::Utf16BE: appendUtf16(out, bytes); return;
    case CodePageForm::Utf8: appendUtf8Checked(out, bytes); return;
    }
}

std::string CodePage::toUtf8(std::string_view bytes) const {
    std::string out;
    appendUtf8(out, bytes);
    return out;
}

int CodePage::fromUnicode(char32_t c) const noexcept {
    if (form_ != CodePageForm::SingleByte || c > 0xFFFF || c == kNoCharacter) return -1;
    const std::uint32_t key = static_cast<std::uint32_t>(c) << 8;
    const std::uint32_t* end = reverse_ + reverseCount_;
    const std::uint32_t* it = std::lower_bound(reverse_, end, key);
    if (it == end || (*it >> 8) != c) return -1;
    return static_cast<int>(*it & 0xFF);
}

std::optional<std::string> CodePage::fromUtf8(std::string_view utf8) const {
    if (form_ != CodePageForm::SingleByte) return std::nullopt;
    std::string out;
    out.reserve(utf8.size());
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c;
        const std::size_t len = utf8SequenceLength(p + i, utf8.size() - i, &c);
        if (len == 0) return std::nullopt;
        const int b = fromUnicode(c);
        if (b < 0) return std::nullopt;
        out += static_cast<char>(b);
        i += len;
    }
    return out;
}

std::span<const CodePage> allCodePages() noexcept { return Registry::get().pages; }

const CodePage* findCodePage(std::uint16_t cpgid) noexcept { return Registry::get().find(cpgid); }

const CodePage& defaultCodePage() noexcept { return *Registry::get().page500; }

const CodePage& codePageOrDefault(std::uint16_t cpgid) noexcept {
    const CodePage* p = findCodePage(cpgid);
    return p ? *p : defaultCodePage();
}

std::optional<std::uint16_t> cpgidOfResourceName(std::string_view name) noexcept {
    name = trimBlanks(name);
    if (name.size() != 8 || (name[0] != 'T' && name[0] != 't') || name[1] != '1') return std::nullopt;
    const std::string_view rest = name.substr(2);
    if ((rest[0] == 'V' || rest[0] == 'v') && rest[1] == '1') return parseNumber(rest.substr(2));
    return parseNumber(rest);
}

const CodePage* codePageByName(std::string_view name) noexcept {
    name = trimBlanks(name);
    if (name.empty()) return nullptr;
    if (auto n = parseNumber(name)) return findCodePage(*n);
    if (auto n = cpgidOfResourceName(name)) return findCodePage(*n);
    for (std::string_view prefix : {"IBM-", "IBM", "CP", "CCSID"}) {
        if (name.size() > prefix.size() && equalsIgnoreCase(name.substr(0, prefix.size()), prefix))
            if (auto n = parseNumber(name.substr(prefix.size()))) return findCodePage(*n);
    }
    struct Alias {
        std::string_view name;
        std::uint16_t cpgid;
    };
    static constexpr Alias kAliases[] = {{"UTF-8", 1208}, {"UTF8", 1208},        {"UTF-16", 1200},
                                         {"UTF-16BE", 1200}, {"UTF16", 1200},     {"ISO-8859-1", 819},
                                         {"ISO8859-1", 819}, {"LATIN1", 819},     {"LATIN-1", 819},
                                         {"WINDOWS-1252", 1252}};
    for (const Alias& a : kAliases)
        if (equalsIgnoreCase(name, a.name)) return findCodePage(a.cpgid);
    return nullptr;
}

CodePagePair codePagesOfCcsid(std::uint16_t ccsid) noexcept {
    struct Ccsid {
        std::uint16_t ccsid;
        std::uint16_t page;
        std::uint16_t doubleByte; // 0: not mixed
    };
    // CCSIDs whose page has another number, and the mixed host CCSIDs.
    static constexpr Ccsid kCcsids[] = {
        {930, 290, 300},   {933, 833, 834},  {935, 836, 837},   {937, 37, 835},
        {939, 1027, 300},  {4396, 300, 0},   {4930, 834, 0},    {5026, 290, 300},
        {5035, 1027, 300}, {5348, 1252, 0},  {13488, 1200, 0},  {17584, 1200, 0},
        {28709, 37, 0},
    };
    for (const Ccsid& c : kCcsids) {
        if (c.ccsid != ccsid) continue;
        return {findCodePage(c.page), c.doubleByte ? findCodePage(c.doubleByte) : nullptr};
    }
    return {findCodePage(ccsid), nullptr};
}

CodePagePair codePagesOfCgcsgid(std::uint16_t gcsgid, std::uint16_t cpgidOrCcsid) noexcept {
    if (gcsgid == 0) return codePagesOfCcsid(cpgidOrCcsid);
    return {findCodePage(cpgidOrCcsid), nullptr};
}

EncodingScheme encodingSchemeOf(std::uint16_t esid) noexcept {
    EncodingScheme e;
    const unsigned family = esid >> 12;
    const unsigned width = (esid >> 8) & 0x0F;
    if (esid == 0x7807) {
        e.form = CodePageForm::Utf8;
        e.page = findCodePage(1208);
        return e;
    }
    if ((family == 7 || family == 8) && width == 2) {
        e.form = CodePageForm::Utf16BE;
        e.page = findCodePage(1200);
        return e;
    }
    e.ebcdic = family == 1 || family == 6;
    if (width == 1) e.form = CodePageForm::SingleByte;
    if (width == 2) e.form = CodePageForm::DoubleByte;
    if (width == 3) {
        e.form = CodePageForm::SingleByte;
        e.mixed = true;
    }
    return e;
}

void appendMixedUtf8(std::string& out, std::string_view bytes, const CodePage& singleByte,
                     const CodePage& doubleByte) {
    bool shifted = false;
    std::size_t start = 0;
    auto flush = [&](std::size_t end) {
        const std::string_view run = bytes.substr(start, end - start);
        (shifted ? doubleByte : singleByte).appendUtf8(out, run);
    };
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != 0x0E && c != 0x0F) continue;
        flush(i);
        shifted = c == 0x0E;
        start = i + 1;
    }
    flush(bytes.size());
}

} // namespace pressel
