// Shared immutable byte slices.
//
// A Bytes value is a pointer, a length and a shared owner. Slicing is O(1)
// and copies nothing: a chunk's payload is a slice of the input block it was
// read from, a buffer field of a record is a slice of the chunk's payload,
// and a view's raw field is a slice of that. Owners are heap blocks (the
// reader's input blocks among them) or nothing at all for static data.
//
// Lifetime: a slice keeps its whole owner alive. A payload kept from a
// stream pins the 256 KiB input block it lies in, however small it is; to
// keep a few small pieces of a long stream without holding its blocks, keep
// copies (Bytes::copy(b.span())).
//
// Threads: the bytes are never written once a Bytes refers to them, and the
// owner is reference counted atomically, so Bytes values (and the chunks and
// records built on them) may be handed to other threads and read from
// several threads at once. Assigning to one Bytes object while another thread
// reads that same object is a data race, as for any value.
#pragma once

#include <algorithm>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pressel/core/error.hpp"

namespace pressel {

using byte = std::uint8_t;

class Bytes {
public:
    Bytes() noexcept = default;

    // Refers to memory kept alive by `owner` (which may be empty for static data).
    Bytes(std::shared_ptr<const void> owner, const byte* data, std::size_t size) noexcept
        : owner_(std::move(owner)), data_(size ? data : nullptr), size_(size) {}

    // Static data that outlives every user; nothing is owned.
    static Bytes fromStatic(const void* data, std::size_t size) noexcept {
        return Bytes({}, static_cast<const byte*>(data), size);
    }
    // A fresh heap copy of the given bytes.
    static Bytes copy(const void* data, std::size_t size) {
        if (size == 0) return {};
        auto block = std::shared_ptr<byte[]>(new byte[size]);
        std::memcpy(block.get(), data, size);
        const byte* p = block.get();
        return Bytes(std::shared_ptr<const void>(std::move(block), p), p, size);
    }
    static Bytes copy(std::string_view s) { return copy(s.data(), s.size()); }
    static Bytes copy(std::span<const byte> s) { return copy(s.data(), s.size()); }
    static Bytes copy(std::initializer_list<byte> s) { return copy(s.begin(), s.size()); }
    // Takes ownership of a vector without copying its bytes.
    static Bytes adopt(std::vector<byte>&& v) {
        if (v.empty()) return {};
        auto holder = std::make_shared<std::vector<byte>>(std::move(v));
        const byte* p = holder->data();
        std::size_t n = holder->size();
        return Bytes(std::shared_ptr<const void>(std::move(holder), p), p, n);
    }

    const byte* data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    byte operator[](std::size_t i) const noexcept { return data_[i]; }
    const byte* begin() const noexcept { return data_; }
    const byte* end() const noexcept { return data_ + size_; }
    std::span<const byte> span() const noexcept { return {data_, size_}; }
    std::string_view chars() const noexcept {
        return {reinterpret_cast<const char*>(data_), size_};
    }
    const std::shared_ptr<const void>& owner() const noexcept { return owner_; }

    // Bytes [offset, offset + length), clamped to this slice; shares the owner.
    Bytes slice(std::size_t offset, std::size_t length) const noexcept {
        if (offset > size_) offset = size_;
        length = std::min(length, size_ - offset);
        return Bytes(owner_, data_ + offset, length);
    }
    Bytes prefix(std::size_t n) const noexcept { return slice(0, n); }
    // True when both slices are kept alive by the same owner.
    bool sameOwner(const Bytes& o) const noexcept {
        return !owner_.owner_before(o.owner_) && !o.owner_.owner_before(owner_);
    }
    // Becomes src[offset, offset + length) (unchecked). Reuses the owner when
    // it is already src's, so walking the fields of one block touches no
    // reference count.
    void assignSlice(const Bytes& src, std::size_t offset, std::size_t length) noexcept {
        if (!sameOwner(src)) owner_ = src.owner_;
        data_ = length ? src.data_ + offset : nullptr;
        size_ = length;
    }
    Bytes dropFront(std::size_t n) const noexcept { return slice(n, size_); }

    friend bool operator==(const Bytes& a, const Bytes& b) noexcept {
        return a.size_ == b.size_ && (a.size_ == 0 || std::memcmp(a.data_, b.data_, a.size_) == 0);
    }
    friend std::strong_ordering operator<=>(const Bytes& a, const Bytes& b) noexcept {
        std::size_t n = std::min(a.size_, b.size_);
        int c = n ? std::memcmp(a.data_, b.data_, n) : 0;
        if (c != 0) return c < 0 ? std::strong_ordering::less : std::strong_ordering::greater;
        return a.size_ <=> b.size_;
    }

private:
    std::shared_ptr<const void> owner_;
    const byte* data_ = nullptr;
    std::size_t size_ = 0;
};

// Upper-case hexadecimal of the bytes, no separators ("5AD3A8A8").
std::string hexString(std::span<const byte> bytes);
// Bytes from a hexadecimal text; spaces are ignored. Throws Error on a bad digit.
Bytes fromHex(std::string_view hex);

} // namespace pressel
