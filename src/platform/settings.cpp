#include "platform/settings.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/file_contents.h"
#include "platform/known_folders.h"
#include "platform/message.h"
#include "platform/settings_line.h"

namespace {

constexpr const char* settingsFile = "Quorla/Domecast.reg";
// Far beyond any real settings file; a larger one is not read into memory.
constexpr std::size_t settingsFileLimit = 1 << 20;

// The registry's 260-byte buffer: at most 259 bytes, cut before the first NUL, and never
// inside a UTF-8 sequence.
std::string capped(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::size_t size = text.size();
    if (size > settingStringCapacity - 1) {
        size = settingStringCapacity - 1;
        while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) --size;
    }
    return std::string(text.substr(0, size));
}

std::vector<std::string_view> splitLines(std::string_view contents) {
    std::vector<std::string_view> lines;
    while (!contents.empty()) {
        const std::size_t end = contents.find('\n');
        lines.push_back(contents.substr(0, end));
        if (end == std::string_view::npos) break;
        contents.remove_prefix(end + 1);
    }
    return lines;
}

// The value of that name and type in one branch file; a missing or unreadable file is
// an empty branch. The last line naming the value wins, as when the file is imported.
std::optional<SettingLine> findInFile(const std::string& path, std::string_view name, SettingLine::Type type) {
    std::string contents;
    if (path.empty() || readFileContents(path, settingsFileLimit, contents) != FileRead::ok) return std::nullopt;
    std::optional<SettingLine> found;
    for (std::string_view text : splitLines(contents)) {
        std::optional<SettingLine> line = parseSettingLine(text);
        if (line && sameSettingName(line->name, name)) found = std::move(line);
    }
    if (found && found->type != type) return std::nullopt;
    return found;
}

// A relative path in the defaults file, made absolute against that file's folder.
void resolveDefault(SettingLine& line, const std::string& defaultsFile) {
    if (line.type != SettingLine::Type::string) return;
    const std::string_view text = std::string_view(line.text).substr(0, line.text.find('\0'));
    if (text.empty() || text.front() == '/' || text.find('/') == std::string_view::npos) return;
    const std::filesystem::path folder = std::filesystem::path(defaultsFile).parent_path();
    line.text = (folder / std::filesystem::path(text)).lexically_normal().string();
    // "folder/." normalises to a trailing separator; the folder is meant.
    if (line.text.size() > 1 && line.text.back() == '/') line.text.pop_back();
}

std::optional<SettingLine> findSetting(const char* name, SettingLine::Type type, bool report, bool userFirst) {
    std::optional<SettingLine> found;
    if (name != nullptr) {
        if (userFirst) found = findInFile(userSettingsPath(), name, type);
        for (const std::string& path : machineSettingsPaths()) {
            if (found) break;
            found = findInFile(path, name, type);
        }
        if (!found) {
            const std::string defaults = defaultSettingsPath();
            found = findInFile(defaults, name, type);
            if (found) resolveDefault(*found, defaults);
        }
    }
    if (!found && report)
        showMessage("Error: Domecast registry information missing;\nremove and then reinstall Domecast.",
                    MessageStyle::ok);
    return found;
}

bool storable(std::string_view text) {
    // One value a line: a line break inside a value would forge other lines.
    return text.find_first_of("\r\n") == std::string_view::npos;
}

// Rewrites the user file with the value's line replaced by replacement, or removed when
// replacement is empty; every other line stays as it was.
void updateUserFile(std::string_view name, const std::string& replacement) {
    std::string path = userSettingsPath();
    if (path.empty()) return;
    // A settings file that is a link (to a dotfiles folder, say) is updated where it lives.
    if (char* target = ::realpath(path.c_str(), nullptr)) {
        path = target;
        std::free(target);
    }

    std::string contents;
    const FileRead read = readFileContents(path, settingsFileLimit, contents);
    // A file that exists but cannot be read is left alone rather than replaced.
    if (read == FileRead::failed) return;

    std::string out;
    bool placed = replacement.empty();
    bool changed = false;
    for (std::string_view text : splitLines(contents)) {
        std::optional<SettingLine> line = parseSettingLine(text);
        if (line && sameSettingName(line->name, name)) {
            changed = true;
            if (!placed) out += replacement + "\n";
            placed = true;
            continue;
        }
        out.append(text);
        out.push_back('\n');
    }
    if (!placed) {
        out += replacement + "\n";
        changed = true;
    }
    if (!changed) return;

    makeFolders(path.substr(0, path.rfind('/')));
    replaceFileContents(path, out);
}

}  // namespace

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
    return (program.parent_path().parent_path() / "share/domecast/Domecast.reg").string();
}

bool readStringSetting(const char* name, std::string& value, bool report, bool userFirst) {
    std::optional<SettingLine> found = findSetting(name, SettingLine::Type::string, report, userFirst);
    if (!found) return false;
    value = capped(found->text);
    return true;
}

bool readNumberSetting(const char* name, std::uint32_t& value, bool report, bool userFirst) {
    std::optional<SettingLine> found = findSetting(name, SettingLine::Type::number, report, userFirst);
    if (!found) return false;
    value = found->number;
    return true;
}

void writeStringSetting(const char* name, const std::string& value) {
    if (name == nullptr || *name == 0 || !storable(name)) return;
    const std::string text = capped(value);
    if (!storable(text)) return;
    updateUserFile(name, formatStringSetting(name, text));
}

void writeNumberSetting(const char* name, std::uint32_t value) {
    if (name == nullptr || *name == 0 || !storable(name)) return;
    updateUserFile(name, formatNumberSetting(name, value));
}

void deleteUserSetting(const char* name) {
    if (name == nullptr || *name == 0) return;
    updateUserFile(name, std::string());
}
