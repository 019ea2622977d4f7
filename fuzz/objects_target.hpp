// Body of the objects fuzz target: the graphics (GOCA) and bar code (BCOCA)
// drawers of the render library on arbitrary descriptor and data bytes.
//
// Input: a selector byte (bit 0: bar code rather than graphics; bits 1-2:
// the area's rotation in quarter turns; bits 3-5: the include's mapping
// option, none or one of six), the descriptor's length, the descriptor
// (GDD or BDD), then the data (GAD or BDA), split over two fields at a
// place the bytes choose. The page is drawn to a small PNG.
//
// A damaged object is an acceptable outcome (the drawers outline it and
// warn); an Error from the drawing (cairo left in an error state by what a
// drawer did) is a fault, as is a crash or a sanitizer report.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "pressel/core/error.hpp"
#include "pressel/page/page.hpp"
#include "pressel/render/render.hpp"

namespace pressel::fuzz {

inline AFP_ objectField(std::uint32_t code, const std::uint8_t* data, std::size_t size) {
    std::vector<byte> p = {byte(code >> 16), byte(code >> 8), byte(code), 0, 0, 0};
    p.insert(p.end(), data, data + size);
    return AFP_{code, Bytes::copy(std::span<const byte>(p))};
}

inline int fuzzObjects(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const unsigned sel = data[0];
    const std::size_t descLen = std::min<std::size_t>(data[1], size - 2);
    const std::uint8_t* desc = data + 2;
    const std::uint8_t* rest = desc + descLen;
    const std::size_t restLen = size - 2 - descLen;
    const bool barCode = sel & 1;
    const std::uint32_t descCode = barCode ? 0xD3A6EB : 0xD3A6BB, dataCode = barCode ? 0xD3EEEB : 0xD3EEBB;
    auto fields = std::make_shared<std::vector<AFP_>>();
    fields->push_back(objectField(descCode, desc, descLen));
    std::size_t half = restLen ? (descLen * 7919) % (restLen + 1) : 0;
    fields->push_back(objectField(dataCode, rest, half));
    fields->push_back(objectField(dataCode, rest + half, restLen - half));

    PageObject o;
    o.kind = barCode ? PageObject::Kind::BarCode : PageObject::Kind::Graphics;
    o.name = "FUZZ";
    o.rotation = int((sel >> 1) & 3) * 90;
    o.originX = o.x = 40, o.originY = o.y = 40;
    o.areaWidth = o.width = 100, o.areaHeight = o.height = 80;
    static const byte options[] = {0x00, 0x10, 0x20, 0x30, 0x60, 0x50};
    if (unsigned m = (sel >> 3) & 7; m >= 1 && m <= 6) o.includeTriplets = {0x03, 0x04, options[m - 1]};
    o.fields = std::move(fields);
    Page page;
    page.number = 1;
    page.width = page.height = 180;
    page.objects.push_back(std::move(o));

    render::RenderOptions opt;
    opt.dpi = 24;
    render::ImageWriter w(render::Format::Png, opt);
    try {
        w.write(page, [](std::span<const unsigned char>) {});
    } catch (const Error& e) {
        std::fprintf(stderr, "fuzz target objects: drawing failed: %s\n", e.what());
        std::fflush(stderr);
        std::abort();
    }
    return 0;
}

}  // namespace pressel::fuzz
