// The layout of the generated code page tables (src/codepage_tables_*.cpp,
// written by scripts/gen_codepages.py from glibc iconv). Private to the
// library: src/codepages.cpp builds the public pressel::CodePage objects on
// top of these.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pressel::codepage_data {

// U+FFFD in a table: the page has no character for that code.
inline constexpr std::uint16_t kNone = 0xFFFD;

struct SingleByteTable {
    std::uint16_t cpgid;
    bool ebcdic;
    const char* iconvName;         // the glibc converter the table comes from
    const std::uint16_t* toUnicode; // 256 values, kNone for a byte without character
    // Where several bytes decode to one character: the byte the character is
    // encoded to (as iconv does). Other characters have a single byte.
    const std::uint8_t* preferred;
    std::size_t preferredCount;
};

// Second bytes first..last of one lead byte. Linear: the character of second
// byte t is start + (t - first). Explicit: it is values[start + (t - first)]
// (kNone in a gap).
struct DoubleByteSegment {
    std::uint8_t first;
    std::uint8_t last;
    std::uint8_t linear;
    std::uint16_t start;
};

struct DoubleByteTable {
    std::uint16_t cpgid;
    bool ebcdic;          // host page (pairs between SO and SI in mixed data)
    const char* iconvName;
    const std::uint16_t* rowStart; // 257 entries: segments of lead byte b are [rowStart[b], rowStart[b+1])
    const DoubleByteSegment* segments;
    const std::uint16_t* values;
    std::size_t valueCount;
};

// The character of a pair, kNone when the page has none.
inline std::uint16_t lookupPair(const DoubleByteTable& t, unsigned lead, unsigned trail) noexcept {
    const DoubleByteSegment* s = t.segments + t.rowStart[lead];
    const DoubleByteSegment* end = t.segments + t.rowStart[lead + 1];
    for (; s != end; ++s) {
        if (trail > s->last) continue;
        if (trail < s->first) break;
        const unsigned offset = trail - s->first;
        return s->linear ? static_cast<std::uint16_t>(s->start + offset) : t.values[s->start + offset];
    }
    return kNone;
}

extern const SingleByteTable kSingleByteTables[];
extern const std::size_t kSingleByteTableCount;

extern const DoubleByteTable kDoubleByte300;
extern const DoubleByteTable kDoubleByte301;
extern const DoubleByteTable kDoubleByte834;
extern const DoubleByteTable kDoubleByte835;
extern const DoubleByteTable kDoubleByte837;

} // namespace pressel::codepage_data
