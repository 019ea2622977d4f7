// pressel text: the text of a stream as its pages show it, page by page
// (each page ends with a form feed), lines in reading order; or its words
// with their boxes as JSON Lines.
#include <cstdio>

#include "command.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/page/page.hpp"
#include "pressel/page/page_text.hpp"

namespace pressel::tool {
namespace {

const CommandSpec textSpec{
    "text",
    "FILE",
    {
        {"p", {"page"}, ReqArg{"N"}, "print only page N (the first page is 1)"},
        {"", {"layout"}, NoArg{}, "keep the page's columns and vertical gaps"},
        {"", {"json"}, NoArg{}, "one JSON object per word: page, box in points from the top-left, font, size, colour, text"},
        {"", {"codepage"}, ReqArg{"N"}, "read the text of every font in code page N"},
        {"", {"resources"}, ReqArg{"DIR"}, "find overlays and page segments that the stream lacks in DIR"},
        {"", {"latin1"}, NoArg{}, "write Latin-1 (double-byte text as code page 950) instead of UTF-8"},
        {"", {"dbcs"}, NoArg{}, "write double-byte text as code page 950 bytes"},
        {"", {"utf8"}, NoArg{}, "write UTF-8 (the default)"},
        quietOption(),
    },
    1,
    1,
};

unsigned positiveNumber(const std::string& option, const std::string& s) {
    std::size_t used = 0;
    long n = 0;
    try {
        n = std::stol(s, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != s.size() || s.empty() || n < 1 || n > 0xFFFFFF)
        throw Error("--" + option + " needs a number of 1 or more: '" + s + "'");
    return unsigned(n);
}

void jsonWords(std::string& out, const Page& page) {
    char buf[256];
    for (const PageWord& w : pageWords(page)) {
        std::snprintf(buf, sizeof buf, "{\"page\":%d,\"x\":%.3f,\"y\":%.3f,\"width\":%.3f,\"height\":%.3f,\"rotation\":%d,",
                      page.number, w.x, w.y, w.width, w.height, w.rotation);
        out += buf;
        out += "\"font\":";
        writeJsonString(out, w.font);
        std::snprintf(buf, sizeof buf, ",\"size\":%g,\"color\":\"#%06X\",\"text\":", w.size, unsigned(w.color));
        out += buf;
        writeJsonString(out, w.text);
        out += "}\n";
    }
}

int cmdText(const std::vector<std::string>& argv) {
    ParsedArgs p = parseCommandArgs(textSpec, argv);
    int wanted = p.has("page") ? int(positiveNumber("page", p.get("page"))) : 0;
    bool json = p.has("json");
    PageTextOptions textOptions;
    textOptions.layout = p.has("layout");
    textOptions.latin1 = p.has("latin1");
    textOptions.dbcs950 = p.has("dbcs");
    if (json && (textOptions.layout || textOptions.latin1 || textOptions.dbcs950))
        throw Error("--json writes UTF-8 words: it excludes --layout, --latin1 and --dbcs");
    if (textOptions.latin1 && p.has("utf8")) throw Error("--latin1 and --utf8 exclude each other");
    PageOptions pageOptions;
    if (p.has("codepage")) pageOptions.codePage = positiveNumber("codepage", p.get("codepage"));
    if (p.has("resources")) pageOptions.resourceDir = p.get("resources");
    pageOptions.warn = [](const std::string& w) { std::fprintf(stderr, "*** Warning: %s\n", w.c_str()); };

    AfpStream in = readAFP(p.operands[0]);
    StreamWalk walk(in.reader(), p.has("quiet"));
    PageInterpreter pages(pageOptions);
    OutputFile stdOut("-");
    std::string out;
    auto flush = [&] {
        stdOut.append(out);
        out.clear();
    };
    try {
        for (const AFP_& c : in) {
            walk.step(c.code);
            if (pages.feed(c) && (wanted == 0 || pages.page().number == wanted)) {
                if (json) jsonWords(out, pages.page());
                else appendPageText(out, pages.page(), textOptions);
                if (out.size() >= (1u << 16)) flush();
            }
            if (wanted > 0 && pages.pages() > wanted) break;
        }
    } catch (const OutputClosed&) {
        walk.abort();
        throw;
    } catch (const Error& e) {
        walk.abort();
        flush();
        flushBeforeError(stdOut);
        printError(e.what());
        return 1;
    }
    flush();
    stdOut.commit();
    walk.done();
    if (wanted > pages.pages()) {
        printError("no page " + std::to_string(wanted) + ": the stream has " + std::to_string(pages.pages()) +
                   (pages.pages() == 1 ? " page" : " pages"));
        return 1;
    }
    return 0;
}

Register textCommand{{"text", "print the text of a stream in reading order, page by page", cmdText}};

}  // namespace
}  // namespace pressel::tool
