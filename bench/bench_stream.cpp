// Stream throughput against baselines measured in the same run, on the same
// file:
//
//   read         plain sequential read(2) of the file in 1 MiB blocks
//   walk         every structured field of the file through readAFP
//   cat          /bin/cat FILE > /dev/null
//   pressel_cat  pressel cat FILE /dev/null (the lossless copy)
//   reencode     every structured field decoded into its record and encoded
//                again (compared with walk)
//   show         every structured field decoded and rendered in its text
//                form, the work of `pressel dump` (compared with walk)
//
// and the ratios walk/read and pressel_cat/cat of the best of five
// repetitions. The file is
// $PRESSEL_BENCH_FILE, or a 256 MiB stream generated once into /tmp with
// pressel_gen_stream (built next to this program). The tool is
// $PRESSEL_TOOL, or the pressel built next to this program.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "pressel/catalogue.hpp"
#include "bench_common.hpp"
#include "pressel/stream/io.hpp"

namespace fs = std::filesystem;

namespace {

using namespace pressel::bench;

std::string gFile;
std::string gTool;
std::uint64_t gSize = 0;

void run(const std::string& cmd, benchmark::State& state) {
    if (std::system(cmd.c_str()) != 0) state.SkipWithError(("failed: " + cmd).c_str());
}

void BM_read(benchmark::State& state) {
    std::vector<char> buf(std::size_t(1) << 20);
    for (auto _ : state) {
        int fd = ::open(gFile.c_str(), O_RDONLY);
        std::uint64_t total = 0;
        for (ssize_t r; (r = ::read(fd, buf.data(), buf.size())) > 0;) total += std::uint64_t(r);
        ::close(fd);
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * gSize));
}

void BM_walk(benchmark::State& state) { walkBenchmark(state, gFile, gSize); }

void BM_cat(benchmark::State& state) {
    const std::string cmd = "/bin/cat " + quote(gFile) + " > /dev/null";
    for (auto _ : state) run(cmd, state);
    state.SetBytesProcessed(std::int64_t(state.iterations() * gSize));
}

// Decodes every structured field by its type and writes it again; a field
// that does not decode is counted and skipped.
void BM_reencode(benchmark::State& state) {
    std::uint64_t out = 0, failed = 0;
    for (auto _ : state) {
        for (const pressel::AFP_& c : pressel::readAFP(gFile)) {
            try {
                out += pressel::recordOps(pressel::chunkType(c).id).reencode(pressel::packChunk(c)).size();
            } catch (const pressel::Error&) {
                ++failed;
            }
        }
        benchmark::DoNotOptimize(out);
    }
    state.counters["failed"] = double(failed);
    state.SetBytesProcessed(std::int64_t(state.iterations() * gSize));
}

void BM_show(benchmark::State& state) {
    std::uint64_t out = 0;
    std::string line;
    for (auto _ : state) {
        for (const pressel::AFP_& c : pressel::readAFP(gFile)) {
            line.clear();
            try {
                pressel::recordOps(pressel::chunkType(c).id).show(line, 0, pressel::packChunk(c));
            } catch (const pressel::Error&) {
            }
            out += line.size();
        }
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * gSize));
}

void BM_pressel_cat(benchmark::State& state) {
    const std::string cmd = quote(gTool) + " cat " + quote(gFile) + " /dev/null";
    for (auto _ : state) run(cmd, state);
    state.SetBytesProcessed(std::int64_t(state.iterations() * gSize));
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    gFile = benchFile("pressel_bench_256M.afp", 256);
    gTool = toolPath();
    gSize = fs::file_size(gFile);
    warmCache(gFile);
    std::printf("file: %s (%.1f MiB), tool: %s\n", gFile.c_str(), double(gSize) / (1 << 20), gTool.c_str());

    for (auto* b : {benchmark::RegisterBenchmark("read", BM_read), benchmark::RegisterBenchmark("walk", BM_walk),
                    benchmark::RegisterBenchmark("cat", BM_cat),
                    benchmark::RegisterBenchmark("pressel_cat", BM_pressel_cat),
                    benchmark::RegisterBenchmark("reencode", BM_reencode),
                    benchmark::RegisterBenchmark("show", BM_show)})
        bestOf(b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.5), 5);

    BestTimes rec;
    benchmark::RunSpecifiedBenchmarks(&rec);
    benchmark::Shutdown();

    auto ratio = [&](const char* a, const char* b, double target) {
        if (!rec.seconds.count(a) || !rec.seconds.count(b)) return;
        const double r = rec.seconds[a] / rec.seconds[b];
        std::printf("%s/%s = %.2fx (target < %.1fx)%s\n", a, b, r, target, r < target ? "" : "  MISSED");
    };
    ratio("walk", "read", 1.5);
    ratio("pressel_cat", "cat", 2.0);
    for (const char* a : {"reencode", "show"})
        if (rec.seconds.count(a) && rec.seconds.count("walk"))
            std::printf("%s/walk = %.2fx, %.1f MiB/s\n", a, rec.seconds[a] / rec.seconds["walk"],
                        double(gSize) / (1 << 20) / rec.seconds[a]);
    return 0;
}
