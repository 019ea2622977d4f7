// Errors raised by the library.
//
// Every failure is a pressel::Error (a std::runtime_error). Where the format
// of the message is fixed ("recType not defined: ", "Cannot parse font for
// size: " ...) the message starts with that text. Errors that concern a
// position in a stream carry the byte offset so that tools can report it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace pressel {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A reader ran out of bytes: what was being read, where, how many bytes it
// needed and how many were left.
class EndOfInput : public Error {
public:
    EndOfInput(std::string what, std::uint64_t offset, std::uint64_t needed, std::uint64_t left)
        : Error(what + " at offset " + std::to_string(offset) + ": needed " + std::to_string(needed) +
                " byte" + (needed == 1 ? "" : "s") + ", " + std::to_string(left) + " left"),
          offset_(offset), needed_(needed), left_(left) {}
    std::uint64_t offset() const noexcept { return offset_; }
    std::uint64_t needed() const noexcept { return needed_; }
    std::uint64_t left() const noexcept { return left_; }

private:
    std::uint64_t offset_, needed_, left_;
};

// A stream or payload is not what the format requires at some byte offset.
class FormatError : public Error {
public:
    FormatError(const std::string& msg, std::uint64_t offset)
        : Error(msg + " at offset " + std::to_string(offset)), offset_(offset) {}
    std::uint64_t offset() const noexcept { return offset_; }

private:
    std::uint64_t offset_;
};

// Opening, reading or writing a file failed.
class IoError : public Error {
public:
    using Error::Error;
};

} // namespace pressel
