// The table index of a structured-field identifier, by two look-ups in
// tables built at compile time from the code table: what afpTypeOf answers,
// for code that needs the index alone and wants it inline.
#pragma once

#include <array>
#include <cstdint>

#include "pressel/stream/chunk.hpp"

namespace pressel {

namespace afpindex {
// Structured-field identifiers in two steps: every one starts with X'D3';
// its middle byte picks a row (0: none) of a table indexed by its last byte.
constexpr std::array<std::uint8_t, 256> makeAfpRows() {
    std::array<std::uint8_t, 256> rows{};
    std::uint8_t next = 0;
#define PRESSEL_X(code, name) \
    if (rows[(code >> 8) & 0xFF] == 0) rows[(code >> 8) & 0xFF] = ++next;
    PRESSEL_AFP_CODES(PRESSEL_X)
#undef PRESSEL_X
    return rows;
}
inline constexpr auto kAfpRows = makeAfpRows();
constexpr std::size_t countAfpRows() {
    std::size_t n = 0;
    for (auto r : kAfpRows) n = r > n ? r : n;
    return n;
}
constexpr auto makeAfpTable() {
    // A byte per entry: the structured-field types come first in the table index.
    static_assert(idx_Unknown < 256);
    std::array<std::array<std::uint8_t, 256>, countAfpRows()> t{};
    for (auto& row : t)
        for (auto& e : row) e = std::uint8_t(idx_Unknown);
#define PRESSEL_X(code, name)                               \
    static_assert((code >> 16) == 0xD3, #name ": identifiers start with X'D3'"); \
    t[kAfpRows[(code >> 8) & 0xFF] - 1][code & 0xFF] = std::uint8_t(idx_##name);
    PRESSEL_AFP_CODES(PRESSEL_X)
#undef PRESSEL_X
    return t;
}
inline constexpr auto kAfpTable = makeAfpTable();
}  // namespace afpindex

// idx_Unknown for an identifier outside the tables.
constexpr RecordIndex afpIndexOf(std::uint32_t code) noexcept {
    if ((code >> 16) != 0xD3) return idx_Unknown;
    const std::uint8_t row = afpindex::kAfpRows[(code >> 8) & 0xFF];
    return row ? RecordIndex(afpindex::kAfpTable[row - 1][code & 0xFF]) : idx_Unknown;
}

}  // namespace pressel
