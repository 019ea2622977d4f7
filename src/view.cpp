// Views: building contents, views of nested chunks, text forms and the
// renderings the dump uses.
#include "pressel/view.hpp"

#include <cstdio>

#include "pressel/text/detail/decode_codepage.hpp"
#include "pressel/text/ebcdic.hpp"
#include "pressel/core/strings.hpp"

namespace pressel {

bool operator==(const ViewData& a, const ViewData& b) { return a.type == b.type && a.records == b.records; }

TypeId viewErrorTypeId() noexcept {
    static const TypeInfo info{"Error", Family::Other, 0xFFFF};
    return &info;
}

TypeId viewTextTypeId() noexcept {
    static const TypeInfo info{"Text", Family::Other, 0xFFFF};
    return &info;
}

namespace {
const char* alternativeName(const ViewContent& c) {
    static const char* const names[] = {"ViewNumber", "ViewString", "ViewNStr", "ViewAStr", "ViewData"};
    return names[c.index()];
}
const char* typeName(TypeId t) { return t ? t->name : "?"; }
}  // namespace

std::int64_t vc_number(const ViewContent& c) {
    if (const ViewNumber* n = std::get_if<ViewNumber>(&c)) return n->value;
    throw Error(std::string("vc_number: the content is a ") + alternativeName(c) + ", not a ViewNumber");
}

ViewContent viewString(uint128 value, TypeId type, int storageSize) {
    ViewString s{type, std::string(std::size_t(storageSize > 0 ? storageSize : 0), '\0')};
    for (int i = 0; i < storageSize; ++i)
        s.bytes[std::size_t(i)] = static_cast<char>(static_cast<byte>(value >> (8 * (storageSize - 1 - i))));
    return s;
}

ViewContent viewAStr(TypeId type, const Bytes& (*toBytes)(const Buffer0&), const Buffer0& v) {
    return ViewAStr{type, fromAStr(toBytes(v))};
}

// ---- nested chunks ------------------------------------------------------------------
namespace {
ViewRecord undecodedView(TypeId type, const Bytes& bytes, const char* message) {
    static const Bytes rawLabel = Bytes::fromStatic("raw", 3);
    static const Bytes errorLabel = Bytes::fromStatic("error", 5);
    ViewRecord r{type, {}};
    r.fields.push_back(ViewField{rawLabel, viewRaw(fieldTypeIdOf<Buffer0>(), bytes)});
    r.fields.push_back(ViewField{errorLabel, ViewAStr{viewErrorTypeId(), message}});
    return r;
}

template <ChunkFamily C>
ViewRecord viewOf(const C& c) {
    TypeId type = chunkType(c).id;
    const Bytes& bytes = packChunk(c);
    try {
        return recordOps(type).view(bytes);
    } catch (const Error& e) {
        return undecodedView(type, bytes, e.what());
    }
}
}  // namespace

ViewRecord viewChunk(const PTX_& c) { return viewOf(c); }
ViewRecord viewChunk(const T_& c) { return viewOf(c); }
ViewRecord viewChunk(const MCF_& c) { return viewOf(c); }
ViewRecord viewChunk(const AFP_& c) { return viewOf(c); }

// ---- triplet lists: text in the declared code page ---------------------------------------
int declaredCodePage(const Chunks<T_>& cs) {
    int cgcsgid = 0, scheme = 0;
    for (const T_& c : cs) {
        if (c.frame != Frame::Item) continue;
        const Bytes& p = packChunk(c);
        if (c.code == 0x01 && p.size() >= 5 && !cgcsgid) cgcsgid = p[3] << 8 | p[4];
        else if (c.code == 0x50 && p.size() >= 3 && !scheme) scheme = codePageOfEncoding(std::uint16_t(p[1] << 8 | p[2]));
    }
    if (knownCodePage(cgcsgid)) return cgcsgid;
    return knownCodePage(scheme) ? scheme : 0;
}

std::string objectIdentifierText(std::span<const byte> b) {
    if (b.size() < 3 || b[0] != 0x06 || b[1] == 0 || std::size_t(b[1]) + 2 > b.size() || b[1] >= 0x80) return {};
    const std::size_t end = 2 + b[1];
    std::string out;
    std::uint64_t v = 0;
    bool first = true;
    for (std::size_t i = 2; i < end; ++i) {
        if (v > (std::uint64_t(1) << 56)) return {};
        v = (v << 7) | (b[i] & 0x7F);
        if (b[i] & 0x80) {
            if (i + 1 == end) return {};
            continue;
        }
        // Appended piece by piece: GCC 12 reports a false -Wrestrict on
        // "." + std::to_string(...) once this is inlined.
        if (first) {
            const std::uint64_t arc = v < 40 ? 0 : v < 80 ? 1 : 2;
            out += std::to_string(arc);
            out += '.';
            out += std::to_string(v - 40 * arc);
            first = false;
        } else {
            out += '.';
            out += std::to_string(v);
        }
        v = 0;
    }
    return out;
}

namespace {
// The text fields of a triplet's view through the code page: every ViewAStr
// but an error holds the Latin-1 image of code page 500 bytes, which gives
// the bytes back one to one.
void recode(ViewRecord& r, int cp) {
    for (ViewField& f : r.fields) {
        ViewAStr* a = std::get_if<ViewAStr>(&f.content);
        if (!a || a->type == viewErrorTypeId() || a->type == viewTextTypeId()) continue;
        a->text = decodeCodePage(cp, latin1ToEbcdic(a->text));
        a->type = viewTextTypeId();
    }
}
}  // namespace

ViewContent viewChunks(const Chunks<T_>& cs) {
    const int cp = declaredCodePage(cs);
    ViewData d{sequenceTypeIdOf<T_>(), {}};
    for (const T_& c : cs) {
        ViewRecord r = viewChunk(c);
        if (c.frame == Frame::Item && c.code == 0x02) {
            // A fully qualified name: identifier, type, format, name.
            const Bytes& p = packChunk(c);
            if (p.size() >= 3 && p[2] == 0x10) {
                std::string oid = objectIdentifierText(p.span().subspan(3));
                if (!oid.empty() && !r.fields.empty() && std::holds_alternative<ViewAStr>(r.fields.back().content))
                    r.fields.back().content = ViewAStr{viewTextTypeId(), oid};
            }
        }
        if (cp) recode(r, cp);
        d.records.push_back(std::move(r));
    }
    return d;
}

ViewRecord recView(const MCF_& c) { failNotDefined("recView not defined: ", show(c)); }
ViewRecord recView(const T_& c) { failNotDefined("recView not defined: ", show(c)); }
ViewRecord recView(const PTX_& c) { failNotDefined("recView not defined: ", show(c)); }
ViewRecord recView(const AFP_& c) { failNotDefined("recView not defined: ", show(c)); }
ViewRecord recView(char c) { failNotDefined("recView not defined: ", showChar(c)); }

// ---- text forms -------------------------------------------------------------------------
namespace {
const char hexDigits[] = "0123456789ABCDEF";

void appendHex(std::string& out, std::span<const byte> bytes) {
    for (byte b : bytes) {
        out += hexDigits[b >> 4];
        out += hexDigits[b & 15];
    }
}
std::span<const byte> spanOf(const std::string& s) {
    return {reinterpret_cast<const byte*>(s.data()), s.size()};
}

// Latin-1 text between double quotes; the quote, the backslash and every
// character outside printable ASCII escaped (\n, \t, \xHH).
void appendQuoted(std::string& out, std::string_view latin1) {
    out += '"';
    for (char ch : latin1) {
        byte c = static_cast<byte>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c >= 0x20 && c < 0x7F) out += ch;
        else {
            out += "\\x";
            out += hexDigits[c >> 4];
            out += hexDigits[c & 15];
        }
    }
    out += '"';
}
}  // namespace

void showsPrec(std::string& out, int prec, const ViewContent& c) {
    if (prec >= 11) out += '(';
    out += alternativeName(c);
    out += ' ';
    std::visit(
        [&](const auto& v) {
            using V = std::decay_t<decltype(v)>;
            out += typeName(v.type);
            out += ' ';
            if constexpr (std::same_as<V, ViewNumber>) {
                if (v.value < 0) out += '(';
                out += std::to_string(v.value);
                if (v.value < 0) out += ')';
            } else if constexpr (std::same_as<V, ViewString>) {
                out += '"';
                appendHex(out, spanOf(v.bytes));
                out += '"';
            } else if constexpr (std::same_as<V, ViewNStr>) {
                showBytes(out, v.bytes);
            } else if constexpr (std::same_as<V, ViewAStr>) {
                appendQuoted(out, v.text);
            } else {
                out += '[';
                for (std::size_t i = 0; i < v.records.size(); ++i) {
                    if (i) out += ',';
                    showsPrec(out, 0, v.records[i]);
                }
                out += ']';
            }
        },
        c);
    if (prec >= 11) out += ')';
}

void showsPrec(std::string& out, int prec, const ViewField& f) {
    if (prec >= 11) out += '(';
    out += "ViewField ";
    appendQuoted(out, f.label.chars());
    out += ' ';
    showsPrec(out, 11, f.content);
    if (prec >= 11) out += ')';
}

void showsPrec(std::string& out, int prec, const ViewRecord& r) {
    if (prec >= 11) out += '(';
    out += "ViewRecord ";
    out += typeName(r.type);
    out += " [";
    for (std::size_t i = 0; i < r.fields.size(); ++i) {
        if (i) out += ',';
        showsPrec(out, 0, r.fields[i]);
    }
    out += ']';
    if (prec >= 11) out += ')';
}

}  // namespace pressel
