// The annotated dump's writers of one record type's fields, shared by
// dump.cpp (the helpers, the nested walks, the table) and the four shard
// files that instantiate the per-type annotators (dump_shard*.cpp): the
// table of every record type's annotator is dealt out by table index, so
// no one file generates the code of them all. A shard file defines
// PRESSEL_DUMP_SHARD and includes this header once.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>

#include "pressel/records.hpp"
#include "pressel/core/decimal.hpp"
#include "pressel/text/codepages.hpp"
#include "pressel/view/dump.hpp"

namespace pressel::dumpann {

// ---- writers defined in dump.cpp -----------------------------------------------------
void putHex(std::string& out, std::span<const byte> b);
// X'..' of the low `width` bytes of v.
void putCode(std::string& out, std::uint64_t v, int width);
void putIndent(std::string& out, int n);
// Bytes as text of a code page, quoted.
void putText(std::string& out, const CodePage& page, std::span<const byte> b);
// Whether EBCDIC bytes read as printable text, and their quoted form.
bool printable(std::span<const byte> ebcdic);
void putPrintableQuoted(std::string& out, std::span<const byte> ebcdic);
// Raw bytes: hex, at most 32 bytes of them, then the whole length.
void putRaw(std::string& out, std::span<const byte> b);
bool allZero(std::span<const byte> b);
// An orientation in degrees and minutes.
void putOrientation(std::string& out, std::uint64_t v);

template <class I>
void putNumber(std::string& out, I v) {
    char buf[24];
    if constexpr (std::is_integral_v<I> && sizeof(I) <= 8) {
        const char* end = std::is_signed_v<I> ? writeDecimal(buf, std::int64_t(v)) : writeDecimal(buf, std::uint64_t(v));
        out.append(buf, std::size_t(end - buf));
    } else {
        auto r = std::to_chars(buf, buf + sizeof buf, v);
        out.append(buf, r.ptr);
    }
}

enum class Kind : std::uint8_t {
    Skip, Flags, Reserved, Plain, Code, Orientation, UnitBase, Units, FqnType, FqnFormat, ResourceType,
    ObjectClass, ResourceObjectType, MapValue, Color, ColorSpace, EncodingScheme, SymbolType, Rotation,
};
struct FieldInfo {
    std::string_view label;
    Kind kind;
};

// The kind of a record field, decided once from its declared name.
FieldInfo classify(std::string_view name, bool first);

template <auto Member>
const FieldInfo& fieldInfo(const char* name, bool first) {
    static const FieldInfo info = classify(name, first);
    return info;
}

enum class Mode : std::uint8_t { Lines, Inline, Control };

struct Ann {
    std::string& out;
    DumpState& state;    // read and changed through st() only
    int indent = 2;
    int cp = 0;          // the code page names of the current triplet list are in (0: 500)
    unsigned base = 0;   // the last unit base shown (0: 10 inches)
    bool first = true;   // no field yet on the current inline line
    bool control = false;
    // Whether the field's annotation read or changed the state between
    // fields: one that did not depends on the field's bytes alone.
    bool usedState = false;

    DumpState& st() noexcept {
        usedState = true;
        return state;
    }

    void newLine(int in) {
        out += '\n';
        putIndent(out, in);
    }
    // Starts a field: its own line, or the next item of an inline line.
    void label(std::string_view l, Mode mode, bool withLabel = true) {
        if (mode == Mode::Lines) {
            putIndent(out, indent);
            char buf[64];
            if (l.size() + 2 <= sizeof buf) {
                std::memcpy(buf, l.data(), l.size());
                std::memcpy(buf + l.size(), ": ", 2);
                out.append(buf, l.size() + 2);
            } else {
                out += l;
                out += ": ";
            }
        } else {
            if (!first) out += mode == Mode::Control ? std::string_view(" ") : std::string_view(", ");
            if (withLabel) {
                out += l;
                out += ' ';
            }
        }
        first = false;
    }
    void endField(Mode mode) {
        if (mode == Mode::Lines) out += '\n';
    }
};

using AnnotateFn = void (*)(Ann&, const Bytes&, Mode);
const AnnotateFn* annotateTable();

// A number as its kind shows it (codes, orientations, units, named values).
void putNumberOfKind(Ann& a, Kind kind, std::uint64_t v, std::int64_t sv, int width, bool isSigned);

// Nested chunks, one line each, `indent` spaces in.
void annotateTriplets(Ann& a, const Chunks<T_>& ts, int indent);
void annotateControls(Ann& a, const Chunks<PTX_>& cs, int indent);
void annotateGroups(Ann& a, const Chunks<MCF_>& gs, int indent);

template <class G>
void annotateRecord(Ann& a, const G& v, Mode mode);

// Containers are written after the line of their record's other fields, so
// they are collected and written at the end.
struct Pending {
    const void* value = nullptr;
    void (*write)(Ann&, const void*, int) = nullptr;
    std::string_view label;
};

template <auto Member, class V>
void annotateValue(Ann& a, const FieldInfo& info, const V& x, Mode mode, Pending& pending) {
    std::string& out = a.out;
    if (info.kind == Kind::Skip) return;
    if constexpr (NumField<V> || IntField<V>) {
        const bool isSigned = IntField<V>;
        const std::int64_t sv = static_cast<std::int64_t>(x.value);
        const std::uint64_t uv = static_cast<std::uint64_t>(x.value);
        // Zero flags and reserved bytes say nothing; nor does a name in the
        // default (character) format.
        if ((info.kind == Kind::Flags || info.kind == Kind::Reserved || info.kind == Kind::FqnFormat) && uv == 0)
            return;
        a.label(info.label, mode, mode != Mode::Control);
        putNumberOfKind(a, info.kind, isSigned ? std::uint64_t(sv) & ((std::uint64_t(1) << (8 * V::width)) - 1) : uv,
                        sv, V::width, isSigned);
        a.endField(mode);
    } else if constexpr (AField<V>) {
        const uint128 value = uint128(x.get());
        const int n = storageSize(x);
        byte bytes[16];
        for (int i = 0; i < n; ++i) bytes[i] = static_cast<byte>(value >> (8 * (n - 1 - i)));
        std::span<const byte> b(bytes, std::size_t(n));
        if ((info.kind == Kind::Flags || info.kind == Kind::Reserved) && allZero(b)) return;
        a.label(info.label, mode, mode != Mode::Control);
        // Names (GCGIDs, resource names) read as text, blank ones too.
        const bool name = info.kind != Kind::Flags && info.kind != Kind::Reserved;
        if (name && !b.empty() && std::all_of(b.begin(), b.end(), [](byte c) { return c == 0x40; })) {
            out += '"';
            putIndent(out, int(b.size()));
            out += '"';
        } else if (name && printable(b)) {
            putPrintableQuoted(out, b);
        } else {
            out += "X'";
            putHex(out, b);
            out += '\'';
        }
        a.endField(mode);
    } else if constexpr (std::same_as<V, N0>) {
        (void)x;
    } else if constexpr (std::same_as<V, Buffer0> || std::same_as<V, Buffer2> || std::same_as<V, Bytes>) {
        const Bytes* bp;
        if constexpr (std::same_as<V, Bytes>) bp = &x;
        else bp = &x.bytes;
        const std::span<const byte> b = bp->span();
        if (b.empty()) return;
        if (info.kind == Kind::Rotation && b.size() == 2) {
            a.label("rotation", mode, mode != Mode::Control);
            putOrientation(out, std::uint64_t(b[0] << 8 | b[1]));
            a.endField(mode);
            return;
        }
        if (info.kind == Kind::Reserved && allZero(b)) return;
        if constexpr (std::same_as<V, Buffer0>) {
            if constexpr (viewOptOf<Member> == ViewOpt::Name) {
                a.label(info.label, mode, mode == Mode::Lines);
                if (a.control) putText(out, a.st().textPage(), b);
                else putText(out, a.cp ? codePageOrDefault(std::uint16_t(a.cp)) : defaultCodePage(), b);
                a.endField(mode);
                return;
            }
        }
        a.label(mode == Mode::Lines ? info.label : std::string_view("data"), mode, mode != Mode::Control);
        putRaw(out, b);
        a.endField(mode);
    } else if constexpr (IsOpt<V>::value) {
        if (x.value) annotateValue<Member>(a, info, *x.value, mode, pending);
    } else if constexpr (IsRecordVector<V>::value || IsChunks<V>::value) {
        if (x.begin() == x.end()) return;
        pending.value = &x;
        if constexpr (std::same_as<V, Chunks<T_>>) pending.label = "triplets";
        else if constexpr (std::same_as<V, Chunks<PTX_>>) pending.label = "controls";
        else pending.label = "groups";
        pending.write = [](Ann& an, const void* p, int in) {
            const V& xs = *static_cast<const V*>(p);
            if constexpr (IsChunks<V>::value) {
                if constexpr (std::same_as<V, Chunks<T_>>) annotateTriplets(an, xs, in);
                else if constexpr (std::same_as<V, Chunks<PTX_>>) annotateControls(an, xs, in);
                else annotateGroups(an, xs, in);
            } else {
                for (const auto& g : xs) {
                    putIndent(an.out, in);
                    const int saved = an.indent;
                    an.indent = in + 2;
                    an.first = true;
                    annotateRecord(an, g.recordContent, Mode::Inline);
                    an.indent = saved;
                    an.out += '\n';
                }
            }
        };
    } else {
        static_assert(sizeof(V) == 0, "annotate: a field type without a rule");
    }
}


// Image self-defining fields (IPD, IDD), graphics descriptor parameters, and
// what the first bytes of an object container say it holds.
void annotateImageFields(Ann& a, std::span<const byte> b, bool carries);
void annotateGraphicsDescriptor(Ann& a, std::span<const byte> b);
const char* containerFormat(std::span<const byte> b);

template <auto A, auto B>
constexpr bool sameMember() {
    if constexpr (std::is_same_v<decltype(A), decltype(B)>) return A == B;
    else return false;
}

template <class G>
void annotateRecord(Ann& a, const G& v, Mode mode) {
    // A control sequence with one parameter, or the two orientations of STO,
    // reads as its values ("AMI 1440"); longer ones name their parameters.
    if (mode == Mode::Control && std::tuple_size_v<decltype(RecordDecl<G>::fields())> > 2 &&
        !std::is_same_v<G, PTX_STO>)
        mode = Mode::Inline;
    std::size_t index = 0;
    Pending pending[2];
    std::size_t npending = 0;
    forEachField(v, [&](auto fd, const auto& x) {
        constexpr auto member = decltype(fd)::member;
        const FieldInfo& info = fieldInfo<member>(fd.name, index == 0);
        ++index;
        if constexpr (std::is_same_v<G, IPD> || std::is_same_v<G, IDD> || std::is_same_v<G, GDD> ||
                      std::is_same_v<G, OCD>) {
            if constexpr (std::same_as<std::decay_t<decltype(x)>, Buffer0>) {
                const std::span<const byte> b = x.bytes.span();
                if constexpr (std::is_same_v<G, IPD>) annotateImageFields(a, b, true);
                else if constexpr (std::is_same_v<G, IDD>) annotateImageFields(a, b, false);
                else if constexpr (std::is_same_v<G, GDD>) annotateGraphicsDescriptor(a, b);
                else {
                    a.out += "  data: ";
                    putNumber(a.out, b.size());
                    a.out += b.size() == 1 ? " byte" : " bytes";
                    if (a.st().containerStart) {
                        if (const char* f = containerFormat(b)) {
                            a.out += ", ";
                            a.out += f;
                        }
                    }
                    a.st().containerStart = false;
                    if (!b.empty()) {
                        a.out += ", begins X'";
                        putHex(a.out, b.first(std::min<std::size_t>(b.size(), 16)));
                        a.out += '\'';
                    }
                    a.out += '\n';
                }
                return;
            }
        }
        if constexpr (std::is_same_v<G, PGD>) {
            // The extents are 3-byte values the record splits into a high
            // byte and a low two bytes.
            if constexpr (sameMember<member, &PGD::pgd_Field7>() || sameMember<member, &PGD::pgd_Field9>()) return;
            if constexpr (sameMember<member, &PGD::pgd_XSize>() || sameMember<member, &PGD::pgd_YSize>()) {
                a.label(info.label, mode);
                putNumber(a.out, (sameMember<member, &PGD::pgd_XSize>() ? v.xSize() : v.ySize()).value);
                a.endField(mode);
                return;
            }
        }
        Pending p;
        annotateValue<member>(a, info, x, mode, p);
        if (p.write && npending < 2) pending[npending++] = p;
    });
    if constexpr (std::is_same_v<G, PTX_SCFL>) a.st().selectFont(v.ptx_scfl_LocalId.value);
    for (std::size_t i = 0; i < npending; ++i) {
        if (mode == Mode::Lines) {
            putIndent(a.out, a.indent);
            a.out += pending[i].label;
            a.out += ":\n";
            pending[i].write(a, pending[i].value, a.indent + 2);
        } else {
            a.out += '\n';
            const std::size_t before = a.out.size();
            pending[i].write(a, pending[i].value, a.indent);
            // The line of the record ends at its last nested line.
            if (a.out.size() > before && a.out.back() == '\n') a.out.pop_back();
        }
    }
}

template <class G>
void annotateBytes(Ann& a, const Bytes& b, Mode mode) {
    ByteReader r(b);
    annotateRecord(a, recGet<G>(r), mode);
}


// ---- the table, in shards ------------------------------------------------------------------
inline constexpr unsigned shards = 4;
constexpr unsigned shardOf(RecordIndex i) noexcept { return unsigned(i) % shards; }
template <unsigned P>
void fillShard(AnnotateFn* fns);
template <>
void fillShard<0>(AnnotateFn* fns);
template <>
void fillShard<1>(AnnotateFn* fns);
template <>
void fillShard<2>(AnnotateFn* fns);
template <>
void fillShard<3>(AnnotateFn* fns);

}  // namespace pressel::dumpann

#ifdef PRESSEL_DUMP_SHARD
#include "record_types.hpp"

namespace pressel::dumpann {
namespace {
template <class T>
void add(AnnotateFn* fns) {
    constexpr RecordIndex i = RecordDecl<T>::tableIndex;
    if constexpr (shardOf(i) == PRESSEL_DUMP_SHARD) fns[i] = &annotateBytes<T>;
}
}  // namespace

template <>
void fillShard<PRESSEL_DUMP_SHARD>(AnnotateFn* fns) {
#define PRESSEL_X(code, name) add<name>(fns);
    PRESSEL_EACH_RECORD_TYPE(PRESSEL_X)
#undef PRESSEL_X
}
}  // namespace pressel::dumpann
#endif
