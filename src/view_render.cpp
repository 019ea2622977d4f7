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
    Table() {
        fillShard<0>(ops);
        fillShard<1>(ops);
        fillShard<2>(ops);
        fillShard<3>(ops);
        static_assert(shards == 4, "every shard fills its entries");
    }
};

template <ChunkFamily C>
std::size_t countOf(const Chunks<C>& cs) {
    std::size_t n = 0;
    for (auto it = cs.begin(); it != cs.end(); ++it) ++n;
    return n;
}

void countLine(std::string& out, const char* sequenceName, std::size_t n) {
    out += sequenceName;
    out += ' ';
    putInt(out, std::int64_t(n));
    out += n == 1 ? " record\n" : " records\n";
}

// One nested chunk as a record of the list: its type's line and its fields
// below it, or its ordinary view when it does not decode.
template <ChunkFamily C>
void chunkLines(std::string& out, const C& c, int indent) {
    const TypeId type = chunkType(c).id;
    out.append(std::size_t(indent + 2), ' ');
    out += type->name;
    out += '\n';
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
void listLines(std::string& out, const Chunks<C>& cs, const Label& label, int indent) {
    out.append(std::size_t(indent), ' ');
    out += label.line;
    countLine(out, sequenceTypeIdOf<C>()->name, countOf(cs));
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
bool viewedAsAList(const Chunks<T_>& cs) {
    for (const T_& c : cs) {
        if (c.frame != Frame::Item) continue;
        const Bytes& p = packChunk(c);
        if (c.code == 0x02 && p.size() >= 3 && p[2] == 0x10) return true;
    }
    return declaredCodePage(cs) != 0;
}
}  // namespace

const RenderOps* renderTable() {
    static const Table table;
    return table.ops;
}

void chunksLines(std::string& out, const Chunks<T_>& cs, const Label& label, const char* name, int indent) {
    if (viewedAsAList(cs)) fieldLine(out, ViewField{Bytes::fromStatic(name, std::strlen(name)), viewChunks(cs)}, indent);
    else listLines(out, cs, label, indent);
}
void chunksLines(std::string& out, const Chunks<PTX_>& cs, const Label& label, const char*, int indent) {
    listLines(out, cs, label, indent);
}
void chunksLines(std::string& out, const Chunks<MCF_>& cs, const Label& label, const char*, int indent) {
    listLines(out, cs, label, indent);
}

void chunksJson(std::string& out, const Chunks<T_>& cs, DumpState* state) {
    if (viewedAsAList(cs)) contentJson(out, viewChunks(cs), state);
    else listJson(out, cs, state);
}
void chunksJson(std::string& out, const Chunks<PTX_>& cs, DumpState* state) { listJson(out, cs, state); }
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
