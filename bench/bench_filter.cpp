// Streaming filter throughput against the plain copy, measured in the same run
// on the same file:
//
//   cat       every structured field read and written to /dev/null (the
//             path of `pressel cat`)
//   inspect   the same through chunksMapFiltersM with one inspect filter on
//             PTX that decodes the record
//   rewrite   the same with a filter that rewrites every PTX: decode, change
//             the local id of every SCFL control sequence, encode
//
// and the ratios inspect/cat and rewrite/cat. The file is $PRESSEL_BENCH_FILE,
// or a 256 MiB stream generated once into /tmp with pressel_gen_stream (built
// next to this program) from the FOP samples.
//
// `bench_filter --rewrite-only FILE` runs the rewrite pass once and exits (for
// measuring its peak memory with /usr/bin/time -v).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "pressel/filter.hpp"
#include "bench_common.hpp"
#include "pressel/stream/io.hpp"

namespace fs = std::filesystem;
using namespace pressel;

namespace {

using namespace pressel::bench;

std::string gFile;
std::uint64_t gSize = 0;

std::uint64_t copyPlain(const std::string& in) {
    AfpWriter w("/dev/null");
    for (const AFP_& c : readAFP(in)) w.write(c);
    w.close();
    return w.bytesWritten();
}

std::uint64_t copyInspect(const std::string& in, std::uint64_t& seen) {
    AfpWriter w("/dev/null");
    ChunkFilters<AFP_> fs{inspect<PTX>([&](const PTX& p) { seen += p.ptx_EscapeSequence.present(); })};
    for (const AFP_& c : chunksMapFiltersM(readAFP(in), fs)) w.write(c);
    w.close();
    return w.bytesWritten();
}

ChunkFilters<AFP_> rewriteFilters() {
    NestedFilters nf;
    nf.controls = {rewrite<PTX_SCFL>([](PTX_SCFL cs, ChunkWriter<PTX_>& w) {
        cs.ptx_scfl_LocalId = N1(std::uint8_t(cs.ptx_scfl_LocalId.value ^ 0x80));
        w.push(cs);
    })};
    return deepFilters(nf);
}

std::uint64_t copyRewrite(const std::string& in, const ChunkFilters<AFP_>& fs) {
    AfpWriter w("/dev/null");
    for (const AFP_& c : chunksMapFiltersM(readAFP(in), fs)) w.write(c);
    w.close();
    return w.bytesWritten();
}

void BM_cat(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(copyPlain(gFile));
    state.SetBytesProcessed(std::int64_t(state.iterations() * gSize));
}

void BM_inspect(benchmark::State& state) {
    std::uint64_t seen = 0;
    for (auto _ : state) benchmark::DoNotOptimize(copyInspect(gFile, seen));
    state.counters["ptx"] = double(seen) / double(state.iterations());
    state.SetBytesProcessed(std::int64_t(state.iterations() * gSize));
}

void BM_rewrite(benchmark::State& state) {
    const ChunkFilters<AFP_> fs = rewriteFilters();
    for (auto _ : state) benchmark::DoNotOptimize(copyRewrite(gFile, fs));
    state.SetBytesProcessed(std::int64_t(state.iterations() * gSize));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--rewrite-only") == 0) {
        std::printf("%llu bytes\n", static_cast<unsigned long long>(copyRewrite(argv[2], rewriteFilters())));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    gFile = benchFile("pressel_bench_256M.afp", 256);
    gSize = fs::file_size(gFile);
    copyPlain(gFile);  // warm the page cache
    std::printf("file: %s (%.1f MiB)\n", gFile.c_str(), double(gSize) / (1 << 20));

    for (auto* b : {benchmark::RegisterBenchmark("cat", BM_cat), benchmark::RegisterBenchmark("inspect", BM_inspect),
                    benchmark::RegisterBenchmark("rewrite", BM_rewrite)})
        b->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

    BestTimes rec;
    benchmark::RunSpecifiedBenchmarks(&rec);
    benchmark::Shutdown();
    for (const char* name : {"inspect", "rewrite"})
        if (rec.seconds.count(name) && rec.seconds.count("cat"))
            std::printf("%s/cat = %.2fx\n", name, rec.seconds[name] / rec.seconds["cat"]);
    return 0;
}
