// Text in a declared code page, as UTF-8.
#include "pressel/detail/decode_codepage.hpp"

namespace pressel {

namespace {

#include "decode_codepage_tables.inc"

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) out += char(c);
    else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

constexpr char32_t kReplacement = 0xFFFD;

const char16_t* singleByteTable(int cpgid) noexcept {
    switch (cpgid) {
    case 37: return kCp37;
    case 273: return kCp273;
    case 500: return kCp500;
    case 850: return kCp850;
    case 1140: return kCp1140;
    case 1141: return kCp1141;
    case 1252: return kCp1252;
    default: return nullptr;
    }
}

std::string fromUtf16(std::string_view b) {
    std::string out;
    std::size_t i = 0;
    auto unit = [&](std::size_t k) { return char32_t((unsigned char)b[k] << 8 | (unsigned char)b[k + 1]); };
    for (; i + 1 < b.size(); i += 2) {
        char32_t u = unit(i);
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < b.size()) {
            char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        appendUtf8(out, u >= 0xD800 && u < 0xE000 ? kReplacement : u);
    }
    if (i < b.size()) appendUtf8(out, kReplacement);
    return out;
}

// UTF-8 kept where it is well formed, each malformed byte replaced.
std::string fromUtf8(std::string_view b) {
    std::string out;
    for (std::size_t i = 0; i < b.size();) {
        const unsigned char c = (unsigned char)b[i];
        std::size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        bool ok = n > 0 && i + n <= b.size() && !(n == 2 && c < 0xC2);
        for (std::size_t k = 1; ok && k < n; ++k) ok = ((unsigned char)b[i + k] & 0xC0) == 0x80;
        if (!ok) {
            appendUtf8(out, kReplacement);
            ++i;
            continue;
        }
        out.append(b.substr(i, n));
        i += n;
    }
    return out;
}

}  // namespace

bool knownCodePage(int cpgid) noexcept {
    return singleByteTable(cpgid) || cpgid == 367 || cpgid == 819 || cpgid == 1200 || cpgid == 13488 ||
           cpgid == 1208;
}

std::string decodeCodePage(int cpgid, std::string_view bytes) {
    switch (cpgid) {
    case 1200:
    case 13488: return fromUtf16(bytes);
    case 1208: return fromUtf8(bytes);
    case 367:
    case 819: {
        std::string out;
        for (char ch : bytes) appendUtf8(out, (unsigned char)ch);
        return out;
    }
    default: break;
    }
    const char16_t* t = singleByteTable(cpgid);
    if (!t) t = kCp500;
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) appendUtf8(out, t[(unsigned char)ch]);
    return out;
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
