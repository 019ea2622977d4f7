// Text of an interpreted page in reading order, and its words with their
// boxes.
//
// Characters are read in the frame of their inline direction, so rotated
// text reads as it was written: the direction most characters of the page
// take comes first, then the others (0, 90, 180, 270 degrees). In each
// direction, characters whose baselines lie within 0.55 of the font size of
// each other form one line (a superscript joins its line); a line's characters go in inline order; a gap
// wider than a third of the font size between two characters that are not
// spaces reads as a space. Lines go from the first baseline to the last.
// Control characters (a code page's substitute X'3F' ...) and trailing
// spaces are dropped; the page's text ends with a form feed.
//
// Layout mode keeps columns as the page has them: every word (text after a
// gap) starts at the column of its position, at the page's typical
// character width, and a wide vertical gap leaves blank lines.
#pragma once

#include <string>
#include <vector>

#include "pressel/page/page.hpp"

namespace pressel {

struct PageTextOptions {
    bool layout = false;  // keep columns and vertical gaps
    bool latin1 = false;  // Latin-1 instead of UTF-8 (a character outside it becomes '?'), double-byte text as code page 950
    bool dbcs950 = false; // double-byte text as code page 950 bytes
};

// Appends the page's text, ended by a form feed.
void appendPageText(std::string& out, const Page& page, const PageTextOptions& options = {});

// A word: characters of one line between spaces or gaps (a change of
// baseline or of font size within a line also starts a word), with the box that
// holds them (points from the page's top-left corner, the box spanning the
// font's ascender and descender) and the font, size and colour of its
// first character. Text is UTF-8.
struct PageWord {
    double x = 0, y = 0, width = 0, height = 0;
    int rotation = 0;
    std::string font;
    double size = 0;
    Rgb color = 0;
    std::string text;
};
std::vector<PageWord> pageWords(const Page& page);

}  // namespace pressel
