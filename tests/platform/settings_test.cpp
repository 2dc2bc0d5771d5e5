#include "platform/settings.h"

#include <gtest/gtest.h>

#include <algorithm>
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

const char* const missingDocPath = "Error: the Domecast setting \"DocPath\" is missing;\nremove and then reinstall Domecast.";

// Both branches inside a fresh folder; the machine branch is the first of two folders.
class SettingsTest : public ::testing::Test {
protected:
    TempDir dir;
    ScopedEnv home{"XDG_CONFIG_HOME", dir.file("user")};
    ScopedEnv dirs{"XDG_CONFIG_DIRS", dir.file("machine") + ":" + dir.file("other")};
    ScopedEnv defaults{"DOMECAST_DEFAULTS", dir.file("prefix/share/domecast/domecast.conf")};
    const std::string userFile = dir.file("user/domecast/domecast.conf");
    const std::string machineFile = dir.file("machine/domecast/domecast.conf");
    const std::string otherFile = dir.file("other/domecast/domecast.conf");
    const std::string defaultsFile = dir.file("prefix/share/domecast/domecast.conf");

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
    std::optional<bool> readBoolean(const char* name) {
        bool value = true;
        if (!readBooleanSetting(name, value, 0, 1)) {
            EXPECT_TRUE(value);
            return std::nullopt;
        }
        return value;
    }
    // The user's file without the comment a new file starts with.
    std::string userValues() {
        const std::string text = fileText(userFile);
        const std::size_t group = text.find("[Domecast]");
        return group == std::string::npos ? text : text.substr(group);
    }
};

TEST_F(SettingsTest, FilesFollowTheEnvironment) {
    EXPECT_EQ(userSettingsPath(), userFile);
    EXPECT_EQ(machineSettingsPath(), machineFile);
    EXPECT_EQ(machineSettingsPaths(), (std::vector<std::string>{machineFile, otherFile}));
    EXPECT_EQ(defaultSettingsPath(), defaultsFile);
    {
        ScopedEnv relative("XDG_CONFIG_HOME", "relative/folder");
        ScopedEnv home("HOME", dir.file("home"));
        ScopedEnv firstRelative("XDG_CONFIG_DIRS", "relative:" + dir.file("second") + "::" + dir.file("third"));
        EXPECT_EQ(userSettingsPath(), dir.file("home/.config/domecast/domecast.conf"));
        EXPECT_EQ(machineSettingsPath(), dir.file("second/domecast/domecast.conf"));
        EXPECT_EQ(machineSettingsPaths(), (std::vector<std::string>{dir.file("second/domecast/domecast.conf"),
                                                                    dir.file("third/domecast/domecast.conf")}));
    }
    ScopedEnv empty("XDG_CONFIG_DIRS", "");
    EXPECT_EQ(machineSettingsPath(), "/etc/xdg/domecast/domecast.conf");
    EXPECT_EQ(machineSettingsPaths(), std::vector<std::string>{"/etc/xdg/domecast/domecast.conf"});

    ScopedEnv none("DOMECAST_DEFAULTS", "none");
    EXPECT_EQ(defaultSettingsPath(), "");
}

TEST_F(SettingsTest, DefaultsAreFoundBesideTheProgram) {
    ::unsetenv("DOMECAST_DEFAULTS");
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(defaultSettingsPath(), (program.parent_path().parent_path() / "share/domecast/domecast.conf").string());
}

// Each value is looked up on its own: the user file, every XDG folder in order, then the
// defaults; the first file that defines it wins, whatever the others hold.
TEST_F(SettingsTest, EachValueComesFromTheFirstFileDefiningIt) {
    writeText(userFile, "[Domecast]\nPaintApp=user\n");
    writeText(machineFile, "[Domecast]\nPaintApp=/first\nDocPath=/first\n");
    writeText(otherFile, "[Domecast]\nPaintApp=/later\nDocPath=/later\nDefaultFile=/later\n");
    writeText(defaultsFile,
              "[Domecast]\nPaintApp=/defaults\nDocPath=/defaults\nDefaultFile=/defaults\n"
              "TemplatePath=/defaults\nshiftAmount=30\nPCXResize=false\n");
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
    EXPECT_EQ(readBoolean("PCXResize"), false);

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
              "# as installed\n[Domecast]\n"
              "DomecastPath=../../bin\n"
              "TemplatePath=./templates\n"
              "DefaultFile=sample/sample_FR.png\n"
              "DocPath=/usr/share/doc/domecast/manual\n"
              "LastFolder=.\n"
              "PaintApp=gimp\n");
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
    writeText(machineFile, "[Domecast]\nTemplatePath=./templates\n");
    EXPECT_EQ(readString("TemplatePath"), "./templates");
}

// A file the parser refuses holds nothing, so the next file answers; it is never
// replaced by a write, which would lose the lines the user wrote.
// A line that cannot be used is left out and named on stderr, once; every other value of
// the file is kept, and the file is never rewritten.
TEST_F(SettingsTest, LinesThatCannotBeUsedAreNamedAndTheOtherValuesKept) {
    MessageRecorder recorder;
    writeText(machineFile, "[Domecast]\nDocPath=/machine\n");
    const std::string said = "Domecast: The settings file " + userFile + ": ";
    // Lines 13 to 37 of no value: the first twenty are named, the rest counted.
    std::string garbage = "[Domecast]\nMaxImageMegapixels=77\n" + std::string(10, '\n'), garbageErrors;
    for (int line = 13; line <= 37; ++line) {
        garbage += "garbage\n";
        if (line <= 32)
            garbageErrors += said + "line " + std::to_string(line) + " is not a value, a [group] or a # comment and is ignored.\n";
    }
    garbageErrors += said + "5 more lines that cannot be used are ignored.\n";
    struct Case {
        const char* what;
        std::string contents;
        std::size_t size;  // the file is made this long with zero bytes; 0: as it is
        const char* docPath;
        std::string errors;
    };
    const Case cases[] = {
        {"a line that is no value", "[Domecast]\nDocPath=/user\nnot a value at all\nMaxImageMegapixels=77\n", 0,
         "/user", said + "line 3 is not a value, a [group] or a # comment and is ignored.\n"},
        {"a value before any group", "DocPath=/user\n[Domecast]\nMaxImageMegapixels=77\n", 0, "/machine",
         said + "line 1 is a value outside any [group] and is ignored.\n"},
        {"a value of 1 MB", "[Domecast]\nDocPath=" + std::string(1 << 20, 'x') + "\nMaxImageMegapixels=77\n", 0,
         "/machine", said + "line 2 is longer than 64 KiB and is ignored.\n"},
        {"a broken group line", "[Domecast]\nMaxImageMegapixels=77\n\n[Other\nDocPath=/user\n", 0, "/machine",
         said + "line 4 is not a value, a [group] or a # comment and is ignored.\n" + said +
             "line 5 is a value outside any [group] and is ignored.\n"},
        {"a file of 100 MB", "[Domecast]\nDocPath=/user\nMaxImageMegapixels=77\n", 100u << 20, "/user",
         said + "the file is larger than 4 MiB: line 4 and every line after it are ignored.\n"},
        {"many lines of no value", garbage, 0, "/machine", garbageErrors},
        {"binary garbage", "\x01\x02 garbage\n[Domecast]\nMaxImageMegapixels=77\n", 0, "/machine",
         said + "line 1 is not a value, a [group] or a # comment and is ignored.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeText(userFile, c.contents);
        if (c.size != 0) std::filesystem::resize_file(userFile, c.size);
        const auto stamp = std::filesystem::last_write_time(userFile);
        const auto size = std::filesystem::file_size(userFile);
        testing::internal::CaptureStderr();
        EXPECT_EQ(readString("DocPath"), c.docPath);
        const std::string first = testing::internal::GetCapturedStderr();
        EXPECT_EQ(first, c.errors);
        testing::internal::CaptureStderr();
        EXPECT_EQ(readNumber("MaxImageMegapixels"), 77u);
        EXPECT_EQ(settingsFileProblems().size(), static_cast<std::size_t>(std::count(c.errors.begin(), c.errors.end(), '\n')));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // told once

        testing::internal::CaptureStderr();
        writeStringSetting("PaintApp", "/opt/krita");
        const std::string written = testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::filesystem::last_write_time(userFile), stamp) << "rewritten";
        EXPECT_EQ(std::filesystem::file_size(userFile), size);
        EXPECT_NE(written.find(userFile + " is left as it is"), std::string::npos) << written;
    }
    std::filesystem::remove(userFile);
    std::filesystem::create_directories(userFile);  // a folder where the file belongs
    EXPECT_EQ(readString("DocPath"), "/machine");
    testing::internal::CaptureStderr();
    writeStringSetting("PaintApp", "/opt/krita");
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(std::filesystem::is_directory(userFile));
    EXPECT_TRUE(recorder.messages().empty());
}

// A write replaces the file with one of the same permissions, in a folder whose
// permissions it leaves alone.
TEST_F(SettingsTest, WriteKeepsTheModesOfTheFileAndItsFolder) {
    namespace fs = std::filesystem;
    const fs::perms shared = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                             fs::perms::others_read;
    const fs::perms folderShared = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec;
    writeText(userFile, "[Domecast]\nDocPath=/doc\n");
    fs::permissions(userFile, shared);
    fs::permissions(dir.file("user/domecast"), folderShared);
    writeStringSetting("PaintApp", "/opt/krita");
    EXPECT_EQ(fileText(userFile), "[Domecast]\nDocPath=/doc\nPaintApp=/opt/krita\n");
    EXPECT_EQ(fs::status(userFile).permissions(), shared);
    EXPECT_EQ(fs::status(dir.file("user/domecast")).permissions(), folderShared);
}

TEST_F(SettingsTest, UserFileShadowsMachineFileUntilDeleted) {
    const std::string machine = "[Domecast]\nPaintApp=/usr/bin/gimp\nshiftAmount=45\nPCXResize=true\n";
    writeText(machineFile, machine);
    EXPECT_EQ(readString("PaintApp"), "/usr/bin/gimp");

    writeStringSetting("PaintApp", "/opt/krita/krita");
    writeNumberSetting("shiftAmount", 15);
    writeBooleanSetting("PCXResize", false);
    EXPECT_EQ(readString("PaintApp"), "/opt/krita/krita");
    EXPECT_EQ(readNumber("shiftAmount"), 15u);
    EXPECT_EQ(readBoolean("PCXResize"), false);
    EXPECT_EQ(userValues(), "[Domecast]\nPaintApp=/opt/krita/krita\nshiftAmount=15\nPCXResize=false\n");
    // The plug-in installation reads the machine's files alone.
    EXPECT_EQ(readString("PaintApp", 0), "/usr/bin/gimp");
    EXPECT_EQ(readNumber("shiftAmount", 0), 45u);
    EXPECT_EQ(fileText(machineFile), machine);

    deleteUserSetting("PaintApp");
    EXPECT_EQ(readString("PaintApp"), "/usr/bin/gimp");
    EXPECT_EQ(readNumber("shiftAmount"), 15u);
}

TEST_F(SettingsTest, ValueNotOfTheTypeAskedCountsAsMissing) {
    writeText(userFile,
              "[Domecast]\nshiftAmount=thirty\nLastType=-1\nPCXDither=4294967296\nPhotoJPEGQuality=0x5a\n"
              "PCXResize=yes\nDocPath=/user\n");
    writeText(machineFile, "[Domecast]\nshiftAmount=45\nLastType=2\nPCXDither=4294967295\nPCXResize=false\n");
    // A wrongly typed user value does not hide the machine's value.
    EXPECT_EQ(readNumber("shiftAmount"), 45u);
    EXPECT_EQ(readNumber("LastType"), 2u);
    EXPECT_EQ(readNumber("PCXDither"), 4294967295u);
    EXPECT_EQ(readNumber("PhotoJPEGQuality"), std::nullopt);
    EXPECT_EQ(readBoolean("PCXResize"), false);
    EXPECT_EQ(readNumber("DocPath"), std::nullopt);
    // Any value reads as a string.
    EXPECT_EQ(readString("shiftAmount"), "thirty");
}

TEST_F(SettingsTest, OtherGroupsAndNamesOfAnotherCaseAreNotTheSettings) {
    writeText(machineFile, "[Other]\nPaintApp=/other\n[Domecast]\npaintapp=/lower\n");
    EXPECT_EQ(readString("PaintApp"), std::nullopt);
    writeStringSetting("PaintApp", "/opt/krita");
    EXPECT_EQ(readString("PaintApp"), "/opt/krita");
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
    ASSERT_EQ(recorder.texts(),
              (std::vector<std::string>{missingDocPath, "Error: the Domecast setting \"LastType\" is missing;\n"
                                                        "remove and then reinstall Domecast."}));
    EXPECT_EQ(recorder.messages()[0].caption, "Domecast");

    writeText(machineFile, "[Domecast]\nDocPath=/usr/share/doc/domecast\n");
    EXPECT_EQ(readStringSetting("DocPath", text, 1, 1), 1);
    EXPECT_EQ(text, "/usr/share/doc/domecast");
    EXPECT_EQ(recorder.messages().size(), 2u);
}

TEST_F(SettingsTest, WriteKeepsCommentsAndEveryOtherLine) {
    const std::string before =
        "# Domecast, set up by hand\n"
        "\n"
        "[Domecast]\n"
        "# the paint program\n"
        "PaintApp=/usr/bin/gimp\n"
        "LastType=4294967295\n"
        "Other=kept as written\n"
        "\n"
        "[Elsewhere]\n"
        "PaintApp=/not/ours\n";
    writeText(userFile, before);
    writeStringSetting("PaintApp", "/opt/krita");
    writeNumberSetting("PCXDither", 160);
    EXPECT_EQ(fileText(userFile),
              "# Domecast, set up by hand\n"
              "\n"
              "[Domecast]\n"
              "# the paint program\n"
              "PaintApp=/opt/krita\n"
              "LastType=4294967295\n"
              "Other=kept as written\n"
              // GLib keeps the blank line with the value before it.
              "\n"
              "PCXDither=160\n"
              "\n"
              "[Elsewhere]\n"
              "PaintApp=/not/ours\n");
    EXPECT_EQ(readNumber("LastType"), 0xffffffffu);

    // Writing what is there already, or deleting what is not, leaves the file untouched.
    const auto stamp = std::filesystem::last_write_time(userFile);
    const std::string after = fileText(userFile);
    deleteUserSetting("DocPath");
    writeStringSetting("PaintApp", "/opt/krita");
    writeNumberSetting("PCXDither", 160);
    EXPECT_EQ(fileText(userFile), after);
    EXPECT_EQ(std::filesystem::last_write_time(userFile), stamp);
}

TEST_F(SettingsTest, WriteCreatesTheFolderAndACommentedFileAndLeavesNoTemporaryFile) {
    writeNumberSetting("shiftAmount", 45);
    writeStringSetting("LastFolder", "/home/me/panoramas");
    const std::string text = fileText(userFile);
    EXPECT_EQ(text.front(), '#');
    EXPECT_EQ(userValues(), "[Domecast]\nshiftAmount=45\nLastFolder=/home/me/panoramas\n");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.file("user/domecast")))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"domecast.conf"});
    const auto mode = std::filesystem::status(dir.file("user/domecast")).permissions();
    EXPECT_EQ(mode, std::filesystem::perms::owner_all);
}

TEST_F(SettingsTest, WriteThroughALinkKeepsTheLink) {
    const std::string target = dir.file("dotfiles/domecast.conf");
    writeText(target, "[Domecast]\nDocPath=/doc\n");
    std::filesystem::create_directories(dir.file("user/domecast"));
    std::filesystem::create_symlink(target, userFile);
    writeStringSetting("PaintApp", "/opt/krita");
    EXPECT_TRUE(std::filesystem::is_symlink(userFile));
    EXPECT_EQ(fileText(target), "[Domecast]\nDocPath=/doc\nPaintApp=/opt/krita\n");
}

TEST_F(SettingsTest, StringsRoundTripThroughEscaping) {
    const std::string values[] = {"",
                                  "C:\\Program Files\\Paint\\paint.exe",
                                  "say \"cheese\"",
                                  "  leading and trailing blanks  ",
                                  "ends with a backslash\\",
                                  "# not a comment",
                                  "[Other]",
                                  "a=b",
                                  "tab\there",
                                  "two\nlines",
                                  "panoramas/\xC3\xA9t\xC3\xA9 2024"};
    for (const std::string& value : values) {
        writeStringSetting("LastFolder", value);
        EXPECT_EQ(readString("LastFolder"), value);
    }
    // A line break inside a value cannot forge another value.
    writeStringSetting("PaintApp", "/usr/bin/gimp");
    writeStringSetting("LastFolder", "x\nPaintApp=/tmp/evil\n[Domecast]\nPaintApp=/tmp/evil");
    EXPECT_EQ(readString("PaintApp"), "/usr/bin/gimp");
}

TEST_F(SettingsTest, NamesTheSyntaxCannotHoldAreRefused) {
    for (const char* name : {"Bad\nName", "a=b", "[Domecast]", "", " PaintApp"}) {
        writeStringSetting(name, "y");
        writeNumberSetting(name, 1);
        std::string value;
        EXPECT_FALSE(readStringSetting(name, value, 0, 1)) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(userFile));
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
        writeText(machineFile, "[Domecast]\nDocPath=" + c.value + "\n");
        EXPECT_EQ(readString("DocPath"), c.expected);
    }
}

}  // namespace
