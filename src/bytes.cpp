// Byte slices, field text forms, byte sources and the output builder.
#include "pressel/core/buffer.hpp"
#include "pressel/core/bytes.hpp"
#include "pressel/core/codec.hpp"

namespace pressel {

std::string hexString(std::span<const byte> bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.resize(bytes.size() * 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        s[2 * i] = digits[bytes[i] >> 4];
        s[2 * i + 1] = digits[bytes[i] & 15];
    }
    return s;
}

Bytes fromHex(std::string_view hex) {
    std::vector<byte> out;
    int hi = -1;
    for (char ch : hex) {
        if (ch == ' ' || ch == '\n' || ch == '\t') continue;
        int d;
        if (ch >= '0' && ch <= '9') d = ch - '0';
        else if (ch >= 'a' && ch <= 'f') d = ch - 'a' + 10;
        else if (ch >= 'A' && ch <= 'F') d = ch - 'A' + 10;
        else throw Error(std::string("fromHex: not a hex digit: '") + ch + "'");
        if (hi < 0) hi = d;
        else {
            out.push_back(static_cast<byte>(hi * 16 + d));
            hi = -1;
        }
    }
    if (hi >= 0) throw Error("fromHex: odd number of hex digits");
    return Bytes::adopt(std::move(out));
}

std::string zeropad(int width, uint128 v) {
    static const char digits[] = "0123456789ABCDEF";
    char tmp[40];
    int k = 0;
    do {
        tmp[k++] = digits[static_cast<int>(v & 15)];
        v >>= 4;
    } while (v != 0);
    std::string s;
    int pad = 2 * width - k;
    if (pad > 0) s.assign(static_cast<std::size_t>(pad), '0');
    while (k > 0) s += tmp[--k];
    return s;
}

void ByteReader::fail(std::size_t n) const {
    std::string what = "end of input reading ";
    if (record_) {
        what += record_;
        if (field_) {
            what += " field ";
            what += field_;
        }
    } else {
        what += "bytes";
    }
    throw EndOfInput(what, offset(), n, remaining());
}

void Builder::putBytes(const Bytes& b) {
    if (b.empty()) return;
    if (b.size() <= kCopiedBytes && size() != 0) {
        putRaw(b.data(), b.size());
        return;
    }
    flushBlock();
    pieces_.push_back(b);
    size_ += b.size();
}

std::vector<Bytes> Builder::pieces() && {
    flushBlock();
    return std::move(pieces_);
}

Bytes Builder::toBytes() && {
    if (pieces_.empty()) return Bytes::adopt(std::move(block_));
    if (block_.empty() && pieces_.size() == 1) return pieces_.front();
    std::vector<byte> all;
    all.reserve(size());
    for (const Bytes& p : pieces_) all.insert(all.end(), p.begin(), p.end());
    all.insert(all.end(), block_.begin(), block_.end());
    return Bytes::adopt(std::move(all));
}

Buffer2 readBuffer2(ByteReader& r) {
    std::uint64_t at = r.offset();
    std::uint16_t len = r.read16();
    if (len < 2) throw FormatError("Buffer2 length " + std::to_string(len) + " does not count its own 2 bytes", at);
    return Buffer2{r.take(std::size_t(len) - 2)};
}

void writeField(Builder& b, const Buffer2& v) {
    if (v.bytes.size() > Buffer2::maxData)
        throw Error("Buffer2 of " + std::to_string(v.bytes.size()) + " bytes cannot be written: its length exceeds 65535");
    b.putBE(v.bytes.size() + 2, 2);
    b.putBytes(v.bytes);
}

void showBytes(std::string& out, const Bytes& b) {
    out += '"';
    out += hexString(b.span());
    out += '"';
}

} // namespace pressel
