// Reaching records through their chunks: a handler called with a chunk's
// record decoded on demand, and a walk over a nested stream that fails on
// malformed bytes.
//
//   apply<T>(chunk, fn)             fn gets the chunk's record, decoded on demand
//   applyMCF(mcfChunk, fn)          the same for one repeating group as MCF_T
//   strictItems(chunks)             a walk that fails on reaching malformed bytes
//
// On-demand decoding. Handlers receive a Lazy<T>, which decodes the chunk the
// first time it is dereferenced; a handler that never looks causes no decoding,
// so a malformed payload it ignores causes no failure. A handler may instead
// take `const T&`, which decodes before the call.
#pragma once

#include <iterator>
#include <string>
#include <type_traits>
#include <utility>

#include "pressel/catalogue.hpp"
#include "pressel/core/error.hpp"
#include "pressel/stream/nested.hpp"
#include "pressel/record.hpp"
#include "pressel/records/core.hpp"

namespace pressel {

namespace detail {
// Calls h with the on-demand record (Lazy<T>) if it takes one, else with the
// decoded record, followed by the extra arguments.
template <class T, class H, class... A>
decltype(auto) callWithRecord(H& h, const Lazy<T>& rec, A&&... extra) {
    if constexpr (std::is_invocable_v<H&, const Lazy<T>&, A...>) return h(rec, std::forward<A>(extra)...);
    else if constexpr (std::is_invocable_v<H&, const T&, A...>) return h(rec.get(), std::forward<A>(extra)...);
    else static_assert(std::is_invocable_v<H&, const T&, A...>, "handler must take const Lazy<T>& or const T&");
}
}  // namespace detail

// Calls fn with the chunk's record as T. fn taking `const Lazy<T>&` decodes
// only if it looks; fn taking `const T&` gets the decoded record. fn's result
// is apply's result.
template <class T, ChunkFamily C, class F>
decltype(auto) apply(const C& chunk, F&& fn) {
    Lazy<T> rec(chunk);
    return detail::callWithRecord<T>(fn, rec);
}

// Calls fn with the repeating group as an MCF_T (its triplets, read as they
// are walked); fn may also take the record operations of MCF_T as a second
// argument, to show or re-encode the group without knowing its type.
template <class F>
decltype(auto) applyMCF(const MCF_& chunk, F&& fn) {
    Lazy<MCF_T> rec(chunk);
    if constexpr (std::is_invocable_v<F&, const Lazy<MCF_T>&, const RecordOps&> ||
                  std::is_invocable_v<F&, const MCF_T&, const RecordOps&>)
        return detail::callWithRecord<MCF_T>(fn, rec, recordOps(typeIdOf<MCF_T>()));
    else return detail::callWithRecord<MCF_T>(fn, rec);
}

// A walk over a nested stream that fails when it reaches bytes that do not
// frame as an item: the items before them are delivered, then FormatError
// names the family and the offset of the bad bytes inside the payload. The
// default walk of Chunks<C> keeps such bytes as a Raw chunk instead, so that
// they can be written back unchanged.
template <ChunkFamily C>
class StrictChunks {
public:
    using Inner = typename Chunks<C>::iterator;
    class iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = C;
        using difference_type = std::ptrdiff_t;
        using pointer = const C*;
        using reference = const C&;
        iterator() = default;
        explicit iterator(Inner it) : it_(std::move(it)) { check(); }
        const C& operator*() const noexcept { return *it_; }
        const C* operator->() const noexcept { return &*it_; }
        iterator& operator++() {
            ++it_;
            check();
            return *this;
        }
        void operator++(int) { ++*this; }
        std::size_t offset() const noexcept { return it_.offset(); }
        friend bool operator==(const iterator& a, std::default_sentinel_t s) noexcept { return a.it_ == s; }

    private:
        void check() const {
            if (!(it_ == std::default_sentinel) && it_->frame == Frame::Raw)
                throw FormatError(std::string("malformed ") + C::name + " item: " +
                                      std::to_string(it_->payload.size()) + " bytes do not frame",
                                  it_.offset());
        }
        Inner it_;
    };
    // Holds the list by value (a list shares its bytes, so this copies
    // nothing), so that a walk over strictItems(record().list) stays valid
    // after the record it came from is gone.
    explicit StrictChunks(Chunks<C> cs) : cs_(std::move(cs)) {}
    iterator begin() const { return iterator(cs_.begin()); }
    std::default_sentinel_t end() const noexcept { return {}; }

private:
    Chunks<C> cs_;
};
template <ChunkFamily C>
StrictChunks<C> strictItems(const Chunks<C>& cs) {
    return StrictChunks<C>(cs);
}

}  // namespace pressel
