#include "shell/krita_plugin_install.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "shell/preferences_model.h"
#include "support/image_files.h"
#include "support/message_recorder.h"
#include "support/scoped_env.h"
#include "support/scoped_settings.h"
#include "support/temp_dir.h"
#include "support/text_files.h"

namespace {
namespace fs = std::filesystem;

TEST(KritaPluginEnabled, SetsTheSwitchInPythonGroupAndKeepsEverythingElse) {
    const struct {
        const char* name;
        std::string before, after;
    } cases[] = {
        {"no kritarc yet", "", "[python]\nenable_domecast=true\n"},
        {"other groups only", "[General]\nWindowState=abc\n",
         "[General]\nWindowState=abc\n\n[python]\nenable_domecast=true\n"},
        {"switched off", "[python]\nenable_comics_project_management_tools=false\nenable_domecast=false\n",
         "[python]\nenable_comics_project_management_tools=false\nenable_domecast=true\n"},
        {"python group in the middle", "[General]\na=1\n\n[python]\nenable_x=true\n\n[Zoom]\nb=2\n",
         "[General]\na=1\n\n[python]\nenable_x=true\nenable_domecast=true\n\n[Zoom]\nb=2\n"},
        {"already on", "[python]\nenable_domecast=true\n", "[python]\nenable_domecast=true\n"},
        {"a like-named key elsewhere", "[Other]\nenable_domecast=false\n",
         "[Other]\nenable_domecast=false\n\n[python]\nenable_domecast=true\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(withKritaPluginEnabled(c.before), c.after);
    }
}

// Settings, install log and Krita's user folders inside a fresh folder; the plug-in to
// install is a small package in "source".
class KritaInstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeText(source + "/domecast.desktop", "[Desktop Entry]\n");
        writeText(source + "/domecast/__init__.py", "# package\n");
        writeText(source + "/domecast/libdomecast_link.so.1", "library", 0755);
        writeText(source + "/domecast/__pycache__/__init__.cpython-311.pyc", "cache");
        writeText(dir.file("settings/machine/domecast/domecast.conf"), "[Domecast]\nPaintApp=\nPluginPath=\n");
    }

    TempDir dir;
    ScopedSettings settings{dir.file("settings")};
    ScopedEnv state{"XDG_STATE_HOME", dir.file("state")};
    ScopedEnv data{"XDG_DATA_HOME", dir.file("data")};
    MessageRecorder messages;
    const std::string source = dir.file("installed krita");
};

TEST_F(KritaInstallTest, CopiesThePluginAndEnablesItOnceKritaHasAProfile) {
    PreferencesModel model;
    EXPECT_EQ(model.kritaFolderOffered(), "");  // Krita never ran
    EXPECT_FALSE(installKritaPlugin(source, kritaPluginFolder()));
    ASSERT_EQ(messages.texts().size(), 1u);
    EXPECT_NE(messages.texts()[0].find("Start Krita once"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.file("data/krita")));

    fs::create_directories(dir.file("data/krita"));
    writeText(dir.file("settings/user/kritarc"), "[General]\nLastPreset=x\n");
    EXPECT_EQ(PreferencesModel().kritaFolderOffered(), dir.file("data/krita/pykrita"));
    ASSERT_TRUE(installKritaPlugin(source, kritaPluginFolder()));
    EXPECT_EQ(messages.texts().size(), 1u);
    const std::string target = dir.file("data/krita/pykrita");
    EXPECT_EQ(fileText(target + "/domecast.desktop"), "[Desktop Entry]\n");
    EXPECT_EQ(fileText(target + "/domecast/__init__.py"), "# package\n");
    EXPECT_EQ(fileText(target + "/domecast/libdomecast_link.so.1"), "library");
    EXPECT_EQ(modeOf(target + "/domecast/libdomecast_link.so.1") & 0111, 0111u);
    EXPECT_FALSE(fs::exists(target + "/domecast/__pycache__"));
    EXPECT_EQ(fileText(dir.file("settings/user/kritarc")),
              "[General]\nLastPreset=x\n\n[python]\nenable_domecast=true\n");
    const std::string log = fileText(dir.file("state/domecast/Install.log"));
    EXPECT_NE(log.find("Made Dir: " + target + "/\n"), std::string::npos) << log;
    EXPECT_NE(log.find("File Copy: " + target + "/domecast/__init__.py\n"), std::string::npos) << log;
    EXPECT_NE(fileText(dir.file("settings/user/domecast/domecast.conf")).find("DomecastPath="), std::string::npos);
}

TEST_F(KritaInstallTest, OkInstallsOnlyWhenKritasFolderWasChosen) {
    fs::create_directories(dir.file("data/krita"));
    PreferencesModel untouched;
    EXPECT_TRUE(untouched.ok());
    EXPECT_FALSE(fs::exists(dir.file("data/krita/pykrita")));
    EXPECT_FALSE(fs::exists(dir.file("settings/user/kritarc")));

    // The plug-in installed with this build is the one copied.
    PreferencesModel chosen;
    chosen.useKrita = true;
    EXPECT_TRUE(chosen.ok());
    EXPECT_TRUE(fs::exists(dir.file("data/krita/pykrita/domecast.desktop")));
    EXPECT_TRUE(fs::exists(dir.file("data/krita/pykrita/domecast/domecast_link.py")));
    EXPECT_EQ(fileText(dir.file("settings/user/kritarc")), "[python]\nenable_domecast=true\n");
    EXPECT_TRUE(messages.texts().empty()) << messages.texts().front();
}

}  // namespace
