// Filtering the nested streams of records: a record's control sequences,
// triplets or repeating groups filtered (mapNested), and the structured-field
// filters that reach every nested level of a stream (deepFilters).
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <iterator>
#include <vector>

#include "pressel/rewrite/chunk_filters.hpp"

namespace pressel {

struct PTX;

// Chain framing of a control-sequence list that filters changed: an odd
// function type announces that the next control sequence follows without the
// X'2BD3' prefix, so a chained control sequence followed by code points, by
// unframed bytes or by the end of the list (its successor was deleted) gets
// its chaining bit cleared. Every other control sequence is left as it is.
void closeBrokenChains(std::vector<PTX_>& items);

// The nested stream filtered with chunksMapFiltersM. When the filters change
// nothing (no filter selected, or the output equals the input item for item)
// the original is returned, so that its bytes are written back unchanged;
// `changed` (if given) says which case it was. A changed control-sequence list
// gets closeBrokenChains and keeps its lead-chain setting.
template <ChunkFamily C>
Chunks<C> mapNested(const Chunks<C>& cs, const std::type_identity_t<ChunkFilters<C>>& filters,
                    bool* changed = nullptr) {
    if (changed) *changed = false;
    if (filters.empty()) return cs;
    // One walk. Nothing is gathered until a filter changes an item: only then
    // are the items before it collected, and the rest follow as they come.
    std::vector<C> out;
    bool differs = false;
    std::size_t same = 0;  // items before the first change
    for (const C& c : cs) {
        if (!detail::anySelected<C>(chunkType(c).id, filters)) {
            if (differs) out.push_back(c);
            else ++same;
            continue;
        }
        std::vector<C> r = chunkMapFiltersM<C>(c, filters);
        if (!differs) {
            if (r.size() == 1 && r[0] == c) {
                ++same;
                continue;
            }
            differs = true;
            out.reserve(same + r.size() + 16);
            auto it = cs.begin();
            for (std::size_t k = 0; k < same; ++k, ++it) out.push_back(*it);
        }
        out.insert(out.end(), std::make_move_iterator(r.begin()), std::make_move_iterator(r.end()));
    }
    if (!differs) return cs;
    if constexpr (std::is_same_v<C, PTX_>) closeBrokenChains(out);
    if (changed) *changed = true;
    return Chunks<C>(std::move(out), cs.leadChained());
}

// Replaces the control sequences of a presentation-text record, setting the
// escape field as the reader would find it: X'2BD3' when the new list opens
// with a control sequence (chained to it), none when it opens with code
// points or unframed bytes (each control sequence then carries its own
// X'2BD3'). An empty list leaves the escape field as it was. The record then
// reads back as written.
void setControlSequences(PTX& v, const Chunks<PTX_>& cs);

// ---- reaching every nested level ----------------------------------------------
// Filters for the three nested families.
struct NestedFilters {
    ChunkFilters<PTX_> controls;  // inside presentation text (PTX)
    ChunkFilters<T_> triplets;    // in every triplet list: records that end in
                                  // triplets, repeating groups (MCF_T), MDR groups
    ChunkFilters<MCF_> groups;    // repeating groups of records that end in them
    bool empty() const noexcept { return controls.empty() && triplets.empty() && groups.empty(); }
};

// Structured-field filters that open every record carrying a nested stream
// and filter it: the control sequences of PTX; the triplets of every record
// whose last field is a triplet list; the repeating groups of every record
// whose last field is a group list (the group filters first, then the
// triplets of each group); and the groups of triplets that MDR holds in its
// data. A record whose nested stream comes out unchanged is passed on as the
// very chunk that came in; a changed one is re-encoded. The filter list has
// one entry per such record type, so it is best built once.
ChunkFilters<AFP_> deepFilters(const NestedFilters& nf);

// ---- editing the bytes directly --------------------------------------------------
// What a direct edit of a structured field's bytes came to: the field comes
// out as it came, it comes out as the bytes the edit wrote, or the field is
// one the edit does not handle (framing it does not read, a fault, a size it
// cannot frame) and must go through the filters.
enum class RawEdit { Unchanged, Changed, Unsupported };

// Presentation text (PTX) with the control sequences whose record type is
// marked in `drop` (by table index, idx_tableTypes entries) deleted, read
// and written straight from the payload: the same bytes the control-sequence
// filters of deepFilters give (chains closed where a deleted control
// sequence broke them, the escape field set as the reader finds it), without
// decoding the record or building a list. `out` receives the new payload
// when the result is Changed. A payload shorter than the record's fixed
// fields, or one with an introducer extension or padding, is Unsupported.
//
// ControlDeletions is `drop` as the walk asks it: by function type, and for
// code points and unframed bytes.
struct ControlDeletions {
    std::array<bool, 256> codes{};
    bool text = false, raw = false;
    ControlDeletions(const std::vector<bool>& drop);  // NOLINT: a table for the same marks
};
RawEdit stripControlsRaw(const Bytes& payload, const ControlDeletions& drop, std::vector<byte>& out);

// A direct edit of a structured field: Changed puts the new payload in the
// vector.
using DirectEdit = std::function<RawEdit(const AFP_&, std::vector<byte>&)>;

// The work of deepFilters(deletions), where every filter of `deletions`
// deletes what it selects (only their types are read), done on the bytes of
// the fields: presentation text with stripControlsRaw; any other field in
// which no byte is the identifier of a deleted control sequence or triplet
// holds none of them and comes out Unchanged. With deleted code points,
// unframed bytes or repeating groups, which no byte identifies, the other
// fields are Unsupported.
DirectEdit directDeletions(const NestedFilters& deletions);

// Record types of the structured-field table whose last field is a triplet
// list, and those whose last field is a list of repeating groups of triplets.
std::vector<TypeId> recordsEndingInTriplets();
std::vector<TypeId> recordsEndingInGroups();

}  // namespace pressel
