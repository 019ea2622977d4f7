// Output files that never destroy what they replace.
//
// OutputFile opens a path for writing ("-" is standard output):
//
//   - a regular file, or a path where nothing exists yet, is written under a
//     temporary name in the same folder (".NAME.pressel-XXXXXX") and takes the
//     path's place only when commit() has written, flushed and synced every
//     byte. The new file keeps the old one's permission bits (and, for root,
//     its owner); a new file gets 0666 less the umask. A symbolic link is
//     followed and its target replaced the same way; a file with several hard
//     links is overwritten in place from the finished temporary file, so that
//     every link sees the new bytes.
//   - anything else (a character device such as /dev/null or a terminal, a
//     FIFO, a socket, standard output, /proc/self/fd/N or /dev/fd/N) is
//     written directly: such an output cannot be taken back, and renaming a
//     file over it would replace the device or pipe itself.
//
// A failure, discard(), or destruction without commit() removes the temporary
// file and leaves the old output as it was. So does SIGINT, SIGTERM or SIGHUP
// while the default action of the signal is in force: the first temporary file
// installs a handler that removes every temporary file still open (with
// async-signal-safe calls only) and then lets the signal end the process as it
// would have.
//
// Writing over the file being read would destroy the input. Every regular
// file the library reads (standard input included) is remembered while it is
// open, and so is every regular file written directly; an output that is the
// same file as an open input (the same device and inode, whatever path, link
// or descriptor leads to it) is refused with IoError before anything is
// written, and so is an input that is the same file as an open direct output.
//
// Errors are IoError with the path and the system's reason; a write to a pipe
// or socket whose reader has gone throws OutputClosed (the process should
// stop quietly, as `cat` does on a closed pipe).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pressel/core/error.hpp"

namespace pressel {

// A write to a pipe or socket that nobody reads any more (EPIPE).
class OutputClosed : public IoError {
public:
    using IoError::IoError;
};

class OutputFile {
public:
    // Opens the output. Throws IoError when it cannot be created, is a
    // directory, or is the same file as an open input.
    explicit OutputFile(const std::string& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Buffered bytes (written when the buffer fills, on flush() and commit()).
    void append(const void* p, std::size_t n);
    void append(std::string_view s) { append(s.data(), s.size()); }
    // Bytes written at once, after what is buffered.
    void writeDirect(const void* p, std::size_t n);
    // Writes what is buffered.
    void flush();
    // Finishes the output: flushes, syncs and closes it and, for a replaced
    // file, puts it in place. Throws IoError (the old output is then untouched).
    void commit();
    // Abandons the output: a temporary file is removed; bytes already written
    // to a direct output stay written. Never throws.
    void discard() noexcept;

    // The path as given ("<stdout>" for "-").
    const std::string& name() const noexcept { return name_; }
    // True when the output goes to a temporary file that commit() puts in place.
    bool replaces() const noexcept { return replaces_; }
    // Open until commit() or discard().
    bool isOpen() const noexcept { return fd_ >= 0; }
    // Bytes handed to append() and writeDirect().
    std::uint64_t bytesWritten() const noexcept { return total_; }
    // Bytes the system has taken (a pipe, device or file); after a failed
    // write, what really reached the output.
    std::uint64_t bytesDelivered() const noexcept { return delivered_; }

private:
    void writeAll(const void* p, std::size_t n);
    [[noreturn]] void fail(const std::string& what);
    int fd_ = -1;
    bool ownFd_ = false;
    std::string name_;
    std::string target_;  // the file a temporary replaces (symbolic links followed)
    std::string tmp_;     // the temporary file, empty for a direct output
    bool inPlace_ = false;  // several hard links: copy over the target on commit
    bool replacesOld_ = false;  // a file was there before: its bytes reach the disk before it is replaced
    bool replaces_ = false;
    int slot_ = -1;         // the temporary file's entry among those removed on a signal
    int held_ = -1;         // a direct output's entry in the list of open files
    std::vector<char> buf_;
    std::size_t used_ = 0;
    std::uint64_t total_ = 0;
    std::uint64_t delivered_ = 0;
};

namespace detail {
// The list of open files behind the same-file check. An input is added by
// the byte source that reads it (returns a handle for releaseFile, or -1 when
// the descriptor is not a regular file); a conflicting open output throws.
int holdInput(int fd, const std::string& name);
void releaseFile(int handle) noexcept;
}  // namespace detail

}  // namespace pressel
