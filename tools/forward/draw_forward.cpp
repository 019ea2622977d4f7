// pressel's entries for the commands that pressel-draw runs (see
// draw_commands.hpp): each starts pressel-draw from pressel's own folder in
// place of this process, with the command and its arguments, so that its
// output, exit status and signals are the command's own.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "../command.hpp"
#include "../draw_commands.hpp"

namespace pressel::tool {
namespace {

// pressel-draw in the folder of the running program (links followed, so a
// link to pressel on the PATH finds it beside the real file).
std::string drawProgram() {
    std::string dir = ".";
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) {
        const std::string self(buf, std::size_t(n));
        const std::size_t slash = self.rfind('/');
        if (slash != std::string::npos) dir = self.substr(0, slash == 0 ? 1 : slash);
    }
    return dir + (dir.back() == '/' ? "" : "/") + kDrawProgram;
}

int forward(const char* name, const std::vector<std::string>& args) {
    const std::string path = drawProgram();
    std::vector<std::string> all{path, name};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : all) argv.push_back(s.data());
    argv.push_back(nullptr);
    std::fflush(stdout);
    std::fflush(stderr);
    ::execv(path.c_str(), argv.data());
    // Only a failure to start it comes back.
    throw std::runtime_error(std::string("cannot start ") + path + " for the " + name + " command: " +
                             std::strerror(errno) + " (it is built and installed with pressel, in the same folder)");
}

#ifdef PRESSEL_DRAW_RENDER
Register renderCommand{{"render", kRenderSummary, [](const std::vector<std::string>& a) { return forward("render", a); }}};
#endif
#ifdef PRESSEL_DRAW_IMAGES
Register imagesCommand{{"images", kImagesSummary, [](const std::vector<std::string>& a) { return forward("images", a); }}};
#endif

}  // namespace
}  // namespace pressel::tool
