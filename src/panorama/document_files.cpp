#include "panorama/document_files.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/file_io.h"
#include "platform/settings.h"
#include "platform/stdio_file.h"

bool canOpenForReading(const std::string& path) {
    return static_cast<bool>(openFileForReading(path.c_str()));
}

std::unique_ptr<char[]> makeTitle(std::string_view text) {
    auto title = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(title.get(), text.data(), text.size());
    title[text.size()] = '\0';
    return title;
}

std::string readFolderSetting(const char* name, bool report) {
    std::string folder;
    if (!readStringSetting(name, folder, report, true)) folder.clear();
    return folder;
}

int readLastType() {
    std::uint32_t value = 0;
    if (!readNumberSetting("LastType", value, false, true)) return -1;
    return static_cast<std::int32_t>(value);
}
