// Code points of a text run to Unicode: the one place the page interpreter
// turns a run's bytes into text, so that the conversion tables behind it can
// change without touching the interpreter.
//
// Single-byte EBCDIC code pages are code page 500 plus the positions where
// they differ from it; code page 835 goes through its conversion to code
// page 950; UTF-16BE (1200), UTF-8 (1208) and Latin-1 (819) need no table.
#include <utility>

#include "pressel/cp835.hpp"
#include "pressel/ebcdic.hpp"
#include "pressel/page.hpp"

namespace pressel {
namespace {

using Diff = std::pair<std::uint8_t, char32_t>;

// Where code page 037 (US/Canada) differs from 500.
constexpr Diff diff037[] = {{0x4A, 0x00A2}, {0x4F, 0x007C}, {0x5A, 0x0021}, {0x5F, 0x00AC},
                            {0xB0, 0x005E}, {0xBA, 0x005B}, {0xBB, 0x005D}};
// Code page 1140: 037 with the euro sign in place of the currency sign.
constexpr Diff diff1140[] = {{0x4A, 0x00A2}, {0x4F, 0x007C}, {0x5A, 0x0021}, {0x5F, 0x00AC}, {0x9F, 0x20AC},
                             {0xB0, 0x005E}, {0xBA, 0x005B}, {0xBB, 0x005D}};
// Code page 1148: 500 with the euro sign.
constexpr Diff diff1148[] = {{0x9F, 0x20AC}};
// Where code page 273 (Germany/Austria) differs from 500.
constexpr Diff diff273[] = {{0x43, 0x007B}, {0x4A, 0x00C4}, {0x59, 0x007E}, {0x5A, 0x00DC}, {0x63, 0x005B},
                            {0x6A, 0x00F6}, {0x7C, 0x00A7}, {0xA1, 0x00DF}, {0xB5, 0x0040}, {0xBC, 0x203E},
                            {0xC0, 0x00E4}, {0xCC, 0x00A6}, {0xD0, 0x00FC}, {0xDC, 0x007D}, {0xE0, 0x00D6},
                            {0xEC, 0x005C}, {0xFC, 0x005D}};

std::span<const Diff> diffOf(unsigned cpgid) noexcept {
    switch (cpgid) {
    case 500: return {};
    case 37: return diff037;
    case 1140: return diff1140;
    case 1148: return diff1148;
    case 273: return diff273;
    default: return {};
    }
}

void putUtf8(std::string& out, char32_t c) {
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

void decodeUtf16(std::string& out, std::span<const byte> b) {
    std::size_t i = 0;
    for (; i + 1 < b.size(); i += 2) {
        char32_t u = char32_t(b[i]) << 8 | b[i + 1];
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < b.size()) {
            char32_t lo = char32_t(b[i + 2]) << 8 | b[i + 3];
            if (lo >= 0xDC00 && lo < 0xE000) {
                putUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                i += 2;
                continue;
            }
        }
        putUtf8(out, u >= 0xD800 && u < 0xE000 ? 0xFFFD : u);
    }
    if (i < b.size()) putUtf8(out, 0xFFFD);
}

// UTF-8 passes through character by character; a malformed sequence becomes
// one U+FFFD per byte.
void decodeUtf8(std::string& out, std::span<const byte> b) {
    std::size_t i = 0;
    while (i < b.size()) {
        byte c = b[i];
        std::size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        bool ok = n > 0 && i + n <= b.size();
        for (std::size_t k = 1; ok && k < n; ++k) ok = (b[i + k] & 0xC0) == 0x80;
        if (!ok) {
            putUtf8(out, 0xFFFD);
            ++i;
            continue;
        }
        out.append(reinterpret_cast<const char*>(b.data() + i), n);
        i += n;
    }
}

}  // namespace

bool codePageKnown(unsigned cpgid) noexcept {
    switch (cpgid) {
    case 500: case 37: case 1140: case 1148: case 273: case 835: case 819: case 1200: case 1208: return true;
    default: return false;
    }
}

bool codePageDoubleByte(unsigned cpgid) noexcept {
    switch (cpgid) {
    case 300: case 301: case 834: case 835: case 837: case 1200: return true;
    default: return false;
    }
}

unsigned codePageOfName(std::string_view name) noexcept {
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

std::string decodeRun(unsigned cpgid, bool doubleByte, std::span<const byte> b) {
    std::string out;
    out.reserve(b.size() + b.size() / 2);
    if (cpgid == 1200) {
        decodeUtf16(out, b);
        return out;
    }
    if (cpgid == 1208) {
        decodeUtf8(out, b);
        return out;
    }
    if (doubleByte) {
        // Code page 835 (and, until they have tables of their own, the other
        // double-byte code pages) through code page 950.
        std::string_view pairs(reinterpret_cast<const char*>(b.data()), b.size());
        return cp950ToUtf8(convert835to950Text(pairs));
    }
    if (cpgid == 819) {
        for (byte c : b) putUtf8(out, c);
        return out;
    }
    const ByteTable& t = ebc2ascW8();
    std::span<const Diff> diff = diffOf(cpgid);
    for (byte c : b) {
        char32_t u = t.bytes[c];
        for (const Diff& d : diff)
            if (d.first == c) u = d.second;
        putUtf8(out, u);
    }
    return out;
}

}  // namespace pressel
