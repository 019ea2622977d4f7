// Drawing the characters of raster fonts from their own bit patterns.
#pragma once

#include <cairo.h>

#include <memory>
#include <unordered_map>
#include <vector>

#include "pressel/page.hpp"

namespace pressel::render {

// Keeps one cairo mask per pattern drawn so far (a PDF then embeds each
// pattern once) and the fonts those patterns belong to.
class RasterGlyphs {
public:
    RasterGlyphs() = default;
    ~RasterGlyphs();
    RasterGlyphs(const RasterGlyphs&) = delete;
    RasterGlyphs& operator=(const RasterGlyphs&) = delete;

    // Draws the characters of `run` that have a pattern, each pel of ink in
    // the current source colour, scaled from the font's resolution. The
    // context's origin is the run's origin on its baseline, its x axis the
    // run's inline direction. `crisp` keeps the pels square (no
    // interpolation), as a vector output shows them.
    void draw(cairo_t* cr, const TextRun& run, bool crisp);

private:
    cairo_surface_t* maskOf(const RasterGlyph& g);

    std::unordered_map<const RasterGlyph*, cairo_surface_t*> masks_;
    std::vector<std::shared_ptr<const RasterFont>> fonts_;
};

}  // namespace pressel::render
