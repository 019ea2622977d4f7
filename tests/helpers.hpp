// Shared helpers of the test suites: test data, temporary files, and running
// the pressel tool as a separate process.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "pressel/core/bytes.hpp"

namespace pressel::test {

namespace fs = std::filesystem;

// Path of a file under tests/data ("hello.afp", "corpus/cs.afp").
inline std::string dataPath(const std::string& name) { return std::string(PRESSEL_TEST_DATA) + "/" + name; }

// The pressel tool: $PRESSEL_TOOL if set, else the one built with the tests.
inline std::string toolPath() {
    if (const char* env = std::getenv("PRESSEL_TOOL"); env && *env) return env;
    return PRESSEL_TOOL;
}

inline std::string readFileString(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read test file " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline Bytes readFileBytes(const std::string& path) { return Bytes::copy(readFileString(path)); }

inline void writeFileString(const std::string& path, std::string_view data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), std::streamsize(data.size()));
    if (!out) throw std::runtime_error("cannot write test file " + path);
}

// Every .afp file of tests/data and tests/data/corpus, sorted.
inline std::vector<std::string> allSampleFiles() {
    std::vector<std::string> files;
    for (const char* dir : {"", "corpus"}) {
        for (const auto& e : fs::directory_iterator(dataPath(dir)))
            if (e.is_regular_file() && e.path().extension() == ".afp") files.push_back(e.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes out of scope.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "pressel_test_XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const noexcept { return path_; }
    // Path of a file inside the directory.
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

// Quotes a word for /bin/sh.
inline std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') q += "'\\''";
        else q += c;
    }
    return q + "'";
}

struct RunResult {
    int status = -1;  // exit status; 128 + signal number if killed by a signal
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs a /bin/sh command line with `input` on its standard input and
// captures standard output, standard error and the exit status. The word
// PRESSEL in the command is not special; use tool() to build commands.
inline RunResult runShell(const std::string& command, std::string_view input = {}) {
    TempDir dir;
    const std::string in = dir.file("stdin"), out = dir.file("stdout"), err = dir.file("stderr");
    writeFileString(in, input);
    const std::string line =
        "( " + command + " ) <" + shellQuote(in) + " >" + shellQuote(out) + " 2>" + shellQuote(err);
    const int raw = std::system(line.c_str());
    RunResult r;
    if (raw == -1) throw std::runtime_error("cannot run: " + command);
    if (WIFEXITED(raw)) r.status = WEXITSTATUS(raw);
    else if (WIFSIGNALED(raw)) r.status = 128 + WTERMSIG(raw);
    r.out = readFileString(out);
    r.err = readFileString(err);
    return r;
}

// The tool followed by the given arguments, each quoted for the shell.
inline std::string tool(const std::vector<std::string>& args) {
    std::string cmd = shellQuote(toolPath());
    for (const auto& a : args) {
        cmd += ' ';
        cmd += shellQuote(a);
    }
    return cmd;
}

// The first line of `err` that starts with "*** Error: ", without its line
// end; empty if there is none. Tools may print notes before the error.
inline std::string errorLine(const std::string& err) {
    std::size_t at = err.rfind("*** Error: ", 0) == 0 ? 0 : err.find("\n*** Error: ");
    if (at == std::string::npos) return {};
    if (at != 0) ++at;
    return err.substr(at, err.find('\n', at) - at);
}

// Runs the tool with the given arguments and standard input.
inline RunResult runTool(const std::vector<std::string>& args, std::string_view input = {}) {
    return runShell(tool(args), input);
}

}  // namespace pressel::test
