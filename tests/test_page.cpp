// The page interpreter: positions, fonts and code pages, included resources,
// and the word boxes of FOP's files against FOP's own PDF of the same source.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <regex>

#include "helpers.hpp"
#include "byte_builders.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/page/page.hpp"
#include "pressel/page/page_text.hpp"
#include "pressel/core/strings.hpp"

namespace pressel::test {
namespace {

// A page at 1440 units per inch, US Letter, with a font map and one text object.
std::vector<AFP_> page(const B& mcfGroups, const B& text, const std::vector<AFP_>& extra = {}) {
    const B units = B{0, 0} + be(14400, 2) + be(14400, 2) + be(12240, 3) + be(15840, 3);
    std::vector<AFP_> f = {sf(0xD3A8AF, name8("P1")), sf(0xD3A8C9)};
    if (!mcfGroups.empty()) f.push_back(sf(0xD3AB8A, mcfGroups));
    f.push_back(sf(0xD3A6AF, units + B{0, 0, 0}));
    f.push_back(sf(0xD3B19B, units + B{0, 0}));
    f.push_back(sf(0xD3A9C9));
    f.insert(f.end(), extra.begin(), extra.end());
    f.push_back(sf(0xD3A89B));
    f.push_back(sf(0xD3EE9B, text));
    f.push_back(sf(0xD3A99B));
    f.push_back(sf(0xD3A9AF));
    return f;
}

B helvetica10(byte id = 1, std::string_view codePage = "T1V10500") {
    return group(fqn(0x86, "C0H20000") + fqn(0x85, codePage) + lid(id));
}

struct Result {
    std::vector<Page> pages;
    std::vector<std::string> warnings;
};
Result interpret(const std::vector<AFP_>& fields, PageOptions o = {}) {
    Result r;
    o.warn = [&r](const std::string& w) { r.warnings.push_back(w); };
    PageInterpreter x(o);
    for (const AFP_& c : fields)
        if (x.feed(c)) r.pages.push_back(x.page());
    return r;
}
const TextRun& onlyRun(const Result& r) {
    static const TextRun none;
    EXPECT_EQ(r.pages.size(), 1u);
    if (r.pages.empty()) return none;
    EXPECT_EQ(r.pages[0].text.size(), 1u);
    return r.pages[0].text.empty() ? none : r.pages[0].text[0];
}

// Text at 36 pt, 72 pt: AMB 1440, AMI 720 (1440 units per inch).
const B at36x72 = cs(0xD2, be(1440, 2)) + cs(0xC6, be(720, 2));

TEST(PageInterpreter, PlacesTextInPointsAndAdvancesByTheCoreFontWidths) {
    Result r = interpret(page(helvetica10(), at36x72 + cs(0xF0, {1}) + cs(0xDA, ebc("AB"))));
    const TextRun& t = onlyRun(r);
    EXPECT_DOUBLE_EQ(r.pages[0].width, 612);
    EXPECT_DOUBLE_EQ(r.pages[0].height, 792);
    EXPECT_DOUBLE_EQ(t.x, 36);
    EXPECT_DOUBLE_EQ(t.y, 72);
    EXPECT_EQ(t.text, "AB");
    EXPECT_EQ(t.font, "C0H20000");
    EXPECT_DOUBLE_EQ(t.size, 10);
    ASSERT_EQ(t.advances.size(), 2u);
    EXPECT_NEAR(t.advances[0], 6.67, 1e-4);  // Helvetica A: 667/1000 em
    EXPECT_NEAR(t.offsets[1], 6.67, 1e-4);
    EXPECT_TRUE(r.warnings.empty());
}

TEST(PageInterpreter, TextOrientationTurnsTheAxesAboutTheirCorner) {
    struct Case {
        unsigned i, b;
        double x, y;
        int rotation;
    };
    // AMI 720 / AMB 1440 after STO: 36 pt along I, 72 pt along B from the corner the axes leave.
    for (Case c : {Case{0x0000, 0x2D00, 36, 72, 0}, Case{0x2D00, 0x5A00, 540, 36, 90},
                   Case{0x5A00, 0x8700, 576, 720, 180}, Case{0x8700, 0x0000, 72, 756, 270},
                   Case{0x0000, 0x0000, 36, 72, 0} /* invalid: I and B equal, read as 0,90 */}) {
        Result r = interpret(page(helvetica10(), cs(0xF6, be(c.i, 2) + be(c.b, 2)) + at36x72 + cs(0xF0, {1}) +
                                                  cs(0xDA, ebc("A"))));
        const TextRun& t = onlyRun(r);
        EXPECT_NEAR(t.x, c.x, 1e-9) << c.i;
        EXPECT_NEAR(t.y, c.y, 1e-9) << c.i;
        EXPECT_EQ(t.rotation, c.rotation);
    }
    // Changing the orientation keeps the current position where it is on the page.
    Result kept = interpret(
        page(helvetica10(), at36x72 + cs(0xF6, be(0x2D00, 2) + be(0x5A00, 2)) + cs(0xF0, {1}) + cs(0xDA, ebc("A"))));
    EXPECT_NEAR(onlyRun(kept).x, 36, 1e-9);
    EXPECT_NEAR(onlyRun(kept).y, 72, 1e-9);
}

TEST(PageInterpreter, MovesMarginsSpacesAdjustmentAndRepeats) {
    // SIM 18 pt, SBI 12 pt, then BLN from baseline 72 pt: the next line at 84 pt from the margin.
    Result line = interpret(page(helvetica10(), cs(0xC0, be(360, 2)) + cs(0xD0, be(240, 2)) + at36x72 + cs(0xD8) +
                                                 cs(0xF0, {1}) + cs(0xDA, ebc("A"))));
    EXPECT_NEAR(onlyRun(line).x, 18, 1e-9);
    EXPECT_NEAR(onlyRun(line).y, 84, 1e-9);
    // RMI back 1 pt, RMB down 2 pt.
    Result rel = interpret(page(helvetica10(), at36x72 + cs(0xC8, be(0xFFEC, 2)) + cs(0xD4, be(40, 2)) +
                                                cs(0xF0, {1}) + cs(0xDA, ebc("A"))));
    EXPECT_NEAR(onlyRun(rel).x, 35, 1e-9);
    EXPECT_NEAR(onlyRun(rel).y, 74, 1e-9);
    // Text moved before the page's left edge (RMI back 36 pt from 0) keeps
    // its advances, with and without an intercharacter adjustment: the run
    // starts at its first character, not at its last one left of the edge.
    for (const B& adjust : {B{}, cs(0xC2, be(20, 2) + B{0})}) {
        Result left = interpret(page(helvetica10(), cs(0xD2, be(1440, 2)) + cs(0xC6, be(0, 2)) +
                                                        cs(0xC8, be(0x10000 - 720, 2)) + adjust + cs(0xF0, {1}) +
                                                        cs(0xDA, ebc("AAA"))));
        const TextRun& l = onlyRun(left);
        double step = adjust.empty() ? 6.67 : 7.67;
        EXPECT_NEAR(l.x, -36, 1e-9);
        ASSERT_EQ(l.offsets.size(), 3u);
        EXPECT_NEAR(l.offsets[1], step, 1e-4);
        EXPECT_NEAR(l.offsets[2], 2 * step, 1e-4);
    }
    // SVI 5 pt for the space, SIA 1 pt before every character but the first
    // and the one after a space.
    Result sp = interpret(page(helvetica10(), at36x72 + cs(0xC4, be(100, 2)) + cs(0xC2, be(20, 2) + B{0}) +
                                               cs(0xF0, {1}) + cs(0xDA, ebc("AA A"))));
    const TextRun& t = onlyRun(sp);
    ASSERT_EQ(t.offsets.size(), 4u);
    EXPECT_NEAR(t.offsets[1], 7.67, 1e-4);
    EXPECT_NEAR(t.offsets[2], 15.34, 1e-4);
    EXPECT_NEAR(t.advances[2], 5, 1e-4);
    EXPECT_NEAR(t.offsets[3], 20.34, 1e-4);
    // RPS fills its length with the repeated string; text outside TRN counts too.
    B rps = cs(0xEE, be(5, 2) + ebc("AB"));
    B text = B{0x2B, 0xD3, 0x04, 0xC7, 0x02, 0xD0, 0x03, 0xF0, 0x01} + ebc("xy") + rps;  // chained AMI, SCFL
    Result rep = interpret(page(helvetica10(), text));
    ASSERT_EQ(rep.pages.size(), 1u);
    std::string all;
    for (const TextRun& x : rep.pages[0].text) all += x.text;
    EXPECT_EQ(all, "xyABABA");
}

TEST(PageInterpreter, CodePageComesFromTheMappedFont) {
    B groups = helvetica10(1, "T1001140") + helvetica10(2, "T1000273") + helvetica10(3, "T1V10037") +
               helvetica10(4, "T1V10500") + helvetica10(5, "T1000999") + helvetica10(6, "T1XYZ");
    B text = at36x72;
    for (byte id = 1; id <= 6; ++id) text = text + cs(0xF0, {id}) + cs(0xDA, {0x9F, 0xC0, 0x5A});
    text = text + cs(0xF0, {5}) + cs(0xDA, {0x5A});
    Result r = interpret(page(groups, text));
    ASSERT_EQ(r.pages.size(), 1u);
    const auto& runs = r.pages[0].text;
    ASSERT_EQ(runs.size(), 7u);
    EXPECT_EQ(runs[0].text, "\u20AC{!");     // 1140: euro
    EXPECT_EQ(runs[1].text, "\u00A4\u00E4\u00DC");  // 273: a umlaut, U umlaut
    EXPECT_EQ(runs[2].text, "\u00A4{!");     // 037
    EXPECT_EQ(runs[3].text, "\u00A4{]");     // 500
    EXPECT_EQ(runs[4].text, "\u00A4{]");     // 999 is not known: 500
    EXPECT_EQ(runs[5].text, "\u00A4{]");     // a name without a number: 500
    EXPECT_EQ(runs[3].codePage, 500u);
    // One warning for each unknown code page, however often it is used.
    ASSERT_EQ(r.warnings.size(), 2u);
    EXPECT_NE(r.warnings[0].find("T1XYZ"), std::string::npos) << r.warnings[0];
    EXPECT_NE(r.warnings[1].find("999"), std::string::npos) << r.warnings[1];

    PageOptions o;
    o.codePage = 1140;
    Result forced = interpret(page(groups, text), o);
    ASSERT_EQ(forced.pages.size(), 1u);
    for (const TextRun& t : forced.pages[0].text) EXPECT_EQ(t.codePage, 1140u);
    EXPECT_EQ(forced.pages[0].text[3].text, "\u20AC{!");
}

TEST(PageInterpreter, FontMapFormatOne) {
    // Groups of 28 bytes: local id, reserved, section, reserved, coded font, code page and character set names.
    B groups = B{28, 0, 0, 0} + B{1, 0, 0x00, 0} + B{0xFF, 0xFF} + B(6, 0) + name8("T1001140") + name8("C0N200B0") +
               B{2, 0, 0x41, 0} + B{0xFF, 0xFF} + B(6, 0) + name8("T1000835") + name8("C0T05500");
    std::vector<AFP_> f = page({}, at36x72 + cs(0xF0, {1}) + cs(0xDA, {0x9F}) + cs(0xF0, {2}) + cs(0xDA, {0x4C, 0x41}),
                               {sf(0xD3B18A, groups)});
    Result r = interpret(f);
    ASSERT_EQ(r.pages.size(), 1u);
    ASSERT_EQ(r.pages[0].text.size(), 2u);
    const TextRun& times = r.pages[0].text[0];
    EXPECT_EQ(times.text, "\u20AC");
    EXPECT_EQ(times.font, "C0N200B0");
    EXPECT_DOUBLE_EQ(times.size, 12);
    EXPECT_NEAR(times.advances[0], 6, 1e-4);  // Times euro: 500/1000 em
    EXPECT_EQ(r.pages[0].text[1].text, "\u4E00");
    EXPECT_TRUE(r.pages[0].text[1].doubleByte);
}

TEST(PageInterpreter, DoubleByteAndUnicodeFonts) {
    // A double-byte font: its sections share the local id; code points go in pairs, one em each.
    B dbcs = group(fqn(0x86, "C0T05500") + fqn(0x85, "T1000835") + lid(1) + triplet(0x25, {0x41}) +
                   triplet(0x1F, B{0, 0} + be(240, 2) + be(240, 2) + B(12, 0))) +
             group(fqn(0x86, "C0T05500") + fqn(0x85, "T1000835") + lid(1) + triplet(0x25, {0x42}));
    Result d = interpret(page(dbcs, at36x72 + cs(0xF0, {1}) + cs(0xDA, {0x4C, 0x41, 0x40, 0x40, 0x4C, 0x41})));
    const TextRun& t = onlyRun(d);
    EXPECT_EQ(t.text, "\u4E00\u3000\u4E00");
    EXPECT_TRUE(t.doubleByte);
    EXPECT_DOUBLE_EQ(t.size, 12);
    ASSERT_EQ(t.advances.size(), 3u);
    EXPECT_NEAR(t.advances[0], 12, 1e-4);
    EXPECT_NEAR(t.offsets[2], 24, 1e-4);

    // A TrueType font mapped through MDR, its text in UTF-16BE.
    std::vector<AFP_> mdr = {
        sf(0xD3ABC3, group(fqn(0xBE, "ARIALUNI") + triplet(0x50, be(0x7200, 2) + be(0x7200, 2))))};
    B utf16;
    for (char16_t c : u"John Doe \u00E9") utf16 = utf16 + be(c, 2);
    utf16.resize(utf16.size() - 2);  // without the terminating zero
    B mcf = group(fqn(0xBE, "ARIALUNI") + lid(7) + triplet(0x8B, B{0, 0x20} + be(220, 2) + be(220, 2) + B(4, 0)));
    Result u = interpret(page(mcf, at36x72 + cs(0xF0, {7}) + cs(0xDA, utf16), mdr));
    const TextRun& ut = onlyRun(u);
    EXPECT_EQ(ut.text, "John Doe \u00E9");
    EXPECT_EQ(ut.codePage, 1200u);
    EXPECT_DOUBLE_EQ(ut.size, 11);
    EXPECT_EQ(ut.font, "ARIALUNI");

    // Cyrillic, kana, a circled digit and a rare ideograph of code page 835
    // (codes as iconv's IBM937 gives them): one em each, and their text
    // straight from code page 835 (none of them is in code page 950).
    B codes = {0x41, 0xC0, 0x41, 0xA0, 0x43, 0x81, 0x44, 0x81, 0x46, 0x41, 0x65, 0x60};
    Result cjk = interpret(page(dbcs, at36x72 + cs(0xF0, {1}) + cs(0xDA, codes)));
    const TextRun& ct = onlyRun(cjk);
    ASSERT_EQ(ct.advances.size(), 6u);
    EXPECT_NEAR(ct.offsets[5], 60, 1e-4);
    EXPECT_EQ(ct.text, "\u0410\u044F\u30A2\u3042\u2460\u5F5E");
}

TEST(PageInterpreter, GlyphRunsAndUnicodeComplexText) {
    // A glyph-run chain: GLC (advance 30 pt), GIR (two glyph ids), GAR (glyph origins 0 and 15 pt),
    // then the chain's UCT with the text of the glyphs; after it a TRN in the mapped font.
    B uct = B{0x10, 0x6A, 0x01, 0x00} + be(4, 2) + B{0, 0, 0x20, 0x20, 0, 0, 0, 0, 0, 0};
    B chain = B{0x2B, 0xD3, 10, 0x6D} + be(600, 2) + B{0, 0, 0, 0, 0, 0} + B{8, 0x8B, 0, 0} + be(17, 2) + be(42, 2) +
              B{8, 0x8D, 0, 0} + be(0, 2) + be(300, 2) + uct + B{0x00, 0x48, 0x00, 0x69};
    Result r = interpret(page(helvetica10(), at36x72 + cs(0xF0, {1}) + chain + cs(0xDA, ebc("A"))));
    ASSERT_EQ(r.pages.size(), 1u);
    const auto& runs = r.pages[0].text;
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].text, "Hi");
    EXPECT_NEAR(runs[0].x, 36, 1e-9);
    ASSERT_EQ(runs[0].offsets.size(), 2u);
    EXPECT_NEAR(runs[0].offsets[1], 15, 1e-4);
    EXPECT_NEAR(runs[0].advances[1], 15, 1e-4);
    EXPECT_EQ(runs[1].text, "A");
    EXPECT_NEAR(runs[1].x, 66, 1e-9);

    // A UCT on its own: its text is not scanned for control sequences, even where it holds X'2BD3'.
    B alone = B{0x2B, 0xD3, 0x10, 0x6A, 0x01, 0x00} + be(4, 2) + B{0, 0, 0x20, 0x20, 0, 0, 0, 0, 0, 0} +
              B{0x2B, 0xD3, 0x00, 0x78};
    Result u = interpret(page(helvetica10(), at36x72 + cs(0xF0, {1}) + alone + cs(0xDA, ebc("B"))));
    ASSERT_EQ(u.pages.size(), 1u);
    ASSERT_EQ(u.pages[0].text.size(), 2u);
    EXPECT_EQ(u.pages[0].text[0].text, "\u2BD3x");
    EXPECT_EQ(u.pages[0].text[1].text, "B");
}

TEST(PageInterpreter, InlineFontMetricsGiveTheAdvance) {
    std::vector<AFP_> res = {
        sf(0xD3A889, name8("C0TEST00")),
        // FNC: fixed metrics at 2400 units per 10 inches (240 dpi), FNI groups of 28 bytes.
        sf(0xD3A789, B{0x01, 0x05, 0, 0, 0x00, 0x00} + be(2400, 2) + be(2400, 2) + B(4, 0) + B{26, 28, 0} +
                         B(3, 0) + B{22, 8}),
        sf(0xD38C89, ebc("LA010000") + be(30, 2) + B(18, 0) + ebc("LB010000") + be(60, 2) + B(18, 0)),
        sf(0xD3A989, name8("C0TEST00")),
        sf(0xD3A887, name8("T1TEST01")),
        sf(0xD3A687, B(40, 0x40) + be(500, 2)),
        sf(0xD3A787, ebc("SP010000") + B{0, 10, 0, 0x40, 0}),
        sf(0xD38C87, ebc("LA010000") + B{0, 0x81} + ebc("LB010000") + B{0, 0x82}),
        sf(0xD3A987, name8("T1TEST01")),
    };
    std::vector<AFP_> f = res;
    for (const AFP_& c : page(group(fqn(0x86, "C0TEST00") + fqn(0x85, "T1TEST01") + lid(1)),
                              at36x72 + cs(0xF0, {1}) + cs(0xDA, {0x81, 0x82, 0x83})))
        f.push_back(c);
    Result r = interpret(f);
    const TextRun& t = onlyRun(r);
    EXPECT_EQ(t.text, "abc");
    ASSERT_EQ(t.advances.size(), 3u);
    EXPECT_NEAR(t.advances[0], 9, 1e-4);   // 30 pels at 240 dpi
    EXPECT_NEAR(t.advances[1], 18, 1e-4);
    EXPECT_NEAR(t.advances[2], 5.0, 1e-4);  // not in the font: Helvetica's c at 10 pt
    EXPECT_TRUE(r.warnings.empty());

    // Relative metrics (unit base X'02'): increments per 2000 units of the em, at the map's 12 pt.
    f = res;
    f[1] = sf(0xD3A789, B{0x01, 0x1F, 0, 0, 0x02, 0x02} + be(2000, 2) + be(2000, 2) + B(4, 0) + B{26, 28, 0} +
                            B(3, 0) + B{22, 0});
    B fds = triplet(0x1F, B{0, 0} + be(240, 2) + be(240, 2) + B(12, 0));
    for (const AFP_& c : page(group(fqn(0x86, "C0TEST00") + fqn(0x85, "T1TEST01") + lid(1) + fds),
                              at36x72 + cs(0xF0, {1}) + cs(0xDA, {0x81, 0x82})))
        f.push_back(c);
    Result rel = interpret(f);
    const TextRun& rt = onlyRun(rel);
    ASSERT_EQ(rt.advances.size(), 2u);
    EXPECT_NEAR(rt.advances[0], 30 * 12 / 2000.0, 1e-4);
    EXPECT_NEAR(rt.advances[1], 60 * 12 / 2000.0, 1e-4);
}

TEST(PageInterpreter, RulesAndColours) {
    B text = at36x72 + cs(0x74, be(0x0002, 2)) + cs(0xE4, be(1440, 2) + be(20, 2) + B{0}) +
             cs(0x80, B{0, 0x01, 0, 0, 0, 0, 8, 8, 8, 0, 0x12, 0x34, 0x56}) + cs(0xE6, be(720, 2) + be(40, 2) + B{0}) +
             cs(0xE4, be(0xFB50, 2) + be(20, 2) + B{0}) +  // backwards, 60 pt
             cs(0xE4, be(200, 2));                          // no width: one pel at 240 dpi
    Result r = interpret(page(helvetica10(), text));
    ASSERT_EQ(r.pages.size(), 1u);
    const auto& rules = r.pages[0].rules;
    ASSERT_EQ(rules.size(), 4u);
    EXPECT_NEAR(rules[0].x, 36, 1e-9);
    EXPECT_NEAR(rules[0].y, 72, 1e-9);
    EXPECT_NEAR(rules[0].width, 72, 1e-9);
    EXPECT_NEAR(rules[0].height, 1, 1e-9);
    EXPECT_EQ(rules[0].color, 0xFF0000u);
    EXPECT_NEAR(rules[1].width, 2, 1e-9);
    EXPECT_NEAR(rules[1].height, 36, 1e-9);
    EXPECT_EQ(rules[1].color, 0x123456u);
    EXPECT_NEAR(rules[2].x, -24, 1e-9);
    EXPECT_NEAR(rules[2].width, 60, 1e-9);
    EXPECT_NEAR(rules[3].width, 10, 1e-9);
    EXPECT_NEAR(rules[3].height, 0.3, 1e-9);
}

// An overlay with its own font map, defined in a resource group before the document.
std::vector<AFP_> overlay(std::string_view name) {
    const B units = B{0, 0} + be(14400, 2) + be(14400, 2) + be(2880, 3) + be(2880, 3);
    return {sf(0xD3A8C6, name8("RG")),
            sf(0xD3A8CE, name8(name) + B{0, 0}),
            sf(0xD3A8DF, name8(name)),
            sf(0xD3A8C9),
            sf(0xD3AB8A, helvetica10(3, "T1001140")),
            sf(0xD3A6AF, units + B{0, 0, 0}),
            sf(0xD3A9C9),
            sf(0xD3A89B),
            sf(0xD3EE9B, cs(0xD2, be(200, 2)) + cs(0xC6, be(100, 2)) + cs(0xF0, {3}) + cs(0xDA, {0x9F})),
            sf(0xD3A99B),
            sf(0xD3A9DF, name8(name)),
            sf(0xD3A9CE, name8(name)),
            sf(0xD3A9C6, name8("RG"))};
}

TEST(PageInterpreter, OverlaysAndPageSegmentsAddTheirItemsAtTheirPlaces) {
    std::vector<AFP_> f = overlay("O1TEST");
    std::vector<AFP_> includes = {
        sf(0xD3AFD8, name8("O1TEST") + be(1440, 3) + be(2880, 3) + be(0, 2)),
        sf(0xD3AFD8, name8("O1TEST") + be(1440, 3) + be(2880, 3) + be(0x2D00, 2)),
        sf(0xD3AFD8, name8("O1MISS") + be(0, 3) + be(0, 3) + be(0, 2)),
        sf(0xD3AFD8, name8("O1MISS") + be(0, 3) + be(0, 3) + be(0, 2)),
        sf(0xD3AF5F, name8("S1SEG") + be(720, 3) + be(720, 3)),
    };
    for (const AFP_& c : page(helvetica10(), at36x72 + cs(0xF0, {1}) + cs(0xDA, ebc("P")), includes)) f.push_back(c);

    // The page segment is in a directory, a file named after it.
    TempDir dir;
    {
        AfpWriter w(dir.file("S1SEG.psg"));
        for (const AFP_& c : {sf(0xD3A85F, name8("S1SEG")), sf(0xD3A89B),
                              sf(0xD3EE9B, cs(0xD2, be(20, 2)) + cs(0xF0, {1}) + cs(0xDA, ebc("S"))), sf(0xD3A99B),
                              sf(0xD3A95F, name8("S1SEG"))})
            w.write(c);
        w.close();
    }
    PageOptions o;
    o.resourceDir = dir.path().string();
    Result r = interpret(f, o);
    ASSERT_EQ(r.pages.size(), 1u);
    std::map<std::string, std::vector<const TextRun*>> byText;
    for (const TextRun& t : r.pages[0].text) byText[t.text].push_back(&t);
    ASSERT_EQ(byText["\u20AC"].size(), 2u);  // the overlay's own font: code page 1140
    const TextRun& ov = *byText["\u20AC"][0];
    EXPECT_NEAR(ov.x, 77, 1e-9);  // 72 + 5
    EXPECT_NEAR(ov.y, 154, 1e-9);  // 144 + 10
    const TextRun& turned = *byText["\u20AC"][1];
    EXPECT_NEAR(turned.x, 62, 1e-9);  // (5, 10) turned a quarter clockwise: (-10, 5)
    EXPECT_NEAR(turned.y, 149, 1e-9);
    EXPECT_EQ(turned.rotation, 90);
    ASSERT_EQ(byText["S"].size(), 1u);  // the segment uses the page's fonts
    EXPECT_NEAR(byText["S"][0]->x, 36, 1e-9);
    EXPECT_NEAR(byText["S"][0]->y, 37, 1e-9);
    EXPECT_EQ(byText["P"].size(), 1u);
    ASSERT_EQ(r.warnings.size(), 1u);  // the missing overlay, once
    EXPECT_NE(r.warnings[0].find("O1MISS"), std::string::npos);
}

TEST(PageInterpreter, AnOverlayThatIncludesItselfStops) {
    std::vector<AFP_> f = {sf(0xD3A8DF, name8("O1LOOP")),
                           sf(0xD3AFD8, name8("O1LOOP") + be(0, 3) + be(0, 3) + be(0, 2)),
                           sf(0xD3A9DF, name8("O1LOOP"))};
    for (const AFP_& c : page(helvetica10(), at36x72, {sf(0xD3AFD8, name8("O1LOOP") + be(0, 3) + be(0, 3) + be(0, 2))}))
        f.push_back(c);
    Result r = interpret(f);
    EXPECT_EQ(r.pages.size(), 1u);
    EXPECT_EQ(r.warnings.size(), 1u);

    // An overlay left open ends at the next page, which is still read.
    std::vector<AFP_> open = {sf(0xD3A8DF, name8("O1OPEN"))};
    for (const AFP_& c : page(helvetica10(), at36x72 + cs(0xF0, {1}) + cs(0xDA, ebc("A")))) open.push_back(c);
    EXPECT_EQ(onlyRun(interpret(open)).text, "A");
}

// A field with an introducer extension and padding reads as the same field
// without them.
TEST(PageInterpreter, FieldsWithAnExtensionOrPaddingReadAsWithout) {
    const B text = at36x72 + cs(0xF0, {1}) + cs(0xDA, ebc("Hello")) + cs(0xD8) + cs(0xDA, ebc("again"));
    const std::vector<AFP_> plain = page(helvetica10(), text);
    const Result want = interpret(plain);
    ASSERT_EQ(want.pages.size(), 1u);
    ASSERT_EQ(want.pages[0].text.size(), 2u);
    // Extension X'04' plus three bytes that look like data; padding of three
    // bytes counted in its last byte, or of 259 counted in the two before a
    // last X'00'.
    const B ext = B{0x04, 0x2B, 0xD3, 0x04};
    const B pad3 = B{0xDA, 0xC1, 0x03};
    B pad259(256, 0xC1);
    pad259 = pad259 + B{0x01, 0x03, 0x00};
    for (int form = 0; form < 3; ++form) {
        SCOPED_TRACE("form " + std::to_string(form));
        std::vector<AFP_> framed;
        for (const AFP_& f : plain) {
            const std::span<const byte> p = f.payload.span();
            B bytes(p.begin(), p.begin() + 6);
            if (form != 1) bytes = bytes + ext;
            bytes = bytes + B(p.begin() + 6, p.end());
            if (form == 1) bytes = bytes + pad259;
            if (form == 2) bytes = bytes + pad3;
            bytes[3] = form == 0 ? 0x80 : form == 1 ? 0x08 : 0x88;
            framed.push_back(AFP_{f.code, Bytes::copy(std::span<const byte>(bytes))});
        }
        const Result got = interpret(framed);
        ASSERT_EQ(got.pages.size(), 1u);
        ASSERT_EQ(got.pages[0].text.size(), 2u);
        for (std::size_t k = 0; k < 2; ++k) {
            const TextRun &a = got.pages[0].text[k], &b = want.pages[0].text[k];
            EXPECT_EQ(a.text, b.text);
            EXPECT_EQ(a.x, b.x);
            EXPECT_EQ(a.y, b.y);
            EXPECT_EQ(a.font, b.font);
            EXPECT_EQ(a.offsets, b.offsets);
        }
        EXPECT_EQ(got.pages[0].width, want.pages[0].width);
    }
}

TEST(PageInterpreter, ShortAndGarbledFieldsAreSkipped) {
    std::vector<AFP_> good = page(helvetica10(), at36x72 + cs(0xF0, {1}) + cs(0xDA, ebc("AB")) +
                                                     cs(0xF6, be(0x2D00, 2) + be(0x5A00, 2)) +
                                                     cs(0xEE, be(40000, 2) + ebc("A")) + cs(0xE4, be(10, 2)));
    // Every field cut short at every length, and bytes flipped: nothing crashes, pages still end.
    for (std::size_t k = 0; k < good.size(); ++k) {
        Bytes full = good[k].payload;
        for (std::size_t n = 0; n <= full.size(); ++n) {
            std::vector<AFP_> f = good;
            f[k].payload = full.prefix(n);
            EXPECT_EQ(interpret(f).pages.size(), 1u);
            if (n < full.size()) {
                B flipped(full.begin(), full.end());
                flipped[n] ^= 0xFF;
                f[k].payload = Bytes::copy(std::span<const byte>(flipped));
                interpret(f);
            }
        }
    }
}

// ---- reading order -------------------------------------------------------------
TextRun textRun(double x, double y, std::string_view text, double size = 10, int rotation = 0) {
    TextRun r;
    r.x = x;
    r.y = y;
    r.size = size;
    r.rotation = rotation;
    r.text = std::string(text);
    r.codePage = 500;
    r.ascent = 0.7 * size;
    r.descent = 0.2 * size;
    for (std::size_t k = 0; k < text.size(); ++k) {
        r.offsets.push_back(float(k * size / 2));
        r.advances.push_back(float(size / 2));
    }
    return r;
}

TEST(PageText, LinesByBaselineCharactersByPositionSpacesFromGaps) {
    Page p;
    p.number = 1;
    // Presented in an order that is not the reading order: body first, then a heading, cells right to left.
    p.text = {textRun(100, 200, "bo\x1A" "dy"), textRun(100, 100, "Head"), textRun(150.5, 150, "right"),
              textRun(100, 150, "left"),
              textRun(125, 150.8, "mid"), textRun(100, 300, "tight"), textRun(126, 300, "er")};
    std::string out;
    appendPageText(out, p);
    EXPECT_EQ(out, "Head\nleft mid right\nbody\ntighter\n\f");
}

TEST(PageText, RotatedTextReadsInItsOwnDirection) {
    Page p;
    p.text = {textRun(100, 100, "across"), textRun(300, 100, "down", 10, 90), textRun(290, 100, "next", 10, 90),
              textRun(100, 120, "below")};
    std::string out;
    appendPageText(out, p);
    EXPECT_EQ(out, "across\nbelow\ndown\nnext\n\f");
    std::vector<PageWord> w = pageWords(p);
    ASSERT_EQ(w.size(), 4u);
    EXPECT_EQ(w[2].text, "down");
    EXPECT_NEAR(w[2].x, 298, 1e-4);  // the box spans the descent left of the baseline...
    EXPECT_NEAR(w[2].width, 9, 1e-4);  // ... and the ascent right of it
    EXPECT_NEAR(w[2].y, 100, 1e-4);
    EXPECT_NEAR(w[2].height, 20, 1e-4);
}

TEST(PageText, LayoutKeepsColumnsAndEncodingsAreChosen) {
    Page p;
    p.text = {textRun(0, 100, "a"), textRun(50, 100, "b"), textRun(0, 112, "ccc"), textRun(50, 112, "d")};
    std::string out;
    PageTextOptions layout;
    layout.layout = true;
    appendPageText(out, p, layout);
    EXPECT_EQ(out, "a         b\nccc       d\n\f");

    Page q;
    TextRun latin = textRun(0, 100, "\u00E9\u20AC");
    latin.offsets.pop_back();  // two characters
    latin.advances.pop_back();
    latin.offsets.pop_back();
    latin.advances.pop_back();
    latin.offsets.pop_back();
    latin.advances.pop_back();
    TextRun dbcs = textRun(20, 100, "\u4E00");
    dbcs.offsets.resize(1);
    dbcs.advances.resize(1);
    dbcs.doubleByte = true;
    dbcs.codePage = 835;
    dbcs.codePoints = "\x4C\x41";
    q.text = {latin, dbcs};
    PageTextOptions l1;
    l1.latin1 = true;
    out.clear();
    appendPageText(out, q, l1);
    EXPECT_EQ(out, "\xE9? \xA4\x40\n\f");
    PageTextOptions big5;
    big5.dbcs950 = true;
    out.clear();
    appendPageText(out, q, big5);
    EXPECT_EQ(out, "\u00E9\u20AC \xA4\x40\n\f");
}

// ---- FOP's files against FOP's PDF -------------------------------------------------
struct BoxWord {
    int page;
    double x0, y0, x1, y1;
    std::string text;
};

std::string unescapeHtml(std::string s) {
    for (auto [from, to] : {std::pair<const char*, const char*>{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""},
                            {"&apos;", "'"}, {"&#39;", "'"}, {"&amp;", "&"}}) {
        for (std::size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += std::strlen(to))
            s.replace(at, std::strlen(from), to);
    }
    return s;
}

std::vector<BoxWord> readBbox(const std::string& path) {
    std::vector<BoxWord> words;
    std::ifstream in(path);
    std::regex word(R"re(<word xMin="([-\d.]+)" yMin="([-\d.]+)" xMax="([-\d.]+)" yMax="([-\d.]+)">(.*)</word>)re");
    int page = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.find("<page ") != std::string::npos) ++page;
        std::smatch m;
        if (std::regex_search(line, m, word))
            words.push_back({page, std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4]),
                             unescapeHtml(m[5])});
    }
    return words;
}

TEST(PageFop, WordBoxesAgreeWithFopsPdfWithinOnePoint) {
    std::size_t total = 0, close = 0;
    for (const char* name : {"hello", "letter", "invoice", "graphics", "layout", "codepages"}) {
        std::vector<BoxWord> pdf = readBbox(dataPath(std::string(name) + ".bbox"));
        ASSERT_FALSE(pdf.empty()) << name;
        std::vector<std::pair<int, PageWord>> ours;
        PageInterpreter x;
        AfpStream in = readAFP(dataPath(std::string(name) + ".afp"));
        for (const AFP_& c : in)
            if (x.feed(c))
                for (PageWord& w : pageWords(x.page())) ours.emplace_back(x.page().number, std::move(w));
        EXPECT_EQ(ours.size(), pdf.size()) << name;
        std::vector<bool> used(ours.size());
        for (const BoxWord& w : pdf) {
            // The same word on the same page, nearest first.
            double best = INFINITY;
            std::size_t at = 0;
            for (std::size_t k = 0; k < ours.size(); ++k) {
                const auto& [pg, o] = ours[k];
                if (used[k] || pg != w.page || o.text != w.text) continue;
                double d = std::max({std::abs(o.x - w.x0), std::abs(o.y - w.y0), std::abs(o.x + o.width - w.x1),
                                     std::abs(o.y + o.height - w.y1)});
                if (d < best) best = d, at = k;
            }
            ++total;
            EXPECT_TRUE(std::isfinite(best)) << name << ": no word '" << w.text << "' on page " << w.page;
            if (std::isfinite(best)) used[at] = true;
            if (best <= 1) ++close;
            else std::cerr << name << ": '" << w.text << "' is " << best << " pt from FOP's PDF\n";
        }
    }
    EXPECT_GE(double(close), 0.98 * double(total)) << close << " of " << total;
}

}  // namespace
}  // namespace pressel::test
