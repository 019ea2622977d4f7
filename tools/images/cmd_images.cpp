// pressel images: every image of a stream (IOCA image objects and picture
// object containers, on the pages and in the overlays and page segments
// they include) written to a folder, PNG for decoded pictures and the JPEG
// stream as it is stored for JPEG pictures.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <set>

#include "../bare_objects.hpp"
#include "../command.hpp"
#include "../draw_commands.hpp"
#include "pressel/core/json.hpp"
#include "pressel/image/image.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/stream/output.hpp"
#include "pressel/page/page.hpp"

namespace pressel::tool {
namespace {

const CommandSpec imagesSpec{
    "images",
    "IN DIR",
    {
        {"", {"pages"}, ReqArg{"LIST"}, "only the images of these pages, e.g. 1-3,7 or 5- (the first page is 1)"},
        {"", {"resource-dir"}, ReqArg{"DIR"}, "find overlays, page segments and objects the stream lacks in DIR"},
        {"", {"json"}, NoArg{}, "list what was written as JSON on standard output"},
        quietOption(),
    },
    2,
    2,
};

[[noreturn]] void imagesUsage(const std::string& message) {
    std::vector<OptDescr> opts = imagesSpec.options;
    opts.push_back({"h", {"help"}, NoArg{}, "show this help and exit"});
    showUsage(opts, [](const std::string&) { return "Usage: pressel images IN DIR"; }, message);
}

// --pages: "1-3,7,10-" as inclusive ranges.
std::vector<std::pair<int, int>> pageRanges(const std::string& list) {
    std::vector<std::pair<int, int>> r;
    auto number = [&](std::string_view s) {
        if (s.empty() || s.size() > 9 || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
            imagesUsage("--pages needs page numbers like 1-3,7: '" + list + "'");
        int n = std::stoi(std::string(s));
        if (n < 1) imagesUsage("--pages counts from page 1: '" + list + "'");
        return n;
    };
    std::string_view rest = list;
    while (true) {
        std::size_t comma = rest.find(',');
        std::string_view item = rest.substr(0, comma);
        std::size_t dash = item.find('-');
        int a = number(item.substr(0, dash));
        int b = dash == std::string_view::npos ? a : dash + 1 == item.size() ? INT_MAX : number(item.substr(dash + 1));
        if (b < a) imagesUsage("--pages range runs backwards: '" + std::string(item) + "'");
        r.emplace_back(a, b);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return r;
}

// A file name part from an object name: letters, digits, '-', '_' and '.'.
std::string safeName(const std::string& s) {
    std::string r;
    for (char c : s) {
        bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        r += ok ? c : '_';
    }
    while (!r.empty() && r.back() == '_') r.pop_back();
    return r;
}

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

int cmdImages(const std::vector<std::string>& argv) {
    ParsedArgs p = parseCommandArgs(imagesSpec, argv);
    const std::string& inPath = p.operands[0];
    std::string dir = p.operands[1];
    std::vector<std::pair<int, int>> wanted;
    if (p.has("pages")) wanted = pageRanges(p.get("pages"));
    auto selected = [&](int n) {
        return wanted.empty() ||
               std::any_of(wanted.begin(), wanted.end(), [n](auto r) { return n >= r.first && n <= r.second; });
    };
    int lastWanted = 0;
    for (auto [a, b] : wanted) lastWanted = std::max(lastWanted, b);
    bool json = p.has("json"), quiet = p.has("quiet");
    auto warn = [](const std::string& w) { std::fprintf(stderr, "*** Warning: %s\n", w.c_str()); };

    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec || !std::filesystem::is_directory(dir)) throw IoError("cannot make the folder '" + dir + "': " + ec.message());

    PageOptions po;
    if (auto it = p.opts.find("resource-dir"); it != p.opts.end()) po.resourceDirs = it->second;
    po.warn = warn;
    PageInterpreter pages(po);
    BareObjects bare;
    std::set<std::string> used;
    std::string list;
    int written = 0, kept = 0, failed = 0;

    auto take = [&](const Page& page) {
        if (!selected(page.number)) return;
        int index = 0;
        for (const PageObject& o : page.objects) {
            if (o.kind != PageObject::Kind::Image && o.kind != PageObject::Kind::Container) continue;
            ++index;
            std::string label = std::string(objectKindName(o.kind)) + (o.name.empty() ? "" : " " + o.name) +
                                " on page " + std::to_string(page.number);
            if (!o.fields) {
                warn(label + " is not in the stream: not written");
                ++failed;
                continue;
            }
            image::ObjectData data = image::readObject(*o.fields, o.includeTriplets);
            image::Raster r;
            try {
                r = image::decodeObject(data);
            } catch (const Error& e) {
                warn(label + ": " + e.what() + ": not written");
                ++failed;
                continue;
            }
            std::string name = safeName(o.name);
            std::string stem = "page" + std::to_string(page.number) + "-" +
                               (name.empty() ? (o.kind == PageObject::Kind::Image ? "image" : "object") +
                                                   std::to_string(index)
                                             : name);
            std::string unique = stem;
            for (int k = 2; used.count(unique); ++k) unique = stem + "-" + std::to_string(k);
            used.insert(unique);
            bool asJpeg = !r.jpeg.empty();
            std::string file = unique + (asJpeg ? ".jpg" : ".png");
            std::string path = (std::filesystem::path(dir) / file).string();
            OutputFile out(path);
            if (asJpeg) {
                out.append(r.jpeg.data(), r.jpeg.size());
                ++kept;
            } else {
                std::vector<std::uint8_t> png = image::writePng(r);
                out.append(png.data(), png.size());
            }
            out.commit();
            ++written;
            if (json) {
                list += list.empty() ? "[\n  " : ",\n  ";
                list += "{\"file\": ";
                writeJsonString(list, file);
                list += ", \"page\": " + std::to_string(page.number) + ", \"name\": ";
                writeJsonString(list, o.name);
                list += ", \"kind\": ";
                writeJsonString(list, objectKindName(o.kind));
                list += ", \"width\": " + std::to_string(r.width) + ", \"height\": " + std::to_string(r.height) +
                        ", \"xResolution\": " + number(r.xDpi) + ", \"yResolution\": " + number(r.yDpi) +
                        ", \"bitsPerPixel\": " + std::to_string(r.bitsPerPixel) + ", \"compression\": ";
                writeJsonString(list, r.compression);
                list += "}";
            }
        }
    };

    auto reader = AfpReader(openSource(inPath));
    Progress progress(!quiet, reader.source().size());
    AFP_ c;
    while (reader.next(c)) {
        progress.update(reader.consumed());
        bare.feed(c);
        if (pages.feed(c)) take(pages.page());
        if (lastWanted && lastWanted != INT_MAX && pages.pages() > lastWanted) break;
    }
    progress.finish();
    if (pages.pages() == 0 && !bare.empty()) bare.present(pages, take);

    OutputFile out("-");
    if (json) {
        list += list.empty() ? "[]\n" : "\n]\n";
        out.append(list);
    } else if (!quiet) {
        std::string line = std::to_string(written) + (written == 1 ? " image" : " images") + " written to " + dir;
        if (kept) line += " (" + std::to_string(kept) + " JPEG kept as .jpg)";
        if (failed) line += ", " + std::to_string(failed) + " not written";
        out.append(line + "\n");
    }
    out.commit();
    return 0;
}

Register imagesCommand{{"images", kImagesSummary, cmdImages}};

}  // namespace
}  // namespace pressel::tool
