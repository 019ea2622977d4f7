// Views of records: the content rule of every field type, raw buffers cut
// to 80 bytes without copying, nested sequences, failing defaults.
#include <gtest/gtest.h>

#include "pressel/records.hpp"
#include "pressel/view/dump.hpp"
#include "pressel/view.hpp"

namespace pressel {
namespace {

template <class T>
T decodeHex(std::string_view hex) {
    ByteReader r(fromHex(hex));
    return recGet<T>(r);
}

const ViewContent& contentAt(const ViewRecord& v, std::size_t i) { return v.fields.at(i).content; }

TEST(View, RawBuffersShowAtMostEightyBytesOfTheirOwn) {
    for (std::size_t n : {0u, 79u, 80u, 81u, 32000u}) {
        PGD pgd{};
        pgd.pgd_Data.bytes = Bytes::adopt(std::vector<byte>(n, 0x5A));
        ViewRecord v = recView(pgd);
        ASSERT_EQ(v.fields.size(), 13u);  // the declared fields and the two whole page extents
        const auto& raw = std::get<ViewNStr>(contentAt(v, 10));
        EXPECT_EQ(raw.bytes.size(), std::min<std::size_t>(n, 80)) << n;
        EXPECT_EQ(raw.type, fieldTypeIdOf<Buffer0>());
        if (n) {
            EXPECT_EQ(raw.bytes.data(), pgd.pgd_Data.bytes.data()) << "the view must share, not copy";
        }
    }
}

TEST(View, UnknownShowsItsPayloadCutToEightyBytes) {
    ViewRecord big = recView(Unknown{Bytes::adopt(std::vector<byte>(200, 1))});
    ASSERT_EQ(big.fields.size(), 1u);
    EXPECT_EQ(big.type, typeIdOf<Unknown>());
    EXPECT_EQ(std::get<ViewNStr>(contentAt(big, 0)).bytes.size(), 80u);
    ViewRecord small = recView(Unknown{fromHex("0102030405")});
    EXPECT_EQ(std::get<ViewNStr>(contentAt(small, 0)).bytes, fromHex("0102030405"));
}

TEST(View, SignedAndUnsignedNumbersOfTheSameBytes) {
    // fni_CharacterIncrement (N2) and fni_AscendHeight (I2) both hold FF FF.
    auto fni = decodeHex<FNI_Data>("C1C2C3C4C5C6C7C8 FFFF FFFF FFFE 0000 0000 0000 0000 0000 0000 0000");
    ViewRecord v = recView(fni);
    ASSERT_EQ(v.fields.size(), 12u);
    EXPECT_EQ(vc_number(contentAt(v, 1)), 65535);
    EXPECT_EQ(vc_number(contentAt(v, 2)), -1);
    EXPECT_EQ(vc_number(contentAt(v, 3)), -2);
    EXPECT_EQ(std::get<ViewNumber>(contentAt(v, 2)).type, fieldTypeIdOf<I2>());
    const auto& gcgid = std::get<ViewString>(contentAt(v, 0));
    EXPECT_EQ(gcgid.type, fieldTypeIdOf<A8>());
    EXPECT_EQ(gcgid.bytes, "\xC1\xC2\xC3\xC4\xC5\xC6\xC7\xC8");  // most significant byte first
}

TEST(View, EveryFieldInDeclarationOrderUnderItsName) {
    IID iid{};
    iid.iid_Type = 0xD3A6FB;
    iid.iid_ConstantData3 = 0xAB;
    ViewRecord v = recView(iid);
    ASSERT_EQ(v.fields.size(), 14u);
    EXPECT_EQ(v.type, typeIdOf<IID>());
    EXPECT_EQ(v.fields[0].label.chars(), "iid_Type");
    EXPECT_EQ(std::get<ViewNumber>(contentAt(v, 0)), (ViewNumber{fieldTypeIdOf<N3>(), 0xD3A6FB}));
    EXPECT_EQ(v.fields[1].label.chars(), "iid_");
    EXPECT_EQ(v.fields[13].label.chars(), "iid_Color");
    EXPECT_EQ(std::get<ViewString>(contentAt(v, 12)).bytes, "\xAB");

    // Labels are made once and shared by every view.
    EXPECT_EQ(recView(IID{}).fields[5].label.data(), v.fields[5].label.data());

    EXPECT_EQ(recView(PTX_RMB{}).fields.size(), 2u);
    EXPECT_EQ(recView(PTX_SCFL{}).fields.size(), 2u);
}

TEST(View, NamesAreShownAsText) {
    T_FQN fqn{2, 0x85, 0, Buffer0{fromHex("E3F1E5F1F0F5F0F0")}};
    ViewRecord v = recView(fqn);
    EXPECT_EQ(std::get<ViewAStr>(contentAt(v, 3)).text, "T1V10500");
}

TEST(View, RepeatingGroupsAreNestedRecords) {
    CPI empty{};
    ViewRecord v = recView(empty);
    ASSERT_EQ(v.fields.size(), 3u);
    const auto& data = std::get<ViewData>(contentAt(v, 2));
    EXPECT_TRUE(data.records.empty());
    EXPECT_EQ(data.type, sequenceTypeIdOf<Record<CPI_Data>>());
    EXPECT_STREQ(data.type->name, "[CPI_Data]");

    std::vector<Record<CPI_Data>> three{{CPI_Data{0, 1, N1(0x41), {}, {}}},
                                        {CPI_Data{0, 2, N1(0x42), {}, {}}},
                                        {CPI_Data{0, 3, N1(0x43), {}, {}}}};
    auto d = std::get<ViewData>(viewData(three));
    ASSERT_EQ(d.records.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(d.records[i].type, typeIdOf<CPI_Data>());
        EXPECT_EQ(vc_number(d.records[i].fields[2].content), 0x41 + long(i));
    }
    EXPECT_TRUE(std::get<ViewData>(viewData(std::vector<Record<CPI_Data>>{})).records.empty());
}

TEST(View, NestedChunksAreViewedAsTheirRecords) {
    // MCF with one group: a code page name and a resource local id.
    Bytes mcf = fromHex("D3AB8A000000 0012 0C028500E3F1E5F1F0F5F0F0 04240501");
    ViewRecord v = recordOps(afpTypeOf(0xD3AB8A)).view(mcf);
    const auto& groups = std::get<ViewData>(contentAt(v, 2));
    ASSERT_EQ(groups.records.size(), 1u);
    EXPECT_EQ(groups.records[0].type, typeIdOf<MCF_T>());
    const auto& triplets = std::get<ViewData>(groups.records[0].fields.at(0).content);
    ASSERT_EQ(triplets.records.size(), 2u);
    EXPECT_EQ(triplets.records[0].type, typeIdOf<T_FQN>());
    EXPECT_EQ(std::get<ViewAStr>(triplets.records[0].fields.at(3).content).text, "T1V10500");
    EXPECT_EQ(vc_number(triplets.records[1].fields.at(2).content), 1);
}

TEST(View, ANestedItemThatDoesNotDecodeShowsItsBytesAndTheError) {
    // The resource local id triplet is one byte short.
    Bytes mcf = fromHex("D3AB8A000000 0005 032405");
    ViewRecord v = recordOps(afpTypeOf(0xD3AB8A)).view(mcf);
    const auto& group = std::get<ViewData>(contentAt(v, 2)).records.at(0);
    const ViewRecord& bad = std::get<ViewData>(group.fields.at(0).content).records.at(0);
    EXPECT_EQ(bad.type, typeIdOf<T_RLI>());
    ASSERT_EQ(bad.fields.size(), 2u);
    EXPECT_EQ(std::get<ViewNStr>(bad.fields[0].content).bytes, fromHex("2405"));
    const auto& err = std::get<ViewAStr>(bad.fields[1].content);
    EXPECT_EQ(err.type, viewErrorTypeId());
    EXPECT_NE(err.text.find("T_RLI"), std::string::npos) << err.text;
}

TEST(View, FailuresAreClearErrors) {
    ViewContent raw = ViewNStr{fieldTypeIdOf<Buffer0>(), fromHex("01")};
    try {
        vc_number(raw);
        FAIL() << "vc_number of a ViewNStr must fail";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("ViewNStr"), std::string::npos) << e.what();
    }
    try {
        recView(MCF_{fromHex("0102")});
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("recView not defined: MCF_", 0), 0u) << e.what();
    }
    try {
        recView(std::vector<IID>{});
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "recView not defined: []");
    }
    // A payload too short for its record fails through the dynamic path too.
    EXPECT_THROW(recordOps(afpTypeOf(0xD3A6AF)).view(fromHex("D3A6AF000000 00")), EndOfInput);
}

TEST(View, TextFormsAndRenderings) {
    ViewRecord v = recView(PTX_SCFL{0xF1, 2});
    EXPECT_EQ(show(v), "ViewRecord PTX_SCFL [ViewField \"ptx_scfl_Type\" (ViewNumber N1 241),"
                       "ViewField \"ptx_scfl_LocalId\" (ViewNumber N1 2)]");
    std::string lines;
    renderViewLines(lines, v, 2);
    EXPECT_EQ(lines, "  ptx_scfl_Type: 241 (X'F1')\n  ptx_scfl_LocalId: 2 (X'02')\n");

    std::string json;
    appendJsonString(json, std::string("a\"b\\c\n\x01\xE9", 8));
    EXPECT_EQ(json, "\"a\\\"b\\\\c\\n\\u0001\xC3\xA9\"");

    ER er{0xD3A9C6, 0, Buffer0{fromHex("D9C5E2F0F0F0F0F1")}};
    json.clear();
    renderViewJson(json, recView(er));
    EXPECT_EQ(json, "{\"type\":\"ER\",\"name\":\"End Resource\",\"fields\":{\"er_Type\":13871558,\"er_\":0,\"er\":\"RES00001\"}}");
}

}  // namespace
}  // namespace pressel
