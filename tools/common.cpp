// Shared pieces of the tool's commands: argument parsing and progress.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <limits>

#include "command.hpp"

namespace pressel::tool {

namespace {

// The command's options with -h/--help, and its usage line.
std::vector<OptDescr> optionsWithHelp(const CommandSpec& cmd) {
    std::vector<OptDescr> opts = cmd.options;
    opts.push_back({"h", {"help"}, NoArg{}, "show this help and exit"});
    return opts;
}

UsageHeader usageHeader(const CommandSpec& cmd) {
    std::string head = "Usage: pressel " + cmd.name + (cmd.operands.empty() ? "" : " " + cmd.operands);
    return [head](const std::string&) { return head; };
}

}  // namespace

void usageError(const CommandSpec& cmd, const std::string& message) {
    showUsage(optionsWithHelp(cmd), usageHeader(cmd), message);
}

ParsedArgs parseCommandArgs(const CommandSpec& cmd, const std::vector<std::string>& args) {
    ParsedArgs p;
    try {
        p = parseArgs(optionsWithHelp(cmd), args);
    } catch (const UsageError& e) {
        usageError(cmd, e.what());
    }
    if (p.has("help")) showUsage(optionsWithHelp(cmd), usageHeader(cmd), "");
    if (p.operands.size() < cmd.minOperands)
        usageError(cmd, cmd.minOperands == 1 ? "missing operand" : "too few operands");
    if (p.operands.size() > cmd.maxOperands) usageError(cmd, "too many operands: '" + p.operands[cmd.maxOperands] + "'");
    return p;
}

bool stderrIsTerminal() { return ::isatty(2) == 1; }

static std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Progress::Progress(bool enabled, std::int64_t total)
    : enabled_(enabled && stderrIsTerminal()),
      nextCheck_(enabled_ ? 0 : std::numeric_limits<std::uint64_t>::max()),
      total_(total) {}

void Progress::tick(std::uint64_t done) {
    nextCheck_ = done + kCheckEvery;
    std::int64_t t = nowNs();
    if (t - lastNs_ < 200'000'000) return;
    lastNs_ = t;
    shown_ = true;
    if (total_ > 0)
        std::fprintf(stderr, "\r%llu of %lld bytes (%d%%)", static_cast<unsigned long long>(done),
                     static_cast<long long>(total_), int(double(done) * 100.0 / double(total_)));
    else
        std::fprintf(stderr, "\r%llu bytes", static_cast<unsigned long long>(done));
    std::fflush(stderr);
}

void Progress::finish() {
    if (shown_) std::fprintf(stderr, "\r\033[K");
    shown_ = false;
}

void Summary::print(bool quiet, const std::string& what) const {
    if (quiet || !stderrIsTerminal()) return;
    std::fprintf(stderr, "%s%llu structured fields, %llu pages, %llu bytes\n", what.c_str(),
                 static_cast<unsigned long long>(fields), static_cast<unsigned long long>(pages),
                 static_cast<unsigned long long>(bytes));
}

void flushBeforeError(OutputFile& out) noexcept {
    // The error about to be reported matters more than a failure to write
    // what came before it (which is often the same failure).
    try {
        out.flush();
    } catch (...) {
    }
}

std::string abandonOutput(AfpWriter& out, std::uint64_t inputRead) {
    std::string s = "; input read up to offset " + std::to_string(inputRead) + "; ";
    if (out.output().replaces()) {
        out.discard();
        return s + "nothing written, '" + out.output().name() + "' is left as it was";
    }
    // A device, pipe or standard output keeps what was written: the whole
    // structured fields before the failure, as far as the output took them
    // (none for a full device).
    try {
        out.close();
    } catch (const OutputClosed&) {
        throw;
    } catch (const Error& e) {
        printError(e.what());
    }
    return s + std::to_string(out.output().bytesDelivered()) + " bytes written to '" + out.output().name() +
           "' before the failure";
}

std::string fieldAt(std::uint32_t code, std::uint64_t offset) {
    return std::string(afpTypeOf(code)->name) + " (X'" + zeropad(3, code) + "') at offset " + std::to_string(offset);
}

}  // namespace pressel::tool
