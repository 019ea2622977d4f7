// Image objects and object containers read from their structured fields,
// object container data recognised and decoded, rasters written as PNG.
#include <png.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "codecs.hpp"
#include "pressel/image/image.hpp"

namespace pressel::image {

using namespace detail;

namespace {

constexpr std::uint32_t BIM = 0xD3A8FB, IDD = 0xD3A6FB, IPD = 0xD3EEFB, MIO = 0xD3ABFB;
constexpr std::uint32_t BOC = 0xD3A892, OCD = 0xD3EE92, MCD = 0xD3AB92;
constexpr std::uint32_t OBD = 0xD3A66B, OBP = 0xD3AC6B;

// The data of a structured field: after its identifier, flag byte, two
// reserved bytes and the extension the flag announces.
std::span<const byte> dataOf(const AFP_& f) {
    std::span<const byte> p = f.payload.span();
    if (p.size() < 6) return {};
    std::size_t at = 6;
    if (p[3] & 0x80) {  // extension present: its first byte counts it
        if (p.size() <= at) return {};
        at += p[at];
    }
    return at <= p.size() ? p.subspan(at) : std::span<const byte>{};
}

int s24(std::span<const byte> b, std::size_t at) {
    if (at + 3 > b.size()) return 0;
    unsigned v = unsigned(b[at]) << 16 | unsigned(b[at + 1]) << 8 | b[at + 2];
    return v & 0x800000 ? int(v) - 0x1000000 : int(v);
}

// Calls `f(id, body)` for each triplet of `t` (body after length and id).
template <class F>
void eachTriplet(std::span<const byte> t, F&& f) {
    for (std::size_t at = 0; at + 2 <= t.size();) {
        std::size_t len = t[at];
        if (len < 2 || at + len > t.size()) break;
        f(t[at + 1], t.subspan(at + 2, len - 2));
        at += len;
    }
}

// Repeating groups with a 2-byte length (MIO, MCD): their triplets.
template <class F>
void eachGroupTriplet(std::span<const byte> d, F&& f) {
    for (std::size_t at = 0; at + 2 <= d.size();) {
        std::size_t len = std::size_t(d[at] << 8 | d[at + 1]);
        if (len < 2 || at + len > d.size()) break;
        eachTriplet(d.subspan(at + 2, len - 2), f);
        at += len;
    }
}

bool startsWith(std::span<const byte> d, std::initializer_list<std::uint8_t> sig) {
    if (d.size() < sig.size()) return false;
    return std::equal(sig.begin(), sig.end(), d.begin());
}

}  // namespace

unsigned objectTypeOfTriplets(std::span<const byte> triplets) noexcept {
    unsigned type = 0;
    eachTriplet(triplets, [&](unsigned id, std::span<const byte> b) {
        // X'10' Object Classification: the registered OID from its offset 8
        // (offset 6 of the body), BER encoded: 06 07 2B 12 00 04 01 01 xx.
        if (id != 0x10 || b.size() < 8 + 6) return;
        std::span<const byte> oid = b.subspan(6);
        static const std::uint8_t prefix[] = {0x06, 0x07, 0x2B, 0x12, 0x00, 0x04, 0x01, 0x01};
        if (oid.size() >= 9 && std::equal(std::begin(prefix), std::end(prefix), oid.begin())) type = oid[8];
    });
    return type;
}

ContainerType containerType(unsigned oid, std::span<const byte> d) noexcept {
    if (startsWith(d, {0xFF, 0xD8, 0xFF})) return ContainerType::Jpeg;
    if (startsWith(d, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) return ContainerType::Png;
    if (startsWith(d, {'I', 'I', 42, 0}) || startsWith(d, {'M', 'M', 0, 42})) return ContainerType::Tiff;
    if (startsWith(d, {'G', 'I', 'F', '8'})) return ContainerType::Gif;
    switch (oid) {
    case 0x05: case 0x0B: case 0x0C: case 0x2D: case 0x2F: case 0x37:
        return startsWith(d, {0x70}) ? ContainerType::Ioca : ContainerType::Other;
    case 0: return ContainerType::Unknown;
    default: return ContainerType::Other;
    }
}

std::string containerTypeName(unsigned oid, std::span<const byte> d) {
    switch (containerType(oid, d)) {
    case ContainerType::Jpeg: return "JPEG";
    case ContainerType::Png: return "PNG";
    case ContainerType::Tiff: return "TIFF";
    case ContainerType::Gif: return "GIF";
    case ContainerType::Ioca: return "IOCA";
    default: break;
    }
    switch (oid) {
    case 0x0D: case 0x30: return "EPS";
    case 0x0E: case 0x3C: case 0x3D: case 0x3E: case 0x42: return "TIFF";
    case 0x11: case 0x12: return "DIB";
    case 0x13: return "PCX";
    case 0x14: return "colour mapping table";
    case 0x16: return "GIF";
    case 0x17: return "JPEG";
    case 0x19: case 0x1A: case 0x31: case 0x3F: case 0x40: return "PDF";
    case 0x22: return "PCL";
    case 0x33: case 0x35: return "TrueType/OpenType font";
    case 0x39: return "colour management resource";
    case 0x3A: return "JPEG 2000";
    case 0: return "unknown";
    default: return "object type " + std::to_string(oid);
    }
}

Raster decodeContainer(std::span<const byte> d, unsigned oid, const DecodeOptions& o) {
    switch (containerType(oid, d)) {
    case ContainerType::Jpeg: return decodeJpeg(d, 0, o);
    case ContainerType::Png: return decodePng(d, 0, o);
    case ContainerType::Tiff: return decodeTiff(d, 0, o);
    case ContainerType::Gif: return decodeGif(d, 0, o);
    case ContainerType::Ioca: return decodeIoca(d, {}, o);
    default: throw UnsupportedImage(containerTypeName(oid, d) + " object containers are not drawn");
    }
}

ObjectData readObject(std::span<const AFP_> fields, std::span<const byte> includeTriplets) {
    ObjectData r;
    double unitX = 0, unitY = 0;  // points per object area unit (OBD X'4B')
    int ocX = 0, ocY = 0;
    for (const AFP_& f : fields) {
        std::span<const byte> d = dataOf(f);
        switch (f.code) {
        case BOC:
            r.container = true;
            if (d.size() > 8) r.oidType = objectTypeOfTriplets(d.subspan(8));
            break;
        case BIM: break;
        case IDD: r.descriptor = parseImageDescriptor(d); break;
        case IPD: r.data.insert(r.data.end(), d.begin(), d.end()); break;
        case OCD: r.data.insert(r.data.end(), d.begin(), d.end()); break;
        case MIO:
        case MCD:
            eachGroupTriplet(d, [&](unsigned id, std::span<const byte> b) {
                if (id == 0x04 && !b.empty()) r.mapping = Mapping(b[0]), r.mappingGiven = true;
            });
            break;
        case OBD:
            eachTriplet(d, [&](unsigned id, std::span<const byte> b) {
                if (id == 0x4B && b.size() >= 6) {
                    unsigned ux = unsigned(b[2] << 8 | b[3]), uy = unsigned(b[4] << 8 | b[5]);
                    double perBaseX = b[0] == 1 ? 720.0 / 2.54 : 720.0, perBaseY = b[1] == 1 ? 720.0 / 2.54 : 720.0;
                    if (ux) unitX = perBaseX / ux;
                    if (uy) unitY = perBaseY / uy;
                }
            });
            break;
        case OBP:
            ocX = s24(d, 13);
            ocY = s24(d, 16);
            break;
        default: break;
        }
    }
    if (unitX > 0 && unitY > 0) r.contentX = ocX * unitX, r.contentY = ocY * unitY;
    eachTriplet(includeTriplets, [&](unsigned id, std::span<const byte> b) {
        if (id == 0x04 && !b.empty()) r.mapping = Mapping(b[0]), r.mappingGiven = true;
    });
    if (unsigned t = objectTypeOfTriplets(includeTriplets)) r.oidType = t;
    return r;
}

Raster decodeObject(const ObjectData& o, const DecodeOptions& options) {
    std::span<const byte> d(o.data.data(), o.data.size());
    if (o.container) return decodeContainer(d, o.oidType, options);
    if (d.empty()) throw ImageError("image object without image data", 0);
    Raster r = decodeIoca(d, o.descriptor, options);
    if (!(r.xDpi > 0) && o.descriptor.xDpi > 0) r.xDpi = o.descriptor.xDpi, r.yDpi = o.descriptor.yDpi;
    return r;
}

std::vector<std::uint8_t> writePng(const Raster& r) {
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    img.width = png_uint_32(r.width);
    img.height = png_uint_32(r.height);
    // Bilevel rasters: the transparent background is written as white.
    bool alpha = r.alpha && !r.bilevel;
    std::vector<std::uint8_t> px;
    std::size_t n = std::size_t(r.width) * std::size_t(r.height);
    if (r.grey) {
        img.format = alpha ? PNG_FORMAT_GA : PNG_FORMAT_GRAY;
        px.resize(n * (alpha ? 2 : 1));
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t* s = r.rgba.data() + i * 4;
            std::uint8_t g = r.bilevel && s[3] == 0 ? 255 : s[0];
            if (alpha) px[i * 2] = g, px[i * 2 + 1] = s[3];
            else px[i] = g;
        }
    } else {
        img.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
        std::size_t c = alpha ? 4 : 3;
        px.resize(n * c);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t* s = r.rgba.data() + i * 4;
            bool bg = r.bilevel && s[3] == 0;
            for (std::size_t k = 0; k < c; ++k) px[i * c + k] = bg && k < 3 ? 255 : s[k];
        }
    }
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&img, nullptr, &size, 0, px.data(), 0, nullptr))
        throw Error(std::string("cannot write the PNG: ") + img.message);
    std::vector<std::uint8_t> out(size);
    if (!png_image_write_to_memory(&img, out.data(), &size, 0, px.data(), 0, nullptr))
        throw Error(std::string("cannot write the PNG: ") + img.message);
    out.resize(size);
    return out;
}

}  // namespace pressel::image
