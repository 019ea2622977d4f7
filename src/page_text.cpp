// Reading order of an interpreted page: lines by baseline in each inline
// direction, characters in inline order, spaces where the gaps are.
#include "pressel/page/page_text.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "pressel/text/cp835.hpp"

namespace pressel {
namespace {

// One character in the reading frame of its inline direction: u along the
// baseline, v along the baseline progression (both in points).
struct Glyph {
    double u, v, size;
    double gap;  // a third of the size: a wider gap before the glyph reads as a space
    const TextRun* run;
    float advance;
    std::uint32_t index;     // character index in the run
    std::uint32_t from, to;  // its UTF-8 bytes in run->text
    bool space;
    bool control;  // a control character (a substitute, an unmapped code point of the control range)
    bool ascii;    // one byte below X'80' that every output form writes as it is
    char lead;     // its first byte
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

// The glyphs of one inline direction in reading order, and where each line
// starts. The buffers live as long as the thread and keep their capacity
// from page to page, so a page costs no allocation once the first large
// page has been read.
struct Lines {
    std::vector<Glyph> glyphs;
    std::vector<std::uint32_t> starts;  // index of every line's first glyph, then glyphs.size()
    std::size_t count() const noexcept { return starts.empty() ? 0 : starts.size() - 1; }
    const Glyph* begin(std::size_t l) const noexcept { return glyphs.data() + starts[l]; }
    const Glyph* end(std::size_t l) const noexcept { return glyphs.data() + starts[l + 1]; }
};

// The glyphs of one inline direction, in presentation order; true when
// they are in baseline order too (every glyph's v no larger than the next
// one's, which the glyphs of one run share).
bool glyphsOf(std::vector<Glyph>& out, const Page& page, int rotation) {
    out.clear();
    Axes f = frameOf(rotation);
    bool inOrder = true;
    double lastV = -INFINITY;
    for (const TextRun& r : page.text) {
        if (r.rotation != rotation) continue;
        double u0 = r.x * f.ix + r.y * f.iy, v0 = r.x * f.bx + r.y * f.by;
        if (!r.offsets.empty() && !r.text.empty()) {
            if (!(lastV <= v0)) inOrder = false;
            lastV = v0;
        }
        const double gap = r.size / 3;
        // Double-byte text of code page 835 may be written as code page 950.
        const bool converted = r.doubleByte && r.codePage == 835;
        const std::size_t n = r.offsets.size(), bytes = r.text.size();
        const char* text = r.text.data();
        std::size_t at = 0;
        for (std::size_t k = 0; k < n && at < bytes; ++k) {
            auto c = static_cast<unsigned char>(text[at]);
            std::size_t len = c < 0x80 ? 1 : std::min(utf8Length(c), bytes - at);
            bool space = c == ' ';
            bool control = len == 1 && (c < 0x20 || c == 0x7F);
            out.push_back({u0 + r.offsets[k], v0, r.size, gap, &r, r.advances[k], std::uint32_t(k), std::uint32_t(at),
                           std::uint32_t(at + len), space, control, c < 0x80 && !converted, char(c)});
            at += len;
        }
    }
    return inOrder;
}

// Lines of glyphs: baselines within 0.55 of the larger font size of the
// line's first glyph and the next (so a superscript stays on its line),
// top to bottom; each line in inline order. Glyphs already in order (most
// text is presented in reading order) are left as they are, which is what
// the stable sorts would do with them.
void linesOf(Lines& lines, const Page& page, int rotation) {
    bool inBaselineOrder = glyphsOf(lines.glyphs, page, rotation);
    std::vector<Glyph>& g = lines.glyphs;
    Glyph* data = g.data();
    if (!inBaselineOrder)
        std::stable_sort(data, data + g.size(), [](const Glyph& a, const Glyph& b) { return a.v < b.v; });
    lines.starts.clear();
    double base = 0, baseSize = 0;
    bool inlineOrder = true;  // the glyphs of the line so far are in inline order
    auto sortLine = [&](std::size_t end) {
        if (!inlineOrder)
            std::stable_sort(data + lines.starts.back(), data + end,
                             [](const Glyph& a, const Glyph& b) { return a.u < b.u; });
    };
    for (std::size_t k = 0; k < g.size(); ++k) {
        const Glyph& x = g[k];
        if (lines.starts.empty() || x.v - base > 0.55 * std::max(x.size, baseSize)) {
            if (!lines.starts.empty()) sortLine(k);
            lines.starts.push_back(std::uint32_t(k));
            base = x.v;
            baseSize = x.size;
            inlineOrder = true;
        } else if (!(g[k - 1].u <= x.u)) {
            inlineOrder = false;
        }
    }
    if (!lines.starts.empty()) sortLine(g.size());
    lines.starts.push_back(std::uint32_t(g.size()));
}

Lines& scratchLines() {
    thread_local Lines lines;
    return lines;
}

// The rotations of a page's text, the most used first.
struct Rotations {
    int order[4];
    int n = 0;
    const int* begin() const noexcept { return order; }
    const int* end() const noexcept { return order + n; }
};
Rotations rotationsOf(const Page& page) {
    std::size_t count[4] = {};
    for (const TextRun& r : page.text) count[(r.rotation / 90) & 3] += r.offsets.size();
    Rotations rs;
    for (int k = 0; k < 4; ++k)
        if (count[k]) rs.order[rs.n++] = k;
    std::stable_sort(rs.order, rs.order + rs.n, [&](int a, int b) { return count[a] > count[b]; });
    for (int k = 0; k < rs.n; ++k) rs.order[k] *= 90;
    return rs;
}

// A glyph's text in the output form. A control character (a substitute or
// an unmapped code point of a code page's control range) shows nothing.
void appendGlyph(std::string& out, const Glyph& g, const PageTextOptions& o) {
    const TextRun& r = *g.run;
    if (g.control) return;
    if (g.ascii) {
        out.push_back(g.lead);
        return;
    }
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
bool sameText(const Glyph& a, const Glyph& b) {
    return a.run->text.compare(a.from, a.to - a.from, b.run->text, b.from, b.to - b.from) == 0;
}
inline bool duplicate(const Glyph& a, const Glyph& b) {
    return std::abs(a.u - b.u) < 0.1 * b.size && std::abs(a.v - b.v) < 0.1 * b.size && sameText(a, b);
}

// The median advance of the glyphs that are not spaces (at least 1 point),
// 6 points when there is none.
double typicalWidth(const std::vector<Glyph>& glyphs) {
    thread_local std::vector<double> w;
    w.clear();
    for (const Glyph& g : glyphs)
        if (!g.space && g.advance > 0) w.push_back(g.advance);
    if (w.empty()) return 6;
    std::nth_element(w.begin(), w.begin() + std::ptrdiff_t(w.size() / 2), w.end());
    return std::max(w[w.size() / 2], 1.0);
}

// True when the characters of a run after its first (of `n`, n <= the
// sizes of its text, offsets and advances) are printable ASCII, none a
// duplicate of the one before (nearer than a tenth of the size) and none
// after a gap (more than a third of the size beyond the advance of the one
// before), each by a margin: what the glyph-by-glyph loop of
// appendRunsInOrder would then write for them is the characters as they are.
bool plainAfterFirst(const TextRun& r, std::size_t n) {
    if (n < 2) return false;
    constexpr double margin = 1e-3;  // points; positions round at about 1e-5
    const double nearest = 0.1 * r.size + margin, widest = r.size / 3 - margin;
    const char* text = r.text.data();
    const float* offsets = r.offsets.data();
    const float* advances = r.advances.data();
    bool ok = true;
    for (std::size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(text[k]);
        const double d = double(offsets[k]) - double(offsets[k - 1]);
        ok &= (c >= 0x20) & (c < 0x7F) & (d >= nearest) & (d - double(advances[k - 1]) <= widest);
    }
    return ok;
}

// The text of one inline direction read straight from its runs, without the
// glyphs of linesOf, when every glyph is an ASCII byte and the runs come in
// reading order: baselines in order and each line's characters in inline
// order, where the sorts of linesOf leave everything as it is. Writes what
// the glyph path of appendPageText writes without layout, and returns true;
// returns false, with `out` as it was, at the first glyph out of order.
//
// The text is written into a buffer kept from page to page, which only
// grows, and goes to `out` in one piece: a run's room is not cleared first.
bool appendRunsInOrder(std::string& out, const Page& page, int rotation) {
    thread_local std::string buf;
    std::size_t len = 0;  // bytes of `buf` written
    auto room = [&](std::size_t more) {
        if (buf.size() < len + more) buf.resize(std::max(len + more, 2 * buf.size()));
        return buf.data() + len;
    };
    const Axes f = frameOf(rotation);
    double lastV = -INFINITY, base = 0, baseSize = 0, lastU = 0;
    bool first = true;
    std::size_t start = 0;
    bool havePrev = false, prevSpace = false;
    double prevU = 0, prevV = 0;
    float prevAdvance = 0;
    char prevChar = 0;
    auto endLine = [&] {
        while (len > start && buf[len - 1] == ' ') --len;
        *room(1) = '\n';
        ++len;
    };
    for (const TextRun& r : page.text) {
        if (r.rotation != rotation) continue;
        const std::size_t n = std::min(r.offsets.size(), r.text.size());
        if (n == 0) continue;
        // Glyphs of a run share their baseline and size: only a run's first
        // glyph can start a line, unless the size is negative (or NaN).
        if (!(r.size >= 0)) return false;
        const double u0 = r.x * f.ix + r.y * f.iy, v0 = r.x * f.bx + r.y * f.by;
        if (!(lastV <= v0)) return false;
        lastV = v0;
        const char* text = r.text.data();
        const float* offsets = r.offsets.data();
        const float* advances = r.advances.data();
        if (first || v0 - base > 0.55 * std::max(r.size, baseSize)) {
            if (!first) endLine();
            first = false;
            base = v0;
            baseSize = r.size;
            start = len;
            havePrev = false;
        } else if (!(lastU <= u0 + offsets[0])) {
            return false;
        }
        const double gap = r.size / 3;
        // Room for every character and a space before each.
        char* w = room(2 * n);
        // After its first character, a run whose characters are printable
        // ASCII, each clear of the one before by more than a duplicate's
        // distance and without a gap wide enough for a space (each by a
        // margin far above the rounding of the positions) is its text as it
        // stands: checked over the whole run at once, then copied.
        // (Only when the first character was kept: one dropped as a
        // duplicate leaves the character before the run to compare with.)
        const std::size_t plainFrom = plainAfterFirst(r, n) ? 1 : n;
        bool firstKept = false;
        for (std::size_t k = 0; k < n; ++k) {
            if (k == plainFrom && firstKept) {
                std::memcpy(w, text + 1, n - 1);
                w += n - 1;
                prevU = u0 + offsets[n - 1];
                prevAdvance = advances[n - 1];
                prevSpace = text[n - 1] == ' ';
                prevChar = text[n - 1];
                break;
            }
            const char c = text[k];
            if (static_cast<unsigned char>(c) >= 0x80 || (k > 0 && !(offsets[k - 1] <= offsets[k]))) return false;
            const double u = u0 + offsets[k];
            // A glyph printed again on top of the one before it (the cheap
            // test first: most characters differ from the one before).
            if (havePrev && prevChar == c && std::abs(prevU - u) < 0.1 * r.size && std::abs(prevV - v0) < 0.1 * r.size)
                continue;
            const bool space = c == ' ';
            *w = ' ';
            w += havePrev && !prevSpace && !space && u - (prevU + prevAdvance) > gap;
            *w = c;
            w += !(c < 0x20 || c == 0x7F);
            havePrev = true;
            prevU = u;
            prevV = v0;
            prevAdvance = advances[k];
            prevSpace = space;
            prevChar = c;
            firstKept = true;
        }
        len = std::size_t(w - buf.data());
        lastU = u0 + offsets[n - 1];
    }
    if (!first) endLine();
    out.append(buf.data(), len);
    return true;
}

}  // namespace

void appendPageText(std::string& out, const Page& page, const PageTextOptions& o) {
    Lines& lines = scratchLines();
    for (int rotation : rotationsOf(page)) {
        if (!o.layout && appendRunsInOrder(out, page, rotation)) continue;
        linesOf(lines, page, rotation);
        double cw = 0, minU = 0;
        if (o.layout) {
            cw = typicalWidth(lines.glyphs);
            minU = INFINITY;
            for (std::size_t l = 0; l < lines.count(); ++l) minU = std::min(minU, lines.begin(l)->u);
        }
        double lastV = NAN, lastSize = 0;
        for (std::size_t l = 0; l < lines.count(); ++l) {
            const Glyph& first = *lines.begin(l);
            if (o.layout && !std::isnan(lastV)) {
                double gap = first.v - lastV, pitch = 1.2 * std::max(lastSize, first.size);
                for (long n = std::lround(gap / pitch) - 1; n > 0; --n) out += '\n';
            }
            lastV = first.v;
            lastSize = first.size;
            std::size_t start = out.size();
            std::size_t column = 0;
            const Glyph* prev = nullptr;
            for (const Glyph* gp = lines.begin(l); gp != lines.end(l); ++gp) {
                const Glyph& g = *gp;
                if (prev && duplicate(*prev, g)) continue;
                bool gap = prev && g.u - (prev->u + prev->advance) > g.gap;
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
        Lines& lines = scratchLines();
        linesOf(lines, page, rotation);
        for (std::size_t li = 0; li < lines.count(); ++li) {
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
            for (const Glyph* gp = lines.begin(li); gp != lines.end(li); ++gp) {
                const Glyph& g = *gp;
                if (prev && duplicate(*prev, g)) continue;
                bool gap = prev && g.u - (prev->u + prev->advance) > g.gap;
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
                if (!g.control) w.text.append(g.run->text, g.from, g.to - g.from);
            }
            close();
        }
    }
    return words;
}

}  // namespace pressel
