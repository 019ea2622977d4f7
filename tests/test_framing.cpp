// Files as they arrive from mainframes and other systems: without X'5A',
// with record and block descriptor words, with line ends between fields. Each
// framing is built from a clean file, read back to the same chunks, copied
// byte for byte, and normalised back to the clean file.
#include <gtest/gtest.h>

#include "helpers.hpp"
#include "pressel/stream/io.hpp"

namespace pressel::test {
namespace {

std::vector<AFP_> chunksOf(const std::string& bytes, Framing* found = nullptr) {
    AfpStream s(memorySource(Bytes::copy(bytes)));
    std::vector<AFP_> v;
    for (const AFP_& c : s) v.push_back(c);
    if (found) *found = s.reader().framing();
    return v;
}

std::string field(const AFP_& c, bool introducer) {
    std::string s;
    if (introducer) s += '\x5A';
    std::size_t len = c.payload.size() + 2;
    s += char(len >> 8);
    s += char(len & 0xFF);
    s += std::string(c.payload.chars());
    return s;
}

std::string rdw(std::size_t len) { return {char(len >> 8), char(len & 0xFF), '\0', '\0'}; }

// Builds the framing `f` around the chunks; blocks hold about `block` bytes.
std::string frame(const std::vector<AFP_>& cs, Framing f, bool introducer = true, std::size_t block = 4096) {
    std::string out, cur;
    for (const AFP_& c : cs) {
        std::string sf = field(c, f == Framing::NoIntroducer ? false : introducer);
        if (f == Framing::Clean || f == Framing::NoIntroducer) {
            out += sf;
            continue;
        }
        std::string rec = rdw(sf.size() + 4) + sf;
        if (f == Framing::Rdw) {
            out += rec;
            continue;
        }
        if (!cur.empty() && cur.size() + rec.size() > block) {
            out += rdw(cur.size() + 4) + cur;
            cur.clear();
        }
        cur += rec;
    }
    if (!cur.empty()) out += rdw(cur.size() + 4) + cur;
    return out;
}

std::string withLineEnds(const std::vector<AFP_>& cs, const std::string& sep) {
    std::string out;
    for (const AFP_& c : cs) out += field(c, true) + sep;
    return out;
}

TEST(Framing, EveryFramingReadsToTheCleanChunksAndCopiesExactly) {
    TempDir dir;
    for (const std::string& path : allSampleFiles()) {
        SCOPED_TRACE(path);
        const std::string clean = readFileString(path);
        const std::vector<AFP_> ref = chunksOf(clean);
        struct Variant {
            const char* name;
            std::string bytes;
            Framing expect;
        };
        const Variant variants[] = {
            {"nointro", frame(ref, Framing::NoIntroducer), Framing::NoIntroducer},
            {"rdw", frame(ref, Framing::Rdw), Framing::Rdw},
            {"rdw-bare", frame(ref, Framing::Rdw, false), Framing::Rdw},
            {"bdw", frame(ref, Framing::BdwRdw), Framing::BdwRdw},
            {"crlf", withLineEnds(ref, "\r\n"), Framing::Clean},
            {"lf", withLineEnds(ref, "\n"), Framing::Clean},
        };
        for (const Variant& v : variants) {
            SCOPED_TRACE(v.name);
            Framing found{};
            EXPECT_EQ(chunksOf(v.bytes, &found), ref);
            EXPECT_EQ(found, v.expect);
            const std::string in = dir.file(v.name), out = dir.file("out"), norm = dir.file("norm");
            writeFileString(in, v.bytes);
            RunResult r = runTool({"cat", in, out});
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(readFileString(out), v.bytes) << "the file's own framing is kept";
            r = runTool({"cat", "--normalize", in, norm});
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(readFileString(norm), clean);
            // Through a pipe as well.
            r = runShell(tool({"cat", "-", "-"}), v.bytes);
            EXPECT_EQ(r.out, v.bytes);
        }
    }
}

TEST(Framing, ChunksSaysWhichFramingItFound) {
    TempDir dir;
    const std::vector<AFP_> ref = chunksOf(readFileString(dataPath("hello.afp")));
    writeFileString(dir.file("rdw"), frame(ref, Framing::Rdw));
    RunResult r = runTool({"chunks", dir.file("rdw")});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("record descriptor words"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("D3A8A8\tBDT"), std::string::npos);
}

TEST(Framing, BrokenDescriptorWordsFailWithTheirOffset) {
    const std::vector<AFP_> ref = chunksOf(readFileString(dataPath("hello.afp")));
    std::string rdwFile = frame(ref, Framing::Rdw);
    // The second record's descriptor claims one byte more than its field.
    const std::size_t second = (std::size_t(byte(rdwFile[0])) << 8 | byte(rdwFile[1]));
    rdwFile[second + 1] = char(rdwFile[second + 1] + 1);
    AfpStream s(memorySource(Bytes::copy(rdwFile)));
    auto it = s.begin();
    try {
        ++it;
        FAIL() << "a record longer than its structured field must fail";
    } catch (const FormatError& e) {
        EXPECT_EQ(e.offset(), second);
    }
    // A spanned segment (non-zero second half of the descriptor) is refused.
    std::string spanned = frame(ref, Framing::Rdw);
    spanned[3] = 1;
    EXPECT_THROW(chunksOf(spanned), FormatError);
}

TEST(Framing, TruncatedDescriptorFramingDeliversWholeFieldsThenFails) {
    const std::vector<AFP_> ref = chunksOf(readFileString(dataPath("hello.afp")));
    const std::string full = frame(ref, Framing::BdwRdw, true, 64);
    for (std::size_t cut = 1; cut < full.size(); cut += 7) {
        AfpStream s(memorySource(Bytes::copy(full.substr(0, cut))));
        std::size_t n = 0;
        try {
            for (const AFP_& c : s) {
                EXPECT_EQ(c, ref[n]);
                ++n;
            }
        } catch (const FormatError&) {
        }
        EXPECT_LE(n, ref.size());
    }
}

TEST(Framing, LimitRejectsOversizedFields) {
    const std::string clean = readFileString(dataPath("hello.afp"));
    ReaderLimits lim;
    lim.maxFieldLength = 20;
    AfpStream s(memorySource(Bytes::copy(clean)), lim);
    EXPECT_THROW(
        for (const AFP_& c : s) (void)c, FormatError);
}

}  // namespace
}  // namespace pressel::test
