#include "platform/staged_write.h"

#include <gtest/gtest.h>

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

}  // namespace
