// Drawing pages: the positioned items of the page interpreter drawn with
// cairo to PDF, SVG and PNG.
//
//   PdfWriter     one PDF document, a page added as each page is read; the
//                 bytes go to the sink as cairo produces them, so memory holds
//                 one page and the fonts used so far
//   ImageWriter   one SVG or PNG file per page
//
// What is drawn: text runs, each character at the position the interpreter
// gives it, in a metric-compatible substitute of the IBM core font named by
// the character set (Liberation Sans for Helvetica and unknown typefaces,
// Liberation Serif for Times, Liberation Mono for Courier; bold and italic
// from the name), double-byte text in a CJK font (AR PL UMing); the PDF
// carries the characters with their glyphs, so the text can be searched and
// copied (SVG and PNG have the glyphs' shapes only). A run in a raster font
// whose patterns the interpreter found is drawn from those patterns (each
// pel of ink in the text colour, scaled from the font's resolution) as a
// font made of the patterns: a PDF embeds it as a Type 3 font, so its text
// can be searched and copied too. A character without a pattern keeps its
// text and is drawn as the substitute's outline. A page placed on a medium by the form
// definition is drawn on the medium: the medium's size, the medium overlays,
// and the page at its offset and orientation. Underscore and overstrike as lines along the run, rules as filled
// boxes, each in its colour. Graphics objects (GOCA) are drawn from their
// drawing orders through the descriptor's window into the object area; bar
// code objects (BCOCA) are encoded by Zint (when the library was built with
// it) and drawn at the module width and position their descriptor and data
// give; images (IOCA) and object containers holding JPEG, PNG, TIFF or GIF
// are decoded and drawn into the object area by its mapping option. Objects
// whose contents are not read (other container types, image compressions
// without a decoder) are outlined in light grey over their object area, with
// one warning per kind; so is an object whose data is damaged, with a warning
// giving the offset.
//
// Fonts are found through fontconfig; a missing font is replaced by
// fontconfig's nearest match.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "pressel/page/page.hpp"

namespace pressel::render {

enum class Format : std::uint8_t { Pdf, Svg, Png };

// Receives the output bytes in order. May throw; the writer stops and the
// exception reaches the caller.
using Sink = std::function<void(std::span<const unsigned char>)>;

struct RenderOptions {
    double dpi = 72;  // PNG resolution, pixels per inch
    // Receives warnings (an object kind not drawn, a page too large), each once.
    std::function<void(const std::string&)> warn;
};

// Largest side of a PNG in pixels; a larger page is drawn at a lower
// resolution that fits, with a warning.
inline constexpr int maxPixels = 20000;
// Page size used when a page has no PGD (or a zero size): US Letter, points.
inline constexpr double defaultPageWidth = 612, defaultPageHeight = 792;

class Painter;

class PdfWriter {
public:
    PdfWriter(Sink sink, RenderOptions options = {});
    ~PdfWriter();
    PdfWriter(const PdfWriter&) = delete;
    PdfWriter& operator=(const PdfWriter&) = delete;
    // Draws the page as the document's next page, in the page's own size.
    void add(const Page& page);
    // Ends the document and writes what is left. A document without pages
    // gets one empty page (a PDF needs one).
    void close();
    int pages() const noexcept { return pages_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    int pages_ = 0;
};

class ImageWriter {
public:
    ImageWriter(Format format, RenderOptions options = {});
    ~ImageWriter();
    ImageWriter(const ImageWriter&) = delete;
    ImageWriter& operator=(const ImageWriter&) = delete;
    // Writes the page as one whole SVG or PNG file to the sink.
    void write(const Page& page, const Sink& sink);

private:
    Format format_;
    RenderOptions options_;
    std::unique_ptr<Painter> painter_;
};

// The substitute font family of a character set or coded font name:
// "Liberation Sans", "Liberation Serif" or "Liberation Mono"; `bold` and
// `italic` from the name's style (IBM core names: C0H20080, X0N300A0) or its
// words ("Times-BoldItalic").
struct FontChoice {
    std::string family;
    bool bold = false, italic = false;
};
FontChoice substituteFont(std::string_view fontName, bool doubleByte);

// Frees what cairo and fontconfig keep for the whole process (font caches,
// the configuration), so that a leak checker sees none of it. Only when no
// writer is alive; a later writer loads them again.
void releaseStaticData();

}  // namespace pressel::render
