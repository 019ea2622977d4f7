// One shard of the catalogue's operation table. The record types of the code
// tables are dealt out over the shards by table index (shardOf), so that no
// single file instantiates the operations of every record type: each shard
// instantiates RecordCodec and the views of its own types and fills their
// entries of the table. A shard file defines PRESSEL_CATALOGUE_SHARD and
// includes this header once.
#pragma once

#include "pressel/catalogue.hpp"
#include "record_types.hpp"

namespace pressel {

namespace catalogue {

inline constexpr unsigned shards = 6;
constexpr unsigned shardOf(RecordIndex i) noexcept { return unsigned(i) % shards; }

// Fills the table entries of the types of shard P (each defined in its shard file).
template <unsigned P>
void fillShard(RecordOps* ops);
template <>
void fillShard<0>(RecordOps* ops);
template <>
void fillShard<1>(RecordOps* ops);
template <>
void fillShard<2>(RecordOps* ops);
template <>
void fillShard<3>(RecordOps* ops);
template <>
void fillShard<4>(RecordOps* ops);
template <>
void fillShard<5>(RecordOps* ops);

}  // namespace catalogue
}  // namespace pressel

#ifdef PRESSEL_CATALOGUE_SHARD
#include "pressel/records.hpp"
#include "pressel/view.hpp"

namespace pressel {

namespace catalogue {
// A type of another shard: names an empty RecordCodec, so that the explicit
// instantiation below instantiates nothing for it.
template <class T>
struct Elsewhere {};
template <class T, bool here>
struct Pick {
    using type = T;
};
template <class T>
struct Pick<T, false> {
    using type = Elsewhere<T>;
};

}  // namespace catalogue

template <class T>
struct RecordCodec<catalogue::Elsewhere<T>> {};

#define PRESSEL_X(code, name) \
    template struct RecordCodec<catalogue::Pick<name, catalogue::shardOf(idx_##name) == PRESSEL_CATALOGUE_SHARD>::type>;
PRESSEL_AFP_CODES(PRESSEL_X)
PRESSEL_T_CODES(PRESSEL_X)
PRESSEL_PTX_CODES(PRESSEL_X)
#undef PRESSEL_X
#define PRESSEL_X(name) \
    template struct RecordCodec<catalogue::Pick<name, catalogue::shardOf(idx_##name) == PRESSEL_CATALOGUE_SHARD>::type>;
PRESSEL_X(T_Unknown)
PRESSEL_X(T_Raw)
PRESSEL_X(PTX_Unknown)
PRESSEL_X(PTX_Text)
PRESSEL_X(PTX_Raw)
PRESSEL_X(MCF_T)
#undef PRESSEL_X

namespace catalogue {
namespace {

// Kept out of line, so the five operations of a type share one decoding (and
// one view) instead of each inlining its own copy.
template <class T>
[[gnu::noinline]] T decodeBytes(const Bytes& b) {
    ByteReader r(b);
    return recGet<T>(r);
}
template <class T>
[[gnu::noinline]] std::size_t coveredBy(const Bytes& b) {
    ByteReader r(b);
    (void)recGet<T>(r);
    return r.position();
}

template <class T>
constexpr RecordOps makeOps() {
    return RecordOps{
        nullptr,
        [](std::string& out, int prec, const Bytes& b) { showsPrec(out, prec, decodeBytes<T>(b)); },
        [](const Bytes& b) { return recBytes(decodeBytes<T>(b)); },
        [](const Bytes& b) { return recSizeOf(decodeBytes<T>(b)); },
        [](const Bytes& b) { return coveredBy<T>(b); },
        [](const Bytes& b) { return recView(decodeBytes<T>(b)); },
    };
}

template <class T>
void add(RecordOps* ops) {
    constexpr RecordIndex i = RecordDecl<T>::tableIndex;
    if constexpr (shardOf(i) == PRESSEL_CATALOGUE_SHARD) ops[i] = makeOps<T>();
}

}  // namespace

template <>
void fillShard<PRESSEL_CATALOGUE_SHARD>(RecordOps* ops) {
#define PRESSEL_X(code, name) add<name>(ops);
    PRESSEL_EACH_RECORD_TYPE(PRESSEL_X)
#undef PRESSEL_X
}

}  // namespace catalogue
}  // namespace pressel
#endif
