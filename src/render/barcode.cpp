// Bar code objects (BCOCA) drawn through Zint.
//
// The bar code data descriptor (BDD) gives the units of the bar code
// presentation space, the symbology and its modifier, the colour, the
// module width in mils (thousandths of an inch), the element height in the
// descriptor's units and its multiplier. Each bar code data field (BDA)
// gives flags (X'80' print the human-readable interpretation, X'40' above
// the symbol rather than below, X'10' Code 39 start and stop asterisks in
// it, X'04' print only the interpretation), the position of the symbol's
// origin (its top-left corner, quiet zone excluded) in the presentation
// space, and the data: EBCDIC (code page 500) for linear symbols; the two-
// dimensional symbols start with their own parameters:
//   Data Matrix  flags (X'80' EBCDIC data), rows (2), row size (2), structured
//                append sequence and total, file id (2), special functions
//   QR Code      conversion (X'01' EBCDIC data), version, error correction
//                level (L, M, Q, H), structured append sequence and total,
//                parity, special functions
//   PDF417       flags (X'80' EBCDIC data), data symbols per row, rows,
//                security level, length of the macro block (2), the block
// Zint encodes the symbol; its vector form (rectangles, hexagons, circles
// and strings, two units to a module) is drawn with cairo at the module
// width the BDD gives. The presentation space origin is the object area's
// (moved by the content offset of the OBP); a bar code is not scaled.
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "objects.hpp"
#include "pressel/render/render.hpp"

#ifdef PRESSEL_HAVE_ZINT
#include <zint.h>
#endif

namespace pressel::render::detail {

#ifndef PRESSEL_HAVE_ZINT

Drawn drawBarCode(cairo_t*, const PageObject&, int, const Warn&) { return Drawn::Unsupported; }

#else

namespace {

std::string hex2(unsigned v) {
    static const char digits[] = "0123456789ABCDEF";
    return {digits[(v >> 4) & 15], digits[v & 15]};
}

// EBCDIC (code page 500) to Latin-1 bytes.
std::string fromEbcdic(std::span<const byte> b) {
    std::string utf8 = decodeRun(500, false, b), out;
    for (std::size_t i = 0; i < utf8.size();) {
        auto c = static_cast<unsigned char>(utf8[i]);
        unsigned u = c;
        int n = c < 0x80 ? 0 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
        if (n) u = c & (0x3F >> n);
        ++i;
        for (int k = 0; k < n && i < utf8.size(); ++k) u = u << 6 | (static_cast<unsigned char>(utf8[i++]) & 0x3F);
        out += char(u <= 0xFF ? u : '?');
    }
    return out;
}

// The text with every byte that is not part of a well-formed UTF-8
// sequence replaced by '?' (cairo refuses malformed text).
std::string validUtf8(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool ok = n > 0 && i + n <= s.size() && !(n > 1 && c < 0xC2) && !(c == 0xF4 && n == 4 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) > 0x8F) && c <= 0xF4;
        for (std::size_t k = 1; ok && k < n; ++k) ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
        if (ok && n == 3) {
            auto c1 = static_cast<unsigned char>(s[i + 1]);
            ok = !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 > 0x9F);
        }
        if (ok && n == 4) ok = !(c == 0xF0 && static_cast<unsigned char>(s[i + 1]) < 0x90);
        if (ok) {
            out.append(s, i, n);
            i += n;
        } else {
            out += '?';
            ++i;
        }
    }
    return out;
}

struct Symbology {
    int zint = 0;
    const char* name = "";
    bool twoD = false, postal = false;
};

Symbology symbology(unsigned type) {
    switch (type) {
    case 0x01: return {BARCODE_CODE39, "Code 39"};
    case 0x02: return {BARCODE_MSI_PLESSEY, "MSI"};
    case 0x03: return {BARCODE_UPCA, "UPC-A"};
    case 0x05: return {BARCODE_UPCE, "UPC-E"};
    case 0x06: case 0x07: case 0x16: case 0x17: return {BARCODE_EANX, "EAN/UPC add-on"};
    case 0x08: return {BARCODE_EANX, "EAN-8"};
    case 0x09: return {BARCODE_EANX, "EAN-13"};
    case 0x0A: return {BARCODE_C25IND, "Industrial 2 of 5"};
    case 0x0B: return {BARCODE_C25STANDARD, "Matrix 2 of 5"};
    case 0x0C: return {BARCODE_C25INTER, "Interleaved 2 of 5"};
    case 0x0D: return {BARCODE_CODABAR, "Codabar"};
    case 0x11: return {BARCODE_CODE128, "Code 128"};
    case 0x18: return {BARCODE_POSTNET, "POSTNET", false, true};
    case 0x1A: return {BARCODE_RM4SCC, "Royal Mail 4-state", false, true};
    case 0x1B: return {BARCODE_JAPANPOST, "Japan Post", false, true};
    case 0x1C: return {BARCODE_DATAMATRIX, "Data Matrix", true};
    case 0x1E: return {BARCODE_PDF417, "PDF417", true};
    case 0x1F: return {BARCODE_AUSPOST, "Australia Post", false, true};
    case 0x20: return {BARCODE_QRCODE, "QR Code", true};
    case 0x21: return {BARCODE_CODE93, "Code 93"};
    case 0x22: return {BARCODE_USPS_IMAIL, "USPS Intelligent Mail", false, true};
    default: return {};
    }
}

// Data Matrix symbol sizes (rows x columns) in Zint's numbering from 1.
int dataMatrixSize(unsigned rows, unsigned cols) {
    static const unsigned square[] = {10, 12, 14, 16, 18, 20, 22, 24, 26, 32, 36, 40,
                                      44, 48, 52, 64, 72, 80, 88, 96, 104, 120, 132, 144};
    if (rows == cols)
        for (int i = 0; i < 24; ++i)
            if (square[i] == rows) return i + 1;
    static const unsigned rect[][2] = {{8, 18}, {8, 32}, {12, 26}, {12, 36}, {16, 36}, {16, 48}};
    for (int i = 0; i < 6; ++i)
        if (rect[i][0] == rows && rect[i][1] == cols) return 25 + i;
    return 0;
}

struct SymbolDeleter {
    void operator()(zint_symbol* s) const { ZBarcode_Delete(s); }
};

void setRgb(cairo_t* cr, Rgb c) {
    cairo_set_source_rgb(cr, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0);
}

}  // namespace

Drawn drawBarCode(cairo_t* cr, const PageObject& o, int pageNumber, const Warn& warn) {
    if (!o.fields) return Drawn::Unsupported;
    if (!std::isfinite(o.originX + o.originY + o.areaWidth + o.areaHeight)) return Drawn::Unsupported;
    const std::string where = "bar code object " + o.name + " on page " + std::to_string(pageNumber);
    std::vector<byte> bdd = firstData(o, 0xD3A6EB);
    std::vector<std::size_t> starts;
    std::vector<byte> bda = joinedData(o, 0xD3EEEB, &starts);
    if (bdd.size() < 13) {
        warn(where + ": the bar code data descriptor has " + std::to_string(bdd.size()) +
             " bytes, needs at least 13 (offset 0 of the BDD): the area is outlined");
        return Drawn::Outline;
    }
    if (bda.size() < 5) {
        warn(where + ": the bar code data has " + std::to_string(bda.size()) +
             " bytes, needs at least 5 (offset 0 of the BDA): the area is outlined");
        return Drawn::Outline;
    }
    std::span<const byte> d(bdd);
    auto at = [&](std::size_t i, unsigned dflt) { return i < d.size() ? unsigned(d[i]) : dflt; };
    auto at16 = [&](std::size_t i, unsigned dflt) { return i + 2 <= d.size() ? be16(d, i) : dflt; };
    double ux = pointsPer(d[0], be16(d, 2)), uy = pointsPer(d[0], be16(d, 4));
    if (!(ux > 0)) ux = 72.0 / 1440;
    if (!(uy > 0)) uy = ux;
    unsigned type = d[12], modifier = at(13, 0), color = at16(15, 0xFFFF), moduleMils = at(17, 0xFF);
    unsigned elementHeight = at16(18, 0xFFFF), heightMultiplier = at(20, 1);
    Symbology sym = symbology(type);
    if (!sym.zint) {
        warn("bar code type X'" + hex2(type) + "' is not drawn: its areas are outlined (first on page " +
             std::to_string(pageNumber) + ", " + o.name + ")");
        return Drawn::Outline;
    }

    unsigned flags = bda[0];
    double x = be16(bda, 1) * ux, y = be16(bda, 3) * uy;
    std::span<const byte> rest = std::span<const byte>(bda).subspan(5);
    std::unique_ptr<zint_symbol, SymbolDeleter> z(ZBarcode_Create());
    if (!z) throw std::bad_alloc();
    z->symbology = sym.zint;
    z->output_options = BARCODE_NO_QUIET_ZONES;
    z->input_mode = DATA_MODE;
    bool hri = (flags & 0x80) && !sym.twoD && !sym.postal;
    z->show_hrt = hri ? 1 : 0;
    std::string data;
    std::size_t dataOffset = 5;
    auto needControl = [&](std::size_t n) {
        if (rest.size() >= n) return true;
        warn(where + ": the " + sym.name + " parameters need " + std::to_string(n) + " bytes, the data has " +
             std::to_string(rest.size()) + " (offset 5 of the BDA): the area is outlined");
        return false;
    };
    int fallbackSize = 0;
    switch (type) {
    case 0x1C: {  // Data Matrix
        if (!needControl(10)) return Drawn::Outline;
        z->option_2 = dataMatrixSize(be16(rest, 1), be16(rest, 3));
        fallbackSize = 1;
        std::span<const byte> v = rest.subspan(10);
        data = (rest[0] & 0x80) ? fromEbcdic(v) : std::string(v.begin(), v.end());
        dataOffset += 10;
        break;
    }
    case 0x20: {  // QR Code
        if (!needControl(7)) return Drawn::Outline;
        if (rest[1] >= 1 && rest[1] <= 40) z->option_2 = rest[1];
        z->option_1 = rest[2] <= 3 ? rest[2] + 1 : -1;
        fallbackSize = 1;
        std::span<const byte> v = rest.subspan(7);
        data = rest[0] == 0x01 ? fromEbcdic(v) : std::string(v.begin(), v.end());
        dataOffset += 7;
        break;
    }
    case 0x1E: {  // PDF417
        if (!needControl(6)) return Drawn::Outline;
        std::size_t macro = be16(rest, 4);
        if (!needControl(6 + macro)) return Drawn::Outline;
        if (rest[1] >= 1 && rest[1] <= 30) z->option_2 = rest[1];
        if (rest[2] >= 3 && rest[2] <= 90) z->option_3 = rest[2];
        if (rest[3] <= 8) z->option_1 = rest[3];
        fallbackSize = 1;
        std::span<const byte> v = rest.subspan(6 + macro);
        data = (rest[0] & 0x80) ? fromEbcdic(v) : std::string(v.begin(), v.end());
        dataOffset += 6 + macro;
        break;
    }
    default:
        data = fromEbcdic(rest);
        break;
    }
    // Modifiers that choose a check digit.
    if ((type == 0x01 || type == 0x0C || type == 0x0D) && modifier == 0x02) z->option_2 = 1;
    if (type == 0x02 && modifier >= 0x02 && modifier <= 0x05) z->option_2 = int(modifier) - 1;
    // Intelligent Mail: the 20-digit tracking code, then the routing code.
    if (type == 0x22 && data.size() > 20 && data.find('-') == std::string::npos)
        data = data.substr(0, 20).append(1, '-').append(data, 20);

    // Sizes, points.
    double module = (moduleMils == 0xFF || moduleMils == 0 ? (sym.twoD ? 20 : 13) : moduleMils) * 72.0 / 1000;
    if (sym.postal) {
        module = 72.0 / 44;  // postal bars and spaces alternate at 22 to the inch
        z->output_options |= COMPLIANT_HEIGHT;
    } else if (type == 0x1E) {
        if (elementHeight != 0xFFFF && elementHeight > 0) {
            z->input_mode |= HEIGHTPERROW_MODE;
            z->height = float(elementHeight * uy * std::max(1u, heightMultiplier) / module);
        }
    } else if (!sym.twoD && elementHeight != 0xFFFF && elementHeight > 0) {
        z->height = float(elementHeight * uy * std::max(1u, heightMultiplier) / module);
    }
    z->height = std::min(z->height, 5000.0f);  // modules; a bar longer than any medium is not drawn longer
    int ret = ZBarcode_Encode(z.get(), reinterpret_cast<const unsigned char*>(data.data()), int(data.size()));
    if (ret >= ZINT_ERROR && fallbackSize) {
        // A requested size too small for the data: the smallest that holds it.
        std::unique_ptr<zint_symbol, SymbolDeleter> again(ZBarcode_Create());
        if (!again) throw std::bad_alloc();
        again->symbology = z->symbology;
        again->output_options = z->output_options;
        again->input_mode = z->input_mode;
        again->option_1 = z->option_1;
        again->height = z->height;
        again->show_hrt = z->show_hrt;
        z = std::move(again);
        ret = ZBarcode_Encode(z.get(), reinterpret_cast<const unsigned char*>(data.data()), int(data.size()));
    }
    if (ret < ZINT_ERROR) ret = ZBarcode_Buffer_Vector(z.get(), 0);
    if (ret >= ZINT_ERROR || !z->vector) {
        std::size_t field = std::size_t(std::upper_bound(starts.begin(), starts.end(), dataOffset) - starts.begin());
        warn(where + ": " + sym.name + " data cannot be encoded (" + z->errtxt + ") (offset " +
             std::to_string(dataOffset) + " of its bar code data, BDA field " + std::to_string(field) +
             "): the area is outlined");
        return Drawn::Outline;
    }

    unsigned option = mappingOption(o, 0xD3ABEB, 0x00);
    double offX = 0, offY = 0;
    if (option == 0x00 || option == 0x10) contentOffset(o, offX, offY);
    cairo_save(cr);
    enterArea(cr, o);
    if (option != 0x00 && o.areaWidth > 0 && o.areaHeight > 0) {
        cairo_rectangle(cr, 0, 0, o.areaWidth, o.areaHeight);
        cairo_clip(cr);
    }
    cairo_translate(cr, offX + x, offY + y);
    cairo_scale(cr, module / 2, module / 2);  // two vector units to a module
    cairo_new_path(cr);
    Rgb ink = standardColor(color, 0);
    const zint_vector* v = z->vector;
    double barsTop = 0, barsBottom = 0, barsLeft = INFINITY;
    for (const zint_vector_rect* r = v->rectangles; r; r = r->next) {
        barsTop = std::min(barsTop, double(r->y));
        barsBottom = std::max(barsBottom, double(r->y + r->height));
        barsLeft = std::min(barsLeft, double(r->x));
    }
    // The origin is the first bar's left edge: a leading digit of the
    // human-readable text (EAN-13, UPC-A) stands left of it.
    if (std::isfinite(barsLeft)) cairo_translate(cr, -barsLeft, 0);
    if (!(flags & 0x04)) {
        setRgb(cr, ink);
        for (const zint_vector_rect* r = v->rectangles; r; r = r->next)
            if (r->colour <= 0 || r->colour == 7) cairo_rectangle(cr, r->x, r->y, r->width, r->height);
        cairo_fill(cr);
        for (const zint_vector_hexagon* h = v->hexagons; h; h = h->next) {
            double rad = h->diameter / 2;
            for (int k = 0; k < 6; ++k) {
                double t = M_PI / 3 * k + (h->rotation % 180 ? 0 : M_PI / 6);
                double px = h->x + rad * std::cos(t), py = h->y + rad * std::sin(t);
                k ? cairo_line_to(cr, px, py) : cairo_move_to(cr, px, py);
            }
            cairo_close_path(cr);
        }
        cairo_fill(cr);
        for (const zint_vector_circle* c = v->circles; c; c = c->next) {
            setRgb(cr, c->colour ? 0xFFFFFF : ink);
            cairo_new_sub_path(cr);
            cairo_arc(cr, c->x, c->y, c->diameter / 2, 0, 2 * M_PI);
            if (c->width > 0) {
                cairo_set_line_width(cr, c->width);
                cairo_stroke(cr);
            } else {
                cairo_fill(cr);
            }
        }
    }
    if (hri) {
        setRgb(cr, ink);
        // The font the descriptor names through the object's font map, else a sans serif.
        std::string fontName;
        if (unsigned lid = at(14, 0xFF); lid != 0xFF) {
            auto fonts = objectFonts(o);
            if (auto it = fonts.find(lid); it != fonts.end()) fontName = it->second.name;
        }
        FontChoice f = substituteFont(fontName, false);
        cairo_select_font_face(cr, f.family.c_str(), f.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                               f.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
        for (const zint_vector_string* s = v->strings; s; s = s->next) {
            if (!(s->fsize > 0)) continue;
            std::string text(reinterpret_cast<const char*>(s->text), std::size_t(std::max(0, s->length)));
            text = validUtf8(text.c_str());
            if (type == 0x01 && !(flags & 0x10) && text.size() >= 2 && text.front() == '*' && text.back() == '*')
                text = text.substr(1, text.size() - 2);
            cairo_set_font_size(cr, s->fsize);
            cairo_text_extents_t e;
            cairo_text_extents(cr, text.c_str(), &e);
            double tx = s->halign == 1 ? s->x : s->halign == 2 ? s->x - e.x_advance : s->x - e.x_advance / 2;
            double ty = s->y;
            // Above the symbol: as far above the bars as the text's top is below them.
            if (flags & 0x40) ty = barsTop - (s->y - 0.7 * s->fsize - barsBottom);
            cairo_move_to(cr, tx, ty);
            cairo_show_text(cr, text.c_str());
        }
    }
    cairo_restore(cr);
    return Drawn::Drawn;
}

#endif

}  // namespace pressel::render::detail
