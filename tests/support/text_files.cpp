#include "support/text_files.h"

#include <cstdio>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

void writeText(const std::string& path, const std::string& text, unsigned mode) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent);
    std::ofstream(path, std::ios::binary) << text;
    ::chmod(path.c_str(), mode);
}

unsigned modeOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

std::string commandOutput(const std::string& command) {
    std::string text;
    std::FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return text;
    char chunk[512];
    while (std::fgets(chunk, sizeof chunk, pipe) != nullptr) text += chunk;
    ::pclose(pipe);
    return text;
}
