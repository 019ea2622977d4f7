// Images placed on the page by the renderer: every mapping option, the
// include's option over the object's own, rotation, containers drawn and
// outlined, a damaged resource told once.
#include <gtest/gtest.h>

#include <png.h>

#include <cstring>

#include "../helpers.hpp"
#include "pressel/page/page.hpp"
#include "pressel/render/render.hpp"

namespace pressel::test {
namespace {

AFP_ sf(std::uint32_t code, std::vector<byte> data) {
    std::vector<byte> p = {byte(code >> 16), byte(code >> 8), byte(code), 0, 0, 0};
    p.insert(p.end(), data.begin(), data.end());
    return AFP_{code, Bytes::copy(std::span<const byte>(p))};
}

// An image object of 2 x 2 red points at 7.2 points per inch (20 x 20
// points), with an object area of 40 x 10 points (units of 1 point) and a
// map image object option `mapping`.
std::shared_ptr<std::vector<AFP_>> redImage(unsigned mapping) {
    auto f = std::make_shared<std::vector<AFP_>>();
    f->push_back(sf(0xD3A8FB, {0xC9, 0xD4, 0xC7, 0x40, 0x40, 0x40, 0x40, 0x40}));  // BIM "IMG"
    f->push_back(sf(0xD3A8C7, {}));                                                 // BOG
    f->push_back(sf(0xD3A66B, {0x04, 0x43, 0x00, 0x01, 0x08, 0x4B, 0x00, 0x00, 0x02, 0xD0, 0x02, 0xD0,  // OBD
                               0x09, 0x4C, 0x02, 0x00, 0x00, 40, 0x00, 0x00, 10}));
    f->push_back(sf(0xD3AC6B, std::vector<byte>(24, 0)));                           // OBP
    f->push_back(sf(0xD3ABFB, {0x00, 0x05, 0x03, 0x04, byte(mapping)}));            // MIO
    f->push_back(sf(0xD3A6FB, {0x00, 0x00, 0x48, 0x00, 0x48, 0x00, 0x02, 0x00, 0x02}));  // IDD
    f->push_back(sf(0xD3A9C7, {}));                                                 // EOG
    std::vector<byte> seg = {0x70, 0x00, 0x91, 0x01, 0xFF, 0x94, 0x09, 0x00, 0x00, 0x48, 0x00, 0x48, 0x00, 0x02,
                             0x00, 0x02, 0x95, 0x02, 0x03, 0x01, 0x96, 0x01, 0x18, 0xFE, 0x92, 0x00, 0x0C};
    for (int i = 0; i < 4; ++i) seg.insert(seg.end(), {0xFF, 0x00, 0x00});
    seg.insert(seg.end(), {0x93, 0x00, 0x71, 0x00});
    f->push_back(sf(0xD3EEFB, seg));  // IPD
    f->push_back(sf(0xD3A9FB, {}));   // EIM
    return f;
}

PageObject objectAt(std::shared_ptr<std::vector<AFP_>> fields, int rotation = 0) {
    PageObject o;
    o.kind = PageObject::Kind::Image;
    o.name = "IMG";
    o.originX = 100, o.originY = 100, o.areaWidth = 40, o.areaHeight = 10, o.rotation = rotation;
    o.x = rotation == 90 ? 90 : 100, o.y = 100;
    o.width = rotation == 90 ? 10 : 40, o.height = rotation == 90 ? 40 : 10;
    o.fields = std::move(fields);
    return o;
}

struct Drawn {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;  // red pixels' box, inclusive
    std::vector<std::string> warnings;
};

Drawn draw(const std::vector<PageObject>& objects) {
    Page page;
    page.number = 1;
    page.width = 200, page.height = 200;
    page.objects = objects;
    Drawn d;
    render::RenderOptions o;
    o.warn = [&d](const std::string& w) { d.warnings.push_back(w); };
    render::ImageWriter writer(render::Format::Png, o);
    std::string png;
    writer.write(page, [&png](std::span<const unsigned char> b) { png.append(reinterpret_cast<const char*>(b.data()), b.size()); });
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    EXPECT_TRUE(png_image_begin_read_from_memory(&img, png.data(), png.size()));
    img.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> px(PNG_IMAGE_SIZE(img));
    EXPECT_TRUE(png_image_finish_read(&img, nullptr, px.data(), 0, nullptr));
    for (int y = 0; y < int(img.height); ++y)
        for (int x = 0; x < int(img.width); ++x) {
            const std::uint8_t* p = px.data() + (std::size_t(y) * img.width + std::size_t(x)) * 3;
            if (p[0] > 200 && p[1] < 60 && p[2] < 60)
                d.x0 = std::min(d.x0, x), d.y0 = std::min(d.y0, y), d.x1 = std::max(d.x1, x), d.y1 = std::max(d.y1, y);
        }
    return d;
}

TEST(ImageRender, MappingOptionsPlaceThePictureInItsArea) {
    struct Case {
        unsigned mapping;
        int x0, y0, x1, y1;
        const char* name;
    } cases[] = {
        {0x20, 115, 100, 124, 109, "scale to fit: 10 x 10 in the middle"},
        {0x60, 100, 100, 139, 109, "scale to fill: the whole area"},
        {0x10, 100, 100, 119, 109, "position and trim: 20 x 20 from the origin, cut at the area"},
        {0x00, 100, 100, 119, 119, "position: 20 x 20 from the origin, not cut"},
        {0x30, 110, 100, 129, 109, "centre and trim: 20 x 20 about the middle, cut"},
        {0x50, 100, 100, 139, 109, "replicate and trim: repeated over the area"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Drawn d = draw({objectAt(redImage(c.mapping))});
        EXPECT_TRUE(d.warnings.empty()) << d.warnings.front();
        EXPECT_EQ(d.x0, c.x0);
        EXPECT_EQ(d.y0, c.y0);
        EXPECT_EQ(d.x1, c.x1);
        EXPECT_EQ(d.y1, c.y1);
    }
    // The include's mapping option wins over the object's: scale to fill.
    PageObject o = objectAt(redImage(0x20));
    o.includeTriplets = {0x04, 0x04, 0x60, 0x00};
    Drawn fill = draw({o});
    EXPECT_EQ(fill.x0, 100);
    EXPECT_EQ(fill.x1, 139);
    // Turned 90 degrees clockwise about its origin: the area runs down from
    // (100, 100), its height to the left.
    Drawn turned = draw({objectAt(redImage(0x60), 90)});
    EXPECT_EQ(turned.x0, 90);
    EXPECT_EQ(turned.x1, 99);
    EXPECT_EQ(turned.y0, 100);
    EXPECT_EQ(turned.y1, 139);
}

TEST(ImageRender, ContainersDrawnOrOutlinedAndDamageToldOnce) {
    // A PNG container (ImageMagick's colour.png, no object type given).
    std::string png = readFileString(dataPath("colour.png"));
    auto c = std::make_shared<std::vector<AFP_>>();
    c->push_back(sf(0xD3A892, {0xD7, 0xD5, 0xC7, 0x40, 0x40, 0x40, 0x40, 0x40}));
    c->push_back(sf(0xD3EE92, std::vector<byte>(png.begin(), png.end())));
    c->push_back(sf(0xD3A992, {}));
    PageObject o = objectAt(c);
    o.kind = PageObject::Kind::Container;
    o.name = "PNG";
    Drawn d = draw({o});
    EXPECT_TRUE(d.warnings.empty());
    // The red block, top-left 8 x 8 of the 24 x 16 picture fitted to 40 x 10
    // (15 x 10 from x = 112.5): 5 x 5 points.
    EXPECT_NEAR(d.x0, 113, 1);
    EXPECT_NEAR(d.x1, 117, 1);
    EXPECT_EQ(d.y0, 100);

    // EPS (object type X'0D' in the Object Classification): outlined, one warning for all of them.
    std::vector<byte> boc = {0xC5, 0xD7, 0xE2, 0x40, 0x40, 0x40, 0x40, 0x40};
    std::vector<byte> oc = {24, 0x10, 0, 0x01, 0, 0, 0, 0, 0x06, 0x07, 0x2B, 0x12, 0x00, 0x04, 0x01, 0x01, 0x0D};
    oc.resize(24, 0);
    boc.insert(boc.end(), oc.begin(), oc.end());
    auto e = std::make_shared<std::vector<AFP_>>();
    e->push_back(sf(0xD3A892, boc));
    e->push_back(sf(0xD3EE92, {'%', '!', 'P', 'S'}));
    e->push_back(sf(0xD3A992, {}));
    PageObject eps = objectAt(e);
    eps.kind = PageObject::Kind::Container;
    Drawn de = draw({eps, eps});
    ASSERT_EQ(de.warnings.size(), 1u);
    EXPECT_NE(de.warnings[0].find("EPS object containers are not drawn"), std::string::npos) << de.warnings[0];

    // A damaged resource drawn twice: told once, with the offset.
    auto bad = redImage(0x20);
    AFP_& ipd = (*bad)[7];
    std::vector<byte> cut(ipd.payload.span().begin(), ipd.payload.span().end() - 8);
    ipd.payload = Bytes::copy(std::span<const byte>(cut));
    Drawn db = draw({objectAt(bad), objectAt(bad)});
    ASSERT_EQ(db.warnings.size(), 1u);
    EXPECT_NE(db.warnings[0].find("damaged image data"), std::string::npos) << db.warnings[0];
    EXPECT_NE(db.warnings[0].find("at offset 23"), std::string::npos) << db.warnings[0];
    EXPECT_EQ(db.x1, -1);  // nothing red
}

}  // namespace
}  // namespace pressel::test
