// Commands over the chunk layer: copying a stream and listing its fields.
#include <sys/stat.h>

#include <cstdio>
#include <iostream>

#include "command.hpp"
#include "pressel/io.hpp"

namespace pressel::tool {
namespace {

// Refuses to truncate the input by writing over it.
void checkDistinct(const std::string& in, const std::string& out) {
    if (in == "-" || out == "-") return;
    struct stat a{}, b{};
    if (::stat(in.c_str(), &a) == 0 && ::stat(out.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino)
        throw Error("input and output are the same file: '" + out + "'");
}

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
    checkDistinct(args[0], args[1]);
    AfpStream in = readAFP(args[0]);
    AfpReader& reader = in.reader();
    AfpWriter out(args[1]);
    Progress progress(!quiet, reader.source().size());
    Summary summary;
    try {
        for (const AFP_& c : in) {
            if (normalize) out.write(c);
            else out.writeSlice(reader.rawRef());
            summary.count(c.code, reader.consumed());
            progress.update(reader.consumed());
        }
        out.close();
    } catch (const std::exception& e) {
        progress.finish();
        std::uint64_t n = out.bytesWritten();
        try {
            out.close();
        } catch (...) {
        }
        printError(std::string(e.what()) + " (" + std::to_string(n) + " bytes written before the failure)");
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
    std::string line;
    bool first = true;
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
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    std::fflush(stdout);
    return 0;
}

Register cat{{"cat", "copy a stream through the chunk layer, byte for byte", cmdCat}};
Register chunks{{"chunks", "list the structured fields: offset, identifier, record type, length", cmdChunks}};

}  // namespace
}  // namespace pressel::tool
