// Rewriting streams: nested chunk streams and apply, filters keyed by record
// type, the output queue handed to handlers, and the filter builders.
//
//   apply<T>(chunk, fn)             fn gets the chunk's record, decoded on demand
//   applyMCF(mcfChunk, fn)          the same for one repeating group as MCF_T
//   strictItems(chunks)             a walk that fails on reaching malformed bytes
//
//   chunkMapFiltersM(c, filters)    the chunks that replace c
//   chunksMapFiltersM(seq, filters) the replacement of a whole sequence, lazily
//   chunkMapFiltersM_ / chunksMapFiltersM_   handlers for their effects only
//   mapNested(chunks, filters)      a record's nested stream, filtered
//
//   ChunkQueue<C>, ChunkWriter<C>   the output of a rewriting handler
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
// the input chunk, in list order. Sequences are processed chunk by chunk: all
// effects for one chunk happen before any for the next. A handler that throws
// stops the walk there; what was done before stays done.
//
// On-demand decoding. Handlers receive a Lazy<T>, which decodes the chunk the
// first time it is dereferenced; a handler that never looks causes no decoding,
// so a malformed payload it ignores causes no failure. A handler may instead
// take `const T&`, which decodes before the call.
//
// The record type T of a builder decides both the chunk family
// (FamilyOf<T>::type) and the ChunkType the filter selects (typeIdOf<T>()).
// Typing a chunk is a lookup in the code tables of its family: control
// sequences X'D2' and X'D3' select the same filters, an unlisted function type
// such as X'7A' selects those of PTX_Unknown, an unlisted structured field
// those of Unknown.
#pragma once

#include <functional>
#include <iterator>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "pressel/catalogue.hpp"
#include "pressel/core/error.hpp"
#include "pressel/stream/nested.hpp"
#include "pressel/record.hpp"
#include "pressel/records.hpp"

namespace pressel {

// ---- invoking handlers with a record ------------------------------------------
namespace detail {
// Calls h with the on-demand record (Lazy<T>) if it takes one, else with the
// decoded record, followed by the extra arguments.
template <class T, class H, class... A>
decltype(auto) callWithRecord(H& h, const Lazy<T>& rec, A&&... extra) {
    if constexpr (std::is_invocable_v<H&, const Lazy<T>&, A...>) return h(rec, std::forward<A>(extra)...);
    else if constexpr (std::is_invocable_v<H&, const T&, A...>) return h(rec.get(), std::forward<A>(extra)...);
    else static_assert(std::is_invocable_v<H&, const T&, A...>, "handler must take const Lazy<T>& or const T&");
}

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

// ---- nested streams and apply -------------------------------------------------
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

// ---- the output queue ---------------------------------------------------------
// A sequence of chunks (ChunkQueue) or exactly one chunk (ChunkItem).
// Combining two queues always gives the sequence form, the left chunks first;
// the empty queue is the sequence with no chunks.
template <ChunkFamily C>
class ChunkQueue {
public:
    ChunkQueue() = default;
    static ChunkQueue sequence(std::vector<C> xs) {
        ChunkQueue q;
        q.chunks_ = std::move(xs);
        return q;
    }
    static ChunkQueue item(C x) {
        ChunkQueue q;
        q.chunks_.push_back(std::move(x));
        q.item_ = true;
        return q;
    }
    bool isItem() const noexcept { return item_; }
    // The chunks in output order (one for an item).
    const std::vector<C>& chunks() const noexcept { return chunks_; }
    std::vector<C> takeChunks() && { return std::move(chunks_); }

    ChunkQueue& operator+=(const ChunkQueue& r) {
        chunks_.insert(chunks_.end(), r.chunks_.begin(), r.chunks_.end());
        item_ = false;
        return *this;
    }
    // Appends one ChunkItem: the same as `*this + item(x)`.
    ChunkQueue& operator+=(C x) {
        chunks_.push_back(std::move(x));
        item_ = false;
        return *this;
    }
    friend ChunkQueue operator+(ChunkQueue l, const ChunkQueue& r) { return l += r; }
    friend bool operator==(const ChunkQueue&, const ChunkQueue&) = default;

private:
    std::vector<C> chunks_;
    bool item_ = false;
};
template <ChunkFamily C>
ChunkQueue<C> chunkItem(C x) {
    return ChunkQueue<C>::item(std::move(x));
}
template <ChunkFamily C>
ChunkQueue<C> chunkQueue(std::vector<C> xs) {
    return ChunkQueue<C>::sequence(std::move(xs));
}

// "ChunkQueue [a,b]" or "ChunkItem (PTX_ ...)"; parenthesised above precedence 10.
template <ChunkFamily C>
void showsPrec(std::string& out, int prec, const ChunkQueue<C>& q) {
    if (prec > 10) out += '(';
    if (q.isItem()) {
        out += "ChunkItem ";
        showsPrec(out, 11, q.chunks().front());
    } else {
        out += "ChunkQueue [";
        bool first = true;
        for (const C& c : q.chunks()) {
            if (!first) out += ',';
            first = false;
            showsPrec(out, 0, c);
        }
        out += ']';
    }
    if (prec > 10) out += ')';
}
template <ChunkFamily C>
std::string show(const ChunkQueue<C>& q) {
    std::string s;
    showsPrec(s, 0, q);
    return s;
}

// What a rewriting handler writes to: an accumulating queue, empty at the
// start. push appends one ChunkItem, so after any number of pushes the queue
// is a sequence; only set() can leave a bare item, which processChunk rejects.
template <ChunkFamily C>
class ChunkWriter {
public:
    explicit ChunkWriter(const C* input = nullptr) : input_(input) {}

    // Appends the chunk made from the record (wrapped as Record, encodeChunk).
    // A structured-field record of the input chunk's own type keeps the
    // input's extension and padding (a changed record is written with them);
    // push a Record to give other framing.
    template <class T>
        requires(!ChunkFamily<T>)
    void push(const T& record) {
        Record<T> r{record};
        if constexpr (std::is_same_v<C, AFP_>)
            if (input_ && chunkType(*input_).id == typeIdOf<T>()) r.recordFraming = framingOf(*input_);
        push(r);
    }
    template <class T>
    void push(const Record<T>& r) {
        static_assert(std::is_same_v<typename FamilyOf<T>::type, C>, "push: a record of another chunk family");
        queue_ += encodeChunk(r);
    }
    // Appends a chunk as it is.
    void push(const C& chunk) { queue_ += chunk; }
    // Appends the chunk being processed, unchanged (byte for byte).
    void keep() {
        if (!input_) throw Error("ChunkWriter::keep: no input chunk");
        queue_ += *input_;
    }
    // Combines the queue with `q` (the result is always a sequence).
    void tell(const ChunkQueue<C>& q) { queue_ += q; }
    // Replaces the accumulated queue.
    void set(ChunkQueue<C> q) { queue_ = std::move(q); }

    // The chunk being processed.
    const C& input() const {
        if (!input_) throw Error("ChunkWriter::input: no input chunk");
        return *input_;
    }
    const ChunkQueue<C>& queue() const noexcept { return queue_; }
    ChunkQueue<C> takeQueue() && { return std::move(queue_); }

private:
    const C* input_;
    ChunkQueue<C> queue_;
};

// The fixed message with which processChunk fails when a handler leaves a
// bare ChunkItem instead of a sequence.
inline constexpr const char* loneChunkItemMessage =
    "processChunk: the handler's output is a lone ChunkItem, not a ChunkQueue";

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

// ---- the filter operations ----------------------------------------------------
namespace detail {
template <ChunkFamily C, class F>
bool anySelected(TypeId t, const std::vector<F>& fs) noexcept {
    for (const F& f : fs)
        if (f.type.id == t) return true;
    return false;
}
}  // namespace detail

// The chunks that replace `chunk` (see the ordering rules at the top).
template <ChunkFamily C>
std::vector<C> chunkMapFiltersM(const C& chunk, const std::type_identity_t<ChunkFilters<C>>& filters) {
    const TypeId t = chunkType(chunk).id;
    std::vector<C> work;
    bool started = false;
    for (const ChunkFilter<C>& f : filters) {
        if (f.type.id != t) continue;
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

template <class R>
using RangeChunk = std::remove_cvref_t<decltype(*std::declval<R&>().begin())>;

// The lazy replacement of a sequence: an input range that reads the next input
// chunk and runs its handlers only when the walk needs the next output chunk.
// Input chunks no filter selects are passed on without copying or allocating.
// Holds the input range by reference when given an lvalue, by value when given
// an rvalue (so `chunksMapFiltersM(readAFP(path), filters)` owns its stream).
template <class R, ChunkFamily C>
class MappedChunks {
public:
    MappedChunks(R&& range, ChunkFilters<C> filters)
        : range_(std::forward<R>(range)), filters_(std::move(filters)) {}

    class iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = C;
        using difference_type = std::ptrdiff_t;
        using pointer = const C*;
        using reference = const C&;
        iterator() = default;
        // The current output chunk: the input chunk itself, read through the
        // input iterator, or one of the replacements held here. Nothing points
        // into the iterator, so copies and moves of it stay valid.
        const C& operator*() const noexcept {
            if constexpr (innerRefersToChunk)
                if (pos_ == 0) return *it_;
            return pending_[pos_ - 1];
        }
        const C* operator->() const noexcept { return &**this; }
        iterator& operator++() {
            advance();
            return *this;
        }
        void operator++(int) { advance(); }
        // The input iterator (for example to ask an AfpStream for the offset
        // of the input chunk the current output came from).
        const auto& input() const noexcept { return it_; }
        friend bool operator==(const iterator& a, std::default_sentinel_t) noexcept { return a.done_; }

    private:
        friend class MappedChunks;
        using Inner = decltype(std::declval<std::remove_reference_t<R>&>().begin());
        using InnerEnd = decltype(std::declval<std::remove_reference_t<R>&>().end());
        // An input iterator that yields a chunk by value is copied from.
        static constexpr bool innerRefersToChunk = std::is_lvalue_reference_v<decltype(*std::declval<const Inner&>())>;
        iterator(MappedChunks* owner) : owner_(owner), it_(owner->range_.begin()), end_(owner->range_.end()) {
            done_ = false;
            fetch();
        }
        void advance() {
            if (pos_ != 0 && pos_ < pending_.size()) {
                ++pos_;
                return;
            }
            ++it_;
            fetch();
        }
        // Finds the next output chunk, starting at the input chunk under it_.
        // pos_ is 0 when it is the input chunk, else one past its index in
        // pending_.
        void fetch() {
            done_ = true;  // a throwing handler or read leaves the walk at its end
            pending_.clear();
            pos_ = 0;
            for (; !(it_ == end_); ++it_) {
                const C& c = *it_;
                if (!detail::anySelected<C>(chunkType(c).id, owner_->filters_)) {
                    if constexpr (!innerRefersToChunk) {
                        pending_.push_back(c);
                        pos_ = 1;
                    }
                    done_ = false;
                    return;
                }
                pending_ = chunkMapFiltersM<C>(c, owner_->filters_);
                if (!pending_.empty()) {
                    pos_ = 1;
                    done_ = false;
                    return;
                }
            }
        }
        MappedChunks* owner_ = nullptr;
        Inner it_{};
        InnerEnd end_{};
        std::vector<C> pending_;
        std::size_t pos_ = 0;
        bool done_ = true;
    };

    // Walks once (the input may be a stream that can be read only once).
    iterator begin() { return iterator(this); }
    std::default_sentinel_t end() const noexcept { return {}; }
    std::vector<C> toVector() {
        std::vector<C> v;
        for (const C& c : *this) v.push_back(c);
        return v;
    }

private:
    R range_;  // a reference type for an lvalue input
    ChunkFilters<C> filters_;
};

// The replacement of a whole sequence: chunkMapFiltersM on each chunk in order,
// concatenated. Lazy: nothing runs until the result is walked.
template <class R>
auto chunksMapFiltersM(R&& range, std::type_identity_t<ChunkFilters<RangeChunk<R>>> filters) {
    return MappedChunks<R, RangeChunk<R>>(std::forward<R>(range), std::move(filters));
}

// chunkMapFiltersM_ on each chunk in order, finishing one chunk before the next.
template <class R>
void chunksMapFiltersM_(R&& range, const std::type_identity_t<ChunkEffects<RangeChunk<R>>>& filters) {
    for (const auto& c : range) chunkMapFiltersM_(c, filters);
}
template <class R>
void chunksMapFiltersM_(R&& range, const std::type_identity_t<ChunkFilters<RangeChunk<R>>>& filters) {
    for (const auto& c : range) chunkMapFiltersM_(c, filters);
}

// ---- filtering a record's nested stream ---------------------------------------
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
    bool any = false;
    for (const C& c : cs)
        if (detail::anySelected<C>(chunkType(c).id, filters)) {
            any = true;
            break;
        }
    if (!any) return cs;
    // One walk: the replacement of each chunk, noting whether any differs.
    std::vector<C> out;
    bool differs = false;
    for (const C& c : cs) {
        if (!detail::anySelected<C>(chunkType(c).id, filters)) {
            out.push_back(c);
            continue;
        }
        std::vector<C> r = chunkMapFiltersM<C>(c, filters);
        if (!(r.size() == 1 && r[0] == c)) differs = true;
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

// Record types of the structured-field table whose last field is a triplet
// list, and those whose last field is a list of repeating groups of triplets.
std::vector<TypeId> recordsEndingInTriplets();
std::vector<TypeId> recordsEndingInGroups();

}  // namespace pressel
