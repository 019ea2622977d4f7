// Renaming resources: the filters of rename.hpp.
#include "pressel/rewrite/rename.hpp"

#include <cstring>

#include <algorithm>
#include <array>
#include <atomic>
#include <map>
#include <string_view>

#include "pressel/rewrite/deep_filters.hpp"
#include "pressel/text/ebcdic.hpp"
#include "pressel/records.hpp"

namespace pressel {

namespace {

constexpr char kBlank = char(0x40);

// The renames, keyed by the old name without its trailing blanks, and what
// each has renamed so far.
struct Table {
    std::map<std::string, std::size_t, std::less<>> index;
    std::vector<std::string> to;
    std::shared_ptr<std::vector<std::uint64_t>> counts;

    // The new name for `name`, counted as one field renamed; nothing when the
    // name is not renamed.
    const std::string* hit(std::string_view name) const {
        while (!name.empty() && name.back() == kBlank) name.remove_suffix(1);
        auto it = index.find(name);
        if (it == index.end()) return nullptr;
        ++(*counts)[it->second];
        return &to[it->second];
    }

    // Per old name, in the order of `index`: how far a search may move on
    // when the byte under the name's last position is b (Horspool's table).
    // Fields are short, so a table built once beats a search that sets up
    // its own for every field.
    struct Search {
        const std::string* name;
        std::array<std::uint8_t, 256> skip;
    };
    std::vector<Search> searches;

    void prepare() {
        searches.clear();
        for (const auto& entry : index) {
            Search s{&entry.first, {}};
            const std::size_t m = entry.first.size();
            const std::size_t cap = std::min<std::size_t>(m, 255);
            s.skip.fill(std::uint8_t(cap));
            for (std::size_t i = m > 255 ? m - 256 : 0; i + 1 < m; ++i)
                s.skip[byte(entry.first[i])] = std::uint8_t(std::min<std::size_t>(m - 1 - i, 255));
            searches.push_back(s);
        }
    }

    // True when some old name occurs in the bytes.
    bool mentioned(const Bytes& b) const {
        const byte* h = b.data();
        const std::size_t n = b.size();
        for (const Search& s : searches) {
            const std::size_t m = s.name->size();
            if (m > n) continue;
            const byte* name = reinterpret_cast<const byte*>(s.name->data());
            const byte first = name[0], last = name[m - 1];
            for (std::size_t at = 0; at + m <= n;) {
                const byte c = h[at + m - 1];
                // The first byte too before a comparison: digits and blanks,
                // which end many names, are common bytes.
                if (c == last && h[at] == first) {
                    std::size_t i = 1;
                    while (i + 1 < m && h[at + i] == name[i]) ++i;
                    if (i + 1 >= m) return true;
                }
                at += s.skip[c];
            }
        }
        return false;
    }

    // The rename of a name (trailing blanks not significant), or none.
    std::optional<std::size_t> find(std::string_view name) const {
        while (!name.empty() && name.back() == kBlank) name.remove_suffix(1);
        auto it = index.find(name);
        if (it == index.end()) return std::nullopt;
        return it->second;
    }

    RawEdit renameGroupsRaw(const Bytes& payload, std::vector<byte>& out) const;
    RawEdit editGroups(const Bytes& payload, std::vector<byte>& out) const;

    // Tells this table's edits apart from another's in the memo below, which
    // outlives any one table.
    std::uint64_t id = 0;
};

// A print file repeats its active environment page after page, so an MCF
// comes again with the same bytes: the edits of the last few are kept by
// those bytes (compared in full) and given again, with their renames counted
// again, instead of walking the groups anew.
struct GroupEditMemo {
    static constexpr std::size_t kSlots = 4;
    static constexpr std::size_t kMaxPayload = 4096;
    struct Slot {
        std::vector<byte> in, out;
        std::vector<std::size_t> hits;
        RawEdit result = RawEdit::Unsupported;
    };
    std::uint64_t owner = 0;
    std::array<Slot, kSlots> slots;
    std::size_t used = 0, next = 0;
};
std::atomic<std::uint64_t> gTableIds{0};
// The renames of the last group edit, by their index in the table.
thread_local std::vector<std::size_t> tGroupHits;
using TablePtr = std::shared_ptr<const Table>;

// ---- 8-byte name fields ----------------------------------------------------------
// The new name of an 8-byte field, blank-padded; throws when it does not fit.
std::string padded8(const std::string& to, const char* record) {
    if (to.size() > 8)
        throw Error("new name '" + ebcdicToUtf8(to) + "' (" + std::to_string(to.size()) +
                    " bytes) does not fit the 8-byte name field of " + record);
    std::string s = to;
    s.resize(8, kBlank);
    return s;
}

// Renames the 8-byte names at the given offsets of the bytes a record reader
// consumes (identifier, flag and reserved bytes, then the data; the
// extension and padding of the field are kept as they were). The chunk is
// kept as it came when no name matches; otherwise a copy with the names
// replaced is pushed.
void renameAt(const Table& t, ChunkWriter<AFP_>& w, const std::vector<std::size_t>& offsets, const char* record) {
    FieldFraming framing;
    const Bytes b = packChunk(w.input(), framing);
    std::vector<byte> data;
    for (std::size_t at : offsets) {
        if (at + 8 > b.size()) continue;
        const std::string* to = t.hit(b.slice(at, 8).chars());
        if (!to) continue;
        if (data.empty()) data.assign(b.begin(), b.end());
        const std::string name = padded8(*to, record);
        for (std::size_t i = 0; i < 8; ++i) data[at + i] = byte(name[i]);
    }
    if (data.empty()) return w.keep();
    // The introducer extension and the padding go back around the renamed data.
    w.push(frameChunk(w.input().code, Bytes::adopt(std::move(data)), framing));
}

// Where the data starts: after the identifier and the flag and reserved
// bytes (the two leading N3 fields of every structured-field record).
constexpr std::size_t kData = 6;

// Records that carry the 8-byte name of what they begin, end, include or
// invoke (RecordFacts<T>::nameAt, beside the record's declaration).
template <class T>
void addNameFilter(ChunkFilters<AFP_>& out, const TablePtr& t) {
    if constexpr (HasNameAt<T>) {
        out.push_back(rewrite<T>([t](const Lazy<T>&, ChunkWriter<AFP_>& w) {
            renameAt(*t, w, {kData + RecordFacts<T>::nameAt}, RecordDecl<T>::name);
        }));
    }
}

// Names in fixed-length repeating groups: groups of `len` bytes from `first`,
// the names at the given offsets in each group.
std::vector<std::size_t> groupNameOffsets(std::size_t size, std::size_t first, std::size_t len,
                                          std::initializer_list<std::size_t> inGroup) {
    std::vector<std::size_t> at;
    if (len == 0) return at;
    for (std::size_t g = first; g + len <= size; g += len)
        for (std::size_t o : inGroup)
            if (o + 8 <= len) at.push_back(g + o);
    return at;
}

void addGroupFilters(ChunkFilters<AFP_>& out, const TablePtr& t) {
    // MCF1: group length at data offset 0, groups from data offset 4; coded
    // font, code page and font character set names at 4, 12 and 20.
    out.push_back(rewrite<MCF1>([t](const Lazy<MCF1>&, ChunkWriter<AFP_>& w) {
        const Bytes b = packChunk(w.input());
        const std::size_t len = b.size() > kData ? b[kData] : 0;
        renameAt(*t, w, groupNameOffsets(b.size(), kData + 4, len, {4, 12, 20}), "MCF1");
    }));
    // MPS: 12-byte groups from data offset 4, the page segment name at 4.
    out.push_back(rewrite<MPS>([t](const Lazy<MPS>&, ChunkWriter<AFP_>& w) {
        const Bytes b = packChunk(w.input());
        const std::size_t len = b.size() > kData ? b[kData] : 0;
        renameAt(*t, w, groupNameOffsets(b.size(), kData + 4, len, {4}), "MPS");
    }));
    // MMO: 12-byte groups from data offset 4, the overlay name at 4.
    out.push_back(rewrite<MMO>([t](const Lazy<MMO>&, ChunkWriter<AFP_>& w) {
        const Bytes b = packChunk(w.input());
        const std::size_t len = b.size() > kData ? b[kData] : 0;
        renameAt(*t, w, groupNameOffsets(b.size(), kData + 4, len, {4}), "MMO");
    }));
    // CFI: 25-byte groups, the font character set and code page names at 0 and 8.
    out.push_back(rewrite<CFI>([t](const Lazy<CFI>&, ChunkWriter<AFP_>& w) {
        const Bytes b = packChunk(w.input());
        renameAt(*t, w, groupNameOffsets(b.size(), kData, 25, {0, 8}), "CFI");
    }));
}

// Fully qualified name types that do not name a resource: font family (X'07'),
// typeface (X'08'), attribute (X'0B'), process element (X'0C') and index
// element (X'CA') names.
bool namesResource(std::uint8_t fqnType) {
    switch (fqnType) {
    case 0x07: case 0x08: case 0x0B: case 0x0C: case 0xCA: return false;
    default: return true;
    }
}

std::string fromA8(A8 v) {
    std::string s(8, '\0');
    for (int i = 0; i < 8; ++i) s[std::size_t(i)] = char(byte(v.value >> (8 * (7 - i))));
    return s;
}
A8 toA8Name(const std::string& s) {
    std::uint64_t v = 0;
    for (char c : s) v = (v << 8) | byte(c);
    return A8(v);
}

// Appends n bytes (resize and copy: the inserting forms of vector draw
// false bounds warnings from GCC here).
inline void appendBytes(std::vector<byte>& out, const void* p, std::size_t n) {
    const std::size_t at = out.size();
    out.resize(at + n);
    if (n) std::memcpy(out.data() + at, p, n);
}

// The repeating groups of an MCF renamed straight from its bytes: the
// groups and their triplets are copied as they are, except each fully
// qualified name triplet whose name is renamed, which is written anew with
// the new name (the group's length follows its new size). These are the
// bytes the triplet filters give for such a field. Groups or triplets that
// do not frame, Resource Object Include triplets (whose 8-byte name field may
// not take the new name), introducer extensions, padding and sizes that
// outgrow their length fields are left to the filters. The counts are added
// to only when the edit is made.
RawEdit Table::renameGroupsRaw(const Bytes& payload, std::vector<byte>& out) const {
    const std::size_t n = payload.size();
    if (n > GroupEditMemo::kMaxPayload) return editGroups(payload, out);
    thread_local GroupEditMemo memo;
    if (memo.owner != id) {
        memo.owner = id;
        memo.used = memo.next = 0;
    }
    for (std::size_t i = 0; i < memo.used; ++i) {
        GroupEditMemo::Slot& s = memo.slots[i];
        if (s.in.size() != n || std::memcmp(s.in.data(), payload.data(), n) != 0) continue;
        if (s.result == RawEdit::Changed) {
            out.assign(s.out.begin(), s.out.end());
            for (std::size_t h : s.hits) ++(*counts)[h];
        }
        return s.result;
    }
    const RawEdit result = editGroups(payload, out);
    GroupEditMemo::Slot& s = memo.slots[memo.next];
    memo.next = (memo.next + 1) % GroupEditMemo::kSlots;
    if (memo.used < GroupEditMemo::kSlots) ++memo.used;
    s.in.assign(payload.begin(), payload.end());
    s.result = result;
    s.out.clear();
    s.hits.clear();
    if (result == RawEdit::Changed) {
        s.out = out;
        s.hits = tGroupHits;
    }
    return result;
}

RawEdit Table::editGroups(const Bytes& payload, std::vector<byte>& out) const {
    const std::size_t n = payload.size();
    if (n < 6 || hasExtensionOrPadding(payload)) return RawEdit::Unsupported;
    const byte* p = payload.data();
    std::vector<std::size_t>& hits = tGroupHits;
    hits.clear();
    out.clear();
    // Bytes up to `copied` are in `out`; what follows goes in only as a run
    // before a renamed triplet, or at the end.
    std::size_t copied = 0;
    for (std::size_t pos = 6; pos < n;) {
        if (n - pos < 2) return RawEdit::Unsupported;
        const std::size_t glen = (std::size_t(p[pos]) << 8) | p[pos + 1];
        if (glen < 2 || pos + glen > n) return RawEdit::Unsupported;
        const std::size_t gend = pos + glen;
        // Where the group's length lands in `out` once it is copied.
        const std::size_t groupOut = out.size() + (pos - copied);
        bool renamed = false;
        for (std::size_t t = pos + 2; t < gend;) {
            const std::size_t tlen = p[t];
            if (tlen < 2 || t + tlen > gend) return RawEdit::Unsupported;
            const byte code = p[t + 1];
            if (code == 0x6C) return RawEdit::Unsupported;
            if (code == 0x02 && tlen >= 4 && p[t + 3] == 0x00 && namesResource(p[t + 2])) {
                if (auto i = find(std::string_view(reinterpret_cast<const char*>(p + t + 4), tlen - 4))) {
                    const std::string& name = to[*i];
                    hits.push_back(*i);
                    appendBytes(out, p + copied, t - copied);
                    const byte head[4] = {static_cast<byte>(4 + name.size()), code, p[t + 2], 0x00};
                    appendBytes(out, head, 4);
                    appendBytes(out, name.data(), name.size());
                    copied = t + tlen;
                    renamed = true;
                }
            }
            t += tlen;
        }
        if (renamed) {
            const std::size_t newLen = out.size() + (gend - copied) - groupOut;
            if (newLen > 0xFFFF) return RawEdit::Unsupported;
            out[groupOut] = static_cast<byte>(newLen >> 8);
            out[groupOut + 1] = static_cast<byte>(newLen);
        }
        pos = gend;
    }
    if (hits.empty()) return RawEdit::Unchanged;
    appendBytes(out, p + copied, n - copied);
    if (out.size() > maxAfpPayload) return RawEdit::Unsupported;
    for (std::size_t i : hits) ++(*counts)[i];
    return RawEdit::Changed;
}

template <class T>
bool decodes(const Lazy<T>& rec) {
    try {
        (void)*rec;
        return true;
    } catch (const EndOfInput&) {
        return false;
    }
}

}  // namespace

std::string withoutTrailingBlanks(std::string ebcdic) {
    while (!ebcdic.empty() && ebcdic.back() == kBlank) ebcdic.pop_back();
    return ebcdic;
}

std::optional<std::string> ebcdicName(const std::string& utf8) {
    std::string latin1;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        auto c = byte(utf8[i]);
        if (c < 0x80) latin1 += char(c);
        else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size() && (byte(utf8[i + 1]) & 0xC0) == 0x80)
            latin1 += char(((c & 0x03) << 6) | (byte(utf8[++i]) & 0x3F));
        else return std::nullopt;
    }
    return latin1ToEbcdic(latin1);
}

RenameFilters renameFilters(const std::vector<Rename>& renames) {
    auto table = std::make_shared<Table>();
    table->id = ++gTableIds;
    table->counts = std::make_shared<std::vector<std::uint64_t>>(renames.size(), 0);
    for (std::size_t i = 0; i < renames.size(); ++i) {
        const std::string from = withoutTrailingBlanks(renames[i].from);
        if (from.empty() || renames[i].to.empty()) throw Error("rename: a name is empty");
        if (renames[i].to.size() > maxRenameLength)
            throw Error("rename: new name of " + std::to_string(renames[i].to.size()) +
                        " bytes is longer than any name field (" + std::to_string(maxRenameLength) + " bytes)");
        if (!table->index.emplace(from, i).second)
            throw Error("rename: '" + ebcdicToUtf8(from) + "' is renamed twice");
        table->to.push_back(renames[i].to);
    }
    table->prepare();
    const TablePtr t = table;

    RenameFilters out;
    out.counts = table->counts;
    out.mentioned = [t](const Bytes& b) { return t->mentioned(b); };
    out.rewriteRaw = [t](const AFP_& c, std::vector<byte>& bytes) {
        return chunkType(c).id == typeIdOf<MCF>() ? t->renameGroupsRaw(c.payload, bytes) : RawEdit::Unsupported;
    };
#define PRESSEL_X(code, name) addNameFilter<name>(out.filters, t);
    PRESSEL_AFP_CODES(PRESSEL_X)
#undef PRESSEL_X
    addGroupFilters(out.filters, t);

    NestedFilters nf;
    // A triplet too short for its fixed parameters names nothing and is kept.
    nf.triplets.push_back(rewrite<T_FQN>([t](const Lazy<T_FQN>& rec, ChunkWriter<T_>& w) {
        if (!decodes(rec) || rec->t_fqn_Format.value != 0x00 || !namesResource(rec->t_fqn_SubType.value))
            return w.keep();
        const std::string* to = t->hit(rec->t_fqn.bytes.chars());
        if (!to) return w.keep();
        T_FQN v = *rec;
        v.t_fqn.bytes = Bytes::copy(*to);
        w.push(v);
    }));
    nf.triplets.push_back(rewrite<T_ROI>([t](const Lazy<T_ROI>& rec, ChunkWriter<T_>& w) {
        if (!decodes(rec)) return w.keep();
        const std::string* to = t->hit(fromA8(rec->t_roi_ObjectName));
        if (!to) return w.keep();
        T_ROI v = *rec;
        v.t_roi_ObjectName = toA8Name(padded8(*to, "T_ROI"));
        w.push(v);
    }));
    for (auto& f : deepFilters(nf)) out.filters.push_back(std::move(f));
    // Every place a name is renamed holds the old name's bytes in one run of
    // the payload, so a structured field whose payload holds none of the old
    // names is passed on before any handler decodes it.
    for (ChunkFilter<AFP_>& f : out.filters)
        f.handler = [t, h = std::move(f.handler)](const AFP_& c) {
            return t->mentioned(c.payload) ? h(c) : std::vector<AFP_>{c};
        };
    return out;
}

}  // namespace pressel
