#include "shell/pcx_options_model.h"

#include <algorithm>

#include "platform/settings.h"

namespace {

// The text as a decimal number, or -1 when it is not one or exceeds 255.
int smallDecimal(const std::string& text) {
    if (text.empty()) return -1;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = std::min(10 * value + (c - '0'), 1000);  // long numbers stay out of range
    }
    return value <= PCXOptionsModel::highest ? value : -1;
}

}  // namespace

PCXOptionsModel::PCXOptionsModel() {
    const PCXWriteOptions options = readPCXWriteOptions();
    colormap_ = options.colormap;
    showColormap();
    setDither(static_cast<int>(options.dither));
    resize_ = options.resize != 0;
}

std::string PCXOptionsModel::browseFolder() const {
    const std::size_t slash = colormap_.rfind('/');
    return slash == std::string::npos ? std::string() : colormap_.substr(0, slash);
}

void PCXOptionsModel::colormapChosen(const std::string& path) {
    colormap_ = path;
    writeStringSetting(pcxColormapSetting, colormap_);
    showColormap();
}

void PCXOptionsModel::useBuiltinColormap() {
    colormap_.clear();
    writeStringSetting(pcxColormapSetting, colormap_);
    showColormap();
}

void PCXOptionsModel::sliderMoved(int position) {
    slider_ = std::clamp(position, lowest, highest);
    if (smallDecimal(ditherText_) != slider_) ditherText_ = std::to_string(slider_);
}

void PCXOptionsModel::ditherTextEdited(const std::string& text) {
    const int value = smallDecimal(text);
    if (value >= 0) {
        ditherText_ = text;
        slider_ = value;
    } else {
        ditherText_ = std::to_string(slider_);
    }
}

void PCXOptionsModel::ok() const {
    writeNumberSetting(pcxDitherSetting, static_cast<std::uint32_t>(slider_));
    writeBooleanSetting(pcxResizeSetting, resize_);
}

void PCXOptionsModel::setDither(int value) {
    slider_ = std::clamp(value, lowest, highest);
    ditherText_ = std::to_string(slider_);
}

void PCXOptionsModel::showColormap() {
    if (colormap_.empty()) {
        colormapLabel_ = builtinName;
        return;
    }
    const std::size_t slash = colormap_.rfind('/');
    colormapLabel_ = slash == std::string::npos ? colormap_ : colormap_.substr(slash + 1);
}
