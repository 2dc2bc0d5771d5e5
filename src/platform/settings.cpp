#include "platform/settings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include "platform/file_contents.h"
#include "platform/known_folders.h"
#include "platform/message.h"
#include "platform/old_settings.h"
#include "platform/settings_keyfile.h"

namespace {

constexpr const char* settingsFile = "domecast/domecast.conf";

// At most 259 bytes, as the settings have always held: cut before the first NUL, and
// never inside a UTF-8 sequence.
std::string capped(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::size_t size = text.size();
    if (size > settingStringCapacity - 1) {
        size = settingStringCapacity - 1;
        while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) --size;
    }
    return std::string(text.substr(0, size));
}

// The user's file, after taking over the values of an older settings file when there is
// no keyfile yet.
std::string userFile() {
    std::string path = userSettingsPath();
    if (!path.empty()) takeOverOldSettings(path);
    return path;
}

// A relative path in the defaults file, made absolute against that file's folder.
void resolveDefault(std::string& text, const std::string& defaultsFile) {
    if (text.empty() || text.front() == '/' || text.find('/') == std::string::npos) return;
    const std::filesystem::path folder = std::filesystem::path(defaultsFile).parent_path();
    text = (folder / std::filesystem::path(text)).lexically_normal().string();
    // "folder/." normalises to a trailing separator; the folder is meant.
    if (text.size() > 1 && text.back() == '/') text.pop_back();
}

// Each line the settings files hold that cannot be used, as the user is told: one line on
// stderr the first time this process reads it, as settings are read on every use.
std::vector<std::string> problemsOf(const std::string& path, const SettingsKeyFile& file) {
    static std::mutex mutex;
    static std::set<std::string> told;
    std::vector<std::string> texts;
    for (const std::string& problem : file.problems()) {
        texts.push_back("The settings file " + path + ": " + problem + ".");
        const std::lock_guard lock(mutex);
        if (told.insert(texts.back()).second) std::fprintf(stderr, "Domecast: %s\n", texts.back().c_str());
    }
    return texts;
}

// The first file's value of that name that reads as type T; a missing, unreadable or
// broken file holds nothing. fromDefaults is set for a value found in the defaults.
template <typename T>
std::optional<T> findSetting(const char* name, bool report, bool userFirst,
                             std::optional<T> (SettingsKeyFile::*read)(const char*) const,
                             bool* fromDefaults = nullptr) {
    std::optional<T> found;
    auto lookIn = [&](const std::string& path) {
        SettingsKeyFile file;
        if (!path.empty() && file.load(path) == SettingsKeyFile::Load::ok) {
            problemsOf(path, file);
            found = (file.*read)(name);
        }
        return found.has_value();
    };
    if (name != nullptr && validSettingName(name)) {
        bool done = userFirst && lookIn(userFile());
        for (const std::string& path : machineSettingsPaths()) {
            if (done) break;
            done = lookIn(path);
        }
        if (!done && lookIn(defaultSettingsPath()) && fromDefaults != nullptr) *fromDefaults = true;
    }
    if (!found && report)
        showMessage("Error: the Domecast setting \"" + std::string(name != nullptr ? name : "") +
                        "\" is missing;\nremove and then reinstall Domecast.",
                    MessageStyle::okError);
    return found;
}

// Loads the user's file, applies change to it and writes it back when change says the
// text of the value changed. A file that exists but cannot be read, or of which a line
// was left out, is not replaced: the user's own lines would be lost.
template <typename Change>
void updateUserFile(Change change) {
    std::string path = userFile();
    if (path.empty()) return;
    // A settings file that is a link (to a dotfiles folder, say) is updated where it lives.
    if (char* target = ::realpath(path.c_str(), nullptr)) {
        path = target;
        std::free(target);
    }
    SettingsKeyFile file;
    const SettingsKeyFile::Load load = file.load(path);
    if (load == SettingsKeyFile::Load::failed || !file.problems().empty()) {
        std::fprintf(stderr, "Domecast: the settings file %s is left as it is: %s\n", path.c_str(),
                     load == SettingsKeyFile::Load::failed ? file.reason().c_str() : file.problems().front().c_str());
        return;
    }
    if (!change(file)) return;
    if (load == SettingsKeyFile::Load::missing) file.setHeader(settingsFileHeader);
    makeFolders(path.substr(0, path.rfind('/')));
    if (!replaceFileContents(path, file.text()))
        std::fprintf(stderr, "Domecast: the settings file %s could not be written\n", path.c_str());
}

}  // namespace

std::vector<std::string> settingsFileProblems() {
    std::vector<std::string> paths = {userFile()};
    for (const std::string& path : machineSettingsPaths()) paths.push_back(path);
    paths.push_back(defaultSettingsPath());
    std::vector<std::string> texts;
    for (const std::string& path : paths) {
        SettingsKeyFile file;
        if (path.empty() || file.load(path) != SettingsKeyFile::Load::ok) continue;
        for (std::string& text : problemsOf(path, file)) texts.push_back(std::move(text));
    }
    return texts;
}

std::string userSettingsPath() {
    const std::string folder = xdgFolder("XDG_CONFIG_HOME", ".config");
    if (folder.empty()) return {};
    return folder + "/" + settingsFile;
}

std::vector<std::string> machineSettingsPaths() {
    std::vector<std::string> paths;
    if (const char* dirs = std::getenv("XDG_CONFIG_DIRS"); dirs != nullptr) {
        std::string_view list = dirs;
        while (!list.empty()) {
            const std::string_view entry = list.substr(0, list.find(':'));
            // Relative entries are invalid and ignored.
            if (!entry.empty() && entry.front() == '/') paths.push_back(std::string(entry) + "/" + settingsFile);
            list.remove_prefix(std::min(list.size(), entry.size() + 1));
        }
    }
    if (paths.empty()) paths.push_back(std::string("/etc/xdg/") + settingsFile);
    return paths;
}

std::string machineSettingsPath() { return machineSettingsPaths().front(); }

std::string defaultSettingsPath() {
    if (const char* chosen = std::getenv("DOMECAST_DEFAULTS"); chosen != nullptr) {
        if (std::string_view(chosen) == "none") return {};
        return chosen;
    }
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !program.is_absolute()) return {};
    return (program.parent_path().parent_path() / "share/domecast/domecast.conf").string();
}

bool readStringSetting(const char* name, std::string& value, bool report, bool userFirst) {
    bool fromDefaults = false;
    const std::optional<std::string> found =
        findSetting(name, report, userFirst, &SettingsKeyFile::string, &fromDefaults);
    if (!found) return false;
    value = capped(*found);
    if (fromDefaults) resolveDefault(value, defaultSettingsPath());
    return true;
}

bool readNumberSetting(const char* name, std::uint32_t& value, bool report, bool userFirst) {
    const std::optional<std::uint32_t> found = findSetting(name, report, userFirst, &SettingsKeyFile::number);
    if (!found) return false;
    value = *found;
    return true;
}

bool readBooleanSetting(const char* name, bool& value, bool report, bool userFirst) {
    const std::optional<bool> found = findSetting(name, report, userFirst, &SettingsKeyFile::boolean);
    if (!found) return false;
    value = *found;
    return true;
}

void writeStringSetting(const char* name, const std::string& value) {
    if (name == nullptr || !validSettingName(name)) return;
    const std::string text = capped(value);
    updateUserFile([&](SettingsKeyFile& file) { return file.setString(name, text); });
}

void writeNumberSetting(const char* name, std::uint32_t value) {
    if (name == nullptr || !validSettingName(name)) return;
    updateUserFile([&](SettingsKeyFile& file) { return file.setNumber(name, value); });
}

void writeBooleanSetting(const char* name, bool value) {
    if (name == nullptr || !validSettingName(name)) return;
    updateUserFile([&](SettingsKeyFile& file) { return file.setBoolean(name, value); });
}

void deleteUserSetting(const char* name) {
    if (name == nullptr || !validSettingName(name)) return;
    updateUserFile([&](SettingsKeyFile& file) { return file.remove(name); });
}
