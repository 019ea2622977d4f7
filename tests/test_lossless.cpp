// Nothing lost in a rewrite: structured fields keep their introducer
// extension and padding through decoding and encoding, nested chunks keep
// their frame through chunkDecon and chunkCon, and presentation text that
// opens with code points reads and writes as such. (The sample files are
// walked in test_lossless_samples.cpp, the ranges in test_lossless_ranges.cpp.)
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

// ---- decoding and encoding any structured field by its own type ---------------------
AFP_ roundTrip(const AFP_& c) {
    switch (chunkType(c).id->index) {
#define PRESSEL_X(code, name) \
    case idx_##name: return encodeChunk(decodeRecord<name>(c));
        PRESSEL_AFP_CODES(PRESSEL_X)
#undef PRESSEL_X
    default: return encodeChunk(decodeRecord<Unknown>(c));
    }
}

}  // namespace pressel::test

// ---- extension and padding ----------------------------------------------------------------

TEST(Lossless, ExtensionAndPaddingComeBackFromDecodeAndEncode) {
    // A Begin Page with a two-byte extension: the name is read after it.
    const AFP_ bpg = field("D3A8AF 800000 03AABB D7C1C7C5F0F0F0F1");
    const Record<BPG> r = decodeRecord<BPG>(bpg);
    EXPECT_EQ(r.recordContent.bpg_Name, Opt<A8>(A8(0xD7C1C7C5F0F0F0F1)));
    EXPECT_EQ(r.recordContent.bpg_, N3(0));
    EXPECT_EQ(hexOf(r.recordFraming.extension), "03AABB");
    EXPECT_EQ(encodeChunk(r), bpg);

    // Padding in its one-byte and three-byte forms, another flag bit (X'20',
    // segmented) and non-zero reserved bytes kept.
    for (const char* hex : {"D3EEEE 080000 C1C2 0002", "D3EEEE 280102 C1C2 0000 0005 00", "D3EEEE 880007 01 C1 01",
                            "D3EEEE 080000 01", "D3A8AF 880000 02FF D7C1C7C5F0F0F0F1 000003"}) {
        const AFP_ c = field(hex);
        EXPECT_EQ(roundTrip(c), c) << hex;
        auto out = chunkMapFiltersM(c, pushBackWhatWasDecoded());
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(out[0], c) << hex;
    }
    const Record<Unknown> u = decodeRecord<Unknown>(field("D3EEEE 080000 C1C2 0002"));
    EXPECT_EQ(hexOf(u.recordContent.unknown), "D3EEEE000000C1C2");
    EXPECT_EQ(hexOf(u.recordFraming.padding), "0002");

    // Lengths that do not fit: the field is read and written as it stands.
    for (const char* hex : {"D3EEEE 800000 00C1", "D3EEEE 800000 09C1", "D3EEEE 080000 C105", "D3EEEE 080000 C1 000200",
                            "D3A8AF 800000", "D3A8AF 880000 02 D7C1C7C5F0F0F0F1 FF"}) {
        const AFP_ c = field(hex);
        EXPECT_EQ(roundTrip(c), c) << hex;
        EXPECT_TRUE(framingOf(c).asIs) << hex;
    }
    // Nothing flagged: no framing, and the payload is not copied.
    const AFP_ plain = field("D3A8AF 000000 D7C1C7C5F0F0F0F1");
    EXPECT_TRUE(framingOf(plain).empty());
    EXPECT_EQ(roundTrip(plain), plain);
}

TEST(Lossless, FlagsWithoutExtensionOrPaddingStillEncodeToAFieldThatReadsBack) {
    PGD pgd{N3(0xD3A6AF), N3(0x800000), N1(0), N1(0), N2(14400), N2(14400), N1(0), N2(12240), N1(0), N2(15840), {}};
    const AFP_ c = encodeChunk(Record<PGD>{pgd});
    // An extension of its length byte alone.
    EXPECT_EQ(hexOf(c.payload), "D3A6AF80000001" "00003840384000" "2FD000" "3DE0");
    PGD back = decodeChunk<PGD>(c);
    EXPECT_EQ(back.pgd_XSize, N2(12240));
    EXPECT_EQ(back.pgd_YSize, N2(15840));
    EXPECT_EQ(roundTrip(c), c);

    pgd.pgd_ = N3(0x080000);
    const AFP_ padded = encodeChunk(Record<PGD>{pgd});
    EXPECT_EQ(hexOf(padded.payload).substr(0, 12), "D3A6AF080000");
    EXPECT_EQ(hexOf(padded.payload).substr(hexOf(padded.payload).size() - 6), "3DE001");
    EXPECT_EQ(decodeChunk<PGD>(padded).pgd_YSize, N2(15840));

    // Framing whose own lengths disagree with its size is refused.
    FieldFraming bad;
    bad.extension = fromHex("05AA");
    EXPECT_THROW((void)frameChunk(0xD3A6AF, fromHex("D3A6AF000000"), bad), Error);
    bad = FieldFraming{};
    bad.padding = fromHex("0003");
    EXPECT_THROW((void)frameChunk(0xD3A6AF, fromHex("D3A6AF000000"), bad), Error);
}

TEST(Lossless, AChangedRecordKeepsItsExtensionAndPadding) {
    // A PGD with an extension and padding whose page width a handler changes.
    const AFP_ pgd = field("D3A6AF 880000 03AABB 00003840384000 2FD000 3DE0 EE02");
    ChunkFilters<AFP_> widen{rewrite<PGD>([](PGD v, ChunkWriter<AFP_>& w) {
        v.pgd_XSize = N2(0x3000);
        w.push(v);
    })};
    auto out = chunkMapFiltersM(pgd, widen);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(hexOf(out[0].payload), "D3A6AF88000003AABB000038403840003000003DE0EE02");

    // A record of another type pushed in its place gets no framing of its own.
    ChunkFilters<AFP_> replace{rewrite<PGD>([](const Lazy<PGD>&, ChunkWriter<AFP_>& w) {
        w.push(NOP{N3(0xD3EEEE), N3(0), Buffer0{}});
    })};
    EXPECT_EQ(hexOf(chunkMapFiltersM(pgd, replace)[0].payload), "D3EEEE000000");
    // Pushing a Record gives the framing it holds (here: none).
    ChunkFilters<AFP_> bare{rewrite<PGD>([](const Lazy<PGD>& rec, ChunkWriter<AFP_>& w) {
        EXPECT_EQ(hexOf(rec.framing().padding), "EE02");
        w.push(Record<PGD>{*rec});
    })};
    EXPECT_EQ(hexOf(chunkMapFiltersM(pgd, bare)[0].payload), "D3A6AF00000000003840384000" "2FD000" "3DE0");

    // Deep filters re-encode a changed presentation text and triplet list
    // with the field's extension and padding.
    NestedFilters nf;
    nf.controls.push_back(rewrite<PTX_NOP>([](const Lazy<PTX_NOP>&, ChunkWriter<PTX_>&) {}));
    nf.triplets.push_back(rewrite<T_CMT>([](const Lazy<T_CMT>&, ChunkWriter<T_>&) {}));
    const ChunkFilters<AFP_> deep = deepFilters(nf);
    const AFP_ ptx = field("D3EE9B 880000 02AA 2BD3 02F8 C1C2 2BD3 03F005 0002");
    EXPECT_EQ(hexOf(chunkMapFiltersM(ptx, deep)[0].payload), "D3EE9B88000002AA" "C1C2" "2BD303F005" "0002");
    const AFP_ bpg = field("D3A8AF 800000 02AA D7C1C7C5F0F0F0F1 046540C1 0402C1C2");
    EXPECT_EQ(hexOf(chunkMapFiltersM(bpg, deep)[0].payload), "D3A8AF80000002AAD7C1C7C5F0F0F0F10402C1C2");
}

TEST(Lossless, RenameKeepsTheExtensionOfABeginField) {
    TempDir dir;
    // BDT "DOC00001" with an extension, EDT with padding.
    const Bytes in = fromHex("5A0012 D3A8A8 800000 02AA C4D6C3F0F0F0F0F1"
                             "5A0011 D3A9A8 080000 C4D6C3F0F0F0F0F1 01");
    writeFileString(dir.file("in.afp"), in.chars());
    RunResult r = runTool({"rename", "--quiet", dir.file("in.afp"), dir.file("out.afp"), "DOC00001=NEWNAME"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(hexOf(readFileBytes(dir.file("out.afp"))),
              "5A0012D3A8A880000002AAD5C5E6D5C1D4C540" "5A0011D3A9A8080000D5C5E6D5C1D4C54001");
}

// ---- the frame of nested chunks ------------------------------------------------------

namespace {

template <ChunkFamily C>
std::string rebuiltFromParts(const Bytes& src, bool leadChained = false) {
    std::vector<C> items;
    for (const C& c : Chunks<C>::fromPayload(src, leadChained)) {
        const auto parts = chunkDecon(c);
        const C again = chunkCon<C>(parts);
        EXPECT_EQ(again, c);
        items.push_back(again);
    }
    Builder b;
    Chunks<C>(std::move(items), leadChained).write(b);
    return hexOf(std::move(b).toBytes());
}

}  // namespace

TEST(Lossless, ChunkConAndChunkDeconKeepTheFrameOfNestedChunks) {
    // Code points between control sequences, and bytes whose length overruns.
    for (const char* hex : {"2BD302F8C1C22BD303F005", "2BD303F101C1C2", "C12BD302D8", "2BD3FF01"})
        EXPECT_EQ(rebuiltFromParts<PTX_>(fromHex(hex)), hex);
    EXPECT_EQ(rebuiltFromParts<PTX_>(fromHex("03F101C1C2"), true), "03F101C1C2");
    EXPECT_EQ(rebuiltFromParts<T_>(fromHex("04240105092501")), "04240105092501");
    EXPECT_EQ(rebuiltFromParts<T_>(fromHex("0401")), "0401");
    EXPECT_EQ(rebuiltFromParts<MCF_>(fromHex("00040C0200FF")), "00040C0200FF");

    const PTX_ text{0, fromHex("C1C2"), Frame::Text};
    const auto parts = chunkDecon(text);
    EXPECT_EQ(parts.frame, Frame::Text);
    auto [code, payload] = parts;
    EXPECT_EQ(code, N1(0));
    EXPECT_EQ(payload, fromHex("C1C2"));
    EXPECT_EQ(chunkCon<PTX_>(parts), text);
    // A bare pair builds an item.
    EXPECT_EQ(chunkCon<PTX_>(std::make_pair(N1(0xF8), fromHex("F8"))).frame, Frame::Item);
    EXPECT_EQ(chunkCon<MCF_>(chunkDecon(MCF_{fromHex("FF"), Frame::Raw})), (MCF_{fromHex("FF"), Frame::Raw}));
}

// ---- presentation text that opens with code points -------------------------------------

TEST(Lossless, PresentationTextOpeningWithCodePointsIsReadAsText) {
    const AFP_ c = field("D3EE9B 000000 C1 2BD3 02D8");
    const PTX p = decodeChunk<PTX>(c);
    EXPECT_FALSE(p.ptx_EscapeSequence.present());
    const std::vector<PTX_> items = p.ptx_Chunks.toVector();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0], (PTX_{0, fromHex("C1"), Frame::Text}));
    EXPECT_EQ(items[1], (PTX_{0xD8, fromHex("D8"), Frame::Item}));
    EXPECT_EQ(roundTrip(c), c);

    // Opening with X'2BD3': the escape field, then a chained control sequence.
    const PTX q = decodeChunk<PTX>(field("D3EE9B 000000 2BD3 02D8"));
    EXPECT_TRUE(q.opensChain());
    EXPECT_EQ(q.ptx_Chunks.toVector(), std::vector<PTX_>{items[1]});
    // No data at all, or a single byte.
    for (const char* hex : {"D3EE9B 000000", "D3EE9B 000000 2B", "D3EE9B 000000 2BD3"}) {
        const AFP_ f = field(hex);
        EXPECT_NO_THROW((void)decodeChunk<PTX>(f)) << hex;
        EXPECT_EQ(roundTrip(f), f) << hex;
    }
    // A record built with another escape value writes it as given.
    PTX built{N3(0xD3EE9B), N3(0), Opt<N2>(N2(0xC1C2)), Chunks<PTX_>{PTX_{0, fromHex("C3"), Frame::Text}}};
    EXPECT_EQ(hexOf(encodeChunk(Record<PTX>{built}).payload), "D3EE9B000000C1C2C3");
}

TEST(Lossless, DeletingTheFirstControlSequenceBeforeOneCodePoint) {
    // RMI, one code point, BLN: without the RMI the text opens with the code point.
    const AFP_ c = field("D3EE9B 000000 2BD3 04C8E511 C1 2BD3 02D8");
    NestedFilters nf;
    nf.controls.push_back(rewrite<PTX_RMI>([](const Lazy<PTX_RMI>&, ChunkWriter<PTX_>&) {}));
    std::vector<AFP_> out;
    ASSERT_NO_THROW(out = chunkMapFiltersM(c, deepFilters(nf)));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(hexOf(out[0].payload), "D3EE9B000000C12BD302D8");
    const std::vector<PTX_> back = decodeChunk<PTX>(out[0]).ptx_Chunks.toVector();
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].frame, Frame::Text);
    EXPECT_EQ(back[1].code, 0xD8);

    // And back: a control sequence put before the code points opens the
    // data with X'2BD3' again.
    PTX p = decodeChunk<PTX>(out[0]);
    std::vector<PTX_> items = p.ptx_Chunks.toVector();
    items.insert(items.begin(), PTX_{0xC8, fromHex("C8E511"), Frame::Item});
    setControlSequences(p, Chunks<PTX_>(items));
    EXPECT_EQ(encodeChunk(Record<PTX>{p}), c);
}
