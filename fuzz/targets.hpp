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

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "pressel/catalogue.hpp"
#include "pressel/filter.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/stream/nested.hpp"
#include "pressel/page/page.hpp"
#include "pressel/page/page_text.hpp"
#include "pressel/records.hpp"
#include "pressel/rewrite/deep_filters.hpp"
#include "pressel/view/check.hpp"
#include "../src/check_scan.hpp"

namespace pressel::fuzz {

// An anonymous file in memory, written through its descriptor path
// (/dev/fd/N) so that the writer under test writes it directly.
class MemoryFile {
public:
    MemoryFile() : fd_(::memfd_create("pressel_fuzz", MFD_CLOEXEC)) {}
    ~MemoryFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    std::string path() const { return "/dev/fd/" + std::to_string(fd_); }
    Bytes contents() const {
        std::string s;
        char buf[65536];
        for (off_t at = 0;;) {
            ssize_t n = ::pread(fd_, buf, sizeof buf, at);
            if (n <= 0) break;
            s.append(buf, std::size_t(n));
            at += n;
        }
        return Bytes::copy(s);
    }

private:
    int fd_;
};

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
    // The validator's size tables and raw walks find what decoding every
    // record and nested item finds, in the same order.
    std::vector<Finding> fast, decoded;
    const std::size_t fastErrors =
        checkscan::checkStreamWith(memorySource(in), [&](const Finding& f) { fast.push_back(f); }, true);
    const std::size_t decodedErrors =
        checkscan::checkStreamWith(memorySource(in), [&](const Finding& f) { decoded.push_back(f); }, false);
    if (fastErrors != decodedErrors || fast != decoded)
        broken("stream", "the validator's tables and decoding report different findings");
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
    MemoryFile file;
    {
        AfpWriter w(file.path());
        for (const AFP_& c : chunks) w.write(c);
        w.close();
    }
    if (!(file.contents() == cleanBytes)) broken("roundtrip", "AfpWriter output differs from writeChunk");
    return 0;
}

// The block size of the file and pipe reader.
constexpr std::size_t kReaderBlock = std::size_t(256) << 10;

// What a reader made of a stream: every chunk with its offsets, and how the
// walk ended.
struct ReadTrace {
    struct Item {
        std::uint64_t offset, consumed;
        AFP_ chunk;
        bool operator==(const Item&) const = default;
    };
    std::vector<Item> items;
    bool failed = false;
    bool formatError = false;
    std::uint64_t errorOffset = 0;
};

inline ReadTrace traceReader(AfpReader& r) {
    ReadTrace t;
    AFP_ c;
    try {
        while (r.next(c)) t.items.push_back({r.offset(), r.consumed(), c});
    } catch (const FormatError& e) {
        t.failed = t.formatError = true;
        t.errorOffset = e.offset();
    } catch (const Error&) {
        t.failed = true;
    }
    return t;
}

// The real file and pipe reader against the reader of bytes in memory. The
// first byte places the fuzzed stream: as it is, after a structured field
// and a run of line ends, or after NOP fields, so that it starts a little
// before the end of the reader's first block (the second byte says how
// far); the third seeds the sizes in which a thread writes the whole input
// into a pipe, so that the reader meets short reads everywhere. Both readers
// must give the same chunks at the same offsets and end the same way, and
// copying what the pipe reader consumes (copyRawTo) gives exactly the input
// bytes it consumed.
inline int fuzzReader(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    static const bool pipeSignalIgnored = (std::signal(SIGPIPE, SIG_IGN), true);
    (void)pipeSignalIgnored;
    const std::size_t before = std::size_t(data[1]) * 37 % 4099;
    std::string input;
    switch (data[0] % 3) {
    case 1:
    {
        input = std::string("\x5A\x00\x08\xD3\xEE\xEE\x00\x00\x00", 9);
        const std::size_t run = kReaderBlock - 9 - before;
        if (data[0] & 0x80) {
            input.append(run, '\n');
        } else {
            for (std::size_t i = 0; i + 1 < run; i += 2) input += "\r\n";
            if (run % 2) input += '\n';
        }
        break;
    }
    case 2:
        while (input.size() + 65536 < kReaderBlock - before) {
            std::string nop = {char(0x5A), char(0xFF), char(0xFF), char(0xD3), char(0xEE), char(0xEE), 0, 0, 0};
            nop.resize(65536, char(0x40));
            input += nop;
        }
        if (std::size_t rest = kReaderBlock - before - input.size(); rest >= 9) {
            std::string nop = {char(0x5A), char((rest - 1) >> 8), char(rest - 1), char(0xD3), char(0xEE), char(0xEE), 0, 0, 0};
            nop.resize(rest, char(0x40));
            input += nop;
        }
        break;
    default: break;
    }
    input.append(reinterpret_cast<const char*>(data + 3), size - 3);

    AfpReader mem(memorySource(Bytes::copy(input)));
    const ReadTrace expected = traceReader(mem);

    int fds[2];
    if (::pipe(fds) != 0) broken("reader", "no pipe");
    std::thread writer([&, seed = std::uint32_t(data[2]) * 2654435761u + 1] {
        std::uint32_t x = seed;
        std::size_t at = 0;
        while (at < input.size()) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            static const std::size_t sizes[] = {1, 2, 3, 7, 64, 509, 4096, 65536, 70001, 262144};
            std::size_t n = std::min(input.size() - at, sizes[x % 10] + (x >> 8) % 3);
            ssize_t w = ::write(fds[1], input.data() + at, n);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) break;  // the reader stopped early
            at += std::size_t(w);
        }
        ::close(fds[1]);
    });
    MemoryFile copy;
    ReadTrace got;
    std::uint64_t consumed = 0;
    {
        AfpReader r(openSource("/dev/fd/" + std::to_string(fds[0])));
        AfpWriter w(copy.path());
        r.copyRawTo(&w);
        got = traceReader(r);
        consumed = r.consumed();
        r.copyRawTo(nullptr);
        w.close();
    }
    ::close(fds[0]);
    writer.join();

    if (got.items.size() != expected.items.size()) broken("reader", "the pipe reader gives another number of chunks");
    for (std::size_t i = 0; i < got.items.size(); ++i)
        if (!(got.items[i] == expected.items[i])) broken("reader", "chunk " + std::to_string(i) + " differs");
    if (got.failed != expected.failed || got.formatError != expected.formatError ||
        got.errorOffset != expected.errorOffset)
        broken("reader", "the pipe reader ends the walk differently");
    if (!(copy.contents() == Bytes::copy(std::string_view(input).substr(0, std::size_t(consumed)))))
        broken("reader", "the copy of the consumed bytes differs from the input");
    return 0;
}

// The filters: the first bytes choose a list of filters (record type and
// action), the rest is the stream. Errors are fine; a list of filters that
// only look leaves the stream as it was.
// The deletions among the selections (a triplet, control sequence or group
// type and the action 2), done on the bytes of each field by directDeletions:
// a field it handles comes out as the nested filters make it.
inline void directDeletionsAgree(const Bytes& in, const Bytes& all, std::size_t nf) {
    NestedFilters dels;
    for (std::size_t k = 0; k < nf; ++k) {
        const TypeId t = &tableType(RecordIndex(all[1 + 2 * k] % idx_tableTypes));
        if (all[2 + 2 * k] % 4 != 2) continue;
        auto drop = [](const auto& c) { return std::vector<std::remove_cvref_t<decltype(c)>>{}; };
        switch (t->family) {
        case Family::T: dels.triplets.push_back({ChunkType{t}, drop}); break;
        case Family::PTX: dels.controls.push_back({ChunkType{t}, drop}); break;
        case Family::MCF: dels.groups.push_back({ChunkType{t}, drop}); break;
        default: break;
        }
    }
    if (dels.empty()) return;
    std::vector<AFP_> chunks;
    Builder raw;
    readWhole(in, ReaderLimits{}, chunks, raw);
    const ChunkFilters<AFP_> filters = deepFilters(dels);
    const DirectEdit edit = directDeletions(dels);
    std::vector<byte> bytes;
    for (const AFP_& c : chunks) {
        const RawEdit e = edit(c, bytes);
        if (e == RawEdit::Unsupported) continue;
        std::vector<AFP_> slow;
        try {
            slow = chunkMapFiltersM(c, filters);
        } catch (const Error&) {
            broken("filters", "a direct deletion took a field the filters fail on");
        }
        if (slow.size() != 1 || slow[0].code != c.code) broken("filters", "a direct deletion kept a field the filters replace");
        const std::span<const byte> want = slow[0].payload.span();
        const std::span<const byte> got = e == RawEdit::Unchanged ? c.payload.span() : std::span<const byte>(bytes);
        if (!std::equal(want.begin(), want.end(), got.begin(), got.end()))
            broken("filters", "a direct deletion wrote other bytes than the filters");
    }
}

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
    directDeletionsAgree(in, all, nf);
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
                                 {"reader", fuzzReader},
                                 {"pages", fuzzPages},
                                 {"nested", fuzzNested},
                                 {"records", fuzzRecords},
                                 {"roundtrip", fuzzRoundTrip},
                                 {"filters", fuzzFilters}};

}  // namespace pressel::fuzz
