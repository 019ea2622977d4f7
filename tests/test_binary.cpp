// Field types: widths, big-endian byte forms, dropping of high bits, readers
// and their bounds, text forms, the arithmetic of the A types, N0.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pressel/core/binary.hpp"
#include "pressel/core/codec.hpp"

using namespace pressel;

namespace {

template <class T>
std::string written(T v) {
    Builder b;
    writeField(b, v);
    return hexString(std::move(b).toBytes().span());
}

template <class T>
std::string shownAt(int prec, T v) {
    std::string s = "tail:";  // renderers append to what is there
    showsPrec(s, prec, v);
    return s.substr(5);
}

uint128 u128(std::uint64_t hi, std::uint64_t lo) { return (uint128(hi) << 64) | lo; }

}  // namespace

TEST(Binary, WritesExactlyTheWidthBigEndian) {
    EXPECT_EQ(written(N1(0xAB)), "AB");
    EXPECT_EQ(written(N2(0x1234)), "1234");
    EXPECT_EQ(written(N3(0x123456)), "123456");
    EXPECT_EQ(written(N4(0x89ABCDEFu)), "89ABCDEF");
    EXPECT_EQ(written(A1(0)), "00");
    EXPECT_EQ(written(A2(0x00EF)), "00EF");
    EXPECT_EQ(written(A3(0x000001)), "000001");
    EXPECT_EQ(written(A6(0x112233445566ull)), "112233445566");
    EXPECT_EQ(written(A8(0x0102030405060708ull)), "0102030405060708");
    EXPECT_EQ(written(A12(uint128(1))), "000000000000000000000001");
    EXPECT_EQ(written(A12(u128(0x11223344, 0x5566778899AABBCCull))), "112233445566778899AABBCC");
    EXPECT_EQ(written(I2(-5)), "FFFB");
    EXPECT_EQ(written(I2(-32768)), "8000");
    EXPECT_EQ(written(I2(32767)), "7FFF");
    EXPECT_EQ(written(N0{}), "");
}

TEST(Binary, DropsBitsAboveTheWidth) {
    EXPECT_EQ(written(N3(0xFF123456u)), "123456");
    EXPECT_EQ(written(A3(0xAB123456u)), "123456");
    EXPECT_EQ(written(A6(0xFFFF112233445566ull)), "112233445566");
    EXPECT_EQ(written(A12(u128(0xDEADBEEF11223344ull, 0x5566778899AABBCCull))), "112233445566778899AABBCC");
    // Arithmetic on A types wraps to the width, so the value never leaves it.
    EXPECT_EQ(A1(250) + A1(10), A1(4));
    EXPECT_EQ(A3(0) - A3(1), A3(0xFFFFFF));
    EXPECT_EQ(~A2(0), A2(0xFFFF));
    EXPECT_EQ(A6(0x800000000000ull) << 1, A6(0));
    EXPECT_EQ(A12(uint128(1)) << 95, A12(uint128(1) << 95));
    EXPECT_EQ(A12(uint128(1)) << 96, A12(uint128(0)));
    EXPECT_EQ(A8(1) << 64, A8(0));  // shifting by the full width must not be undefined
    EXPECT_EQ(A12(u128(0xFFFFFFFF, ~0ull)) * A12(uint128(2)), A12(u128(0xFFFFFFFF, ~0ull - 1)));
}

TEST(Binary, ReadsWhatWasWritten) {
    Builder b;
    writeField(b, N1(7));
    writeField(b, N3(0xC0FFEE));
    writeField(b, I2(-5));
    writeField(b, A6(0x112233445566ull));
    writeField(b, A12(u128(0x01020304, 0x0506070809101112ull)));
    writeField(b, N4(0xFFFFFFFFu));
    writeField(b, N0{});
    Bytes bytes = std::move(b).toBytes();
    ASSERT_EQ(bytes.size(), 1u + 3 + 2 + 6 + 12 + 4);

    ByteReader r(bytes);
    EXPECT_EQ(readField<N1>(r), N1(7));
    EXPECT_EQ(readField<N3>(r), N3(0xC0FFEE));
    EXPECT_EQ(r.position(), 4u);
    EXPECT_EQ(readField<I2>(r).value, -5);
    EXPECT_EQ(readField<A6>(r), A6(0x112233445566ull));
    EXPECT_EQ(readField<A12>(r), A12(u128(0x01020304, 0x0506070809101112ull)));
    EXPECT_EQ(readField<N4>(r).value, 0xFFFFFFFFu);
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(readField<N0>(r), N0{});  // consumes nothing, even at the end
}

TEST(Binary, SignedReaderSignExtends) {
    ByteReader r(fromHex("8000 FFFF 7FFF"));
    EXPECT_EQ(readField<I2>(r).value, -32768);
    EXPECT_EQ(readField<I2>(r).value, -1);
    EXPECT_EQ(readField<I2>(r).value, 32767);
}

TEST(Binary, ShortReadFailsWithOffsetNeededAndLeft) {
    ByteReader r(fromHex("D3A8AF 0102"), 1000);
    r.setContext("BPG", "bpg_Name");
    readField<N3>(r);
    try {
        readField<N4>(r);
        FAIL() << "read past the end";
    } catch (const EndOfInput& e) {
        EXPECT_EQ(e.offset(), 1003u);
        EXPECT_EQ(e.needed(), 4u);
        EXPECT_EQ(e.left(), 2u);
        const std::string msg = e.what();
        EXPECT_NE(msg.find("BPG field bpg_Name"), std::string::npos) << msg;
        EXPECT_NE(msg.find("1003"), std::string::npos) << msg;
    }
    // The failed read consumed nothing.
    EXPECT_EQ(r.position(), 3u);
    EXPECT_EQ(readField<N2>(r), N2(0x0102));

    ByteReader empty{Bytes{}};
    EXPECT_THROW(readField<A1>(empty), EndOfInput);
    EXPECT_THROW(readField<A12>(empty), EndOfInput);
}

TEST(Binary, TextFormsOfTheAFamilyPadToTwiceTheWidth) {
    EXPECT_EQ(show(A2(0xBEEF)), "BEEF");
    EXPECT_EQ(show(A1(0)), "00");
    EXPECT_EQ(show(A1(10)), "0A");
    EXPECT_EQ(show(A3(0xABC)), "000ABC");
    EXPECT_EQ(show(A6(0x112233445566ull)), "112233445566");
    EXPECT_EQ(show(A8(0)), std::string(16, '0'));
    EXPECT_EQ(show(A12(uint128(1))), std::string(23, '0') + "1");
    // Never parenthesised, whatever the precedence.
    EXPECT_EQ(shownAt(11, A2(0xBEEF)), "BEEF");
    // A value wider than the field is shown in full, never cut.
    EXPECT_EQ(zeropad(1, 0x1234), "1234");
    EXPECT_EQ(zeropad(2, 0), "0000");
    EXPECT_EQ(zeropad(12, u128(0x100000000ull, 0)), "100000000" + std::string(16, '0'));
}

TEST(Binary, TextFormsOfNumbersListsAndN0) {
    EXPECT_EQ(show(N1(0)), "0");
    EXPECT_EQ(show(N2(258)), "258");
    EXPECT_EQ(show(N3(0xFFFFFF)), "16777215");
    EXPECT_EQ(show(N4(0xFFFFFFFFu)), "4294967295");
    EXPECT_EQ(shownAt(11, N2(7)), "7");
    EXPECT_EQ(show(N0{}), "N0");
    EXPECT_EQ(show(std::vector<A1>{A1(10), A1(255)}), "[0A,FF]");
    EXPECT_EQ(show(std::vector<N2>{}), "[]");
    EXPECT_EQ(show(std::vector<I2>{I2(-1), I2(2)}), "[I2 (-1),I2 2]");
}

TEST(Binary, SignedTextFormParenthesisesNegativesAndArguments) {
    EXPECT_EQ(show(I2(-5)), "I2 (-5)");
    EXPECT_EQ(shownAt(11, I2(-5)), "(I2 (-5))");
    EXPECT_EQ(show(I2(5)), "I2 5");
    EXPECT_EQ(shownAt(11, I2(5)), "(I2 5)");
    EXPECT_EQ(shownAt(10, I2(-5)), "I2 (-5)");  // 11 is the first argument precedence
    EXPECT_EQ(show(I2(0)), "I2 0");
    EXPECT_EQ(show(I2(-32768)), "I2 (-32768)");
}

TEST(Binary, AFamilyBehavesAsUnsignedIntegers) {
    EXPECT_LT(A2(0x00FF), A2(0x0100));
    EXPECT_EQ(A2(0x1234) & A2(0x00F0), A2(0x0030));
    EXPECT_EQ(A2(0x1200) | A2(0x0034), A2(0x1234));
    EXPECT_EQ(A2(0x1234) ^ A2(0x1234), A2(0));
    EXPECT_EQ(A3(0x123456) >> 8, A3(0x1234));
    EXPECT_EQ(A8(100) / A8(7), A8(14));
    EXPECT_EQ(A8(100) % A8(7), A8(2));
    EXPECT_THROW(A1(1) / A1(0), Error);
    EXPECT_THROW(A1(1) % A1(0), Error);
    EXPECT_TRUE(testBit(A1(0x80), 7));
    EXPECT_FALSE(testBit(A1(0x80), 6));
    EXPECT_FALSE(testBit(A1(0xFF), 8));  // beyond the width
    EXPECT_FALSE(testBit(A1(0xFF), -1));
    EXPECT_TRUE(testBit(A12(uint128(1) << 95), 95));
    EXPECT_EQ(static_cast<std::uint16_t>(A2(0xBEEF)), 0xBEEF);
    EXPECT_EQ(storageSize(A6{}), 6);
    EXPECT_EQ(storageSize(A12{}), 12);
}

TEST(Binary, N0HasOneValueAndIndexZero) {
    EXPECT_EQ(toN0(0), N0{});
    EXPECT_THROW(toN0(1), Error);
    EXPECT_THROW(toN0(-1), Error);
    EXPECT_EQ(fromN0(N0{}), 0);
    EXPECT_EQ(fieldSize(N0{}), 0u);
    EXPECT_EQ(N0::width, 0);
    EXPECT_EQ(fieldSize(A12{}), 12u);
    EXPECT_EQ(fieldSize(I2{}), 2u);
}
