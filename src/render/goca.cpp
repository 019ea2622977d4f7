// Graphics objects (GOCA): the graphics data descriptor (GDD) gives the
// graphics presentation space's units and its window; the graphics data
// (GAD) carries segments of drawing orders. The orders are run in order on
// a cairo context whose user space is the presentation space, mapped into
// the object area by the object's mapping option (scale to fit unless the
// object or its include says otherwise).
//
// Coordinates of the presentation space grow to the right and upward (the
// window's bottom edge YBWIND is below its top edge YTWIND). Line widths,
// line types, markers and fill patterns are sized in device terms (points),
// not in presentation-space units: the normal line width is 0.01 inch.
//
// Orders (code in the given-position form / current-position form):
//   line C1/81, relative line E1/A1, box C0/80, fillet C5/85, full arc
//   C7/87, partial arc E3/A3, cubic Bezier E5/A5, character string C3/83,
//   marker C2/82, image D1/91 with image data 92 and end 93, begin area
//   68 and end area 60; attributes: colour 0A, extended colour 26, process
//   colour B2, line width 19, fractional line width 11, line type 18, line
//   end 1A, line join 1B, pattern symbol 28, pattern set 08, marker symbol
//   29, marker cell 37, character set 38, character cell 33, character
//   angle 34, current position 21, arc parameters 22; mixes, precisions,
//   character shear and direction, segment characteristics, comments, the
//   end of the prolog and no-ops are read and have no effect on the
//   drawing. Every Begin Segment (70) that does not append to the previous
//   segment starts with the default attributes at position (0, 0).
//
// An order the renderer does not know is skipped by its length, with one
// warning per order code. An order that does not fit in the data stops the
// drawing: what was drawn stays, the area is outlined and one warning gives
// the offset of the order in the object's graphics data.
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>

#include "objects.hpp"
#include "pressel/render/render.hpp"

namespace pressel::render::detail {

namespace {

constexpr double normalLineWidth = 0.72;  // points: 0.01 inch
constexpr double defaultCellHeight = 12;  // points, when no character cell is set
constexpr double defaultMarkerSize = 5;   // points

struct BadOrder {
    std::size_t offset;
    std::string what;
};

std::string hex2(unsigned v) {
    static const char digits[] = "0123456789ABCDEF";
    return {digits[(v >> 4) & 15], digits[v & 15]};
}

// The window and units of the GDD.
struct Descriptor {
    unsigned base = 0;
    double xres = 0, yres = 0;  // units per unit base
    double imageRes = 0;        // image points per unit base, 0: one image point per unit
    int xl = 0, xr = 0, yb = 0, yt = 0;
    bool window = false;
};

Descriptor readDescriptor(std::span<const byte> d) {
    Descriptor g;
    // Self-defining parameters: a code, the length of what follows, the data.
    for (std::size_t at = 0; at + 2 <= d.size();) {
        unsigned code = d[at];
        std::size_t len = d[at + 1];
        if (at + 2 + len > d.size()) break;
        std::span<const byte> p = d.subspan(at + 2, len);
        if (code == 0xF6 && len >= 18) {
            g.base = p[3];
            g.xres = be16(p, 4);
            g.yres = be16(p, 6);
            g.imageRes = (p[0] & 0x10) ? be16(p, 8) : 0;
            g.xl = sbe16(p, 10);
            g.xr = sbe16(p, 12);
            g.yb = sbe16(p, 14);
            g.yt = sbe16(p, 16);
            g.window = g.xr != g.xl && g.yt != g.yb;
        }
        at += 2 + len;
    }
    return g;
}

struct Attributes {
    Rgb color = 0;
    double lineWidth = 1;  // multiple of the normal line width
    unsigned lineType = 0, lineEnd = 0, lineJoin = 0;
    unsigned pattern = 0;
    unsigned marker = 0;
    unsigned charSet = 0;
    double cellWidth = 0, cellHeight = 0;  // presentation-space units; 0: the default cell
    double angleX = 1, angleY = 0;
    double markerWidth = 0, markerHeight = 0;
    double arcP = 1, arcQ = 1, arcR = 0, arcS = 0;
};

struct Point {
    double x = 0, y = 0;
};

// The 8 x 8 cell of a fill pattern: true where the cell is painted.
bool patternBit(unsigned symbol, int x, int y) {
    static const int bayer[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                                    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
                                    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
                                    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
    switch (symbol) {
    case 0x09: return x % 4 == 0;                  // vertical lines
    case 0x0A: return y % 4 == 0;                  // horizontal lines
    case 0x0B: case 0x0C: return (x + y) % 4 == 0; // diagonal lines, bottom-left to top-right
    case 0x0D: case 0x0E: return (x - y + 8) % 4 == 0;
    default:
        if (symbol >= 0x01 && symbol <= 0x08) {
            // Dot densities: 1 is the densest, 8 the lightest.
            int covered = int((9 - symbol) * 64 / 9);
            return bayer[y][x] < covered;
        }
        return true;
    }
}

// Keeps the path under construction (an area's boundary) across drawing
// that needs a path of its own: text, markers, images.
class KeepPath {
public:
    explicit KeepPath(cairo_t* cr) : cr_(cr), path_(cairo_copy_path(cr)) { cairo_new_path(cr); }
    ~KeepPath() {
        cairo_new_path(cr_);
        if (path_->status == CAIRO_STATUS_SUCCESS) cairo_append_path(cr_, path_);
        cairo_path_destroy(path_);
    }
    KeepPath(const KeepPath&) = delete;
    KeepPath& operator=(const KeepPath&) = delete;

private:
    cairo_t* cr_;
    cairo_path_t* path_;
};

class Interpreter {
public:
    Interpreter(cairo_t* cr, const cairo_matrix_t& area, const cairo_matrix_t& gps, double gpsPerImagePoint,
                std::map<unsigned, ObjectFont> fonts, const Warn& warn)
        : cr_(cr), area_(area), gps_(gps), imagePoint_(gpsPerImagePoint), fonts_(std::move(fonts)), warn_(warn) {}

    void run(std::span<const byte> d) {
        cairo_set_matrix(cr_, &gps_);
        cairo_new_path(cr_);
        for (std::size_t at = 0; at < d.size();) {
            std::size_t start = at;
            unsigned code = d[at];
            std::span<const byte> p;
            if (code == 0x00) {  // no-op
                ++at;
                continue;
            }
            if (code == 0xFE) {  // extended order: qualifier, 2-byte length
                if (at + 4 > d.size()) throw BadOrder{start, "an extended order is cut short"};
                std::size_t len = be16(d, at + 2);
                if (at + 4 + len > d.size()) throw BadOrder{start, "an extended order runs past the end of the data"};
                unknown(0xFE00 | d[at + 1]);
                at += 4 + len;
                continue;
            }
            if ((code >> 4) < 8 && (code & 0x0F) >= 8) {  // fixed 2-byte order
                if (at + 2 > d.size()) throw BadOrder{start, "order X'" + hex2(code) + "' is cut short"};
                p = d.subspan(at + 1, 1);
                at += 2;
            } else {
                if (at + 2 > d.size()) throw BadOrder{start, "order X'" + hex2(code) + "' has no length"};
                std::size_t len = d[at + 1];
                if (at + 2 + len > d.size())
                    throw BadOrder{start, "order X'" + hex2(code) + "' runs past the end of the data"};
                p = d.subspan(at + 2, len);
                at += 2 + len;
            }
            offset_ = start;
            order(code, p);
        }
        if (inArea_) endArea();
        if (image_) endImage();
    }

private:
    // ---- reading operands -------------------------------------------------------
    void need(std::span<const byte> p, std::size_t n, unsigned code) const {
        if (p.size() < n)
            throw BadOrder{offset_, "order X'" + hex2(code) + "' has " + std::to_string(p.size()) +
                                        " bytes of operands, needs " + std::to_string(n)};
    }
    static Point point(std::span<const byte> p, std::size_t at) { return {double(sbe16(p, at)), double(sbe16(p, at + 2))}; }
    static std::vector<Point> points(std::span<const byte> p, std::size_t at) {
        std::vector<Point> v;
        for (; at + 4 <= p.size(); at += 4) v.push_back(point(p, at));
        return v;
    }

    void unknown(unsigned code) {
        warn_("graphics: drawing order X'" + (code > 0xFF ? hex2(code >> 8) : std::string()) + hex2(code) +
              "' is not drawn (skipped)");
    }

    // ---- painting ---------------------------------------------------------------
    void setSource() {
        Rgb c = a_.color;
        cairo_set_source_rgb(cr_, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0);
    }

    // Strokes the current path with the line attributes; the path is consumed.
    void stroke() {
        if (a_.lineType == 0x08) {  // invisible
            cairo_new_path(cr_);
            return;
        }
        cairo_save(cr_);
        cairo_set_matrix(cr_, &area_);
        setSource();
        cairo_set_line_width(cr_, std::max(a_.lineWidth, 0.01) * normalLineWidth);
        cairo_set_line_cap(cr_, a_.lineEnd == 2 ? CAIRO_LINE_CAP_SQUARE : a_.lineEnd == 3 ? CAIRO_LINE_CAP_ROUND
                                                                                          : CAIRO_LINE_CAP_BUTT);
        cairo_set_line_join(cr_, a_.lineJoin == 1 ? CAIRO_LINE_JOIN_BEVEL : a_.lineJoin == 2 ? CAIRO_LINE_JOIN_ROUND
                                                                                            : CAIRO_LINE_JOIN_MITER);
        double u = normalLineWidth * std::max(a_.lineWidth, 1.0);
        std::vector<double> dash;
        switch (a_.lineType) {
        case 0x01: dash = {u, 2 * u}; break;                          // dotted
        case 0x02: dash = {4 * u, 2 * u}; break;                      // short dashed
        case 0x03: dash = {8 * u, 2 * u, u, 2 * u}; break;            // dash dot
        case 0x04: dash = {u, 2 * u, u, 5 * u}; break;                // double dotted
        case 0x05: dash = {10 * u, 3 * u}; break;                     // long dashed
        case 0x06: dash = {8 * u, 2 * u, u, 2 * u, u, 2 * u}; break;  // dash double dot
        default: break;                                               // solid
        }
        if (!dash.empty()) cairo_set_dash(cr_, dash.data(), int(dash.size()), 0);
        cairo_stroke(cr_);
        cairo_restore(cr_);
    }

    // Fills the current path with the pattern symbol; the path is kept.
    void fill(bool winding) {
        unsigned s = a_.pattern;
        if (s == 0x0F || s == 0x40) return;  // no fill, blank
        cairo_save(cr_);
        cairo_set_fill_rule(cr_, winding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
        if (s == 0x00 || s == 0x10 || s > 0x0E) {
            setSource();
            cairo_fill_preserve(cr_);
        } else {
            // An 8 x 8 cell of half-point pels, repeated in the area's space.
            cairo_surface_t* cell = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
            unsigned char* px = cairo_image_surface_get_data(cell);
            int stride = cairo_image_surface_get_stride(cell);
            Rgb c = a_.color;
            std::uint32_t argb = 0xFF000000u | c;
            cairo_surface_flush(cell);
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x) {
                    std::uint32_t v = patternBit(s, x, y) ? argb : 0;
                    std::memcpy(px + y * stride + x * 4, &v, 4);
                }
            cairo_surface_mark_dirty(cell);
            cairo_pattern_t* pat = cairo_pattern_create_for_surface(cell);
            cairo_pattern_set_extend(pat, CAIRO_EXTEND_REPEAT);
            cairo_pattern_set_filter(pat, CAIRO_FILTER_NEAREST);
            // Pattern space from user space: the pattern is fixed to the area, 2 pels per point.
            cairo_matrix_t m = area_;
            if (cairo_matrix_invert(&m) == CAIRO_STATUS_SUCCESS) {
                cairo_matrix_t toArea, scale;
                cairo_matrix_multiply(&toArea, &gps_, &m);  // user (presentation space) -> area points
                cairo_matrix_init_scale(&scale, 2, 2);
                cairo_matrix_t full;
                cairo_matrix_multiply(&full, &toArea, &scale);
                cairo_pattern_set_matrix(pat, &full);
            }
            cairo_set_source(cr_, pat);
            cairo_fill_preserve(cr_);
            cairo_pattern_destroy(pat);
            cairo_surface_destroy(cell);
        }
        cairo_restore(cr_);
    }

    // Where an order starts: the given point, a new figure in an area when
    // it is away from the current position.
    void startAt(Point p) {
        if (inArea_ && cairo_has_current_point(cr_) && (p.x != cp_.x || p.y != cp_.y)) cairo_close_path(cr_);
        if (!inArea_ || !cairo_has_current_point(cr_) || p.x != cp_.x || p.y != cp_.y) cairo_move_to(cr_, p.x, p.y);
        cp_ = p;
    }
    void startAtCurrent() {
        if (!inArea_ || !cairo_has_current_point(cr_)) cairo_move_to(cr_, cp_.x, cp_.y);
    }
    // Ends a figure outside an area: stroked at once.
    void done() {
        if (!inArea_) stroke();
    }

    void lineTo(Point p) {
        cairo_line_to(cr_, p.x, p.y);
        cp_ = p;
    }

    // The point at angle t (radians) of the arc-parameter ellipse about c, scaled by m.
    Point onEllipse(Point c, double m, double t) const {
        double ct = std::cos(t), st = std::sin(t);
        return {c.x + m * (a_.arcP * ct + a_.arcR * st), c.y + m * (a_.arcS * ct + a_.arcQ * st)};
    }
    // Adds the arc of the ellipse from angle t0 sweeping by `sweep` (radians,
    // counter-clockwise positive) as short Bezier pieces; a line leads to it.
    void arcPath(Point c, double m, double t0, double sweep) {
        int n = std::max(1, int(std::ceil(std::abs(sweep) / (M_PI / 4))));
        n = std::min(n, 64);
        double h = sweep / n, k = 4.0 / 3.0 * std::tan(h / 4);
        Point p0 = onEllipse(c, m, t0);
        if (cairo_has_current_point(cr_)) cairo_line_to(cr_, p0.x, p0.y);
        else cairo_move_to(cr_, p0.x, p0.y);
        for (int i = 0; i < n; ++i) {
            double a = t0 + i * h, b = a + h;
            // Derivatives of the ellipse at a and b.
            auto d = [&](double t) {
                return Point{m * (-a_.arcP * std::sin(t) + a_.arcR * std::cos(t)),
                             m * (-a_.arcS * std::sin(t) + a_.arcQ * std::cos(t))};
            };
            Point pa = onEllipse(c, m, a), pb = onEllipse(c, m, b), da = d(a), db = d(b);
            cairo_curve_to(cr_, pa.x + k * da.x, pa.y + k * da.y, pb.x - k * db.x, pb.y - k * db.y, pb.x, pb.y);
        }
    }

    static double multiplier(std::span<const byte> p, std::size_t at) { return p[at] + p[at + 1] / 256.0; }

    // ---- the orders -------------------------------------------------------------
    void order(unsigned code, std::span<const byte> p) {
        switch (code) {
        case 0x70: beginSegment(p); break;
        case 0x01: case 0x04: case 0x0C: case 0x0D: case 0x08: case 0x35: case 0x39: case 0x3A: case 0x3B:
        case 0x3C: case 0x3E: break;  // comment, characteristics, mixes, pattern set, shear, precisions, prolog end
        case 0x0A:
            need(p, 1, code);
            a_.color = gocaColor(p[0]);
            break;
        case 0x26:
            need(p, 2, code);
            a_.color = standardColor(be16(p, 0), 0);
            break;
        case 0xB2: processColor(p); break;
        case 0x11:
            need(p, 2, code);
            a_.lineWidth = multiplier(p, 0) > 0 ? multiplier(p, 0) : 1;
            break;
        case 0x19:
            need(p, 1, code);
            a_.lineWidth = p[0] ? p[0] : 1;
            break;
        case 0x18: need(p, 1, code); a_.lineType = p[0]; break;
        case 0x1A: need(p, 1, code); a_.lineEnd = p[0]; break;
        case 0x1B: need(p, 1, code); a_.lineJoin = p[0]; break;
        case 0x28: need(p, 1, code); a_.pattern = p[0]; break;
        case 0x29: need(p, 1, code); a_.marker = p[0]; break;
        case 0x38: need(p, 1, code); a_.charSet = p[0]; break;
        case 0x21:
            need(p, 4, code);
            if (inArea_) startAt(point(p, 0));  // a new figure of the area starts there
            else cp_ = point(p, 0);
            break;
        case 0x22:
            need(p, 8, code);
            a_.arcP = sbe16(p, 0), a_.arcQ = sbe16(p, 2), a_.arcR = sbe16(p, 4), a_.arcS = sbe16(p, 6);
            break;
        case 0x33:
            need(p, 4, code);
            a_.cellWidth = sbe16(p, 0), a_.cellHeight = sbe16(p, 2);
            break;
        case 0x34:
            need(p, 4, code);
            if (sbe16(p, 0) || sbe16(p, 2)) a_.angleX = sbe16(p, 0), a_.angleY = sbe16(p, 2);
            break;
        case 0x37:
            need(p, 4, code);
            a_.markerWidth = sbe16(p, 0), a_.markerHeight = sbe16(p, 2);
            break;
        case 0x68:
            need(p, 1, code);
            if (inArea_) endArea();
            inArea_ = true;
            areaFlags_ = p[0];
            cairo_new_path(cr_);
            break;
        case 0x60:
            if (inArea_) endArea();
            break;
        case 0xC1: case 0x81: line(code, p); break;
        case 0xE1: case 0xA1: relativeLine(code, p); break;
        case 0xC0: case 0x80: box(code, p); break;
        case 0xC5: case 0x85: fillet(code, p); break;
        case 0xE5: case 0xA5: bezier(code, p); break;
        case 0xC7: case 0x87: fullArc(code, p); break;
        case 0xE3: case 0xA3: partialArc(code, p); break;
        case 0xC3: case 0x83: characters(code, p); break;
        case 0xC2: case 0x82: markers(code, p); break;
        case 0xD1: case 0x91: beginImage(code, p); break;
        case 0x92: imageData(p); break;
        case 0x93: endImage(); break;
        default: unknown(code); break;
        }
    }

    void beginSegment(std::span<const byte> p) {
        if (inArea_) endArea();
        if (image_) endImage();
        // FLAG2 bits 1-2 B'11': the segment appends to the previous one and keeps its state.
        bool append = p.size() >= 6 && (p[5] & 0x60) == 0x60;
        if (!append) {
            a_ = Attributes{};
            cp_ = {};
        }
    }

    static Rgb gocaColor(unsigned v) {
        switch (v) {
        case 0x01: return 0x0000FF;
        case 0x02: return 0xFF0000;
        case 0x03: return 0xFF00FF;
        case 0x04: return 0x00FF00;
        case 0x05: return 0x00FFFF;
        case 0x06: return 0xFFFF00;
        case 0x08: return 0xFFFFFF;  // colour of the medium
        default: return 0;           // default, device default: black
        }
    }

    void processColor(std::span<const byte> p) {
        need(p, 10, 0xB2);
        unsigned space = p[1];
        unsigned sizes[4] = {p[6], p[7], p[8], p[9]};
        std::size_t at = 10;
        auto comp = [&](int i) -> double {
            unsigned bits = sizes[i];
            std::size_t bytes = (bits + 7) / 8;
            std::size_t start = at;
            for (int k = 0; k < i; ++k) start += (sizes[k] + 7) / 8;
            if (bits == 0 || bytes > 4 || start + bytes > p.size()) return 0;
            std::uint64_t v = 0;
            for (std::size_t k = 0; k < bytes; ++k) v = v << 8 | p[start + k];
            return double(v) / double((std::uint64_t(1) << std::min(bits, 32u)) - 1);
        };
        auto to8 = [](double v) { return Rgb(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
        switch (space) {
        case 0x01: a_.color = to8(comp(0)) << 16 | to8(comp(1)) << 8 | to8(comp(2)); break;
        case 0x04: {
            double c = comp(0), m = comp(1), y = comp(2), k = comp(3);
            a_.color = to8((1 - c) * (1 - k)) << 16 | to8((1 - m) * (1 - k)) << 8 | to8((1 - y) * (1 - k));
            break;
        }
        case 0x06: a_.color = 0; break;  // highlight colour: drawn in the default colour
        case 0x08: {
            // CIELAB, D50 white, to sRGB.
            double L = comp(0) * 100;
            auto signedComp = [&](int i) {
                std::size_t start = at + (sizes[0] + 7) / 8 + (i == 2 ? (sizes[1] + 7) / 8 : 0);
                return start < p.size() ? double(std::int8_t(p[start])) : 0.0;
            };
            double A = signedComp(1), B = signedComp(2);
            double fy = (L + 16) / 116, fx = fy + A / 500, fz = fy - B / 200;
            auto finv = [](double t) { return t > 6.0 / 29 ? t * t * t : 3 * (6.0 / 29) * (6.0 / 29) * (t - 4.0 / 29); };
            double X = 0.9642 * finv(fx), Y = finv(fy), Z = 0.8249 * finv(fz);
            double r = 3.1339 * X - 1.6169 * Y - 0.4906 * Z, g = -0.9788 * X + 1.9161 * Y + 0.0335 * Z,
                   b = 0.0719 * X - 0.2290 * Y + 1.4052 * Z;
            auto gamma = [](double v) { return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(std::max(v, 0.0), 1 / 2.4) - 0.055; };
            a_.color = to8(gamma(r)) << 16 | to8(gamma(g)) << 8 | to8(gamma(b));
            break;
        }
        case 0x40: a_.color = standardColor(be16(p, 10), 0); break;
        default: warn_("graphics: process colour space X'" + hex2(space) + "' is drawn in black"); a_.color = 0; break;
        }
    }

    void line(unsigned code, std::span<const byte> p) {
        std::vector<Point> v = points(p, 0);
        if (code == 0xC1) {
            need(p, 4, code);
            startAt(v.front());
            v.erase(v.begin());
        } else {
            startAtCurrent();
        }
        for (Point q : v) lineTo(q);
        done();
    }

    void relativeLine(unsigned code, std::span<const byte> p) {
        std::size_t at = 0;
        if (code == 0xE1) {
            need(p, 4, code);
            startAt(point(p, 0));
            at = 4;
        } else {
            startAtCurrent();
        }
        for (; at + 2 <= p.size(); at += 2) lineTo({cp_.x + std::int8_t(p[at]), cp_.y + std::int8_t(p[at + 1])});
        done();
    }

    void box(unsigned code, std::span<const byte> p) {
        bool given = code == 0xC0;
        need(p, given ? 10 : 6, code);
        unsigned flags = p[0];
        Point a = given ? point(p, 2) : cp_, b = point(p, given ? 6 : 2);
        std::size_t round = given ? 10 : 6;
        double rx = 0, ry = 0;
        if (p.size() >= round + 4) rx = std::abs(sbe16(p, round)) / 2.0, ry = std::abs(sbe16(p, round + 2)) / 2.0;
        double x0 = std::min(a.x, b.x), x1 = std::max(a.x, b.x), y0 = std::min(a.y, b.y), y1 = std::max(a.y, b.y);
        rx = std::min(rx, (x1 - x0) / 2), ry = std::min(ry, (y1 - y0) / 2);
        if (!inArea_) cairo_new_path(cr_);
        else if (cairo_has_current_point(cr_)) cairo_close_path(cr_);
        if (rx > 0 && ry > 0) {
            const double k = 0.5523;
            cairo_move_to(cr_, x0 + rx, y0);
            cairo_line_to(cr_, x1 - rx, y0);
            cairo_curve_to(cr_, x1 - rx + k * rx, y0, x1, y0 + ry - k * ry, x1, y0 + ry);
            cairo_line_to(cr_, x1, y1 - ry);
            cairo_curve_to(cr_, x1, y1 - ry + k * ry, x1 - rx + k * rx, y1, x1 - rx, y1);
            cairo_line_to(cr_, x0 + rx, y1);
            cairo_curve_to(cr_, x0 + rx - k * rx, y1, x0, y1 - ry + k * ry, x0, y1 - ry);
            cairo_line_to(cr_, x0, y0 + ry);
            cairo_curve_to(cr_, x0, y0 + ry - k * ry, x0 + rx - k * rx, y0, x0 + rx, y0);
            cairo_close_path(cr_);
        } else {
            cairo_rectangle(cr_, x0, y0, x1 - x0, y1 - y0);
        }
        cp_ = a;
        if (inArea_) return;
        // Flags: X'40' fill the interior, X'20' draw the boundary; neither: the boundary.
        if (flags & 0x40) fill(false);
        if ((flags & 0x20) || !(flags & 0x40)) stroke();
        cairo_new_path(cr_);
    }

    void fillet(unsigned code, std::span<const byte> p) {
        std::vector<Point> v = points(p, 0);
        if (code == 0xC5) need(p, 4, code);
        else v.insert(v.begin(), cp_);
        if (code == 0xC5) startAt(v.front());
        else startAtCurrent();
        // A curve tangent to the lines of the polyline: from the first point
        // through the middle of every inner line to the last point.
        if (v.size() == 2) {
            lineTo(v[1]);
        } else if (v.size() > 2) {
            Point from = v[0];
            for (std::size_t i = 1; i + 1 < v.size(); ++i) {
                Point c = v[i];
                Point to = i + 2 == v.size() ? v[i + 1] : Point{(v[i].x + v[i + 1].x) / 2, (v[i].y + v[i + 1].y) / 2};
                cairo_curve_to(cr_, from.x + 2.0 / 3 * (c.x - from.x), from.y + 2.0 / 3 * (c.y - from.y),
                               to.x + 2.0 / 3 * (c.x - to.x), to.y + 2.0 / 3 * (c.y - to.y), to.x, to.y);
                from = to;
            }
            cp_ = v.back();
        }
        done();
    }

    void bezier(unsigned code, std::span<const byte> p) {
        std::vector<Point> v = points(p, 0);
        if (code == 0xE5) {
            need(p, 4, code);
            startAt(v.front());
            v.erase(v.begin());
        } else {
            startAtCurrent();
        }
        for (std::size_t i = 0; i + 3 <= v.size(); i += 3) {
            cairo_curve_to(cr_, v[i].x, v[i].y, v[i + 1].x, v[i + 1].y, v[i + 2].x, v[i + 2].y);
            cp_ = v[i + 2];
        }
        done();
    }

    void fullArc(unsigned code, std::span<const byte> p) {
        bool given = code == 0xC7;
        need(p, given ? 6 : 2, code);
        Point c = given ? point(p, 0) : cp_;
        double m = multiplier(p, given ? 4 : 0);
        if (!inArea_) cairo_new_path(cr_);
        else if (cairo_has_current_point(cr_)) cairo_close_path(cr_);
        cairo_new_sub_path(cr_);
        arcPath(c, m, 0, 2 * M_PI);
        cairo_close_path(cr_);
        cp_ = c;
        if (inArea_) return;
        stroke();
    }

    void partialArc(unsigned code, std::span<const byte> p) {
        bool given = code == 0xE3;
        need(p, given ? 18 : 14, code);
        std::size_t at = 0;
        if (given) {
            startAt(point(p, 0));
            at = 4;
        } else {
            startAtCurrent();
        }
        Point c = point(p, at);
        double m = multiplier(p, at + 4);
        auto fixed = [&](std::size_t k) {
            std::int32_t v = std::int32_t(std::uint32_t(p[k]) << 24 | std::uint32_t(p[k + 1]) << 16 |
                                          std::uint32_t(p[k + 2]) << 8 | p[k + 3]);
            return v / 65536.0;
        };
        double start = fixed(at + 6) * M_PI / 180, sweep = fixed(at + 10) * M_PI / 180;
        sweep = std::clamp(sweep, -2 * M_PI, 2 * M_PI);
        arcPath(c, m, start, sweep);
        cp_ = onEllipse(c, m, start + sweep);
        done();
    }

    // The area's points per presentation-space unit along x (for sizes given in either).
    double pointsPerUnit() const {
        cairo_matrix_t inv = area_;
        if (cairo_matrix_invert(&inv) != CAIRO_STATUS_SUCCESS) return 1;
        cairo_matrix_t m;
        cairo_matrix_multiply(&m, &gps_, &inv);
        return std::hypot(m.xx, m.yx);
    }

    void characters(unsigned code, std::span<const byte> p) {
        bool given = code == 0xC3;
        if (given) need(p, 4, code);
        Point at = given ? point(p, 0) : cp_;
        std::span<const byte> codes = p.subspan(given ? 4 : 0);
        ObjectFont font;
        if (auto it = fonts_.find(a_.charSet); it != fonts_.end()) font = it->second;
        std::string text = decodeRun(font.codePage, false, codes);
        FontChoice choice = substituteFont(font.name, false);
        double ppu = pointsPerUnit();
        double height = a_.cellHeight != 0 ? std::abs(a_.cellHeight) * ppu : defaultCellHeight;
        double width = a_.cellWidth != 0 ? std::abs(a_.cellWidth) * ppu : height;
        // Sizes cairo can scale a font to (a font matrix must be invertible).
        height = std::clamp(height, 0.01, 10000.0), width = std::clamp(width, 0.01, 10000.0);
        // The baseline point and direction on the area, in points.
        double bx = at.x, by = at.y, ex = at.x + a_.angleX, ey = at.y + a_.angleY;
        cairo_user_to_device(cr_, &bx, &by);
        cairo_user_to_device(cr_, &ex, &ey);
        cairo_matrix_t inv = area_;
        if (cairo_matrix_invert(&inv) != CAIRO_STATUS_SUCCESS) return;
        cairo_matrix_transform_point(&inv, &bx, &by);
        cairo_matrix_transform_point(&inv, &ex, &ey);
        double advance = 0;
        {
        KeepPath keep(cr_);
        cairo_save(cr_);
        cairo_set_matrix(cr_, &area_);
        cairo_translate(cr_, bx, by);
        cairo_rotate(cr_, std::atan2(ey - by, ex - bx));
        cairo_font_face_t* face = cairo_toy_font_face_create(
            choice.family.c_str(), choice.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
            choice.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_face(cr_, face);
        cairo_matrix_t fm;
        cairo_matrix_init_scale(&fm, width, height);
        cairo_set_font_matrix(cr_, &fm);
        setSource();
        cairo_move_to(cr_, 0, 0);
        if (glyphsDrawable(text)) {
            cairo_show_text(cr_, text.c_str());
        } else {
            cairo_text_path(cr_, text.c_str());
            cairo_fill(cr_);
        }
        double dummy = 0;
        if (cairo_has_current_point(cr_)) cairo_get_current_point(cr_, &advance, &dummy);
        cairo_font_face_destroy(face);
        cairo_restore(cr_);
        }
        // The current position moves to the end of the string along the baseline.
        double len = std::hypot(a_.angleX, a_.angleY);
        if (len > 0 && ppu > 0) cp_ = {at.x + advance / ppu * a_.angleX / len, at.y + advance / ppu * a_.angleY / len};
    }

    // FreeType cannot draw the glyphs of every font transformation (a very
    // tall, narrow character cell turned by a right angle fails), and a
    // failure would end all drawing on the context: the text is tried on a
    // scratch surface with the same font, size and turn first. What fails
    // there is drawn as outlines, which do not need FreeType's rasteriser.
    bool glyphsDrawable(const std::string& text) {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
        cairo_t* t = cairo_create(s);
        cairo_matrix_t m, fm;
        cairo_get_matrix(cr_, &m);
        m.x0 = m.y0 = 0;
        cairo_set_matrix(t, &m);
        cairo_set_font_face(t, cairo_get_font_face(cr_));
        cairo_get_font_matrix(cr_, &fm);
        cairo_set_font_matrix(t, &fm);
        cairo_move_to(t, 0, 0);
        cairo_show_text(t, text.c_str());
        bool ok = cairo_status(t) == CAIRO_STATUS_SUCCESS;
        cairo_destroy(t);
        cairo_surface_destroy(s);
        return ok;
    }

    void markers(unsigned code, std::span<const byte> p) {
        std::vector<Point> v = points(p, 0);
        if (code == 0x82) v.insert(v.begin(), cp_);
        if (v.empty()) return;
        double ppu = pointsPerUnit();
        double w = a_.markerWidth ? std::abs(a_.markerWidth) * ppu : defaultMarkerSize;
        double h = a_.markerHeight ? std::abs(a_.markerHeight) * ppu : defaultMarkerSize;
        w = std::clamp(w, 0.01, 10000.0), h = std::clamp(h, 0.01, 10000.0);
        KeepPath keep(cr_);
        cairo_save(cr_);
        for (Point q : v) {
            double x = q.x, y = q.y;
            cairo_user_to_device(cr_, &x, &y);
            cairo_matrix_t inv = area_;
            if (cairo_matrix_invert(&inv) != CAIRO_STATUS_SUCCESS) break;
            cairo_matrix_transform_point(&inv, &x, &y);
            cairo_save(cr_);
            cairo_set_matrix(cr_, &area_);
            setSource();
            cairo_set_line_width(cr_, normalLineWidth);
            double rx = w / 2, ry = h / 2;
            switch (a_.marker) {
            case 0x40: break;  // blank
            case 0x02:         // plus
                cairo_move_to(cr_, x - rx, y), cairo_line_to(cr_, x + rx, y);
                cairo_move_to(cr_, x, y - ry), cairo_line_to(cr_, x, y + ry);
                cairo_stroke(cr_);
                break;
            case 0x03: case 0x07:  // diamond, filled diamond
                cairo_move_to(cr_, x, y - ry), cairo_line_to(cr_, x + rx, y), cairo_line_to(cr_, x, y + ry);
                cairo_line_to(cr_, x - rx, y), cairo_close_path(cr_);
                a_.marker == 0x07 ? cairo_fill(cr_) : cairo_stroke(cr_);
                break;
            case 0x04: case 0x08:  // square, filled square
                cairo_rectangle(cr_, x - rx, y - ry, w, h);
                a_.marker == 0x08 ? cairo_fill(cr_) : cairo_stroke(cr_);
                break;
            case 0x05: case 0x06: {  // six- and eight-point stars
                int n = a_.marker == 0x05 ? 3 : 4;
                for (int i = 0; i < n; ++i) {
                    double t = M_PI * i / n + M_PI / 2;
                    cairo_move_to(cr_, x + rx * std::cos(t), y - ry * std::sin(t));
                    cairo_line_to(cr_, x - rx * std::cos(t), y + ry * std::sin(t));
                }
                cairo_stroke(cr_);
                break;
            }
            case 0x09:  // dot
                cairo_arc(cr_, x, y, std::max(normalLineWidth, std::min(rx, ry) / 3), 0, 2 * M_PI);
                cairo_fill(cr_);
                break;
            case 0x0A:  // small circle
                cairo_save(cr_);
                cairo_translate(cr_, x, y);
                cairo_scale(cr_, rx, ry);
                cairo_arc(cr_, 0, 0, 1, 0, 2 * M_PI);
                cairo_restore(cr_);
                cairo_stroke(cr_);
                break;
            default:  // cross, the default marker
                cairo_move_to(cr_, x - rx, y - ry), cairo_line_to(cr_, x + rx, y + ry);
                cairo_move_to(cr_, x + rx, y - ry), cairo_line_to(cr_, x - rx, y + ry);
                cairo_stroke(cr_);
                break;
            }
            cairo_restore(cr_);
        }
        cairo_restore(cr_);
        cp_ = v.back();
    }

    void endArea() {
        inArea_ = false;
        if (cairo_has_current_point(cr_)) cairo_close_path(cr_);
        // Flags: X'40' draw the boundary, X'20' winding fill (else alternate).
        fill(areaFlags_ & 0x20);
        if (areaFlags_ & 0x40) stroke();
        cairo_new_path(cr_);
    }

    // ---- images -----------------------------------------------------------------
    struct Image {
        Point at;
        int width = 0, height = 0;
        std::vector<std::vector<byte>> rows;  // the image data as given, one row per order
    };

    void beginImage(unsigned code, std::span<const byte> p) {
        bool given = code == 0xD1;
        need(p, given ? 10 : 6, code);
        std::size_t at = given ? 4 : 0;
        Image im;
        im.at = given ? point(p, 0) : cp_;
        if (p[at] != 0x00) warn_("graphics: image format X'" + hex2(p[at]) + "' is drawn as bilevel");
        im.width = int(be16(p, at + 2));
        im.height = int(be16(p, at + 4));
        image_ = std::move(im);
    }

    void imageData(std::span<const byte> p) {
        if (!image_) throw BadOrder{offset_, "image data outside an image"};
        Image& im = *image_;
        if (int(im.rows.size()) < im.height) im.rows.emplace_back(p.begin(), p.end());
    }

    void endImage() {
        if (!image_) return;
        Image im = std::move(*image_);
        image_.reset();
        // Only the rows given are drawn (those missing would paint nothing),
        // each as wide as the image or its data, whichever is less.
        std::size_t longest = 0;
        for (const auto& r : im.rows) longest = std::max(longest, r.size());
        int width = std::min(im.width, int(longest * 8)), height = int(im.rows.size());
        if (width <= 0 || height <= 0) return;
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
        if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
            cairo_surface_flush(s);
            unsigned char* px = cairo_image_surface_get_data(s);
            int stride = cairo_image_surface_get_stride(s);
            for (int y = 0; y < height; ++y) {
                const std::vector<byte>& row = im.rows[std::size_t(y)];
                unsigned char* line = px + y * stride;
                std::memset(line, 0, std::size_t(width));
                for (int x = 0; x < width && std::size_t(x / 8) < row.size(); ++x)
                    if (row[std::size_t(x / 8)] & (0x80 >> (x % 8))) line[x] = 255;
            }
            cairo_surface_mark_dirty(s);
            KeepPath keep(cr_);
            cairo_save(cr_);
            // The image's top-left corner is at the position; rows go down (toward -y).
            cairo_translate(cr_, im.at.x, im.at.y);
            cairo_scale(cr_, imagePoint_, -imagePoint_);
            setSource();
            cairo_pattern_t* mask = cairo_pattern_create_for_surface(s);
            cairo_pattern_set_filter(mask, CAIRO_FILTER_NEAREST);
            cairo_mask(cr_, mask);
            cairo_pattern_destroy(mask);
            cairo_restore(cr_);
        }
        cairo_surface_destroy(s);
    }

    cairo_t* cr_;
    cairo_matrix_t area_, gps_;
    double imagePoint_;
    std::map<unsigned, ObjectFont> fonts_;
    const Warn& warn_;
    Attributes a_;
    Point cp_;
    bool inArea_ = false;
    unsigned areaFlags_ = 0;
    std::optional<Image> image_;
    std::size_t offset_ = 0;
};

}  // namespace

Drawn drawGraphics(cairo_t* cr, const PageObject& o, int pageNumber, const Warn& warn) {
    if (!o.fields) return Drawn::Unsupported;
    if (!std::isfinite(o.originX + o.originY + o.areaWidth + o.areaHeight)) return Drawn::Unsupported;
    Descriptor g = readDescriptor(firstData(o, 0xD3A6BB));
    std::vector<std::size_t> starts;
    std::vector<byte> data = joinedData(o, 0xD3EEBB, &starts);

    double ux = pointsPer(g.base, unsigned(g.xres)), uy = pointsPer(g.base, unsigned(g.yres));
    if (!(ux > 0)) ux = 72.0 / 1440;
    if (!(uy > 0)) uy = ux;
    double aw = o.areaWidth, ah = o.areaHeight;
    if (!g.window) {
        // No window: the presentation space from (0, 0) as large as the area.
        g.xl = 0, g.yb = 0;
        g.xr = int(std::clamp(aw / ux, 1.0, 32767.0)), g.yt = int(std::clamp(ah / uy, 1.0, 32767.0));
    }
    double ww = std::abs(double(g.xr) - g.xl), wh = std::abs(double(g.yt) - g.yb);
    if (!(aw > 0 && ah > 0)) aw = ww * ux, ah = wh * uy;
    unsigned option = mappingOption(o, 0xD3ABBB, 0x20);
    double sx = ux, sy = uy, offX = 0, offY = 0;
    bool clip = true;
    switch (option) {
    case 0x00: case 0x10:  // position (and trim): at the content offset, at size
        contentOffset(o, offX, offY);
        clip = option == 0x10;
        break;
    case 0x30:  // centre and trim
        offX = (aw - ww * sx) / 2, offY = (ah - wh * sy) / 2;
        break;
    case 0x60:  // scale to fill
        sx = aw / ww, sy = ah / wh;
        break;
    default:  // scale to fit, centred
        sx = sy = std::min(aw / ww, ah / wh);
        offX = (aw - ww * sx) / 2, offY = (ah - wh * sy) / 2;
        break;
    }

    cairo_save(cr);
    enterArea(cr, o);
    if (clip && o.areaWidth > 0 && o.areaHeight > 0) {
        cairo_rectangle(cr, 0, 0, o.areaWidth, o.areaHeight);
        cairo_clip(cr);
    }
    cairo_matrix_t area, gps;
    cairo_get_matrix(cr, &area);
    // Presentation space -> area: x from the window's left edge, y down from its top edge.
    cairo_translate(cr, offX, offY);
    cairo_scale(cr, sx, -sy);
    cairo_translate(cr, -std::min(g.xl, g.xr), -std::max(g.yt, g.yb));
    cairo_get_matrix(cr, &gps);
    double imagePoint = g.imageRes > 0 && g.xres > 0 ? g.xres / g.imageRes : 1;

    Drawn result = Drawn::Drawn;
    Interpreter run(cr, area, gps, imagePoint, objectFonts(o), warn);
    try {
        run.run(data);
    } catch (const BadOrder& e) {
        std::size_t field = std::size_t(std::upper_bound(starts.begin(), starts.end(), e.offset) - starts.begin());
        std::size_t within = field ? e.offset - starts[field - 1] : e.offset;
        warn("graphics object " + o.name + " on page " + std::to_string(pageNumber) + ": " + e.what +
             " (offset " + std::to_string(e.offset) + " of its graphics data, byte " + std::to_string(within) +
             " of GAD field " + std::to_string(field) + "): drawn as far as it goes, the area is outlined");
        result = Drawn::Outline;
    }
    cairo_restore(cr);
    return result;
}

}  // namespace pressel::render::detail
