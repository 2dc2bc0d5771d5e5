#include "shell/krita_plugin_install.h"

#include <cerrno>
#include <filesystem>
#include <sstream>
#include <vector>

#include "platform/file_contents.h"
#include "platform/file_system.h"
#include "platform/known_folders.h"
#include "platform/message.h"
#include "platform/report.h"
#include "platform/settings.h"
#include "shell/install_log.h"
#include "shell/preferences_model.h"

namespace fs = std::filesystem;

namespace {

// kritarc is a few kilobytes; anything far larger is not Krita's.
constexpr std::size_t kritarcLimit = 16 << 20;

std::string trimmed(const std::string& line) {
    const std::size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

// The files of the plug-in below source, relative to it; Python's byte-code caches left out.
std::vector<fs::path> pluginFilesBelow(const fs::path& source) {
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(source, error), end; !error && it != end; it.increment(error)) {
        if (it->path().filename() == "__pycache__") {
            it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file(error)) files.push_back(fs::relative(it->path(), source, error));
    }
    return files;
}

}  // namespace

std::string kritaProfileFolder() {
    const std::string data = xdgFolder("XDG_DATA_HOME", ".local/share");
    return data.empty() ? std::string() : data + "/krita";
}

std::string kritaPluginFolder() {
    const std::string profile = kritaProfileFolder();
    return profile.empty() ? std::string() : profile + "/pykrita";
}

std::string kritarcPath() {
    const std::string config = xdgFolder("XDG_CONFIG_HOME", ".config");
    return config.empty() ? std::string() : config + "/kritarc";
}

std::string kritaPluginSource() {
    const std::string program = programFolder();
    return program.empty() ? std::string() : program + "/../share/domecast/plug-ins/krita";
}

std::string withKritaPluginEnabled(const std::string& kritarc) {
    std::istringstream in(kritarc);
    std::string out, blanks, line;
    bool inPython = false, done = false;
    while (std::getline(in, line)) {
        const std::string text = trimmed(line);
        if (inPython && !done && text.empty()) {
            // Blank lines at the group's end stay after the line added there.
            blanks += line + "\n";
            continue;
        }
        if (!text.empty() && text.front() == '[') {
            if (inPython && !done) {
                out += "enable_domecast=true\n";
                done = true;
            }
            inPython = text == "[python]";
        } else if (inPython && !done) {
            const std::size_t equals = text.find('=');
            if (equals != std::string::npos && trimmed(text.substr(0, equals)) == "enable_domecast") {
                line = "enable_domecast=true";
                done = true;
            }
        }
        out += blanks + line + "\n";
        blanks.clear();
    }
    if (done) return out + blanks;
    if (!inPython) {
        // A blank line between groups, as Krita writes them.
        if (!out.empty() && !out.ends_with("\n\n")) out += "\n";
        out += "[python]\n";
    }
    return out + "enable_domecast=true\n" + blanks;
}

bool installKritaPlugin(const std::string& source, const std::string& target) {
    const std::string profile = kritaProfileFolder();
    if (profile.empty() || !isDirectory(profile)) {
        showMessage("Krita's user folder\n" + profile +
                    "\ndoes not exist yet. Start Krita once so that it makes it, then choose Krita's folder "
                    "again.\nThe Krita plug-in was not installed.");
        return false;
    }
    const std::vector<fs::path> files = pluginFilesBelow(source);
    if (files.empty()) {
        showMessage("The Krita plug-in was not found in\n" + source + "\nIt was not installed.");
        return false;
    }

    InstallLog log;
    if (!log.open())
        showMessage("Notice: Domecast Install.log file could not be opened.\nPlugin files will not be removed when "
                    "Domecast is uninstalled.");
    for (const fs::path& file : files) {
        const fs::path to = fs::path(target) / file;
        std::vector<std::string> made;
        const int error = makeFolderTree(to.parent_path().string(), 0755, made);
        for (const std::string& folder : made) log.line("Made Dir: ", completeFolder(folder));
        if (error != 0) {
            errno = error;
            reportSystemError(("Error creating folder:\n" + to.parent_path().string()).c_str());
            return false;
        }
        if (!logCopy(log, (fs::path(source) / file).string(), to.string())) return false;
    }

    const std::string settings = kritarcPath();
    std::string kritarc;
    if (readFileContents(settings, kritarcLimit, kritarc) == FileRead::failed ||
        !makeFolders(fs::path(settings).parent_path().string()) || !replaceFileContents(settings, withKritaPluginEnabled(kritarc))) {
        showMessage("Krita's settings\n" + settings +
                    "\ncould not be changed. Enable Domecast in Krita under Settings > Configure Krita > Python "
                    "Plugin Manager.");
        return false;
    }
    // The plug-in runs inside Krita; this is how it finds the editor to start.
    if (const std::string folder = programFolder(); !folder.empty()) writeStringSetting("DomecastPath", folder);
    return true;
}
