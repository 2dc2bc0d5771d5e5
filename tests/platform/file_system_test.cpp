#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"
#include "support/text_files.h"
#include "support/image_files.h"

namespace {
namespace fs = std::filesystem;

std::size_t entries(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}
}  // namespace

TEST(CopyFileReplacing, TakesTheSourcesModeAndANewTimeAndReplacesThroughRename) {
    TempDir dir;
    const std::string source = dir.file("plug in"), destination = dir.file("copy \u00fc");
    writeText(source, "new program", 0755);
    // An old source time: the copy must not keep it, or GIMP keeps its stale registration.
    ASSERT_EQ(std::system(("touch -d 2001-01-01 '" + source + "'").c_str()), 0);
    writeText(destination, "old", 0600);
    // A second name of the old file shows that it was replaced, not rewritten in place.
    fs::create_hard_link(destination, dir.file("old name"));

    ASSERT_EQ(copyFileReplacing(source, destination), 0);
    EXPECT_EQ(fileText(destination), "new program");
    EXPECT_EQ(modeOf(destination), 0755u);
    EXPECT_EQ(fileText(dir.file("old name")), "old");
    EXPECT_GT(fs::last_write_time(destination), fs::last_write_time(source));
    EXPECT_EQ(entries(dir.path()), 3u);  // no temporary file left
}

TEST(CopyFileReplacing, FailuresLeaveTheDestinationAsItWas) {
    TempDir dir;
    writeText(dir.file("source"), "program", 0755);
    writeText(dir.file("a file"), "in the way");
    writeText(dir.file("kept"), "kept");
    fs::create_directory(dir.file("folder"));
    struct Case {
        std::string source, destination;
        int error;
    } cases[] = {
        {dir.file("missing"), dir.file("kept"), ENOENT},
        {dir.file("folder"), dir.file("kept"), EISDIR},
        {dir.file("source"), dir.file("no folder/copy"), ENOENT},
        {dir.file("source"), dir.file("a file/copy"), ENOTDIR},
        {dir.file("source"), dir.file("folder"), EISDIR},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(copyFileReplacing(c.source, c.destination), c.error) << c.source << " -> " << c.destination;
        EXPECT_EQ(fileText(dir.file("kept")), "kept");
        EXPECT_EQ(entries(dir.path()), 4u) << c.destination;
        EXPECT_EQ(entries(dir.file("folder")), 0u);
    }
}

TEST(MakeFolderTree, MakesEachMissingFolderWithTheModeAndNamesThem) {
    TempDir dir;
    const std::string leaf = dir.file("a b/\u00e9/c");
    std::vector<std::string> made;
    ASSERT_EQ(makeFolderTree(leaf, 0750, made), 0);
    EXPECT_EQ(made, (std::vector<std::string>{dir.file("a b"), dir.file("a b/\u00e9"), leaf}));
    for (const std::string& folder : made) EXPECT_EQ(modeOf(folder), 0750u) << folder;

    // Existing folders are no error and are not named again; the owner keeps access.
    made.clear();
    ASSERT_EQ(makeFolderTree(leaf + "/", 0555, made), 0);
    EXPECT_TRUE(made.empty());
    ASSERT_EQ(makeFolderTree(leaf + "/d", 0555, made), 0);
    EXPECT_EQ(modeOf(leaf + "/d"), 0755u);

    writeText(dir.file("file"), "");
    made.clear();
    EXPECT_EQ(makeFolderTree(dir.file("file/x"), 0755, made), ENOTDIR);
    EXPECT_EQ(makeFolderTree(dir.file("file"), 0755, made), ENOTDIR);
    EXPECT_TRUE(made.empty());
}

TEST(SameDirectory, IsOneFolderHoweverItIsSpelled) {
    TempDir dir;
    fs::create_directories(dir.file("a/b"));
    fs::create_directory_symlink(dir.file("a"), dir.file("link"));
    EXPECT_TRUE(sameDirectory(dir.file("a"), dir.file("a/")));
    EXPECT_TRUE(sameDirectory(dir.file("a"), dir.file("link")));
    EXPECT_TRUE(sameDirectory(dir.file("a"), dir.file("a/b/..")));
    EXPECT_FALSE(sameDirectory(dir.file("a"), dir.file("a/b")));
    EXPECT_FALSE(sameDirectory(dir.file("missing"), dir.file("missing")));
}

TEST(SameFileContents, ComparesEveryByte) {
    TempDir dir;
    const std::string big(100000, 'x');
    std::string other = big;
    other[70000] = 'y';
    writeText(dir.file("a"), big);
    writeText(dir.file("b"), big);
    writeText(dir.file("c"), other);
    writeText(dir.file("d"), big + "x");
    EXPECT_TRUE(sameFileContents(dir.file("a"), dir.file("b")));
    EXPECT_FALSE(sameFileContents(dir.file("a"), dir.file("c")));
    EXPECT_FALSE(sameFileContents(dir.file("a"), dir.file("d")));
    EXPECT_FALSE(sameFileContents(dir.file("a"), dir.file("missing")));
}

TEST(FindExecutable, LooksBareNamesUpInThePath) {
    TempDir dir;
    fs::create_directories(dir.file("first"));
    fs::create_directories(dir.file("second"));
    writeText(dir.file("first/paint"), "", 0644);  // not executable: passed over
    writeText(dir.file("second/paint"), "", 0755);
    const char* old = std::getenv("PATH");
    const std::string saved = old != nullptr ? old : "";
    setenv("PATH", (dir.file("first") + ":" + dir.file("second")).c_str(), 1);
    EXPECT_EQ(findExecutable("paint"), dir.file("second/paint"));
    EXPECT_EQ(findExecutable("missing"), "");
    setenv("PATH", saved.c_str(), 1);

    EXPECT_EQ(findExecutable(dir.file("second/paint")), dir.file("second/paint"));
    EXPECT_EQ(findExecutable(dir.file("first/paint")), "");
    EXPECT_EQ(findExecutable(dir.file("first")), "");
    EXPECT_EQ(findExecutable(""), "");
}
