// Bodies of the fuzz targets, shared by the libFuzzer entry points, the
// replay programs and the regression test of the normal test suite.
//
// Every target takes arbitrary bytes. A pressel::Error is an acceptable
// outcome for malformed input; anything else (a crash, a sanitizer report, an
// exception of another type, a broken invariant) is a fault. A broken
// invariant aborts with a message, so that libFuzzer records the input.
//
// Each target first copies its input into a heap block of exactly the input's
// size, so that AddressSanitizer catches a read one byte past the end.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "pressel/catalogue.hpp"
#include "pressel/filter.hpp"
#include "pressel/io.hpp"
#include "pressel/nested.hpp"
#include "pressel/page.hpp"
#include "pressel/page_text.hpp"
#include "pressel/records.hpp"

namespace pressel::fuzz {

// A fault the target found: prints what broke and aborts.
[[noreturn]] inline void broken(const char* target, const std::string& what) {
    std::fprintf(stderr, "fuzz target %s: %s\n", target, what.c_str());
    std::fflush(stderr);
    std::abort();
}

// The input in a heap block of exactly its size.
inline Bytes exactCopy(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return {};
    std::shared_ptr<byte[]> block(new byte[size]);
    std::memcpy(block.get(), data, size);
    const byte* p = block.get();
    return Bytes(std::shared_ptr<const void>(std::move(block), p), p, size);
}

// Reads a whole stream; true when it read to the end without a fault. `raw`
// collects the exact bytes of every chunk read, framing included.
inline bool readWhole(const Bytes& in, ReaderLimits limits, std::vector<AFP_>& chunks, Builder& raw,
                      Framing* found = nullptr) {
    AfpReader r(memorySource(in), limits);
    AFP_ c;
    std::uint64_t last = 0;
    try {
        while (r.next(c)) {
            if (r.consumed() <= last) broken("stream", "the reader did not advance");
            if (r.consumed() > in.size()) broken("stream", "the reader consumed more bytes than exist");
            last = r.consumed();
            Bytes b = r.raw();
            if (b.size() != r.consumed() - r.offset()) broken("stream", "raw() does not cover the chunk");
            raw.putBytes(b);
            chunks.push_back(c);
        }
    } catch (const Error&) {
        if (found) *found = r.framing();
        return false;
    }
    if (found) *found = r.framing();
    if (last != in.size()) broken("stream", "the reader ended early without an error");
    return true;
}

// The whole-stream reader under every framing and under a small field limit:
// never a crash or a hang; a stream that reads to the end is covered exactly
// by the chunks' raw bytes.
inline int fuzzStream(const std::uint8_t* data, std::size_t size) {
    Bytes in = exactCopy(data, size);
    const Framing framings[] = {Framing::Auto, Framing::Clean, Framing::NoIntroducer, Framing::Rdw,
                                Framing::BdwRdw};
    for (std::size_t limit : {std::size_t(65535), std::size_t(64)}) {
        for (Framing f : framings) {
            std::vector<AFP_> chunks;
            Builder raw;
            if (!readWhole(in, ReaderLimits{limit, f}, chunks, raw)) continue;
            if (!(std::move(raw).toBytes() == in)) broken("stream", "the raw bytes of the chunks differ from the input");
            for (const AFP_& c : chunks)
                if (c.payload.size() + 2 > limit) broken("stream", "a field above the limit was accepted");
        }
    }
    return 0;
}

// One nested reader over arbitrary bytes: every item lies inside the input,
// and writing the items back gives the input.
template <ChunkFamily C>
void nestedRoundTrip(const Bytes& in, bool leadChained) {
    Chunks<C> cs = Chunks<C>::fromPayload(in, leadChained);
    std::vector<C> items;
    std::size_t n = 0;
    for (auto it = cs.begin(); it != cs.end(); ++it) {
        if (++n > in.size()) broken("nested", "more items than bytes");
        const C& c = *it;
        if (c.payload.size() > in.size() ||
            (c.payload.size() && (c.payload.data() < in.data() || c.payload.data() + c.payload.size() > in.end())))
            broken("nested", "an item lies outside its input");
        items.push_back(c);
    }
    Builder b;
    Chunks<C>(items, leadChained).write(b);
    if (!(std::move(b).toBytes() == in)) broken("nested", std::string(C::name) + " items do not write back to the input");
    if (Chunks<C>(items, leadChained).writtenSize() != in.size())
        broken("nested", std::string(C::name) + " written size differs from the input size");
}

inline int fuzzNested(const std::uint8_t* data, std::size_t size) {
    Bytes in = exactCopy(data, size);
    nestedRoundTrip<T_>(in, false);
    nestedRoundTrip<MCF_>(in, false);
    nestedRoundTrip<PTX_>(in, false);
    nestedRoundTrip<PTX_>(in, true);
    // Each item read again as the next level down (groups of triplets).
    for (const MCF_& g : Chunks<MCF_>::fromPayload(in)) nestedRoundTrip<T_>(g.payload, false);
    return 0;
}

// Decodes the bytes as one record type: errors are fine, and a record that
// covers all of its bytes encodes back to them.
inline void decodeAs(const RecordOps& ops, const Bytes& b) {
    std::size_t covered;
    try {
        covered = ops.covered(b);
    } catch (const Error&) {
        return;
    }
    if (covered > b.size()) broken("records", std::string(ops.type->name) + " covers more bytes than it was given");
    std::string s;
    Bytes again;
    std::size_t size = 0;
    try {
        ops.show(s, 0, b);
        ops.show(s, 11, b);
        again = ops.reencode(b);
        size = ops.sizeOf(b);
    } catch (const Error& e) {
        // A record that decoded must also show and encode (it may fail to
        // encode only where a value cannot be framed again).
        (void)e;
        return;
    }
    if (size != again.size()) broken("records", std::string(ops.type->name) + ": sizeOf differs from the encoded size");
    if (covered == b.size() && !(again == b))
        broken("records", std::string(ops.type->name) + ": a record that covers its bytes does not encode back to them");
}

inline int fuzzRecords(const std::uint8_t* data, std::size_t size) {
    Bytes in = exactCopy(data, size);
    for (unsigned i = 0; i < idx_tableTypes; ++i) decodeAs(recordOps(&tableType(RecordIndex(i))), in);
    // The bytes as a structured field's payload (introducer extension and
    // padding removed), decoded by its own identifier.
    if (in.size() >= 3) {
        AFP_ c{(std::uint32_t(in[0]) << 16) | (std::uint32_t(in[1]) << 8) | in[2], in};
        Bytes packed = packChunk(c);
        if (packed.size() > in.size()) broken("records", "packChunk grew the payload");
        decodeAs(recordOps(chunkType(c).id), packed);
    }
    return 0;
}

// The stream round trip: what reads to the end writes back byte for byte
// (the chunks' raw bytes for any framing; clean framing through the writer
// when the input is clean), and every record that covers its payload
// re-encodes to it.
inline int fuzzRoundTrip(const std::uint8_t* data, std::size_t size) {
    Bytes in = exactCopy(data, size);
    std::vector<AFP_> chunks;
    Builder raw;
    Framing framing = Framing::Auto;
    bool whole = readWhole(in, ReaderLimits{}, chunks, raw, &framing);
    for (const AFP_& c : chunks) {
        FieldFraming f;
        Bytes packed = packChunk(c, f);
        if (!(frameChunk(c.code, packed, f) == c)) broken("roundtrip", "extension or padding not put back");
        decodeAs(recordOps(chunkType(c).id), packed);
    }
    if (!whole) return 0;
    if (!(std::move(raw).toBytes() == in)) broken("roundtrip", "raw bytes differ from the input");
    Builder clean;
    for (const AFP_& c : chunks) writeChunk(clean, c);
    Bytes cleanBytes = std::move(clean).toBytes();
    if (framing == Framing::Clean && cleanBytes.size() == in.size() && !(cleanBytes == in))
        broken("roundtrip", "clean framing of the chunks differs from a clean input");
    // The writer frames as writeChunk does.
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("pressel_fuzz_" + std::to_string(::getpid()))).string();
    {
        AfpWriter w(path);
        for (const AFP_& c : chunks) w.write(c);
        w.close();
    }
    std::ifstream f(path, std::ios::binary);
    std::string written((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    if (!(Bytes::copy(written) == cleanBytes)) broken("roundtrip", "AfpWriter output differs from writeChunk");
    return 0;
}

// The filters: the first bytes choose a list of filters (record type and
// action), the rest is the stream. Errors are fine; a list of filters that
// only look leaves the stream as it was.
inline int fuzzFilters(const std::uint8_t* data, std::size_t size) {
    Bytes all = exactCopy(data, size);
    if (all.size() < 1) return 0;
    std::size_t nf = std::min<std::size_t>(all[0] & 7, (all.size() - 1) / 2);
    Bytes in = all.dropFront(1 + 2 * nf);
    ChunkFilters<AFP_> afp;
    NestedFilters nested;
    bool onlyLook = true;
    for (std::size_t k = 0; k < nf; ++k) {
        byte sel = all[1 + 2 * k], act = all[2 + 2 * k];
        TypeId t = &tableType(RecordIndex(sel % idx_tableTypes));
        int action = act % 4;  // 0 keep, 1 look (decode and show), 2 delete, 3 duplicate
        if (action >= 2) onlyLook = false;
        auto handler = [action](const auto& c) {
            using C = std::remove_cvref_t<decltype(c)>;
            if (action == 1) (void)showRecordOf(c);
            if (action == 2) return std::vector<C>{};
            if (action == 3) return std::vector<C>{c, c};
            return std::vector<C>{c};
        };
        switch (t->family) {
        case Family::AFP: afp.push_back({ChunkType{t}, handler}); break;
        case Family::T: nested.triplets.push_back({ChunkType{t}, handler}); break;
        case Family::PTX: nested.controls.push_back({ChunkType{t}, handler}); break;
        case Family::MCF: nested.groups.push_back({ChunkType{t}, handler}); break;
        default: break;
        }
    }
    if (!nested.empty()) {
        ChunkFilters<AFP_> deep = deepFilters(nested);
        afp.insert(afp.end(), deep.begin(), deep.end());
    }
    Builder out;
    Builder clean;
    bool whole = true;
    try {
        AfpStream s(memorySource(in));
        for (const AFP_& c : chunksMapFiltersM(s, afp)) writeChunk(out, c);
    } catch (const Error&) {
        whole = false;
    }
    if (!whole || !onlyLook) return 0;
    std::vector<AFP_> chunks;
    Builder raw;
    if (!readWhole(in, ReaderLimits{}, chunks, raw)) return 0;
    for (const AFP_& c : chunks) writeChunk(clean, c);
    if (!(std::move(out).toBytes() == std::move(clean).toBytes()))
        broken("filters", "filters that only look changed the stream");
    return 0;
}

struct Target {
    const char* name;
    int (*run)(const std::uint8_t*, std::size_t);
};
// The page interpreter over a whole stream, each page in reading order and
// as words: never a crash or a hang; every text run has one offset and one
// advance per character.
inline int fuzzPages(const std::uint8_t* data, std::size_t size) {
    Bytes in = exactCopy(data, size);
    PageInterpreter pages;
    std::string text;
    try {
        AfpReader r(memorySource(in));
        AFP_ c;
        while (r.next(c)) {
            if (!pages.feed(c)) continue;
            const Page& p = pages.page();
            for (const TextRun& t : p.text) {
                std::size_t chars = 0;
                for (char ch : t.text) chars += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
                if (t.offsets.size() != chars || t.advances.size() != chars)
                    broken("pages", "a text run's advances do not match its characters");
            }
            text.clear();
            appendPageText(text, p);
            pageWords(p);
        }
    } catch (const Error&) {
    }
    return 0;
}

inline const Target targets[] = {{"stream", fuzzStream},
                                 {"pages", fuzzPages},
                                 {"nested", fuzzNested},
                                 {"records", fuzzRecords},
                                 {"roundtrip", fuzzRoundTrip},
                                 {"filters", fuzzFilters}};

}  // namespace pressel::fuzz
