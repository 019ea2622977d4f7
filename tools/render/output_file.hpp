// An output file written whole or not at all. A regular file (or a name
// that does not exist yet) is written to a temporary file beside it and
// renamed into place by commit(), keeping the old file's mode and following
// a symbolic link to the file it names; "-" is standard output; devices,
// FIFOs and terminals are written directly. Every write is checked; a file
// not committed is removed when the object goes away.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace pressel::tool {

class OutputFile {
public:
    explicit OutputFile(const std::string& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(std::span<const unsigned char> data);
    // Flushes, closes and moves the file into place. Throws IoError.
    void commit();
    const std::string& path() const noexcept { return path_; }

private:
    void flush();
    std::string path_;    // as given
    std::string target_;  // the file finally written (a link followed)
    std::string temp_;    // the temporary file, empty when writing directly
    int fd_ = -1;
    bool ownFd_ = false;
    std::vector<unsigned char> buf_;
};

// True when `a` and `b` name the same existing file.
bool sameFile(const std::string& a, const std::string& b);

}  // namespace pressel::tool
