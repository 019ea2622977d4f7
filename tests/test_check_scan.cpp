// The validator's record tables against the decoder they stand in for: the
// lengths each nested record reads from, what a structured field's record
// covers and where its nested list starts, and the findings on broken
// copies of real files, which must be word for word those of decoding.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "../src/afp_index.hpp"
#include "../src/check_scan.hpp"
#include "helpers.hpp"
#include "pressel/catalogue.hpp"
#include "pressel/records.hpp"
#include "pressel/view/check.hpp"

namespace pressel {
namespace {

using checkscan::Answer;

// Whether decoding record type `t` from `bytes` succeeds, and what it covers.
bool decodes(TypeId t, const Bytes& bytes, std::size_t& covered) {
    try {
        covered = recordOps(t).covered(bytes);
        return true;
    } catch (const Error&) {
        return false;
    }
}

// Payloads of n bytes starting with `lead` (the code bytes), the rest filled
// with `fill`, or with random bytes when `fill` is negative.
Bytes payload(std::initializer_list<byte> lead, std::size_t n, int fill, std::mt19937& rng) {
    std::string s(n, char(fill < 0 ? 0 : fill));
    if (fill < 0)
        for (char& ch : s) ch = char(rng());
    std::size_t i = 0;
    for (byte b : lead)
        if (i < n) s[i++] = char(b);
    return Bytes::copy(s);
}

void nestedTableAgrees(const std::array<checkscan::NestedCode, 256>& table, const std::array<std::uint8_t, 256>& sure,
                       TypeId (*typeOf)(std::uint8_t)) {
    std::mt19937 rng(7);
    int measured = 0;
    for (int code = 0; code < 256; ++code) {
        const checkscan::NestedCode& e = table[std::size_t(code)];
        const TypeId t = typeOf(std::uint8_t(code));
        ASSERT_EQ(e.index, t->index) << "code " << code;
        // Below the sure length the full table decides; from it on every length reads.
        for (std::size_t n = sure[std::size_t(code)]; n < 255; ++n) EXPECT_TRUE(e.fitsLength(n)) << t->name << " " << n;
        if (sure[std::size_t(code)] > 0) {
            EXPECT_FALSE(e.fitsLength(sure[std::size_t(code)] - 1u)) << t->name;
        }
        if (e.byLength != Answer::Fits) {
            EXPECT_EQ(sure[std::size_t(code)], 255) << t->name;
            // A code the tables leave alone is never passed by them.
            for (std::size_t n = 0; n < 256; ++n) EXPECT_FALSE(e.fitsLength(n)) << t->name << " " << n;
            continue;
        }
        ++measured;
        for (std::size_t n = 0; n < 255; ++n) {
            for (int fill : {0x00, 0xFF, -1}) {
                std::size_t covered = 0;
                const Bytes b = payload({byte(code)}, n, fill, rng);
                EXPECT_EQ(e.fitsLength(n), decodes(t, b, covered)) << t->name << " of " << n << " bytes, fill " << fill;
            }
        }
    }
    EXPECT_GT(measured, 20);
}

TEST(CheckScan, TripletTablesAgreeWithDecodingAtEveryLength) {
    nestedTableAgrees(checkscan::tripletCodes, checkscan::tripletSure, tripletTypeOf);
}

TEST(CheckScan, ControlSequenceTablesAgreeWithDecodingAtEveryLength) {
    nestedTableAgrees(checkscan::controlCodes, checkscan::controlSure, controlTypeOf);
}

// Every structured-field record the tables measure: same verdict, same
// bytes covered, same nested list as decoding; the least size is the
// smallest payload decoding accepts.
TEST(CheckScan, FieldTablesAgreeWithDecoding) {
    std::mt19937 rng(11);
    int measured = 0;
    const std::uint32_t codes[] = {
#define PRESSEL_X(code, name) code,
        PRESSEL_AFP_CODES(PRESSEL_X)
#undef PRESSEL_X
    };
    for (std::uint32_t code : codes) {
        const TypeId t = afpTypeOf(code);
        const int least = checkscan::leastFieldSize(t->index);
        if (least < 0) continue;
        ++measured;
        const std::initializer_list<byte> head = {byte(code >> 16), byte(code >> 8), byte(code), 0, 0, 0};
        int smallest = -1;
        for (std::size_t n = 0; n < std::size_t(least) + 40; ++n) {
            for (int fill : {0x00, 0x2B, -1, -2}) {
                Bytes b = payload(head, n, fill < -1 ? -1 : fill, rng);
                if (fill == -2 && n >= 8) {
                    // An escape sequence where a control-sequence list may start.
                    std::string s(b.chars());
                    for (std::size_t at = 6; at + 1 < n; at += 2) s[at] = char(0x2B), s[at + 1] = char(0xD3);
                    b = Bytes::copy(s);
                }
                std::size_t covered = 0;
                const bool ok = decodes(t, b, covered);
                checkscan::FieldScan scan;
                const Answer a = checkscan::scanField(t->index, b.data(), b.size(), scan);
                ASSERT_NE(a, Answer::Decode) << t->name;
                ASSERT_EQ(a == Answer::Fits, ok) << t->name << " of " << n << " bytes";
                if (ok && smallest < 0) smallest = int(n);
                if (!ok) continue;
                EXPECT_EQ(scan.covered, covered) << t->name << " of " << n << " bytes";
                NestedList list;
                const bool hasList = nestedListOf(AFP_{code, b}, list);
                ASSERT_EQ(hasList, scan.list != Family::Other) << t->name;
                if (!hasList) continue;
                EXPECT_EQ(scan.list, list.family) << t->name;
                EXPECT_EQ(scan.listAt, list.offset) << t->name << " of " << n << " bytes";
                EXPECT_EQ(scan.leadChained, list.leadChained) << t->name << " of " << n << " bytes";
                EXPECT_EQ(scan.groupsHoldTriplets, list.groupsHoldTriplets) << t->name;
            }
        }
        EXPECT_EQ(least, smallest) << t->name;
    }
    EXPECT_GT(measured, 100);
}

TEST(CheckScan, StructuredFieldIdentifiersTypeAsTheirTableSays) {
    std::set<std::uint32_t> known;
#define PRESSEL_X(code, type) \
    known.insert(code);       \
    EXPECT_STREQ(afpTypeOf(code)->name, #type); \
    EXPECT_EQ(afpIndexOf(code), idx_##type);
    PRESSEL_AFP_CODES(PRESSEL_X)
#undef PRESSEL_X
    // Neighbours of every identifier, and identifiers of another class.
    for (std::uint32_t code : known)
        for (std::uint32_t other : {code ^ 0x01u, code ^ 0x100u, code ^ 0x800000u, code & 0xFFFFu, code | 0x1000000u})
            if (!known.count(other)) {
                EXPECT_EQ(afpTypeOf(other)->index, idx_Unknown) << std::hex << other;
                EXPECT_EQ(afpIndexOf(other), idx_Unknown) << std::hex << other;
            }
}

// ---- the findings of both paths on broken copies of the samples -----------

std::vector<Finding> findings(const Bytes& bytes, bool tables) {
    std::vector<Finding> out;
    checkscan::checkStreamWith(memorySource(bytes), [&](const Finding& f) { out.push_back(f); }, tables);
    return out;
}

std::string listing(const std::vector<Finding>& fs) {
    std::string s;
    for (const Finding& f : fs) s += std::to_string(f.offset) + " " + severityName(f.severity) + " " + f.message + "\n";
    return s;
}

// A structured field from its identifier, flag byte and hex data.
std::string field(std::uint32_t code, byte flags, const std::string& dataHex) {
    std::string p = {char(code >> 16), char(code >> 8), char(code), char(flags), 0, 0};
    p.append(fromHex(dataHex).chars());
    return std::string{char(0x5A), char((p.size() + 2) >> 8), char(p.size() + 2)} + p;
}

// Cases random damage rarely makes: an introducer extension and padding
// (the record bytes are cut out of the field), triplets and control
// sequences one byte short or one byte over, chains left open, Ends out of
// order and with other names.
TEST(CheckScan, HandBuiltFieldsAreReportedAsDecodingReportsThem) {
    const std::string begin = field(0xD3A8AF, 0, "C1C2C3C4C5C6C7C8" "0C02C1C2C3C4C5C6C7C8C9C1");
    const std::vector<std::string> streams = {
        // BPG with an extension of 3 bytes and a triplet that overruns:
        // the finding's offset counts the extension in.
        field(0xD3A8AF, 0x80, "03AABB" "C1C2C3C4C5C6C7C8" "0D02C1C2C3C4C5C6C7C8C9C1") + field(0xD3A9AF, 0, "C1C2C3C4C5C6C7C8"),
        // The same with 2 bytes of padding, and with padding that overruns.
        field(0xD3A8AF, 0x08, "C1C2C3C4C5C6C7C8" "0C02C1C2C3C4C5C6C7C8C9C1" "0002"),
        field(0xD3A8AF, 0x88, "02AA" "C1C2C3C4C5C6C7C8" "03" "FF"),
        // A triplet that overruns by one, one too short for its record, an unknown one.
        begin + field(0xD3A8AF, 0, "C1C2C3C4C5C6C7C8" "0D02C1C2C3C4C5C6C7C8C9C1"),
        field(0xD3A8AF, 0, "C1C2C3C4C5C6C7C8" "02020301" "0301AA"),
        field(0xD3A8AF, 0, "C1C2C3C4C5C6C7C8" "03F0AA"),
        // Control sequences: a chain left open, one running past the end, an unknown one, text between.
        field(0xD3EE9B, 0, "2BD304D90001"),
        field(0xD3EE9B, 0, "C1C22BD306D8000001C3C4" "2BD303F7"),
        field(0xD3EE9B, 0, "2BD30AF6"),
        field(0xD3EE9B, 0, "2BD304FE00" "C1" "2BD302F8"),
        // Ends: a stray one, one that skips an open Begin, one with another
        // name (X'FFFF' names any: the last stream is clean).
        field(0xD3A9AF, 0, "C1C2C3C4C5C6C7C8"),
        begin + field(0xD3A8C9, 0, "") + field(0xD3A9AF, 0, "C1C2C3C4C5C6C7C9"),
        // Records cut short: PGD without its extents, a PGD with no area.
        field(0xD3A6AF, 0, "0000"),
        field(0xD3A6AF, 0, "000009600960000000000000"),
        begin + field(0xD3A9AF, 0, "FFFFC3C4C5C6C7C8"),
    };
    for (std::size_t i = 0; i < streams.size(); ++i) {
        const Bytes b = Bytes::copy(streams[i]);
        const auto fast = findings(b, true);
        EXPECT_EQ(fast.empty(), i + 1 == streams.size()) << hexString(b.span());
        EXPECT_EQ(listing(fast), listing(findings(b, false))) << hexString(b.span());
    }
}

TEST(CheckScan, FindingsOnBrokenCopiesAreThoseOfDecoding) {
    std::mt19937 rng(2026);
    int variants = 0, withFindings = 0;
    for (const std::string& path : test::allSampleFiles()) {
        const std::string file = test::readFileString(path);
        if (file.size() > 70000) continue;  // the large corpus files add time, not cases
        auto same = [&](const std::string& s, const std::string& what) {
            const Bytes b = Bytes::copy(s);
            const auto fast = findings(b, true), slow = findings(b, false);
            ++variants;
            if (!fast.empty()) ++withFindings;
            EXPECT_EQ(listing(fast), listing(slow)) << path << ": " << what;
        };
        same(file, "as it is");
        for (int k = 0; k < 60; ++k) {
            std::string s = file;
            const int changes = 1 + int(rng() % 4);
            for (int i = 0; i < changes; ++i) {
                const std::size_t at = rng() % s.size();
                // Lengths and codes are what the checks read: small values
                // and ones near a length byte's limits break them best.
                const byte values[] = {0x00, 0x01, 0x02, 0x03, 0x2B, 0xD3, 0xFF, byte(rng())};
                s[at] = char(values[rng() % std::size(values)]);
            }
            same(s, "overwritten");
            same(file.substr(0, rng() % file.size()), "cut");
        }
    }
    EXPECT_GT(variants, 1000);
    EXPECT_GT(withFindings, variants / 2);
}

}  // namespace
}  // namespace pressel
