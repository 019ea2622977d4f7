// The record machinery.
//
// A record type is a plain aggregate whose fields stand in format order, and
// one declaration that lists them:
//
//     struct PGD { N3 pgd_Type; N3 pgd_; N1 pgd_XBase; ... Buffer0 pgd_Data; };
//     PRESSEL_RECORD(AFP_, PGD, pgd_Type, pgd_, pgd_XBase, ..., pgd_Data)
//
// Everything else is derived from that list by the generic code below:
// reading (recGet), writing (recPut), size (recSizeOf), type code (recType),
// text form (showsPrec/show), chunk encoding and decoding, and, in view.hpp,
// the view. A declaration that leaves out a member, lists one twice or out of
// declaration order, lists a field of a type the machinery cannot read, or
// puts a variable-length field anywhere but last, does not compile.
//
// Field kinds: the fixed-width types of binary.hpp, optional (Opt<F>) or not;
// Buffer2; a trailing Buffer0; a trailing sequence of Record<G> (a repeating
// group); a trailing nested chunk sequence Chunks<PTX_>, Chunks<T_> or
// Chunks<MCF_>. Each kind is one specialisation of FieldCodec (reading,
// writing, size, text form) and one of FieldView (view.hpp); a new kind is
// those two. Facts of a record beyond its layout (its lead-chain flag, the
// name it carries, what its repeating groups hold) are RecordFacts beside its
// declaration.
//
// Operations a type does not have fail with fixed messages: "recType not
// defined: ", "recView not defined: ", "recPut not defined: ", each followed
// by the value's text form.
#pragma once

#include <cctype>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "pressel/core/buffer.hpp"
#include "pressel/stream/chunk.hpp"
#include "pressel/core/codec.hpp"
#include "pressel/stream/nested.hpp"

namespace pressel {

// ---- field descriptors -------------------------------------------------------
// How a field is shown in a view when its type alone does not say it: a
// Buffer0 holding a name or text (shown converted from EBCDIC) rather than
// raw bytes.
enum class ViewOpt : std::uint8_t { Default, Name };

template <auto Member>
inline constexpr ViewOpt viewOptOf = ViewOpt::Default;
// Marks a Buffer0 field as a name or text: PRESSEL_NAME_FIELD(T_FQN, t_fqn).
#define PRESSEL_NAME_FIELD(T, f) \
    template <>                  \
    inline constexpr ::pressel::ViewOpt viewOptOf<&T::f> = ::pressel::ViewOpt::Name;

template <class C, class V>
V memberTypeOf(V C::*);

template <auto Member>
struct FieldDesc {
    using type = decltype(memberTypeOf(Member));
    static constexpr auto member = Member;
    const char* name;
};

// A record's field list: the descriptor types D... in format order and their
// names. It is a tuple-like type (std::tuple_size, std::tuple_element give the
// descriptors) but, unlike std::tuple, costs the compiler next to nothing per
// record, and every file that includes the records makes one per record.
template <class... D>
struct FieldList {
    static constexpr std::size_t size = sizeof...(D);
    const char* names[sizeof...(D)];
};
template <class... D>
constexpr FieldList<D...> makeFieldList(D... d) {
    return FieldList<D...>{{d.name...}};
}

// Primary template: a type without a declaration is not a record.
template <class T>
struct RecordDecl;

// Hand-written reading, writing or sizing for the few records whose
// behaviour really differs from the generic field walk (static get(r),
// put(b, v), size(v)).
template <class T>
struct RecordHooks {};

template <class T>
concept DeclaredRecord = requires { RecordDecl<T>::name; RecordDecl<T>::fields(); };

// The FieldDesc of a record's last field (where its trailing list or bytes
// are): LastFieldOf<T>::type is the field's type, ::member the member.
template <DeclaredRecord T>
using LastFieldOf = std::tuple_element_t<std::tuple_size_v<decltype(RecordDecl<T>::fields())> - 1,
                                         decltype(RecordDecl<T>::fields())>;
}  // namespace pressel

template <class... D>
struct std::tuple_size<pressel::FieldList<D...>> : std::integral_constant<std::size_t, sizeof...(D)> {};
// (std::tuple<D...> is only named here, never instantiated.)
template <std::size_t I, class... D>
struct std::tuple_element<I, pressel::FieldList<D...>> : std::tuple_element<I, std::tuple<D...>> {};

namespace pressel {

// Where field I of record T starts in the record's bytes (after the chunk's
// framing), when every field before it has a fixed width: the sum of their
// widths as the declaration lays them out. Code that reads one field of a
// record without decoding it takes the offset from here, never a literal.
template <DeclaredRecord T, std::size_t I>
constexpr std::size_t fieldByteOffset() {
    using Tup = decltype(RecordDecl<T>::fields());
    static_assert(I < std::tuple_size_v<Tup>, "the record has no such field");
    return []<std::size_t... J>(std::index_sequence<J...>) {
        return (std::size_t(0) + ... + std::size_t(std::tuple_element_t<J, Tup>::type::width));
    }(std::make_index_sequence<I>{});
}

template <class T>
struct Record;

template <class T>
struct IsRecordVector : std::false_type {};
template <class G>
struct IsRecordVector<std::vector<Record<G>>> : std::true_type {
    using group = G;
};
template <class T>
struct IsChunks : std::false_type {};
template <ChunkFamily C>
struct IsChunks<Chunks<C>> : std::true_type {};

template <class V>
concept FixedWidthFieldType = WidthField<V> || std::same_as<V, N0>;

// A fixed-width field that a structured field may leave out: it is present
// when bytes remain where it stands, absent when the item ends before it (a
// Begin record carrying only its name, say). Writing puts it back only when
// present, so both forms survive a read and a write. Only optional or
// trailing fields may follow an optional one.
template <FixedWidthFieldType F>
struct Opt {
    std::optional<F> value;
    Opt() = default;
    Opt(F v) : value(v) {}
    bool present() const noexcept { return value.has_value(); }
    friend bool operator==(const Opt&, const Opt&) = default;
};
template <class T>
struct IsOpt : std::false_type {};
template <class F>
struct IsOpt<Opt<F>> : std::true_type {
    using field = F;
};
// Absent renders as "absent"; present as the value.
template <class F>
void showsPrec(std::string& out, int prec, const Opt<F>& o) {
    if (o.value) showsPrec(out, prec, *o.value);
    else out += "absent";
}

// ---- field kinds ---------------------------------------------------------------
// What the field walk knows about the field at hand beyond its value: whether
// the record's nested control sequences are lead-chained (RecordFacts), and,
// for an optional field, the value it holds whenever it is present (none: it
// is present whenever bytes remain where it stands).
struct FieldContext {
    bool leadChained = false;
    std::optional<std::uint64_t> presentWhen;
};

// How the record machinery reads, writes, sizes and shows a field of type V,
// one specialisation per kind of field:
//   read(r, x, ctx), write(b, x, ctx), size(x, ctx), show(out, x)
//   trailing  the field takes the rest of the record, so it must stand last
// A type without a specialisation cannot be a record field (the view of a
// kind is FieldView, in view.hpp).
template <class V>
struct FieldCodec;

// The fixed-width numbers and byte strings of binary.hpp.
template <FixedWidthFieldType V>
struct FieldCodec<V> {
    static constexpr bool trailing = false;
    static void read(ByteReader& r, V& x, const FieldContext&) { x = readField<V>(r); }
    static void write(Builder& b, const V& x, const FieldContext&) { writeField(b, x); }
    static std::size_t size(const V& x, const FieldContext&) { return fieldSize(x); }
    static void show(std::string& out, const V& x) { showsPrec(out, 0, x); }
};

// An optional fixed-width field: read when bytes remain (and, with a
// presentWhen value, only when they hold it), written only when present.
template <class F>
struct FieldCodec<Opt<F>> {
    static constexpr bool trailing = false;
    static void read(ByteReader& r, Opt<F>& x, const FieldContext& c) {
        if (r.atEnd()) return;
        if (c.presentWhen) {
            if (r.remaining() < std::size_t(F::width)) return;
            std::uint64_t v = 0;
            for (std::size_t i = 0; i < std::size_t(F::width); ++i) v = v << 8 | r.peek(i);
            if (v != *c.presentWhen) return;
        }
        x.value = readField<F>(r);
    }
    static void write(Builder& b, const Opt<F>& x, const FieldContext&) {
        if (x.value) writeField(b, *x.value);
    }
    static std::size_t size(const Opt<F>& x, const FieldContext&) { return x.value ? std::size_t(F::width) : 0; }
    static void show(std::string& out, const Opt<F>& x) { showsPrec(out, 0, x); }
};

// The rest of the record as bytes.
template <>
struct FieldCodec<Buffer0> {
    static constexpr bool trailing = true;
    static void read(ByteReader& r, Buffer0& x, const FieldContext&) { x = readBuffer0(r); }
    static void write(Builder& b, const Buffer0& x, const FieldContext&) { writeField(b, x); }
    static std::size_t size(const Buffer0& x, const FieldContext&) { return fieldSize(x); }
    static void show(std::string& out, const Buffer0& x) { showsPrec(out, 0, x); }
};

// Bytes opened by their own 2-byte length.
template <>
struct FieldCodec<Buffer2> {
    static constexpr bool trailing = false;
    static void read(ByteReader& r, Buffer2& x, const FieldContext&) { x = readBuffer2(r); }
    static void write(Builder& b, const Buffer2& x, const FieldContext&) { writeField(b, x); }
    static std::size_t size(const Buffer2& x, const FieldContext&) { return fieldSize(x); }
    static void show(std::string& out, const Buffer2& x) { showsPrec(out, 0, x); }
};

// A nested chunk sequence over the rest of the record; control sequences
// follow the record's lead-chain flag.
template <ChunkFamily C>
struct FieldCodec<Chunks<C>> {
    static constexpr bool trailing = true;
    static void read(ByteReader& r, Chunks<C>& x, const FieldContext& c) {
        x = Chunks<C>::fromPayload(r.takeRest(), c.leadChained);
    }
    static void write(Builder& b, const Chunks<C>& x, const FieldContext& c) {
        if constexpr (std::same_as<C, PTX_>) x.write(b, c.leadChained);
        else x.write(b);
    }
    static std::size_t size(const Chunks<C>& x, const FieldContext& c) {
        if constexpr (std::same_as<C, PTX_>) return x.writtenSize(c.leadChained);
        else return x.writtenSize();
    }
    static void show(std::string& out, const Chunks<C>& x) { showsPrec(out, 0, x); }
};

template <class T>
T recGet(ByteReader& r);

// Repeating groups one after another until the input is exhausted. A
// trailing fragment too short for a whole group is left unread, like any
// tail a record does not cover (the record then covers less than its
// payload, which validation reports).
template <class G>
struct FieldCodec<std::vector<Record<G>>> {
    using V = std::vector<Record<G>>;
    static constexpr bool trailing = true;
    static void read(ByteReader& r, V& x, const FieldContext&) {
        while (!r.atEnd()) {
            std::size_t at = r.position();
            try {
                x.push_back(Record<G>{recGet<G>(r)});
            } catch (const EndOfInput&) {
                r.rewindTo(at);
                break;
            }
        }
    }
    static void write(Builder& b, const V& x, const FieldContext&) {
        for (const auto& g : x) recPut(b, g.recordContent);
    }
    static std::size_t size(const V& x, const FieldContext&) {
        std::size_t n = 0;
        for (const auto& g : x) n += recSizeOf(g.recordContent);
        return n;
    }
    static void show(std::string& out, const V& x) { showsPrec(out, 0, x); }
};

template <class V>
concept RecordFieldType = requires { FieldCodec<V>::trailing; };
template <class V>
concept TrailingFieldType = RecordFieldType<V> && FieldCodec<V>::trailing;

// The value an optional member holds whenever it is present, for a member
// that may not be told from what follows it by position alone (an escape
// sequence before control sequences, say): PRESSEL_PRESENT_WHEN(PTX,
// ptx_EscapeSequence, 0x2BD3).
template <auto Member>
inline constexpr std::optional<std::uint64_t> presentWhenOf = std::nullopt;
#define PRESSEL_PRESENT_WHEN(T, f, value) \
    template <>                            \
    inline constexpr std::optional<std::uint64_t> presentWhenOf<&T::f> = std::uint64_t(value);

// ---- record facts ------------------------------------------------------------------
// What the format says about a record beyond its field layout, kept beside its
// declaration as a specialisation of RecordFacts<T> (each member optional):
//   leadChain           bool (T::*)() const: true when the record's control
//                       sequences open without an escape of their own
//   groupsHoldTriplets  false when the repeating groups of the record's
//                       Chunks<MCF_> field hold parameters before their
//                       triplets (by default every group is a triplet list)
//   hiddenGroups        pointer to the Buffer0 member that holds repeating
//                       groups of triplets with a 2-byte length, kept as bytes
//   nameAt              the data offset (after the identifier, flag and
//                       reserved bytes) of the 8-byte name of the resource or
//                       component the field begins, ends, includes or invokes
template <class T>
struct RecordFacts {};

// Whether every repeating group of record T is a list of triplets.
template <class T>
constexpr bool groupsHoldTriplets() {
    if constexpr (requires { RecordFacts<T>::groupsHoldTriplets; }) return RecordFacts<T>::groupsHoldTriplets;
    else return true;
}
// Whether record T keeps repeating groups in a Buffer0 member.
template <class T>
concept HasHiddenGroups = requires { RecordFacts<T>::hiddenGroups; };
// The 8-byte name of what the record begins, ends, includes or invokes, at a
// data offset: PRESSEL_NAME_AT(BPG, 0). (A record with other facts states
// nameAt among them instead.)
template <class T>
concept HasNameAt = requires { RecordFacts<T>::nameAt; };
#define PRESSEL_NAME_AT(T, offset)                             \
    template <>                                                \
    struct RecordFacts<T> {                                    \
        static constexpr std::size_t nameAt = offset;          \
    };

// Whether the aggregate T has exactly N members: it takes N initialisers and
// not N + 1 (two tries, where counting up from none would take N + 2).
namespace detail {
struct AnyInit {
    template <class U>
    operator U() const;
};
template <class T, std::size_t... I>
constexpr bool initialisableWith(std::index_sequence<I...>) {
    return requires { T{(void(I), AnyInit{})...}; };
}
template <class T, std::size_t N>
constexpr bool hasMembers() {
    return initialisableWith<T>(std::make_index_sequence<N>{}) &&
           !initialisableWith<T>(std::make_index_sequence<N + 1>{});
}

template <std::size_t N>
constexpr bool strictlyIncreasing(const std::size_t (&offsets)[N]) {
    for (std::size_t i = 1; i < N; ++i)
        if (offsets[i] <= offsets[i - 1]) return false;
    return true;
}

template <class Tuple, std::size_t I>
constexpr bool followsOptionalWell() {
    if constexpr (I == 0) return true;
    else {
        using Prev = typename std::tuple_element_t<I - 1, Tuple>::type;
        using Cur = typename std::tuple_element_t<I, Tuple>::type;
        return !IsOpt<Prev>::value || IsOpt<Cur>::value || TrailingFieldType<Cur>;
    }
}
template <class Tuple, std::size_t... I>
constexpr bool fieldsWellFormed(std::index_sequence<I...>) {
    constexpr std::size_t n = sizeof...(I);
    return ((RecordFieldType<typename std::tuple_element_t<I, Tuple>::type> &&
             (I + 1 == n || !TrailingFieldType<typename std::tuple_element_t<I, Tuple>::type>) &&
             followsOptionalWell<Tuple, I>()) &&
            ...);
}
}  // namespace detail

namespace detail {
template <class R, class F, class... D, std::size_t... I>
constexpr void forEachFieldOf(R& v, F& f, const FieldList<D...>& list, std::index_sequence<I...>) {
    (f(D{list.names[I]}, v.*(D::member)), ...);
}
}  // namespace detail
// Calls f(descriptor, member value) for each field in order.
template <DeclaredRecord T, class F>
constexpr void forEachField(const T& v, F&& f) {
    constexpr auto list = RecordDecl<T>::fields();
    detail::forEachFieldOf(v, f, list, std::make_index_sequence<list.size>{});
}
template <DeclaredRecord T, class F>
constexpr void forEachField(T& v, F&& f) {
    constexpr auto list = RecordDecl<T>::fields();
    detail::forEachFieldOf(v, f, list, std::make_index_sequence<list.size>{});
}

// ---- runtime type identity --------------------------------------------------
// Record types of the code tables use the table's descriptor; others (the
// repeating-group records) have one of their own.
template <class T>
TypeId typeIdOf() noexcept {
    if constexpr (requires { RecordDecl<T>::tableIndex; }) {
        return &tableType(RecordDecl<T>::tableIndex);
    } else {
        static const TypeInfo info{RecordDecl<T>::name, Family::Other, 0xFFFF};
        return &info;
    }
}

// ---- the failing defaults ---------------------------------------------------
[[noreturn]] void failNotDefined(const char* operation, const std::string& valueText);

// ---- the operations of a record type -----------------------------------------
// Reading, writing, size and text form of a declared record, walked over its
// field list. The members are defined out of line, so the catalogue can
// instantiate them once for every record type of the code tables and other
// files use those instances (records.hpp declares them) rather than
// instantiate their own.
template <class T>
struct RecordCodec {
    static T get(ByteReader& r);
    static void put(Builder& b, const T& v);
    static std::size_t size(const T& v);
    static void show(std::string& out, int prec, const T& v);
};

namespace detail {
// The lead-chain flag of a record (false for records that hold no control
// sequences).
template <class T>
bool leadChainedOf(const T& v) {
    if constexpr (requires { RecordFacts<T>::leadChain; }) return (v.*RecordFacts<T>::leadChain)();
    else return false;
}
template <class T, class Desc>
FieldContext fieldContext(const T& v, Desc) {
    return FieldContext{leadChainedOf(v), presentWhenOf<Desc::member>};
}
}  // namespace detail

template <class T>
T RecordCodec<T>::get(ByteReader& r) {
    if constexpr (requires { RecordHooks<T>::get(r); }) {
        return RecordHooks<T>::get(r);
    } else {
        T v{};
        forEachField(v, [&](auto fd, auto& x) {
            r.setContext(RecordDecl<T>::name, fd.name);
            FieldCodec<std::remove_cvref_t<decltype(x)>>::read(r, x, detail::fieldContext(v, fd));
        });
        r.setContext(nullptr, nullptr);
        return v;
    }
}

template <class T>
void RecordCodec<T>::put(Builder& b, const T& v) {
    if constexpr (requires { RecordHooks<T>::put(b, v); }) RecordHooks<T>::put(b, v);
    else
        forEachField(v, [&](auto fd, const auto& x) {
            FieldCodec<std::remove_cvref_t<decltype(x)>>::write(b, x, detail::fieldContext(v, fd));
        });
}

template <class T>
std::size_t RecordCodec<T>::size(const T& v) {
    if constexpr (requires { RecordHooks<T>::size(v); }) {
        return RecordHooks<T>::size(v);
    } else {
        std::size_t n = 0;
        forEachField(v, [&](auto fd, const auto& x) {
            n += FieldCodec<std::remove_cvref_t<decltype(x)>>::size(x, detail::fieldContext(v, fd));
        });
        return n;
    }
}

// "NAME {f1 = v1, f2 = v2}", parenthesised at precedence 11 and above.
template <class T>
void RecordCodec<T>::show(std::string& out, int prec, const T& v) {
    if (prec >= 11) out += '(';
    out += RecordDecl<T>::name;
    out += " {";
    bool first = true;
    forEachField(v, [&](auto fd, const auto& x) {
        if (!first) out += ", ";
        first = false;
        out += fd.name;
        out += " = ";
        FieldCodec<std::remove_cvref_t<decltype(x)>>::show(out, x);
    });
    out += '}';
    if (prec >= 11) out += ')';
}

// ---- text form --------------------------------------------------------------
template <DeclaredRecord T>
void showsPrec(std::string& out, int prec, const T& v) {
    RecordCodec<T>::show(out, prec, v);
}

// ---- reading ----------------------------------------------------------------
template <class T>
T recGet(ByteReader& r) {
    static_assert(DeclaredRecord<T>, "recGet: not a record type");
    return RecordCodec<T>::get(r);
}

// ---- writing and sizes ------------------------------------------------------
template <DeclaredRecord T>
void recPut(Builder& b, const T& v) {
    RecordCodec<T>::put(b, v);
}

template <DeclaredRecord T>
std::size_t recSizeOf(const T& v) {
    return RecordCodec<T>::size(v);
}

// The record's bytes as one slice.
template <DeclaredRecord T>
Bytes recBytes(const T& v) {
    Builder b;
    recPut(b, v);
    return std::move(b).toBytes();
}

// The type code: the first field widened to an integer, for records whose
// first field is a number; the failing default for the others.
template <DeclaredRecord T>
long long recType(const T& v) {
    using First = typename std::tuple_element_t<0, decltype(RecordDecl<T>::fields())>::type;
    if constexpr (NumField<First> && !requires { RecordDecl<T>::noTypeCode; }) {
        constexpr auto m = std::tuple_element_t<0, decltype(RecordDecl<T>::fields())>::member;
        return static_cast<long long>((v.*m).value);
    } else {
        failNotDefined("recType not defined: ", show(v));
    }
}

// ---- sequences of records ---------------------------------------------------
template <class T>
void recPut(Builder& b, const std::vector<T>& xs) {
    for (const T& x : xs) recPut(b, x);
}
template <class T>
std::size_t recSizeOf(const std::vector<T>& xs) {
    std::size_t n = 0;
    for (const T& x : xs) n += recSizeOf(x);
    return n;
}
template <class T>
[[noreturn]] long long recType(const std::vector<T>& xs) {
    failNotDefined("recType not defined: ", show(xs));
}
// Elements until the input is exhausted.
template <class T>
std::vector<T> recGetList(ByteReader& r) {
    std::vector<T> v;
    while (!r.atEnd()) v.push_back(recGet<T>(r));
    return v;
}

// ---- chunk types as records ---------------------------------------------------
inline void recPut(Builder& b, const T_& c) { writeChunk(b, c); }
inline void recPut(Builder& b, const MCF_& c) { writeChunk(b, c); }
inline std::size_t recSizeOf(const T_& c) { return chunkSize(c); }
inline std::size_t recSizeOf(const MCF_& c) { return chunkSize(c); }
[[noreturn]] long long recType(const T_& c);
[[noreturn]] long long recType(const MCF_& c);

// A single character has a text form but no type code.
std::string showChar(char c);
[[noreturn]] long long recType(char c);

// ---- the Record wrapper -------------------------------------------------------
// A structured-field record also keeps the extension and padding of the
// field it was read from (decodeRecord), which encodeChunk puts back; a
// record built in code has none.
template <class T>
struct Record {
    T recordContent;
    FieldFraming recordFraming{};
    friend bool operator==(const Record& a, const Record& b) {
        return a.recordContent == b.recordContent && a.recordFraming == b.recordFraming;
    }
};

// "Record {recordContent = ...}", parenthesised at precedence 11 and above.
template <class T>
void showsPrec(std::string& out, int prec, const Record<T>& r) {
    if (prec >= 11) out += '(';
    out += "Record {recordContent = ";
    showsPrec(out, 0, r.recordContent);
    if (!r.recordFraming.empty()) {
        out += ", recordFraming = ";
        if (r.recordFraming.asIs) {
            out += "as read";
        } else {
            showBytes(out, r.recordFraming.extension);
            out += ' ';
            showBytes(out, r.recordFraming.padding);
        }
    }
    out += '}';
    if (prec >= 11) out += ')';
}
template <class T>
void recPut(Builder& b, const Record<T>& r) { recPut(b, r.recordContent); }
template <class T>
std::size_t recSizeOf(const Record<T>& r) { return recSizeOf(r.recordContent); }
template <class T>
long long recType(const Record<T>& r) { return recType(r.recordContent); }
template <class T>
TypeId typeIdOf(const Record<T>&) noexcept { return typeIdOf<T>(); }

// The chunk family a record type belongs to.
template <class T>
struct FamilyOf;

// ---- chunk encoding and decoding --------------------------------------------
// The chunk whose code is the record's type code and whose payload is the
// record's bytes; a structured field gets the record's extension and padding
// back (frameChunk).
template <class T>
auto encodeChunk(const Record<T>& r) {
    using C = typename FamilyOf<T>::type;
    const T& v = r.recordContent;
    if constexpr (std::same_as<C, MCF_>) return MCF_{recBytes(v), Frame::Item};
    else if constexpr (std::same_as<C, AFP_>)
        return frameChunk(std::uint32_t(recType(v)) & 0xFFFFFF, recBytes(v), r.recordFraming);
    else if constexpr (FamilyOf<T>::verbatim) return C{0, recBytes(v), FamilyOf<T>::frame};
    else return C{static_cast<std::uint8_t>(recType(v)), recBytes(v), Frame::Item};
}

// Reads the record T from the chunk's bytes. Bytes left over are ignored; a
// payload too short fails with EndOfInput (a FormatError) naming the record
// and field, its offset counted within the record's bytes.
template <class T, ChunkFamily C>
T decodeChunk(const C& c) {
    ByteReader r(packChunk(c));
    return recGet<T>(r);
}

// The same for a structured field at stream offset `fieldOffset` (where the
// reader says it starts): a payload that does not read as T fails with a
// FormatError whose offset() is `fieldOffset` and whose byteInField() is the
// byte of the field where reading failed.
template <class T>
T decodeChunk(const AFP_& c, std::uint64_t fieldOffset) {
    FieldFraming framing;
    ByteReader r(packChunk(c, framing));
    try {
        return recGet<T>(r);
    } catch (const FormatError& e) {
        detail::throwInField(e, framing, fieldOffset);
    }
}

// The record with, for a structured field, its extension and padding kept
// beside it: encodeChunk(decodeRecord<T>(c)) gives c's bytes back whenever T
// reads the whole field.
template <class T, ChunkFamily C>
Record<T> decodeRecord(const C& c) {
    if constexpr (std::same_as<C, AFP_>) {
        Record<T> rec;
        ByteReader r(packChunk(c, rec.recordFraming));
        rec.recordContent = recGet<T>(r);
        return rec;
    } else {
        return Record<T>{decodeChunk<T>(c)};
    }
}

// The same for a structured field at stream offset `fieldOffset`, failing as
// decodeChunk(c, fieldOffset) does.
template <class T>
Record<T> decodeRecord(const AFP_& c, std::uint64_t fieldOffset) {
    Record<T> rec;
    ByteReader r(packChunk(c, rec.recordFraming));
    try {
        rec.recordContent = recGet<T>(r);
    } catch (const FormatError& e) {
        detail::throwInField(e, rec.recordFraming, fieldOffset);
    }
    return rec;
}

// ---- on-demand records ----------------------------------------------------------
// A record that is decoded from its chunk when it is first looked at; a
// handler that never looks causes no decoding, so a malformed payload that
// nobody examines causes no failure.
//
// Not thread-safe: the first get() stores the record in the object, so one
// Lazy must not be looked at from two threads at once. Decode it first, or
// give each thread its own copy (a copy made once it is decoded shares the
// decoded record, which is then only read).
template <class T>
class Lazy {
public:
    template <ChunkFamily C>
    explicit Lazy(const C& chunk) {
        if constexpr (std::same_as<C, AFP_>) bytes_ = packChunk(chunk, framing_);
        else bytes_ = packChunk(chunk);
    }
    const T& get() const {
        if (!value_) {
            ByteReader r(bytes_);
            value_ = std::make_shared<T>(recGet<T>(r));
        }
        return *value_;
    }
    const T& operator*() const { return get(); }
    const T* operator->() const { return &get(); }
    bool decoded() const noexcept { return value_ != nullptr; }
    // The extension and padding of the structured field (empty for the
    // other families).
    const FieldFraming& framing() const noexcept { return framing_; }
    // The record with its extension and padding, as decodeRecord gives it.
    Record<T> record() const { return Record<T>{get(), framing_}; }

private:
    Bytes bytes_;
    FieldFraming framing_;
    mutable std::shared_ptr<T> value_;
};

// ---- declaring records ------------------------------------------------------
#define PRESSEL_FE_1(M, T, x) M(T, x)
#define PRESSEL_FE_2(M, T, x, ...) M(T, x), PRESSEL_FE_1(M, T, __VA_ARGS__)
#define PRESSEL_FE_3(M, T, x, ...) M(T, x), PRESSEL_FE_2(M, T, __VA_ARGS__)
#define PRESSEL_FE_4(M, T, x, ...) M(T, x), PRESSEL_FE_3(M, T, __VA_ARGS__)
#define PRESSEL_FE_5(M, T, x, ...) M(T, x), PRESSEL_FE_4(M, T, __VA_ARGS__)
#define PRESSEL_FE_6(M, T, x, ...) M(T, x), PRESSEL_FE_5(M, T, __VA_ARGS__)
#define PRESSEL_FE_7(M, T, x, ...) M(T, x), PRESSEL_FE_6(M, T, __VA_ARGS__)
#define PRESSEL_FE_8(M, T, x, ...) M(T, x), PRESSEL_FE_7(M, T, __VA_ARGS__)
#define PRESSEL_FE_9(M, T, x, ...) M(T, x), PRESSEL_FE_8(M, T, __VA_ARGS__)
#define PRESSEL_FE_10(M, T, x, ...) M(T, x), PRESSEL_FE_9(M, T, __VA_ARGS__)
#define PRESSEL_FE_11(M, T, x, ...) M(T, x), PRESSEL_FE_10(M, T, __VA_ARGS__)
#define PRESSEL_FE_12(M, T, x, ...) M(T, x), PRESSEL_FE_11(M, T, __VA_ARGS__)
#define PRESSEL_FE_13(M, T, x, ...) M(T, x), PRESSEL_FE_12(M, T, __VA_ARGS__)
#define PRESSEL_FE_14(M, T, x, ...) M(T, x), PRESSEL_FE_13(M, T, __VA_ARGS__)
#define PRESSEL_FE_15(M, T, x, ...) M(T, x), PRESSEL_FE_14(M, T, __VA_ARGS__)
#define PRESSEL_FE_16(M, T, x, ...) M(T, x), PRESSEL_FE_15(M, T, __VA_ARGS__)
#define PRESSEL_FE_17(M, T, x, ...) M(T, x), PRESSEL_FE_16(M, T, __VA_ARGS__)
#define PRESSEL_FE_18(M, T, x, ...) M(T, x), PRESSEL_FE_17(M, T, __VA_ARGS__)
#define PRESSEL_FE_19(M, T, x, ...) M(T, x), PRESSEL_FE_18(M, T, __VA_ARGS__)
#define PRESSEL_FE_20(M, T, x, ...) M(T, x), PRESSEL_FE_19(M, T, __VA_ARGS__)
#define PRESSEL_FE_21(M, T, x, ...) M(T, x), PRESSEL_FE_20(M, T, __VA_ARGS__)
#define PRESSEL_FE_22(M, T, x, ...) M(T, x), PRESSEL_FE_21(M, T, __VA_ARGS__)
#define PRESSEL_FE_23(M, T, x, ...) M(T, x), PRESSEL_FE_22(M, T, __VA_ARGS__)
#define PRESSEL_FE_24(M, T, x, ...) M(T, x), PRESSEL_FE_23(M, T, __VA_ARGS__)
#define PRESSEL_FE_25(M, T, x, ...) M(T, x), PRESSEL_FE_24(M, T, __VA_ARGS__)
#define PRESSEL_FE_26(M, T, x, ...) M(T, x), PRESSEL_FE_25(M, T, __VA_ARGS__)
#define PRESSEL_FE_27(M, T, x, ...) M(T, x), PRESSEL_FE_26(M, T, __VA_ARGS__)
#define PRESSEL_FE_28(M, T, x, ...) M(T, x), PRESSEL_FE_27(M, T, __VA_ARGS__)
#define PRESSEL_FE_29(M, T, x, ...) M(T, x), PRESSEL_FE_28(M, T, __VA_ARGS__)
#define PRESSEL_FE_30(M, T, x, ...) M(T, x), PRESSEL_FE_29(M, T, __VA_ARGS__)
#define PRESSEL_FE_31(M, T, x, ...) M(T, x), PRESSEL_FE_30(M, T, __VA_ARGS__)
#define PRESSEL_FE_32(M, T, x, ...) M(T, x), PRESSEL_FE_31(M, T, __VA_ARGS__)
#define PRESSEL_FE_PICK(_1, _2, _3, _4, _5, _6, _7, _8, _9, _10, _11, _12, _13, _14, _15, _16, _17, _18, _19, \
                        _20, _21, _22, _23, _24, _25, _26, _27, _28, _29, _30, _31, _32, NAME, ...)             \
    NAME
#define PRESSEL_FOR_EACH(M, T, ...)                                                                         \
    PRESSEL_FE_PICK(__VA_ARGS__, PRESSEL_FE_32, PRESSEL_FE_31, PRESSEL_FE_30, PRESSEL_FE_29, PRESSEL_FE_28, \
                    PRESSEL_FE_27, PRESSEL_FE_26, PRESSEL_FE_25, PRESSEL_FE_24, PRESSEL_FE_23, PRESSEL_FE_22, \
                    PRESSEL_FE_21, PRESSEL_FE_20, PRESSEL_FE_19, PRESSEL_FE_18, PRESSEL_FE_17, PRESSEL_FE_16, \
                    PRESSEL_FE_15, PRESSEL_FE_14, PRESSEL_FE_13, PRESSEL_FE_12, PRESSEL_FE_11, PRESSEL_FE_10, \
                    PRESSEL_FE_9, PRESSEL_FE_8, PRESSEL_FE_7, PRESSEL_FE_6, PRESSEL_FE_5, PRESSEL_FE_4,       \
                    PRESSEL_FE_3, PRESSEL_FE_2, PRESSEL_FE_1)(M, T, __VA_ARGS__)
#define PRESSEL_FIELD_DESC(T, x) ::pressel::FieldDesc<&T::x>{#x}
#define PRESSEL_FIELD_OFFSET(T, x) offsetof(T, x)

// Declares the field list of record type T (fields in format order), with
// the offset of each listed member in the struct, which the checks compare
// with the struct's own layout.
#define PRESSEL_RECORD_FIELDS(T, ...)                                                                   \
    static constexpr const char* name = #T;                                                             \
    static constexpr auto fields() { return ::pressel::makeFieldList(PRESSEL_FOR_EACH(PRESSEL_FIELD_DESC, T, __VA_ARGS__)); } \
    static constexpr std::size_t fieldOffsets[] = {PRESSEL_FOR_EACH(PRESSEL_FIELD_OFFSET, T, __VA_ARGS__)};

// The field list names every member of the struct once and in declaration
// order: as many fields as members, at strictly increasing offsets (a member
// listed twice repeats an offset, two swapped ones go back, and a dropped one
// leaves the list a field short).
#define PRESSEL_RECORD_CHECKS(T)                                                                                \
    static_assert(::pressel::detail::hasMembers<T, std::tuple_size_v<decltype(::pressel::RecordDecl<T>::fields())>>() && \
                      ::pressel::detail::strictlyIncreasing(::pressel::RecordDecl<T>::fieldOffsets),            \
                  #T ": the field list must name every member of the record, once, in order");                 \
    static_assert(::pressel::detail::fieldsWellFormed<decltype(::pressel::RecordDecl<T>::fields())>(            \
                      std::make_index_sequence<std::tuple_size_v<decltype(::pressel::RecordDecl<T>::fields())>>{}), \
                  #T ": a field has a type the record machinery cannot read, or a variable-length field is not last");

// A record of a code table: FAMILY is the chunk family (AFP_, T_, PTX_, MCF_).
#define PRESSEL_RECORD(FAMILY, T, ...)                                          \
    template <>                                                                 \
    struct RecordDecl<T> {                                                      \
        PRESSEL_RECORD_FIELDS(T, __VA_ARGS__)                                   \
        static constexpr RecordIndex tableIndex = idx_##T;                      \
    };                                                                          \
    template <>                                                                 \
    struct FamilyOf<T> {                                                        \
        using type = FAMILY;                                                    \
        static constexpr bool verbatim = false;                                 \
        static constexpr Frame frame = Frame::Item;                             \
    };                                                                          \
    PRESSEL_RECORD_CHECKS(T)

// A repeating-group record (no code, no chunk family of its own).
#define PRESSEL_GROUP_RECORD(T, ...)          \
    template <>                               \
    struct RecordDecl<T> {                    \
        PRESSEL_RECORD_FIELDS(T, __VA_ARGS__) \
        static constexpr bool noTypeCode = true; \
    };                                        \
    PRESSEL_RECORD_CHECKS(T)

// A record of a nested family whose chunks are written verbatim, without
// framing (code points between control sequences, bytes that do not frame).
#define PRESSEL_VERBATIM_RECORD(FAMILY, T, FRAME, ...)                          \
    template <>                                                                 \
    struct RecordDecl<T> {                                                      \
        PRESSEL_RECORD_FIELDS(T, __VA_ARGS__)                                   \
        static constexpr RecordIndex tableIndex = idx_##T;                      \
        static constexpr bool noTypeCode = true;                                \
    };                                                                          \
    template <>                                                                 \
    struct FamilyOf<T> {                                                        \
        using type = FAMILY;                                                    \
        static constexpr bool verbatim = true;                                  \
        static constexpr Frame frame = ::pressel::Frame::FRAME;                 \
    };                                                                          \
    PRESSEL_RECORD_CHECKS(T)

}  // namespace pressel
