// Small helpers shared by the benchmark programs.
#pragma once

#include <filesystem>
#include <string>

namespace pressel::bench {

// The folder of the running program (where pressel_gen_stream and pressel are built).
inline std::filesystem::path selfDir() { return std::filesystem::read_symlink("/proc/self/exe").parent_path(); }

// A word quoted for /bin/sh.
inline std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

}  // namespace pressel::bench
