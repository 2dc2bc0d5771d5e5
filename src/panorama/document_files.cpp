#include "panorama/document_files.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/settings.h"

std::string extensionOf(std::string_view text) {
    const std::size_t dot = text.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(text.substr(dot));
}

bool canOpenForReading(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    return file != nullptr;
}

std::unique_ptr<char[]> makeTitle(std::string_view text) {
    auto title = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(title.get(), text.data(), text.size());
    title[text.size()] = '\0';
    return title;
}

std::string readFolderSetting(const char* name, int report) {
    std::string folder;
    if (!readStringSetting(name, folder, report, 1)) folder.clear();
    return folder;
}

int readLastType() {
    std::uint32_t value = 0;
    if (!readNumberSetting("LastType", value, 0, 1)) return -1;
    return static_cast<std::int32_t>(value);
}
