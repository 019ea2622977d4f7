// The dump layer: names of the architecture, the annotated form written
// straight from decoded records, and the line and JSON renderings of views.
#include "pressel/view/dump.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <span>

#include "pressel/text/codepages.hpp"
#include "pressel/text/ebcdic.hpp"
#include "pressel/records.hpp"
#include "pressel/core/json.hpp"
#include "pressel/core/strings.hpp"
#include "dump_annotate.hpp"
#include "view_render.hpp"

namespace pressel {
using namespace dumpann;

// ---- names ---------------------------------------------------------------------------
namespace {
template <class K>
struct NameOf {
    K key;
    const char* name;
};
#include "dump_names.inc"

constexpr NameOf<std::uint8_t> controlNames[] = {
    {0x6A, "Unicode Complex Text"}, {0x6C, "Glyph Layout Control"}, {0x72, "Overstrike"},
    {0x74, "Set Text Color"}, {0x76, "Underscore"}, {0x78, "Temporary Baseline Move"},
    {0x80, "Set Extended Text Color"}, {0x8A, "Glyph ID Run"}, {0x8C, "Glyph Advance Run"},
    {0x8E, "Glyph Offset Run"}, {0x98, "Encrypted Data"}, {0x9A, "Set Key Information"},
    {0x9C, "Set Encrypted Alternate"}, {0xC0, "Set Inline Margin"}, {0xC2, "Set Intercharacter Adjustment"},
    {0xC4, "Set Variable Space Character Increment"}, {0xC6, "Absolute Move Inline"},
    {0xC8, "Relative Move Inline"}, {0xD0, "Set Baseline Increment"}, {0xD2, "Absolute Move Baseline"},
    {0xD4, "Relative Move Baseline"}, {0xD8, "Begin Line"}, {0xDA, "Transparent Data"},
    {0xE4, "Draw I-axis Rule"}, {0xE6, "Draw B-axis Rule"}, {0xEE, "Repeat String"},
    {0xF0, "Set Coded Font Local"}, {0xF2, "Begin Suppression"}, {0xF4, "End Suppression"},
    {0xF6, "Set Text Orientation"}, {0xF8, "No Operation"},
};

template <class K, std::size_t N>
const char* lookup(const NameOf<K> (&table)[N], K key) noexcept {
    auto it = std::lower_bound(std::begin(table), std::end(table), key,
                               [](const NameOf<K>& e, K k) { return e.key < k; });
    return it != std::end(table) && it->key == key ? it->name : nullptr;
}

struct TypeNames {
    const char* names[idx_tableTypes] = {};
    TypeNames() {
#define PRESSEL_X(code, R) names[idx_##R] = structuredFieldName(code);
        PRESSEL_AFP_CODES(PRESSEL_X)
#undef PRESSEL_X
#define PRESSEL_X(code, R) names[idx_##R] = tripletName(code);
        PRESSEL_T_CODES(PRESSEL_X)
#undef PRESSEL_X
#define PRESSEL_X(code, R) names[idx_##R] = controlSequenceName(code);
        PRESSEL_PTX_CODES(PRESSEL_X)
#undef PRESSEL_X
    }
};
}  // namespace

const char* structuredFieldName(std::uint32_t code) noexcept { return lookup(sfNames, code); }
const char* tripletName(std::uint8_t id) noexcept { return lookup(tripletNames, id); }
const char* controlSequenceName(std::uint8_t functionType) noexcept {
    // Glyph layout control has only its chained (odd) form; every other pair
    // is named by its unchained (even) function type.
    if (functionType == 0x6D) return "Glyph Layout Control";
    if (functionType == 0x8B) return "Glyph ID Run";
    return lookup(controlNames, std::uint8_t(functionType & 0xFE));
}
namespace {
// The names of the record types of the code tables and of the triplets by
// identifier, measured once: the annotated form writes one per nested item.
struct NameViews {
    std::string_view types[idx_tableTypes];
    std::string_view triplets[256];
    NameViews() {
        for (unsigned i = 0; i < idx_tableTypes; ++i) types[i] = tableType(RecordIndex(i)).name;
        for (unsigned i = 0; i < 256; ++i)
            if (const char* n = tripletName(std::uint8_t(i))) triplets[i] = n;
    }
};
const NameViews& nameViews() {
    static const NameViews views;
    return views;
}
}  // namespace

const char* recordTypeName(TypeId type) noexcept {
    static const TypeNames table;
    if (!type || type->index >= idx_tableTypes) return nullptr;
    return table.names[type->index];
}

// ---- state between structured fields ----------------------------------------------------
DumpState::DumpState() noexcept = default;

const CodePage& DumpState::textPage() const noexcept {
    ++uses_;
    return current_ ? *current_ : defaultCodePage();
}

namespace {
// The code page a group of a coded font map names: a code page name (FQN
// X'85'), a CGCSGID or FCGCSGID triplet, or an encoding scheme that names a
// Unicode page (a data-object font in UTF-16). The local id is the RLI's.
void mapGroup(const Chunks<T_>& ts, std::vector<std::pair<std::uint8_t, const CodePage*>>& assigned) {
    int lid = -1;
    const CodePage* page = nullptr;
    for (const T_& t : ts) {
        if (t.frame != Frame::Item) continue;
        const Bytes& p = packChunk(t);
        if (t.code == 0x24 && p.size() >= 3) lid = p[2];
        // A data-object font mapped by a data resource map alone: its
        // one-byte internal resource name is the local id the text selects.
        else if (t.code == 0x02 && p.size() == 4 && p[1] == 0xBE && lid < 0) lid = p[3];
        else if (t.code == 0x02 && p.size() >= 4 && p[1] == 0x85 && !page) {
            if (auto cp = cpgidOfResourceName(fromAStr(p.span().subspan(3)))) page = findCodePage(*cp);
        } else if ((t.code == 0x01 || t.code == 0x20) && p.size() >= 5 && !page) {
            page = codePagesOfCgcsgid(std::uint16_t(p[1] << 8 | p[2]), std::uint16_t(p[3] << 8 | p[4])).page;
        } else if (t.code == 0x50 && p.size() >= 3) {
            std::uint16_t esid = p.size() >= 5 ? std::uint16_t(p[3] << 8 | p[4]) : 0;
            const EncodingScheme user = encodingSchemeOf(esid);
            const EncodingScheme scheme = encodingSchemeOf(std::uint16_t(p[1] << 8 | p[2]));
            if (user.page) page = user.page;
            else if (scheme.page) page = scheme.page;
        }
    }
    if (lid >= 0 && page) assigned.emplace_back(std::uint8_t(lid), page);
}
}  // namespace

void DumpState::observe(const AFP_& c) {
    switch (c.code) {
    case 0xD3A8AF:  // BPG
    case 0xD3A8DF:  // BMO
    case 0xD3A85F:  // BPS
        pages_.fill(nullptr);
        current_ = nullptr;
        break;
    case 0xD3A89B:  // BPT
        current_ = nullptr;
        break;
    case 0xD3A892:  // BOC
        containerStart = true;
        break;
    case 0xD3AB8A:  // MCF
    case 0xD3ABC3:  // MDR
        // Every page of a stream made from one form maps the same fonts: a
        // map like one of the last few assigns what that one did.
        {
            const std::span<const byte> b = c.payload.span();
            const KeptMap* known = nullptr;
            for (const KeptMap& m : maps_)
                if (m.code == c.code && m.bytes.size() == b.size() &&
                    std::equal(b.begin(), b.end(), m.bytes.begin())) {
                    known = &m;
                    break;
                }
            if (!known) {
                KeptMap& m = maps_[nextMap_++ % maps_.size()];
                m.code = c.code;
                m.bytes.assign(b.begin(), b.end());
                m.assigned.clear();
                known = &m;
                try {
                    if (c.code == 0xD3AB8A) {
                        const MCF mcf = decodeChunk<MCF>(c);
                        for (const MCF_& g : mcf.mcf_Chunks)
                            if (g.frame == Frame::Item) mapGroup(decodeChunk<MCF_T>(g).mcf_t_Chunks, m.assigned);
                    } else {
                        const MDR mdr = decodeChunk<MDR>(c);
                        for (const MCF_& g : mdr.mdr_Groups)
                            if (g.frame == Frame::Item) mapGroup(decodeChunk<MCF_T>(g).mcf_t_Chunks, m.assigned);
                    }
                } catch (const Error&) {
                    // A map that does not decode maps what it assigned before
                    // the fault; the dump reports it.
                }
            }
            for (const auto& [lid, page] : known->assigned) pages_[lid] = page;
        }
        break;
    case 0xD3B18A:  // MCF1
        try {
            const MCF1 m = decodeChunk<MCF1>(c);
            for (const auto& g : m.mcf1_Data) {
                const auto& d = g.recordContent;
                const std::uint64_t name = std::uint64_t(d.mcf1_CodePageName.get());
                char text[8];
                for (int i = 0; i < 8; ++i) text[i] = char(byte(name >> (8 * (7 - i))));
                if (auto cp = cpgidOfResourceName(fromAStr(std::span<const byte>(
                        reinterpret_cast<const byte*>(text), 8))))
                    if (const CodePage* page = findCodePage(*cp)) pages_[d.mcf1_CodedFontLocalId.value] = page;
            }
        } catch (const Error&) {
        }
        break;
    default: break;
    }
}

// ---- writing numbers, hex and text ---------------------------------------------------
namespace dumpann {
struct HexTable {
    char pairs[512];
    constexpr HexTable() : pairs{} {
        const char* d = "0123456789ABCDEF";
        for (int i = 0; i < 256; ++i) {
            pairs[2 * i] = d[i >> 4];
            pairs[2 * i + 1] = d[i & 15];
        }
    }
};
constexpr HexTable hexTable;

void putHex(std::string& out, std::span<const byte> b) {
    const std::size_t at = out.size();
    out.resize(at + 2 * b.size());
    char* p = out.data() + at;
    for (byte x : b) {
        std::memcpy(p, hexTable.pairs + 2 * x, 2);
        p += 2;
    }
}
// The low `width` bytes of v in hex.
void putHexValue(std::string& out, std::uint64_t v, int width) {
    for (int i = width - 1; i >= 0; --i) out.append(hexTable.pairs + 2 * byte(v >> (8 * i)), 2);
}
// X'..' of the low `width` bytes of v, made on the stack and appended once.
void putCode(std::string& out, std::uint64_t v, int width) {
    char buf[20];
    char* p = buf;
    *p++ = 'X';
    *p++ = '\'';
    for (int i = width - 1; i >= 0; --i) {
        std::memcpy(p, hexTable.pairs + 2 * byte(v >> (8 * i)), 2);
        p += 2;
    }
    *p++ = '\'';
    out.append(buf, std::size_t(p - buf));
}
// `n` spaces of indentation, copied from a row of them (an append of a
// count of one character goes through a fill of its own).
void putIndent(std::string& out, int n) {
    static constexpr char spaces[] = "                                                                ";
    constexpr int row = int(sizeof spaces) - 1;
    for (; n > row; n -= row) out.append(spaces, std::size_t(row));
    out.append(spaces, std::size_t(n));
}
std::span<const byte> spanOf(std::string_view s) { return {reinterpret_cast<const byte*>(s.data()), s.size()}; }

// UTF-8 text between double quotes: the quote, the backslash and the control
// characters escaped (\n, \t, \xHH), every other character as it is.
void putQuotedUtf8(std::string& out, std::string_view utf8) {
    out += '"';
    std::size_t run = 0;  // runs of characters that need no escape are appended whole
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const byte c = static_cast<byte>(utf8[i]);
        if (c >= 0x20 && c != 0x7F && c != '"' && c != '\\') continue;
        out.append(utf8.data() + run, i - run);
        run = i + 1;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else {
            out += "\\x";
            out.append(hexTable.pairs + 2 * c, 2);
        }
    }
    out.append(utf8.data() + run, utf8.size() - run);
    out += '"';
}
// The quoted form of every byte of a single-byte code page, as
// putQuotedUtf8 writes its character: each byte is one character, so the
// quoted text of a run of bytes is the run of their forms.
struct QuotedPage {
    const CodePage* page = nullptr;
    std::uint8_t length[256] = {};
    char form[256][8] = {};
    void build(const CodePage& p) {
        page = &p;
        std::string utf8, quoted;
        for (int i = 0; i < 256; ++i) {
            const char ch = char(i);
            utf8.clear();
            p.appendUtf8(utf8, std::string_view(&ch, 1));
            quoted.clear();
            putQuotedUtf8(quoted, utf8);
            // Without its quotes: at most four bytes of UTF-8 or an escape.
            const std::size_t n = std::min<std::size_t>(quoted.size() - 2, sizeof form[i]);
            std::memcpy(form[i], quoted.data() + 1, n);
            length[i] = std::uint8_t(n);
        }
    }
};
// The forms of the pages used last; a stream's text uses few.
const QuotedPage& quotedPage(const CodePage& page) {
    thread_local QuotedPage pages[4];
    thread_local unsigned next = 0;
    for (const QuotedPage& q : pages)
        if (q.page == &page) return q;
    QuotedPage& q = pages[next++ % 4];
    q.build(page);
    return q;
}
// Bytes as text of a code page, quoted.
// (Single-byte text is written form by form through a buffer on the stack;
// other text is converted in a buffer kept from call to call.)
void putText(std::string& out, const CodePage& page, std::span<const byte> b) {
    if (page.isSingleByte()) {
        const QuotedPage& q = quotedPage(page);
        char buffer[1024];
        std::size_t n = 0;
        buffer[n++] = '"';
        for (byte x : b) {
            if (n + sizeof q.form[x] > sizeof buffer) {
                out.append(buffer, n);
                n = 0;
            }
            std::memcpy(buffer + n, q.form[x], sizeof q.form[x]);
            n += q.length[x];
        }
        if (n == sizeof buffer) {
            out.append(buffer, n);
            n = 0;
        }
        buffer[n++] = '"';
        out.append(buffer, n);
        return;
    }
    thread_local std::string t;
    t.clear();
    page.appendUtf8(t, std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
    putQuotedUtf8(out, t);
}

// The EBCDIC text of the bytes when every one is a printable ASCII
// character and at least one is a letter or digit; empty otherwise.
std::string printableText(std::span<const byte> ebcdic) {
    if (ebcdic.empty()) return {};
    std::string t = fromAStr(ebcdic);
    bool alnum = false;
    for (char ch : t) {
        const byte c = static_cast<byte>(ch);
        if (c < 0x20 || c >= 0x7F) return {};
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) alnum = true;
    }
    return alnum ? t : std::string{};
}

// The same test and its quoting without making the text (defined below).
bool printable(std::span<const byte> ebcdic);
void putPrintableQuoted(std::string& out, std::span<const byte> ebcdic);

// Raw bytes: hex, at most 32 bytes of them, then the whole length.
constexpr std::size_t rawShown = 32;
void putRaw(std::string& out, std::span<const byte> b) {
    out += "X'";
    putHex(out, b.first(std::min(b.size(), rawShown)));
    out += '\'';
    if (b.size() > rawShown) {
        out += "... (";
        putNumber(out, b.size());
        out += " bytes)";
    }
}
bool allZero(std::span<const byte> b) {
    return std::all_of(b.begin(), b.end(), [](byte x) { return x == 0; });
}

// ---- what a field's value means ------------------------------------------------------------

bool endsWith(std::string_view s, std::string_view w) { return s.size() >= w.size() && s.substr(s.size() - w.size()) == w; }
bool startsWith(std::string_view s, std::string_view w) { return s.substr(0, w.size()) == w; }

FieldInfo classify(std::string_view name, bool first) {
    const std::size_t us = name.rfind('_');
    std::string_view label = us == std::string_view::npos ? name : name.substr(us + 1);
    if ((first && label == "Type") || label == "EscapeSequence") return {label, Kind::Skip};
    if (label.empty() || name.find("__") != std::string_view::npos) return {"flags", Kind::Flags};
    if (startsWith(label, "Reserved") || startsWith(label, "Constant") || startsWith(label, "Retired"))
        return {label, Kind::Reserved};
    struct Special {
        std::string_view name;
        Kind kind;
    };
    static constexpr Special specials[] = {
        {"t_fqn_SubType", Kind::FqnType},       {"t_fqn_Format", Kind::FqnFormat},
        {"t_rli_ResourceType", Kind::ResourceType}, {"t_oc_ObjectClass", Kind::ObjectClass},
        {"t_rot_ObjectType", Kind::ResourceObjectType}, {"t_mo_MapValue", Kind::MapValue},
        {"ptx_stc_Color", Kind::Color},          {"bdd_Color", Kind::Color},
        {"t_esid_CodePageScheme", Kind::EncodingScheme}, {"bdd_SymbolType", Kind::SymbolType},
        {"t_cr", Kind::Rotation},
    };
    for (const Special& s : specials)
        if (s.name == name) return {label, s.kind};
    if (endsWith(label, "ColorSpace")) return {label, Kind::ColorSpace};
    if (endsWith(label, "Flags")) return {label, Kind::Flags};
    if (endsWith(label, "LocalId")) return {label, Kind::Plain};
    if (label.find("Orientation") != std::string_view::npos || label.find("Rotation") != std::string_view::npos)
        return {label, Kind::Orientation};
    if (endsWith(label, "Base") && !endsWith(label, "DescriptorBase")) return {label, Kind::UnitBase};
    if (endsWith(label, "Units")) return {label, Kind::Units};
    if (isCodeLabel(label)) return {label, Kind::Code};
    return {label, Kind::Plain};
}


// Names of known lengths: written without measuring them; empty when the
// value has none.
struct Enum {
    std::uint16_t value;
    std::string_view name;
};
template <std::size_t N>
std::string_view enumName(const Enum (&table)[N], std::uint64_t v) {
    for (const Enum& e : table)
        if (e.value == v) return e.name;
    return {};
}
constexpr Enum fqnTypes[] = {
    {0x01, "replace first GID"}, {0x07, "font family"}, {0x08, "typeface"}, {0x09, "resource hierarchy"},
    {0x0A, "resource group"}, {0x0B, "attribute GID"}, {0x0C, "process element GID"}, {0x0D, "page group"},
    {0x11, "media type"}, {0x12, "media destination"}, {0x41, "colour management resource"},
    {0x6E, "data-object font base font"}, {0x7E, "data-object font linked font"}, {0x83, "document"},
    {0x84, "resource object"}, {0x85, "code page name"}, {0x86, "font character set name"}, {0x87, "page"},
    {0x8D, "medium map"}, {0x8E, "coded font name"}, {0x98, "document index"}, {0xB0, "overlay"},
    {0xBE, "data-object internal resource"}, {0xCA, "index element GID"}, {0xCE, "other object data"},
    {0xDE, "data-object external resource"},
};
constexpr Enum fqnFormats[] = {{0x00, "character name"}, {0x10, "object identifier"}, {0x20, "URL"}};
constexpr Enum resourceTypes[] = {{0x00, "usage-dependent"}, {0x02, "page overlay"}, {0x05, "coded font"}};
constexpr Enum objectClasses[] = {{0x01, "time-invariant paginated presentation object"},
                                  {0x10, "time-variant presentation object"}, {0x20, "executable program"},
                                  {0x30, "setup file"}, {0x40, "secondary resource"}, {0x41, "data-object font"}};
constexpr Enum resourceObjectTypes[] = {
    {0x03, "graphics"}, {0x05, "bar code"}, {0x06, "image"}, {0x40, "font character set"}, {0x41, "code page"},
    {0x42, "coded font"}, {0x92, "object container"}, {0x9B, "presentation text"}, {0xA8, "document"},
    {0xFB, "page segment"}, {0xFC, "overlay"}, {0xFE, "form map"},
};
constexpr Enum mapValues[] = {{0x00, "position"}, {0x10, "position and trim"}, {0x20, "scale to fit"},
                              {0x30, "center and trim"}, {0x41, "point to pel"}, {0x42, "point to pel, double dot"},
                              {0x50, "replicate and trim"}, {0x60, "scale to fill"}, {0x70, "UP3i print data"}};
constexpr Enum colors[] = {
    {0x0000, "default"}, {0x0001, "blue"}, {0x0002, "red"}, {0x0003, "magenta"}, {0x0004, "green"},
    {0x0005, "cyan"}, {0x0006, "yellow"}, {0x0007, "white"}, {0x0008, "black"}, {0x0009, "dark blue"},
    {0x000A, "orange"}, {0x000B, "purple"}, {0x000C, "dark green"}, {0x000D, "dark turquoise"},
    {0x000E, "mustard"}, {0x000F, "gray"}, {0x0010, "brown"}, {0xFF00, "default"}, {0xFF01, "blue"},
    {0xFF02, "red"}, {0xFF03, "magenta"}, {0xFF04, "green"}, {0xFF05, "cyan"}, {0xFF06, "yellow"},
    {0xFF07, "default"}, {0xFF08, "colour of medium"}, {0xFFFF, "default indicator"},
};
constexpr Enum colorSpaces[] = {{0x01, "RGB"}, {0x04, "CMYK"}, {0x06, "highlight"}, {0x08, "CIELAB"},
                                {0x40, "standard OCA"}};
constexpr Enum encodingSchemes[] = {
    {0x0000, "none"}, {0x0100, "single-byte"}, {0x0200, "double-byte"}, {0x2100, "PC data, single-byte"},
    {0x3100, "PC display, single-byte"}, {0x6100, "EBCDIC, single-byte"}, {0x6200, "EBCDIC, double-byte"},
    {0x7200, "UTF-16"}, {0x7807, "UTF-8"}, {0x8200, "Unicode, big-endian"},
};
constexpr Enum symbolTypes[] = {
    {0x01, "Code 39"}, {0x02, "MSI"}, {0x03, "UPC-A"}, {0x05, "UPC-E"}, {0x06, "UPC 2-digit add-on"},
    {0x07, "UPC 5-digit add-on"}, {0x08, "EAN-8"}, {0x09, "EAN-13"}, {0x0A, "Industrial 2 of 5"},
    {0x0B, "Matrix 2 of 5"}, {0x0C, "Interleaved 2 of 5"}, {0x0D, "Codabar"}, {0x11, "Code 128"},
    {0x16, "EAN 2-digit add-on"}, {0x17, "EAN 5-digit add-on"}, {0x18, "POSTNET"}, {0x1A, "RM4SCC"},
    {0x1B, "Japan Postal"}, {0x1C, "Data Matrix"}, {0x1D, "MaxiCode"}, {0x1E, "PDF417"},
    {0x1F, "Australia Post"}, {0x20, "QR Code"}, {0x21, "Code 93"}, {0x22, "USPS Intelligent Mail"},
};

// An orientation: 9 bits of degrees, 6 bits of minutes, a zero bit.
void putOrientation(std::string& out, std::uint64_t v) {
    if (v == 0xFFFF) {
        out += "default (X'FFFF')";
        return;
    }
    putNumber(out, unsigned(v >> 7));
    out += "\xC2\xB0";  // degree sign
    const unsigned minutes = unsigned(v >> 1) & 0x3F;
    if (minutes) {
        putNumber(out, minutes);
        out += '\'';
    }
}

// ---- the annotator ---------------------------------------------------------------------

void putEnum(std::string& out, std::uint64_t v, int width, std::string_view name) {
    putCode(out, v, width);
    if (!name.empty()) {
        out += ' ';
        out += name;
    }
}

void putNumberOfKind(Ann& a, Kind kind, std::uint64_t v, std::int64_t sv, int width, bool isSigned) {
    std::string& out = a.out;
    switch (kind) {
    case Kind::Flags:
    case Kind::Reserved:
    case Kind::Code: putCode(out, v, width); break;
    case Kind::Orientation:
    case Kind::Rotation: putOrientation(out, v); break;
    case Kind::UnitBase:
        a.base = unsigned(v);
        if (v == 0) out += "10 inches";
        else if (v == 1) out += "10 centimetres";
        else if (v == 2) out += "logical";
        else putCode(out, v, width);
        break;
    case Kind::Units:
        putNumber(out, v);
        if (a.base <= 1 && v % 10 == 0) {
            out += " (";
            putNumber(out, v / 10);
            out += a.base == 0 ? std::string_view(" per inch)") : std::string_view(" per centimetre)");
        }
        break;
    case Kind::FqnType: putEnum(out, v, width, enumName(fqnTypes, v)); break;
    case Kind::FqnFormat: putEnum(out, v, width, enumName(fqnFormats, v)); break;
    case Kind::ResourceType: putEnum(out, v, width, enumName(resourceTypes, v)); break;
    case Kind::ObjectClass: putEnum(out, v, width, enumName(objectClasses, v)); break;
    case Kind::ResourceObjectType: putEnum(out, v, width, enumName(resourceObjectTypes, v)); break;
    case Kind::MapValue: putEnum(out, v, width, enumName(mapValues, v)); break;
    case Kind::Color: putEnum(out, v, width, enumName(colors, v)); break;
    case Kind::ColorSpace: putEnum(out, v, width, enumName(colorSpaces, v)); break;
    case Kind::EncodingScheme: putEnum(out, v, width, enumName(encodingSchemes, v)); break;
    case Kind::SymbolType: putEnum(out, v, width, enumName(symbolTypes, v)); break;
    default:
        if (isSigned) putNumber(out, sv);
        else putNumber(out, v);
    }
}

// ---- image and graphics self-defining fields --------------------------------------------
std::string_view imageFieldName(unsigned code) {
    static constexpr Enum names[] = {
        {0x70, "Begin Segment"}, {0x71, "End Segment"}, {0x8C, "Begin Tile"}, {0x8D, "End Tile"},
        {0x8E, "Begin Transparency Mask"}, {0x8F, "End Transparency Mask"}, {0x91, "Begin Image Content"},
        {0x93, "End Image Content"}, {0x94, "Image Size"}, {0x95, "Image Encoding"}, {0x96, "IDE Size"},
        {0x97, "Image LUT-ID"}, {0x98, "Band Image"}, {0x9B, "IDE Structure"},
        {0x9F, "External Algorithm"}, {0xB5, "Tile Position"}, {0xB6, "Tile Size"},
        {0xB7, "Tile Set Color"}, {0xF4, "Set Extended Bilevel Image Color"}, {0xF6, "Set Bilevel Image Color"},
        {0xF7, "IOCA Function Set Identification"}, {0xFE92, "Image Data"}, {0xFE9C, "Band Image Data"},
        {0xFEB3, "nColor Names"}, {0xFEB8, "Include Tile"}, {0xFEBB, "Tile TOC"}, {0xFECE, "Image Subsampling"},
    };
    return enumName(names, code);
}
std::string_view compressionName(unsigned id) {
    static constexpr Enum names[] = {
        {0x01, "IBM MMR"}, {0x03, "none"}, {0x06, "RL4"}, {0x08, "ABIC"}, {0x09, "TIFF algorithm 2"},
        {0x0A, "concatenated ABIC"}, {0x0B, "OS/2 colour compression"}, {0x0C, "TIFF PackBits"},
        {0x0D, "TIFF LZW"}, {0x0E, "TIFF LZW with predictor"}, {0x20, "solid fill"}, {0x80, "G3 MH"},
        {0x81, "G3 MR"}, {0x82, "G4 MMR"}, {0x83, "JPEG"}, {0x84, "JBIG2"}, {0xFE, "user-defined"},
    };
    return enumName(names, id);
}
unsigned be16(std::span<const byte> b, std::size_t at) { return unsigned(b[at] << 8 | b[at + 1]); }

// The parameters of an image field the dump spells out.
void imageParameters(std::string& out, unsigned code, std::span<const byte> p) {
    if (code == 0x94 && p.size() >= 9) {
        out += p[0] == 0 ? ": 10 inches" : p[0] == 1 ? ": 10 centimetres" : ": logical";
        out += ", resolution ";
        putNumber(out, be16(p, 1));
        out += " x ";
        putNumber(out, be16(p, 3));
        out += ", size ";
        putNumber(out, be16(p, 5));
        out += " x ";
        putNumber(out, be16(p, 7));
    } else if (code == 0x95 && p.size() >= 2) {
        out += ": compression ";
        putEnum(out, p[0], 1, compressionName(p[0]));
        out += ", recording ";
        putCode(out, p[1], 1);
    } else if (code == 0x96 && p.size() >= 1) {
        out += ": ";
        putNumber(out, unsigned(p[0]));
        out += " bits";
    } else if (code == 0xF7 && p.size() >= 2) {
        out += ": category ";
        putCode(out, p[0], 1);
        out += ", function set ";
        putCode(out, p[1], 1);
    } else if (!p.empty() && code != 0xFE92 && code != 0xFE9C) {
        out += ": ";
        putRaw(out, p);
    }
}

// Image self-defining fields: one line each with its code, name and length;
// a field that runs past the end of the bytes continues in the next Image
// Picture Data field (state.imageCarry).
void annotateImageFields(Ann& a, std::span<const byte> b, bool carries) {
    std::string& out = a.out;
    std::size_t i = 0;
    if (carries && a.st().imageCarry) {
        const std::size_t n = std::min(a.st().imageCarry, b.size());
        out += "  ";
        putNumber(out, n);
        out += " bytes continuing the field of the previous IPD\n";
        a.st().imageCarry -= n;
        i = n;
    }
    while (i < b.size()) {
        const bool extended = b[i] == 0xFE;
        const std::size_t head = extended ? 4 : 2;
        out += "  ";
        if (b.size() - i < head) {
            out += "X'";
            putHex(out, b.subspan(i));
            out += "' (a field header cut at the end of the structured field)\n";
            if (carries) a.st().imageCarry = 0;
            return;
        }
        const unsigned code = extended ? be16(b, i) : b[i];
        const std::size_t len = extended ? be16(b, i + 2) : b[i + 1];
        putCode(out, code, extended ? 2 : 1);
        if (const std::string_view name = imageFieldName(code); !name.empty()) {
            out += ' ';
            out += name;
        }
        out += ", ";
        putNumber(out, len);
        out += len == 1 ? " byte" : " bytes";
        const std::size_t avail = std::min(len, b.size() - i - head);
        imageParameters(out, code, b.subspan(i + head, avail));
        if (avail < len) {
            out += " (";
            putNumber(out, len - avail);
            out += carries ? " more in the next IPD)" : " missing)";
            if (carries) a.st().imageCarry = len - avail;
        }
        out += '\n';
        i += head + avail;
    }
}

// Graphics descriptor parameters: the drawing order subset and the window.
void annotateGraphicsDescriptor(Ann& a, std::span<const byte> b) {
    std::string& out = a.out;
    std::size_t i = 0;
    while (i < b.size()) {
        out += "  ";
        if (b.size() - i < 2) {
            putRaw(out, b.subspan(i));
            out += '\n';
            return;
        }
        const unsigned code = b[i];
        const std::size_t len = std::min<std::size_t>(b[i + 1], b.size() - i - 2);
        const std::span<const byte> p = b.subspan(i + 2, len);
        putCode(out, code, 1);
        if (code == 0xF7) {
            out += " Drawing Order Subset";
            if (p.size() >= 5) {
                out += ": subset ";
                putCode(out, p[0], 1);
                out += ", level ";
                putCode(out, p[3], 1);
                out += ", version ";
                putCode(out, p[4], 1);
            }
        } else if (code == 0xF6 && p.size() >= 16) {
            out += " Window: ";
            if (p[3] <= 1) out += p[3] == 0 ? "10 inches" : "10 centimetres";
            else putCode(out, p[3], 1);
            out += ", resolution ";
            putNumber(out, be16(p, 4));
            out += " x ";
            putNumber(out, be16(p, 6));
            out += ", window x ";
            putNumber(out, std::int16_t(be16(p, 10)));
            out += " to ";
            putNumber(out, std::int16_t(be16(p, 12)));
            out += ", y ";
            putNumber(out, std::int16_t(be16(p, 14)));
            out += " to ";
            if (p.size() >= 18) putNumber(out, std::int16_t(be16(p, 16)));
        } else {
            out += ": ";
            putRaw(out, p);
        }
        out += '\n';
        i += 2 + len;
    }
}

// What the first bytes of an object container say it holds.
const char* containerFormat(std::span<const byte> b) {
    auto starts = [&](std::string_view m) {
        return b.size() >= m.size() && std::memcmp(b.data(), m.data(), m.size()) == 0;
    };
    if (starts("%PDF")) return "PDF";
    if (starts(std::string_view("II*\0", 4)) || starts(std::string_view("MM\0*", 4))) return "TIFF";
    if (starts("\xFF\xD8\xFF")) return "JPEG";
    if (starts("\x89PNG")) return "PNG";
    if (starts("GIF8")) return "GIF";
    if (starts(std::string_view("\0\1\0\0", 4)) || starts("true") || starts("OTTO")) return "TrueType/OpenType font";
    if (starts("ttcf")) return "TrueType/OpenType font collection";
    if (starts("%!")) return "PostScript";
    return nullptr;
}

const AnnotateFn* annotateTable() {
    struct Table {
        AnnotateFn fns[idx_tableTypes] = {};
        Table() {
            fillShard<0>(fns);
            fillShard<1>(fns);
            fillShard<2>(fns);
            fillShard<3>(fns);
            static_assert(shards == 4, "every shard fills its entries");
        }
    };
    static const Table table;
    return table.fns;
}

// One nested chunk on its line: the record through the table, or its bytes
// and the error when it does not decode.
template <ChunkFamily C>
void annotateNested(Ann& a, const C& c, Mode mode, int indent) {
    const TypeId type = chunkType(c).id;
    const Bytes& bytes = packChunk(c);
    const std::size_t mark = a.out.size();
    const int saved = a.indent;
    a.indent = indent + 2;
    a.first = true;
    try {
        annotateTable()[type->index](a, bytes, mode);
    } catch (const Error& e) {
        a.out.resize(mark);
        a.out += a.first ? "" : " ";
        a.out += "*** ";
        a.out += e.what();
        a.out += ", raw ";
        putRaw(a.out, bytes.span());
    }
    a.indent = saved;
}

void annotateTriplets(Ann& a, const Chunks<T_>& ts, int indent) {
    const int savedCp = a.cp;
    a.cp = declaredCodePage(ts);
    for (const T_& t : ts) {
        putIndent(a.out, indent);
        if (t.frame != Frame::Item) {
            a.out += "raw ";
            putRaw(a.out, packChunk(t).span());
            a.out += '\n';
            continue;
        }
        // "X'02' FQN Fully Qualified Name: ", made once per identifier.
        const TypeId type = chunkType(t).id;
        struct Head {
            TypeId type = nullptr;
            std::string text;
        };
        thread_local Head heads[256];
        Head& h = heads[t.code];
        if (h.type != type || h.text.empty()) {
            h.type = type;
            h.text.clear();
            putCode(h.text, t.code, 1);
            h.text += ' ';
            const bool known = type->index != idx_T_Unknown;
            const std::string_view name = nameViews().triplets[t.code];
            if (known) {
                h.text += nameViews().types[type->index].substr(2);  // the label without "T_"
                if (!name.empty()) {
                    h.text += ' ';
                    h.text += name;
                }
            } else if (!name.empty()) {
                h.text += name;
            } else {
                h.text += "(unknown triplet)";
            }
            h.text += ": ";
        }
        a.out += h.text;
        const Bytes& p = packChunk(t);
        if (t.code == 0x02 && p.size() >= 3 && p[2] == 0x10) {
            // A fully qualified name in object identifier form.
            a.out += "type ";
            putEnum(a.out, p[1], 1, enumName(fqnTypes, p[1]));
            a.out += ", object identifier ";
            const std::string oid = objectIdentifierText(p.span().subspan(3));
            if (!oid.empty()) a.out += oid;
            else putRaw(a.out, p.span().subspan(3));
        } else {
            annotateNested(a, t, Mode::Inline, indent);
        }
        a.out += '\n';
    }
    a.cp = savedCp;
}

void annotateControls(Ann& a, const Chunks<PTX_>& cs, int indent) {
    const bool saved = a.control;
    a.control = true;
    for (const PTX_& c : cs) {
        putIndent(a.out, indent);
        if (c.frame == Frame::Text) {
            a.out += "text ";
            putText(a.out, a.st().textPage(), packChunk(c).span());
        } else if (c.frame == Frame::Raw) {
            a.out += "raw ";
            putRaw(a.out, packChunk(c).span());
        } else {
            // A short control sequence that reads nothing of the state
            // (every one but text and font selection) shows the same line
            // whenever its bytes come again: its line is kept by its bytes.
            thread_local viewrender::ShortItemMemo memo;
            const std::span<const byte> cb = packChunk(c).span();
            bool found = false;
            // (The code page of names and the unit base shown last are part
            // of the key, though control sequences show neither.)
            const int tag = int(unsigned(a.cp) << 8 ^ a.base);
            viewrender::ShortItemMemo::Slot* line = memo.find(c.code, cb, tag, found);
            if (found) {
                a.out += line->text;
                a.out += '\n';
                continue;
            }
            const std::size_t mark = a.out.size();
            const bool savedUse = a.usedState;
            a.usedState = false;
            const TypeId type = chunkType(c).id;
            if (type->index == idx_PTX_Unknown) {
                a.out += "(unknown control sequence) ";
                putCode(a.out, c.code, 1);
                a.out += ' ';
            } else {
                // The abbreviation without "PTX_", and its space.
                const std::string_view name = nameViews().types[type->index].substr(4);
                char buf[32];
                if (name.size() < sizeof buf) {
                    std::memcpy(buf, name.data(), name.size());
                    buf[name.size()] = ' ';
                    a.out.append(buf, name.size() + 1);
                } else {
                    a.out += name;
                    a.out += ' ';
                }
            }
            annotateNested(a, c, Mode::Control, indent);
            while (!a.out.empty() && a.out.back() == ' ') a.out.pop_back();
            const std::string_view shown =
                a.out.size() > mark ? std::string_view(a.out).substr(mark) : std::string_view();
            if (line && !shown.empty() && !a.usedState) memo.keep(*line, cb, tag, shown);
            a.usedState = a.usedState || savedUse;
        }
        a.out += '\n';
    }
    a.control = saved;
}

void annotateGroups(Ann& a, const Chunks<MCF_>& gs, int indent) {
    for (const MCF_& g : gs) {
        putIndent(a.out, indent);
        if (g.frame != Frame::Item) {
            a.out += "raw ";
            putRaw(a.out, packChunk(g).span());
            a.out += '\n';
            continue;
        }
        a.out += "group\n";
        try {
            annotateTriplets(a, decodeChunk<MCF_T>(g).mcf_t_Chunks, indent + 2);
        } catch (const Error& e) {
            putIndent(a.out, indent + 2);
            a.out += "*** ";
            a.out += e.what();
            a.out += '\n';
        }
    }
}
}  // namespace dumpann

// ---- lines of fields seen before ----------------------------------------------------
std::uint64_t FieldMemo::hashOf(std::uint32_t code, std::span<const byte> b) noexcept {
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ b.size() ^ (std::uint64_t(code) << 32);
    std::size_t i = 0;
    for (; i + 8 <= b.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, b.data() + i, 8);
        h = (h ^ w) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    for (; i < b.size(); ++i) h = (h ^ b[i]) * 0x100000001B3ull;
    return h ^ (h >> 29);
}

FieldMemo::FieldMemo() : slots_(kSlots), types_(idx_tableTypes) {}

const std::string* FieldMemo::find(TypeId type, const AFP_& c) {
    slot_ = nullptr;
    const std::span<const byte> b = c.payload.span();
    if (!type || type->index >= types_.size() || b.size() < kLeast || b.size() > kMost) return nullptr;
    Type& t = types_[type->index];
    if (t.off) return nullptr;
    if (++t.tries == kTrial && t.found < kTrial / 8) {
        t.off = true;
        return nullptr;
    }
    const std::uint64_t h = hashOf(c.code, b);
    Entry& e = slots_[h % kSlots];
    if (e.filled && e.hash == h && e.code == c.code && e.bytes.size() == b.size() &&
        std::memcmp(e.bytes.data(), b.data(), b.size()) == 0) {
        ++t.found;
        return &e.lines;
    }
    slot_ = &e;
    hash_ = h;
    return nullptr;
}

void FieldMemo::keep(TypeId type, const AFP_& c, std::string_view lines, bool usedState) {
    Entry* e = slot_;
    slot_ = nullptr;
    if (!e) return;
    if (usedState) {
        types_[type->index].off = true;
        return;
    }
    // Lines that report a nested item that does not decode are not kept:
    // the report is the decoder's message.
    if (lines.find("*** ") != std::string_view::npos) return;
    e->filled = true;
    e->code = c.code;
    e->hash = hash_;
    e->bytes.assign(c.payload.span().begin(), c.payload.span().end());
    e->lines.assign(lines);
}

void annotateField(std::string& out, DumpState& state, std::uint64_t offset, const AFP_& owned) {
    // The field is read through slices that own nothing: every record and
    // nested item cut from it lives only during this call, so no reference
    // count is taken per slice.
    const AFP_ c{owned.code, Bytes::fromStatic(owned.payload.data(), owned.payload.size())};
    const TypeId type = chunkType(c).id;
    // ": D3A8AF BPG Begin Page (", made once per identifier; a stream
    // repeats few.
    struct Head {
        std::uint32_t code = 0;
        TypeId type = nullptr;
        std::string text;
    };
    thread_local Head heads[64];
    Head& h = heads[(c.code ^ (c.code >> 8)) & 63];
    if (h.code != c.code || h.type != type || h.text.empty()) {
        h.code = c.code;
        h.type = type;
        h.text = ": ";
        putHexValue(h.text, c.code, 3);
        h.text += ' ';
        h.text += type->name;
        if (const char* name = structuredFieldName(c.code)) {
            h.text += ' ';
            h.text += name;
        }
        h.text += " (";
    }
    // The offset, the header and the length in one append.
    char buf[160];
    char* p = writeDecimal(buf, std::uint64_t(offset));
    if (h.text.size() <= sizeof buf - 64) {
        std::memcpy(p, h.text.data(), h.text.size());
        p += h.text.size();
        p = writeDecimal(p, std::uint64_t(c.payload.size() + 2));
        std::memcpy(p, " bytes)\n", 8);
        out.append(buf, std::size_t(p + 8 - buf));
    } else {
        out.append(buf, std::size_t(p - buf));
        out += h.text;
        putNumber(out, c.payload.size() + 2);
        out += " bytes)\n";
    }
    // A field whose annotation reads nothing of the state between fields
    // (no text, no font selection, no image or container carry) shows the
    // same lines whenever its bytes come again: the active environment of
    // every page of a document (font maps, descriptors) usually does.
    thread_local FieldMemo memo;
    if (const std::string* lines = memo.find(type, c)) {
        out += *lines;
        return;
    }
    const std::size_t mark = out.size();
    Ann a{out, state};
    annotateTable()[type->index](a, packChunk(c), Mode::Lines);
    memo.keep(type, c, std::string_view(out).substr(mark), a.usedState);
}

// ---- renderings of views ----------------------------------------------------------------
bool isCodeLabel(std::string_view label) noexcept {
    auto has = [&](std::string_view w) { return label.find(w) != std::string_view::npos; };
    return has("Type") || has("Flag") || has("Code") || has("Format") || has("Escape") || endsWith(label, "_") ||
           endsWith(label, "Id") || endsWith(label, "ID");
}

namespace {
const char* typeName(TypeId t) { return t ? t->name : "?"; }

// Latin-1 text between double quotes; the quote, the backslash and every
// character outside printable ASCII escaped (\n, \t, \xHH).
void appendQuoted(std::string& out, std::string_view latin1) {
    out += '"';
    for (char ch : latin1) {
        const byte c = static_cast<byte>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c >= 0x20 && c < 0x7F) out += ch;
        else {
            out += "\\x";
            out.append(hexTable.pairs + 2 * c, 2);
        }
    }
    out += '"';
}

// Hex digits of a number of the field type's width (two's complement for I2, I3).
void appendNumberHex(std::string& out, const ViewNumber& n) {
    int width = 4;
    if (n.type == fieldTypeIdOf<N1>()) width = 1;
    else if (n.type == fieldTypeIdOf<N2>() || n.type == fieldTypeIdOf<I2>()) width = 2;
    else if (n.type == fieldTypeIdOf<N3>() || n.type == fieldTypeIdOf<I3>()) width = 3;
    putHexValue(out, static_cast<std::uint64_t>(n.value), width);
}

void appendHexWithText(std::string& out, std::span<const byte> bytes) {
    out += "X'";
    putHex(out, bytes);
    out += '\'';
    std::string t = printableText(bytes);
    if (!t.empty()) {
        out += ' ';
        appendQuoted(out, t);
    }
}

void renderRecordLines(std::string& out, const ViewRecord& r, int indent);

void renderFieldLine(std::string& out, const ViewField& f, int indent) {
    putIndent(out, indent);
    out += f.label.chars();
    out += ": ";
    std::visit(
        [&](const auto& v) {
            using V = std::decay_t<decltype(v)>;
            if constexpr (std::same_as<V, ViewNumber>) {
                putNumber(out, v.value);
                if (isCodeLabel(f.label.chars())) {
                    out += " (X'";
                    appendNumberHex(out, v);
                    out += "')";
                }
            } else if constexpr (std::same_as<V, ViewString>) {
                appendHexWithText(out, spanOf(v.bytes));
            } else if constexpr (std::same_as<V, ViewNStr>) {
                appendHexWithText(out, v.bytes.span());
            } else if constexpr (std::same_as<V, ViewAStr>) {
                if (v.type == viewErrorTypeId()) {
                    out += "*** ";
                    out += v.text;
                } else if (v.type == viewTextTypeId()) {
                    putQuotedUtf8(out, v.text);
                } else {
                    appendQuoted(out, v.text);
                }
            } else {
                out += typeName(v.type);
                out += ' ';
                putNumber(out, v.records.size());
                out += v.records.size() == 1 ? " record" : " records";
            }
        },
        f.content);
    out += '\n';
    if (const ViewData* d = std::get_if<ViewData>(&f.content))
        for (const ViewRecord& r : d->records) {
            putIndent(out, indent + 2);
            out += typeName(r.type);
            out += '\n';
            renderRecordLines(out, r, indent + 4);
        }
}

void renderRecordLines(std::string& out, const ViewRecord& r, int indent) {
    for (const ViewField& f : r.fields) renderFieldLine(out, f, indent);
}

void appendLatin1AsUtf8(std::string& out, byte c) {
    if (c < 0x80) out += char(c);
    else {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The text of a text control sequence or of code points, through the code
// page of the selected font: the bytes are those of the view (a name's
// Latin-1 image of code page 500 gives its bytes back one to one).
void appendViewText(std::string& out, const ViewRecord& r, const DumpState& st) {
    for (const ViewField& f : r.fields) {
        std::string bytes;
        if (const ViewAStr* s = std::get_if<ViewAStr>(&f.content)) bytes = latin1ToEbcdic(s->text);
        else if (const ViewNStr* n = std::get_if<ViewNStr>(&f.content)) bytes = std::string(n->bytes.chars());
        else continue;
        std::string t;
        st.textPage().appendUtf8(t, bytes);
        out += ",\"text\":";
        appendJsonUtf8String(out, t);
        return;
    }
}
}  // namespace

void renderViewLines(std::string& out, const ViewRecord& r, int indent) { renderRecordLines(out, r, indent); }

namespace {
// The JSON escape of a byte that needs one: the quote, the backslash and the
// control characters.
void appendJsonEscape(std::string& out, byte c) {
    switch (c) {
    case '"': out += "\\\""; break;
    case '\\': out += "\\\\"; break;
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    case '\t': out += "\\t"; break;
    default:
        out += "\\u00";
        out.append(hexTable.pairs + 2 * c, 2);
    }
}
}  // namespace

// Runs of bytes that need nothing are appended whole.
void appendJsonString(std::string& out, std::string_view latin1) {
    out += '"';
    std::size_t run = 0;
    for (std::size_t i = 0; i < latin1.size(); ++i) {
        const byte c = static_cast<byte>(latin1[i]);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') continue;
        out.append(latin1.data() + run, i - run);
        run = i + 1;
        if (c >= 0x80) appendLatin1AsUtf8(out, c);
        else appendJsonEscape(out, c);
    }
    out.append(latin1.data() + run, latin1.size() - run);
    out += '"';
}

void appendJsonUtf8String(std::string& out, std::string_view utf8) { writeJsonString(out, utf8); }

void viewrender::contentJson(std::string& out, const ViewContent& c, DumpState* state) {
    std::visit(
        [&](const auto& v) {
            using V = std::decay_t<decltype(v)>;
            if constexpr (std::same_as<V, ViewNumber>) putNumber(out, v.value);
            else if constexpr (std::same_as<V, ViewString>) {
                out += '"';
                putHex(out, spanOf(v.bytes));
                out += '"';
            } else if constexpr (std::same_as<V, ViewNStr>) {
                out += '"';
                putHex(out, v.bytes.span());
                out += '"';
            } else if constexpr (std::same_as<V, ViewAStr>) {
                if (v.type == viewTextTypeId()) appendJsonUtf8String(out, v.text);
                else appendJsonString(out, v.text);
            } else {
                out += '[';
                for (std::size_t i = 0; i < v.records.size(); ++i) {
                    if (i) out += ',';
                    renderViewJson(out, v.records[i], state);
                }
                out += ']';
            }
        },
        c);
}

void renderViewJsonFields(std::string& out, const ViewRecord& r, DumpState* state) {
    out += '{';
    bool first = true;
    for (const ViewField& f : r.fields) {
        if (!first) out += ',';
        first = false;
        appendJsonString(out, f.label.chars());
        out += ':';
        viewrender::contentJson(out, f.content, state);
    }
    out += '}';
}

void renderViewJson(std::string& out, const ViewRecord& r, DumpState* state) {
    out += "{\"type\":";
    appendJsonString(out, typeName(r.type));
    if (const char* name = recordTypeName(r.type)) {
        out += ",\"name\":";
        appendJsonString(out, name);
    }
    if (state && r.type && r.type->family == Family::PTX) {
        const unsigned idx = r.type->index;
        if (idx == idx_PTX_SCFL && r.fields.size() >= 2) {
            if (const ViewNumber* n = std::get_if<ViewNumber>(&r.fields[1].content))
                state->selectFont(std::uint8_t(n->value));
        } else if (idx == idx_PTX_TRN || idx == idx_PTX_RPS || idx == idx_PTX_Text) {
            appendViewText(out, r, *state);
        }
    }
    out += ",\"fields\":";
    renderViewJsonFields(out, r, state);
    out += '}';
}

// ---- the pieces the direct renderings write (view_render.hpp) ------------------------------
void viewrender::fieldLine(std::string& out, const ViewField& f, int indent) { renderFieldLine(out, f, indent); }

void viewrender::numberLine(std::string& out, std::int64_t v, int width, bool code) {
    char buf[48];
    char* p = writeDecimal(buf, v);
    if (code) {
        std::memcpy(p, " (X'", 4);
        p += 4;
        for (int i = width - 1; i >= 0; --i) {
            std::memcpy(p, hexTable.pairs + 2 * byte(static_cast<std::uint64_t>(v) >> (8 * i)), 2);
            p += 2;
        }
        std::memcpy(p, "')", 2);
        p += 2;
    }
    out.append(buf, std::size_t(p - buf));
}

void viewrender::hexJson(std::string& out, std::span<const byte> b) {
    out += '"';
    putHex(out, b);
    out += '"';
}

namespace dumpann {
// EBCDIC bytes as Latin-1 characters (fromAStr), one table lookup a byte.
struct Latin1Table {
    char chars[256];
    Latin1Table() {
        byte all[256];
        for (int i = 0; i < 256; ++i) all[i] = byte(i);
        const std::string t = fromAStr(std::span<const byte>(all, 256));
        std::memcpy(chars, t.data(), 256);
    }
};
const Latin1Table& latin1Table() {
    static const Latin1Table table;
    return table;
}
// Whether the EBCDIC bytes read as printable text (printableText non-empty).
bool printable(std::span<const byte> ebcdic) {
    if (ebcdic.empty()) return false;
    const char* t = latin1Table().chars;
    bool alnum = false;
    for (byte x : ebcdic) {
        const byte c = static_cast<byte>(t[x]);
        if (c < 0x20 || c >= 0x7F) return false;
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) alnum = true;
    }
    return alnum;
}
// Printable EBCDIC text quoted as appendQuoted quotes it: only the quote and
// the backslash need an escape.
void putPrintableQuoted(std::string& out, std::span<const byte> ebcdic) {
    const char* t = latin1Table().chars;
    out += '"';
    for (byte x : ebcdic) {
        const char ch = t[x];
        if (ch == '"' || ch == '\\') out += '\\';
        out += ch;
    }
    out += '"';
}
}  // namespace dumpann

void viewrender::hexLine(std::string& out, std::span<const byte> b) {
    out += "X'";
    putHex(out, b);
    out += '\'';
    if (printable(b)) {
        out += ' ';
        putPrintableQuoted(out, b);
    }
}

namespace {
// The big-endian bytes of an A value.
std::span<const byte> aBytes(byte (&buf)[16], uint128 v, int width) {
    const std::size_t n = std::size_t(width > 0 ? width : 0);
    for (std::size_t i = 0; i < n; ++i) buf[i] = static_cast<byte>(v >> (8 * (n - 1 - i)));
    return {buf, n};
}
}  // namespace

void viewrender::aValueJson(std::string& out, uint128 v, int width) {
    byte buf[16];
    hexJson(out, aBytes(buf, v, width));
}

void viewrender::aValueLine(std::string& out, uint128 v, int width) {
    byte buf[16];
    hexLine(out, aBytes(buf, v, width));
}

// Pieces of text are gathered in a small buffer and appended a buffer at a
// time; a character that needs an escape goes through the string.
void viewrender::nameJson(std::string& out, std::span<const byte> ebcdic) {
    const char* t = latin1Table().chars;
    char buf[256];
    std::size_t n = 0;
    buf[n++] = '"';
    for (byte x : ebcdic) {
        const byte c = static_cast<byte>(t[x]);
        if (n + 2 > sizeof buf) {
            out.append(buf, n);
            n = 0;
        }
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            buf[n++] = char(c);
        } else if (c >= 0x80) {
            buf[n++] = static_cast<char>(0xC0 | (c >> 6));
            buf[n++] = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out.append(buf, n);
            n = 0;
            appendJsonEscape(out, c);
        }
    }
    out.append(buf, n);
    out += '"';
}

void viewrender::nameLine(std::string& out, std::span<const byte> ebcdic) {
    const char* t = latin1Table().chars;
    char buf[256];
    std::size_t n = 0;
    buf[n++] = '"';
    for (byte x : ebcdic) {
        const char ch = t[x];
        const byte c = static_cast<byte>(ch);
        if (n + 5 > sizeof buf) {
            out.append(buf, n);
            n = 0;
        }
        if (c == '"' || c == '\\') {
            buf[n++] = '\\';
            buf[n++] = ch;
        } else if (c == '\n') {
            buf[n++] = '\\';
            buf[n++] = 'n';
        } else if (c == '\t') {
            buf[n++] = '\\';
            buf[n++] = 't';
        } else if (c >= 0x20 && c < 0x7F) {
            buf[n++] = ch;
        } else {
            buf[n++] = '\\';
            buf[n++] = 'x';
            std::memcpy(buf + n, hexTable.pairs + 2 * c, 2);
            n += 2;
        }
    }
    buf[n++] = '"';
    out.append(buf, n);
}

void viewrender::textJson(std::string& out, std::span<const byte> bytes, const DumpState& state) {
    thread_local std::string t;
    t.clear();
    state.textPage().appendUtf8(t, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    out += ",\"text\":";
    appendJsonUtf8String(out, t);
}

viewrender::Label viewrender::makeLabel(const char* name) {
    Label l;
    l.json.push_back(',');
    appendJsonString(l.json, name);
    l.json += ':';
    l.line.assign(std::size_t(cachedIndent), ' ');
    l.line += name;
    l.line += ": ";
    l.code = isCodeLabel(name);
    return l;
}

viewrender::Opening viewrender::makeOpening(TypeId type) {
    Opening o;
    o.head = "{\"type\":";
    appendJsonString(o.head, typeName(type));
    if (const char* name = recordTypeName(type)) {
        o.head += ",\"name\":";
        appendJsonString(o.head, name);
    }
    o.withFields = o.head + ",\"fields\":{";
    o.line.assign(std::size_t(cachedIndent), ' ');
    o.line += typeName(type);
    o.line += '\n';
    return o;
}

}  // namespace pressel
