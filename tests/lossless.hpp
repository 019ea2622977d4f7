// Helpers shared by the lossless suites (test_lossless*.cpp): building a
// structured field from hex, and decoding and encoding any structured field
// by its own record type.
#pragma once

#include <string>
#include <string_view>

#include "pressel/filter.hpp"

namespace pressel::test {

inline std::string hexOf(const Bytes& b) { return hexString(b.span()); }
// The structured field whose payload is the given hex (its first three bytes
// are the identifier).
inline AFP_ field(std::string_view payloadHex) {
    Bytes p = fromHex(payloadHex);
    return AFP_{(std::uint32_t(p[0]) << 16) | (std::uint32_t(p[1]) << 8) | p[2], p};
}

// The field decoded as the record type of its identifier (Unknown for an
// identifier no table lists) and encoded again.
AFP_ roundTrip(const AFP_& c);

// A handler for T that pushes back the record it decoded, added to `fs` when
// T's table index falls in the given half of the table.
template <unsigned Half, class T>
void addPushBack(ChunkFilters<AFP_>& fs) {
    if constexpr (RecordDecl<T>::tableIndex % 2 == Half)
        fs.push_back(rewrite<T>([](const T& v, ChunkWriter<AFP_>& w) { w.push(v); }));
}
#define PRESSEL_TEST_ADD_PUSH_BACK(code, name) addPushBack<Half, name>(fs);
// The handlers of one half of the structured-field record types. Each half is
// instantiated in a file of its own (test_lossless_samples.cpp and
// test_lossless_ranges.cpp): a handler per record type is much code, and one
// file with all of them takes long to compile.
template <unsigned Half>
void addPushBackHandlers(ChunkFilters<AFP_>& fs) {
    PRESSEL_AFP_CODES(PRESSEL_TEST_ADD_PUSH_BACK)
    addPushBack<Half, Unknown>(fs);
}
#undef PRESSEL_TEST_ADD_PUSH_BACK
extern template void addPushBackHandlers<0>(ChunkFilters<AFP_>&);
extern template void addPushBackHandlers<1>(ChunkFilters<AFP_>&);

// For every record type, a handler that pushes back the record it decoded.
inline ChunkFilters<AFP_> pushBackWhatWasDecoded() {
    ChunkFilters<AFP_> fs;
    addPushBackHandlers<0>(fs);
    addPushBackHandlers<1>(fs);
    return fs;
}

}  // namespace pressel::test
