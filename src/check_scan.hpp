// What the validator needs to know about a record type without decoding it:
// tables taken at compile time from the record declarations.
//
// Most record types are a run of fixed-width fields, then optional
// fixed-width fields, then at most one trailing field that takes the rest of
// the bytes (plain bytes or a nested list). Whether such a record reads from
// a payload of n bytes, how many bytes its fields cover and where its nested
// list starts follow from n (and, for an optional field that is present only
// when it holds a given value, from those bytes), so the validator answers
// them from these tables instead of decoding. A record type read by a hook
// of its own, or whose fields are of another kind (repeating groups, a
// length-prefixed buffer), is marked for decoding, and so is every payload
// the tables find too short: findings are then worded by the decode path.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "pressel/stream/chunk.hpp"
#include "pressel/stream/io.hpp"

namespace pressel {
struct Finding;

namespace checkscan {

// The family of a nested list's items (triplets, repeating groups, control sequences).
template <ChunkFamily C>
constexpr Family familyOf() {
    if constexpr (std::same_as<C, T_>) return Family::T;
    else if constexpr (std::same_as<C, MCF_>) return Family::MCF;
    else return Family::PTX;
}

// How the tables answer for a record type.
enum class Answer : std::uint8_t {
    Fits,    // the payload reads as the record
    Short,   // the payload is too short for the record's fixed fields
    Decode,  // the tables cannot tell: decode the record
};

// A triplet identifier or control-sequence function type.
struct NestedCode {
    // Payload lengths (0..255) the record reads from; none for a code outside
    // the tables or a type left to decoding, so that one test passes an item.
    std::uint64_t fits[4];
    std::uint16_t index;     // RecordIndex of its record type (the Unknown one outside the tables)
    Answer byLength;         // Fits: `fits` decides; Decode: it does not
    constexpr bool fitsLength(std::size_t n) const noexcept { return (fits[n >> 6] >> (n & 63)) & 1; }
};
extern const std::array<NestedCode, 256> tripletCodes;
extern const std::array<NestedCode, 256> controlCodes;
// Per code, the least payload length from which on every length (up to
// 254, the most an item can hold) reads; 255 for a code outside the tables
// or left to decoding. The walks' one test per item: 256 bytes stay in the
// cache where the input streams through it, and a length below it is looked
// up in the full table above.
extern const std::array<std::uint8_t, 256> tripletSure;
extern const std::array<std::uint8_t, 256> controlSure;

// A structured field's record as the tables see it.
struct FieldScan {
    std::size_t covered = 0;      // bytes the record's fields cover
    Family list = Family::Other;  // T, MCF or PTX: the record ends in that nested list
    std::size_t listAt = 0;       // where the list starts in the record's bytes
    bool leadChained = false;     // control sequences: the first carries no X'2BD3'
    bool groupsHoldTriplets = false;
};
// The record of table type `index` over its record bytes (packChunk of the field).
using ScanFn = Answer (*)(const byte* data, std::size_t size, FieldScan& out);
extern const std::array<ScanFn, idx_Unknown> fieldScans;  // per structured-field type
inline Answer scanField(std::uint16_t index, const byte* data, std::size_t size, FieldScan& out) {
    if (index >= idx_Unknown) return Answer::Decode;
    return fieldScans[index](data, size, out);
}
// The least payload a structured-field record type reads from (the sum of
// its fixed fields), or -1 when the tables leave the type to decoding.
int leastFieldSize(std::uint16_t index) noexcept;

// checkStream with the tables (`tables`) or by decoding every field and
// nested item (the reference the tables are measured against).
std::size_t checkStreamWith(std::unique_ptr<ByteSource> src, const std::function<void(const Finding&)>& report,
                            bool tables, ReaderLimits limits = {});

}  // namespace checkscan
}  // namespace pressel
