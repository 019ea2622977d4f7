// Commands over the chunk layer: copying a stream and listing its fields.
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
    std::string line;
    bool first = true;
    try {
        for (auto it = in.begin(); it != in.end(); ++it) {
            if (first && !quiet) std::fprintf(stderr, "framing: %s\n", framingName(in.reader().framing()));
            first = false;
            const AFP_& c = *it;
            line.clear();
            line += std::to_string(it.offset());
            line += '\t';
            line += zeropad(3, c.code);
            line += '\t';
            line += chunkType(c).name();
            line += '\t';
            line += std::to_string(c.payload.size() + 2);
            line += '\n';
            out.append(line);
        }
    } catch (const Error&) {
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
