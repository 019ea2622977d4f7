// Filters, the output queue and nested streams: the order in which handlers
// run and chunks come out, deletion and splitting, selection by record type,
// decoding on demand, strict nested walks, chain framing of rewritten
// presentation text, and streaming a whole file through filters.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "helpers.hpp"
#include "pressel/filter.hpp"
#include "pressel/stream/io.hpp"

using namespace pressel;
using namespace pressel::test;

namespace {

Bytes hex(std::string_view h) { return fromHex(h); }
PTX_ cs(std::string_view payloadHex) {
    Bytes p = hex(payloadHex);
    return PTX_{p[0], p, Frame::Item};
}
T_ trip(std::string_view payloadHex) {
    Bytes p = hex(payloadHex);
    return T_{p[0], p, Frame::Item};
}
// A structured field: identifier, flag and reserved bytes, data.
AFP_ sf(std::uint32_t code, std::string_view dataHex = "") {
    return AFP_{code, hex(zeropad(3, code) + "000000" + std::string(dataHex))};
}
std::string hexOf(const Bytes& b) { return hexString(b.span()); }
std::vector<std::string> hexes(const std::vector<PTX_>& v) {
    std::vector<std::string> r;
    for (const auto& c : v) r.push_back(hexOf(c.payload));
    return r;
}

// A handler that logs the payloads it sees and yields its input.
ChunkFilter<PTX_> logging(ChunkType t, std::vector<std::string>& log, std::string tag) {
    return {t, [&log, tag](const PTX_& c) {
                log.push_back(tag + ":" + hexOf(c.payload));
                return std::vector<PTX_>{c};
            }};
}

const ChunkType tSCFL = chunkTypeOf<PTX_SCFL>(), tNOP = chunkTypeOf<PTX_NOP>(), tAMB = chunkTypeOf<PTX_AMB>();

TEST(Filters, NoSelectedFilterYieldsTheChunkItself) {
    PTX_ c = cs("F001");
    std::vector<std::string> log;
    EXPECT_EQ(chunkMapFiltersM(c, {}), std::vector<PTX_>{c});
    EXPECT_EQ(chunkMapFiltersM(c, {logging(tNOP, log, "n")}), std::vector<PTX_>{c});
    chunkMapFiltersM_(c, ChunkEffects<PTX_>{});
    EXPECT_TRUE(log.empty());
}

TEST(Filters, DeletionStopsLaterHandlersForThatChunk) {
    std::vector<std::string> log;
    ChunkFilters<PTX_> fs{rewrite<PTX_SCFL>([](const Lazy<PTX_SCFL>&, ChunkWriter<PTX_>&) {}),
                          logging(tSCFL, log, "second")};
    EXPECT_TRUE(chunkMapFiltersM(cs("F001"), fs).empty());
    EXPECT_TRUE(log.empty());
}

TEST(Filters, LaterHandlersRunOnEveryPieceWhateverItsType) {
    std::vector<std::string> log;
    // The first handler splits an SCFL into itself and a NOP; the second,
    // selected for SCFL, runs on both pieces in order.
    ChunkFilters<PTX_> split{rewrite<PTX_SCFL>([](const PTX_SCFL& v, ChunkWriter<PTX_>& w) {
                                 w.push(v);
                                 w.push(PTX_NOP{N1(0xF8), Buffer0{hex("AA")}});
                             }),
                             logging(tSCFL, log, "b")};
    auto out = chunkMapFiltersM(cs("F001"), split);
    EXPECT_EQ(hexes(out), (std::vector<std::string>{"F001", "F8AA"}));
    EXPECT_EQ(log, (std::vector<std::string>{"b:F001", "b:F8AA"}));

    // A first handler that turns the control sequence into another type: the
    // second still runs on the result; a NOP filter is never selected.
    log.clear();
    ChunkFilters<PTX_> change{logging(tNOP, log, "nop"),
                              rewrite<PTX_SCFL>([](const Lazy<PTX_SCFL>&, ChunkWriter<PTX_>& w) {
                                  w.push(PTX_NOP{N1(0xF8), Buffer0{}});
                              }),
                              logging(tSCFL, log, "scfl")};
    EXPECT_EQ(hexes(chunkMapFiltersM(cs("F001"), change)), std::vector<std::string>{"F8"});
    EXPECT_EQ(log, std::vector<std::string>{"scfl:F8"});
}

TEST(Filters, EffectOnlyHandlersSeeTheInputInListOrder) {
    std::vector<std::string> log;
    ChunkEffects<PTX_> fs{
        effect<PTX_SCFL>([&](const PTX_SCFL& v) { log.push_back("1:" + std::to_string(v.ptx_scfl_LocalId.value)); }),
        effect<PTX_NOP>([&](const Lazy<PTX_NOP>&) { log.push_back("nop"); }),
        effect<PTX_SCFL>([&](const PTX_SCFL& v) { log.push_back("2:" + std::to_string(v.ptx_scfl_LocalId.value)); }),
    };
    chunksMapFiltersM_(std::vector<PTX_>{cs("F005"), cs("F107")}, fs);
    EXPECT_EQ(log, (std::vector<std::string>{"1:5", "2:5", "1:7", "2:7"}));
    // Sequence-producing filters in the effect-only form: their output is dropped.
    log.clear();
    chunkMapFiltersM_(cs("F001"), ChunkFilters<PTX_>{logging(tSCFL, log, "a"), logging(tSCFL, log, "b")});
    EXPECT_EQ(log, (std::vector<std::string>{"a:F001", "b:F001"}));
}

TEST(Filters, SelectionFollowsTheCodeTables) {
    std::vector<std::string> log;
    ChunkFilters<PTX_> fs{logging(tAMB, log, "amb"), logging(chunkTypeOf<PTX_Unknown>(), log, "unk")};
    chunkMapFiltersM(cs("D20001"), fs);
    chunkMapFiltersM(cs("D30001"), fs);
    chunkMapFiltersM(cs("7A01"), fs);
    EXPECT_EQ(log, (std::vector<std::string>{"amb:D20001", "amb:D30001", "unk:7A01"}));
    EXPECT_TRUE(isA<PTX_AMB>(cs("D30001")));
    EXPECT_FALSE(isA<PTX_AMB>(cs("7A01")));

    // A structured field no table lists is matched by Unknown filters only.
    int unknown = 0, nop = 0;
    ChunkEffects<AFP_> afs{effect<Unknown>([&](const Lazy<Unknown>&) { ++unknown; }),
                           effect<NOP>([&](const Lazy<NOP>&) { ++nop; })};
    chunkMapFiltersM_(sf(0xD3FFFF, "01"), afs);
    chunkMapFiltersM_(sf(0xD3EEEE, "01"), afs);
    EXPECT_EQ(unknown, 1);
    EXPECT_EQ(nop, 1);
}

TEST(Filters, TheIndexSelectsWhatTheListSelectsInListOrder) {
    // Two SCFL filters around a NOP filter and one for the pair X'D2'/X'D3',
    // the first SCFL filter splitting its input; a filter with no type is
    // never selected.
    std::vector<std::string> viaList, viaIndex;
    auto filters = [](std::vector<std::string>& log) {
        return ChunkFilters<PTX_>{
            logging(tSCFL, log, "a"),
            rewrite<PTX_SCFL>([](const PTX_SCFL& v, ChunkWriter<PTX_>& w) {
                w.push(v);
                w.push(PTX_NOP{N1(0xF8), Buffer0{hex("01")}});
            }),
            logging(tNOP, log, "n"),
            {ChunkType{}, [&log](const PTX_& c) {
                 log.push_back("none");
                 return std::vector<PTX_>{c};
             }},
            logging(tSCFL, log, "b"),
            logging(tAMB, log, "amb"),
        };
    };
    const ChunkFilters<PTX_> list = filters(viaList), indexed = filters(viaIndex);
    const FilterIndex index(indexed);
    for (const char* payload : {"F001", "F8", "D20001", "D30001", "7A01", "F6"}) {
        const PTX_ c = cs(payload);
        EXPECT_EQ(hexes(chunkMapFiltersM(c, indexed, index)), hexes(chunkMapFiltersM(c, list))) << payload;
        EXPECT_EQ(index.selects(c), payload != std::string("7A01") && payload != std::string("F6")) << payload;
    }
    EXPECT_EQ(viaIndex, viaList);
    EXPECT_EQ(viaList, (std::vector<std::string>{"a:F001", "b:F001", "b:F801", "n:F8", "amb:D20001", "amb:D30001"}));
    EXPECT_EQ(index.of(tSCFL.id).size(), 3u);
    EXPECT_FALSE(FilterIndex().selects(cs("F001")));
    EXPECT_FALSE(index.selects(TypeId{}));
}

TEST(Filters, SequencesAreLazyAndProcessedChunkByChunk) {
    std::vector<std::string> log;
    std::vector<PTX_> in{cs("F001"), cs("F8"), cs("F002")};
    auto mapped = chunksMapFiltersM(in, {logging(tSCFL, log, "a"), logging(tSCFL, log, "b")});
    EXPECT_TRUE(log.empty());  // nothing runs before the walk
    std::vector<std::string> seen;
    for (const PTX_& c : mapped) {
        seen.push_back(hexOf(c.payload));
        log.push_back("out");
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"F001", "F8", "F002"}));
    EXPECT_EQ(log, (std::vector<std::string>{"a:F001", "b:F001", "out", "out", "a:F002", "b:F002", "out"}));
    EXPECT_TRUE(chunksMapFiltersM(std::vector<PTX_>{}, {logging(tSCFL, log, "x")}).toVector().empty());

    // A failing handler stops the walk there; what came before was delivered.
    ChunkFilters<PTX_> failing{{tNOP, [](const PTX_&) -> std::vector<PTX_> { throw Error("handler failed"); }}};
    std::vector<std::string> got;
    EXPECT_THROW(
        {
            for (const PTX_& c : chunksMapFiltersM(in, failing)) got.push_back(hexOf(c.payload));
        },
        Error);
    EXPECT_EQ(got, std::vector<std::string>{"F001"});
}

TEST(Queue, CombinationAndTextForms) {
    PTX_ a = cs("F001"), b = cs("F8");
    using Q = ChunkQueue<PTX_>;
    EXPECT_EQ(chunkItem(a) + chunkItem(b), chunkQueue<PTX_>({a, b}));
    EXPECT_EQ(Q{} + chunkItem(a), chunkQueue<PTX_>({a}));
    EXPECT_FALSE((Q{} + chunkItem(a)).isItem());
    EXPECT_EQ(chunkItem(a) + chunkQueue<PTX_>({b, a}), chunkQueue<PTX_>({a, b, a}));
    EXPECT_EQ(chunkQueue<PTX_>({b}) + chunkItem(a), chunkQueue<PTX_>({b, a}));
    EXPECT_TRUE(chunkItem(a).isItem());
    EXPECT_NE(chunkItem(a), chunkQueue<PTX_>({a}));

    EXPECT_EQ(show(Q{}), "ChunkQueue []");
    EXPECT_EQ(show(chunkQueue<PTX_>({a, b})), "ChunkQueue [PTX_ 240 \"F001\",PTX_ 248 \"F8\"]");
    EXPECT_EQ(show(chunkItem(a)), "ChunkItem (PTX_ 240 \"F001\")");
    std::string s;
    showsPrec(s, 11, chunkItem(a));
    EXPECT_EQ(s, "(ChunkItem (PTX_ 240 \"F001\"))");
}

TEST(Queue, ProcessChunkYieldsThePushedChunks) {
    auto run = [](auto h) { return processChunk<PTX_SCFL>(h)(cs("F001")); };
    EXPECT_TRUE(run([](const Lazy<PTX_SCFL>&, ChunkWriter<PTX_>&) {}).empty());
    auto two = run([](PTX_SCFL v, ChunkWriter<PTX_>& w) {
        w.keep();
        v.ptx_scfl_LocalId = N1(9);
        w.push(v);
        w.push(cs("F8"));
    });
    EXPECT_EQ(hexes(two), (std::vector<std::string>{"F001", "F009", "F8"}));
    auto told = run([](const Lazy<PTX_SCFL>&, ChunkWriter<PTX_>& w) { w.tell(chunkItem(cs("F8"))); });
    EXPECT_EQ(hexes(told), std::vector<std::string>{"F8"});
    // A queue set to a bare item fails with the fixed message.
    try {
        run([](const Lazy<PTX_SCFL>&, ChunkWriter<PTX_>& w) { w.set(chunkItem(cs("F8"))); });
        FAIL() << "no failure";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), loneChunkItemMessage);
    }
}

TEST(Queue, InspectYieldsTheInputChunkItself) {
    PTX_ in = cs("F001");
    int seen = 0;
    auto out = inspect<PTX_SCFL>([&](const PTX_SCFL& v) { seen = v.ptx_scfl_LocalId.value; }).handler(in);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].payload.data(), in.payload.data());
    EXPECT_EQ(seen, 1);
    // Stages take the handler's result in turn.
    std::vector<int> collected;
    auto staged = inspect<PTX_SCFL>([](const PTX_SCFL& v) { return int(v.ptx_scfl_LocalId.value); },
                                    [](int id) { return id * 10; }, [&](int x) { collected.push_back(x); });
    staged.handler(in);
    staged.handler(cs("F103"));
    EXPECT_EQ(collected, (std::vector<int>{10, 30}));
}

TEST(OnDemand, HandlersThatDoNotLookCauseNoDecoding) {
    // An SCFL without its local id byte cannot be decoded.
    PTX_ bad = cs("F0");
    EXPECT_EQ(apply<PTX_SCFL>(bad, [](const Lazy<PTX_SCFL>&) { return 7; }), 7);
    EXPECT_THROW(apply<PTX_SCFL>(bad, [](const PTX_SCFL& v) { return v.ptx_scfl_LocalId.value; }), EndOfInput);
    EXPECT_EQ(hexes(inspect<PTX_SCFL>([](const Lazy<PTX_SCFL>&) {}).handler(bad)), std::vector<std::string>{"F0"});
    EXPECT_THROW(inspect<PTX_SCFL>([](const Lazy<PTX_SCFL>& r) { (void)r->ptx_scfl_LocalId; }).handler(bad),
                 EndOfInput);
    EXPECT_TRUE(rewrite<PTX_SCFL>([](const Lazy<PTX_SCFL>&, ChunkWriter<PTX_>&) {}).handler(bad).empty());
}

TEST(Nested, GroupsTripletsAndStrictWalks) {
    EXPECT_EQ(applyMCF(MCF_{Bytes{}}, [](const MCF_T& g) { return g.mcf_t_Chunks.count(); }), 0u);
    // Two triplets back to back; the record operations come along on request.
    MCF_ group{hex("0402AABB" "036501")};
    std::vector<std::uint8_t> codes;
    std::string shown;
    applyMCF(group, [&](const MCF_T& g, const RecordOps& ops) {
        for (const T_& t : g.mcf_t_Chunks) codes.push_back(t.code);
        ops.show(shown, 0, group.payload);
    });
    EXPECT_EQ(codes, (std::vector<std::uint8_t>{0x02, 0x65}));
    EXPECT_NE(shown.find("MCF_T"), std::string::npos);
    // A triplet decodes from its identifier byte on.
    EXPECT_EQ(apply<T_CMT>(trip("65C1"), [](const T_CMT& t) { return t.t_cmt_Type.value; }), 0x65);

    // The third triplet's length runs past the end: the default walk keeps
    // the bytes as a Raw chunk, the strict walk delivers the two before and
    // then fails with the offset.
    auto ts = Chunks<T_>::fromPayload(hex("036501" "036502" "0965"));
    std::vector<Frame> frames;
    for (const T_& t : ts) frames.push_back(t.frame);
    EXPECT_EQ(frames, (std::vector<Frame>{Frame::Item, Frame::Item, Frame::Raw}));
    std::size_t delivered = 0;
    try {
        for (const T_& t : strictItems(ts)) {
            (void)t;
            ++delivered;
        }
        FAIL() << "no failure";
    } catch (const FormatError& e) {
        EXPECT_EQ(e.offset(), 6u);
    }
    EXPECT_EQ(delivered, 2u);
}

TEST(Nested, MapNestedKeepsUnchangedStreamsAndRepairsChains) {
    ChunkFilters<PTX_> dropNop{rewrite<PTX_NOP>([](const Lazy<PTX_NOP>&, ChunkWriter<PTX_>&) {})};
    // AMB chained (odd) to a NOP that ends the chain, then code points, then an
    // SCFL with its own prefix; the list continues the record's escape.
    Bytes data = hex("04D300F0" "02F8" "C1C2" "2BD303F005");
    auto cs0 = Chunks<PTX_>::fromPayload(data, true);
    bool changed = true;
    std::vector<std::string> log;
    Chunks<PTX_> same = mapNested(cs0, {logging(tSCFL, log, "x")}, &changed);
    EXPECT_FALSE(changed);
    EXPECT_TRUE(same.fromSource());
    EXPECT_EQ(log, std::vector<std::string>{"x:F005"});

    Chunks<PTX_> out = mapNested(cs0, dropNop, &changed);
    EXPECT_TRUE(changed);
    EXPECT_TRUE(out.leadChained());
    Builder b;
    out.write(b);
    Bytes written = std::move(b).toBytes();
    // The AMB no longer chains into the code points.
    EXPECT_EQ(hexOf(written), "04D200F0C1C22BD303F005");
    EXPECT_EQ(hexes(Chunks<PTX_>::fromPayload(written, true).toVector()),
              (std::vector<std::string>{"D200F0", "C1C2", "F005"}));

    // Deleting the last control sequence leaves no chain open at the end.
    Chunks<PTX_> tail = mapNested(Chunks<PTX_>::fromPayload(hex("03F101" "02F8"), true), dropNop);
    EXPECT_EQ(hexes(tail.toVector()), std::vector<std::string>{"F001"});
}

TEST(Nested, PresentationTextThatNowOpensWithCodePoints) {
    // Escape X'2BD3', a NOP, code points, an SCFL.
    AFP_ c = sf(0xD3EE9B, "2BD3" "02F8" "C1C2C3" "2BD303F005");
    ChunkFilters<AFP_> fs = deepFilters(NestedFilters{
        {rewrite<PTX_NOP>([](const Lazy<PTX_NOP>&, ChunkWriter<PTX_>&) {})}, {}, {}});
    auto out = chunkMapFiltersM(c, fs);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(hexOf(out[0].payload), "D3EE9B000000C1C2C32BD303F005");
    // Read back: no escape field, the code points as text, the SCFL with its own X'2BD3'.
    PTX back = decodeChunk<PTX>(out[0]);
    EXPECT_FALSE(back.ptx_EscapeSequence.present());
    EXPECT_EQ(hexes(back.ptx_Chunks.toVector()), (std::vector<std::string>{"C1C2C3", "F005"}));
}

TEST(Nested, DeepFiltersReachTripletsGroupsAndPresentationText) {
    NestedFilters nf;
    nf.triplets.push_back(rewrite<T_CMT>([](const Lazy<T_CMT>&, ChunkWriter<T_>&) {}));
    ChunkFilters<AFP_> fs = deepFilters(nf);
    // Every record declared to end in triplets or in groups of triplets has a
    // filter; LLE and PPO, whose groups open with parameters, have none when
    // only triplets are filtered.
    auto triplets = recordsEndingInTriplets();
    EXPECT_NE(std::find(triplets.begin(), triplets.end(), typeIdOf<TLE>()), triplets.end());
    EXPECT_GE(fs.size(), triplets.size() + recordsEndingInGroups().size() - 2);

    AFP_ tle = sf(0xD3A090, "0402C1C2" "046540C1");
    EXPECT_EQ(hexOf(chunkMapFiltersM(tle, fs)[0].payload), "D3A090000000" "0402C1C2");
    // A group of a coded-font map, and the groups of a map data resource.
    AFP_ mcf = sf(0xD3AB8A, "0008" "046540C1" "0006" "0402C1C2");
    EXPECT_EQ(hexOf(chunkMapFiltersM(mcf, fs)[0].payload), "D3AB8A000000" "0004" "0006" "0402C1C2");
    AFP_ mdr = sf(0xD3ABC3, "0005" "036501");
    EXPECT_EQ(hexOf(chunkMapFiltersM(mdr, fs)[0].payload), "D3ABC3000000" "0002");
    // The groups of a map page too; but an LLE group opens with its function
    // byte, so its bytes read as triplets would be misread: X'04' here is the
    // function, not the length of a comment triplet, and nothing is removed.
    AFP_ mpg = sf(0xD3ABAF, "0006" "046540C1");
    EXPECT_EQ(hexOf(chunkMapFiltersM(mpg, fs)[0].payload), "D3ABAF000000" "0002");
    AFP_ lle = sf(0xD3B490, "0200" "0006" "046540C1");
    EXPECT_EQ(chunkMapFiltersM(lle, fs)[0].payload.data(), lle.payload.data());
    // Untouched records come out as the very chunk that came in.
    AFP_ plain = sf(0xD3A090, "0402C1C2");
    auto kept = chunkMapFiltersM(plain, fs);
    EXPECT_EQ(kept[0].payload.data(), plain.payload.data());
    // A record too short for its fixed fields has no triplets to filter.
    AFP_ shortBdt = sf(0xD3A8A8, "C1C2");
    EXPECT_EQ(chunkMapFiltersM(shortBdt, fs)[0].payload.data(), shortBdt.payload.data());
}

// The library example of the README: every SCFL that selects local font 1
// selects font 2 instead; everything else is written back unchanged.
void switchFont(const std::string& in, const std::string& out) {
    NestedFilters nf;
    nf.controls = {rewrite<PTX_SCFL>([](PTX_SCFL cs, ChunkWriter<PTX_>& w) {
        if (cs.ptx_scfl_LocalId.value == 1) cs.ptx_scfl_LocalId = N1(2);
        w.push(cs);
    })};
    writeAFP(out, chunksMapFiltersM(readAFP(in), deepFilters(nf)));
}

TEST(Streaming, WholeFilesThroughFilters) {
    TempDir dir;
    for (const std::string& f : allSampleFiles()) {
        SCOPED_TRACE(f);
        int ptx = 0;
        writeAFP(dir.file("o.afp"), chunksMapFiltersM(readAFP(f), {inspect<PTX>([&](const Lazy<PTX>&) { ++ptx; })}));
        EXPECT_EQ(readFileString(dir.file("o.afp")), readFileString(f));
    }
    switchFont(dataPath("letter.afp"), dir.file("l.afp"));
    std::vector<int> before, after;
    auto ids = [](const std::string& path, std::vector<int>& v) {
        ChunkEffects<PTX_> scfl{effect<PTX_SCFL>([&](const PTX_SCFL& c) { v.push_back(c.ptx_scfl_LocalId.value); })};
        chunksMapFiltersM_(readAFP(path), ChunkEffects<AFP_>{effect<PTX>([&](const PTX& p) {
                               chunksMapFiltersM_(p.ptx_Chunks, scfl);
                           })});
    };
    ids(dataPath("letter.afp"), before);
    ids(dir.file("l.afp"), after);
    ASSERT_FALSE(before.empty());
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(after[i], before[i] == 1 ? 2 : before[i]);
}

}  // namespace
