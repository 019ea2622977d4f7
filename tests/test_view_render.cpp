// The lines and JSON written straight from a decoded record are those of its
// view: every record of every sample, records cut short and damaged, and the
// cases the direct path hands back to the view (triplet lists in a declared
// code page, object identifiers, nested items that do not decode).
#include <gtest/gtest.h>

#include <map>

#include "helpers.hpp"
#include "pressel/catalogue.hpp"
#include "pressel/records.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/view.hpp"
#include "pressel/view/dump.hpp"

using namespace pressel;
using namespace pressel::test;

namespace {

// Both renderings of one record, each side with its own state, which the
// caller keeps in step. Returns false (after reporting) at the first
// difference.
struct Pair {
    DumpState viewState, directState;

    bool same(TypeId type, const Bytes& bytes, const std::string& where) {
        std::string viewLines, viewJson, viewError;
        try {
            ViewRecord v = recordOps(type).view(bytes);
            renderViewLines(viewLines, v, 2);
            renderViewJsonFields(viewJson, v, &viewState);
        } catch (const Error& e) {
            viewError = e.what();
        }
        std::string lines, json, error;
        try {
            renderRecordLines(lines, type, bytes, 2);
            renderRecordJsonFields(json, type, bytes, &directState);
        } catch (const Error& e) {
            error = e.what();
            EXPECT_TRUE(lines.empty() && json.empty()) << where << ": wrote before failing";
        }
        EXPECT_EQ(error, viewError) << where;
        if (!viewError.empty()) return error == viewError;
        EXPECT_EQ(lines, viewLines) << where;
        EXPECT_EQ(json, viewJson) << where;
        return lines == viewLines && json == viewJson && error.empty();
    }

    void observe(const AFP_& c) {
        viewState.observe(c);
        directState.observe(c);
    }
};

std::string place(const std::string& file, std::uint64_t offset, TypeId type) {
    return file + " at " + std::to_string(offset) + " (" + type->name + ")";
}

// A structured field: identifier, flag and reserved bytes, data.
AFP_ sf(std::uint32_t code, const std::string& data) {
    return AFP_{code, Bytes::copy(std::string{char(code >> 16), char(code >> 8), char(code), 0, 0, 0} + data)};
}
std::string hex(const std::string& h) { return std::string(fromHex(h).chars()); }

bool sameField(Pair& p, const AFP_& c) { return p.same(chunkType(c).id, packChunk(c), zeropad(3, c.code)); }

TEST(ViewRender, EveryRecordOfEverySampleRendersAsItsView) {
    std::size_t records = 0;
    for (const std::string& file : allSampleFiles()) {
        Pair p;
        DecodeContext lengths;
        DecodeScope scope(lengths);
        AfpStream in = readAFP(file);
        try {
            for (auto it = in.begin(); it != in.end(); ++it) {
                lengths.observe(*it);
                p.observe(*it);
                const TypeId type = chunkType(*it).id;
                ++records;
                if (!p.same(type, packChunk(*it), place(file, it.offset(), type))) return;
            }
        } catch (const FormatError&) {
            // A sample that stops framing is compared up to that point.
        }
    }
    EXPECT_GT(records, 700u);
}

// Every cut of a record and every byte of it set to 00, FF and a length
// that runs past the end: the direct path fails where the view fails, and a
// nested item that no longer decodes is shown as the view shows it.
TEST(ViewRender, RecordsCutShortOrDamagedRenderAsTheirViews) {
    std::map<unsigned, int> seen;
    std::size_t variants = 0;
    for (const std::string& file : allSampleFiles()) {
        Pair p;
        AfpStream in = readAFP(file);
        try {
            for (auto it = in.begin(); it != in.end(); ++it) {
                p.observe(*it);
                const TypeId type = chunkType(*it).id;
                const Bytes bytes = packChunk(*it);
                if (bytes.size() > 400 || seen[type->index]++ >= 2) continue;
                const std::string raw(bytes.chars());
                for (std::size_t n = 0; n < raw.size(); ++n) {
                    ++variants;
                    if (!p.same(type, Bytes::copy(raw.substr(0, n)), place(file, it.offset(), type) + " cut to " +
                                                                         std::to_string(n)))
                        return;
                    for (char b : {'\x00', '\xFF', '\x03'}) {
                        std::string damaged = raw;
                        damaged[n] = b;
                        ++variants;
                        if (!p.same(type, Bytes::copy(damaged), place(file, it.offset(), type) + " byte " +
                                                                    std::to_string(n) + " set"))
                            return;
                    }
                }
            }
        } catch (const FormatError&) {
        }
    }
    EXPECT_GT(variants, 10000u);
}

TEST(ViewRender, TripletListsInADeclaredCodePageAndObjectIdentifiers) {
    Pair p;
    // Begin Document: name, reserved, then triplets: a CGCSGID of code page
    // 1140 (the name after it is shown through it), a fully qualified name in
    // object identifier form, and a plain name.
    const std::string cgcsgid = "0601" "0000" "0474";
    const std::string fqnOid = "0A02" "0010" "06042B120004";
    const std::string fqnName = "0C02" "0100" "C1C2C3C4C5C6C7C8";
    EXPECT_TRUE(sameField(p, sf(0xD3A8A8, hex("C4D6C3F0F0F0F0F1" "0000" + cgcsgid + fqnOid + fqnName))));
    EXPECT_TRUE(sameField(p, sf(0xD3A8A8, hex("C4D6C3F0F0F0F0F1" "0000" + fqnOid))));
    const AFP_ both = sf(0xD3A8A8, hex("C4D6C3F0F0F0F0F1" "0000" + cgcsgid + fqnOid + fqnName));
    std::string lines;
    renderRecordLines(lines, chunkType(both).id, packChunk(both), 2);
    EXPECT_NE(lines.find("1.3.18.0.4"), std::string::npos) << lines;
    EXPECT_NE(lines.find("\"ABCDEFGH\""), std::string::npos) << lines;
    EXPECT_TRUE(sameField(p, sf(0xD3A8A8, hex("C4D6C3F0F0F0F0F1" "0000" + fqnName))));
    // An encoding scheme triplet stands in for a missing CGCSGID.
    EXPECT_TRUE(sameField(p, sf(0xD3A8A8, hex("C4D6C3F0F0F0F0F1" "0000" "0650" "2100" "0000" + fqnName))));
}

TEST(ViewRender, TextFollowsTheFontTheMapsAssign) {
    Pair p;
    // A page whose map gives local id 1 a font of code page T1V10500 (500),
    // then text selecting it and a control sequence that does not decode
    // (an absolute move with one byte of its two).
    const AFP_ bpg = sf(0xD3A8AF, hex("D7C7D5F0F0F0F0F1"));
    const AFP_ mcf = sf(0xD3AB8A,
                        hex("001E" "0C028600C3F0D5F2F0F0C1F0" "0C028500E3F1E5F1F0F5F0F0" "04240501"));
    const AFP_ ptx = sf(0xD3EE9B, hex("2BD3" "03F101" "07DBC885939396" "03D3FF" "05DA81C1C2"));
    for (const AFP_& c : {bpg, mcf, ptx}) {
        p.observe(c);
        EXPECT_TRUE(sameField(p, c));
    }
    std::string json;
    DumpState st;
    for (const AFP_& c : {bpg, mcf, ptx}) st.observe(c);
    renderRecordJsonFields(json, chunkType(ptx).id, packChunk(ptx), &st);
    EXPECT_NE(json.find("\"text\":\"Hello\""), std::string::npos) << json;
}

TEST(ViewRender, ARecordThatDoesNotDecodeWritesNothing) {
    std::string out = "kept";
    const AFP_ pgd = sf(0xD3A6AF, hex("0000"));
    EXPECT_THROW(renderRecordLines(out, chunkType(pgd).id, packChunk(pgd), 2), Error);
    EXPECT_THROW(renderRecordJsonFields(out, chunkType(pgd).id, packChunk(pgd)), Error);
    EXPECT_EQ(out, "kept");
}

}  // namespace

namespace {

// The text of a page's PTX as the JSON dump shows it, after the fields
// before it have been observed.
std::string textAfter(DumpState& st, const std::vector<AFP_>& fields) {
    std::string json;
    for (const AFP_& c : fields) {
        st.observe(c);
        if (c.code == 0xD3EE9B) renderRecordJsonFields(json, chunkType(c).id, packChunk(c), &st);
    }
    const std::size_t at = json.find("\"text\":\"");
    return at == std::string::npos ? std::string() : json.substr(at + 8, json.find('"', at + 8) - at - 8);
}

// A map giving local id 1 the code page named (8 EBCDIC characters, hex).
AFP_ mapOf(const std::string& codePageName) {
    return sf(0xD3AB8A, hex("001E" "0C028600C3F0D5F2F0F0C1F0" "0C028500" + codePageName + "04240501"));
}

TEST(DumpStateMaps, EveryPageMapsItsFontsAgainAndALikeMapAssignsAlike) {
    const AFP_ bpg = sf(0xD3A8AF, hex("D7C7D5F0F0F0F0F1"));
    // Select local id 1, then the bytes X'4A' and 'A': a bracket in code
    // page 500, a cent sign in code page 37.
    const AFP_ ptx = sf(0xD3EE9B, hex("2BD3" "03F101" "04DA4AC1"));
    const AFP_ map500 = mapOf("E3F1E5F1F0F5F0F0");  // T1V10500
    const AFP_ map037 = mapOf("E3F1E5F1F0F0F3F7");  // T1V10037
    DumpState st;
    EXPECT_EQ(textAfter(st, {bpg, map037, ptx}), "\u00A2A");
    EXPECT_EQ(textAfter(st, {bpg, map037, ptx}), "\u00A2A") << "the same map on the next page";
    EXPECT_EQ(textAfter(st, {bpg, ptx}), "[A") << "a page without a map maps nothing";
    EXPECT_EQ(textAfter(st, {bpg, map500, ptx}), "[A");
    EXPECT_EQ(textAfter(st, {bpg, map037, ptx}), "\u00A2A") << "a map unlike the last one";
    // A map with a second group that maps nothing is unlike the last one
    // but assigns what its first group does.
    const AFP_ longer = sf(0xD3AB8A, hex("001E" "0C028600C3F0D5F2F0F0C1F0" "0C028500E3F1E5F1F0F0F3F7" "04240501"
                                         "0006" "04240502"));
    EXPECT_EQ(textAfter(st, {bpg, map500, ptx}), "[A");
    EXPECT_EQ(textAfter(st, {bpg, longer, ptx}), "\u00A2A");
    EXPECT_EQ(textAfter(st, {bpg, longer, ptx}), "\u00A2A");
}

}  // namespace
