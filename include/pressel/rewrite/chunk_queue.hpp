// The output of a rewriting handler: the queue of chunks it yields
// (ChunkQueue) and the writer it pushes them to (ChunkWriter).
#pragma once

#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "pressel/stream/chunk.hpp"
#include "pressel/core/error.hpp"
#include "pressel/record.hpp"

namespace pressel {

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

}  // namespace pressel
