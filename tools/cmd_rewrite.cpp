// Commands that rewrite or search a stream with filters: strip, rename, tle.
//
// All three are built from the filters of filter.hpp and reach the three
// nested levels (control sequences in presentation text, triplet lists,
// repeating groups). Structured fields the filters leave unchanged are written
// back as the very chunks that were read, byte for byte.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "command.hpp"
#include "pressel/ebcdic.hpp"
#include "pressel/filter.hpp"
#include "pressel/io.hpp"

namespace pressel::tool {
namespace {

[[noreturn]] void usageError(const CommandSpec& command, const std::string& msg) {
    std::vector<OptDescr> opts = command.options;
    opts.push_back({"h", {"help"}, NoArg{}, "show this help and exit"});
    std::string head = "Usage: pressel " + command.name + " " + command.operands;
    showUsage(opts, [&](const std::string&) { return head; }, msg);
}

// True when the nested item decodes as its record.
template <class T>
bool decodes(const Lazy<T>& item) {
    try {
        (void)item.get();
        return true;
    } catch (const Error&) {
        return false;
    }
}

// --quiet of the command running: no progress or summary.
bool gQuiet = false;

struct Failure {
    std::string message;  // the error, with the structured field where it happened
    std::uint64_t inputRead = 0;
};

// Runs the filters over the stream and writes the result to `out`, which is
// closed on success. On a failure the walk stops and `out` is left open for
// the caller to abandon. A reader error names the field and offset itself; a
// filter's error is given the structured field it was run on.
std::optional<Failure> filterStream(AfpStream& stream, AfpWriter& out, const ChunkFilters<AFP_>& filters) {
    AfpReader& reader = stream.reader();
    StreamWalk walk(reader, gQuiet);
    try {
        AFP_ c;
        while (reader.next(c)) {
            try {
                for (const AFP_& o : chunkMapFiltersM(c, filters)) out.write(o);
            } catch (const IoError&) {
                throw;
            } catch (const std::exception& e) {
                throw Error(std::string(e.what()) + " (in " + fieldAt(c.code, reader.offset()) + ")");
            }
            walk.step(c.code);
        }
        out.close();
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
    // The input first: a failure to open it leaves the output alone.
    AfpStream stream = readAFP(args[0]);
    AfpWriter out(args[1]);
    if (auto f = filterStream(stream, out, filters)) {
        std::string tail = abandonOutput(out, f->inputRead);
        printError(f->message + tail);
        return 1;
    }
    return 0;
}

// ---- names ------------------------------------------------------------------------
// Begin, End and include records (and map records that declare one) start
// their data with an 8-byte name: the first data field, declared as an A8 (or,
// in records whose data is kept as raw bytes, its first eight bytes). The name
// is read and replaced in the bytes the record reader consumes, at the offset
// the declaration gives it, so that a record whose later fields are absent or
// malformed can still be named and renamed.
template <class T>
constexpr bool nameIsA8() {
    using Tup = decltype(RecordDecl<T>::fields());
    if constexpr (std::tuple_size_v<Tup> < 3) return false;
    else return std::is_same_v<typename std::tuple_element_t<2, Tup>::type, A8> ||
                std::is_same_v<typename std::tuple_element_t<2, Tup>::type, Opt<A8>>;
}
template <class T>
constexpr bool hasNameField() {
    using Tup = decltype(RecordDecl<T>::fields());
    if constexpr (std::tuple_size_v<Tup> < 3) return false;
    else return nameIsA8<T>() || std::is_same_v<typename std::tuple_element_t<2, Tup>::type, Buffer0>;
}
// Where the first data field starts: after the identifier and the flag and
// reserved bytes (the two leading N3 fields).
template <class T>
constexpr std::size_t nameOffset() {
    using Tup = decltype(RecordDecl<T>::fields());
    return std::size_t(std::tuple_element_t<0, Tup>::type::width + std::tuple_element_t<1, Tup>::type::width);
}

// Begin (X'A8'), End (X'A9') and include (X'AF') structured fields, and the
// Include Medium Map; map records (X'AB', X'B1') only when their first data
// field is declared as an 8-byte name.
constexpr bool nameRecordCode(std::uint32_t code, bool a8) {
    const unsigned type = (code >> 8) & 0xFF;
    return type == 0xA8 || type == 0xA9 || type == 0xAF || code == 0xD3ABCC || (a8 && (type == 0xAB || type == 0xB1));
}

template <class T, std::uint32_t code>
constexpr bool isNameRecord() {
    if constexpr (!hasNameField<T>()) return false;
    else return nameRecordCode(code, nameIsA8<T>());
}

// The EBCDIC name of a record of type T, if its bytes hold one.
template <class T>
std::optional<std::string> nameOf(const AFP_& c) {
    const Bytes b = packChunk(c);
    constexpr std::size_t at = nameOffset<T>();
    if (b.size() < at + 8) return std::nullopt;
    return std::string(b.slice(at, 8).chars());
}

// The chunk with the name replaced (name8: exactly eight EBCDIC bytes).
template <class T>
AFP_ withName(const AFP_& c, const std::string& name8) {
    const Bytes b = packChunk(c);
    std::vector<byte> data(b.begin(), b.end());
    for (std::size_t i = 0; i < 8; ++i) data[nameOffset<T>() + i] = byte(name8[i]);
    return AFP_{c.code, Bytes::adopt(std::move(data))};
}

std::string trimBlanks(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
    return s;
}

// ---- rename ---------------------------------------------------------------------
const CommandSpec renameSpec{"rename", "IN OUT OLD=NEW...", {quietOption()}, 3, SIZE_MAX};

// The longest name a fully qualified name triplet holds (its length byte
// counts itself, the identifier, the type, the format and the name).
constexpr std::size_t maxFqnName = 255 - 4;

// A command-line name in code page 500 (UTF-8 characters up to U+00FF).
std::optional<std::string> toEbcdicName(const std::string& utf8) {
    std::string latin1;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        auto c = byte(utf8[i]);
        if (c < 0x80) latin1 += char(c);
        else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size() && (byte(utf8[i + 1]) & 0xC0) == 0x80)
            latin1 += char(((c & 0x03) << 6) | (byte(utf8[++i]) & 0x3F));
        else return std::nullopt;
    }
    return latin1ToEbcdic(latin1);
}

struct Renames {
    std::map<std::string, std::string> fqn;    // EBCDIC old -> new
    std::map<std::string, std::string> name8;  // blank-padded EBCDIC old -> new (unpadded)
    std::map<std::string, std::string> shown;  // EBCDIC new -> as given, for messages
};

template <class T, std::uint32_t code>
void addNameFilter(ChunkFilters<AFP_>& out, const std::shared_ptr<const Renames>& rn) {
    if constexpr (isNameRecord<T, code>()) {
        out.push_back(rewrite<T>([rn](const Lazy<T>&, ChunkWriter<AFP_>& w) {
            std::optional<std::string> name = nameOf<T>(w.input());
            auto hit = name ? rn->name8.find(*name) : rn->name8.end();
            if (hit == rn->name8.end()) return w.keep();
            if (hit->second.size() > 8)
                throw Error("new name '" + rn->shown.at(hit->second) + "' (" + std::to_string(hit->second.size()) +
                            " bytes) does not fit the 8-byte name field of " + RecordDecl<T>::name);
            std::string padded = hit->second;
            padded.resize(8, char(0x40));
            w.push(withName<T>(w.input(), padded));
        }));
    }
}

ChunkFilters<AFP_> renameFilters(const std::shared_ptr<const Renames>& rn) {
    ChunkFilters<AFP_> filters;
#define PRESSEL_X(code, name) addNameFilter<name, code>(filters, rn);
    PRESSEL_AFP_CODES(PRESSEL_X)
#undef PRESSEL_X
    NestedFilters nf;
    nf.triplets.push_back(rewrite<T_FQN>([rn](const Lazy<T_FQN>& rec, ChunkWriter<T_>& w) {
        // A triplet too short for its record names nothing: kept as it is.
        if (!decodes(rec)) return w.keep();
        auto hit = rn->fqn.find(std::string(rec->t_fqn.bytes.chars()));
        if (hit == rn->fqn.end()) return w.keep();
        T_FQN v = *rec;
        v.t_fqn.bytes = Bytes::copy(hit->second);
        w.push(v);
    }));
    for (auto& f : deepFilters(nf)) filters.push_back(std::move(f));
    return filters;
}

int cmdRename(const std::vector<std::string>& argv) {
    ParsedArgs parsed = parseCommandArgs(renameSpec, argv);
    gQuiet = parsed.has("quiet");
    std::vector<std::string> args = parsed.operands;
    auto rn = std::make_shared<Renames>();
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::size_t eq = a.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == a.size())
            usageError(renameSpec, "expected OLD=NEW with two non-empty names: '" + a + "'");
        std::optional<std::string> from = toEbcdicName(a.substr(0, eq)), to = toEbcdicName(a.substr(eq + 1));
        if (!from || !to) usageError(renameSpec, "a name has characters outside code page 500: '" + a + "'");
        if (to->size() > maxFqnName)
            usageError(renameSpec, "new name of " + std::to_string(to->size()) + " bytes is longer than any name field (" +
                                       std::to_string(maxFqnName) + " bytes): '" + a + "'");
        rn->fqn[*from] = *to;
        if (from->size() <= 8) {
            std::string padded = *from;
            padded.resize(8, char(0x40));
            rn->name8[padded] = *to;
        }
        rn->shown[*to] = a.substr(eq + 1);
    }
    const ChunkFilters<AFP_> filters = renameFilters(rn);
    auto nothingWritten = [](const Failure& f) {
        printError(f.message + "; input read up to offset " + std::to_string(f.inputRead) + "; nothing written");
        return 1;
    };
    // The input first: a failure to open it leaves the output alone.
    AfpStream stream = readAFP(args[0]);
    AfpWriter out(args[1]);
    if (out.output().replaces()) {
        // A file: replaced only when the whole stream is renamed.
        if (auto f = filterStream(stream, out, filters)) {
            out.discard();
            return nothingWritten(*f);
        }
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
        if (auto f = filterStream(stream, tmp, filters)) {
            tmp.discard();
            out.discard();
            return nothingWritten(*f);
        }
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
    return 0;
}

// ---- tle --------------------------------------------------------------------------
const CommandSpec tleSpec{"tle", "FILE", {}, 1, 1};

// A name or value for display: converted from code page 500, trailing blanks dropped.
std::string display(const std::string& ebcdic) { return trimBlanks(ebcdicToUtf8(ebcdic)); }

int cmdTle(const std::vector<std::string>& argv) {
    std::vector<std::string> args = parseCommandArgs(tleSpec, argv).operands;
    AfpStream in = readAFP(args[0]);
    OutputFile out("-");
    std::vector<std::string> groups, pages;
    std::uint64_t offset = 0;
    std::string line;
    const AFP_* current = nullptr;
    auto nameOfCurrent = [&]<class T>(const Lazy<T>&) { return display(nameOf<T>(*current).value_or("")); };

    std::string attr, value;
    // A triplet that is too short for its record is passed over, as every
    // command keeps it (and `check` reports it).
    const ChunkEffects<T_> tripletEffects{
        effect<T_FQN>([&](const Lazy<T_FQN>& t) {
            if (!decodes(t)) return;
            if (t->t_fqn_SubType.value == 0x0B) attr = display(std::string(t->t_fqn.bytes.chars()));
        }),
        effect<T_AV>([&](const Lazy<T_AV>& t) {
            if (decodes(t)) value = display(std::string(t->t_av.bytes.dropFront(2).chars()));
        }),
    };
    const ChunkEffects<AFP_> effects{
        effect<BNG>([&](const Lazy<BNG>& r) { groups.push_back(nameOfCurrent(r)); }),
        effect<ENG>([&](const Lazy<ENG>&) {
            if (!groups.empty()) groups.pop_back();
        }),
        effect<BPG>([&](const Lazy<BPG>& r) { pages.push_back(nameOfCurrent(r)); }),
        effect<EPG>([&](const Lazy<EPG>&) {
            if (!pages.empty()) pages.pop_back();
        }),
        effect<TLE>([&](const TLE& v) {
            attr.clear();
            value.clear();
            chunksMapFiltersM_(v.tle_Chunks, tripletEffects);
            line = std::to_string(offset);
            line += '\t';
            line += !pages.empty() ? pages.back() : !groups.empty() ? groups.back() : std::string();
            line += '\t';
            line += attr;
            line += '\t';
            line += value;
            line += '\n';
            out.append(line);
        }),
    };
    AfpReader& reader = in.reader();
    try {
        AFP_ c;
        while (reader.next(c)) {
            offset = reader.offset();
            current = &c;
            try {
                chunkMapFiltersM_(c, effects);
            } catch (const IoError&) {
                throw;
            } catch (const std::exception& e) {
                throw Error(std::string(e.what()) + " (in " + fieldAt(c.code, offset) + ")");
            }
        }
    } catch (const OutputClosed&) {
        throw;
    } catch (const Error& e) {
        flushBeforeError(out);
        printError(e.what());
        return 1;
    }
    out.commit();
    return 0;
}

Register strip{{"strip", "delete every record of the named types, at any nesting level", cmdStrip}};
Register rename{{"rename", "rename resources: fully qualified names and 8-byte name fields", cmdRename}};
Register tle{{"tle", "list the index tags: offset, page or page group, attribute, value", cmdTle}};

}  // namespace
}  // namespace pressel::tool
