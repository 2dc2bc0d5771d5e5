#include "platform/old_settings.h"

#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "platform/file_contents.h"
#include "platform/settings_keyfile.h"
#include "platform/settings_line.h"

namespace {

// Same limit as the keyfiles: a larger older file is not read.
constexpr std::size_t oldFileLimit = 1 << 20;

enum class Kind { string, number, boolean };

struct KnownSetting {
    const char* name;
    Kind kind;
};

// Every setting the programs read, in the spelling they read it.
constexpr KnownSetting knownSettings[] = {
    {"PaintApp", Kind::string},       {"PluginPath", Kind::string},      {"DomecastPath", Kind::string},
    {"DocPath", Kind::string},        {"DefaultFile", Kind::string},     {"TemplatePath", Kind::string},
    {"LastFolder", Kind::string},     {"PCXColormap", Kind::string},     {"shiftAmount", Kind::number},
    {"LastType", Kind::number},       {"PCXDither", Kind::number},       {"PhotoJPEGQuality", Kind::number},
    {"PCXResize", Kind::boolean},
};

const KnownSetting* known(std::string_view name) {
    for (const KnownSetting& setting : knownSettings)
        if (sameSettingName(setting.name, name)) return &setting;
    return nullptr;
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

}  // namespace

std::string oldSettingsPath(const std::string& keyfilePath) {
    const std::size_t file = keyfilePath.rfind('/');
    if (file == std::string::npos || file == 0) return {};
    const std::size_t folder = keyfilePath.rfind('/', file - 1);
    if (folder == std::string::npos) return {};
    return keyfilePath.substr(0, folder) + "/Quorla/Domecast.reg";
}

int convertOldSettings(std::string_view contents, SettingsKeyFile& file) {
    std::set<std::string> taken;
    for (std::string_view text : splitLines(contents)) {
        const std::optional<SettingLine> line = parseSettingLine(text);
        if (!line || line->type == SettingLine::Type::other) continue;
        const KnownSetting* setting = known(line->name);
        const std::string name = setting != nullptr ? setting->name : line->name;
        if (!validSettingName(name)) continue;
        // The last line naming a value wins, as when such a file was imported.
        const Kind kind = setting != nullptr ? setting->kind
                          : line->type == SettingLine::Type::string ? Kind::string
                                                                    : Kind::number;
        if (line->type == SettingLine::Type::string) {
            if (kind != Kind::string) continue;  // a known number or switch stored as text
            file.setString(name.c_str(), line->text.substr(0, line->text.find('\0')));
            if (!file.string(name.c_str())) continue;  // not UTF-8
        } else if (kind == Kind::boolean) {
            file.setBoolean(name.c_str(), line->number != 0);
        } else if (kind == Kind::number) {
            file.setNumber(name.c_str(), line->number);
        } else {
            continue;  // a known string stored as a number
        }
        taken.insert(name);
    }
    return static_cast<int>(taken.size());
}

void takeOverOldSettings(const std::string& keyfilePath) {
    if (keyfilePath.empty() || ::access(keyfilePath.c_str(), F_OK) == 0) return;
    static std::mutex mutex;
    static std::set<std::string> tried;
    const std::lock_guard<std::mutex> lock(mutex);
    if (!tried.insert(keyfilePath).second) return;

    const std::string oldPath = oldSettingsPath(keyfilePath);
    std::string contents;
    if (oldPath.empty() || readFileContents(oldPath, oldFileLimit, contents) != FileRead::ok) return;
    SettingsKeyFile file;
    const int taken = convertOldSettings(contents, file);
    file.setHeader(std::string(settingsFileHeader) + "\n Taken over from " + oldPath + ".");
    makeFolders(keyfilePath.substr(0, keyfilePath.rfind('/')));
    // Another process may have made the keyfile meanwhile; its values are newer.
    if (::access(keyfilePath.c_str(), F_OK) == 0) return;
    if (replaceFileContents(keyfilePath, file.text()))
        std::fprintf(stderr, "Domecast: took over %d settings from %s into %s; the old file is left in place.\n",
                     taken, oldPath.c_str(), keyfilePath.c_str());
    else
        std::fprintf(stderr, "Domecast: the settings of %s could not be written into %s.\n", oldPath.c_str(),
                     keyfilePath.c_str());
}
