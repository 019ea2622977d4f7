// pressel render: the pages of a stream drawn to PDF, SVG or PNG, page by
// page as they are read.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <memory>
#include <optional>

#include "../bare_objects.hpp"
#include "../command.hpp"
#include "../draw_commands.hpp"
#include "pressel/stream/output.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/page/page.hpp"
#include "pressel/render/render.hpp"

namespace pressel::tool {
namespace {

using render::Format;

const CommandSpec renderSpec{
    "render",
    "IN OUT",
    {
        {"", {"pages"}, ReqArg{"LIST"}, "draw only these pages, e.g. 1-3,7 or 5- (the first page is 1)"},
        {"", {"dpi"}, ReqArg{"N"}, "PNG resolution in pixels per inch (default 72)"},
        {"", {"resource-dir"}, ReqArg{"DIR"},
         "find overlays, page segments, font character sets and code pages that the stream lacks in DIR "
         "(may be repeated)"},
        {"", {"format"}, ReqArg{"FORMAT"}, "pdf, svg or png; the default is OUT's extension (pdf for -)"},
        quietOption(),
    },
    2,
    2,
};

[[noreturn]] void renderUsage(const std::string& message) { usageError(renderSpec, message); }

// Page ranges of --pages: "1-3,7,10-".
struct PageSet {
    std::vector<std::pair<int, int>> ranges;  // inclusive; INT_MAX for an open end
    bool contains(int n) const {
        if (ranges.empty()) return true;
        return std::any_of(ranges.begin(), ranges.end(), [n](auto r) { return n >= r.first && n <= r.second; });
    }
    int last() const {
        int m = 0;
        for (auto [a, b] : ranges) m = std::max(m, b);
        return ranges.empty() ? INT_MAX : m;
    }
    bool single() const { return ranges.size() == 1 && ranges[0].first == ranges[0].second; }
};

int pageNumber(std::string_view s, const std::string& list) {
    int n = 0;
    if (s.empty() || s.size() > 9) renderUsage("--pages needs page numbers like 1-3,7: '" + list + "'");
    for (char ch : s) {
        if (ch < '0' || ch > '9') renderUsage("--pages needs page numbers like 1-3,7: '" + list + "'");
        n = n * 10 + (ch - '0');
    }
    if (n < 1) renderUsage("--pages counts from page 1: '" + list + "'");
    return n;
}

PageSet parsePages(const std::string& list) {
    PageSet set;
    std::string_view rest = list;
    while (true) {
        std::size_t comma = rest.find(',');
        std::string_view item = rest.substr(0, comma);
        std::size_t dash = item.find('-');
        if (dash == std::string_view::npos) {
            int n = pageNumber(item, list);
            set.ranges.emplace_back(n, n);
        } else {
            int a = pageNumber(item.substr(0, dash), list);
            int b = dash + 1 == item.size() ? INT_MAX : pageNumber(item.substr(dash + 1), list);
            if (b < a) renderUsage("--pages range runs backwards: '" + std::string(item) + "'");
            set.ranges.emplace_back(a, b);
        }
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return set;
}

// Where "%d" or "%0Nd" stands in a file name, or npos; "%%" is a percent sign.
struct NamePattern {
    std::string before, after;
    int width = 0;
    bool present = false;
};
NamePattern namePattern(const std::string& name) {
    NamePattern p;
    std::string lit;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '%' || i + 1 >= name.size()) {
            lit += name[i];
            continue;
        }
        if (name[i + 1] == '%') {
            lit += '%';
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        int width = 0;
        if (name[j] == '0' && j + 2 < name.size() + 1 && j + 1 < name.size() && name[j + 1] >= '1' &&
            name[j + 1] <= '9') {
            width = name[j + 1] - '0';
            j += 2;
        }
        if (j < name.size() && name[j] == 'd' && !p.present) {
            p.present = true;
            p.width = width;
            p.before = lit;
            lit.clear();
            i = j;
            continue;
        }
        lit += name[i];
    }
    if (p.present) p.after = lit;
    else p.before = lit;
    return p;
}
std::string pageFileName(const NamePattern& p, int page) {
    std::string n = std::to_string(page);
    if (int(n.size()) < p.width) n.insert(0, std::size_t(p.width) - n.size(), '0');
    return p.before + n + p.after;
}

Format formatOf(const std::string& out, const std::string& given) {
    std::string ext = given;
    if (ext.empty()) {
        if (out == "-") return Format::Pdf;
        std::size_t dot = out.rfind('.');
        if (dot == std::string::npos || out.find('/', dot) != std::string::npos)
            renderUsage("cannot tell the format of '" + out + "': give it a .pdf, .svg or .png name, or --format");
        ext = out.substr(dot + 1);
    }
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (ext == "pdf") return Format::Pdf;
    if (ext == "svg") return Format::Svg;
    if (ext == "png") return Format::Png;
    renderUsage("unknown output format '" + ext + "': pdf, svg or png");
}

// A window onto a source from `base` on: a reader started at a page after a
// damaged stretch of the stream reads through it.
class ShiftedSource final : public ByteSource {
public:
    ShiftedSource(std::shared_ptr<ByteSource> inner, std::uint64_t base) : inner_(std::move(inner)), base_(base) {}
    Bytes window(std::uint64_t offset, std::size_t n) override { return inner_->window(base_ + offset, n); }
    void keepFrom(std::uint64_t offset) override { inner_->keepFrom(base_ + offset); }
    std::int64_t size() const noexcept override {
        std::int64_t s = inner_->size();
        return s < 0 ? -1 : s - std::int64_t(base_);
    }
    const std::string& name() const noexcept override { return inner_->name(); }

private:
    std::shared_ptr<ByteSource> inner_;
    std::uint64_t base_;
};

// The offset of the next Begin Page field (X'5A', length, X'D3A8AF') at or
// after `from`, or -1.
std::int64_t nextBeginPage(ByteSource& src, std::uint64_t from) {
    constexpr std::size_t span = 1 << 16;
    for (std::uint64_t at = from;;) {
        Bytes w = src.window(at, span);
        if (w.size() < 6) return -1;
        std::span<const byte> b = w.span();
        for (std::size_t i = 0; i + 6 <= b.size(); ++i)
            if (b[i] == 0x5A && b[i + 3] == 0xD3 && b[i + 4] == 0xA8 && b[i + 5] == 0xAF) return std::int64_t(at + i);
        at += b.size() - 5;
        src.keepFrom(at);
    }
}

int renderStream(const std::vector<std::string>& argv) {
    ParsedArgs p = parseCommandArgs(renderSpec, argv);
    const std::string& inPath = p.operands[0];
    const std::string& outPath = p.operands[1];
    Format format = formatOf(outPath, p.get("format"));
    PageSet wanted = p.has("pages") ? parsePages(p.get("pages")) : PageSet{};
    render::RenderOptions ro;
    if (p.has("dpi")) {
        std::string s = p.get("dpi");
        char* end = nullptr;
        double dpi = std::strtod(s.c_str(), &end);
        if (s.empty() || *end || !(dpi >= 1 && dpi <= 2400)) renderUsage("--dpi needs a number from 1 to 2400: '" + s + "'");
        ro.dpi = dpi;
    }
    bool quiet = p.has("quiet");
    auto warn = [](const std::string& w) { std::fprintf(stderr, "*** Warning: %s\n", w.c_str()); };
    ro.warn = warn;
    PageOptions po;
    if (auto it = p.opts.find("resource-dir"); it != p.opts.end()) po.resourceDirs = it->second;
    po.warn = warn;

    NamePattern pattern = namePattern(outPath);
    if (pattern.present && format == Format::Pdf) renderUsage("a PDF holds every page: its name takes no %d");
    if (pattern.present && outPath == "-") renderUsage("standard output takes one page");

    std::shared_ptr<ByteSource> src = openSource(inPath);
    auto reader = std::make_unique<AfpReader>(std::make_unique<ShiftedSource>(src, 0));
    std::uint64_t base = 0;
    Progress progress(!quiet, src->size());
    Summary summary;

    PageInterpreter pages(po);
    BareObjects bare;
    std::unique_ptr<OutputFile> single;  // the PDF, or the one page of an SVG/PNG without %d
    std::unique_ptr<render::PdfWriter> pdf;
    std::unique_ptr<render::ImageWriter> images;
    auto sinkTo = [](OutputFile& f) { return [&f](std::span<const unsigned char> d) { f.append(d.data(), d.size()); }; };
    if (format == Format::Pdf) {
        single = std::make_unique<OutputFile>(outPath);
        pdf = std::make_unique<render::PdfWriter>(sinkTo(*single), ro);
    } else {
        images = std::make_unique<render::ImageWriter>(format, ro);
    }
    int drawn = 0;
    auto draw = [&](const Page& page) {
        if (!wanted.contains(page.number)) return;
        if (pdf) {
            pdf->add(page);
        } else if (pattern.present) {
            std::string name = pageFileName(pattern, page.number);
            OutputFile f(name);
            images->write(page, sinkTo(f));
            f.commit();
        } else {
            if (single)
                throw Error("more than one page to draw: name the output with %d (such as page-%d." +
                            std::string(format == Format::Png ? "png" : "svg") + ") or choose one with --pages");
            single = std::make_unique<OutputFile>(outPath);
            images->write(page, sinkTo(*single));
        }
        ++drawn;
    };

    AFP_ c;
    while (true) {
        bool got = false;
        try {
            got = reader->next(c);
        } catch (const FormatError& e) {
            std::uint64_t at = base + e.offset();
            progress.finish();
            // The page read so far is drawn; reading starts again at the next page.
            static const byte endPage[] = {0xD3, 0xA9, 0xAF, 0, 0, 0};
            bool inPage = pages.feed(AFP_{0xD3A9AF, Bytes::copy(std::span<const byte>(endPage))});
            std::int64_t next = reader->framing() == Framing::Clean ? nextBeginPage(*src, at + 1) : -1;
            warn(std::string("damaged stream: ") + e.what() +
                 (inPage ? "; page " + std::to_string(pages.page().number) + " is drawn as far as it goes" : "") +
                 (next < 0 ? "; nothing after it is read" : "; reading goes on at the page at offset " +
                                                                 std::to_string(next)));
            if (inPage) draw(pages.page());
            if (next < 0) break;
            base = std::uint64_t(next);
            ReaderLimits limits;
            limits.framing = Framing::Clean;
            reader = std::make_unique<AfpReader>(std::make_unique<ShiftedSource>(src, base), limits);
            continue;
        }
        if (!got) break;
        summary.count(c.code, base + reader->consumed());
        progress.update(base + reader->consumed());
        bare.feed(c);
        if (pages.feed(c)) draw(pages.page());
        if (pages.pages() > wanted.last()) break;
    }
    progress.finish();
    // A stream of objects without pages: each object on a page of its own.
    if (pages.pages() == 0 && !bare.empty()) bare.present(pages, draw);
    if (pdf && drawn == 0)
        warn(pages.pages() == 0 ? "the stream has no pages: the PDF holds one empty page"
                                : "no page selected: the PDF holds one empty page");
    if (pdf) pdf->close();
    if (single) single->commit();
    if (format != Format::Pdf && drawn == 0) {
        printError(pages.pages() == 0 ? "the stream has no pages" : "no page selected: the stream has " +
                                                                        std::to_string(pages.pages()) + " pages");
        return 1;
    }
    if (!quiet && stderrIsTerminal()) {
        summary.print(false);
        std::fprintf(stderr, "%d %s drawn to %s\n", drawn, drawn == 1 ? "page" : "pages",
                     outPath == "-" ? "standard output" : outPath.c_str());
    }
    return 0;
}

int cmdRender(const std::vector<std::string>& argv) {
    int status = 0;
    try {
        status = renderStream(argv);
    } catch (...) {
        render::releaseStaticData();
        throw;
    }
    render::releaseStaticData();
    return status;
}

Register renderCommand{{"render", kRenderSummary, cmdRender}};

}  // namespace
}  // namespace pressel::tool
