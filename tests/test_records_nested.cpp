// Triplet and control-sequence records: their layouts, their text forms, and
// every triplet and control sequence of the sample files decoded and written
// again.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "helpers.hpp"
#include "pressel/catalogue.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/records.hpp"

using namespace pressel;

namespace {

std::string hexOf(const Bytes& b) { return hexString(b.span()); }

// Smallest payload length from which the record decodes, and whether it
// decodes from every longer payload too (checked up to 254 bytes).
struct Decodability {
    std::size_t minimum = 0;
    bool monotonic = true;
};

Decodability decodability(TypeId type, byte code) {
    const RecordOps& ops = recordOps(type);
    std::vector<byte> v(254, 0x5A);
    v[0] = code;
    Decodability d{255, true};
    for (std::size_t n = 1; n <= v.size(); ++n) {
        const Bytes b = Bytes::copy(std::span<const byte>(v.data(), n));
        bool ok = true;
        try {
            (void)ops.covered(b);
        } catch (const EndOfInput&) {
            ok = false;
        }
        if (ok && d.minimum == 255) d.minimum = n;
        if (!ok && d.minimum != 255) d.monotonic = false;
    }
    return d;
}

// What one record type makes of a payload: whether it decodes, how much it
// covers, and what writing it back gives. Only this part depends on the
// record type; the checks below are one function for all of them.
struct Decoded {
    bool decodes = false;
    std::size_t covered = 0;
    Bytes written;
    std::size_t size = 0;
    long long type = 0;
    std::uint8_t reencodedCode = 0;
    bool reencodedReadsBack = false;
    std::string text;
};
using Decoder = Decoded (*)(const Bytes& payload, byte code);

template <class T, ChunkFamily C>
Decoded decodeAs(const Bytes& payload, byte code) {
    const C chunk{code, payload, Frame::Item};
    ByteReader r(chunk.payload);
    Decoded d;
    T rec;
    try {
        rec = recGet<T>(r);
    } catch (const EndOfInput&) {
        return d;
    }
    d.decodes = true;
    d.covered = r.position();
    d.written = recBytes(rec);
    d.size = recSizeOf(rec);
    d.type = recType(rec);
    const auto again = encodeChunk(Record<T>{rec});
    d.reencodedCode = again.code;
    d.reencodedReadsBack = decodeChunk<T>(again) == rec;
    d.text = show(rec);
    return d;
}

// Random payloads of every length for one record type: whatever decodes
// writes back exactly the bytes its fields cover, keeps its type code, and
// covers either everything (a trailing buffer) or always the same fixed part.
void checkRandomPayloads(const char* name, Decoder decode, byte code, std::mt19937& rng) {
    std::uniform_int_distribution<int> any(0, 255);
    std::size_t fixed = 0;
    bool sawTail = false, sawFixed = false;
    for (std::size_t n = 1; n <= 40; ++n) {
        std::vector<byte> v(n);
        for (byte& x : v) x = static_cast<byte>(any(rng));
        v[0] = code;
        const Bytes b = Bytes::adopt(std::move(v));
        const Decoded d = decode(b, code);
        if (!d.decodes) {
            EXPECT_EQ(fixed, 0u) << name << ": decodes from " << fixed << " bytes but not from " << n;
            continue;
        }
        if (fixed == 0) fixed = n;
        const std::size_t covered = d.covered;
        if (n > fixed) {
            EXPECT_TRUE(covered == n || covered == fixed) << name << " " << hexOf(b);
            (covered == n ? sawTail : sawFixed) = true;
        }
        EXPECT_EQ(d.written, b.prefix(covered)) << name << " " << hexOf(b);
        EXPECT_EQ(d.size, covered);
        EXPECT_EQ(d.type, code);
        EXPECT_EQ(d.reencodedCode, code);
        EXPECT_TRUE(d.reencodedReadsBack) << d.text;
    }
    EXPECT_FALSE(sawTail && sawFixed) << name << " covers its tail only sometimes";
}

template <class T, ChunkFamily C>
void checkRandomPayloads(byte code, std::mt19937& rng) {
    checkRandomPayloads(RecordDecl<T>::name, &decodeAs<T, C>, code, rng);
}

// ---- walking the nested items of any structured field ----------------------------
struct ItemChecker {
    std::map<std::string, std::size_t> seen;
    std::size_t recordsNotDecoded = 0;
    std::string where;

    template <ChunkFamily C>
    void item(const C& c) {
        const ChunkType type = chunkType(c);
        const RecordOps& ops = recordOps(type.id);
        const Bytes& b = packChunk(c);
        std::string text;
        try {
            ops.show(text, 0, b);
        } catch (const Error& e) {
            ADD_FAILURE() << where << ": " << type.name() << " " << hexOf(b) << " does not decode: " << e.what();
            return;
        }
        EXPECT_EQ(text.rfind(std::string(type.name()) + " {", 0), 0u) << text;
        const std::size_t covered = ops.covered(b);
        const Bytes again = ops.reencode(b);
        EXPECT_EQ(ops.sizeOf(b), again.size());
        EXPECT_EQ(again, b.prefix(covered)) << where << ": " << type.name() << " " << hexOf(b);
        // The sample files hold only items whose layout covers them whole.
        EXPECT_EQ(covered, b.size()) << where << ": " << type.name() << " " << hexOf(b);
        ++seen[type.name()];
    }

    template <class V>
    void field(const V& x) {
        if constexpr (std::same_as<V, Chunks<T_>> || std::same_as<V, Chunks<PTX_>>) {
            for (const auto& c : x) item(c);
        } else if constexpr (std::same_as<V, Chunks<MCF_>>) {
            for (const MCF_& g : x) {
                if (g.frame == Frame::Item) record(decodeChunk<MCF_T>(g));
            }
        } else if constexpr (IsRecordVector<V>::value) {
            for (const auto& g : x) record(g.recordContent);
        }
    }

    template <class T>
    void record(const T& v) {
        forEachField(v, [&](auto, const auto& x) { field(x); });
    }

    // Decodes the structured field by its own type and walks every nested
    // list its record holds, whatever record that is.
    void structuredField(const AFP_& c) {
        try {
            switch (chunkType(c).id->index) {
#define PRESSEL_X(code, name) \
    case idx_##name: record(decodeChunk<name>(c)); break;
                PRESSEL_AFP_CODES(PRESSEL_X)
#undef PRESSEL_X
            default: break;
            }
        } catch (const EndOfInput&) {
            ++recordsNotDecoded;  // the structured field's own layout, not an item's
        }
    }
};

}  // namespace

// ---- the sample files --------------------------------------------------------------

TEST(RecordsNested, EveryItemOfEverySampleFileDecodesAndWritesBack) {
    ItemChecker check;
    std::size_t files = 0;
    for (const std::string& path : test::allSampleFiles()) {
        ++files;
        AfpStream s = readAFP(path);
        for (auto it = s.begin(); it != s.end(); ++it) {
            check.where = path + " @" + std::to_string(it.offset());
            check.structuredField(*it);
        }
    }
    ASSERT_GT(files, 10u);
    // The kinds of items the samples are known to hold (coded-font maps and
    // presentation text) all came through.
    for (const char* name : {"T_FQN", "T_RLI", "T_CR", "T_RSN", "T_TO", "PTX_SCFL", "PTX_AMI", "PTX_AMB",
                             "PTX_TRN", "PTX_DIR", "PTX_DBR", "PTX_SVI", "PTX_STO", "PTX_NOP"})
        EXPECT_GT(check.seen[name], 0u) << name;
    EXPECT_GT(check.seen["PTX_TRN"], 50u);
}

// ---- layouts ---------------------------------------------------------------------------

TEST(RecordsNested, EveryRecordDecodesFromItsFixedPartAndFromAnythingLonger) {
    // Record bytes (the item without its length byte) of the shortest form
    // each item may take: optional parameters are not part of the fixed part.
    const std::map<std::string, std::size_t> fixedSize = {
        {"T_CGCSGID", 5}, {"T_FQN", 3},   {"T_MO", 2},     {"T_OC", 7},    {"T_MIS", 4},   {"T_TO", 5},
        {"T_FDS", 8},     {"T_FCGCSGID", 5}, {"T_ROT", 2}, {"T_ERLID", 6}, {"T_X23", 1},   {"T_RLI", 3},
        {"T_RSN", 2},     {"T_CR", 1},    {"T_LDOPM", 2},  {"T_OBO", 5},   {"T_AV", 3},    {"T_DP", 2},
        {"T_MEC", 3},     {"T_POCP", 2},  {"T_RUA", 2},    {"T_MU", 7},    {"T_OAS", 8},   {"T_AD", 14},
        {"T_CSPEC", 11},  {"T_ESID", 3},  {"T_MMPN", 5},   {"T_OBE", 5},   {"T_OSFO", 5},  {"T_OSFE", 5},
        {"T_OO", 7},      {"T_FHSF", 3},  {"T_OCNT", 7},   {"T_LDTS", 2},  {"T_OCS", 5},   {"T_OOI", 16},
        {"T_CMT", 1},     {"T_MEDO", 2},  {"T_ROI", 16},   {"T_EF", 3},    {"T_PSRM", 2},  {"T_PSMR", 1},
        {"T_UDTS", 12},   {"T_IMMI", 3},  {"T_TS", 5},     {"T_CF", 7},    {"T_FF", 6},    {"T_MA", 14},
        {"T_AQ", 1},      {"T_PPI", 2},   {"T_PV", 3},     {"T_PC", 2},    {"T_FRMT", 5},  {"T_FO", 8},
        {"T_MF", 6},      {"T_DOFD", 13}, {"T_Unknown", 1},
        {"PTX_STC", 3},   {"PTX_SIM", 3}, {"PTX_SIA", 3},  {"PTX_SVI", 3}, {"PTX_AMI", 3}, {"PTX_RMI", 3},
        {"PTX_SBI", 3},   {"PTX_AMB", 3}, {"PTX_RMB", 3},  {"PTX_BLN", 1}, {"PTX_TRN", 1}, {"PTX_DIR", 3},
        {"PTX_DBR", 3},   {"PTX_RPS", 3}, {"PTX_SCFL", 2}, {"PTX_BSU", 2}, {"PTX_ESU", 2}, {"PTX_STO", 5},
        {"PTX_NOP", 1},   {"PTX_Unknown", 1},
        {"PTX_UCT", 15},  {"PTX_GLC", 9}, {"PTX_OVS", 4},  {"PTX_USC", 2}, {"PTX_TBM", 2}, {"PTX_SEC", 11},
        {"PTX_GIR", 3},   {"PTX_GAR", 3}, {"PTX_GOR", 3},  {"PTX_ENC", 5}, {"PTX_SKI", 5}, {"PTX_SEA", 5},
    };
    std::size_t checked = 0;
    for (unsigned i = 0; i < idx_tableTypes; ++i) {
        const TypeInfo& t = tableType(RecordIndex(i));
        if (t.family != Family::T && t.family != Family::PTX) continue;
        const std::string name = t.name;
        if (name.ends_with("_Raw") || name.ends_with("_Text")) continue;
        auto it = fixedSize.find(name);
        ASSERT_NE(it, fixedSize.end()) << name;
        const Decodability d = decodability(&t, 0x01);
        EXPECT_EQ(d.minimum, it->second) << name;
        EXPECT_TRUE(d.monotonic) << name;
        ++checked;
    }
    EXPECT_EQ(checked, fixedSize.size());
}

TEST(RecordsNested, OptionalParametersStayInTheTail) {
    // Both forms of each item decode, and each record covers its whole item.
    struct Case {
        const char* type;
        const char* shortForm;
        const char* longForm;
    } cases[] = {
        {"T_OBO", "2D 00000010", "2D 00000010 00000001"},
        {"T_OBE", "57 00000010", "57 00000010 00000001"},
        {"T_OSFO", "58 00000010", "58 00000010 00000001"},
        {"T_OSFE", "59 00000010", "59 00000010 00000001"},
        {"T_OO", "5A AF00 00000003", "5A AF00 00000003 00000000"},
        {"T_OCNT", "5E AF00 00000003", "5E AF00 00000003 00000000"},
        {"T_FDS", "1F 0305 00F0 0000 00", "1F 0305 00F0 0000 00 00000000000000000000 80"},
        {"T_CSPEC", "4E 00 06 00000000 10000000 0001", "4E 00 01 00000000 08080800 FF8000"},
        {"T_ESID", "50 2100", "50 2100 7200"},
        {"T_POCP", "46 01", "46 01 02"},
        {"T_ROI", "6C DF C4D6C3F0F0F0F0F1 000000 000000", "6C DF C4D6C3F0F0F0F0F1 000000 000000 2D00"},
        {"PTX_STC", "74 FF07", "74 FF07 00"},
        {"PTX_SIA", "C2 0005", "C2 0005 01"},
        {"PTX_DIR", "E4 0100", "E4 0100 000280"},
        {"PTX_DBR", "E7 FF00", "E7 FF00 000100"},
    };
    for (const Case& c : cases) {
        const RecordOps& ops = recordOps(tableTypeByName(c.type));
        for (const char* hex : {c.shortForm, c.longForm}) {
            const Bytes b = fromHex(hex);
            ASSERT_NO_THROW((void)ops.covered(b)) << c.type << " " << hex;
            EXPECT_EQ(ops.covered(b), b.size()) << c.type << " " << hex;
            EXPECT_EQ(ops.reencode(b), b) << c.type << " " << hex;
        }
    }
}

TEST(RecordsNested, FieldsSitAtTheirArchitectedOffsets) {
    // Items as they appear in the sample files.
    const T_FQN fqn = decodeChunk<T_FQN>(mkChunk<T_>(N1(0x02), fromHex("028600C3F0C8F2F0F0C2F0")));
    EXPECT_EQ(fqn.t_fqn_SubType, N1(0x86));
    EXPECT_EQ(fqn.t_fqn_Format, N1(0x00));
    EXPECT_EQ(fqn.t_fqn.bytes, fromHex("C3F0C8F2F0F0C2F0"));

    const T_CGCSGID cg = decodeChunk<T_CGCSGID>(mkChunk<T_>(N1(0x01), fromHex("01FFFF0352")));
    EXPECT_EQ(cg.t_cgcsgid_GCSGID, N2(0xFFFF));
    EXPECT_EQ(cg.t_cgcsgid_CPGID, N2(0x0352));

    const T_OAS oas = decodeChunk<T_OAS>(mkChunk<T_>(N1(0x4C), fromHex("4C0200017A00011C")));
    EXPECT_EQ(oas.t_oas_SizeType, N1(2));
    EXPECT_EQ(oas.t_oas_XSize, N3(0x017A));
    EXPECT_EQ(oas.t_oas_YSize, N3(0x011C));

    const T_LDTS ts = decodeChunk<T_LDTS>(mkChunk<T_>(N1(0x62), fromHex("620040F9F8F1F5F2F0F0F0F0F0F0F0F0")));
    EXPECT_EQ(ts.t_ldts_StampType, N1(0));
    EXPECT_EQ(ts.t_ldts.bytes.size(), 14u);

    const T_MA ma = decodeChunk<T_MA>(mkChunk<T_>(N1(0x79), fromHex("79 00 3840 3840 FFF6 000A 0000 8000")));
    EXPECT_EQ(ma.t_ma_HIncrement, I2(-10));
    EXPECT_EQ(ma.t_ma_VIncrement, I2(10));
    EXPECT_EQ(ma.t_ma_VBaselineAdjust, I2(-32768));

    const PTX_STO sto = decodeChunk<PTX_STO>(mkChunk<PTX_>(N1(0xF7), fromHex("F7 2D00 5A00")));
    EXPECT_EQ(sto.ptx_sto_Type, N1(0xF7)) << "the chaining bit is kept as stored";
    EXPECT_EQ(sto.ptx_sto_IOrientation, N2(0x2D00));
    EXPECT_EQ(sto.ptx_sto_BOrientation, N2(0x5A00));

    const PTX_RPS rps = decodeChunk<PTX_RPS>(mkChunk<PTX_>(N1(0xEE), fromHex("EE 0010 4B")));
    EXPECT_EQ(rps.ptx_rps_Length, N2(16));
    EXPECT_EQ(rps.ptx_rps.bytes, fromHex("4B"));

    const PTX_DIR dir = decodeChunk<PTX_DIR>(mkChunk<PTX_>(N1(0xE4), fromHex("E4 FFFB")));
    EXPECT_EQ(dir.ptx_dir_Length, I2(-5));
    EXPECT_TRUE(dir.ptx_dir_Data.bytes.empty());
}

TEST(RecordsNested, RandomPayloadsOfEveryTypeWriteBackWhatTheyCover) {
    std::mt19937 rng(4242);
#define PRESSEL_X(code, name) checkRandomPayloads<name, T_>(code, rng);
    PRESSEL_T_CODES(PRESSEL_X)
#undef PRESSEL_X
#define PRESSEL_X(code, name)                          \
    checkRandomPayloads<name, PTX_>(code, rng);        \
    checkRandomPayloads<name, PTX_>(code | 1, rng);
    PRESSEL_PTX_CODES(PRESSEL_X)
#undef PRESSEL_X
    checkRandomPayloads<T_Unknown, T_>(0x99, rng);
    checkRandomPayloads<PTX_Unknown, PTX_>(0x61, rng);
}

// ---- sizes and text forms ----------------------------------------------------------------

TEST(RecordsNested, SizesEqualTheBytesWritten) {
    const T_RLI rli{N1(0x24), N1(5), N1(2)};
    EXPECT_EQ(recSizeOf(rli), 3u);
    EXPECT_EQ(hexOf(recBytes(rli)), "240502");
    const T_FQN fqn{N1(0x02), N1(0x8E), N1(0), Buffer0{fromHex("C3F0C8F2F0F0C2F0C3F0C8F2F0F0C2F0")}};
    EXPECT_EQ(recSizeOf(fqn), 19u);
    EXPECT_EQ(recBytes(fqn).size(), 19u);
    const PTX_SCFL scfl{N1(0xF0), N1(1)};
    EXPECT_EQ(hexOf(recBytes(scfl)), "F001");
    EXPECT_EQ(recSizeOf(PTX_STO{N1(0xF6), N2(0), N2(0x2D00)}), 5u);
    EXPECT_EQ(recSizeOf(PTX_BLN{N1(0xD9)}), 1u);
    // A triplet chunk framed from a record counts its length byte.
    EXPECT_EQ(chunkSize(encodeChunk(Record<T_RLI>{rli})), 4u);
}

TEST(RecordsNested, TextFormsParenthesiseOnlyAsArguments) {
    const T_RLI rli{N1(0x24), N1(5), N1(2)};
    const std::string rliText = "T_RLI {t_rli_Type = 36, t_rli_ResourceType = 5, t_rli_ResourceLocalId = 2}";
    EXPECT_EQ(show(rli), rliText);
    std::string s;
    showsPrec(s, 11, rli);
    EXPECT_EQ(s, "(" + rliText + ")");
    EXPECT_EQ(show(std::vector<T_RLI>{rli, rli}), "[" + rliText + "," + rliText + "]");

    const PTX_SCFL scfl{N1(0xF1), N1(255)};
    const std::string scflText = "PTX_SCFL {ptx_scfl_Type = 241, ptx_scfl_LocalId = 255}";
    s.clear();
    showsPrec(s, 11, scfl);
    EXPECT_EQ(s, "(" + scflText + ")");
    s.clear();
    showsPrec(s, 10, scfl);
    EXPECT_EQ(s, scflText);
    EXPECT_EQ(show(std::vector<PTX_SCFL>{scfl}), "[" + scflText + "]");

    EXPECT_EQ(show(T_FQN{N1(0x02), N1(0x86), N1(0), Buffer0{}}),
              "T_FQN {t_fqn_Type = 2, t_fqn_SubType = 134, t_fqn_Format = 0, t_fqn = \"\"}");
    EXPECT_EQ(show(PTX_DIR{N1(0xE4), I2(-5), Buffer0{fromHex("000280")}}),
              "PTX_DIR {ptx_dir_Type = 228, ptx_dir_Length = I2 (-5), ptx_dir_Data = \"000280\"}");
}
