// Renaming resources: every place a stream names a resource, names compared
// without their trailing blanks, counts per name, and the rename command's
// handling of names that do not occur.
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "fields.hpp"
#include "helpers.hpp"
#include "pressel/text/ebcdic.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/rewrite/rename.hpp"

using namespace pressel;
using namespace pressel::test;

namespace {

std::string group(const std::string& triplets) {
    const std::size_t n = triplets.size() + 2;
    return std::string{char(n >> 8), char(n)} + triplets;
}
std::string fqn(char type, const std::string& name) { return triplet(0x02, std::string{type, 0} + name); }

// A resource group naming the coded font XZFUTB0 in every way a stream can:
// 8-byte fields padded with a blank, fully qualified names with and without
// the blank.
std::vector<AFP_> fontStream() {
    return {
        sf(0xD3A8C6, e("RESGRP01")),
        sf(0xD3A8CE, e("XZFUTB0 ") + hex("0000") + triplet(0x21, hex("42 00000000000000"))),   // BR
        sf(0xD3A88A, e("XZFUTB0 ")),                                                           // BCF
        sf(0xD3A78A, hex("19 01")),                                                            // CFC
        sf(0xD38C8A, e("C0N200B0") + e("T1V10500") + hex("00F0 0000 00000000 00")),            // CFI
        sf(0xD3A98A, e("XZFUTB0 ")),                                                           // ECF
        sf(0xD3A9CE, e("XZFUTB0 ")),                                                           // ER
        sf(0xD3A9C6, e("RESGRP01")),
        sf(0xD3AB8A, group(fqn(char(0x8E), e("XZFUTB0 ")) + triplet(0x24, hex("05 01"))) +      // MCF
                         group(fqn(char(0x85), e("T1V10500")) + fqn(char(0x86), e("C0N200B0")) +
                               triplet(0x24, hex("05 02")))),
        sf(0xD3B18A, std::string{28, 0, 0, 0} + std::string{3, 0, 0, 0} + e("XZFUTB0 ") + e("T1V10500") +
                         e("C0N200B0")),                                                       // MCF1
        sf(0xD3ABC3, group(fqn(char(0xDE), e("XZFUTB0")) + triplet(0x10, std::string(22, '\0')))),  // MDR
        sf(0xD3A090, fqn(0x0B, e("XZFUTB0")) + triplet(0x36, std::string(2, '\0') + e("XZFUTB0"))),  // TLE
    };
}

std::vector<AFP_> run(const std::vector<AFP_>& in, const ChunkFilters<AFP_>& filters) {
    std::vector<AFP_> out;
    for (const AFP_& c : in)
        for (const AFP_& x : chunkMapFiltersM(c, filters)) out.push_back(x);
    return out;
}

std::size_t occurrences(const std::vector<AFP_>& cs, const std::string& what) {
    std::size_t n = 0;
    for (const AFP_& c : cs) {
        const std::string s(c.payload.chars());
        for (std::size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
    }
    return n;
}

void writeStream(const std::string& path, const std::vector<AFP_>& cs) {
    AfpWriter w(path);
    for (const AFP_& c : cs) w.write(c);
    w.close();
}

}  // namespace

TEST(Rename, EveryPlaceAResourceIsNamedWithTrailingBlanksNotSignificant) {
    const std::vector<AFP_> in = fontStream();
    RenameFilters r = renameFilters({{e("XZFUTB0"), e("XZFUTB9")}, {e("C0N200B0 "), e("C0N999B0")}});
    const std::vector<AFP_> out = run(in, r.filters);
    ASSERT_EQ(out.size(), in.size());
    // BR, BCF, ECF, ER, the MCF and MDR names and the MCF1 coded font name.
    EXPECT_EQ((*r.counts)[0], 7u);
    // The CFI, MCF and MCF1 font character set names.
    EXPECT_EQ((*r.counts)[1], 3u);
    // What is left of the old names is the index tag, which names no resource.
    EXPECT_EQ(occurrences(out, e("XZFUTB0")), 2u);
    EXPECT_EQ(occurrences(out, e("XZFUTB0")), occurrences({in.back()}, e("XZFUTB0")));
    EXPECT_EQ(occurrences(out, e("C0N200B0")), 0u);
    EXPECT_EQ(occurrences(out, e("XZFUTB9 ")), 5u) << "8-byte fields are padded";
    EXPECT_EQ(out[1].payload.size(), in[1].payload.size());
    // Fields that name nothing renamed come out as they went in.
    EXPECT_EQ(out[0].payload.data(), in[0].payload.data());
    EXPECT_EQ(out[3].payload.data(), in[3].payload.data());

    // The filters run again and keep counting.
    run(in, r.filters);
    EXPECT_EQ((*r.counts)[0], 14u);
}

TEST(Rename, BadRenameListsAreRefused) {
    EXPECT_THROW(renameFilters({{e("A"), e("B")}, {e("A  "), e("C")}}), Error);
    EXPECT_THROW(renameFilters({{e(""), e("B")}}), Error);
    EXPECT_THROW(renameFilters({{e("A"), std::string(maxRenameLength + 1, 'x')}}), Error);
    EXPECT_EQ(ebcdicName("Ab\xC3\xA9"), e("Ab\xE9"));
    EXPECT_EQ(ebcdicName("\xE2\x82\xAC"), std::nullopt);
    EXPECT_EQ(withoutTrailingBlanks(e("AB  ")), e("AB"));
}

TEST(RenameCommand, CountsPerNameAndNamesThatDoNotOccur) {
    TempDir dir;
    const std::string in = dir.file("in.afp");
    writeStream(in, fontStream());

    RunResult r = runTool({"rename", in, dir.file("o.afp"), "XZFUTB0=XZFUTB9", "T1V10500=T1000850"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("XZFUTB0=XZFUTB9: 7 fields renamed\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("T1V10500=T1000850: 3 fields renamed\n"), std::string::npos) << r.err;

    // A name that does not occur: an error, and nothing written.
    r = runTool({"rename", in, dir.file("x.afp"), "XZFUTB0=XZFUTB9", "NOSUCH=OTHER"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(errorLine(r.err).find("'NOSUCH'"), std::string::npos) << r.err;
    EXPECT_NE(errorLine(r.err).find("nothing written"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir.file("x.afp")));
    r = runTool({"rename", in, "-", "NOSUCH=OTHER"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "") << "checked before anything goes to standard output";

    // --allow-missing renames what does occur.
    r = runTool({"rename", "--allow-missing", in, dir.file("y.afp"), "XZFUTB0=XZFUTB9", "NOSUCH=OTHER"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("NOSUCH=OTHER: 0 fields renamed"), std::string::npos) << r.err;
    std::vector<AFP_> y;
    for (const AFP_& c : readAFP(dir.file("y.afp"))) y.push_back(c);
    EXPECT_EQ(occurrences(y, e("XZFUTB0")), 2u);

    r = runTool({"rename", "--quiet", in, dir.file("z.afp"), "XZFUTB0=XZFUTB9"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
}

// ---- the first library example of the README ------------------------------------------------
namespace {
// The example as the README gives it, with its standard streams passed in.
int countAndCopy(const std::string& in, const std::string& out, std::ostream& cout, std::ostream& cerr) {
    std::map<std::string, int> counts;
    std::vector<pressel::AFP_> fields;
    for (const pressel::AFP_& field : pressel::readAFP(in)) {
        ++counts[pressel::chunkType(field).name()];
        fields.push_back(field);
    }
    std::ostream& report = out == "-" ? cerr : cout;
    for (const auto& [type, n] : counts) report << type << '\t' << n << '\n';
    pressel::writeAFP(out, fields);
    return 0;
}
}  // namespace

TEST(ReadmeExample, CountsGoToStandardErrorWhenTheCopyGoesToStandardOutput) {
    TempDir dir;
    const std::string hello = dataPath("hello.afp");
    std::ostringstream out, err;
    countAndCopy(hello, dir.file("copy.afp"), out, err);
    EXPECT_NE(out.str().find("PTX\t1\n"), std::string::npos) << out.str();
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(readFileString(dir.file("copy.afp")), readFileString(hello));

    // Standard output carries the copy only.
    std::ostringstream out2, err2;
    std::fflush(stdout);
    const int saved = ::dup(1);
    const int fd = ::open(dir.file("stdout.afp").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ::dup2(fd, 1);
    ::close(fd);
    countAndCopy(hello, "-", out2, err2);
    std::fflush(stdout);
    ::dup2(saved, 1);
    ::close(saved);
    EXPECT_EQ(out2.str(), "");
    EXPECT_EQ(err2.str(), out.str());
    EXPECT_EQ(readFileString(dir.file("stdout.afp")), readFileString(hello));
}

TEST(Rename, NamesAfterAnIntroducerExtensionOrBeforePaddingAreFound) {
    // Fields are passed over when their payload does not hold an old name;
    // the extension and the padding around the data must not hide one.
    const std::string name = e("XZFUTB0 ");
    AFP_ extended{0xD3A88A, Bytes::copy(std::string{char(0xD3), char(0xA8), char(0x8A), char(0x80), 0, 0} +
                                        hex("03 ABCD") + name)};
    AFP_ padded{0xD3A98A, Bytes::copy(std::string{char(0xD3), char(0xA9), char(0x8A), char(0x08), 0, 0} + name +
                                      hex("0000 03"))};
    const AFP_ other = sf(0xD3A8C6, e("RESGRP01"));
    RenameFilters r = renameFilters({{e("XZFUTB0"), e("XZFUTB9")}});
    const std::vector<AFP_> out = run({extended, padded, other}, r.filters);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ((*r.counts)[0], 2u);
    const std::string ext(extended.payload.chars()), pad(padded.payload.chars());
    EXPECT_EQ(std::string(out[0].payload.chars()), ext.substr(0, 9) + e("XZFUTB9 "));
    EXPECT_EQ(std::string(out[1].payload.chars()), pad.substr(0, 6) + e("XZFUTB9 ") + hex("0000 03"));
    EXPECT_EQ(out[2].payload.data(), other.payload.data()) << "a field without an old name is the chunk that came in";
}
