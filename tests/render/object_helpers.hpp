// Pages with hand-built graphics and bar code objects, drawn to PNG and read
// back as pixels.
#pragma once

#include <cairo.h>

#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "pressel/render/render.hpp"

namespace pressel::test {

using ByteVec = std::vector<byte>;

inline ByteVec cat(std::initializer_list<ByteVec> parts) {
    ByteVec out;
    for (const ByteVec& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
inline ByteVec be16v(int v) { return {byte((v >> 8) & 0xFF), byte(v & 0xFF)}; }

// A structured field as the page interpreter keeps it: identifier, flag
// byte, reserved bytes, data.
inline AFP_ field(std::uint32_t code, const ByteVec& data) {
    ByteVec p = {byte(code >> 16), byte(code >> 8), byte(code), 0, 0, 0};
    p.insert(p.end(), data.begin(), data.end());
    return AFP_{code, Bytes::copy(std::span<const byte>(p))};
}

// An object of the given kind whose area is at (x, y) on the page, w x h points.
inline PageObject object(PageObject::Kind kind, double x, double y, double w, double h, std::vector<AFP_> fields,
                         int rotation = 0) {
    PageObject o;
    o.kind = kind;
    o.name = "OBJ1";
    o.x = o.originX = x;
    o.y = o.originY = y;
    o.width = o.areaWidth = w;
    o.height = o.areaHeight = h;
    o.rotation = rotation;
    if (rotation == 90) o.x = x - h, o.width = h, o.height = w;
    o.fields = std::make_shared<std::vector<AFP_>>(std::move(fields));
    return o;
}

struct Pixels {
    int width = 0, height = 0;
    std::vector<std::uint32_t> px;  // 0xRRGGBB
    std::uint32_t at(int x, int y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFF;
        return px[std::size_t(y) * std::size_t(width) + std::size_t(x)] & 0xFFFFFF;
    }
    bool dark(int x, int y) const {
        std::uint32_t c = at(x, y);
        return ((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF) < 3 * 100;
    }
    bool white(int x, int y) const { return at(x, y) == 0xFFFFFF; }
    bool ink(int x, int y) const { return (at(x, y) & 0xFF) < 0x80; }  // dark in blue: black or red ink
};

inline Pixels pixelsOfSurface(cairo_surface_t* s) {
    Pixels r;
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) return r;
    cairo_surface_flush(s);
    r.width = cairo_image_surface_get_width(s);
    r.height = cairo_image_surface_get_height(s);
    int stride = cairo_image_surface_get_stride(s);
    const unsigned char* d = cairo_image_surface_get_data(s);
    r.px.resize(std::size_t(r.width) * std::size_t(r.height));
    for (int y = 0; y < r.height; ++y)
        std::memcpy(&r.px[std::size_t(y) * std::size_t(r.width)], d + y * stride, std::size_t(r.width) * 4);
    return r;
}

inline Pixels decodePngBytes(const std::string& png) {
    struct Reader {
        const std::string* data;
        std::size_t pos = 0;
        static cairo_status_t read(void* closure, unsigned char* out, unsigned int n) {
            auto* self = static_cast<Reader*>(closure);
            if (self->pos + n > self->data->size()) return CAIRO_STATUS_READ_ERROR;
            std::memcpy(out, self->data->data() + self->pos, n);
            self->pos += n;
            return CAIRO_STATUS_SUCCESS;
        }
    } reader{&png};
    cairo_surface_t* s = cairo_image_surface_create_from_png_stream(&Reader::read, &reader);
    Pixels r = pixelsOfSurface(s);
    cairo_surface_destroy(s);
    return r;
}

// The page drawn to PNG at `dpi` and read back; the warnings in `warnings`.
inline Pixels drawPage(const Page& page, double dpi, std::vector<std::string>* warnings = nullptr) {
    render::RenderOptions o;
    o.dpi = dpi;
    o.warn = [warnings](const std::string& w) {
        if (warnings) warnings->push_back(w);
    };
    render::ImageWriter w(render::Format::Png, o);
    std::string out;
    w.write(page, [&out](std::span<const unsigned char> b) { out.append(reinterpret_cast<const char*>(b.data()), b.size()); });
    return decodePngBytes(out);
}

inline Page pageWith(double w, double h, std::vector<PageObject> objects) {
    Page p;
    p.number = 1;
    p.width = w;
    p.height = h;
    p.objects = std::move(objects);
    return p;
}

inline bool anyContains(const std::vector<std::string>& v, const std::string& what) {
    for (const std::string& s : v)
        if (s.find(what) != std::string::npos) return true;
    return false;
}

}  // namespace pressel::test
