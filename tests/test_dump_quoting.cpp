// How the annotated dump quotes text and heads its fields: every byte of
// several single-byte code pages, switched between by font, against an
// independent quoting of the converted text; long runs of text; and fields
// whose identifiers are told apart although they look alike.
#include <gtest/gtest.h>

#include "byte_builders.hpp"
#include "pressel/records.hpp"
#include "pressel/text/codepages.hpp"
#include "dump_helpers.hpp"
#include "pressel/view/dump.hpp"

using namespace pressel;
using namespace pressel::test;

namespace {

// UTF-8 text quoted as the dump shows it: the quote and the backslash
// escaped, newline and tab by letter, other control characters in hex.
std::string dumpQuoted(std::string_view utf8) {
    static const char* digits = "0123456789ABCDEF";
    std::string q = "\"";
    for (char ch : utf8) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            q += '\\';
            q += ch;
        } else if (c == '\n') {
            q += "\\n";
        } else if (c == '\t') {
            q += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            q += "\\x";
            q += digits[c >> 4];
            q += digits[c & 15];
        } else {
            q += ch;
        }
    }
    return q + "\"";
}

B bytesFrom(unsigned first, unsigned count) {
    B b;
    for (unsigned i = 0; i < count; ++i) b.push_back(byte(first + i));
    return b;
}
std::string_view chars(const B& b) { return {reinterpret_cast<const char*>(b.data()), b.size()}; }

TEST(DumpQuoting, EveryByteOfEachFontsCodePageAsTheConvertedTextQuoted) {
    // More pages than a dump keeps ready at once, each visited twice, so a
    // page's forms are made again after others pushed them out.
    const std::uint16_t pages[] = {500, 273, 37, 285, 297, 1047};
    B groups;
    for (std::size_t i = 0; i < std::size(pages); ++i) {
        ASSERT_NE(findCodePage(pages[i]), nullptr) << pages[i];
        // "T1V10273", "T1001047": the code page resource names of the pages.
        const std::string name = pages[i] < 1000 ? "T1V10" + std::to_string(pages[i] + 1000).substr(1)
                                                 : "T100" + std::to_string(pages[i]);
        groups = groups + group(fqn(0x86, "C0N200A0") + fqn(0x85, name) + lid(byte(i + 1)));
    }
    const B low = bytesFrom(0, 128), high = bytesFrom(128, 128);
    B text;
    std::string expected = "  controls:\n";
    for (int round = 0; round < 2; ++round)
        for (std::size_t i = 0; i < std::size(pages); ++i) {
            text = text + cs(0xF0, {byte(i + 1)}) + cs(0xDA, low) + cs(0xDA, high);
            const CodePage& page = *findCodePage(pages[i]);
            expected += "    SCFL " + std::to_string(i + 1) + "\n";
            expected += "    TRN " + dumpQuoted(page.toUtf8(chars(low))) + "\n";
            expected += "    TRN " + dumpQuoted(page.toUtf8(chars(high))) + "\n";
        }
    const std::string out = annotated({sf(0xD3AB8A, groups), sf(0xD3A89B), sf(0xD3EE9B, text)});
    const std::size_t at = out.find("  controls:\n");
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_EQ(out.substr(at), expected);
    // The pages do differ on these bytes: a mix-up of pages would show.
    EXPECT_NE(findCodePage(273)->toUtf8(chars(high)), findCodePage(500)->toUtf8(chars(high)));
}

TEST(DumpQuoting, TextLongerThanTheWriteBufferAndTextOfOtherForms) {
    // Text before the first control sequence: 700 bytes that each need a
    // four-character escape, then letters, then a quote and a backslash.
    const B run = B(700, byte(0x00)) + ebc("Sample") + ebc("\"\\");
    const std::string out = annotated({sf(0xD3A89B), sf(0xD3EE9B, run + cs(0xF8))});
    std::string expected = "  controls:\n    text \"";
    for (int i = 0; i < 700; ++i) expected += "\\x00";
    expected += "Sample\\\"\\\\\"\n    NOP\n";
    const std::size_t at = out.find("  controls:\n");
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_EQ(out.substr(at), expected);

    // A double-byte page goes through its conversion, not a byte table.
    const CodePage* dbcs = findCodePage(835);
    ASSERT_NE(dbcs, nullptr);
    const B pair = {0x42, 0xC1, 0x42, 0x7F};
    const B groups = group(fqn(0x86, "CZH20090") + fqn(0x85, "T1V10835") + lid(1));
    const std::string d = annotated({sf(0xD3AB8A, groups), sf(0xD3A89B),
                                     sf(0xD3EE9B, cs(0xF0, {1}) + cs(0xDA, pair))});
    EXPECT_NE(d.find("    TRN " + dumpQuoted(dbcs->toUtf8(chars(pair))) + "\n"), std::string::npos) << d;
}

TEST(DumpQuoting, FieldsWhoseIdentifiersShareAHeaderSlotKeepTheirOwnHeaders) {
    // Begin Page, and two identifiers whose low bytes differ from it as the
    // middle bytes do, alternating.
    const std::uint32_t codes[] = {0xD3A8AF, 0xD3AC6B, 0xD3B077};
    std::vector<AFP_> cs;
    for (int round = 0; round < 2; ++round)
        for (std::uint32_t c : codes) cs.push_back(sf(c, B(40, 0)));
    // The header comes before the record: a record that does not decode
    // leaves its header written.
    std::string out;
    DumpState st;
    std::uint64_t at = 0;
    for (const AFP_& c : cs) {
        try {
            annotateField(out, st, at, c);
        } catch (const Error&) {
        }
        out += '\n';
        at += c.payload.size() + 3;
    }
    std::uint64_t offset = 0;
    std::size_t from = 0;
    for (const AFP_& c : cs) {
        std::string head = std::to_string(offset) + ": ";
        static const char* digits = "0123456789ABCDEF";
        for (int k = 20; k >= 0; k -= 4) head += digits[(c.code >> k) & 15];
        head += ' ';
        head += afpTypeOf(c.code)->name;
        if (const char* name = structuredFieldName(c.code)) head += std::string(" ") + name;
        head += " (" + std::to_string(c.payload.size() + 2) + " bytes)\n";
        const std::size_t at = out.find(head, from);
        EXPECT_NE(at, std::string::npos) << head << out;
        if (at != std::string::npos) from = at + head.size();
        offset += c.payload.size() + 3;
    }
}

}  // namespace
