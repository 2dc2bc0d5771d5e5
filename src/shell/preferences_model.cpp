#include "shell/preferences_model.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/file_contents.h"
#include "platform/file_system.h"
#include "platform/known_folders.h"
#include "platform/message.h"
#include "platform/report.h"
#include "platform/settings.h"
#include "platform/stdio_file.h"
#include "shell/install_log.h"
#include "shell/krita_plugin_install.h"

const std::array<const char*, 5> pluginFiles = {"DomecastActivate", "DomecastLeft", "DomecastRight", "DomecastUp",
                                                "DomecastDown"};

namespace {

constexpr std::uint32_t defaultRotation = 45;

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}


// Whether folder lies in a GIMP user folder that does not exist yet: making it would
// leave GIMP a half profile that it never completes.
bool inMissingGimpProfile(const std::string& folder) {
    const std::string profile = gimpProfileFolder();
    if (profile.empty() || isDirectory(profile)) return false;
    return completeFolder(folder).starts_with(completeFolder(profile));
}

}  // namespace

std::string completeFolder(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder.push_back('/');
    return folder;
}

bool sameFolder(const std::string& a, const std::string& b) {
    if (sameDirectory(a, b)) return true;
    return completeFolder(a) == completeFolder(b);
}

std::optional<std::uint32_t> parseRotation(const std::string& text) {
    std::string_view number = text;
    while (!number.empty() && (number.front() == ' ' || number.front() == '\t')) number.remove_prefix(1);
    while (!number.empty() && (number.back() == ' ' || number.back() == '\t')) number.remove_suffix(1);
    if (!number.empty() && number.front() == '+') number.remove_prefix(1);
    double value = 0;
    // Decimal only and independent of the locale: no hexadecimal, no "5,5".
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value,
                                              std::chars_format::general);
    if (number.empty() || error != std::errc() || end != number.data() + number.size()) return std::nullopt;
    if (!(value > 5 && value < 180)) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::string gimpProfileFolder() {
    if (const char* named = std::getenv("GIMP2_DIRECTORY"); named != nullptr && *named != 0) {
        if (named[0] == '/') return withoutFinalSlash(named);
        const std::string home = homeFolder();
        return home.empty() ? std::string() : withoutFinalSlash(home + "/" + named);
    }
    const std::string config = xdgFolder("XDG_CONFIG_HOME", ".config");
    return config.empty() ? std::string() : config + "/GIMP/2.10";
}

std::string installLogPath() {
    const std::string state = xdgFolder("XDG_STATE_HOME", ".local/state");
    return state.empty() ? std::string() : state + "/domecast/Install.log";
}

bool installedPluginsDiffer(const std::string& source, const std::string& target) {
    const std::string from = completeFolder(source), to = completeFolder(target);
    bool differ = false;
    for (const char* file : pluginFiles) {
        if (!isExecutableFile(from + file)) return false;
        differ = differ || !sameFileContents(from + file, to + file);
    }
    return differ;
}

InstallResult installPlugins(const std::string& source, const std::string& target) {
    const std::string from = completeFolder(source), to = completeFolder(target);
    if (sameFolder(from, to)) {
        writeStringSetting("PluginPath", target);
        return InstallResult::sameFolder;
    }
    std::string domecastPath;
    if (!readStringSetting("DomecastPath", domecastPath, true, true)) return InstallResult::notStarted;
    if (inMissingGimpProfile(to)) {
        showMessage("GIMP's user folder\n" + gimpProfileFolder() +
                    "\ndoes not exist yet. Start GIMP once so that it makes it, then choose its plug-in "
                    "folder again.\nNo plug-ins were installed.");
        return InstallResult::notStarted;
    }

    InstallLog log;
    if (!log.open())
        showMessage("Notice: Domecast Install.log file could not be opened.\nPlugin files will not be removed when "
                    "Domecast is uninstalled.");

    std::vector<std::string> made;
    const int error = makeFolderTree(withoutFinalSlash(to), folderMode(from, 0755), made);
    for (const std::string& folder : made) log.line("Made Dir: ", completeFolder(folder));
    if (error != 0) {
        errno = error;
        reportSystemError(("Error creating folder:\n" + to).c_str());
        return InstallResult::failed;
    }
    for (const char* file : pluginFiles)
        if (!logCopy(log, from + file, to + file)) return InstallResult::failed;

    writeStringSetting("PluginPath", target);
    // The plug-ins run from GIMP's folder; this is how they find the editor.
    if (const std::string folder = programFolder(); !folder.empty()) writeStringSetting("DomecastPath", folder);
    return InstallResult::installed;
}

PreferencesModel::PreferencesModel() {
    readStringSetting("PaintApp", paintAppRead_, true, true);
    readStringSetting("PluginPath", pluginPathRead_, true, true);
    std::uint32_t degrees = defaultRotation;
    readNumberSetting("shiftAmount", degrees, false, true);
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", static_cast<double>(degrees));
    paintApp = paintAppRead_;
    pluginPath = pluginPathRead_;
    rotation = rotationShown_ = text;
}

std::string PreferencesModel::paintBrowseFolder() const {
    if (paintApp.find('/') != std::string::npos) return folderOf(paintApp);
    return folderOf(findExecutable(paintApp));
}

std::string PreferencesModel::paintBrowseFileName() const {
    const std::size_t slash = paintApp.rfind('/');
    return slash == std::string::npos ? paintApp : paintApp.substr(slash + 1);
}

bool PreferencesModel::paintProgramChosen(const std::string& path) {
    if (!isExecutableFile(path)) {
        showMessage(path + "\nis not a program that can be started.\nChoose the paint program's executable file.",
                    MessageStyle::okExclamation);
        return false;
    }
    paintApp = path;
    return true;
}

std::string PreferencesModel::gimpFolderOffered() const {
    const std::string profile = gimpProfileFolder();
    if (!isDirectory(profile)) return {};
    const std::string folder = profile + "/plug-ins";
    return sameFolder(folder, pluginPath) ? std::string() : folder;
}

std::string PreferencesModel::kritaFolderOffered() const {
    return isDirectory(kritaProfileFolder()) ? kritaPluginFolder() : std::string();
}

bool PreferencesModel::ok() {
    const bool paintChanged = paintApp != paintAppRead_;
    if (paintChanged && !paintApp.empty() && findExecutable(paintApp).empty()) {
        showMessage("The paint program\n" + paintApp + "\nwas not found, or is not an executable file.",
                    MessageStyle::okExclamation);
        return false;
    }
    const bool pluginChanged = pluginPath != pluginPathRead_;
    // A relative folder would be made wherever the editor happened to be started.
    if (pluginChanged && !pluginPath.empty() && pluginPath.front() != '/') {
        showMessage("The plug-in folder\n" + pluginPath + "\nis not a full path; it must start with \"/\".",
                    MessageStyle::okExclamation);
        return false;
    }
    if (paintChanged) writeStringSetting("PaintApp", paintApp);

    if (pluginChanged) {
        // The installed folder is the machine's alone: a user's own value is no source.
        std::string source;
        readStringSetting("PluginPath", source, true, false);
        if (!source.empty() && !pluginPath.empty()) installPlugins(source, pluginPath);
    } else if (!pluginPath.empty()) {
        // The same folder, but this program brings other plug-ins than the ones there
        // (it was updated): they are installed again.
        std::string source;
        if (readStringSetting("PluginPath", source, false, false) && !source.empty() &&
            !sameFolder(source, pluginPath) && installedPluginsDiffer(source, pluginPath))
            installPlugins(source, pluginPath);
    }

    if (useKrita) installKritaPlugin(kritaPluginSource(), kritaPluginFolder());

    // Only a rotation the user edited is stored: an untouched "45" shown for a missing
    // value must not become a user setting that shadows a later machine value.
    if (rotation != rotationShown_)
        if (const std::optional<std::uint32_t> degrees = parseRotation(rotation))
            writeNumberSetting("shiftAmount", *degrees);
    return true;
}
