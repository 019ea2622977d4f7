// Raster font characters: each FOCA pattern becomes an 8-bit alpha mask
// (a set bit is full coverage), painted in the text colour with its top-left
// pel at A-space along the baseline and the baseline offset above it.
#include "raster_font.hpp"

#include <algorithm>

namespace pressel::render {

RasterGlyphs::~RasterGlyphs() {
    for (auto& [glyph, mask] : masks_) cairo_surface_destroy(mask);
}

cairo_surface_t* RasterGlyphs::maskOf(const RasterGlyph& g) {
    auto it = masks_.find(&g);
    if (it != masks_.end()) return it->second;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, g.width, g.height);
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
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
    }
    masks_.emplace(&g, s);
    return s;
}

void RasterGlyphs::draw(cairo_t* cr, const TextRun& run, bool crisp) {
    if (!run.raster) return;
    if (fonts_.empty() || fonts_.back() != run.raster) {
        if (std::find(fonts_.begin(), fonts_.end(), run.raster) == fonts_.end()) fonts_.push_back(run.raster);
    }
    const RasterFont& font = *run.raster;
    std::size_t n = std::min(run.glyphs.size(), run.offsets.size());
    for (std::size_t k = 0; k < n; ++k) {
        const RasterGlyph* g = run.glyphs[k];
        if (!g || g->width <= 0 || g->height <= 0 || g->bits.size() < g->rowBytes() * std::size_t(g->height)) continue;
        cairo_surface_t* mask = maskOf(*g);
        if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS) continue;
        cairo_save(cr);
        cairo_translate(cr, run.offsets[k] + g->left * font.pelX, -g->top * font.pelY);
        cairo_scale(cr, font.pelX, font.pelY);
        cairo_pattern_t* p = cairo_pattern_create_for_surface(mask);
        cairo_pattern_set_filter(p, crisp ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_GOOD);
        cairo_mask(cr, p);
        cairo_pattern_destroy(p);
        cairo_restore(cr);
    }
}

}  // namespace pressel::render
