// Code page 835 -> 950 conversion, 950 -> UTF-8, and font-size parsing.
#include "pressel/text/cp835.hpp"

#include <algorithm>
#include <cwctype>
#include <limits>

#include "pressel/core/error.hpp"

namespace pressel {

namespace {

struct CodePair {
    std::uint16_t from; // code page 835
    std::uint16_t to;   // code page 950
};

struct UnicodePair {
    std::uint16_t code; // code page 950
    char32_t unicode;
};

#include "cp835_table.inc"

constexpr bool sortedStrictly(const auto& table, auto key) {
    for (std::size_t i = 1; i < std::size(table); ++i)
        if (!(key(table[i - 1]) < key(table[i]))) return false;
    return true;
}
static_assert(sortedStrictly(kCp835To950, [](const CodePair& p) { return p.from; }),
              "cp835_table.inc: kCp835To950 must be sorted by code page 835 code");
static_assert(sortedStrictly(kCp950ToUnicode, [](const UnicodePair& p) { return p.code; }),
              "cp835_table.inc: kCp950ToUnicode must be sorted by code page 950 code");

constexpr char32_t kUnicodeReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

char32_t cp950ToUnicode(std::uint16_t code) {
    const auto* end = std::end(kCp950ToUnicode);
    const auto* it = std::lower_bound(std::begin(kCp950ToUnicode), end, code,
                                      [](const UnicodePair& p, std::uint16_t c) { return p.code < c; });
    return it != end && it->code == code ? it->unicode : kUnicodeReplacement;
}

void appendCode(std::string& out, std::uint16_t code) {
    out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
}

// The font name inside double quotes, escaped as fontSizeFromName documents.
std::string quoted(std::string_view name) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (char ch : name) {
        const auto b = static_cast<unsigned char>(ch);
        if (b == '"' || b == '\\') {
            out += '\\';
            out += ch;
        } else if (b >= 0x20 && b <= 0x7E) {
            out += ch;
        } else {
            out += "\\x";
            out += hex[b >> 4];
            out += hex[b & 0x0F];
        }
    }
    out += '"';
    return out;
}

} // namespace

std::vector<std::pair<std::uint32_t, std::uint32_t>> convert835to950_build(std::u32string_view mappingText) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;
    pairs.reserve(mappingText.size() / 2);
    for (std::size_t i = 0; i + 1 < mappingText.size(); i += 2)
        pairs.emplace_back(static_cast<std::uint32_t>(mappingText[i]), static_cast<std::uint32_t>(mappingText[i + 1]));
    return pairs;
}

std::u32string cp835MappingText() {
    std::u32string text;
    text.reserve(2 * std::size(kCp835To950));
    for (const CodePair& p : kCp835To950) {
        text += static_cast<char32_t>(p.from);
        text += static_cast<char32_t>(p.to);
    }
    return text;
}

std::uint16_t convert835to950(std::uint16_t code835) {
    const auto* end = std::end(kCp835To950);
    const auto* it = std::lower_bound(std::begin(kCp835To950), end, code835,
                                      [](const CodePair& p, std::uint16_t c) { return p.from < c; });
    return it != end && it->from == code835 ? it->to : kCp950Replacement;
}

std::string convert835to950Text(std::string_view dbcsBytes) {
    std::string out;
    out.reserve(dbcsBytes.size() + 1);
    std::size_t i = 0;
    for (; i + 1 < dbcsBytes.size(); i += 2) {
        const auto code = static_cast<std::uint16_t>(static_cast<unsigned char>(dbcsBytes[i]) << 8 |
                                                     static_cast<unsigned char>(dbcsBytes[i + 1]));
        appendCode(out, convert835to950(code));
    }
    if (i < dbcsBytes.size()) appendCode(out, kCp950Replacement);
    return out;
}

std::string cp950ToUtf8(std::string_view cp950) {
    std::string out;
    out.reserve(cp950.size() * 3 / 2);
    for (std::size_t i = 0; i < cp950.size(); ++i) {
        const auto b = static_cast<unsigned char>(cp950[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
        } else if (b == 0x80 || b == 0xFF || i + 1 == cp950.size()) {
            appendUtf8(out, kUnicodeReplacement);
        } else {
            const auto code = static_cast<std::uint16_t>(b << 8 | static_cast<unsigned char>(cp950[i + 1]));
            appendUtf8(out, cp950ToUnicode(code));
            ++i;
        }
    }
    return out;
}

bool isDecimalDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

bool isNotDecimalDigit(char32_t c) { return !isDecimalDigit(c); }

bool isNotWhiteSpace(char32_t c) {
    if ((c >= 9 && c <= 13) || c == 32 || c == 160) return false;
    return std::iswspace(static_cast<std::wint_t>(c)) == 0;
}

int fontSizeFromName(std::string_view fontName) {
    auto charAt = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(fontName[i])); };

    // Scan back past the characters after the last digit, then over the digits.
    std::size_t end = fontName.size();
    while (end > 0 && isNotDecimalDigit(charAt(end - 1))) --end;
    std::size_t begin = end;
    while (begin > 0 && isDecimalDigit(charAt(begin - 1))) --begin;

    long long size = 0;
    bool fits = true;
    for (std::size_t i = begin; i < end && fits; ++i) {
        size = size * 10 + (charAt(i) - U'0');
        fits = size <= std::numeric_limits<int>::max();
    }
    if (begin == end || !fits || size == 0) throw Error("Cannot parse font for size: " + quoted(fontName));
    return static_cast<int>(size);
}

} // namespace pressel
