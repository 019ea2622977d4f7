// The text of a data stream, page by page.
//
// TextExtractor takes the structured fields of a stream in order and yields
// the characters of its presentation text:
//
//   - the code points inside transparent-data control sequences (PTX_TRN)
//     and those standing between control sequences; a presentation-text
//     field whose data does not open with X'2BD3' starts with two code
//     points where the escape would be;
//   - converted through the code page of the active font: the font local id
//     set by PTX_SCFL is looked up in the page's font map (MCF format 2:
//     the group's resource-local-id triplet X'24' of type 5, its code page
//     name from the fully-qualified-name triplet of type X'85'; MCF format
//     1: its coded font local id and code page name). Names ending in 037
//     convert with code page 037, all others with code page 500, the
//     format's default;
//   - a double-byte font (a resource section number X'41'..X'FE' in its map
//     group, or a code page name holding "835") reads its code points in
//     pairs and converts them from code page 835 to code page 950;
//   - a new line where the baseline moves (PTX_AMB to another baseline,
//     PTX_RMB by a non-zero amount, PTX_BLN), a space for an inline move
//     (PTX_AMI, PTX_RMI) between two runs of a line, and a form feed between
//     pages (BPG .. EPG).
//
// Output bytes: Latin-1 for single-byte text and code page 950 for
// double-byte text, or UTF-8 for both with `utf8`.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "pressel/stream/chunk.hpp"
#include "pressel/text/ebcdic.hpp"

namespace pressel {

struct TextOptions {
    int page = 0;       // the one page (1-based) to extract; 0 for every page
    bool utf8 = false;  // UTF-8 output instead of Latin-1 / code page 950
    bool dbcs = false;  // read the code points of every font in pairs (code page 835)
};

// Code page 037 to Latin-1: code page 500 with the seven bytes where the two
// code pages differ (X'4A' X'4F' X'5A' X'5F' X'B0' X'BA' X'BB').
const ByteTable& ebc037ToLatin1();

// How the code points of a font convert: a single-byte table, or pairs.
struct TextFont {
    const ByteTable* table = nullptr;  // null: the default (code page 500)
    bool doubleByte = false;
};
// The conversion a code page name calls for ("T1V10500", "T1000037", ...).
TextFont textFontOfCodePage(std::string_view codePageName);

class TextExtractor {
public:
    explicit TextExtractor(TextOptions options = {});

    // Takes the next structured field of the stream and appends the text it
    // yields. A field that does not decode yields nothing.
    void feed(const AFP_& c, std::string& out);
    // Ends the stream: closes a line left open.
    void finish(std::string& out);

    // Pages begun so far.
    int pages() const noexcept { return pages_; }

private:
    bool emitting() const noexcept;
    void startPage(std::string& out);
    void endPage(std::string& out);
    void readFontMap(const AFP_& c);
    void presentationText(const AFP_& c, std::string& out);
    void codePoints(std::string_view bytes, std::string& out);
    void newLine();
    void inlineMove();

    TextOptions options_;
    std::map<unsigned, TextFont> fonts_;  // font local id -> conversion
    TextFont font_;                       // the active font
    int pages_ = 0;
    bool inPage_ = false;
    bool lineHasText_ = false;
    bool pendingNewLine_ = false;
    bool pendingSpace_ = false;
    bool wroteAny_ = false;
    std::int64_t baseline_ = -1;
};

}  // namespace pressel
