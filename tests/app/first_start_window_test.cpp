// The editor as a new user meets it: no settings of their own, nothing in the XDG
// folders, only what the build or an installation puts beside the program.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "panorama/geometry.h"
#include "platform/settings.h"
#include "support/editor_window.h"
#include "support/scripted_questions.h"
#include "view/camera.h"

using namespace std::chrono_literals;

namespace {

const std::string sampleTitle = "sample [h=0\u00b0 v=0\u00b0] - Domecast";

// Points this process's settings lookup at the given folders and defaults file.
class SettingsEnvironment {
public:
    SettingsEnvironment(const std::string& home, const std::string& dirs, const std::string& defaults) {
        for (const auto& [name, value] :
             {std::pair{"XDG_CONFIG_HOME", home}, {"XDG_CONFIG_DIRS", dirs}, {"DOMECAST_DEFAULTS", defaults}}) {
            const char* old = std::getenv(name);
            saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            ::setenv(name, value.c_str(), 1);
        }
    }
    ~SettingsEnvironment() {
        for (const auto& [name, value] : saved_) {
            if (value) ::setenv(name.c_str(), value->c_str(), 1);
            else ::unsetenv(name.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

class FirstStart : public EditorWindow {
protected:
    // Starts program with empty user and XDG folders and the defaults it finds itself.
    std::unique_ptr<TestProcess> startFresh(const std::string& program, const std::string& output) {
        ::unsetenv("DOMECAST_DEFAULTS");
        return std::make_unique<TestProcess>(
            program, std::vector<std::string>{"DOMECAST_MESSAGES=stderr", "DOMECAST_TEST_SNAPSHOT=" + snapshotPath()},
            std::map<std::string, std::string>{{"DISPLAY", server_.display()},
                                               {"XDG_CONFIG_HOME", emptyHome_.path().string()},
                                               {"XDG_CONFIG_DIRS", emptyDirs_.path().string()},
                                               {"XDG_STATE_HOME", emptyHome_.file("state")},
                                               {"DOMECAST_LINK_NAME", linkName_},
                                               {"GDK_BACKEND", "x11"}},
            config_.file(output));
    }

    // The editor shows the sample panorama, whole and in a view sized for its faces, and
    // said nothing on the way.
    void expectSampleShown(const std::string& program, const std::string& sampleFront) {
        auto editor = startFresh(program, "editor.txt");
        const std::string window = findWindow();
        ASSERT_FALSE(window.empty()) << readText(config_.file("editor.txt"));
        EXPECT_EQ(waitForTitle(window, sampleTitle), sampleTitle);

        ScriptedQuestions questions;
        PaintedSixImage sample;
        sample.load(questions, -1, sampleFront);
        const std::optional<Size> shown = viewShown(sample, 0, 0);
        const Size nominal = nominalSize(sample, {90 * degToRad, 75 * degToRad});
        EXPECT_EQ(shown, std::optional<Size>(nominal));

        editor->signal(SIGTERM);
        EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0));
        EXPECT_EQ(readText(config_.file("editor.txt")), "");
    }

    TempDir emptyHome_, emptyDirs_;
};

TEST_F(FirstStart, TheBuiltEditorOpensTheSamplePanoramaWithoutAMessage) {
    expectSampleShown(domecastPath(), std::string(DOMECAST_BUILD_DIR) + "/share/domecast/sample/sample_FR.png");
}

TEST_F(FirstStart, AnInstallationIsCompleteValidAndFindsItsOwnDefaults) {
    TempDir destination;
    const std::string prefix = "/opt/domecast test";
    const std::string root = destination.path().string() + prefix;
    ASSERT_TRUE(runCommand("env DESTDIR='" + destination.path().string() + "' cmake --install '" DOMECAST_BUILD_DIR
                           "' --prefix '" + prefix + "' >/dev/null 2>&1 && echo installed",
                           120))
        << "cmake --install failed";

    for (const char* file : {"bin/domecast", "bin/domecast-cli", "bin/domecast-peer", "bin/domecast-debugview",
                             "share/domecast/domecast.conf", "share/domecast/sample/sample.wrl",
                             "share/domecast/templates/sample.wrl", "share/icons/hicolor/16x16/apps/domecast.png",
                             "share/icons/hicolor/256x256/apps/domecast.png",
                             "share/icons/hicolor/scalable/apps/domecast.svg"})
        EXPECT_TRUE(std::filesystem::is_regular_file(root + "/" + file)) << file;

    EXPECT_TRUE(runCommand("desktop-file-validate '" + root + "/share/applications/domecast.desktop' && echo valid"))
        << runCommand("desktop-file-validate '" + root + "/share/applications/domecast.desktop' 2>&1; true").value_or("");
    const std::string metainfo = root + "/share/metainfo/example.quorla.Domecast.metainfo.xml";
    EXPECT_TRUE(runCommand("appstreamcli validate --no-net '" + metainfo + "' >/dev/null && echo valid", 60))
        << runCommand("appstreamcli validate --no-net '" + metainfo + "' 2>&1; true", 60).value_or("");

    // The scene type the desktop entry lists is defined by the installed package; a .ivr
    // is known by it once the database is built, and Domecast names itself the default
    // handler of no type (no mimeapps.list or defaults.list of its own).
    const std::string mimeRoot = destination.file("data");
    std::filesystem::create_directories(mimeRoot + "/mime/packages");
    std::filesystem::copy_file(root + "/share/mime/packages/domecast.xml", mimeRoot + "/mime/packages/domecast.xml");
    EXPECT_TRUE(runCommand("update-mime-database '" + mimeRoot + "/mime' 2>&1 && echo built", 60))
        << runCommand("update-mime-database '" + mimeRoot + "/mime' 2>&1; true", 60).value_or("");
    const std::string scene = destination.file("pano.ivr");
    std::ofstream(scene) << "#VRML V2.0 utf8\n";
    EXPECT_EQ(runCommand("env XDG_DATA_HOME='" + destination.file("none") + "' XDG_DATA_DIRS='" + mimeRoot +
                         ":/usr/share' XDG_CURRENT_DESKTOP=GNOME xdg-mime query filetype '" + scene + "'", 60),
              std::optional<std::string>("model/x-livepicture-ivr"));
    const std::string entry = readText(root + "/share/applications/domecast.desktop");
    EXPECT_NE(entry.find("\nMimeType=model/x-livepicture-ivr;model/vrml;"), std::string::npos) << entry;
    for (const auto& file : std::filesystem::recursive_directory_iterator(root)) {
        const std::string name = file.path().filename().string();
        EXPECT_TRUE(name != "mimeapps.list" && name != "defaults.list") << file.path();
    }

    // The values the installed program reads, resolved as it resolves them.
    {
        SettingsEnvironment fresh(emptyHome_.path().string(), emptyDirs_.path().string(),
                                    root + "/share/domecast/domecast.conf");
        std::string docPath, templatePath, domecastPath, pluginPath, paintApp;
        ASSERT_TRUE(readStringSetting("DocPath", docPath, false, true));
        for (const char* page : {"index.html", "Domecast.html"})
            EXPECT_GT(std::filesystem::file_size(docPath + "/" + page), 0u) << docPath << "/" << page;
        ASSERT_TRUE(readStringSetting("TemplatePath", templatePath, false, true));
        EXPECT_TRUE(std::filesystem::is_regular_file(templatePath + "/sample_FR.png")) << templatePath;
        ASSERT_TRUE(readStringSetting("DomecastPath", domecastPath, false, true));
        EXPECT_EQ(domecastPath, root + "/bin");
        ASSERT_TRUE(readStringSetting("PluginPath", pluginPath, false, false));
        EXPECT_EQ(pluginPath, root + "/lib/domecast/plug-ins");
        ASSERT_TRUE(readStringSetting("PaintApp", paintApp, false, true));
        EXPECT_EQ(paintApp, "gimp");
    }

    expectSampleShown(root + "/bin/domecast", root + "/share/domecast/sample/sample_FR.png");
}

}  // namespace
