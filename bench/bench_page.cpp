// Throughput of the page interpreter, against the plain chunk walk of the
// same file in the same run:
//
//   walk       every structured field of the file through readAFP (what
//              `pressel chunks` does before printing)
//   interpret  every page through the PageInterpreter: positioned text runs
//              and rules
//   text       the same, then each page's text in reading order (`pressel text`)
//   words      the same, then each page's words with their boxes (`pressel text --json`)
//
// and the ratios interpret/walk, text/walk, words/walk of the best of three
// repetitions. The file is $PRESSEL_BENCH_FILE, or a 200 MiB stream of the
// pages of tests/data/letter.afp generated once into /tmp with
// pressel_gen_stream (built next to this program).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bench_common.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/page/page.hpp"
#include "pressel/page/page_text.hpp"

namespace fs = std::filesystem;

namespace {

using namespace pressel::bench;

std::string gFile;
std::uint64_t gSize = 0;

void BM_walk(benchmark::State& state) { walkBenchmark(state, gFile, gSize); }

enum class Form { Items, Text, Words };

template <Form F>
void BM_pages(benchmark::State& state) {
    std::string out;
    std::uint64_t pages = 0;
    for (auto _ : state) {
        std::uint64_t n = 0;
        pressel::PageInterpreter x;
        for (const pressel::AFP_& c : pressel::readAFP(gFile)) {
            if (!x.feed(c)) continue;
            const pressel::Page& p = x.page();
            if constexpr (F == Form::Items) n += p.text.size() + p.rules.size();
            if constexpr (F == Form::Text) {
                pressel::appendPageText(out, p);
                n += out.size();
                out.clear();
            }
            if constexpr (F == Form::Words) n += pressel::pageWords(p).size();
        }
        pages = std::uint64_t(x.pages());
        benchmark::DoNotOptimize(n);
    }
    state.counters["pages"] = double(pages);
    state.SetBytesProcessed(std::int64_t(state.iterations() * gSize));
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    gFile = benchFile("pressel_bench_letter_200M.afp", 200, {"letter.afp"});
    gSize = fs::file_size(gFile);
    warmCache(gFile);
    std::printf("file: %s (%.1f MiB)\n", gFile.c_str(), double(gSize) / (1 << 20));

    for (auto* b : {benchmark::RegisterBenchmark("walk", BM_walk),
                    benchmark::RegisterBenchmark("interpret", BM_pages<Form::Items>),
                    benchmark::RegisterBenchmark("text", BM_pages<Form::Text>),
                    benchmark::RegisterBenchmark("words", BM_pages<Form::Words>)})
        bestOf(b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1), 3);

    BestTimes rec;
    benchmark::RunSpecifiedBenchmarks(&rec);
    benchmark::Shutdown();

    std::printf("\nbest of 3, %s:\n", gFile.c_str());
    if (!rec.seconds.count("walk")) return 0;
    std::printf("%-9s %8.1f MiB/s\n", "walk", double(gSize) / rec.seconds["walk"] / (1 << 20));
    for (const char* name : {"interpret", "text", "words"}) {
        if (!rec.seconds.count(name)) continue;
        double s = rec.seconds[name];
        std::printf("%-9s %8.1f MiB/s  %5.1fx the walk (CPU time: %5.1fx)\n", name, double(gSize) / s / (1 << 20),
                    s / rec.seconds["walk"], rec.cpuSeconds[name] / rec.cpuSeconds["walk"]);
    }
    return 0;
}
