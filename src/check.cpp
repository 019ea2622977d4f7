// The stream validator.
#include "pressel/view/check.hpp"

#include <array>
#include <cstring>
#include <memory>
#include <tuple>

#include "afp_index.hpp"
#include "check_scan.hpp"
#include "pressel/catalogue.hpp"
#include "pressel/text/ebcdic.hpp"
#include "pressel/stream/nested.hpp"
#include "pressel/records.hpp"

namespace pressel {

const char* severityName(Severity s) noexcept {
    switch (s) {
    case Severity::Error: return "error";
    case Severity::Warning: return "warning";
    default: return "info";
    }
}

namespace {

using checkscan::familyOf;

template <class V>
struct IsGroupList : std::false_type {};
template <class G>
struct IsGroupList<std::vector<Record<G>>> : std::true_type {};

// The nested list of a record of type T, when T has one; `covered`, when
// given, gets the bytes the decoded record's fields cover.
template <class T>
bool listOf(const Bytes& packed, NestedList& out, std::size_t* covered = nullptr) {
    using Last = LastFieldOf<T>;
    using V = typename Last::type;
    if constexpr (IsChunks<V>::value) {
        ByteReader r(packed);
        T v = recGet<T>(r);
        if (covered) *covered = r.position();
        const V& cs = v.*(Last::member);
        out.family = familyOf<typename V::value_type>();
        out.bytes = cs.source();
        out.offset = packed.size() - cs.source().size();
        out.leadChained = cs.leadChained();
        out.groupsHoldTriplets = groupsHoldTriplets<T>();
        return true;
    } else if constexpr (HasHiddenGroups<T>) {
        ByteReader r(packed);
        T v = recGet<T>(r);
        if (covered) *covered = r.position();
        const Bytes& groups = (v.*RecordFacts<T>::hiddenGroups).bytes;
        out.family = Family::MCF;
        out.bytes = groups;
        out.offset = packed.size() - groups.size();
        out.leadChained = false;
        out.groupsHoldTriplets = groupsHoldTriplets<T>();
        return true;
    } else {
        (void)packed;
        (void)out;
        (void)covered;
        return false;
    }
}

bool listOfType(TypeId t, const Bytes& packed, NestedList& out, std::size_t* covered) {
    switch (t->index) {
#define PRESSEL_X(code, name) \
    case idx_##name: return listOf<name>(packed, out, covered);
        PRESSEL_AFP_CODES(PRESSEL_X)
#undef PRESSEL_X
    default: return false;
    }
}

template <class T>
constexpr bool endsInGroups() {
    return IsGroupList<typename LastFieldOf<T>::type>::value;
}

bool recordEndsInGroups(TypeId t) {
    switch (t->index) {
#define PRESSEL_X(code, name) \
    case idx_##name: return endsInGroups<name>();
        PRESSEL_AFP_CODES(PRESSEL_X)
#undef PRESSEL_X
    default: return false;
    }
}

// A field whose reading can fail only by running out of bytes, whatever
// the bytes say: a fixed-width number or string, or the rest of the record.
template <class V>
constexpr bool readsBySize() {
    return FixedWidthFieldType<V> || std::same_as<V, Buffer0> || IsChunks<V>::value;
}
// A record whose decoding succeeds or fails by its length alone: read field
// by field (no hook of its own), every field of the kind above.
template <class T>
constexpr bool decodesBySize() {
    if constexpr (requires(ByteReader& r) { RecordHooks<T>::get(r); }) {
        return false;
    } else {
        return []<class... D>(FieldList<D...>*) {
            return (readsBySize<typename D::type>() && ...);
        }(static_cast<decltype(RecordDecl<T>::fields())*>(nullptr));
    }
}
bool nestedDecodesBySize(TypeId t) {
    switch (t->index) {
#define PRESSEL_X(code, name) \
    case idx_##name: return decodesBySize<name>();
        PRESSEL_T_CODES(PRESSEL_X)
        PRESSEL_PTX_CODES(PRESSEL_X)
#undef PRESSEL_X
    default: return false;
    }
}

// Where member M of record T starts in the record's bytes, when every field
// before it has a fixed width.
template <class T, auto M>
constexpr std::size_t memberOffset() {
    std::size_t at = 0;
    bool found = false;
    [&]<class... D>(FieldList<D...>*) {
        bool fixed = true;
        auto step = [&]<class Dk>() {
            if constexpr (std::is_same_v<std::remove_cv_t<decltype(Dk::member)>, std::remove_cv_t<decltype(M)>>)
                if (Dk::member == M) found = true;
            if (found) return;
            if constexpr (FixedWidthFieldType<typename Dk::type>) at += std::size_t(Dk::type::width);
            else fixed = false;
        };
        (step.template operator()<D>(), ...);
        if (!fixed) throw "a field before the member has no fixed width";
    }(static_cast<decltype(RecordDecl<T>::fields())*>(nullptr));
    if (!found) throw "not a member of the record's field list";
    return at;
}
// Reads the fixed-width member M of a record from its bytes `p`.
template <auto M, class T>
void readMember(T& v, const byte* p) {
    using V = decltype(memberTypeOf(M));
    constexpr std::size_t at = memberOffset<T, M>();
    std::uint64_t x = 0;
    for (std::size_t i = 0; i < std::size_t(V::width); ++i) x = x << 8 | p[at + i];
    v.*M = V(x);
}

std::string hex(std::uint64_t v, int width) { return "X'" + zeropad(width, v) + "'"; }

// An 8-byte name as text when it reads as EBCDIC characters, else as hex.
std::string showName(const Bytes& name) {
    bool text = true;
    for (byte b : name)
        if (b < 0x40 || b == 0xFF) text = false;
    std::string out = text ? "'" : "X'";
    out += text ? ebcdicToUtf8(name.chars()) : hexString(name.span());
    out += '\'';
    return out;
}

std::string at(std::uint64_t offset) { return " at offset " + std::to_string(offset); }

// A FormatError's message without the offset it ends with (the finding carries it).
std::string withoutOffset(const std::string& msg, std::uint64_t offset) {
    std::string tail = at(offset);
    if (msg.size() >= tail.size() && msg.compare(msg.size() - tail.size(), tail.size(), tail) == 0)
        return msg.substr(0, msg.size() - tail.size());
    return msg;
}

struct Open {
    std::uint32_t code = 0;
    std::uint64_t offset = 0;
    bool named = false;  // the Begin carries a name
    byte name[8];
    Bytes nameBytes() const noexcept { return Bytes::fromStatic(name, named ? 8 : 0); }
};

using checkscan::Answer;

class Checker {
public:
    // With `tables`, records and nested items are measured against the
    // tables of check_scan.hpp and decoded only when those cannot tell or
    // find a payload too short; without, every one is decoded.
    // Records are decoded with the group lengths `lengths` has learnt.
    Checker(const std::function<void(const Finding&)>& report, const DecodeContext& lengths, bool tables)
        : report_(report), lengths_(lengths), tables_(tables) {}

    void add(std::uint64_t offset, Severity s, std::string msg) {
        if (s == Severity::Error) ++errors_;
        report_(Finding{offset, s, std::move(msg)});
    }

    // The common case kept lean: a field of a known type, without an
    // extension or padding, whose record the tables pass. Every other field
    // (and every field when decoding is asked for) goes the general way,
    // which reports in the same order; the tables' look has no effect of its
    // own, so the general way starts afresh.
    void field(const AFP_& c, std::uint64_t offset, std::uint64_t payloadAt) {
        const byte* const d = c.payload.data();
        const std::size_t n = c.payload.size();
        if (!tables_ || (n >= 6 && (d[3] & 0x88) != 0)) [[unlikely]]
            return fieldInGeneral(c, offset, payloadAt);
        const RecordIndex index = afpIndexOf(c.code);
        checkscan::FieldScan scan;
        if (index == idx_Unknown || checkscan::fieldScans[index](d, n, scan) != Answer::Fits) [[unlikely]]
            return fieldInGeneral(c, offset, payloadAt);

        if ((c.code >> 8) == 0xD3A8) begin(c, c.payload, offset);
        else if ((c.code >> 8) == 0xD3A9) end(c, c.payload, offset);
        const char* const name = tableType(index).name;
        if (index == idx_PGD) pageExtentOf(d, offset);
        if (scan.covered < n) [[unlikely]]
            notRead(name, n - scan.covered, payloadAt + scan.covered);
        listIn(name, scan.list, d + scan.listAt, n - scan.listAt, scan.groupsHoldTriplets, scan.leadChained,
               payloadAt + scan.listAt);
    }

    // Bytes after the last field a record reads.
    [[gnu::noinline]] void notRead(const char* name, std::size_t left, std::uint64_t at) {
        add(at, Severity::Info, std::string(name) + ": " + std::to_string(left) + " bytes at the end are not read");
    }

    // A record's nested list over its raw bytes.
    void listIn(const char* name, Family family, const byte* p, std::size_t n, bool groupsHoldTriplets,
                bool leadChained, std::uint64_t base) {
        switch (family) {
        case Family::T: tripletsIn(name, 0, p, n, base); break;
        case Family::MCF: groupsIn(name, p, n, groupsHoldTriplets, base); break;
        case Family::PTX: controlsIn(name, p, n, leadChained, base); break;
        default: break;
        }
    }

    // The field is looked at through slices that own nothing: every slice,
    // record and nested item cut from it below lives only during this call,
    // so no reference count is taken per slice (which, on small fields, cost
    // more than the checks themselves).
    [[gnu::noinline]] void fieldInGeneral(const AFP_& owned, std::uint64_t offset, std::uint64_t payloadAt) {
        const AFP_ c{owned.code, Bytes::fromStatic(owned.payload.data(), owned.payload.size())};
        const TypeId t = chunkType(c).id;
        // The type name goes into a message only when there is a finding.
        const char* const name = t->name;
        if (t->index == idx_Unknown) {
            add(offset, Severity::Warning, "structured field identifier " + hex(c.code, 3) + " is not in the tables");
        }
        // Almost every field is its own record bytes: only a flag for an
        // extension or padding makes packChunk cut them out.
        Bytes repacked;
        const bool framed = hasExtensionOrPadding(c.payload);
        if (framed) repacked = packChunk(c);
        const Bytes& packed = framed ? repacked : c.payload;
        std::size_t ext = 0;
        if (packed.data() != c.payload.data() && (c.payload[3] & 0x80)) ext = c.payload[6];
        auto streamOffset = [&](std::size_t p) { return payloadAt + (p < 6 ? p : p + ext); };

        if ((c.code >> 8) == 0xD3A8) begin(c, packed, offset);
        else if ((c.code >> 8) == 0xD3A9) end(c, packed, offset);

        if (t->index == idx_Unknown) return;
        checkscan::FieldScan scan;
        const Answer answer = tables_ ? checkscan::scanField(t->index, packed.data(), packed.size(), scan) : Answer::Decode;
        if (answer == Answer::Short) return tooShort(name, packed.size(), offset);
        if (answer == Answer::Fits) {
            const std::size_t n = packed.size(), covered = scan.covered;
            if (t->index == idx_PGD) pageExtentOf(packed.data(), offset);
            if (covered < n) notRead(name, n - covered, streamOffset(covered));
            listIn(name, scan.list, packed.data() + scan.listAt, n - scan.listAt, scan.groupsHoldTriplets,
                   scan.leadChained, streamOffset(scan.listAt));
            return;
        }
        // One decode gives both the bytes the record covers and, for a
        // record that has one, its nested list.
        NestedList list;
        bool hasList = false;
        std::size_t covered = 0;
        const DecodeScope scope(lengths_);
        try {
            hasList = listOfType(t, packed, list, &covered);
            if (!hasList) covered = recordOps(t).covered(packed);
        } catch (const Error&) {
            return tooShort(name, packed.size(), offset);
        }
        const bool groups = recordEndsInGroups(t);
        if (t->index == idx_PGD) pageExtent(packed, offset);
        if (covered < packed.size()) {
            if (groups)
                add(streamOffset(covered), Severity::Warning,
                    std::string(name) + ": " + std::to_string(packed.size() - covered) +
                        " bytes at the end do not make a whole repeating group");
            else
                notRead(name, packed.size() - covered, streamOffset(covered));
        }

        if (!hasList) return;
        const std::uint64_t base = streamOffset(list.offset);
        if (tables_)
            return listIn(name, list.family, list.bytes.data(), list.bytes.size(), list.groupsHoldTriplets,
                          list.leadChained, base);
        switch (list.family) {
        case Family::T: triplets(name, 0, list.bytes, base); break;
        case Family::MCF: {
            NestedCursor cur;
            MCF_ g;
            std::size_t k = 0;
            for (std::size_t pos = 0; nextNested(list.bytes, cur, g); pos = cur.pos, ++k) {
                if (g.frame == Frame::Raw) {
                    groupsDoNotFrame(name, g.payload.size(), base + pos);
                    break;
                }
                if (list.groupsHoldTriplets) triplets(name, k + 1, g.payload, base + pos + 2);
            }
            break;
        }
        case Family::PTX: controls(name, list, base); break;
        default: break;
        }
    }

    void tooShort(const char* name, std::size_t size, std::uint64_t offset) {
        add(offset, Severity::Warning,
            std::string(name) + " of " + std::to_string(size) + " bytes is too short for its record's fixed parameters");
    }

    // ---- nested items over the raw bytes, measured against the tables ----
    // Each walk frames its items as nextNested does, item for item; a
    // finding's words are put together only when there is one.

    // The repeating groups of a record: a 2-byte length that counts itself.
    void groupsIn(const char* name, const byte* p, std::size_t n, bool holdTriplets, std::uint64_t base) {
        std::size_t pos = 0;
        for (std::size_t k = 1; pos < n; ++k) {
            const std::size_t len = n - pos < 2 ? 0 : (std::size_t(p[pos]) << 8 | p[pos + 1]);
            if (len < 2 || len > n - pos) return groupsDoNotFrame(name, n - pos, base + pos);
            if (holdTriplets) tripletsIn(name, k, p + pos + 2, len - 2, base + pos + 2);
            pos += len;
        }
    }

    // The loops below keep to framing and one table look-up per item; an
    // item the table does not pass (too short, not in the tables, or of a
    // type that needs decoding) goes to the out-of-line functions after them.
    void tripletsIn(const char* name, std::size_t group, const byte* p, std::size_t n, std::uint64_t base) {
        std::size_t pos = 0;
        while (pos < n) {
            const std::size_t len = p[pos];
            if (len < 2 || len > n - pos) [[unlikely]]
                return tripletDoesNotFrame(placeOf(name, group), len, n - pos, base + pos);
            if (len - 1 < checkscan::tripletSure[p[pos + 1]]) [[unlikely]]
                tripletNotPassed(name, group, p + pos, base + pos);
            pos += len;
        }
    }

    // After the walk `inChain` tells whether the last item was a control
    // sequence with an odd function type: code points and bytes that do not
    // frame both leave it clear.
    void controlsIn(const char* where, const byte* p, std::size_t n, bool leadChained, std::uint64_t base) {
        const byte* q = p;
        const byte* const end = p + n;
        bool inChain = leadChained;
        const byte* lastItem = p;  // where the last control sequence starts, prefix included
        const byte* lastLen = p;   // its length byte
        while (q < end) {
            const byte* at = q;
            if (!inChain) {
                if (!(at[0] == 0x2B && end - at > 1 && at[1] == 0xD3)) {
                    // Code points up to the next control-sequence prefix.
                    q = p + nextPrefix(p, std::size_t(at + 1 - p), n);
                    continue;
                }
                at += 2;
            }
            const std::size_t len = at < end ? *at : 0;
            if (len < 2 || len > std::size_t(end - at)) [[unlikely]] {
                controlsDoNotFrame(where, std::size_t(end - q), base + std::size_t(q - p));
                inChain = false;
                break;
            }
            const byte code = at[1];
            if (len - 1 < checkscan::controlSure[code]) [[unlikely]]
                controlNotPassed(where, at, base + std::size_t(q - p));
            inChain = (code & 1) != 0;
            lastItem = q;
            lastLen = at;
            q = at + len;
        }
        if (inChain) chainDoesNotEnd(where, lastLen[1], base + std::size_t(lastItem - p));
    }

    static std::string placeOf(const char* name, std::size_t group) {
        return group ? std::string(name) + " group " + std::to_string(group) : std::string(name);
    }

    // `item` points at the item's length byte.
    [[gnu::noinline]] void tripletNotPassed(const char* name, std::size_t group, const byte* item, std::uint64_t at) {
        const std::size_t len = item[0];
        const byte code = item[1];
        const checkscan::NestedCode& e = checkscan::tripletCodes[code];
        if (e.byLength == Answer::Fits) {
            if (e.fitsLength(len - 1)) return;
            shortFound(placeOf(name, group), "triplet", e.index, code, len, at);
        } else if (e.index == idx_T_Unknown) {
            unknownTriplet(placeOf(name, group), code, at);
        } else {
            const T_ x{code, Bytes::fromStatic(item + 1, len - 1), Frame::Item};
            shortItem([&] { return placeOf(name, group); }, "triplet", x, at);
        }
    }
    [[gnu::noinline]] void controlNotPassed(const char* where, const byte* item, std::uint64_t at) {
        const std::size_t len = item[0];
        const byte code = item[1];
        const checkscan::NestedCode& e = checkscan::controlCodes[code];
        if (e.byLength == Answer::Fits) {
            if (e.fitsLength(len - 1)) return;
            shortFound(where, "control sequence", e.index, code, len, at);
        } else if (e.index == idx_PTX_Unknown) {
            unknownControl(where, code, at);
        } else {
            const PTX_ x{code, Bytes::fromStatic(item + 1, len - 1), Frame::Item};
            shortItem([&] { return std::string(where); }, "control sequence", x, at);
        }
    }

    static std::size_t nextPrefix(const byte* p, std::size_t k, std::size_t n) {
        while (k < n) {
            const void* hit = std::memchr(p + k, 0x2B, n - k);
            if (!hit) return n;
            k = std::size_t(static_cast<const byte*>(hit) - p);
            if (k + 1 < n && p[k + 1] == 0xD3) return k;
            ++k;
        }
        return n;
    }

    // ---- the findings about nested items, shared by both walks ----
    void groupsDoNotFrame(const char* name, std::size_t left, std::uint64_t at) {
        add(at, Severity::Error,
            std::string(name) + ": repeating-group length does not add up (" + std::to_string(left) +
                " bytes left do not frame as a group)");
    }
    void tripletDoesNotFrame(const std::string& where, std::size_t len, std::size_t left, std::uint64_t at) {
        add(at, Severity::Error,
            where + ": triplet length " + std::to_string(len) + " does not add up (" + std::to_string(left) + " byte" +
                (left == 1 ? "" : "s") + " left)");
    }
    void unknownTriplet(const std::string& where, std::uint8_t code, std::uint64_t at) {
        add(at, Severity::Warning, where + ": triplet identifier " + hex(code, 1) + " is not in the tables");
    }
    void controlsDoNotFrame(const char* where, std::size_t left, std::uint64_t at) {
        add(at, Severity::Error,
            std::string(where) + ": control-sequence length does not add up (" + std::to_string(left) +
                " bytes left do not frame as a control sequence)");
    }
    void unknownControl(const char* where, std::uint8_t code, std::uint64_t at) {
        add(at, Severity::Warning,
            std::string(where) + ": control-sequence function type " + hex(code, 1) + " is not in the tables");
    }
    void chainDoesNotEnd(const char* where, std::uint8_t code, std::uint64_t at) {
        add(at, Severity::Warning,
            std::string(where) + ": control-sequence chain does not end: the last control sequence of the presentation text "
                    "(function type " + hex(code, 1) + ") announces another, and a chain does not continue "
                    "into the next structured field");
    }
    // `size` counts the item's length byte.
    void shortFound(const std::string& where, const char* kind, std::uint16_t type, std::uint8_t code, std::size_t size,
                    std::uint64_t at) {
        add(at, Severity::Warning,
            where + ": " + kind + " " + tableType(RecordIndex(type)).name + " (" + hex(code, 1) + ") of " +
                std::to_string(size) + " bytes is too short for its record; it is kept as it is");
    }

    // A page must have an area: both 3-byte extents (each split into a
    // 1-byte and a 2-byte field) taken whole.
    void pageExtent(const Bytes& packed, std::uint64_t offset) {
        ByteReader r(packed);
        const PGD v = recGet<PGD>(r);
        noArea(v, offset);
    }
    // The same from the record bytes of a PGD known to hold its fixed
    // fields: only the four fields of the extents are read.
    void pageExtentOf(const byte* p, std::uint64_t offset) {
        PGD v{};
        readMember<&PGD::pgd_Field7>(v, p);
        readMember<&PGD::pgd_XSize>(v, p);
        readMember<&PGD::pgd_Field9>(v, p);
        readMember<&PGD::pgd_YSize>(v, p);
        noArea(v, offset);
    }
    void noArea(const PGD& v, std::uint64_t offset) {
        const std::uint32_t x = v.xSize().value, y = v.ySize().value;
        if (x == 0 || y == 0)
            add(offset, Severity::Warning,
                "PGD: the page has no area (extent " + std::to_string(x) + " by " + std::to_string(y) + ")");
    }

    // The triplets of a record (group 0) or of its repeating group `group`
    // (the first is 1); the place a finding names is put together only when
    // there is a finding.
    void triplets(const char* name, std::size_t group, const Bytes& bytes, std::uint64_t base) {
        auto where = [&] { return group ? std::string(name) + " group " + std::to_string(group) : std::string(name); };
        NestedCursor cur;
        T_ x;
        for (std::size_t pos = 0; nextNested(bytes, cur, x); pos = cur.pos) {
            if (x.frame == Frame::Raw) return tripletDoesNotFrame(where(), bytes[pos], x.payload.size(), base + pos);
            if (chunkType(x).id->index == idx_T_Unknown) unknownTriplet(where(), x.code, base + pos);
            else shortItem(where, "triplet", x, base + pos);
        }
    }

    // A nested item that frames but is too short for its record's fixed
    // parameters: every command keeps it as it is (and passes over it).
    //
    // For a type that decodes by its length alone, the outcome is kept per
    // length (an item's payload is under 255 bytes), so each length of each
    // such type is decoded once per stream.
    template <ChunkFamily C, class Where>
    void shortItem(const Where& where, const char* kind, const C& x, std::uint64_t at) {
        const TypeId t = chunkType(x).id;
        const std::size_t n = x.payload.size();
        std::uint8_t* known = nullptr;
        if (n < 255 && t->index < idx_tableTypes) {
            std::int8_t& by = bySize_[t->index];
            if (by == 0) by = nestedDecodesBySize(t) ? 1 : -1;
            if (by > 0) {
                auto& row = outcomes_[t->index];
                if (!row) row = std::make_unique<std::uint8_t[]>(255);
                known = &row[n];
            }
        }
        bool fits = true;
        if (known && *known != kUnknown) {
            fits = *known == kFits;
        } else {
            try {
                const DecodeScope scope(lengths_);
                (void)recordOps(t).covered(packChunk(x));
            } catch (const Error&) {
                fits = false;
            }
            if (known) *known = fits ? kFits : kShort;
        }
        if (!fits) shortFound(where(), kind, t->index, x.code, x.payload.size() + 1, at);
    }

    void controls(const char* where, const NestedList& list, std::uint64_t base) {
        NestedCursor cur;
        cur.inChain = list.leadChained;
        PTX_ x;
        bool lastOdd = false;
        std::uint64_t lastAt = 0;
        std::uint8_t lastCode = 0;
        for (std::size_t pos = 0; nextNested(list.bytes, cur, x); pos = cur.pos) {
            if (x.frame == Frame::Raw) {
                controlsDoNotFrame(where, x.payload.size(), base + pos);
                lastOdd = false;
                break;
            }
            if (x.frame == Frame::Text) {
                lastOdd = false;
                continue;
            }
            if (chunkType(x).id->index == idx_PTX_Unknown) unknownControl(where, x.code, base + pos);
            else shortItem([&] { return std::string(where); }, "control sequence", x, base + pos);
            lastOdd = (x.code & 1) != 0;
            lastAt = base + pos;
            lastCode = x.code;
        }
        // Each presentation-text field is read on its own: a chain does not
        // continue into the next one.
        if (lastOdd) chainDoesNotEnd(where, lastCode, lastAt);
    }

    void begin(const AFP_& c, const Bytes& packed, std::uint64_t offset) {
        // The name is copied: the field's bytes are gone by the time its End comes.
        Open& o = open_.emplace_back();
        o.code = c.code;
        o.offset = offset;
        o.named = packed.size() >= 14;
        if (o.named) std::memcpy(o.name, packed.data() + 6, 8);
        ++openOf_[c.code & 0xFF];
    }

    // Drops the open Begins from index k on.
    void closeFrom(std::size_t k) {
        for (std::size_t i = k; i < open_.size(); ++i) --openOf_[open_[i].code & 0xFF];
        open_.resize(k);
    }

    // Most Ends close the innermost open Begin.
    void end(const AFP_& c, const Bytes& packed, std::uint64_t offset) {
        const std::uint32_t want = (c.code & 0xFF) | 0xD3A800;
        if (open_.empty() || open_.back().code != want) [[unlikely]]
            return endInGeneral(c, packed, offset);
        endNames(c, packed, offset, open_.back());
        --openOf_[want & 0xFF];
        open_.pop_back();
    }

    // An End names its Begin's name, or X'FFFF...' for any name.
    void endNames(const AFP_& c, const Bytes& packed, std::uint64_t offset, const Open& b) {
        const byte* p = packed.data();
        if (packed.size() >= 14 && b.named && !(p[6] == 0xFF && p[7] == 0xFF) && std::memcmp(p + 6, b.name, 8) != 0) {
            const Bytes en = packed.slice(6, 8);
            add(offset, Severity::Error,
                std::string("End ") + chunkType(c).name() + " names " + showName(en) + " but its Begin " +
                    std::string(afpTypeOf(b.code)->name) + at(b.offset) + " names " + showName(b.nameBytes()));
        }
    }

    [[gnu::noinline]] void endInGeneral(const AFP_& c, const Bytes& packed, std::uint64_t offset) {
        const char* const name = chunkType(c).name();
        const std::uint32_t want = (c.code & 0xFF) | 0xD3A800;
        // Counted per identifier, so that an End without a Begin costs no
        // walk over the open Begins (the walk below passes only Begins that
        // this End then closes).
        std::size_t k = 0;
        if (openOf_[want & 0xFF] > 0) {
            k = open_.size();
            while (k > 0 && open_[k - 1].code != want) --k;
        }
        if (k == 0) {
            std::string msg = std::string("End ") + name + " without a matching Begin";
            if (!open_.empty())
                msg += " (the innermost open Begin is " + std::string(afpTypeOf(open_.back().code)->name) + at(open_.back().offset) + ")";
            add(offset, Severity::Error, msg);
            return;
        }
        // Begins opened inside the one this End closes were never ended.
        for (std::size_t i = open_.size(); i > k; --i) {
            const Open& o = open_[i - 1];
            add(o.offset, Severity::Error,
                "Begin " + std::string(afpTypeOf(o.code)->name) + " is not ended before End " + name + at(offset) +
                    " closes the Begin " + std::string(afpTypeOf(want)->name) + at(open_[k - 1].offset));
        }
        endNames(c, packed, offset, open_[k - 1]);
        closeFrom(k - 1);
    }

    void finish() {
        for (const Open& o : open_)
            add(o.offset, Severity::Error, "Begin " + std::string(afpTypeOf(o.code)->name) + " is never ended");
        closeFrom(0);
    }

    std::size_t errors() const noexcept { return errors_; }

private:
    const std::function<void(const Finding&)>& report_;
    const DecodeContext& lengths_;
    const bool tables_;
    std::vector<Open> open_;
    // Open Begins per identifier: every Begin is X'D3A8xx', so its last byte tells them apart.
    std::array<std::size_t, 256> openOf_{};
    // Per nested record type: whether it decodes by its length alone (1),
    // not (-1) or not yet known (0); and for those that do, the outcome per
    // payload length.
    static constexpr std::uint8_t kUnknown = 0, kFits = 1, kShort = 2;
    std::int8_t bySize_[idx_tableTypes] = {};
    std::unique_ptr<std::uint8_t[]> outcomes_[idx_tableTypes];
    std::size_t errors_ = 0;
};

}  // namespace

bool nestedListOf(const AFP_& c, NestedList& out) { return listOfType(chunkType(c).id, packChunk(c), out, nullptr); }

namespace {

// The checks fed one structured field at a time (StreamChecker, checkStream).
struct CheckRun {
    CheckRun(std::function<void(const Finding&)> r, bool tables) : report(std::move(r)), ck(report, lengths, tables) {}
    std::function<void(const Finding&)> report;
    // Font and code page indexes are read with the group lengths their
    // control records declare.
    DecodeContext lengths;
    Checker ck;
    std::uint64_t fields = 0;

    void field(const AFP_& c, AfpReader& reader) {
        ++fields;
        lengths.observe(c);
        std::uint64_t head = 3;
        if (reader.framing() == Framing::NoIntroducer) head = 2;
        else if (reader.framing() == Framing::Rdw || reader.framing() == Framing::BdwRdw)
            head = reader.rawRef().length - c.payload.size();
        ck.field(c, reader.offset(), reader.offset() + head);
    }

    void failed(const Error& e, const AfpReader& reader) {
        if (const auto* fe = dynamic_cast<const FormatError*>(&e))
            ck.add(fe->offset(), Severity::Error, withoutOffset(fe->what(), fe->offset()));
        else
            ck.add(reader.consumed(), Severity::Error, e.what());
    }

    void finish(const AfpReader& reader) {
        if (fields == 0 && reader.consumed() == 0 && ck.errors() == 0)
            ck.add(0, Severity::Warning, "the stream holds no structured field");
        ck.finish();
    }
};

std::size_t runCheck(std::unique_ptr<ByteSource> src, const std::function<void(const Finding&)>& report,
                     ReaderLimits limits, bool tables) {
    CheckRun ck(report, tables);
    AfpReader reader(std::move(src), limits);
    AFP_ c;
    // Only the reader's failures and the record machinery's are findings; a
    // failure of `report` (a full disk) ends the check.
    for (;;) {
        try {
            if (!reader.next(c)) break;
        } catch (const Error& e) {
            ck.failed(e, reader);
            break;
        }
        try {
            ck.field(c, reader);
        } catch (const IoError&) {
            throw;
        } catch (const Error& e) {
            ck.failed(FormatError(e.what(), reader.offset()), reader);
            break;
        }
    }
    ck.finish(reader);
    return ck.ck.errors();
}

}  // namespace

struct StreamChecker::Impl : CheckRun {
    using CheckRun::CheckRun;
};

StreamChecker::StreamChecker(std::function<void(const Finding&)> report)
    : impl_(std::make_unique<Impl>(std::move(report), true)) {}
StreamChecker::~StreamChecker() = default;

void StreamChecker::field(const AFP_& c, AfpReader& reader) { impl_->field(c, reader); }
void StreamChecker::failed(const Error& e, const AfpReader& reader) { impl_->failed(e, reader); }
void StreamChecker::finish(const AfpReader& reader) { impl_->finish(reader); }
std::size_t StreamChecker::errors() const noexcept { return impl_->ck.errors(); }

std::size_t checkStream(std::unique_ptr<ByteSource> src, const std::function<void(const Finding&)>& report,
                        ReaderLimits limits) {
    return runCheck(std::move(src), report, limits, true);
}

std::size_t checkscan::checkStreamWith(std::unique_ptr<ByteSource> src, const std::function<void(const Finding&)>& report,
                                       bool tables, ReaderLimits limits) {
    return runCheck(std::move(src), report, limits, tables);
}

std::vector<Finding> checkStream(std::unique_ptr<ByteSource> src, ReaderLimits limits) {
    std::vector<Finding> out;
    checkStream(std::move(src), [&](const Finding& f) { out.push_back(f); }, limits);
    return out;
}

}  // namespace pressel
