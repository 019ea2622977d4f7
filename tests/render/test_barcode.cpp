// Bar code objects from hand-built BDD and BDA: the drawn symbol against
// Zint's own raster of the same data, module for module and where the BDA
// places it; human-readable text, colour, modifiers, postal codes, damaged
// data and symbologies the renderer lacks.
#include <gtest/gtest.h>

#include "object_helpers.hpp"
#include "pressel/core/strings.hpp"

#ifdef PRESSEL_HAVE_ZINT
#include <zint.h>
#endif

namespace pressel::test {
namespace {

// A descriptor in units of 1/1000 inch: symbology, modifier, module width
// in mils, element height in units.
ByteVec bdd(byte type, byte modifier, int moduleMils = 20, int elementHeight = 300, int color = 0xFFFF) {
    return cat({{0x00, 0x00}, be16v(10000), be16v(10000), be16v(4000), be16v(3000), {0, 0}, {type, modifier, 0xFF},
                be16v(color), {byte(moduleMils)}, be16v(elementHeight), {0x01}, be16v(0xFFFF)});
}
ByteVec bda(byte flags, int x, int y, const ByteVec& data) { return cat({{flags}, be16v(x), be16v(y), data}); }
ByteVec ebcdic(const std::string& s) {
    Bytes b = toAStr(s);
    return ByteVec(b.begin(), b.end());
}

// A bar code object whose area starts at (36, 36) points, 50 pixels at 100 dpi.
PageObject barCode(const ByteVec& descriptor, const ByteVec& data) {
    return object(PageObject::Kind::BarCode, 36, 36, 288, 216,
                  {field(0xD3A8EB, ebcdic("BARCODE1")), field(0xD3A6EB, descriptor), field(0xD3EEEB, data),
                   field(0xD3A9EB, {})});
}

Pixels draw(const PageObject& o, std::vector<std::string>* warnings = nullptr) {
    return drawPage(pageWith(360, 288, {o}), 100, warnings);
}

#ifdef PRESSEL_HAVE_ZINT

// Zint's raster of the data, two pixels to a module, without quiet zones or text.
struct ZintRaster {
    int width = 0, height = 0;
    std::vector<bool> dark;
};
ZintRaster zintRaster(int symbology, const std::string& data, float height, int option1 = -1) {
    zint_symbol* s = ZBarcode_Create();
    s->symbology = symbology;
    s->output_options = BARCODE_NO_QUIET_ZONES;
    s->show_hrt = 0;
    s->height = height;
    s->option_1 = option1;
    ZintRaster r;
    if (ZBarcode_Encode_and_Buffer(s, reinterpret_cast<const unsigned char*>(data.data()), int(data.size()), 0) <
        ZINT_ERROR) {
        r.width = s->bitmap_width;
        r.height = s->bitmap_height;
        for (int i = 0; i < r.width * r.height; ++i) r.dark.push_back(s->bitmap[3 * i] < 128);
    }
    ZBarcode_Delete(s);
    return r;
}

// Pixels of the page that differ from Zint's raster placed at (x0, y0),
// and dark pixels in a band of 6 pixels around it.
struct Comparison {
    int differ = 0, around = 0;
};
Comparison compare(const Pixels& p, const ZintRaster& z, int x0, int y0) {
    Comparison c;
    for (int y = 0; y < z.height; ++y)
        for (int x = 0; x < z.width; ++x)
            c.differ += p.dark(x0 + x, y0 + y) != z.dark[std::size_t(y * z.width + x)];
    for (int y = y0 - 6; y < y0 + z.height + 6; ++y)
        for (int x = x0 - 6; x < x0 + z.width + 6; ++x)
            if (x < x0 || y < y0 || x >= x0 + z.width || y >= y0 + z.height) c.around += p.dark(x, y);
    return c;
}

TEST(BarCode, Code128MatchesZintsRasterWhereTheDataPlacesIt) {
    // EBCDIC data; the symbol's top-left corner 0.5 inch right of and 0.4
    // inch below the area's origin: pixel (100, 90) at 100 dpi.
    std::vector<std::string> warnings;
    Pixels p = draw(barCode(bdd(0x11, 0x02), bda(0x00, 500, 400, ebcdic("PRESSEL-128"))), &warnings);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    // 0.3 inch bars of 0.02 inch modules: 15 modules high.
    ZintRaster z = zintRaster(BARCODE_CODE128, "PRESSEL-128", 15);
    ASSERT_GT(z.width, 100);
    ASSERT_EQ(z.height, 30);
    Comparison c = compare(p, z, 100, 90);
    EXPECT_EQ(c.differ, 0);
    EXPECT_EQ(c.around, 0);
}

TEST(BarCode, QrCodeMatchesZintsRasterWithEitherEncodingOfItsData) {
    // Parameters: no conversion, the smallest version, error correction M.
    const ByteVec ascii = {'H', 'E', 'L', 'L', 'O', ' ', 'P', 'R', 'E', 'S', 'S', 'E', 'L'};
    ZintRaster z = zintRaster(BARCODE_QRCODE, "HELLO PRESSEL", 0, 2);
    ASSERT_GT(z.width, 40);
    for (const ByteVec& data : {cat({{0x00, 0x00, 0x01, 0, 0, 0, 0}, ascii}),
                                cat({{0x01, 0x00, 0x01, 0, 0, 0, 0}, ebcdic("HELLO PRESSEL")})}) {
        std::vector<std::string> warnings;
        Pixels p = draw(barCode(bdd(0x20, 0x02), bda(0x00, 1000, 200, data)), &warnings);
        EXPECT_TRUE(warnings.empty()) << warnings.front();
        Comparison c = compare(p, z, 150, 70);
        EXPECT_EQ(c.differ, 0);
        EXPECT_EQ(c.around, 0);
    }
}

#endif

int darkIn(const Pixels& p, int x0, int x1, int y0, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += p.dark(x, y);
    return n;
}
int darkColumns(const Pixels& p, int y) {
    int first = -1, last = -1;
    for (int x = 0; x < p.width; ++x)
        if (p.dark(x, y)) {
            if (first < 0) first = x;
            last = x;
        }
    return first < 0 ? 0 : last - first + 1;
}

TEST(BarCode, HumanReadableTextColourAndCheckDigits) {
#ifndef PRESSEL_HAVE_ZINT
    GTEST_SKIP() << "built without Zint (Debian libzint-dev): bar codes are outlined";
#endif
    const ByteVec data = ebcdic("HELLO");
    // Bars from y 90 to 120; text below them only when asked, above when asked.
    Pixels none = draw(barCode(bdd(0x11, 0x02), bda(0x00, 500, 400, data)));
    Pixels below = draw(barCode(bdd(0x11, 0x02), bda(0x80, 500, 400, data)));
    Pixels above = draw(barCode(bdd(0x11, 0x02), bda(0xC0, 500, 400, data)));
    EXPECT_EQ(darkIn(none, 90, 260, 121, 150), 0);
    EXPECT_GT(darkIn(below, 90, 260, 121, 150), 30);
    EXPECT_EQ(darkIn(below, 90, 260, 60, 89), 0);
    EXPECT_GT(darkIn(above, 90, 260, 60, 89), 30);
    EXPECT_EQ(darkIn(above, 90, 260, 121, 150), 0);
    // The text's font from the object's font map: local id 5 is Courier.
    ByteVec map = cat({be16v(18), {0x04, 0x24, 0x05, 0x05}, {0x0C, 0x02, 0x86, 0x00}, ebcdic("C04200A0")});
    ByteVec courierBdd = bdd(0x11, 0x02);
    courierBdd[14] = 0x05;
    Pixels mono = draw(object(PageObject::Kind::BarCode, 36, 36, 288, 216,
                              {field(0xD3AB8A, map), field(0xD3A6EB, courierBdd),
                               field(0xD3EEEB, bda(0x80, 500, 400, data))}));
    int differ = 0;
    for (int y = 121; y < 150; ++y)
        for (int x = 90; x < 260; ++x) differ += mono.dark(x, y) != below.dark(x, y);
    EXPECT_GT(differ, 20) << "another typeface";
    // The descriptor's colour: red bars.
    Pixels red = draw(barCode(bdd(0x11, 0x02, 20, 300, 0x0002), bda(0x00, 500, 400, data)));
    EXPECT_EQ(red.at(101, 100), 0xFF0000u);
    // Code 39 with modifier X'02' carries a check character: one character
    // more, 13 modules at Zint's wide-to-narrow ratio of 2.
    Pixels plain = draw(barCode(bdd(0x01, 0x01), bda(0x00, 500, 400, data)));
    Pixels checked = draw(barCode(bdd(0x01, 0x02), bda(0x00, 500, 400, data)));
    EXPECT_EQ(darkColumns(checked, 100) - darkColumns(plain, 100), 2 * 13);
    // The module width scales the symbol: 10 mils is half of 20.
    Pixels narrow = draw(barCode(bdd(0x01, 0x01, 10), bda(0x00, 500, 400, data)));
    EXPECT_EQ(darkColumns(narrow, 100) * 2, darkColumns(plain, 100));
}

TEST(BarCode, PostalAndTwoDimensionalSymbologiesAreDrawn) {
#ifndef PRESSEL_HAVE_ZINT
    GTEST_SKIP() << "built without Zint (Debian libzint-dev): bar codes are outlined";
#endif
    struct Case {
        byte type, modifier;
        ByteVec data;
    };
    const Case cases[] = {
        {0x18, 0x00, ebcdic("12345")},                             // POSTNET
        {0x22, 0x00, ebcdic("0123456709498765432101234567891")},   // USPS Intelligent Mail
        {0x1A, 0x00, ebcdic("LU178XE2B")},                        // Royal Mail
        {0x1B, 0x00, ebcdic("15400233-16-4-205")},                 // Japan Post
        {0x0C, 0x02, ebcdic("1234567")},                           // interleaved 2 of 5, check digit
        {0x09, 0x00, ebcdic("501234567890")},                      // EAN-13
        {0x03, 0x00, ebcdic("01234567890")},                       // UPC-A
        {0x1C, 0x00, cat({{0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0}, ebcdic("DATA MATRIX")})},
        {0x1E, 0x00, cat({{0x80, 4, 0, 2, 0, 0}, ebcdic("PDF417 SYMBOL")})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.type));
        std::vector<std::string> warnings;
        Pixels p = draw(barCode(bdd(c.type, c.modifier), bda(0x00, 500, 400, c.data)), &warnings);
        EXPECT_TRUE(warnings.empty()) << warnings.front();
        EXPECT_GT(darkIn(p, 100, 400, 90, 200), 100);
        EXPECT_EQ(darkIn(p, 0, 99, 0, p.height), 0) << "nothing left of the symbol's origin";
        EXPECT_EQ(darkIn(p, 0, p.width, 0, 89), 0) << "nothing above the symbol's origin";
    }
}

TEST(BarCode, DamagedDataAndUnknownSymbologiesOutlineTheArea) {
    auto outlined = [](const Pixels& p) {
        int grey = 0;
        for (int x = 60; x < 400; ++x) {
            std::uint32_t c = p.at(x, 50);
            grey += c != 0xFFFFFFu && (c & 0xFF) > 100;
        }
        return grey > 20;
    };
    std::vector<std::string> warnings;
    // A BDA too short for its flags and position.
    Pixels p = draw(barCode(bdd(0x11, 0x02), {0x00, 0x01, 0xF4}), &warnings);
    EXPECT_TRUE(outlined(p));
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("offset 0"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find("OBJ1"), std::string::npos) << warnings[0];
#ifdef PRESSEL_HAVE_ZINT
    // Letters in an EAN-13: Zint refuses them.
    warnings.clear();
    p = draw(barCode(bdd(0x09, 0x00), bda(0x00, 500, 400, ebcdic("ABCDEFGHIJKL"))), &warnings);
    EXPECT_TRUE(outlined(p));
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("offset 5 "), std::string::npos) << warnings[0];
    // QR Code parameters cut short.
    warnings.clear();
    p = draw(barCode(bdd(0x20, 0x02), bda(0x00, 500, 400, {0x00, 0x01})), &warnings);
    EXPECT_TRUE(outlined(p));
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("offset 5 "), std::string::npos) << warnings[0];
    // MaxiCode is not drawn: one warning for its type, however many objects.
    warnings.clear();
    PageObject maxi = barCode(bdd(0x1D, 0x00), bda(0x00, 500, 400, ebcdic("MAXI")));
    Pixels two = drawPage(pageWith(360, 288, {maxi, maxi}), 100, &warnings);
    EXPECT_TRUE(outlined(two));
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("X'1D'"), std::string::npos) << warnings[0];
#endif
}

}  // namespace
}  // namespace pressel::test
