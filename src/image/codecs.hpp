// The codec libraries behind the image decoders: libtiff (CCITT, PackBits,
// LZW, TIFF files), libjpeg, libpng and giflib, each wrapped so that an
// error of the library becomes an ImageError and nothing is printed.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "pressel/image/image.hpp"

namespace pressel::image::detail {

// TIFF compression schemes used for IOCA data.
enum TiffScheme : int {
    tiffCcittRle = 2,    // modified Huffman, no EOL codes, rows byte-aligned
    tiffFax3 = 3,        // T.4 (G3), EOL codes
    tiffFax4 = 4,        // T.6 (G4)
    tiffLzw = 5,
    tiffPackBits = 32773,
};

struct RawPlane {
    int width = 0, height = 0;
    int bitsPerSample = 1, samples = 1;
    bool lsbFirst = false;      // bits of a byte from the least significant (fill order 2)
    unsigned t4Options = 0;     // G3: bit 0 two-dimensional coding, bit 2 fill bits before EOL
    bool predictor = false;     // horizontal differencing (LZW)
};

// Decodes `data` compressed with `scheme` to rows of (width × bits × samples
// + 7) / 8 bytes each, top to bottom, most significant bit first. Throws
// ImageError (offset `base`) when the codec reports damaged data.
std::vector<std::uint8_t> tiffDecode(std::span<const byte> data, int scheme, const RawPlane& plane,
                                     std::uint64_t base);

// Whole files.
Raster decodeJpeg(std::span<const byte> data, std::uint64_t base, const DecodeOptions& options);
Raster decodePng(std::span<const byte> data, std::uint64_t base, const DecodeOptions& options);
Raster decodeTiff(std::span<const byte> data, std::uint64_t base, const DecodeOptions& options);
Raster decodeGif(std::span<const byte> data, std::uint64_t base, const DecodeOptions& options);

// Throws ImageError when width × height is not a sensible raster size.
void checkSize(std::int64_t width, std::int64_t height, const DecodeOptions& options, std::uint64_t base);
// Sets grey and alpha from the pixels.
void classify(Raster& r);

}  // namespace pressel::image::detail
