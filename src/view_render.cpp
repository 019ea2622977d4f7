// The table of direct view renderers (view_render.hpp), nested chunk
// sequences, and the entry points the dump uses.
#include "view_render.hpp"

#include <cstring>

#include "pressel/records.hpp"

namespace pressel {

namespace viewrender {

namespace {
struct Table {
    RenderOps ops[idx_tableTypes];
    Opening openings[idx_tableTypes];
    Table() {
        fillShard<0>(ops);
        fillShard<1>(ops);
        fillShard<2>(ops);
        fillShard<3>(ops);
        static_assert(shards == 4, "every shard fills its entries");
        for (unsigned i = 0; i < idx_tableTypes; ++i) openings[i] = makeOpening(&tableType(RecordIndex(i)));
    }
};
const Table& table() {
    static const Table t;
    return t;
}

template <ChunkFamily C>
std::size_t countOf(const Chunks<C>& cs) {
    std::size_t n = 0;
    for (auto it = cs.begin(); it != cs.end(); ++it) ++n;
    return n;
}

// One nested chunk as a record of the list: its type's line and its fields
// below it, or its ordinary view when it does not decode.
template <ChunkFamily C>
void chunkLines(std::string& out, const C& c, int indent) {
    const TypeId type = chunkType(c).id;
    putIndented(out, openingOf(type).line, indent + 2);
    const std::size_t at = out.size();
    try {
        renderTable()[type->index].lines(out, packChunk(c), indent + 4);
    } catch (const Error&) {
        out.resize(at);
        renderViewLines(out, viewChunk(c), indent + 4);
    }
}

template <ChunkFamily C>
void chunkJson(std::string& out, const C& c, DumpState* state) {
    const TypeId type = chunkType(c).id;
    const std::size_t at = out.size();
    try {
        renderTable()[type->index].json(out, packChunk(c), state, true);
    } catch (const Error&) {
        out.resize(at);
        renderViewJson(out, viewChunk(c), state);
    }
}

template <ChunkFamily C>
void listLines(std::string& out, const Chunks<C>& cs, const Label& label, int indent, std::size_t n) {
    putIndented(out, label.line, indent);
    static const std::string sequence = std::string(sequenceTypeIdOf<C>()->name) + ' ';
    out += sequence;
    putInt(out, std::int64_t(n));
    out += n == 1 ? " record\n" : " records\n";
    for (const C& c : cs) chunkLines(out, c, indent);
}

template <ChunkFamily C>
void listJson(std::string& out, const Chunks<C>& cs, DumpState* state) {
    out += '[';
    bool first = true;
    for (const C& c : cs) {
        if (!first) out += ',';
        first = false;
        chunkJson(out, c, state);
    }
    out += ']';
}

// Whether the triplet list's view differs from its triplets' own views: it
// declares a code page its names are shown in, or holds a fully qualified
// name in object identifier form.
// Counts the triplets on the way: `n`.
bool viewedAsAList(const Chunks<T_>& cs, std::size_t& n) {
    bool declares = false;
    n = 0;
    for (const T_& c : cs) {
        ++n;
        if (c.frame != Frame::Item) continue;
        const Bytes& p = packChunk(c);
        if (c.code == 0x02 && p.size() >= 3 && p[2] == 0x10) return true;
        if (c.code == 0x01 || c.code == 0x50) declares = true;
    }
    return declares && declaredCodePage(cs) != 0;
}
}  // namespace

const RenderOps* renderTable() { return table().ops; }

const Opening& openingOf(TypeId type) { return table().openings[type->index]; }

void chunksLines(std::string& out, const Chunks<T_>& cs, const Label& label, const char* name, int indent) {
    std::size_t n = 0;
    if (viewedAsAList(cs, n)) fieldLine(out, ViewField{Bytes::fromStatic(name, std::strlen(name)), viewChunks(cs)}, indent);
    else listLines(out, cs, label, indent, n);
}
// Control sequences: the lines of each are kept by its bytes (they show
// nothing of the state).
void chunksLines(std::string& out, const Chunks<PTX_>& cs, const Label& label, const char*, int indent) {
    putIndented(out, label.line, indent);
    static const std::string sequence = std::string(sequenceTypeIdOf<PTX_>()->name) + ' ';
    out += sequence;
    const std::size_t n = countOf(cs);
    putInt(out, std::int64_t(n));
    out += n == 1 ? " record\n" : " records\n";
    thread_local ShortItemMemo memo;
    for (const PTX_& c : cs) {
        const std::span<const byte> b = packChunk(c).span();
        bool found = false;
        ShortItemMemo::Slot* slot = c.frame == Frame::Item ? memo.find(c.code, b, indent, found) : nullptr;
        if (found) {
            out += slot->text;
            continue;
        }
        const std::size_t at = out.size();
        chunkLines(out, c, indent);
        if (slot) memo.keep(*slot, b, indent, std::string_view(out).substr(at));
    }
}
void chunksLines(std::string& out, const Chunks<MCF_>& cs, const Label& label, const char*, int indent) {
    listLines(out, cs, label, indent, countOf(cs));
}

void chunksJson(std::string& out, const Chunks<T_>& cs, DumpState* state) {
    std::size_t n = 0;
    if (viewedAsAList(cs, n)) contentJson(out, viewChunks(cs), state);
    else listJson(out, cs, state);
}
// Control sequences: the JSON of each is kept by its bytes when it showed
// nothing of the state (every one but text and font selection).
void chunksJson(std::string& out, const Chunks<PTX_>& cs, DumpState* state) {
    thread_local ShortItemMemo memo;
    out += '[';
    bool first = true;
    for (const PTX_& c : cs) {
        if (!first) out += ',';
        first = false;
        const std::span<const byte> b = packChunk(c).span();
        bool found = false;
        // Without a state no text is shown: such JSON is kept apart.
        const int tag = state ? 1 : 0;
        ShortItemMemo::Slot* slot = c.frame == Frame::Item ? memo.find(c.code, b, tag, found) : nullptr;
        if (found) {
            out += slot->text;
            continue;
        }
        const std::size_t at = out.size();
        const std::uint64_t uses = state ? state->uses() : 0;
        chunkJson(out, c, state);
        if (slot && (!state || state->uses() == uses)) memo.keep(*slot, b, tag, std::string_view(out).substr(at));
    }
    out += ']';
}
void chunksJson(std::string& out, const Chunks<MCF_>& cs, DumpState* state) { listJson(out, cs, state); }

}  // namespace viewrender

namespace {
const viewrender::RenderOps& opsOf(TypeId type) {
    if (!type || type->index >= idx_tableTypes) throw Error("recordOps: not a record type of the code tables");
    return viewrender::renderTable()[type->index];
}
}  // namespace

void renderRecordLines(std::string& out, TypeId type, const Bytes& bytes, int indent) {
    opsOf(type).lines(out, bytes, indent);
}

void renderRecordJsonFields(std::string& out, TypeId type, const Bytes& bytes, DumpState* state) {
    opsOf(type).json(out, bytes, state, false);
}

}  // namespace pressel
