// Errors raised by the library.
//
// Every failure is a pressel::Error (a std::runtime_error). Where the format
// of the message is fixed ("recType not defined: ", "Cannot parse font for
// size: " ...) the message starts with that text. Errors that concern a
// position in a stream are FormatErrors and carry the byte offset so that
// tools can report it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pressel {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A stream or payload is not what the format requires at some byte offset.
//
// offset() is a byte offset in the stream wherever the stream position is
// known: where a framing fault is, or where the structured field starts that
// a record failed to decode from (decodeChunk(field, offset)), and then
// byteInField() tells the byte of that field where reading failed. Bytes
// read on their own (decodeChunk(field), a ByteReader without a base) know no
// stream position: offset() counts within them, and byteInField() is kNoField.
class FormatError : public Error {
public:
    static constexpr std::uint64_t kNoField = UINT64_MAX;

    // "msg at offset N".
    FormatError(const std::string& msg, std::uint64_t offset)
        : Error(msg + " at offset " + std::to_string(offset)), offset_(offset), reasonEnd_(msg.size()),
          restFrom_(msg.size() + 11 + std::to_string(offset).size()) {}
    // A fault at byte `inField` of the structured field that starts at stream
    // offset `fieldOffset` (bytes counted from the field's first length byte:
    // its introducer is bytes 0 to 7, its data starts at byte 8, or after the
    // introducer extension when there is one): "msg, byte K of the structured
    // field at offset N".
    FormatError(const std::string& msg, std::uint64_t fieldOffset, std::uint64_t inField)
        : Error(msg + ", byte " + std::to_string(inField) + " of the structured field at offset " +
                std::to_string(fieldOffset)),
          offset_(fieldOffset), inField_(inField), reasonEnd_(msg.size()), restFrom_(std::string::npos) {}

    std::uint64_t offset() const noexcept { return offset_; }
    std::uint64_t byteInField() const noexcept { return inField_; }
    // The message without the position: what was wrong.
    std::string reason() const {
        const std::string_view all = what();
        std::string out(all.substr(0, reasonEnd_));
        if (restFrom_ < all.size()) out += all.substr(restFrom_);
        return out;
    }

protected:
    // A message already composed; its position is what() from `reasonEnd`
    // up to `restFrom`.
    struct Composed {};
    FormatError(Composed, const std::string& message, std::uint64_t offset, std::size_t reasonEnd,
                std::size_t restFrom)
        : Error(message), offset_(offset), reasonEnd_(reasonEnd), restFrom_(restFrom) {}

private:
    std::uint64_t offset_;
    std::uint64_t inField_ = kNoField;
    std::size_t reasonEnd_, restFrom_;
};

// A reader ran out of bytes: what was being read, where, how many bytes it
// needed and how many were left. A FormatError: the payload is shorter than
// the format requires.
class EndOfInput : public FormatError {
public:
    EndOfInput(const std::string& what, std::uint64_t offset, std::uint64_t needed, std::uint64_t left)
        : FormatError(Composed{},
                      what + " at offset " + std::to_string(offset) + ": needed " + std::to_string(needed) +
                          " byte" + (needed == 1 ? "" : "s") + ", " + std::to_string(left) + " left",
                      offset, what.size(), what.size() + 11 + std::to_string(offset).size()),
          needed_(needed), left_(left) {}
    std::uint64_t needed() const noexcept { return needed_; }
    std::uint64_t left() const noexcept { return left_; }

private:
    std::uint64_t needed_, left_;
};

// Opening, reading or writing a file failed.
class IoError : public Error {
public:
    using Error::Error;
};

} // namespace pressel
