// Every range of the library survives std::views::take and moves of its
// iterators: streams, nested lists and filtered ranges.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ranges>
#include <string>
#include <vector>

#include "helpers.hpp"
#include "lossless.hpp"
#include "pressel/view/check.hpp"
#include "pressel/filter.hpp"
#include "pressel/stream/io.hpp"

using namespace pressel;
using namespace pressel::test;

namespace pressel::test {

// The second half of the push-back handlers (see lossless.hpp): instantiated
// here, in the lightest of the lossless files.
template void addPushBackHandlers<1>(ChunkFilters<AFP_>&);

}  // namespace pressel::test

// ---- ranges through std::views::take and moved iterators -------------------------------

// Clang 14 cannot compile the range adaptors of libstdc++ 12 (not even over a
// std::vector); there the walks through std::views::take are left out.
#if !defined(__clang__) || __clang_major__ >= 15
#define PRESSEL_TEST_VIEWS 1
#endif

namespace {

// A range over a list that hands out each chunk by value, as an input
// iterator that makes its chunks on the fly would.
struct ByValue {
    const std::vector<AFP_>* list;
    struct iterator {
        using iterator_category = std::input_iterator_tag;
        using value_type = AFP_;
        using difference_type = std::ptrdiff_t;
        const std::vector<AFP_>* list = nullptr;
        std::size_t at = 0;
        AFP_ operator*() const { return (*list)[at]; }
        iterator& operator++() {
            ++at;
            return *this;
        }
        void operator++(int) { ++at; }
        friend bool operator==(const iterator& a, std::default_sentinel_t) { return a.at >= a.list->size(); }
    };
    iterator begin() const { return {list, 0}; }
    std::default_sentinel_t end() const { return {}; }
};

template <class C>
std::string payloads(const std::vector<C>& v) {
    std::string s;
    for (const C& c : v) s += hexOf(c.payload) + ";";
    return s;
}

// Walks the range whole, then its first `n` chunks through std::views::take,
// then again by an iterator that is moved (and its source destroyed) after
// each step; all three give the same chunks. `make` builds a fresh range for
// each walk (a stream can be walked once).
template <class Make>
void walksAlike(Make make, std::size_t n, const std::string& what) {
    using C = std::remove_cvref_t<decltype(*make().begin())>;
    std::vector<C> whole;
    {
        auto r = make();
        for (const C& c : r) whole.push_back(c);
    }
    ASSERT_GT(whole.size(), n) << what;
#ifdef PRESSEL_TEST_VIEWS
    std::vector<C> taken;
    {
        auto r = make();
        for (const C& c : r | std::views::take(n)) taken.push_back(c);
    }
    EXPECT_EQ(payloads(taken), payloads(std::vector<C>(whole.begin(), whole.begin() + std::ptrdiff_t(n)))) << what;
#endif
    std::vector<C> moved;
    {
        auto r = make();
        using It = decltype(r.begin());
        std::optional<It> held;
        {
            It first = r.begin();
            held.emplace(std::move(first));
        }
        while (!(*held == r.end())) {
            moved.push_back(**held);
            It next = std::move(*held);
            held.reset();
            ++next;
            It copy = next;
            held.emplace(std::move(copy));
        }
    }
    EXPECT_EQ(payloads(moved), payloads(whole)) << what;
}

}  // namespace

TEST(Lossless, EveryRangeSurvivesTakeAndMovedIterators) {
    const std::string path = dataPath("corpus/cs.afp");
    const Bytes file = readFileBytes(path);
    walksAlike([&] { return AfpStream(memorySource(file)); }, 3, "AfpStream");
    walksAlike([&] { return readAFP(path); }, 3, "readAFP");

    const Bytes triplets = fromHex("0402C1C2 046540C1 0421C3C4 04240105 092501");
    walksAlike([&] { return Chunks<T_>::fromPayload(triplets); }, 2, "Chunks read from a payload");
    const std::vector<T_> list = Chunks<T_>::fromPayload(triplets).toVector();
    walksAlike([&] { return Chunks<T_>(list); }, 2, "Chunks built from a list");
    walksAlike([&] { return strictItems(Chunks<T_>::fromPayload(triplets.prefix(12))); }, 2, "strictItems");
    walksAlike([&] { return Chunks<PTX_>::fromPayload(fromHex("2BD302F8C1C22BD303F005"), false); }, 2,
               "control sequences");

    // Filtered streams: chunks passed on from the input, and replacements
    // (a PTX split in two, a NOP deleted).
    const ChunkFilters<AFP_> fs{
        rewrite<PTX>([](const Lazy<PTX>&, ChunkWriter<AFP_>& w) {
            w.keep();
            w.keep();
        }),
        rewrite<NOP>([](const Lazy<NOP>&, ChunkWriter<AFP_>&) {}),
    };
    walksAlike([&] { return chunksMapFiltersM(AfpStream(memorySource(file)), fs); }, 4, "filtered stream");
    walksAlike([&] { return chunksMapFiltersM(readAFP(path), ChunkFilters<AFP_>{}); }, 4, "unfiltered stream");
    const ChunkFilters<T_> tf{rewrite<T_CMT>([](const Lazy<T_CMT>&, ChunkWriter<T_>& w) {
        w.keep();
        w.keep();
    })};
    walksAlike([&] { return chunksMapFiltersM(Chunks<T_>::fromPayload(triplets), tf); }, 3, "filtered triplets");
    // Over chunks in memory, and over chunks an input makes on the fly (held
    // by the filtered range, not by the input).
    std::vector<AFP_> fields;
    for (const AFP_& c : readAFP(path)) fields.push_back(c);
    walksAlike([&] { return chunksMapFiltersM(fields, fs); }, 4, "filtered list");
    walksAlike([&] { return chunksMapFiltersM(ByValue{&fields}, fs); }, 4, "filtered chunks made on the fly");
}
