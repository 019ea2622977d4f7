// The subcommands of the pressel tool register themselves here, each with an
// option table that drives `pressel COMMAND --help`, usage errors and parsing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "pressel/tool/cli.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/core/json.hpp"

namespace pressel::tool {

struct Command {
    std::string name;
    std::string summary;  // one line for `pressel --help`
    // Runs with the arguments after the command name; returns the exit status.
    std::function<int(const std::vector<std::string>& args)> run;
};

std::vector<Command>& commands();

struct Register {
    explicit Register(Command c) { commands().push_back(std::move(c)); }
};

// "*** Error: " + message on standard error.
void printError(const std::string& message);

// What a command accepts: its operands (for the usage line), its options and
// how many operands it takes.
struct CommandSpec {
    std::string name;      // "cat"
    std::string operands;  // "IN OUT"
    std::vector<OptDescr> options;
    std::size_t minOperands = 0;
    std::size_t maxOperands = SIZE_MAX;
};

// Parses a command's arguments against its option table (a -h/--help option
// is added). --help prints the usage text on standard output and exits 0; an
// unknown option, a missing option argument or a wrong operand count prints
// "*** Error: " with the usage text on standard error and exits 1.
ParsedArgs parseCommandArgs(const CommandSpec& cmd, const std::vector<std::string>& args);

// A usage error found after parsing (a bad option value, options that do
// not go together): "*** Error: " + message and the usage text on standard
// error, exit status 1.
[[noreturn]] void usageError(const CommandSpec& cmd, const std::string& message);

// Progress on standard error for long runs: shown only when standard error is
// a terminal and --quiet was not given; at most a few updates a second.
class Progress {
public:
    Progress(bool enabled, std::int64_t total);
    // Called after every structured field: the clock is read only once
    // another kCheckEvery bytes are done (never when progress is off), so a
    // stream of small fields does not pay a clock read per field.
    void update(std::uint64_t done) {
        if (done >= nextCheck_) [[unlikely]]
            tick(done);
    }
    // Clears the progress line (call before printing the summary).
    void finish();
    bool enabled() const noexcept { return enabled_; }

private:
    static constexpr std::uint64_t kCheckEvery = 64 * 1024;
    void tick(std::uint64_t done);
    bool enabled_;
    std::uint64_t nextCheck_;
    std::int64_t total_;
    std::int64_t lastNs_ = 0;
    bool shown_ = false;
};

// True when standard error is a terminal (summaries and progress are shown).
bool stderrIsTerminal();

// Counts of a walk over a stream, for the one-line summary at the end of a
// long-running command: "1234 structured fields, 56 pages, 7890 bytes".
struct Summary {
    std::uint64_t fields = 0, pages = 0, bytes = 0;
    void count(std::uint32_t code, std::uint64_t consumed) {
        ++fields;
        if (code == 0xD3A8AF) ++pages;  // Begin Page
        bytes = consumed;
    }
    // Printed on standard error when it is a terminal and `quiet` is false.
    void print(bool quiet, const std::string& what = "") const;
};

// Progress and the closing summary of a command that walks a whole stream:
// call step() after each structured field, done() at the end (abort() on a
// failure, before the error is printed).
class StreamWalk {
public:
    StreamWalk(AfpReader& reader, bool quiet)
        : reader_(reader), quiet_(quiet), progress_(!quiet, reader.source().size()) {}
    void step(std::uint32_t code) {
        summary_.count(code, reader_.consumed());
        progress_.update(reader_.consumed());
    }
    void abort() { progress_.finish(); }
    void done() {
        progress_.finish();
        summary_.print(quiet_);
    }

private:
    AfpReader& reader_;
    bool quiet_;
    Progress progress_;
    Summary summary_;
};

// Writes what is buffered for standard output before an error message, so
// that the message follows the output it concerns (a failure to write it is
// not reported over the error itself).
void flushBeforeError(OutputFile& out) noexcept;

// Ends the output of a failed rewriting command and tells what it holds, for
// the end of the error message: how far the input was read, then "nothing
// written, 'o.afp' is left as it was" for a file written through a temporary
// file (which is removed), or the bytes written for a device, pipe or
// standard output (whose whole structured fields are flushed).
std::string abandonOutput(AfpWriter& out, std::uint64_t inputRead);

// "BPG (X'D3A8AF') at offset 17": a structured field for error messages.
std::string fieldAt(std::uint32_t code, std::uint64_t offset);

// Standard options of commands that walk a whole stream.
inline OptDescr quietOption() { return {"q", {"quiet"}, NoArg{}, "no progress or summary on standard error"}; }

}  // namespace pressel::tool
