// Filtering nested streams: chain framing of changed control-sequence lists,
// and the structured-field filters that reach every nested level (built per
// record type in the shards of filter_deep.hpp).
#include "pressel/rewrite/deep_filters.hpp"

#include "filter_deep.hpp"

#include <memory>
#include <tuple>

#include "pressel/records.hpp"

namespace pressel {

void closeBrokenChains(std::vector<PTX_>& items) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        PTX_& c = items[i];
        if (c.frame != Frame::Item || c.payload.empty() || (c.payload[0] & 1) == 0) continue;
        if (i + 1 < items.size() && items[i + 1].frame == Frame::Item) continue;
        std::vector<byte> p(c.payload.begin(), c.payload.end());
        p[0] = static_cast<byte>(p[0] & ~1u);
        c.payload = Bytes::adopt(std::move(p));
        c.code = static_cast<std::uint8_t>(c.code & ~1u);
    }
}

void setControlSequences(PTX& v, const Chunks<PTX_>& cs) {
    auto it = cs.begin();
    if (it == cs.end()) {
        // Nothing left: the escape field stays as it was.
        v.ptx_Chunks = Chunks<PTX_>(std::vector<PTX_>{}, v.opensChain());
        return;
    }
    if (it->frame == Frame::Item) {
        // The data opens with X'2BD3' and the first control sequence chained to it.
        v.ptx_EscapeSequence = N2(0x2BD3);
        v.ptx_Chunks = cs.leadChained() ? cs : Chunks<PTX_>(cs.toVector(), true);
        return;
    }
    // The data opens with code points or unframed bytes: no escape field, and
    // each control sequence after them carries its own X'2BD3'.
    v.ptx_EscapeSequence = {};
    v.ptx_Chunks = cs.leadChained() ? Chunks<PTX_>(cs.toVector(), false) : cs;
}

namespace {

// The group filters with, after them, one that filters the triplets of every
// group.
ChunkFilters<MCF_> groupFiltersOf(const std::shared_ptr<const NestedFilters>& nf) {
    ChunkFilters<MCF_> fs = nf->groups;
    if (!nf->triplets.empty())
        fs.push_back(rewrite<MCF_T>([nf](const Lazy<MCF_T>& rec, ChunkWriter<MCF_>& w) {
            bool changed = false;
            MCF_T v = *rec;
            v.mcf_t_Chunks = mapNested(v.mcf_t_Chunks, nf->triplets, &changed);
            if (changed) w.push(v);
            else w.keep();
        }));
    return fs;
}

template <class T>
bool lastFieldIs(Family f) {
    using V = typename LastFieldOf<T>::type;
    if (f == Family::T) return std::is_same_v<V, Chunks<T_>>;
    return std::is_same_v<V, Chunks<MCF_>>;
}

std::vector<TypeId> recordsEnding(Family f) {
    std::vector<TypeId> ids;
#define PRESSEL_X(code, name) \
    if (lastFieldIs<name>(f)) ids.push_back(typeIdOf<name>());
    PRESSEL_AFP_CODES(PRESSEL_X)
#undef PRESSEL_X
    return ids;
}

}  // namespace

std::vector<TypeId> recordsEndingInTriplets() { return recordsEnding(Family::T); }
std::vector<TypeId> recordsEndingInGroups() { return recordsEnding(Family::MCF); }

ChunkFilters<AFP_> deepFilters(const NestedFilters& filters) {
    auto nf = std::make_shared<const NestedFilters>(filters);
    auto groups = std::make_shared<const ChunkFilters<MCF_>>(groupFiltersOf(nf));
    // Each shard puts its types' filters at their table index; the list
    // takes them in table order.
    std::vector<ChunkFilter<AFP_>> slots(idx_tableTypes);
    deep::fillShard<0>(slots, nf, groups);
    deep::fillShard<1>(slots, nf, groups);
    deep::fillShard<2>(slots, nf, groups);
    deep::fillShard<3>(slots, nf, groups);
    static_assert(deep::shards == 4, "every shard is filled above");
    ChunkFilters<AFP_> out;
    for (ChunkFilter<AFP_>& f : slots)
        if (f.handler) out.push_back(std::move(f));
    return out;
}

}  // namespace pressel
