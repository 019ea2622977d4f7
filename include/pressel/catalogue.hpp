// The dynamic path to the catalogue: what a tool does with a chunk whose
// record type it learns only at run time (dumps, validation, round trips).
//
// recordOps(type) gives the operations of a record type of the code tables,
// each taking the bytes a record reader consumes (packChunk of the chunk)
// and decoding them first. Decoding failures propagate as the reader's errors.
#pragma once

#include "pressel/stream/chunk.hpp"

namespace pressel {

struct ViewRecord;

struct RecordOps {
    TypeId type;
    // Text form of the decoded record.
    void (*show)(std::string& out, int prec, const Bytes& bytes);
    // The decoded record written again.
    Bytes (*reencode)(const Bytes& bytes);
    // recSizeOf of the decoded record.
    std::size_t (*sizeOf)(const Bytes& bytes);
    // Bytes the decoded record's fields cover (equal to the input when the
    // record reads its whole payload; less when a tail is ignored).
    std::size_t (*covered)(const Bytes& bytes);
    // recView of the decoded record (view.hpp).
    ViewRecord (*view)(const Bytes& bytes);
};

// Operations of a record type of the code tables (any family).
const RecordOps& recordOps(TypeId type);

// Decodes a chunk by its own type and renders the record.
template <ChunkFamily C>
std::string showRecordOf(const C& c) {
    std::string s;
    recordOps(chunkType(c).id).show(s, 0, packChunk(c));
    return s;
}

}  // namespace pressel
