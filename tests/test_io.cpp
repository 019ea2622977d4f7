// Reading and writing whole streams: laziness, framing faults with their
// offsets, path handling ("-", "", "--", directories, missing files), byte
// exact round trips of every sample through the library and the tool, and
// streams many input blocks long.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "helpers.hpp"
#include "pressel/stream/io.hpp"

using namespace pressel;
using namespace pressel::test;
using namespace std::string_literals;

namespace {

// Field boundaries of a well-framed stream, found without the library: the
// offset of every introducer and, last, the stream's size.
std::vector<std::size_t> boundaries(std::string_view s) {
    std::vector<std::size_t> b{0};
    std::size_t at = 0;
    while (at < s.size()) {
        at += 1 + ((std::size_t(byte(s[at + 1])) << 8) | byte(s[at + 2]));
        b.push_back(at);
    }
    return b;
}

std::vector<AFP_> walk(AfpStream&& s) {
    std::vector<AFP_> out;
    for (const AFP_& c : s) out.push_back(c);
    return out;
}

std::vector<AFP_> walkMemory(std::string_view bytes) { return walk(AfpStream(memorySource(Bytes::copy(bytes)))); }

// Changes the working directory for the lifetime of the object.
class InDirectory {
public:
    explicit InDirectory(const fs::path& dir) : old_(fs::current_path()) { fs::current_path(dir); }
    ~InDirectory() { fs::current_path(old_); }

private:
    fs::path old_;
};

// `copies` copies of `unit` back to back.
std::string repeated(const std::string& unit, std::size_t copies) {
    std::string s;
    s.reserve(unit.size() * copies);
    for (std::size_t i = 0; i < copies; ++i) s += unit;
    return s;
}

}  // namespace

TEST(ReadAFP, ChunksCarryIdentifierAndPayload) {
    const std::string hello = readFileString(dataPath("hello.afp"));
    AfpStream s = readAFP(dataPath("hello.afp"));
    std::vector<std::string> ids;
    std::vector<std::uint64_t> offsets;
    for (auto it = s.begin(); it != s.end(); ++it) {
        const AFP_& c = *it;
        ids.push_back(zeropad(3, c.code));
        offsets.push_back(it.offset());
        // The payload starts with the identifier; the introducer's X'5A' and
        // length are framing and not part of it.
        ASSERT_GE(c.payload.size(), 6u);
        EXPECT_EQ((std::uint32_t(c.payload[0]) << 16 | std::uint32_t(c.payload[1]) << 8 | c.payload[2]), c.code);
        EXPECT_EQ(c.payload.chars(), std::string_view(hello).substr(it.offset() + 3, c.payload.size()));
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"D3A8A8", "D3A8AD", "D3A8AF", "D3A8C9", "D3AB8A", "D3A6AF", "D3B19B",
                                             "D3A9C9", "D3A89B", "D3EE9B", "D3A99B", "D3A9AF", "D3A9AD", "D3A9A8"}));
    std::vector<std::size_t> b = boundaries(hello);
    b.pop_back();
    EXPECT_EQ(offsets, std::vector<std::uint64_t>(b.begin(), b.end()));
    EXPECT_EQ(s.reader().consumed(), hello.size());
}

TEST(ReadAFP, FaultsSurfaceLazilyAfterTheGoodChunks) {
    const std::string good = "\x5A\x00\x08\xD3\xA8\xA8\x00\x00\x00"
                             "\x5A\x00\x0A\xD3\xEE\xEE\x00\x00\x00\xC1\xC2"s;
    struct Case {
        std::string tail;
        const char* expect;  // text the message must contain
    } cases[] = {
        {"\x00\x00"s, "X'00'"},                                // not an introducer
        {"\x5A"s, "ends inside"},                              // introducer cut short
        {"\x5A\x00"s, "ends inside"},
        {"\x5A\x00\x07\xD3\xEE\xEE\x00\x00"s, "length 7"},     // length below the minimum
        {"\x5A\x00\x00"s, "length 0"},
        {"\x5A\x00\x09\xD3\xEE\xEE\x00\x00\x00"s, "D3EEEE"},   // one byte short
        {"\x5A\xFF\xFF\xD3\xEE\xEE"s, "65535"},                // huge declared length
    };
    for (const Case& c : cases) {
        AfpStream s(memorySource(Bytes::copy(good + c.tail)));
        std::vector<AFP_> seen;
        try {
            for (const AFP_& chunk : s) seen.push_back(chunk);
            ADD_FAILURE() << "no fault for tail of " << c.tail.size() << " bytes";
        } catch (const FormatError& e) {
            EXPECT_EQ(e.offset(), good.size());
            EXPECT_NE(std::string(e.what()).find(c.expect), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("offset 20"), std::string::npos) << e.what();
        }
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[1].payload, fromHex("D3EEEE000000C1C2"));
    }
    // A field with no data at all is fine.
    EXPECT_EQ(walkMemory(good.substr(0, 9)).size(), 1u);
}

TEST(ReadAFP, TruncatedAtEveryByte) {
    const std::string file = readFileString(dataPath("letter.afp"));
    const std::vector<std::size_t> b = boundaries(file);
    std::size_t complete = 0;  // fields wholly inside the cut
    for (std::size_t cut = 0; cut < file.size(); ++cut) {
        while (complete + 1 < b.size() && b[complete + 1] <= cut) ++complete;
        AfpStream s(memorySource(Bytes::copy(file.substr(0, cut))));
        std::size_t n = 0;
        try {
            for (const AFP_& c : s) {
                (void)c;
                ++n;
            }
            EXPECT_EQ(cut, b[complete]) << "a cut inside a field must fail";
        } catch (const FormatError& e) {
            EXPECT_NE(cut, b[complete]);
            EXPECT_EQ(e.offset(), b[complete]) << "cut " << cut;
        }
        ASSERT_EQ(n, complete) << "cut " << cut;
    }
}

TEST(ReadAFP, PathHandling) {
    TempDir dir;
    // The empty path is a file name that cannot be opened; it never means
    // standard input.
    EXPECT_THROW(readAFP(""), IoError);
    try {
        readAFP(dir.file("missing.afp"));
        FAIL();
    } catch (const IoError& e) {
        EXPECT_NE(std::string(e.what()).find("missing.afp"), std::string::npos) << e.what();
    }
    EXPECT_THROW(readAFP(dir.path().string()), IoError);

    // An empty file has no chunks.
    writeFileString(dir.file("empty.afp"), "");
    EXPECT_TRUE(walk(readAFP(dir.file("empty.afp"))).empty());

    // "--" and "-x" are ordinary file names, for reading and writing.
    const std::string hello = readFileString(dataPath("hello.afp"));
    InDirectory cd(dir.path());
    writeFileString("--", hello);
    EXPECT_EQ(walk(readAFP("--")).size(), 14u);
    writeAFP("-x", readAFP("--"));
    EXPECT_EQ(readFileString(dir.file("-x")), hello);
    EXPECT_EQ(walk(readAFP("-x")).size(), 14u);
}

TEST(ReadAFP, ChunksOutliveTheWalkAndTheStream) {
    // A chunk keeps its bytes alive after the stream that read it is gone.
    std::vector<AFP_> kept;
    {
        AfpStream s = readAFP(dataPath("invoice.afp"));
        for (const AFP_& c : s) kept.push_back(c);
    }
    const std::string file = readFileString(dataPath("invoice.afp"));
    std::size_t at = 0;
    for (const AFP_& c : kept) {
        EXPECT_EQ(c.payload.chars(), std::string_view(file).substr(at + 3, c.payload.size()));
        at += 3 + c.payload.size();
    }
    EXPECT_EQ(at, file.size());
}

TEST(WriteAFP, FailuresAreReported) {
    std::vector<AFP_> none;
    EXPECT_THROW(writeAFP("/nonexistent-dir/out.afp", none), IoError);
    if (access("/dev/full", W_OK) == 0) {
        EXPECT_THROW(writeAFP("/dev/full", walk(readAFP(dataPath("hello.afp")))), IoError);
    }
    TempDir dir;
    AfpWriter w(dir.file("big.afp"));
    EXPECT_THROW(w.write(mkChunk<AFP_>(N3(0xD3EEEE), Bytes::adopt(std::vector<byte>(maxAfpPayload + 1)))), Error);
    EXPECT_EQ(w.bytesWritten(), 0u);
    w.close();
    EXPECT_EQ(fs::file_size(dir.file("big.afp")), 0u);
}

// A lossless copy hands each field to the writer as it is read, so fields
// the caller writes between reads come out after the field read before them.
TEST(WriteAFP, ACopyKeepsItsPlaceAmongTheWritersOwnFields) {
    TempDir dir;
    const std::string file = readFileString(dataPath("hello.afp"));
    const std::vector<std::size_t> b = boundaries(file);
    const std::string nop = "\x5A\x00\x08\xD3\xEE\xEE\x00\x00\x00"s;
    AfpStream s(memorySource(Bytes::copy(file)));
    AfpReader& r = s.reader();
    {
        AfpWriter w(dir.file("o.afp"));
        r.copyRawTo(&w);
        AFP_ c;
        for (std::size_t n = 1; r.next(c); ++n)
            if (n % 2 == 0) w.write(AFP_{0xD3EEEE, Bytes::copy(nop.substr(3))});
        r.copyRawTo(nullptr);
        w.close();
    }
    std::string expected;
    for (std::size_t i = 0; i + 1 < b.size(); ++i) {
        expected += file.substr(b[i], b[i + 1] - b[i]);
        if ((i + 1) % 2 == 0) expected += nop;
    }
    EXPECT_EQ(readFileString(dir.file("o.afp")), expected);
}

TEST(RoundTrip, EverySampleThroughTheLibrary) {
    TempDir dir;
    const auto files = allSampleFiles();
    ASSERT_EQ(files.size(), 26u);  // fifteen FOP samples and eleven corpus files
    for (const std::string& path : files) {
        const std::string original = readFileString(path);
        writeAFP(dir.file("copy.afp"), readAFP(path));
        EXPECT_EQ(readFileString(dir.file("copy.afp")), original) << path;
        // The same from bytes in memory, through the pipe reader's twin.
        std::string again;
        for (const AFP_& c : walkMemory(original)) {
            again += '\x5A';
            again += char((c.payload.size() + 2) >> 8);
            again += char(c.payload.size() + 2);
            again += c.payload.chars();
        }
        EXPECT_EQ(again, original) << path;
    }
}

TEST(RoundTrip, EverySampleThroughTheTool) {
    TempDir dir;
    for (const std::string& path : allSampleFiles()) {
        const std::string original = readFileString(path);
        RunResult r = runTool({"cat", path, dir.file("out.afp")});
        EXPECT_EQ(r.status, 0) << path << r.err;
        EXPECT_EQ(readFileString(dir.file("out.afp")), original) << path;

        r = runTool({"cat", "-", "-"}, original);
        EXPECT_EQ(r.status, 0) << path << r.err;
        EXPECT_EQ(r.out, original) << path;
        EXPECT_EQ(r.err, "");
    }
}

TEST(ToolStream, CatStandardStreams) {
    TempDir dir;
    const std::string hello = readFileString(dataPath("hello.afp"));
    // "-" reads standard input through a real pipe.
    RunResult r = runShell("cat " + shellQuote(dataPath("hello.afp")) + " | " + tool({"cat", "-", dir.file("o")}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFileString(dir.file("o")), hello);
    r = runShell(tool({"cat", dataPath("hello.afp"), "-"}) + " | cat");
    EXPECT_EQ(r.out, hello);

    // Empty input: no chunks, zero bytes written.
    r = runTool({"cat", "-", "-"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    r = runTool({"chunks", "-"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");

    // The empty path is an open failure even with data waiting on stdin.
    r = runTool({"cat", "", dir.file("o2")}, hello);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(errorLine(r.err), "") << r.err;
    EXPECT_FALSE(fs::exists(dir.file("o2"))) << "nothing is created when the input cannot be opened";

    r = runTool({"chunks", dir.path().string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(errorLine(r.err), "") << r.err;

    // A copy onto its own input would destroy it: refused, input untouched.
    writeFileString(dir.file("self.afp"), hello);
    r = runTool({"cat", dir.file("self.afp"), dir.file("self.afp")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(readFileString(dir.file("self.afp")), hello);

    if (access("/dev/full", W_OK) == 0) {
        r = runTool({"cat", dataPath("hello.afp"), "/dev/full"});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(errorLine(r.err), "") << r.err;
    }
}

TEST(ToolStream, CatTruncatedAtEveryByte) {
    TempDir dir;
    const std::string file = readFileString(dataPath("corpus/hello.afp"));
    const std::vector<std::size_t> b = boundaries(file);
    // One shell runs the tool on every cut, so the test costs one process
    // per cut, not three.
    for (std::size_t cut = 0; cut < file.size(); ++cut)
        writeFileString(dir.file("in." + std::to_string(cut)), std::string_view(file).substr(0, cut));
    const std::string d = shellQuote(dir.path().string());
    RunResult all = runShell("cd " + d + " && i=0; while [ $i -lt " + std::to_string(file.size()) + " ]; do " +
                             shellQuote(toolPath()) + " cat in.$i out.$i 2>err.$i; echo $? >st.$i; " + shellQuote(toolPath()) +
                             " cat in.$i - >so.$i 2>/dev/null; i=$((i+1)); done");
    ASSERT_EQ(all.status, 0) << all.err;
    std::size_t complete = 0;
    for (std::size_t cut = 0; cut < file.size(); ++cut) {
        while (complete + 1 < b.size() && b[complete + 1] <= cut) ++complete;
        const std::string k = std::to_string(cut);
        const std::string err = readFileString(dir.file("err." + k));
        const int status = std::stoi(readFileString(dir.file("st." + k)));
        if (cut == b[complete]) {
            EXPECT_EQ(status, 0) << "cut " << cut << ": " << err;
            EXPECT_EQ(err, "");
            EXPECT_EQ(readFileString(dir.file("out." + k)), file.substr(0, b[complete])) << "cut " << cut;
            continue;
        }
        // A failed copy leaves no output file behind; through standard output
        // the whole structured fields before the fault are written.
        EXPECT_FALSE(fs::exists(dir.file("out." + k))) << "cut " << cut;
        EXPECT_EQ(readFileString(dir.file("so." + k)), file.substr(0, b[complete])) << "cut " << cut;
        EXPECT_EQ(status, 1) << "cut " << cut;
        EXPECT_NE(errorLine(err), "") << err;
        EXPECT_NE(errorLine(err).find("offset " + std::to_string(b[complete])), std::string::npos) << err;
        EXPECT_NE(errorLine(err).find("input read up to offset " + std::to_string(b[complete]) + "; nothing written"),
                  std::string::npos)
            << err;
    }
}

TEST(ToolStream, ChunksListsOffsetIdTypeAndLength) {
    RunResult r = runTool({"chunks", dataPath("hello.afp")});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string file = readFileString(dataPath("hello.afp"));
    const std::vector<std::size_t> b = boundaries(file);
    const char* names[] = {"BDT", "BNG", "BPG", "BAG", "MCF", "PGD", "PTD", "EAG", "BPT", "PTX", "EPT", "EPG", "ENG", "EDT"};
    std::string expected;
    for (std::size_t i = 0; i + 1 < b.size(); ++i) {
        const std::size_t at = b[i];
        const std::size_t len = (std::size_t(byte(file[at + 1])) << 8) | byte(file[at + 2]);
        expected += std::to_string(at) + "\t" + hexString(Bytes::copy(file.substr(at + 3, 3)).span()) + "\t" +
                    names[i] + "\t" + std::to_string(len) + "\n";
    }
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "0\tD3A8A8\tBDT\t" + std::to_string(b[1] - 1));

    // The page-definition field of the corpus lists with its type; a fault ends the list.
    r = runShell("(cat " + shellQuote(dataPath("corpus/unknownSF.afp")) + "; head -c 5 " +
                 shellQuote(dataPath("hello.afp")) + ") | " + tool({"chunks", "-"}));
    EXPECT_EQ(r.out, "0\tD3A7CA\tCCP\t358\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(errorLine(r.err), "") << r.err;
}

// Streams many 256 KiB input blocks long, from a file and from a pipe:
// many fields straddle a block edge.
TEST(RoundTrip, StreamLargerThanAWindow) {
    TempDir dir;
    const std::string unit = readFileString(dataPath("corpus/C0X00006.afp"));
    const std::size_t copies = 40'000'000 / unit.size() + 1;
    const std::string big = repeated(unit, copies);
    const std::string in = dir.file("big.afp");
    writeFileString(in, big);
    const std::size_t perUnit = walkMemory(unit).size();

    {
        AfpStream s = readAFP(in);
        std::size_t n = 0, bytes = 0;
        AFP_ first;
        for (const AFP_& c : s) {
            if (n++ == 0) first = c;
            bytes += 3 + c.payload.size();
        }
        EXPECT_EQ(n, perUnit * copies);
        EXPECT_EQ(bytes, big.size());
        // The first chunk's block is not reused while the chunk holds it.
        EXPECT_EQ(first.payload.chars(), std::string_view(unit).substr(3, first.payload.size()));
    }
    writeAFP(dir.file("copy.afp"), readAFP(in));
    EXPECT_TRUE(readFileString(dir.file("copy.afp")) == big);

    RunResult r = runShell("cat " + shellQuote(in) + " | " + tool({"cat", "-", "-"}) + " > " +
                           shellQuote(dir.file("piped.afp")));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(readFileString(dir.file("piped.afp")) == big);

    // Cut inside a field well past the first block: the fault is found at
    // the right offset, and everything before it is written.
    const std::vector<std::size_t> b = boundaries(big);
    const std::size_t cutField = b.size() * 3 / 4;
    const std::size_t cut = b[cutField] + 5;
    r = runShell("head -c " + std::to_string(cut) + " " + shellQuote(in) + " | " + tool({"cat", "-", "-"}) + " > " +
                 shellQuote(dir.file("part.afp")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("offset " + std::to_string(b[cutField])), std::string::npos) << r.err;
    EXPECT_EQ(fs::file_size(dir.file("part.afp")), b[cutField]);
}
