// Object areas of the page interpreter: images, graphics, bar codes and
// object containers it places without reading, inline and through IOB;
// overlays from several resource directories.
#include <gtest/gtest.h>

#include <map>

#include "helpers.hpp"
#include "byte_builders.hpp"
#include "pressel/stream/io.hpp"
#include "pressel/page/page.hpp"
#include "pressel/core/strings.hpp"

namespace pressel::test {
namespace {

// X'4B' measurement units at `perTenInches` and X'4C' object area size.
B units(unsigned perTenInches) { return B{8, 0x4B, 0, 0} + be(perTenInches, 2) + be(perTenInches, 2); }
B areaSize(unsigned w, unsigned h) { return B{9, 0x4C, 2} + be(w, 3) + be(h, 3); }
// OBP: area origin and orientation, content at the area's origin.
B position(int x, int y, unsigned orient = 0) {
    return B{1, 23} + be(unsigned(x) & 0xFFFFFF, 3) + be(unsigned(y) & 0xFFFFFF, 3) + be(orient, 2) +
           be((orient + 0x2D00) % 0xB400, 2) + B{0} + be(0, 3) + be(0, 3) + be(0, 2) + be(0x2D00, 2) + B{1};
}
// IOB of `name`, type `type`, at (x, y) in page units, with triplets.
B includeObject(std::string_view name, byte type, unsigned x, unsigned y, unsigned orient, const B& triplets = {}) {
    return name8(name) + B{0, type} + be(x, 3) + be(y, 3) + be(orient, 2) + be(orient == 0xFFFF ? 0xFFFF : (orient + 0x2D00) % 0xB400, 2) +
           be(0xFFFFFF, 3) + be(0xFFFFFF, 3) + B{1} + triplets;
}

// A US Letter page at 1440 units per inch holding the given fields.
std::vector<AFP_> page(const std::vector<AFP_>& body) {
    const B pgd = B{0, 0} + be(14400, 2) + be(14400, 2) + be(12240, 3) + be(15840, 3) + B{0, 0, 0};
    std::vector<AFP_> f = {sf(0xD3A8AF, name8("P1")), sf(0xD3A8C9), sf(0xD3A6AF, pgd), sf(0xD3A9C9)};
    f.insert(f.end(), body.begin(), body.end());
    f.push_back(sf(0xD3A9AF));
    return f;
}

std::vector<Page> interpret(const std::vector<AFP_>& fields, std::vector<std::string>* warnings = nullptr,
                            PageOptions o = {}) {
    o.warn = [warnings](const std::string& w) {
        if (warnings) warnings->push_back(w);
    };
    PageInterpreter x(o);
    std::vector<Page> pages;
    for (const AFP_& c : fields)
        if (x.feed(c)) pages.push_back(x.page());
    return pages;
}

TEST(PageObjects, InlineObjectsTakeTheirAreaFromObdAndObp) {
    // An image 2 x 1 inches at (1 in, 2 in), its size in 300ths of an inch;
    // a bar code area turned 90 degrees about its origin at (5 in, 1 in).
    std::vector<AFP_> body = {
        sf(0xD3A8FB, name8("IMG1")), sf(0xD3A8C7), sf(0xD3A66B, units(3000) + areaSize(600, 300)),
        sf(0xD3AC6B, position(1440, 2880)), sf(0xD3A9C7), sf(0xD3EEFB, B(40, 0xFF)), sf(0xD3A9FB),
        sf(0xD3A8EB, name8("BAR1")), sf(0xD3A8C7), sf(0xD3A66B, units(14400) + areaSize(1440, 720)),
        sf(0xD3AC6B, position(7200, 1440, 0x2D00)), sf(0xD3A9C7), sf(0xD3A9EB),
    };
    std::vector<Page> pages = interpret(page(body));
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].objects.size(), 2u);
    const PageObject& img = pages[0].objects[0];
    EXPECT_EQ(img.kind, PageObject::Kind::Image);
    EXPECT_EQ(img.name, "IMG1");
    EXPECT_NEAR(img.x, 72, 1e-9);
    EXPECT_NEAR(img.y, 144, 1e-9);
    EXPECT_NEAR(img.width, 144, 1e-9);
    EXPECT_NEAR(img.height, 72, 1e-9);
    const PageObject& bar = pages[0].objects[1];
    EXPECT_EQ(bar.kind, PageObject::Kind::BarCode);
    EXPECT_EQ(bar.rotation, 90);
    // Turned clockwise about (360, 72): x runs down, y runs left.
    EXPECT_NEAR(bar.x, 360 - 36, 1e-9);
    EXPECT_NEAR(bar.y, 72, 1e-9);
    EXPECT_NEAR(bar.width, 36, 1e-9);
    EXPECT_NEAR(bar.height, 72, 1e-9);
    EXPECT_STREQ(objectKindName(bar.kind), "bar code");
    // The area before rotation, and the object's own fields for its drawer.
    EXPECT_NEAR(bar.originX, 360, 1e-9);
    EXPECT_NEAR(bar.originY, 72, 1e-9);
    EXPECT_NEAR(bar.areaWidth, 72, 1e-9);
    EXPECT_NEAR(bar.areaHeight, 36, 1e-9);
    ASSERT_TRUE(img.fields);
    ASSERT_EQ(img.fields->size(), 7u);
    EXPECT_EQ(img.fields->front().code, 0xD3A8FBu);
    EXPECT_EQ((*img.fields)[5].code, 0xD3EEFBu);
    EXPECT_EQ(img.fields->back().code, 0xD3A9FBu);
    // The text runs and rules of the page are untouched by the object's fields.
    EXPECT_TRUE(pages[0].text.empty());
    EXPECT_TRUE(pages[0].rules.empty());
}

TEST(PageObjects, IncludedObjectsTakeTheIncludeOverTheResource) {
    // A graphics resource defined before the page with its own area; one IOB
    // keeps the resource's position (X'FFFFFF'), one gives its own, one a size.
    std::vector<AFP_> fields = {
        sf(0xD3A8C6), sf(0xD3A8CE, name8("GR1")), sf(0xD3A8BB, name8("GR1")), sf(0xD3A8C7),
        sf(0xD3A66B, units(14400) + areaSize(2880, 1440)), sf(0xD3AC6B, position(720, 720)), sf(0xD3A9C7),
        sf(0xD3A9BB), sf(0xD3A9CE), sf(0xD3A9C6),
    };
    std::vector<AFP_> body = {
        sf(0xD3AFC3, includeObject("GR1", 0xBB, 0xFFFFFF, 0xFFFFFF, 0xFFFF)),
        sf(0xD3AFC3, includeObject("GR1", 0xBB, 1440, 4320, 0)),
        sf(0xD3AFC3, includeObject("GR1", 0xBB, 1440, 1440, 0x5A00, units(14400) + areaSize(720, 720))),
        sf(0xD3AFC3, includeObject("MISSING", 0x92, 0, 0, 0)),
    };
    for (const AFP_& c : page(body)) fields.push_back(c);
    std::vector<Page> pages = interpret(fields);
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].objects.size(), 4u);
    const auto& o = pages[0].objects;
    EXPECT_EQ(o[0].kind, PageObject::Kind::Graphics);
    EXPECT_NEAR(o[0].x, 36, 1e-9);
    EXPECT_NEAR(o[0].y, 36, 1e-9);
    EXPECT_NEAR(o[0].width, 144, 1e-9);
    EXPECT_NEAR(o[0].height, 72, 1e-9);
    EXPECT_NEAR(o[1].x, 72, 1e-9);
    EXPECT_NEAR(o[1].y, 216, 1e-9);
    EXPECT_NEAR(o[1].width, 144, 1e-9);
    // Upside down about (72, 72): the area lies up and to the left.
    EXPECT_NEAR(o[2].x, 36, 1e-9);
    EXPECT_NEAR(o[2].y, 36, 1e-9);
    EXPECT_NEAR(o[2].width, 36, 1e-9);
    EXPECT_EQ(o[2].rotation, 180);
    // Every include shares the resource's fields; the IOB's triplets are kept.
    ASSERT_TRUE(o[0].fields);
    EXPECT_EQ(o[0].fields, o[1].fields);
    EXPECT_EQ(o[0].fields->front().code, 0xD3A8BBu);
    EXPECT_FALSE(o[2].includeTriplets.empty());
    EXPECT_FALSE(o[3].fields);
    // A container the stream does not hold is still placed, with no size.
    EXPECT_EQ(o[3].kind, PageObject::Kind::Container);
    EXPECT_EQ(o[3].name, "MISSING");
    EXPECT_EQ(o[3].width, 0);
}

TEST(PageObjects, FopsImageAndGraphicsAreas) {
    // invoice: a 12 x 12 mm image included with IOB; graphics: an inline SVG
    // drawing of 40 x 30 mm. Sizes in points, within FOP's rounding to its units.
    const std::map<std::string, std::pair<double, double>> sizes = {{"invoice", {34.02, 34.02}},
                                                                    {"graphics", {113.39, 85.04}}};
    for (const char* name : {"invoice", "graphics"}) {
        std::vector<Page> pages;
        PageInterpreter x;
        AfpStream in = readAFP(dataPath(std::string(name) + ".afp"));
        for (const AFP_& c : in)
            if (x.feed(c)) pages.push_back(x.page());
        ASSERT_EQ(pages.size(), 1u) << name;
        ASSERT_EQ(pages[0].objects.size(), 1u) << name;
        const PageObject& o = pages[0].objects[0];
        EXPECT_EQ(o.kind, std::string(name) == "invoice" ? PageObject::Kind::Image : PageObject::Kind::Graphics);
        EXPECT_NEAR(o.width, sizes.at(name).first, 0.3) << name;
        EXPECT_NEAR(o.height, sizes.at(name).second, 0.3) << name;
        EXPECT_NEAR(o.x, 56.7, 0.1) << name;  // the 20 mm left margin
    }
}

TEST(PageObjects, OverlaysAreFoundInEveryResourceDirectory) {
    TempDir a, b;
    // An overlay with one rule, in the second directory only.
    std::vector<AFP_> overlay = {sf(0xD3A8DF, name8("O1")), sf(0xD3A8C9),
                                 sf(0xD3A6AF, B{0, 0} + be(14400, 2) + be(14400, 2) + be(1440, 3) + be(1440, 3)),
                                 sf(0xD3A9C9), sf(0xD3A89B),
                                 sf(0xD3EE9B, B{0x2B, 0xD3, 4, 0xE5} + be(720, 2)), sf(0xD3A99B), sf(0xD3A9DF)};
    writeAFP(b.file("O1.ovl"), overlay);
    std::vector<AFP_> body = {sf(0xD3AFD8, name8("O1") + be(1440, 3) + be(1440, 3) + be(0, 2)),
                              sf(0xD3AFD8, name8("O2") + be(0, 3) + be(0, 3) + be(0, 2))};
    PageOptions o;
    o.resourceDirs = {a.path().string(), b.path().string()};
    std::vector<std::string> warnings;
    std::vector<Page> pages = interpret(page(body), &warnings, o);
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].rules.size(), 1u);
    EXPECT_NEAR(pages[0].rules[0].x, 72, 1e-9);
    EXPECT_NEAR(pages[0].rules[0].width, 36, 1e-9);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("O2"), std::string::npos);
    EXPECT_NE(warnings[0].find(b.path().string()), std::string::npos);
}

}  // namespace
}  // namespace pressel::test
