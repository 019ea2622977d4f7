// Images on the page: IOCA image objects and object containers decoded by
// pressel::image and placed in their object areas by the mapping option.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "objects.hpp"

#ifdef PRESSEL_HAVE_IMAGE
#include "pressel/image/image.hpp"
#endif

namespace pressel::render {

void outlineObject(cairo_t* cr, const PageObject& o) {
    if (!(o.width > 0 && o.height > 0)) return;
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0.75, 0.75, 0.75);
    cairo_set_line_width(cr, 0.5);
    double dash[] = {3, 2};
    cairo_set_dash(cr, dash, 2, 0);
    cairo_rectangle(cr, o.x, o.y, o.width, o.height);
    cairo_move_to(cr, o.x, o.y);
    cairo_line_to(cr, o.x + o.width, o.y + o.height);
    cairo_move_to(cr, o.x + o.width, o.y);
    cairo_line_to(cr, o.x, o.y + o.height);
    cairo_stroke(cr);
    cairo_restore(cr);
}

#ifdef PRESSEL_HAVE_IMAGE

namespace {

using image::Mapping;
using image::Raster;

void freeBytes(void* p) { delete static_cast<std::vector<std::uint8_t>*>(p); }

// The raster as a cairo surface (premultiplied ARGB); a JPEG raster carries
// its JPEG stream, which the PDF surface embeds as it is.
cairo_surface_t* surfaceOf(const Raster& r) {
    cairo_surface_t* s = cairo_image_surface_create(r.alpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, r.width, r.height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) return s;
    cairo_surface_flush(s);
    unsigned char* base = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < r.height; ++y) {
        const std::uint8_t* in = r.rgba.data() + std::size_t(y) * std::size_t(r.width) * 4;
        auto* out = reinterpret_cast<std::uint32_t*>(base + std::ptrdiff_t(y) * stride);
        for (int x = 0; x < r.width; ++x, in += 4) {
            unsigned a = in[3];
            auto pm = [a](unsigned c) { return a == 255 ? c : (c * a + 127) / 255; };
            out[x] = a << 24 | pm(in[0]) << 16 | pm(in[1]) << 8 | pm(in[2]);
        }
    }
    cairo_surface_mark_dirty(s);
    if (!r.jpeg.empty() && !r.alpha) {
        auto* copy = new std::vector<std::uint8_t>(r.jpeg);
        if (cairo_surface_set_mime_data(s, CAIRO_MIME_TYPE_JPEG, copy->data(), copy->size(), freeBytes, copy) !=
            CAIRO_STATUS_SUCCESS)
            delete copy;
    }
    return s;
}

}  // namespace

// A decoded resource: its surface (null when it did not decode), the
// picture's size and resolution, and how its own environment places it.
struct Decoded {
    std::weak_ptr<const std::vector<AFP_>> fields;
    cairo_surface_t* surface = nullptr;
    int width = 0, height = 0;
    double xDpi = 0, yDpi = 0;
    image::ObjectData placement;  // without its data
    std::string error;            // why it did not decode
    bool unsupported = false;
    bool warned = false;          // its failure was told
    std::uint64_t pixels() const { return std::uint64_t(width) * std::uint64_t(height); }
};

struct ImageCache::Impl {
    static constexpr std::uint64_t budget = std::uint64_t(1) << 25;  // pixels (128 MiB of ARGB)
    std::vector<Decoded> entries;  // oldest first
    std::uint64_t pixels = 0;

    ~Impl() {
        for (Decoded& d : entries)
            if (d.surface) cairo_surface_destroy(d.surface);
    }
    Decoded* find(const std::shared_ptr<const std::vector<AFP_>>& f) {
        for (auto it = entries.begin(); it != entries.end();) {
            auto held = it->fields.lock();
            if (!held) {  // the resource is gone: so is its picture
                pixels -= it->pixels();
                if (it->surface) cairo_surface_destroy(it->surface);
                it = entries.erase(it);
                continue;
            }
            if (held == f) return &*it;
            ++it;
        }
        return nullptr;
    }
    // Takes the picture over (true) unless it is too large to keep.
    bool keep(const Decoded& d) {
        if (d.pixels() > budget / 4) return false;
        pixels += d.pixels();
        entries.push_back(d);
        while (pixels > budget || entries.size() > 64) {
            pixels -= entries.front().pixels();
            if (entries.front().surface) cairo_surface_destroy(entries.front().surface);
            entries.erase(entries.begin());
        }
        return true;
    }
};

ImageCache::ImageCache() : impl(std::make_unique<Impl>()) {}
ImageCache::~ImageCache() = default;

namespace {

Decoded decode(const PageObject& o) {
    Decoded d;
    d.fields = o.fields;
    try {
        image::ObjectData data = image::readObject(*o.fields);
        Raster r = image::decodeObject(data);
        data.data.clear();
        data.data.shrink_to_fit();
        d.placement = std::move(data);
        d.width = r.width, d.height = r.height, d.xDpi = r.xDpi, d.yDpi = r.yDpi;
        d.surface = surfaceOf(r);
        if (cairo_surface_status(d.surface) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(d.surface);
            d.surface = nullptr;
            d.error = "too large to draw";
        }
    } catch (const image::UnsupportedImage& e) {
        d.error = e.what();
        d.unsupported = true;
    } catch (const Error& e) {
        d.error = std::string("damaged image data (") + e.what() + " of the object's data)";
    }
    return d;
}

}  // namespace

bool drawImage(cairo_t* cr, const PageObject& o, int pageNumber, const Warn& warn, ImageCache& cache) {
    if (o.kind != PageObject::Kind::Image && o.kind != PageObject::Kind::Container) return false;
    std::string what = std::string(objectKindName(o.kind)) + (o.name.empty() ? "" : " " + o.name);
    if (!o.fields) {
        warn(what + " (page " + std::to_string(pageNumber) + ") is not in the stream: its area is outlined");
        outlineObject(cr, o);
        return true;
    }
    Decoded fresh;
    Decoded* got = cache.impl->find(o.fields);
    if (!got) {
        fresh = decode(o);
        // Pictures of resources are kept for their next use; an object of
        // the page itself is drawn once.
        if (o.fields.use_count() > 1 && cache.impl->keep(fresh)) {
            got = &cache.impl->entries.back();
            fresh.surface = nullptr;
        } else {
            got = &fresh;
        }
    }
    struct Release {
        cairo_surface_t* s;
        ~Release() {
            if (s) cairo_surface_destroy(s);
        }
    } release{fresh.surface};
    if (!got->surface) {
        // One warning for a resource however often it is drawn.
        if (!got->warned) {
            if (got->unsupported)
                warn(got->error + ": their areas are outlined (first on page " + std::to_string(pageNumber) + ", " +
                     what + ")");
            else
                warn(what + " on page " + std::to_string(pageNumber) + ": " + got->error + ": its area is outlined");
        }
        got->warned = true;
        outlineObject(cr, o);
        return true;
    }
    image::ObjectData data = got->placement;
    image::ObjectData include = image::readObject({}, o.includeTriplets);
    if (include.mappingGiven) data.mapping = include.mapping;
    struct {
        int width, height;
        double xDpi, yDpi;
    } r{got->width, got->height, got->xDpi, got->yDpi};
    cairo_surface_t* s = got->surface;

    // The picture's own size in points; without a resolution it is fitted
    // to the area.
    bool sized = r.xDpi > 0 && r.yDpi > 0;
    double iw = sized ? r.width * 72.0 / r.xDpi : r.width, ih = sized ? r.height * 72.0 / r.yDpi : r.height;
    double aw = o.areaWidth, ah = o.areaHeight;
    Mapping m = data.mapping;
    if (!(aw > 0 && ah > 0)) {
        aw = iw, ah = ih;  // no object area size: the picture's own
        if (!sized) m = Mapping::ScaleToFit;
    } else if (!sized && m != Mapping::ScaleToFill) {
        m = Mapping::ScaleToFit;
    }

    cairo_save(cr);
    cairo_translate(cr, o.originX, o.originY);
    cairo_rotate(cr, o.rotation * M_PI / 180);
    double x = 0, y = 0, sx = iw / r.width, sy = ih / r.height;
    bool clip = true, repeat = false;
    switch (m) {
    case Mapping::ScaleToFill:
        sx = aw / r.width, sy = ah / r.height;
        break;
    case Mapping::CenterAndTrim:
        x = (aw - iw) / 2, y = (ah - ih) / 2;
        break;
    case Mapping::Position:
    case Mapping::PointToPel:
    case Mapping::PointToPelDoubleDot:
        clip = false;
        x = data.contentX, y = data.contentY;
        break;
    case Mapping::PositionAndTrim:
        x = data.contentX, y = data.contentY;
        break;
    case Mapping::ReplicateAndTrim:
        x = data.contentX, y = data.contentY;
        repeat = true;
        break;
    case Mapping::ScaleToFit:
    default: {
        double k = std::min(aw / iw, ah / ih);
        sx *= k, sy *= k;
        x = (aw - iw * k) / 2, y = (ah - ih * k) / 2;
        break;
    }
    }
    if (clip) {
        cairo_rectangle(cr, 0, 0, aw, ah);
        cairo_clip(cr);
    }
    cairo_translate(cr, x, y);
    cairo_scale(cr, sx, sy);
    cairo_set_source_surface(cr, s, 0, 0);
    cairo_pattern_t* pat = cairo_get_source(cr);
    if (repeat) cairo_pattern_set_extend(pat, CAIRO_EXTEND_REPEAT);
    // Enlarged, a picture's points are replicated as a printer does (and a
    // PDF viewer is told not to smooth them); reduced, they are filtered.
    double dx = 1, dy = 1;
    cairo_user_to_device_distance(cr, &dx, &dy);
    if (std::abs(dx) > 1.01 && std::abs(dy) > 1.01) cairo_pattern_set_filter(pat, CAIRO_FILTER_NEAREST);
    if (repeat) cairo_paint(cr);
    else {
        cairo_rectangle(cr, 0, 0, r.width, r.height);
        cairo_fill(cr);
    }
    cairo_restore(cr);
    return true;
}

#else

struct ImageCache::Impl {};
ImageCache::ImageCache() = default;
ImageCache::~ImageCache() = default;

bool drawImage(cairo_t*, const PageObject&, int, const Warn&, ImageCache&) { return false; }

#endif

}  // namespace pressel::render
