// pressel dump: every structured field decoded as its record, in one of
// four forms.
//
//   (default) the annotated form: a header line per structured field
//             (offset, identifier, record type, its name, length) and its
//             fields below it, names as text, enumerations named, triplets
//             and control sequences one per line (dump.hpp)
//   --show    "OFFSET: TEXT", the record's text form, one line per field
//   --view    a header line per structured field (offset, identifier,
//             record type, length) and its view, one line per record field
//   --json    the same views as JSON Lines, one object per structured field,
//             with the names of the records and the text of the text
//             control sequences beside the raw values
//
// A structured field whose payload does not decode is shown with its raw
// bytes and the error, and the dump goes on; the command then ends with
// "*** Error: N records failed to decode" and status 1. A stream that stops
// framing is dumped up to that point, then reported with its offset (status 1).
#include <charconv>
#include <cstdio>
#include <set>
#include <sstream>
#include <unordered_map>

#include "command.hpp"
#include "pressel/core/decimal.hpp"
#include "pressel/catalogue.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/records/core.hpp"
#include "pressel/view/dump.hpp"
#include "pressel/view.hpp"

namespace pressel::tool {
namespace {

const CommandSpec dumpSpec{
    "dump",
    "FILE",
    {
        {"", {"show"}, NoArg{}, "show each record in the library's text form, one line per field"},
        {"", {"view"}, NoArg{}, "show each record through its view: one line per field"},
        {"", {"json"}, NoArg{}, "show each record's view as one JSON object per line"},
        {"t", {"type"}, ReqArg{"T"},
         "dump only records of type T (a record type name such as BPG or PTX);\n"
         "repeat the option or give a comma-separated list"},
        quietOption(),
    },
    1,
    1,
};

enum class Form { Annotated, Plain, View, Json };

// The record types named by the --type options; empty for all.
std::set<TypeId> typeFilter(const ParsedArgs& p) {
    std::set<TypeId> types;
    auto it = p.opts.find("type");
    if (it == p.opts.end()) return types;
    for (const std::string& value : it->second) {
        std::stringstream ss(value);
        std::string name;
        while (std::getline(ss, name, ',')) {
            if (name.empty()) continue;
            TypeId t = tableTypeByName(name);
            if (!t || t->family != Family::AFP) throw Error("unknown structured-field record type: '" + name + "'");
            types.insert(t);
        }
    }
    return types;
}

class Dumper {
public:
    Dumper(Form form, OutputFile& out) : form_(form), out_(out) {}

    void dump(std::uint64_t offset, const AFP_& c) {
        line_.clear();
        TypeId type = chunkType(c).id;
        const Bytes& bytes = packChunk(c);
        try {
            switch (form_) {
            case Form::Annotated: annotateField(line_, state_, offset, c); break;
            case Form::Plain: plain(offset, type, bytes); break;
            case Form::View: view(offset, c, type, bytes); break;
            case Form::Json: json(offset, c, type, bytes); break;
            }
        } catch (const Error& e) {
            ++failed_;
            line_.clear();
            failure(offset, c, type, e.what());
        }
        out_.append(line_);
    }

    // Every structured field of the stream, dumped or not: the fonts the
    // maps assign decide how text reads (in the annotated form and JSON; the
    // text form and the view lines show no text through a font).
    void observe(const AFP_& c) {
        if (form_ == Form::Annotated || form_ == Form::Json) state_.observe(c);
    }

    std::uint64_t failed() const noexcept { return failed_; }

private:
    void plain(std::uint64_t offset, TypeId type, const Bytes& bytes) {
        line_ += std::to_string(offset);
        line_ += ": ";
        recordOps(type).show(line_, 0, bytes);
        line_ += '\n';
    }

    // What the header and JSON opening of a structured field say of its
    // identifier, made once per identifier:
    //   ": D3A8AF BPG length "
    //   ","id":"D3A8AF","type":"BPG","name":"Begin Page","length":"
    struct Heads {
        std::string view;
        std::string json;
    };
    const Heads& heads(const AFP_& c, TypeId type) {
        if (c.code == lastCode_ && lastHeads_) return *lastHeads_;
        auto [it, added] = heads_.try_emplace(c.code);
        Heads& h = it->second;
        if (added) {
            h.view = ": ";
            h.view += zeropad(3, c.code);
            h.view += ' ';
            h.view += type->name;
            h.view += " length ";
            h.json = ",\"id\":\"";
            h.json += zeropad(3, c.code);
            h.json += "\",\"type\":";
            appendJsonString(h.json, type->name);
            if (const char* name = structuredFieldName(c.code)) {
                h.json += ",\"name\":";
                appendJsonString(h.json, name);
            }
            h.json += ",\"length\":";
        }
        lastCode_ = c.code;
        lastHeads_ = &h;
        return h;
    }

    void number(std::uint64_t v) {
        char buf[24];
        line_.append(buf, std::size_t(writeDecimal(buf, v) - buf));
    }

    void header(std::uint64_t offset, const AFP_& c, TypeId type) {
        number(offset);
        line_ += heads(c, type).view;
        number(c.payload.size() + 2);
        line_ += '\n';
    }

    // The record is rendered straight from its decoding, after the header;
    // a record that does not decode throws before its fields are written,
    // and the failure replaces the line.
    void view(std::uint64_t offset, const AFP_& c, TypeId type, const Bytes& bytes) {
        header(offset, c, type);
        // The lines of a record depend on its bytes alone.
        if (const std::string* lines = memo_.find(type, c)) {
            line_ += *lines;
            return;
        }
        const std::size_t mark = line_.size();
        renderRecordLines(line_, type, bytes, 2);
        memo_.keep(type, c, std::string_view(line_).substr(mark), false);
    }

    void jsonHead(std::uint64_t offset, const AFP_& c, TypeId type) {
        line_ += "{\"offset\":";
        number(offset);
        line_ += heads(c, type).json;
        number(c.payload.size() + 2);
    }

    void json(std::uint64_t offset, const AFP_& c, TypeId type, const Bytes& bytes) {
        jsonHead(offset, c, type);
        line_ += ",\"fields\":";
        // The fields depend on the bytes alone unless they show text
        // through the selected font or select one.
        if (const std::string* fields = memo_.find(type, c)) {
            line_ += *fields;
            return;
        }
        const std::size_t mark = line_.size();
        const std::uint64_t uses = state_.uses();
        renderRecordJsonFields(line_, type, bytes, &state_);
        line_ += "}\n";
        memo_.keep(type, c, std::string_view(line_).substr(mark), state_.uses() != uses);
    }

    // The raw bytes of a structured field that does not decode, and why.
    void failure(std::uint64_t offset, const AFP_& c, TypeId type, const std::string& message) {
        switch (form_) {
        case Form::Annotated:
            header(offset, c, type);
            line_ += "  *** ";
            line_ += message;
            line_ += "\n  raw: X'";
            line_ += hexString(c.payload.span());
            line_ += "'\n";
            break;
        case Form::Plain:
            line_ += std::to_string(offset);
            line_ += ": ";
            showsPrec(line_, 0, c);
            line_ += " *** ";
            line_ += message;
            line_ += '\n';
            break;
        case Form::View:
            header(offset, c, type);
            line_ += "  *** ";
            line_ += message;
            line_ += "\n  raw: X'";
            line_ += hexString(c.payload.span());
            line_ += "'\n";
            break;
        case Form::Json:
            jsonHead(offset, c, type);
            line_ += ",\"error\":";
            appendJsonString(line_, message);
            line_ += ",\"raw\":\"";
            line_ += hexString(c.payload.span());
            line_ += "\"}\n";
            break;
        }
    }

    Form form_;
    OutputFile& out_;
    std::string line_;
    std::unordered_map<std::uint32_t, Heads> heads_;
    std::uint32_t lastCode_ = 0;
    const Heads* lastHeads_ = nullptr;
    DumpState state_;
    FieldMemo memo_;
    std::uint64_t failed_ = 0;
};

int cmdDump(const std::vector<std::string>& argv) {
    ParsedArgs p = parseCommandArgs(dumpSpec, argv);
    if (int(p.has("view")) + int(p.has("json")) + int(p.has("show")) > 1)
        throw Error("--show, --view and --json exclude each other");
    Form form = p.has("json")   ? Form::Json
                : p.has("view") ? Form::View
                : p.has("show") ? Form::Plain
                                : Form::Annotated;
    std::set<TypeId> only = typeFilter(p);

    AfpStream in = readAFP(p.operands[0]);
    StreamWalk walk(in.reader(), p.has("quiet"));
    OutputFile out("-");
    Dumper dumper(form, out);
    // Font and code page indexes are decoded with the group lengths their
    // control records declare.
    DecodeContext lengths;
    DecodeScope scope(lengths);
    try {
        for (auto it = in.begin(); it != in.end(); ++it) {
            walk.step(it->code);
            lengths.observe(*it);
            dumper.observe(*it);
            if (!only.empty() && !only.count(chunkType(*it).id)) continue;
            dumper.dump(it.offset(), *it);
        }
    } catch (const OutputClosed&) {
        walk.abort();
        throw;
    } catch (const Error& e) {
        walk.abort();
        flushBeforeError(out);
        printError(e.what());
        return 1;
    }
    out.commit();
    walk.done();
    if (dumper.failed() > 0) {
        printError(std::to_string(dumper.failed()) + (dumper.failed() == 1 ? " record" : " records") +
                   " failed to decode");
        return 1;
    }
    return 0;
}

Register dump{{"dump", "print every structured field as its record: annotated, text form, view or JSON", cmdDump}};

}  // namespace
}  // namespace pressel::tool
