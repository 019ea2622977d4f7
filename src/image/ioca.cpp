// IOCA image segments decoded to rasters.
//
// The segment is a run of self-defining fields: a one-byte code and a
// one-byte length of what follows, or X'FE', a second code byte and a
// two-byte length. The fields set up the image content (or a tile, or a
// transparency mask inside either), the Image Data fields carry its data;
// at the end of a tile the tile is decoded and put into the image at its
// position, at the end of the image content the content is decoded.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "codecs.hpp"
#include "pressel/image/image.hpp"

namespace pressel::image {

using namespace detail;

namespace {

unsigned u16(std::span<const byte> b, std::size_t at) { return at + 2 <= b.size() ? unsigned(b[at] << 8 | b[at + 1]) : 0; }
std::uint32_t u32(std::span<const byte> b, std::size_t at) {
    return at + 4 <= b.size() ? std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 |
                                    std::uint32_t(b[at + 2]) << 8 | b[at + 3]
                              : 0;
}

// Points per inch of an IOCA or MO:DCA unit base and count (00: per 10
// inches, 01: per 10 centimetres); 0 for a ratio or no count.
double perInch(unsigned base, unsigned units) {
    if (units == 0) return 0;
    if (base == 0) return units / 10.0;
    if (base == 1) return units / 10.0 * 2.54;
    return 0;
}

std::string compressionName(unsigned c) {
    switch (c) {
    case 0x01: return "IBM MMR";
    case 0x03: return "none";
    case 0x06: return "RL4";
    case 0x08: return "ABIC";
    case 0x09: return "TIFF algorithm 2";
    case 0x0A: return "concatenated ABIC";
    case 0x0B: return "OS/2 colour compression";
    case 0x0C: return "PackBits";
    case 0x0D: return "LZW";
    case 0x0E: return "LZW with predictor";
    case 0x20: return "solid fill";
    case 0x80: return "G3 MH";
    case 0x81: return "G3 MR";
    case 0x82: return "G4 MMR";
    case 0x83: return "JPEG";
    case 0x84: return "JBIG2";
    default: {
        static const char hex[] = "0123456789ABCDEF";
        return std::string("X'") + hex[(c >> 4) & 15] + hex[c & 15] + "'";
    }
    }
}

// A colour from a colour-space byte and component values (the layout of the
// colour triplet (X'4E') from its colour space on): RGB, CMYK,
// CIELAB or a named OCA colour.
std::optional<std::uint32_t> colourOf(unsigned space, std::span<const byte> sizes, std::span<const byte> v) {
    auto comp = [&](std::size_t i) -> double {
        unsigned bits = i < sizes.size() ? sizes[i] : 8;
        if (bits == 0 || bits > 16) bits = 8;
        std::size_t bytes = (bits + 7) / 8, at = 0;
        for (std::size_t k = 0; k < i; ++k) at += ((k < sizes.size() && sizes[k] ? sizes[k] : 8) + 7) / 8;
        if (at + bytes > v.size()) return 0;
        unsigned x = bytes == 1 ? v[at] : unsigned(v[at] << 8 | v[at + 1]);
        return double(x) / double((1u << bits) - 1);
    };
    auto rgb = [](double r, double g, double b) {
        auto c = [](double x) { return std::uint32_t(std::lround(std::clamp(x, 0.0, 1.0) * 255)); };
        return c(r) << 16 | c(g) << 8 | c(b);
    };
    switch (space) {
    case 0x01: return rgb(comp(0), comp(1), comp(2));
    case 0x04: {
        double k = comp(3);
        return rgb((1 - comp(0)) * (1 - k), (1 - comp(1)) * (1 - k), (1 - comp(2)) * (1 - k));
    }
    case 0x08: {
        double l = comp(0) * 100;
        return rgb(l / 100, l / 100, l / 100);  // lightness only
    }
    case 0x40: {
        // The named colours of the OCA table (X'0001'..X'0010', X'FF01'..X'FF06').
        static const std::uint32_t named[] = {0x000000, 0x0000FF, 0xFF0000, 0xFF00FF, 0x00FF00, 0x00FFFF,
                                              0xFFFF00, 0xFFFFFF, 0x000000, 0x0000AA, 0xFF8000, 0xAA00AA,
                                              0x009200, 0x0092AA, 0xC4A020, 0x838383, 0x903000};
        if (v.size() < 2) return std::nullopt;
        unsigned n = unsigned(v[0] << 8 | v[1]);
        if (n >= 0xFF01 && n <= 0xFF06) n &= 0xFF;
        if (n >= 1 && n < std::size(named)) return named[n];
        return std::nullopt;  // the default: black ink
    }
    default: return std::nullopt;
    }
}

// What the fields set up for one image content, tile or mask.
struct Plane {
    int width = 0, height = 0;
    double xDpi = 0, yDpi = 0;
    unsigned compression = 0x03, recording = 0x01, bitOrder = 0;
    bool encodingGiven = false;
    unsigned ideSize = 1;
    bool ideStructure = false, subtractive = false;
    unsigned format = 0;
    std::vector<unsigned> sizes;       // bits per component
    std::vector<unsigned> bandBits;    // bits per band, when banded
    std::vector<std::uint8_t> data;
    std::vector<std::vector<std::uint8_t>> bands;
    std::uint64_t dataAt = 0;          // offset of the first data field
    bool haveData = false;
    std::optional<std::uint32_t> colour;  // ink of 1 bits, or the solid fill
    int tileX = 0, tileY = 0;
    unsigned relres = 1;
};

struct Bits {
    const std::uint8_t* p;
    std::size_t size;
    unsigned get(std::uint64_t bit, unsigned n) const {
        unsigned v = 0;
        for (unsigned i = 0; i < n; ++i, ++bit) {
            std::size_t at = std::size_t(bit >> 3);
            unsigned b = at < size ? (p[at] >> (7 - (bit & 7))) & 1 : 0;
            v = v << 1 | b;
        }
        return v;
    }
};

std::uint8_t reverseBits(std::uint8_t b) {
    b = std::uint8_t((b & 0xF0) >> 4 | (b & 0x0F) << 4);
    b = std::uint8_t((b & 0xCC) >> 2 | (b & 0x33) << 2);
    return std::uint8_t((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

class Decoder {
public:
    Decoder(std::span<const byte> seg, const ImageDescriptor& idd, const DecodeOptions& o)
        : seg_(seg), idd_(idd), opt_(o) {}

    Raster run() {
        std::size_t at = 0;
        while (at < seg_.size()) {
            unsigned code = seg_[at];
            std::size_t head = 2, len = 0;
            if (code == 0xFE) {
                if (at + 4 > seg_.size()) throw ImageError("IOCA field header cut short", at);
                code = 0xFE00 | seg_[at + 1];
                len = u16(seg_, at + 2);
                head = 4;
            } else {
                if (at + 2 > seg_.size()) throw ImageError("IOCA field header cut short", at);
                len = seg_[at + 1];
            }
            std::size_t end = at + head + len;
            if (code == 0xFE92 && len == 0) {
                // A zero-length Image Data holds the rest of the segment up to
                // its closing End fields (written so when the data spans
                // several IPD fields).
                end = trailingEnd();
                if (end < at + head) end = at + head;
            }
            if (end > seg_.size()) throw ImageError("IOCA field runs past the end of the image data", at);
            field(code, seg_.subspan(at + head, end - at - head), at);
            at = end;
            if (done_) break;
        }
        if (!done_) finishContent(at);
        return std::move(result_);
    }

private:
    // Where the closing End Image Content / End Segment / End Tile fields
    // at the end of the segment begin.
    std::size_t trailingEnd() const {
        std::size_t e = seg_.size();
        while (e >= 2 && seg_[e - 1] == 0x00 && (seg_[e - 2] == 0x71 || seg_[e - 2] == 0x93 || seg_[e - 2] == 0x8D))
            e -= 2;
        return e;
    }

    Plane& current() { return mask_ ? *mask_ : tile_ ? *tile_ : image_; }

    void field(unsigned code, std::span<const byte> d, std::size_t at) {
        Plane& p = current();
        switch (code) {
        case 0x70: break;  // Begin Segment
        case 0x71: finishContent(at), done_ = true; break;
        case 0x91: break;  // Begin Image Content
        case 0x93: finishContent(at), done_ = true; break;
        case 0x94:         // Image Size
            if (d.size() < 9) throw ImageError("Image Size parameter too short", at);
            p.xDpi = perInch(d[0], u16(d, 1));
            p.yDpi = perInch(d[0], u16(d, 3));
            p.width = int(u16(d, 5));
            p.height = int(u16(d, 7));
            break;
        case 0x95:  // Image Encoding
            if (d.size() >= 1) p.compression = d[0];
            if (d.size() >= 2) p.recording = d[1];
            if (d.size() >= 3) p.bitOrder = d[2];
            p.encodingGiven = true;
            break;
        case 0x96:
            if (d.size() >= 1) p.ideSize = d[0];
            break;
        case 0x97: break;  // Image LUT-ID: the standard table
        case 0x98:         // Band Image
            if (d.empty()) break;
            p.bandBits.assign(d.begin() + 1, d.begin() + std::min<std::size_t>(d.size(), 1 + std::size_t(d[0])));
            break;
        case 0x9B:  // IDE Structure
            if (d.size() < 5) throw ImageError("IDE Structure parameter too short", at);
            p.ideStructure = true;
            p.subtractive = (d[0] & 0x80) != 0;
            p.format = d[1];
            p.sizes.assign(d.begin() + 5, d.end());
            while (!p.sizes.empty() && p.sizes.back() == 0) p.sizes.pop_back();
            break;
        case 0x9F: break;  // External Algorithm: the JPEG stream says it all
        case 0x8C:         // Begin Tile
            if (tile_) throw ImageError("Begin Tile inside a tile", at);
            tile_.emplace();
            tile_->xDpi = image_.xDpi;
            tile_->yDpi = image_.yDpi;
            break;
        case 0x8D:  // End Tile
            if (!tile_ || mask_) throw ImageError("End Tile without its Begin Tile", at);
            finishTile(at);
            tile_.reset();
            break;
        case 0x8E:  // Begin Transparency Mask
            if (mask_) throw ImageError("Begin Transparency Mask inside a mask", at);
            mask_.emplace();
            mask_->width = p.width;
            mask_->height = p.height;
            break;
        case 0x8F:  // End Transparency Mask
            if (!mask_) throw ImageError("End Transparency Mask without its Begin", at);
            (tile_ ? tileMask_ : imageMask_) = std::move(*mask_);
            mask_.reset();
            break;
        case 0xB5:  // Tile Position
            if (d.size() < 8) throw ImageError("Tile Position too short", at);
            p.tileX = int(std::min<std::uint32_t>(u32(d, 0), 1u << 30));
            p.tileY = int(std::min<std::uint32_t>(u32(d, 4), 1u << 30));
            break;
        case 0xB6:  // Tile Size
            if (d.size() < 8) throw ImageError("Tile Size too short", at);
            p.width = int(std::min<std::uint32_t>(u32(d, 0), 1u << 30));
            p.height = int(std::min<std::uint32_t>(u32(d, 4), 1u << 30));
            p.relres = d.size() >= 9 && d[8] == 2 ? 2 : 1;
            break;
        case 0xB7:  // Tile Set Color
            if (d.size() >= 8) p.colour = colourOf(d[0], d.subspan(4, 4), d.subspan(8));
            break;
        case 0xF4:  // Set Extended Bilevel Image Color
            if (d.size() >= 10) p.colour = colourOf(d[1], d.subspan(6, 4), d.subspan(10));
            break;
        case 0xF6:  // Set Bilevel Image Color
            if (d.size() >= 4) p.colour = colourOf(0x40, {}, d.subspan(2, 2));
            break;
        case 0xFE92:  // Image Data
            if (!p.haveData) p.dataAt = at;
            p.haveData = true;
            p.data.insert(p.data.end(), d.begin(), d.end());
            break;
        case 0xFE9C: {  // Band Image Data
            if (d.size() < 3) throw ImageError("Band Image Data too short", at);
            unsigned band = d[0];
            if (band == 0 || band > 253) throw ImageError("Band Image Data for band " + std::to_string(band), at);
            if (p.bands.size() < band) p.bands.resize(band);
            if (!p.haveData) p.dataAt = at;
            p.haveData = true;
            p.bands[band - 1].insert(p.bands[band - 1].end(), d.begin() + 3, d.end());
            break;
        }
        case 0xFEB8: throw UnsupportedImage("IOCA tile resources (Include Tile) are not decoded");
        default: break;  // Tile TOC, subsampling, nColor names, retired fields: nothing to draw from
        }
    }

    // Decodes a plane's data to raw rows of `bits`-bit elements.
    std::vector<std::uint8_t> rows(const Plane& p, const std::vector<std::uint8_t>& data, unsigned bits) {
        std::span<const byte> in(data.data(), data.size());
        RawPlane rp;
        rp.width = p.width;
        rp.height = p.height;
        rp.bitsPerSample = int(bits);
        rp.lsbFirst = p.bitOrder == 1;
        std::uint64_t rowBytes = (std::uint64_t(p.width) * bits + 7) / 8;
        std::vector<std::uint8_t> out;
        switch (p.compression) {
        case 0x03: {
            std::vector<std::uint8_t> reversed;
            if (rp.lsbFirst) {  // first element in the least significant bit
                reversed.assign(data.begin(), data.end());
                for (auto& b : reversed) b = reverseBits(b);
                in = std::span<const byte>(reversed.data(), reversed.size());
            }
            out.assign(std::size_t(rowBytes * std::uint64_t(p.height)), 0);
            std::uint64_t rowBits = p.recording == 0x04 ? std::uint64_t(p.width) * bits : rowBytes * 8;
            std::uint64_t needBits = rowBits * std::uint64_t(p.height);
            if (in.size() * 8 < needBits)
                throw ImageError("image data too short: " + std::to_string(in.size()) + " bytes for " +
                                     std::to_string(p.width) + " x " + std::to_string(p.height) + " x " +
                                     std::to_string(bits) + " bits",
                                 p.dataAt);
            if (rowBits == rowBytes * 8) {
                std::memcpy(out.data(), in.data(), out.size());
            } else {
                Bits src{in.data(), in.size()};
                for (int y = 0; y < p.height; ++y)
                    for (std::uint64_t b = 0; b < std::uint64_t(p.width) * bits; ++b)
                        if (src.get(rowBits * std::uint64_t(y) + b, 1))
                            out[std::size_t(rowBytes * std::uint64_t(y) + b / 8)] |= std::uint8_t(0x80 >> (b & 7));
            }
            break;
        }
        case 0x01:
        case 0x82:
            if (bits != 1) throw ImageError("MMR data needs 1-bit image data elements", p.dataAt);
            out = tiffDecode(in, tiffFax4, rp, p.dataAt);
            break;
        case 0x80:
        case 0x81:
            if (bits != 1) throw ImageError("G3 data needs 1-bit image data elements", p.dataAt);
            rp.t4Options = p.compression == 0x81 ? 1 : 0;
            out = tiffDecode(in, tiffFax3, rp, p.dataAt);
            break;
        case 0x09:
            if (bits != 1) throw ImageError("modified Huffman data needs 1-bit image data elements", p.dataAt);
            out = tiffDecode(in, tiffCcittRle, rp, p.dataAt);
            break;
        case 0x0C:
        case 0x0D:
        case 0x0E:
            if (bits > 16 && bits % 8 == 0) {
                rp.bitsPerSample = 8;
                rp.samples = int(bits / 8);
            }
            rp.predictor = p.compression == 0x0E;
            if (rp.lsbFirst) {
                std::vector<std::uint8_t> rev(data.begin(), data.end());
                for (auto& b : rev) b = reverseBits(b);
                rp.lsbFirst = false;
                return tiffDecode(std::span<const byte>(rev.data(), rev.size()),
                                  p.compression == 0x0C ? tiffPackBits : tiffLzw, rp, p.dataAt);
            }
            out = tiffDecode(in, p.compression == 0x0C ? tiffPackBits : tiffLzw, rp, p.dataAt);
            break;
        default:
            throw UnsupportedImage("IOCA compression " + compressionName(p.compression) + " is not decoded");
        }
        if (p.recording == 0x03) {  // bottom to top
            for (int y = 0; y < p.height / 2; ++y)
                std::swap_ranges(out.begin() + std::ptrdiff_t(rowBytes * std::uint64_t(y)),
                                 out.begin() + std::ptrdiff_t(rowBytes * std::uint64_t(y + 1)),
                                 out.begin() + std::ptrdiff_t(rowBytes * std::uint64_t(p.height - 1 - y)));
        }
        return out;
    }

    // Decodes a plane (content or tile) to a raster of its own size.
    Raster decodePlane(const Plane& p) {
        Raster r;
        r.compression = compressionName(p.compression);
        r.xDpi = p.xDpi;
        r.yDpi = p.yDpi;
        bool banded = !p.bands.empty();
        unsigned bits = p.ideSize;
        if (banded) {
            bits = 0;
            for (unsigned b : p.bandBits) bits += b;
        }
        r.bitsPerPixel = int(bits);
        if (p.compression == 0x20) {  // Solid Fill: the tile in its set colour
            checkSize(p.width, p.height, opt_, p.dataAt);
            r.width = p.width;
            r.height = p.height;
            std::uint32_t c = p.colour.value_or(0);
            r.rgba.resize(std::size_t(r.width) * std::size_t(r.height) * 4);
            for (std::size_t i = 0; i < r.rgba.size(); i += 4) {
                r.rgba[i] = std::uint8_t(c >> 16), r.rgba[i + 1] = std::uint8_t(c >> 8);
                r.rgba[i + 2] = std::uint8_t(c), r.rgba[i + 3] = 255;
            }
            classify(r);
            return r;
        }
        if (p.compression == 0x83 && !banded) {
            if (!p.haveData) throw ImageError("image without data", p.dataAt);
            Raster j = decodeJpeg(std::span<const byte>(p.data.data(), p.data.size()), p.dataAt, opt_);
            if (p.xDpi > 0) j.xDpi = p.xDpi, j.yDpi = p.yDpi;
            return j;
        }
        if (!p.haveData) throw ImageError("image without data", p.dataAt);
        if (p.width <= 0 || p.height <= 0) throw ImageError("image without a size (Image Size or Tile Size)", p.dataAt);
        checkSize(p.width, p.height, opt_, p.dataAt);
        if (bits == 0 || bits > 64) throw ImageError("IDE size of " + std::to_string(bits) + " bits", p.dataAt);
        r.width = p.width;
        r.height = p.height;
        std::size_t n = std::size_t(r.width) * std::size_t(r.height);
        r.rgba.assign(n * 4, 255);

        // Component layout: from the IDE structure, else bilevel (1 bit),
        // grey (up to 16 bits), RGB (24), CMYK (32).
        std::vector<unsigned> sizes = p.sizes;
        unsigned format = p.format;
        if (banded) sizes.assign(p.bandBits.begin(), p.bandBits.end());
        if (sizes.empty()) {
            if (bits == 24) sizes = {8, 8, 8}, format = format ? format : 0x01;
            else if (bits == 32) sizes = {8, 8, 8, 8}, format = format ? format : 0x04;
            else sizes = {bits};
        }
        if (sizes.size() == 3 && !format) format = 0x01;
        if (sizes.size() == 4 && !format) format = 0x04;

        // JPEG bands (one JPEG stream per component) decode to grey planes.
        std::vector<std::vector<std::uint8_t>> planes;
        std::vector<unsigned> planeBits;
        if (banded) {
            if (p.bands.size() < sizes.size()) throw ImageError("band image without data for every band", p.dataAt);
            for (std::size_t b = 0; b < sizes.size(); ++b) {
                if (p.compression == 0x83) {
                    Raster j = decodeJpeg(std::span<const byte>(p.bands[b].data(), p.bands[b].size()), p.dataAt, opt_);
                    if (j.width != p.width || j.height != p.height)
                        throw ImageError("JPEG band of another size than its tile", p.dataAt);
                    std::vector<std::uint8_t> g(n);
                    for (std::size_t i = 0; i < n; ++i) g[i] = j.rgba[i * 4];
                    planes.push_back(std::move(g));
                    planeBits.push_back(8);
                    sizes[b] = 8;
                } else {
                    planes.push_back(rows(p, p.bands[b], sizes[b]));
                    planeBits.push_back(sizes[b]);
                }
            }
        } else {
            planes.push_back(rows(p, p.data, bits));
            planeBits.push_back(bits);
        }
        std::uint64_t nComp = sizes.size();

        if (nComp == 1 && sizes[0] == 1 && !banded) {
            // Bilevel: 1 = ink, 0 = background (transparent white).
            std::uint32_t ink = p.colour.value_or(0);
            const std::uint8_t* src = planes[0].data();
            std::uint64_t rowBytes = (std::uint64_t(r.width) + 7) / 8;
            for (int y = 0; y < r.height; ++y) {
                const std::uint8_t* row = src + rowBytes * std::uint64_t(y);
                std::uint8_t* o = r.rgba.data() + std::size_t(y) * std::size_t(r.width) * 4;
                for (int x = 0; x < r.width; ++x, o += 4) {
                    bool on = (row[x >> 3] >> (7 - (x & 7))) & 1;
                    if (on) o[0] = std::uint8_t(ink >> 16), o[1] = std::uint8_t(ink >> 8), o[2] = std::uint8_t(ink);
                    else o[3] = 0;
                }
            }
            r.bilevel = true;
            classify(r);
            return r;
        }

        // Component values, scaled to 0..1.
        std::vector<std::uint64_t> rowBytes(planes.size());
        for (std::size_t i = 0; i < planes.size(); ++i)
            rowBytes[i] = (std::uint64_t(r.width) * planeBits[i] + 7) / 8;
        double c[16];
        for (int y = 0; y < r.height; ++y) {
            for (int x = 0; x < r.width; ++x) {
                if (banded) {
                    for (std::size_t k = 0; k < nComp && k < 16; ++k) {
                        Bits b{planes[k].data(), planes[k].size()};
                        unsigned v = b.get(rowBytes[k] * 8 * std::uint64_t(y) + std::uint64_t(x) * planeBits[k],
                                           planeBits[k]);
                        c[k] = double(v) / double((std::uint64_t(1) << planeBits[k]) - 1);
                    }
                } else if (bits == 8 && nComp == 1) {
                    c[0] = planes[0][rowBytes[0] * std::uint64_t(y) + std::uint64_t(x)] / 255.0;
                } else if (bits == 24 && nComp == 3 && sizes[0] == 8 && sizes[1] == 8) {
                    const std::uint8_t* q = planes[0].data() + rowBytes[0] * std::uint64_t(y) + std::uint64_t(x) * 3;
                    c[0] = q[0] / 255.0, c[1] = q[1] / 255.0, c[2] = q[2] / 255.0;
                } else {
                    Bits b{planes[0].data(), planes[0].size()};
                    std::uint64_t bit = rowBytes[0] * 8 * std::uint64_t(y) + std::uint64_t(x) * bits;
                    for (std::size_t k = 0; k < nComp && k < 16; ++k) {
                        unsigned sz = std::min(sizes[k], 16u);
                        c[k] = sz ? double(b.get(bit, sz)) / double((1u << sz) - 1) : 0;
                        bit += sizes[k];
                    }
                }
                double R, G, B;
                if (nComp == 1) {
                    double v = p.subtractive ? 1 - c[0] : c[0];
                    R = G = B = v;
                } else if (format == 0x04 || nComp == 4) {
                    double k = nComp > 3 ? c[3] : 0;
                    R = (1 - c[0]) * (1 - k), G = (1 - c[1]) * (1 - k), B = (1 - c[2]) * (1 - k);
                } else if (format == 0x02 || format == 0x12) {
                    double Y = c[0], cb = (format == 0x12 ? c[1] : c[2]) - 0.5, cr = (format == 0x12 ? c[2] : c[1]) - 0.5;
                    R = Y + 1.402 * cr, G = Y - 0.344136 * cb - 0.714136 * cr, B = Y + 1.772 * cb;
                } else {
                    R = c[0], G = c[1], B = c[2];
                    if (p.subtractive) R = 1 - R, G = 1 - G, B = 1 - B;
                }
                std::uint8_t* o = r.rgba.data() + (std::size_t(y) * std::size_t(r.width) + std::size_t(x)) * 4;
                o[0] = std::uint8_t(std::lround(std::clamp(R, 0.0, 1.0) * 255));
                o[1] = std::uint8_t(std::lround(std::clamp(G, 0.0, 1.0) * 255));
                o[2] = std::uint8_t(std::lround(std::clamp(B, 0.0, 1.0) * 255));
            }
        }
        classify(r);
        return r;
    }

    // Applies a 1-bit transparency mask: its 0 points become transparent.
    void applyMask(Raster& r, const Plane& m) {
        if (!m.haveData) return;
        Plane mp = m;
        if (mp.width <= 0) mp.width = r.width;
        if (mp.height <= 0) mp.height = r.height;
        checkSize(mp.width, mp.height, opt_, mp.dataAt);
        std::vector<std::uint8_t> bits = rows(mp, mp.data, 1);
        std::uint64_t rowBytes = (std::uint64_t(mp.width) + 7) / 8;
        for (int y = 0; y < r.height; ++y) {
            int my = int(std::int64_t(y) * mp.height / r.height);
            for (int x = 0; x < r.width; ++x) {
                int mx = int(std::int64_t(x) * mp.width / r.width);
                bool opaque = (bits[rowBytes * std::uint64_t(my) + std::uint64_t(mx >> 3)] >> (7 - (mx & 7))) & 1;
                if (!opaque) r.rgba[(std::size_t(y) * std::size_t(r.width) + std::size_t(x)) * 4 + 3] = 0;
            }
        }
        classify(r);
    }

    void imageSize(std::size_t at) {
        if (image_.width <= 0 || image_.height <= 0) image_.width = idd_.width, image_.height = idd_.height;
        if (!(image_.xDpi > 0)) image_.xDpi = idd_.xDpi, image_.yDpi = idd_.yDpi;
        if (!canvasMade_) {
            checkSize(image_.width, image_.height, opt_, at);
            result_.width = image_.width;
            result_.height = image_.height;
            result_.rgba.assign(std::size_t(result_.width) * std::size_t(result_.height) * 4, 0);
            canvasMade_ = true;
        }
    }

    void finishTile(std::size_t at) {
        imageSize(at);
        Plane& t = *tile_;
        if (!t.haveData && t.compression != 0x20) {
            tileMask_.reset();
            return;
        }
        Raster r = decodePlane(t);
        if (tileMask_) applyMask(r, *tileMask_);
        tileMask_.reset();
        if (result_.compression.empty()) result_.compression = r.compression;
        result_.bitsPerPixel = std::max(result_.bitsPerPixel, r.bitsPerPixel);
        tiled_ = true;
        // Composite over what is there; a half-resolution tile covers twice its size.
        int scale = int(t.relres);
        for (int y = 0; y < r.height * scale; ++y) {
            std::int64_t py = std::int64_t(t.tileY) + y;
            if (py < 0 || py >= result_.height) continue;
            for (int x = 0; x < r.width * scale; ++x) {
                std::int64_t px = std::int64_t(t.tileX) + x;
                if (px < 0 || px >= result_.width) continue;
                const std::uint8_t* s = r.rgba.data() + (std::size_t(y / scale) * std::size_t(r.width) + std::size_t(x / scale)) * 4;
                std::uint8_t* o = result_.rgba.data() + (std::size_t(py) * std::size_t(result_.width) + std::size_t(px)) * 4;
                if (s[3] == 255 || o[3] == 0) std::memcpy(o, s, 4);
                else if (s[3] != 0) {
                    unsigned a = s[3];
                    for (int k = 0; k < 3; ++k) o[k] = std::uint8_t((s[k] * a + o[k] * (255 - a)) / 255);
                    o[3] = std::uint8_t(std::max<unsigned>(o[3], a));
                }
            }
        }
        if (r.bilevel) bilevelTiles_ = true;
    }

    void finishContent(std::size_t at) {
        if (finished_) return;
        finished_ = true;
        if (mask_) throw ImageError("transparency mask not ended", at);
        if (tile_) throw ImageError("tile not ended", at);
        if (tiled_) {
            result_.xDpi = image_.xDpi;
            result_.yDpi = image_.yDpi;
            classify(result_);
            result_.bilevel = bilevelTiles_ && result_.grey;
            return;
        }
        if (image_.width <= 0 || image_.height <= 0) image_.width = idd_.width, image_.height = idd_.height;
        if (!(image_.xDpi > 0)) image_.xDpi = idd_.xDpi, image_.yDpi = idd_.yDpi;
        if (!image_.haveData) throw ImageError("image segment without image data", at);
        result_ = decodePlane(image_);
        if (imageMask_) {
            applyMask(result_, *imageMask_);
            result_.jpeg.clear();  // the stored JPEG lacks the mask
        }
        if (!(result_.xDpi > 0)) result_.xDpi = image_.xDpi, result_.yDpi = image_.yDpi;
    }

    std::span<const byte> seg_;
    ImageDescriptor idd_;
    DecodeOptions opt_;
    Plane image_;
    std::optional<Plane> tile_, mask_, tileMask_, imageMask_;
    Raster result_;
    bool done_ = false, finished_ = false, tiled_ = false, canvasMade_ = false, bilevelTiles_ = false;
};

}  // namespace

ImageDescriptor parseImageDescriptor(std::span<const byte> d) {
    ImageDescriptor r;
    if (d.size() < 9) return r;
    r.xDpi = perInch(d[0], u16(d, 1));
    r.yDpi = perInch(d[0], u16(d, 3));
    r.width = int(u16(d, 5));
    r.height = int(u16(d, 7));
    return r;
}

Raster decodeIoca(std::span<const byte> segment, const ImageDescriptor& descriptor, const DecodeOptions& options) {
    return Decoder(segment, descriptor, options).run();
}

}  // namespace pressel::image
