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
// copied (SVG and PNG have the glyphs' shapes only). Underscore and overstrike as lines along the run, rules as filled
// boxes, each in its colour. Objects whose contents are not read (images,
// graphics, bar codes, object containers) are outlined in light grey over
// their object area, with one warning per kind.
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
