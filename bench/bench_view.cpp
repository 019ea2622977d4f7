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

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench_common.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/records.hpp"
#include "pressel/text/text.hpp"
#include "pressel/view/dump.hpp"
#include "pressel/text/text.hpp"
#include "pressel/view.hpp"

namespace fs = std::filesystem;

namespace {

using namespace pressel::bench;

std::string gFile;
std::uint64_t gSize = 0;

void BM_walk(benchmark::State& state) { walkBenchmark(state, gFile, gSize); }

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

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    gFile = benchFile("pressel_bench_letter_200M.afp", 200, {"letter.afp"});
    gSize = fs::file_size(gFile);
    warmCache(gFile);
    std::printf("file: %s (%.1f MiB)\n", gFile.c_str(), double(gSize) / (1 << 20));

    for (auto* b : {benchmark::RegisterBenchmark("walk", BM_walk), benchmark::RegisterBenchmark("view", BM_dump<false>),
                    benchmark::RegisterBenchmark("json", BM_dump<true>), benchmark::RegisterBenchmark("text", BM_text)})
        bestOf(b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1), 3);
    bestOf(benchmark::RegisterBenchmark("view_payload", BM_view_payload)->Arg(100)->Arg(10 * 1024)->Arg(32 * 1024), 3);

    BestTimes rec;
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
