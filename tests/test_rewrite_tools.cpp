// The rewriting commands on real files: strip, rename and tle. Every rewritten
// stream is read back and compared with the input: exactly the intended
// differences, everything else byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "fields.hpp"
#include "helpers.hpp"
#include "pressel/catalogue.hpp"
#include "pressel/text/ebcdic.hpp"
#include "pressel/filter.hpp"
#include "pressel/stream/io.hpp"

using namespace pressel;
using namespace pressel::test;

namespace {

std::vector<AFP_> chunksOf(const std::string& path) {
    std::vector<AFP_> v;
    for (const AFP_& c : readAFP(path)) v.push_back(c);
    return v;
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size()) s.replace(at, from.size(), to);
    return s;
}

TEST(StripCommand, AbsentTypesReproduceTheInput) {
    TempDir dir;
    for (const std::string& f : allSampleFiles()) {
        SCOPED_TRACE(f);
        auto r = runTool({"strip", f, dir.file("o.afp"), "BII", "T_MF", "PTX_SBI"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readFileString(dir.file("o.afp")), readFileString(f));
    }
}

TEST(StripCommand, TripletsLeaveTheirRecordsOtherwiseIntact) {
    TempDir dir;
    for (const char* name : {"corpus/hello.afp", "corpus/asciiAndEbcdicComment.afp"}) {
        SCOPED_TRACE(name);
        auto r = runTool({"strip", dataPath(name), dir.file("o.afp"), "T_CMT"});
        ASSERT_EQ(r.status, 0) << r.err;
        auto before = chunksOf(dataPath(name)), after = chunksOf(dir.file("o.afp"));
        ASSERT_EQ(before.size(), after.size());
        int changed = 0;
        for (std::size_t i = 0; i < before.size(); ++i) {
            if (before[i] == after[i]) continue;
            ++changed;
            // The record's text form with its comment triplets taken out.
            static const std::regex comment(R"(T_ 101 "[0-9A-F]*",?)");
            std::string expected = std::regex_replace(showRecordOf(before[i]), comment, "");
            expected = replaceAll(expected, ",]", "]");
            EXPECT_EQ(showRecordOf(after[i]), expected);
        }
        // The resource and page segment records of this file end in triplets.
        if (std::string(name) == "corpus/asciiAndEbcdicComment.afp") {
            EXPECT_GT(changed, 0);
        }
    }
}

TEST(StripCommand, StructuredFieldsAndControlSequences) {
    TempDir dir;
    // Structured fields: the two NOPs of a font go, nothing else moves.
    auto r = runTool({"strip", dataPath("corpus/C0X00006.afp"), dir.file("n.afp"), "NOP"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<AFP_> expected;
    for (const AFP_& c : chunksOf(dataPath("corpus/C0X00006.afp")))
        if (!isA<NOP>(c)) expected.push_back(c);
    EXPECT_EQ(chunksOf(dir.file("n.afp")), expected);

    // A control sequence at the end of a chain: it goes, and the one that
    // chained to it now ends the chain.
    r = runTool({"strip", dataPath("hello.afp"), dir.file("p.afp"), "PTX_NOP"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto before = chunksOf(dataPath("hello.afp")), after = chunksOf(dir.file("p.afp"));
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (!isA<PTX>(before[i])) {
            EXPECT_EQ(before[i], after[i]);
            continue;
        }
        std::vector<PTX_> old = decodeChunk<PTX>(before[i]).ptx_Chunks.toVector();
        std::vector<PTX_> now = decodeChunk<PTX>(after[i]).ptx_Chunks.toVector();
        ASSERT_TRUE(isA<PTX_NOP>(old.back()));
        old.pop_back();
        ASSERT_EQ(old.size(), now.size());
        for (std::size_t k = 0; k + 1 < old.size(); ++k) EXPECT_EQ(old[k], now[k]);
        EXPECT_EQ(old.back().code & ~1, now.back().code);
        EXPECT_EQ(now.back().code & 1, 0);
        EXPECT_EQ(old.back().payload.dropFront(1), now.back().payload.dropFront(1));
    }
}

TEST(StripCommand, UsageErrorsAndFailures) {
    TempDir dir;
    auto r = runTool({"strip", dataPath("hello.afp"), dir.file("o.afp"), "NOP", "FOO"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("unknown record type 'FOO'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" T_FQN "), std::string::npos);
    EXPECT_NE(r.err.find(" PTX_NOP "), std::string::npos);

    // A stream whose framing breaks after its first structured field.
    std::string good = readFileString(dataPath("corpus/hello.afp"));
    writeFileString(dir.file("bad.afp"), good.substr(0, 44) + "\x5A\x00");
    r = runTool({"strip", dir.file("bad.afp"), dir.file("o.afp"), "NOP"});
    EXPECT_EQ(r.status, 1);
    // The output file is not created; the message says how far the input was read.
    EXPECT_NE(r.err.find("at offset 44; input read up to offset 44; nothing written"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir.file("o.afp")));
    // Through standard output, the whole structured fields before the fault are written.
    r = runTool({"strip", dir.file("bad.afp"), "-", "NOP"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, good.substr(0, 44));
    EXPECT_NE(r.err.find("44 bytes written to '<stdout>' before the failure"), std::string::npos) << r.err;
}

TEST(RenameCommand, FullyQualifiedNamesInRepeatingGroups) {
    TempDir dir;
    const std::string in = readFileString(dataPath("hello.afp"));
    // Same length: exactly the name bytes change.
    auto r = runTool({"rename", dataPath("hello.afp"), dir.file("o.afp"), "T1V10500=T1000850"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFileString(dir.file("o.afp")),
              replaceAll(in, latin1ToEbcdic("T1V10500"), latin1ToEbcdic("T1000850")));

    // Another length: the groups and the record are re-framed.
    r = runTool({"rename", dataPath("hello.afp"), dir.file("l.afp"), "C0N200B0=A.LONGER.FONT.NAME"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto before = chunksOf(dataPath("hello.afp")), after = chunksOf(dir.file("l.afp"));
    ASSERT_EQ(before.size(), after.size());
    std::vector<std::string> names;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (!isA<MCF>(before[i])) {
            EXPECT_EQ(before[i], after[i]);
            continue;
        }
        for (const MCF_& g : decodeChunk<MCF>(after[i]).mcf_Chunks)
            for (const T_& t : strictItems(decodeChunk<MCF_T>(g).mcf_t_Chunks))
                if (isA<T_FQN>(t)) names.push_back(ebcdicToLatin1(decodeChunk<T_FQN>(t).t_fqn.bytes.chars()));
    }
    EXPECT_EQ(std::count(names.begin(), names.end(), "A.LONGER.FONT.NAME"), 1);
    EXPECT_EQ(std::count(names.begin(), names.end(), "C0N200B0"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "T1V10500"), 2);
}

TEST(RenameCommand, EightByteNameFields) {
    TempDir dir;
    const std::string in = readFileString(dataPath("corpus/hello.afp"));
    auto r = runTool({"rename", dataPath("corpus/hello.afp"), dir.file("o.afp"), "HELLOWLD=WORLD"});
    ASSERT_EQ(r.status, 0) << r.err;
    // The Begin and the End Document both carry the name, blank padded.
    std::string expected = replaceAll(in, latin1ToEbcdic("HELLOWLD"), latin1ToEbcdic("WORLD   "));
    EXPECT_NE(expected, in);
    EXPECT_EQ(readFileString(dir.file("o.afp")), expected);

    // A name that does not fit: a clear error, and no output at all.
    r = runTool({"rename", dataPath("corpus/hello.afp"), dir.file("x.afp"), "HELLOWLD=WORLDWIDE"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("'WORLDWIDE'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("BDT (X'D3A8A8') at offset 0"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing written"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir.file("x.afp")));
    std::size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir.path())) files += e.is_regular_file();
    EXPECT_EQ(files, 1u);  // o.afp only: no temporary left behind

    r = runTool({"rename", dataPath("corpus/hello.afp"), dir.file("y.afp"), "NOEQUALS"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("OLD=NEW"), std::string::npos);
}

AFP_ tle(const std::string& name, const std::string& value) {
    return sf(0xD3A090, triplet(0x02, std::string("\x0B\x00", 2) + latin1ToEbcdic(name)) +
                            triplet(0x36, std::string(2, '\0') + latin1ToEbcdic(value)));
}

TEST(TleCommand, ListsIndexTagsWithTheirPageOrGroup) {
    TempDir dir;
    const std::string path = dir.file("t.afp");
    {
        AfpWriter w(path);
        w.write(sf(0xD3A8AD, latin1ToEbcdic("GROUP1  ")));
        w.write(tle("Account", "12345"));
        w.write(sf(0xD3A8AF, latin1ToEbcdic("PAGE1   ")));
        w.write(tle("Name", "J\xF6rg"));
        w.write(sf(0xD3A9AF, latin1ToEbcdic("PAGE1   ")));
        w.write(sf(0xD3A9AD, latin1ToEbcdic("GROUP1  ")));
        w.write(tle("Loose", ""));
        w.close();
    }
    auto r = runTool({"tle", path});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "17\tGROUP1\tAccount\t12345\n"
              "63\tPAGE1\tName\tJ\xC3\xB6rg\n"
              "122\t\tLoose\t\n");
    // The FOP samples carry no index tags.
    r = runTool({"tle", dataPath("letter.afp")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
}

}  // namespace
