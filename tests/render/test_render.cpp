// pressel render against FOP: the words of Pressel's PDF of FOP's AFP where
// FOP's own PDF of the same XSL-FO has them, Pressel's PNG against poppler's
// raster of FOP's PDF; the command's outputs, options and damaged input.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <fstream>
#include <map>
#include <regex>

#include "../helpers.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/page/page.hpp"
#include "pressel/page/page_text.hpp"
#include "pressel/render/render.hpp"
#include "pressel/core/strings.hpp"

namespace pressel::test {
namespace {

bool havePdftotext() { return runShell("command -v pdftotext && command -v pdfinfo").status == 0; }

#define REQUIRE_POPPLER()                                                                          \
    if (!havePdftotext()) GTEST_SKIP() << "pdftotext/pdfinfo (Debian poppler-utils) not installed: " \
                                          "PDF text comparison skipped"

struct BoxWord {
    int page;
    double x0, y0, x1, y1;
    std::string text;
};
struct Bbox {
    std::vector<std::pair<double, double>> pages;  // sizes
    std::vector<BoxWord> words;
};

std::string unescapeHtml(std::string s) {
    for (auto [from, to] : {std::pair<const char*, const char*>{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""},
                            {"&apos;", "'"}, {"&#39;", "'"}, {"&amp;", "&"}}) {
        for (std::size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += std::strlen(to))
            s.replace(at, std::strlen(from), to);
    }
    return s;
}

Bbox readBbox(const std::string& text) {
    Bbox b;
    std::istringstream in(text);
    std::regex page(R"re(<page width="([\d.]+)" height="([\d.]+)")re");
    std::regex word(R"re(<word xMin="([-\d.]+)" yMin="([-\d.]+)" xMax="([-\d.]+)" yMax="([-\d.]+)">(.*)</word>)re");
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_search(line, m, page)) b.pages.emplace_back(std::stod(m[1]), std::stod(m[2]));
        else if (std::regex_search(line, m, word))
            b.words.push_back({int(b.pages.size()), std::stod(m[1]), std::stod(m[2]), std::stod(m[3]),
                               std::stod(m[4]), unescapeHtml(m[5])});
    }
    return b;
}

// The interpreter's words of a file with their page and rotation.
std::vector<std::pair<int, PageWord>> interpreterWords(const std::string& path) {
    std::vector<std::pair<int, PageWord>> words;
    PageInterpreter x;
    AfpStream in = readAFP(path);
    for (const AFP_& c : in)
        if (x.feed(c))
            for (PageWord& w : pageWords(x.page())) words.emplace_back(x.page().number, std::move(w));
    return words;
}

// The rotation of the interpreter's word nearest to a PDF word of the same text.
int rotationOf(const std::vector<std::pair<int, PageWord>>& words, const BoxWord& w) {
    double best = INFINITY;
    int rot = 0;
    for (const auto& [page, o] : words) {
        if (page != w.page || o.text != w.text) continue;
        double d = std::abs(o.x - w.x0) + std::abs(o.y - w.y0);
        if (d < best) best = d, rot = o.rotation;
    }
    return rot;
}

// Distance between two boxes of one word, over the edges that do not depend
// on the font's declared ascent: the box edge on the glyphs' top side comes
// from each PDF font's ascent (Helvetica 718/1000 in FOP's unembedded fonts,
// Liberation Sans 905/1000), not from where the glyphs are.
double distance(const BoxWord& a, const BoxWord& b, int rotation) {
    double e[4] = {std::abs(a.x0 - b.x0), std::abs(a.y0 - b.y0), std::abs(a.x1 - b.x1), std::abs(a.y1 - b.y1)};
    int top = rotation == 90 ? 2 : rotation == 180 ? 3 : rotation == 270 ? 0 : 1;
    e[top] = 0;
    return *std::max_element(e, e + 4);
}

const char* const fopSamples[] = {"hello", "letter", "invoice", "graphics", "layout", "codepages", "pages"};

TEST(RenderFop, PdfWordsAndPageSizesAgreeWithFopsPdf) {
    REQUIRE_POPPLER();
    TempDir dir;
    for (const char* name : fopSamples) {
        SCOPED_TRACE(name);
        const std::string afp = dataPath(std::string(name) + ".afp"), pdf = dir.file(std::string(name) + ".pdf");
        RunResult r = runTool({"render", "-q", afp, pdf});
        ASSERT_EQ(r.status, 0) << r.err;
        Bbox ours = readBbox(runShell("pdftotext -bbox " + shellQuote(pdf) + " -").out);
        Bbox fop = readBbox(readFileString(dataPath(std::string(name) + ".bbox")));
        ASSERT_EQ(ours.pages.size(), fop.pages.size());
        for (std::size_t k = 0; k < fop.pages.size(); ++k) {
            // The page size comes from the PGD, in FOP's units of 1/240 inch.
            EXPECT_NEAR(ours.pages[k].first, fop.pages[k].first, 0.3) << "page " << k + 1;
            EXPECT_NEAR(ours.pages[k].second, fop.pages[k].second, 0.3) << "page " << k + 1;
        }
        EXPECT_EQ(ours.words.size(), fop.words.size());
        auto placed = interpreterWords(afp);
        std::vector<bool> used(ours.words.size());
        double worst = 0;
        for (const BoxWord& w : fop.words) {
            int rot = rotationOf(placed, w);
            double best = INFINITY;
            std::size_t at = 0;
            for (std::size_t k = 0; k < ours.words.size(); ++k) {
                const BoxWord& o = ours.words[k];
                if (used[k] || o.page != w.page || o.text != w.text) continue;
                if (double d = distance(o, w, rot); d < best) best = d, at = k;
            }
            ASSERT_TRUE(std::isfinite(best)) << "no word '" << w.text << "' on page " << w.page;
            used[at] = true;
            worst = std::max(worst, best);
            EXPECT_LE(best, 1.5) << "'" << w.text << "' on page " << w.page;
        }
        RecordProperty(std::string(name) + "_worst_pt", std::to_string(worst));
    }
}

// ---- PNG against poppler's raster of FOP's PDF ---------------------------------------
struct Grey {
    int width = 0, height = 0;
    std::vector<float> v;  // 0 black .. 255 white
    float at(int x, int y) const { return v[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

Grey readPng(const std::string& path) {
    Grey g;
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_t* rgb = cairo_image_surface_create(CAIRO_FORMAT_RGB24, cairo_image_surface_get_width(s),
                                                          cairo_image_surface_get_height(s));
        cairo_t* cr = cairo_create(rgb);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        cairo_set_source_surface(cr, s, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(rgb);
        g.width = cairo_image_surface_get_width(rgb);
        g.height = cairo_image_surface_get_height(rgb);
        const unsigned char* data = cairo_image_surface_get_data(rgb);
        int stride = cairo_image_surface_get_stride(rgb);
        g.v.resize(std::size_t(g.width) * std::size_t(g.height));
        for (int y = 0; y < g.height; ++y)
            for (int x = 0; x < g.width; ++x) {
                std::uint32_t p;
                std::memcpy(&p, data + y * stride + x * 4, 4);
                g.v[std::size_t(y) * std::size_t(g.width) + std::size_t(x)] =
                    0.299f * float((p >> 16) & 0xFF) + 0.587f * float((p >> 8) & 0xFF) + 0.114f * float(p & 0xFF);
            }
        cairo_surface_destroy(rgb);
    }
    cairo_surface_destroy(s);
    return g;
}

// A 3x3 box blur: a glyph drawn a pixel off, or with other hinting, still
// overlaps its blurred reference.
Grey blur(const Grey& g) {
    Grey b = g;
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x) {
            float sum = 0;
            int n = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (x + dx >= 0 && x + dx < g.width && y + dy >= 0 && y + dy < g.height) sum += g.at(x + dx, y + dy), ++n;
            b.v[std::size_t(y) * std::size_t(g.width) + std::size_t(x)] = sum / float(n);
        }
    return b;
}

// Share of pixels whose blurred grey differs by more than 64 of 255.
double differingShare(const Grey& a, const Grey& b) {
    Grey ba = blur(a), bb = blur(b);
    int w = std::min(a.width, b.width), h = std::min(a.height, b.height);
    std::size_t differ = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (std::abs(ba.at(x, y) - bb.at(x, y)) > 64) ++differ;
    return double(differ) / (double(w) * double(h));
}

// Bound on the share of differing pixels of a page: the fonts are metric
// compatible but not the same design (Liberation against the fonts poppler
// substitutes for FOP's unembedded Helvetica, Times and Courier), rules are
// antialiased differently, and FOP's image is only outlined here. Measured:
// at most 0.25 % (the page with the image); the bound is 1 %.
constexpr double pngBound = 0.01;

TEST(RenderFop, PngAt72DpiMatchesPopplersRasterOfFopsPdf) {
    TempDir dir;
    for (auto [name, pages] : {std::pair<const char*, int>{"pages", 3}, {"layout", 1}, {"invoice", 1}}) {
        SCOPED_TRACE(name);
        RunResult r = runTool({"render", "-q", dataPath(std::string(name) + ".afp"), dir.file("p%d.png")});
        ASSERT_EQ(r.status, 0) << r.err;
        for (int k = 1; k <= pages; ++k) {
            const std::string number = std::to_string(k);
            std::string fopName = name;
            fopName.append("-").append(number).append(".fop.png");
            Grey ours = readPng(dir.file(std::string("p").append(number).append(".png")));
            Grey fop = readPng(dataPath(fopName));
            ASSERT_GT(ours.width, 0);
            ASSERT_GT(fop.width, 0);
            EXPECT_LE(std::abs(ours.width - fop.width), 1);
            EXPECT_LE(std::abs(ours.height - fop.height), 1);
            double share = differingShare(ours, fop);
            EXPECT_LT(share, pngBound) << "page " << k;
            std::fprintf(stderr, "%s page %d: %.3f %% of pixels differ\n", name, k, share * 100);
        }
    }
}

// ---- the command ----------------------------------------------------------------------
TEST(RenderTool, FormatsNamesPagesAndStandardOutput) {
    TempDir dir;
    const std::string letter = dataPath("letter.afp");
    // One SVG per page, numbered with %04d; pages chosen with --pages.
    RunResult r = runTool({"render", "-q", "--pages", "1,3-", letter, dir.file("l%04d.svg")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir.file("l0001.svg")));
    EXPECT_FALSE(fs::exists(dir.file("l0002.svg")));
    std::string svg = readFileString(dir.file("l0003.svg"));
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(svg.find("595.2pt"), std::string::npos) << "A4 width in points";
    // A single page needs no %d; --dpi scales the PNG (A4 at 150 dpi).
    r = runTool({"render", "-q", "--pages", "2", "--dpi", "150", letter, dir.file("two.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    Grey two = readPng(dir.file("two.png"));
    EXPECT_EQ(two.width, 1240);
    EXPECT_EQ(two.height, 1754);
    // Several pages to one PNG name: refused, and nothing is left behind.
    r = runTool({"render", "-q", letter, dir.file("all.png")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(errorLine(r.err).find("%d"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir.file("all.png")));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
    // PDF to standard output; a PDF name with %d and an unknown extension are usage errors.
    r = runTool({"render", "-q", letter, "-"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("%PDF-", 0), 0u);
    EXPECT_NE(r.out.find("%%EOF"), std::string::npos);
    EXPECT_EQ(runTool({"render", letter, dir.file("x%d.pdf")}).status, 1);
    EXPECT_EQ(runTool({"render", letter, dir.file("x.tiff")}).status, 1);
    EXPECT_EQ(runTool({"render", "--pages", "3-1", letter, dir.file("x.pdf")}).status, 1);
    EXPECT_EQ(runTool({"render", "--dpi", "0", letter, dir.file("x.png")}).status, 1);
    // The input is never its own output.
    const std::string copy = dir.file("copy.afp");
    fs::copy_file(letter, copy);
    r = runTool({"render", "--format", "pdf", copy, copy});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(readFileString(copy), readFileString(letter));
}

TEST(RenderTool, ReplacedFileKeepsItsModeAndALinkIsFollowed) {
    TempDir dir;
    const std::string out = dir.file("out.pdf"), link = dir.file("link.pdf");
    writeFileString(out, "old");
    fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(out, link);
    RunResult r = runTool({"render", "-q", dataPath("hello.afp"), link});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readFileString(out).rfind("%PDF-", 0), 0u);
    EXPECT_EQ(fs::status(out).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// pressel hands render to pressel-draw in its own folder, found through a
// link to pressel; a pressel without it says so and fails.
TEST(RenderTool, RunsInPresselDrawBesideTheTool) {
    TempDir dir;
    const std::string real = fs::canonical(toolPath()).string();
    const std::string link = dir.file("pressel-link"), lone = dir.file("lone");
    fs::create_symlink(real, link);
    RunResult r = runShell(shellQuote(link) + " render -q " + shellQuote(dataPath("hello.afp")) + " -");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("%PDF-", 0), 0u);

    fs::create_directory(lone);
    fs::copy_file(real, lone + "/pressel");
    r = runShell(shellQuote(lone + "/pressel") + " render -q " + shellQuote(dataPath("hello.afp")) + " -");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(errorLine(r.err).find("cannot start " + lone + "/pressel-draw for the render command"),
              std::string::npos)
        << r.err;
    // The other commands do not need it.
    r = runShell(shellQuote(lone + "/pressel") + " chunks -q " + shellQuote(dataPath("hello.afp")));
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(RenderTool, UnsupportedObjectsAreOutlinedWithOneWarningPerKind) {
    TempDir dir;
    RunResult r = runTool({"render", dataPath("invoice.afp"), dir.file("i.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    Grey g = readPng(dir.file("i.png"));
    ASSERT_GT(g.width, 100);
    // The image area is at (56.7, 58.2), 34 x 34 points.
    if (r.err.find("*** Warning: image objects are not drawn") == std::string::npos) {
        // Built with the image decoders: the checkerboard logo, black in its
        // top-left square of 8.5 points, white in the next.
        EXPECT_LT(g.at(61, 62), 64);
        EXPECT_GT(g.at(69, 62), 192);
        EXPECT_LT(g.at(69, 71), 64);
    } else {
        // Without them: the area has its outline in grey.
        float edge = 255;
        for (int y = 60; y < 90; ++y) edge = std::min(edge, g.at(56, y));
        EXPECT_GT(edge, 100);
        EXPECT_LT(edge, 250);
        EXPECT_GT(g.at(66, 64), 250);  // inside, off the diagonals
    }
    // The drawing of graphics.afp is drawn: no warning.
    r = runTool({"render", dataPath("graphics.afp"), dir.file("g.pdf")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("graphics objects are not drawn"), std::string::npos) << r.err;
}

TEST(RenderTool, MissingOverlayIsNamedAndThePageStillDrawn) {
    REQUIRE_POPPLER();
    TempDir dir;
    // hello.afp with an IPO of an overlay nobody has, before its text.
    std::vector<AFP_> fields;
    AfpStream in = readAFP(dataPath("hello.afp"));
    for (const AFP_& c : in) {
        if (c.code == 0xD3A89B) {  // BPT
            std::vector<byte> ipo = {0xD3, 0xAF, 0xD8, 0, 0, 0};
            Bytes name = toAStr("NOSUCHOV");
            ipo.insert(ipo.end(), name.begin(), name.end());
            ipo.insert(ipo.end(), 8, 0);
            fields.push_back(AFP_{0xD3AFD8, Bytes::copy(std::span<const byte>(ipo))});
        }
        fields.push_back(AFP_{c.code, Bytes::copy(c.payload.span())});
    }
    writeAFP(dir.file("in.afp"), fields);
    RunResult r = runTool({"render", "--resource-dir", dir.path().string(), dir.file("in.afp"), dir.file("o.pdf")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("NOSUCHOV"), std::string::npos) << r.err;
    EXPECT_NE(runShell("pdftotext " + shellQuote(dir.file("o.pdf")) + " -").out.find("quick brown fox"),
              std::string::npos);
}

TEST(RenderTool, DamagedPageIsDrawnAsFarAsItGoesAndLaterPagesStill) {
    REQUIRE_POPPLER();
    TempDir dir;
    // letter.afp with the introducer of page 2's presentation text destroyed.
    std::string bytes = readFileString(dataPath("letter.afp"));
    std::size_t page2 = bytes.find("\xD3\xA8\xAF", bytes.find("\xD3\xA8\xAF") + 3);
    std::size_t text = bytes.find("\xD3\xEE\x9B", page2);
    ASSERT_NE(text, std::string::npos);
    bytes[text - 3] = 0x00;
    writeFileString(dir.file("bad.afp"), bytes);
    RunResult r = runTool({"render", dir.file("bad.afp"), dir.file("bad.pdf")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("offset " + std::to_string(text - 3)), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("page 2 is drawn as far as it goes"), std::string::npos) << r.err;
    EXPECT_TRUE(std::regex_search(runShell("pdfinfo " + shellQuote(dir.file("bad.pdf"))).out,
                                  std::regex(R"(Pages:\s+3\n)")));
    std::string words = runShell("pdftotext " + shellQuote(dir.file("bad.pdf")) + " -").out;
    EXPECT_NE(words.find("Page 1"), std::string::npos);
    EXPECT_NE(words.find("Page 3"), std::string::npos);
    EXPECT_EQ(words.find("Page 2"), std::string::npos);
}

TEST(RenderTool, EveryCorpusFileRendersToPdf) {
    TempDir dir;
    for (const std::string& f : allSampleFiles()) {
        RunResult r = runTool({"render", "-q", f, dir.file("c.pdf")});
        EXPECT_EQ(r.status, 0) << f << "\n" << r.err;
        EXPECT_EQ(readFileString(dir.file("c.pdf")).rfind("%PDF-", 0), 0u) << f;
    }
}

// cairo's and fontconfig's process-wide data (the PNGs read, the fonts of
// the library tests) are freed at the end, for the leak checker.
class CairoCleanup : public ::testing::Environment {
public:
    void TearDown() override { render::releaseStaticData(); }
};
const ::testing::Environment* const cairoCleanup = ::testing::AddGlobalTestEnvironment(new CairoCleanup);

TEST(RenderFonts, SubstitutesFollowTheCharacterSetName) {
    using render::substituteFont;
    EXPECT_EQ(substituteFont("C0H20080", false).family, "Liberation Sans");
    auto timesBold = substituteFont("C0N400A0", false);
    EXPECT_EQ(timesBold.family, "Liberation Serif");
    EXPECT_TRUE(timesBold.bold);
    EXPECT_FALSE(timesBold.italic);
    auto courier = substituteFont("X04500B0", false);
    EXPECT_EQ(courier.family, "Liberation Mono");
    EXPECT_TRUE(courier.bold && courier.italic);
    EXPECT_TRUE(substituteFont("CZH300", false).italic);
    auto word = substituteFont("Times-BoldItalic", false);
    EXPECT_EQ(word.family, "Liberation Serif");
    EXPECT_TRUE(word.bold && word.italic);
    EXPECT_EQ(substituteFont("C0H20080", true).family, "AR PL UMing TW");
}

}  // namespace
}  // namespace pressel::test
