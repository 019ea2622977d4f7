// Throughput of decoding text to UTF-8, against copying the same bytes into a
// string (memcpy) in the same run:
//
//   memcpy     the input appended to a cleared string: the floor for any decoder
//   sbcs       code page 500, text of letters, digits and spaces (one UTF-8
//              byte per input byte, as most AFP text is)
//   sbcs_latin code page 273, every byte X'40'..X'FF' (many two-byte results)
//   dbcs       code page 835, pairs of its ideographs and symbols
//   utf16      UTF-16BE, Latin and CJK characters
//
// each on a 64 KiB run and on a 24-byte run (the length of a typical text
// control sequence, where the fixed cost of a call shows). Input throughput
// (bytes of the code page per second) and the ratio to memcpy of the same
// length are printed at the end, in CPU time, best of five repetitions.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench_common.hpp"
#include "pressel/text/codepages.hpp"

namespace {

std::map<std::string, std::string> gInputs; // by input name and length

std::string makeInput(const std::string& kind, std::size_t size) {
    std::mt19937 rng(42);
    std::string s;
    if (kind == "sbcs") {
        // "Hello world 123 " in code page 500, shuffled word by word.
        const std::string text = "\xC8\x85\x93\x93\x96\x40\xA6\x96\x99\x93\x84\x40\xF1\xF2\xF3\x40";
        while (s.size() < size) s += text.substr(rng() % 8);
    } else if (kind == "sbcs_latin") {
        while (s.size() < size) s += static_cast<char>(0x40 + rng() % 0xC0);
    } else if (kind == "dbcs") {
        const pressel::CodePage& p = *pressel::findCodePage(835);
        while (s.size() < size) {
            const unsigned lead = 0x4C + rng() % 0x20, trail = 0x41 + rng() % 0xBD;
            if (p.toUnicode(lead << 8 | trail) == pressel::kNoCharacter) continue;
            s += static_cast<char>(lead);
            s += static_cast<char>(trail);
        }
    } else { // utf16
        while (s.size() < size) {
            const unsigned u = rng() % 2 ? 0x41 + rng() % 26 : 0x4E00 + rng() % 0x5000;
            s += static_cast<char>(u >> 8);
            s += static_cast<char>(u & 0xFF);
        }
    }
    s.resize(size);
    return s;
}

const std::string& input(const std::string& kind, std::size_t size) {
    const std::string key = kind + "/" + std::to_string(size);
    auto it = gInputs.find(key);
    if (it == gInputs.end()) it = gInputs.emplace(key, makeInput(kind, size)).first;
    return it->second;
}

void BM_memcpy(benchmark::State& state) {
    const std::string& in = input("sbcs", std::size_t(state.range(0)));
    std::string out;
    out.reserve(in.size() * 3);
    for (auto _ : state) {
        out.clear();
        out.append(in);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * in.size()));
}

void BM_decode(benchmark::State& state, const char* kind, std::uint16_t cpgid) {
    const std::string& in = input(kind, std::size_t(state.range(0)));
    const pressel::CodePage& page = *pressel::findCodePage(cpgid);
    std::string out;
    out.reserve(in.size() * 3);
    for (auto _ : state) {
        out.clear();
        page.appendUtf8(out, in);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * in.size()));
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const std::vector<std::int64_t> sizes = {24, 64 * 1024};
    std::vector<benchmark::internal::Benchmark*> all;
    all.push_back(benchmark::RegisterBenchmark("memcpy", BM_memcpy));
    all.push_back(benchmark::RegisterBenchmark("sbcs", BM_decode, "sbcs", std::uint16_t(500)));
    all.push_back(benchmark::RegisterBenchmark("sbcs_latin", BM_decode, "sbcs_latin", std::uint16_t(273)));
    all.push_back(benchmark::RegisterBenchmark("dbcs", BM_decode, "dbcs", std::uint16_t(835)));
    all.push_back(benchmark::RegisterBenchmark("utf16", BM_decode, "utf16", std::uint16_t(1200)));
    for (auto* b : all) {
        for (std::int64_t n : sizes) b->Arg(n);
        pressel::bench::bestOf(b, 5);
    }

    pressel::bench::BestTimes rec;
    benchmark::RunSpecifiedBenchmarks(&rec);
    benchmark::Shutdown();

    // Input bytes per CPU second of the fastest repetition (CPU time: the
    // machine is shared, and other work stretches real time); the argument
    // is the input length.
    auto bytesPerSecond = [&](const std::string& name, std::int64_t n) {
        return double(n) / rec.cpuSeconds.at(name + "/" + std::to_string(n));
    };
    std::printf("\nbest of 5 in CPU time, input bytes per second and time against memcpy of the same length:\n");
    for (std::int64_t n : sizes) {
        if (!rec.has("memcpy/" + std::to_string(n))) continue;
        const double base = bytesPerSecond("memcpy", n);
        std::printf("%-7s %-10s %9.0f MB/s\n", std::to_string(n).c_str(), "memcpy", base / 1e6);
        for (const char* kind : {"sbcs", "sbcs_latin", "dbcs", "utf16"}) {
            if (!rec.has(std::string(kind) + "/" + std::to_string(n))) continue;
            const double rate = bytesPerSecond(kind, n);
            std::printf("%-7s %-10s %9.0f MB/s  %5.1fx memcpy\n", std::to_string(n).c_str(), kind, rate / 1e6,
                        base / rate);
        }
    }
    return 0;
}
