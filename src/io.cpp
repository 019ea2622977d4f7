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
        if (offset < blockStart_) throw Error("BlockSource: offsets must not go back");
        if (offset + n > blockStart_ + block_.size() && !eof_) refill(offset, n);
        if (offset >= blockStart_ + block_.size()) return {};
        return block_.dropFront(std::size_t(offset - blockStart_));
    }
    const std::string& name() const noexcept override { return name_; }

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

AfpReader::AfpReader(std::unique_ptr<ByteSource> src) : src_(std::move(src)) {}

bool AfpReader::next(AFP_& out) {
    Bytes w = src_->window(pos_, 3);
    if (w.empty()) return false;
    chunkOffset_ = pos_;
    if (w[0] != 0x5A)
        throw FormatError("expected X'5A' to start a structured field, found " + hexByte(w[0]), pos_);
    if (w.size() < 3)
        throw FormatError("stream ends inside a structured-field introducer (" + std::to_string(w.size()) +
                              " byte" + (w.size() == 1 ? "" : "s") + " left)",
                          pos_);
    std::size_t len = (std::size_t(w[1]) << 8) | w[2];
    if (len < 8)
        throw FormatError("structured-field length " + std::to_string(len) + " is below the minimum of 8", pos_);
    if (w.size() < len + 1) {
        w = src_->window(pos_, len + 1);
        if (w.size() < len + 1) {
            std::string id = w.size() >= 6 ? " " + zeropad(3, (std::uint32_t(w[3]) << 16) | (w[4] << 8) | w[5]) : "";
            throw FormatError("structured field" + id + " declares length " + std::to_string(len) + " but only " +
                                  std::to_string(w.size() - 1) + " bytes follow before the end of the stream",
                              pos_);
        }
    }
    out.payload = w.slice(3, len - 2);
    out.code = (std::uint32_t(w[3]) << 16) | (std::uint32_t(w[4]) << 8) | w[5];
    pos_ += len + 1;
    return true;
}

AfpStream readAFP(const std::string& path) { return AfpStream(openSource(path)); }

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
