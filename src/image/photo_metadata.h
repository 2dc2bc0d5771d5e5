#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/image_types.h"

// What a photo file carries besides its pixels and what a save in a photo layout writes
// back: the JPEG APP1 (EXIF, XMP), APP2 (ICC profile) and COM segments, and the PNG text
// chunks and ICC profile.

// One JPEG marker segment without its marker and length bytes.
struct JpegSegment {
    int marker = 0;  // 0xE1 APP1, 0xE2 APP2, 0xFE COM
    std::vector<std::uint8_t> data;
};

// One PNG tEXt, zTXt or iTXt chunk.
struct PngText {
    int compression = -1;  // libpng's: -1 tEXt, 0 zTXt, 1 iTXt, 2 compressed iTXt
    std::string key;
    std::string text;
    std::string language;       // iTXt only
    std::string translatedKey;  // iTXt only
};

// A PNG's colour chunks besides iCCP, in libpng's fixed point (the value x 100000).
struct PngColour {
    std::optional<std::uint32_t> gamma;                   // gAMA
    std::optional<std::array<std::int32_t, 8>> primaries;  // cHRM: white x, y, red x, y, green x, y, blue x, y
    std::optional<int> srgbIntent;                         // sRGB rendering intent
};

struct PhotoMetadata {
    std::vector<JpegSegment> jpegSegments;  // in file order
    std::vector<PngText> pngTexts;
    std::string iccName;  // PNG iCCP; empty profile when there is none
    std::vector<std::uint8_t> iccProfile;
    PngColour pngColour;
    // What the picture as read had that 8-bit colour without transparency cannot hold
    // ("16 bits a channel", "transparency", both joined by "and"); empty when nothing.
    std::string lostAt8Bits;
    // A JPEG read whose CMYK (or YCCK) colours were converted to RGB, and whether a colour
    // profile, which describes the CMYK, was left out of jpegSegments.
    bool convertedFromCmyk = false;
    bool droppedCmykProfile = false;
};

// The largest payload of a JPEG marker segment: its 16-bit length counts itself.
constexpr std::size_t maxJpegSegmentData = 65533;

constexpr std::string_view exifSignature{"Exif\0\0", 6};
constexpr std::string_view xmpSignature{"http://ns.adobe.com/xap/1.0/\0", 29};
constexpr std::string_view extendedXmpSignature{"http://ns.adobe.com/xmp/extension/\0", 35};
constexpr std::string_view iccSignature{"ICC_PROFILE\0", 12};

// Whether a segment read from a photo may be copied into the saved photo: a COM, an EXIF
// block with a TIFF header, an XMP packet (main or extended), or a chunk of an ICC profile
// with a plausible sequence number; never more than a segment can hold. Anything else
// (an MPF index, whose offsets point into the old file, or a cut segment) is dropped.
bool copyableJpegSegment(int marker, const std::uint8_t* data, std::size_t length);

// Makes sure the XMP says the picture is an equirectangular panorama: when no XMP packet
// has a GPano:ProjectionType, adds the GPano properties for a picture of that size (a
// full sphere is 2:1; a shorter one is a band centred on the horizon) to the first XMP
// packet, or a new packet after the EXIF block when there is none or it cannot grow.
void addPanoramaXmp(PhotoMetadata& metadata, Size picture);

// Makes the sizes the metadata states say picture, the size written, when they say another
// (a photo resized since it was read): the GPano size properties of every XMP packet (JPEG
// APP1, PNG "XML:com.adobe.xmp"), for a sphere picture as addPanoramaXmp describes one (a
// band shorter than half its width centred on the horizon), and the EXIF PixelXDimension
// and PixelYDimension. Sizes that
// already agree, and properties it cannot find, are left as they are, byte for byte.
void fitPhotoMetadataTo(PhotoMetadata& metadata, Size picture);
