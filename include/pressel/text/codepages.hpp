// Code pages: how the bytes of AFP text and names become Unicode.
//
// A code page is named in AFP by its CPGID (code page global identifier), a
// number such as 500 (EBCDIC International), 273 (EBCDIC Germany/Austria) or
// 1140 (EBCDIC US with the euro). The stream says which code page a run of text
// uses in several ways, and this header has a function for each:
//
//   * a font resource name in an MCF/MCF1 (FQN type X'85'), such as T1V10500
//     or T1001140                           -> cpgidOfResourceName
//   * a CPGID in an inline code page's CPD, or a GCSGID + CPGID pair in a
//     CGCSGID (X'01') or FCGCSGID (X'20') triplet  -> codePagesOfCgcsgid
//   * a CCSID (the CGCSGID triplet with GCSGID 0)   -> codePagesOfCcsid
//   * an encoding scheme id (X'50' triplet: X'7200' UTF-16BE, X'7807' UTF-8,
//     X'6100' EBCDIC single-byte, X'6200' EBCDIC double-byte) -> encodingSchemeOf
//   * a number or name given by a user (--codepage 1140)  -> codePageByName
//
// Every lookup answers "unknown" (nullptr or std::nullopt) rather than guessing;
// the caller then falls back to code page 500, the architected default for
// AFP, with defaultCodePage() or codePageOrDefault().
//
// The pages the library knows (allCodePages() lists them):
//   * every single-byte EBCDIC page of glibc's iconv: 037, 038, 256, 273, 274,
//     275, 277, 278, 280, 281, 284, 285, 290, 297, 420, 423, 424, 500, 803, 870,
//     871, 875, 880, 905, 918, 1025, 1026, 1047, 1097, 1112, 1122, 1123, 1130,
//     1132, 1137, 1140-1149, 1153-1158, 1160, 1164, 1166, 4517, 4899, 4971,
//     9030, 12712, 16804; and 833, 836 and 1027, the single-byte halves of the
//     mixed host pages 933, 935 and 939;
//   * the ASCII-based pages 437, 819 (ISO 8859-1), 850 and 1252;
//   * the double-byte EBCDIC pages 300 (Japanese), 834 (Korean), 835
//     (Traditional Chinese) and 837 (Simplified Chinese), and the double-byte
//     PC page 301 (Japanese, Shift-JIS-like pairs);
//   * 1200 (UTF-16BE) and 1208 (UTF-8).
// The tables are generated from glibc iconv by scripts/gen_codepages.py and
// agree with it code point for code point (the tests compare them at test
// time). Page 835 maps straight to Unicode, so it keeps the characters that
// code page 950 lacks (Cyrillic, kana, circled digits ...); the older
// 835 -> 950 conversion of cp835.hpp is separate and unchanged.
//
// Decoding never fails: a code the page has no character for becomes U+FFFD
// (kNoCharacter), so the output is always valid UTF-8 and keeps one character
// per code point of the input.
//
// All objects are immutable and built on first use; any number of threads may
// use them. A `const CodePage*` stays valid for the life of the program, so
// callers may keep it (and compare pointers: one object per page).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pressel {

// U+FFFD REPLACEMENT CHARACTER: what a code without a character decodes to.
inline constexpr char32_t kNoCharacter = 0xFFFD;

// How a page encodes characters.
enum class CodePageForm : std::uint8_t {
    SingleByte, // one byte per character
    DoubleByte, // two bytes per character, a big-endian pair, no shift codes
                // (as AFP text in a double-byte font carries them)
    Utf16BE,    // CPGID 1200: UTF-16 big-endian, surrogate pairs included
    Utf8,       // CPGID 1208
};

namespace codepage_data {
struct SingleByteTable;
struct DoubleByteTable;
struct Utf8Form;
struct Registry;
} // namespace codepage_data

class CodePage {
public:
    std::uint16_t cpgid() const noexcept { return cpgid_; }
    CodePageForm form() const noexcept { return form_; }
    bool isSingleByte() const noexcept { return form_ == CodePageForm::SingleByte; }
    // Fixed two bytes per character (300, 301, 834, 835, 837). UTF-16 is not
    // counted here: test form() for it.
    bool isDoubleByte() const noexcept { return form_ == CodePageForm::DoubleByte; }
    bool isUnicode() const noexcept { return form_ == CodePageForm::Utf16BE || form_ == CodePageForm::Utf8; }
    // An EBCDIC page (byte X'40' is the space; double-byte space X'4040').
    bool isEbcdic() const noexcept { return ebcdic_; }
    // The glibc iconv converter whose mapping the page has ("IBM273",
    // "ISO-8859-1", "UTF-16BE"). For a double-byte EBCDIC page it is the mixed
    // host converter whose double-byte part the page is ("IBM937" for 835).
    std::string_view iconvName() const noexcept { return iconvName_; }

    // The character of one code point: a byte (0..255) of a single-byte page,
    // a pair (lead << 8 | trail) of a double-byte page, a UTF-16 code unit, or
    // for UTF-8 a Unicode scalar value (returned as is). kNoCharacter when the
    // page has none, the value is out of range, or it is a lone surrogate.
    char32_t toUnicode(std::uint32_t code) const noexcept;

    // Decodes `bytes` and appends the UTF-8 text to `out`.
    //   single-byte: one character per byte, by table (the fast path);
    //   double-byte: one character per pair; an odd last byte is U+FFFD;
    //   UTF-16BE:    surrogate pairs joined; a lone surrogate or an odd last
    //                byte is U+FFFD;
    //   UTF-8:       copied; each byte of an ill-formed sequence is U+FFFD.
    void appendUtf8(std::string& out, std::string_view bytes) const;
    std::string toUtf8(std::string_view bytes) const;

    // The reverse direction, for single-byte pages: the byte of character `c`,
    // or -1 when the page has none (and for every other form). Where a page has
    // the character at more than one byte, the byte iconv chooses.
    int fromUnicode(char32_t c) const noexcept;
    // UTF-8 text encoded into a single-byte page (to write a name in the code
    // page of a record). std::nullopt when the text is not valid UTF-8, a
    // character is missing from the page, or the page is not single-byte.
    std::optional<std::string> fromUtf8(std::string_view utf8) const;

private:
    friend struct codepage_data::Registry;
    CodePage() = default;

    std::uint16_t cpgid_ = 0;
    CodePageForm form_ = CodePageForm::SingleByte;
    bool ebcdic_ = false;
    std::string_view iconvName_;
    const codepage_data::SingleByteTable* single_ = nullptr;
    const codepage_data::Utf8Form* utf8_ = nullptr;    // single-byte: each byte as UTF-8
    const std::uint32_t* reverse_ = nullptr;            // single-byte: (char << 8 | byte), sorted
    std::size_t reverseCount_ = 0;
    const codepage_data::DoubleByteTable* double_ = nullptr;
};

// Every page the library knows, sorted by CPGID.
std::span<const CodePage> allCodePages() noexcept;

// The page with this CPGID, or nullptr when the library does not know it.
const CodePage* findCodePage(std::uint16_t cpgid) noexcept;

// Code page 500 (EBCDIC International), the default of AFP text and names.
const CodePage& defaultCodePage() noexcept;

// findCodePage(cpgid), or code page 500 when it is unknown.
const CodePage& codePageOrDefault(std::uint16_t cpgid) noexcept;

// The CPGID a code page resource name stands for, from the naming of IBM's
// code page resources: `T1V1` + four digits ("T1V10500" -> 500, "T1V10273" ->
// 273) and `T1` + six digits ("T1001140" -> 1140, "T1000850" -> 850,
// "T1000037" -> 37). The name is text (an FQN type X'85' name or an MCF1
// code page name converted from code page 500, as the record views give it).
// Trailing blanks and NULs (as in a padded 8-byte name) are ignored, letters
// may be either case. Any other name, such as the names of
// custom code pages ("T1EX0000"), gives std::nullopt: the page is then known
// only from the code page resource itself (its CPD's CPGID), if the stream
// carries it. The number need not be a page the library knows: check with
// findCodePage.
std::optional<std::uint16_t> cpgidOfResourceName(std::string_view name) noexcept;

// A page named the way users and configuration name pages: a resource name as
// above, a number ("1140", "037"), a number after "CP", "IBM", "IBM-" or
// "CCSID" ("cp1252", "IBM-273"), "UTF-8", "UTF-16", "UTF-16BE", "ISO-8859-1",
// "Latin1", "windows-1252". Case-insensitive. nullptr when unknown.
const CodePage* codePageByName(std::string_view name) noexcept;

// The pages of a coded character set. `page` is the page; for a mixed host
// CCSID (single-byte text with double-byte runs between shift-out X'0E' and
// shift-in X'0F', such as 930, 933, 935, 937, 939) `page` is its single-byte
// part and `doubleByte` its double-byte part. Both null when unknown.
struct CodePagePair {
    const CodePage* page = nullptr;
    const CodePage* doubleByte = nullptr;
    bool known() const noexcept { return page != nullptr; }
    bool mixed() const noexcept { return doubleByte != nullptr; }
};

// A CCSID's pages. Single-byte and pure double-byte CCSIDs whose number is
// their CPGID (500, 273, 1140, 835 ...), the other CCSIDs of those pages
// (28709 -> 037, 4396 -> 300, 4930 -> 834, 5348 -> 1252), the Unicode CCSIDs
// (1200, 13488 and 17584 -> UTF-16BE; 1208 -> UTF-8) and the mixed host CCSIDs
// 930, 933, 935, 937, 939, 5026 and 5035.
CodePagePair codePagesOfCcsid(std::uint16_t ccsid) noexcept;

// The pages of a CGCSGID (X'01') or FCGCSGID (X'20') triplet, or of a CPD's
// GCSGID and CPGID. GCSGID 0 means the second value is a CCSID (the CCSID form
// of the triplet); otherwise it is the CPGID, whatever the GCSGID (the
// character set only says which characters of the page are used; X'FFFF' is
// "all of them").
CodePagePair codePagesOfCgcsgid(std::uint16_t gcsgid, std::uint16_t cpgidOrCcsid) noexcept;

// What an encoding scheme id (X'50' triplet ESidCP or ESidUD, a CPD's
// EncScheme) says about the bytes. Its high byte is the family (1 and 6
// EBCDIC, 2 and 3 PC, 4 and 5 ISO, 7 and 8 Unicode) in the high nibble and
// the bytes per character (1 single, 2 double, 3 mixed) in the low nibble.
// Only the Unicode schemes name a page; the others tell the form a page must
// have (a double-byte font with X'6200', for example).
struct EncodingScheme {
    std::optional<CodePageForm> form; // none for X'0000' and ids that say nothing
    bool ebcdic = false;
    bool mixed = false;               // single-byte data with shifted double-byte runs
    const CodePage* page = nullptr;   // 1200 for X'7200' and X'8200', 1208 for X'7807'
};
EncodingScheme encodingSchemeOf(std::uint16_t esid) noexcept;

// Mixed text: bytes of `singleByte` with runs of `doubleByte` pairs between
// shift-out X'0E' and shift-in X'0F' (the shift codes themselves produce no
// text), appended to `out` as UTF-8. An unpaired byte before a shift code or
// at the end is U+FFFD. The text starts in single-byte mode.
void appendMixedUtf8(std::string& out, std::string_view bytes, const CodePage& singleByte,
                     const CodePage& doubleByte);

// Appends the UTF-8 form of `c` (U+FFFD for a surrogate or a value above
// U+10FFFF).
void appendUtf8Char(std::string& out, char32_t c);

} // namespace pressel
