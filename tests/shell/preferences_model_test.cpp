#include "shell/preferences_model.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/known_folders.h"
#include "platform/settings.h"
#include "support/message_recorder.h"
#include "support/scoped_settings.h"
#include "support/temp_dir.h"
#include "support/scoped_env.h"
#include "support/text_files.h"
#include "support/image_files.h"

namespace {
namespace fs = std::filesystem;

std::string missing(const std::string& name) {
    return "Error: the Domecast setting \"" + name + "\" is missing;\nremove and then reinstall Domecast.";
}

// Settings, install log and GIMP's user folder inside a fresh folder; the installed
// plug-ins are five small executables in "installed" (a folder of mode 0750).
class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (std::size_t i = 0; i < pluginFiles.size(); ++i)
            writeText(source + "/" + pluginFiles[i], "plug-in " + std::to_string(i), 0755);
        ::chmod(source.c_str(), 0750);
        writeText(paintProgram, "#!/bin/sh\n", 0755);
        writeText(otherPaintProgram, "#!/bin/sh\n", 0755);
        machine("PaintApp=" + paintProgram + "\nPluginPath=" + source + "\nDomecastPath=" + dir.file("program") + "\n");
    }

    // Each takes NAME=value lines.
    void machine(const std::string& lines) {
        writeText(dir.file("settings/machine/domecast/domecast.conf"), "[Domecast]\n" + lines);
    }
    void user(const std::string& lines) { writeText(dir.file("settings/user/domecast/domecast.conf"), "[Domecast]\n" + lines); }
    // The user's file from its group on, without the comment a new file starts with.
    std::string userFile() const {
        const std::string text = fileText(dir.file("settings/user/domecast/domecast.conf"));
        return text.substr(std::min(text.size(), text.find("[Domecast]")));
    }
    std::string log() const { return fileText(logPath); }
    std::optional<std::string> userString(const char* name) const {
        const std::string prefix = "\n" + std::string(name) + "=";
        const std::string text = userFile();
        const std::size_t at = text.find(prefix);
        if (at == std::string::npos) return std::nullopt;
        const std::size_t start = at + prefix.size();
        return text.substr(start, text.find('\n', start) - start);
    }
    // Runs the dialog: opened, the given folder typed into 1048, OK.
    void okWithPluginPath(const std::string& text) {
        PreferencesModel model;
        model.pluginPath = text;
        EXPECT_TRUE(model.ok());
    }
    bool holdsCopies(const std::string& folder) const {
        for (const char* file : pluginFiles)
            if (!fs::exists(folder + "/" + file)) return false;
        return true;
    }

    TempDir dir;
    ScopedSettings settings{dir.file("settings")};
    ScopedEnv state{"XDG_STATE_HOME", dir.file("state")};
    ScopedEnv gimp{"GIMP2_DIRECTORY", dir.file("gimp profile")};
    MessageRecorder messages;
    const std::string source = dir.file("installed");
    const std::string paintProgram = dir.file("bin/paint");
    const std::string otherPaintProgram = dir.file("other bin/paint \u00fc");
    const std::string logPath = dir.file("state/domecast/Install.log");
};

TEST_F(PreferencesTest, OpeningShowsTheSettingsAndReportsMissingOnes) {
    user("PaintApp=/opt/paint \u00fc/bin/paint\nshiftAmount=30\n");
    PreferencesModel model;
    EXPECT_EQ(model.paintApp, "/opt/paint \u00fc/bin/paint");
    EXPECT_EQ(model.pluginPath, source);  // the machine's, as no user value shadows it
    EXPECT_EQ(model.rotation, "30");
    EXPECT_TRUE(messages.texts().empty());
    EXPECT_EQ(model.paintBrowseFolder(), "/opt/paint \u00fc/bin");
    EXPECT_EQ(model.paintBrowseFileName(), "paint");

    machine("");
    user("shiftAmount=thirty\n");  // a number that is not decimal counts as missing
    PreferencesModel empty;
    EXPECT_EQ(empty.paintApp, "");
    EXPECT_EQ(empty.pluginPath, "");
    EXPECT_EQ(empty.rotation, "45");
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{missing("PaintApp"), missing("PluginPath")}));
}

TEST_F(PreferencesTest, ABareProgramNameIsBrowsedFromWherePathFindsIt) {
    ScopedEnv path{"PATH", dir.file("bin")};
    user("PaintApp=paint\n");
    PreferencesModel model;
    EXPECT_EQ(model.paintBrowseFolder(), dir.file("bin"));
    EXPECT_EQ(model.paintBrowseFileName(), "paint");
}

TEST_F(PreferencesTest, ChangingOnlyThePaintProgramWritesOnlyPaintApp) {
    PreferencesModel model;
    model.paintApp = otherPaintProgram;
    EXPECT_TRUE(model.ok());
    EXPECT_EQ(userFile(), "[Domecast]\nPaintApp=" + otherPaintProgram + "\n");
    EXPECT_FALSE(fs::exists(logPath));
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(PreferencesTest, AProgramThatCannotBeStartedOrARelativeFolderIsRefusedAndNothingWritten) {
    writeText(dir.file("notes.txt"), "text");
    for (const std::string& bad : {dir.file("missing"), dir.file("notes.txt"), dir.file("bin")}) {
        PreferencesModel model;
        EXPECT_FALSE(model.paintProgramChosen(bad)) << bad;
        EXPECT_EQ(model.paintApp, paintProgram);
        model.paintApp = bad;
        model.pluginPath = dir.file("elsewhere");
        model.rotation = "30";
        EXPECT_FALSE(model.ok()) << bad;
    }
    EXPECT_EQ(messages.texts().size(), 6u);
    EXPECT_NE(messages.texts()[0].find(dir.file("missing")), std::string::npos);
    EXPECT_EQ(userFile(), "");
    EXPECT_FALSE(fs::exists(dir.file("elsewhere")));

    // A relative plug-in folder would land wherever the editor was started.
    PreferencesModel relative;
    relative.paintApp = otherPaintProgram;
    relative.pluginPath = "plug-ins";
    EXPECT_FALSE(relative.ok());
    EXPECT_EQ(messages.texts().size(), 7u);
    EXPECT_EQ(userFile(), "");

    PreferencesModel model;
    EXPECT_TRUE(model.paintProgramChosen(otherPaintProgram));
    EXPECT_EQ(model.paintApp, otherPaintProgram);
}

TEST_F(PreferencesTest, ReenteringTheInstalledFolderWritesPluginPathWithoutCopying) {
    fs::create_directory_symlink(source, dir.file("link"));
    for (const std::string& text : {source, source + "/", dir.file("link"), dir.file("link/")}) {
        user("PluginPath=" + dir.file("before") + "\n");
        okWithPluginPath(text);
        EXPECT_EQ(userString("PluginPath"), text);
        EXPECT_FALSE(userString("DomecastPath"));
        EXPECT_FALSE(fs::exists(logPath)) << text;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(source), fs::directory_iterator()), 5);
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(PreferencesTest, ANewNestedFolderIsMadeLoggedAndGetsTheFivePlugInsInOrder) {
    const std::string target = dir.file("new folder/\u00e9t\u00e9/plug-ins");
    okWithPluginPath(target);
    EXPECT_EQ(log(), "Made Dir: " + dir.file("new folder/") + "\n" +
                         "Made Dir: " + dir.file("new folder/\u00e9t\u00e9/") + "\n" +
                         "Made Dir: " + target + "/\n" +
                         "File Copy: " + target + "/DomecastActivate\n" +
                         "File Copy: " + target + "/DomecastLeft\n" +
                         "File Copy: " + target + "/DomecastRight\n" +
                         "File Copy: " + target + "/DomecastUp\n" +
                         "File Copy: " + target + "/DomecastDown\n");
    EXPECT_EQ(modeOf(dir.file("new folder")), 0750u);  // the source folder's bits
    EXPECT_EQ(modeOf(target), 0750u);
    for (std::size_t i = 0; i < pluginFiles.size(); ++i) {
        const std::string copy = target + "/" + pluginFiles[i];
        EXPECT_EQ(fileText(copy), "plug-in " + std::to_string(i));
        EXPECT_EQ(modeOf(copy), 0755u);
    }
    EXPECT_EQ(userString("PluginPath"), target);
    EXPECT_EQ(userString("DomecastPath"), programFolder());
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(PreferencesTest, ACopyFailureStopsTheInstallationAndKeepsPluginPath) {
    fs::remove(source + "/DomecastUp");
    const std::string target = dir.file("target");
    fs::create_directory(target);  // an existing folder: no error, not logged
    okWithPluginPath(target);
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{"Error copying file:\n" + source + "/DomecastUp\n  To:\n" +
                                                          target + "/DomecastUp:\nNo such file or directory"}));
    EXPECT_EQ(log(), "File Copy: " + target + "/DomecastActivate\nFile Copy: " + target + "/DomecastLeft\n" +
                         "File Copy: " + target + "/DomecastRight\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(target), fs::directory_iterator()), 3);
    EXPECT_FALSE(userString("PluginPath"));
    EXPECT_FALSE(userString("DomecastPath"));
}

TEST_F(PreferencesTest, ATargetThatIsAFileIsReportedAndNothingIsCopied) {
    writeText(dir.file("a file"), "x");
    for (const std::string& target : {dir.file("a file"), dir.file("a file/plug-ins")}) {
        okWithPluginPath(target);
        ASSERT_EQ(messages.texts().size(), 1u);
        EXPECT_EQ(messages.texts()[0], "Error creating folder:\n" + target + "/:\nNot a directory");
        EXPECT_FALSE(userString("PluginPath"));
        EXPECT_EQ(fileText(dir.file("a file")), "x");
        messages.clear();
    }
}

TEST_F(PreferencesTest, WithoutAnInstalledFolderOrProgramFolderNothingIsInstalled) {
    struct Case {
        const char* what;
        std::string machine;
        std::vector<std::string> messages;
    } cases[] = {
        {"empty PluginPath", "PluginPath=\nDomecastPath=/p\n", {}},
        {"no PluginPath", "DomecastPath=/p\n", {missing("PluginPath")}},
        {"no DomecastPath", "PluginPath=" + source + "\n", {missing("DomecastPath")}},
    };
    for (const Case& c : cases) {
        user("PluginPath=" + dir.file("before") + "\nPaintApp=" + paintProgram + "\n");
        machine(c.machine);
        okWithPluginPath(dir.file("target"));
        EXPECT_EQ(messages.texts(), c.messages) << c.what;
        EXPECT_EQ(userString("PluginPath"), dir.file("before")) << c.what;
        EXPECT_FALSE(fs::exists(dir.file("target"))) << c.what;
        EXPECT_FALSE(fs::exists(logPath)) << c.what;
        messages.clear();
    }
}

TEST_F(PreferencesTest, AnUnopenableLogIsNoticedAndTheCopiesGoOn) {
    writeText(dir.file("state/domecast"), "a file where the log's folder belongs");
    okWithPluginPath(dir.file("target"));
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{"Notice: Domecast Install.log file could not be opened.\n"
                                                          "Plugin files will not be removed when Domecast is "
                                                          "uninstalled."}));
    EXPECT_TRUE(holdsCopies(dir.file("target")));
    EXPECT_EQ(userString("PluginPath"), dir.file("target"));
}

TEST_F(PreferencesTest, GimpsFolderIsOfferedAndNotMadeBeforeGimpMadeItsProfile) {
    const std::string profile = dir.file("gimp profile"), plugins = profile + "/plug-ins";
    {
        PreferencesModel model;
        EXPECT_EQ(model.gimpFolderOffered(), "");  // no profile yet
        model.pluginPath = plugins;
        EXPECT_TRUE(model.ok());
    }
    ASSERT_EQ(messages.texts().size(), 1u);
    EXPECT_NE(messages.texts()[0].find("Start GIMP once"), std::string::npos);
    EXPECT_FALSE(fs::exists(profile));
    EXPECT_FALSE(userString("PluginPath"));

    fs::create_directory(profile);
    PreferencesModel model;
    EXPECT_EQ(model.gimpFolderOffered(), plugins);
    model.pluginPath = plugins + "/";
    EXPECT_EQ(model.gimpFolderOffered(), "");
    model.pluginPath = plugins;
    EXPECT_TRUE(model.ok());
    EXPECT_TRUE(holdsCopies(plugins));
    EXPECT_EQ(messages.texts().size(), 1u);
}

TEST_F(PreferencesTest, AnUnchangedFolderGetsThePlugInsAgainWhenTheyDiffer) {
    const std::string target = dir.file("target");
    fs::create_directory(target);
    okWithPluginPath(target);
    const std::string firstLog = log();
    ASSERT_FALSE(firstLog.empty());

    okWithPluginPath(target);  // unchanged and up to date: nothing copied
    EXPECT_EQ(log(), firstLog);

    writeText(source + "/DomecastLeft", "plug-in 1, updated", 0755);
    okWithPluginPath(target);
    EXPECT_EQ(fileText(target + "/DomecastLeft"), "plug-in 1, updated");
    EXPECT_EQ(log().substr(firstLog.size()), firstLog);  // all five again, logged
    EXPECT_TRUE(messages.texts().empty());
}

TEST_F(PreferencesTest, TheRotationIsStoredOnlyAboveFiveAndBelowOneHundredEighty) {
    struct Case {
        const char* text;
        std::optional<std::uint32_t> stored;
    } cases[] = {
        {"45", 45},   {"5.5", 5},   {"179.9", 179}, {" 90 ", 90},         {"+30", 30},
        {"5", {}},    {"180", {}},  {"-5", {}},     {"abc", {}},          {"", {}},
        {"1e9", {}},  {"0x10", {}}, {"45abc", {}},  {"nan", {}},          {"4,5e1", {}},
    };
    for (const Case& c : cases) {
        user("shiftAmount=30\n");
        PreferencesModel model;
        model.rotation = c.text;
        EXPECT_TRUE(model.ok());
        std::uint32_t value = 0;
        ASSERT_TRUE(readNumberSetting("shiftAmount", value, false, true));
        EXPECT_EQ(value, c.stored.value_or(30)) << '"' << c.text << '"';
    }
    EXPECT_TRUE(messages.texts().empty());
}

TEST(FolderCompletion, AppendsOneSlashAndComparesCaseSensitively) {
    EXPECT_EQ(completeFolder(""), "/");
    EXPECT_EQ(completeFolder("/a"), "/a/");
    EXPECT_EQ(completeFolder("/a/"), "/a/");
    EXPECT_TRUE(sameFolder("/no/such/a", "/no/such/a/"));
    EXPECT_FALSE(sameFolder("/no/such/a", "/no/such/A"));
}
}  // namespace
