// Body of the image fuzz target: the IOCA and object container decoders of
// pressel::image on arbitrary bytes. The first byte chooses the decoder and,
// for containers, the registered object type; the rest is the data.
// A pressel::Error is an acceptable outcome; anything else is a fault.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "pressel/image/image.hpp"

namespace pressel::fuzz {

inline int fuzzImage(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // A heap block of exactly the data's size, so that a read past its end is caught.
    std::vector<byte> copy(data + 1, data + size);
    copy.shrink_to_fit();
    std::span<const byte> bytes(copy.data(), copy.size());
    image::DecodeOptions options;
    options.maxPixels = std::uint64_t(1) << 22;
    try {
        image::Raster r;
        switch (data[0] & 3) {
        case 0: r = image::decodeIoca(bytes, {}, options); break;
        case 1: r = image::decodeContainer(bytes, data[0] >> 2, options); break;
        case 2: {
            image::ImageDescriptor idd;
            idd.width = 1 + (data[0] >> 2);
            idd.height = 3;
            idd.xDpi = idd.yDpi = 300;
            r = image::decodeIoca(bytes, idd, options);
            break;
        }
        default: r = image::decodeContainer(bytes, 0, options); break;
        }
        if (r.rgba.size() != std::size_t(r.width) * std::size_t(r.height) * 4) {
            std::fprintf(stderr, "raster of %d x %d with %zu bytes\n", r.width, r.height, r.rgba.size());
            std::abort();
        }
        if (r.width > 0 && r.height > 0 && r.width * std::int64_t(r.height) <= 4096) image::writePng(r);
    } catch (const Error&) {
    }
    return 0;
}

}  // namespace pressel::fuzz
