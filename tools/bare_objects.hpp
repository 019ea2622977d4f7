// Streams that hold objects without pages: an image object or object
// container as a resource library keeps it (BIM..EIM, BOC..EOC at the top
// level of the file). Such a stream has nothing to present; the render and
// images commands show each object on a page of its own, the size of the
// object area and its position (OBD, OBP).
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "pressel/page/page.hpp"

namespace pressel::tool {

class BareObjects {
public:
    // Takes every structured field of the stream in order. Keeps the
    // objects at the top level (outside any page, resource group or
    // document) until the first page begins, then nothing more.
    void feed(const AFP_& c) {
        if (sawPage_) return;
        if (c.code == 0xD3A8AF) {  // BPG: the stream has pages
            sawPage_ = true;
            objects_.clear();
            objects_.shrink_to_fit();
            return;
        }
        bool begins = (c.code >> 8) == 0xD3A8, ends = (c.code >> 8) == 0xD3A9;
        if (depth_ == 0 && begins && isObject(c.code)) objects_.emplace_back();
        if (collecting_ || (depth_ == 0 && begins && isObject(c.code))) {
            collecting_ = true;
            objects_.back().push_back(AFP_{c.code, Bytes::copy(c.payload.span())});
        }
        if (begins) ++depth_;
        if (ends && depth_ > 0 && --depth_ == 0) collecting_ = false;
    }

    bool empty() const noexcept { return objects_.empty(); }

    // Feeds each object to `pages` as a page of its own: Begin Page, a page
    // descriptor that holds the object area, the object, End Page. Calls
    // `onPage(page)` for each.
    template <class F>
    void present(PageInterpreter& pages, F&& onPage) const {
        for (const std::vector<AFP_>& object : objects_) {
            static const byte bpg[] = {0xD3, 0xA8, 0xAF, 0, 0, 0};
            static const byte epg[] = {0xD3, 0xA9, 0xAF, 0, 0, 0};
            pages.feed(AFP_{0xD3A8AF, Bytes::copy(std::span<const byte>(bpg))});
            pages.feed(pageDescriptor(object));
            bool ended = false;
            for (const AFP_& f : object) ended = pages.feed(f) || ended;
            ended = pages.feed(AFP_{0xD3A9AF, Bytes::copy(std::span<const byte>(epg))}) || ended;
            if (ended) onPage(pages.page());
        }
    }

private:
    static bool isObject(std::uint32_t code) {
        switch (code) {
        case 0xD3A8FB:  // BIM
        case 0xD3A892:  // BOC
        case 0xD3A8BB:  // BGR
        case 0xD3A8EB:  // BBC
            return true;
        default: return false;
        }
    }

    // A PGD in the object area's own units holding the area at its position.
    static AFP_ pageDescriptor(const std::vector<AFP_>& object) {
        byte base = 0;
        unsigned ux = 14400, uy = 14400;  // object area units per unit base (10 inches)
        unsigned w = 0, h = 0;
        int x = 0, y = 0;
        for (const AFP_& f : object) {
            std::span<const byte> p = f.payload.span();
            if (p.size() < 6) continue;
            std::span<const byte> d = p.subspan(6);
            if (f.code == 0xD3A66B) {  // OBD: units and size triplets
                for (std::size_t at = 0; at + 2 <= d.size();) {
                    std::size_t len = d[at];
                    if (len < 2 || at + len > d.size()) break;
                    std::span<const byte> t = d.subspan(at, len);
                    if (t[1] == 0x4B && len >= 8 && (t[4] | t[5]) && (t[6] | t[7])) {
                        base = t[2] == 1 ? 1 : 0;
                        ux = unsigned(t[4] << 8 | t[5]);
                        uy = unsigned(t[6] << 8 | t[7]);
                    }
                    if (t[1] == 0x4C && len >= 9) {
                        w = unsigned(t[3] << 16 | t[4] << 8 | t[5]);
                        h = unsigned(t[6] << 16 | t[7] << 8 | t[8]);
                    }
                    at += len;
                }
            } else if (f.code == 0xD3AC6B && d.size() >= 8) {  // OBP: the area's offset
                auto s24 = [&](std::size_t i) {
                    unsigned v = unsigned(d[i] << 16 | d[i + 1] << 8 | d[i + 2]);
                    return v & 0x800000 ? int(v) - 0x1000000 : int(v);
                };
                x = std::max(0, s24(2));
                y = std::max(0, s24(5));
            }
        }
        // Without an area size: a US Letter page.
        std::uint32_t pw = w ? std::min<std::uint32_t>(unsigned(x) + w, 0x7FFFFF) : ux * 85 / 100;
        std::uint32_t ph = h ? std::min<std::uint32_t>(unsigned(y) + h, 0x7FFFFF) : uy * 110 / 100;
        const byte pgd[] = {0xD3, 0xA6, 0xAF, 0, 0, 0, base, base, byte(ux >> 8), byte(ux), byte(uy >> 8), byte(uy),
                            byte(pw >> 16), byte(pw >> 8), byte(pw), byte(ph >> 16), byte(ph >> 8), byte(ph),
                            0, 0, 0};
        return AFP_{0xD3A6AF, Bytes::copy(std::span<const byte>(pgd))};
    }

    std::vector<std::vector<AFP_>> objects_;
    int depth_ = 0;
    bool collecting_ = false, sawPage_ = false;
};

}  // namespace pressel::tool
