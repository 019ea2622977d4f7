// The view lines of a record (dump --view) written straight from the decoded
// record, field by field: the lines renderViewLines gives for its view.
#include <string>

#include "dump_write.hpp"
#include "pressel/records.hpp"
#include "pressel/text/detail/decode_codepage.hpp"

namespace pressel {
namespace {
using namespace dumpw;

struct Lines {
    DumpOut& o;
    const EbcdicForms& f;
};

using LinesFn = void (*)(Lines&, const Bytes&, int, const TripletText*);
const LinesFn* linesTable();

template <class T>
void recordLines(Lines& c, const T& v, int indent, const TripletText* tt);

void countLine(DumpOut& o, std::size_t n) {
    o.put(' ');
    number(o, n);
    if (n == 1) o.lit(" record\n");
    else o.lit(" records\n");
}

// The records of a nested chunk sequence, each under a line with its type.
template <ChunkFamily C>
void chunkLines(Lines& c, const Chunks<C>& cs, int indent) {
    DumpOut& o = c.o;
    o.put('[');
    o.put(std::string_view(C::name));
    o.put(']');
    countLine(o, cs.count());
    int cp = 0;
    if constexpr (std::is_same_v<C, T_>) cp = declaredCodePage(cs);
    for (const C& ch : cs) {
        const TypeId type = chunkType(ch).id;
        const Bytes& bytes = packChunk(ch);
        o.spaces(std::size_t(indent + 2));
        o.put(std::string_view(type->name));
        o.put('\n');
        TripletText tt{cp, nullptr};
        std::string oid;
        if constexpr (std::is_same_v<C, T_>) {
            if (ch.frame == Frame::Item && ch.code == 0x02 && bytes.size() >= 3 && bytes[2] == 0x10) {
                oid = objectIdentifierText(bytes.span().subspan(3));
                if (!oid.empty()) tt.oid = &oid;
            }
        }
        const std::size_t mark = o.size();
        try {
            linesTable()[type->index](c, bytes, indent + 4, std::is_same_v<C, T_> ? &tt : nullptr);
        } catch (const Error& e) {
            // Shown as its bytes and the error, under its own type.
            o.truncate(mark);
            o.spaces(std::size_t(indent + 4));
            o.lit("raw: ");
            hexWithText(o, bytes.span().first(std::min(bytes.size(), viewRawLimit)));
            o.put('\n');
            o.spaces(std::size_t(indent + 4));
            o.lit("error: ");
            if (tt.oid) quotedUtf8(o, oid);
            else {
                o.lit("*** ");
                o.put(std::string_view(e.what()));
            }
            o.put('\n');
        }
    }
}

// The value of a field after its label, the end of its line, and the
// records it holds on lines of their own.
template <class Facts, auto Member, class V>
void valueLine(Lines& c, const V& x, int indent, const TripletText* tt, bool last) {
    DumpOut& o = c.o;
    if constexpr (NumField<V> || IntField<V>) {
        const std::int64_t n = static_cast<std::int64_t>(x.value);
        number(o, n);
        if constexpr (Facts::code) {
            o.lit(" (X'");
            hexValue(o, static_cast<std::uint64_t>(n), hexWidth<V>());
            o.lit("')");
        }
        o.put('\n');
    } else if constexpr (std::same_as<V, N0>) {
        if constexpr (Facts::code) o.lit("0 (X'00000000')\n");
        else o.lit("0\n");
    } else if constexpr (AField<V>) {
        byte buf[16];
        hexWithText(o, aBytes(x, buf));
        o.put('\n');
    } else if constexpr (std::same_as<V, Buffer0>) {
        if constexpr (viewOptOf<Member> == ViewOpt::Name) {
            if (tt && last && tt->oid) quotedUtf8(o, *tt->oid);
            else if (tt && tt->cp) quotedUtf8(o, decodeCodePage(tt->cp, x.bytes.chars()));
            else quotedEbcdic(o, c.f, x.bytes.span());
        } else {
            hexWithText(o, x.bytes.span().first(std::min(x.bytes.size(), viewRawLimit)));
        }
        o.put('\n');
    } else if constexpr (std::same_as<V, Buffer2>) {
        hexWithText(o, x.bytes.span().first(std::min(x.bytes.size(), viewRawLimit)));
        o.put('\n');
    } else if constexpr (std::same_as<V, Bytes>) {
        hexWithText(o, x.span().first(std::min(x.size(), viewRawLimit)));
        o.put('\n');
    } else if constexpr (IsOptField<V>::value) {
        if (x.value) valueLine<Facts, Member>(c, *x.value, indent, tt, last);
        else o.lit("X''\n");
    } else if constexpr (IsGroups<V>::value) {
        using G = typename IsGroups<V>::type;
        o.put('[');
        o.put(std::string_view(RecordDecl<G>::name));
        o.put(']');
        countLine(o, x.size());
        for (const auto& g : x) {
            o.spaces(std::size_t(indent + 2));
            o.put(std::string_view(RecordDecl<G>::name));
            o.put('\n');
            recordLines(c, g.recordContent, indent + 4, nullptr);
        }
    } else if constexpr (IsChunkList<V>::value) {
        chunkLines(c, x, indent);
    } else {
        static_assert(sizeof(V) == 0, "view lines: a field type without a rule");
    }
}

template <class Facts>
void label(DumpOut& o, int indent) {
    char* p = o.reserve(std::size_t(indent) + Facts::name.size() + 2);
    std::memset(p, ' ', std::size_t(indent));
    p += indent;
    std::memcpy(p, Facts::name.data(), Facts::name.size());
    p += Facts::name.size();
    *p++ = ':';
    *p++ = ' ';
    o.commit(p);
}

// A whole number a view gives beyond the declared fields.
void extraLine(DumpOut& o, int indent, std::string_view name, std::int64_t value) {
    o.spaces(std::size_t(indent));
    o.put(name);
    o.lit(": ");
    number(o, value);
    o.put('\n');
}

template <class T>
void recordLines(Lines& c, const T& v, int indent, const TripletText* tt) {
    constexpr std::size_t n = std::tuple_size_v<decltype(RecordDecl<T>::fields())>;
    eachField(v, [&](auto ic, const auto& x) {
        constexpr std::size_t i = decltype(ic)::value;
        using Facts = FieldFacts<T, i>;
        label<Facts>(c.o, indent);
        valueLine<Facts, Facts::Desc::member>(c, x, indent, tt, i + 1 == n);
    });
    // The whole extents and offsets the layout splits (none of them a code).
    if constexpr (std::is_same_v<T, PGD>) {
        static_assert(!isCodeLabel("pgd_XExtent") && !isCodeLabel("pgd_YExtent"));
        extraLine(c.o, indent, "pgd_XExtent", v.xSize().value);
        extraLine(c.o, indent, "pgd_YExtent", v.ySize().value);
    } else if constexpr (std::is_same_v<T, IOC>) {
        static_assert(!isCodeLabel("ioc_XObjectAreaOffset") && !isCodeLabel("ioc_YObjectAreaOffset"));
        extraLine(c.o, indent, "ioc_XObjectAreaOffset", v.xOffset().value);
        extraLine(c.o, indent, "ioc_YObjectAreaOffset", v.yOffset().value);
    }
}

template <class T>
void decodeLines(Lines& c, const Bytes& b, int indent, const TripletText* tt) {
    ByteReader r(b);
    const T v = recGet<T>(r);
    recordLines(c, v, indent, tt);
}

const LinesFn* linesTable() {
    struct Table {
        LinesFn fns[idx_tableTypes] = {};
        Table() {
#define PRESSEL_X(code, name) fns[idx_##name] = &decodeLines<name>;
            PRESSEL_AFP_CODES(PRESSEL_X)
            PRESSEL_T_CODES(PRESSEL_X)
            PRESSEL_PTX_CODES(PRESSEL_X)
#undef PRESSEL_X
            fns[idx_Unknown] = &decodeLines<Unknown>;
            fns[idx_T_Unknown] = &decodeLines<T_Unknown>;
            fns[idx_T_Raw] = &decodeLines<T_Raw>;
            fns[idx_PTX_Unknown] = &decodeLines<PTX_Unknown>;
            fns[idx_PTX_Text] = &decodeLines<PTX_Text>;
            fns[idx_PTX_Raw] = &decodeLines<PTX_Raw>;
            fns[idx_MCF_T] = &decodeLines<MCF_T>;
        }
    };
    static const Table table;
    return table.fns;
}
}  // namespace

void dumpViewLines(DumpOut& out, TypeId type, const Bytes& bytes, int indent) {
    const LinesFn fn = type && type->index < idx_tableTypes ? linesTable()[type->index] : nullptr;
    if (!fn) throw Error(std::string("dump: no record type for ") + (type ? type->name : "?"));
    Lines c{out, ebcdicForms()};
    fn(c, bytes, indent, nullptr);
}

void dumpViewLines(std::string& out, TypeId type, const Bytes& bytes, int indent) {
    DumpOut o(out);
    try {
        dumpViewLines(o, type, bytes, indent);
    } catch (...) {
        o.finish();
        throw;
    }
    o.finish();
}

}  // namespace pressel
