// Item readers and writers of the nested chunk streams.
#include "pressel/stream/nested.hpp"

#include <cstring>

namespace pressel {

namespace {

template <class C>
bool rawRest(const Bytes& src, NestedCursor& cur, C& out) {
    out = C{};
    if constexpr (!std::same_as<C, MCF_>) out.code = cur.pos + 1 < src.size() ? src[cur.pos + 1] : 0;
    out.payload = src.dropFront(cur.pos);
    out.frame = Frame::Raw;
    cur.pos = src.size();
    cur.inChain = false;
    return true;
}

}  // namespace

bool nextNested(const Bytes& src, NestedCursor& cur, T_& out) {
    if (cur.pos >= src.size()) return false;
    std::size_t len = src[cur.pos];
    if (len < 2 || cur.pos + len > src.size()) return rawRest(src, cur, out);
    // The item reuses `out`: a walk keeps cutting from the same payload, so
    // no reference count changes hands per item.
    out.code = src[cur.pos + 1];
    out.payload.assignSlice(src, cur.pos + 1, len - 1);
    out.frame = Frame::Item;
    cur.pos += len;
    return true;
}

bool nextNested(const Bytes& src, NestedCursor& cur, MCF_& out) {
    if (cur.pos >= src.size()) return false;
    if (src.size() - cur.pos < 2) return rawRest(src, cur, out);
    std::size_t len = (std::size_t(src[cur.pos]) << 8) | src[cur.pos + 1];
    if (len < 2 || cur.pos + len > src.size()) return rawRest(src, cur, out);
    out = MCF_{src.slice(cur.pos + 2, len - 2), Frame::Item};
    cur.pos += len;
    return true;
}

bool nextNested(const Bytes& src, NestedCursor& cur, PTX_& out) {
    const std::size_t n = src.size();
    if (cur.pos >= n) return false;
    std::size_t at = cur.pos;
    if (!cur.inChain) {
        if (!(src[at] == 0x2B && at + 1 < n && src[at + 1] == 0xD3)) {
            // Code points up to the next control-sequence prefix.
            std::size_t k = at + 1;
            for (;;) {
                const void* hit = k < n ? std::memchr(src.data() + k, 0x2B, n - k) : nullptr;
                if (!hit) {
                    k = n;
                    break;
                }
                k = std::size_t(static_cast<const byte*>(hit) - src.data());
                if (k + 1 < n && src[k + 1] == 0xD3) break;
                ++k;
            }
            out.code = 0;
            out.payload.assignSlice(src, at, k - at);
            out.frame = Frame::Text;
            cur.pos = k;
            return true;
        }
        at += 2;
        if (at >= n) return rawRest(src, cur, out);
    }
    std::size_t len = src[at];
    if (len < 2 || at + len > n) return rawRest(src, cur, out);
    out.code = src[at + 1];
    out.payload.assignSlice(src, at + 1, len - 1);
    out.frame = Frame::Item;
    cur.pos = at + len;
    cur.inChain = (out.code & 1) != 0;
    return true;
}

void writeControlSequences(Builder& b, const std::vector<PTX_>& items, bool leadChained) {
    bool chained = leadChained;
    for (const PTX_& c : items) {
        if (c.frame != Frame::Item) {
            b.putBytes(c.payload);
            chained = false;
            continue;
        }
        if (c.payload.empty() || c.payload.size() > 254)
            throw Error("control sequence " + zeropad(1, c.code) + " of " + std::to_string(c.payload.size()) +
                        " bytes cannot be framed: its length must lie between 2 and 255");
        if (!chained) {
            b.put8(0x2B);
            b.put8(0xD3);
        }
        b.put8(static_cast<byte>(c.payload.size() + 1));
        b.putBytes(c.payload);
        chained = (c.payload[0] & 1) != 0;
    }
}

std::size_t controlSequencesSize(const std::vector<PTX_>& items, bool leadChained) {
    bool chained = leadChained;
    std::size_t n = 0;
    for (const PTX_& c : items) {
        if (c.frame != Frame::Item) {
            n += c.payload.size();
            chained = false;
            continue;
        }
        n += (chained ? 1 : 3) + c.payload.size();
        chained = !c.payload.empty() && (c.payload[0] & 1) != 0;
    }
    return n;
}

}  // namespace pressel
