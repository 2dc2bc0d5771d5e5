#pragma once
// Install.log: every folder and file the Preferences' plug-in installations make, one
// line each ("Made Dir: ", "File Copy: "), for an uninstaller.
#include <string>

#include "platform/stdio_file.h"

// The install log, when it can be opened; a line written to it is flushed at once, so an
// uninstaller finds every line even if the program ends meanwhile.
class InstallLog {
public:
    InstallLog();
    bool open() const { return static_cast<bool>(file_); }
    void line(const char* what, const std::string& path);

private:
    StdioFile file_;
};

// Copies source over destination and logs it; a failure is reported to the user, false.
bool logCopy(InstallLog& log, const std::string& source, const std::string& destination);

// folder without its final "/"s ("/" stays).
std::string withoutFinalSlash(std::string folder);
