// Chunks: the raw, undecoded units of a data stream, and the code tables
// that type them.
//
//   AFP_  one structured field; code = the 3-byte identifier (N3)
//   PTX_  one control sequence inside presentation text; code = function type (N1)
//   T_    one triplet; code = triplet identifier (N1)
//   MCF_  one repeating group of the coded-font map; no code (N0)
//
// A chunk holds its code and its payload. The payload is the record's byte
// form as a record reader consumes it, so it starts with the code's own
// bytes: a structured field's payload is everything after the 2-byte length
// of its introducer (identifier, flag byte, two reserved bytes, then any
// extension, data and padding); a triplet's payload is everything after its
// length byte; a control sequence's payload is its function type and its
// parameters. Framing (X'5A' and length, length bytes, X'2BD3' prefixes) is
// added back by the writers.
//
// Nested chunks also carry a Frame: Item for a well-framed item, Text for
// code points between control sequences, Raw for bytes that do not frame as
// an item (a length that overruns, a length too small to count itself).
// Text and Raw chunks are written back verbatim, so any payload survives a
// read and a write byte for byte.
//
// ChunkType names the record type a chunk decodes to. It is decided from the
// code alone, through the fixed tables of codes.hpp; the payload is never
// looked at, so typing a chunk never fails.
#pragma once

#include <cstdint>
#include <string>
#include <tuple>
#include <utility>

#include "pressel/core/binary.hpp"
#include "pressel/core/bytes.hpp"
#include "pressel/core/codec.hpp"
#include "pressel/stream/codes.hpp"

namespace pressel {

// ---- runtime type identity --------------------------------------------------
enum class Family : std::uint8_t { AFP, PTX, T, MCF, Other };

// One static descriptor per record type; a TypeId is a pointer to it and
// equality of TypeIds is identity of record types.
struct TypeInfo {
    const char* name;
    Family family;
    std::uint16_t index;  // dense index over all record types of the library
};
using TypeId = const TypeInfo*;

// The record types of the code tables, by dense index.
enum RecordIndex : std::uint16_t {
#define PRESSEL_X(code, name) idx_##name,
    PRESSEL_AFP_CODES(PRESSEL_X)
    idx_Unknown,
    PRESSEL_T_CODES(PRESSEL_X)
    idx_T_Unknown,
    idx_T_Raw,
    PRESSEL_PTX_CODES(PRESSEL_X)
    idx_PTX_Unknown,
    idx_PTX_Text,
    idx_PTX_Raw,
    idx_MCF_T,
#undef PRESSEL_X
    idx_tableTypes  // count of the record types above
};

// Descriptor of table record type `i`.
const TypeInfo& tableType(RecordIndex i) noexcept;

struct ChunkType {
    TypeId id = nullptr;
    const char* name() const noexcept { return id ? id->name : "?"; }
    friend bool operator==(ChunkType a, ChunkType b) noexcept { return a.id == b.id; }
};
// "ChunkType T_FQN"; as an argument "(ChunkType T_FQN)".
void showsPrec(std::string& out, int prec, ChunkType t);

// ---- the code tables --------------------------------------------------------
// Record type of a structured-field identifier; `Unknown` for any identifier
// outside the table. Constant time (a switch the compiler turns into a jump
// table or a few compares).
TypeId afpTypeOf(std::uint32_t code) noexcept;
// Record type of a triplet identifier; `T_Unknown` outside the table.
TypeId tripletTypeOf(std::uint8_t code) noexcept;
// Record type of a control-sequence function type (even and odd code of a
// pair map to the same type); `PTX_Unknown` outside the table.
TypeId controlTypeOf(std::uint8_t code) noexcept;
// Identifier of a record type name of the structured-field table ("BPG" ->
// 0xD3A8AF); 0 when the name is not there.
std::uint32_t afpCodeOfName(std::string_view name) noexcept;
// Any record type of the tables by name ("BPG", "T_FQN", "PTX_STO", "Unknown").
TypeId tableTypeByName(std::string_view name) noexcept;

// ---- chunk families ---------------------------------------------------------
enum class Frame : std::uint8_t { Item, Text, Raw };

struct AFP_ {
    using Code = N3;
    static constexpr const char* name = "AFP_";
    std::uint32_t code = 0;
    Bytes payload;
    friend bool operator==(const AFP_&, const AFP_&) = default;
};

struct PTX_ {
    using Code = N1;
    static constexpr const char* name = "PTX_";
    std::uint8_t code = 0;
    Bytes payload;
    Frame frame = Frame::Item;
    friend bool operator==(const PTX_&, const PTX_&) = default;
};

struct T_ {
    using Code = N1;
    static constexpr const char* name = "T_";
    std::uint8_t code = 0;
    Bytes payload;
    Frame frame = Frame::Item;
    friend bool operator==(const T_&, const T_&) = default;
};

struct MCF_ {
    using Code = N0;
    static constexpr const char* name = "MCF_";
    Bytes payload;
    Frame frame = Frame::Item;
    friend bool operator==(const MCF_&, const MCF_&) = default;
};

template <class C>
concept ChunkFamily = std::same_as<C, AFP_> || std::same_as<C, PTX_> || std::same_as<C, T_> ||
                      std::same_as<C, MCF_>;

// chunkCon / chunkDecon / mkChunk: exact inverses, no normalisation.
//
// A nested chunk comes apart into its code, its payload and its frame
// (ChunkParts, a pair of code and payload that also carries the frame), and
// chunkCon rebuilds from those the same chunk: code points (Text) and bytes
// that do not frame (Raw) come back as Text and Raw chunks and are written
// as the same bytes, not framed as an item. A bare pair of code and payload
// (mkChunk) builds an Item.
template <class Code>
struct ChunkParts : std::pair<Code, Bytes> {
    Frame frame = Frame::Item;
    ChunkParts() = default;
    ChunkParts(Code code, Bytes payload, Frame f) : std::pair<Code, Bytes>(code, std::move(payload)), frame(f) {}
    friend bool operator==(const ChunkParts&, const ChunkParts&) = default;
};
template <ChunkFamily C>
C chunkCon(const std::pair<typename C::Code, Bytes>& p) {
    if constexpr (std::same_as<C, MCF_>) return C{p.second};
    else return C{p.first.value, p.second};
}
template <ChunkFamily C>
    requires(!std::same_as<C, AFP_>)
C chunkCon(const ChunkParts<typename C::Code>& p) {
    if constexpr (std::same_as<C, MCF_>) return C{p.second, p.frame};
    else return C{p.first.value, p.second, p.frame};
}
inline std::pair<N3, Bytes> chunkDecon(const AFP_& c) { return {N3(c.code), c.payload}; }
inline ChunkParts<N1> chunkDecon(const PTX_& c) { return {N1(c.code), c.payload, c.frame}; }
inline ChunkParts<N1> chunkDecon(const T_& c) { return {N1(c.code), c.payload, c.frame}; }
inline ChunkParts<N0> chunkDecon(const MCF_& c) { return {N0{}, c.payload, c.frame}; }
template <ChunkFamily C>
C mkChunk(typename C::Code code, Bytes payload) {
    return chunkCon<C>(std::pair<typename C::Code, Bytes>{code, std::move(payload)});
}

inline ChunkType chunkType(const AFP_& c) noexcept { return {afpTypeOf(c.code)}; }
ChunkType chunkType(const PTX_& c) noexcept;
ChunkType chunkType(const T_& c) noexcept;
inline ChunkType chunkType(const MCF_&) noexcept { return {&tableType(idx_MCF_T)}; }

// What a structured field carries beside the fields of its record: the
// introducer extension (flag X'80') and the padding (flag X'08'), each with
// its own length byte(s). Kept beside a decoded record and put back when it
// is encoded, so that decoding and encoding a field gives its bytes back.
struct FieldFraming {
    Bytes extension;  // the extension's length byte and data; empty: none
    Bytes padding;    // the padding, its length byte(s) included; empty: none
    // The flag byte announces an extension or padding whose length does not
    // fit the field: the record reads the payload as it stands (flags
    // included) and is written back as it stands.
    bool asIs = false;
    bool empty() const noexcept { return extension.empty() && padding.empty() && !asIs; }
    friend bool operator==(const FieldFraming&, const FieldFraming&) = default;
};

// Bytes a record reader consumes. For a structured field whose flag byte
// announces an introducer extension (X'80') or padding (X'08'), these are the
// identifier, the flag byte with those two bits cleared, the reserved bytes
// and the data alone, so that records read their fields at the architected
// offsets; every other payload is handed on as it is. The second form also
// gives what was left out.
Bytes packChunk(const AFP_& c);
Bytes packChunk(const AFP_& c, FieldFraming& framing);
// Whether a structured field's flag byte announces an introducer extension
// (X'80') or padding (X'08'): its record bytes are then not its payload.
inline bool hasExtensionOrPadding(const Bytes& payload) noexcept {
    return payload.size() >= 6 && (payload[3] & 0x88) != 0;
}
// The extension and padding of a structured field (empty for almost every
// field: only the flag byte is looked at then).
FieldFraming framingOf(const AFP_& c);
// The structured field `code` whose record bytes (as packChunk gives them)
// are `packed`, with the extension and padding of `framing` put back and
// their flags set: frameChunk(c.code, packChunk(c, f), f) == c for every
// field. A flag X'80' or X'08' set in `packed` with nothing in `framing` to
// put there gets the smallest well-formed one (an extension of its length
// byte alone, one byte of padding), so that the field reads back. Throws
// Error when the framing's own length bytes disagree with its size.
AFP_ frameChunk(std::uint32_t code, Bytes packed, const FieldFraming& framing);
namespace detail {
// Throws the FormatError `e`, raised while reading the record bytes
// packChunk(c, framing) gave, again as a fault of the structured field c at
// stream offset `fieldOffset`, at the byte of the field where reading failed.
[[noreturn]] void throwInField(const FormatError& e, const FieldFraming& framing, std::uint64_t fieldOffset);
}  // namespace detail
inline const Bytes& packChunk(const PTX_& c) noexcept { return c.payload; }
inline const Bytes& packChunk(const T_& c) noexcept { return c.payload; }
inline const Bytes& packChunk(const MCF_& c) noexcept { return c.payload; }

// Text forms: the family name, then the code and the payload at argument
// precedence; parenthesised as an argument. "AFP_ 13871791 \"D3A8AF...\"".
void showsPrec(std::string& out, int prec, const AFP_& c);
void showsPrec(std::string& out, int prec, const PTX_& c);
void showsPrec(std::string& out, int prec, const T_& c);
void showsPrec(std::string& out, int prec, const MCF_& c);

// ---- framing of single chunks ----------------------------------------------
// The largest payload a structured field can frame: its length counts the
// two length bytes and must fit in 16 bits.
constexpr std::size_t maxAfpPayload = 65535 - 2;

// X'5A', the 2-byte length, the payload. Throws Error if the payload is too long.
void writeChunk(Builder& b, const AFP_& c);
// Length byte, then the payload (Item); the payload alone (Raw). Throws Error
// for an item payload above 254 bytes.
void writeChunk(Builder& b, const T_& c);
// 2-byte length, then the group (Item); the payload alone (Raw).
void writeChunk(Builder& b, const MCF_& c);
// Bytes a chunk occupies when written, framing included.
std::size_t chunkSize(const AFP_& c) noexcept;
std::size_t chunkSize(const T_& c) noexcept;
std::size_t chunkSize(const MCF_& c) noexcept;

} // namespace pressel

// ChunkParts takes part in structured bindings as its pair of code and
// payload: `auto [code, payload] = chunkDecon(c);`.
template <class Code>
struct std::tuple_size<pressel::ChunkParts<Code>> : std::integral_constant<std::size_t, 2> {};
template <std::size_t I, class Code>
struct std::tuple_element<I, pressel::ChunkParts<Code>> : std::tuple_element<I, std::pair<Code, pressel::Bytes>> {};
