// The render library on pages built by hand: where rules, text and object
// outlines land in the PNG, page sizes, and a sink that fails.
#include <gtest/gtest.h>

#include <cairo.h>

#include <climits>
#include <cstring>
#include <stdexcept>

#include "pressel/render/render.hpp"
#include "object_helpers.hpp"

namespace pressel::test {
namespace {


std::string renderPng(const Page& page, double dpi, std::vector<std::string>* warnings = nullptr) {
    render::RenderOptions o;
    o.dpi = dpi;
    o.warn = [warnings](const std::string& w) {
        if (warnings) warnings->push_back(w);
    };
    render::ImageWriter w(render::Format::Png, o);
    std::string out;
    w.write(page, [&out](std::span<const unsigned char> b) { out.append(reinterpret_cast<const char*>(b.data()), b.size()); });
    return out;
}

TextRun run(double x, double y, int rotation, std::string text, Rgb color) {
    TextRun r;
    r.x = x;
    r.y = y;
    r.rotation = rotation;
    r.font = "C0H40000";
    r.size = 20;
    r.color = color;
    for (std::size_t k = 0; k < text.size(); ++k) {
        r.offsets.push_back(float(12 * k));
        r.advances.push_back(12);
    }
    r.text = std::move(text);
    return r;
}

// Bounding box of the pixels of one colour (within a tolerance per channel).
struct Box {
    int x0 = INT_MAX, y0 = INT_MAX, x1 = -1, y1 = -1;
};
Box inkOf(const Pixels& r, std::uint32_t color, int tolerance = 60) {
    Box b;
    auto near = [&](std::uint32_t p) {
        for (int s : {16, 8, 0})
            if (std::abs(int((p >> s) & 0xFF) - int((color >> s) & 0xFF)) > tolerance) return false;
        return true;
    };
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x)
            if (near(r.at(x, y))) b.x0 = std::min(b.x0, x), b.y0 = std::min(b.y0, y), b.x1 = std::max(b.x1, x), b.y1 = std::max(b.y1, y);
    return b;
}

TEST(RenderLibrary, RulesTextAndOutlinesLandWhereThePageSays) {
    Page page;
    page.number = 1;
    page.width = 200;
    page.height = 100;
    page.rules.push_back({10, 10, 40, 4, 0xFF0000});
    // Blue text turned 90 degrees clockwise: it runs down from (150, 10) and
    // the glyphs' tops face +x, so they lie right of the line x = 150.
    page.text.push_back(run(150, 10, 90, "HHHH", 0x0000FF));
    PageObject image;
    image.kind = PageObject::Kind::Image;
    image.name = "IMG";
    image.x = 60, image.y = 40, image.width = 30, image.height = 30;
    page.objects.push_back(image);
    std::vector<std::string> warnings;
    Pixels r = decodePngBytes(renderPng(page, 144, &warnings));  // 2 pixels a point
    ASSERT_EQ(r.width, 400);
    ASSERT_EQ(r.height, 200);
    EXPECT_EQ(r.at(0, 0), 0xFFFFFFu);
    Box red = inkOf(r, 0xFF0000);
    EXPECT_EQ(red.x0, 20);
    EXPECT_EQ(red.y0, 20);
    EXPECT_EQ(red.x1, 99);
    EXPECT_EQ(red.y1, 27);
    Box blue = inkOf(r, 0x0000FF);
    ASSERT_GE(blue.x1, 0) << "no blue text";
    // Along the run: four 12 pt advances from y = 10 pt; across: the glyphs'
    // height on one side of the baseline x = 150 pt.
    EXPECT_GE(blue.y0, 20);
    EXPECT_LE(blue.y1, 2 * (10 + 48) + 2);
    EXPECT_GT(blue.y1 - blue.y0, 2 * 40);
    EXPECT_GE(blue.x0, 299);
    EXPECT_LE(blue.x1, 2 * (150 + 16));  // 20 pt capitals are about 14 pt high
    EXPECT_GT(blue.x1 - blue.x0, 20);
    // The object's outline, grey, not filled.
    int edge = 0;  // dashed pixels of its left edge, x = 60 pt, y 40..70 pt
    for (int y = 80; y < 140; ++y) edge += (r.at(119, y) & 0xFF) < 0xF0 || (r.at(120, y) & 0xFF) < 0xF0;
    EXPECT_GT(edge, 20);
    EXPECT_EQ(r.at(150, 90), 0xFFFFFFu);  // inside, off the diagonals
    // Not drawn: without the image decoders for its kind, with them because
    // its data is not there (no fields).
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(warnings[0].find("image objects are not drawn") != std::string::npos ||
                warnings[0].find("image IMG (page 1) is not in the stream: its area is outlined") != std::string::npos)
        << warnings[0];
}

TEST(RenderLibrary, PageSizesWithoutAPgdAndTooLargeForTheResolution) {
    Page none;
    none.number = 4;
    std::vector<std::string> warnings;
    Pixels r = decodePngBytes(renderPng(none, 72, &warnings));
    EXPECT_EQ(r.width, 612);
    EXPECT_EQ(r.height, 792);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("page 4 has no size"), std::string::npos);
    // A 200 inch page at 600 dpi would be 120,000 pixels wide: drawn smaller.
    Page huge;
    huge.number = 1;
    huge.width = 14400;
    huge.height = 72;
    warnings.clear();
    r = decodePngBytes(renderPng(huge, 600, &warnings));
    EXPECT_EQ(r.width, render::maxPixels);
    EXPECT_EQ(r.height, render::maxPixels / 200);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("too large"), std::string::npos);
}

TEST(RenderLibrary, PdfPagesTakeTheirOwnSizesAndAFailingSinkStopsTheWriter) {
    std::string pdf;
    {
        render::PdfWriter w([&pdf](std::span<const unsigned char> b) { pdf.append(reinterpret_cast<const char*>(b.data()), b.size()); });
        Page a;
        a.number = 1, a.width = 300, a.height = 200;
        a.text.push_back(run(20, 50, 0, "Hi", 0));
        Page b = a;
        b.number = 2, b.width = 100, b.height = 400;
        w.add(a);
        w.add(b);
        w.close();
        EXPECT_EQ(w.pages(), 2);
    }
    EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u);
    EXPECT_NE(pdf.find("/MediaBox [ 0 0 300 200 ]"), std::string::npos);
    EXPECT_NE(pdf.find("/MediaBox [ 0 0 100 400 ]"), std::string::npos);

    std::size_t written = 0;
    auto failing = [&written](std::span<const unsigned char> b) {
        if (written + b.size() > 100) throw std::runtime_error("disk full");
        written += b.size();
    };
    render::PdfWriter w(failing);
    Page a;
    a.number = 1, a.width = 300, a.height = 200;
    a.text.push_back(run(20, 50, 0, "Hello", 0));
    try {
        for (int k = 0; k < 50; ++k) w.add(a);
        w.close();
        ADD_FAILURE() << "the sink's failure was not reported";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "disk full");
    }
}

}  // namespace
}  // namespace pressel::test
