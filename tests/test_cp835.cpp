// Code page 835 -> 950: the pair-list builder, the generated mapping checked
// against glibc iconv, text conversion, the character tests and font sizes.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <unistd.h>

#include "iconv_reference.hpp"
#include "pressel/text/cp835.hpp"
#include "pressel/core/error.hpp"

using namespace pressel;

namespace {

using PairList = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

void appendCode(std::string& s, std::uint32_t code) {
    s += static_cast<char>(code >> 8);
    s += static_cast<char>(code & 0xFF);
}

std::string fontError(std::string_view name) {
    try {
        fontSizeFromName(name);
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(Cp835Build, PairsFollowTextOrder) {
    EXPECT_TRUE(convert835to950_build(U"").empty());
    EXPECT_EQ(convert835to950_build(U"\x4C41\xA440"), (PairList{{0x4C41, 0xA440}}));
    EXPECT_EQ(convert835to950_build(U"ABCD"), (PairList{{65, 66}, {67, 68}}));
    EXPECT_EQ(convert835to950_build(U"ABC"), (PairList{{65, 66}})); // unpaired last character ignored
    EXPECT_TRUE(convert835to950_build(U"A").empty());
    EXPECT_EQ(convert835to950_build(U"\U0010FFFF\x01"), (PairList{{0x10FFFF, 1}}));
}

TEST(Cp835Mapping, TextRoundTripsAndEveryPairLooksUp) {
    const PairList pairs = convert835to950_build(cp835MappingText());
    ASSERT_GT(pairs.size(), 13000u);
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        if (i > 0) {
            ASSERT_LT(pairs[i - 1].first, pairs[i].first) << "not sorted at " << i;
        }
        ASSERT_EQ(convert835to950(static_cast<std::uint16_t>(pairs[i].first)), pairs[i].second)
            << std::hex << pairs[i].first;
    }
}

TEST(Cp835Mapping, KnownCodesAndReplacement) {
    EXPECT_EQ(convert835to950(0x4C41), 0xA440); // first ideograph, U+4E00
    EXPECT_EQ(convert835to950(0x4040), 0xA140); // ideographic space
    EXPECT_EQ(kCp950Replacement, 0xA140);
    for (std::uint16_t unnamed : {0x0000, 0x0E0F, 0x4041, 0x40FF, 0xFFFF})
        EXPECT_EQ(convert835to950(unnamed), kCp950Replacement) << std::hex << unnamed;
}

// Each pair through glibc's IBM937 (double-byte part, between shift-out and
// shift-in) to CP950 and to UTF-8, in one call per target for the whole table.
TEST(Cp835Mapping, AgreesWithIconvForEveryPair) {
    const PairList pairs = convert835to950_build(cp835MappingText());
    std::string host = "\x0E", big5, big5Expected;
    for (const auto& [from, to] : pairs) {
        appendCode(host, from);
        appendCode(big5, to);
    }
    host += '\x0F';
    const auto viaIconv = test::iconvConvert("IBM937", "CP950", host);
    const auto utf8ViaIconv = test::iconvConvert("IBM937", "UTF-8", host);
    if (!viaIconv || !utf8ViaIconv) GTEST_SKIP() << "iconv with IBM937/CP950 not available";
    ASSERT_EQ(viaIconv->size(), big5.size());
    for (std::size_t i = 0; i < pairs.size(); ++i)
        ASSERT_EQ(viaIconv->substr(2 * i, 2), big5.substr(2 * i, 2)) << "835 code " << std::hex << pairs[i].first;
    EXPECT_EQ(cp950ToUtf8(big5), *utf8ViaIconv);
}

TEST(Cp835Text, ConvertsPairsAndReplacesWhatItCannot) {
    EXPECT_EQ(convert835to950Text(""), "");
    EXPECT_EQ(convert835to950Text("\x4C\x41\x40\x40"), "\xA4\x40\xA1\x40");
    EXPECT_EQ(convert835to950Text("\x4C\x41\xFF\xFF"), "\xA4\x40\xA1\x40"); // unmapped pair
    EXPECT_EQ(convert835to950Text("\x4C\x41\x4C"), "\xA4\x40\xA1\x40");     // unpaired last byte
}

TEST(Cp950Utf8, DecodesKnownCodesPassesAsciiAndFlagsTheRest) {
    EXPECT_EQ(cp950ToUtf8(""), "");
    EXPECT_EQ(cp950ToUtf8("Ab 1\n"), "Ab 1\n");
    EXPECT_EQ(cp950ToUtf8("\xA4\x40"
                          "x\xA1\x40"),
              "\xE4\xB8\x80"
              "x\xE3\x80\x80");
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(cp950ToUtf8("\xA4"), replacement);          // lead byte at the end
    EXPECT_EQ(cp950ToUtf8("\x80" "A"), replacement + "A"); // not a lead byte
    EXPECT_EQ(cp950ToUtf8("\xFF" "A"), replacement + "A");
    EXPECT_EQ(cp950ToUtf8("\xA4\x3F"), replacement); // no such code: both bytes consumed
}

TEST(CharacterTests, DigitsAndWhiteSpace) {
    for (char32_t c = 0; c < 0x3000; ++c) {
        const bool digit = c >= U'0' && c <= U'9';
        EXPECT_EQ(isDecimalDigit(c), digit) << static_cast<unsigned>(c);
        EXPECT_EQ(isNotDecimalDigit(c), !digit) << static_cast<unsigned>(c);
    }
    EXPECT_FALSE(isDecimalDigit(U'\xFF10')); // fullwidth digit zero
    for (char32_t c : {9, 10, 11, 12, 13, 32, 160}) EXPECT_FALSE(isNotWhiteSpace(c)) << static_cast<unsigned>(c);
    for (char32_t c : {0, 8, 14, 31, 33, 65, 48, 0x7F, 0x4E00}) EXPECT_TRUE(isNotWhiteSpace(c)) << static_cast<unsigned>(c);
}

TEST(FontSize, LastRunOfDigits) {
    EXPECT_EQ(fontSizeFromName("MingLiU 12"), 12);
    EXPECT_EQ(fontSizeFromName("Kai10B"), 10);
    EXPECT_EQ(fontSizeFromName("T0 24 Song 9 Bold"), 9);
    EXPECT_EQ(fontSizeFromName("7"), 7);
    EXPECT_EQ(fontSizeFromName("Song 007"), 7);
    EXPECT_EQ(fontSizeFromName("x2147483647"), 2147483647);
}

TEST(FontSize, FailureMessageQuotesTheName) {
    const std::string prefix = "Cannot parse font for size: ";
    EXPECT_EQ(fontError("X"), prefix + "\"X\"");
    EXPECT_EQ(fontError(""), prefix + "\"\"");
    EXPECT_EQ(fontError("Song 0"), prefix + "\"Song 0\"");
    EXPECT_EQ(fontError("x2147483648"), prefix + "\"x2147483648\"");
    EXPECT_EQ(fontError("x99999999999999999999999"), prefix + "\"x99999999999999999999999\"");
    EXPECT_EQ(fontError("a\"b\\c"), prefix + "\"a\\\"b\\\\c\"");
    EXPECT_EQ(fontError(std::string("b\x07\n\x7F\xFF\0z", 7)), prefix + "\"b\\x07\\x0A\\x7F\\xFF\\x00z\"");
}
