#include "shell/jpeg_options_model.h"

#include <algorithm>
#include <cstdint>

#include "platform/settings.h"

namespace {

// The text as a decimal number within the quality's range, else -1.
int qualityNumber(const std::string& text) {
    if (text.empty()) return -1;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = std::min(10 * value + (c - '0'), 1000);  // long numbers stay out of range
    }
    return value >= JpegOptionsModel::lowest && value <= JpegOptionsModel::highest ? value : -1;
}

}  // namespace

JpegOptionsModel::JpegOptionsModel() : encoding_(readJpegFaceEncoding()), qualityText_(std::to_string(encoding_.quality)) {}

void JpegOptionsModel::sliderMoved(int position) {
    encoding_.quality = std::clamp(position, lowest, highest);
    if (qualityNumber(qualityText_) != encoding_.quality) qualityText_ = std::to_string(encoding_.quality);
}

void JpegOptionsModel::qualityTextEdited(const std::string& text) {
    const int value = qualityNumber(text);
    if (value >= 0) {
        qualityText_ = text;
        encoding_.quality = value;
    } else {
        qualityText_ = std::to_string(encoding_.quality);
    }
}

void JpegOptionsModel::chromaChosen(int choice) { encoding_.chroma = choice == 1 ? JpegChroma::full : JpegChroma::quarter; }

void JpegOptionsModel::useDefaults() {
    encoding_ = JpegFaceEncoding{};
    qualityText_ = std::to_string(encoding_.quality);
}

void JpegOptionsModel::ok() const {
    writeNumberSetting(faceJpegQualitySetting, static_cast<std::uint32_t>(encoding_.quality));
    writeStringSetting(faceJpegSubsamplingSetting, jpegChromaName(encoding_.chroma));
}
