// Byte sources (files and pipes read in blocks, bytes in memory), the
// structured-field reader and the stream writer.
#include "pressel/stream/io.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>

#include "pressel/core/binary.hpp"

namespace pressel {

namespace {

std::string sysError(const std::string& what, const std::string& path) {
    return what + " '" + path + "': " + std::strerror(errno);
}

// A file read with read(2) in blocks that the chunks inside them share. A
// block is reused once no chunk refers to it any more, so a walk that lets go
// of its chunks reads the whole stream through a few blocks, whatever its
// length. A structured field that crosses the end of a block is carried over
// to the start of the next one, so every field is one contiguous slice.
//
// Regular files are read the same way rather than memory-mapped: walking a
// mapping costs a page fault every 4 KiB, several times the cost of reading
// the same bytes into a block that stays in the cache.
class BlockSource final : public ByteSource {
public:
    static constexpr std::size_t kBlock = std::size_t(256) << 10;
    static constexpr std::size_t kPool = 4;

    BlockSource(int fd, bool own, std::int64_t size, std::string name)
        : fd_(fd), own_(own), size_(size), name_(std::move(name)) {
        try {
            held_ = detail::holdInput(fd_, name_);
        } catch (...) {
            if (own_) ::close(fd_);
            throw;
        }
    }
    ~BlockSource() override {
        detail::releaseFile(held_);
        if (own_) ::close(fd_);
    }

    Bytes window(std::uint64_t offset, std::size_t n) override {
        if (offset < blockStart_)
            throw FormatError("input read: the bytes of '" + name_ + "' from offset " + std::to_string(offset) +
                                  " were already dropped",
                              offset);
        if (offset + n > blockStart_ + block_.size() && !eof_) {
            // The new block starts at the keep mark, so that the bytes of the
            // structured field being read stay in one block.
            std::uint64_t from = std::max(blockStart_, std::min(offset, keep_));
            refill(from, std::size_t(offset - from) + n);
        }
        if (offset >= blockStart_ + block_.size()) return {};
        return block_.dropFront(std::size_t(offset - blockStart_));
    }
    std::int64_t size() const noexcept override { return size_; }
    std::size_t maxWindow() const noexcept override { return kBlock; }
    const std::string& name() const noexcept override { return name_; }
    void keepFrom(std::uint64_t offset) override { keep_ = offset; }

private:
    // A block that nothing refers to any more, or a new one. Every block
    // holds kBlock bytes: more than the longest structured field with its
    // framing, so a field always fits in one.
    std::shared_ptr<byte[]> freeBlock() {
        for (auto& m : pool_)
            if (m.use_count() == 1) {
                // The last chunk of the block may have been dropped on another
                // thread: its reads of the block happen before the block is
                // filled again.
                std::atomic_thread_fence(std::memory_order_acquire);
                return m;
            }
        auto m = std::shared_ptr<byte[]>(new byte[kBlock]);
        if (pool_.size() < kPool) pool_.push_back(m);
        return m;
    }

    void refill(std::uint64_t offset, std::size_t n) {
        std::size_t keep = 0;
        if (offset < blockStart_ + block_.size()) keep = std::size_t(blockStart_ + block_.size() - offset);
        if (n > kBlock)
            throw FormatError("input read: " + std::to_string(n) + " bytes from offset " + std::to_string(offset) +
                                  " do not fit in one block",
                              offset);
        const std::size_t cap = kBlock;
        std::shared_ptr<byte[]> mem = freeBlock();
        if (keep) std::memmove(mem.get(), block_.data() + (offset - blockStart_), keep);
        std::size_t have = keep;
        // Skipped bytes (offset beyond the block) are read and dropped.
        std::uint64_t skip = offset > blockStart_ + block_.size() ? offset - (blockStart_ + block_.size()) : 0;
        while (skip > 0 && !eof_) {
            ssize_t r = ::read(fd_, mem.get(), std::size_t(std::min<std::uint64_t>(skip, cap)));
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) throw readError(offset - skip);
            if (r == 0) eof_ = true;
            skip -= std::uint64_t(r);
        }
        while (have < n && !eof_) {
            ssize_t r = ::read(fd_, mem.get() + have, cap - have);
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) throw readError(offset + have);
            if (r == 0) eof_ = true;
            have += std::size_t(r);
        }
        const byte* p = mem.get();
        block_ = Bytes(std::shared_ptr<const void>(std::move(mem), p), p, have);
        blockStart_ = offset;
    }

    IoError readError(std::uint64_t at) const {
        return IoError(sysError("cannot read", name_) + " (at offset " + std::to_string(at) + ")");
    }

    int fd_;
    bool own_;
    int held_ = -1;
    std::int64_t size_;
    std::string name_;
    Bytes block_;
    std::uint64_t blockStart_ = 0;
    std::uint64_t keep_ = 0;
    bool eof_ = false;
    std::vector<std::shared_ptr<byte[]>> pool_;
};

class MemorySource final : public ByteSource {
public:
    MemorySource(Bytes b, std::string name) : bytes_(std::move(b)), name_(std::move(name)) {}
    Bytes window(std::uint64_t offset, std::size_t) override {
        return offset >= bytes_.size() ? Bytes{} : bytes_.dropFront(std::size_t(offset));
    }
    std::int64_t size() const noexcept override { return std::int64_t(bytes_.size()); }
    const std::string& name() const noexcept override { return name_; }

private:
    Bytes bytes_;
    std::string name_;
};

std::string hexByte(byte b) { return "X'" + zeropad(1, b) + "'"; }

}  // namespace

std::unique_ptr<ByteSource> openSource(const std::string& path) {
    if (path == "-") return std::make_unique<BlockSource>(0, false, -1, "<stdin>");
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw IoError(sysError("cannot open", path));
    struct stat st{};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        throw IoError(sysError("cannot stat", path));
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw IoError("cannot read '" + path + "': it is a directory");
    }
    if (S_ISREG(st.st_mode)) {
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        return std::make_unique<BlockSource>(fd, true, std::int64_t(st.st_size), path);
    }
    return std::make_unique<BlockSource>(fd, true, -1, path);
}

std::unique_ptr<ByteSource> memorySource(Bytes bytes, std::string name) {
    return std::make_unique<MemorySource>(std::move(bytes), std::move(name));
}

const char* framingName(Framing f) noexcept {
    switch (f) {
    case Framing::Clean: return "clean (X'5A' before each structured field)";
    case Framing::NoIntroducer: return "no X'5A' (structured fields back to back)";
    case Framing::Rdw: return "record descriptor words (4 bytes before each record)";
    case Framing::BdwRdw: return "block and record descriptor words";
    default: return "not yet detected";
    }
}

AfpReader::AfpReader(std::unique_ptr<ByteSource> src, ReaderLimits limits)
    : src_(std::move(src)), limits_(limits), framing_(limits.framing) {}

namespace {
std::size_t be16(const byte* p) { return (std::size_t(p[0]) << 8) | p[1]; }
}  // namespace

std::size_t AfpReader::avail(std::uint64_t at, std::size_t n) {
    const std::uint64_t end = blkStart_ + blk_.size();
    if (at >= blkStart_ && at + n <= end) return std::size_t(end - at);
    // The bytes of the chunk being read must stay in one block (all but the
    // line ends after it that have been let go, see skipLineEnds).
    src_->keepFrom(rawFrom_);
    blk_ = src_->window(at, n);
    blkStart_ = at;
    return blk_.size();
}

// Decides the framing from the first bytes: X'5A' is the clean form; a
// plausible length followed by X'D3' is a stream without X'5A'; a length with
// X'0000' and then X'5A' (or a bare structured field) is a record descriptor
// word; two such words in a row, the first counting at least the second, are
// a block descriptor word and a record descriptor word.
void AfpReader::detect() {
    const std::size_t n = std::min<std::size_t>(avail(0, 16), 16);
    const byte* w = at(0);
    framing_ = Framing::Clean;
    if (n < 3 || w[0] == 0x5A) return;
    if (be16(w) >= 8 && w[2] == 0xD3) {
        framing_ = Framing::NoIntroducer;
        return;
    }
    auto rdwAt = [&](std::size_t i) {
        if (n < i + 6 || w[i + 2] != 0 || w[i + 3] != 0 || be16(w + i) < 5) return false;
        if (w[i + 4] == 0x5A) return true;
        return n >= i + 7 && be16(w + i + 4) >= 8 && w[i + 6] == 0xD3;
    };
    if (n >= 4 && w[2] == 0 && w[3] == 0 && rdwAt(4) && (be16(w) & 0x7FFF) >= be16(w + 4) + 4) {
        framing_ = Framing::BdwRdw;
        return;
    }
    if (rdwAt(0)) framing_ = Framing::Rdw;
}

// Slices the structured field at `pos` (X'5A' first when `introducer`) out of
// the input into `out`; `len` is its length field's value.
void AfpReader::sliceField(std::uint64_t pos, std::size_t len, bool introducer, AFP_& out) {
    const std::size_t lead = introducer ? 1 : 0;
    if (len < 8) [[unlikely]]
        throw FormatError("structured-field length " + std::to_string(len) + " is below the minimum of 8", pos);
    if (len > limits_.maxFieldLength) [[unlikely]]
        throw FormatError("structured-field length " + std::to_string(len) + " exceeds the limit of " +
                              std::to_string(limits_.maxFieldLength),
                          pos);
    const std::size_t have = avail(pos, len + lead);
    if (have < len + lead) [[unlikely]] {
        const byte* w = at(pos);
        std::string id;
        if (have >= lead + 5) {
            const std::uint32_t code = (std::uint32_t(w[lead + 2]) << 16) | (w[lead + 3] << 8) | w[lead + 4];
            id = std::string(" ") + afpTypeOf(code)->name + " (X'" + zeropad(3, code) + "')";
        }
        throw FormatError("structured field" + id + " declares length " + std::to_string(len) + " but only " +
                              std::to_string(have - lead) + " bytes are left in the stream",
                          pos);
    }
    const byte* w = at(pos);
    out.code = (std::uint32_t(w[lead + 2]) << 16) | (std::uint32_t(w[lead + 3]) << 8) | w[lead + 4];
    out.payload.assignSlice(blk_, std::size_t(pos - blkStart_) + lead + 2, len - 2);
}

// The common case is AfpReader::next, inline in the header; it comes here
// for everything else.
bool AfpReader::nextInGeneral(AFP_& out) {
    if (framing_ == Framing::Auto) [[unlikely]]
        detect();
    chunkOffset_ = rawFrom_ = pos_;
    rawCut_ = false;
    std::size_t n = avail(pos_, 8);
    if (n == 0) return false;
    if (framing_ == Framing::Clean) [[likely]] {
        const byte* w = at(pos_);
        if (w[0] != 0x5A) [[unlikely]]
            throw FormatError("expected X'5A' to start a structured field, found " + hexByte(w[0]), pos_);
        if (n < 3) [[unlikely]]
            throw FormatError("stream ends inside a structured-field introducer (" + std::to_string(n) + " byte" +
                                  (n == 1 ? "" : "s") + " left)",
                              pos_);
        const std::size_t len = be16(w + 1);
        sliceField(pos_, len, true, out);
        pos_ += len + 1;
        skipLineEnds();
        if (copy_) emitCopy();
        return true;
    }
    const byte* w = at(pos_);
    switch (framing_) {
    case Framing::NoIntroducer: {
        if (n < 2) throw FormatError("stream ends inside a structured-field length (1 byte left)", pos_);
        std::size_t len = be16(w);
        sliceField(pos_, len, false, out);
        pos_ += len;
        if (copy_) emitCopy();
        return true;
    }
    case Framing::Rdw:
    case Framing::BdwRdw: {
        std::uint64_t p = pos_;
        if (framing_ == Framing::BdwRdw && pos_ >= blockEnd_) {
            if (n < 4) throw FormatError("stream ends inside a block descriptor word", p);
            if (w[2] != 0 || w[3] != 0)
                throw FormatError("block descriptor word " + hexString({w, 4}) + " is malformed", p);
            std::size_t bl = be16(w) & 0x7FFF;
            if (bl < 8) throw FormatError("block length " + std::to_string(bl) + " is below 8", p);
            blockEnd_ = pos_ + bl;
            p += 4;
            n = avail(p, 8);
            w = at(p);
        }
        if (n < 4) throw FormatError("stream ends inside a record descriptor word", p);
        std::size_t rl = be16(w);
        if (w[2] != 0 || w[3] != 0)
            throw FormatError("record descriptor word " + hexString({w, 4}) +
                                  " marks a spanned record segment, which is not supported",
                              p);
        if (rl < 4 + 8)
            throw FormatError("record length " + std::to_string(rl) + " is too short for a structured field", p);
        if (framing_ == Framing::BdwRdw && p + rl > blockEnd_)
            throw FormatError("record of " + std::to_string(rl) + " bytes runs past the end of its block", p);
        n = avail(p + 4, 3);
        w = at(p + 4);
        bool intro = n >= 1 && w[0] == 0x5A;
        if (n < (intro ? 3u : 2u)) throw FormatError("stream ends inside a record", p);
        std::size_t len = intro ? be16(w + 1) : be16(w);
        if (len + (intro ? 1 : 0) != rl - 4)
            throw FormatError("record of " + std::to_string(rl - 4) +
                                  " data bytes holds a structured field of length " + std::to_string(len),
                              p);
        sliceField(p + 4, len, intro, out);
        pos_ = p + rl;
        if (copy_) emitCopy();
        return true;
    }
    default: break;
    }
    return false;
}

// Line ends between structured fields (text-mode transfers) belong to the
// field before them. A run is read through however long it is: once the field
// and the run so far would not fit in one block, the run so far is copied out
// (copyRawTo) and let go.
void AfpReader::skipLineEnds() {
    for (;;) {
        const std::uint64_t end = blkStart_ + blk_.size();
        std::size_t k = 0, n;
        if (pos_ < end) {
            const byte* q = at(pos_);
            if (q[0] != 0x0A && q[0] != 0x0D) break;
        }
        if (pos_ + 3 > end) {
            if (pos_ + 3 - rawFrom_ > src_->maxWindow()) {
                if (copy_) emitCopy();
                rawFrom_ = pos_;
                rawCut_ = true;
            }
            n = avail(pos_, 3);
            if (n == 0) break;
        } else {
            n = std::size_t(end - pos_);
        }
        const byte* q = at(pos_);
        if (q[0] == 0x0A) k = 1;
        else if (n >= 2 && q[0] == 0x0D && q[1] == 0x0A) k = 2;
        if (k == 0 || !(n == k || q[k] == 0x5A || q[k] == 0x0D || q[k] == 0x0A)) break;
        pos_ += k;
    }
}

void AfpReader::copyRawTo(AfpWriter* w) {
    copy_ = w;
    copied_ = pos_;
}

// Hands the bytes consumed since the last call to the copy. The source still
// holds them (they lie after the keep mark), though the current window may
// have moved past them.
void AfpReader::emitCopy() {
    if (pos_ <= copied_) return;
    const std::size_t len = std::size_t(pos_ - copied_);
    if (copied_ < blkStart_ || pos_ > blkStart_ + blk_.size()) {
        blk_ = src_->window(copied_, len);
        blkStart_ = copied_;
    }
    copy_->writeSlice(blk_, std::size_t(copied_ - blkStart_), len);
    copied_ = pos_;
}

AfpReader::RawRef AfpReader::rawRef() {
    if (rawCut_)
        throw FormatError("the line ends after the structured field at offset " + std::to_string(chunkOffset_) +
                              " run past one block and cannot be returned in one piece",
                          chunkOffset_);
    const std::size_t len = std::size_t(pos_ - chunkOffset_);
    if (chunkOffset_ < blkStart_ || pos_ > blkStart_ + blk_.size()) {
        blk_ = src_->window(chunkOffset_, len);
        blkStart_ = chunkOffset_;
    }
    return {&blk_, std::size_t(chunkOffset_ - blkStart_), len};
}

Bytes AfpReader::raw() {
    RawRef r = rawRef();
    return r.block->slice(r.offset, r.length);
}

AfpStream readAFP(const std::string& path, ReaderLimits limits) { return AfpStream(openSource(path), limits); }

AfpWriter::AfpWriter(const std::string& path) : file_(path), uncaught_(std::uncaught_exceptions()) {}

AfpWriter::~AfpWriter() {
    if (std::uncaught_exceptions() > uncaught_) {
        discard();
        return;
    }
    try {
        close();
    } catch (...) {
    }
}

void AfpWriter::write(const AFP_& c) {
    if (c.payload.size() > maxAfpPayload)
        throw Error("structured field " + zeropad(3, c.code) + " of " + std::to_string(c.payload.size()) +
                    " payload bytes cannot be framed: its length exceeds 65535");
    const byte head[3] = {0x5A, byte((c.payload.size() + 2) >> 8), byte(c.payload.size() + 2)};
    writeRaw(head, 3);
    writeRaw(c.payload.data(), c.payload.size());
}

void AfpWriter::writeRaw(const void* p, std::size_t n) {
    if (runLen_) flushRun();
    file_.append(p, n);
    total_ += n;
}

void AfpWriter::writeSlice(const Bytes& base, std::size_t offset, std::size_t length) {
    if (!file_.isOpen()) throw IoError("cannot write '" + file_.name() + "': the output is closed");
    if (length == 0 || extendRun(base, offset, length)) return;
    total_ += length;
    if (runLen_) flushRun();
    run_.assignSlice(base, offset, length);
    runLen_ = length;
}

void AfpWriter::flushRun() {
    const std::size_t n = runLen_;
    runLen_ = 0;
    // A short run (fields passed on between changed ones) joins the buffer:
    // a write of its own per run would cost a system call every few fields.
    if (n < kShortRun) file_.append(run_.data(), n);
    else file_.writeDirect(run_.data(), n);
    run_ = Bytes();
}

void AfpWriter::close() {
    if (!file_.isOpen()) return;
    try {
        if (runLen_) flushRun();
    } catch (...) {
        discard();
        throw;
    }
    file_.commit();
}

void AfpWriter::discard() noexcept {
    runLen_ = 0;
    run_ = Bytes();
    file_.discard();
}

void writeAFP(const std::string& path, AfpStream& stream, WriteOptions options) {
    AfpWriter w(path);
    AfpReader& r = stream.reader();
    if (options.normalize) {
        for (const AFP_& c : stream) w.write(c);
    } else {
        r.copyRawTo(&w);
        try {
            AFP_ c;
            while (r.next(c)) {
            }
        } catch (...) {
            r.copyRawTo(nullptr);
            throw;
        }
        r.copyRawTo(nullptr);
    }
    w.close();
}

}  // namespace pressel
