// Character advances of single-byte fonts against an independent reading of
// the core font widths, for every byte of every font the samples use; font
// resources read after a font was used; and pages read one after another
// by one interpreter, which must each come out as if read alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <span>
#include <tuple>

#include "helpers.hpp"
#include "byte_builders.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/page/page.hpp"
#include "pressel/page/page_text.hpp"

namespace pressel::test {
namespace {

// The core font widths the interpreter measures text with, read here on
// their own as the oracle.
struct GlyphWidth {
    char16_t code;
    std::uint16_t width;
};
struct FontExtent {
    int ascent, descent;
};
#include "../src/font_widths.inc"

// Family (Helvetica, Times, Courier) and weight (roman, bold, italic, bold
// italic) of an IBM core font name: typeface H, N or 4; style 2, 4, 3 or 5.
std::pair<int, int> styleOf(std::string_view name) {
    int family = name[2] == 'N' ? 1 : name[2] == '4' ? 2 : 0;
    int weight = name[3] == '4' ? 1 : name[3] == '3' ? 2 : name[3] == '5' ? 3 : 0;
    return {family, weight};
}
// 1/1000 em of a character in a core font; characters the font lacks take
// one em when ideographic, else the typeface's average.
double coreWidth(int family, int weight, char32_t u) {
    for (const GlyphWidth& g : substituteWidths[family][weight])
        if (g.code == u) return g.width;
    if (u >= 0x1100 && (u < 0x2000 || u >= 0x2E80)) return 1000;
    return family == 2 ? 600 : family == 1 ? 500 : 556;
}
char32_t firstCodePoint(const std::string& s) {
    if (s.empty()) return 0;
    auto c = static_cast<unsigned char>(s[0]);
    if (c < 0x80) return c;
    int n = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
    char32_t u = c & (0x3F >> n);
    for (int k = 1; k <= n && k < int(s.size()); ++k) u = u << 6 | (static_cast<unsigned char>(s[std::size_t(k)]) & 0x3F);
    return u;
}

constexpr double unit = 720.0 / 14400;  // points per text unit at 1440 units per inch

// A page at 1440 units per inch with a font map and one text object.
std::vector<AFP_> page(const B& mcfGroups, const B& text) {
    const B units = B{0, 0} + be(14400, 2) + be(14400, 2) + be(12240, 3) + be(15840, 3);
    return {sf(0xD3A8AF, name8("P1")), sf(0xD3A8C9),         sf(0xD3AB8A, mcfGroups), sf(0xD3A6AF, units + B{0, 0, 0}),
            sf(0xD3B19B, units + B{0, 0}), sf(0xD3A9C9),     sf(0xD3A89B),            sf(0xD3EE9B, text),
            sf(0xD3A99B),                  sf(0xD3A9AF)};
}
// A font map group: a character set by name, a code page by CPGID, a size.
B fontGroup(byte id, std::string_view charSet, unsigned cpgid, double size) {
    return group(fqn(0x86, charSet) + triplet(0x01, B{0, 0} + be(cpgid, 2)) +
                 triplet(0x1F, B{0, 0} + be(unsigned(size * 20 + 0.5), 2) + B(12, 0)) + lid(id));
}
// Bytes [from, from + n) as one TRN.
B bytesFrom(unsigned from, unsigned n) {
    B b;
    for (unsigned k = 0; k < n; ++k) b.push_back(byte(from + k));
    return cs(0xDA, b);
}

struct Font {
    std::string name;
    unsigned cpgid;
    double size;
    bool operator<(const Font& o) const { return std::tie(name, cpgid, size) < std::tie(o.name, o.cpgid, o.size); }
};

// The text of a run of core-font text with no adjustment and no variable
// space increment, and its every advance and offset: the width of each
// decoded character at the run's size, one after the other.
void expectCoreAdvances(const TextRun& r, const Font& f) {
    SCOPED_TRACE(f.name + " in code page " + std::to_string(f.cpgid) + " at " + std::to_string(f.size) + " pt");
    EXPECT_EQ(r.font, f.name);
    EXPECT_EQ(r.codePage, f.cpgid);
    ASSERT_EQ(r.advances.size(), r.codePoints.size());
    ASSERT_EQ(r.offsets.size(), r.codePoints.size());
    EXPECT_EQ(r.text, decodeRun(f.cpgid, false,
                                std::span<const byte>(reinterpret_cast<const byte*>(r.codePoints.data()), r.codePoints.size())));
    auto [family, weight] = styleOf(f.name);
    EXPECT_EQ(r.ascent, substituteExtents[family][weight].ascent * f.size / 1000);
    double at = 0;
    for (std::size_t k = 0; k < r.codePoints.size(); ++k) {
        const byte b = byte(r.codePoints[k]);
        char32_t u = firstCodePoint(decodeRun(f.cpgid, false, std::span<const byte>(&b, 1)));
        double adv = coreWidth(family, weight, u) * f.size / 1000 / unit;
        if (r.advances[k] != float(adv * unit) || r.offsets[k] != float(at * unit)) {
            ADD_FAILURE() << "byte " << unsigned(b) << ": advance " << r.advances[k] << ", offset " << r.offsets[k]
                          << "; want " << float(adv * unit) << ", " << float(at * unit);
            return;
        }
        at += adv;
    }
}

TEST(PageAdvances, EveryByteOfEveryFontOfTheSamplesTakesItsCoreWidth) {
    // The single-byte core fonts of the samples, with their code pages and sizes.
    std::set<Font> fonts;
    for (const std::string& file : allSampleFiles()) {
        PageInterpreter x;
        for (const AFP_& c : readAFP(file)) {
            if (!x.feed(c)) continue;
            for (const TextRun& r : x.page().text)
                if (!r.doubleByte && r.font.size() == 8 && r.font[0] == 'C' && codePageKnown(r.codePage) &&
                    r.codePage != 1208)
                    fonts.insert({r.font, r.codePage, r.size});
        }
    }
    ASSERT_GE(fonts.size(), 10u);
    // Each font next to another font of another code page and size, both
    // switched back and forth on one page, every page read by one interpreter.
    const Font other{"C0440070", 37, 7};
    std::vector<AFP_> fields;
    for (const Font& f : fonts) {
        B text = cs(0xD2, be(1440, 2)) + cs(0xC6, be(720, 2));
        for (unsigned half : {0u, 128u})
            text = text + cs(0xF0, {1}) + bytesFrom(half, 128) + cs(0xF0, {2}) + bytesFrom(half, 128);
        for (const AFP_& c : page(fontGroup(1, f.name, f.cpgid, f.size) + fontGroup(2, other.name, other.cpgid, other.size), text))
            fields.push_back(c);
    }
    PageInterpreter x;
    std::size_t pages = 0;
    auto font = fonts.begin();
    for (const AFP_& c : fields) {
        if (!x.feed(c)) continue;
        const Page& p = x.page();
        ++pages;
        ASSERT_EQ(p.text.size(), 4u);
        for (std::size_t k = 0; k < 4; ++k) expectCoreAdvances(p.text[k], k % 2 ? other : *font);
        ++font;
    }
    EXPECT_EQ(pages, fonts.size());
}

// A character set with fixed metrics at 240 pels per inch and its code page:
// 'a' (X'81'), 'b' (X'82') and the space (X'40') with their own increments.
std::vector<AFP_> charSet(unsigned incA) {
    return {
        sf(0xD3A889, name8("C0TEST00")),
        sf(0xD3A789, B{0x01, 0x05, 0, 0, 0x00, 0x00} + be(2400, 2) + be(2400, 2) + B(4, 0) + B{26, 28, 0} +
                         B(3, 0) + B{22, 8}),
        sf(0xD38C89, ebc("LA010000") + be(incA, 2) + B(18, 0) + ebc("LB010000") + be(60, 2) + B(18, 0) +
                         ebc("SP010000") + be(45, 2) + B(18, 0)),
        sf(0xD3A989, name8("C0TEST00")),
    };
}
std::vector<AFP_> codePage() {
    return {
        sf(0xD3A887, name8("T1TEST01")),
        sf(0xD3A687, B(40, 0x40) + be(500, 2)),
        sf(0xD3A787, ebc("SP010000") + B{0, 10, 0, 0x40, 0}),
        sf(0xD38C87, ebc("LA010000") + B{0, 0x81} + ebc("LB010000") + B{0, 0x82} + ebc("SP010000") + B{0, 0x40}),
        sf(0xD3A987, name8("T1TEST01")),
    };
}
const B testFont = group(fqn(0x86, "C0TEST00") + fqn(0x85, "T1TEST01") + lid(1));

TEST(PageAdvances, InlineMetricsForTheBytesTheyGiveCoreWidthsForTheRest) {
    std::vector<AFP_> f = charSet(30) + codePage() +
                          page(testFont, cs(0xF0, {1}) + bytesFrom(0, 128)) + page(testFont, cs(0xF0, {1}) + bytesFrom(128, 128));
    PageInterpreter x;
    std::vector<float> advances;
    for (const AFP_& c : f)
        if (x.feed(c)) advances.insert(advances.end(), x.page().text.at(0).advances.begin(), x.page().text.at(0).advances.end());
    ASSERT_EQ(advances.size(), 256u);
    for (unsigned b = 0; b < 256; ++b) {
        const byte one = byte(b);
        char32_t u = firstCodePoint(decodeRun(500, false, std::span<const byte>(&one, 1)));
        double points = b == 0x81 ? 9 : b == 0x82 ? 18 : b == 0x40 ? 13.5 : coreWidth(0, 0, u) * 10 / 1000;
        EXPECT_NEAR(advances[b], points, 1e-4) << "byte " << b;
    }
}

TEST(PageAdvances, AFontResourceReadBetweenPagesChangesTheAdvancesOfTheNextPage) {
    const B text = cs(0xF0, {1}) + cs(0xDA, {0x81, 0x40, 0x82});
    std::vector<AFP_> f = charSet(30) + codePage() + page(testFont, text) + charSet(90) + page(testFont, text);
    PageInterpreter x;
    std::vector<std::vector<float>> runs;
    for (const AFP_& c : f)
        if (x.feed(c)) runs.push_back(x.page().text.at(0).advances);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0], (std::vector<float>{9, 13.5, 18}));
    EXPECT_EQ(runs[1], (std::vector<float>{27, 13.5, 18}));
}

TEST(PageAdvances, AFontMapReadBeforeAndAfterItsResourcesTakesThemOnlyAfter) {
    const B text = cs(0xF0, {1}) + cs(0xDA, {0x81, 0x40, 0x82});
    std::vector<AFP_> f = page(testFont, text) + charSet(30) + codePage() + page(testFont, text);
    PageInterpreter x;
    std::vector<std::vector<float>> runs;
    for (const AFP_& c : f)
        if (x.feed(c)) runs.push_back(x.page().text.at(0).advances);
    ASSERT_EQ(runs.size(), 2u);
    ASSERT_EQ(runs[0].size(), 3u);
    EXPECT_NEAR(runs[0][0], 5.56, 1e-4);  // Helvetica at 10 pt
    EXPECT_NEAR(runs[0][1], 2.78, 1e-4);
    EXPECT_NEAR(runs[0][2], 5.56, 1e-4);
    EXPECT_EQ(runs[1], (std::vector<float>{9, 13.5, 18}));
}

// ---- pages one after another ------------------------------------------------

void expectSameRun(const TextRun& a, const TextRun& b) {
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.rotation, b.rotation);
    EXPECT_EQ(a.font, b.font);
    EXPECT_EQ(a.size, b.size);
    EXPECT_EQ(a.ascent, b.ascent);
    EXPECT_EQ(a.descent, b.descent);
    EXPECT_EQ(a.color, b.color);
    EXPECT_EQ(a.text, b.text);
    EXPECT_EQ(a.advances, b.advances);
    EXPECT_EQ(a.offsets, b.offsets);
    EXPECT_EQ(a.codePoints, b.codePoints);
    EXPECT_EQ(a.codePage, b.codePage);
    EXPECT_EQ(a.doubleByte, b.doubleByte);
    EXPECT_EQ(a.underscore, b.underscore);
    EXPECT_EQ(a.overstrike, b.overstrike);
    EXPECT_EQ(a.suppression, b.suppression);
    EXPECT_EQ(a.raster == nullptr, b.raster == nullptr);
    ASSERT_EQ(a.glyphs.size(), b.glyphs.size());
    for (std::size_t k = 0; k < a.glyphs.size(); ++k) {
        EXPECT_EQ(a.glyphs[k] == nullptr, b.glyphs[k] == nullptr);
        if (a.glyphs[k] && b.glyphs[k]) {
            EXPECT_EQ(a.glyphs[k]->bits, b.glyphs[k]->bits);
        }
    }
}
void expectSamePage(const Page& a, const Page& b) {
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    ASSERT_EQ(a.text.size(), b.text.size());
    for (std::size_t k = 0; k < a.text.size(); ++k) {
        SCOPED_TRACE("run " + std::to_string(k));
        expectSameRun(a.text[k], b.text[k]);
    }
    EXPECT_EQ(a.rules.size(), b.rules.size());
    EXPECT_EQ(a.objects.size(), b.objects.size());
    EXPECT_EQ(a.medium.present, b.medium.present);
}

// A raster font of one character: 'A' (X'C1'), an 8 x 2 bar.
std::vector<AFP_> rasterFont() {
    return {
        sf(0xD3A889, name8("C0TSTR00")),
        sf(0xD3A789, B{0x01, 0x05, 0, 0, 0x00, 0x00} + be(2400, 2) + be(2400, 2) + be(8, 2) + be(2, 2) + B{26, 28, 0} +
                         be(2, 3) + B{22, 8}),
        sf(0xD38C89, ebc("LA020000") + be(12, 2) + be(2, 2) + be(0, 2) + be(0, 2) + be(0, 2) + be(0, 2) + be(8, 2) +
                         be(0, 2) + be(0, 2) + be(2, 2)),
        sf(0xD3A289, be(7, 2) + be(1, 2) + be(0, 4)),
        sf(0xD3EE89, B{0xFF, 0xFF}),
        sf(0xD3A989, name8("C0TSTR00")),
        sf(0xD3A887, name8("T1TSTR01")),
        sf(0xD3A687, B(40, 0x40) + be(500, 2)),
        sf(0xD3A787, ebc("SP010000") + B{0, 10, 0, 0x40, 0}),
        sf(0xD38C87, ebc("LA020000") + B{0, 0xC1}),
        sf(0xD3A987, name8("T1TSTR01")),
    };
}

TEST(PageAdvances, APageReadAfterAnotherComesOutAsIfReadAlone) {
    // A first page of many long runs in every way a run can differ: a raster
    // font, colour, underscore, overstrike, suppression, a turned
    // orientation, a glyph-run chain; then pages of a few short plain runs.
    B rich = cs(0xD2, be(1440, 2)) + cs(0xC6, be(720, 2));
    for (int k = 0; k < 20; ++k) rich = rich + cs(0xF0, {2}) + bytesFrom(0xC1, 40) + cs(0xD8);
    rich = rich + cs(0xF0, {3}) + cs(0xDA, {0xC1, 0xC1, 0xC2}) + cs(0x74, be(2, 2)) + cs(0x76, {1}) + cs(0x72, {1}) +
           cs(0xF2, {5}) + cs(0xF0, {2}) + bytesFrom(0x81, 60) + cs(0xF4, {5}) + cs(0xF6, be(0x2D00, 2) + be(0x5A00, 2)) +
           bytesFrom(0xF0, 10) + B{0x2B, 0xD3, 10, 0x6D} + be(600, 2) + B{0, 0, 0, 0, 0, 0} + B{8, 0x8B, 0, 0} +
           be(17, 2) + be(42, 2) + B{8, 0x8D, 0, 0} + be(0, 2) + be(300, 2) + B{0x10, 0x6A, 0x01, 0x00} + be(4, 2) +
           B{0, 0, 0x20, 0x20, 0, 0, 0, 0, 0, 0} + B{0x00, 0x48, 0x00, 0x69};
    const B fonts = group(fqn(0x86, "C0H20000") + fqn(0x85, "T1V10500") + lid(2)) + group(fqn(0x86, "C0TSTR00") +
                    fqn(0x85, "T1TSTR01") + lid(3));
    const std::vector<B> plain = {
        cs(0xF0, {2}) + cs(0xDA, {0xC1}),
        cs(0xF0, {2}) + cs(0xDA, {0x81, 0x82}) + cs(0xC6, be(100, 2)) + cs(0xDA, {0xF1}),
        cs(0xF0, {3}) + cs(0xDA, {0xC1, 0xC2}) + cs(0xF0, {2}) + cs(0xDA, {0xC1, 0xC2}),
    };
    std::vector<AFP_> all = rasterFont() + page(fonts, rich);
    for (const B& text : plain) all = all + page(fonts, text);
    std::vector<Page> together;
    PageInterpreter x;
    for (const AFP_& c : all)
        if (x.feed(c)) together.push_back(x.page());
    ASSERT_EQ(together.size(), 1 + plain.size());
    EXPECT_GE(together[0].text.size(), 24u);
    EXPECT_TRUE(together[0].text[20].raster);
    for (std::size_t k = 0; k < plain.size(); ++k) {
        SCOPED_TRACE("plain page " + std::to_string(k));
        PageInterpreter alone;
        std::vector<Page> pages;
        for (const AFP_& c : rasterFont() + page(fonts, plain[k]))
            if (alone.feed(c)) pages.push_back(alone.page());
        ASSERT_EQ(pages.size(), 1u);
        expectSamePage(together[k + 1], pages[0]);
    }
    // The raster page again after them reads as it did first.
    PageInterpreter again;
    std::vector<Page> pages;
    for (const AFP_& c : all + rasterFont() + page(fonts, rich))
        if (again.feed(c)) pages.push_back(again.page());
    ASSERT_EQ(pages.size(), together.size() + 1);
    expectSamePage(pages.back(), together[0]);
}

// Runs one after another in fonts of one size and different styles, then of
// one style and different sizes: each has the ascent and descent of its own.
TEST(PageAdvances, EveryRunHasTheAscentAndDescentOfItsFont) {
    const std::vector<std::pair<std::string, double>> fonts = {
        {"C0H20000", 10}, {"C0N40000", 10}, {"C0430000", 10}, {"C0430000", 12}, {"C0H20000", 12}, {"C0H20000", 10}};
    B groups, text;
    for (std::size_t k = 0; k < fonts.size(); ++k) {
        groups = groups + fontGroup(byte(k + 1), fonts[k].first, 500, fonts[k].second);
        text = text + cs(0xF0, {byte(k + 1)}) + cs(0xDA, {0xC1});
    }
    PageInterpreter x;
    std::vector<Page> pages;
    for (const AFP_& c : page(groups, text))
        if (x.feed(c)) pages.push_back(x.page());
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].text.size(), fonts.size());
    for (std::size_t k = 0; k < fonts.size(); ++k) {
        SCOPED_TRACE(fonts[k].first + " at " + std::to_string(fonts[k].second));
        auto [family, weight] = styleOf(fonts[k].first);
        const TextRun& r = pages[0].text[k];
        EXPECT_EQ(r.ascent, substituteExtents[family][weight].ascent * fonts[k].second / 1000);
        EXPECT_EQ(r.descent, -substituteExtents[family][weight].descent * fonts[k].second / 1000);
    }
}

// Pages that map their fonts with one of several font maps, in turn and
// again after others, and pages whose fonts a second map changes after the
// first: each comes out as if read alone.
TEST(PageAdvances, PagesTakingTurnsWithTheirFontMapsComeOutAsIfReadAlone) {
    // Local id 1 in a code page and size of its own per map: X'4A' is a
    // bracket in code page 500 and a cent sign in 37.
    std::vector<B> maps;
    for (unsigned k = 0; k < 6; ++k) maps.push_back(fontGroup(1, "C0H20000", k % 2 ? 37 : 500, 8 + k));
    const B text = cs(0xF0, {1}) + cs(0xDA, {0x4A, 0xC1, 0x40, 0x82});
    // A page mapping `first`, then `second` over it when there is one.
    auto pageOf = [&](std::size_t first, int second) {
        std::vector<AFP_> p = page(maps[first], text);
        if (second >= 0) p.insert(p.begin() + 3, sf(0xD3AB8A, maps[std::size_t(second)]));
        return p;
    };
    const std::vector<std::pair<std::size_t, int>> order = {
        {0, -1}, {1, -1}, {0, -1}, {1, -1}, {2, -1}, {3, -1}, {4, -1}, {5, -1}, {0, -1}, {1, -1},
        {0, 1},  {0, -1}, {1, 0},  {1, -1}, {0, -1}, {5, -1}, {5, 0},  {5, -1},
    };
    std::vector<AFP_> all;
    for (auto [first, second] : order) all = all + pageOf(first, second);
    PageInterpreter x;
    std::vector<Page> together;
    for (const AFP_& c : all)
        if (x.feed(c)) together.push_back(x.page());
    ASSERT_EQ(together.size(), order.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        SCOPED_TRACE("page " + std::to_string(k));
        PageInterpreter alone;
        std::vector<Page> pages;
        for (const AFP_& c : pageOf(order[k].first, order[k].second))
            if (alone.feed(c)) pages.push_back(alone.page());
        ASSERT_EQ(pages.size(), 1u);
        expectSamePage(together[k], pages[0]);
        const std::size_t mapped = order[k].second >= 0 ? std::size_t(order[k].second) : order[k].first;
        ASSERT_EQ(together[k].text.size(), 1u);
        EXPECT_EQ(together[k].text[0].size, 8.0 + double(mapped));
        EXPECT_EQ(together[k].text[0].text, mapped % 2 ? "\u00A2A b" : "[A b");
    }
}

// ---- reading order of pages read one after another -------------------------

TextRun run(double x, double y, std::string_view text, std::vector<float> offsets) {
    TextRun r;
    r.x = x;
    r.y = y;
    r.size = 10;
    r.text = text;
    r.codePoints = text;
    r.codePage = 500;
    r.offsets = offsets;
    r.advances.assign(offsets.size(), 5);
    return r;
}

TEST(PageReadingOrder, LinesOutOfOrderOnlyInTheirLastLineOrInsideOneRunAreSorted) {
    std::string out;
    Page p;
    // The last line presented right to left, after a line in order.
    p.text = {run(100, 100, "first", {0, 5, 10, 15, 20}), run(150, 300, "world", {0, 5, 10, 15, 20}),
              run(100, 300, "hello", {0, 5, 10, 15, 20})};
    appendPageText(out, p);
    // A run whose characters go backwards (a negative adjustment), then the
    // same page as the lines were presented in order.
    p.text = {run(100, 100, "cba", {10, 5, 0}), run(100, 120, "next", {0, 5, 10, 15})};
    appendPageText(out, p);
    p.text = {run(100, 100, "abc", {0, 5, 10})};
    appendPageText(out, p);
    // Baselines out of order between runs of one line and the next.
    p.text = {run(100, 120, "two", {0, 5, 10}), run(100, 100, "one", {0, 5, 10}), run(130, 100, "more", {0, 5, 10, 15})};
    appendPageText(out, p);
    EXPECT_EQ(out, "first\nhello world\n\fabc\nnext\n\fabc\n\fone more\ntwo\n\f");

    // A run whose first character is printed over the last one of the run
    // before (dropped as a duplicate): the next character is compared with
    // that last one, whose advance of 0 leaves a gap for a space.
    out.clear();
    p.text = {run(100, 100, "ab", {0, 5}), run(105, 100, "bcd", {0, 5, 10})};
    p.text[0].advances[1] = 0;
    appendPageText(out, p);
    EXPECT_EQ(out, "ab cd\n\f");
}

// Pages of ASCII runs, mostly in reading order, read as they are and with
// a last line of a non-ASCII character (which takes every glyph of the
// page through the sorting path): the same lines.
TEST(PageReadingOrder, RunsReadStraightGiveTheLinesOfTheSortedGlyphs) {
    std::uint32_t seed = 12345;
    auto next = [&](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    const char alphabet[] = "abc  xyz.,-\x1A";
    int fast = 0;
    for (int round = 0; round < 400; ++round) {
        Page p;
        double y = 100;
        for (int line = 0, lines = int(next(6)); line < lines; ++line) {
            double x = 50 + next(20);
            y += next(5) == 0 ? double(next(3)) : 12 + next(8);  // now and then a superscript or the same baseline
            for (int k = 0, runs = 1 + int(next(3)); k < runs; ++k) {
                TextRun r;
                r.size = next(8) == 0 ? 0 : 6 + next(8);
                r.x = next(10) == 0 ? x - 30 : x;  // now and then out of inline order
                r.y = next(12) == 0 ? y - 40 : y;  // or of baseline order
                float at = 0;
                for (int c = 0, chars = int(next(9)); c < chars; ++c) {
                    r.text += alphabet[next(sizeof alphabet - 1)];
                    float step = next(6) == 0 ? 0.05f : next(5) == 0 ? float(r.size) : float(r.size) / 2;
                    r.offsets.push_back(at);
                    r.advances.push_back(next(4) == 0 ? 0 : float(r.size) / 2);
                    at += next(15) == 0 ? -step : step;
                }
                x = r.x + at + (next(3) == 0 ? r.size : 0);
                p.text.push_back(r);
            }
        }
        std::string straight;
        appendPageText(straight, p);
        TextRun last;
        last.x = 50;
        last.y = y + 100;
        last.size = 10;
        last.text = "\u00e9";
        last.offsets = {0};
        last.advances = {5};
        p.text.push_back(last);
        std::string sorted;
        appendPageText(sorted, p);
        ASSERT_EQ(straight.substr(0, straight.size() - 1) + "\u00e9\n\f", sorted) << "round " << round;
        fast += straight.size() > 1;
    }
    EXPECT_GT(fast, 200);
}

}  // namespace
}  // namespace pressel::test
