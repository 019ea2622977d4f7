// Views: a uniform, type-independent picture of a record for display.
//
// A ViewRecord is the record's type identity and one ViewField per field of
// the record, in declaration order: the field's label (its name) and a
// ViewContent, one of
//
//   1 ViewNumber  N1 N2 N3 N4 (unsigned value) and I2 I3 (signed value)
//   2 ViewString  an A field: its bytes, most significant first
//   3 ViewNStr    raw bytes of a buffer: at most its first 80 bytes, a
//                 slice of the record's own bytes (nothing copied)
//   4 ViewAStr    a name or text held in a Buffer0, converted from EBCDIC
//   5 ViewData    a sequence of records (repeating groups, nested control
//                 sequences, triplets): one ViewRecord per element
//
// recView(v) derives the view of any declared record from its field list:
// numbers by their type, A fields through viewString, a Buffer0 marked with
// PRESSEL_NAME_FIELD through viewAStr and any other buffer as its first 80
// bytes, a sequence of Record<G> through viewData, and a nested chunk
// sequence by decoding every chunk to the record its type names and viewing
// that. A nested chunk that does not decode is shown as its raw bytes and the
// error, under its own record type, so one bad triplet does not hide the rest.
//
// Every alternative carries a TypeId with a printable name: the record
// types' own descriptors, and descriptors of their own for the field types
// ("N2", "A8", "Buffer0") and the sequence types ("[CPI_Data]", "[T_]").
//
// The cost of a view does not depend on the size of a buffer field: raw
// bytes are a slice of at most 80 bytes and names are short.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <variant>
#include <vector>

#include "pressel/catalogue.hpp"
#include "pressel/record.hpp"

namespace pressel {

// ---- type identities of field and sequence types ------------------------------
// The identity of a field type (N1 .. N4, I2, I3, A1 .. A12, N0, Buffer0, Buffer2).
template <class V>
TypeId fieldTypeIdOf() noexcept {
    static const TypeInfo info{V::name, Family::Other, 0xFFFF};
    return &info;
}

namespace detail {
template <class T>
struct ElementName {
    static const char* get() { return RecordDecl<T>::name; }
};
template <class G>
struct ElementName<Record<G>> {
    static const char* get() { return RecordDecl<G>::name; }
};
template <ChunkFamily C>
struct ElementName<C> {
    static const char* get() { return C::name; }
};
}  // namespace detail

// The identity of the sequence type over T: "[CPI_Data]" for a sequence of
// Record<CPI_Data> (or of CPI_Data), "[T_]" for a triplet sequence.
template <class T>
TypeId sequenceTypeIdOf() noexcept {
    static const std::string name = std::string("[") + detail::ElementName<T>::get() + "]";
    static const TypeInfo info{name.c_str(), Family::Other, 0xFFFF};
    return &info;
}

// The identity under which a ViewAStr carries a decoding error message.
TypeId viewErrorTypeId() noexcept;
// The identity under which a ViewAStr carries text that is already UTF-8
// (every other ViewAStr text is Latin-1): a name or value decoded through the
// code page its triplet list declares, or a fully qualified name in object
// identifier form shown as one ("1.3.18.0.4.1.1.14").
TypeId viewTextTypeId() noexcept;

// ---- the view model -----------------------------------------------------------
struct ViewRecord;

struct ViewNumber {
    TypeId type = nullptr;
    std::int64_t value = 0;
    friend bool operator==(const ViewNumber&, const ViewNumber&) = default;
};
// The w bytes of an A value of width w, most significant first, one char per byte.
struct ViewString {
    TypeId type = nullptr;
    std::string bytes;
    friend bool operator==(const ViewString&, const ViewString&) = default;
};
struct ViewNStr {
    TypeId type = nullptr;
    Bytes bytes;
    friend bool operator==(const ViewNStr&, const ViewNStr&) = default;
};
// Text as fromAStr gives it: one char per EBCDIC byte, Latin-1.
struct ViewAStr {
    TypeId type = nullptr;
    std::string text;
    friend bool operator==(const ViewAStr&, const ViewAStr&) = default;
};
struct ViewData {
    TypeId type = nullptr;
    std::vector<ViewRecord> records;
    friend bool operator==(const ViewData& a, const ViewData& b);  // in src/view.cpp
};

using ViewContent = std::variant<ViewNumber, ViewString, ViewNStr, ViewAStr, ViewData>;

struct ViewField {
    Bytes label;
    ViewContent content;
    friend bool operator==(const ViewField&, const ViewField&) = default;
};

struct ViewRecord {
    TypeId type = nullptr;
    std::vector<ViewField> fields;
    friend bool operator==(const ViewRecord&, const ViewRecord&) = default;
};

// The most bytes of a raw buffer a view shows.
inline constexpr std::size_t viewRawLimit = 80;

// ---- building contents ----------------------------------------------------------
// The number of a ViewNumber. Throws Error naming the alternative for any other.
std::int64_t vc_number(const ViewContent& c);

// An A value given by its integral value, its type identity and its storage
// size in bytes: a ViewString of that many bytes, most significant first.
ViewContent viewString(uint128 value, TypeId type, int storageSize);
// The same for a value of an A type, whose integral conversion, identity and
// storage size come from the type.
template <AField T>
ViewContent viewString(T v) {
    return viewString(uint128(v.get()), fieldTypeIdOf<T>(), storageSize(v));
}

// A name-like Buffer0 given with the identity of its type and its conversion
// to bytes: a ViewAStr of fromAStr of the bytes.
ViewContent viewAStr(TypeId type, const Bytes& (*toBytes)(const Buffer0&), const Buffer0& v);
inline ViewContent viewAStr(const Buffer0& v) { return viewAStr(fieldTypeIdOf<Buffer0>(), fromBuf, v); }

// Raw bytes: a ViewNStr of the first min(n, 80) bytes, sharing them.
inline ViewContent viewRaw(TypeId type, const Bytes& bytes) { return ViewNStr{type, bytes.prefix(viewRawLimit)}; }

// Views of single nested chunks: the chunk decoded to the record its type
// names. A chunk that does not decode gives a view of its type with two
// fields, "raw" (its bytes, cut to 80) and "error" (a ViewAStr with the
// identity viewErrorTypeId()).
ViewRecord viewChunk(const PTX_& c);
ViewRecord viewChunk(const T_& c);
ViewRecord viewChunk(const MCF_& c);
ViewRecord viewChunk(const AFP_& c);

// ---- recView ----------------------------------------------------------------------
template <DeclaredRecord T>
ViewRecord recView(const T& v);
template <class T>
ViewRecord recView(const Record<T>& r) {
    return recView(r.recordContent);
}

// The failing defaults: a sequence and the chunk types have no view of their
// own ("recView not defined: " and the value's text form).
template <class T>
[[noreturn]] ViewRecord recView(const std::vector<T>& xs) {
    failNotDefined("recView not defined: ", show(xs));
}
[[noreturn]] ViewRecord recView(const MCF_& c);
[[noreturn]] ViewRecord recView(const T_& c);
[[noreturn]] ViewRecord recView(const PTX_& c);
[[noreturn]] ViewRecord recView(const AFP_& c);
[[noreturn]] ViewRecord recView(char c);

// ViewData of the sequence type over T and the recView of every element, in order.
template <class T>
ViewContent viewData(const std::vector<T>& xs) {
    ViewData d{sequenceTypeIdOf<T>(), {}};
    d.records.reserve(xs.size());
    for (const T& x : xs) d.records.push_back(recView(x));
    return d;
}

// ViewData of a triplet list. Names and text honour the code page the list
// declares: a CGCSGID triplet (X'01', its CPGID or CCSID) or, failing that,
// an encoding scheme triplet (X'50'); text of a code page that is declared
// and known is shown as UTF-8 (viewTextTypeId), text of none as code page 500.
// Attribute values are shown without their reserved bytes, and a fully
// qualified name in object-identifier format (X'10') as an object identifier.
ViewContent viewChunks(const Chunks<T_>& cs);

// ViewData of a nested chunk sequence: every chunk decoded and viewed.
template <ChunkFamily C>
ViewContent viewChunks(const Chunks<C>& cs) {
    ViewData d{sequenceTypeIdOf<C>(), {}};
    for (const C& c : cs) d.records.push_back(viewChunk(c));
    return d;
}

namespace detail {
// The label of a field: made once per record field and shared by every view.
template <auto Member>
const Bytes& fieldLabel(const char* name) {
    static const Bytes label = Bytes::fromStatic(name, std::strlen(name));
    return label;
}
}  // namespace detail

// The view of a field of type V, one specialisation per kind of field (the
// view side of FieldCodec): view<Member>(x), where Member is the record member
// the field is, for views that depend on the member (PRESSEL_NAME_FIELD).
template <class V>
struct FieldView;
// Numbers, signed and unsigned, by value.
template <class V>
    requires NumField<V> || IntField<V>
struct FieldView<V> {
    template <auto>
    static ViewContent view(const V& x) { return ViewNumber{fieldTypeIdOf<V>(), static_cast<std::int64_t>(x.value)}; }
};
// A values as their bytes.
template <AField V>
struct FieldView<V> {
    template <auto>
    static ViewContent view(const V& x) { return viewString(x); }
};
template <>
struct FieldView<N0> {
    template <auto>
    static ViewContent view(const N0&) { return ViewNumber{fieldTypeIdOf<N0>(), 0}; }
};
// A name or text as converted text; any other buffer as its first bytes.
template <>
struct FieldView<Buffer0> {
    template <auto Member>
    static ViewContent view(const Buffer0& x) {
        if constexpr (viewOptOf<Member> == ViewOpt::Name) return viewAStr(x);
        else return viewRaw(fieldTypeIdOf<Buffer0>(), x.bytes);
    }
};
template <>
struct FieldView<Buffer2> {
    template <auto>
    static ViewContent view(const Buffer2& x) { return viewRaw(fieldTypeIdOf<Buffer2>(), x.bytes); }
};
template <>
struct FieldView<Bytes> {
    template <auto>
    static ViewContent view(const Bytes& x) { return viewRaw(fieldTypeIdOf<Buffer0>(), x); }
};
template <class G>
struct FieldView<std::vector<Record<G>>> {
    template <auto>
    static ViewContent view(const std::vector<Record<G>>& x) { return viewData(x); }
};
template <ChunkFamily C>
struct FieldView<Chunks<C>> {
    template <auto>
    static ViewContent view(const Chunks<C>& x) { return viewChunks(x); }
};
// An absent optional field shows no bytes.
template <class F>
struct FieldView<Opt<F>> {
    template <auto Member>
    static ViewContent view(const Opt<F>& x) {
        if (x.value) return FieldView<F>::template view<Member>(*x.value);
        return ViewNStr{fieldTypeIdOf<F>(), Bytes()};
    }
};

// Fields a view gives beyond the declared ones: the whole value of a number
// the layout splits into a 1-byte and a 2-byte field. ViewExtras<T>::add(v, r)
// appends them after the declared fields.
template <class T>
struct ViewExtras {};
struct PGD;
struct IOC;
namespace detail {
inline ViewField wholeNumberField(const char* label, TypeId type, std::int64_t value) {
    return ViewField{Bytes::fromStatic(label, std::strlen(label)), ViewNumber{type, value}};
}
}  // namespace detail
// The page extents: pgd_XExtent (pgd_Field7 and pgd_XSize), pgd_YExtent.
template <>
struct ViewExtras<PGD> {
    template <class R>
    static void add(const R& v, ViewRecord& r) {
        r.fields.push_back(detail::wholeNumberField("pgd_XExtent", fieldTypeIdOf<N3>(), v.xSize().value));
        r.fields.push_back(detail::wholeNumberField("pgd_YExtent", fieldTypeIdOf<N3>(), v.ySize().value));
    }
};
// The signed object-area offsets: ioc_XObjectAreaOffset (ioc_Reserved1 and
// ioc_XOffset), ioc_YObjectAreaOffset.
template <>
struct ViewExtras<IOC> {
    template <class R>
    static void add(const R& v, ViewRecord& r) {
        r.fields.push_back(detail::wholeNumberField("ioc_XObjectAreaOffset", fieldTypeIdOf<I3>(), v.xOffset().value));
        r.fields.push_back(detail::wholeNumberField("ioc_YObjectAreaOffset", fieldTypeIdOf<I3>(), v.yOffset().value));
    }
};

template <DeclaredRecord T>
ViewRecord recView(const T& v) {
    ViewRecord r{typeIdOf<T>(), {}};
    r.fields.reserve(std::tuple_size_v<decltype(RecordDecl<T>::fields())>);
    forEachField(v, [&](auto fd, const auto& x) {
        constexpr auto member = decltype(fd)::member;
        r.fields.push_back(ViewField{detail::fieldLabel<member>(fd.name),
                                    FieldView<std::remove_cvref_t<decltype(x)>>::template view<member>(x)});
    });
    if constexpr (requires { ViewExtras<T>::add(v, r); }) ViewExtras<T>::add(v, r);
    return r;
}

// ---- text forms -------------------------------------------------------------------
// ViewNumber N2 5, ViewString A8 "C1C2...", ViewNStr Buffer0 "D3A8",
// ViewAStr Buffer0 "name", ViewData [T_] [ViewRecord ...]; a field is
// ViewField "label" (content), a record ViewRecord NAME [field,field].
// Each is parenthesised at precedence 11 and above.
void showsPrec(std::string& out, int prec, const ViewContent& c);
void showsPrec(std::string& out, int prec, const ViewField& f);
void showsPrec(std::string& out, int prec, const ViewRecord& r);

// ---- helpers the dump layer shares --------------------------------------------------
// The code page a triplet list declares, 0 for none: the CPGID (or CCSID) of
// a CGCSGID triplet, else what the code-page scheme of an encoding scheme
// triplet implies. A code page the conversion does not know counts as none.
int declaredCodePage(const Chunks<T_>& cs);
// An object identifier in BER encoding (X'06', length, content) as dotted
// decimal; empty when the bytes are not one.
std::string objectIdentifierText(std::span<const byte> ber);

}  // namespace pressel
