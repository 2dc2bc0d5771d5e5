#include "shell/pcx_options_model.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/settings.h"
#include "support/message_recorder.h"
#include "support/scoped_settings.h"
#include "support/temp_dir.h"
#include "support/settings_folder.h"

namespace {

// No message may appear: absent PCX settings are not reported.
using PCXSettingsTest = SettingsFolderTest;

TEST_F(PCXSettingsTest, DialogOpensWithTheDefaults) {
    const PCXOptionsModel model;
    EXPECT_EQ(model.colormapLabel(), "QuakeII Palette");
    EXPECT_EQ(model.sliderPosition(), 160);
    EXPECT_EQ(model.ditherText(), "160");
    EXPECT_TRUE(model.resize());
    EXPECT_EQ(model.browseFolder(), "");
}

TEST_F(PCXSettingsTest, DialogShowsTheColormapsFileName) {
    writeStringSetting("PCXColormap", "/home/me/palettes/sky.act");
    writeNumberSetting("PCXDither", 0);
    writeBooleanSetting("PCXResize", false);
    const PCXOptionsModel model;
    EXPECT_EQ(model.colormapLabel(), "sky.act");
    EXPECT_EQ(model.browseFolder(), "/home/me/palettes");
    EXPECT_EQ(model.browseFileName(), "/home/me/palettes/sky.act");
    EXPECT_EQ(model.sliderPosition(), 0);
    EXPECT_FALSE(model.resize());

    writeStringSetting("PCXColormap", "bare.pal");
    EXPECT_EQ(PCXOptionsModel().colormapLabel(), "bare.pal");
}

TEST_F(PCXSettingsTest, ColormapChoicesAreStoredAtOnce) {
    PCXOptionsModel model;
    model.colormapChosen("/tmp/x/my.pal");
    EXPECT_EQ(text("PCXColormap"), "/tmp/x/my.pal");
    EXPECT_EQ(model.colormapLabel(), "my.pal");
    model.useBuiltinColormap();
    EXPECT_EQ(text("PCXColormap"), "");
    EXPECT_EQ(model.colormapLabel(), "QuakeII Palette");
}

TEST_F(PCXSettingsTest, SliderAndEditBoxStayInStep) {
    PCXOptionsModel model;
    struct Step { const char* what; std::function<void(PCXOptionsModel&)> act; int slider; const char* text; };
    const Step steps[] = {
        {"type 42", [](PCXOptionsModel& m) { m.ditherTextEdited("42"); }, 42, "42"},
        {"type 300", [](PCXOptionsModel& m) { m.ditherTextEdited("300"); }, 42, "42"},
        {"clear the box", [](PCXOptionsModel& m) { m.ditherTextEdited(""); }, 42, "42"},
        {"leading zeros", [](PCXOptionsModel& m) { m.ditherTextEdited("007"); }, 7, "007"},
        {"slider onto the same number", [](PCXOptionsModel& m) { m.sliderMoved(7); }, 7, "007"},
        {"slider", [](PCXOptionsModel& m) { m.sliderMoved(99); }, 99, "99"},
        {"none", [](PCXOptionsModel& m) { m.none(); }, 0, "0"},
        {"full", [](PCXOptionsModel& m) { m.full(); }, 255, "255"},
        {"huge number", [](PCXOptionsModel& m) { m.ditherTextEdited("99999999999999999999"); }, 255, "255"},
    };
    for (const Step& s : steps) {
        s.act(model);
        EXPECT_EQ(model.sliderPosition(), s.slider) << s.what;
        EXPECT_EQ(model.ditherText(), s.text) << s.what;
    }
}

TEST_F(PCXSettingsTest, OkStoresThresholdAndResizeAndNothingBefore) {
    PCXOptionsModel model;
    model.sliderMoved(33);
    model.setResize(false);
    std::uint32_t untouched = 0;
    EXPECT_EQ(readNumberSetting("PCXDither", untouched, 0, 1), 0);
    model.ok();
    EXPECT_EQ(number("PCXDither"), 33u);
    EXPECT_FALSE(boolean("PCXResize"));
    model.setResize(true);
    model.ok();
    EXPECT_TRUE(boolean("PCXResize"));
}

}  // namespace
