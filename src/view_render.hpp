// Views rendered straight from a decoded record: the lines and the JSON that
// renderViewLines and renderViewJson give for recView(v), written field by
// field from v itself into the output, with no ViewRecord in between.
//
// Every field kind of the record machinery has its rendering here, chosen at
// compile time from the field's type, and each record field's label is
// escaped once, on first use. Anything the fast path does not cover on its
// own (a triplet list that declares a code page or holds an object
// identifier, a nested chunk that does not decode, the extra fields of a
// view) is viewed the ordinary way and rendered by the view renderers, so
// the output is the same either way.
//
// The renderers of the record types of the code tables are instantiated in
// shards (view_render_shard*.cpp), dealt out by table index like the
// catalogue's, and reached through renderTable(); a shard file defines
// PRESSEL_VIEW_RENDER_SHARD and includes this header once.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pressel/catalogue.hpp"
#include "pressel/core/decimal.hpp"
#include "pressel/view.hpp"
#include "pressel/view/dump.hpp"
#include "record_types.hpp"

namespace pressel::viewrender {

// ---- what the view renderers share (dump.cpp) ------------------------------------------
// One field's line(s), as renderViewLines writes it inside a record.
void fieldLine(std::string& out, const ViewField& f, int indent);
// One field's JSON value, as renderViewJsonFields writes it after the label.
void contentJson(std::string& out, const ViewContent& c, DumpState* state);

// ---- pieces of output ----------------------------------------------------------------
inline void putInt(std::string& out, std::int64_t v) {
    char buf[24];
    const char* end = writeDecimal(buf, v);
    out.append(buf, std::size_t(end - buf));
}
// A number's line value: decimal, and its `width` low bytes in hex beside it
// when `code`.
void numberLine(std::string& out, std::int64_t v, int width, bool code);
// Bytes as a JSON hex string.
void hexJson(std::string& out, std::span<const byte> b);
// Bytes as X'..' with their EBCDIC text beside them when it is printable.
void hexLine(std::string& out, std::span<const byte> b);
// The big-endian bytes of an A value of `width` bytes.
void aValueJson(std::string& out, uint128 v, int width);
void aValueLine(std::string& out, uint128 v, int width);
// A name's EBCDIC bytes as Latin-1 text: a JSON string, a quoted line value.
void nameJson(std::string& out, std::span<const byte> ebcdic);
void nameLine(std::string& out, std::span<const byte> ebcdic);
// ,"text":"..." for the bytes of a text control sequence through the code
// page of the selected font.
void textJson(std::string& out, std::span<const byte> bytes, const DumpState& state);

// What a dump form showed for short nested items (control sequences of at
// most 7 bytes: the function type and the parameters) by their code, bytes
// and a tag the caller chooses (its indent): a direct-mapped table. A form
// keeps an item's text only when the text depends on those alone (it read
// nothing of the state between fields and reports no decoding error).
class ShortItemMemo {
public:
    struct Slot {
        std::uint64_t key = 0;
        std::uint8_t size = 0;  // 0: empty (a kept item has its type byte at least)
        int tag = 0;
        std::string text;
    };
    // The slot of the item, or null when it is not looked up; `found` tells
    // whether the slot holds its text.
    Slot* find(std::uint8_t code, std::span<const byte> b, int tag, bool& found) noexcept {
        found = false;
        if (b.empty() || b.size() > 7) return nullptr;
        std::uint64_t key = 0;
        std::memcpy(&key, b.data(), b.size());
        key |= std::uint64_t(code) << 56;
        const std::uint64_t h = (key ^ b.size() ^ (std::uint64_t(unsigned(tag)) << 48)) * 0x9E3779B97F4A7C15ull;
        Slot& s = slots_[h >> (64 - kBits)];
        found = s.size == b.size() && s.key == key && s.tag == tag;
        key_ = key;
        return &s;
    }
    // Keeps `text` in the slot find() gave for the item.
    void keep(Slot& s, std::span<const byte> b, int tag, std::string_view text) {
        if (text.find("*** ") != std::string_view::npos) return;
        s.key = key_;
        s.size = std::uint8_t(b.size());
        s.tag = tag;
        s.text.assign(text);
    }

private:
    static constexpr unsigned kBits = 10;
    std::vector<Slot> slots_ = std::vector<Slot>(std::size_t(1) << kBits);
    std::uint64_t key_ = 0;
};

// Lines start with up to this many spaces in one piece of cached text.
inline constexpr int cachedIndent = 48;

// Spaces, then `text`: one append when the indent is no deeper than the
// cached one (`padded` is cachedIndent spaces and the text).
inline void putIndented(std::string& out, const std::string& padded, int indent) {
    if (indent <= cachedIndent) {
        out.append(padded, std::size_t(cachedIndent - indent));
    } else {
        out.append(std::size_t(indent - cachedIndent), ' ');
        out += padded;
    }
}

// The label of a record field, escaped once: ,"name": for JSON, name: for
// lines (after cachedIndent spaces), and whether a number of its is a code
// (hex beside it).
struct Label {
    std::string json;
    std::string line;
    bool code;
};
Label makeLabel(const char* name);
template <auto Member>
const Label& labelOf(const char* name) {
    static const Label label = makeLabel(name);
    return label;
}

// {"type":NAME[,"name":LONG NAME] of a record type (the opening of
// renderViewJson), and the same followed by ,"fields":{ (for a record that
// shows no text).
struct Opening {
    std::string head;
    std::string withFields;
    // The record type's name on a line of its own, after cachedIndent spaces.
    std::string line;
};
Opening makeOpening(TypeId type);
template <class T>
const Opening& openingOf() {
    static const Opening opening = makeOpening(typeIdOf<T>());
    return opening;
}
// The same for a record type of the code tables, by its table index.
const Opening& openingOf(TypeId type);

// ---- the per-type renderers ------------------------------------------------------------
// Decode the record from its bytes (throwing the reader's errors before
// writing anything), then render: the lines of its fields at `indent`, or its
// JSON, the whole record ({"type":..,"fields":{..}}) or the fields alone.
struct RenderOps {
    void (*lines)(std::string& out, const Bytes& bytes, int indent);
    void (*json)(std::string& out, const Bytes& bytes, DumpState* state, bool whole);
};
const RenderOps* renderTable();

inline constexpr unsigned shards = 4;
constexpr unsigned shardOf(RecordIndex i) noexcept { return unsigned(i) % shards; }
template <unsigned P>
void fillShard(RenderOps* ops);
template <>
void fillShard<0>(RenderOps* ops);
template <>
void fillShard<1>(RenderOps* ops);
template <>
void fillShard<2>(RenderOps* ops);
template <>
void fillShard<3>(RenderOps* ops);

// Nested chunk sequences, label line included: every chunk through the
// table, a chunk that does not decode through its ordinary view. A triplet
// list that declares a code page or holds an object identifier in a fully
// qualified name goes whole through its ordinary view.
void chunksLines(std::string& out, const Chunks<T_>& cs, const Label& label, const char* name, int indent);
void chunksLines(std::string& out, const Chunks<PTX_>& cs, const Label& label, const char* name, int indent);
void chunksLines(std::string& out, const Chunks<MCF_>& cs, const Label& label, const char* name, int indent);
void chunksJson(std::string& out, const Chunks<T_>& cs, DumpState* state);
void chunksJson(std::string& out, const Chunks<PTX_>& cs, DumpState* state);
void chunksJson(std::string& out, const Chunks<MCF_>& cs, DumpState* state);

}  // namespace pressel::viewrender

#ifdef PRESSEL_VIEW_RENDER_SHARD
#include "pressel/records.hpp"

namespace pressel::viewrender {
namespace {

template <class T>
void recordLines(std::string& out, const T& v, int indent);
template <class T>
void recordJson(std::string& out, const T& v, DumpState* state, bool whole);

// The bytes a view shows of a raw buffer: its first viewRawLimit.
inline std::span<const byte> rawSlice(const Bytes& b) {
    const std::span<const byte> s = b.span();
    return s.first(std::min(s.size(), viewRawLimit));
}

// The number a field's view holds: for SCFL, the local id it selects.
template <class V>
bool numberOf(const V& x, std::int64_t& n) {
    if constexpr (NumField<V> || IntField<V>) {
        n = static_cast<std::int64_t>(x.value);
        return true;
    } else if constexpr (IsOpt<V>::value) {
        return x.value ? numberOf(*x.value, n) : false;
    } else {
        return false;
    }
}

// The bytes of the first field whose view is text or raw bytes (a name, a
// buffer, an absent optional field); false when there is none.
template <auto Member, class V>
int textSource(const V& x, std::span<const byte>& b) {
    if constexpr (std::same_as<V, Buffer0>) {
        if constexpr (viewOptOf<Member> == ViewOpt::Name) b = x.bytes.span();
        else b = rawSlice(x.bytes);
        return 1;
    } else if constexpr (std::same_as<V, Buffer2>) {
        b = rawSlice(x.bytes);
        return 1;
    } else if constexpr (std::same_as<V, Bytes>) {
        b = rawSlice(x);
        return 1;
    } else if constexpr (IsOpt<V>::value) {
        if (x.value) return textSource<Member>(*x.value, b);
        b = {};
        return 1;
    } else {
        return 0;
    }
}

// Field values -------------------------------------------------------------------------
template <class V>
concept FastField = NumField<V> || IntField<V> || AField<V> || std::same_as<V, N0> || std::same_as<V, Buffer0> ||
                    std::same_as<V, Buffer2> || std::same_as<V, Bytes> || IsOpt<V>::value ||
                    IsRecordVector<V>::value || std::same_as<V, Chunks<T_>> || std::same_as<V, Chunks<PTX_>> ||
                    std::same_as<V, Chunks<MCF_>>;

template <class V>
constexpr int numberWidth() {
    if constexpr (std::same_as<V, N1>) return 1;
    else if constexpr (std::same_as<V, N2> || std::same_as<V, I2>) return 2;
    else if constexpr (std::same_as<V, N3> || std::same_as<V, I3>) return 3;
    else return 4;
}

// The value of a field after its label; a nested chunk sequence writes its
// label itself.
template <auto Member, class V>
void valueLine(std::string& out, const V& x, const Label& label, int indent) {
    if constexpr (NumField<V> || IntField<V>) {
        numberLine(out, static_cast<std::int64_t>(x.value), numberWidth<V>(), label.code);
        out += '\n';
    } else if constexpr (std::same_as<V, N0>) {
        numberLine(out, 0, 4, label.code);
        out += '\n';
    } else if constexpr (AField<V>) {
        aValueLine(out, uint128(x.get()), storageSize(x));
        out += '\n';
    } else if constexpr (std::same_as<V, Buffer0>) {
        if constexpr (viewOptOf<Member> == ViewOpt::Name) nameLine(out, x.bytes.span());
        else hexLine(out, rawSlice(x.bytes));
        out += '\n';
    } else if constexpr (std::same_as<V, Buffer2>) {
        hexLine(out, rawSlice(x.bytes));
        out += '\n';
    } else if constexpr (std::same_as<V, Bytes>) {
        hexLine(out, rawSlice(x));
        out += '\n';
    } else if constexpr (IsOpt<V>::value) {
        if (x.value) valueLine<Member>(out, *x.value, label, indent);
        else out += "X''\n";
    } else if constexpr (IsRecordVector<V>::value) {
        using G = typename IsRecordVector<V>::group;
        out += sequenceTypeIdOf<Record<G>>()->name;
        out += ' ';
        putInt(out, std::int64_t(x.size()));
        out += x.size() == 1 ? " record\n" : " records\n";
        for (const Record<G>& g : x) {
            putIndented(out, openingOf<G>().line, indent + 2);
            recordLines(out, g.recordContent, indent + 4);
        }
    }
}

template <auto Member, class V>
void valueJson(std::string& out, const V& x, DumpState* state) {
    if constexpr (NumField<V> || IntField<V>) {
        putInt(out, static_cast<std::int64_t>(x.value));
    } else if constexpr (std::same_as<V, N0>) {
        out += '0';
    } else if constexpr (AField<V>) {
        aValueJson(out, uint128(x.get()), storageSize(x));
    } else if constexpr (std::same_as<V, Buffer0>) {
        if constexpr (viewOptOf<Member> == ViewOpt::Name) nameJson(out, x.bytes.span());
        else hexJson(out, rawSlice(x.bytes));
    } else if constexpr (std::same_as<V, Buffer2>) {
        hexJson(out, rawSlice(x.bytes));
    } else if constexpr (std::same_as<V, Bytes>) {
        hexJson(out, rawSlice(x));
    } else if constexpr (IsOpt<V>::value) {
        if (x.value) valueJson<Member>(out, *x.value, state);
        else out += "\"\"";
    } else if constexpr (IsRecordVector<V>::value) {
        out += '[';
        bool first = true;
        for (const auto& g : x) {
            if (!first) out += ',';
            first = false;
            recordJson(out, g.recordContent, state, true);
        }
        out += ']';
    } else {
        static_assert(IsChunks<V>::value);
        chunksJson(out, x, state);
    }
}

// Records --------------------------------------------------------------------------------
template <class T>
void extrasLines(std::string& out, const T& v, int indent) {
    if constexpr (requires(ViewRecord& r) { ViewExtras<T>::add(v, r); }) {
        ViewRecord r;
        ViewExtras<T>::add(v, r);
        for (const ViewField& f : r.fields) fieldLine(out, f, indent);
    }
}
template <class T>
void extrasJson(std::string& out, const T& v, DumpState* state, bool first) {
    if constexpr (requires(ViewRecord& r) { ViewExtras<T>::add(v, r); }) {
        ViewRecord r;
        ViewExtras<T>::add(v, r);
        for (const ViewField& f : r.fields) {
            if (!first) out += ',';
            first = false;
            appendJsonString(out, f.label.chars());
            out += ':';
            contentJson(out, f.content, state);
        }
    }
}

template <class T>
void recordLines(std::string& out, const T& v, int indent) {
    forEachField(v, [&](auto fd, const auto& x) {
        using V = std::remove_cvref_t<decltype(x)>;
        constexpr auto member = decltype(fd)::member;
        if constexpr (IsChunks<V>::value && FastField<V>) {
            chunksLines(out, x, labelOf<member>(fd.name), fd.name, indent);
        } else if constexpr (FastField<V>) {
            const Label& label = labelOf<member>(fd.name);
            putIndented(out, label.line, indent);
            valueLine<member>(out, x, label, indent);
        } else {
            fieldLine(out, ViewField{detail::fieldLabel<member>(fd.name), FieldView<V>::template view<member>(x)},
                      indent);
        }
    });
    extrasLines(out, v, indent);
}

template <class T>
void recordJson(std::string& out, const T& v, DumpState* state, bool whole) {
    constexpr bool showsText = [] {
        if constexpr (requires { RecordDecl<T>::tableIndex; }) {
            constexpr RecordIndex idx = RecordDecl<T>::tableIndex;
            return idx == idx_PTX_SCFL || idx == idx_PTX_TRN || idx == idx_PTX_RPS || idx == idx_PTX_Text;
        } else {
            return false;
        }
    }();
    if (whole && (!showsText || !state)) {
        out += openingOf<T>().withFields;
    } else if (whole) {
        out += openingOf<T>().head;
        if constexpr (requires { RecordDecl<T>::tableIndex; }) {
            constexpr RecordIndex idx = RecordDecl<T>::tableIndex;
            {
                if constexpr (idx == idx_PTX_SCFL) {
                    constexpr auto list = RecordDecl<T>::fields();
                    if constexpr (list.size >= 2) {
                        using D = std::tuple_element_t<1, decltype(list)>;
                        std::int64_t n = 0;
                        if (numberOf(v.*(D::member), n)) state->selectFont(std::uint8_t(n));
                    }
                } else if constexpr (idx == idx_PTX_TRN || idx == idx_PTX_RPS || idx == idx_PTX_Text) {
                    std::span<const byte> b;
                    bool found = false;
                    forEachField(v, [&](auto fd, const auto& x) {
                        if (!found && textSource<decltype(fd)::member>(x, b)) found = true;
                    });
                    if (found) textJson(out, b, *state);
                }
            }
        }
        out += ",\"fields\":{";
    } else {
        out += '{';
    }
    bool first = true;
    forEachField(v, [&](auto fd, const auto& x) {
        using V = std::remove_cvref_t<decltype(x)>;
        constexpr auto member = decltype(fd)::member;
        const Label& label = labelOf<member>(fd.name);
        out.append(label.json, first ? 1 : 0);
        first = false;
        if constexpr (FastField<V>) valueJson<member>(out, x, state);
        else contentJson(out, FieldView<V>::template view<member>(x), state);
    });
    extrasJson(out, v, state, first);
    out += '}';
    if (whole) out += '}';
}

template <class T>
T decodeFrom(const Bytes& b) {
    ByteReader r(b);
    return recGet<T>(r);
}

template <class T>
constexpr RenderOps makeOps() {
    return RenderOps{
        [](std::string& out, const Bytes& b, int indent) { recordLines(out, decodeFrom<T>(b), indent); },
        [](std::string& out, const Bytes& b, DumpState* state, bool whole) {
            recordJson(out, decodeFrom<T>(b), state, whole);
        },
    };
}

template <class T>
void add(RenderOps* ops) {
    constexpr RecordIndex i = RecordDecl<T>::tableIndex;
    if constexpr (shardOf(i) == PRESSEL_VIEW_RENDER_SHARD) ops[i] = makeOps<T>();
}

}  // namespace

template <>
void fillShard<PRESSEL_VIEW_RENDER_SHARD>(RenderOps* ops) {
#define PRESSEL_X(code, name) add<name>(ops);
    PRESSEL_EACH_RECORD_TYPE(PRESSEL_X)
#undef PRESSEL_X
}

}  // namespace pressel::viewrender
#endif
