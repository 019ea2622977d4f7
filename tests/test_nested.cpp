// Nested chunk streams: the framing of triplets, control sequences and
// repeating groups. Reading any payload and writing its chunks back must give
// the payload byte for byte; malformed framing must come back as Raw chunks.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "pressel/stream/nested.hpp"
#include "pressel/records.hpp"

using namespace pressel;

namespace {

template <ChunkFamily C>
Bytes writeItems(const std::vector<C>& items, bool leadChained = false) {
    Builder b;
    Chunks<C>(items).write(b, leadChained);
    return std::move(b).toBytes();
}

template <ChunkFamily C>
std::vector<C> readItems(const std::string& hex, bool leadChained = false) {
    return Chunks<C>::fromPayload(fromHex(hex), leadChained).toVector();
}

std::string hexOf(const Bytes& b) { return hexString(b.span()); }

bool containsPrefix(const Bytes& b) {
    for (std::size_t i = 0; i + 1 < b.size(); ++i)
        if (b[i] == 0x2B && b[i + 1] == 0xD3) return true;
    return false;
}

// ---- random payloads ------------------------------------------------------------
// Mostly well-framed items with occasional damage, so that every branch of the
// readers is reached: good items, lengths of 0, 1 and past the end, prefixes
// cut short, plain noise.
class PayloadGen {
public:
    explicit PayloadGen(unsigned seed) : rng_(seed) {}

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(int percent) { return pick(1, 100) <= percent; }
    byte anyByte() { return static_cast<byte>(pick(0, 255)); }
    void noise(std::vector<byte>& out, int maxLen) {
        for (int i = pick(0, maxLen); i > 0; --i) out.push_back(anyByte());
    }
    void damage(std::vector<byte>& out) {
        if (!out.empty() && chance(15)) out[std::size_t(pick(0, int(out.size()) - 1))] = anyByte();
        if (!out.empty() && chance(10)) out.resize(std::size_t(pick(0, int(out.size()) - 1)));
    }

    std::vector<byte> triplets() {
        std::vector<byte> out;
        if (chance(10)) {
            noise(out, 40);
            return out;
        }
        for (int n = pick(0, 8); n > 0; --n) {
            int len = chance(3) ? pick(0, 255) : pick(2, 24);
            out.push_back(static_cast<byte>(len));
            for (int i = 1; i < len; ++i) out.push_back(anyByte());
        }
        damage(out);
        return out;
    }

    std::vector<byte> controls(bool leadChained) {
        std::vector<byte> out;
        if (chance(10)) {
            noise(out, 40);
            return out;
        }
        bool chained = leadChained;
        for (int n = pick(0, 10); n > 0; --n) {
            if (!chained) {
                if (chance(30)) {
                    // Code points, now and then with a stray X'2B'.
                    for (int i = pick(1, 12); i > 0; --i) out.push_back(chance(10) ? byte(0x2B) : anyByte());
                    continue;
                }
                out.push_back(0x2B);
                out.push_back(0xD3);
            }
            int len = chance(3) ? pick(0, 255) : pick(2, 12);
            byte ft = anyByte();
            out.push_back(static_cast<byte>(len));
            if (len >= 2) out.push_back(ft);
            for (int i = 2; i < len; ++i) out.push_back(anyByte());
            chained = (ft & 1) != 0;
        }
        damage(out);
        return out;
    }

    std::vector<byte> groups() {
        std::vector<byte> out;
        if (chance(10)) {
            noise(out, 40);
            return out;
        }
        for (int n = pick(0, 5); n > 0; --n) {
            std::vector<byte> g = chance(80) ? triplets() : std::vector<byte>{};
            std::size_t len = chance(3) ? std::size_t(pick(0, 300)) : g.size() + 2;
            out.push_back(static_cast<byte>(len >> 8));
            out.push_back(static_cast<byte>(len));
            out.insert(out.end(), g.begin(), g.end());
        }
        damage(out);
        return out;
    }

private:
    std::mt19937 rng_;
};

// Checks everything the framing promises for one payload; returns the items.
template <ChunkFamily C>
std::vector<C> checkFraming(const Bytes& payload, bool leadChained) {
    const auto cs = Chunks<C>::fromPayload(payload, leadChained);
    std::vector<C> items;
    for (auto it = cs.begin(); it != cs.end(); ++it) {
        // The offset of each item is the size of everything written before it.
        const std::size_t before = Chunks<C>(items).writtenSize(leadChained);
        EXPECT_EQ(it.offset(), before);
        items.push_back(*it);
        if (items.size() > payload.size()) {
            ADD_FAILURE() << "more items than payload bytes: the reader does not advance";
            break;
        }
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        const C& c = items[i];
        // Every payload is a slice of the input: nothing is read outside it.
        if (!c.payload.empty()) {
            EXPECT_GE(c.payload.data(), payload.data());
            EXPECT_LE(c.payload.data() + c.payload.size(), payload.data() + payload.size());
        }
        // Only a repeating group can be empty (a group length of 2).
        if (!std::same_as<C, MCF_> || c.frame != Frame::Item) {
            EXPECT_FALSE(c.payload.empty()) << "item " << i;
        }
        if (c.frame == Frame::Raw) {
            EXPECT_EQ(i + 1, items.size()) << "a Raw chunk holds the rest of the payload";
        }
        if constexpr (!std::same_as<C, MCF_>) {
            if (c.frame == Frame::Item) {
                EXPECT_EQ(c.code, c.payload[0]) << "the payload starts with the item's own code";
                EXPECT_LE(c.payload.size(), 254u);
            }
        }
        if constexpr (std::same_as<C, PTX_>) {
            if (c.frame == Frame::Text) {
                EXPECT_FALSE(containsPrefix(c.payload)) << hexOf(c.payload);
                bool afterChain = i == 0 ? leadChained
                                         : items[i - 1].frame == Frame::Text ||
                                               (items[i - 1].frame == Frame::Item && (items[i - 1].code & 1));
                EXPECT_FALSE(afterChain) << "Text never follows Text or a chaining control sequence";
            }
        } else {
            EXPECT_NE(c.frame, Frame::Text);
        }
    }
    EXPECT_EQ(cs.count(), items.size());

    // The list written back, from the lazy sequence and from the materialised one.
    Builder lazy;
    cs.write(lazy, leadChained);
    EXPECT_EQ(std::move(lazy).toBytes(), payload);
    const Chunks<C> listed(cs.toVector());
    EXPECT_EQ(listed.writtenSize(leadChained), payload.size());
    EXPECT_EQ(writeItems(items, leadChained), payload) << hexOf(payload);
    EXPECT_EQ(listed, cs);
    if constexpr (!std::same_as<C, PTX_>) {
        // Single chunks framed one by one give the same bytes.
        Builder one;
        for (const C& c : items) writeChunk(one, c);
        EXPECT_EQ(std::move(one).toBytes(), payload);
    }
    return items;
}

}  // namespace

// ---- any input survives a read and a write --------------------------------------

TEST(NestedProperty, TripletListsRoundTripForAnyInput) {
    PayloadGen gen(20240611);
    std::size_t raw = 0, items = 0;
    for (int n = 0; n < 3000 && !HasFailure(); ++n) {
        auto v = gen.triplets();
        for (const T_& c : checkFraming<T_>(Bytes::adopt(std::move(v)), false))
            (c.frame == Frame::Raw ? raw : items)++;
    }
    // The generator reaches both the good and the damaged paths.
    EXPECT_GT(raw, 100u);
    EXPECT_GT(items, 1000u);
}

TEST(NestedProperty, ControlSequencesRoundTripForAnyInputBothChainStates) {
    PayloadGen gen(7);
    std::size_t count[3] = {};
    for (int n = 0; n < 4000 && !HasFailure(); ++n) {
        const bool lead = n % 2 == 1;
        auto v = gen.controls(lead);
        for (const PTX_& c : checkFraming<PTX_>(Bytes::adopt(std::move(v)), lead)) count[int(c.frame)]++;
    }
    EXPECT_GT(count[int(Frame::Item)], 1000u);
    EXPECT_GT(count[int(Frame::Text)], 300u);
    EXPECT_GT(count[int(Frame::Raw)], 100u);
}

TEST(NestedProperty, RepeatingGroupsRoundTripForAnyInput) {
    PayloadGen gen(99);
    std::size_t raw = 0, items = 0;
    for (int n = 0; n < 3000 && !HasFailure(); ++n) {
        auto v = gen.groups();
        for (const MCF_& g : checkFraming<MCF_>(Bytes::adopt(std::move(v)), false)) {
            (g.frame == Frame::Raw ? raw : items)++;
            // A group's own payload is a triplet list and frames losslessly too.
            if (g.frame == Frame::Item) checkFraming<T_>(g.payload, false);
        }
    }
    EXPECT_GT(raw, 100u);
    EXPECT_GT(items, 1000u);
}

TEST(NestedProperty, PlainNoiseOfEveryShortLengthRoundTrips) {
    // Every 1- and 2-byte payload, and all three families.
    for (int a = 0; a < 256; ++a) {
        checkFraming<T_>(Bytes::copy({byte(a)}), false);
        checkFraming<PTX_>(Bytes::copy({byte(a)}), false);
        checkFraming<PTX_>(Bytes::copy({byte(a)}), true);
        checkFraming<MCF_>(Bytes::copy({byte(a)}), false);
        for (int b = 0; b < 256 && !HasFailure(); b += 5) {
            const Bytes two = Bytes::copy({byte(a), byte(b)});
            checkFraming<T_>(two, false);
            checkFraming<PTX_>(two, false);
            checkFraming<PTX_>(two, true);
            checkFraming<MCF_>(two, false);
        }
    }
}

// ---- triplets ------------------------------------------------------------------------

TEST(NestedTriplets, LengthByteCountsItselfAndPayloadStartsWithTheIdentifier) {
    auto ts = readItems<T_>("04 240105");
    ASSERT_EQ(ts.size(), 1u);
    EXPECT_EQ(ts[0].code, 0x24);
    EXPECT_EQ(ts[0].payload, fromHex("240105"));
    EXPECT_EQ(ts[0].frame, Frame::Item);
    EXPECT_EQ(chunkType(ts[0]).name(), std::string("T_RLI"));

    // Two back to back come out as two chunks, in order; a bare identifier
    // (length 2) is a triplet with no contents.
    ts = readItems<T_>("04 240502 04 260000 02 65");
    ASSERT_EQ(ts.size(), 3u);
    EXPECT_EQ(ts[0].payload, fromHex("240502"));
    EXPECT_EQ(ts[1].payload, fromHex("260000"));
    EXPECT_EQ(ts[2].payload, fromHex("65"));
}

TEST(NestedTriplets, LengthsThatCannotFrameKeepTheRestAsOneRawChunk) {
    struct Case {
        const char* hex;
        std::size_t goodItems;
        const char* rawRest;
    } cases[] = {
        {"00 2401", 0, "002401"},             // length 0
        {"01 24", 0, "0124"},                 // length 1: cannot count the identifier
        {"05 240105", 0, "05240105"},         // runs one byte past the end
        {"FF 01", 0, "FF01"},                 // far past the end
        {"04 240105 00", 1, "00"},            // a good triplet, then a zero length
        {"04 240105 09 0102", 1, "090102"},   // a good triplet, then an overrun
    };
    for (const Case& c : cases) {
        auto ts = readItems<T_>(c.hex);
        ASSERT_EQ(ts.size(), c.goodItems + 1) << c.hex;
        for (std::size_t i = 0; i < c.goodItems; ++i) EXPECT_EQ(ts[i].frame, Frame::Item) << c.hex;
        EXPECT_EQ(ts.back().frame, Frame::Raw) << c.hex;
        EXPECT_EQ(hexOf(ts.back().payload), c.rawRest) << c.hex;
        EXPECT_EQ(chunkType(ts.back()).name(), std::string("T_Raw"));
        EXPECT_EQ(writeItems(ts), fromHex(c.hex)) << c.hex;
    }
    EXPECT_TRUE(readItems<T_>("").empty());
}

TEST(NestedTriplets, DecodingReadsTheTypeFromTheFirstPayloadByte) {
    // The chunk's code is not input to the record reader: the payload is.
    const T_ c = mkChunk<T_>(N1(0x99), fromHex("240502"));
    const T_RLI r = decodeChunk<T_RLI>(c);
    EXPECT_EQ(r.t_rli_Type, N1(0x24));
    EXPECT_EQ(r.t_rli_ResourceType, N1(0x05));
    EXPECT_EQ(r.t_rli_ResourceLocalId, N1(0x02));
    EXPECT_THROW(decodeChunk<T_RLI>(mkChunk<T_>(N1(0x24), fromHex("2405"))), EndOfInput);
}

TEST(NestedTriplets, ItemsThatCannotBeFramedAreRefusedOnWrite) {
    std::vector<byte> big(255, 0x40);
    big[0] = 0x65;
    const T_ tooBig{0x65, Bytes::copy(std::span<const byte>(big)), Frame::Item};
    Builder b;
    EXPECT_THROW(writeChunk(b, tooBig), Error);
    EXPECT_THROW(writeItems(std::vector<T_>{tooBig}), Error);
    // 254 bytes is the largest triplet: its length byte is 255.
    const T_ largest{0x65, Bytes::copy(std::span<const byte>(big.data(), 254)), Frame::Item};
    const Bytes w = writeItems(std::vector<T_>{largest});
    EXPECT_EQ(w.size(), 255u);
    EXPECT_EQ(w[0], 0xFF);
    // The same bytes as Raw are written verbatim: nothing to frame.
    EXPECT_EQ(writeItems(std::vector<T_>{T_{0, tooBig.payload, Frame::Raw}}).size(), 255u);
}

// ---- control sequences ---------------------------------------------------------------

TEST(NestedControls, PrefixChainingAndTextBetweenControlSequences) {
    // SCFL (unchained), code points, STO chained to RMI, code points.
    const std::string hex = "2BD3 03F001 C8C5D3D3D6 2BD3 06F7 00002D00 04C8 0010 E6D6";
    auto cs = readItems<PTX_>(hex);
    ASSERT_EQ(cs.size(), 5u);
    EXPECT_EQ(cs[0].payload, fromHex("F001"));
    EXPECT_EQ(cs[1].frame, Frame::Text);
    EXPECT_EQ(cs[1].payload, fromHex("C8C5D3D3D6"));
    EXPECT_EQ(chunkType(cs[1]).name(), std::string("PTX_Text"));
    EXPECT_EQ(cs[2].code, 0xF7);
    EXPECT_EQ(cs[3].payload, fromHex("C80010")) << "read without a prefix: the STO before it chains";
    EXPECT_EQ(chunkType(cs[3]).name(), std::string("PTX_RMI"));
    EXPECT_EQ(cs[4].frame, Frame::Text);
    EXPECT_EQ(writeItems(cs), fromHex(hex));
}

TEST(NestedControls, LeadChainedListStartsWithoutPrefix) {
    // Presentation text opens with X'2BD3', so its first control sequence is bare.
    auto chained = readItems<PTX_>("03F101 04C8 0010", true);
    ASSERT_EQ(chained.size(), 2u);
    EXPECT_EQ(chained[0].payload, fromHex("F101"));
    EXPECT_EQ(chained[1].payload, fromHex("C80010"));
    EXPECT_EQ(writeItems(chained, true), fromHex("03F101 04C80010"));
    // Written into a list that does not continue a chain, each gets what it needs.
    EXPECT_EQ(writeItems(chained, false), fromHex("2BD3 03F101 04C80010"));
    // The same bytes without a chain before them are text.
    auto text = readItems<PTX_>("03F101 04C8 0010", false);
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0].frame, Frame::Text);
}

TEST(NestedControls, PrefixIsKeptOnlyWhereNoChainingSequencePrecedes) {
    // Records encoded one by one: STO chained, SCFL ends the chain, RMI chained,
    // RMB ends it, then BLN unchained on its own.
    std::vector<PTX_> items{
        encodeChunk(Record<PTX_STO>{{N1(0xF7), N2(0), N2(0x2D00)}}),
        encodeChunk(Record<PTX_SCFL>{{N1(0xF0), N1(1)}}),
        encodeChunk(Record<PTX_RMI>{{N1(0xC9), I2(0x10)}}),
        encodeChunk(Record<PTX_RMB>{{N1(0xD4), I2(0x20)}}),
        encodeChunk(Record<PTX_BLN>{{N1(0xD8)}}),
    };
    EXPECT_EQ(items[0].code, 0xF7);
    EXPECT_EQ(items[0].payload, fromHex("F700002D00"));
    const Bytes w = writeItems(items);
    EXPECT_EQ(hexOf(w), "2BD306F700002D00" "03F001" "2BD304C90010" "04D40020" "2BD302D8");
    EXPECT_EQ(Chunks<PTX_>(items).writtenSize(), w.size());
    EXPECT_EQ(readItems<PTX_>(hexOf(w)), items);
    // A Text chunk ends any chain: the control sequence after it gets a prefix.
    items.insert(items.begin() + 1, PTX_{0, fromHex("C1"), Frame::Text});
    EXPECT_EQ(hexOf(writeItems(items)).substr(0, 24), "2BD306F700002D00C12BD303");
}

TEST(NestedControls, MalformedFramingBecomesRawAndNeverLoops) {
    struct Case {
        const char* hex;
        bool lead;
        std::vector<Frame> frames;
        const char* rawRest;
    } cases[] = {
        {"2BD3 00 F0", false, {Frame::Raw}, "2BD300F0"},               // LL 0
        {"2BD3 01 F0", false, {Frame::Raw}, "2BD301F0"},               // LL 1
        {"2BD3 05 F001", false, {Frame::Raw}, "2BD305F001"},           // past the end
        {"C1C2 2BD3", false, {Frame::Text, Frame::Raw}, "2BD3"},       // prefix at the very end
        {"2BD3", false, {Frame::Raw}, "2BD3"},
        {"2BD3 03F101 01", false, {Frame::Item, Frame::Raw}, "01"},    // chained LL 1
        {"2BD3 03F101 00", false, {Frame::Item, Frame::Raw}, "00"},    // chained LL 0
        {"2BD3 03F101 09C8", false, {Frame::Item, Frame::Raw}, "09C8"},
        {"00", true, {Frame::Raw}, "00"},                              // bad LL as the lead of a chain
        {"2BD3 03F101", false, {Frame::Item}, ""},                     // a chain cut by the end of the data
    };
    for (const Case& c : cases) {
        auto cs = readItems<PTX_>(c.hex, c.lead);
        ASSERT_EQ(cs.size(), c.frames.size()) << c.hex;
        for (std::size_t i = 0; i < cs.size(); ++i) EXPECT_EQ(cs[i].frame, c.frames[i]) << c.hex << " item " << i;
        if (cs.back().frame == Frame::Raw) {
            EXPECT_EQ(hexOf(cs.back().payload), c.rawRest) << c.hex;
            EXPECT_EQ(chunkType(cs.back()).name(), std::string("PTX_Raw"));
        }
        EXPECT_EQ(writeItems(cs, c.lead), fromHex(c.hex)) << c.hex;
    }
}

TEST(NestedControls, X2BWithoutD3IsText) {
    auto cs = readItems<PTX_>("C12BC2 2B");
    ASSERT_EQ(cs.size(), 1u);
    EXPECT_EQ(cs[0].frame, Frame::Text);
    EXPECT_EQ(cs[0].payload, fromHex("C12BC22B"));
    // A lone X'2B' at the end, and X'2B' right before a real prefix.
    cs = readItems<PTX_>("2B 2BD3 02D8");
    ASSERT_EQ(cs.size(), 2u);
    EXPECT_EQ(cs[0].payload, fromHex("2B"));
    EXPECT_EQ(cs[1].payload, fromHex("D8"));
}

TEST(NestedControls, ItemsThatCannotBeFramedAreRefusedOnWrite) {
    std::vector<byte> big(255, 0x40);
    big[0] = 0xDA;
    const PTX_ tooBig{0xDA, Bytes::copy(std::span<const byte>(big)), Frame::Item};
    EXPECT_THROW(writeItems(std::vector<PTX_>{tooBig}), Error);
    const PTX_ empty{0xDA, Bytes{}, Frame::Item};
    EXPECT_THROW(writeItems(std::vector<PTX_>{empty}), Error);
    const PTX_ largest{0xDA, Bytes::copy(std::span<const byte>(big.data(), 254)), Frame::Item};
    EXPECT_EQ(writeItems(std::vector<PTX_>{largest}).size(), 257u);
}

// ---- repeating groups ----------------------------------------------------------------

TEST(NestedGroups, GroupLengthCountsItselfAndGroupsHoldTriplets) {
    auto gs = readItems<MCF_>("000E 0C028600C3F0C8F2F0F0C2F0 0002 0006 04240502");
    ASSERT_EQ(gs.size(), 3u);
    EXPECT_EQ(gs[0].payload, fromHex("0C028600C3F0C8F2F0F0C2F0"));
    EXPECT_TRUE(gs[1].payload.empty());
    EXPECT_EQ(gs[1].frame, Frame::Item);
    EXPECT_EQ(chunkType(gs[1]).name(), std::string("MCF_T"));

    // The empty group is an MCF_T with no triplets, which writes nothing.
    const MCF_T none = decodeChunk<MCF_T>(gs[1]);
    EXPECT_EQ(none.mcf_t_Chunks.count(), 0u);
    EXPECT_EQ(recSizeOf(none), 0u);
    EXPECT_TRUE(recBytes(none).empty());

    const MCF_T two = decodeChunk<MCF_T>(gs[2]);
    auto ts = two.mcf_t_Chunks.toVector();
    ASSERT_EQ(ts.size(), 1u);
    EXPECT_EQ(decodeChunk<T_RLI>(ts[0]).t_rli_ResourceLocalId, N1(2));
    EXPECT_EQ(recSizeOf(two), 4u);
}

TEST(NestedGroups, LengthsThatCannotFrameKeepTheRestAsOneRawChunk) {
    const char* cases[][2] = {
        {"0000 0102", "00000102"},    // length 0
        {"0001 01", "000101"},        // length 1
        {"0009 0102", "00090102"},    // past the end
        {"00", "00"},                 // not even a length
        {"0004 0102 FF", "FF"},       // a good group, then half a length
    };
    for (auto [hex, rest] : cases) {
        auto gs = readItems<MCF_>(hex);
        ASSERT_FALSE(gs.empty());
        EXPECT_EQ(gs.back().frame, Frame::Raw) << hex;
        EXPECT_EQ(hexOf(gs.back().payload), rest) << hex;
        EXPECT_EQ(writeItems(gs), fromHex(hex)) << hex;
    }
}
