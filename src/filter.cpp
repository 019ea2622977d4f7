// Filtering nested streams: chain framing of changed control-sequence lists,
// and the structured-field filters that reach every nested level (built per
// record type in the shards of filter_deep.hpp).
#include "pressel/rewrite/deep_filters.hpp"

#include "filter_deep.hpp"
#include "pressel/stream/nested.hpp"

#include <array>
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

ControlDeletions::ControlDeletions(const std::vector<bool>& drop)
    : text(drop[idx_PTX_Text]), raw(drop[idx_PTX_Raw]) {
    for (unsigned b = 0; b < 256; ++b) codes[b] = drop[controlTypeOf(std::uint8_t(b))->index];
}

RawEdit stripControlsRaw(const Bytes& payload, const ControlDeletions& drop, std::vector<byte>& out) {
    const std::size_t n = payload.size();
    // The identifier, flags and reserved bytes first; an extension or padding
    // would have to be cut out and put back around the data.
    if (n < 6 || hasExtensionOrPadding(payload)) return RawEdit::Unsupported;
    const byte* src = payload.data();
    // The escape field: the list continues the chain it opens.
    const bool opens = n >= 8 && src[6] == 0x2B && src[7] == 0xD3;

    // The list is read as the item reader reads it (code points up to the
    // next X'2BD3', control sequences, the rest unframed when a length does
    // not fit) and the kept items are written as the control-sequence writer
    // writes them. Deleting never makes the data longer (a control sequence
    // that now needs its own X'2BD3' lost at least the two bytes of the one
    // it was chained to), so the payload's size is room enough; the checks
    // stay for safety.
    //
    // A kept item whose framing comes out as it came in (its own X'2BD3'
    // exactly when the source has one) is the source's bytes, so the kept
    // items between two changes are copied as one run: `from` is where the
    // run not yet written starts, and a byte of it at source offset s lands
    // at w + (s - from).
    const std::size_t room = n + 8;
    if (out.size() < room) out.resize(room);
    byte* o = out.data();
    std::size_t w = 6;
    std::memcpy(o, src, 6);
    constexpr std::size_t none = SIZE_MAX;
    bool first = true;      // nothing kept yet
    bool chained = false;   // the last item written chains the next one
    std::size_t chainAt = none;  // where the function type of that item lands
    bool dropped = false;
    std::size_t pos = opens ? 8 : 6;
    std::size_t from = pos;
    auto flush = [&](std::size_t to) {
        const std::size_t k = to - from;
        if (w + k > room) return false;
        std::memcpy(o + w, src + from, k);
        w += k;
        from = to;
        return true;
    };
    auto put = [&](const byte* p, std::size_t k) {
        if (w + k > room) return false;
        std::memcpy(o + w, p, k);
        w += k;
        return true;
    };
    static const byte prefix[2] = {0x2B, 0xD3};

    bool inChain = opens;
    while (pos < n) {
        const std::size_t at0 = pos;
        std::size_t at = pos, itemAt = 0, itemLen = 0;
        bool item = false, deleted;
        const bool srcPrefix = !inChain;
        if (!inChain && !(src[at] == 0x2B && at + 1 < n && src[at + 1] == 0xD3)) {
            // Code points up to the next control-sequence prefix.
            std::size_t k = at + 1;
            for (;;) {
                const void* hit = k < n ? std::memchr(src + k, 0x2B, n - k) : nullptr;
                if (!hit) {
                    k = n;
                    break;
                }
                k = std::size_t(static_cast<const byte*>(hit) - src);
                if (k + 1 < n && src[k + 1] == 0xD3) break;
                ++k;
            }
            deleted = drop.text;
            pos = k;
        } else {
            if (!inChain) at += 2;
            const std::size_t len = at < n ? src[at] : 0;
            if (len < 2 || at + len > n) {
                // The rest does not frame: kept as it is.
                deleted = drop.raw;
                pos = n;
                inChain = false;
            } else {
                item = true;
                itemAt = at + 1;  // function type and parameters
                itemLen = len - 1;
                deleted = drop.codes[src[at + 1]];
                pos = at + len;
                inChain = (src[at + 1] & 1) != 0;
            }
        }
        if (deleted) {
            if (!flush(at0)) return RawEdit::Unsupported;
            from = pos;
            dropped = true;
            continue;
        }
        if (!item) {
            // Code points and unframed bytes are their own bytes. A chain
            // that a deleted control sequence broke is closed.
            if (chainAt != none) {
                if (!flush(at0)) return RawEdit::Unsupported;
                o[chainAt] = static_cast<byte>(o[chainAt] & ~1u);
                chainAt = none;
            }
            chained = false;
            first = false;
            continue;
        }
        // A list that opens with a control sequence gets the escape field and
        // its first control sequence chained to it; any other control
        // sequence has its own X'2BD3' when the one before does not chain it.
        const bool outPrefix = first || !chained;
        first = false;
        chained = (src[itemAt] & 1) != 0;
        if (outPrefix == srcPrefix) {
            chainAt = chained ? w + (itemAt - from) : none;
            continue;
        }
        if (!flush(at0)) return RawEdit::Unsupported;
        from = pos;
        if (outPrefix && !put(prefix, 2)) return RawEdit::Unsupported;
        const byte len = static_cast<byte>(itemLen + 1);
        if (!put(&len, 1)) return RawEdit::Unsupported;
        const std::size_t codeAt = w;
        if (!put(src + itemAt, itemLen)) return RawEdit::Unsupported;
        chainAt = chained ? codeAt : none;
    }
    if (!dropped) return RawEdit::Unchanged;
    if (!flush(n)) return RawEdit::Unsupported;
    if (chainAt != none) o[chainAt] = static_cast<byte>(o[chainAt] & ~1u);
    // Nothing left: the escape field stays as it was.
    if (first && opens && !put(prefix, 2)) return RawEdit::Unsupported;
    out.resize(w);
    return RawEdit::Changed;
}

DirectEdit directDeletions(const NestedFilters& deletions) {
    std::vector<bool> drop(idx_tableTypes, false);
    for (const auto& f : deletions.controls) drop[f.type.id->index] = true;
    for (const auto& f : deletions.triplets) drop[f.type.id->index] = true;
    const bool scan =
        deletions.groups.empty() && !drop[idx_PTX_Text] && !drop[idx_PTX_Raw] && !drop[idx_T_Raw];
    // Every control sequence and triplet starts with its length and then its
    // identifier, both bytes of the payload: a payload without the
    // identifier of a deleted type holds none.
    std::array<bool, 256> codes{};
    for (unsigned b = 0; b < 256; ++b)
        codes[b] = drop[controlTypeOf(std::uint8_t(b))->index] || drop[tripletTypeOf(std::uint8_t(b))->index];
    const bool controls = !deletions.controls.empty();
    return [drop = ControlDeletions(drop), codes, scan, controls](const AFP_& c, std::vector<byte>& out) {
        if (controls && chunkType(c).id == typeIdOf<PTX>()) return stripControlsRaw(c.payload, drop, out);
        if (!scan) return RawEdit::Unsupported;
        const byte* p = c.payload.data();
        for (std::size_t i = 6; i < c.payload.size(); ++i)
            if (codes[p[i]]) return RawEdit::Unsupported;
        return RawEdit::Unchanged;
    };
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
