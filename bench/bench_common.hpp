// The harness shared by the benchmark programs: the stream they read, the
// tool they run, the chunk walk that stream benchmarks are measured against,
// and the best of several repetitions that their summaries compare.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "pressel/stream/io.hpp"

namespace pressel::bench {

// The folder of the running program (where pressel_gen_stream and pressel are built).
inline std::filesystem::path selfDir() { return std::filesystem::read_symlink("/proc/self/exe").parent_path(); }

// A word quoted for /bin/sh.
inline std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The stream to measure: $PRESSEL_BENCH_FILE, or /tmp/NAME, generated once by
// pressel_gen_stream (built next to the program) to `mib` MiB from the pages
// of `inputs` (files of tests/data; the FOP samples when there are none).
inline std::string benchFile(const std::string& name, unsigned mib, const std::vector<std::string>& inputs = {}) {
    namespace fs = std::filesystem;
    if (const char* env = std::getenv("PRESSEL_BENCH_FILE"); env && *env) return env;
    const std::string path = "/tmp/" + name;
    if (fs::exists(path) && fs::file_size(path) >= (std::uint64_t(mib) << 20)) return path;
    std::string cmd = quote((selfDir() / "pressel_gen_stream").string()) + " " + quote(path) + " " + std::to_string(mib);
    const fs::path data = fs::path(__FILE__).parent_path().parent_path() / "tests/data";
    for (const std::string& in : inputs) {
        cmd += ' ';
        cmd += quote((data / in).string());
    }
    if (std::system(cmd.c_str()) != 0) {
        std::fprintf(stderr, "cannot generate %s\n", path.c_str());
        std::exit(1);
    }
    return path;
}

// $PRESSEL_TOOL, or the pressel built next to the program.
inline std::string toolPath() {
    if (const char* env = std::getenv("PRESSEL_TOOL"); env && *env) return env;
    return (selfDir() / "pressel").string();
}

// Reads the file once, so that every contender finds it in the page cache.
inline void warmCache(const std::string& path) {
    if (std::system(("/bin/cat " + quote(path) + " > /dev/null").c_str()) != 0)
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
}

// Walks every structured field of the file; returns the bytes the fields
// take with clean framing (the file's size for a clean stream) and counts
// the fields into `fields`.
inline std::uint64_t walkStream(const std::string& path, std::uint64_t& fields) {
    std::uint64_t bytes = 0, n = 0;
    for (const AFP_& c : readAFP(path)) {
        ++n;
        bytes += c.payload.size() + 3;
    }
    fields = n;
    return bytes;
}

// The baseline of the stream benchmarks: the plain chunk walk of `path`.
inline void walkBenchmark(benchmark::State& state, const std::string& path, std::uint64_t size) {
    std::uint64_t fields = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(walkStream(path, fields));
    }
    state.counters["fields"] = double(fields);
    state.SetBytesProcessed(std::int64_t(state.iterations() * size));
}

inline double minimum(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

// Repeats the benchmark and reports the best repetition alone: on a shared
// machine the best of several runs is the one least disturbed by other work.
inline benchmark::internal::Benchmark* bestOf(benchmark::internal::Benchmark* b, int repetitions) {
    return b->Repetitions(repetitions)->ComputeStatistics("min", minimum)->ReportAggregatesOnly(true);
}

// Prints as the console does and keeps the best real and CPU seconds per
// iteration of every benchmark, by its name and, for one with arguments,
// also by "name/arguments".
class BestTimes : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> seconds, cpuSeconds;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            const bool best = r.run_type == Run::RT_Aggregate ? r.aggregate_name == "min" : r.iterations > 0;
            if (!best || r.error_occurred) continue;
            const double unit = benchmark::GetTimeUnitMultiplier(r.time_unit);
            keep(r.run_name.function_name, r.GetAdjustedRealTime() / unit, r.GetAdjustedCPUTime() / unit);
            if (!r.run_name.args.empty())
                keep(r.run_name.function_name + "/" + r.run_name.args, r.GetAdjustedRealTime() / unit,
                     r.GetAdjustedCPUTime() / unit);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    bool has(const std::string& name) const { return seconds.count(name) != 0; }

private:
    void keep(const std::string& name, double real, double cpu) {
        auto [it, fresh] = seconds.try_emplace(name, real);
        if (!fresh) it->second = std::min(it->second, real);
        auto [jt, freshCpu] = cpuSeconds.try_emplace(name, cpu);
        if (!freshCpu) jt->second = std::min(jt->second, cpu);
    }
};

}  // namespace pressel::bench
