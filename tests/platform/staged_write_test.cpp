#include "platform/staged_write.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/io_exception.h"
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

TEST(WriteReplacing, AMissingFolderIsAnErrorOpeningTheFile) {
    TempDir dir;
    const std::string path = dir.file("missing/face.tga");
    bool called = false;
    ASSERT_IO_EXCEPTION(writeReplacing(path, [&](const std::string&) { called = true; }), ioException::opening, path,
                        "cannot make a staging folder beside the file");
    EXPECT_FALSE(called);
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
        EXPECT_IO_EXCEPTION(writeReplacing(c.path, [&](const std::string&) { called = true; }), ioException::opening,
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
