// Raster font characters as a cairo user font: glyph 0 is blank, glyph n is
// the n-th pattern of the font; a glyph's drawing is its pattern as a 1-bit
// mask (a set bit is ink), its top-left pel at A-space along the baseline
// and the baseline offset above it. Font space is `emPels` pels to the em,
// so the font matrix scales pels to points.
#include "raster_font.hpp"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

namespace pressel::render {

namespace {

constexpr double emPels = 1024;

// What a user font face needs while cairo draws with it; owned by the face.
struct FaceData {
    std::shared_ptr<const RasterFont> font;   // keeps the patterns alive
    std::vector<const RasterGlyph*> glyphs;   // by glyph index; [0] null
    std::unordered_map<const RasterGlyph*, unsigned long> index;
    std::vector<cairo_surface_t*> masks;      // by glyph index, made when first drawn
    ~FaceData() {
        for (cairo_surface_t* s : masks)
            if (s) cairo_surface_destroy(s);
    }
};

const cairo_user_data_key_t faceKey{};

cairo_surface_t* maskOf(const RasterGlyph& g) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, g.width, g.height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) return s;
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    std::size_t rowBytes = g.rowBytes();
    for (int y = 0; y < g.height; ++y) {
        const unsigned char* row = g.bits.data() + std::size_t(y) * rowBytes;
        unsigned char* out = data + std::ptrdiff_t(y) * stride;
        for (int x = 0; x < g.width; ++x) out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1 ? 0xFF : 0;
    }
    cairo_surface_mark_dirty(s);
    return s;
}

cairo_status_t renderGlyph(cairo_scaled_font_t* scaled, unsigned long glyph, cairo_t* cr,
                           cairo_text_extents_t* extents) {
    auto* data = static_cast<FaceData*>(cairo_font_face_get_user_data(cairo_scaled_font_get_font_face(scaled), &faceKey));
    *extents = {};
    if (data) extents->x_advance = data->font->spaceAdvance / emPels;
    if (!data || glyph == 0 || glyph >= data->glyphs.size()) return CAIRO_STATUS_SUCCESS;
    const RasterGlyph& g = *data->glyphs[glyph];
    extents->x_advance = g.advance / emPels;
    extents->x_bearing = g.left / emPels;
    extents->y_bearing = -g.top / emPels;
    extents->width = g.width / emPels;
    extents->height = g.height / emPels;
    if (!data->masks[glyph]) data->masks[glyph] = maskOf(g);
    cairo_surface_t* mask = data->masks[glyph];
    if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS) return CAIRO_STATUS_SUCCESS;
    cairo_translate(cr, g.left / emPels, -g.top / emPels);
    cairo_scale(cr, 1 / emPels, 1 / emPels);
    cairo_pattern_t* p = cairo_pattern_create_for_surface(mask);
    cairo_pattern_set_filter(p, CAIRO_FILTER_NEAREST);
    cairo_mask(cr, p);
    cairo_pattern_destroy(p);
    return CAIRO_STATUS_SUCCESS;
}

// The font's extents: its highest pattern top and lowest pattern bottom.
cairo_status_t initFont(cairo_scaled_font_t* scaled, cairo_t*, cairo_font_extents_t* extents) {
    auto* data = static_cast<FaceData*>(cairo_font_face_get_user_data(cairo_scaled_font_get_font_face(scaled), &faceKey));
    int top = 0, bottom = 0, advance = 0;
    if (data)
        for (const RasterGlyph* g : data->glyphs)
            if (g) top = std::max(top, g->top), bottom = std::max(bottom, g->height - g->top), advance = std::max(advance, g->advance);
    extents->ascent = top / emPels;
    extents->descent = bottom / emPels;
    extents->height = (top + bottom) / emPels;
    extents->max_x_advance = advance / emPels;
    extents->max_y_advance = 0;
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

struct RasterFonts::Face {
    cairo_font_face_t* face = nullptr;
    FaceData* data = nullptr;  // owned by the face
};

RasterFonts::~RasterFonts() {
    for (auto& [font, face] : faces_) {
        cairo_font_face_destroy(face->face);
        delete face;
    }
}

RasterFonts::Face& RasterFonts::faceOf(const std::shared_ptr<const RasterFont>& font) {
    auto it = faces_.find(font.get());
    if (it != faces_.end()) return *it->second;
    auto* data = new FaceData;
    data->font = font;
    data->glyphs.push_back(nullptr);
    for (const auto& [gcgid, g] : font->glyphs) {
        if (g.width <= 0 || g.height <= 0 || g.bits.size() < g.rowBytes() * std::size_t(g.height)) continue;
        data->index.emplace(&g, data->glyphs.size());
        data->glyphs.push_back(&g);
    }
    data->masks.assign(data->glyphs.size(), nullptr);
    auto face = std::make_unique<Face>();
    face->face = cairo_user_font_face_create();
    cairo_user_font_face_set_init_func(face->face, &initFont);
    cairo_user_font_face_set_render_glyph_func(face->face, &renderGlyph);
    if (cairo_font_face_set_user_data(face->face, &faceKey, data, [](void* d) { delete static_cast<FaceData*>(d); }) !=
        CAIRO_STATUS_SUCCESS)
        delete data, data = nullptr;
    face->data = data;
    return *faces_.emplace(font.get(), face.release()).first->second;
}

void RasterFonts::show(cairo_t* cr, const TextRun& run) {
    if (!run.raster) return;
    Face& face = faceOf(run.raster);
    if (!face.data) return;
    cairo_save(cr);
    cairo_set_font_face(cr, face.face);
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, emPels * run.raster->pelX, emPels * run.raster->pelY);
    cairo_set_font_matrix(cr, &m);
    cairo_font_options_t* o = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
    cairo_set_font_options(cr, o);
    cairo_font_options_destroy(o);

    std::vector<cairo_glyph_t> glyphs;
    std::vector<cairo_text_cluster_t> clusters;
    std::size_t used = 0, k = 0;
    for (std::size_t at = 0; at < run.text.size() && k < run.offsets.size(); ++k) {
        std::size_t start = at;
        auto c = static_cast<unsigned char>(run.text[at++]);
        while (at < run.text.size() && (static_cast<unsigned char>(run.text[at]) & 0xC0) == 0x80 && c >= 0xC0) ++at;
        unsigned long index = 0;
        if (k < run.glyphs.size() && run.glyphs[k]) {
            auto it = face.data->index.find(run.glyphs[k]);
            if (it != face.data->index.end()) index = it->second;
        }
        glyphs.push_back({index, run.offsets[k], 0});
        clusters.push_back({int(at - start), 1});
        used = at;
    }
    if (!glyphs.empty())
        cairo_show_text_glyphs(cr, run.text.data(), int(used), glyphs.data(), int(glyphs.size()), clusters.data(),
                               int(clusters.size()), cairo_text_cluster_flags_t(0));
    cairo_restore(cr);
}

}  // namespace pressel::render
