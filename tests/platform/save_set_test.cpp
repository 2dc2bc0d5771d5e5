#include "platform/save_set.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/io_exception.h"
#include "platform/staged_write.h"
#include "support/forked_child.h"
#include "support/image_files.h"
#include "support/io_exception_expect.h"
#include "support/message_recorder.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

void put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The staging folders in folder.
std::vector<std::string> stagingFolders(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().starts_with(".domecast-")) found.push_back(entry.path().string());
    return found;
}

const char* const names[] = {"sky_FR.tga", "sky_BK.tga", "sky.wrl"};

// A folder holding the old versions of the three files of a save.
class OldFiles {
public:
    OldFiles() {
        for (const char* name : names) put(dir.file(name), std::string("old ") + name);
    }
    std::string file(const char* name) const { return dir.file(name); }
    // Whether every file holds its old ("old ...") or every file its new ("new ...") text.
    bool all(const char* state) const {
        for (const char* name : names)
            if (fileText(dir.file(name)) != std::string(state) + " " + name) return false;
        return true;
    }
    TempDir dir;
};

void writeNew(SaveSet& set, const OldFiles& old) {
    for (const char* name : names)
        set.write(old.file(name), [&](const std::string& staged) { put(staged, std::string("new ") + name); });
}

TEST(SaveSet, ReplacesNothingBeforeTheCommitAndEverythingAtIt) {
    OldFiles old;
    SaveSet set;
    writeNew(set, old);
    // A single-file replacement made while the set is open joins it.
    writeReplacing(old.file("sky_LF.tga"), [&](const std::string& staged) { put(staged, "left"); });
    EXPECT_TRUE(old.all("old"));
    EXPECT_FALSE(fs::exists(old.file("sky_LF.tga")));
    EXPECT_EQ(stagingFolders(old.dir.path()).size(), 1u);

    set.commit();
    EXPECT_TRUE(old.all("new"));
    EXPECT_EQ(fileText(old.file("sky_LF.tga")), "left");
    EXPECT_TRUE(stagingFolders(old.dir.path()).empty());
}

TEST(SaveSet, AFileThatIsALinkIsReplacedInItsTargetsFolderWithTheOthers) {
    OldFiles old;
    TempDir elsewhere;
    const std::string real = elsewhere.file("front.tga");
    put(real, "old front");
    ASSERT_EQ(chmod(real.c_str(), 0600), 0);
    fs::remove(old.file(names[0]));
    fs::create_symlink(real, old.file(names[0]));
    {
        SaveSet set;
        writeNew(set, old);
        EXPECT_EQ(fileText(real), "old front");
        set.commit();
    }
    EXPECT_TRUE(fs::is_symlink(old.file(names[0])));
    EXPECT_EQ(fileText(real), std::string("new ") + names[0]);
    EXPECT_EQ(fileText(old.file(names[1])), std::string("new ") + names[1]);
    struct stat status {};
    ASSERT_EQ(stat(real.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    EXPECT_TRUE(stagingFolders(old.dir.path()).empty());
    EXPECT_TRUE(stagingFolders(elsewhere.path()).empty());
}

TEST(SaveSet, AFailureBeforeTheCommitKeepsEveryOldFileAndLeavesNoStagingFolder) {
    struct Case {
        const char* what;
        void (*run)(const OldFiles& old);
        const char* failedName;  // the target the error names, or null when nothing throws
        const char* reason;
    };
    const Case cases[] = {
        {"the second file fails while being written",
         [](const OldFiles& old) {
             SaveSet set;
             set.write(old.file(names[0]), [](const std::string& staged) { put(staged, "new"); });
             set.write(old.file(names[1]), [](const std::string& staged) {
                 put(staged, "half");
                 throw ioException{staged, ioException::writing, "disk full"};
             });
         },
         names[1], "disk full"},
        {"a failed write is not committed by a caller that carries on",
         [](const OldFiles& old) {
             SaveSet set;
             try {
                 set.write(old.file(names[0]), [](const std::string& staged) {
                     put(staged, "half");
                     throw ioException{staged, ioException::writing, "disk full"};
                 });
             } catch (const ioException&) {
             }
             set.write(old.file(names[1]), [](const std::string& staged) { put(staged, "new"); });
             set.commit();
         },
         names[0], "a file of the save could not be written"},
        {"a target became a folder before the commit",
         [](const OldFiles& old) {
             SaveSet set;
             writeNew(set, old);
             fs::remove(old.file(names[2]));
             fs::create_directory(old.file(names[2]));
             set.commit();
         },
         names[2], "the output is a folder"},
        {"the set is dropped without a commit",
         [](const OldFiles& old) {
             SaveSet set;
             writeNew(set, old);
         },
         nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OldFiles old;
        const bool folderCase = c.failedName == names[2];
        if (c.failedName == nullptr) {
            c.run(old);
        } else {
            // The error names the real file, not its staged copy.
            EXPECT_IO_EXCEPTION(c.run(old), ioException::writing, old.file(c.failedName), c.reason);
        }
        for (const char* name : names) {
            if (folderCase && name == names[2]) continue;  // the folder that took its place
            EXPECT_EQ(fileText(old.file(name)), std::string("old ") + name) << name;
        }
        EXPECT_TRUE(stagingFolders(old.dir.path()).empty());
    }
}

TEST(SaveSet, AStagingFolderOfThisProcessIsLeftAloneUntilItsSetEnds) {
    OldFiles old;
    SaveSet set;
    writeNew(set, old);
    finishStaleSaves(old.dir.path().string());
    ASSERT_EQ(stagingFolders(old.dir.path()).size(), 1u);
    set.commit();
    EXPECT_TRUE(old.all("new"));
}

// A child process saves the three files and is killed where DOMECAST_TEST_SAVE_STOP stops
// it; returns its staging folder.
std::string killedSave(const OldFiles& old, const char* stop) {
    const pid_t child = fork();
    if (child == 0) {
        setenv("DOMECAST_TEST_SAVE_STOP", stop, 1);
        SaveSet set;
        writeNew(set, old);
        set.commit();
        _exit(0);
    }
    if (!killWhenStopped(child)) return {};
    const std::vector<std::string> left = stagingFolders(old.dir.path());
    if (left.size() != 1 || !fs::path(left[0]).filename().string().starts_with(
                                ".domecast-" + std::to_string(child) + "-"))
        return {};
    return left[0];
}

TEST(SaveSet, ASaveKilledPartWayIsFinishedOrDroppedByTheNextOpenOrSave) {
    struct Case {
        const char* stop;
        bool renamesDecided;  // the list of renames was written before the kill
        bool viaSave;         // cleaned by the next save in the folder, else by an open
    };
    const Case cases[] = {
        {"staged", false, false},   {"staged", false, true},   {"listed", true, false},
        {"listed", true, true},     {"renaming", true, false}, {"renaming", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.stop) + (c.viaSave ? " then a save" : " then an open"));
        OldFiles old;
        const std::string staging = killedSave(old, c.stop);
        ASSERT_FALSE(staging.empty());
        if (std::string(c.stop) == "renaming") {
            // The state a kill leaves without a list: some files new, some old.
            EXPECT_FALSE(old.all("old"));
            EXPECT_FALSE(old.all("new"));
        } else {
            EXPECT_TRUE(old.all("old"));
        }
        if (c.viaSave) {
            writeReplacing(old.file("other.txt"), [](const std::string& staged) { put(staged, "other"); });
            EXPECT_EQ(fileText(old.file("other.txt")), "other");
        } else {
            finishStaleSaves(old.dir.path().string());
        }
        EXPECT_TRUE(old.all(c.renamesDecided ? "new" : "old"));
        EXPECT_TRUE(stagingFolders(old.dir.path()).empty());
    }
}

// names[] is written in order, the scene file (sky.wrl) last: a kill after any rename but
// the last leaves the scene file old, and the files written before it new.
TEST(SaveSet, TheFilesAreRenamedInTheOrderWrittenSoTheSceneFileComesLast) {
    const std::size_t count = std::size(names);
    for (std::size_t renamed = 1; renamed <= count; ++renamed) {
        SCOPED_TRACE("killed after rename " + std::to_string(renamed));
        OldFiles old;
        const std::string stop = "renaming:" + std::to_string(renamed);
        ASSERT_FALSE(killedSave(old, stop.c_str()).empty());
        for (std::size_t i = 0; i < count; ++i)
            EXPECT_EQ(fileText(old.file(names[i])), std::string(i < renamed ? "new " : "old ") + names[i]) << names[i];
        finishStaleSaves(old.dir.path().string());
        EXPECT_TRUE(old.all("new"));
        EXPECT_TRUE(stagingFolders(old.dir.path()).empty());
    }
}

// A finish whose rename fails stops there: the files listed after it, the scene file
// among them, keep their old versions until a later open can rename them all.
TEST(SaveSet, AFinishStopsAtARenameThatFailsAndALaterOneCompletesTheSet) {
    OldFiles old;
    ASSERT_FALSE(killedSave(old, "listed").empty());
    fs::remove(old.file(names[1]));
    fs::create_directories(fs::path(old.file(names[1])) / "in the way");
    finishStaleSaves(old.dir.path().string());
    EXPECT_EQ(fileText(old.file(names[0])), std::string("new ") + names[0]);
    EXPECT_EQ(fileText(old.file(names[2])), std::string("old ") + names[2]);
    EXPECT_EQ(stagingFolders(old.dir.path()).size(), 1u);

    fs::remove_all(old.file(names[1]));
    finishStaleSaves(old.dir.path().string());
    EXPECT_TRUE(old.all("new"));
    EXPECT_TRUE(stagingFolders(old.dir.path()).empty());
}

TEST(SaveSet, AStagingFolderOfARunningProcessOrWithADamagedListIsLeftAlone) {
    OldFiles old;
    const pid_t child = fork();
    if (child == 0) {
        setenv("DOMECAST_TEST_SAVE_STOP", "listed", 1);
        SaveSet set;
        writeNew(set, old);
        set.commit();
        _exit(0);
    }
    // Stopped, not dead: its save may still go on.
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, WUNTRACED), child);
    ASSERT_TRUE(WIFSTOPPED(status));
    finishStaleSaves(old.dir.path().string());
    const std::vector<std::string> left = stagingFolders(old.dir.path());
    EXPECT_EQ(left.size(), 1u);
    EXPECT_TRUE(old.all("old"));
    kill(child, SIGKILL);
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(left.size(), 1u);

    // Cut the list of renames short: it no longer says which files belong to the save.
    const std::set<std::string> staged(std::begin(names), std::end(names));
    std::string list;
    for (const auto& entry : fs::directory_iterator(left[0]))
        if (!staged.count(entry.path().filename().string())) list = entry.path().string();
    ASSERT_FALSE(list.empty());
    fs::resize_file(list, fs::file_size(list) - 3);
    finishStaleSaves(old.dir.path().string());
    EXPECT_TRUE(fs::exists(left[0]));
    EXPECT_TRUE(old.all("old"));
}

}  // namespace

namespace {

struct stat statusOf(const std::string& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status;
}

// Saved over by root, another user's files stay theirs, mode and group included; saved
// over by a user who may not give files away, they become that user's and the save says
// so.
TEST(SaveSet, OwnersAreKeptWhereTheProcessMayElseTheChangeIsTold) {
    if (::geteuid() != 0) GTEST_SKIP() << "saving over another user's files needs root";
    constexpr uid_t other = 65534;  // nobody
    constexpr gid_t otherGroup = 65534;
    OldFiles old;
    for (const char* name : names) {
        ASSERT_EQ(::chown(old.file(name).c_str(), other, otherGroup), 0);
        ASSERT_EQ(::chmod(old.file(name).c_str(), 0640), 0);
    }
    {
        MessageRecorder messages;
        SaveSet set;
        writeNew(set, old);
        set.commit();
        EXPECT_TRUE(messages.texts().empty());
    }
    ASSERT_TRUE(old.all("new"));
    for (const char* name : names) {
        const struct stat status = statusOf(old.file(name));
        EXPECT_EQ(status.st_uid, other) << name;
        EXPECT_EQ(status.st_gid, otherGroup) << name;
        EXPECT_EQ(status.st_mode & 07777, 0640u) << name;
    }

    // A user of their own (uid 1234) in a folder they may write: root's files become theirs.
    for (const char* name : names) ASSERT_EQ(::chown(old.file(name).c_str(), 0, 0), 0);
    ASSERT_EQ(::chmod(old.dir.path().c_str(), 0777), 0);
    const std::string report = checkInChild([&]() -> std::string {
        if (::setgid(1234) != 0 || ::setuid(1234) != 0) return "cannot become uid 1234";
        MessageRecorder messages;
        SaveSet set;
        for (const char* name : names)
            set.write(old.file(name), [&](const std::string& staged) { put(staged, std::string("third ") + name); });
        set.commit();
        std::string failures;
        const std::vector<std::string> texts = messages.texts();
        if (texts.size() != 1) return "messages shown: " + std::to_string(texts.size());
        for (const char* name : names) {
            if (texts[0].find(old.file(name)) == std::string::npos) failures += "the message leaves out " + std::string(name) + "\n";
            if (statusOf(old.file(name)).st_uid != 1234) failures += std::string(name) + " is not the saver's\n";
        }
        if (!texts[0].starts_with("These files belonged to another user and are now yours"))
            failures += "message: " + texts[0] + "\n";
        return failures;
    });
    EXPECT_EQ(report, "");
}

}  // namespace
