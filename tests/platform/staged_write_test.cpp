#include "platform/staged_write.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/io_exception.h"
#include "platform/save_set.h"
#include "support/image_files.h"
#include "support/io_exception_expect.h"
#include "support/temp_dir.h"

namespace {

void put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::size_t entries(const std::filesystem::path& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

TEST(WriteReplacing, ReplacesTheFileWhenTheWriteCompletes) {
    TempDir dir;
    const std::string path = dir.file("face.tga");
    put(path, "old picture");
    writeReplacing(path, [&](const std::string& staged) {
        EXPECT_NE(staged, path);
        EXPECT_EQ(std::filesystem::path(staged).filename(), "face.tga");
        EXPECT_EQ(std::filesystem::path(staged).parent_path().parent_path(), dir.path());
        EXPECT_EQ(fileText(path), "old picture");  // untouched while writing
        put(staged, "new picture");
    });
    EXPECT_EQ(fileText(path), "new picture");
    EXPECT_EQ(entries(dir.path()), 1u);  // no staging folder left
}

TEST(WriteReplacing, AFailedWriteKeepsTheOldFileWhole) {
    TempDir dir;
    const std::string path = dir.file("face.tga");
    put(path, "old picture");
    const auto failingWrite = [&](const std::string& staged) {
        put(staged, "half a pic");
        throw ioException{staged, ioException::writing, "disk full"};
    };
    // The real name, not the staged one, and the writer's reason.
    EXPECT_IO_EXCEPTION(writeReplacing(path, failingWrite), ioException::writing, path, "disk full");
    EXPECT_EQ(fileText(path), "old picture");
    EXPECT_EQ(entries(dir.path()), 1u);
}

TEST(WriteReplacing, EveryFileAWriterMakesMovesBeside) {
    TempDir dir;
    const std::string path = dir.file("skyft.pcx");
    writeReplacing(path, [&](const std::string& staged) {
        put(staged, "pcx");
        put(staged.substr(0, staged.size() - 4) + ".tga", "tga");
    });
    EXPECT_EQ(fileText(dir.file("skyft.pcx")), "pcx");
    EXPECT_EQ(fileText(dir.file("skyft.tga")), "tga");
    EXPECT_EQ(entries(dir.path()), 2u);
}

// A folder that is not there is named, for a file in it and for a link to one; so is a
// file where the folder should be.
TEST(WriteReplacing, AMissingFolderIsNamedAndNothingIsWritten) {
    TempDir dir;
    put(dir.file("plain"), "a file, not a folder");
    std::filesystem::create_symlink("gone/face.tga", dir.file("link.tga"));
    struct Case {
        std::string path;
        std::string reason;
    };
    const Case cases[] = {
        {dir.file("missing/face.tga"), "the folder " + dir.file("missing") + " does not exist"},
        {dir.file("missing/deeper/face.tga"), "the folder " + dir.file("missing/deeper") + " does not exist"},
        {dir.file("plain/face.tga"), dir.file("plain") + " is not a folder"},
        {dir.file("link.tga"), "the folder " + dir.file("gone") + " does not exist"},
    };
    for (const Case& c : cases) {
        bool called = false;
        EXPECT_IO_EXCEPTION(writeReplacing(c.path, [&](const std::string&) { called = true; }), ioException::writing,
                            c.path, c.reason.c_str());
        EXPECT_FALSE(called) << c.path;
    }
    EXPECT_EQ(entries(dir.path()), 2u);
}

// A file the user may not write is refused by a set that says so, before anything is
// written, whichever file of the set it is; a set that replaces, as the settings use,
// replaces it keeping its mode.
TEST(WriteReplacing, AReadOnlyFileIsRefusedOnlyWhereTheSetRefusesIt) {
    TempDir dir;
    put(dir.file("locked.tga"), "old");
    put(dir.file("skyft.pcx"), "old pcx");
    put(dir.file("skyft.tga"), "old tga");
    ASSERT_EQ(::chmod(dir.file("locked.tga").c_str(), 0444), 0);
    ASSERT_EQ(::chmod(dir.file("skyft.tga").c_str(), 0400), 0);
    std::filesystem::create_symlink("locked.tga", dir.file("to-locked.tga"));
    struct Case {
        std::string path;       // given to the write
        std::string refused;    // the file the error names
    };
    const Case cases[] = {
        {dir.file("locked.tga"), dir.file("locked.tga")},
        {dir.file("to-locked.tga"), dir.file("to-locked.tga")},
        // The Targa a PCX writer makes beside its file.
        {dir.file("skyft.pcx"), dir.file("skyft.tga")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_IO_EXCEPTION(
            {
                SaveSet set(ReadOnlyTargets::refuse);
                writeReplacing(c.path, [&](const std::string& staged) {
                    put(staged, "new");
                    put(staged.substr(0, staged.size() - 4) + ".tga", "new tga");
                });
                set.commit();
            },
            ioException::writing, c.refused, readOnlyReason);
    }
    EXPECT_EQ(fileText(dir.file("locked.tga")), "old");
    EXPECT_EQ(fileText(dir.file("skyft.pcx")), "old pcx");
    EXPECT_EQ(fileText(dir.file("skyft.tga")), "old tga");
    EXPECT_EQ(entries(dir.path()), 4u);
    // A file someone may write, and a new one, are written by the refusing set.
    put(dir.file("open.tga"), "old");
    ASSERT_EQ(::chmod(dir.file("open.tga").c_str(), 0644), 0);
    for (const char* name : {"open.tga", "new.tga"}) {
        SaveSet set(ReadOnlyTargets::refuse);
        writeReplacing(dir.file(name), [&](const std::string& staged) { put(staged, "new"); });
        set.commit();
        EXPECT_EQ(fileText(dir.file(name)), "new") << name;
    }

    writeReplacing(dir.file("locked.tga"), [&](const std::string& staged) { put(staged, "replaced"); });
    EXPECT_EQ(fileText(dir.file("locked.tga")), "replaced");
    struct stat status {};
    ASSERT_EQ(::stat(dir.file("locked.tga").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0444u);
}

TEST(WriteReplacing, AReplacedFileKeepsItsPermissionsAndANewOneGetsTheWritersOwn) {
    TempDir dir;
    const std::string kept = dir.file("private.tga");
    put(kept, "old");
    ASSERT_EQ(::chmod(kept.c_str(), 0600), 0);
    writeReplacing(kept, [&](const std::string& staged) {
        put(staged, "new");
        ::chmod(staged.c_str(), 0644);
    });
    struct stat status {};
    ASSERT_EQ(::stat(kept.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    EXPECT_EQ(fileText(kept), "new");

    const std::string fresh = dir.file("fresh.tga");
    writeReplacing(fresh, [&](const std::string& staged) {
        put(staged, "new");
        ::chmod(staged.c_str(), 0640);
    });
    ASSERT_EQ(::stat(fresh.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}

TEST(WriteReplacing, ASymbolicLinkIsWrittenThroughToItsTarget) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("real"));
    const std::string target = dir.file("real/face.tga");
    put(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    const std::string link = dir.file("link.tga");
    std::filesystem::create_symlink("real/face.tga", link);
    writeReplacing(link, [&](const std::string& staged) {
        // Staged beside the target, so the final rename stays in one folder.
        EXPECT_EQ(std::filesystem::path(staged).parent_path().parent_path(), dir.file("real"));
        put(staged, "new");
    });
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(fileText(target), "new");
    struct stat status {};
    ASSERT_EQ(::stat(target.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    EXPECT_EQ(entries(dir.file("real")), 1u);

    // A dangling link creates the file it names.
    const std::string dangling = dir.file("dangling.tga");
    std::filesystem::create_symlink("real/new.tga", dangling);
    writeReplacing(dangling, [&](const std::string& staged) { put(staged, "made"); });
    EXPECT_EQ(fileText(dir.file("real/new.tga")), "made");
    EXPECT_TRUE(std::filesystem::is_symlink(dangling));
}

TEST(WriteReplacing, AFolderAPipeOrADeviceIsRefusedBeforeWriting) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("folder.tga"));
    ASSERT_EQ(::mkfifo(dir.file("pipe.tga").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir.file("pipe.tga"), dir.file("to-pipe.tga"));
    struct Case {
        std::string path;
        const char* reason;
    };
    const Case cases[] = {
        {dir.file("folder.tga"), "the output is a folder"},
        {dir.file("pipe.tga"), "the output is a named pipe"},
        {dir.file("to-pipe.tga"), "the output is a named pipe"},
        {"/dev/null", "the output is a device"},
    };
    for (const Case& c : cases) {
        bool called = false;
        EXPECT_IO_EXCEPTION(writeReplacing(c.path, [&](const std::string&) { called = true; }), ioException::writing,
                            c.path, c.reason);
        EXPECT_FALSE(called) << c.path;
    }
    EXPECT_EQ(entries(dir.path()), 3u);
}

TEST(WriteReplacing, ASiblingThatCannotBeReplacedStopsTheWholeWrite) {
    TempDir dir;
    put(dir.file("skyft.pcx"), "old pcx");
    std::filesystem::create_directory(dir.file("skyft.tga"));
    EXPECT_IO_EXCEPTION(writeReplacing(dir.file("skyft.pcx"),
                                       [&](const std::string& staged) {
                                           put(staged, "pcx");
                                           put(staged.substr(0, staged.size() - 4) + ".tga", "tga");
                                       }),
                        ioException::writing, dir.file("skyft.tga"), "the output is a folder");
    EXPECT_EQ(fileText(dir.file("skyft.pcx")), "old pcx");
    EXPECT_EQ(entries(dir.path()), 2u);
}

}  // namespace
