// The page as a reader sees it: where each glyph and rule lands.
//
// PageInterpreter takes the structured fields of a stream in order and, at
// the end of each page (EPG), hands out the page's positioned items:
//
//   - its size (PGD) in points;
//   - text runs: the characters presented by one stretch of presentation
//     text with one font, colour and orientation, with the page position of
//     the run's first character on its baseline, in points from the page's
//     top-left corner (x to the right, y down), the font, its size, the
//     colour, the text decoded to Unicode through the font's code page, and
//     the advance of every character;
//   - rules drawn by DIR/DBR, as page-aligned boxes;
//   - the object areas of images, graphics, bar codes and object containers
//     (inline in the page or an overlay, or included with IOB), whose
//     contents the interpreter does not read.
//
// The presentation text is run as a printer runs it: the text units of the
// PTD (the PGD's when there is none), the current position (I, B) moved by
// AMI, AMB, RMI, RMB and BLN and advanced by every character, the text
// orientation of STO (the I,B origin in the corner the two axes point away
// from), the inline margin (SIM), baseline increment (SBI), variable-space
// increment (SVI), intercharacter adjustment (SIA), the font of SCFL looked
// up in the active font map (MCF, MCF-1), the colour of STC or SEC,
// underscore and overstrike (USC, OVS), the temporary baseline move (TBM),
// and suppressions (BSU/ESU: the run keeps the suppression id; suppressions
// are switched off unless a form definition turns them on, so the text is
// still presented). A glyph-run chain (GLC, GIR, GAR) moves the position by
// its advance; the UCT that ends it gives the chain's text, placed at the
// glyph advances of the GAR (or spread over the chain's advance when the
// counts differ); a UCT on its own presents its UTF-16 text in the current
// font. Glyph ids without a UCT give no text.
//
// Character advance: from the font's own metrics when the stream carries the
// font character set (FNC/FNO/FNI) and its code page (CPC/CPI) as inline
// resources; otherwise from the standard metrics of the IBM core font the
// character set name stands for (Helvetica, Times, Courier in four weights;
// any other typeface is measured as Helvetica), scaled by the point size of
// the name or of the map's font descriptor.
//
// Raster font character sets (FNC pattern technology X'05') carried by the
// stream, or found in a resource directory when the font map names them,
// give each character of a run its bit pattern (FNM, FNG) and its place
// (A-space and baseline offset of the FNI), found through the GCGIDs of the
// font's code page (which must also be in the stream or a resource
// directory). Outline character sets give their metrics only.
//
// The form definition in the stream (BFM in the resource group) places each
// page on its medium: the medium map that IMM made active (at first the
// form definition's first) gives the medium size (MDD), the page's offset
// and orientation on it (PGP) and the medium overlays (MMO, named by the
// MMC's medium overlay keywords), whose items are kept in medium
// coordinates. The page's own items stay in page coordinates.
//
// Overlays (IPO) and page segments (IPS) contribute their items at their
// positions when their resources came earlier in the stream (a resource
// group, or an overlay/segment defined before the page) or are found in the
// resource directory of the options (a file named after the resource, with
// or without an extension .afp, .ovl, .psg).
//
// Memory: one page's items plus the resources the stream defined (kept as
// copies, so they do not pin the reader's blocks).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pressel/stream/chunk.hpp"

namespace pressel {

// A colour as red, green and blue, 8 bits each (0xRRGGBB).
using Rgb = std::uint32_t;

// One character of a raster font character set: its bit pattern (FNG, as
// the FNM entry addresses it) and where it sits against the character's
// reference point (FNI), in the font's pels.
struct RasterGlyph {
    int width = 0, height = 0;  // pattern size in pels
    int left = 0;               // A-space: reference point to the pattern's left edge (may be negative)
    int top = 0;                // baseline offset: the pattern's top row above the baseline
    int advance = 0;            // character increment
    // Rows top to bottom, each padded to a whole byte; the most significant
    // bit of a byte is the leftmost pel, 1 is ink.
    std::vector<unsigned char> bits;
    std::size_t rowBytes() const noexcept { return (std::size_t(width) + 7) / 8; }
};

// A raster font character set (FNC pattern technology X'05') carried by the
// stream or a resource directory: the patterns of its first (0 degree)
// orientation, by graphic character id.
struct RasterFont {
    std::string name;
    double pelX = 0.3, pelY = 0.3;  // size of a pel in points (0.3 at 240 pels per inch)
    int spaceAdvance = 0;           // space character increment (FNO), pels
    std::map<std::string, RasterGlyph, std::less<>> glyphs;  // GCGID -> pattern
};

struct TextRun {
    double x = 0, y = 0;  // first character's origin on the baseline, points from the page's top-left
    int rotation = 0;     // inline direction, degrees clockwise from the page's x axis (0, 90, 180, 270)
    std::string font;     // the font character set or coded font name as mapped ("C0H20080")
    double size = 0;      // font size in points
    double ascent = 0;    // font ascender above the baseline, points
    double descent = 0;   // font descender below the baseline, points (positive)
    Rgb color = 0;
    std::string text;              // UTF-8, one code point per character of the run
    std::vector<float> advances;   // per character: its advance in points along the inline direction
    std::vector<float> offsets;    // per character: its distance from (x, y) along the inline direction
    std::string codePoints;        // the run's code points as stored in the stream
    unsigned codePage = 0;         // the code page they were decoded with
    bool doubleByte = false;
    bool underscore = false;
    bool overstrike = false;
    unsigned suppression = 0;  // BSU local id the run is inside, 0 for none
    // When the font is a raster font of the stream or a resource directory:
    // the font, and per character its pattern (null for a character the font
    // or its code page does not have). Drawers draw these patterns instead of
    // a substitute font.
    std::shared_ptr<const RasterFont> raster;
    std::vector<const RasterGlyph*> glyphs;

    double width() const noexcept { return offsets.empty() ? 0 : offsets.back() + advances.back(); }
};

// A filled box drawn by a rule, in points from the page's top-left.
struct PageRule {
    double x = 0, y = 0, width = 0, height = 0;
    Rgb color = 0;
};

// The area of an object the interpreter places but does not read: its box
// on the page (the bounding box when the area is rotated), in points from
// the page's top-left. The size is 0 when neither the object nor its
// include gives one.
struct PageObject {
    enum class Kind : std::uint8_t { Image, Graphics, BarCode, Container, Other };
    Kind kind = Kind::Other;
    std::string name;  // the object's or the included resource's name
    double x = 0, y = 0, width = 0, height = 0;
    int rotation = 0;  // of the object area, degrees clockwise
    // The object area before rotation: its origin (the corner the object's
    // own x and y axes start from) in points from the page's top-left, and
    // its size in points along the object's axes. A drawer maps the
    // object's data into this area, turned by `rotation` about the origin.
    double originX = 0, originY = 0, areaWidth = 0, areaHeight = 0;
    // The object's structured fields from its Begin to its End: the inline
    // object, or the resource an IOB included (null when the resource is
    // not in the stream nor a resource directory). Drawers read the data
    // descriptors and data (IDD/IPD, GDD/GAD, BDD/BDA, OCD) from them.
    std::shared_ptr<const std::vector<AFP_>> fields;
    // The triplets of the IOB that included the object (its mapping option
    // and object area override those of the object's own environment).
    std::vector<byte> includeTriplets;
};
// "image", "graphics", "bar code", "object container", "object".
const char* objectKindName(PageObject::Kind k) noexcept;

struct Page;

// The sheet side a page is presented on, from the active medium map of the
// form definition in the stream (MDD, PGP, MMC and MMO): its size, where the
// page's origin lands on it and how the page is turned, and the items of the
// medium overlays drawn on it. Page items stay in the page's own
// coordinates; a drawer of the medium maps them with the page placement.
struct Medium {
    bool present = false;          // a medium map applies to the page
    double width = 0, height = 0;  // points: the MDD's size, or the turned page's box when the MDD gives none
    double pageX = 0, pageY = 0;   // the page origin on the medium, points (PGP offsets)
    int pageRotation = 0;          // the page's x axis, degrees clockwise from the medium's (PGP orientation)
    // The medium overlays' items in medium coordinates (width and height
    // are the medium's); null when the medium map names none.
    std::shared_ptr<const Page> overlays;
};

struct Page {
    int number = 0;                 // 1-based, in stream order
    double width = 0, height = 0;   // points
    std::vector<TextRun> text;      // in presentation order
    std::vector<PageRule> rules;
    std::vector<PageObject> objects;  // in presentation order
    Medium medium;
};

struct PageOptions {
    unsigned codePage = 0;     // decode every font with this code page (0: as the stream says)
    // Where overlays, page segments, font character sets and code pages not
    // in the stream are found (a file named after the resource).
    std::string resourceDir;
    std::vector<std::string> resourceDirs;  // searched after resourceDir, in order
    // Receives warnings (an unknown code page, a missing overlay), each once.
    std::function<void(const std::string&)> warn;
};

class PageInterpreter {
public:
    explicit PageInterpreter(PageOptions options = {});
    ~PageInterpreter();
    PageInterpreter(const PageInterpreter&) = delete;
    PageInterpreter& operator=(const PageInterpreter&) = delete;

    // Takes the next structured field. Returns true when it ended a page;
    // page() then holds that page until the next call. Between that call and
    // the end of the next page, page() is the interpreter's working page
    // (its storage is reused from page to page) and is not a page to read.
    // A field that does not decode is ignored, as a printer skips what it
    // cannot read.
    bool feed(const AFP_& c);
    // The last page ended.
    const Page& page() const noexcept;
    // Pages begun so far.
    int pages() const noexcept;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Decodes the code points of one text run to UTF-8, one code point per
// character (a byte of a single-byte code page, a pair of a double-byte one,
// one UTF-16 unit or surrogate pair); a code point without a mapping becomes
// U+FFFD. A code page decodeRun does not know decodes as code page 500.
std::string decodeRun(unsigned cpgid, bool doubleByte, std::span<const byte> codePoints);
// True when decodeRun has a table for the code page.
bool codePageKnown(unsigned cpgid) noexcept;
// True for the double-byte code pages (835, 300, 834, 837 ...) and UTF-16.
bool codePageDoubleByte(unsigned cpgid) noexcept;
// The code page a code page resource name stands for: T1V10500 -> 500,
// T1001140 -> 1140, T1000273 -> 273; 0 when the name holds no number.
unsigned codePageOfName(std::string_view name) noexcept;

}  // namespace pressel
