// Layouts as real producers write them: repeating groups of the length their
// record or resource declares, signed offsets and displacements, whole values
// of split fields, the control sequences and structured fields beyond the
// tables, and text in the code page its triplets declare.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fields.hpp"
#include "helpers.hpp"
#include "iconv_reference.hpp"
#include "pressel/catalogue.hpp"
#include "pressel/view/check.hpp"
#include "pressel/text/detail/decode_codepage.hpp"
#include "pressel/text/ebcdic.hpp"
#include "pressel/filter.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/records.hpp"
#include "pressel/view/dump.hpp"
#include "pressel/view.hpp"

using namespace pressel;
using namespace pressel::test;

namespace {

// The content of the field with the given label.
const ViewContent& fieldOf(const ViewRecord& r, std::string_view label) {
    for (const ViewField& f : r.fields)
        if (f.label.chars() == label) return f.content;
    throw std::runtime_error("no field " + std::string(label));
}
ViewRecord viewOf(const AFP_& c) { return recordOps(chunkType(c).id).view(packChunk(c)); }
std::string jsonOf(const AFP_& c) {
    std::string s;
    renderViewJson(s, viewOf(c));
    return s;
}

std::vector<Finding> checkChunks(const std::vector<AFP_>& cs) {
    TempDir dir;
    {
        AfpWriter w(dir.file("s.afp"));
        for (const AFP_& c : cs) w.write(c);
        w.close();
    }
    return checkFile(dir.file("s.afp"));
}
std::string listing(const std::vector<Finding>& fs) {
    std::string s;
    for (const Finding& f : fs) s += std::to_string(f.offset) + " " + severityName(f.severity) + " " + f.message + "\n";
    return s;
}

// The bytes a decoded record writes again equal the bytes it came from.
template <class T>
void expectRoundTrip(const AFP_& c) {
    EXPECT_EQ(recBytes(decodeChunk<T>(c)), packChunk(c));
}

// A group of MCF1 without its rotation: local id, section, the three names blank padded.
std::string mcf1Group(char lid, std::string font, std::string cp, std::string fcs) {
    for (std::string* s : {&font, &cp, &fcs}) s->resize(8, ' ');
    return std::string{lid, 0, 0, 0} + e(font) + e(cp) + e(fcs);
}

}  // namespace

// ---- repeating groups of their declared length ------------------------------------------

TEST(GroupLengths, MapCodedFontFormat1GroupsHaveTheDeclaredLength) {
    // Real files write 28-byte groups: no character rotation.
    const AFP_ c28 = sf(0xD3B18A, std::string{28, 0, 0, 0} + mcf1Group(1, "XZFUTB0 ", "T1V10500", "C0N200B0") +
                                      mcf1Group(2, "XZFUTB9 ", "T1000850", "C0N400B0"));
    const MCF1 m = decodeChunk<MCF1>(c28);
    ASSERT_EQ(m.mcf1_Data.size(), 2u);
    const MCF1_Data& second = m.mcf1_Data[1].recordContent;
    EXPECT_EQ(second.mcf1_CodedFontLocalId, N1(2));
    EXPECT_EQ(second.mcf1_CodedFontName, A8(0xE7E9C6E4E3C2F940));  // "XZFUTB9 "
    EXPECT_EQ(second.mcf1_FontCharacterSetName, A8(0xC3F0D5F4F0F0C2F0));  // "C0N400B0"
    EXPECT_FALSE(second.mcf1_CharacterRotation.present());
    expectRoundTrip<MCF1>(c28);
    EXPECT_TRUE(checkChunks({c28}).empty()) << listing(checkChunks({c28}));

    // 30-byte groups carry the rotation; longer ones keep the extra bytes.
    const AFP_ c30 = sf(0xD3B18A, std::string{30, 0, 0, 0} + mcf1Group(1, "F1", "CP", "CS") + hex("2D00") +
                                      mcf1Group(2, "F2", "CP", "CS") + hex("5A00"));
    const MCF1 m30 = decodeChunk<MCF1>(c30);
    ASSERT_EQ(m30.mcf1_Data.size(), 2u);
    EXPECT_EQ(m30.mcf1_Data[1].recordContent.mcf1_CharacterRotation, Opt<N2>(N2(0x5A00)));
    expectRoundTrip<MCF1>(c30);
    const AFP_ c32 = sf(0xD3B18A, std::string{32, 0, 0, 0} + mcf1Group(1, "F1", "CP", "CS") + hex("2D00ABCD"));
    EXPECT_EQ(decodeChunk<MCF1>(c32).mcf1_Data.at(0).recordContent.mcf1_Tail.bytes, fromHex("ABCD"));
    expectRoundTrip<MCF1>(c32);

    // A fragment shorter than a group is reported, not misread.
    const AFP_ cut = sf(0xD3B18A, std::string{28, 0, 0, 0} + mcf1Group(1, "F1", "CP", "CS") + "\x01\x02");
    EXPECT_EQ(decodeChunk<MCF1>(cut).mcf1_Data.size(), 1u);
    EXPECT_NE(listing(checkChunks({cut})).find("do not make a whole repeating group"), std::string::npos);
}

TEST(GroupLengths, FontIndexTakesItsGroupLengthFromTheFontControl) {
    // fnirg10.afp declares 10-byte FNI groups in its FNC.
    const std::string path = dataPath("corpus/fnirg10.afp");
    std::size_t fni = 0;
    DecodeContext ctx;
    {
        DecodeScope scope(ctx);
        for (const AFP_& c : readAFP(path)) {
            ctx.observe(c);
            if (!isA<FNI>(c)) continue;
            ++fni;
            EXPECT_EQ(ctx.fniGroupLength, 10);
            const Bytes packed = packChunk(c);
            const FNI v = decodeChunk<FNI>(c);
            ASSERT_FALSE(v.fni_Data.empty());
            EXPECT_EQ(v.fni_Data.size() * 10 + 6, packed.size());
            for (const auto& g : v.fni_Data) EXPECT_FALSE(g.recordContent.fni_AscendHeight.present());
            EXPECT_EQ(recordOps(chunkType(c).id).covered(packed), packed.size());
            EXPECT_EQ(recBytes(v), packed);
        }
    }
    EXPECT_GT(fni, 0u);
    EXPECT_EQ(currentDecodeContext().fniGroupLength, 0) << "the scope ends with its block";

    // The walks of check and dump do the same.
    EXPECT_TRUE(checkFile(path).empty()) << listing(checkFile(path));
    RunResult r = runTool({"dump", "--json", "--type", "FNI", path});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("fni_AscendHeight\":-6928"), std::string::npos);
    EXPECT_NE(r.out.find("\"fni_AscendHeight\":\"\""), std::string::npos) << "absent fields show no bytes";
}

TEST(GroupLengths, CodePageIndexTakesItsGroupLengthFromTheCodePageControl) {
    auto cpc = [](char len) { return sf(0xD3A787, e("NOTDEF  ") + std::string{0, len, 0, 0x40, 0}); };
    const AFP_ dbcs = sf(0xD38C87, e("LA010000") + hex("00 4241") + e("LB010000") + hex("00 4242"));
    const AFP_ sbcs = sf(0xD38C87, e("LA010000") + hex("00 81") + e("LB010000") + hex("00 82"));
    const AFP_ uni = sf(0xD38C87, e("LA010000") + hex("00 81 01 00000061") + e("LB010000") + hex("00 82 00"));

    DecodeContext ctx;
    DecodeScope scope(ctx);
    ctx.observe(sf(0xD3A887, e("T1000835")));
    ctx.observe(cpc(11));
    CPI v = decodeChunk<CPI>(dbcs);
    ASSERT_EQ(v.cpi_Data.size(), 2u);
    EXPECT_EQ(v.cpi_Data[1].recordContent.cpi_DoubleByteCodePoint, Opt<N2>(N2(0x4242)));
    EXPECT_FALSE(v.cpi_Data[1].recordContent.cpi_CodePoint.present());
    expectRoundTrip<CPI>(dbcs);

    ctx.observe(sf(0xD3A887, e("T1V10500")));  // a new code page forgets the length
    EXPECT_EQ(ctx.cpiGroupLength, 0);
    v = decodeChunk<CPI>(sbcs);
    ASSERT_EQ(v.cpi_Data.size(), 2u);
    EXPECT_EQ(v.cpi_Data[1].recordContent.cpi_CodePoint, Opt<N1>(N1(0x82)));

    // X'FE': single-byte groups followed by their Unicode values.
    ctx.observe(cpc(char(0xFE)));
    v = decodeChunk<CPI>(uni);
    ASSERT_EQ(v.cpi_Data.size(), 2u);
    EXPECT_EQ(v.cpi_Data[0].recordContent.cpi_Tail.bytes, fromHex("01 00000061"));
    EXPECT_EQ(v.cpi_Data[1].recordContent.cpi_Tail.bytes, fromHex("00"));
    expectRoundTrip<CPI>(uni);
}

// ---- signed values and whole values of split fields ------------------------------------------

TEST(SignedValues, DisplacementsAndOffsetsAreSigned) {
    const PTX_RMI rmi = decodeChunk<PTX_RMI>(PTX_{0xC8, fromHex("C8FFEC"), Frame::Item});
    EXPECT_EQ(rmi.ptx_rmi_Displacement.value, -20);
    EXPECT_EQ(vc_number(fieldOf(recView(rmi), "ptx_rmi_Displacement")), -20);
    const PTX_RMB rmb = decodeChunk<PTX_RMB>(PTX_{0xD5, fromHex("D5FFEC"), Frame::Item});
    EXPECT_EQ(show(rmb), "PTX_RMB {ptx_rmb_Type = 213, ptx_rmb_Displacement = I2 (-20)}");

    const AFP_ ips = sf(0xD3AF5F, e("S1SEG001") + hex("FFFF9C 000064"));
    EXPECT_EQ(decodeChunk<IPS>(ips).ips_XOffset, I3(-100));
    EXPECT_NE(jsonOf(ips).find("\"ips_XOffset\":-100,\"ips_YOffset\":100"), std::string::npos) << jsonOf(ips);
    expectRoundTrip<IPS>(ips);
    const AFP_ ipo = sf(0xD3AFD8, e("O1OVL001") + hex("800000 7FFFFF"));
    EXPECT_EQ(decodeChunk<IPO>(ipo).ipo_XOffset, I3(-8388608));
    EXPECT_EQ(decodeChunk<IPO>(ipo).ipo_YOffset, I3(8388607));
    const AFP_ pgp1 = sf(0xD3ACAF, hex("FFFF9C FFFFFF"));
    EXPECT_EQ(decodeChunk<PGP1>(pgp1).pgp1_YOffset, I3(-1));
    expectRoundTrip<PGP1>(pgp1);
    const AFP_ obp = sf(0xD3AC6B, hex("01 17 FFFF9C 000001 0000 2D00 00 FFFFFE 000000 0000 2D00 01"));
    EXPECT_EQ(decodeChunk<OBP>(obp).obp_XOffset, I3(-100));
    EXPECT_EQ(decodeChunk<OBP>(obp).obp_XContentOffset, I3(-2));
    const AFP_ iob = sf(0xD3AFC3, e("I1IMG001") + hex("00 FB FFFFFF 000010 FFFF FFFF FFFF38 000000 01"));
    EXPECT_EQ(decodeChunk<IOB>(iob).iob_XOffset, I3(-1));
    EXPECT_EQ(decodeChunk<IOB>(iob).iob_XContentOffset, I3(-200));
    expectRoundTrip<IOB>(iob);

    // Writing keeps exactly three bytes of a negative value.
    IPS v = decodeChunk<IPS>(ips);
    v.ips_YOffset = I3(-2);
    EXPECT_EQ(recBytes(v), sf(0xD3AF5F, e("S1SEG001") + hex("FFFF9C FFFFFE")).payload);
    EXPECT_EQ(show(I3(-2)), "I3 (-2)");
}

TEST(SignedValues, SplitValuesAlsoShowWhole) {
    const AFP_ pgd = sf(0xD3A6AF, hex("00 00 3840 3840 05 0607 00 3DE0 000000"));
    const PGD v = decodeChunk<PGD>(pgd);
    EXPECT_EQ(v.pgd_XSize, N2(0x0607)) << "the declared fields stay";
    EXPECT_EQ(v.xSize(), N3(329223));
    EXPECT_EQ(v.ySize(), N3(15840));
    EXPECT_EQ(vc_number(fieldOf(viewOf(pgd), "pgd_XExtent")), 329223);
    EXPECT_NE(jsonOf(pgd).find("\"pgd_XExtent\":329223,\"pgd_YExtent\":15840"), std::string::npos) << jsonOf(pgd);

    // check takes the extents whole: X'010000' is a page of 65536 units.
    const AFP_ wide = sf(0xD3A6AF, hex("00 00 3840 3840 01 0000 00 3DE0 000000"));
    EXPECT_TRUE(checkChunks({wide}).empty()) << listing(checkChunks({wide}));
    const AFP_ flat = sf(0xD3A6AF, hex("00 00 3840 3840 01 0000 00 0000 000000"));
    EXPECT_NE(listing(checkChunks({flat})).find("PGD: the page has no area (extent 65536 by 0)"), std::string::npos);

    const AFP_ ioc = sf(0xD3A77B, hex("FF FFEC 00 0064 0000 2D00") + std::string(8, '\0') + hex("03E8 03E8 0000"));
    EXPECT_EQ(decodeChunk<IOC>(ioc).xOffset(), I3(-20));
    EXPECT_EQ(vc_number(fieldOf(viewOf(ioc), "ioc_XObjectAreaOffset")), -20);
    EXPECT_EQ(vc_number(fieldOf(viewOf(ioc), "ioc_YObjectAreaOffset")), 100);
}

// ---- control sequences and structured fields beyond the tables -----------------------------

TEST(Catalogue, ControlSequencesOfRealFilesHaveTheirOwnRecords) {
    const PTX_SEC sec = decodeChunk<PTX_SEC>(PTX_{0x81, fromHex("81 00 01 00000000 08 08 08 00 FF 80 00"), Frame::Item});
    EXPECT_EQ(sec.ptx_sec_ColorSpace, N1(1));
    EXPECT_EQ(sec.ptx_sec_ColorSize3, N1(8));
    EXPECT_EQ(sec.ptx_sec_Data.bytes, fromHex("FF8000"));
    const PTX_OVS ovs = decodeChunk<PTX_OVS>(PTX_{0x72, fromHex("72 01 0060"), Frame::Item});
    EXPECT_EQ(ovs.ptx_ovs_OverstrikeCharacter, N2(0x60));
    EXPECT_EQ(decodeChunk<PTX_USC>(PTX_{0x77, fromHex("77 01"), Frame::Item}).ptx_usc_BypassFlags, N1(1));
    const PTX_TBM tbm = decodeChunk<PTX_TBM>(PTX_{0x78, fromHex("78 03 00 0078"), Frame::Item});
    EXPECT_EQ(tbm.ptx_tbm_Direction, N1(3));
    EXPECT_EQ(tbm.ptx_tbm_Data.bytes, fromHex("000078"));
    const PTX_GLC glc = decodeChunk<PTX_GLC>(PTX_{0x6D, fromHex("6D FF38 00 00 00000000"), Frame::Item});
    EXPECT_EQ(glc.ptx_glc_InlineAdvance, I2(-200));
    EXPECT_STREQ(chunkType(PTX_{0x8B, fromHex("8B0000"), Frame::Item}).name(), "PTX_GIR");
    EXPECT_STREQ(chunkType(PTX_{0x8A, fromHex("8A0000"), Frame::Item}).name(), "PTX_Unknown");

    // Colour output of FOP: Set Extended Text Color on every line.
    const std::string colour = dataPath("colour.afp");
    std::size_t secs = 0;
    for (const AFP_& c : readAFP(colour))
        if (isA<PTX>(c))
            for (const PTX_& x : decodeChunk<PTX>(c).ptx_Chunks) secs += isA<PTX_SEC>(x);
    EXPECT_GT(secs, 3u);
}

TEST(Catalogue, PrintFileAndOtherFieldsBeyondTheTable) {
    const AFP_ bpf = sf(0xD3A8A5, e("PRINTF01") + triplet(0x65, e("made by hand")));
    EXPECT_STREQ(chunkType(bpf).name(), "BPF");
    EXPECT_EQ(decodeChunk<BPF>(bpf).bpf_Name, Opt<A8>(A8(0xD7D9C9D5E3C6F0F1)));
    const std::vector<AFP_> stream{bpf, sf(0xD3A8A8, e("DOC00001")), sf(0xD3A9A8, e("DOC00001")),
                                   sf(0xD3A9A5, e("PRINTF01"))};
    EXPECT_TRUE(checkChunks(stream).empty()) << listing(checkChunks(stream));
    // An End Print File that names another file is a mismatch like any other.
    const std::vector<AFP_> wrong{bpf, sf(0xD3A9A5, e("PRINTF02"))};
    EXPECT_NE(listing(checkChunks(wrong)).find("End EPF names"), std::string::npos);

    EXPECT_STREQ(afpTypeOf(0xD3A7A8)->name, "PEC");
    EXPECT_STREQ(afpTypeOf(0xD3ABCD)->name, "MMD");
    EXPECT_STREQ(afpTypeOf(0xD3ADC3)->name, "PPO");
    EXPECT_STREQ(afpTypeOf(0xD3AB9B)->name, "MPT");
}

TEST(Catalogue, CheckFindsNothingToWarnAboutInTheSampleFiles) {
    for (const std::string& f : allSampleFiles()) {
        SCOPED_TRACE(f);
        const std::vector<Finding> fs = checkFile(f);
        for (const Finding& x : fs) EXPECT_EQ(x.severity, Severity::Info) << listing(fs);
    }
}

// ---- text in its declared code page ----------------------------------------------------------

TEST(TripletText, CommentsAndNamesReadInTheirCodePage) {
    // A comment under CGCSGID 850.
    const AFP_ brg = *readAFP(dataPath("corpus/asciiComment.afp")).begin();
    const std::string json = jsonOf(brg);
    EXPECT_NE(json.find("\"t_cmt\":\"My ASCII Comment\""), std::string::npos) << json;
    RunResult r = runTool({"dump", "--view", dataPath("corpus/asciiComment.afp")});
    EXPECT_NE(r.out.find("t_cmt: \"My ASCII Comment\""), std::string::npos) << r.out;

    // A fully qualified name in UTF-16 (CCSID form, 1200).
    std::string utf16;
    for (char ch : std::string("Arial Regular")) utf16 += std::string{0, ch};
    const AFP_ br = sf(0xD3A8CE, e("TTF00001") + hex("0000") + triplet(0x01, hex("0000 04B0")) +
                                     triplet(0x02, hex("01 00") + utf16));
    EXPECT_NE(jsonOf(br).find("\"t_fqn\":\"Arial Regular\""), std::string::npos) << jsonOf(br);

    // Without a declaration names stay code page 500; an object identifier is shown as one.
    const AFP_ boc = sf(0xD3A892, e("OBJ00001") + triplet(0x02, hex("01 10 06072B12000401010E")) +
                                      triplet(0x02, hex("BE 00") + e("Name")));
    const std::string bj = jsonOf(boc);
    EXPECT_NE(bj.find("\"t_fqn\":\"1.3.18.0.4.1.1.14\""), std::string::npos) << bj;
    EXPECT_NE(bj.find("\"t_fqn\":\"Name\""), std::string::npos) << bj;
    EXPECT_EQ(std::get<ViewAStr>(fieldOf(std::get<ViewData>(fieldOf(viewOf(boc), "boc_Triplets")).records[0],
                                         "t_fqn")).type,
              viewTextTypeId());
}

TEST(TripletText, AttributeValuesWithoutTheirReservedBytesInTheirCodePage) {
    auto tle = [](const std::string& cgcsgid, const std::string& name, const std::string& value) {
        return sf(0xD3A090, cgcsgid + triplet(0x02, std::string("\x0B\x00", 2) + name) +
                                triplet(0x36, std::string(2, '\0') + value));
    };
    const std::string cp1141 = triplet(0x01, hex("FFFF 0475")), cp850 = triplet(0x01, hex("FFFF 0352"));
    const AFP_ plain = tle("", e("Customer"), e("Smith"));
    EXPECT_NE(jsonOf(plain).find("\"t_av_Reserved\":\"0000\",\"t_av\":\"Smith\""), std::string::npos)
        << jsonOf(plain);
    const AFP_ german = tle(cp1141, e("Customer"), hex("63 81 82 83 84 FC"));
    EXPECT_NE(jsonOf(german).find("\"t_av\":\"[abcd]\""), std::string::npos) << jsonOf(german);
    EXPECT_NE(jsonOf(german).find("\"t_fqn\":\"Customer\""), std::string::npos) << "1141 reads letters as 500 does";
    const AFP_ pc = tle(cp850, "Customer", "[abcd] \x81");
    EXPECT_NE(jsonOf(pc).find("\"t_av\":\"[abcd] \xC3\xBC\""), std::string::npos) << jsonOf(pc);

    // The tle command reads them the same way.
    TempDir dir;
    {
        AfpWriter w(dir.file("t.afp"));
        w.write(german);
        w.write(pc);
        w.write(plain);
        w.close();
    }
    RunResult r = runTool({"tle", dir.file("t.afp")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\tCustomer\t[abcd]\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\tCustomer\t[abcd] \xC3\xBC\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\tCustomer\tSmith\n"), std::string::npos) << r.out;
}

TEST(TripletText, CodePagesAgreeWithIconv) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += char(b);
    for (auto [cp, name] : std::vector<std::pair<int, std::string>>{
             {37, "IBM037"}, {500, "IBM500"}, {1140, "IBM1140"}, {1141, "IBM1141"}, {850, "IBM850"}, {819, "ISO-8859-1"}}) {
        SCOPED_TRACE(name);
        const std::optional<std::string> want = test::iconvConvert(name, "UTF-8", all);
        ASSERT_TRUE(want) << "iconv cannot convert from " << name;
        EXPECT_EQ(decodeCodePage(cp, all), *want);
    }
    // 1252: the five bytes Windows leaves undefined go to the C1 controls.
    std::string defined;
    for (int b = 0x20; b < 256; ++b)
        if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D) defined += char(b);
    const std::optional<std::string> want = test::iconvConvert("CP1252", "UTF-8", defined);
    ASSERT_TRUE(want) << "iconv cannot convert from CP1252";
    EXPECT_EQ(decodeCodePage(1252, defined), *want);

    EXPECT_EQ(decodeCodePage(1200, hex("0041 D83D DE00 00")), "A\xF0\x9F\x98\x80\xEF\xBF\xBD");
    EXPECT_EQ(decodeCodePage(1208, "ok\xFF"), "ok\xEF\xBF\xBD");
    EXPECT_EQ(decodeCodePage(4711, e("ABC")), "ABC") << "an unknown code page reads as 500";
}
