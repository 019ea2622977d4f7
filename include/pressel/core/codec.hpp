// Byte sources and the output builder.
//
// ByteReader walks a Bytes slice and hands out fixed-width fields and
// sub-slices; every read is bounds-checked and a short read throws
// EndOfInput naming what was read (record and field), the absolute offset,
// the bytes needed and the bytes left.
//
// Builder is the append-only output of every writer: fixed-width fields are
// gathered into a block; a non-empty byte string is not copied but handed on
// as a piece of its own. The result is a sequence of pieces whose
// concatenation is the written bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pressel/core/binary.hpp"
#include "pressel/core/bytes.hpp"

namespace pressel {

class ByteReader {
public:
    // `base` is the absolute offset of the first byte (for error messages).
    explicit ByteReader(Bytes bytes, std::uint64_t base = 0) noexcept
        : bytes_(std::move(bytes)), base_(base) {}

    std::size_t position() const noexcept { return pos_; }
    std::size_t remaining() const noexcept { return bytes_.size() - pos_; }
    bool atEnd() const noexcept { return pos_ >= bytes_.size(); }
    std::uint64_t offset() const noexcept { return base_ + pos_; }
    const Bytes& bytes() const noexcept { return bytes_; }

    // What is being read, for error messages ("IID field iid_XUnits").
    void setContext(const char* record, const char* field) noexcept {
        record_ = record;
        field_ = field;
    }

    void need(std::size_t n) const {
        if (remaining() < n) fail(n);
    }
    [[noreturn]] void fail(std::size_t n) const;

    byte peek(std::size_t ahead = 0) const {
        need(ahead + 1);
        return bytes_[pos_ + ahead];
    }
    // Unsigned big-endian number of `w` bytes (w <= 16).
    uint128 readBE(int w) {
        need(std::size_t(w));
        uint128 v = 0;
        const byte* p = bytes_.data() + pos_;
        for (int i = 0; i < w; ++i) v = (v << 8) | p[i];
        pos_ += std::size_t(w);
        return v;
    }
    byte read8() {
        need(1);
        return bytes_[pos_++];
    }
    std::uint16_t read16() { return static_cast<std::uint16_t>(readBE(2)); }
    // The next n bytes as a slice (no copy).
    Bytes take(std::size_t n) {
        need(n);
        Bytes b = bytes_.slice(pos_, n);
        pos_ += n;
        return b;
    }
    // Everything that is left (no copy).
    Bytes takeRest() noexcept {
        Bytes b = bytes_.slice(pos_, bytes_.size() - pos_);
        pos_ = bytes_.size();
        return b;
    }
    // Back to an earlier position (an item that turned out not to fit).
    void rewindTo(std::size_t pos) noexcept { pos_ = std::min(pos, bytes_.size()); }
    void skip(std::size_t n) {
        need(n);
        pos_ += n;
    }

private:
    Bytes bytes_;
    std::uint64_t base_ = 0;
    std::size_t pos_ = 0;
    const char* record_ = nullptr;
    const char* field_ = nullptr;
};

class Builder {
public:
    void put8(byte b) { block_.push_back(b); }
    // The low `w` bytes of v, most significant first.
    void putBE(uint128 v, int w) {
        for (int i = w - 1; i >= 0; --i) block_.push_back(static_cast<byte>(v >> (8 * i)));
    }
    void putRaw(const void* p, std::size_t n) {
        const byte* b = static_cast<const byte*>(p);
        block_.insert(block_.end(), b, b + n);
    }
    // Appends a byte string. A long one, or one written first, is kept
    // without copying: the gathered block is closed as one piece and the
    // string follows as a piece of its own. A short one after other bytes is
    // copied into the gathered block, which costs less than a piece of its own
    // (an allocation, and a second copy when the pieces are joined): a
    // re-encoded presentation text is one block, not a piece per control
    // sequence. An empty string emits nothing and leaves the current block open.
    void putBytes(const Bytes& b);
    std::size_t size() const noexcept { return size_ + block_.size(); }

    // The pieces, in order; their concatenation is the written bytes.
    std::vector<Bytes> pieces() &&;
    // The written bytes as one slice; copies only when there is more than one piece.
    Bytes toBytes() &&;

private:
    static constexpr std::size_t kCopiedBytes = 256;
    void flushBlock() {
        if (block_.empty()) return;
        size_ += block_.size();
        pieces_.push_back(Bytes::adopt(std::move(block_)));
        block_ = {};
    }
    std::vector<Bytes> pieces_;
    std::vector<byte> block_;
    std::size_t size_ = 0;  // bytes in pieces_
};

// ---- readers and writers of the field types --------------------------------
template <WidthField T>
T readField(ByteReader& r) {
    using Rep = typename T::rep;
    if constexpr (T::family == FieldFamily::I) {
        using U = std::make_unsigned_t<Rep>;
        U u = static_cast<U>(r.readBE(T::width));
        // A width narrower than the representation (I3) extends its sign bit.
        if constexpr (T::width < int(sizeof(Rep))) {
            constexpr U sign = U(1) << (T::width * 8 - 1);
            if (u & sign) u = static_cast<U>(u | ~((sign << 1) - 1));
        }
        return T(static_cast<Rep>(u));
    } else {
        return T(static_cast<Rep>(r.readBE(T::width)));
    }
}
template <class T>
    requires std::same_as<T, N0>
T readField(ByteReader&) { return N0{}; }

template <WidthField T>
void writeField(Builder& b, T v) {
    using Rep = typename T::rep;
    if constexpr (T::family == FieldFamily::I)
        b.putBE(static_cast<std::make_unsigned_t<Rep>>(v.value), T::width);
    else
        b.putBE(static_cast<uint128>(v.value), T::width);
}
inline void writeField(Builder&, N0) {}

template <WidthField T>
constexpr std::size_t fieldSize(const T&) noexcept { return T::width; }
constexpr std::size_t fieldSize(const N0&) noexcept { return 0; }

} // namespace pressel
