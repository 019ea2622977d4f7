// Drawing the interpreter's pages with cairo: one painter for every surface
// type, the surfaces' byte streams handed to the caller's sink.
#include "pressel/render/render.hpp"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <map>
#include <set>
#include <tuple>
#include <utility>
#include <unordered_map>
#include <vector>

#include "objects.hpp"
#include "pressel/core/error.hpp"
#include "raster_font.hpp"

namespace pressel::render {

namespace {

bool containsWord(std::string_view s, std::string_view what) {
    auto it = std::search(s.begin(), s.end(), what.begin(), what.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
    return it != s.end();
}

char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    auto c = static_cast<unsigned char>(s[i++]);
    if (c < 0x80) return c;
    int n = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
    char32_t u = c & (0x3F >> n);
    for (int k = 0; k < n && i < s.size(); ++k) u = u << 6 | (static_cast<unsigned char>(s[i++]) & 0x3F);
    return u;
}

void setColor(cairo_t* cr, Rgb c) {
    cairo_set_source_rgb(cr, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0);
}

// Passes cairo's output to the sink; an exception from the sink is kept and
// rethrown once cairo returns, cairo is told the write failed.
struct SinkClosure {
    const Sink* sink = nullptr;
    std::exception_ptr failure;
    static cairo_status_t write(void* closure, const unsigned char* data, unsigned int length) {
        auto* self = static_cast<SinkClosure*>(closure);
        if (self->failure) return CAIRO_STATUS_WRITE_ERROR;
        try {
            (*self->sink)(std::span<const unsigned char>(data, length));
        } catch (...) {
            self->failure = std::current_exception();
            return CAIRO_STATUS_WRITE_ERROR;
        }
        return CAIRO_STATUS_SUCCESS;
    }
    void rethrow() {
        if (failure) std::rethrow_exception(std::exchange(failure, nullptr));
    }
};

void check(cairo_status_t s, const char* what) {
    if (s != CAIRO_STATUS_SUCCESS) throw Error(std::string(what) + ": " + cairo_status_to_string(s));
}

}  // namespace

FontChoice substituteFont(std::string_view n, bool doubleByte) {
    FontChoice f;
    int family = 0;  // 0 sans, 1 serif, 2 mono
    if (n.size() >= 4 && (n[0] == 'C' || n[0] == 'X') && n[1] != ' ') {
        family = n[2] == 'N' ? 1 : n[2] == '4' ? 2 : 0;
        f.bold = n[3] == '4' || n[3] == '5';
        f.italic = n[3] == '3' || n[3] == '5';
    } else {
        family = containsWord(n, "times") || containsWord(n, "serif") ? 1
               : containsWord(n, "courier") || containsWord(n, "mono") ? 2
                                                                        : 0;
        f.bold = containsWord(n, "bold");
        f.italic = containsWord(n, "italic") || containsWord(n, "oblique");
    }
    if (doubleByte) f.family = "AR PL UMing TW";
    else f.family = family == 1 ? "Liberation Serif" : family == 2 ? "Liberation Mono" : "Liberation Sans";
    return f;
}

// Draws pages on any cairo context; keeps the font faces and the glyph
// index of every character drawn so far.
class Painter {
public:
    explicit Painter(RenderOptions o) : opt_(std::move(o)) {}
    ~Painter() {
        for (auto& [key, face] : faces_) cairo_font_face_destroy(face.face);
    }
    Painter(const Painter&) = delete;
    Painter& operator=(const Painter&) = delete;

    void warn(const std::string& w) {
        if (warned_.insert(w).second && opt_.warn) opt_.warn(w);
    }
    const RenderOptions& options() const noexcept { return opt_; }

    // Draws the page, on its medium when a medium map places it: the
    // medium overlays first, then the page at its offset and orientation.
    void draw(cairo_t* cr, const Page& page) {
        if (!page.medium.present) {
            items(cr, page, page.number);
            return;
        }
        if (page.medium.overlays) items(cr, *page.medium.overlays, page.number);
        cairo_save(cr);
        cairo_translate(cr, page.medium.pageX, page.medium.pageY);
        cairo_rotate(cr, page.medium.pageRotation * M_PI / 180);
        items(cr, page, page.number);
        cairo_restore(cr);
    }

private:
    void items(cairo_t* cr, const Page& page, int pageNumber) {
        for (const PageRule& r : page.rules) {
            setColor(cr, r.color);
            cairo_rectangle(cr, r.x, r.y, r.width, r.height);
            cairo_fill(cr);
        }
        for (const TextRun& run : page.text) text(cr, run);
        for (const PageObject& o : page.objects) object(cr, o, pageNumber);
    }

    struct Face {
        cairo_font_face_t* face = nullptr;
        std::unordered_map<char32_t, unsigned long> glyphs;  // glyph index of a character
    };

    Face& faceOf(const TextRun& run) {
        FontChoice c = substituteFont(run.font, run.doubleByte);
        auto key = std::make_tuple(c.family, c.bold, c.italic);
        auto it = faces_.find(key);
        if (it == faces_.end()) {
            Face f;
            f.face = cairo_toy_font_face_create(c.family.c_str(),
                                                c.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                                                c.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
            it = faces_.emplace(key, std::move(f)).first;
        }
        return it->second;
    }

    unsigned long glyphOf(Face& face, cairo_scaled_font_t* font, std::string_view utf8, char32_t u) {
        auto it = face.glyphs.find(u);
        if (it != face.glyphs.end()) return it->second;
        cairo_glyph_t* glyphs = nullptr;
        int n = 0;
        unsigned long index = 0;
        if (cairo_scaled_font_text_to_glyphs(font, 0, 0, utf8.data(), int(utf8.size()), &glyphs, &n, nullptr,
                                             nullptr, nullptr) == CAIRO_STATUS_SUCCESS &&
            n >= 1)
            index = glyphs[0].index;
        cairo_glyph_free(glyphs);
        face.glyphs.emplace(u, index);
        return index;
    }

    void text(cairo_t* cr, const TextRun& run) {
        if (run.offsets.empty() || !(run.size > 0)) return;
        Face& face = faceOf(run);
        cairo_save(cr);
        cairo_translate(cr, run.x, run.y);
        cairo_rotate(cr, run.rotation * M_PI / 180);
        cairo_set_font_face(cr, face.face);
        cairo_set_font_size(cr, run.size);
        setColor(cr, run.color);
        cairo_scaled_font_t* font = cairo_get_scaled_font(cr);
        if (run.raster) {
            // The font's own patterns, as text of a font made of them; the
            // characters without a pattern as outlines of the substitute.
            raster_.show(cr, run);
            showGlyphs(cr, face, font, run, [&](std::size_t k) { return k >= run.glyphs.size() || !run.glyphs[k]; }, true);
        } else {
            showGlyphs(cr, face, font, run, [](std::size_t) { return true; });
        }
        if (run.underscore || run.overstrike) {
            double w = run.width(), thick = std::max(run.size / 20, 0.25);
            if (run.underscore) cairo_rectangle(cr, 0, run.size * 0.1, w, thick);
            if (run.overstrike) cairo_rectangle(cr, 0, -run.size * 0.3 - thick / 2, w, thick);
            cairo_fill(cr);
        }
        cairo_restore(cr);
    }

    // Shows the run's characters that `chosen` takes (by index), each at its
    // offset, with the characters as the glyphs' text; or fills their
    // outlines (`outlines`), which leaves no text.
    template <class Chosen>
    void showGlyphs(cairo_t* cr, Face& face, cairo_scaled_font_t* font, const TextRun& run, Chosen chosen,
                    bool outlines = false) {
        glyphs_.clear();
        clusters_.clear();
        text_.clear();
        std::size_t k = 0;
        for (std::size_t at = 0; at < run.text.size() && k < run.offsets.size(); ++k) {
            std::size_t start = at;
            char32_t u = nextCodePoint(run.text, at);
            std::string_view ch(run.text.data() + start, at - start);
            if (!chosen(k)) continue;
            glyphs_.push_back({glyphOf(face, font, ch, u), run.offsets[k], 0});
            clusters_.push_back({int(ch.size()), 1});
            text_ += ch;
        }
        if (glyphs_.empty()) return;
        if (outlines) {
            cairo_new_path(cr);
            cairo_glyph_path(cr, glyphs_.data(), int(glyphs_.size()));
            cairo_fill(cr);
            return;
        }
        cairo_show_text_glyphs(cr, text_.data(), int(text_.size()), glyphs_.data(), int(glyphs_.size()),
                               clusters_.data(), int(clusters_.size()), cairo_text_cluster_flags_t(0));
    }

    void object(cairo_t* cr, const PageObject& o, int pageNumber) {
        auto say = [this](const std::string& w) { warn(w); };
        if (drawImage(cr, o, pageNumber, say, images_)) return;
        detail::Drawn drawn = detail::Drawn::Unsupported;
        if (o.kind == PageObject::Kind::Graphics) drawn = detail::drawGraphics(cr, o, pageNumber, say);
        else if (o.kind == PageObject::Kind::BarCode) drawn = detail::drawBarCode(cr, o, pageNumber, say);
        if (drawn == detail::Drawn::Drawn) return;
        const char* kind = objectKindName(o.kind);
        if (drawn == detail::Drawn::Unsupported)
            warn(std::string(kind) + " objects are not drawn: their areas are outlined (first on page " +
                 std::to_string(pageNumber) + ", " + o.name + ")");
        outlineObject(cr, o);
    }

    RenderOptions opt_;
    ImageCache images_;
    std::map<std::tuple<std::string, bool, bool>, Face> faces_;
    std::vector<cairo_glyph_t> glyphs_;
    std::vector<cairo_text_cluster_t> clusters_;
    std::string text_;
    RasterFonts raster_;
    std::set<std::string> warned_;
};

namespace {

// The page's size in points; a page without one gets US Letter, with a warning.
std::pair<double, double> pageSize(Painter& p, const Page& page) {
    const Medium& m = page.medium;
    if (m.present && m.width > 0 && m.height > 0 && std::isfinite(m.width) && std::isfinite(m.height))
        return {m.width, m.height};
    if (page.width > 0 && page.height > 0 && std::isfinite(page.width) && std::isfinite(page.height))
        return {page.width, page.height};
    p.warn("page " + std::to_string(page.number) + " has no size (PGD): drawn on US Letter");
    return {defaultPageWidth, defaultPageHeight};
}

}  // namespace

// ---- PDF ------------------------------------------------------------------------
struct PdfWriter::Impl {
    Sink sink;
    SinkClosure closure;
    Painter painter;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    bool closed = false;

    Impl(Sink s, RenderOptions o) : sink(std::move(s)), painter(std::move(o)) {
        closure.sink = &sink;
        surface = cairo_pdf_surface_create_for_stream(&SinkClosure::write, &closure, defaultPageWidth,
                                                      defaultPageHeight);
        check(cairo_surface_status(surface), "cannot start a PDF document");
        cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "pressel");
        cr = cairo_create(surface);
    }
    ~Impl() {
        if (cr) cairo_destroy(cr);
        if (surface) cairo_surface_destroy(surface);
    }
    void status() {
        closure.rethrow();
        check(cairo_status(cr), "cannot draw the PDF");
        check(cairo_surface_status(surface), "cannot write the PDF");
    }
};

PdfWriter::PdfWriter(Sink sink, RenderOptions options) : impl_(std::make_unique<Impl>(std::move(sink), std::move(options))) {}
PdfWriter::~PdfWriter() = default;

void PdfWriter::add(const Page& page) {
    auto [w, h] = pageSize(impl_->painter, page);
    cairo_pdf_surface_set_size(impl_->surface, w, h);
    impl_->painter.draw(impl_->cr, page);
    cairo_show_page(impl_->cr);
    ++pages_;
    impl_->status();
}

void PdfWriter::close() {
    if (impl_->closed) return;
    impl_->closed = true;
    if (pages_ == 0) cairo_show_page(impl_->cr);
    cairo_destroy(impl_->cr);
    impl_->cr = nullptr;
    cairo_surface_finish(impl_->surface);
    impl_->closure.rethrow();
    check(cairo_surface_status(impl_->surface), "cannot write the PDF");
}

// ---- SVG and PNG ----------------------------------------------------------------
ImageWriter::ImageWriter(Format format, RenderOptions options)
    : format_(format), options_(options), painter_(std::make_unique<Painter>(std::move(options))) {}
ImageWriter::~ImageWriter() = default;

void ImageWriter::write(const Page& page, const Sink& sink) {
    auto [w, h] = pageSize(*painter_, page);
    SinkClosure closure;
    closure.sink = &sink;
    cairo_surface_t* surface = nullptr;
    double scale = 1;
    if (format_ == Format::Svg) {
        surface = cairo_svg_surface_create_for_stream(&SinkClosure::write, &closure, w, h);
        cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PT);
    } else {
        double dpi = options_.dpi > 0 ? options_.dpi : 72;
        scale = dpi / 72;
        if (std::max(w, h) * scale > maxPixels) {
            scale = maxPixels / std::max(w, h);
            painter_->warn("page " + std::to_string(page.number) + " is too large for " + std::to_string(int(dpi)) +
                           " dpi: drawn at " + std::to_string(int(scale * 72)) + " dpi");
        }
        int pw = std::max(1, int(std::ceil(w * scale - 1e-6))), ph = std::max(1, int(std::ceil(h * scale - 1e-6)));
        surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, pw, ph);
    }
    cairo_t* cr = cairo_create(surface);
    try {
        check(cairo_surface_status(surface), "cannot create the drawing surface");
        if (format_ == Format::Png) {
            cairo_set_source_rgb(cr, 1, 1, 1);
            cairo_paint(cr);
            cairo_scale(cr, scale, scale);
        }
        painter_->draw(cr, page);
        check(cairo_status(cr), "cannot draw the page");
        cairo_destroy(cr);
        cr = nullptr;
        if (format_ == Format::Png) {
            cairo_status_t s = cairo_surface_write_to_png_stream(surface, &SinkClosure::write, &closure);
            closure.rethrow();
            check(s, "cannot write the PNG");
        } else {
            cairo_surface_finish(surface);
            closure.rethrow();
            check(cairo_surface_status(surface), "cannot write the SVG");
        }
    } catch (...) {
        if (cr) cairo_destroy(cr);
        cairo_surface_destroy(surface);
        throw;
    }
    cairo_surface_destroy(surface);
}

void releaseStaticData() {
    cairo_debug_reset_static_data();
    FcFini();
}

}  // namespace pressel::render
