// Buffers and the output builder: byte forms, the Buffer2 length limit, the
// Buffer2 reader on short or malformed input, and sharing instead of copying.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pressel/core/buffer.hpp"

using namespace pressel;

namespace {

template <class T>
std::string written(const T& v) {
    Builder b;
    writeField(b, v);
    return hexString(std::move(b).toBytes().span());
}

Bytes filled(std::size_t n, byte value = 0x41) { return Bytes::adopt(std::vector<byte>(n, value)); }

}  // namespace

TEST(Buffer, ByteForms) {
    EXPECT_EQ(written(Buffer2{}), "0002");
    EXPECT_EQ(written(Buffer0{}), "");
    EXPECT_EQ(written(Buffer2{fromHex("414243")}), "0005414243");
    EXPECT_EQ(written(Buffer0{fromHex("414243")}), "414243");
    EXPECT_EQ(fieldSize(Buffer2{fromHex("414243")}), 5u);
    EXPECT_EQ(fieldSize(Buffer0{fromHex("414243")}), 3u);
    EXPECT_EQ(fromBuf(Buffer0{fromHex("414243")}), fromHex("414243"));
    EXPECT_TRUE(fromBuf(Buffer0{}).empty());
}

TEST(Buffer, Buffer2LengthMustFitSixteenBits) {
    Builder b;
    writeField(b, Buffer2{filled(Buffer2::maxData)});
    Bytes out = std::move(b).toBytes();
    ASSERT_EQ(out.size(), 65535u);
    EXPECT_EQ(out[0], 0xFF);
    EXPECT_EQ(out[1], 0xFF);
    EXPECT_EQ(out[2], 0x41);
    EXPECT_EQ(out[65534], 0x41);

    // 65534 and 65535 bytes would need a length of 65536 or 65537: refused
    // rather than written with a wrapped length.
    for (std::size_t n : {std::size_t(65534), std::size_t(65535), std::size_t(70000)}) {
        Builder bad;
        EXPECT_THROW(writeField(bad, Buffer2{filled(n)}), Error) << n;
        EXPECT_EQ(bad.size(), 0u) << "a refused write emits nothing";
    }
    Builder big;
    writeField(big, Buffer0{filled(70000)});  // no limit of its own
    EXPECT_EQ(big.size(), 70000u);
}

TEST(Buffer, WritingSharesTheBytes) {
    Bytes data = filled(1000, 0x5A);
    Builder b;
    writeField(b, N2(0x0102));
    writeField(b, Buffer2{data});
    writeField(b, Buffer0{Bytes{}});  // empty: leaves the open block alone
    writeField(b, N1(0xFF));
    writeField(b, Buffer0{data});
    EXPECT_EQ(b.size(), 2u + 2 + 1000 + 1 + 1000);
    std::vector<Bytes> pieces = std::move(b).pieces();
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_EQ(hexString(pieces[0].span()), "010203EA");
    EXPECT_EQ(pieces[1].data(), data.data());
    EXPECT_EQ(hexString(pieces[2].span()), "FF");
    EXPECT_EQ(pieces[3].data(), data.data());
}

TEST(Buffer, ShortStringsAfterOtherBytesAreCopiedIntoTheBlock) {
    // A string written first and a long one stay pieces of their own; short
    // ones after other bytes join the gathered block.
    Bytes small = fromHex("AABB"), large = filled(300, 0x11);
    Builder b;
    writeField(b, Buffer0{small});
    writeField(b, N1(0x01));
    writeField(b, Buffer0{small});
    writeField(b, Buffer0{large});
    writeField(b, Buffer0{small});
    writeField(b, N1(0x02));
    EXPECT_EQ(b.size(), 2u + 1 + 2 + 300 + 2 + 1);
    std::vector<Bytes> pieces = std::move(b).pieces();
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_EQ(pieces[0].data(), small.data());
    EXPECT_EQ(hexString(pieces[1].span()), "01AABB");
    EXPECT_EQ(pieces[2].data(), large.data());
    EXPECT_EQ(hexString(pieces[3].span()), "AABB02");
}

TEST(Buffer, BuilderConcatenatesPiecesInOrder) {
    Builder b;
    writeField(b, Buffer0{fromHex("AA")});
    writeField(b, A1(0xBB));
    writeField(b, Buffer0{fromHex("CC")});
    EXPECT_EQ(hexString(std::move(b).toBytes().span()), "AABBCC");

    Builder one;
    Bytes only = fromHex("0102");
    writeField(one, Buffer0{only});
    EXPECT_EQ(std::move(one).toBytes().data(), only.data()) << "a single piece is handed on, not copied";
    EXPECT_TRUE(std::move(Builder{}).toBytes().empty());
}

TEST(Buffer, Buffer2ReaderTakesItsLengthAndSharesTheData) {
    Bytes in = fromHex("0005414243 0002 0003FF 99");
    ByteReader r(in);
    Buffer2 a = readBuffer2(r);
    EXPECT_EQ(a.bytes, fromHex("414243"));
    EXPECT_EQ(a.bytes.data(), in.data() + 2) << "the data is a slice of the input";
    EXPECT_TRUE(readBuffer2(r).bytes.empty());
    EXPECT_EQ(readBuffer2(r).bytes, fromHex("FF"));
    EXPECT_EQ(r.position(), 10u);
    Buffer0 rest = readBuffer0(r);
    EXPECT_EQ(rest.bytes, fromHex("99"));
    EXPECT_TRUE(readBuffer0(r).bytes.empty()) << "Buffer0 at the end is empty";
}

TEST(Buffer, Buffer2ReaderRejectsShortAndSelfUncountingLengths) {
    // A length of 0 or 1 cannot count its own two bytes.
    for (const char* hex : {"0000 4142", "0001 4142"}) {
        ByteReader r(fromHex(hex), 500);
        try {
            readBuffer2(r);
            FAIL() << hex;
        } catch (const FormatError& e) {
            EXPECT_EQ(e.offset(), 500u) << hex;
        }
    }
    // Data shorter than the length says.
    ByteReader shortData(fromHex("000A 414243"), 20);
    try {
        readBuffer2(shortData);
        FAIL();
    } catch (const EndOfInput& e) {
        EXPECT_EQ(e.offset(), 22u);
        EXPECT_EQ(e.needed(), 8u);
        EXPECT_EQ(e.left(), 3u);
    }
    // Not even the length is there.
    ByteReader oneByte(fromHex("00"));
    EXPECT_THROW(readBuffer2(oneByte), EndOfInput);
    ByteReader nothing{Bytes{}};
    EXPECT_THROW(readBuffer2(nothing), EndOfInput);
    // The largest length reads back what the largest write produced.
    Builder b;
    writeField(b, Buffer2{filled(Buffer2::maxData)});
    ByteReader max(std::move(b).toBytes());
    EXPECT_EQ(readBuffer2(max).bytes.size(), Buffer2::maxData);
}

TEST(Buffer, TextForm) {
    EXPECT_EQ(show(Buffer0{fromHex("d3a8af")}), "\"D3A8AF\"");
    EXPECT_EQ(show(Buffer2{}), "\"\"");
    std::string s = "x ";
    showsPrec(s, 11, Buffer2{fromHex("0A")});
    EXPECT_EQ(s, "x \"0A\"");
}
