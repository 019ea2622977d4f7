// EBCDIC (code page 500) <-> Latin-1 tables: build rules, lookup bounds, the
// contents against glibc iconv, and the string conversions.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "iconv_reference.hpp"
#include "pressel/text/ebcdic.hpp"
#include "pressel/core/error.hpp"

using namespace pressel;

namespace {

std::string allBytes() {
    std::string s(256, '\0');
    for (int i = 0; i < 256; ++i) s[static_cast<std::size_t>(i)] = static_cast<char>(i);
    return s;
}

} // namespace

TEST(ByteTableBuild, PairsLeaveUnnamedIndicesZeroAndLaterPairsWin) {
    const std::vector<std::pair<std::uint8_t, std::uint8_t>> pairs{{65, 0xC1}, {10, 7}, {65, 0xC2}, {255, 9}};
    const ByteTable t = buildTableFromPairs(pairs);
    EXPECT_EQ(t.bytes[65], 0xC2);
    EXPECT_EQ(t.bytes[10], 7);
    EXPECT_EQ(t.bytes[255], 9);
    EXPECT_EQ(t.bytes[66], 0);
    EXPECT_EQ(t.bytes[0], 0);
    EXPECT_EQ(buildTableFromPairs({}).bytes, ByteTable{}.bytes);
}

TEST(ByteTableBuild, ListFillsInIndexOrderAndStopsAt256) {
    std::vector<std::uint8_t> list(300);
    for (std::size_t i = 0; i < list.size(); ++i) list[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const ByteTable full = buildTableFromList(std::span(list).first(256));
    const ByteTable longer = buildTableFromList(list);
    EXPECT_EQ(full.bytes, longer.bytes);
    for (std::size_t i = 0; i < 256; ++i) EXPECT_EQ(full.bytes[i], list[i]) << i;

    const ByteTable shorter = buildTableFromList(std::span(list).first(3));
    EXPECT_EQ(shorter.bytes[2], list[2]);
    for (std::size_t i = 3; i < 256; ++i) EXPECT_EQ(shorter.bytes[i], 0) << i;
}

TEST(ByteTableLookup, EveryByteIsAValidIndexAndBeyondThrowsNamingTheIndex) {
    EXPECT_EQ(lookup(ebc2ascW8(), 255), 0x9F); // EBCDIC X'FF' is the control character U+009F
    EXPECT_EQ(lookup(asc2ebc(), 0), 0);
    try {
        lookup(asc2ebcW(), 256);
        FAIL() << "no error for index 256";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("256"), std::string::npos) << e.what();
    }
}

TEST(ByteTableLookup, HonoursNonZeroLowerBound) {
    ByteTable t;
    t.bytes[0] = 11;
    t.bytes[255] = 22;
    t.lowest = 100;
    t.highest = 355;
    EXPECT_EQ(lookup(t, 100), 11);
    EXPECT_EQ(lookup(t, 355), 22);
    EXPECT_THROW(lookup(t, 99), Error);
    EXPECT_THROW(lookup(t, 356), Error);
    t.count = 10; // bounds wider than the data: the count still guards
    EXPECT_THROW(lookup(t, 110), Error);
}

TEST(Cp500Tables, AreInverseBijectionsAndBothAsciiTablesAgree) {
    const ByteTable& a2e = asc2ebc();
    const ByteTable& e2a = ebc2ascW8();
    EXPECT_EQ(a2e.bytes, asc2ebcW().bytes);
    for (unsigned b = 0; b < 256; ++b) {
        EXPECT_EQ(lookup(e2a, lookup(a2e, b)), b);
        EXPECT_EQ(lookup(a2e, lookup(e2a, b)), b);
    }
}

TEST(Cp500Tables, KnownCodePoints) {
    // Letters, digits, blank, and the brackets/bar/exclamation where code page
    // 500 differs from the US code page 037.
    const std::vector<std::pair<char, std::uint8_t>> known{
        {'A', 0xC1}, {'J', 0xD1}, {'S', 0xE2}, {'Z', 0xE9}, {'a', 0x81}, {'z', 0xA9}, {'0', 0xF0}, {'9', 0xF9},
        {' ', 0x40}, {'.', 0x4B}, {'[', 0x4A}, {']', 0x5A}, {'!', 0x4F}, {'|', 0xBB}, {'^', 0x5F}, {'\n', 0x25}};
    for (const auto& [ascii, ebcdic] : known) {
        EXPECT_EQ(lookup(asc2ebc(), static_cast<unsigned char>(ascii)), ebcdic) << ascii;
        EXPECT_EQ(lookup(ebc2ascW8(), ebcdic), static_cast<unsigned char>(ascii)) << ascii;
    }
}

TEST(Cp500Tables, MatchIconvOnAllBytes) {
    const auto latin1 = test::iconvConvert("CP500", "ISO-8859-1", allBytes());
    const auto utf8 = test::iconvConvert("CP500", "UTF-8", allBytes());
    if (!latin1 || !utf8) GTEST_SKIP() << "iconv with CP500 not available";
    EXPECT_EQ(ebcdicToLatin1(allBytes()), *latin1);
    EXPECT_EQ(ebcdicToUtf8(allBytes()), *utf8);
}

TEST(EbcdicStrings, ConvertByteForByteAndRoundTrip) {
    EXPECT_EQ(ebcdicToLatin1(""), "");
    EXPECT_EQ(latin1ToEbcdic(""), "");
    EXPECT_EQ(ebcdicToUtf8(""), "");

    EXPECT_EQ(latin1ToEbcdic("F1ARIAL"), "\xC6\xF1\xC1\xD9\xC9\xC1\xD3");
    EXPECT_EQ(ebcdicToLatin1("\xC6\xF1\xC1\xD9\xC9\xC1\xD3\x40"), "F1ARIAL ");
    EXPECT_EQ(ebcdicToLatin1(latin1ToEbcdic(allBytes())), allBytes());

    // Non-ASCII Latin-1 characters become two UTF-8 bytes.
    const std::string eAcute = latin1ToEbcdic("\xE9");
    ASSERT_EQ(eAcute.size(), 1u);
    EXPECT_EQ(ebcdicToUtf8(eAcute + "\xC1"), "\xC3\xA9"
                                             "A");
}
