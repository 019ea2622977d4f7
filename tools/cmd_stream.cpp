// Commands over the chunk layer: copying a stream and listing its fields.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string_view>
#include <vector>

#include "command.hpp"
#include "pressel/core/decimal.hpp"
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
    // Lines are written in place into a block (numbers with writeDecimal, the
    // identifier through a digit table, the type name as a fixed-size copy)
    // and handed to the output 64 KiB at a time.
    constexpr std::size_t kHandOn = std::size_t(1) << 16, kLine = 128;
    std::vector<char> block(kHandOn + kLine);
    std::size_t used = 0;
    auto handOn = [&] {
        const std::size_t n = used;
        used = 0;  // handed on once, even when the output fails
        out.append(block.data(), n);
    };
    static const char hexDigits[] = "0123456789ABCDEF";
    // Record type names padded to a fixed size, filled the first time a
    // type is met; a name too long for the pad is appended as it is.
    struct Name {
        char text[24];
        std::uint8_t len = 0;
    };
    std::vector<Name> names(idx_tableTypes);
    bool first = true;
    try {
        for (auto it = in.begin(); it != in.end(); ++it) {
            if (first && !quiet) std::fprintf(stderr, "framing: %s\n", framingName(in.reader().framing()));
            first = false;
            const AFP_& c = *it;
            char* const line = block.data() + used;
            char* q = writeDecimal(line, std::uint64_t(it.offset()));
            *q++ = '\t';
            for (int shift = 20; shift >= 0; shift -= 4) *q++ = hexDigits[(c.code >> shift) & 15];
            *q++ = '\t';
            const TypeId t = chunkType(c).id;
            Name* nm = t->index < names.size() ? &names[t->index] : nullptr;
            if (nm && nm->len == 0) {
                const std::size_t n = std::strlen(t->name);
                if (n > 0 && n <= sizeof nm->text) {
                    std::memcpy(nm->text, t->name, n);
                    nm->len = std::uint8_t(n);
                }
            }
            if (nm && nm->len) {
                std::memcpy(q, nm->text, sizeof nm->text);
                q += nm->len;
            } else {
                // Not padded: the line so far goes out first, the name after it.
                used = std::size_t(q - block.data());
                handOn();
                out.append(t->name, std::strlen(t->name));
                q = block.data();
            }
            *q++ = '\t';
            q = writeDecimal(q, std::uint64_t(c.payload.size() + 2));
            *q++ = '\n';
            used = std::size_t(q - block.data());
            if (used >= kHandOn) handOn();
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
