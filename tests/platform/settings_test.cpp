#include "platform/settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "support/image_files.h"
#include "support/message_recorder.h"
#include "support/temp_dir.h"
#include "support/scoped_env.h"
#include "support/text_files.h"

namespace {

const char* const missingMessage = "Error: Domecast registry information missing;\nremove and then reinstall Domecast.";

// Both branches inside a fresh folder; the machine branch is the first of two folders.
class SettingsTest : public ::testing::Test {
protected:
    TempDir dir;
    ScopedEnv home{"XDG_CONFIG_HOME", dir.file("user")};
    ScopedEnv dirs{"XDG_CONFIG_DIRS", dir.file("machine") + ":" + dir.file("other")};
    ScopedEnv defaults{"DOMECAST_DEFAULTS", dir.file("prefix/share/domecast/Domecast.reg")};
    const std::string userFile = dir.file("user/Quorla/Domecast.reg");
    const std::string machineFile = dir.file("machine/Quorla/Domecast.reg");
    const std::string otherFile = dir.file("other/Quorla/Domecast.reg");
    const std::string defaultsFile = dir.file("prefix/share/domecast/Domecast.reg");

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
    EXPECT_EQ(machineSettingsPaths(), (std::vector<std::string>{machineFile, otherFile}));
    EXPECT_EQ(defaultSettingsPath(), defaultsFile);
    {
        ScopedEnv relative("XDG_CONFIG_HOME", "relative/folder");
        ScopedEnv home("HOME", dir.file("home"));
        ScopedEnv firstRelative("XDG_CONFIG_DIRS", "relative:" + dir.file("second") + "::" + dir.file("third"));
        EXPECT_EQ(userSettingsPath(), dir.file("home/.config/Quorla/Domecast.reg"));
        EXPECT_EQ(machineSettingsPath(), dir.file("second/Quorla/Domecast.reg"));
        EXPECT_EQ(machineSettingsPaths(), (std::vector<std::string>{dir.file("second/Quorla/Domecast.reg"),
                                                                    dir.file("third/Quorla/Domecast.reg")}));
    }
    ScopedEnv empty("XDG_CONFIG_DIRS", "");
    EXPECT_EQ(machineSettingsPath(), "/etc/xdg/Quorla/Domecast.reg");
    EXPECT_EQ(machineSettingsPaths(), std::vector<std::string>{"/etc/xdg/Quorla/Domecast.reg"});

    ScopedEnv none("DOMECAST_DEFAULTS", "none");
    EXPECT_EQ(defaultSettingsPath(), "");
}

TEST_F(SettingsTest, DefaultsAreFoundBesideTheProgram) {
    ::unsetenv("DOMECAST_DEFAULTS");
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(defaultSettingsPath(), (program.parent_path().parent_path() / "share/domecast/Domecast.reg").string());
}

// Each value is looked up on its own: the user file, every XDG folder in order, then the
// defaults; the first file that defines it wins, whatever the others hold.
TEST_F(SettingsTest, EachValueComesFromTheFirstFileDefiningIt) {
    writeText(userFile, "\"PaintApp\"=\"user\"\n");
    writeText(machineFile, "\"PaintApp\"=\"/first\"\n\"DocPath\"=\"/first\"\n");
    writeText(otherFile, "\"PaintApp\"=\"/later\"\n\"DocPath\"=\"/later\"\n\"DefaultFile\"=\"/later\"\n");
    writeText(defaultsFile,
              "\"PaintApp\"=\"/defaults\"\n\"DocPath\"=\"/defaults\"\n\"DefaultFile\"=\"/defaults\"\n"
              "\"TemplatePath\"=\"/defaults\"\n\"shiftAmount\"=dword:0000001e\n");
    struct Case {
        const char* name;
        bool userFirst;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"PaintApp", true, "user"},
        {"PaintApp", false, "/first"},
        {"DocPath", true, "/first"},
        {"DefaultFile", true, "/later"},
        {"TemplatePath", true, "/defaults"},
        {"PluginPath", true, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(readString(c.name, c.userFirst), c.expected) << c.name;
    EXPECT_EQ(readNumber("shiftAmount"), 30u);

    // With no defaults the later files still answer; a folder without the file is skipped.
    ScopedEnv none("DOMECAST_DEFAULTS", "none");
    std::filesystem::remove(machineFile);
    EXPECT_EQ(readString("DocPath"), "/later");
    EXPECT_EQ(readString("TemplatePath"), std::nullopt);
    EXPECT_EQ(readNumber("shiftAmount"), std::nullopt);
}

TEST_F(SettingsTest, RelativeDefaultsAreMadeAbsolute) {
    const std::string folder = dir.file("prefix/share/domecast");
    writeText(defaultsFile,
              "\"DomecastPath\"=\"../../bin\"\n"
              "\"TemplatePath\"=\"./templates\"\n"
              "\"DefaultFile\"=\"sample/sample_FR.png\"\n"
              "\"DocPath\"=\"/usr/share/doc/domecast/manual\"\n"
              "\"LastFolder\"=\".\"\n"
              "\"PaintApp\"=\"gimp\"\n");
    struct Case {
        const char* name;
        std::string expected;
    };
    const Case cases[] = {
        {"DomecastPath", dir.file("prefix/bin")},
        {"TemplatePath", folder + "/templates"},
        {"DefaultFile", folder + "/sample/sample_FR.png"},
        {"DocPath", "/usr/share/doc/domecast/manual"},
        // A bare name is a program looked up in PATH, not a file beside the defaults.
        {"PaintApp", "gimp"},
        {"LastFolder", "."},
    };
    for (const Case& c : cases) EXPECT_EQ(readString(c.name), c.expected) << c.name;

    // The same relative text in a user or XDG file is taken as written.
    writeText(machineFile, "\"TemplatePath\"=\"./templates\"\n");
    EXPECT_EQ(readString("TemplatePath"), "./templates");
}

TEST_F(SettingsTest, BrokenDefaultsAreAnEmptyBranch) {
    MessageRecorder recorder;
    std::string value = "kept";
    for (const std::string& contents : {std::string("\x01\x02 garbage\n\"DocPath\"=\"unterminated\n"),
                                        std::string(2 << 20, 'x')}) {
        writeText(defaultsFile, contents);
        EXPECT_EQ(readStringSetting("DocPath", value, 1, 1), 0);
    }
    std::filesystem::remove(defaultsFile);
    std::filesystem::create_directories(defaultsFile);  // a folder where the file belongs
    EXPECT_EQ(readStringSetting("DocPath", value, 1, 1), 0);
    EXPECT_EQ(value, "kept");
    EXPECT_EQ(recorder.texts(), std::vector<std::string>(3, missingMessage));
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
