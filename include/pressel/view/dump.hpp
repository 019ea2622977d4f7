// Dumps: structured fields rendered for people (the annotated form) and for
// programs (lines and JSON of a record's view).
//
// The annotated form of a structured field is a header line
//
//     145: D3A6AF PGD Page Descriptor (23 bytes)
//
// and one line per field below it, two spaces in: names as text through
// their code page, enumerations named (triplet identifiers, fully qualified
// name types, orientations in degrees, units of measure, colours), zero
// flags and reserved bytes left out. Triplets, repeating groups and control
// sequences are one line each, indented under the field that holds them;
// control sequences read as the text does ("AMI 1440", "TRN \"Hello\""),
// with text decoded through the code page of the font the active map
// assigns to the selected local id (code page 500 when none is known).
//
// It is written straight from the decoded record into the output, field by
// field, with no intermediate tree.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pressel/stream/chunk.hpp"
#include "pressel/view.hpp"

namespace pressel {

class CodePage;

// ---- names ----------------------------------------------------------------------
// The architecture's name of a structured field ("Begin Page"), a triplet
// ("Fully Qualified Name") or a control sequence by its function type, odd
// (chained) or even ("Absolute Move Inline"); nullptr when not known.
const char* structuredFieldName(std::uint32_t code) noexcept;
const char* tripletName(std::uint8_t id) noexcept;
const char* controlSequenceName(std::uint8_t functionType) noexcept;
// The long name of a record type of the code tables (nullptr for the others:
// groups, fallbacks, field types).
const char* recordTypeName(TypeId type) noexcept;

// ---- what a dump remembers between structured fields ---------------------------------
// The fonts the active coded font maps assign, the font the text has
// selected, and the part of an image field that runs on into the next Image
// Picture Data field.
class DumpState {
public:
    DumpState() noexcept;
    // Learns from a structured field before it is shown: a page, overlay or
    // page segment starts with no fonts mapped; MCF, MCF1 and MDR map local
    // ids to code pages; a presentation text object starts with no font
    // selected.
    void observe(const AFP_& c);
    // Set Coded Font Local.
    void selectFont(std::uint8_t lid) noexcept {
        ++uses_;
        current_ = pages_[lid];
    }
    // The code page of the selected font (code page 500 when none is known).
    const CodePage& textPage() const noexcept;

    // Bytes of an image self-defining field still to come in the next IPD.
    std::size_t imageCarry = 0;
    // An object container's first data field names its format.
    bool containerStart = false;

    // How many times a font was selected or the text's code page asked
    // for: what a field shows depended on the state when this changed
    // while it was written.
    std::uint64_t uses() const noexcept { return uses_; }

private:
    std::array<const CodePage*, 256> pages_{};
    const CodePage* current_ = nullptr;
    mutable std::uint64_t uses_ = 0;
    // The last few MCF or MDR fields (their bytes) and the local ids each
    // assigned code pages: pages of a few kinds taking turns map the same
    // few sets of fonts.
    struct KeptMap {
        std::uint32_t code = 0;
        std::vector<byte> bytes;
        std::vector<std::pair<std::uint8_t, const CodePage*>> assigned;
    };
    std::array<KeptMap, 4> maps_{};
    unsigned nextMap_ = 0;
};

// ---- lines of fields seen before --------------------------------------------------
// The lines a dump form wrote for recently seen structured fields, by the
// field's bytes: the fields of the active environment of every page of a
// document (font maps, descriptors) usually come again byte for byte, and
// their lines with them. Only lines that depend on the bytes alone may be
// kept (keep() is told whether the state between fields was read); a record
// type whose lines once depended on the state is not looked up again, nor
// one whose fields seldom repeat (fewer than one in eight of its first 256
// look-ups found), so a stream of unique fields pays little.
class FieldMemo {
public:
    FieldMemo();
    // The lines kept for a field with these bytes, or null; when null, the
    // next keep() may keep the lines written for the field.
    const std::string* find(TypeId type, const AFP_& c);
    // After a find() that gave null for the same field: keeps `lines` for
    // it unless `usedState`.
    void keep(TypeId type, const AFP_& c, std::string_view lines, bool usedState);

private:
    static constexpr std::size_t kSlots = 64, kLeast = 16, kMost = 4096;
    static constexpr std::uint32_t kTrial = 256;
    struct Entry {
        bool filled = false;
        std::uint32_t code = 0;
        std::uint64_t hash = 0;
        std::vector<byte> bytes;
        std::string lines;
    };
    struct Type {
        bool off = false;
        std::uint32_t tries = 0, found = 0;
    };
    static std::uint64_t hashOf(std::uint32_t code, std::span<const byte> b) noexcept;
    std::vector<Entry> slots_;
    std::vector<Type> types_;
    Entry* slot_ = nullptr;
    std::uint64_t hash_ = 0;
};

// ---- the annotated form ------------------------------------------------------------
// Appends the annotated form of the structured field at `offset`. Throws
// Error (the reader's errors) when its record does not decode; `out` then
// holds the header and possibly some fields.
void annotateField(std::string& out, DumpState& state, std::uint64_t offset, const AFP_& c);

// ---- renderings of views ---------------------------------------------------------
// One line per field, "label: value", each line starting with `indent`
// spaces; the records of a ViewData follow their field's line, each as a
// line with its type name and then its fields, two spaces deeper. Numbers are
// decimal, with the hex value beside them (X'..') when the label names a
// code, type, flags or identifier; A values and raw bytes are hex (X'..'),
// with their EBCDIC text beside them when every byte is a printable
// character; names are quoted text. Output is UTF-8.
void renderViewLines(std::string& out, const ViewRecord& r, int indent);
// The fields as one JSON object {"label": value, ...}: numbers as numbers, A
// values and raw bytes as hex strings, names as strings (UTF-8, escaped),
// nested records as arrays of {"type": NAME, "name": LONG NAME, "fields":
// {...}} ("name" only where the architecture names the record). With a
// state, text control sequences (TRN, RPS) and code points between control
// sequences also carry "text": their bytes decoded through the code page of
// the selected font, and SCFL selects the font.
void renderViewJsonFields(std::string& out, const ViewRecord& r, DumpState* state = nullptr);
// {"type": NAME, "name": LONG NAME, "fields": {...}}
void renderViewJson(std::string& out, const ViewRecord& r, DumpState* state = nullptr);

// The same renderings of the view of a record given by its type and bytes
// (renderViewLines(out, recordOps(type).view(bytes), indent) and
// renderViewJsonFields(out, recordOps(type).view(bytes), state)), written
// straight from the decoded record without building the view: the output is
// the same, at a fraction of the cost. A record that does not decode throws
// the reader's error before anything is written.
void renderRecordLines(std::string& out, TypeId type, const Bytes& bytes, int indent);
void renderRecordJsonFields(std::string& out, TypeId type, const Bytes& bytes, DumpState* state = nullptr);
// Appends s (Latin-1) as a JSON string literal in UTF-8, quotes included.
void appendJsonString(std::string& out, std::string_view latin1);
// Appends s (UTF-8) as a JSON string literal, quotes included.
void appendJsonUtf8String(std::string& out, std::string_view utf8);
// True when the label names a code, type, flags or an identifier, whose
// numbers a dump shows in hex too.
bool isCodeLabel(std::string_view label) noexcept;

}  // namespace pressel
