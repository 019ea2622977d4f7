// The JSON of a record's view (dump --json) written straight from the decoded
// record, field by field: the JSON renderViewJsonFields gives for its view.
#include <string>

#include "dump_write.hpp"
#include "pressel/records.hpp"
#include "pressel/text/codepages.hpp"
#include "pressel/text/detail/decode_codepage.hpp"

namespace pressel {
namespace {
using namespace dumpw;

struct Json {
    DumpOut& o;
    const EbcdicForms& f;
    DumpState* st;
};

using JsonFn = void (*)(Json&, const Bytes&, const TripletText*);
const JsonFn* jsonTable();

template <class T>
void recordJson(Json& c, const T& v, const TripletText* tt);

// {"type":NAME,"name":LONG NAME (where the architecture names the record)
std::string typeHead(TypeId type) {
    std::string s;
    DumpOut o(s);
    o.lit("{\"type\":");
    jsonLatin1(o, type->name);
    if (const char* name = recordTypeName(type)) {
        o.lit(",\"name\":");
        jsonLatin1(o, name);
    }
    o.finish();
    return s;
}
const std::string& tableTypeHead(TypeId type) {
    struct Heads {
        std::string heads[idx_tableTypes];
        Heads() {
            for (unsigned i = 0; i < idx_tableTypes; ++i) heads[i] = typeHead(&tableType(RecordIndex(i)));
        }
    };
    static const Heads heads;
    return heads.heads[type->index];
}
template <class G>
const std::string& groupTypeHead() {
    static const std::string head = typeHead(typeIdOf<G>());
    return head;
}

// The text of a text control sequence, through the code page of the selected font.
void textOf(Json& c, std::span<const byte> b) {
    thread_local std::string t;
    t.clear();
    c.st->textPage().appendUtf8(t, std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
    c.o.lit(",\"text\":");
    jsonUtf8(c.o, t);
}
std::span<const byte> rawShown(const Bytes& b) { return b.span().first(std::min(b.size(), viewRawLimit)); }

// The bytes whose text a text control sequence shows: those of its first
// name or buffer field (a raw buffer as far as a view shows it; an absent
// optional field shows none). False when it has no such field.
template <auto Member, class V>
bool textBytes(const V& x, std::span<const byte>& b) {
    if constexpr (std::same_as<V, Buffer0>) {
        if constexpr (viewOptOf<Member> == ViewOpt::Name) b = x.bytes.span();
        else b = rawShown(x.bytes);
        return true;
    } else if constexpr (std::same_as<V, Buffer2>) {
        b = rawShown(x.bytes);
        return true;
    } else if constexpr (std::same_as<V, Bytes>) {
        b = rawShown(x);
        return true;
    } else if constexpr (IsOptField<V>::value) {
        if (x.value) return textBytes<Member>(*x.value, b);
        b = {};
        return true;
    } else {
        return false;
    }
}
template <class T>
void recordText(Json& c, const T& v) {
    std::span<const byte> b;
    bool found = false;
    eachField(v, [&](auto ic, const auto& x) {
        using Facts = FieldFacts<T, decltype(ic)::value>;
        if (!found) found = textBytes<Facts::Desc::member>(x, b);
    });
    if (found) textOf(c, b);
}
constexpr bool isTextControl(unsigned idx) {
    return idx == idx_PTX_TRN || idx == idx_PTX_RPS || idx == idx_PTX_Text;
}

// The records of a nested chunk sequence.
template <ChunkFamily C>
void chunksJson(Json& c, const Chunks<C>& cs) {
    DumpOut& o = c.o;
    o.put('[');
    int cp = 0;
    if constexpr (std::is_same_v<C, T_>) cp = declaredCodePage(cs);
    bool first = true;
    for (const C& ch : cs) {
        if (!first) o.put(',');
        first = false;
        const TypeId type = chunkType(ch).id;
        const Bytes& bytes = packChunk(ch);
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
            jsonTable()[type->index](c, bytes, std::is_same_v<C, T_> ? &tt : nullptr);
        } catch (const Error& e) {
            // Shown as its bytes and the error, under its own type.
            o.truncate(mark);
            o.put(tableTypeHead(type));
            if (c.st && type->family == Family::PTX && isTextControl(type->index)) textOf(c, rawShown(bytes));
            o.lit(",\"fields\":{\"raw\":\"");
            hex(o, rawShown(bytes));
            o.lit("\",\"error\":");
            if (tt.oid) jsonUtf8(o, oid);
            else jsonLatin1(o, e.what());
            o.lit("}}");
        }
    }
    o.put(']');
}

template <auto Member, class V>
void valueJson(Json& c, const V& x, const TripletText* tt, bool last) {
    DumpOut& o = c.o;
    if constexpr (NumField<V> || IntField<V>) {
        number(o, static_cast<std::int64_t>(x.value));
    } else if constexpr (std::same_as<V, N0>) {
        o.put('0');
    } else if constexpr (AField<V>) {
        byte buf[16];
        o.put('"');
        hex(o, aBytes(x, buf));
        o.put('"');
    } else if constexpr (std::same_as<V, Buffer0> || std::same_as<V, Buffer2> || std::same_as<V, Bytes>) {
        const Bytes* b;
        if constexpr (std::same_as<V, Bytes>) b = &x;
        else b = &x.bytes;
        if constexpr (std::same_as<V, Buffer0> && viewOptOf<Member> == ViewOpt::Name) {
            if (tt && last && tt->oid) jsonUtf8(o, *tt->oid);
            else if (tt && tt->cp) jsonUtf8(o, decodeCodePage(tt->cp, b->chars()));
            else jsonEbcdic(o, c.f, b->span());
        } else {
            o.put('"');
            hex(o, rawShown(*b));
            o.put('"');
        }
    } else if constexpr (IsOptField<V>::value) {
        if (x.value) valueJson<Member>(c, *x.value, tt, last);
        else o.lit("\"\"");
    } else if constexpr (IsGroups<V>::value) {
        o.put('[');
        bool first = true;
        for (const auto& g : x) {
            if (!first) o.put(',');
            first = false;
            recordJson(c, g.recordContent, nullptr);
        }
        o.put(']');
    } else if constexpr (IsChunkList<V>::value) {
        chunksJson(c, x);
    } else {
        static_assert(sizeof(V) == 0, "view JSON: a field type without a rule");
    }
}

// {"label":value,...}
template <class T>
void fieldsJson(Json& c, const T& v, const TripletText* tt) {
    constexpr std::size_t n = std::tuple_size_v<decltype(RecordDecl<T>::fields())>;
    c.o.put('{');
    eachField(v, [&](auto ic, const auto& x) {
        constexpr std::size_t i = decltype(ic)::value;
        using Facts = FieldFacts<T, i>;
        if constexpr (i > 0) c.o.put(',');
        c.o.put(Facts::jsonKey.data(), Facts::jsonKey.size());
        valueJson<Facts::Desc::member>(c, x, tt, i + 1 == n);
    });
    // The whole extents and offsets the layout splits.
    if constexpr (std::is_same_v<T, PGD>) {
        c.o.lit(",\"pgd_XExtent\":");
        number(c.o, std::int64_t(v.xSize().value));
        c.o.lit(",\"pgd_YExtent\":");
        number(c.o, std::int64_t(v.ySize().value));
    } else if constexpr (std::is_same_v<T, IOC>) {
        c.o.lit(",\"ioc_XObjectAreaOffset\":");
        number(c.o, std::int64_t(v.xOffset().value));
        c.o.lit(",\"ioc_YObjectAreaOffset\":");
        number(c.o, std::int64_t(v.yOffset().value));
    }
    c.o.put('}');
}

// {"type":NAME,"name":LONG NAME,"fields":{...}}, with the text of a text
// control sequence; Set Coded Font Local selects the font.
template <class T>
void recordJson(Json& c, const T& v, const TripletText* tt) {
    if constexpr (requires { RecordDecl<T>::tableIndex; }) c.o.put(tableTypeHead(typeIdOf<T>()));
    else c.o.put(groupTypeHead<T>());
    if constexpr (std::is_same_v<T, PTX_SCFL>) {
        if (c.st) c.st->selectFont(std::uint8_t(v.ptx_scfl_LocalId.value));
    } else if constexpr (std::is_same_v<T, PTX_TRN> || std::is_same_v<T, PTX_RPS> || std::is_same_v<T, PTX_Text>) {
        if (c.st) recordText(c, v);
    }
    c.o.lit(",\"fields\":");
    fieldsJson(c, v, tt);
    c.o.put('}');
}

template <class T>
void decodeJson(Json& c, const Bytes& b, const TripletText* tt) {
    ByteReader r(b);
    const T v = recGet<T>(r);
    recordJson(c, v, tt);
}
template <class T>
void decodeJsonFields(Json& c, const Bytes& b, const TripletText*) {
    ByteReader r(b);
    const T v = recGet<T>(r);
    fieldsJson(c, v, nullptr);
}

struct Tables {
    JsonFn records[idx_tableTypes] = {};
    JsonFn fields[idx_tableTypes] = {};
    template <class T>
    void add(RecordIndex i) {
        records[i] = &decodeJson<T>;
        fields[i] = &decodeJsonFields<T>;
    }
    Tables() {
#define PRESSEL_X(code, name) add<name>(idx_##name);
        PRESSEL_AFP_CODES(PRESSEL_X)
        PRESSEL_T_CODES(PRESSEL_X)
        PRESSEL_PTX_CODES(PRESSEL_X)
#undef PRESSEL_X
        add<Unknown>(idx_Unknown);
        add<T_Unknown>(idx_T_Unknown);
        add<T_Raw>(idx_T_Raw);
        add<PTX_Unknown>(idx_PTX_Unknown);
        add<PTX_Text>(idx_PTX_Text);
        add<PTX_Raw>(idx_PTX_Raw);
        add<MCF_T>(idx_MCF_T);
    }
};
const Tables& tables() {
    static const Tables t;
    return t;
}
const JsonFn* jsonTable() { return tables().records; }
}  // namespace

void dumpViewJsonFields(DumpOut& out, TypeId type, const Bytes& bytes, DumpState* state) {
    const JsonFn fn = type && type->index < idx_tableTypes ? tables().fields[type->index] : nullptr;
    if (!fn) throw Error(std::string("dump: no record type for ") + (type ? type->name : "?"));
    Json c{out, ebcdicForms(), state};
    fn(c, bytes, nullptr);
}

void dumpViewJsonFields(std::string& out, TypeId type, const Bytes& bytes, DumpState* state) {
    DumpOut o(out);
    try {
        dumpViewJsonFields(o, type, bytes, state);
    } catch (...) {
        o.finish();
        throw;
    }
    o.finish();
}

}  // namespace pressel
