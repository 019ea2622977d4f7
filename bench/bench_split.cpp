// bench_split: `pressel split --by group` of a stream of many page groups,
// as a ratio to `pressel cat` of the same file into the same directory,
// measured in the same run; and the peak memory of each.
//
//   bench_split [FILE]
//
// FILE defaults to $PRESSEL_BENCH_FILE, or to a stream generated once with
// `pressel_gen_stream --groups 7` of $PRESSEL_BENCH_MB MiB (default 64: about
// 12,000 page groups of 7 pages, 5.7 KiB a group; runs in a few seconds).
// The pieces go to $PRESSEL_BENCH_DIR (default /dev/shm when it exists, else
// /tmp), into a fresh folder that is emptied before every run and removed at
// the end. A memory file system keeps the cost of creating thousands of
// files on a disk (and of discarding their blocks again) out of the figure:
// on the ext4 disk of the build machine that alone is 0.5 ms a file. Each command runs
// three times, alternating; the best time of each is compared. Peak memory
// is the maximum resident set size of the command's process.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_common.hpp"

extern char** environ;

namespace fs = std::filesystem;
using pressel::bench::selfDir;

namespace {

struct Run {
    double seconds = 0, cpu = 0;  // wall-clock and CPU (user + system) seconds
    long maxRssKiB = 0;
};

// Runs a program with its arguments; its time and peak memory.
Run run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot run %s\n", argv[0]);
        std::exit(1);
    }
    int status = 0;
    struct rusage ru{};
    ::wait4(pid, &status, 0, &ru);
    Run r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.maxRssKiB = ru.ru_maxrss;
    r.cpu = double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "failed (status %d): %s\n", status, args[0].c_str());
        std::exit(1);
    }
    return r;
}

std::string env(const char* name, const std::string& def) {
    const char* v = std::getenv(name);
    return v && *v ? v : def;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string tool = env("PRESSEL_TOOL", (selfDir() / "pressel").string());
    const std::string mb = env("PRESSEL_BENCH_MB", "64");
    std::string file = argc > 1 ? argv[1] : env("PRESSEL_BENCH_FILE", "");
    if (file.empty()) {
        file = "/tmp/pressel_bench_groups_" + mb + "M.afp";
        if (!fs::exists(file)) run({(selfDir() / "pressel_gen_stream").string(), "--groups", "7", file, mb});
    }
    const fs::path dir = fs::path(env("PRESSEL_BENCH_DIR", fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp")) / "pressel_bench_split";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string size = std::to_string(fs::file_size(file));

    Run bestCat{1e30, 1e30, 0}, bestSplit{1e30, 1e30, 0};
    std::size_t pieces = 0;
    for (int rep = 0; rep < 3; ++rep) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        Run c = run({tool, "cat", file, (dir / "copy.afp").string()});
        fs::remove_all(dir);
        fs::create_directories(dir);
        Run s = run({tool, "split", "-q", file, "--by", "group", "-o", (dir / "g%06d.afp").string()});
        pieces = std::size_t(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}));
        bestCat.seconds = std::min(bestCat.seconds, c.seconds);
        bestCat.cpu = std::min(bestCat.cpu, c.cpu);
        bestSplit.cpu = std::min(bestSplit.cpu, s.cpu);
        bestCat.maxRssKiB = std::max(bestCat.maxRssKiB, c.maxRssKiB);
        bestSplit.seconds = std::min(bestSplit.seconds, s.seconds);
        bestSplit.maxRssKiB = std::max(bestSplit.maxRssKiB, s.maxRssKiB);
    }
    fs::remove_all(dir);
    std::printf("file                 %s (%s bytes)\n", file.c_str(), size.c_str());
    std::printf("pieces written       %zu\n", pieces);
    std::printf("pressel cat          %.3f s (CPU %.3f s), peak memory %.1f MiB\n", bestCat.seconds, bestCat.cpu,
                bestCat.maxRssKiB / 1024.0);
    std::printf("pressel split        %.3f s (CPU %.3f s), peak memory %.1f MiB\n", bestSplit.seconds, bestSplit.cpu,
                bestSplit.maxRssKiB / 1024.0);
    std::printf("split / cat          %.2fx (CPU %.2fx)\n", bestSplit.seconds / bestCat.seconds, bestSplit.cpu / bestCat.cpu);
    std::printf("per piece            %.1f us\n", bestSplit.seconds * 1e6 / double(pieces ? pieces : 1));
    return 0;
}
