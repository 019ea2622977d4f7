// Command-line support: program arguments, usage texts, option parsing,
// name packing and the bitmap width check.
#include "pressel/tool/cli.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace pressel {

namespace {

struct ProgramState {
    std::string name = "pressel";
    std::vector<std::string> args;
};

ProgramState& state() {
    static ProgramState s;
    return s;
}

std::string baseName(std::string_view path) {
#ifdef _WIN32
    const auto slash = path.find_last_of("/\\");
#else
    const auto slash = path.find_last_of('/');
#endif
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// Writes text to a standard stream and flushes it, so that it is out before
// the process ends whatever the stream's buffering and synchronisation.
void writeAll(std::ostream& os, const std::string& text) {
    os << text;
    os.flush();
}

// Display width of a column entry: UTF-8 code points, so that a non-ASCII
// placeholder does not throw the columns out of line.
std::size_t displayWidth(std::string_view s) {
    return static_cast<std::size_t>(
        std::count_if(s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

void padTo(std::string& out, std::string_view s, std::size_t width) {
    out += s;
    const std::size_t w = displayWidth(s);
    if (w < width) out.append(width - w, ' ');
}

// Splits at '\n'; a final '\n' ends the last line instead of opening an
// empty one. "" gives no lines.
std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto nl = text.find('\n');
        if (nl == std::string_view::npos) {
            lines.push_back(text);
            break;
        }
        lines.push_back(text.substr(0, nl));
        text.remove_prefix(nl + 1);
    }
    return lines;
}

std::string shortColumn(const OptDescr& o) {
    std::string col;
    for (const char c : o.shortOpts) {
        if (!col.empty()) col += ", ";
        col += '-';
        col += c;
        if (const auto* r = std::get_if<ReqArg>(&o.arg)) {
            col += ' ';
            col += r->placeholder;
        } else if (const auto* p = std::get_if<OptArg>(&o.arg)) {
            col += '[';
            col += p->placeholder;
            col += ']';
        }
    }
    return col;
}

std::string longColumn(const OptDescr& o) {
    std::string col;
    for (const auto& name : o.longOpts) {
        if (!col.empty()) col += ", ";
        col += "--";
        col += name;
        if (const auto* r = std::get_if<ReqArg>(&o.arg)) {
            col += '=';
            col += r->placeholder;
        } else if (const auto* p = std::get_if<OptArg>(&o.arg)) {
            col += "[=";
            col += p->placeholder;
            col += ']';
        }
    }
    return col;
}

std::string optionKey(const OptDescr& o) {
    if (!o.longOpts.empty()) return o.longOpts.front();
    return std::string(1, o.shortOpts.front());
}

} // namespace

// ---------------------------------------------------------------------------

void setProgramArgs(int argc, char** argv) {
    auto& s = state();
    s.args.clear();
    if (argc < 1 || argv == nullptr) return;
    if (argv[0] != nullptr) s.name = baseName(argv[0]);
    for (int i = 1; i < argc; ++i)
        if (argv[i] != nullptr) s.args.emplace_back(argv[i]);
}

void setProgramName(std::string name) { state().name = std::move(name); }

const std::string& programName() { return state().name; }

const std::vector<std::string>& programArgs() { return state().args; }

std::string readArgsUsageText(std::string_view prog) {
    std::string text = "Usage: ";
    text += prog;
    text += readArgsSuffix;
    text += '\n';
    return text;
}

std::vector<std::string> readArgs(int n) {
    const auto& args = programArgs();
    if (static_cast<long long>(args.size()) < static_cast<long long>(n)) {
        writeAll(std::cout, readArgsUsageText(programName()));
        std::exit(1);
    }
    return args;
}

// ---------------------------------------------------------------------------

std::string usageInfo(std::string_view header, const std::vector<OptDescr>& options) {
    struct Row {
        std::string shortCol, longCol;
        std::string_view text;
    };
    std::vector<Row> rows;
    for (const auto& o : options) {
        const auto lines = splitLines(o.description);
        rows.push_back({shortColumn(o), longColumn(o), lines.empty() ? std::string_view{} : lines.front()});
        for (std::size_t i = 1; i < lines.size(); ++i) rows.push_back({{}, {}, lines[i]});
    }

    std::size_t shortWidth = 0, longWidth = 0;
    for (const auto& r : rows) {
        shortWidth = std::max(shortWidth, displayWidth(r.shortCol));
        longWidth = std::max(longWidth, displayWidth(r.longCol));
    }

    std::string out(header);
    out += '\n';
    for (const auto& r : rows) {
        out += "  ";
        padTo(out, r.shortCol, shortWidth);
        out += "  ";
        padTo(out, r.longCol, longWidth);
        out += "  ";
        out += r.text;
        out += '\n';
    }
    return out;
}

std::string usageText(const std::vector<OptDescr>& options, const UsageHeader& header, const std::string& prog) {
    std::string head = header(prog);
    head += usageHeaderSuffix;
    std::string text = usageInfo(head, options);
    text += '\n';
    return text;
}

std::string errorText(const std::vector<OptDescr>& options, const UsageHeader& header, const std::string& prog,
                      const std::string& err) {
    return "*** Error: " + err + "\n\n" + usageText(options, header, prog);
}

void showUsage(const std::vector<OptDescr>& options, const UsageHeader& header, const std::string& err) {
    const std::string& prog = programName();
    if (err.empty()) {
        writeAll(std::cout, usageText(options, header, prog));
        std::exit(0);
    }
    // Anything already written to standard output goes out before the banner.
    std::cout.flush();
    writeAll(std::cerr, errorText(options, header, prog, err));
    std::exit(1);
}

// ---------------------------------------------------------------------------

bool ParsedArgs::has(const std::string& name) const { return opts.contains(name); }

std::string ParsedArgs::get(const std::string& name, const std::string& def) const {
    const auto it = opts.find(name);
    if (it == opts.end() || it->second.empty()) return def;
    return it->second.back();
}

ParsedArgs parseArgs(const std::vector<OptDescr>& options, const std::vector<std::string>& args) {
    ParsedArgs parsed;
    std::size_t i = 0;

    const auto findLong = [&](std::string_view name) -> const OptDescr* {
        for (const auto& o : options)
            if (std::find(o.longOpts.begin(), o.longOpts.end(), name) != o.longOpts.end()) return &o;
        return nullptr;
    };
    const auto findShort = [&](char c) -> const OptDescr* {
        for (const auto& o : options)
            if (o.shortOpts.find(c) != std::string::npos) return &o;
        return nullptr;
    };
    const auto record = [&](const OptDescr& o, std::string value) {
        parsed.opts[optionKey(o)].push_back(std::move(value));
    };

    bool optionsEnded = false;
    while (i < args.size()) {
        const std::string& a = args[i++];
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            parsed.operands.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }

        if (a[1] == '-') {
            const std::string_view body = std::string_view(a).substr(2);
            const auto eq = body.find('=');
            const std::string spelled = "--" + std::string(body.substr(0, eq));
            const OptDescr* o = findLong(body.substr(0, eq));
            if (o == nullptr) throw UsageError("unrecognized option `" + spelled + "'");
            const bool attached = eq != std::string_view::npos;
            const std::string value = attached ? std::string(body.substr(eq + 1)) : std::string();
            if (std::holds_alternative<NoArg>(o->arg)) {
                if (attached) throw UsageError("option `" + spelled + "' doesn't allow an argument");
                record(*o, "");
            } else if (std::holds_alternative<ReqArg>(o->arg)) {
                if (attached) {
                    record(*o, value);
                } else {
                    if (i == args.size()) throw UsageError("option `" + spelled + "' requires an argument");
                    record(*o, args[i++]);
                }
            } else {
                record(*o, value);
            }
            continue;
        }

        // A cluster of short options: flags until one that takes an argument,
        // which consumes the rest of the cluster.
        for (std::size_t j = 1; j < a.size(); ++j) {
            const char c = a[j];
            const std::string spelled = std::string("-") + c;
            const OptDescr* o = findShort(c);
            if (o == nullptr) throw UsageError("unrecognized option `" + spelled + "'");
            if (std::holds_alternative<NoArg>(o->arg)) {
                record(*o, "");
                continue;
            }
            std::string rest = a.substr(j + 1);
            if (std::holds_alternative<ReqArg>(o->arg) && rest.empty()) {
                if (i == args.size()) throw UsageError("option `" + spelled + "' requires an argument");
                rest = args[i++];
            }
            record(*o, std::move(rest));
            break;
        }
    }
    return parsed;
}

// ---------------------------------------------------------------------------

std::vector<std::uint8_t> PackName8::operator()(std::string_view name, int n) const {
    if (n < 0) throw Error("packName8: negative length " + std::to_string(n));
    const auto size = static_cast<std::size_t>(n);
    if (name.size() > size)
        throw Error("packName8: name \"" + std::string(name) + "\" is " + std::to_string(name.size()) +
                    " bytes, longer than " + std::to_string(n));
    std::vector<std::uint8_t> bytes;
    bytes.reserve(size);
    for (const char c : name) {
        const auto b = static_cast<std::uint8_t>(c);
        bytes.push_back(map ? map(b) : b);
    }
    bytes.resize(size, pad);
    return bytes;
}

namespace detail {

void checkBitmapWidth(int width) {
    if (width <= 0) throw Error("showBitmap: row width must be positive, got " + std::to_string(width));
}

} // namespace detail

} // namespace pressel
