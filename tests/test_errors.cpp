// One error contract: a record that does not decode from a structured field
// of a stream fails with a FormatError at the field's stream offset and the
// byte within the field, whether the reader or the record machinery finds it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pressel/stream/io.hpp"
#include "pressel/records.hpp"

using namespace pressel;

namespace {

// X'5A', the length (counting itself), then the payload given in hex.
std::string framed(const std::string& payloadHex) {
    const Bytes p = fromHex(payloadHex);
    std::string out = "\x5A";
    out += char((p.size() + 2) >> 8);
    out += char((p.size() + 2) & 0xFF);
    out.append(p.chars());
    return out;
}

struct Walked {
    std::uint64_t offset;
    AFP_ field;
};

std::vector<Walked> walk(const std::string& stream) {
    AfpStream s(memorySource(Bytes::copy(stream)));
    std::vector<Walked> out;
    for (auto it = s.begin(); it != s.end(); ++it) out.push_back({it.offset(), *it});
    return out;
}

// Image Cell Position with 5 of its 12 data bytes: icp_XCellSize (data bytes
// 4 and 5) has 1 of its 2 bytes.
const std::string kShortIcp = "D3AC7B 000000 0001 0002 00";

}  // namespace

TEST(ErrorContract, ShortFieldFailsAtTheFieldsStreamOffsetAndTheByteInIt) {
    // A No Operation field of 9 bytes before it: the ICP starts at offset 12.
    const std::vector<Walked> fields = walk(framed("D3EEEE 000000 C1C2C3") + framed(kShortIcp));
    ASSERT_EQ(fields.size(), 2u);
    ASSERT_EQ(fields[1].offset, 12u);

    for (int how = 0; how < 2; ++how) {
        try {
            if (how == 0) (void)decodeChunk<ICP>(fields[1].field, fields[1].offset);
            else (void)decodeRecord<ICP>(fields[1].field, fields[1].offset);
            FAIL() << "a short field must fail";
        } catch (const FormatError& e) {
            EXPECT_EQ(e.offset(), 12u);
            // 2 length bytes, 3 identifier bytes, flags, 2 reserved, 4 data bytes.
            EXPECT_EQ(e.byteInField(), 12u);
            EXPECT_EQ(std::string(e.what()),
                      "end of input reading ICP field icp_XCellSize: needed 2 bytes, 1 left, "
                      "byte 12 of the structured field at offset 12");
            EXPECT_EQ(e.reason(), "end of input reading ICP field icp_XCellSize: needed 2 bytes, 1 left");
        }
    }
    // A field that reads is not affected by the offset.
    EXPECT_EQ(decodeChunk<NOP>(fields[0].field, fields[0].offset), decodeChunk<NOP>(fields[0].field));
}

TEST(ErrorContract, ByteInFieldCountsTheIntroducerExtension) {
    // Flag X'80': a 4-byte extension (its length byte and 3 bytes) after the
    // reserved bytes, before the data; the fault moves 4 bytes further in.
    const std::vector<Walked> fields = walk(framed("D3AC7B 800000 04AABBCC 0001 0002 00"));
    ASSERT_EQ(fields.size(), 1u);
    try {
        (void)decodeRecord<ICP>(fields[0].field, 0);
        FAIL() << "a short field must fail";
    } catch (const FormatError& e) {
        EXPECT_EQ(e.offset(), 0u);
        EXPECT_EQ(e.byteInField(), 16u);
    }
}

TEST(ErrorContract, WithoutAStreamOffsetTheOffsetCountsInTheRecordsBytes) {
    // End of input is a FormatError too, so one handler catches what the
    // reader and the record machinery raise.
    const AFP_ icp = mkChunk<AFP_>(N3(0xD3AC7B), fromHex(kShortIcp));
    try {
        (void)decodeChunk<ICP>(icp);
        FAIL() << "a short field must fail";
    } catch (const FormatError& e) {
        EXPECT_NE(dynamic_cast<const EndOfInput*>(&e), nullptr);
        EXPECT_EQ(e.offset(), 10u);
        EXPECT_EQ(e.byteInField(), FormatError::kNoField);
        EXPECT_EQ(e.reason(), "end of input reading ICP field icp_XCellSize: needed 2 bytes, 1 left");
    }
    // A reader's framing fault: the offset is the stream's.
    try {
        (void)walk(framed("D3EEEE 000000") + std::string("\x5A\x00", 2));
        FAIL() << "a cut field must fail";
    } catch (const FormatError& e) {
        EXPECT_EQ(e.offset(), 9u);
        EXPECT_EQ(e.byteInField(), FormatError::kNoField);
        EXPECT_EQ(std::string(e.what()), e.reason() + " at offset 9");
    }
}
