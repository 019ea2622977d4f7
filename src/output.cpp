// Output files: temporary files renamed into place, direct writes to devices
// and pipes, the same-file check against open inputs, and removal of
// temporary files when a signal ends the process.
#include "pressel/stream/output.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <mutex>
#include <optional>

namespace pressel {

namespace {

constexpr long kProcMagic = 0x9fa0;  // the file-system type of /proc

std::string reason(int err) { return std::strerror(err); }

// ---- open files: the same-file check ---------------------------------------------
struct Held {
    dev_t dev = 0;
    ino_t ino = 0;
    std::string name;
    bool input = false;
    bool used = false;
};
std::mutex gHeldMutex;
std::vector<Held> gHeld;

// Adds a file to the list, unless it conflicts with one of the other kind.
int hold(const struct stat& st, const std::string& name, bool input) {
    std::lock_guard<std::mutex> lock(gHeldMutex);
    for (const Held& h : gHeld) {
        if (!h.used || h.input == input || h.dev != st.st_dev || h.ino != st.st_ino) continue;
        if (input)
            throw IoError("cannot read '" + name + "': it is the file being written as '" + h.name + "'");
        throw IoError("cannot write '" + name + "': it is the file being read as '" + h.name +
                      "', and writing it would destroy the input");
    }
    for (std::size_t i = 0; i < gHeld.size(); ++i) {
        if (gHeld[i].used) continue;
        gHeld[i] = Held{st.st_dev, st.st_ino, name, input, true};
        return int(i);
    }
    gHeld.push_back(Held{st.st_dev, st.st_ino, name, input, true});
    return int(gHeld.size() - 1);
}

// Throws if the file is an open input (an output written through a temporary
// file is checked before it is held).
void checkNotInput(const struct stat& st, const std::string& name) {
    std::lock_guard<std::mutex> lock(gHeldMutex);
    for (const Held& h : gHeld)
        if (h.used && h.input && h.dev == st.st_dev && h.ino == st.st_ino)
            throw IoError("cannot write '" + name + "': it is the file being read as '" + h.name +
                          "', and writing it would destroy the input");
}

// ---- temporary files removed on a signal -------------------------------------
// Fixed slots, so that the signal handler reads them without locks or
// allocation. A slot is claimed (1), its path written, then published (2).
constexpr std::size_t kTempSlots = 32;
constexpr std::size_t kTempPath = 4096;
struct TempSlot {
    std::atomic<int> state{0};
    char path[kTempPath];
};
TempSlot gTemps[kTempSlots];
std::once_flag gHandlersOnce;

extern "C" void removeTempsAndDie(int sig) {
    for (TempSlot& s : gTemps)
        if (s.state.load() == 2) ::unlink(s.path);
    // The handler was reset to the default action on entry (SA_RESETHAND)
    // and the signal is not blocked (SA_NODEFER): raising it again ends the
    // process as the signal would have.
    ::raise(sig);
}

void installHandlers() {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old{};
        if (::sigaction(sig, nullptr, &old) != 0) continue;
        // Only where the signal would end the process anyway: a program's
        // own handler, or an ignored signal, is left alone.
        if ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) continue;
        struct sigaction sa{};
        sa.sa_handler = removeTempsAndDie;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESETHAND | SA_NODEFER;
        ::sigaction(sig, &sa, nullptr);
    }
}

int registerTemp(const std::string& path) {
    std::call_once(gHandlersOnce, installHandlers);
    if (path.size() >= kTempPath) return -1;
    for (std::size_t i = 0; i < kTempSlots; ++i) {
        int expected = 0;
        if (!gTemps[i].state.compare_exchange_strong(expected, 1)) continue;
        std::memcpy(gTemps[i].path, path.c_str(), path.size() + 1);
        gTemps[i].state.store(2);
        return int(i);
    }
    return -1;
}

void unregisterTemp(int slot) noexcept {
    if (slot >= 0) gTemps[slot].state.store(0);
}

// ---- paths -----------------------------------------------------------------------
std::string dirOf(const std::string& p) {
    std::size_t k = p.find_last_of('/');
    if (k == std::string::npos) return ".";
    if (k == 0) return "/";
    return p.substr(0, k);
}

std::string baseOf(const std::string& p) {
    std::size_t k = p.find_last_of('/');
    return k == std::string::npos ? p : p.substr(k + 1);
}

bool onProc(const std::string& dir) {
    struct statfs fs{};
    return ::statfs(dir.c_str(), &fs) == 0 && long(fs.f_type) == kProcMagic;
}

// N for /dev/fd/N, /proc/self/fd/N and /proc/PID/fd/N of this process: a
// descriptor of this process, written through a duplicate so that its offset
// (and append mode) is the one the descriptor already has.
std::optional<int> descriptorPath(const std::string& p) {
    const std::string self = "/proc/" + std::to_string(::getpid()) + "/fd/";
    for (const std::string& prefix : {std::string("/dev/fd/"), std::string("/proc/self/fd/"), self}) {
        if (p.compare(0, prefix.size(), prefix) != 0 || p.size() == prefix.size()) continue;
        int n = 0;
        for (std::size_t i = prefix.size(); i < p.size(); ++i) {
            if (p[i] < '0' || p[i] > '9' || n > 100000) return std::nullopt;
            n = n * 10 + (p[i] - '0');
        }
        return n;
    }
    return std::nullopt;
}

std::uint64_t nameSeed() {
    static std::atomic<std::uint64_t> counter{0};
    auto t = std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    return t ^ (std::uint64_t(::getpid()) << 32) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
}

}  // namespace

namespace detail {

int holdInput(int fd, const std::string& name) {
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return hold(st, name, true);
}

void releaseFile(int handle) noexcept {
    if (handle < 0) return;
    std::lock_guard<std::mutex> lock(gHeldMutex);
    gHeld[std::size_t(handle)].used = false;
}

}  // namespace detail

OutputFile::OutputFile(const std::string& path) : name_(path) {
    if (path == "-") {
        name_ = "<stdout>";
        fd_ = 1;
    } else {
        if (path.empty() || path.back() == '/') throw IoError("cannot write '" + path + "': it names no file");
        // Follow symbolic links to the file they name, stopping at a
        // descriptor path or a link inside /proc (written directly).
        std::string p = path;
        bool exists = true, direct = false;
        std::optional<int> dupOf;
        for (int hop = 0;; ++hop) {
            if (hop > 40) throw IoError("cannot write '" + path + "': " + reason(ELOOP));
            if ((dupOf = descriptorPath(p))) break;
            struct stat l{};
            if (::lstat(p.c_str(), &l) != 0) {
                if (errno != ENOENT) throw IoError("cannot write '" + path + "': " + reason(errno));
                exists = false;
                break;
            }
            if (!S_ISLNK(l.st_mode)) break;
            const std::string dir = dirOf(p);
            if (onProc(dir)) {
                direct = true;
                break;
            }
            std::string link(4096, '\0');
            ssize_t n = ::readlink(p.c_str(), link.data(), link.size());
            if (n < 0) throw IoError("cannot write '" + path + "': " + reason(errno));
            link.resize(std::size_t(n));
            p = !link.empty() && link[0] == '/' ? link : dir + "/" + link;
        }
        struct stat st{};
        if (dupOf) {
            fd_ = ::fcntl(*dupOf, F_DUPFD_CLOEXEC, 3);
            if (fd_ < 0) throw IoError("cannot write '" + path + "': " + reason(errno));
            ownFd_ = true;
        } else if (exists) {
            if (::stat(p.c_str(), &st) != 0) throw IoError("cannot write '" + path + "': " + reason(errno));
            if (S_ISDIR(st.st_mode)) throw IoError("cannot write '" + path + "': it is a directory");
            if (!S_ISREG(st.st_mode) || onProc(dirOf(p))) direct = true;
        }
        if (!dupOf && direct) {
            fd_ = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
            if (fd_ < 0) throw IoError("cannot write '" + path + "': " + reason(errno));
            ownFd_ = true;
        }
        if (!dupOf && !direct) {
            // A regular file or a new one: a temporary file beside it.
            if (exists) checkNotInput(st, path);
            target_ = p;
            inPlace_ = exists && st.st_nlink > 1;
            replacesOld_ = exists;
            // A long name is shortened so that the temporary name stays
            // within the 255 bytes a name may have.
            const std::string stem = dirOf(p) + "/." + baseOf(p).substr(0, 200) + ".pressel-";
            static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
            for (int attempt = 0; fd_ < 0; ++attempt) {
                std::uint64_t seed = nameSeed();
                std::string name = stem;
                for (int i = 0; i < 6; ++i, seed /= 36) name += digits[seed % 36];
                fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
                if (fd_ >= 0) {
                    tmp_ = name;
                } else if (errno != EEXIST || attempt > 100) {
                    throw IoError("cannot write '" + path + "': cannot create a temporary file in '" + dirOf(p) +
                                  "': " + reason(errno));
                }
            }
            ownFd_ = true;
            replaces_ = true;
            slot_ = registerTemp(tmp_);
            if (exists) {
                // Keep the owner (root may give a file away) and then the
                // permission bits, which a change of owner may clear.
                if (::geteuid() == 0 && (st.st_uid != ::geteuid() || st.st_gid != ::getegid()))
                    (void)::fchown(fd_, st.st_uid, st.st_gid);
                (void)::fchmod(fd_, st.st_mode & 07777);
            }
            return;
        }
    }
    // A direct output that is a regular file (standard output redirected to
    // a file, a descriptor path) is written where it is: it must not be an input.
    struct stat st{};
    if (::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) {
        try {
            held_ = hold(st, name_, false);
        } catch (...) {
            if (ownFd_) ::close(fd_);
            fd_ = -1;
            throw;
        }
    }
}

OutputFile::~OutputFile() { discard(); }

void OutputFile::writeAll(const void* data, std::size_t n) {
    if (fd_ < 0) throw IoError("cannot write '" + name_ + "': the output is closed");
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        ssize_t r = ::write(fd_, p, n);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && errno == EPIPE) throw OutputClosed("cannot write '" + name_ + "': " + reason(EPIPE));
        if (r < 0) throw IoError("cannot write '" + name_ + "': " + reason(errno));
        if (r == 0) throw IoError("cannot write '" + name_ + "': no bytes were written");
        p += r;
        n -= std::size_t(r);
        delivered_ += std::uint64_t(r);
    }
}

void OutputFile::append(const void* p, std::size_t n) {
    if (fd_ < 0) throw IoError("cannot write '" + name_ + "': the output is closed");
    if (n == 0) return;  // an empty piece may come with a null pointer
    if (buf_.empty()) buf_.resize(std::size_t(1) << 20);
    if (used_ + n > buf_.size()) {
        flush();
        if (n >= buf_.size()) {
            writeAll(p, n);
            total_ += n;
            return;
        }
    }
    std::memcpy(buf_.data() + used_, p, n);
    used_ += n;
    total_ += n;
}

void OutputFile::writeDirect(const void* p, std::size_t n) {
    flush();
    writeAll(p, n);
    total_ += n;
}

void OutputFile::flush() {
    if (used_ == 0) return;
    const std::size_t n = used_;
    used_ = 0;
    writeAll(buf_.data(), n);
}

void OutputFile::fail(const std::string& what) {
    const int err = errno;
    discard();
    throw IoError(what + ": " + reason(err));
}

void OutputFile::commit() {
    if (fd_ < 0) throw IoError("cannot write '" + name_ + "': the output is closed");
    try {
        flush();
    } catch (...) {
        discard();
        throw;
    }
    if (tmp_.empty()) {
        // A direct output: written; standard output stays open.
        if (ownFd_ && ::close(fd_) != 0) {
            fd_ = -1;
            fail("cannot write '" + name_ + "'");
        }
        fd_ = -1;
        detail::releaseFile(held_);
        held_ = -1;
        return;
    }
    // A file that replaces an old one reaches the disk before the rename, so
    // that a crash leaves the old file or the whole new one. A new file needs
    // no such wait (writing thousands of pieces of a split would pay one
    // disk flush each): its bytes are complete before it takes its name.
    if (replacesOld_ && ::fsync(fd_) != 0) fail("cannot write '" + name_ + "'");
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail("cannot write '" + name_ + "'");
    if (inPlace_) {
        // Several names share the file: its bytes are replaced, not its name.
        int from = ::open(tmp_.c_str(), O_RDONLY | O_CLOEXEC);
        if (from < 0) fail("cannot read back the temporary file '" + tmp_ + "'");
        int to = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (to < 0) {
            const int err = errno;
            ::close(from);
            errno = err;
            fail("cannot write '" + name_ + "'");
        }
        std::vector<char> block(std::size_t(1) << 20);
        bool ok = true;
        for (;;) {
            ssize_t r = ::read(from, block.data(), block.size());
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) {
                ok = r == 0;
                break;
            }
            std::size_t off = 0;
            while (ok && off < std::size_t(r)) {
                ssize_t w = ::write(to, block.data() + off, std::size_t(r) - off);
                if (w < 0 && errno == EINTR) continue;
                if (w <= 0) ok = false;
                else off += std::size_t(w);
            }
            if (!ok) break;
        }
        if (ok && ::fsync(to) != 0) ok = false;
        const int err = errno;
        ::close(from);
        if (::close(to) != 0 && ok) ok = false;
        if (!ok) {
            // The target is cut short: keep the complete output for the user.
            unregisterTemp(slot_);
            slot_ = -1;
            const std::string kept = tmp_;
            tmp_.clear();
            throw IoError("cannot write '" + name_ + "': " + reason(err) + " (the complete output is kept as '" +
                          kept + "')");
        }
        ::unlink(tmp_.c_str());
    } else if (::rename(tmp_.c_str(), target_.c_str()) != 0) {
        fail("cannot put the output in place as '" + name_ + "'");
    }
    unregisterTemp(slot_);
    slot_ = -1;
    tmp_.clear();
}

void OutputFile::discard() noexcept {
    if (fd_ >= 0 && ownFd_) ::close(fd_);
    fd_ = -1;
    used_ = 0;
    if (!tmp_.empty()) {
        ::unlink(tmp_.c_str());
        tmp_.clear();
    }
    unregisterTemp(slot_);
    slot_ = -1;
    detail::releaseFile(held_);
    held_ = -1;
}

}  // namespace pressel
