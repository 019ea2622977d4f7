// The page interpreter: the active environment, the presentation-text state
// machine, fonts and their metrics, overlays and page segments.
//
// Fields are read straight from their bytes at the architected offsets
// (structured-field data after the 6-byte identifier/flag/reserved header,
// triplet contents after their identifier, control-sequence parameters after
// their function type), each read bounds-checked with a default for a short
// field: a printer ignores a parameter that is not there.
#include "pressel/page/page.hpp"

#include <algorithm>
#include <cmath>
#include <array>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <type_traits>
#include <utility>

#include "page_codepage.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/stream/nested.hpp"
#include "pressel/core/strings.hpp"
#include "pressel/text/codepages.hpp"

namespace pressel {
namespace {

struct GlyphWidth {
    char16_t code;
    std::uint16_t width;
};
struct FontExtent {
    int ascent, descent;
};
#include "font_widths.inc"

// ---- reading fields ---------------------------------------------------------
unsigned u8(std::span<const byte> b, std::size_t at, unsigned dflt = 0) { return at < b.size() ? b[at] : dflt; }
unsigned u16(std::span<const byte> b, std::size_t at, unsigned dflt = 0) {
    return at + 2 <= b.size() ? unsigned(b[at]) << 8 | b[at + 1] : dflt;
}
int s16(std::span<const byte> b, std::size_t at, int dflt = 0) {
    return at + 2 <= b.size() ? int(std::int16_t(std::uint16_t(b[at] << 8 | b[at + 1]))) : dflt;
}
unsigned u24(std::span<const byte> b, std::size_t at, unsigned dflt = 0) {
    return at + 3 <= b.size() ? unsigned(b[at]) << 16 | unsigned(b[at + 1]) << 8 | b[at + 2] : dflt;
}
int s24(std::span<const byte> b, std::size_t at, int dflt = 0) {
    if (at + 3 > b.size()) return dflt;
    unsigned v = u24(b, at);
    return v & 0x800000 ? int(v) - 0x1000000 : int(v);
}
// An EBCDIC name of `n` bytes, trailing blanks and NULs dropped.
std::string nameAt(std::span<const byte> b, std::size_t at, std::size_t n) {
    if (at >= b.size()) return {};
    std::string s = fromAStr(b.subspan(at, std::min(n, b.size() - at)));
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
    return s;
}

// The data of a structured field: after identifier, flag byte and reserved bytes.
Bytes sfData(const AFP_& c) { return packChunk(c).dropFront(6); }
// The same data as a view that owns nothing, valid while the field and
// `packed` live: reading it touches no reference count. Only a field whose
// introducer has an extension or padding is packed anew, into `packed`.
Bytes sfDataView(const AFP_& c, Bytes& packed) {
    const Bytes& p = c.payload;
    if (p.size() < 6 || (p[3] & 0x88) == 0) {
        const std::size_t skip = std::min<std::size_t>(6, p.size());
        return Bytes::fromStatic(p.data() + skip, p.size() - skip);
    }
    packed = sfData(c);
    return Bytes::fromStatic(packed.data(), packed.size());
}

// Points per unit of a unit base (00: 10 inches, 01: 10 centimetres) and units per base.
double pointsPerUnit(unsigned base, unsigned units) {
    if (units == 0) return 72.0 / 1440;
    double perBase = base == 1 ? 720.0 / 2.54 : 720.0;
    return perBase / units;
}

// ---- colours ----------------------------------------------------------------
Rgb namedColor(unsigned v) {
    switch (v & 0xFF) {
    case 0x01: return 0x0000FF;
    case 0x02: return 0xFF0000;
    case 0x03: return 0xFF00FF;
    case 0x04: return 0x00FF00;
    case 0x05: return 0x00FFFF;
    case 0x06: return 0xFFFF00;
    default: break;
    }
    if ((v & 0xFF00) == 0xFF00) return (v & 0xFF) == 0x08 ? 0xFFFFFF : 0;  // FF07 default, FF08 medium
    switch (v) {
    case 0x0007: return 0xFFFFFF;
    case 0x0009: return 0x0000AA;
    case 0x000A: return 0xFF8000;
    case 0x000B: return 0xAA00AA;
    case 0x000C: return 0x009200;
    case 0x000D: return 0x0092AA;
    case 0x000E: return 0xC4A020;
    case 0x000F: return 0x838383;
    case 0x0010: return 0x903000;
    default: return 0;  // black, the default and device defaults
    }
}

// A colour as SEC and the X'4E' triplet give it, from the colour
// space byte on: space, 4 reserved, 4 component sizes, the value.
Rgb colorSpec(std::span<const byte> b) {
    unsigned space = u8(b, 0);
    auto comp = [&](std::size_t i) { return i < b.size() ? b[i] : 0u; };
    std::size_t v = 9;
    switch (space) {
    case 0x01: return comp(v) << 16 | comp(v + 1) << 8 | comp(v + 2);
    case 0x04: {
        double c = comp(v) / 255.0, m = comp(v + 1) / 255.0, y = comp(v + 2) / 255.0, k = comp(v + 3) / 255.0;
        auto ch = [&](double x) { return unsigned(std::lround(255 * (1 - x) * (1 - k))); };
        return ch(c) << 16 | ch(m) << 8 | ch(y);
    }
    case 0x08: {
        unsigned l = unsigned(std::lround(comp(v) * 255.0 / 255.0));
        return l << 16 | l << 8 | l;
    }
    case 0x40: return namedColor(u16(b, v));
    default: return 0;
    }
}

// ---- fonts ------------------------------------------------------------------
// Metrics of an inline font character set: the character increment of every
// graphic character id of its first (0 degree) orientation.
struct InlineCharSet {
    std::string name;
    double pointsPerUnit = 0;  // fixed metrics: points per font unit; 0 for relative metrics
    double pointsPerUnitY = 0;
    double unitsPerEm = 1000;  // relative metrics: font units per em
    std::map<std::string, unsigned> increments;  // GCGID -> CharInc
    unsigned spaceIncrement = 0;
    unsigned fniGroupLength = 28;
    bool haveIndex = false;
    // Raster patterns (pattern technology X'05'): where each character of
    // the first orientation sits and which FNM entry holds its pattern, the
    // FNM entries in order, and the FNG pattern bytes concatenated.
    unsigned technology = 0;
    unsigned fnmGroupLength = 8;
    unsigned alignment = 0;  // PatDOset is in units of 2^alignment bytes
    struct Placement {
        int aSpace = 0, baseOffset = 0;
        unsigned fnmIndex = 0;
    };
    std::map<std::string, Placement> placements;
    struct PatternEntry {
        unsigned width = 0, height = 0;  // pels
        std::size_t offset = 0;
    };
    std::vector<PatternEntry> patterns;
    std::vector<byte> patternData;
    std::shared_ptr<const RasterFont> raster;  // built at EFN
};
// An inline code page: its CPGID and the GCGID of every code point.
struct InlineCodePage {
    unsigned cpgid = 0;
    unsigned groupLength = 10;
    std::map<unsigned, std::string> gcgids;
};

// What a single-byte font gives each of the 256 code points of one code
// page: its advance in points along the baseline (the character increment
// of the font's own metrics when the stream carries them, else the
// substitute width at the font's size) and whether it reads as a space.
// Built once per font and code page, so a character costs one look-up.
struct ByteAdvances {
    std::array<double, 256> points{};
    std::array<bool, 256> space{};
    // What each byte decodes to in the code page: UTF-8, padded to 4 bytes.
    std::array<std::array<char, 4>, 256> utf8{};
    std::array<std::uint8_t, 256> utf8Length{};
    // The advances in text units of the text unit last asked for, and the
    // same back in points as a run keeps them.
    double unit = std::numeric_limits<double>::quiet_NaN();
    std::array<double, 256> advances{};
    std::array<float, 256> runAdvances{};
    void inUnits(double u) {
        if (u != unit) {
            unit = u;
            for (std::size_t b = 0; b < 256; ++b) {
                advances[b] = points[b] / u;
                runAdvances[b] = float(advances[b] * u);
            }
        }
    }
};

struct Font {
    std::string name;  // character set, coded font or data-object font name
    std::string codePageName;
    unsigned cpgid = 0;  // 0: not known from the map
    bool doubleByte = false;
    double size = 0;  // points; 0: not given
    int family = 0;   // 0 Helvetica, 1 Times, 2 Courier
    int weight = 0;   // 0 roman, 1 bold, 2 italic, 3 bold italic
    const InlineCharSet* charSet = nullptr;
    const InlineCodePage* codePage = nullptr;
    std::shared_ptr<const RasterFont> raster;  // drawn from its patterns when set
    // The advance table this font last used: the code page it is for and
    // the state of the font resources it was built from.
    mutable ByteAdvances* advances = nullptr;
    mutable unsigned advancesCp = 0;
    mutable std::uint64_t advancesEpoch = 0;
};

// The point size of an IBM core character set or coded font name
// ("C0H200B0": prefix, typeface, style, "00", size): the last two
// characters, "80" 8 pt, "00" 10 pt, "A0" 11 pt ... "Z0" 36 pt. Names of
// another form ("C0S0CR10") do not tell their size.
double sizeOfName(std::string_view n) {
    if (n.size() != 8 || (n[0] != 'C' && n[0] != 'X') || n[4] != '0' || n[5] != '0') return 0;
    char a = n[6], b = n[7];
    double tenth = (b >= '0' && b <= '9') ? (b - '0') / 10.0 : 0;
    if (a >= '1' && a <= '9') return (a - '0') + tenth;
    if (a == '0') return 10 + tenth;
    if (a >= 'A' && a <= 'Z') return 11 + (a - 'A') + tenth;
    return 0;
}

bool contains(std::string_view s, std::string_view what) {
    auto it = std::search(s.begin(), s.end(), what.begin(), what.end(),
                          [](char x, char y) { return std::tolower((unsigned char)x) == std::tolower((unsigned char)y); });
    return it != s.end();
}

// Family and weight of a font from its name: IBM core names ("C0H20080":
// typeface H Helvetica, N Times, 4 Courier; style 2 roman, 3 italic, 4 bold,
// 5 bold italic), otherwise words in the name.
void styleOfName(Font& f) {
    std::string_view n = f.name;
    if (n.size() >= 4 && (n[0] == 'C' || n[0] == 'X')) {
        f.family = n[2] == 'N' ? 1 : n[2] == '4' ? 2 : 0;
        f.weight = n[3] == '4' ? 1 : n[3] == '3' ? 2 : n[3] == '5' ? 3 : 0;
        return;
    }
    f.family = contains(n, "times") || contains(n, "serif") ? 1 : contains(n, "courier") || contains(n, "mono") ? 2 : 0;
    bool bold = contains(n, "bold"), italic = contains(n, "italic") || contains(n, "oblique");
    f.weight = bold && italic ? 3 : bold ? 1 : italic ? 2 : 0;
}

double substituteWidth(const Font& f, char32_t u) {
    std::span<const GlyphWidth> t = substituteWidths[f.family][f.weight];
    if (u < 0x10000) {
        auto it = std::lower_bound(t.begin(), t.end(), u, [](const GlyphWidth& g, char32_t c) { return g.code < c; });
        if (it != t.end() && it->code == u) return it->width;
    }
    if (u >= 0x1100 && (u < 0x2000 || u >= 0x2E80)) return 1000;  // ideographs, kana, hangul, full-width forms
    if (f.family == 2) return 600;
    return f.family == 1 ? 500 : 556;
}

// The GCGID IBM fonts give a character of the Latin repertoire; empty for
// another character.
struct CharGcgid {
    char32_t u;
    const char* gcgid;
};
constexpr CharGcgid standardGcgids[] = {
#include "gcgid_table.inc"
};
std::string_view standardGcgid(char32_t u) {
    auto it = std::lower_bound(std::begin(standardGcgids), std::end(standardGcgids), u,
                               [](const CharGcgid& g, char32_t c) { return g.u < c; });
    return it != std::end(standardGcgids) && it->u == u ? it->gcgid : std::string_view();
}

// ---- UTF-8 ------------------------------------------------------------------
char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    auto c = static_cast<unsigned char>(s[i++]);
    if (c < 0x80) return c;
    int n = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
    char32_t u = c & (0x3F >> n);
    for (int k = 0; k < n && i < s.size(); ++k) u = u << 6 | (static_cast<unsigned char>(s[i++]) & 0x3F);
    return u;
}

// ---- geometry ---------------------------------------------------------------
struct Vec {
    double x = 0, y = 0;
};
// Unit vector of an orientation (degrees clockwise from +x, y down).
// Inline: every text run places its origin through it several times.
inline Vec direction(int deg) {
    if (deg < 0 || deg >= 360) deg = ((deg % 360) + 360) % 360;
    switch (deg) {
    case 90: return {0, 1};
    case 180: return {-1, 0};
    case 270: return {0, -1};
    default: return {1, 0};
    }
}

// From the coordinates of an included object (points) to the page (points).
struct Placement {
    double x = 0, y = 0;  // where the object's origin lands
    int rotation = 0;     // clockwise
    Vec apply(Vec p) const {
        Vec d = direction(rotation);  // image of +x; +y turns with it
        return {x + p.x * d.x - p.y * d.y, y + p.x * d.y + p.y * d.x};
    }
    Placement then(double dx, double dy, int rot) const {
        Vec o = apply({dx, dy});
        return {o.x, o.y, (rotation + rot) % 360};
    }
};

int orientationDegrees(unsigned v) { return int((v >> 7) % 360); }

// ---- presentation text state ------------------------------------------------
struct TextState {
    double i = 0, b = 0;  // current position, text units
    int iAngle = 0, bAngle = 90;
    double margin = 0, baselineIncrement = -1, varSpace = -1, adjust = 0;
    double tempBaseline = 0;
    unsigned lid = 0xFF;
    Rgb color = 0;
    bool underscore = false, overstrike = false;
    unsigned suppression = 0;
    bool fresh = true;  // the next character follows a move or a space: no intercharacter adjustment
};

// The area of an object being read (inline) or included (IOB), in the units
// its fields give: the origin in the including space's page units, the size
// in the object's own measurement units (X'4B').
struct ObjectArea {
    PageObject::Kind kind = PageObject::Kind::Other;
    std::string name;
    double x = 0, y = 0;  // area origin, units of the including page or overlay
    int rotation = 0;
    double unitX = 0, unitY = 0;  // points per unit of the size; 0: the including space's
    double width = 0, height = 0;
    std::shared_ptr<std::vector<AFP_>> fields;  // Begin to End, as read
    std::vector<byte> includeTriplets;
};

PageObject::Kind objectKind(std::uint32_t beginCode) {
    switch (beginCode) {
    case 0xD3A8FB: return PageObject::Kind::Image;
    case 0xD3A8BB: return PageObject::Kind::Graphics;
    case 0xD3A8EB: return PageObject::Kind::BarCode;
    case 0xD3A892: return PageObject::Kind::Container;
    default: return PageObject::Kind::Other;
    }
}
bool beginsObject(std::uint32_t code) { return objectKind(code) != PageObject::Kind::Other; }
bool endsObject(std::uint32_t code) { return beginsObject(code & ~0x0100u) && (code & 0xFF00) == 0xA900; }

// The measurement units (X'4B') and object area size (X'4C') triplets of an
// OBD or IOB.
void areaTriplets(ObjectArea& a, std::span<const byte> triplets) {
    Bytes t = Bytes::copy(triplets);
    for (const T_& x : Chunks<T_>::fromPayload(t)) {
        if (x.frame != Frame::Item) continue;
        std::span<const byte> p = x.payload.span();
        if (x.code == 0x4B) {
            a.unitX = pointsPerUnit(u8(p, 1), u16(p, 3));
            a.unitY = pointsPerUnit(u8(p, 2), u16(p, 5));
        } else if (x.code == 0x4C && u8(p, 1) == 0x02) {
            a.width = u24(p, 2);
            a.height = u24(p, 5);
        }
    }
}
// OBD and OBP of an object; other fields are left to the object's own reader.
void areaField(ObjectArea& a, const AFP_& c, std::span<const byte> d) {
    if (c.code == 0xD3A66B) {
        areaTriplets(a, d);
    } else if (c.code == 0xD3AC6B) {
        a.x = s24(d, 2);
        a.y = s24(d, 5);
        a.rotation = orientationDegrees(u16(d, 8));
    }
}

// One coordinate space in which presentation text runs: a page, an overlay
// or an included page segment.
struct Context {
    double unitX = 72.0 / 1440, unitY = 72.0 / 1440;          // points per text unit
    double extentX = 0, extentY = 0;                         // text space, text units
    double pageUnitX = 72.0 / 1440, pageUnitY = 72.0 / 1440; // points per unit of the PGD
    double width = 0, height = 0;                            // points
    bool haveTextUnits = false;
    std::vector<byte> initialText;  // the PTD's initial text conditions
    std::map<unsigned, Font> fonts;
    TextState ts;
    Placement place;
    std::optional<ObjectArea> object;  // an inline object being read
};

// The first resource file of a directory named after a resource.
std::string findResourceFile(const std::string& dir, const std::string& name) {
    for (const char* ext : {"", ".afp", ".ovl", ".psg", ".AFP", ".OVL", ".PSG"}) {
        std::string p = dir + "/" + name + ext;
        if (FILE* f = std::fopen(p.c_str(), "rb")) {
            std::fclose(f);
            return p;
        }
    }
    return {};
}

constexpr int maxIncludeDepth = 8;
// Raster pattern bytes kept of one font character set; a larger set keeps
// its first patterns.
constexpr std::size_t maxPatternBytes = std::size_t(64) << 20;

}  // namespace

struct PageInterpreter::Impl {
    PageOptions opt;
    Page page;
    int pages = 0;
    bool inPage = false;
    std::vector<Context> stack;  // the page and the objects included in it

    // Resources defined in the stream, by name.
    std::map<std::string, std::shared_ptr<std::vector<AFP_>>> resources;
    std::map<std::string, InlineCharSet> charSets;
    std::map<std::string, InlineCodePage> codePages;
    std::map<std::string, std::pair<unsigned, double>> dataObjectFonts;  // MDR name -> (cpgid, size)
    std::set<std::string> warned;
    // Substitute widths (1/1000 em) of the 256 code points of a single-byte
    // code page, by family, weight and code page.
    std::map<std::tuple<int, int, unsigned>, std::array<float, 256>> byteWidths;
    // Runs of earlier pages, kept for their buffers, and how many of the
    // page's runs hold the page's text so far.
    std::vector<TextRun> spareRuns;
    std::size_t usedRuns = 0;
    // The code page of the last run's text: as the font or options asked
    // for it, and as it is read (an unknown one is read as 500).
    struct Decoding {
        unsigned asked = ~0u;
        bool askedDbcs = false;
        unsigned cpgid = 0;
        bool dbcs = false;
        const CodePage* page = nullptr;
        bool singleByte = false;
    } decoding;
    // The ascent and descent of the last run's font, by its style and size.
    struct Extent {
        int family = -1, weight = -1;
        double size = 0;
        double ascent = 0, descent = 0;
    } extent;
    // Font maps (MCF) already read, by their bytes, with the fonts they
    // resolve to: a stream maps the same fonts on page after page, and what
    // they resolve to changes only with the font resources read (the epoch).
    struct MappedFont {
        unsigned lid;
        Font font;
    };
    std::map<std::string, std::vector<MappedFont>, std::less<>> fontMaps;
    using FontNode = std::map<unsigned, Font>::node_type;
    std::vector<FontNode> fontNodes;
    std::uint64_t fontMapsEpoch = 0;
    // Every emptying of fontMaps starts a new generation: an entry is known
    // by its address only within one.
    std::uint64_t fontMapsGeneration = 0;
    // A page whose fonts are exactly one font map read on an empty map: the
    // map's entry. Its fonts are kept whole at the page's end (for the last
    // few entries: streams alternate between a few maps), and a later page
    // that maps the same entry in the same generation takes them as they are
    // instead of placing every font again.
    const std::vector<MappedFont>* pageFontsFrom = nullptr;
    struct KeptFonts {
        const std::vector<MappedFont>* from = nullptr;
        std::uint64_t generation = 0;
        std::map<unsigned, Font> fonts;
    };
    static constexpr std::size_t maxKeptFonts = 4;
    std::vector<KeptFonts> keptFonts;
    std::size_t nextKeptFonts = 0;  // the slot a new entry's fonts replace when all are taken
    // Advance tables by the font resources, family, weight, size and code
    // page they are built from. A font resource field read later may change
    // what a table holds: every one bumps the epoch, which empties the
    // tables and tells fonts that their table is gone.
    using AdvanceKey = std::tuple<const InlineCharSet*, const InlineCodePage*, int, int, double, unsigned>;
    std::map<AdvanceKey, ByteAdvances> advanceTables;
    std::uint64_t fontEpoch = 1, tablesEpoch = 1;
    // The font of text whose local id the font map does not have.
    Font fallbackFont = [] {
        Font f;
        f.name = "default";
        f.family = 2;
        f.size = 10;
        f.cpgid = 500;
        return f;
    }();

    // Collecting an overlay or page segment outside a page.
    std::shared_ptr<std::vector<AFP_>> collecting;
    std::uint32_t collectBegin = 0;
    int collectNesting = 0;
    std::string resourceName;  // name of the enclosing BRS
    InlineCharSet* curCharSet = nullptr;
    InlineCodePage* curCodePage = nullptr;
    int fniCount = 0;
    // The form definition: its medium maps by name, in order, and the one
    // IMM made active (empty: the first).
    struct MediumMap {
        bool haveUnits = false;
        double unitX = 0, unitY = 0;     // points per MDD unit
        double width = 0, height = 0;    // MDD units; 0: not given
        double pageX = 0, pageY = 0;     // PGP, MDD units
        int rotation = 0;
        std::map<unsigned, std::string> overlayNames;  // MMO: local id -> overlay
        std::vector<unsigned> overlayIds;             // MMC keyword X'F2'
        bool haveModification = false;
        std::shared_ptr<const Page> overlays;
    };
    std::map<std::string, MediumMap> mediumMaps;
    std::vector<std::string> mediumMapOrder;
    MediumMap formDefaults;
    MediumMap* curMap = nullptr;
    std::string activeMap;
    bool inFormMap = false, haveFormMap = false;  // the first form definition of the stream is used
    // The first font character set or code page of a file read from a
    // resource directory takes the name it was looked for by.
    std::string loadingName;
    std::set<std::string> fontFilesTried;

    void warn(const std::string& what) {
        if (!warned.insert(what).second) return;
        if (opt.warn) opt.warn(what);
    }

    // ---- structure ----------------------------------------------------------
    bool feed(const AFP_& c) {
        // An overlay or segment left open ends where a page or document begins.
        if (collecting && (c.code == 0xD3A8AF || c.code == 0xD3A8A8)) collecting.reset();
        if (collecting) {
            collecting->push_back(AFP_{c.code, Bytes::copy(c.payload.span())});
            if (c.code == collectBegin) ++collectNesting;
            else if (c.code == (collectBegin | 0x0100) && --collectNesting == 0) collecting.reset();
            return false;
        }
        Bytes packed;
        const Bytes data = sfDataView(c, packed);
        std::span<const byte> d = data.span();
        if (fontResource(c.code, d)) return false;
        if (!inPage && formMap(c.code, d)) return false;
        switch (c.code) {
        case 0xD3A8CE: resourceName = nameAt(d, 0, 8); return false;  // BRS
        case 0xD3A9CE: resourceName.clear(); return false;            // ERS
        case 0xD3A8DF:                                                // BMO
        case 0xD3A85F:                                                // BPS
        case 0xD3A8FB:                                                // BIM
        case 0xD3A8BB:                                                // BGR
        case 0xD3A8EB:                                                // BBC
        case 0xD3A892:                                                // BOC
            if (!inPage) {
                startCollecting(c, nameAt(d, 0, 8));
                return false;
            }
            break;
        case 0xD3ABC3: mapDataResource(data); break;                                                     // MDR
        case 0xD3A8AF: startPage(); return false;                                                      // BPG
        case 0xD3A9AF:                                                                                 // EPG
            if (!inPage) return false;
            inPage = false;
            if (!stack.empty()) keepPageFonts(stack.front());
            stack.clear();
            finishRuns();
            placeOnMedium();
            return true;
        default: break;
        }
        if (inPage && !stack.empty()) interpret(c, data);
        return false;
    }

    void startCollecting(const AFP_& c, const std::string& name) {
        collecting = std::make_shared<std::vector<AFP_>>();
        collecting->push_back(AFP_{c.code, Bytes::copy(c.payload.span())});
        collectBegin = c.code;
        collectNesting = 1;
        resources[name] = collecting;
        if (!resourceName.empty()) resources[resourceName] = collecting;
    }

    void startPage() {
        ++pages;
        recyclePage();
        page.number = pages;
        inPage = true;
        pageFontsFrom = nullptr;
        stack.clear();
        stack.emplace_back();
    }

    // Empties the page for the next one. Its text runs stay, to be filled
    // again in place with their buffers (a stream of many small pages does
    // not allocate the text, advances and offsets of every run anew); the
    // page ends with the runs it used.
    void recyclePage() {
        usedRuns = 0;
        page.number = 0;
        page.width = page.height = 0;
        page.rules.clear();
        page.objects.clear();
        page.medium = Medium{};
    }
    // A new run after the page's runs so far: one of the last page, or a
    // spare one, emptied, when there is one.
    TextRun& newRun() {
        if (usedRuns == page.text.size()) {
            if (spareRuns.empty()) {
                ++usedRuns;
                return page.text.emplace_back();
            }
            page.text.push_back(std::move(spareRuns.back()));
            spareRuns.pop_back();
        }
        TextRun& r = page.text[usedRuns++];
        r.x = r.y = 0;
        r.rotation = 0;
        r.size = r.ascent = r.descent = 0;
        r.color = 0;
        // The text, offsets and advances keep their sizes: presentDecoded
        // sets them, and a run the size of the one this slot held on the
        // page before is then not filled with zeros first.
        r.codePoints.clear();
        r.codePage = 0;
        r.doubleByte = r.underscore = r.overstrike = false;
        r.suppression = 0;
        r.raster.reset();
        r.glyphs.clear();
        return r;
    }
    // Takes back the last run of the page (one that presents no character).
    void dropLastRun() { --usedRuns; }
    // The page's text is the runs it used; the others are kept as spare runs.
    void finishRuns() {
        while (page.text.size() > usedRuns) {
            spareRuns.push_back(std::move(page.text.back()));
            page.text.pop_back();
        }
    }

    // ---- the form definition ------------------------------------------------
    // The fields of a form definition (BFM to EFM): the document environment
    // group's values are the defaults of the medium maps that follow. IMM
    // selects the medium map of the pages after it; BDT starts with the first.
    bool formMap(std::uint32_t code, std::span<const byte> d) {
        switch (code) {
        case 0xD3A8CD:                                                   // BFM
            if (!haveFormMap) mediumMaps.clear(), mediumMapOrder.clear();
            inFormMap = true;
            formDefaults = MediumMap{};
            curMap = nullptr;
            return true;
        case 0xD3A9CD: inFormMap = false, curMap = nullptr, haveFormMap = true; return true;  // EFM
        case 0xD3A8C4: if (inFormMap) curMap = &formDefaults; return inFormMap;               // BDG
        case 0xD3A9C4: if (inFormMap) curMap = nullptr; return inFormMap;                     // EDG
        case 0xD3A8CC: {                                                                      // BMM
            if (!inFormMap || haveFormMap) return inFormMap;
            std::string name = nameAt(d, 0, 8);
            auto [it, added] = mediumMaps.try_emplace(name, formDefaults);
            if (added) mediumMapOrder.push_back(name);
            curMap = &it->second;
            return true;
        }
        case 0xD3A9CC: if (inFormMap) curMap = nullptr; return inFormMap;                     // EMM
        case 0xD3ABCC: activeMap = nameAt(d, 0, 8); return true;                              // IMM
        case 0xD3A8A8: activeMap.clear(); return false;                                       // BDT
        default: break;
        }
        if (!curMap) return false;
        MediumMap& m = *curMap;
        switch (code) {
        case 0xD3A688:                                                                        // MDD
            m.unitX = pointsPerUnit(u8(d, 0), u16(d, 2));
            m.unitY = pointsPerUnit(u8(d, 1), u16(d, 4));
            m.haveUnits = true;
            m.width = u24(d, 6);
            m.height = u24(d, 9);
            return true;
        case 0xD3B1AF:                                                                        // PGP
            // The first repeating group: the page's origin and orientation
            // on the front side (more groups place further pages of N-up).
            if (u8(d, 1) >= 10) {
                m.pageX = s24(d, 2);
                m.pageY = s24(d, 5);
                m.rotation = orientationDegrees(u16(d, 8));
                if (m.rotation % 90) m.rotation = 0;
            }
            return true;
        case 0xD3ACAF:                                                                        // PGP-1
            m.pageX = s24(d, 0);
            m.pageY = s24(d, 3);
            m.rotation = 0;
            return true;
        case 0xD3B1DF: {                                                                      // MMO
            std::size_t g = std::max(u8(d, 0), 12u);
            for (std::size_t at = 4; at + 12 <= d.size(); at += g) m.overlayNames[u8(d, at)] = nameAt(d, at + 4, 8);
            return true;
        }
        case 0xD3A788:                                                                        // MMC
            // The first MMC's medium overlay keywords (X'F2', the overlay's
            // local id in the MMO).
            if (!m.haveModification) {
                m.haveModification = true;
                m.overlayIds.clear();
                for (std::size_t at = 2; at + 2 <= d.size(); at += 2)
                    if (u8(d, at) == 0xF2) m.overlayIds.push_back(u8(d, at + 1));
            }
            return true;
        default: return false;
        }
    }

    // The page on its sheet side: the active medium map's medium size, the
    // page's offset and orientation on it, and the medium overlays' items.
    // Without a medium size the medium is the turned page's box.
    void placeOnMedium() {
        if (mediumMaps.empty()) return;
        auto it = mediumMaps.find(activeMap);
        if (it == mediumMaps.end()) {
            if (!activeMap.empty())
                warn("medium map " + activeMap + " is not in the form definition: the first one is used");
            it = mediumMaps.find(mediumMapOrder.front());
        }
        MediumMap& m = it->second;
        Medium& md = page.medium;
        double pw = page.width > 0 ? page.width : 612, ph = page.height > 0 ? page.height : 792;
        double ux = m.haveUnits ? m.unitX : 72.0 / 1440, uy = m.haveUnits ? m.unitY : 72.0 / 1440;
        md.present = true;
        md.pageRotation = m.rotation;
        Placement turned{0, 0, m.rotation};
        Vec corners[4] = {turned.apply({0, 0}), turned.apply({pw, 0}), turned.apply({0, ph}), turned.apply({pw, ph})};
        double minX = std::min({corners[0].x, corners[1].x, corners[2].x, corners[3].x});
        double minY = std::min({corners[0].y, corners[1].y, corners[2].y, corners[3].y});
        if (m.width > 0 && m.height > 0) {
            md.width = m.width * ux;
            md.height = m.height * uy;
            md.pageX = m.pageX * ux;
            md.pageY = m.pageY * uy;
        } else {
            md.width = m.rotation % 180 ? ph : pw;
            md.height = m.rotation % 180 ? pw : ph;
            md.pageX = -minX;
            md.pageY = -minY;
        }
        if (m.overlayIds.empty()) return;
        if (!m.overlays || m.overlays->width != md.width || m.overlays->height != md.height)
            m.overlays = mediumOverlays(m, md.width, md.height, ux, uy);
        md.overlays = m.overlays;
    }

    // The items of a medium map's overlays, drawn at the medium's origin.
    std::shared_ptr<const Page> mediumOverlays(const MediumMap& m, double width, double height, double ux, double uy) {
        Page kept = std::move(page);
        std::size_t keptRuns = std::exchange(usedRuns, 0);
        page = Page{};
        page.number = kept.number;
        stack.clear();
        Context base;
        base.unitX = base.pageUnitX = ux;
        base.unitY = base.pageUnitY = uy;
        base.width = width;
        base.height = height;
        base.extentX = width / ux;
        base.extentY = height / uy;
        stack.push_back(std::move(base));
        for (unsigned id : m.overlayIds) {
            auto name = m.overlayNames.find(id);
            if (name == m.overlayNames.end()) {
                warn("medium overlay " + std::to_string(id) + " is not mapped by the medium map (MMO): not drawn");
                continue;
            }
            include(name->second, 0, 0, 0);
        }
        stack.clear();
        finishRuns();
        auto items = std::make_shared<Page>(std::move(page));
        items->width = width;
        items->height = height;
        page = std::move(kept);
        usedRuns = keptRuns;
        return items;
    }

    // ---- font resources -----------------------------------------------------
    // The fields of font character sets and code pages; true when `code` is one.
    bool fontResource(std::uint32_t code, std::span<const byte> d) {
        switch (code) {
        case 0xD3A889: {                                                                               // BFN
            std::string name = std::exchange(loadingName, std::string());
            if (name.empty()) name = (u8(d, 0, 0xFF) == 0xFF || nameAt(d, 0, 8).empty()) ? resourceName : nameAt(d, 0, 8);
            curCharSet = &charSets[name];
            curCharSet->name = name;
            fniCount = 0;
            break;
        }
        case 0xD3A989: if (curCharSet) finishCharSet(*curCharSet); curCharSet = nullptr; break;        // EFN
        case 0xD3A887:                                                                                 // BCP
            curCodePage = &codePages[loadingName.empty() ? nameAt(d, 0, 8) : std::exchange(loadingName, std::string())];
            break;
        case 0xD3A987: curCodePage = nullptr; break;                                                   // ECP
        case 0xD3A789: if (curCharSet) fontControl(d); break;                                          // FNC
        case 0xD3AE89: if (curCharSet) curCharSet->spaceIncrement = u16(d, 8); break;                 // FNO
        case 0xD38C89: if (curCharSet) fontIndex(d); break;                                            // FNI
        case 0xD3A289: if (curCharSet) patternMap(d); break;                                           // FNM
        case 0xD3EE89:                                                                                 // FNG
            if (curCharSet && curCharSet->technology == 0x05 && curCharSet->patternData.size() < maxPatternBytes)
                curCharSet->patternData.insert(curCharSet->patternData.end(), d.begin(), d.end());
            break;
        case 0xD3A687: if (curCodePage) curCodePage->cpgid = u16(d, 40); break;                        // CPD
        case 0xD3A787: if (curCodePage) curCodePage->groupLength = u8(d, 9, 10); break;                // CPC
        case 0xD38C87: if (curCodePage) codePageIndex(d); break;                                       // CPI
        default: return false;
        }
        ++fontEpoch;
        return true;
    }
    void fontControl(std::span<const byte> d) {
        unsigned base = u8(d, 4), units = u16(d, 6), unitsY = u16(d, 8, units);
        curCharSet->technology = u8(d, 1);
        curCharSet->pointsPerUnit = base == 0x02 || units == 0 ? 0 : 720.0 / units;
        curCharSet->pointsPerUnitY = base == 0x02 || unitsY == 0 ? curCharSet->pointsPerUnit : 720.0 / unitsY;
        curCharSet->unitsPerEm = base == 0x02 && units ? units : 1000;
        curCharSet->fniGroupLength = u8(d, 15, 28);
        curCharSet->alignment = std::min(u8(d, 16), 3u);
        curCharSet->fnmGroupLength = u8(d, 21, 8);
    }
    void fontIndex(std::span<const byte> d) {
        if (fniCount++ > 0) return;  // the first orientation only (0 degrees)
        std::size_t g = std::max(curCharSet->fniGroupLength, 10u);
        for (std::size_t at = 0; at + 10 <= d.size(); at += g) {
            std::string gcgid = nameAt(d, at, 8);
            curCharSet->increments[gcgid] = u16(d, at + 8);
            if (at + 28 <= d.size())
                curCharSet->placements[gcgid] = {s16(d, at + 18), s16(d, at + 26), u16(d, at + 16)};
        }
        curCharSet->haveIndex = true;
    }
    // FNM: the size and pattern offset of every character box; several FNM
    // fields continue one list.
    void patternMap(std::span<const byte> d) {
        std::size_t g = std::max(curCharSet->fnmGroupLength, 8u);
        for (std::size_t at = 0; at + 8 <= d.size() && curCharSet->patterns.size() < 65536; at += g)
            curCharSet->patterns.push_back({u16(d, at) + 1, u16(d, at + 2) + 1,
                                            std::size_t(u16(d, at + 4)) << 16 | u16(d, at + 6)});
    }
    // A raster font's patterns become a RasterFont once the character set
    // is complete; a pattern that does not fit the FNG data is left out.
    void finishCharSet(InlineCharSet& cs) {
        if (cs.technology != 0x05 || cs.patterns.empty() || cs.patternData.empty() || !(cs.pointsPerUnit > 0)) {
            cs.patternData = {};
            return;
        }
        auto font = std::make_shared<RasterFont>();
        font->name = cs.name;
        font->spaceAdvance = int(cs.spaceIncrement);
        font->pelX = cs.pointsPerUnit;
        font->pelY = cs.pointsPerUnitY > 0 ? cs.pointsPerUnitY : cs.pointsPerUnit;
        for (const auto& [gcgid, p] : cs.placements) {
            if (p.fnmIndex >= cs.patterns.size()) continue;
            const InlineCharSet::PatternEntry& e = cs.patterns[p.fnmIndex];
            RasterGlyph gl;
            gl.width = int(e.width);
            gl.height = int(e.height);
            gl.left = p.aSpace;
            gl.top = p.baseOffset;
            if (auto inc = cs.increments.find(gcgid); inc != cs.increments.end()) gl.advance = int(inc->second);
            std::size_t size = gl.rowBytes() * e.height;
            // The offset is counted in units of the pattern alignment; a font
            // that counts it in bytes still finds its patterns.
            std::size_t at = e.offset << cs.alignment;
            if (at + size > cs.patternData.size()) at = e.offset;
            if (at + size > cs.patternData.size()) continue;
            gl.bits.assign(cs.patternData.begin() + std::ptrdiff_t(at), cs.patternData.begin() + std::ptrdiff_t(at + size));
            font->glyphs.emplace(gcgid, std::move(gl));
        }
        cs.patternData = {};
        cs.patterns = {};
        cs.raster = std::move(font);
    }
    void codePageIndex(std::span<const byte> d) {
        std::size_t g = curCodePage->groupLength;
        bool dbcs = g == 0x0B || g == 0xFF;
        std::size_t len = g == 0xFE ? 10 : g == 0xFF ? 11 : g;
        if (len < 10) return;
        for (std::size_t at = 0; at + len <= d.size();) {
            unsigned cp = dbcs ? u16(d, at + 9) : u8(d, at + 9);
            curCodePage->gcgids[cp] = nameAt(d, at, 8);
            at += len;
            if (g >= 0xFE) at += 1 + 4 * std::size_t(u8(d, at));  // the Unicode values that follow
        }
    }
    // MDR: data-object fonts (TrueType, OpenType) by name, with the code
    // page of their text and their size. A group whose internal resource
    // name (FQN X'BE') is a single byte maps that font to the local id the
    // text selects with SCFL, as an MCF group does: a page that maps its
    // fonts with MDR alone has no MCF.
    void mapDataResource(const Bytes& groups) {
        for (const MCF_& g : Chunks<MCF_>::fromPayload(groups)) {
            if (g.frame != Frame::Item) continue;
            std::string name, external;
            int lid = -1;
            unsigned cpgid = 0;
            double size = 0;
            for (const T_& t : Chunks<T_>::fromPayload(g.payload)) {
                std::span<const byte> p = t.payload.span();
                if (t.frame != Frame::Item) continue;
                if (t.code == 0x02 && (u8(p, 1) == 0xDE || u8(p, 1) == 0xBE)) {
                    name = nameAt(p, 3, p.size());
                    if (u8(p, 1) == 0xDE) external = name;
                    else if (p.size() == 4) lid = int(p[3]);
                } else if (t.code == 0x01 && u16(p, 3)) cpgid = u16(p, 3);
                else if (t.code == 0x50) cpgid = encodingCodePage(p, cpgid);
                else if (t.code == 0x8B && u16(p, 3)) size = u16(p, 3) / 20.0;
            }
            if (!name.empty()) {
                std::pair<unsigned, double> font{cpgid, size};
                auto [it, added] = dataObjectFonts.try_emplace(name, font);
                if (added || it->second != font) ++fontEpoch;  // font maps that name it read it anew
                it->second = font;
            }
            if (lid >= 0 && inPage && !stack.empty()) {
                Font f;
                f.name = !external.empty() ? external : name;
                f.cpgid = cpgid ? cpgid : 1200;  // data-object fonts take Unicode unless told otherwise
                f.size = size;
                addFont(unsigned(lid), std::move(f));
            }
        }
    }
    static unsigned encodingCodePage(std::span<const byte> p, unsigned dflt) {
        unsigned user = u16(p, 3), cp = u16(p, 1);
        if (user == 0x7200 || cp == 0x7200 || cp == 0x8200) return 1200;
        if (user == 0x7807) return 1208;
        return dflt;
    }

    // ---- the environment ----------------------------------------------------
    Context& ctx() { return stack.back(); }

    void pageDescriptor(std::span<const byte> d) {
        Context& x = ctx();
        x.pageUnitX = pointsPerUnit(u8(d, 0), u16(d, 2));
        x.pageUnitY = pointsPerUnit(u8(d, 1), u16(d, 4));
        x.width = u24(d, 6) * x.pageUnitX;
        x.height = u24(d, 9) * x.pageUnitY;
        if (!x.haveTextUnits) {
            x.unitX = x.pageUnitX;
            x.unitY = x.pageUnitY;
            x.extentX = u24(d, 6);
            x.extentY = u24(d, 9);
        }
        if (stack.size() == 1) {
            page.width = x.width;
            page.height = x.height;
        }
    }
    void textDescriptor(std::span<const byte> d, bool format2) {
        Context& x = ctx();
        x.unitX = pointsPerUnit(u8(d, 0), u16(d, 2));
        x.unitY = pointsPerUnit(u8(d, 1), u16(d, 4));
        x.extentX = format2 ? u24(d, 6) : u16(d, 6);
        x.extentY = format2 ? u24(d, 9) : u16(d, 8);
        x.haveTextUnits = true;
        x.initialText.clear();
        if (format2 && d.size() > 14) x.initialText.assign(d.begin() + 14, d.end());
    }

    void fontMap(const Bytes& groups) {
        if (fontMapsEpoch != fontEpoch) {
            fontMaps.clear();
            ++fontMapsGeneration;
            fontMapsEpoch = fontEpoch;
        }
        std::string_view key(reinterpret_cast<const char*>(groups.data()), groups.size());
        auto it = fontMaps.find(key);
        if (it == fontMaps.end()) {
            if (fontMaps.size() >= 64) {
                fontMaps.clear();
                ++fontMapsGeneration;
            }
            std::vector<MappedFont> fonts = readFontMap(groups);
            it = fontMaps.emplace(std::string(key), std::move(fonts)).first;
        }
        const std::vector<MappedFont>& mapped = it->second;
        const bool pageLevel = inPage && stack.size() == 1;
        if (pageLevel && ctx().fonts.empty()) {
            KeptFonts* kept = keptFontsOf(&mapped);
            if (kept && kept->generation == fontMapsGeneration) {
                ctx().fonts.swap(kept->fonts);
                kept->from = nullptr;
            } else {
                for (const MappedFont& m : mapped) placeFont(m.lid, m.font);
            }
            pageFontsFrom = &mapped;
            return;
        }
        for (const MappedFont& m : mapped) placeFont(m.lid, m.font);
    }
    // The fonts of an MCF's groups, resolved, by local id in group order.
    std::vector<MappedFont> readFontMap(const Bytes& groups) {
        std::vector<MappedFont> fonts;
        for (const MCF_& g : Chunks<MCF_>::fromPayload(groups)) {
            if (g.frame != Frame::Item) continue;
            int lid = -1;
            unsigned section = 0;
            Font f;
            std::string fcs, cf, objectName;
            for (const T_& t : Chunks<T_>::fromPayload(g.payload)) {
                if (t.frame != Frame::Item) continue;
                std::span<const byte> p = t.payload.span();
                switch (t.code) {
                case 0x24: if (u8(p, 1) == 0x05) lid = int(u8(p, 2)); break;
                case 0x25: section = u8(p, 1); break;
                case 0x02:
                    switch (u8(p, 1)) {
                    case 0x85: f.codePageName = nameAt(p, 3, p.size()); break;
                    case 0x86: fcs = nameAt(p, 3, p.size()); break;
                    case 0x8E: cf = nameAt(p, 3, p.size()); break;
                    case 0xBE:
                    case 0xDE: objectName = nameAt(p, 3, p.size()); break;
                    default: break;
                    }
                    break;
                case 0x01: {
                    unsigned cp = u16(p, 3);
                    if (cp) f.cpgid = cp;
                    break;
                }
                case 0x50: f.cpgid = encodingCodePage(p, f.cpgid); break;
                case 0x1F: if (u16(p, 3)) f.size = u16(p, 3) / 20.0; break;
                case 0x8B: if (u16(p, 3)) f.size = u16(p, 3) / 20.0; break;
                default: break;
                }
            }
            if (lid < 0) continue;
            f.name = !fcs.empty() ? fcs : !cf.empty() ? cf : objectName;
            if (!objectName.empty()) {
                auto it = dataObjectFonts.find(objectName);
                if (it != dataObjectFonts.end()) {
                    if (!f.cpgid) f.cpgid = it->second.first;
                    if (!f.size) f.size = it->second.second;
                }
                if (!f.cpgid) f.cpgid = 1200;  // data-object fonts take Unicode unless told otherwise
            }
            if (section >= 0x41 && section <= 0xFE) f.doubleByte = true;
            resolveFont(f);
            fonts.push_back({unsigned(lid), std::move(f)});
        }
        return fonts;
    }

    void fontMap1(std::span<const byte> d) {
        std::size_t len = u8(d, 0);
        if (len < 28) return;
        for (std::size_t at = 4; at + 28 <= d.size(); at += len) {
            Font f;
            unsigned lid = u8(d, at), section = u8(d, at + 2);
            std::string cf = u16(d, at + 4) == 0xFFFF ? "" : nameAt(d, at + 4, 8);
            f.codePageName = u16(d, at + 12) == 0xFFFF ? "" : nameAt(d, at + 12, 8);
            std::string fcs = u16(d, at + 20) == 0xFFFF ? "" : nameAt(d, at + 20, 8);
            f.name = !fcs.empty() ? fcs : cf;
            if (section >= 0x41 && section <= 0xFE) f.doubleByte = true;
            addFont(lid, std::move(f));
        }
    }

    void addFont(unsigned lid, Font f) {
        resolveFont(f);
        placeFont(lid, f);
    }
    // A font as the map names it, with its style, size, code page and the
    // font resources of the stream or the resource directories.
    void resolveFont(Font& f) {
        styleOfName(f);
        if (!f.size) f.size = sizeOfName(f.name);
        if (!charSets.count(f.name)) loadFontResource(f.name);
        if (!f.codePageName.empty() && !codePages.count(f.codePageName)) loadFontResource(f.codePageName);
        if (auto it = charSets.find(f.name); it != charSets.end() && it->second.haveIndex) {
            f.charSet = &it->second;
            f.raster = it->second.raster;
        }
        if (auto it = codePages.find(f.codePageName); it != codePages.end()) {
            f.codePage = &it->second;
            if (!f.cpgid) f.cpgid = it->second.cpgid;
        }
        if (!f.cpgid) f.cpgid = codePageOfName(f.codePageName);
        if (!f.cpgid && !f.codePageName.empty()) {
            warn("unknown code page " + f.codePageName + ": its text is read as code page 500");
            f.cpgid = 500;
        }
        if (f.doubleByte && !f.cpgid) f.cpgid = 835;
        if (codePageDoubleByte(f.cpgid)) f.doubleByte = true;
    }
    void placeFont(unsigned lid, const Font& f) {
        if (stack.size() == 1) pageFontsFrom = nullptr;  // the page's fonts are no longer one map's alone
        auto& fonts = ctx().fonts;
        auto it = fonts.find(lid);
        if (it == fonts.end()) {
            if (fontNodes.empty()) {
                fonts.emplace(lid, f);
            } else {
                FontNode node = std::move(fontNodes.back());
                fontNodes.pop_back();
                node.key() = lid;
                node.mapped() = f;
                fonts.insert(std::move(node));
            }
            return;
        }
        // The sections of a double-byte font share one local id: the first group names it.
        if (it->second.name.empty() || !f.doubleByte) it->second = f;
    }
    // The fonts of a page at its end: kept whole when they are one font
    // map's, else as nodes for the next page's.
    void keepPageFonts(Context& x) {
        if (!pageFontsFrom) {
            keepFontNodes(x);
            return;
        }
        KeptFonts* slot = keptFontsOf(pageFontsFrom);
        if (!slot) slot = keptFontsOf(nullptr);
        if (!slot && keptFonts.size() < maxKeptFonts) slot = &keptFonts.emplace_back();
        if (!slot) {
            slot = &keptFonts[nextKeptFonts];
            nextKeptFonts = (nextKeptFonts + 1) % maxKeptFonts;
        }
        keepFontNodes(slot->fonts);
        slot->fonts.swap(x.fonts);
        slot->from = std::exchange(pageFontsFrom, nullptr);
        slot->generation = fontMapsGeneration;
    }
    KeptFonts* keptFontsOf(const std::vector<MappedFont>* from) {
        for (KeptFonts& k : keptFonts)
            if (k.from == from) return &k;
        return nullptr;
    }
    void keepFontNodes(Context& x) { keepFontNodes(x.fonts); }
    void keepFontNodes(std::map<unsigned, Font>& fonts) {
        while (!fonts.empty()) fontNodes.push_back(fonts.extract(fonts.begin()));
    }

    // ---- the structured fields of a page or an included object ---------------
    void interpret(const AFP_& c, const Bytes& data) {
        std::span<const byte> d = data.span();
        Context& x = ctx();
        if (x.object) {
            x.object->fields->push_back(AFP_{c.code, Bytes::copy(c.payload.span())});
            if (endsObject(c.code)) {
                placeObject(*x.object);
                x.object.reset();
            } else {
                areaField(*x.object, c, d);
            }
            return;
        }
        if (beginsObject(c.code)) {
            x.object.emplace();
            x.object->kind = objectKind(c.code);
            x.object->name = nameAt(d, 0, 8);
            x.object->fields = std::make_shared<std::vector<AFP_>>();
            x.object->fields->push_back(AFP_{c.code, Bytes::copy(c.payload.span())});
            return;
        }
        switch (c.code) {
        case 0xD3A6AF: pageDescriptor(d); break;          // PGD
        case 0xD3B19B: textDescriptor(d, true); break;    // PTD format 2
        case 0xD3A69B: textDescriptor(d, false); break;   // PTD format 1
        case 0xD3AB8A: fontMap(data); break;                // MCF
        case 0xD3B18A: fontMap1(d); break;                // MCF-1
        case 0xD3A89B: beginText(); break;                // BPT
        case 0xD3EE9B: presentationText(data); break; // PTX
        case 0xD3AFD8:                                    // IPO
            include(nameAt(d, 0, 8), s24(d, 8), s24(d, 11), orientationDegrees(u16(d, 14)));
            break;
        case 0xD3AF5F: include(nameAt(d, 0, 8), s24(d, 8), s24(d, 11), 0); break;  // IPS
        case 0xD3AFC3: includeObject(d); break;                                    // IOB
        default: break;
        }
    }

    // IOB: the object's area from the include, else from the object's own
    // OBD/OBP when the object came earlier in the stream. A page segment
    // included this way is included as by IPS.
    void includeObject(std::span<const byte> d) {
        std::string name = nameAt(d, 0, 8);
        unsigned type = u8(d, 9);
        if (type == 0x5F) {
            include(name, s24(d, 10), s24(d, 13), 0);
            return;
        }
        ObjectArea a;
        a.name = name;
        a.kind = type == 0xFB ? PageObject::Kind::Image : type == 0xBB ? PageObject::Kind::Graphics
               : type == 0xEB ? PageObject::Kind::BarCode : type == 0x92 ? PageObject::Kind::Container
                              : PageObject::Kind::Other;
        if (auto it = resources.find(name); it != resources.end() && !it->second->empty()) {
            const std::vector<AFP_>& fields = *it->second;
            if (a.kind == PageObject::Kind::Other) a.kind = objectKind(fields.front().code);
            for (const AFP_& f : fields) areaField(a, f, sfData(f).span());
            a.fields = it->second;
        }
        if (u24(d, 10) != 0xFFFFFF) a.x = s24(d, 10);
        if (u24(d, 13) != 0xFFFFFF) a.y = s24(d, 13);
        if (u16(d, 16) != 0xFFFF) a.rotation = orientationDegrees(u16(d, 16));
        if (d.size() > 27) {
            a.includeTriplets.assign(d.begin() + 27, d.end());
            ObjectArea own;
            areaTriplets(own, d.subspan(27));
            if (own.width > 0 || own.height > 0) {
                a.width = own.width;
                a.height = own.height;
                a.unitX = own.unitX;
                a.unitY = own.unitY;
            }
        }
        placeObject(a);
    }

    void placeObject(const ObjectArea& a) {
        const Context& x = ctx();
        double ux = a.unitX > 0 ? a.unitX : x.pageUnitX, uy = a.unitY > 0 ? a.unitY : x.pageUnitY;
        Placement area = x.place.then(a.x * x.pageUnitX, a.y * x.pageUnitY, a.rotation);
        double w = a.width * ux, h = a.height * uy;
        Vec corners[4] = {area.apply({0, 0}), area.apply({w, 0}), area.apply({0, h}), area.apply({w, h})};
        PageObject o;
        o.kind = a.kind;
        o.name = a.name;
        o.rotation = area.rotation;
        o.x = std::min({corners[0].x, corners[1].x, corners[2].x, corners[3].x});
        o.y = std::min({corners[0].y, corners[1].y, corners[2].y, corners[3].y});
        o.width = std::max({corners[0].x, corners[1].x, corners[2].x, corners[3].x}) - o.x;
        o.height = std::max({corners[0].y, corners[1].y, corners[2].y, corners[3].y}) - o.y;
        o.originX = corners[0].x;
        o.originY = corners[0].y;
        o.areaWidth = w;
        o.areaHeight = h;
        o.fields = a.fields;
        o.includeTriplets = a.includeTriplets;
        page.objects.push_back(std::move(o));
    }

    void include(const std::string& name, int dx, int dy, int rot) {
        if (stack.size() >= maxIncludeDepth) {
            warn("overlays and page segments nest too deeply at " + name + ": not included");
            return;
        }
        std::shared_ptr<std::vector<AFP_>> fields;
        if (auto it = resources.find(name); it != resources.end()) fields = it->second;
        else if (!opt.resourceDir.empty() || !opt.resourceDirs.empty()) fields = loadResource(name);
        if (!fields) {
            std::string dirs = opt.resourceDir;
            for (const std::string& d : opt.resourceDirs) dirs += (dirs.empty() ? "" : ", ") + d;
            warn("resource " + name + " is not in the stream" + (dirs.empty() ? std::string() : " nor in " + dirs) +
                 ": not included");
            return;
        }
        const Context& parent = ctx();
        Context inner;
        inner.unitX = inner.pageUnitX = parent.pageUnitX;
        inner.unitY = inner.pageUnitY = parent.pageUnitY;
        inner.extentX = parent.width / parent.pageUnitX;
        inner.extentY = parent.height / parent.pageUnitY;
        inner.width = parent.width;
        inner.height = parent.height;
        inner.fonts = parent.fonts;  // a page segment uses the fonts of the page that includes it
        inner.place = parent.place.then(dx * parent.pageUnitX, dy * parent.pageUnitY, rot);
        stack.push_back(std::move(inner));
        for (const AFP_& f : *fields) {
            if (f.code == 0xD3A9CE || f.code == 0xD3A8CE) continue;
            interpret(f, sfData(f));
        }
        stack.pop_back();
    }

    // A font character set or code page the stream does not carry, from the
    // resource directories: the file named after it, read for its font
    // fields. Each name is looked for once.
    void loadFontResource(const std::string& name) {
        if (name.empty() || (opt.resourceDir.empty() && opt.resourceDirs.empty())) return;
        if (!fontFilesTried.insert(name).second) return;
        std::string path = opt.resourceDir.empty() ? std::string() : findResourceFile(opt.resourceDir, name);
        for (std::size_t k = 0; path.empty() && k < opt.resourceDirs.size(); ++k)
            path = findResourceFile(opt.resourceDirs[k], name);
        if (path.empty()) return;
        InlineCharSet* keepCharSet = std::exchange(curCharSet, nullptr);
        InlineCodePage* keepCodePage = std::exchange(curCodePage, nullptr);
        int keepCount = fniCount;
        loadingName = name;
        try {
            AfpStream in = readAFP(path);
            for (const AFP_& c : in) fontResource(c.code, sfData(c).span());
        } catch (const Error& e) {
            warn(std::string("font resource ") + path + ": " + e.what());
        }
        if (curCharSet) finishCharSet(*curCharSet);
        loadingName.clear();
        curCharSet = keepCharSet;
        curCodePage = keepCodePage;
        fniCount = keepCount;
    }

    std::shared_ptr<std::vector<AFP_>> loadResource(const std::string& name) {
        std::string path = opt.resourceDir.empty() ? std::string() : findResourceFile(opt.resourceDir, name);
        for (std::size_t k = 0; path.empty() && k < opt.resourceDirs.size(); ++k)
            path = findResourceFile(opt.resourceDirs[k], name);
        if (path.empty()) return nullptr;
        auto fields = std::make_shared<std::vector<AFP_>>();
        try {
            AfpStream in = readAFP(path);
            for (const AFP_& c : in) fields->push_back(AFP_{c.code, Bytes::copy(c.payload.span())});
        } catch (const Error& e) {
            warn(std::string("resource ") + path + ": " + e.what());
        }
        resources[name] = fields;
        return fields;
    }

    // ---- presentation text --------------------------------------------------
    void beginText() {
        Context& x = ctx();
        x.ts = TextState{};
        if (!x.initialText.empty()) {
            // A view of the descriptor's bytes, which live as long as the context.
            Bytes init = Bytes::fromStatic(x.initialText.data(), x.initialText.size());
            bool prefixed = init.size() >= 2 && init[0] == 0x2B && init[1] == 0xD3;
            controlSequences(Chunks<PTX_>::fromPayload(prefixed ? init.dropFront(2) : init, true));
        }
    }

    // The control sequences are read through a view of the field's bytes that
    // owns nothing: the field outlives the walk, and the slices cut for each
    // control sequence then cost no reference counting.
    void presentationText(const Bytes& field) {
        const Bytes data = Bytes::fromStatic(field.data(), field.size());
        if (data.size() >= 2 && data[0] == 0x2B && data[1] == 0xD3) {
            controlSequences(Chunks<PTX_>::fromPayload(data.dropFront(2), true));
        } else {
            present(data.prefix(2).span());
            controlSequences(Chunks<PTX_>::fromPayload(data.dropFront(2), false));
        }
    }

    double baselineIncrement() const {
        const Context& x = stack.back();
        if (x.ts.baselineIncrement >= 0) return x.ts.baselineIncrement;
        return 12.0 / (x.ts.iAngle % 180 == 0 ? x.unitY : x.unitX);  // 6 lines per inch
    }

    // The control sequences and code points of presentation text. A Unicode
    // Complex Text control sequence (UCT) is followed by its text, which is
    // not scanned for control sequences: the walk takes those bytes and
    // starts again after them.
    void controlSequences(Chunks<PTX_> seq) {
        for (;;) {
            bool restarted = false;
            const Bytes& src = seq.source();
            for (auto it = seq.begin(); it != seq.end(); ++it) {
                const PTX_& cs = *it;
                if (cs.frame == Frame::Text) {
                    present(cs.payload.span());
                    continue;
                }
                if (cs.frame != Frame::Item || cs.payload.empty()) continue;
                if (cs.code == 0x6A && seq.fromSource()) {
                    std::size_t at = it.offset();
                    bool prefixed = at + 1 < src.size() && src[at] == 0x2B && src[at + 1] == 0xD3;
                    std::size_t end = at + (prefixed ? 2 : 0) + 1 + cs.payload.size();
                    std::size_t length = std::min<std::size_t>(u16(cs.payload.span(), 3), src.size() - std::min(end, src.size()));
                    unicodeText(src.slice(end, length).span());
                    seq = Chunks<PTX_>::fromPayload(src.dropFront(end + length), false);
                    restarted = true;
                    break;
                }
                control(cs.code & 0xFE, cs.payload.span().subspan(1));
            }
            if (!restarted) return;
        }
    }

    // Text of a UCT: in a glyph-run chain (GLC, GIR, GAR) it is the text of
    // the glyphs, placed at the chain's glyph advances; on its own it is
    // UTF-16 text in the current font.
    void unicodeText(std::span<const byte> utf16) {
        TextState& t = ctx().ts;
        if (!chain.open) {
            presentDecoded(utf16, 1200, true);
            return;
        }
        chain.open = false;
        double end = chain.start + chain.advance;
        t.i = chain.start;
        std::vector<double> at = chain.glyphAdvances;
        presentDecoded(utf16, 1200, true, &at, chain.advance);
        t.i = end;
        t.fresh = true;
    }

    struct GlyphChain {
        bool open = false;
        double start = 0, advance = 0;
        std::vector<double> glyphAdvances;
    } chain;

    // One control sequence: its function type (unchained form) and parameters.
    void control(unsigned type, std::span<const byte> p) {
        TextState& t = ctx().ts;
        switch (type) {
        case 0xC6: t.i = u16(p, 0); t.fresh = true; break;                 // AMI
        case 0xC8: t.i += s16(p, 0); t.fresh = true; break;                // RMI
        case 0xD2: t.b = u16(p, 0); break;                                 // AMB
        case 0xD4: t.b += s16(p, 0); break;                                // RMB
        case 0xD8: t.i = t.margin; t.b += baselineIncrement(); t.fresh = true; break;  // BLN
        case 0xC0: t.margin = u16(p, 0); break;                            // SIM
        case 0xD0: t.baselineIncrement = u16(p, 0); break;                 // SBI
        case 0xC4: t.varSpace = u16(p, 0); break;                          // SVI
        case 0xC2: t.adjust = u8(p, 2) == 1 ? -double(u16(p, 0)) : u16(p, 0); break;  // SIA
        case 0xF0: t.lid = u8(p, 0, 0xFF); break;                          // SCFL
        case 0x74: t.color = namedColor(u16(p, 0, 0xFF07)); break;         // STC
        case 0x80: t.color = colorSpec(p.subspan(std::min<std::size_t>(1, p.size()))); break;  // SEC
        case 0xF6: orientation(orientationDegrees(u16(p, 0)), orientationDegrees(u16(p, 2, 0x2D00))); break;  // STO
        case 0x76: t.underscore = (u8(p, 0, 1) & 0x0F) != 0; break;        // USC
        case 0x72: t.overstrike = (u8(p, 0, 1) & 0x0F) != 0; break;        // OVS
        case 0x78: {                                                       // TBM
            double inc = p.size() >= 4 ? u16(p, 2) : baselineIncrement() / 2;
            unsigned dir = u8(p, 0);
            if (dir == 1) t.tempBaseline = 0;
            else if (dir == 2) t.tempBaseline += inc;
            else if (dir == 3) t.tempBaseline -= inc;
            break;
        }
        case 0xF2: t.suppression = u8(p, 0); break;                        // BSU
        case 0xF4: t.suppression = 0; break;                               // ESU
        case 0xDA: present(p); break;                                      // TRN
        case 0x6C:                                                         // GLC (chained form 6D)
            chain.open = true;
            chain.start = t.i;
            chain.advance = s16(p, 0);
            chain.glyphAdvances.clear();
            t.i = chain.start + chain.advance;  // where the chain leaves the position, text or not
            t.fresh = true;
            break;
        case 0x8C:                                                         // GAR
            if (chain.open)
                for (std::size_t k = 2; k + 2 <= p.size(); k += 2) chain.glyphAdvances.push_back(u16(p, k));
            break;
        case 0xEE: repeatString(p); break;                                 // RPS
        case 0xE4: rule(s16(p, 0), p.size() >= 4 ? s16(p, 2) + u8(p, 4) / 256.0 : 0, true); break;   // DIR
        case 0xE6: rule(s16(p, 0), p.size() >= 4 ? s16(p, 2) + u8(p, 4) / 256.0 : 0, false); break;  // DBR
        default: break;
        }
    }

    void orientation(int iDeg, int bDeg) {
        int diff = ((bDeg - iDeg) % 360 + 360) % 360;
        if (iDeg % 90 != 0 || bDeg % 90 != 0 || (diff != 90 && diff != 270)) iDeg = 0, bDeg = 90;
        Context& x = ctx();
        TextState& t = x.ts;
        Vec p = textPoint(t.i, t.b);  // the current position stays where it is
        t.iAngle = iDeg;
        t.bAngle = bDeg;
        Vec o = origin(), di = direction(iDeg), db = direction(bDeg);
        t.i = (p.x - o.x) * di.x + (p.y - o.y) * di.y;
        t.b = (p.x - o.x) * db.x + (p.y - o.y) * db.y;
    }

    // The I,B origin in text units: the corner both axes point away from.
    Vec origin() {
        const Context& x = ctx();
        Vec di = direction(x.ts.iAngle), db = direction(x.ts.bAngle);
        return {di.x < 0 || db.x < 0 ? x.extentX : 0, di.y < 0 || db.y < 0 ? x.extentY : 0};
    }
    // A point of the I,B space in the context's text units (x, y).
    Vec textPoint(double i, double b) {
        const Context& x = ctx();
        Vec o = origin(), di = direction(x.ts.iAngle), db = direction(x.ts.bAngle);
        return {o.x + i * di.x + b * db.x, o.y + i * di.y + b * db.y};
    }
    Vec pagePoint(double i, double b) {
        const Context& x = ctx();
        Vec t = textPoint(i, b);
        return x.place.apply({t.x * x.unitX, t.y * x.unitY});
    }

    void repeatString(std::span<const byte> p) {
        std::size_t total = std::min(u16(p, 0), 32767u);
        std::span<const byte> data = p.subspan(std::min<std::size_t>(2, p.size()));
        if (data.empty() || total == 0) return;
        std::vector<byte> bytes(total);
        for (std::size_t k = 0; k < total; ++k) bytes[k] = data[k % data.size()];
        present(bytes);
    }

    void rule(double length, double width, bool inline_) {
        Context& x = ctx();
        TextState& t = x.ts;
        if (width == 0) width = 72.0 / 240 / x.unitX;  // no width given: one pel at 240 dpi
        Vec a = pagePoint(t.i, t.b + t.tempBaseline);
        Vec b = inline_ ? pagePoint(t.i + length, t.b + t.tempBaseline + width)
                        : pagePoint(t.i + width, t.b + t.tempBaseline + length);
        PageRule r;
        r.x = std::min(a.x, b.x);
        r.y = std::min(a.y, b.y);
        r.width = std::abs(a.x - b.x);
        r.height = std::abs(a.y - b.y);
        r.color = t.color;
        page.rules.push_back(r);
    }

    const Font& currentFont() {
        auto& fonts = ctx().fonts;
        auto it = fonts.find(ctx().ts.lid);
        if (it == fonts.end()) {
            if (fonts.size() == 1 && ctx().ts.lid == 0xFF) return fonts.begin()->second;
            return fallbackFont;
        }
        return it->second;
    }

    // Presents code points in the current font: one text run.
    void present(std::span<const byte> bytes) { presentDecoded(bytes, 0, false); }

    // Presents code points in the current font, in its code page or (when
    // `forced` is set) in code page `forcedCp`; glyph positions `at` (text
    // units from the current position) replace the font's advances when
    // there is one per character, and the characters share `span` otherwise.
    void presentDecoded(std::span<const byte> bytes, unsigned forcedCp, bool forced,
                        const std::vector<double>* positions = nullptr, double span = 0) {
        if (bytes.empty()) return;
        Context& x = ctx();
        TextState& t = x.ts;
        const Font& f = currentFont();
        unsigned cpgid = forced ? forcedCp : opt.codePage ? opt.codePage : f.cpgid ? f.cpgid : 500;
        bool dbcs = forced ? codePageDoubleByte(forcedCp) : opt.codePage ? codePageDoubleByte(opt.codePage) : f.doubleByte;
        if (cpgid != decoding.asked || dbcs != decoding.askedDbcs) {
            decoding.asked = cpgid;
            decoding.askedDbcs = dbcs;
            if (!codePageKnown(cpgid)) {
                warn("code page " + std::to_string(cpgid) + " is not known: its text is read as code page 500");
                cpgid = 500;
                dbcs = false;
            }
            decoding.cpgid = cpgid;
            decoding.dbcs = dbcs;
            decoding.page = &runCodePage(cpgid, dbcs);
            decoding.singleByte = !dbcs && codePageSingleByte(cpgid);
        }
        cpgid = decoding.cpgid;
        dbcs = decoding.dbcs;
        double size = f.size > 0 ? f.size : 10;
        double unit = t.iAngle % 180 == 0 ? x.unitX : x.unitY;  // points per text unit along I

        TextRun& run = newRun();
        run.codePoints.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        run.codePage = cpgid;
        run.doubleByte = dbcs;
        run.font = f.name;
        run.size = size;
        if (f.family != extent.family || f.weight != extent.weight || size != extent.size) {
            const FontExtent& e = substituteExtents[f.family][f.weight];
            extent = {f.family, f.weight, size, e.ascent * size / 1000, -e.descent * size / 1000};
        }
        run.ascent = extent.ascent;
        run.descent = extent.descent;
        run.color = t.color;
        run.underscore = t.underscore;
        run.overstrike = t.overstrike;
        run.suppression = t.suppression;
        run.rotation = (t.iAngle + x.place.rotation) % 360;

        // A raster font draws the patterns of its characters: single-byte
        // text, the patterns named by the GCGIDs of the font's code page, or
        // by the standard GCGID of each character when the code page is not
        // at hand.
        bool raster = f.raster && !dbcs && !forced && cpgid != 1208;
        // The inline position of the run's first character (any value,
        // negative ones too: text may be moved before the page's origin).
        double startI = std::numeric_limits<double>::quiet_NaN();
        if (!raster && decoding.singleByte) {
            // One character per byte: its text, its advance and whether it
            // is a space come from the font's table.
            ByteAdvances& table = advancesOf(f, cpgid, size);
            table.inUnits(unit);
            const std::size_t n = bytes.size();
            run.offsets.resize(n);
            run.advances.resize(n);
            run.text.resize(4 * n);
            float* offsets = run.offsets.data();
            float* advances = run.advances.data();
            char* text = run.text.data();
            double i = t.i;
            const double adjust = t.adjust, varSpace = t.varSpace;
            const bool useVarSpace = varSpace >= 0;
            const float varSpaceRun = float(varSpace * unit);
            // The loop comes in two forms: with an intercharacter adjustment,
            // and without one, where the position only grows by the advances
            // (one addition fewer in the chain every character waits on). The
            // run starts at the first character's position, after the
            // adjustment it takes unless it follows a space.
            auto walk = [&]<bool Adjusted>(std::bool_constant<Adjusted>) {
                if constexpr (Adjusted) {
                    if (!t.fresh) i += adjust;
                }
                startI = i;
                for (std::size_t k = 0; k < n; ++k) {
                    const byte b = bytes[k];
                    std::memcpy(text, table.utf8[b].data(), 4);
                    text += table.utf8Length[b];
                    const bool space = table.space[b];
                    // A space takes the variable space increment when there
                    // is one (chosen without a branch: spaces come anywhere).
                    const bool var = space & useVarSpace;
                    const double adv = var ? varSpace : table.advances[b];  // text units
                    advances[k] = var ? varSpaceRun : table.runAdvances[b];
                    offsets[k] = float((i - startI) * unit);
                    i += adv;
                    // The character after a space takes no adjustment.
                    if constexpr (Adjusted) {
                        if (!space && k + 1 < n) i += adjust;
                    }
                }
            };
            // Adding a zero adjustment leaves the position as it is, except
            // that it would turn a position of -0 into +0.
            if (adjust == 0 && !(i == 0 && std::signbit(i)))
                walk(std::false_type{});
            else
                walk(std::true_type{});
            run.text.resize(std::size_t(text - run.text.data()));
            t.i = i;
            t.fresh = table.space[bytes[n - 1]];
        } else {
            run.text.clear();
            run.offsets.clear();
            run.advances.clear();
            decoding.page->appendUtf8(run.text, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
            const std::array<float, 256>* widths = dbcs || cpgid == 1208 ? nullptr : &byteWidthsOf(f, cpgid);
            if (raster) {
                run.raster = f.raster;
                run.glyphs.reserve(bytes.size());
            }
            run.offsets.reserve(bytes.size());
            run.advances.reserve(bytes.size());
            std::size_t step = dbcs ? 2 : 1;
            std::size_t k = 0;
            for (std::size_t at = 0; at < run.text.size(); ++k) {
                char32_t u = nextCodePoint(run.text, at);
                bool space = u == 0x20 && !dbcs;
                if (!t.fresh) t.i += t.adjust;  // a space takes the adjustment; the character after it does not
                if (k == 0) startI = t.i;
                double adv;  // text units
                if (space && t.varSpace >= 0) {
                    adv = t.varSpace;
                } else {
                    adv = inlineAdvance(f, bytes, k * step, step, size, unit);
                    if (adv < 0) {
                        // Every character of a double-byte EBCDIC font is full width (one
                        // em), Latin and Cyrillic letters included; UTF-16 fonts are
                        // proportional.
                        double em = widths && k < bytes.size()   ? (*widths)[bytes[k]]
                                    : dbcs && cpgid != 1200 ? 1000.0
                                                              : substituteWidth(f, u);
                        adv = em * size / 1000 / unit;
                    }
                }
                if (raster) run.glyphs.push_back(k < bytes.size() ? rasterGlyph(f, bytes[k], u) : nullptr);
                run.offsets.push_back(float((t.i - startI) * unit));
                run.advances.push_back(float(adv * unit));
                t.i += adv;
                t.fresh = space;
            }
        }
        if (run.offsets.empty()) {
            dropLastRun();
            return;
        }
        if (positions) {
            std::size_t n = run.offsets.size();
            bool each = positions->size() == n;
            for (std::size_t c = 0; c < n; ++c) {
                double from = each ? (*positions)[c] : span * double(c) / double(n);
                double to = each ? (c + 1 < n ? (*positions)[c + 1] : span) : span * double(c + 1) / double(n);
                run.offsets[c] = float(from * unit);
                run.advances[c] = float(std::max(0.0, to - from) * unit);
            }
        }
        Vec p = pagePoint(startI, t.b + t.tempBaseline);
        run.x = p.x;
        run.y = p.y;
    }

    // The advance table of a single-byte font in a code page: what
    // inlineAdvance gives each byte (times the text unit), else the
    // substitute width at `size`.
    ByteAdvances& advancesOf(const Font& f, unsigned cpgid, double size) {
        if (f.advances && f.advancesCp == cpgid && f.advancesEpoch == fontEpoch) return *f.advances;
        if (tablesEpoch != fontEpoch) {
            advanceTables.clear();
            tablesEpoch = fontEpoch;
        }
        bool own = f.charSet && f.codePage;
        AdvanceKey key{own ? f.charSet : nullptr, own ? f.codePage : nullptr, f.family, f.weight, size, cpgid};
        auto [it, added] = advanceTables.try_emplace(key);
        if (added) {
            const std::array<float, 256>& widths = byteWidthsOf(f, cpgid);
            ByteAdvances& a = it->second;
            for (unsigned b = 0; b < 256; ++b) {
                const byte one = byte(b);
                std::string u = decodeRun(cpgid, false, std::span<const byte>(&one, 1));
                std::size_t at = 0;
                a.space[b] = !u.empty() && nextCodePoint(u, at) == 0x20;
                a.utf8Length[b] = std::uint8_t(std::min<std::size_t>(u.size(), 4));
                std::memcpy(a.utf8[b].data(), u.data(), a.utf8Length[b]);
                std::optional<double> points = own ? inlinePoints(f, b, size) : std::nullopt;
                a.points[b] = points ? *points : double(widths[b]) * size / 1000;
            }
        }
        f.advances = &it->second;
        f.advancesCp = cpgid;
        f.advancesEpoch = fontEpoch;
        return it->second;
    }

    static const RasterGlyph* rasterGlyph(const Font& f, byte cp, char32_t u) {
        std::string_view gcgid;
        if (f.codePage) {
            auto g = f.codePage->gcgids.find(cp);
            if (g == f.codePage->gcgids.end()) return nullptr;
            gcgid = g->second;
        } else {
            gcgid = standardGcgid(u);
            if (gcgid.empty()) return nullptr;
        }
        auto it = f.raster->glyphs.find(gcgid);
        return it == f.raster->glyphs.end() ? nullptr : &it->second;
    }

    const std::array<float, 256>& byteWidthsOf(const Font& f, unsigned cpgid) {
        auto [it, added] = byteWidths.try_emplace({f.family, f.weight, cpgid});
        if (added) {
            for (unsigned b = 0; b < 256; ++b) {
                const byte one = byte(b);
                std::string u = decodeRun(cpgid, false, std::span<const byte>(&one, 1));
                std::size_t at = 0;
                it->second[b] = float(u.empty() ? 0 : substituteWidth(f, nextCodePoint(u, at)));
            }
        }
        return it->second;
    }

    // The advance of a character from the inline font resources, in text
    // units; -1 when they do not give it.
    double inlineAdvance(const Font& f, std::span<const byte> bytes, std::size_t at, std::size_t step, double size,
                         double unit) {
        if (!f.charSet || !f.codePage || at + step > bytes.size()) return -1;
        unsigned cp = step == 2 ? unsigned(bytes[at]) << 8 | bytes[at + 1] : bytes[at];
        std::optional<double> points = inlinePoints(f, cp, size);
        return points ? *points / unit : -1;
    }
    // The advance in points of code point `cp` from the inline font
    // resources of the font (which has both); none when they do not give it.
    static std::optional<double> inlinePoints(const Font& f, unsigned cp, double size) {
        auto g = f.codePage->gcgids.find(cp);
        if (g == f.codePage->gcgids.end()) return std::nullopt;
        auto inc = f.charSet->increments.find(g->second);
        if (inc == f.charSet->increments.end()) return std::nullopt;
        return f.charSet->pointsPerUnit > 0 ? inc->second * f.charSet->pointsPerUnit
                                            : inc->second * size / f.charSet->unitsPerEm;
    }
};

const char* objectKindName(PageObject::Kind k) noexcept {
    switch (k) {
    case PageObject::Kind::Image: return "image";
    case PageObject::Kind::Graphics: return "graphics";
    case PageObject::Kind::BarCode: return "bar code";
    case PageObject::Kind::Container: return "object container";
    default: return "object";
    }
}

PageInterpreter::PageInterpreter(PageOptions options) : impl_(std::make_unique<Impl>()) {
    impl_->opt = std::move(options);
}
PageInterpreter::~PageInterpreter() = default;
bool PageInterpreter::feed(const AFP_& c) { return impl_->feed(c); }
const Page& PageInterpreter::page() const noexcept { return impl_->page; }
int PageInterpreter::pages() const noexcept { return impl_->pages; }

}  // namespace pressel
