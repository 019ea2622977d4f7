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

const CommandSpec catSpec{"cat", "IN OUT", {}, 2, 2};
const CommandSpec chunksSpec{"chunks", "FILE", {}, 1, 1};

int cmdCat(const std::vector<std::string>& argv) {
    std::vector<std::string> args = parseCommandArgs(catSpec, argv).operands;
    checkDistinct(args[0], args[1]);
    AfpStream in = readAFP(args[0]);
    AfpWriter out(args[1]);
    try {
        for (const AFP_& c : in) out.write(c);
        out.close();
    } catch (const std::exception& e) {
        std::uint64_t n = out.bytesWritten();
        try {
            out.close();
        } catch (...) {
        }
        printError(std::string(e.what()) + " (" + std::to_string(n) + " bytes written before the failure)");
        return 1;
    }
    return 0;
}

int cmdChunks(const std::vector<std::string>& argv) {
    std::vector<std::string> args = parseCommandArgs(chunksSpec, argv).operands;
    AfpStream in = readAFP(args[0]);
    std::string line;
    for (auto it = in.begin(); it != in.end(); ++it) {
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
