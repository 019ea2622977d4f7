// The document structure of a print file: documents, page groups, pages and
// the inline resources they use; what `info`, `split`, `select` and `merge`
// are built on.
//
// A print file is, at its top level, an optional Begin Print File, an
// optional inline resource group (BRG .. ERG, each resource a BR .. ER around
// a font, code page, overlay, page segment, image, object container, form
// definition ...), then documents (BDT .. EDT). A document opens with a prolog
// (internal medium maps BMM .. EMM, Invoke Medium Map, comments, index tags)
// and then holds pages (BPG .. EPG, each with its active environment group
// BAG .. EAG) and named page groups (BNG .. ENG, nested to any depth, opening
// with their Tag Logical Elements and No Operations).
//
// Pages name what they use: fonts and code pages in Map Coded Font (format 2
// fully qualified names, format 1 name fields), overlays in Map Page Overlay
// and Include Page Overlay, page segments in Map Page Segment and Include Page
// Segment, objects in Include Object and Map Data Resource. Resources name
// other resources in the same way (an overlay maps its fonts; a coded font
// names its character set and code page in its index). Names compare as the
// format compares them: EBCDIC bytes with trailing blanks not significant.
//
// Every function here walks its input once, in stream order, and keeps in
// memory the inline resources (each once), the piece being written and the
// unit (page group, page or document) being read; never the whole stream.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pressel/stream/chunk.hpp"
#include "pressel/stream/io.hpp"

namespace pressel {

// ---- names --------------------------------------------------------------------
// Where the data of a structured field lies in its payload: after the
// identifier, flag and reserved bytes and any introducer extension, before any
// padding. Never outside the payload.
struct FieldData {
    std::size_t begin = 0, end = 0;
};
FieldData fieldData(const AFP_& c) noexcept;

// A name as the format compares names: its EBCDIC bytes without trailing
// blanks (X'40').
std::string nameKey(std::string_view ebcdic);
// A name for people: code page 500 to UTF-8, trailing blanks dropped.
std::string displayName(std::string_view ebcdic);

enum class NameRole : std::uint8_t {
    Definition,  // the name a Begin or End field gives its component
    Font,        // a coded font or font character set a font map names
    CodePage,    // a code page a font map names
    Object,      // an overlay, page segment, object or medium map named for use
};

// A place in a structured field's payload that holds a name.
struct NameRef {
    std::size_t at = 0, length = 0;  // in the payload
    std::string key;                  // nameKey of the bytes
    NameRole role = NameRole::Object;
};

// Finds the names in structured fields: Begin/End names, Include fields
// (IPO, IPS, IOB, IPG) and Invoke Medium Map, Map Coded Font (both formats),
// Map Page Overlay, Map Page Segment, Map Medium Overlay, Map Data Resource,
// Map Page, and the coded font index (whose group length comes from the coded
// font control before it, hence the state).
class NameScanner {
public:
    void scan(const AFP_& c, std::vector<NameRef>& out);

private:
    std::size_t cfiLength_ = 25;
};

// ---- resources ----------------------------------------------------------------
enum class ResourceKind : std::uint8_t {
    CodedFont, FontCharacterSet, CodePage, Overlay, PageSegment, Image, ObjectContainer,
    FormDefinition, Graphics, BarCode, Other,
};
const char* resourceKindName(ResourceKind k) noexcept;  // "coded font", "overlay", ...

// One resource of an inline resource group: a BR .. ER, or a resource object
// standing in the group on its own; or, with an empty name, a field that
// stands between resources (a comment).
struct Resource {
    std::string name;        // key of the Begin Resource name (or of the object's Begin)
    std::string objectName;  // key of the object's own Begin name inside a BR, if any
    ResourceKind kind = ResourceKind::Other;
    std::vector<byte> bytes;              // the fields, X'5A'-framed
    std::vector<std::string> references;  // keys of the names its fields use
    std::uint64_t offset = 0;             // where it starts in the stream
};

// Gathers the resources of a resource group field by field.
class ResourceCollector {
public:
    // Takes a field between BRG and ERG; returns the resource it completes.
    std::optional<Resource> feed(const AFP_& c, std::uint64_t offset);
    bool open() const noexcept { return depth_ > 0; }

private:
    Resource cur_;
    int depth_ = 0;
    NameScanner names_;
    std::vector<NameRef> refs_;
};

// Appends a structured field, X'5A'-framed, to `out`.
void appendFramed(std::vector<byte>& out, const AFP_& c);

// ---- info -----------------------------------------------------------------------
struct PageGroupInfo {
    std::string name;  // UTF-8
    unsigned level = 1;
    std::uint64_t offset = 0, pages = 0;
    std::vector<std::pair<std::string, std::string>> tles;  // attribute, value (UTF-8)
};

struct StreamInfo {
    Framing framing = Framing::Auto;
    std::uint64_t bytes = 0, fields = 0, documents = 0, pageGroups = 0, pages = 0, tles = 0;
    std::vector<std::string> documentNames;  // the first 100
    // Page sizes ("210.0 x 297.0 mm") and how many pages have each.
    std::map<std::string, std::uint64_t> pageSizes;
    std::vector<std::pair<ResourceKind, std::string>> resources;
    std::map<std::string, std::uint64_t> fonts, codePages;  // mapped name -> pages that map it
    std::map<std::uint32_t, std::uint64_t> fieldCounts;     // identifier -> count
    std::size_t errors = 0, warnings = 0, notes = 0;
    std::vector<std::string> findings;  // the first 20, "offset severity message"
    std::optional<std::string> failure; // the walk stopped here (framing fault)
};

// Walks the stream once: counts, names, sizes, resources, and the check of
// check.hpp. Each page group is handed to `onGroup` when it ends (the list is
// not kept: a stream may hold millions).
StreamInfo streamInfo(std::unique_ptr<ByteSource> src,
                      const std::function<void(const PageGroupInfo&)>& onGroup = {});

// ---- split and select -------------------------------------------------------------
enum class SplitBy : std::uint8_t { Document, Group, Page };

// What a unit of splitting (a document, page group or page) is, for selecting.
struct UnitInfo {
    std::uint64_t firstPage = 0, pages = 0;  // 1-based number of its first page in the stream
    std::string groupName;                   // its page group (UTF-8), or the innermost enclosing one
    std::vector<std::pair<std::string, std::string>> tles;  // its own and its enclosing groups'
};

struct PieceInfo {
    std::size_t index = 0;  // 1-based
    std::uint64_t pages = 0, units = 0;
    UnitInfo first;  // the first unit of the piece
};

struct SplitOptions {
    SplitBy by = SplitBy::Group;
    std::size_t every = 1;    // units per piece (0: all in one piece)
    unsigned level = 1;       // page-group nesting level that counts as a unit (1: outermost)
    bool allResources = false;
    // Keeps only the units it accepts (select); all when empty.
    std::function<bool(const UnitInfo&)> select;
    // Where piece number N goes. Called when the piece is complete.
    std::function<std::string(const PieceInfo&)> pathFor;
    // Input path, so that no piece overwrites it.
    std::string inputPath;
    // Pieces whose paths come out the same are numbered "-2", "-3" ...
    // before the extension. Costs a set of the paths written; callers whose
    // paths are unique (a piece number in them) turn it off.
    bool numberCollisions = true;
    // Keep the list of paths written in SplitResult::paths (one string a
    // piece); off, only their count.
    bool keepPaths = true;
};

struct SplitResult {
    std::size_t pieces = 0;          // pieces written
    std::vector<std::string> paths;  // their paths, in order (SplitOptions::keepPaths)
    std::uint64_t units = 0, pages = 0;
    // A stream cut short or broken: what happened and where. The pieces of
    // the complete units before it have been written.
    std::optional<std::string> failure;
    std::uint64_t failureOffset = 0;
};

// Splits the stream into pieces, each a complete print file: the inline
// resource group with the resources the piece uses (and what those use), the
// Begin Document and the document prolog (internal medium maps included) with
// the last Invoke Medium Map before the piece, the enclosing page groups'
// Begin with their index tags, the units, and the End fields. Pages outside
// page groups of the splitting level are units of their own. Form
// definitions of the resource group go into every piece.
SplitResult splitStream(std::unique_ptr<ByteSource> src, const SplitOptions& options);

// Parses "3-5,9" into page ranges (1-based, inclusive); throws Error.
std::vector<std::pair<std::uint64_t, std::uint64_t>> parsePageRanges(const std::string& list);

// Expands a piece file pattern: %d, %Nd and %0Nd take the piece number,
// %% is a percent sign, {ATTRIBUTE} the value of that index tag of the
// piece's first unit (the page group name for {GROUP}), made safe as a file
// name. Throws Error on a malformed pattern.
std::string expandPattern(const std::string& pattern, const PieceInfo& piece);
// True when the pattern holds a piece number or a {...} field.
bool patternVaries(const std::string& pattern);

// ---- merge ---------------------------------------------------------------------------
struct MergeOptions {
    bool rename = true;  // false: a name clash is an error
    // Joins a document into the one before it when its Begin Document and
    // prolog are the same bytes (pieces of one split document).
    bool joinDocuments = false;
};

struct MergeResult {
    struct Renamed {
        std::string input, from, to;  // UTF-8 names
        std::size_t fields = 0;       // name fields changed (resources and documents of that input)
    };
    std::vector<Renamed> renamed;
    std::size_t resources = 0, duplicates = 0, documents = 0;
};

// Writes one print file from several: the resources of all inputs once under
// one resource group (same name and same bytes kept once; same name and other
// bytes renamed in the resource and every name field of its input, or an
// Error naming both inputs), then the documents of every input in order.
// Reads each input twice (resources, then documents): inputs are files.
MergeResult mergeFiles(const std::vector<std::string>& inputs, const std::string& output,
                       const MergeOptions& options = {});

// A new name for `key` of the same length that is not in `taken` (EBCDIC).
std::string freshName(const std::string& key, const std::function<bool(const std::string&)>& taken);

}  // namespace pressel
