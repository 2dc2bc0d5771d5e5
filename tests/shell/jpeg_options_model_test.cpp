#include "shell/jpeg_options_model.h"

#include <gtest/gtest.h>

#include <functional>

#include "image/jpeg_face_options.h"
#include "platform/settings.h"
#include "support/settings_folder.h"

namespace {

using JpegOptionsTest = SettingsFolderTest;

TEST_F(JpegOptionsTest, DialogOpensWithTheSettingsElseTheDefaults) {
    struct Case {
        const char* what;
        const char* quality;  // "FaceJPEGQuality" as the file holds it, null: absent
        const char* subsampling;
        int slider;
        int choice;
    };
    const Case cases[] = {
        {"absent", nullptr, nullptr, 75, 0},
        {"both set", "90", "4:4:4", 90, 1},
        {"out of range", "0", "4:2:2", 75, 0},
        {"4:2:0", "100", "4:2:0", 100, 0},
    };
    for (const Case& c : cases) {
        deleteUserSetting("FaceJPEGQuality");
        deleteUserSetting("FaceJPEGSubsampling");
        if (c.quality != nullptr) writeNumberSetting("FaceJPEGQuality", static_cast<std::uint32_t>(std::stoul(c.quality)));
        if (c.subsampling != nullptr) writeStringSetting("FaceJPEGSubsampling", c.subsampling);
        const JpegOptionsModel model;
        EXPECT_EQ(model.sliderPosition(), c.slider) << c.what;
        EXPECT_EQ(model.qualityText(), std::to_string(c.slider)) << c.what;
        EXPECT_EQ(model.chromaChoice(), c.choice) << c.what;
    }
}

TEST_F(JpegOptionsTest, SliderAndEditBoxStayInStep) {
    JpegOptionsModel model;
    struct Step { const char* what; std::function<void(JpegOptionsModel&)> act; int slider; const char* text; };
    const Step steps[] = {
        {"type 42", [](JpegOptionsModel& m) { m.qualityTextEdited("42"); }, 42, "42"},
        {"type 0", [](JpegOptionsModel& m) { m.qualityTextEdited("0"); }, 42, "42"},
        {"type 101", [](JpegOptionsModel& m) { m.qualityTextEdited("101"); }, 42, "42"},
        {"clear the box", [](JpegOptionsModel& m) { m.qualityTextEdited(""); }, 42, "42"},
        {"leading zeros", [](JpegOptionsModel& m) { m.qualityTextEdited("007"); }, 7, "007"},
        {"slider onto the same number", [](JpegOptionsModel& m) { m.sliderMoved(7); }, 7, "007"},
        {"slider", [](JpegOptionsModel& m) { m.sliderMoved(99); }, 99, "99"},
        {"slider below the range", [](JpegOptionsModel& m) { m.sliderMoved(0); }, 1, "1"},
        {"huge number", [](JpegOptionsModel& m) { m.qualityTextEdited("99999999999999999999"); }, 1, "1"},
        {"defaults", [](JpegOptionsModel& m) { m.useDefaults(); }, 75, "75"},
    };
    for (const Step& s : steps) {
        s.act(model);
        EXPECT_EQ(model.sliderPosition(), s.slider) << s.what;
        EXPECT_EQ(model.qualityText(), s.text) << s.what;
    }
}

TEST_F(JpegOptionsTest, OkStoresWhatTheNextSaveReadsAndNothingBefore) {
    JpegOptionsModel model;
    model.sliderMoved(88);
    model.chromaChosen(1);
    std::uint32_t untouched = 0;
    EXPECT_EQ(readNumberSetting("FaceJPEGQuality", untouched, 0, 1), 0);
    model.ok();
    EXPECT_EQ(number("FaceJPEGQuality"), 88u);
    EXPECT_EQ(text("FaceJPEGSubsampling"), "4:4:4");
    const JpegFaceEncoding read = readJpegFaceEncoding();
    EXPECT_EQ(read.quality, 88);
    EXPECT_EQ(read.chroma, JpegChroma::full);

    model.useDefaults();
    model.ok();
    EXPECT_EQ(number("FaceJPEGQuality"), 75u);
    EXPECT_EQ(text("FaceJPEGSubsampling"), "4:2:0");
}

}  // namespace
