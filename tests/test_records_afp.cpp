// Structured-field records: every structured field of the sample files
// decodes and writes back, every code of the table has its record type, and
// the layouts put their fields at the architected offsets.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "helpers.hpp"
#include "pressel/catalogue.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/records.hpp"

using namespace pressel;

namespace {

// Six header bytes of a structured field, then its data.
Bytes sf(const char* id, const std::string& dataHex) { return fromHex(std::string(id) + "000000" + dataHex); }

template <class T>
T decodeSF(const char* id, const std::string& dataHex) {
    return decodeChunk<T>(mkChunk<AFP_>(N3(0), sf(id, dataHex)));
}

#define PRESSEL_X(code, R) code,
const std::uint32_t allCodes[] = {PRESSEL_AFP_CODES(PRESSEL_X)};
#undef PRESSEL_X

}  // namespace

// ---- the sample files -------------------------------------------------------------------

TEST(RecordsAfp, EveryStructuredFieldOfEverySampleFileDecodesAndWritesBack) {
    std::size_t files = 0, chunks = 0;
    std::map<std::string, std::size_t> partial;  // records whose fields leave a tail unread
    for (const std::string& path : test::allSampleFiles()) {
        ++files;
        AfpStream s = readAFP(path);
        for (auto it = s.begin(); it != s.end(); ++it) {
            ++chunks;
            const std::string where = path + " @" + std::to_string(it.offset());
            const RecordOps& ops = recordOps(chunkType(*it).id);
            const Bytes bytes = packChunk(*it);
            std::size_t covered = 0;
            ASSERT_NO_THROW(covered = ops.covered(bytes)) << where << " " << ops.type->name;
            const Bytes again = ops.reencode(bytes);
            EXPECT_EQ(ops.sizeOf(bytes), again.size()) << where;
            if (covered == bytes.size()) EXPECT_EQ(again, bytes) << where << " " << ops.type->name;
            else ++partial[ops.type->name];
        }
    }
    EXPECT_GT(files, 10u);
    EXPECT_GT(chunks, 150u);
    // Only the font index leaves bytes over in the samples: one of them is not a
    // whole number of 28-byte entries (its group length comes from FNC).
    for (const auto& [name, n] : partial) EXPECT_EQ(name, "FNI") << n << " records";
}

// ---- the code table ------------------------------------------------------------------------

TEST(RecordsAfp, EveryCodeHasARecordTypeOfItsName) {
    // One row per code of the table, checked in one loop (three assertions
    // written out per record type made this file slow to compile).
    struct Row {
        std::uint32_t code;
        const char* tableName;
        const char* declaredName;
        TypeId type;
    };
    const Row rows[] = {
#define PRESSEL_X(code, R) {code, #R, RecordDecl<R>::name, typeIdOf<R>()},
        PRESSEL_AFP_CODES(PRESSEL_X)
#undef PRESSEL_X
    };
    for (const Row& r : rows) {
        EXPECT_STREQ(recordOps(afpTypeOf(r.code)).type->name, r.tableName);
        EXPECT_STREQ(r.declaredName, r.tableName);
        EXPECT_EQ(r.type, afpTypeOf(r.code)) << r.tableName;
    }
}

TEST(RecordsAfp, EveryRecordDecodesFromItsFixedPartAndFromAnythingLonger) {
    // Data bytes (after the six header bytes) of the shortest payload each
    // record decodes; optional parameters are not part of it.
    const std::map<std::string, std::size_t> fixedSize = {
        {"IID", 35}, {"IOC", 24}, {"ICP", 12}, {"PGD", 12}, {"CPC", 12}, {"CFC", 1},  {"MCF1", 4}, {"FNO", 10},
        {"MFC", 4},  {"CPD", 42}, {"MDD", 13}, {"FND", 80}, {"CDD", 12}, {"PTD1", 12}, {"FGD", 4},
        {"DXD", 4},  {"LND", 33}, {"MMC", 2},  {"FNC", 22}, {"CTC", 10}, {"PMC", 2},
        {"LNC", 2},  {"FNN", 2},  {"IMM", 8},  {"OBP", 24}, {"PGP1", 6}, {"IPS", 14}, {"IPG", 17},
        {"IOB", 27}, {"IPO", 14}, {"MPS", 4},  {"PGP", 1},  {"MMO", 4},  {"PFC", 4},  {"LLE", 2},
        {"PEC", 2},  {"PTD", 12}, {"IDD", 9},  {"BDD", 23},
        // Begin and End fields have no fixed part: their names (and the
        // reserved bytes of BDT and BR) are optional. Neither has PTX: its
        // data may open with code points instead of the escape sequence.
    };
    std::size_t withFixedPart = 0;
    for (const std::uint32_t code : allCodes) {
        const RecordOps& ops = recordOps(afpTypeOf(code));
        const std::string name = ops.type->name;
        auto it = fixedSize.find(name);
        const std::size_t fixed = it == fixedSize.end() ? 0 : it->second;
        withFixedPart += fixed > 0;
        const Bytes exact = sf("D3FFFF", std::string(2 * fixed, '0'));
        ASSERT_NO_THROW((void)ops.covered(exact)) << name;
        EXPECT_EQ(ops.covered(exact), exact.size()) << name;
        EXPECT_EQ(ops.reencode(exact), exact) << name;
        if (fixed > 0) {
            EXPECT_THROW((void)ops.covered(sf("D3FFFF", std::string(2 * fixed - 2, '0'))), EndOfInput) << name;
        }
        EXPECT_NO_THROW((void)ops.covered(sf("D3FFFF", std::string(2 * fixed + 62, 'F')))) << name;
    }
    EXPECT_EQ(withFixedPart, fixedSize.size()) << "every name of the table is a record of the code table";
}

// ---- layouts ----------------------------------------------------------------------------------

TEST(RecordsAfp, BeginFieldsCarryTheirNameAndTriplets) {
    // BPG "PAGE0001" with a fully qualified name triplet (type X'01', character name "A").
    const BPG bpg = decodeSF<BPG>("D3A8AF", "D7C1C7C5F0F0F0F1 06 02 0100 C1C1");
    EXPECT_EQ(bpg.bpg_Name, Opt<A8>(A8(0xD7C1C7C5F0F0F0F1)));
    const std::vector<T_> ts = bpg.bpg_Triplets.toVector();
    ASSERT_EQ(ts.size(), 1u);
    EXPECT_EQ(ts[0].code, 0x02);
    const T_FQN fqn = decodeChunk<T_FQN>(ts[0]);
    EXPECT_EQ(fqn.t_fqn_SubType, N1(0x01));
    EXPECT_EQ(fqn.t_fqn.bytes, fromHex("C1C1"));

    const BR br = decodeSF<BR>("D3A8CE", "C6D6D5E3F0F0F0F1 0000 0A 21 40 00000000000000");
    EXPECT_EQ(br.br_Name, Opt<A8>(A8(0xC6D6D5E3F0F0F0F1)));
    ASSERT_EQ(br.br_Triplets.count(), 1u);
    EXPECT_EQ(br.br_Triplets.toVector()[0].code, 0x21);

    // Begin Document without its reserved bytes, as generated files write it:
    // the optional fields are absent and the record writes back as it came.
    const BDT bdt = decodeSF<BDT>("D3A8A8", "C4D6C3F0F0F0F0F1");
    EXPECT_EQ(bdt.bdt_Name, Opt<A8>(A8(0xC4D6C3F0F0F0F0F1)));
    EXPECT_FALSE(bdt.bdt_Reserved.present());
    EXPECT_EQ(recSizeOf(bdt), 14u);
    const BDT full = decodeSF<BDT>("D3A8A8", "C4D6C3F0F0F0F0F1 0000 0565C1C2C3");
    EXPECT_TRUE(full.bdt_Reserved.present());
    EXPECT_EQ(full.bdt_Triplets.count(), 1u);
    EXPECT_EQ(recSizeOf(full), 21u);

    const BDM bdm = decodeSF<BDM>("D3A8CA", "C4D4F0F0F0F0F0F1 01");
    EXPECT_EQ(bdm.bdm_DataFormat, Opt<N1>(N1(1)));
    EXPECT_EQ(bdm.bdm_Triplets.count(), 0u);
}

TEST(RecordsAfp, OptionalNamesOfEndFieldsAndDataObjectsMayBeLeftOut) {
    // Writers leave the names out; such fields still decode and write back.
    for (const char* name : {"EPG", "ER", "BPT", "BRG", "EIM", "EAG"}) {
        const std::uint32_t code = afpCodeOfName(name);
        Builder b;
        b.putBE(code, 3);
        b.putBE(0, 3);
        const Bytes header = std::move(b).toBytes();
        const RecordOps& ops = recordOps(afpTypeOf(code));
        EXPECT_EQ(ops.covered(header), 6u) << name;
        EXPECT_EQ(ops.reencode(header), header) << name;
    }
    const EPG epg = decodeSF<EPG>("D3A9AF", "D7C1C7C5F0F0F0F1");
    EXPECT_EQ(epg.epg_Name, Opt<A8>(A8(0xD7C1C7C5F0F0F0F1)));
    EXPECT_FALSE(decodeSF<EPS>("D3A95F", "").eps_Name.present());
    EXPECT_EQ(show(decodeSF<EPS>("D3A95F", "")), "EPS {eps_Type = 13871455, eps_ = 0, eps_Name = absent, eps_Triplets = []}");
}

TEST(RecordsAfp, FieldsSitAtTheirArchitectedOffsets) {
    const IPO ipo = decodeSF<IPO>("D3AFD8", "D6E5D3E8F0F0F0F1 000064 FFFF9C 2D00");
    EXPECT_EQ(ipo.ipo_OverlayName, A8(0xD6E5D3E8F0F0F0F1));
    EXPECT_EQ(ipo.ipo_XOffset, I3(100));
    EXPECT_EQ(ipo.ipo_YOffset, I3(-100)) << "X'FFFF9C' is signed";
    EXPECT_EQ(ipo.ipo_Data.bytes, fromHex("2D00")) << "the optional orientation stays in the tail";
    EXPECT_EQ(decodeSF<IPO>("D3AFD8", "D6E5D3E8F0F0F0F1 000064 FFFF9C").ipo_Data.bytes.size(), 0u);

    const IOB iob = decodeSF<IOB>("D3AFC3", "D6C2D1F0F0F0F0F1 00 FB 000010 000020 2D00 5A00 000030 000040 01 03 04 10");
    EXPECT_EQ(iob.iob_ObjectType, N1(0xFB));
    EXPECT_EQ(iob.iob_XOffset, I3(0x10));
    EXPECT_EQ(iob.iob_YOffset, I3(0x20));
    EXPECT_EQ(iob.iob_XOrientation, N2(0x2D00));
    EXPECT_EQ(iob.iob_YOrientation, N2(0x5A00));
    EXPECT_EQ(iob.iob_XContentOffset, I3(0x30));
    EXPECT_EQ(iob.iob_YContentOffset, I3(0x40));
    EXPECT_EQ(iob.iob_ReferenceCoordinateSystem, N1(1));
    ASSERT_EQ(iob.iob_Triplets.count(), 1u);
    EXPECT_EQ(iob.iob_Triplets.toVector()[0].code, 0x04);

    const OBP obp = decodeSF<OBP>("D3AC6B", "01 17 000001 000002 0003 0004 00 000005 000006 0007 0008 09");
    EXPECT_EQ(obp.obp_PositionId, N1(1));
    EXPECT_EQ(obp.obp_RepeatingGroupLength, N1(23));
    EXPECT_EQ(obp.obp_YOffset, I3(2));
    EXPECT_EQ(obp.obp_YContentOffset, I3(6));
    EXPECT_EQ(obp.obp_YContentOrientation, N2(8));
    EXPECT_EQ(obp.obp_ReferenceCoordinateSystem, N1(9));

    const MDD mdd = decodeSF<MDD>("D3A688", "00 00 3840 3840 004FB0 006720 00 03 68 00");
    EXPECT_EQ(mdd.mdd_XUnits, N2(14400));
    EXPECT_EQ(mdd.mdd_YSize, N3(0x006720));
    EXPECT_EQ(mdd.mdd_Triplets.count(), 1u);
}

TEST(RecordsAfp, RepeatingGroups) {
    const MMO mmo = decodeSF<MMO>("D3B1DF", "0C 000000 01 00 0000 D6F1F0F0F0F0F0F1 02 00 0000 D6F1F0F0F0F0F0F2");
    ASSERT_EQ(mmo.mmo_Data.size(), 2u);
    EXPECT_EQ(mmo.mmo_Data[1].recordContent.mmo_OverlayLocalId, N1(2));
    EXPECT_EQ(mmo.mmo_Data[1].recordContent.mmo_OverlayName, A8(0xD6F1F0F0F0F0F0F2));

    const MCC mcc = decodeSF<MCC>("D3A288", "0001 0005 00 01");
    ASSERT_EQ(mcc.mcc_Data.size(), 1u);
    EXPECT_EQ(mcc.mcc_Data[0].recordContent.mcc_StopNumber, N2(5));
    EXPECT_EQ(mcc.mcc_Data[0].recordContent.mcc_ModificationControlId, N1(1));

    // Groups with a 2-byte length; in MPO each holds triplets.
    const MPO mpo = decodeSF<MPO>("D3ABD8", "000E 0C028400D6F1F0F0F0F0F0F0 0005 03 04 10");
    const std::vector<MCF_> gs = mpo.mpo_Groups.toVector();
    ASSERT_EQ(gs.size(), 2u);
    EXPECT_EQ(decodeChunk<MCF_T>(gs[0]).mcf_t_Chunks.count(), 1u);

    // The link type and reserved byte come before LLE's groups.
    const LLE lle = decodeSF<LLE>("D3B490", "02 00 0008 01 05 2402 05 00");
    EXPECT_EQ(lle.lle_LinkType, N1(2));
    EXPECT_EQ(lle.lle_Groups.count(), 1u);
}
