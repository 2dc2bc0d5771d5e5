#pragma once
#include <optional>
#include <string_view>

// How the JPEG pictures of the scene and face layouts (backgrounds, LivePicture spheres
// and strips, sky boxes) are encoded; photos and web pages have their own quality.
enum class JpegChroma {
    quarter,  // 4:2:0, the colour of every 2 x 2 pixels: libjpeg's default
    full,     // 4:4:4, the colour of every pixel
};
struct JpegFaceEncoding {
    int quality = 75;  // 1-100; 75 is libjpeg's default
    JpegChroma chroma = JpegChroma::quarter;
};

// The settings the encoding is read from.
inline constexpr const char faceJpegQualitySetting[] = "FaceJPEGQuality";
inline constexpr const char faceJpegSubsamplingSetting[] = "FaceJPEGSubsampling";

// "4:2:0" and "4:4:4", as the settings and domecast-cli write the chroma; nullopt for
// anything else.
std::optional<JpegChroma> parseJpegChroma(std::string_view text);
const char* jpegChromaName(JpegChroma chroma);

// "FaceJPEGQuality" (1-100) and "FaceJPEGSubsampling", user branch first; a value that is
// absent or out of its range leaves that part of the defaults.
JpegFaceEncoding readJpegFaceEncoding();
