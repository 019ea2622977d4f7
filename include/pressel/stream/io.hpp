// Reading and writing whole data streams.
//
//   readAFP(path)        the stream's structured fields as AFP_ chunks, read
//                        as the caller walks them
//   afp_Chunks(path)     the same
//   writeAFP(path, seq)  writes chunks back, framing included
//   writeAFP(path, readAFP(in))
//                        copies a stream byte for byte, its own framing
//                        included (line ends, descriptor words, no X'5A')
//
// Outputs are written safely (output.hpp): a file is replaced only once the
// whole output is written, and writing over a file being read is refused.
//
// The path "-" is standard input (or output); any other path, the empty one
// included, names a file. Files, pipes and standard input alike are read with
// read(2) into 256 KiB blocks that the chunks inside them share: a chunk's
// payload is a slice of its block, nothing is copied. A block is reused once
// no chunk refers to it any more, so a walk that lets go of its chunks reads
// any length of stream through a few blocks (about 1 MiB).
//
// Lifetime: a chunk kept after the walk has moved on (or a record, Bytes or
// Chunks<> list taken from it) pins the whole 256 KiB block it was read from,
// and the stream's memory grows by one block for every block from which
// something is kept. Keep copies (Bytes::copy) of small pieces of a long
// stream. A chunk does not refer to its AfpStream or AfpReader: it stays
// valid after they are gone.
//
// Threads: an AfpStream, AfpReader or AfpWriter is used by one thread at a
// time (it may move between threads). The chunks it delivers are values that
// may be handed to other threads and read there, several at once, while the
// walk goes on (the reader reuses a block only once no chunk refers to it).
//
// A stream that does not frame where a structured field must start fails when
// the walk reaches that point, with the offset and what was found; the
// chunks before it have been delivered. Every reader error carries the
// offset of the byte where it happened.
#pragma once

#include <cstdint>
#include <iterator>
#include <memory>
#include <string>

#include "pressel/stream/chunk.hpp"
#include "pressel/stream/output.hpp"

namespace pressel {

// Where the bytes of a stream come from.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Makes at least `n` bytes from `offset` available if the input has them,
    // and returns a slice starting at `offset` of at least `n` bytes, or
    // whatever is left before the end of the input. Offsets never go below
    // the last keepFrom() mark.
    virtual Bytes window(std::uint64_t offset, std::size_t n) = 0;
    // Bytes before `offset` will not be asked for again (a pipe may drop them).
    virtual void keepFrom(std::uint64_t) {}
    // Total size if known (regular files), or -1.
    virtual std::int64_t size() const noexcept { return -1; }
    // The most bytes one window can hold (from the keep mark on).
    virtual std::size_t maxWindow() const noexcept { return SIZE_MAX; }
    // Name for messages.
    virtual const std::string& name() const noexcept = 0;
};

// Opens a path ("-" is standard input). Throws IoError naming the path.
std::unique_ptr<ByteSource> openSource(const std::string& path);
// A source over bytes in memory (tests, embedded data).
std::unique_ptr<ByteSource> memorySource(Bytes bytes, std::string name = "<memory>");

// How structured fields are framed in a file. Files from mainframes and
// other systems often differ from the clean form:
//   Clean          X'5A', then each structured field; CR/LF or LF between
//                  fields (text-mode transfers) is tolerated
//   NoIntroducer   the structured fields back to back, without X'5A'
//   Rdw            each record prefixed by a 4-byte record descriptor word
//                  (2-byte length counting the 4 bytes, then X'0000'), one
//                  structured field (with or without X'5A') per record
//   BdwRdw         as Rdw, blocks of records prefixed by a 4-byte block
//                  descriptor word
enum class Framing : std::uint8_t { Auto, Clean, NoIntroducer, Rdw, BdwRdw };
const char* framingName(Framing f) noexcept;

// What the reader accepts.
struct ReaderLimits {
    // Longest structured field accepted, counted as its length field counts
    // (length bytes, introducer, data). The architecture's limit is 32,767;
    // the default accepts every length a 2-byte field can state, so that no
    // file that frames is refused. A lower limit rejects oversized fields
    // early (a hostile length is never allocated: a field is only sliced out
    // of bytes that exist).
    std::size_t maxFieldLength = 65535;
    // Framing to read; Auto detects it from the first bytes of the stream.
    Framing framing = Framing::Auto;
};

class AfpWriter;

// Cuts a byte source into structured fields.
//
// Line ends between structured fields (LF or CR LF, as text-mode transfers
// leave them) belong to the field before them, however many there are: they
// are read through, never held in one piece.
class AfpReader {
public:
    explicit AfpReader(std::unique_ptr<ByteSource> src, ReaderLimits limits = {});
    // Reads the next structured field into `out`; false at the clean end of
    // the stream. Throws FormatError at a framing fault (the offset is that of
    // the faulty structured field or record).
    // The common case (a clean structured field wholly in the current block
    // and followed by the X'5A' of the next one) is inline below, so that a
    // walk of small fields pays no call for it.
    bool next(AFP_& out);
    // Offset of the chunk last returned by next(): the byte where its
    // framing starts.
    std::uint64_t offset() const noexcept { return chunkOffset_; }
    // Offset just after the last chunk returned (bytes consumed so far).
    std::uint64_t consumed() const noexcept { return pos_; }
    // The exact bytes the last chunk was read from, framing included (block
    // and record descriptor words, X'5A', separators after it). Writing these
    // for every chunk reproduces the file byte for byte whatever its framing.
    // A run of line ends longer than a block of a file or pipe cannot be
    // returned in one piece: raw() then throws FormatError (copyRawTo()
    // copies such runs too).
    Bytes raw();
    // The same bytes as a place in the reader's current block (no reference
    // count is taken): valid until the next call of next().
    struct RawRef {
        const Bytes* block;
        std::size_t offset, length;
    };
    RawRef rawRef();
    // From now on every byte the reader consumes, framing included, is
    // written to `w` as it is consumed (a structured field once it is whole);
    // null stops. Copies a stream byte for byte whatever its framing, with
    // memory bounded by one block however long a run of line ends is.
    void copyRawTo(AfpWriter* w);
    // The framing found (after the first next()).
    Framing framing() const noexcept { return framing_; }
    const ByteSource& source() const noexcept { return *src_; }

private:
    // Every case but the common one: the first field, a field at the end of
    // the block, other framings, and faults.
    bool nextInGeneral(AFP_& out);
    void detect();
    void sliceField(std::uint64_t pos, std::size_t len, bool introducer, AFP_& out);
    void skipLineEnds();
    void emitCopy();
    // Makes `n` bytes from `pos` available in the current block if the input
    // has them; returns how many bytes from `pos` the block holds.
    std::size_t avail(std::uint64_t pos, std::size_t n);
    const byte* at(std::uint64_t pos) const noexcept { return blk_.data() + (pos - blkStart_); }
    std::unique_ptr<ByteSource> src_;
    Bytes blk_;
    std::uint64_t blkStart_ = 0;
    ReaderLimits limits_;
    Framing framing_;
    std::uint64_t pos_ = 0;
    std::uint64_t chunkOffset_ = 0;
    std::uint64_t blockEnd_ = 0;
    std::uint64_t rawFrom_ = 0;  // the first byte the current block must keep
    bool rawCut_ = false;        // the last chunk's line ends ran past a block
    AfpWriter* copy_ = nullptr;
    std::uint64_t copied_ = 0;   // bytes handed to copy_ so far
};

// The lazy sequence of AFP_ chunks of a stream: an input range.
class AfpStream {
public:
    class iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = AFP_;
        using difference_type = std::ptrdiff_t;
        using pointer = const AFP_*;
        using reference = const AFP_&;
        iterator() = default;
        const AFP_& operator*() const noexcept { return cur_; }
        const AFP_* operator->() const noexcept { return &cur_; }
        iterator& operator++() {
            advance();
            return *this;
        }
        void operator++(int) { advance(); }
        // Byte offset of the current chunk in the stream.
        std::uint64_t offset() const noexcept { return reader_->offset(); }
        friend bool operator==(const iterator& a, std::default_sentinel_t) noexcept { return a.done_; }

    private:
        friend class AfpStream;
        explicit iterator(AfpReader* r) : reader_(r), done_(false) { advance(); }
        void advance() {
            done_ = true;  // a throwing read leaves the iterator at the end
            done_ = !reader_->next(cur_);
        }
        AfpReader* reader_ = nullptr;
        AFP_ cur_;
        bool done_ = true;
    };

    explicit AfpStream(std::unique_ptr<ByteSource> src, ReaderLimits limits = {})
        : reader_(std::make_unique<AfpReader>(std::move(src), limits)) {}
    // Walks once: begin() starts reading.
    iterator begin() { return iterator(reader_.get()); }
    std::default_sentinel_t end() const noexcept { return {}; }
    AfpReader& reader() noexcept { return *reader_; }

private:
    std::unique_ptr<AfpReader> reader_;
};

// Opens the stream at `path`; fails at once (IoError) if it cannot be opened.
AfpStream readAFP(const std::string& path, ReaderLimits limits = {});
inline AfpStream afp_Chunks(const std::string& path) { return readAFP(path); }

// Writes structured fields to a file ("-" is standard output) with large
// writes, through an OutputFile: a file is replaced only by close(), a
// device or pipe is written directly. Failures throw IoError (OutputClosed
// when the reader of a pipe has gone).
class AfpWriter {
public:
    explicit AfpWriter(const std::string& path);
    // Closes the output (errors swallowed) if it is still open, unless an
    // exception thrown since the writer was made is unwinding the stack: then
    // the output is discarded, and a file being replaced stays as it was.
    ~AfpWriter();
    AfpWriter(const AfpWriter&) = delete;
    AfpWriter& operator=(const AfpWriter&) = delete;

    void write(const AFP_& c);
    // Bytes written verbatim (framing bytes the reader kept, tests).
    void writeRaw(const void* p, std::size_t n);
    // base[offset, offset + length) written verbatim without copying it:
    // consecutive slices of one block are gathered into a single write.
    void writeSlice(const Bytes& base, std::size_t offset, std::size_t length);
    void writeSlice(const AfpReader::RawRef& r) { writeSlice(*r.block, r.offset, r.length); }
    // writeSlice when the slice follows the pending run in the same block
    // (a copy reading field after field): lengthens the run and returns
    // true; returns false, writing nothing, otherwise.
    bool extendRun(const Bytes& base, std::size_t offset, std::size_t length) noexcept {
        if (runLen_ == 0 || base.data() + offset != run_.data() + runLen_ || !run_.sameOwner(base)) return false;
        runLen_ += length;
        total_ += length;
        return true;
    }
    // Flushes and closes; a replaced file takes its place now. Throws on
    // failure (the old file is then untouched).
    void close();
    // Abandons the output: a temporary file is removed and the old file
    // stays; bytes already written to a device or pipe stay written.
    void discard() noexcept;
    // Bytes handed to write() so far (written or buffered).
    std::uint64_t bytesWritten() const noexcept { return total_; }
    const OutputFile& output() const noexcept { return file_; }

private:
    void flushRun();
    static constexpr std::size_t kShortRun = std::size_t(64) << 10;
    OutputFile file_;
    Bytes run_;  // a pending run of verbatim bytes, not yet written
    std::size_t runLen_ = 0;
    std::uint64_t total_ = 0;
    int uncaught_ = 0;
};

// Writes every chunk of the sequence, in order, with clean X'5A' framing.
// Nothing is left at `path` if the walk fails (a file there stays as it was).
template <class Range>
void writeAFP(const std::string& path, Range&& chunks) {
    AfpWriter w(path);
    for (const AFP_& c : chunks) w.write(c);
    w.close();
}

struct WriteOptions {
    // Clean X'5A' framing for every structured field, instead of the
    // stream's own framing.
    bool normalize = false;
};
// Writes the rest of a stream: byte for byte as it was read (line ends,
// descriptor words and all) or, with `normalize`, in clean framing.
void writeAFP(const std::string& path, AfpStream& stream, WriteOptions options = {});

// Defined here, after AfpWriter, because a copy's run is lengthened inline.
inline bool AfpReader::next(AFP_& out) {
    if (framing_ == Framing::Clean) [[likely]] {
        const std::uint64_t end = blkStart_ + blk_.size();
        if (pos_ >= blkStart_ && pos_ + 3 <= end) {
            const std::size_t off = std::size_t(pos_ - blkStart_);
            const byte* w = blk_.data() + off;
            const std::size_t len = (std::size_t(w[1]) << 8) | w[2];
            if (w[0] == 0x5A && len >= 8 && len <= limits_.maxFieldLength && pos_ + len + 2 <= end &&
                w[len + 1] == 0x5A) [[likely]] {
                chunkOffset_ = rawFrom_ = pos_;
                rawCut_ = false;
                out.code = (std::uint32_t(w[3]) << 16) | (std::uint32_t(w[4]) << 8) | w[5];
                out.payload.assignSlice(blk_, off + 3, len - 2);
                pos_ += len + 1;
                // A copy takes the field as it is read; a field that follows
                // the copy's last one in the same block only lengthens the
                // writer's pending run.
                if (copy_) [[unlikely]] {
                    if (copied_ == rawFrom_ && copy_->extendRun(blk_, off, len + 1)) copied_ = pos_;
                    else emitCopy();
                }
                return true;
            }
        }
    }
    return nextInGeneral(out);
}

inline void writeAFP(const std::string& path, AfpStream&& stream, WriteOptions options = {}) {
    writeAFP(path, stream, options);
}

} // namespace pressel
