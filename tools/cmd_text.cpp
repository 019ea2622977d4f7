// pressel text: the text of a stream, page by page (a form feed between
// pages, a line per baseline).
#include <cstdio>

#include "command.hpp"
#include "pressel/io.hpp"
#include "pressel/text.hpp"

namespace pressel::tool {
namespace {

const CommandSpec textSpec{
    "text",
    "FILE",
    {
        {"p", {"page"}, ReqArg{"N"}, "print only page N (the first page is 1)"},
        {"", {"utf8"}, NoArg{}, "write UTF-8 (default: Latin-1, and code page 950 for double-byte text)"},
        {"", {"dbcs"}, NoArg{}, "read the text of every font as double-byte code page 835"},
        quietOption(),
    },
    1,
    1,
};

int pageNumber(const std::string& s) {
    std::size_t used = 0;
    int n = 0;
    try {
        n = std::stoi(s, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != s.size() || s.empty() || n < 1) throw Error("--page needs a page number of 1 or more: '" + s + "'");
    return n;
}

int cmdText(const std::vector<std::string>& argv) {
    ParsedArgs p = parseCommandArgs(textSpec, argv);
    TextOptions options;
    if (p.has("page")) options.page = pageNumber(p.get("page"));
    options.utf8 = p.has("utf8");
    options.dbcs = p.has("dbcs");

    AfpStream in = readAFP(p.operands[0]);
    StreamWalk walk(in.reader(), p.has("quiet"));
    TextExtractor text(options);
    OutputFile stdOut("-");
    std::string out;
    auto flush = [&] {
        stdOut.append(out);
        out.clear();
    };
    try {
        for (const AFP_& c : in) {
            walk.step(c.code);
            text.feed(c, out);
            if (out.size() >= (1u << 16)) flush();
            if (options.page > 0 && text.pages() > options.page) break;
        }
    } catch (const OutputClosed&) {
        walk.abort();
        throw;
    } catch (const Error& e) {
        walk.abort();
        text.finish(out);
        flush();
        flushBeforeError(stdOut);
        printError(e.what());
        return 1;
    }
    text.finish(out);
    flush();
    stdOut.commit();
    walk.done();
    if (options.page > text.pages()) {
        printError("no page " + std::to_string(options.page) + ": the stream has " + std::to_string(text.pages()) +
                   (text.pages() == 1 ? " page" : " pages"));
        return 1;
    }
    return 0;
}

Register textCommand{{"text", "print the text of a stream, page by page", cmdText}};

}  // namespace
}  // namespace pressel::tool
