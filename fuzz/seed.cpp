// Writes the seed corpora of the fuzz targets from sample streams:
//   fuzz_seed OUTDIR FILE...
// OUTDIR/<target>/ receives, per target:
//   stream, roundtrip  each stream whole, cut after its first fields, and
//                      re-framed without X'5A', with record descriptor words
//                      and with block descriptor words
//   records            each structured field's payload, and the payload of
//                      every triplet and control sequence in it
//   nested             each nested list (triplets, repeating groups, control
//                      sequences) of every structured field
//   filters            small streams behind a few filter selections
//   reader             the first fields of each stream behind the three
//                      bytes that place them in the reader's first block
//   pages              each stream whole
//   objects            each graphics and bar code object: a selector byte,
//                      the descriptor's length, the descriptor, the data
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "pressel/view/check.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/stream/nested.hpp"

namespace fs = std::filesystem;
using namespace pressel;

namespace {

std::set<std::string> seen;
std::size_t written = 0;

void put(const fs::path& dir, const std::string& stem, const Bytes& b) {
    std::string key = dir.string() + '\n' + std::string(b.chars());
    if (b.size() > 4096 && dir.filename() != "stream" && dir.filename() != "roundtrip") return;
    if (!seen.insert(key).second) return;
    fs::create_directories(dir);
    std::ofstream out(dir / (stem + "_" + std::to_string(seen.size())), std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    ++written;
}

Bytes frame(const std::vector<AFP_>& cs, Framing f) {
    Builder b;
    for (const AFP_& c : cs) {
        std::size_t len = c.payload.size() + 2;
        if (f == Framing::Rdw || f == Framing::BdwRdw) {
            std::size_t rl = len + 1 + 4;
            if (f == Framing::BdwRdw) {
                b.putBE(rl + 4, 2);
                b.putBE(0, 2);
            }
            b.putBE(rl, 2);
            b.putBE(0, 2);
            writeChunk(b, c);
        } else if (f == Framing::NoIntroducer) {
            b.putBE(len, 2);
            b.putBytes(c.payload);
        } else {
            writeChunk(b, c);
        }
    }
    return std::move(b).toBytes();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: fuzz_seed OUTDIR FILE...\n");
        return 2;
    }
    fs::path out = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Bytes whole = Bytes::copy(s);
        std::string stem = fs::path(argv[i]).stem().string();
        std::vector<AFP_> cs;
        try {
            AfpStream st(memorySource(whole));
            for (const AFP_& c : st) cs.push_back(c);
        } catch (const Error& e) {
            std::fprintf(stderr, "%s: %s\n", argv[i], e.what());
        }
        put(out / "stream", stem, whole);
        put(out / "pages", stem, whole);
        put(out / "roundtrip", stem, whole);
        std::vector<AFP_> head(cs.begin(), cs.begin() + std::ptrdiff_t(std::min<std::size_t>(cs.size(), 12)));
        for (Framing f : {Framing::Clean, Framing::NoIntroducer, Framing::Rdw, Framing::BdwRdw}) {
            put(out / "stream", stem, frame(head, f));
            put(out / "roundtrip", stem, frame(head, f));
        }
        Bytes small = frame(head, Framing::Clean);
        for (const char* place : {"\x00\x00\x05", "\x01\x09\x03", "\x81\x01\x07", "\x02\x30\x09"}) {
            Builder b;
            b.putBytes(Bytes::copy(std::string(place, 3)));
            b.putBytes(small);
            put(out / "reader", stem, std::move(b).toBytes());
        }
        for (const char* sel : {"\x01\x27\x01", "\x02\x80\x03\xC0\x02", "\x03\x9B\x03\x60\x01\xA1\x02"}) {
            Builder b;
            std::string s2(sel);
            b.putBytes(Bytes::copy(s2));
            b.putBytes(small);
            put(out / "filters", stem, std::move(b).toBytes());
        }
        // Graphics and bar code objects: descriptor and data of each.
        std::string desc, data;
        int kind = -1;
        for (const AFP_& c : cs) {
            Bytes d = c.payload.size() >= 6 ? c.payload.dropFront(6) : Bytes{};
            if (c.code == 0xD3A8BB || c.code == 0xD3A8EB) kind = c.code == 0xD3A8EB, desc.clear(), data.clear();
            if (c.code == 0xD3A6BB || c.code == 0xD3A6EB) desc = std::string(d.chars()).substr(0, 255);
            if (c.code == 0xD3EEBB || c.code == 0xD3EEEB) data += d.chars();
            if ((c.code == 0xD3A9BB || c.code == 0xD3A9EB) && kind >= 0) {
                for (int variant : {0, 0x0A, 0x1C, 0x24}) {
                    std::string in = {char(kind | variant), char(desc.size())};
                    put(out / "objects", stem, Bytes::copy(in + desc + data));
                }
                kind = -1;
            }
        }
        for (const AFP_& c : cs) {
            put(out / "records", stem, c.payload);
            NestedList list;
            try {
                if (!nestedListOf(c, list)) continue;
            } catch (const Error&) {
                continue;
            }
            put(out / "nested", stem, list.bytes);
            if (list.family == Family::T)
                for (const T_& t : Chunks<T_>::fromPayload(list.bytes)) put(out / "records", stem + "_t", t.payload);
            if (list.family == Family::MCF)
                for (const MCF_& g : Chunks<MCF_>::fromPayload(list.bytes)) put(out / "records", stem + "_g", g.payload);
            if (list.family == Family::PTX)
                for (const PTX_& x : Chunks<PTX_>::fromPayload(list.bytes, list.leadChained))
                    put(out / "records", stem + "_cs", x.payload);
        }
    }
    std::printf("%zu seed inputs in %s\n", written, out.c_str());
    return 0;
}
