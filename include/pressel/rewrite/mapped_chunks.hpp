// Filtering whole sequences of chunks: the lazy replacement of a range
// (chunksMapFiltersM) and the effect-only walk (chunksMapFiltersM_).
// Sequences are processed chunk by chunk: all effects for one chunk happen
// before any for the next.
#pragma once

#include <cstddef>
#include <iterator>
#include <type_traits>
#include <utility>
#include <vector>

#include "pressel/rewrite/chunk_filters.hpp"

namespace pressel {

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
        : range_(std::forward<R>(range)), filters_(std::move(filters)), index_(filters_) {}

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
                if (!owner_->index_.selects(c)) {
                    if constexpr (!innerRefersToChunk) {
                        pending_.push_back(c);
                        pos_ = 1;
                    }
                    done_ = false;
                    return;
                }
                pending_ = chunkMapFiltersM<C>(c, owner_->filters_, owner_->index_);
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
    FilterIndex index_;  // of filters_
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

}  // namespace pressel
