// File > Preferences...: the fields typed in are stored and the plug-ins installed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "support/editor_window.h"

using namespace std::chrono_literals;

namespace {
const char* const plugins[] = {"DomecastActivate", "DomecastLeft", "DomecastRight", "DomecastUp", "DomecastDown"};

void writeExecutable(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
    ::chmod(path.c_str(), 0755);
}
// The editor started with the machine's settings in machine, the install log and the
// user's data folder (where Krita keeps its user folder) in files, and no GIMP profile.
class PreferencesWindow : public EditorWindow {
protected:
    // The editor, its Preferences dialog open and focused.
    std::unique_ptr<TestProcess> openPreferences(const TempDir& machine, const TempDir& files,
                                                 const std::string& dataHome) {
        setenv("XDG_CONFIG_DIRS", machine.path().c_str(), 1);
        setenv("XDG_STATE_HOME", files.file("state").c_str(), 1);
        setenv("GIMP2_DIRECTORY", files.file("no gimp").c_str(), 1);
        setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
        auto editor = start("editor.txt");
        const std::string window = findWindow();
        EXPECT_FALSE(window.empty()) << readText(config_.file("editor.txt"));
        xdotool("windowfocus --sync " + window);
        xdotool("key alt+f");
        xdotool("key p");
        EXPECT_FALSE(focusDialog("Domecast Preferences").empty()) << readText(config_.file("editor.txt"));
        return editor;
    }
};
}  // namespace

TEST_F(PreferencesWindow, PreferencesStoreTheFieldsAndInstallThePlugInsIntoTheNewFolder) {
    TempDir machine, files;
    const std::string source = files.file("installed"), target = files.file("my plug-ins/gimp");
    const std::string paint = files.file("bin/paint");
    for (const char* plugin : plugins) writeExecutable(source + "/" + plugin, std::string("plug-in ") + plugin);
    writeExecutable(paint, "#!/bin/sh\n");
    std::filesystem::create_directories(machine.path() / "domecast");
    std::ofstream(machine.file("domecast/domecast.conf"))
        << "[Domecast]\nPluginPath=" << source << "\nDomecastPath=" << files.file("program") << "\n";
    // A data folder without Krita's: the dialog offers no Krita folder of this machine.
    auto editor = openPreferences(machine, files, files.file("no krita"));
    if (HasFailure()) return;

    // Paint program, Browse, plug-in folder, Browse, rotation; Return is OK.
    xdotool("key ctrl+a");
    xdotool("type --delay 20 '" + paint + "'");
    xdotool("key Tab Tab ctrl+a");
    xdotool("type --delay 20 '" + target + "'");
    xdotool("key Tab Tab ctrl+a");
    xdotool("type --delay 20 30");
    xdotool("key Return");

    const std::string settings = config_.file("domecast/domecast.conf");
    EXPECT_TRUE(waitUntil(10s, [&] { return readText(settings).find("shiftAmount") != std::string::npos; }))
        << readText(settings) << readText(config_.file("editor.txt"));
    const std::string stored = readText(settings);
    EXPECT_NE(stored.find("\nPaintApp=" + paint + "\n"), std::string::npos) << stored;
    EXPECT_NE(stored.find("\nPluginPath=" + target + "\n"), std::string::npos) << stored;
    EXPECT_NE(stored.find("\nshiftAmount=30\n"), std::string::npos) << stored;
    for (const char* plugin : plugins)
        EXPECT_EQ(readText(target + "/" + plugin), std::string("plug-in ") + plugin) << plugin;
    EXPECT_NE(readText(files.file("state/domecast/Install.log")).find("File Copy: " + target + "/DomecastDown\n"),
              std::string::npos);
    EXPECT_TRUE(xdotool("search --onlyvisible --name '^Domecast Preferences$'").empty());

    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0));
}

// With Krita's user folder present, "Use Krita's folder" and OK copy the Krita plug-in this
// build laid out into its pykrita folder and switch it on in kritarc.
TEST_F(PreferencesWindow, UseKritasFolderInstallsTheKritaPlugin) {
    TempDir machine, files;
    std::filesystem::create_directories(machine.path() / "domecast");
    std::ofstream(machine.file("domecast/domecast.conf")) << "[Domecast]\nPaintApp=\nPluginPath=\n";
    std::filesystem::create_directories(files.path() / "data" / "krita");
    auto editor = openPreferences(machine, files, files.file("data"));
    if (HasFailure()) return;
    // Paint program, Browse, plug-in folder, Browse, then the Krita button; Return is OK.
    xdotool("key Tab Tab Tab Tab space");
    xdotool("key Return");

    const std::string pykrita = files.file("data/krita/pykrita");
    EXPECT_TRUE(waitUntil(10s, [&] { return std::filesystem::exists(config_.file("kritarc")); }))
        << readText(config_.file("editor.txt"));
    EXPECT_EQ(readText(config_.file("kritarc")), "[python]\nenable_domecast=true\n");
    EXPECT_EQ(readText(pykrita + "/domecast/domecast_link.py"),
              readText(std::string(DOMECAST_BIN_DIR) + "/../share/domecast/plug-ins/krita/domecast/domecast_link.py"));
    EXPECT_TRUE(std::filesystem::exists(pykrita + "/domecast/libdomecast_link.so.1"));
    EXPECT_NE(readText(files.file("state/domecast/Install.log")).find("File Copy: " + pykrita + "/domecast.desktop\n"),
              std::string::npos);

    editor->signal(SIGTERM);
    EXPECT_EQ(editor->waitFor(20s), std::optional<int>(0));
}
