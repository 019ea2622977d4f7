// Documents, page groups and resources: info, split, select and merge on FOP
// output with index tags and inline images, and on hand-built streams with
// inline fonts, overlays, page segments and a form definition.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "helpers.hpp"
#include "pressel/view/check.hpp"
#include "pressel/rewrite/document.hpp"
#include "pressel/text/ebcdic.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/text/text.hpp"

using namespace pressel;
using namespace pressel::test;

namespace {

// ---- building streams by hand ---------------------------------------------------
std::string e(const std::string& s) { return latin1ToEbcdic(s); }
std::string name8(const std::string& s) {
    std::string n = e(s);
    n.resize(8, char(0x40));
    return n;
}
std::string sf(std::uint32_t code, const std::string& data) {
    const std::size_t len = 8 + data.size();
    std::string f{char(0x5A), char(len >> 8), char(len), char(code >> 16), char(code >> 8), char(code), 0, 0, 0};
    return f + data;
}
std::string begin(std::uint32_t code, const std::string& name) { return sf(code, name8(name)); }
std::string end(std::uint32_t code, const std::string& name) { return sf(code, name8(name)); }
std::string fqn(unsigned type, const std::string& name) {
    return std::string{char(4 + e(name).size()), 0x02, char(type), 0x00} + e(name);
}
std::string group2(const std::string& triplets) {
    const std::size_t n = 2 + triplets.size();
    return std::string{char(n >> 8), char(n)} + triplets;
}
// Map Coded Font naming a coded font, local id `lid`.
std::string mcf(const std::string& codedFont, int lid) {
    return sf(0xD3AB8A, group2(fqn(0x8E, codedFont) + std::string{4, 0x24, 5, char(lid)}));
}
std::string page(const std::string& name, const std::string& env, const std::string& content = "") {
    return begin(0xD3A8AF, name) + begin(0xD3A8C9, "AEG" + name) + env + end(0xD3A9C9, "AEG" + name) + content +
           end(0xD3A9AF, name);
}
std::string group(const std::string& name, const std::string& tleValue, const std::string& pages) {
    // TLE: attribute name (FQN type X'0B') and value (X'36', two reserved bytes).
    std::string tle = sf(0xD3A090, fqn(0x0B, "CUSTOMER") + std::string{char(4 + tleValue.size()), 0x36, 0, 0} + e(tleValue));
    return begin(0xD3A8AD, name) + tle + pages + end(0xD3A9AD, name);
}
std::string resource(const std::string& name, std::uint32_t beginCode, const std::string& inside) {
    return begin(0xD3A8CE, name) + begin(beginCode, name) + inside + end((beginCode & 0xFF00FF) | 0x00A900, name) + end(0xD3A9CE, name);
}
std::string includeOverlay(const std::string& n) { return sf(0xD3AFD8, name8(n) + std::string(8, '\0')); }
std::string includeSegment(const std::string& n) { return sf(0xD3AF5F, name8(n) + std::string(6, '\0')); }

// A print file whose resource group holds two coded fonts (one naming its
// character set and code page in its index), those two, an overlay that maps
// the second coded font, two page segments and a form definition. Group G1's
// page maps CF1 (with a trailing-blank-free name) and includes the overlay;
// G2's page includes PS1; G3's page uses nothing inline.
std::string handBuilt(const std::string& ps1Content = std::string(4, 'x')) {
    std::string cfi = name8("FCS1") + name8("CP1") + std::string(9, '\0');  // one 25-byte group
    std::string rg = begin(0xD3A8C6, "RG1") +
                     resource("CF1", 0xD3A88A, sf(0xD3A78A, std::string{25, 1}) + sf(0xD38C8A, cfi)) +
                     resource("FCS1", 0xD3A889, sf(0xD3EEEE, "raster")) +
                     resource("CP1", 0xD3A887, sf(0xD3EEEE, "cp")) +
                     resource("OV1", 0xD3A8DF, begin(0xD3A8C9, "OAEG") + mcf("CF2", 1) + end(0xD3A9C9, "OAEG")) +
                     resource("CF2", 0xD3A88A, "") +
                     resource("PS1", 0xD3A85F, sf(0xD3EEEE, ps1Content)) +
                     resource("UNUSED", 0xD3A85F, "") +
                     resource("FORMDEF1", 0xD3A8CD, begin(0xD3A8CC, "MM1") + end(0xD3A9CC, "MM1")) +
                     end(0xD3A9C6, "RG1");
    std::string doc = begin(0xD3A8A8, "DOC1") + sf(0xD3ABCC, name8("MM1")) +
                      group("G1", "one", page("P1", mcf("CF1", 1), includeOverlay("OV1"))) +
                      group("G2", "two", page("P2", "", includeSegment("PS1"))) +
                      group("G3", "three", page("P3", "")) + end(0xD3A9A8, "DOC1");
    return rg + doc;
}

std::vector<std::string> resourceNames(const std::string& path) {
    std::vector<std::string> out;
    for (const auto& r : streamInfo(openSource(path)).resources) out.push_back(r.second);
    return out;
}

// The text of each page of a stream.
std::vector<std::string> pageTexts(const std::string& path) {
    TextExtractor x;
    std::string out;
    for (const AFP_& c : readAFP(path)) x.feed(c, out);
    x.finish(out);
    std::vector<std::string> pages;
    std::size_t start = 0;
    for (std::size_t ff; (ff = out.find('\f', start)) != std::string::npos; start = ff + 1)
        pages.push_back(out.substr(start, ff - start));
    pages.push_back(out.substr(start));
    for (auto& p : pages)
        while (!p.empty() && p.back() == '\n') p.pop_back();
    return pages;
}

void expectClean(const std::string& path) {
    for (const Finding& f : checkFile(path))
        EXPECT_EQ(f.severity, Severity::Info) << path << ": " << f.offset << " " << f.message;
}

// prefix + n + suffix (built by appending: GCC 12 misreads "literal" + std::to_string(n)).
std::string numbered(const char* prefix, std::size_t n, const char* suffix) {
    std::string s = prefix;
    s += std::to_string(n);
    s += suffix;
    return s;
}

std::vector<std::string> filesIn(const TempDir& dir) {
    std::vector<std::string> v;
    for (const auto& e : fs::directory_iterator(dir.path())) v.push_back(e.path().filename().string());
    std::sort(v.begin(), v.end());
    return v;
}

}  // namespace

TEST(Split, ByGroupGivesCompleteFilesWithTheResourcesTheyUse) {
    TempDir dir;
    const std::string in = dataPath("statements.afp");
    auto r = runTool({"split", in, "--by", "group", "-o", dir.file("piece-%02d.afp")});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(filesIn(dir), (std::vector<std::string>{"piece-01.afp", "piece-02.afp", "piece-03.afp", "piece-04.afp"}));
    // Jane Doe's and the fourth statement show the logo, Ann Lee's the stripes.
    EXPECT_EQ(resourceNames(dir.file("piece-01.afp")), std::vector<std::string>{"RES00001"});
    EXPECT_TRUE(resourceNames(dir.file("piece-02.afp")).empty());
    EXPECT_EQ(resourceNames(dir.file("piece-03.afp")), std::vector<std::string>{"RES00002"});
    EXPECT_EQ(resourceNames(dir.file("piece-04.afp")), std::vector<std::string>{"RES00001"});
    std::vector<std::string> texts;
    for (int i = 1; i <= 4; ++i) {
        const std::string p = dir.file(numbered("piece-0", i, ".afp"));
        expectClean(p);
        StreamInfo info = streamInfo(openSource(p));
        EXPECT_EQ(info.documents, 1u);
        EXPECT_EQ(info.documentNames, std::vector<std::string>{"DOC00001"});
        EXPECT_EQ(info.pageGroups, 1u);
        EXPECT_EQ(info.tles, 2u);
        EXPECT_EQ(info.fieldCounts[0xD3EEEE], i == 1 ? 1u : 0u);  // the comment stays in its group
        for (auto& t : pageTexts(p)) texts.push_back(t);
    }
    EXPECT_EQ(texts, pageTexts(in));
    EXPECT_EQ(texts.size(), 5u);

    // Merged again (documents joined), the pieces give back the input byte
    // for byte, and it splits into the same pieces.
    auto m = runTool({"merge", "--join-documents", dir.file("merged.afp"), dir.file("piece-01.afp"),
                      dir.file("piece-02.afp"), dir.file("piece-03.afp"), dir.file("piece-04.afp")});
    ASSERT_EQ(m.status, 0) << m.err;
    EXPECT_EQ(readFileString(dir.file("merged.afp")), readFileString(in));
    EXPECT_EQ(runTool({"tle", dir.file("merged.afp")}).out, runTool({"tle", in}).out);
    TempDir again;
    ASSERT_EQ(runTool({"split", dir.file("merged.afp"), "-o", again.file("piece-%02d.afp")}).status, 0);
    for (int i = 1; i <= 4; ++i) {
        const std::string n = numbered("piece-0", i, ".afp");
        EXPECT_EQ(readFileString(again.file(n)), readFileString(dir.file(n))) << n;
    }

    // Without joining, each piece stays a document of its own: same pages,
    // groups and text.
    ASSERT_EQ(runTool({"merge", dir.file("docs.afp"), dir.file("piece-01.afp"), dir.file("piece-02.afp"),
                       dir.file("piece-03.afp"), dir.file("piece-04.afp")})
                  .status,
              0);
    StreamInfo a = streamInfo(openSource(in)), b = streamInfo(openSource(dir.file("docs.afp")));
    EXPECT_EQ(b.documents, 4u);
    EXPECT_EQ(b.pages, a.pages);
    EXPECT_EQ(b.pageGroups, a.pageGroups);
    EXPECT_EQ(b.resources, a.resources);
    EXPECT_EQ(pageTexts(dir.file("docs.afp")), pageTexts(in));
    expectClean(dir.file("docs.afp"));
}

TEST(Split, NamesFromIndexTagsAreFileSafeAndCollisionsNumbered) {
    TempDir dir;
    auto r = runTool({"split", dataPath("statements.afp"), "--name-from", "CUSTOMER", "-o", dir.file("s.afp")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"s-Ann_Lee.afp", "s-Jane_Doe-2.afp", "s-Jane_Doe.afp",
                                                      "s-John_Smith_Jr..afp"}));
    EXPECT_EQ(pageTexts(dir.file("s-Jane_Doe-2.afp")), std::vector<std::string>{"Second account of Jane Doe"});

    TempDir two;
    r = runTool({"split", dataPath("statements.afp"), "--every", "3", "-o", two.file("{ACCOUNT}-%d.afp")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(filesIn(two), (std::vector<std::string>{"1001-1.afp", "1004-2.afp"}));
    EXPECT_EQ(streamInfo(openSource(two.file("1001-1.afp"))).pages, 4u);

    auto bad = runTool({"split", dataPath("statements.afp"), "-o", two.file("x-%q.afp")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(errorLine(bad.err).find("%d"), std::string::npos) << bad.err;
}

TEST(Split, ByPageKeepsEachPageInsideItsGroup) {
    TempDir dir;
    auto r = runTool({"split", dataPath("statements.afp"), "--by", "page", "-o", dir.file("p%d.afp")});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(filesIn(dir).size(), 5u);
    for (int i = 1; i <= 5; ++i) {
        const std::string p = dir.file(numbered("p", i, ".afp"));
        expectClean(p);
        StreamInfo info = streamInfo(openSource(p));
        EXPECT_EQ(info.pages, 1u);
        EXPECT_EQ(info.pageGroups, 1u);
        EXPECT_EQ(info.tles, 2u);
    }
    // The second page of John Smith's statement carries his group and tags.
    auto tle = runTool({"tle", dir.file("p3.afp")});
    EXPECT_NE(tle.out.find("PGP00002\tACCOUNT\t1002"), std::string::npos) << tle.out;
    EXPECT_EQ(pageTexts(dir.file("p3.afp")), std::vector<std::string>{"Page two for John Smith"});
}

TEST(Select, PagesAndGroups) {
    TempDir dir;
    auto r = runTool({"select", dataPath("statements.afp"), dir.file("o.afp"), "--pages", "2-3,5"});
    ASSERT_EQ(r.status, 0) << r.err;
    expectClean(dir.file("o.afp"));
    auto texts = pageTexts(dir.file("o.afp"));
    EXPECT_EQ(texts, (std::vector<std::string>{"Statement for John Smith", "Page two for John Smith",
                                               "Second account of Jane Doe"}));
    StreamInfo info = streamInfo(openSource(dir.file("o.afp")));
    EXPECT_EQ(info.pageGroups, 2u);  // pages 2 and 3 share their group
    EXPECT_EQ(resourceNames(dir.file("o.afp")), std::vector<std::string>{"RES00001"});

    r = runTool({"select", dataPath("statements.afp"), dir.file("g.afp"), "--groups", "Ann Lee", "PGP00001"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(streamInfo(openSource(dir.file("g.afp"))).pages, 2u);
    EXPECT_EQ(resourceNames(dir.file("g.afp")), (std::vector<std::string>{"RES00001", "RES00002"}));

    r = runTool({"select", dataPath("statements.afp"), dir.file("none.afp"), "--pages", "9"});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(dir.file("none.afp")));
    EXPECT_EQ(runTool({"select", dataPath("statements.afp"), dir.file("z.afp"), "--pages", "3-1"}).status, 1);
}

TEST(Split, PiecesCarryExactlyTheInlineResourcesTheirPagesUse) {
    TempDir dir;
    const std::string in = dir.file("in.afp");
    writeFileString(in, handBuilt());
    expectClean(in);
    SplitOptions o;
    o.pathFor = [&](const PieceInfo& p) { return dir.file(numbered("g", p.index, ".afp")); };
    SplitResult r = splitStream(openSource(in), o);
    ASSERT_FALSE(r.failure) << *r.failure;
    ASSERT_EQ(r.paths.size(), 3u);
    // The page maps CF1, which names FCS1 and CP1; the overlay maps CF2.
    // The form definition goes everywhere (the medium map invoked is in it).
    EXPECT_EQ(resourceNames(r.paths[0]), (std::vector<std::string>{"CF1", "FCS1", "CP1", "OV1", "CF2", "FORMDEF1"}));
    EXPECT_EQ(resourceNames(r.paths[1]), (std::vector<std::string>{"PS1", "FORMDEF1"}));
    EXPECT_EQ(resourceNames(r.paths[2]), (std::vector<std::string>{"FORMDEF1"}));
    for (const auto& p : r.paths) {
        expectClean(p);
        // The document prolog (its Invoke Medium Map) is in every piece.
        EXPECT_EQ(streamInfo(openSource(p)).fieldCounts[0xD3ABCC], 1u) << p;
    }
    o.allResources = true;
    o.pathFor = [&](const PieceInfo& p) { return dir.file(numbered("all", p.index, ".afp")); };
    r = splitStream(openSource(in), o);
    EXPECT_EQ(resourceNames(r.paths[2]).size(), 8u);

    // Split by document: one piece, the input itself with all resources;
    // without the unused page segment otherwise.
    o.by = SplitBy::Document;
    o.pathFor = [&](const PieceInfo&) { return dir.file("doc.afp"); };
    r = splitStream(openSource(in), o);
    ASSERT_EQ(r.paths.size(), 1u);
    EXPECT_EQ(readFileString(r.paths[0]), handBuilt());
    o.allResources = false;
    r = splitStream(openSource(in), o);
    EXPECT_EQ(resourceNames(r.paths[0]).size(), 7u);
}

TEST(Split, NestedGroupsAndTheMediumMapInForce) {
    // An outer group holding two inner groups; a medium map invoked between
    // the first and second inner group stays in force for the third.
    TempDir dir;
    const std::string imm2 = sf(0xD3ABCC, name8("MM2"));
    const std::string in = begin(0xD3A8A8, "DOC1") + sf(0xD3ABCC, name8("MM1")) +
                           begin(0xD3A8AD, "OUTER") + sf(0xD3EEEE, "outer comment") +
                           group("A", "a", page("P1", "")) + imm2 + group("B", "b", page("P2", "")) +
                           group("C", "c", page("P3", "")) + end(0xD3A9AD, "OUTER") + end(0xD3A9A8, "DOC1");
    writeFileString(dir.file("in.afp"), in);
    expectClean(dir.file("in.afp"));
    SplitOptions o;
    o.level = 2;
    o.pathFor = [&](const PieceInfo& p) { return dir.file(numbered("n", p.index, ".afp")); };
    SplitResult r = splitStream(openSource(dir.file("in.afp")), o);
    ASSERT_FALSE(r.failure) << *r.failure;
    ASSERT_EQ(r.paths.size(), 3u);
    for (const auto& p : r.paths) {
        expectClean(p);
        StreamInfo info = streamInfo(openSource(p));
        EXPECT_EQ(info.pageGroups, 2u) << p;  // the outer group around the inner one
        EXPECT_EQ(info.fieldCounts[0xD3EEEE], 1u) << p;
    }
    const std::string c3 = readFileString(r.paths[2]);
    EXPECT_NE(c3.find(imm2), std::string::npos);  // MM2 invoked again before group C
    EXPECT_LT(c3.find(sf(0xD3ABCC, name8("MM1"))), c3.find(imm2));
    EXPECT_EQ(readFileString(r.paths[0]).find(imm2), std::string::npos);

    // Level 1: the outer group is the one unit.
    o.level = 1;
    o.pathFor = [&](const PieceInfo&) { return dir.file("outer.afp"); };
    r = splitStream(openSource(dir.file("in.afp")), o);
    ASSERT_EQ(r.paths.size(), 1u);
    EXPECT_EQ(readFileString(r.paths[0]), in);
}

TEST(Split, DocumentLargerThanTheMemoryBufferComesOutWhole) {
    // Pieces beyond a few MiB are gathered in a temporary file: a 12 MiB
    // document still comes out byte for byte.
    TempDir dir;
    std::string pages;
    const std::string big(60000, 'z');
    for (int i = 0; i < 200; ++i) pages += page(numbered("P", std::size_t(i), ""), "", sf(0xD3EEEE, big));
    const std::string in = begin(0xD3A8A8, "DOC1") + group("G1", "one", pages) + end(0xD3A9A8, "DOC1");
    writeFileString(dir.file("big.afp"), in);
    SplitOptions o;
    o.by = SplitBy::Document;
    o.pathFor = [&](const PieceInfo&) { return dir.file("out.afp"); };
    SplitResult r = splitStream(openSource(dir.file("big.afp")), o);
    ASSERT_FALSE(r.failure);
    EXPECT_EQ(r.pages, 200u);
    EXPECT_TRUE(readFileString(dir.file("out.afp")) == in);
}

TEST(Split, TruncatedStreamWritesTheCompleteGroupsAndReportsTheCut) {
    TempDir dir;
    const std::string full = readFileString(dataPath("statements.afp"));
    // Cut inside Ann Lee's group (it starts at offset 2541), in the middle of a field.
    const std::string in = dir.file("cut.afp");
    writeFileString(in, full.substr(0, 2700));
    fs::create_directory(dir.file("out"));
    auto r = runTool({"split", in, "-o", dir.file("out/p%d.afp")});
    EXPECT_EQ(r.status, 1);
    const std::string err = errorLine(r.err);
    EXPECT_NE(err.find("offset 2"), std::string::npos) << r.err;
    EXPECT_NE(err.find("PGP00003"), std::string::npos) << r.err;
    std::vector<std::string> written;
    for (const auto& f : fs::directory_iterator(dir.file("out"))) written.push_back(f.path().filename().string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"p1.afp", "p2.afp"}));  // no temporary file left either
    expectClean(dir.file("out/p2.afp"));

    // Cut exactly after a group's End: the stream ends inside the document.
    writeFileString(in, full.substr(0, 2541));
    fs::remove_all(dir.file("out"));
    fs::create_directory(dir.file("out"));
    r = runTool({"split", in, "-o", dir.file("out/p%d.afp")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(errorLine(r.err).find("ends inside document"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(dir.file("out/p2.afp")));
    expectClean(dir.file("out/p2.afp"));  // closed with its own End Document
}

TEST(Split, EveryCutOfAStreamIsReportedAndNeverCrashes) {
    // The statements cut at many offsets and with bytes flipped: split,
    // select and info either succeed or report the fault; pieces go to
    // /dev/null (written directly, not through a temporary file).
    const std::string full = readFileString(dataPath("statements.afp"));
    SplitOptions o;
    o.pathFor = [](const PieceInfo&) { return std::string("/dev/null"); };
    o.keepPaths = false;
    for (std::size_t cut = 1; cut < full.size(); cut += 7) {
        SplitResult r = splitStream(memorySource(Bytes::copy(full.substr(0, cut))), o);
        EXPECT_TRUE(r.failure.has_value()) << cut;
        EXPECT_LE(r.pieces, 4u);
        StreamInfo info = streamInfo(memorySource(Bytes::copy(full.substr(0, cut))));
        EXPECT_GT(info.errors, 0u) << cut;
    }
    SplitOptions pages = o;
    pages.by = SplitBy::Page;
    pages.every = 2;
    for (std::size_t at = 0; at < full.size(); at += 3) {
        std::string bad = full;
        bad[at] = char(bad[at] ^ 0x5A);
        SplitResult r = splitStream(memorySource(Bytes::copy(bad)), pages);
        EXPECT_LE(r.pieces, 3u);
        (void)streamInfo(memorySource(Bytes::copy(bad)));
    }
}

TEST(Merge, SameNameSameBytesOnceOtherBytesRenamed) {
    TempDir dir;
    const std::string a = dir.file("a.afp"), b = dir.file("b.afp"), c = dir.file("c.afp");
    writeFileString(a, handBuilt());
    writeFileString(b, handBuilt());
    writeFileString(c, handBuilt("other segment"));
    MergeResult same = mergeFiles({a, b}, dir.file("ab.afp"));
    EXPECT_EQ(same.resources, 8u);
    EXPECT_EQ(same.duplicates, 8u);
    EXPECT_TRUE(same.renamed.empty());
    EXPECT_EQ(streamInfo(openSource(dir.file("ab.afp"))).documents, 2u);
    expectClean(dir.file("ab.afp"));

    MergeResult diff = mergeFiles({a, c}, dir.file("ac.afp"));
    ASSERT_EQ(diff.renamed.size(), 1u);
    EXPECT_EQ(diff.renamed[0].from, "PS1");
    EXPECT_EQ(diff.renamed[0].to, "PS2");
    EXPECT_EQ(diff.renamed[0].fields, 5u);  // BR, BPS, EPS, ER and the Include Page Segment
    EXPECT_EQ(diff.resources, 9u);
    expectClean(dir.file("ac.afp"));
    // Splitting the merged file: the second document's page uses the renamed segment.
    SplitOptions o;
    o.by = SplitBy::Document;
    o.pathFor = [&](const PieceInfo& p) { return dir.file(numbered("ac", p.index, ".afp")); };
    SplitResult r = splitStream(openSource(dir.file("ac.afp")), o);
    ASSERT_EQ(r.paths.size(), 2u);
    EXPECT_EQ(resourceNames(r.paths[1]), (std::vector<std::string>{"CF1", "FCS1", "CP1", "OV1", "CF2", "FORMDEF1", "PS2"}));
    EXPECT_NE(readFileString(r.paths[1]).find("other segment"), std::string::npos);

    auto no = runTool({"merge", "--no-rename", dir.file("no.afp"), a, c});
    EXPECT_EQ(no.status, 1);
    EXPECT_NE(errorLine(no.err).find("PS1"), std::string::npos) << no.err;
    EXPECT_FALSE(fs::exists(dir.file("no.afp")));
}

TEST(Merge, DocumentsOfSeveralFilesSplitBackIntoThem) {
    TempDir dir;
    auto m = runTool({"merge", dir.file("m.afp"), dataPath("letter.afp"), dataPath("hello.afp"), dataPath("invoice.afp")});
    ASSERT_EQ(m.status, 0) << m.err;
    expectClean(dir.file("m.afp"));
    auto r = runTool({"split", dir.file("m.afp"), "--by", "document", "-o", dir.file("d%d.afp")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFileString(dir.file("d1.afp")), readFileString(dataPath("letter.afp")));
    EXPECT_EQ(readFileString(dir.file("d2.afp")), readFileString(dataPath("hello.afp")));
    EXPECT_EQ(readFileString(dir.file("d3.afp")), readFileString(dataPath("invoice.afp")));
    EXPECT_EQ(runTool({"merge", dir.file("m.afp"), dir.file("m.afp")}).status, 1);  // never over an input

    // Several documents, several statements: split by page group, the
    // pieces in order hold the text of the whole, page for page.
    ASSERT_EQ(runTool({"merge", dir.file("many.afp"), dataPath("statements.afp"), dataPath("letter.afp"),
                       dataPath("invoice.afp"), dataPath("statements.afp")})
                  .status,
              0);
    TempDir pieces;
    ASSERT_EQ(runTool({"split", dir.file("many.afp"), "-o", pieces.file("g%03d.afp")}).status, 0);
    const std::vector<std::string> names = filesIn(pieces);
    ASSERT_EQ(names.size(), 10u);
    std::vector<std::string> texts;
    for (const auto& n : names) {
        expectClean(pieces.file(n));
        EXPECT_EQ(streamInfo(openSource(pieces.file(n))).documents, 1u);
        for (auto& t : pageTexts(pieces.file(n))) texts.push_back(t);
    }
    EXPECT_EQ(texts, pageTexts(dir.file("many.afp")));
    // The invoice's image is another RES00001 than the statements' logo:
    // renamed to the first free name, and its Include Object with it.
    EXPECT_EQ(resourceNames(pieces.file("g006.afp")), std::vector<std::string>{"RES00003"});
    EXPECT_EQ(resourceNames(pieces.file("g001.afp")), std::vector<std::string>{"RES00001"});
}

TEST(Info, CountsNamesResourcesAndTheCheck) {
    auto r = runTool({"info", dataPath("statements.afp")});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* want : {"documents   1 DOC00001", "page groups 4 (8 index tags)", "pages       5",
                             "page size   210.0 x 297.0 mm: 5", "  image     RES00001", "code page   T1V10500 (5 pages)",
                             "check       0 errors, 0 warnings", "group\tPGP00002\t2 pages\tCUSTOMER=John Smith/Jr.\tACCOUNT=1002"})
        EXPECT_NE(r.out.find(want), std::string::npos) << want << "\n" << r.out;
    auto j = runTool({"info", "--json", dataPath("statements.afp")});
    ASSERT_EQ(j.status, 0) << j.err;
    EXPECT_EQ(j.out.rfind("{\"file\":", 0), 0u);
    EXPECT_NE(j.out.find("\"pages\":5"), std::string::npos);
    EXPECT_NE(j.out.find("{\"name\":\"PGP00003\",\"level\":1,\"offset\":2541,\"pages\":1,\"tles\":{\"CUSTOMER\":\"Ann Lee\",\"ACCOUNT\":\"1003\"}}"),
              std::string::npos)
        << j.out;

    // A stream cut short: what was read is described, the cut is an error.
    TempDir dir;
    writeFileString(dir.file("cut.afp"), readFileString(dataPath("statements.afp")).substr(0, 2000));
    auto c = runTool({"info", dir.file("cut.afp")});
    EXPECT_EQ(c.status, 1);
    EXPECT_NE(c.out.find("pages       2"), std::string::npos) << c.out;
}

TEST(Document, PatternsAndPageRanges) {
    PieceInfo p;
    p.index = 7;
    p.first.groupName = "G/1";
    p.first.tles = {{"CUSTOMER", "../etc"}, {"EMPTY", ""}};
    EXPECT_EQ(expandPattern("out-%04d-{CUSTOMER}.afp", p), "out-0007-_.._etc.afp");
    EXPECT_EQ(expandPattern("%d%%{GROUP}{EMPTY}{MISSING}", p), "7%G_1__");
    EXPECT_THROW(expandPattern("{CUSTOMER", p), Error);
    EXPECT_FALSE(patternVaries("plain%%.afp"));
    EXPECT_TRUE(patternVaries("{X}.afp"));
    EXPECT_EQ(parsePageRanges("3-5,9"), (std::vector<std::pair<std::uint64_t, std::uint64_t>>{{3, 5}, {9, 9}}));
    for (const char* bad : {"", "0", "5-3", "1,,2", "a", "1-"}) EXPECT_THROW(parsePageRanges(bad), Error) << bad;
}

TEST(Document, NamesInFieldsWithExtensionAndPadding) {
    // An Include Page Overlay with an introducer extension and padding: the
    // name is read after the extension, and a rename changes only the name.
    std::string data = name8("OV1") + std::string(8, '\0');
    std::string payload{char(0xD3), char(0xAF), char(0xD8), char(0x88), 0, 0, 3, 'x', 'y'};
    payload += data + std::string{0, 0, 3};
    AFP_ c{0xD3AFD8, Bytes::copy(payload)};
    FieldData d = fieldData(c);
    EXPECT_EQ(d.begin, 9u);
    EXPECT_EQ(d.end, payload.size() - 3);
    NameScanner s;
    std::vector<NameRef> refs;
    s.scan(c, refs);
    ASSERT_EQ(refs.size(), 1u);
    EXPECT_EQ(refs[0].key, e("OV1"));
    EXPECT_EQ(refs[0].at, 9u);
    EXPECT_EQ(refs[0].role, NameRole::Object);
    EXPECT_EQ(freshName(e("OV1"), [](const std::string&) { return false; }), e("OV2"));
    EXPECT_EQ(freshName(e("AB9"), [&](const std::string& n) { return n == e("AB1"); }), e("AB2"));
}

TEST(DocumentCommands, BadOptionValuesAreUsageErrors) {
    // Each is an error line, then the command's usage text; nothing is read.
    TempDir dir;
    const std::string in = dataPath("statements.afp");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"split", in}, "split needs -o PATTERN"},
        {{"split", in, "-o", dir.file("p.afp"), "--by", "chapter"}, "--by takes document, group or page: 'chapter'"},
        {{"split", in, "-o", dir.file("p.afp"), "--every", "0"}, "--every needs a number of 1 or more: '0'"},
        {{"select", in, dir.file("s.afp")}, "select takes --pages or --groups (one of them)"},
        {{"select", in, dir.file("s.afp"), "--pages", "1", "extra"}, "too many operands: 'extra'"},
        {{"select", in, dir.file("s.afp"), "--groups", "A", "--level", "x"}, "--level needs a number of 1 or more"},
    };
    for (const auto& [args, message] : cases) {
        const RunResult r = runTool(args);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_EQ(errorLine(r.err).rfind("*** Error: " + message, 0), 0u) << r.err;
        EXPECT_NE(r.err.find("Usage: pressel " + args[0] + " "), std::string::npos) << r.err;
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));
}
