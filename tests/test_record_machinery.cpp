// The record machinery on structured-field records: the Record wrapper,
// sequences, the failing defaults, chunk encoding and decoding, writers and
// sizes, text forms, and on-demand decoding.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pressel/records.hpp"

using namespace pressel;

namespace {

template <class T>
std::string written(const T& v) {
    Builder b;
    recPut(b, v);
    EXPECT_EQ(b.size(), recSizeOf(v)) << "recSizeOf must count exactly the bytes written";
    return hexString(std::move(b).toBytes().span());
}

template <class F>
std::string failureOf(F&& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no failure)";
}

ICP sampleICP(std::uint16_t xCellSize) {
    ICP v{};
    v.icp_Type = 0xD3AC7B;
    v.icp_XCellSize = xCellSize;
    return v;
}

CFI_Data sampleCFIData(std::uint8_t section) {
    return CFI_Data{A8(0xC3F0C8F2F0F0C2F0), A8(0xE3F1E5F1F0F5F0F0), A8(0), N1(section)};
}

}  // namespace

// ---- the Record wrapper ---------------------------------------------------------------

TEST(RecordWrapper, EqualityIsThatOfTheContent) {
    EXPECT_EQ(Record<ICP>{sampleICP(1)}, Record<ICP>{sampleICP(1)});
    EXPECT_NE(Record<ICP>{sampleICP(1)}, Record<ICP>{sampleICP(2)});
}

TEST(RecordWrapper, TextFormIsParenthesisedFromPrecedenceEleven) {
    const Record<CFI_Data> r{sampleCFIData(0)};
    const std::string inner = show(r.recordContent);
    std::string at10, at11;
    showsPrec(at10, 10, r);
    showsPrec(at11, 11, r);
    EXPECT_EQ(at10, "Record {recordContent = " + inner + "}");
    EXPECT_EQ(at11, "(Record {recordContent = " + inner + "})");

    std::string rec10, rec11;
    showsPrec(rec10, 10, r.recordContent);
    showsPrec(rec11, 11, r.recordContent);
    EXPECT_EQ(rec10, inner);
    EXPECT_EQ(rec11, "(" + inner + ")");
}

// ---- sequences ----------------------------------------------------------------------------

TEST(RecordSequence, EmptyWritesNothingAndTwoRecordsConcatenate) {
    const std::vector<Record<ICP>> none;
    EXPECT_EQ(written(none), "");
    EXPECT_EQ(recSizeOf(none), 0u);

    const std::vector<Record<ICP>> two{{sampleICP(1)}, {sampleICP(2)}};
    EXPECT_EQ(written(two), written(sampleICP(1)) + written(sampleICP(2)));
    EXPECT_EQ(recSizeOf(two), 36u);
}

// ---- the failing defaults -----------------------------------------------------------------

TEST(RecordDefaults, TypesWithoutACodeFailWithTheirTextForm) {
    const std::vector<Record<ICP>> seq{{sampleICP(1)}};
    EXPECT_EQ(failureOf([&] { (void)recType(seq); }), "recType not defined: " + show(seq));

    const CFI_Data group = sampleCFIData(1);
    EXPECT_EQ(failureOf([&] { (void)recType(group); }), "recType not defined: " + show(group));
    EXPECT_EQ(failureOf([&] { (void)recType(Record<CFI_Data>{group}); }), "recType not defined: " + show(group));

    const T_ t = mkChunk<T_>(N1(0x24), fromHex("240501"));
    EXPECT_EQ(failureOf([&] { (void)recType(t); }), "recType not defined: " + show(t));

    const Unknown u{fromHex("D3FFFF000000AB")};
    EXPECT_EQ(failureOf([&] { (void)recType(u); }), "recType not defined: Unknown \"D3FFFF000000AB\"");
}

TEST(RecordDefaults, CharacterTypeFailsWithTheQuotedCharacter) {
    EXPECT_EQ(failureOf([] { (void)recType('x'); }), "recType not defined: 'x'");
    EXPECT_EQ(failureOf([] { (void)recType('\''); }), "recType not defined: '\\''");
    EXPECT_EQ(failureOf([] { (void)recType('\n'); }), "recType not defined: '\\n'");
}

// ---- chunk encoding and decoding ------------------------------------------------------------

TEST(RecordChunks, DecodeIgnoresATailAndAShortPayloadNamesWhatWasRead) {
    const Bytes icp = fromHex("D3AC7B 000000 0001 0002 0003 0004 0005 0006");
    const AFP_ longer = mkChunk<AFP_>(N3(0xD3AC7B), fromHex("D3AC7B 000000 0001 0002 0003 0004 0005 0006 0102"));
    const ICP v = decodeChunk<ICP>(longer);
    EXPECT_EQ(v, decodeChunk<ICP>(mkChunk<AFP_>(N3(0xD3AC7B), icp)));
    EXPECT_EQ(v.icp_YFillSize, N2(6));

    // 6 header bytes and 5 data bytes: the third field, at offset 10, has 1 of its 2 bytes.
    const AFP_ shorter = mkChunk<AFP_>(N3(0xD3AC7B), fromHex("D3AC7B 000000 0001 0002 00"));
    try {
        (void)decodeChunk<ICP>(shorter);
        FAIL() << "a short payload must fail";
    } catch (const EndOfInput& e) {
        EXPECT_EQ(std::string(e.what()),
                  "end of input reading ICP field icp_XCellSize at offset 10: needed 2 bytes, 1 left");
        EXPECT_EQ(e.offset(), 10u);
        EXPECT_EQ(e.needed(), 2u);
        EXPECT_EQ(e.left(), 1u);
    }
}

TEST(RecordChunks, EncodeThenDecodeGivesTheRecordBack) {
    IID iid{};
    iid.iid_Type = 0xD3A67B;
    iid.iid_XUnits = 2400;
    iid.iid_ConstantData2 = A6(0x112233445566);
    iid.iid_Color = 0xFFFF;
    const AFP_ c = encodeChunk(Record<IID>{iid});
    EXPECT_EQ(c.code, 0xD3A67Bu);
    EXPECT_EQ(decodeChunk<IID>(c), iid);

    FNI fni{};
    fni.fni_Type = 0xD38C89;
    fni.fni_Data = {{FNI_Data{A8(0xC1), N2(1), I2(-3), I2(4), N2(0), N2(5), I2(-6), N2(7), I2(-8), N2(0), I2(-9), {}}}};
    EXPECT_EQ(decodeChunk<FNI>(encodeChunk(Record<FNI>{fni})), fni);

    IOB iob{};
    iob.iob_Type = 0xD3AFC3;
    iob.iob_ObjectName = A8(0xD6C2D1F0F0F0F0F1);
    iob.iob_ObjectType = 0xFB;
    iob.iob_XOffset = -100;
    iob.iob_YContentOffset = 0x000100;
    iob.iob_ReferenceCoordinateSystem = 1;
    iob.iob_Triplets = Chunks<T_>{mkChunk<T_>(N1(0x04), fromHex("0410"))};
    EXPECT_EQ(decodeChunk<IOB>(encodeChunk(Record<IOB>{iob})), iob);

    MCC mcc{};
    mcc.mcc_Type = 0xD3A288;
    mcc.mcc_Data = {{MCC_Data{N2(1), N2(3), A1(0), N1(1)}}, {MCC_Data{N2(4), N2(4), A1(0), N1(2)}}};
    EXPECT_EQ(decodeChunk<MCC>(encodeChunk(Record<MCC>{mcc})), mcc);
}

TEST(RecordChunks, TypeCodeIsTheFirstFieldAndAnOverWideOneWritesItsLow24Bits) {
    const MCF mcf = decodeChunk<MCF>(mkChunk<AFP_>(N3(0x000102), fromHex("000102 000000")));
    EXPECT_EQ(recType(mcf), 258);

    ICP v = sampleICP(0);
    v.icp_Type = 0x12D3AC7B;
    EXPECT_EQ(written(v).substr(0, 6), "D3AC7B");
    EXPECT_EQ(encodeChunk(Record<ICP>{v}).code, 0xD3AC7Bu);
}

// ---- writers and sizes ------------------------------------------------------------------------

TEST(RecordWriters, FixedLayoutsWriteTheirFieldsBackToBack) {
    IID iid{};
    iid.iid_ConstantData2 = A6(0x112233445566);
    const std::string iidHex = written(iid);
    ASSERT_EQ(iidHex.size(), 2 * 41u);
    EXPECT_EQ(iidHex.substr(2 * 28, 12), "112233445566") << "bytes 29 to 34, counted from 1";
    EXPECT_EQ(iidHex.substr(0, 2 * 28), std::string(2 * 28, '0'));
    EXPECT_EQ(iidHex.substr(2 * 34), std::string(2 * 7, '0'));

    EXPECT_EQ(written(sampleICP(0x0102)), "D3AC7B000000" "000000000102000000000000");
}

// Offsets of fields taken from the declarations: what code reading one field
// in place relies on (the value of an attribute after its two reserved bytes,
// the name of a Begin Page after its identifier and flag and reserved bytes).
static_assert(fieldByteOffset<T_AV, 2>() == 3);
static_assert(fieldByteOffset<T_FQN, 3>() == 3);
static_assert(fieldByteOffset<BPG, 2>() == 6);

TEST(RecordWriters, EmptyTailsWriteOnlyTheFixedPart) {
    EXPECT_EQ(recSizeOf(PGD{}), 18u);
    EXPECT_EQ(recSizeOf(CPC{}), 18u);
    EXPECT_EQ(recSizeOf(FNO{}), 16u);
    EXPECT_EQ(recSizeOf(CFC{}), 7u);
    EXPECT_EQ(recSizeOf(PTD{}), 18u) << "the units and extents, without the optional flags";
    EXPECT_EQ(written(PTX{}).size(), 2 * 6u) << "no escape sequence";
    EXPECT_EQ(written(MCF_T{}), "");

    PGD pgd{};
    pgd.pgd_Data = Buffer0{fromHex("00ABCD")};
    EXPECT_EQ(written(pgd), std::string(2 * 18, '0') + "00ABCD") << "the buffer follows without a length";
}

TEST(RecordWriters, EachRepeatingGroupOfMCFCountsItsTwoLengthBytes) {
    MCF mcf{};
    mcf.mcf_Chunks = Chunks<MCF_>{MCF_{Bytes::copy(std::string(32, '\x0C'))}};
    EXPECT_EQ(recSizeOf(mcf), 6u + 32u + 2u);
    EXPECT_EQ(written(mcf).substr(12, 4), "0022");
}

// ---- text forms --------------------------------------------------------------------------------

TEST(RecordText, SequencesRenderAsBracketedListsWithoutSpaces) {
    MCF1 empty{};
    EXPECT_EQ(show(empty),
              "MCF1 {mcf1_Type = 0, mcf1_ = 0, mcf1_RepeatingGroupLength = 0, mcf1__ = 000000, mcf1_Data = []}");

    CFI cfi{};
    cfi.cfi_Data = {{sampleCFIData(1)}, {sampleCFIData(2)}};
    const std::string a = "Record {recordContent = " + show(sampleCFIData(1)) + "}";
    const std::string b = "Record {recordContent = " + show(sampleCFIData(2)) + "}";
    EXPECT_EQ(show(cfi), "CFI {cfi_Type = 0, cfi_ = 0, cfi_Data = [" + a + "," + b + "]}");
    EXPECT_EQ(show(sampleCFIData(1)),
              "CFI_Data {cfi_FontCharacterSetName = C3F0C8F2F0F0C2F0, cfi_CodePageName = E3F1E5F1F0F5F0F0, "
              "cfi_CodedFontName = 0000000000000000, cfi_SectionNumber = 1}");
}

// ---- on-demand decoding -------------------------------------------------------------------------

TEST(RecordLazy, DecodesOnlyWhenFirstLookedAt) {
    const AFP_ malformed = mkChunk<AFP_>(N3(0xD3A67B), fromHex("D3A67B 000000 0102"));
    const Lazy<IID> never(malformed);  // never looked at: no failure
    EXPECT_FALSE(never.decoded());

    const Lazy<IID> looked(malformed);
    EXPECT_THROW((void)looked->iid_Color, EndOfInput);

    const Lazy<ICP> good(encodeChunk(Record<ICP>{sampleICP(7)}));
    EXPECT_FALSE(good.decoded());
    EXPECT_EQ(good->icp_XCellSize, N2(7));
    EXPECT_TRUE(good.decoded());
    EXPECT_EQ(&*good, &*good) << "decoded once and kept";
}
