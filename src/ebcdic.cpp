// Code page 500 <-> Latin-1 tables and the string conversions built on them.
#include "pressel/text/ebcdic.hpp"

#include "pressel/text/codepages.hpp"
#include "pressel/core/error.hpp"

namespace pressel {

namespace {
#include "ebcdic_tables.inc"
} // namespace

ByteTable buildTableFromPairs(std::span<const std::pair<std::uint8_t, std::uint8_t>> pairs) {
    ByteTable t; // all entries 0
    for (const auto& [index, value] : pairs) t.bytes[index] = value;
    return t;
}

ByteTable buildTableFromList(std::span<const std::uint8_t> list) {
    ByteTable t;
    const std::size_t n = list.size() < t.bytes.size() ? list.size() : t.bytes.size();
    for (std::size_t k = 0; k < n; ++k) t.bytes[k] = list[k];
    return t;
}

const ByteTable& asc2ebc() {
    static const ByteTable table = buildTableFromPairs(kAsc2EbcPairs);
    return table;
}

const ByteTable& asc2ebcW() {
    static const ByteTable table = buildTableFromList(kAsc2EbcList);
    return table;
}

const ByteTable& ebc2ascW8() {
    static const ByteTable table = buildTableFromList(kEbc2AscList);
    return table;
}

void throwTableIndexError(const ByteTable& table, unsigned index) {
    throw Error("byte table index out of range: " + std::to_string(index) + " (bounds " +
                std::to_string(table.lowest) + ".." + std::to_string(table.highest) + ", " +
                std::to_string(table.count) + " entries)");
}

namespace {
std::string mapBytes(std::string_view in, const ByteTable& table) {
    std::string out(in.size(), '\0');
    for (std::size_t i = 0; i < in.size(); ++i)
        out[i] = static_cast<char>(lookup(table, static_cast<unsigned char>(in[i])));
    return out;
}
} // namespace

std::string ebcdicToLatin1(std::string_view ebcdic) { return mapBytes(ebcdic, ebc2ascW8()); }

std::string latin1ToEbcdic(std::string_view latin1) { return mapBytes(latin1, asc2ebc()); }

// Code page 500 holds exactly the characters U+0000..U+00FF, so its decoder
// gives each byte's Latin-1 character, as ebc2ascW8() does.
std::string ebcdicToUtf8(std::string_view ebcdic) { return defaultCodePage().toUtf8(ebcdic); }

} // namespace pressel
