// Replays every input that ever made a fuzz target fail, and the sample
// streams split into the pieces the targets take, through the same target
// bodies the fuzzers run: a fault that comes back fails the suite.
#include <gtest/gtest.h>

#include <filesystem>

#include "../fuzz/targets.hpp"
#include "helpers.hpp"
#include "pressel/view/check.hpp"

namespace pressel {
namespace {

namespace fs = std::filesystem;

const fs::path kRegressions = fs::path(PRESSEL_TEST_DATA) / ".." / ".." / "fuzz" / "regressions";

void run(const fuzz::Target& t, const Bytes& b) { t.run(b.data(), b.size()); }

TEST(FuzzRegressions, EveryKeptInputPasses) {
    std::size_t n = 0;
    for (const fuzz::Target& t : fuzz::targets) {
        fs::path dir = kRegressions / t.name;
        if (!fs::is_directory(dir)) continue;
        for (const auto& e : fs::directory_iterator(dir)) {
            if (!e.is_regular_file()) continue;
            SCOPED_TRACE(e.path().string());
            run(t, test::readFileBytes(e.path().string()));
            // A crasher of one target is also a hostile input for the others.
            for (const fuzz::Target& other : fuzz::targets) run(other, test::readFileBytes(e.path().string()));
            ++n;
        }
    }
    EXPECT_GT(n, 0u);
}

TEST(FuzzRegressions, SampleStreamsAndTheirPieces) {
    for (const std::string& f : test::allSampleFiles()) {
        SCOPED_TRACE(f);
        Bytes whole = test::readFileBytes(f);
        fuzz::fuzzStream(whole.data(), whole.size());
        fuzz::fuzzRoundTrip(whole.data(), whole.size());
        fuzz::fuzzPages(whole.data(), whole.size());
        // Through a pipe, as it is and placed across the end of the reader's
        // first block, after line ends or NOP fields.
        for (const char* place : {"\x00\x00\x05", "\x01\x00\x03", "\x81\x02\x07", "\x02\x05\x09"}) {
            Bytes in = Bytes::copy(std::string(place, 3) + std::string(whole.chars()));
            fuzz::fuzzReader(in.data(), in.size());
        }
        if (whole.size() < 8192) fuzz::fuzzFilters(whole.data(), whole.size());
        AfpStream s(memorySource(whole));
        std::size_t k = 0;
        for (const AFP_& c : s) {
            if (k++ % 8 == 0 || c.payload.size() < 512) {
                Bytes p = c.payload.size() > 2048 ? c.payload.prefix(2048) : c.payload;
                fuzz::fuzzRecords(p.data(), p.size());
            }
            NestedList list;
            try {
                if (!nestedListOf(c, list)) continue;
            } catch (const Error&) {
                continue;
            }
            fuzz::fuzzNested(list.bytes.data(), list.bytes.size());
        }
    }
}

}  // namespace
}  // namespace pressel
