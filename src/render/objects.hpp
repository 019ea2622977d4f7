// Drawers of object contents, called by the painter for each page object.
#pragma once

#include <cairo.h>

#include <functional>
#include <memory>
#include <string>

#include "pressel/page.hpp"

namespace pressel::render {

using Warn = std::function<void(const std::string&)>;

// The pictures decoded so far of resources drawn again and again (a logo
// on every page): kept with the resource's fields, while they live, up to a
// budget of pixels. A PDF then holds each such picture once.
class ImageCache {
public:
    ImageCache();
    ~ImageCache();
    ImageCache(const ImageCache&) = delete;
    ImageCache& operator=(const ImageCache&) = delete;
    struct Impl;
    std::unique_ptr<Impl> impl;
};

// Draws an image object or object container into its object area. Returns
// false when it does not draw this kind of object (the painter outlines
// it); an object whose data is damaged or of a type not drawn is outlined
// here with one warning, and true is returned.
bool drawImage(cairo_t* cr, const PageObject& object, int pageNumber, const Warn& warn, ImageCache& cache);

// Outlines an object's area in light grey with its diagonals.
void outlineObject(cairo_t* cr, const PageObject& object);

}  // namespace pressel::render
