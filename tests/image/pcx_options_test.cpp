#include "image/pcx_options.h"

#include <gtest/gtest.h>

#include "image/bgr_image.h"
#include "platform/settings.h"
#include "support/image_files.h"
#include "support/message_recorder.h"
#include "support/scoped_settings.h"
#include "support/temp_dir.h"
#include "support/settings_folder.h"

namespace {

// No message may appear: absent PCX settings are not reported.
using PCXSettingsTest = SettingsFolderTest;

TEST_F(PCXSettingsTest, DefaultsWhenAbsent) {
    const PCXWriteOptions options = readPCXWriteOptions();
    EXPECT_EQ(options.colormap, "");
    EXPECT_EQ(options.dither, 160u);
    EXPECT_EQ(options.resize, 1u);
    EXPECT_TRUE(recorder.messages().empty());
}

TEST_F(PCXSettingsTest, SavePCXFollowsTheSettings) {
    RawImage image(Size{512, 512});
    const std::string path = dir.file("face.pcx");
    SavePCX(path.c_str(), image.size(), image.stride, 3, image.pixels);
    EXPECT_EQ(readBytes(path)[8], 255);  // resized: x maximum 255
    writeBooleanSetting("PCXResize", false);
    SavePCX(path.c_str(), image.size(), image.stride, 3, image.pixels);
    const auto bytes = readBytes(path);
    EXPECT_EQ(bytes[8] | (bytes[9] << 8), 511);

    // A threshold above the range is the full range.
    writeNumberSetting("PCXDither", 1000);
    EXPECT_EQ(readPCXWriteOptions().dither, 255u);
    EXPECT_TRUE(recorder.messages().empty());
}

}  // namespace
