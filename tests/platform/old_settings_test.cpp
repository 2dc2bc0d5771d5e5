#include "platform/old_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "platform/settings.h"
#include "platform/settings_keyfile.h"
#include "support/image_files.h"
#include "support/scoped_settings.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

namespace {

const std::string oldFile =
    "Windows Registry Editor Version 5.00\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\Quorla\\Domecast]\n"
    "\"PaintApp\"=\"/opt/paint \\\"new\\\"\\\\bin\"\r\n"
    "\"paintapp\"=\"/usr/bin/gimp\"\n"
    "\"LASTFOLDER\"=\"/home/me/\xC3\xA9t\xC3\xA9\"\n"
    "\"shiftAmount\"=dword:0000001e\n"
    "\"LastType\"=dword:ffffffff\n"
    "\"PCXResize\"=dword:00000000\n"
    "\"PCXDither\"=dword:000000a0\n"
    "\"DocPath\"=dword:00000001\n"
    "\"PhotoJPEGQuality\"=\"90\"\n"
    "\"Binary\"=hex:41,00\n"
    "\"MyOwnText\"=\"kept\"\n"
    "\"MyOwnNumber\"=dword:00000010\n"
    "\"Bad=Name\"=\"dropped\"\n"
    "; a comment\n"
    "garbage\n";

// An older file's values as the keyfile holds them: each type, known names in the
// program's spelling, and what cannot be taken left out.
TEST(OldSettings, EveryValueTypeIsConverted) {
    SettingsKeyFile file;
    EXPECT_EQ(convertOldSettings(oldFile, file), 8);
    struct Case {
        const char* name;
        std::optional<std::string> raw;
    };
    const Case cases[] = {
        {"PaintApp", "/usr/bin/gimp"},  // the last line naming a value wins
        {"LastFolder", "/home/me/\xC3\xA9t\xC3\xA9"},
        {"shiftAmount", "30"},
        {"LastType", "4294967295"},
        {"PCXResize", "false"},
        {"PCXDither", "160"},
        {"MyOwnText", "kept"},
        {"MyOwnNumber", "16"},
        // A known string held as a number, a known number held as text, other types.
        {"DocPath", std::nullopt},
        {"PhotoJPEGQuality", std::nullopt},
        {"Binary", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(file.string(c.name), c.raw) << c.name;
    EXPECT_EQ(file.number("LastType"), 0xffffffffu);
    EXPECT_EQ(file.boolean("PCXResize"), false);

    SettingsKeyFile quoted;
    convertOldSettings("\"PaintApp\"=\"/opt/paint \\\"new\\\"\\\\bin\"\n\"PCXResize\"=dword:00000002\n", quoted);
    EXPECT_EQ(quoted.string("PaintApp"), "/opt/paint \"new\"\\bin");
    EXPECT_EQ(quoted.boolean("PCXResize"), true);
}

TEST(OldSettings, OldFileBelongsBesideTheKeyfileFolder) {
    EXPECT_EQ(oldSettingsPath("/home/me/.config/domecast/domecast.conf"), "/home/me/.config/Quorla/Domecast.reg");
    EXPECT_EQ(oldSettingsPath("domecast.conf"), "");
}

class OldSettingsTakeOver : public ::testing::Test {
protected:
    TempDir dir;
    ScopedSettings settings{dir.path().string()};
    const std::string oldPath = dir.file("user/Quorla/Domecast.reg");
    const std::string keyfile = dir.file("user/domecast/domecast.conf");
};

TEST_F(OldSettingsTakeOver, FirstUseTakesTheValuesOverOnceAndLeavesTheOldFile) {
    writeText(oldPath, oldFile);
    testing::internal::CaptureStderr();
    std::string paintApp;
    EXPECT_TRUE(readStringSetting("PaintApp", paintApp, false, true));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(paintApp, "/usr/bin/gimp");
    EXPECT_EQ(said, "Domecast: took over 8 settings from " + oldPath + " into " + keyfile +
                        "; the old file is left in place.\n");
    EXPECT_EQ(fileText(oldPath), oldFile);
    const std::string text = fileText(keyfile);
    EXPECT_NE(text.find("# Taken over from " + oldPath + ".\n"), std::string::npos) << text;

    bool resize = true;
    std::uint32_t shift = 0;
    EXPECT_TRUE(readBooleanSetting("PCXResize", resize, false, true));
    EXPECT_FALSE(resize);
    EXPECT_TRUE(readNumberSetting("shiftAmount", shift, false, true));
    EXPECT_EQ(shift, 30u);

    // Once there is a keyfile the old file is not read again, even when it changes.
    writeText(oldPath, "\"PaintApp\"=\"/changed\"\n");
    testing::internal::CaptureStderr();
    writeStringSetting("LastFolder", "/elsewhere");
    EXPECT_TRUE(readStringSetting("PaintApp", paintApp, false, true));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(paintApp, "/usr/bin/gimp");
}

TEST_F(OldSettingsTakeOver, AnExistingKeyfileOrNoOldFileTakesNothing) {
    writeText(oldPath, "\"PaintApp\"=\"/old\"\n");
    writeText(keyfile, "[Domecast]\nDocPath=/doc\n");
    std::string value = "untouched";
    EXPECT_FALSE(readStringSetting("PaintApp", value, false, true));
    EXPECT_EQ(fileText(keyfile), "[Domecast]\nDocPath=/doc\n");

    std::filesystem::remove(keyfile);
    std::filesystem::remove(oldPath);
    EXPECT_FALSE(readStringSetting("PaintApp", value, false, true));
    EXPECT_FALSE(std::filesystem::exists(keyfile));
    // A write makes the keyfile with its value alone.
    writeStringSetting("PaintApp", "/new");
    EXPECT_TRUE(readStringSetting("PaintApp", value, false, true));
    EXPECT_EQ(value, "/new");
}

}  // namespace
