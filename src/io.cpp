// Byte sources (file mappings, blocks from pipes), the structured-field
// reader and the stream writer.
#include "pressel/io.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "pressel/binary.hpp"

namespace pressel {

namespace {

std::string sysError(const std::string& what, const std::string& path) {
    return what + " '" + path + "': " + std::strerror(errno);
}

// A regular file, mapped in windows. Each window is a mapping of its own that
// lives as long as some chunk refers to it, so a long walk keeps at most the
// current window and the chunks still held mapped.
class MappedSource final : public ByteSource {
public:
    static constexpr std::size_t kWindow = std::size_t(16) << 20;

    MappedSource(int fd, std::uint64_t size, std::string name) : fd_(fd), size_(size), name_(std::move(name)) {}
    ~MappedSource() override { ::close(fd_); }

    Bytes window(std::uint64_t offset, std::size_t n) override {
        if (offset >= size_) return {};
        std::uint64_t want = std::min<std::uint64_t>(size_, offset + n);
        if (!(offset >= winStart_ && want <= winStart_ + win_.size())) remap(offset, want);
        return win_.slice(std::size_t(offset - winStart_), std::size_t(size_ - offset));
    }
    std::int64_t size() const noexcept override { return std::int64_t(size_); }
    const std::string& name() const noexcept override { return name_; }

private:
    void remap(std::uint64_t offset, std::uint64_t want) {
        static const std::uint64_t page = std::uint64_t(::sysconf(_SC_PAGESIZE));
        std::uint64_t start = offset - offset % page;
        std::uint64_t len = std::max<std::uint64_t>(kWindow, want - start);
        len = std::min(len, size_ - start);
        void* p = ::mmap(nullptr, len, PROT_READ, MAP_PRIVATE, fd_, off_t(start));
        if (p == MAP_FAILED) throw IoError(sysError("cannot map", name_));
        ::madvise(p, len, MADV_SEQUENTIAL);
        std::shared_ptr<const void> owner(p, [len](const void* q) { ::munmap(const_cast<void*>(q), len); });
        win_ = Bytes(std::move(owner), static_cast<const byte*>(p), len);
        winStart_ = start;
    }

    int fd_;
    std::uint64_t size_;
    std::string name_;
    Bytes win_;
    std::uint64_t winStart_ = 0;
};

// A pipe, a terminal or any other file read with read(2), in large blocks
// that the chunks inside them share.
class BlockSource final : public ByteSource {
public:
    static constexpr std::size_t kBlock = std::size_t(4) << 20;

    BlockSource(int fd, bool own, std::string name) : fd_(fd), own_(own), name_(std::move(name)) {}
    ~BlockSource() override {
        if (own_) ::close(fd_);
    }

    Bytes window(std::uint64_t offset, std::size_t n) override {
        if (offset < blockStart_) throw Error("input read: offset " + std::to_string(offset) + " was already dropped");
        if (offset + n > blockStart_ + block_.size() && !eof_) {
            // The new block starts at the keep mark, so that the bytes of the
            // structured field being read stay in one block.
            std::uint64_t from = std::max(blockStart_, std::min(offset, keep_));
            refill(from, std::size_t(offset - from) + n);
        }
        if (offset >= blockStart_ + block_.size()) return {};
        return block_.dropFront(std::size_t(offset - blockStart_));
    }
    const std::string& name() const noexcept override { return name_; }
    void keepFrom(std::uint64_t offset) override { keep_ = offset; }

private:
    void refill(std::uint64_t offset, std::size_t n) {
        std::size_t keep = 0;
        if (offset < blockStart_ + block_.size()) keep = std::size_t(blockStart_ + block_.size() - offset);
        std::size_t cap = std::max(kBlock, n);
        auto mem = std::shared_ptr<byte[]>(new byte[cap]);
        if (keep) std::memcpy(mem.get(), block_.data() + (offset - blockStart_), keep);
        std::size_t have = keep;
        // Skipped bytes (offset beyond the block) are read and dropped.
        std::uint64_t skip = offset > blockStart_ + block_.size() ? offset - (blockStart_ + block_.size()) : 0;
        while (skip > 0 && !eof_) {
            ssize_t r = ::read(fd_, mem.get(), std::size_t(std::min<std::uint64_t>(skip, cap)));
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) throw IoError(sysError("cannot read", name_));
            if (r == 0) eof_ = true;
            skip -= std::uint64_t(r);
        }
        while (have < n && !eof_) {
            ssize_t r = ::read(fd_, mem.get() + have, cap - have);
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) throw IoError(sysError("cannot read", name_));
            if (r == 0) eof_ = true;
            have += std::size_t(r);
        }
        const byte* p = mem.get();
        block_ = Bytes(std::shared_ptr<const void>(std::move(mem), p), p, have);
        blockStart_ = offset;
    }

    int fd_;
    bool own_;
    std::string name_;
    Bytes block_;
    std::uint64_t blockStart_ = 0;
    std::uint64_t keep_ = 0;
    bool eof_ = false;
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
    if (path == "-") return std::make_unique<BlockSource>(0, false, "<stdin>");
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
    if (S_ISREG(st.st_mode)) return std::make_unique<MappedSource>(fd, std::uint64_t(st.st_size), path);
    return std::make_unique<BlockSource>(fd, true, path);
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
std::size_t be16(const Bytes& w, std::size_t i) { return (std::size_t(w[i]) << 8) | w[i + 1]; }
}  // namespace

// Decides the framing from the first bytes: X'5A' is the clean form; a
// plausible length followed by X'D3' is a stream without X'5A'; a length with
// X'0000' and then X'5A' (or a bare structured field) is a record descriptor
// word; two such words in a row, the first counting at least the second, are
// a block descriptor word and a record descriptor word.
void AfpReader::detect() {
    Bytes w = src_->window(0, 16);
    framing_ = Framing::Clean;
    if (w.size() < 3 || w[0] == 0x5A) return;
    if (be16(w, 0) >= 8 && w[2] == 0xD3) {
        framing_ = Framing::NoIntroducer;
        return;
    }
    auto rdwAt = [&](std::size_t i) {
        if (w.size() < i + 6 || w[i + 2] != 0 || w[i + 3] != 0 || be16(w, i) < 5) return false;
        if (w[i + 4] == 0x5A) return true;
        return w.size() >= i + 7 && be16(w, i + 4) >= 8 && w[i + 6] == 0xD3;
    };
    if (w.size() >= 4 && w[2] == 0 && w[3] == 0 && rdwAt(4) && (be16(w, 0) & 0x7FFF) >= be16(w, 4) + 4) {
        framing_ = Framing::BdwRdw;
        return;
    }
    if (rdwAt(0)) framing_ = Framing::Rdw;
}

// Slices the structured field at `at` (X'5A' first when `introducer`) out of
// the source into `out`; `len` is its length field's value.
Bytes AfpReader::sliceField(std::uint64_t at, std::size_t len, bool introducer, AFP_& out) {
    std::size_t lead = introducer ? 1 : 0;
    if (len < 8)
        throw FormatError("structured-field length " + std::to_string(len) + " is below the minimum of 8", at);
    if (len > limits_.maxFieldLength)
        throw FormatError("structured-field length " + std::to_string(len) + " exceeds the limit of " +
                              std::to_string(limits_.maxFieldLength),
                          at);
    Bytes w = src_->window(at, len + lead);
    if (w.size() < len + lead) {
        std::string id = w.size() >= lead + 5
                             ? " " + zeropad(3, (std::uint32_t(w[lead + 2]) << 16) | (w[lead + 3] << 8) | w[lead + 4])
                             : "";
        throw FormatError("structured field" + id + " declares length " + std::to_string(len) + " but only " +
                              std::to_string(w.size() - lead) + " bytes are left in the stream",
                          at);
    }
    out.payload = w.slice(lead + 2, len - 2);
    out.code = (std::uint32_t(w[lead + 2]) << 16) | (std::uint32_t(w[lead + 3]) << 8) | w[lead + 4];
    return w;
}

bool AfpReader::next(AFP_& out) {
    if (framing_ == Framing::Auto) detect();
    src_->keepFrom(pos_);
    Bytes w = src_->window(pos_, 8);
    if (w.empty()) return false;
    chunkOffset_ = pos_;
    switch (framing_) {
    case Framing::Auto:
    case Framing::Clean: {
        if (w[0] != 0x5A)
            throw FormatError("expected X'5A' to start a structured field, found " + hexByte(w[0]), pos_);
        if (w.size() < 3)
            throw FormatError("stream ends inside a structured-field introducer (" + std::to_string(w.size()) +
                                  " byte" + (w.size() == 1 ? "" : "s") + " left)",
                              pos_);
        std::size_t len = be16(w, 1);
        sliceField(pos_, len, true, out);
        pos_ += len + 1;
        // Line ends between structured fields (text-mode transfers) belong to
        // the field before them.
        for (;;) {
            Bytes s = src_->window(pos_, 3);
            std::size_t k = 0;
            if (s.size() >= 1 && s[0] == 0x0A) k = 1;
            else if (s.size() >= 2 && s[0] == 0x0D && s[1] == 0x0A) k = 2;
            if (k == 0 || !(s.size() == k || s[k] == 0x5A || s[k] == 0x0D || s[k] == 0x0A)) break;
            pos_ += k;
        }
        return true;
    }
    case Framing::NoIntroducer: {
        if (w.size() < 2) throw FormatError("stream ends inside a structured-field length (1 byte left)", pos_);
        std::size_t len = be16(w, 0);
        sliceField(pos_, len, false, out);
        pos_ += len;
        return true;
    }
    case Framing::Rdw:
    case Framing::BdwRdw: {
        std::uint64_t at = pos_;
        if (framing_ == Framing::BdwRdw && pos_ >= blockEnd_) {
            if (w.size() < 4) throw FormatError("stream ends inside a block descriptor word", at);
            if (w[2] != 0 || w[3] != 0)
                throw FormatError("block descriptor word " + hexString(w.span().first(4)) + " is malformed", at);
            std::size_t bl = be16(w, 0) & 0x7FFF;
            if (bl < 8) throw FormatError("block length " + std::to_string(bl) + " is below 8", at);
            blockEnd_ = pos_ + bl;
            at += 4;
            w = src_->window(at, 8);
        }
        if (w.size() < 4) throw FormatError("stream ends inside a record descriptor word", at);
        std::size_t rl = be16(w, 0);
        if (w[2] != 0 || w[3] != 0)
            throw FormatError("record descriptor word " + hexString(w.span().first(4)) +
                                  " marks a spanned record segment, which is not supported",
                              at);
        if (rl < 4 + 8) throw FormatError("record length " + std::to_string(rl) + " is too short for a structured field", at);
        if (framing_ == Framing::BdwRdw && at + rl > blockEnd_)
            throw FormatError("record of " + std::to_string(rl) + " bytes runs past the end of its block", at);
        w = src_->window(at + 4, 3);
        bool intro = w.size() >= 1 && w[0] == 0x5A;
        if (w.size() < (intro ? 3u : 2u)) throw FormatError("stream ends inside a record", at);
        std::size_t len = intro ? be16(w, 1) : be16(w, 0);
        if (len + (intro ? 1 : 0) != rl - 4)
            throw FormatError("record of " + std::to_string(rl - 4) + " data bytes holds a structured field of length " +
                                  std::to_string(len),
                              at);
        sliceField(at + 4, len, intro, out);
        pos_ = at + rl;
        return true;
    }
    }
    return false;
}

Bytes AfpReader::raw() const {
    return src_->window(chunkOffset_, std::size_t(pos_ - chunkOffset_)).prefix(std::size_t(pos_ - chunkOffset_));
}

AfpStream readAFP(const std::string& path, ReaderLimits limits) { return AfpStream(openSource(path), limits); }

AfpWriter::AfpWriter(const std::string& path) : path_(path) {
    if (path == "-") {
        fd_ = 1;
        path_ = "<stdout>";
    } else {
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0) throw IoError(sysError("cannot create", path));
        ownFd_ = true;
    }
    buf_.reserve(std::size_t(1) << 20);
}

AfpWriter::~AfpWriter() {
    try {
        close();
    } catch (...) {
    }
}

void AfpWriter::write(const AFP_& c) {
    if (c.payload.size() > maxAfpPayload)
        throw Error("structured field " + zeropad(3, c.code) + " of " + std::to_string(c.payload.size()) +
                    " payload bytes cannot be framed: its length exceeds 65535");
    byte head[3] = {0x5A, byte((c.payload.size() + 2) >> 8), byte(c.payload.size() + 2)};
    writeRaw(head, 3);
    writeRaw(c.payload.data(), c.payload.size());
}

void AfpWriter::writeRaw(const void* p, std::size_t n) {
    if (fd_ < 0) throw IoError("write to closed output '" + path_ + "'");
    if (buf_.size() + n > buf_.capacity()) flush();
    const byte* b = static_cast<const byte*>(p);
    buf_.insert(buf_.end(), b, b + n);
    total_ += n;
}

void AfpWriter::flush() {
    std::size_t off = 0;
    while (off < buf_.size()) {
        ssize_t r = ::write(fd_, buf_.data() + off, buf_.size() - off);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) throw IoError(sysError("cannot write", path_));
        off += std::size_t(r);
    }
    buf_.clear();
}

void AfpWriter::close() {
    if (fd_ < 0) return;
    try {
        flush();
    } catch (...) {
        if (ownFd_) ::close(fd_);
        fd_ = -1;
        throw;
    }
    int fd = fd_;
    fd_ = -1;
    if (ownFd_ && ::close(fd) != 0) throw IoError(sysError("cannot close", path_));
}

}  // namespace pressel
