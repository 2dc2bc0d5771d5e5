#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The persistent settings: desktop keyfiles with one [Domecast] group, strings plain,
// numbers decimal, booleans true/false. The user's file shadows the machine's files and
// the defaults installed with the program. Read on every use, never cached.

// Maximum bytes of a string value, terminator included.
constexpr std::size_t settingStringCapacity = 260;

// The keyfile group every value lives in.
inline constexpr char settingsGroup[] = "Domecast";

// True when the value exists, readable as that type, in the files searched (the user's
// first when userFirst, then the machine's); when not found and report is set, shows the
// "setting missing" message. value is left alone when nothing is found.
// The machine's files are searched value by value: each settings file of $XDG_CONFIG_DIRS
// in order, then the defaults installed beside the program, so a partial file hides only
// the values it defines. A value that does not read as the type asked for (a number that
// is not decimal, say) counts as missing in that file.
bool readStringSetting(const char* name, std::string& value, bool report, bool userFirst);
bool readNumberSetting(const char* name, std::uint32_t& value, bool report, bool userFirst);
bool readBooleanSetting(const char* name, bool& value, bool report, bool userFirst);

// Writes into the user's file only, keeping its comments and every other line's value,
// through a temporary file and a rename; the file keeps its permissions. A user file that
// exists but cannot be read, or holds a line that cannot be used, is left as it is (the
// value is then not stored; a line on stderr says why).
void writeStringSetting(const char* name, const std::string& value);
void writeNumberSetting(const char* name, std::uint32_t value);
void writeBooleanSetting(const char* name, bool value);

// A line of a settings file that cannot be used is left out, the file's other values kept,
// and said once on stderr: "The settings file PATH: line N ... is ignored." (see
// SettingsKeyFile::problems). This lists every such line of every settings file now,
// for a program to show at its start.
std::vector<std::string> settingsFileProblems();

// Removes the value from the user's file, so the machine's value shows again.
void deleteUserSetting(const char* name);

// $XDG_CONFIG_HOME/domecast/domecast.conf (default ~/.config/...); empty without a home.
std::string userSettingsPath();
// domecast/domecast.conf under the first folder of $XDG_CONFIG_DIRS (default /etc/xdg).
std::string machineSettingsPath();
// domecast/domecast.conf under every absolute folder of $XDG_CONFIG_DIRS, in order.
std::vector<std::string> machineSettingsPaths();
// The defaults installed with the program: $DOMECAST_DEFAULTS when set ("none" or empty:
// no defaults), else share/domecast/domecast.conf beside the folder holding the
// executable, so a build tree and an installation moved to another prefix both find
// their own. String values there that name a path without a leading "/" are relative to
// the file's folder; a bare name (no "/", such as a program looked up in PATH) is kept as
// written.
std::string defaultSettingsPath();
