// The structured-field filters that reach a record's nested stream, one
// filter per record type, derived from the record declarations. Building
// them instantiates a decoder and an encoder for every record type, so the
// record types are dealt out over several source files by table index
// (shardOf): each file builds the filters of its own types. A shard file
// defines PRESSEL_FILTER_SHARD and includes this header once.
#pragma once

#include <memory>
#include <vector>

#include "pressel/rewrite/deep_filters.hpp"

namespace pressel::deep {

inline constexpr unsigned shards = 4;
constexpr unsigned shardOf(unsigned tableIndex) noexcept { return tableIndex % shards; }

using Slots = std::vector<ChunkFilter<AFP_>>;
using NestedPtr = std::shared_ptr<const NestedFilters>;
using GroupsPtr = std::shared_ptr<const ChunkFilters<MCF_>>;

// Puts the filter of each record type of shard P that has one at its table
// index in `slots` (sized to every table type); other slots are left alone.
template <unsigned P>
void fillShard(Slots& slots, const NestedPtr& nf, const GroupsPtr& groups);
template <>
void fillShard<0>(Slots&, const NestedPtr&, const GroupsPtr&);
template <>
void fillShard<1>(Slots&, const NestedPtr&, const GroupsPtr&);
template <>
void fillShard<2>(Slots&, const NestedPtr&, const GroupsPtr&);
template <>
void fillShard<3>(Slots&, const NestedPtr&, const GroupsPtr&);

}  // namespace pressel::deep

#ifdef PRESSEL_FILTER_SHARD
#include <tuple>
#include <type_traits>

#include "pressel/records.hpp"

namespace pressel::deep {
namespace {

// Decodes the record for a handler that filters its nested stream. A payload
// too short for the record's fixed fields has no room for a nested stream
// (it comes after them), so such a record has nothing to filter and is
// passed on unchanged.
template <class T>
bool decodeOrKeep(const Lazy<T>& rec, ChunkWriter<AFP_>& w, T& v) {
    try {
        v = *rec;
        return true;
    } catch (const EndOfInput&) {
        w.keep();
        return false;
    }
}

// The filter of record type T, or one without a handler when T's nested
// stream has no filters to run.
template <class T>
ChunkFilter<AFP_> deepFilter(const NestedPtr& nf, const GroupsPtr& groups) {
    using V = typename LastFieldOf<T>::type;
    constexpr auto member = LastFieldOf<T>::member;
    if constexpr (std::is_same_v<V, Chunks<T_>>) {
        if (nf->triplets.empty()) return {};
        return rewrite<T>([nf](const Lazy<T>& rec, ChunkWriter<AFP_>& w) {
            bool changed = false;
            T v;
            if (!decodeOrKeep(rec, w, v)) return;
            v.*member = mapNested(v.*member, nf->triplets, &changed);
            if (changed) w.push(v);
            else w.keep();
        });
    } else if constexpr (std::is_same_v<V, Chunks<MCF_>>) {
        // Groups that hold parameters before their triplets get the group filters alone.
        auto gs = groupsHoldTriplets<T>() ? groups : std::make_shared<const ChunkFilters<MCF_>>(nf->groups);
        if (gs->empty()) return {};
        return rewrite<T>([gs](const Lazy<T>& rec, ChunkWriter<AFP_>& w) {
            bool changed = false;
            T v;
            if (!decodeOrKeep(rec, w, v)) return;
            v.*member = mapNested(v.*member, *gs, &changed);
            if (changed) w.push(v);
            else w.keep();
        });
    } else if constexpr (std::is_same_v<V, Chunks<PTX_>>) {
        if (nf->controls.empty()) return {};
        return rewrite<T>([nf](const Lazy<T>& rec, ChunkWriter<AFP_>& w) {
            bool changed = false;
            T v;
            if (!decodeOrKeep(rec, w, v)) return;
            Chunks<PTX_> cs = mapNested(v.*member, nf->controls, &changed);
            if (!changed) return w.keep();
            if constexpr (std::is_same_v<T, PTX>) setControlSequences(v, cs);
            else v.*member = cs;
            w.push(v);
        });
    } else if constexpr (HasHiddenGroups<T>) {
        // Repeating groups of triplets kept in a data field (MDR).
        constexpr auto hidden = RecordFacts<T>::hiddenGroups;
        if (groups->empty()) return {};
        return rewrite<T>([groups](const Lazy<T>& rec, ChunkWriter<AFP_>& w) {
            bool changed = false;
            T v;
            if (!decodeOrKeep(rec, w, v)) return;
            Chunks<MCF_> cs = mapNested(Chunks<MCF_>::fromPayload((v.*hidden).bytes), *groups, &changed);
            if (!changed) return w.keep();
            Builder b;
            cs.write(b);
            (v.*hidden).bytes = std::move(b).toBytes();
            w.push(v);
        });
    } else {
        (void)nf;
        (void)groups;
        return {};
    }
}

// T's filter when T belongs to this shard (T is a template parameter, so the
// types of other shards are not instantiated here).
template <class T, bool here>
void add(Slots& slots, const NestedPtr& nf, const GroupsPtr& groups) {
    if constexpr (here) slots[RecordDecl<T>::tableIndex] = deepFilter<T>(nf, groups);
}

}  // namespace

template <>
void fillShard<PRESSEL_FILTER_SHARD>(Slots& slots, const NestedPtr& nf, const GroupsPtr& groups) {
#define PRESSEL_X(code, name) add<name, shardOf(idx_##name) == PRESSEL_FILTER_SHARD>(slots, nf, groups);
    PRESSEL_AFP_CODES(PRESSEL_X)
#undef PRESSEL_X
}

}  // namespace pressel::deep
#endif
