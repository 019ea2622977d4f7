// Reading and writing whole data streams.
//
//   readAFP(path)        the stream's structured fields as AFP_ chunks, read
//                        as the caller walks them
//   afp_Chunks(path)     the same
//   writeAFP(path, seq)  writes chunks back, framing included
//
// The path "-" is standard input (or output); any other path, the empty one
// included, names a file. A regular file is memory-mapped in windows and its
// chunks slice the mapping; pipes and standard input are read in large blocks
// that the chunks inside them share. Memory stays bounded by the largest
// structured field plus one window or block, however long the stream.
//
// A stream that does not frame where a structured field must start fails when
// the walk reaches that point, with the offset and what was found; the
// chunks before it have been delivered.
#pragma once

#include <cstdint>
#include <iterator>
#include <memory>
#include <string>

#include "pressel/chunk.hpp"

namespace pressel {

// Where the bytes of a stream come from.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Makes at least `n` bytes from `offset` available if the input has them,
    // and returns a slice starting at `offset` of at least `n` bytes, or
    // whatever is left before the end of the input. Offsets only grow.
    virtual Bytes window(std::uint64_t offset, std::size_t n) = 0;
    // Total size if known (regular files), or -1.
    virtual std::int64_t size() const noexcept { return -1; }
    // Name for messages.
    virtual const std::string& name() const noexcept = 0;
};

// Opens a path ("-" is standard input). Throws IoError naming the path.
std::unique_ptr<ByteSource> openSource(const std::string& path);
// A source over bytes in memory (tests, embedded data).
std::unique_ptr<ByteSource> memorySource(Bytes bytes, std::string name = "<memory>");

// Cuts a byte source into structured fields.
class AfpReader {
public:
    explicit AfpReader(std::unique_ptr<ByteSource> src);
    // Reads the next structured field into `out`; false at the clean end of
    // the stream. Throws FormatError at a framing fault (the offset is that of
    // the faulty structured field).
    bool next(AFP_& out);
    // Offset of the chunk last returned by next(): the byte where its
    // introducer starts.
    std::uint64_t offset() const noexcept { return chunkOffset_; }
    // Offset just after the last chunk returned (bytes consumed so far).
    std::uint64_t consumed() const noexcept { return pos_; }
    const ByteSource& source() const noexcept { return *src_; }

private:
    std::unique_ptr<ByteSource> src_;
    std::uint64_t pos_ = 0;
    std::uint64_t chunkOffset_ = 0;
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

    explicit AfpStream(std::unique_ptr<ByteSource> src)
        : reader_(std::make_unique<AfpReader>(std::move(src))) {}
    // Walks once: begin() starts reading.
    iterator begin() { return iterator(reader_.get()); }
    std::default_sentinel_t end() const noexcept { return {}; }
    AfpReader& reader() noexcept { return *reader_; }

private:
    std::unique_ptr<AfpReader> reader_;
};

// Opens the stream at `path`; fails at once (IoError) if it cannot be opened.
AfpStream readAFP(const std::string& path);
inline AfpStream afp_Chunks(const std::string& path) { return readAFP(path); }

// Writes structured fields to a file ("-" is standard output) with large
// writes. The file is replaced. Failures throw IoError.
class AfpWriter {
public:
    explicit AfpWriter(const std::string& path);
    ~AfpWriter();
    AfpWriter(const AfpWriter&) = delete;
    AfpWriter& operator=(const AfpWriter&) = delete;

    void write(const AFP_& c);
    // Bytes written verbatim (framing bytes the reader kept, tests).
    void writeRaw(const void* p, std::size_t n);
    // Flushes and closes; throws on failure. Called by the destructor if not
    // called before (which then swallows errors).
    void close();
    // Bytes handed to write() so far (written or buffered).
    std::uint64_t bytesWritten() const noexcept { return total_; }

private:
    void flush();
    int fd_ = -1;
    bool ownFd_ = false;
    std::string path_;
    std::vector<byte> buf_;
    std::uint64_t total_ = 0;
};

// Writes every chunk of the sequence, in order.
template <class Range>
void writeAFP(const std::string& path, Range&& chunks) {
    AfpWriter w(path);
    for (const AFP_& c : chunks) w.write(c);
    w.close();
}

} // namespace pressel
