// Throughput of looking inside a stream, against the plain chunk walk of the
// same file in the same run:
//
//   walk   every structured field of the file through readAFP
//   view   every structured field decoded and viewed, rendered as the lines
//          of `pressel dump --view`
//   json   the same views rendered as the JSON Lines of `pressel dump --json`
//   text   the text of the stream as `pressel text` extracts it
//
// and the ratios view/walk, json/walk, text/walk of the best of three
// repetitions. The file is $PRESSEL_BENCH_FILE, or a 200 MiB stream of the
// pages of tests/data/letter.afp generated once into /tmp with
// pressel_gen_stream (built next to this program).
//
// view_payload/N: the view of a page descriptor whose raw data is N bytes;
// its time must not grow with N (the view shows 80 bytes, without copying).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "bench_common.hpp"
#include "pressel/io.hpp"
#include "pressel/records.hpp"
#include "pressel/text.hpp"
#include "pressel/dump.hpp"
#include "pressel/view.hpp"

namespace fs = std::filesystem;

namespace {

using pressel::bench::quote;
using pressel::bench::selfDir;

std::string gFile;
std::uint64_t gSize = 0;

std::string benchFile() {
    if (const char* env = std::getenv("PRESSEL_BENCH_FILE"); env && *env) return env;
    const std::string path = "/tmp/pressel_bench_letter_200M.afp";
    if (fs::exists(path) && fs::file_size(path) >= (std::uint64_t(200) << 20)) return path;
    const fs::path letter = fs::path(__FILE__).parent_path().parent_path() / "tests/data/letter.afp";
    const std::string cmd = quote((selfDir() / "pressel_gen_stream").string()) + " " + quote(path) + " 200 " +
                            quote(letter.string());
    if (std::system(cmd.c_str()) != 0) {
        std::fprintf(stderr, "cannot generate %s\n", path.c_str());
        std::exit(1);
    }
    return path;
}

void BM_walk(benchmark::State& state) {
    for (auto _ : state) {
        std::uint64_t bytes = 0;
        for (const pressel::AFP_& c : pressel::readAFP(gFile)) bytes += c.payload.size() + 3;
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * gSize));
}

// Views of every field, rendered into a reused buffer as the dump does per line.
template <bool Json>
void BM_dump(benchmark::State& state) {
    std::string out;
    std::uint64_t failed = 0;
    for (auto _ : state) {
        std::uint64_t rendered = 0;
        for (const pressel::AFP_& c : pressel::readAFP(gFile)) {
            out.clear();
            try {
                pressel::TypeId type = pressel::chunkType(c).id;
                pressel::ViewRecord v = pressel::recordOps(type).view(pressel::packChunk(c));
                if constexpr (Json) pressel::renderViewJson(out, v);
                else pressel::renderViewLines(out, v, 2);
            } catch (const pressel::Error&) {
                ++failed;
            }
            rendered += out.size();
        }
        benchmark::DoNotOptimize(rendered);
    }
    state.counters["failed"] = double(failed);
    state.SetBytesProcessed(std::int64_t(state.iterations() * gSize));
}

void BM_text(benchmark::State& state) {
    std::string out;
    for (auto _ : state) {
        std::uint64_t n = 0;
        pressel::TextExtractor x;
        for (const pressel::AFP_& c : pressel::readAFP(gFile)) {
            x.feed(c, out);
            n += out.size();
            out.clear();
        }
        benchmark::DoNotOptimize(n);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * gSize));
}

void BM_view_payload(benchmark::State& state) {
    pressel::PGD pgd{};
    pgd.pgd_Type = 0xD3A6AF;
    pgd.pgd_Data.bytes = pressel::Bytes::adopt(std::vector<pressel::byte>(std::size_t(state.range(0)), 0x40));
    for (auto _ : state) {
        pressel::ViewRecord v = pressel::recView(pgd);
        benchmark::DoNotOptimize(v);
    }
}

class Recorder : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> seconds, cpuSeconds;  // of the ms-unit stream benchmarks
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "min" && !r.error_occurred) {
                seconds[r.run_name.function_name] = r.GetAdjustedRealTime() / 1e3;
                cpuSeconds[r.run_name.function_name] = r.GetAdjustedCPUTime() / 1e3;
            }
        ConsoleReporter::ReportRuns(runs);
    }
};

double minimum(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    gFile = benchFile();
    gSize = fs::file_size(gFile);
    std::system(("/bin/cat " + quote(gFile) + " > /dev/null").c_str());
    std::printf("file: %s (%.1f MiB)\n", gFile.c_str(), double(gSize) / (1 << 20));

    for (auto* b : {benchmark::RegisterBenchmark("walk", BM_walk), benchmark::RegisterBenchmark("view", BM_dump<false>),
                    benchmark::RegisterBenchmark("json", BM_dump<true>), benchmark::RegisterBenchmark("text", BM_text)})
        b->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1)
            ->Repetitions(3)
            ->ComputeStatistics("min", minimum)
            ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark("view_payload", BM_view_payload)
        ->Arg(100)
        ->Arg(10 * 1024)
        ->Arg(32 * 1024)
        ->Repetitions(3)
        ->ComputeStatistics("min", minimum)
        ->ReportAggregatesOnly(true);

    Recorder rec;
    benchmark::RunSpecifiedBenchmarks(&rec);
    benchmark::Shutdown();

    auto ratio = [&](const char* name) {
        if (!rec.seconds.count(name) || !rec.seconds.count("walk")) return;
        double s = rec.seconds[name];
        std::printf("%-5s %8.1f MiB/s  %5.1fx the walk (CPU time: %5.1fx)\n", name, double(gSize) / s / (1 << 20),
                    s / rec.seconds["walk"], rec.cpuSeconds[name] / rec.cpuSeconds["walk"]);
    };
    std::printf("\nbest of 3, %s:\n", gFile.c_str());
    if (rec.seconds.count("walk"))
        std::printf("walk  %8.1f MiB/s\n", double(gSize) / rec.seconds["walk"] / (1 << 20));
    for (const char* n : {"view", "json", "text"}) ratio(n);
    return 0;
}
