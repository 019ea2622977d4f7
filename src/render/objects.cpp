// What the object drawers share: the data of an object's fields, its
// mapping option and content offset, colours, the area's coordinates.
#include "objects.hpp"

#include <cmath>

#include "pressel/stream/chunk.hpp"
#include "pressel/core/error.hpp"
#include "pressel/core/strings.hpp"

namespace pressel::render::detail {

namespace {

// The data of a structured field: after identifier, flag byte and reserved
// bytes (extension and padding removed). Empty when the field does not frame.
Bytes fieldData(const AFP_& c) {
    try {
        Bytes b = packChunk(c);
        return b.size() >= 6 ? b.dropFront(6) : Bytes{};
    } catch (const Error&) {
        return {};
    }
}

// The value of the first Mapping Option triplet (X'04') in a run of
// triplets; -1 when there is none.
int mappingIn(std::span<const byte> t) {
    for (std::size_t at = 0; at + 2 <= t.size();) {
        std::size_t len = t[at];
        if (len < 2 || at + len > t.size()) break;
        if (t[at + 1] == 0x04 && len >= 3) return t[at + 2];
        at += len;
    }
    return -1;
}

}  // namespace

std::vector<byte> joinedData(const PageObject& o, std::uint32_t code, std::vector<std::size_t>* starts) {
    std::vector<byte> out;
    if (!o.fields) return out;
    for (const AFP_& f : *o.fields) {
        if (f.code != code) continue;
        Bytes d = fieldData(f);
        if (starts) starts->push_back(out.size());
        out.insert(out.end(), d.begin(), d.end());
    }
    return out;
}

std::vector<byte> firstData(const PageObject& o, std::uint32_t code) {
    if (!o.fields) return {};
    for (const AFP_& f : *o.fields)
        if (f.code == code) {
            Bytes d = fieldData(f);
            return {d.begin(), d.end()};
        }
    return {};
}

unsigned mappingOption(const PageObject& o, std::uint32_t mapCode, unsigned fallback) {
    if (int m = mappingIn(o.includeTriplets); m >= 0) return unsigned(m);
    // The map field holds repeating groups: a 2-byte length, then triplets.
    std::vector<byte> d = firstData(o, mapCode);
    std::span<const byte> s(d);
    for (std::size_t at = 0; at + 2 <= s.size();) {
        std::size_t len = be16(s, at);
        if (len < 2 || at + len > s.size()) break;
        if (int m = mappingIn(s.subspan(at + 2, len - 2)); m >= 0) return unsigned(m);
        at += len;
    }
    return fallback;
}

void contentOffset(const PageObject& o, double& x, double& y) {
    x = y = 0;
    std::vector<byte> obp = firstData(o, 0xD3AC6B), obd = firstData(o, 0xD3A66B);
    if (obp.size() < 19) return;
    auto s24 = [&](std::size_t at) {
        unsigned v = unsigned(obp[at]) << 16 | unsigned(obp[at + 1]) << 8 | obp[at + 2];
        return v & 0x800000 ? int(v) - 0x1000000 : int(v);
    };
    // The offset is in the object's measurement units (X'4B' of its OBD).
    double ux = 72.0 / 1440, uy = 72.0 / 1440;
    std::span<const byte> t(obd);
    for (std::size_t at = 0; at + 2 <= t.size();) {
        std::size_t len = t[at];
        if (len < 2 || at + len > t.size()) break;
        if (t[at + 1] == 0x4B && len >= 8) {
            if (double p = pointsPer(t[at + 2], be16(t, at + 4)); p > 0) ux = p;
            if (double p = pointsPer(t[at + 3], be16(t, at + 6)); p > 0) uy = p;
        }
        at += len;
    }
    x = s24(13) * ux;
    y = s24(16) * uy;
}

std::map<unsigned, ObjectFont> objectFonts(const PageObject& o) {
    std::map<unsigned, ObjectFont> fonts;
    if (!o.fields) return fonts;
    for (const AFP_& f : *o.fields) {
        if (f.code != 0xD3AB8A) continue;
        Bytes d = fieldData(f);
        std::span<const byte> s = d.span();
        // Repeating groups (2-byte length) of triplets: X'24' the local id,
        // X'02' the names (X'85' code page, X'86' character set, X'8E' coded font).
        for (std::size_t at = 0; at + 2 <= s.size();) {
            std::size_t glen = be16(s, at);
            if (glen < 2 || at + glen > s.size()) break;
            std::span<const byte> t = s.subspan(at + 2, glen - 2);
            int lid = -1;
            ObjectFont font;
            for (std::size_t k = 0; k + 2 <= t.size();) {
                std::size_t len = t[k];
                if (len < 2 || k + len > t.size()) break;
                std::span<const byte> x = t.subspan(k + 2, len - 2);
                if (t[k + 1] == 0x24 && x.size() >= 2 && x[0] == 0x05) lid = x[1];
                if (t[k + 1] == 0x02 && x.size() >= 2) {
                    std::string name = fromAStr(x.subspan(2));
                    while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();
                    if (x[0] == 0x85) {
                        if (unsigned cp = codePageOfName(name)) font.codePage = cp;
                    } else if (x[0] == 0x86 || (x[0] == 0x8E && font.name.empty())) {
                        font.name = name;
                    }
                }
                k += len;
            }
            if (lid >= 0) fonts[unsigned(lid)] = font;
            at += glen;
        }
    }
    return fonts;
}

double pointsPer(unsigned base, unsigned units) noexcept {
    if (units == 0) return 0;
    return (base == 1 ? 720.0 / 2.54 : 720.0) / units;
}

Rgb standardColor(unsigned v, Rgb dflt) noexcept {
    switch (v) {
    case 0x0001: case 0xFF01: return 0x0000FF;
    case 0x0002: case 0xFF02: return 0xFF0000;
    case 0x0003: case 0xFF03: return 0xFF00FF;
    case 0x0004: case 0xFF04: return 0x00FF00;
    case 0x0005: case 0xFF05: return 0x00FFFF;
    case 0x0006: case 0xFF06: return 0xFFFF00;
    case 0x0007: case 0xFF08: return 0xFFFFFF;
    case 0x0008: return 0x000000;
    case 0x0009: return 0x0000AA;
    case 0x000A: return 0xFF8000;
    case 0x000B: return 0xAA00AA;
    case 0x000C: return 0x009200;
    case 0x000D: return 0x0092AA;
    case 0x000E: return 0xC4A020;
    case 0x000F: return 0x838383;
    case 0x0010: return 0x903000;
    default: return dflt;  // X'0000', X'FF07', X'FFFF': the default
    }
}

void enterArea(cairo_t* cr, const PageObject& o) {
    cairo_translate(cr, o.originX, o.originY);
    cairo_rotate(cr, o.rotation * M_PI / 180);
}

}  // namespace pressel::render::detail
