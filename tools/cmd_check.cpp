// `pressel check FILE`: validates a stream and lists what is wrong with it.
#include <cstdio>
#include <string>

#include "command.hpp"
#include "pressel/view/check.hpp"

namespace pressel::tool {
namespace {

const CommandSpec checkSpec{
    "check",
    "FILE",
    {{"j", {"json"}, NoArg{}, "print the findings as JSON Lines: {\"offset\":N,\"severity\":\"error\",\"message\":\"...\"}"},
     quietOption()},
    1,
    1};

int cmdCheck(const std::vector<std::string>& argv) {
    ParsedArgs p = parseCommandArgs(checkSpec, argv);
    const bool json = p.has("json"), quiet = p.has("quiet");
    const std::string& path = p.operands[0];
    std::size_t counts[3] = {0, 0, 0};
    OutputFile out("-");
    std::string line;
    auto report = [&](const Finding& f) {
        ++counts[static_cast<int>(f.severity)];
        line.clear();
        if (json) {
            line += "{\"offset\":" + std::to_string(f.offset) + ",\"severity\":\"" + severityName(f.severity) +
                    "\",\"message\":";
            writeJsonString(line, f.message);
            line += "}\n";
        } else {
            line += std::to_string(f.offset) + '\t' + severityName(f.severity) + '\t' + f.message + '\n';
        }
        out.append(line);
    };
    std::size_t errors = checkStream(openSource(path), report);
    out.commit();
    if (!quiet)
        std::fprintf(stderr, "%s: %zu error%s, %zu warning%s, %zu note%s\n", path.c_str(), counts[0],
                     counts[0] == 1 ? "" : "s", counts[1], counts[1] == 1 ? "" : "s", counts[2],
                     counts[2] == 1 ? "" : "s");
    return errors == 0 ? 0 : 1;
}

Register check{{"check", "validate a stream: framing, Begin/End pairs, nested lengths", cmdCheck}};

}  // namespace
}  // namespace pressel::tool
