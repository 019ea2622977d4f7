// Chunks: construction and deconstruction, typing through the code tables,
// text forms, packChunk and the framing of single chunks.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "pressel/core/buffer.hpp"
#include "pressel/stream/chunk.hpp"

using namespace pressel;

namespace {

template <class C>
std::string framed(const C& c) {
    Builder b;
    writeChunk(b, c);
    EXPECT_EQ(b.size(), chunkSize(c));
    return hexString(std::move(b).toBytes().span());
}

}  // namespace

TEST(Chunk, ConAndDeconAreInversesForEveryFamily) {
    const Bytes payload = fromHex("D3A8AF 000000 C4D6C3F0F0F0F0F1");
    {
        AFP_ c = mkChunk<AFP_>(N3(0xD3A8AF), payload);
        auto [code, bytes] = chunkDecon(c);
        EXPECT_EQ(code, N3(0xD3A8AF));
        EXPECT_EQ(bytes.data(), payload.data()) << "the payload is kept, not copied";
        EXPECT_EQ(bytes.size(), payload.size());
        EXPECT_EQ(chunkCon<AFP_>(chunkDecon(c)), c);
    }
    {
        PTX_ c = mkChunk<PTX_>(N1(0xD3), fromHex("D30102"));
        EXPECT_EQ(chunkDecon(c), std::make_pair(N1(0xD3), fromHex("D30102")));
        EXPECT_EQ(chunkCon<PTX_>(chunkDecon(c)), c);
    }
    {
        T_ c = mkChunk<T_>(N1(0x02), fromHex("02 0B 00C4"));
        EXPECT_EQ(chunkDecon(c), std::make_pair(N1(0x02), fromHex("020B00C4")));
        EXPECT_EQ(chunkCon<T_>(chunkDecon(c)), c);
    }
    {
        MCF_ c = mkChunk<MCF_>(N0{}, fromHex("0C028600"));
        auto [code, bytes] = chunkDecon(c);
        EXPECT_EQ(code, N0{});
        EXPECT_EQ(bytes, fromHex("0C028600"));
        EXPECT_EQ(chunkCon<MCF_>(chunkDecon(c)), c);
    }
    // No normalisation: a code that disagrees with the payload stays as given,
    // and an empty payload stays empty.
    T_ odd = mkChunk<T_>(N1(0x99), fromHex("02"));
    EXPECT_EQ(chunkDecon(odd).first, N1(0x99));
    EXPECT_TRUE(chunkDecon(mkChunk<AFP_>(N3(0xD3EEEE), Bytes{})).second.empty());
}

TEST(Chunk, TableSizesAndDistinctTypes) {
    // Structured fields: every 3-byte identifier.
    std::set<TypeId> afp;
    std::size_t afpCodes = 0;
    const TypeId afpFallback = afpTypeOf(0);
    for (std::uint32_t code = 0; code < (1u << 24); ++code) {
        TypeId t = afpTypeOf(code);
        if (t == afpFallback) continue;
        ++afpCodes;
        afp.insert(t);
        EXPECT_EQ(t->family, Family::AFP);
        EXPECT_EQ(afpCodeOfName(t->name), code) << t->name;
    }
    EXPECT_EQ(afpCodes, 136u);
    EXPECT_EQ(afp.size(), 136u);
    EXPECT_STREQ(afpFallback->name, "Unknown");
    EXPECT_STREQ(afpTypeOf(0xD3A7CA)->name, "CCP");  // the field of the corpus no MO:DCA table lists
    EXPECT_STREQ(afpTypeOf(0xD3A8A5)->name, "BPF");
    EXPECT_EQ(afpTypeOf(0xD3A7CB), afpFallback);
    EXPECT_EQ(afpTypeOf(0xFFD3A8AF), afpFallback) << "bits above the 24-bit code are not ignored";

    // Triplets.
    std::set<TypeId> triplets;
    const TypeId tFallback = tripletTypeOf(0x00);
    for (int code = 0; code < 256; ++code) {
        TypeId t = tripletTypeOf(std::uint8_t(code));
        if (t == tFallback) continue;
        triplets.insert(t);
        EXPECT_EQ(t->family, Family::T);
    }
    EXPECT_EQ(triplets.size(), 56u);
    EXPECT_EQ(tFallback->family, Family::T);

    // Control sequences: 29 pairs, even and odd code of a pair to one type,
    // and two that have only their chained form (glyph layout control X'6D',
    // glyph id run X'8B').
    std::set<TypeId> controls;
    std::size_t controlCodes = 0;
    const TypeId ptxFallback = controlTypeOf(0x00);
    for (int code = 0; code < 256; ++code) {
        TypeId t = controlTypeOf(std::uint8_t(code));
        if (t == ptxFallback) continue;
        ++controlCodes;
        controls.insert(t);
        if (code == 0x6D || code == 0x8B) EXPECT_EQ(controlTypeOf(std::uint8_t(code ^ 1)), ptxFallback) << code;
        else EXPECT_EQ(t, controlTypeOf(std::uint8_t(code ^ 1))) << code;
    }
    EXPECT_EQ(controlCodes, 60u);
    EXPECT_EQ(controls.size(), 31u);
    EXPECT_STREQ(controlTypeOf(0x81)->name, "PTX_SEC");

    // The fallback types are distinct from every table type and each other.
    EXPECT_FALSE(afp.count(afpFallback));
    EXPECT_FALSE(triplets.count(tFallback));
    EXPECT_FALSE(controls.count(ptxFallback));
    EXPECT_NE(afpFallback, tFallback);
    EXPECT_NE(tFallback, ptxFallback);
}

TEST(Chunk, ChunkTypeFollowsTheCodeOnly) {
    EXPECT_EQ(chunkType(mkChunk<PTX_>(N1(0xD3), fromHex("D3"))), chunkType(mkChunk<PTX_>(N1(0xD2), Bytes{})));
    EXPECT_STREQ(chunkType(mkChunk<PTX_>(N1(0xF7), Bytes{})).name(), "PTX_STO");
    EXPECT_STREQ(chunkType(mkChunk<PTX_>(N1(0x75), Bytes{})).name(), "PTX_STC");
    EXPECT_NE(chunkType(mkChunk<PTX_>(N1(0xD3), Bytes{})), chunkType(mkChunk<PTX_>(N1(0xD4), Bytes{})));
    EXPECT_STREQ(chunkType(mkChunk<T_>(N1(0x02), Bytes{})).name(), "T_FQN");
    EXPECT_STREQ(chunkType(mkChunk<AFP_>(N3(0xD3A8AF), Bytes{})).name(), "BPG");
    EXPECT_STREQ(chunkType(mkChunk<AFP_>(N3(0xD3EE9B), Bytes{})).name(), "PTX");
    EXPECT_STREQ(chunkType(mkChunk<AFP_>(N3(0xD3B18A), Bytes{})).name(), "MCF1");
    EXPECT_EQ(chunkType(mkChunk<AFP_>(N3(0xD3A7CB), fromHex("D3A8AF"))).id, afpTypeOf(0))
        << "the payload is never looked at";
    EXPECT_STREQ(chunkType(MCF_{}).name(), "MCF_T");
    EXPECT_EQ(chunkType(MCF_{fromHex("0004FFFF")}), chunkType(MCF_{}));

    // Items that do not frame have their own types, whatever their code.
    EXPECT_STREQ(chunkType(PTX_{0xF6, fromHex("C1C2"), Frame::Text}).name(), "PTX_Text");
    EXPECT_STREQ(chunkType(PTX_{0xF6, fromHex("FF"), Frame::Raw}).name(), "PTX_Raw");
    EXPECT_STREQ(chunkType(T_{0x02, fromHex("FF"), Frame::Raw}).name(), "T_Raw");

    EXPECT_EQ(tableTypeByName("T_FQN"), tripletTypeOf(0x02));
    EXPECT_EQ(tableTypeByName("PTX_STO"), controlTypeOf(0xF6));
    EXPECT_EQ(tableTypeByName("Unknown"), afpTypeOf(0));
    EXPECT_EQ(tableTypeByName("NoSuchRecord"), nullptr);
    EXPECT_EQ(afpCodeOfName("T_FQN"), 0u);
}

TEST(Chunk, TextForms) {
    const ChunkType fqn = chunkType(mkChunk<T_>(N1(0x02), Bytes{}));
    EXPECT_EQ(show(fqn), "ChunkType T_FQN");
    std::string s = "[";
    showsPrec(s, 11, fqn);
    EXPECT_EQ(s, "[(ChunkType T_FQN)");
    s.clear();
    showsPrec(s, 10, fqn);
    EXPECT_EQ(s, "ChunkType T_FQN");

    EXPECT_EQ(show(mkChunk<AFP_>(N3(0xD3A8AF), fromHex("D3A8AF000000"))), "AFP_ 13871279 \"D3A8AF000000\"");
    s.clear();
    showsPrec(s, 11, mkChunk<T_>(N1(2), fromHex("02")));
    EXPECT_EQ(s, "(T_ 2 \"02\")");
    EXPECT_EQ(show(MCF_{}), "MCF_ N0 \"\"");
}

TEST(Chunk, PackChunkStripsExtensionAndPadding) {
    auto packed = [](const char* hex) { return hexString(packChunk(mkChunk<AFP_>(N3(0xD3EEEE), fromHex(hex))).span()); };
    // Nothing flagged: handed on as it is, without a copy.
    const AFP_ plain = mkChunk<AFP_>(N3(0xD3EEEE), fromHex("D3EEEE 000000 C1C2"));
    EXPECT_EQ(packChunk(plain).data(), plain.payload.data());
    // Extension: a length byte counting itself, then its data.
    EXPECT_EQ(packed("D3EEEE 800000 03AABB C1C2"), "D3EEEE000000C1C2");
    // Padding counted in the last byte (the count includes that byte).
    EXPECT_EQ(packed("D3EEEE 080000 C1C2 000003"), "D3EEEE000000C1C2");
    // Padding counted in the two bytes before a last byte of zero.
    EXPECT_EQ(packed("D3EEEE 080000 C1C2 0000 0005 00"), "D3EEEE000000C1C2");
    // Both, with another flag bit (segmentation) left alone.
    EXPECT_EQ(packed("D3EEEE A80001 02AA C1 0202"), "D3EEEE200001C1");
    // The whole data may be padding.
    EXPECT_EQ(packed("D3EEEE 080000 01"), "D3EEEE000000");
    // Malformed extension or padding counts: handed on unchanged.
    EXPECT_EQ(packed("D3EEEE 800000 00C1"), "D3EEEE80000000C1");
    EXPECT_EQ(packed("D3EEEE 800000 09C1"), "D3EEEE80000009C1");
    EXPECT_EQ(packed("D3EEEE 080000 C105"), "D3EEEE080000C105");
    EXPECT_EQ(packed("D3EEEE 080000 C100"), "D3EEEE080000C100");
    EXPECT_EQ(packed("D3EE"), "D3EE");
    EXPECT_EQ(packed("D3EEEE 80 00"), "D3EEEE8000");
}

TEST(Chunk, FramingOfSingleChunks) {
    EXPECT_EQ(framed(mkChunk<AFP_>(N3(0xD3A8AF), fromHex("D3A8AF000000"))), "5A0008D3A8AF000000");
    EXPECT_EQ(framed(mkChunk<T_>(N1(0x02), fromHex("02 0B 00C4"))), "05020B00C4");
    EXPECT_EQ(framed(T_{0x02, fromHex("FF"), Frame::Raw}), "FF");
    EXPECT_EQ(framed(MCF_{fromHex("0C02")}), "00040C02");
    EXPECT_EQ(framed(MCF_{fromHex("0C02"), Frame::Raw}), "0C02");

    // The largest payload that still frames, and the first that does not.
    const Bytes maxPayload = Bytes::adopt(std::vector<byte>(maxAfpPayload, 0));
    Builder ok;
    writeChunk(ok, mkChunk<AFP_>(N3(0xD3EEEE), maxPayload));
    Bytes out = std::move(ok).toBytes();
    ASSERT_EQ(out.size(), 65536u);
    EXPECT_EQ(hexString(out.prefix(3).span()), "5AFFFF");
    Builder bad;
    EXPECT_THROW(writeChunk(bad, mkChunk<AFP_>(N3(0xD3EEEE), Bytes::adopt(std::vector<byte>(maxAfpPayload + 1)))),
                 Error);
    EXPECT_THROW(writeChunk(bad, mkChunk<T_>(N1(0x65), Bytes::adopt(std::vector<byte>(255)))), Error);
    Builder maxTriplet;
    writeChunk(maxTriplet, mkChunk<T_>(N1(0x65), Bytes::adopt(std::vector<byte>(254))));
    EXPECT_EQ(std::move(maxTriplet).toBytes()[0], 0xFF);
}
