// String packing: EBCDIC names to text and back, numbers to bytes and back.
#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "pressel/core/decimal.hpp"
#include "pressel/core/strings.hpp"

namespace pressel {
namespace {

Bytes allByteValues() {
    std::vector<byte> v(256);
    for (int i = 0; i < 256; ++i) v[std::size_t(i)] = byte(i);
    return Bytes::adopt(std::move(v));
}

TEST(Strings, EmptyInputsGiveEmptyResults) {
    EXPECT_TRUE(packAStr(Bytes{}).empty());
    EXPECT_TRUE(fromAStr(Bytes{}).empty());
    EXPECT_TRUE(toAStr("").empty());
    EXPECT_TRUE(fromNStr(Bytes{}).empty());
    EXPECT_TRUE(toNStr(std::vector<N1>{}).empty());
}

TEST(Strings, EbcdicNamesConvertBothWays) {
    Bytes name = fromHex("D7C7D5F0F0F0F0F1");  // PGN00001
    EXPECT_EQ(fromAStr(name), "PGN00001");
    EXPECT_EQ(packAStr(name).chars(), "PGN00001");
    EXPECT_EQ(toAStr("PGN00001"), name);
    EXPECT_EQ(fromAStr(toAStr("Hello, World! [x] ^_^")), "Hello, World! [x] ^_^");
}

TEST(Strings, EveryByteKeepsItsPlaceAndSurvivesTheRoundTrip) {
    Bytes all = allByteValues();
    std::string text = fromAStr(all);
    ASSERT_EQ(text.size(), 256u);  // control and unprintable bytes give one character each
    EXPECT_EQ(packAStr(all).chars(), text);
    EXPECT_EQ(toAStr(text), all);

    std::vector<N1> numbers = fromNStr(all);
    ASSERT_EQ(numbers.size(), 256u);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(numbers[std::size_t(i)].value, i);
    EXPECT_EQ(toNStr(numbers), all);
}

TEST(Strings, ConversionsLeaveTheirInputAlone) {
    Bytes in = fromHex("C1C2C3");
    Bytes packed = packAStr(in);
    EXPECT_NE(packed.data(), in.data());
    EXPECT_EQ(in, fromHex("C1C2C3"));
    EXPECT_EQ(packed.chars(), "ABC");
}

// Decimal numbers come out as std::to_chars writes them: around every power of
// ten (where the digit count changes), at the ends of both ranges, and for
// random values of every width.
TEST(Decimal, WritesWhatToCharsWrites) {
    auto check = [](auto v) {
        char want[32], got[32];
        const char* const wantEnd = std::to_chars(want, want + sizeof want, v).ptr;
        const char* const gotEnd = writeDecimal(got, v);
        ASSERT_EQ(std::string_view(got, std::size_t(gotEnd - got)), std::string_view(want, std::size_t(wantEnd - want))) << v;
    };
    std::uint64_t p = 1;
    for (int k = 0; k < 20; ++k, p *= 10) {
        for (std::uint64_t v : {p - 1, p, p + 1, 2 * p - 1, 9 * p + (p - 1)}) {
            check(v);
            check(std::int64_t(v));
            check(-std::int64_t(v));
        }
    }
    check(std::numeric_limits<std::uint64_t>::max());
    check(std::numeric_limits<std::int64_t>::max());
    check(std::numeric_limits<std::int64_t>::min());
    std::mt19937_64 rng(3);
    for (int i = 0; i < 20000; ++i) {
        const std::uint64_t v = rng() >> (rng() % 64);
        check(v);
        check(std::int64_t(v));
    }
}

}  // namespace
}  // namespace pressel
