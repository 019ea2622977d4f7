// pressel_gen_stream [--groups PAGES] [--object FILE] [--vary] OUT SIZE_MB [INPUT.afp...]
//
// Builds a large, realistic data stream for the benchmarks out of small real
// files. The result is one document: the first input's prologue (everything
// before its first page, resource groups and the open document and page
// group included), then the pages of all inputs (each page from its
// Begin Page to its End Page, with the presentation text, font maps and
// objects inside it), repeated in turn until the stream has SIZE_MB MiB,
// then the first input's epilogue (everything after its last page).
//
// Without inputs, the FOP-made samples of tests/data are used, the invoice
// first so that the resources its pages include are in the prologue.
//
// With --groups PAGES the pages go in named page groups of PAGES pages each
// (G0000001, G0000002, ...), each opening with an index tag CUSTOMER =
// C<number>, the shape of a print file of statements; the page groups of the
// first input's prologue and epilogue are left out.
//
// With --object FILE every page also carries the first data object of FILE
// (an image, graphics, bar code or object container, from its Begin field to
// its End field), placed before the End Page: a stream of large fields, such
// as the image data of scanned or photographic pages.
//
// With --vary no two pages are alike, as in a print file of statements: the
// digits of each page's text (the transparent data control sequences of its
// presentation text) are counted up by the page's number, and so is the
// last digit of its Begin and End Page names. Without it the pages repeat
// byte for byte.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "pressel/text/ebcdic.hpp"
#include "pressel/stream/io.hpp"

namespace {

constexpr std::uint32_t kBeginPage = 0xD3A8AF;
constexpr std::uint32_t kEndPage = 0xD3A9AF;
constexpr std::uint32_t kBeginGroup = 0xD3A8AD;
constexpr std::uint32_t kEndGroup = 0xD3A9AD;

pressel::AFP_ field(std::uint32_t code, const std::string& data) {
    std::string p{char(code >> 16), char(code >> 8), char(code), 0, 0, 0};
    p += data;
    return pressel::AFP_{code, pressel::Bytes::copy(p)};
}

// Begin Named Page Group, its index tag, and the matching End.
std::vector<pressel::AFP_> groupHead(std::uint64_t n, std::string& name8) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "G%07llu", static_cast<unsigned long long>(n % 10000000));
    name8 = pressel::latin1ToEbcdic(buf);
    const std::string attr = pressel::latin1ToEbcdic("CUSTOMER");
    std::string number = "C";
    number += std::to_string(n);
    const std::string value = pressel::latin1ToEbcdic(number);
    std::string tle{char(4 + attr.size()), 0x02, 0x0B, 0x00};
    tle += attr;
    tle += {char(4 + value.size()), 0x36, 0, 0};
    tle += value;
    return {field(kBeginGroup, name8), field(0xD3A090, tle)};
}

// The first object of a file: from its Begin Image, Graphics, Bar Code or
// Object Container to the matching End.
std::vector<pressel::AFP_> firstObject(const std::string& path) {
    std::vector<pressel::AFP_> out;
    std::uint32_t end = 0;
    for (const pressel::AFP_& c : pressel::readAFP(path)) {
        if (!end && (c.code == 0xD3A8FB || c.code == 0xD3A8BB || c.code == 0xD3A8EB || c.code == 0xD3A892))
            end = c.code - 0xA800 + 0xA900;
        if (!end) continue;
        out.push_back(c);
        if (c.code == end) return out;
    }
    throw pressel::Error(path + ": no complete image, graphics, bar code or object container");
}

// A copy of the page with its text digits and page name changed by `n`.
std::vector<pressel::AFP_> varied(const std::vector<pressel::AFP_>& page, std::uint64_t n) {
    std::vector<pressel::AFP_> out;
    out.reserve(page.size());
    auto digit = [](std::uint8_t& b, std::uint64_t k) {
        if (b >= 0xF0 && b <= 0xF9) b = std::uint8_t(0xF0 + (b - 0xF0 + k) % 10);
    };
    for (const pressel::AFP_& c : page) {
        std::vector<std::uint8_t> p(c.payload.data(), c.payload.data() + c.payload.size());
        if ((c.code == kBeginPage || c.code == kEndPage) && p.size() >= 14) {
            digit(p[13], n);
        } else if (c.code == 0xD3EE9B) {
            // Control sequences: X'2BD3', then length, type and parameters,
            // chained while the type is odd; text between chains is skipped.
            std::size_t i = 6;
            bool chained = false;
            while (i + 2 <= p.size()) {
                if (!chained) {
                    if (p[i] != 0x2B || p[i + 1] != 0xD3) {
                        ++i;
                        continue;
                    }
                    i += 2;
                }
                if (i + 2 > p.size() || p[i] < 2 || i + p[i] > p.size()) break;
                const std::size_t len = p[i];
                if ((p[i + 1] & 0xFE) == 0xDA)
                    for (std::size_t j = i + 2; j < i + len; ++j) digit(p[j], n);
                chained = (p[i + 1] & 1) != 0;
                i += len;
            }
        }
        out.push_back(pressel::AFP_{c.code, pressel::Bytes::adopt(std::move(p))});
    }
    return out;
}

struct Parts {
    std::vector<pressel::AFP_> prologue, epilogue;
    std::vector<std::vector<pressel::AFP_>> pages;
};

Parts split(const std::string& path) {
    Parts p;
    std::vector<pressel::AFP_> all;
    for (const pressel::AFP_& c : pressel::readAFP(path)) all.push_back(c);
    std::size_t i = 0;
    while (i < all.size() && all[i].code != kBeginPage) p.prologue.push_back(all[i++]);
    std::size_t afterLastPage = i;
    while (i < all.size()) {
        if (all[i].code != kBeginPage) {
            ++i;
            continue;
        }
        std::vector<pressel::AFP_> page;
        while (i < all.size()) {
            page.push_back(all[i]);
            if (all[i++].code == kEndPage) break;
        }
        if (page.back().code != kEndPage) throw pressel::Error(path + ": a page has no End Page");
        p.pages.push_back(std::move(page));
        afterLastPage = i;
    }
    p.epilogue.assign(all.begin() + std::ptrdiff_t(afterLastPage), all.end());
    return p;
}

std::vector<std::string> defaultInputs() {
    namespace fs = std::filesystem;
    // The source tree this program was built from, else the working directory.
    fs::path data = fs::path(__FILE__).parent_path().parent_path() / "tests" / "data";
    if (!fs::exists(data / "hello.afp")) data = fs::path("tests") / "data";
    std::vector<std::string> files;
    for (const char* name : {"invoice.afp", "letter.afp", "hello.afp", "graphics.afp"})
        files.push_back((data / name).string());
    return files;
}

std::size_t framedSize(const std::vector<pressel::AFP_>& cs) {
    std::size_t n = 0;
    for (const auto& c : cs) n += 3 + c.payload.size();
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint64_t groupPages = 0;
    std::string objectFile;
    bool vary = false;
    for (;;) {
        if (argc >= 3 && std::string(argv[1]) == "--groups") groupPages = std::strtoull(argv[2], nullptr, 10);
        else if (argc >= 3 && std::string(argv[1]) == "--object") objectFile = argv[2];
        else if (argc >= 2 && std::string(argv[1]) == "--vary") {
            vary = true;
            ++argv;
            --argc;
            continue;
        } else break;
        argv += 2;
        argc -= 2;
    }
    if (argc < 3) {
        std::fprintf(stderr, "Usage: pressel_gen_stream [--groups PAGES] [--object FILE] [--vary] OUT SIZE_MB [INPUT.afp...]\n");
        return 1;
    }
    try {
        const std::string out = argv[1];
        char* end = nullptr;
        const double mb = std::strtod(argv[2], &end);
        if (end == argv[2] || *end != '\0' || !(mb > 0)) throw pressel::Error("SIZE_MB must be a positive number");
        const auto target = static_cast<std::uint64_t>(mb * 1024 * 1024);

        std::vector<std::string> inputs(argv + 3, argv + argc);
        if (inputs.empty()) inputs = defaultInputs();

        std::vector<Parts> parts;
        std::vector<const std::vector<pressel::AFP_>*> pages;
        for (const auto& in : inputs) parts.push_back(split(in));
        if (!objectFile.empty()) {
            const std::vector<pressel::AFP_> object = firstObject(objectFile);
            for (auto& p : parts)
                for (auto& page : p.pages) page.insert(page.end() - 1, object.begin(), object.end());
        }
        for (const auto& p : parts)
            for (const auto& page : p.pages) pages.push_back(&page);
        if (pages.empty()) throw pressel::Error("the inputs have no pages to repeat");

        Parts& first = parts.front();
        if (groupPages > 0) {
            auto isGroup = [](const pressel::AFP_& c) { return c.code == kBeginGroup || c.code == kEndGroup; };
            std::erase_if(first.prologue, isGroup);
            std::erase_if(first.epilogue, isGroup);
        }
        const std::uint64_t closing = framedSize(first.epilogue);
        pressel::AfpWriter w(out);
        for (const auto& c : first.prologue) w.write(c);
        std::uint64_t count = 0, groups = 0;
        std::string name8;
        for (std::size_t k = 0; w.bytesWritten() + closing < target || (groupPages && count % groupPages);
             k = (k + 1) % pages.size(), ++count) {
            if (groupPages && count % groupPages == 0)
                for (const auto& c : groupHead(++groups, name8)) w.write(c);
            if (vary)
                for (const auto& c : varied(*pages[k], count)) w.write(c);
            else
                for (const auto& c : *pages[k]) w.write(c);
            if (groupPages && count % groupPages == groupPages - 1) w.write(field(kEndGroup, name8));
        }
        for (const auto& c : first.epilogue) w.write(c);
        w.close();
        std::fprintf(stderr, "%s: %llu bytes, %llu pages from %zu distinct pages, %llu page groups\n", out.c_str(),
                     static_cast<unsigned long long>(w.bytesWritten()), static_cast<unsigned long long>(count),
                     pages.size(), static_cast<unsigned long long>(groups));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "*** Error: %s\n", e.what());
        return 1;
    }
}
