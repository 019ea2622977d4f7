// pressel: a multi-tool over AFP data streams. Each subcommand lives in a
// file of its own and registers itself in the command table.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>

#include "command.hpp"
#include "pressel/tool/cli.hpp"
#include "pressel/core/error.hpp"
#include "pressel/stream/output.hpp"

namespace pressel::tool {

std::vector<Command>& commands() {
    static std::vector<Command> table;
    return table;
}

void printError(const std::string& message) {
    std::fflush(stdout);
    std::cerr << "*** Error: " << message << std::endl;
}

}  // namespace pressel::tool

namespace {

void listCommands(std::ostream& out) {
    using namespace pressel::tool;
    auto cmds = commands();
    std::sort(cmds.begin(), cmds.end(), [](const Command& a, const Command& b) { return a.name < b.name; });
    std::size_t w = 0;
    for (const auto& c : cmds) w = std::max(w, c.name.size());
    out << "Usage: pressel COMMAND [ARGS...]\n\nCommands:\n";
    for (const auto& c : cmds) out << "  " << c.name << std::string(w - c.name.size() + 2, ' ') << c.summary << "\n";
    out << "\nOptions:\n  -h  --help     list the commands\n  -V  --version  show the version\n";
    out << "\n`pressel COMMAND --help` describes a command.\n";
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pressel::tool;
    // A closed pipe on standard output is seen as a failed write (OutputClosed),
    // so that temporary files are removed before the command stops.
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        listCommands(std::cerr);
        return 1;
    }
    if (args[0] == "--help" || args[0] == "-h") {
        listCommands(std::cout);
        return 0;
    }
    if (args[0] == "--version" || args[0] == "-V") {
        std::cout << "pressel " << PRESSEL_VERSION << "\n";
        return 0;
    }
    auto& cmds = commands();
    auto it = std::find_if(cmds.begin(), cmds.end(), [&](const Command& c) { return c.name == args[0]; });
    if (it == cmds.end()) {
        printError(args[0].rfind("-", 0) == 0 ? "unrecognized option `" + args[0] + "'"
                                              : "unknown command '" + args[0] + "'");
        listCommands(std::cerr);
        return 1;
    }
    pressel::setProgramName("pressel " + it->name);
    try {
        return it->run(std::vector<std::string>(args.begin() + 1, args.end()));
    } catch (const pressel::OutputClosed&) {
        // The reader of standard output has gone: stop quietly with the status
        // a closed pipe gives other commands.
        std::signal(SIGPIPE, SIG_DFL);
        std::raise(SIGPIPE);
        return 128 + SIGPIPE;
    } catch (const std::exception& e) {
        printError(e.what());
        return 1;
    }
}
