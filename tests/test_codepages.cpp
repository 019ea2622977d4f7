// Code pages: every code point of every page against glibc iconv, the
// decoders' edge cases, the reverse direction, and the ways a stream names a
// page (resource names, CCSIDs, CGCSGID pairs, encoding schemes).
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "iconv_reference.hpp"
#include "pressel/text/codepages.hpp"
#include "pressel/text/cp835.hpp"

using namespace pressel;
using pressel::test::IconvDecoder;
using pressel::test::IconvEncoder;
using pressel::test::utf8Of;

namespace {

std::string hexCode(std::uint32_t code) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "X'%02X'", static_cast<unsigned>(code));
    if (code > 0xFF) std::snprintf(buf, sizeof buf, "X'%04X'", static_cast<unsigned>(code));
    return buf;
}

std::string bytesOf(std::initializer_list<unsigned> bytes) {
    std::string s;
    for (unsigned b : bytes) s += static_cast<char>(b);
    return s;
}

// How the page's reference converter takes a pair: host double-byte pages are
// the double-byte part of a mixed converter, so the pair goes between
// shift-out and shift-in.
std::string referenceInput(const CodePage& page, unsigned lead, unsigned trail) {
    if (page.isEbcdic()) return bytesOf({0x0E, lead, trail, 0x0F});
    return bytesOf({lead, trail});
}

const CodePage& page(std::uint16_t cpgid) {
    const CodePage* p = findCodePage(cpgid);
    if (!p) throw std::runtime_error("no code page " + std::to_string(cpgid));
    return *p;
}

// Reports at most a few mismatches per page, then only their number.
struct MismatchLog {
    const CodePage& page;
    int count = 0;
    void add(std::uint32_t code, char32_t got, char32_t want) {
        if (++count <= 5)
            ADD_FAILURE() << "code page " << page.cpgid() << " (" << page.iconvName() << ") " << hexCode(code)
                          << ": U+" << std::hex << static_cast<std::uint32_t>(got) << ", iconv U+"
                          << static_cast<std::uint32_t>(want);
    }
    ~MismatchLog() {
        if (count > 5) ADD_FAILURE() << "code page " << page.cpgid() << ": " << count << " mismatches in all";
    }
};

} // namespace

TEST(CodePageTables, EveryByteOfEverySingleBytePageDecodesAsIconvDoes) {
    int pages = 0;
    for (const CodePage& p : allCodePages()) {
        if (!p.isSingleByte()) continue;
        ++pages;
        IconvDecoder reference{std::string(p.iconvName())};
        ASSERT_TRUE(reference.ok()) << p.iconvName();
        MismatchLog log{p};
        std::string all;
        std::u32string expected;
        for (unsigned b = 0; b < 256; ++b) {
            const char32_t want = reference.one(std::string(1, static_cast<char>(b))).value_or(kNoCharacter);
            if (p.toUnicode(b) != want) log.add(b, p.toUnicode(b), want);
            all += static_cast<char>(b);
            expected += want;
        }
        // The block decoder, across a block boundary, gives the same text.
        std::string repeated, repeatedExpected;
        for (int k = 0; k < 20; ++k) repeated += all, repeatedExpected += utf8Of(expected);
        EXPECT_EQ(p.toUtf8(repeated), repeatedExpected) << "code page " << p.cpgid();
        EXPECT_EQ(p.toUnicode(256), kNoCharacter);
    }
    EXPECT_GE(pages, 67);
}

TEST(CodePageTables, SingleBytePagesEncodeEveryCharacterToTheByteIconvChooses) {
    for (const CodePage& p : allCodePages()) {
        if (!p.isSingleByte()) continue;
        IconvEncoder reference{std::string(p.iconvName())};
        ASSERT_TRUE(reference.ok()) << p.iconvName();
        std::string text, bytes;
        for (unsigned b = 0; b < 256; ++b) {
            const char32_t c = p.toUnicode(b);
            if (c == kNoCharacter) continue;
            const std::optional<std::string> want = reference(std::u32string(1, c));
            ASSERT_TRUE(want) << p.cpgid() << " " << hexCode(b);
            // Where iconv's choice does not decode back to the character (the
            // single-byte half of a mixed converter may prefer a double-byte
            // code, or a fallback byte), the page keeps the byte that does.
            const bool roundTrip = want->size() == 1 && p.toUnicode(static_cast<unsigned char>((*want)[0])) == c;
            const int expected = roundTrip ? static_cast<unsigned char>((*want)[0]) : static_cast<int>(b);
            EXPECT_EQ(p.fromUnicode(c), expected) << p.cpgid() << " " << hexCode(b);
            appendUtf8Char(text, c);
            bytes += static_cast<char>(expected);
        }
        EXPECT_EQ(p.fromUtf8(text), bytes) << p.cpgid();
        EXPECT_EQ(p.fromUnicode(0x4E00), -1) << p.cpgid();
        EXPECT_EQ(p.fromUtf8("A\xE4\xB8\x80"), std::nullopt) << p.cpgid(); // U+4E00 is in none of them
    }
    EXPECT_EQ(page(500).fromUtf8("ab\xC3"), std::nullopt); // truncated UTF-8
    EXPECT_EQ(page(835).fromUtf8("A"), std::nullopt);      // not a single-byte page
    EXPECT_EQ(page(835).fromUnicode(0x41), -1);
}

TEST(CodePageTables, EveryPairOfEveryDoubleBytePageDecodesAsIconvDoes) {
    int pages = 0;
    for (const CodePage& p : allCodePages()) {
        if (!p.isDoubleByte()) continue;
        ++pages;
        IconvDecoder reference{std::string(p.iconvName())};
        ASSERT_TRUE(reference.ok()) << p.iconvName();
        MismatchLog log{p};
        int mapped = 0;
        std::string allRows, allExpected; // the page as one run, across decoder blocks
        for (unsigned lead = 0; lead < 256; ++lead) {
            std::string row;
            std::u32string expected;
            for (unsigned trail = 0; trail < 256; ++trail) {
                // Both bytes of a pair are X'40' or above in every double-byte page.
                char32_t want = kNoCharacter;
                if (lead >= 0x40 && trail >= 0x40)
                    want = reference.one(referenceInput(p, lead, trail)).value_or(kNoCharacter);
                const std::uint32_t code = lead << 8 | trail;
                if (p.toUnicode(code) != want) log.add(code, p.toUnicode(code), want);
                mapped += want != kNoCharacter;
                row += static_cast<char>(lead);
                row += static_cast<char>(trail);
                expected += want;
            }
            EXPECT_EQ(p.toUtf8(row), utf8Of(expected)) << "code page " << p.cpgid() << " row " << hexCode(lead);
            allRows += row;
            allExpected += utf8Of(expected);
        }
        EXPECT_EQ(p.toUtf8(allRows), allExpected) << "code page " << p.cpgid();
        EXPECT_GT(mapped, 9000) << p.cpgid();
        EXPECT_EQ(p.toUnicode(0x10000), kNoCharacter);
    }
    EXPECT_EQ(pages, 5);
    // An odd last byte has no character, and the pairs before it keep theirs.
    EXPECT_EQ(page(835).toUtf8(bytesOf({0x40, 0x40, 0x41})), "\u3000\uFFFD");
    EXPECT_EQ(page(300).toUtf8(""), "");
}

TEST(CodePageTables, Page835KeepsTheCharactersThatCodePage950Lacks) {
    // Straight to Unicode, the pairs that the 835 -> 950 conversion can only
    // answer with its replacement (Cyrillic, kana, circled digits, radicals,
    // some ideographs) keep their characters.
    const CodePage& p835 = page(835);
    int lostIn950 = 0;
    for (unsigned code = 0x4141; code <= 0xFEFE; ++code) {
        if ((code & 0xFF) < 0x40) continue;
        if (p835.toUnicode(code) == kNoCharacter) continue;
        const char32_t c = p835.toUnicode(code);
        const bool privateUse = c >= 0xE000 && c <= 0xF8FF;
        if (!privateUse && convert835to950(static_cast<std::uint16_t>(code)) == kCp950Replacement) ++lostIn950;
    }
    EXPECT_GE(lostIn950, 400);

    IconvEncoder host("IBM937");
    for (char32_t c : {U'\u0416', U'\u30AB', U'\u2460', U'\u5F5E', U'\u6491'}) {
        const std::optional<std::string> coded = host(std::u32string(1, c));
        ASSERT_TRUE(coded && coded->size() == 4) << std::hex << static_cast<std::uint32_t>(c);
        const std::string pair = coded->substr(1, 2);
        std::string want;
        appendUtf8Char(want, c);
        EXPECT_EQ(p835.toUtf8(pair), want) << std::hex << static_cast<std::uint32_t>(c);
    }
}

TEST(CodePageTables, NationalPagesDifferFrom500WhereTheirCountriesNeed) {
    // X'4F' is '!' in 500 and '|' in 037 and 1140; X'9F' is the euro in 1140.
    EXPECT_EQ(page(500).toUtf8("\x4F"), "!");
    EXPECT_EQ(page(1140).toUtf8("\x4F\x9F"), "|\u20AC");
    EXPECT_EQ(page(37).toUtf8("\x4F\x9F"), "|\u00A4");
    // German 273: X'4A' is A umlaut, X'C0' a umlaut, X'B5' the at sign.
    EXPECT_EQ(page(273).toUtf8("\x4A\xC0\xB5"), "\u00C4\u00E4@");
    EXPECT_EQ(page(1141).toUtf8("\x9F"), "\u20AC");
    EXPECT_FALSE(page(850).isEbcdic());
    EXPECT_TRUE(page(1047).isEbcdic());
}

TEST(CodePageUnicode, Utf16BEAgreesWithIconvOnEveryCodeUnitAndPair) {
    const CodePage& p = page(1200);
    EXPECT_EQ(p.form(), CodePageForm::Utf16BE);
    EXPECT_TRUE(p.isUnicode());
    EXPECT_FALSE(p.isDoubleByte());
    IconvDecoder decode("UTF-16BE");
    IconvEncoder encode("UTF-16BE");
    std::string units;
    for (unsigned u = 0; u < 0x10000; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF) continue;
        units += static_cast<char>(u >> 8);
        units += static_cast<char>(u & 0xFF);
    }
    const std::optional<std::u32string> bmp = decode(units);
    ASSERT_TRUE(bmp);
    EXPECT_EQ(p.toUtf8(units), utf8Of(*bmp));
    std::u32string supplementary;
    for (char32_t c = 0x10000; c <= 0x10FFFF; c += 0x3F) supplementary += c;
    supplementary += U'\U0010FFFF';
    const std::optional<std::string> pairs = encode(supplementary);
    ASSERT_TRUE(pairs);
    EXPECT_EQ(p.toUtf8(*pairs), utf8Of(supplementary));

    // Lone surrogates, a high surrogate at the end, and an odd last byte.
    EXPECT_EQ(p.toUtf8(bytesOf({0xD8, 0x00, 0x00, 0x41})), "\uFFFDA");
    EXPECT_EQ(p.toUtf8(bytesOf({0xDC, 0x00, 0xD8, 0x3D, 0xDE, 0x00})), "\uFFFD\U0001F600");
    EXPECT_EQ(p.toUtf8(bytesOf({0x00, 0x41, 0xD8, 0x3D})), "A\uFFFD");
    EXPECT_EQ(p.toUtf8(bytesOf({0x00, 0x41, 0x00})), "A\uFFFD");
    EXPECT_EQ(p.toUnicode(0xD800), kNoCharacter);
    EXPECT_EQ(p.toUnicode(0x20AC), U'\u20AC');
}

TEST(CodePageUnicode, Utf8CopiesWellFormedTextAndReplacesEachIllFormedByte) {
    const CodePage& p = page(1208);
    std::u32string every;
    for (char32_t c = 1; c <= 0x10FFFF; c += (c < 0x800 ? 1 : 7))
        if (c < 0xD800 || c > 0xDFFF) every += c;
    const std::string text = utf8Of(every);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(p.toUtf8(text), text);
    const std::string r = "\uFFFD";
    EXPECT_EQ(p.toUtf8("\xC0\x80"), r + r);                 // overlong
    EXPECT_EQ(p.toUtf8("\xED\xA0\x80"), r + r + r);         // a surrogate
    EXPECT_EQ(p.toUtf8("\xF4\x90\x80\x80"), r + r + r + r); // above U+10FFFF
    EXPECT_EQ(p.toUtf8("a\xE2\x82"), "a" + r + r);          // cut short
    EXPECT_EQ(p.toUtf8("\xFF" "b\x80"), r + "b" + r);
}

TEST(CodePageDecoding, AnyBytesInAnyPageGiveValidUtf8WithOneCharacterPerCode) {
    // Random runs, short and across the decoders' blocks, appended after
    // existing text: well-formed UTF-8, the prefix kept, and one character
    // per byte (single-byte), per pair or odd last byte (double-byte), at
    // most one per byte (UTF-8) and per two bytes (UTF-16).
    std::mt19937 rng(7);
    IconvDecoder utf8("UTF-8");
    for (const CodePage& p : allCodePages()) {
        for (int run = 0; run < 12; ++run) {
            const std::size_t n = run < 6 ? rng() % 40 : rng() % 9000;
            std::string in(n, '\0');
            for (char& c : in) c = static_cast<char>(rng());
            std::string out = "prefix";
            p.appendUtf8(out, in);
            ASSERT_EQ(out.substr(0, 6), "prefix");
            const std::optional<std::u32string> chars = utf8(out.substr(6));
            ASSERT_TRUE(chars) << "code page " << p.cpgid() << ": ill-formed UTF-8 from " << n << " bytes";
            switch (p.form()) {
            case CodePageForm::SingleByte: EXPECT_EQ(chars->size(), n) << p.cpgid(); break;
            case CodePageForm::DoubleByte: EXPECT_EQ(chars->size(), (n + 1) / 2) << p.cpgid(); break;
            case CodePageForm::Utf16BE:
                EXPECT_LE(chars->size(), (n + 1) / 2);
                EXPECT_GE(chars->size(), (n + 3) / 4);
                break;
            case CodePageForm::Utf8:
                EXPECT_LE(chars->size(), n);
                break;
            }
        }
    }
}

TEST(CodePageNames, ResourceNamesGiveTheirCpgid) {
    EXPECT_EQ(cpgidOfResourceName("T1V10500"), 500);
    EXPECT_EQ(cpgidOfResourceName("T1V10273"), 273);
    EXPECT_EQ(cpgidOfResourceName("T1V10037"), 37);
    EXPECT_EQ(cpgidOfResourceName("T1001140"), 1140);
    EXPECT_EQ(cpgidOfResourceName("T1000850"), 850);
    EXPECT_EQ(cpgidOfResourceName("T1000037"), 37);
    EXPECT_EQ(cpgidOfResourceName("t1v10285"), 285);
    EXPECT_EQ(cpgidOfResourceName(std::string("T1V10500  \0", 11)), 500); // blank or NUL padding
    EXPECT_EQ(cpgidOfResourceName("T1065535"), 65535);
    for (const char* other : {"T1EX0000", "T1V1050", "T1V105000", "T1065536", "X0H20080", "C0H20080", "", "T1",
                              "T1V1+500", "T2V10500", "T1 10500"})
        EXPECT_EQ(cpgidOfResourceName(other), std::nullopt) << other;

    EXPECT_EQ(codePageByName("T1001140"), &page(1140));
    EXPECT_EQ(codePageByName("1140"), &page(1140));
    EXPECT_EQ(codePageByName("037"), &page(37));
    EXPECT_EQ(codePageByName("cp037"), &page(37));
    EXPECT_EQ(codePageByName("IBM-273"), &page(273));
    EXPECT_EQ(codePageByName("ibm500"), &page(500));
    EXPECT_EQ(codePageByName("CCSID835"), &page(835));
    EXPECT_EQ(codePageByName("utf-8"), &page(1208));
    EXPECT_EQ(codePageByName("UTF-16"), &page(1200));
    EXPECT_EQ(codePageByName("Latin1"), &page(819));
    for (const char* unknown : {"9999", "IBM-9999", "T1EX0000", "cp", "IBM", "", "ebcdic", "70000"})
        EXPECT_EQ(codePageByName(unknown), nullptr) << unknown;

    // An unknown page: the caller can tell, and falls back to 500.
    EXPECT_EQ(findCodePage(9999), nullptr);
    EXPECT_EQ(&codePageOrDefault(9999), &page(500));
    EXPECT_EQ(&codePageOrDefault(273), &page(273));
    EXPECT_EQ(defaultCodePage().cpgid(), 500);
}

TEST(CodePageNames, CcsidCgcsgidAndEncodingSchemeSelectPages) {
    // GCSGID + CPGID: the CPGID is the page whatever the character set.
    EXPECT_EQ(codePagesOfCgcsgid(697, 500).page, &page(500));
    EXPECT_EQ(codePagesOfCgcsgid(0xFFFF, 1140).page, &page(1140));
    EXPECT_EQ(codePagesOfCgcsgid(1001, 835).page, &page(835));
    EXPECT_FALSE(codePagesOfCgcsgid(697, 9999).known());
    // GCSGID 0: a CCSID.
    EXPECT_EQ(codePagesOfCgcsgid(0, 273).page, &page(273));
    EXPECT_EQ(codePagesOfCgcsgid(0, 1200).page, &page(1200));
    EXPECT_EQ(codePagesOfCcsid(13488).page, &page(1200));
    EXPECT_EQ(codePagesOfCcsid(5348).page, &page(1252));
    EXPECT_EQ(codePagesOfCcsid(4396).page, &page(300));
    const CodePagePair mixed = codePagesOfCgcsgid(0, 937);
    EXPECT_TRUE(mixed.mixed());
    EXPECT_EQ(mixed.page, &page(37));
    EXPECT_EQ(mixed.doubleByte, &page(835));
    EXPECT_EQ(codePagesOfCcsid(939).page, &page(1027));
    EXPECT_EQ(codePagesOfCcsid(939).doubleByte, &page(300));
    EXPECT_FALSE(codePagesOfCcsid(500).mixed());
    EXPECT_FALSE(codePagesOfCcsid(65000).known());

    EXPECT_EQ(encodingSchemeOf(0x7200).page, &page(1200));
    EXPECT_EQ(encodingSchemeOf(0x8200).form, CodePageForm::Utf16BE);
    EXPECT_EQ(encodingSchemeOf(0x7807).page, &page(1208));
    const EncodingScheme sbcs = encodingSchemeOf(0x6100);
    EXPECT_EQ(sbcs.form, CodePageForm::SingleByte);
    EXPECT_TRUE(sbcs.ebcdic);
    EXPECT_EQ(sbcs.page, nullptr);
    EXPECT_EQ(encodingSchemeOf(0x6200).form, CodePageForm::DoubleByte);
    EXPECT_FALSE(encodingSchemeOf(0x2100).ebcdic);
    EXPECT_TRUE(encodingSchemeOf(0x1301).mixed);
    EXPECT_EQ(encodingSchemeOf(0x0000).form, std::nullopt);
}

TEST(CodePageMixed, ShiftedRunsDecodeAsTheMixedHostConverterDoes) {
    IconvDecoder reference("IBM937");
    const std::string text = bytesOf({0xC1, 0x0E, 0x40, 0x40, 0x4C, 0x41, 0x0F, 0xC2, 0x0E, 0x0F, 0xF1});
    const std::optional<std::u32string> want = reference(text);
    ASSERT_TRUE(want);
    std::string out = "x";
    appendMixedUtf8(out, text, page(37), page(835));
    std::string expected = "x";
    expected += utf8Of(*want);
    EXPECT_EQ(out, expected);
    // An unpaired byte before shift-in, and text ending in double-byte mode.
    out.clear();
    appendMixedUtf8(out, bytesOf({0x0E, 0x40, 0x0F, 0xC1, 0x0E, 0x40, 0x40}), page(37), page(835));
    EXPECT_EQ(out, "\uFFFDA\u3000");
}
