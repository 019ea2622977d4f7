// Nested chunk streams: the control sequences inside presentation text, the
// triplets at the end of many structured fields and inside repeating groups,
// and the repeating groups of the coded-font map.
//
// Chunks<C> is the sequence field of a record. Read from a payload it keeps
// the payload and cuts items out of it only as it is walked; built from a
// list of chunks it holds the list. Writing a sequence that was read and
// never replaced hands on the original bytes unchanged.
//
// Framing of the items:
//   T_     a length byte that counts itself, the identifier and the contents
//   PTX_   X'2B' X'D3' (left out inside a chain), a length byte that counts
//          itself, the function type and the parameters; an odd function
//          type chains the next control sequence
//   MCF_   a 2-byte length that counts itself, then the group's triplets
//
// Whatever does not frame as an item is kept, never dropped or rejected:
// code points between control sequences become Text chunks, and bytes whose
// length is too small to count itself or runs past the end become one Raw
// chunk holding the rest of the payload. Writing the chunks back in order
// reproduces the payload byte for byte, for any input.
#pragma once

#include <iterator>
#include <memory>
#include <vector>

#include "pressel/core/buffer.hpp"
#include "pressel/stream/chunk.hpp"

namespace pressel {

// Cursor of the item reader of one family.
struct NestedCursor {
    std::size_t pos = 0;
    bool inChain = false;  // PTX_: the previous control sequence chained this one
};

// Reads the next item of `src` at the cursor into `out`; false at the end.
bool nextNested(const Bytes& src, NestedCursor& cur, PTX_& out);
bool nextNested(const Bytes& src, NestedCursor& cur, T_& out);
bool nextNested(const Bytes& src, NestedCursor& cur, MCF_& out);

// Writes a control-sequence list. A control sequence is written chained (no
// X'2BD3') when the control sequence written before it in this list has an
// odd function type, or when it is the first item and `leadChained` says the
// list continues a chain begun before it; otherwise it gets the prefix.
void writeControlSequences(Builder& b, const std::vector<PTX_>& items, bool leadChained = false);
std::size_t controlSequencesSize(const std::vector<PTX_>& items, bool leadChained = false);

template <ChunkFamily C>
class Chunks {
public:
    using value_type = C;

    Chunks() = default;
    // The items of a payload, read as they are walked.
    static Chunks fromPayload(Bytes payload, bool leadChained = false) {
        Chunks c;
        c.source_ = std::move(payload);
        c.leadChained_ = leadChained;
        return c;
    }
    Chunks(std::vector<C> items) : items_(std::make_shared<const std::vector<C>>(std::move(items))) {}
    Chunks(std::initializer_list<C> items) : Chunks(std::vector<C>(items)) {}
    // A list that continues a chain begun before it (control sequences).
    Chunks(std::vector<C> items, bool leadChained) : Chunks(std::move(items)) { leadChained_ = leadChained; }

    class iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = C;
        using difference_type = std::ptrdiff_t;
        using pointer = const C*;
        using reference = const C&;
        iterator() = default;
        const C& operator*() const noexcept { return cur_; }
        const C* operator->() const noexcept { return &cur_; }
        iterator& operator++() {
            advance();
            return *this;
        }
        void operator++(int) { advance(); }
        // Offset of the current item inside the payload (its framing included).
        std::size_t offset() const noexcept { return at_; }
        friend bool operator==(const iterator& a, std::default_sentinel_t) noexcept { return a.done_; }

    private:
        friend class Chunks;
        iterator(const Chunks* owner) : owner_(owner), done_(false) {
            cursor_.inChain = owner->leadChained_;
            advance();
        }
        void advance() {
            if (owner_->items_) {
                if (index_ >= owner_->items_->size()) {
                    done_ = true;
                    return;
                }
                cur_ = (*owner_->items_)[index_++];
                return;
            }
            at_ = cursor_.pos;
            done_ = !nextNested(owner_->source_, cursor_, cur_);
        }
        const Chunks* owner_ = nullptr;
        NestedCursor cursor_;
        std::size_t index_ = 0;
        std::size_t at_ = 0;
        C cur_{};
        bool done_ = true;
    };

    iterator begin() const { return iterator(this); }
    std::default_sentinel_t end() const noexcept { return {}; }

    // The items as a list (reads them all if they came from a payload).
    std::vector<C> toVector() const {
        if (items_) return *items_;
        std::vector<C> v;
        for (const C& c : *this) v.push_back(c);
        return v;
    }
    std::size_t count() const {
        if (items_) return items_->size();
        std::size_t n = 0;
        for (auto it = begin(); it != end(); ++it) ++n;
        return n;
    }
    bool fromSource() const noexcept { return !items_; }
    const Bytes& source() const noexcept { return source_; }
    bool leadChained() const noexcept { return leadChained_; }

    void write(Builder& b) const { write(b, leadChained_); }
    // Writes the items; a control-sequence list continues a chain begun
    // before it when `leadChained` is set.
    void write(Builder& b, bool leadChained) const {
        if (!items_) {
            b.putBytes(source_);
            return;
        }
        if constexpr (std::same_as<C, PTX_>) writeControlSequences(b, *items_, leadChained);
        else
            for (const C& c : *items_) writeChunk(b, c);
    }
    std::size_t writtenSize() const { return writtenSize(leadChained_); }
    std::size_t writtenSize(bool leadChained) const {
        if (!items_) return source_.size();
        if constexpr (std::same_as<C, PTX_>) return controlSequencesSize(*items_, leadChained);
        else {
            std::size_t n = 0;
            for (const C& c : *items_) n += chunkSize(c);
            return n;
        }
    }

    friend bool operator==(const Chunks& a, const Chunks& b) {
        if (!a.items_ && !b.items_ && a.source_ == b.source_) return true;
        return a.toVector() == b.toVector();
    }

private:
    Bytes source_;
    std::shared_ptr<const std::vector<C>> items_;
    bool leadChained_ = false;
};

template <ChunkFamily C>
void showsPrec(std::string& out, int, const Chunks<C>& cs) {
    showsList(out, cs);
}

}  // namespace pressel
