// Drawers of object contents, called by the painter for each page object:
// images and object containers (drawImage), graphics (GOCA) and bar codes
// (BCOCA). Each draws one PageObject into its object area on a cairo context.
//
// The graphics and bar code drawers answer with what happened:
//   Drawn        the object is on the page
//   Outline      its data is damaged: one warning naming the object and the
//                offset was given; the caller outlines the area
//   Unsupported  the renderer cannot draw this object at all; the caller
//                gives its "not drawn" warning and outlines the area
#pragma once

#include <cairo.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "pressel/page/page.hpp"

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

namespace pressel::render::detail {

enum class Drawn : std::uint8_t { Drawn, Outline, Unsupported };

Drawn drawGraphics(cairo_t* cr, const PageObject& o, int pageNumber, const Warn& warn);
Drawn drawBarCode(cairo_t* cr, const PageObject& o, int pageNumber, const Warn& warn);

// ---- shared by the drawers ------------------------------------------------------

// The data of the object's fields with identifier `code`, joined in order
// (an object's GAD or BDA data may be split over several fields). `starts`
// receives where each field's data begins in the joined bytes.
std::vector<byte> joinedData(const PageObject& o, std::uint32_t code, std::vector<std::size_t>* starts = nullptr);
// The data of the object's first field with identifier `code`; empty when none.
std::vector<byte> firstData(const PageObject& o, std::uint32_t code);

// The mapping option of the object (X'04' value): the including IOB's
// triplet, else the one of the object's map field (MGO, MBC ...), else
// `fallback`.
unsigned mappingOption(const PageObject& o, std::uint32_t mapCode, unsigned fallback);

// The object content offset of the object's OBP, in points along the area's
// axes (0, 0 when the object has none).
void contentOffset(const PageObject& o, double& x, double& y);

// Points per unit of a unit base (00: 10 inches, 01: 10 centimetres) with
// `units` units per base; 0 when `units` is 0.
double pointsPer(unsigned base, unsigned units) noexcept;

// The colour of a 2-byte named colour value (X'0001' blue ... X'0010'
// brown, X'FF01'...); `dflt` for the default values.
Rgb standardColor(unsigned v, Rgb dflt) noexcept;

// A font of the object's own font map (MCF in its environment): the font
// character set or coded font name and the code page of its text.
struct ObjectFont {
    std::string name;
    unsigned codePage = 500;
};
std::map<unsigned, ObjectFont> objectFonts(const PageObject& o);  // by local id

// cairo: set the object area's coordinates (origin at the area's origin,
// x and y along the area's turned axes, points).
void enterArea(cairo_t* cr, const PageObject& o);

inline unsigned be16(std::span<const byte> b, std::size_t at) noexcept {
    return at + 2 <= b.size() ? unsigned(b[at]) << 8 | b[at + 1] : 0;
}
inline int sbe16(std::span<const byte> b, std::size_t at) noexcept { return int(std::int16_t(std::uint16_t(be16(b, at)))); }

}  // namespace pressel::render::detail
