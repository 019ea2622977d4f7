// The subcommands of the pressel tool register themselves here.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace pressel::tool {

struct Command {
    std::string name;
    std::string summary;  // one line for `pressel --help`
    // Runs with the arguments after the command name; returns the exit status.
    std::function<int(const std::vector<std::string>& args)> run;
};

std::vector<Command>& commands();

struct Register {
    explicit Register(Command c) { commands().push_back(std::move(c)); }
};

// "*** Error: " + message on standard error.
void printError(const std::string& message);

}  // namespace pressel::tool
