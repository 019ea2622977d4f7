// IOCA and object container decoding: hand-built segments for the layouts,
// bytes written by independent encoders (libtiff's CCITT, PackBits and LZW
// coders, libjpeg, ImageMagick's PNG and JPEG) for every compression, the
// corpus images, and damaged data.
#include <gtest/gtest.h>

#include <jpeglib.h>
#include <tiffio.h>

#include <cstdio>
#include <cstring>
#include <random>

#include "../../fuzz/image_target.hpp"
#include "../helpers.hpp"
#include "pressel/image/image.hpp"
#include "pressel/stream/io.hpp"

namespace pressel::test {
namespace {

using image::Raster;
using Seg = std::vector<byte>;

// ---- building segments ---------------------------------------------------------
void add(Seg& s, std::initializer_list<unsigned> bytes) {
    for (unsigned b : bytes) s.push_back(byte(b));
}
void imageData(Seg& s, const std::vector<std::uint8_t>& data, unsigned code = 0x92) {
    for (std::size_t at = 0; at < data.size() || at == 0; at += 1000) {
        std::size_t n = std::min<std::size_t>(1000, data.size() - at);
        add(s, {0xFE, code, unsigned(n >> 8), unsigned(n & 0xFF)});
        s.insert(s.end(), data.begin() + std::ptrdiff_t(at), data.begin() + std::ptrdiff_t(at + n));
        if (data.empty()) break;
    }
}
// Begin Segment, Begin Image Content, Image Size (240 per inch), Image Encoding, IDE Size.
Seg header(int w, int h, unsigned compression, unsigned ideSize, unsigned recording = 1, unsigned bitOrder = 0) {
    Seg s;
    add(s, {0x70, 0x00, 0x91, 0x01, 0xFF});
    add(s, {0x94, 0x09, 0x00, 0x09, 0x60, 0x09, 0x60, unsigned(w >> 8), unsigned(w & 0xFF), unsigned(h >> 8),
            unsigned(h & 0xFF)});
    add(s, {0x95, 0x03, compression, recording, bitOrder});
    add(s, {0x96, 0x01, ideSize});
    return s;
}
void close(Seg& s) { add(s, {0x93, 0x00, 0x71, 0x00}); }

Raster decode(const Seg& s) { return image::decodeIoca(std::span<const byte>(s.data(), s.size())); }

std::array<int, 4> px(const Raster& r, int x, int y) {
    const std::uint8_t* p = r.rgba.data() + (std::size_t(y) * std::size_t(r.width) + std::size_t(x)) * 4;
    return {p[0], p[1], p[2], p[3]};
}
bool ink(const Raster& r, int x, int y) { return px(r, x, y)[3] == 255 && px(r, x, y)[0] == 0; }

// A 1-bit test picture: a frame, a diagonal and some text-like runs.
std::vector<std::uint8_t> bilevelPicture(int w, int h) {
    std::vector<std::uint8_t> bits(std::size_t((w + 7) / 8) * std::size_t(h), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool on = x == 0 || y == 0 || x == w - 1 || y == h - 1 || x == y || ((x / 3 + y / 5) % 4 == 0 && y % 7 < 4);
            if (on) bits[std::size_t(y) * std::size_t((w + 7) / 8) + std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
        }
    return bits;
}
bool bitAt(const std::vector<std::uint8_t>& bits, int w, int x, int y) {
    return (bits[std::size_t(y) * std::size_t((w + 7) / 8) + std::size_t(x / 8)] >> (7 - x % 8)) & 1;
}

// ---- independent encoders ---------------------------------------------------------
// The strip of a TIFF libtiff writes with `compression` (and its options),
// i.e. bytes of libtiff's encoder, not of ours.
std::vector<std::uint8_t> libtiffEncode(const std::vector<std::uint8_t>& rows, int w, int h, int bps, int spp,
                                        int compression, unsigned t4options = 0, int predictor = 1) {
    TempDir dir;
    std::string path = dir.file("t.tif");
    TIFF* t = TIFFOpen(path.c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bps);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, spp);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, spp == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, h);
    if (compression == COMPRESSION_CCITTFAX3) TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, t4options);
    if (predictor != 1) TIFFSetField(t, TIFFTAG_PREDICTOR, predictor);
    std::size_t rowBytes = (std::size_t(w) * std::size_t(bps) * std::size_t(spp) + 7) / 8;
    std::vector<std::uint8_t> copy(rows);
    for (int y = 0; y < h; ++y) TIFFWriteScanline(t, copy.data() + std::size_t(y) * rowBytes, std::uint32_t(y), 0);
    TIFFClose(t);
    t = TIFFOpen(path.c_str(), "r");
    tmsize_t n = TIFFRawStripSize(t, 0);
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(n));
    TIFFReadRawStrip(t, 0, raw.data(), n);
    TIFFClose(t);
    return raw;
}

std::vector<std::uint8_t> libjpegEncode(const std::vector<std::uint8_t>& rgb, int w, int h, int components) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = components;
    c.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.data() + std::size_t(c.next_scanline) * std::size_t(w * components));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<std::uint8_t> r(out, out + size);
    jpeg_destroy_compress(&c);
    std::free(out);
    return r;
}

// ---- uncompressed layouts -------------------------------------------------------------
TEST(IocaLayouts, BilevelPolarityBitOrderRecordingAndResolution) {
    const int w = 13, h = 5;
    std::vector<std::uint8_t> bits = bilevelPicture(w, h);
    Seg s = header(w, h, 0x03, 1);
    imageData(s, bits);
    close(s);
    Raster r = decode(s);
    ASSERT_EQ(r.width, w);
    ASSERT_EQ(r.height, h);
    EXPECT_DOUBLE_EQ(r.xDpi, 240);
    EXPECT_TRUE(r.bilevel);
    EXPECT_EQ(r.compression, "none");
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // 1 = ink (opaque black), 0 = background (transparent).
            EXPECT_EQ(px(r, x, y)[3], bitAt(bits, w, x, y) ? 255 : 0) << x << "," << y;
            if (bitAt(bits, w, x, y)) {
                EXPECT_TRUE(ink(r, x, y));
            }
        }

    // Right-to-left bit order: the same picture with every byte's bits reversed.
    std::vector<std::uint8_t> rev = bits;
    for (auto& b : rev) {
        std::uint8_t o = 0;
        for (int k = 0; k < 8; ++k) o |= std::uint8_t(((b >> k) & 1) << (7 - k));
        b = o;
    }
    Seg s2 = header(w, h, 0x03, 1, 0x01, 0x01);
    imageData(s2, rev);
    close(s2);
    EXPECT_EQ(decode(s2).rgba, r.rgba);

    // Bottom-to-top recording: rows in reverse order.
    std::vector<std::uint8_t> flipped;
    std::size_t rb = (w + 7) / 8;
    for (int y = h - 1; y >= 0; --y) flipped.insert(flipped.end(), bits.begin() + std::ptrdiff_t(rb * std::size_t(y)), bits.begin() + std::ptrdiff_t(rb * std::size_t(y + 1)));
    Seg s3 = header(w, h, 0x03, 1, 0x03);
    imageData(s3, flipped);
    close(s3);
    EXPECT_EQ(decode(s3).rgba, r.rgba);

    // Unpadded recording: rows follow each other bit after bit.
    std::vector<std::uint8_t> packed((std::size_t(w) * h + 7) / 8, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (bitAt(bits, w, x, y)) packed[std::size_t(y * w + x) / 8] |= std::uint8_t(0x80 >> ((y * w + x) % 8));
    Seg s4 = header(w, h, 0x03, 1, 0x04);
    imageData(s4, packed);
    close(s4);
    EXPECT_EQ(decode(s4).rgba, r.rgba);

    // Set Bilevel Image Color: the ink is red (named colour 2).
    Seg s5 = header(w, h, 0x03, 1);
    add(s5, {0xF6, 0x04, 0x00, 0x00, 0xFF, 0x02});
    imageData(s5, bits);
    close(s5);
    Raster red = decode(s5);
    EXPECT_EQ(px(red, 0, 0), (std::array<int, 4>{255, 0, 0, 255}));
}

TEST(IocaLayouts, GreyRgbYcbcrCmykAndSubtractive) {
    // 8-bit grey, additive: 0 black, 255 white; subtractive inverts.
    Seg g = header(3, 1, 0x03, 8);
    add(g, {0x9B, 0x06, 0x00, 0x12, 0, 0, 0, 8});
    imageData(g, {0x00, 0x80, 0xFF});
    close(g);
    Raster r = decode(g);
    EXPECT_TRUE(r.grey);
    EXPECT_EQ(px(r, 0, 0), (std::array<int, 4>{0, 0, 0, 255}));
    EXPECT_EQ(px(r, 1, 0)[0], 0x80);
    EXPECT_EQ(px(r, 2, 0)[0], 255);
    Seg sub = header(3, 1, 0x03, 8);
    add(sub, {0x9B, 0x06, 0x80, 0x12, 0, 0, 0, 8});
    imageData(sub, {0x00, 0x80, 0xFF});
    close(sub);
    EXPECT_EQ(px(decode(sub), 0, 0)[0], 255);

    // 4-bit grey scales to 8 bits.
    Seg g4 = header(2, 1, 0x03, 4);
    imageData(g4, {0x0F});
    close(g4);
    Raster r4 = decode(g4);
    EXPECT_EQ(px(r4, 0, 0)[0], 0);
    EXPECT_EQ(px(r4, 1, 0)[0], 255);

    // RGB, 24 bits.
    Seg rgb = header(2, 1, 0x03, 24);
    add(rgb, {0x9B, 0x08, 0x00, 0x01, 0, 0, 0, 8, 8, 8});
    imageData(rgb, {0xFF, 0x00, 0x00, 0x10, 0x20, 0x30});
    close(rgb);
    Raster c = decode(rgb);
    EXPECT_FALSE(c.grey);
    EXPECT_EQ(px(c, 0, 0), (std::array<int, 4>{255, 0, 0, 255}));
    EXPECT_EQ(px(c, 1, 0), (std::array<int, 4>{0x10, 0x20, 0x30, 255}));

    // YCbCr: Y 76, Cb 85, Cr 255 is pure red (JFIF conversion).
    Seg ycc = header(1, 1, 0x03, 24);
    add(ycc, {0x9B, 0x08, 0x00, 0x12, 0, 0, 0, 8, 8, 8});
    imageData(ycc, {76, 85, 255});
    close(ycc);
    auto red = px(decode(ycc), 0, 0);
    EXPECT_NEAR(red[0], 255, 2);
    EXPECT_NEAR(red[1], 0, 2);
    EXPECT_NEAR(red[2], 0, 2);

    // CMYK: full cyan, and full black.
    Seg cmyk = header(2, 1, 0x03, 32);
    add(cmyk, {0x9B, 0x09, 0x00, 0x04, 0, 0, 0, 8, 8, 8, 8});
    imageData(cmyk, {0xFF, 0, 0, 0, 0, 0, 0, 0xFF});
    close(cmyk);
    Raster k = decode(cmyk);
    EXPECT_EQ(px(k, 0, 0), (std::array<int, 4>{0, 255, 255, 255}));
    EXPECT_EQ(px(k, 1, 0), (std::array<int, 4>{0, 0, 0, 255}));
}

// ---- compressions, from independent encoders ---------------------------------------------
TEST(IocaCompression, CcittCodesWrittenByLibtiff) {
    const int w = 203, h = 61;
    std::vector<std::uint8_t> bits = bilevelPicture(w, h);
    struct Case {
        unsigned comprid;
        int tiff;
        unsigned t4;
        const char* name;
    } cases[] = {
        {0x82, COMPRESSION_CCITTFAX4, 0, "G4 MMR"},
        {0x01, COMPRESSION_CCITTFAX4, 0, "IBM MMR"},
        {0x80, COMPRESSION_CCITTFAX3, 0, "G3 MH"},
        {0x81, COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING, "G3 MR"},
        {0x09, COMPRESSION_CCITTRLE, 0, "TIFF algorithm 2"},
        {0x0C, COMPRESSION_PACKBITS, 0, "PackBits"},
        {0x0D, COMPRESSION_LZW, 0, "LZW"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint8_t> coded = libtiffEncode(bits, w, h, 1, 1, c.tiff, c.t4);
        ASSERT_FALSE(coded.empty());
        Seg s = header(w, h, c.comprid, 1);
        imageData(s, coded);
        close(s);
        Raster r = decode(s);
        EXPECT_EQ(r.compression, c.name);
        ASSERT_EQ(r.width, w);
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) wrong += bitAt(bits, w, x, y) != (px(r, x, y)[3] == 255);
        EXPECT_EQ(wrong, 0);
    }
}

TEST(IocaCompression, LzwWithPredictorAndJpegOfOtherEncoders) {
    const int w = 40, h = 30;
    std::vector<std::uint8_t> rgb(std::size_t(w * h * 3));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = rgb.data() + std::size_t((y * w + x) * 3);
            p[0] = std::uint8_t(x * 6), p[1] = std::uint8_t(y * 8), p[2] = std::uint8_t(128 + (x - y));
        }
    // LZW with the horizontal differencing predictor, 24-bit RGB: exact.
    std::vector<std::uint8_t> lzw = libtiffEncode(rgb, w, h, 8, 3, COMPRESSION_LZW, 0, PREDICTOR_HORIZONTAL);
    Seg s = header(w, h, 0x0E, 24);
    add(s, {0x9B, 0x08, 0x00, 0x01, 0, 0, 0, 8, 8, 8});
    imageData(s, lzw);
    close(s);
    Raster r = decode(s);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < 3; ++k) ASSERT_EQ(px(r, x, y)[std::size_t(k)], rgb[std::size_t((y * w + x) * 3 + k)]);

    // JPEG of libjpeg: close to the source, and the stream kept as it is.
    std::vector<std::uint8_t> jpg = libjpegEncode(rgb, w, h, 3);
    Seg j = header(w, h, 0x83, 24, 0xFE);
    imageData(j, jpg);
    close(j);
    Raster rj = decode(j);
    EXPECT_EQ(rj.compression, "JPEG");
    EXPECT_EQ(rj.jpeg, jpg);
    EXPECT_DOUBLE_EQ(rj.xDpi, 240);  // the Image Size's, not the JFIF header's
    double err = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < 3; ++k) err += std::abs(px(rj, x, y)[std::size_t(k)] - rgb[std::size_t((y * w + x) * 3 + k)]);
    EXPECT_LT(err / (w * h * 3), 3.0);

    // JPEG written by ImageMagick (tests/data/photo.jpg), in an object container.
    std::string photo = readFileString(dataPath("photo.jpg"));
    std::span<const byte> pb(reinterpret_cast<const byte*>(photo.data()), photo.size());
    Raster p = image::decodeContainer(pb, 0x17);
    EXPECT_EQ(p.width, 64);
    EXPECT_EQ(p.height, 48);
    EXPECT_EQ(p.compression, "JPEG");
}

TEST(IocaCompression, NotDecodedCompressionsSaySo) {
    for (unsigned c : {0x06u, 0x08u, 0x84u}) {
        Seg s = header(8, 1, c, 1);
        imageData(s, {0x55});
        close(s);
        EXPECT_THROW(decode(s), image::UnsupportedImage) << c;
    }
}

// ---- tiles, masks, bands --------------------------------------------------------------
TEST(IocaTiles, TilesAtTheirPositionsWithColourSolidFillAndMask) {
    Seg s;
    add(s, {0x70, 0x00, 0x91, 0x01, 0xFF});
    add(s, {0x94, 0x09, 0x00, 0x09, 0x60, 0x09, 0x60, 0x00, 0x10, 0x00, 0x08});  // 16 x 8
    // Tile 1: bilevel 8x8 at (0,0), all ink, in blue (Tile Set Color RGB).
    add(s, {0x8C, 0x00, 0xB5, 0x08, 0, 0, 0, 0, 0, 0, 0, 0, 0xB6, 0x08, 0, 0, 0, 8, 0, 0, 0, 8});
    add(s, {0x95, 0x02, 0x03, 0x01, 0x96, 0x01, 0x01});
    add(s, {0xB7, 0x0B, 0x01, 0, 0, 0, 8, 8, 8, 0, 0x00, 0x00, 0xFF});
    imageData(s, std::vector<std::uint8_t>(8, 0xFF));
    add(s, {0x8D, 0x00});
    // Tile 2: solid fill 8x8 at (8,0) in green, with a mask opening its left half.
    add(s, {0x8C, 0x00, 0xB5, 0x08, 0, 0, 0, 8, 0, 0, 0, 0, 0xB6, 0x08, 0, 0, 0, 8, 0, 0, 0, 8});
    add(s, {0x95, 0x02, 0x20, 0x01});
    add(s, {0xB7, 0x0B, 0x01, 0, 0, 0, 8, 8, 8, 0, 0x00, 0xFF, 0x00});
    add(s, {0x8E, 0x00, 0x94, 0x09, 0x00, 0x09, 0x60, 0x09, 0x60, 0x00, 0x08, 0x00, 0x08, 0x95, 0x02, 0x03, 0x01});
    imageData(s, std::vector<std::uint8_t>(8, 0x0F));
    add(s, {0x8F, 0x00, 0x8D, 0x00});
    close(s);
    Raster r = decode(s);
    ASSERT_EQ(r.width, 16);
    ASSERT_EQ(r.height, 8);
    EXPECT_EQ(px(r, 3, 3), (std::array<int, 4>{0, 0, 255, 255}));
    EXPECT_EQ(px(r, 9, 3)[3], 0);  // masked
    EXPECT_EQ(px(r, 13, 3), (std::array<int, 4>{0, 255, 0, 255}));
}

TEST(IocaTiles, CorpusHalfResolutionJpegBandsAndSpanningImageData) {
    auto segmentOf = [](const std::string& path) {
        std::vector<AFP_> fields;
        for (const AFP_& c : readAFP(path)) fields.push_back(AFP_{c.code, Bytes::copy(c.payload.span())});
        return image::readObject(fields);
    };
    // bim.afp: FS45, one tile at half resolution, four 8-bit JPEG bands
    // (CMYK); its MIO maps it by position and trim.
    image::ObjectData bim = segmentOf(dataPath("corpus/bim.afp"));
    EXPECT_EQ(bim.mapping, image::Mapping::PositionAndTrim);
    EXPECT_TRUE(bim.mappingGiven);
    Raster r = image::decodeObject(bim);
    EXPECT_EQ(r.width, 1422);
    EXPECT_EQ(r.height, 994);
    EXPECT_DOUBLE_EQ(r.xDpi, 600);
    EXPECT_FALSE(r.grey);
    std::size_t opaque = 0;
    for (std::size_t i = 3; i < r.rgba.size(); i += 4) opaque += r.rgba[i] == 255;
    EXPECT_EQ(opaque, std::size_t(1422) * 994);  // the tile covers the image

    // IPDSpan.afp: an Image Data field of length 0 whose bytes follow in the next IPD.
    Raster s = image::decodeObject(segmentOf(dataPath("corpus/IPDSpan.afp")));
    EXPECT_EQ(s.width, 1344);
    EXPECT_EQ(s.height, 30);
    EXPECT_TRUE(s.bilevel);
}

// ---- containers ---------------------------------------------------------------------
TEST(Containers, PngTiffGifAndTypesNotDrawn) {
    // colour.png, written by ImageMagick: 24 x 16 RGB blocks.
    std::string png = readFileString(dataPath("colour.png"));
    std::span<const byte> pb(reinterpret_cast<const byte*>(png.data()), png.size());
    EXPECT_EQ(image::containerType(0, pb), image::ContainerType::Png);
    Raster p = image::decodeContainer(pb);
    EXPECT_EQ(p.width, 24);
    EXPECT_EQ(px(p, 2, 2), (std::array<int, 4>{255, 0, 0, 255}));
    EXPECT_EQ(px(p, 20, 12), (std::array<int, 4>{0x00, 0xCE, 0xD1, 255}));

    // A TIFF file libtiff writes (G4 bilevel).
    const int w = 50, h = 20;
    std::vector<std::uint8_t> bits = bilevelPicture(w, h);
    TempDir dir;
    {
        TIFF* t = TIFFOpen(dir.file("g4.tif").c_str(), "w");
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(t, TIFFTAG_XRESOLUTION, 200.0);
        TIFFSetField(t, TIFFTAG_YRESOLUTION, 200.0);
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        for (int y = 0; y < h; ++y) TIFFWriteScanline(t, bits.data() + std::size_t(y * ((w + 7) / 8)), std::uint32_t(y), 0);
        TIFFClose(t);
    }
    std::string tif = readFileString(dir.file("g4.tif"));
    Raster t = image::decodeContainer(std::span<const byte>(reinterpret_cast<const byte*>(tif.data()), tif.size()), 0x0E);
    ASSERT_EQ(t.width, w);
    EXPECT_DOUBLE_EQ(t.xDpi, 200);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(px(t, x, y)[0] == 0, bitAt(bits, w, x, y)) << x << "," << y;

    // A GIF ImageMagick writes from colour.png, when it is installed (some
    // machines have a `convert` of their own that is not ImageMagick's).
    if (runShell("convert -version 2>/dev/null | grep -q ImageMagick").status == 0) {
        ASSERT_EQ(runShell("convert " + shellQuote(dataPath("colour.png")) + " " + shellQuote(dir.file("c.gif"))).status, 0);
        std::string gif = readFileString(dir.file("c.gif"));
        Raster g = image::decodeContainer(std::span<const byte>(reinterpret_cast<const byte*>(gif.data()), gif.size()), 0x16);
        EXPECT_EQ(g.rgba, p.rgba);
        // A PNG's resolution (pHYs, pixels per metre).
        ASSERT_EQ(runShell("convert " + shellQuote(dataPath("colour.png")) + " -units PixelsPerInch -density 300 " +
                           shellQuote(dir.file("d.png")))
                      .status,
                  0);
        std::string dense = readFileString(dir.file("d.png"));
        Raster d = image::decodeContainer(std::span<const byte>(reinterpret_cast<const byte*>(dense.data()), dense.size()));
        EXPECT_NEAR(d.xDpi, 300, 0.1);
        EXPECT_NEAR(d.yDpi, 300, 0.1);
    }

    // EPS (by its OID), and bytes nobody can tell: not decoded.
    static const byte eps[] = {'%', '!', 'P', 'S'};
    EXPECT_THROW(image::decodeContainer(eps, 0x0D), image::UnsupportedImage);
    EXPECT_EQ(image::containerTypeName(0x0D, eps), "EPS");
    EXPECT_THROW(image::decodeContainer(eps, 0), image::UnsupportedImage);
}

TEST(Containers, ObjectClassificationOid) {
    // X'10' triplet: length, id, rsv, class, 2 rsv, 2 flags, OID 06 07 2B 12 00 04 01 01 17 (JPEG), padding.
    std::vector<byte> t = {0, 0x10, 0, 0x01, 0, 0, 0, 0, 0x06, 0x07, 0x2B, 0x12, 0x00, 0x04, 0x01, 0x01, 0x17};
    t.resize(24, 0);
    t[0] = byte(t.size());
    std::vector<byte> triplets = {0x04, 0x04, 0x60, 0x00};  // mapping option first
    triplets.insert(triplets.end(), t.begin(), t.end());
    EXPECT_EQ(image::objectTypeOfTriplets(triplets), 0x17u);
    EXPECT_EQ(image::objectTypeOfTriplets(std::span<const byte>(triplets).first(10)), 0u);  // cut short
}

// ---- damaged data --------------------------------------------------------------------
TEST(IocaDamage, DamagedDataThrowsWithItsOffsetAndMutationsNeverCrash) {
    const int w = 64, h = 32;
    std::vector<std::uint8_t> bits = bilevelPicture(w, h);
    std::vector<std::uint8_t> g4 = libtiffEncode(bits, w, h, 1, 1, COMPRESSION_CCITTFAX4);
    Seg good = header(w, h, 0x82, 1);
    std::size_t dataAt = good.size();
    imageData(good, g4);
    close(good);
    ASSERT_NO_THROW(decode(good));

    // Garbage codes in the G4 data: an error at the Image Data field.
    Seg bad = good;
    for (std::size_t i = dataAt + 4 + 3; i < dataAt + 4 + g4.size(); i += 2) bad[i] = 0x00;
    try {
        decode(bad);
        ADD_FAILURE() << "damaged G4 data decoded";
    } catch (const image::ImageError& e) {
        EXPECT_EQ(e.offset(), dataAt) << e.what();
    }
    // A field longer than the segment, a cut header, uncompressed data too short.
    Seg longer = good;
    longer[dataAt + 2] = 0x7F;
    EXPECT_THROW(decode(longer), image::ImageError);
    EXPECT_THROW(decode(Seg{0x70, 0x00, 0xFE}), image::ImageError);
    Seg shortData = header(w, h, 0x03, 1);
    imageData(shortData, {0xFF, 0xFF});
    close(shortData);
    EXPECT_THROW(decode(shortData), image::ImageError);
    // A huge image size is refused before anything is allocated.
    Seg huge = header(0xFFFF, 0xFFFF, 0x82, 1);
    imageData(huge, g4);
    close(huge);
    image::DecodeOptions small;
    small.maxPixels = 1 << 20;
    EXPECT_THROW(image::decodeIoca(std::span<const byte>(huge.data(), huge.size()), {}, small), image::ImageError);

    // Random damage to segments of every kind: an error or a raster, never a crash.
    std::vector<Seg> seeds = {good};
    Seg rgb = header(4, 4, 0x03, 24);
    imageData(rgb, std::vector<std::uint8_t>(48, 0x40));
    close(rgb);
    seeds.push_back(rgb);
    std::vector<std::uint8_t> jpg = libjpegEncode(std::vector<std::uint8_t>(16 * 16, 0x80), 16, 16, 1);
    Seg j = header(16, 16, 0x83, 8, 0xFE);
    imageData(j, jpg);
    close(j);
    seeds.push_back(j);
    std::mt19937 rng(7);
    for (const Seg& seed : seeds)
        for (int round = 0; round < 300; ++round) {
            Seg m = seed;
            int edits = 1 + int(rng() % 4);
            for (int k = 0; k < edits; ++k) m[rng() % m.size()] = byte(rng());
            if (rng() % 4 == 0) m.resize(rng() % m.size());
            try {
                image::decodeIoca(std::span<const byte>(m.data(), m.size()), {}, small);
            } catch (const Error&) {
            }
        }
}

TEST(IocaDamage, FuzzSeedsAndKeptInputsPass) {
    std::size_t n = 0;
    for (const char* dir : {"seeds/image", "regressions/image"}) {
        fs::path p = fs::path(PRESSEL_TEST_DATA) / ".." / ".." / "fuzz" / dir;
        if (!fs::is_directory(p)) continue;
        for (const auto& e : fs::directory_iterator(p)) {
            SCOPED_TRACE(e.path().string());
            std::string b = readFileString(e.path().string());
            fuzz::fuzzImage(reinterpret_cast<const std::uint8_t*>(b.data()), b.size());
            ++n;
        }
    }
    EXPECT_GT(n, 0u);
}

}  // namespace
}  // namespace pressel::test
