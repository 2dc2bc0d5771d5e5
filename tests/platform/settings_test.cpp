#include "platform/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "support/image_files.h"
#include "support/message_recorder.h"
#include "support/temp_dir.h"

namespace {

const char* const missingMessage = "Error: Domecast registry information missing;\nremove and then reinstall Domecast.";

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) setenv(name_, old_->c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

void writeText(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// Both branches inside a fresh folder; the machine branch is the first of two folders.
class SettingsTest : public ::testing::Test {
protected:
    TempDir dir;
    ScopedEnv home{"XDG_CONFIG_HOME", dir.file("user")};
    ScopedEnv dirs{"XDG_CONFIG_DIRS", dir.file("machine") + ":" + dir.file("other")};
    const std::string userFile = dir.file("user/Quorla/Domecast.reg");
    const std::string machineFile = dir.file("machine/Quorla/Domecast.reg");

    std::optional<std::string> readString(const char* name, int userFirst = 1) {
        std::string value = "untouched";
        if (!readStringSetting(name, value, 0, userFirst)) {
            EXPECT_EQ(value, "untouched");
            return std::nullopt;
        }
        return value;
    }
    std::optional<std::uint32_t> readNumber(const char* name, int userFirst = 1) {
        std::uint32_t value = 12345;
        if (!readNumberSetting(name, value, 0, userFirst)) {
            EXPECT_EQ(value, 12345u);
            return std::nullopt;
        }
        return value;
    }
};

TEST_F(SettingsTest, BranchFilesFollowTheEnvironment) {
    EXPECT_EQ(userSettingsPath(), userFile);
    EXPECT_EQ(machineSettingsPath(), machineFile);
    {
        ScopedEnv relative("XDG_CONFIG_HOME", "relative/folder");
        ScopedEnv home("HOME", dir.file("home"));
        ScopedEnv firstRelative("XDG_CONFIG_DIRS", "relative:" + dir.file("second"));
        EXPECT_EQ(userSettingsPath(), dir.file("home/.config/Quorla/Domecast.reg"));
        EXPECT_EQ(machineSettingsPath(), dir.file("second/Quorla/Domecast.reg"));
    }
    ScopedEnv empty("XDG_CONFIG_DIRS", "");
    EXPECT_EQ(machineSettingsPath(), "/etc/xdg/Quorla/Domecast.reg");
}

TEST_F(SettingsTest, UserBranchShadowsMachineBranchUntilDeleted) {
    writeText(machineFile, "\"PaintApp\"=\"/usr/bin/gimp\"\n\"shiftAmount\"=dword:0000002d\n");
    EXPECT_EQ(readString("PaintApp"), "/usr/bin/gimp");

    writeStringSetting("PaintApp", "/opt/krita/krita");
    writeNumberSetting("shiftAmount", 15);
    EXPECT_EQ(readString("PaintApp"), "/opt/krita/krita");
    EXPECT_EQ(readNumber("shiftAmount"), 15u);
    // The plug-in installation reads the machine branch alone.
    EXPECT_EQ(readString("PaintApp", 0), "/usr/bin/gimp");
    EXPECT_EQ(readNumber("shiftAmount", 0), 45u);
    EXPECT_EQ(fileText(machineFile), "\"PaintApp\"=\"/usr/bin/gimp\"\n\"shiftAmount\"=dword:0000002d\n");

    deleteUserSetting("PaintApp");
    EXPECT_EQ(readString("PaintApp"), "/usr/bin/gimp");
    EXPECT_EQ(readNumber("shiftAmount"), 15u);
}

TEST_F(SettingsTest, ValueOfTheOtherTypeCountsAsMissing) {
    writeText(userFile, "\"shiftAmount\"=\"30\"\n\"PaintApp\"=dword:00000001\n\"DocPath\"=hex:41,00\n");
    EXPECT_EQ(readNumber("shiftAmount"), std::nullopt);
    EXPECT_EQ(readString("PaintApp"), std::nullopt);
    EXPECT_EQ(readString("DocPath"), std::nullopt);

    // A wrongly typed user value does not hide the machine branch's value.
    writeText(machineFile, "\"shiftAmount\"=dword:0000002d\n\"PaintApp\"=\"/usr/bin/gimp\"\n");
    EXPECT_EQ(readNumber("shiftAmount"), 45u);
    EXPECT_EQ(readString("PaintApp"), "/usr/bin/gimp");
}

TEST_F(SettingsTest, MissingValueIsReportedOnlyWhenAsked) {
    MessageRecorder recorder;
    std::string text = "kept";
    std::uint32_t number = 7;
    EXPECT_EQ(readStringSetting("DocPath", text, 0, 1), 0);
    EXPECT_EQ(readNumberSetting("LastType", number, 0, 1), 0);
    EXPECT_TRUE(recorder.messages().empty());

    EXPECT_EQ(readStringSetting("DocPath", text, 1, 1), 0);
    EXPECT_EQ(readNumberSetting("LastType", number, 1, 1), 0);
    EXPECT_EQ(text, "kept");
    EXPECT_EQ(number, 7u);
    ASSERT_EQ(recorder.texts(), (std::vector<std::string>{missingMessage, missingMessage}));
    EXPECT_EQ(recorder.messages()[0].caption, programCaption());

    writeText(machineFile, "\"DocPath\"=\"/usr/share/doc/domecast\"\n");
    EXPECT_EQ(readStringSetting("DocPath", text, 1, 1), 1);
    EXPECT_EQ(text, "/usr/share/doc/domecast");
    EXPECT_EQ(recorder.messages().size(), 2u);
}

TEST_F(SettingsTest, GarbageLinesStillYieldTheGoodValues) {
    writeText(machineFile,
              "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Quorla\\Domecast]\n"
              "\"PaintApp\"=\"/usr/bin/gimp\"\r\n"
              "; a comment\n"
              "\"Unterminated\"=\"no end\n"
              "\"BadNumber\"=dword:xyz\n"
              "\"TooLong\"=dword:123456789\n"
              "\"Trailing\"=\"a\" junk\n"
              "\"NoValue\"=\n"
              "garbage \"\"=\n"
              "\"\xff\xfe\"=\x01\x02\n"
              "  \"shiftAmount\"=DWORD:2D  \n"
              "\"TemplatePath\"=\"/usr/share/domecast/templates\"");
    EXPECT_EQ(readString("PaintApp"), "/usr/bin/gimp");
    EXPECT_EQ(readNumber("shiftAmount"), 45u);
    EXPECT_EQ(readString("TemplatePath"), "/usr/share/domecast/templates");
    for (const char* name : {"Unterminated", "Trailing", "NoValue"}) EXPECT_EQ(readString(name), std::nullopt) << name;
    for (const char* name : {"BadNumber", "TooLong"}) EXPECT_EQ(readNumber(name), std::nullopt) << name;
}

TEST_F(SettingsTest, UnreadableFilesAreEmptyBranches) {
    writeText(machineFile, "\"PaintApp\"=\"/usr/bin/gimp\"\n");
    std::filesystem::create_directories(userFile);  // a folder where the user file belongs
    EXPECT_EQ(readString("PaintApp"), "/usr/bin/gimp");
    writeStringSetting("PaintApp", "/opt/krita");
    EXPECT_TRUE(std::filesystem::is_directory(userFile));
    EXPECT_EQ(readString("PaintApp"), "/usr/bin/gimp");
}

TEST_F(SettingsTest, WriteKeepsEveryOtherLine) {
    const std::string before =
        "Windows Registry Editor Version 5.00\n"
        "\n"
        "[HKEY_CURRENT_USER\\Software\\Quorla\\Domecast]\n"
        "\"PaintApp\"=\"/usr/bin/gimp\"\r\n"
        "not a value at all\n"
        "\"paintapp\"=\"/duplicate\"\n"
        "\"LastType\"=dword:ffffffff\n"
        "\"Other\"=hex:00";
    writeText(userFile, before);
    writeStringSetting("PaintApp", "/opt/krita");
    writeNumberSetting("PCXDither", 160);
    EXPECT_EQ(fileText(userFile),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Quorla\\Domecast]\n"
              "\"PaintApp\"=\"/opt/krita\"\n"
              "not a value at all\n"
              "\"LastType\"=dword:ffffffff\n"
              "\"Other\"=hex:00\n"
              "\"PCXDither\"=dword:000000a0\n");
    EXPECT_EQ(readNumber("LastType"), 0xffffffffu);

    // Deleting what is not there leaves the file untouched.
    const auto stamp = std::filesystem::last_write_time(userFile);
    const std::string after = fileText(userFile);
    deleteUserSetting("DocPath");
    EXPECT_EQ(fileText(userFile), after);
    EXPECT_EQ(std::filesystem::last_write_time(userFile), stamp);
}

TEST_F(SettingsTest, WriteCreatesTheFolderAndLeavesNoTemporaryFile) {
    writeNumberSetting("shiftAmount", 45);
    writeStringSetting("LastFolder", "/home/me/panoramas");
    EXPECT_EQ(fileText(userFile), "\"shiftAmount\"=dword:0000002d\n\"LastFolder\"=\"/home/me/panoramas\"\n");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.file("user/Quorla")))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"Domecast.reg"});
    const auto mode = std::filesystem::status(dir.file("user/Quorla")).permissions();
    EXPECT_EQ(mode, std::filesystem::perms::owner_all);
}

TEST_F(SettingsTest, WriteThroughALinkKeepsTheLink) {
    const std::string target = dir.file("dotfiles/Domecast.reg");
    writeText(target, "\"DocPath\"=\"/doc\"\n");
    std::filesystem::create_directories(dir.file("user/Quorla"));
    std::filesystem::create_symlink(target, userFile);
    writeStringSetting("PaintApp", "/opt/krita");
    EXPECT_TRUE(std::filesystem::is_symlink(userFile));
    EXPECT_EQ(fileText(target), "\"DocPath\"=\"/doc\"\n\"PaintApp\"=\"/opt/krita\"\n");
}

TEST_F(SettingsTest, StringsRoundTripThroughEscaping) {
    const std::string values[] = {"",
                                  "C:\\Program Files\\Paint\\paint.exe",
                                  "say \"cheese\"",
                                  "\\\"",
                                  "ends with a backslash\\",
                                  "\"",
                                  "tab\there",
                                  "panoramas/\xC3\xA9t\xC3\xA9 2024"};
    for (const std::string& value : values) {
        writeStringSetting("LastFolder", value);
        EXPECT_EQ(readString("LastFolder"), value);
    }
    writeStringSetting("PaintApp", "a\\b\"c");
    EXPECT_NE(fileText(userFile).find("\"PaintApp\"=\"a\\\\b\\\"c\"\n"), std::string::npos);
}

TEST_F(SettingsTest, LineBreaksCannotForgeOtherValues) {
    writeStringSetting("PaintApp", "/usr/bin/gimp");
    writeStringSetting("LastFolder", "x\"\n\"PaintApp\"=\"/tmp/evil");
    writeStringSetting("Bad\nName", "y");
    EXPECT_EQ(readString("PaintApp"), "/usr/bin/gimp");
    EXPECT_EQ(fileText(userFile), "\"PaintApp\"=\"/usr/bin/gimp\"\n");
}

TEST_F(SettingsTest, NamesMatchWithoutCase) {
    writeText(machineFile, "\"PAINTAPP\"=\"/usr/bin/gimp\"\n");
    EXPECT_EQ(readString("PaintApp"), "/usr/bin/gimp");
    writeStringSetting("paintapp", "/opt/krita");
    writeStringSetting("PaintApp", "/opt/krita2");
    EXPECT_EQ(fileText(userFile), "\"PaintApp\"=\"/opt/krita2\"\n");
}

TEST_F(SettingsTest, StringsKeepAtMost259Bytes) {
    struct Case {
        std::string value;
        std::string expected;
    };
    const std::string e = "\xC3\xA9";  // two bytes
    const Case cases[] = {
        {std::string(259, 'a'), std::string(259, 'a')},
        {std::string(300, 'a'), std::string(259, 'a')},
        // A character across the cut is dropped whole.
        {std::string(258, 'a') + e, std::string(258, 'a')},
        {std::string(257, 'a') + e + "b", std::string(257, 'a') + e},
        {std::string("nul\0cut", 7), "nul"},
    };
    for (const Case& c : cases) {
        writeStringSetting("LastFolder", c.value);
        EXPECT_EQ(readString("LastFolder"), c.expected);
        writeText(machineFile, "\"DocPath\"=\"" + c.value + "\"\n");
        EXPECT_EQ(readString("DocPath"), c.expected);
    }
}

}  // namespace
