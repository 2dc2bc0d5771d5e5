#include "app/open_document.h"

#include <wx/utils.h>

#include <sys/stat.h>

#include <string>

#include "platform/report.h"
#include "platform/settings.h"

int openDocument(wxWindow* window, const char* localName, const char* address) {
    if (localName != nullptr) {
        std::string folder;
        if (readStringSetting("DocPath", folder, 1, 1) != 0) {
            const std::string path = folder + "/" + localName;
            struct stat info {};
            if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
                openDocument(window, nullptr, ("file://" + path).c_str()) != 0)
                return 1;
        }
    }
    // xdg-open finds the desktop's handler for the address, mail program included.
    return wxLaunchDefaultBrowser(wxString::FromUTF8(address)) ? 1 : 0;
}

void openHelp(wxWindow* window) {
    if (openDocument(window, "index.html", manualAddress) == 0)
        reportSystemError("Could not open Domecast user manual.");
}
