// Images of a page: IOCA image objects and object containers decoded to
// rasters.
//
//   decodeIoca        an IOCA image segment (the concatenated IPD data of an
//                     image object) to a raster
//   decodeContainer   the bytes of an object container (JPEG, PNG, TIFF, GIF,
//                     or an IOCA segment) to a raster
//   decodeObject      an image object (BIM..EIM) or object container
//                     (BOC..EOC) given as its structured fields
//   writePng          a raster as a PNG file
//
// IOCA: the segment's self-defining fields are read in order: Begin Segment,
// Begin Image Content, Image Size (resolution and size), Image Encoding
// (compression, recording algorithm, bit order), IDE Size, IDE Structure
// (bilevel, grey, RGB, YCbCr, YCrCb, CMYK; additive or subtractive), Image
// LUT-ID, Band Image and Band Image Data, Begin/End Tile with Tile Position,
// Tile Size and Tile Set Color, Begin/End Transparency Mask, Set Bilevel
// Image Color and Set Extended Bilevel Image Color, Image Data. Compressions:
// none, IBM MMR and G4 MMR (T.6), G3 MH and MR (T.4), TIFF algorithm 2
// (modified Huffman without end-of-line codes), TIFF PackBits, TIFF LZW
// (with or without the differencing predictor) through libtiff's codecs;
// JPEG through libjpeg; Solid Fill tiles. RL4, ABIC and JBIG2 are not
// decoded (UnsupportedImage).
//
// Bilevel images: a 1 bit is a significant point (ink, black unless the
// segment or the tile sets a colour), a 0 bit is background, left
// transparent so that the page shows through. A transparency mask's 1 bits
// are the opaque points.
//
// Input is hostile: every length is checked, a raster larger than the
// options allow is refused, and damaged data throws ImageError with the byte
// offset in the segment or container where decoding failed.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pressel/stream/chunk.hpp"
#include "pressel/core/error.hpp"

namespace pressel::image {

// A decoded picture: 8-bit RGBA pixels (straight alpha), rows top to bottom.
struct Raster {
    int width = 0, height = 0;
    double xDpi = 0, yDpi = 0;  // image points per inch; 0 when the data does not say
    std::vector<std::uint8_t> rgba;
    bool grey = false;      // every pixel has equal red, green and blue
    bool bilevel = false;   // ink and background only (from 1-bit data)
    bool alpha = false;     // some pixel is not opaque
    // Bilevel rasters: background points are white and fully transparent, ink
    // points opaque in the ink colour.
    std::string compression;  // "none", "G4 MMR", "JPEG", "PNG" ...
    int bitsPerPixel = 0;     // as stored (IDE size, or the file's)
    // The JPEG stream when the picture is one (an IOCA image with JPEG
    // compression and no tiles, or a JPEG object container), kept as stored.
    std::vector<std::uint8_t> jpeg;
};

// Damaged or unreadable image data, at a byte offset of the data given to
// the decoder.
class ImageError : public FormatError {
public:
    using FormatError::FormatError;
};

// Image data the decoders understand but do not decode (a compression such
// as RL4 or ABIC, an object container type that is not a picture).
class UnsupportedImage : public Error {
public:
    using Error::Error;
};

struct DecodeOptions {
    // Largest raster accepted, in pixels; a larger one is an ImageError.
    std::uint64_t maxPixels = std::uint64_t(1) << 26;
};

// The image descriptor of an image object (IDD data): resolution in image
// points per inch and size in image points.
struct ImageDescriptor {
    double xDpi = 0, yDpi = 0;
    int width = 0, height = 0;
};
ImageDescriptor parseImageDescriptor(std::span<const byte> iddData);

// Decodes one IOCA image segment. `descriptor` gives the resolution when the
// segment's Image Size does not (or gives a ratio only).
Raster decodeIoca(std::span<const byte> segment, const ImageDescriptor& descriptor = {},
                  const DecodeOptions& options = {});

// The kind of an object container's data, from its registered object type
// (the last byte of the OID 1.3.18.0.4.1.1.xx; 0 when not known) and the
// data's own signature, which wins when they disagree.
enum class ContainerType : std::uint8_t { Unknown, Jpeg, Png, Tiff, Gif, Ioca, Other };
ContainerType containerType(unsigned oidType, std::span<const byte> data) noexcept;
// "JPEG", "PNG", "TIFF", "GIF", "IOCA" or a name of the registered type ("EPS", "PDF" ...).
std::string containerTypeName(unsigned oidType, std::span<const byte> data);

// Decodes an object container's data. UnsupportedImage for a type that is
// not a picture the decoders read.
Raster decodeContainer(std::span<const byte> data, unsigned oidType = 0, const DecodeOptions& options = {});

// The last byte of the registered object type OID of an Object
// Classification triplet X'10' among `triplets` (1.3.18.0.4.1.1.xx), or 0.
unsigned objectTypeOfTriplets(std::span<const byte> triplets) noexcept;

// How an object's data is placed in its object area (Mapping Option X'04').
enum class Mapping : std::uint8_t {
    Position = 0x00,
    PositionAndTrim = 0x10,
    ScaleToFit = 0x20,
    CenterAndTrim = 0x30,
    PointToPel = 0x41,
    PointToPelDoubleDot = 0x42,
    ReplicateAndTrim = 0x50,
    ScaleToFill = 0x60,
};

// What an image object or object container holds, read from its structured
// fields (Begin .. End).
struct ObjectData {
    bool container = false;
    unsigned oidType = 0;               // containers: registered object type, 0 when none given
    std::vector<byte> data;             // the IOCA segment (IPD data) or the container's bytes (OCD data)
    ImageDescriptor descriptor;         // IDD of an image object
    Mapping mapping = Mapping::ScaleToFit;
    bool mappingGiven = false;
    double contentX = 0, contentY = 0;  // content offset in the object area (OBP), points
};
// `includeTriplets` are those of the IOB that included the object: its
// mapping option and object classification win over the object's own.
ObjectData readObject(std::span<const AFP_> fields, std::span<const byte> includeTriplets = {});

// Decodes what readObject found: an IOCA segment or a container's data.
Raster decodeObject(const ObjectData& object, const DecodeOptions& options = {});

// The raster as a PNG file: grey for grey rasters (with alpha when some
// pixel is not opaque), RGB or RGBA otherwise.
std::vector<std::uint8_t> writePng(const Raster& raster);

}  // namespace pressel::image
