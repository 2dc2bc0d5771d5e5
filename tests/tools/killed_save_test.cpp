// domecast-cli killed with SIGKILL in the middle of a save, and what the next run does.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "image/bgr_image.h"
#include "image/bmp.h"
#include "support/forked_child.h"
#include "support/image_files.h"
#include "support/programs.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Runs domecast-cli with args, its output going nowhere; its exit status, or -1.
int run(const std::vector<std::string>& args, const char* stopAt = nullptr) {
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        if (stopAt != nullptr) setenv("DOMECAST_TEST_SAVE_STOP", stopAt, 1);
        std::vector<char*> argv;
        const std::string program = programPath("domecast-cli");
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    if (stopAt != nullptr) return killWhenStopped(child) ? 0 : -1;
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The files of a panorama saved as "skyft.pcx" (twelve faces), name to contents.
using Files = std::map<std::string, std::string>;
Files skyFiles(const fs::path& folder) {
    Files files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("sky")) files[name] = fileText(entry.path().string());
    }
    return files;
}

// The names whose contents differ between two sets of files, or that only one has.
std::string differences(const Files& a, const Files& b) {
    std::string names;
    for (const auto& [name, text] : a)
        if (!b.count(name) || b.at(name) != text) names += name + " ";
    for (const auto& [name, text] : b)
        if (!a.count(name)) names += name + " ";
    return names;
}

std::vector<std::string> stagingFolders(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().starts_with(".domecast-")) found.push_back(entry.path().string());
    return found;
}

// A 256 x 128 sphere whose red is red.
void writeSphere(const std::string& path, std::uint8_t red) {
    RawImage sphere({256, 128});
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 256; ++x) {
            std::uint8_t* p = sphere.row(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(2 * y);
            p[2] = red;
        }
    SaveBMP(path.c_str(), sphere.size(), sphere.stride, 3, sphere.pixels);
}

TEST(KilledSave, TheNextOpenOrSaveInTheFolderFinishesOrDropsIt) {
    TempDir dir;
    const std::string oldSource = dir.file("old.bmp");
    const std::string source = dir.file("sphere.bmp");
    writeSphere(oldSource, 20);
    writeSphere(source, 200);
    fs::create_directory(dir.file("new"));
    ASSERT_EQ(run({"convert", source, dir.file("new/skyft.pcx"), "--from", "8"}), 0);
    const auto newFiles = skyFiles(dir.file("new"));
    ASSERT_EQ(newFiles.size(), 12u);

    struct Case {
        const char* stop;
        bool listed;      // killed after the list of renames was written
        bool nextIsSave;  // else an open
    };
    const Case cases[] = {
        {"staged", false, false}, {"staged", false, true}, {"listed", true, true}, {"renaming", true, false}};
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.stop) + (c.nextIsSave ? ", then a save" : ", then an open"));
        const fs::path folder = dir.file("case" + std::to_string(round++));
        fs::create_directory(folder);
        const std::string target = (folder / "skyft.pcx").string();
        ASSERT_EQ(run({"convert", oldSource, target, "--from", "8"}), 0);
        const auto oldFiles = skyFiles(folder);
        ASSERT_EQ(oldFiles.size(), 12u);
        ASSERT_EQ(differences(oldFiles, newFiles).size(), differences(oldFiles, {}).size());

        ASSERT_EQ(run({"convert", source, target, "--from", "8"}, c.stop), 0);
        ASSERT_EQ(stagingFolders(folder).size(), 1u);
        if (std::string(c.stop) == "renaming") {
            // What a kill did before: some faces new, the others old.
            EXPECT_NE(differences(skyFiles(folder), oldFiles), "");
            EXPECT_NE(differences(skyFiles(folder), newFiles), "");
        } else {
            EXPECT_EQ(differences(skyFiles(folder), oldFiles), "");
        }

        if (c.nextIsSave)
            EXPECT_EQ(run({"convert", source, (folder / "other_FR.tga").string(), "--from", "8"}), 0);
        else
            EXPECT_EQ(run({"convert", target, dir.file("opened.ivr"), "--to", "8"}), 0);
        EXPECT_EQ(differences(skyFiles(folder), c.listed ? newFiles : oldFiles), "");
        EXPECT_TRUE(stagingFolders(folder).empty());
    }
}


// Every file under folder (staging folders left out), by path under folder, to contents.
Files setFiles(const fs::path& folder) {
    Files files;
    for (auto entry = fs::recursive_directory_iterator(folder); entry != fs::recursive_directory_iterator(); ++entry) {
        if (entry->path().filename().string().starts_with(".domecast-")) {
            entry.disable_recursion_pending();
            continue;
        }
        if (entry->is_regular_file())
            files[fs::relative(entry->path(), folder).string()] = fileText(entry->path().string());
    }
    return files;
}

// What a reader gets from the set saved as target: its faces as 3DStudio Targas, or
// nothing when the set cannot be opened.
Files readSet(const std::string& target, const fs::path& into) {
    fs::remove_all(into);
    fs::create_directory(into);
    if (run({"convert", target, (into / "read_FR.tga").string(), "--to", "0"}) != 0) return {};
    return setFiles(into);
}

// A save killed before its renames, at every rename of the pass, and after the last:
// what another program finds on the disk, and what the next domecast-cli open reads.
TEST(KilledSave, AReaderSeesOneSetWholeAndTheSceneFileNeverAheadOfItsFaces) {
    TempDir dir;
    const std::string oldSource = dir.file("old.bmp");
    const std::string source = dir.file("sphere.bmp");
    writeSphere(oldSource, 20);
    writeSphere(source, 200);

    struct Layout {
        const char* scene;  // the file a reader starts from
        const char* to;     // the save layout
        bool oldSet;        // an older set is there before the killed save; else a first save
    };
    const Layout layouts[] = {
        {"pano.html", "15", true},  // faces, viewer, faces script, then the page
        {"pano.wrl", "3", false},   // PNG faces, then the scene file
        {"pano.ivr", "8", false},   // the sphere BMP, then the scene file
    };
    int round = 0;
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.scene);
        // The sets as whole saves leave them, and what a reader makes of each.
        const fs::path whole = dir.file("whole" + std::to_string(round));
        fs::create_directories(whole / "old");
        fs::create_directories(whole / "new");
        if (layout.oldSet) {
            ASSERT_EQ(run({"convert", oldSource, (whole / "old" / layout.scene).string(), "--from", "8", "--to",
                           layout.to}),
                      0);
        }
        ASSERT_EQ(run({"convert", source, (whole / "new" / layout.scene).string(), "--from", "8", "--to", layout.to,
                       "--heading", "30"}),
                  0);
        const Files oldFiles = setFiles(whole / "old");
        const Files newFiles = setFiles(whole / "new");
        const Files oldRead = readSet((whole / "old" / layout.scene).string(), whole / "read");
        const Files newRead = readSet((whole / "new" / layout.scene).string(), whole / "read");
        ASSERT_EQ(newRead.size(), 6u);
        ASSERT_EQ(oldRead.size(), layout.oldSet ? 6u : 0u);
        ASSERT_NE(differences(oldRead, newRead), "");

        std::vector<std::string> stops = {"staged", "listed"};
        for (std::size_t n = 1; n <= newFiles.size(); ++n) stops.push_back("renaming:" + std::to_string(n));
        std::size_t stoppedInThePass = 0;
        for (const std::string& stop : stops) {
            SCOPED_TRACE(stop);
            const fs::path folder = dir.file("case" + std::to_string(round++));
            fs::create_directory(folder);
            const std::string target = (folder / layout.scene).string();
            if (layout.oldSet) {
                ASSERT_EQ(run({"convert", oldSource, target, "--from", "8", "--to", layout.to}), 0);
            }
            ASSERT_EQ(differences(setFiles(folder), oldFiles), "");

            if (run({"convert", source, target, "--from", "8", "--to", layout.to, "--heading", "30"}, stop.c_str()) != 0) {
                // Fewer renames than stops: the save ended, whole.
                ASSERT_TRUE(stop.starts_with("renaming:"));
                EXPECT_EQ(differences(setFiles(folder), newFiles), "");
                break;
            }
            const bool renaming = stop.starts_with("renaming");
            stoppedInThePass += renaming ? 1 : 0;
            // What another program finds: before the renames the old set; during them the
            // scene file is the new one only once every file it names is.
            const Files seen = setFiles(folder);
            if (!renaming) {
                EXPECT_EQ(differences(seen, oldFiles), "");
            }
            const auto scene = seen.find(layout.scene);
            const bool sceneIsNew = scene != seen.end() && scene->second == newFiles.at(layout.scene);
            if (sceneIsNew) {
                EXPECT_EQ(differences(seen, newFiles), "");
            }

            // domecast-cli opening the set rolls it forward first, or drops it.
            EXPECT_EQ(differences(readSet(target, folder / "read"), stop == "staged" ? oldRead : newRead), "");
            fs::remove_all(folder / "read");
            EXPECT_EQ(differences(setFiles(folder), stop == "staged" ? oldFiles : newFiles), "");
            EXPECT_TRUE(stagingFolders(folder).empty());
        }
        // The pass stopped after each of its renames, the last included.
        EXPECT_EQ(stoppedInThePass, newFiles.size());
    }
}

}  // namespace
