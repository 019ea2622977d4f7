// The code tables and the framing of single chunks.
#include "pressel/stream/chunk.hpp"

#include "afp_index.hpp"
#include "pressel/core/buffer.hpp"

#include <array>
#include <string_view>

namespace pressel {

namespace {

constexpr TypeInfo kTypes[] = {
#define PRESSEL_X(code, name) {#name, Family::AFP, idx_##name},
    PRESSEL_AFP_CODES(PRESSEL_X)
    {"Unknown", Family::AFP, idx_Unknown},
#undef PRESSEL_X
#define PRESSEL_X(code, name) {#name, Family::T, idx_##name},
    PRESSEL_T_CODES(PRESSEL_X)
    {"T_Unknown", Family::T, idx_T_Unknown},
    {"T_Raw", Family::T, idx_T_Raw},
#undef PRESSEL_X
#define PRESSEL_X(code, name) {#name, Family::PTX, idx_##name},
    PRESSEL_PTX_CODES(PRESSEL_X)
    {"PTX_Unknown", Family::PTX, idx_PTX_Unknown},
    {"PTX_Text", Family::PTX, idx_PTX_Text},
    {"PTX_Raw", Family::PTX, idx_PTX_Raw},
#undef PRESSEL_X
    {"MCF_T", Family::MCF, idx_MCF_T},
};
static_assert(std::size(kTypes) == idx_tableTypes);

#define PRESSEL_COUNT(code, name) +1
static_assert(0 PRESSEL_AFP_CODES(PRESSEL_COUNT) == 136);
static_assert(0 PRESSEL_T_CODES(PRESSEL_COUNT) == 56);
static_assert(0 PRESSEL_PTX_CODES(PRESSEL_COUNT) == 31);
#undef PRESSEL_COUNT

// 256-entry tables for the one-byte codes, built at compile time.
constexpr std::array<std::uint16_t, 256> makeTripletTable() {
    std::array<std::uint16_t, 256> t{};
    for (auto& e : t) e = idx_T_Unknown;
#define PRESSEL_X(code, name) t[code] = idx_##name;
    PRESSEL_T_CODES(PRESSEL_X)
#undef PRESSEL_X
    return t;
}
constexpr std::array<std::uint16_t, 256> makeControlTable() {
    std::array<std::uint16_t, 256> t{};
    for (auto& e : t) e = idx_PTX_Unknown;
#define PRESSEL_X(code, name) \
    t[code] = idx_##name;     \
    if ((code & 1) == 0) t[code + 1] = idx_##name;
    PRESSEL_PTX_CODES(PRESSEL_X)
#undef PRESSEL_X
    return t;
}
constexpr auto kTripletTable = makeTripletTable();
constexpr auto kControlTable = makeControlTable();

void showChunkHead(std::string& out, int prec, const char* family) {
    if (prec >= 11) out += '(';
    out += family;
    out += ' ';
}

}  // namespace

const TypeInfo& tableType(RecordIndex i) noexcept { return kTypes[i]; }

TypeId afpTypeOf(std::uint32_t code) noexcept {
    return &kTypes[afpIndexOf(code)];
}

TypeId tripletTypeOf(std::uint8_t code) noexcept { return &kTypes[kTripletTable[code]]; }
TypeId controlTypeOf(std::uint8_t code) noexcept { return &kTypes[kControlTable[code]]; }

std::uint32_t afpCodeOfName(std::string_view name) noexcept {
#define PRESSEL_X(code, n) if (name == #n) return code;
    PRESSEL_AFP_CODES(PRESSEL_X)
#undef PRESSEL_X
    return 0;
}

TypeId tableTypeByName(std::string_view name) noexcept {
    for (const TypeInfo& t : kTypes)
        if (name == t.name) return &t;
    return nullptr;
}

void showsPrec(std::string& out, int prec, ChunkType t) {
    if (prec > 10) out += '(';
    out += "ChunkType ";
    out += t.name();
    if (prec > 10) out += ')';
}

ChunkType chunkType(const PTX_& c) noexcept {
    switch (c.frame) {
    case Frame::Text: return {&kTypes[idx_PTX_Text]};
    case Frame::Raw: return {&kTypes[idx_PTX_Raw]};
    default: return {controlTypeOf(c.code)};
    }
}

ChunkType chunkType(const T_& c) noexcept {
    if (c.frame != Frame::Item) return {&kTypes[idx_T_Raw]};
    return {tripletTypeOf(c.code)};
}

Bytes packChunk(const AFP_& c, FieldFraming& framing) {
    framing = FieldFraming{};
    const Bytes& p = c.payload;
    if (p.size() < 6) return p;
    byte flags = p[3];
    if ((flags & 0x88) == 0) return p;
    // Introducer extension (X'80'): a length byte that counts itself, then
    // application data. Padding (X'08'): at the end of the data, its length in
    // the last byte, or in the two bytes before a last byte of X'00'. A length
    // that does not fit leaves the payload as it is.
    std::size_t start = 6, end = p.size();
    framing.asIs = true;
    if (flags & 0x80) {
        if (end <= start) return p;  // flag without the extension's length byte
        std::size_t ext = p[6];
        if (ext < 1 || start + ext > end) return p;
        start += ext;
    }
    if (flags & 0x08) {
        std::size_t pad = p[end - 1];
        if (pad == 0 && end >= start + 3) {
            pad = (std::size_t(p[end - 3]) << 8) | p[end - 2];
            if (pad < 3) pad = 0;  // the two-byte form counts its own three bytes
        }
        if (pad == 0 || start + pad > end) return p;
        end -= pad;
    }
    framing.asIs = false;
    framing.extension = p.slice(6, start - 6);
    framing.padding = p.slice(end, p.size() - end);
    std::vector<byte> v;
    v.reserve(6 + end - start);
    v.insert(v.end(), p.begin(), p.begin() + 6);
    v[3] = static_cast<byte>(flags & ~0x88);
    v.insert(v.end(), p.begin() + std::ptrdiff_t(start), p.begin() + std::ptrdiff_t(end));
    return Bytes::adopt(std::move(v));
}

Bytes packChunk(const AFP_& c) {
    FieldFraming unused;
    return packChunk(c, unused);
}

namespace detail {
void throwInField(const FormatError& e, const FieldFraming& framing, std::uint64_t fieldOffset) {
    // The record bytes are the payload with the extension left out after its
    // first 6 bytes (identifier, flags, reserved); the payload follows the
    // field's 2 length bytes.
    std::uint64_t at = e.offset();
    if (at >= 6) at += framing.extension.size();
    throw FormatError(e.reason(), fieldOffset, 2 + at);
}
}  // namespace detail

FieldFraming framingOf(const AFP_& c) {
    if (!hasExtensionOrPadding(c.payload)) return {};
    FieldFraming f;
    (void)packChunk(c, f);
    return f;
}

namespace {

// The length a padding states in its last byte, or in the two bytes before
// a last byte of zero.
std::size_t statedPadding(const Bytes& pad) {
    std::size_t n = pad[pad.size() - 1];
    if (n == 0 && pad.size() >= 3) n = (std::size_t(pad[pad.size() - 3]) << 8) | pad[pad.size() - 2];
    return n;
}

}  // namespace

AFP_ frameChunk(std::uint32_t code, Bytes packed, const FieldFraming& framing) {
    static const byte one = 0x01;
    if (framing.asIs || packed.size() < 6) return AFP_{code, std::move(packed)};
    const byte flags = packed[3];
    Bytes ext = framing.extension, pad = framing.padding;
    // A flag set with nothing to put there: the smallest well-formed form.
    if (ext.empty() && (flags & 0x80)) ext = Bytes::fromStatic(&one, 1);
    if (pad.empty() && (flags & 0x08)) pad = Bytes::fromStatic(&one, 1);
    if (ext.empty() && pad.empty()) return AFP_{code, std::move(packed)};
    if (!ext.empty() && std::size_t(ext[0]) != ext.size())
        throw Error("introducer extension of " + std::to_string(ext.size()) + " bytes states a length of " +
                    std::to_string(ext[0]));
    if (!pad.empty() && statedPadding(pad) != pad.size())
        throw Error("padding of " + std::to_string(pad.size()) + " bytes states a length of " +
                    std::to_string(statedPadding(pad)));
    std::vector<byte> v;
    v.reserve(packed.size() + ext.size() + pad.size());
    v.insert(v.end(), packed.begin(), packed.begin() + 6);
    v[3] = static_cast<byte>(flags | (ext.empty() ? 0 : 0x80) | (pad.empty() ? 0 : 0x08));
    v.insert(v.end(), ext.begin(), ext.end());
    v.insert(v.end(), packed.begin() + 6, packed.end());
    v.insert(v.end(), pad.begin(), pad.end());
    return AFP_{code, Bytes::adopt(std::move(v))};
}

void showsPrec(std::string& out, int prec, const AFP_& c) {
    showChunkHead(out, prec, "AFP_");
    showsPrec(out, 11, N3(c.code));
    out += ' ';
    showBytes(out, c.payload);
    if (prec >= 11) out += ')';
}

static const char* frameSuffix(Frame f) {
    switch (f) {
    case Frame::Text: return " Text";
    case Frame::Raw: return " Raw";
    default: return "";
    }
}

void showsPrec(std::string& out, int prec, const PTX_& c) {
    showChunkHead(out, prec, "PTX_");
    showsPrec(out, 11, N1(c.code));
    out += ' ';
    showBytes(out, c.payload);
    out += frameSuffix(c.frame);
    if (prec >= 11) out += ')';
}

void showsPrec(std::string& out, int prec, const T_& c) {
    showChunkHead(out, prec, "T_");
    showsPrec(out, 11, N1(c.code));
    out += ' ';
    showBytes(out, c.payload);
    out += frameSuffix(c.frame);
    if (prec >= 11) out += ')';
}

void showsPrec(std::string& out, int prec, const MCF_& c) {
    showChunkHead(out, prec, "MCF_");
    showsPrec(out, 11, N0{});
    out += ' ';
    showBytes(out, c.payload);
    out += frameSuffix(c.frame);
    if (prec >= 11) out += ')';
}

void writeChunk(Builder& b, const AFP_& c) {
    if (c.payload.size() > maxAfpPayload)
        throw Error("structured field " + zeropad(3, c.code) + " of " + std::to_string(c.payload.size()) +
                    " payload bytes cannot be framed: its length exceeds 65535");
    b.put8(0x5A);
    b.putBE(c.payload.size() + 2, 2);
    b.putBytes(c.payload);
}

void writeChunk(Builder& b, const T_& c) {
    if (c.frame == Frame::Item) {
        if (c.payload.empty() || c.payload.size() > 254)
            throw Error("triplet " + zeropad(1, c.code) + " of " + std::to_string(c.payload.size()) +
                        " bytes cannot be framed: its length must lie between 2 and 255");
        b.put8(static_cast<byte>(c.payload.size() + 1));
    }
    b.putBytes(c.payload);
}

void writeChunk(Builder& b, const MCF_& c) {
    if (c.frame == Frame::Item) writeField(b, Buffer2{c.payload});
    else b.putBytes(c.payload);
}

std::size_t chunkSize(const AFP_& c) noexcept { return 3 + c.payload.size(); }
std::size_t chunkSize(const T_& c) noexcept { return (c.frame == Frame::Item ? 1 : 0) + c.payload.size(); }
std::size_t chunkSize(const MCF_& c) noexcept { return (c.frame == Frame::Item ? 2 : 0) + c.payload.size(); }

}  // namespace pressel
