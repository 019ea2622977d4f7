// Renaming resources: structured-field filters that give a resource a new
// name everywhere a stream names it.
//
//     std::vector<Rename> renames{{ebcdicName("XZFUTB0").value(), ebcdicName("XZFUTB9").value()}};
//     RenameFilters r = renameFilters(renames);
//     for (const AFP_& c : stream) for (const AFP_& out : chunkMapFiltersM(c, r.filters)) write(out);
//     (*r.counts)[0]   // how many name fields the walk renamed from XZFUTB0
//
// Names are the stream's bytes (code page 500 EBCDIC; ebcdicName converts a
// command-line name). They compare as AFP compares them: trailing blanks
// (X'40') are not significant, so "XZFUTB0" matches the 8-byte field
// "XZFUTB0 " as well as a fully qualified name "XZFUTB0".
//
// The places renamed:
//   - the 8-byte name of every Begin and End field, of the include fields
//     (IPS, IPO, IOB, IPG), of the Invoke Medium Map and Invoke Data Map
//   - the names in repeating groups: MCF1 (coded font, code page, font
//     character set), MPS (page segment), MMO (overlay), CFI (font character
//     set, code page)
//   - fully qualified name triplets (X'02') in character format wherever
//     triplets stand: in the fields themselves and in the repeating groups of
//     MCF, MPO, MPG, MDR and the other group maps; every type that names a
//     resource (not attribute, index or process element names, and not font
//     family or typeface names)
//   - the object name of Resource Object Include triplets (X'6C')
// An 8-byte field holds the new name padded with blanks; a new name longer
// than eight bytes fails with Error when the walk meets such a field. A fully
// qualified name holds the new name as given.
//
// The filters are built once and can run over any number of streams; the
// counts keep adding up (reset them between walks if needed). Fields whose
// names do not match come out as the very chunks that went in.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pressel/rewrite/chunk_filters.hpp"
#include "pressel/rewrite/deep_filters.hpp"

namespace pressel {

struct Rename {
    std::string from;  // EBCDIC, without trailing blanks or with them
    std::string to;    // EBCDIC
};

struct RenameFilters {
    ChunkFilters<AFP_> filters;
    // Fields renamed per rename, in the order the renames were given.
    std::shared_ptr<std::vector<std::uint64_t>> counts;
    // True when some old name occurs in the bytes (a structured field's
    // payload). The filters pass a field whose payload holds none on as it
    // came, so a caller may write such a field without running them.
    std::function<bool(const Bytes&)> mentioned;
    // The filters' work on one structured field done straight on its bytes,
    // where that is the same and cheaper (a coded-font map): Changed puts the
    // new payload in the vector and counts what it renamed; Unchanged means
    // the field comes out as it came; Unsupported leaves the field to the
    // filters. Meant for fields whose payload `mentioned` an old name.
    std::function<RawEdit(const AFP_&, std::vector<byte>&)> rewriteRaw;
};

// The longest name a fully qualified name triplet holds.
inline constexpr std::size_t maxRenameLength = 255 - 4;

// The filters of a list of renames. Throws Error for an empty name, a new
// name longer than maxRenameLength, or an old name given twice.
RenameFilters renameFilters(const std::vector<Rename>& renames);

// A name given as UTF-8 (characters up to U+00FF) in code page 500; nothing
// for other characters or malformed UTF-8.
std::optional<std::string> ebcdicName(const std::string& utf8);

// The name without its trailing blanks (X'40'), as names compare.
std::string withoutTrailingBlanks(std::string ebcdic);

}  // namespace pressel
