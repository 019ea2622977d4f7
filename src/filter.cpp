// Filtering nested streams: chain framing of changed control-sequence lists,
// and the structured-field filters that reach every nested level (built per
// record type in the shards of filter_deep.hpp).
#include "pressel/rewrite/deep_filters.hpp"

#include "filter_deep.hpp"
#include "pressel/stream/nested.hpp"

#include <cstring>
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
// Appends n bytes (resize and copy: the inserting forms of vector draw
// false bounds warnings from GCC here).
inline void appendBytes(std::vector<byte>& out, const void* p, std::size_t n) {
    const std::size_t at = out.size();
    out.resize(at + n);
    if (n) std::memcpy(out.data() + at, p, n);
}

}  // namespace

RawEdit stripControlsRaw(const Bytes& payload, const std::vector<bool>& drop, std::vector<byte>& out) {
    const std::size_t n = payload.size();
    // The identifier, flags and reserved bytes first; an extension or padding
    // would have to be cut out and put back around the data.
    if (n < 6 || (payload[3] & 0x88) != 0) return RawEdit::Unsupported;
    const byte* p = payload.data();
    // The escape field: the list continues the chain it opens.
    const bool opens = n >= 8 && p[6] == 0x2B && p[7] == 0xD3;
    const std::size_t from = opens ? 8 : 6;
    // A view of the list that owns nothing: the payload outlives the walk.
    const Bytes list = Bytes::fromStatic(p + from, n - from);

    // The items kept: where their contents lie (for a control sequence, its
    // function type and parameters) and whether they are control sequences.
    struct Kept {
        const byte* at;
        std::size_t len;
        bool item;
    };
    thread_local std::vector<Kept> kept;
    kept.clear();
    NestedCursor cur;
    cur.inChain = opens;
    PTX_ c;
    bool dropped = false;
    while (nextNested(list, cur, c)) {
        if (drop[chunkType(c).id->index]) {
            dropped = true;
            continue;
        }
        kept.push_back({c.payload.data(), c.payload.size(), c.frame == Frame::Item});
    }
    if (!dropped) return RawEdit::Unchanged;

    out.clear();
    appendBytes(out, p, 6);
    auto put2BD3 = [&out] {
        out.push_back(0x2B);
        out.push_back(0xD3);
    };
    if (kept.empty()) {
        // Nothing left: the escape field stays as it was.
        if (opens) put2BD3();
        return RawEdit::Changed;
    }
    // A list that opens with a control sequence gets the escape field and
    // its first control sequence chained to it; one that opens with code
    // points or unframed bytes has none.
    bool chained = kept[0].item;
    if (chained) put2BD3();
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const Kept& k = kept[i];
        if (!k.item) {
            appendBytes(out, k.at, k.len);
            chained = false;
            continue;
        }
        if (!chained) put2BD3();
        out.push_back(static_cast<byte>(k.len + 1));
        byte code = k.at[0];
        // A chain that a deleted control sequence broke is closed.
        if ((code & 1) && !(i + 1 < kept.size() && kept[i + 1].item)) code = static_cast<byte>(code & ~1u);
        out.push_back(code);
        appendBytes(out, k.at + 1, k.len - 1);
        chained = (code & 1) != 0;
    }
    return RawEdit::Changed;
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
