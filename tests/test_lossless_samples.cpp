// Nothing lost in a rewrite of the sample files: every field and nested item
// comes back byte for byte, with and without an extension and padding, through
// decoding and encoding and through handlers that push back what they decoded;
// deleting any control sequence writes text that reads back.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ranges>
#include <string>
#include <vector>

#include "helpers.hpp"
#include "lossless.hpp"
#include "pressel/view/check.hpp"
#include "pressel/filter.hpp"
#include "pressel/stream/io.hpp"

using namespace pressel;
using namespace pressel::test;

namespace pressel::test {

template void addPushBackHandlers<0>(ChunkFilters<AFP_>&);

}  // namespace pressel::test

namespace {

// The field with an extension and/or padding inserted and their flags set.
AFP_ withFraming(const AFP_& c, std::string_view extHex, std::string_view padHex) {
    const Bytes ext = fromHex(extHex), pad = fromHex(padHex);
    std::vector<byte> v(c.payload.begin(), c.payload.begin() + 6);
    if (!ext.empty()) v[3] |= 0x80;
    if (!pad.empty()) v[3] |= 0x08;
    v.insert(v.end(), ext.begin(), ext.end());
    v.insert(v.end(), c.payload.begin() + 6, c.payload.end());
    v.insert(v.end(), pad.begin(), pad.end());
    return AFP_{c.code, Bytes::adopt(std::move(v))};
}

}  // namespace

namespace {

// A control-sequence list in a form that ignores chain framing: the function
// type without its chaining bit, the parameters, and the code points between
// them run together.
std::vector<std::string> canonical(const std::vector<PTX_>& items) {
    std::vector<std::string> out;
    bool lastText = false;
    for (const PTX_& c : items) {
        if (c.frame == Frame::Item) {
            out.push_back(zeropad(1, c.code & 0xFE) + hexOf(c.payload.dropFront(1)));
            lastText = false;
        } else if (lastText) {
            out.back() += hexOf(c.payload);
        } else {
            out.push_back("text " + hexOf(c.payload));
            lastText = true;
        }
    }
    return out;
}

}  // namespace

TEST(Lossless, DeletingAnyControlSequenceOfTheSamplesWritesTextThatReadsBack) {
    std::size_t deletions = 0, openingWithOneCodePoint = 0;
    for (const std::string& path : allSampleFiles()) {
        for (const AFP_& c : readAFP(path)) {
            if (!isA<PTX>(c)) continue;
            const std::vector<PTX_> items = decodeChunk<PTX>(c).ptx_Chunks.toVector();
            for (std::size_t k = 0; k < items.size() && k < 40; ++k) {
                if (items[k].frame != Frame::Item) continue;
                // One filter per record type of the list, so that every item
                // passes one handler: the k-th one is deleted.
                std::size_t at = 0;
                NestedFilters nf;
                std::vector<TypeId> types;
                for (const PTX_& x : items) {
                    const ChunkType t = chunkType(x);
                    if (std::find(types.begin(), types.end(), t.id) != types.end()) continue;
                    types.push_back(t.id);
                    nf.controls.push_back({t, [&at, k](const PTX_& y) {
                                               return at++ == k ? std::vector<PTX_>{} : std::vector<PTX_>{y};
                                           }});
                }
                std::vector<PTX_> expected = items;
                expected.erase(expected.begin() + std::ptrdiff_t(k));
                if (!expected.empty() && expected[0].frame == Frame::Text && expected[0].payload.size() == 1)
                    ++openingWithOneCodePoint;
                std::vector<AFP_> out;
                ASSERT_NO_THROW(out = chunkMapFiltersM(c, deepFilters(nf))) << path << " item " << k;
                ASSERT_EQ(out.size(), 1u);
                const PTX back = decodeChunk<PTX>(out[0]);
                EXPECT_EQ(canonical(back.ptx_Chunks.toVector()), canonical(expected)) << path << " item " << k;
                ++deletions;
            }
        }
    }
    EXPECT_GT(deletions, 100u);
    RecordProperty("deletionsOpeningWithOneCodePoint", int(openingWithOneCodePoint));
}

// ---- every field and nested item of the sample files ------------------------------------

namespace {

struct RoundTrips {
    std::size_t fields = 0, items = 0, notDecoded = 0;
    std::map<std::string, std::size_t> partial;  // records whose fields leave a tail unread

    // The items of a nested list come apart and together again (chunkDecon,
    // chunkCon), each decodes and encodes to its own payload, and the list
    // rebuilt from them writes the bytes it was read from.
    template <ChunkFamily C>
    void list(const Bytes& src, bool leadChained, bool groupsHoldTriplets, const std::string& where) {
        std::vector<C> rebuilt;
        for (const C& c : Chunks<C>::fromPayload(src, leadChained)) {
            ++items;
            const C again = chunkCon<C>(chunkDecon(c));
            EXPECT_EQ(again, c) << where;
            const RecordOps& ops = recordOps(chunkType(c).id);
            const Bytes& b = packChunk(c);
            try {
                if (ops.covered(b) == b.size()) EXPECT_EQ(ops.reencode(b), b) << where << " " << ops.type->name;
                else ++partial[ops.type->name];
            } catch (const Error&) {
                ++notDecoded;
            }
            if constexpr (std::same_as<C, MCF_>)
                if (groupsHoldTriplets && c.frame == Frame::Item) list<T_>(c.payload, false, false, where);
            rebuilt.push_back(again);
        }
        Builder out;
        Chunks<C>(std::move(rebuilt), leadChained).write(out);
        EXPECT_EQ(hexOf(std::move(out).toBytes()), hexOf(src)) << where;
    }

    // The field decodes by its own type and encodes to the same bytes, both
    // through decodeRecord/encodeChunk and through a handler that pushes back
    // what it decoded; so does each of its nested items.
    void field(const AFP_& c, const AFP_& plain, const ChunkFilters<AFP_>& pushBack, const std::string& where) {
        ++fields;
        const RecordOps& ops = recordOps(chunkType(c).id);
        const Bytes packed = packChunk(c);
        std::size_t covered = 0;
        try {
            covered = ops.covered(packed);
        } catch (const Error&) {
            ++notDecoded;
            return;
        }
        if (covered == packed.size()) {
            EXPECT_EQ(roundTrip(c), c) << where << " " << ops.type->name;
            const std::vector<AFP_> out = chunkMapFiltersM(c, pushBack);
            EXPECT_EQ(out, std::vector<AFP_>{c}) << where << " " << ops.type->name;
        } else {
            ++partial[ops.type->name];
        }
        // The fields lie where they lie without extension and padding.
        EXPECT_EQ(packed, packChunk(plain)) << where;
        NestedList nested;
        if (!nestedListOf(c, nested)) return;
        switch (nested.family) {
        case Family::T: list<T_>(nested.bytes, false, false, where); break;
        case Family::PTX: list<PTX_>(nested.bytes, nested.leadChained, false, where); break;
        case Family::MCF: list<MCF_>(nested.bytes, false, nested.groupsHoldTriplets, where); break;
        default: break;
        }
    }
};

}  // namespace

TEST(Lossless, EveryFieldAndNestedItemOfTheSamplesRoundTripsWithAndWithoutExtensionAndPadding) {
    const ChunkFilters<AFP_> pushBack = pushBackWhatWasDecoded();
    // Extension and padding inserted into every field: an extension of
    // three bytes, padding in the one-byte form, both with padding in the
    // three-byte form, an extension of its length byte alone.
    const std::pair<const char*, const char*> variants[] = {
        {"", ""}, {"03AABB", ""}, {"", "EEEE03"}, {"02FF", "0000000500"}, {"01", "01"}};
    RoundTrips rt;
    std::size_t files = 0;
    for (const std::string& path : allSampleFiles()) {
        ++files;
        AfpStream s = readAFP(path);
        for (auto it = s.begin(); it != s.end(); ++it) {
            for (const auto& [ext, pad] : variants) {
                const AFP_ c = withFraming(*it, ext, pad);
                rt.field(c, *it, pushBack, path + " @" + std::to_string(it.offset()) + " +" + ext + "/" + pad);
            }
        }
    }
    EXPECT_GT(files, 10u);
    EXPECT_GT(rt.fields, 5 * 150u);
    EXPECT_GT(rt.items, 1000u);
    EXPECT_EQ(rt.notDecoded, 0u);
    // Only the font index leaves bytes over in the samples: one of them is not
    // a whole number of 28-byte entries (its group length comes from FNC).
    for (const auto& [name, n] : rt.partial) EXPECT_EQ(name, "FNI") << n << " records";
}
