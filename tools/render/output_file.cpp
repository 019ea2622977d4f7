#include "output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "pressel/error.hpp"

namespace pressel::tool {

namespace {
std::string errnoText() { return std::strerror(errno); }
}  // namespace

OutputFile::OutputFile(const std::string& path) : path_(path), target_(path) {
    buf_.reserve(1 << 16);
    if (path == "-") {
        fd_ = 1;
        return;
    }
    struct stat st {};
    bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {  // a device, FIFO or terminal: written as it is
        fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd_ < 0) throw IoError("cannot open " + path + ": " + errnoText());
        ownFd_ = true;
        return;
    }
    if (exists) {
        char real[PATH_MAX];
        if (::realpath(path.c_str(), real)) target_ = real;
    }
    temp_ = target_ + ".tmpXXXXXX";
    fd_ = ::mkstemp(temp_.data());
    if (fd_ < 0) {
        std::string why = errnoText();
        temp_.clear();
        throw IoError("cannot create a temporary file beside " + path + ": " + why);
    }
    ownFd_ = true;
    mode_t mode;
    if (exists) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd_, mode);
}

OutputFile::~OutputFile() {
    if (ownFd_ && fd_ >= 0) ::close(fd_);
    if (!temp_.empty()) ::unlink(temp_.c_str());
}

void OutputFile::write(std::span<const unsigned char> data) {
    if (buf_.size() + data.size() > buf_.capacity()) flush();
    if (data.size() >= buf_.capacity()) {
        buf_.assign(data.begin(), data.end());
        flush();
        return;
    }
    buf_.insert(buf_.end(), data.begin(), data.end());
}

void OutputFile::flush() {
    std::size_t done = 0;
    while (done < buf_.size()) {
        ssize_t n = ::write(fd_, buf_.data() + done, buf_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw IoError("cannot write " + (path_ == "-" ? std::string("standard output") : path_) + ": " +
                                  errnoText());
        done += std::size_t(n);
    }
    buf_.clear();
}

void OutputFile::commit() {
    flush();
    if (ownFd_) {
        int fd = std::exchange(fd_, -1);
        if (::close(fd) != 0) throw IoError("cannot write " + path_ + ": " + errnoText());
    }
    if (!temp_.empty()) {
        if (::rename(temp_.c_str(), target_.c_str()) != 0)
            throw IoError("cannot move the finished file into place as " + path_ + ": " + errnoText());
        temp_.clear();
    }
}

bool sameFile(const std::string& a, const std::string& b) {
    if (a == "-" || b == "-") return false;
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace pressel::tool
