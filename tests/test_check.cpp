// The stream validator: clean files give no errors; hand-broken copies of
// real files are reported at the right offsets. Also the reader's limits
// against hostile lengths.
#include <gtest/gtest.h>

#include <algorithm>

#include "helpers.hpp"
#include "pressel/view/check.hpp"

namespace pressel {
namespace {

using test::dataPath;

std::vector<Finding> checkBytes(const std::string& s) { return checkStream(memorySource(Bytes::copy(s))); }

std::vector<Finding> errorsOf(const std::vector<Finding>& fs) {
    std::vector<Finding> out;
    for (const Finding& f : fs)
        if (f.severity == Severity::Error) out.push_back(f);
    return out;
}

std::string listing(const std::vector<Finding>& fs) {
    std::string s;
    for (const Finding& f : fs) s += std::to_string(f.offset) + " " + severityName(f.severity) + " " + f.message + "\n";
    return s;
}

bool hasError(const std::vector<Finding>& fs, std::uint64_t offset, const std::string& part) {
    return std::any_of(fs.begin(), fs.end(), [&](const Finding& f) {
        return f.severity == Severity::Error && f.offset == offset && f.message.find(part) != std::string::npos;
    });
}

// A clean structured field from an identifier and hex data after the header.
std::string field(std::uint32_t code, const std::string& dataHex) {
    Bytes data = fromHex(dataHex);
    std::string p = {char(code >> 16), char(code >> 8), char(code), 0, 0, 0};
    p.append(data.chars());
    std::string f = {char(0x5A), char((p.size() + 2) >> 8), char(p.size() + 2)};
    return f + p;
}

// corpus/hello.afp: BDT at 0 (name 'HELLOWLD', a comment triplet at 19, 25 bytes), EDT at 44.
const std::string kHello = test::readFileString(dataPath("corpus/hello.afp"));

TEST(Check, EverySampleFileHasNoErrors) {
    for (const std::string& f : test::allSampleFiles()) {
        auto fs = checkFile(f);
        EXPECT_TRUE(errorsOf(fs).empty()) << f << "\n" << listing(fs);
    }
    EXPECT_TRUE(checkBytes(kHello).empty()) << listing(checkBytes(kHello));
}

TEST(Check, TruncatedStreamIsReportedAtEveryCut) {
    for (std::size_t cut = 1; cut < kHello.size(); ++cut) {
        auto fs = checkBytes(kHello.substr(0, cut));
        EXPECT_FALSE(errorsOf(fs).empty()) << "cut at " << cut;
    }
    // Cut inside the End: the framing error names the End's offset, and the
    // Begin is left open.
    auto fs = checkBytes(kHello.substr(0, 50));
    EXPECT_TRUE(hasError(fs, 44, "declares length 16")) << listing(fs);
    EXPECT_TRUE(hasError(fs, 0, "Begin BDT is never ended")) << listing(fs);
}

TEST(Check, MissingEndsAndStrayEnds) {
    // The End cut off exactly at a field boundary.
    auto fs = checkBytes(kHello.substr(0, 44));
    ASSERT_EQ(errorsOf(fs).size(), 1u) << listing(fs);
    EXPECT_TRUE(hasError(fs, 0, "Begin BDT is never ended"));

    // tests/data/hello.afp without its EPG (377..393): ENG closes the page
    // group while the page at 34 is still open.
    std::string h = test::readFileString(dataPath("hello.afp"));
    std::string noEpg = h.substr(0, 377) + h.substr(394);
    fs = checkBytes(noEpg);
    ASSERT_EQ(errorsOf(fs).size(), 1u) << listing(fs);
    EXPECT_TRUE(hasError(fs, 34, "Begin BPG is not ended before End ENG at offset 377")) << listing(fs);

    // Without its BDT the EDT (now at 394) ends nothing.
    fs = checkBytes(h.substr(17));
    ASSERT_EQ(errorsOf(fs).size(), 1u) << listing(fs);
    EXPECT_TRUE(hasError(fs, 394, "End EDT without a matching Begin")) << listing(fs);
}

TEST(Check, EndNameMustMatchItsBegin) {
    std::string s = kHello;
    s[53] = char(0xC1);  // first byte of the EDT's name: 'AELLOWLD'
    auto fs = checkBytes(s);
    ASSERT_EQ(errorsOf(fs).size(), 1u) << listing(fs);
    EXPECT_TRUE(hasError(fs, 44, "End EDT names 'AELLOWLD' but its Begin BDT at offset 0 names 'HELLOWLD'"))
        << listing(fs);
    // X'FFFF' in the first two bytes matches any name.
    s[53] = char(0xFF);
    s[54] = char(0xFF);
    EXPECT_TRUE(errorsOf(checkBytes(s)).empty()) << listing(checkBytes(s));
    // An End without a name closes whatever is open.
    std::string anon = kHello.substr(0, 44) + field(0xD3A9A8, "");
    EXPECT_TRUE(errorsOf(checkBytes(anon)).empty()) << listing(checkBytes(anon));
}

TEST(Check, NestedLengthsThatDoNotAddUp) {
    std::string s = kHello;
    s[19] = 26;  // the comment triplet now claims one byte more than its field holds
    auto fs = checkBytes(s);
    ASSERT_EQ(errorsOf(fs).size(), 1u) << listing(fs);
    EXPECT_TRUE(hasError(fs, 19, "BDT: triplet length 26 does not add up")) << listing(fs);

    // MCF: one good repeating group (a font local id triplet), then one whose
    // length overruns the field (at 3 + 6 + 6).
    std::string mcf = field(0xD3AB8A, "0006 04240501");
    EXPECT_TRUE(checkBytes(mcf).empty()) << listing(checkBytes(mcf));
    fs = checkBytes(field(0xD3AB8A, "0006 04240501 0009 04240501"));
    EXPECT_TRUE(hasError(fs, 3 + 6 + 6, "MCF: repeating-group length does not add up")) << listing(fs);
    // A triplet inside a group too short to count itself (at 3 + 6 + 2).
    fs = checkBytes(field(0xD3AB8A, "0006 01240501"));
    EXPECT_TRUE(hasError(fs, 3 + 6 + 2, "MCF group 1: triplet length 1 does not add up")) << listing(fs);

    // Every map whose groups are triplet lists has them checked (MPG, MPO and
    // the others as MCF), and so do the groups MDR keeps in its data bytes.
    fs = checkBytes(field(0xD3ABAF, "0006 01240501"));
    EXPECT_TRUE(hasError(fs, 3 + 6 + 2, "MPG group 1: triplet length 1 does not add up")) << listing(fs);
    fs = checkBytes(field(0xD3ABC3, "0006 04240501 0006 01240501"));
    EXPECT_TRUE(hasError(fs, 3 + 6 + 6 + 2, "MDR group 2: triplet length 1 does not add up")) << listing(fs);
    fs = checkBytes(field(0xD3ABC3, "0006 04240501 0009 04240501"));
    EXPECT_TRUE(hasError(fs, 3 + 6 + 6, "MDR: repeating-group length does not add up")) << listing(fs);
    // LLE groups open with their function byte, so their bytes are not triplets.
    std::string lle = field(0xD3B490, "0200 0006 01240501");
    EXPECT_TRUE(errorsOf(checkBytes(lle)).empty()) << listing(checkBytes(lle));

    // A control sequence whose length overruns its PTX record (at 8 + 3 + 2).
    std::string ptx = field(0xD3A89B, "") + field(0xD3EE9B, "2BD3 04C1 0000 09F8 00") + field(0xD3A99B, "");
    fs = checkBytes(ptx);
    EXPECT_TRUE(hasError(fs, 9 + 3 + 6 + 2 + 4, "PTX: control-sequence length does not add up")) << listing(fs);
}

TEST(Check, ControlSequenceChainMustEndWithThePresentationText) {
    // SIM chained (X'C1') into SVI (X'C5', odd): the chain is still open at EPT.
    std::string open = field(0xD3A89B, "") + field(0xD3EE9B, "2BD3 04C1 0000 04C5 0000") + field(0xD3A99B, "");
    auto fs = checkBytes(open);
    EXPECT_TRUE(errorsOf(fs).empty()) << listing(fs);
    ASSERT_EQ(fs.size(), 1u) << listing(fs);
    EXPECT_EQ(fs[0].severity, Severity::Warning);
    EXPECT_EQ(fs[0].offset, 9u + 3 + 6 + 2 + 4);
    EXPECT_NE(fs[0].message.find("chain does not end"), std::string::npos);
    // Ended by an even function type: nothing to say.
    std::string closed = field(0xD3A89B, "") + field(0xD3EE9B, "2BD3 04C1 0000 04C4 0000") + field(0xD3A99B, "");
    EXPECT_TRUE(checkBytes(closed).empty()) << listing(checkBytes(closed));
}

TEST(Check, UnknownIdentifiersAreWarnings) {
    std::string s = field(0xD3A8A8, "C8C5D3D3D6E6D3C4 0000 04EE 0000") + field(0xD3FFFF, "01") +
                    field(0xD3A9A8, "FFFF000000000000");
    auto fs = checkBytes(s);
    EXPECT_TRUE(errorsOf(fs).empty()) << listing(fs);
    ASSERT_EQ(fs.size(), 2u) << listing(fs);
    EXPECT_EQ(fs[0].offset, 19u);
    EXPECT_NE(fs[0].message.find("triplet identifier X'EE'"), std::string::npos);
    EXPECT_EQ(fs[1].offset, 23u);
    EXPECT_NE(fs[1].message.find("X'D3FFFF' is not in the tables"), std::string::npos);
}

TEST(Check, OtherFramingsReportStreamOffsets) {
    // corpus/hello.afp with record descriptor words: each field moves 4 bytes on.
    std::string rdw;
    for (auto [at, len] : {std::pair<std::size_t, std::size_t>{0, 44}, {44, 17}}) {
        std::size_t rl = len + 4;
        rdw += std::string{char(rl >> 8), char(rl), 0, 0} + kHello.substr(at, len);
    }
    EXPECT_TRUE(checkBytes(rdw).empty()) << listing(checkBytes(rdw));
    rdw[4 + 19] = 26;
    auto fs = checkBytes(rdw);
    EXPECT_TRUE(hasError(fs, 4 + 19, "triplet length 26")) << listing(fs);
}

TEST(Check, ToolExitStatusAndJsonLines) {
    test::TempDir dir;
    std::string bad = dir.file("bad.afp");
    std::string s = kHello;
    s[53] = char(0xC1);
    test::writeFileString(bad, s);
    auto r = test::runTool({"check", "--json", bad});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out.find("{\"offset\":44,\"severity\":\"error\",\"message\":\"End EDT names"), 0u) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
    EXPECT_NE(r.err.find("1 error"), std::string::npos) << r.err;

    // An identifier no table lists is a warning, not an error.
    std::string unknown = test::readFileString(dataPath("corpus/unknownSF.afp"));
    unknown[5] = char(0xCB);  // D3A7CA (conditional processing control) becomes D3A7CB
    const std::string unknownPath = dir.file("unknown.afp");
    test::writeFileString(unknownPath, unknown);
    r = test::runTool({"check", "--quiet", unknownPath});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("warning"), std::string::npos) << r.out;

    r = test::runTool({"check", dir.file("missing.afp")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(test::errorLine(r.err).find("cannot open"), std::string::npos) << r.err;
}

// A source that records the largest window the reader asks for.
class CountingSource final : public ByteSource {
public:
    explicit CountingSource(Bytes b) : inner_(memorySource(std::move(b))) {}
    Bytes window(std::uint64_t offset, std::size_t n) override {
        largest = std::max(largest, n);
        return inner_->window(offset, n);
    }
    const std::string& name() const noexcept override { return inner_->name(); }
    std::size_t largest = 0;

private:
    std::unique_ptr<ByteSource> inner_;
};

TEST(Limits, HostileLengthsNeverAskForMoreThanTheLimit) {
    // Every length says 65535 over a short input, in every framing.
    const std::string hostile = "\x5A\xFF\xFF\xD3\xA8\xA8\x00\x00\x00\xFF\xFF\x00\x00\x5A\xFF\xFF";
    for (Framing f : {Framing::Auto, Framing::Clean, Framing::NoIntroducer, Framing::Rdw, Framing::BdwRdw}) {
        for (std::size_t limit : {std::size_t(65535), std::size_t(100)}) {
            auto src = std::make_unique<CountingSource>(Bytes::copy(hostile));
            CountingSource* counter = src.get();
            AfpReader r(std::move(src), ReaderLimits{limit, f});
            AFP_ c;
            EXPECT_THROW(while (r.next(c)) {}, FormatError);
            EXPECT_LE(counter->largest, std::min<std::size_t>(limit, 65535) + 1);
        }
    }
    // Above the limit, refused before anything is read past the length.
    auto fs = checkStream(memorySource(Bytes::copy(hostile)), ReaderLimits{100, Framing::Auto});
    EXPECT_TRUE(hasError(fs, 0, "structured-field length 65535 exceeds the limit of 100")) << listing(fs);
}

}  // namespace
}  // namespace pressel
