// Commands on the document structure of a print file: info, split, select, merge.
#include <cstdio>
#include <string>
#include <vector>

#include "command.hpp"
#include "pressel/rewrite/document.hpp"
#include "pressel/core/error.hpp"

namespace pressel::tool {
namespace {

// Standard output of the command: every write checked (a full disk is an
// error, a closed pipe ends the command quietly).
OutputFile* gOut = nullptr;
void put(const std::string& s) { gOut->append(s); }

std::string hex6(std::uint32_t code) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%06X", code);
    return buf;
}

std::string typeName(std::uint32_t code) {
    const char* n = afpTypeOf(code)->name;
    return std::string(n) == "Unknown" ? hex6(code) : n;
}

// ---- info ---------------------------------------------------------------------------
const CommandSpec infoSpec{"info", "FILE", {{"j", {"json"}, NoArg{}, "print one JSON object"}}, 1, 1};

int cmdInfo(const std::vector<std::string>& argv) {
    ParsedArgs p = parseCommandArgs(infoSpec, argv);
    const bool json = p.has("json");
    const std::string& path = p.operands[0];
    // Page groups are printed as they end, so that a stream of millions of
    // them needs no memory for the list.
    bool firstGroup = true;
    std::string line;
    OutputFile out("-");
    gOut = &out;
    if (json) {
        line = "{\"file\":";
        writeJsonString(line, path);
        put(line + ",\"pageGroupList\":[");
    }
    auto onGroup = [&](const PageGroupInfo& g) {
        line.clear();
        if (json) {
            line += firstGroup ? "" : ",";
            line += "{\"name\":";
            writeJsonString(line, g.name);
            line += ",\"level\":" + std::to_string(g.level) + ",\"offset\":" + std::to_string(g.offset) +
                    ",\"pages\":" + std::to_string(g.pages) + ",\"tles\":{";
            for (std::size_t i = 0; i < g.tles.size(); ++i) {
                if (i) line += ',';
                writeJsonString(line, g.tles[i].first);
                line += ':';
                writeJsonString(line, g.tles[i].second);
            }
            line += "}}";
        } else {
            line += "group\t" + std::string(g.level > 1 ? std::string(2 * (g.level - 1), ' ') : "") + g.name + "\t" +
                    std::to_string(g.pages) + (g.pages == 1 ? " page" : " pages");
            for (const auto& t : g.tles) line += "\t" + t.first + "=" + t.second;
            line += '\n';
        }
        firstGroup = false;
        put(line);
    };
    StreamInfo info = streamInfo(openSource(path), onGroup);
    line.clear();
    if (json) {
        line += "],\"framing\":\"" + std::string(framingName(info.framing)) + "\"";
        line += ",\"bytes\":" + std::to_string(info.bytes) + ",\"fields\":" + std::to_string(info.fields);
        line += ",\"documents\":" + std::to_string(info.documents) + ",\"documentNames\":[";
        for (std::size_t i = 0; i < info.documentNames.size(); ++i) {
            if (i) line += ',';
            writeJsonString(line, info.documentNames[i]);
        }
        line += "],\"pageGroups\":" + std::to_string(info.pageGroups) + ",\"pages\":" + std::to_string(info.pages) +
                ",\"tles\":" + std::to_string(info.tles) + ",\"pageSizes\":{";
        bool first = true;
        for (const auto& [s, n] : info.pageSizes) {
            line += first ? "" : ",";
            first = false;
            writeJsonString(line, s);
            line += ':';
            line += std::to_string(n);
        }
        line += "},\"resources\":[";
        for (std::size_t i = 0; i < info.resources.size(); ++i) {
            line += i ? ",{\"kind\":" : "{\"kind\":";
            writeJsonString(line, resourceKindName(info.resources[i].first));
            line += ",\"name\":";
            writeJsonString(line, info.resources[i].second);
            line += "}";
        }
        auto names = [&](const char* key, const std::map<std::string, std::uint64_t>& m) {
            line += ",";
            writeJsonString(line, key);
            line += ":{";
            bool f = true;
            for (const auto& [n, k] : m) {
                line += f ? "" : ",";
                f = false;
                writeJsonString(line, n);
                line += ':';
            line += std::to_string(k);
            }
            line += "}";
        };
        line += "]";
        names("fonts", info.fonts);
        names("codePages", info.codePages);
        line += ",\"fieldCounts\":{";
        first = true;
        for (const auto& [code, n] : info.fieldCounts) {
            line += first ? "" : ",";
            first = false;
            writeJsonString(line, typeName(code));
            line += ':';
            line += std::to_string(n);
        }
        line += "},\"check\":{\"errors\":" + std::to_string(info.errors) + ",\"warnings\":" +
                std::to_string(info.warnings) + ",\"notes\":" + std::to_string(info.notes) + ",\"findings\":[";
        for (std::size_t i = 0; i < info.findings.size(); ++i) {
            if (i) line += ',';
            writeJsonString(line, info.findings[i]);
        }
        line += "]}}\n";
    } else {
        auto row = [&](const std::string& k, const std::string& v) { line += k + std::string(k.size() < 12 ? 12 - k.size() : 1, ' ') + v + "\n"; };
        row("file", path);
        row("framing", framingName(info.framing));
        row("bytes", std::to_string(info.bytes));
        row("fields", std::to_string(info.fields));
        std::string docs = std::to_string(info.documents);
        for (const auto& n : info.documentNames) docs += " " + n;
        row("documents", docs);
        row("page groups", std::to_string(info.pageGroups) + " (" + std::to_string(info.tles) + " index tags)");
        row("pages", std::to_string(info.pages));
        for (const auto& [s, n] : info.pageSizes) row("page size", s + ": " + std::to_string(n));
        row("resources", std::to_string(info.resources.size()));
        for (const auto& [k, n] : info.resources) row("  " + std::string(resourceKindName(k)), n);
        for (const auto& [n, k] : info.fonts) row("font", n + " (" + std::to_string(k) + (k == 1 ? " page)" : " pages)"));
        for (const auto& [n, k] : info.codePages)
            row("code page", n + " (" + std::to_string(k) + (k == 1 ? " page)" : " pages)"));
        std::string counts;
        for (const auto& [code, n] : info.fieldCounts) counts += (counts.empty() ? "" : " ") + typeName(code) + "=" + std::to_string(n);
        row("field types", counts);
        row("check", std::to_string(info.errors) + " errors, " + std::to_string(info.warnings) + " warnings, " +
                         std::to_string(info.notes) + " notes");
        for (const auto& f : info.findings) row("", f);
    }
    put(line);
    if (info.failure) {
        flushBeforeError(out);
        printError(*info.failure);
        return 1;
    }
    out.commit();
    return info.errors == 0 ? 0 : 1;
}

// ---- split and select ----------------------------------------------------------------
// The value of a numeric option of `cmd`; anything but a number of 1 or
// more is a usage error.
std::size_t positive(const CommandSpec& cmd, const std::string& what, const std::string& s) {
    if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos || std::stoul(s) == 0)
        usageError(cmd, what + " needs a number of 1 or more: '" + s + "'");
    return std::stoul(s);
}

int reportSplit(const SplitResult& r, bool quiet, const char* what) {
    if (!quiet && stderrIsTerminal())
        std::fprintf(stderr, "%s: %zu file%s, %llu units, %llu pages\n", what, r.pieces, r.pieces == 1 ? "" : "s",
                     static_cast<unsigned long long>(r.units), static_cast<unsigned long long>(r.pages));
    if (r.failure) {
        printError(*r.failure + " (" + std::to_string(r.pieces) + " complete file" +
                   (r.pieces == 1 ? "" : "s") + " written before it)");
        return 1;
    }
    return 0;
}

const CommandSpec splitSpec{
    "split",
    "IN -o PATTERN",
    {
        {"b", {"by"}, ReqArg{"UNIT"}, "document, group (default) or page"},
        {"n", {"every"}, ReqArg{"N"}, "N units to a file (default 1)"},
        {"l", {"level"}, ReqArg{"N"}, "with --by group: the page-group nesting level to split at (default 1)"},
        {"", {"name-from"}, ReqArg{"TLE-NAME"}, "name the files by this index tag (adds {TLE-NAME} to the pattern)"},
        {"a", {"all-resources"}, NoArg{}, "put every inline resource in every file"},
        {"o", {"output"}, ReqArg{"PATTERN"}, "file names: %d or %04d for the number, {TLE-NAME} for an index tag value"},
        quietOption(),
    },
    1,
    1,
};

int cmdSplit(const std::vector<std::string>& argv) {
    ParsedArgs p = parseCommandArgs(splitSpec, argv);
    if (!p.has("output")) usageError(splitSpec, "split needs -o PATTERN, for example -o 'piece-%04d.afp'");
    SplitOptions o;
    const std::string by = p.has("by") ? p.get("by") : "group";
    if (by == "document") o.by = SplitBy::Document;
    else if (by == "group") o.by = SplitBy::Group;
    else if (by == "page") o.by = SplitBy::Page;
    else usageError(splitSpec, "--by takes document, group or page: '" + by + "'");
    if (p.has("every")) o.every = positive(splitSpec, "--every", p.get("every"));
    if (p.has("level")) o.level = unsigned(positive(splitSpec, "--level", p.get("level")));
    o.allResources = p.has("all-resources");
    std::string pattern = p.get("output");
    if (p.has("name-from") && pattern.find("{" + p.get("name-from") + "}") == std::string::npos) {
        // The tag value goes before the extension.
        std::size_t dot = pattern.rfind('.');
        std::size_t slash = pattern.rfind('/');
        std::string field = "{" + p.get("name-from") + "}";
        if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) pattern += "-" + field;
        else pattern.insert(dot, "-" + field);
    }
    if (!patternVaries(pattern)) {
        std::size_t dot = pattern.rfind('.');
        std::size_t slash = pattern.rfind('/');
        if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) pattern += "-%d";
        else pattern.insert(dot, "-%d");
    }
    PieceInfo probe;
    (void)expandPattern(pattern, probe);  // a malformed pattern fails before anything is read
    o.pathFor = [&](const PieceInfo& piece) { return expandPattern(pattern, piece); };
    o.inputPath = p.operands[0];
    o.numberCollisions = pattern.find('{') != std::string::npos;  // numbered pieces never collide
    o.keepPaths = false;
    return reportSplit(splitStream(openSource(p.operands[0]), o), p.has("quiet"), "split");
}

const CommandSpec selectSpec{
    "select",
    "IN OUT",
    {
        {"p", {"pages"}, ReqArg{"LIST"}, "pages by number, such as 3-5,9 (the first page is 1)"},
        {"g", {"groups"}, ReqArg{"NAME"}, "page groups by name or index tag value (repeat, or separate by commas)"},
        {"l", {"level"}, ReqArg{"N"}, "with --groups: the page-group nesting level (default 1)"},
        {"a", {"all-resources"}, NoArg{}, "keep every inline resource"},
        quietOption(),
    },
    2,
    SIZE_MAX,
};

int cmdSelect(const std::vector<std::string>& argv) {
    ParsedArgs p = parseCommandArgs(selectSpec, argv);
    if (p.has("pages") == p.has("groups")) usageError(selectSpec, "select takes --pages or --groups (one of them)");
    if (p.operands.size() > 2 && !p.has("groups")) usageError(selectSpec, "too many operands: '" + p.operands[2] + "'");
    SplitOptions o;
    o.every = 0;
    o.allResources = p.has("all-resources");
    o.inputPath = p.operands[0];
    const std::string out = p.operands[1];
    o.pathFor = [&](const PieceInfo&) { return out; };
    std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
    std::vector<std::string> names;
    if (p.has("pages")) {
        o.by = SplitBy::Page;
        ranges = parsePageRanges(p.get("pages"));
        o.select = [&](const UnitInfo& u) {
            for (const auto& [a, z] : ranges)
                if (u.firstPage >= a && u.firstPage <= z) return true;
            return false;
        };
    } else {
        o.by = SplitBy::Group;
        if (p.has("level")) o.level = unsigned(positive(selectSpec, "--level", p.get("level")));
        // --groups A,B or --groups A --groups B, or --groups A B (names after OUT).
        std::vector<std::string> given = p.opts.at("groups");
        given.insert(given.end(), p.operands.begin() + 2, p.operands.end());
        for (const std::string& arg : given) {
            std::size_t start = 0;
            for (std::size_t comma; (comma = arg.find(',', start)) != std::string::npos; start = comma + 1)
                names.push_back(arg.substr(start, comma - start));
            names.push_back(arg.substr(start));
        }
        o.select = [&](const UnitInfo& u) {
            for (const auto& n : names) {
                if (u.groupName == n) return true;
                for (const auto& t : u.tles)
                    if (t.second == n) return true;
            }
            return false;
        };
    }
    SplitResult r = splitStream(openSource(o.inputPath), o);
    if (r.pieces == 0 && !r.failure) {
        printError("nothing selected: no " + std::string(p.has("pages") ? "page" : "page group") + " matches; nothing written");
        return 1;
    }
    return reportSplit(r, p.has("quiet"), "select");
}

// ---- merge ------------------------------------------------------------------------------
const CommandSpec mergeSpec{
    "merge",
    "OUT IN...",
    {
        {"", {"no-rename"}, NoArg{}, "a resource name used for different resources is an error (default: rename)"},
        {"j", {"join-documents"}, NoArg{}, "join documents whose Begin Document and prolog are the same bytes (split pieces)"},
        quietOption(),
    },
    2,
    SIZE_MAX,
};

int cmdMerge(const std::vector<std::string>& argv) {
    ParsedArgs p = parseCommandArgs(mergeSpec, argv);
    MergeOptions o;
    o.rename = !p.has("no-rename");
    o.joinDocuments = p.has("join-documents");
    std::vector<std::string> inputs(p.operands.begin() + 1, p.operands.end());
    MergeResult r = mergeFiles(inputs, p.operands[0], o);
    for (const auto& rn : r.renamed)
        std::fprintf(stderr, "%s: resource %s renamed %s (%zu fields)\n", rn.input.c_str(), rn.from.c_str(),
                     rn.to.c_str(), rn.fields);
    if (!p.has("quiet") && stderrIsTerminal())
        std::fprintf(stderr, "merge: %zu documents, %zu resources (%zu duplicates dropped)\n", r.documents, r.resources,
                     r.duplicates);
    return 0;
}

Register infoCommand{{"info", "describe a print file: documents, page groups, pages, resources, fonts, check", cmdInfo}};
Register splitCommand{{"split", "cut a print file into complete files by document, page group or page", cmdSplit}};
Register selectCommand{{"select", "copy chosen pages or page groups into a complete print file", cmdSelect}};
Register mergeCommand{{"merge", "put print files together under one resource group", cmdMerge}};

}  // namespace
}  // namespace pressel::tool
