// Validation of a whole data stream: `pressel check`.
//
// checkStream walks a stream once and reports what is wrong with it, each
// finding with the byte offset it concerns, a severity and a short message:
//
//   error    the stream does not frame (including a stream cut short), a
//            Begin/End pair does not match or nest, an End names another
//            component than its Begin, a triplet, repeating group or control
//            sequence does not frame inside its structured field
//   warning  an identifier no table lists (structured field, triplet,
//            control sequence), a control-sequence chain that does not end
//            with the presentation text, a structured field too short for its
//            record's fixed parameters, a fragment of a repeating group, a
//            page descriptor whose page has no area
//
// Repeating groups whose length another field declares (the code page and
// font indexes) are read with the length their control records give (see
// DecodeContext).
//   info     a record that leaves a tail of its payload unread
//
// A stream with no error is valid as far as the checks go; warnings do not
// make it invalid.
//
// Limits. Every length in a stream is untrusted, and none of them makes the
// library allocate or loop beyond the bytes that exist:
//   - a structured field is at most ReaderLimits::maxFieldLength bytes
//     (default 65,535, every length a 2-byte field can state; lower it to
//     refuse oversized fields early). Its bytes are sliced out of bytes
//     already read; a declared length beyond the end of the input fails with
//     the offset and what was left, without allocating by the declared length.
//     A pipe is read in blocks of a fixed size, larger than the longest
//     field a 2-byte length can state, and never resized by a length.
//   - the items of a nested list (triplets, control sequences, repeating
//     groups) are counted by the bytes they occupy: each takes at least one
//     byte, so a field of at most 64 KiB holds at most that many items, and
//     they are cut out lazily as the list is walked.
//   - nesting is fixed by the record catalogue: a structured field holds
//     triplets, or repeating groups that hold triplets, and nothing deeper.
//     No reader recurses on input data, so depth cannot be attacked.
//   - checkStream keeps one entry per open Begin; a stream of unmatched
//     Begins costs memory in proportion to the stream read, never more.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pressel/stream/chunk.hpp"
#include "pressel/stream/io.hpp"

namespace pressel {

enum class Severity : std::uint8_t { Error, Warning, Info };
const char* severityName(Severity s) noexcept;  // "error", "warning", "info"

struct Finding {
    std::uint64_t offset = 0;  // byte offset in the stream
    Severity severity = Severity::Error;
    std::string message;
    friend bool operator==(const Finding&, const Finding&) = default;
};

// Walks the stream and hands every finding to `report` in stream order (the
// findings about open Begins come at the end). Returns the number of errors.
std::size_t checkStream(std::unique_ptr<ByteSource> src, const std::function<void(const Finding&)>& report,
                        ReaderLimits limits = {});
// The same, collecting the findings.
std::vector<Finding> checkStream(std::unique_ptr<ByteSource> src, ReaderLimits limits = {});
inline std::vector<Finding> checkFile(const std::string& path, ReaderLimits limits = {}) {
    return checkStream(openSource(path), limits);
}

// The same checks fed one structured field at a time, for a command that
// walks a stream for its own ends and validates it in the same pass. Call
// field() after each AfpReader::next() that returned a field, failed() when
// the reader throws, and finish() once at the end.
class StreamChecker {
public:
    explicit StreamChecker(std::function<void(const Finding&)> report);
    ~StreamChecker();
    StreamChecker(const StreamChecker&) = delete;
    StreamChecker& operator=(const StreamChecker&) = delete;
    void field(const AFP_& c, AfpReader& reader);
    void failed(const Error& e, const AfpReader& reader);
    void finish(const AfpReader& reader);
    std::size_t errors() const noexcept;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A nested list at the end of a structured field's record: its triplets, its
// repeating groups or its control sequences, with the offset where the list
// starts in the record's bytes (packChunk of the field).
struct NestedList {
    Family family = Family::T;   // T, MCF or PTX
    std::size_t offset = 0;
    Bytes bytes;
    bool leadChained = false;    // control sequences: the first one carries no X'2BD3'
    bool groupsHoldTriplets = false;  // MCF: each group is a list of triplets
};
// The nested list of the structured field, if its record ends in one (or
// keeps repeating groups in its data bytes, as MDR does).
// Throws Error when the payload is too short for the record's fixed fields.
bool nestedListOf(const AFP_& c, NestedList& out);

}  // namespace pressel
