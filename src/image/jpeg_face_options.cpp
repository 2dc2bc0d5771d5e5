#include "image/jpeg_face_options.h"

#include <cstdint>
#include <string>

#include "platform/settings.h"

std::optional<JpegChroma> parseJpegChroma(std::string_view text) {
    if (text == "4:2:0") return JpegChroma::quarter;
    if (text == "4:4:4") return JpegChroma::full;
    return std::nullopt;
}

const char* jpegChromaName(JpegChroma chroma) { return chroma == JpegChroma::full ? "4:4:4" : "4:2:0"; }

JpegFaceEncoding readJpegFaceEncoding() {
    JpegFaceEncoding encoding;
    if (std::uint32_t quality = 0; readNumberSetting(faceJpegQualitySetting, quality, false, true) && quality >= 1 &&
                                   quality <= 100)
        encoding.quality = static_cast<int>(quality);
    if (std::string text; readStringSetting(faceJpegSubsamplingSetting, text, false, true))
        if (const std::optional<JpegChroma> chroma = parseJpegChroma(text)) encoding.chroma = *chroma;
    return encoding;
}
