// Raster fonts drawn from their own patterns and pages placed on their
// medium by the form definition: the interpreter's fonts and medium, the
// pixels of the PNG, the text of the PDF, and the command with resources
// in a directory.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstring>

#include "../helpers.hpp"
#include "../byte_builders.hpp"
#include "object_helpers.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/page/page.hpp"
#include "pressel/render/render.hpp"
#include "pressel/core/strings.hpp"

namespace pressel::test {
namespace {

// The bytes of a stream: X'5A', length, then each field.
std::string streamBytes(const std::vector<AFP_>& fields) {
    std::string out;
    for (const AFP_& f : fields) {
        std::span<const byte> p = f.payload.span();
        std::size_t n = p.size() + 2;
        out += char(0x5A);
        out += char(n >> 8);
        out += char(n & 0xFF);
        out.append(reinterpret_cast<const char*>(p.data()), p.size());
    }
    return out;
}

// A page at 1440 units per inch (US Letter unless given) with a font map and one text object.
std::vector<AFP_> page(const B& mcfGroups, const B& text, unsigned width = 12240, unsigned height = 15840) {
    const B units = B{0, 0} + be(14400, 2) + be(14400, 2) + be(width, 3) + be(height, 3);
    std::vector<AFP_> f = {sf(0xD3A8AF, name8("P1")), sf(0xD3A8C9)};
    if (!mcfGroups.empty()) f.push_back(sf(0xD3AB8A, mcfGroups));
    f.push_back(sf(0xD3A6AF, units + B{0, 0, 0}));
    f.push_back(sf(0xD3B19B, units + B{0, 0}));
    f.push_back(sf(0xD3A9C9));
    f.push_back(sf(0xD3A89B));
    f.push_back(sf(0xD3EE9B, text));
    f.push_back(sf(0xD3A99B));
    f.push_back(sf(0xD3A9AF));
    return f;
}

// ---- a raster font: 240 pels per inch, three characters ----------------------
// "A": an L, 8 x 10 pels, two pels thick, A-space 2, its top 10 pels above the baseline.
// "B": a hollow 6 x 6 box two pels below the baseline (baseline offset -2), A-space 0.
// "C": in the code page but without a pattern in the font.
B patternL() {
    B p;
    for (int row = 0; row < 10; ++row) p.push_back(row >= 8 ? 0xFF : 0xC0);
    return p;
}
B patternBox() { return B{0xFC, 0x84, 0x84, 0x84, 0x84, 0xFC}; }

B fniGroup(std::string_view gcgid, unsigned inc, unsigned fnm, int a, unsigned b, int base) {
    return ebc(gcgid) + be(inc, 2) + be(unsigned(base), 2) + be(0, 2) + be(0, 2) + be(fnm, 2) + be(unsigned(a) & 0xFFFF, 2) +
           be(b, 2) + be(0, 2) + be(0, 2) + be(unsigned(base) & 0xFFFF, 2);
}

std::vector<AFP_> rasterCharSet(std::string_view name = "C0TSTR00") {
    B fng = B{0xAA, 0xAA} + patternL() + patternBox();  // two bytes before the first pattern
    return {
        sf(0xD3A889, name8(name)),
        sf(0xD3A789, B{0x01, 0x05, 0, 0, 0x00, 0x00} + be(2400, 2) + be(2400, 2) + be(8, 2) + be(10, 2) +
                         B{26, 28, 0} + be(unsigned(fng.size()), 3) + B{22, 8}),
        sf(0xD3AE89, B(26, 0)),
        sf(0xD38C89, fniGroup("LA020000", 12, 0, 2, 8, 10) + fniGroup("LB020000", 10, 1, 0, 6, -2) +
                         fniGroup("LC020000", 14, 5, 0, 8, 10)),
        // FNM: box width and height minus one, offset into the FNG data (the third
        // entry's offset lies past the data: that character has no pattern).
        sf(0xD3A289, be(7, 2) + be(9, 2) + be(2, 4) + be(5, 2) + be(5, 2) + be(12, 4)),
        sf(0xD3A289, be(7, 2) + be(9, 2) + be(500, 4)),
        sf(0xD3EE89, B(fng.begin(), fng.begin() + 7)),
        sf(0xD3EE89, B(fng.begin() + 7, fng.end())),
        sf(0xD3A989, name8(name)),
    };
}
std::vector<AFP_> codePage(std::string_view name = "T1TSTR01") {
    return {
        sf(0xD3A887, name8(name)),
        sf(0xD3A687, B(40, 0x40) + be(500, 2)),
        sf(0xD3A787, ebc("SP010000") + B{0, 10, 0, 0x40, 0}),
        sf(0xD38C87, ebc("LA020000") + B{0, 0xC1} + ebc("LB020000") + B{0, 0xC2} + ebc("LC020000") + B{0, 0xC3}),
        sf(0xD3A987, name8(name)),
    };
}
B rasterMap() { return group(fqn(0x86, "C0TSTR00") + fqn(0x85, "T1TSTR01") + lid(1)); }
// "ABC" with its baseline 1 inch down, starting 1 inch in.
const B textABC = cs(0xD2, be(1440, 2)) + cs(0xC6, be(1440, 2)) + cs(0xF0, {1}) + cs(0xDA, {0xC1, 0xC2, 0xC3});

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

std::string renderPng(const Page& p, double dpi) {
    render::RenderOptions o;
    o.dpi = dpi;
    render::ImageWriter w(render::Format::Png, o);
    std::string out;
    w.write(p, [&out](std::span<const unsigned char> b) { out.append(reinterpret_cast<const char*>(b.data()), b.size()); });
    return out;
}
std::string renderPdf(const std::vector<Page>& pages) {
    std::string out;
    render::PdfWriter w([&out](std::span<const unsigned char> b) { out.append(reinterpret_cast<const char*>(b.data()), b.size()); });
    for (const Page& p : pages) w.add(p);
    w.close();
    return out;
}

// Count of inked pixels in a box (x0..x1, y0..y1 inclusive).
int inked(const Pixels& r, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) n += r.ink(x, y);
    return n;
}

TEST(RasterFont, PatternsComeFromTheFontThroughItsCodePage) {
    Result r = interpret(rasterCharSet() + codePage() + page(rasterMap(), textABC));
    ASSERT_EQ(r.pages.size(), 1u);
    ASSERT_EQ(r.pages[0].text.size(), 1u);
    const TextRun& t = r.pages[0].text[0];
    EXPECT_EQ(t.text, "ABC");
    ASSERT_TRUE(t.raster);
    EXPECT_NEAR(t.raster->pelX, 0.3, 1e-9);
    ASSERT_EQ(t.glyphs.size(), 3u);
    ASSERT_TRUE(t.glyphs[0] && t.glyphs[1]);
    EXPECT_EQ(t.glyphs[2], nullptr);  // its pattern lies outside the FNG data
    EXPECT_EQ(t.glyphs[0]->width, 8);
    EXPECT_EQ(t.glyphs[0]->height, 10);
    EXPECT_EQ(t.glyphs[0]->left, 2);
    EXPECT_EQ(t.glyphs[0]->top, 10);
    EXPECT_EQ(t.glyphs[0]->bits, patternL());  // found after the two bytes that precede it, across two FNGs
    EXPECT_EQ(t.glyphs[1]->bits, patternBox());
    EXPECT_EQ(t.glyphs[1]->top, -2);
    // Advances from the FNI: 12, 10 and 14 pels at 240 pels per inch.
    ASSERT_EQ(t.advances.size(), 3u);
    EXPECT_NEAR(t.advances[0], 3.6, 1e-4);
    EXPECT_NEAR(t.offsets[1], 3.6, 1e-4);
    EXPECT_NEAR(t.offsets[2], 6.6, 1e-4);

    // A character set in a resource group named by its BRS only (BFN name X'FF's).
    auto unnamed = rasterCharSet();
    unnamed.front() = sf(0xD3A889, B(8, 0xFF));
    Result brs = interpret(std::vector<AFP_>{sf(0xD3A8CE, name8("C0TSTR00"))} + unnamed +
                           std::vector<AFP_>{sf(0xD3A9CE, name8("C0TSTR00"))} + codePage() + page(rasterMap(), textABC));
    EXPECT_TRUE(brs.pages.at(0).text.at(0).raster);

    // An outline font (Type 1, FNC technology X'1F') keeps the substitute.
    auto outline = rasterCharSet();
    outline[1] = sf(0xD3A789, B{0x01, 0x1F, 0, 0, 0x02, 0x02} + be(1000, 2) + be(1000, 2) + B(4, 0) + B{26, 28, 0} +
                                  B(3, 0) + B{22, 0});
    Result o = interpret(outline + codePage() + page(rasterMap(), textABC));
    ASSERT_EQ(o.pages.size(), 1u);
    EXPECT_FALSE(o.pages[0].text.at(0).raster);

    // Code page T1V10500 is not in the stream: the characters' standard GCGIDs
    // (A LA020000, B LB020000) still find the patterns; a character the font
    // lacks (the space) has none.
    B text = cs(0xD2, be(1440, 2)) + cs(0xC6, be(1440, 2)) + cs(0xF0, {1}) + cs(0xDA, {0xC2, 0x40, 0xC1});
    Result std500 = interpret(rasterCharSet() + page(group(fqn(0x86, "C0TSTR00") + fqn(0x85, "T1V10500") + lid(1)), text));
    const TextRun& s = std500.pages.at(0).text.at(0);
    EXPECT_EQ(s.text, "B A");
    ASSERT_TRUE(s.raster);
    ASSERT_EQ(s.glyphs.size(), 3u);
    ASSERT_TRUE(s.glyphs[0] && s.glyphs[2]);
    EXPECT_EQ(s.glyphs[0]->bits, patternBox());
    EXPECT_EQ(s.glyphs[1], nullptr);
    EXPECT_EQ(s.glyphs[2]->bits, patternL());
}

TEST(RasterFont, PngInkIsThePatternAtItsPlaceAndColour) {
    B red = cs(0x80, B{0, 0x01, 0, 0, 0, 0, 8, 8, 8, 0, 0xFF, 0, 0});
    Result r = interpret(rasterCharSet() + codePage() + page(rasterMap(), red + textABC));
    ASSERT_EQ(r.pages.size(), 1u);
    // At 240 dpi a pel is a pixel: "A" starts at 240 + 2, its top row 10 above the baseline at 240.
    Pixels png = decodePngBytes(renderPng(r.pages[0], 240));
    ASSERT_EQ(png.width, 2040);
    EXPECT_EQ(png.at(242, 230), 0xFF0000u);
    EXPECT_EQ(inked(png, 242, 230, 243, 239), 20);  // the L's stem
    EXPECT_EQ(inked(png, 244, 238, 249, 239), 12);  // its foot
    EXPECT_EQ(inked(png, 244, 230, 249, 237), 0);   // the space the L encloses
    EXPECT_EQ(inked(png, 250, 225, 251, 245), 0);
    // "B" at 240 + 12 pels, 2 pels below the baseline: a box with a hollow inside.
    EXPECT_EQ(inked(png, 252, 242, 257, 247), 20);
    EXPECT_EQ(inked(png, 253, 243, 256, 246), 0);
    EXPECT_EQ(inked(png, 252, 230, 261, 241), 0);
    // "C" has no pattern: the substitute's glyph is drawn after "B" (at 240 + 22).
    EXPECT_GT(inked(png, 262, 200, 290, 240), 20);

    // Text turned 90 degrees (STO: inline down the page, baselines stacking
    // leftwards from the right edge): the patterns turn with it. "A" at 1 inch
    // down, its baseline 1 inch left of the right edge (x 1800 at 240 dpi).
    B turned = cs(0xF6, be(0x2D00, 2) + be(0x5A00, 2)) + textABC;
    Result rr = interpret(rasterCharSet() + codePage() + page(rasterMap(), turned));
    ASSERT_EQ(rr.pages.at(0).text.at(0).rotation, 90);
    Pixels rot = decodePngBytes(renderPng(rr.pages[0], 240));
    EXPECT_EQ(inked(rot, 1800, 242, 1809, 243), 20);  // the stem, lying across the baseline's direction
    EXPECT_EQ(inked(rot, 1800, 244, 1801, 249), 12);  // the foot, along it
    EXPECT_EQ(inked(rot, 1802, 244, 1809, 249), 0);

    // At 72 dpi the patterns are scaled down: ink stays in the glyph boxes.
    Pixels small = decodePngBytes(renderPng(r.pages[0], 72));
    EXPECT_GT(inked(small, 72, 68, 74, 72), 0);
    EXPECT_EQ(inked(small, 60, 50, 71, 80), 0);
}

TEST(RasterFont, PdfKeepsTheTextSearchable) {
    if (runShell("command -v pdftotext").status != 0) GTEST_SKIP() << "pdftotext (Debian poppler-utils) not installed";
    Result r = interpret(rasterCharSet() + codePage() + page(rasterMap(), textABC));
    TempDir dir;
    writeFileString(dir.file("a.pdf"), renderPdf(r.pages));
    RunResult t = runShell("pdftotext -bbox " + shellQuote(dir.file("a.pdf")) + " -");
    ASSERT_EQ(t.status, 0);
    EXPECT_NE(t.out.find(">ABC</word>"), std::string::npos) << t.out;
    if (runShell("command -v pdftoppm").status == 0) {
        // The invisible text leaves the patterns alone: the L's enclosed space stays white.
        RunResult ppm = runShell("pdftoppm -r 240 -png -singlefile " + shellQuote(dir.file("a.pdf")) + " " +
                                 shellQuote(dir.file("a")));
        ASSERT_EQ(ppm.status, 0);
        Pixels png = decodePngBytes(readFileString(dir.file("a.png")));
        ASSERT_GT(png.width, 300);
        EXPECT_EQ(inked(png, 242, 230, 243, 239), 20);
        EXPECT_EQ(inked(png, 245, 231, 248, 236), 0);
    }
}

TEST(RasterFont, CommandFindsFontsAndCodePagesInResourceDirectories) {
    TempDir dir;
    std::string fonts = dir.file("fonts");
    ASSERT_EQ(runShell("mkdir -p " + shellQuote(fonts)).status, 0);
    writeFileString(fonts + "/C0TSTR00.afp", streamBytes(rasterCharSet("OTHERNAM")));
    writeFileString(fonts + "/T1TSTR01", streamBytes(codePage()));
    writeFileString(dir.file("in.afp"), streamBytes(page(rasterMap(), textABC)));
    RunResult r = runTool({"render", "-q", "--dpi", "240", "--resource-dir", fonts, dir.file("in.afp"), dir.file("out.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    Pixels png = decodePngBytes(readFileString(dir.file("out.png")));
    ASSERT_EQ(png.width, 2040);
    EXPECT_EQ(inked(png, 242, 230, 243, 239), 20);
    EXPECT_EQ(inked(png, 244, 230, 249, 237), 0);

    // The corpus's C0X00006 is an outline (Type 1) character set: mapped from a
    // resource directory with T1V10500, its metrics place the text and the
    // substitute draws it.
    PageOptions o;
    o.resourceDir = dataPath("corpus");
    B text = cs(0xD2, be(1440, 2)) + cs(0xC6, be(1440, 2)) + cs(0xF0, {1}) + cs(0xDA, ebc("HIH"));
    Result outline = interpret(page(group(fqn(0x86, "C0X00006") + fqn(0x85, "T1V10500") + lid(1)), text), o);
    ASSERT_EQ(outline.pages.size(), 1u);
    const TextRun& t = outline.pages[0].text.at(0);
    EXPECT_EQ(t.text, "HIH");
    EXPECT_FALSE(t.raster);
    ASSERT_EQ(t.advances.size(), 3u);
    EXPECT_NE(t.advances[0], t.advances[1]);  // proportional widths from the font's FNI
}

// ---- the medium ---------------------------------------------------------------
// An overlay with one 72 x 10 pt rule at (72, 72) of its own space.
std::vector<AFP_> overlay(std::string_view name) {
    const B units = B{0, 0} + be(14400, 2) + be(14400, 2) + be(12240, 3) + be(15840, 3);
    return {sf(0xD3A8DF, name8(name)), sf(0xD3A8C9), sf(0xD3A6AF, units + B{0, 0, 0}), sf(0xD3B19B, units + B{0, 0}),
            sf(0xD3A9C9), sf(0xD3A89B),
            sf(0xD3EE9B, cs(0xD2, be(1440, 2)) + cs(0xC6, be(1440, 2)) + cs(0x74, be(0x0001, 2)) +
                             cs(0xE4, be(1440, 2) + be(200, 2) + B{0})),
            sf(0xD3A99B), sf(0xD3A9DF, name8(name))};
}

// A form definition: medium map M1 (11 x 8.5 in, the page turned 90 degrees
// with its origin at the top-right corner, overlay O1 on the medium) and M2
// (no medium size, no rotation).
std::vector<AFP_> formDefinition() {
    B mdd = B{0, 0} + be(14400, 2) + be(14400, 2) + be(15840, 3) + be(12240, 3) + B{0};
    B pgp90 = B{0x01, 10} + be(15840, 3) + be(0, 3) + be(0x2D00, 2) + B{0};
    return {sf(0xD3A8CD, name8("F1")),
            sf(0xD3A8C4, name8("E1")), sf(0xD3B1AF, B{0x01, 10} + be(0, 3) + be(0, 3) + be(0, 2) + B{0}), sf(0xD3A9C4),
            sf(0xD3A8CC, name8("M1")), sf(0xD3B1DF, B{12, 0, 0, 0} + B{1, 0, 0, 0} + name8("O1")), sf(0xD3A688, mdd),
            sf(0xD3A788, B{1, 0xFF, 0xF1, 0x01, 0xF2, 0x01}), sf(0xD3B1AF, pgp90), sf(0xD3A9CC, name8("M1")),
            sf(0xD3A8CC, name8("M2")), sf(0xD3A9CC, name8("M2")),
            sf(0xD3A9CD, name8("F1"))};
}
// A red rule 36 pt along the page's x axis, 10 pt down, at the page's origin.
const B redRule = cs(0xD2, be(0, 2)) + cs(0xC6, be(0, 2)) + cs(0x74, be(0x0002, 2)) + cs(0xE4, be(720, 2) + be(200, 2) + B{0});

TEST(Medium, FormDefinitionPlacesAndTurnsThePageAndDrawsMediumOverlays) {
    auto doc = overlay("O1") + formDefinition() + std::vector<AFP_>{sf(0xD3A8A8, name8("D1"))} + page({}, redRule) +
               std::vector<AFP_>{sf(0xD3ABCC, name8("M2"))} + page({}, redRule) +
               std::vector<AFP_>{sf(0xD3ABCC, name8("NONE"))} + page({}, redRule) + std::vector<AFP_>{sf(0xD3A9A8)};
    Result r = interpret(doc);
    ASSERT_EQ(r.pages.size(), 3u);
    const Medium& m = r.pages[0].medium;
    EXPECT_TRUE(m.present);
    EXPECT_NEAR(m.width, 792, 1e-6);
    EXPECT_NEAR(m.height, 612, 1e-6);
    EXPECT_NEAR(m.pageX, 792, 1e-6);
    EXPECT_EQ(m.pageRotation, 90);
    ASSERT_TRUE(m.overlays);
    ASSERT_EQ(m.overlays->rules.size(), 1u);
    EXPECT_NEAR(m.overlays->rules[0].x, 72, 1e-6);
    // The page's own items stay in page coordinates (text extraction reads them so).
    ASSERT_EQ(r.pages[0].rules.size(), 1u);
    EXPECT_NEAR(r.pages[0].rules[0].x, 0, 1e-6);
    EXPECT_NEAR(r.pages[0].rules[0].width, 36, 1e-6);

    // M2: no medium size, no turn: the medium is the page.
    const Medium& m2 = r.pages[1].medium;
    EXPECT_TRUE(m2.present);
    EXPECT_NEAR(m2.width, 612, 1e-6);
    EXPECT_NEAR(m2.height, 792, 1e-6);
    EXPECT_EQ(m2.pageRotation, 0);
    EXPECT_FALSE(m2.overlays);
    // A medium map the form definition lacks: the first is used, with a warning.
    EXPECT_EQ(r.pages[2].medium.pageRotation, 90);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("NONE"), std::string::npos);

    // The PNG is the medium: landscape, the page's rule turned down the right
    // edge, the overlay's blue rule at (72, 72).
    Pixels png = decodePngBytes(renderPng(r.pages[0], 72));
    ASSERT_EQ(png.width, 792);
    ASSERT_EQ(png.height, 612);
    EXPECT_EQ(png.at(787, 18), 0xFF0000u);
    EXPECT_EQ(png.at(18, 5), 0xFFFFFFu);
    EXPECT_EQ(png.at(100, 76), 0x0000FFu);
    Pixels second = decodePngBytes(renderPng(r.pages[1], 72));
    EXPECT_EQ(second.width, 612);
    EXPECT_EQ(second.at(18, 5), 0xFF0000u);

    // Without a form definition the page is drawn as it is.
    Result plain = interpret(page({}, redRule));
    EXPECT_FALSE(plain.pages.at(0).medium.present);
}

}  // namespace
}  // namespace pressel::test
