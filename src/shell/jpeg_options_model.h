#pragma once
#include <string>

#include "image/jpeg_face_options.h"

// The Save-as options of the JPEG face layouts (backgrounds, LivePicture spheres and
// strips, sky boxes): the quality and chroma sampling of their pictures, so that the
// window only shows them. Nothing is stored before ok().
class JpegOptionsModel {
public:
    static constexpr int lowest = 1, highest = 100;
    // The choices of the sampling list, in this order.
    static constexpr const char* quarterChromaLabel = "4:2:0 (colour of every 2 x 2 pixels, smaller files)";
    static constexpr const char* fullChromaLabel = "4:4:4 (colour of every pixel)";

    // Reads the settings, as the dialog does when it opens.
    JpegOptionsModel();

    int sliderPosition() const { return encoding_.quality; }
    const std::string& qualityText() const { return qualityText_; }
    // The sampling list's selection: 0 for 4:2:0, 1 for 4:4:4.
    int chromaChoice() const { return encoding_.chroma == JpegChroma::full ? 1 : 0; }

    void sliderMoved(int position);
    // A number from 1 to 100 moves the slider; anything else shows the slider's value again.
    void qualityTextEdited(const std::string& text);
    void chromaChosen(int choice);
    // "Default": quality 75, 4:2:0, what libjpeg writes.
    void useDefaults();

    // "OK": stores the quality and the sampling.
    void ok() const;

private:
    JpegFaceEncoding encoding_;
    std::string qualityText_;
};
