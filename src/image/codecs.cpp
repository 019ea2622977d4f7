// The codec libraries behind the image decoders. Each library reports its
// errors through a handler of ours: nothing is printed, and the first error
// becomes an ImageError at the offset of the data handed in.
#include "codecs.hpp"

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace pressel::image::detail {

void checkSize(std::int64_t width, std::int64_t height, const DecodeOptions& options, std::uint64_t base) {
    if (width <= 0 || height <= 0)
        throw ImageError("image has no size (" + std::to_string(width) + " x " + std::to_string(height) + ")", base);
    if (width > 1000000 || height > 1000000 || std::uint64_t(width) * std::uint64_t(height) > options.maxPixels)
        throw ImageError("image too large (" + std::to_string(width) + " x " + std::to_string(height) + " pixels)",
                         base);
}

void classify(Raster& r) {
    r.grey = true;
    r.alpha = false;
    const std::uint8_t* p = r.rgba.data();
    for (std::size_t i = 0, n = r.rgba.size(); i + 4 <= n; i += 4) {
        if (p[i + 3] != 255) r.alpha = true;
        // A transparent background point of a bilevel raster does not count.
        if (p[i + 3] != 0 && (p[i] != p[i + 1] || p[i] != p[i + 2])) r.grey = false;
    }
}

namespace {

// ---- libtiff on memory ----------------------------------------------------------
struct MemFile {
    const std::uint8_t* data = nullptr;
    std::uint64_t size = 0, pos = 0;
};

tmsize_t memRead(thandle_t h, void* buf, tmsize_t n) {
    auto* f = static_cast<MemFile*>(h);
    if (n <= 0 || f->pos >= f->size) return 0;
    std::uint64_t k = std::min<std::uint64_t>(std::uint64_t(n), f->size - f->pos);
    std::memcpy(buf, f->data + f->pos, k);
    f->pos += k;
    return tmsize_t(k);
}
tmsize_t memWrite(thandle_t, void*, tmsize_t) { return 0; }
toff_t memSeek(thandle_t h, toff_t off, int whence) {
    auto* f = static_cast<MemFile*>(h);
    std::uint64_t base = whence == SEEK_CUR ? f->pos : whence == SEEK_END ? f->size : 0;
    std::uint64_t to = base + off;
    if (to < base) return toff_t(-1);
    f->pos = to;
    return to;
}
int memClose(thandle_t) { return 0; }
toff_t memSize(thandle_t h) { return static_cast<MemFile*>(h)->size; }
int memMap(thandle_t, void**, toff_t*) { return 0; }
void memUnmap(thandle_t, void*, toff_t) {}

struct TiffErrors {
    std::string first;
};
int tiffError(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
    auto* e = static_cast<TiffErrors*>(user);
    if (e->first.empty()) {
        char buf[512];
        std::vsnprintf(buf, sizeof buf, fmt, ap);
        e->first = std::string(module ? module : "libtiff") + ": " + buf;
    }
    return 1;
}
int tiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// An open TIFF on memory; closed when it goes.
class TiffReader {
public:
    TiffReader(std::span<const byte> data, std::uint64_t base) : base_(base) {
        file_.data = data.data();
        file_.size = data.size();
        TIFFOpenOptions* o = TIFFOpenOptionsAlloc();
        TIFFOpenOptionsSetErrorHandlerExtR(o, &tiffError, &errors_);
        TIFFOpenOptionsSetWarningHandlerExtR(o, &tiffWarning, nullptr);
        TIFFOpenOptionsSetMaxSingleMemAlloc(o, tmsize_t(1) << 30);
        tif_ = TIFFClientOpenExt("image", "rm", &file_, memRead, memWrite, memSeek, memClose, memSize, memMap,
                                 memUnmap, o);
        TIFFOpenOptionsFree(o);
        if (!tif_) fail("not a readable TIFF");
    }
    ~TiffReader() {
        if (tif_) TIFFClose(tif_);
    }
    TiffReader(const TiffReader&) = delete;
    TiffReader& operator=(const TiffReader&) = delete;
    TIFF* get() const noexcept { return tif_; }
    [[noreturn]] void fail(const std::string& what) const {
        throw ImageError(what + (errors_.first.empty() ? "" : " (" + errors_.first + ")"), base_);
    }
    bool failed() const noexcept { return !errors_.first.empty(); }

private:
    MemFile file_;
    TiffErrors errors_;
    TIFF* tif_ = nullptr;
    std::uint64_t base_;
};

void put16(std::vector<std::uint8_t>& b, unsigned v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
void put32(std::vector<std::uint8_t>& b, std::uint64_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(v >> (8 * i)));
}

}  // namespace

std::vector<std::uint8_t> tiffDecode(std::span<const byte> data, int scheme, const RawPlane& p, std::uint64_t base) {
    // A little-endian TIFF of one strip holding the data: header, one IFD,
    // the bits-per-sample array, then the data.
    struct Tag {
        unsigned tag, type;
        std::uint64_t count, value;
    };
    const unsigned SHORT = 3, LONG = 4;
    unsigned photometric = p.samples == 1 ? (p.bitsPerSample == 1 ? 0 : 1) : p.samples == 3 ? 2 : 5;
    std::vector<Tag> tags = {
        {256, LONG, 1, std::uint64_t(p.width)},
        {257, LONG, 1, std::uint64_t(p.height)},
        {258, SHORT, std::uint64_t(p.samples), 0},  // value set below
        {259, SHORT, 1, std::uint64_t(scheme)},
        {262, SHORT, 1, photometric},
        {266, SHORT, 1, p.lsbFirst ? 2u : 1u},
        {273, LONG, 1, 0},  // strip offset, set below
        {277, SHORT, 1, std::uint64_t(p.samples)},
        {278, LONG, 1, std::uint64_t(p.height)},
        {279, LONG, 1, data.size()},
        {284, SHORT, 1, 1},
    };
    if (scheme == tiffFax3) tags.push_back({292, LONG, 1, p.t4Options});
    if (p.predictor) tags.push_back({317, SHORT, 1, 2});
    std::uint64_t ifd = 8, extra = ifd + 2 + 12 * tags.size() + 4;
    std::uint64_t dataAt = extra + (p.samples > 2 ? 2 * std::uint64_t(p.samples) : 0);
    for (Tag& t : tags) {
        if (t.tag == 258) t.value = p.samples > 2 ? extra : std::uint64_t(p.bitsPerSample) * (p.samples == 2 ? 0x10001 : 1);
        if (t.tag == 273) t.value = dataAt;
    }
    std::vector<std::uint8_t> file;
    file.reserve(dataAt + data.size());
    file.insert(file.end(), {'I', 'I', 42, 0});
    put32(file, ifd);
    put16(file, unsigned(tags.size()));
    for (const Tag& t : tags) {
        put16(file, t.tag);
        put16(file, t.type);
        put32(file, t.count);
        if (t.type == SHORT && t.count <= 2) {
            put16(file, unsigned(t.value & 0xFFFF));
            put16(file, unsigned(t.value >> 16));
        } else {
            put32(file, t.value);
        }
    }
    put32(file, 0);
    if (p.samples > 2)
        for (int i = 0; i < p.samples; ++i) put16(file, unsigned(p.bitsPerSample));
    file.insert(file.end(), data.begin(), data.end());

    TiffReader tif(std::span<const byte>(file.data(), file.size()), base);
    tmsize_t want = TIFFStripSize(tif.get());
    std::uint64_t rowBytes = (std::uint64_t(p.width) * p.bitsPerSample * p.samples + 7) / 8;
    if (want <= 0 || std::uint64_t(want) != rowBytes * std::uint64_t(p.height)) tif.fail("image data cannot be decoded");
    std::vector<std::uint8_t> out(std::size_t(want), 0);
    tmsize_t got = TIFFReadEncodedStrip(tif.get(), 0, out.data(), want);
    if (got < 0 || tif.failed()) tif.fail("damaged image data");
    return out;
}

// ---- JPEG -----------------------------------------------------------------------
namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};
void jpegExit(j_common_ptr c) {
    auto* e = reinterpret_cast<JpegError*>(c->err);
    (*c->err->format_message)(c, e->message);
    std::longjmp(e->jump, 1);
}
void jpegSilent(j_common_ptr, int) {}

// Runs libjpeg on `data`: false with the message when it fails. Only plain
// data lives in this function across setjmp; the pixel buffer belongs to
// the caller.
bool runJpeg(std::span<const byte> data, Raster& r, std::vector<std::uint8_t>& row, const DecodeOptions& options,
             std::string& message, bool& tooLarge) {
    jpeg_decompress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegExit;
    err.mgr.emit_message = jpegSilent;
    err.message[0] = 0;
    if (setjmp(err.jump)) {
        message = err.message;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);
    bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    cinfo.out_color_space = cmyk ? JCS_CMYK : grey ? JCS_GRAYSCALE : JCS_RGB;
    bool adobe = cinfo.saw_Adobe_marker;
    if (cinfo.density_unit == 1) r.xDpi = cinfo.X_density, r.yDpi = cinfo.Y_density;
    else if (cinfo.density_unit == 2) r.xDpi = cinfo.X_density * 2.54, r.yDpi = cinfo.Y_density * 2.54;
    std::uint64_t w = cinfo.image_width, h = cinfo.image_height;
    if (w == 0 || h == 0 || w * h > options.maxPixels || w > 1000000 || h > 1000000) {
        tooLarge = true;
        r.width = int(std::min<std::uint64_t>(w, 1u << 30));
        r.height = int(std::min<std::uint64_t>(h, 1u << 30));
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    r.width = int(w);
    r.height = int(h);
    r.bitsPerPixel = cinfo.num_components * 8;
    r.rgba.assign(std::size_t(w * h * 4), 255);
    row.resize(std::size_t(w) * std::size_t(cinfo.output_components));
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[1] = {row.data()};
        std::uint64_t y = cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, rows, 1);
        std::uint8_t* out = r.rgba.data() + y * w * 4;
        for (std::uint64_t x = 0; x < w; ++x, out += 4) {
            if (cmyk) {
                // Adobe's CMYK JPEGs store the components inverted.
                int c = row[x * 4], m = row[x * 4 + 1], yy = row[x * 4 + 2], k = row[x * 4 + 3];
                if (!adobe) c = 255 - c, m = 255 - m, yy = 255 - yy, k = 255 - k;
                out[0] = std::uint8_t(c * k / 255);
                out[1] = std::uint8_t(m * k / 255);
                out[2] = std::uint8_t(yy * k / 255);
            } else if (grey) {
                out[0] = out[1] = out[2] = row[x];
            } else {
                out[0] = row[x * 3];
                out[1] = row[x * 3 + 1];
                out[2] = row[x * 3 + 2];
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

}  // namespace

Raster decodeJpeg(std::span<const byte> data, std::uint64_t base, const DecodeOptions& options) {
    Raster r;
    std::vector<std::uint8_t> row;
    std::string message;
    bool tooLarge = false;
    if (data.size() < 4) throw ImageError("JPEG data too short", base);
    if (!runJpeg(data, r, row, options, message, tooLarge)) {
        if (tooLarge) checkSize(r.width, r.height, options, base);
        throw ImageError("damaged JPEG data (" + message + ")", base);
    }
    r.compression = "JPEG";
    r.jpeg.assign(data.begin(), data.end());
    classify(r);
    return r;
}

// ---- PNG ------------------------------------------------------------------------
Raster decodePng(std::span<const byte> data, std::uint64_t base, const DecodeOptions& options) {
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&img, data.data(), data.size()))
        throw ImageError(std::string("damaged PNG data (") + img.message + ")", base);
    Raster r;
    try {
        checkSize(img.width, img.height, options, base);
    } catch (...) {
        png_image_free(&img);
        throw;
    }
    r.width = int(img.width);
    r.height = int(img.height);
    r.bitsPerPixel = int(PNG_IMAGE_PIXEL_CHANNELS(img.format) * PNG_IMAGE_PIXEL_COMPONENT_SIZE(img.format) * 8);
    img.format = PNG_FORMAT_RGBA;
    r.rgba.assign(std::size_t(r.width) * std::size_t(r.height) * 4, 0);
    if (!png_image_finish_read(&img, nullptr, r.rgba.data(), 0, nullptr))
        throw ImageError(std::string("damaged PNG data (") + img.message + ")", base);
    r.compression = "PNG";
    // The resolution of a pHYs chunk in pixels per metre, when it says so.
    for (std::size_t at = 8; at + 12 <= data.size();) {
        std::uint32_t len = std::uint32_t(data[at]) << 24 | std::uint32_t(data[at + 1]) << 16 |
                            std::uint32_t(data[at + 2]) << 8 | data[at + 3];
        if (len > data.size() - at - 12) break;
        if (std::memcmp(data.data() + at + 4, "pHYs", 4) == 0 && len >= 9 && data[at + 16] == 1) {
            auto u32 = [&](std::size_t i) {
                return std::uint32_t(data[i]) << 24 | std::uint32_t(data[i + 1]) << 16 | std::uint32_t(data[i + 2]) << 8 |
                       data[i + 3];
            };
            r.xDpi = u32(at + 8) * 0.0254;
            r.yDpi = u32(at + 12) * 0.0254;
            break;
        }
        if (std::memcmp(data.data() + at + 4, "IDAT", 4) == 0) break;
        at += 12 + std::size_t(len);
    }
    classify(r);
    return r;
}

// ---- TIFF files -----------------------------------------------------------------
Raster decodeTiff(std::span<const byte> data, std::uint64_t base, const DecodeOptions& options) {
    TiffReader tif(data, base);
    std::uint32_t w = 0, h = 0;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &h);
    checkSize(w, h, options, base);
    Raster r;
    r.width = int(w);
    r.height = int(h);
    std::uint16_t bps = 1, spp = 1, comp = 1, unit = 2;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &comp);
    float xr = 0, yr = 0;
    if (TIFFGetField(tif.get(), TIFFTAG_XRESOLUTION, &xr) && TIFFGetField(tif.get(), TIFFTAG_YRESOLUTION, &yr)) {
        TIFFGetFieldDefaulted(tif.get(), TIFFTAG_RESOLUTIONUNIT, &unit);
        double f = unit == RESUNIT_CENTIMETER ? 2.54 : unit == RESUNIT_INCH ? 1 : 0;
        r.xDpi = xr * f;
        r.yDpi = yr * f;
    }
    r.bitsPerPixel = bps * spp;
    const TIFFCodec* codec = TIFFFindCODEC(comp);
    r.compression = std::string("TIFF ") + (comp == COMPRESSION_NONE ? "uncompressed" : codec ? codec->name : "?");
    std::vector<std::uint32_t> px(std::size_t(w) * h);
    if (!TIFFReadRGBAImageOriented(tif.get(), w, h, px.data(), ORIENTATION_TOPLEFT, 0) || tif.failed())
        tif.fail("damaged TIFF data");
    r.rgba.resize(px.size() * 4);
    for (std::size_t i = 0; i < px.size(); ++i) {
        std::uint32_t v = px[i];
        std::uint8_t a = std::uint8_t(TIFFGetA(v));
        // libtiff gives premultiplied colour for associated alpha; straighten it.
        auto c = [a](std::uint32_t x) { return a == 0 || a == 255 ? std::uint8_t(x) : std::uint8_t(std::min(255u, x * 255 / a)); };
        r.rgba[i * 4] = c(TIFFGetR(v));
        r.rgba[i * 4 + 1] = c(TIFFGetG(v));
        r.rgba[i * 4 + 2] = c(TIFFGetB(v));
        r.rgba[i * 4 + 3] = a;
    }
    classify(r);
    return r;
}

// ---- GIF ------------------------------------------------------------------------
namespace {
struct GifInput {
    const std::uint8_t* data;
    std::size_t size, pos;
};
// giflib's message for an error code (it has none for some codes).
std::string gifError(int code) {
    const char* m = GifErrorString(code);
    return m ? m : "error " + std::to_string(code);
}
int gifRead(GifFileType* g, GifByteType* buf, int n) {
    auto* in = static_cast<GifInput*>(g->UserData);
    if (n <= 0) return 0;
    std::size_t k = std::min<std::size_t>(std::size_t(n), in->size - in->pos);
    std::memcpy(buf, in->data + in->pos, k);
    in->pos += k;
    return int(k);
}
}  // namespace

Raster decodeGif(std::span<const byte> data, std::uint64_t base, const DecodeOptions& options) {
    GifInput in{data.data(), data.size(), 0};
    int err = 0;
    GifFileType* g = DGifOpen(&in, gifRead, &err);
    if (!g) throw ImageError(std::string("damaged GIF data (") + gifError(err) + ")", base);
    struct Closer {
        GifFileType* g;
        ~Closer() {
            int e = 0;
            DGifCloseFile(g, &e);
        }
    } closer{g};
    checkSize(g->SWidth, g->SHeight, options, base);
    if (DGifSlurp(g) != GIF_OK || g->ImageCount < 1)
        throw ImageError(std::string("damaged GIF data (") + gifError(g->Error) + ")", base);
    const SavedImage& im = g->SavedImages[0];
    const ColorMapObject* map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : g->SColorMap;
    if (!map || !im.RasterBits) throw ImageError("GIF image without colours", base);
    GraphicsControlBlock gcb;
    gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    DGifSavedExtensionToGCB(g, 0, &gcb);
    Raster r;
    r.width = g->SWidth;
    r.height = g->SHeight;
    r.bitsPerPixel = map->BitsPerPixel;
    r.compression = "GIF";
    r.rgba.assign(std::size_t(r.width) * std::size_t(r.height) * 4, 0);  // outside the image: transparent
    const GifImageDesc& d = im.ImageDesc;
    for (int y = 0; y < d.Height; ++y) {
        int py = d.Top + y;
        if (py < 0 || py >= r.height) continue;
        for (int x = 0; x < d.Width; ++x) {
            int px = d.Left + x;
            if (px < 0 || px >= r.width) continue;
            int idx = im.RasterBits[std::size_t(y) * std::size_t(d.Width) + std::size_t(x)];
            std::uint8_t* o = r.rgba.data() + (std::size_t(py) * std::size_t(r.width) + std::size_t(px)) * 4;
            if (idx == gcb.TransparentColor || idx >= map->ColorCount) continue;
            o[0] = map->Colors[idx].Red;
            o[1] = map->Colors[idx].Green;
            o[2] = map->Colors[idx].Blue;
            o[3] = 255;
        }
    }
    classify(r);
    return r;
}

}  // namespace pressel::image::detail
