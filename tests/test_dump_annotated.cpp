// The annotated dump and the records it decodes: page descriptors, image and
// graphics descriptors, image data split over fields, data resource maps,
// object containers, page positions and bar code descriptors, on the bytes
// of real streams where the samples have them.
#include <gtest/gtest.h>

#include "helpers.hpp"
#include "dump_helpers.hpp"
#include "pressel/view/dump.hpp"
#include "pressel/text/ebcdic.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/records.hpp"

using namespace pressel;
using namespace pressel::test;

namespace {

std::string hex(const std::string& h) { return std::string(fromHex(h).chars()); }

// A structured field: identifier, flag and reserved bytes, data.
AFP_ sf(std::uint32_t code, const std::string& data) {
    return AFP_{code, Bytes::copy(std::string{char(code >> 16), char(code >> 8), char(code), 0, 0, 0} + data)};
}

// The first structured field of the file with the identifier.
AFP_ firstOf(const std::string& file, std::uint32_t code) {
    for (const AFP_& c : readAFP(dataPath(file)))
        if (c.code == code) return c;
    throw std::runtime_error("no such field in " + file);
}

template <class T>
void expectRoundTrip(const AFP_& c) {
    const Record<T> r = decodeRecord<T>(c);
    EXPECT_EQ(encodeChunk(r), c);
}

TEST(DumpAnnotated, HeaderFieldsTripletsAndControlSequencesOfASmallPage) {
    RunResult r = runTool({"dump", dataPath("hello.afp")});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string& out = r.out;
    EXPECT_EQ(out.rfind("0: D3A8A8 BDT Begin Document (16 bytes)\n  Name: \"DOC00001\"\n", 0), 0u) << out;
    EXPECT_NE(out.find("\n34: D3A8AF BPG Begin Page (16 bytes)\n  Name: \"PGN00001\"\n"), std::string::npos);
    // The coded font map: groups, then their triplets, names through code page 500.
    EXPECT_NE(out.find("68: D3AB8A MCF Map Coded Font (76 bytes)\n"
                       "  groups:\n"
                       "    group\n"
                       "      X'02' FQN Fully Qualified Name: SubType X'86' font character set name, \"C0N200B0\"\n"
                       "      X'02' FQN Fully Qualified Name: SubType X'85' code page name, \"T1V10500\"\n"
                       "      X'26' CR Character Rotation: rotation 0\xC2\xB0\n"
                       "      X'24' RLI Resource Local Identifier: ResourceType X'05' coded font, ResourceLocalId 2\n"),
              std::string::npos)
        << out;
    // Units of measure and the whole 3-byte extents.
    EXPECT_NE(out.find("145: D3A6AF PGD Page Descriptor (23 bytes)\n"
                       "  XBase: 10 inches\n  YBase: 10 inches\n"
                       "  XUnits: 2400 (240 per inch)\n  YUnits: 2400 (240 per inch)\n"
                       "  XSize: 1984\n  YSize: 2806\n"),
              std::string::npos)
        << out;
    // Control sequences one per line, text through the font's code page.
    EXPECT_NE(out.find("226: D3EE9B PTX Presentation Text Data (133 bytes)\n"
                       "  controls:\n"
                       "    AMB 240\n    AMI 189\n    SCFL 1\n    SVI 17\n    TRN \"Hello, Pressel\"\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("    TRN \"Printing is simple.\"\n    NOP\n360: D3A99B EPT"), std::string::npos) << out;
    // Nothing of the reserved bytes, the zero flags or empty triplet lists.
    EXPECT_EQ(out.find("flags"), std::string::npos);
    EXPECT_EQ(out.find("triplets:\n"), std::string::npos);
}

TEST(DumpAnnotated, TextFollowsTheCodePageOfTheSelectedFont) {
    // Helvetica in code page 273, Times in 1140: the same bytes read differently.
    RunResult r = runTool({"dump", "--type", "PTX", dataPath("codepages.afp")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("TRN \"Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("TRN \"Price: 5 \xE2\x82\xAC or $6 | a!b"), std::string::npos) << r.out;

    // Rotated text, colours in their colour space, parameters named when there are several.
    RunResult l = runTool({"dump", dataPath("layout.afp")});
    ASSERT_EQ(l.status, 0) << l.err;
    EXPECT_NE(l.out.find("    STO 90\xC2\xB0 180\xC2\xB0\n"), std::string::npos);
    EXPECT_NE(l.out.find("    SEC ColorSpace X'01' RGB, ColorSize1 8, ColorSize2 8, ColorSize3 8, ColorSize4 0, data X'FF0000'\n"),
              std::string::npos)
        << l.out;
}

TEST(DumpAnnotated, ShowKeepsTheTextFormAndFormsExcludeEachOther) {
    RunResult r = runTool({"dump", "--show", "--type", "BPG", dataPath("hello.afp")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("34: BPG {bpg_Type = 13871279", 0), 0u) << r.out;
    for (const char* other : {"--view", "--json"}) {
        RunResult both = runTool({"dump", "--show", other, dataPath("hello.afp")});
        EXPECT_EQ(both.status, 1) << other;
        EXPECT_NE(both.err.find("exclude each other"), std::string::npos) << both.err;
    }
    // A record that does not decode: its header, the error and its bytes.
    TempDir dir;
    writeFileString(dir.file("bad.afp"), std::string("\x5A\x00\x0A\xD3\xA6\xAF\x00\x00\x00\x00\x00", 11));
    RunResult bad = runTool({"dump", dir.file("bad.afp")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out.rfind("0: D3A6AF PGD length 10\n  *** ", 0), 0u) << bad.out;
    EXPECT_NE(bad.out.find("\n  raw: X'D3A6AF0000000000'\n"), std::string::npos) << bad.out;
}

TEST(DumpAnnotated, JsonNamesRecordsAndDecodesTextBesideTheRawValues) {
    RunResult r = runTool({"dump", "--json", dataPath("hello.afp")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("{\"offset\":34,\"id\":\"D3A8AF\",\"type\":\"BPG\",\"name\":\"Begin Page\",\"length\":16,"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("{\"type\":\"T_FQN\",\"name\":\"Fully Qualified Name\",\"fields\":"), std::string::npos);
    EXPECT_NE(r.out.find("{\"type\":\"PTX_AMI\",\"name\":\"Absolute Move Inline\",\"fields\":{\"ptx_ami_Type\":199,"),
              std::string::npos);
    EXPECT_NE(r.out.find("{\"type\":\"PTX_TRN\",\"name\":\"Transparent Data\",\"text\":\"Hello, Pressel\",\"fields\":"
                         "{\"ptx_trn_Type\":219,\"ptx_trn\":\"Hello, Pressel\"}}"),
              std::string::npos)
        << r.out;
    RunResult cp = runTool({"dump", "--json", "--type", "MCF,PTX", dataPath("codepages.afp")});
    ASSERT_EQ(cp.status, 0) << cp.err;
    EXPECT_NE(cp.out.find("\"text\":\"Gr\xC3\xBC\xC3\x9F" "e aus"), std::string::npos) << cp.out;
}

TEST(DumpRecords, PresentationTextDescriptorFormatTwo) {
    const AFP_ ptd = firstOf("hello.afp", 0xD3B19B);
    const PTD v = decodeChunk<PTD>(ptd);
    EXPECT_EQ(v.ptd_XBase.value, 0);
    EXPECT_EQ(v.ptd_XUnits.value, 2400);
    EXPECT_EQ(v.ptd_XSize.value, 1984u);
    EXPECT_EQ(v.ptd_YSize.value, 2806u);
    ASSERT_TRUE(v.ptd_TextFlags.present());
    expectRoundTrip<PTD>(ptd);

    // Initial text conditions after the flags; a descriptor that ends after its extents.
    const AFP_ withConditions = sf(0xD3B19B, hex("0000 0960 0960 0007C0 000AF6 0000 2BD3 04C70010 03F102"));
    EXPECT_EQ(annotated({withConditions}),
              "0: D3B19B PTD Presentation Text Data Descriptor (31 bytes)\n"
              "  XBase: 10 inches\n  YBase: 10 inches\n"
              "  XUnits: 2400 (240 per inch)\n  YUnits: 2400 (240 per inch)\n"
              "  XSize: 1984\n  YSize: 2806\n"
              "  controls:\n    AMI 16\n    SCFL 2\n");
    expectRoundTrip<PTD>(withConditions);
    const AFP_ short12 = sf(0xD3B19B, hex("0000 0960 0960 0007C0 000AF6"));
    EXPECT_FALSE(decodeChunk<PTD>(short12).ptd_TextFlags.present());
    expectRoundTrip<PTD>(short12);
}

TEST(DumpRecords, ImageDescriptorAndImageFieldsSplitOverPictureData) {
    const AFP_ idd = firstOf("invoice.afp", 0xD3A6FB);
    const IDD v = decodeChunk<IDD>(idd);
    EXPECT_EQ(v.idd_XUnits.value, 720);
    EXPECT_EQ(v.idd_XSize.value, 16);
    EXPECT_EQ(v.idd_Data.bytes, fromHex("F702010B"));
    expectRoundTrip<IDD>(idd);
    EXPECT_NE(annotated({idd}).find("  X'F7' IOCA Function Set Identification, 2 bytes: category X'01', "
                                    "function set X'0B'\n"),
              std::string::npos);

    RunResult r = runTool({"dump", "--type", "IPD", dataPath("invoice.afp")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("  X'70' Begin Segment, 0 bytes\n"
                         "  X'91' Begin Image Content, 1 byte: X'FF'\n"
                         "  X'94' Image Size, 9 bytes: 10 inches, resolution 720 x 720, size 16 x 16\n"
                         "  X'95' Image Encoding, 2 bytes: compression X'83' JPEG, recording X'FE'\n"
                         "  X'96' IDE Size, 1 byte: 8 bits\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("  X'FE92' Image Data, 441 bytes\n  X'93' End Image Content, 0 bytes\n"), std::string::npos);

    // An image data field that runs on into the next picture data field.
    const std::string span = annotated({sf(0xD3EEFB, hex("70 00 FE92 0010 0102030405")),
                                        sf(0xD3EEFB, hex("060708090A0B0C0D0E0F10 93 00 71 00"))});
    EXPECT_NE(span.find("  X'FE92' Image Data, 16 bytes (11 more in the next IPD)\n"), std::string::npos) << span;
    EXPECT_NE(span.find("  11 bytes continuing the field of the previous IPD\n  X'93' End Image Content, 0 bytes\n"),
              std::string::npos)
        << span;
    // The corpus file whose image data spans its picture data fields dumps cleanly.
    RunResult corpus = runTool({"dump", dataPath("corpus/IPDSpan.afp")});
    EXPECT_EQ(corpus.status, 0) << corpus.err;
    EXPECT_NE(corpus.out.find("continuing the field of the previous IPD"), std::string::npos) << corpus.out;
}

TEST(DumpRecords, GraphicsDescriptor) {
    const std::string out = annotated({firstOf("graphics.afp", 0xD3A6BB)});
    EXPECT_EQ(out, "0: D3A6BB GDD Graphics Data Descriptor (37 bytes)\n"
                   "  X'F7' Drawing Order Subset: subset X'B0', level X'02', version X'00'\n"
                   "  X'F6' Window: 10 inches, resolution 2400 x 2400, window x 0 to 378, y 0 to 284\n");
}

// A data resource map and an object container as a TrueType font in a
// stream of FOP 2.8 carries them: the font's name in UTF-16 (CCSID 1200
// declared), its classification, its descriptor.
const char* const mdrHex =
    "D3ABC300000000890601000004B00C02DE0000530061006E00730502BE0001601000410000540006072B12000401013300000000000000"
    "E399A485E3A8978561D6978595E3A8978540C69695A340D985A296A4998385404040404040404040404040404040404040404040404040"
    "4040404040404040404040404040404040108B002001180000000000030001000000890601000004B00C02DE0000530061006E00730502"
    "BE0002601000410000540006072B12000401013300000000000000E399A485E3A8978561D6978595E3A8978540C69695A340D985A296A4"
    "9983854040404040404040404040404040404040404040404040404040404040404040404040404040404040108B002000DC0000000000"
    "0300010000";

TEST(DumpRecords, MapDataResourceAndObjectContainerData) {
    const AFP_ mdr{0xD3ABC3, fromHex(mdrHex)};
    const MDR v = decodeChunk<MDR>(mdr);
    std::size_t groups = 0;
    for (const MCF_& g : v.mdr_Groups) {
        ++groups;
        EXPECT_EQ(g.frame, Frame::Item);
    }
    EXPECT_EQ(groups, 2u);
    expectRoundTrip<MDR>(mdr);
    const std::string out = annotated({mdr});
    EXPECT_NE(out.find("    group\n"
                       "      X'01' CGCSGID Coded Graphic Character Set Global Identifier: GCSGID X'0000', CPGID X'04B0'\n"
                       "      X'02' FQN Fully Qualified Name: SubType X'DE' data-object external resource, \"Sans\"\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("      X'10' OC Object Classification: ObjectClass X'41' data-object font"), std::string::npos);
    EXPECT_NE(out.find("      X'8B' DOFD Data-Object Font Descriptor: Technology 32, VerticalFontSize 280, HorizontalScale 0, "
                       "CharacterRotation 0°, EncodingEnvironment 3, EncodingId X'0001', data X'0000'\n"),
              std::string::npos)
        << out;

    // The map alone selects the font: its one-byte internal name is the local
    // id, its CCSID 1200 makes the text UTF-16.
    const std::string text = annotated({mdr, sf(0xD3A89B, ""), sf(0xD3EE9B, hex("2BD3 03F101 06DA004A006F"))});
    EXPECT_NE(text.find("  controls:\n    SCFL 1\n    TRN \"Jo\"\n"), std::string::npos) << text;

    // The first data field of a container names its format; later ones do not guess.
    const AFP_ boc = sf(0xD3A892, hex("D6C3F0F0F0F0F0F1"));
    const AFP_ first = sf(0xD3EE92, hex("0001000000130100000400304646544D81E393330006443C"));
    const AFP_ next = sf(0xD3EE92, hex("0001000000130100"));
    const std::string oc = annotated({boc, first, next});
    EXPECT_NE(oc.find("  data: 24 bytes, TrueType/OpenType font, begins X'0001000000130100000400304646544D'\n"),
              std::string::npos)
        << oc;
    EXPECT_NE(oc.find("  data: 8 bytes, begins X'0001000000130100'\n"), std::string::npos) << oc;
}

TEST(DumpRecords, PagePositionGroupsOfTheirOwnLength) {
    // A 10-byte group and a 12-byte group with flags and a PMC id.
    const AFP_ pgp = sf(0xD3B1AF, hex("01 0A 000000 000000 0000 00  0C FFFFF6 0000A0 2D00 01 01 07"));
    const PGP v = decodeChunk<PGP>(pgp);
    ASSERT_EQ(v.pgp_Data.size(), 2u);
    const PGP_Data& g = v.pgp_Data[1].recordContent;
    EXPECT_EQ(g.pgp_XOffset.value, -10);
    EXPECT_EQ(g.pgp_YOffset.value, 160);
    EXPECT_EQ(g.pgp_Orientation.value, 0x2D00);
    EXPECT_EQ(g.pgp_SheetSide.value, 1);
    ASSERT_TRUE(g.pgp_PMCId.present());
    EXPECT_EQ(g.pgp_PMCId.value->value, 7);
    EXPECT_FALSE(v.pgp_Data[0].recordContent.pgp_Flags.present());
    expectRoundTrip<PGP>(pgp);
    EXPECT_NE(annotated({pgp}).find("    RepeatingGroupLength 12, XOffset -10, YOffset 160, Orientation 90\xC2\xB0, "
                                    "SheetSide 1, Flags X'01', PMCId X'07'\n"),
              std::string::npos)
        << annotated({pgp});

    // A group longer than its fields keeps the rest; a length that claims more
    // than is left, or less than the fixed fields, ends the groups there.
    const AFP_ longer = sf(0xD3B1AF, hex("01 0E 000000 000000 0000 00 00 00 ABCD"));
    EXPECT_EQ(decodeChunk<PGP>(longer).pgp_Data.at(0).recordContent.pgp_Tail.bytes, fromHex("ABCD"));
    expectRoundTrip<PGP>(longer);
    const RecordOps& ops = recordOps(afpTypeOf(0xD3B1AF));
    const Bytes overrun = packChunk(sf(0xD3B1AF, hex("01 0A 000000 000000 0000 00 20 0000")));
    EXPECT_EQ(ops.covered(overrun), overrun.size() - 3);
    const Bytes tooShort = packChunk(sf(0xD3B1AF, hex("01 05 0000000000")));
    EXPECT_EQ(ops.covered(tooShort), tooShort.size() - 6);
}

TEST(DumpRecords, BarCodeDataDescriptor) {
    // Code 128, 1440 units per 10 inches, blue, module width 17 mils, then one trailing byte.
    const AFP_ bdd = sf(0xD3A6EB, hex("00 00 3840 3840 0FA0 0320 0000 11 02 FF 0001 11 00C8 01 FFFF 00"));
    const BDD v = decodeChunk<BDD>(bdd);
    EXPECT_EQ(v.bdd_SymbolType.value, 0x11);
    EXPECT_EQ(v.bdd_XSize.value, 4000);
    EXPECT_EQ(v.bdd_ElementHeight.value, 200);
    EXPECT_EQ(v.bdd_Data.bytes, fromHex("00"));
    expectRoundTrip<BDD>(bdd);
    const std::string out = annotated({bdd});
    EXPECT_NE(out.find("  SymbolType: X'11' Code 128\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  Color: X'0001' blue\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  XUnits: 14400 (1440 per inch)\n"), std::string::npos) << out;
}

// Fields that come again byte for byte are shown from what was written for
// them before, unless what they show depends on the state: the same
// presentation text under two font maps reads through two code pages, page
// after page, past the point where record types that seldom repeat stop
// being looked up; the same map, descriptors and control sequences show the
// same lines wherever they come.
TEST(DumpAnnotated, FieldsSeenBeforeShowWhatTheirBytesAndStateShow) {
    auto e = [](const char* latin1) { return latin1ToEbcdic(latin1); };
    auto fqn = [&](char sub, const char* name) { return std::string{12, 0x02, sub, 0} + e(name); };
    auto map = [&](const char* codePage) {
        const std::string group = fqn(char(0x86), "C0H200B0") + fqn(char(0x85), codePage) + std::string{4, 0x24, 5, 1};
        return sf(0xD3AB8A, std::string{0, char(2 + group.size())} + group);
    };
    // AMB 240, AMI 189, SCFL 1, TRN X'C0D0' (a-umlaut in 273, braces in 500).
    const AFP_ ptx = sf(0xD3EE9B, hex("2BD3 04D300F0 04C700BD 03F101 04DBC0D0"));
    const AFP_ pgd = sf(0xD3A6AF, hex("00 00 0960 0960 0007C0 000AF6 000000"));
    std::string stream;
    auto put = [&](const AFP_& c) {
        const std::size_t n = c.payload.size() + 2;
        stream += {char(0x5A), char(n >> 8), char(n)};
        stream += std::string(c.payload.chars());
    };
    const int pages = 600;  // past the first 256 look-ups of every type
    for (int i = 0; i < pages; ++i) {
        put(sf(0xD3A8AF, e("PGN00001")));
        put(map(i % 2 ? "T1V10500" : "T1000273"));
        put(pgd);
        put(sf(0xD3A89B, e("PT000001")));
        put(ptx);
        put(sf(0xD3A99B, e("PT000001")));
        put(sf(0xD3A9AF, e("PGN00001")));
    }
    TempDir dir;
    writeFileString(dir.file("pages.afp"), stream);
    auto count = [](const std::string& out, const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = out.find(what); at != std::string::npos; at = out.find(what, at + 1)) ++n;
        return n;
    };
    RunResult r = runTool({"dump", dir.file("pages.afp")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.out, "    TRN \"\xC3\xA4\xC3\xBC\"\n"), std::size_t(pages / 2)) << r.out.substr(0, 2000);
    EXPECT_EQ(count(r.out, "    TRN \"{}\"\n"), std::size_t(pages / 2));
    EXPECT_EQ(count(r.out, "    AMB 240\n    AMI 189\n    SCFL 1\n"), std::size_t(pages));
    EXPECT_EQ(count(r.out, "code page name, \"T1000273\"\n"), std::size_t(pages / 2));
    EXPECT_EQ(count(r.out, "  XUnits: 2400 (240 per inch)\n  YUnits: 2400 (240 per inch)\n  XSize: 1984\n"),
              std::size_t(pages));
    RunResult j = runTool({"dump", "--json", dir.file("pages.afp")});
    ASSERT_EQ(j.status, 0) << j.err;
    EXPECT_EQ(count(j.out, "\"text\":\"\xC3\xA4\xC3\xBC\""), std::size_t(pages / 2));
    EXPECT_EQ(count(j.out, "\"text\":\"{}\""), std::size_t(pages / 2));
    EXPECT_EQ(count(j.out, "{\"type\":\"PTX_AMB\""), std::size_t(pages));
    RunResult v = runTool({"dump", "--view", dir.file("pages.afp")});
    ASSERT_EQ(v.status, 0) << v.err;
    EXPECT_EQ(count(v.out, "ptx_amb_Displacement: 240\n"), std::size_t(pages));
    // Each form shows every page as it shows the page alone.
    writeFileString(dir.file("two.afp"), stream.substr(0, stream.size() / (pages / 2)));
    for (const char* form : {"--show", "--view", "--json"}) {
        RunResult all = runTool({"dump", form, dir.file("pages.afp")});
        RunResult two = runTool({"dump", form, dir.file("two.afp")});
        ASSERT_EQ(all.status, 0) << all.err;
        EXPECT_EQ(all.out.substr(0, two.out.size()), two.out) << form;
    }
}

TEST(DumpAnnotated, EveryNameTableIsSortedAndNamesTheTableTypes) {
    EXPECT_STREQ(structuredFieldName(0xD3A8AF), "Begin Page");
    EXPECT_STREQ(structuredFieldName(0xD3EEFB), "Image Picture Data");
    EXPECT_EQ(structuredFieldName(0xD3FFFF), nullptr);
    EXPECT_STREQ(tripletName(0x24), "Resource Local Identifier");
    EXPECT_EQ(tripletName(0x23), nullptr);
    EXPECT_STREQ(controlSequenceName(0xC7), "Absolute Move Inline");  // chained form
    EXPECT_STREQ(controlSequenceName(0xDA), "Transparent Data");
    // Every record type of the structured-field table has a name.
#define PRESSEL_X(code, R) EXPECT_NE(recordTypeName(afpTypeOf(code)), nullptr) << #R;
    PRESSEL_AFP_CODES(PRESSEL_X)
#undef PRESSEL_X
}

}  // namespace
