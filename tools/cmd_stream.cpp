// Commands over the chunk layer: copying a stream and listing its fields.
#include <charconv>
#include <cstdio>
#include <iostream>

#include "command.hpp"
#include "pressel/stream/io.hpp"

namespace pressel::tool {
namespace {

const CommandSpec catSpec{
    "cat",
    "IN OUT",
    {{"n", {"normalize"}, NoArg{}, "write clean X'5A' framing, whatever the input's framing\n(by default the file's own framing is kept byte for byte)"},
     quietOption()},
    2,
    2};
const CommandSpec chunksSpec{"chunks", "FILE", {quietOption()}, 1, 1};

int cmdCat(const std::vector<std::string>& argv) {
    ParsedArgs p = parseCommandArgs(catSpec, argv);
    const auto& args = p.operands;
    bool normalize = p.has("normalize"), quiet = p.has("quiet");
    // The input first: a failure to open it leaves the output alone, and the
    // output is refused if it is the input.
    AfpStream in = readAFP(args[0]);
    AfpReader& reader = in.reader();
    AfpWriter out(args[1]);
    Progress progress(!quiet, reader.source().size());
    Summary summary;
    try {
        // The stream's own framing is copied as it is read, line ends and
        // descriptor words included.
        if (!normalize) reader.copyRawTo(&out);
        for (const AFP_& c : in) {
            if (normalize) out.write(c);
            summary.count(c.code, reader.consumed());
            progress.update(reader.consumed());
        }
        reader.copyRawTo(nullptr);
        out.close();
    } catch (const OutputClosed&) {
        throw;
    } catch (const std::exception& e) {
        reader.copyRawTo(nullptr);
        progress.finish();
        std::string tail = abandonOutput(out, reader.consumed());
        printError(std::string(e.what()) + tail);
        return 1;
    }
    progress.finish();
    summary.print(quiet);
    return 0;
}

int cmdChunks(const std::vector<std::string>& argv) {
    ParsedArgs p = parseCommandArgs(chunksSpec, argv);
    bool quiet = p.has("quiet");
    AfpStream in = readAFP(p.operands[0]);
    OutputFile out("-");
    // Lines are gathered in a block and handed to the output 64 KiB at a time;
    // the numbers are written in place (no string per number).
    std::string block;
    auto handOn = [&] {
        std::string full;
        full.swap(block);  // handed on once, even when the output fails
        block.reserve(std::size_t(1) << 17);
        out.append(full);
    };
    block.reserve(std::size_t(1) << 17);
    static const char hexDigits[] = "0123456789ABCDEF";
    bool first = true;
    try {
        for (auto it = in.begin(); it != in.end(); ++it) {
            if (first && !quiet) std::fprintf(stderr, "framing: %s\n", framingName(in.reader().framing()));
            first = false;
            const AFP_& c = *it;
            char buf[48];
            char* q = std::to_chars(buf, buf + 24, it.offset()).ptr;
            *q++ = '\t';
            for (int shift = 20; shift >= 0; shift -= 4) *q++ = hexDigits[(c.code >> shift) & 15];
            *q++ = '\t';
            block.append(buf, q);
            block += chunkType(c).name();
            q = buf;
            *q++ = '\t';
            q = std::to_chars(q, buf + sizeof buf - 1, c.payload.size() + 2).ptr;
            *q++ = '\n';
            block.append(buf, q);
            if (block.size() >= (std::size_t(1) << 16)) handOn();
        }
        handOn();
    } catch (const Error&) {
        try {
            handOn();
        } catch (...) {
        }
        flushBeforeError(out);
        throw;
    }
    out.commit();
    return 0;
}

Register cat{{"cat", "copy a stream through the chunk layer, byte for byte", cmdCat}};
Register chunks{{"chunks", "list the structured fields: offset, identifier, record type, length", cmdChunks}};

}  // namespace
}  // namespace pressel::tool
