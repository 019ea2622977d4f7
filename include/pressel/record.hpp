// The record machinery.
//
// A record type is a plain aggregate whose fields stand in format order, and
// one declaration that lists them:
//
//     struct PGD { N3 pgd_Type; N3 pgd_; N1 pgd_XBase; ... Buffer0 pgd_Data; };
//     PRESSEL_RECORD(PGD, pgd_Type, pgd_, pgd_XBase, ..., pgd_Data)
//
// Everything else is derived from that list by the generic code below:
// reading (recGet), writing (recPut), size (recSizeOf), type code (recType),
// text form (showsPrec/show), chunk encoding and decoding, and, in view.hpp,
// the view. A declaration that leaves out a member, or lists a field of a type
// the machinery cannot read, or puts a variable-length field anywhere but
// last, does not compile.
//
// Field kinds: the fixed-width types of binary.hpp; a trailing Buffer0; a
// trailing sequence of Record<G> (a repeating group); a trailing nested chunk
// sequence Chunks<PTX_>, Chunks<T_> or Chunks<MCF_>.
//
// Operations a type does not have fail with fixed messages: "recType not
// defined: ", "recView not defined: ", "recPut not defined: ", each followed
// by the value's text form.
#pragma once

#include <cctype>
#include <concepts>
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
template <class V>
concept TrailingFieldType =
    std::same_as<V, Buffer0> || IsRecordVector<V>::value || IsChunks<V>::value;
template <class V>
concept RecordFieldType =
    FixedWidthFieldType<V> || TrailingFieldType<V> || std::same_as<V, Buffer2> || IsOpt<V>::value;

// Number of members of an aggregate (the largest count of initialisers it accepts).
namespace detail {
struct AnyInit {
    template <class U>
    operator U() const;
};
template <class T, std::size_t... I>
constexpr bool initialisableWith(std::index_sequence<I...>) {
    return requires { T{(void(I), AnyInit{})...}; };
}
template <class T, std::size_t N = 0>
constexpr std::size_t memberCount() {
    if constexpr (N > 48) return N;
    else if constexpr (initialisableWith<T>(std::make_index_sequence<N + 1>{})) return memberCount<T, N + 1>();
    else return N;
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

// Calls f(descriptor, member value) for each field in order.
template <DeclaredRecord T, class F>
constexpr void forEachField(const T& v, F&& f) {
    std::apply([&](auto... fd) { (f(fd, v.*(decltype(fd)::member)), ...); }, RecordDecl<T>::fields());
}
template <DeclaredRecord T, class F>
constexpr void forEachField(T& v, F&& f) {
    std::apply([&](auto... fd) { (f(fd, v.*(decltype(fd)::member)), ...); }, RecordDecl<T>::fields());
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

// ---- text form --------------------------------------------------------------
// "NAME {f1 = v1, f2 = v2}", parenthesised at precedence 11 and above.
template <DeclaredRecord T>
void showsPrec(std::string& out, int prec, const T& v) {
    if (prec >= 11) out += '(';
    out += RecordDecl<T>::name;
    out += " {";
    bool first = true;
    forEachField(v, [&](auto fd, const auto& x) {
        if (!first) out += ", ";
        first = false;
        out += fd.name;
        out += " = ";
        showsPrec(out, 0, x);
    });
    out += '}';
    if (prec >= 11) out += ')';
}

// ---- reading ----------------------------------------------------------------
template <class T>
T recGet(ByteReader& r);

namespace detail {
template <class V>
void readOne(ByteReader& r, V& x) {
    if constexpr (FixedWidthFieldType<V>) x = readField<V>(r);
    else if constexpr (IsOpt<V>::value) {
        if (!r.atEnd()) x.value = readField<typename IsOpt<V>::field>(r);
    }
    else if constexpr (std::same_as<V, Buffer0>) x = readBuffer0(r);
    else if constexpr (std::same_as<V, Buffer2>) x = readBuffer2(r);
    else if constexpr (IsChunks<V>::value) x = V::fromPayload(r.takeRest());
    else if constexpr (IsRecordVector<V>::value) {
        // Groups one after another until the input is exhausted. A trailing
        // fragment too short for a whole group is left unread, like any tail
        // a record does not cover (the record then covers less than its
        // payload, which validation reports).
        using G = typename IsRecordVector<V>::group;
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
}
}  // namespace detail

template <class T>
T recGet(ByteReader& r) {
    if constexpr (DeclaredRecord<T>) {
        if constexpr (requires { RecordHooks<T>::get(r); }) {
            return RecordHooks<T>::get(r);
        } else {
            T v{};
            forEachField(v, [&](auto fd, auto& x) {
                r.setContext(RecordDecl<T>::name, fd.name);
                detail::readOne(r, x);
            });
            r.setContext(nullptr, nullptr);
            return v;
        }
    } else {
        static_assert(DeclaredRecord<T>, "recGet: not a record type");
    }
}

// ---- writing and sizes ------------------------------------------------------
namespace detail {
template <class V>
void writeOne(Builder& b, const V& x) {
    if constexpr (IsChunks<V>::value) x.write(b);
    else if constexpr (IsOpt<V>::value) {
        if (x.value) writeField(b, *x.value);
    } else if constexpr (IsRecordVector<V>::value) {
        for (const auto& g : x) recPut(b, g.recordContent);
    } else writeField(b, x);
}
template <class V>
std::size_t sizeOne(const V& x) {
    if constexpr (IsChunks<V>::value) return x.writtenSize();
    else if constexpr (IsOpt<V>::value) return x.value ? std::size_t(IsOpt<V>::field::width) : 0;
    else if constexpr (IsRecordVector<V>::value) {
        std::size_t n = 0;
        for (const auto& g : x) n += recSizeOf(g.recordContent);
        return n;
    } else return fieldSize(x);
}
}  // namespace detail

template <DeclaredRecord T>
void recPut(Builder& b, const T& v) {
    if constexpr (requires { RecordHooks<T>::put(b, v); }) RecordHooks<T>::put(b, v);
    else forEachField(v, [&](auto, const auto& x) { detail::writeOne(b, x); });
}

template <DeclaredRecord T>
std::size_t recSizeOf(const T& v) {
    if constexpr (requires { RecordHooks<T>::size(v); }) {
        return RecordHooks<T>::size(v);
    } else {
        std::size_t n = 0;
        forEachField(v, [&](auto, const auto& x) { n += detail::sizeOne(x); });
        return n;
    }
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

// Declares the field list of record type T (fields in format order).
#define PRESSEL_RECORD_FIELDS(T, ...)                                                                   \
    static constexpr const char* name = #T;                                                             \
    static constexpr auto fields() { return std::make_tuple(PRESSEL_FOR_EACH(PRESSEL_FIELD_DESC, T, __VA_ARGS__)); }

#define PRESSEL_RECORD_CHECKS(T)                                                                                \
    static_assert(::pressel::detail::memberCount<T>() ==                                                        \
                      std::tuple_size_v<decltype(::pressel::RecordDecl<T>::fields())>,                          \
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
