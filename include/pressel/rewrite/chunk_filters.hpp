// Filters keyed by record type, their builders and the operations that run
// them on one chunk.
//
//   chunkMapFiltersM(c, filters)    the chunks that replace c
//   chunkMapFiltersM_(c, filters)   handlers for their effects only
//   FilterIndex                     a filter list by record type, built once
//
//   rewrite<T>(h)                   filter: decode on demand, h pushes the replacement
//   inspect<T>(h [, stage1 [, stage2]])   filter: h looks, the chunk is kept
//   effect<T>(h)                    effect-only filter
//   isA<T>(chunk)                   the chunk decodes to T
//
// Ordering. chunkMapFiltersM selects, in list order, the filters whose type is
// the input chunk's record type; the selection is made once, from the input
// chunk alone. The first selected handler runs on the input chunk; every later
// one runs on each chunk the handlers before it produced, first to last,
// whatever record type those chunks have. A handler that yields nothing deletes
// the chunk (later handlers then run zero times); with no filter selected the
// chunk itself comes out. The effect-only forms run every selected handler on
// the input chunk, in list order. A handler that throws stops there; what was
// done before stays done.
//
// Handlers receive a Lazy<T> (decoded the first time it is dereferenced) or
// `const T&` (decoded before the call), as apply<T> does (nested_access.hpp).
//
// The record type T of a builder decides both the chunk family
// (FamilyOf<T>::type) and the ChunkType the filter selects (typeIdOf<T>()).
// Typing a chunk is a lookup in the code tables of its family: control
// sequences X'D2' and X'D3' select the same filters, an unlisted function type
// such as X'7A' selects those of PTX_Unknown, an unlisted structured field
// those of Unknown.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <iterator>
#include <type_traits>
#include <utility>
#include <vector>

#include "pressel/rewrite/chunk_queue.hpp"
#include "pressel/rewrite/nested_access.hpp"

namespace pressel {

namespace detail {
// Applies the stages in turn, each to the result of the one before (a stage
// after a step that yields nothing is called without an argument).
inline void runStagesVoid();
template <class S, class... Rest>
void runStagesVoid(S& s, Rest&... rest);
template <class X>
void runStages(X&&) {}
template <class X, class S, class... Rest>
void runStages(X&& x, S& s, Rest&... rest) {
    if constexpr (std::is_void_v<std::invoke_result_t<S&, X>>) {
        s(std::forward<X>(x));
        runStagesVoid(rest...);
    } else {
        runStages(s(std::forward<X>(x)), rest...);
    }
}
inline void runStagesVoid() {}
template <class S, class... Rest>
void runStagesVoid(S& s, Rest&... rest) {
    if constexpr (std::is_void_v<std::invoke_result_t<S&>>) {
        s();
        runStagesVoid(rest...);
    } else {
        runStages(s(), rest...);
    }
}
}  // namespace detail


// ---- filters ------------------------------------------------------------------
template <ChunkFamily C>
using ChunkHandler = std::function<std::vector<C>(const C&)>;
template <ChunkFamily C>
using ChunkEffectHandler = std::function<void(const C&)>;

// A filter of the sequence-producing operations: the record type it is for and
// a handler from one chunk to its replacement.
template <ChunkFamily C>
struct ChunkFilter {
    ChunkType type;
    ChunkHandler<C> handler;
};
template <ChunkFamily C>
using ChunkFilters = std::vector<ChunkFilter<C>>;

// A filter of the effect-only operations.
template <ChunkFamily C>
struct ChunkEffect {
    ChunkType type;
    ChunkEffectHandler<C> handler;
};
template <ChunkFamily C>
using ChunkEffects = std::vector<ChunkEffect<C>>;

template <class T>
using FamilyOfT = typename FamilyOf<T>::type;
template <class T>
ChunkType chunkTypeOf() noexcept {
    return ChunkType{typeIdOf<T>()};
}

// The sequence-producing handler of `===`: decodes the chunk as T on demand,
// runs h(record, writer) with a fresh writer, and yields what h pushed (none:
// the chunk is deleted). A queue left as a bare ChunkItem fails with
// loneChunkItemMessage; h's own failures propagate unchanged.
template <class T, class H>
auto processChunk(H h) {
    using C = FamilyOfT<T>;
    return [h = std::move(h)](const C& chunk) mutable -> std::vector<C> {
        Lazy<T> rec(chunk);
        ChunkWriter<C> w(&chunk);
        detail::callWithRecord<T>(h, rec, w);
        ChunkQueue<C> q = std::move(w).takeQueue();
        if (q.isItem()) throw Error(loneChunkItemMessage);
        return std::move(q).takeChunks();
    };
}

// The handler of `...`: h looks at the record (on demand), the chunk itself
// is yielded after h's effects.
template <class T, class H>
auto inspectChunk(H h) {
    using C = FamilyOfT<T>;
    return [h = std::move(h)](const C& chunk) mutable -> std::vector<C> {
        Lazy<T> rec(chunk);
        detail::callWithRecord<T>(h, rec);
        return {chunk};
    };
}

// `===`: the filter for T whose handler pushes the replacement.
template <class T, class H>
ChunkFilter<FamilyOfT<T>> rewrite(H h) {
    return {chunkTypeOf<T>(), processChunk<T>(std::move(h))};
}

// `...`, `....`, `.....`: the filter for T whose handler looks at the record
// and keeps the chunk. With stages, the handler's result goes to stage1, and
// stage1's result to stage2 (a stage after a step that returns nothing is
// called without an argument); the stages are where the caller's context
// consumes what the handler found (collect it, print it, count it).
template <class T, class H, class... Stages>
    requires(sizeof...(Stages) <= 2)
ChunkFilter<FamilyOfT<T>> inspect(H h, Stages... stages) {
    if constexpr (sizeof...(Stages) == 0) {
        return {chunkTypeOf<T>(), inspectChunk<T>(std::move(h))};
    } else {
        auto composed = [h = std::move(h), ... s = std::move(stages)](const Lazy<T>& rec) mutable {
            if constexpr (std::is_void_v<decltype(detail::callWithRecord<T>(h, rec))>) {
                detail::callWithRecord<T>(h, rec);
                detail::runStagesVoid(s...);
            } else {
                detail::runStages(detail::callWithRecord<T>(h, rec), s...);
            }
        };
        return {chunkTypeOf<T>(), inspectChunk<T>(std::move(composed))};
    }
}

// An effect-only filter for T: h looks at the record (on demand).
template <class T, class H>
ChunkEffect<FamilyOfT<T>> effect(H h) {
    using C = FamilyOfT<T>;
    return {chunkTypeOf<T>(), [h = std::move(h)](const C& chunk) mutable {
                Lazy<T> rec(chunk);
                detail::callWithRecord<T>(h, rec);
            }};
}

// `~~`: the chunk's record type is T (no decoding).
template <class T, ChunkFamily C>
bool isA(const C& chunk) noexcept {
    return chunkType(chunk).id == typeIdOf<T>();
}

// The filters of a list by the dense index of their record type. Built once
// for a list, it finds a chunk's filters without scanning the list: a
// rewriting pass asks for every structured field, most select nothing and
// are passed on at the cost of one lookup, and those that do run only their
// own filters. It holds positions in the list it was built from, which must
// not change while the index is used.
class FilterIndex {
public:
    FilterIndex() = default;
    template <class F>
    explicit FilterIndex(const std::vector<F>& filters) : start_(std::size_t(idx_tableTypes) + 1, 0) {
        // Counted per type, then laid out type by type, in list order.
        auto indexOf = [](const F& f) { return f.type.id ? std::size_t(f.type.id->index) : std::size_t(idx_tableTypes); };
        for (const F& f : filters)
            if (indexOf(f) < idx_tableTypes) ++start_[indexOf(f) + 1];
        for (std::size_t i = 0; i < idx_tableTypes; ++i) start_[i + 1] += start_[i];
        positions_.resize(start_.back());
        std::vector<std::uint32_t> fill(start_.begin(), start_.end() - 1);
        for (std::size_t k = 0; k < filters.size(); ++k)
            if (indexOf(filters[k]) < idx_tableTypes) positions_[fill[indexOf(filters[k])]++] = std::uint32_t(k);
    }
    // True when some filter of the list has type t. A type outside the code
    // tables (a repeating-group record of its own) is never a chunk's type.
    bool selects(TypeId t) const noexcept {
        return t && t->index < idx_tableTypes && !start_.empty() && start_[t->index + 1] != start_[t->index];
    }
    template <ChunkFamily C>
    bool selects(const C& chunk) const noexcept {
        return selects(chunkType(chunk).id);
    }
    // Positions in the list of the filters of type t, in list order.
    std::span<const std::uint32_t> of(TypeId t) const noexcept {
        if (!selects(t)) return {};
        return {positions_.data() + start_[t->index], std::size_t(start_[t->index + 1] - start_[t->index])};
    }

private:
    std::vector<std::uint32_t> start_;      // per type: where its positions begin
    std::vector<std::uint32_t> positions_;  // filter positions, type by type
};

// ---- the filter operations ----------------------------------------------------
namespace detail {
template <ChunkFamily C, class F>
bool anySelected(TypeId t, const std::vector<F>& fs) noexcept {
    for (const F& f : fs)
        if (f.type.id == t) return true;
    return false;
}
}  // namespace detail

namespace detail {
// chunkMapFiltersM over the selected filters, given in list order.
template <ChunkFamily C, class Selected>
std::vector<C> runSelected(const C& chunk, const Selected& selected) {
    std::vector<C> work;
    bool started = false;
    for (const ChunkFilter<C>& f : selected) {
        if (!started) {
            work = f.handler(chunk);
            started = true;
            continue;
        }
        std::vector<C> next;
        for (const C& c : work) {
            std::vector<C> r = f.handler(c);
            next.insert(next.end(), std::make_move_iterator(r.begin()), std::make_move_iterator(r.end()));
        }
        work = std::move(next);
    }
    if (!started) work.push_back(chunk);
    return work;
}

// The filters of one type, in list order, as a range.
template <ChunkFamily C>
struct OfType {
    const ChunkFilters<C>& filters;
    TypeId type;
    struct iterator {
        const ChunkFilter<C>* at;
        const ChunkFilter<C>* end;
        TypeId type;
        void skip() {
            while (at != end && at->type.id != type) ++at;
        }
        const ChunkFilter<C>& operator*() const noexcept { return *at; }
        iterator& operator++() {
            ++at;
            skip();
            return *this;
        }
        bool operator!=(const iterator& o) const noexcept { return at != o.at; }
    };
    iterator begin() const {
        iterator it{filters.data(), filters.data() + filters.size(), type};
        it.skip();
        return it;
    }
    iterator end() const { return {filters.data() + filters.size(), filters.data() + filters.size(), type}; }
};

// The filters at the given positions of a list.
template <ChunkFamily C>
struct AtPositions {
    const ChunkFilters<C>& filters;
    std::span<const std::uint32_t> positions;
    struct iterator {
        const ChunkFilters<C>* filters;
        const std::uint32_t* at;
        const ChunkFilter<C>& operator*() const noexcept { return (*filters)[*at]; }
        iterator& operator++() {
            ++at;
            return *this;
        }
        bool operator!=(const iterator& o) const noexcept { return at != o.at; }
    };
    iterator begin() const { return {&filters, positions.data()}; }
    iterator end() const { return {&filters, positions.data() + positions.size()}; }
};
}  // namespace detail

// The chunks that replace `chunk` (see the ordering rules at the top).
template <ChunkFamily C>
std::vector<C> chunkMapFiltersM(const C& chunk, const std::type_identity_t<ChunkFilters<C>>& filters) {
    return detail::runSelected(chunk, detail::OfType<C>{filters, chunkType(chunk).id});
}
// The same through the index of the list (built from `filters`), which finds
// the chunk's filters without scanning the list.
template <ChunkFamily C>
std::vector<C> chunkMapFiltersM(const C& chunk, const std::type_identity_t<ChunkFilters<C>>& filters,
                                const FilterIndex& index) {
    return detail::runSelected(chunk, detail::AtPositions<C>{filters, index.of(chunkType(chunk).id)});
}

// Runs, in list order, every handler whose type is the chunk's record type,
// each on the chunk itself.
template <ChunkFamily C>
void chunkMapFiltersM_(const C& chunk, const std::type_identity_t<ChunkEffects<C>>& filters) {
    const TypeId t = chunkType(chunk).id;
    for (const ChunkEffect<C>& f : filters)
        if (f.type.id == t) f.handler(chunk);
}
// The same with sequence-producing filters, whose output is discarded.
template <ChunkFamily C>
void chunkMapFiltersM_(const C& chunk, const std::type_identity_t<ChunkFilters<C>>& filters) {
    const TypeId t = chunkType(chunk).id;
    for (const ChunkFilter<C>& f : filters)
        if (f.type.id == t) (void)f.handler(chunk);
}

}  // namespace pressel
