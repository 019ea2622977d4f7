// Reading order of an interpreted page: lines by baseline in each inline
// direction, characters in inline order, spaces where the gaps are.
#include "pressel/page/page_text.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "pressel/text/cp835.hpp"

namespace pressel {
namespace {

// One character in the reading frame of its inline direction: u along the
// baseline, v along the baseline progression (both in points).
struct Glyph {
    double u, v, advance, size;
    const TextRun* run;
    std::size_t index;           // character index in the run
    std::size_t from, to;        // its UTF-8 bytes in run->text
    std::size_t order;           // presentation order on the page
    bool space;
};

struct Axes {
    double ix, iy;  // inline unit vector in page coordinates
    double bx, by;  // baseline-progression unit vector
};
Axes frameOf(int rotation) {
    switch (rotation) {
    case 90: return {0, 1, -1, 0};
    case 180: return {-1, 0, 0, -1};
    case 270: return {0, -1, 1, 0};
    default: return {1, 0, 0, 1};
    }
}

std::size_t utf8Length(unsigned char c) { return c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1; }

// The glyphs of one inline direction, in presentation order.
std::vector<Glyph> glyphsOf(const Page& page, int rotation) {
    std::vector<Glyph> out;
    Axes f = frameOf(rotation);
    std::size_t order = 0;
    for (const TextRun& r : page.text) {
        if (r.rotation != rotation) {
            order += r.offsets.size();
            continue;
        }
        double u0 = r.x * f.ix + r.y * f.iy, v0 = r.x * f.bx + r.y * f.by;
        std::size_t at = 0;
        for (std::size_t k = 0; k < r.offsets.size() && at < r.text.size(); ++k) {
            std::size_t n = std::min(utf8Length(static_cast<unsigned char>(r.text[at])), r.text.size() - at);
            bool space = n == 1 && r.text[at] == ' ';
            out.push_back({u0 + r.offsets[k], v0, r.advances[k], r.size, &r, k, at, at + n, order++, space});
            at += n;
        }
    }
    return out;
}

using Line = std::vector<Glyph>;

// Lines of glyphs: baselines within 0.55 of the larger font size of the
// line's first glyph and the next (so a superscript stays on its line),
// top to bottom; each line in inline order.
std::vector<Line> linesOf(std::vector<Glyph> g) {
    std::stable_sort(g.begin(), g.end(), [](const Glyph& a, const Glyph& b) { return a.v < b.v; });
    std::vector<Line> lines;
    double base = 0, baseSize = 0;
    for (const Glyph& x : g) {
        if (lines.empty() || x.v - base > 0.55 * std::max(x.size, baseSize)) {
            lines.emplace_back();
            base = x.v;
            baseSize = x.size;
        }
        lines.back().push_back(x);
    }
    for (Line& l : lines)
        std::stable_sort(l.begin(), l.end(), [](const Glyph& a, const Glyph& b) { return a.u < b.u; });
    return lines;
}

// The rotations of a page's text, the most used first.
std::vector<int> rotationsOf(const Page& page) {
    std::size_t count[4] = {};
    for (const TextRun& r : page.text) count[(r.rotation / 90) & 3] += r.offsets.size();
    std::vector<int> order;
    for (int k = 0; k < 4; ++k)
        if (count[k]) order.push_back(k);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return count[a] > count[b]; });
    for (int& k : order) k *= 90;
    return order;
}

// A control character (a substitute or an unmapped code point of a code
// page's control range) shows nothing.
bool control(const Glyph& g) {
    auto c = static_cast<unsigned char>(g.run->text[g.from]);
    return g.to - g.from == 1 && (c < 0x20 || c == 0x7F);
}

void appendGlyph(std::string& out, const Glyph& g, const PageTextOptions& o) {
    const TextRun& r = *g.run;
    if (control(g)) return;
    if (r.doubleByte && (o.dbcs950 || o.latin1) && r.codePage == 835) {
        std::size_t at = g.index * 2;
        if (at + 2 <= r.codePoints.size()) {
            out += convert835to950Text(std::string_view(r.codePoints).substr(at, 2));
            return;
        }
    }
    if (o.latin1) {
        std::size_t at = g.from;
        char32_t u = static_cast<unsigned char>(r.text[at]);
        if (u >= 0x80) {
            std::size_t n = g.to - g.from;
            u &= 0x3F >> (n - 1);
            for (std::size_t k = 1; k < n; ++k) u = u << 6 | (static_cast<unsigned char>(r.text[at + k]) & 0x3F);
        }
        out += u <= 0xFF ? static_cast<char>(u) : '?';
        return;
    }
    out.append(r.text, g.from, g.to - g.from);
}

// A glyph printed again on top of the one before it (overprinted bold, a
// repeated run): the same character at nearly the same place.
bool duplicate(const Glyph& a, const Glyph& b) {
    return std::abs(a.u - b.u) < 0.1 * b.size && std::abs(a.v - b.v) < 0.1 * b.size &&
           a.run->text.compare(a.from, a.to - a.from, b.run->text, b.from, b.to - b.from) == 0;
}

double typicalWidth(const std::vector<Line>& lines) {
    std::vector<double> w;
    for (const Line& l : lines)
        for (const Glyph& g : l)
            if (!g.space && g.advance > 0) w.push_back(g.advance);
    if (w.empty()) return 6;
    std::nth_element(w.begin(), w.begin() + std::ptrdiff_t(w.size() / 2), w.end());
    return std::max(w[w.size() / 2], 1.0);
}

}  // namespace

void appendPageText(std::string& out, const Page& page, const PageTextOptions& o) {
    for (int rotation : rotationsOf(page)) {
        std::vector<Line> lines = linesOf(glyphsOf(page, rotation));
        double cw = typicalWidth(lines);
        double minU = 0;
        if (o.layout) {
            minU = INFINITY;
            for (const Line& l : lines) minU = std::min(minU, l.front().u);
        }
        double lastV = NAN, lastSize = 0;
        for (const Line& l : lines) {
            if (o.layout && !std::isnan(lastV)) {
                double gap = l.front().v - lastV, pitch = 1.2 * std::max(lastSize, l.front().size);
                for (long n = std::lround(gap / pitch) - 1; n > 0; --n) out += '\n';
            }
            lastV = l.front().v;
            lastSize = l.front().size;
            std::size_t start = out.size();
            std::size_t column = 0;
            const Glyph* prev = nullptr;
            for (const Glyph& g : l) {
                if (prev && duplicate(*prev, g)) continue;
                bool gap = prev && g.u - (prev->u + prev->advance) > g.size / 3;
                if (o.layout && (!prev || gap)) {
                    // A word starts at the column of its position.
                    auto want = std::size_t(std::max(0L, std::lround((g.u - minU) / cw)));
                    if (prev && !prev->space && !g.space && want <= column) want = column + 1;
                    while (column < want) {
                        out += ' ';
                        ++column;
                    }
                } else if (gap && !prev->space && !g.space) {
                    out += ' ';
                    ++column;
                }
                appendGlyph(out, g, o);
                ++column;
                prev = &g;
            }
            while (out.size() > start && out.back() == ' ') out.pop_back();
            out += '\n';
        }
    }
    out += '\f';
}

std::vector<PageWord> pageWords(const Page& page) {
    std::vector<PageWord> words;
    for (int rotation : rotationsOf(page)) {
        Axes f = frameOf(rotation);
        for (const Line& l : linesOf(glyphsOf(page, rotation))) {
            PageWord w;
            double u0 = 0, u1 = 0, top = 0, bottom = 0, v = 0;
            bool open = false;
            const Glyph* prev = nullptr;
            auto close = [&] {
                if (!open) return;
                // The box's corners from the reading frame back to the page.
                double us[2] = {u0, u1}, vs[2] = {v - top, v + bottom};
                double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
                for (double uu : us)
                    for (double vv : vs) {
                        double x = uu * f.ix + vv * f.bx, y = uu * f.iy + vv * f.by;
                        minX = std::min(minX, x), maxX = std::max(maxX, x);
                        minY = std::min(minY, y), maxY = std::max(maxY, y);
                    }
                w.x = minX;
                w.y = minY;
                w.width = maxX - minX;
                w.height = maxY - minY;
                w.rotation = rotation;
                words.push_back(std::move(w));
                w = PageWord{};
                open = false;
            };
            for (const Glyph& g : l) {
                if (prev && duplicate(*prev, g)) continue;
                bool gap = prev && g.u - (prev->u + prev->advance) > g.size / 3;
                // A superscript or subscript is a word of its own, as are text
                // sizes that meet without a space.
                bool shifted = prev && (std::abs(g.v - prev->v) > 0.1 * g.size || g.size != prev->size);
                prev = &g;
                if (g.space || gap || shifted) close();
                if (g.space) continue;
                if (!open) {
                    open = true;
                    u0 = g.u;
                    v = g.v;
                    top = g.run->ascent;
                    bottom = g.run->descent;
                    w.font = g.run->font;
                    w.size = g.run->size;
                    w.color = g.run->color;
                }
                u1 = g.u + g.advance;
                top = std::max(top, g.run->ascent);
                bottom = std::max(bottom, g.run->descent);
                if (!control(g)) w.text.append(g.run->text, g.from, g.to - g.from);
            }
            close();
        }
    }
    return words;
}

}  // namespace pressel
