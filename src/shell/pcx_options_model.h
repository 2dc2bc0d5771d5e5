#pragma once
#include <cstdint>
#include <string>

#include "image/pcx_options.h"

// The "PCXOPTIONS" dialog's state and behaviour, so that the window only shows it. The
// colormap choice is stored as soon as it is made; threshold and resize only by ok().
class PCXOptionsModel {
public:
    static constexpr const char* builtinName = "QuakeII Palette";
    static constexpr int lowest = pcxDitherLowest, highest = pcxDitherHighest;

    // Reads the settings, as the dialog does when it opens.
    PCXOptionsModel();

    const std::string& colormapLabel() const { return colormapLabel_; }  // static text 1005
    int sliderPosition() const { return slider_; }                       // trackbar 1006
    const std::string& ditherText() const { return ditherText_; }        // edit box 1014
    bool resize() const { return resize_; }                              // check box 1002
    void setResize(bool on) { resize_ = on; }

    // Where "Browse..." starts: the current colormap's folder and its path as file name.
    std::string browseFolder() const;
    const std::string& browseFileName() const { return colormap_; }
    // "Browse..." confirmed with a file.
    void colormapChosen(const std::string& path);
    // "Default": the built-in palette.
    void useBuiltinColormap();

    void none() { setDither(lowest); }   // "None"
    void full() { setDither(highest); }  // "Full"
    void sliderMoved(int position);
    void ditherTextEdited(const std::string& text);

    // "OK": stores the trackbar position and the check box.
    void ok() const;

private:
    void setDither(int value);
    void showColormap();

    std::string colormap_;
    std::string colormapLabel_;
    int slider_ = 160;
    std::string ditherText_;
    bool resize_ = true;
};
