// String packing over the EBCDIC tables.
#include "pressel/core/strings.hpp"

#include "pressel/text/ebcdic.hpp"

namespace pressel {

namespace {
// Fills `out` (already sized) with the table entries of `in`.
void mapInto(byte* out, std::span<const byte> in, const ByteTable& table) {
    for (std::size_t i = 0; i < in.size(); ++i) out[i] = lookup(table, in[i]);
}
}  // namespace

Bytes packAStr(const Bytes& ebcdic) {
    std::vector<byte> out(ebcdic.size());
    mapInto(out.data(), ebcdic.span(), ebc2ascW8());
    return Bytes::adopt(std::move(out));
}

std::string fromAStr(std::span<const byte> ebcdic) {
    std::string out(ebcdic.size(), '\0');
    mapInto(reinterpret_cast<byte*>(out.data()), ebcdic, ebc2ascW8());
    return out;
}

std::string fromAStr(const Bytes& ebcdic) { return fromAStr(ebcdic.span()); }

Bytes toAStr(std::string_view text) {
    std::vector<byte> out(text.size());
    mapInto(out.data(), {reinterpret_cast<const byte*>(text.data()), text.size()}, asc2ebc());
    return Bytes::adopt(std::move(out));
}

std::vector<N1> fromNStr(const Bytes& bytes) {
    std::vector<N1> out;
    out.reserve(bytes.size());
    for (byte b : bytes) out.emplace_back(b);
    return out;
}

Bytes toNStr(std::span<const N1> numbers) {
    std::vector<byte> out;
    out.reserve(numbers.size());
    for (N1 n : numbers) out.push_back(n.value);
    return Bytes::adopt(std::move(out));
}

}  // namespace pressel
