// The short paths of the streaming commands: fields passed on as they came
// (rename, strip), short runs of input bytes joining the output buffer, and
// the validator keeping a Begin's name while the input block it came from is
// read over again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "helpers.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/view/check.hpp"

using namespace pressel;
using namespace pressel::test;

namespace {

// A clean structured field: identifier and the data after the 6-byte header.
std::string field(std::uint32_t code, const std::string& data) {
    std::string p = {char(code >> 16), char(code >> 8), char(code), 0, 0, 0};
    p += data;
    return std::string{char(0x5A), char((p.size() + 2) >> 8), char(p.size() + 2)} + p;
}

// "PAGE0001" and "PAGE0002" in code page 500.
const std::string kName1 = "\xD7\xC1\xC7\xC5\xF0\xF0\xF0\xF1";
const std::string kName2 = "\xD7\xC1\xC7\xC5\xF0\xF0\xF0\xF2";

// A Begin Page, about 2 MiB of No Operation fields (the reader's input
// blocks are filled again several times over), then an End Page with `endName`.
std::string longPage(const std::string& endName) {
    std::string s = field(0xD3A8AF, kName1);
    for (int i = 0; i < 20000; ++i) s += field(0xD3EEEE, std::string(100, char('a' + i % 26)));
    return s + field(0xD3A9AF, endName);
}

TEST(CheckNames, BeginNameOutlivesItsInputBlock) {
    TempDir dir;
    writeFileString(dir.file("same.afp"), longPage(kName1));
    auto fs = checkFile(dir.file("same.afp"));
    for (const Finding& f : fs) EXPECT_NE(f.severity, Severity::Error) << f.offset << " " << f.message;

    const std::string other = longPage(kName2);
    writeFileString(dir.file("other.afp"), other);
    fs = checkFile(dir.file("other.afp"));
    ASSERT_EQ(fs.size(), 1u);
    EXPECT_EQ(fs[0].offset, other.size() - 17);
    EXPECT_NE(fs[0].message.find("names 'PAGE0002' but its Begin BPG at offset 0 names 'PAGE0001'"), std::string::npos)
        << fs[0].message;
}

// A control sequence too short for its record is reported every time it
// occurs, whatever the outcome for other lengths of the same type: the
// validator remembers outcomes per type and length.
TEST(CheckNames, ShortControlSequencesAreReportedEachTime) {
    // Absolute Move Inline (X'C6'): a 2-byte displacement after the function type.
    // The first X'2BD3' is the field's escape sequence: its finding is at
    // the length byte after it (offset 11), the others at their X'2BD3'.
    const std::string shortOne("\x2B\xD3\x02\xC6", 4), whole("\x2B\xD3\x04\xC6\x00\x10", 6),
        shortTwo("\x2B\xD3\x03\xC6\x00", 5);
    const std::string s = field(0xD3EE9B, shortOne + whole + shortOne + shortTwo + whole + shortOne);
    auto fs = checkStream(memorySource(Bytes::copy(s)));
    std::vector<Finding> shorts;
    for (const Finding& f : fs)
        if (f.message.find("too short for its record") != std::string::npos) shorts.push_back(f);
    ASSERT_EQ(shorts.size(), 4u);
    EXPECT_NE(shorts[0].message.find("of 2 bytes"), std::string::npos) << shorts[0].message;
    EXPECT_NE(shorts[1].message.find("of 2 bytes"), std::string::npos) << shorts[1].message;
    EXPECT_NE(shorts[2].message.find("of 3 bytes"), std::string::npos) << shorts[2].message;
    EXPECT_NE(shorts[3].message.find("of 2 bytes"), std::string::npos) << shorts[3].message;
    EXPECT_EQ(shorts[0].offset, 11u);
    EXPECT_EQ(shorts[1].offset, 19u);
    EXPECT_EQ(shorts[2].offset, 23u);
    EXPECT_EQ(shorts[3].offset, 34u);
}

// Slices of one block, written between whole fields, come out in order
// whether they join the buffer (short runs) or are written directly (long ones).
TEST(WriterRuns, ShortAndLongRunsKeepTheirOrder) {
    TempDir dir;
    std::string block(300000, '\0');
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = char(i * 7 + i / 251);
    const Bytes b = Bytes::copy(block);
    const AFP_ nop{0xD3EEEE, Bytes::copy(std::string("\xD3\xEE\xEE\0\0\0xyz", 9))};
    const std::string nopBytes = std::string("\x5A\x00\x0B", 3) + std::string("\xD3\xEE\xEE\0\0\0xyz", 9);
    std::string want;
    {
        AfpWriter w(dir.file("o.afp"));
        // Two adjacent slices make one run of 30 bytes, then a field.
        w.writeSlice(b, 0, 10);
        w.writeSlice(b, 10, 20);
        w.write(nop);
        want += block.substr(0, 30) + nopBytes;
        // A run of 200,000 bytes (written directly), then a field.
        w.writeSlice(b, 30, 100000);
        w.writeSlice(b, 100030, 100000);
        w.write(nop);
        want += block.substr(30, 200000) + nopBytes;
        // Short runs that do not touch each other, then the end.
        w.writeSlice(b, 250000, 5);
        w.writeSlice(b, 260000, 7);
        want += block.substr(250000, 5) + block.substr(260000, 7);
        EXPECT_EQ(w.bytesWritten(), want.size());
        w.close();
    }
    EXPECT_EQ(readFileString(dir.file("o.afp")), want);
}

// The fields of a file with a line end after each, written again.
std::string withLineEnds(const std::string& path) {
    std::string s;
    for (const AFP_& c : readAFP(path)) {
        s += std::string{char(0x5A), char((c.payload.size() + 2) >> 8), char(c.payload.size() + 2)};
        s += std::string(c.payload.chars());
        s += "\r\n";
    }
    return s;
}

// Fields that no filter changes are written from the input block when their
// bytes there are exactly what writing them gives; with line ends after
// them they are framed again, so the line ends are not copied.
TEST(PassedOnFields, LineEndsAreNotCopied) {
    TempDir dir;
    for (const char* name : {"hello.afp", "letter.afp"}) {
        SCOPED_TRACE(name);
        const std::string clean = dataPath(name), crlf = dir.file("crlf.afp");
        writeFileString(crlf, withLineEnds(clean));

        auto r = runTool({"strip", crlf, dir.file("s1.afp"), "BII"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readFileString(dir.file("s1.afp")), readFileString(clean));

        r = runTool({"strip", crlf, dir.file("s2.afp"), "PTX_NOP", "T_CMT"});
        ASSERT_EQ(r.status, 0) << r.err;
        r = runTool({"strip", clean, dir.file("s3.afp"), "PTX_NOP", "T_CMT"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readFileString(dir.file("s2.afp")), readFileString(dir.file("s3.afp")));

        // Renamed fields and fields passed on alternate.
        r = runTool({"rename", crlf, dir.file("r1.afp"), "C0H20090=C0H20091", "--allow-missing"});
        ASSERT_EQ(r.status, 0) << r.err;
        r = runTool({"rename", clean, dir.file("r2.afp"), "C0H20090=C0H20091", "--allow-missing"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readFileString(dir.file("r1.afp")), readFileString(dir.file("r2.afp")));
    }
}

// Renaming to standard output (through the temporary file) and to a file
// give the same bytes, and a name that occurs is counted once per field.
TEST(PassedOnFields, RenameToStandardOutputMatchesTheFile) {
    TempDir dir;
    const std::string in = dataPath("letter.afp");
    auto toFile = runTool({"rename", in, dir.file("r.afp"), "C0H20090=C0H20091"});
    ASSERT_EQ(toFile.status, 0) << toFile.err;
    auto toOut = runTool({"rename", in, "-", "C0H20090=C0H20091"});
    ASSERT_EQ(toOut.status, 0) << toOut.err;
    EXPECT_EQ(toOut.out, readFileString(dir.file("r.afp")));
    EXPECT_EQ(toOut.err, toFile.err);
    EXPECT_NE(readFileString(dir.file("r.afp")), readFileString(in));
}

}  // namespace
