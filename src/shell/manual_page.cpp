#include "shell/manual_page.h"

#include <sys/stat.h>

#include "platform/known_folders.h"
#include "platform/settings.h"

std::string manualFolder() {
    std::string folder;
    if (readStringSetting("DocPath", folder, false, true) && !folder.empty()) return folder;
    const std::string program = programFolder();
    if (program.empty()) return "/usr/share/doc/domecast/manual";
    const std::size_t slash = program.rfind('/');
    return (slash == std::string::npos || slash == 0 ? std::string() : program.substr(0, slash)) +
           "/share/doc/domecast/manual";
}

std::string manualPage(const char* page) { return manualFolder() + "/" + page; }

std::string manualFailureMessage(const std::string& path, const std::string& reason) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return "The Domecast manual is not installed:\n" + path + "\nwas not found.";
    return "Could not open the Domecast manual (" + reason + ").\n\nThe manual is\n" + path +
           "\nOpen it in a web browser.";
}
