// The dump and text commands on real streams: every sample dumps in all
// three forms, the JSON parses, bad records and bad framing are reported,
// and the text of the FOP files is the text of their sources.
#include <gtest/gtest.h>

#include <cctype>
#include <sstream>

#include "helpers.hpp"

namespace pressel::test {
namespace {

// A strict recursive-descent check of one JSON value (RFC 8259).
class JsonChecker {
public:
    explicit JsonChecker(std::string_view s) : s_(s) {}
    bool wholeValue() {
        ws();
        if (!value()) return false;
        ws();
        return i_ == s_.size();
    }

private:
    bool value() {
        if (i_ >= s_.size() || ++depth_ > 200) return false;
        bool ok;
        switch (s_[i_]) {
        case '{': ok = object(); break;
        case '[': ok = array(); break;
        case '"': ok = string(); break;
        case 't': ok = word("true"); break;
        case 'f': ok = word("false"); break;
        case 'n': ok = word("null"); break;
        default: ok = number();
        }
        --depth_;
        return ok;
    }
    bool object() {
        ++i_;
        ws();
        if (eat('}')) return true;
        do {
            ws();
            if (!string()) return false;
            ws();
            if (!eat(':')) return false;
            ws();
            if (!value()) return false;
            ws();
        } while (eat(','));
        return eat('}');
    }
    bool array() {
        ++i_;
        ws();
        if (eat(']')) return true;
        do {
            ws();
            if (!value()) return false;
            ws();
        } while (eat(','));
        return eat(']');
    }
    bool string() {
        if (!eat('"')) return false;
        while (i_ < s_.size()) {
            unsigned char c = static_cast<unsigned char>(s_[i_++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c == '\\') {
                if (i_ >= s_.size()) return false;
                char e = s_[i_++];
                if (e == 'u') {
                    for (int k = 0; k < 4; ++k)
                        if (i_ >= s_.size() || !std::isxdigit(static_cast<unsigned char>(s_[i_++]))) return false;
                } else if (std::string_view("\"\\/bfnrt").find(e) == std::string_view::npos) {
                    return false;
                }
            } else if (c >= 0x80) {
                int more = (c >= 0xF0) ? 3 : (c >= 0xE0) ? 2 : (c >= 0xC2) ? 1 : -1;
                if (more < 0) return false;
                for (int k = 0; k < more; ++k)
                    if (i_ >= s_.size() || (static_cast<unsigned char>(s_[i_++]) & 0xC0) != 0x80) return false;
            }
        }
        return false;
    }
    bool number() {
        std::size_t start = i_;
        eat('-');
        if (eat('0')) {
        } else if (!digits()) return false;
        if (eat('.') && !digits()) return false;
        if ((eat('e') || eat('E')) && (eat('+') || eat('-') || true) && !digits()) return false;
        return i_ > start;
    }
    bool digits() {
        std::size_t start = i_;
        while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_;
        return i_ > start;
    }
    bool word(std::string_view w) {
        if (s_.substr(i_, w.size()) != w) return false;
        i_ += w.size();
        return true;
    }
    bool eat(char c) {
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    void ws() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r')) ++i_;
    }
    std::string_view s_;
    std::size_t i_ = 0;
    int depth_ = 0;
};

bool isJson(std::string_view s) { return JsonChecker(s).wholeValue(); }

std::vector<std::string> lines(const std::string& s) {
    std::vector<std::string> v;
    std::stringstream ss(s);
    for (std::string l; std::getline(ss, l);) v.push_back(l);
    return v;
}

TEST(JsonCheckerSelf, TellsValidFromInvalid) {
    EXPECT_TRUE(isJson(R"({"a":[1,-2.5e3,"x\u00e9",{"b":null}],"c":true})"));
    EXPECT_FALSE(isJson(R"({"a":1,})"));
    EXPECT_FALSE(isJson("\"tab\there\""));
    EXPECT_FALSE(isJson("\"\xE9\""));  // a Latin-1 byte is not UTF-8
    EXPECT_FALSE(isJson("{\"a\":01}"));
}

TEST(Dump, EverySampleDumpsInAllFourForms) {
    for (const std::string& file : allSampleFiles()) {
        RunResult annotated = runTool({"dump", file});
        EXPECT_EQ(annotated.status, 0) << file << "\n" << annotated.err;
        EXPECT_EQ(annotated.out.find("***"), std::string::npos) << file;

        RunResult plain = runTool({"dump", "--show", file});
        EXPECT_EQ(plain.status, 0) << file << "\n" << plain.err;
        std::size_t records = 0;
        for (const std::string& l : lines(plain.out)) {
            ++records;
            EXPECT_NE(l.find(": "), std::string::npos) << l;
            EXPECT_EQ(l.find("***"), std::string::npos) << file << ": " << l;
        }
        EXPECT_GT(records, 0u) << file;

        RunResult view = runTool({"dump", "--view", file});
        EXPECT_EQ(view.status, 0) << file << "\n" << view.err;
        EXPECT_EQ(view.out.find("***"), std::string::npos) << file;

        RunResult json = runTool({"dump", "--json", file});
        EXPECT_EQ(json.status, 0) << file << "\n" << json.err;
        std::vector<std::string> objects = lines(json.out);
        EXPECT_EQ(objects.size(), records) << file;
        for (const std::string& l : objects) EXPECT_TRUE(isJson(l)) << file << ": " << l;
    }
}

// A structured field with the given identifier and data.
std::string field(std::uint32_t id, std::string_view data) {
    std::size_t len = 8 + data.size();
    std::string s;
    s += '\x5A';
    s += char(len >> 8);
    s += char(len & 0xFF);
    s += char(id >> 16);
    s += char((id >> 8) & 0xFF);
    s += char(id & 0xFF);
    s += std::string(3, '\0');
    s += data;
    return s;
}

TEST(Dump, ARecordThatDoesNotDecodeIsShownRawAndTheDumpGoesOn) {
    TempDir dir;
    const std::string path = dir.file("bad.afp");
    // A page descriptor two bytes long (it needs twelve), between two good fields.
    writeFileString(path, field(0xD3A8AF, "\xD7\xC7\xD5\xF0\xF0\xF0\xF0\xF1") + field(0xD3A6AF, std::string(2, '\0')) +
                              field(0xD3A9AF, "\xD7\xC7\xD5\xF0\xF0\xF0\xF0\xF1"));
    RunResult plain = runTool({"dump", "--show", path});
    EXPECT_EQ(plain.status, 1);
    EXPECT_EQ(plain.err, "*** Error: 1 record failed to decode\n");
    auto ls = lines(plain.out);
    ASSERT_EQ(ls.size(), 3u) << plain.out;
    EXPECT_EQ(ls[1].rfind("17: AFP_ 13870767 \"D3A6AF0000000000\" *** ", 0), 0u) << ls[1];
    EXPECT_NE(ls[1].find("PGD"), std::string::npos) << ls[1];
    EXPECT_EQ(ls[2].rfind("28: EPG", 0), 0u) << ls[2];

    RunResult view = runTool({"dump", "--view", path});
    EXPECT_EQ(view.status, 1);
    EXPECT_NE(view.out.find("17: D3A6AF PGD length 10\n  *** "), std::string::npos) << view.out;
    EXPECT_NE(view.out.find("  raw: X'D3A6AF0000000000'\n"), std::string::npos) << view.out;
    EXPECT_NE(view.out.find("28: D3A9AF EPG length 16\n"), std::string::npos) << view.out;

    RunResult json = runTool({"dump", "--json", path});
    EXPECT_EQ(json.status, 1);
    auto js = lines(json.out);
    ASSERT_EQ(js.size(), 3u);
    for (const auto& l : js) EXPECT_TRUE(isJson(l)) << l;
    EXPECT_NE(js[1].find("\"error\":"), std::string::npos);
    EXPECT_NE(js[1].find("\"raw\":\"D3A6AF0000000000\""), std::string::npos) << js[1];
}

TEST(Dump, AStreamThatStopsFramingIsDumpedUpToTheFault) {
    std::string hello = readFileString(dataPath("hello.afp"));
    TempDir dir;
    const std::string path = dir.file("cut.afp");
    writeFileString(path, hello.substr(0, 300));  // ends inside the presentation text field at 226
    for (const char* form : {"", "--show", "--view", "--json"}) {
        std::vector<std::string> args{"dump", path};
        if (*form) args.insert(args.begin() + 1, form);
        RunResult r = runTool(args);
        EXPECT_EQ(r.status, 1) << form;
        EXPECT_EQ(r.err.rfind("*** Error: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("226"), std::string::npos) << r.err;
        EXPECT_NE(r.out.find("209"), std::string::npos) << form << ": the fields before the fault are shown";
    }
}

TEST(Dump, TypeFilterAndViewContents) {
    const std::string hello = dataPath("hello.afp");
    RunResult r = runTool({"dump", "--show", "--type", "PGD", "-t", "BPG,EPG", hello});
    ASSERT_EQ(r.status, 0) << r.err;
    auto ls = lines(r.out);
    ASSERT_EQ(ls.size(), 3u) << r.out;
    EXPECT_EQ(ls[0].rfind("34: BPG {", 0), 0u);
    EXPECT_EQ(ls[1].rfind("145: PGD {pgd_Type = 13870767", 0), 0u);

    RunResult view = runTool({"dump", "--view", "--type", "MCF", hello});
    ASSERT_EQ(view.status, 0) << view.err;
    EXPECT_EQ(view.out.rfind("68: D3AB8A MCF length 76\n  mcf_Type: 13872010 (X'D3AB8A')\n", 0), 0u) << view.out;
    EXPECT_NE(view.out.find("\n    MCF_T\n      mcf_t_Chunks: [T_] 4 records\n        T_FQN\n"), std::string::npos);
    EXPECT_NE(view.out.find("          t_fqn: \"T1V10500\"\n"), std::string::npos);

    RunResult bad = runTool({"dump", "--type", "NOSUCH", hello});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("NOSUCH"), std::string::npos);
}

// The expected texts are in reading order: a table row reads as one line,
// its cells apart by a space, and every page ends with a form feed.
TEST(Text, FopFilesGiveTheTextOfTheirSources) {
    // truetype: a TrueType font mapped by MDR alone, its text in UTF-16BE.
    for (const char* name : {"hello", "letter", "invoice", "graphics", "layout", "codepages", "truetype"}) {
        RunResult r = runTool({"text", dataPath(std::string(name) + ".afp")});
        ASSERT_EQ(r.status, 0) << name << r.err;
        EXPECT_EQ(r.out, readFileString(dataPath(std::string(name) + ".txt"))) << name;
    }
    RunResult hello = runTool({"text", dataPath("hello.afp")});
    EXPECT_EQ(hello.out,
              "Hello, Pressel\nThe quick brown fox jumps over the lazy dog.\nPrinting is simple.\n\f");
}

TEST(Text, JsonWordsLayoutEncodingsAndCodePages) {
    RunResult json = runTool({"text", "--json", dataPath("hello.afp")});
    ASSERT_EQ(json.status, 0) << json.err;
    std::vector<std::string> words = lines(json.out);
    ASSERT_EQ(words.size(), 14u);
    for (const std::string& w : words) EXPECT_TRUE(isJson(w)) << w;
    EXPECT_EQ(words[0].rfind("{\"page\":1,\"x\":56.700,\"y\":58.950,", 0), 0u) << words[0];
    EXPECT_NE(words[0].find("\"font\":\"C0H400H0\",\"size\":18,\"color\":\"#000000\",\"text\":\"Hello,\"}"),
              std::string::npos)
        << words[0];

    RunResult layout = runTool({"text", "--layout", dataPath("invoice.afp")});
    ASSERT_EQ(layout.status, 0) << layout.err;
    std::vector<std::string> rows = lines(layout.out);
    auto row = std::find_if(rows.begin(), rows.end(), [](const std::string& l) { return l.find(" Widget ") < 2; });
    ASSERT_NE(row, rows.end()) << layout.out;
    auto next = std::find_if(row + 1, rows.end(), [](const std::string& l) { return !l.empty(); });
    ASSERT_NE(next, rows.end());
    ASSERT_NE(next->find("Gadget"), std::string::npos);
    // The amounts right-aligned in their column end in the same column, give or take one.
    long end1 = long(row->rfind("10.00")) + 5, end2 = long(next->rfind("99.00")) + 5;
    EXPECT_LE(std::abs(end1 - end2), 1) << *row << "\n" << *next;
    EXPECT_GT(end1, 40) << *row;

    // UTF-8 by default; Latin-1 on request.
    RunResult utf8 = runTool({"text", dataPath("codepages.afp")});
    EXPECT_NE(utf8.out.find("Gr\u00FC\u00DFe"), std::string::npos);
    RunResult latin1 = runTool({"text", "--latin1", dataPath("codepages.afp")});
    EXPECT_NE(latin1.out.find("Gr\xFC\xDF" "e"), std::string::npos);
    EXPECT_NE(latin1.out.find("5 ? or"), std::string::npos);  // the euro sign is not in Latin-1

    // --codepage reads every font in one code page; an unknown one warns once.
    RunResult forced = runTool({"text", "--codepage", "500", dataPath("codepages.afp")});
    EXPECT_NE(forced.out.find("Gr}"), std::string::npos) << forced.out;
    RunResult unknown = runTool({"text", "--codepage", "999", dataPath("codepages.afp")});
    EXPECT_EQ(unknown.status, 0);
    EXPECT_EQ(unknown.out, forced.out);
    std::size_t first = unknown.err.find("code page 999");
    EXPECT_NE(first, std::string::npos) << unknown.err;
    EXPECT_EQ(unknown.err.find("code page 999", first + 1), std::string::npos) << unknown.err;

    EXPECT_EQ(runTool({"text", "--json", "--layout", dataPath("hello.afp")}).status, 1);
    EXPECT_EQ(runTool({"text", "--codepage", "x", dataPath("hello.afp")}).status, 1);
}

TEST(Text, PagesAreSeparatedAndSelectable) {
    const std::string letter = dataPath("letter.afp");
    RunResult all = runTool({"text", letter});
    ASSERT_EQ(all.status, 0);
    std::vector<std::string> pages;
    std::stringstream ss(all.out);
    for (std::string p; std::getline(ss, p, '\f');) pages.push_back(p);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0].substr(0, 22), "Pressel Printing Ltd.\n");
    EXPECT_NE(pages[0].find("Page 1\n"), std::string::npos);

    RunResult second = runTool({"text", "--page", "2", letter});
    EXPECT_EQ(second.status, 0);
    EXPECT_EQ(second.out, pages[1] + "\f");

    RunResult none = runTool({"text", "--page", "4", letter});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("3 pages"), std::string::npos) << none.err;
    EXPECT_EQ(runTool({"text", "--page", "0", letter}).status, 1);
}

}  // namespace
}  // namespace pressel::test

#include "pressel/text/text.hpp"

namespace pressel {
namespace {

AFP_ sf(std::uint32_t id, std::string_view dataHex) {
    return AFP_{id, fromHex(zeropad(3, id) + "000000" + std::string(dataHex))};
}

std::string textOf(const std::vector<AFP_>& fields, TextOptions options = {}) {
    TextExtractor x(options);
    std::string out;
    for (const AFP_& c : fields) x.feed(c, out);
    x.finish(out);
    return out;
}

TEST(TextExtractor, TheActiveFontChoosesTheCodePage) {
    // Font 1: code page T1V10037; font 2: T1V10500; font 3: a double-byte section.
    AFP_ mcf = sf(0xD3AB8A,
                  "0012 0C028500E3F1E5F1F0F0F3F7 04240501"
                  "0012 0C028500E3F1E5F1F0F5F0F0 04240502"
                  "0009 03254104240503");
    auto ptx = [](std::string_view lid, std::string_view trn) {
        return sf(0xD3EE9B, "2BD3 03F1" + std::string(lid) + " 04DA" + std::string(trn));
    };
    std::vector<AFP_> s{sf(0xD3A8AF, ""), mcf, ptx("01", "4A5A"), ptx("02", "4A5A"), sf(0xD3A9AF, "")};
    EXPECT_EQ(textOf(s), "\xA2![]\n");
    EXPECT_EQ(textOf(s, {0, true, false}), "\xC2\xA2![]\n");

    std::vector<AFP_> dbcs{sf(0xD3A8AF, ""), mcf, ptx("03", "4040"), sf(0xD3A9AF, "")};
    EXPECT_EQ(textOf(dbcs), "\xA1\x40\n");
    EXPECT_EQ(textOf(dbcs, {0, true, false}), "\xE3\x80\x80\n");
    EXPECT_EQ(textOf(s, {0, false, true}).size(), 2u + 2u + 1u) << "--dbcs reads every font in pairs";
}

TEST(TextExtractor, CodePage037TableDiffersFromCodePage500AtItsSevenBytes) {
    // The 037 table comes from the library's code page tables; the two pages
    // are known to differ at exactly these bytes.
    const std::pair<int, int> diff[] = {{0x4A, 0xA2}, {0x4F, 0x7C}, {0x5A, 0x21}, {0x5F, 0xAC},
                                        {0xB0, 0x5E}, {0xBA, 0x5B}, {0xBB, 0x5D}};
    const ByteTable& t037 = ebc037ToLatin1();
    const ByteTable& t500 = ebc2ascW8();
    int differing = 0;
    for (int b = 0; b < 256; ++b) {
        if (t037.bytes[b] == t500.bytes[b]) continue;
        ++differing;
        auto it = std::find_if(std::begin(diff), std::end(diff), [&](auto d) { return d.first == b; });
        ASSERT_NE(it, std::end(diff)) << "byte " << b;
        EXPECT_EQ(t037.bytes[b], it->second) << "byte " << b;
    }
    EXPECT_EQ(differing, 7);
}

TEST(TextExtractor, CodePointsOutsideControlSequencesAndBaselineMoves) {
    // Data that does not open with X'2BD3': its first two bytes are text too.
    std::vector<AFP_> s{sf(0xD3EE9B, "C8C9C1 2BD304D20010 C2"),
                        sf(0xD3EE9B, "2BD3 04D20010 2BD302D8 C3 2BD304D40000 C4")};
    EXPECT_EQ(textOf(s), "HIA\nB\nCD\n");
}

}  // namespace
}  // namespace pressel
