// Direct edits of a structured field's bytes (deleting control sequences from
// presentation text, renaming the names of a coded-font map): each must give
// the bytes the filters give, on every sample field and on damaged copies of
// them, or leave the field to the filters.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "fields.hpp"
#include "helpers.hpp"
#include "lossless.hpp"
#include "pressel/records.hpp"
#include "pressel/rewrite/deep_filters.hpp"
#include "pressel/rewrite/rename.hpp"
#include "pressel/stream/io.hpp"

using namespace pressel;
using namespace pressel::test;

namespace {

// Every structured field of the samples of one record type.
std::vector<AFP_> samplesOf(TypeId type) {
    std::vector<AFP_> out;
    for (const std::string& f : allSampleFiles()) {
        try {
            for (const AFP_& c : readAFP(f))
                if (chunkType(c).id == type) out.push_back(AFP_{c.code, Bytes::copy(c.payload.span())});
        } catch (const std::exception&) {
            // A damaged corpus file: the fields before the fault count.
        }
    }
    return out;
}

// Damaged copies of a field: cut short at every length after the identifier,
// and with one, two or three bytes after the identifier overwritten.
std::vector<AFP_> damaged(const AFP_& c, std::mt19937& rng) {
    std::vector<AFP_> out;
    const std::size_t n = c.payload.size();
    for (std::size_t k = 3; k < n; ++k) out.push_back(AFP_{c.code, Bytes::copy(c.payload.span().first(k))});
    if (n <= 3) return out;
    for (int v = 0; v < 40; ++v) {
        std::vector<byte> p(c.payload.begin(), c.payload.end());
        const int hits = 1 + v % 3;
        for (int h = 0; h < hits; ++h) p[3 + rng() % (n - 3)] = byte(rng());
        out.push_back(AFP_{c.code, Bytes::adopt(std::move(p))});
    }
    return out;
}

// What the filters make of a field: its one replacement's payload, nothing
// when they delete it or fail.
struct Slow {
    bool failed = false;
    std::vector<AFP_> out;
};
Slow slow(const AFP_& c, const ChunkFilters<AFP_>& fs) {
    Slow s;
    try {
        s.out = chunkMapFiltersM(c, fs);
    } catch (const std::exception&) {
        s.failed = true;
    }
    return s;
}

// The direct edit agrees with the filters: the same bytes, or the field left
// as it came; Unsupported is always allowed. Returns whether it was handled.
bool agrees(const AFP_& c, RawEdit e, const std::vector<byte>& bytes, const Slow& s) {
    if (e == RawEdit::Unsupported) return false;
    EXPECT_FALSE(s.failed) << "the filters fail on " << hexOf(c.payload);
    if (s.failed) return true;
    EXPECT_EQ(s.out.size(), 1u);
    if (s.out.size() != 1) return true;
    const std::string want = hexOf(s.out[0].payload);
    if (e == RawEdit::Unchanged) EXPECT_EQ(want, hexOf(c.payload)) << "the filters change it";
    else EXPECT_EQ(hexString(std::span<const byte>(bytes)), want) << "from " << hexOf(c.payload);
    return true;
}

struct Strip {
    std::vector<bool> drop;
    ChunkFilters<AFP_> filters;
};
template <class... T>
Strip stripOf() {
    Strip s{std::vector<bool>(idx_tableTypes, false), {}};
    NestedFilters nf;
    ((s.drop[typeIdOf<T>()->index] = true,
      nf.controls.push_back(rewrite<T>([](const Lazy<T>&, ChunkWriter<PTX_>&) {}))),
     ...);
    s.filters = deepFilters(nf);
    return s;
}

// Runs the direct strip on a field and checks it against the filters.
RawEdit checkStrip(const Strip& s, const AFP_& c) {
    std::vector<byte> bytes;
    const RawEdit e = stripControlsRaw(c.payload, s.drop, bytes);
    agrees(c, e, bytes, slow(c, s.filters));
    return e;
}

std::string hexEdit(const Strip& s, const AFP_& c) {
    std::vector<byte> bytes;
    switch (stripControlsRaw(c.payload, s.drop, bytes)) {
    case RawEdit::Unchanged: return "unchanged";
    case RawEdit::Unsupported: return "unsupported";
    default: return hexString(std::span<const byte>(bytes)).substr(12);  // after the 6 header bytes
    }
}

}  // namespace

TEST(DirectStrip, AgreesWithTheFiltersOnEverySampleAndDamagedCopies) {
    const std::vector<AFP_> texts = samplesOf(typeIdOf<PTX>());
    ASSERT_FALSE(texts.empty());
    const Strip strips[] = {stripOf<PTX_NOP>(), stripOf<PTX_TRN>(), stripOf<PTX_SCFL, PTX_AMI>(),
                            stripOf<PTX_Text>(), stripOf<PTX_Raw, PTX_BLN>()};
    std::mt19937 rng(7);
    std::size_t handled = 0, changed = 0, total = 0;
    for (const Strip& s : strips) {
        for (const AFP_& c : texts) {
            std::vector<AFP_> cases = damaged(c, rng);
            cases.push_back(c);
            for (const AFP_& x : cases) {
                const RawEdit e = checkStrip(s, x);
                ++total;
                handled += e != RawEdit::Unsupported;
                changed += e == RawEdit::Changed;
            }
        }
    }
    // Damage rarely sets the flags of an extension or padding: nearly every
    // field is edited directly, and many change.
    EXPECT_GT(handled, total * 9 / 10);
    EXPECT_GT(changed, total / 10);
}

TEST(DirectStrip, ChainsAndTheEscapeField) {
    const Strip nop = stripOf<PTX_NOP>();
    // Escape, an AMI chained to a NOP (deleted), then an SCFL with its own
    // X'2BD3': the SCFL now continues the AMI's chain.
    AFP_ chain = sf(0xD3EE9B, hex("2BD3 04C70010 03F801 2BD303F005"));
    EXPECT_EQ(hexEdit(nop, chain), "2BD304C7001003F005");
    checkStrip(nop, chain);
    // The NOP at the end of a chain, or before code points: the chain is closed.
    AFP_ last = sf(0xD3EE9B, hex("2BD3 04C70010 03F801"));
    EXPECT_EQ(hexEdit(nop, last), "2BD304C60010");
    checkStrip(nop, last);
    AFP_ text = sf(0xD3EE9B, hex("2BD3 04C70010 03F801 C1"));
    EXPECT_EQ(hexEdit(nop, text), "2BD304C60010C1");
    checkStrip(nop, text);
    // A chained NOP (X'F9') is a NOP too; what it chained now follows the AMI.
    AFP_ chainedNop = sf(0xD3EE9B, hex("2BD3 04C70010 03F901 03F005"));
    EXPECT_EQ(hexEdit(nop, chainedNop), "2BD304C7001003F005");
    checkStrip(nop, chainedNop);
    // The NOP opens the list and code points follow: no escape field is left.
    AFP_ first = sf(0xD3EE9B, hex("2BD3 03F801 C1C2"));
    EXPECT_EQ(hexEdit(nop, first), "C1C2");
    checkStrip(nop, first);
    // Only NOPs: the escape field stays, with nothing after it.
    AFP_ only = sf(0xD3EE9B, hex("2BD3 03F901 03F801"));
    EXPECT_EQ(hexEdit(nop, only), "2BD3");
    checkStrip(nop, only);
    // Text that opens with code points, a NOP between two runs of them.
    AFP_ mid = sf(0xD3EE9B, hex("C1 2BD303F801 C2"));
    EXPECT_EQ(hexEdit(nop, mid), "C1C2");
    checkStrip(nop, mid);
}

TEST(DirectStrip, TheTypeOnlyInPartsCutShortOrInBytesThatDoNotFrame) {
    const Strip nop = stripOf<PTX_NOP>();
    // X'F8' as a code point and as a parameter: nothing is a NOP.
    AFP_ inText = sf(0xD3EE9B, hex("F8F8 2BD304C7F8F8"));
    EXPECT_EQ(hexEdit(nop, inText), "unchanged");
    checkStrip(nop, inText);
    // A NOP whose length runs past the end is unframed bytes, not a NOP.
    AFP_ cut = sf(0xD3EE9B, hex("2BD3 04C70010 09F8C1"));
    EXPECT_EQ(hexEdit(nop, cut), "unchanged");
    checkStrip(nop, cut);
    // A NOP before the bytes that do not frame is deleted; they are kept.
    AFP_ before = sf(0xD3EE9B, hex("C1 2BD303F801 2BD3 09"));
    EXPECT_EQ(hexEdit(nop, before), "C12BD309");
    checkStrip(nop, before);
    // A prefix with nothing after it, and a field of its fixed bytes alone.
    checkStrip(nop, sf(0xD3EE9B, hex("2BD3")));
    checkStrip(nop, sf(0xD3EE9B, ""));
    // Extension or padding, or a field too short for its fixed bytes: the filters' work.
    AFP_ padded{0xD3EE9B, Bytes::copy(hex("D3EE9B 080000 2BD303F801 02 02"))};
    EXPECT_EQ(hexEdit(nop, padded), "unsupported");
    checkStrip(nop, padded);
    AFP_ tiny{0xD3EE9B, Bytes::copy(hex("D3EE9B00"))};
    EXPECT_EQ(hexEdit(nop, tiny), "unsupported");
}

TEST(DirectStrip, PassingFieldsOnAgreesWithTheFiltersOnEveryFieldOfTheSamples) {
    // Every field of the samples, whatever its type, and damaged copies of
    // every tenth.
    std::vector<AFP_> fields;
    for (const std::string& f : allSampleFiles()) {
        try {
            for (const AFP_& c : readAFP(f)) fields.push_back(AFP_{c.code, Bytes::copy(c.payload.span())});
        } catch (const std::exception&) {
        }
    }
    ASSERT_GT(fields.size(), 100u);
    std::mt19937 rng(5);
    std::vector<AFP_> cases = fields;
    for (std::size_t i = 0; i < fields.size(); i += 10)
        for (AFP_& d : damaged(fields[i], rng)) cases.push_back(std::move(d));

    auto del = [](auto tag) {
        using T = typename decltype(tag)::type;
        if constexpr (std::is_same_v<FamilyOfT<T>, PTX_>)
            return rewrite<T>([](const Lazy<T>&, ChunkWriter<PTX_>&) {});
        else return rewrite<T>([](const Lazy<T>&, ChunkWriter<T_>&) {});
    };
    std::vector<NestedFilters> sets(4);
    sets[0].controls = {del(std::type_identity<PTX_NOP>{})};
    sets[1].triplets = {del(std::type_identity<T_FQN>{})};
    sets[2].triplets = {del(std::type_identity<T_CMT>{}), del(std::type_identity<T_ROI>{})};
    sets[2].controls = {del(std::type_identity<PTX_TRN>{})};
    sets[3].triplets = {del(std::type_identity<T_Raw>{})};
    for (const NestedFilters& nf : sets) {
        const ChunkFilters<AFP_> filters = deepFilters(nf);
        const DirectEdit edit = directDeletions(nf);
        std::size_t passed = 0;
        for (const AFP_& c : cases) {
            std::vector<byte> bytes;
            const RawEdit e = edit(c, bytes);
            agrees(c, e, bytes, slow(c, filters));
            passed += e == RawEdit::Unchanged;
        }
        // Deleted unframed bytes have no identifier to look for: nothing is
        // passed on without the filters. The other sets pass many fields on
        // (fewer where the identifier is a common byte, as X'02' is).
        if (&nf == &sets[3]) EXPECT_EQ(passed, 0u);
        else EXPECT_GT(passed, cases.size() / 20);
    }
}

// ---- rename -------------------------------------------------------------------
namespace {

std::string group(const std::string& triplets) {
    const std::size_t n = triplets.size() + 2;
    return std::string{char(n >> 8), char(n)} + triplets;
}
std::string fqn(char type, const std::string& name, char format = 0) {
    return triplet(0x02, std::string{type, format} + name);
}

RenameFilters renames(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::vector<Rename> r;
    for (const auto& [from, to] : pairs) r.push_back({e(from), e(to)});
    return renameFilters(r);
}

// The direct rename of a field against the filters, with the counts of both.
RawEdit checkRename(const std::vector<std::pair<std::string, std::string>>& pairs, const AFP_& c,
                    std::string* editedHex = nullptr) {
    RenameFilters direct = renames(pairs), filters = renames(pairs);
    std::vector<byte> bytes;
    const RawEdit e = direct.rewriteRaw(c, bytes);
    const Slow s = slow(c, filters.filters);
    if (agrees(c, e, bytes, s)) EXPECT_EQ(*direct.counts, *filters.counts) << hexOf(c.payload);
    else EXPECT_EQ(*direct.counts, std::vector<std::uint64_t>(pairs.size(), 0)) << "counted without an edit";
    if (editedHex && e == RawEdit::Changed) *editedHex = hexString(std::span<const byte>(bytes)).substr(12);
    return e;
}

}  // namespace

TEST(DirectRename, AgreesWithTheFiltersOnEveryCodedFontMapAndDamagedCopies) {
    const std::vector<AFP_> maps = samplesOf(typeIdOf<MCF>());
    ASSERT_FALSE(maps.empty());
    // The names the samples use, a longer and a shorter new name.
    const std::vector<std::vector<std::pair<std::string, std::string>>> lists = {
        {{"C0H20090", "C0XXXXXX"}, {"T1V10500", "T1ZZZZZZ"}},
        {{"C0H20090", "A-MUCH-LONGER-CODED-FONT-NAME"}},
        {{"T1V10500", "T"}},
    };
    std::mt19937 rng(11);
    std::size_t handled = 0, changed = 0, total = 0;
    for (const auto& pairs : lists) {
        for (const AFP_& c : maps) {
            std::vector<AFP_> cases = damaged(c, rng);
            cases.push_back(c);
            for (const AFP_& x : cases) {
                const RawEdit e = checkRename(pairs, x);
                ++total;
                handled += e != RawEdit::Unsupported;
                changed += e == RawEdit::Changed;
            }
        }
    }
    // Most damaged copies are cut short inside a group, which leaves them
    // to the filters; the rest are edited directly.
    EXPECT_GT(changed, total / 10);
    EXPECT_GT(handled, total / 8);
}

TEST(DirectRename, NamesWholePartlyPaddedAndOfOtherKinds) {
    const std::vector<std::pair<std::string, std::string>> r = {{"XZFUTB0", "NEWFONT12"}};
    std::string got;
    // The name with and without a trailing blank; the group grows by the
    // longer name, the other triplets are kept as they were.
    AFP_ mcf = sf(0xD3AB8A, group(fqn(char(0x8E), e("XZFUTB0 ")) + triplet(0x24, hex("0501"))) +
                                group(fqn(char(0x8E), e("XZFUTB0"))));
    EXPECT_EQ(checkRename(r, mcf, &got), RawEdit::Changed);
    EXPECT_EQ(got, hexOf(Bytes::copy(group(fqn(char(0x8E), e("NEWFONT12")) + triplet(0x24, hex("0501"))) +
                                     group(fqn(char(0x8E), e("NEWFONT12"))))));
    // Names that hold the old name or are held in it, a name in another
    // format, and a font family name: none is renamed.
    for (const std::string& g : {group(fqn(char(0x8E), e("XZFUTB00"))), group(fqn(char(0x8E), e("XZFUTB"))),
                                 group(fqn(char(0x8E), e("XZFUTB0"), char(0x10))),
                                 group(fqn(char(0x07), e("XZFUTB0")))}) {
        AFP_ c = sf(0xD3AB8A, g);
        EXPECT_EQ(checkRename(r, c), RawEdit::Unchanged) << hexOf(c.payload);
    }
    // A fully qualified name too short for its fixed bytes, the name in the
    // triplet after it.
    EXPECT_EQ(checkRename(r, sf(0xD3AB8A, group(hex("03028E") + triplet(0x01, e("XZFUTB0"))))), RawEdit::Unchanged);
}

TEST(DirectRename, FieldsLeftToTheFilters) {
    const std::vector<std::pair<std::string, std::string>> r = {{"XZFUTB0", "LONGER-THAN-EIGHT"}};
    const std::string named = group(fqn(char(0x8E), e("XZFUTB0")));
    // A group cut short, a triplet running past its group, a group length
    // too small to count itself.
    EXPECT_EQ(checkRename(r, sf(0xD3AB8A, named + hex("0010") + e("XZFUTB0"))), RawEdit::Unsupported);
    EXPECT_EQ(checkRename(r, sf(0xD3AB8A, hex("000A 0C028E00") + e("XZFUTB0"))), RawEdit::Unsupported);
    EXPECT_EQ(checkRename(r, sf(0xD3AB8A, named + hex("0001"))), RawEdit::Unsupported);
    EXPECT_EQ(checkRename(r, sf(0xD3AB8A, named + hex("00"))), RawEdit::Unsupported);
    // A Resource Object Include triplet, whose 8-byte name field does not
    // take a longer name: the filters fail with their own message.
    const std::string roi = triplet(0x6C, hex("92") + e("XZFUTB0 ") + hex("000000 000000"));
    EXPECT_EQ(checkRename(r, sf(0xD3AB8A, group(roi))), RawEdit::Unsupported);
    // Other record types, and a map with padding.
    EXPECT_EQ(checkRename(r, sf(0xD3A090, fqn(0x0B, e("XZFUTB0")))), RawEdit::Unsupported);
    AFP_ padded{0xD3AB8A, Bytes::copy(hex("D3AB8A 080000") + named + hex("0202"))};
    EXPECT_EQ(checkRename(r, padded), RawEdit::Unsupported);
    // A group that grows past its 2-byte length.
    const std::vector<std::pair<std::string, std::string>> big = {{"A", std::string(200, 'B')}};
    std::string triplets;
    while (triplets.size() + 8 < 65000) triplets += fqn(char(0x8E), e("A"));
    std::string dummy;
    EXPECT_EQ(checkRename(big, sf(0xD3AB8A, group(triplets)), &dummy), RawEdit::Unsupported);
}

TEST(DirectRename, MapsThatComeAgainAreEditedAndCountedAsBefore) {
    // Six maps (more than the edits kept) in a random order, some naming two
    // renamed names, one none, under two tables that rename the same name
    // differently: every edit must be the one its own table gives the
    // field, and the counts those of the filters over the same fields.
    std::vector<AFP_> maps;
    for (int i = 0; i < 6; ++i) {
        std::string g = group(fqn(char(0x8E), e("XZFUTB0")) + triplet(0x24, std::string{char(5), char(i)}));
        if (i % 2) g += group(fqn(char(0x85), e("T1V10500")));
        maps.push_back(sf(0xD3AB8A, i == 5 ? group(fqn(char(0x8E), e("OTHER"))) : g));
    }
    const std::vector<std::pair<std::string, std::string>> ra = {{"XZFUTB0", "NEWFONT1"}, {"T1V10500", "T1V1"}};
    const std::vector<std::pair<std::string, std::string>> rb = {{"XZFUTB0", "B"}};
    RenameFilters a = renames(ra), b = renames(rb), fa = renames(ra), fb = renames(rb);
    std::mt19937 rng(5);
    std::uint64_t named = 0;
    for (int step = 0; step < 120; ++step) {
        const std::size_t i = rng() % maps.size();
        RenameFilters* t = step % 7 == 3 ? &b : &a;
        std::vector<byte> bytes;
        const RawEdit got = t->rewriteRaw(maps[i], bytes);
        const Slow s = slow(maps[i], (t == &a ? fa : fb).filters);
        EXPECT_TRUE(agrees(maps[i], got, bytes, s)) << "map " << i << " step " << step;
        EXPECT_EQ(got, i == 5 ? RawEdit::Unchanged : RawEdit::Changed);
        named += t == &a && i != 5;
    }
    EXPECT_EQ(*a.counts, *fa.counts);
    EXPECT_EQ(*b.counts, *fb.counts);
    EXPECT_EQ((*a.counts)[0], named);
}
