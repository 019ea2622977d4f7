// Drawing the characters of raster fonts from their own bit patterns.
#pragma once

#include <cairo.h>

#include <map>
#include <memory>

#include "pressel/page/page.hpp"

namespace pressel::render {

// One cairo user font per raster font drawn so far, whose glyphs are the
// font's patterns. A PDF embeds it as a Type 3 font with the patterns as
// image masks, so the characters are text: drawn once per font, searched
// and copied like any other; a raster surface caches each glyph at its scale.
class RasterFonts {
public:
    RasterFonts() = default;
    ~RasterFonts();
    RasterFonts(const RasterFonts&) = delete;
    RasterFonts& operator=(const RasterFonts&) = delete;

    // Shows the characters of `run` in its raster font, each at its offset,
    // in the current source colour; a character without a pattern is shown
    // as a blank glyph (its text is kept). The context's origin is the run's
    // origin on its baseline, its x axis the run's inline direction.
    void show(cairo_t* cr, const TextRun& run);

private:
    struct Face;
    Face& faceOf(const std::shared_ptr<const RasterFont>& font);

    std::map<const RasterFont*, Face*> faces_;
};

}  // namespace pressel::render
