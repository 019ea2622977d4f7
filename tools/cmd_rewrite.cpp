// Commands that rewrite a stream with filters: strip and rename.
//
// Both are built from the filters of filter.hpp and reach the three
// nested levels (control sequences in presentation text, triplet lists,
// repeating groups). Structured fields the filters leave unchanged are written
// back as the very chunks that were read, byte for byte.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "command.hpp"
#include "pressel/text/ebcdic.hpp"
#include "pressel/rewrite/chunk_filters.hpp"
#include "pressel/rewrite/deep_filters.hpp"
#include "pressel/rewrite/mapped_chunks.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/records.hpp"
#include "pressel/rewrite/rename.hpp"

namespace pressel::tool {
namespace {

// --quiet of the command running: no progress or summary.
bool gQuiet = false;

struct Failure {
    std::string message;  // the error, with the structured field where it happened
    std::uint64_t inputRead = 0;
};

// Runs the filters over the stream and writes the result to `out`, which is
// closed on success (unless the caller closes it after checks of its own). On a failure the walk stops and `out` is left open for
// the caller to abandon. A reader error names the field and offset itself; a
// filter's error is given the structured field it was run on.
//
// `mayChange`, when given, says of a field whether the filters could change
// it (rename: it holds one of the old names); one they could not is passed on
// as it came without running them.
//
// `direct`, when given, is tried first on a field the filters select (and
// that may change): it does their work straight on the field's bytes, or
// says the field is one it leaves to them.
std::optional<Failure> filterStream(AfpStream& stream, AfpWriter& out, const ChunkFilters<AFP_>& filters,
                                    bool closeOnSuccess = true,
                                    const std::function<bool(const Bytes&)>& mayChange = {},
                                    const DirectEdit& direct = {}) {
    AfpReader& reader = stream.reader();
    StreamWalk walk(reader, gQuiet);
    const FilterIndex index(filters);
    // A field written as it came: in clean framing its bytes in the input
    // block are the bytes write() would produce, and are handed on without
    // copying (consecutive ones in one write).
    auto asItCame = [&](const AFP_& c) {
        if (reader.framing() == Framing::Clean) {
            AfpReader::RawRef r{};
            try {
                r = reader.rawRef();
            } catch (const FormatError&) {
                // Line ends after the field ran past a block: not one piece.
                r.length = 0;
            }
            if (r.length == c.payload.size() + 3) return out.writeSlice(r);
        }
        out.write(c);
    };
    // The payload a direct edit writes, reused from field to field.
    std::vector<byte> edited;
    edited.reserve(std::size_t(1) << 16);
    try {
        AFP_ c;
        while (reader.next(c)) {
            try {
                // A field that no filter selects is written as it came.
                RawEdit e = RawEdit::Unsupported;
                if (!index.selects(c) || (mayChange && !mayChange(c.payload))) {
                    asItCame(c);
                } else if (direct && (e = direct(c, edited)) != RawEdit::Unsupported) {
                    if (e == RawEdit::Unchanged) {
                        asItCame(c);
                    } else {
                        out.write(AFP_{c.code, Bytes::fromStatic(edited.data(), edited.size())});
                    }
                } else {
                    // The filters see the field through a slice that owns
                    // nothing: what they cut from it and the chunks they
                    // return live only until they are written here, while
                    // `c` keeps the input block, so no reference count is
                    // taken per slice.
                    const AFP_ u{c.code, Bytes::fromStatic(c.payload.data(), c.payload.size())};
                    for (const AFP_& o : chunkMapFiltersM(u, filters, index)) {
                        if (o.code == c.code && o.payload.data() == c.payload.data() &&
                            o.payload.size() == c.payload.size())
                            asItCame(c);
                        else
                            out.write(o);
                    }
                }
            } catch (const IoError&) {
                throw;
            } catch (const std::exception& e) {
                throw Error(std::string(e.what()) + " (in " + fieldAt(c.code, reader.offset()) + ")");
            }
            walk.step(c.code);
        }
        if (closeOnSuccess) out.close();
        walk.done();
        return std::nullopt;
    } catch (const OutputClosed&) {
        walk.abort();
        throw;
    } catch (const std::exception& e) {
        walk.abort();
        return Failure{e.what(), reader.consumed()};
    }
}

std::string validTypeNames() {
    std::string s;
    for (std::uint16_t i = 0; i < idx_tableTypes; ++i) {
        if (i) s += ' ';
        s += tableType(RecordIndex(i)).name;
    }
    return s;
}

// ---- strip ----------------------------------------------------------------------
const CommandSpec stripSpec{"strip", "IN OUT TYPE...", {quietOption()}, 3, SIZE_MAX};

int cmdStrip(const std::vector<std::string>& argv) {
    ParsedArgs parsed = parseCommandArgs(stripSpec, argv);
    gQuiet = parsed.has("quiet");
    std::vector<std::string> args = parsed.operands;
    ChunkFilters<AFP_> top;
    NestedFilters nf;
    std::vector<std::string> unknown;
    for (std::size_t i = 2; i < args.size(); ++i) {
        TypeId t = tableTypeByName(args[i]);
        if (!t) {
            unknown.push_back(args[i]);
            continue;
        }
        switch (t->family) {
        case Family::AFP: top.push_back({ChunkType{t}, [](const AFP_&) { return std::vector<AFP_>{}; }}); break;
        case Family::T: nf.triplets.push_back({ChunkType{t}, [](const T_&) { return std::vector<T_>{}; }}); break;
        case Family::PTX: nf.controls.push_back({ChunkType{t}, [](const PTX_&) { return std::vector<PTX_>{}; }}); break;
        case Family::MCF: nf.groups.push_back({ChunkType{t}, [](const MCF_&) { return std::vector<MCF_>{}; }}); break;
        case Family::Other: unknown.push_back(args[i]); break;
        }
    }
    if (!unknown.empty()) {
        std::string list;
        for (const auto& u : unknown) list += (list.empty() ? "'" : ", '") + u + "'";
        usageError(stripSpec, "unknown record type " + list + "; valid names: " + validTypeNames());
    }
    // Deletions first: a deleted structured field is not opened afterwards.
    ChunkFilters<AFP_> filters = top;
    for (auto& f : deepFilters(nf)) filters.push_back(std::move(f));
    // The nested deletions done on the bytes of the fields they open,
    // except a field that a deletion of its own type selects.
    DirectEdit direct;
    if (!nf.empty())
        direct = [edit = directDeletions(nf), topIndex = FilterIndex(top)](const AFP_& c, std::vector<byte>& bytes) {
            return topIndex.selects(c) ? RawEdit::Unsupported : edit(c, bytes);
        };
    // The input first: a failure to open it leaves the output alone.
    AfpStream stream = readAFP(args[0]);
    AfpWriter out(args[1]);
    if (auto f = filterStream(stream, out, filters, true, {}, direct)) {
        std::string tail = abandonOutput(out, f->inputRead);
        printError(f->message + tail);
        return 1;
    }
    return 0;
}

// ---- rename ---------------------------------------------------------------------
const CommandSpec renameSpec{
    "rename",
    "IN OUT OLD=NEW...",
    {{"", {"allow-missing"}, NoArg{}, "rename what occurs even when an OLD name does not occur in IN"}, quietOption()},
    3,
    SIZE_MAX};

int cmdRename(const std::vector<std::string>& argv) {
    ParsedArgs parsed = parseCommandArgs(renameSpec, argv);
    gQuiet = parsed.has("quiet");
    std::vector<std::string> args = parsed.operands;
    std::vector<Rename> renames;
    std::vector<std::string> given;  // OLD=NEW as given, for the report
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::size_t eq = a.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == a.size())
            usageError(renameSpec, "expected OLD=NEW with two non-empty names: '" + a + "'");
        std::optional<std::string> from = ebcdicName(a.substr(0, eq)), to = ebcdicName(a.substr(eq + 1));
        if (!from || !to) usageError(renameSpec, "a name has characters outside code page 500: '" + a + "'");
        if (to->size() > maxRenameLength)
            usageError(renameSpec, "new name of " + std::to_string(to->size()) + " bytes is longer than any name field (" +
                                       std::to_string(maxRenameLength) + " bytes): '" + a + "'");
        renames.push_back({*from, *to});
        given.push_back(a);
    }
    RenameFilters rn;
    try {
        rn = renameFilters(renames);
    } catch (const Error& e) {
        usageError(renameSpec, e.what());
    }
    const ChunkFilters<AFP_>& filters = rn.filters;
    const bool allowMissing = parsed.has("allow-missing");
    // The names that do not occur: an error unless --allow-missing.
    auto missing = [&]() {
        std::string list;
        for (std::size_t i = 0; i < given.size(); ++i)
            if ((*rn.counts)[i] == 0)
                list += (list.empty() ? "'" : ", '") + given[i].substr(0, given[i].find('=')) + "'";
        return allowMissing ? std::string() : list;
    };
    auto report = [&]() {
        if (gQuiet) return;
        for (std::size_t i = 0; i < given.size(); ++i) {
            const std::uint64_t n = (*rn.counts)[i];
            std::string line = given[i] + ": " + std::to_string(n) + (n == 1 ? " field" : " fields") + " renamed\n";
            std::fwrite(line.data(), 1, line.size(), stderr);
        }
    };
    auto notFound = [&](const std::string& list) {
        printError("no field names " + list + " in '" + args[0] + "'; nothing written (--allow-missing renames the others)");
        return 1;
    };
    auto nothingWritten = [](const Failure& f) {
        printError(f.message + "; input read up to offset " + std::to_string(f.inputRead) + "; nothing written");
        return 1;
    };
    // The input first: a failure to open it leaves the output alone.
    AfpStream stream = readAFP(args[0]);
    AfpWriter out(args[1]);
    if (out.output().replaces()) {
        // A file: replaced only when the whole stream is renamed and every
        // name was found.
        if (auto f = filterStream(stream, out, filters, false, rn.mentioned, rn.rewriteRaw)) {
            out.discard();
            return nothingWritten(*f);
        }
        if (std::string list = missing(); !list.empty()) {
            out.discard();
            return notFound(list);
        }
        out.close();
        report();
        return 0;
    }
    // A device, pipe or standard output cannot be taken back: the stream is
    // renamed in one pass into an unnamed temporary file, which is copied out
    // once the whole stream has been renamed.
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> spool(std::tmpfile(), &std::fclose);
    if (!spool) throw IoError(std::string("cannot create a temporary file: ") + std::strerror(errno));
    const int spoolFd = ::fileno(spool.get());
    {
        AfpWriter tmp("/dev/fd/" + std::to_string(spoolFd));
        if (auto f = filterStream(stream, tmp, filters, true, rn.mentioned, rn.rewriteRaw)) {
            tmp.discard();
            out.discard();
            return nothingWritten(*f);
        }
    }
    if (std::string list = missing(); !list.empty()) {
        out.discard();
        return notFound(list);
    }
    if (::lseek(spoolFd, 0, SEEK_SET) != 0) throw IoError(std::string("cannot read back the temporary file: ") + std::strerror(errno));
    std::vector<char> block(std::size_t(1) << 20);
    for (;;) {
        ssize_t n = ::read(spoolFd, block.data(), block.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw IoError(std::string("cannot read back the temporary file: ") + std::strerror(errno));
        if (n == 0) break;
        out.writeRaw(block.data(), std::size_t(n));
    }
    out.close();
    report();
    return 0;
}

Register strip{{"strip", "delete every record of the named types, at any nesting level", cmdStrip}};
Register rename{{"rename", "rename resources everywhere the stream names them", cmdRename}};

}  // namespace
}  // namespace pressel::tool
